// Update streams of plain tables (db_stream_update.h) and the UPDATE parts
// every update from a row buffer shares (db_stream_update_internal.h). The
// row buffer is the insert's (db_write_row.cpp); a WHERE update prepares its
// statements when it runs and drops them before it returns. Names go into
// SQL only after the identifier check; the WHERE text is the caller's SQL
// condition and is kept by the stream until it is closed, so that the
// envelope and log hooks read the same rows after the update as before.
#include "db/stream/db_stream_update_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/ve_layer.h"
#include "base/util/ve_loginfo.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_layer_tables_internal.h"
#include "db/catalog/db_spatial_ref_internal.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_user_internal.h"
#include "db/core/db_names.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_stream_layer_internal.h"
#include "db/stream/db_row_lock.h"
#include "db/stream/db_state_write_buffer_internal.h"
#include "db/stream/db_stream_hooks_internal.h"
#include "db/stream/db_stream_write_internal.h"

// Ids of rows fetched per call by the read of the rows that have a shape.
#define S_ID_ROWSET 100

template <size_t N> static void S_copy(char (&out)[N], const char *text)
{
    const size_t n = strnlen(text, N - 1);
    memcpy(out, text, n);
    out[n] = '\0';
}

// ---- shared by every update from a row buffer ----------------------------

int32_t db_update_plan(DB_STREAM *stream, int32_t with_shape, int32_t rowid, int32_t where_last)
{
    DB_STREAM_WRITE *write = stream != nullptr ? stream->write : nullptr;
    if (write == nullptr || write->row.buffer == nullptr || write->params == nullptr)
        return ZE_NULL_POINTER;
    const DB_WRITE_ROW &row = write->row;
    if (rowid && row.rowid_index < 0)
        return ZE_INVALID_ARGUMENT;
    if (where_last && row.column_count < 1)
        return ZE_INVALID_ARGUMENT;
    const int32_t set_count = where_last ? row.column_count - 1 : row.column_count;
    int32_t next = 1;
    for (int32_t i = 0; i < row.column_count; i++)
        write->params[i] = 0;
    for (int32_t i = 0; i < set_count; i++) {
        if (i == row.spatial_position) {
            if (!with_shape)
                continue;
            write->params[i] = next;
            next += 2; // the shape's bytes and its annotation text
        } else {
            write->params[i] = next++;
        }
    }
    write->rowid_param = rowid ? next++ : 0;
    if (where_last)
        write->params[row.column_count - 1] = next++;
    write->next_param = next;
    return 0;
}

int32_t db_bind_update_buffers(DB_STREAM *stream)
{
    DB_STREAM_WRITE *write = stream != nullptr ? stream->write : nullptr;
    if (write == nullptr || write->row.buffer == nullptr || write->params == nullptr)
        return ZE_NULL_POINTER;
    db_stream_lob_records_free(stream);
    write->shape_bound = 0; // a new statement: the shape is bound by the next row
    DB_WRITE_ROW &row = write->row;
    for (int32_t i = 0; i < row.column_count; i++) {
        const DB_COLUMN_DEF &column = row.columns[i];
        const int32_t param = write->params[i];
        int32_t rc = 0;
        if (param == 0 || (column.type == VE_SHAPE && i == row.spatial_position))
            continue; // not in the statement, or bound per row
        if (column.type == VE_BLOB)
            rc = db_stream_lob_record_add(stream, column.name, DB_LOB_UPDATE);
        else
            rc = db_write_bind_column(stream, &stream->stmt_main, param, &column, row.values[i],
                                      &row.indicators[i], row.date_sql_type, nullptr);
        if (rc != 0) {
            db_free_stmt(&stream->stmt_main);
            return rc;
        }
    }
    if (write->rowid_param > 0) {
        DB_COLUMN_DEF rowid{};
        S_copy(rowid.name, "VE_ROW_ID");
        rowid.type = VE_INTEGER;
        int32_t rc = db_write_bind_column(stream, &stream->stmt_main, write->rowid_param, &rowid,
                                          row.values[row.rowid_index],
                                          &row.indicators[row.rowid_index], 0, nullptr);
        if (rc != 0)
            return rc;
    }
    return 0;
}

