// Qualified names: the administrative database, builders of table, layer and
// raster object names, the parsers of names users write, quote doubling and
// the side tables of registrations.
#include "db/core/db_names_internal.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "base/util/ve_layer.h"
#include "base/util/ve_raster.h"
#include "base/util/ve_registration.h"
#include "base/util/zel_errors.h"
#include "db/core/db_instance.h"
#include "db/core/db_instance_user.h"
#include "tests/db/catalog/raster_fixture.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/scripted_cli.h"

namespace
{

using Builder = std::function<int32_t(char *, size_t)>;

struct BuilderCase {
    const char *expected;
    Builder build;
};

std::string admin_database()
{
    char admin[DB_NAME_DATABASE_SIZE];
    EXPECT_EQ(DB_instance_get_admin_database(nullptr, admin), ZE_SUCCESS);
    return admin;
}

void expect_builds(const std::vector<BuilderCase> &cases)
{
    for (const BuilderCase &k : cases) {
        SCOPED_TRACE(k.expected);
        char out[DB_QUALIFIED_NAME_SIZE];
        memset(out, 'x', sizeof(out));
        EXPECT_EQ(k.build(out, sizeof(out)), ZE_SUCCESS);
        EXPECT_STREQ(out, k.expected);
        // One byte short of the name and its terminator: refused, nothing written.
        size_t need = strlen(k.expected) + 1;
        std::vector<char> small(need - 1, 'x');
        EXPECT_EQ(k.build(small.data(), small.size()), ZE_INVALID_ARGUMENT);
        EXPECT_EQ(small[0], '\0');
    }
}

using Names = ConnectedUser;

} // namespace

TEST_F(Names, CatalogueTablesLiveInTheAdministrativeDatabase)
{
    std::string a = admin_database() + ":zel.";
    std::vector<std::string> names = {a + "Geometry_Columns", a + "spatial_references",
                                      a + "METADATA",         a + "LOCATORS",
                                      a + "RASTER_COLUMNS",   a + "Layers",
                                      a + "states",           a + "state_lineages",
                                      a + "table_registry",   a + "mvtables_modified",
                                      a + "versions",         a + "version",
                                      a + "dbtune",           a + "insert_locator"};
    std::vector<Builder> builders = {
        [](char *o, size_t n) { return db_make_geometry_columns_name(o, n); },
        [](char *o, size_t n) { return db_make_spatial_references_name(nullptr, o, n); },
        [](char *o, size_t n) { return db_make_metadata_table_name(o, n); },
        [](char *o, size_t n) { return db_make_locators_table_name(o, n); },
        [](char *o, size_t n) { return db_make_raster_columns_name(o, n); },
        [](char *o, size_t n) { return db_make_layers_table_name(nullptr, o, n); },
        [](char *o, size_t n) { return db_make_states_table_name(nullptr, o, n); },
        [](char *o, size_t n) { return db_make_state_lineages_table_name(nullptr, o, n); },
        [](char *o, size_t n) { return db_make_table_registry_name(nullptr, o, n); },
        [](char *o, size_t n) { return db_make_mvtables_modified_name(nullptr, o, n); },
        [](char *o, size_t n) { return db_make_versions_table_name(nullptr, o, n); },
        [](char *o, size_t n) { return db_make_release_table_name(nullptr, o, n); },
        [](char *o, size_t n) { return db_make_dbtune_table_name(nullptr, o, n); },
        [](char *o, size_t n) {
            return db_make_admin_object_name(nullptr, "insert_locator", o, n);
        },
    };
    ASSERT_EQ(names.size(), builders.size());
    std::vector<BuilderCase> cases;
    for (size_t i = 0; i < names.size(); ++i)
        cases.push_back({names[i].c_str(), builders[i]});
    expect_builds(cases);
}

