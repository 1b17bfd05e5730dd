// Descriptions of a table's columns, of a prepared SELECT and of a list of
// columns: bind lengths, C types, row-id and spatial marks, long names and
// CLI failures, against the SQL of the scripted CLI's journal.
#include "db/core/db_describe_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/ve_layer.h"
#include "base/util/ve_registration.h"
#include "base/util/zel_errors.h"
#include "db/core/db_column_type_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/db/core/db_xtd_query.h"
#include "tests/support/quiet_stderr.h"

namespace
{

// The three arrays of a description, freed with the C heap's free.
struct Described {
    int16_t count = -1;
    DB_COLUMN_DEF *columns = nullptr;
    int32_t *lengths = nullptr;
    int16_t *c_types = nullptr;
    ~Described()
    {
        free(columns);
        free(lengths);
        free(c_types);
    }
};

struct Expected {
    const char *name;
    int32_t type, size;
    int16_t digits;
    int32_t nulls, length;
    int16_t c_type;
};

void expect_columns(const Described &d, const std::vector<Expected> &want)
{
    ASSERT_EQ(d.count, static_cast<int16_t>(want.size()));
    for (size_t i = 0; i < want.size(); i++) {
        SCOPED_TRACE(want[i].name);
        EXPECT_STREQ(d.columns[i].name, want[i].name);
        EXPECT_EQ(d.columns[i].type, want[i].type);
        EXPECT_EQ(d.columns[i].size, want[i].size);
        EXPECT_EQ(d.columns[i].decimal_digits, want[i].digits);
        EXPECT_EQ(d.columns[i].nulls_allowed, want[i].nulls);
        EXPECT_EQ(d.lengths[i], want[i].length);
        EXPECT_EQ(d.c_types[i], want[i].c_type);
    }
}

REGISTRATION registration(uint32_t flags, const char *rowid)
{
    REGISTRATION r;
    memset(&r, 0, sizeof(r));
    r.object_flags = flags;
    strcpy(r.rowid_column, rowid);
    return r;
}

std::string layers_query(const std::string &table)
{
    char layers[DB_QUALIFIED_NAME_SIZE];
    db_make_layers_table_name(nullptr, layers, sizeof(layers));
    return std::string("SELECT spatial_column FROM ") + layers +
           " WHERE database_name = 'gis' AND table_name = '" + table + "' AND owner = 'bob'";
}

} // namespace

class DescribeTable : public ConnectedUser
{
  protected:
    void SetUp() override
    {
        ConnectedUser::SetUp();
        scli::add_table("bob", "p_rcels",
                        {{"id", SQL_INTEGER, 10, 0, SQL_NO_NULLS},
                         {"name", SQL_CHAR, 10},
                         {"area", SQL_DECIMAL, 12, 2},
                         {"shape", -101, 2048, 0, SQL_NULLABLE, "st_polygon"},
                         {"created", SQL_TYPE_DATE},
                         {"raw", SQL_LONGVARBINARY, 1000}});
        // Same name under another owner, and a name "_" would match.
        scli::add_table("ann", "p_rcels", {{"other", SQL_INTEGER}});
        scli::add_table("bob", "pxrcels", {{"other", SQL_INTEGER}});
        scli::on_sql(xtd_query("bob", "p_rcels", "shape"))
            .columns({{"name", SQL_VARCHAR, 128}})
            .row({scli::varchar("st_polygon")})
            .repeat();
    }
};

TEST_F(DescribeTable, ColumnsOfOneTableOfOneOwner)
{
    Described d;
    ASSERT_EQ(db_describe_table(nullptr, nullptr, "p_rcels", &d.count, &d.columns, &d.lengths,
                                &d.c_types),
              ZE_SUCCESS);
    expect_columns(d, {{"id", VE_INTEGER, 10, 0, 0, 4, SQL_C_LONG},
                       {"name", VE_STRING, 10, 0, 1, 11, SQL_C_CHAR},
                       {"area", VE_DOUBLE, 12, 2, 1, 8, SQL_C_DOUBLE},
                       {"shape", VE_POLYGON, 2048, 0, 1, 60000, SQL_C_BINARY},
                       {"created", VE_DATE_TYPE, 0, 0, 1, 6, SQL_C_DATE},
                       {"raw", VE_BLOB, 1000, 0, 1, 60000, SQL_C_BINARY}});
    for (int i = 0; i < d.count; i++)
        EXPECT_EQ(d.columns[i].rowid_kind, DB_ROWID_NONE);
    std::vector<scli::Call> catalog = scli::calls_of("SQLColumns");
    ASSERT_EQ(catalog.size(), 1u);
    EXPECT_EQ(catalog[0].detail, "catalog=<null> owner=bob table=p\\_rcels column=<null>");
    EXPECT_EQ(Executed(), std::vector<std::string>{xtd_query("bob", "p_rcels", "shape")});
}

