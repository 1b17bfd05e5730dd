// The CLI statement record (CLI_STATEMENT, db_cli_internal.h): prepare, bind and define
// by position, execute, fetch, the column description of the catalogue, and the
// one-shot statement, commit and rollback of this layer. Every CLI return other
// than SQL_SUCCESS is a failure here; its diagnostic is kept in the record
// until the caller copies it into an extended error record.
#include "db/core/db_cli_internal.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_search_pattern_internal.h"

// Prints the record's diagnostic under the operation's name (only with
// ZELVERBOSE set).
static void S_debug_diag(const char *operation, const CLI_STATEMENT *cli)
{
    VES_print_debug(stderr, "%s: %d, %s\n%s: %s\n", operation, static_cast<int>(cli->native_error),
                    cli->sqlstate, operation, cli->message);
}

// Reads the failure into the record, prints it and gives -51.
static int32_t S_fail(CLI_STATEMENT *cli, const char *operation)
{
    db_cli_error(cli);
    S_debug_diag(operation, cli);
    return ZE_DBMS_ERROR;
}

void db_cli_init(CLI_STATEMENT *cli)
{
    if (cli == nullptr)
        return;
    memset(cli, 0, sizeof *cli);
    cli->connection = db_connection()->hdbc;
    cli->diag_kind = SQL_HANDLE_DBC;
    cli->nts_indicator = SQL_NTS;
}

int32_t db_cli_allocate(CLI_STATEMENT *cli)
{
    if (cli == nullptr)
        return ZE_NULL_POINTER;
    if (cli->statement != SQL_NULL_HSTMT)
        return ZE_SUCCESS;
    SQLHSTMT statement = SQL_NULL_HSTMT;
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, cli->connection, &statement);
    if (rc != SQL_SUCCESS) {
        // A handle given with a warning is released: the record keeps none.
        if (rc == SQL_SUCCESS_WITH_INFO && statement != SQL_NULL_HSTMT)
            SQLFreeHandle(SQL_HANDLE_STMT, statement);
        cli->diag_kind = SQL_HANDLE_DBC;
        db_cli_error(cli);
        S_debug_diag("db_cli_allocate", cli);
        return rc;
    }
    cli->statement = statement;
    cli->diag_kind = SQL_HANDLE_STMT;
    return ZE_SUCCESS;
}

