// A layer's catalogue rows (db_layer_def.h, db_layer_def_internal.h).
#include "db/catalog/db_layer_def_internal.h"

#include <sqlext.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <string>

#include "base/util/ve_debug.h"
#include "base/util/ve_name_check.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_layer_cache_internal.h"
#include "db/catalog/db_layer_extent_internal.h"
#include "db/catalog/db_layer_info_internal.h"
#include "db/catalog/db_spatial_ref_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_xerr.h"
#include "db/core/db_xerr_internal.h"

namespace
{

// A text field holds a terminated name (one that fits its column).
bool S_fits(const char *field, size_t size)
{
    return strnlen(field, size) < size;
}

bool S_blank_table(const LAYER *layer)
{
    char table[DB_NAME_TABLE_SIZE];
    snprintf(table, sizeof(table), "%.*s", static_cast<int>(sizeof(layer->table_name) - 1),
             layer->table_name);
    VES_RemoveSpaces(table);
    return table[0] == '\0';
}

// Binds an INTEGER parameter sent as NULL when null is set.
int32_t S_bind_optional_int(CLI_STATEMENT *cli, int32_t *value, bool null, SQLLEN *indicator)
{
    *indicator = null ? SQL_NULL_DATA : 0;
    return db_cli_bind_by_pos(cli, SQL_C_SLONG, SQL_INTEGER, 0, value, 0, indicator);
}

int32_t S_bind_double(CLI_STATEMENT *cli, double *value)
{
    return db_cli_bind_by_pos(cli, SQL_C_DOUBLE, SQL_DOUBLE, 0, value, 0, nullptr);
}

// Runs the prepared binds, then the routine. A failed bind: -51 with the
// record's error in the connection's record.
template <typename Binds>
int32_t S_call(const char *format, const char *routine, Binds binds, bool rollback_on_cli = false)
{
    const std::string name = db_catalog_admin_name(routine);
    const std::string call = db_sql_format(format, name.c_str());
    DB_CATALOG_CLI s;
    int32_t rc = db_catalog_cli_prepare(&s.cli, call.c_str());
    if (rc == 0) {
        rc = binds(&s.cli);
        if (rc != 0) {
            db_cli_save_error(&s.cli);
            rc = ZE_DBMS_ERROR;
        }
    }
    const bool cli_failed = rc != 0;
    if (rc == 0)
        rc = db_catalog_call(&s.cli, name.c_str());
    // A failed CLI step leaves its SQLSTATE; a routine's status leaves none.
    if (rollback_on_cli && rc == ZE_DBMS_ERROR && (cli_failed || db_global_xerr.text[0] != '\0'))
        db_catalog_rollback();
    return rc;
}

int32_t S_insert(LAYER *layer)
{
    if (!S_fits(layer->database_name, sizeof(layer->database_name)) ||
        !S_fits(layer->owner, sizeof(layer->owner)) ||
        !S_fits(layer->table_name, sizeof(layer->table_name)) ||
        !S_fits(layer->spatial_column, sizeof(layer->spatial_column)) ||
        !S_fits(layer->description, sizeof(layer->description)) ||
        !S_fits(layer->layer_config, sizeof(layer->layer_config)))
        return ZE_INVALID_ARGUMENT;
    layer->cdate = static_cast<int32_t>(time(nullptr));
    int32_t type = 0;
    db_layer_mask_to_geometry_type(layer->eflags, &type);
    int32_t srid = 0;
    int32_t rc = db_sp_find_srid(layer->coordref, &srid);
    if (rc != 0)
        return rc;
    db_identifier_to_lower(nullptr, layer->database_name, sizeof(layer->database_name), 0);
    db_identifier_to_lower(nullptr, layer->table_name, sizeof(layer->table_name), 0);
    db_identifier_to_lower(nullptr, layer->spatial_column, sizeof(layer->spatial_column), 0);
    LAYER &l = *layer;
    int32_t stats_date = 0;
    SQLLEN texts[6], array_size = 0, stats = 0;
    rc = S_call(
        "{call %s (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)}", "insert_layer",
        [&](CLI_STATEMENT *cli) {
            int32_t r = db_catalog_bind_int(cli, &l.layer_id);
            auto step = [&](int32_t next) {
                if (r == 0)
                    r = next;
            };
            step(db_catalog_bind_text(cli, l.description, sizeof(l.description), true, &texts[0]));
            step(db_catalog_bind_text(cli, l.database_name, sizeof(l.database_name), false,
                                      &texts[1]));
            step(db_catalog_bind_text(cli, l.owner, sizeof(l.owner), false, &texts[2]));
            step(db_catalog_bind_text(cli, l.table_name, sizeof(l.table_name), false, &texts[3]));
            step(db_catalog_bind_text(cli, l.spatial_column, sizeof(l.spatial_column), false,
                                      &texts[4]));
            step(db_catalog_bind_int(cli, reinterpret_cast<int32_t *>(&l.eflags)));
            step(db_catalog_bind_int(cli, reinterpret_cast<int32_t *>(&l.layer_mask)));
            step(S_bind_double(cli, &l.minx));
            step(S_bind_double(cli, &l.miny));
            step(S_bind_double(cli, &l.maxx));
            step(S_bind_double(cli, &l.maxy));
            step(db_catalog_bind_int(cli, &l.cdate));
            step(
                db_catalog_bind_text(cli, l.layer_config, sizeof(l.layer_config), true, &texts[5]));
            step(S_bind_optional_int(cli, &l.optimal_array_size, l.optimal_array_size == 0,
                                     &array_size));
            step(S_bind_optional_int(cli, &stats_date, true, &stats));
            step(db_catalog_bind_int(cli, &l.minimum_id));
            step(db_catalog_bind_int(cli, &srid));
            step(db_catalog_bind_int(cli, &l.base_layer_id));
            step(db_catalog_bind_int(cli, &type));
            return r;
        });
    if (rc == ZE_LAYER_EXISTS) {
        fprintf(stderr, "Max layer number exceeded or Layer already exist.\n");
        fprintf(stderr, "If layer not exist, increase layer parameter in kelvard.defs\n");
        return ZE_LAYER_LIMIT;
    }
    return rc;
}

// The number of layers that share the layer's srid, or the failure.
int32_t S_srid_users(int32_t layer_id, int32_t *count)
{
    char layers[DB_QUALIFIED_NAME_SIZE];
    db_make_layers_table_name(nullptr, layers, sizeof(layers));
    const std::string sql = db_sql_format(
        "SELECT COUNT(DISTINCT a.layer_id) FROM %s a WHERE a.srid = (SELECT srid FROM %s "
        "WHERE layer_id = %d)",
        layers, layers, layer_id);
    db_stmt_guard stmt;
    SQLLEN length = 0;
    int rc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
    if (rc == 0)
        rc = SQLExecute(stmt.h);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindCol(stmt.h, 1, SQL_C_SLONG, count, 0, &length);
    if (SQL_SUCCEEDED(rc))
        rc = SQLFetch(stmt.h);
    if (rc == SQL_NO_DATA || (SQL_SUCCEEDED(rc) && length == SQL_NULL_DATA)) {
        *count = 0;
        return 0;
    }
    if (SQL_SUCCEEDED(rc))
        return 0;
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, &stmt.h, rc);
    VES_print_debug(stderr, "DB_sp_layers_def_update ODBC oparse error.\n");
    db_set_xerr_from_diag(diag);
    db_catalog_rollback();
    return ZE_DBMS_ERROR;
}

