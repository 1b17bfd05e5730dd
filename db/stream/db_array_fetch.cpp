// Array fetch of a query stream (db_array_fetch_internal.h): buffers and
// bindings per selected column, the block fetch with its large objects, the
// shape value checked against its length cell and decoded into the current
// feature, the refetch of a shape too long for its buffer, and the release
// of all of it. The row buffer is sized from the column layout it holds.
#include "db/stream/db_array_fetch_internal.h"

#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "base/util/ve_anno.h"
#include "base/util/ve_compress.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_varlong.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check.h"
#include "db/core/db_informix_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"

// ifx_lo_open's read-only access mode.
#define S_LOB_READ_ONLY 4
// Executions of the refetch by row id: a second one when the row grew.
#define S_REFETCH_TRIES 2

// Frees count blocks of a heap array and the array.
static void S_free_array(void ***array, int32_t count)
{
    if (*array == nullptr)
        return;
    for (int32_t i = 0; i < count; i++)
        free((*array)[i]);
    free(*array);
    *array = nullptr;
}

template <typename T> static void S_free(T **p)
{
    free(*p);
    *p = nullptr;
}

DB_QUERY_FETCH *db_query_fetch(DB_STREAM *stream)
{
    if (stream == nullptr)
        return nullptr;
    if (stream->fetch == nullptr) {
        auto *f = static_cast<DB_QUERY_FETCH *>(calloc(1, sizeof(DB_QUERY_FETCH)));
        if (f == nullptr)
            return nullptr;
        f->spatial_index = -1;
        f->rowid_index = -1;
        f->logid_index = -1;
        f->shape_position = -1;
        f->rowid_position = -1;
        f->anno_position = -1;
        f->row_buffer_size = -1;
        f->shape_buffer_size = -1;
        stream->fetch = f;
    }
    return stream->fetch;
}

// ---- the shape value ---------------------------------------------------------

// Decodes one varLONG that must end within avail bytes; the address after
// it, or null when it does not end there or is out of range.
static const uint8_t *S_varlong(const uint8_t *in, int64_t avail, int32_t *value)
{
    const int64_t limit = std::min<int64_t>(avail, VE_VARLONG_MAX_BYTES);
    for (int64_t i = 0; i < limit; i++) {
        if ((in[i] & 0x80) == 0)
            return VES_decode_varLONG(in, value);
    }
    return nullptr;
}

int32_t db_shape_value_decode(const uint8_t *value, int64_t length, int32_t capacity,
                              DB_SHAPE_VALUE *out, int32_t *needed)
{
    if (value == nullptr || out == nullptr || needed == nullptr)
        return ZE_NULL_POINTER;
    *out = DB_SHAPE_VALUE{};
    *needed = 0;
    // The prefix, the compressed feature's own 8-byte header and one byte.
    const int64_t least = DB_SHAPE_PREFIX_BYTES + VE_COMP_HEADER_BYTES;
    if (capacity < least || length < least || length > INT32_MAX)
        return ZE_DBMS_ERROR;
    const int64_t avail = std::min<int64_t>(length, capacity);
    int32_t points = 0, entity = 0, rest = 0;
    const uint8_t *second = S_varlong(value, DB_SHAPE_PREFIX_BYTES, &points);
    if (second == nullptr ||
        S_varlong(second, DB_SHAPE_PREFIX_BYTES - (second - value), &entity) == nullptr ||
        S_varlong(value + DB_SHAPE_PREFIX_BYTES, avail - DB_SHAPE_PREFIX_BYTES, &rest) == nullptr)
        return ZE_DBMS_ERROR;
    if (points < 0 || entity < 0 || entity > UINT16_MAX || rest < 0 ||
        rest > INT32_MAX - 2 * VE_COMP_HEADER_BYTES)
        return ZE_DBMS_ERROR;
    // Every point takes at least two bytes (its x and y varLONGs).
    if (points > rest / 2)
        return ZE_DBMS_ERROR;
    const int64_t whole = static_cast<int64_t>(rest) + least;
    if (length > capacity) {
        *needed = static_cast<int32_t>(std::max<int64_t>(whole, length));
        out->num_points = points;
        out->entity_type = entity;
        out->compressed_length = rest + VE_COMP_HEADER_BYTES;
        return DB_SHAPE_VALUE_CUT;
    }
    if (whole > length)
        return ZE_DBMS_ERROR; // the feature claims bytes that were not fetched
    out->num_points = points;
    out->entity_type = entity;
    out->compressed_length = rest + VE_COMP_HEADER_BYTES;
    return 0;
}

