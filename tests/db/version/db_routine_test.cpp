// Tests the lineage routine names and the creation of one stored routine:
// every getter and setter name, refused kinds and buffers; a CREATE that
// succeeds, succeeds with information, meets a routine of the same name
// (dropped and created again) or fails, with the error in the stream's or
// the connection's record, and the statement freed on every path.
#include "db/version/db_routine_internal.h"

#include <gtest/gtest.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_diag.h"
#include "db/core/db_stream_internal.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"

TEST(LineageRoutineName, GettersAndSetters)
{
    struct Case {
        int32_t kind;
        int32_t getter;
        const char *name; // null: refused
    } const cases[] = {
        {0, 1, "ZEL_lineage_get7"},
        {1, 1, "ZEL_sublineage_get7"},
        {2, 1, "ZEL_difflineage_get7"},
        {3, 1, "ZEL_diffsublineage_get7"},
        {4, 1, "ZEL_stateid_get7"},
        {5, 1, "ZEL_lineageid_get7"},
        {6, 1, "ZEL_startid_get"},
        {7, 1, "ZEL_endid_get"},
        {8, 1, "ZEL_diffid_get7"},
        {9, 1, "ZEL_logid_get7"},
        {-1, 1, nullptr},
        {10, 1, nullptr},
        {0, 0, "ZEL_lineage_set7"},
        {3, 0, "ZEL_lineage_set7"},
        {4, 0, "ZEL_lineageid_set7"},
        {9, 0, "ZEL_lineageid_set7"},
        {-1, 0, "ZEL_lineageid_set7"},
        {42, 0, "ZEL_lineageid_set7"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << "/" << c.getter);
        char out[64] = "stale";
        int32_t rc = db_lineage_routine_name(7, out, sizeof(out), c.kind, c.getter);
        if (c.name) {
            EXPECT_EQ(rc, ZE_SUCCESS);
            EXPECT_STREQ(out, c.name);
        } else {
            EXPECT_EQ(rc, ZE_INVALID_ARGUMENT);
            EXPECT_STREQ(out, "");
        }
    }
    char out[64];
    EXPECT_EQ(db_lineage_routine_name(-1, out, sizeof(out), 6, 1), ZE_SUCCESS);
    EXPECT_STREQ(out, "ZEL_startid_get");
    EXPECT_EQ(db_lineage_routine_name(12, out, sizeof(out), 4, 1), ZE_SUCCESS);
    EXPECT_STREQ(out, "ZEL_stateid_get12");
    EXPECT_EQ(db_lineage_routine_name(7, nullptr, 64, 0, 1), ZE_INVALID_ARGUMENT);
    // "ZEL_logid_get123" needs 17 bytes.
    char small[17] = "stale";
    EXPECT_EQ(db_lineage_routine_name(123, small, 16, 9, 1), ZE_INVALID_ARGUMENT);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(db_lineage_routine_name(123, small, 17, 9, 1), ZE_SUCCESS);
    EXPECT_STREQ(small, "ZEL_logid_get123");
}

namespace
{

const char kText[] = "CREATE FUNCTION f() RETURNING INTEGER; RETURN 1; END FUNCTION";

class CreateProcedure : public Connected
{
  protected:
    int32_t Create(DB_STREAM *stream = nullptr)
    {
        StderrCapture capture;
        int32_t rc = db_create_procedure(nullptr, stream, kText, "f");
        stderr_ = capture.text();
        return rc;
    }
    static DB_EXT_ERROR ConnectionError()
    {
        DB_EXT_ERROR xerr;
        DB_instance_get_xerr(&xerr);
        return xerr;
    }
    std::string stderr_;
};

} // namespace

TEST_F(CreateProcedure, CreatesOnAStatementOfItsOwn)
{
    EXPECT_EQ(Create(), 0);
    EXPECT_EQ(Executed(), std::vector<std::string>{kText});
    std::vector<std::string> calls;
    for (const std::string &fn : Calls())
        if (fn == "SQLPrepare" || fn == "SQLExecDirect" || fn == "SQLFreeStmt")
            calls.push_back(fn);
    EXPECT_EQ(calls, (std::vector<std::string>{"SQLPrepare", "SQLExecDirect", "SQLFreeStmt"}));

    // A warning is still a success.
    scli::on_sql(kText).info({"01000", 0, "note"});
    EXPECT_EQ(Create(), 0);
    EXPECT_EQ(stderr_, "");
}

TEST_F(CreateProcedure, ARoutineInTheWayIsDroppedAndCreatedAgain)
{
    scli::on_sql(kText).fail(SQL_ERROR, {"S0011", -673, "Function (f) already exists."});
    EXPECT_EQ(Create(), 0);
    EXPECT_EQ(Executed(), (std::vector<std::string>{kText, "drop procedure f", "COMMIT", kText}));
    EXPECT_EQ(ConnectionError().code, 0);

    // When the drop fails too, the CREATE's error is reported.
    size_t before = Executed().size();
    scli::on_sql(kText).fail(SQL_ERROR, {"S0011", -673, "Function (f) already exists."});
    scli::on_sql("drop procedure f").fail(SQL_ERROR, {"42000", -674, "in use"});
    EXPECT_EQ(Create(), SQL_ERROR);
    std::vector<std::string> ran = Executed();
    EXPECT_EQ(std::vector<std::string>(ran.begin() + static_cast<long>(before), ran.end()),
              (std::vector<std::string>{kText, "drop procedure f"}));
    EXPECT_EQ(ConnectionError().native_error, -673);
}