int32_t S_update(LAYER *layer)
{
    if (!S_fits(layer->description, sizeof(layer->description)) ||
        !S_fits(layer->layer_config, sizeof(layer->layer_config)))
        return ZE_INVALID_ARGUMENT;
    LAYER &l = *layer;
    int32_t stats_date = 0;
    SQLLEN texts[2], array_size = 0, stats = 0;
    int32_t rc =
        S_call("{ call %s (?,?,?,?,?,?,?,?,?,?,?,?)}", "update_layer", [&](CLI_STATEMENT *cli) {
            int32_t r = db_catalog_bind_int(cli, &l.layer_id);
            auto step = [&](int32_t next) {
                if (r == 0)
                    r = next;
            };
            step(db_catalog_bind_text(cli, l.description, sizeof(l.description), true, &texts[0]));
            step(db_catalog_bind_int(cli, reinterpret_cast<int32_t *>(&l.eflags)));
            step(db_catalog_bind_int(cli, reinterpret_cast<int32_t *>(&l.layer_mask)));
            step(S_bind_double(cli, &l.minx));
            step(S_bind_double(cli, &l.miny));
            step(S_bind_double(cli, &l.maxx));
            step(S_bind_double(cli, &l.maxy));
            step(
                db_catalog_bind_text(cli, l.layer_config, sizeof(l.layer_config), true, &texts[1]));
            step(S_bind_optional_int(cli, &l.optimal_array_size, l.optimal_array_size == 0,
                                     &array_size));
            step(S_bind_optional_int(cli, &stats_date, true, &stats));
            step(db_catalog_bind_int(cli, &l.minimum_id));
            return r;
        });
    if (rc != 0)
        return rc;
    int32_t count = 0;
    if ((rc = S_srid_users(l.layer_id, &count)) != 0)
        return rc;
    if (count == 0) {
        VES_print_debug(stderr, "DB_sp_layers_def_update error.\n");
        db_xerr_clear(&db_global_xerr);
        db_global_xerr.code = ZE_DBMS_ERROR;
        snprintf(db_global_xerr.message, sizeof(db_global_xerr.message),
                 "layer %d has no spatial reference", l.layer_id);
        db_catalog_rollback();
        return ZE_DBMS_ERROR;
    }
    if (count == 1) {
        // The srid is the layer's own: its row takes the new text.
        const char *srtext = l.coordref->srtext != nullptr ? l.coordref->srtext : "";
        SQLLEN length = 0;
        return S_call("{ call %s (?,?)}", "update_spatial_references", [&](CLI_STATEMENT *cli) {
            int32_t r = db_catalog_bind_int(cli, &l.layer_id);
            if (r == 0)
                r = db_catalog_bind_text(cli, srtext, strlen(srtext) + 1, false, &length);
            return r;
        });
    }
    // Shared with other layers: never change the shared row.
    int32_t srid = 0;
    if ((rc = db_sp_find_srid(l.coordref, &srid)) != 0)
        return rc;
    return S_call("{ call %s (?,?)}", "update_layer_srid", [&](CLI_STATEMENT *cli) {
        int32_t r = db_catalog_bind_int(cli, &l.layer_id);
        if (r == 0)
            r = db_catalog_bind_int(cli, &srid);
        return r;
    });
}

