// Raster record helpers: constraint release, attribute reset, cell-size
// comparison.
#include "base/util/ve_raster_internal.h"

#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "base/util/ve_row_pointers.h"

// This program is linked with the linker's wrap of free() (tests/CMakeLists.txt):
// every call of free() in the program, the library's included, comes through
// S_free_watch first, so a test sees which blocks were released on any build
// and any allocator, without reading the heap's totals.
extern "C" void __real_free(void *block);
extern "C" __attribute__((visibility("default"))) void __wrap_free(void *block);

namespace
{

// The blocks freed while a watch is on, in order (a few are enough).
struct FreeWatch {
    bool on = false;
    int count = 0;
    void *blocks[16] = {};
};
FreeWatch S_free_watch;

// Counts the calls of free() that released the given block during the watch.
int S_times_freed(const void *block)
{
    int n = 0;
    for (int i = 0; i < S_free_watch.count && i < 16; i++)
        n += S_free_watch.blocks[i] == block;
    return n;
}

// Watches the calls of free() made by what runs inside it.
template <typename F> void S_watch_frees(F &&run)
{
    S_free_watch = FreeWatch{};
    S_free_watch.on = true;
    run();
    S_free_watch.on = false;
}

} // namespace

extern "C" void __wrap_free(void *block)
{
    if (S_free_watch.on && block != nullptr) {
        if (S_free_watch.count < 16)
            S_free_watch.blocks[S_free_watch.count] = block;
        S_free_watch.count++;
    }
    __real_free(block);
}

TEST(RasterConstraint, FreeReleasesBandsAndRecord)
{
    // The band array and the record are each released once, and nothing else.
    auto *constraint = static_cast<RASCONSTRAINT *>(calloc(1, sizeof(RASCONSTRAINT)));
    ASSERT_NE(constraint, nullptr);
    constraint->band_count = 4096;
    constraint->band_numbers = static_cast<int32_t *>(calloc(4096, sizeof(int32_t)));
    ASSERT_NE(constraint->band_numbers, nullptr);
    const void *bands = constraint->band_numbers;
    const void *record = constraint;
    S_watch_frees([&] { ves_raster_constraint_free(constraint); });
    EXPECT_EQ(S_times_freed(bands), 1);
    EXPECT_EQ(S_times_freed(record), 1);
    EXPECT_EQ(S_free_watch.count, 2);

    // A record without bands is released alone; a null record frees nothing.
    auto *bare = static_cast<RASCONSTRAINT *>(calloc(1, sizeof(RASCONSTRAINT)));
    ASSERT_NE(bare, nullptr);
    const void *bare_record = bare;
    S_watch_frees([&] { ves_raster_constraint_free(bare); });
    EXPECT_EQ(S_times_freed(bare_record), 1);
    EXPECT_EQ(S_free_watch.count, 1);
    S_watch_frees([] { ves_raster_constraint_free(nullptr); });
    EXPECT_EQ(S_free_watch.count, 0);
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
