// Insert streams (db_stream_insert.h). The INSERT is prepared once and its
// parameters stay bound to the stream's row buffers (db_write_row.cpp); per
// row only the values are copied and the shape, annotation and blob
// parameters bound again. The INSERT's text is kept: a row whose execute
// failed drops the statement, and the next row prepares and binds it again.
#include "db/stream/db_stream_insert_internal.h"

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
#include "db/catalog/db_layer_tables_internal.h"
#include "db/catalog/db_log.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_user_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_columns_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_stream_layer_internal.h"
#include "db/core/db_trans.h"
#include "db/stream/db_row_lock.h"
#include "db/stream/db_state_write_buffer_internal.h"
#include "db/stream/db_stream_hooks_internal.h"
#include "db/stream/db_stream_raster_internal.h"
#include "db/stream/db_stream_tile_internal.h"
#include "db/stream/db_stream_write_internal.h"

// Row-lock mode bit: the rows written are locked by their row-id value.
#define S_LOCK_ROWS_WRITTEN 0x02

template <size_t N> static void S_copy(char (&out)[N], const char *text)
{
    const size_t n = strnlen(text, N - 1);
    memcpy(out, text, n);
    out[n] = '\0';
}

int32_t db_build_insert_sql(DB_STREAM *stream, const char *table, int16_t column_count,
                            const char *const *columns, int32_t state_id, std::string *out)
{
    if (stream == nullptr || table == nullptr || out == nullptr ||
        (column_count > 0 && columns == nullptr))
        return ZE_NULL_POINTER;
    if (column_count < 1)
        return ZE_INVALID_ARGUMENT;
    DB_STREAM_WRITE *write = db_stream_write_get(stream);
    if (write == nullptr)
        return ZE_OUT_OF_MEMORY;
    write->spatial_position = -1;
    std::string names;
    for (int16_t i = 0; i < column_count; i++) {
        if (columns[i] == nullptr)
            return ZE_NULL_POINTER;
        // Only the column part counts: no database is asked for, so the
        // current one is not looked up.
        char owner[DB_NAME_OWNER_SIZE], part[DB_NAME_TABLE_SIZE], column[DB_NAME_COLUMN_SIZE];
        int32_t rc = db_parse_column_name(nullptr, columns[i], db_stream_get_user(stream), nullptr,
                                          owner, part, column);
        // The engine writes VE_ROW_ID itself, however the caller names it.
        if (strcasecmp(columns[i], "VE_ROW_ID") == 0 ||
            (rc == 0 && strcasecmp(column, "VE_ROW_ID") == 0))
            return ZE_RESERVED_COLUMN;
        if (rc == 0)
            rc = db_check_name(column, sizeof(column));
        if (rc != 0)
            return rc;
        if (i > 0)
            names += ", ";
        names += column;
        if (stream->spatial_column_name[0] && db_stream_is_spatial_column(stream, columns[i]))
            write->spatial_position = i;
    }
    std::string values;
    int32_t value_count = column_count;
    if (write->spatial_position >= 0) {
        names += ", VE_ROW_ID";
        value_count++;
    }
    if (state_id > 0)
        names += ", ZEL_STATE_ID";
    for (int32_t i = 0; i < value_count; i++) {
        if (i == write->spatial_position) {
            values += " ";
            int32_t rc = db_shape_constructor_sql(stream, &values);
            if (rc != 0)
                return rc;
            values += ",";
        } else {
            values += "?,";
        }
    }
    if (state_id > 0)
        values += " " + std::to_string(state_id) + ",";
    values.back() = ')';
    *out = std::string("INSERT INTO ") + table + "  (" + names + ") VALUES (" + values;
    return 0;
}

// The layer of a registered layer table: its spatial column becomes the
// stream's, the user must be allowed to insert.
static int32_t S_find_layer(DB_STREAM *stream, const char *table, const REGISTRATION *registration,
                            int16_t column_count, const char *const *columns)
{
    stream->layer = nullptr;
    stream->spatial_column_name[0] = '\0';
    if (registration->registration_id == 0 || (registration->object_flags & REG_LAYER) == 0)
        return 0;
    int32_t rc = db_layer_info_load_for_tables(nullptr, stream, column_count, columns, 1, &table);
    if (rc != 0 && rc != ZE_TABLE_NOT_FOUND)
        return rc;
    if (stream->layer == nullptr)
        return 0;
    if ((stream->layer->privileges & VE_PRIV_INSERT) == 0)
        return ZE_NO_PERMISSIONS;
    S_copy(stream->spatial_column_name, stream->layer->spatial_column);
    return 0;
}

