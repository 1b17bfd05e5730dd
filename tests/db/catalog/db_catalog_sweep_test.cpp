// Fault sweeps over the catalogue's entry points that write or commit: each
// row runs its entry point in a small scenario, then once per CLI call with
// that call failing (tests/support/fault_sweep.h says what every failure
// must leave). One row per entry point, with its scenario and its
// transaction rule.
#include <gtest/gtest.h>

#include <sqlext.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/ve_raster.h"
#include "base/util/ve_rasterband.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_def.h"
#include "db/catalog/db_metadata.h"
#include "db/catalog/db_raster.h"
#include "db/catalog/db_rasterband.h"
#include "db/catalog/db_rasterband_tiles.h"
#include "db/catalog/db_spatial_ref.h"
#include "db/catalog/db_table_ddl.h"
#include "db/core/db_names_internal.h"
#include "mox/mox.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/db/catalog/raster_fixture.h"
#include "tests/support/fault_sweep.h"
#include "tests/support/scli_dbtune_store.h"

using namespace raster_test;
using scli::Txn;

namespace
{

std::string sref_table()
{
    char name[DB_QUALIFIED_NAME_SIZE];
    db_make_spatial_references_name(nullptr, name, sizeof(name));
    return name;
}

std::string layers_table()
{
    char name[DB_QUALIFIED_NAME_SIZE];
    db_make_layers_table_name(nullptr, name, sizeof(name));
    return name;
}

void one_int(const std::string &sql, scli::Value v)
{
    scli::on_sql(sql).columns({{"n", SQL_INTEGER}}).row({v});
}

std::string count_of(const std::string &table, int32_t srid)
{
    return "SELECT COUNT(*) FROM " + table + " WHERE SRID = " + std::to_string(srid);
}

// A spatial reference with its coordinate reference, freed at the end.
struct Sref {
    COORDREF *c = nullptr;
    VE_SPATIALREF record{};
    Sref()
    {
        MoxCoordRefCreate(&c);
        c->falsex = -400;
        c->falsey = -300;
        c->xyunits = 1000;
        c->srtext = strdup("PROJCS[x]");
        record.coordref = c;
        snprintf(record.description, sizeof(record.description), "grid");
        record.srid = 5;
    }
    ~Sref()
    {
        MoxCoordRefFree(c);
    }
};

// The spatial references: the srid looked for, counted, max(srid) read.
void sref_answers()
{
    scli::on_sql_like("select srid from .*").columns({{"srid", SQL_INTEGER}}).repeat();
    one_int("select max(srid) from " + sref_table(), scli::i32(4));
    one_int(count_of(sref_table(), 5), scli::i32(1));
    one_int(count_of(layers_table(), 5), scli::i32(0));
    scli::on_sql_like("(UPDATE|DELETE from) .*").row_count(1).repeat();
}

const std::string kMetadataInsert = "{call zel:zel.insert_metadata (?,?,?,?,?,?,?,?);}";
const std::string kMetadataUpdate = "{call zel:zel.update_metadata (?,?,?,?,?,?);}";
const std::string kMetadataDelete = "{ call zel:zel.delete_metadata (?,?,?,?,?,?,?,?,?,?) } ";

const std::string kScanOf5 = kBandScan + " WHERE raster_id = 5 ORDER BY rasterband_id";

scli::Row one_tile_band(int32_t id)
{
    return {scli::i32(id),  scli::i32(1),        scli::i32(5),   scli::i32(0),   scli::f64(0),
            scli::f64(0),   scli::f64(255),      scli::f64(255), scli::i32(0),   scli::i32(0),
            scli::i32(256), scli::i32(256),      scli::i32(256), scli::i32(256), scli::f64(0),
            scli::f64(255), scli::i32(64 << 16), scli::null()};
}

// Raster column 4 and, for a raster delete, the two bands of raster 5.
void raster_answers()
{
    answer_raster_columns();
    scli::on_sql(kScanOf5).columns(band_columns()).rows({one_tile_band(7), one_tile_band(8)});
}

} // namespace

class CatalogSweep : public RasterFixture
{
};

