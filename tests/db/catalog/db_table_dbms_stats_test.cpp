// DBMS statistics of tables: the statement of every keyword in both forms
// (exact texts), the walks over the tables of a mask for plain, raster and
// multiversioned tables with their order and their tolerance of missing
// tables under mask 126, the named constraint's check, and the refusals
// that run nothing (an unknown keyword, a name that is no name).
#include "db/catalog/db_table_dbms_stats_internal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;
using layer_test::LayerFixture;

std::string constraint_sql(const std::string &table, const std::string &name)
{
    return "SELECT COUNT(*) FROM systables st, sysconstraints sc WHERE st.tabid = sc.tabid AND "
           "LOWER(st.tabname) = LOWER('" +
           table + "') AND sc.owner = 'bob' AND LOWER(sc.constrname) = LOWER('" + name + "')";
}

class DbmsStats : public LayerFixture
{
  protected:
    // bob.t registered as registration 12 with the flags given.
    void register_t(uint32_t flags)
    {
        REGISTRATION r{};
        memcpy(r.tag, "ReG", 4);
        r.registration_id = 12;
        snprintf(r.database_name, sizeof(r.database_name), "gis");
        snprintf(r.owner, sizeof(r.owner), "bob");
        snprintf(r.table_name, sizeof(r.table_name), "t");
        r.object_flags = flags;
        host_.add_registration(r);
    }
    static void constraint(const std::string &table, const std::string &name, int count)
    {
        scli::on_sql(constraint_sql(table, name))
            .columns({{"count", SQL_INTEGER}})
            .row({scli::i32(count)});
    }
    // The table has no raster column.
    static void no_raster()
    {
        std::vector<scli::Column> columns = {{"rastercolumn_id", SQL_INTEGER}};
        for (int i = 1; i < 20; i++)
            columns.push_back({"c" + std::to_string(i), SQL_VARCHAR, 32});
        scli::on_sql(catalog_test::raster_by_table(false)).columns(columns).repeat();
    }
    Strings run(const char *table, const char *object, const char *keyword, int32_t mask,
                int32_t expected)
    {
        size_t before = Executed().size();
        EXPECT_EQ(quiet_stderr([&] {
                      return DB_table_update_dbms_stats(instance_, table, object, keyword, mask);
                  }),
                  expected);
        Strings all = Executed();
        return Strings(all.begin() + static_cast<long>(before), all.end());
    }
};

TEST_F(DbmsStats, StatementOfEveryKeyword)
{
    struct Case {
        const char *keyword;
        std::string table_form, routine_form;
    };
    const Case cases[] = {
        {nullptr, "UPDATE STATISTICS  FOR TABLE t ", "UPDATE STATISTICS  "},
        {"DISTRIBUTIONS", "UPDATE STATISTICS  FOR TABLE t DISTRIBUTIONS ONLY",
         "UPDATE STATISTICS  "},
        {"drop", "UPDATE STATISTICS  FOR TABLE t DROP DISTRIBUTIONS", "UPDATE STATISTICS  "},
        {"Resolution", "UPDATE STATISTICS  FOR TABLE t RESOLUTION 1", "UPDATE STATISTICS  "},
        {"SPECIFIC", "UPDATE STATISTICS  FOR TABLE t ", "UPDATE STATISTICS   FOR SPECIFIC bob.ck"},
        {"function", "UPDATE STATISTICS  FOR TABLE t ", "UPDATE STATISTICS   FOR FUNCTION bob.ck"},
        {"PROCEDURE", "UPDATE STATISTICS  FOR TABLE t ",
         "UPDATE STATISTICS   FOR PROCEDURE bob.ck"},
        {"ROUTINE", "UPDATE STATISTICS  FOR TABLE t ", "UPDATE STATISTICS   FOR ROUTINE bob.ck"},
        {"low", "UPDATE STATISTICS LOW FOR TABLE t ", "UPDATE STATISTICS LOW "},
        {"medium", "UPDATE STATISTICS MEDIUM FOR TABLE t ", "UPDATE STATISTICS MEDIUM "},
        {"HIGH", "UPDATE STATISTICS HIGH FOR TABLE t ", "UPDATE STATISTICS HIGH "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.keyword ? c.keyword : "(none)");
        // The table itself; nothing committed.
        EXPECT_EQ(run("t", nullptr, c.keyword, DB_STATS_TABLE, 0), (Strings{c.table_form}));
        // "ALL" with only the table in the mask: the same statement.
        EXPECT_EQ(run("t", "all", c.keyword, DB_STATS_TABLE, 0), (Strings{c.table_form}));
        // A named constraint of the table: the routine form.
        constraint("t", "ck", 1);
        EXPECT_EQ(run("t", "ck", c.keyword, DB_STATS_TABLE, 0),
                  (Strings{constraint_sql("t", "ck"), c.routine_form}));
    }
}