// ---- set-up ------------------------------------------------------------------

static int32_t S_define_error(DB_STREAM *stream, SQLRETURN cli)
{
    fprintf(stderr, "db_init_attr_array Define Error (%d).\n", cli);
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, &stream->stmt_main, cli);
    db_stream_set_xerr_from_diag(stream, diag);
    db_free_stmt(&stream->stmt_main);
    return ZE_DBMS_ERROR;
}

static void S_free_lobs(DB_QUERY_FETCH *f)
{
    for (int32_t i = 0; i < f->lob_count; i++)
        db_lob_handle_free(f->lobs[i], 0); // the data are the column's buffer
    S_free(&f->lobs);
    S_free(&f->lob_columns);
    f->lob_count = 0;
}

// The bound buffers, not the description or the row state.
static void S_free_bound(DB_QUERY_FETCH *f)
{
    S_free_lobs(f);
    if (f->blobs != nullptr)
        for (int32_t i = 0; i < f->total_columns; i++)
            free(f->blobs[i]);
    S_free(&f->blobs);
    S_free(&f->blob_capacity);
    S_free_array(reinterpret_cast<void ***>(&f->dates), f->total_columns);
    S_free(&f->values);
    S_free(&f->lengths);
    S_free(&f->lengths2);
    S_free(&f->types);
    S_free(&f->sizes);
    S_free(&f->row_buffer);
    f->row_buffer_size = -1;
    f->array_size = 0;
    f->total_columns = 0;
    f->rows_in_block = f->current_row = f->rows_left = f->end_mark = 0;
    f->bound = 0;
}

static bool S_is_date(int16_t type)
{
    return type == SQL_C_DATE || type == SQL_C_TIME || type == SQL_C_TIMESTAMP;
}

static int32_t S_date_size(int16_t type)
{
    return type == SQL_C_TIMESTAMP ? static_cast<int32_t>(sizeof(SQL_TIMESTAMP_STRUCT))
                                   : static_cast<int32_t>(sizeof(SQL_DATE_STRUCT));
}

// The C type and size of every selected column: the caller's as described,
// then the annotation text and the appended columns in SELECT order.
static bool S_layout(DB_QUERY_FETCH *f)
{
    const int32_t n = f->described_count;
    const int32_t total = n + (f->anno_selected ? 1 : 0) + f->appended_count;
    f->types = static_cast<int16_t *>(calloc(static_cast<size_t>(total), sizeof(int16_t)));
    f->sizes = static_cast<int32_t *>(calloc(static_cast<size_t>(total), sizeof(int32_t)));
    if (f->types == nullptr || f->sizes == nullptr)
        return false;
    f->total_columns = total;
    for (int32_t i = 0; i < n; i++) {
        f->types[i] = f->described_types[i];
        f->sizes[i] = f->described_sizes[i];
    }
    int32_t at = n;
    if (f->anno_selected) {
        f->types[at] = SQL_C_CHAR;
        f->sizes[at] = sizeof(((VE_ANNO *)nullptr)->text);
        at++;
    }
    for (int32_t k = 0; k < f->appended_count; k++, at++) {
        f->types[at] = f->appended[k] == DB_APPENDED_SHAPE ? SQL_C_BINARY : SQL_C_LONG;
        f->sizes[at] = f->appended[k] == DB_APPENDED_SHAPE ? f->shape_buffer_size
                                                           : static_cast<int32_t>(sizeof(int32_t));
    }
    if (f->shape_position >= 0 && f->shape_position < total) {
        f->types[f->shape_position] = SQL_C_BINARY;
        f->sizes[f->shape_position] = f->shape_buffer_size;
    }
    return true;
}