int32_t db_cli_prepare(CLI_STATEMENT *cli, const char *sql)
{
    if (cli == nullptr || sql == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = db_cli_allocate(cli);
    if (rc != ZE_SUCCESS)
        return rc;
    cli->diag_kind = SQL_HANDLE_STMT;
    if (SQLPrepare(cli->statement, (SQLCHAR *)sql, SQL_NTS) != SQL_SUCCESS) {
        db_cli_error(cli);
        return db_map_cli_prepare_sqlstate(cli->sqlstate);
    }
    cli->prepared = 1;
    return ZE_SUCCESS;
}

int32_t db_cli_is_prepared(const CLI_STATEMENT *cli)
{
    return cli != nullptr ? cli->prepared : 0;
}

SQLHSTMT db_cli_get_handle(const CLI_STATEMENT *cli)
{
    return cli != nullptr ? cli->statement : SQL_NULL_HSTMT;
}

int32_t db_cli_set_bind_position(CLI_STATEMENT *cli, int32_t n)
{
    if (cli == nullptr || n < 1)
        return 0;
    cli->next_param = n - 1;
    return 1;
}

int32_t db_cli_set_define_position(CLI_STATEMENT *cli, int32_t n)
{
    if (cli == nullptr || n < 1)
        return 0;
    cli->next_column = n - 1;
    return 1;
}

int32_t db_cli_bind_by_pos(CLI_STATEMENT *cli, SQLSMALLINT c_type, SQLSMALLINT sql_type,
                           SQLULEN column_size, SQLPOINTER buffer, SQLLEN buffer_length,
                           SQLLEN *indicator)
{
    if (cli == nullptr)
        return ZE_NULL_POINTER;
    cli->next_param++;
    if (indicator == nullptr)
        indicator = sql_type == SQL_CHAR || sql_type == SQL_VARCHAR ? &cli->nts_indicator
                                                                    : &cli->zero_indicator;
    SQLRETURN rc = SQLBindParameter(cli->statement, static_cast<SQLUSMALLINT>(cli->next_param),
                                    SQL_PARAM_INPUT, c_type, sql_type, column_size, 0, buffer,
                                    buffer_length, indicator);
    if (rc != SQL_SUCCESS)
        return S_fail(cli, "db_cli_bind_by_pos");
    return ZE_SUCCESS;
}

int32_t db_cli_define_by_pos(CLI_STATEMENT *cli, SQLSMALLINT c_type, SQLPOINTER buffer,
                             SQLLEN buffer_length, SQLLEN *length)
{
    if (cli == nullptr)
        return ZE_NULL_POINTER;
    if (length == nullptr) {
        // One cell cannot take the lengths of a rowset.
        if (cli->row_array_size > 1)
            return ZE_INVALID_ARGUMENT;
        length = &cli->column_length;
        cli->shared_length = 1;
    }
    cli->next_column++;
    SQLRETURN rc = SQLBindCol(cli->statement, static_cast<SQLUSMALLINT>(cli->next_column), c_type,
                              buffer, buffer_length, length);
    if (rc != SQL_SUCCESS)
        return S_fail(cli, "db_cli_define_by_pos");
    return ZE_SUCCESS;
}

int32_t db_cli_execute_stmt(CLI_STATEMENT *cli, int32_t n)
{
    if (cli == nullptr)
        return ZE_NULL_POINTER;
    const SQLULEN rows = n > 1 ? static_cast<SQLULEN>(n) : cli->row_array_size;
    if (rows > 1 && cli->shared_length)
        return ZE_INVALID_ARGUMENT;
    if (n > 1) {
        SQLRETURN rc =
            SQLSetStmtAttr(cli->statement, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)(SQLULEN)n,
                           0); // NOLINT(performance-no-int-to-ptr)
        if (rc == SQL_SUCCESS)
            rc = SQLSetStmtAttr(cli->statement, SQL_ATTR_ROWS_FETCHED_PTR, &cli->rows_fetched, 0);
        if (rc != SQL_SUCCESS)
            return S_fail(cli, "db_cli_execute_stmt:SQLSetStmtAttr");
        cli->row_array_size = rows;
    }
    if (SQLExecute(cli->statement) != SQL_SUCCESS)
        return S_fail(cli, "db_cli_execute_stmt");
    return ZE_SUCCESS;
}

int32_t db_cli_fetch(CLI_STATEMENT *cli)
{
    if (cli == nullptr)
        return ZE_NULL_POINTER;
    cli->next_column = 0;
    SQLRETURN rc = SQLFetchScroll(cli->statement, SQL_FETCH_NEXT, 0);
    if (rc == SQL_NO_DATA)
        return ZE_NO_MORE_ROWS;
    if (rc != SQL_SUCCESS)
        return S_fail(cli, "db_cli_fetch");
    return ZE_SUCCESS;
}

SQLULEN db_cli_get_rows_fetched(const CLI_STATEMENT *cli)
{
    return cli != nullptr ? cli->rows_fetched : 0;
}

int32_t db_cli_close_cursor(CLI_STATEMENT *cli)
{
    if (cli == nullptr)
        return ZE_NULL_POINTER;
    if (SQLFreeStmt(cli->statement, SQL_CLOSE) != SQL_SUCCESS) {
        db_cli_error(cli);
        return ZE_DBMS_ERROR;
    }
    db_cli_reset_positions(cli);
    return ZE_SUCCESS;
}

void db_cli_reset_positions(CLI_STATEMENT *cli)
{
    if (cli == nullptr)
        return;
    cli->next_param = 0;
    cli->next_column = 0;
    cli->rows_fetched = 0;
    cli->column_length = 0;
    cli->zero_indicator = 0;
    cli->nts_indicator = SQL_NTS;
    cli->prepared = 0;
    cli->shared_length = 0;
}

