// The tables of a raster column (db_rastercolumn_tables.h): the user table's
// check and its INTEGER column, the four tables with their exact DDL and the
// DBTUNE clauses of the raster column's keyword, the trigger procedure and
// triggers, views over another raster column's tables, and grants. Every name
// written into the DDL unquoted has passed the identifier check.
#include "db/catalog/db_rastercolumn_tables.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/ve_debug.h"
#include "base/util/ve_layer.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_rastercolumn_info.h"
#include "db/catalog/db_table_access.h"
#include "db/catalog/db_table_copy_internal.h"
#include "db/catalog/db_table_ddl.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_dbtune_internal.h"
#include "db/core/db_describe_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_xerr.h"
#include "db/core/db_xerr_internal.h"

#define S_PREFIX "RASTER_LAYER"
#define S_ADMIN_USER "zel"
// db_odbc_execute_ddlsql modes: 1 commits and records, 3 commits.
#define S_COMMIT 1
#define S_COMMIT_QUIET 3

namespace
{

// A record's text field as a string (the field may fill its array).
template <size_t N> std::string S_text(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

// The four tables of a raster column, in creation order.
enum Which { RAS, BND, AUX, BLK };
const char *const S_table_prefix[] = {"ZEL_RAS_", "ZEL_BND_", "ZEL_AUX_", "ZEL_BLK_"};

struct Tables {
    std::string name[4];
};

// The names of a raster column's tables from its record: "%s:%s.ZEL_RAS_%d"
// and kin, as the access core's builders give them.
Tables S_tables(const RASTERCOLUMN &info)
{
    Tables t;
    const std::string head = S_text(info.database_name) + ":" + S_text(info.owner) + ".";
    for (int i = RAS; i <= BLK; i++)
        t.name[i] = head + S_table_prefix[i] + std::to_string(info.rastercolumn_id);
    return t;
}

// The names the raster DDL writes unquoted: database (when given), owner,
// table and column. 0; -65; -66; -322.
int32_t S_check(const RASTERCOLUMN *info)
{
    if (info == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = 0;
    if (info->database_name[0] != '\0')
        rc = db_check_name(info->database_name, sizeof(info->database_name));
    if (rc == 0)
        rc = db_check_name(info->owner, sizeof(info->owner));
    if (rc == 0)
        rc = db_check_name(info->table_name, sizeof(info->table_name));
    if (rc == 0)
        rc = db_check_name(info->raster_column, sizeof(info->raster_column));
    return rc;
}

// The user table as DB_table_make_name gives it.
std::string S_user_table(const RASTERCOLUMN &info)
{
    char out[DB_QUALIFIED_NAME_SIZE] = "";
    const std::string table = S_text(info.table_name);
    const std::string database = S_text(info.database_name);
    const std::string owner = S_text(info.owner);
    DB_table_make_name(database.empty() ? nullptr : database.c_str(),
                       owner.empty() ? nullptr : owner.c_str(), table.c_str(), out);
    return out;
}

bool S_versioned(const REGISTRATION *registration)
{
    return registration != nullptr && (registration->object_flags & REG_MULTIVERSION) != 0;
}

// The adds table of a registration. 0; -66.
int32_t S_adds_table(const REGISTRATION &r, std::string *out)
{
    char adds[DB_QUALIFIED_NAME_SIZE] = "";
    const std::string database = S_text(r.database_name), owner = S_text(r.owner);
    int32_t rc = db_make_adds_table_name(nullptr, r.registration_id, database.c_str(),
                                         owner.c_str(), adds, sizeof(adds));
    *out = adds;
    return rc;
}

// Reads the raster column of the id with a coordinate-reference-free record.
int32_t S_read(int32_t id, RASTERCOLUMN *info)
{
    memset(info, 0, sizeof(*info));
    return DB_rastercolumn_get_info_by_id(nullptr, nullptr, id, info);
}

// The connection's extended error record kept across a clean-up.
struct KeepError {
    DB_EXT_ERROR saved = db_global_xerr;
    ~KeepError()
    {
        db_global_xerr = saved;
    }
};

// ---- the user table ------------------------------------------------------------

int32_t S_verify_table(DB_INSTANCE *instance, RASTERCOLUMN *info)
{
    char user[DB_USER_NAME_SIZE] = "";
    DB_instance_get_current_user(instance, user);
    if (info->owner[0] == '\0')
        snprintf(info->owner, sizeof(info->owner), "%s", user);
    else if (S_text(info->owner) != user)
        return ZE_NOT_TABLE_OWNER;
    if (S_text(info->table_name) == S_text(info->raster_column))
        return ZE_INVALID_RASTER_COLUMN;
    int32_t rc = S_check(info);
    if (rc != 0)
        return rc;
    const std::string column = S_text(info->raster_column);
    const std::string database = S_text(info->database_name);
    const std::string owner = S_text(info->owner);
    const std::string table = S_text(info->table_name);
    const std::string sql = "SELECT " + column + " FROM " + database + ":" + owner + "." + table;
    db_stmt_guard stmt;
    rc = db_open_cursor(nullptr, &stmt.h);
    if (rc != 0)
        return rc;
    const int prepared = db_prepare_stmt(nullptr, &stmt.h, sql.c_str());
    if (prepared != SQL_SUCCESS) {
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, &stmt.h, static_cast<SQLRETURN>(prepared));
        if (strncmp(diag.sqlstate, "S0022", 5) == 0)
            return 0; // the column is added later
        db_set_xerr_from_diag(diag);
        return strncmp(diag.sqlstate, "S0002", 5) == 0 ? ZE_TABLE_NOT_FOUND : ZE_DBMS_ERROR;
    }
    int16_t count = 0;
    DB_COLUMN_DEF *columns = nullptr;
    int32_t *lengths = nullptr;
    int16_t *c_types = nullptr;
    rc = db_describe_select(nullptr, stmt.h, &count, &columns, &lengths, &c_types);
    const bool integer = rc == 0 && count >= 1 && columns[0].type == VE_INTEGER;
    free(columns);
    free(lengths);
    free(c_types);
    if (rc != 0)
        return rc;
    if (!integer)
        return ZE_WRONG_COLUMN_TYPE;
    int32_t nullable = 1;
    rc = db_cli_column_is_nullable(database.empty() ? nullptr : database.c_str(), owner.c_str(),
                                   table.c_str(), column.c_str(), &nullable);
    if (rc == 0 && nullable == 0)
        return ZE_COLUMN_NOT_NULLABLE;
    // A driver that cannot tell leaves the column as it is.
    return rc == 0 || rc == ZE_FAILURE ? 0 : rc;
}

// Counts the column's non-NULL values (in the adds table too when given).
// 0 with *any set; -51 (recorded). A column that does not exist yet has
// none.
int32_t S_count_values(const std::string &table, const std::string &adds, const std::string &column,
                       bool *any)
{
    *any = false;
    std::string sql;
    if (adds.empty())
        sql = "SELECT COUNT(*) FROM " + table + " WHERE " + column + " IS NOT NULL";
    else
        sql = "SELECT COUNT(*) FROM " + adds + " WHERE " + column +
              " IS NOT NULL UNION SELECT COUNT(*) FROM " + table + " WHERE " + column +
              " IS NOT NULL";
    db_stmt_guard stmt;
    int32_t rc = db_open_cursor(nullptr, &stmt.h);
    if (rc != 0)
        return rc;
    const int prepared = db_prepare_stmt(nullptr, &stmt.h, sql.c_str());
    if (prepared != SQL_SUCCESS) {
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, &stmt.h, static_cast<SQLRETURN>(prepared));
        if (strncmp(diag.sqlstate, "S0022", 5) == 0)
            return 0;
        db_set_xerr_from_diag(diag);
        return ZE_DBMS_ERROR;
    }
    SQLINTEGER count = 0;
    SQLLEN length = 0;
    if (SQLBindCol(stmt.h, 1, SQL_C_SLONG, &count, sizeof(count), &length) != SQL_SUCCESS ||
        SQLExecute(stmt.h) != SQL_SUCCESS)
        return db_catalog_fail(nullptr, &stmt.h, SQL_ERROR);
    for (;;) {
        const SQLRETURN f = SQLFetch(stmt.h);
        if (f == SQL_NO_DATA)
            return 0;
        if (f != SQL_SUCCESS)
            return db_catalog_fail(nullptr, &stmt.h, f);
        if (length != SQL_NULL_DATA && count >= 1)
            *any = true;
    }
}

// ALTER TABLE ... ADD (column INTEGER DEFAULT NULL): a column that exists
// already counts as added. 0; -25 (also for a missing table); the DDL's code.
int32_t S_add_column(const std::string &table, const std::string &column)
{
    const std::string sql = "ALTER TABLE " + table + " ADD (" + column + " INTEGER DEFAULT NULL)";
    int32_t rc = db_odbc_execute_ddlsql(sql.c_str(), 1, S_COMMIT);
    if (rc == 0)
        return 0;
    if (strncmp(db_global_xerr.text, "S0021", 5) == 0) {
        DB_instance_clear_xerr();
        return 0;
    }
    VES_print_debug(stderr, "DB_rastercolumn_alter_user_table() Error executing SQL (%d).\n", rc);
    return rc == ZE_TABLE_NOT_FOUND ? ZE_NO_PERMISSIONS : rc;
}

int32_t S_alter_user_table(DB_INSTANCE *instance, const RASTERCOLUMN *info,
                           const REGISTRATION *registration)
{
    int32_t rc = S_check(info);
    if (rc != 0)
        return rc;
    const std::string table = S_user_table(*info);
    const std::string column = S_text(info->raster_column);
    std::string adds;
    const bool versioned = S_versioned(registration);
    if (versioned && S_adds_table(*registration, &adds) != 0)
        return ZE_INVALID_ARGUMENT;
    bool any = false;
    if ((rc = S_count_values(table, adds, column, &any)) != 0)
        return rc;
    if (any) {
        VES_print_debug(stderr,
                        "DB_rastercolumn_alter_user_table() Invalid raster column (%s.%s).\nColumn "
                        "must be NULL before spatially enabling it.\n",
                        table.c_str(), column.c_str());
        return ZE_INVALID_RASTER_COLUMN;
    }
    if ((rc = S_add_column(table, column)) != 0)
        return rc;
    if (versioned)
        return S_add_column(adds, column);
    rc = DB_rastercolumn_create_user_trigger(instance, info);
    if (rc != 0)
        VES_print_debug(stderr, "DB_rastercolumn_alter_user_table() Error creating trigger (%d).\n",
                        rc);
    return rc;
}

// ---- the trigger procedure and its triggers ------------------------------------

std::string S_procedure(int32_t id, const std::string &raster_table)
{
    const std::string n = std::to_string(id);
    return "CREATE PROCEDURE " S_PREFIX "_sp_" + n +
           " (new_id INT, old_id INT, operation CHAR(10))\n  DEFINE id INT;\n\n  IF operation = "
           "'INSERT' AND new_id IS NOT NULL OR\n  operation = 'UPDATE' AND new_id IS NOT NULL AND "
           "old_id IS NULL THEN\n\n    SELECT RASTER_ID into id FROM " +
           raster_table +
           " WHERE RASTER_ID = new_id;\n\n    IF id IS NULL THEN\n      RAISE EXCEPTION -746, 0, "
           "'Invalid raster ID';\n    END IF\n\n  ELIF operation = 'DELETE' OR operation = "
           "'UPDATE' AND \n       new_id IS NULL AND old_id IS NOT NULL THEN\n\n    UPDATE " +
           raster_table +
           " SET RASTER_FLAGS = RASTER_ID\n    WHERE RASTER_ID = old_id;\n\n  ELIF operation = "
           "'UPDATE' AND new_id IS NOT NULL AND \n       old_id IS NOT NULL AND new_id != old_id "
           "THEN\n\n    RAISE EXCEPTION -746, 0, 'Invalid raster ID';\n\n  END IF\n\nEND "
           "PROCEDURE;";
}

int32_t S_create_user_trigger(const RASTERCOLUMN *info)
{
    int32_t rc = S_check(info);
    if (rc != 0)
        return rc;
    const std::string n = std::to_string(info->rastercolumn_id);
    const std::string table = S_text(info->table_name);
    const std::string c = S_text(info->raster_column);
    const std::string sp = S_PREFIX "_sp_" + n;
    const char *const drops[] = {"DROP PROCEDURE %s_sp_%s;", "DROP TRIGGER %s_ins_%s;",
                                 "DROP TRIGGER %s_del_%s;", "DROP TRIGGER %s_upd_%s;\n"};
    for (const char *format : drops) {
        char sql[128];
        snprintf(sql, sizeof(sql), format, S_PREFIX, n.c_str());
        db_odbc_execute_ddlsql(sql, 0, S_COMMIT_QUIET);
    }
    const std::string creates[] = {
        S_procedure(info->rastercolumn_id, S_tables(*info).name[RAS]),
        "CREATE TRIGGER " S_PREFIX "_upd_" + n + " \nUPDATE OF " + c + " ON " + table +
            " REFERENCING OLD AS pre NEW AS post \nFOR EACH ROW (EXECUTE PROCEDURE " + sp +
            " (post." + c + ", pre." + c + ", 'UPDATE'));",
        "CREATE TRIGGER " S_PREFIX "_ins_" + n + " \nINSERT ON " + table +
            " REFERENCING NEW AS post \nFOR EACH ROW (EXECUTE PROCEDURE " + sp + " (post." + c +
            ", NULL, 'INSERT'));",
        "CREATE TRIGGER " S_PREFIX "_del_" + n + " \nDELETE ON " + table +
            " REFERENCING OLD AS pre \nFOR EACH ROW (EXECUTE PROCEDURE " + sp + " (NULL, pre." + c +
            ", 'DELETE'));",
    };
    for (const std::string &sql : creates) {
        rc = db_odbc_execute_ddlsql(sql.c_str(), 1, S_COMMIT_QUIET);
        if (rc != 0)
            return rc;
    }
    return 0;
}

int32_t S_drop_user_trigger(int32_t id)
{
    const std::string n = std::to_string(id);
    const std::string triggers = "DROP TRIGGER " S_PREFIX "_ins_" + n +
                                 ";DROP TRIGGER " S_PREFIX "_del_" + n +
                                 ";DROP TRIGGER " S_PREFIX "_upd_" + n + ";";
    int32_t rc = db_odbc_execute_ddlsql(triggers.c_str(), 0, S_COMMIT_QUIET);
    if (rc == 0)
        rc = db_odbc_execute_ddlsql(("DROP PROCEDURE " S_PREFIX "_sp_" + n + ";").c_str(), 0,
                                    S_COMMIT_QUIET);
    if (rc != 0)
        VES_print_debug(stderr, "DB_rastercolumn_drop_user_trigger Exececute Error (%d).\n", rc);
    return rc;
}

// ---- the four tables -------------------------------------------------------------

// The table name after its last ".": the base of its constraint names.
std::string S_base(const std::string &table)
{
    const size_t dot = table.rfind('.');
    return dot == std::string::npos ? table : table.substr(dot + 1);
}

std::string S_with_clause(std::string sql, const char *clause)
{
    if (clause[0] != '\0')
        sql += clause;
    return sql;
}

// The four CREATE TABLE texts, in creation order.
std::vector<std::string> S_create_texts(const Tables &t, const DBTUNE_RASTER_CONFIG &config)
{
    const std::string ras = S_base(t.name[RAS]), bnd = S_base(t.name[BND]),
                      aux = S_base(t.name[AUX]);
    return {
        S_with_clause("CREATE TABLE " + t.name[RAS] +
                          "  (raster_id     INTEGER      NOT NULL,   raster_flags  INTEGER        "
                          "      ,   description   VARCHAR(65)          ,   UNIQUE (raster_id) "
                          "CONSTRAINT " +
                          ras + "_uk) ",
                      config.RAS_STORAGE),
        S_with_clause(
            "CREATE TABLE " + t.name[BND] +
                "  (rasterband_id  INTEGER          NOT NULL,   sequence_nbr   INTEGER          "
                "NOT "
                "NULL,   raster_id      INTEGER          NOT NULL,   name           VARCHAR(65)    "
                " "
                "         ,   band_flags     INTEGER          NOT NULL,   band_width     INTEGER   "
                " "
                "      NOT NULL,   band_height    INTEGER          NOT NULL,   band_types     "
                "INTEGER          NOT NULL,   block_width    INTEGER          NOT NULL,   "
                "block_height   INTEGER          NOT NULL,   block_origin_x DOUBLE PRECISION NOT "
                "NULL,   block_origin_y DOUBLE PRECISION NOT NULL,   eminx          DOUBLE "
                "PRECISION NOT NULL,   eminy          DOUBLE PRECISION NOT NULL,   emaxx          "
                "DOUBLE PRECISION NOT NULL,   emaxy          DOUBLE PRECISION NOT NULL,   cdate    "
                "      INTEGER          NOT NULL,   mdate          INTEGER          NOT NULL,   "
                "UNIQUE (rasterband_id) CONSTRAINT " +
                bnd + "_uk1,   UNIQUE (raster_id, sequence_nbr) CONSTRAINT " + bnd + "_uk2) ",
            config.BND_STORAGE),
        S_with_clause("CREATE TABLE " + t.name[AUX] +
                          "  (rasterband_id   INTEGER   NOT NULL,   type            INTEGER   NOT "
                          "NULL,   object          BYTE      NOT NULL,   UNIQUE (rasterband_id, "
                          "type) CONSTRAINT " +
                          aux + "_uk) ",
                      config.AUX_STORAGE),
        S_with_clause("CREATE TABLE " + t.name[BLK] +
                          "  (rasterband_id   INTEGER   NOT NULL,   rrd_factor      INTEGER   NOT "
                          "NULL,   row_nbr         INTEGER   NOT NULL,   col_nbr         INTEGER   "
                          "NOT NULL,   block_data      BYTE      NOT NULL) ",
                      config.BLK_STORAGE),
    };
}

// Drops the first count tables, the connection's error record kept.
void S_drop_made(DB_INSTANCE *instance, const Tables &t, int count)
{
    KeepError keep;
    for (int i = 0; i < count; i++)
        DB_table_drop(instance, t.name[i].c_str());
}

int32_t S_create_raster_tables(DB_INSTANCE *instance, const RASTERCOLUMN &info,
                               const DBTUNE_RASTER_CONFIG &config, const std::string &user_table)
{
    const Tables t = S_tables(info);
    const std::vector<std::string> creates = S_create_texts(t, config);
    for (int i = RAS; i <= BLK; i++) {
        const int32_t rc = db_odbc_execute_ddlsql(creates[i].c_str(), 1, S_COMMIT);
        if (rc != 0) {
            VES_print_debug(stderr, "S_create_raster_tables Error(%d).\n", rc);
            S_drop_made(instance, t, i);
            return rc;
        }
    }
    if ((info.rastercolumn_mask & RASTERCOLUMN_NO_BLOCK_INDEX) == 0) {
        char index[DB_NAME_TABLE_SIZE] = "";
        db_make_block_unique_index_name(info.rastercolumn_id, index, sizeof(index));
        const std::string sql =
            S_with_clause(std::string("CREATE UNIQUE INDEX ") + index + " ON " + t.name[BLK] +
                              " (rasterband_id, rrd_factor, row_nbr, col_nbr) ",
                          config.BLK_INDEX_COMPOSITE);
        const int32_t rc = db_odbc_execute_ddlsql(sql.c_str(), 1, S_COMMIT);
        if (rc != 0) {
            VES_print_debug(stderr, "S_create_block_table_index Error(%d).\n", rc);
            VES_print_debug(stderr, "S_create_raster_tables Error(%d).\n", rc);
            S_drop_made(instance, t, 4);
            return rc;
        }
    }
    for (int i : {RAS, BND, BLK, AUX}) {
        const int32_t rc = db_table_copy_grants(user_table.c_str(), t.name[i].c_str(), 1);
        if (rc != 0) {
            VES_print_debug(stderr,
                            "S_create_raster_tables Error(%d), unable to duplicate %s's grants.\n",
                            rc, user_table.c_str());
            S_drop_made(instance, t, 4);
            return rc;
        }
    }
    return 0;
}

int32_t S_create_tables(DB_INSTANCE *instance, int32_t id, const char *user_table)
{
    RASTERCOLUMN info;
    int32_t rc = S_read(id, &info);
    if (rc != 0)
        return rc;
    if ((rc = S_check(&info)) != 0)
        return rc;
    auto config = std::make_unique<DBTUNE_RASTER_CONFIG>();
    const std::string keyword = S_text(info.config_keyword);
    if ((rc = db_read_raster_storage_config(config.get(), keyword.c_str())) != 0)
        return rc;
    rc = S_create_raster_tables(instance, info, *config, user_table);
    if (rc != 0)
        db_instance_copy_global_xerr(instance);
    return rc;
}

// Runs the operation on the four tables, every one attempted; 0 or the first
// failure other than a table that is gone.
int32_t S_each_table(DB_INSTANCE *instance, const Tables &t,
                     int32_t (*operation)(DB_INSTANCE *, const char *))
{
    int32_t first = 0;
    for (const std::string &name : t.name) {
        const int32_t rc = operation(instance, name.c_str());
        if (rc != 0 && rc != ZE_TABLE_NOT_FOUND && first == 0)
            first = rc;
    }
    return first;
}

// The per-column hook before the tables are dropped or emptied.
int32_t S_column_hook(const RASTERCOLUMN &)
{
    return 0;
}

int32_t S_set_null(const RASTERCOLUMN *info, const REGISTRATION *registration)
{
    int32_t rc = S_check(info);
    if (rc != 0)
        return rc;
    const std::string column = S_text(info->raster_column);
    std::vector<std::string> tables{S_user_table(*info)};
    if (S_versioned(registration)) {
        std::string adds;
        if (S_adds_table(*registration, &adds) != 0)
            return ZE_INVALID_ARGUMENT;
        tables.push_back(adds);
    }
    for (size_t i = 0; i < tables.size(); i++) {
        const std::string sql = "UPDATE " + tables[i] + " SET " + column + " = NULL";
        rc = db_odbc_execute_ddlsql(sql.c_str(), 1, S_COMMIT);
        if (rc != 0) {
            VES_print_debug(stderr, "DB_rastercolumn_set_null() Error executing SQL (%d).\n", rc);
            if (i > 0)
                return rc;
            db_global_xerr.code = rc;
            return ZE_DBMS_ERROR;
        }
    }
    return 0;
}

int32_t S_truncate_tables(DB_INSTANCE *instance, const RASTERCOLUMN *info,
                          const REGISTRATION *registration)
{
    int32_t rc = S_check(info);
    if (rc != 0)
        return rc;
    if ((rc = S_column_hook(*info)) != 0 ||
        (rc = S_each_table(instance, S_tables(*info), DB_table_truncate)) != 0)
        return rc;
    const bool versioned = S_versioned(registration);
    if (!versioned && (rc = S_drop_user_trigger(info->rastercolumn_id)) != 0)
        return rc;
    if ((rc = DB_rastercolumn_set_null(instance, info, registration)) != 0)
        return rc;
    if (!versioned && (info->rastercolumn_mask & RASTERCOLUMN_NO_BLOCK_INDEX) == 0 &&
        (rc = S_create_user_trigger(info)) != 0)
        return rc;
    return db_odbc_commit();
}

// ---- privileges ------------------------------------------------------------------

// The raster tables in the order grants and revokes run on them.
const Which S_grant_order[] = {RAS, AUX, BND, BLK};

int32_t S_grant_access(DB_INSTANCE *instance, const RASTERCOLUMN *info, int32_t mask,
                       const char *grantee, int32_t grant_option)
{
    int32_t rc = S_check(info);
    if (rc != 0)
        return rc;
    int32_t user_mask = mask;
    if (mask & (VE_PRIV_UPDATE | VE_PRIV_INSERT))
        user_mask |= VE_PRIV_SELECT;
    rc = DB_table_grant_access(instance, S_user_table(*info).c_str(), user_mask, grant_option,
                               grantee);
    if (rc != 0)
        return rc;
    // The raster tables need the added SELECT as well: without it a grantee
    // of UPDATE alone could not read the raster column.
    const int32_t raster_mask =
        (mask & VE_PRIV_UPDATE) ? user_mask | VE_PRIV_INSERT | VE_PRIV_DELETE : user_mask;
    const Tables t = S_tables(*info);
    for (Which w : S_grant_order)
        if ((rc = DB_table_grant_access(instance, t.name[w].c_str(), raster_mask, grant_option,
                                        grantee)) != 0)
            return rc;
    return 0;
}

int32_t S_revoke_access(DB_INSTANCE *instance, const RASTERCOLUMN *info, int32_t mask,
                        const char *grantee)
{
    int32_t rc = S_check(info);
    if (rc != 0)
        return rc;
    const std::string user_table = S_user_table(*info);
    if (mask & VE_PRIV_UPDATE) {
        int32_t held = 0;
        if ((rc = DB_table_get_grantee_permissions(instance, grantee, user_table.c_str(), &held)) !=
            0)
            return rc;
    }
    if ((rc = DB_table_revoke_access(instance, user_table.c_str(), mask, grantee)) != 0)
        return rc;
    const int32_t raster_mask =
        (mask & VE_PRIV_UPDATE) ? mask | VE_PRIV_INSERT | VE_PRIV_DELETE : mask;
    const Tables t = S_tables(*info);
    for (Which w : S_grant_order)
        if ((rc = DB_table_revoke_access(instance, t.name[w].c_str(), raster_mask, grantee)) != 0)
            return rc;
    return 0;
}

// ---- views -----------------------------------------------------------------------

// The raster, band and block tables of a raster column, named by the access
// core's builders (bare names when the raster column cannot be read).
std::vector<std::string> S_view_names(int32_t id)
{
    char ras[DB_QUALIFIED_NAME_SIZE] = "", bnd[DB_QUALIFIED_NAME_SIZE] = "",
         blk[DB_QUALIFIED_NAME_SIZE] = "";
    db_make_raster_table_name(nullptr, id, ras, sizeof(ras));
    db_make_band_table_name(nullptr, id, bnd, sizeof(bnd));
    db_make_block_table_name(nullptr, id, blk, sizeof(blk));
    return {ras, bnd, blk};
}

// Drops one view by its qualified name. 0; 1 when it is gone already; the
// DDL's code.
int32_t S_drop_view(const std::string &view)
{
    int32_t rc = db_check_table_name(view.c_str());
    if (rc != 0)
        return rc;
    rc = db_execute_ddlsql(("DROP VIEW " + view).c_str(), 0, S_COMMIT_QUIET);
    if (rc == SQL_NO_DATA || rc == ZE_TABLE_NOT_FOUND || rc == ZE_OBJECT_NOT_FOUND)
        return 1;
    return rc < 0 ? rc : 0;
}

void S_drop_views_made(const std::vector<std::string> &views, size_t count)
{
    KeepError keep;
    for (size_t i = 0; i < count; i++)
        S_drop_view(views[i]);
}

int32_t S_create_views(int32_t view_id, const char *grant_table, int32_t viewed_id)
{
    const std::vector<std::string> views = S_view_names(view_id);
    const std::vector<std::string> viewed = S_view_names(viewed_id);
    for (size_t i = 0; i < views.size(); i++) {
        int32_t rc = db_check_table_name(views[i].c_str());
        if (rc == 0)
            rc = db_check_table_name(viewed[i].c_str());
        if (rc != 0)
            return rc;
    }
    for (size_t i = 0; i < views.size(); i++) {
        const std::string sql = "CREATE VIEW " + views[i] + " as select * from " + viewed[i];
        const int32_t rc = db_odbc_execute_ddlsql(sql.c_str(), 1, S_COMMIT);
        if (rc != 0) {
            VES_print_debug(stderr, "DB_rastercolumn_create_views Error(%d).\n", rc);
            S_drop_views_made(views, i);
            return rc;
        }
    }
    for (const std::string &view : views) {
        const int32_t rc = db_table_copy_grants(grant_table, view.c_str(), 1);
        if (rc != 0) {
            VES_print_debug(stderr,
                            "DB_rastercolumn_create_views Error(%d), unable to duplicate %s's "
                            "grants.\n",
                            rc, grant_table);
            S_drop_views_made(views, views.size());
            return rc;
        }
    }
    return 0;
}

int32_t S_drop_views(int32_t id)
{
    // Every view is attempted; a failure is not hidden by a later success.
    int32_t result = 0;
    for (const std::string &view : S_view_names(id)) {
        const int32_t rc = S_drop_view(view);
        if (rc < 0 && result == 0)
            result = rc;
    }
    return result;
}

} // namespace

