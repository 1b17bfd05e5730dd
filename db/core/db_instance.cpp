// The instance handle (db_instance.h): open and close of the process's
// instance, the process state an open keeps (callbacks, code-page copy,
// current handle, DBA password), the temporary views a close drops, the share
// lock on the release table, and the password and user checks of the hosts.
// An open that fails after connecting undoes the connection and everything it
// allocated, so a retry starts from a clean process.
#include "db/core/db_instance_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <time.h>

#include <memory>
#include <string>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_cache_internal.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_instance_user_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_trans.h"

#define S_DBA_DATABASE_SIZE 32 /* the administrator's data source: at most 31 characters */
#define S_SPATIAL_TYPE_SQL                                                                         \
    "SELECT count(*) FROM SYSBLDREGISTERED WHERE lower(BLD_ID) like  'spatial.8.%'"

static DB_INSTANCE *S_current;
static DB_INSTANCE_HOST S_host;
static VE_CODEPAGE *S_codepage;
static char S_dba_password[DB_INSTANCE_PASSWORD_SIZE];
static int32_t S_dba;

struct S_free_deleter {
    void operator()(void *block) const
    {
        free(block);
    }
};

static void S_free_codepage(void)
{
    db_identifier_codepage = nullptr;
    free(S_codepage);
    S_codepage = nullptr;
}

// Undoes an open that failed after its connect.
static int32_t S_fail_after_connect(int32_t rc)
{
    db_layer_cache_free(nullptr);
    S_free_codepage();
    db_connection_release();
    return rc;
}

static void S_install_callbacks(const DB_INSTANCE_OPEN_CONFIG *config)
{
    S_host.own_session = config->own_session;
    S_host.session_by_pid = config->session_by_pid;
    S_host.registration_by_name = config->registration_by_name;
    S_host.registration_by_id = config->registration_by_id;
}

int32_t DB_instance_open(const char *data_source, const char *user, const char *password,
                         const DB_INSTANCE_OPEN_CONFIG *config, DB_INSTANCE **out)
{
    if (out != nullptr)
        *out = nullptr;
    if (data_source == nullptr || user == nullptr || password == nullptr || config == nullptr ||
        config->codepage == nullptr || out == nullptr)
        return ZE_NULL_POINTER;
    std::unique_ptr<DB_INSTANCE, S_free_deleter> instance(
        static_cast<DB_INSTANCE *>(calloc(1, sizeof(DB_INSTANCE))));
    if (!instance)
        return ZE_OUT_OF_MEMORY;
    S_install_callbacks(config);

    char database[DB_INSTANCE_DATA_SOURCE_SIZE];
    snprintf(database, sizeof(database), "%s", data_source);
    database[strcspn(database, ";")] = '\0';
    const char *admin = db_admin_database_configured();
    if (strlen(admin) > DB_ADMIN_DATABASE_NAME_MAX)
        return ZE_INVALID_ARGUMENT;
    if (database[0] != '\0' && strcmp(database, DB_NULL_DATABASE) != 0 &&
        !db_is_admin_database(database, admin))
        return ZE_NOT_ADMIN_DATABASE;
    DB_CONNECTION *connection = db_connection();
    snprintf(connection->admin_database, sizeof(connection->admin_database), "%s", admin);

    // One environment and connection per process: a second open replaces the
    // first rather than stacking on it.
    db_connection_release();
    CLI_DIAG_RECORD diag = db_connect(user, password, database, sizeof(database));
    if (!SQL_SUCCEEDED(diag.code)) {
        // A driver check that failed after the connect still left a connection.
        db_connection_release();
        return db_map_connect_diag(&diag);
    }

    db_instance_set_current_user(user);
    S_free_codepage();
    S_codepage = static_cast<VE_CODEPAGE *>(malloc(sizeof(VE_CODEPAGE)));
    if (S_codepage == nullptr)
        return S_fail_after_connect(ZE_OUT_OF_MEMORY);
    memcpy(S_codepage, config->codepage, sizeof(VE_CODEPAGE));
    db_identifier_codepage = S_codepage;

    if (config->autocommit_interval != 0) {
        int32_t rc = DB_trans_set_autocommit(instance.get(), config->autocommit_interval);
        if (rc != 0)
            return S_fail_after_connect(rc);
    }
    if (config->layer_cache_size != 0) {
        int32_t rc = db_layer_cache_init(instance.get(), config->layer_cache_size);
        if (rc != 0)
            return S_fail_after_connect(rc);
    }

    S_host.layer_stamp = config->layer_stamp;
    S_host.allocate_id = config->allocate_id;
    instance->config = *config;
    S_current = instance.release();
    *out = S_current;

    db_execute_ddlsql("UPDATE STATISTICS FOR TABLE ZEL.states", 0, 1);
    db_execute_ddlsql("UPDATE STATISTICS FOR TABLE ZEL.state_lineages", 0, 1);
    VES_print_debug(stderr, "Instance initialized for %s . . .\n", user);
    return 0;
}