// Rolls back after a failure; the failing step's record is kept.
void S_rollback_trans()
{
    const DB_EXT_ERROR failure = db_global_xerr;
    if (!SQL_SUCCEEDED(db_rollback())) {
        fprintf(stderr, "S_rollback_trans Rollback Error.\n");
        db_global_xerr = failure;
        if (db_global_xerr.code == 0)
            db_global_xerr.code = ZE_DBMS_ERROR;
        return;
    }
    db_global_xerr = failure;
}

int32_t S_plain_failure(int rc, const CLI_DIAG_RECORD &diag)
{
    const bool duplicate =
        strcmp(diag.sqlstate, "23000") == 0 || strcmp(diag.sqlstate, "23505") == 0;
    if (!duplicate)
        fprintf(stderr, "DB_insert_layers_def() Execute error (%d).\n", rc);
    db_set_xerr_from_diag(diag);
    S_rollback_trans();
    if (duplicate) {
        db_global_xerr.code = ZE_LAYER_EXISTS;
        return ZE_LAYER_EXISTS;
    }
    return ZE_DBMS_ERROR;
}

int32_t S_insert_plain(DB_INSTANCE *instance, LAYER *layer)
{
    int32_t type = 0;
    db_layer_mask_to_geometry_type(layer->eflags, &type);
    int32_t srid = 0;
    int32_t rc = db_find_srid(layer->coordref, &srid);
    if (rc != 0)
        return rc;
    char geometry_columns[DB_QUALIFIED_NAME_SIZE];
    db_make_geometry_columns_name(geometry_columns, sizeof(geometry_columns));
    const std::string sql = std::string("INSERT INTO ") + geometry_columns +
                            " (f_table_catalog,f_table_schema,          f_table_name, "
                            "f_geometry_column, geometry_type, srid)          VALUES "
                            "(?,?,?,?,?,?)";
    CLI_DIAG_RECORD diag;
    {
        db_stmt_guard stmt;
        SQLLEN lengths[4];
        const LAYER &l = *layer;
        int crc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
        struct Text {
            const char *field;
            size_t size;
        } texts[] = {{l.database_name, sizeof(l.database_name)},
                     {l.owner, sizeof(l.owner)},
                     {l.table_name, sizeof(l.table_name)},
                     {l.spatial_column, sizeof(l.spatial_column)}};
        SQLUSMALLINT n = 1;
        for (const Text &t : texts) {
            if (crc != 0)
                break;
            lengths[n - 1] = static_cast<SQLLEN>(strnlen(t.field, t.size));
            crc = SQLBindParameter(stmt.h, n, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, t.size, 0,
                                   const_cast<char *>(t.field), 0, &lengths[n - 1]);
            crc = SQL_SUCCEEDED(crc) ? 0 : crc;
            n++;
        }
        if (crc == 0)
            crc = SQLBindParameter(stmt.h, 5, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                                   &type, 0, nullptr);
        if (SQL_SUCCEEDED(crc))
            crc = SQLBindParameter(stmt.h, 6, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                                   &srid, 0, nullptr);
        if (SQL_SUCCEEDED(crc))
            crc = SQLExecute(stmt.h);
        if (!SQL_SUCCEEDED(crc)) {
            db_get_diag_record(&diag, &stmt.h, crc);
            db_free_stmt(&stmt.h);
            return S_plain_failure(crc, diag);
        }
    }
    const int crc = db_layers_insert_row(instance, layer, &srid, &diag);
    if (crc != 0)
        return S_plain_failure(crc, diag);
    if (db_catalog_commit() != 0) {
        fprintf(stderr, "db_release_layer_requests Commit Error.\n");
        return ZE_DBMS_ERROR;
    }
    return 0;
}

