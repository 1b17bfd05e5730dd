// The process's one CLI environment and connection (DB_CONNECTION): connect
// with autocommit off and the driver capability check, disconnect, the one
// teardown of the handles, move to another database, read the current
// database, and the administrative database name.
#include "db/core/db_connect_internal.h"

#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "base/util/zel_errors.h"
#include "db/core/db_stmt_internal.h"

static DB_CONNECTION S_connection;

#define S_USER_NAME_SIZE 32

static SQLCHAR *S_text(const char *text)
{
    return reinterpret_cast<SQLCHAR *>(const_cast<char *>(text));
}

DB_CONNECTION *db_connection(void)
{
    return &S_connection;
}

const char *db_admin_database_configured(void)
{
    const char *env = getenv("ZEL_DATABASE");
    return env != nullptr ? env : DB_ADMIN_DATABASE_DEFAULT;
}

const char *db_admin_database_name(void)
{
    if (S_connection.admin_database[0] != '\0')
        return S_connection.admin_database;
    return db_admin_database_configured();
}

bool db_is_admin_database(const char *data_source, const char *admin)
{
    size_t n = strcspn(data_source, ";");
    return strlen(admin) == n && strncasecmp(data_source, admin, n) == 0;
}

// Reads the connection's diagnostic for rc into the connection-level record
// and gives the record back with code -51.
static CLI_DIAG_RECORD S_connection_failure(SQLRETURN rc)
{
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, nullptr, rc);
    db_set_xerr_from_diag(diag);
    diag.code = ZE_DBMS_ERROR;
    return diag;
}

// Frees the connection handle and clears its cell; the CLI's result.
static SQLRETURN S_free_dbc(void)
{
    SQLRETURN rc = SQLFreeHandle(SQL_HANDLE_DBC, S_connection.hdbc);
    if (rc == SQL_SUCCESS) {
        S_connection.hdbc = SQL_NULL_HDBC;
        S_connection.connected = false;
    }
    return rc;
}

// Frees the environment handle and clears its cell; the CLI's result.
static SQLRETURN S_free_env(void)
{
    SQLRETURN rc = SQLFreeHandle(SQL_HANDLE_ENV, S_connection.henv);
    if (rc == SQL_SUCCESS)
        S_connection.henv = SQL_NULL_HENV;
    return rc;
}

void db_connection_free_handles(void)
{
    if (S_connection.hdbc != SQL_NULL_HDBC) {
        if (S_connection.connected)
            SQLDisconnect(S_connection.hdbc);
        S_free_dbc();
    }
    if (S_connection.henv != SQL_NULL_HENV)
        S_free_env();
    // A handle the CLI refused to free is dropped all the same.
    S_connection.hdbc = SQL_NULL_HDBC;
    S_connection.henv = SQL_NULL_HENV;
    S_connection.connected = false;
}

void db_connection_release(void)
{
    if (S_connection.hdbc == SQL_NULL_HDBC && S_connection.henv == SQL_NULL_HENV)
        return;
    db_disconnect();
    db_connection_free_handles();
}

static const char S_CURSOR_BEHAVIOR_MESSAGE[] =
    "The data source closes cursors at commit; set CURSORBEHAVIOR=1 in its ODBC "
    "data source (the Informix driver's default, 0, closes them)";

// Whether the driver keeps the connection's cursors open across a commit; a
// driver that cannot tell is taken not to.
static bool S_cursors_kept_at_commit(void)
{
    SQLUSMALLINT behaviour = SQL_CB_CLOSE;
    SQLRETURN rc = SQLGetInfo(S_connection.hdbc, SQL_CURSOR_COMMIT_BEHAVIOR, &behaviour,
                              sizeof(behaviour), nullptr);
    return SQL_SUCCEEDED(rc) && behaviour == SQL_CB_PRESERVE;
}

