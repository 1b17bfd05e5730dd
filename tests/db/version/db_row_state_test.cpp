// Row query column and row state of a registered table: the rules that name
// the column rows are addressed by (row-id column by its kind and type,
// VE_ROW_ID of a layer, the raster column), and the base and adds probes
// that find the state a row version is seen in, with their exact SQL.
#include "db/version/db_row_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_instance_user_internal.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/db/version/state_fixture.h"

namespace
{

using namespace state_test;

REGISTRATION Registration(uint32_t flags, const char *rowid = "objectid")
{
    REGISTRATION r{};
    memcpy(r.tag, REGISTRATION_TAG, sizeof(REGISTRATION_TAG));
    r.registration_id = 12;
    strcpy(r.database_name, "gis");
    strcpy(r.owner, "bob");
    strcpy(r.table_name, "parcels");
    strcpy(r.rowid_column, rowid);
    r.object_flags = flags;
    return r;
}

const std::string kDescribe = "SELECT objectid FROM gis:bob.parcels";

class RowQueryColumn : public StateTest
{
};

TEST_F(RowQueryColumn, RowIdColumnsByKindAndType)
{
    char column[DB_ROW_QUERY_COLUMN_SIZE] = "";
    REGISTRATION engine = Registration(REG_ROWID_COLUMN | REG_ROWID_ENGINE);
    ASSERT_EQ(DB_registered_table_get_row_query_column(nullptr, &engine, column), 0);
    EXPECT_STREQ(column, "objectid");
    EXPECT_TRUE(Sent().empty());

    // A description is only prepared, never executed: each case describes a
    // column of its own.
    const struct {
        const char *column;
        scli::Column described;
        int32_t rc;
    } cases[] = {
        {"integer", {"integer", SQL_INTEGER}, 0},
        {"small", {"small", SQL_SMALLINT}, 0},
        {"double32", {"double32", SQL_DOUBLE, 32}, 0},
        {"double15", {"double15", SQL_DOUBLE, 15}, ZE_NO_ROW_QUERY_COLUMN},
        {"text", {"text", SQL_CHAR, 10}, ZE_NO_ROW_QUERY_COLUMN},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.column);
        REGISTRATION user = Registration(REG_ROWID_COLUMN, c.column);
        strcpy(column, "untouched");
        std::string describe = std::string("SELECT ") + c.column + " FROM gis:bob.parcels";
        scli::on_sql(describe).columns({c.described});
        EXPECT_EQ(DB_registered_table_get_row_query_column(nullptr, &user, column), c.rc);
        EXPECT_STREQ(column, c.rc == 0 ? c.column : "untouched");
        EXPECT_EQ(scli::calls_of("SQLPrepare").back().sql, describe);
    }
    EXPECT_TRUE(Sent().empty()); // described, not executed
    // The description's failure is the answer.
    REGISTRATION user = Registration(REG_ROWID_COLUMN);
    scli::on_sql(kDescribe).at_prepare(SQL_ERROR, {"S0002", -206, "no table"});
    EXPECT_EQ(quiet_stderr(
                  [&] { return DB_registered_table_get_row_query_column(nullptr, &user, column); }),
              ZE_TABLE_NOT_FOUND);
    // A raster table: its raster column, found as the current user.
    db_instance_set_current_user("bob");
    REGISTRATION raster = Registration(REG_RASTER_COLUMN, "");
    std::vector<scli::Column> raster_columns;
    for (const char *name : {"rastercolumn_id", "description", "database_name", "owner",
                             "table_name", "raster_column"})
        raster_columns.push_back(
            {name, static_cast<SQLSMALLINT>(strcmp(name, "rastercolumn_id") ? SQL_VARCHAR
                                                                            : SQL_INTEGER)});
    for (const char *name :
         {"cdate", "config_keyword", "minimum_id", "base_rastercolumn_id", "rastercolumn_mask",
          "falsex", "falsey", "xyunits", "falsez", "zunits", "falsem", "munits", "srtext", "srid"})
        raster_columns.push_back({name, SQL_INTEGER});
    scli::Row raster_row = {scli::i32(4),         scli::varchar("photos"),  scli::varchar("gis"),
                            scli::varchar("bob"), scli::varchar("parcels"), scli::varchar("image")};
    for (int i = 0; i < 14; i++)
        raster_row.push_back(scli::null());
    raster_row[6] = scli::i32(1700000000);
    const std::string by_table = catalog_test::raster_by_table(false);
    scli::on_sql(by_table).columns(raster_columns).row(raster_row);
    scli::on_sql(by_table).columns(raster_columns);
    ASSERT_EQ(DB_registered_table_get_row_query_column(nullptr, &raster, column), 0);
    EXPECT_STREQ(column, "image");
    EXPECT_EQ(catalog_test::params_of(by_table),
              (std::vector<std::string>{"gis", "bob", "parcels"}));
    EXPECT_EQ(DB_registered_table_get_row_query_column(nullptr, &raster, column),
              ZE_RASTERCOLUMN_NOT_FOUND);
    db_instance_set_current_user(nullptr);
    REGISTRATION plain = Registration(0, "");
    EXPECT_EQ(DB_registered_table_get_row_query_column(nullptr, &plain, column),
              ZE_NO_ROW_QUERY_COLUMN);
    EXPECT_EQ(DB_registered_table_get_row_query_column(nullptr, nullptr, column), ZE_NULL_POINTER);
}