void db_cli_free(CLI_STATEMENT *cli)
{
    if (cli == nullptr || cli->statement == SQL_NULL_HSTMT)
        return;
    SQLRETURN rc = SQLFreeHandle(SQL_HANDLE_STMT, cli->statement);
    if (rc != SQL_SUCCESS) {
        VES_print_debug(stderr, "db_cli_free: %d\n", static_cast<int>(rc));
        return;
    }
    cli->statement = SQL_NULL_HSTMT;
    cli->row_array_size = 0;
    db_cli_reset_positions(cli);
}

void db_cli_free_last(CLI_STATEMENT *cli)
{
    db_cli_free(cli);
    if (cli != nullptr && cli->statement != SQL_NULL_HSTMT)
        db_cli_free(cli);
}

void db_cli_error(CLI_STATEMENT *cli)
{
    if (cli == nullptr)
        return;
    cli->native_error = 0;
    memset(cli->message, 0, sizeof cli->message);
    memset(cli->sqlstate, 0, sizeof cli->sqlstate);
    SQLHANDLE handle;
    if (cli->diag_kind == SQL_HANDLE_DBC)
        handle = cli->connection;
    else if (cli->diag_kind == SQL_HANDLE_STMT)
        handle = cli->statement;
    else {
        VES_print_debug(stderr, "db_cli_error: invalid SQL handle\n");
        return;
    }
    SQLSMALLINT message_length = 0;
    SQLGetDiagRec(cli->diag_kind, handle, 1, (SQLCHAR *)cli->sqlstate, &cli->native_error,
                  (SQLCHAR *)cli->message, sizeof cli->message, &message_length);
    // Whatever the driver wrote, both texts stay terminated inside their fields.
    cli->message[sizeof cli->message - 1] = '\0';
    cli->sqlstate[sizeof cli->sqlstate - 1] = '\0';
}

int32_t db_cli_sqlstate_is(const CLI_STATEMENT *cli, const char *sqlstate)
{
    if (cli == nullptr || sqlstate == nullptr)
        return 0;
    return strcmp(cli->sqlstate, sqlstate) == 0 ? 1 : 0;
}

static SQLSMALLINT S_text_length(const char *text)
{
    if (text == nullptr)
        return 0;
    const size_t length = strlen(text);
    return static_cast<SQLSMALLINT>(length > 32767 ? 32767 : length);
}

int32_t db_cli_describe_columns(CLI_STATEMENT *cli, const char *catalog, const char *owner,
                                const char *table, const char *column)
{
    if (cli == nullptr || table == nullptr)
        return ZE_NULL_POINTER;
    SQLRETURN rc = SQLColumns(cli->statement, (SQLCHAR *)catalog, S_text_length(catalog),
                              (SQLCHAR *)owner, S_text_length(owner), (SQLCHAR *)table,
                              S_text_length(table), (SQLCHAR *)column, S_text_length(column));
    if (rc != SQL_SUCCESS)
        return S_fail(cli, "db_cli_describe_columns");
    return ZE_SUCCESS;
}

// Column of the catalogue's column description that holds NULLABLE.
static const int32_t S_NULLABLE_COLUMN = 11;

