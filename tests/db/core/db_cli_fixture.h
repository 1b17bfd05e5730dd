// Test fixture of the statement-record tests: the scripted CLI reset, one
// process connection made directly through the CLI (the connect sequence is
// tested elsewhere), and released again so the leak check sees no handle.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>

#include "db/core/db_connect_internal.h"
#include "db/core/db_diag_internal.h"
#include "tests/support/scripted_cli.h"

class CliConnected : public scli::Fixture
{
  protected:
    void SetUp() override
    {
        scli::Fixture::SetUp();
        connect();
    }
    void TearDown() override
    {
        disconnect();
        scli::Fixture::TearDown();
    }

    void connect()
    {
        ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &db_henv), SQL_SUCCESS);
        SQLSetEnvAttr(db_henv, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
        ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, db_henv, &db_hdbc), SQL_SUCCESS);
        ASSERT_EQ(SQLConnect(db_hdbc, (SQLCHAR *)"zel", SQL_NTS, (SQLCHAR *)"zel", SQL_NTS,
                             (SQLCHAR *)"secret", SQL_NTS),
                  SQL_SUCCESS);
        DB_instance_clear_xerr();
        setup_calls_ = static_cast<int>(scli::journal().size());
    }

    void disconnect()
    {
        if (db_hdbc != SQL_NULL_HDBC) {
            SQLDisconnect(db_hdbc);
            SQLFreeHandle(SQL_HANDLE_DBC, db_hdbc);
        }
        if (db_henv != SQL_NULL_HENV)
            SQLFreeHandle(SQL_HANDLE_ENV, db_henv);
        db_hdbc = SQL_NULL_HDBC;
        db_henv = SQL_NULL_HENV;
    }

    // Calls made by the fixture's connect, before the test's own.
    int setup_calls() const
    {
        return setup_calls_;
    }

    // The last journal entry of fn, null when there is none.
    static const scli::Call *last_call(const std::string &fn)
    {
        const auto &journal = scli::journal();
        for (auto it = journal.rbegin(); it != journal.rend(); ++it)
            if (it->fn == fn)
                return &*it;
        return nullptr;
    }

  private:
    int setup_calls_ = 0;
};