// ZEL_DATABASE is read once per process, so each setting runs in a fresh one.
TEST(AdminDatabase, ReadOnceFromTheEnvironment)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto layers_in_fresh_process = [](const char *value) {
        if (value)
            setenv("ZEL_DATABASE", value, 1);
        else
            unsetenv("ZEL_DATABASE");
        char out[DB_QUALIFIED_NAME_SIZE];
        db_make_layers_table_name(nullptr, out, sizeof(out));
        setenv("ZEL_DATABASE", "changed_later", 1);
        char again[DB_QUALIFIED_NAME_SIZE];
        db_make_versions_table_name(nullptr, again, sizeof(again));
        fprintf(stderr, "[%s][%s]", out, again);
        exit(0);
    };
    EXPECT_EXIT(layers_in_fresh_process(nullptr), testing::ExitedWithCode(0),
                "\\[zel:zel.Layers\\]\\[zel:zel.versions\\]");
    EXPECT_EXIT(layers_in_fresh_process("gisadmin"), testing::ExitedWithCode(0),
                "\\[gisadmin:zel.Layers\\]\\[gisadmin:zel.versions\\]");
    EXPECT_EXIT(layers_in_fresh_process(""), testing::ExitedWithCode(0), "\\[:zel.Layers\\]");

    // A name of more than 31 characters is refused, never cut.
    auto getter_in_fresh_process = [](const char *value) {
        setenv("ZEL_DATABASE", value, 1);
        char out[64];
        memset(out, 'x', sizeof(out));
        const int32_t rc = DB_instance_get_admin_database(nullptr, out);
        fprintf(stderr, "[%d][%s]", rc, out);
        exit(0);
    };
    EXPECT_EXIT(getter_in_fresh_process("a234567890123456789012345678901"),
                testing::ExitedWithCode(0), "\\[0\\]\\[a234567890123456789012345678901\\]");
    EXPECT_EXIT(getter_in_fresh_process("a2345678901234567890123456789012"),
                testing::ExitedWithCode(0), "\\[-66\\]\\[\\]");
}

