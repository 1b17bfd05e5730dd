// One-row update and delete (db_stream_update_row.h) and the in-place UPDATE
// text they share with the update of a row version
// (db_stream_update_row_internal.h). The UPDATE is held prepared in the
// stream's main statement with the form it was built for (shape set or not,
// WHERE column); a row that needs another form prepares it again, so a
// NULL shape never drops the shape of a later row and a shape is never
// written where the caller meant to leave it.
#include "db/stream/db_stream_update_row_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "base/util/ve_layer.h"
#include "base/util/ve_loginfo.h"
#include "base/util/ve_raster.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_raster.h"
#include "db/catalog/db_rastercolumn_info.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_names.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_stream_layer_internal.h"
#include "db/stream/db_row_lock.h"
#include "db/stream/db_state_write_buffer_internal.h"
#include "db/stream/db_stream_hooks_internal.h"
#include "db/stream/db_stream_raster_internal.h"
#include "db/stream/db_stream_tile_internal.h"
#include "db/stream/db_stream_update_internal.h"
#include "db/stream/db_stream_write_internal.h"
#include "db/version/db_row_state.h"

// Row-lock mode bits of a one-row update: the row's id is added to the
// row-lock set, or removed from it.
#define S_LOCK_ADD_ROW 0x04
#define S_LOCK_REMOVE_ROW 0x10

template <size_t N> static void S_copy(char (&out)[N], const char *text)
{
    const size_t n = strnlen(text, N - 1);
    memcpy(out, text, n);
    out[n] = '\0';
}

// "database:owner.table" of the stream's table.
static std::string S_stream_table(const DB_STREAM *stream)
{
    char name[DB_QUALIFIED_NAME_SIZE] = {};
    DB_table_make_name(stream->database, stream->owner, stream->table, name);
    return name;
}

// "database:owner.table" of the registration's table, checked for SQL.
static int32_t S_registered_table(const REGISTRATION *registration,
                                  char (&out)[DB_QUALIFIED_NAME_SIZE])
{
    int32_t rc = db_check_name(registration->table_name, sizeof(registration->table_name));
    if (rc != 0)
        return rc;
    DB_table_make_name(registration->database_name, registration->owner, registration->table_name,
                       out);
    return db_check_table_name(out);
}

