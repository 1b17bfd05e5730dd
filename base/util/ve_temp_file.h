// The process's temporary-file service for the host executables: a folder and
// an error slot set once, then uniquely named files created and removed.
#ifndef VE_TEMP_FILE_H
#define VE_TEMP_FILE_H

#include <stdint.h>

#include "base/util/zel_export.h"

// Sets the folder for temporary files (null or empty: ZELTMP, TEMP, TMP, else
// "/tmp") and the caller's slot that receives the C library's error number of
// a failed open (may be null). Returns the folder in use (a copy kept by the
// service, valid until the next call).
ZEL_API const char *initialize_temporary_files(const char *directory, int32_t *error_slot);

// Creates a new empty file "zel..." in the folder, open for reading and
// writing, readable by the owner only. Returns 0 with *name (free it through
// cleanup_temporary_file) and *fd, or -59 with *name null, *fd -1 and the
// error number in the error slot. -65 when an out pointer is null.
ZEL_API int32_t open_temporary_file(char **name, int *fd);

// Closes the descriptor (when not negative), then removes the file and frees
// the name (when the name is not null).
ZEL_API void cleanup_temporary_file(char *name, int fd);

#endif
