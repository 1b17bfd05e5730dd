// Single-row edits and the modified flag of a registered table
// (db_registered_edit.h).
#include "db/version/db_registered_edit.h"

#include <sql.h>
#include <sqlext.h>
#include <string.h>

#include <string>

#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/version/db_state_trim_internal.h"
#include "db/version/db_version_stmt_internal.h"

namespace
{

// One statement in the open transaction, its failure recorded.
int32_t S_run(const std::string &sql)
{
    const int32_t rc = db_execute_ddlsql(sql.c_str(), 1, 2);
    return rc == SQL_SUCCESS_WITH_INFO ? 0 : rc;
}

} // namespace

int32_t DB_registered_table_insert_delete_row(DB_INSTANCE *instance,
                                              const REGISTRATION *registration, int32_t row_id,
                                              int32_t living_state_id, int32_t deleting_state_id)
{
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        DB_STATE_NAMES n;
        const int32_t rc = db_state_names(instance, *registration, &n);
        if (rc != 0)
            return rc;
        return S_run(db_sql_format("INSERT INTO %s (%s,%s,%s) VALUES (%d,%d,%d)", n.deletes.c_str(),
                                   "ZEL_STATE_ID", "ZEL_DELETES_ROW_ID", "DELETED_AT",
                                   living_state_id, row_id, deleting_state_id));
    });
}

int32_t DB_registered_table_delete_adds_row(DB_INSTANCE *instance, const REGISTRATION *registration,
                                            int32_t, int32_t row_id, int32_t state_id)
{
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        DB_STATE_NAMES n;
        const int32_t rc = db_state_names(instance, *registration, &n);
        if (rc != 0)
            return rc;
        return S_run(db_sql_format("DELETE FROM %s WHERE %s = %d AND %s = %d", n.adds.c_str(),
                                   n.rowid.c_str(), row_id, "ZEL_STATE_ID", state_id));
    });
}

int32_t DB_registered_table_mark_modified(DB_INSTANCE *instance, const REGISTRATION *registration,
                                          const STATE *state)
{
    if (state == nullptr)
        return ZE_SUCCESS;
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        char routine[DB_QUALIFIED_NAME_SIZE] = "";
        if (db_make_admin_object_name(instance, "flag_mvtable_modified", routine,
                                      sizeof(routine)) != 0)
            return ZE_INVALID_ARGUMENT;
        SQLHSTMT hstmt = SQL_NULL_HSTMT;
        if (db_version_prepare(&hstmt,
                               db_sql_format("EXECUTE FUNCTION %s(?,?)", routine).c_str()) != 0)
            return ZE_DBMS_ERROR;
        DB_PARAMS params(hstmt);
        SQLINTEGER result = 0;
        SQLLEN length = 0;
        SQLRETURN cli = params.integer(registration->registration_id);
        if (SQL_SUCCEEDED(cli))
            cli = params.integer(state->state_id);
        if (SQL_SUCCEEDED(cli))
            cli = SQLBindCol(hstmt, 1, SQL_C_LONG, &result, sizeof(result), &length);
        if (SQL_SUCCEEDED(cli))
            cli = SQLExecute(hstmt);
        if (SQL_SUCCEEDED(cli))
            cli = SQLFetch(hstmt);
        if (!SQL_SUCCEEDED(cli))
            return db_version_fail(&hstmt, cli == SQL_NO_DATA ? SQL_ERROR : cli);
        db_free_stmt(&hstmt);
        DB_SP_RESULT mapped;
        mapped.code = result;
        return db_sp_map_result(mapped, "zel.flag_mvtable_modified");
    });
}
