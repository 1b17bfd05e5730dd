// Tests the tables of a raster column: the exact DDL of the four tables, the
// index and the grants copied from the user table, the undo of a creation
// that fails half-way, drops and truncations that go on past tables that are
// gone, the trigger procedure and triggers, the user table's check and
// alteration (plain and multiversioned), the raster column emptied, grants
// and revokes on all five tables, and views of another raster column.
#include "db/catalog/db_rastercolumn_tables.h"

#include <gtest/gtest.h>

#include <sqlext.h>

#include <string>
#include <vector>

#include "base/util/ve_layer.h"
#include "base/util/zel_errors.h"
#include "db/core/db_xerr.h"
#include "db/core/db_xerr_internal.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/catalog/raster_fixture.h"
#include "tests/db/core/dbtune_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;

using raster_test::by_id_sql;
using raster_test::raster_columns;

// The catalogue row of raster column id: table gis:bob.parcels, column image,
// owned by the connection's user (no privilege query).
scli::Row raster_row(int32_t id, int32_t mask, const char *keyword)
{
    return {scli::i32(id),
            scli::null(),
            scli::varchar("gis"),
            scli::varchar("bob"),
            scli::varchar("parcels"),
            scli::varchar("image"),
            scli::i32(1700000000),
            scli::varchar(keyword),
            scli::i32(1),
            scli::i32(0),
            scli::i32(mask),
            scli::null(),
            scli::null(),
            scli::null(),
            scli::null(),
            scli::null(),
            scli::null(),
            scli::null(),
            scli::null(),
            scli::i32(0)};
}

// Answers every look-up by id with the row of the id asked for.
void answer_raster_columns(int32_t mask = 0, const char *keyword = "RASTERS")
{
    scli::on_sql(by_id_sql())
        .columns(raster_columns())
        .repeat()
        .hook([mask, keyword](scli::Exec &e) {
            e.rows = {raster_row(static_cast<int32_t>(e.params[0][0].i), mask, keyword)};
        });
}

RASTERCOLUMN record(int32_t id = 4, uint32_t mask = 0)
{
    RASTERCOLUMN r{};
    r.rastercolumn_id = id;
    snprintf(r.database_name, sizeof(r.database_name), "gis");
    snprintf(r.owner, sizeof(r.owner), "bob");
    snprintf(r.table_name, sizeof(r.table_name), "parcels");
    snprintf(r.raster_column, sizeof(r.raster_column), "image");
    r.rastercolumn_mask = mask;
    return r;
}

REGISTRATION versioned_registration()
{
    REGISTRATION r{};
    r.registration_id = 9;
    snprintf(r.database_name, sizeof(r.database_name), "gis");
    snprintf(r.owner, sizeof(r.owner), "bob");
    snprintf(r.table_name, sizeof(r.table_name), "parcels");
    r.object_flags = REG_MULTIVERSION;
    return r;
}

const std::string kRas = "gis:bob.ZEL_RAS_4", kBnd = "gis:bob.ZEL_BND_4",
                  kAux = "gis:bob.ZEL_AUX_4", kBlk = "gis:bob.ZEL_BLK_4";

const std::string kCreateRas =
    "CREATE TABLE gis:bob.ZEL_RAS_4  (raster_id     INTEGER      NOT NULL,   raster_flags  INTEGER "
    "             ,   description   VARCHAR(65)          ,   UNIQUE (raster_id) CONSTRAINT "
    "ZEL_RAS_4_uk) ";
const std::string kCreateBnd =
    "CREATE TABLE gis:bob.ZEL_BND_4  (rasterband_id  INTEGER          NOT NULL,   sequence_nbr   "
    "INTEGER          NOT NULL,   raster_id      INTEGER          NOT NULL,   name           "
    "VARCHAR(65)              ,   band_flags     INTEGER          NOT NULL,   band_width     "
    "INTEGER          NOT NULL,   band_height    INTEGER          NOT NULL,   band_types     "
    "INTEGER          NOT NULL,   block_width    INTEGER          NOT NULL,   block_height   "
    "INTEGER          NOT NULL,   block_origin_x DOUBLE PRECISION NOT NULL,   block_origin_y "
    "DOUBLE "
    "PRECISION NOT NULL,   eminx          DOUBLE PRECISION NOT NULL,   eminy          DOUBLE "
    "PRECISION NOT NULL,   emaxx          DOUBLE PRECISION NOT NULL,   emaxy          DOUBLE "
    "PRECISION NOT NULL,   cdate          INTEGER          NOT NULL,   mdate          INTEGER      "
    "    NOT NULL,   UNIQUE (rasterband_id) CONSTRAINT ZEL_BND_4_uk1,   UNIQUE (raster_id, "
    "sequence_nbr) CONSTRAINT ZEL_BND_4_uk2) ";
