// Layer extent widening, the migration of older LAYERS rows, view layers
// and their base tables (db_layer_extent.h, db_layer_extent_internal.h).
#include "db/catalog/db_layer_extent_internal.h"

#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "base/util/ve_debug.h"
#include "base/util/ve_name_check.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_envelope.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_layer_info_internal.h"
#include "db/core/db_connect.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_xerr_internal.h"

namespace
{

// The reference text of a migrated row is read at this size.
constexpr size_t S_MIGRATE_SRTEXT_SIZE = 2048;

bool S_valid(double minx, double miny, double maxx, double maxy)
{
    return minx <= maxx && miny <= maxy;
}

// Binds one input parameter of the statement. A text is sent with its
// length, or as NULL when empty and empty_is_null is set.
SQLRETURN S_bind_text(SQLHSTMT h, SQLUSMALLINT n, const char *text, size_t size, bool empty_is_null,
                      SQLLEN *length)
{
    *length = static_cast<SQLLEN>(strnlen(text, size));
    if (*length == 0 && empty_is_null)
        *length = SQL_NULL_DATA;
    return SQLBindParameter(h, n, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, size, 0,
                            const_cast<char *>(text), 0, length);
}

SQLRETURN S_bind_int(SQLHSTMT h, SQLUSMALLINT n, const void *value)
{
    return SQLBindParameter(h, n, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                            const_cast<void *>(value), 0, nullptr);
}

SQLRETURN S_bind_double(SQLHSTMT h, SQLUSMALLINT n, const double *value)
{
    return SQLBindParameter(h, n, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0,
                            const_cast<double *>(value), 0, nullptr);
}

// Records a failed step's diagnostic in the connection's record and frees
// the statement. -51.
int32_t S_record(db_stmt_guard &stmt, int rc)
{
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, &stmt.h, rc);
    db_free_stmt(&stmt.h);
    db_set_xerr_from_diag(diag);
    return ZE_DBMS_ERROR;
}

// The work row of the migration: a layer with a reference and its text.
struct S_MIGRATE_ROW {
    LAYER layer;
    COORDREF coordref;
    char srtext[S_MIGRATE_SRTEXT_SIZE];
    SQLLEN description, layer_config, optimal_array_size, stats_date, shared;
};

