// Extents of a layer's rows computed by the DBMS (db_envelope.h,
// db_envelope_internal.h).
#include "db/catalog/db_envelope_internal.h"

#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_layer_info.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_xerr_internal.h"
#include "db/version/db_mv_view_internal.h"

namespace
{

// A heap copy of the text for a caller that frees it with free(); null when
// memory runs out.
char *S_heap_copy(const std::string &text)
{
    char *out = static_cast<char *>(malloc(text.size() + 1));
    if (out != nullptr)
        memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

// The registration's table of a log, "owner.table", checked for SQL.
int32_t S_log_table(const LOGFILE *log, std::string &out)
{
    const REGISTRATION &r = log->registration;
    if (db_check_name(r.owner, sizeof(r.owner)) != 0 ||
        db_check_name(r.table_name, sizeof(r.table_name)) != 0)
        return ZE_INVALID_ARGUMENT;
    out = std::string(r.owner) + "." + r.table_name;
    return 0;
}

int32_t S_check_layer(const LAYER *layer)
{
    char qualified[DB_QUALIFIED_NAME_SIZE];
    if (db_make_qualified_name_from_info(layer, qualified, sizeof(qualified)) != 0)
        return ZE_INVALID_ARGUMENT;
    int32_t rc = db_check_table_name(qualified);
    if (rc == 0)
        rc = db_check_name(layer->spatial_column, sizeof(layer->spatial_column));
    return rc;
}

int32_t S_build(DB_INSTANCE *instance, const LAYER *layer, const VE_SQL_CONSTRUCT *construct,
                DB_MV_QUERY_INFO *info, const LOGFILE *log, int32_t *where_flag, std::string &sql)
{
    if (layer == nullptr || construct == nullptr || info == nullptr || where_flag == nullptr ||
        (construct->num_tables > 0 && construct->tables == nullptr))
        return ZE_NULL_POINTER;
    if (construct->num_tables < 0)
        return ZE_INVALID_ARGUMENT;
    int32_t rc = S_check_layer(layer);
    if (rc != 0)
        return rc;
    char user[DB_USER_NAME_SIZE] = "";
    DB_instance_get_current_user(instance, user);
    const char *where = nullptr;
    if (db_sql_client_condition(construct->where, &where) != 0)
        return ZE_INVALID_ARGUMENT;

    std::string from;
    std::string log_join;
    if (log != nullptr) {
        char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], table[DB_NAME_TABLE_SIZE];
        char data[DB_QUALIFIED_NAME_SIZE];
        rc = db_parse_table_name(instance, log->name, user, database, owner, table);
        if (rc == 0)
            rc = db_check_name(owner, sizeof(owner));
        if (rc == 0 && db_make_logfile_data_table_name(nullptr, owner, data, sizeof(data)) != 0)
            rc = ZE_INVALID_ARGUMENT;
        if (rc != 0)
            return rc;
        from = std::string(" TABLE (MULTISET(SELECT DISTINCT zel_row_id FROM ") + data + " WHERE " +
               data + ".logfile_data_id = " + std::to_string(log->data_id) + ")) LF_, ";
        std::string registered;
        if ((rc = S_log_table(log, registered)) != 0)
            return rc;
        if ((log->flags & LOGINFO_LAYER) != 0) {
            log_join = " LF_.zel_row_id = " + registered + ".VE_ROW_ID ";
        } else {
            const REGISTRATION &r = log->registration;
            if (db_check_name(r.rowid_column, sizeof(r.rowid_column)) != 0)
                return ZE_INVALID_ARGUMENT;
            log_join = " ( LF_.zel_row_id = " + registered + "." + r.rowid_column + " )";
        }
    }

    const bool views = info->kind != DB_MV_NONE;
    auto versioned = [&](int32_t i) {
        return views && i < info->table_count && info->tables != nullptr &&
               info->tables[i].registration_id != 0;
    };
    int32_t layer_position = -1;
    for (int32_t i = 0; i < construct->num_tables; i++) {
        const char *table = construct->tables[i];
        if (table == nullptr)
            return ZE_NULL_POINTER;
        if ((rc = db_check_table_name(table)) != 0)
            return rc;
        if (db_table_name_matches(instance, table, layer->database_name, layer->owner,
                                  layer->table_name)) {
            // The layer's table closes the list, once.
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
    if (layer_position >= 0) {
        rc = db_envelope_view_item(instance, info, construct->tables[layer_position], layer->owner,
                                   layer_position, from);
        if (rc != 0)
            return rc;
        from += ", ";
    } else {
        from +=
            std::string(layer->database_name) + ":" + layer->owner + "." + layer->table_name + ", ";
    }
    from.resize(from.size() - 2);

    const std::string c = std::string(layer->table_name) + "." + layer->spatial_column;
    sql = "SELECT min(VE_Xmin(" + c + ")),min(VE_Ymin(" + c + ")),max(VE_Xmax(" + c +
          ")),max(VE_Ymax(" + c + ")),min(VE_Zmin(" + c + ")),max(VE_Zmax(" + c + ")) FROM " +
          from + " ";
    *where_flag = 0;
    if (where != nullptr || log != nullptr) {
        sql += " where ";
        *where_flag = 1;
    }
    if (where != nullptr)
        sql += std::string(" (") + where + ")";
    if (log != nullptr) {
        if (where != nullptr)
            sql += " and ";
        sql += log_join;
    }
    return 0;
}

void S_preset(VE_ENVELOPE *envelope, double *z_low, double *z_high)
{
    envelope->minx = envelope->miny = DB_ENVELOPE_EMPTY_MIN;
    envelope->maxx = envelope->maxy = DB_ENVELOPE_EMPTY_MAX;
    *z_low = *z_high = 0.0;
}

// Takes a failed step's diagnostic, frees the statement and maps it.
int32_t S_fail(db_stmt_guard &stmt, int rc, const char *sql, const char *name)
{
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, &stmt.h, rc);
    db_free_stmt(&stmt.h);
    if (strcmp(diag.sqlstate, "S0002") == 0)
        return ZE_LAYER_NOT_FOUND;
    if (strcmp(diag.sqlstate, "S0022") == 0 || strcmp(diag.sqlstate, "37000") == 0) {
        fprintf(stderr, "%s() SQL Error(%s).\n", name, sql);
        return ZE_SYNTAX_ERROR;
    }
    db_set_xerr_from_diag(diag);
    fprintf(stderr, "%s() Error(%d).\n", name, rc);
    return ZE_DBMS_ERROR;
}

// The six-aggregate run shared by the plain and the row form.
int32_t S_exec(const char *sql, VE_ENVELOPE *envelope, double *z_low, double *z_high,
               int32_t *parameter, const char *name)
{
    if (sql == nullptr || envelope == nullptr || z_low == nullptr || z_high == nullptr)
        return ZE_NULL_POINTER;
    db_stmt_guard stmt;
    int rc = db_prepare_cursor(nullptr, &stmt.h, sql, 0);
    if (rc != 0)
        return S_fail(stmt, rc, sql, name);
    if (parameter != nullptr) {
        rc = SQLBindParameter(stmt.h, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, parameter,
                              0, nullptr);
        if (!SQL_SUCCEEDED(rc))
            return S_fail(stmt, rc, sql, name);
    }
    rc = SQLExecute(stmt.h);
    if (rc == SQL_NO_DATA)
        return 0;
    if (!SQL_SUCCEEDED(rc))
        return S_fail(stmt, rc, sql, name);
    double values[6] = {};
    SQLLEN lengths[6] = {};
    for (SQLUSMALLINT i = 0; i < 6; i++) {
        rc = SQLBindCol(stmt.h, static_cast<SQLUSMALLINT>(i + 1), SQL_C_DOUBLE, &values[i],
                        sizeof(values[i]), &lengths[i]);
        if (!SQL_SUCCEEDED(rc))
            return S_fail(stmt, rc, sql, name);
    }
    rc = SQLFetch(stmt.h);
    if (rc == SQL_NO_DATA)
        return 0;
    if (!SQL_SUCCEEDED(rc))
        return S_fail(stmt, rc, sql, name);
    double *targets[6] = {&envelope->minx, &envelope->miny, &envelope->maxx,
                          &envelope->maxy, z_low,           z_high};
    for (int i = 0; i < 6; i++)
        if (lengths[i] != SQL_NULL_DATA)
            *targets[i] = values[i];
    return 0;
}

// Builds and runs the restricted SELECT.
int32_t S_restricted(DB_INSTANCE *instance, const LAYER *layer, const VE_SQL_CONSTRUCT *construct,
                     DB_MV_QUERY_INFO *info, const LOGFILE *log, VE_ENVELOPE *envelope,
                     double *z_low, double *z_high, int32_t *parameter)
{
    if (envelope == nullptr || z_low == nullptr || z_high == nullptr)
        return ZE_NULL_POINTER;
    std::string sql;
    int32_t where_flag = 0;
    const int32_t rc = S_build(instance, layer, construct, info, log, &where_flag, sql);
    if (rc != 0)
        return rc;
    S_preset(envelope, z_low, z_high);
    if (parameter != nullptr)
        return S_exec(sql.c_str(), envelope, z_low, z_high, parameter, "DB_exec_get_row_envelope");
    return S_exec(sql.c_str(), envelope, z_low, z_high, nullptr, "DB_exec_get_envelope");
}

} // namespace

// The FROM item of a versioned table: its view text, under the table's bare
// name so that the SELECT's "table.column" reads from it.
int32_t db_envelope_view_item(DB_INSTANCE *instance, DB_MV_QUERY_INFO *info, const char *table,
                              const char *default_owner, int32_t position, std::string &out)
{
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], bare[DB_NAME_TABLE_SIZE];
    int32_t rc = db_parse_table_name(instance, table, default_owner, database, owner, bare);
    if (rc != 0)
        return rc;
    DB_MV_TABLE_INFO &entry = info->tables[position];
    if (strlen(bare) >= sizeof(entry.alias))
        return ZE_INVALID_ARGUMENT;
    snprintf(entry.alias, sizeof(entry.alias), "%s", bare);
    char *text = nullptr;
    rc = db_mv_view_build(instance, info, table, default_owner, position, 0, &text, 0, 1);
    if (rc == 0 && text != nullptr)
        out += text;
    free(text);
    return rc;
}

