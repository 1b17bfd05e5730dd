// Raster record helpers: constraint release, attribute reset, cell-size
// comparison.
#include "base/util/ve_raster_internal.h"

#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "base/util/ve_row_pointers.h"

#if defined(__SANITIZE_ADDRESS__)
#define S_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define S_ASAN 1
#endif
#endif
#ifdef S_ASAN
extern "C" size_t __sanitizer_get_current_allocated_bytes(void); // the sanitizer's runtime
#else
#include <malloc.h>
#endif

namespace
{

// Bytes of the C heap in use now, by the allocator the program runs on.
size_t S_heap_in_use()
{
#ifdef S_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

} // namespace

TEST(RasterConstraint, FreeReleasesBandsAndRecord)
{
    // The heap's bytes in use come back to where they were: the band array
    // and the record both went, in a plain build as under the sanitizer.
    const size_t before = S_heap_in_use();
    auto *constraint = static_cast<RASCONSTRAINT *>(calloc(1, sizeof(RASCONSTRAINT)));
    ASSERT_NE(constraint, nullptr);
    constraint->band_count = 4096;
    constraint->band_numbers = static_cast<int32_t *>(calloc(4096, sizeof(int32_t)));
    ASSERT_NE(constraint->band_numbers, nullptr);
    EXPECT_GE(S_heap_in_use(), before + 4096 * sizeof(int32_t));
    ves_raster_constraint_free(constraint);
    EXPECT_EQ(S_heap_in_use(), before);
    ves_raster_constraint_free(static_cast<RASCONSTRAINT *>(calloc(1, sizeof(RASCONSTRAINT))));
    ves_raster_constraint_free(nullptr);
    EXPECT_EQ(S_heap_in_use(), before);
}

TEST(RasterAttr, ResetEmptiesTheRecord)
{
    RASTERATTR attr;
    memset(&attr, 0x5A, sizeof attr);
    attr.w[RASTERATTR_ARRAY_COUNT] = 4;
    attr.array = static_cast<int32_t *>(calloc(4, sizeof(int32_t)));
    ves_rasterattr_reset(&attr);

    EXPECT_EQ(attr.array, nullptr);
    for (int i = 0; i < 28; i++)
        EXPECT_EQ(attr.w[i], (i == 1 || i == 2) ? -1 : 0) << "word " << i;
    EXPECT_EQ(attr.envelope.minx, 2147483647.0);
    EXPECT_EQ(attr.envelope.miny, 2147483647.0);
    EXPECT_EQ(attr.envelope.maxx, 0.0);
    EXPECT_EQ(attr.envelope.maxy, 0.0);
    for (int32_t word : attr.tail)
        EXPECT_EQ(word, 0);
    ves_rasterattr_reset(nullptr);
}

TEST(RasterAttr, ResetKeepsAnArrayItDoesNotOwn)
{
    int32_t borrowed[2] = {7, 8};
    RASTERATTR attr{};
    attr.array = borrowed; // count 0: the array is not the record's to free
    ves_rasterattr_reset(&attr);
    EXPECT_EQ(attr.array, borrowed);
}

struct CellCase {
    double a, b, reference;
    int equal;
};

TEST(CellSize, EqualWithinFourteenSignificantDigits)
{
    const CellCase cases[] = {
        {0.5, 0.5, 123.0, 1}, // exactly equal
        {1.0, 0.0, 5.0, 0},   // zero is never a cell size
        {0.0, 0.0, 5.0, 0},
        {-2.0, -2.0, 5.0, 0},       // nor a negative one
        {1.0, 1.0 + 1e-14, 0.0, 1}, // a >= 1, reference < 1: digits of a (13)
        {1.0, 1.0 + 1e-12, 0.0, 0},
        {100.0, 100.0 + 1e-12, 0.5, 1}, // digits 14 - 3 = 11
        {100.0, 100.0 + 1e-10, 0.5, 0},
        {2.0, 2.0 + 1e-10, 5e4, 1}, // reference larger: 14 - 5 = 9 digits
        {2.0, 2.0 + 1e-8, 5e4, 0},
        {0.25, 0.25 + 1e-15, 0.1, 1}, // a < 1, reference < 1: 14 digits
        {0.25, 0.25 + 1e-13, 0.1, 0},
        {0.25, 0.25 + 1e-12, -1000.0, 1}, // |reference| >= 1: 14 - 4 = 10 digits
        {0.25, 0.25 + 1e-9, -1000.0, 0},
        {NAN, NAN, 1.0, 0},
        {1.0, NAN, 1.0, 0},
    };
    for (const CellCase &c : cases)
        EXPECT_EQ(VES_cell_size_equal(c.a, c.b, c.reference), c.equal)
            << c.a << " " << c.b << " " << c.reference;
}

TEST(RasterPresent, NeedsAValueInARasterColumn)
{
    DB_COLUMN_DEF columns[3] = {};
    columns[0].type = VE_INTEGER;
    columns[1].type = VE_RASTER;
    columns[2].type = VE_STRING;
    struct PresentCase {
        int16_t indicators[3];
        int32_t present;
    } cases[] = {
        {{VE_IND_VALUE, VE_IND_VALUE, VE_IND_VALUE}, 1},
        {{VE_IND_NULL, VE_IND_VALUE, VE_IND_NULL}, 1},
        {{VE_IND_VALUE, VE_IND_NULL, VE_IND_VALUE}, 0}, // raster column NULL
        {{VE_IND_VALUE, VE_IND_NO_SHAPE, VE_IND_VALUE}, 0},
        {{0, 0, 0}, 0},
    };
    for (auto &c : cases) {
        VE_ROW_POINTERS row{};
        row.column_count = 3;
        row.columns = columns;
        row.indicators = c.indicators;
        EXPECT_EQ(VES_raster_present(&row), c.present);
    }
    VE_ROW_POINTERS empty{};
    EXPECT_EQ(VES_raster_present(&empty), 0);
    EXPECT_EQ(VES_raster_present(nullptr), 0);
}
