// The write state of a stream (db_stream_write_internal.h): made on first
// need by the insert, update and tile paths, released by the stream's close;
// the automatic log and the envelope of the rows written, which every write
// stream keeps alike.
#include "db/stream/db_stream_write_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/util/ve_layer.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_log.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_stream_hooks_internal.h"

DB_STREAM_WRITE *db_stream_write_get(DB_STREAM *stream)
{
    if (stream == nullptr)
        return nullptr;
    if (stream->write == nullptr) {
        auto *write = static_cast<DB_STREAM_WRITE *>(calloc(1, sizeof(DB_STREAM_WRITE)));
        if (write == nullptr)
            return nullptr;
        write->row.spatial_position = -1;
        write->row.rowid_index = -1;
        write->spatial_position = -1;
        write->rowid_position = -1;
        write->row_id = -1;
        stream->write = write;
    }
    return stream->write;
}

void db_stream_write_free(DB_STREAM *stream)
{
    if (stream == nullptr || stream->write == nullptr)
        return;
    db_write_row_free(&stream->write->row);
    free(stream->write->sql);
    free(stream->write->params);
    free(stream->write);
    stream->write = nullptr;
}

// The query path's DB_stream_set_auto_log also binds the stream to the log's
// layer and tables; a write stream only needs the open log's record.
int32_t db_stream_write_open_log(DB_STREAM *stream, int32_t descriptor)
{
    if (stream == nullptr)
        return ZE_NULL_POINTER;
    stream->auto_log = 0;
    int32_t rc = DB_log_get_by_fdes(nullptr, descriptor, &stream->auto_log_file);
    if (rc != 0)
        return rc;
    stream->auto_log = 1;
    stream->auto_log_descriptor = descriptor;
    return 0;
}

int32_t db_stream_write_widen_envelope(DB_STREAM *stream, const FEATURE_STRUCT *feature)
{
    if (stream == nullptr || feature == nullptr)
        return ZE_NULL_POINTER;
    if (stream->layer == nullptr)
        return ZE_LAYER_NOT_FOUND;
    LAYER *layer = nullptr;
    int32_t rc = DB_layer_get_info(nullptr, stream, stream->layer->layer_id, &layer);
    if (rc != 0)
        return rc;
    if (layer == nullptr || layer->coordref == nullptr)
        return ZE_INVALID_COORDREF;
    double minx = 0, miny = 0, maxx = 0, maxy = 0;
    db_value_to_plane(feature->envelope.minx, &minx, layer->coordref, 1);
    db_value_to_plane(feature->envelope.maxx, &maxx, layer->coordref, 1);
    db_value_to_plane(feature->envelope.miny, &miny, layer->coordref, 2);
    db_value_to_plane(feature->envelope.maxy, &maxy, layer->coordref, 2);
    return db_stream_envelope_union(stream, minx, miny, maxx, maxy);
}

void db_stream_lob_records_free(DB_STREAM *stream)
{
    for (int32_t i = 0; i < stream->lob_count; i++)
        db_lob_handle_free(stream->lobs[i], 0);
    free(stream->lobs);
    stream->lobs = nullptr;
    stream->lob_count = 0;
}

int32_t db_stream_lob_record_add(DB_STREAM *stream, const char *column, int32_t mode)
{
    auto **grown = static_cast<DB_LOB_HANDLE **>(realloc(
        stream->lobs, sizeof(DB_LOB_HANDLE *) * static_cast<size_t>(stream->lob_count + 1)));
    if (grown == nullptr)
        return ZE_OUT_OF_MEMORY;
    stream->lobs = grown;
    DB_LOB_HANDLE *lob = nullptr;
    int32_t rc = db_lob_handle_create(stream->table, column, DB_LOB_ACCESS_DEFAULT, &lob);
    if (rc != 0)
        return rc;
    stream->lobs[stream->lob_count++] = lob;
    rc = db_lob_create_spec(lob, mode);
    if (rc == ZE_OUT_OF_MEMORY)
        return rc;
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
        db_cli_save_error_to(&lob->cli, db_stream_xerr(stream));
        return ZE_DBMS_ERROR;
    }
    return 0;
}

// A failed bind of the shape or its text: the statement goes.
static int32_t S_shape_bind_failed(DB_STREAM *stream, SQLRETURN rc)
{
    fprintf(stderr, "S_bind_column Bind Error (%d).\n", static_cast<int>(rc));
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, &stream->stmt_main, rc);
    db_stream_set_xerr_from_diag(stream, diag);
    db_free_stmt(&stream->stmt_main);
    return ZE_DBMS_ERROR;
}

int32_t db_stream_bind_shape(DB_STREAM *stream, int32_t i, int32_t param)
{
    DB_STREAM_WRITE *write = stream->write;
    DB_WRITE_ROW &row = write->row;
    const auto *feature = static_cast<const FEATURE_STRUCT *>(row.values[i]);
    const bool with_shape = row.indicators[i] != SQL_NULL_DATA;
    if (with_shape)
        row.indicators[i] = row.shape_length;
    row.anno_text[0] = '\0';
    row.anno_indicator = SQL_NULL_DATA;
    if (with_shape && feature->anno != nullptr && feature->anno->text[0] != '\0') {
        const size_t n = strnlen(feature->anno->text, sizeof(row.anno_text) - 1);
        memcpy(row.anno_text, feature->anno->text, n);
        row.anno_text[n] = '\0';
        row.anno_indicator = SQL_NTS;
    }
    if (write->shape_bound && write->shape_buffer == row.shape &&
        write->shape_capacity == row.shape_capacity)
        return 0;
    const SQLULEN capacity = row.shape_capacity > 0 ? row.shape_capacity : 1;
    SQLRETURN rc = SQLBindParameter(stream->stmt_main, static_cast<SQLUSMALLINT>(param),
                                    SQL_PARAM_INPUT, SQL_C_BINARY, -104, capacity, 0, row.shape,
                                    static_cast<SQLLEN>(capacity), &row.indicators[i]);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindParameter(stream->stmt_main, static_cast<SQLUSMALLINT>(param + 1),
                              SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, DB_ANNO_TEXT_SIZE - 1, 0,
                              row.anno_text, DB_ANNO_TEXT_SIZE - 1, &row.anno_indicator);
    if (!SQL_SUCCEEDED(rc))
        return S_shape_bind_failed(stream, rc);
    write->shape_bound = 1;
    write->shape_buffer = row.shape;
    write->shape_capacity = row.shape_capacity;
    return 0;
}
