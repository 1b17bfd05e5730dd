// Table indexes: the B-tree and R-tree texts of single indexes and of index
// definitions with the DBTUNE clause of the selector, the undo of earlier
// indexes when one of a list fails, the refusals that execute nothing, the
// description grouped by index name (R-tree indexes left out, names longer
// than the definition refused), the drop and the table of an index.
#include "db/catalog/db_table_index.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "base/util/zel_errors.h"
#include "db/catalog/db_table_ddl_internal.h"
#include "db/core/db_names_internal.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/scli_dbtune_store.h"

namespace
{

using Strings = std::vector<std::string>;

// The statements of all from position from on.
Strings tail(const Strings &all, size_t from)
{
    return Strings(all.begin() + static_cast<long>(from), all.end());
}

std::string st_probe(const std::string &column)
{
    return "select typ.name from informix.syscolumns col, informix.sysxtdtypes typ where colname "
           "= '" +
           column + "' and col.extended_id=typ.extended_id";
}

const std::string kDescribe =
    "SELECT  si.idxname, si.idxtype, sc.colname                     FROM    systables st,      "
    "                       sysindices si,                             syscolumns sc,          "
    "                   sysams sa,                             "
    "TABLE(MULTISET{0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15}) as i(indexpart)                      "
    "       WHERE   st.tabtype = 'T' AND                             si.tabid = st.tabid AND   "
    "                          sc.tabid = st.tabid AND                             si.amid = "
    "sa.am_id AND                             sa.am_name = 'btree' AND                          "
    "   st.owner = 'alice'  AND                             st.tabname = 'lots' AND            "
    "                 (sc.colno = ikeyextractcolno(si.indexkeys,i.indexpart)                   "
    "           OR sc.colno = -ikeyextractcolno(si.indexkeys,i.indexpart))                     "
    "        order by si.idxname";

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

class TableIndex : public ConnectedUser
{
  protected:
    void SetUp() override
    {
        ConnectedUser::SetUp();
        scli::dbtune_store_install();
        // Only "shape" has a spatial type; every other column none.
        scli::on_sql(st_probe("shape"))
            .columns({{"name", SQL_VARCHAR, 128}})
            .row({scli::varchar("st_geometry")})
            .repeat();
        scli::on_sql_like("select typ\\.name from .*")
            .columns({{"name", SQL_VARCHAR, 128}})
            .repeat();
    }
    void add_row(const char *keyword, const char *name, const char *value)
    {
        scli::dbtune_store().rows.push_back({keyword, name, value});
    }
};

TEST_F(TableIndex, SingleIndexTextsWithTheSelectorsClause)
{
    add_row("KW", "B_INDEX_USER", "IN b_ix");
    add_row("KW", "A_INDEX_USER", "IN a_ix");
    add_row("DEFAULTS", "D_INDEX_STATE_ROWID", "IN d_ix");
    const std::string dbtune = "SELECT keyword, parameter_name, config_string FROM "
                               "zel:zel.dbtune where keyword = 'KW' OR keyword = 'DEFAULTS'";
    struct Case {
        const char *column;
        int32_t unique, ascending;
        const char *keyword;
        int32_t storage;
        Strings sql;
    };
    const Case cases[] = {
        {"a", 1, 1, "", 0, {st_probe("a"), "CREATE UNIQUE INDEX ix on t (a ASC) "}},
        {"a", 0, 0, nullptr, 0, {st_probe("a"), "CREATE  INDEX ix on t (a DESC) "}},
        {"a", 0, 1, "KW", 0, {st_probe("a"), dbtune, "CREATE  INDEX ix on t (a ASC) IN b_ix"}},
        {"a", 0, 1, "KW", 1, {st_probe("a"), dbtune, "CREATE  INDEX ix on t (a ASC) IN a_ix"}},
        {"a", 0, 1, "KW", 2, {st_probe("a"), dbtune, "CREATE  INDEX ix on t (a ASC) IN d_ix"}},
        {"shape",
         1,
         0,
         "KW",
         0,
         {st_probe("shape"), dbtune, "CREATE INDEX ix on t (shape) USING RTREE IN b_ix"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sql.back());
        size_t before = Executed().size();
        EXPECT_EQ(DB_table_create_index(nullptr, "t", c.column, c.unique, c.ascending, "ix",
                                        c.keyword, c.storage),
                  0);
        // Not committed.
        EXPECT_EQ(tail(Executed(), before), c.sql);
    }
}

TEST_F(TableIndex, ColumnListsOfOneIndex)
{
    // A list is never spatial: no probe, its order after the last column.
    size_t before = Executed().size();
    EXPECT_EQ(DB_table_create_index(nullptr, "t", "a,b", 0, 1, "ix", "", 0), 0);
    EXPECT_EQ(tail(Executed(), before), (Strings{"CREATE  INDEX ix on t (a,b ASC) "}));
    // Every name of the list is checked before anything runs.
    before = Executed().size();
    EXPECT_EQ(DB_table_create_index(nullptr, "t", "a,b)", 0, 1, "ix", "", 0),
              ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(DB_table_create_index(nullptr, "t", "a,,b", 0, 1, "ix", "", 0), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_table_create_index(nullptr, "t", "a,", 0, 1, "ix", "", 0), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(Executed().size(), before);
}

TEST_F(TableIndex, SingleIndexFailuresAndRefusals)
{
    struct Case {
        scli::Diag diag;
        int32_t rc;
    };
    const Case cases[] = {
        {{"S0002", -206, ""}, ZE_TABLE_NOT_FOUND},  {{"S0002", -352, ""}, ZE_COLUMN_NOT_FOUND},
        {{"S0022", -217, ""}, ZE_COLUMN_NOT_FOUND}, {{"S0011", -316, ""}, ZE_INDEX_EXISTS},
        {{"S0001", -310, ""}, ZE_DBMS_ERROR},       {{"S1000", -999, "odd"}, ZE_DBMS_ERROR}};
    StderrCapture capture;
    for (const Case &c : cases) {
        scli::on_sql("CREATE  INDEX ix on t (a ASC) ").fail(SQL_ERROR, c.diag);
        EXPECT_EQ(DB_table_create_index(nullptr, "t", "a", 0, 1, "ix", "", 0), c.rc)
            << c.diag.sqlstate;
        DB_EXT_ERROR xerr;
        DB_instance_get_xerr(&xerr);
        EXPECT_EQ(xerr.native_error, c.diag.native);
    }
    // Refused at prepare: mapped the same way.
    scli::on_sql("CREATE  INDEX ix on t (a ASC) ").at_prepare(SQL_ERROR, {"S0002", -206, ""});
    EXPECT_EQ(DB_table_create_index(nullptr, "t", "a", 0, 1, "ix", "", 0), ZE_TABLE_NOT_FOUND);
    std::string err = capture.text();
    EXPECT_NE(err.find("DB_table_create_index() Execute Error (-1)\n"), std::string::npos);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);

    size_t before = Executed().size();
    EXPECT_EQ(DB_table_create_index(nullptr, "t", "a", 0, 1, "ix", "ABSENT", 0),
              ZE_KEYWORD_WITHOUT_ROWS);
    EXPECT_EQ(Executed().size(), before + 2); // the probe and the keyword
    EXPECT_EQ(DB_table_create_index(nullptr, "t", "a)", 0, 1, "ix", "", 0), ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(DB_table_create_index(nullptr, "t", "a", 0, 1, "ix x", "", 0), ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(DB_table_create_index(nullptr, "t", "a", 0, 1, nullptr, "", 0), ZE_NULL_POINTER);
    EXPECT_EQ(Executed().size(), before + 2);
}

TEST_F(TableIndex, DefinitionTexts)
{
    add_row("KW", "B_INDEX_USER", "IN b_ix");
    Def composite("ix", {{"a", 1}, {"b", 0}}, 1);
    Def spatial("sx", {{"shape", 1}}, 1);
    Def plain("px", {{"c", 7}}, 0);
    const DB_INDEX_DEF defs[] = {composite.def, spatial.def, plain.def};
    ASSERT_EQ(DB_table_create_indexes(nullptr, "t", 3, defs, "KW", 0), 0);
    EXPECT_EQ(Executed(),
              (Strings{"SELECT keyword, parameter_name, config_string FROM zel:zel.dbtune where "
                       "keyword = 'KW' OR keyword = 'DEFAULTS'",
                       st_probe("a"), st_probe("b"), st_probe("shape"), st_probe("c"),
                       "CREATE UNIQUE INDEX ix on t (  a ASC,b DESC) IN b_ix",
                       "CREATE INDEX sx on t (  shape ST_Geometry_Ops )USING RTREE IN b_ix",
                       "CREATE  INDEX px on t (  c DESC) IN b_ix"}));

    // With an empty keyword no clause is appended.
    size_t before = Executed().size();
    ASSERT_EQ(DB_table_create_indexes(nullptr, "t", 1, defs, "", 0), 0);
    EXPECT_EQ(Executed().back(), "CREATE UNIQUE INDEX ix on t (  a ASC,b DESC)");
    EXPECT_EQ(Executed().size(), before + 3);
}

TEST_F(TableIndex, FailingDefinitionDropsTheIndexesMadeBefore)
{
    Def one("ix1", {{"a", 1}}, 0), two("ix2", {{"b", 1}}, 0), three("ix3", {{"c", 1}}, 0);
    const DB_INDEX_DEF defs[] = {one.def, two.def, three.def};
    const std::pair<scli::Diag, int32_t> failures[] = {{{"S0011", -316, ""}, ZE_INDEX_EXISTS},
                                                       {{"S0001", -310, ""}, ZE_INDEX_EXISTS},
                                                       {{"S0022", -217, ""}, ZE_COLUMN_NOT_FOUND}};
    for (const auto &[diag, rc] : failures) {
        scli::on_sql("CREATE  INDEX ix3 on t (  c ASC)").fail(SQL_ERROR, diag);
        size_t before = Executed().size();
        EXPECT_EQ(DB_table_create_indexes(nullptr, "t", 3, defs, "", 0), rc);
        EXPECT_EQ(
            tail(Executed(), before + 3),
            (Strings{"CREATE  INDEX ix1 on t (  a ASC)", "CREATE  INDEX ix2 on t (  b ASC)",
                     "CREATE  INDEX ix3 on t (  c ASC)", " DROP INDEX ix1", " DROP INDEX ix2"}));
    }
    // A failure at prepare undoes them too.
    scli::on_sql("CREATE  INDEX ix2 on t (  b ASC)").at_prepare(SQL_ERROR, {"S0002", -206, ""});
    size_t before = Executed().size();
    EXPECT_EQ(DB_table_create_indexes(nullptr, "t", 3, defs, "", 0), ZE_TABLE_NOT_FOUND);
    EXPECT_EQ(Executed().back(), " DROP INDEX ix1");
    EXPECT_EQ(Executed().size(), before + 3 + 2);
}

TEST_F(TableIndex, RefusedDefinitionsExecuteNothingButProbes)
{
    Def spatial_pair("sx", {{"shape", 1}, {"a", 1}}, 0);
    Def fine("ix", {{"a", 1}}, 0);
    DB_INDEX_DEF defs[] = {fine.def, spatial_pair.def};
    EXPECT_EQ(DB_table_create_indexes(nullptr, "t", 2, defs, "", 0), ZE_INVALID_COLUMN_TYPE);
    Strings ran = Executed();
    EXPECT_EQ(ran, (Strings{st_probe("a"), st_probe("shape")}));

    struct Case {
        void (*spoil)(DB_INDEX_DEF &);
        int32_t rc;
    };
    const Case cases[] = {
        {[](DB_INDEX_DEF &d) { d.column_count = 0; }, ZE_INVALID_ARGUMENT},
        {[](DB_INDEX_DEF &d) { d.column_count = 17; }, ZE_INVALID_ARGUMENT},
        {[](DB_INDEX_DEF &d) { memset(d.index_name, 'x', sizeof(d.index_name)); },
         ZE_INVALID_ARGUMENT},
        {[](DB_INDEX_DEF &d) { strcpy(d.index_name, "ix;drop"); }, ZE_INVALID_IDENTIFIER},
        {[](DB_INDEX_DEF &d) { memset(d.column_names[0], 'c', DB_INDEX_COLUMN_NAME_SIZE); },
         ZE_INVALID_ARGUMENT},
        {[](DB_INDEX_DEF &d) { d.column_order = nullptr; }, ZE_NULL_POINTER},
    };
    for (const Case &c : cases) {
        Def def("ix", {{"a", 1}}, 0);
        c.spoil(def.def);
        EXPECT_EQ(DB_table_create_indexes(nullptr, "t", 1, &def.def, "", 0), c.rc);
    }
    EXPECT_EQ(DB_table_create_indexes(nullptr, "t", -1, defs, "", 0), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_table_create_indexes(nullptr, "t", 0, nullptr, "", 0), 0);
    EXPECT_EQ(Executed(), ran);
}

struct Described {
    int16_t count = -1;
    DB_INDEX_DEF *defs = nullptr;
    ~Described()
    {
        for (int16_t i = 0; i < count; i++) {
            for (int c = 0; c < DB_INDEX_MAX_COLUMNS; c++)
                free(defs[i].column_names[c]);
            free(defs[i].column_names);
            free(defs[i].column_order);
        }
        free(defs);
    }
};

TEST_F(TableIndex, DescribeGroupsRowsByIndexName)
{
    scli::on_sql(kDescribe)
        .columns({{"idxname", SQL_VARCHAR, 128},
                  {"idxtype", SQL_CHAR, 1},
                  {"colname", SQL_VARCHAR, 128}})
        .row({scli::varchar("ix_ab"), scli::chr("U", 1), scli::varchar("a")})
        .row({scli::varchar("ix_ab"), scli::chr("U", 1), scli::varchar("b")})
        .row({scli::varchar("ix_c"), scli::chr("D", 1), scli::varchar("c")});
    Described d;
    ASSERT_EQ(DB_table_describe_indexes(nullptr, "alice.Lots", &d.count, &d.defs), 0);
    ASSERT_EQ(d.count, 2);
    EXPECT_STREQ(d.defs[0].index_name, "ix_ab");
    EXPECT_EQ(d.defs[0].unique, 1);
    ASSERT_EQ(d.defs[0].column_count, 2);
    EXPECT_STREQ(d.defs[0].column_names[0], "a");
    EXPECT_STREQ(d.defs[0].column_names[1], "b");
    EXPECT_EQ(d.defs[0].column_order[0], 1);
    EXPECT_EQ(d.defs[0].column_order[1], 1); // descending parts read as ascending
    EXPECT_EQ(d.defs[0].column_names[2], nullptr);
    EXPECT_STREQ(d.defs[1].index_name, "ix_c");
    EXPECT_EQ(d.defs[1].unique, 0);
    EXPECT_EQ(d.defs[1].column_count, 1);
    EXPECT_EQ(Executed(), (Strings{kDescribe}));

    // A table with only an R-tree index: nothing.
    scli::on_sql(kDescribe).columns({{"idxname", SQL_VARCHAR, 128}});
    Described none;
    ASSERT_EQ(DB_table_describe_indexes(nullptr, "alice.lots", &none.count, &none.defs), 0);
    EXPECT_EQ(none.count, 0);
    EXPECT_EQ(none.defs, nullptr);
}

TEST_F(TableIndex, DescribeRefusesNamesLongerThanTheDefinitionHolds)
{
    std::string long_name(32, 'n');
    scli::on_sql(kDescribe)
        .columns({{"idxname", SQL_VARCHAR, 128},
                  {"idxtype", SQL_CHAR, 1},
                  {"colname", SQL_VARCHAR, 128}})
        .row({scli::varchar("ix_a"), scli::chr("U", 1), scli::varchar("a")})
        .row({scli::varchar(long_name), scli::chr("D", 1), scli::varchar("b")});
    Described d;
    EXPECT_EQ(DB_table_describe_indexes(nullptr, "alice.lots", &d.count, &d.defs),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(d.count, 0);
    EXPECT_EQ(d.defs, nullptr);

    scli::on_sql(kDescribe)
        .columns({{"idxname", SQL_VARCHAR, 128},
                  {"idxtype", SQL_CHAR, 1},
                  {"colname", SQL_VARCHAR, 128}})
        .row({scli::varchar("ix_a"), scli::chr("U", 1), scli::varchar("a")})
        .at_fetch(2, SQL_ERROR, {"S1000", -243, "lost"});
    Described failed;
    quiet_stderr([&] {
        EXPECT_EQ(DB_table_describe_indexes(nullptr, "alice.lots", &failed.count, &failed.defs),
                  ZE_DBMS_ERROR);
    });
    EXPECT_EQ(failed.defs, nullptr);
}

TEST_F(TableIndex, DropAndTableOfAnIndex)
{
    EXPECT_EQ(DB_table_drop_index(nullptr, "ignored", "ix"), 0);
    scli::on_sql("DROP INDEX gone").no_data();
    EXPECT_EQ(DB_table_drop_index(nullptr, nullptr, "gone"), ZE_OBJECT_NOT_FOUND);
    scli::on_sql("DROP INDEX other").fail(SQL_ERROR, {"S0012", -333, ""});
    EXPECT_EQ(DB_table_drop_index(nullptr, nullptr, "other"), ZE_INDEX_NOT_FOUND);
    EXPECT_EQ(DB_table_drop_index(nullptr, nullptr, "a b"), ZE_INVALID_IDENTIFIER);

    // The catalogue keeps unquoted names in lower case.
    const std::string lookup = "SELECT  tabname FROM systables tab, sysindexes idx WHERE "
                               "tab.tabid = idx.tabid AND idxname = ";
    scli::on_sql(lookup + "'a12_ix1'")
        .columns({{"tabname", SQL_VARCHAR, 128}})
        .row({scli::varchar("parcels")});
    char table[DB_NAME_TABLE_SIZE] = "";
    EXPECT_EQ(DB_table_get_name_from_index_name(nullptr, "A12_IX1", table), 0);
    EXPECT_STREQ(table, "parcels");
    scli::on_sql(lookup + "'it''s'").columns({{"tabname", SQL_VARCHAR, 128}});
    EXPECT_EQ(DB_table_get_name_from_index_name(nullptr, "it's", table), ZE_INDEX_NOT_FOUND);
    scli::on_sql(lookup + "'x'").fail(SQL_ERROR, {"S1000", -201, ""});
    quiet_stderr(
        [&] { EXPECT_EQ(DB_table_get_name_from_index_name(nullptr, "x", table), ZE_DBMS_ERROR); });
    EXPECT_EQ(DB_table_get_name_from_index_name(nullptr, std::string(160, 'i').c_str(), table),
              ZE_INVALID_ARGUMENT);

    EXPECT_EQ(Executed(), (Strings{"DROP INDEX ix", "COMMIT", "DROP INDEX gone", "DROP INDEX other",
                                   lookup + "'a12_ix1'", lookup + "'it''s'", lookup + "'x'"}));
}

} // namespace
