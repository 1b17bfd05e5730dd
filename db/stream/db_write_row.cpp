// Row buffers and parameter binding of the write streams
// (db_write_row_internal.h): the slot layout by engine type, the copy of a
// caller's row into the slots, the shape parameter and the binding of one
// parameter by engine type. Fixed-size values are copied with one memcpy
// each; the shape parameter is reused and grows only for a larger shape.
#include "db/stream/db_write_row_internal.h"

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/util/ve_compress.h"
#include "base/util/ve_raster.h"
#include "base/util/ve_row_pointers.h"
#include "base/util/ve_varlong.h"
#include "base/util/zel_errors.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"

// A raster value as callers pass it: the attribute record's 40 words.
#define S_RASTER_VALUE_BYTES (offsetof(RASTERATTR, tail) + sizeof(((RASTERATTR *)nullptr)->tail))

static size_t S_round8(size_t n)
{
    return (n + 7) & ~static_cast<size_t>(7);
}

// The slot bytes of a column; 0 for a type outside 1 to 9.
static size_t S_slot_size(const DB_COLUMN_DEF &column, int32_t annotation)
{
    switch (column.type) {
    case VE_SMALLINT:
        return sizeof(int16_t);
    case VE_INTEGER:
        return sizeof(int32_t);
    case VE_FLOAT:
        return sizeof(float);
    case VE_DOUBLE:
        return sizeof(double);
    case VE_STRING:
        return static_cast<size_t>(column.size) + 1;
    case VE_BLOB:
        return sizeof(VE_BLOB_VALUE);
    case VE_DATE_TYPE:
        return sizeof(SQL_TIMESTAMP_STRUCT);
    case VE_SHAPE:
        return S_round8(sizeof(FEATURE_STRUCT)) + (annotation ? sizeof(VE_ANNO) : 0);
    case VE_RASTER:
        return sizeof(RASTERATTR);
    default:
        return 0;
    }
}

void db_write_row_free(DB_WRITE_ROW *row)
{
    if (row == nullptr)
        return;
    free(row->buffer);
    free(row->values);
    free(row->indicators);
    free(row->shape);
    memset(row, 0, sizeof(*row));
    row->spatial_position = -1;
    row->rowid_index = -1;
}

int32_t db_write_row_layout(DB_WRITE_ROW *row, const char *caller, int32_t column_count,
                            const DB_COLUMN_DEF *columns, int32_t spatial_position,
                            int32_t annotation)
{
    if (row == nullptr || (column_count > 0 && columns == nullptr))
        return ZE_NULL_POINTER;
    if (column_count < 0)
        return ZE_INVALID_ARGUMENT;
    db_write_row_free(row);
    const bool with_rowid = spatial_position >= 0 && spatial_position < column_count;
    size_t total = 0;
    for (int32_t i = 0; i < column_count; i++) {
        size_t slot = S_slot_size(columns[i], annotation && i == spatial_position);
        if (slot == 0) {
            fprintf(stderr, "%s::Invalid column data type (%d)\n", caller, columns[i].type);
            return ZE_WRONG_COLUMN_TYPE;
        }
        if (columns[i].type == VE_STRING && columns[i].size < 0)
            return ZE_INVALID_COLUMN_DEF;
        total += S_round8(slot);
    }
    const size_t entries = static_cast<size_t>(column_count) + (with_rowid ? 1 : 0);
    if (with_rowid)
        total += 8;
    row->buffer = static_cast<unsigned char *>(calloc(1, total > 0 ? total : 1));
    row->values = static_cast<void **>(calloc(entries > 0 ? entries : 1, sizeof(void *)));
    row->indicators = static_cast<SQLLEN *>(calloc(entries > 0 ? entries : 1, sizeof(SQLLEN)));
    if (row->buffer == nullptr || row->values == nullptr || row->indicators == nullptr) {
        db_write_row_free(row);
        return ZE_OUT_OF_MEMORY;
    }
    row->size = total;
    row->column_count = column_count;
    row->columns = columns;
    row->spatial_position = with_rowid ? spatial_position : -1;
    row->annotation = annotation;
    row->date_sql_type = SQL_TYPE_TIMESTAMP;
    size_t offset = 0;
    for (int32_t i = 0; i < column_count; i++) {
        row->values[i] = row->buffer + offset;
        if (columns[i].type == VE_SHAPE && annotation && i == row->spatial_position) {
            // The copy's annotation points at the record behind it.
            auto *feature = static_cast<FEATURE_STRUCT *>(row->values[i]);
            feature->anno = reinterpret_cast<VE_ANNO *>(row->buffer + offset +
                                                        S_round8(sizeof(FEATURE_STRUCT)));
        }
        offset += S_round8(S_slot_size(columns[i], annotation && i == spatial_position));
    }
    if (with_rowid) {
        row->rowid_index = column_count;
        row->values[column_count] = row->buffer + offset;
    }
    return 0;
}

