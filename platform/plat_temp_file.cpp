// Exclusive creation of temporary files in a folder (see plat_temp_file_internal.h).
#include "platform/plat_temp_file_internal.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <new>
#include <string>

const char *plat_temp_directory(void)
{
    static const char *const S_variables[] = {"ZELTMP", "TEMP", "TMP"};
    for (const char *variable : S_variables) {
        const char *value = getenv(variable);
        if (value && value[0])
            return value;
    }
    return "/tmp";
}

int plat_temp_file_create(const char *directory, const char *prefix, char **name, int *fd)
{
    if (!name || !fd)
        return EINVAL;
    *name = nullptr;
    *fd = -1;
    try {
        std::string path = (directory && directory[0]) ? directory : plat_temp_directory();
        if (path.back() != '/')
            path += '/';
        path += prefix ? prefix : "";
        path += "XXXXXX";
        char *copy = strdup(path.c_str());
        if (!copy)
            return ENOMEM;
        // mkstemp creates with O_EXCL and mode 0600: spilled rows and names
        // stay readable by this user alone, and a planted file is never reused.
        int created = mkostemp(copy, O_CLOEXEC);
        if (created < 0) {
            int error = errno;
            free(copy);
            return error;
        }
        *name = copy;
        *fd = created;
        return 0;
    } catch (const std::bad_alloc &) {
        return ENOMEM;
    }
}
