// A query stream's set-up and its SELECT text: one layer, several tables,
// versioned tables read through their views (with the same query over the
// base tables as second statement), log-file and row-lock restrictions, the
// qualifier rewrite that leaves quoted text alone, the spatial constraints
// kept across the set-up, and refusals that leave nothing prepared and the
// stream ready for another set-up.
#include "db/stream/db_stream_query_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/ve_registration.h"
#include "base/util/ve_row_pointers.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_stream_execute.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace layer_test;

namespace
{

using Strings = std::vector<std::string>;

const std::string kLayersOfRoads = "SELECT spatial_column FROM zel:zel.Layers WHERE "
                                   "database_name = 'gis' AND table_name = 'roads' AND "
                                   "owner = 'bob'";
const std::string kGetterLineage = "SELECT /*+AVOID_INDEX(l lineage_id_idx), "
                                   "AVOID_FULL(l)*/ l.lineage_id FROM "
                                   "zel:zel.state_lineages l WHERE l.state_id = "
                                   "ZEL_stateid_get7()";

REGISTRATION registration_of(const char *table, int32_t id, uint32_t flags, const char *rowid)
{
    REGISTRATION r{};
    memcpy(r.tag, "ReG", 4);
    r.registration_id = id;
    strcpy(r.database_name, "gis");
    strcpy(r.owner, "bob");
    strcpy(r.table_name, table);
    strcpy(r.rowid_column, rowid);
    r.object_flags = flags;
    return r;
}

// The columns of "roads" as its description gives them.
const std::vector<scli::Column> kRoadColumns = {{"objectid", SQL_INTEGER},
                                                {"name", SQL_VARCHAR, 40},
                                                {"cardinality", SQL_INTEGER},
                                                {"shape", SQL_LONGVARBINARY, 500}};

} // namespace

class StreamQuery : public LayerFixture
{
  protected:
    void SetUp() override
    {
        LayerFixture::SetUp();
        DB_STREAM_PARAMS params{};
        ASSERT_EQ(DB_stream_init(&stream_, 0, "bob", params), 0);
        roads_ = cache_layer(7, "roads", "shape");
        host_.add_registration(
            registration_of("roads", 7, REG_LAYER | REG_ROWID_COLUMN, "objectid"));
        MarkNow();
    }
    void TearDown() override
    {
        DB_stream_free(stream_);
        free(stream_);
        LayerFixture::TearDown();
    }

    LAYER *cache_layer(int32_t id, const char *table, const char *column)
    {
        LayerRow row;
        row.id = id;
        row.table = table;
        row.column = column;
        answer_layers(by_id(id), {row});
        LAYER *layer = nullptr;
        EXPECT_EQ(DB_layer_get_info(instance_, nullptr, id, &layer), 0);
        return layer;
    }

    // Sets the stream up; the description's texts stay alive in the fixture.
    int32_t setup(const Strings &columns, const Strings &tables, const char *where = nullptr,
                  const char *by = nullptr, DB_MV_QUERY_INFO *mv = nullptr,
                  const LOGFILE *log = nullptr)
    {
        columns_ = columns;
        tables_ = tables;
        column_ptrs_.clear();
        table_ptrs_.clear();
        for (std::string &s : columns_)
            column_ptrs_.push_back(s.data());
        for (std::string &s : tables_)
            table_ptrs_.push_back(s.data());
        construct_ = {static_cast<int32_t>(tables_.size()), table_ptrs_.data(),
                      const_cast<char *>(where)};
        VES_initialize_queryinfo(&info_);
        info_.num_columns = static_cast<int16_t>(columns_.size());
        info_.columns = column_ptrs_.data();
        info_.construct = &construct_;
        info_.by_clause = const_cast<char *>(by);
        prepares_ = scli::calls_of("SQLPrepare").size();
        return DB_stream_init_query_layer(stream_, &info_, mv, log, nullptr);
    }

    // The texts prepared by the last set-up, in order.
    Strings prepared() const
    {
        Strings out;
        std::vector<scli::Call> calls = scli::calls_of("SQLPrepare");
        for (size_t i = prepares_; i < calls.size(); i++)
            out.push_back(calls[i].sql);
        return out;
    }

