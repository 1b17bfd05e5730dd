// A query stream's set-up (db_stream_query.h): the layer the query reads, the
// caller's rights on it, its filters and search envelope, then the SELECT
// built and prepared. Constraints set before the set-up stay in force.
#include "db/stream/db_stream_query_internal.h"

#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>

#include "base/util/ve_raster_internal.h"
#include "base/util/ve_registration.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_layer_tables_internal.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_instance_user_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_stream_layer_internal.h"
#include "db/core/db_xerr.h"
#include "db/stream/db_array_fetch_internal.h"
#include "db/stream/db_row_lock.h"
#include "db/stream/db_stream_prepare.h"
#include "db/stream/db_stream_raster_internal.h"
#include "db/version/db_mv_view_internal.h"
#include "mox/mox_types.h"

namespace
{

template <size_t N> void S_copy(char (&out)[N], const char *text)
{
    const char *from = text != nullptr ? text : "";
    const size_t n = strnlen(from, N - 1);
    memcpy(out, from, n);
    out[n] = '\0';
}

const char *S_user(DB_STREAM *stream, char (&buffer)[DB_USER_NAME_SIZE])
{
    const char *user = db_stream_get_user(stream);
    return user != nullptr ? user : db_get_current_user(buffer);
}

void S_take_layer_names(DB_STREAM *stream, const LAYER *layer)
{
    S_copy(stream->database, layer->database_name);
    S_copy(stream->owner, layer->owner);
    S_copy(stream->table, layer->table_name);
    S_copy(stream->spatial_column_name, layer->spatial_column);
}

void S_free_parts(DB_STREAM *stream, bool by_clause)
{
    for (char **part : {&stream->sql_select, &stream->sql_from, &stream->sql_where,
                        &stream->sql_trailer, &stream->sql_plain_from}) {
        free(*part);
        *part = nullptr;
    }
    if (by_clause) {
        free(stream->order_by_text);
        stream->order_by_text = nullptr;
    }
}

void S_free_query_tables(DB_STREAM *stream)
{
    if (stream->query_tables != nullptr)
        for (int32_t i = 0; i < stream->query_table_count; i++)
            free(stream->query_tables[i]);
    free(stream->query_tables);
    stream->query_tables = nullptr;
    stream->query_table_count = 0;
}

// Keeps the construct's tables and WHERE text for the later steps.
int32_t S_keep_construct(DB_STREAM *stream, const VE_SQL_CONSTRUCT *construct)
{
    S_free_query_tables(stream);
    free(stream->where_text);
    stream->where_text = nullptr;
    const int32_t n = construct->num_tables;
    stream->query_tables = static_cast<char **>(calloc(static_cast<size_t>(n), sizeof(char *)));
    if (stream->query_tables == nullptr)
        return ZE_OUT_OF_MEMORY;
    stream->query_table_count = n;
    for (int32_t i = 0; i < n; i++) {
        stream->query_tables[i] = strdup(construct->tables[i]);
        if (stream->query_tables[i] == nullptr)
            return ZE_OUT_OF_MEMORY;
    }
    if (construct->where != nullptr) {
        stream->where_text = strdup(construct->where);
        if (stream->where_text == nullptr)
            return ZE_OUT_OF_MEMORY;
    }
    return 0;
}

// The same query over the base tables, prepared on a stream of its own whose
// statement then moves into the stream's second slot.
int32_t S_prepare_base_query(DB_STREAM *stream, const VE_QUERYINFO *info, DB_MV_QUERY_INFO *mv)
{
    DB_STREAM_PARAMS params{};
    memcpy(params.name, stream->stream_name, sizeof(params.name));
    memcpy(params.words, stream->params, sizeof(params.words));
    DB_STREAM *base = nullptr;
    int32_t rc = DB_stream_init(&base, stream->creation_argument, stream->owner_text, params);
    if (rc != 0)
        return rc;
    S_copy(base->database, stream->database);
    S_copy(base->owner, stream->owner);
    S_copy(base->table, stream->table);
    S_copy(base->spatial_column_name, stream->spatial_column_name);
    S_copy(base->feature_table, stream->feature_table);
    if (stream->order_by_text != nullptr &&
        (base->order_by_text = strdup(stream->order_by_text)) == nullptr)
        rc = ZE_OUT_OF_MEMORY;
    DB_MV_QUERY_INFO plain = *mv;
    plain.kind = DB_MV_NONE;
    plain.logfile = nullptr;
    std::string text;
    if (rc == 0)
        rc = db_query_build_sql(base, info, &plain, nullptr, &text);
    if (rc == 0)
        rc = DB_stream_prepare_sql(base, text.c_str());
    if (rc == 0) {
        db_free_stmt(&stream->stmt_extra);
        stream->stmt_extra = base->stmt_main;
        base->stmt_main = nullptr;
        stream->second_statement = 1;
    } else if (base->xerr.code != 0) {
        stream->xerr = base->xerr;
    }
    DB_stream_free(base);
    free(base);
    return rc;
}

bool S_valid_names(const VE_QUERYINFO *info)
{
    for (int16_t i = 0; i < info->num_columns; i++)
        if (info->columns[i] == nullptr)
            return false;
    for (int32_t i = 0; i < info->construct->num_tables; i++)
        if (info->construct->tables[i] == nullptr)
            return false;
    return true;
}

} // namespace

