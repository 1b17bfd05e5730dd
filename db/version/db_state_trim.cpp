// Trimming states (db_state_trim.h) and the statement step of the state
// operations (db_state_trim_internal.h). The surviving adds rows of the run
// are found with the current-adds text of the multiversion view SQL.
#include "db/version/db_state_trim_internal.h"

#include <sql.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/version/db_mv_view_internal.h"

// Runs sql in the open transaction and commits it for modes 1 and 3; a
// statement that touched no row is a success and is committed too (the
// one-shot runner leaves such a statement uncommitted). 0; -37; -25; -51
// with the connection's record filled.
int32_t db_state_run_statement(const char *sql, int32_t mode)
{
    int rc = db_execute_ddlsql(sql, 0, DB_DML_KEEP_OPEN);
    if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO || rc == SQL_NO_DATA) {
        if (mode == DB_DML_COMMIT || mode == DB_DML_COMMIT_VIEW)
            return db_catalog_commit();
        return 0;
    }
    if (rc == ZE_TABLE_NOT_FOUND || rc == ZE_NO_PERMISSIONS)
        return rc;
    db_xerr_clear(&db_global_xerr);
    db_global_xerr.code = ZE_DBMS_ERROR;
    db_global_xerr.native_error = rc;
    return ZE_DBMS_ERROR;
}

int32_t db_execute_and_commit_dml(const char *sql, int32_t mode, const char *message)
{
    if (sql == nullptr)
        return ZE_NULL_POINTER;
    const int32_t rc = db_state_run_statement(sql, mode);
    if (rc != 0) {
        VES_print_debug(stderr, "S_execute_and_commit_dml (\"%s\") Execute Immediate error (%d).\n",
                        sql, rc);
        VES_print_debug(stderr, "%s\n", message != nullptr ? message : "");
    }
    return rc;
}

using Names = DB_STATE_NAMES;

int32_t db_state_names(DB_INSTANCE *instance, const REGISTRATION &r, DB_STATE_NAMES *n)
{
    char name[DB_QUALIFIED_NAME_SIZE] = "";
    const std::string database(r.database_name, strnlen(r.database_name, sizeof(r.database_name)));
    const std::string owner(r.owner, strnlen(r.owner, sizeof(r.owner)));
    const std::string table(r.table_name, strnlen(r.table_name, sizeof(r.table_name)));
    if (db_table_make_name(database.c_str(), owner.c_str(), table.c_str(), name, sizeof(name)) != 0)
        return ZE_INVALID_ARGUMENT;
    n->base = name;
    const int32_t id = r.registration_id;
    if (db_make_adds_table_name(instance, id, database.c_str(), owner.c_str(), name,
                                sizeof(name)) != 0)
        return ZE_INVALID_ARGUMENT;
    n->adds = name;
    if (db_make_deletes_table_name(instance, id, database.c_str(), owner.c_str(), name,
                                   sizeof(name)) != 0)
        return ZE_INVALID_ARGUMENT;
    n->deletes = name;
    if (db_make_e_table_name(instance, id, database.c_str(), owner.c_str(), name, sizeof(name)) !=
        0)
        return ZE_INVALID_ARGUMENT;
    n->equivalence = name;
    n->rowid.assign(r.rowid_column, strnlen(r.rowid_column, sizeof(r.rowid_column)));
    if (db_check_name(n->rowid.c_str(), sizeof(r.rowid_column)) != 0)
        return ZE_INVALID_ARGUMENT;
    return 0;
}

