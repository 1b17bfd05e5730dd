// Row buffers of the write streams: slot layout by engine type, the copy of a
// caller's row (NULLs, cut strings, dates, shapes with and without an
// annotation record), the shape parameter's header and its refusals, and the
// binding of one parameter (C and SQL types by engine type, blobs through a large object, the
// raster id, a failed bind that drops the statement).
#include "db/stream/db_write_row_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/ve_anno.h"
#include "base/util/ve_raster.h"
#include "base/util/ve_row_pointers.h"
#include "base/util/zel_errors.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_stmt_internal.h"
#include "tests/db/stream/write_fixture.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/scli_lob_store.h"

using namespace write_test;

namespace
{

class WriteRow : public WriteFixture
{
  protected:
    void TearDown() override
    {
        db_write_row_free(&row_);
        WriteFixture::TearDown();
    }
    DB_WRITE_ROW row_{};
};

size_t offset_of(const DB_WRITE_ROW &row, int32_t i)
{
    return static_cast<size_t>(static_cast<unsigned char *>(row.values[i]) - row.buffer);
}

} // namespace

TEST_F(WriteRow, SlotsAreRoundedToEightAndTheRowIdFollows)
{
    DB_COLUMN_DEF defs[] = {column_def("a", VE_SMALLINT), column_def("b", VE_STRING, 9),
                            column_def("c", VE_DOUBLE), column_def("s", VE_SHAPE),
                            column_def("r", VE_RASTER)};
    ASSERT_EQ(db_write_row_layout(&row_, "t", 5, defs, 3, 0), 0);
    const size_t shape = (sizeof(FEATURE_STRUCT) + 7) / 8 * 8;
    const size_t raster = (sizeof(RASTERATTR) + 7) / 8 * 8;
    EXPECT_EQ(offset_of(row_, 0), 0u);
    EXPECT_EQ(offset_of(row_, 1), 8u);  // 2 bytes round to 8
    EXPECT_EQ(offset_of(row_, 2), 24u); // 10 bytes round to 16
    EXPECT_EQ(offset_of(row_, 3), 32u);
    EXPECT_EQ(offset_of(row_, 4), 32u + shape);
    EXPECT_EQ(row_.rowid_index, 5);
    EXPECT_EQ(offset_of(row_, 5), 32u + shape + raster);
    EXPECT_EQ(row_.size, 32u + shape + raster + 8);
    // Without a shape column there is no VE_ROW_ID slot.
    ASSERT_EQ(db_write_row_layout(&row_, "t", 3, defs, -1, 0), 0);
    EXPECT_EQ(row_.rowid_index, -1);
    EXPECT_EQ(row_.size, 32u);
}

TEST_F(WriteRow, AnnotationRecordSitsBehindTheShape)
{
    DB_COLUMN_DEF defs[] = {column_def("s", VE_SHAPE)};
    ASSERT_EQ(db_write_row_layout(&row_, "t", 1, defs, 0, 1), 0);
    auto *slot = static_cast<FEATURE_STRUCT *>(row_.values[0]);
    EXPECT_EQ(reinterpret_cast<unsigned char *>(slot->anno),
              row_.buffer + (sizeof(FEATURE_STRUCT) + 7) / 8 * 8);

    // A caller's shape with an annotation: only its text is taken.
    Shape point(VE_ENTITY_POINT, {{5, 6}});
    VE_ANNO anno{};
    VES_initialize_anno(&anno);
    strcpy(anno.text, "Main St");
    anno.long1 = 99;
    point.feature.anno = &anno;
    void *values[] = {&point.feature};
    const int16_t present[] = {2};
    ASSERT_EQ(db_write_row_copy(&row_, present, values), 0);
    EXPECT_NE(slot->anno, &anno);
    EXPECT_STREQ(slot->anno->text, "Main St");
    EXPECT_EQ(slot->anno->long1, 0);
    // One without: the record's text is left empty.
    point.feature.anno = nullptr;
    ASSERT_EQ(db_write_row_copy(&row_, present, values), 0);
    EXPECT_STREQ(slot->anno->text, "");
}