const std::string kCreateAux =
    "CREATE TABLE gis:bob.ZEL_AUX_4  (rasterband_id   INTEGER   NOT NULL,   type            "
    "INTEGER "
    "  NOT NULL,   object          BYTE      NOT NULL,   UNIQUE (rasterband_id, type) CONSTRAINT "
    "ZEL_AUX_4_uk) ";
const std::string kCreateBlk =
    "CREATE TABLE gis:bob.ZEL_BLK_4  (rasterband_id   INTEGER   NOT NULL,   rrd_factor      "
    "INTEGER "
    "  NOT NULL,   row_nbr         INTEGER   NOT NULL,   col_nbr         INTEGER   NOT NULL,   "
    "block_data      BYTE      NOT NULL) ";
const std::string kCreateIndex =
    "CREATE UNIQUE INDEX ZEL_BLK_4_UK ON gis:bob.ZEL_BLK_4 (rasterband_id, rrd_factor, row_nbr, "
    "col_nbr) ";

const std::string kGrantsOfParcels =
    "SELECT DISTINCT auth.grantee, auth.tabauth FROM systabauth auth, systables tab WHERE "
    "tab.tabname = 'parcels' AND tab.owner = 'bob' AND auth.tabid = tab.tabid ORDER BY grantee";

const std::string kProcedure =
    "CREATE PROCEDURE RASTER_LAYER_sp_4 (new_id INT, old_id INT, operation CHAR(10))\n  DEFINE id "
    "INT;\n\n  IF operation = 'INSERT' AND new_id IS NOT NULL OR\n  operation = 'UPDATE' AND "
    "new_id "
    "IS NOT NULL AND old_id IS NULL THEN\n\n    SELECT RASTER_ID into id FROM gis:bob.ZEL_RAS_4 "
    "WHERE RASTER_ID = new_id;\n\n    IF id IS NULL THEN\n      RAISE EXCEPTION -746, 0, 'Invalid "
    "raster ID';\n    END IF\n\n  ELIF operation = 'DELETE' OR operation = 'UPDATE' AND \n       "
    "new_id IS NULL AND old_id IS NOT NULL THEN\n\n    UPDATE gis:bob.ZEL_RAS_4 SET RASTER_FLAGS = "
    "RASTER_ID\n    WHERE RASTER_ID = old_id;\n\n  ELIF operation = 'UPDATE' AND new_id IS NOT "
    "NULL "
    "AND \n       old_id IS NOT NULL AND new_id != old_id THEN\n\n    RAISE EXCEPTION -746, 0, "
    "'Invalid raster ID';\n\n  END IF\n\nEND PROCEDURE;";

// The trigger's statements, drops first, each committed.
Strings trigger_sql()
{
    return {"DROP PROCEDURE RASTER_LAYER_sp_4;",
            "COMMIT",
            "DROP TRIGGER RASTER_LAYER_ins_4;",
            "COMMIT",
            "DROP TRIGGER RASTER_LAYER_del_4;",
            "COMMIT",
            "DROP TRIGGER RASTER_LAYER_upd_4;\n",
            "COMMIT",
            kProcedure,
            "COMMIT",
            "CREATE TRIGGER RASTER_LAYER_upd_4 \nUPDATE OF image ON parcels REFERENCING OLD AS pre "
            "NEW AS post \nFOR EACH ROW (EXECUTE PROCEDURE RASTER_LAYER_sp_4 (post.image, "
            "pre.image, 'UPDATE'));",
            "COMMIT",
            "CREATE TRIGGER RASTER_LAYER_ins_4 \nINSERT ON parcels REFERENCING NEW AS post \nFOR "
            "EACH ROW (EXECUTE PROCEDURE RASTER_LAYER_sp_4 (post.image, NULL, 'INSERT'));",
            "COMMIT",
            "CREATE TRIGGER RASTER_LAYER_del_4 \nDELETE ON parcels REFERENCING OLD AS pre \nFOR "
            "EACH ROW (EXECUTE PROCEDURE RASTER_LAYER_sp_4 (NULL, pre.image, 'DELETE'));",
            "COMMIT"};
}

