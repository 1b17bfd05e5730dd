// Bit sets (VE_BITMAP): bit i lives in word i / 32 under mask 1 << (i % 32).
// Bits of the last word past the count carry no meaning; filling sets them
// too, and scanning never reports them.
#include "base/util/ve_bitmap.h"

#include "base/util/zel_errors.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int32_t S_words_for(int64_t bits)
{
    return static_cast<int32_t>((bits + 31) / 32);
}

static uint32_t S_mask(int32_t bit)
{
    return 1u << (bit % 32);
}

VE_BITMAP *VES_Bitmap_Create(int32_t bit_count, int32_t all_set)
{
    if (bit_count < 1)
        return nullptr;
    auto *bitmap = static_cast<VE_BITMAP *>(malloc(sizeof(VE_BITMAP)));
    if (bitmap == nullptr)
        return nullptr;
    bitmap->bit_count = bit_count;
    bitmap->word_count = S_words_for(bit_count);
    bitmap->words = static_cast<uint32_t *>(malloc(sizeof(uint32_t) * bitmap->word_count));
    if (bitmap->words == nullptr) {
        free(bitmap);
        return nullptr;
    }
    VES_Bitmap_Clear(bitmap, all_set);
    return bitmap;
}

void VES_Bitmap_Clear(VE_BITMAP *bitmap, int32_t value)
{
    if (bitmap == nullptr)
        return;
    memset(bitmap->words, value != 0 ? 0xFF : 0x00, sizeof(uint32_t) * bitmap->word_count);
}

int32_t VES_Bitmap_Test(const VE_BITMAP *bitmap, int32_t bit)
{
    if (bitmap == nullptr)
        return 0;
    if (bit < 0 || bit >= bitmap->bit_count) {
        fprintf(stderr, "Bitmap range exceeded: testing bit %d out of %d\n", bit,
                bitmap->bit_count);
        return 0;
    }
    return static_cast<int32_t>(bitmap->words[bit / 32] & S_mask(bit));
}

int32_t VES_Bitmap_Set(VE_BITMAP *bitmap, int32_t bit, int32_t value)
{
    if (bitmap == nullptr || bit < 0 || bit >= bitmap->bit_count)
        return -1;
    if (value != 0)
        bitmap->words[bit / 32] |= S_mask(bit);
    else
        bitmap->words[bit / 32] &= ~S_mask(bit);
    return 0;
}

int32_t VES_Bitmap_MaxBits(const VE_BITMAP *bitmap)
{
    return bitmap != nullptr ? bitmap->bit_count : 0;
}

int32_t VES_Bitmap_Scan(const VE_BITMAP *bitmap, int32_t from, int32_t value)
{
    if (bitmap == nullptr || from < 0 || from >= bitmap->bit_count)
        return -1;
    // A word with nothing to find: all zeros when looking for 1, all ones for 0.
    const uint32_t barren = value != 0 ? 0u : 0xFFFFFFFFu;
    int32_t w = from / 32;
    uint32_t word = bitmap->words[w];
    if (word != barren) {
        for (int32_t b = from % 32; b < 32; b++) {
            if (((word >> b) & 1u) == (value != 0 ? 1u : 0u)) {
                int32_t found = w * 32 + b;
                return found < bitmap->bit_count ? found : -1;
            }
        }
    }
    for (w++; w < bitmap->word_count; w++) {
        word = bitmap->words[w];
        if (word == barren)
            continue;
        uint32_t matches = value != 0 ? word : ~word;
        int32_t found = w * 32 + __builtin_ctz(matches);
        return found < bitmap->bit_count ? found : -1;
    }
    return -1;
}

int32_t VES_Bitmap_ReSize(VE_BITMAP *bitmap, int32_t new_count, int32_t value)
{
    if (bitmap == nullptr)
        return ZE_NULL_POINTER;
    if (new_count < 0)
        return ZE_INVALID_ARGUMENT;
    if (new_count == 0) {
        VES_Bitmap_Destroy(bitmap);
        return 0;
    }
    if (new_count == bitmap->bit_count)
        return 0;
    int32_t old_count = bitmap->bit_count;
    int32_t old_words = bitmap->word_count;
    int32_t new_words = S_words_for(new_count);
    if (new_words != old_words) {
        void *words = realloc(bitmap->words, sizeof(uint32_t) * new_words);
        if (words == nullptr)
            return ZE_BITSET_NO_MEMORY;
        bitmap->words = static_cast<uint32_t *>(words);
        bitmap->word_count = new_words;
    }
    bitmap->bit_count = new_count;
    if (new_count > old_count) {
        // The meaningless tail of the old last word, then the new words.
        uint32_t tail = old_count % 32 == 0 ? 0u : ~0u << (old_count % 32);
        uint32_t &last = bitmap->words[old_words - 1];
        last = value != 0 ? (last | tail) : (last & ~tail);
        if (new_words > old_words)
            memset(bitmap->words + old_words, value != 0 ? 0xFF : 0x00,
                   sizeof(uint32_t) * (new_words - old_words));
    }
    return 0;
}

void VES_Bitmap_Destroy(VE_BITMAP *bitmap)
{
    if (bitmap == nullptr)
        return;
    free(bitmap->words);
    free(bitmap);
}
