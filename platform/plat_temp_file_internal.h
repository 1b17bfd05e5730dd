// Uniquely named temporary files, standing in for the Windows temporary-name
// function followed by an open: here the name is made and the file created in
// one exclusive step (mode 0600), so no other process can take the name first.
#ifndef PLAT_TEMP_FILE_INTERNAL_H
#define PLAT_TEMP_FILE_INTERNAL_H

#ifdef __cplusplus
extern "C" {
#endif

/* The default folder for temporary files: the first of ZELTMP, TEMP, TMP that
 * is set and not empty, else "/tmp". The text belongs to the environment or is
 * static; do not free it. */
const char *plat_temp_directory(void);

/* Creates a new, empty file "<directory>/<prefix>XXXXXX" open for reading and
 * writing; a null or empty directory means plat_temp_directory(). On success
 * returns 0, *name is the file's path (C heap; the caller frees it) and *fd its
 * descriptor. On failure returns the C library's error number, *name is null
 * and *fd is -1. */
int plat_temp_file_create(const char *directory, const char *prefix, char **name, int *fd);

#ifdef __cplusplus
}
#endif

#endif
