// Layer records read from the catalogue: the 27 bound columns and their NULL
// rules, the current user's privilege mask from the systabauth letters (the
// owner's 30 without a query, the SELECT-only clamp, -25), the walk over
// every layer of the database, the by-name read without the cache, and the
// copy that keeps the destination's coordinate reference.
#include "db/catalog/db_layer_info_internal.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/util/zel_errors.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_stream_internal.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace layer_test;

namespace
{

using Strings = std::vector<std::string>;

const std::string kAccessSql =
    "SELECT tabauth from informix.systabauth au,informix.systables tab   where au.tabid = "
    "tab.tabid and tab.owner = ?    and tab.tabname = ?    and (au.grantee = ? or au.grantee = "
    "'public' or    (au.grantee in (select rolename from informix.sysroleauth rol     where "
    "rol.grantee = ?)))";

const std::string kWalkSql = kSelect + kFrom +
                             " WHERE ly.database_name = lower('gis') AND ly.srid = sr.srid ORDER "
                             "BY layer_id";

void answer_tabauth(const std::vector<std::string> &texts)
{
    scli::Answer &a = scli::on_sql(kAccessSql).columns({{"tabauth", SQL_CHAR, 9}});
    for (const std::string &t : texts)
        a.row({scli::chr(t, 9)});
}

using LayerInfo = LayerFixture;

// The row through the single-row fetch into a caller's record.
TEST_F(LayerInfo, NullRulesOfTheFetchedRow)
{
    struct Case {
        const char *what;
        void (*change)(LayerRow &);
        void (*check)(const LAYER &);
    };
    const Case cases[] = {
        {"every column given", [](LayerRow &) {},
         [](const LAYER &l) {
             EXPECT_EQ(l.layer_id, 7);
             EXPECT_STREQ(l.description, "Roads of the county");
             EXPECT_EQ(l.minx, 1);
             EXPECT_EQ(l.maxy, 400);
             EXPECT_EQ(l.eflags, static_cast<uint32_t>(LAYER_SPATIAL | LAYER_LINE));
             EXPECT_STREQ(l.database_name, "gis");
             EXPECT_STREQ(l.table_name, "roads");
             EXPECT_STREQ(l.owner, "bob");
             EXPECT_STREQ(l.spatial_column, "shape");
             EXPECT_EQ(l.cdate, 1000);
             EXPECT_STREQ(l.layer_config, "DEFAULTS");
             EXPECT_EQ(l.optimal_array_size, 200);
             EXPECT_EQ(l.stats_date, 1500);
             EXPECT_EQ(l.minimum_id, 5);
             EXPECT_EQ(l.coordref->falsex, -400);
             EXPECT_EQ(l.coordref->munits, 8);
             EXPECT_EQ(l.coordref->srid, 3);
             // CHAR(2048) comes back blank-padded: trimmed.
             EXPECT_STREQ(l.coordref->srtext, "PROJCS[\"local\"]");
         }},
        {"NULL texts read empty",
         [](LayerRow &r) {
             r.description.reset();
             r.config.reset();
             r.database.reset();
         },
         [](const LAYER &l) {
             EXPECT_STREQ(l.description, "");
             EXPECT_STREQ(l.layer_config, "");
             EXPECT_STREQ(l.database_name, "");
         }},
        {"NULL numbers read 0, a NULL minimum_id 1",
         [](LayerRow &r) {
             r.optimal_array_size.reset();
             r.stats_date.reset();
             r.minimum_id.reset();
         },
         [](const LAYER &l) {
             EXPECT_EQ(l.optimal_array_size, 0);
             EXPECT_EQ(l.stats_date, 0);
             EXPECT_EQ(l.minimum_id, 1);
         }},
        {"minimum_id 0 reads 1", [](LayerRow &r) { r.minimum_id = 0; },
         [](const LAYER &l) { EXPECT_EQ(l.minimum_id, 1); }},
        {"srtext blanks, tabs and line breaks at both ends go",
         [](LayerRow &r) { r.srtext = " \t GEOGCS[\"x\"] \n"; },
         [](const LAYER &l) { EXPECT_STREQ(l.coordref->srtext, "GEOGCS[\"x\"]"); }},
        {"a 65-character description is cut to 63",
         [](LayerRow &r) { r.description = std::string(65, 'd'); },
         [](const LAYER &l) { EXPECT_EQ(std::string(l.description), std::string(63, 'd')); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LayerRow row;
        c.change(row);
        answer_layers(by_id(7), {row});
        OwnLayer own;
        own.layer.grid_size[1] = 9; // every read sets the grid sizes to 0
        own.layer.privileges = 99;  // not read here
        LAYER *target = &own.layer;
        ASSERT_EQ(db_layer_get_info(instance_, nullptr, by_id(7).c_str(), &target, 0, 0), 0);
        EXPECT_EQ(target, &own.layer);
        EXPECT_EQ(own.layer.coordref, &own.coordref);
        EXPECT_EQ(own.coordref.srtext, own.text);
        EXPECT_EQ(own.layer.grid_size[1], 0.0);
        EXPECT_EQ(own.layer.privileges, 0u);
        c.check(own.layer);
    }
    EXPECT_EQ(Executed().size(), 12u); // SELECT and COMMIT each
}

TEST_F(LayerInfo, FetchFailuresAndWhoseRecordTheyFill)
{
    OwnLayer own;
    LAYER *target = &own.layer;
    const std::string sql = by_id(9);

    // No row: -20; no row with S0002: -25 (no access to the catalogue).
    answer_layers(sql, {});
    EXPECT_EQ(db_layer_get_info(instance_, nullptr, sql.c_str(), &target, 0, 0),
              ZE_LAYER_NOT_FOUND);
    answer_layers(sql, {}).at_fetch(1, SQL_NO_DATA, {"S0002", -206, "no table"});
    EXPECT_EQ(db_layer_get_info(instance_, nullptr, sql.c_str(), &target, 0, 0), ZE_NO_PERMISSIONS);

    // A failure at execute fills the stream's record when there is a stream.
    auto stream = std::make_unique<DB_STREAM>();
    answer_layers(sql, {}).fail(SQL_ERROR, {"S1000", -244, "could not read"});
    StderrCapture capture;
    EXPECT_EQ(db_layer_get_info(instance_, stream.get(), sql.c_str(), &target, 0, 0),
              ZE_DBMS_ERROR);
    EXPECT_EQ(stream->xerr.native_error, -244);
    EXPECT_EQ(db_global_xerr.code, 0);

    // ... and the connection's without; a refused prepare likewise.
    scli::on_sql(sql).at_prepare(SQL_ERROR, {"42000", -272, "no select permission"});
    EXPECT_EQ(db_layer_get_info(instance_, nullptr, sql.c_str(), &target, 0, 0), ZE_DBMS_ERROR);
    EXPECT_EQ(db_global_xerr.native_error, -272);

    // A record without its coordinate reference is refused before any SQL.
    LAYER bare{};
    LAYER *bare_target = &bare;
    size_t before = Executed().size();
    EXPECT_EQ(db_layer_get_info(instance_, nullptr, sql.c_str(), &bare_target, 0, 0),
              ZE_NULL_POINTER);
    EXPECT_EQ(Executed().size(), before);
}

// The privilege mask of a layer from the systabauth letters of its table.
TEST_F(LayerInfo, PrivilegeMasksFromTheAuthorisationLetters)
{
    struct Case {
        const char *owner;
        uint32_t eflags;
        std::vector<std::string> tabauth;
        int32_t rc;
        uint32_t privileges;
    };
    const uint32_t spatial = LAYER_SPATIAL;
    const Case cases[] = {
        {"bob", spatial, {}, 0, 30},                             // the owner: no query
        {"alice", spatial, {"s--------"}, 0, 2},                 // select only
        {"alice", spatial, {"SU-ID----"}, 0, 30},                // upper case: with grant option
        {"alice", spatial, {"su-i-----"}, 0, 14},                // update at 1, insert at 3
        {"alice", spatial, {"s--------", "-u--d----"}, 0, 22},   // rows OR together
        {"alice", spatial, {"-u-i-----"}, ZE_NO_PERMISSIONS, 0}, // no select
        {"alice", spatial, {}, ZE_NO_PERMISSIONS, 0},            // no row at all
        {"alice", spatial | LAYER_SELECT_ONLY, {"SUID-----"}, 0, 2}, // the clamp
        {"bob", spatial | LAYER_SELECT_ONLY, {}, 0, 2},
        {"alice", LAYER_BINARY, {"sui------"}, 0, 6}, // the side table is the user's own
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.owner) + " " + (c.tabauth.empty() ? "" : c.tabauth[0]));
        size_t before = Executed().size();
        if (strcmp(c.owner, "bob") != 0)
            answer_tabauth(c.tabauth);
        LAYER layer{};
        strcpy(layer.database_name, "gis");
        strcpy(layer.owner, c.owner);
        strcpy(layer.table_name, "Roads");
        layer.eflags = c.eflags;
        layer.privileges = 77;
        EXPECT_EQ(db_layer_info_get_privileges(instance_, nullptr, &layer), c.rc);
        if (c.rc == 0) {
            EXPECT_EQ(layer.privileges, c.privileges);
        }
        Strings expected;
        if (strcmp(c.owner, "bob") != 0)
            expected = {kAccessSql};
        Strings ran = Executed();
        EXPECT_EQ(Strings(ran.begin() + static_cast<long>(before), ran.end()), expected);
    }
    // Owner, table lower-cased and the user twice, as parameters.
    std::vector<scli::Call> executes = scli::calls_of("SQLExecute");
    ASSERT_FALSE(executes.empty());
    EXPECT_EQ(executes.back().params,
              (std::vector<std::vector<std::string>>{{"alice", "roads", "bob", "bob"}}));
}

// The kept access-info statement: prepared once, closed and executed again
// with the same bindings for each table, freed by the close.
TEST_F(LayerInfo, AccessStatementIsKeptUntilClosed)
{
    answer_tabauth({"s--------"});
    answer_tabauth({"-u-i-----"});
    answer_tabauth({});
    const int prepares = scli::call_count("SQLPrepare");
    const size_t executes = scli::calls_of("SQLExecute").size();
    const size_t frees = scli::calls_of("SQLFreeStmt").size();
    int32_t mask = -1;
    EXPECT_EQ(db_get_access_info_table(instance_, nullptr, "alice.parcels", &mask), 0);
    EXPECT_EQ(mask, 2);
    EXPECT_EQ(db_get_access_info_table(instance_, nullptr, "gis:carol.Lots", &mask), 0);
    EXPECT_EQ(mask, 12); // the mask of a table, select or not
    EXPECT_EQ(db_get_access_info_table(instance_, nullptr, "dave.t", &mask), ZE_NO_PERMISSIONS);
    EXPECT_EQ(mask, 0);
    EXPECT_EQ(db_get_access_info_table(instance_, nullptr, "own_table", &mask), 0);
    EXPECT_EQ(mask, 30);
    db_access_info_close(instance_);
    EXPECT_EQ(scli::call_count("SQLPrepare"), prepares + 1);
    std::vector<scli::Call> calls = scli::calls_of("SQLExecute");
    ASSERT_EQ(calls.size(), executes + 3);
    EXPECT_EQ(calls[executes].params[0],
              (std::vector<std::string>{"alice", "parcels", "bob", "bob"}));
    EXPECT_EQ(calls[executes + 1].params[0],
              (std::vector<std::string>{"carol", "lots", "bob", "bob"}));
    EXPECT_EQ(calls[executes + 2].params[0], (std::vector<std::string>{"dave", "t", "bob", "bob"}));
    std::vector<scli::Call> freed = scli::calls_of("SQLFreeStmt");
    ASSERT_EQ(freed.size(), frees + 4);
    EXPECT_EQ(freed[frees].detail, "option=0");     // SQL_CLOSE before each execute
    EXPECT_EQ(freed[frees + 3].detail, "option=1"); // the drop of the close

    // A failing execute frees the statement and the next read prepares anew.
    scli::on_sql(kAccessSql).fail(SQL_ERROR, {"S1000", -211, "cannot read"});
    StderrCapture capture;
    EXPECT_EQ(db_get_access_info_table(instance_, nullptr, "alice.parcels", &mask), ZE_DBMS_ERROR);
    std::string err = capture.text();
    EXPECT_NE(err.find("Error in db_get_access_info_table (alice.parcels)\n"), std::string::npos);
    EXPECT_EQ(db_global_xerr.native_error, -211);
    answer_tabauth({"s--------"});
    EXPECT_EQ(db_get_access_info_table(instance_, nullptr, "alice.parcels", &mask), 0);
    EXPECT_EQ(scli::call_count("SQLPrepare"), prepares + 3);
    db_access_info_close(instance_);

    std::string long_owner = std::string(32, 'o') + ".t";
    EXPECT_EQ(db_get_access_info_table(instance_, nullptr, long_owner.c_str(), &mask),
              ZE_INVALID_ARGUMENT);
}

TEST_F(LayerInfo, WalkReadsEveryLayerInOrderWithoutCommitting)
{
    LayerRow first, second, third;
    second.id = 8;
    second.owner = "alice";
    second.table = "Parcels"; // folded to lower case
    second.column = "SHAPE";
    third.id = 9;
    third.database.reset();
    answer_layers(kWalkSql, {first, second, third});
    answer_tabauth({"s--------"});

    OwnLayer own;
    ASSERT_EQ(DB_layer_first(instance_, &own.layer), 0);
    EXPECT_EQ(own.layer.layer_id, 7);
    EXPECT_EQ(own.layer.privileges, 30u);
    ASSERT_EQ(DB_layer_next(instance_, &own.layer), 0);
    EXPECT_EQ(own.layer.layer_id, 8);
    EXPECT_STREQ(own.layer.table_name, "parcels");
    EXPECT_STREQ(own.layer.spatial_column, "shape");
    EXPECT_EQ(own.layer.privileges, 2u);
    ASSERT_EQ(DB_layer_next(instance_, &own.layer), 0);
    EXPECT_EQ(own.layer.layer_id, 9);
    EXPECT_STREQ(own.layer.database_name, "");
    EXPECT_EQ(DB_layer_next(instance_, &own.layer), ZE_NO_MORE_ROWS);
    EXPECT_EQ(DB_layer_next(instance_, &own.layer), ZE_NO_MORE_ROWS);
    // The cursor is read to its end before anything commits.
    EXPECT_EQ(Executed(), (Strings{kWalkSql, kAccessSql}));

    // A database without layers ends at once.
    answer_layers(kWalkSql, {});
    EXPECT_EQ(DB_layer_first(instance_, &own.layer), ZE_NO_MORE_ROWS);
}

TEST_F(LayerInfo, WalkStopsAtAFailedFetch)
{
    LayerRow row;
    answer_layers(kWalkSql, {row, row}).at_fetch(2, SQL_ERROR, {"S1000", -243, "lost"});
    OwnLayer own;
    ASSERT_EQ(DB_layer_first(instance_, &own.layer), 0);
    quiet_stderr([&] { EXPECT_EQ(DB_layer_next(instance_, &own.layer), ZE_DBMS_ERROR); });
    EXPECT_EQ(db_global_xerr.native_error, -243);
    EXPECT_EQ(DB_layer_next(instance_, &own.layer), ZE_NO_MORE_ROWS);

    LAYER bare{};
    EXPECT_EQ(DB_layer_first(instance_, &bare), ZE_NULL_POINTER);
    EXPECT_EQ(DB_layer_next(instance_, nullptr), ZE_NULL_POINTER);
}

TEST_F(LayerInfo, ByNameWithoutTheCache)
{
    const std::string prefix = kSelect + " FROM zel:zel.Layers ly,zel:zel.spatial_references sr";
    const std::string with_column =
        prefix + " WHERE ly.owner = 'O''Neil' and              ly.table_name = 'roads' and "
                 "ly.spatial_column = 'shape' and              ly.srid = sr.srid";
    const std::string without = prefix + " WHERE ly.owner = 'bob' and              "
                                         "ly.table_name = 'roads' and ly.srid = sr.srid";
    LayerRow row;
    row.database.reset();
    answer_layers(with_column, {row});
    OwnLayer own;
    own.layer.grid_size[0] = 4;
    own.layer.privileges = 6;
    EXPECT_EQ(db_layer_get_info_by_name_no_cache("gis:O'Neil.ROADS", "SHAPE", "bob", &own.layer),
              0);
    EXPECT_EQ(own.layer.layer_id, 7);
    EXPECT_STREQ(own.layer.database_name, "");
    EXPECT_EQ(own.layer.grid_size[0], 4); // left as the caller had them
    EXPECT_EQ(own.layer.privileges, 6u);
    EXPECT_STREQ(own.coordref.srtext, "PROJCS[\"local\"]");

    answer_layers(without, {});
    EXPECT_EQ(db_layer_get_info_by_name_no_cache("Roads", nullptr, "bob", &own.layer),
              ZE_LAYER_NOT_FOUND);
    answer_layers(without, {}).at_fetch(1, SQL_NO_DATA, {"S0002", -206, "no table"});
    StderrCapture capture;
    EXPECT_EQ(db_layer_get_info_by_name_no_cache("Roads", nullptr, "bob", &own.layer),
              ZE_NO_PERMISSIONS);
    answer_layers(without, {}).fail(SQL_ERROR, {"S1000", -201, "syntax"});
    EXPECT_EQ(db_layer_get_info_by_name_no_cache("Roads", nullptr, "bob", &own.layer),
              ZE_DBMS_ERROR);
    std::string err = capture.text();
    EXPECT_NE(err.find("S_get_layer_info_no_cache() Execute/Fetch error"), std::string::npos);
    EXPECT_NE(err.find("S_get_layer_info_by_name_no_cache Execute/Fetch error"), std::string::npos);
    EXPECT_EQ(db_global_xerr.native_error, -201);
    EXPECT_EQ(Executed(),
              (Strings{with_column, "COMMIT", without, "COMMIT", without, "COMMIT", without}));

    // Names beyond their fields are refused before any SQL.
    std::string long_column(32, 'c');
    EXPECT_EQ(db_layer_get_info_by_name_no_cache("roads", long_column.c_str(), "bob", &own.layer),
              ZE_INVALID_ARGUMENT);
    std::string long_table(160, 't');
    EXPECT_EQ(db_layer_get_info_by_name_no_cache(long_table.c_str(), nullptr, "bob", &own.layer),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(Executed().size(), 7u);
}

TEST(LayerCopy, KeepsTheDestinationsCoordinateReference)
{
    OwnLayer from, to;
    from.layer.layer_id = 12;
    strcpy(from.layer.table_name, "lots");
    from.coordref.xyunits = 500;
    from.coordref.xy_rounding = 0.002;
    from.coordref.srid = 6;
    strcpy(from.text, "GEOGCS");
    db_layer_copy(&to.layer, &from.layer);
    EXPECT_EQ(to.layer.layer_id, 12);
    EXPECT_STREQ(to.layer.table_name, "lots");
    EXPECT_EQ(to.layer.coordref, &to.coordref);
    EXPECT_EQ(to.coordref.srtext, to.text);
    EXPECT_STREQ(to.text, "GEOGCS");
    EXPECT_EQ(to.coordref.xyunits, 500);
    EXPECT_EQ(to.coordref.xy_rounding, 0.002);
    EXPECT_EQ(to.coordref.srid, 6);

    // A destination without a reference gets the values only.
    LAYER bare{};
    db_layer_copy(&bare, &from.layer);
    EXPECT_EQ(bare.layer_id, 12);
    EXPECT_EQ(bare.coordref, nullptr);
}

} // namespace
