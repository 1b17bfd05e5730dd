// Open log files (db_log.h): the per-process descriptors through which ids
// are added to a log, removed from it or read back. Ids are buffered 100 at
// a time and written as one parameter array (adds: an INSERT into the data
// table; removals: an UPDATE that moves the row to data id -1, an orphan) or
// read as rowsets of at most 100. Descriptors live in one list, newest first;
// their numbers count up from 1 for the life of the process.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_log_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"

static DB_LOGFILE_DESC *S_open_logs;
static int32_t S_last_number;

// ---- the list ------------------------------------------------------------------

DB_LOGFILE_DESC *db_log_find_descriptor(int32_t number)
{
    for (DB_LOGFILE_DESC *d = S_open_logs; d != nullptr; d = d->next)
        if (d->number == number)
            return d;
    return nullptr;
}

DB_LOGFILE_DESC *db_log_first_descriptor(void)
{
    return S_open_logs;
}

static void S_release(DB_LOGFILE_DESC *d)
{
    db_cli_free_last(&d->statement1);
    db_cli_free_last(&d->statement2);
    d->statement1_ready = 0;
    d->statement2_ready = 0;
}

void db_log_free_descriptors(void)
{
    while (S_open_logs != nullptr) {
        DB_LOGFILE_DESC *next = S_open_logs->next;
        S_release(S_open_logs);
        free(S_open_logs);
        S_open_logs = next;
    }
}

static void S_unlink(DB_LOGFILE_DESC *target)
{
    for (DB_LOGFILE_DESC **link = &S_open_logs; *link != nullptr; link = &(*link)->next)
        if (*link == target) {
            *link = target->next;
            return;
        }
}

using LogName = db_log_name;

// The descriptor open on the log of that name, or null.
static DB_LOGFILE_DESC *S_find_by_name(const LogName &name)
{
    for (DB_LOGFILE_DESC *d = S_open_logs; d != nullptr; d = d->next) {
        LogName open;
        if (open.parse(d->log.name) == 0 && open == name)
            return d;
    }
    return nullptr;
}

int32_t db_log_is_open(const char *name)
{
    if (!db_log_is_initialised() || name == nullptr)
        return 0;
    LogName parsed;
    if (parsed.parse(name) != 0)
        return 0;
    return S_find_by_name(parsed) != nullptr ? 1 : 0;
}

// ---- writing the buffer ------------------------------------------------------------

// Records a failed statement's diagnostic in the connection's record and
// releases the statement, so that the caller closes the descriptor.
static int32_t S_write_failure(DB_LOGFILE_DESC *d, CLI_STATEMENT *cli, int32_t *ready,
                               const CLI_DIAG_RECORD &diag)
{
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    if (xerr.code == 0) // a failed commit has filled it already
        db_set_xerr_from_diag(diag);
    db_cli_free_last(cli);
    *ready = 0;
    // The ids are dropped with the write: kept, they would be written later
    // as the other kind (a removal as an add) or overfill the buffer.
    d->buffered = 0;
    d->last_result = ZE_DBMS_ERROR;
    return ZE_DBMS_ERROR;
}

// Executes the buffered ids as one parameter array, committed.
static int32_t S_write(DB_LOGFILE_DESC *d, CLI_STATEMENT *cli, int32_t *ready)
{
    if (d->buffered > 0) {
        CLI_DIAG_RECORD diag;
        int rc = db_execute_stmt_diag(&cli->statement, d->buffered, DB_EXEC_ARRAY, &diag);
        if (rc != 0)
            return S_write_failure(d, cli, ready, diag);
        d->buffered = 0;
    }
    d->last_result = 0;
    return ZE_SUCCESS;
}

static int32_t S_flush_adds(DB_LOGFILE_DESC *d)
{
    if (d == nullptr)
        return ZE_INVALID_ARGUMENT;
    if (d->mode == DB_LOG_READ)
        return ZE_LOG_NOT_INITIALISED;
    if (!d->statement1_ready)
        return ZE_INVALID_LOG_DESCRIPTOR;
    if (d->pending != DB_LOG_PENDING_ADDS)
        return ZE_SUCCESS;
    return S_write(d, &d->statement1, &d->statement1_ready);
}