int32_t db_build_state_update_sql(DB_STREAM *stream, int32_t with_shape, int32_t state_flag,
                                  int32_t rowid_flag, std::string *out, const char *rowid_column)
{
    DB_STREAM_WRITE *write = stream != nullptr ? stream->write : nullptr;
    if (write == nullptr || write->row.buffer == nullptr || out == nullptr ||
        rowid_column == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = db_check_name(rowid_column, DB_NAME_COLUMN_SIZE);
    if (rc != 0)
        return rc;
    const std::string table = S_stream_table(stream);
    if ((rc = db_check_table_name(table.c_str())) != 0)
        return rc;
    // Fresh statistics let the optimizer take the row-id index; a failed
    // refresh only costs speed, so its result is not looked at.
    db_execute_ddlsql(("UPDATE STATISTICS LOW FOR TABLE " + table).c_str(), 0, DB_EXEC_NO_COMMIT);
    std::string sql = "UPDATE " + table + " SET /*+AVOID_FULL(" + table + ")*/";
    int32_t written = 0;
    rc = db_update_set_list(stream, write->row.column_count - 1, with_shape, &sql, &written);
    if (rc != 0)
        return rc;
    if (written == 0)
        return ZE_INVALID_ARGUMENT; // nothing to set: no statement
    sql.resize(sql.size() - 2);
    if (rowid_flag && with_shape && write->row.spatial_position >= 0)
        sql += ", VE_ROW_ID = ?";
    sql += std::string(" WHERE ") + rowid_column + " = ?";
    if (state_flag)
        sql += " AND ZEL_STATE_ID = ?";
    *out = sql;
    return 0;
}

// ---- set-up of a one-row update ------------------------------------------

// The layer of the registered layer table: -20 and -25 end the set-up,
// other failures leave the stream without a layer.
static int32_t S_find_layer(DB_STREAM *stream, const REGISTRATION *registration, const char *table,
                            const char *user)
{
    stream->layer = nullptr;
    stream->spatial_column_name[0] = '\0';
    S_copy(stream->database, registration->database_name);
    S_copy(stream->owner, registration->owner);
    S_copy(stream->table, registration->table_name);
    if ((registration->object_flags & REG_LAYER) == 0)
        return 0;
    LAYER *layer = nullptr;
    int32_t rc = DB_layer_get_info_by_table_name(nullptr, stream, table, nullptr, user, &layer);
    if (rc == ZE_LAYER_NOT_FOUND || rc == ZE_NO_PERMISSIONS)
        return rc;
    if (rc != 0 || layer == nullptr)
        return 0;
    stream->layer = layer;
    S_copy(stream->owner, layer->owner);
    S_copy(stream->table, layer->table_name);
    S_copy(stream->spatial_column_name, layer->spatial_column);
    return 0;
}

static int32_t S_find_raster(DB_STREAM *stream, DB_STREAM_WRITE *write,
                             const REGISTRATION *registration, int32_t row_id, int16_t column_count,
                             const char *const *columns, const char *table)
{
    stream->raster_column[0] = '\0';
    stream->raster_position = -1;
    if (registration->registration_id == 0 || (registration->object_flags & REG_RASTER_COLUMN) == 0)
        return 0;
    int32_t rc =
        db_stream_find_raster_column(stream, column_count, columns, 1, &table, VE_PRIV_UPDATE);
    if (rc != 0 || stream->raster_column[0] == '\0')
        return rc;
    if ((rc = db_prepare_insert_raster(stream)) != 0 || (rc = db_bind_insert_raster(stream)) != 0)
        return rc;
    if (strcasecmp(write->rowid_column, stream->raster_column) == 0 && row_id >= 1)
        write->raster_id = row_id;
    return 0;
}

int32_t DB_stream_init_set_row(DB_STREAM *stream, const REGISTRATION *registration, int32_t row_id,
                               int16_t column_count, const char *const *columns)
{
    if (stream == nullptr || registration == nullptr || columns == nullptr)
        return ZE_NULL_POINTER;
    if (column_count < 1)
        return ZE_INVALID_ARGUMENT;
    for (int16_t i = 0; i < column_count; i++)
        if (columns[i] == nullptr)
            return ZE_NULL_POINTER;
    DB_stream_clear_xerr(stream);
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        char user[DB_USER_NAME_SIZE] = "";
        db_get_current_user(user);
        char table[DB_QUALIFIED_NAME_SIZE] = {};
        int32_t rc = S_registered_table(registration, table);
        if (rc != 0)
            return rc;
        // A stream set up again starts from nothing of the earlier set-up.
        db_stream_write_free(stream);
        db_stream_lob_records_free(stream);
        db_free_stmt(&stream->stmt_main);
        free(stream->where_text);
        stream->where_text = nullptr;
        DB_STREAM_WRITE *write = db_stream_write_get(stream);
        if (write == nullptr)
            return ZE_OUT_OF_MEMORY;
        write->registration = *registration;
        write->row_id = row_id;
        if ((rc = S_find_layer(stream, registration, table, user)) != 0)
            return rc;
        char rowid_column[DB_ROW_QUERY_COLUMN_SIZE] = "";
        rc = DB_registered_table_get_row_query_column(nullptr, registration, rowid_column);
        if (rc == 0)
            rc = db_check_name(rowid_column, sizeof(rowid_column));
        if (rc != 0)
            return rc;
        S_copy(write->rowid_column, rowid_column);
        if ((rc = S_find_raster(stream, write, registration, row_id, column_count, columns,
                                table)) != 0)
            return rc;
        // With row id -1 the caller's last column stands for the row-id
        // column whatever it is named: the stream names it by
        // write->rowid_column and leaves the caller's names alone.
        if (registration->registration_id != 0)
            DB_row_lock_init(stream);
        // What selects the row, for the envelope and the hooks; kept until
        // the stream is closed.
        std::string where = std::string(table) + ".";
        if (row_id == -1)
            where += std::string(rowid_column) + " = ? ";
        else if (registration->object_flags & REG_LAYER)
            where += "VE_ROW_ID = " + std::to_string(row_id);
        else
            where += std::string(rowid_column) + " = " + std::to_string(row_id);
        stream->where_text = strdup(where.c_str());
        if (stream->where_text == nullptr)
            return ZE_OUT_OF_MEMORY;
        write->column_count = column_count;
        return 0;
    });
}

// ---- a row ----------------------------------------------------------------

// The caller's last column, the row's id: 16- or 32-bit, or a float or
// double cut toward zero; 0 when NULL or of another type.
static int32_t S_row_id_value(const DB_WRITE_ROW &row)
{
    const int32_t i = row.column_count - 1;
    if (row.indicators[i] == SQL_NULL_DATA)
        return 0;
    const void *value = row.values[i];
    switch (row.columns[i].type) {
    case VE_SMALLINT:
        return *static_cast<const int16_t *>(value);
    case VE_INTEGER:
        return *static_cast<const int32_t *>(value);
    case VE_FLOAT:
        return static_cast<int32_t>(*static_cast<const float *>(value));
    case VE_DOUBLE:
        return static_cast<int32_t>(*static_cast<const double *>(value));
    default:
        return 0;
    }
}

