// Tests the catalogue's installation and upgrade against the scripted CLI:
// a full creation on an empty database (release table, then the eleven
// tables in their order, with the messages), a second run on a complete one,
// an upgrade from an older compatible release, the refusal of another
// release, the failures of each step; and the check of the stored routines,
// which drops the views of older routines and never ends the process.
#include "db/core/db_catalog_install_internal.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/util/ve_lineage_internal.h"
#include "base/util/zel_errors.h"
#include "db/core/db_diag.h"
#include "db/core/db_system_tables.h"
#include "tests/db/core/catalog_fixture.h"
#include "tests/db/core/catalog_tables_sql.h"

namespace
{

using namespace catalog_sql;

const char kSpatialRefProbe[] = "SELECT description FROM zel:zel.spatial_references ";
const char kSpatialRefViewProbe[] = "SELECT count(*) FROM zel.spatial_ref_sys ";
const char kLayersProbe[] = "SELECT layer_mask FROM zel:zel.Layers";
const char kLayersSrid1[] = "SELECT srid FROM zel:zel.spatial_references";
const char kLayersSrid2[] = "SELECT srid FROM zel:zel.Geometry_Columns";
const char kGeometryProbe[] = "SELECT * FROM zel:zel.Geometry_Columns";
const char kRasterProbe[] = "SELECT * FROM zel:zel.RASTER_COLUMNS";
const char kRegistryProbe[] = "SELECT * FROM zel:zel.table_registry";
const char kVersionsProbe[] = "SELECT * FROM zel:zel.versions";
const char kModifiedProbe[] = "SELECT * FROM zel:zel.mvtables_modified";
const char kMetadataProbe[] = "SELECT * FROM zel:zel.METADATA";
const char kLocatorsProbe[] = "SELECT * FROM zel:zel.LOCATORS";

std::string P(const char *sql)
{
    return std::string("prepared ") + sql;
}

void Release(int32_t major, int32_t minor, int32_t bugfix, int32_t release)
{
    scli::on_sql(kReleaseSelect)
        .columns(ReleaseColumns())
        .row({scli::i32(major), scli::i32(minor), scli::i32(bugfix), scli::varchar("IDS"),
              scli::i32(release)});
}

// The probes of a complete catalogue of this release, after the release.
std::vector<std::string> CompleteProbes()
{
    return {P(kSpatialRefProbe),
            P(kSpatialRefViewProbe),
            kGeometryProbe,
            P(kLayersProbe),
            P(kLayersSrid1),
            P(kLayersSrid2),
            "COMMIT",
            kRasterProbe,
            kRegistryProbe,
            P(kOldProbe),
            kVersionsProbe,
            kModifiedProbe,
            kMetadataProbe,
            kBaseCount,
            kProbeTrigger,
            "COMMIT",
            kIndex,
            "COMMIT",
            kLocatorsProbe};
}

using CatalogInstall = CatalogTest;

TEST_F(CatalogInstall, FullCreationOnAnEmptyDatabase)
{
    scli::on_sql(kReleaseSelect).at_prepare(SQL_ERROR, kNoTable);
    scli::on_sql(kSpatialRefProbe).at_prepare(SQL_ERROR, kNoTable);
    scli::on_sql(kLayersProbe).at_prepare(SQL_ERROR, kNoTable);
    scli::on_sql(kOldProbe).at_prepare(SQL_ERROR, kNoTable);
    for (const char *probe : {kGeometryProbe, kRasterProbe, kRegistryProbe, kVersionsProbe,
                              kModifiedProbe, kMetadataProbe, kLocatorsProbe})
        scli::on_sql(probe).fail(SQL_ERROR, kNoTable);
    scli::on_sql(kBaseCount).at_prepare(SQL_ERROR, kNoTable); // the test of STATE_LINEAGES
    scli::on_sql(kGeneratorCall).fail(SQL_ERROR, kNoRoutine);
    scli::on_sql(kPairCount).at_prepare(SQL_ERROR, kNoColumn); // a new STATES: nothing to convert
    ScriptCount(kBaseCount, 0);

    EXPECT_EQ(DB_instance_system_tables_create(nullptr, nullptr), 0);
    EXPECT_EQ(Trace(), (std::vector<std::string>{
                           "COMMIT", // the default transaction
                           P(kReleaseSelect),
                           kReleaseCreate,
                           "COMMIT",
                           kReleaseInsert,
                           "COMMIT",
                           "COMMIT",
                           P(kSpatialRefProbe),
                           kSpatialReferences,
                           "COMMIT",
                           kSpatialRefView,
                           "COMMIT",
                           "GRANT SELECT ON zel:zel.spatial_references TO PUBLIC",
                           "COMMIT",
                           "GRANT SELECT ON zel.spatial_ref_sys TO PUBLIC",
                           "COMMIT",
                           kGeometryProbe,
                           kGeometryColumns,
                           "COMMIT",
                           "GRANT SELECT ON zel:zel.Geometry_Columns TO PUBLIC",
                           "COMMIT",
                           P(kLayersProbe),
                           kLayers,
                           "COMMIT",
                           "revoke all on zel:zel.Layers from public",
                           "COMMIT",
                           "grant select on zel:zel.Layers to public",
                           "COMMIT",
                           kRasterProbe,
                           kRasterColumns,
                           "COMMIT",
                           "GRANT SELECT ON zel:zel.RASTER_COLUMNS TO PUBLIC",
                           "COMMIT",
                           kRegistryProbe,
                           kTableRegistry,
                           "COMMIT",
                           "GRANT SELECT ON zel:zel.table_registry TO PUBLIC",
                           "COMMIT",
                           P(kOldProbe),
                           kStates,
                           "COMMIT",
                           kStatesInsert,
                           "COMMIT",
                           kStatesGrant,
                           "COMMIT",
                           kGeneratorTable,
                           "COMMIT",
                           kGeneratorCall,
                           kGeneratorTable2,
                           "COMMIT",
                           kGeneratorFunction,
                           "COMMIT",
                           kVersionsProbe,
                           kVersions,
                           "COMMIT",
                           kVersionsInsert,
                           "COMMIT",
                           "GRANT SELECT ON zel:zel.versions TO PUBLIC",
                           "COMMIT",
                           kModifiedProbe,
                           kMvtablesModified,
                           "COMMIT",
                           kMvtablesIndex,
                           "COMMIT",
                           "GRANT SELECT ON zel:zel.mvtables_modified TO PUBLIC",
                           "COMMIT",
                           kMetadataProbe,
                           kMetadata,
                           "COMMIT",
                           "GRANT SELECT ON zel:zel.METADATA TO PUBLIC",
                           "COMMIT",
                           P(kBaseCount),
                           kLineages,
                           "COMMIT",
                           kLineagesGrant,
                           "COMMIT",
                           P(kPairCount),
                           kBaseCount,
                           kBasePair,
                           "COMMIT",
                           kProbeTrigger,
                           "COMMIT",
                           kIndex,
                           "COMMIT",
                           kLocatorsProbe,
                           kLocators,
                           "COMMIT",
                           "GRANT SELECT ON zel:zel.LOCATORS TO PUBLIC",
                           "COMMIT",
                       }));
    EXPECT_TRUE(scli::unused_answers().empty());

    // The release row: 8.1.1, 81100, described by the DBMS.
    std::vector<std::vector<std::string>> release = Bound(kReleaseInsert);
    ASSERT_EQ(release.size(), 1u);
    EXPECT_EQ(release[0][0], "8");
    EXPECT_EQ(release[0][1], "1");
    EXPECT_EQ(release[0][2], "1");
    EXPECT_EQ(release[0][4], "81100");

    std::string expected = "VERSION table created...\n";
    for (const char *table :
         {"SPATIAL_REFERENCES", "GEOMETRY_COLUMNS", "LAYERS", "RASTER_COLUMNS", "TABLE_REGISTRY",
          "STATES", "VERSIONS", "MVTABLES_MODIFIED", "METADATA", "STATE_LINEAGES", "LOCATORS"})
        expected +=
            std::string(table) + " table being created...\n" + table + " table created...\n";
    EXPECT_EQ(Stderr(), expected);
}

TEST_F(CatalogInstall, SecondRunOnACompleteDatabaseOnlyChecks)
{
    Release(8, 1, 1, 81100);
    scli::on_sql(kOldProbe).at_prepare(SQL_ERROR, kNoColumn);
    ScriptCount(kBaseCount, 1);
    EXPECT_EQ(DB_instance_system_tables_create(nullptr, nullptr), 0);
    std::vector<std::string> expected = {"COMMIT", kReleaseSelect, "COMMIT"};
    std::vector<std::string> probes = CompleteProbes();
    expected.insert(expected.end(), probes.begin(), probes.end());
    EXPECT_EQ(Trace(), expected);
    EXPECT_EQ(Stderr(), "");
}

TEST_F(CatalogInstall, UpgradeFromAnOlderCompatibleRelease)
{
    // 8.1.0: SPATIAL_REFERENCES without description, STATES with its lineage
    // columns, and no LOCATORS yet.
    Release(8, 1, 0, 81000);
    scli::on_sql(kSpatialRefProbe).at_prepare(SQL_ERROR, kNoColumn);
    scli::on_sql(kBaseCount).at_prepare(SQL_ERROR, kNoTable);
    ScriptCount(kPairCount, 3);
    uint8_t *blob = nullptr;
    size_t size = 0;
    const int32_t root = 0;
    ASSERT_EQ(ves_lineage_encode(&root, 0, &blob, &size), 0);
    const std::string empty(reinterpret_cast<char *>(blob), size);
    free(blob);
    ASSERT_EQ(ves_lineage_encode(&root, 1, &blob, &size), 0);
    const std::string to_root(reinterpret_cast<char *>(blob), size);
    free(blob);
    scli::on_sql(kOldScan)
        .columns({{"state_id", SQL_INTEGER},
                  {"owner", SQL_VARCHAR, 32},
                  {"creation_time", SQL_TYPE_TIMESTAMP},
                  {"closing_time", SQL_TYPE_TIMESTAMP},
                  {"lineage_length", SQL_INTEGER},
                  {"lineage", SQL_LONGVARBINARY},
                  {"rowid", SQL_INTEGER}})
        .rows({{scli::i32(0), scli::varchar("zel"), scli::timestamp(2020, 1, 1, 0, 0, 0),
                scli::null(), scli::i32(0), scli::binary(empty), scli::i32(257)},
               {scli::i32(1), scli::varchar("zel"), scli::timestamp(2020, 1, 1, 0, 0, 0),
                scli::null(), scli::i32(1), scli::binary(to_root), scli::i32(258)}});
    ScriptCount(kBaseCount, 1);
    scli::on_sql(kLocatorsProbe).fail(SQL_ERROR, kNoTable);
    // The storage of the converted table: none stored.
    scli::on_sql(kDbtuneRead)
        .columns({{"keyword", SQL_VARCHAR},
                  {"parameter_name", SQL_VARCHAR},
                  {"config_string", SQL_VARCHAR}});

    EXPECT_EQ(DB_instance_system_tables_create(nullptr, nullptr), 0);
    std::vector<std::string> trace = Trace();
    const std::string alter =
        "ALTER TABLE zel:zel.spatial_references ADD (description CHAR(64) NULL)";
    // The column is added, then the view is checked.
    auto at = std::find(trace.begin(), trace.end(), alter);
    ASSERT_NE(at, trace.end());
    EXPECT_EQ(*(at + 1), "COMMIT");
    EXPECT_EQ(*(at + 2), P(kSpatialRefViewProbe));
    // The lineages become pairs and the old columns go, in that order.
    EXPECT_EQ(Bound(kPairInsert),
              (std::vector<std::vector<std::string>>{{"0", "0"}, {"1", "0"}, {"1", "1"}}));
    auto pairs = std::find(trace.begin(), trace.end(), std::string(kPairInsert));
    auto drop = std::find(trace.begin(), trace.end(), std::string(kDropColumns));
    ASSERT_NE(drop, trace.end());
    EXPECT_LT(pairs, drop);
    // Only LOCATORS is created, at the end.
    std::vector<std::string> tail(trace.end() - 5, trace.end());
    EXPECT_EQ(tail,
              (std::vector<std::string>{kLocatorsProbe, kLocators, "COMMIT",
                                        "GRANT SELECT ON zel:zel.LOCATORS TO PUBLIC", "COMMIT"}));
    EXPECT_EQ(Stderr(), "LOCATORS table being created...\nLOCATORS table created...\n");
}

TEST_F(CatalogInstall, AnotherReleaseIsRefusedWithoutTouchingAnything)
{
    struct Case {
        int32_t major, minor, bugfix, release;
    } cases[] = {{8, 0, 9, 80900}, {8, 0, 0, 80999}, {8, 2, 0, 82000}, {9, 0, 0, 90000}};
    for (const Case &c : cases) {
        Restart();
        Release(c.major, c.minor, c.bugfix, c.release);
        EXPECT_EQ(DB_instance_system_tables_create(nullptr, nullptr), ZE_INVALID_RELEASE)
            << c.release;
        EXPECT_EQ(Trace(), (std::vector<std::string>{"COMMIT", kReleaseSelect, "COMMIT"}))
            << c.release;
        char message[160];
        snprintf(message, sizeof(message),
                 "Previous ZEL Server Release %d.%d.%d is not compatible with the current "
                 "Release 8.1.1.\n\n",
                 c.major, c.minor, c.bugfix);
        EXPECT_EQ(Stderr(), message) << c.release;
    }
}

TEST_F(CatalogInstall, EachFailureStopsTheSequence)
{
    const std::string dbms = "DBMS error code: 0\n\n\n";
    struct Case {
        const char *name;
        std::function<void()> script;
        int32_t expected;
        std::string message;
        const char *last; // the last statement run, commits aside
    } cases[] = {
        {"default transaction refused",
         [] {
             scli::on_commit().fail(SQL_ERROR, {"08S01", -908, "gone"});
         },
         ZE_DBMS_ERROR,
         "DBMS error code: -908\ngone\n08S01\nERROR starting default transaction. (-51).\n",
         "COMMIT"},
        {"empty release table", [] { scli::on_sql(kReleaseSelect).columns(ReleaseColumns()); }, 110,
         dbms + "ERROR getting ZEL server Release. (110).\n", kReleaseSelect},
        {"release table refused",
         [] {
             scli::on_sql(kReleaseSelect).at_prepare(SQL_ERROR, kNoTable);
             scli::on_sql(kReleaseCreate).fail(SQL_ERROR, kNoPermission);
         },
         ZE_DBMS_ERROR, "", kReleaseCreate},
        {"first table refused",
         [] {
             Release(8, 1, 1, 81100);
             scli::on_sql(kSpatialRefProbe).at_prepare(SQL_ERROR, kNoTable);
             scli::on_sql(kSpatialReferences).fail(SQL_ERROR, kNoPermission);
         },
         ZE_FAILURE, "", kSpatialReferences},
        {"older LAYERS",
         [] {
             Release(8, 1, 1, 81100);
             scli::on_sql(kLayersProbe).at_prepare(SQL_ERROR, kNoColumn);
         },
         ZE_FAILURE, "Need to upgrade ZEL table schema.\n", kLayersProbe},
        {"unverifiable table",
         [] {
             Release(8, 1, 1, 81100);
             scli::on_sql(kRasterProbe).fail(SQL_ERROR, kNoPermission);
         },
         ZE_NO_PERMISSIONS,
         "Unable to verify the existence of the RASTER_COLUMNS table, error = -25.\n" + dbms,
         kRasterProbe},
    };
    for (const Case &c : cases) {
        Restart();
        c.script();
        EXPECT_EQ(DB_instance_system_tables_create(nullptr, nullptr), c.expected) << c.name;
        std::vector<std::string> trace = Trace();
        while (!trace.empty() && trace.back() == "COMMIT" && std::string(c.last) != "COMMIT")
            trace.pop_back();
        ASSERT_FALSE(trace.empty()) << c.name;
        std::string last = trace.back();
        if (last.rfind("prepared ", 0) == 0)
            last = last.substr(9);
        EXPECT_EQ(last, c.last) << c.name;
        std::string text = Stderr();
        if (!c.message.empty()) {
            EXPECT_NE(text.find(c.message), std::string::npos) << c.name << ": " << text;
        }
    }
    // The creation messages: the first table names itself in the singular.
    Restart();
    Release(8, 1, 1, 81100);
    scli::on_sql(kSpatialRefProbe).at_prepare(SQL_ERROR, kNoTable);
    scli::on_sql(kSpatialReferences).fail(SQL_ERROR, kNoPermission);
    EXPECT_EQ(DB_instance_system_tables_create(nullptr, nullptr), ZE_FAILURE);
    // (The failed CREATE prints the DBMS's lines between them.)
    std::string text = Stderr();
    EXPECT_EQ(text.find("SPATIAL_REFERENCES table being created...\n"), 0u) << text;
    EXPECT_NE(text.find("ERROR in creating SPATIAL_REFERENCE table.\nError: -25\n"
                        "DBMS error code: -273\nno permission\n42000\n"),
              std::string::npos)
        << text;
}

TEST_F(CatalogInstall, TablesExistsAnswersWithoutReading)
{
    EXPECT_EQ(DB_instance_system_tables_exists(nullptr), 0);
    EXPECT_EQ(Trace(), std::vector<std::string>{});
}

// ---- the stored routines --------------------------------------------------------------

std::string RoutineCount()
{
    std::string sql = "SELECT count(*) FROM sysprocedures where procname IN ( "
                      "lower('release_procedure'), lower('delete_registration'),";
    return sql;
}

class StoredRoutines : public CatalogTest
{
  protected:
    // The count query is the one statement that starts so.
    void Routines(int32_t count)
    {
        scli::on_sql_like("SELECT count\\(\\*\\) FROM sysprocedures where procname IN \\(.*")
            .columns({{"count", SQL_INTEGER}})
            .row({scli::i32(count)});
    }
    void RoutineRelease(int32_t release)
    {
        scli::on_sql(kReleaseCall).columns({{"release", SQL_INTEGER}}).row({scli::i32(release)});
    }
    static constexpr const char *kReleaseCall = "{ call zel:zel.release_procedure( ) }";
    static constexpr const char *kRegistrations =
        "select registration_id from zel:zel.table_registry";
};

TEST_F(StoredRoutines, TheCountCoversEveryRoutineNameOfAnyOwner)
{
    Routines(57);
    EXPECT_EQ(DB_instance_stored_procedures_exists(nullptr), ZE_FAILURE);
    std::vector<std::string> trace = Trace();
    ASSERT_EQ(trace.size(), 1u); // release_procedure is not called
    const std::string &sql = trace[0];
    EXPECT_EQ(sql.rfind(RoutineCount(), 0), 0u) << sql;
    const std::string last = ", lower('insert_dbtune'))";
    ASSERT_GT(sql.size(), last.size());
    EXPECT_EQ(sql.substr(sql.size() - last.size()), last);
    size_t names = 0;
    for (size_t at = sql.find("lower('"); at != std::string::npos; at = sql.find("lower('", at + 1))
        names++;
    EXPECT_EQ(names, 58u);
}

TEST_F(StoredRoutines, CurrentRoutinesUpdateTheirStatistics)
{
    for (int32_t release : {11, 12}) {
        Restart();
        Routines(58);
        RoutineRelease(release);
        EXPECT_EQ(DB_instance_stored_procedures_exists(nullptr), 0) << release;
        std::vector<std::string> trace = Trace();
        EXPECT_EQ(
            std::vector<std::string>(trace.begin() + 1, trace.end()),
            (std::vector<std::string>{kReleaseCall, "UPDATE STATISTICS FOR PROCEDURE", "COMMIT"}))
            << release;
    }
}

TEST_F(StoredRoutines, OlderRoutinesLoseTheViewsOfTheRegistrations)
{
    Routines(58);
    RoutineRelease(10);
    scli::on_sql(kRegistrations)
        .columns({{"registration_id", SQL_INTEGER}})
        .rows({{scli::i32(3)}, {scli::i32(4)}});
    scli::on_sql("drop view zel_std_view_3").fail(SQL_ERROR, kNoTable); // skipped
    EXPECT_EQ(DB_instance_stored_procedures_exists(nullptr), ZE_FAILURE);
    std::vector<std::string> trace = Trace();
    // Not committed: the routines' creation commits them.
    EXPECT_EQ(std::vector<std::string>(trace.begin() + 1, trace.end()),
              (std::vector<std::string>{kReleaseCall, kRegistrations, "drop view zel_std_view_3",
                                        "drop view zel_std_view_4"}));

    // No registrations to read: nothing to drop.
    Restart();
    Routines(58);
    RoutineRelease(10);
    scli::on_sql(kRegistrations).fail(SQL_ERROR, kNoTable);
    EXPECT_EQ(DB_instance_stored_procedures_exists(nullptr), ZE_FAILURE);
}

TEST_F(StoredRoutines, AViewThatCannotBeDroppedStopsWithoutEndingTheProcess)
{
    Routines(58);
    RoutineRelease(10);
    scli::on_sql(kRegistrations)
        .columns({{"registration_id", SQL_INTEGER}})
        .rows({{scli::i32(3)}, {scli::i32(4)}});
    scli::on_sql("drop view zel_std_view_3").fail(SQL_ERROR, kNoPermission);
    int32_t rc = DB_instance_stored_procedures_exists(nullptr);
    // A code of its own: -1 would send the installer on to recreate the
    // routines the views still hold.
    EXPECT_EQ(rc, ZE_NO_PERMISSIONS);
    std::vector<std::string> trace = Trace();
    EXPECT_EQ(std::vector<std::string>(trace.begin() + 1, trace.end()),
              (std::vector<std::string>{kReleaseCall, kRegistrations, "drop view zel_std_view_3",
                                        "ROLLBACK"}));
    EXPECT_EQ(Stderr(),
              "ZEL user must be granted DBA permission to run the zelsetupinfx program to drop all "
              "user defined views like zel_std_view_<reg_id>. Otherwise you must run "
              "drop_std_view located in $ZELHOME/tools for each user before you run zelsetupinfx "
              "again.\n");

    // A failed read of the next registration undoes the drops as well.
    Restart();
    Routines(58);
    RoutineRelease(10);
    scli::on_sql(kRegistrations)
        .columns({{"registration_id", SQL_INTEGER}})
        .rows({{scli::i32(3)}, {scli::i32(4)}})
        .at_fetch(2, SQL_ERROR, {"HY000", -999, "lost"});
    EXPECT_EQ(DB_instance_stored_procedures_exists(nullptr), ZE_DBMS_ERROR);
    EXPECT_EQ(Trace().back(), "ROLLBACK");
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x);
    EXPECT_EQ(x.native_error, -999);
}

TEST_F(StoredRoutines, AFailedCallIsRecorded)
{
    struct Case {
        const char *name;
        bool release_call;
    } cases[] = {{"count without a row", false}, {"release call refused", true}};
    for (const Case &c : cases) {
        Restart();
        if (c.release_call) {
            Routines(58);
            scli::on_sql(kReleaseCall).fail(SQL_ERROR, {"HY000", -999, "refused"});
        } else {
            scli::on_sql_like("SELECT count\\(\\*\\) FROM sysprocedures.*")
                .columns({{"count", SQL_INTEGER}});
        }
        EXPECT_EQ(DB_instance_stored_procedures_exists(nullptr), ZE_DBMS_ERROR) << c.name;
        DB_EXT_ERROR x;
        DB_instance_get_xerr(&x);
        EXPECT_EQ(x.code, ZE_DBMS_ERROR) << c.name;
    }
}

} // namespace
