// Tests the metadata records: the read by id (NULL rules, the creation date,
// the caller's first word kept, no row), the scan over 0, 1 and many rows
// and its three selections, the writes through the catalogue routines with
// their parameters and the routines' statuses, and the deletes by id, by
// query (ten ids per call, all or nothing) and by a table's WHERE text.
#include "db/catalog/db_metadata_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_diag.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/core/connected_fixture.h"

namespace
{

using Strings = std::vector<std::string>;
using catalog_test::all_params_of;
using catalog_test::answer_status;

const std::string kColumns = "SELECT record_id, object_name, object_owner, object_type, "
                             "class_name, property, prop_value, description, creation_date";
const std::string kTable = "zel:zel.METADATA";
const std::string kInsert = "{call zel:zel.insert_metadata (?,?,?,?,?,?,?,?);}";
const std::string kUpdate = "{call zel:zel.update_metadata (?,?,?,?,?,?);}";
const std::string kDelete = "{ call zel:zel.delete_metadata (?,?,?,?,?,?,?,?,?,?) } ";

std::vector<scli::Column> metadata_columns()
{
    return {{"record_id", SQL_INTEGER},        {"object_name", SQL_VARCHAR, 160},
            {"object_owner", SQL_VARCHAR, 32}, {"object_type", SQL_INTEGER},
            {"class_name", SQL_VARCHAR, 32},   {"property", SQL_VARCHAR, 32},
            {"prop_value", SQL_VARCHAR, 255},  {"description", SQL_VARCHAR, 64},
            {"creation_date", SQL_TIMESTAMP}};
}

// A row of record id; with nulls its four optional texts and its date are
// NULL.
scli::Row metadata_row(int32_t id, bool nulls = false)
{
    auto text = [&](const char *s) { return nulls ? scli::null() : scli::varchar(s); };
    return {scli::i32(id),
            scli::varchar("roads"),
            scli::varchar("bob"),
            scli::i32(1),
            text("survey"),
            text("source"),
            text("field work"),
            text("where it came from"),
            nulls ? scli::null() : scli::timestamp(2024, 3, 1, 12, 30, 0)};
}

scli::Answer &answer(const std::string &sql, const std::vector<scli::Row> &rows)
{
    scli::Answer &a = scli::on_sql(sql).columns(metadata_columns());
    for (const scli::Row &r : rows)
        a.row(r);
    return a;
}

// Statement handles still allocated (the connection's own are not counted).
int statements_left()
{
    int n = 0;
    for (const std::string &line : scli::leaks())
        n += line.rfind("STMT", 0) == 0 ? 1 : 0;
    return n;
}

METADATA record(int32_t id, const char *property, const char *value)
{
    METADATA m{};
    m.record_id = id;
    snprintf(m.object_name, sizeof(m.object_name), "%s", "roads");
    snprintf(m.object_owner, sizeof(m.object_owner), "%s", "bob");
    m.object_type = METADATA_OBJECT_TABLE;
    snprintf(m.property, sizeof(m.property), "%s", property);
    snprintf(m.prop_value, sizeof(m.prop_value), "%s", value);
    return m;
}

using Metadata = ConnectedUser;

} // namespace