TEST_F(DbmsStats, RefusalsRunNothing)
{
    EXPECT_EQ(run("t", nullptr, "FULL", DB_STATS_TABLE, ZE_INVALID_ARGUMENT), Strings{});
    EXPECT_EQ(run("t", "ALL", "", DB_STATS_TABLE, ZE_INVALID_ARGUMENT), Strings{});
    // No object and no table of the mask: nothing to do.
    EXPECT_EQ(run("t", nullptr, "LOW", 0, 0), Strings{});
    EXPECT_EQ(run("t", "", "LOW", 1, 0), Strings{});
    // An object with mask 126.
    EXPECT_EQ(run("t", "ck", nullptr, DB_STATS_ALL, ZE_INDEX_NOT_FOUND), Strings{});
    // Names that would not be names in the statement.
    EXPECT_EQ(run("t", "ck;drop", nullptr, DB_STATS_TABLE, ZE_INVALID_IDENTIFIER), Strings{});
    EXPECT_EQ(run("t x", nullptr, nullptr, DB_STATS_TABLE, ZE_INVALID_IDENTIFIER), Strings{});
    EXPECT_EQ(DB_table_update_dbms_stats(instance_, nullptr, nullptr, nullptr, 32),
              ZE_NULL_POINTER);
}

TEST_F(DbmsStats, StatementResults)
{
    const std::string sql = "UPDATE STATISTICS  FOR TABLE t ";
    struct Case {
        scli::Diag diag;
        int32_t rc;
    };
    const Case cases[] = {{{"S0002", -206, ""}, ZE_TABLE_NOT_FOUND},
                          {{"42000", -272, ""}, ZE_NO_PERMISSIONS},
                          {{"S1000", -999, "odd"}, ZE_DBMS_ERROR}};
    for (const Case &c : cases) {
        scli::on_sql(sql).fail(SQL_ERROR, c.diag);
        EXPECT_EQ(run("t", nullptr, nullptr, DB_STATS_TABLE, c.rc), Strings{sql});
    }
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -999);
    scli::on_sql(sql).info({"01000", 0, "note"});
    EXPECT_EQ(run("t", nullptr, nullptr, DB_STATS_TABLE, 0), Strings{sql});
}

TEST_F(DbmsStats, PlainTablesAndTheRegistrationMasks)
{
    no_raster();
    // Not multiversioned: the registration's tables are refused, 126 runs the
    // table itself and looks for a raster column.
    EXPECT_EQ(run("t", nullptr, nullptr, DB_STATS_ADDS, ZE_NOT_MULTIVERSION), Strings{});
    Strings all = run("t", nullptr, "LOW", DB_STATS_ALL, 0);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], "UPDATE STATISTICS LOW FOR TABLE t ");
    EXPECT_EQ(all[1], catalog_test::raster_by_table(false));
    EXPECT_EQ(run("t", "ALL", nullptr, DB_STATS_DELETES, ZE_NOT_MULTIVERSION), Strings{});
    all = run("t", "ALL", nullptr, DB_STATS_ALL, 0);
    EXPECT_EQ(all,
              (Strings{catalog_test::raster_by_table(false), "UPDATE STATISTICS  FOR TABLE t "}));
    // A registered, not multiversioned table answers the same.
    register_t(REG_LAYER);
    EXPECT_EQ(run("t", nullptr, nullptr, DB_STATS_EQUIVS | DB_STATS_TABLE, ZE_NOT_MULTIVERSION),
              (Strings{"UPDATE STATISTICS  FOR TABLE t "}));
}