int32_t DB_rastercolumn_verify_table(DB_INSTANCE *instance, RASTERCOLUMN *info)
{
    DB_instance_clear_xerr();
    if (info == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_verify_table(instance, info); });
}

int32_t DB_rastercolumn_alter_user_table(DB_INSTANCE *instance, const RASTERCOLUMN *info,
                                         const REGISTRATION *registration)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_alter_user_table(instance, info, registration); });
}

int32_t DB_rastercolumn_grant_zel_privileges(DB_INSTANCE *, const RASTERCOLUMN *info, int32_t grant)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        int32_t rc = S_check(info);
        if (rc != 0)
            return rc;
        const std::string table = S_user_table(*info);
        const std::string sql = grant == 1 ? "GRANT SELECT ON " + table + " TO " S_ADMIN_USER
                                           : "REVOKE SELECT ON " + table + " FROM " S_ADMIN_USER;
        rc = db_odbc_execute_ddlsql(sql.c_str(), 1, S_COMMIT);
        if (rc == 0 || rc == ZE_NO_PERMISSIONS)
            return 0;
        VES_print_debug(stderr,
                        "DB_rastercolumn_grant_zel_privileges Execute Immediate error (%d).\n", rc);
        return rc;
    });
}

int32_t DB_rastercolumn_create_user_trigger(DB_INSTANCE *, const RASTERCOLUMN *info)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_create_user_trigger(info); });
}

