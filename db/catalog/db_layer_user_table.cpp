// A layer's user table (db_layer_user_table.h): the spatial and VE_ROW_ID
// columns added (or the table made again with only them), the spatial
// column's storage clause, the first numbering of the rows through the
// table's renumbering procedure (db/version), the update trigger and indexes
// (db_layer_index.h); the privileges on the table; the truncation of a
// layer. Every DDL statement commits by itself.
#include "db/catalog/db_layer_user_table.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <iterator>
#include <memory>
#include <string>

#include "base/util/db_column_def.h"
#include "base/util/ve_debug.h"
#include "base/util/ve_name_check.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_column_stats.h"
#include "db/catalog/db_layer_def_internal.h"
#include "db/catalog/db_layer_index.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_table_access_internal.h"
#include "db/catalog/db_table_ddl_internal.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_dbms_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_type_name.h"
#include "db/core/db_xerr_internal.h"
#include "db/version/db_routine_internal.h"
#include "db/version/db_rowid_column_internal.h"

namespace
{

// The ST_ column type of each geometry type, with its column-definition code.
struct SpatialType {
    const char *name;
    int32_t code;
};
const SpatialType kSpatialTypes[] = {
    {"ST_Geometry", VE_GEOMETRY},
    {"ST_Point", VE_POINT},
    {"ST_Curve", VE_CURVE},
    {"ST_LineString", VE_LINESTRING},
    {"ST_Surface", VE_SURFACE},
    {"ST_Polygon", VE_POLYGON},
    {"ST_GeometryCollection", VE_GEOMETRYCOLLECTION},
    {"ST_MultiPoint", VE_MULTIPOINT},
    {"ST_MultiCurve", VE_MULTICURVE},
    {"ST_MultiLineString", VE_MULTILINESTRING},
    {"ST_MultiSurface", VE_MULTISURFACE},
    {"ST_MultiPolygon", VE_MULTIPOLYGON},
};

// A DBMS failure as -51, the statement's result kept as native error.
int32_t S_dbms_error(int32_t result)
{
    db_global_xerr.code = ZE_DBMS_ERROR;
    db_global_xerr.native_error = result;
    return ZE_DBMS_ERROR;
}

// Runs one DDL statement of the alteration, committed. -19 (the column is
// there) is no failure; -37 becomes -25, others -51.
int32_t S_alter(const std::string &sql)
{
    int32_t rc = db_execute_ddlsql(sql.c_str(), 0, 1);
    if (rc >= 0 || rc == ZE_COLUMN_EXISTS)
        return 0;
    fprintf(stderr, "DB_alter_spatial_table() Error executing SQL (%d).\n", rc);
    return rc == ZE_TABLE_NOT_FOUND ? ZE_NO_PERMISSIONS : S_dbms_error(rc);
}

// Counts the non-NULL values of a column with a statement of up to two
// counts. *present is cleared when the DBMS knows no such column. 0; -51
// (committed, the connection's record filled).
int32_t S_count(const std::string &sql, SQLINTEGER (&counts)[2], bool *present)
{
    counts[0] = counts[1] = 0;
    *present = true;
    DB_CATALOG_CLI record;
    CLI_STATEMENT *cli = &record.cli;
    auto fail = [&] {
        db_cli_save_error(cli);
        db_commit();
        return ZE_DBMS_ERROR;
    };
    int32_t rc = db_cli_prepare(cli, sql.c_str());
    if (rc != 0) {
        if (db_cli_sqlstate_is(cli, "S0022")) {
            *present = false;
            return 0;
        }
        return fail();
    }
    SQLINTEGER value = 0;
    if (db_cli_define_by_pos(cli, SQL_C_LONG, &value, sizeof(value), nullptr) != 0)
        return fail();
    if (db_cli_execute_stmt(cli, 1) != 0) {
        if (db_cli_sqlstate_is(cli, "S0022")) {
            *present = false;
            return 0;
        }
        return fail();
    }
    for (SQLINTEGER &count : counts) {
        value = 0;
        rc = db_cli_fetch(cli);
        if (rc == ZE_NO_MORE_ROWS)
            break;
        if (rc != 0)
            return fail();
        count = value;
    }
    return 0;
}

// The record the renumbering procedure is made for: the registration, or
// for a table registered nowhere the layer's names.
REGISTRATION S_rowid_owner(const LAYER &layer, const REGISTRATION *registration)
{
    REGISTRATION r;
    if (registration != nullptr) {
        r = *registration;
        // The numbering fills VE_ROW_ID, whatever column the table registered.
        snprintf(r.rowid_column, sizeof(r.rowid_column), "%s", DB_VE_ROW_ID);
        return r;
    }
    memset(&r, 0, sizeof(r));
    memcpy(r.tag, "ReG", sizeof(r.tag));
    memcpy(r.database_name, layer.database_name, sizeof(r.database_name));
    memcpy(r.owner, layer.owner, sizeof(r.owner));
    memcpy(r.table_name, layer.table_name, sizeof(r.table_name));
    snprintf(r.rowid_column, sizeof(r.rowid_column), "%s", DB_VE_ROW_ID);
    r.minimum_id = layer.minimum_id > 0 ? static_cast<uint32_t>(layer.minimum_id) : 1;
    return r;
}

// Numbers the rows of the table once through its renumbering procedure,
// which is dropped again.
int32_t S_number_rows(const LAYER &layer, const REGISTRATION *registration)
{
    REGISTRATION owner = S_rowid_owner(layer, registration);
    char *name = nullptr;
    int32_t rc = db_table_create_rowid_update_proc(&owner, 0, 0, 0, &name);
    if (rc != 0)
        return rc;
    std::unique_ptr<char, decltype(&free)> procedure(name, &free);
    rc = db_execute_rowid_update(&owner, procedure.get());
    if (rc != 0)
        return rc;
    const std::string drop = std::string("DROP PROCEDURE ") + procedure.get();
    int32_t dropped = db_execute_ddlsql(drop.c_str(), 0, 1);
    return dropped < 0 ? S_dbms_error(dropped) : 0;
}

// The table's names must be names before they go into the text.
int32_t S_check_layer(const LAYER &layer)
{
    int32_t rc = db_check_name(layer.spatial_column, sizeof(layer.spatial_column));
    if (rc != 0)
        return rc;
    char table[DB_QUALIFIED_NAME_SIZE];
    rc = db_make_qualified_name(layer.database_name, layer.owner, layer.table_name, table,
                                sizeof(table));
    return rc != 0 ? rc : db_check_table_name(table);
}

int32_t S_alter_spatial_table(DB_INSTANCE *instance, const LAYER &layer,
                              const REGISTRATION *registration, bool recreate)
{
    int32_t rc = S_check_layer(layer);
    if (rc != 0)
        return rc;
    char table[DB_QUALIFIED_NAME_SIZE];
    db_make_qualified_name(layer.database_name, layer.owner, layer.table_name, table,
                           sizeof(table));
    auto config = std::make_unique<DBTUNE_LAYER_CONFIG>();
    if (layer.layer_config[0] != '\0') {
        rc = db_table_storage_config(layer.layer_config, config.get());
        if (rc != 0)
            return rc;
    }
    const bool versioned =
        registration != nullptr && (registration->object_flags & REG_MULTIVERSION) != 0;
    char adds[DB_QUALIFIED_NAME_SIZE] = "";
    if (versioned) {
        rc = db_make_adds_table_name(instance, registration->registration_id, layer.database_name,
                                     layer.owner, adds, sizeof(adds));
        if (rc != 0)
            return rc;
    }
    const std::string column = layer.spatial_column;

    // Which columns are there, and whether the table holds shapes or row ids.
    SQLINTEGER shapes[2], row_ids[2];
    bool spatial_present = true, rowid_present = true;
    std::string count =
        "SELECT COUNT(*) FROM " + std::string(table) + " WHERE " + column + " IS NOT NULL";
    if (versioned)
        count += " UNION ALL SELECT COUNT(*) FROM " + std::string(adds) + " WHERE " + column +
                 " IS NOT NULL";
    rc = S_count(count, shapes, &spatial_present);
    if (rc != 0)
        return rc;

    std::string spatial_def;
    const SpatialType *type = &kSpatialTypes[0];
    if (!spatial_present || recreate) {
        int32_t geometry = 0;
        db_layer_mask_to_geometry_type(layer.eflags, &geometry);
        if (geometry >= 0 && geometry < static_cast<int32_t>(std::size(kSpatialTypes)))
            type = &kSpatialTypes[geometry];
        char format[16] = "";
        db_get_column_expr_format(format);
        char spliced[64];
        snprintf(spliced, sizeof(spliced), format, type->name);
        spatial_def = " " + column + spliced;
    }

    rc = S_count(std::string("SELECT COUNT(*) FROM ") + table + " where " + DB_VE_ROW_ID +
                     " IS NOT NULL",
                 row_ids, &rowid_present);
    if (rc != 0)
        return rc;
    std::string rowid_def;
    if (!rowid_present) {
        const char *integer = nullptr;
        rc = DB_get_data_type(SQL_INTEGER, &integer);
        if (rc != 0)
            return rc;
        rowid_def = std::string(DB_VE_ROW_ID) + " " + integer + " ";
    }

    std::string definitions = spatial_def;
    if (!rowid_def.empty())
        definitions += (definitions.empty() ? "" : ", ") + rowid_def;
    if (recreate) {
        rc = DB_table_drop(instance, table);
        if (rc != 0) {
            VES_print_debug(stderr, "db_alter_table:: Attempted to drop table(%d)\n", rc);
            return rc;
        }
        DB_COLUMN_DEF columns[2];
        memset(columns, 0, sizeof(columns));
        snprintf(columns[0].name, sizeof(columns[0].name), "%s", layer.spatial_column);
        columns[0].type = type->code;
        columns[0].nulls_allowed = 1;
        snprintf(columns[1].name, sizeof(columns[1].name), "%s", DB_VE_ROW_ID);
        columns[1].type = VE_INTEGER;
        columns[1].nulls_allowed = 1;
        rc = DB_table_create(instance, table, 2, columns, layer.layer_config, DB_STORAGE_BUSINESS);
        if (rc != 0) {
            VES_print_debug(stderr, "db_alter_table:: Attempted to re-create table(%d)\n", rc);
            return rc;
        }
    } else if (!definitions.empty()) {
        rc = S_alter(std::string("ALTER TABLE ") + table + " ADD (" + definitions + ")");
        if (rc != 0)
            return rc;
    }
    if (versioned && !definitions.empty()) {
        rc = S_alter(std::string("ALTER TABLE ") + adds + " ADD (" + definitions + ")");
        if (rc != 0)
            return rc;
    }

    // Where the spatial column's data is put.
    std::string storage = config->S_STORAGE;
    VES_RemoveSpaces(storage.data());
    storage.resize(strlen(storage.c_str()));
    if (!spatial_def.empty() && !storage.empty()) {
        const std::string put = " put " + column + " in (" + storage + ") ";
        const char *targets[] = {table, versioned ? adds : nullptr};
        for (const char *target : targets) {
            if (target == nullptr)
                continue;
            int32_t put_rc =
                db_execute_ddlsql((std::string("ALTER TABLE ") + target + " " + put).c_str(), 0, 1);
            if (put_rc < 0) {
                fprintf(stderr, "DB_alter_spatial_table() Error executing SQL (%d).\n", put_rc);
                return S_dbms_error(put_rc);
            }
        }
    }

    // Shapes without row ids get their row ids once.
    if ((shapes[0] != 0 || shapes[1] != 0) && row_ids[0] == 0 && !recreate)
        return S_number_rows(layer, registration);
    return 0;
}

// The privilege words of the mask in the given order, the comma of the
// last one made a blank; empty when the mask has none of them.
std::string S_privileges(int32_t mask, bool grant)
{
    struct Word {
        int32_t bit;
        const char *text;
    };
    static const Word grant_order[] = {
        {VE_PRIV_UPDATE, "UPDATE, "}, {VE_PRIV_INSERT, "INSERT, "}, {VE_PRIV_DELETE, "DELETE, "}};
    static const Word revoke_order[] = {{VE_PRIV_SELECT, "SELECT, "},
                                        {VE_PRIV_UPDATE, "UPDATE, "},
                                        {VE_PRIV_INSERT, "INSERT, "},
                                        {VE_PRIV_DELETE, "DELETE, "}};
    std::string words;
    if (grant) {
        for (const Word &w : grant_order)
            if (mask & w.bit)
                words += w.text;
        // Updating and inserting need the rows to be seen.
        if (mask & (VE_PRIV_SELECT | VE_PRIV_UPDATE | VE_PRIV_INSERT))
            words += "SELECT, ";
    } else {
        for (const Word &w : revoke_order)
            if (mask & w.bit)
                words += w.text;
    }
    if (!words.empty())
        words[words.size() - 2] = ' ';
    return words;
}

// Checks and runs "<verb> <privileges> ON <table> <to> <grantee>"; -25
// becomes -105.
int32_t S_grant_or_revoke(const LAYER *layer, int32_t mask, bool grant, bool with_grant_option,
                          const char *grantee)
{
    if (layer == nullptr || grantee == nullptr)
        return ZE_NULL_POINTER;
    std::string privileges = S_privileges(mask, grant);
    if (privileges.empty())
        return ZE_INVALID_ARGUMENT;
    char table[DB_QUALIFIED_NAME_SIZE];
    int32_t rc = db_make_qualified_name(layer->database_name, layer->owner, layer->table_name,
                                        table, sizeof(table));
    if (rc == 0)
        rc = db_check_table_name(table);
    if (rc == 0)
        rc = db_check_name(grantee, DB_USER_NAME_SIZE);
    if (rc != 0)
        return rc;
    if (!grant && (mask & VE_PRIV_UPDATE)) {
        int32_t current = 0;
        rc = DB_table_get_grantee_permissions(nullptr, grantee, table, &current);
        if (rc != 0)
            return rc;
    }
    std::string sql = std::string(grant ? "GRANT " : "REVOKE ") + privileges + " ON " + table +
                      (grant ? " to " : " from ") + grantee;
    if (grant && with_grant_option)
        sql += " WITH GRANT OPTION";
    rc = db_execute_privilege_sql(sql.c_str(), 0);
    if (rc == ZE_NO_PERMISSIONS)
        return ZE_GRANT_REFUSED;
    return rc == SQL_SUCCESS_WITH_INFO ? 0 : rc;
}

int32_t S_truncate(DB_INSTANCE *instance, int32_t layer_id, const REGISTRATION *registration)
{
    const bool versioned =
        registration != nullptr && (registration->object_flags & REG_MULTIVERSION) != 0;
    // The layer is read before its trigger is dropped: the trigger is made
    // again from it on every way out.
    LAYER *layer = nullptr;
    int32_t rc = DB_layer_get_info(instance, nullptr, layer_id, &layer);
    if (rc != 0)
        return rc;
    // The trigger would empty VE_ROW_ID with each shape; the row ids stay.
    if (!versioned) {
        rc = DB_layer_drop_user_trigger(instance, layer_id);
        if (rc != 0)
            return rc;
    }
    rc = DB_layer_null_spatial_column(instance, layer, registration, nullptr);
    if (!versioned && !(layer->eflags & LAYER_LOAD_ONLY)) {
        // Made again also after a failure: the layer keeps its trigger, and
        // the caller sees the failing step's error.
        DB_EXT_ERROR saved = db_global_xerr;
        int32_t made = DB_layer_create_user_trigger(instance, layer);
        if (rc != 0)
            db_global_xerr = saved;
        if (rc == 0)
            rc = made;
    }
    if (rc != 0)
        return rc;
    if (db_commit() != SQL_SUCCESS) {
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, nullptr, SQL_ERROR);
        db_set_xerr_from_diag(diag);
        return ZE_DBMS_ERROR;
    }
    return 0;
}

} // namespace