const scli::Diag kNotFound{"S0002", -206, "table not found"};
const scli::Diag kBroken{"HY000", -999, "broken"};

Strings append(Strings a, const Strings &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

class RasterTables : public DbtuneTest
{
  protected:
    // Executed SQL without the DBTUNE store's reads.
    Strings Statements() const
    {
        Strings out;
        for (const std::string &s : Executed())
            if (s.find("dbtune") == std::string::npos && s.find("DBTUNE") == std::string::npos)
                out.push_back(s);
        return out;
    }
    void answer_grantees()
    {
        scli::on_sql(kGrantsOfParcels)
            .columns({{"grantee", SQL_CHAR, 32}, {"tabauth", SQL_CHAR, 9}})
            .rows({{scli::chr("alice", 32), scli::chr("Su-i-----", 9)},
                   {scli::chr("alice", 32), scli::chr("s--------", 9)},
                   {scli::chr("public", 32), scli::chr("s--------", 9)}})
            .repeat();
    }
    // The grants copied onto one table for the grantees above.
    static Strings grants_on(const std::string &table)
    {
        return {kGrantsOfParcels,
                "COMMIT",
                "GRANT  SELECT ON " + table + " TO alice WITH GRANT OPTION",
                "COMMIT",
                "GRANT  UPDATE, INSERT ON " + table + " TO alice",
                "COMMIT",
                "GRANT  SELECT ON " + table + " TO public",
                "COMMIT"};
    }
};

TEST_F(RasterTables, CreateTablesRunsTheExactDdlWithTheKeywordsClauses)
{
    add_row("RASTERS", "RAS_STORAGE", "IN ras_dbs");
    add_row("RASTERS", "BLK_STORAGE", "IN blk_dbs EXTENT SIZE 64");
    add_row("DEFAULTS", "AUX_STORAGE", "IN aux_dbs");
    add_row("RASTERS", "BLK_INDEX_COMPOSITE", "IN idx_dbs");
    answer_raster_columns();
    answer_grantees();
    ASSERT_EQ(DB_rastercolumn_create_tables(nullptr, 4, "gis:bob.parcels"), ZE_SUCCESS);
    Strings expected = {by_id_sql(), kCreateRas + "IN ras_dbs",
                        "COMMIT",    kCreateBnd,
                        "COMMIT",    kCreateAux + "IN aux_dbs",
                        "COMMIT",    kCreateBlk + "IN blk_dbs EXTENT SIZE 64",
                        "COMMIT",    kCreateIndex + "IN idx_dbs",
                        "COMMIT"};
    for (const std::string &t : {kRas, kBnd, kBlk, kAux})
        expected = append(expected, grants_on(t));
    EXPECT_EQ(Statements(), expected);
}

TEST_F(RasterTables, NoBlockIndexWithTheMaskBitAndNoClausesWithoutRows)
{
    add_row("RASTERS", "RAS_INDEX_ID", "unused");
    answer_raster_columns(RASTERCOLUMN_NO_BLOCK_INDEX);
    scli::on_sql(kGrantsOfParcels)
        .columns({{"grantee", SQL_CHAR, 32}, {"tabauth", SQL_CHAR, 9}})
        .repeat();
    ASSERT_EQ(DB_rastercolumn_create_tables(nullptr, 4, "parcels"), ZE_SUCCESS);
    const Strings expected = {
        by_id_sql(), kCreateRas,       "COMMIT", kCreateBnd,       "COMMIT", kCreateAux,
        "COMMIT",    kCreateBlk,       "COMMIT", kGrantsOfParcels, "COMMIT", kGrantsOfParcels,
        "COMMIT",    kGrantsOfParcels, "COMMIT", kGrantsOfParcels, "COMMIT"};
    EXPECT_EQ(Statements(), expected);
}

TEST_F(RasterTables, FailedCreationDropsWhatWasMadeAndKeepsTheError)
{
    const struct {
        const char *what;
        std::string failing;
        Strings drops;
    } cases[] = {
        {"raster table", kCreateRas, {}},
        {"band table", kCreateBnd, {"DROP TABLE " + kRas, "COMMIT"}},
        {"block table",
         kCreateBlk,
         {"DROP TABLE " + kRas, "COMMIT", "DROP TABLE " + kBnd, "COMMIT", "DROP TABLE " + kAux,
          "COMMIT"}},
        {"unique index",
         kCreateIndex,
         {"DROP TABLE " + kRas, "COMMIT", "DROP TABLE " + kBnd, "COMMIT", "DROP TABLE " + kAux,
          "COMMIT", "DROP TABLE " + kBlk, "COMMIT"}},
        {"grants",
         kGrantsOfParcels,
         {"DROP TABLE " + kRas, "COMMIT", "DROP TABLE " + kBnd, "COMMIT", "DROP TABLE " + kAux,
          "COMMIT", "DROP TABLE " + kBlk, "COMMIT"}},
    };
    add_row("RASTERS", "RAS_INDEX_ID", "unused");
    answer_raster_columns();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        MarkNow();
        scli::on_sql(c.failing).fail(SQL_ERROR, kBroken);
        int32_t rc = 0;
        quiet_stderr([&] { rc = DB_rastercolumn_create_tables(nullptr, 4, "parcels"); });
        EXPECT_EQ(rc, ZE_DBMS_ERROR);
        // The failing step's diagnostic survives the drops.
        DB_EXT_ERROR xerr;
        DB_instance_get_xerr(&xerr);
        EXPECT_EQ(xerr.native_error, -999);
        Strings executed = Statements();
        const auto at = std::find(executed.begin(), executed.end(), c.failing);
        ASSERT_NE(at, executed.end());
        EXPECT_EQ(Strings(at + 1, executed.end()), c.drops);
    }
}