void db_tm_to_sql_struct(const VE_DATE *date, void *out, SQLSMALLINT sql_type)
{
    switch (sql_type) {
    case SQL_TYPE_DATE:
    case SQL_DATE: {
        SQL_DATE_STRUCT d{};
        d.year = static_cast<SQLSMALLINT>(date->tm_year + 1900);
        d.month = static_cast<SQLUSMALLINT>(date->tm_mon + 1);
        d.day = static_cast<SQLUSMALLINT>(date->tm_mday);
        memcpy(out, &d, sizeof(d));
        break;
    }
    case SQL_TYPE_TIME:
    case SQL_TIME: {
        SQL_TIME_STRUCT t{};
        t.hour = static_cast<SQLUSMALLINT>(date->tm_hour);
        t.minute = static_cast<SQLUSMALLINT>(date->tm_min);
        t.second = static_cast<SQLUSMALLINT>(date->tm_sec);
        memcpy(out, &t, sizeof(t));
        break;
    }
    default: {
        SQL_TIMESTAMP_STRUCT ts{};
        ts.year = static_cast<SQLSMALLINT>(date->tm_year + 1900);
        ts.month = static_cast<SQLUSMALLINT>(date->tm_mon + 1);
        ts.day = static_cast<SQLUSMALLINT>(date->tm_mday);
        ts.hour = static_cast<SQLUSMALLINT>(date->tm_hour);
        ts.minute = static_cast<SQLUSMALLINT>(date->tm_min);
        ts.second = static_cast<SQLUSMALLINT>(date->tm_sec);
        memcpy(out, &ts, sizeof(ts));
        break;
    }
    }
}

// The shape parameter of a feature: header of two varLONGs in 8 bytes, then
// the compressed bytes. The compressed length is checked against the
// buffer's capacity, so a wrong length never reads past it.
static int32_t S_build_shape(DB_WRITE_ROW *row, const FEATURE_STRUCT *feature)
{
    const int32_t size = VES_get_compressed_buffer_size(feature);
    if (size < 0)
        return size == ZE_NULL_POINTER ? ZE_NULL_SHAPE : ZE_INVALID_ARGUMENT;
    // At most 5 bytes for the count and 3 for a 16-bit entity type: the two
    // always fit the 8 bytes.
    uint8_t header[2 * VE_VARLONG_MAX_BYTES] = {};
    uint8_t *end = VES_encode_varLONG(feature->num_points, header);
    if (end != nullptr)
        end = VES_encode_varLONG(feature->entity_type, end);
    if (end == nullptr)
        return ZE_INVALID_ARGUMENT;
    const size_t total = static_cast<size_t>(size) + DB_SHAPE_PARAM_HEADER;
    if (total > row->shape_capacity) {
        auto *grown = static_cast<unsigned char *>(realloc(row->shape, total));
        if (grown == nullptr)
            return ZE_OUT_OF_MEMORY;
        row->shape = grown;
        row->shape_capacity = total;
    }
    memset(row->shape, 0, DB_SHAPE_PARAM_HEADER);
    memcpy(row->shape, header, static_cast<size_t>(end - header));
    memcpy(row->shape + DB_SHAPE_PARAM_HEADER, feature->compressed, static_cast<size_t>(size));
    row->shape_length = static_cast<SQLLEN>(total);
    return 0;
}

// A shape over the slot: the caller's feature, keeping the slot's own
// annotation record when it has one, with only the caller's text in it.
static int32_t S_copy_shape(DB_WRITE_ROW *row, int32_t i, const FEATURE_STRUCT *from)
{
    auto *slot = static_cast<FEATURE_STRUCT *>(row->values[i]);
    VE_ANNO *own = row->annotation && i == row->spatial_position ? slot->anno : nullptr;
    *slot = *from;
    if (own != nullptr) {
        slot->anno = own;
        memset(own->text, 0, sizeof(own->text));
        if (from->anno != nullptr)
            memcpy(own->text, from->anno->text, strnlen(from->anno->text, sizeof(own->text) - 1));
    }
    if (i != row->spatial_position)
        return 0;
    return S_build_shape(row, slot);
}