bool S_same_reference(const COORDREF *a, const COORDREF *b)
{
    if (a == nullptr || b == nullptr)
        return a == b;
    const char *ta = a->srtext != nullptr ? a->srtext : "";
    const char *tb = b->srtext != nullptr ? b->srtext : "";
    return a->falsex == b->falsex && a->falsey == b->falsey && a->xyunits == b->xyunits &&
           a->falsez == b->falsez && a->zunits == b->zunits && a->falsem == b->falsem &&
           a->munits == b->munits && strcmp(ta, tb) == 0;
}

int32_t S_check_view(const LAYER *view)
{
    int32_t rc = db_is_layer_a_view(view->owner, view->table_name);
    if (rc <= 0)
        return rc == 0 ? 0 : rc;
    char schema[DB_NAME_OWNER_SIZE], table[DB_NAME_TABLE_SIZE], column[DB_NAME_COLUMN_SIZE];
    rc = db_get_base_table_name(view, schema, sizeof(schema), table, sizeof(table), column,
                                sizeof(column));
    if (rc == ZE_LAYER_NOT_FOUND)
        return ZE_BASE_TABLE_NOT_FOUND;
    if (rc != 0)
        return rc;
    // The catalogue keeps table and column names folded to lower case.
    db_identifier_to_lower(nullptr, table, sizeof(table), 0);
    db_identifier_to_lower(nullptr, column, sizeof(column), 0);
    LAYER base;
    COORDREF coordref;
    char srtext[LAYER_SRTEXT_SIZE] = "";
    memset(&base, 0, sizeof(base));
    memset(&coordref, 0, sizeof(coordref));
    coordref.srtext = srtext;
    base.coordref = &coordref;
    const std::string name = std::string(schema) + "." + table;
    rc = db_layer_get_info_by_name_no_cache(name.c_str(), column, schema, &base);
    if (rc == ZE_LAYER_NOT_FOUND)
        return 0;
    if (rc != 0)
        return rc;
    for (int i = 0; i < 3; i++)
        if (view->grid_size[i] != base.grid_size[i])
            return ZE_INVALID_GRID_SIZE;
    const uint32_t same =
        LAYER_3D | LAYER_MEASURES | LAYER_LOAD_ONLY | LAYER_ANNOTATION | LAYER_CAD;
    if ((view->eflags & same) != (base.eflags & same) || (view->eflags & ~base.eflags) != 0)
        return ZE_VIEW_LAYER_FLAGS;
    if (!S_same_reference(view->coordref, base.coordref))
        return ZE_COORDREF_MISMATCH;
    return 0;
}

} // namespace