    // Nothing prepared and no SQL part left after a failed set-up.
    void ExpectNothingPrepared() const
    {
        EXPECT_EQ(stream_->stmt_main, nullptr);
        EXPECT_EQ(stream_->stmt_extra, nullptr);
        EXPECT_EQ(stream_->sql_select, nullptr);
        EXPECT_EQ(stream_->sql_from, nullptr);
        EXPECT_EQ(stream_->sql_where, nullptr);
        EXPECT_EQ(stream_->order_by_text, nullptr);
        EXPECT_EQ(stream_->query_built, 0);
    }

    DB_STREAM *stream_ = nullptr;
    LAYER *roads_ = nullptr;
    Strings columns_, tables_;
    std::vector<char *> column_ptrs_, table_ptrs_;
    VE_SQL_CONSTRUCT construct_{};
    VE_QUERYINFO info_{};
    size_t prepares_ = 0;
};

TEST_F(StreamQuery, OneLayer)
{
    const std::string by_long = " ORDER BY " + std::string(290, 'n');
    const struct {
        Strings columns;
        const char *where, *by;
        std::string sql;
        int32_t rowid_index;
    } cases[] = {
        {{"name", "shape"},
         "where  name = 'x'",
         " ORDER BY name",
         "select  name,   VE_AsZel(shape) shape  from  gis:bob.roads  where (name = 'x') ORDER "
         "BY name",
         -1},
        // A WHERE of blanks is no clause; VE_ROW_ID through the registration.
        {{"roads.shape", "VE_ROW_ID"},
         " \tWHERE   ",
         "",
         "select   VE_AsZel(roads.shape) shape,  bob.roads.objectid VE_ROW_ID  from  "
         "gis:bob.roads ",
         1},
        {{"ve_area(roads.shape)", "roads.VE_LENGTH(shape)", "shape"},
         nullptr,
         nullptr,
         "select  ve_area(gis:bob.roads.shape),  ve_length(gis:bob.roads.shape),   "
         "VE_AsZel(shape) shape  from  gis:bob.roads ",
         -1},
        // A by clause longer than any fixed copy comes out whole.
        {{"name"}, nullptr, by_long.c_str(), "select  name  from  gis:bob.roads " + by_long, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        MarkNow();
        ASSERT_EQ(setup(c.columns, {"roads"}, c.where, c.by), 0);
        EXPECT_EQ(prepared(), Strings{c.sql});
        EXPECT_TRUE(Executed().empty());
        EXPECT_EQ(stream_->layer, roads_);
        EXPECT_STREQ(stream_->table, "roads");
        EXPECT_STREQ(stream_->spatial_column_name, "shape");
        EXPECT_STREQ(stream_->feature_table, "bob.F7");
        EXPECT_EQ(stream_->query_built, 1);
        EXPECT_EQ(stream_->second_statement, 0);
        EXPECT_EQ(stream_->rowid_column_index, c.rowid_index);
        EXPECT_NE(stream_->stmt_main, nullptr);
        ASSERT_EQ(stream_->query_table_count, 1);
        EXPECT_STREQ(stream_->query_tables[0], "roads");
    }
    EXPECT_EQ(stream_->shape_selected, 0); // the last case selects no shape
    EXPECT_STREQ(stream_->sql_trailer, by_long.c_str());
}

TEST_F(StreamQuery, StarOverOneTableIsTheDescribedColumns)
{
    scli::on_sql("SELECT * FROM roads").columns(kRoadColumns);
    scli::on_sql(kLayersOfRoads)
        .columns({{"spatial_column", SQL_VARCHAR, 32}})
        .row({scli::varchar("shape")});
    ASSERT_EQ(setup({"*"}, {"roads"}), 0);
    EXPECT_EQ(prepared(), (Strings{"SELECT * FROM roads", kLayersOfRoads,
                                   "select  objectid,  name,  roads.cardinality,   "
                                   "VE_AsZel(shape) shape  from  gis:bob.roads "}));
    EXPECT_EQ(stream_->shape_selected, 1);
}

// "*" over the layer's roads and another owner's roads: only the layer's
// table is expanded into its columns, the other keeps its "*".
TEST_F(StreamQuery, StarExpandsOnlyTheLayersOwnTable)
{
    scli::on_sql("SELECT * FROM gis:bob.roads").columns(kRoadColumns).repeat();
    scli::on_sql(kLayersOfRoads)
        .columns({{"spatial_column", SQL_VARCHAR, 32}})
        .row({scli::varchar("shape")})
        .repeat();
    scli::on_sql("SELECT spatial_column FROM zel:zel.Layers WHERE database_name = 'gis' AND "
                 "table_name = 'roads' AND owner = 'edit'")
        .columns({{"spatial_column", SQL_VARCHAR, 32}})
        .repeat();
    answer_layers(kSelect + kFrom +
                      " WHERE ly.srid = sr.srid AND ( database_name = 'gis' AND table_name = "
                      "'roads' AND owner = 'bob')",
                  {LayerRow{}})
        .repeat();
    const struct {
        Strings tables;
        std::string sql;
    } cases[] = {
        {{"bob.roads", "edit.roads"},
         "select  bob.roads.objectid,  bob.roads.name,  bob.roads.cardinality,   "
         "VE_AsZel(bob.roads.shape) shape,  edit.roads.*  from  gis:bob.roads, gis:edit.roads "},
        {{"edit.roads", "bob.roads"},
         "select  edit.roads.*,  bob.roads.objectid,  bob.roads.name,  bob.roads.cardinality,   "
         "VE_AsZel(bob.roads.shape) shape  from  gis:edit.roads, gis:bob.roads "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.tables[0]);
        ASSERT_EQ(setup({"*"}, c.tables), 0);
        EXPECT_EQ(prepared().back(), c.sql);
        EXPECT_EQ(stream_->layer, roads_);
        DB_stream_close(stream_, 0, 0);
    }
}

TEST_F(StreamQuery, SeveralTablesAndTheAnnotation)
{
    // The layer's table is expanded with its shape, the other is "owners.*";
    // the layer's feature table is never read.
    scli::on_sql("SELECT * FROM gis:bob.roads").columns(kRoadColumns);
    scli::on_sql(kLayersOfRoads)
        .columns({{"spatial_column", SQL_VARCHAR, 32}})
        .row({scli::varchar("shape")})
        .repeat();
    // The registered layer tables among tables not all cached are read again.
    const std::string layers =
        kSelect + kFrom +
        " WHERE ly.srid = sr.srid AND ( database_name = 'gis' AND table_name = 'roads' AND "
        "owner = 'bob')";
    LayerRow roads;
    answer_layers(layers, {roads}).repeat();
    ASSERT_EQ(setup({"*"}, {"roads", "owners", "F7"}, "roads.owner_id = owners.id"), 0);
    EXPECT_EQ(prepared().back(),
              "select  roads.objectid,  roads.name,  roads.cardinality,   VE_AsZel(roads.shape) "
              "shape,  owners.*  from  gis:bob.roads, gis:bob.owners  where (roads.owner_id = "
              "owners.id)");
    EXPECT_EQ(stream_->layer, roads_);

    // A layer that stores annotation gets its text as the last item.
    roads_->eflags |= LAYER_ANNOTATION;
    ASSERT_EQ(setup({"name", "shape"}, {"roads", "owners"}), 0);
    EXPECT_EQ(prepared().back(), "select  name,   VE_AsZel(shape) shape,   VE_Anno_Text(shape) "
                                 "from  gis:bob.roads, gis:bob.owners ");
    EXPECT_EQ(stream_->annotation_column, 1);
    roads_->eflags &= ~LAYER_ANNOTATION;
}

TEST_F(StreamQuery, VersionedTableThroughItsView)
{
    // The stored view exists; its build runs the lineage setter.
    const std::string exists = "SELECT count(*) FROM SYSTABLES WHERE tabtype = 'V' AND tabname = "
                               "LOWER('ZEL_std_view_7') ";
    const std::string setter = "EXECUTE PROCEDURE ZEL_lineageid_set7(5, 3, 0, 2, -1)";
    scli::add_table("bob", "roads",
                    {{"objectid", SQL_INTEGER, 0, 0, SQL_NO_NULLS},
                     {"name", SQL_VARCHAR, 32},
                     {"shape", SQL_LONGVARBINARY, 1000}});
    scli::on_sql(exists).columns({{"", SQL_INTEGER}}).row({scli::i32(1)});
    scli::on_sql(kLayersOfRoads)
        .columns({{"spatial_column", SQL_VARCHAR, 32}})
        .row({scli::varchar("shape")})
        .repeat();
    static const char *const view_columns[] = {"objectid", "name", "shape"};
    DB_MV_TABLE_INFO table{};
    table.table_name = "roads";
    table.registration_id = 7;
    strcpy(table.rowid_column, "objectid");
    table.column_names = view_columns;
    table.column_count = 3;
    strcpy(table.alias, "r");
    DB_MV_QUERY_INFO mv{};
    mv.kind = DB_MV_STANDARD;
    mv.state_id = 5;
    mv.lineage_id = 3;
    mv.start_id = 2;
    mv.lineage = kGetterLineage.c_str();
    mv.tables = &table;
    mv.table_count = 1;

    ASSERT_EQ(setup({"name", "shape", "VE_ROW_ID"}, {"roads"},
                    "roads.name = 'roads.x' AND gis:bob.roads.objectid > 3", nullptr, &mv),
              0);
    Strings selects;
    for (const std::string &text : prepared())
        if (text.rfind("select ", 0) == 0)
            selects.push_back(text);
    EXPECT_EQ(selects,
              (Strings{"select  r.name,   VE_AsZel(r.shape) shape,  r.objectid VE_ROW_ID  from "
                       "ZEL_std_view_7 r  where (r.name = 'roads.x' AND r.objectid > 3)",
                       "select  name,   VE_AsZel(shape) shape,  bob.roads.objectid VE_ROW_ID  "
                       "from  gis:bob.roads  where (roads.name = 'roads.x' AND "
                       "gis:bob.roads.objectid > 3)"}));
    // The base query's own stream commits as it is freed.
    EXPECT_EQ(Executed(), (Strings{exists, setter, "COMMIT"}));
    EXPECT_EQ(stream_->second_statement, 1);
    EXPECT_NE(stream_->stmt_extra, nullptr);
    EXPECT_NE(stream_->stmt_extra, stream_->stmt_main);
    EXPECT_STREQ(stream_->sql_plain_from, "from  gis:bob.roads ");
    EXPECT_EQ(stream_->mv_info, &mv);

    // A log file the view already reads adds no restriction.
    LOGFILE log{};
    strcpy(log.table_name, "roads");
    log.flags = LOGINFO_LAYER;
    log.layer_id = 7;
    log.registration_id = 7;
    log.data_id = 44;
    scli::on_sql(exists).columns({{"", SQL_INTEGER}}).row({scli::i32(1)});
    ASSERT_EQ(setup({"name"}, {"roads"}, nullptr, nullptr, &mv, &log), 0);
    EXPECT_EQ(prepared()[2], "select  r.name  from ZEL_std_view_7 r ");
}

TEST_F(StreamQuery, QualifiersBecomeAliasesOutsideQuotedText)
{
    DB_MV_TABLE_INFO tables[2] = {};
    tables[0].table_name = "roads";
    tables[0].registration_id = 7;
    strcpy(tables[0].alias, "r");
    tables[1].table_name = "ann.roads";
    tables[1].registration_id = 8;
    strcpy(tables[1].alias, "s");
    DB_MV_QUERY_INFO mv{};
    mv.kind = DB_MV_STANDARD;
    mv.tables = tables;
    mv.table_count = 1;
    const std::pair<const char *, const char *> one[] = {
        {"roads.a = 1", "r.a = 1"},
        {"ROADS.a = 'roads.a'", "r.a = 'roads.a'"},
        {"'it''s roads.a' or Roads.b", "'it''s roads.a' or r.b"},
        {"\"roads.a\" = roads.b", "\"roads.a\" = r.b"},
        {"bob.roads.a + gis:bob.roads.b", "r.a + r.b"},
        {"myroads.a = x.roads.a", "myroads.a = x.roads.a"},
        {"'open roads.a", "'open roads.a"},
        {"roads", "roads"},
    };
    for (auto [in, out] : one)
        EXPECT_EQ(db_query_rewrite_mv_where(&mv, in), out) << in;
    // Two tables named roads: the bare name belongs to neither.
    mv.table_count = 2;
    EXPECT_EQ(db_query_rewrite_mv_where(&mv, "roads.a = ann.roads.a and bob.roads.b = 1"),
              "roads.a = s.a and r.b = 1");
    // Without views nothing is rewritten.
    mv.kind = DB_MV_NONE;
    EXPECT_EQ(db_query_rewrite_mv_where(&mv, "roads.a = 1"), "roads.a = 1");
}

TEST_F(StreamQuery, LogFileRestriction)
{
    host_.add_registration(registration_of("owners", 9, REG_ROWID_COLUMN, "oid"));
    LOGFILE log{};
    strcpy(log.table_name, "roads");
    log.flags = LOGINFO_LAYER;
    log.layer_id = 7;
    log.data_id = 44;
    ASSERT_EQ(setup({"name", "shape"}, {"roads"}, "name = 'x'", nullptr, nullptr, &log), 0);
    EXPECT_EQ(prepared(),
              Strings{"select  name,   VE_AsZel(shape) shape  from  gis:bob.roads  "
                      "where (name = 'x') and  EXISTS (SELECT ZEL_ROW_ID FROM "
                      "gis:bob_zel_logfile_data LF_ WHERE LF_.logfile_data_id = 44 AND  "
                      "(LF_.zel_row_id = gis:bob.roads.VE_ROW_ID))"});

    // A table's log names its target and row-id column.
    LOGFILE table_log{};
    strcpy(table_log.table_name, "gis:bob.owners");
    table_log.flags = LOGINFO_TABLE;
    table_log.data_id = 45;
    strcpy(table_log.registration.rowid_column, "oid");
    DB_stream_close(stream_, 0, 0); // another query: the last one's layer goes
    ASSERT_EQ(setup({"oid"}, {"owners"}, nullptr, nullptr, nullptr, &table_log), 0);
    EXPECT_EQ(prepared(), Strings{"select  oid  from  gis:bob.owners  where  EXISTS (SELECT "
                                  "ZEL_ROW_ID FROM gis:bob_zel_logfile_data LF_ WHERE "
                                  "LF_.logfile_data_id = 45 AND  (LF_.zel_row_id = "
                                  "gis:bob.owners.oid))"});

    // A log outside the query's tables, or of another layer.
    strcpy(table_log.table_name, "lots");
    EXPECT_EQ(setup({"oid"}, {"owners"}, nullptr, nullptr, nullptr, &table_log),
              ZE_LAYER_NOT_IN_QUERY);
    ExpectNothingPrepared();
    log.layer_id = 8;
    EXPECT_EQ(setup({"name", "shape"}, {"roads"}, nullptr, nullptr, nullptr, &log),
              ZE_MULTIPLE_SPATIAL_COLUMNS);
    ExpectNothingPrepared();
}

TEST_F(StreamQuery, RowLockRestrictions)
{
    const std::string locks = "(EXISTS (select ROW_ID from zel.row_locks where ROW_ID = "
                              "roads.VE_ROW_ID";
    const std::string unlocked = "(NOT EXISTS (select ROW_ID from zel.row_locks where ROW_ID = "
                                 "roads.VE_ROW_ID))";
    const std::string select = "select  name,   VE_AsZel(shape) shape  from  gis:bob.roads ";
    const struct {
        int32_t mode;
        std::string sql;
    } cases[] = {
        {0x20, select + " where ( " + locks + " and USER_NAME = 'bob')) )"},
        {0x40, select + " where ( " + locks + " and USER_NAME != 'bob')) )"},
        {0x60, select + " where ( " + locks + ")) )"},
        {0xA0, select + " where ( " + locks + " and USER_NAME = 'bob')) OR " + unlocked + " )"},
        {0x80, select + " where ( " + unlocked + " )"},
        {0xE0, select}, // every row: no restriction
        {0x01, "select  name,   VE_AsZel(shape) shape,  roads.VE_ROW_ID  from  gis:bob.roads "},
    };
    stream_->row_locking = 1;
    stream_->row_locks_initialised = 1;
    strcpy(stream_->row_lock_table, "zel.row_locks");
    strcpy(stream_->row_lock_locked_table, "roads");
    strcpy(stream_->row_lock_id_column, "VE_ROW_ID");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        stream_->row_lock_mode = c.mode;
        ASSERT_EQ(setup({"name", "shape"}, {"roads"}), 0);
        EXPECT_EQ(prepared(), Strings{c.sql});
    }
    // Not yet initialised: no restriction.
    stream_->row_locks_initialised = 0;
    stream_->row_lock_mode = 0x20;
    ASSERT_EQ(setup({"name", "shape"}, {"roads"}), 0);
    EXPECT_EQ(prepared(), Strings{select});

    // Row-lock modes without row locking.
    stream_->row_locking = 0;
    EXPECT_EQ(setup({"name", "shape"}, {"roads"}), ZE_TABLE_NOT_REGISTERED);
    ExpectNothingPrepared();
    stream_->row_lock_unsupported = 1;
    EXPECT_EQ(setup({"name", "shape"}, {"roads"}), ZE_ROW_LOCKING_OFF);
    stream_->row_lock_mode = 0x02; // a write stream's bit
    EXPECT_EQ(setup({"name", "shape"}, {"roads"}), 0);
}

