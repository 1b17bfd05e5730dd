// Tests the single-row edits of a registered table (one deletion, one adds
// row; neither committed), the modified flag through the catalogue
// function and its codes, and the user indexes of a versioned table with
// their twins on the adds table: made, dropped, refused (unique, not the
// owner) before anything runs, and the table's index undone when its twin
// fails.
#include "db/version/db_registered_edit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_diag.h"
#include "tests/db/version/mv_fixture.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/scli_dbtune_store.h"

namespace
{

using Strings = std::vector<std::string>;

const std::string kFlag = "EXECUTE FUNCTION zel:zel.flag_mvtable_modified(?,?)";

class EditTest : public MvTest
{
  protected:
    void SetUp() override
    {
        MvTest::SetUp();
        r_ = roads();
        r_.object_flags = REG_MULTIVERSION;
        mark();
    }
    REGISTRATION r_;
};

} // namespace

TEST_F(EditTest, SingleRowEditsStayInTheOpenTransaction)
{
    EXPECT_EQ(DB_registered_table_insert_delete_row(instance_, &r_, 12, 3, 9), 0);
    EXPECT_EQ(DB_registered_table_delete_adds_row(instance_, &r_, 0, 12, 9), 0);
    const Strings sql = {
        "INSERT INTO gis:'bob'.d7 (ZEL_STATE_ID,ZEL_DELETES_ROW_ID,DELETED_AT) VALUES (3,12,9)",
        "DELETE FROM gis:'bob'.A7 WHERE objectid = 12 AND ZEL_STATE_ID = 9"};
    EXPECT_EQ(executed(), sql);
    // Failures come back recorded.
    mark();
    scli::on_sql(sql[0]).fail(SQL_ERROR, {"23000", -268, "unique"});
    EXPECT_NE(quiet_stderr(
                  [&] { return DB_registered_table_insert_delete_row(instance_, &r_, 12, 3, 9); }),
              0);
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x);
    EXPECT_EQ(x.native_error, -268);
    REGISTRATION bad = r_;
    strcpy(bad.rowid_column, "id; drop");
    EXPECT_EQ(DB_registered_table_delete_adds_row(instance_, &bad, 0, 12, 9), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_registered_table_insert_delete_row(instance_, nullptr, 1, 1, 1), ZE_NULL_POINTER);
    EXPECT_EQ(executed(), Strings{sql[0]});
}

TEST_F(EditTest, ModifiedFlagThroughTheCatalogueFunction)
{
    STATE state;
    memset(&state, 0, sizeof(state));
    state.state_id = 9;
    EXPECT_EQ(DB_registered_table_mark_modified(instance_, &r_, nullptr), 0);
    EXPECT_TRUE(executed().empty());
    const struct {
        int32_t result, code, native;
    } cases[] = {
        {0, 0, 0}, {-20172, -172, 0}, {5, ZE_DBMS_ERROR, 5}, {-21000, ZE_DBMS_ERROR, -21000}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.result);
        mark();
        DB_instance_clear_xerr();
        scli::on_sql(kFlag).columns({{"", SQL_INTEGER}}).row({scli::i32(c.result)});
        EXPECT_EQ(DB_registered_table_mark_modified(instance_, &r_, &state), c.code);
        EXPECT_EQ(executed(), (Strings{kFlag, "COMMIT"}));
        DB_EXT_ERROR x;
        DB_instance_get_xerr(&x);
        EXPECT_EQ(x.code, c.code);
        EXPECT_EQ(x.native_error, c.native);
        if (c.code != 0) {
            EXPECT_NE(std::string(x.message).find("zel.flag_mvtable_modified"), std::string::npos);
        }
    }
    // A failed call commits nothing and leaves its diagnostic.
    mark();
    scli::on_sql(kFlag).fail(SQL_ERROR, {"S1000", -674, "no routine"});
    EXPECT_EQ(
        quiet_stderr([&] { return DB_registered_table_mark_modified(instance_, &r_, &state); }),
        ZE_DBMS_ERROR);
    EXPECT_EQ(executed(), Strings{kFlag});
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x);
    EXPECT_EQ(x.native_error, -674);
}

