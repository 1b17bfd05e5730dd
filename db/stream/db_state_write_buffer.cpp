// Writes to multiversion tables through a state (db_state_write_buffer.h):
// the four set-ups of an update through a state, the temporary id log of a
// long id list, the write buffer's release, the geometry constructor of a
// shape value and the VE_ROW_ID look-up of one row. Names go into SQL only
// after the identifier check; id lists are built in growable text.
#include "db/stream/db_state_write_buffer.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/util/ve_layer.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_layer_def_internal.h"
#include "db/catalog/db_log.h"
#include "db/catalog/db_spatial_ref_internal.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_names.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_state_write_buffer_internal.h"
#include "db/stream/db_write_row_internal.h"

static void S_free_stream(DB_STREAM **stream)
{
    if (*stream == nullptr)
        return;
    DB_stream_free(*stream);
    free(*stream);
    *stream = nullptr;
}

// The temporary id log: deleted, its record freed and the spec's pointer
// to it cleared.
static void S_drop_temp_log(STATE_WRITE_BUFFER *buffer)
{
    if (buffer->temp_log == nullptr)
        return;
    if (buffer->ids_in_log)
        DB_log_delete(nullptr, buffer->temp_log->name);
    if (buffer->spec != nullptr && buffer->spec->logfile == buffer->temp_log)
        buffer->spec->logfile = nullptr;
    VES_loginfo_free(buffer->temp_log);
    buffer->temp_log = nullptr;
}

void db_state_write_buffer_free(STATE_WRITE_BUFFER *buffer)
{
    if (buffer == nullptr)
        return;
    S_drop_temp_log(buffer);
    // The nested streams go first: they keep pointers into the select row
    // and the column arrays below.
    S_free_stream(&buffer->query_stream);
    S_free_stream(&buffer->in_place_stream);
    S_free_stream(&buffer->version_stream);
    S_free_stream(&buffer->deletes_stream);
    S_free_stream(&buffer->shape_streams[0]);
    S_free_stream(&buffer->shape_streams[1]);
    db_free_stmt(&buffer->shared_shape_stmt);
    // The select row reads its column definitions while it is released.
    if (buffer->select_row != nullptr) {
        VES_free_row_pointers(buffer->select_row);
        free(buffer->select_row);
    }
    free(buffer->table_columns);
    free(buffer->select_columns);
    free(buffer->version_values);
    free(buffer->version_indicators);
    free(buffer->in_place_values);
    free(buffer->in_place_indicators);
    free(buffer->in_place_columns);
    free(buffer->version_columns);
    free(buffer->deletes_columns);
    free(buffer);
}

// ---- set-up ---------------------------------------------------------------

static STATE_WRITE_BUFFER *S_new_buffer(int16_t column_count, const DB_COLUMN_DEF *columns)
{
    auto *buffer = static_cast<STATE_WRITE_BUFFER *>(calloc(1, sizeof(STATE_WRITE_BUFFER)));
    if (buffer == nullptr)
        return nullptr;
    buffer->column_count = column_count;
    buffer->columns = columns;
    buffer->shape_column = -1;
    buffer->select_rowid = -1;
    buffer->select_state = -1;
    buffer->select_shape = -1;
    return buffer;
}

// The first caller column of the shape type; -1 none.
static int16_t S_shape_column(int16_t column_count, const DB_COLUMN_DEF *columns)
{
    for (int16_t i = 0; i < column_count; i++)
        if (columns[i].type == VE_SHAPE)
            return i;
    return -1;
}

template <size_t N> static void S_copy(char (&out)[N], const char *text)
{
    const size_t n = strnlen(text, N - 1);
    memcpy(out, text, n);
    out[n] = '\0';
}

// The registration's names into the stream, the WHERE text (owned) and the
// buffer hung in the stream, replacing what an earlier set-up left.
static void S_install(DB_STREAM *stream, const REGISTRATION *registration, char *where,
                      STATE_WRITE_BUFFER *buffer)
{
    S_copy(stream->database, registration->database_name);
    S_copy(stream->owner, registration->owner);
    S_copy(stream->table, registration->table_name);
    free(stream->where_text);
    stream->where_text = where;
    db_state_write_buffer_free(stream->update_buffer);
    stream->update_buffer = buffer;
}

static int32_t S_check_arguments(DB_STREAM *stream, const REGISTRATION *registration,
                                 int16_t column_count, const DB_COLUMN_DEF *columns)
{
    if (stream == nullptr || registration == nullptr || columns == nullptr)
        return ZE_NULL_POINTER;
    if (column_count < 1)
        return ZE_INVALID_ARGUMENT;
    return 0;
}

static char *S_heap_text(const std::string &text)
{
    return strdup(text.c_str());
}