static int32_t S_flush_removals(DB_LOGFILE_DESC *d)
{
    if (d == nullptr)
        return ZE_INVALID_ARGUMENT;
    if (d->mode == DB_LOG_READ)
        return ZE_LOG_NOT_INITIALISED;
    if (d->pending != DB_LOG_PENDING_REMOVALS)
        return ZE_SUCCESS;
    int32_t rc = d->statement2_ready ? S_write(d, &d->statement2, &d->statement2_ready)
                                     : ZE_INVALID_LOG_DESCRIPTOR;
    d->pending = DB_LOG_PENDING_ADDS;
    return rc;
}

int32_t db_log_flush(DB_LOGFILE_DESC *d)
{
    int32_t rc = S_flush_adds(d);
    if (rc != 0)
        return rc;
    return S_flush_removals(d);
}

// ---- statements ----------------------------------------------------------------------

// Prepares a statement with one integer parameter bound to the id buffer.
static int32_t S_prepare_id_statement(DB_LOGFILE_DESC *d, CLI_STATEMENT *cli,
                                      const std::string &sql)
{
    db_cli_init(cli);
    if (db_cli_prepare(cli, sql.c_str()) != 0 ||
        db_cli_bind_by_pos(cli, SQL_C_LONG, SQL_INTEGER, 0, d->ids, 0, d->lengths) != 0) {
        db_cli_save_error(cli);
        db_cli_free_last(cli);
        return ZE_DBMS_ERROR;
    }
    return ZE_SUCCESS;
}

static std::string S_data_table(const LogName &name)
{
    return db_log_data_table_name(name.database, name.owner);
}

// ---- open and close ----------------------------------------------------------------

// Registration of a log opened for writing: completed from the host when the
// record has none, and the stored log's.
static int32_t S_check_registration(LOGFILE *log, const LOGFILE &stored)
{
    if (log->registration_id == 0) {
        int32_t rc = db_log_complete_registration(log);
        if (rc != 0)
            return rc;
    }
    return log->registration_id == stored.registration_id ? ZE_SUCCESS
                                                          : ZE_LOG_REGISTRATION_MISMATCH;
}

// 1 when the caller's table names the stored log's table.
static bool S_same_table(const char *given, const char *stored)
{
    if (stored[0] == '\0')
        return true; // the stored log's registration is unknown: nothing to compare
    char d1[DB_LOG_DATABASE_SIZE], o1[DB_LOG_OWNER_SIZE], t1[DB_LOG_BARE_SIZE];
    char d2[DB_LOG_DATABASE_SIZE], o2[DB_LOG_OWNER_SIZE], t2[DB_LOG_BARE_SIZE];
    char user[DB_USER_NAME_SIZE];
    DB_instance_get_current_user(nullptr, user);
    if (db_parse_table_name(nullptr, given, user, d1, o1, t1) != 0 ||
        db_parse_table_name(nullptr, stored, user, d2, o2, t2) != 0)
        return false;
    return strcmp(d1, d2) == 0 && strcmp(o1, o2) == 0 && strcmp(t1, t2) == 0;
}

