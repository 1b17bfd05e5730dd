// Tests a layer's catalogue rows: the geometry type of each entity mask, the
// insert through insert_layer (its twenty parameters, the folding of names,
// the srid found, the mapping of the routine's statuses with the two lines
// of the layer limit), update with its own or a shared spatial reference,
// extent, rename and delete, the plain-SQL insert, the retired entries, the
// view test of the DBMS catalogue and the check of a view layer.
#include "db/catalog/db_layer_def_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_xerr.h"
#include "db/core/db_xerr_internal.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;
using catalog_test::answer_status;
using catalog_test::params_of;

const std::string kFindSrid = "select srid from zel:zel.spatial_references where falsex = ? and "
                              "falsey = ? and xyunits = ?    and falsez = ? and zunits = ? and "
                              "falsem = ? and munits = ? and    srtext = 'PROJCS[n]'";
const std::string kInsert = "{call zel:zel.insert_layer (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)}";
const std::string kUpdate = "{ call zel:zel.update_layer (?,?,?,?,?,?,?,?,?,?,?,?)}";
const std::string kSridUsers = "SELECT COUNT(DISTINCT a.layer_id) FROM zel:zel.Layers a WHERE "
                               "a.srid = (SELECT srid FROM zel:zel.Layers WHERE layer_id = 7)";

void srid_found(int32_t srid)
{
    scli::on_sql(kFindSrid).columns({{"srid", SQL_INTEGER}}).row({scli::i32(srid)});
}

class LayerDef : public layer_test::LayerFixture
{
  protected:
    void SetUp() override
    {
        layer_test::LayerFixture::SetUp();
        own_.layer.layer_id = 7;
        strcpy(own_.layer.description, "");
        strcpy(own_.layer.database_name, "GIS");
        strcpy(own_.layer.owner, "Bob");
        strcpy(own_.layer.table_name, "Roads");
        strcpy(own_.layer.spatial_column, "Shape");
        own_.layer.eflags = LAYER_LINE;
        own_.layer.minx = 1;
        own_.layer.miny = 2;
        own_.layer.maxx = 3;
        own_.layer.maxy = 4;
        strcpy(own_.layer.layer_config, "DEFAULTS");
        own_.layer.minimum_id = 1;
        own_.coordref.falsex = -400;
        own_.coordref.falsey = -300;
        own_.coordref.xyunits = 1000;
        own_.coordref.zunits = 1;
        own_.coordref.munits = 1;
        strcpy(own_.text, "PROJCS[n]");
    }
    layer_test::OwnLayer own_;
};

} // namespace

TEST_F(LayerDef, GeometryTypeOfEachMask)
{
    const uint32_t multi = LAYER_MULTIPART;
    const struct {
        uint32_t mask;
        int32_t type;
    } cases[] = {
        {LAYER_POINT, 1},
        {LAYER_POINT | multi, 7},
        {LAYER_LINE, 3},
        {LAYER_SIMPLE_LINE, 3},
        {LAYER_LINE | LAYER_SIMPLE_LINE | multi, 9},
        {LAYER_AREA, 5},
        {LAYER_AREA | multi, 11},
        {LAYER_POINT | LAYER_AREA, 0},
        {LAYER_POINT | LAYER_LINE, 0},
        {LAYER_LINE | LAYER_AREA, 0},
        {LAYER_NIL, 0},
        {LAYER_NIL | LAYER_AREA | LAYER_SPATIAL, 5},
        {0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mask);
        int32_t type = -1;
        db_layer_mask_to_geometry_type(c.mask, &type);
        EXPECT_EQ(type, c.type);
        // The insert hands the same type to the routine, last.
        MarkNow();
        own_.layer.eflags = c.mask;
        srid_found(4);
        answer_status(kInsert, 0);
        ASSERT_EQ(DB_sp_layers_def_insert(instance_, &own_.layer), ZE_SUCCESS);
        EXPECT_EQ(params_of(kInsert).back(), std::to_string(c.type));
    }
}

