// A query stream's row fetch (db_stream_fetch.h): the row of the block copied
// into the caller's records by C type, its shape decoded (db_array_fetch.cpp)
// and tested exactly against the filters (base/util/ve_spatial_test.h), a
// query with a search envelope executed at its first fetch
// (db_stream_execute_internal.h), fetched ids logged, and blob pieces read.
#include "db/stream/db_stream_fetch.h"

#include <sqlext.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "base/util/ve_compress.h"
#include "base/util/ve_date.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_registration.h"
#include "base/util/ve_row_pointers.h"
#include "base/util/ve_shape_error.h"
#include "base/util/ve_spatial_test.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_log.h"
#include "db/core/db_date_internal.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_xerr.h"
#include "db/stream/db_array_fetch_internal.h"
#include "db/stream/db_row_lock.h"
#include "db/stream/db_stream_execute_internal.h"
#include "db/stream/db_stream_query_internal.h"
#include "mox/mox.h"

// The exact test's answer for a feature that fails a filter.
#define S_NOT_HELD (-1)

namespace
{

int32_t S_cell(const DB_QUERY_FETCH *f, int32_t column, int32_t row)
{
    return static_cast<int32_t>(f->lengths[column * f->array_size + row]);
}

bool S_null(const DB_QUERY_FETCH *f, int32_t column, int32_t row)
{
    const SQLLEN length = f->lengths[column * f->array_size + row];
    return length == SQL_NULL_DATA;
}

// The filter block as the spatial tests take it.
VE_SPATIAL_CONSTRAINTS S_constraints(DB_STREAM *stream)
{
    VE_SPATIAL_CONSTRAINTS c;
    c.filter_count = stream->filter_count;
    c.filters = const_cast<VE_FILTER *>(stream->filters);
    c.relation_flag = stream->search_order;
    c.specs = stream->feature_specs;
    return c;
}

// Whether the row's box keeps it through every envelope filter (SM_ENVP),
// for which the boxes are the answer. The other methods are left to the
// exact test, which settles by the box only what the box truly decides for
// the feature's type: a bare box is not enough (a multi line's lone points
// widen its box and are no part of it, a relation pattern may ask for
// features apart).
int32_t S_envelope_filters_hold(const VE_SPATIAL_CONSTRAINTS &constraints,
                                const VE_ENVELOPE_CANDIDATE &candidate, bool *held)
{
    *held = true;
    for (int16_t i = 0; i < constraints.filter_count && *held; i++) {
        if (constraints.filters[i].search_method >= SM_CP)
            continue;
        VE_SPATIAL_CONSTRAINTS one = constraints;
        one.filter_count = 1;
        one.filters = &constraints.filters[i];
        one.specs = constraints.specs == nullptr ? nullptr : &constraints.specs[i];
        int32_t cell = 0, passed = 0, id = 0;
        int32_t *row = &cell;
        int32_t rc = VES_test_envelopes(1, &candidate, &one, &row, &passed, &id);
        if (rc != 0)
            return rc;
        *held = passed != 0;
    }
    return 0;
}

// db_stream_test_row_shape: 0 passed; -1 a filter does not hold; -12; any
// other failure of the decode or the tests.
int32_t S_test_row_shape(DB_STREAM *stream, FEATURE_STRUCT *feature)
{
    int32_t rc = VES_feature_uncompress(1, feature);
    if (rc != 0)
        return rc == ZE_BUFFER_NO_MEMORY ? ZE_OUT_OF_MEMORY : rc;
    rc = MoxsNvelop(feature);
    if (rc != 0)
        return VES_map_shape_error_to_zel(rc);
    VE_ENVELOPE_CANDIDATE candidate{};
    candidate.feature_id = feature->feature_id;
    candidate.envelope = feature->envelope;
    VE_SPATIAL_CONSTRAINTS constraints = S_constraints(stream);
    bool held = false;
    rc = S_envelope_filters_hold(constraints, candidate, &held);
    if (rc != 0)
        return rc == ZE_BUFFER_NO_MEMORY ? ZE_OUT_OF_MEMORY : rc;
    if (!held)
        return S_NOT_HELD;
    auto **rows = reinterpret_cast<int32_t **>(stream->filter_buffers);
    memset(rows[0], 0, static_cast<size_t>(stream->filter_count) * sizeof(int32_t));
    // The candidate is the feature's own box: the exact test settles by it
    // first what it can.
    int32_t passed = 0, id = 0;
    rc = VES_test_features(1, feature, &candidate, 0, &constraints, rows, &passed, &id);
    if (rc != 0)
        return rc == ZE_BUFFER_NO_MEMORY ? ZE_OUT_OF_MEMORY : rc;
    return passed == 0 ? S_NOT_HELD : 0;
}

bool S_envelope_only(const DB_STREAM *stream)
{
    if (stream->search_order != 0)
        return false;
    for (int16_t i = 0; i < stream->filter_count; i++)
        if (stream->filters[i].search_method != SM_ENVP || stream->filters[i].truth == 0)
            return false;
    return true;
}

// A test that failed for another reason than a filter not holding: the row
// is skipped, and the stream's record says why.
void S_record_test_error(DB_STREAM *stream, int32_t rc, int32_t row_id)
{
    DB_EXT_ERROR *x = db_stream_xerr(stream);
    x->code = rc;
    x->native_error = 0;
    snprintf(x->message, sizeof(x->message),
             "exact spatial test of row %d failed (%d); the row was skipped", row_id, rc);
    x->text[0] = '\0';
}

// db_stream_test_block_row for the block's one row: decode, then test.
int32_t S_test_block_row(DB_STREAM *stream, DB_QUERY_FETCH *f, int32_t *filter_results)
{
    int32_t rc = db_copy_feature_row(stream);
    if (rc == DB_FETCH_SAME_FEATURE) {
        f->passing_rows = 1; // the held feature passed, or its rows are skipped by id
        return rc;
    }
    if (rc != 0 || stream->filter_count <= 0)
        return rc;
    if (S_envelope_only(stream)) {
        f->passing_rows = 1;
        return 0;
    }
    rc = S_test_row_shape(stream, f->feature);
    if (rc == ZE_OUT_OF_MEMORY)
        return rc;
    if (rc == 0) {
        int32_t *row = static_cast<int32_t *>(stream->filter_buffers[0]);
        const size_t bytes = static_cast<size_t>(stream->filter_count) * sizeof(int32_t);
        if (filter_results != nullptr)
            memcpy(filter_results, row, bytes);
        memset(row, 0, bytes);
        f->passing_rows = 1;
    } else if (rc != S_NOT_HELD) {
        S_record_test_error(stream, rc, f->feature->feature_id);
    }
    return 0;
}

// A blob column's first piece, no more than the caller's block holds.
void S_copy_blob(DB_QUERY_FETCH *f, int32_t i, VE_BLOB_VALUE *blob, SQLLEN length)
{
    if (f->blob_data[i] != blob->data) {
        f->blob_data[i] = blob->data;
        f->blob_room[i] = blob->data != nullptr && blob->byte_count > 0 ? blob->byte_count : 0;
    }
    int64_t n = 0;
    if (length > 0 && blob->data != nullptr) {
        n = std::min<int64_t>(length, f->described_sizes[i]);
        n = std::min<int64_t>(n, f->blob_room[i]);
        n = std::min<int64_t>(n, f->blob_capacity[i]);
        memcpy(blob->data, f->values[i], static_cast<size_t>(n));
    }
    blob->byte_count = static_cast<int32_t>(n);
    f->read_offsets[i] = static_cast<int32_t>(n);
}

// Copies the block's row into the caller's records. 0 or -55.
int32_t S_copy_row(DB_QUERY_FETCH *f, void **values, int16_t *indicators, int32_t row)
{
    for (int32_t i = 0; i < f->described_count; i++) {
        const bool null = S_null(f, i, row) || (i == f->shape_position && S_cell(f, i, row) <= 0);
        if (indicators != nullptr)
            indicators[i] = null ? VE_IND_NULL : VE_IND_VALUE;
        f->read_offsets[i] = 0;
        void *out = values != nullptr ? values[i] : nullptr;
        const int32_t type = f->columns[i].type;
        const int16_t c_type = f->types[i];
        const auto *from = static_cast<const unsigned char *>(f->values[i]);
        if (i == f->shape_position)
            continue; // decoded into the current feature
        switch (c_type) {
        case SQL_C_BINARY:
            if (out != nullptr)
                S_copy_blob(f, i, static_cast<VE_BLOB_VALUE *>(out), null ? 0 : S_cell(f, i, row));
            break;
        case SQL_C_CHAR:
            if (out != nullptr) {
                memcpy(out, from, static_cast<size_t>(f->sizes[i]));
                static_cast<char *>(out)[f->sizes[i] - 1] = '\0';
            }
            break;
        case SQL_C_LONG:
        case SQL_C_SHORT:
            if (out != nullptr) {
                const bool wide = (type == VE_INTEGER || type == VE_SHAPE || type == VE_RASTER) &&
                                  c_type == SQL_C_LONG;
                memcpy(out, from, wide ? sizeof(int32_t) : sizeof(int16_t));
            }
            break;
        case SQL_C_FLOAT:
        case SQL_C_DOUBLE:
            if (out != nullptr) {
                const bool narrow = type == VE_FLOAT || c_type == SQL_C_FLOAT;
                memcpy(out, from, narrow ? sizeof(float) : sizeof(double));
            }
            break;
        case SQL_C_DATE:
        case SQL_C_TIME:
        case SQL_C_TIMESTAMP:
            if (out != nullptr && !null && type == VE_DATE_TYPE)
                db_sql_date_to_tm(from, static_cast<VE_DATE *>(out), c_type);
            break;
        default:
            fprintf(stderr, "db_fetch_attr_row() Error in converting database type = %d\n", c_type);
            return ZE_UNSUPPORTED_COLUMN_TYPE;
        }
    }
    return 0;
}

// db_fetch_attr_row: the next row of the block (fetching the next block when
// none is left), decoded and tested; copied unless the filters drop it. 0 a
// row (passing_rows says whether it passed); 3 a row of the feature held;
// -4 no more rows; another failure.
int32_t S_fetch_attr_row(DB_STREAM *stream, DB_QUERY_FETCH *f, void **values, int16_t *indicators,
                         int32_t *filter_results)
{
    DB_instance_clear_xerr();
    f->passing_rows = 0;
    if (f->rows_left <= 0) {
        const int32_t rc = db_array_fetch_attrs(stream);
        if (rc == DB_FETCH_NO_MORE)
            return ZE_NO_MORE_ROWS;
        if (rc != 0)
            return rc;
    }
    const int32_t row = f->rows_in_block - f->rows_left;
    int32_t result = 0;
    if (f->shape_position >= 0 && f->feature != nullptr) {
        if (S_cell(f, f->shape_position, row) > 0) {
            result = S_test_block_row(stream, f, filter_results);
            if (result != 0 && result != DB_FETCH_SAME_FEATURE) {
                if (indicators != nullptr && f->spatial_index >= 0)
                    indicators[f->spatial_index] = VE_IND_NULL;
                f->rows_left--;
                return result;
            }
            if (stream->filter_count > 0 && f->passing_rows == 0) {
                f->rows_left--;
                return 0;
            }
        } else if (stream->filter_count > 0) {
            f->rows_left--;
            return 0;
        }
    }
    const int32_t rc = S_copy_row(f, values, indicators, row);
    f->rows_left--;
    return rc != 0 ? rc : result;
}

bool S_shape_null(const DB_QUERY_FETCH *f)
{
    const int32_t row = f->rows_in_block - f->rows_left - 1;
    return f->shape_position < 0 || row < 0 ||
           f->lengths[f->shape_position * f->array_size + row] <= 0;
}

// The id of the row just consumed: its feature's when its shape was decoded.
int32_t S_row_id(DB_STREAM *stream, const DB_QUERY_FETCH *f)
{
    if (f->feature != nullptr && f->feature_held && !S_shape_null(f))
        return f->feature->feature_id;
    return db_array_current_row_id(stream);
}

void S_reject(DB_QUERY_FETCH *f, int32_t id)
{
    f->last_rejected = id;
    f->has_rejected = 1;
}

int32_t S_fail(DB_STREAM *stream, int32_t rc)
{
    if (rc != ZE_NO_MORE_ROWS)
        db_free_stmt(&stream->stmt_main);
    return rc;
}

// db_stream_fetch_next_row: the fetch of a query with a search envelope,
// executed at its first call.
int32_t S_fetch_next_row(DB_STREAM *stream, DB_QUERY_FETCH *f, void **values, int16_t *indicators,
                         int32_t *filter_results)
{
    if (!f->bound) {
        const int32_t rc = db_execute_sql(stream);
        if (rc != 0)
            return rc;
        stream->executed = 1;
    }
    for (;;) {
        const int32_t rc = S_fetch_attr_row(stream, f, values, indicators, filter_results);
        if (rc == ZE_NO_MORE_ROWS) {
            db_free_stmt(&stream->stmt_main);
            return rc;
        }
        const int32_t id = S_row_id(stream, f);
        if (rc == DB_FETCH_SAME_FEATURE) {
            if (f->has_rejected && id == f->last_rejected)
                continue;
            if (indicators != nullptr && f->spatial_index >= 0)
                indicators[f->spatial_index] = VE_IND_NO_SHAPE;
            return 0;
        }
        if (rc != 0)
            return S_fail(stream, rc);
        if (stream->filter_count > 0 && (f->passing_rows == 0 || S_shape_null(f))) {
            S_reject(f, id);
            continue;
        }
        if (!stream->query_layer && indicators != nullptr && f->spatial_index >= 0)
            indicators[f->spatial_index] = VE_IND_VALUE;
        return 0;
    }
}

// The row fetch without a search envelope.
int32_t S_fetch_plain(DB_STREAM *stream, DB_QUERY_FETCH *f, void **values, int16_t *indicators,
                      int32_t *filter_results, int32_t *row_id)
{
    for (;;) {
        int32_t rc = S_fetch_attr_row(stream, f, values, indicators, filter_results);
        if (rc != 0 && rc != DB_FETCH_SAME_FEATURE)
            return S_fail(stream, rc);
        const int32_t id = f->rowid_position >= 0 ? S_row_id(stream, f) : -1;
        *row_id = id;
        if (!stream->shape_selected)
            return 0;
        if (f->has_rejected && id == f->last_rejected)
            continue;
        if (rc == DB_FETCH_SAME_FEATURE) {
            if (indicators != nullptr && f->spatial_index >= 0)
                indicators[f->spatial_index] = VE_IND_NO_SHAPE;
            return 0;
        }
        if (stream->filter_count > 0 && (f->passing_rows == 0 || S_shape_null(f))) {
            S_reject(f, id);
            continue;
        }
        return 0;
    }
}

// The id of the row just accepted for the log and the row locks.
int32_t S_id_to_log(DB_STREAM *stream, DB_QUERY_FETCH *f, int32_t row_id)
{
    if (f->logid_index < 0 || f->logid_index >= f->total_columns)
        return row_id;
    const int32_t row = f->rows_in_block - f->rows_left - 1;
    if (row < 0 || S_null(f, f->logid_index, row))
        return -1;
    (void)stream;
    int32_t id = 0;
    memcpy(&id, static_cast<const char *>(f->values[f->logid_index]) + row * sizeof(int32_t),
           sizeof(id));
    return id;
}

} // namespace