int32_t db_cli_column_is_nullable(const char *catalog, const char *owner, const char *table,
                                  const char *column, int32_t *nullable)
{
    if (table == nullptr || column == nullptr || nullable == nullptr)
        return ZE_NULL_POINTER;
    CLI_STATEMENT cli;
    db_cli_init(&cli);
    SQLSMALLINT value = 0;
    // One column of one table is meant: the names are searched exactly, so a
    // '_' or '%' in them matches only itself.
    std::string owner_pattern, table_pattern, column_pattern;
    try {
        if (owner != nullptr)
            owner_pattern = db_exact_search_pattern(owner);
        table_pattern = db_exact_search_pattern(table);
        column_pattern = db_exact_search_pattern(column);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
    int32_t rc = db_cli_allocate(&cli);
    if (rc == ZE_SUCCESS)
        rc = db_cli_describe_columns(&cli, catalog,
                                     owner != nullptr ? owner_pattern.c_str() : nullptr,
                                     table_pattern.c_str(), column_pattern.c_str());
    if (rc == ZE_SUCCESS) {
        db_cli_set_define_position(&cli, S_NULLABLE_COLUMN);
        rc = db_cli_define_by_pos(&cli, SQL_C_SSHORT, &value, sizeof value, nullptr);
    }
    if (rc == ZE_SUCCESS)
        rc = db_cli_fetch(&cli);
    db_cli_free_last(&cli);
    if (rc != ZE_SUCCESS)
        return rc;
    if (value != SQL_NO_NULLS && value != SQL_NULLABLE)
        return ZE_FAILURE;
    *nullable = value;
    return ZE_SUCCESS;
}

int32_t db_odbc_execute_ddlsql(const char *sql, int32_t save_error, int32_t mode)
{
    if (sql == nullptr)
        return ZE_NULL_POINTER;
    CLI_STATEMENT cli;
    db_cli_init(&cli);
    int32_t allocated = db_cli_allocate(&cli);
    if (allocated != ZE_SUCCESS) {
        // The CLI's own code, as from db_cli_allocate; the record, when asked.
        if (save_error)
            db_cli_save_error(&cli);
        return allocated;
    }
    SQLRETURN rc = SQLExecDirect(cli.statement, (SQLCHAR *)sql, SQL_NTS);
    bool commit_failed = false;
    if (rc == SQL_SUCCESS && (mode == 1 || mode == 3)) {
        rc = SQLEndTran(SQL_HANDLE_DBC, cli.connection, SQL_COMMIT);
        cli.diag_kind = SQL_HANDLE_DBC;
        commit_failed = !SQL_SUCCEEDED(rc);
    }
    int32_t result;
    if (rc == SQL_ERROR || rc == SQL_SUCCESS_WITH_INFO) {
        db_cli_error(&cli);
        // No later commit may keep the statement whose commit failed.
        if (commit_failed)
            SQLEndTran(SQL_HANDLE_DBC, cli.connection, SQL_ROLLBACK);
        VES_print_debug(stderr, "db_odbc_execute_ddlsql: %d, %s\ndb_odbc_execute_ddlsql: %s\n",
                        static_cast<int>(cli.native_error), cli.sqlstate, cli.message);
        result = db_map_cli_ddl_sqlstate(cli.sqlstate);
        if (save_error)
            db_cli_save_error(&cli);
    } else if (rc == SQL_NO_DATA) {
        result = ZE_SUCCESS;
    } else {
        result = rc;
    }
    db_cli_free_last(&cli);
    return result;
}

static int32_t S_end_transaction(SQLSMALLINT completion, const char *operation)
{
    CLI_STATEMENT cli;
    db_cli_init(&cli);
    if (SQLEndTran(SQL_HANDLE_DBC, cli.connection, completion) != SQL_SUCCESS)
        return S_fail(&cli, operation);
    return ZE_SUCCESS;
}

int32_t db_odbc_commit(void)
{
    const int32_t rc = S_end_transaction(SQL_COMMIT, "db_odbc_commit");
    if (rc != ZE_SUCCESS) {
        // The transaction whose commit failed ends here, so that no later
        // commit keeps work its caller reports as lost.
        const DB_EXT_ERROR failure = db_global_xerr;
        SQLEndTran(SQL_HANDLE_DBC, db_connection()->hdbc, SQL_ROLLBACK);
        db_global_xerr = failure;
    }
    return rc;
}

int32_t db_odbc_rollback(void)
{
    return S_end_transaction(SQL_ROLLBACK, "db_odbc_rollback");
}

static void S_copy_error(DB_EXT_ERROR *xerr, const CLI_STATEMENT *cli)
{
    db_xerr_fill_fields(xerr, cli->native_error, cli->message, sizeof cli->message, cli->sqlstate,
                        sizeof cli->sqlstate);
}

void db_cli_save_error(const CLI_STATEMENT *cli)
{
    if (cli == nullptr)
        return;
    S_copy_error(&db_global_xerr, cli);
}

void db_cli_save_error_to(const CLI_STATEMENT *cli, DB_EXT_ERROR *xerr)
{
    if (cli == nullptr || xerr == nullptr)
        return;
    S_copy_error(xerr, cli);
}