TEST_F(Names, PlainAndRegisteredTables)
{
    expect_builds({
        {"gis:bob.roads",
         [](char *o, size_t n) { return db_make_qualified_name("gis", "bob", "roads", o, n); }},
        {":.", [](char *o, size_t n) { return db_make_qualified_name("", "", "", o, n); }},
        {"gis:'bob'.A7",
         [](char *o, size_t n) { return db_make_adds_table_name(nullptr, 7, "gis", "bob", o, n); }},
        {"'bob'.A7",
         [](char *o, size_t n) { return db_make_adds_table_name(nullptr, 7, "", "bob", o, n); }},
        {"A7",
         [](char *o, size_t n) { return db_make_adds_table_name(nullptr, 7, "gis", "", o, n); }},
        {"A7",
         [](char *o, size_t n) {
             return db_make_adds_table_name(nullptr, 7, nullptr, nullptr, o, n);
         }},
        {"gis:'O''Neil'.A7",
         [](char *o, size_t n) {
             return db_make_adds_table_name(nullptr, 7, "gis", "O'Neil", o, n);
         }},
        {"gis:'bob'.d12",
         [](char *o, size_t n) {
             return db_make_deletes_table_name(nullptr, 12, "gis", "bob", o, n);
         }},
        {"'bob'.d12",
         [](char *o, size_t n) {
             return db_make_deletes_table_name(nullptr, 12, "", "bob", o, n);
         }},
        {"d12", [](char *o,
                   size_t n) { return db_make_deletes_table_name(nullptr, 12, "gis", "", o, n); }},
        {"gis:'bob'.e12",
         [](char *o, size_t n) { return db_make_e_table_name(nullptr, 12, "gis", "bob", o, n); }},
        {"'bob'.e12",
         [](char *o, size_t n) { return db_make_e_table_name(nullptr, 12, nullptr, "bob", o, n); }},
        {"e12", [](char *o,
                   size_t n) { return db_make_e_table_name(nullptr, 12, nullptr, nullptr, o, n); }},
        {"bob.L3", [](char *o, size_t n) { return db_make_l_table_name(3, "bob", o, n); }},
        {"L3", [](char *o, size_t n) { return db_make_l_table_name(3, nullptr, o, n); }},
        {"L3", [](char *o, size_t n) { return db_make_l_table_name(3, "", o, n); }},
        {"R3", [](char *o, size_t n) { return db_make_rowid_sequence_name(3, "", o, n); }},
        {"V3_INSERT", [](char *o, size_t n) { return db_make_view_trigger_name(3, 0, o, n); }},
        {"V3_DELETE", [](char *o, size_t n) { return db_make_view_trigger_name(3, 1, o, n); }},
        {"V3_UPDATE", [](char *o, size_t n) { return db_make_view_trigger_name(3, 2, o, n); }},
        {"bob.R3", [](char *o, size_t n) { return db_make_rowid_sequence_name(3, "bob", o, n); }},
        {"R3", [](char *o, size_t n) { return db_make_rowid_sequence_name(3, nullptr, o, n); }},
        {"ZEL_BLK_9_UK",
         [](char *o, size_t n) { return db_make_block_unique_index_name(9, o, n); }},
        {"roads_idx_a",
         [](char *o, size_t n) { return db_make_adds_index_name(" \troads_idx\n ", o, n); }},
        {"gis:bob_zel_logfiles",
         [](char *o, size_t n) { return db_make_logfiles_table_name("gis", "bob", o, n); }},
        {"gis:bob_zel_logfile_data",
         [](char *o, size_t n) { return db_make_logfile_data_table_name("gis", "bob", o, n); }},
        {"gis:bob.roads",
         [](char *o, size_t n) {
             return db_table_make_name(nullptr, nullptr, "gis:bob.Roads", o, n);
         }},
        {"gis:ann.roads",
         [](char *o, size_t n) { return db_table_make_name("", "ann", "gis:bob.roads", o, n); }},
        {"web:ann.roads",
         [](char *o, size_t n) { return db_table_make_name("web", "ann", "gis:bob.roads", o, n); }},
        {"web:bob.roads",
         [](char *o, size_t n) { return db_table_make_name("web", nullptr, "roads", o, n); }},
        {"gis:bob.roads",
         [](char *o, size_t n) { return db_table_make_name(nullptr, nullptr, "roads", o, n); }},
        {"gis:bob_zel_logfiles",
         [](char *o, size_t n) { return db_make_logfiles_table_name("", "bob", o, n); }},
        {"gis:bob_zel_logfile_data",
         [](char *o, size_t n) { return db_make_logfile_data_table_name(nullptr, "bob", o, n); }},
    });
}

// A raster column whose read fails is not taken for a missing one: the bare
// name is written and the failure answered, so that no SQL runs on it.
TEST_F(Names, FailedRasterColumnReadIsTheAnswer)
{
    const struct {
        const char *bare;
        int32_t (*build)(DB_STREAM *, int32_t, char *, size_t);
    } cases[] = {{"ZEL_RAS_9", db_make_raster_table_name},
                 {"ZEL_BND_9", db_make_band_table_name},
                 {"ZEL_AUX_9", db_make_aux_table_name},
                 {"ZEL_BLK_9", db_make_block_table_name}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bare);
        scli::on_sql(raster_test::by_id_sql()).fail(SQL_ERROR, {"08S01", -908, "gone"});
        char out[DB_QUALIFIED_NAME_SIZE] = "";
        EXPECT_EQ(c.build(nullptr, 9, out, sizeof(out)), ZE_DBMS_ERROR);
        EXPECT_STREQ(out, c.bare);
    }
}