static void S_close_lobs(DB_STREAM *stream)
{
    for (int32_t i = 0; i < stream->lob_count; i++)
        db_lob_close(stream->lobs[i]);
}

// The parameters bound per row: the shape and its annotation text, and the
// caller's blobs (the row buffer holds their value pairs) through the
// large-object records in column order.
static int32_t S_bind_row(DB_STREAM *stream)
{
    DB_STREAM_WRITE *write = stream->write;
    DB_WRITE_ROW &row = write->row;
    int32_t lob = 0;
    for (int32_t i = 0; i < row.column_count; i++) {
        const DB_COLUMN_DEF &column = row.columns[i];
        const int32_t param = write->params[i];
        if (param == 0)
            continue;
        int32_t rc = 0;
        if (column.type == VE_SHAPE && i == row.spatial_position) {
            rc = db_stream_bind_shape(stream, i, param);
        } else if (column.type == VE_BLOB) {
            DB_LOB_HANDLE *record = lob < stream->lob_count ? stream->lobs[lob] : nullptr;
            lob++;
            rc = db_write_bind_column(stream, &stream->stmt_main, param, &column, row.values[i],
                                      &row.indicators[i], 0, record);
        }
        if (rc != 0)
            return rc;
    }
    return 0;
}

int32_t db_execute_update_table(DB_STREAM *stream)
{
    if (stream == nullptr || stream->write == nullptr || stream->write->params == nullptr ||
        stream->stmt_main == SQL_NULL_HSTMT)
        return ZE_NULL_POINTER;
    int32_t rc = S_bind_row(stream);
    if (rc != 0) {
        S_close_lobs(stream);
        return rc;
    }
    SQLRETURN executed = SQLExecute(stream->stmt_main);
    if (executed == SQL_NO_DATA) {
        rc = ZE_NO_ROWS_MATCHED;
    } else if (executed == SQL_SUCCESS || executed == SQL_SUCCESS_WITH_INFO) {
        // A driver may report an UPDATE of no row as success with no rows.
        SQLLEN changed = -1;
        if (SQL_SUCCEEDED(SQLRowCount(stream->stmt_main, &changed)) && changed == 0)
            rc = ZE_NO_ROWS_MATCHED;
    } else {
        fprintf(stderr, "S_execute_update_table  Execute Error (%d).\n",
                static_cast<int>(executed));
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, &stream->stmt_main, executed);
        db_stream_set_xerr_from_diag(stream, diag);
        rc = ZE_DBMS_ERROR;
    }
    S_close_lobs(stream);
    return rc;
}

int32_t db_update_set_list(DB_STREAM *stream, int32_t count, int32_t with_shape, std::string *out,
                           int32_t *written)
{
    DB_STREAM_WRITE *write = stream != nullptr ? stream->write : nullptr;
    if (write == nullptr || write->row.buffer == nullptr || out == nullptr || written == nullptr)
        return ZE_NULL_POINTER;
    const DB_WRITE_ROW &row = write->row;
    if (count < 0 || count > row.column_count)
        return ZE_INVALID_ARGUMENT;
    *written = 0;
    for (int32_t i = 0; i < count; i++) {
        const DB_COLUMN_DEF &column = row.columns[i];
        const bool shape = column.type == VE_SHAPE && i == row.spatial_position;
        if (shape && !with_shape)
            continue;
        int32_t rc = db_check_name(column.name, sizeof(column.name));
        if (rc != 0)
            return rc;
        *out += std::string(" ") + column.name + " = ";
        if (shape) {
            if ((rc = db_shape_constructor_sql(stream, out)) != 0)
                return rc;
        } else {
            *out += "?";
        }
        *out += ", ";
        ++*written;
    }
    return 0;
}

// ---- set-up ---------------------------------------------------------------

