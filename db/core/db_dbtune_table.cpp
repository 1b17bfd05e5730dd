// The DBTUNE table: its existence test and creation, and the import, export
// and load of the dbtune file. The table is not part of the catalogue
// creation: an import creates it when it is missing and replaces its whole
// contents with the file's. Table layout: keyword VARCHAR(32),
// parameter_name VARCHAR(32), config_string CHAR(2048), unique (keyword,
// parameter_name).
#include <sqlext.h>
#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_dbtune_internal.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"

#define S_TABLE_MISSING (ZE_SP_OFFSET + ZE_TABLE_NOT_FOUND)

int32_t DB_instance_has_dbs_tables(void)
{
    return ZE_TABLE_NOT_FOUND;
}

int32_t DB_instance_dbtune_table_exists(DB_INSTANCE *instance)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        char table[DB_QUALIFIED_NAME_SIZE];
        if (db_make_dbtune_table_name(instance, table, sizeof(table)) != 0)
            return ZE_FAILURE;
        std::string sql = std::string("SELECT keyword FROM ") + table;
        // A stream of its own takes the error, so the connection's record stays.
        auto stream = std::make_unique<DB_STREAM>();
        memset(stream.get(), 0, sizeof(DB_STREAM));
        SQLHSTMT h = SQL_NULL_HSTMT;
        int rc = db_prepare_cursor(db_stream_xerr(stream.get()), &h, sql.c_str(), 0);
        if (rc != 0) {
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, h != SQL_NULL_HSTMT ? &h : nullptr, rc);
            db_free_stmt(&h);
            if (strcmp(diag.sqlstate, "S0002") == 0)
                return ZE_TABLE_NOT_FOUND;
            if (strcmp(diag.sqlstate, "S0022") == 0)
                return ZE_COLUMN_NOT_FOUND;
            return ZE_FAILURE;
        }
        db_free_stmt(&h);
        db_commit();
        return ZE_SUCCESS;
    });
}

int32_t DB_instance_dbtune_table_create(DB_INSTANCE *instance, const char *,
                                        const DBTUNE_SYSTEM_CONFIG *config)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        char table[DB_QUALIFIED_NAME_SIZE];
        int32_t rc = db_make_dbtune_table_name(instance, table, sizeof(table));
        if (rc != 0)
            return rc;
        std::string sql = std::string("CREATE TABLE ") + table +
                          " (keyword VARCHAR(32) NOT NULL, parameter_name VARCHAR(32) NOT NULL, "
                          "config_string CHAR(2048), UNIQUE (keyword, parameter_name) "
                          "CONSTRAINT dbtune_uk)";
        if (config && config->counter >= DBTUNE_COUNTER_OWN && config->B_STORAGE[0] != '\0')
            sql.append(config->B_STORAGE, strnlen(config->B_STORAGE, DBTUNE_CLAUSE_SIZE));
        rc = db_execute_ddlsql(sql.c_str(), 1, 3);
        if (rc != 0 && rc != 1) {
            VES_print_debug(stderr,
                            "DB_instance_dbtune_table_create()::\n\t                     Error "
                            "creating dbtune table: %d\n",
                            rc);
            return rc;
        }
        sql = std::string("GRANT SELECT ON ") + table + " TO PUBLIC";
        rc = db_execute_ddlsql(sql.c_str(), 1, 1);
        if (rc != 0 && rc != 1) {
            VES_print_debug(
                stderr,
                "DB_instance_dbtune_table_create()::\n\t          Error GRANT permission "
                "on dbtune table to PUBLIC: %d\n",
                rc);
            return rc;
        }
        return ZE_SUCCESS;
    });
}

int32_t DB_instance_load_dbtune_table(DB_INSTANCE *instance, const char *file_name,
                                      int32_t load_option, int32_t)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        return db_copy_dbtune_FileToTable(instance, file_name, nullptr, load_option);
    });
}

int32_t DB_instance_export_dbtune(DB_INSTANCE *instance, const char *file_name)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        return db_copy_dbtune_TableToFile(instance, file_name, 0);
    });
}

int32_t DB_instance_import_dbtune(DB_INSTANCE *instance, const char *file_name, int32_t load_option)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        char procedure[DB_QUALIFIED_NAME_SIZE];
        int32_t rc =
            db_make_admin_object_name(instance, "truncate_dbtune", procedure, sizeof(procedure));
        if (rc != 0)
            return rc;
        std::string call = std::string("{ call ") + procedure + "( ) }";

        db_stmt_guard stmt;
        SQLHSTMT &h = stmt.h;
        SQLRETURN cli = SQLAllocHandle(SQL_HANDLE_STMT, db_connection()->hdbc, &h);
        if (!SQL_SUCCEEDED(cli))
            return cli;
        SQLINTEGER result = 0;
        SQLLEN result_len = 0;
        cli = SQLExecDirect(h, reinterpret_cast<SQLCHAR *>(const_cast<char *>(call.c_str())),
                            SQL_NTS);
        const bool ran = SQL_SUCCEEDED(cli);
        if (SQL_SUCCEEDED(cli))
            cli = SQLBindCol(h, 1, SQL_C_LONG, &result, sizeof(result), &result_len);
        if (SQL_SUCCEEDED(cli))
            cli = SQLFetch(h);
        if (!SQL_SUCCEEDED(cli)) {
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, &h, cli);
            db_set_xerr_from_diag(diag);
            // A truncation whose answer is lost is not kept: no later commit
            // may empty the table.
            if (ran)
                db_rollback();
            return ZE_DBMS_ERROR;
        }
        // The cursor of the procedure's result is done with before the load.
        SQLFreeStmt(h, SQL_CLOSE);
        if (result == 0) {
            rc = DB_instance_load_dbtune_table(instance, file_name, load_option, 1);
        } else if (result == S_TABLE_MISSING) {
            DBTUNE_SYSTEM_CONFIG *config = new (std::nothrow) DBTUNE_SYSTEM_CONFIG();
            if (config == nullptr)
                return ZE_OUT_OF_MEMORY;
            std::unique_ptr<DBTUNE_SYSTEM_CONFIG> owned(config);
            DB_read_system_tab_storage_config(instance, "DATA_DICTIONARY", "dbtune.zel", config);
            rc = DB_instance_dbtune_table_create(instance, file_name, config);
            if (rc != 0)
                return rc;
            rc = DB_instance_load_dbtune_table(instance, file_name, load_option, 0);
        } else {
            fprintf(stderr, "Error: Could not truncate DBTUNE Table: %d\n",
                    static_cast<int>(result));
            return db_dbtune_set_procedure_xerr(result, procedure);
        }
        if (rc != 0)
            db_rollback_transaction();
        return rc;
    });
}