int32_t db_envelope_select_build(DB_INSTANCE *instance, const LAYER *layer,
                                 const VE_SQL_CONSTRUCT *construct, DB_MV_QUERY_INFO *info,
                                 const LOGFILE *log, int32_t *where_flag, char **sql)
{
    if (sql == nullptr)
        return ZE_NULL_POINTER;
    *sql = nullptr;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        std::string text;
        const int32_t rc = S_build(instance, layer, construct, info, log, where_flag, text);
        if (rc != 0)
            return rc;
        *sql = S_heap_copy(text);
        return *sql != nullptr ? 0 : ZE_OUT_OF_MEMORY;
    });
}

ZEL_API int32_t DB_exec_get_envelope(const char *sql, VE_ENVELOPE *envelope, double *z_low,
                                     double *z_high)
{
    return S_exec(sql, envelope, z_low, z_high, nullptr, "DB_exec_get_envelope");
}

ZEL_API int32_t DB_exec_get_row_envelope(const char *sql, VE_ENVELOPE *envelope, double *z_low,
                                         double *z_high, int32_t *parameter)
{
    if (parameter == nullptr)
        return ZE_NULL_POINTER;
    return S_exec(sql, envelope, z_low, z_high, parameter, "DB_exec_get_row_envelope");
}

ZEL_API int32_t DB_spix_get_envelope(const char *sql, VE_ENVELOPE *envelope)
{
    if (sql == nullptr || envelope == nullptr)
        return ZE_NULL_POINTER;
    db_stmt_guard stmt;
    int rc = db_prepare_cursor(nullptr, &stmt.h, sql, 0);
    if (rc == 0)
        rc = SQLExecute(stmt.h);
    double values[4] = {0.0, 0.0, 0.0, 0.0};
    SQLLEN lengths[4] = {};
    for (SQLUSMALLINT i = 0; SQL_SUCCEEDED(rc) && i < 4; i++)
        rc = SQLBindCol(stmt.h, static_cast<SQLUSMALLINT>(i + 1), SQL_C_DOUBLE, &values[i],
                        sizeof(values[i]), &lengths[i]);
    if (SQL_SUCCEEDED(rc))
        rc = SQLFetch(stmt.h);
    if (rc == SQL_NO_DATA) {
        fprintf(stderr, "DB_exec_get_envelope() Error fetching. (%d)\n", rc);
        return 0;
    }
    if (!SQL_SUCCEEDED(rc)) {
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, &stmt.h, rc);
        if (strcmp(diag.sqlstate, "S0022") == 0 || strcmp(diag.sqlstate, "37000") == 0)
            return ZE_SYNTAX_ERROR;
        if (strcmp(diag.sqlstate, "S0002") == 0)
            return ZE_LAYER_NOT_FOUND;
        fprintf(stderr, "DB_spix_get_envelope()  Error(%d).\n", rc);
        db_set_xerr_from_diag(diag);
        return ZE_DBMS_ERROR;
    }
    double *targets[4] = {&envelope->minx, &envelope->miny, &envelope->maxx, &envelope->maxy};
    for (int i = 0; i < 4; i++)
        *targets[i] = lengths[i] != SQL_NULL_DATA ? values[i] : 0.0;
    return 0;
}