int32_t db_write_row_copy(DB_WRITE_ROW *row, const int16_t *indicators, void *const *values)
{
    if (row == nullptr || (row->column_count > 0 && (indicators == nullptr || values == nullptr)))
        return ZE_NULL_POINTER;
    for (int32_t i = 0; i < row->column_count; i++) {
        const DB_COLUMN_DEF &column = row->columns[i];
        if (indicators[i] == VE_IND_NULL) {
            row->indicators[i] = SQL_NULL_DATA;
            continue;
        }
        if (values[i] == nullptr)
            return ZE_NULL_POINTER;
        row->indicators[i] = 0;
        switch (column.type) {
        case VE_SMALLINT:
        case VE_INTEGER:
        case VE_FLOAT:
        case VE_DOUBLE:
        case VE_BLOB:
            memcpy(row->values[i], values[i], S_slot_size(column, 0));
            break;
        case VE_RASTER:
            // The value's 40 words; the owned array behind them never travels.
            memcpy(row->values[i], values[i], S_RASTER_VALUE_BYTES);
            break;
        case VE_STRING: {
            const size_t size = static_cast<size_t>(column.size);
            char *slot = static_cast<char *>(row->values[i]);
            const char *text = static_cast<const char *>(values[i]);
            const size_t length = strnlen(text, size);
            memcpy(slot, text, length);
            slot[length] = '\0';
            // A column declared without width takes no text.
            row->indicators[i] = size == 0 ? SQL_NULL_DATA : SQL_NTS;
            break;
        }
        case VE_DATE_TYPE:
            db_tm_to_sql_struct(static_cast<const VE_DATE *>(values[i]), row->values[i],
                                row->date_sql_type);
            break;
        case VE_SHAPE: {
            int32_t rc = S_copy_shape(row, i, static_cast<const FEATURE_STRUCT *>(values[i]));
            if (rc != 0)
                return rc;
            break;
        }
        default:
            fprintf(stderr, "S_copy_row_data::Invalid column data type (%d)\n", column.type);
            return ZE_WRONG_COLUMN_TYPE;
        }
    }
    return 0;
}

int32_t db_write_param_number(int32_t i, int32_t spatial_position)
{
    return spatial_position >= 0 && i > spatial_position ? i + 2 : i + 1;
}

// A failed bind: the statement goes, and with it every binding made so far.
static int32_t S_bind_failed(DB_STREAM *stream, SQLHSTMT *stmt, SQLRETURN rc, int32_t code)
{
    if (code == ZE_DBMS_ERROR) {
        fprintf(stderr, "S_bind_column Bind Error (%d).\n", static_cast<int>(rc));
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, stmt, rc);
        db_stream_set_xerr_from_diag(stream, diag);
    }
    db_free_stmt(stmt);
    return code;
}

// A blob: written into a new smart large object through the column's
// large-object record, whose pointer buffer is what gets bound; the record
// lives in the stream until it is closed, so the bound buffer does too.
static int32_t S_bind_blob(DB_STREAM *stream, SQLHSTMT *stmt, int32_t param, void *value,
                           SQLLEN *indicator, DB_LOB_HANDLE *lob)
{
    if (lob == nullptr)
        return S_bind_failed(stream, stmt, SQL_ERROR, ZE_NULL_POINTER);
    const auto *blob = static_cast<const VE_BLOB_VALUE *>(value);
    const bool null = *indicator == SQL_NULL_DATA || blob == nullptr || blob->byte_count < 0;
    lob->data = null ? nullptr : reinterpret_cast<char *>(blob->data);
    lob->data_length = null ? SQL_NULL_DATA : blob->byte_count;
    lob->data_size = null ? 0 : blob->byte_count;
    const int32_t rc = db_lob_transfer(lob, DB_LOB_INSERT);
    lob->data = nullptr; // the caller's bytes: the record must not keep them
    if (rc == ZE_OUT_OF_MEMORY)
        return S_bind_failed(stream, stmt, SQL_ERROR, ZE_OUT_OF_MEMORY);
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
        db_cli_save_error_to(&lob->cli, db_stream_xerr(stream));
        fprintf(stderr, "S_bind_column Bind Error (%d).\n", static_cast<int>(rc));
        db_free_stmt(stmt);
        return ZE_DBMS_ERROR;
    }
    SQLRETURN bound =
        SQLBindParameter(*stmt, static_cast<SQLUSMALLINT>(param), SQL_PARAM_INPUT, SQL_C_BINARY,
                         -100, static_cast<SQLULEN>(lob->pointer_length), 0, lob->pointer,
                         lob->pointer_length, &lob->pointer_indicator);
    if (!SQL_SUCCEEDED(bound))
        return S_bind_failed(stream, stmt, bound, ZE_DBMS_ERROR);
    return 0;
}