int32_t S_migrate(DB_INSTANCE *instance, const char *old_table)
{
    if (old_table == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = db_check_table_name(old_table);
    if (rc != 0)
        return rc;
    std::string source = old_table;
    {
        db_stmt_guard probe;
        int prc =
            db_prepare_cursor(nullptr, &probe.h, ("select layer_id from " + source).c_str(), 0);
        if (prc != 0) {
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, &probe.h, prc);
            if (strcmp(diag.sqlstate, "S0002") != 0)
                return ZE_FAILURE;
            source = "zel:zel.layers";
        }
    }
    char geometry_columns[DB_QUALIFIED_NAME_SIZE], references[DB_QUALIFIED_NAME_SIZE];
    db_make_geometry_columns_name(geometry_columns, sizeof(geometry_columns));
    db_make_spatial_references_name(instance, references, sizeof(references));
    char database[DB_NAME_DATABASE_SIZE] = "";
    DB_database_get_current(instance, database);
    const std::string sql =
        " SELECT layer_id,l.description, minx,miny,maxx,maxy,eflags, "
        "l.f_table_catalog,l.f_table_schema,l.f_table_name,l.f_geometry_column, "
        "cdate,layer_config,optimal_array_size,stats_date,minimum_id, "
        "falsex,falsey,xyunits,falsez,zunits,falsem,munits,srtext,s.srid FROM " +
        source + " l, " + geometry_columns + " g, " + references +
        " s WHERE l.f_table_catalog = g.f_table_catalog and       l.f_table_schema = "
        "g.f_table_schema  and       l.f_table_name = g.f_table_name and       "
        "l.f_geometry_column = g.f_geometry_column and       l.f_table_catalog = '" +
        db_quote_literal(database) + "' and g.srid = s.srid";

    db_stmt_guard stmt;
    int crc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
    if (crc != 0)
        return S_record(stmt, crc);
    S_MIGRATE_ROW row;
    memset(&row, 0, sizeof(row));
    LAYER &l = row.layer;
    COORDREF &cr = row.coordref;
    l.coordref = &cr;
    cr.srtext = row.srtext;
    struct Bind {
        SQLSMALLINT type;
        SQLPOINTER buffer;
        SQLLEN size;
        SQLLEN *length;
    };
    const Bind binds[] = {
        {SQL_C_SLONG, &l.layer_id, 0, &row.shared},
        {SQL_C_CHAR, l.description, sizeof(l.description), &row.description},
        {SQL_C_DOUBLE, &l.minx, 0, &row.shared},
        {SQL_C_DOUBLE, &l.miny, 0, &row.shared},
        {SQL_C_DOUBLE, &l.maxx, 0, &row.shared},
        {SQL_C_DOUBLE, &l.maxy, 0, &row.shared},
        {SQL_C_SLONG, &l.eflags, 0, &row.shared},
        {SQL_C_CHAR, l.database_name, sizeof(l.database_name), &row.shared},
        {SQL_C_CHAR, l.owner, sizeof(l.owner), &row.shared},
        {SQL_C_CHAR, l.table_name, sizeof(l.table_name), &row.shared},
        {SQL_C_CHAR, l.spatial_column, sizeof(l.spatial_column), &row.shared},
        {SQL_C_SLONG, &l.cdate, 0, &row.shared},
        {SQL_C_CHAR, l.layer_config, sizeof(l.layer_config), &row.layer_config},
        {SQL_C_SLONG, &l.optimal_array_size, 0, &row.optimal_array_size},
        {SQL_C_SLONG, &l.stats_date, 0, &row.stats_date},
        {SQL_C_SLONG, &l.minimum_id, 0, &row.shared},
        {SQL_C_DOUBLE, &cr.falsex, 0, &row.shared},
        {SQL_C_DOUBLE, &cr.falsey, 0, &row.shared},
        {SQL_C_DOUBLE, &cr.xyunits, 0, &row.shared},
        {SQL_C_DOUBLE, &cr.falsez, 0, &row.shared},
        {SQL_C_DOUBLE, &cr.zunits, 0, &row.shared},
        {SQL_C_DOUBLE, &cr.falsem, 0, &row.shared},
        {SQL_C_DOUBLE, &cr.munits, 0, &row.shared},
        {SQL_C_CHAR, row.srtext, sizeof(row.srtext), &row.shared},
        {SQL_C_SLONG, &cr.srid, 0, &row.shared},
    };
    SQLUSMALLINT column = 1;
    for (const Bind &b : binds) {
        crc = SQLBindCol(stmt.h, column++, b.type, b.buffer, b.size, b.length);
        if (!SQL_SUCCEEDED(crc))
            return S_record(stmt, crc);
    }
    crc = SQLExecute(stmt.h);
    if (!SQL_SUCCEEDED(crc) && crc != SQL_NO_DATA)
        return S_record(stmt, crc);
    for (;;) {
        crc = crc == SQL_NO_DATA ? SQL_NO_DATA : SQLFetch(stmt.h);
        if (crc == SQL_NO_DATA)
            return 0;
        if (!SQL_SUCCEEDED(crc)) {
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, &stmt.h, crc);
            VES_print_debug(stderr, "DB_layers_table_migrate ODBC Execute/Fetch error (%s).\n",
                            diag.sqlstate);
            db_set_xerr_from_diag(diag);
            return ZE_DBMS_ERROR;
        }
        if (row.layer_config == SQL_NULL_DATA)
            l.layer_config[0] = '\0';
        if (row.description == SQL_NULL_DATA)
            l.description[0] = '\0';
        if (row.optimal_array_size == SQL_NULL_DATA)
            l.optimal_array_size = 0;
        if (row.stats_date == SQL_NULL_DATA)
            l.stats_date = 0;
        l.minimum_id = 1;
        l.layer_mask = 0;
        l.base_layer_id = 0;
        l.grid_size[0] = l.grid_size[1] = l.grid_size[2] = 0.0;
        VES_RemoveSpaces(row.srtext);
        l.eflags |= LAYER_SPATIAL;
        l.eflags &= ~static_cast<uint32_t>(LAYER_WKB);

        // Widen by the table's actual envelope; a failure leaves the row's own.
        VE_SQL_CONSTRUCT construct{0, nullptr, nullptr};
        DB_MV_QUERY_INFO none;
        memset(&none, 0, sizeof(none));
        VE_ENVELOPE e{DB_ENVELOPE_EMPTY_MIN, DB_ENVELOPE_EMPTY_MIN, DB_ENVELOPE_EMPTY_MAX,
                      DB_ENVELOPE_EMPTY_MAX};
        double z_low = 0, z_high = 0;
        DB_layer_calculate_envelope(instance, &l, &construct, &none, 0, &e, &z_low, &z_high);
        if (S_valid(e.minx, e.miny, e.maxx, e.maxy)) {
            if (!S_valid(l.minx, l.miny, l.maxx, l.maxy)) {
                l.minx = e.minx;
                l.miny = e.miny;
                l.maxx = e.maxx;
                l.maxy = e.maxy;
            } else {
                l.minx = std::min(l.minx, e.minx);
                l.miny = std::min(l.miny, e.miny);
                l.maxx = std::max(l.maxx, e.maxx);
                l.maxy = std::max(l.maxy, e.maxy);
            }
        }
        if ((rc = S_insert_layers_def_only(instance, &l)) != 0)
            return rc;
    }
}

