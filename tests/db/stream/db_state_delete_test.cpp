// Deletes through a state: the SELECT through the state's view, the adds
// DELETE of the current state's versions (150 pairs a statement), the
// deletes-table INSERT arrays of the other versions (100 rows an array,
// with the hidden version's row id, its state and the current state), the
// order of the writes at the finish, the results (-1002 for no row), the
// mapped errors of the adds DELETE, and that nothing is committed, also
// while the rows are read over several rowsets.
#include "db/stream/db_state_delete.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_state_delete_internal.h"
#include "db/version/db_mv_view_internal.h"
#include "tests/db/stream/write_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace write_test;

namespace
{

const char *const kAdds = "gis:'bob'.A7";
const std::string kInsert = "INSERT INTO gis:'bob'.d7 (ZEL_DELETES_ROW_ID,ZEL_STATE_ID,DELETED_AT) "
                            "VALUES (?,?,?)";
const std::string kSpatial = "SELECT spatial_column FROM zel:zel.Layers WHERE database_name = "
                             "'gis' AND table_name = 'parcels' AND owner = 'bob'";
const std::string kSetter = "EXECUTE PROCEDURE ZEL_lineageid_set7(5, 0, 0, 0, -1)";

// (row id, state) rows of the SELECT.
using Pairs = std::vector<std::pair<int32_t, int32_t>>;

std::string AddsDelete(const Pairs &pairs)
{
    std::string sql =
        std::string("DELETE FROM ") + kAdds + " WHERE ROW(objectid,ZEL_STATE_ID) IN (";
    for (size_t i = 0; i < pairs.size(); i++)
        sql += "ROW(" + std::to_string(pairs[i].first) + "," + std::to_string(pairs[i].second) +
               ")" + (i + 1 < pairs.size() ? "," : ")");
    return sql;
}

class StateDelete : public WriteFixture
{
  protected:
    void SetUp() override
    {
        WriteFixture::SetUp();
        unsetenv("ZELPRETTYSQL");
        unsetenv("ZELEQUIVS");
        reg_ = registration_of("parcels", 7, REG_MULTIVERSION | REG_ROWID_ENGINE, "objectid");
        entry_.table_name = "parcels";
        entry_.registration_id = 7;
        strcpy(entry_.rowid_column, "objectid");
        entry_.column_names = columns_;
        entry_.column_count = 2;
        strcpy(entry_.alias, "p");
        spec_.kind = DB_MV_CURRENT_ADDS;
        spec_.state_id = 5;
        spec_.lineage = "1,5";
        spec_.tables = &entry_;
        spec_.table_count = 1;
        // The view asks the catalogue for the table's spatial column.
        scli::Answer &spatial =
            scli::on_sql(kSpatial).columns({{"spatial_column", SQL_VARCHAR, 32}});
        spatial.repeat();
        if (layer_) {
            spatial.row({scli::varchar("shape")});
            reg_.object_flags |= REG_LAYER;
            entry_.column_count = 3;
            stream_->layer = cache_layer(polygons());
        }
        MarkNow();
    }

    // The SELECT of a delete: the view's text as the builder writes it.
    std::string Select(const std::string &where, bool layer = false)
    {
        return std::string("SELECT objectid,") + (layer ? "VE_ROW_ID," : "") +
               "ZEL_STATE_ID FROM " + View() + (where.empty() ? "" : " WHERE " + where);
    }

    // Scripts the SELECT's rows.
    scli::Answer &Rows(const std::string &sql, const Pairs &rows)
    {
        scli::Answer &a =
            scli::on_sql(sql).columns({{"objectid", SQL_INTEGER}, {"ZEL_STATE_ID", SQL_INTEGER}});
        for (const auto &[id, state] : rows)
            a.row({scli::i32(id), scli::i32(state)});
        return a;
    }

    // The parameter rows of every execute of sql since the mark, per execute.
    std::vector<std::vector<Strings>> ArrayParams(const std::string &sql) const
    {
        std::vector<std::vector<Strings>> out;
        for (const scli::Call &c : Journal())
            if (c.fn == "SQLExecute" && c.sql == sql)
                out.push_back(c.params);
        return out;
    }

