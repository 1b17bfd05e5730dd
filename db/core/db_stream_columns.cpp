// Column names against a stream. A name is owner.table.column or shorter; the
// parts it carries must match the stream's table, without regard to case.
#include "db/core/db_stream_columns_internal.h"

#include <string.h>
#include <strings.h>

#include "base/util/zel_errors.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stream_internal.h"

namespace
{

struct ParsedColumn {
    char database[DB_NAME_DATABASE_SIZE];
    char owner[DB_NAME_OWNER_SIZE];
    char table[DB_NAME_TABLE_SIZE];
    char column[DB_NAME_COLUMN_SIZE];
    bool has_database;
};

} // namespace

static bool S_parse(DB_STREAM *stream, const char *name, ParsedColumn *out)
{
    if (!stream || !name)
        return false;
    char user[DB_USER_NAME_SIZE];
    const char *default_owner = stream->owner_text;
    if (!default_owner)
        default_owner = DB_instance_get_current_user(nullptr, user);
    // Only a name with a database part carries a database; otherwise the
    // current database says nothing about the name and is not looked up.
    out->has_database = strchr(name, ':') != nullptr;
    out->database[0] = '\0';
    if (db_parse_column_name(nullptr, name, default_owner,
                             out->has_database ? out->database : nullptr, out->owner, out->table,
                             out->column) != ZE_SUCCESS)
        return false;
    return true;
}

// The part of the rule shared by all three tests, once the column matched.
static int32_t S_table_matches(const DB_STREAM *stream, const ParsedColumn &p)
{
    if (!p.owner[0] && strcasecmp(p.table, stream->table) == 0)
        return 1;
    if (p.has_database && p.database[0] && stream->database[0] &&
        strcasecmp(p.database, stream->database) != 0)
        return 0;
    return strcasecmp(p.owner, stream->owner) == 0 && strcasecmp(p.table, stream->table) == 0;
}

static int32_t S_is_named_column(DB_STREAM *stream, const char *name, const char *stream_column)
{
    ParsedColumn p;
    if (!S_parse(stream, name, &p) || !stream_column[0])
        return 0;
    if (strcasecmp(p.column, stream_column) != 0)
        return 0;
    if (!p.table[0])
        return 1;
    return S_table_matches(stream, p);
}

int32_t db_stream_is_spatial_column(DB_STREAM *stream, const char *name)
{
    return stream ? S_is_named_column(stream, name, stream->spatial_column_name) : 0;
}

int32_t db_stream_is_raster_column(DB_STREAM *stream, const char *name)
{
    return stream ? S_is_named_column(stream, name, stream->raster_column) : 0;
}

int32_t db_stream_is_row_id_pseudo_column(DB_STREAM *stream, const char *name)
{
    ParsedColumn p;
    if (!S_parse(stream, name, &p))
        return 0;
    if (strcmp(p.column, "VE_ROW_ID") != 0 && strcmp(p.column, "ve_row_id") != 0)
        return 0;
    if (!p.table[0])
        return stream->table[0] != '\0';
    return S_table_matches(stream, p);
}

int32_t DB_stream_get_rastercolumn_id(DB_STREAM *stream, int32_t *id)
{
    if (!stream || !id)
        return ZE_NULL_POINTER;
    *id = stream->raster_column_id;
    return ZE_SUCCESS;
}

int32_t DB_stream_set_rastercolumn_id(DB_STREAM *stream, int32_t id)
{
    if (!stream)
        return ZE_NULL_POINTER;
    stream->raster_column_id = id;
    return ZE_SUCCESS;
}