int32_t DB_alter_spatial_table(DB_INSTANCE *instance, const LAYER *layer,
                               const REGISTRATION *registration, int32_t recreate)
{
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        return S_alter_spatial_table(instance, *layer, registration, recreate != 0);
    });
}

int32_t DB_layer_alter_user_table(DB_INSTANCE *instance, const LAYER *layer,
                                  const REGISTRATION *registration)
{
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = DB_alter_spatial_table(instance, layer, registration, 0);
    if (rc != 0) {
        fprintf(stderr, "DB_alter_user_table() Error altering table (%d)\n", rc);
        return rc;
    }
    if (layer->eflags & LAYER_LOAD_ONLY)
        return 0;
    rc = DB_layer_create_user_trigger(instance, layer);
    if (rc != 0) {
        fprintf(stderr, "DB_alter_user_table() Error creating trigger (%d)\n", rc);
        return rc;
    }
    rc = DB_layer_enable_attr_indices(instance, layer);
    if (rc != 0 && rc != ZE_INDEX_EXISTS) {
        fprintf(stderr, "DB_layer_alter_user_table() Error creating index (%d).\n", rc);
        return rc;
    }
    return 0;
}

int32_t DB_layer_grant_zel_privileges(DB_INSTANCE *, const LAYER *layer, int32_t grant)
{
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        const std::string table =
            std::string(layer->database_name) + ":'" + layer->owner + "'." + layer->table_name;
        int32_t rc = db_check_table_name(table.c_str());
        if (rc != 0)
            return rc;
        const std::string sql = grant == 1 ? "GRANT SELECT ON " + table + " TO " + DB_ADMIN_USER
                                           : "REVOKE SELECT ON " + table + " FROM " + DB_ADMIN_USER;
        rc = db_execute_ddlsql(sql.c_str(), 0, 1);
        if (rc >= 0 || rc == ZE_NO_PERMISSIONS)
            return 0;
        fprintf(stderr, "DB_layer_grant_zel_privileges: Execute Immediate error (%d).\n", rc);
        return rc == ZE_TABLE_NOT_FOUND ? ZE_TABLE_NOT_FOUND : S_dbms_error(rc);
    });
}

int32_t DB_layer_grant_access(DB_INSTANCE *, const LAYER *layer, int32_t mask,
                              int32_t with_grant_option, const char *grantee)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        DB_instance_clear_xerr();
        return S_grant_or_revoke(layer, mask, true, with_grant_option != 0, grantee);
    });
}

int32_t DB_layer_revoke_access(DB_INSTANCE *, const LAYER *layer, int32_t mask, const char *grantee)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        DB_instance_clear_xerr();
        return S_grant_or_revoke(layer, mask, false, false, grantee);
    });
}

int32_t DB_layer_truncate(DB_INSTANCE *instance, int32_t layer_id, const REGISTRATION *registration)
{
    DB_instance_clear_xerr();
    return S_truncate(instance, layer_id, registration);
}

int32_t DB_layer_add_anno_column(DB_INSTANCE *, const LAYER *)
{
    return 0;
}

int32_t DB_layer_delete_anno_column(DB_INSTANCE *, const LAYER *)
{
    return ZE_ANNO_NOT_SUPPORTED;
}
