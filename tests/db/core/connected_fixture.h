// The connected fixtures of the database tests: one family, each a step on
// the one above it. Every one resets the scripted CLI before a test and checks
// after it that no handle leaked (scli::Fixture).
//
//   Unconnected     no connection yet: ZEL_DATABASE unset, the administrative
//                   database at its default, the connection-level error record
//                   cleared; a connection the test leaves is closed after it.
//                   Journal(), Calls(), Details() and Executed() list what
//                   was called and run since MarkNow() (each fixture below
//                   marks at the end of its set-up).
//   Connected       connected through db_connect to the administrative
//                   database.
//   ConnectedUser   Connected, with "bob" as the connection's user, "gis" as
//                   the connected database and a single-byte code page for
//                   folding identifiers: for name building and catalogue SQL.
//   DbtuneTest      ConnectedUser with the DBTUNE store on the scripted CLI
//                   and a fresh ZELHOME (dbtune_fixture.h).
//   CliConnected    Unconnected, then a connection made directly through the
//                   CLI, not through db_connect: for the statement record and
//                   large objects, whose tests count every CLI call.
//   LayerFixture    Unconnected, then an instance opened as "bob" on "gis"
//                   with a layer cache and the host double
//                   (tests/db/catalog/layer_fixture.h).
//
// Tests of the instance open and close themselves open their own instance.
#pragma once

#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "base/util/ve_codepage_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_instance_user_internal.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/scripted_cli.h"

class Unconnected : public scli::Fixture
{
  protected:
    void SetUp() override
    {
        scli::Fixture::SetUp();
        unsetenv("ZEL_DATABASE");
        db_connection()->admin_database[0] = '\0';
        DB_instance_clear_xerr();
    }

    void TearDown() override
    {
        // Also frees what a test that made the disconnect fail left.
        quiet_stderr([] { db_connection_release(); });
        scli::Fixture::TearDown();
    }

    // The lists below start from here on.
    void MarkNow()
    {
        mark_ = scli::journal().size();
        executed_mark_ = scli::executed().size();
    }

    // Every journal entry since the mark.
    std::vector<scli::Call> Journal() const
    {
        const std::vector<scli::Call> &j = scli::journal();
        return std::vector<scli::Call>(j.begin() + static_cast<long>(mark_), j.end());
    }

    // "fn" of every call since the mark, in order.
    std::vector<std::string> Calls() const
    {
        std::vector<std::string> out;
        for (const scli::Call &c : Journal())
            out.push_back(c.fn);
        return out;
    }

    // "detail" of every call of fn since the mark.
    std::vector<std::string> Details(const std::string &fn) const
    {
        std::vector<std::string> out;
        for (const scli::Call &c : Journal())
            if (c.fn == fn)
                out.push_back(c.detail);
        return out;
    }

    // Executed SQL and COMMIT/ROLLBACK markers since the mark.
    std::vector<std::string> Executed() const
    {
        std::vector<std::string> all = scli::executed();
        return std::vector<std::string>(all.begin() + static_cast<long>(executed_mark_), all.end());
    }

  private:
    size_t mark_ = 0;
    size_t executed_mark_ = 0;
};

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
        MarkNow();
    }
};

class ConnectedUser : public Connected
{
  protected:
    void SetUp() override
    {
        Connected::SetUp();
        db_instance_set_current_user("bob");
        scli::set_info_text(SQL_DATABASE_NAME, "gis");
        latin_.native = {VE_CODEPAGE_1252, VE_CODEPAGE_SINGLE_BYTE, "1252"};
        latin_.other = latin_.native;
        db_identifier_codepage = &latin_;
    }
    void TearDown() override
    {
        db_identifier_codepage = nullptr;
        db_instance_set_current_user(nullptr);
        Connected::TearDown();
    }
    VE_CODEPAGE latin_{};
};

class CliConnected : public Unconnected
{
  protected:
    void SetUp() override
    {
        Unconnected::SetUp();
        connect();
    }
    void TearDown() override
    {
        disconnect();
        Unconnected::TearDown();
    }

    void connect()
    {
        DB_CONNECTION *c = db_connection();
        ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &c->henv), SQL_SUCCESS);
        SQLSetEnvAttr(c->henv, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
        ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, c->henv, &c->hdbc), SQL_SUCCESS);
        ASSERT_EQ(SQLConnect(c->hdbc, (SQLCHAR *)"zel", SQL_NTS, (SQLCHAR *)"zel", SQL_NTS,
                             (SQLCHAR *)"secret", SQL_NTS),
                  SQL_SUCCESS);
        c->connected = true;
        DB_instance_clear_xerr();
        setup_calls_ = static_cast<int>(scli::journal().size());
    }

    void disconnect()
    {
        db_connection_free_handles();
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