int32_t DB_stream_fetch_row(DB_STREAM *stream, int32_t auto_log, void **values, int16_t *indicators,
                            int32_t *filter_results, int32_t *row_id)
{
    if (stream == nullptr || row_id == nullptr)
        return ZE_NULL_POINTER;
    *row_id = -1;
    DB_QUERY_FETCH *f = stream->fetch;
    if (f == nullptr || (!f->bound && !stream->sys_envelope.valid))
        return ZE_NULL_POINTER; // not executed
    if (f->described_count > 0 && (values == nullptr || indicators == nullptr))
        return ZE_NULL_POINTER;
    DB_stream_clear_xerr(stream);
    int32_t rc;
    if (stream->sys_envelope.valid) {
        rc = S_fetch_next_row(stream, f, values, indicators, filter_results);
        if (rc == 0 && f->rowid_position >= 0)
            *row_id = db_array_current_row_id(stream);
    } else {
        rc = S_fetch_plain(stream, f, values, indicators, filter_results, row_id);
    }
    if (rc != 0)
        return rc;

    const int32_t id = S_id_to_log(stream, f, *row_id);
    if (stream->auto_log && auto_log && stream->auto_log_descriptor >= 1 && id > 0) {
        rc = DB_log_add_id_list(nullptr, stream->auto_log_descriptor, &id, 1);
        if (rc != 0)
            return rc;
    }
    if (stream->row_locking && stream->row_locks_initialised && f->logid_index >= 0 && id >= 1) {
        if (stream->row_lock_mode & DB_ROW_LOCK_ADD_FETCHED)
            rc = DB_row_lock_add(stream, &id, 1);
        else if (stream->row_lock_mode & DB_ROW_LOCK_REMOVE_FETCHED)
            rc = DB_row_lock_remove_by_ids(stream, &id, 1);
    }
    return rc;
}