int32_t DB_stream_init_insert_table(DB_STREAM *stream, const char *table,
                                    const REGISTRATION *registration, int32_t state_id,
                                    int16_t column_count, const char *const *columns)
{
    if (stream == nullptr || table == nullptr || registration == nullptr || columns == nullptr)
        return ZE_NULL_POINTER;
    if (column_count < 1 || state_id < 0)
        return ZE_INVALID_ARGUMENT;
    DB_stream_clear_xerr(stream);
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        // A stream set up again starts from nothing of the earlier set-up.
        db_stream_write_free(stream);
        db_free_stmt(&stream->stmt_main);
        DB_STREAM_WRITE *write = db_stream_write_get(stream);
        if (write == nullptr)
            return ZE_OUT_OF_MEMORY;
        write->registration = *registration;
        write->state_id = state_id;

        char target[DB_QUALIFIED_NAME_SIZE] = {};
        int32_t rc;
        if (state_id == 0) {
            rc = db_check_table_name(table);
            if (rc == 0)
                rc = db_parse_table_name(nullptr, table, db_stream_get_user(stream),
                                         stream->database, stream->owner, stream->table);
            if (rc != 0)
                return rc;
            S_copy(target, table);
        } else {
            rc = db_make_adds_table_name(nullptr, registration->registration_id,
                                         registration->database_name, registration->owner, target,
                                         sizeof(target));
            if (rc == 0)
                rc = db_check_table_name(target);
            if (rc != 0)
                return rc;
            S_copy(stream->database, registration->database_name);
            S_copy(stream->owner, registration->owner);
            S_copy(stream->table, registration->table_name);
        }
        if (registration->registration_id != 0 && (stream->row_lock_mode & S_LOCK_ROWS_WRITTEN))
            DB_row_lock_init(stream);
        rc = S_find_layer(stream, table, registration, column_count, columns);
        if (rc != 0)
            return rc;
        stream->raster_column[0] = '\0';
        stream->raster_position = -1;
        if (registration->registration_id != 0 &&
            (registration->object_flags & REG_RASTER_COLUMN)) {
            rc = db_stream_find_raster_column(stream, column_count, columns, 1, &table,
                                              VE_PRIV_INSERT);
            if (rc != 0)
                return rc;
        }
        std::string sql;
        rc = db_build_insert_sql(stream, target, column_count, columns, state_id, &sql);
        if (rc != 0)
            return rc;
        rc = db_write_prepare(stream, &stream->stmt_main, sql.c_str());
        if (rc != 0)
            return rc;
        write->sql = strdup(sql.c_str());
        if (write->sql == nullptr) {
            db_free_stmt(&stream->stmt_main);
            return ZE_OUT_OF_MEMORY;
        }
        write->column_count = column_count;
        return 0;
    });
}

int32_t db_bind_insert_buffers(DB_STREAM *stream)
{
    DB_STREAM_WRITE *write = stream != nullptr ? stream->write : nullptr;
    if (write == nullptr || write->row.buffer == nullptr)
        return ZE_NULL_POINTER;
    db_stream_lob_records_free(stream);
    write->shape_bound = 0; // a new statement: the shape is bound by the next row
    DB_WRITE_ROW &row = write->row;
    for (int32_t i = 0; i < row.column_count; i++) {
        const DB_COLUMN_DEF &column = row.columns[i];
        const int32_t param = db_write_param_number(i, row.spatial_position);
        int32_t rc = 0;
        if (column.type == VE_BLOB) {
            rc = db_stream_lob_record_add(stream, column.name, DB_LOB_INSERT);
        } else if (column.type == VE_SHAPE) {
            continue; // bound per row
        } else {
            if (column.type == VE_RASTER) {
                rc = db_bind_insert_raster(stream);
                if (rc != 0)
                    return rc;
            }
            rc = db_write_bind_column(stream, &stream->stmt_main, param, &column, row.values[i],
                                      &row.indicators[i], row.date_sql_type, nullptr);
        }
        if (rc != 0)
            return rc;
    }
    if (row.rowid_index >= 0) {
        DB_COLUMN_DEF rowid{};
        S_copy(rowid.name, "VE_ROW_ID");
        rowid.type = VE_INTEGER;
        int32_t rc = db_write_bind_column(
            stream, &stream->stmt_main,
            db_write_param_number(row.column_count, row.spatial_position), &rowid,
            row.values[row.rowid_index], &row.indicators[row.rowid_index], 0, nullptr);
        if (rc != 0)
            return rc;
    }
    write->bound = 1;
    return 0;
}