int32_t db_stream_check_query_layer(DB_STREAM *stream, const LAYER *layer, int32_t table_count,
                                    const char *const *tables)
{
    if (stream == nullptr || layer == nullptr)
        return ZE_NULL_POINTER;
    if (tables != nullptr && table_count > 0) {
        for (int32_t i = 0; i < table_count; i++) {
            if (tables[i] == nullptr ||
                !db_table_name_matches(nullptr, tables[i], layer->database_name, layer->owner,
                                       layer->table_name))
                continue;
            return (layer->eflags & LAYER_LOAD_ONLY) ? ZE_LAYER_LOAD_ONLY : 0;
        }
        return ZE_LAYER_NOT_IN_QUERY;
    }
    if (!stream->table[0])
        return 0;
    if (strcmp(layer->database_name, stream->database) == 0 &&
        strcmp(layer->owner, stream->owner) == 0 && strcmp(layer->table_name, stream->table) == 0)
        return 0;
    return ZE_LAYER_NOT_IN_QUERY;
}

int32_t db_stream_set_query_layer(DB_STREAM *stream, int16_t filter_count, const VE_FILTER *filters,
                                  int32_t table_count, const char *const *tables)
{
    char buffer[DB_USER_NAME_SIZE];
    const char *user = S_user(stream, buffer);
    for (int16_t i = 0; i < filter_count; i++) {
        const VE_FILTER &filter = filters[i];
        if (filter.table_name[0] == '\0')
            continue;
        LAYER *layer = nullptr;
        int32_t rc = DB_layer_get_info_by_table_name(
            nullptr, stream, filter.table_name,
            filter.column_name[0] ? filter.column_name : nullptr, user, &layer);
        if (rc != 0)
            return rc;
        if (stream->layer == nullptr) {
            rc = db_stream_check_query_layer(stream, layer, table_count, tables);
            if (rc != 0)
                return rc;
            if (layer->eflags & LAYER_LOAD_ONLY)
                return ZE_LAYER_LOAD_ONLY;
            stream->layer = layer;
            S_take_layer_names(stream, layer);
            db_make_layer_f_table_name(stream, layer->layer_id, stream->feature_table,
                                       sizeof(stream->feature_table));
        } else if (stream->layer->layer_id != layer->layer_id) {
            return ZE_LAYER_NOT_IN_QUERY;
        }
    }
    if (filter_count > 0 && stream->layer == nullptr)
        return ZE_NO_QUERY_LAYER;
    return 0;
}