// The UPDATE of the form the row needs, in the main statement: kept from
// the row before when it has that form.
static int32_t S_ready_update(DB_STREAM *stream, DB_STREAM_WRITE *write, bool with_shape,
                              const char *where_column)
{
    if (write->update_prepared && stream->stmt_main != SQL_NULL_HSTMT &&
        write->update_with_shape == (with_shape ? 1 : 0) &&
        strcmp(write->update_where_column, where_column) == 0)
        return 0;
    write->update_prepared = 0;
    db_free_stmt(&stream->stmt_main);
    std::string sql;
    int32_t rc = db_build_state_update_sql(stream, with_shape ? 1 : 0, 0, 0, &sql, where_column);
    if (rc == 0)
        rc = db_write_prepare(stream, &stream->stmt_main, sql.c_str());
    if (rc == 0)
        rc = db_update_plan(stream, with_shape ? 1 : 0, 0, 1);
    if (rc == 0)
        rc = db_bind_update_buffers(stream);
    if (rc != 0) {
        db_free_stmt(&stream->stmt_main);
        return rc;
    }
    write->update_prepared = 1;
    write->update_with_shape = with_shape ? 1 : 0;
    S_copy(write->update_where_column, where_column);
    return 0;
}

// The row written: its VE_ROW_ID and registered id into the automatic log,
// its registered id into or out of the row-lock set.
static int32_t S_log_row(DB_STREAM *stream, int32_t shape_row_id, int32_t user_id)
{
    int32_t rc = 0;
    if (stream->auto_log && (rc = db_stream_log_ids(stream, &shape_row_id, 1, &user_id, 1)) != 0)
        return rc;
    if (user_id > 0 && stream->row_locking && stream->row_locks_initialised) {
        if (stream->row_lock_mode & S_LOCK_ADD_ROW)
            return DB_row_lock_add(stream, &user_id, 1);
        if (stream->row_lock_mode & S_LOCK_REMOVE_ROW)
            return DB_row_lock_remove_by_ids(stream, &user_id, 1);
    }
    return 0;
}

int32_t DB_stream_execute_update_row(DB_STREAM *stream, const int16_t *indicators,
                                     void *const *values, int32_t by_rowid,
                                     const char *rowid_column, int32_t log_id)
{
    if (stream == nullptr || indicators == nullptr || values == nullptr)
        return ZE_NULL_POINTER;
    DB_stream_clear_xerr(stream);
    DB_STREAM_WRITE *write = stream->write;
    if (write == nullptr || write->row.buffer == nullptr || write->params == nullptr)
        return ZE_NULL_POINTER; // DB_stream_init_update_buffer has not succeeded
    if (by_rowid && rowid_column == nullptr)
        return ZE_NULL_POINTER;
    // Without the flag the id is a value of the column the set-up found.
    const char *where_column = by_rowid ? rowid_column : write->rowid_column;
    int32_t rc = db_check_name(where_column, DB_NAME_COLUMN_SIZE);
    if (rc != 0)
        return rc;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        int32_t rc = 0;
        if (log_id > 0 && !stream->auto_log && (rc = db_stream_write_open_log(stream, log_id)) != 0)
            return rc;
        DB_WRITE_ROW &row = write->row;
        if ((rc = db_write_row_copy(&row, indicators, values)) != 0)
            return rc;
        const int32_t spatial = row.spatial_position;
        const bool with_shape = spatial >= 0 && indicators[spatial] != VE_IND_NULL;
        const int32_t id = S_row_id_value(row);
        // The row's VE_ROW_ID, for a log of feature ids.
        int32_t shape_row_id = by_rowid ? 0 : id;
        const bool log_features = stream->auto_log && (stream->auto_log_file.flags & LOGINFO_LAYER);
        if (by_rowid && (with_shape || log_features) &&
            (rc = db_stream_get_shape_row_id(stream, rowid_column, id, &shape_row_id)) != 0)
            return rc;
        // Only a NULL shape besides the id: the row keeps what it has.
        bool any = false;
        for (int32_t i = 0; i + 1 < row.column_count && !any; i++)
            any = i != spatial || with_shape;
        if (!any)
            return 0;
        if ((rc = S_ready_update(stream, write, with_shape, where_column)) != 0)
            return rc;
        rc = db_execute_update_table(stream);
        if (rc == ZE_NO_ROWS_MATCHED)
            return rc;
        if (rc != 0) {
            // Prepared again by the next row.
            db_free_stmt(&stream->stmt_main);
            write->update_prepared = 0;
            return rc;
        }
        return S_log_row(stream, shape_row_id, by_rowid ? id : 0);
    });
}