int32_t DB_stream_init_update_table(DB_STREAM *stream, const char *table, int16_t column_count,
                                    const char *const *columns, char *where)
{
    // The caller's text is the stream's from here on, whatever the outcome.
    std::unique_ptr<char, decltype(&free)> taken(where, &free);
    if (stream == nullptr || table == nullptr || columns == nullptr)
        return ZE_NULL_POINTER;
    if (column_count < 1)
        return ZE_INVALID_ARGUMENT;
    // The condition goes inside parentheses beside the update's own: one
    // that closes them could undo that condition.
    if (db_sql_client_condition(where, nullptr) != 0)
        return ZE_INVALID_ARGUMENT;
    DB_stream_clear_xerr(stream);
    if (stream->row_locking && !stream->row_locks_initialised)
        DB_row_lock_init(stream);
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        // A stream set up again starts from nothing of the earlier set-up.
        db_stream_write_free(stream);
        db_stream_lob_records_free(stream);
        db_free_stmt(&stream->stmt_main);
        free(stream->where_text);
        stream->where_text = nullptr;
        stream->layer = nullptr;
        stream->spatial_column_name[0] = '\0';

        int32_t rc = db_check_table_name(table);
        if (rc == 0)
            rc = db_parse_table_name(nullptr, table, db_stream_get_user(stream), stream->database,
                                     stream->owner, stream->table);
        if (rc != 0)
            return rc;
        rc = db_layer_info_load_for_tables(nullptr, stream, column_count, columns, 1, &table);
        if (rc != 0 && rc != ZE_TABLE_NOT_FOUND)
            return rc;
        if (stream->layer != nullptr) {
            if ((stream->layer->privileges & VE_PRIV_INSERT) == 0)
                return ZE_NO_PERMISSIONS;
            S_copy(stream->spatial_column_name, stream->layer->spatial_column);
        }
        DB_STREAM_WRITE *write = db_stream_write_get(stream);
        if (write == nullptr)
            return ZE_OUT_OF_MEMORY;
        write->column_count = column_count;
        if (const char *condition = db_sql_skip_where(where)) {
            if (!db_sql_is_blank(condition)) {
                stream->where_text = strdup(condition);
                if (stream->where_text == nullptr)
                    return ZE_OUT_OF_MEMORY;
            }
        }
        return 0;
    });
}

int32_t DB_stream_init_update_buffer(DB_STREAM *stream, int16_t column_count,
                                     const DB_COLUMN_DEF *columns)
{
    if (stream == nullptr || columns == nullptr)
        return ZE_NULL_POINTER;
    DB_STREAM_WRITE *write = stream->write;
    if (write == nullptr)
        return ZE_NULL_POINTER; // no set-up
    if (column_count < 1 || (write->column_count > 0 && column_count != write->column_count))
        return ZE_INVALID_ARGUMENT;
    // The last shape column is the one the update writes.
    int32_t spatial = -1;
    for (int16_t i = 0; i < column_count; i++)
        if (columns[i].type == VE_SHAPE)
            spatial = i;
    const int32_t annotation =
        stream->layer != nullptr && (stream->layer->eflags & LAYER_ANNOTATION) ? 1 : 0;
    // The statement a one-row update kept is bound to the old buffer.
    if (write->update_prepared)
        db_free_stmt(&stream->stmt_main);
    write->update_prepared = 0;
    free(write->params);
    write->params = nullptr;
    int32_t rc = db_write_row_layout(&write->row, "DB_stream_init_update_buffer", column_count,
                                     columns, spatial, annotation);
    if (rc != 0)
        return rc;
    write->spatial_position = write->row.spatial_position;
    write->params =
        static_cast<int32_t *>(calloc(static_cast<size_t>(column_count), sizeof(int32_t)));
    if (write->params == nullptr) {
        db_write_row_free(&write->row);
        return ZE_OUT_OF_MEMORY;
    }
    return 0;
}

// ---- the WHERE update -------------------------------------------------------

// "database:owner.table" of the stream's table (the connected database when
// it has none).
static std::string S_table_name(const DB_STREAM *stream)
{
    char name[DB_QUALIFIED_NAME_SIZE] = {};
    DB_table_make_name(stream->database, stream->owner, stream->table, name);
    return name;
}

// The layer's table, as the reads and updates of a shape update name it.
static int32_t S_layer_table_name(const DB_STREAM *stream, std::string *out)
{
    char name[DB_QUALIFIED_NAME_SIZE] = {};
    if (db_get_qualify_table_name(stream->layer, name, sizeof(name)) != 0)
        return ZE_INVALID_ARGUMENT;
    int32_t rc = db_check_table_name(name);
    if (rc != 0)
        return rc;
    *out = name;
    return 0;
}

