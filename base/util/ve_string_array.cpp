// One-block string arrays (base/util/ve_string_array.h).
#include "base/util/ve_string_array.h"

#include <stdlib.h>

#include "base/util/zel_errors.h"

int32_t VES_allocate_string_array(char ***array, int32_t n, int32_t width)
{
    if (array == nullptr)
        return ZE_NULL_POINTER;
    if (n < 1 || width < 1)
        return ZE_INVALID_ARGUMENT;
    // Both factors are below 2^31, so the size cannot overflow 64 bits.
    size_t count = static_cast<size_t>(n);
    size_t bytes = count * (sizeof(char *) + static_cast<size_t>(width));
    char **block = static_cast<char **>(calloc(1, bytes));
    if (block == nullptr)
        return ZE_FAILURE;
    char *strings = reinterpret_cast<char *>(block + count);
    for (size_t i = 0; i < count; i++)
        block[i] = strings + i * static_cast<size_t>(width);
    *array = block;
    return 0;
}
