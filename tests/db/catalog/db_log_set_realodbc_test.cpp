// The log-file set operations' statements that SQLite speaks unchanged (the
// count, the union's working view and the INSERT that reads it, the
// difference, the copy of distinct ids), run through unixODBC's driver
// manager and the SQLite ODBC driver over two owners' data tables holding
// fixture logs with duplicates and other logs' rows beside them; each result
// equals std::set_* over the same ids. The intersection (SELECT UNIQUE), the
// symmetric difference (parenthesised members of a UNION), the duplicate
// removal (SPL) and the catalogue's qualified names stay with the scripted
// tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <sqlext.h>

#include "db/catalog/db_log_set_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_stmt_internal.h"
#include "tests/db/core/realodbc_fixture.h"

namespace
{

class RealLogSet : public RealOdbcFixture
{
  protected:
    static void SetUpTestSuite()
    {
        connect_suite("/tmp/zel_logsetreal_XXXXXX");
        for (const char *table : {"bob_zel_logfile_data", "ann_zel_logfile_data"})
            run(std::string("CREATE TABLE ") + table +
                " (  logfile_data_id INTEGER NOT NULL,  zel_row_id      INTEGER NOT NULL) ");
        // Log 1 of bob and log 2 of ann, each with duplicates, and rows of
        // other data ids (another log, orphans) that no result may take.
        fill("bob_zel_logfile_data", 1, first_ids());
        fill("ann_zel_logfile_data", 2, second_ids());
        fill("bob_zel_logfile_data", 2, {1000, 1001});
        fill("ann_zel_logfile_data", 1, {2000});
        fill("bob_zel_logfile_data", -1, {3000, 4});
    }

    static void TearDownTestSuite()
    {
        end_suite();
    }

    static void run(const std::string &sql)
    {
        const int rc = db_execute_ddlsql(sql.c_str(), 1, 1);
        ASSERT_TRUE(rc == 0 || rc == SQL_SUCCESS_WITH_INFO) << rc << " " << sql;
    }

    static void fill(const std::string &table, int32_t data_id, const std::vector<int32_t> &ids)
    {
        std::string sql = "INSERT INTO " + table + " VALUES ";
        for (size_t i = 0; i < ids.size(); i++)
            sql +=
                (i ? ", (" : "(") + std::to_string(data_id) + ", " + std::to_string(ids[i]) + ")";
        run(sql);
    }

    // Ids of log 1: every third number below 300, some twice; of log 2:
    // every fifth, some twice. They overlap and each has ids of its own.
    static std::vector<int32_t> first_ids()
    {
        std::vector<int32_t> ids;
        for (int32_t id = 3; id < 300; id += 3)
            ids.push_back(id);
        for (int32_t id = 9; id < 100; id += 9)
            ids.push_back(id);
        return ids;
    }
    static std::vector<int32_t> second_ids()
    {
        std::vector<int32_t> ids;
        for (int32_t id = 5; id < 400; id += 5)
            ids.push_back(id);
        for (int32_t id = 15; id < 200; id += 30)
            ids.push_back(id);
        return ids;
    }
    static std::set<int32_t> as_set(const std::vector<int32_t> &ids)
    {
        return std::set<int32_t>(ids.begin(), ids.end());
    }

    // The first column of every row of a query, in order.
    static std::vector<int32_t> column_of(const std::string &sql)
    {
        std::vector<int32_t> out;
        SQLHSTMT hstmt = SQL_NULL_HSTMT;
        EXPECT_EQ(db_prepare_cursor(nullptr, &hstmt, sql.c_str(), 0), 0) << sql;
        SQLINTEGER value = 0;
        SQLLEN indicator = 0;
        EXPECT_TRUE(SQL_SUCCEEDED(SQLBindCol(hstmt, 1, SQL_C_LONG, &value, 0, &indicator)));
        EXPECT_EQ(db_execute_stmt(&hstmt, 1, DB_EXEC_NO_COMMIT), 0) << sql;
        SQLULEN fetched = 0;
        while (db_fetch_rows(&hstmt, 1, &fetched) == 0)
            out.push_back(value);
        db_free_stmt(&hstmt);
        return out;
    }