static int32_t S_open(DB_INSTANCE *instance, LOGFILE *log, int32_t mode, int32_t *number)
{
    log->name[sizeof(log->name) - 1] = '\0';
    log->table_name[sizeof(log->table_name) - 1] = '\0';
    LogName name;
    if (name.parse(log->name) != 0)
        return ZE_INVALID_ARGUMENT;
    const bool may_write = db_log_may_write(name.owner) != 0;

    LOGFILE stored;
    memset(&stored, 0, sizeof(stored));
    int32_t looked = DB_log_get_by_name(instance, log->name, &stored);
    if (looked != 0 && looked != ZE_LOG_NOT_FOUND)
        return looked;
    const bool found = looked == 0;
    if (found) {
        if (log->table_name[0] != '\0' && !S_same_table(log->table_name, stored.table_name))
            return ZE_LOG_EXISTS;
        db_log_copy_record(log, &stored);
    }

    // The refusals of each mode come first, in this order; the registration
    // completion only reads the host.
    int32_t rc = ZE_SUCCESS;
    switch (mode) {
    case DB_LOG_READ:
        if (!found)
            return looked;
        break;
    case DB_LOG_REPLACE:
        if (!may_write)
            return ZE_LOG_NOT_INITIALISED;
        if (found)
            rc = S_check_registration(log, stored);
        break;
    case DB_LOG_APPEND:
        if (!found)
            return looked;
        if (!may_write)
            return ZE_LOG_NOT_INITIALISED;
        rc = S_check_registration(log, stored);
        break;
    default: // DB_LOG_CREATE
        if (found)
            return ZE_LOG_EXISTS;
        if (!may_write)
            return ZE_LOG_NOT_INITIALISED;
        break;
    }
    if (rc != 0)
        return rc;

    // Nothing is written before the list is checked: a log open for writing
    // here is neither emptied nor appended to by a second descriptor.
    if (mode != DB_LOG_READ && S_find_by_name(name) != nullptr)
        return ZE_LOG_ALREADY_OPEN;
    // A reader sees what a writer of this process has buffered.
    for (DB_LOGFILE_DESC *d = S_open_logs; mode == DB_LOG_READ && d != nullptr; d = d->next) {
        LogName other;
        if (d->mode != DB_LOG_READ && other.parse(d->log.name) == 0 && other == name) {
            rc = db_log_flush(d);
            if (rc != 0)
                return rc;
        }
    }

    if (mode == DB_LOG_REPLACE && found)
        rc = db_log_renew_data_id(name.database, name.owner, log);
    else if (mode != DB_LOG_READ && mode != DB_LOG_APPEND)
        rc = DB_log_create(instance, log);
    if (rc != 0)
        return rc;

    auto *d = static_cast<DB_LOGFILE_DESC *>(calloc(1, sizeof(DB_LOGFILE_DESC)));
    if (d == nullptr)
        return ZE_OUT_OF_MEMORY;
    db_cli_init(&d->statement1);
    db_cli_init(&d->statement2);
    d->log = *log;
    d->mode = mode;
    if (mode != DB_LOG_READ) {
        std::string sql = "INSERT INTO " + S_data_table(name) +
                          " (logfile_data_id,zel_row_id)  VALUES (" + std::to_string(log->data_id) +
                          ", ?)";
        if (S_prepare_id_statement(d, &d->statement1, sql) != 0) {
            free(d);
            return ZE_DBMS_ERROR;
        }
        d->statement1_ready = 1;
    }
    d->number = ++S_last_number;
    d->next = S_open_logs;
    S_open_logs = d;
    *number = d->number;
    return ZE_SUCCESS;
}

int32_t DB_log_open(DB_INSTANCE *instance, LOGFILE *log, int32_t mode, int32_t *number)
{
    DB_instance_clear_xerr();
    if (!db_log_is_initialised())
        return ZE_LOG_NOT_INITIALISED;
    if (number == nullptr)
        return ZE_NULL_POINTER;
    *number = 0;
    if (log == nullptr)
        return ZE_NULL_POINTER;
    if (mode < DB_LOG_READ || mode > DB_LOG_CREATE)
        return ZE_INVALID_ARGUMENT;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_open(instance, log, mode, number); });
}

int32_t DB_log_close(DB_INSTANCE *, int32_t number)
{
    DB_instance_clear_xerr();
    if (!db_log_is_initialised())
        return ZE_LOG_NOT_INITIALISED;
    DB_LOGFILE_DESC *d = db_log_find_descriptor(number);
    if (d == nullptr)
        return ZE_INVALID_LOG_DESCRIPTOR;
    int32_t rc = d->mode != DB_LOG_READ ? db_log_flush(d) : ZE_SUCCESS;
    S_release(d);
    S_unlink(d);
    free(d);
    return rc;
}

int32_t DB_log_get_by_fdes(DB_INSTANCE *, int32_t number, LOGFILE *out)
{
    DB_instance_clear_xerr();
    if (!db_log_is_initialised())
        return ZE_LOG_NOT_INITIALISED;
    if (number == 0)
        return ZE_INVALID_LOG_DESCRIPTOR;
    if (out == nullptr)
        return ZE_INVALID_ARGUMENT;
    DB_LOGFILE_DESC *d = db_log_find_descriptor(number);
    if (d == nullptr)
        return ZE_INVALID_LOG_DESCRIPTOR;
    db_log_copy_record(out, &d->log);
    return ZE_SUCCESS;
}

// ---- moving ids ----------------------------------------------------------------------

// The checks shared by adds and removals: the write descriptor, or null with
// *rc set.
static DB_LOGFILE_DESC *S_writer(int32_t number, const int32_t *ids, int32_t count, int32_t *rc)
{
    *rc = ZE_SUCCESS;
    if (!db_log_is_initialised())
        *rc = ZE_LOG_NOT_INITIALISED;
    else if (ids == nullptr || count < 0)
        *rc = ZE_INVALID_ARGUMENT;
    DB_LOGFILE_DESC *d = *rc == 0 && number >= 1 ? db_log_find_descriptor(number) : nullptr;
    if (*rc == 0 && d == nullptr)
        *rc = ZE_INVALID_LOG_DESCRIPTOR;
    else if (*rc == 0 && d->mode == DB_LOG_READ)
        *rc = ZE_LOG_NOT_INITIALISED;
    else if (*rc == 0 && !d->statement1_ready)
        *rc = ZE_INVALID_LOG_DESCRIPTOR;
    return *rc == 0 ? d : nullptr;
}

