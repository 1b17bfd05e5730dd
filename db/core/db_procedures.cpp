// Creation of the engine's stored routines: each group drops its routines,
// then creates and grants them one by one from the text table
// (db_routine_texts_internal.h). Every routine created is entered in the
// call's undo list the moment it exists, so a failure at any later step
// drops exactly what the call made. Most groups run their CREATE texts on one
// shared statement; the state and version groups create through
// db_create_procedure, the raster-column group commits each statement.
#include "db/core/db_procedures_internal.h"

#include <sql.h>
#include <sqlext.h>

#include <new>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_names.h"
#include "db/core/db_routine_texts_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_trans.h"
#include "db/version/db_routine_internal.h"

// db_execute_ddlsql modes: 1 and 3 commit, 2 leaves the transaction open.
#define S_COMMIT 1
#define S_NO_COMMIT 2
#define S_COMMIT_EACH 3

int32_t db_grant_privilege(DB_INSTANCE *, const char *privilege, const char *object,
                           const char *grantee, int32_t grant, int32_t with_grant_option)
{
    if (privilege == nullptr || object == nullptr || grantee == nullptr)
        return ZE_NULL_POINTER;
    std::string sql =
        grant ? std::string("GRANT ") + privilege + " ON " + object + " TO " + grantee
              : std::string("REVOKE ") + privilege + " ON " + object + " FROM " + grantee;
    if (grant && with_grant_option)
        sql += " WITH GRANT OPTION";
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    CLI_DIAG_RECORD diag;
    int rc = db_prepare_cursor(nullptr, &hstmt, sql.c_str(), 0);
    if (rc == 0)
        rc = SQLExecute(hstmt);
    if (SQL_SUCCEEDED(rc)) {
        db_free_stmt(&hstmt);
        rc = db_commit();
        if (rc == SQL_SUCCESS)
            return ZE_SUCCESS;
        // A grant that is not committed has not happened.
        db_get_diag_record(&diag, nullptr, rc);
    } else {
        db_get_diag_record(&diag, hstmt != SQL_NULL_HSTMT ? &hstmt : nullptr, rc);
        db_free_stmt(&hstmt);
    }
    db_set_xerr_from_diag(diag);
    return ZE_DBMS_ERROR;
}

int32_t db_grant_execute_public(DB_INSTANCE *instance, const char *routine)
{
    return db_grant_privilege(instance, "EXECUTE", routine, "PUBLIC", 1, 0);
}

void db_drop_procedure_list(DB_INSTANCE *, int32_t count, const char *const *names)
{
    if (names == nullptr)
        return;
    for (int32_t i = 0; i < count; i++) {
        if (names[i] == nullptr)
            continue;
        std::string sql = std::string("drop procedure ") + names[i];
        db_execute_ddlsql(sql.c_str(), 1, S_COMMIT);
    }
}

// ---- one call ---------------------------------------------------------------------

namespace
{
struct S_call {
    DB_INSTANCE *instance = nullptr;
    std::vector<const char *> made;  // bare names of the routines created, in order
    SQLHSTMT hstmt = SQL_NULL_HSTMT; // the shared statement
    bool keep_made = false;          // a failure that leaves the routines made

    S_call() = default;
    S_call(const S_call &) = delete;
    S_call &operator=(const S_call &) = delete;
    ~S_call()
    {
        if (hstmt != SQL_NULL_HSTMT)
            SQLFreeStmt(hstmt, SQL_DROP);
    }
};
} // namespace

static void S_run(const char *sql, int32_t mode)
{
    db_execute_ddlsql(sql, 0, mode); // drops of what may not exist, row-type set-up
}

// Runs one CREATE text the group's way; 0 when the routine now exists.
static int32_t S_execute_create(S_call &call, const DB_ROUTINE_TEXT *routine,
                                const std::string &text)
{
    switch (routine->group) {
    case DB_ROUTINES_STATES:
    case DB_ROUTINES_VERSIONS: {
        int32_t rc = db_create_procedure(call.instance, nullptr, text.c_str(), routine->name);
        return SQL_SUCCEEDED(rc) ? ZE_SUCCESS : rc;
    }
    case DB_ROUTINES_RASTER_COLUMNS: {
        int32_t rc = db_execute_ddlsql(text.c_str(), 0, S_COMMIT_EACH);
        return rc >= 0 ? ZE_SUCCESS : rc;
    }
    default: {
        SQLRETURN rc = SQLExecDirect(
            call.hstmt, reinterpret_cast<SQLCHAR *>(const_cast<char *>(text.c_str())), SQL_NTS);
        if (SQL_SUCCEEDED(rc))
            return ZE_SUCCESS;
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, &call.hstmt, rc);
        db_set_xerr_from_diag(diag);
        return rc;
    }
    }
}

