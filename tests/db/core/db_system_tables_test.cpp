// Tests the catalogue tables against the scripted CLI: the exact CREATE of
// each table with its own storage clause and grant, the LAYERS create with
// the DBMS's type names and the repair of an older constraint name, the
// existence tests with the repairs of older layouts (and the LAYERS test
// that keeps a missing srid of SPATIAL_REFERENCES), and the highest ids.
#include "db/core/db_system_tables.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_diag.h"
#include "tests/db/core/catalog_fixture.h"
#include "tests/db/core/catalog_tables_sql.h"

namespace
{

using namespace catalog_sql;

// LAYERS with the scripted driver's type names.

// A configuration whose every clause names its own field.
DBTUNE_SYSTEM_CONFIG Config(int16_t counter)
{
    DBTUNE_SYSTEM_CONFIG c;
    memset(&c, 0, sizeof(c));
    c.counter = counter;
    snprintf(c.B_STORAGE, sizeof(c.B_STORAGE), "%s", "<B_STORAGE>");
    snprintf(c.VERSIONS_TABLE, sizeof(c.VERSIONS_TABLE), "%s", "<VERSIONS_TABLE>");
    snprintf(c.STATES_TABLE, sizeof(c.STATES_TABLE), "%s", "<STATES_TABLE>");
    snprintf(c.STATE_LINEAGES_TABLE, sizeof(c.STATE_LINEAGES_TABLE), "%s",
             "<STATE_LINEAGES_TABLE>");
    snprintf(c.MVTABLES_MODIFIED_TABLE, sizeof(c.MVTABLES_MODIFIED_TABLE), "%s",
             "<MVTABLES_MODIFIED_TABLE>");
    snprintf(c.MVTABLES_MODIFIED_INDEX, sizeof(c.MVTABLES_MODIFIED_INDEX), "%s",
             "<MVTABLES_MODIFIED_INDEX>");
    return c;
}

using Create = int32_t (*)(DB_INSTANCE *, const DBTUNE_SYSTEM_CONFIG *);
using Exists = int32_t (*)(DB_INSTANCE *);

// The tables whose create is the CREATE and the grant.
struct Plain {
    const char *name; // qualified
    Create create;
    Exists exists;
    const char *sql;
    const char *clause;
};
const Plain kPlain[] = {
    {"zel:zel.Geometry_Columns", DB_instance_geocol_table_create, DB_instance_geocol_table_exists,
     kGeometryColumns, "<B_STORAGE>"},
    {"zel:zel.METADATA", DB_instance_metadata_table_create, DB_instance_metadata_table_exists,
     kMetadata, "<B_STORAGE>"},
    {"zel:zel.RASTER_COLUMNS", DB_instance_rascol_table_create, DB_instance_rascol_table_exists,
     kRasterColumns, "<B_STORAGE>"},
    {"zel:zel.table_registry", DB_instance_registry_table_create, DB_instance_registry_table_exists,
     kTableRegistry, "<B_STORAGE>"},
    {"zel:zel.LOCATORS", DB_instance_zellocators_table_create, DB_instance_zellocators_table_exists,
     kLocators, "<B_STORAGE>"},
};

using SystemTables = CatalogTest;

TEST_F(SystemTables, EachTableIsCreatedWithItsClauseAndGranted)
{
    for (int16_t counter : {0, 99, 100}) {
        DBTUNE_SYSTEM_CONFIG config = Config(counter);
        for (const Plain &t : kPlain) {
            Restart();
            EXPECT_EQ(t.create(nullptr, &config), 0) << t.name;
            std::string create = std::string(t.sql) + (counter >= 100 ? t.clause : "");
            EXPECT_EQ(Executed(),
                      (std::vector<std::string>{
                          create, "COMMIT", std::string("GRANT SELECT ON ") + t.name + " TO PUBLIC",
                          "COMMIT"}))
                << t.name << " " << counter;
        }
        Restart();
        EXPECT_EQ(DB_instance_modified_table_create(nullptr, &config), 0);
        bool own = counter >= 100;
        EXPECT_EQ(
            Executed(),
            (std::vector<std::string>{
                std::string(kMvtablesModified) + (own ? "<MVTABLES_MODIFIED_TABLE>" : ""), "COMMIT",
                std::string(kMvtablesIndex) + (own ? "<MVTABLES_MODIFIED_INDEX>" : ""), "COMMIT",
                "GRANT SELECT ON zel:zel.mvtables_modified TO PUBLIC", "COMMIT"}))
            << counter;
    }
    // Without a configuration no clause is appended.
    Restart();
    EXPECT_EQ(DB_instance_geocol_table_create(nullptr, nullptr), 0);
    EXPECT_EQ(Executed().front(), kGeometryColumns);
}

TEST_F(SystemTables, AFailedCreateIsReturnedAndGrantsNothing)
{
    for (const Plain &t : kPlain) {
        Restart();
        scli::on_sql(t.sql).fail(SQL_ERROR, {"S0001", -310, "exists"});
        EXPECT_EQ(t.create(nullptr, nullptr), ZE_TABLE_EXISTS) << t.name;
        EXPECT_EQ(Executed(), (std::vector<std::string>{t.sql})) << t.name;
        DB_EXT_ERROR x;
        DB_instance_get_xerr(&x);
        EXPECT_EQ(x.native_error, -310) << t.name;
    }
    // The index of MVTABLES_MODIFIED fails: no grant.
    Restart();
    scli::on_sql(kMvtablesIndex).fail(SQL_ERROR, {"42000", -273, "no permission"});
    EXPECT_EQ(DB_instance_modified_table_create(nullptr, nullptr), ZE_NO_PERMISSIONS);
    EXPECT_EQ(Executed(), (std::vector<std::string>{kMvtablesModified, "COMMIT", kMvtablesIndex}));
}

TEST_F(SystemTables, TheProbesSelectFromTheQualifiedTableWithoutCommitting)
{
    struct Probe {
        const char *name;
        Exists exists;
    };
    std::vector<Probe> probes;
    for (const Plain &t : kPlain)
        probes.push_back({t.name, t.exists});
    probes.push_back({"zel:zel.mvtables_modified", DB_instance_modified_table_exists});
    struct Answer {
        scli::Diag diag; // empty: present
        int32_t expected;
    } answers[] = {
        {{}, 0},
        {{"S0002", -206, "no table"}, ZE_TABLE_NOT_FOUND},
        {{"42000", -272, "no select permission"}, ZE_NO_PERMISSIONS},
    };
    for (const Probe &p : probes) {
        for (const Answer &a : answers) {
            Restart();
            std::string sql = std::string("SELECT * FROM ") + p.name;
            if (!a.diag.sqlstate.empty())
                scli::on_sql(sql).fail(SQL_ERROR, a.diag);
            EXPECT_EQ(p.exists(nullptr), a.expected) << p.name << " " << a.diag.sqlstate;
            EXPECT_EQ(Executed(), (std::vector<std::string>{sql})) << p.name;
            DB_EXT_ERROR x;
            DB_instance_get_xerr(&x);
            EXPECT_EQ(x.code, 0) << p.name;
        }
    }
}

TEST_F(SystemTables, LayersIsCreatedWithTheDbmsTypeNamesRevokedAndGranted)
{
    DBTUNE_SYSTEM_CONFIG config = Config(100);
    EXPECT_EQ(DB_instance_layers_table_create(nullptr, &config), 0);
    const std::string create = std::string(kLayers) + "<B_STORAGE>";
    EXPECT_EQ(Executed(), (std::vector<std::string>{
                              create, "COMMIT", "revoke all on zel:zel.Layers from public",
                              "COMMIT", "grant select on zel:zel.Layers to public", "COMMIT"}));
}

TEST_F(SystemTables, LayersCreateRepairsTheConstraintNameOfAnOlderRelease)
{
    const scli::Diag used{"IX000", -625, "constraint name already in use"};
    const char repair[] = "Alter table zel:zel.layers_30 drop constraint layers_pk";
    // The second CREATE succeeds once the old constraint is gone.
    scli::on_sql(kLayers).fail(SQL_ERROR, used);
    scli::on_sql(repair).fail(SQL_ERROR, {"IX000", -623, "whatever"}); // its result is ignored
    EXPECT_EQ(DB_instance_layers_table_create(nullptr, nullptr), 0);
    EXPECT_EQ(Executed(),
              (std::vector<std::string>{kLayers, repair, kLayers, "COMMIT",
                                        "revoke all on zel:zel.Layers from public", "COMMIT",
                                        "grant select on zel:zel.Layers to public", "COMMIT"}));

    // A second refusal is returned.
    Restart();
    scli::on_sql(kLayers).fail(SQL_ERROR, used).times(2);
    EXPECT_EQ(DB_instance_layers_table_create(nullptr, nullptr), -625);
    EXPECT_EQ(Executed(), (std::vector<std::string>{kLayers, repair, "COMMIT", kLayers}));

    // Another failure is returned at once; a failed revoke stops the grant.
    Restart();
    scli::on_sql(kLayers).fail(SQL_ERROR, {"42000", -273, "no permission"});
    EXPECT_EQ(DB_instance_layers_table_create(nullptr, nullptr), ZE_NO_PERMISSIONS);
    EXPECT_EQ(Executed(), (std::vector<std::string>{kLayers}));
    Restart();
    scli::on_sql("revoke all on zel:zel.Layers from public")
        .fail(SQL_ERROR, {"42000", -273, "no permission"});
    EXPECT_EQ(DB_instance_layers_table_create(nullptr, nullptr), ZE_NO_PERMISSIONS);
    EXPECT_EQ(Executed(), (std::vector<std::string>{kLayers, "COMMIT",
                                                    "revoke all on zel:zel.Layers from public"}));
}

TEST_F(SystemTables, LayersProbe)
{
    const char layers[] = "SELECT layer_mask FROM zel:zel.Layers";
    const char spref[] = "SELECT srid FROM zel:zel.spatial_references";
    const char geocol[] = "SELECT srid FROM zel:zel.Geometry_Columns";
    const scli::Diag no_table{"S0002", -206, "no table"};
    const scli::Diag no_column{"S0022", -217, "no column"};
    const scli::Diag other{"42000", -272, "no permission"};
    struct Case {
        const char *name;
        const scli::Diag *layers, *spref, *geocol;
        int32_t expected;
        std::vector<std::string> prepared;
        bool committed;
    } cases[] = {
        {"all there", nullptr, nullptr, nullptr, 0, {layers, spref, geocol}, true},
        {"no LAYERS", &no_table, nullptr, nullptr, -78, {layers}, false},
        {"older LAYERS", &no_column, nullptr, nullptr, ZE_COLUMN_NOT_FOUND, {layers}, false},
        {"LAYERS refused", &other, nullptr, nullptr, ZE_FAILURE, {layers}, false},
        {"no SPATIAL_REFERENCES", nullptr, &no_table, nullptr, -163, {layers, spref}, true},
        {"no GEOMETRY_COLUMNS", nullptr, nullptr, &no_table, -163, {layers, spref, geocol}, true},
        {"GEOMETRY_COLUMNS without srid",
         nullptr,
         nullptr,
         &no_column,
         ZE_COLUMN_NOT_FOUND,
         {layers, spref, geocol},
         true},
        // SPATIAL_REFERENCES without srid is not made good by GEOMETRY_COLUMNS.
        {"SPATIAL_REFERENCES without srid",
         nullptr,
         &no_column,
         nullptr,
         ZE_COLUMN_NOT_FOUND,
         {layers, spref, geocol},
         true},
    };
    for (const Case &c : cases) {
        Restart();
        if (c.layers)
            scli::on_sql(layers).at_prepare(SQL_ERROR, *c.layers);
        if (c.spref)
            scli::on_sql(spref).at_prepare(SQL_ERROR, *c.spref);
        if (c.geocol)
            scli::on_sql(geocol).at_prepare(SQL_ERROR, *c.geocol);
        EXPECT_EQ(DB_instance_layers_table_exists(nullptr), c.expected) << c.name;
        EXPECT_EQ(Prepared(), c.prepared) << c.name;
        EXPECT_EQ(Executed(),
                  c.committed ? std::vector<std::string>{"COMMIT"} : std::vector<std::string>{})
            << c.name;
        DB_EXT_ERROR x;
        DB_instance_get_xerr(&x);
        EXPECT_EQ(x.code, 0) << c.name;
    }
}

TEST_F(SystemTables, SpatialReferencesCreateKeepsAnExistingTable)
{
    const std::vector<std::string> full = {kSpatialReferences,
                                           "COMMIT",
                                           kSpatialRefView,
                                           "COMMIT",
                                           "GRANT SELECT ON zel:zel.spatial_references TO PUBLIC",
                                           "COMMIT",
                                           "GRANT SELECT ON zel.spatial_ref_sys TO PUBLIC",
                                           "COMMIT"};
    DBTUNE_SYSTEM_CONFIG config = Config(100);
    EXPECT_EQ(DB_instance_spatial_ref_table_create(nullptr, &config), 0);
    std::vector<std::string> with_clause = full;
    with_clause[0] += "<B_STORAGE>";
    EXPECT_EQ(Executed(), with_clause);

    // The table exists: the view and both grants are added.
    Restart();
    scli::on_sql(kSpatialReferences).fail(SQL_ERROR, {"S0001", -310, "exists"});
    EXPECT_EQ(DB_instance_spatial_ref_table_create(nullptr, nullptr), 0);
    std::vector<std::string> kept = full;
    kept.erase(kept.begin() + 1);
    EXPECT_EQ(Executed(), kept);

    // Table and view exist: the grants are issued again.
    Restart();
    scli::on_sql(kSpatialReferences).fail(SQL_ERROR, {"S0001", -310, "exists"});
    scli::on_sql(kSpatialRefView).fail(SQL_ERROR, {"S0001", -310, "exists"});
    EXPECT_EQ(DB_instance_spatial_ref_table_create(nullptr, nullptr), 0);

    // Another failure of the table or the view is returned.
    Restart();
    scli::on_sql(kSpatialReferences).fail(SQL_ERROR, {"42000", -273, "no permission"});
    EXPECT_EQ(DB_instance_spatial_ref_table_create(nullptr, nullptr), ZE_NO_PERMISSIONS);
    EXPECT_EQ(Executed(), (std::vector<std::string>{kSpatialReferences}));
    Restart();
    scli::on_sql(kSpatialRefView).fail(SQL_ERROR, {"42000", -273, "no permission"});
    EXPECT_EQ(DB_instance_spatial_ref_table_create(nullptr, nullptr), ZE_NO_PERMISSIONS);
    EXPECT_EQ(Executed(),
              (std::vector<std::string>{kSpatialReferences, "COMMIT", kSpatialRefView}));
}

TEST_F(SystemTables, SpatialReferencesProbe)
{
    const char table[] = "SELECT description FROM zel:zel.spatial_references ";
    const char view[] = "SELECT count(*) FROM zel.spatial_ref_sys ";
    const char alter[] = "ALTER TABLE zel:zel.spatial_references ADD (description CHAR(64) NULL)";
    const scli::Diag no_table{"S0002", -206, "no table"};
    const scli::Diag no_column{"S0022", -217, "no column"};
    const scli::Diag other{"42000", -272, "no permission"};
    struct Case {
        const char *name;
        const scli::Diag *table, *alter, *view;
        int32_t expected;
        std::vector<std::string> prepared;
        std::vector<std::string> executed;
    } cases[] = {
        {"all there", nullptr, nullptr, nullptr, 0, {table, view}, {}},
        {"no table", &no_table, nullptr, nullptr, ZE_TABLE_NOT_FOUND, {table}, {}},
        {"table refused", &other, nullptr, nullptr, ZE_FAILURE, {table}, {}},
        {"no view", nullptr, nullptr, &no_table, ZE_TABLE_NOT_FOUND, {table, view}, {}},
        {"view refused", nullptr, nullptr, &other, ZE_FAILURE, {table, view}, {}},
        {"no description",
         &no_column,
         nullptr,
         nullptr,
         0,
         {table, alter, view},
         {alter, "COMMIT"}},
        {"no description, the ALTER refused",
         &no_column,
         &other,
         nullptr,
         ZE_NO_PERMISSIONS,
         {table, alter},
         {alter}},
    };
    for (const Case &c : cases) {
        Restart();
        if (c.table)
            scli::on_sql(table).at_prepare(SQL_ERROR, *c.table);
        if (c.alter)
            scli::on_sql(alter).fail(SQL_ERROR, *c.alter);
        if (c.view)
            scli::on_sql(view).at_prepare(SQL_ERROR, *c.view);
        EXPECT_EQ(DB_instance_spatial_ref_table_exists(nullptr), c.expected) << c.name;
        EXPECT_EQ(Prepared(), c.prepared) << c.name;
        EXPECT_EQ(Executed(), c.executed) << c.name;
        DB_EXT_ERROR x;
        DB_instance_get_xerr(&x);
        EXPECT_EQ(x.code, 0) << c.name;
    }
}

TEST_F(SystemTables, HighestIdsInUse)
{
    struct Getter {
        int32_t (*get)(DB_INSTANCE *, int32_t *);
        const char *sql;
    } getters[] = {
        {DB_instance_get_max_version_id, "SELECT MAX(version_id) FROM  zel:zel.versions"},
        {DB_instance_get_max_metadata_id, "SELECT MAX(record_id) FROM  zel:zel.metadata"},
        {DB_instance_get_max_state_id, "SELECT MAX(state_id) FROM  zel:zel.states"},
        {DB_instance_get_max_locator_id, "SELECT MAX(locator_id) FROM  zel:zel.locators"},
    };
    for (const Getter &g : getters) {
        Restart();
        int32_t id = -5;
        scli::on_sql(g.sql).columns({{"max", SQL_INTEGER}}).row({scli::i32(42)});
        EXPECT_EQ(g.get(nullptr, &id), 0) << g.sql;
        EXPECT_EQ(id, 42);
        // An empty table: NULL.
        scli::on_sql(g.sql).columns({{"max", SQL_INTEGER}}).row({scli::null()});
        EXPECT_EQ(g.get(nullptr, &id), 0) << g.sql;
        EXPECT_EQ(id, 0);
        // No row at all.
        id = -5;
        scli::on_sql(g.sql).columns({{"max", SQL_INTEGER}});
        EXPECT_EQ(g.get(nullptr, &id), 110) << g.sql;
        EXPECT_EQ(id, 0);
        EXPECT_EQ(Executed(),
                  (std::vector<std::string>{g.sql, "COMMIT", g.sql, "COMMIT", g.sql, "COMMIT"}));
        // No table, a refused prepare, a refused execute.
        scli::on_sql(g.sql).fail(SQL_ERROR, {"S0002", -206, "no table"});
        EXPECT_EQ(g.get(nullptr, &id), ZE_TABLE_NOT_FOUND) << g.sql;
        scli::on_sql(g.sql).at_prepare(SQL_ERROR, {"42000", -272, "no permission"});
        EXPECT_EQ(g.get(nullptr, &id), SQL_ERROR) << g.sql;
        DB_EXT_ERROR x;
        DB_instance_get_xerr(&x);
        EXPECT_EQ(x.code, 0);
        scli::on_sql(g.sql).fail(SQL_ERROR, {"HY000", -244, "read"});
        EXPECT_EQ(g.get(nullptr, &id), ZE_DBMS_ERROR) << g.sql;
        DB_instance_get_xerr(&x);
        EXPECT_EQ(x.native_error, -244);
        EXPECT_EQ(id, 0);
        EXPECT_EQ(g.get(nullptr, nullptr), ZE_NULL_POINTER);
    }
}

TEST_F(SystemTables, AdministrativeUserAndKeptEntryPoints)
{
    char user[8] = "xxxxxxx";
    EXPECT_EQ(DB_instance_get_admin_user(nullptr, user), user);
    EXPECT_STREQ(user, "zel");
    EXPECT_EQ(DB_instance_get_admin_user(nullptr, nullptr), nullptr);
    for (auto f : {DB_instance_layers_table_upgrade, DB_instance_modified_table_upgrade,
                   DB_instance_compress_log_start, DB_instance_compress_log_finish,
                   DB_instance_update_system_table_stats})
        EXPECT_EQ(f(nullptr), 0);
    EXPECT_EQ(Executed(), std::vector<std::string>{});
}

} // namespace