static bool S_is_binary(const DB_QUERY_FETCH *f, int32_t i)
{
    return f->types[i] == SQL_C_BINARY || i == f->shape_position;
}

// Buffers of every column: binary columns their own, dates a side buffer,
// the rest slots of the row buffer sized from the slots it holds.
static int32_t S_allocate(DB_QUERY_FETCH *f)
{
    const size_t total = static_cast<size_t>(f->total_columns);
    const size_t rows = static_cast<size_t>(f->array_size);
    f->values = static_cast<void **>(calloc(total, sizeof(void *)));
    f->lengths = static_cast<SQLLEN *>(calloc(total * rows, sizeof(SQLLEN)));
    f->lengths2 = static_cast<SQLLEN *>(calloc(total * rows, sizeof(SQLLEN)));
    f->blobs = static_cast<unsigned char **>(calloc(total, sizeof(unsigned char *)));
    f->blob_capacity = static_cast<int32_t *>(calloc(total, sizeof(int32_t)));
    f->dates = static_cast<unsigned char **>(calloc(total, sizeof(unsigned char *)));
    if (f->values == nullptr || f->lengths == nullptr || f->lengths2 == nullptr ||
        f->blobs == nullptr || f->blob_capacity == nullptr || f->dates == nullptr)
        return ZE_OUT_OF_MEMORY;
    int64_t row_bytes = 0;
    for (size_t i = 0; i < total; i++) {
        const int32_t c = static_cast<int32_t>(i);
        if (S_is_binary(f, c)) {
            const int32_t room =
                c == f->shape_position ? f->shape_buffer_size : DB_LOB_FETCH_ROOM + 1; // and a NUL
            f->blobs[i] = static_cast<unsigned char *>(calloc(1, static_cast<size_t>(room)));
            if (f->blobs[i] == nullptr) {
                printf("Failed to allocate forhandle->attr.array.blobptr[%d] = %d \n", c,
                       f->shape_buffer_size);
                return ZE_OUT_OF_MEMORY;
            }
            f->blob_capacity[i] = room;
            f->sizes[i] = room;
            continue;
        }
        if (S_is_date(f->types[i])) {
            f->dates[i] = static_cast<unsigned char *>(
                calloc(rows, static_cast<size_t>(S_date_size(f->types[i]))));
            if (f->dates[i] == nullptr)
                return ZE_OUT_OF_MEMORY;
            f->sizes[i] = S_date_size(f->types[i]);
            continue;
        }
        if (f->sizes[i] < 1)
            f->sizes[i] = 1;
        row_bytes += (static_cast<int64_t>(f->sizes[i]) * f->array_size + 7) / 8 * 8;
    }
    f->row_buffer_size = std::max<int64_t>(row_bytes, 8);
    f->row_buffer =
        static_cast<unsigned char *>(calloc(1, static_cast<size_t>(f->row_buffer_size)));
    if (f->row_buffer == nullptr)
        return ZE_OUT_OF_MEMORY;
    int64_t at = 0;
    for (size_t i = 0; i < total; i++) {
        if (f->blobs[i] != nullptr) {
            f->values[i] = f->blobs[i];
        } else if (f->dates[i] != nullptr) {
            f->values[i] = f->dates[i];
        } else {
            f->values[i] = f->row_buffer + at;
            at += (static_cast<int64_t>(f->sizes[i]) * f->array_size + 7) / 8 * 8;
        }
    }
    return 0;
}

