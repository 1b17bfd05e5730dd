// Deletes by WHERE text and by id list, and the envelope of an id list: the
// DELETE texts (the WHERE word skipped, "1 = 1" for no condition), each
// committed; a DELETE matching nothing gives -1002 with an empty record, the
// failures their mapped codes; id lists cut at 150 ids; the versioned
// delete's IN list or temporary log (deleted again) and the early return of
// an empty list; the envelope's batches, widening and empty results.
#include "db/stream/db_stream_delete.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_state_delete.h"
#include "tests/db/stream/write_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace write_test;

namespace
{

// "<column> IN (first,...,last)".
std::string InList(const char *column, int32_t first, int32_t last)
{
    std::string text = std::string(column) + " IN (";
    for (int32_t i = first; i <= last; i++)
        text += std::to_string(i) + (i < last ? "," : ")");
    return text;
}

std::vector<int32_t> Ids(int32_t first, int32_t last)
{
    std::vector<int32_t> ids;
    for (int32_t i = first; i <= last; i++)
        ids.push_back(i);
    return ids;
}

class StreamDelete : public WriteFixture
{
  protected:
    void SetUp() override
    {
        WriteFixture::SetUp();
        unsetenv("ZELPRETTYSQL");
        unsetenv("ZELEQUIVS");
        reg_ = registration_of("parcels", 7, REG_ROWID_ENGINE, "objectid");
    }
    DB_EXT_ERROR Xerr()
    {
        DB_EXT_ERROR xerr;
        DB_stream_get_xerr(&xerr, stream_);
        return xerr;
    }
    REGISTRATION reg_{};
};

} // namespace

TEST_F(StreamDelete, WhereTextsAndTheCommit)
{
    struct Case {
        const char *where;
        const char *sql;
    } cases[] = {
        {nullptr, "DELETE FROM gis:bob.parcels WHERE 1 = 1"},
        {"", "DELETE FROM gis:bob.parcels WHERE 1 = 1"},
        {" \t ", "DELETE FROM gis:bob.parcels WHERE 1 = 1"},
        {"where   ", "DELETE FROM gis:bob.parcels WHERE 1 = 1"},
        {"  WHERE objectid = 3", "DELETE FROM gis:bob.parcels WHERE objectid = 3"},
        {"wHeRe\tname = 'a'", "DELETE FROM gis:bob.parcels WHERE wHeRe\tname = 'a'"},
        {"name = 'it''s'", "DELETE FROM gis:bob.parcels WHERE name = 'it''s'"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sql);
        MarkNow();
        EXPECT_EQ(DB_stream_delete_where(stream_, "gis:bob.parcels", c.where), 0);
        EXPECT_EQ(Executed(), (Strings{c.sql, "COMMIT"}));
    }
}

TEST_F(StreamDelete, NoRowMatchedIsNotAFailure)
{
    const std::string sql = "DELETE FROM gis:bob.parcels WHERE objectid = 9";
    // The driver's no-data answer, and a success that touched no row.
    scli::on_sql(sql).no_data();
    scli::on_sql(sql).row_count(0);
    for (int i = 0; i < 2; i++) {
        SCOPED_TRACE(i);
        MarkNow();
        StderrCapture err;
        EXPECT_EQ(DB_stream_delete_where(stream_, "gis:bob.parcels", "objectid = 9"),
                  ZE_NO_ROWS_DELETED);
        EXPECT_EQ(Xerr().code, 0);
        EXPECT_EQ(err.text(), "");
    }
    // A row count the driver does not know is a success.
    scli::on_sql(sql).row_count(-1);
    EXPECT_EQ(DB_stream_delete_where(stream_, "gis:bob.parcels", "objectid = 9"), 0);
}

