// The raster column of a stream (db_stream_raster_internal.h). Tables are
// found through the host's registrations; only those with a raster column
// cost a catalogue read.
#include "db/stream/db_stream_raster_internal.h"

#include <string.h>

#include "base/util/ve_registration.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_cache_internal.h"
#include "db/catalog/db_rastercolumn_info.h"
#include "db/core/db_instance_user_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_stream_layer_internal.h"

template <size_t N> static void S_copy(char (&out)[N], const char *text)
{
    const char *from = text != nullptr ? text : "";
    const size_t n = strnlen(from, N - 1);
    memcpy(out, from, n);
    out[n] = '\0';
}

static const char *S_or_null(const char *text)
{
    return text[0] ? text : nullptr;
}

int32_t db_columns_find_raster_column(DB_STREAM *stream, const RASTERCOLUMN *info,
                                      int32_t column_count, const char *const *columns,
                                      const char *, int32_t *position)
{
    if (stream == nullptr || info == nullptr || columns == nullptr)
        return 0;
    const char *user = db_stream_get_user(stream);
    for (int32_t i = 0; i < column_count; i++) {
        if (columns[i] == nullptr)
            continue;
        char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], table[DB_NAME_TABLE_SIZE],
            column[DB_NAME_COLUMN_SIZE];
        if (db_parse_column_name(nullptr, columns[i], user, database, owner, table, column) != 0)
            continue;
        bool column_matches = strcmp(column, "*") == 0 || strcmp(column, info->raster_column) == 0;
        if (!column_matches)
            continue;
        bool matches;
        if (owner[0])
            matches = db_names_equal(owner, table, S_or_null(database), info->owner,
                                     info->table_name, S_or_null(info->database_name)) != 0;
        else if (!table[0])
            matches = true;
        else
            matches = strcmp(table, info->table_name) == 0;
        if (matches) {
            if (position != nullptr)
                *position = i;
            return 1;
        }
    }
    return 0;
}

int32_t db_stream_find_raster_column(DB_STREAM *stream, int32_t column_count,
                                     const char *const *columns, int32_t table_count,
                                     const char *const *tables, uint32_t privilege)
{
    if (stream == nullptr)
        return ZE_NULL_POINTER;
    stream->raster_database[0] = '\0';
    stream->raster_owner[0] = '\0';
    stream->raster_table[0] = '\0';
    stream->raster_column[0] = '\0';
    stream->raster_column_id = 0;
    stream->raster_position = -1;
    stream->raster_bytes_since_commit = 0;
    stream->raster_commit_threshold = DB_STREAM_RASTER_COMMIT_BYTES;
    if (tables == nullptr)
        return 0;
    bool found = false;
    for (int32_t t = 0; t < table_count; t++) {
        if (tables[t] == nullptr)
            continue;
        REGISTRATION registration{};
        if (db_instance_registration_by_name(tables[t], &registration) != 0 ||
            (registration.object_flags & REG_RASTER_COLUMN) == 0)
            continue;
        RASTERCOLUMN info{};
        int32_t rc = DB_rastercolumn_get_info_by_name(nullptr, stream, tables[t], nullptr,
                                                      db_stream_get_user(stream), &info);
        if (rc == ZE_RASTERCOLUMN_NOT_FOUND)
            continue;
        if (rc != 0)
            return rc;
        int32_t position = -1;
        if (!db_columns_find_raster_column(stream, &info, column_count, columns, tables[t],
                                           &position))
            continue;
        if (found)
            return ZE_MULTIPLE_RASTER_COLUMNS;
        // The reader has filled the user's privileges (and refused without
        // SELECT).
        if ((info.privileges & privilege) != privilege)
            return ZE_NO_PERMISSIONS;
        S_copy(stream->raster_database, info.database_name);
        S_copy(stream->raster_owner, info.owner);
        S_copy(stream->raster_table, info.table_name);
        S_copy(stream->raster_column, info.raster_column);
        stream->raster_column_id = info.rastercolumn_id;
        stream->raster_position = position;
        found = true;
    }
    return 0;
}