TEST_F(LayerDef, InsertSendsTwentyValuesAndFoldsNames)
{
    srid_found(4);
    answer_status(kInsert, 0);
    const time_t before = time(nullptr);
    ASSERT_EQ(DB_sp_layers_def_insert(instance_, &own_.layer), ZE_SUCCESS);
    const time_t after = time(nullptr);
    EXPECT_EQ(Executed(), (Strings{kFindSrid, kInsert})); // no commit
    EXPECT_STREQ(own_.layer.database_name, "gis");
    EXPECT_STREQ(own_.layer.owner, "Bob");
    EXPECT_STREQ(own_.layer.table_name, "roads");
    EXPECT_STREQ(own_.layer.spatial_column, "shape");
    EXPECT_GE(own_.layer.cdate, before);
    EXPECT_LE(own_.layer.cdate, after);
    Strings params = params_of(kInsert);
    ASSERT_EQ(params.size(), 20u);
    EXPECT_EQ(params[12], std::to_string(own_.layer.cdate));
    params[12] = "cdate";
    EXPECT_EQ(params,
              (Strings{"7", "NULL", "gis",   "Bob",      "roads", "shape", "4", "0", "1", "2",
                       "3", "4",    "cdate", "DEFAULTS", "NULL",  "NULL",  "1", "4", "0", "3"}));
}

TEST_F(LayerDef, RoutineStatusesAreMapped)
{
    const struct {
        int32_t status;
        int32_t rc;
        int32_t native;
        bool limit_lines;
    } cases[] = {
        {-20019, ZE_LAYER_LIMIT, 0, true},
        {-20025, ZE_NO_PERMISSIONS, 0, false},
        {-746, ZE_DBMS_ERROR, -746, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.status);
        srid_found(4);
        answer_status(kInsert, c.status);
        StderrCapture err;
        EXPECT_EQ(DB_sp_layers_def_insert(instance_, &own_.layer), c.rc);
        const std::string text = err.text();
        EXPECT_EQ(text.find("Max layer number exceeded or Layer already exist.\nIf layer not "
                            "exist, increase layer parameter in kelvard.defs\n") !=
                      std::string::npos,
                  c.limit_lines);
        DB_EXT_ERROR xerr;
        DB_instance_get_xerr(&xerr);
        EXPECT_EQ(xerr.native_error, c.native);
        EXPECT_STREQ(xerr.message, "Error executing stored procedure zel:zel.insert_layer");
    }
    // The same mapping for every routine of the family.
    answer_status("{ call zel:zel.delete_layer (?) }", -20020);
    EXPECT_EQ(DB_sp_layers_def_delete(instance_, 7), ZE_LAYER_NOT_FOUND);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_STREQ(xerr.message, "Error executing stored procedure zel:zel.delete_layer");
}

