// String arrays in one heap block: n pointers followed by n strings of a fixed
// width. The column names and hints of a query, and the property names and
// values of a locator, are held this way; one free() releases the whole array.
#ifndef VE_STRING_ARRAY_H
#define VE_STRING_ARRAY_H

#include <stdint.h>

#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Allocates the zero-filled block and points array[i] at string i. Returns 0;
 * -65 for a null out-pointer; -66 when n or width is below 1; -1 when memory
 * is short. The caller frees *array with free(). */
ZEL_API int32_t VES_allocate_string_array(char ***array, int32_t n, int32_t width);

#ifdef __cplusplus
}
#endif

#endif
