// The stream record (db_stream.h): its creation, its ordered release with the
// default-transaction commit, its operation mode, the envelope of the rows it
// wrote, and its extended error record, which failures of the stream's
// statements fill and the host reads back. The query, write and versioning
// code fill the record; a close releases what they hung in it, clearing every
// pointer, so a closed stream can be set up again or closed again safely.
#include "db/core/db_stream_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/util/ve_buffer.h"
#include "base/util/ve_compress.h"
#include "base/util/ve_debug.h"
#include "base/util/ve_feature.h"
#include "base/util/ve_raster_internal.h"
#include "base/util/ve_spatial_test.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_log.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_trans.h"
#include "db/stream/db_array_fetch_internal.h"
#include "db/stream/db_row_lock.h"
#include "db/stream/db_state_write_buffer_internal.h"
#include "db/stream/db_stream_raster_query_internal.h"
#include "db/stream/db_stream_write_internal.h"
#include "mox/mox.h"

// The invalid envelope of a new or closed stream.
#define S_INVALID_MIN 2147483647.0
#define S_INVALID_SYS 2147483647

static void S_free_text(char **text)
{
    free(*text);
    *text = nullptr;
}

static void S_reset_written_envelope(DB_STREAM *stream)
{
    stream->written_minx = S_INVALID_MIN;
    stream->written_miny = S_INVALID_MIN;
    stream->written_maxx = 0;
    stream->written_maxy = 0;
}

static void S_reset_sys_envelope(DB_STREAM *stream)
{
    stream->sys_envelope.valid = 0;
    stream->sys_envelope.minx = S_INVALID_SYS;
    stream->sys_envelope.miny = S_INVALID_SYS;
    stream->sys_envelope.maxx = 0;
    stream->sys_envelope.maxy = 0;
}

int32_t DB_stream_init(DB_STREAM **out, int32_t creation_argument, const char *owner,
                       DB_STREAM_PARAMS params)
{
    if (out == nullptr)
        return ZE_NULL_POINTER;
    DB_STREAM *stream = static_cast<DB_STREAM *>(calloc(1, sizeof(DB_STREAM)));
    *out = stream;
    if (stream == nullptr)
        return ZE_OUT_OF_MEMORY;
    stream->owner_text = owner;
    memcpy(stream->stream_name, params.name, sizeof(stream->stream_name));
    stream->stream_name[sizeof(stream->stream_name) - 1] = '\0';
    stream->spatial_column = -1;
    stream->layer_id = -1;
    stream->registration_id = -1;
    stream->state_id = -1;
    stream->lineage_id = -1;
    stream->version_id = -1;
    stream->hidden_column = -1;
    stream->secondary_slot = -1;
    stream->query_slot = -1;
    stream->rowid_column_index = -1;
    stream->raster_position = -1;
    S_reset_sys_envelope(stream);
    S_reset_written_envelope(stream);
    memcpy(stream->params, params.words, sizeof(stream->params));
    int32_t &filter_buffers = stream->params[DB_STREAM_PARAM_FILTER_BUFFERS];
    if (filter_buffers > DB_STREAM_MAX_FILTER_BUFFERS)
        filter_buffers = DB_STREAM_MAX_FILTER_BUFFERS;
    for (CLI_STATEMENT &cli : stream->cli)
        db_cli_init(&cli);
    stream->creation_argument = creation_argument;
    return 0;
}

// The temporary log of a write through a state: deleted when the write
// buffer says its ids went into it, then its record freed. Called after the
// close's default commit, so the deletion is not part of the stream's work.
static void S_release_temp_log(DB_STREAM *stream, DB_STREAM_TEMP_LOG **log)
{
    if (*log == nullptr)
        return;
    if (stream->update_buffer != nullptr && stream->update_buffer->ids_in_log)
        DB_log_delete(nullptr, (*log)->name);
    free(*log);
    *log = nullptr;
}

// Releases the stream's shape, and in modes 1 and 2 its shape record; the
// record's temporary log is handed to *log, to be released after the commit.
static void S_release_shape(DB_STREAM *stream, DB_STREAM_TEMP_LOG **log)
{
    bool hidden_shape = stream->spatial_column < 0 && stream->hidden_column >= 0;
    if (stream->shape != nullptr && (stream->shape_owned || hidden_shape)) {
        VES_comp_feature_free(stream->shape);
        free(stream->shape);
        stream->shape = nullptr;
        stream->shape_owned = 0;
    }
    if ((stream->operation_mode == 1 || stream->operation_mode == 2) &&
        stream->shape_record != nullptr) {
        *log = stream->shape_record->log;
        stream->shape_record->log = nullptr;
        free(stream->shape_record->buffer);
        free(stream->shape_record);
        stream->shape_record = nullptr;
    }
    stream->spatial_column = -1;
}