TEST_F(CatalogSweep, EveryFailingCallIsAnsweredAndRolledBack)
{
    Sref sref;
    RASTERBAND b = band();
    RASTER raster{12, 4, "scan"};
    const int32_t window[4] = {2, 5, 20, 6};
    RASTERBAND pyramid = band();
    pyramid.band_flags = 2u << 16;
    int64_t histogram[2] = {1, 2};
    VE_RASTERBAND_STATS stats{};
    stats.bin_count = 2;
    stats.histogram = histogram;
    const DB_COLUMN_DEF columns[] = {
        {"id", VE_INTEGER, 0, 0, 1, DB_ROWID_NONE},
        {"shape", VE_SHAPE, 0, 0, 1, DB_ROWID_NONE},
    };
    METADATA metadata[2] = {};
    for (int i = 0; i < 2; i++) {
        metadata[i].record_id = 11 + i;
        snprintf(metadata[i].object_name, sizeof(metadata[i].object_name), "roads");
        snprintf(metadata[i].object_owner, sizeof(metadata[i].object_owner), "bob");
        metadata[i].object_type = METADATA_OBJECT_TABLE;
        snprintf(metadata[i].property, sizeof(metadata[i].property), "source");
    }
    const int32_t metadata_ids[] = {4, 5, 6};
    const std::vector<scli::SweepCase> cases = {
        // The call commits after a failed step too: it ends the table lock.
        {"DB_spatial_ref_create", Txn::LockEnds, sref_answers,
         [&] {
             sref.record.srid = 0;
             return DB_spatial_ref_create(nullptr, &sref.record);
         }},
        // The row count only tells a row gone meanwhile from the written
        // one: the write itself succeeded.
        {"DB_spatial_ref_alter",
         Txn::LockEnds,
         sref_answers,
         [&] {
             sref.record.srid = 5;
             return DB_spatial_ref_alter(nullptr, &sref.record);
         },
         {},
         {"SQLRowCount"}},
        {"DB_spatial_ref_delete",
         Txn::LockEnds,
         sref_answers,
         [&] { return DB_spatial_ref_delete(nullptr, 5); },
         {},
         {"SQLRowCount"}},
        {"DB_raster_def_insert", Txn::One, raster_answers,
         [&] { return DB_raster_def_insert(nullptr, &raster); }},
        // The tiles of each band go in committed batches; the rows after
        // them are one transaction.
        {"DB_raster_def_delete", Txn::Batches, raster_answers,
         [&] { return DB_raster_def_delete(nullptr, 4, 5); }},
        {"DB_rasterband_def_insert", Txn::One, raster_answers,
         [&] { return DB_rasterband_def_insert(nullptr, &b); }},
        {"DB_rasterband_def_update", Txn::One, raster_answers,
         [&] { return DB_rasterband_def_update(nullptr, &b); }},
        {"DB_rasterband_def_delete", Txn::Batches, raster_answers,
         [&] { return DB_rasterband_def_delete(nullptr, &b); }},
        // Tiles go in committed batches: the batches before a failure stay.
        {"DB_rasterband_delete_tiles", Txn::Batches, answer_raster_columns,
         [&] { return DB_rasterband_delete_tiles(nullptr, &b, window, 1, 0); }},
        {"DB_rasterband_delete_pyramid", Txn::Batches, answer_raster_columns,
         [&] { return DB_rasterband_delete_pyramid(nullptr, &pyramid, 1); }},
        {"DB_rasterband_set_stats", Txn::One,
         [] {
             answer_raster_columns();
             scli::on_sql("SELECT rasterband_id FROM " + kAux +
                          " WHERE rasterband_id = 7 AND type = 2")
                 .columns({{"rasterband_id", SQL_INTEGER}});
         },
         [&] {
             b.statistics = &stats;
             const int32_t rc = DB_rasterband_set_stats(nullptr, &b, 1);
             b.statistics = nullptr;
             return rc;
         }},
        // Records one routine call each, in the caller's transaction.
        {"DB_sp_metadata_def_insert", Txn::Caller,
         [] { catalog_test::answer_status(kMetadataInsert, 0, 2); },
         [&] {
             METADATA *first = metadata;
             return DB_sp_metadata_def_insert(nullptr, &first, 2);
         }},
        {"DB_sp_metadata_def_update", Txn::Caller,
         [] { catalog_test::answer_status(kMetadataUpdate, 0); },
         [&] { return DB_sp_metadata_def_update(nullptr, &metadata[0]); }},
        // Committed on success; a failure, like the routine's refusal, is
        // left to the caller's rollback.
        {"DB_sp_metadata_def_delete", Txn::Caller,
         [] { catalog_test::answer_status(kMetadataDelete, 0); },
         [&] { return DB_sp_metadata_def_delete(nullptr, 3, metadata_ids); }},
        // The table is committed before PUBLIC's rights are taken away; a
        // failed revoke leaves it in place.
        {"DB_table_create",
         Txn::One,
         [] {
             scli::dbtune_store_install();
             scli::dbtune_store().rows = {{"ROADS", "S_STORAGE", "sbspace1", false}};
         },
         [&] { return DB_table_create(nullptr, "roads", 2, columns, "roads", 0); },
         {"REVOKE ALL ON roads FROM PUBLIC"}},
    };
    scli::sweep_all("catalogue", cases);
}

