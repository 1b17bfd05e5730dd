// Transaction modes (db_trans.h). The modes are the connection's process
// state (DB_CONNECTION), without locks: each server process uses its one
// connection from one thread.
#include "db/core/db_trans_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>

#include "base/util/zel_errors.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_stmt_internal.h"

// Ends the connection's transaction; on anything but SQL_SUCCESS stores the
// connection's diagnostic, prints the operation's line and gives -51.
static int S_end_transaction(SQLSMALLINT completion, const char *failure_line)
{
    SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, db_connection()->hdbc, completion);
    if (rc == SQL_SUCCESS)
        return 0;
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, nullptr, rc);
    db_set_xerr_from_diag(diag);
    fprintf(stderr, failure_line, rc);
    return ZE_DBMS_ERROR;
}

int DB_trans_updt_start(DB_INSTANCE *)
{
    if (db_connection()->user_transaction)
        return 0;
    return S_end_transaction(SQL_COMMIT, "DB_start_updt_trans Commit Error (%d)\n");
}

int DB_trans_updt_commit(DB_INSTANCE *)
{
    if (db_connection()->user_transaction)
        return 0;
    return S_end_transaction(SQL_COMMIT, "DB_trans_updt_commit Commit Error (%d)\n");
}

int DB_trans_updt_rollback(DB_INSTANCE *)
{
    if (db_connection()->user_transaction || !db_connection()->initialised)
        return 0;
    return S_end_transaction(SQL_ROLLBACK, "DB_trans_updt_rollback Rollback Error (%d)\n");
}

int DB_trans_def_start(DB_INSTANCE *)
{
    if (db_connection()->user_transaction)
        return 0;
    return S_end_transaction(SQL_COMMIT, "DB_trans_def_start Commit Error (%d)\n");
}

int DB_trans_defwr_start(DB_INSTANCE *)
{
    if (db_connection()->user_transaction)
        return 0;
    return S_end_transaction(SQL_COMMIT, "DB_trans_defwr_start ExImmed Error (%d)\n");
}

int DB_trans_def_commit(DB_INSTANCE *)
{
    db_global_xerr.code = 0;
    if (db_connection()->user_transaction)
        return 0;
    return S_end_transaction(SQL_COMMIT, "DB_trans_def_commit Commit Error (%d)\n");
}

int DB_trans_user_start(DB_INSTANCE *instance)
{
    int rc = DB_trans_updt_start(instance);
    db_connection()->user_transaction = 1;
    db_connection()->autocommit_counter = 0;
    return rc;
}

int DB_trans_user_commit(DB_INSTANCE *instance)
{
    db_connection()->user_transaction = 0;
    int rc = DB_trans_updt_commit(instance);
    db_connection()->autocommit_counter = 0;
    return rc;
}

int DB_trans_user_rollback(DB_INSTANCE *instance)
{
    db_connection()->user_transaction = 0;
    int rc = DB_trans_updt_rollback(instance);
    db_connection()->autocommit_counter = 0;
    return rc;
}

int DB_trans_set_autocommit(DB_INSTANCE *, int32_t interval)
{
    SQLSetConnectAttr(db_connection()->hdbc, SQL_ATTR_AUTOCOMMIT,
                      reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
    db_connection()->autocommit_interval = interval;
    return 0;
}

int32_t db_trans_autocommit_due(void)
{
    // The counter runs only inside a user transaction.
    DB_CONNECTION *connection = db_connection();
    if (!connection->user_transaction)
        return 0;
    connection->autocommit_counter++;
    if (connection->autocommit_interval > 0 &&
        connection->autocommit_counter >= connection->autocommit_interval) {
        connection->autocommit_counter = 0;
        return 1;
    }
    return 0;
}

int DB_trans_auto_commit_control(DB_INSTANCE *)
{
    if (db_connection()->user_transaction && !db_trans_autocommit_due())
        return 0;
    return S_end_transaction(SQL_COMMIT, "DB_auto_commit_control Error (%d)\n");
}

int DB_trans_release_requests(DB_INSTANCE *)
{
    return db_commit() == SQL_SUCCESS ? 0 : ZE_DBMS_ERROR;
}

void DB_trans_set_rollback_notifier(DB_INSTANCE *, void *) {}

int DB_trans_set_compress_mode(DB_INSTANCE *, int32_t)
{
    return 0;
}

int32_t db_trans_in_user_transaction(void)
{
    return db_connection()->user_transaction;
}
