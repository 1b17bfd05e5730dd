// Folder-tree registry store; see plat_registry_internal.h for its layout.
#include "platform/plat_registry_internal.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

static thread_local int S_last_error = 0;

static int S_fail(int code)
{
    S_last_error = code;
    return code;
}

const char *plat_reg_root(void)
{
    const char *root = getenv("ZELREGISTRY");
    if (root != nullptr && root[0] != '\0')
        return root;
    // The store keeps the DBA password: by default it lives in the home
    // folder of the user the instance runs as, never in a shared folder.
    static thread_local std::string fallback;
    const char *home = getenv("HOME");
    struct passwd entry;
    struct passwd *found = nullptr;
    std::vector<char> buffer(4096);
    if ((home == nullptr || home[0] != '/') &&
        getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr)
        home = found->pw_dir;
    if (home == nullptr || home[0] != '/')
        return "";
    fallback = std::string(home) + "/.zelregistry";
    return fallback.c_str();
}

// 0 when the root is a folder of this user that nobody else may write (made
// 0700 when create is set and it is missing); else the error to give.
static int S_root_check(bool create)
{
    const char *root = plat_reg_root();
    if (root[0] == '\0')
        return PLAT_ERROR_ACCESS_DENIED;
    if (create && mkdir(root, 0700) != 0 && errno != EEXIST)
        return PLAT_ERROR_ACCESS_DENIED;
    struct stat st;
    if (lstat(root, &st) != 0)
        return errno == ENOENT ? PLAT_ERROR_FILE_NOT_FOUND : PLAT_ERROR_ACCESS_DENIED;
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)))
        return PLAT_ERROR_ACCESS_DENIED;
    return 0;
}

int plat_reg_last_error(void)
{
    return S_last_error;
}

// Splits a key path into its levels; false for a path that could escape the root.
static bool S_levels(const char *key, std::vector<std::string> &out)
{
    if (key == nullptr || key[0] == '\0')
        return false;
    std::string level;
    for (const char *p = key;; ++p) {
        if (*p == '\\' || *p == '\0') {
            if (level.empty() || level == "." || level == ".." || level[0] == '@')
                return false;
            out.push_back(level);
            level.clear();
            if (*p == '\0')
                break;
        } else if (*p == '/') {
            return false;
        } else {
            level += *p;
        }
    }
    return true;
}

// The folder of a key below a root that passed its check: 0, or the error.
static int S_key_folder(const char *key, std::string &path)
{
    std::vector<std::string> levels;
    if (!S_levels(key, levels))
        return PLAT_ERROR_INVALID_PARAMETER;
    int rc = S_root_check(false);
    if (rc != 0)
        return rc;
    path = plat_reg_root();
    for (const std::string &level : levels)
        path += "/" + level;
    return 0;
}

static bool S_value_name_ok(const char *name)
{
    return name != nullptr && strchr(name, '/') == nullptr;
}