int32_t db_state_view_text(DB_INSTANCE *instance, const REGISTRATION &r, const DB_STATE_NAMES &n,
                           int32_t kind, int32_t state_id, int32_t start_id, const char *list,
                           std::string *out)
{
    const char *columns[] = {"ZEL_STATE_ID", n.rowid.c_str()};
    DB_MV_TABLE_INFO table;
    memset(&table, 0, sizeof(table));
    table.table_name = n.base.c_str();
    table.registration_id = r.registration_id;
    snprintf(table.rowid_column, sizeof(table.rowid_column), "%s", n.rowid.c_str());
    table.column_names = columns;
    table.column_count = 2;
    snprintf(table.alias, sizeof(table.alias), "V__%d", r.registration_id);
    DB_MV_QUERY_INFO info;
    memset(&info, 0, sizeof(info));
    info.kind = kind;
    info.state_id = state_id;
    info.start_id = start_id;
    info.lineage = list;
    info.tables = &table;
    info.table_count = 1;
    char user[DB_USER_NAME_SIZE] = "";
    DB_instance_get_current_user(instance, user);
    char *text = nullptr;
    const int32_t rc = db_mv_view_build(instance, &info, n.base.c_str(), user, 0, 0, &text, 0,
                                        getenv("ZELEQUIVS") != nullptr ? 1 : 0);
    if (rc == 0 && text != nullptr)
        out->assign(text);
    free(text);
    if (rc != 0)
        return rc;
    // Cut the alias and the blanks around it.
    const std::string alias = table.alias;
    size_t end = out->find_last_not_of(" \t\r\n");
    if (end != std::string::npos && end + 1 >= alias.size() &&
        out->compare(end + 1 - alias.size(), alias.size(), alias) == 0)
        end = out->find_last_not_of(" \t\r\n", end - alias.size());
    out->resize(end == std::string::npos ? 0 : end + 1);
    return 0;
}

// The equivalence rows follow the trim; the first statement's failure is
// returned as it is, a later one's after a rollback.
static int32_t S_trim_equivalences(const Names &n, int32_t kept, const std::string &adds_view,
                                   const char *trim_list, const char *drop_list)
{
    const char *E = n.equivalence.c_str();
    const char *R = n.rowid.c_str();
    const char *D = n.deletes.c_str();
    int32_t rc = db_execute_and_commit_dml(
        db_sql_format("UPDATE %s SET    %s = %d WHERE  EXISTS (SELECT * FROM %s src WHERE "
                      "src.%s = %s.%s and src.%s = %s.%s)",
                      E, "ZEL_STATE_ID", kept, adds_view.c_str(), "ZEL_STATE_ID", E, "ZEL_STATE_ID",
                      R, E, "ZEL_ROW_ID")
            .c_str(),
        DB_DML_KEEP_OPEN, "Error when re-stating equivalence rows.");
    if (rc != 0)
        return rc;
    rc = db_execute_and_commit_dml(
        db_sql_format("UPDATE %s  SET    %s.%s = %d WHERE  %s.%s IN (%s) AND %s.%s <> %d AND NOT "
                      "EXISTS (SELECT d.%s FROM   %s d WHERE  d.%s = %s.%s AND d.%s IN (%s) AND "
                      "%s.%s < d.%s)",
                      E, E, "EQUIVALENCE_STATE_ID", kept, E, "EQUIVALENCE_STATE_ID", trim_list, E,
                      "ZEL_STATE_ID", kept, "ZEL_DELETES_ROW_ID", D, "ZEL_DELETES_ROW_ID", E,
                      "ZEL_ROW_ID", "DELETED_AT", trim_list, E, "EQUIVALENCE_STATE_ID",
                      "DELETED_AT")
            .c_str(),
        DB_DML_KEEP_OPEN, "Error when re-equivalencing equivalence rows.");
    if (rc == 0)
        rc = db_execute_and_commit_dml(
            db_sql_format("DELETE FROM %s WHERE  %s IN (%s) OR %s IN (%s)", E, "ZEL_STATE_ID",
                          drop_list, "EQUIVALENCE_STATE_ID", drop_list)
                .c_str(),
            DB_DML_KEEP_OPEN, "Error while deleting trimmed equivalence rows.");
    if (rc != 0)
        db_catalog_rollback();
    return rc;
}