TEST_F(RasterTables, DropAndTruncateGoOnPastTablesThatAreGone)
{
    answer_raster_columns();
    scli::on_sql("DROP TABLE " + kBnd).fail(SQL_ERROR, kNotFound);
    scli::on_sql("DROP TABLE " + kAux).fail(SQL_ERROR, kBroken);
    scli::on_sql("DROP TABLE " + kBlk).fail(SQL_ERROR, {"HY000", -998, "also broken"});
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_rastercolumn_drop_tables(nullptr, 4); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    EXPECT_EQ(Statements(),
              (Strings{by_id_sql(), "DROP TABLE " + kRas, "COMMIT", "DROP TABLE " + kBnd,
                       "DROP TABLE " + kAux, "DROP TABLE " + kBlk}));

    MarkNow();
    scli::on_sql("DROP TABLE " + kRas).fail(SQL_ERROR, kNotFound);
    EXPECT_EQ(DB_rastercolumn_drop_tables(nullptr, 4), ZE_SUCCESS);
}

TEST_F(RasterTables, UnknownRasterColumnDropsNothing)
{
    scli::on_sql(by_id_sql()).columns(raster_columns());
    EXPECT_EQ(DB_rastercolumn_drop_tables(nullptr, 5), ZE_RASTERCOLUMN_NOT_FOUND);
    EXPECT_EQ(Executed(), Strings{by_id_sql()});
}

TEST_F(RasterTables, UserTriggerIsDroppedThenMadeAgain)
{
    RASTERCOLUMN r = record();
    ASSERT_EQ(DB_rastercolumn_create_user_trigger(nullptr, &r), ZE_SUCCESS);
    EXPECT_EQ(Executed(), trigger_sql());
    // A drop that fails (nothing to drop) does not stop the creation.
    scli::on_sql("DROP PROCEDURE RASTER_LAYER_sp_4;").fail(SQL_ERROR, {"IX000", -674, "none"});
    MarkNow();
    ASSERT_EQ(DB_rastercolumn_create_user_trigger(nullptr, &r), ZE_SUCCESS);
    Strings expected = trigger_sql();
    expected.erase(expected.begin() + 1);
    EXPECT_EQ(Executed(), expected);

    // The first failing creation stops it.
    MarkNow();
    scli::on_sql(kProcedure).fail(SQL_ERROR, kBroken);
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_rastercolumn_create_user_trigger(nullptr, &r); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    EXPECT_EQ(Executed().back(), kProcedure);

    // A column that is not an identifier writes nothing.
    MarkNow();
    snprintf(r.raster_column, sizeof(r.raster_column), "image; DROP TABLE x");
    EXPECT_EQ(DB_rastercolumn_create_user_trigger(nullptr, &r), ZE_INVALID_IDENTIFIER);
    EXPECT_TRUE(Executed().empty());
}

