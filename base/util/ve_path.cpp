// Path helpers for every file name the library builds (configuration,
// environment and services files, code pages, messages) and the directory
// checks the host executables run on the instance's folders.
#include "base/util/ve_path_internal.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/util/zel_errors.h"

static const char S_SEPARATOR = '/';

std::string ves_path_join(const std::string &path, const char *component)
{
    std::string joined = path;
    // An empty directory stays relative: "/" first would name the root.
    if (!joined.empty() && joined.back() != S_SEPARATOR)
        joined += S_SEPARATOR;
    if (component != nullptr)
        joined += component;
    return joined;
}

char *VES_pathcat(char *path, const char *component)
{
    if (path == nullptr || component == nullptr)
        return path;
    size_t length = strlen(path);
    if (length > 0 && path[length - 1] != S_SEPARATOR)
        path[length++] = S_SEPARATOR;
    strcpy(path + length, component);
    return path;
}

char *ves_path_dirname(const char *path, char *out)
{
    if (out == nullptr)
        return nullptr;
    out[0] = '\0';
    if (path == nullptr || path[0] == '\0')
        return out;
    const char *last = strrchr(path, S_SEPARATOR);
    size_t length = last == nullptr ? strlen(path) : static_cast<size_t>(last - path);
    memmove(out, path, length);
    out[length] = '\0';
    return out;
}

static int32_t S_check_directory(char *path, int32_t quiet)
{
    if (path == nullptr)
        return ZE_NULL_POINTER;
    size_t length = strlen(path);
    if (length > 1 && path[length - 1] == S_SEPARATOR)
        path[length - 1] = '\0';
    struct stat status;
    if (stat(path, &status) != 0) {
        int error = errno;
        if (!quiet)
            perror(path);
        return error;
    }
    if (!S_ISDIR(status.st_mode)) {
        if (!quiet)
            fprintf(stderr, "%s, NOT A DIRECTORY!\n", path);
        return ZE_PATH_UNUSABLE;
    }
    if (access(path, R_OK | W_OK) != 0) {
        if (!quiet)
            fprintf(stderr, "Insufficient access to %s\n", path);
        return ZE_PATH_UNUSABLE;
    }
    return ZE_SUCCESS;
}

int32_t validate_path(char *path, int32_t quiet)
{
    return S_check_directory(path, quiet);
}

int32_t validate_read_only_path(char *path, int32_t quiet)
{
    return S_check_directory(path, quiet);
}