int32_t DB_stream_update_state_init(DB_STREAM *stream, const REGISTRATION *registration,
                                    int16_t column_count, const DB_COLUMN_DEF *columns, char *where)
{
    int32_t rc = S_check_arguments(stream, registration, column_count, columns);
    if (rc != 0)
        return rc;
    DB_stream_clear_xerr(stream);
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        const char *condition = nullptr;
        if (db_sql_client_condition(where, &condition) != 0)
            return ZE_INVALID_ARGUMENT;
        if (condition != nullptr) {
            // The condition must hold against the adds table.
            int32_t checked = db_check_name(columns[0].name, sizeof(columns[0].name));
            if (checked != 0)
                return checked;
            char adds[DB_QUALIFIED_NAME_SIZE];
            checked = db_make_adds_table_name(nullptr, registration->registration_id,
                                              registration->database_name, registration->owner,
                                              adds, sizeof(adds));
            if (checked != 0)
                return checked;
            const std::string sql =
                std::string("SELECT ") + columns[0].name + " FROM " + adds + " WHERE " + condition;
            db_stmt_guard stmt;
            checked = db_write_prepare(stream, &stmt.h, sql.c_str());
            if (checked != 0)
                return checked;
        }
        STATE_WRITE_BUFFER *buffer = S_new_buffer(column_count, columns);
        if (buffer == nullptr)
            return ZE_OUT_OF_MEMORY;
        S_install(stream, registration, where, buffer);
        return 0;
    });
}

int32_t DB_stream_set_row_state_init(DB_STREAM *stream, const REGISTRATION *registration,
                                     int16_t column_count, const DB_COLUMN_DEF *columns,
                                     int32_t row_id)
{
    int32_t rc = S_check_arguments(stream, registration, column_count, columns);
    if (rc == 0)
        rc = db_check_name(registration->rowid_column, sizeof(registration->rowid_column));
    if (rc != 0)
        return rc;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        char *where =
            S_heap_text(std::string(registration->rowid_column) + " = " + std::to_string(row_id));
        STATE_WRITE_BUFFER *buffer = S_new_buffer(column_count, columns);
        if (where == nullptr || buffer == nullptr) {
            free(where);
            free(buffer);
            return ZE_OUT_OF_MEMORY;
        }
        S_install(stream, registration, where, buffer);
        return 0;
    });
}

int32_t DB_stream_update_row_state_init(DB_STREAM *stream, const REGISTRATION *registration,
                                        int16_t column_count, const DB_COLUMN_DEF *columns)
{
    int32_t rc = S_check_arguments(stream, registration, column_count, columns);
    if (rc == 0)
        rc = db_check_name(registration->rowid_column, sizeof(registration->rowid_column));
    if (rc != 0)
        return rc;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        char *where = S_heap_text(std::string(registration->rowid_column) + " = ? ");
        STATE_WRITE_BUFFER *buffer = S_new_buffer(column_count, columns);
        if (where == nullptr || buffer == nullptr) {
            free(where);
            free(buffer);
            return ZE_OUT_OF_MEMORY;
        }
        buffer->row_mode = 1;
        buffer->shape_column = S_shape_column(column_count, columns);
        S_install(stream, registration, where, buffer);
        return 0;
    });
}

int32_t db_state_write_temp_log(const REGISTRATION *registration, const int32_t *ids, int32_t count,
                                LOGFILE **out)
{
    *out = nullptr;
    LOGFILE *log = nullptr;
    int32_t rc = VES_loginfo_create(&log);
    if (rc != 0)
        return ZE_OUT_OF_MEMORY;
    rc = DB_log_make_name(nullptr, log->name);
    if (rc != 0) {
        VES_loginfo_free(log);
        return rc;
    }
    char table[DB_QUALIFIED_NAME_SIZE] = {};
    DB_table_make_name(registration->database_name[0] ? registration->database_name : nullptr,
                       registration->owner, registration->table_name, table);
    S_copy(log->table_name, table);
    log->registration_id = registration->registration_id;
    log->flags = LOGINFO_TABLE;
    log->registration = *registration;
    int32_t number = 0;
    rc = DB_log_open(nullptr, log, DB_LOG_REPLACE, &number);
    if (rc != 0) {
        VES_loginfo_free(log);
        return rc;
    }
    rc = DB_log_add_id_list(nullptr, number, ids, count);
    const int32_t closed = DB_log_close(nullptr, number);
    if (rc == 0)
        rc = closed;
    if (rc != 0) {
        DB_log_delete(nullptr, log->name);
        VES_loginfo_free(log);
        return rc;
    }
    *out = log;
    return 0;
}