namespace
{

std::string st_probe(const std::string &column)
{
    return "select typ.name from informix.syscolumns col, informix.sysxtdtypes typ where colname "
           "= '" +
           column + "' and col.extended_id=typ.extended_id";
}

const std::string kDbtune = "SELECT keyword, parameter_name, config_string FROM zel:zel.dbtune "
                            "where keyword = 'KW' OR keyword = 'DEFAULTS'";

// A definition over its own storage.
struct Def {
    Def(const char *name, std::vector<std::pair<std::string, int32_t>> columns, int32_t unique)
    {
        memset(&def, 0, sizeof(def));
        snprintf(def.index_name, sizeof(def.index_name), "%s", name);
        def.unique = unique;
        def.column_count = static_cast<int16_t>(columns.size());
        def.column_names = pointers;
        def.column_order = orders;
        for (size_t i = 0; i < columns.size(); i++) {
            snprintf(names[i], sizeof(names[i]), "%s", columns[i].first.c_str());
            pointers[i] = names[i];
            orders[i] = columns[i].second;
        }
    }
    DB_INDEX_DEF def;
    char names[DB_INDEX_MAX_COLUMNS][DB_INDEX_COLUMN_NAME_SIZE] = {};
    char *pointers[DB_INDEX_MAX_COLUMNS] = {};
    int32_t orders[DB_INDEX_MAX_COLUMNS] = {};
};

class IndexTest : public EditTest
{
  protected:
    void SetUp() override
    {
        EditTest::SetUp();
        scli::dbtune_store_install();
        scli::dbtune_store().rows.push_back({"KW", "B_INDEX_USER", "IN b_ix"});
        scli::dbtune_store().rows.push_back({"KW", "A_INDEX_USER", "IN a_ix"});
        // No column has a spatial type.
        scli::on_sql_like("select typ\\.name from .*")
            .columns({{"name", SQL_VARCHAR, 128}})
            .repeat();
        strcpy(r_.config_keyword, "KW");
        mark();
    }
    int32_t create(const REGISTRATION &r, int32_t unique = 0, const char *keyword = " ")
    {
        return DB_registered_table_create_index(instance_, &r, "name", unique, 0, "rd_name",
                                                keyword);
    }
};

const Strings kTableIndex = {st_probe("name"), kDbtune,
                             "CREATE  INDEX rd_name on roads (name DESC) IN b_ix"};
const Strings kTwinIndex = {st_probe("name"), kDbtune,
                            "CREATE  INDEX rd_name_a on gis:'bob'.A7 (name DESC) IN a_ix"};

using scli::join;

} // namespace

// A versioned table's index gets its twin on the adds table, never unique;
// a blank keyword is the registration's. A plain table's index has none.
TEST_F(IndexTest, AnIndexOfAVersionedTableHasATwin)
{
    ASSERT_EQ(create(r_), 0);
    EXPECT_EQ(executed(), join({kTableIndex, kTwinIndex})); // not committed
    mark();
    REGISTRATION plain = r_;
    plain.object_flags = 0;
    ASSERT_EQ(create(plain, 1, nullptr), 0);
    EXPECT_EQ(executed(), (Strings{st_probe("name"), kDbtune,
                                   "CREATE UNIQUE INDEX rd_name on roads (name DESC) IN b_ix"}));
}