static const char *S_where(const DB_STREAM *stream)
{
    return db_sql_is_blank(stream->where_text) ? nullptr : stream->where_text;
}

// Prepares one of the update's statements; the statement is dropped on a
// failure. 0; -37, -38; with refused_is_denied, SQLSTATE 42000 gives -25;
// -51 otherwise.
static int32_t S_prepare(DB_STREAM *stream, SQLHSTMT *stmt, const std::string &sql,
                         bool refused_is_denied)
{
    int32_t rc = db_write_prepare(stream, stmt, sql.c_str());
    if (rc == ZE_DBMS_ERROR && refused_is_denied && strcmp(stream->xerr.text, "42000") == 0)
        return ZE_NO_PERMISSIONS;
    return rc;
}

// A failed call of the update's reads: the message, the diagnostic into
// the stream's record; -51.
static int32_t S_read_failed(DB_STREAM *stream, SQLHSTMT *stmt, SQLRETURN rc, const char *format)
{
    fprintf(stderr, format, static_cast<int>(rc));
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, stmt, rc);
    db_stream_set_xerr_from_diag(stream, diag);
    return ZE_DBMS_ERROR;
}

// Prepares, binds and runs one UPDATE in the main statement, then drops it.
static int32_t S_run_update(DB_STREAM *stream, const std::string &sql, int32_t with_shape,
                            int32_t rowid)
{
    int32_t rc = db_write_prepare(stream, &stream->stmt_main, sql.c_str());
    if (rc == 0)
        rc = db_update_plan(stream, with_shape, rowid, 0);
    if (rc == 0)
        rc = db_bind_update_buffers(stream);
    if (rc == 0)
        rc = db_execute_update_table(stream);
    db_free_stmt(&stream->stmt_main);
    return rc;
}

// Without a shape, or with a NULL one: one UPDATE of every column over the
// rows of the WHERE text.
static int32_t S_update_plain(DB_STREAM *stream)
{
    std::string sql = "UPDATE " + S_table_name(stream) + " SET ";
    int32_t written = 0;
    int32_t rc = db_update_set_list(stream, stream->write->row.column_count, 1, &sql, &written);
    if (rc != 0)
        return rc;
    sql.resize(sql.size() - 2);
    if (const char *where = S_where(stream))
        sql += std::string(" WHERE (") + where + ")";
    rc = db_write_prepare(stream, &stream->stmt_main, sql.c_str());
    if (rc == 0)
        rc = db_update_plan(stream, 1, 0, 0);
    if (rc == 0)
        rc = db_bind_update_buffers(stream);
    // The rows go into the log before they change.
    if (rc == 0)
        rc = db_stream_log_where_rows(stream);
    if (rc == 0)
        rc = db_execute_update_table(stream);
    db_free_stmt(&stream->stmt_main);
    return rc;
}

