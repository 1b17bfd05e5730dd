// The statement record through unixODBC's driver manager and the SQLite ODBC
// driver: a one-shot CREATE, inserts with parameters bound by position, the
// rows read back one by one and in rowsets, the column description, and a
// failing prepare whose diagnostic reaches the connection's record only when
// the caller saves it. Only dialect-neutral SQL goes through.
#include "db/core/db_cli_internal.h"

#include <string.h>

#include <gtest/gtest.h>

#include "base/util/zel_errors.h"
#include "db/core/db_connect_internal.h"
#include "tests/db/core/realodbc_fixture.h"

namespace
{

class RealCli : public RealOdbcFixture
{
  protected:
    static void SetUpTestSuite()
    {
        connect_suite("/tmp/zel_clireal_XXXXXX");
    }

    static void TearDownTestSuite()
    {
        end_suite();
    }
};

TEST_F(RealCli, RoundTripThroughTheRecord)
{
    ASSERT_EQ(
        db_odbc_execute_ddlsql("CREATE TABLE lots (id INTEGER NOT NULL, name VARCHAR(20))", 1, 1),
        0);

    CLI_STATEMENT ins;
    db_cli_init(&ins);
    ASSERT_EQ(db_cli_prepare(&ins, "INSERT INTO lots VALUES (?, ?)"), 0);
    SQLINTEGER id = 0;
    char name[21] = "";
    ASSERT_EQ(db_cli_bind_by_pos(&ins, SQL_C_SLONG, SQL_INTEGER, 0, &id, 0, nullptr), 0);
    ASSERT_EQ(db_cli_bind_by_pos(&ins, SQL_C_CHAR, SQL_VARCHAR, 20, name, sizeof name, nullptr), 0);
    const char *names[] = {"first", "second", "third"};
    for (int i = 0; i < 3; i++) {
        id = i + 1;
        strcpy(name, names[i]);
        ASSERT_EQ(db_cli_execute_stmt(&ins, 1), 0) << ins.message;
    }
    db_cli_free(&ins);
    ASSERT_EQ(db_odbc_commit(), 0);

    CLI_STATEMENT sel;
    db_cli_init(&sel);
    ASSERT_EQ(db_cli_prepare(&sel, "SELECT id, name FROM lots ORDER BY id"), 0);
    SQLINTEGER got_id = 0;
    char got_name[21] = "";
    ASSERT_EQ(db_cli_define_by_pos(&sel, SQL_C_SLONG, &got_id, 0, nullptr), 0);
    ASSERT_EQ(db_cli_define_by_pos(&sel, SQL_C_CHAR, got_name, sizeof got_name, nullptr), 0);
    ASSERT_EQ(db_cli_execute_stmt(&sel, 1), 0);
    for (int i = 0; i < 3; i++) {
        ASSERT_EQ(db_cli_fetch(&sel), 0) << sel.message;
        EXPECT_EQ(got_id, i + 1);
        EXPECT_STREQ(got_name, names[i]);
    }
    EXPECT_EQ(db_cli_fetch(&sel), ZE_NO_MORE_ROWS);
    ASSERT_EQ(db_cli_close_cursor(&sel), 0);

    // Rowsets of two into column arrays.
    ASSERT_EQ(db_cli_prepare(&sel, "SELECT id FROM lots ORDER BY id"), 0);
    SQLINTEGER ids[2] = {};
    SQLLEN id_lengths[2] = {};
    ASSERT_EQ(db_cli_define_by_pos(&sel, SQL_C_SLONG, ids, 0, id_lengths), 0);
    ASSERT_EQ(db_cli_execute_stmt(&sel, 2), 0);
    ASSERT_EQ(db_cli_fetch(&sel), 0);
    EXPECT_EQ(db_cli_get_rows_fetched(&sel), 2u);
    EXPECT_EQ(ids[1], 2);
    ASSERT_EQ(db_cli_fetch(&sel), 0);
    EXPECT_EQ(db_cli_get_rows_fetched(&sel), 1u);
    EXPECT_EQ(ids[0], 3);
    EXPECT_EQ(db_cli_fetch(&sel), ZE_NO_MORE_ROWS);
    db_cli_free(&sel);

    int32_t nullable = -1;
    ASSERT_EQ(db_cli_column_is_nullable(nullptr, nullptr, "lots", "id", &nullable), 0);
    EXPECT_EQ(nullable, 0);
    ASSERT_EQ(db_cli_column_is_nullable(nullptr, nullptr, "lots", "name", &nullable), 0);
    EXPECT_EQ(nullable, 1);
    EXPECT_EQ(db_cli_column_is_nullable(nullptr, nullptr, "lots", "nothing", &nullable),
              ZE_NO_MORE_ROWS);

    EXPECT_EQ(db_odbc_execute_ddlsql("DROP TABLE lots", 1, 1), 0);
}

TEST_F(RealCli, FailedPrepareIsSavedOnRequest)
{
    CLI_STATEMENT cli;
    db_cli_init(&cli);
    EXPECT_LT(db_cli_prepare(&cli, "SELECT x FROM no_such_table"), 0);
    EXPECT_NE(strstr(cli.message, "no such table"), nullptr) << cli.message;
    EXPECT_EQ(strlen(cli.sqlstate), 5u);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.code, 0);
    db_cli_save_error(&cli);
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.code, ZE_DBMS_ERROR);
    EXPECT_STREQ(xerr.message, cli.message);
    EXPECT_STREQ(xerr.text, cli.sqlstate);
    db_cli_free(&cli);
}

} // namespace
