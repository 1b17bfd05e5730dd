// Log files, the per-owner objects (db_log.h): the log table, the data table
// with its two indexes and the sequence function that numbers logs, their
// creation and existence test, and the grants that let other users read an
// owner's logs. Storage clauses come from the DBTUNE keyword LOGFILE_<owner>.
#include <stdio.h>
#include <strings.h>

#include <string>

#include "base/util/ve_debug.h"
#include "base/util/ve_layer.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_log_internal.h"
#include "db/catalog/db_table_access_internal.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_dbtune_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_user_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"

std::string db_log_table_name(const char *database, const char *owner)
{
    char name[DB_QUALIFIED_NAME_SIZE];
    if (db_make_logfiles_table_name(database, owner, name, sizeof(name)) != 0)
        return {};
    return name;
}

std::string db_log_data_table_name(const char *database, const char *owner)
{
    char name[DB_QUALIFIED_NAME_SIZE];
    if (db_make_logfile_data_table_name(database, owner, name, sizeof(name)) != 0)
        return {};
    return name;
}

std::string db_log_function_name(const char *database, const char *owner)
{
    std::string table = db_log_table_name(database, owner);
    return table.empty() ? table : table + "_nextval";
}

static std::string S_current_user()
{
    char user[DB_USER_NAME_SIZE];
    DB_instance_get_current_user(nullptr, user);
    user[sizeof(user) - 1] = '\0';
    return user;
}

// ---- creation -------------------------------------------------------------------

// Appends a storage clause when the store has rows for the keyword or its
// defaults and the clause is set.
static std::string S_with_clause(std::string sql, const DBTUNE_LOGFILE_CONFIG &config,
                                 const char *clause)
{
    if (config.counter > 0 && clause[0] != '\0')
        sql += clause;
    return sql;
}

// Reports a failed step on standard error with the connection's diagnostic;
// gives -288.
static int32_t S_creation_failure(const char *format, const std::string &object, int32_t rc)
{
    fprintf(stderr, format, object.c_str(), rc);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    fprintf(stderr, "DBMS error code: %d\n%s\n%s\n", xerr.native_error, xerr.message, xerr.text);
    return ZE_LOG_TABLES_FAILED;
}

// One committed DDL step: 0 on success or on the tolerated code.
static int32_t S_ddl_step(const std::string &sql, int32_t tolerated)
{
    int32_t rc = db_execute_ddlsql(sql.c_str(), 1, 1);
    if (rc == SQL_SUCCESS_WITH_INFO || rc == tolerated)
        return ZE_SUCCESS;
    return rc;
}

static int32_t S_tables_create()
{
    const std::string user = S_current_user();
    if (user.empty())
        return ZE_INVALID_ARGUMENT;
    const std::string keyword = "LOGFILE_" + user;
    DBTUNE_LOGFILE_CONFIG config;
    int32_t rc = db_read_logfile_storage_config(&config, keyword.c_str());
    if (rc != 0)
        return rc;
    if (config.counter < 1)
        VES_print_debug(stderr,
                        "Warning: DBTUNE file does not contain either LOGFILE_DEFAULTS or %s "
                        "keywords. ZEL logfile system tables will be created using DBMS default "
                        "values for user '%s'.\n",
                        keyword.c_str(), user.c_str());
    const std::string logs = db_log_table_name("", user.c_str());
    const std::string data = db_log_data_table_name("", user.c_str());
    const std::string function = db_log_function_name("", user.c_str());
    if (logs.empty() || data.empty())
        return ZE_INVALID_ARGUMENT;

    std::string sql =
        "CREATE TABLE " + logs +
        " (  logfile_name    VARCHAR(64) NOT NULL,  logfile_id      SERIAL  NOT NULL,  "
        "logfile_data_id INTEGER NOT NULL,  registration_id INTEGER NOT NULL,  flags           "
        "INTEGER NOT NULL,  session_tag     INTEGER NOT NULL,  PRIMARY KEY (logfile_id) "
        "CONSTRAINT " +
        user + "_zel_logfiles_pk,  UNIQUE (logfile_name) CONSTRAINT " + user +
        "_zel_logfiles_uk,  UNIQUE (logfile_data_id) CONSTRAINT " + user + "_zel_logfiles_uk2) ";
    rc = S_ddl_step(S_with_clause(sql, config, config.LF_STORAGE), ZE_TABLE_EXISTS);
    if (rc != 0)
        return S_creation_failure("Unable to create the %s table, error = %d.\n", logs, rc);

    sql = "CREATE TABLE " + data +
          " (  logfile_data_id INTEGER NOT NULL,  zel_row_id      INTEGER NOT NULL) ";
    rc = S_ddl_step(S_with_clause(sql, config, config.LD_STORAGE), ZE_TABLE_EXISTS);
    if (rc != 0)
        return S_creation_failure("Unable to create the %s table, error = %d.\n", data, rc);

    const std::string index1 = user + "_zel_logfile_data_idx1";
    sql = "CREATE INDEX " + index1 + " ON " + data + " (logfile_data_id)";
    rc = S_ddl_step(S_with_clause(sql, config, config.LD_INDEX_DATA_ID), ZE_INDEX_EXISTS);
    if (rc != 0)
        return S_creation_failure("Unable to create the %sj index, error = %d.\n", index1, rc);
    const std::string index2 = user + "_zel_logfile_data_idx2";
    sql = "CREATE INDEX " + index2 + " ON " + data + " (zel_row_id)";
    rc = S_ddl_step(S_with_clause(sql, config, config.LD_INDEX_ROWID), ZE_INDEX_EXISTS);
    if (rc != 0)
        return S_creation_failure("Unable to create the %s index, error = %d.\n", index2, rc);

    for (const std::string *table : {&logs, &data}) {
        rc = db_table_grant_sql(nullptr, 0, "SELECT", table->c_str(), "PUBLIC", 1, 0);
        if (rc != 0 && rc != SQL_SUCCESS_WITH_INFO && rc != ZE_TABLE_EXISTS)
            return S_creation_failure("Unable to GRANT SELECT ON %s TO PUBLIC, error = %d.\n",
                                      *table, rc);
    }

    sql = "CREATE FUNCTION " + function +
          "()                     RETURNING integer;                     DEFINE  nextval "
          "integer;                    INSERT INTO " +
          logs +
          " VALUES                     ('DUMMYDUMMY', 0, -1, -1, -1, -1);                     LET "
          "nextval = DBINFO('sqlca.sqlerrd1');                    DELETE FROM " +
          logs +
          "                     WHERE logfile_name = 'DUMMYDUMMY'  AND                           "
          "logfile_data_id = -1;                     RETURN nextval;                    END "
          "FUNCTION;";
    rc = db_execute_ddlsql(sql.c_str(), 1, 1);
    if (rc == ZE_TABLE_EXISTS)
        return rc;
    if (rc != 0 && rc != SQL_SUCCESS_WITH_INFO)
        return S_creation_failure("Unable to create the SPL%s , error = %d.\n", function, rc);
    return ZE_SUCCESS;
}