TEST_F(RasterTables, DropUserTriggerDropsTheProcedureOnlyAfterTheTriggers)
{
    const std::string triggers = "DROP TRIGGER RASTER_LAYER_ins_4;DROP TRIGGER "
                                 "RASTER_LAYER_del_4;DROP TRIGGER RASTER_LAYER_upd_4;";
    ASSERT_EQ(DB_rastercolumn_drop_user_trigger(nullptr, 4), ZE_SUCCESS);
    EXPECT_EQ(Executed(),
              (Strings{triggers, "COMMIT", "DROP PROCEDURE RASTER_LAYER_sp_4;", "COMMIT"}));
    MarkNow();
    scli::on_sql(triggers).fail(SQL_ERROR, kBroken);
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_rastercolumn_drop_user_trigger(nullptr, 4); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    EXPECT_EQ(Executed(), Strings{triggers});
}

TEST_F(RasterTables, VerifyTableChecksOwnerNameTypeAndNulls)
{
    const struct {
        const char *what;
        const char *owner;
        const char *column;
        int prepare; // 0 ok, 1 no such column, 2 no such table
        SQLSMALLINT type;
        SQLSMALLINT nullable;
        int32_t expected;
    } cases[] = {
        {"another owner", "carol", "image", 0, SQL_INTEGER, SQL_NULLABLE, ZE_NOT_TABLE_OWNER},
        {"column named as the table", "bob", "parcels2", 0, SQL_INTEGER, SQL_NULLABLE,
         ZE_INVALID_RASTER_COLUMN},
        {"column to be added", "", "image", 1, SQL_INTEGER, SQL_NULLABLE, ZE_SUCCESS},
        {"table missing", "bob", "image", 2, SQL_INTEGER, SQL_NULLABLE, ZE_TABLE_NOT_FOUND},
        {"not an integer", "bob", "image", 0, SQL_VARCHAR, SQL_NULLABLE, ZE_WRONG_COLUMN_TYPE},
        {"not nullable", "bob", "image", 0, SQL_INTEGER, SQL_NO_NULLS, ZE_COLUMN_NOT_NULLABLE},
        {"nullable integer", "", "image", 0, SQL_INTEGER, SQL_NULLABLE, ZE_SUCCESS},
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string table = "parcels" + std::to_string(++n);
        const std::string select = std::string("SELECT ") + c.column + " FROM gis:bob." + table;
        if (c.prepare == 1)
            scli::on_sql(select).at_prepare(SQL_ERROR, {"S0022", -217, "no column"});
        else if (c.prepare == 2)
            scli::on_sql(select).at_prepare(SQL_ERROR, kNotFound);
        else
            scli::on_sql(select).columns({{"image", c.type, 10}});
        scli::add_table("bob", table, {{"image", c.type, 10, 0, c.nullable}});
        RASTERCOLUMN r = record();
        snprintf(r.table_name, sizeof(r.table_name), "%s", table.c_str());
        snprintf(r.owner, sizeof(r.owner), "%s", c.owner);
        snprintf(r.raster_column, sizeof(r.raster_column), "%s", c.column);
        int32_t rc = 0;
        quiet_stderr([&] { rc = DB_rastercolumn_verify_table(nullptr, &r); });
        EXPECT_EQ(rc, c.expected);
        if (c.owner[0] == '\0') {
            EXPECT_STREQ(r.owner, "bob");
        }
    }
}

