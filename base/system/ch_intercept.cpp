// The intercept trace of a channel (base/system/ch_intercept_internal.h):
// deciding it from the environment when a channel is made, numbering and
// creating its file, the header and the lines, and the per-process time
// format and flush flag that every traced channel of the process shares
// (atomics: channels of several threads read them while a channel being
// made or destroyed sets them). The record dumps are in ch_intercept_dump.cpp.
#include "base/system/ch_intercept_internal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

static std::atomic<const char *> g_time_format{nullptr};
static std::atomic<int32_t> g_flush{0};

/* Numbers tried past the one computed when another process has just made
 * that file. */
static constexpr int32_t kCreateAttempts = 16;

void ch_intercept_reset(const char *time_format, int32_t flush)
{
    g_time_format.store(time_format);
    g_flush.store(flush != 0 ? 1 : 0);
}

int32_t ch_intercept_flush_flag(void)
{
    return g_flush.load();
}

void ch_intercept_format_time(const char *format, char *out)
{
    if (out == nullptr)
        return;
    out[0] = '\0';
    std::time_t now = std::time(nullptr);
    std::tm local;
    if (format != nullptr && localtime_r(&now, &local) != nullptr &&
        std::strftime(out, CH_INTERCEPT_PREFIX_SIZE, format, &local) == 0)
        out[0] = '\0';
}

void ch_intercept_make_prefix(const char *tag, char *out, size_t size)
{
    if (out == nullptr || size == 0)
        return;
    const char *format = g_time_format.load();
    if (format == nullptr) {
        std::snprintf(out, size, "[%s]", tag != nullptr ? tag : "");
        return;
    }
    char when[CH_INTERCEPT_PREFIX_SIZE];
    ch_intercept_format_time(format, when);
    std::snprintf(out, size, "[%s %s]", tag != nullptr ? tag : "", when);
}

void ch_intercept_write_line(FILE *file, const char *text, const char *tag)
{
    if (file == nullptr)
        return;
    if (tag != nullptr && tag[0] != '\0') {
        char prefix[CH_INTERCEPT_PREFIX_SIZE];
        ch_intercept_make_prefix(tag, prefix, sizeof prefix);
        std::fprintf(file, "%s %s\n", prefix, text != nullptr ? text : "");
    } else {
        if (text == nullptr || text[0] == '\0')
            return;
        std::fprintf(file, "%s\n", text);
    }
    if (ch_intercept_flush_flag())
        std::fflush(file);
}

void ch_intercept_write_header(FILE *file, const char *path, uint16_t mode)
{
    if (file == nullptr)
        return;
    std::string items;
    if (mode & CH_INTERCEPT_C)
        items += "Command Name,";
    if (mode & CH_INTERCEPT_R)
        items += " Read,";
    if (mode & CH_INTERCEPT_W)
        items += " Write,";
    if (mode & CH_INTERCEPT_T)
        items += " Time,";
    if (mode & CH_INTERCEPT_F)
        items += " Flush,";
    if (!items.empty())
        items.pop_back();
    std::time_t now = std::time(nullptr);
    char when[64] = "\n";
    if (ctime_r(&now, when) == nullptr)
        std::strcpy(when, "\n");
    std::fprintf(file, "File:  %s\n", path != nullptr ? path : "<null>");
    std::fprintf(file, "Mode:  %s\n", items.c_str());
    std::fprintf(file, "Time:  %s", when);
    std::fprintf(file, "%s\n\n", std::string(74, '-').c_str());
    std::fflush(file);
}

int32_t ch_intercept_next_extension(const char *directory, const char *base)
{
    if (directory == nullptr || base == nullptr)
        return -1;
    DIR *dir = opendir(directory);
    if (dir == nullptr)
        return -1;
    size_t base_length = std::strlen(base);
    int64_t largest = 0;
    while (const dirent *entry = readdir(dir)) {
        const char *name = entry->d_name;
        if (std::strncmp(name, base, base_length) != 0 || name[base_length] != '.')
            continue;
        // Digits only: a sign or blank is no number of ours, and a value past
        // 32 bits does not count.
        const char *digit = name + base_length + 1;
        int64_t value = 0;
        bool any = false;
        for (; std::isdigit(static_cast<unsigned char>(*digit)) && value <= INT32_MAX; ++digit) {
            value = value * 10 + (*digit - '0');
            any = true;
        }
        if (any && value <= INT32_MAX && value > largest)
            largest = value;
    }
    closedir(dir);
    return largest < INT32_MAX ? static_cast<int32_t>(largest + 1) : -1;
}