TEST_F(Names, LayerAndRasterObjects)
{
    LAYER layer;
    memset(&layer, 0, sizeof(layer));
    layer.layer_id = 5;
    strcpy(layer.database_name, "gis");
    strcpy(layer.owner, "bob");
    strcpy(layer.table_name, "roads");
    LAYER qualified = layer;
    strcpy(qualified.table_name, "web:ann.rivers");
    RASTERCOLUMN raster;
    memset(&raster, 0, sizeof(raster));
    raster.rastercolumn_id = 9;
    strcpy(raster.database_name, "gis");
    strcpy(raster.owner, "bob");
    // No raster column has the id.
    scli::on_sql(raster_test::by_id_sql()).columns(raster_test::raster_columns()).repeat();
    expect_builds({
        {"gis:bob.roads",
         [&](char *o, size_t n) { return db_make_qualified_name_from_info(&layer, o, n); }},
        {"gis:bob.roads",
         [&](char *o, size_t n) { return db_get_qualify_table_name(&layer, o, n); }},
        {"web:ann.rivers",
         [&](char *o, size_t n) { return db_get_qualify_table_name(&qualified, o, n); }},
        {"gis:bob.ZEL_BLK_9",
         [&](char *o, size_t n) { return db_make_block_table_name_from_info(&raster, o, n); }},
        // Records that cannot be read leave the bare names.
        {"F5", [](char *o, size_t n) { return db_make_layer_f_table_name(nullptr, 5, o, n); }},
        {"S5", [](char *o, size_t n) { return db_make_layer_s_table_name(nullptr, 5, o, n); }},
        {"ZEL_RAS_9",
         [](char *o, size_t n) { return db_make_raster_table_name(nullptr, 9, o, n); }},
        {"ZEL_BND_9", [](char *o, size_t n) { return db_make_band_table_name(nullptr, 9, o, n); }},
        {"ZEL_AUX_9", [](char *o, size_t n) { return db_make_aux_table_name(nullptr, 9, o, n); }},
        {"ZEL_BLK_9", [](char *o, size_t n) { return db_make_block_table_name(nullptr, 9, o, n); }},
    });
    char out[DB_QUALIFIED_NAME_SIZE] = "untouched";
    DB_get_qualify_table_name(nullptr, out);
    EXPECT_STREQ(out, "untouched");
    DB_get_qualify_table_name(&layer, out);
    EXPECT_STREQ(out, "gis:bob.roads");
    EXPECT_EQ(db_make_empty_layer_name(&layer, out, sizeof(out), 0), ZE_SUCCESS);
    EXPECT_STREQ(out, "");
    // A record whose text fields fill their whole width is read within them.
    memset(layer.owner, 'o', sizeof(layer.owner));
    EXPECT_EQ(db_make_qualified_name_from_info(&layer, out, sizeof(out)), ZE_SUCCESS);
    EXPECT_EQ(std::string(out), "gis:" + std::string(sizeof(layer.owner), 'o') + ".roads");
}

TEST_F(Names, OddArgumentsLeaveTheOutputAlone)
{
    char out[16] = "untouched";
    EXPECT_EQ(db_make_view_trigger_name(3, 3, out, sizeof(out)), ZE_INVALID_ARGUMENT);
    EXPECT_STREQ(out, "untouched");
    EXPECT_EQ(db_make_view_trigger_name(3, -1, out, sizeof(out)), ZE_INVALID_ARGUMENT);
    EXPECT_STREQ(out, "untouched");
    DB_table_make_name("gis", "bob", nullptr, out);
    EXPECT_STREQ(out, "untouched");
    DB_table_make_name("gis", "bob", "roads", nullptr);

    char index[256];
    struct {
        std::string base;
        std::string expected;
    } const index_cases[] = {
        {"", ""},
        {" \t\n", ""},
        {std::string(200, 'i'), std::string(127, 'i') + "_a"},
        {"  " + std::string(127, 'j'), std::string(127, 'j') + "_a"},
    };
    for (const auto &k : index_cases) {
        SCOPED_TRACE(k.base);
        memset(index, 'x', sizeof(index));
        EXPECT_EQ(db_make_adds_index_name(k.base.c_str(), index, sizeof(index)), ZE_SUCCESS);
        EXPECT_EQ(std::string(index), k.expected);
    }
}

