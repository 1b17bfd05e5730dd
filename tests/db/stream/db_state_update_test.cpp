// Update through a state: the versions read through the state's view, a
// version of the current state updated in place (restricted to its row id
// and state), any other given a new version in the adds table with the
// values the caller does not set copied from it, and a deletes row (row
// id, its state, the current state); nothing committed; no match, a failed
// fetch in the middle and an ordered update out of step each reported.
#include "db/stream/db_state_update.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_state_write_buffer.h"
#include "db/stream/db_state_write_buffer_internal.h"
#include "tests/db/stream/write_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace write_test;

namespace
{

class StateUpdate : public WriteFixture
{
  protected:
    void SetUp() override
    {
        WriteFixture::SetUp();
        unsetenv("ZELPRETTYSQL");
        unsetenv("ZELEQUIVS");
        reg_ = registration_of("parcels", 7, REG_MULTIVERSION | REG_ROWID_ENGINE, "objectid");
        scli::add_table("bob", "parcels",
                        {{"objectid", SQL_INTEGER, 0, 0, SQL_NO_NULLS},
                         {"name", SQL_VARCHAR, 8},
                         {"size", SQL_INTEGER}});
        scli::add_table("bob", "A7",
                        {{"objectid", SQL_INTEGER, 0, 0, SQL_NO_NULLS},
                         {"name", SQL_VARCHAR, 8},
                         {"size", SQL_INTEGER},
                         {"ZEL_STATE_ID", SQL_INTEGER}});
        scli::on_sql("SELECT spatial_column FROM zel:zel.Layers WHERE database_name = 'gis' AND "
                     "table_name = 'parcels' AND owner = 'bob'")
            .columns({{"spatial_column", SQL_VARCHAR, 32}})
            .repeat();
        scli::on_sql("SELECT * FROM gis:bob.parcels")
            .columns({{"objectid", SQL_INTEGER, 0, 0, SQL_NO_NULLS},
                      {"name", SQL_VARCHAR, 8},
                      {"size", SQL_INTEGER}})
            .repeat();
        entry_.table_name = "parcels";
        entry_.registration_id = 7;
        strcpy(entry_.rowid_column, "objectid");
        entry_.column_names = columns_;
        entry_.column_count = 3;
        strcpy(entry_.alias, "p");
        spec_.kind = DB_MV_CURRENT_ADDS;
        spec_.state_id = 5;
        spec_.lineage = "1,5";
        spec_.tables = &entry_;
        spec_.table_count = 1;
        MarkNow();
    }
    // Scripts the description of the adds table's columns and the rows the
    // view gives (row id, size, state).
    scli::Answer &Rows(const std::vector<std::pair<int32_t, int32_t>> &rows,
                       const std::string &where)
    {
        scli::on_sql("SELECT objectid,size,ZEL_STATE_ID FROM gis:'bob'.A7")
            .columns(
                {{"objectid", SQL_INTEGER}, {"size", SQL_INTEGER}, {"ZEL_STATE_ID", SQL_INTEGER}})
            .repeat();
        scli::Answer &a = scli::on_sql(Query(where))
                              .columns({{"objectid", SQL_INTEGER},
                                        {"size", SQL_INTEGER},
                                        {"ZEL_STATE_ID", SQL_INTEGER}});
        for (const auto &[id, state] : rows)
            a.row({scli::i32(id), scli::i32(id * 10), scli::i32(state)});
        scli::on_sql("SELECT name, objectid FROM gis:'bob'.A7")
            .columns({{"name", SQL_VARCHAR, 8}, {"objectid", SQL_INTEGER}})
            .repeat();
        scli::on_sql("SELECT ZEL_DELETES_ROW_ID, ZEL_STATE_ID, DELETED_AT FROM gis:'bob'.d7")
            .columns({{"ZEL_DELETES_ROW_ID", SQL_INTEGER},
                      {"ZEL_STATE_ID", SQL_INTEGER},
                      {"DELETED_AT", SQL_INTEGER}})
            .repeat();
        return a;
    }
    static std::string Query(const std::string &where)
    {
        return "SELECT objectid,size,ZEL_STATE_ID FROM TABLE (MULTISET(SELECT "
               "a.objectid,a.name,a.size,a.ZEL_STATE_ID  FROM  gis:'bob'.A7 a  WHERE "
               "ROW(a.objectid,a.ZEL_STATE_ID) NOT IN (SELECT ROW( "
               "ZEL_DELETES_ROW_ID,ZEL_STATE_ID) "
               " FROM gis:'bob'.d7 WHERE DELETED_AT IN (1,5)) AND a.ZEL_STATE_ID IN (1,5) )) p" +
               where;
    }
    // What every first call runs before the rows: the view's lineage setter
    // and the query.
    static Strings Head(const std::string &where)
    {
        return {kSpatial, kSpatial, "EXECUTE PROCEDURE ZEL_lineageid_set7(5, 0, 0, 0, -1)",
                Query(where)};
    }
    static constexpr const char *kSpatial =
        "SELECT spatial_column FROM zel:zel.Layers WHERE database_name = 'gis' AND table_name = "
        "'parcels' AND owner = 'bob'";
    static constexpr const char *kInPlace =
        "UPDATE gis:bob.a7 SET /*+AVOID_FULL(gis:bob.a7)*/ name "
        "= ? WHERE objectid = ? AND ZEL_STATE_ID = ?";
    static constexpr const char *kStatistics = "UPDATE STATISTICS LOW FOR TABLE gis:bob.a7";
    static constexpr const char *kVersion =
        "INSERT INTO gis:'bob'.A7  (objectid, name, size, ZEL_STATE_ID) VALUES (?,?,?, 5)";
    static constexpr const char *kDeletes = "INSERT INTO gis:'bob'.d7  (zel_deletes_row_id, "
                                            "zel_state_id, deleted_at) VALUES (?,?,?)";
    // The bound rows of every execute since the mark, as "sql: values".
    Strings Writes() const
    {
        Strings out;
        for (const scli::Call &c : Journal())
            if (c.fn == "SQLExecute" && !c.params.empty() && !c.params[0].empty()) {
                std::string line = c.sql.substr(0, 6) + ":";
                for (const std::string &v : c.params[0])
                    line += " " + v;
                out.push_back(line);
            }
        return out;
    }
    int32_t Execute(const char *name, int32_t id = 0)
    {
        strcpy(name_, name);
        id_ = id;
        return DB_stream_execute_update_state(stream_, &reg_, &spec_, indicators_, values_, 0);
    }
    char name_[9] = "";
    int32_t id_ = 0;
    void *values_[2] = {name_, &id_};
    int16_t indicators_[2] = {2, 2};
    REGISTRATION reg_{};
    const char *columns_[3] = {"objectid", "name", "size"};
    DB_MV_TABLE_INFO entry_{};
    DB_MV_QUERY_INFO spec_{};
    DB_COLUMN_DEF defs_[1] = {column_def("name", VE_STRING, 8)};
};

} // namespace