int32_t db_stream_build_query_layer_sql(DB_STREAM *stream, const VE_QUERYINFO *info,
                                        DB_MV_QUERY_INFO *mv, const LOGFILE *log)
{
    stream->shape_selected = 0;
    std::string text;
    int32_t rc = db_query_build_sql(stream, info, mv, log, &text);
    if (rc == 0)
        rc = DB_stream_prepare_sql(stream, text.c_str());
    if (rc == 0)
        rc = S_keep_construct(stream, info->construct);
    if (rc == 0 && mv != nullptr && mv->tables != nullptr && mv->table_count > 0 &&
        db_query_needs_mv_view(mv))
        rc = S_prepare_base_query(stream, info, mv);
    if (rc != 0) {
        db_free_stmt(&stream->stmt_main);
        S_free_parts(stream, true);
        stream->shape_selected = 0;
        return rc;
    }
    stream->query_built = 1;
    return 0;
}

int32_t DB_stream_init_query_layer(DB_STREAM *stream, const VE_QUERYINFO *info,
                                   DB_MV_QUERY_INFO *mv, const LOGFILE *log, LAYER *layer)
{
    if (stream == nullptr || info == nullptr || info->construct == nullptr)
        return ZE_NULL_POINTER;
    const VE_SQL_CONSTRUCT *construct = info->construct;
    if (info->num_columns < 1 || construct->num_tables < 1)
        return ZE_INVALID_ARGUMENT;
    if (info->columns == nullptr || construct->tables == nullptr || !S_valid_names(info))
        return ZE_NULL_POINTER;
    const char *const *tables = construct->tables;
    const int32_t table_count = construct->num_tables;

    DB_instance_clear_xerr();
    DB_stream_clear_xerr(stream);
    // A new set-up starts from nothing prepared; the search envelope set by
    // the host stays.
    db_free_stmt(&stream->stmt_main);
    db_free_stmt(&stream->stmt_extra);
    stream->second_statement = 0;
    stream->query_built = 0;
    S_free_parts(stream, true);
    stream->shape_selected = 0;
    stream->executed = 0;
    stream->mv_info = mv;
    db_query_fetch_reset(stream);

    bool load_layers = true, find_raster = true;
    if (table_count == 1) {
        REGISTRATION registration{};
        if (db_instance_registration_by_name(tables[0], &registration) == 0) {
            load_layers = (registration.object_flags & REG_LAYER) != 0;
            find_raster = (registration.object_flags & REG_RASTER_COLUMN) != 0;
        }
    }

    LAYER *aside = stream->layer;
    stream->layer = nullptr;
    int32_t rc;
    if (load_layers) {
        rc = db_layer_info_load_for_tables(nullptr, stream, info->num_columns, info->columns,
                                           table_count, tables);
        if (rc != 0 && rc != ZE_TABLE_NOT_FOUND)
            return rc;
    }
    if (aside != nullptr) {
        if (stream->layer == nullptr) {
            rc = db_stream_check_query_layer(stream, aside, table_count, tables);
            if (rc != 0)
                return rc;
            stream->layer = aside;
        } else if (stream->layer->layer_id != aside->layer_id) {
            return ZE_LAYER_NOT_IN_QUERY;
        }
    }

    if (log != nullptr) {
        char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], table[DB_NAME_TABLE_SIZE];
        char current[DB_USER_NAME_SIZE];
        rc = db_parse_table_name(nullptr, log->table_name, db_get_current_user(current), database,
                                 owner, table);
        if (rc != 0)
            return rc;
        bool listed = false;
        for (int32_t i = 0; i < table_count && !listed; i++)
            listed = db_table_name_matches(nullptr, tables[i], database, owner, table) != 0;
        if (!listed)
            return ZE_LAYER_NOT_IN_QUERY;
        if (stream->layer == nullptr && layer != nullptr)
            stream->layer = layer;
        if ((log->flags & LOGINFO_LAYER) &&
            (stream->layer == nullptr || stream->layer->layer_id != log->layer_id))
            return ZE_MULTIPLE_SPATIAL_COLUMNS;
    }

    if (stream->row_lock_mode & DB_ROW_LOCK_QUERY_BITS) {
        if (!stream->row_locking)
            return stream->row_lock_unsupported ? ZE_ROW_LOCKING_OFF : ZE_TABLE_NOT_REGISTERED;
    }
    if (stream->row_locking) {
        rc = DB_row_lock_init(stream);
        if (rc != 0)
            return rc;
    }

    if (stream->filter_count > 0) {
        rc = db_stream_set_query_layer(stream, stream->filter_count, stream->filters, table_count,
                                       tables);
        if (rc != 0)
            return rc;
    }

    if (stream->layer != nullptr) {
        if ((stream->layer->privileges & VE_PRIV_SELECT) == 0)
            return ZE_NO_PERMISSIONS;
        if (stream->layer->eflags & LAYER_LOAD_ONLY)
            return ZE_LAYER_LOAD_ONLY;
        S_take_layer_names(stream, stream->layer);
        if (!stream->feature_table[0])
            db_make_layer_f_table_name(stream, stream->layer->layer_id, stream->feature_table,
                                       sizeof(stream->feature_table));
    } else {
        stream->database[0] = stream->owner[0] = stream->table[0] = '\0';
        stream->spatial_column_name[0] = stream->feature_table[0] = '\0';
    }

    if (find_raster) {
        rc = db_stream_find_raster_column(stream, info->num_columns, info->columns, table_count,
                                          tables, VE_PRIV_SELECT);
        if (rc != 0)
            return rc;
    }

    if (info->by_clause != nullptr && info->by_clause[0]) {
        // Copied whole, however long.
        stream->order_by_text = strdup(info->by_clause);
        if (stream->order_by_text == nullptr)
            return ZE_OUT_OF_MEMORY;
    }
    stream->query_layer = 1;
    return db_stream_build_query_layer_sql(stream, info, mv, log);
}