TEST_F(Metadata, ReadByIdAppliesTheNullRulesAndKeepsTheFirstWord)
{
    const std::string sql = kColumns + " FROM " + kTable + " WHERE record_id = 7";
    const struct {
        const char *what;
        bool nulls;
    } cases[] = {{"values", false}, {"NULLs", true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        answer(sql, {metadata_row(7, c.nulls)});
        METADATA m{};
        m.reserved = 4242;
        ASSERT_EQ(DB_metadata_get_info_by_id(nullptr, 7, &m), ZE_SUCCESS);
        EXPECT_EQ(m.reserved, 4242);
        EXPECT_EQ(m.record_id, 7);
        EXPECT_STREQ(m.object_name, "roads");
        EXPECT_STREQ(m.object_owner, "bob");
        EXPECT_EQ(m.object_type, 1);
        EXPECT_STREQ(m.class_name, c.nulls ? "" : "survey");
        EXPECT_STREQ(m.property, c.nulls ? "" : "source");
        EXPECT_STREQ(m.prop_value, c.nulls ? "" : "field work");
        EXPECT_STREQ(m.description, c.nulls ? "" : "where it came from");
        // 2024-03-01 12:30:00 read as local time, TZ=UTC.
        EXPECT_EQ(m.creation_date, c.nulls ? 0u : 1709296200u);
    }
    EXPECT_EQ(Executed(), (Strings{sql, "COMMIT", sql, "COMMIT"}));
}

TEST_F(Metadata, ReadByIdWithoutARowFails)
{
    const std::string sql = kColumns + " FROM " + kTable + " WHERE record_id = 8";
    answer(sql, {});
    METADATA m{};
    EXPECT_EQ(DB_metadata_get_info_by_id(nullptr, 8, &m), ZE_DBMS_ERROR);
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x);
    EXPECT_EQ(x.code, ZE_DBMS_ERROR);
    EXPECT_NE(std::string(x.message), "");
    EXPECT_EQ(Executed(), (Strings{sql, "COMMIT"}));

    scli::on_sql(sql).fail(SQL_ERROR, {"S1000", -206, "no table"});
    EXPECT_EQ(DB_metadata_get_info_by_id(nullptr, 8, &m), ZE_DBMS_ERROR);
    DB_instance_get_xerr(&x);
    EXPECT_EQ(x.native_error, -206);
    EXPECT_EQ(DB_metadata_get_info_by_id(nullptr, 8, nullptr), ZE_NULL_POINTER);
}