TEST_F(Names, TableNameParser)
{
    struct Case {
        const char *name;
        int32_t rc;
        const char *database, *owner, *table;
    } const cases[] = {
        {"d:'Bob'.Parcels", ZE_SUCCESS, "d", "Bob", "parcels"},
        {"a.b.c", ZE_SUCCESS, "gis", "a.b", "c"},
        {"GIS:Bob.Roads", ZE_SUCCESS, "gis", "Bob", "roads"},
        {"Bob.Roads", ZE_SUCCESS, "gis", "Bob", "roads"},
        {"Roads", ZE_SUCCESS, "gis", "ann", "roads"},
        {"x:y:z.t", ZE_SUCCESS, "x:y", "z", "t"},
        {"d:'.t", ZE_SUCCESS, "d", "'", "t"},
        {"d:''.t", ZE_SUCCESS, "d", "", "t"},
        {"ROADS.", ZE_SUCCESS, "gis", "ROADS", ""},
        {"", ZE_SUCCESS, "gis", "ann", ""},
        // Parts at their widest, then one character more.
        {"ddddddddddddddddddddddddddddddd:o.t", ZE_SUCCESS, "ddddddddddddddddddddddddddddddd", "o",
         "t"},
        {"dddddddddddddddddddddddddddddddd:o.t", ZE_INVALID_ARGUMENT, "", "", ""},
        {"d:'ooooooooooooooooooooooooooooooo'.t", ZE_SUCCESS, "d",
         "ooooooooooooooooooooooooooooooo", "t"},
        {"d:'oooooooooooooooooooooooooooooooo'.t", ZE_INVALID_ARGUMENT, "", "", ""},
        {"d:oooooooooooooooooooooooooooooooo.t", ZE_INVALID_ARGUMENT, "", "", ""},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        char db[DB_NAME_DATABASE_SIZE] = "x", owner[DB_NAME_OWNER_SIZE] = "x",
             table[DB_NAME_TABLE_SIZE] = "x";
        EXPECT_EQ(db_parse_table_name(nullptr, k.name, "ann", db, owner, table), k.rc);
        EXPECT_STREQ(db, k.database);
        EXPECT_STREQ(owner, k.owner);
        EXPECT_STREQ(table, k.table);
    }
    char db[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], table[DB_NAME_TABLE_SIZE];
    std::string long_table = "o." + std::string(159, 't');
    EXPECT_EQ(db_parse_table_name(nullptr, long_table.c_str(), "ann", db, owner, table),
              ZE_SUCCESS);
    long_table += "t";
    EXPECT_EQ(db_parse_table_name(nullptr, long_table.c_str(), "ann", db, owner, table),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_table_parse_name(nullptr, "Parcels", db, owner, table), ZE_SUCCESS);
    EXPECT_STREQ(owner, "bob");
    EXPECT_EQ(db_parse_table_name(nullptr, nullptr, "ann", db, owner, table), ZE_NULL_POINTER);
}

