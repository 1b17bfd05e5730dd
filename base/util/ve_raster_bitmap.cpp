// Tile bitmaps (VE_RASTER_BITMAP) and their serialised form: positions are
// checked against the grid, sizes are computed in 64 bits, and a serialised
// block is taken only when its header agrees with the expected grid and with
// its own length. The layout is described in ve_raster_bitmap.h.
#include "base/util/ve_raster_bitmap_internal.h"

#include "base/util/zel_errors.h"

#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// Data bytes of a grid, or -1 when its bit count does not fit 32 bits.
static int64_t S_data_length(int64_t columns, int64_t rows)
{
    int64_t bits = columns * rows;
    if (columns < 0 || rows < 0 || bits > INT32_MAX)
        return -1;
    return (bits + 7) / 8;
}

static bool S_inside(const VE_RASTER_BITMAP *b, int32_t column, int32_t row)
{
    return column >= 0 && row >= 0 && column < b->columns && row < b->rows;
}

static int64_t S_bit(const VE_RASTER_BITMAP *b, int32_t column, int32_t row)
{
    return static_cast<int64_t>(b->columns) * row + column;
}

static bool S_get(const unsigned char *data, int64_t bit)
{
    return (data[bit / 8] & (0x80 >> (bit % 8))) != 0;
}

static void S_put(unsigned char *data, int64_t bit, bool value)
{
    auto mask = static_cast<unsigned char>(0x80 >> (bit % 8));
    if (value)
        data[bit / 8] |= mask;
    else
        data[bit / 8] &= static_cast<unsigned char>(~mask);
}

VE_RASTER_BITMAP *ves_raster_bitmap_create(int32_t columns, int32_t rows, unsigned char *buffer,
                                           int32_t fill, int32_t value)
{
    int64_t length = S_data_length(columns, rows);
    if (length < 0)
        return nullptr;
    auto *bitmap = static_cast<VE_RASTER_BITMAP *>(malloc(sizeof(VE_RASTER_BITMAP)));
    if (bitmap == nullptr)
        return nullptr;
    bitmap->bit_count = columns * rows;
    bitmap->data_length = static_cast<int32_t>(length);
    bitmap->columns = columns;
    bitmap->rows = rows;
    if (buffer != nullptr) {
        bitmap->data = buffer;
        if (fill != 0)
            VES_raster_bitmap_reset(bitmap, value);
        return bitmap;
    }
    bitmap->data = static_cast<unsigned char *>(malloc(length > 0 ? length : 1));
    if (bitmap->data == nullptr) {
        free(bitmap);
        return nullptr;
    }
    VES_raster_bitmap_reset(bitmap, value);
    return bitmap;
}

void ves_raster_bitmap_free(VE_RASTER_BITMAP *bitmap, int32_t free_data)
{
    if (bitmap == nullptr)
        return;
    if (free_data != 0)
        free(bitmap->data);
    free(bitmap);
}

int32_t VES_raster_bitmap_reset(VE_RASTER_BITMAP *bitmap, int32_t value)
{
    if (bitmap == nullptr)
        return ZE_NULL_POINTER;
    memset(bitmap->data, value != 0 ? 0xFF : 0x00, static_cast<size_t>(bitmap->data_length));
    return 0;
}

int32_t ves_raster_bitmap_test(const VE_RASTER_BITMAP *bitmap, int32_t column, int32_t row)
{
    if (bitmap == nullptr || !S_inside(bitmap, column, row))
        return 0;
    return S_get(bitmap->data, S_bit(bitmap, column, row)) ? 1 : 0;
}

int32_t ves_raster_bitmap_set(VE_RASTER_BITMAP *bitmap, int32_t column, int32_t row, int32_t value)
{
    if (bitmap == nullptr)
        return ZE_NULL_POINTER;
    if (!S_inside(bitmap, column, row))
        return ZE_INVALID_ARGUMENT;
    S_put(bitmap->data, S_bit(bitmap, column, row), value != 0);
    return 0;
}

int32_t ves_raster_bitmap_fill_window(VE_RASTER_BITMAP *bitmap,
                                      const VE_RASTER_BITMAP_WINDOW *window, int32_t value)
{
    if (bitmap == nullptr || window == nullptr)
        return ZE_NULL_POINTER;
    if (window->min_column > window->max_column || window->min_row > window->max_row ||
        !S_inside(bitmap, window->min_column, window->min_row) ||
        !S_inside(bitmap, window->max_column, window->max_row))
        return ZE_INVALID_ARGUMENT;
    const unsigned char whole = value != 0 ? 0xFF : 0x00;
    for (int32_t row = window->min_row; row <= window->max_row; row++) {
        for (int32_t column = window->min_column; column <= window->max_column;) {
            int64_t bit = S_bit(bitmap, column, row);
            int32_t remaining = window->max_column - column + 1;
            if (bit % 8 == 0 && remaining >= 8) {
                int32_t bytes = remaining / 8;
                memset(bitmap->data + bit / 8, whole, static_cast<size_t>(bytes));
                column += bytes * 8;
            } else {
                S_put(bitmap->data, bit, value != 0);
                column++;
            }
        }
    }
    return 0;
}