/* The letters of ZELINTERCEPT: the mode, and the process's flags. */
static uint16_t S_mode_of(const char *letters, const char **time_format, int32_t *flush)
{
    if (letters == nullptr || letters[0] == '\0')
        return CH_INTERCEPT_C | CH_INTERCEPT_R | CH_INTERCEPT_W;
    uint16_t mode = 0;
    for (const char *c = letters; *c != '\0'; ++c) {
        switch (*c) {
        case 'C':
        case 'c':
            mode |= CH_INTERCEPT_C;
            break;
        case 'R':
        case 'r':
            mode |= CH_INTERCEPT_R;
            break;
        case 'W':
        case 'w':
            mode |= CH_INTERCEPT_W;
            break;
        case 'F':
        case 'f':
            mode |= CH_INTERCEPT_F;
            *flush = 1;
            break;
        case 'T':
            mode |= CH_INTERCEPT_T;
            *time_format = CH_INTERCEPT_TIME_LONG;
            break;
        case 't':
            mode |= CH_INTERCEPT_T;
            *time_format = CH_INTERCEPT_TIME_SHORT;
            break;
        default:
            break;
        }
    }
    if ((mode & (CH_INTERCEPT_C | CH_INTERCEPT_R | CH_INTERCEPT_W)) == 0)
        mode |= CH_INTERCEPT_C;
    return mode;
}

/* Creates the trace file new at path: never an existing file, never through
 * a link, readable by its owner only. */
static FILE *S_create(const char *path)
{
    int fd = ::open(path, O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    FILE *file = fdopen(fd, "a+");
    if (file == nullptr) {
        int saved = errno;
        ::close(fd);
        errno = saved;
    }
    return file;
}

int32_t ch_intercept_open(FILE **file, uint16_t *mode, char *path, size_t size)
{
    if (file == nullptr || mode == nullptr || path == nullptr || size == 0)
        return -1;
    *file = nullptr;
    *mode = 0;
    path[0] = '\0';
    ch_intercept_reset(nullptr, 0);

    const char *location = std::getenv("ZELINTERCEPTLOC");
    if (location == nullptr)
        return 0;
    if (location[0] == '\0') {
        std::fprintf(stderr, "ZELINTERCEPTLOC not set.\n");
        return 0;
    }
    const char *time_format = nullptr;
    int32_t flush = 0;
    uint16_t chosen = S_mode_of(std::getenv("ZELINTERCEPT"), &time_format, &flush);

    // The directory ends at the last separator: a backslash, or on this
    // platform a slash too, so that the file's name is always a plain name
    // of ours inside the user's directory.
    std::string directory = "./";
    std::string base = location;
    const char *cut = std::strrchr(location, '\\');
    const char *slash = std::strrchr(location, '/');
    if (slash != nullptr && (cut == nullptr || slash > cut))
        cut = slash;
    if (cut != nullptr) {
        directory.assign(location, static_cast<size_t>(cut - location));
        if (directory.empty())
            directory = "/";
        base = cut + 1;
        struct stat info;
        if (::stat(directory.c_str(), &info) != 0) {
            std::fprintf(stderr, "%s not found.\n", directory.c_str());
            return -1;
        }
        if (!S_ISDIR(info.st_mode)) {
            std::fprintf(stderr, "%s is not a directory.\n", directory.c_str());
            return -1;
        }
        directory += '/';
    }

    int32_t number = ch_intercept_next_extension(directory.c_str(), base.c_str());
    if (number < 0) {
        std::fprintf(stderr, "Error in getting next intercept file extension.\n");
        return -1;
    }
    FILE *opened = nullptr;
    for (int32_t attempt = 0; attempt < kCreateAttempts && opened == nullptr; ++attempt) {
        int written =
            std::snprintf(path, size, "%s%s.%.3d", directory.c_str(), base.c_str(), number);
        if (written < 0 || static_cast<size_t>(written) >= size) {
            errno = ENAMETOOLONG;
            break;
        }
        opened = S_create(path);
        // Another channel took the number since the directory was listed.
        if (opened == nullptr && (errno != EEXIST || number == INT32_MAX))
            break;
        if (opened == nullptr)
            ++number;
    }
    if (opened == nullptr) {
        std::fprintf(stderr, "%s: errno = %d\n", "FOPEN INTERCEPT", errno);
        std::fprintf(stderr, "INTERCEPT FILE: %s\n", path);
        return -1;
    }
    ch_intercept_reset(time_format, flush);
    *file = opened;
    *mode = chosen;
    ch_intercept_write_header(opened, path, chosen);
    return 0;
}

void ch_intercept_close(FILE **file)
{
    ch_intercept_reset(nullptr, 0);
    if (file != nullptr && *file != nullptr) {
        std::fclose(*file);
        *file = nullptr;
    }
}
