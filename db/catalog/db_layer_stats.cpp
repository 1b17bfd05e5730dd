// A layer's feature statistics, highest feature id and deletion of shapes by
// entity type (db_layer_stats.h). The statistics are gathered row by row
// from one SELECT of the row id, entity code, point count, envelope, area
// and length of every shape (db_layer_stats_build_query); the record is
// VE_LAYER_STATS (base/util/ve_stats.h).
#include "db/catalog/db_layer_stats_internal.h"

#include <float.h>
#include <sqlext.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_envelope_internal.h"
#include "db/catalog/db_layer_cache_internal.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_log_internal.h"
#include "db/core/db_connect.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/version/db_mv_view_internal.h"

// ---- the statistics SELECT ------------------------------------------------------

namespace
{

// The layer's qualified table name and spatial column, both checked for SQL.
int32_t S_check_layer(const LAYER *layer, std::string *qualified)
{
    char name[DB_QUALIFIED_NAME_SIZE];
    if (db_make_qualified_name_from_info(layer, name, sizeof(name)) != 0)
        return ZE_INVALID_ARGUMENT;
    int32_t rc = db_check_table_name(name);
    if (rc == 0)
        rc = db_check_name(layer->spatial_column, sizeof(layer->spatial_column));
    if (rc == 0 && qualified != nullptr)
        *qualified = name;
    return rc;
}

// The derived table of the log's ids and its join with the layer's rows.
int32_t S_log_parts(DB_INSTANCE *instance, const LOGFILE *log, const std::string &layer_table,
                    std::string *from, std::string *join)
{
    char user[DB_USER_NAME_SIZE] = "";
    DB_instance_get_current_user(instance, user);
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], bare[DB_NAME_TABLE_SIZE];
    char name[sizeof(log->name)];
    snprintf(name, sizeof(name), "%.*s", static_cast<int>(sizeof(name) - 1), log->name);
    int32_t rc = db_parse_table_name(instance, name, user, database, owner, bare);
    if (rc == 0)
        rc = db_check_name(owner, sizeof(owner));
    if (rc == 0 && database[0] != '\0')
        rc = db_check_name(database, sizeof(database));
    if (rc != 0)
        return rc;
    const std::string data = db_log_data_table_name(database, owner);
    if (data.empty())
        return ZE_INVALID_ARGUMENT;
    *from = db_sql_format(" (SELECT DISTINCT zel_row_id FROM %s WHERE %s.logfile_data_id = %d) "
                          "LF_, ",
                          data.c_str(), data.c_str(), log->data_id);
    if ((log->flags & LOGINFO_LAYER) != 0) {
        *join = db_sql_format(" LF_.zel_row_id = %s.VE_ROW_ID ", layer_table.c_str());
        return ZE_SUCCESS;
    }
    const REGISTRATION &r = log->registration;
    char registered_database[DB_NAME_DATABASE_SIZE];
    snprintf(registered_database, sizeof(registered_database), "%.*s",
             static_cast<int>(sizeof(r.database_name) - 1), r.database_name);
    if (registered_database[0] == '\0')
        DB_database_get_current(instance, registered_database);
    if (db_check_name(registered_database, sizeof(registered_database)) != 0 ||
        db_check_name(r.owner, sizeof(r.owner)) != 0 ||
        db_check_name(r.table_name, sizeof(r.table_name)) != 0 ||
        db_check_name(r.rowid_column, sizeof(r.rowid_column)) != 0)
        return ZE_INVALID_ARGUMENT;
    *join = db_sql_format(" ( LF_.zel_row_id = %s:%s.%s.%s)", registered_database, r.owner,
                          r.table_name, r.rowid_column);
    return ZE_SUCCESS;
}

} // namespace