TEST_F(RasterTables, AlterPlainTableAddsTheColumnAndTheTrigger)
{
    const std::string count = "SELECT COUNT(*) FROM gis:bob.parcels WHERE image IS NOT NULL";
    const std::string alter = "ALTER TABLE gis:bob.parcels ADD (image INTEGER DEFAULT NULL)";
    scli::on_sql(count).columns({{"count", SQL_INTEGER}}).row({scli::i32(0)});
    RASTERCOLUMN r = record();
    ASSERT_EQ(DB_rastercolumn_alter_user_table(nullptr, &r, nullptr), ZE_SUCCESS);
    EXPECT_EQ(Executed(), append({count, alter, "COMMIT"}, [] {
                  Strings t = trigger_sql();
                  return t;
              }()));

    // A column that exists already (S0021) counts as added.
    MarkNow();
    scli::on_sql(count).columns({{"count", SQL_INTEGER}}).row({scli::i32(0)});
    scli::on_sql(alter).fail(SQL_ERROR, {"S0021", -328, "column exists"});
    EXPECT_EQ(DB_rastercolumn_alter_user_table(nullptr, &r, nullptr), ZE_SUCCESS);

    // A missing table is reported as no permission.
    MarkNow();
    scli::on_sql(count).at_prepare(SQL_ERROR, {"S0022", -217, "no column"});
    scli::on_sql(alter).fail(SQL_ERROR, kNotFound);
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_rastercolumn_alter_user_table(nullptr, &r, nullptr); });
    EXPECT_EQ(rc, ZE_NO_PERMISSIONS);
    EXPECT_EQ(Executed(), Strings{alter});
}

TEST_F(RasterTables, AlterRefusesAColumnThatHoldsAValue)
{
    const std::string count = "SELECT COUNT(*) FROM gis:bob.parcels WHERE image IS NOT NULL";
    scli::on_sql(count).columns({{"count", SQL_INTEGER}}).row({scli::i32(1)});
    RASTERCOLUMN r = record();
    setenv("ZELVERBOSE", "1", 1);
    StderrCapture err;
    int32_t rc = DB_rastercolumn_alter_user_table(nullptr, &r, nullptr);
    const std::string printed = err.text();
    EXPECT_EQ(rc, ZE_INVALID_RASTER_COLUMN);
    EXPECT_NE(printed.find("DB_rastercolumn_alter_user_table() Invalid raster column "
                           "(gis:bob.parcels.image).\nColumn must be NULL before spatially "
                           "enabling it.\n"),
              std::string::npos);
    EXPECT_EQ(Executed(), Strings{count});
}

TEST_F(RasterTables, AlterVersionedTableAddsTheColumnToTheAddsTableWithoutTrigger)
{
    const std::string count =
        "SELECT COUNT(*) FROM gis:'bob'.A9 WHERE image IS NOT NULL UNION SELECT COUNT(*) FROM "
        "gis:bob.parcels WHERE image IS NOT NULL";
    scli::on_sql(count).columns({{"count", SQL_INTEGER}}).rows({{scli::i32(0)}});
    RASTERCOLUMN r = record();
    const REGISTRATION reg = versioned_registration();
    ASSERT_EQ(DB_rastercolumn_alter_user_table(nullptr, &r, &reg), ZE_SUCCESS);
    EXPECT_EQ(
        Executed(),
        (Strings{count, "ALTER TABLE gis:bob.parcels ADD (image INTEGER DEFAULT NULL)", "COMMIT",
                 "ALTER TABLE gis:'bob'.A9 ADD (image INTEGER DEFAULT NULL)", "COMMIT"}));

    // A value in the adds table refuses it too.
    MarkNow();
    scli::on_sql(count).columns({{"count", SQL_INTEGER}}).rows({{scli::i32(0)}, {scli::i32(2)}});
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_rastercolumn_alter_user_table(nullptr, &r, &reg); });
    EXPECT_EQ(rc, ZE_INVALID_RASTER_COLUMN);
}

