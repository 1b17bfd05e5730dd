// Tests the layer operations beside the layer record: the extent widened by a
// stream's envelope (inside, touching, beyond, an empty extent, a stream that
// wrote nothing), the migration of older LAYERS rows with its statements,
// row rules, envelope widening and failures, the view layers of a layer, and
// the base table of a view layer.
#include "db/catalog/db_layer_extent_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_xerr.h"
#include "db/core/db_xerr_internal.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;
using layer_test::LayerRow;

const std::string kLayers = "zel:zel.Layers";

class LayerExtent : public layer_test::LayerFixture
{
};

} // namespace

TEST_F(LayerExtent, StreamEnvelopeWidensTheExtent)
{
    const struct {
        const char *what;
        double layer[4];  // the stored extent
        double stream[4]; // the stream's envelope
        int32_t rc;
        double out[4];
    } cases[] = {
        {"strictly inside", {0, 0, 100, 100}, {10, 10, 20, 20}, -1, {0, 0, 100, 100}},
        {"touching an edge", {0, 0, 100, 100}, {0, 10, 20, 20}, 0, {0, 0, 100, 100}},
        {"beyond", {0, 0, 100, 100}, {-5, 50, 20, 300}, 0, {-5, 0, 100, 300}},
        {"empty extent", {5, 5, 1, 1}, {10, 11, 20, 21}, 0, {10, 11, 20, 21}},
        {"nothing written",
         {0, 0, 100, 100},
         {2147483647.0, 2147483647.0, 0, 0},
         -1,
         {0, 0, 100, 100}},
        {"nothing written, empty extent",
         {5, 5, 1, 1},
         {2147483647.0, 2147483647.0, 0, 0},
         -1,
         {5, 5, 1, 1}},
    };
    DB_STREAM stream;
    memset(&stream, 0, sizeof(stream));
    LAYER cached_id;
    memset(&cached_id, 0, sizeof(cached_id));
    cached_id.layer_id = 7;
    stream.layer = &cached_id;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        LayerRow row;
        row.minx = c.layer[0];
        row.miny = c.layer[1];
        row.maxx = c.layer[2];
        row.maxy = c.layer[3];
        layer_test::answer_layers(layer_test::by_id(7), {row});
        host_.bump(7); // the cached record is read again
        stream.written_minx = c.stream[0];
        stream.written_miny = c.stream[1];
        stream.written_maxx = c.stream[2];
        stream.written_maxy = c.stream[3];
        LAYER out;
        memset(&out, 0, sizeof(out));
        EXPECT_EQ(DB_layer_update_extent(&stream, &out), c.rc);
        EXPECT_EQ(out.layer_id, 7);
        EXPECT_STREQ(out.table_name, "roads");
        EXPECT_EQ(out.minx, c.out[0]);
        EXPECT_EQ(out.miny, c.out[1]);
        EXPECT_EQ(out.maxx, c.out[2]);
        EXPECT_EQ(out.maxy, c.out[3]);
    }
    LAYER out;
    EXPECT_EQ(DB_layer_update_extent(&stream, nullptr), ZE_FAILURE);
    cached_id.layer_id = 0;
    EXPECT_EQ(DB_layer_update_extent(&stream, &out), ZE_FAILURE);
    stream.layer = nullptr;
    EXPECT_EQ(DB_layer_update_extent(&stream, &out), ZE_FAILURE);
    cached_id.layer_id = 9;
    stream.layer = &cached_id;
    layer_test::answer_layers(layer_test::by_id(9), {});
    EXPECT_EQ(DB_layer_update_extent(&stream, &out), ZE_FAILURE);
}

namespace
{

const std::string kMigrateFrom = " SELECT layer_id,l.description, minx,miny,maxx,maxy,eflags, "
                                 "l.f_table_catalog,l.f_table_schema,l.f_table_name,"
                                 "l.f_geometry_column, cdate,layer_config,optimal_array_size,"
                                 "stats_date,minimum_id, falsex,falsey,xyunits,falsez,zunits,"
                                 "falsem,munits,srtext,s.srid FROM ";
std::string migrate_select(const std::string &source)
{
    return kMigrateFrom + source +
           " l, zel:zel.Geometry_Columns g, zel:zel.spatial_references s WHERE "
           "l.f_table_catalog = g.f_table_catalog and       l.f_table_schema = g.f_table_schema  "
           "and       l.f_table_name = g.f_table_name and       l.f_geometry_column = "
           "g.f_geometry_column and       l.f_table_catalog = 'gis' and g.srid = s.srid";
}
const std::string kInsert =
    "INSERT INTO zel:zel.Layers (layer_id,description,       "
    "database_name,owner,table_name,spatial_column,       eflags,layer_mask,minx,miny,maxx,maxy,"
    "       cdate,layer_config,optimal_array_size,stats_date,minimum_id,       "
    "srid,base_layer_id)        VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
std::string envelope_of(const std::string &table)
{
    return "SELECT min(VE_Xmin(" + table + ".shape)),min(VE_Ymin(" + table +
           ".shape)),max(VE_Xmax(" + table + ".shape)),max(VE_Ymax(" + table +
           ".shape)),min(VE_Zmin(" + table + ".shape)),max(VE_Zmax(" + table +
           ".shape)) FROM gis:bob." + table + " ";
}

// One row of the old layout with its reference.
struct OldRow {
    int32_t id;
    std::string table;
    std::optional<std::string> description;
    double minx, miny, maxx, maxy;
    uint32_t eflags;
    std::optional<std::string> config;
    std::optional<int32_t> array_size;
    int32_t minimum_id;

