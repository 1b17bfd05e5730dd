// The process's one CLI environment and connection: connect with autocommit
// off and the driver capability check, disconnect, move to another database,
// read the current database. The connection-level extended error record
// lives here beside the handles (db_connect_internal.h).
#include "db/core/db_connect_internal.h"

#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "base/util/zel_errors.h"
#include "db/core/db_stmt_internal.h"

SQLHENV db_henv = SQL_NULL_HENV;
SQLHDBC db_hdbc = SQL_NULL_HDBC;
char db_literal_prefix[DB_LITERAL_AFFIX_SIZE];
char db_literal_suffix[DB_LITERAL_AFFIX_SIZE];
int32_t db_initialised;
char db_admin_database[DB_ADMIN_DATABASE_SIZE];

// Password of the last connect, kept to reconnect to another database.
static std::string S_password;

#define S_NULL_DATABASE "null=database"
#define S_USER_NAME_SIZE 32

static SQLCHAR *S_text(const char *text)
{
    return reinterpret_cast<SQLCHAR *>(const_cast<char *>(text));
}

const char *db_admin_database_name(void)
{
    if (db_admin_database[0] != '\0')
        return db_admin_database;
    const char *env = getenv("ZEL_DATABASE");
    return env != nullptr ? env : DB_ADMIN_DATABASE_DEFAULT;
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

static void S_free_handles(void)
{
    if (db_hdbc != SQL_NULL_HDBC)
        SQLFreeHandle(SQL_HANDLE_DBC, db_hdbc);
    if (db_henv != SQL_NULL_HENV)
        SQLFreeHandle(SQL_HANDLE_ENV, db_henv);
    db_hdbc = SQL_NULL_HDBC;
    db_henv = SQL_NULL_HENV;
}

// The database part of a data source: the text before any ";".
static bool S_is_admin_database(const char *database)
{
    const char *admin = db_admin_database_name();
    size_t n = strcspn(database, ";");
    return strlen(admin) == n && strncasecmp(database, admin, n) == 0;
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
        const char *env = getenv("ZEL_DATABASE");
        snprintf(database, database_size, "%s", env != nullptr ? env : DB_ADMIN_DATABASE_DEFAULT);
    } else if (strcmp(database, S_NULL_DATABASE) == 0) {
        snprintf(database, database_size, "%s", db_admin_database_name());
    } else if (!S_is_admin_database(database)) {
        diag.code = ZE_NOT_ADMIN_DATABASE;
        return diag;
    }

    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &db_henv);
    // Drivers report the ODBC 2 SQLSTATEs that the mapping tables know.
    if (SQL_SUCCEEDED(rc))
        rc = SQLSetEnvAttr(db_henv, SQL_ATTR_ODBC_VERSION,
                           reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC2), 0);
    if (!SQL_SUCCEEDED(rc)) {
        fprintf(stderr, "db_connect (%s), Error allocating environment\n", database);
    } else {
        rc = SQLAllocHandle(SQL_HANDLE_DBC, db_henv, &db_hdbc);
        if (!SQL_SUCCEEDED(rc))
            fprintf(stderr, "db_connect (%s), Error allocating connection\n", database);
    }
    if (SQL_SUCCEEDED(rc)) {
        SQLRETURN arc = SQLSetConnectAttr(db_hdbc, SQL_ATTR_AUTOCOMMIT,
                                          reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
        if (!SQL_SUCCEEDED(arc))
            fprintf(stderr, "db_connect (%s), Error setting SQL_AUTOCOMMIT option\n", database);
        S_password = password;
        rc = SQLConnect(db_hdbc, S_text(database), SQL_NTS, S_text(user), SQL_NTS, S_text(password),
                        SQL_NTS);
        if (SQL_SUCCEEDED(rc)) {
            diag.code = rc;
            DB_init(&diag);
            return diag;
        }
    }
    diag = S_connection_failure(rc);
    // A failed connect leaves no handle behind: a later connect starts afresh.
    S_free_handles();
    return diag;
}

CLI_DIAG_RECORD db_disconnect(void)
{
    CLI_DIAG_RECORD diag;
    memset(&diag, 0, sizeof(diag));
    SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, db_hdbc, SQL_COMMIT);
    if (rc != SQL_SUCCESS) {
        fprintf(stderr, "db_disconnect Commit Error (%d)\n", rc);
        return S_connection_failure(rc);
    }
    rc = SQLDisconnect(db_hdbc);
    if (!SQL_SUCCEEDED(rc))
        return S_connection_failure(rc);
    rc = SQLFreeHandle(SQL_HANDLE_DBC, db_hdbc);
    if (rc != SQL_SUCCESS)
        return S_connection_failure(rc);
    db_hdbc = SQL_NULL_HDBC;
    rc = SQLFreeHandle(SQL_HANDLE_ENV, db_henv);
    if (rc != SQL_SUCCESS)
        return S_connection_failure(rc);
    db_henv = SQL_NULL_HENV;
    return diag;
}