int32_t DB_rastercolumn_drop_user_trigger(DB_INSTANCE *, int32_t rastercolumn_id)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_drop_user_trigger(rastercolumn_id); });
}

int32_t DB_rastercolumn_create_tables(DB_INSTANCE *instance, int32_t rastercolumn_id,
                                      const char *user_table)
{
    DB_instance_clear_xerr();
    if (user_table == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_create_tables(instance, rastercolumn_id, user_table); });
}

int32_t DB_rastercolumn_drop_tables(DB_INSTANCE *instance, int32_t rastercolumn_id)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        RASTERCOLUMN info;
        int32_t rc = S_read(rastercolumn_id, &info);
        if (rc == 0)
            rc = S_check(&info);
        if (rc == 0)
            rc = S_column_hook(info);
        if (rc != 0)
            return rc;
        return S_each_table(instance, S_tables(info), DB_table_drop);
    });
}

int32_t DB_rastercolumn_truncate_tables(DB_INSTANCE *instance, const RASTERCOLUMN *info,
                                        const REGISTRATION *registration)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_truncate_tables(instance, info, registration); });
}

int32_t DB_rastercolumn_set_null(DB_INSTANCE *, const RASTERCOLUMN *info,
                                 const REGISTRATION *registration)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_set_null(info, registration); });
}

int32_t DB_rastercolumn_grant_access(DB_INSTANCE *instance, const RASTERCOLUMN *info, int32_t mask,
                                     const char *grantee, int32_t grant_option)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_grant_access(instance, info, mask, grantee, grant_option);
    });
}

int32_t DB_rastercolumn_revoke_access(DB_INSTANCE *instance, const RASTERCOLUMN *info, int32_t mask,
                                      const char *grantee)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_revoke_access(instance, info, mask, grantee); });
}

int32_t DB_rastercolumn_create_views(DB_INSTANCE *, int32_t view_id, const char *grant_table,
                                     int32_t viewed_id)
{
    DB_instance_clear_xerr();
    if (grant_table == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_create_views(view_id, grant_table, viewed_id); });
}

int32_t DB_rastercolumn_drop_views(DB_INSTANCE *, int32_t rastercolumn_id)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_drop_views(rastercolumn_id); });
}

int32_t DB_rastercolumn_set_load_mode(DB_INSTANCE *, int32_t, int32_t)
{
    return 0;
}