TEST_F(StreamQuery, RefusalsLeaveNothingPreparedAndTheStreamReusable)
{
    const std::string long_column(259, 'c');
    const std::string long_table(226, 't');
    const struct {
        Strings columns, tables;
        int32_t result;
    } cases[] = {
        {{long_column}, {"owners"}, ZE_INVALID_ARGUMENT},
        {{"name"}, {long_table}, ZE_INVALID_ARGUMENT},
        {{std::string(40, 'o') + ".owners.name"}, {"owners"}, ZE_INVALID_ARGUMENT},
        {{"name"}, {"own;ers"}, ZE_INVALID_IDENTIFIER},
        {{}, {"owners"}, ZE_INVALID_ARGUMENT},
        {{"name"}, {}, ZE_INVALID_ARGUMENT},
        {{"VE_ROW_ID"}, {"owners"}, ZE_ROWID_TABLE_UNRESOLVED},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.result);
        // No table here is a layer.
        scli::on_sql_like("SELECT layer_id, .*").columns(layer_columns()).repeat();
        EXPECT_EQ(quiet_stderr([&] { return setup(c.columns, c.tables); }), c.result);
        ExpectNothingPrepared();
    }
    // The caller's rights and the layer's mode.
    roads_->privileges = 0;
    EXPECT_EQ(setup({"name", "shape"}, {"roads"}), ZE_NO_PERMISSIONS);
    roads_->privileges = VE_PRIV_SELECT;
    roads_->eflags |= LAYER_LOAD_ONLY;
    EXPECT_EQ(setup({"name", "shape"}, {"roads"}), ZE_LAYER_LOAD_ONLY);
    roads_->eflags &= ~LAYER_LOAD_ONLY;
    ExpectNothingPrepared();

    // A refused prepare: its code, nothing left; the next set-up works.
    const std::string sql = "select  name,   VE_AsZel(shape) shape  from  gis:bob.roads ";
    scli::on_sql(sql + " ORDER BY 9").at_prepare(SQL_ERROR, {"37000", -201, "syntax"});
    EXPECT_EQ(quiet_stderr([&] {
                  return setup({"name", "shape"}, {"roads"}, "", " ORDER BY 9");
              }),
              ZE_SYNTAX_ERROR);
    ExpectNothingPrepared();
    EXPECT_EQ(setup({"name", "shape"}, {"roads"}), 0);
    EXPECT_EQ(prepared(), Strings{sql});
    EXPECT_EQ(stream_->query_built, 1);

    const VE_QUERYINFO *none = nullptr;
    EXPECT_EQ(DB_stream_init_query_layer(stream_, none, nullptr, nullptr, nullptr),
              ZE_NULL_POINTER);
    EXPECT_EQ(DB_stream_init_query_layer(nullptr, &info_, nullptr, nullptr, nullptr),
              ZE_NULL_POINTER);
}