TEST_F(Metadata, ScanSelectsByWhereTextObjectNameOrAll)
{
    const std::string from = kColumns + " FROM " + kTable;
    const struct {
        const char *where;
        const char *name;
        std::string sql;
    } cases[] = {
        {"object_type = 2", "ROADS", from + " WHERE object_type = 2 ORDER BY record_id"},
        {"  ", "ROADS", from + " WHERE object_name = 'roads' ORDER BY record_id"},
        {nullptr, "O'Brien", from + " WHERE object_name = 'o''brien' ORDER BY record_id"},
        {nullptr, "", from + " ORDER BY record_id"},
        {nullptr, nullptr, from + " ORDER BY record_id"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        answer(c.sql, {metadata_row(1)});
        METADATA m{};
        ASSERT_EQ(DB_metadata_first(nullptr, &m, c.where, c.name), ZE_SUCCESS);
        EXPECT_EQ(DB_metadata_next(nullptr, &m, nullptr, nullptr), ZE_NO_MORE_ROWS);
        EXPECT_EQ(Executed().back(), c.sql);
        EXPECT_EQ(scli::unused_answers(), Strings{});
    }
}

TEST_F(Metadata, ScanRefusesAConditionThatEndsTheStatement)
{
    for (const char *where : {"1=1; DELETE FROM t", "1=1 -- ORDER BY", "1=1 {", "(1=1"}) {
        SCOPED_TRACE(where);
        METADATA m{};
        EXPECT_EQ(DB_metadata_first(nullptr, &m, where, nullptr), ZE_INVALID_ARGUMENT);
        EXPECT_TRUE(Executed().empty());
    }
}

TEST_F(Metadata, ScanOverNoneOneAndManyRows)
{
    const std::string sql = kColumns + " FROM " + kTable + " ORDER BY record_id";
    METADATA m{};

    answer(sql, {});
    EXPECT_EQ(DB_metadata_first(nullptr, &m, nullptr, nullptr), ZE_DBMS_ERROR);
    EXPECT_EQ(DB_metadata_next(nullptr, &m, nullptr, nullptr), ZE_DBMS_ERROR); // no scan

    answer(sql, {metadata_row(3)});
    ASSERT_EQ(DB_metadata_first(nullptr, &m, nullptr, nullptr), ZE_SUCCESS);
    EXPECT_EQ(m.record_id, 3);
    EXPECT_EQ(DB_metadata_next(nullptr, &m, nullptr, nullptr), ZE_NO_MORE_ROWS);
    EXPECT_EQ(DB_metadata_next(nullptr, &m, nullptr, nullptr), ZE_DBMS_ERROR); // scan ended

    answer(sql, {metadata_row(4), metadata_row(5, true), metadata_row(6)});
    ASSERT_EQ(DB_metadata_first(nullptr, &m, nullptr, nullptr), ZE_SUCCESS);
    EXPECT_EQ(m.record_id, 4);
    ASSERT_EQ(DB_metadata_next(nullptr, &m, nullptr, nullptr), ZE_SUCCESS);
    EXPECT_EQ(m.record_id, 5);
    EXPECT_STREQ(m.class_name, ""); // NULLs of the middle row do not keep the first's texts
    EXPECT_STREQ(m.prop_value, "");
    EXPECT_EQ(m.creation_date, 0u);
    ASSERT_EQ(DB_metadata_next(nullptr, &m, nullptr, nullptr), ZE_SUCCESS);
    EXPECT_EQ(m.record_id, 6);
    EXPECT_STREQ(m.prop_value, "field work");
    EXPECT_EQ(DB_metadata_next(nullptr, &m, nullptr, nullptr), ZE_NO_MORE_ROWS);
    EXPECT_EQ(Executed(), (Strings{sql, sql, sql}));
    EXPECT_EQ(statements_left(), 0);
}

TEST_F(Metadata, AFirstReplacesTheOpenScan)
{
    const std::string all = kColumns + " FROM " + kTable + " ORDER BY record_id";
    const std::string some =
        kColumns + " FROM " + kTable + " WHERE record_id > 5 ORDER BY record_id";
    answer(all, {metadata_row(1), metadata_row(2)});
    answer(some, {metadata_row(6)});
    METADATA m{};
    ASSERT_EQ(DB_metadata_first(nullptr, &m, nullptr, nullptr), ZE_SUCCESS);
    ASSERT_EQ(DB_metadata_first(nullptr, &m, "record_id > 5", nullptr), ZE_SUCCESS);
    EXPECT_EQ(m.record_id, 6);
    EXPECT_EQ(DB_metadata_next(nullptr, &m, nullptr, nullptr), ZE_NO_MORE_ROWS);
    EXPECT_EQ(statements_left(), 0);
}

TEST_F(Metadata, InsertBindsEachRecordAndSendsEmptyTextsAsNull)
{
    answer_status(kInsert, 0, 2);
    METADATA records[2] = {record(11, "source", "it's field work"), record(12, "", "")};
    snprintf(records[0].class_name, sizeof(records[0].class_name), "%s", "survey");
    METADATA *first = records;
    ASSERT_EQ(DB_sp_metadata_def_insert(nullptr, &first, 2), ZE_SUCCESS);
    EXPECT_EQ(all_params_of(kInsert),
              (std::vector<Strings>{
                  {"11", "roads", "bob", "1", "survey", "source", "it's field work", "NULL"},
                  {"12", "roads", "bob", "1", "NULL", "NULL", "NULL", "NULL"}}));
    EXPECT_EQ(Executed(), (Strings{kInsert, kInsert})); // no commit
    EXPECT_EQ(DB_sp_metadata_def_insert(nullptr, &first, 0), ZE_SUCCESS);
    EXPECT_EQ(DB_sp_metadata_def_insert(nullptr, &first, -1), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_sp_metadata_def_insert(nullptr, nullptr, 1), ZE_NULL_POINTER);
    EXPECT_EQ(Executed().size(), 2u);
}

TEST_F(Metadata, RoutineStatusesAreMappedAndStopTheInsert)
{
    const struct {
        int32_t status;
        int32_t code;
        int32_t native;
    } cases[] = {{-20010, -10, 0},
                 {-20998, -998, 0},
                 {-20999, ZE_DBMS_ERROR, -20999},
                 {5, ZE_DBMS_ERROR, 5}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.status);
        const size_t before = Executed().size();
        answer_status(kInsert, c.status);
        METADATA records[2] = {record(1, "a", "b"), record(2, "c", "d")};
        METADATA *first = records;
        EXPECT_EQ(DB_sp_metadata_def_insert(nullptr, &first, 2), c.code);
        DB_EXT_ERROR x;
        DB_instance_get_xerr(&x);
        EXPECT_EQ(x.native_error, c.native);
        EXPECT_STREQ(x.message,
                     "Error executing stored procedure zel.metadata_util.insert_metadata");
        EXPECT_EQ(Executed().size(), before + 1); // the second record is not sent
    }
}

