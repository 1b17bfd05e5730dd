// Instance counts: rows of the catalogue tables, metadata conditions, and the
// layer and raster-column numbers in use as bit sets, against the SQL of the
// scripted CLI's journal.
#include "db/core/db_instance_count.h"

#include <gtest/gtest.h>

#include <sqlext.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_names_internal.h"
#include "tests/db/core/connected_fixture.h"

namespace
{

std::string name_of(int32_t (*builder)(DB_INSTANCE *, char *, size_t))
{
    char name[DB_QUALIFIED_NAME_SIZE];
    builder(nullptr, name, sizeof(name));
    return name;
}

std::string layers()
{
    return name_of(db_make_layers_table_name);
}
std::string states()
{
    return name_of(db_make_states_table_name);
}
std::string raster_columns()
{
    char name[DB_QUALIFIED_NAME_SIZE];
    db_make_raster_columns_name(name, sizeof(name));
    return name;
}
std::string metadata()
{
    char name[DB_QUALIFIED_NAME_SIZE];
    db_make_metadata_table_name(name, sizeof(name));
    return name;
}

using Bitmap = std::unique_ptr<VE_BITMAP, decltype(&VES_Bitmap_Destroy)>;

std::vector<scli::Row> id_rows(const std::vector<int32_t> &ids)
{
    std::vector<scli::Row> rows;
    for (int32_t id : ids)
        rows.push_back({scli::i32(id)});
    return rows;
}

} // namespace

using InstanceCount = ConnectedUser;

TEST_F(InstanceCount, CountsOfTheCatalogueTables)
{
    const struct {
        const char *what;
        std::string sql;
        int32_t (*count)(DB_INSTANCE *, int32_t *);
    } cases[] = {
        {"layers", "SELECT count(*) FROM  " + layers(), DB_instance_get_layer_count},
        {"raster columns", "SELECT count(*) FROM " + raster_columns(),
         DB_instance_get_rascol_count},
        {"states", "SELECT count(*) FROM  " + states(), DB_instance_get_state_count},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        scli::on_sql(c.sql).columns({{"count", SQL_INTEGER}}).row({scli::i32(7)});
        int32_t count = -1;
        EXPECT_EQ(c.count(nullptr, &count), ZE_SUCCESS);
        EXPECT_EQ(count, 7);
        // The fetch status comes back as the driver gave it, the count kept.
        scli::on_sql(c.sql)
            .columns({{"count", SQL_INTEGER}})
            .row({scli::i32(5)})
            .at_fetch(1, SQL_SUCCESS_WITH_INFO, {"01004", 0, "truncated"});
        EXPECT_EQ(c.count(nullptr, &count), SQL_SUCCESS_WITH_INFO);
        EXPECT_EQ(count, 5);
        // No row at all: 100 and a count of 0.
        scli::on_sql(c.sql).columns({{"count", SQL_INTEGER}});
        EXPECT_EQ(c.count(nullptr, &count), SQL_NO_DATA);
        EXPECT_EQ(count, 0);
        scli::on_sql(c.sql).fail(SQL_ERROR, {"S0002", -206, "no table"});
        testing::internal::CaptureStdout();
        EXPECT_EQ(c.count(nullptr, &count), ZE_DBMS_ERROR);
        testing::internal::GetCapturedStdout();
        DB_EXT_ERROR xerr;
        DB_instance_get_xerr(&xerr);
        EXPECT_EQ(xerr.native_error, -206);
        EXPECT_EQ(c.count(nullptr, nullptr), ZE_NULL_POINTER);
    }
}

TEST_F(InstanceCount, EachCountStartsWithAClearRecord)
{
    const std::string sql = "SELECT count(*) FROM  " + layers();
    scli::on_sql(sql).fail(SQL_ERROR, {"S1000", -243, "busy"});
    int32_t count = 0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(DB_instance_get_layer_count(nullptr, &count), ZE_DBMS_ERROR);
    testing::internal::GetCapturedStdout();
    scli::on_sql(sql).columns({{"count", SQL_INTEGER}}).row({scli::i32(0)});
    EXPECT_EQ(DB_instance_get_layer_count(nullptr, &count), ZE_SUCCESS);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.code, 0);
    EXPECT_EQ(xerr.native_error, 0);
}