TEST_F(StateUpdate, CurrentVersionInPlaceOtherVersionsReplaced)
{
    ASSERT_EQ(DB_stream_update_state_init(stream_, &reg_, 1, defs_, strdup("where objectid < 9")),
              0);
    MarkNow();
    // Row 3 was written in state 5, row 4 is a base-table row.
    Rows({{3, 5}, {4, 0}}, " WHERE objectid < 9");
    ASSERT_EQ(Execute("new"), 0);
    EXPECT_EQ(Executed(), scli::join({Head(" WHERE objectid < 9"),
                                      {kStatistics, kInPlace, kVersion, kDeletes}}));
    // In place: the caller's value, the row id and its state. The new
    // version keeps the size it had; the deletes row hides the base row.
    EXPECT_EQ(Writes(), (Strings{"UPDATE: new 3 5", "INSERT: 4 new 40", "INSERT: 4 0 5"}));
}

TEST_F(StateUpdate, NoMatchAndAFailedFetch)
{
    // By condition, nothing matched: -1005, nothing written.
    ASSERT_EQ(DB_stream_update_state_init(stream_, &reg_, 1, defs_, strdup("objectid = 99")), 0);
    MarkNow();
    Rows({}, " WHERE objectid = 99");
    EXPECT_EQ(Execute("x"), ZE_NO_ROWS_MATCHED);
    EXPECT_EQ(Executed(), Head(" WHERE objectid = 99"));

    // A fetch that fails after a row was written is the call's result.
    ASSERT_EQ(DB_stream_update_state_init(stream_, &reg_, 1, defs_, nullptr), 0);
    MarkNow();
    Rows({{4, 0}, {6, 0}}, "").at_fetch(2, SQL_ERROR, {"HY000", -244, "lost the row"});
    int32_t rc = 0;
    quiet_stderr([&] { rc = Execute("y"); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    // The first row's new version and deletes row stay written.
    EXPECT_EQ(Writes(), (Strings{"INSERT: 4 y 40", "INSERT: 4 0 5"}));
    DB_EXT_ERROR xerr;
    DB_stream_get_xerr(&xerr, stream_);
    EXPECT_STREQ(xerr.message, "lost the row");
    for (const std::string &sql : Executed())
        EXPECT_NE(sql, "COMMIT");
}

TEST_F(StateUpdate, OrderedRowsOnePerCall)
{
    DB_COLUMN_DEF defs[2] = {column_def("name", VE_STRING, 8), column_def("objectid", VE_INTEGER)};
    const int32_t ids[] = {3, 5};
    ASSERT_EQ(DB_stream_update_ordered_state_init(stream_, &reg_, ids, 2, 2, defs, &spec_), 0);
    MarkNow();
    Rows({{3, 5}, {4, 5}}, " WHERE objectid IN (3,5) ORDER BY objectid");
    ASSERT_EQ(Execute("a", 3), 0);
    EXPECT_EQ(Writes(), (Strings{"UPDATE: a 3 5"}));
    // The next row is 4, the caller names 5: out of step, nothing written.
    MarkNow();
    EXPECT_EQ(Execute("b", 5), ZE_ORDERED_UPDATE_OUT_OF_STEP);
    EXPECT_EQ(Writes(), Strings{});
}

TEST_F(StateUpdate, ARowPerCallRunsTheQueryAgain)
{
    // The caller's last column carries the row id whatever it is named.
    for (const char *last : {"objectid", "id"}) {
        SCOPED_TRACE(last);
        DB_stream_free(stream_);
        free(stream_);
        stream_ = nullptr;
        ASSERT_EQ(DB_stream_init(&stream_, 0, "bob", DB_STREAM_PARAMS{}), 0);
        DB_COLUMN_DEF defs[2] = {column_def("name", VE_STRING, 8), column_def(last, VE_INTEGER)};
        ASSERT_EQ(DB_stream_update_row_state_init(stream_, &reg_, 2, defs), 0);
        MarkNow();
        // The row's id is the query's parameter; row 3 is of this state, row 4
        // of the base table, and there is no row 8.
        Rows({}, " WHERE objectid = ? ").repeat().hook([](scli::Exec &x) {
            const int64_t id = x.params[0][0].i;
            if (id != 8)
                x.rows = {{scli::i32(static_cast<int32_t>(id)),
                           scli::i32(static_cast<int32_t>(id * 10)), scli::i32(id == 3 ? 5 : 0)}};
        });
        ASSERT_EQ(Execute("a", 3), 0);
        ASSERT_EQ(Execute("b", 4), 0);
        // A row that is not there: nothing to do, and no -1005 in row mode.
        ASSERT_EQ(Execute("c", 8), 0);
        EXPECT_EQ(Writes(), (Strings{"SELECT: 3", "UPDATE: a 3 5", "SELECT: 4", "INSERT: 4 b 40",
                                     "INSERT: 4 0 5", "SELECT: 8"}));
        EXPECT_STREQ(defs[1].name, last); // the caller's name is not renamed
    }
}

namespace
{

// Layer 12, bob's table t with its shape column, multiversioned.
class StateUpdateLayer : public StateUpdate
{
  protected:
    void SetUp() override
    {
        StateUpdate::SetUp();
        layer_ = cache_layer(polygons());
        reg_ =
            registration_of("t", 12, REG_LAYER | REG_MULTIVERSION | REG_ROWID_ENGINE, "objectid");
        // A stream whose configuration gives shapes a buffer, as a host's does.
        DB_stream_free(stream_);
        free(stream_);
        DB_STREAM_PARAMS params{};
        params.words[DB_STREAM_PARAM_SHAPE_BUFFER] = 4096;
        ASSERT_EQ(DB_stream_init(&stream_, 0, "bob", params), 0);
        stream_->layer = layer_;
        scli::on_sql("SELECT * FROM gis:bob.t")
            .columns(
                {{"objectid", SQL_INTEGER, 0, 0, SQL_NO_NULLS}, {"shape", SQL_LONGVARBINARY, 1000}})
            .repeat();
        scli::on_sql("SELECT spatial_column FROM zel:zel.Layers WHERE database_name = 'gis' AND "
                     "table_name = 't' AND owner = 'bob'")
            .columns({{"spatial_column", SQL_VARCHAR, 32}})
            .row({scli::varchar("shape")})
            .repeat();
        entry_.table_name = "t";
        entry_.registration_id = 12;
        host_.set_next_id(12, 900);
        MarkNow();
    }
    LAYER *layer_ = nullptr;
};

} // namespace

TEST_F(StateUpdateLayer, ANewShapeInPlaceTakesANewShapeRow)
{
    DB_COLUMN_DEF defs[1] = {column_def("shape", VE_SHAPE)};
    ASSERT_EQ(DB_stream_update_state_init(stream_, &reg_, 1, defs, strdup("objectid = 3")), 0);
    MarkNow();
    const std::string query =
        "SELECT objectid,VE_AsZel(shape) shape,ZEL_STATE_ID,VE_ROW_ID FROM TABLE (MULTISET(SELECT "
        "a.objectid,a.shape,a.ZEL_STATE_ID , a.VE_ROW_ID  FROM  gis:'bob'.A12 a  WHERE "
        "ROW(a.objectid,a.ZEL_STATE_ID) NOT IN (SELECT ROW( ZEL_DELETES_ROW_ID,ZEL_STATE_ID)  "
        "FROM gis:'bob'.d12 WHERE DELETED_AT IN (1,5)) AND a.ZEL_STATE_ID IN (1,5) )) p WHERE "
        "objectid = 3";
    const std::vector<scli::Column> columns = {{"objectid", SQL_INTEGER},
                                               {"shape", SQL_LONGVARBINARY, 1000},
                                               {"ZEL_STATE_ID", SQL_INTEGER},
                                               {"VE_ROW_ID", SQL_INTEGER}};
    scli::on_sql("SELECT objectid,shape,ZEL_STATE_ID,VE_ROW_ID FROM gis:'bob'.A12")
        .columns(columns);
    // The version of this state has no shape yet.
    scli::on_sql(query).columns(columns).row(
        {scli::i32(3), scli::null(), scli::i32(5), scli::null()});
    scli::on_sql("SELECT shape, objectid FROM gis:'bob'.A12")
        .columns({{"shape", SQL_LONGVARBINARY, 1000}, {"objectid", SQL_INTEGER}});
    Shape shape(VE_ENTITY_AREA, {{10, 10}, {20, 10}, {20, 20}, {10, 10}});
    void *values[] = {&shape.feature};
    int16_t indicators[] = {2};
    ASSERT_EQ(DB_stream_execute_update_state(stream_, &reg_, &spec_, indicators, values, 0), 0);
    const std::string update = "UPDATE gis:bob.a12 SET /*+AVOID_FULL(gis:bob.a12)*/ shape = "
                               "VE_PolyFromZel(?,?,2), VE_ROW_ID = ? WHERE objectid = ? AND "
                               "ZEL_STATE_ID = ?";
    Strings executed = Executed();
    ASSERT_FALSE(executed.empty());
    EXPECT_EQ(executed.back(), update);
    EXPECT_EQ(host_.id_requests().back(), (std::pair<int32_t, int32_t>{12, 1}));
    std::vector<Strings> params = Params(update);
    ASSERT_EQ(params.size(), 1u);
    ASSERT_EQ(params[0].size(), 5u);
    EXPECT_EQ(params[0][0].substr(0, 2), "0x"); // the shape's bytes
    EXPECT_EQ(params[0][1], "NULL");            // no annotation text
    EXPECT_EQ((Strings{params[0][2], params[0][3], params[0][4]}), (Strings{"900", "3", "5"}));
}