int32_t db_layer_envelope_whole(int32_t layer_id, VE_ENVELOPE *envelope, double *z_low,
                                double *z_high)
{
    if (envelope == nullptr || z_low == nullptr || z_high == nullptr)
        return ZE_NULL_POINTER;
    *z_low = *z_high = 0.0;
    LAYER *layer = nullptr;
    int32_t rc = DB_layer_get_info(nullptr, nullptr, layer_id, &layer);
    if (rc != 0)
        return rc;
    if ((rc = S_check_layer(layer)) != 0)
        return rc;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        char qualified[DB_QUALIFIED_NAME_SIZE];
        db_make_qualified_name_from_info(layer, qualified, sizeof(qualified));
        const std::string c = layer->spatial_column;
        const std::string sql = "SELECT min(VE_Xmin(" + c + ")),min(VE_Ymin(" + c +
                                ")),max(VE_Xmax(" + c + ")),max(VE_Ymax(" + c + ")) FROM " +
                                qualified + " ";
        return DB_spix_get_envelope(sql.c_str(), envelope);
    });
}

ZEL_API int32_t DB_layer_calculate_envelope(DB_INSTANCE *instance, const LAYER *layer,
                                            const VE_SQL_CONSTRUCT *construct,
                                            DB_MV_QUERY_INFO *info, int32_t whole,
                                            VE_ENVELOPE *envelope, double *z_low, double *z_high)
{
    db_global_xerr.code = 0;
    if (layer == nullptr || info == nullptr)
        return ZE_NULL_POINTER;
    if (whole != 0 && info->kind == DB_MV_NONE)
        return db_layer_envelope_whole(layer->layer_id, envelope, z_low, z_high);
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_restricted(instance, layer, construct, info, nullptr, envelope, z_low, z_high,
                            nullptr);
    });
}