// A large-object column: a record with its own statement, bound through its
// locator buffer.
static int32_t S_bind_lob(DB_STREAM *stream, DB_QUERY_FETCH *f, int32_t column, SQLRETURN *cli)
{
    const char *name = column < f->described_count ? f->columns[column].name : "";
    DB_LOB_HANDLE *lob = nullptr;
    int32_t rc = db_lob_handle_create(nullptr, name, S_LOB_READ_ONLY, &lob);
    if (rc != 0)
        return rc == ZE_INVALID_ARGUMENT ? rc : ZE_OUT_OF_MEMORY;
    auto **lobs = static_cast<DB_LOB_HANDLE **>(
        realloc(f->lobs, static_cast<size_t>(f->lob_count + 1) * sizeof(DB_LOB_HANDLE *)));
    if (lobs != nullptr)
        f->lobs = lobs;
    auto *columns = static_cast<int32_t *>(
        realloc(f->lob_columns, static_cast<size_t>(f->lob_count + 1) * sizeof(int32_t)));
    if (columns != nullptr)
        f->lob_columns = columns;
    if (lobs == nullptr || columns == nullptr) {
        db_lob_handle_free(lob, 0);
        db_free_stmt(&stream->stmt_main);
        return ZE_OUT_OF_MEMORY;
    }
    f->lobs[f->lob_count] = lob;
    f->lob_columns[f->lob_count] = column;
    f->lob_count++;
    rc = db_lob_create_spec(lob, DB_LOB_READ);
    if (rc != 0) {
        *cli = static_cast<SQLRETURN>(rc);
        return ZE_DBMS_ERROR;
    }
    if (f->lob_locator_length < 1) {
        SQLSMALLINT length = 0;
        SQLRETURN got = SQLGetInfo(db_connection()->hdbc, DB_IFX_INFO_LO_POINTER_LENGTH, &length,
                                   sizeof(length), nullptr);
        if (!SQL_SUCCEEDED(got)) {
            *cli = got;
            return ZE_DBMS_ERROR;
        }
        f->lob_locator_length = length > 0 ? length : 1;
    }
    lob->pointer =
        static_cast<unsigned char *>(calloc(1, static_cast<size_t>(f->lob_locator_length)));
    if (lob->pointer == nullptr)
        return ZE_OUT_OF_MEMORY;
    lob->pointer_length = f->lob_locator_length;
    *cli = SQLBindCol(stream->stmt_main, static_cast<SQLUSMALLINT>(column + 1), SQL_C_BINARY,
                      lob->pointer, lob->pointer_length, &lob->pointer_indicator);
    return SQL_SUCCEEDED(*cli) ? 0 : ZE_DBMS_ERROR;
}

int32_t db_init_attr_array(DB_STREAM *stream)
{
    DB_QUERY_FETCH *f = db_query_fetch(stream);
    if (f == nullptr)
        return stream == nullptr ? ZE_NULL_POINTER : ZE_OUT_OF_MEMORY;
    if (f->columns == nullptr)
        return ZE_NULL_POINTER; // nothing described
    S_free_bound(f);
    if (f->feature != nullptr) {
        const int32_t rc = db_stream_set_shape_buffer_size(stream);
        // A size chosen by an earlier execution stays; without one nothing
        // can hold a shape.
        if (f->shape_buffer_size < 1)
            return rc != 0 ? rc : ZE_SHAPE_BUFFER_TOO_SMALL;
    }
    f->array_size = 1;
    if (!S_layout(f))
        return ZE_OUT_OF_MEMORY;
    SQLRETURN cli = SQLSetStmtAttr(stream->stmt_main, SQL_ROWSET_SIZE,
                                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(1)), 0);
    if (!SQL_SUCCEEDED(cli))
        return S_define_error(stream, cli);
    int32_t rc = S_allocate(f);
    if (rc != 0)
        return rc;
    for (int32_t i = 0; i < f->total_columns; i++) {
        const auto number = static_cast<SQLUSMALLINT>(i + 1);
        if (i == f->shape_position) {
            f->types[i] = SQL_C_BINARY;
            cli = SQLBindCol(stream->stmt_main, number, SQL_C_BINARY, f->blobs[i],
                             f->blob_capacity[i], &f->lengths[i * f->array_size]);
        } else if (f->types[i] == SQL_C_BINARY) {
            cli = SQL_SUCCESS;
            rc = S_bind_lob(stream, f, i, &cli);
            if (rc == ZE_OUT_OF_MEMORY || rc == ZE_INVALID_ARGUMENT)
                return rc;
            if (rc != 0 && SQL_SUCCEEDED(cli))
                cli = SQL_ERROR;
        } else {
            cli = SQLBindCol(stream->stmt_main, number, f->types[i], f->values[i], f->sizes[i],
                             &f->lengths[i * f->array_size]);
        }
        if (!SQL_SUCCEEDED(cli))
            return S_define_error(stream, cli);
    }
    f->rows_in_block = f->current_row = f->rows_left = f->end_mark = 0;
    return 0;
}

