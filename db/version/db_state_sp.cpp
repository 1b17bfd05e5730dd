// State operations through the catalogue's stored functions (db_state.h):
// insert_state, delete_state in batches, open_state and close_state,
// trim_state_lineage and range_delete_ok. The functions keep STATES,
// STATE_LINEAGES and the versions consistent inside the database; this side
// binds the arguments, runs the call and maps the code it returns
// (db/version/db_version_stmt_internal.h).
#include "db/version/db_state.h"

#include <sqlext.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/util/ve_lineage_internal.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/version/db_version_stmt_internal.h"

ZEL_API int32_t DB_sp_states_def_insert(DB_INSTANCE *, const STATE *state, int32_t *new_state_id)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (state == nullptr || new_state_id == nullptr)
            return ZE_NULL_POINTER;
        *new_state_id = 0;
        // The new state is a child of the last state of the lineage.
        std::vector<int32_t> ancestors;
        if (ves_lineage_decode_state(state, &ancestors) != ZE_SUCCESS)
            return ZE_INVALID_ARGUMENT;
        int32_t parent = ancestors.empty() ? 0 : ancestors.back();
        SQLLEN new_id_length = 0;
        return db_sp_call(
            " {call insert_state(?,?,?)}", "zel.insert_state",
            [&](DB_PARAMS &p) {
                SQLRETURN rc = p.integer(state->state_id);
                if (SQL_SUCCEEDED(rc))
                    rc = p.integer(parent);
                if (SQL_SUCCEEDED(rc))
                    rc = p.integer(state->closing_time == 0 ? 1 : 2);
                return rc;
            },
            [&](SQLHSTMT hstmt) {
                return SQLBindCol(hstmt, 3, SQL_C_SLONG, new_state_id, sizeof(*new_state_id),
                                  &new_id_length);
            });
    });
}

// "EXECUTE FUNCTION delete_state(LIST{1,2,3})" for count ids.
static std::string S_delete_sql(const int32_t *ids, int32_t count)
{
    std::string list;
    for (int32_t i = 0; i < count; i++) {
        if (i > 0)
            list += ",";
        list += std::to_string(ids[i]);
    }
    return "EXECUTE FUNCTION delete_state(LIST{" + list + "})";
}

// Records a failed step, rolls the batch back and drops the statement. -51.
static int32_t S_delete_fail(SQLHSTMT *hstmt, SQLRETURN rc)
{
    db_version_record(hstmt, rc);
    db_rollback();
    db_free_stmt(hstmt);
    return ZE_DBMS_ERROR;
}

ZEL_API int32_t DB_sp_states_def_delete(DB_INSTANCE *, const int32_t *state_ids, int32_t count)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (count < 0)
            return ZE_INVALID_ARGUMENT;
        if (count == 0)
            return ZE_SUCCESS;
        if (state_ids == nullptr)
            return ZE_NULL_POINTER;
        SQLHSTMT hstmt = SQL_NULL_HSTMT;
        if (db_open_cursor(nullptr, &hstmt) != 0) {
            db_free_stmt(&hstmt); // the open recorded its diagnostic
            return ZE_DBMS_ERROR;
        }
        // Each batch is a transaction of its own: the ones done stay done.
        for (int32_t first = 0; first < count; first += DB_STATE_DELETE_BATCH) {
            int32_t n = std::min(DB_STATE_DELETE_BATCH, count - first);
            std::string sql = S_delete_sql(state_ids + first, n);
            DB_SP_RESULT result;
            SQLRETURN rc = static_cast<SQLRETURN>(db_prepare_stmt(nullptr, &hstmt, sql.c_str()));
            if (SQL_SUCCEEDED(rc))
                rc = db_sp_bind_result(hstmt, &result);
            if (SQL_SUCCEEDED(rc))
                rc = SQLExecute(hstmt);
            if (SQL_SUCCEEDED(rc))
                rc = SQLFetch(hstmt);
            if (!SQL_SUCCEEDED(rc))
                return S_delete_fail(&hstmt, rc);
            if (result.code != 0) {
                int32_t code = db_sp_map_result(result, "zel.delete_states");
                db_rollback();
                db_free_stmt(&hstmt);
                return code;
            }
            rc = SQLFreeStmt(hstmt, SQL_CLOSE);
            if (SQL_SUCCEEDED(rc))
                rc = SQLFreeStmt(hstmt, SQL_UNBIND);
            if (!SQL_SUCCEEDED(rc))
                return S_delete_fail(&hstmt, rc);
            rc = static_cast<SQLRETURN>(db_commit());
            if (!SQL_SUCCEEDED(rc)) {
                db_version_record(nullptr, rc); // a refused commit reports on the connection
                db_rollback();
                db_free_stmt(&hstmt);
                return ZE_DBMS_ERROR;
            }
        }
        db_free_stmt(&hstmt);
        return ZE_SUCCESS;
    });
}

// A call of a function that takes state ids and answers a code and message.
static int32_t S_call(const char *sql, const char *routine, std::vector<int32_t> ids)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        return db_sp_call(sql, routine, [&](DB_PARAMS &p) {
            SQLRETURN rc = SQL_SUCCESS;
            for (size_t i = 0; i < ids.size() && SQL_SUCCEEDED(rc); i++)
                rc = p.integer(ids[i]);
            return rc;
        });
    });
}

ZEL_API int32_t DB_sp_states_def_update(DB_INSTANCE *, const STATE *state)
{
    if (state == nullptr)
        return ZE_NULL_POINTER;
    if (state->closing_time == 0)
        return S_call("EXECUTE FUNCTION open_state(?)", "zel.open_state", {state->state_id});
    return S_call("EXECUTE FUNCTION close_state(?)", "zel.close_state", {state->state_id});
}

ZEL_API int32_t DB_sp_states_def_trim_lineage(DB_INSTANCE *, int32_t first, int32_t second,
                                              int32_t third)
{
    if (first != third)
        return ZE_SUCCESS;
    return S_call("EXECUTE FUNCTION trim_state_lineage(?,?)", "zel.trim_state_lineage",
                  {third, second});
}

ZEL_API int32_t DB_state_range_delete_ok(DB_INSTANCE *, int32_t start_state_id,
                                         int32_t end_state_id)
{
    return S_call("EXECUTE FUNCTION range_delete_ok(?,?)", "zel.range_delete_ok",
                  {start_state_id, end_state_id});
}