int32_t db_layer_stats_build_query(DB_INSTANCE *instance, const LAYER *layer,
                                   const VE_SQL_CONSTRUCT *construct, DB_MV_QUERY_INFO *info,
                                   const LOGFILE *log, std::string *sql)
{
    if (layer == nullptr || sql == nullptr ||
        (construct != nullptr && construct->num_tables > 0 && construct->tables == nullptr))
        return ZE_NULL_POINTER;
    if (construct != nullptr && construct->num_tables < 0)
        return ZE_INVALID_ARGUMENT;
    int32_t rc = S_check_layer(layer, nullptr);
    if (rc != 0)
        return rc;
    char user[DB_USER_NAME_SIZE] = "";
    DB_instance_get_current_user(instance, user);
    const char *c = layer->spatial_column;
    std::string text =
        db_sql_format("SELECT ve_row_id, VE_ZelEntity(%s), ST_NumPoints(%s),   VE_Xmin(%s), "
                      "VE_Ymin(%s), VE_Xmax(%s), VE_Ymax(%s),   VE_Area(%s), VE_Length(%s) FROM ",
                      c, c, c, c, c, c, c, c);

    const int32_t tables = construct != nullptr ? construct->num_tables : 0;
    const bool views = info != nullptr && info->kind != DB_MV_NONE;
    auto versioned = [&](int32_t i) {
        return views && i < info->table_count && info->tables != nullptr &&
               info->tables[i].registration_id != 0;
    };
    const std::string layer_from = std::string(layer->owner) + "." + layer->table_name;
    // The layer's table as the construct wrote it names it in a layer log's join.
    std::string layer_written = layer_from;
    int32_t layer_position = -1;
    std::string from;
    for (int32_t i = 0; i < tables; i++) {
        const char *table = construct->tables[i];
        if (table == nullptr)
            return ZE_NULL_POINTER;
        if ((rc = db_check_table_name(table)) != 0)
            return rc;
        if (db_table_name_matches(instance, table, layer->database_name, layer->owner,
                                  layer->table_name)) {
            layer_written = table;
            if (versioned(i))
                layer_position = i;
            continue;
        }
        if (versioned(i)) {
            if ((rc = db_envelope_view_item(instance, info, table, user, i, from)) != 0)
                return rc;
            from += ",";
        } else {
            from += std::string(table) + ", ";
        }
    }
    std::string log_join;
    if (log != nullptr) {
        std::string log_from;
        if ((rc = S_log_parts(instance, log, layer_written, &log_from, &log_join)) != 0)
            return rc;
        text += log_from;
    }
    text += from;
    if (layer_position >= 0) {
        rc = db_envelope_view_item(instance, info, construct->tables[layer_position], layer->owner,
                                   layer_position, text);
        if (rc != 0)
            return rc;
        text += ", ";
    } else {
        text += layer_from + ", ";
    }
    text.resize(text.size() - 2);

    // " where " only when a condition follows it.
    const char *where = nullptr;
    if (construct != nullptr && db_sql_client_condition(construct->where, &where) != 0)
        return ZE_INVALID_ARGUMENT;
    if (where != nullptr || log != nullptr)
        text += " where ";
    if (where != nullptr)
        text += db_sql_format(" (%s)", where);
    if (log != nullptr) {
        if (where != nullptr)
            text += " and ";
        text += log_join;
    }
    *sql = std::move(text);
    return ZE_SUCCESS;
}

// ---- statistics -----------------------------------------------------------------------

// Fills the connection's record from a statement's diagnostic; gives -51.
static int32_t S_failure(SQLHSTMT *hstmt, int rc)
{
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, hstmt, rc);
    db_set_xerr_from_diag(diag);
    return ZE_DBMS_ERROR;
}