int32_t DB_stream_get_blob_segment(DB_STREAM *stream, int16_t column, int32_t wanted, int32_t *size,
                                   void *destination)
{
    if (stream == nullptr || size == nullptr)
        return ZE_NULL_POINTER;
    *size = 0;
    DB_QUERY_FETCH *f = stream->fetch;
    if (f == nullptr || !f->bound || f->read_offsets == nullptr || column < 0 ||
        column >= f->described_count || column == f->shape_position ||
        f->types[column] != SQL_C_BINARY || wanted < 0)
        return ZE_INVALID_ARGUMENT;
    if (destination == nullptr && wanted > 0)
        return ZE_NULL_POINTER;
    const int32_t row = f->rows_in_block - f->rows_left - 1;
    if (row < 0 || S_null(f, column, row))
        return ZE_INVALID_ARGUMENT;
    const int64_t total = std::min<int64_t>(S_cell(f, column, row), f->blob_capacity[column]);
    const int64_t offset = f->read_offsets[column];
    if (total < 0 || offset > total)
        return ZE_INVALID_ARGUMENT;
    const int64_t piece = std::min<int64_t>(wanted, total - offset);
    if (piece > 0)
        memcpy(destination, static_cast<const char *>(f->values[column]) + offset,
               static_cast<size_t>(piece));
    f->read_offsets[column] = static_cast<int32_t>(offset + piece);
    *size = static_cast<int32_t>(piece);
    return 0;
}