    // The rows a target data id holds in bob's table: (distinct ids, rows).
    static std::pair<std::vector<int32_t>, size_t> target(int32_t data_id)
    {
        const std::vector<int32_t> rows =
            column_of("SELECT zel_row_id FROM bob_zel_logfile_data WHERE logfile_data_id = " +
                      std::to_string(data_id) + " ORDER BY zel_row_id");
        std::vector<int32_t> distinct = rows;
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        return {distinct, rows.size()};
    }

    static int32_t counted(int32_t data_id)
    {
        const std::vector<int32_t> count =
            column_of(db_log_count_sql("bob_zel_logfile_data", data_id));
        EXPECT_EQ(count.size(), 1u);
        return count.empty() ? -1 : count[0];
    }

    // bob's log 1 and ann's log 2 into bob's data id t.
    static DB_LOG_COMBINE_SQL tables(int32_t t)
    {
        DB_LOG_COMBINE_SQL s;
        s.target = "bob_zel_logfile_data";
        s.t = t;
        s.first = "bob_zel_logfile_data";
        s.a = 1;
        s.second = "ann_zel_logfile_data";
        s.b = 2;
        return s;
    }
};

TEST_F(RealLogSet, CountGivesTheDistinctIds)
{
    EXPECT_EQ(counted(1), static_cast<int32_t>(as_set(first_ids()).size()));
    EXPECT_EQ(counted(77), 0);
    EXPECT_LT(static_cast<size_t>(counted(1)), first_ids().size()); // the fixture has duplicates
}

TEST_F(RealLogSet, UnionThroughItsViewEqualsSetUnion)
{
    const std::set<int32_t> a = as_set(first_ids()), b = as_set(second_ids());
    std::vector<int32_t> expected;
    std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(expected));

    const std::string view = db_log_combine_view_name(DB_LOG_UNION, "bob_c", 0, 12340042);
    EXPECT_EQ(view, "bob_c_UNION_0_12340042");
    run(db_log_combine_view_sql(DB_LOG_UNION, tables(10), view));
    run(db_log_combine_insert_sql(DB_LOG_UNION, tables(10), view));
    run("DROP VIEW " + view);
    const auto [ids, rows] = target(10);
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(rows, expected.size()); // UNION leaves no duplicate
    EXPECT_EQ(counted(10), static_cast<int32_t>(expected.size()));
}

TEST_F(RealLogSet, DifferenceEqualsSetDifference)
{
    const std::set<int32_t> a = as_set(first_ids()), b = as_set(second_ids());
    std::vector<int32_t> expected;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(expected));
    EXPECT_EQ(db_log_combine_view_sql(DB_LOG_DIFFERENCE, tables(11), ""), "");
    run(db_log_combine_insert_sql(DB_LOG_DIFFERENCE, tables(11), ""));
    const auto [ids, rows] = target(11);
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(rows, expected.size());

    // The other way round: ann's ids not in bob's, into bob's table.
    DB_LOG_COMBINE_SQL reverse = tables(12);
    std::swap(reverse.first, reverse.second);
    std::swap(reverse.a, reverse.b);
    expected.clear();
    std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(expected));
    run(db_log_combine_insert_sql(DB_LOG_DIFFERENCE, reverse, ""));
    EXPECT_EQ(target(12).first, expected);
}

// The copy, also of one owner's log into another's table, takes each id once.
TEST_F(RealLogSet, CopyTakesEachIdOnce)
{
    run(db_log_copy_rows_sql("bob_zel_logfile_data", 13, "bob_zel_logfile_data", 1));
    const std::set<int32_t> a = as_set(first_ids());
    const auto [ids, rows] = target(13);
    EXPECT_EQ(ids, std::vector<int32_t>(a.begin(), a.end()));
    EXPECT_EQ(rows, a.size());
    run(db_log_copy_rows_sql("bob_zel_logfile_data", 14, "ann_zel_logfile_data", 2));
    const std::set<int32_t> b = as_set(second_ids());
    EXPECT_EQ(target(14).first, std::vector<int32_t>(b.begin(), b.end()));
    EXPECT_EQ(counted(14), static_cast<int32_t>(b.size()));
    // An empty source copies nothing, which is no failure.
    const int rc = db_execute_dml(
        db_log_copy_rows_sql("bob_zel_logfile_data", 15, "ann_zel_logfile_data", 99).c_str(), 0,
        DB_EXEC_NO_COMMIT);
    EXPECT_TRUE(rc == 0 || rc == SQL_NO_DATA) << rc;
    EXPECT_EQ(target(15).second, 0u);
}

} // namespace