TEST_F(DbmsStats, MultiversionedTablesInTheirOrder)
{
    no_raster();
    register_t(REG_MULTIVERSION);
    EXPECT_EQ(run("t", nullptr, "MEDIUM", DB_STATS_TABLE | DB_STATS_ADDS | DB_STATS_DELETES, 0),
              (Strings{"UPDATE STATISTICS MEDIUM FOR TABLE t ",
                       "UPDATE STATISTICS MEDIUM FOR TABLE 'bob'.A12 ",
                       "UPDATE STATISTICS MEDIUM FOR TABLE gis:'bob'.d12 "}));
    // The deletes and equivalence tables take the database and owner of
    // the registration the host finds by id.
    // "ALL": the registration's tables first, then the raster column, then
    // the table.
    EXPECT_EQ(run("t", "ALL", nullptr, DB_STATS_ALL, 0),
              (Strings{"UPDATE STATISTICS  FOR TABLE gis:'bob'.A12 ",
                       "UPDATE STATISTICS  FOR TABLE gis:'bob'.d12 ",
                       "UPDATE STATISTICS  FOR TABLE gis:'bob'.e12 ",
                       catalog_test::raster_by_table(false), "UPDATE STATISTICS  FOR TABLE t "}));

    // Mask 126 passes over a missing table; another mask stops there.
    scli::on_sql("UPDATE STATISTICS  FOR TABLE 'bob'.A12 ")
        .fail(SQL_ERROR, {"S0002", -206, ""})
        .times(2);
    Strings ran = run("t", nullptr, nullptr, DB_STATS_ALL, 0);
    EXPECT_EQ(ran, (Strings{"UPDATE STATISTICS  FOR TABLE t ", catalog_test::raster_by_table(false),
                            "UPDATE STATISTICS  FOR TABLE 'bob'.A12 ",
                            "UPDATE STATISTICS  FOR TABLE gis:'bob'.d12 ",
                            "UPDATE STATISTICS  FOR TABLE gis:'bob'.e12 "}));
    EXPECT_EQ(run("t", nullptr, nullptr, DB_STATS_ADDS | DB_STATS_DELETES, ZE_TABLE_NOT_FOUND),
              (Strings{"UPDATE STATISTICS  FOR TABLE 'bob'.A12 "}));
    scli::on_sql("UPDATE STATISTICS  FOR TABLE gis:'bob'.d12 ")
        .fail(SQL_ERROR, {"S1000", -999, ""});
    EXPECT_EQ(run("t", "ALL", nullptr, DB_STATS_ALL, ZE_DBMS_ERROR),
              (Strings{"UPDATE STATISTICS  FOR TABLE gis:'bob'.A12 ",
                       "UPDATE STATISTICS  FOR TABLE gis:'bob'.d12 "}));
}

TEST_F(DbmsStats, NamedObjectMustBeAConstraintOfTheChosenTable)
{
    // Of the table itself.
    constraint("t", "ck", 0);
    EXPECT_EQ(run("t", "ck", nullptr, DB_STATS_TABLE, ZE_INDEX_NOT_FOUND),
              (Strings{constraint_sql("t", "ck")}));
    constraint("t", "ck", 0);
    EXPECT_EQ(run("t", "ck", nullptr, 0, ZE_INDEX_NOT_FOUND), (Strings{constraint_sql("t", "ck")}));
    // A mask of two tables names none.
    EXPECT_EQ(run("t", "ck", nullptr, DB_STATS_TABLE | DB_STATS_RASTER, ZE_INDEX_NOT_FOUND),
              Strings{});
    EXPECT_EQ(run("t", "ck", nullptr, DB_STATS_ADDS, ZE_NOT_MULTIVERSION), Strings{});
    // Of the adds, deletes or equivalence table: asked by its bare name; an
    // owner in the object is kept.
    register_t(REG_MULTIVERSION);
    const std::pair<int32_t, std::string> tables[] = {
        {DB_STATS_ADDS, "A12"}, {DB_STATS_DELETES, "d12"}, {DB_STATS_EQUIVS, "e12"}};
    for (const auto &[mask, table] : tables) {
        constraint(table, "ck", 1);
        EXPECT_EQ(
            run("t", "carl.ck", "PROCEDURE", mask, 0),
            (Strings{constraint_sql(table, "ck"), "UPDATE STATISTICS   FOR PROCEDURE carl.ck"}));
    }
    // A failing count is no constraint.
    scli::on_sql(constraint_sql("d12", "ck")).fail(SQL_ERROR, {"S1000", -999, ""});
    EXPECT_EQ(run("t", "ck", nullptr, DB_STATS_DELETES, ZE_INDEX_NOT_FOUND),
              (Strings{constraint_sql("d12", "ck")}));
}

} // namespace