int32_t db_write_bind_column(DB_STREAM *stream, SQLHSTMT *stmt, int32_t param,
                             const DB_COLUMN_DEF *column, void *value, SQLLEN *indicator,
                             SQLSMALLINT date_sql_type, DB_LOB_HANDLE *lob)
{
    if (stmt == nullptr || column == nullptr || indicator == nullptr)
        return ZE_NULL_POINTER;
    SQLSMALLINT c_type = 0, sql_type = 0;
    SQLULEN size = 0;
    SQLLEN length = 0;
    bool keep_cell = false;
    switch (column->type) {
    case VE_SMALLINT:
        c_type = SQL_C_SHORT, sql_type = SQL_SMALLINT, size = 2, length = 2;
        break;
    case VE_INTEGER:
    case VE_RASTER: // the raster id, the value's fourth word
        c_type = SQL_C_LONG, sql_type = SQL_INTEGER, size = 0, length = 4;
        if (column->type == VE_RASTER && value != nullptr)
            value = &static_cast<RASTERATTR *>(value)->w[3];
        break;
    case VE_FLOAT:
        c_type = SQL_C_FLOAT, sql_type = SQL_FLOAT, size = 4, length = 4;
        break;
    case VE_DOUBLE:
        c_type = SQL_C_DOUBLE, sql_type = SQL_DOUBLE, size = 8, length = 8;
        break;
    case VE_STRING:
        c_type = SQL_C_CHAR, sql_type = SQL_CHAR;
        size = static_cast<SQLULEN>(column->size > 0 ? column->size : 1);
        length = SQL_NTS;
        if (column->size == 0)
            *indicator = SQL_NULL_DATA;
        break;
    case VE_BLOB:
        return S_bind_blob(stream, stmt, param, value, indicator, lob);
    case VE_DATE_TYPE:
        keep_cell = true;
        if (date_sql_type == SQL_TYPE_DATE || date_sql_type == SQL_DATE)
            c_type = SQL_C_DATE, sql_type = SQL_DATE, length = 6;
        else if (date_sql_type == SQL_TYPE_TIME || date_sql_type == SQL_TIME)
            c_type = SQL_C_TIME, sql_type = SQL_TIME, length = 6;
        else
            c_type = SQL_C_TIMESTAMP, sql_type = SQL_TIMESTAMP, length = 16;
        break;
    case VE_SHAPE:
        // value is the stream's shape parameter, its length in *indicator.
        c_type = SQL_C_BINARY, sql_type = -104;
        size = *indicator > 0 ? static_cast<SQLULEN>(*indicator) : 0;
        length = *indicator;
        break;
    default:
        fprintf(stderr, "S_bind_column::Invalid column data type (%d)\n", column->type);
        return ZE_WRONG_COLUMN_TYPE;
    }
    if (!keep_cell && *indicator != SQL_NULL_DATA)
        *indicator = length;
    SQLRETURN rc = SQLBindParameter(*stmt, static_cast<SQLUSMALLINT>(param), SQL_PARAM_INPUT,
                                    c_type, sql_type, size, 0, value,
                                    length > 0 ? length : static_cast<SQLLEN>(size), indicator);
    if (!SQL_SUCCEEDED(rc))
        return S_bind_failed(stream, stmt, rc, ZE_DBMS_ERROR);
    return 0;
}

int32_t db_write_prepare(DB_STREAM *stream, SQLHSTMT *stmt, const char *sql)
{
    if (stmt == nullptr || sql == nullptr)
        return ZE_NULL_POINTER;
    db_free_stmt(stmt);
    int rc = db_open_cursor(db_stream_xerr(stream), stmt);
    if (rc != 0) {
        db_free_stmt(stmt);
        return rc;
    }
    rc = db_prepare_stmt(db_stream_xerr(stream), stmt, sql);
    if (rc == 0)
        return 0;
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, stmt, rc);
    const char *sqlstate = db_stream_set_xerr_from_diag(stream, diag);
    db_free_stmt(stmt);
    if (strcmp(sqlstate, "S0002") == 0)
        return ZE_TABLE_NOT_FOUND;
    if (strcmp(sqlstate, "S0022") == 0)
        return ZE_COLUMN_NOT_FOUND;
    return ZE_DBMS_ERROR;
}