// Buffers the ids above 0 as the pending kind, writing each full buffer.
static int32_t S_buffer_ids(DB_LOGFILE_DESC *d, const int32_t *ids, int32_t count, int32_t kind)
{
    for (int32_t i = 0; i < count; i++) {
        if (ids[i] <= 0)
            continue;
        if (d->buffered >= DB_LOG_ID_BUFFER || (d->buffered > 0 && d->pending != kind))
            return ZE_INVALID_LOG_DESCRIPTOR; // never past the buffer, never mixed kinds
        d->pending = kind;
        d->ids[d->buffered++] = ids[i];
        d->id_count++;
        if (d->buffered == DB_LOG_ID_BUFFER) {
            int32_t rc = kind == DB_LOG_PENDING_ADDS ? S_flush_adds(d) : S_flush_removals(d);
            if (rc != 0)
                return rc;
        }
    }
    d->last_result = 0;
    return ZE_SUCCESS;
}

int32_t DB_log_add_id_list(DB_INSTANCE *, int32_t number, const int32_t *ids, int32_t count)
{
    DB_instance_clear_xerr();
    int32_t rc;
    DB_LOGFILE_DESC *d = S_writer(number, ids, count, &rc);
    if (d == nullptr || count == 0)
        return rc;
    rc = S_flush_removals(d);
    if (rc != 0)
        return rc;
    return S_buffer_ids(d, ids, count, DB_LOG_PENDING_ADDS);
}

int32_t DB_log_delete_id_list(DB_INSTANCE *, int32_t number, const int32_t *ids, int32_t count)
{
    DB_instance_clear_xerr();
    int32_t rc;
    DB_LOGFILE_DESC *d = S_writer(number, ids, count, &rc);
    if (d == nullptr || count == 0)
        return rc;
    rc = S_flush_adds(d);
    if (rc != 0)
        return rc;
    if (!d->statement2_ready) {
        LogName name;
        rc = name.parse(d->log.name);
        if (rc != 0)
            return rc;
        rc = zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
            std::string sql = "UPDATE " + S_data_table(name) +
                              "  SET logfile_data_id = -1  WHERE logfile_data_id = " +
                              std::to_string(d->log.data_id) + " AND zel_row_id = ?";
            return S_prepare_id_statement(d, &d->statement2, sql);
        });
        if (rc != 0) {
            d->last_result = ZE_DBMS_ERROR;
            return rc;
        }
        d->statement2_ready = 1;
    }
    return S_buffer_ids(d, ids, count, DB_LOG_PENDING_REMOVALS);
}

// Fails a read: the diagnostic recorded, the statement released.
static int32_t S_read_failure(DB_LOGFILE_DESC *d)
{
    db_cli_save_error(&d->statement1);
    db_cli_free_last(&d->statement1);
    d->statement1_ready = 0;
    d->last_result = ZE_DBMS_ERROR;
    return ZE_DBMS_ERROR;
}

static int32_t S_start_read(DB_LOGFILE_DESC *d)
{
    LogName name;
    int32_t rc = name.parse(d->log.name);
    if (rc != 0)
        return rc;
    std::string sql = "SELECT DISTINCT zel_row_id  FROM " + S_data_table(name) +
                      "  WHERE logfile_data_id = " + std::to_string(d->log.data_id);
    db_cli_init(&d->statement1);
    if (db_cli_prepare(&d->statement1, sql.c_str()) != 0 ||
        db_cli_define_by_pos(&d->statement1, SQL_C_LONG, d->ids, sizeof(int32_t), d->lengths) !=
            0 ||
        db_cli_execute_stmt(&d->statement1, DB_LOG_ID_BUFFER) != 0)
        return S_read_failure(d);
    d->statement1_ready = 1;
    return ZE_SUCCESS;
}

// Sets the rows of the next fetch.
static int32_t S_set_rowset(DB_LOGFILE_DESC *d, int32_t rows)
{
    CLI_STATEMENT *cli = &d->statement1;
    if (cli->row_array_size == static_cast<SQLULEN>(rows))
        return ZE_SUCCESS;
    SQLRETURN rc = SQLSetStmtAttr(cli->statement, SQL_ATTR_ROW_ARRAY_SIZE,
                                  reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(rows)), 0);
    if (rc != SQL_SUCCESS) {
        db_cli_error(cli);
        return S_read_failure(d);
    }
    cli->row_array_size = static_cast<SQLULEN>(rows);
    return ZE_SUCCESS;
}