int32_t DB_stream_set_spatial_constraints(DB_STREAM *stream, int16_t filter_count,
                                          const VE_FILTER *filters, ENVELOPE envelope,
                                          int32_t search_order)
{
    if (stream == nullptr || (filter_count > 0 && filters == nullptr))
        return ZE_NULL_POINTER;
    if (filter_count < 0)
        return ZE_INVALID_ARGUMENT;
    DB_instance_clear_xerr();
    DB_stream_clear_xerr(stream);
    int32_t rc = db_stream_set_query_layer(stream, filter_count, filters, stream->query_table_count,
                                           stream->query_tables);
    if (rc != 0)
        return rc;
    db_stream_free_filter_data(stream);
    stream->filter_count = filter_count;
    stream->filters = filters;
    stream->search_order = search_order;
    DB_STREAM_SYS_ENVELOPE &box = stream->sys_envelope;
    if (envelope.minx <= envelope.maxx && envelope.miny <= envelope.maxy) {
        box = {1, envelope.minx, envelope.miny, envelope.maxx, envelope.maxy};
    } else {
        box = {0, 0x7FFFFFFF, 0x7FFFFFFF, 0, 0};
    }
    for (int16_t i = 0; i < filter_count; i++)
        if (filters[i].search_method == SM_ENVP_BY_GRID)
            return ZE_NOT_SUPPORTED;
    return 0;
}

int32_t DB_stream_set_raster_constraint(DB_STREAM *stream, RASCONSTRAINT *constraint, int32_t first,
                                        int32_t second)
{
    if (stream == nullptr)
        return ZE_NULL_POINTER;
    if (stream->raster_constraint != constraint)
        ves_raster_constraint_free(stream->raster_constraint);
    stream->raster_constraint = constraint;
    stream->raster_constraint_words[0] = first;
    stream->raster_constraint_words[1] = second;
    return 0;
}

int32_t DB_reset_search_query(DB_STREAM *stream)
{
    if (stream == nullptr)
        return ZE_NULL_POINTER;
    stream->sys_envelope.valid = 0;
    return 0;
}

int32_t DB_layer_sp_stats(void)
{
    return ZE_NOT_SUPPORTED;
}

int Comp(const void *first, const void *second)
{
    const int32_t a = *static_cast<const int32_t *>(first);
    const int32_t b = *static_cast<const int32_t *>(second);
    return a < b ? -1 : (a > b ? 1 : 0);
}