TEST_F(WriteRow, InvalidTypesAreRefusedBeforeAnyAllocation)
{
    DB_COLUMN_DEF defs[] = {column_def("a", VE_INTEGER), column_def("b", 10)};
    StderrCapture err;
    EXPECT_EQ(db_write_row_layout(&row_, "DB_stream_init_array_insert", 2, defs, -1, 0),
              ZE_WRONG_COLUMN_TYPE);
    EXPECT_EQ(err.text(), "DB_stream_init_array_insert::Invalid column data type (10)\n");
    EXPECT_EQ(row_.buffer, nullptr);
    DB_COLUMN_DEF negative[] = {column_def("a", VE_STRING, -5)};
    EXPECT_EQ(db_write_row_layout(&row_, "t", 1, negative, -1, 0), ZE_INVALID_COLUMN_DEF);

    // A type changed under a laid-out row.
    DB_COLUMN_DEF one[] = {column_def("a", VE_INTEGER)};
    ASSERT_EQ(db_write_row_layout(&row_, "t", 1, one, -1, 0), 0);
    one[0].type = 0;
    int32_t value = 1;
    void *values[] = {&value};
    const int16_t present[] = {2};
    EXPECT_EQ(db_write_row_copy(&row_, present, values), ZE_WRONG_COLUMN_TYPE);
    EXPECT_EQ(err.text(), "S_copy_row_data::Invalid column data type (0)\n");
}

TEST_F(WriteRow, CopyByType)
{
    DB_COLUMN_DEF defs[] = {column_def("a", VE_SMALLINT),  column_def("b", VE_INTEGER),
                            column_def("c", VE_FLOAT),     column_def("d", VE_DOUBLE),
                            column_def("e", VE_STRING, 3), column_def("f", VE_STRING, 0),
                            column_def("g", VE_DATE_TYPE), column_def("h", VE_RASTER)};
    ASSERT_EQ(db_write_row_layout(&row_, "t", 8, defs, -1, 0), 0);
    int16_t a = 300;
    int32_t b = -5;
    float c = 0.25f;
    double d = 1e10;
    char e[] = "abcdef";
    char f[] = "ignored";
    VE_DATE g{};
    g.tm_year = 100, g.tm_mon = 1, g.tm_mday = 29, g.tm_hour = 23, g.tm_min = 59, g.tm_sec = 58;
    RASTERATTR h{};
    h.w[3] = 4711;
    void *values[] = {&a, &b, &c, &d, e, f, &g, &h};
    const int16_t present[] = {2, 2, 2, 2, 2, 2, 2, 2};
    ASSERT_EQ(db_write_row_copy(&row_, present, values), 0);
    EXPECT_EQ(*static_cast<int16_t *>(row_.values[0]), 300);
    EXPECT_EQ(*static_cast<int32_t *>(row_.values[1]), -5);
    EXPECT_EQ(*static_cast<float *>(row_.values[2]), 0.25f);
    EXPECT_EQ(*static_cast<double *>(row_.values[3]), 1e10);
    EXPECT_STREQ(static_cast<char *>(row_.values[4]), "abc"); // cut at the declared size
    EXPECT_EQ(row_.indicators[4], SQL_NTS);
    EXPECT_EQ(row_.indicators[5], SQL_NULL_DATA); // declared size 0: always NULL
    auto *ts = static_cast<SQL_TIMESTAMP_STRUCT *>(row_.values[6]);
    EXPECT_EQ(ts->year, 2000);
    EXPECT_EQ(ts->month, 2);
    EXPECT_EQ(ts->day, 29);
    EXPECT_EQ(ts->hour, 23);
    EXPECT_EQ(ts->second, 58);
    EXPECT_EQ(ts->fraction, 0u);
    EXPECT_EQ(static_cast<RASTERATTR *>(row_.values[7])->w[3], 4711);

    // NULL leaves every slot as it was and marks the cell.
    const int16_t nulls[] = {1, 1, 1, 1, 1, 1, 1, 1};
    void *none[8] = {};
    ASSERT_EQ(db_write_row_copy(&row_, nulls, none), 0);
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(row_.indicators[i], SQL_NULL_DATA) << i;
    EXPECT_EQ(*static_cast<int32_t *>(row_.values[1]), -5);
    EXPECT_STREQ(static_cast<char *>(row_.values[4]), "abc");
}

