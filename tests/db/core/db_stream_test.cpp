// The stream's extended error record: a failure on a stream fills the
// stream's record and leaves the connection-level record alone.
#include <gtest/gtest.h>

#include <string.h>

#include <memory>
#include <string>

#include "base/util/zel_errors.h"
#include "db/core/db_connect.h"
#include "db/core/db_stream.h"

namespace
{

TEST(StreamXerr, FailureFillsOnlyTheStreamRecord)
{
    auto stream = std::make_unique<DB_STREAM>();
    DB_instance_clear_xerr();
    CLI_DIAG_RECORD d;
    memset(&d, 0, sizeof(d));
    d.code = -1;
    strcpy(d.sqlstate, "S0022");
    strcpy(d.message, "Column not found.");
    d.native_error = -217;
    testing::internal::CaptureStderr();
    const char *state = db_stream_set_xerr_from_diag(stream.get(), d);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ZEL_ODBC_STREAM Error: -1\nColumn not found.\n");
    EXPECT_EQ(state, stream->xerr.text);
    EXPECT_EQ(db_global_xerr.code, 0);

    DB_EXT_ERROR x;
    EXPECT_EQ(DB_stream_get_xerr(&x, stream.get()), &x);
    EXPECT_EQ(x.code, ZE_DBMS_ERROR);
    EXPECT_EQ(x.native_error, -217);
    EXPECT_STREQ(x.message, "Column not found.");
    EXPECT_STREQ(x.text, "S0022");
    memset(&x, 0, sizeof(x));
    db_stream_copy_xerr(&x, stream.get());
    EXPECT_STREQ(x.text, "S0022");

    DB_stream_clear_xerr(stream.get());
    DB_stream_get_xerr(&x, stream.get());
    EXPECT_EQ(x.code, 0);
    EXPECT_EQ(x.native_error, 0);
    EXPECT_STREQ(x.message, "");
    EXPECT_STREQ(x.text, "");
}

TEST(StreamXerr, NullStreamIsIgnored)
{
    DB_stream_clear_xerr(nullptr);
    DB_EXT_ERROR x;
    x.code = 7;
    DB_stream_get_xerr(&x, nullptr);
    EXPECT_EQ(x.code, 0);
    CLI_DIAG_RECORD d;
    memset(&d, 0, sizeof(d));
    testing::internal::CaptureStderr();
    EXPECT_STREQ(db_stream_set_xerr_from_diag(nullptr, d), "");
    testing::internal::GetCapturedStderr();
}

} // namespace