// Bits are moved in runs of up to 56, so that a run plus its offset in its
// first byte fits one 64-bit word, read and written most significant byte
// first. A word that would reach past the data is read or written byte by
// byte.
constexpr int kRunBits = 56;

// Bits [bit, bit + n) of data, at the top of the result; 1 <= n <= 56.
static uint64_t S_load_run(const unsigned char *data, int64_t length, int64_t bit, int n)
{
    int64_t byte = bit / 8;
    int shift = static_cast<int>(bit % 8);
    uint64_t w = 0;
    if (byte + 8 <= length) {
        memcpy(&w, data + byte, sizeof w);
        w = __builtin_bswap64(w);
    } else {
        for (int i = 0; i < (shift + n + 7) / 8; i++)
            w |= static_cast<uint64_t>(data[byte + i]) << (56 - 8 * i);
    }
    return (w << shift) & (~0ull << (64 - n));
}

// Writes the top n bits of run over bits [bit, bit + n) of data, leaving
// the bits around them as they are.
static void S_store_run(unsigned char *data, int64_t length, int64_t bit, int n, uint64_t run)
{
    int64_t byte = bit / 8;
    int shift = static_cast<int>(bit % 8);
    uint64_t mask = (~0ull << (64 - n)) >> shift;
    uint64_t value = (run >> shift) & mask;
    if (byte + 8 <= length) {
        uint64_t w;
        memcpy(&w, data + byte, sizeof w);
        w = __builtin_bswap64((__builtin_bswap64(w) & ~mask) | value);
        memcpy(data + byte, &w, sizeof w);
        return;
    }
    for (int i = 0; i < (shift + n + 7) / 8; i++) {
        auto m = static_cast<unsigned char>(mask >> (56 - 8 * i));
        auto v = static_cast<unsigned char>(value >> (56 - 8 * i));
        data[byte + i] = static_cast<unsigned char>((data[byte + i] & ~m) | v);
    }
}

// Copies n bits from source bit from to target bit to; the two may not
// share data.
static void S_copy_bits(unsigned char *target, int64_t target_length, int64_t to,
                        const unsigned char *source, int64_t source_length, int64_t from, int64_t n)
{
    if (from % 8 == 0 && to % 8 == 0 && n >= 8) {
        int64_t bytes = n / 8;
        memcpy(target + to / 8, source + from / 8, static_cast<size_t>(bytes));
        from += bytes * 8;
        to += bytes * 8;
        n -= bytes * 8;
    }
    while (n > 0) {
        int run = n < kRunBits ? static_cast<int>(n) : kRunBits;
        S_store_run(target, target_length, to, run, S_load_run(source, source_length, from, run));
        from += run;
        to += run;
        n -= run;
    }
}

int32_t ves_raster_bitmap_copy_in(VE_RASTER_BITMAP *target, const VE_RASTER_BITMAP *source,
                                  int32_t column_offset, int32_t row_offset)
{
    if (target == nullptr || source == nullptr)
        return ZE_NULL_POINTER;
    // Source positions whose target position lies inside the target.
    int64_t first_column = std::max<int64_t>(0, -static_cast<int64_t>(column_offset));
    int64_t end_column =
        std::min<int64_t>(source->columns, static_cast<int64_t>(target->columns) - column_offset);
    int64_t first_row = std::max<int64_t>(0, -static_cast<int64_t>(row_offset));
    int64_t end_row =
        std::min<int64_t>(source->rows, static_cast<int64_t>(target->rows) - row_offset);
    if (end_column <= first_column)
        return 0;
    const bool shared = target->data == source->data;
    for (int64_t r = first_row; r < end_row; r++) {
        auto tr = static_cast<int32_t>(r + row_offset);
        int64_t from = S_bit(source, static_cast<int32_t>(first_column), static_cast<int32_t>(r));
        int64_t to = S_bit(target, static_cast<int32_t>(first_column + column_offset), tr);
        if (!shared) {
            S_copy_bits(target->data, target->data_length, to, source->data, source->data_length,
                        from, end_column - first_column);
            continue;
        }
        // A bitmap copied into itself goes bit by bit, in order.
        for (int64_t c = 0; c < end_column - first_column; c++)
            S_put(target->data, to + c, S_get(source->data, from + c));
    }
    return 0;
}