// The rows that have a shape: counted through their VE_ROW_IDs, a rowset
// at a time, logged, then changed by one UPDATE. -1005 when there are none.
static int32_t S_update_existing_features(DB_STREAM *stream, const std::string &table)
{
    const char *where = S_where(stream);
    std::string sql = "SELECT VE_ROW_ID FROM " + table + " WHERE VE_ROW_ID is not null";
    if (where != nullptr)
        sql += std::string(" AND (") + where + ")";
    int64_t found = 0;
    {
        db_stmt_guard select;
        int32_t rc = S_prepare(stream, &select.h, sql, true);
        if (rc != 0)
            return rc;
        SQLINTEGER ids[S_ID_ROWSET] = {};
        SQLLEN cells[S_ID_ROWSET] = {};
        SQLRETURN r = SQLBindCol(select.h, 1, SQL_C_SLONG, ids, sizeof(ids[0]), cells);
        if (SQL_SUCCEEDED(r))
            r = SQLSetStmtAttr(select.h, SQL_ROWSET_SIZE,
                               reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(S_ID_ROWSET)), 0);
        if (SQL_SUCCEEDED(r))
            r = SQLExecute(select.h);
        if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA)
            return S_read_failed(stream, &select.h, r,
                                 "S_init_select_existing_features: Define Error (%d).\n");
        while (r != SQL_NO_DATA) {
            SQLULEN fetched = 0;
            SQLUSMALLINT status[S_ID_ROWSET] = {};
            r = SQLExtendedFetch(select.h, SQL_FETCH_NEXT, 0, &fetched, status);
            if (r == SQL_NO_DATA)
                break;
            if (!SQL_SUCCEEDED(r))
                return S_read_failed(stream, &select.h, r,
                                     "S_update_existing_features: Execute/Fetch Error (%d).\n");
            found += static_cast<int64_t>(fetched);
        }
    }
    if (found == 0)
        return ZE_NO_ROWS_MATCHED;
    // Once for the rows of the pass: the hook adds every row the WHERE selects.
    int32_t rc = db_stream_log_table_rows(stream);
    if (rc != 0)
        return rc;
    sql = "UPDATE " + table + " SET ";
    int32_t written = 0;
    if ((rc = db_update_set_list(stream, stream->write->row.column_count, 1, &sql, &written)) != 0)
        return rc;
    sql.resize(sql.size() - 2);
    sql += std::string(" where ") + stream->spatial_column_name + " is not null";
    if (where != nullptr)
        sql += std::string(" and (") + where + ")";
    rc = S_run_update(stream, sql, 1, 0);
    return rc == ZE_NO_ROWS_MATCHED ? 0 : rc;
}

// The cursor name of the statement, however long the driver makes it.
static int32_t S_cursor_name(DB_STREAM *stream, SQLHSTMT *stmt, std::string *out)
{
    std::vector<char> name(32);
    for (;;) {
        SQLSMALLINT length = 0;
        SQLRETURN r = SQLGetCursorName(*stmt, reinterpret_cast<SQLCHAR *>(name.data()),
                                       static_cast<SQLSMALLINT>(name.size()), &length);
        if (!SQL_SUCCEEDED(r) || length < 0) {
            fprintf(stderr, "S_init_select_non_existent_features: Error getting cursor name\n");
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, stmt, r);
            db_stream_set_xerr_from_diag(stream, diag);
            return ZE_DBMS_ERROR;
        }
        if (static_cast<size_t>(length) < name.size()) {
            out->assign(name.data(), static_cast<size_t>(length));
            break;
        }
        if (name.size() >= 32768)
            return ZE_INVALID_ARGUMENT;
        name.resize(static_cast<size_t>(length) + 1);
    }
    // The name stands unquoted in the UPDATE.
    return db_check_name(out->c_str(), out->size() + 1);
}

