// The kept extended error records: the connection-level record's fill with
// its four standard-error lines, the bounded copy of a full-length CLI
// message, appending, reading, clearing and copying into an instance.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "base/util/zel_errors.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_instance_internal.h"
#include "tests/support/quiet_stderr.h"

namespace
{

CLI_DIAG_RECORD Diag(int32_t code, const char *sqlstate, int32_t native, const char *message)
{
    CLI_DIAG_RECORD d;
    memset(&d, 0, sizeof(d));
    d.code = code;
    snprintf(d.sqlstate, sizeof(d.sqlstate), "%s", sqlstate);
    snprintf(d.message, sizeof(d.message), "%s", message);
    d.native_error = native;
    return d;
}

class Xerr : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        DB_instance_clear_xerr();
    }
};

TEST_F(Xerr, FillPrintsFourLinesAndKeepsTheDiagnostic)
{
    StderrCapture capture;
    const char *state = db_set_xerr_from_diag(Diag(-1, "42000", -272, "No permission."));
    EXPECT_EQ(capture.text(), "ZEL_Database Error: -1\n42000\n"
                              "ODBC Error: 42000\n"
                              "Database Error: -272\n"
                              "Error Message: No permission.\n");
    DB_EXT_ERROR x;
    EXPECT_EQ(DB_instance_get_xerr(&x), &x);
    EXPECT_EQ(x.code, ZE_DBMS_ERROR);
    EXPECT_EQ(x.native_error, -272);
    EXPECT_STREQ(x.message, "No permission.");
    EXPECT_STREQ(x.text, "42000");
    EXPECT_EQ(state, db_global_xerr.text);
}

TEST_F(Xerr, EmptyDiagnosticStillFillsTheRecord)
{
    StderrCapture capture;
    db_set_xerr_from_diag(Diag(100, "", 0, ""));
    EXPECT_EQ(capture.text(),
              "ZEL_Database Error: 100\n\nODBC Error: \nDatabase Error: 0\nError Message: \n");
    EXPECT_EQ(db_global_xerr.code, ZE_DBMS_ERROR);
    EXPECT_STREQ(db_global_xerr.message, "");
    EXPECT_STREQ(db_global_xerr.text, "");
}

TEST_F(Xerr, FullLengthCliMessageIsBounded)
{
    std::string message(512, 'm');
    CLI_DIAG_RECORD d = Diag(-1, "HY000", -1, message.c_str());
    ASSERT_EQ(strlen(d.message), 512u);
    quiet_stderr([&] { db_set_xerr_from_diag(d); });
    EXPECT_EQ(std::string(db_global_xerr.message), message.substr(0, 511));
    EXPECT_EQ(db_global_xerr.native_error, -1);
}

TEST_F(Xerr, AppendTextIsCutAtTheBound)
{
    quiet_stderr([&] { db_set_xerr_from_diag(Diag(-1, "S0002", -206, "Table not found.")); });
    EXPECT_EQ(db_xerr_append_text("parcels"), 0);
    EXPECT_STREQ(db_global_xerr.message, "Table not found.(parcels)");
    EXPECT_EQ(db_xerr_append_text(nullptr), ZE_NULL_POINTER);
    EXPECT_STREQ(db_global_xerr.message, "Table not found.(parcels)");
    std::string longer(600, 'x');
    EXPECT_EQ(db_xerr_append_text(longer.c_str()), 0);
    std::string got = db_global_xerr.message;
    EXPECT_EQ(got.size(), 511u);
    EXPECT_EQ(got, ("Table not found.(parcels)(" + longer).substr(0, 511));
}

TEST_F(Xerr, ClearEmptiesBothTexts)
{
    quiet_stderr([&] { db_set_xerr_from_diag(Diag(-1, "S0002", -206, "Table not found.")); });
    db_clear_global_xerr(nullptr);
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x);
    EXPECT_EQ(x.code, 0);
    EXPECT_EQ(x.native_error, 0);
    EXPECT_STREQ(x.message, "");
    EXPECT_STREQ(x.text, "");
    EXPECT_EQ(DB_instance_get_xerr(nullptr), nullptr);
}

TEST_F(Xerr, CopyIntoInstanceRecord)
{
    // A cleared connection-level record leaves -51 in both, texts empty.
    DB_INSTANCE instance;
    memset(&instance, 0, sizeof(instance));
    const DB_EXT_ERROR &inst = instance.xerr;
    db_instance_copy_global_xerr(&instance);
    EXPECT_EQ(db_global_xerr.code, ZE_DBMS_ERROR);
    EXPECT_EQ(inst.code, ZE_DBMS_ERROR);
    EXPECT_STREQ(inst.message, "");
    EXPECT_STREQ(inst.text, "");

    // A non-zero code of the instance record stays; the rest is copied.
    quiet_stderr([&] { db_set_xerr_from_diag(Diag(-1, "S0002", -206, "Table not found.")); });
    instance.xerr.code = ZE_TABLE_NOT_FOUND;
    db_instance_copy_global_xerr(&instance);
    EXPECT_EQ(inst.code, ZE_TABLE_NOT_FOUND);
    EXPECT_EQ(inst.native_error, -206);
    EXPECT_STREQ(inst.message, "Table not found.");
    EXPECT_STREQ(inst.text, "S0002");

    // Without an instance only the connection-level code is set.
    DB_instance_clear_xerr();
    db_instance_copy_global_xerr(nullptr);
    EXPECT_EQ(db_global_xerr.code, ZE_DBMS_ERROR);
}

} // namespace