TEST_F(StreamQuery, SpatialConstraintsBeforeAndAfterSetUp)
{
    VE_FILTER filters[2] = {};
    strcpy(filters[0].table_name, "roads");
    strcpy(filters[0].column_name, "shape");
    filters[0].filter_type = VE_SHAPE_FILTER;
    filters[0].search_method = 3;
    // Set before the set-up: the layer is bound and the envelope kept.
    ASSERT_EQ(DB_stream_set_spatial_constraints(stream_, 1, filters, {10, 20, 30, 40}, 5), 0);
    EXPECT_EQ(stream_->layer, roads_);
    ASSERT_EQ(setup({"name", "shape"}, {"roads"}), 0);
    EXPECT_EQ(stream_->sys_envelope.valid, 1);
    EXPECT_EQ(stream_->sys_envelope.maxy, 40);
    EXPECT_EQ(stream_->filter_count, 1);
    EXPECT_EQ(stream_->filters, filters);
    EXPECT_EQ(stream_->search_order, 5);
    EXPECT_EQ(DB_reset_search_query(stream_), 0);
    EXPECT_EQ(stream_->sys_envelope.valid, 0);

    // After the set-up: an envelope with minx > maxx turns the search off.
    ASSERT_EQ(DB_stream_set_spatial_constraints(stream_, 1, filters, {30, 20, 10, 40}, 0), 0);
    EXPECT_EQ(stream_->sys_envelope.valid, 0);
    EXPECT_EQ(stream_->sys_envelope.minx, 0x7FFFFFFF);
    EXPECT_EQ(stream_->sys_envelope.miny, 0x7FFFFFFF);
    EXPECT_EQ(stream_->sys_envelope.maxx, 0);
    EXPECT_EQ(stream_->sys_envelope.maxy, 0);

    // A grid search is refused but kept.
    filters[1] = filters[0];
    filters[1].search_method = 1;
    EXPECT_EQ(DB_stream_set_spatial_constraints(stream_, 2, filters, {1, 1, 2, 2}, 0),
              ZE_NOT_SUPPORTED);
    EXPECT_EQ(stream_->filter_count, 2);

    // Another layer than the query's, before anything changes.
    cache_layer(8, "lots", "geom");
    strcpy(filters[1].table_name, "lots");
    strcpy(filters[1].column_name, "geom");
    EXPECT_EQ(DB_stream_set_spatial_constraints(stream_, 2, filters, {1, 1, 2, 2}, 0),
              ZE_LAYER_NOT_IN_QUERY);
    EXPECT_EQ(stream_->filter_count, 2);
    EXPECT_EQ(stream_->filters[1].search_method, 1);

    // Filters that name no table bind no layer.
    DB_stream_close(stream_, 1, 0);
    VE_FILTER anonymous{};
    EXPECT_EQ(DB_stream_set_spatial_constraints(stream_, 1, &anonymous, {1, 1, 2, 2}, 0),
              ZE_NO_QUERY_LAYER);
    EXPECT_EQ(DB_stream_set_spatial_constraints(stream_, 1, nullptr, {1, 1, 2, 2}, 0),
              ZE_NULL_POINTER);
}