    scli::Row row() const
    {
        auto text = [](const std::optional<std::string> &v) {
            return v ? scli::varchar(*v) : scli::null();
        };
        return {scli::i32(id),
                text(description),
                scli::f64(minx),
                scli::f64(miny),
                scli::f64(maxx),
                scli::f64(maxy),
                scli::i32(static_cast<int32_t>(eflags)),
                scli::varchar("gis"),
                scli::varchar("bob"),
                scli::varchar(table),
                scli::varchar("shape"),
                scli::i32(1000),
                text(config),
                array_size ? scli::i32(*array_size) : scli::null(),
                scli::null(),
                scli::i32(minimum_id),
                scli::f64(-400),
                scli::f64(-300),
                scli::f64(1000),
                scli::f64(0),
                scli::f64(1),
                scli::f64(0),
                scli::f64(1),
                scli::chr("  PROJCS[\"x\"]", 2048),
                scli::i32(4)};
    }
};

std::vector<scli::Column> old_columns()
{
    std::vector<scli::Column> c;
    for (int i = 0; i < 25; i++)
        c.push_back(scli::Column("c" + std::to_string(i), SQL_VARCHAR, 2048));
    const int doubles[] = {2, 3, 4, 5, 16, 17, 18, 19, 20, 21, 22};
    for (int i : doubles)
        c[static_cast<size_t>(i)].sql_type = SQL_DOUBLE;
    const int ints[] = {0, 6, 11, 13, 14, 15, 24};
    for (int i : ints)
        c[static_cast<size_t>(i)].sql_type = SQL_INTEGER;
    return c;
}

std::vector<scli::Column> six_doubles()
{
    return std::vector<scli::Column>(6, scli::Column("", SQL_DOUBLE));
}

} // namespace

TEST_F(LayerExtent, MigrationCopiesOldRowsWithTheirTablesExtent)
{
    // The old table is missing: the rows come from zel:zel.layers.
    scli::on_sql("select layer_id from bob.old_layers")
        .at_prepare(SQL_ERROR, {"S0002", -206, "no table"});
    const OldRow roads{7,          "roads", "Roads", 0, 0, 100, 100, LAYER_LINE | LAYER_WKB,
                       "DEFAULTS", 300,     9};
    const OldRow rivers{8,          "rivers",     std::nullopt, 5, 5, 1, 1,
                        LAYER_AREA, std::nullopt, std::nullopt, 0};
    scli::on_sql(migrate_select("zel:zel.layers"))
        .columns(old_columns())
        .row(roads.row())
        .row(rivers.row());
    // roads grows beyond its stored extent; rivers (empty extent) takes its table's.
    scli::on_sql(envelope_of("roads"))
        .columns(six_doubles())
        .row({scli::f64(-10), scli::f64(20), scli::f64(50), scli::f64(150), scli::null(),
              scli::null()});
    scli::on_sql(envelope_of("rivers"))
        .columns(six_doubles())
        .row({scli::f64(1), scli::f64(2), scli::f64(3), scli::f64(4), scli::null(), scli::null()});
    ASSERT_EQ(DB_layers_table_migrate(instance_, "bob.old_layers"), ZE_SUCCESS);
    EXPECT_EQ(Executed(), (Strings{migrate_select("zel:zel.layers"), envelope_of("roads"), kInsert,
                                   envelope_of("rivers"), kInsert}));
    const auto inserts = catalog_test::all_params_of(kInsert);
    ASSERT_EQ(inserts.size(), 2u);
    const std::string roads_flags =
        std::to_string(static_cast<int32_t>(LAYER_LINE | LAYER_SPATIAL));
    const std::string rivers_flags =
        std::to_string(static_cast<int32_t>(LAYER_AREA | LAYER_SPATIAL));
    EXPECT_EQ(inserts[0],
              (Strings{"7", "Roads", "gis", "bob", "roads", "shape", roads_flags, "0", "-10", "0",
                       "100", "150", "1000", "DEFAULTS", "300", "0", "1", "4", "0"}));
    EXPECT_EQ(inserts[1], (Strings{"8", "NULL", "gis", "bob", "rivers", "shape", rivers_flags, "0",
                                   "1", "2", "3", "4", "1000", "NULL", "0", "0", "1", "4", "0"}));
    // The probe is prepared, never executed.
    const std::vector<scli::Call> prepares = scli::calls_of("SQLPrepare");
    EXPECT_TRUE(std::any_of(prepares.begin(), prepares.end(), [](const scli::Call &c) {
        return c.sql == "select layer_id from bob.old_layers";
    }));
}

