// Deletes through a state (db_state_delete.h, db_state_delete_internal.h).
// The rows are read through the state's view with bound rowset arrays; the
// writes go out on plain statements with parameter arrays, never through
// nested streams, and nothing here commits: a commit would also end the
// caller's transaction and close the SELECT's cursor between rowsets.
// Names go into SQL only after the identifier check; every text grows.
#include "db/stream/db_state_delete.h"

#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_layer_info.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_informix_internal.h"
#include "db/core/db_names.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_xerr_internal.h"
#include "db/stream/db_state_delete_internal.h"
#include "db/stream/db_state_shape_internal.h"
#include "db/stream/db_write_row_internal.h"
#include "db/version/db_mv_view_internal.h"

int32_t db_delete_sqlstate_code(const char *sqlstate, int32_t *fill)
{
    static const struct {
        const char *sqlstate;
        int32_t code;
        int32_t fill;
    } map[] = {
        {"S0022", ZE_COLUMN_NOT_FOUND, 0},
        {"37000", ZE_SYNTAX_ERROR, 1},
        {"42000", ZE_NO_PERMISSIONS, 0},
        {"S0002", ZE_TABLE_NOT_FOUND, 0},
    };
    *fill = 1;
    if (sqlstate == nullptr)
        return ZE_DBMS_ERROR;
    for (const auto &row : map) {
        if (strncasecmp(row.sqlstate, sqlstate, DB_SQLSTATE_SIZE) == 0) {
            *fill = row.fill;
            return row.code;
        }
    }
    return ZE_DBMS_ERROR;
}

