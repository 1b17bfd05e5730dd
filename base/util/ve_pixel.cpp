// Pixel readers and writers of the ten pixel kinds (ve_pixel.h). Writers
// round half away from zero by truncating value +/- 0.5 and clamp before
// converting, so no out-of-range double reaches an integer conversion.
#include "base/util/ve_pixel.h"

#include <cfloat>
#include <cmath>
#include <string.h>

static unsigned char *S_at(void *block, int32_t pixel, size_t size)
{
    return static_cast<unsigned char *>(block) + static_cast<size_t>(pixel) * size;
}

static const unsigned char *S_at(const void *block, int32_t pixel, size_t size)
{
    return static_cast<const unsigned char *>(block) + static_cast<size_t>(pixel) * size;
}

template <typename T> static T S_load(const void *block, int32_t pixel)
{
    T v;
    memcpy(&v, S_at(block, pixel, sizeof(T)), sizeof(T));
    return v;
}

template <typename T> static void S_store(void *block, int32_t pixel, T v)
{
    memcpy(S_at(block, pixel, sizeof(T)), &v, sizeof(T));
}

// The value rounded half away from zero and clamped to [low, high]; NaN
// gives 0.
static double S_round_clamp(double value, double low, double high)
{
    if (std::isnan(value))
        return 0.0;
    if (value - 0.5 <= low)
        return low;
    if (value + 0.5 >= high)
        return high;
    return std::trunc(value < 0 ? value - 0.5 : value + 0.5);
}

// Unsigned kinds: negative values give 0.
static double S_round_unsigned(double value, double high)
{
    if (std::isnan(value) || value < 0)
        return 0.0;
    if (value + 0.5 >= high)
        return high;
    return std::trunc(value + 0.5);
}

int32_t VES_pixel_read_1bit(const void *block, int32_t pixel, double *value)
{
    const unsigned char *byte = S_at(block, pixel / 8, 1);
    *value = (*byte & (0x80 >> (pixel % 8))) != 0 ? 1.0 : 0.0;
    return 0;
}

int32_t VES_pixel_write_1bit(void *block, int32_t pixel, double value)
{
    unsigned char *byte = S_at(block, pixel / 8, 1);
    auto mask = static_cast<unsigned char>(0x80 >> (pixel % 8));
    // Any value that rounds to non-zero sets the bit, however large.
    if (S_round_unsigned(value, 1.0) != 0.0)
        *byte |= mask;
    else
        *byte &= static_cast<unsigned char>(~mask);
    return 0;
}

int32_t VES_pixel_read_4bit(const void *block, int32_t pixel, double *value)
{
    unsigned char byte = *S_at(block, pixel / 2, 1);
    *value = pixel % 2 == 0 ? byte >> 4 : byte & 0x0F;
    return 0;
}

int32_t VES_pixel_write_4bit(void *block, int32_t pixel, double value)
{
    unsigned char *byte = S_at(block, pixel / 2, 1);
    auto nibble = static_cast<unsigned char>(S_round_unsigned(value, 15.0));
    if (pixel % 2 == 0)
        *byte = static_cast<unsigned char>((*byte & 0x0F) | nibble << 4);
    else
        *byte = static_cast<unsigned char>((*byte & 0xF0) | nibble);
    return 0;
}

int32_t VES_pixel_read_char(const void *block, int32_t pixel, double *value)
{
    *value = S_load<int8_t>(block, pixel);
    return 0;
}

int32_t VES_pixel_write_char(void *block, int32_t pixel, double value)
{
    S_store(block, pixel, static_cast<int8_t>(S_round_clamp(value, INT8_MIN, INT8_MAX)));
    return 0;
}

int32_t VES_pixel_read_uchar(const void *block, int32_t pixel, double *value)
{
    *value = S_load<uint8_t>(block, pixel);
    return 0;
}

int32_t VES_pixel_write_uchar(void *block, int32_t pixel, double value)
{
    S_store(block, pixel, static_cast<uint8_t>(S_round_unsigned(value, UINT8_MAX)));
    return 0;
}

int32_t VES_pixel_read_short(const void *block, int32_t pixel, double *value)
{
    *value = S_load<int16_t>(block, pixel);
    return 0;
}

int32_t VES_pixel_write_short(void *block, int32_t pixel, double value)
{
    S_store(block, pixel, static_cast<int16_t>(S_round_clamp(value, INT16_MIN, INT16_MAX)));
    return 0;
}

int32_t VES_pixel_read_ushort(const void *block, int32_t pixel, double *value)
{
    *value = S_load<uint16_t>(block, pixel);
    return 0;
}

int32_t VES_pixel_write_ushort(void *block, int32_t pixel, double value)
{
    S_store(block, pixel, static_cast<uint16_t>(S_round_unsigned(value, UINT16_MAX)));
    return 0;
}

int32_t VES_pixel_read_long(const void *block, int32_t pixel, double *value)
{
    *value = S_load<int32_t>(block, pixel);
    return 0;
}

int32_t VES_pixel_write_long(void *block, int32_t pixel, double value)
{
    S_store(block, pixel, static_cast<int32_t>(S_round_clamp(value, INT32_MIN, INT32_MAX)));
    return 0;
}

int32_t VES_pixel_read_ulong(const void *block, int32_t pixel, double *value)
{
    *value = S_load<uint32_t>(block, pixel);
    return 0;
}

int32_t VES_pixel_write_ulong(void *block, int32_t pixel, double value)
{
    S_store(block, pixel, static_cast<uint32_t>(S_round_unsigned(value, UINT32_MAX)));
    return 0;
}

int32_t VES_pixel_read_float(const void *block, int32_t pixel, double *value)
{
    *value = S_load<float>(block, pixel);
    return 0;
}

int32_t VES_pixel_write_float(void *block, int32_t pixel, double value)
{
    float narrowed;
    if (value > FLT_MAX)
        narrowed = HUGE_VALF;
    else if (value < -FLT_MAX)
        narrowed = -HUGE_VALF;
    else
        narrowed = static_cast<float>(value);
    S_store(block, pixel, narrowed);
    return 0;
}

int32_t VES_pixel_read_double(const void *block, int32_t pixel, double *value)
{
    *value = S_load<double>(block, pixel);
    return 0;
}

int32_t VES_pixel_write_double(void *block, int32_t pixel, double value)
{
    S_store(block, pixel, value);
    return 0;
}