TEST_F(LayerExtent, MigrationFailures)
{
    const OldRow roads{7, "roads", "Roads", 0, 0, 100, 100, LAYER_LINE, "DEFAULTS", 300, 9};
    const std::string select = migrate_select("bob.old_layers");
    auto script_row = [&](const OldRow &r) {
        scli::on_sql(select).columns(old_columns()).row(r.row());
        scli::on_sql(envelope_of(r.table)).columns(six_doubles()).row(scli::Row(6, scli::null()));
    };

    // A layer id that exists: -19, rolled back.
    script_row(roads);
    scli::on_sql(kInsert).fail(SQL_ERROR, {"23000", -268, "duplicate"});
    quiet_stderr(
        [&] { EXPECT_EQ(DB_layers_table_migrate(instance_, "bob.old_layers"), ZE_LAYER_EXISTS); });
    EXPECT_EQ(Executed(), (Strings{select, envelope_of("roads"), kInsert, "ROLLBACK"}));

    // Any other refusal: -51 with the record filled.
    MarkNow();
    script_row(roads);
    scli::on_sql(kInsert).fail(SQL_ERROR, {"HY000", -271, "no room"});
    quiet_stderr(
        [&] { EXPECT_EQ(DB_layers_table_migrate(instance_, "bob.old_layers"), ZE_DBMS_ERROR); });
    EXPECT_EQ(db_global_xerr.native_error, -271);
    EXPECT_EQ(Executed(), (Strings{select, envelope_of("roads"), kInsert, "ROLLBACK"}));

    // A row without a table name: -86, nothing inserted.
    MarkNow();
    OldRow blank = roads;
    blank.table = "  ";
    scli::on_sql(select).columns(old_columns()).row(blank.row());
    EXPECT_EQ(DB_layers_table_migrate(instance_, "bob.old_layers"), ZE_EMPTY_TABLE_NAME);
    const Strings ran = Executed();
    EXPECT_EQ(std::count(ran.begin(), ran.end(), kInsert), 0);

    // A probe that fails for another reason; a failing fetch.
    MarkNow();
    scli::on_sql("select layer_id from bob.old_layers").at_prepare(SQL_ERROR, {"42000", -272, ""});
    EXPECT_EQ(DB_layers_table_migrate(instance_, "bob.old_layers"), ZE_FAILURE);
    EXPECT_EQ(Executed(), Strings{});
    scli::on_sql(select)
        .columns(old_columns())
        .row(roads.row())
        .at_fetch(1, SQL_ERROR, {"HY000", -244, "gone"});
    quiet_stderr(
        [&] { EXPECT_EQ(DB_layers_table_migrate(instance_, "bob.old_layers"), ZE_DBMS_ERROR); });

    // Names that cannot go into SQL.
    EXPECT_EQ(DB_layers_table_migrate(instance_, nullptr), ZE_NULL_POINTER);
    const int32_t rc = DB_layers_table_migrate(instance_, "old; drop table x");
    EXPECT_TRUE(rc == ZE_INVALID_ARGUMENT || rc == ZE_INVALID_IDENTIFIER) << rc;
}

TEST_F(LayerExtent, ViewLayerIds)
{
    const std::string sql = "SELECT layer_id from " + kLayers + " WHERE base_layer_id = 7";
    const struct {
        const char *what;
        int rows;
    } cases[] = {{"none", 0}, {"one", 1}, {"eleven: the array grows", 11}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        scli::Answer &a = scli::on_sql(sql).columns({{"layer_id", SQL_INTEGER}});
        for (int i = 0; i < c.rows; i++)
            a.row({scli::i32(100 + i)});
        int32_t count = 0;
        int32_t *ids = nullptr;
        ASSERT_EQ(DB_view_layer_get_ids(instance_, 7, &count, &ids), ZE_SUCCESS);
        EXPECT_EQ(count, c.rows);
        EXPECT_EQ(ids == nullptr, c.rows == 0);
        for (int i = 0; i < c.rows; i++)
            EXPECT_EQ(ids[i], 100 + i);
        free(ids);
    }
    // A failing fetch hands nothing out.
    scli::on_sql(sql)
        .columns({{"layer_id", SQL_INTEGER}})
        .rows({{scli::i32(1)}, {scli::i32(2)}})
        .at_fetch(2, SQL_ERROR, {"HY000", -244, "gone"});
    int32_t count = 0;
    int32_t *ids = nullptr;
    quiet_stderr(
        [&] { EXPECT_EQ(DB_view_layer_get_ids(instance_, 7, &count, &ids), ZE_DBMS_ERROR); });
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ids, nullptr);
    EXPECT_EQ(db_global_xerr.native_error, -244);
    count = 3;
    EXPECT_EQ(DB_view_layer_get_ids(instance_, 7, &count, &ids), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_view_layer_get_ids(instance_, 7, nullptr, &ids), ZE_NULL_POINTER);
}