namespace
{

// The base, adds and deletes tables' names, made once per work record.
int32_t S_make_names(const REGISTRATION *registration, STATE_DELETE_WORK *work)
{
    if (work->names_made)
        return 0;
    const char *database = registration->database_name[0] ? registration->database_name : nullptr;
    DB_table_make_name(database, registration->owner, registration->table_name, work->base_table);
    int32_t rc = db_check_table_name(work->base_table);
    if (rc == 0)
        rc = db_make_adds_table_name(nullptr, registration->registration_id, database,
                                     registration->owner, work->adds_table,
                                     sizeof(work->adds_table));
    if (rc == 0)
        rc = db_make_deletes_table_name(nullptr, registration->registration_id, database,
                                        registration->owner, work->deletes_table,
                                        sizeof(work->deletes_table));
    if (rc == 0)
        rc = db_check_table_name(work->adds_table);
    if (rc == 0)
        rc = db_check_table_name(work->deletes_table);
    if (rc != 0)
        return rc;
    work->names_made = 1;
    return 0;
}

// The layer of a registration that marks one: the stream's, else read.
int32_t S_read_layer(DB_STREAM *stream, const REGISTRATION *registration, STATE_DELETE_WORK *work)
{
    if ((registration->object_flags & REG_LAYER) == 0 || work->layer_read)
        return 0;
    if (stream->layer != nullptr) {
        work->layer = stream->layer;
    } else {
        int32_t rc = DB_layer_get_info_by_table_name(nullptr, stream, work->base_table, nullptr,
                                                     stream->owner_text, &work->layer);
        if (rc != 0)
            return rc;
    }
    work->layer_read = 1;
    return 0;
}

// The FROM item of the table in the spec's state: the view over the spec's
// first table entry, whose view columns end in ZEL_STATE_ID.
int32_t S_view(DB_STREAM *stream, const DB_MV_QUERY_INFO *spec, const char *base_table,
               std::string *out)
{
    if (spec->tables == nullptr || spec->table_count < 1)
        return ZE_INVALID_ARGUMENT;
    DB_MV_TABLE_INFO entry = spec->tables[0];
    std::vector<const char *> columns;
    for (int16_t i = 0; i < entry.column_count && entry.column_names != nullptr; i++)
        columns.push_back(entry.column_names[i]);
    columns.push_back("ZEL_STATE_ID");
    entry.column_names = columns.data();
    entry.column_count = static_cast<int16_t>(columns.size());
    DB_MV_QUERY_INFO copy = *spec;
    copy.tables = &entry;
    copy.table_count = 1;
    char *text = nullptr;
    int32_t rc =
        db_mv_view_build(nullptr, &copy, base_table, stream->owner_text, 0, 0, &text, 0, 1);
    if (rc == 0 && text != nullptr)
        *out += text;
    free(text);
    return rc;
}

// The SELECT through the view: row id, the shape row of a layer, state.
int32_t S_select_sql(DB_STREAM *stream, const REGISTRATION *registration, const char *where,
                     const DB_MV_QUERY_INFO *spec, const STATE_DELETE_WORK *work, std::string *sql)
{
    *sql = std::string("SELECT ") + registration->rowid_column + ",";
    if (work->layer_read)
        *sql += "VE_ROW_ID,";
    *sql += "ZEL_STATE_ID FROM ";
    int32_t rc = S_view(stream, spec, work->base_table, sql);
    if (rc != 0)
        return rc;
    const char *condition = nullptr;
    if (db_sql_client_condition(where, &condition) != 0)
        return ZE_INVALID_ARGUMENT;
    if (condition != nullptr)
        *sql += std::string(" WHERE ") + condition;
    return 0;
}

// A CLI failure of the read step: the SELECT goes, the diagnostic is the
// stream's.
int32_t S_rows_failed(DB_STREAM *stream, const char *where, STATE_DELETE_WORK *work,
                      const CLI_DIAG_RECORD &diag)
{
    VES_print_debug(stderr,
                    "ODBC error in S_stream_delete_state_where()\n  table = %s\n  where = %s\n",
                    work->base_table, where != nullptr ? where : "");
    db_stream_set_xerr_from_diag(stream, diag);
    db_free_stmt(&work->select_stmt);
    return ZE_DBMS_ERROR;
}

int32_t S_bind_columns(STATE_DELETE_WORK *work, CLI_DIAG_RECORD *diag)
{
    SQLUSMALLINT column = 1;
    SQLRETURN r = SQLBindCol(work->select_stmt, column++, SQL_C_SLONG, work->row_ids,
                             sizeof(work->row_ids[0]), work->row_id_lengths);
    if (SQL_SUCCEEDED(r) && work->layer_read)
        r = SQLBindCol(work->select_stmt, column++, SQL_C_SLONG, work->shape_ids,
                       sizeof(work->shape_ids[0]), work->shape_indicators);
    if (SQL_SUCCEEDED(r))
        r = SQLBindCol(work->select_stmt, column, SQL_C_SLONG, work->state_ids,
                       sizeof(work->state_ids[0]), work->state_lengths);
    if (SQL_SUCCEEDED(r))
        return 0;
    db_get_diag_record(diag, &work->select_stmt, r);
    return ZE_DBMS_ERROR;
}

// Executes the deletes INSERT over the pending rows as one parameter
// array, without a commit. The failure's diagnostic goes to *diag.
int32_t S_execute_deletes(STATE_DELETE_WORK *work, CLI_DIAG_RECORD *diag)
{
    const SQLULEN rows = static_cast<SQLULEN>(work->pending);
    work->pending = 0;
    SQLRETURN r = SQLSetStmtAttr(work->deletes_stmt, DB_IFX_ATTR_PARAM_ARRAYS,
                                 reinterpret_cast<SQLPOINTER>(1), 0);
    if (SQL_SUCCEEDED(r))
        r = SQLSetStmtAttr(work->deletes_stmt, SQL_ATTR_PARAMSET_SIZE,
                           reinterpret_cast<SQLPOINTER>(rows), 0);
    if (!SQL_SUCCEEDED(r)) {
        db_get_diag_record(diag, &work->deletes_stmt, r);
        return ZE_DBMS_ERROR;
    }
    const int rc = db_execute_stmt_diag(&work->deletes_stmt, static_cast<int32_t>(rows),
                                        DB_EXEC_NO_COMMIT, diag);
    return rc == 0 ? 0 : ZE_DBMS_ERROR;
}

int32_t S_prepare_deletes(DB_STREAM *stream, STATE_DELETE_WORK *work, CLI_DIAG_RECORD *diag,
                          bool *cli_failure)
{
    const std::string sql = std::string("INSERT INTO ") + work->deletes_table +
                            " (ZEL_DELETES_ROW_ID,ZEL_STATE_ID,DELETED_AT) VALUES (?,?,?)";
    int32_t rc = db_write_prepare(stream, &work->deletes_stmt, sql.c_str());
    if (rc != 0)
        return rc;
    SQLINTEGER *arrays[] = {work->deleted_row_ids, work->deleted_states, work->deleted_at};
    for (SQLUSMALLINT n = 1; n <= 3; n++) {
        SQLRETURN r =
            SQLBindParameter(work->deletes_stmt, n, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                             arrays[n - 1], sizeof(SQLINTEGER), nullptr);
        if (!SQL_SUCCEEDED(r)) {
            db_get_diag_record(diag, &work->deletes_stmt, r);
            db_free_stmt(&work->deletes_stmt);
            *cli_failure = true;
            return ZE_DBMS_ERROR;
        }
    }
    work->deletes_prepared = 1;
    return 0;
}

// One row read through the view: a version of the current state leaves the
// adds table, any other is hidden by a deletes row.
int32_t S_delete_row(DB_STREAM *stream, const REGISTRATION *registration,
                     const DB_MV_QUERY_INFO *spec, STATE_DELETE_WORK *work, SQLULEN i,
                     SQLULEN rowset, CLI_DIAG_RECORD *diag, bool *cli_failure)
{
    const SQLINTEGER row_id = work->row_ids[i];
    const SQLINTEGER state = work->state_ids[i];
    if (state == spec->state_id) {
        if (work->layer_read && work->shape_indicators[i] != SQL_NULL_DATA) {
            work->shape_row_id = work->shape_ids[i];
            int32_t rc = db_state_shape_is_shared(stream, work->base_table, work->adds_table,
                                                  registration->rowid_column, &work->shape_row_id,
                                                  &work->shape_test_stmt, &work->shape_shared);
            if (rc != 0)
                return rc;
            if (!work->shape_shared)
                db_remove_unshared_shape(stream, work->layer != nullptr ? work->layer->layer_id : 0,
                                         work->shape_row_id, work->remove_flag,
                                         &work->remove_stmts[0], &work->remove_stmts[1]);
        }
        work->adds_started = 1;
        work->pair_row_ids[work->pair_count] = row_id;
        work->pair_states[work->pair_count] = state;
        work->pair_count++;
        if (work->pair_count == DB_STATE_DELETE_PAIRS)
            return db_state_delete_from_adds(stream, registration, work);
        return 0;
    }
    if (!work->deletes_prepared) {
        int32_t rc = S_prepare_deletes(stream, work, diag, cli_failure);
        if (rc != 0)
            return rc;
    }
    work->deleted_row_ids[work->pending] = row_id;
    work->deleted_states[work->pending] = state;
    work->deleted_at[work->pending] = spec->state_id;
    work->pending++;
    if (work->pending == DB_STATE_DELETE_ARRAY || static_cast<SQLULEN>(work->pending) == rowset) {
        if (S_execute_deletes(work, diag) != 0) {
            *cli_failure = true;
            return ZE_DBMS_ERROR;
        }
    }
    return 0;
}

int32_t S_rows(DB_STREAM *stream, const REGISTRATION *registration, const char *where,
               const DB_MV_QUERY_INFO *spec, STATE_DELETE_WORK *work)
{
    int32_t rc = S_make_names(registration, work);
    if (rc == 0)
        rc = S_read_layer(stream, registration, work);
    if (rc != 0)
        return rc;
    std::string sql;
    if ((rc = S_select_sql(stream, registration, where, spec, work, &sql)) != 0)
        return rc;
    if ((rc = db_write_prepare(stream, &work->select_stmt, sql.c_str())) != 0)
        return rc;
    CLI_DIAG_RECORD diag;
    if (S_bind_columns(work, &diag) != 0)
        return S_rows_failed(stream, where, work, diag);
    SQLRETURN r = SQLExecute(work->select_stmt);
    if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) {
        db_get_diag_record(&diag, &work->select_stmt, r);
        return S_rows_failed(stream, where, work, diag);
    }
    int32_t total = 0;
    while (r != SQL_NO_DATA) {
        SQLULEN fetched = 0;
        rc = db_fetch_rows(&work->select_stmt, DB_STATE_DELETE_ROWSET, &fetched);
        if (rc == DB_NO_MORE_DATA)
            break;
        if (rc == ZE_OUT_OF_MEMORY) {
            db_free_stmt(&work->select_stmt);
            return rc;
        }
        if (rc != 0) {
            db_get_diag_record(&diag, &work->select_stmt, rc);
            return S_rows_failed(stream, where, work, diag);
        }
        if (fetched > DB_STATE_DELETE_ROWSET)
            fetched = DB_STATE_DELETE_ROWSET;
        for (SQLULEN i = 0; i < fetched; i++) {
            bool cli_failure = false;
            rc = S_delete_row(stream, registration, spec, work, i, fetched, &diag, &cli_failure);
            if (rc != 0 && cli_failure)
                return S_rows_failed(stream, where, work, diag);
            if (rc != 0) {
                db_free_stmt(&work->select_stmt);
                return rc;
            }
        }
        total += static_cast<int32_t>(fetched);
        if (fetched < DB_STATE_DELETE_ROWSET)
            break;
    }
    db_free_stmt(&work->select_stmt);
    return total;
}

} // namespace