TEST_F(RasterTables, TruncateEmptiesTablesAndColumnAroundTheTrigger)
{
    const Strings deletes = {"DELETE FROM " + kRas + " \n", "DELETE FROM " + kBnd + " \n",
                             "DELETE FROM " + kAux + " \n", "DELETE FROM " + kBlk + " \n"};
    const Strings drop = {"DROP TRIGGER RASTER_LAYER_ins_4;DROP TRIGGER RASTER_LAYER_del_4;DROP "
                          "TRIGGER RASTER_LAYER_upd_4;",
                          "COMMIT", "DROP PROCEDURE RASTER_LAYER_sp_4;", "COMMIT"};
    const std::string set_null = "UPDATE gis:bob.parcels SET image = NULL";
    const std::string adds_null = "UPDATE gis:'bob'.A9 SET image = NULL";
    const REGISTRATION reg = versioned_registration();
    const struct {
        const char *what;
        uint32_t mask;
        const REGISTRATION *registration;
        Strings expected;
    } cases[] = {
        {"plain", 0, nullptr,
         append(append(append(deletes, drop), {set_null, "COMMIT"}),
                append(trigger_sql(), {"COMMIT"}))},
        {"no block index: the trigger stays dropped", RASTERCOLUMN_NO_BLOCK_INDEX, nullptr,
         append(append(deletes, drop), {set_null, "COMMIT", "COMMIT"})},
        {"versioned", 0, &reg,
         append(deletes, {set_null, "COMMIT", adds_null, "COMMIT", "COMMIT"})},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        MarkNow();
        RASTERCOLUMN r = record(4, c.mask);
        ASSERT_EQ(DB_rastercolumn_truncate_tables(nullptr, &r, c.registration), ZE_SUCCESS);
        EXPECT_EQ(Executed(), c.expected);
    }
}

TEST_F(RasterTables, SetNullFailuresAreReported)
{
    RASTERCOLUMN r = record();
    const REGISTRATION reg = versioned_registration();
    scli::on_sql("UPDATE gis:bob.parcels SET image = NULL").fail(SQL_ERROR, kNotFound);
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_rastercolumn_set_null(nullptr, &r, &reg); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.code, ZE_TABLE_NOT_FOUND);

    scli::on_sql("UPDATE gis:'bob'.A9 SET image = NULL").fail(SQL_ERROR, kNotFound);
    quiet_stderr([&] { rc = DB_rastercolumn_set_null(nullptr, &r, &reg); });
    EXPECT_EQ(rc, ZE_TABLE_NOT_FOUND);
}

TEST_F(RasterTables, GrantsAndRevokesCoverTheUserTableAndTheFourTables)
{
    RASTERCOLUMN r = record();
    ASSERT_EQ(DB_rastercolumn_grant_access(nullptr, &r, VE_PRIV_UPDATE, "alice", 1), ZE_SUCCESS);
    Strings expected = {"GRANT UPDATE, SELECT   ON gis:bob.parcels TO alice WITH GRANT OPTION",
                        "COMMIT"};
    for (const std::string &t : {kRas, kAux, kBnd, kBlk})
        expected = append(expected, {"GRANT UPDATE, INSERT, DELETE, SELECT   ON " + t +
                                         " TO alice WITH GRANT OPTION",
                                     "COMMIT"});
    EXPECT_EQ(Executed(), expected);

    // Insert implies select on every table as well.
    MarkNow();
    ASSERT_EQ(DB_rastercolumn_grant_access(nullptr, &r, VE_PRIV_INSERT, "alice", 0), ZE_SUCCESS);
    expected = {"GRANT INSERT, SELECT   ON gis:bob.parcels TO alice", "COMMIT"};
    for (const std::string &t : {kRas, kAux, kBnd, kBlk})
        expected = append(expected, {"GRANT INSERT, SELECT   ON " + t + " TO alice", "COMMIT"});
    EXPECT_EQ(Executed(), expected);

    MarkNow();
    ASSERT_EQ(DB_rastercolumn_grant_access(nullptr, &r, VE_PRIV_SELECT, "alice", 0), ZE_SUCCESS);
    expected = {"GRANT SELECT   ON gis:bob.parcels TO alice", "COMMIT"};
    for (const std::string &t : {kRas, kAux, kBnd, kBlk})
        expected = append(expected, {"GRANT SELECT   ON " + t + " TO alice", "COMMIT"});
    EXPECT_EQ(Executed(), expected);

    // Revoking update reads the grantee's privileges first; the first
    // failure stops the revokes.
    MarkNow();
    scli::on_sql("REVOKE INSERT   ON " + kRas + " FROM alice").fail(SQL_ERROR, kBroken);
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_rastercolumn_revoke_access(nullptr, &r, VE_PRIV_INSERT, "alice"); });
    EXPECT_NE(rc, ZE_SUCCESS);
    EXPECT_EQ(Executed(), (Strings{"REVOKE INSERT   ON gis:bob.parcels FROM alice", "COMMIT",
                                   "REVOKE INSERT   ON " + kRas + " FROM alice"}));

    MarkNow();
    const std::string held =
        "SELECT tabauth from gis:informix.systabauth au, gis:informix.systables tab         WHERE "
        "au.tabid = tab.tabid and au.grantee = 'alice' AND tab.owner = 'bob' AND         "
        "tab.tabname = 'parcels'";
    scli::on_sql(held).columns({{"tabauth", SQL_CHAR, 9}}).row({scli::chr("su-------", 9)});
    ASSERT_EQ(DB_rastercolumn_revoke_access(nullptr, &r, VE_PRIV_UPDATE, "alice"), ZE_SUCCESS);
    const Strings executed = Executed();
    ASSERT_EQ(executed.size(), 11u);
    EXPECT_EQ(executed[0], held);
    EXPECT_EQ(executed[executed.size() - 10], "REVOKE UPDATE   ON gis:bob.parcels FROM alice");
    EXPECT_EQ(executed.back(), "COMMIT");
    EXPECT_EQ(executed[executed.size() - 2],
              "REVOKE UPDATE, INSERT, DELETE   ON " + kBlk + " FROM alice");
}