    Strings Head() const
    {
        return {kSpatial, kSetter};
    }

    // Inline current-adds view of parcels in state 5, lineage 1,5; a layer's
    // shows its shape and the shape's row.
    std::string View() const
    {
        return std::string("TABLE (MULTISET(SELECT a.objectid,a.name,") +
               (layer_ ? "a.shape,a.ZEL_STATE_ID , a.VE_ROW_ID " : "a.ZEL_STATE_ID ") +
               " FROM  gis:'bob'.A7 a  WHERE ROW(a.objectid,a.ZEL_STATE_ID) NOT IN (SELECT ROW( "
               "ZEL_DELETES_ROW_ID,ZEL_STATE_ID)  FROM gis:'bob'.d7 WHERE DELETED_AT IN (1,5)) "
               "AND a.ZEL_STATE_ID IN (1,5) )) p";
    }

    bool layer_ = false; // a layer: shape is the spatial column
    REGISTRATION reg_{};
    const char *columns_[3] = {"objectid", "name", "shape"};
    DB_MV_TABLE_INFO entry_{};
    DB_MV_QUERY_INFO spec_{};
};

} // namespace

TEST_F(StateDelete, CurrentVersionsLeaveTheAddsTableOthersGetADeletesRow)
{
    const std::string select = Select("name = 'x'");
    // Two versions of this state, one base row (state 0), one of state 3.
    Rows(select, {{11, 5}, {21, 0}, {12, 5}, {22, 3}});
    ASSERT_EQ(DB_stream_delete_state_where(stream_, &reg_, " where name = 'x'", &spec_), 0);
    // The INSERT array goes before the adds DELETE; no COMMIT.
    EXPECT_EQ(Executed(), scli::join({Head(), {select, kInsert, AddsDelete({{11, 5}, {12, 5}})}}));
    EXPECT_EQ(ArrayParams(kInsert),
              (std::vector<std::vector<Strings>>{{{"21", "0", "5"}, {"22", "3", "5"}}}));
    // The spec is the caller's and stays as it was.
    EXPECT_EQ(spec_.tables, &entry_);
    EXPECT_EQ(entry_.column_count, 2);
}

TEST_F(StateDelete, WhereTextsAndNoMatch)
{
    struct Case {
        const char *where;
        std::string condition;
    } cases[] = {
        {nullptr, ""},
        {"", ""},
        {"  \t ", ""},
        {"where ", ""},
        {"WHERE  objectid > 3", "objectid > 3"},
        {"\tWhere name = 'it''s'", "name = 'it''s'"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.where != nullptr ? c.where : "<null>");
        MarkNow();
        const std::string select = Select(c.condition);
        Rows(select, {});
        // Nothing matched: -1002, nothing written, nothing committed.
        EXPECT_EQ(DB_stream_delete_state_where(stream_, &reg_, c.where, &spec_),
                  ZE_NO_ROWS_DELETED);
        EXPECT_EQ(Executed(), scli::join({Head(), {select}}));
    }
}

TEST_F(StateDelete, PairsGoOutAHundredAndFiftyAtATime)
{
    for (int32_t n : {150, 151}) {
        SCOPED_TRACE(n);
        MarkNow();
        Pairs rows, first, rest;
        for (int32_t i = 1; i <= n; i++) {
            rows.push_back({i, 5});
            (i <= 150 ? first : rest).push_back({i, 5});
        }
        Rows(Select(""), rows);
        ASSERT_EQ(DB_stream_delete_state_where(stream_, &reg_, nullptr, &spec_), 0);
        Strings expected = scli::join({Head(), {Select(""), AddsDelete(first)}});
        if (!rest.empty())
            expected.push_back(AddsDelete(rest));
        EXPECT_EQ(Executed(), expected);
    }
}