int32_t DB_log_system_tables_create(void)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY, S_tables_create);
}

// 1 when the text prepares on the connection (nothing is executed).
static bool S_prepares(const std::string &sql)
{
    CLI_STATEMENT cli;
    db_cli_init(&cli);
    const bool ok = db_cli_prepare(&cli, sql.c_str()) == 0;
    db_cli_free_last(&cli);
    return ok;
}

int32_t DB_log_system_tables_exist(void)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [] {
        const std::string user = S_current_user();
        const std::string logs = db_log_table_name("", user.c_str());
        const std::string data = db_log_data_table_name("", user.c_str());
        if (user.empty() || logs.empty() || data.empty())
            return ZE_TABLE_NOT_FOUND;
        if (!S_prepares("SELECT logfile_data_id FROM " + logs + " ") ||
            !S_prepares("SELECT logfile_data_id FROM " + data + " ") ||
            !S_prepares("EXECUTE FUNCTION " + db_log_function_name("", user.c_str()) + "() "))
            return ZE_TABLE_NOT_FOUND;
        return ZE_SUCCESS;
    });
}

// ---- grants ----------------------------------------------------------------------

// The grants on another user's logs are given by that user or by "zel".
static bool S_may_grant(const char *owner)
{
    const std::string user = S_current_user();
    return strcasecmp(user.c_str(), owner) == 0 ||
           DB_instance_user_is_zel_admin(nullptr, user.c_str());
}

// Grants (grant set) or revokes SELECT on the owner's two tables, and on a
// grant EXECUTE on the sequence function; each step only after the one
// before succeeded (or found the privilege given).
static int32_t S_owner_access(DB_INSTANCE *instance, const char *owner, const char *grantee,
                              bool grant)
{
    DB_instance_clear_xerr();
    int32_t rc = db_check_name(owner, DB_LOG_OWNER_SIZE);
    if (rc == ZE_SUCCESS)
        rc = db_check_name(grantee, DB_LOG_OWNER_SIZE); // both go into the statements as names
    if (rc != ZE_SUCCESS)
        return rc;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        if (!S_may_grant(owner))
            return ZE_LOG_NOT_INITIALISED;
        auto next = [](int32_t done) { return done == 0 || done == ZE_TABLE_EXISTS; };
        int32_t step = ZE_SUCCESS;
        for (const std::string &table :
             {db_log_table_name("", owner), db_log_data_table_name("", owner)}) {
            if (table.empty())
                return ZE_INVALID_ARGUMENT;
            if (next(step))
                step =
                    grant
                        ? DB_table_grant_access(instance, table.c_str(), VE_PRIV_SELECT, 0, grantee)
                        : DB_table_revoke_access(instance, table.c_str(), VE_PRIV_SELECT, grantee);
        }
        if (grant && next(step))
            step = db_grant_execute_routine(instance, db_log_function_name("", owner).c_str(),
                                            DB_ROUTINE_FUNCTION, grantee);
        return step == SQL_SUCCESS_WITH_INFO ? ZE_SUCCESS : step;
    });
}

int32_t DB_log_grant_access(DB_INSTANCE *instance, const char *owner, const char *grantee)
{
    return S_owner_access(instance, owner, grantee, true);
}

int32_t DB_log_revoke_access(DB_INSTANCE *instance, const char *owner, const char *grantee)
{
    return S_owner_access(instance, owner, grantee, false);
}
