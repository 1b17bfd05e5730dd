// Hooks of the write streams (db_stream_hooks_internal.h). Restrictions are
// built as std::string from the stream's own names and WHERE text, which
// the stream's set-up has checked; nothing here keeps state.
#include "db/stream/db_stream_hooks_internal.h"

#include <string>

#include "base/util/ve_layer.h"
#include "base/util/ve_loginfo.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_log.h"
#include "db/catalog/db_log_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_row_lock_internal.h"
#include "mox/mox.h"

// The row-lock mode bits of the WHERE-clause writes.
#define S_LOCK_ADD_BY_QUERY 0x04
#define S_LOCK_REMOVE_BY_QUERY 0x10

static bool S_row_locks_by_query(const DB_STREAM *stream)
{
    return stream->row_locking && stream->row_locks_initialised &&
           (stream->row_lock_mode & (S_LOCK_ADD_BY_QUERY | S_LOCK_REMOVE_BY_QUERY)) != 0;
}

static int32_t S_row_lock_part(DB_STREAM *stream, const char *where)
{
    if (stream->row_lock_mode & S_LOCK_ADD_BY_QUERY)
        return db_row_lock_add_by_query(stream, where);
    return DB_row_lock_remove_by_query(stream, where);
}

static const char *S_where(const DB_STREAM *stream)
{
    return db_sql_is_blank(stream->where_text) ? nullptr : stream->where_text;
}

// The layer table, "database:owner.table" ("owner.table" without a database).
static std::string S_layer_table(const DB_STREAM *stream)
{
    const LAYER *layer = stream->layer;
    const char *database = layer != nullptr ? layer->database_name : stream->database;
    std::string name = database[0] ? std::string(database) + ":" : std::string();
    if (layer == nullptr)
        return name + stream->owner + "." + stream->table;
    return name + layer->owner + "." + layer->table_name;
}

static const char *S_spatial_column(const DB_STREAM *stream)
{
    return stream->layer != nullptr ? stream->layer->spatial_column : stream->spatial_column_name;
}

int32_t db_stream_log_ids(DB_STREAM *stream, const int32_t *feature_ids, int32_t feature_count,
                          const int32_t *row_ids, int32_t row_count)
{
    if (stream == nullptr || !stream->auto_log)
        return 0;
    if (stream->auto_log_file.flags & LOGINFO_LAYER) {
        if (feature_ids == nullptr || feature_count < 1)
            return 0;
        return DB_log_add_id_list(nullptr, stream->auto_log_descriptor, feature_ids, feature_count);
    }
    if (row_ids == nullptr || row_count < 1)
        return 0;
    return DB_log_add_id_list(nullptr, stream->auto_log_descriptor, row_ids, row_count);
}

int32_t db_stream_log_where_rows(DB_STREAM *stream)
{
    if (stream == nullptr)
        return 0;
    const bool log = stream->auto_log && (stream->auto_log_file.flags & LOGINFO_TABLE);
    const bool lock = S_row_locks_by_query(stream);
    int32_t rc = 0;
    if (log)
        rc = db_log_add_ids_from_query(nullptr, stream->auto_log_descriptor, nullptr, nullptr,
                                       stream->where_text);
    if (lock)
        rc = S_row_lock_part(stream, stream->where_text);
    return rc;
}

int32_t db_stream_log_table_rows(DB_STREAM *stream)
{
    if (stream == nullptr)
        return 0;
    const bool log = stream->auto_log != 0;
    const bool lock = S_row_locks_by_query(stream);
    if (!log && !lock)
        return 0;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        const std::string table = S_layer_table(stream);
        const char *where = S_where(stream);
        int32_t rc = 0;
        if (log)
            rc = db_log_add_ids_from_query(nullptr, stream->auto_log_descriptor, nullptr,
                                           table.c_str(), where);
        if (lock)
            rc = S_row_lock_part(stream, where);
        return rc;
    });
}

int32_t db_stream_log_null_shape_rows(DB_STREAM *stream)
{
    if (stream == nullptr)
        return 0;
    const bool log = stream->auto_log && !(stream->auto_log_file.flags & LOGINFO_LAYER);
    const bool lock = S_row_locks_by_query(stream);
    if (!log && !lock)
        return 0;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        const std::string table = S_layer_table(stream);
        std::string restriction = table + "." + S_spatial_column(stream) + " IS NULL";
        if (const char *where = S_where(stream))
            restriction += std::string(" AND (") + where + ")";
        int32_t rc = 0;
        if (log)
            rc = db_log_add_ids_from_query(nullptr, stream->auto_log_descriptor, nullptr,
                                           table.c_str(), restriction.c_str());
        if (lock)
            rc = S_row_lock_part(stream, restriction.c_str());
        return rc;
    });
}

int32_t db_value_to_plane(int32_t value, double *plane, const COORDREF *coordref, int32_t axis)
{
    if (coordref == nullptr || plane == nullptr)
        return 0;
    if (axis == 1)
        return MoxsValueToPlane(coordref->falsex, coordref->xyunits, value, plane);
    if (axis == 2)
        return MoxsValueToPlane(coordref->falsey, coordref->xyunits, value, plane);
    return 0;
}