TEST_F(DescribeTable, RowIdKindsFollowTheRegistration)
{
    const struct {
        uint32_t flags;
        const char *rowid;
        int16_t id_kind;
    } cases[] = {
        {REG_ROWID_COLUMN | REG_ROWID_ENGINE, "id", DB_ROWID_ENGINE},
        {REG_ROWID_COLUMN, "id", DB_ROWID_USER},
        {REG_ROWID_ENGINE, "id", DB_ROWID_NONE},
        {REG_ROWID_COLUMN, "ID", DB_ROWID_NONE}, // the table describe compares exactly
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.flags);
        REGISTRATION r = registration(c.flags, c.rowid);
        Described d;
        ASSERT_EQ(db_describe_table(nullptr, &r, "bob.p_rcels", &d.count, &d.columns, &d.lengths,
                                    &d.c_types),
                  ZE_SUCCESS);
        ASSERT_EQ(d.count, 6);
        EXPECT_EQ(d.columns[0].rowid_kind, c.id_kind);
        for (int i = 1; i < d.count; i++)
            EXPECT_EQ(d.columns[i].rowid_kind, DB_ROWID_NONE);
    }
}

TEST_F(DescribeTable, LayerRegistrationMarksTheSpatialColumn)
{
    scli::add_table("bob", "roads", {{"id", SQL_INTEGER}, {"geom", SQL_LONGVARBINARY, 500}});
    // The layer catalogue is asked about the one candidate column; the raster
    // column look-up finds none, which leaves the description as it is.
    const std::string layers = layers_query("roads") + " AND ( spatial_column = 'geom')";
    scli::on_sql(layers).columns({{"spatial_column", SQL_CHAR, 32}}).row({scli::chr("geom", 32)});
    const std::string rasters = catalog_test::raster_by_table(false);
    scli::on_sql(rasters).columns({{"rastercolumn_id", SQL_INTEGER}});
    REGISTRATION r = registration(REG_LAYER | REG_RASTER_COLUMN, "");
    Described d;
    ASSERT_EQ(db_describe_table(nullptr, &r, "roads", &d.count, &d.columns, &d.lengths, &d.c_types),
              ZE_SUCCESS);
    expect_columns(d, {{"id", VE_INTEGER, 10, 0, 1, 4, SQL_C_LONG},
                       {"geom", VE_SHAPE, 0, 0, 1, 60000, SQL_C_BINARY}});
    EXPECT_EQ(Executed(), (std::vector<std::string>{layers, rasters}));
}

TEST_F(DescribeTable, MissingTableHasNoColumns)
{
    Described d;
    EXPECT_EQ(db_describe_table(nullptr, nullptr, "nothing", &d.count, &d.columns, &d.lengths,
                                &d.c_types),
              ZE_SUCCESS);
    EXPECT_EQ(d.count, 0);
    EXPECT_EQ(d.columns, nullptr);
}

TEST_F(DescribeTable, LongNamesAreCut)
{
    const std::string long_name(60, 'c');
    scli::add_table("bob", "wide", {{long_name, SQL_INTEGER}});
    Described d;
    ASSERT_EQ(
        db_describe_table(nullptr, nullptr, "wide", &d.count, &d.columns, &d.lengths, &d.c_types),
        ZE_SUCCESS);
    ASSERT_EQ(d.count, 1);
    EXPECT_EQ(std::string(d.columns[0].name), std::string(31, 'c'));
}

TEST_F(DescribeTable, UnsupportedTypeEndsTheDescribe)
{
    scli::add_table("bob", "flags", {{"id", SQL_INTEGER}, {"on", SQL_BIT}, {"x", SQL_INTEGER}});
    Described d;
    StderrCapture capture;
    EXPECT_EQ(
        db_describe_table(nullptr, nullptr, "flags", &d.count, &d.columns, &d.lengths, &d.c_types),
        ZE_UNSUPPORTED_COLUMN_TYPE);
    EXPECT_EQ(capture.text(), "db_map_dbms_to_zel_type::Error in converting database type = -7\n"
                              "db_describe_table::Error converting column 2\n");
}