TEST_F(StreamQuery, RasterConstraintAndSmallCalls)
{
    auto *constraint = static_cast<RASCONSTRAINT *>(calloc(1, sizeof(RASCONSTRAINT)));
    EXPECT_EQ(DB_stream_set_raster_constraint(stream_, constraint, 3, 4), 0);
    EXPECT_EQ(stream_->raster_constraint, constraint);
    EXPECT_EQ(stream_->raster_constraint_words[1], 4);
    // The previous one is freed (the sanitizer sees a leak otherwise).
    auto *next = static_cast<RASCONSTRAINT *>(calloc(1, sizeof(RASCONSTRAINT)));
    EXPECT_EQ(DB_stream_set_raster_constraint(stream_, next, 0, 0), 0);
    EXPECT_EQ(DB_stream_set_raster_constraint(nullptr, nullptr, 0, 0), ZE_NULL_POINTER);
    EXPECT_EQ(DB_layer_sp_stats(), ZE_NOT_SUPPORTED);
    int32_t ids[] = {5, -2, 9, 5};
    qsort(ids, 4, sizeof(ids[0]), Comp);
    EXPECT_EQ(ids[0], -2);
    EXPECT_EQ(ids[3], 9);
}

// Two versioned tables, the layer second: the hidden row id behind the
// caller's columns is qualified by the layer view's alias.
TEST_F(StreamQuery, HiddenColumnsTakeTheLayerViewAlias)
{
    host_.add_registration(registration_of("owners", 9, REG_ROWID_COLUMN, "oid"));
    for (const char *view : {"ZEL_std_view_9", "ZEL_std_view_7"})
        scli::on_sql(std::string("SELECT count(*) FROM SYSTABLES WHERE tabtype = 'V' AND "
                                 "tabname = LOWER('") +
                     view + "') ")
            .columns({{"", SQL_INTEGER}})
            .row({scli::i32(1)});
    scli::on_sql(kLayersOfRoads)
        .columns({{"spatial_column", SQL_VARCHAR, 32}})
        .row({scli::varchar("shape")})
        .repeat();
    static const char *const owner_columns[] = {"oid", "who"};
    static const char *const road_columns[] = {"objectid", "name", "shape"};
    DB_MV_TABLE_INFO tables[2] = {};
    tables[0].table_name = "owners";
    tables[0].registration_id = 9;
    strcpy(tables[0].rowid_column, "oid");
    tables[0].column_names = owner_columns;
    tables[0].column_count = 2;
    strcpy(tables[0].alias, "o");
    tables[1].table_name = "roads";
    tables[1].registration_id = 7;
    strcpy(tables[1].rowid_column, "objectid");
    tables[1].column_names = road_columns;
    tables[1].column_count = 3;
    strcpy(tables[1].alias, "r");
    DB_MV_QUERY_INFO mv{};
    mv.kind = DB_MV_STANDARD;
    mv.state_id = 5;
    mv.lineage_id = 3;
    mv.start_id = 2;
    mv.lineage = kGetterLineage.c_str();
    mv.tables = tables;
    mv.table_count = 2;
    answer_layers(kSelect + " FROM zel:zel.Layers ly, zel:zel.spatial_references sr WHERE "
                            "ly.srid = sr.srid AND ( database_name = 'gis' AND table_name = "
                            "'roads' AND owner = 'bob')",
                  {LayerRow{}})
        .repeat();
    scli::on_sql("SELECT spatial_column FROM zel:zel.Layers WHERE database_name = 'gis' AND "
                 "table_name = 'owners' AND owner = 'bob'")
        .columns({{"spatial_column", SQL_VARCHAR, 32}})
        .repeat();
    scli::add_table("bob", "owners",
                    {{"oid", SQL_INTEGER, 0, 0, SQL_NO_NULLS}, {"who", SQL_VARCHAR, 20}});
    scli::add_table("bob", "roads",
                    {{"objectid", SQL_INTEGER, 0, 0, SQL_NO_NULLS},
                     {"name", SQL_VARCHAR, 32},
                     {"shape", SQL_LONGVARBINARY, 1000}});
    scli::on_sql_like("select  o\\.who,   VE_AsZel\\(r\\.shape\\) shape  from .*")
        .columns({{"who", SQL_VARCHAR, 20}, {"shape", SQL_LONGVARBINARY, 500}})
        .repeat();
    scli::on_sql_like("select .* , r\\.VE_ROW_ID from .*")
        .columns({{"who", SQL_VARCHAR, 20},
                  {"shape", SQL_LONGVARBINARY, 500},
                  {"VE_ROW_ID", SQL_INTEGER}});
    ASSERT_EQ(setup({"owners.who", "roads.shape"}, {"owners", "roads"}, nullptr, nullptr, &mv), 0);
    std::string select; // the query through the views (the base tables' comes after)
    for (const std::string &text : prepared())
        if (select.empty() && text.rfind("select ", 0) == 0)
            select = text;
    ASSERT_EQ(select.rfind("select  o.who,   VE_AsZel(r.shape) shape  from ", 0), 0u) << select;
    int16_t count = 0;
    DB_COLUMN_DEF *defs = nullptr;
    ASSERT_EQ(DB_stream_describe_sql(stream_, nullptr, &count, &defs, nullptr), 0);
    ASSERT_EQ(count, 2);
    VE_ROW_POINTERS row{};
    row.column_count = count;
    row.columns = defs;
    ASSERT_EQ(VES_allocate_row_pointers(&row, 0), 0);
    // Without filters the row id joins the caller's columns, from roads.
    prepares_ = scli::calls_of("SQLPrepare").size();
    EXPECT_EQ(DB_stream_execute_query(stream_, 0, 0, row.values), 0);
    const std::string from = select.substr(select.find("from "));
    EXPECT_EQ(prepared(),
              Strings{"select  o.who,   VE_AsZel(r.shape) shape  , r.VE_ROW_ID " + from});
    VES_free_row_pointers(&row);
}