int32_t DB_stream_update_ordered_state_init(DB_STREAM *stream, const REGISTRATION *registration,
                                            const int32_t *ids, int32_t id_count,
                                            int16_t column_count, const DB_COLUMN_DEF *columns,
                                            DB_MV_QUERY_INFO *spec)
{
    int32_t rc = S_check_arguments(stream, registration, column_count, columns);
    if (rc == 0 && ids == nullptr)
        rc = ZE_NULL_POINTER;
    // An empty IN list is not SQL, and an update of no rows needs no set-up.
    if (rc == 0 && id_count < 1)
        rc = ZE_INVALID_ARGUMENT;
    if (rc == 0 && id_count > DB_STATE_WRITE_MAX_IN_IDS && spec == nullptr)
        rc = ZE_NULL_POINTER;
    if (rc == 0)
        rc = db_check_name(registration->rowid_column, sizeof(registration->rowid_column));
    if (rc != 0)
        return rc;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        STATE_WRITE_BUFFER *buffer = S_new_buffer(column_count, columns);
        if (buffer == nullptr)
            return ZE_OUT_OF_MEMORY;
        char *where = nullptr;
        if (id_count > DB_STATE_WRITE_MAX_IN_IDS) {
            int32_t written =
                db_state_write_temp_log(registration, ids, id_count, &buffer->temp_log);
            if (written != 0) {
                free(buffer);
                return written;
            }
            buffer->ids_in_log = 1;
            buffer->spec = spec;
            spec->logfile = buffer->temp_log;
        } else {
            std::string text = std::string(registration->rowid_column) + " IN (";
            for (int32_t i = 0; i < id_count; i++)
                text += std::to_string(ids[i]) + (i + 1 < id_count ? "," : ")");
            where = S_heap_text(text);
            if (where == nullptr) {
                free(buffer);
                return ZE_OUT_OF_MEMORY;
            }
        }
        buffer->row_mode = 1;
        buffer->ordered_mode = 1;
        buffer->shape_column = S_shape_column(column_count, columns);
        stream->mv_info = spec;
        S_install(stream, registration, where, buffer);
        return 0;
    });
}

// ---- shared by the writes of a layer ---------------------------------------

const char *db_shape_constructor_name(int32_t geometry_type)
{
    switch (geometry_type) {
    case 1:
        return "VE_PointFromZel";
    case 2:
    case 3:
        return "VE_LineFromZel";
    case 4:
    case 5:
        return "VE_PolyFromZel";
    case 6:
        return "VE_GeometryCollectionFromZel";
    case 7:
        return "VE_MPointFromZel";
    case 8:
    case 9:
        return "VE_MLineFromZel";
    case 10:
    case 11:
        return "VE_MPolyFromZel";
    default:
        return "VE_GeomFromZel";
    }
}

int32_t db_shape_constructor_sql(DB_STREAM *stream, std::string *out)
{
    if (stream == nullptr || stream->layer == nullptr || out == nullptr)
        return ZE_FAILURE;
    int32_t srid = 0;
    if (db_get_srid(nullptr, stream, stream->layer->coordref, &srid) != 0)
        return ZE_FAILURE;
    int32_t type = 0;
    db_layer_mask_to_geometry_type(stream->layer->eflags, &type);
    *out += std::string(db_shape_constructor_name(type)) + "(?,?," + std::to_string(srid) + ")";
    return 0;
}

// A failure of the look-up after its prepare: the statement's diagnostic
// goes into the stream's record.
static int32_t S_row_id_failed(DB_STREAM *stream, SQLHSTMT *stmt, SQLRETURN rc)
{
    fprintf(stderr, "S_get_fid_gy_rowid odbc Error (%d)\n", static_cast<int>(rc));
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, stmt, rc);
    db_stream_set_xerr_from_diag(stream, diag);
    return ZE_DBMS_ERROR;
}

int32_t db_stream_get_shape_row_id(DB_STREAM *stream, const char *rowid_column, int32_t row_id,
                                   int32_t *shape_row_id)
{
    if (stream == nullptr || rowid_column == nullptr || shape_row_id == nullptr)
        return ZE_NULL_POINTER;
    *shape_row_id = 0;
    int32_t rc = db_check_name(rowid_column, DB_NAME_COLUMN_SIZE);
    if (rc != 0)
        return rc;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        char table[DB_QUALIFIED_NAME_SIZE] = {};
        DB_table_make_name(stream->database[0] ? stream->database : nullptr,
                           stream->owner[0] ? stream->owner : nullptr, stream->table, table);
        const std::string sql =
            std::string("SELECT VE_ROW_ID from ") + table + " WHERE " + rowid_column + " = ?";
        db_stmt_guard stmt;
        int32_t prepared = db_write_prepare(stream, &stmt.h, sql.c_str());
        if (prepared != 0)
            return prepared;
        SQLINTEGER key = row_id, found = 0;
        SQLLEN found_length = 0;
        SQLRETURN r = SQLBindParameter(stmt.h, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                                       &key, 0, nullptr);
        if (SQL_SUCCEEDED(r))
            r = SQLBindCol(stmt.h, 1, SQL_C_SLONG, &found, sizeof(found), &found_length);
        if (SQL_SUCCEEDED(r))
            r = SQLExecute(stmt.h);
        if (SQL_SUCCEEDED(r))
            r = SQLFetch(stmt.h);
        if (r == SQL_NO_DATA)
            return 0;
        if (!SQL_SUCCEEDED(r))
            return S_row_id_failed(stream, &stmt.h, r);
        *shape_row_id = found_length == SQL_NULL_DATA ? 0 : found;
        return 0;
    });
}
