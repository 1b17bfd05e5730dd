// Fault sweeps over the data streams' entry points that write or commit:
// the deletes by WHERE text and by ids, the row inserts (plain table and
// layer), the WHERE update, the one-row update and delete, the tile insert
// and the setting aside of a tile, the deletes and the update through a
// state. Each row runs its entry point in
// a small scenario, then once per CLI call with that call failing
// (tests/support/fault_sweep.h says what every failure must leave). One row
// per entry point, with its scenario and its transaction rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/stream/db_state_delete.h"
#include "db/stream/db_state_update.h"
#include "db/stream/db_state_write_buffer.h"
#include "db/stream/db_stream_delete.h"
#include "db/stream/db_stream_insert.h"
#include "db/stream/db_stream_tile_internal.h"
#include "db/stream/db_stream_update.h"
#include "db/stream/db_stream_update_row.h"
#include "tests/db/catalog/raster_fixture.h"
#include "tests/db/stream/write_fixture.h"
#include "tests/support/fault_sweep.h"

using namespace write_test;
using scli::Txn;

class StreamSweep : public WriteFixture
{
  protected:
    // The set-ups close the stream's last use first: a set-up serves one run
    // of the sweep, and its calls are not the entry point's.
    void set_up_insert(const char *table, const REGISTRATION &registration, int32_t state,
                       const Strings &columns, const DB_COLUMN_DEF *defs)
    {
        DB_stream_close(stream_, 0, 0);
        EXPECT_EQ(init_insert(table, registration, state, columns), 0);
        EXPECT_EQ(
            DB_stream_init_array_insert(stream_, static_cast<int16_t>(columns.size()), defs, 0), 0);
    }
    void set_up_update(const char *table, const char *where, const Strings &columns,
                       const DB_COLUMN_DEF *defs)
    {
        DB_stream_close(stream_, 0, 0);
        const auto count = static_cast<int16_t>(take_names(columns));
        EXPECT_EQ(
            DB_stream_init_update_table(stream_, table, count, name_ptrs_.data(), strdup(where)),
            0);
        EXPECT_EQ(DB_stream_init_update_buffer(stream_, count, defs), 0);
    }
    void set_up_row(const REGISTRATION &registration, const Strings &columns,
                    const DB_COLUMN_DEF *defs)
    {
        DB_stream_close(stream_, 0, 0);
        const auto count = static_cast<int16_t>(take_names(columns));
        EXPECT_EQ(DB_stream_init_set_row(stream_, &registration, -1, count, name_ptrs_.data()), 0);
        EXPECT_EQ(DB_stream_init_update_buffer(stream_, count, defs), 0);
    }
    // A raster stream of raster column 4 (no catalogue row: the block
    // table's bare name) whose next tile of 10 bytes reaches the commit.
    void set_up_tiles()
    {
        DB_stream_close(stream_, 0, 0);
        scli::on_sql(raster_test::by_id_sql()).columns(raster_test::raster_columns()).repeat();
        strcpy(stream_->raster_column, "image");
        stream_->raster_column_id = 4;
        stream_->raster_commit_threshold = DB_TILE_COMMIT_BYTES;
        stream_->raster_bytes_since_commit = DB_TILE_COMMIT_BYTES - 10;
        block_.assign(14, 0xAB);
    }
    std::vector<unsigned char> block_;
    size_t take_names(const Strings &columns)
    {
        names_ = columns;
        name_ptrs_.clear();
        for (const std::string &n : names_)
            name_ptrs_.push_back(n.c_str());
        return names_.size();
    }
    const int16_t present_[3] = {2, 2, 2};
};

