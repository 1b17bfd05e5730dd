// Row pointers: one zero-filled buffer per column sized by engine type, blob
// data blocks, refusal of unknown types, and release of everything a row
// holds (run under the leak checker, which catches what is not released).
#include "base/util/ve_row_pointers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/util/ve_compress.h"
#include "base/util/ve_date.h"
#include "base/util/ve_feature.h"
#include "base/util/ve_raster.h"
#include "base/util/zel_errors.h"

namespace
{

DB_COLUMN_DEF Column(int32_t type, int32_t size = 0)
{
    DB_COLUMN_DEF c = {};
    std::snprintf(c.name, sizeof c.name, "c%d", type);
    c.type = type;
    c.size = size;
    return c;
}

bool AllZero(const void *block, size_t n)
{
    const auto *bytes = static_cast<const uint8_t *>(block);
    for (size_t i = 0; i < n; i++) {
        if (bytes[i] != 0)
            return false;
    }
    return true;
}

struct Row {
    std::vector<DB_COLUMN_DEF> columns;
    VE_ROW_POINTERS row = {};
    explicit Row(std::vector<DB_COLUMN_DEF> c) : columns(std::move(c))
    {
        row.column_count = static_cast<int16_t>(columns.size());
        row.columns = columns.data();
    }
    ~Row()
    {
        VES_free_row_pointers(&row);
    }
};

TEST(RowPointers, OneZeroFilledBufferPerColumnByType)
{
    struct Case {
        DB_COLUMN_DEF column;
        size_t bytes;
    };
    const Case cases[] = {
        {Column(VE_SMALLINT), 2},
        {Column(VE_INTEGER), 4},
        {Column(VE_FLOAT), 4},
        {Column(VE_DOUBLE), 8},
        {Column(VE_STRING, 32), 33},
        {Column(VE_STRING, 0), 1},
        {Column(VE_BLOB), sizeof(VE_BLOB_VALUE)},
        {Column(VE_DATE_TYPE), sizeof(VE_DATE)},
        {Column(VE_SHAPE), sizeof(FEATURE_STRUCT)},
        {Column(VE_RASTER), sizeof(RASTERATTR)},
    };
    std::vector<DB_COLUMN_DEF> columns;
    for (const Case &c : cases)
        columns.push_back(c.column);
    Row r(columns);
    ASSERT_EQ(VES_allocate_row_pointers(&r.row, 0), ZE_SUCCESS);
    ASSERT_NE(r.row.indicators, nullptr);
    for (size_t i = 0; i < columns.size(); i++) {
        SCOPED_TRACE(testing::Message() << "type " << cases[i].column.type);
        EXPECT_EQ(r.row.indicators[i], 0);
        ASSERT_NE(r.row.buffers[i], nullptr);
        EXPECT_EQ(r.row.values[i], r.row.buffers[i]);
        EXPECT_TRUE(AllZero(r.row.buffers[i], cases[i].bytes));
        if (cases[i].column.type != VE_BLOB && cases[i].column.type != VE_SHAPE) {
            std::memset(r.row.buffers[i], 0x5A, cases[i].bytes); // the whole size is ours
        }
    }
}

TEST(RowPointers, BlobColumnsGetTheirDataBlock)
{
    for (int32_t blob_size : {16, 0, -3}) {
        SCOPED_TRACE(blob_size);
        Row r({Column(VE_BLOB), Column(VE_INTEGER), Column(VE_BLOB)});
        ASSERT_EQ(VES_allocate_row_pointers(&r.row, blob_size), ZE_SUCCESS);
        for (int i : {0, 2}) {
            auto *blob = static_cast<VE_BLOB_VALUE *>(r.row.buffers[i]);
            if (blob_size > 0) {
                EXPECT_EQ(blob->byte_count, blob_size);
                ASSERT_NE(blob->data, nullptr);
                EXPECT_TRUE(AllZero(blob->data, static_cast<size_t>(blob_size)));
                std::memset(blob->data, 1, static_cast<size_t>(blob_size));
            } else {
                EXPECT_EQ(blob->byte_count, 0);
                EXPECT_EQ(blob->data, nullptr);
            }
        }
    }
}

TEST(RowPointers, RefusesWhatHasNoBuffer)
{
    EXPECT_EQ(VES_allocate_row_pointers(nullptr, 0), ZE_NULL_POINTER);
    struct Case {
        const char *why;
        std::vector<DB_COLUMN_DEF> columns;
        int32_t expected;
    };
    const Case cases[] = {
        {"type 10 after good columns",
         {Column(VE_INTEGER), Column(VE_SHAPE), Column(10)},
         ZE_UNKNOWN_COLUMN_TYPE},
        {"type 0", {Column(0)}, ZE_UNKNOWN_COLUMN_TYPE},
        {"an ST type", {Column(VE_POINT)}, ZE_UNKNOWN_COLUMN_TYPE},
        {"negative string size", {Column(VE_STRING, -1)}, ZE_INVALID_ARGUMENT},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        Row r(c.columns);
        EXPECT_EQ(VES_allocate_row_pointers(&r.row, 8), c.expected);
        // What was built stays for the free (the leak checker watches it).
    }
    Row negative({});
    negative.row.column_count = -1;
    EXPECT_EQ(VES_allocate_row_pointers(&negative.row, 0), ZE_INVALID_ARGUMENT);
    Row no_definitions({});
    no_definitions.row.column_count = 2;
    EXPECT_EQ(VES_allocate_row_pointers(&no_definitions.row, 0), ZE_INVALID_ARGUMENT);
    no_definitions.row.column_count = 0;
}

TEST(RowPointers, ReallocatingAndFreeingReleaseWhatTheRowHolds)
{
    Row r({Column(VE_SHAPE), Column(VE_BLOB), Column(VE_STRING, 5)});
    ASSERT_EQ(VES_allocate_row_pointers(&r.row, 10), ZE_SUCCESS);
    // A shape that owns arrays and a compressed buffer, as after a fetch.
    auto *shape = static_cast<FEATURE_STRUCT *>(r.row.buffers[0]);
    ASSERT_EQ(VES_comp_feature_alloc(shape, 3, VE_SHAPE_MASK_Z, 1), ZE_SUCCESS);
    ASSERT_EQ(VES_allocate_row_pointers(&r.row, 10), ZE_SUCCESS);
    EXPECT_TRUE(AllZero(r.row.buffers[0], sizeof(FEATURE_STRUCT)));

    VES_free_row_pointers(&r.row);
    EXPECT_EQ(r.row.indicators, nullptr);
    EXPECT_EQ(r.row.values, nullptr);
    EXPECT_EQ(r.row.buffers, nullptr);
    VES_free_row_pointers(&r.row); // a second call does nothing
    VES_free_row_pointers(nullptr);
}

} // namespace