TEST_F(StreamDelete, FailuresMapTheirSqlstate)
{
    const std::string sql = "DELETE FROM gis:bob.parcels WHERE nope = 1";
    struct Case {
        const char *sqlstate;
        int32_t code;
        bool filled;
    } cases[] = {
        {"S0022", ZE_COLUMN_NOT_FOUND, false}, {"s0022", ZE_COLUMN_NOT_FOUND, false},
        {"37000", ZE_SYNTAX_ERROR, true},      {"42000", ZE_NO_PERMISSIONS, false},
        {"S0002", ZE_TABLE_NOT_FOUND, false},  {"S0001", ZE_DBMS_ERROR, true},
        {"08S01", ZE_DBMS_ERROR, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sqlstate);
        DB_stream_clear_xerr(stream_);
        MarkNow();
        scli::on_sql(sql).fail(SQL_ERROR, {c.sqlstate, -217, "the message"});
        int32_t rc = 0;
        quiet_stderr([&] { rc = DB_stream_delete_where(stream_, "gis:bob.parcels", "nope = 1"); });
        EXPECT_EQ(rc, c.code);
        EXPECT_EQ(Executed(), Strings{sql}); // no commit
        DB_EXT_ERROR xerr = Xerr();
        EXPECT_EQ(xerr.code, c.filled ? ZE_DBMS_ERROR : 0);
        EXPECT_STREQ(xerr.message, c.filled ? "the message" : "");
    }
    // A prepare that fails: its code, nothing executed.
    MarkNow();
    scli::on_sql(sql).at_prepare(SQL_ERROR, {"S0002", -206, "no table"});
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_stream_delete_where(stream_, "gis:bob.parcels", "nope = 1"); });
    EXPECT_EQ(rc, ZE_TABLE_NOT_FOUND);
    EXPECT_EQ(Executed(), Strings{});
    // A table name that is not one: nothing prepared.
    MarkNow();
    EXPECT_EQ(DB_stream_delete_where(stream_, "parcels; drop table x", nullptr),
              ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(DB_stream_delete_where(stream_, nullptr, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(Prepared(), Strings{});
}

TEST_F(StreamDelete, IdsInBatchesOfAHundredAndFifty)
{
    std::vector<int32_t> ids = Ids(1, 301);
    const std::string first = "DELETE FROM gis:bob.parcels WHERE " + InList("objectid", 1, 150);
    const std::string second = "DELETE FROM gis:bob.parcels WHERE " + InList("objectid", 151, 300);
    const std::string third = "DELETE FROM gis:bob.parcels WHERE objectid IN (301)";
    // Each batch is committed by itself.
    ASSERT_EQ(DB_stream_delete_by_ids(stream_, &reg_, ids.data(), 301), 0);
    EXPECT_EQ(Executed(), (Strings{first, "COMMIT", second, "COMMIT", third, "COMMIT"}));

    // Batches that match nothing are passed over: 0 when another deleted.
    MarkNow();
    scli::on_sql(first).no_data();
    scli::on_sql(third).no_data();
    EXPECT_EQ(DB_stream_delete_by_ids(stream_, &reg_, ids.data(), 301), 0);
    // None matched: -1002.
    scli::on_sql(first).no_data();
    scli::on_sql(second).no_data();
    scli::on_sql(third).no_data();
    EXPECT_EQ(DB_stream_delete_by_ids(stream_, &reg_, ids.data(), 301), ZE_NO_ROWS_DELETED);

    // A failing batch ends the deletes; the one before stays deleted.
    MarkNow();
    scli::on_sql(second).fail(SQL_ERROR, {"42000", -273, "no delete permission"});
    EXPECT_EQ(DB_stream_delete_by_ids(stream_, &reg_, ids.data(), 301), ZE_NO_PERMISSIONS);
    EXPECT_EQ(Executed(), (Strings{first, "COMMIT", second}));

    // No ids: no SQL, 0.
    MarkNow();
    EXPECT_EQ(DB_stream_delete_by_ids(stream_, &reg_, nullptr, 0), 0);
    EXPECT_EQ(DB_stream_delete_by_ids(stream_, &reg_, ids.data(), -1), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_stream_delete_by_ids(stream_, &reg_, nullptr, 2), ZE_NULL_POINTER);
    EXPECT_EQ(Executed(), Strings{});
}

TEST_F(StreamDelete, IdsOfALayerAreItsRowIds)
{
    cache_layer(polygons());
    REGISTRATION layer = registration_of("t", 12, REG_LAYER, "objectid");
    MarkNow();
    const int32_t ids[] = {-3, 0, 2147483647};
    ASSERT_EQ(DB_stream_delete_by_ids(stream_, &layer, ids, 3), 0);
    EXPECT_EQ(Executed(),
              (Strings{"DELETE FROM gis:bob.t WHERE VE_ROW_ID IN (-3,0,2147483647)", "COMMIT"}));
    // A table without a row query column: its error, no SQL.
    MarkNow();
    REGISTRATION none = registration_of("plain", 3, 0, "");
    EXPECT_EQ(DB_stream_delete_by_ids(stream_, &none, ids, 3), ZE_NO_ROW_QUERY_COLUMN);
    EXPECT_EQ(Executed(), Strings{});
}

namespace
{

// A multiversion table seen from state 5 through the standard view, whose
// lineage 1,5 is written inline; the catalogue describes its columns.
class StateIdsDelete : public StreamDelete
{
  protected:
    void SetUp() override
    {
        StreamDelete::SetUp();
        reg_.object_flags |= REG_MULTIVERSION;
        scli::add_table("bob", "parcels",
                        {{"objectid", SQL_INTEGER, 0, 0, SQL_NO_NULLS}, {"name", SQL_VARCHAR, 8}});
        entry_.table_name = "parcels";
        entry_.registration_id = 7;
        strcpy(entry_.rowid_column, "objectid");
        entry_.column_names = columns_;
        entry_.column_count = 2;
        strcpy(entry_.alias, "p");
        spec_.kind = DB_MV_STANDARD;
        spec_.state_id = 5;
        spec_.lineage = "1,5";
        spec_.tables = &entry_;
        spec_.table_count = 1;
        scli::on_sql("SELECT spatial_column FROM zel:zel.Layers WHERE database_name = 'gis' AND "
                     "table_name = 'parcels' AND owner = 'bob'")
            .columns({{"spatial_column", SQL_VARCHAR, 32}})
            .repeat();
        ASSERT_EQ(DB_log_init(instance_), 0);
        MarkNow();
    }

    // The executed SELECTs through the view since the mark.
    Strings Selects() const
    {
        Strings out;
        for (const std::string &sql : Executed())
            if (sql.rfind("SELECT objectid,ZEL_STATE_ID FROM ", 0) == 0)
                out.push_back(sql);
        return out;
    }

    const char *columns_[2] = {"objectid", "name"};
    DB_MV_TABLE_INFO entry_{};
    DB_MV_QUERY_INFO spec_{};
};

} // namespace

TEST_F(StateIdsDelete, UpToAHundredAndFiftyIdsGoIntoTheWhereText)
{
    std::vector<int32_t> ids = Ids(1, 150);
    scli::on_sql_like("SELECT objectid,ZEL_STATE_ID FROM .*")
        .columns({{"objectid", SQL_INTEGER}, {"ZEL_STATE_ID", SQL_INTEGER}})
        .row({scli::i32(4), scli::i32(0)});
    ASSERT_EQ(DB_stream_delete_state_by_ids(stream_, &reg_, ids.data(), 150, &spec_), 0);
    Strings selects = Selects();
    ASSERT_EQ(selects.size(), 1u);
    const std::string tail = " p WHERE " + InList("objectid", 1, 150);
    EXPECT_EQ(selects[0].substr(selects[0].size() - tail.size()), tail);
    EXPECT_EQ(selects[0].find("logfile"), std::string::npos);
    EXPECT_EQ(Executed().back(),
              "INSERT INTO gis:'bob'.d7 (ZEL_DELETES_ROW_ID,ZEL_STATE_ID,DELETED_AT) "
              "VALUES (?,?,?)");
    for (const std::string &sql : Executed())
        EXPECT_NE(sql, "COMMIT");
}

TEST_F(StateIdsDelete, MoreIdsGoThroughATemporaryLogDeletedAfterwards)
{
    std::vector<int32_t> ids = Ids(1, 151);
    std::string log_name;
    scli::on_sql_like("SELECT objectid,ZEL_STATE_ID FROM .*")
        .columns({{"objectid", SQL_INTEGER}, {"ZEL_STATE_ID", SQL_INTEGER}})
        .hook([&](scli::Exec &x) {
            // While the rows are read the log holds every id.
            ASSERT_EQ(store_->logs.size(), 1u);
            const scli::LogRow &log = store_->logs[0];
            log_name = log.name;
            EXPECT_EQ(store_->ids("bob", log.data_id).size(), 151u);
            EXPECT_NE(x.sql.find("logfile_data_id = " + std::to_string(log.data_id)),
                      std::string::npos);
        });
    EXPECT_EQ(DB_stream_delete_state_by_ids(stream_, &reg_, ids.data(), 151, &spec_),
              ZE_NO_ROWS_DELETED);
    Strings selects = Selects();
    ASSERT_EQ(selects.size(), 1u);
    EXPECT_EQ(selects[0].find(" WHERE objectid IN"), std::string::npos);
    EXPECT_FALSE(log_name.empty());
    EXPECT_TRUE(store_->logs.empty()); // deleted again
    EXPECT_EQ(spec_.logfile, nullptr); // the caller's spec untouched

    // A view that does not read the log would delete every visible row:
    // refused before anything is written.
    MarkNow();
    spec_.kind = DB_MV_CURRENT_ADDS;
    EXPECT_EQ(DB_stream_delete_state_by_ids(stream_, &reg_, ids.data(), 151, &spec_),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(Executed(), Strings{});
}

TEST_F(StateIdsDelete, NoIdsReturnEarlyWithoutSql)
{
    EXPECT_EQ(DB_stream_delete_state_by_ids(stream_, &reg_, nullptr, 0, &spec_), 0);
    EXPECT_EQ(DB_stream_delete_state_by_ids(stream_, &reg_, nullptr, -1, &spec_),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_stream_delete_state_by_ids(stream_, &reg_, nullptr, 1, &spec_), ZE_NULL_POINTER);
    EXPECT_EQ(Journal().size(), 0u);
}

namespace
{

class IdEnvelope : public StreamDelete
{
  protected:
    void SetUp() override
    {
        StreamDelete::SetUp();
        layer_ = cache_layer(polygons());
        reg_ = registration_of("t", 12, REG_LAYER | REG_ROWID_ENGINE, "objectid");
        MarkNow();
    }
    static std::string Sql(const std::string &in_list)
    {
        return "SELECT min(VE_Xmin(t.shape)),min(VE_Ymin(t.shape)),max(VE_Xmax(t.shape)),"
               "max(VE_Ymax(t.shape)),min(VE_Zmin(t.shape)),max(VE_Zmax(t.shape)) FROM "
               "gis:bob.t  where  (" +
               in_list + ")";
    }
    static scli::Answer &Box(const std::string &sql, scli::Row row)
    {
        std::vector<scli::Column> columns(6, scli::Column("", SQL_DOUBLE));
        return scli::on_sql(sql).columns(columns).row(std::move(row));
    }
    LAYER *layer_ = nullptr;
    ENVELOPE env_{-1, -1, -1, -1};
};

} // namespace

TEST_F(IdEnvelope, BatchesWidenTheEnvelopeInSystemUnits)
{
    std::vector<int32_t> ids = Ids(1, 151);
    const std::string first = Sql(InList("objectid", 1, 150));
    const std::string second = Sql("objectid IN (151)");
    ASSERT_NE(layer_->coordref, nullptr);
    Box(first,
        {scli::f64(10), scli::f64(20), scli::f64(30), scli::f64(40), scli::null(), scli::null()});
    Box(second,
        {scli::f64(5), scli::f64(25), scli::f64(35), scli::f64(38), scli::null(), scli::null()});
    ASSERT_EQ(DB_envelope_get_id_list(stream_, &reg_, layer_, ids.data(), 151, &env_), 0);
    EXPECT_EQ(Executed(), (Strings{first, second}));
    // The union of the two boxes, converted as the layer's reference does.
    VE_ENVELOPE plane{5, 20, 35, 40};
    ENVELOPE expected{};
    ASSERT_EQ(MoxsEnvelopeToSystem(layer_->coordref, &plane, &expected), 0);
    EXPECT_EQ(env_.minx, expected.minx);
    EXPECT_EQ(env_.miny, expected.miny);
    EXPECT_EQ(env_.maxx, expected.maxx);
    EXPECT_EQ(env_.maxy, expected.maxy);
}

TEST_F(IdEnvelope, EmptyResults)
{
    // Ids that match no row (the aggregates are NULL): the empty envelope.
    const int32_t ids[] = {7, 8};
    Box(Sql("objectid IN (7,8)"),
        {scli::null(), scli::null(), scli::null(), scli::null(), scli::null(), scli::null()});
    ASSERT_EQ(DB_envelope_get_id_list(stream_, &reg_, layer_, ids, 2, &env_), 0);
    EXPECT_EQ(env_.minx, 2147483647);
    EXPECT_EQ(env_.miny, 2147483647);
    EXPECT_EQ(env_.maxx, 0);
    EXPECT_EQ(env_.maxy, 0);

    // Rows addressed by the spatial column: nothing is computed.
    MarkNow();
    LAYER by_shape = *layer_;
    strcpy(by_shape.spatial_column, "objectid");
    env_ = {-1, -1, -1, -1};
    ASSERT_EQ(DB_envelope_get_id_list(stream_, &reg_, &by_shape, ids, 2, &env_), 0);
    EXPECT_EQ(env_.minx, 2147483647);
    EXPECT_EQ(env_.maxy, 0);
    EXPECT_EQ(Executed(), Strings{});
}

TEST_F(IdEnvelope, AFailedComputationFillsTheStreamsRecord)
{
    const int32_t ids[] = {7};
    scli::on_sql(Sql("objectid IN (7)")).fail(SQL_ERROR, {"HY000", -243, "bad read"});
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_envelope_get_id_list(stream_, &reg_, layer_, ids, 1, &env_); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    DB_stream_get_xerr(&xerr, stream_);
    EXPECT_EQ(xerr.code, ZE_DBMS_ERROR);
    EXPECT_STREQ(xerr.message, "bad read");
}