CLI_DIAG_RECORD db_connect(const char *user, const char *password, char *database,
                           size_t database_size)
{
    CLI_DIAG_RECORD diag;
    memset(&diag, 0, sizeof(diag));
    if (user == nullptr || password == nullptr || database == nullptr || database_size == 0) {
        diag.code = ZE_NULL_POINTER;
        return diag;
    }
    if (database[0] == '\0') {
        // A cut name would reach another database than the catalogue names.
        if (strlen(db_admin_database_configured()) > DB_ADMIN_DATABASE_NAME_MAX) {
            diag.code = ZE_INVALID_ARGUMENT;
            return diag;
        }
        snprintf(database, database_size, "%s", db_admin_database_configured());
    } else if (strcmp(database, DB_NULL_DATABASE) == 0) {
        snprintf(database, database_size, "%s", db_admin_database_name());
    } else if (!db_is_admin_database(database, db_admin_database_name())) {
        diag.code = ZE_NOT_ADMIN_DATABASE;
        return diag;
    }

    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &S_connection.henv);
    // Drivers report the ODBC 2 SQLSTATEs that the mapping tables know.
    if (SQL_SUCCEEDED(rc))
        rc = SQLSetEnvAttr(S_connection.henv, SQL_ATTR_ODBC_VERSION,
                           reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC2), 0);
    if (!SQL_SUCCEEDED(rc)) {
        fprintf(stderr, "db_connect (%s), Error allocating environment\n", database);
    } else {
        rc = SQLAllocHandle(SQL_HANDLE_DBC, S_connection.henv, &S_connection.hdbc);
        if (!SQL_SUCCEEDED(rc))
            fprintf(stderr, "db_connect (%s), Error allocating connection\n", database);
    }
    if (SQL_SUCCEEDED(rc)) {
        SQLRETURN arc = SQLSetConnectAttr(S_connection.hdbc, SQL_ATTR_AUTOCOMMIT,
                                          reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
        if (!SQL_SUCCEEDED(arc))
            fprintf(stderr, "db_connect (%s), Error setting SQL_AUTOCOMMIT option\n", database);
        S_connection.password = password;
        rc = SQLConnect(S_connection.hdbc, S_text(database), SQL_NTS, S_text(user), SQL_NTS,
                        S_text(password), SQL_NTS);
        if (SQL_SUCCEEDED(rc)) {
            S_connection.connected = true;
            diag.code = rc;
            DB_init(&diag);
            if (SQL_SUCCEEDED(diag.code) && !S_cursors_kept_at_commit()) {
                // Block scans, the DBTUNE migration and repeated execute and
                // fetch commit while a cursor is open: refused here, not lost
                // in the middle of a scan.
                fprintf(stderr, "%s\n", S_CURSOR_BEHAVIOR_MESSAGE);
                db_connection_release();
                memset(&diag, 0, sizeof(diag));
                diag.code = ZE_DBMS_ERROR;
                snprintf(diag.sqlstate, sizeof(diag.sqlstate), "%s", "HY000");
                snprintf(diag.message, sizeof(diag.message), "%s", S_CURSOR_BEHAVIOR_MESSAGE);
                db_set_xerr_from_diag(diag);
            }
            return diag;
        }
    }
    diag = S_connection_failure(rc);
    // A failed connect leaves no handle behind: a later connect starts afresh.
    db_connection_free_handles();
    return diag;
}

CLI_DIAG_RECORD db_disconnect(void)
{
    CLI_DIAG_RECORD diag;
    memset(&diag, 0, sizeof(diag));
    SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, S_connection.hdbc, SQL_COMMIT);
    if (rc != SQL_SUCCESS) {
        fprintf(stderr, "db_disconnect Commit Error (%d)\n", rc);
        return S_connection_failure(rc);
    }
    rc = SQLDisconnect(S_connection.hdbc);
    if (!SQL_SUCCEEDED(rc))
        return S_connection_failure(rc);
    S_connection.connected = false;
    rc = S_free_dbc();
    if (rc != SQL_SUCCESS)
        return S_connection_failure(rc);
    rc = S_free_env();
    if (rc != SQL_SUCCESS)
        return S_connection_failure(rc);
    return diag;
}

// Reads the literal prefix and suffix of the character type. 0, or the
// failing CLI return code with the statement's diagnostic in *diag.
static SQLRETURN S_read_literal_affixes(CLI_DIAG_RECORD *diag)
{
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    SQLLEN prefix_len = 0, suffix_len = 0;
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, S_connection.hdbc, &hstmt);
    if (SQL_SUCCEEDED(rc))
        rc = SQLGetTypeInfo(hstmt, SQL_VARCHAR);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindCol(hstmt, 4, SQL_C_CHAR, S_connection.literal_prefix,
                        sizeof(S_connection.literal_prefix), &prefix_len);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindCol(hstmt, 5, SQL_C_CHAR, S_connection.literal_suffix,
                        sizeof(S_connection.literal_suffix), &suffix_len);
    if (SQL_SUCCEEDED(rc)) {
        rc = SQLFetch(hstmt);
        if (!SQL_SUCCEEDED(rc))
            fprintf(stderr, "Error in determining driver's literal prefix and suffix\n");
    }
    if (SQL_SUCCEEDED(rc)) {
        db_free_stmt(&hstmt);
        // A NULL prefix or suffix leaves the buffer as it was: none.
        if (prefix_len == SQL_NULL_DATA)
            S_connection.literal_prefix[0] = '\0';
        if (suffix_len == SQL_NULL_DATA)
            S_connection.literal_suffix[0] = '\0';
        return 0;
    }
    db_get_diag_record(diag, &hstmt, rc);
    db_free_stmt(&hstmt);
    return rc;
}