TEST_F(LayerExtent, BaseTableOfAViewLayer)
{
    LAYER view;
    memset(&view, 0, sizeof(view));
    strcpy(view.owner, "o'brien");
    strcpy(view.table_name, "roads_v");
    strcpy(view.spatial_column, "shape");
    const std::string sql = "select b_table_schema, b_table_name, b_geometry_column from "
                            "zel:zel.Geometry_Columns where    f_table_schema = 'o''brien' and "
                            "f_table_name = 'ROADS_V' and f_geometry_column = 'SHAPE'";
    const std::vector<scli::Column> cols = {{"b_table_schema", SQL_VARCHAR, 32},
                                            {"b_table_name", SQL_VARCHAR, 160},
                                            {"b_geometry_column", SQL_VARCHAR, 32}};
    char schema[32] = "x", table[160] = "x", column[32] = "x";
    scli::on_sql(sql).columns(cols).row(
        {scli::varchar("BOB"), scli::varchar("ROADS"), scli::varchar("SHAPE")});
    ASSERT_EQ(db_get_base_table_name(&view, schema, sizeof(schema), table, sizeof(table), column,
                                     sizeof(column)),
              ZE_SUCCESS);
    EXPECT_STREQ(schema, "BOB");
    EXPECT_STREQ(table, "ROADS");
    EXPECT_STREQ(column, "SHAPE");

    scli::on_sql(sql).columns(cols);
    EXPECT_EQ(db_get_base_table_name(&view, schema, sizeof(schema), table, sizeof(table), column,
                                     sizeof(column)),
              ZE_LAYER_NOT_FOUND);
    EXPECT_STREQ(table, "");

    scli::on_sql(sql).fail(SQL_ERROR, {"HY000", -201, "refused"});
    quiet_stderr([&] {
        EXPECT_EQ(db_get_base_table_name(&view, schema, sizeof(schema), table, sizeof(table),
                                         column, sizeof(column)),
                  ZE_DBMS_ERROR);
    });
    EXPECT_EQ(db_global_xerr.native_error, -201);
    EXPECT_EQ(Executed(), (Strings{sql, sql, sql}));
}

// Every failing CLI call of the view-layer read gives a failure, never a
// partial list, and leaves no statement behind.
TEST_F(LayerExtent, ViewLayerIdsFaultSweep)
{
    const std::string sql = "SELECT layer_id from " + kLayers + " WHERE base_layer_id = 7";
    auto script = [&] {
        scli::on_sql(sql)
            .columns({{"layer_id", SQL_INTEGER}})
            .rows({{scli::i32(1)}, {scli::i32(2)}});
    };
    script();
    const size_t first = scli::journal().size();
    int32_t count = 0;
    int32_t *ids = nullptr;
    ASSERT_EQ(DB_view_layer_get_ids(instance_, 7, &count, &ids), ZE_SUCCESS);
    free(ids);
    Strings names;
    for (size_t i = first; i < scli::journal().size(); i++)
        names.push_back(scli::journal()[i].fn);
    for (size_t n = 0; n < names.size(); n++) {
        if (names[n] == "SQLFreeHandle" || names[n] == "SQLFreeStmt" || names[n] == "SQLGetDiagRec")
            continue;
        SCOPED_TRACE(names[n]);
        script();
        scli::fail_call("", scli::call_count("") + static_cast<int>(n) + 1, SQL_ERROR,
                        {"HY000", -999, "injected"});
        count = 0;
        ids = nullptr;
        quiet_stderr(
            [&] { EXPECT_EQ(DB_view_layer_get_ids(instance_, 7, &count, &ids), ZE_DBMS_ERROR); });
        EXPECT_EQ(count, 0);
        EXPECT_EQ(ids, nullptr);
        for (const std::string &line : scli::leaks())
            EXPECT_NE(line.rfind("STMT", 0), 0u) << line;
    }
}