TEST_F(WriteRow, DateStructuresByType)
{
    VE_DATE date{};
    date.tm_year = 99, date.tm_mon = 0, date.tm_mday = 2, date.tm_hour = 7, date.tm_min = 8,
    date.tm_sec = 9;
    SQL_DATE_STRUCT d{};
    db_tm_to_sql_struct(&date, &d, SQL_TYPE_DATE);
    EXPECT_EQ(d.year, 1999);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 2);
    SQL_TIME_STRUCT t{};
    db_tm_to_sql_struct(&date, &t, SQL_TYPE_TIME);
    EXPECT_EQ(t.hour, 7);
    EXPECT_EQ(t.minute, 8);
    EXPECT_EQ(t.second, 9);
}

TEST_F(WriteRow, ShapeParameterHeader)
{
    DB_COLUMN_DEF defs[] = {column_def("s", VE_SHAPE)};
    ASSERT_EQ(db_write_row_layout(&row_, "t", 1, defs, 0, 0), 0);
    std::vector<POINT> many;
    for (int32_t i = 0; i < 100; i++)
        many.push_back({i * 10, i});
    const struct {
        uint16_t entity;
        std::vector<POINT> points;
        std::string header; // the first 8 bytes
    } cases[] = {
        {VE_ENTITY_POINT, {{1, 1}}, std::string("\x01\x01\0\0\0\0\0\0", 8)},
        {VE_ENTITY_LINE, many, std::string("\xa4\x01\x02\0\0\0\0\0", 8)}, // 100 = A4 01
        {VE_ENTITY_MULTI_POINT, {{1, 1}, {3, 3}}, std::string("\x02\x81\x04\0\0\0\0\0", 8)},
    };
    size_t capacity = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.entity);
        Shape shape(c.entity, c.points);
        void *values[] = {&shape.feature};
        const int16_t present[] = {2};
        ASSERT_EQ(db_write_row_copy(&row_, present, values), 0);
        const std::string param(reinterpret_cast<char *>(row_.shape),
                                static_cast<size_t>(row_.shape_length));
        EXPECT_EQ(param, c.header + shape.bytes());
        EXPECT_GE(row_.shape_capacity, capacity); // grows, never shrinks
        capacity = row_.shape_capacity;
    }
}

TEST_F(WriteRow, ShapeParameterRefusals)
{
    DB_COLUMN_DEF defs[] = {column_def("s", VE_SHAPE)};
    ASSERT_EQ(db_write_row_layout(&row_, "t", 1, defs, 0, 0), 0);
    Shape shape(VE_ENTITY_POINT, {{1, 1}});
    void *values[] = {&shape.feature};
    const int16_t present[] = {2};
    // A length beyond the buffer's capacity is never read.
    const int32_t capacity = shape.feature.compressed_capacity;
    shape.feature.compressed_capacity = 9;
    EXPECT_EQ(db_write_row_copy(&row_, present, values), ZE_INVALID_ARGUMENT);
    shape.feature.compressed_capacity = capacity;
    FEATURE_STRUCT empty{};
    values[0] = &empty;
    EXPECT_EQ(db_write_row_copy(&row_, present, values), ZE_NULL_SHAPE);
}

TEST_F(WriteRow, ParameterNumbersAroundTheShape)
{
    const struct {
        int32_t column, spatial, param;
    } cases[] = {{0, -1, 1}, {3, -1, 4}, {0, 1, 1}, {1, 1, 2}, {2, 1, 4}, {3, 1, 5}};
    for (const auto &c : cases)
        EXPECT_EQ(db_write_param_number(c.column, c.spatial), c.param)
            << c.column << " " << c.spatial;
}