TEST_F(RasterTables, ZelPrivilegesCountARefusalAsDone)
{
    RASTERCOLUMN r = record();
    ASSERT_EQ(DB_rastercolumn_grant_zel_privileges(nullptr, &r, 1), ZE_SUCCESS);
    scli::on_sql("REVOKE SELECT ON gis:bob.parcels FROM zel")
        .fail(SQL_ERROR, {"42000", -273, "no permission"});
    EXPECT_EQ(DB_rastercolumn_grant_zel_privileges(nullptr, &r, 0), ZE_SUCCESS);
    scli::on_sql("GRANT SELECT ON gis:bob.parcels TO zel").fail(SQL_ERROR, kBroken);
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_rastercolumn_grant_zel_privileges(nullptr, &r, 1); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    EXPECT_EQ(Executed(), (Strings{"GRANT SELECT ON gis:bob.parcels TO zel", "COMMIT",
                                   "REVOKE SELECT ON gis:bob.parcels FROM zel",
                                   "GRANT SELECT ON gis:bob.parcels TO zel"}));
    EXPECT_EQ(DB_rastercolumn_set_load_mode(nullptr, 4, 1), 0);
}

TEST_F(RasterTables, ViewsOfAnotherRasterColumnAndTheirUndo)
{
    answer_raster_columns();
    answer_grantees();
    ASSERT_EQ(DB_rastercolumn_create_views(nullptr, 7, "parcels", 4), ZE_SUCCESS);
    Strings expected(6, by_id_sql());
    for (const char *kind : {"RAS", "BND", "BLK"})
        expected = append(expected, {std::string("CREATE VIEW gis:bob.ZEL_") + kind +
                                         "_7 as select * from gis:bob.ZEL_" + kind + "_4",
                                     "COMMIT"});
    for (const char *kind : {"RAS", "BND", "BLK"})
        expected = append(expected, grants_on(std::string("gis:bob.ZEL_") + kind + "_7"));
    EXPECT_EQ(Executed(), expected);

    // The block view fails: the two made are dropped.
    MarkNow();
    scli::on_sql("CREATE VIEW gis:bob.ZEL_BLK_7 as select * from gis:bob.ZEL_BLK_4")
        .fail(SQL_ERROR, kBroken);
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_rastercolumn_create_views(nullptr, 7, "parcels", 4); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    const Strings executed = Executed();
    EXPECT_EQ(Strings(executed.end() - 4, executed.end()),
              (Strings{"DROP VIEW gis:bob.ZEL_RAS_7", "COMMIT", "DROP VIEW gis:bob.ZEL_BND_7",
                       "COMMIT"}));

    // Dropping passes over a view that is gone.
    MarkNow();
    scli::on_sql("DROP VIEW gis:bob.ZEL_BND_7").fail(SQL_ERROR, kNotFound);
    EXPECT_EQ(DB_rastercolumn_drop_views(nullptr, 7), ZE_SUCCESS);
    // A failure is kept though a later drop succeeds.
    scli::on_sql("DROP VIEW gis:bob.ZEL_RAS_7").fail(SQL_ERROR, kBroken);
    quiet_stderr([&] { rc = DB_rastercolumn_drop_views(nullptr, 7); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
}