// ---- block fetch -------------------------------------------------------------

static void S_close_lobs(DB_QUERY_FETCH *f)
{
    for (int32_t i = 0; i < f->lob_count; i++)
        db_lob_close(f->lobs[i]);
}

// Reads each large object of the fetched row into its column's buffer.
static int32_t S_read_lobs(DB_STREAM *stream, DB_QUERY_FETCH *f)
{
    for (int32_t k = 0; k < f->lob_count; k++) {
        DB_LOB_HANDLE *lob = f->lobs[k];
        const int32_t c = f->lob_columns[k];
        lob->data = static_cast<char *>(f->values[c]);
        lob->data_size = f->blob_capacity[c];
        lob->data_length = 0;
        const int32_t rc = db_lob_transfer(lob, DB_LOB_READ);
        if (lob->data != f->values[c] && lob->data != nullptr) {
            // The object outgrew the buffer: the transfer's larger one replaces it.
            f->blobs[c] = reinterpret_cast<unsigned char *>(lob->data);
            f->values[c] = lob->data;
            f->blob_capacity[c] = lob->data_size + 1;
        }
        lob->data = nullptr;
        if (rc != 0 && rc != 1) {
            db_cli_save_error_to(&lob->cli, db_stream_xerr(stream));
            db_free_stmt(&stream->stmt_main);
            S_close_lobs(f);
            return ZE_DBMS_ERROR;
        }
        const SQLLEN size = lob->pointer_indicator == SQL_NULL_DATA ? 0 : lob->data_size;
        f->lengths[c * f->array_size] = size > 0 ? size : SQL_NULL_DATA;
        f->lengths2[c * f->array_size] = f->lengths[c * f->array_size];
    }
    return 0;
}

int32_t db_array_fetch_attrs(DB_STREAM *stream)
{
    DB_QUERY_FETCH *f = stream != nullptr ? stream->fetch : nullptr;
    if (f == nullptr || f->array_size < 1)
        return ZE_NULL_POINTER;
    if (stream->stmt_main == SQL_NULL_HSTMT)
        return ZE_DBMS_ERROR; // freed by an earlier failure
    const SQLRETURN cli = SQLFetch(stream->stmt_main);
    if (cli == SQL_NO_DATA) {
        f->end_mark = 1;
        f->rows_in_block = f->rows_left = 0;
        return DB_FETCH_NO_MORE;
    }
    if (!SQL_SUCCEEDED(cli)) {
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, &stream->stmt_main, cli);
        if (strcmp(diag.sqlstate, "37000") == 0) {
            db_stream_set_xerr_from_diag(stream, diag);
            stream->xerr.code = ZE_SYNTAX_ERROR;
            f->saved_sql_error = ZE_SYNTAX_ERROR;
            db_free_stmt(&stream->stmt_main);
            return ZE_SYNTAX_ERROR;
        }
        fprintf(stderr, "db_array_fetch_attrs Fetch Error (%d)\n", cli);
        db_stream_set_xerr_from_diag(stream, diag);
        db_free_stmt(&stream->stmt_main);
        return ZE_DBMS_ERROR;
    }
    int32_t rc = S_read_lobs(stream, f);
    if (rc != 0)
        return rc;
    for (int32_t i = 0; i < f->total_columns; i++)
        if (f->types[i] == SQL_C_CHAR && f->lengths[i * f->array_size] == 0)
            f->lengths[i * f->array_size] = SQL_NULL_DATA; // an empty text reads as NULL
    f->rows_in_block = f->current_row = f->rows_left = 1;
    S_close_lobs(f);
    return 0;
}

int32_t db_array_current_row_id(DB_STREAM *stream)
{
    DB_QUERY_FETCH *f = stream != nullptr ? stream->fetch : nullptr;
    if (f == nullptr || f->rowid_position < 0 || f->rowid_position >= f->total_columns ||
        f->values == nullptr)
        return 0;
    const int32_t row = f->rows_in_block - f->rows_left - 1;
    if (row < 0 || row >= f->array_size)
        return 0;
    if (f->lengths[f->rowid_position * f->array_size + row] == SQL_NULL_DATA)
        return 0;
    int32_t id = 0;
    memcpy(&id, static_cast<char *>(f->values[f->rowid_position]) + row * sizeof(int32_t),
           sizeof(id));
    return id;
}