int32_t S_view_ids(int32_t base_layer_id, int32_t *count, int32_t **ids)
{
    char layers[DB_QUALIFIED_NAME_SIZE];
    db_make_layers_table_name(nullptr, layers, sizeof(layers));
    const std::string sql = std::string("SELECT layer_id from ") + layers +
                            " WHERE base_layer_id = " + std::to_string(base_layer_id);
    db_stmt_guard stmt;
    int rc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
    if (rc != 0)
        return S_record(stmt, rc);
    int32_t id = 0;
    SQLLEN length = 0;
    rc = SQLBindCol(stmt.h, 1, SQL_C_SLONG, &id, 0, &length);
    if (!SQL_SUCCEEDED(rc))
        return S_record(stmt, rc);
    rc = SQLExecute(stmt.h);
    int32_t *list = nullptr;
    int32_t used = 0, room = 0;
    auto fail = [&](int32_t code) {
        free(list);
        return code;
    };
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
        return S_record(stmt, rc);
    for (;;) {
        rc = rc == SQL_NO_DATA ? SQL_NO_DATA : SQLFetch(stmt.h);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc)) {
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, &stmt.h, rc);
            VES_print_debug(stderr, "DB_get_view_layer_ids ODBCExecute/Fetch error (%s).\n",
                            diag.sqlstate);
            db_set_xerr_from_diag(diag);
            return fail(ZE_DBMS_ERROR);
        }
        if (used == room) {
            void *grown = realloc(list, sizeof(int32_t) * static_cast<size_t>(room + 10));
            if (grown == nullptr)
                return fail(ZE_OUT_OF_MEMORY);
            list = static_cast<int32_t *>(grown);
            room += 10;
        }
        list[used++] = id;
    }
    if (list != nullptr)
        *ids = list;
    *count = used;
    return 0;
}

} // namespace

ZEL_API int32_t DB_layer_update_extent(DB_STREAM *stream, LAYER *layer)
{
    if (layer == nullptr || stream == nullptr || stream->layer == nullptr ||
        stream->layer->layer_id == 0)
        return ZE_FAILURE;
    LAYER *cached = nullptr;
    if (DB_layer_get_info(nullptr, stream, stream->layer->layer_id, &cached) != 0 ||
        cached == nullptr)
        return ZE_FAILURE;
    *layer = *cached;
    const double sminx = stream->written_minx, sminy = stream->written_miny;
    const double smaxx = stream->written_maxx, smaxy = stream->written_maxy;
    // A stream that wrote no rows has nothing to add, whatever the layer's
    // extent: an empty envelope stored as the extent would hide every row.
    if (sminx > smaxx || sminy > smaxy)
        return ZE_FAILURE;
    if (S_valid(layer->minx, layer->miny, layer->maxx, layer->maxy)) {
        if (layer->minx < sminx && layer->miny < sminy && layer->maxx > smaxx &&
            layer->maxy > smaxy)
            return ZE_FAILURE;
        layer->minx = std::min(layer->minx, sminx);
        layer->miny = std::min(layer->miny, sminy);
        layer->maxx = std::max(layer->maxx, smaxx);
        layer->maxy = std::max(layer->maxy, smaxy);
        return 0;
    }
    layer->minx = sminx;
    layer->miny = sminy;
    layer->maxx = smaxx;
    layer->maxy = smaxy;
    return 0;
}