int32_t DB_stream_init_array_insert(DB_STREAM *stream, int16_t column_count,
                                    const DB_COLUMN_DEF *columns, int32_t)
{
    if (stream == nullptr || columns == nullptr)
        return ZE_NULL_POINTER;
    DB_STREAM_WRITE *write = stream->write;
    if (write == nullptr || write->sql == nullptr)
        return ZE_NULL_POINTER; // DB_stream_init_insert_table has not succeeded
    if (write->bound)
        return 0;
    // The INSERT's parameters follow the set-up's columns.
    if (column_count != write->column_count)
        return ZE_INVALID_ARGUMENT;
    for (int16_t i = 0; i < column_count; i++) {
        if ((columns[i].type == VE_SHAPE) != (i == write->spatial_position)) {
            fprintf(stderr, "DB_stream_init_array_insert::Invalid column data type (%d)\n",
                    columns[i].type);
            return ZE_WRONG_COLUMN_TYPE;
        }
    }
    const int32_t annotation =
        stream->layer != nullptr && (stream->layer->eflags & LAYER_ANNOTATION) ? 1 : 0;
    int32_t rc = db_write_row_layout(&write->row, "DB_stream_init_array_insert", column_count,
                                     columns, write->spatial_position, annotation);
    if (rc != 0)
        return rc;
    if (stream->raster_column[0]) {
        rc = db_prepare_insert_raster(stream);
        if (rc != 0)
            return rc;
    }
    if (stream->stmt_main == SQL_NULL_HSTMT) {
        rc = db_write_prepare(stream, &stream->stmt_main, write->sql);
        if (rc != 0)
            return rc;
    }
    return db_bind_insert_buffers(stream);
}

// The statement dropped by a failed row: prepared and bound again.
static int32_t S_ready(DB_STREAM *stream, DB_STREAM_WRITE *write)
{
    if (!write->bound || write->row.buffer == nullptr)
        return ZE_NULL_POINTER; // DB_stream_init_array_insert has not succeeded
    if (stream->stmt_main != SQL_NULL_HSTMT)
        return 0;
    // A failure leaves the statement dropped: the next row tries again.
    int32_t rc = db_write_prepare(stream, &stream->stmt_main, write->sql);
    if (rc == 0)
        rc = db_bind_insert_buffers(stream);
    return rc;
}

// The parameters bound per row: the shape and its annotation text, and the
// caller's blobs through the large-object records in column order.
static int32_t S_bind_row(DB_STREAM *stream, DB_STREAM_WRITE *write, void *const *values)
{
    DB_WRITE_ROW &row = write->row;
    int32_t lob = 0;
    for (int32_t i = 0; i < row.column_count; i++) {
        const DB_COLUMN_DEF &column = row.columns[i];
        const int32_t param = db_write_param_number(i, row.spatial_position);
        int32_t rc = 0;
        if (column.type == VE_SHAPE && i == row.spatial_position) {
            rc = db_stream_bind_shape(stream, i, param);
        } else if (column.type == VE_BLOB) {
            DB_LOB_HANDLE *record = lob < stream->lob_count ? stream->lobs[lob] : nullptr;
            lob++;
            rc = db_write_bind_column(stream, &stream->stmt_main, param, &column, values[i],
                                      &row.indicators[i], 0, record);
        }
        if (rc != 0)
            return rc;
    }
    return 0;
}

// The registered row-id value of the row (by the log's registration, or the
// stream's own under row locking); 0 for a column of another type.
static int32_t S_user_id(DB_STREAM *stream, DB_STREAM_WRITE *write, int32_t *user_id)
{
    *user_id = 0;
    if (write->rowid_position < 0) {
        const REGISTRATION &registration =
            stream->auto_log ? stream->auto_log_file.registration : write->registration;
        for (int32_t i = 0; i < write->row.column_count; i++)
            if (registration.rowid_column[0] &&
                strcasecmp(write->row.columns[i].name, registration.rowid_column) == 0) {
                write->rowid_position = i;
                break;
            }
        if (write->rowid_position < 0)
            return ZE_NO_ROWID_COLUMN;
    }
    const int32_t i = write->rowid_position;
    if (write->row.indicators[i] == SQL_NULL_DATA)
        return 0;
    const void *value = write->row.values[i];
    switch (write->row.columns[i].type) {
    case VE_SMALLINT:
        *user_id = *static_cast<const int16_t *>(value);
        break;
    case VE_INTEGER:
        *user_id = *static_cast<const int32_t *>(value);
        break;
    case VE_FLOAT:
        *user_id = static_cast<int32_t>(*static_cast<const float *>(value));
        break;
    case VE_DOUBLE:
        *user_id = static_cast<int32_t>(*static_cast<const double *>(value));
        break;
    default:
        break;
    }
    return 0;
}