// ---- the shape ----------------------------------------------------------------

static int32_t S_layer_mask(const DB_STREAM *stream)
{
    return stream->layer != nullptr ? static_cast<int32_t>(stream->layer->eflags) : 0;
}

// Copies the compressed feature at value + 8 into the current feature.
static int32_t S_take_feature(DB_STREAM *stream, DB_QUERY_FETCH *f, const uint8_t *value,
                              const DB_SHAPE_VALUE &shape)
{
    FEATURE_STRUCT *feature = f->feature;
    int32_t rc =
        VES_comp_feature_alloc_by_size(feature, S_layer_mask(stream), shape.compressed_length);
    if (rc == ZE_BUFFER_NO_MEMORY)
        return ZE_OUT_OF_MEMORY;
    if (rc != 0)
        return rc;
    memcpy(feature->compressed, value + DB_SHAPE_PREFIX_BYTES,
           static_cast<size_t>(shape.compressed_length));
    feature->num_points = shape.num_points;
    feature->entity_type = static_cast<uint16_t>(shape.entity_type);
    return 0;
}

static int32_t S_malformed(DB_STREAM *stream, int32_t row_id)
{
    DB_EXT_ERROR *x = db_stream_xerr(stream);
    x->code = ZE_DBMS_ERROR;
    x->native_error = 0;
    snprintf(x->message, sizeof(x->message), "malformed shape value of row %d", row_id);
    return ZE_DBMS_ERROR;
}

static void S_take_annotation(DB_QUERY_FETCH *f)
{
    if (f->anno_position < 0 || f->anno_position >= f->total_columns)
        return;
    const int32_t row = f->rows_in_block - f->rows_left;
    const SQLLEN length = f->lengths[f->anno_position * f->array_size + row];
    FEATURE_STRUCT *feature = f->feature;
    if (feature->anno == nullptr) {
        if (length == SQL_NULL_DATA || VES_anno_create(&feature->anno) != 0)
            return;
    }
    char *text = feature->anno->text;
    if (length == SQL_NULL_DATA) {
        text[0] = '\0';
        return;
    }
    const auto *from = static_cast<const char *>(f->values[f->anno_position]);
    const size_t n = strnlen(from, std::min<size_t>(static_cast<size_t>(f->sizes[f->anno_position]),
                                                    sizeof(feature->anno->text) - 1));
    memcpy(text, from, n);
    text[n] = '\0';
}

int32_t db_copy_feature_row(DB_STREAM *stream)
{
    DB_QUERY_FETCH *f = stream != nullptr ? stream->fetch : nullptr;
    if (f == nullptr || f->feature == nullptr || f->shape_position < 0 ||
        f->shape_position >= f->total_columns)
        return ZE_NULL_POINTER;
    const int32_t row = f->rows_in_block - f->rows_left;
    int32_t row_id = 0;
    if (f->rowid_position >= 0 && f->rowid_position < f->total_columns &&
        f->lengths[f->rowid_position * f->array_size + row] != SQL_NULL_DATA)
        memcpy(&row_id, static_cast<char *>(f->values[f->rowid_position]) + row * sizeof(int32_t),
               sizeof(row_id));
    if (f->feature_held && row_id != 0 && f->feature->feature_id == row_id)
        return DB_FETCH_SAME_FEATURE;

    const uint8_t *value = f->blobs[f->shape_position];
    const SQLLEN length = f->lengths[f->shape_position * f->array_size + row];
    DB_SHAPE_VALUE shape;
    int32_t needed = 0;
    int32_t rc =
        db_shape_value_decode(value, length, f->blob_capacity[f->shape_position], &shape, &needed);
    f->feature_held = 0;
    if (rc < 0)
        return S_malformed(stream, row_id);
    if (rc == DB_SHAPE_VALUE_CUT) {
        const int32_t previous = f->feature->feature_id;
        rc = db_fetch_points_only(stream, row_id);
        if (rc != 0) {
            fprintf(stderr, "(db_copy_feature_row) Error fetching POINTS buffer (%d/%d).\n",
                    previous, rc);
            return rc;
        }
    } else {
        rc = S_take_feature(stream, f, value, shape);
        if (rc != 0)
            return rc;
    }
    f->feature->feature_id = row_id;
    S_take_annotation(f);
    f->feature_held = 1;
    return 0;
}