// ---- delete ----------------------------------------------------------------

// The raster id the row's raster column holds; 0 when there is no row.
static int32_t S_row_raster_id(DB_STREAM *stream, const RASTERCOLUMN &info, const char *table,
                               const char *rowid_column, int32_t row_id, int32_t *raster_id)
{
    *raster_id = 0;
    int32_t rc = db_check_name(info.raster_column, sizeof(info.raster_column));
    if (rc != 0)
        return rc;
    const std::string sql = std::string("SELECT ") + info.raster_column + " FROM " + table +
                            " WHERE " + rowid_column + " = " + std::to_string(row_id);
    db_stmt_guard stmt;
    if ((rc = db_write_prepare(stream, &stmt.h, sql.c_str())) != 0)
        return rc;
    SQLINTEGER value = 0;
    SQLLEN cell = 0;
    SQLRETURN r = SQLBindCol(stmt.h, 1, SQL_C_SLONG, &value, sizeof(value), &cell);
    if (SQL_SUCCEEDED(r))
        r = SQLExecute(stmt.h);
    if (SQL_SUCCEEDED(r))
        r = SQLFetch(stmt.h);
    if (r == SQL_NO_DATA)
        return 0;
    if (!SQL_SUCCEEDED(r)) {
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, &stmt.h, r);
        db_stream_set_xerr_from_diag(stream, diag);
        return ZE_DBMS_ERROR;
    }
    *raster_id = cell == SQL_NULL_DATA ? 0 : value;
    return 0;
}

int32_t DB_stream_delete_row(DB_STREAM *stream, const REGISTRATION *registration, int32_t row_id)
{
    if (stream == nullptr || registration == nullptr)
        return ZE_NULL_POINTER;
    DB_stream_clear_xerr(stream);
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        char table[DB_QUALIFIED_NAME_SIZE] = {};
        int32_t rc = S_registered_table(registration, table);
        if (rc != 0)
            return rc;
        char user[DB_USER_NAME_SIZE] = "";
        db_get_current_user(user);
        if (registration->object_flags & REG_LAYER) {
            LAYER *layer = nullptr;
            if ((rc = DB_layer_get_info_by_table_name(nullptr, stream, table, nullptr, user,
                                                      &layer)) != 0)
                return rc;
        }
        char rowid_column[DB_ROW_QUERY_COLUMN_SIZE] = "";
        rc = DB_registered_table_get_row_query_column(nullptr, registration, rowid_column);
        if (rc == 0)
            rc = db_check_name(rowid_column, sizeof(rowid_column));
        if (rc != 0)
            return rc;
        RASTERCOLUMN raster{};
        int32_t raster_id = 0;
        const bool with_raster = (registration->object_flags & REG_RASTER_COLUMN) != 0;
        if (with_raster) {
            if ((rc = DB_rastercolumn_get_info_by_name(nullptr, stream, table, nullptr, user,
                                                       &raster)) != 0)
                return rc;
            if (strcasecmp(raster.raster_column, rowid_column) == 0)
                raster_id = row_id;
            else if ((rc = S_row_raster_id(stream, raster, table, rowid_column, row_id,
                                           &raster_id)) != 0)
                return rc;
        }
        const std::string sql = std::string("DELETE FROM ") + table + " WHERE " + rowid_column +
                                " = " + std::to_string(row_id);
        db_stmt_guard stmt;
        if ((rc = db_write_prepare(stream, &stmt.h, sql.c_str())) != 0)
            return rc;
        SQLRETURN r = SQLExecute(stmt.h);
        SQLLEN deleted = -1;
        if (r == SQL_NO_DATA ||
            (SQL_SUCCEEDED(r) && SQL_SUCCEEDED(SQLRowCount(stmt.h, &deleted)) && deleted == 0))
            return ZE_OBJECT_NOT_FOUND;
        if (!SQL_SUCCEEDED(r)) {
            fprintf(stderr, "DB_stream_delete_row() Execute Error (%d).\n", static_cast<int>(r));
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, &stmt.h, r);
            db_stream_set_xerr_from_diag(stream, diag);
            return ZE_DBMS_ERROR;
        }
        db_free_stmt(&stmt.h);
        if (with_raster && raster_id > 0)
            return DB_raster_def_delete(nullptr, raster.rastercolumn_id, raster_id);
        return 0;
    });
}