// 1 when every valid bit equals value.
static int32_t S_all(const VE_RASTER_BITMAP *bitmap, bool value)
{
    if (bitmap == nullptr)
        return 0;
    const unsigned char whole = value ? 0xFF : 0x00;
    int32_t full_bytes = bitmap->bit_count / 8;
    for (int32_t i = 0; i < full_bytes; i++)
        if (bitmap->data[i] != whole)
            return 0;
    for (int64_t bit = static_cast<int64_t>(full_bytes) * 8; bit < bitmap->bit_count; bit++)
        if (S_get(bitmap->data, bit) != value)
            return 0;
    return 1;
}

int32_t ves_raster_bitmap_is_full(const VE_RASTER_BITMAP *bitmap)
{
    return S_all(bitmap, true);
}

int32_t VES_raster_bitmap_is_empty(const VE_RASTER_BITMAP *bitmap)
{
    return S_all(bitmap, false);
}

int32_t ves_raster_bitmap_set_buffer(VE_RASTER_BITMAP *bitmap, unsigned char *buffer,
                                     int32_t length)
{
    if (bitmap == nullptr || buffer == nullptr || length < bitmap->data_length) {
        fprintf(stderr, "VES_raster_bitmap_set_buffer() failed.\n");
        return -1;
    }
    bitmap->data = buffer;
    return 0;
}

// ---- serialised form ----

static void S_put32(unsigned char *p, int32_t v)
{
    auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; i++)
        p[i] = static_cast<unsigned char>(u >> (8 * i));
}

static int64_t S_get32(const unsigned char *p)
{
    return static_cast<int64_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 |
                                static_cast<uint32_t>(p[3]) << 24);
}

int32_t VES_raster_bitmap_serialize(const VE_RASTER_BITMAP *bitmap, unsigned char **block,
                                    int32_t *length)
{
    if (block == nullptr || length == nullptr)
        return ZE_NULL_POINTER;
    *block = nullptr;
    *length = 0;
    if (bitmap == nullptr || bitmap->data_length < 0 ||
        bitmap->data_length > INT32_MAX - VE_RASTER_BITMAP_HEADER_SIZE)
        return ZE_NULL_POINTER;
    int32_t total = bitmap->data_length + VE_RASTER_BITMAP_HEADER_SIZE;
    auto *out = static_cast<unsigned char *>(malloc(static_cast<size_t>(total)));
    if (out == nullptr)
        return ZE_BUFFER_NO_MEMORY;
    S_put32(out, bitmap->bit_count);
    S_put32(out + 4, bitmap->data_length);
    S_put32(out + 8, bitmap->columns);
    S_put32(out + 12, bitmap->rows);
    S_put32(out + 16, 0); // reserved: zero rather than whatever the heap held
    memcpy(out + VE_RASTER_BITMAP_HEADER_SIZE, bitmap->data,
           static_cast<size_t>(bitmap->data_length));
    *block = out;
    *length = total;
    return 0;
}

VE_RASTER_BITMAP *VES_raster_bitmap_deserialize(const unsigned char *block, int32_t length,
                                                int32_t columns, int32_t rows)
{
    if (block == nullptr || length < VE_RASTER_BITMAP_HEADER_SIZE)
        return nullptr;
    int64_t bit_count = S_get32(block);
    int64_t data_length = S_get32(block + 4);
    if (S_get32(block + 8) != columns || S_get32(block + 12) != rows)
        return nullptr;
    int64_t expected_length = S_data_length(columns, rows);
    if (expected_length < 0 || bit_count != static_cast<int64_t>(columns) * rows ||
        data_length != expected_length || data_length + VE_RASTER_BITMAP_HEADER_SIZE != length)
        return nullptr;
    VE_RASTER_BITMAP *bitmap = ves_raster_bitmap_create(columns, rows, nullptr, 0, 0);
    if (bitmap == nullptr)
        return nullptr;
    memcpy(bitmap->data, block + VE_RASTER_BITMAP_HEADER_SIZE, static_cast<size_t>(data_length));
    return bitmap;
}

int32_t VES_raster_bitmap_get_serialized_length(int32_t columns, int32_t rows)
{
    if (columns < 1 || rows < 1)
        return 0;
    int64_t length = S_data_length(columns, rows);
    if (length < 0)
        return 0;
    return static_cast<int32_t>(length + VE_RASTER_BITMAP_HEADER_SIZE);
}