TEST_F(LayerDef, NamesAreCheckedBeforeAnySql)
{
    const struct {
        const char *what;
        const char *table;
        size_t column_length;
        int32_t rc;
    } cases[] = {
        {"blank table", "   ", 5, ZE_EMPTY_TABLE_NAME},
        {"empty table", "", 5, ZE_EMPTY_TABLE_NAME},
        {"column filling its field", "roads", 32, ZE_INVALID_ARGUMENT},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        strcpy(own_.layer.table_name, c.table);
        memset(own_.layer.spatial_column, 's', c.column_length);
        if (c.column_length < sizeof(own_.layer.spatial_column))
            own_.layer.spatial_column[c.column_length] = '\0';
        EXPECT_EQ(DB_sp_layers_def_insert(instance_, &own_.layer), c.rc);
    }
    std::string long_name(160, 'r');
    EXPECT_EQ(DB_sp_layers_def_change_table_name(instance_, 7, long_name.c_str()),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_sp_layers_def_insert(instance_, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(Executed(), Strings{});
}

TEST_F(LayerDef, UpdateKeepsASharedReference)
{
    const std::string own_ref = "{ call zel:zel.update_spatial_references (?,?)}";
    const std::string new_srid = "{ call zel:zel.update_layer_srid (?,?)}";
    auto users = [](int32_t n) {
        scli::on_sql(kSridUsers).columns({{"", SQL_INTEGER}}).row({scli::i32(n)});
    };
    // The layer's own reference: its row takes the text.
    answer_status(kUpdate, 0);
    users(1);
    answer_status(own_ref, 0);
    ASSERT_EQ(DB_sp_layers_def_update(instance_, &own_.layer), ZE_SUCCESS);
    EXPECT_EQ(Executed(), (Strings{kUpdate, kSridUsers, own_ref}));
    EXPECT_EQ(params_of(kUpdate), (Strings{"7", "NULL", "4", "0", "1", "2", "3", "4", "DEFAULTS",
                                           "NULL", "NULL", "1"}));
    EXPECT_EQ(params_of(own_ref), (Strings{"7", "PROJCS[n]"}));

    // Shared with another layer: a found or new srid, the shared row untouched.
    MarkNow();
    answer_status(kUpdate, 0);
    users(2);
    srid_found(9);
    answer_status(new_srid, 0);
    ASSERT_EQ(DB_sp_layers_def_update(instance_, &own_.layer), ZE_SUCCESS);
    EXPECT_EQ(Executed(), (Strings{kUpdate, kSridUsers, kFindSrid, new_srid}));
    EXPECT_EQ(params_of(new_srid), (Strings{"7", "9"}));

    // No layer uses it, or the count fails: rolled back.
    for (bool fails : {false, true}) {
        SCOPED_TRACE(fails);
        MarkNow();
        answer_status(kUpdate, 0);
        if (fails)
            scli::on_sql(kSridUsers).fail(SQL_ERROR, {"HY000", -201, "refused"});
        else
            users(0);
        quiet_stderr(
            [&] { EXPECT_EQ(DB_sp_layers_def_update(instance_, &own_.layer), ZE_DBMS_ERROR); });
        EXPECT_EQ(Executed(), (Strings{kUpdate, kSridUsers, "ROLLBACK"}));
    }
}

TEST_F(LayerDef, ExtentRenameAndDelete)
{
    const std::string extent = "{ call zel:zel.update_layer_extent (?,?,?,?,?)}";
    const std::string rename = "{ call zel:zel.change_layer_table_name (?,?)}";
    const std::string remove = "{ call zel:zel.delete_layer (?) }";
    const VE_ENVELOPE e{-1.5, 2, 30, 40.25};
    answer_status(extent, 0);
    EXPECT_EQ(DB_sp_layers_def_update_extent(instance_, 7, &e), ZE_SUCCESS);
    EXPECT_EQ(params_of(extent), (Strings{"7", "-1.5", "2", "30", "40.25"}));
    answer_status(extent, -20020);
    EXPECT_EQ(DB_sp_layers_def_update_extent(instance_, 7, &e), ZE_LAYER_NOT_FOUND);
    scli::on_sql(extent).fail(SQL_ERROR, {"HY000", -243, "locked"});
    quiet_stderr(
        [&] { EXPECT_EQ(DB_sp_layers_def_update_extent(instance_, 7, &e), ZE_DBMS_ERROR); });
    EXPECT_EQ(Executed(), (Strings{extent, extent, extent, "ROLLBACK"}));

    MarkNow();
    answer_status(rename, 0);
    EXPECT_EQ(DB_sp_layers_def_change_table_name(instance_, 7, "Main_Roads"), ZE_SUCCESS);
    EXPECT_EQ(params_of(rename), (Strings{"main_roads", "7"}));

    answer_status(remove, 0);
    EXPECT_EQ(DB_sp_layers_def_delete(instance_, 7), ZE_SUCCESS);
    answer_status(remove, -20025);
    EXPECT_EQ(DB_sp_layers_def_delete(instance_, 7), ZE_NO_PERMISSIONS);
    EXPECT_EQ(Executed(), (Strings{rename, remove, "COMMIT", remove}));
}

TEST_F(LayerDef, PlainInsertWritesBothRowsAndCommits)
{
    const std::string geometry = "INSERT INTO zel:zel.Geometry_Columns (f_table_catalog,"
                                 "f_table_schema,          f_table_name, f_geometry_column, "
                                 "geometry_type, srid)          VALUES (?,?,?,?,?,?)";
    const std::string layers =
        "INSERT INTO zel:zel.Layers (layer_id,description,       "
        "database_name,owner,table_name,spatial_column,       eflags,layer_mask,minx,miny,maxx,"
        "maxy,       cdate,layer_config,optimal_array_size,stats_date,minimum_id,       "
        "srid,base_layer_id)        VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
    srid_found(4);
    ASSERT_EQ(DB_insert_layers_def(instance_, &own_.layer), ZE_SUCCESS);
    EXPECT_EQ(Executed(), (Strings{kFindSrid, geometry, layers, "COMMIT"}));
    EXPECT_EQ(params_of(geometry), (Strings{"GIS", "Bob", "Roads", "Shape", "3", "4"}));
    EXPECT_EQ(params_of(layers).size(), 19u);

    MarkNow();
    srid_found(4);
    scli::on_sql(layers).fail(SQL_ERROR, {"23000", -268, "duplicate"});
    quiet_stderr([&] { EXPECT_EQ(DB_insert_layers_def(instance_, &own_.layer), ZE_LAYER_EXISTS); });
    EXPECT_EQ(Executed(), (Strings{kFindSrid, geometry, layers, "ROLLBACK"}));
}

TEST_F(LayerDef, RetiredEntriesSayTheyWereCalled)
{
    StderrCapture err;
    EXPECT_EQ(DB_layers_def_delete(instance_, 7), ZE_FAILURE);
    EXPECT_EQ(err.text(), "Obsolete function DB_layers_def_delete() called!\n");
    EXPECT_EQ(DB_update_layers_def(instance_, &own_.layer), ZE_FAILURE);
    EXPECT_EQ(err.text(), "Obsolete function DB_update_layers_def () called!\n");
    EXPECT_EQ(DB_layers_def_change_table_name(instance_, 7, "x"), ZE_FAILURE);
    EXPECT_EQ(err.text(), "Obsolete function DB_layers_def_change_table_name() called!\n");
}

TEST_F(LayerDef, ViewTestAsksTheDbmsCatalogue)
{
    const std::string sql = "SELECT tabtype FROM informix.systables WHERE owner = 'o''neil' AND "
                            "tabname = 'roads_v'";
    const struct {
        const char *what;
        const char *type; // null: no row
        int32_t rc;
    } cases[] = {{"view", "V", 1}, {"table", "T", 0}, {"missing", nullptr, ZE_TABLE_NOT_FOUND}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        scli::Answer &a = scli::on_sql(sql).columns({{"tabtype", SQL_CHAR, 1}});
        if (c.type != nullptr)
            a.row({scli::chr(c.type, 1)});
        EXPECT_EQ(db_is_layer_a_view("o'neil", "Roads_V"), c.rc);
    }
    scli::on_sql(sql).fail(SQL_ERROR, {"HY000", -201, "refused"});
    quiet_stderr([&] { EXPECT_EQ(db_is_layer_a_view("o'neil", "Roads_V"), ZE_DBMS_ERROR); });
    EXPECT_EQ(Executed(), (Strings{sql, sql, sql, sql, "ROLLBACK"}));
}

TEST_F(LayerDef, ViewLayerAgainstItsBase)
{
    const std::string is_view = "SELECT tabtype FROM informix.systables WHERE owner = 'Bob' AND "
                                "tabname = 'roads'";
    const std::string base = "select b_table_schema, b_table_name, b_geometry_column from "
                             "zel:zel.Geometry_Columns where    f_table_schema = 'Bob' and "
                             "f_table_name = 'ROADS' and f_geometry_column = 'SHAPE'";
    const std::string base_layer =
        layer_test::kSelect + " FROM zel:zel.Layers ly,zel:zel.spatial_references sr WHERE "
                              "ly.owner = 'bob' and              ly.table_name = 'streets' and "
                              "ly.spatial_column = 'geom' and              ly.srid = sr.srid";
    strcpy(own_.layer.table_name, "roads");
    strcpy(own_.layer.spatial_column, "shape");
    layer_test::LayerRow row; // eflags: line and Spatial storage
    own_.coordref.falsex = row.falsex;
    own_.coordref.falsey = row.falsey;
    own_.coordref.xyunits = row.xyunits;
    own_.coordref.falsez = row.falsez;
    own_.coordref.zunits = row.zunits;
    own_.coordref.falsem = row.falsem;
    own_.coordref.munits = row.munits;
    strcpy(own_.text, row.srtext.c_str());
    auto script = [&](bool base_row, bool layer_row) {
        scli::on_sql(is_view).columns({{"tabtype", SQL_CHAR, 1}}).row({scli::chr("V", 1)});
        scli::Answer &b = scli::on_sql(base).columns(
            {{"s", SQL_VARCHAR, 32}, {"t", SQL_VARCHAR, 160}, {"c", SQL_VARCHAR, 32}});
        if (base_row)
            b.row({scli::varchar("bob"), scli::varchar("STREETS"), scli::varchar("GEOM")});
        if (base_row)
            layer_test::answer_layers(base_layer, layer_row ? std::vector<layer_test::LayerRow>{row}
                                                            : std::vector<layer_test::LayerRow>{});
    };
    const struct {
        const char *what;
        bool base_row, layer_row;
        uint32_t eflags;
        double grid;
        double falsex;
        int32_t rc;
    } cases[] = {
        {"agrees", true, true, LAYER_LINE, 0, row.falsex, 0},
        {"fewer flags", true, true, 0, 0, row.falsex, 0},
        {"no base row", false, false, LAYER_LINE, 0, row.falsex, ZE_BASE_TABLE_NOT_FOUND},
        {"base without a layer", true, false, LAYER_LINE, 0, row.falsex, 0},
        {"other grid", true, true, LAYER_LINE, 5, row.falsex, ZE_INVALID_GRID_SIZE},
        {"flag the base lacks", true, true, LAYER_LINE | LAYER_AREA, 0, row.falsex,
         ZE_VIEW_LAYER_FLAGS},
        {"3D view of a 2D base", true, true, LAYER_LINE | LAYER_3D, 0, row.falsex,
         ZE_VIEW_LAYER_FLAGS},
        {"other reference", true, true, LAYER_LINE, 0, 17, ZE_COORDREF_MISMATCH},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        script(c.base_row, c.layer_row);
        own_.layer.eflags = c.eflags | LAYER_SPATIAL;
        own_.layer.grid_size[0] = c.grid;
        own_.coordref.falsex = c.falsex;
        EXPECT_EQ(db_layer_check_view_layer(&own_.layer), c.rc);
    }
}

// Every failing CLI call of the extent update is reported, and a failed
// step rolls back.
TEST_F(LayerDef, ExtentUpdateFaultSweep)
{
    const std::string extent = "{ call zel:zel.update_layer_extent (?,?,?,?,?)}";
    const VE_ENVELOPE e{1, 2, 3, 4};
    answer_status(extent, 0);
    const size_t first = scli::journal().size();
    ASSERT_EQ(DB_sp_layers_def_update_extent(instance_, 7, &e), ZE_SUCCESS);
    Strings names;
    for (size_t i = first; i < scli::journal().size(); i++)
        names.push_back(scli::journal()[i].fn);
    for (size_t n = 0; n < names.size(); n++) {
        if (names[n] == "SQLFreeHandle" || names[n] == "SQLFreeStmt" || names[n] == "SQLGetDiagRec")
            continue;
        SCOPED_TRACE(names[n]);
        answer_status(extent, 0);
        MarkNow();
        scli::fail_call("", scli::call_count("") + static_cast<int>(n) + 1, SQL_ERROR,
                        {"HY000", -999, "injected"});
        quiet_stderr(
            [&] { EXPECT_EQ(DB_sp_layers_def_update_extent(instance_, 7, &e), ZE_DBMS_ERROR); });
        const Strings ran = Executed();
        EXPECT_EQ(std::count(ran.begin(), ran.end(), "ROLLBACK"), 1);
    }
}