static int32_t S_refetch_error(DB_STREAM *stream, SQLRETURN cli)
{
    fprintf(stderr, "(db_fetch_points_only)  Define Error (%d).\n", cli);
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, &stream->stmt_secondary, cli);
    db_free_stmt(&stream->stmt_secondary);
    free(stream->secondary_buffer);
    stream->secondary_buffer = nullptr;
    stream->secondary_slot = -1;
    db_stream_set_xerr_from_diag(stream, diag);
    return ZE_DBMS_ERROR;
}

// Makes the secondary buffer hold at least size bytes; it only grows.
static bool S_secondary_room(DB_STREAM *stream, int32_t size)
{
    if (stream->secondary_buffer != nullptr && stream->secondary_slot >= size)
        return true;
    void *grown = realloc(stream->secondary_buffer, static_cast<size_t>(size));
    if (grown == nullptr)
        return false;
    stream->secondary_buffer = grown;
    stream->secondary_slot = size;
    return true;
}

// Prepares the refetch by row id on the secondary handle.
static int32_t S_prepare_refetch(DB_STREAM *stream)
{
    const LAYER *layer = stream->layer;
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    for (const char *name : {layer->owner, layer->table_name, layer->spatial_column})
        if (DB_check_identifier(nullptr, name) != 0)
            return ZE_INVALID_ARGUMENT;
    if (layer->database_name[0] && DB_check_identifier(nullptr, layer->database_name) != 0)
        return ZE_INVALID_ARGUMENT;
    std::string sql;
    try {
        sql = std::string("SELECT VE_AsZel(") + layer->spatial_column + ") from " +
              layer->database_name + ":" + layer->owner + "." + layer->table_name +
              " WHERE VE_ROW_ID = ?";
    } catch (...) {
        return ZE_OUT_OF_MEMORY;
    }
    const int rc =
        db_prepare_cursor(db_stream_xerr(stream), &stream->stmt_secondary, sql.c_str(), 0);
    if (rc != 0) {
        db_free_stmt(&stream->stmt_secondary);
        return ZE_DBMS_ERROR;
    }
    return 0;
}

int32_t db_fetch_points_only(DB_STREAM *stream, int32_t row_id)
{
    DB_QUERY_FETCH *f = stream != nullptr ? stream->fetch : nullptr;
    if (f == nullptr || f->feature == nullptr || f->shape_position < 0)
        return ZE_NULL_POINTER;
    // What the block's value says it needs; the cell may say more.
    const int32_t row = f->rows_in_block - f->rows_left;
    DB_SHAPE_VALUE shape;
    int32_t needed = 0;
    int32_t rc = db_shape_value_decode(f->blobs[f->shape_position],
                                       f->lengths[f->shape_position * f->array_size + row],
                                       f->blob_capacity[f->shape_position], &shape, &needed);
    if (rc < 0)
        return S_malformed(stream, row_id);
    if (needed < 1)
        needed = f->blob_capacity[f->shape_position];
    if (stream->stmt_secondary == SQL_NULL_HSTMT) {
        rc = S_prepare_refetch(stream);
        if (rc != 0)
            return rc;
    }
    SQLINTEGER id = row_id;
    SQLLEN id_length = 0;
    for (int32_t attempt = 0; attempt < S_REFETCH_TRIES; attempt++) {
        if (!S_secondary_room(stream, needed))
            return ZE_OUT_OF_MEMORY;
        SQLHSTMT h = stream->stmt_secondary;
        SQLFreeStmt(h, SQL_CLOSE);
        SQLRETURN cli = SQLBindCol(h, 1, SQL_C_BINARY, stream->secondary_buffer,
                                   stream->secondary_slot, &f->secondary_length);
        if (SQL_SUCCEEDED(cli))
            cli = SQLBindParameter(h, 1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &id, 0,
                                   &id_length);
        if (SQL_SUCCEEDED(cli))
            cli = SQLExecute(h);
        if (!SQL_SUCCEEDED(cli))
            return S_refetch_error(stream, cli);
        cli = SQLFetch(h);
        if (cli == SQL_NO_DATA || !SQL_SUCCEEDED(cli)) {
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, &h, cli);
            if (cli == SQL_NO_DATA || strcmp(diag.sqlstate, "01004") != 0)
                return S_refetch_error(stream, cli == SQL_NO_DATA ? SQL_ERROR : cli);
        }
        SQLFreeStmt(h, SQL_CLOSE);
        rc = db_shape_value_decode(static_cast<const uint8_t *>(stream->secondary_buffer),
                                   f->secondary_length, stream->secondary_slot, &shape, &needed);
        if (rc == 0)
            return S_take_feature(stream, f, static_cast<const uint8_t *>(stream->secondary_buffer),
                                  shape);
        if (rc < 0)
            break;
        // Cut again (the row grew): once more with the room its cell asks.
    }
    return S_malformed(stream, row_id);
}