TEST_F(InstanceCount, MetadataConditionWithOrWithoutWhere)
{
    const std::string bare = "SELECT count(*) FROM " + metadata();
    const std::string with = bare + " WHERE owner = 'bob'";
    const struct {
        const char *condition;
        const std::string &sql;
    } cases[] = {
        {"owner = 'bob'", with},
        {"where owner = 'bob'", with},
        {"  WHERE  owner = 'bob'", with},
        {"\tWhErE  owner = 'bob'", with},
        {nullptr, bare},
        {"", bare},
        {"   ", bare},
        {" where ", bare},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.condition ? c.condition : "(null)");
        scli::on_sql(c.sql).columns({{"count", SQL_INTEGER}}).row({scli::i32(3)});
        int32_t count = 0;
        EXPECT_EQ(DB_instance_get_metadata_count(nullptr, c.condition, &count), ZE_SUCCESS);
        EXPECT_EQ(count, 3);
    }
}

TEST_F(InstanceCount, MetadataOfAnObjectByItsLowerCaseName)
{
    const std::string sql =
        "SELECT count(*) FROM " + metadata() + " WHERE object_name = 'o''neil.parcels'";
    scli::on_sql(sql).columns({{"count", SQL_INTEGER}}).row({scli::i32(2)});
    int32_t count = 0;
    EXPECT_EQ(DB_instance_get_metadata_count_by_table(nullptr, "O'Neil.PARCELS", &count),
              ZE_SUCCESS);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(Executed(), std::vector<std::string>{sql});
    EXPECT_EQ(DB_instance_get_metadata_count_by_table(nullptr, nullptr, &count), ZE_NULL_POINTER);
}