TEST_F(DescribeTable, CliFailures)
{
    auto stream = std::make_unique<DB_STREAM>();
    const struct {
        const char *fn;
        int nth; // the call of fn that fails
        const char *sqlstate;
        int32_t code;
        bool in_stream; // else the connection's record
    } cases[] = {
        {"SQLFetch", 2, "S0002", ZE_TABLE_NOT_FOUND, true},
        {"SQLFetch", 1, "S0022", ZE_COLUMN_NOT_FOUND, true},
        {"SQLFetch", 3, "S1000", ZE_DBMS_ERROR, true},
        {"SQLColumns", 1, "S1000", ZE_DBMS_ERROR, false},
        {"SQLBindCol", 5, "S1000", ZE_DBMS_ERROR, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.fn) + " " + c.sqlstate);
        db_clear_global_xerr(nullptr);
        DB_stream_clear_xerr(stream.get());
        scli::fail_call(c.fn, scli::call_count(c.fn) + c.nth, SQL_ERROR,
                        {c.sqlstate, -206, "gone"});
        Described d;
        quiet_stderr([&] {
            EXPECT_EQ(db_describe_table(stream.get(), nullptr, "p_rcels", &d.count, &d.columns,
                                        &d.lengths, &d.c_types),
                      c.code);
        });
        DB_EXT_ERROR xerr;
        if (c.in_stream)
            DB_stream_get_xerr(&xerr, stream.get());
        else
            DB_instance_get_xerr(&xerr);
        EXPECT_EQ(xerr.native_error, -206);
        EXPECT_STREQ(xerr.text, c.sqlstate);
    }
    EXPECT_EQ(db_describe_table(nullptr, nullptr, "t", nullptr, nullptr, nullptr, nullptr),
              ZE_NULL_POINTER);
    Described d;
    const std::string long_owner = std::string(40, 'o') + ".t";
    EXPECT_EQ(db_describe_table(nullptr, nullptr, long_owner.c_str(), &d.count, &d.columns,
                                &d.lengths, &d.c_types),
              ZE_INVALID_ARGUMENT);
}

using DescribeSelect = ConnectedUser;

// Prepares sql and describes its result for a stream whose select list is
// select; the statement is freed again.
static void describe_for_select(const char *sql, std::string &select, Described &d)
{
    auto stream = std::make_unique<DB_STREAM>();
    stream->sql_select = select.data();
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    ASSERT_EQ(db_prepare_cursor(nullptr, &hstmt, sql, 0), 0);
    EXPECT_EQ(db_describe_select(stream.get(), hstmt, &d.count, &d.columns, &d.lengths, &d.c_types),
              ZE_SUCCESS);
    db_free_stmt(&hstmt);
}

TEST_F(DescribeSelect, ResultColumnsAndUnnamedMeasures)
{
    const char *sql = "SELECT id, VE_Area(shape), VE_Length(shape), label, VE_Area(s2) FROM t";
    scli::on_sql(sql).columns({{"id", SQL_INTEGER, 10, 0, SQL_NO_NULLS},
                               {"", SQL_DOUBLE, 15},
                               {"", SQL_DOUBLE, 15},
                               {"label", SQL_VARCHAR, 2048},
                               {"", SQL_DOUBLE, 15}});
    std::string select = "id, VE_Area(shape), VE_Length(shape), label, VE_Area(s2)";
    Described d;
    describe_for_select(sql, select, d);
    expect_columns(d, {{"id", VE_INTEGER, 10, 0, 0, 4, SQL_C_LONG},
                       {"VE_Area(shape)", VE_DOUBLE, 15, 0, 1, 8, SQL_C_DOUBLE},
                       {"VE_Length(shape)", VE_DOUBLE, 15, 0, 1, 8, SQL_C_DOUBLE},
                       {"label", VE_STRING, 2048, 0, 1, 2049, SQL_C_BINARY},
                       {"VE_Area(s2)", VE_DOUBLE, 15, 0, 1, 8, SQL_C_DOUBLE}});
}

TEST_F(DescribeSelect, LongMeasureTextIsCutAndUnclosedTextEnds)
{
    const char *sql = "SELECT x";
    scli::on_sql(sql).columns(
        {{"", SQL_DOUBLE, 15}, {"", SQL_DOUBLE, 15}, {std::string(50, 'n'), SQL_INTEGER}});
    std::string select = "VE_Area(" + std::string(40, 's') + ")";
    Described d;
    describe_for_select(sql, select, d);
    ASSERT_EQ(d.count, 3);
    EXPECT_EQ(std::string(d.columns[0].name), select.substr(0, 31));
    EXPECT_STREQ(d.columns[1].name, "");
    EXPECT_EQ(std::string(d.columns[2].name), std::string(31, 'n'));
}

