// Text helpers for names typed by users at the host executables: the validity
// check of table and object names, in-place case changes by the C library's
// character classes (byte by byte; the code-page-aware forms are in
// ve_codepage.h) and trimming of blanks.
#ifndef VE_NAME_CHECK_H
#define VE_NAME_CHECK_H

#include <stdint.h>

#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Returns 0 when the name is valid for its kind, -1 otherwise. Kind 1 allows
 * up to 32 characters and takes every byte of 128 or more as a letter; any
 * other kind allows up to 14 characters and no byte of 128 or more. Letters,
 * digits, '_' and '-' only; a null or empty name is not valid. The name is
 * never changed. */
ZEL_API int32_t VES_name_check(const char *name, int32_t kind);

/* Upper-cases the text in place and returns it; null gives null. */
ZEL_API char *VES_UpperCase(char *text);

/* Lower-cases the text in place and returns it; null gives null. */
ZEL_API char *VES_LowerCase(char *text);

/* Removes trailing, then leading blanks, tabs and newlines in place; null is
 * left alone. */
ZEL_API void VES_RemoveSpaces(char *text);

#ifdef __cplusplus
}
#endif

#endif