TEST_F(WriteRow, EachTypeBindsWithItsCAndSqlTypes)
{
    // C type / SQL type / column size / buffer length of each fixed type.
    const struct {
        DB_COLUMN_DEF column;
        const char *detail;
    } cases[] = {
        {column_def("a", VE_SMALLINT), "ctype=5 sqltype=5 size=2 buflen=2"},
        {column_def("b", VE_INTEGER), "ctype=4 sqltype=4 size=0 buflen=4"},
        {column_def("c", VE_FLOAT), "ctype=7 sqltype=6 size=4 buflen=4"},
        {column_def("d", VE_DOUBLE), "ctype=8 sqltype=8 size=8 buflen=8"},
        {column_def("e", VE_STRING, 12), "ctype=1 sqltype=1 size=12 buflen=12"},
        {column_def("r", VE_RASTER), "ctype=4 sqltype=4 size=0 buflen=4"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.column.name);
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        ASSERT_EQ(db_write_prepare(stream_, &stmt, "INSERT INTO p (a) VALUES (?)"), 0);
        RASTERATTR value{};
        SQLLEN cell = 0;
        ASSERT_EQ(db_write_bind_column(stream_, &stmt, 1, &c.column, &value, &cell, 0, nullptr), 0);
        const std::vector<scli::Call> binds = scli::calls_of("SQLBindParameter");
        ASSERT_FALSE(binds.empty());
        EXPECT_EQ(binds.back().detail, std::string("param=1 io=1 ") + c.detail);
        db_free_stmt(&stmt);
    }
}

TEST_F(WriteRow, FailedBindDropsTheStatement)
{
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    ASSERT_EQ(db_write_prepare(stream_, &stmt, "INSERT INTO p (a) VALUES (?)"), 0);
    DB_COLUMN_DEF a = column_def("a", VE_INTEGER);
    int32_t value = 1;
    SQLLEN cell = 0;
    scli::fail_call("SQLBindParameter", scli::call_count("SQLBindParameter") + 1, SQL_ERROR,
                    {"HY004", -1, "bad type"});
    StderrCapture err;
    EXPECT_EQ(db_write_bind_column(stream_, &stmt, 1, &a, &value, &cell, 0, nullptr),
              ZE_DBMS_ERROR);
    EXPECT_EQ(stmt, nullptr);
    EXPECT_NE(err.text().find("S_bind_column Bind Error (-1).\n"), std::string::npos);
    DB_EXT_ERROR xerr;
    DB_stream_get_xerr(&xerr, stream_);
    EXPECT_STREQ(xerr.text, "HY004");

    // An invalid type binds nothing and keeps the statement.
    ASSERT_EQ(db_write_prepare(stream_, &stmt, "INSERT INTO p (a) VALUES (?)"), 0);
    a.type = 77;
    EXPECT_EQ(db_write_bind_column(stream_, &stmt, 1, &a, &value, &cell, 0, nullptr),
              ZE_WRONG_COLUMN_TYPE);
    EXPECT_EQ(err.text(), "S_bind_column::Invalid column data type (77)\n");
    EXPECT_NE(stmt, nullptr);
    db_free_stmt(&stmt);
}

TEST_F(WriteRow, BlobGoesThroughALargeObject)
{
    scli::LobStore &lobs = scli::lob_store_install();
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    ASSERT_EQ(db_write_prepare(stream_, &stmt, "INSERT INTO p (b) VALUES (?)"), 0);
    DB_LOB_HANDLE *lob = nullptr;
    ASSERT_EQ(db_lob_handle_create("p", "b", DB_LOB_ACCESS_DEFAULT, &lob), 0);
    ASSERT_EQ(db_lob_create_spec(lob, DB_LOB_INSERT), 0);
    DB_COLUMN_DEF b = column_def("b", VE_BLOB);
    uint8_t bytes[] = {1, 2, 3, 250};
    VE_BLOB_VALUE blob{4, bytes};
    SQLLEN cell = 0;
    EXPECT_EQ(db_write_bind_column(stream_, &stmt, 1, &b, &blob, &cell, 0, lob), 0);
    ASSERT_EQ(lobs.objects.size(), 1u);
    EXPECT_EQ(lobs.objects.begin()->second, std::string("\x01\x02\x03\xfa", 4));
    EXPECT_EQ(lob->data, nullptr); // the caller's bytes are not kept
    EXPECT_EQ(db_write_bind_column(stream_, &stmt, 1, &b, &blob, &cell, 0, nullptr),
              ZE_NULL_POINTER);
    EXPECT_EQ(stmt, nullptr);
    db_lob_close(lob);
    db_lob_handle_free(lob, 0);
}