// The adds and deletes rows; the last statement commits the whole trim, a
// failure rolls it back.
static int32_t S_trim_rows(const Names &n, int32_t kept, const char *trim_list,
                           const char *drop_list)
{
    const char *A = n.adds.c_str();
    const char *D = n.deletes.c_str();
    const char *R = n.rowid.c_str();
    const struct {
        std::string sql;
        int32_t mode;
        const char *message;
    } steps[] = {
        {db_sql_format("UPDATE %s SET %s = %d WHERE %s.%s IN (%s) AND NOT EXISTS (SELECT * FROM "
                       "%s d WHERE d.%s IN (%s) AND %s.%s = d.%s AND %s.%s = d.%s)",
                       A, "ZEL_STATE_ID", kept, A, "ZEL_STATE_ID", trim_list, D, "DELETED_AT",
                       trim_list, A, R, "ZEL_DELETES_ROW_ID", A, "ZEL_STATE_ID", "ZEL_STATE_ID"),
         DB_DML_KEEP_OPEN, "Error when updating kept rows in adds table.\n"},
        {db_sql_format("DELETE FROM %s WHERE zel_state_id IN (%s)", A, drop_list), DB_DML_KEEP_OPEN,
         "Error when deleting unneeded rows from the adds table.\n"},
        {db_sql_format("UPDATE %s SET deleted_at = %d WHERE deleted_at IN (%s) AND zel_state_id "
                       "NOT IN (%s)",
                       D, kept, trim_list, trim_list),
         DB_DML_KEEP_OPEN, "Error when updating kept rows in deletes table.\n"},
        {db_sql_format("UPDATE %s SET zel_state_id = %d WHERE deleted_at NOT IN (%s) AND "
                       "zel_state_id IN (%s)",
                       D, kept, trim_list, trim_list),
         DB_DML_KEEP_OPEN, "Error when updating kept rows in deletes table.\n"},
        {db_sql_format("DELETE FROM %s WHERE deleted_at IN (%s) OR zel_state_id IN (%s)", D,
                       drop_list, drop_list),
         DB_DML_COMMIT, "Error when deleting unneeded rows from the deletes table.\n"},
    };
    for (const auto &step : steps) {
        const int32_t rc = db_state_run_statement(step.sql.c_str(), step.mode);
        if (rc != 0) {
            VES_print_debug(
                stderr, "DB_registered_table_trim_state (%s,%d) Execute Immediate error (%d).\n",
                n.base.c_str(), kept, rc);
            VES_print_debug(stderr, "%s", step.message);
            db_catalog_rollback();
            return rc;
        }
    }
    return 0;
}

int32_t DB_registered_table_trim_states(DB_INSTANCE *instance, const REGISTRATION *registration,
                                        int32_t kept_state_id, int32_t start_id,
                                        const char *trim_list, const char *drop_list)
{
    if (registration == nullptr || trim_list == nullptr || drop_list == nullptr)
        return ZE_NULL_POINTER;
    // An empty list would make every IN list a syntax error half-way through.
    if (db_sql_is_blank(trim_list) || db_sql_is_blank(drop_list))
        return ZE_INVALID_ARGUMENT;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        Names n;
        int32_t rc = db_state_names(instance, *registration, &n);
        if (rc != 0)
            return rc;
        std::string adds_view;
        // The adds rows of the trim list that no deletion within it removed.
        rc = db_state_view_text(instance, *registration, n, DB_MV_CURRENT_ADDS, kept_state_id,
                                start_id, trim_list, &adds_view);
        if (rc != 0)
            return rc;
        if (getenv("ZELEQUIVS") != nullptr) {
            rc = S_trim_equivalences(n, kept_state_id, adds_view, trim_list, drop_list);
            if (rc != 0)
                return rc;
        }
        return S_trim_rows(n, kept_state_id, trim_list, drop_list);
    });
}