namespace
{

// One fetched row of the statistics SELECT.
struct StatsRow {
    SQLINTEGER row_id, entity, points;
    double xmin, ymin, xmax, ymax, area, length;
    SQLLEN row_id_ind, entity_ind, points_ind;
    SQLLEN xmin_ind, ymin_ind, xmax_ind, ymax_ind, area_ind, length_ind;
};

// Running sums and extremes.
struct Totals {
    double points = 0, area = 0, length = 0;
};

bool S_known(SQLLEN indicator)
{
    return indicator != SQL_NULL_DATA;
}

// Counts the row under its entity code; false for a code of no kind.
bool S_count_entity(VE_LAYER_STATS *s, int32_t entity)
{
    switch (entity) {
    case DB_ENTITY_NIL:
        s->nils++;
        return true;
    case DB_ENTITY_POINT:
        s->points++;
        return true;
    case DB_ENTITY_POINT + DB_ENTITY_MULTIPART:
        s->multi_points++;
        return true;
    case DB_ENTITY_LINE:
        s->lines++;
        return true;
    case DB_ENTITY_LINE + DB_ENTITY_MULTIPART:
        s->multi_lines++;
        return true;
    case DB_ENTITY_SIMPLE_LINE:
        s->simple_lines++;
        return true;
    case DB_ENTITY_SIMPLE_LINE + DB_ENTITY_MULTIPART:
        s->multi_simple_lines++;
        return true;
    case DB_ENTITY_AREA:
        s->areas++;
        return true;
    case DB_ENTITY_AREA + DB_ENTITY_MULTIPART:
        s->multi_areas++;
        return true;
    default:
        return false;
    }
}

void S_add_row(VE_LAYER_STATS *s, Totals *t, const StatsRow &r)
{
    s->min_fid = std::min<int32_t>(s->min_fid, r.row_id);
    s->max_fid = std::max<int32_t>(s->max_fid, r.row_id);
    s->total_features++;
    if (!S_known(r.entity_ind) || !S_count_entity(s, r.entity))
        return;
    // A NULL measure (an empty shape) takes no part in the extremes.
    if (S_known(r.xmin_ind))
        s->envelope.minx = std::min(s->envelope.minx, r.xmin);
    if (S_known(r.ymin_ind))
        s->envelope.miny = std::min(s->envelope.miny, r.ymin);
    if (S_known(r.xmax_ind))
        s->envelope.maxx = std::max(s->envelope.maxx, r.xmax);
    if (S_known(r.ymax_ind))
        s->envelope.maxy = std::max(s->envelope.maxy, r.ymax);
    if (S_known(r.points_ind)) {
        s->min_points = std::min<int32_t>(s->min_points, r.points);
        s->max_points = std::max<int32_t>(s->max_points, r.points);
        t->points += r.points;
    }
    const int32_t kind = r.entity & ~DB_ENTITY_MULTIPART;
    const bool area = kind == DB_ENTITY_AREA;
    if (area && S_known(r.area_ind)) {
        s->min_area = std::min(s->min_area, r.area);
        s->max_area = std::max(s->max_area, r.area);
        t->area += r.area;
    }
    if ((area || kind == DB_ENTITY_LINE || kind == DB_ENTITY_SIMPLE_LINE) &&
        S_known(r.length_ind)) {
        s->min_length = std::min(s->min_length, r.length);
        s->max_length = std::max(s->max_length, r.length);
        t->length += r.length;
    }
}

// Every minimum starts at the largest value and every maximum at the
// lowest, so that negative coordinates come out right.
void S_start(VE_LAYER_STATS *s, int32_t layer_id)
{
    memset(s, 0, sizeof(*s));
    s->layer_id = layer_id;
    s->min_fid = INT32_MAX;
    s->max_fid = INT32_MIN;
    s->min_points = INT32_MAX;
    s->max_points = INT32_MIN;
    s->envelope.minx = s->envelope.miny = DBL_MAX;
    s->envelope.maxx = s->envelope.maxy = -DBL_MAX;
    s->min_area = s->min_length = DBL_MAX;
    s->max_area = s->max_length = -DBL_MAX;
}

// The end of the rows: no feature leaves every extreme 0; a kind of value
// no feature had leaves its pair 0.
void S_finish(VE_LAYER_STATS *s, const Totals &t)
{
    if (s->total_features == 0) {
        S_start(s, s->layer_id);
        s->min_fid = s->max_fid = s->min_points = s->max_points = 0;
        s->envelope = VE_ENVELOPE{};
        s->min_area = s->max_area = s->min_length = s->max_length = 0;
        return;
    }
    auto unset_int = [](int32_t *low, int32_t *high) {
        if (*low == INT32_MAX) {
            *low = 0;
            *high = 0;
        }
    };
    auto unset = [](double *low, double *high) {
        if (*low == DBL_MAX) {
            *low = 0;
            *high = 0;
        }
    };
    unset_int(&s->min_points, &s->max_points);
    unset(&s->envelope.minx, &s->envelope.maxx);
    unset(&s->envelope.miny, &s->envelope.maxy);
    unset(&s->min_area, &s->max_area);
    unset(&s->min_length, &s->max_length);
    s->avg_points = t.points / s->total_features;
    s->avg_area = t.area / s->total_features;
    s->avg_length = t.length / s->total_features;
}

} // namespace