static bool S_is_dir(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

static std::vector<std::string> S_entries(const std::string &folder, bool keys)
{
    std::vector<std::string> names;
    DIR *dir = opendir(folder.c_str());
    if (dir == nullptr)
        return names;
    while (struct dirent *e = readdir(dir)) {
        std::string n = e->d_name;
        if (n == "." || n == "..")
            continue;
        if ((n[0] == '@') != keys)
            names.push_back(n);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

int plat_reg_create_key(const char *key)
{
    std::vector<std::string> levels;
    if (!S_levels(key, levels))
        return S_fail(PLAT_ERROR_INVALID_PARAMETER);
    int rc = S_root_check(true);
    if (rc != 0)
        return S_fail(rc);
    std::string path = plat_reg_root();
    for (const std::string &level : levels) {
        path += "/" + level;
        if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return S_fail(PLAT_ERROR_ACCESS_DENIED);
    }
    return S_fail(0);
}

int plat_reg_open_key(const char *key)
{
    std::string path;
    int rc = S_key_folder(key, path);
    if (rc != 0)
        return S_fail(rc);
    return S_fail(S_is_dir(path) ? 0 : PLAT_ERROR_FILE_NOT_FOUND);
}

int plat_reg_set_value(const char *key, const char *name, uint32_t type, const void *data,
                       size_t size)
{
    std::string path;
    if (!S_value_name_ok(name) || (data == nullptr && size != 0))
        return S_fail(PLAT_ERROR_INVALID_PARAMETER);
    int rc = S_key_folder(key, path);
    if (rc != 0)
        return S_fail(rc);
    if (!S_is_dir(path))
        return S_fail(PLAT_ERROR_FILE_NOT_FOUND);
    std::string file = path + "/@" + name;
    // Written to a fresh file of this user alone (mkstemp: O_EXCL, 0600) and
    // renamed into place: a reader never sees half a value, and a link
    // planted at the value's name is replaced, never written through.
    std::vector<char> tmp(file.begin(), file.end());
    const char suffix[] = ".XXXXXX";
    tmp.insert(tmp.end(), suffix, suffix + sizeof suffix);
    int fd = mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0)
        return S_fail(PLAT_ERROR_ACCESS_DENIED);
    FILE *f = fdopen(fd, "wb");
    if (f == nullptr) {
        close(fd);
        unlink(tmp.data());
        return S_fail(PLAT_ERROR_ACCESS_DENIED);
    }
    unsigned char head[4] = {(unsigned char)type, (unsigned char)(type >> 8),
                             (unsigned char)(type >> 16), (unsigned char)(type >> 24)};
    bool ok = fchmod(fd, 0600) == 0 && fwrite(head, 1, 4, f) == 4 &&
              (size == 0 || fwrite(data, 1, size, f) == size);
    ok = (fclose(f) == 0) && ok;
    if (!ok || rename(tmp.data(), file.c_str()) != 0) {
        unlink(tmp.data());
        return S_fail(PLAT_ERROR_ACCESS_DENIED);
    }
    return S_fail(0);
}

int plat_reg_query_value(const char *key, const char *name, uint32_t *type, void *data,
                         size_t *size)
{
    std::string path;
    if (!S_value_name_ok(name) || size == nullptr)
        return S_fail(PLAT_ERROR_INVALID_PARAMETER);
    int rc = S_key_folder(key, path);
    if (rc != 0)
        return S_fail(rc);
    int fd = open((path + "/@" + name).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    FILE *f = fd < 0 ? nullptr : fdopen(fd, "rb");
    if (f == nullptr) {
        if (fd >= 0)
            close(fd);
        return S_fail(PLAT_ERROR_FILE_NOT_FOUND);
    }
    std::string bytes;
    char chunk[512];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.append(chunk, n);
    fclose(f);
    if (bytes.size() < 4)
        return S_fail(PLAT_ERROR_FILE_NOT_FOUND);
    const unsigned char *h = reinterpret_cast<const unsigned char *>(bytes.data());
    uint32_t t = h[0] | (uint32_t)h[1] << 8 | (uint32_t)h[2] << 16 | (uint32_t)h[3] << 24;
    size_t len = bytes.size() - 4;
    if (type != nullptr)
        *type = t;
    size_t room = *size;
    *size = len;
    if (data == nullptr)
        return S_fail(0);
    if (len > room)
        return S_fail(PLAT_ERROR_MORE_DATA);
    memcpy(data, bytes.data() + 4, len);
    return S_fail(0);
}

int plat_reg_delete_value(const char *key, const char *name)
{
    std::string path;
    if (!S_value_name_ok(name))
        return S_fail(PLAT_ERROR_INVALID_PARAMETER);
    int rc = S_key_folder(key, path);
    if (rc != 0)
        return S_fail(rc);
    return S_fail(unlink((path + "/@" + name).c_str()) == 0 ? 0 : PLAT_ERROR_FILE_NOT_FOUND);
}

int plat_reg_enum_key(const char *key, uint32_t index, char *name, size_t size)
{
    std::string path;
    if (name == nullptr || size == 0)
        return S_fail(PLAT_ERROR_INVALID_PARAMETER);
    int rc = S_key_folder(key, path);
    if (rc != 0)
        return S_fail(rc);
    if (!S_is_dir(path))
        return S_fail(PLAT_ERROR_FILE_NOT_FOUND);
    std::vector<std::string> keys = S_entries(path, true);
    if (index >= keys.size())
        return S_fail(PLAT_ERROR_NO_MORE_ITEMS);
    if (keys[index].size() >= size)
        return S_fail(PLAT_ERROR_MORE_DATA);
    memcpy(name, keys[index].c_str(), keys[index].size() + 1);
    return S_fail(0);
}

int plat_reg_count_subkeys(const char *key, uint32_t *count)
{
    std::string path;
    if (count == nullptr)
        return S_fail(PLAT_ERROR_INVALID_PARAMETER);
    int rc = S_key_folder(key, path);
    if (rc != 0)
        return S_fail(rc);
    if (!S_is_dir(path))
        return S_fail(PLAT_ERROR_FILE_NOT_FOUND);
    *count = (uint32_t)S_entries(path, true).size();
    return S_fail(0);
}

int plat_reg_delete_key(const char *key)
{
    std::string path;
    int rc = S_key_folder(key, path);
    if (rc != 0)
        return S_fail(rc);
    if (!S_is_dir(path))
        return S_fail(PLAT_ERROR_FILE_NOT_FOUND);
    if (!S_entries(path, true).empty())
        return S_fail(PLAT_ERROR_KEY_HAS_CHILDREN);
    for (const std::string &v : S_entries(path, false))
        unlink((path + "/" + v).c_str());
    return S_fail(rmdir(path.c_str()) == 0 ? 0 : PLAT_ERROR_ACCESS_DENIED);
}