// Reads the literal prefix and suffix of the character type. 0, or the
// failing CLI return code with the statement's diagnostic in *diag.
static SQLRETURN S_read_literal_affixes(CLI_DIAG_RECORD *diag)
{
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    SQLLEN prefix_len = 0, suffix_len = 0;
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, db_hdbc, &hstmt);
    if (SQL_SUCCEEDED(rc))
        rc = SQLGetTypeInfo(hstmt, SQL_VARCHAR);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindCol(hstmt, 4, SQL_C_CHAR, db_literal_prefix, sizeof(db_literal_prefix),
                        &prefix_len);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindCol(hstmt, 5, SQL_C_CHAR, db_literal_suffix, sizeof(db_literal_suffix),
                        &suffix_len);
    if (SQL_SUCCEEDED(rc)) {
        rc = SQLFetch(hstmt);
        if (!SQL_SUCCEEDED(rc))
            fprintf(stderr, "Error in determining driver's literal prefix and suffix\n");
    }
    if (SQL_SUCCEEDED(rc)) {
        db_free_stmt(&hstmt);
        // A NULL prefix or suffix leaves the buffer as it was: none.
        if (prefix_len == SQL_NULL_DATA)
            db_literal_prefix[0] = '\0';
        if (suffix_len == SQL_NULL_DATA)
            db_literal_suffix[0] = '\0';
        return 0;
    }
    db_get_diag_record(diag, &hstmt, rc);
    db_free_stmt(&hstmt);
    return rc;
}

int DB_init(CLI_DIAG_RECORD *diag)
{
    SQLSMALLINT level = 0;
    SQLRETURN rc = SQLGetInfo(db_hdbc, SQL_ODBC_API_CONFORMANCE, &level, sizeof(level), nullptr);
    if (rc != SQL_SUCCESS) {
        fprintf(stderr, "Driver does not have required level 1 ODBC API support.\n");
        return ZE_DBMS_ERROR;
    }
    SQLUSMALLINT supported = SQL_FALSE;
    rc = SQLGetFunctions(db_hdbc, SQL_API_SQLEXTENDEDFETCH, &supported);
    if (!SQL_SUCCEEDED(rc) || supported == SQL_FALSE) {
        fprintf(stderr,
                "Driver does not have required level 2 ODBC API function SQLDataSources.\n");
        return ZE_DBMS_ERROR;
    }
    rc = SQLGetInfo(db_hdbc, SQL_ODBC_SQL_CONFORMANCE, &level, sizeof(level), nullptr);
    if (!SQL_SUCCEEDED(rc)) {
        fprintf(stderr, "Driver does not have required core ODBC grammar support.\n");
        return ZE_DBMS_ERROR;
    }
    SQLUINTEGER positioned = 0;
    rc = SQLGetInfo(db_hdbc, SQL_POSITIONED_STATEMENTS, &positioned, sizeof(positioned), nullptr);
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
    rc = SQLGetInfo(db_hdbc, SQL_TXN_CAPABLE, &txn, sizeof(txn), nullptr);
    db_initialised = 1;
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
    SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, db_hdbc, SQL_COMMIT);
    if (SQL_SUCCEEDED(rc))
        rc = SQLGetInfo(db_hdbc, SQL_USER_NAME, user, sizeof(user), &length);
    if (SQL_SUCCEEDED(rc))
        rc = SQLDisconnect(db_hdbc);
    if (SQL_SUCCEEDED(rc))
        rc = SQLConnect(db_hdbc, S_text(database), SQL_NTS, S_text(user), SQL_NTS,
                        S_text(S_password.c_str()), SQL_NTS);
    if (SQL_SUCCEEDED(rc))
        return 0;
    S_connection_failure(rc);
    return ZE_DBMS_ERROR;
}

void DB_database_get_current(DB_INSTANCE *, char *name)
{
    if (name == nullptr)
        return;
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetInfo(db_hdbc, SQL_DATABASE_NAME, name, DB_DATABASE_NAME_SIZE, &length);
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
