// Temporary files of the host executables (see ve_temp_file.h). The folder is
// copied so the caller's text need not outlive the call; a mutex keeps the
// settings whole when threads open files while another re-initialises.
#include "base/util/ve_temp_file.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <mutex>
#include <new>
#include <string>

#include "base/util/zel_errors.h"
#include "platform/plat_temp_file_internal.h"

namespace
{
std::mutex S_lock;
std::string S_directory;
int32_t *S_error_slot = nullptr;
} // namespace

const char *initialize_temporary_files(const char *directory, int32_t *error_slot)
{
    std::lock_guard<std::mutex> guard(S_lock);
    try {
        S_directory = (directory && directory[0]) ? directory : plat_temp_directory();
    } catch (const std::bad_alloc &) {
        S_directory.clear();
    }
    S_error_slot = error_slot;
    return S_directory.c_str();
}

int32_t open_temporary_file(char **name, int *fd)
{
    if (!name || !fd)
        return ZE_NULL_POINTER;
    std::lock_guard<std::mutex> guard(S_lock);
    int error = plat_temp_file_create(S_directory.c_str(), "zel", name, fd);
    if (error == 0)
        return ZE_SUCCESS;
    fprintf(stderr, "OPEN: %s\n", strerror(error));
    if (S_error_slot)
        *S_error_slot = error;
    return ZE_TEMP_FILE_OPEN_FAILED;
}

void cleanup_temporary_file(char *name, int fd)
{
    if (fd >= 0)
        close(fd);
    if (name) {
        unlink(name);
        free(name);
    }
}