// The rows without a shape: each gets a new VE_ROW_ID and the shape through
// a positioned UPDATE on the cursor that reads them. -1005 when there are
// none. A failing row ends the pass; the rows before it stay updated and
// their new ids are logged.
static int32_t S_update_non_existent_features(DB_STREAM *stream, const std::string &table)
{
    DB_STREAM_WRITE *write = stream->write;
    DB_WRITE_ROW &row = write->row;
    const char *where = S_where(stream);
    std::string sql = "SELECT VE_ROW_ID FROM " + table + " WHERE ";
    if (where != nullptr)
        sql += std::string("(") + where + ") AND ";
    sql += std::string(stream->spatial_column_name) + " IS NULL ";
    db_stmt_guard select;
    int32_t rc = S_prepare(stream, &select.h, sql, false);
    if (rc != 0)
        return rc;
    SQLINTEGER fetched_id = 0;
    SQLLEN fetched_cell = 0;
    SQLRETURN r = SQLExecute(select.h);
    if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA)
        return S_read_failed(stream, &select.h, r,
                             "S_init_select_non_existent_features: Define Error (%d).\n");
    r = SQLBindCol(select.h, 1, SQL_C_SLONG, &fetched_id, sizeof(fetched_id), &fetched_cell);
    if (!SQL_SUCCEEDED(r))
        return S_read_failed(stream, &select.h, r,
                             "S_init_select_non_existent_features: SQLBindCol Error (%d).\n");
    std::string cursor;
    if ((rc = S_cursor_name(stream, &select.h, &cursor)) != 0)
        return rc;

    std::string update = "UPDATE " + table + " SET ";
    int32_t written = 0;
    if ((rc = db_update_set_list(stream, row.column_count, 1, &update, &written)) != 0)
        return rc;
    update += " VE_ROW_ID = ? where current of " + cursor;
    rc = db_write_prepare(stream, &stream->stmt_main, update.c_str());
    if (rc == 0)
        rc = db_update_plan(stream, 1, 1, 0);
    if (rc == 0)
        rc = db_bind_update_buffers(stream);
    if (rc != 0) {
        db_free_stmt(&stream->stmt_main);
        return rc;
    }
    std::vector<int32_t> ids;
    for (;;) {
        r = SQLFetch(select.h);
        if (r == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(r)) {
            rc = S_read_failed(stream, &select.h, r,
                               "S_update_non_existent_features: Fetch Error (%d).\n");
            break;
        }
        // Once, before the first of them changes: the hook adds every row
        // of the pass.
        if (ids.empty() && (rc = db_stream_log_null_shape_rows(stream)) != 0)
            break;
        const int32_t id = db_get_next_ids(stream->layer->layer_id, 1);
        if (id < 0) {
            rc = id;
            break;
        }
        memcpy(row.values[row.rowid_index], &id, sizeof(id));
        row.indicators[row.rowid_index] = sizeof(int32_t);
        if ((rc = db_execute_update_table(stream)) != 0)
            break;
        ids.push_back(id);
    }
    db_free_stmt(&stream->stmt_main);
    db_free_stmt(&select.h);
    if (!ids.empty()) {
        const int32_t logged =
            db_stream_log_ids(stream, ids.data(), static_cast<int32_t>(ids.size()), nullptr, 0);
        if (rc == 0)
            rc = logged;
    }
    if (rc != 0)
        return rc;
    return ids.empty() ? ZE_NO_ROWS_MATCHED : 0;
}

static int32_t S_update_with_shape(DB_STREAM *stream)
{
    std::string table;
    int32_t rc = S_layer_table_name(stream, &table);
    if (rc != 0)
        return rc;
    const int32_t existing = S_update_existing_features(stream, table);
    if (existing != 0 && existing != ZE_NO_ROWS_MATCHED)
        return existing;
    const int32_t missing = S_update_non_existent_features(stream, table);
    if (missing != 0 && missing != ZE_NO_ROWS_MATCHED)
        return missing;
    return existing == ZE_NO_ROWS_MATCHED && missing == ZE_NO_ROWS_MATCHED ? ZE_NO_ROWS_MATCHED : 0;
}

int32_t DB_stream_execute_update_table(DB_STREAM *stream, const int16_t *indicators,
                                       void *const *values, int32_t log_id)
{
    if (stream == nullptr || indicators == nullptr || values == nullptr)
        return ZE_NULL_POINTER;
    DB_stream_clear_xerr(stream);
    DB_STREAM_WRITE *write = stream->write;
    if (write == nullptr || write->row.buffer == nullptr || write->params == nullptr)
        return ZE_NULL_POINTER; // DB_stream_init_update_buffer has not succeeded
    // The set-up's rows are updated once; a second run is refused rather
    // than run against rows the caller may no longer mean.
    if (write->executed)
        return ZE_INVALID_ARGUMENT;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        int32_t rc = 0;
        if (log_id > 0 && !stream->auto_log && (rc = db_stream_write_open_log(stream, log_id)) != 0)
            return rc;
        DB_WRITE_ROW &row = write->row;
        const int32_t spatial = row.spatial_position;
        if (spatial >= 0) {
            int32_t srid = 0;
            if (stream->layer == nullptr ||
                db_get_srid(nullptr, stream, stream->layer->coordref, &srid) != 0)
                return ZE_FAILURE;
        }
        if ((rc = db_write_row_copy(&row, indicators, values)) != 0)
            return rc;
        write->executed = 1;
        const bool with_shape = spatial >= 0 && indicators[spatial] != VE_IND_NULL;
        rc = with_shape ? S_update_with_shape(stream) : S_update_plain(stream);
        if (rc != 0 || !with_shape)
            return rc;
        return db_stream_write_widen_envelope(
            stream, static_cast<const FEATURE_STRUCT *>(row.values[spatial]));
    });
}
