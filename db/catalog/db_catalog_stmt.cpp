// Shared statement steps of the catalogue code (db_catalog_stmt_internal.h).
#include "db/catalog/db_catalog_stmt_internal.h"

#include <stdio.h>
#include <string.h>

#include "base/util/zel_errors.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_names.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"

void db_catalog_record(DB_STREAM *stream, const CLI_DIAG_RECORD &diag)
{
    if (stream != nullptr)
        db_stream_set_xerr_from_diag(stream, diag);
    else
        db_set_xerr_from_diag(diag);
}

int32_t db_catalog_fail(DB_STREAM *stream, SQLHSTMT *hstmt, int32_t code, CLI_DIAG_RECORD *diag)
{
    CLI_DIAG_RECORD read;
    db_get_diag_record(&read, hstmt, code);
    db_free_stmt(hstmt);
    db_catalog_record(stream, read);
    if (diag != nullptr)
        *diag = read;
    return ZE_DBMS_ERROR;
}

int32_t db_catalog_prepare(DB_STREAM *stream, SQLHSTMT *hstmt, const char *sql)
{
    int32_t rc = db_open_cursor(db_stream_xerr(stream), hstmt);
    if (rc != 0) {
        // The open recorded its own diagnostic.
        db_free_stmt(hstmt);
        return ZE_DBMS_ERROR;
    }
    rc = db_prepare_stmt(db_stream_xerr(stream), hstmt, sql);
    if (rc != 0)
        return db_catalog_fail(stream, hstmt, rc);
    return 0;
}

int32_t db_catalog_execute(SQLHSTMT *hstmt, const char *sql)
{
    int32_t rc = db_prepare_cursor(nullptr, hstmt, sql, 0);
    if (rc == 0)
        rc = SQLExecute(*hstmt);
    if (!SQL_SUCCEEDED(rc))
        return rc;
    db_free_stmt(hstmt);
    return 0;
}

SQLRETURN db_catalog_bind_columns(SQLHSTMT hstmt, const DB_CATALOG_COLUMN *columns, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        const DB_CATALOG_COLUMN &c = columns[i];
        SQLRETURN rc = SQLBindCol(hstmt, static_cast<SQLUSMALLINT>(i + 1), c.c_type, c.buffer,
                                  c.width, c.lengths);
        if (!SQL_SUCCEEDED(rc))
            return rc;
    }
    return SQL_SUCCESS;
}

std::string db_catalog_admin_name(const char *object)
{
    char name[DB_QUALIFIED_NAME_SIZE] = "";
    db_make_admin_object_name(nullptr, object, name, sizeof(name));
    return name;
}

int32_t db_catalog_define_columns(CLI_STATEMENT *cli, const DB_CATALOG_COLUMN *columns,
                                  size_t count)
{
    for (size_t i = 0; i < count; i++) {
        const DB_CATALOG_COLUMN &c = columns[i];
        const int32_t rc = db_cli_define_by_pos(cli, c.c_type, c.buffer, c.width, c.lengths);
        if (rc != 0)
            return rc;
    }
    return 0;
}

int32_t db_catalog_cli_prepare(CLI_STATEMENT *cli, const char *sql)
{
    if (db_cli_prepare(cli, sql) == 0)
        return 0;
    db_cli_save_error(cli);
    return ZE_DBMS_ERROR;
}

int32_t db_catalog_bind_text(CLI_STATEMENT *cli, const char *field, size_t size, bool empty_is_null,
                             SQLLEN *length)
{
    *length = static_cast<SQLLEN>(strnlen(field, size));
    if (*length == 0 && empty_is_null)
        *length = SQL_NULL_DATA;
    return db_cli_bind_by_pos(cli, SQL_C_CHAR, SQL_VARCHAR, size, const_cast<char *>(field), 0,
                              length);
}

int32_t db_catalog_bind_int(CLI_STATEMENT *cli, int32_t *value)
{
    return db_cli_bind_by_pos(cli, SQL_C_SLONG, SQL_INTEGER, 0, value, 0, nullptr);
}

int32_t db_catalog_call(CLI_STATEMENT *cli, const char *routine)
{
    int32_t status = 0;
    SQLLEN length = 0;
    int32_t rc = db_cli_execute_stmt(cli, 1);
    if (rc == 0)
        rc = db_cli_define_by_pos(cli, SQL_C_SLONG, &status, sizeof(status), &length);
    if (rc == 0)
        rc = db_cli_fetch(cli);
    const bool no_status = rc == ZE_NO_MORE_ROWS || (rc == 0 && length == SQL_NULL_DATA);
    if (rc == 0 || rc == ZE_NO_MORE_ROWS)
        rc = db_cli_close_cursor(cli);
    if (rc != 0) {
        db_cli_save_error(cli);
        return ZE_DBMS_ERROR;
    }
    if (no_status) {
        // A routine that answers no status has not told whether it did its work.
        db_xerr_clear(&db_global_xerr);
        db_global_xerr.code = ZE_DBMS_ERROR;
        snprintf(db_global_xerr.message, sizeof(db_global_xerr.message),
                 "Error executing stored procedure %s: no status", routine);
        return ZE_DBMS_ERROR;
    }
    return status == 0 ? 0 : db_set_xerr_from_procedure(status, routine);
}

int32_t db_catalog_fetch(CLI_STATEMENT *cli)
{
    int32_t rc = db_cli_fetch(cli);
    if (rc == ZE_DBMS_ERROR && db_cli_sqlstate_is(cli, "01004"))
        rc = 0;
    return rc;
}

int32_t db_catalog_commit(void)
{
    const int rc = db_commit();
    if (SQL_SUCCEEDED(rc))
        return 0;
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, nullptr, rc);
    db_set_xerr_from_diag(diag);
    // The transaction whose commit failed ends here, so that no later
    // commit keeps work its caller reports as lost.
    db_catalog_rollback();
    return ZE_DBMS_ERROR;
}

void db_catalog_rollback(void)
{
    const DB_EXT_ERROR failure = db_global_xerr;
    db_rollback();
    db_global_xerr = failure;
}