int32_t DB_log_get_id_list(DB_INSTANCE *, int32_t number, int32_t capacity, int32_t *ids,
                           int32_t *count)
{
    DB_instance_clear_xerr();
    if (!db_log_is_initialised())
        return ZE_LOG_NOT_INITIALISED;
    if (ids == nullptr || count == nullptr || capacity < 1)
        return ZE_INVALID_ARGUMENT;
    DB_LOGFILE_DESC *d = number != 0 ? db_log_find_descriptor(number) : nullptr;
    if (d == nullptr)
        return ZE_INVALID_LOG_DESCRIPTOR;
    *count = 0;
    if (d->mode != DB_LOG_READ)
        return ZE_LOG_NOT_INITIALISED;
    if (d->last_result != 0)
        return d->last_result;
    if (!d->statement1_ready) {
        int32_t rc = zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_start_read(d); });
        if (rc != 0)
            return rc;
    }
    int32_t delivered = 0;
    while (delivered < capacity) {
        int32_t rc = S_set_rowset(d, std::min(DB_LOG_ID_BUFFER, capacity - delivered));
        if (rc != 0)
            return rc;
        rc = db_cli_fetch(&d->statement1);
        // A success without a row is the end too: fetching again would
        // answer the same for ever.
        if (rc == 0 && db_cli_get_rows_fetched(&d->statement1) == 0)
            rc = ZE_NO_MORE_ROWS;
        if (rc == ZE_NO_MORE_ROWS) {
            db_cli_free_last(&d->statement1);
            d->statement1_ready = 0;
            d->last_result = ZE_NO_MORE_ROWS;
            *count = delivered;
            return ZE_NO_MORE_ROWS;
        }
        if (rc != 0)
            return S_read_failure(d);
        const SQLULEN fetched = std::min<SQLULEN>(db_cli_get_rows_fetched(&d->statement1),
                                                  static_cast<SQLULEN>(capacity - delivered));
        memcpy(ids + delivered, d->ids, fetched * sizeof(int32_t));
        delivered += static_cast<int32_t>(fetched);
        d->id_count += static_cast<int32_t>(fetched);
        d->buffered = static_cast<int32_t>(fetched);
        *count = delivered;
    }
    return ZE_SUCCESS;
}

int32_t db_log_add_ids_from_query(DB_INSTANCE *, int32_t number, const char *, const char *from,
                                  const char *where)
{
    DB_LOGFILE_DESC *d = number >= 1 ? db_log_find_descriptor(number) : nullptr;
    if (d == nullptr)
        return ZE_INVALID_LOG_DESCRIPTOR;
    if (d->mode == DB_LOG_READ)
        return ZE_LOG_NOT_INITIALISED;
    if (!d->statement1_ready)
        return ZE_INVALID_LOG_DESCRIPTOR;
    LogName name;
    int32_t rc = name.parse(d->log.name);
    if (rc != 0)
        return rc;
    const char *column =
        (d->log.flags & LOGINFO_LAYER) ? "VE_ROW_ID" : d->log.registration.rowid_column;
    if (column[0] == '\0')
        return ZE_NO_ROWID_COLUMN;
    // The table and column are names in the statement; FROM and WHERE are
    // SQL text the library's own callers assembled.
    if (db_check_name(column, sizeof(d->log.registration.rowid_column)) != 0 ||
        db_check_table_name(d->log.table_name) != 0)
        return ZE_INVALID_ARGUMENT;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        std::string sql = "INSERT INTO " + S_data_table(name) +
                          "  (logfile_data_id, zel_row_id)  SELECT  " +
                          std::to_string(d->log.data_id) + ", ";
        if (from != nullptr && from[0] != '\0')
            sql += std::string(d->log.table_name) + "." + column + " FROM " + from + " ";
        else
            sql += std::string(column) + " FROM " + d->log.table_name + " ";
        if (where != nullptr && where[0] != '\0')
            sql += std::string(" WHERE ") + where;
        int32_t executed = db_log_execute_sql(sql.c_str(), DB_EXEC_NO_COMMIT);
        return executed == ZE_LOG_NOT_FOUND ? ZE_SUCCESS : executed;
    });
}