TEST_F(IndexTest, RefusedBeforeAnythingRuns)
{
    REGISTRATION other = r_;
    strcpy(other.owner, "ann");
    REGISTRATION same_owner = r_;
    strcpy(same_owner.owner, "BOB"); // the owner compares without regard to case
    EXPECT_EQ(create(r_, 1), ZE_UNIQUE_INDEX_NOT_ALLOWED);
    EXPECT_EQ(create(other), ZE_NO_PERMISSIONS);
    EXPECT_EQ(DB_registered_table_drop_index(instance_, &other, "rd_name"), ZE_NO_PERMISSIONS);
    Def one("rd_name", {{"name", 1}}, 0);
    EXPECT_EQ(DB_registered_table_create_indexes(instance_, &other, 1, &one.def, ""),
              ZE_NO_PERMISSIONS);
    EXPECT_EQ(DB_registered_table_create_index(instance_, nullptr, "name", 0, 1, "ix", ""),
              ZE_NULL_POINTER);
    EXPECT_EQ(DB_registered_table_create_index(instance_, &r_, "name", 0, 1, nullptr, ""),
              ZE_NULL_POINTER);
    EXPECT_EQ(DB_registered_table_drop_index(instance_, &r_, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(executed(), Strings{});
    EXPECT_EQ(create(same_owner), 0);
}

// When the twin cannot be made, the table's index goes again and the
// twin's failure is what the caller hears.
TEST_F(IndexTest, AFailedTwinTakesTheTablesIndexBack)
{
    scli::on_sql(kTwinIndex.back()).fail(SQL_ERROR, {"S0011", -316, "exists"});
    EXPECT_EQ(quiet_stderr([&] { return create(r_); }), ZE_INDEX_EXISTS);
    EXPECT_EQ(executed(), join({kTableIndex, kTwinIndex, {"DROP INDEX rd_name", "COMMIT"}}));
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x);
    EXPECT_EQ(x.native_error, -316);
    // The table's own failure runs nothing more.
    mark();
    scli::on_sql(kTableIndex.back()).fail(SQL_ERROR, {"S0022", -217, "no column"});
    EXPECT_EQ(quiet_stderr([&] { return create(r_); }), ZE_COLUMN_NOT_FOUND);
    EXPECT_EQ(executed(), kTableIndex);
}

TEST_F(IndexTest, TheDropTakesTheTwinAlong)
{
    const Strings both = {"DROP INDEX rd_name", "COMMIT", "DROP INDEX rd_name_a", "COMMIT"};
    ASSERT_EQ(DB_registered_table_drop_index(instance_, &r_, "rd_name"), 0);
    EXPECT_EQ(executed(), both);
    // A missing twin is no failure; any other failure of its drop is.
    const struct {
        scli::Diag diag;
        int32_t code;
    } twin_failures[] = {{{"S0012", -319, "no index"}, 0}, {{"S1000", -242, "locked"}, -242}};
    for (const auto &c : twin_failures) {
        mark();
        scli::on_sql("DROP INDEX rd_name_a").fail(SQL_ERROR, c.diag);
        const int32_t rc =
            quiet_stderr([&] { return DB_registered_table_drop_index(instance_, &r_, "rd_name"); });
        if (c.code == 0)
            EXPECT_EQ(rc, 0);
        else
            EXPECT_LT(rc, 0);
        EXPECT_EQ(executed(), (Strings{"DROP INDEX rd_name", "COMMIT", "DROP INDEX rd_name_a"}));
    }
    // The table's own failure leaves the twin alone; a plain table has none.
    mark();
    scli::on_sql("DROP INDEX rd_name").fail(SQL_ERROR, {"S0012", -319, "no index"});
    EXPECT_EQ(
        quiet_stderr([&] { return DB_registered_table_drop_index(instance_, &r_, "rd_name"); }),
        ZE_INDEX_NOT_FOUND);
    REGISTRATION plain = r_;
    plain.object_flags = 0;
    EXPECT_EQ(DB_registered_table_drop_index(instance_, &plain, "rd_name"), 0);
    EXPECT_EQ(executed(), (Strings{"DROP INDEX rd_name", "DROP INDEX rd_name", "COMMIT"}));
}

TEST_F(IndexTest, DefinitionsGetTwinsWithTheirColumnOrder)
{
    Def first("rd_ix1", {{"name", 1}, {"objectid", 0}}, 0);
    Def second("rd_ix2", {{"objectid", 1}}, 0);
    DB_INDEX_DEF defs[] = {first.def, second.def};
    // Every definition is probed for a spatial column before any is made.
    const Strings probes = {st_probe("name"), st_probe("objectid"), st_probe("objectid")};
    const Strings table = join({probes,
                                {"CREATE  INDEX rd_ix1 on roads (  name ASC,objectid DESC) IN b_ix",
                                 "CREATE  INDEX rd_ix2 on roads (  objectid ASC) IN b_ix"}});
    const Strings twins =
        join({probes,
              {"CREATE  INDEX rd_ix1_a on gis:'bob'.A7 (  name ASC,objectid DESC) IN a_ix",
               "CREATE  INDEX rd_ix2_a on gis:'bob'.A7 (  objectid ASC) IN a_ix"}});
    ASSERT_EQ(DB_registered_table_create_indexes(instance_, &r_, 2, defs, ""), 0);
    const Strings all = executed();
    // The keyword's clauses are read once per call.
    EXPECT_EQ(all, join({{kDbtune}, table, {kDbtune}, twins}));
    // The caller's definitions are left as they were.
    EXPECT_EQ(std::string(defs[0].index_name), "rd_ix1");

    // A failed twin takes the table's indexes of the call back.
    mark();
    scli::on_sql(twins[4]).fail(SQL_ERROR, {"S1000", -212, "no room"});
    EXPECT_EQ(quiet_stderr(
                  [&] { return DB_registered_table_create_indexes(instance_, &r_, 2, defs, ""); }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(executed(),
              join({{kDbtune},
                    table,
                    {kDbtune},
                    twins,
                    {" DROP INDEX rd_ix1_a", " DROP INDEX rd_ix1", " DROP INDEX rd_ix2"}}));
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x);
    EXPECT_EQ(x.native_error, -212);

    // A unique definition, or one whose twin's name would not fit, refuses
    // the whole call before anything runs.
    mark();
    Def unique("rd_u", {{"name", 1}}, 1);
    Def long_name("rd_a_name_of_thirty_one_letters", {{"name", 1}}, 0);
    DB_INDEX_DEF refused[][2] = {{first.def, unique.def}, {first.def, long_name.def}};
    EXPECT_EQ(DB_registered_table_create_indexes(instance_, &r_, 2, refused[0], ""),
              ZE_UNIQUE_INDEX_NOT_ALLOWED);
    EXPECT_EQ(DB_registered_table_create_indexes(instance_, &r_, 2, refused[1], ""),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(executed(), Strings{});
}