void db_layer_mask_to_geometry_type(uint32_t mask, int32_t *type)
{
    if (type == nullptr)
        return;
    const bool multi = (mask & LAYER_MULTIPART) != 0;
    int kinds = 0;
    int32_t t = DB_GEOMETRY_MIXED;
    if (mask & LAYER_POINT) {
        kinds = 1;
        t = multi ? DB_GEOMETRY_MULTIPOINT : DB_GEOMETRY_POINT;
    }
    if (mask & (LAYER_LINE | LAYER_SIMPLE_LINE)) {
        kinds = (mask & LAYER_POINT) ? 2 : 1;
        t = multi ? DB_GEOMETRY_MULTILINESTRING : DB_GEOMETRY_LINESTRING;
    }
    if (mask & LAYER_AREA) {
        kinds++;
        t = multi ? DB_GEOMETRY_MULTIPOLYGON : DB_GEOMETRY_POLYGON;
    }
    *type = kinds == 1 ? t : DB_GEOMETRY_MIXED;
}

ZEL_API int32_t DB_sp_layers_def_insert(DB_INSTANCE *, LAYER *layer)
{
    DB_instance_clear_xerr();
    if (layer == nullptr || layer->coordref == nullptr)
        return ZE_NULL_POINTER;
    if (S_blank_table(layer))
        return ZE_EMPTY_TABLE_NAME;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_insert(layer); });
}

ZEL_API int32_t DB_sp_layers_def_delete(DB_INSTANCE *instance, int32_t layer_id)
{
    int32_t rc = db_layer_cache_remove(instance, layer_id);
    if (rc != 0)
        return rc;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        int32_t id = layer_id;
        int32_t r = S_call("{ call %s (?) }", "delete_layer",
                           [&](CLI_STATEMENT *cli) { return db_catalog_bind_int(cli, &id); });
        if (r == 0)
            r = db_catalog_commit();
        return r;
    });
}

ZEL_API int32_t DB_sp_layers_def_update(DB_INSTANCE *, LAYER *layer)
{
    if (layer == nullptr || layer->coordref == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_update(layer); });
}

ZEL_API int32_t DB_sp_layers_def_update_extent(DB_INSTANCE *, int32_t layer_id,
                                               const VE_ENVELOPE *envelope)
{
    if (envelope == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        int32_t id = layer_id;
        VE_ENVELOPE e = *envelope;
        return S_call(
            "{ call %s (?,?,?,?,?)}", "update_layer_extent",
            [&](CLI_STATEMENT *cli) {
                int32_t r = db_catalog_bind_int(cli, &id);
                for (double *v : {&e.minx, &e.miny, &e.maxx, &e.maxy})
                    if (r == 0)
                        r = S_bind_double(cli, v);
                return r;
            },
            true);
    });
}

