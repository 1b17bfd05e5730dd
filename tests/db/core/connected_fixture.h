// Test fixture of the access core's journal tests: the scripted CLI reset,
// the process connection made before each test and closed after it, and
// helpers that list the calls a test made after the connect.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/core/db_connect_internal.h"
#include "db/core/db_diag_internal.h"
#include "tests/support/scripted_cli.h"

// No connection yet: the scripted CLI reset, the administrative database at
// its default, the connection-level record cleared. Whatever connection a
// test leaves is closed after it.
class Unconnected : public scli::Fixture
{
  protected:
    void SetUp() override
    {
        scli::Fixture::SetUp();
        unsetenv("ZEL_DATABASE");
        db_admin_database[0] = '\0';
        DB_instance_clear_xerr();
    }

    void TearDown() override
    {
        if (db_hdbc != SQL_NULL_HDBC) {
            testing::internal::CaptureStderr();
            db_disconnect();
            testing::internal::GetCapturedStderr();
        }
        // A test that made the disconnect fail leaves the handles: free them.
        if (db_hdbc != SQL_NULL_HDBC) {
            SQLDisconnect(db_hdbc);
            SQLFreeHandle(SQL_HANDLE_DBC, db_hdbc);
            SQLFreeHandle(SQL_HANDLE_ENV, db_henv);
        }
        db_hdbc = SQL_NULL_HDBC;
        db_henv = SQL_NULL_HENV;
        scli::Fixture::TearDown();
    }
};

// Connected to the administrative database before each test.
class Connected : public Unconnected
{
  protected:
    void SetUp() override
    {
        Unconnected::SetUp();
        char database[DB_ADMIN_DATABASE_SIZE] = "";
        CLI_DIAG_RECORD diag = db_connect("zel", "pw", database, sizeof(database));
        ASSERT_EQ(diag.code, SQL_SUCCESS);
        DB_instance_clear_xerr();
        mark_ = scli::journal().size();
        executed_mark_ = scli::executed().size();
    }

    // "fn" of every call since the connect, in order.
    std::vector<std::string> Calls() const
    {
        std::vector<std::string> out;
        const std::vector<scli::Call> &j = scli::journal();
        for (size_t i = mark_; i < j.size(); i++)
            out.push_back(j[i].fn);
        return out;
    }

    // "fn detail" of every call of fn since the connect.
    std::vector<std::string> Details(const std::string &fn) const
    {
        std::vector<std::string> out;
        const std::vector<scli::Call> &j = scli::journal();
        for (size_t i = mark_; i < j.size(); i++)
            if (j[i].fn == fn)
                out.push_back(j[i].detail);
        return out;
    }

    // Executed SQL and COMMIT/ROLLBACK markers since the connect.
    std::vector<std::string> Executed() const
    {
        std::vector<std::string> all = scli::executed();
        return std::vector<std::string>(all.begin() + static_cast<long>(executed_mark_), all.end());
    }

    size_t mark_ = 0;
    size_t executed_mark_ = 0;
};