// The ids of the row written: into the automatic log and the row locks.
static int32_t S_log_row(DB_STREAM *stream, DB_STREAM_WRITE *write, bool with_shape)
{
    const bool lock_rows = (stream->row_lock_mode & S_LOCK_ROWS_WRITTEN) != 0;
    if (!stream->auto_log && !lock_rows)
        return 0;
    int32_t user_id = 0;
    if ((stream->auto_log && (stream->auto_log_file.flags & LOGINFO_TABLE)) || lock_rows) {
        int32_t rc = S_user_id(stream, write, &user_id);
        if (rc != 0)
            return rc;
    }
    if (stream->auto_log) {
        const DB_WRITE_ROW &row = write->row;
        const int32_t row_id =
            row.rowid_index >= 0 ? *static_cast<const int32_t *>(row.values[row.rowid_index]) : 0;
        // A row without a shape drew no VE_ROW_ID: there is none to log.
        int32_t rc = db_stream_log_ids(stream, &row_id, with_shape ? 1 : 0, &user_id, 1);
        if (rc != 0)
            return rc;
    }
    if (stream->row_locking && lock_rows)
        return DB_row_lock_add(stream, &user_id, 1);
    return 0;
}

int32_t DB_stream_execute_insert_table(DB_STREAM *stream, const int16_t *indicators,
                                       void *const *values, int32_t commit, int32_t log_id)
{
    if (stream == nullptr || indicators == nullptr || values == nullptr)
        return ZE_NULL_POINTER;
    DB_stream_clear_xerr(stream);
    DB_STREAM_WRITE *write = stream->write;
    if (write == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = 0;
    if (log_id > 0 && !stream->auto_log && (rc = db_stream_write_open_log(stream, log_id)) != 0)
        return rc;
    if ((stream->row_lock_mode & S_LOCK_ROWS_WRITTEN) && stream->row_locking &&
        !stream->row_locks_initialised)
        DB_row_lock_init(stream);
    if ((rc = S_ready(stream, write)) != 0)
        return rc;
    DB_WRITE_ROW &row = write->row;
    if ((rc = db_write_row_copy(&row, indicators, values)) != 0)
        return rc;
    if (stream->raster_position >= 0 && stream->raster_position < row.column_count &&
        row.indicators[stream->raster_position] != SQL_NULL_DATA)
        write->raster_id =
            static_cast<const RASTERATTR *>(row.values[stream->raster_position])->w[3];

    const int32_t spatial = row.spatial_position;
    const bool with_shape = spatial >= 0 && indicators[spatial] != VE_IND_NULL;
    if (spatial >= 0) {
        if (stream->layer == nullptr)
            return ZE_LAYER_NOT_FOUND;
        if (with_shape) {
            const int32_t id = db_get_next_ids(stream->layer->layer_id, 1);
            if (id < 0)
                return id;
            memcpy(row.values[row.rowid_index], &id, sizeof(id));
            row.indicators[row.rowid_index] = sizeof(int32_t);
        } else {
            row.indicators[row.rowid_index] = SQL_NULL_DATA;
        }
    }
    if ((rc = S_bind_row(stream, write, values)) != 0)
        return rc;

    SQLRETURN executed = SQLExecute(stream->stmt_main);
    if (executed != SQL_SUCCESS && executed != SQL_SUCCESS_WITH_INFO) {
        fprintf(stderr, "DB_stream_execute_insert_table Execute Error (%d).\n",
                static_cast<int>(executed));
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, &stream->stmt_main, executed);
        db_stream_set_xerr_from_diag(stream, diag);
        db_free_stmt(&stream->stmt_main);
        for (int32_t i = 0; i < stream->lob_count; i++)
            db_lob_close(stream->lobs[i]);
        return ZE_DBMS_ERROR;
    }
    for (int32_t i = 0; i < stream->lob_count; i++)
        db_lob_close(stream->lobs[i]);
    // The autocommit rule spans the caller's rows: a failed commit answers
    // its error and leaves them in the open transaction, the caller's to
    // commit again or roll back.
    if (commit && (rc = DB_trans_auto_commit_control(nullptr)) != 0)
        return rc;
    if ((rc = S_log_row(stream, write, with_shape)) != 0)
        return rc;
    if (!with_shape)
        return 0;
    return db_stream_write_widen_envelope(stream,
                                          static_cast<const FEATURE_STRUCT *>(row.values[spatial]));
}

int32_t DB_stream_flush_buffered_inserts(void)
{
    return DB_trans_auto_commit_control(nullptr);
}