TEST_F(Names, ColumnNameParser)
{
    struct Case {
        const char *name;
        int32_t rc;
        const char *database, *owner, *table, *column;
    } const cases[] = {
        {"Roads.Shape", ZE_SUCCESS, "gis", "ann", "roads", "shape"},
        {"Shape", ZE_SUCCESS, "gis", "", "", "shape"},
        {"Bob.Roads.Shape", ZE_SUCCESS, "gis", "Bob", "roads", "shape"},
        {"GIS:Bob.Roads.Shape", ZE_SUCCESS, "gis", "Bob", "roads", "shape"},
        {"GIS:'Bob'.Roads.Shape", ZE_SUCCESS, "gis", "'Bob'", "roads", "shape"},
        {"a.b.c.d", ZE_SUCCESS, "gis", "a.b", "c", "d"},
        {"t.ccccccccccccccccccccccccccccccc", ZE_SUCCESS, "gis", "ann", "t",
         "ccccccccccccccccccccccccccccccc"},
        {"t.cccccccccccccccccccccccccccccccc", ZE_INVALID_ARGUMENT, "", "", "", ""},
        {"oooooooooooooooooooooooooooooooo.t.c", ZE_INVALID_ARGUMENT, "", "", "", ""},
        {"dddddddddddddddddddddddddddddddd:o.t.c", ZE_INVALID_ARGUMENT, "", "", "", ""},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        char db[DB_NAME_DATABASE_SIZE] = "x", owner[DB_NAME_OWNER_SIZE] = "x";
        char table[DB_NAME_TABLE_SIZE] = "x", column[DB_NAME_COLUMN_SIZE] = "x";
        EXPECT_EQ(db_parse_column_name(nullptr, k.name, "ann", db, owner, table, column), k.rc);
        EXPECT_STREQ(db, k.database);
        EXPECT_STREQ(owner, k.owner);
        EXPECT_STREQ(table, k.table);
        EXPECT_STREQ(column, k.column);
    }
    char owner[DB_NAME_OWNER_SIZE], table[DB_NAME_TABLE_SIZE], column[DB_NAME_COLUMN_SIZE];
    // Without a database output the database part is dropped, but still bounded.
    EXPECT_EQ(
        db_parse_column_name(nullptr, "gis:bob.roads.shape", "ann", nullptr, owner, table, column),
        ZE_SUCCESS);
    EXPECT_STREQ(owner, "bob");
    EXPECT_EQ(DB_column_parse_name(nullptr, "roads.shape", nullptr, owner, table, column),
              ZE_SUCCESS);
    EXPECT_STREQ(owner, "bob");
}

TEST_F(Names, VersionNameParser)
{
    struct Case {
        const char *name;
        int32_t rc;
        const char *owner, *version;
    } const cases[] = {
        {"bob.Release", ZE_SUCCESS, "bob", "Release"},
        {"Release", ZE_SUCCESS, "bob", "Release"},
        {"a.b.Release", ZE_SUCCESS, "a.b", "Release"},
        {"oooooooooooooooooooooooooooooooo.v", ZE_INVALID_ARGUMENT, "", ""},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        char owner[DB_NAME_OWNER_SIZE] = "x", version[DB_NAME_VERSION_SIZE] = "x";
        EXPECT_EQ(DB_version_parse_name(nullptr, k.name, owner, version), k.rc);
        EXPECT_STREQ(owner, k.owner);
        EXPECT_STREQ(version, k.version);
    }
    std::string long_version = "bob." + std::string(64, 'v');
    char owner[DB_NAME_OWNER_SIZE], version[DB_NAME_VERSION_SIZE];
    EXPECT_EQ(DB_version_parse_name(nullptr, long_version.c_str(), owner, version),
              ZE_INVALID_ARGUMENT);
}