TEST_F(DescribeSelect, NoResultColumnAndFailures)
{
    scli::on_sql("UPDATE t SET a = 1").repeat();
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    ASSERT_EQ(db_prepare_cursor(nullptr, &hstmt, "UPDATE t SET a = 1", 0), 0);
    Described d;
    EXPECT_EQ(db_describe_select(nullptr, hstmt, &d.count, &d.columns, &d.lengths, &d.c_types),
              ZE_NO_RESULT_COLUMNS);
    EXPECT_EQ(d.count, 0);
    EXPECT_EQ(d.columns, nullptr);
    EXPECT_EQ(d.lengths, nullptr);

    scli::on_sql("SELECT a, b FROM t").columns({{"a", SQL_INTEGER}, {"b", SQL_INTEGER}}).repeat();
    db_free_stmt(&hstmt);
    ASSERT_EQ(db_prepare_cursor(nullptr, &hstmt, "SELECT a, b FROM t", 0), 0);
    const struct {
        const char *sqlstate;
        int32_t native, code;
        int16_t count;
    } cases[] = {
        {"S0002", -206, ZE_TABLE_NOT_FOUND, 1}, {"S0022", -217, ZE_COLUMN_NOT_FOUND, 1},
        {"HY000", -1, ZE_DBMS_ERROR, 1},        {"24000", -1, ZE_SUCCESS, 1},
        {"HY000", 111, ZE_SUCCESS, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sqlstate);
        db_clear_global_xerr(nullptr);
        scli::fail_call("SQLDescribeCol", scli::call_count("SQLDescribeCol") + 2, SQL_ERROR,
                        {c.sqlstate, c.native, "no"});
        Described e;
        quiet_stderr([&] {
            EXPECT_EQ(
                db_describe_select(nullptr, hstmt, &e.count, &e.columns, &e.lengths, &e.c_types),
                c.code);
        });
        EXPECT_EQ(e.count, c.count);
        DB_EXT_ERROR xerr;
        DB_instance_get_xerr(&xerr);
        EXPECT_EQ(xerr.code, c.code == ZE_SUCCESS ? 0 : ZE_DBMS_ERROR);
    }
    db_free_stmt(&hstmt);
}

class ColumnDefs : public ConnectedUser
{
  protected:
    void TearDown() override
    {
        free(columns_);
        free(layers_);
        ConnectedUser::TearDown();
    }
    DB_COLUMN_DEF *columns_ = nullptr;
    LAYER **layers_ = nullptr;
};

TEST_F(ColumnDefs, CardinalityIsQualifiedByTheTable)
{
    const char *sql = "SELECT name,  t.cardinality FROM t";
    scli::on_sql(sql).columns({{"name", SQL_CHAR, 20}, {"cardinality", SQL_INTEGER}});
    const char *names[] = {"name", "cardinality"};
    ASSERT_EQ(
        DB_table_get_column_defs(nullptr, nullptr, "t", nullptr, 2, names, &columns_, &layers_),
        ZE_SUCCESS);
    EXPECT_STREQ(columns_[1].name, "cardinality");
    EXPECT_EQ(columns_[0].type, VE_STRING);
    EXPECT_EQ(columns_[0].rowid_kind, DB_ROWID_NONE);
    ASSERT_NE(layers_, nullptr);
    EXPECT_EQ(layers_[0], nullptr);
    std::vector<scli::Call> prepares = scli::calls_of("SQLPrepare");
    ASSERT_EQ(prepares.size(), 1u);
    EXPECT_EQ(prepares[0].sql, sql);
}

