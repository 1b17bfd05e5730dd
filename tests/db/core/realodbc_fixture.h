// Test fixture of the real-driver tests: unixODBC's driver manager and the
// SQLite ODBC driver over a file database in a temporary folder, its DSN in
// temporary odbcinst.ini and odbc.ini files. One connection serves the whole
// suite; each test starts with the connection-level record cleared.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "db/core/db_connect_internal.h"

#if defined(__SANITIZE_ADDRESS__)
#define S_HAVE_LSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define S_HAVE_LSAN 1
#endif
#endif
#ifdef S_HAVE_LSAN
#include <sanitizer/lsan_interface.h>
#endif

class RealOdbcFixture : public ::testing::Test
{
  protected:
    // Makes the folder from pattern (a mkdtemp template), writes the DSN "zel"
    // there and connects; the connect's code lands in connect_code_ and the
    // administrative database's name in database.
    static void connect_to_sqlite(const char *pattern, char *database, size_t size)
    {
        std::string tmpl = pattern;
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        std::ofstream(dir_ + "/odbcinst.ini")
            << "[SQLite3]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n";
        // The data source carries the administrative database's name.
        std::ofstream(dir_ + "/odbc.ini")
            << "[zel]\nDriver=SQLite3\nDatabase=" << dir_ << "/zel.db\n";
        setenv("ODBCSYSINI", dir_.c_str(), 1);
        setenv("ODBCINI", (dir_ + "/odbc.ini").c_str(), 1);
        unsetenv("ZEL_DATABASE");
#ifdef S_HAVE_LSAN
        // The driver manager and driver keep a few blocks per connect that
        // they never free; our own allocations are checked by the scripted tests.
        __lsan_disable();
#endif
        connect_code_ = db_connect("zel", "secret", database, size).code;
#ifdef S_HAVE_LSAN
        __lsan_enable();
#endif
    }

    static void remove_folder()
    {
        std::filesystem::remove_all(dir_);
    }

    // A suite's whole connection: connect_suite in SetUpTestSuite (a folder
    // from pattern), end_suite in TearDownTestSuite (the connection's
    // teardown, then the folder).
    static void connect_suite(const char *pattern)
    {
        char database[DB_ADMIN_DATABASE_SIZE] = "";
        connect_to_sqlite(pattern, database, sizeof database);
    }
    static void end_suite()
    {
        db_connection_release();
        remove_folder();
    }

    void SetUp() override
    {
        ASSERT_TRUE(connect_code_ == SQL_SUCCESS || connect_code_ == SQL_SUCCESS_WITH_INFO)
            << connect_code_;
        DB_instance_clear_xerr();
    }

    inline static std::string dir_;
    inline static int connect_code_ = 0;
};