int db_layers_insert_row(DB_INSTANCE *instance, const LAYER *layer, const int32_t *srid,
                         CLI_DIAG_RECORD *diag)
{
    char layers[DB_QUALIFIED_NAME_SIZE];
    db_make_layers_table_name(instance, layers, sizeof(layers));
    const std::string sql =
        std::string("INSERT INTO ") + layers +
        " (layer_id,description,       database_name,owner,table_name,spatial_column,       "
        "eflags,layer_mask,minx,miny,maxx,maxy,       "
        "cdate,layer_config,optimal_array_size,stats_date,minimum_id,       "
        "srid,base_layer_id)        VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
    db_stmt_guard stmt;
    int rc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
    const LAYER &l = *layer;
    SQLLEN lengths[6];
    SQLUSMALLINT n = 1;
    auto bind_all = [&]() -> SQLRETURN {
        const SQLRETURN binds[] = {
            S_bind_int(stmt.h, n++, &l.layer_id),
            S_bind_text(stmt.h, n++, l.description, sizeof(l.description), true, &lengths[0]),
            S_bind_text(stmt.h, n++, l.database_name, sizeof(l.database_name), false, &lengths[1]),
            S_bind_text(stmt.h, n++, l.owner, sizeof(l.owner), false, &lengths[2]),
            S_bind_text(stmt.h, n++, l.table_name, sizeof(l.table_name), false, &lengths[3]),
            S_bind_text(stmt.h, n++, l.spatial_column, sizeof(l.spatial_column), false,
                        &lengths[4]),
            S_bind_int(stmt.h, n++, &l.eflags),
            S_bind_int(stmt.h, n++, &l.layer_mask),
            S_bind_double(stmt.h, n++, &l.minx),
            S_bind_double(stmt.h, n++, &l.miny),
            S_bind_double(stmt.h, n++, &l.maxx),
            S_bind_double(stmt.h, n++, &l.maxy),
            S_bind_int(stmt.h, n++, &l.cdate),
            S_bind_text(stmt.h, n++, l.layer_config, sizeof(l.layer_config), true, &lengths[5]),
            S_bind_int(stmt.h, n++, &l.optimal_array_size),
            S_bind_int(stmt.h, n++, &l.stats_date),
            S_bind_int(stmt.h, n++, &l.minimum_id),
            S_bind_int(stmt.h, n++, srid),
            S_bind_int(stmt.h, n++, &l.base_layer_id),
        };
        for (SQLRETURN b : binds)
            if (!SQL_SUCCEEDED(b))
                return b;
        return SQL_SUCCESS;
    };
    if (rc == 0)
        rc = bind_all();
    if (SQL_SUCCEEDED(rc))
        rc = SQLExecute(stmt.h);
    if (SQL_SUCCEEDED(rc))
        return 0;
    db_get_diag_record(diag, &stmt.h, rc);
    return rc;
}

int32_t S_insert_layers_def_only(DB_INSTANCE *instance, const LAYER *layer)
{
    DB_instance_clear_xerr();
    if (layer == nullptr || layer->coordref == nullptr)
        return ZE_NULL_POINTER;
    char table[DB_NAME_TABLE_SIZE];
    snprintf(table, sizeof(table), "%.*s", static_cast<int>(sizeof(layer->table_name)),
             layer->table_name);
    VES_RemoveSpaces(table);
    if (table[0] == '\0')
        return ZE_EMPTY_TABLE_NAME;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        CLI_DIAG_RECORD diag;
        const int rc = db_layers_insert_row(instance, layer, &layer->coordref->srid, &diag);
        if (rc == 0)
            return 0;
        db_rollback();
        const bool duplicate =
            strcmp(diag.sqlstate, "23000") == 0 || strcmp(diag.sqlstate, "23505") == 0;
        if (!duplicate)
            fprintf(stderr, "S_insert_layers_def_only() Execute error (%d).\n", rc);
        db_set_xerr_from_diag(diag);
        if (duplicate) {
            db_global_xerr.code = ZE_LAYER_EXISTS;
            return ZE_LAYER_EXISTS;
        }
        return ZE_DBMS_ERROR;
    });
}