TEST_F(StreamSweep, EveryFailingCallIsAnsweredAndRolledBack)
{
    const auto scenario = [] {
        scli::log_store_install();
        scli::on_sql_like("select srid from .*")
            .columns({{"srid", SQL_INTEGER}})
            .repeat()
            .row({scli::i32(2)});
    };
    cache_layer(polygons());
    host_.set_next_id(12, 500);
    const REGISTRATION plain = registration_of("p", 0, 0, "");
    const REGISTRATION layer = registration_of("t", 12, REG_LAYER, "objectid");
    const REGISTRATION engine = registration_of("p", 8, REG_ROWID_ENGINE, "objectid");
    const DB_COLUMN_DEF plain_defs[] = {column_def("a", VE_INTEGER), column_def("b", VE_STRING, 4)};
    const DB_COLUMN_DEF layer_defs[] = {column_def("name", VE_STRING, 10),
                                        column_def("shape", VE_SHAPE),
                                        column_def("owner_id", VE_INTEGER)};
    const DB_COLUMN_DEF row_defs[] = {column_def("a", VE_INTEGER), column_def("b", VE_STRING, 4),
                                      column_def("objectid", VE_INTEGER)};
    Shape area(VE_ENTITY_AREA, {{0, 0}, {4000, 0}, {4000, 3000}, {0, 0}});
    int32_t a = 7, owner = 9, id = 5;
    char b[] = "xy", name[] = "lot";
    void *plain_values[] = {&a, b};
    void *layer_values[] = {name, &area.feature, &owner};
    void *row_values[] = {&a, b, &id};
    // A delete through state 5 (lineage 1,5) of versioned parcels: the view
    // shows a version of state 5 (its adds row goes) and a base row (a
    // deletes row comes).
    const REGISTRATION versioned =
        registration_of("parcels", 7, REG_MULTIVERSION | REG_ROWID_ENGINE, "objectid");
    const char *view_columns[] = {"objectid", "name"};
    DB_MV_TABLE_INFO entry{};
    entry.table_name = "parcels";
    entry.registration_id = 7;
    strcpy(entry.rowid_column, "objectid");
    entry.column_names = view_columns;
    entry.column_count = 2;
    strcpy(entry.alias, "p");
    DB_MV_QUERY_INFO through{};
    through.kind = DB_MV_CURRENT_ADDS;
    through.state_id = 5;
    through.lineage = "1,5";
    through.tables = &entry;
    through.table_count = 1;
    const auto state_rows = [&] {
        scenario();
        scli::on_sql("SELECT spatial_column FROM zel:zel.Layers WHERE database_name = 'gis' AND "
                     "table_name = 'parcels' AND owner = 'bob'")
            .columns({{"spatial_column", SQL_VARCHAR, 32}})
            .repeat();
        scli::on_sql_like("SELECT objectid,ZEL_STATE_ID FROM TABLE .*")
            .columns({{"objectid", SQL_INTEGER}, {"ZEL_STATE_ID", SQL_INTEGER}})
            .row({scli::i32(11), scli::i32(5)})
            .row({scli::i32(21), scli::i32(0)});
    };
    const int32_t state_ids[] = {11, 21};
    // An update through the same state of the rows objectid < 9: row 3 was
    // written in state 5 (updated in place), row 4 is a base row (a new
    // version and a deletes row).
    scli::add_table("bob", "parcels",
                    {{"objectid", SQL_INTEGER, 0, 0, SQL_NO_NULLS},
                     {"name", SQL_VARCHAR, 8},
                     {"size", SQL_INTEGER}});
    scli::add_table("bob", "A7",
                    {{"objectid", SQL_INTEGER, 0, 0, SQL_NO_NULLS},
                     {"name", SQL_VARCHAR, 8},
                     {"size", SQL_INTEGER},
                     {"ZEL_STATE_ID", SQL_INTEGER}});
    const char *update_columns[] = {"objectid", "name", "size"};
    DB_MV_TABLE_INFO update_entry = entry;
    update_entry.column_names = update_columns;
    update_entry.column_count = 3;
    DB_MV_QUERY_INFO update_through = through;
    update_through.tables = &update_entry;
    const DB_COLUMN_DEF name_def[] = {column_def("name", VE_STRING, 8)};
    char new_name[9] = "new";
    void *update_values[] = {new_name, &id};
    const auto state_update = [&] {
        scenario();
        const std::vector<scli::Column> versions = {
            {"objectid", SQL_INTEGER}, {"size", SQL_INTEGER}, {"ZEL_STATE_ID", SQL_INTEGER}};
        scli::on_sql("SELECT spatial_column FROM zel:zel.Layers WHERE database_name = 'gis' AND "
                     "table_name = 'parcels' AND owner = 'bob'")
            .columns({{"spatial_column", SQL_VARCHAR, 32}})
            .repeat();
        scli::on_sql("SELECT * FROM gis:bob.parcels")
            .columns({{"objectid", SQL_INTEGER, 0, 0, SQL_NO_NULLS},
                      {"name", SQL_VARCHAR, 8},
                      {"size", SQL_INTEGER}})
            .repeat();
        scli::on_sql("SELECT objectid,size,ZEL_STATE_ID FROM gis:'bob'.A7")
            .columns(versions)
            .repeat();
        scli::on_sql_like("SELECT objectid,size,ZEL_STATE_ID FROM TABLE .*")
            .columns(versions)
            .row({scli::i32(3), scli::i32(30), scli::i32(5)})
            .row({scli::i32(4), scli::i32(40), scli::i32(0)});
        scli::on_sql("SELECT name, objectid FROM gis:'bob'.A7")
            .columns({{"name", SQL_VARCHAR, 8}, {"objectid", SQL_INTEGER}})
            .repeat();
        scli::on_sql("SELECT ZEL_DELETES_ROW_ID, ZEL_STATE_ID, DELETED_AT FROM gis:'bob'.d7")
            .columns({{"ZEL_DELETES_ROW_ID", SQL_INTEGER},
                      {"ZEL_STATE_ID", SQL_INTEGER},
                      {"DELETED_AT", SQL_INTEGER}})
            .repeat();
        DB_stream_close(stream_, 0, 0);
        EXPECT_EQ(DB_stream_update_state_init(stream_, &versioned, 1, name_def,
                                              strdup("where objectid < 9")),
                  0);
    };
    const REGISTRATION reg = registration_of("parcels", 7, REG_ROWID_ENGINE, "objectid");
    REGISTRATION local = reg;
    local.database_name[0] = '\0';
    std::vector<int32_t> ids;
    for (int32_t i = 1; i <= 151; i++)
        ids.push_back(i);
    // A DELETE matching no row is told by the row count: the delete itself
    // succeeded.
    const std::vector<scli::SweepCase> cases = {
        {"DB_stream_delete_where",
         Txn::One,
         scenario,
         [&] { return DB_stream_delete_where(stream_, "gis:bob.parcels", "objectid = 3"); },
         {},
         {"SQLRowCount"}},
        // Each batch of 150 ids commits by itself: the batches before a
        // failure stay deleted.
        {"DB_stream_delete_by_ids",
         Txn::Batches,
         scenario,
         [&] { return DB_stream_delete_by_ids(stream_, &reg, ids.data(), 151); },
         {},
         {"SQLRowCount"}},
        // A registration without a database: the current one is looked up.
        {"DB_stream_delete_by_ids, current database",
         Txn::Batches,
         scenario,
         [&] { return DB_stream_delete_by_ids(stream_, &local, ids.data(), 3); },
         {},
         {"SQLRowCount"}},
        // One row committed by the autocommit rule, which spans the
        // caller's rows: after a failed commit they are the caller's to roll
        // back.
        {"DB_stream_execute_insert_table, plain table",
         Txn::Caller,
         [&] {
             scenario();
             set_up_insert("p", plain, 0, {"a", "b"}, plain_defs);
         },
         [&] { return DB_stream_execute_insert_table(stream_, present_, plain_values, 1, 0); },
         {},
         {}},
        // A shape row of a layer into its adds table: an id is drawn.
        {"DB_stream_execute_insert_table, layer",
         Txn::Caller,
         [&] {
             scenario();
             set_up_insert("t", layer, 12, {"name", "shape", "owner_id"}, layer_defs);
         },
         [&] { return DB_stream_execute_insert_table(stream_, present_, layer_values, 1, 0); },
         {},
         {}},
        // The update runs in the caller's transaction.
        {"DB_stream_execute_update_table",
         Txn::Caller,
         [&] {
             scenario();
             set_up_update("p", "a > 1", {"a", "b"}, plain_defs);
         },
         [&] { return DB_stream_execute_update_table(stream_, present_, plain_values, 0); },
         {},
         {"SQLRowCount"}},
        {"DB_stream_execute_update_row",
         Txn::Caller,
         [&] {
             scenario();
             set_up_row(engine, {"a", "b", "objectid"}, row_defs);
         },
         [&] { return DB_stream_execute_update_row(stream_, present_, row_values, 0, nullptr, 0); },
         // The statistics refresh only helps the optimizer.
         {"UPDATE STATISTICS"},
         {"SQLRowCount"}},
        {"DB_stream_delete_row",
         Txn::Caller,
         scenario,
         [&] { return DB_stream_delete_row(stream_, &engine, 5); },
         {},
         {"SQLRowCount"}},
        // Tiles commit by byte count; a batch holds tiles answered as
        // stored by earlier calls: after a failed commit it is the caller's
        // to roll back.
        {"DB_execute_insert_tile",
         Txn::Caller,
         [&] {
             scenario();
             set_up_tiles();
         },
         [&] { return DB_execute_insert_tile(stream_, 9, 2, 3, 1, block_.data(), 10); },
         {},
         {}},
        // Setting a conflicting tile aside is part of the caller's write.
        {"DB_stream_save_conflict_tile",
         Txn::Caller,
         [&] {
             scenario();
             set_up_tiles();
         },
         [&] { return DB_stream_save_conflict_tile(stream_, 9, 1, 2, 3); },
         {},
         {"SQLRowCount"}},
        // Nothing is committed: the deletes are part of the caller's edit.
        {"DB_stream_delete_state_where",
         Txn::Caller,
         state_rows,
         [&] { return DB_stream_delete_state_where(stream_, &versioned, "name = 'x'", &through); },
         {},
         {"SQLRowCount"}},
        {"DB_stream_delete_state_by_ids",
         Txn::Caller,
         state_rows,
         [&] { return DB_stream_delete_state_by_ids(stream_, &versioned, state_ids, 2, &through); },
         {},
         {"SQLRowCount"}},
        {"DB_stream_execute_update_state",
         Txn::Caller,
         state_update,
         [&] {
             return DB_stream_execute_update_state(stream_, &versioned, &update_through, present_,
                                                   update_values, 0);
         },
         // The statistics refresh only helps the optimizer.
         {"UPDATE STATISTICS"},
         {"SQLRowCount"}},
    };
    scli::sweep_all("data streams", cases);
}