ZEL_API int32_t DB_layer_calculate_row_envelope(DB_STREAM *stream, const LAYER *layer,
                                                const VE_SQL_CONSTRUCT *construct, int32_t whole,
                                                VE_ENVELOPE *envelope, double *z_low,
                                                double *z_high, int32_t *parameter)
{
    DB_instance_clear_xerr();
    DB_stream_clear_xerr(stream);
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    if (whole != 0)
        return db_layer_envelope_whole(layer->layer_id, envelope, z_low, z_high);
    if (parameter == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        DB_MV_QUERY_INFO none;
        memset(&none, 0, sizeof(none));
        return S_restricted(db_instance_get_current(), layer, construct, &none, nullptr, envelope,
                            z_low, z_high, parameter);
    });
}

ZEL_API int32_t DB_envelope_get_by_logfile(DB_INSTANCE *instance, const LAYER *layer,
                                           const LOGFILE *log, const VE_SQL_CONSTRUCT *construct,
                                           DB_MV_QUERY_INFO *info, VE_ENVELOPE *envelope,
                                           double *z_low, double *z_high)
{
    DB_instance_clear_xerr();
    if (log == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_restricted(instance, layer, construct, info, log, envelope, z_low, z_high,
                            nullptr);
    });
}

ZEL_API int32_t DB_envelope_get_by_fids(DB_INSTANCE *, const LAYER *, int32_t, const int32_t *,
                                        VE_ENVELOPE *, double *, double *)
{
    return 0;
}

int32_t db_envelope_get_by_id_list(DB_INSTANCE *instance, const LAYER *layer, int32_t count,
                                   const int32_t *ids, const VE_SQL_CONSTRUCT *construct,
                                   VE_ENVELOPE *envelope, double *z_low, double *z_high)
{
    if (layer == nullptr || construct == nullptr || envelope == nullptr || z_low == nullptr ||
        z_high == nullptr || (count > 0 && ids == nullptr))
        return ZE_NULL_POINTER;
    if (count < 0)
        return ZE_INVALID_ARGUMENT;
    S_preset(envelope, z_low, z_high);
    // "IN ()" is not SQL, and no id selects no row.
    if (count == 0)
        return 0;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        DB_MV_QUERY_INFO none;
        memset(&none, 0, sizeof(none));
        std::string sql;
        int32_t where_flag = 0;
        const int32_t rc = S_build(instance, layer, construct, &none, nullptr, &where_flag, sql);
        if (rc != 0)
            return rc;
        sql += where_flag ? " and " : " where ";
        sql += std::string(" ") + layer->table_name + ".VE_ROW_ID in (";
        for (int32_t i = 0; i < count; i++)
            sql += std::to_string(ids[i]) + ",";
        sql.back() = ')';
        return S_exec(sql.c_str(), envelope, z_low, z_high, nullptr, "DB_exec_get_envelope");
    });
}
