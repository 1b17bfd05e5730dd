// The state readers through unixODBC's driver manager and the SQLite ODBC
// driver: STATES rows of 230 states fetched in rowsets of 100 bound row-wise
// by the block cursor (timestamps, a NULL closing time, owners), and a
// lineage of 150 rows read from a real state_lineages table in rowsets.
// Texts SQLite does not speak (database:owner.table) stay with the scripted
// tests.
#include "db/version/db_state_internal.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "base/util/ve_lineage_internal.h"
#include "base/util/zel_errors.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_stmt_internal.h"
#include "tests/db/core/realodbc_fixture.h"

namespace
{

class RealState : public RealOdbcFixture
{
  protected:
    static void SetUpTestSuite()
    {
        char database[DB_ADMIN_DATABASE_SIZE] = "";
        connect_to_sqlite("/tmp/zel_statereal_XXXXXX", database, sizeof database);
    }

    static void TearDownTestSuite()
    {
        db_disconnect();
        remove_folder();
    }

    static void run(const std::string &sql)
    {
        ASSERT_EQ(db_execute_ddlsql(sql.c_str(), 1, 1), 0) << sql;
    }
};

TEST_F(RealState, BlockCursorDeliversEveryRowOfItsRowsets)
{
    run("CREATE TABLE states (state_id INTEGER, owner VARCHAR(32), creation_time TIMESTAMP, "
        "closing_time TIMESTAMP, rid INTEGER)");
    std::string insert = "INSERT INTO states VALUES ";
    for (int32_t id = 1; id <= 230; id++)
        insert += std::string(id > 1 ? ", " : "") + "(" + std::to_string(id) + ", 'owner" +
                  std::to_string(id) + "', '2024-05-06 07:08:09', " +
                  (id % 2 ? "NULL" : "'2024-05-07 00:00:00'") + ", " + std::to_string(1000 + id) +
                  ")";
    run(insert);
    DB_BLOCK_CURSOR cursor;
    const char *sql =
        "SELECT state_id, owner, creation_time, closing_time, rid FROM states ORDER BY state_id";
    ASSERT_EQ(db_block_cursor_open(&cursor, sizeof(DB_STATE_COLUMNS), sql,
                                   [](SQLHSTMT hstmt, void *first) {
                                       return db_state_bind_columns(
                                           hstmt, static_cast<DB_STATE_COLUMNS *>(first), 5);
                                   }),
              0);
    int32_t expected = 0;
    void *row = nullptr;
    int32_t rc;
    while ((rc = db_block_cursor_next(&cursor, &row)) == 0) {
        expected++;
        const auto *columns = static_cast<const DB_STATE_COLUMNS *>(row);
        STATE state;
        db_state_fill(&state, *columns);
        ASSERT_EQ(state.state_id, expected);
        EXPECT_EQ(std::string(state.owner), "owner" + std::to_string(expected));
        EXPECT_EQ(columns->rowid, 1000 + expected);
        EXPECT_EQ(state.creation_time, 1714979289u);
        EXPECT_EQ(state.closing_time, expected % 2 ? 0u : 1715040000u);
    }
    EXPECT_EQ(rc, ZE_NO_MORE_ROWS);
    EXPECT_EQ(expected, 230);
    EXPECT_EQ(cursor.open, false);
    EXPECT_EQ(cursor.block, nullptr);
}

TEST_F(RealState, LineageOfOneHundredAndFiftyRows)
{
    // The lineage query names the table zel.state_lineages.
    run("ATTACH DATABASE ':memory:' AS zel");
    run("CREATE TABLE zel.state_lineages (state_id INTEGER, lineage_id INTEGER)");
    std::string insert = "INSERT INTO zel.state_lineages VALUES (3, 0), (3, 3)";
    for (int32_t id = 0; id < 150; id++)
        insert += ", (149, " + std::to_string(149 - id) + ")";
    run(insert);
    DB_LINEAGE_READER reader;
    ASSERT_EQ(db_state_lineage_reader_open(&reader), 0);
    STATE state{};
    for (int32_t id : {149, 3}) {
        SCOPED_TRACE(id);
        ASSERT_EQ(db_state_lineage_read(&reader, id, &state), 0);
        std::vector<int32_t> ids;
        EXPECT_EQ(ves_lineage_decode_state(&state, &ids), 0);
        std::vector<int32_t> want;
        for (int32_t a = 0; a < id; a++)
            if (id == 149 || a == 0)
                want.push_back(a);
        EXPECT_EQ(ids, want);
        free(state.lineage);
    }
    EXPECT_EQ(db_state_lineage_read(&reader, 8, &state), ZE_STATE_NOT_FOUND);
    db_state_lineage_reader_close(&reader);
}

} // namespace