int DB_init(CLI_DIAG_RECORD *diag)
{
    SQLSMALLINT level = 0;
    SQLRETURN rc =
        SQLGetInfo(S_connection.hdbc, SQL_ODBC_API_CONFORMANCE, &level, sizeof(level), nullptr);
    if (rc != SQL_SUCCESS) {
        fprintf(stderr, "Driver does not have required level 1 ODBC API support.\n");
        return ZE_DBMS_ERROR;
    }
    SQLUSMALLINT supported = SQL_FALSE;
    rc = SQLGetFunctions(S_connection.hdbc, SQL_API_SQLEXTENDEDFETCH, &supported);
    if (!SQL_SUCCEEDED(rc) || supported == SQL_FALSE) {
        fprintf(stderr,
                "Driver does not have required level 2 ODBC API function SQLDataSources.\n");
        return ZE_DBMS_ERROR;
    }
    rc = SQLGetInfo(S_connection.hdbc, SQL_ODBC_SQL_CONFORMANCE, &level, sizeof(level), nullptr);
    if (!SQL_SUCCEEDED(rc)) {
        fprintf(stderr, "Driver does not have required core ODBC grammar support.\n");
        return ZE_DBMS_ERROR;
    }
    SQLUINTEGER positioned = 0;
    rc = SQLGetInfo(S_connection.hdbc, SQL_POSITIONED_STATEMENTS, &positioned, sizeof(positioned),
                    nullptr);
    if (!SQL_SUCCEEDED(rc) || (positioned & SQL_PS_POSITIONED_UPDATE) == 0 ||
        (positioned & SQL_PS_SELECT_FOR_UPDATE) == 0) {
        fprintf(stderr, "Driver does not have required positioned statement ODBC support.\n");
        return ZE_DBMS_ERROR;
    }
    CLI_DIAG_RECORD scratch;
    if (diag == nullptr)
        diag = &scratch;
    rc = S_read_literal_affixes(diag);
    if (rc != 0) {
        fprintf(stderr, "DB_init error %ld\n", static_cast<long>(rc));
        db_set_xerr_from_diag(*diag);
        return ZE_DBMS_ERROR;
    }
    SQLUSMALLINT txn = 0;
    rc = SQLGetInfo(S_connection.hdbc, SQL_TXN_CAPABLE, &txn, sizeof(txn), nullptr);
    S_connection.initialised = 1;
    return rc;
}

int DB_connect(const char *user, const char *password)
{
    if (user == nullptr || password == nullptr) {
        fprintf(stderr, "Connection information is NULL, (DB_connect)\n");
        return ZE_DBMS_ERROR;
    }
    char database[DB_ADMIN_DATABASE_SIZE] = "";
    CLI_DIAG_RECORD diag = db_connect(user, password, database, sizeof(database));
    if (!SQL_SUCCEEDED(diag.code)) {
        fprintf(stderr, "DB_connect (db_connect) Error (%d)\n", diag.code);
        db_set_xerr_from_diag(diag);
        return ZE_DBMS_ERROR;
    }
    return 0;
}

int DB_disconnect(void)
{
    CLI_DIAG_RECORD diag = db_disconnect();
    if (diag.code != 0) {
        fprintf(stderr, "DB_disconnect (db_disconnect) Error (%d)\n", diag.code);
        db_set_xerr_from_diag(diag);
        return ZE_DBMS_ERROR;
    }
    return 0;
}

int DB_database_use(DB_INSTANCE *, const char *database)
{
    if (database == nullptr)
        return ZE_NULL_POINTER;
    char user[S_USER_NAME_SIZE] = "";
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, S_connection.hdbc, SQL_COMMIT);
    if (SQL_SUCCEEDED(rc))
        rc = SQLGetInfo(S_connection.hdbc, SQL_USER_NAME, user, sizeof(user), &length);
    if (SQL_SUCCEEDED(rc))
        rc = SQLDisconnect(S_connection.hdbc);
    if (SQL_SUCCEEDED(rc)) {
        S_connection.connected = false;
        rc = SQLConnect(S_connection.hdbc, S_text(database), SQL_NTS, S_text(user), SQL_NTS,
                        S_text(S_connection.password.c_str()), SQL_NTS);
    }
    if (SQL_SUCCEEDED(rc)) {
        S_connection.connected = true;
        return 0;
    }
    S_connection_failure(rc);
    return ZE_DBMS_ERROR;
}

void DB_database_get_current(DB_INSTANCE *, char *name)
{
    if (name == nullptr)
        return;
    SQLSMALLINT length = 0;
    SQLRETURN rc =
        SQLGetInfo(S_connection.hdbc, SQL_DATABASE_NAME, name, DB_DATABASE_NAME_SIZE, &length);
    if (rc != SQL_SUCCESS)
        S_connection_failure(rc);
}

int DB_database_list(DB_INSTANCE *instance, int32_t *count, char ***list)
{
    if (count == nullptr || list == nullptr)
        return ZE_NULL_POINTER;
    *count = 1;
    *list = static_cast<char **>(malloc(sizeof(char *)));
    if (*list == nullptr)
        return ZE_OUT_OF_MEMORY;
    (*list)[0] = static_cast<char *>(calloc(1, DB_DATABASE_NAME_SIZE));
    if ((*list)[0] == nullptr) {
        free(*list);
        *list = nullptr;
        return ZE_OUT_OF_MEMORY;
    }
    DB_database_get_current(instance, (*list)[0]);
    return 0;
}

int db_get_locale_env_name(char *out)
{
    if (out != nullptr)
        strcpy(out, "CLIENT_LOCALE");
    return 0;
}