ZEL_API int32_t DB_layers_table_migrate(DB_INSTANCE *instance, const char *old_table)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_migrate(instance, old_table); });
}

ZEL_API int32_t DB_view_layer_get_ids(DB_INSTANCE *, int32_t base_layer_id, int32_t *count,
                                      int32_t **ids)
{
    if (count == nullptr || ids == nullptr)
        return ZE_NULL_POINTER;
    if (*count != 0)
        return ZE_INVALID_ARGUMENT;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_view_ids(base_layer_id, count, ids); });
}

int32_t db_get_base_table_name(const LAYER *layer, char *schema, size_t schema_size, char *table,
                               size_t table_size, char *column, size_t column_size)
{
    if (layer == nullptr || schema == nullptr || table == nullptr || column == nullptr ||
        schema_size == 0 || table_size == 0 || column_size == 0)
        return ZE_NULL_POINTER;
    schema[0] = table[0] = column[0] = '\0';
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        char upper_table[DB_NAME_TABLE_SIZE], upper_column[DB_NAME_COLUMN_SIZE];
        snprintf(upper_table, sizeof(upper_table), "%.*s",
                 static_cast<int>(sizeof(layer->table_name)), layer->table_name);
        snprintf(upper_column, sizeof(upper_column), "%.*s",
                 static_cast<int>(sizeof(layer->spatial_column)), layer->spatial_column);
        db_identifier_to_upper(nullptr, upper_table, sizeof(upper_table));
        db_identifier_to_upper(nullptr, upper_column, sizeof(upper_column));
        char geometry_columns[DB_QUALIFIED_NAME_SIZE];
        db_make_geometry_columns_name(geometry_columns, sizeof(geometry_columns));
        const std::string sql = std::string("select b_table_schema, b_table_name, "
                                            "b_geometry_column from ") +
                                geometry_columns + " where    f_table_schema = '" +
                                db_quote_literal(layer->owner) + "' and f_table_name = '" +
                                db_quote_literal(upper_table) + "' and f_geometry_column = '" +
                                db_quote_literal(upper_column) + "'";
        db_stmt_guard stmt;
        SQLLEN lengths[3] = {};
        int rc = db_open_cursor(nullptr, &stmt.h);
        if (rc != 0)
            return ZE_DBMS_ERROR;
        rc = SQLExecDirect(stmt.h, reinterpret_cast<SQLCHAR *>(const_cast<char *>(sql.c_str())),
                           SQL_NTS);
        if (SQL_SUCCEEDED(rc))
            rc = SQLBindCol(stmt.h, 1, SQL_C_CHAR, schema, static_cast<SQLLEN>(schema_size),
                            &lengths[0]);
        if (SQL_SUCCEEDED(rc))
            rc = SQLBindCol(stmt.h, 2, SQL_C_CHAR, table, static_cast<SQLLEN>(table_size),
                            &lengths[1]);
        if (SQL_SUCCEEDED(rc))
            rc = SQLBindCol(stmt.h, 3, SQL_C_CHAR, column, static_cast<SQLLEN>(column_size),
                            &lengths[2]);
        if (SQL_SUCCEEDED(rc))
            rc = SQLFetch(stmt.h);
        if (rc == SQL_NO_DATA) {
            schema[0] = table[0] = column[0] = '\0';
            return ZE_LAYER_NOT_FOUND;
        }
        if (!SQL_SUCCEEDED(rc)) {
            schema[0] = table[0] = column[0] = '\0';
            fprintf(stderr, "db_get_base_table_name() error (%d).\n", rc);
            return S_record(stmt, rc);
        }
        // A NULL or cut column still leaves a terminated output.
        for (int i = 0; i < 3; i++)
            if (lengths[i] == SQL_NULL_DATA)
                (i == 0 ? schema : i == 1 ? table : column)[0] = '\0';
        schema[schema_size - 1] = table[table_size - 1] = column[column_size - 1] = '\0';
        return 0;
    });
}