static int32_t S_get_stats(DB_INSTANCE *instance, int32_t layer_id,
                           const VE_SQL_CONSTRUCT *construct, DB_MV_QUERY_INFO *info,
                           const LOGFILE *log, VE_LAYER_STATS *stats)
{
    LAYER *layer = nullptr;
    int32_t rc = DB_layer_get_info(instance, nullptr, layer_id, &layer);
    if (rc != 0)
        return rc;
    std::string sql;
    rc = db_layer_stats_build_query(instance, layer, construct, info, log, &sql);
    if (rc != 0)
        return rc;
    db_stmt_guard stmt;
    StatsRow row{};
    rc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
    if (rc != 0)
        return S_failure(&stmt.h, rc);
    struct {
        SQLSMALLINT type;
        void *value;
        SQLLEN *indicator;
    } columns[] = {
        {SQL_C_LONG, &row.row_id, &row.row_id_ind},   {SQL_C_LONG, &row.entity, &row.entity_ind},
        {SQL_C_LONG, &row.points, &row.points_ind},   {SQL_C_DOUBLE, &row.xmin, &row.xmin_ind},
        {SQL_C_DOUBLE, &row.ymin, &row.ymin_ind},     {SQL_C_DOUBLE, &row.xmax, &row.xmax_ind},
        {SQL_C_DOUBLE, &row.ymax, &row.ymax_ind},     {SQL_C_DOUBLE, &row.area, &row.area_ind},
        {SQL_C_DOUBLE, &row.length, &row.length_ind},
    };
    SQLUSMALLINT position = 1;
    for (const auto &column : columns) {
        rc = SQLBindCol(stmt.h, position++, column.type, column.value, 0, column.indicator);
        if (!SQL_SUCCEEDED(rc))
            return S_failure(&stmt.h, rc);
    }
    rc = SQLExecute(stmt.h);
    if (!SQL_SUCCEEDED(rc))
        return S_failure(&stmt.h, rc);

    VE_LAYER_STATS s;
    S_start(&s, layer_id);
    Totals totals;
    for (;;) {
        rc = SQLFetch(stmt.h);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc)) {
            fprintf(stderr, "DB_get_layer_stats() Fetch Error(%d)\n", rc);
            return S_failure(&stmt.h, rc);
        }
        if (S_known(row.row_id_ind))
            S_add_row(&s, &totals, row);
    }
    S_finish(&s, totals);
    *stats = s;
    return ZE_SUCCESS;
}

int32_t DB_layer_get_stats(DB_INSTANCE *instance, int32_t layer_id, VE_LAYER_STATS *stats)
{
    DB_instance_clear_xerr();
    if (stats == nullptr)
        return ZE_INVALID_ARGUMENT;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_get_stats(instance, layer_id, nullptr, nullptr, nullptr, stats);
    });
}

int32_t DB_layer_get_stats_by_logfile(DB_INSTANCE *instance, int32_t layer_id,
                                      const VE_SQL_CONSTRUCT *construct, DB_MV_QUERY_INFO *info,
                                      const LOGFILE *log, VE_LAYER_STATS *stats)
{
    DB_instance_clear_xerr();
    if (stats == nullptr)
        return ZE_INVALID_ARGUMENT;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_get_stats(instance, layer_id, construct, info, log, stats);
    });
}

// ---- highest feature id -------------------------------------------------------------------

static int32_t S_max_fid(DB_INSTANCE *instance, int32_t layer_id, int32_t *max_fid)
{
    LAYER *layer = nullptr;
    int32_t rc = DB_layer_get_info(instance, nullptr, layer_id, &layer);
    if (rc != 0)
        return rc;
    std::string table;
    if ((rc = S_check_layer(layer, &table)) != 0)
        return rc;
    const std::string sql = db_sql_format("SELECT MAX(%s) FROM %s", "VE_ROW_ID", table.c_str());
    db_stmt_guard stmt;
    SQLINTEGER value = 0;
    SQLLEN indicator = 0;
    SQLULEN rows = 0;
    rc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
    if (rc == 0)
        rc = SQLBindCol(stmt.h, 1, SQL_C_LONG, &value, sizeof(value), &indicator);
    if (SQL_SUCCEEDED(rc))
        rc = db_execute_and_fetch(&stmt.h, 1, 1, &rows);
    if (rc == DB_NO_MORE_DATA ||
        ((rc == 0 || rc == SQL_SUCCESS_WITH_INFO) && indicator == SQL_NULL_DATA)) {
        *max_fid = 0;
        return ZE_SUCCESS;
    }
    if (rc != 0 && rc != SQL_SUCCESS_WITH_INFO) {
        fprintf(stderr, "DB_get_layer_max_fid(%d) Exec/Fet Error(%d)\n", layer_id, rc);
        DB_EXT_ERROR xerr;
        DB_instance_get_xerr(&xerr);
        if (xerr.code == 0)
            return S_failure(&stmt.h, rc);
        return ZE_DBMS_ERROR;
    }
    *max_fid = value;
    return ZE_SUCCESS;
}

