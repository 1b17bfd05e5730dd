// A small machine registry standing in for the Windows one: keys are folders
// below a root folder (ZELREGISTRY, else "~/.zelregistry" in the home folder
// of the user the instance runs as), "\" in a key path separates levels, and
// each value is a file "@NAME" in its key's folder holding a 4-byte
// little-endian type followed by the value's bytes.
//
// The store keeps the DBA password: folders are made 0700, values written
// 0600 to a fresh file renamed into place (never through a link), and a root
// that is not a folder of this user, or that others may write, is refused
// with PLAT_ERROR_ACCESS_DENIED by every call.
#ifndef PLAT_REGISTRY_INTERNAL_H
#define PLAT_REGISTRY_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Value types, numbered as the Windows registry numbers them. */
#define PLAT_REG_SZ 1u
#define PLAT_REG_EXPAND_SZ 2u
#define PLAT_REG_BINARY 3u
#define PLAT_REG_DWORD 4u

/* Results: 0, or one of these Windows-numbered errors. */
#define PLAT_ERROR_FILE_NOT_FOUND 2
#define PLAT_ERROR_ACCESS_DENIED 5
#define PLAT_ERROR_INVALID_PARAMETER 87
#define PLAT_ERROR_MORE_DATA 234
#define PLAT_ERROR_NO_MORE_ITEMS 259
#define PLAT_ERROR_KEY_HAS_CHILDREN 1020

/* Root folder of the store; belongs to the environment or to the calling
 * thread (valid until its next call); "" when no home folder is known. */
const char *plat_reg_root(void);

/* The calling thread's last error, set by every call below. */
int plat_reg_last_error(void);

/* Each call takes a whole key path ("A\B\C"); an empty level, ".", ".." or a
 * "/" in a level is refused with PLAT_ERROR_INVALID_PARAMETER. */
int plat_reg_create_key(const char *key);
int plat_reg_open_key(const char *key); /* 0 when the key exists */
int plat_reg_set_value(const char *key, const char *name, uint32_t type, const void *data,
                       size_t size);
/* Copies at most *size bytes into data; *size becomes the value's size.
 * PLAT_ERROR_MORE_DATA when it does not fit (nothing copied). */
int plat_reg_query_value(const char *key, const char *name, uint32_t *type, void *data,
                         size_t *size);
int plat_reg_delete_value(const char *key, const char *name);
/* The sub-key at index (sorted by name); PLAT_ERROR_NO_MORE_ITEMS past the
 * last, PLAT_ERROR_MORE_DATA when the name does not fit size (zero included). */
int plat_reg_enum_key(const char *key, uint32_t index, char *name, size_t size);
int plat_reg_count_subkeys(const char *key, uint32_t *count);
/* Deletes a key with its values; refused while it has sub-keys. */
int plat_reg_delete_key(const char *key);

#ifdef __cplusplus
}
#endif

#endif