int32_t DB_stream_set_auto_log(DB_STREAM *stream, int32_t log_descriptor)
{
    if (stream == nullptr)
        return ZE_NULL_POINTER;
    DB_QUERY_FETCH *f = db_query_fetch(stream);
    if (f == nullptr)
        return ZE_OUT_OF_MEMORY;
    stream->auto_log = 0;
    if (!f->logid_added)
        f->logid_index = -1;
    int32_t rc = DB_log_get_by_fdes(nullptr, log_descriptor, &stream->auto_log_file);
    if (rc != 0)
        return rc;
    const LOGFILE &log = stream->auto_log_file;
    char user[DB_USER_NAME_SIZE];
    const char *current = db_get_current_user(user);
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], table[DB_NAME_TABLE_SIZE];
    rc = db_parse_table_name(nullptr, log.table_name, current, database, owner, table);
    if (rc != 0)
        return rc;
    LAYER *layer = nullptr;
    if (log.flags & LOGINFO_TABLE) {
        rc = DB_layer_get_info_by_table_name(nullptr, stream, log.table_name, nullptr, current,
                                             &layer);
        if (rc == ZE_LAYER_NOT_FOUND) {
            layer = nullptr;
            rc = 0;
        }
    } else {
        rc = DB_layer_get_info(nullptr, stream, log.layer_id, &layer);
    }
    if (rc != 0)
        return rc;
    const bool versioned_view = (log.registration.object_flags & REG_MULTIVERSION) &&
                                strcasecmp(log.registration.imv_view_name, stream->table) == 0;
    if (layer == nullptr) {
        if (stream->query_table_count > 0) {
            bool listed = false;
            for (int32_t i = 0; i < stream->query_table_count && !listed; i++)
                listed = db_table_name_matches(nullptr, stream->query_tables[i], database, owner,
                                               table) != 0;
            if (!listed)
                return ZE_LAYER_NOT_IN_QUERY;
            snprintf(stream->table, sizeof(stream->table), "%s", table);
            snprintf(stream->owner, sizeof(stream->owner), "%s", owner);
            snprintf(stream->database, sizeof(stream->database), "%s", database);
        } else if (stream->table[0] == '\0') {
            snprintf(stream->table, sizeof(stream->table), "%s", table);
            snprintf(stream->owner, sizeof(stream->owner), "%s", owner);
            snprintf(stream->database, sizeof(stream->database), "%s", database);
        } else if (strcmp(stream->table, table) != 0 && !versioned_view) {
            return ZE_LAYER_NOT_IN_QUERY;
        }
    } else {
        rc = db_stream_check_query_layer(stream, layer, stream->query_table_count,
                                         stream->query_tables);
        if (rc == ZE_LAYER_NOT_IN_QUERY && versioned_view)
            rc = 0;
        if (rc != 0)
            return rc;
        stream->layer = layer;
        snprintf(stream->table, sizeof(stream->table), "%s", layer->table_name);
        snprintf(stream->owner, sizeof(stream->owner), "%s", layer->owner);
        snprintf(stream->database, sizeof(stream->database), "%s", layer->database_name);
        snprintf(stream->spatial_column_name, sizeof(stream->spatial_column_name), "%s",
                 layer->spatial_column);
    }
    stream->auto_log = 1;
    stream->auto_log_descriptor = log_descriptor;
    return 0;
}