int32_t DB_instance_open_as_dba(const char *password, const DB_INSTANCE_OPEN_CONFIG *config,
                                DB_INSTANCE **out)
{
    // A password the kept copy cannot hold whole is refused before the login:
    // cut, its first 35 characters would pass the DBA check.
    if (password != nullptr && strlen(password) >= DB_INSTANCE_PASSWORD_SIZE) {
        if (out != nullptr)
            *out = nullptr;
        fprintf(stderr, "DBA password longer than %d characters refused\n",
                DB_INSTANCE_PASSWORD_SIZE - 1);
        return ZE_INVALID_DBA_PASSWORD;
    }
    char database[S_DBA_DATABASE_SIZE];
    snprintf(database, sizeof(database), "%s", db_admin_database_configured());
    int32_t rc = DB_instance_open(database, DB_ADMIN_USER, password, config, out);
    if (rc == ZE_INVALID_LOGIN)
        return ZE_INVALID_DBA_PASSWORD;
    if (rc != 0)
        return rc;
    snprintf(S_dba_password, sizeof(S_dba_password), "%s", password);
    S_dba = 1;
    return db_instance_check_spatial_type();
}

int32_t db_instance_check_spatial_type(void)
{
    CLI_STATEMENT cli;
    db_cli_init(&cli);
    std::unique_ptr<SQLLEN, S_free_deleter> cell(static_cast<SQLLEN *>(malloc(sizeof(SQLLEN))));
    if (!cell)
        return ZE_OUT_OF_MEMORY;
    int32_t count = 0;
    int32_t rc = db_cli_allocate(&cli);
    if (rc == 0)
        rc = db_cli_prepare(&cli, S_SPATIAL_TYPE_SQL);
    if (rc == 0)
        rc = db_cli_define_by_pos(&cli, SQL_C_LONG, &count, sizeof(count), cell.get());
    if (rc == 0)
        rc = db_cli_execute_stmt(&cli, 1);
    if (rc == 0)
        rc = db_cli_fetch(&cli);
    db_cli_free_last(&cli);
    if (rc != 0)
        return rc;
    if (count <= 0) {
        fprintf(stderr, "The Spatial 8.1 Datablade must be registered to the database.\n");
        return ZE_NO_SPATIAL_TYPE;
    }
    return 0;
}

int32_t db_instance_drop_temporary_views(DB_INSTANCE *instance)
{
    if (instance == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = 0;
    DB_INSTANCE_VIEW *node = instance->views;
    for (int32_t i = 0; i < instance->view_count; i++) {
        if (node == nullptr) {
            rc = ZE_FAILURE;
            break;
        }
        std::string sql = std::string("DROP VIEW ") + node->name + " CASCADE ";
        rc = db_execute_ddlsql(sql.c_str(), 1, 1);
        DB_INSTANCE_VIEW *next = node->next;
        free(node);
        node = next;
    }
    // Nodes beyond the count are not dropped, but not lost either.
    while (node != nullptr) {
        DB_INSTANCE_VIEW *next = node->next;
        free(node);
        node = next;
    }
    instance->views = nullptr;
    instance->view_count = 0;
    return rc;
}

int32_t DB_instance_close(DB_INSTANCE *instance)
{
    VES_print_debug(stderr, "In DB_close_instance...\n");
    if (instance == nullptr)
        return 0;
    db_instance_drop_temporary_views(instance);
    db_connection_release();
    db_layer_cache_free(instance);
    S_free_codepage();
    if (S_current == instance)
        S_current = nullptr;
    free(instance);
    return 0;
}

int32_t DB_instance_lock(DB_INSTANCE *instance)
{
    if (instance == nullptr)
        return ZE_NULL_POINTER;
    if (instance->config.no_version_lock)
        return 0;
    int32_t rc = db_execute_ddlsql("LOCK TABLE VERSION IN SHARE MODE", 0, DB_EXEC_NO_COMMIT);
    if (SQL_SUCCEEDED(rc))
        return 0;
    if (rc == SQL_NO_DATA || rc == ZE_TABLE_NOT_FOUND)
        return ZE_FAILURE;
    db_commit();
    return ZE_DBMS_ERROR;
}

int32_t DB_instance_check_password(const char *password)
{
    if (password == nullptr)
        return ZE_NULL_POINTER;
    return strchr(password, '@') != nullptr ? ZE_INVALID_LOGIN : 0;
}

int32_t DB_instance_check_dba_password(DB_INSTANCE *, const char *password)
{
    if (!S_dba)
        return ZE_FAILURE;
    if (password == nullptr)
        return ZE_INVALID_DBA_PASSWORD;
    // Whole: a longer text that begins with the kept password is another one.
    return strcmp(password, S_dba_password) == 0 ? 0 : ZE_INVALID_DBA_PASSWORD;
}

int32_t DB_instance_user_is_zel_admin(DB_INSTANCE *, const char *user)
{
    return user != nullptr && user[0] != '\0' && strcasecmp(user, DB_ADMIN_USER) == 0 ? 1 : 0;
}

int32_t DB_instance_get_real_user(void)
{
    return 0;
}

DB_INSTANCE *db_instance_get_current(void)
{
    return S_current;
}

const DB_INSTANCE_HOST *db_instance_get_host(void)
{
    return &S_host;
}

intptr_t db_instance_get_host_context(void)
{
    return S_current != nullptr ? S_current->config.host_context : 0;
}

const VE_CODEPAGE *db_instance_get_codepage(void)
{
    return S_codepage;
}

int32_t db_instance_layer_stamp(int32_t layer_id)
{
    if (S_host.layer_stamp != nullptr)
        return S_host.layer_stamp(db_instance_get_host_context(), layer_id);
    return static_cast<int32_t>(time(nullptr));
}