const std::string kBase = "SELECT 0 FROM gis:bob.parcels b WHERE b.objectid = 55 AND    NOT "
                          "EXISTS (    SELECT ZEL_DELETES_ROW_ID, ZEL_STATE_ID    FROM "
                          "gis:'bob'.d12 d    WHERE DELETED_AT IN (0,3,7) AND b.objectid = "
                          "d.ZEL_DELETES_ROW_ID)";
const std::string kAdds =
    "SELECT b.ZEL_STATE_ID FROM gis:'bob'.A12 b WHERE b.objectid = 55 AND b.ZEL_STATE_ID IN "
    "(0,3,7) AND  NOT EXISTS (    SELECT ZEL_DELETES_ROW_ID,ZEL_STATE_ID    FROM gis:'bob'.d12 d  "
    "  WHERE DELETED_AT IN (0,3,7) AND          b.ZEL_STATE_ID = d.ZEL_STATE_ID AND          "
    "b.objectid = d.ZEL_DELETES_ROW_ID) ";

class RowState : public StateTest
{
  protected:
    REGISTRATION r_ = Registration(REG_ROWID_COLUMN | REG_ROWID_ENGINE | REG_MULTIVERSION);
    int32_t Run(int32_t *state)
    {
        return DB_registered_table_get_row_state(nullptr, &r_, 0, "0,3,7", 55, state, nullptr);
    }
};

TEST_F(RowState, BaseRowThenAddsRow)
{
    // Not deleted in the lineage: seen in the base table, state 0.
    scli::on_sql(kBase).columns({{"c", SQL_INTEGER}}).row({scli::i32(0)});
    int32_t state = -1;
    ASSERT_EQ(Run(&state), 0);
    EXPECT_EQ(state, 0);
    EXPECT_EQ(Sent(), (std::vector<std::string>{kBase}));
    // Deleted in the lineage and added again in state 7.
    Mark();
    scli::on_sql(kBase).columns({{"c", SQL_INTEGER}});
    scli::on_sql(kAdds).columns({{"ZEL_STATE_ID", SQL_INTEGER}}).row({scli::i32(7)});
    ASSERT_EQ(Run(&state), 0);
    EXPECT_EQ(state, 7);
    EXPECT_EQ(Sent(), (std::vector<std::string>{kBase, kAdds}));
    // The second probe runs on the statement of the first.
    std::vector<scli::Call> executes = scli::calls_of("SQLExecute");
    EXPECT_EQ(executes[executes.size() - 1].handle, executes[executes.size() - 2].handle);
    // A success with information is a success.
    scli::on_sql(kBase)
        .columns({{"c", SQL_INTEGER}})
        .row({scli::i32(0)})
        .at_fetch(1, SQL_SUCCESS_WITH_INFO, {"01000", 0, "note"});
    EXPECT_EQ(Run(&state), 0);
}

TEST_F(RowState, NotSeenOrFailing)
{
    scli::on_sql(kBase).columns({{"c", SQL_INTEGER}});
    scli::on_sql(kAdds).columns({{"ZEL_STATE_ID", SQL_INTEGER}});
    int32_t state = -1;
    EXPECT_EQ(quiet_stderr([&] { return Run(&state); }), ZE_OBJECT_NOT_FOUND);
    EXPECT_EQ(Xerr().code, ZE_DBMS_ERROR);
    scli::on_sql(kBase).columns({{"c", SQL_INTEGER}});
    scli::on_sql(kAdds).fail(SQL_ERROR, {"S1000", -244, "locked"});
    EXPECT_EQ(quiet_stderr([&] { return Run(&state); }), ZE_DBMS_ERROR);
    EXPECT_EQ(Xerr().native_error, -244);
    // An empty lineage makes invalid SQL: the prepare's failure.
    scli::on_sql_like("SELECT 0 FROM .*IN \\(\\) .*").at_prepare(SQL_ERROR, {"42000", -201, "syn"});
    EXPECT_EQ(quiet_stderr([&] {
                  return DB_registered_table_get_row_state(nullptr, &r_, 0, "", 55, &state,
                                                           nullptr);
              }),
              ZE_NO_PERMISSIONS);
    // Names that go into the SQL unquoted must be identifiers.
    Mark();
    strcpy(r_.rowid_column, "id; drop");
    EXPECT_EQ(Run(&state), ZE_INVALID_IDENTIFIER);
    strcpy(r_.rowid_column, "objectid");
    strcpy(r_.table_name, "parcels b, secret");
    EXPECT_EQ(Run(&state), ZE_INVALID_IDENTIFIER);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(DB_registered_table_get_row_state(nullptr, &r_, 0, nullptr, 55, &state, nullptr),
              ZE_NULL_POINTER);
}