TEST_F(StateDelete, DeletesRowsGoOutAsArraysOfAHundred)
{
    // 101 rows of state 3 come in two rowsets; the second rowset's single
    // row makes its own array. The cursor stays open between the rowsets:
    // nothing is committed.
    Pairs rows;
    for (int32_t i = 1; i <= 101; i++)
        rows.push_back({1000 + i, 3});
    Rows(Select(""), rows);
    ASSERT_EQ(DB_stream_delete_state_where(stream_, &reg_, nullptr, &spec_), 0);
    EXPECT_EQ(Executed(), scli::join({Head(), {Select(""), kInsert, kInsert}}));
    std::vector<std::vector<Strings>> params = ArrayParams(kInsert);
    ASSERT_EQ(params.size(), 2u);
    ASSERT_EQ(params[0].size(), 100u);
    EXPECT_EQ(params[0][0], (Strings{"1001", "3", "5"}));
    EXPECT_EQ(params[0][99], (Strings{"1100", "3", "5"}));
    EXPECT_EQ(params[1], (std::vector<Strings>{{"1101", "3", "5"}}));
    EXPECT_EQ(Details("SQLExtendedFetch").size(), 2u);
}

TEST_F(StateDelete, FailingAddsDeleteAtTheFinishIsReturned)
{
    struct Case {
        const char *sqlstate;
        int32_t code;
        bool filled;
    } cases[] = {
        {"S0022", ZE_COLUMN_NOT_FOUND, false}, {"37000", ZE_SYNTAX_ERROR, true},
        {"42000", ZE_NO_PERMISSIONS, false},   {"S0002", ZE_TABLE_NOT_FOUND, false},
        {"s0002", ZE_TABLE_NOT_FOUND, false},  {"HY000", ZE_DBMS_ERROR, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sqlstate);
        MarkNow();
        Rows(Select(""), {{11, 5}, {21, 0}});
        scli::on_sql(AddsDelete({{11, 5}})).fail(SQL_ERROR, {c.sqlstate, -100, "refused"});
        int32_t rc = 0;
        StderrCapture err;
        rc = DB_stream_delete_state_where(stream_, &reg_, nullptr, &spec_);
        EXPECT_EQ(rc, c.code);
        // The deletes row went out first; then the failing DELETE.
        EXPECT_EQ(Executed(), scli::join({Head(), {Select(""), kInsert, AddsDelete({{11, 5}})}}));
        DB_EXT_ERROR xerr;
        DB_stream_get_xerr(&xerr, stream_);
        EXPECT_EQ(xerr.code, c.filled ? ZE_DBMS_ERROR : 0);
        EXPECT_STREQ(xerr.text, c.filled ? c.sqlstate : "");
        EXPECT_EQ(err.text().find("S_delete_from_adds") != std::string::npos,
                  c.code == ZE_DBMS_ERROR);
    }
}

TEST_F(StateDelete, FailuresOfTheReadAndOfTheDeletesArray)
{
    // The SELECT fails: -51 with the stream's record, nothing written.
    scli::on_sql(Select("")).fail(SQL_ERROR, {"HY000", -211, "cannot read"});
    EXPECT_EQ(DB_stream_delete_state_where(stream_, &reg_, nullptr, &spec_), ZE_DBMS_ERROR);
    EXPECT_EQ(Executed(), scli::join({Head(), {Select("")}}));
    DB_EXT_ERROR xerr;
    DB_stream_get_xerr(&xerr, stream_);
    EXPECT_STREQ(xerr.message, "cannot read");

    // A fetch that fails after the first rowset: its error, not a count.
    MarkNow();
    Pairs rows;
    for (int32_t i = 1; i <= 120; i++)
        rows.push_back({i, 3});
    Rows(Select(""), rows).at_fetch(2, SQL_ERROR, {"HY000", -244, "lost the row"});
    EXPECT_EQ(DB_stream_delete_state_where(stream_, &reg_, nullptr, &spec_), ZE_DBMS_ERROR);
    DB_stream_get_xerr(&xerr, stream_);
    EXPECT_STREQ(xerr.message, "lost the row");
    // The first rowset's array was written before the failure.
    EXPECT_EQ(Executed(), scli::join({Head(), {Select(""), kInsert}}));

    // The pending deletes array fails at the finish: -51, the message, the
    // connection's record copied into the stream's.
    MarkNow();
    Rows(Select(""), {{21, 0}, {31, 5}});
    scli::on_sql(kInsert).fail(SQL_ERROR, {"23000", -268, "duplicate"});
    StderrCapture err;
    EXPECT_EQ(DB_stream_delete_state_where(stream_, &reg_, nullptr, &spec_), ZE_DBMS_ERROR);
    EXPECT_NE(err.text().find("OCI error in S_stream_delete_state_finish()\n"), std::string::npos);
    DB_stream_get_xerr(&xerr, stream_);
    EXPECT_EQ(xerr.code, ZE_DBMS_ERROR);
    EXPECT_STREQ(xerr.message, "duplicate");
    // No adds DELETE after the failed array.
    EXPECT_EQ(Executed(), scli::join({Head(), {Select(""), kInsert}}));
}

