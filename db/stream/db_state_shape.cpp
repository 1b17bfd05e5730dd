// Shape rows of writes through a state (db_state_shape_internal.h): the
// count of versions that reference one VE_ROW_ID, over the base table and
// the adds table in one statement kept by the caller.
#include "db/stream/db_state_shape_internal.h"

#include <sqlext.h>
#include <stdio.h>

#include <string>

#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_write_row_internal.h"

// The count's text: the base rows count as state 0.
static std::string S_count_sql(const char *base_table, const char *adds_table,
                               const char *rowid_column)
{
    return std::string("SELECT COUNT(*) FROM TABLE MULTISET(SELECT ") + rowid_column + ",0 FROM " +
           base_table + " WHERE VE_ROW_ID = ?UNION ALL SELECT " + rowid_column +
           ",ZEL_STATE_ID FROM " + adds_table + " WHERE VE_ROW_ID = ?)";
}

static int32_t S_prepare(DB_STREAM *stream, const char *base_table, const char *adds_table,
                         const char *rowid_column, SQLINTEGER *shape_row_id, SQLHSTMT *stmt)
{
    int32_t rc = db_check_name(rowid_column, DB_NAME_COLUMN_SIZE);
    if (rc == 0)
        rc = db_check_table_name(base_table);
    if (rc == 0)
        rc = db_check_table_name(adds_table);
    if (rc != 0)
        return rc;
    const std::string sql = S_count_sql(base_table, adds_table, rowid_column);
    rc = db_write_prepare(stream, stmt, sql.c_str());
    if (rc != 0) {
        fprintf(stderr, "S_is_shape_multiply_used() ODBC parse error (%d).\n", rc);
        return rc;
    }
    for (SQLUSMALLINT n = 1; n <= 2; n++) {
        SQLRETURN r = SQLBindParameter(*stmt, n, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                                       shape_row_id, 0, nullptr);
        if (!SQL_SUCCEEDED(r)) {
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, stmt, r);
            db_stream_set_xerr_from_diag(stream, diag);
            db_free_stmt(stmt);
            return ZE_DBMS_ERROR;
        }
    }
    return 0;
}

int32_t db_state_shape_is_shared(DB_STREAM *stream, const char *base_table, const char *adds_table,
                                 const char *rowid_column, SQLINTEGER *shape_row_id, SQLHSTMT *stmt,
                                 int32_t *shared)
{
    if (stream == nullptr || base_table == nullptr || adds_table == nullptr ||
        rowid_column == nullptr || shape_row_id == nullptr || stmt == nullptr || shared == nullptr)
        return ZE_NULL_POINTER;
    *shared = 0;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        const bool prepared_here = *stmt == SQL_NULL_HSTMT;
        if (prepared_here) {
            int32_t rc =
                S_prepare(stream, base_table, adds_table, rowid_column, shape_row_id, stmt);
            if (rc != 0)
                return rc;
        }
        SQLINTEGER count = 0;
        SQLLEN length = 0;
        SQLRETURN r = SQLBindCol(*stmt, 1, SQL_C_SLONG, &count, sizeof(count), &length);
        if (SQL_SUCCEEDED(r))
            r = SQLExecute(*stmt);
        if (SQL_SUCCEEDED(r))
            r = SQLFetch(*stmt);
        const SQLRETURN fetched = r;
        CLI_DIAG_RECORD diag;
        if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA)
            db_get_diag_record(&diag, stmt, r);
        // The cursor closes and the count's cell is unbound: the next row
        // executes the same statement again.
        SQLFreeStmt(*stmt, SQL_CLOSE);
        SQLFreeStmt(*stmt, SQL_UNBIND);
        if (fetched == SQL_NO_DATA)
            return ZE_OBJECT_NOT_FOUND;
        if (!SQL_SUCCEEDED(fetched)) {
            db_stream_set_xerr_from_diag(stream, diag);
            if (prepared_here)
                db_free_stmt(stmt);
            return ZE_DBMS_ERROR;
        }
        if (length == SQL_NULL_DATA || count < 1)
            return ZE_OBJECT_NOT_FOUND;
        *shared = count > 1 ? 1 : 0;
        return 0;
    });
}

int32_t db_remove_unshared_shape(DB_STREAM *, int32_t, int32_t, int32_t, SQLHSTMT *, SQLHSTMT *)
{
    return 0;
}
