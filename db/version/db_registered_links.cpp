// The locator links and the dependent tables of a registered table
// (db_registered_links.h).
#include "db/version/db_registered_links_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

#include "base/util/ve_debug.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_raster.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_locator_internal.h"
#include "db/catalog/db_metadata.h"
#include "db/catalog/db_rastercolumn_info.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_xerr_internal.h"
#include "db/version/db_version_stmt_internal.h"

namespace
{

const char *const kClass = "ZEL internal";
const char *const kProperty = "Locator ID";

int32_t S_fail(SQLHSTMT hstmt, SQLRETURN rc, CLI_DIAG_RECORD *out = nullptr)
{
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, hstmt != SQL_NULL_HSTMT ? &hstmt : nullptr, rc);
    db_set_xerr_from_diag(diag);
    if (out != nullptr)
        *out = diag;
    return ZE_DBMS_ERROR;
}

int32_t S_delete_locator(DB_INSTANCE *instance, const REGISTRATION &r, int32_t id, int32_t *only)
{
    const std::string owner = std::string(db_field_text(r.owner));
    const std::string table = std::string(db_field_text(r.table_name));
    const std::string where = db_sql_format(
        "object_name = '%s' AND object_owner = '%s'  AND class_name = '%s' AND  property = '%s' "
        "AND prop_value = '%d'",
        db_quote_literal(table).c_str(), db_quote_literal(owner).c_str(), kClass, kProperty, id);
    int32_t rc = DB_sp_metadata_def_delete_by_where(instance, &r, where.c_str());
    if (rc != ZE_SUCCESS)
        return rc;
    return db_locator_find_table_record(table.c_str(), owner.c_str(), id, only);
}

int32_t S_get_locator(const REGISTRATION &r, int32_t **ids, int32_t *count)
{
    char metadata[DB_QUALIFIED_NAME_SIZE];
    if (db_make_metadata_table_name(metadata, sizeof(metadata)) != 0)
        return ZE_INVALID_ARGUMENT;
    const std::string sql = db_sql_format(
        "SELECT VE_ToNumber(prop_value) from %s WHERE object_name = '%s' AND object_owner = '%s' "
        "AND object_type = %d AND class_name = '%s' AND property = '%s'",
        metadata, db_quote_literal(std::string(db_field_text(r.table_name))).c_str(),
        db_quote_literal(std::string(db_field_text(r.owner))).c_str(), 1, kClass, kProperty);
    db_stmt_guard stmt;
    int rc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
    if (rc != 0)
        return stmt.h != SQL_NULL_HSTMT ? S_fail(stmt.h, static_cast<SQLRETURN>(rc)) : rc;
    int32_t id = 0;
    SQLLEN length = 0;
    SQLRETURN cli = SQLExecute(stmt.h);
    if (SQL_SUCCEEDED(cli))
        cli = SQLBindCol(stmt.h, 1, SQL_C_SLONG, &id, sizeof(id), &length);
    if (!SQL_SUCCEEDED(cli))
        return S_fail(stmt.h, cli);
    for (;;) {
        cli = SQLFetch(stmt.h);
        if (cli == SQL_NO_DATA)
            return ZE_SUCCESS;
        if (!SQL_SUCCEEDED(cli)) {
            CLI_DIAG_RECORD diag;
            S_fail(stmt.h, cli, &diag);
            VES_print_debug(stderr, "DB_registered_table_get_locator() Fetch Error(%d)\n",
                            static_cast<int>(diag.code));
            return ZE_DBMS_ERROR;
        }
        void *grown = realloc(*ids, (static_cast<size_t>(*count) + 1) * sizeof(int32_t));
        if (grown == nullptr)
            return ZE_OUT_OF_MEMORY;
        *ids = static_cast<int32_t *>(grown);
        (*ids)[(*count)++] = length == SQL_NULL_DATA ? 0 : id;
    }
}

int32_t S_append(DB_INSTANCE *instance, const char *select, const char *table, char ***tables,
                 int32_t *count)
{
    {
        db_stmt_guard stmt;
        int rc = db_prepare_cursor(nullptr, &stmt.h, select, 0);
        if (rc != 0) {
            if (stmt.h == SQL_NULL_HSTMT)
                return rc; // recorded by the open
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, &stmt.h, static_cast<SQLRETURN>(rc));
            if (strncmp(diag.sqlstate, "S0002", 5) == 0)
                return ZE_SUCCESS; // no such table: nothing to list
            db_set_xerr_from_diag(diag);
            return ZE_DBMS_ERROR;
        }
    }
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], bare[DB_NAME_TABLE_SIZE];
    int32_t rc = DB_table_parse_name(instance, table, database, owner, bare);
    if (rc != ZE_SUCCESS)
        return rc;
    char *name = strdup(bare);
    if (name == nullptr)
        return ZE_OUT_OF_MEMORY;
    void *grown = realloc(*tables, (static_cast<size_t>(*count) + 1) * sizeof(char *));
    if (grown == nullptr) {
        free(name);
        return ZE_OUT_OF_MEMORY;
    }
    *tables = static_cast<char **>(grown);
    (*tables)[(*count)++] = name;
    return ZE_SUCCESS;
}