TEST_F(CreateProcedure, FailuresGoToTheStreamOrTheConnection)
{
    // Without a stream the connection's record takes the error.
    scli::on_sql(kText).fail(SQL_ERROR, {"42000", -201, "A syntax error has occurred."});
    EXPECT_EQ(Create(), SQL_ERROR);
    EXPECT_EQ(ConnectionError().native_error, -201);

    // With a stream its record does, and the connection's stays as it was.
    DB_instance_clear_xerr();
    auto stream = std::make_unique<DB_STREAM>();
    scli::on_sql(kText).fail(SQL_ERROR, {"42000", -201, "A syntax error has occurred."});
    EXPECT_EQ(Create(stream.get()), SQL_ERROR);
    EXPECT_EQ(stream->xerr.native_error, -201);
    EXPECT_EQ(ConnectionError().code, 0);

    // A refused prepare goes to the connection's record, stream or not.
    scli::on_sql(kText).at_prepare(SQL_ERROR, {"42000", -201, "A syntax error has occurred."});
    stream = std::make_unique<DB_STREAM>();
    EXPECT_EQ(Create(stream.get()), SQL_ERROR);
    EXPECT_EQ(ConnectionError().native_error, -201);
    EXPECT_EQ(stream->xerr.code, 0);

    EXPECT_EQ(db_create_procedure(nullptr, nullptr, nullptr, "f"), ZE_NULL_POINTER);
    EXPECT_EQ(db_create_procedure(nullptr, nullptr, kText, nullptr), ZE_NULL_POINTER);
}

namespace
{

REGISTRATION Registration(const char *owner, const char *table, const char *rowid)
{
    REGISTRATION r;
    memset(&r, 0, sizeof(r));
    r.registration_id = 7;
    strcpy(r.database_name, "gis");
    snprintf(r.owner, sizeof(r.owner), "%s", owner);
    snprintf(r.table_name, sizeof(r.table_name), "%s", table);
    snprintf(r.rowid_column, sizeof(r.rowid_column), "%s", rowid);
    return r;
}

std::string RowidProcedure(const std::string &name, const std::string &table,
                           const std::string &column)
{
    return "CREATE PROCEDURE " + name +
           " (lowid integer, highid integer, startid integer); define rowidVAR integer; define "
           "new_rowidVAR integer; let new_rowidVAR = startid; BEGIN FOREACH select_cursor for "
           "select ROWID into rowidVAR from " +
           table + "  where ROWID <= highid and ROWID >lowid update " + table + " set " + column +
           "  = new_rowidVAR where CURRENT OF select_cursor; let new_rowidVAR = new_rowidVAR + "
           "1; END FOREACH; END END PROCEDURE;";
}

} // namespace

// The renumbering procedure of owner u and table t is u.u_t_rowid_update,
// over the registered row-id column or VE_ROW_ID; committed.
TEST_F(CreateProcedure, RowidUpdateProcedure)
{
    const REGISTRATION r = Registration("u", "t", "objectid");
    for (int32_t registered : {1, 0}) {
        char *name = nullptr;
        ASSERT_EQ(db_table_create_rowid_update_proc(&r, 0, 0, registered, &name), 0);
        ASSERT_NE(name, nullptr);
        EXPECT_STREQ(name, "u.u_t_rowid_update");
        free(name);
    }
    EXPECT_EQ(Executed(), (std::vector<std::string>{
                              RowidProcedure("u.u_t_rowid_update", "gis:u.t", "objectid"),
                              "COMMIT",
                              RowidProcedure("u.u_t_rowid_update", "gis:u.t", "VE_ROW_ID"),
                              "COMMIT",
                          }));
}

TEST_F(CreateProcedure, RowidUpdateProcedureRefusals)
{
    const struct {
        REGISTRATION r;
        int32_t registered;
        int32_t rc;
    } cases[] = {
        {Registration("u;", "t", "objectid"), 1, ZE_INVALID_ARGUMENT},
        {Registration("u", "t t", "objectid"), 1, ZE_INVALID_ARGUMENT},
        {Registration("u", "t", ""), 1, ZE_INVALID_ARGUMENT},
        {Registration("u", "t", "a=1"), 1, ZE_INVALID_ARGUMENT},
    };
    for (const auto &c : cases) {
        char *name = reinterpret_cast<char *>(1);
        EXPECT_EQ(db_table_create_rowid_update_proc(&c.r, 0, 0, c.registered, &name), c.rc);
        EXPECT_EQ(name, nullptr);
    }
    EXPECT_TRUE(Executed().empty());
    char *name = nullptr;
    EXPECT_EQ(db_table_create_rowid_update_proc(nullptr, 0, 0, 1, &name), ZE_NULL_POINTER);
    // A procedure that exists already: the statement's code, no name.
    const REGISTRATION r = Registration("u", "t", "objectid");
    scli::on_sql(RowidProcedure("u.u_t_rowid_update", "gis:u.t", "objectid"))
        .fail(SQL_ERROR, {"S1000", -673, "Routine already exists."});
    quiet_stderr([&] { EXPECT_EQ(db_table_create_rowid_update_proc(&r, 0, 0, 1, &name), -673); });
    EXPECT_EQ(name, nullptr);
}