static void S_free_statements_and_texts(DB_STREAM *stream)
{
    db_free_stmt(&stream->stmt_main);
    db_free_stmt(&stream->stmt_secondary);
    db_free_stmt(&stream->stmt_aux);
    db_free_stmt(&stream->stmt_query_tables);
    db_free_stmt(&stream->stmt_extra);
    S_free_text(&stream->sql_select);
    S_free_text(&stream->sql_from);
    S_free_text(&stream->sql_where);
    S_free_text(&stream->sql_trailer);
    S_free_text(&stream->where_text);
    S_free_text(&stream->order_by_text);
    S_free_text(&stream->sql_plain_from);
    stream->second_statement = 0;
    // Whatever the array fetch did not release (no column definitions).
    db_array_fetch_free(stream, 0);
    memset(stream->table, 0, sizeof(stream->table));
    memset(stream->owner, 0, sizeof(stream->owner));
    memset(stream->database, 0, sizeof(stream->database));
    memset(stream->spatial_column_name, 0, sizeof(stream->spatial_column_name));
    stream->hidden_column = -1;
}

static void S_free_lobs(DB_STREAM *stream)
{
    if (stream->lobs != nullptr) {
        // The data buffers belong to the column buffers of the stream.
        for (int32_t i = 0; i < stream->lob_count; i++)
            if (stream->lobs[i] != nullptr)
                db_lob_handle_free(stream->lobs[i], 0);
        free(stream->lobs);
        stream->lobs = nullptr;
    }
    stream->lob_count = 0;
}

void db_stream_free_filter_data(DB_STREAM *stream)
{
    free(stream->value_array1);
    stream->value_array1 = nullptr;
    free(stream->value_array2);
    stream->value_array2 = nullptr;
    if (stream->filter_buffers != nullptr) {
        for (int32_t i = 0; i < stream->params[DB_STREAM_PARAM_FILTER_BUFFERS]; i++)
            free(stream->filter_buffers[i]);
        free(stream->filter_buffers);
        stream->filter_buffers = nullptr;
    }
    VES_free_feature_specs(stream->feature_spec_count, nullptr, stream->feature_specs);
    stream->feature_specs = nullptr;
    stream->feature_spec_count = 0;
    free(stream->search_data);
    stream->search_data = nullptr;
}

static void S_release_update_buffer(DB_STREAM *stream, DB_STREAM_TEMP_LOG **detached_log)
{
    S_release_temp_log(stream, detached_log);
    if (stream->update_buffer == nullptr)
        return;
    if (stream->shape_record != nullptr)
        S_release_temp_log(stream, &stream->shape_record->log);
    db_state_write_buffer_free(stream->update_buffer);
    stream->update_buffer = nullptr;
}

static void S_free_query_lists(DB_STREAM *stream)
{
    db_free_stmt(&stream->stmt_query_tables);
    memset(stream->filter_area, 0, sizeof(stream->filter_area));
    memset(stream->filter_flags, 0, sizeof(stream->filter_flags));
    if (stream->query_tables != nullptr) {
        for (int32_t i = 0; i < stream->query_table_count; i++)
            free(stream->query_tables[i]);
        free(stream->query_tables);
        stream->query_tables = nullptr;
    }
    stream->query_table_count = 0;
    stream->query_slot = -1;
}

static void S_clear_raster(DB_STREAM *stream)
{
    ves_raster_constraint_free(stream->raster_constraint);
    stream->raster_constraint = nullptr;
    memset(stream->raster_database, 0, sizeof(stream->raster_database));
    memset(stream->raster_owner, 0, sizeof(stream->raster_owner));
    memset(stream->raster_table, 0, sizeof(stream->raster_table));
    memset(stream->raster_column, 0, sizeof(stream->raster_column));
    stream->raster_column_id = 0;
    stream->raster_position = -1;
}