namespace
{

const std::string kFindSrid = "select srid from zel:zel.spatial_references where falsex = ? and "
                              "falsey = ? and xyunits = ?    and falsez = ? and zunits = ? and "
                              "falsem = ? and munits = ? and    srtext = 'PROJCS[n]'";

void srid_found()
{
    scli::on_sql(kFindSrid).columns({{"srid", SQL_INTEGER}}).row({scli::i32(4)});
}

} // namespace

class LayerSweep : public layer_test::LayerFixture
{
  protected:
    void SetUp() override
    {
        layer_test::LayerFixture::SetUp();
        LAYER &l = own_.layer;
        l.layer_id = 7;
        snprintf(l.database_name, sizeof(l.database_name), "gis");
        snprintf(l.owner, sizeof(l.owner), "bob");
        snprintf(l.table_name, sizeof(l.table_name), "roads");
        snprintf(l.spatial_column, sizeof(l.spatial_column), "shape");
        l.eflags = LAYER_LINE;
        l.maxx = l.maxy = 10;
        snprintf(l.layer_config, sizeof(l.layer_config), "DEFAULTS");
        l.minimum_id = 1;
        own_.coordref.xyunits = 1000;
        snprintf(own_.text, sizeof(own_.text), "PROJCS[n]");
    }
    layer_test::OwnLayer own_;
};

TEST_F(LayerSweep, EveryFailingCallIsAnsweredAndRolledBack)
{
    const VE_ENVELOPE extent{1, 2, 3, 4};
    using catalog_test::answer_status;
    const std::vector<scli::SweepCase> cases = {
        // The catalogue routines write in the caller's transaction.
        {"DB_sp_layers_def_insert", Txn::Caller,
         [] {
             srid_found();
             answer_status("{call zel:zel.insert_layer (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)}",
                           0);
         },
         [&] { return DB_sp_layers_def_insert(instance_, &own_.layer); }},
        {"DB_sp_layers_def_update_extent", Txn::Caller,
         [] { answer_status("{ call zel:zel.update_layer_extent (?,?,?,?,?)}", 0); },
         [&] { return DB_sp_layers_def_update_extent(instance_, 7, &extent); }},
        {"DB_sp_layers_def_change_table_name", Txn::Caller,
         [] { answer_status("{ call zel:zel.change_layer_table_name (?,?)}", 0); },
         [&] { return DB_sp_layers_def_change_table_name(instance_, 7, "main_roads"); }},
        // Committed on success; a failure, like the routine's refusal, is
        // left to the caller's rollback.
        {"DB_sp_layers_def_delete", Txn::Caller,
         [] { answer_status("{ call zel:zel.delete_layer (?) }", 0); },
         [&] { return DB_sp_layers_def_delete(instance_, 7); }},
        // The geometry row and the layer row are one transaction.
        {"DB_insert_layers_def", Txn::One, srid_found,
         [&] { return DB_insert_layers_def(instance_, &own_.layer); }},
    };
    scli::sweep_all("layers", cases);
}