static int32_t S_create_routine(S_call &call, const DB_ROUTINE_TEXT *routine)
{
    char name[DB_QUALIFIED_NAME_SIZE];
    int32_t rc = db_routine_sql_name(call.instance, routine, name, sizeof(name));
    if (rc != ZE_SUCCESS)
        return rc;
    std::string text;
    rc = db_routine_text_format(call.instance, routine, &text);
    if (rc != ZE_SUCCESS)
        return rc;
    rc = S_execute_create(call, routine, text);
    if (rc != ZE_SUCCESS)
        return rc;
    call.made.push_back(routine->name);
    rc = db_grant_execute_public(call.instance, name);
    if (rc != ZE_SUCCESS)
        return rc;
    if (routine == db_routine_text_find("create_global_and_types")) {
        // Executing it makes the row types the other state routines use.
        S_run((std::string("EXECUTE PROCEDURE ") + routine->name + "()").c_str(), S_NO_COMMIT);
        S_run("GRANT USAGE on TYPE state_info to PUBLIC;", S_NO_COMMIT);
        S_run("GRANT USAGE on TYPE state_lineage_info to PUBLIC;", S_NO_COMMIT);
    }
    return ZE_SUCCESS;
}

static int32_t S_run_group(S_call &call, int32_t group)
{
    const DB_ROUTINE_TEXT *drops[DB_ROUTINE_COUNT];
    size_t count = db_routine_drop_order(group, drops, DB_ROUTINE_COUNT);
    int32_t drop_mode = group == DB_ROUTINES_RASTER_COLUMNS ? S_COMMIT_EACH : S_NO_COMMIT;
    for (size_t i = 0; i < count && i < DB_ROUTINE_COUNT; i++) {
        char name[DB_QUALIFIED_NAME_SIZE];
        int32_t rc = db_routine_sql_name(call.instance, drops[i], name, sizeof(name));
        if (rc != ZE_SUCCESS)
            return rc;
        S_run((std::string("DROP PROCEDURE ") + name).c_str(), drop_mode);
    }
    if (group == DB_ROUTINES_STATES) {
        S_run("DROP ROW TYPE state_lineage_info RESTRICT", S_NO_COMMIT);
        S_run("DROP ROW TYPE state_info RESTRICT", S_NO_COMMIT);
    } else if (group == DB_ROUTINES_VERSIONS) {
        S_run("DROP ROW TYPE version_info RESTRICT", S_NO_COMMIT);
        S_run(db_version_info_type_text, S_NO_COMMIT);
        S_run("GRANT USAGE on TYPE version_info to PUBLIC;", S_NO_COMMIT);
    }
    for (const DB_ROUTINE_TEXT &routine : db_routine_texts) {
        if (routine.group != group)
            continue;
        int32_t rc = S_create_routine(call, &routine);
        if (rc != ZE_SUCCESS)
            return rc;
    }
    if (group == DB_ROUTINES_VERSIONS) {
        // Every routine of the group is made and committed by now: a failed
        // refresh of their statistics is returned and undoes nothing.
        int32_t rc = db_execute_ddlsql(" UPDATE STATISTICS FOR PROCEDURE", 0, S_COMMIT);
        if (rc < 0) {
            call.keep_made = true;
            return rc;
        }
    }
    return ZE_SUCCESS;
}

// Drops every routine the call made and the shared statement.
static void S_undo(S_call &call)
{
    db_drop_procedure_list(call.instance, static_cast<int32_t>(call.made.size()), call.made.data());
    call.made.clear();
    SQLFreeStmt(call.hstmt, SQL_DROP);
    call.hstmt = SQL_NULL_HSTMT;
}

static int32_t S_create_all(DB_INSTANCE *instance)
{
    DB_trans_updt_start(instance);
    S_call call;
    call.instance = instance;
    call.made.reserve(DB_ROUTINE_WORK_LIST_SIZE);
    SQLRETURN alloc = SQLAllocHandle(SQL_HANDLE_STMT, db_connection()->hdbc, &call.hstmt);
    if (!SQL_SUCCEEDED(alloc))
        return alloc;
    int32_t rc = ZE_SUCCESS;
    try {
        for (int32_t group = DB_ROUTINES_RELEASE; group <= DB_ROUTINES_GROUP_COUNT; group++) {
            rc = S_run_group(call, group);
            if (rc != ZE_SUCCESS)
                break;
        }
    } catch (const std::bad_alloc &) {
        rc = ZE_OUT_OF_MEMORY;
    }
    if (rc != ZE_SUCCESS) {
        if (!call.keep_made)
            S_undo(call);
        return rc;
    }
    SQLFreeStmt(call.hstmt, SQL_CLOSE);
    SQLFreeHandle(SQL_HANDLE_STMT, call.hstmt);
    call.hstmt = SQL_NULL_HSTMT;
    db_commit();
    return ZE_SUCCESS;
}

int32_t DB_instance_stored_procedures_create(DB_INSTANCE *instance)
{
    try {
        return S_create_all(instance);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}