TEST_F(InstanceCount, MetadataObjectNameLongerThanItsFieldIsRefused)
{
    // The longest name is looked up whole; one more character is refused
    // rather than cut down to some other object's name.
    const std::string longest(226, 'n');
    const std::string sql =
        "SELECT count(*) FROM " + metadata() + " WHERE object_name = '" + longest + "'";
    scli::on_sql(sql).columns({{"count", SQL_INTEGER}}).row({scli::i32(1)});
    int32_t count = 0;
    EXPECT_EQ(DB_instance_get_metadata_count_by_table(nullptr, longest.c_str(), &count),
              ZE_SUCCESS);
    EXPECT_EQ(count, 1);
    count = 5;
    EXPECT_EQ(DB_instance_get_metadata_count_by_table(nullptr, (longest + "x").c_str(), &count),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(Executed(), std::vector<std::string>{sql});
}

TEST_F(InstanceCount, IdBitmapsAcrossSeveralRowsets)
{
    std::vector<int32_t> ids;
    for (int32_t id = 1; id <= 500; id += 2)
        ids.push_back(id); // 250 ids: three rowsets
    ids.push_back(500);
    const std::string sql = "SELECT layer_id from " + layers();
    scli::on_sql(sql).columns({{"layer_id", SQL_INTEGER}}).rows(id_rows(ids));
    VE_BITMAP *raw = nullptr;
    ASSERT_EQ(DB_instance_get_layer_number_bitmap(nullptr, 500, &raw), ZE_SUCCESS);
    Bitmap bitmap(raw, VES_Bitmap_Destroy);
    ASSERT_EQ(VES_Bitmap_MaxBits(raw), 500);
    for (int32_t bit = 0; bit < 500; bit++)
        EXPECT_EQ(VES_Bitmap_Test(raw, bit) != 0, bit % 2 == 0 || bit == 499) << bit;
    EXPECT_EQ(Executed(), (std::vector<std::string>{sql, "COMMIT"}));
    EXPECT_EQ(scli::calls_of("SQLExtendedFetch").size(), 4u);
    bool rowset_set = false;
    for (const scli::Call &c : scli::calls_of("SQLSetStmtAttr"))
        rowset_set |= c.detail.find("attr=" + std::to_string(SQL_ROWSET_SIZE) + " value=100") !=
                      std::string::npos;
    EXPECT_TRUE(rowset_set);
}

TEST_F(InstanceCount, EmptyTablesGiveClearSets)
{
    scli::on_sql("SELECT rastercolumn_id FROM " + raster_columns())
        .columns({{"rastercolumn_id", SQL_INTEGER}});
    VE_BITMAP *raw = nullptr;
    ASSERT_EQ(DB_instance_get_rascol_number_bitmap(nullptr, 40, &raw), ZE_SUCCESS);
    Bitmap bitmap(raw, VES_Bitmap_Destroy);
    EXPECT_EQ(VES_Bitmap_Scan(raw, 0, 1), -1);
}

TEST_F(InstanceCount, IdsOutsideTheMaximumAreRefused)
{
    const std::string layer_sql = "SELECT layer_id from " + layers();
    const std::string raster_sql = "SELECT rastercolumn_id FROM " + raster_columns();
    const struct {
        const char *what;
        const std::string &sql;
        std::vector<int32_t> ids;
        int32_t maximum;
        int32_t code;
    } cases[] = {
        {"layer 501", layer_sql, {1, 2, 501}, 500, ZE_INVALID_LAYER_ID},
        {"layer 0", layer_sql, {0}, 500, ZE_INVALID_LAYER_ID},
        {"layer -3", layer_sql, {-3}, 500, ZE_INVALID_LAYER_ID},
        {"raster 9 of 8", raster_sql, {1, 9}, 8, ZE_INVALID_RASTERCOLUMN_ID},
        {"raster 0", raster_sql, {0}, 8, ZE_INVALID_RASTERCOLUMN_ID},
        {"no room", layer_sql, {}, 0, ZE_OUT_OF_MEMORY},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        scli::on_sql(c.sql).columns({{"id", SQL_INTEGER}}).rows(id_rows(c.ids));
        VE_BITMAP *raw = reinterpret_cast<VE_BITMAP *>(&raw);
        int32_t rc = c.sql == layer_sql
                         ? DB_instance_get_layer_number_bitmap(nullptr, c.maximum, &raw)
                         : DB_instance_get_rascol_number_bitmap(nullptr, c.maximum, &raw);
        EXPECT_EQ(rc, c.code);
        EXPECT_EQ(raw, nullptr);
    }
    EXPECT_EQ(DB_instance_get_layer_number_bitmap(nullptr, 5, nullptr), ZE_NULL_POINTER);
}

TEST_F(InstanceCount, CliFailureOfAnIdBitmap)
{
    const std::string sql = "SELECT layer_id from " + layers();
    std::vector<int32_t> ids(150, 4);
    for (const char *fn :
         {"SQLPrepare", "SQLSetStmtAttr", "SQLExecute", "SQLBindCol", "SQLExtendedFetch"}) {
        SCOPED_TRACE(fn);
        db_clear_global_xerr(nullptr);
        scli::on_sql(sql).columns({{"layer_id", SQL_INTEGER}}).rows(id_rows(ids));
        int nth = std::string(fn) == "SQLExtendedFetch" ? 2 : 1;
        if (std::string(fn) == "SQLSetStmtAttr")
            nth = 2; // the first sets the cursor type
        scli::fail_call(fn, scli::call_count(fn) + nth, SQL_ERROR, {"S1000", -211, "broken"});
        VE_BITMAP *raw = nullptr;
        testing::internal::CaptureStdout();
        EXPECT_EQ(DB_instance_get_layer_number_bitmap(nullptr, 10, &raw), ZE_DBMS_ERROR);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(raw, nullptr);
        DB_EXT_ERROR xerr;
        DB_instance_get_xerr(&xerr);
        EXPECT_EQ(xerr.native_error, -211);
    }
}
