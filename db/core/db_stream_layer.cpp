// A table's layer: the spatial column named in the LAYERS catalogue table of
// the administrative database, and a stream's binding to the layer record.
#include "db/core/db_stream_layer_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "base/util/ve_layer.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info.h"
#include "db/core/db_connect.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"

int32_t db_get_spatial_column_name(const char *table, char *column)
{
    if (!table || !column)
        return ZE_NULL_POINTER;
    char user[DB_USER_NAME_SIZE];
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], name[DB_NAME_TABLE_SIZE];
    DB_instance_get_current_user(nullptr, user);
    int32_t rc = db_parse_table_name(nullptr, table, user, database, owner, name);
    if (rc != ZE_SUCCESS)
        return rc;
    db_identifier_to_lower(nullptr, database, sizeof(database), 1);
    db_identifier_to_lower(nullptr, name, sizeof(name), 1);
    char layers[DB_QUALIFIED_NAME_SIZE];
    db_make_layers_table_name(nullptr, layers, sizeof(layers));
    std::string sql = std::string("SELECT spatial_column FROM ") + layers +
                      " WHERE database_name = '" + db_quote_literal(database) +
                      "' AND table_name = '" + db_quote_literal(name) + "' AND owner = '" +
                      db_quote_literal(owner) + "'";
    char found[DB_NAME_COLUMN_SIZE] = "";
    SQLLEN length = 0;
    CLI_DIAG_RECORD diag;
    SQLRETURN cli = db_select_one_text(sql.c_str(), found, sizeof(found), &length, &diag);
    if (SQL_SUCCEEDED(cli)) {
        memcpy(column, found, sizeof(found));
    } else if (cli != SQL_NO_DATA) {
        db_set_xerr_from_diag(diag);
        return ZE_DBMS_ERROR;
    }
    return ZE_SUCCESS;
}

int32_t DB_stream_set_layer(DB_STREAM *stream, const char *table, const char *owner)
{
    if (!stream || !table)
        return ZE_NULL_POINTER;
    LAYER *layer = nullptr;
    int32_t rc = DB_layer_get_info_by_table_name(nullptr, stream, table, nullptr, owner, &layer);
    if (rc != ZE_SUCCESS)
        return rc;
    if (!layer)
        return ZE_LAYER_NOT_FOUND;
    stream->layer = layer;
    snprintf(stream->spatial_column_name, sizeof(stream->spatial_column_name), "%.*s",
             static_cast<int>(strnlen(layer->spatial_column, sizeof(layer->spatial_column))),
             layer->spatial_column);
    return ZE_SUCCESS;
}

const char *db_stream_get_user(const DB_STREAM *stream)
{
    return stream != nullptr ? stream->owner_text : nullptr;
}

void db_stream_set_layer_info(DB_STREAM *stream, LAYER *layer)
{
    if (stream != nullptr)
        stream->layer = layer;
}

LAYER *db_stream_get_layer_info(const DB_STREAM *stream)
{
    return stream != nullptr ? stream->layer : nullptr;
}

void db_stream_set_shape_column(DB_STREAM *stream, int32_t table_position)
{
    if (stream != nullptr && stream->shape_record != nullptr)
        stream->shape_record->table_position = table_position;
}