// A layer: its VE_ROW_ID comes with the state, and the layer must exist.
class LayerRowState : public layer_test::LayerFixture
{
  protected:
    REGISTRATION r_ = Registration(
        REG_ROWID_COLUMN | REG_ROWID_ENGINE | REG_LAYER | REG_MULTIVERSION, "objectid");
    const std::string by_table_ = layer_test::kSelect + layer_test::kFrom +
                                  " WHERE ly.srid = sr.srid AND ly.database_name = 'gis' AND "
                                  "ly.table_name = 'parcels' AND ly.owner = 'bob'";
    void AnswerLayer()
    {
        layer_test::LayerRow row;
        row.table = "parcels";
        layer_test::answer_layers(by_table_, {row});
    }
};

TEST_F(LayerRowState, SpatialRowIdComesWithTheState)
{
    AnswerLayer();
    const std::string base =
        "SELECT 0,b.VE_ROW_ID FROM   gis:bob.parcels b WHERE b.objectid = 55 AND NOT EXISTS (    "
        "   SELECT ZEL_DELETES_ROW_ID, ZEL_STATE_ID FROM gis:'bob'.d12 d       WHERE DELETED_AT "
        "IN (0,3) AND b.objectid = d.ZEL_DELETES_ROW_ID) ";
    const std::string adds =
        "SELECT b.ZEL_STATE_ID,b.VE_ROW_ID FROM gis:'bob'.A12 b WHERE b.objectid = 55 AND "
        "b.ZEL_STATE_ID IN (0,3) AND  NOT EXISTS (   SELECT ZEL_DELETES_ROW_ID,ZEL_STATE_ID   FROM "
        "gis:'bob'.d12 d   WHERE DELETED_AT IN (0,3) AND         b.ZEL_STATE_ID = d.ZEL_STATE_ID "
        "AND         b.objectid = d.ZEL_DELETES_ROW_ID )";
    scli::on_sql(base)
        .columns({{"c", SQL_INTEGER}, {"VE_ROW_ID", SQL_INTEGER}})
        .row({scli::i32(0), scli::i32(901)});
    scli::on_sql(base).columns({{"c", SQL_INTEGER}, {"VE_ROW_ID", SQL_INTEGER}});
    scli::on_sql(adds)
        .columns({{"ZEL_STATE_ID", SQL_INTEGER}, {"VE_ROW_ID", SQL_INTEGER}})
        .row({scli::i32(3), scli::null()});
    int32_t state = -1, spatial = 0;
    ASSERT_EQ(DB_registered_table_get_row_state(instance_, &r_, 0, "0,3", 55, &state, &spatial), 0);
    EXPECT_EQ(state, 0);
    EXPECT_EQ(spatial, 901);
    ASSERT_EQ(DB_registered_table_get_row_state(instance_, &r_, 0, "0,3", 55, &state, &spatial), 0);
    EXPECT_EQ(state, 3);
    EXPECT_EQ(spatial, -1);
    EXPECT_EQ(Executed(), (std::vector<std::string>{by_table_, "COMMIT", base, base, adds}));
    EXPECT_EQ(DB_registered_table_get_row_state(instance_, &r_, 0, "0,3", 55, &state, nullptr),
              ZE_NULL_POINTER);
}

TEST_F(LayerRowState, LayerQueryColumnIsVeRowId)
{
    // A row-id column of the wrong type falls through to the layer rule.
    REGISTRATION r = Registration(REG_ROWID_COLUMN | REG_LAYER, "code");
    scli::on_sql("SELECT code FROM gis:bob.parcels").columns({{"code", SQL_CHAR, 8}});
    AnswerLayer();
    char column[DB_ROW_QUERY_COLUMN_SIZE] = "";
    ASSERT_EQ(DB_registered_table_get_row_query_column(instance_, &r, column), 0);
    EXPECT_STREQ(column, "VE_ROW_ID");
    // A layer that cannot be found is the answer.
    strcpy(r.table_name, "gone");
    r.object_flags = REG_LAYER;
    layer_test::answer_layers(layer_test::kSelect + layer_test::kFrom +
                                  " WHERE ly.srid = sr.srid AND ly.database_name = 'gis' AND "
                                  "ly.table_name = 'gone' AND ly.owner = 'bob'",
                              {});
    EXPECT_EQ(DB_registered_table_get_row_query_column(instance_, &r, column), ZE_LAYER_NOT_FOUND);
    int32_t state = 0, spatial = 0;
    layer_test::answer_layers(layer_test::kSelect + layer_test::kFrom +
                                  " WHERE ly.srid = sr.srid AND ly.database_name = 'gis' AND "
                                  "ly.table_name = 'gone' AND ly.owner = 'bob'",
                              {});
    EXPECT_EQ(DB_registered_table_get_row_state(instance_, &r, 0, "0", 1, &state, &spatial),
              ZE_LAYER_NOT_FOUND);
}

} // namespace