int32_t DB_layer_get_max_fid(DB_INSTANCE *instance, int32_t layer_id, int32_t *max_fid)
{
    DB_instance_clear_xerr();
    if (max_fid == nullptr)
        return ZE_INVALID_ARGUMENT;
    *max_fid = 0;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_max_fid(instance, layer_id, max_fid); });
}

// ---- deletion by entity type ----------------------------------------------------------------

static int32_t S_delete_by_entity(DB_INSTANCE *instance, int32_t layer_id, int32_t mask)
{
    LAYER *layer = nullptr;
    int32_t rc = DB_layer_get_info(instance, nullptr, layer_id, &layer);
    if (rc != 0)
        return rc;
    std::string table;
    if ((rc = S_check_layer(layer, &table)) != 0)
        return rc;
    const char *function = "zelentity";
    const char *column = layer->spatial_column;
    std::string condition;
    if ((mask & LAYER_MULTIPART) != 0)
        condition = db_sql_format("%s(%s) > %d", function, column, DB_ENTITY_MULTIPART);
    const struct {
        int32_t bit;
        int32_t entity;
    } kinds[] = {{LAYER_NIL, DB_ENTITY_NIL},
                 {LAYER_POINT, DB_ENTITY_POINT},
                 {LAYER_LINE, DB_ENTITY_LINE},
                 {LAYER_SIMPLE_LINE, DB_ENTITY_SIMPLE_LINE},
                 {LAYER_AREA, DB_ENTITY_AREA}};
    for (const auto &k : kinds) {
        if ((mask & k.bit) == 0)
            continue;
        if (!condition.empty())
            condition += " OR ";
        condition =
            db_sql_format("%s %s(%s) = %d OR %s(%s) = %d", condition.c_str(), function, column,
                          k.entity, function, column, k.entity + DB_ENTITY_MULTIPART);
    }
    // A mask of no entity type selects nothing: no statement without a condition.
    if (condition.empty())
        return ZE_SUCCESS;
    const std::string sql = db_sql_format("UPDATE %s SET %s = NULL   WHERE %s", table.c_str(),
                                          column, condition.c_str());
    db_stmt_guard stmt;
    rc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
    if (rc == 0)
        rc = SQLExecute(stmt.h);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
        return S_failure(&stmt.h, rc);
    rc = db_commit();
    if (!SQL_SUCCEEDED(rc)) {
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, nullptr, rc);
        db_set_xerr_from_diag(diag);
        return ZE_DBMS_ERROR;
    }
    return ZE_SUCCESS;
}

int32_t DB_layer_delete_feat_by_entity(DB_INSTANCE *instance, int32_t layer_id, int32_t mask)
{
    DB_instance_clear_xerr();
    if (mask == 0)
        return ZE_SUCCESS;
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_delete_by_entity(instance, layer_id, mask); });
}

// ---- views and the remaining entries ---------------------------------------------------------

int32_t DB_layer_drop_views(DB_INSTANCE *instance, int32_t layer_id)
{
    db_layer_cache_remove(instance, layer_id);
    return ZE_SUCCESS;
}

int32_t DB_layer_create_views(DB_INSTANCE *, ...)
{
    DB_instance_clear_xerr();
    return ZE_SUCCESS;
}

int32_t DB_layer_delete_sqltype_metadata(DB_INSTANCE *, ...)
{
    return ZE_SUCCESS;
}

int32_t DB_layer_verify_spatial_index_parameters(DB_INSTANCE *, ...)
{
    return ZE_SUCCESS;
}

int32_t DB_layer_discover_spatial_tables(DB_INSTANCE *, ...)
{
    return ZE_SUCCESS;
}

int32_t DB_layer_register_spatial_table(DB_INSTANCE *, ...)
{
    return ZE_SUCCESS;
}