void DB_stream_close(DB_STREAM *stream, int32_t release_all, int32_t release_shared)
{
    if (stream == nullptr)
        return;
    stream->layer = nullptr;
    if (stream->row_lock_mode > 0) {
        int32_t rc = DB_row_lock_flush(stream);
        if (rc != 0)
            VES_print_debug(stderr, "DB_stream_close: ZEL Error (%d).\n", rc);
    }

    stream->reserved = 0;
    stream->shape_word = 0;
    if (stream->row_buffer != nullptr && stream->columns != nullptr)
        db_array_fetch_free(stream, release_shared);
    db_stream_close_cursor(stream, release_shared);
    if (release_shared) {
        MoxCoordRefFree(stream->coordref);
        stream->coordref = nullptr;
    }

    DB_STREAM_TEMP_LOG *detached_log = nullptr;
    S_release_shape(stream, &detached_log);
    S_free_statements_and_texts(stream);

    S_free_lobs(stream);
    db_stream_write_free(stream);
    stream->auto_log = 0;
    stream->auto_log_descriptor = 0;
    DB_trans_def_commit(nullptr);
    S_reset_sys_envelope(stream);

    if (release_all)
        db_stream_free_filter_data(stream);

    S_release_update_buffer(stream, &detached_log);

    // The value and indicator arrays, kept by a close without the flag.
    if (release_shared && stream->column_count > 0)
        db_array_fetch_free(stream, 1);
    // The bind lengths and C types the description left go with them; a
    // free would otherwise lose them with the record.
    if (release_shared) {
        free(stream->column_buffer_lengths);
        stream->column_buffer_lengths = nullptr;
        free(stream->column_c_types);
        stream->column_c_types = nullptr;
    }

    S_free_query_lists(stream);
    S_reset_written_envelope(stream);
    S_clear_raster(stream);
    db_raster_query_free(stream);
    for (CLI_STATEMENT &cli : stream->cli)
        db_cli_free(&cli);
    if (stream->buffer_size > 0)
        VES_buffer_free(stream->buffer, stream->buffer_size);
    stream->buffer = nullptr;
    stream->buffer_size = 0;
}

void DB_stream_free(DB_STREAM *stream)
{
    DB_stream_close(stream, 1, 1);
}

int32_t DB_stream_set_operation_mode(DB_STREAM *stream, int32_t mode)
{
    if (stream == nullptr)
        return ZE_NULL_POINTER;
    if (mode < 0 || mode > DB_STREAM_MODE_MAX)
        return ZE_INVALID_ARGUMENT;
    stream->operation_mode = mode;
    return 0;
}

int32_t db_stream_envelope_union(DB_STREAM *stream, double minx, double miny, double maxx,
                                 double maxy)
{
    if (stream == nullptr || (minx > maxx && miny > maxy))
        return 0;
    if (stream->written_minx <= stream->written_maxx &&
        stream->written_miny <= stream->written_maxy) {
        if (minx < stream->written_minx)
            stream->written_minx = minx;
        if (miny < stream->written_miny)
            stream->written_miny = miny;
        if (maxx > stream->written_maxx)
            stream->written_maxx = maxx;
        if (maxy > stream->written_maxy)
            stream->written_maxy = maxy;
    } else {
        stream->written_minx = minx;
        stream->written_miny = miny;
        stream->written_maxx = maxx;
        stream->written_maxy = maxy;
    }
    return 0;
}

DB_EXT_ERROR *db_stream_xerr(DB_STREAM *stream)
{
    return stream != nullptr ? &stream->xerr : nullptr;
}

const char *db_stream_set_xerr_from_diag(DB_STREAM *stream, CLI_DIAG_RECORD diag)
{
    return db_xerr_set_from_stream_diag(db_stream_xerr(stream), diag);
}

DB_EXT_ERROR *db_stream_copy_xerr(DB_EXT_ERROR *out, DB_STREAM *stream)
{
    if (out == nullptr)
        return nullptr;
    if (stream == nullptr)
        db_xerr_clear(out);
    else
        *out = stream->xerr;
    return out;
}

DB_EXT_ERROR *DB_stream_get_xerr(DB_EXT_ERROR *out, DB_STREAM *stream)
{
    return db_stream_copy_xerr(out, stream);
}

void DB_stream_clear_xerr(DB_STREAM *stream)
{
    if (stream != nullptr)
        db_xerr_clear(&stream->xerr);
}