int32_t db_stream_set_shape_buffer_size(DB_STREAM *stream)
{
    DB_QUERY_FETCH *f = db_query_fetch(stream);
    if (f == nullptr)
        return stream == nullptr ? ZE_NULL_POINTER : ZE_OUT_OF_MEMORY;
    if (stream->layer == nullptr)
        return ZE_NULL_POINTER;
    LAYER *layer = nullptr;
    int32_t rc = DB_layer_get_info(nullptr, stream, stream->layer->layer_id, &layer);
    if (rc != 0)
        return rc;
    const int32_t size = layer->optimal_array_size >= 1
                             ? layer->optimal_array_size
                             : stream->params[DB_STREAM_PARAM_SHAPE_BUFFER];
    const int64_t least = 8LL * stream->params[DB_STREAM_PARAM_FILTER_BUFFERS];
    if (size < 1 || size < least)
        return ZE_SHAPE_BUFFER_TOO_SMALL;
    f->shape_buffer_size = size;
    return 0;
}

// ---- release -------------------------------------------------------------------

static void S_free_fetch(DB_STREAM *stream)
{
    DB_QUERY_FETCH *f = stream->fetch;
    if (f == nullptr)
        return;
    S_free_bound(f);
    S_free(&f->columns);
    S_free(&f->described_sizes);
    S_free(&f->described_types);
    S_free(&f->param);
    S_free(&f->read_offsets);
    S_free(&f->blob_room);
    S_free(&f->blob_data);
    if (f->own_feature != nullptr) {
        VES_comp_feature_free(f->own_feature);
        free(f->own_feature);
    }
    free(f);
    stream->fetch = nullptr;
}

void db_query_fetch_reset(DB_STREAM *stream)
{
    if (stream != nullptr)
        S_free_fetch(stream);
}

int32_t db_array_fetch_free(DB_STREAM *stream, int32_t release)
{
    if (stream == nullptr)
        return 0;
    S_free_fetch(stream);
    free(stream->row_buffer);
    stream->row_buffer = nullptr;
    S_free_array(&stream->column_buffers, stream->column_count);
    if (release) {
        S_free_array(&stream->value_arrays, stream->column_count);
        S_free_array(reinterpret_cast<void ***>(&stream->indicator_arrays), stream->column_count);
    }
    return 0;
}

int32_t db_stream_close_cursor(DB_STREAM *stream, int32_t reset)
{
    if (stream == nullptr)
        return 0;
    if (reset) {
        stream->fetch_position = -1;
        stream->fetch_counter = 0;
        if (stream->fetch != nullptr)
            stream->fetch->shape_buffer_size = 0;
    }
    free(stream->secondary_buffer);
    stream->secondary_buffer = nullptr;
    stream->secondary_slot = -1;
    db_free_stmt(&stream->stmt_secondary);
    return 0;
}