TEST_F(ColumnDefs, StreamColumnsAreMarked)
{
    const char *sql = "SELECT OBJECTID, shape, rast, name FROM gis:bob.roads";
    scli::on_sql(sql).columns({{"objectid", SQL_INTEGER, 10, 0, SQL_NO_NULLS},
                               {"shape", SQL_LONGVARBINARY, 5000},
                               {"rast", SQL_INTEGER},
                               {"name", SQL_VARCHAR, 40}});
    auto stream = std::make_unique<DB_STREAM>();
    strcpy(stream->table, "roads");
    strcpy(stream->owner, "bob");
    strcpy(stream->spatial_column_name, "SHAPE");
    strcpy(stream->raster_column, "rast");
    LAYER layer{};
    stream->layer = &layer;
    REGISTRATION r = registration(
        REG_ROWID_COLUMN | REG_ROWID_ENGINE | REG_LAYER | REG_RASTER_COLUMN, "objectid");
    const char *names[] = {"OBJECTID", "shape", "rast", "name"};
    ASSERT_EQ(DB_table_get_column_defs(nullptr, stream.get(), "gis:bob.roads", &r, 4, names,
                                       &columns_, &layers_),
              ZE_SUCCESS);
    const struct {
        int32_t type, size;
        int16_t kind;
        LAYER *layer;
    } want[] = {{VE_INTEGER, 10, DB_ROWID_ENGINE, nullptr},
                {VE_SHAPE, 0, DB_ROWID_NONE, &layer},
                {VE_RASTER, 0, DB_ROWID_NONE, nullptr},
                {VE_STRING, 40, DB_ROWID_NONE, nullptr}};
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(columns_[i].type, want[i].type);
        EXPECT_EQ(columns_[i].size, want[i].size);
        EXPECT_EQ(columns_[i].rowid_kind, want[i].kind);
        EXPECT_EQ(layers_[i], want[i].layer);
    }
    // The bind lengths and C types stay with the stream.
    ASSERT_NE(stream->column_buffer_lengths, nullptr);
    EXPECT_EQ(stream->column_buffer_lengths[1], 60000);
    EXPECT_EQ(stream->column_c_types[3], SQL_C_CHAR);
    EXPECT_EQ(stream->column_buffer_lengths[3], 41);
    free(stream->column_buffer_lengths);
    free(stream->column_c_types);
}

TEST_F(ColumnDefs, PrepareFailuresByState)
{
    const struct {
        const char *sqlstate;
        int32_t code;
        bool recorded;
    } cases[] = {
        {"S0022", ZE_COLUMN_NOT_FOUND, false}, {"s0022", ZE_COLUMN_NOT_FOUND, false},
        {"S0002", ZE_TABLE_NOT_FOUND, false},  {"42000", ZE_NO_PERMISSIONS, false},
        {"HY000", ZE_DBMS_ERROR, true},
    };
    const char *names[] = {"a"};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sqlstate);
        db_clear_global_xerr(nullptr);
        scli::on_sql("SELECT a FROM t").at_prepare(SQL_ERROR, {c.sqlstate, -217, "no"});
        EXPECT_EQ(
            DB_table_get_column_defs(nullptr, nullptr, "t", nullptr, 1, names, &columns_, nullptr),
            c.code);
        EXPECT_EQ(columns_, nullptr);
        DB_EXT_ERROR xerr;
        DB_instance_get_xerr(&xerr);
        EXPECT_EQ(xerr.code, c.recorded ? ZE_DBMS_ERROR : 0);
    }
    EXPECT_EQ(
        DB_table_get_column_defs(nullptr, nullptr, "t", nullptr, 0, names, &columns_, nullptr),
        ZE_INVALID_ARGUMENT);
    const char *missing[] = {"a", nullptr};
    EXPECT_EQ(
        DB_table_get_column_defs(nullptr, nullptr, "t", nullptr, 2, missing, &columns_, nullptr),
        ZE_NULL_POINTER);

    // Names that are not identifiers never reach the database.
    const struct {
        const char *table;
        const char *column;
        int32_t code;
    } refused[] = {
        {"t; DROP TABLE u", "a", ZE_INVALID_IDENTIFIER},
        {"t", "a FROM u --", ZE_INVALID_IDENTIFIER},
        {"t", "1a", ZE_INVALID_IDENTIFIER},
        {"t", "a'", ZE_INVALID_IDENTIFIER},
        {"t", "", ZE_INVALID_ARGUMENT},
        {"t", "abcdefghijabcdefghijabcdefghijab", ZE_INVALID_ARGUMENT},
        {"", "a", ZE_INVALID_ARGUMENT},
    };
    const int prepares = scli::call_count("SQLPrepare");
    for (const auto &r : refused) {
        SCOPED_TRACE(std::string(r.table) + " / " + r.column);
        const char *one[] = {r.column};
        EXPECT_EQ(DB_table_get_column_defs(nullptr, nullptr, r.table, nullptr, 1, one, &columns_,
                                           nullptr),
                  r.code);
        EXPECT_EQ(columns_, nullptr);
    }
    EXPECT_EQ(scli::call_count("SQLPrepare"), prepares);
}