int32_t db_state_delete_rows(DB_STREAM *stream, const REGISTRATION *registration, const char *where,
                             const DB_MV_QUERY_INFO *spec, STATE_DELETE_WORK *work)
{
    if (stream == nullptr || registration == nullptr || spec == nullptr || work == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = db_check_name(registration->rowid_column, sizeof(registration->rowid_column));
    if (rc != 0)
        return rc;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        const int32_t result = S_rows(stream, registration, where, spec, work);
        db_free_stmt(&work->select_stmt);
        return result;
    });
}

int32_t db_state_delete_from_adds(DB_STREAM *stream, const REGISTRATION *registration,
                                  STATE_DELETE_WORK *work)
{
    if (stream == nullptr || registration == nullptr || work == nullptr)
        return ZE_NULL_POINTER;
    if (work->pair_count < 1)
        return 0;
    const int16_t count = work->pair_count;
    // The pairs are gone from the list on every path: a failed DELETE is
    // not sent a second time by the finish.
    work->pair_count = 0;
    int32_t rc = db_check_name(registration->rowid_column, sizeof(registration->rowid_column));
    if (rc != 0)
        return rc;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        std::string sql = std::string("DELETE FROM ") + work->adds_table + " WHERE ROW(" +
                          registration->rowid_column + ",ZEL_STATE_ID) IN (";
        for (int16_t i = 0; i < count; i++)
            sql += "ROW(" + std::to_string(work->pair_row_ids[i]) + "," +
                   std::to_string(work->pair_states[i]) + ")" + (i + 1 < count ? "," : ")");
        int32_t prepared = db_write_prepare(stream, &work->adds_stmt, sql.c_str());
        if (prepared != 0)
            return prepared;
        SQLRETURN r = SQLExecute(work->adds_stmt);
        // A version another statement removed meanwhile leaves nothing to
        // delete: that is no failure.
        if (SQL_SUCCEEDED(r) || r == SQL_NO_DATA)
            return 0;
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, &work->adds_stmt, r);
        int32_t fill = 0;
        const int32_t code = db_delete_sqlstate_code(diag.sqlstate, &fill);
        if (code == ZE_DBMS_ERROR)
            fprintf(stderr, " ODBC  error in S_delete_from_adds()\n");
        if (fill)
            db_stream_set_xerr_from_diag(stream, diag);
        return code;
    });
}