TEST_F(Metadata, AnEmptyStatusIsAFailure)
{
    scli::on_sql(kUpdate).columns({{"status", SQL_INTEGER}});
    METADATA m = record(3, "p", "v");
    EXPECT_EQ(DB_sp_metadata_def_update(nullptr, &m), ZE_DBMS_ERROR);
    scli::on_sql(kUpdate).columns({{"status", SQL_INTEGER}}).row({scli::null()});
    EXPECT_EQ(DB_sp_metadata_def_update(nullptr, &m), ZE_DBMS_ERROR);
}

TEST_F(Metadata, UpdateSendsTheTextsAndTheTime)
{
    answer_status(kUpdate, 0);
    METADATA m = record(3, "source", "");
    snprintf(m.description, sizeof(m.description), "%s", "new");
    ASSERT_EQ(DB_sp_metadata_def_update(nullptr, &m), ZE_SUCCESS);
    std::vector<Strings> params = all_params_of(kUpdate);
    ASSERT_EQ(params.size(), 1u);
    ASSERT_EQ(params[0].size(), 6u);
    EXPECT_EQ((Strings(params[0].begin(), params[0].begin() + 5)),
              (Strings{"3", "NULL", "source", "NULL", "new"}));
    EXPECT_EQ(params[0][5].size(), std::string("2024-03-01 12:30:00").size());
    EXPECT_EQ(Executed(), Strings{kUpdate}); // no commit

    answer_status(kUpdate, -20005);
    EXPECT_EQ(DB_sp_metadata_def_update(nullptr, &m), -5);
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x);
    EXPECT_STREQ(x.message, "Error executing stored procedure zel.metadata_util.update_metadata");
    EXPECT_EQ(DB_sp_metadata_def_update(nullptr, nullptr), ZE_NULL_POINTER);
}

TEST_F(Metadata, DeleteFillsTheTenPlacesAndCommits)
{
    answer_status(kDelete, 0);
    const int32_t ids[] = {4, 5, 6};
    ASSERT_EQ(DB_sp_metadata_def_delete(nullptr, 3, ids), ZE_SUCCESS);
    EXPECT_EQ(all_params_of(kDelete),
              (std::vector<Strings>{{"4", "5", "6", "-1", "-1", "-1", "-1", "-1", "-1", "-1"}}));
    EXPECT_EQ(Executed(), (Strings{kDelete, "COMMIT"}));

    answer_status(kDelete, -20100);
    EXPECT_EQ(DB_sp_metadata_def_delete(nullptr, 1, ids), -100);
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x);
    EXPECT_STREQ(x.message, "Error executing stored procedure zel:zel.delete_metadata");
    EXPECT_EQ(Executed().back(), kDelete); // no commit after a refusal
}