// Appends the table when it exists.
int32_t S_candidate(DB_INSTANCE *instance, const std::string &table, char ***tables, int32_t *count)
{
    const std::string select = "SELECT count(*) FROM " + table + " ";
    return S_append(instance, select.c_str(), table.c_str(), tables, count);
}

int32_t S_dependents(DB_INSTANCE *instance, const REGISTRATION &r, const char *table,
                     char ***tables, int32_t *count)
{
    const std::string database = std::string(db_field_text(r.database_name));
    const std::string owner = std::string(db_field_text(r.owner));
    char name[DB_QUALIFIED_NAME_SIZE];
    int32_t rc = ZE_SUCCESS;
    if (r.object_flags & REG_LAYER) {
        LAYER *layer = nullptr;
        if (DB_layer_get_info_by_table_name(instance, nullptr, table, nullptr, owner.c_str(),
                                            &layer) == ZE_SUCCESS &&
            layer != nullptr) {
            if (db_make_layer_f_table_name(nullptr, layer->layer_id, name, sizeof(name)) != 0)
                return ZE_INVALID_ARGUMENT;
            rc = S_candidate(instance, name, tables, count);
            if (rc != ZE_SUCCESS)
                return rc;
        }
    }
    if (r.object_flags & REG_MULTIVERSION) {
        using Builder =
            int32_t (*)(DB_INSTANCE *, int32_t, const char *, const char *, char *, size_t);
        for (Builder make : {Builder(db_make_adds_table_name), Builder(db_make_deletes_table_name),
                             Builder(db_make_e_table_name)}) {
            if (make(instance, r.registration_id, database.c_str(), owner.c_str(), name,
                     sizeof(name)) != 0)
                return ZE_INVALID_ARGUMENT;
            rc = S_candidate(instance, name, tables, count);
            if (rc != ZE_SUCCESS)
                return rc;
        }
    }
    if (r.object_flags & REG_RASTER_COLUMN) {
        if (db_table_make_name(database.c_str(), owner.c_str(),
                               std::string(db_field_text(r.table_name)).c_str(), name,
                               sizeof(name)) != 0)
            return ZE_INVALID_ARGUMENT;
        auto info = std::make_unique<RASTERCOLUMN>();
        memset(info.get(), 0, sizeof(*info));
        rc = DB_rastercolumn_get_info_by_name(instance, nullptr, name, nullptr, owner.c_str(),
                                              info.get());
        if (rc != ZE_SUCCESS)
            return rc;
        const std::string prefix = std::string(db_field_text(info->database_name)) + ":" +
                                   std::string(db_field_text(info->owner)) + ".";
        for (const char *kind : {"ZEL_RAS_", "ZEL_BND_", "ZEL_BLK_", "ZEL_AUX_"}) {
            rc = S_candidate(instance, prefix + kind + std::to_string(info->rastercolumn_id),
                             tables, count);
            if (rc != ZE_SUCCESS)
                return rc;
        }
    }
    return ZE_SUCCESS;
}

} // namespace

int32_t DB_registered_table_delete_locator(DB_INSTANCE *instance, const REGISTRATION *registration,
                                           int32_t locator_id, int32_t *no_other_link)
{
    if (registration == nullptr || no_other_link == nullptr)
        return ZE_NULL_POINTER;
    *no_other_link = 0;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_delete_locator(instance, *registration, locator_id, no_other_link);
    });
}

int32_t DB_registered_table_get_locator(DB_INSTANCE *, const REGISTRATION *registration,
                                        int32_t **locator_ids, int32_t *count)
{
    if (registration == nullptr || locator_ids == nullptr || count == nullptr)
        return ZE_NULL_POINTER;
    *locator_ids = nullptr;
    *count = 0;
    int32_t rc = zel_oom_guard(ZE_OUT_OF_MEMORY,
                               [&] { return S_get_locator(*registration, locator_ids, count); });
    if (rc != ZE_SUCCESS) {
        free(*locator_ids);
        *locator_ids = nullptr;
        *count = 0;
    }
    return rc;
}

int32_t db_dependent_table_append(DB_INSTANCE *instance, const char *select, const char *table,
                                  char ***tables, int32_t *count)
{
    if (select == nullptr || table == nullptr || tables == nullptr || count == nullptr)
        return ZE_NULL_POINTER;
    return S_append(instance, select, table, tables, count);
}

int32_t DB_registration_get_dependent_tables(DB_INSTANCE *instance,
                                             const REGISTRATION *registration, const char *table,
                                             char ***tables, int32_t *count)
{
    if (registration == nullptr || table == nullptr || tables == nullptr || count == nullptr)
        return ZE_NULL_POINTER;
    *tables = nullptr;
    *count = 0;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_dependents(instance, *registration, table, tables, count);
    });
}