class StateDeleteLayer : public StateDelete
{
  protected:
    StateDeleteLayer()
    {
        layer_ = true;
    }
};

TEST_F(StateDeleteLayer, VersionsTestTheirShapeRow)
{
    const std::string select = Select("", true);
    scli::on_sql(select)
        .columns(
            {{"objectid", SQL_INTEGER}, {"VE_ROW_ID", SQL_INTEGER}, {"ZEL_STATE_ID", SQL_INTEGER}})
        .row({scli::i32(11), scli::i32(501), scli::i32(5)})
        .row({scli::i32(12), scli::null(), scli::i32(5)})
        .row({scli::i32(13), scli::i32(503), scli::i32(5)});
    const std::string count = "SELECT COUNT(*) FROM TABLE MULTISET(SELECT objectid,0 FROM "
                              "gis:bob.parcels WHERE VE_ROW_ID = ?UNION ALL SELECT "
                              "objectid,ZEL_STATE_ID FROM gis:'bob'.A7 WHERE VE_ROW_ID = ?)";
    scli::on_sql(count).columns({{"", SQL_INTEGER}}).row({scli::i32(2)});
    scli::on_sql(count).columns({{"", SQL_INTEGER}}).row({scli::i32(1)});
    ASSERT_EQ(DB_stream_delete_state_where(stream_, &reg_, nullptr, &spec_), 0);
    // The count is prepared once and run for the two rows with a shape.
    EXPECT_EQ(
        Executed(),
        scli::join({Head(), {select, count, count, AddsDelete({{11, 5}, {12, 5}, {13, 5}})}}));
    EXPECT_EQ(Params(count), (std::vector<Strings>{{"501", "501"}, {"503", "503"}}));

    // A shape row no version references: -22, nothing deleted.
    MarkNow();
    scli::on_sql(select)
        .columns(
            {{"objectid", SQL_INTEGER}, {"VE_ROW_ID", SQL_INTEGER}, {"ZEL_STATE_ID", SQL_INTEGER}})
        .row({scli::i32(11), scli::i32(501), scli::i32(5)});
    scli::on_sql(count).columns({{"", SQL_INTEGER}}).row({scli::i32(0)});
    EXPECT_EQ(DB_stream_delete_state_where(stream_, &reg_, nullptr, &spec_), ZE_OBJECT_NOT_FOUND);
    EXPECT_EQ(Executed(), scli::join({Head(), {select, count}}));
}

TEST_F(StateDelete, RefusesWhatCannotGoIntoSql)
{
    REGISTRATION odd = reg_;
    strcpy(odd.rowid_column, "id;drop");
    EXPECT_EQ(DB_stream_delete_state_where(stream_, &odd, nullptr, &spec_), ZE_INVALID_IDENTIFIER);
    DB_MV_QUERY_INFO empty = spec_;
    empty.table_count = 0;
    EXPECT_EQ(DB_stream_delete_state_where(stream_, &reg_, nullptr, &empty), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_stream_delete_state_where(nullptr, &reg_, nullptr, &spec_), ZE_NULL_POINTER);
    EXPECT_EQ(DB_stream_delete_state_where(stream_, nullptr, nullptr, &spec_), ZE_NULL_POINTER);
    EXPECT_EQ(DB_stream_delete_state_where(stream_, &reg_, nullptr, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(Prepared(), Strings{});
}