TEST_F(Metadata, DeleteRefusesACountOutsideOneToTen)
{
    const int32_t ids[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    for (int32_t count : {0, -1, 11}) {
        SCOPED_TRACE(count);
        EXPECT_EQ(DB_sp_metadata_def_delete(nullptr, count, ids), ZE_INVALID_ARGUMENT);
    }
    EXPECT_EQ(DB_sp_metadata_def_delete(nullptr, 2, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(Executed(), Strings{});
}

TEST_F(Metadata, DeleteByQueryCallsTheRoutineTenIdsAtATime)
{
    const std::string select = "SELECT record_id FROM x";
    scli::Answer &rows = scli::on_sql(select).columns({{"record_id", SQL_INTEGER}});
    for (int32_t id = 1; id <= 23; id++)
        rows.row({scli::i32(id)});
    answer_status(kDelete, 0, 3);
    ASSERT_EQ(metadata_delete_by_query(nullptr, select.c_str(), 1), ZE_SUCCESS);
    EXPECT_EQ(all_params_of(kDelete),
              (std::vector<Strings>{{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
                                    {"11", "12", "13", "14", "15", "16", "17", "18", "19", "20"},
                                    {"21", "22", "23", "-1", "-1", "-1", "-1", "-1", "-1", "-1"}}));
    EXPECT_EQ(Executed(), (Strings{select, kDelete, kDelete, kDelete, "COMMIT"}));
}

TEST_F(Metadata, DeleteByQueryIsAllOrNothing)
{
    const std::string select = "SELECT record_id FROM x";
    scli::Answer &rows = scli::on_sql(select).columns({{"record_id", SQL_INTEGER}});
    for (int32_t id = 1; id <= 12; id++)
        rows.row({scli::i32(id)});
    answer_status(kDelete, 0);
    answer_status(kDelete, -20001);
    EXPECT_EQ(metadata_delete_by_query(nullptr, select.c_str(), 1), -1);
    EXPECT_EQ(Executed(), (Strings{select, kDelete, kDelete, "ROLLBACK"}));
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x); // the routine's failure, not the rollback's
    EXPECT_STREQ(x.message, "Error executing stored procedure zel:zel.delete_metadata");

    // Without the commit the caller's transaction is left to the caller.
    scli::on_sql(select).columns({{"record_id", SQL_INTEGER}}).row({scli::i32(1)});
    answer_status(kDelete, -20001);
    EXPECT_EQ(metadata_delete_by_query(nullptr, select.c_str(), 0), -1);
    EXPECT_EQ(Executed().back(), kDelete);

    // Nothing selected: nothing called, the commit still ends the transaction.
    scli::on_sql(select).columns({{"record_id", SQL_INTEGER}});
    EXPECT_EQ(metadata_delete_by_query(nullptr, select.c_str(), 1), ZE_SUCCESS);
    EXPECT_EQ(Executed().back(), "COMMIT");

    scli::on_sql(select).fail(SQL_ERROR, {"42000", -201, "syntax"});
    EXPECT_EQ(metadata_delete_by_query(nullptr, select.c_str(), 1), ZE_DBMS_ERROR);
    EXPECT_EQ(Executed().back(), select);
    EXPECT_EQ(metadata_delete_by_query(nullptr, nullptr, 1), ZE_NULL_POINTER);
}

TEST_F(Metadata, DeleteByWhereSelectsTheTablesRows)
{
    const std::string head = "SELECT m.record_id FROM " + kTable +
                             " m WHERE m.object_type = 1 AND    m.object_owner = 'o''neil' AND "
                             "m.object_name = 'roads'";
    REGISTRATION r{};
    snprintf(r.owner, sizeof(r.owner), "%s", "o'neil");
    snprintf(r.table_name, sizeof(r.table_name), "%s", "roads");
    const struct {
        const char *where;
        std::string sql;
    } cases[] = {
        {nullptr, head},
        {"", head},
        {"  WHERE property = 'x'", head + " AND (property = 'x')"},
        {"class_name IS NULL", head + " AND (class_name IS NULL)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        scli::on_sql(c.sql).columns({{"record_id", SQL_INTEGER}}).row({scli::i32(9)});
        answer_status(kDelete, 0);
        ASSERT_EQ(DB_sp_metadata_def_delete_by_where(nullptr, &r, c.where), ZE_SUCCESS);
        const Strings all = Executed();
        const Strings tail(all.end() - 3, all.end());
        EXPECT_EQ(tail, (Strings{c.sql, kDelete, "COMMIT"}));
    }
    EXPECT_EQ(DB_sp_metadata_def_delete_by_where(nullptr, nullptr, nullptr), ZE_NULL_POINTER);
}

TEST_F(Metadata, DeleteByWhereRefusesAConditionThatLeavesItsParentheses)
{
    REGISTRATION r{};
    snprintf(r.owner, sizeof(r.owner), "%s", "o");
    snprintf(r.table_name, sizeof(r.table_name), "%s", "roads");
    for (const char *where :
         {"1=0 {(}) OR (1=1 {)}", "1=0) OR (1=1", "1=1 -- (", "1=0 /*(*/) OR (1=1 /*)*/"}) {
        SCOPED_TRACE(where);
        EXPECT_EQ(DB_sp_metadata_def_delete_by_where(nullptr, &r, where), ZE_INVALID_ARGUMENT);
        EXPECT_TRUE(Executed().empty());
    }
}