ZEL_API int32_t DB_sp_layers_def_change_table_name(DB_INSTANCE *, int32_t layer_id,
                                                   const char *table_name)
{
    if (table_name == nullptr)
        return ZE_NULL_POINTER;
    char table[DB_NAME_TABLE_SIZE];
    if (!S_fits(table_name, sizeof(table)))
        return ZE_INVALID_ARGUMENT;
    snprintf(table, sizeof(table), "%s", table_name);
    // Stored folded, as the insert stores it: a mixed-case name would not be
    // found again.
    db_identifier_to_lower(nullptr, table, sizeof(table), 0);
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        int32_t id = layer_id;
        SQLLEN length = 0;
        return S_call("{ call %s (?,?)}", "change_layer_table_name", [&](CLI_STATEMENT *cli) {
            int32_t r = db_catalog_bind_text(cli, table, sizeof(table), false, &length);
            if (r == 0)
                r = db_catalog_bind_int(cli, &id);
            return r;
        });
    });
}

ZEL_API int32_t DB_insert_layers_def(DB_INSTANCE *instance, LAYER *layer)
{
    DB_instance_clear_xerr();
    if (layer == nullptr || layer->coordref == nullptr)
        return ZE_NULL_POINTER;
    if (S_blank_table(layer))
        return ZE_EMPTY_TABLE_NAME;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_insert_plain(instance, layer); });
}

ZEL_API int32_t DB_layers_def_delete(DB_INSTANCE *, int32_t)
{
    fprintf(stderr, "Obsolete function DB_layers_def_delete() called!\n");
    return ZE_FAILURE;
}

ZEL_API int32_t DB_update_layers_def(DB_INSTANCE *, LAYER *)
{
    fprintf(stderr, "Obsolete function DB_update_layers_def () called!\n");
    return ZE_FAILURE;
}

ZEL_API int32_t DB_layers_def_change_table_name(DB_INSTANCE *, int32_t, const char *)
{
    fprintf(stderr, "Obsolete function DB_layers_def_change_table_name() called!\n");
    return ZE_FAILURE;
}

int32_t db_is_layer_a_view(const char *owner, const char *table)
{
    if (owner == nullptr || table == nullptr)
        return ZE_NULL_POINTER;
    char lower[DB_NAME_TABLE_SIZE];
    if (!S_fits(owner, DB_NAME_OWNER_SIZE) || !S_fits(table, sizeof(lower)))
        return ZE_INVALID_ARGUMENT;
    snprintf(lower, sizeof(lower), "%s", table);
    db_identifier_to_lower(nullptr, lower, sizeof(lower), 0);
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        const std::string sql = "SELECT tabtype FROM informix.systables WHERE owner = '" +
                                db_quote_literal(owner) + "' AND tabname = '" +
                                db_quote_literal(lower) + "'";
        db_stmt_guard stmt;
        char type[2] = "";
        SQLLEN length = 0;
        int rc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
        if (rc == 0)
            rc = SQLExecute(stmt.h);
        if (SQL_SUCCEEDED(rc))
            rc = SQLBindCol(stmt.h, 1, SQL_C_CHAR, type, sizeof(type), &length);
        if (SQL_SUCCEEDED(rc))
            rc = SQLFetch(stmt.h);
        if (rc == SQL_NO_DATA)
            return ZE_TABLE_NOT_FOUND;
        if (!SQL_SUCCEEDED(rc)) {
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, &stmt.h, rc);
            db_free_stmt(&stmt.h);
            fprintf(stderr, "db_is_layer_a_view() error (%d).\n", rc);
            db_set_xerr_from_diag(diag);
            db_catalog_rollback();
            return ZE_DBMS_ERROR;
        }
        return (type[0] == 'V' || type[0] == 'v') ? 1 : 0;
    });
}

int32_t db_layer_check_view_layer(const LAYER *view)
{
    if (view == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_check_view(view); });
}