TEST_F(Names, NameMatches)
{
    EXPECT_EQ(db_table_name_matches(nullptr, "Bob.Roads", "gis", "Bob", "roads"), 1);
    EXPECT_EQ(db_table_name_matches(nullptr, "Roads", "gis", "bob", "roads"), 1);
    EXPECT_EQ(db_table_name_matches(nullptr, "Roads", "gis", "Bob", "roads"), 0);
    EXPECT_EQ(db_table_name_matches(nullptr, "Roads", "", "bob", "roads"), 0);
    EXPECT_EQ(db_table_name_matches(nullptr, "gis:bob.roads", "web", "bob", "roads"), 0);

    struct Case {
        const char *name;
        int32_t expected;
    } const cases[] = {
        {"SHAPE", 1},
        {"roads.shape", 1},
        {"bob.roads.Shape", 1},
        {"gis:bob.roads.shape", 1},
        {"web:bob.roads.shape", 0},
        {"rivers.shape", 0},
        {"ann.roads.shape", 0},
        {"roads.geom", 0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(db_column_name_matches(nullptr, k.name, "bob", "gis", "bob", "roads", "shape"),
                  k.expected);
    }
}

TEST(QuoteDoubling, DoublesInPlaceWithinTheBuffer)
{
    struct Case {
        const char *text;
        size_t size;
        int32_t rc;
        const char *expected;
    } const cases[] = {
        {"O'Neil", 16, ZE_SUCCESS, "O''Neil"},
        {"parcels", 8, ZE_SUCCESS, "parcels"},
        {"''", 5, ZE_SUCCESS, "''''"},
        {"''", 4, ZE_INVALID_ARGUMENT, "''"},
        {"O'Neil", 7, ZE_INVALID_ARGUMENT, "O'Neil"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.text);
        char buffer[32];
        strcpy(buffer, k.text);
        EXPECT_EQ(db_escape_quotes(buffer, k.size), k.rc);
        EXPECT_STREQ(buffer, k.expected);
    }
    EXPECT_EQ(db_escape_quotes(nullptr, 4), ZE_NULL_POINTER);
    EXPECT_EQ(db_quote_literal("it's"), "it''s");
}

namespace
{

// The host's registrations: 4 lives in gisdb, 5 names no database, 6 has a
// quote in its owner; every other id is unknown.
int32_t RegistrationById(intptr_t, int32_t id, REGISTRATION *out)
{
    const char *database = id == 4 ? "gisdb" : "";
    const char *owner = id == 4 ? "ann" : id == 5 ? "cy" : "O'Neil";
    if (id < 4 || id > 6)
        return -220;
    snprintf(out->database_name, sizeof(out->database_name), "%s", database);
    snprintf(out->owner, sizeof(out->owner), "%s", owner);
    return 0;
}

class RegisteredNames : public scli::Fixture
{
  protected:
    void SetUp() override
    {
        scli::Fixture::SetUp();
        memset(&codepage_, 0, sizeof(codepage_));
        codepage_.native.id = VE_CODEPAGE_1252;
        memset(&config_, 0, sizeof(config_));
        config_.codepage = &codepage_;
        config_.registration_by_id = RegistrationById;
    }
    void TearDown() override
    {
        if (instance_ != nullptr)
            DB_instance_close(instance_);
        scli::Fixture::TearDown();
    }
    VE_CODEPAGE codepage_;
    DB_INSTANCE_OPEN_CONFIG config_;
    DB_INSTANCE *instance_ = nullptr;
};

} // namespace

// A registration the host knows names its deletes and equivalence tables,
// whatever database and owner the caller gives; the connected database
// stands in for an empty one.
TEST_F(RegisteredNames, SideTablesOfAKnownRegistration)
{
    struct Case {
        const char *current; // the connected database
        int32_t id;
        const char *database;
        const char *owner;
        const char *deletes;
        const char *equivalence;
    } const cases[] = {
        {"gis", 4, "x", "bob", "gisdb:'ann'.d4", "gisdb:'ann'.e4"},
        {"gis", 5, "x", "bob", "gis:'cy'.d5", "gis:'cy'.e5"},
        {"gis", 6, "", "", "gis:'O''Neil'.d6", "gis:'O''Neil'.e6"},
        // Neither the registration nor the connection names a database: no
        // empty database part before the colon.
        {"", 5, "x", "bob", "'cy'.d5", "'cy'.e5"},
        {"gis", 7, "x", "bob", "x:'bob'.d7", "x:'bob'.e7"},
        {"gis", 7, "", "bob", "gis:'bob'.d7", "gis:'bob'.e7"},
        {"gis", 7, "x", "", "d7", "e7"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(std::string(k.current) + " " + std::to_string(k.id));
        scli::set_info_text(SQL_DATABASE_NAME, k.current);
        ASSERT_EQ(DB_instance_open("", "u", "p", &config_, &instance_), 0);
        char out[DB_QUALIFIED_NAME_SIZE];
        EXPECT_EQ(
            db_make_deletes_table_name(instance_, k.id, k.database, k.owner, out, sizeof(out)),
            ZE_SUCCESS);
        EXPECT_STREQ(out, k.deletes);
        EXPECT_EQ(db_make_e_table_name(instance_, k.id, k.database, k.owner, out, sizeof(out)),
                  ZE_SUCCESS);
        EXPECT_STREQ(out, k.equivalence);
        DB_instance_close(instance_);
        instance_ = nullptr;
    }
}