int32_t db_state_delete_finish(DB_STREAM *stream, const REGISTRATION *registration,
                               STATE_DELETE_WORK *work)
{
    if (work == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = 0;
    if (stream == nullptr || registration == nullptr)
        rc = ZE_NULL_POINTER;
    if (rc == 0 && work->deletes_prepared && work->pending > 0) {
        CLI_DIAG_RECORD diag;
        if (S_execute_deletes(work, &diag) != 0) {
            fprintf(stderr, "OCI error in S_stream_delete_state_finish()\n");
            db_set_xerr_from_diag(diag);
            if (stream->xerr.code == 0)
                db_stream_copy_global_xerr(stream);
            rc = ZE_DBMS_ERROR;
        }
    }
    if (rc == 0 && work->adds_started && work->pair_count > 0)
        rc = db_state_delete_from_adds(stream, registration, work);
    db_free_stmt(&work->select_stmt);
    db_free_stmt(&work->deletes_stmt);
    db_free_stmt(&work->adds_stmt);
    db_free_stmt(&work->shape_test_stmt);
    db_free_stmt(&work->remove_stmts[0]);
    db_free_stmt(&work->remove_stmts[1]);
    work->deletes_prepared = 0;
    work->pending = 0;
    work->pair_count = 0;
    return rc;
}

int32_t DB_stream_delete_state_where(DB_STREAM *stream, const REGISTRATION *registration,
                                     const char *where, const DB_MV_QUERY_INFO *spec)
{
    if (stream == nullptr || registration == nullptr || spec == nullptr)
        return ZE_NULL_POINTER;
    DB_stream_clear_xerr(stream);
    std::unique_ptr<STATE_DELETE_WORK, decltype(&free)> work(
        static_cast<STATE_DELETE_WORK *>(calloc(1, sizeof(STATE_DELETE_WORK))), &free);
    if (!work)
        return ZE_OUT_OF_MEMORY;
    int32_t first = db_state_delete_rows(stream, registration, where, spec, work.get());
    if (first > 0)
        first = 0;
    else if (first == 0)
        first = ZE_NO_ROWS_DELETED;
    const int32_t finish = db_state_delete_finish(stream, registration, work.get());
    if (first == ZE_NO_ROWS_DELETED)
        return finish != 0 ? finish : ZE_NO_ROWS_DELETED;
    return first != 0 ? first : finish;
}
