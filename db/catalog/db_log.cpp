// Log files, catalogue side (db_log.h): the per-owner log table, data table
// and sequence function, the log rows (create, read, list, alter, delete),
// log names, the grants on an owner's logs, and the process's log state: the
// initialised flag, the process tag stored in temporary logs and the counter
// of generated names. The open descriptors are in db_log_open.cpp.
#include "db/catalog/db_log_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_layer_info.h"
#include "db/core/db_connect.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_internal.h"
#include "db/core/db_instance_user_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"

static int32_t S_initialised;
static int32_t S_tag;
static int32_t S_name_counter;

int32_t db_log_is_initialised(void)
{
    return S_initialised;
}

static std::string S_current_user()
{
    char user[DB_USER_NAME_SIZE];
    DB_instance_get_current_user(nullptr, user);
    user[sizeof(user) - 1] = '\0';
    return user;
}

// pid and start time fold into one 32-bit word: (pid % 10000) * 10000 +
// (time % 10000). The host's record of this process is preferred so that a
// later liveness check through the host compares like with like.
static int32_t S_make_session_tag()
{
    DB_HOST_SESSION *session = nullptr;
    uint32_t pid, start;
    if (db_instance_own_session(&session) == 0 && session != nullptr) {
        pid = static_cast<uint32_t>(session->process_id);
        start = static_cast<uint32_t>(session->start_time);
    } else {
        pid = static_cast<uint32_t>(getpid());
        start = static_cast<uint32_t>(time(nullptr));
    }
    return static_cast<int32_t>((pid % 10000) * 10000 + start % 10000);
}

// ---- names ------------------------------------------------------------------

int32_t db_log_parse_name(const char *name, const char *default_owner, char *database, char *owner,
                          char *bare)
{
    if (name == nullptr || database == nullptr || owner == nullptr || bare == nullptr)
        return ZE_INVALID_ARGUMENT;
    database[0] = owner[0] = bare[0] = '\0';
    std::string text(name);
    // Clients may separate the owner with any of these; the last one of the
    // first kind found stands for the '.'.
    for (char separator : {'\\', '|', ',', ';', '!', ' '}) {
        size_t at = text.rfind(separator);
        if (at != std::string::npos) {
            text[at] = '.';
            break;
        }
    }
    std::string fallback =
        default_owner != nullptr && default_owner[0] != '\0' ? default_owner : S_current_user();
    if (db_parse_table_name(nullptr, text.c_str(), fallback.c_str(), database, owner, bare) != 0 ||
        bare[0] == '\0' || db_check_name(owner, DB_LOG_OWNER_SIZE) != 0 ||
        (database[0] != '\0' && db_check_name(database, DB_LOG_DATABASE_SIZE) != 0)) {
        database[0] = owner[0] = bare[0] = '\0';
        return ZE_INVALID_ARGUMENT;
    }
    return ZE_SUCCESS;
}

int32_t db_log_may_write(const char *owner)
{
    std::string user = S_current_user();
    if (owner != nullptr && user == owner)
        return 1;
    return DB_instance_user_is_zel_admin(nullptr, user.c_str());
}

static int32_t S_make_name(DB_INSTANCE *, char *out)
{
    if (!S_initialised)
        return ZE_LOG_NOT_INITIALISED;
    if (out == nullptr)
        return ZE_NULL_POINTER;
    snprintf(out, DB_NAME_FULL_TABLE_SIZE, "'%s'.XX%.8d_%d", S_current_user().c_str(), S_tag,
             S_name_counter++);
    return ZE_SUCCESS;
}

int32_t DB_log_make_name(DB_INSTANCE *instance, char *out)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_make_name(instance, out); });
}

void db_log_copy_record(LOGFILE *target, const LOGFILE *source)
{
    if (target == source)
        return;
    char tag[sizeof(target->tag)];
    memcpy(tag, target->tag, sizeof(tag));
    memcpy(target, source, sizeof(LOGFILE));
    memcpy(target->tag, tag, sizeof(tag));
}

// ---- statements ---------------------------------------------------------------

int32_t db_log_execute_sql(const char *sql, int32_t mode)
{
    int32_t rc = db_execute_dml(sql, 0, mode);
    if (rc == SQL_NO_DATA)
        return ZE_LOG_NOT_FOUND;
    if (rc == ZE_NO_PERMISSIONS)
        return ZE_LOG_NOT_INITIALISED;
    if (rc == SQL_SUCCESS_WITH_INFO)
        return ZE_SUCCESS;
    return rc;
}

int32_t db_log_statement_failure(SQLHSTMT *hstmt, int rc)
{
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    if (xerr.code == 0) {
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, hstmt, rc);
        db_set_xerr_from_diag(diag);
    }
    return ZE_DBMS_ERROR;
}

int32_t db_log_next_value(const char *database, const char *owner, int32_t *value)
{
    std::string function = db_log_function_name(database, owner);
    if (function.empty() || value == nullptr)
        return ZE_INVALID_ARGUMENT;
    std::string sql = "{call " + function + "()}";
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    SQLINTEGER next = 0;
    SQLLEN indicator = 0;
    SQLULEN rows = 0;
    int rc = db_prepare_cursor(nullptr, &hstmt, sql.c_str(), 0);
    if (rc == 0)
        rc = SQLBindCol(hstmt, 1, SQL_C_LONG, &next, sizeof(next), &indicator);
    if (SQL_SUCCEEDED(rc)) {
        rc = db_execute_and_fetch(&hstmt, 1, 1, &rows);
        if (rc == 0 && indicator == SQL_NULL_DATA)
            rc = ZE_DBMS_ERROR;
    }
    if (rc != 0 && rc != SQL_SUCCESS_WITH_INFO)
        rc = db_log_statement_failure(&hstmt, rc);
    db_free_stmt(&hstmt);
    if (rc == ZE_DBMS_ERROR)
        return rc;
    *value = next;
    return ZE_SUCCESS;
}

int32_t db_log_renew_data_id(const char *database, const char *owner, LOGFILE *log)
{
    if (log == nullptr)
        return ZE_INVALID_ARGUMENT;
    int32_t value = 0;
    int32_t rc = db_log_next_value(database, owner, &value);
    if (rc != 0)
        return rc;
    std::string sql = "UPDATE " + db_log_table_name(database, owner) +
                      " SET logfile_data_id = " + std::to_string(value) +
                      " WHERE logfile_id = " + std::to_string(log->logfile_id);
    rc = db_log_execute_sql(sql.c_str(), DB_EXEC_NO_COMMIT);
    if (rc == 0)
        log->data_id = value;
    return rc;
}

// ---- reading log rows -----------------------------------------------------------

namespace
{

// One rowset of the log table's six columns, bound column-wise.
struct Rowset {
    char names[DB_LOG_ID_BUFFER][DB_LOG_BARE_SIZE];
    SQLLEN name_lengths[DB_LOG_ID_BUFFER];
    SQLINTEGER values[5][DB_LOG_ID_BUFFER]; // id, data id, registration id, flags, tag
    SQLLEN value_lengths[5][DB_LOG_ID_BUFFER];
};

struct ListFree {
    void operator()(LOGFILE *list) const
    {
        free(list);
    }
};

} // namespace

// The layer of a layer log: its id and spatial column.
static void S_fill_layer(LOGFILE *log)
{
    LAYER *layer = nullptr;
    if (DB_layer_get_info_by_table_name(db_instance_get_current(), nullptr, log->table_name,
                                        nullptr, log->registration.owner, &layer) == 0 &&
        layer != nullptr) {
        log->layer_id = layer->layer_id;
        snprintf(log->spatial_column, sizeof(log->spatial_column), "%.*s",
                 static_cast<int>(sizeof(layer->spatial_column) - 1), layer->spatial_column);
    }
}

// Completes a record read from the log table with its table's registration:
// lent by an earlier record of the same registration, else from the host.
static void S_fill_registration(LOGFILE *list, int32_t index)
{
    LOGFILE *log = &list[index];
    const bool layer_log = (log->flags & LOGINFO_LAYER) != 0;
    for (int32_t i = 0; i < index; i++) {
        const LOGFILE *earlier = &list[i];
        if (earlier->registration_id != log->registration_id)
            continue;
        log->registration = earlier->registration;
        memcpy(log->table_name, earlier->table_name, sizeof(log->table_name));
        if (layer_log && (earlier->flags & LOGINFO_LAYER)) {
            log->layer_id = earlier->layer_id;
            memcpy(log->spatial_column, earlier->spatial_column, sizeof(log->spatial_column));
        } else if (layer_log) {
            S_fill_layer(log);
        }
        return;
    }
    REGISTRATION registration;
    memset(&registration, 0, sizeof(registration));
    if (db_instance_registration_by_id(log->registration_id, &registration) != 0)
        return;
    registration.owner[sizeof(registration.owner) - 1] = '\0';
    registration.table_name[sizeof(registration.table_name) - 1] = '\0';
    log->registration = registration;
    snprintf(log->table_name, sizeof(log->table_name), "%s.%s", registration.owner,
             registration.table_name);
    if (layer_log)
        S_fill_layer(log);
}

static int32_t S_select_failure(CLI_STATEMENT *cli)
{
    db_cli_save_error(cli);
    db_cli_free_last(cli);
    return ZE_DBMS_ERROR;
}

int32_t db_log_select(const char *database, const char *owner, const char *where,
                      LOGFILE **list_out, int32_t *count_out)
{
    if (list_out == nullptr || count_out == nullptr)
        return ZE_INVALID_ARGUMENT;
    *list_out = nullptr;
    *count_out = 0;
    std::string table = db_log_table_name(database, owner);
    if (table.empty())
        return ZE_INVALID_ARGUMENT;
    std::string sql = "SELECT   logfile_name,  logfile_id,  logfile_data_id,  registration_id,  "
                      "flags,  session_tag  FROM " +
                      table + " ";
    if (where != nullptr && where[0] != '\0')
        sql += std::string(" WHERE ") + where;
    std::unique_ptr<Rowset> rowset(new (std::nothrow) Rowset());
    if (!rowset)
        return ZE_OUT_OF_MEMORY;

    CLI_STATEMENT cli;
    db_cli_init(&cli);
    if (db_cli_prepare(&cli, sql.c_str()) != 0)
        return S_select_failure(&cli);
    if (db_cli_define_by_pos(&cli, SQL_C_CHAR, rowset->names, DB_LOG_BARE_SIZE,
                             rowset->name_lengths) != 0)
        return S_select_failure(&cli);
    for (int k = 0; k < 5; k++)
        if (db_cli_define_by_pos(&cli, SQL_C_LONG, rowset->values[k], sizeof(SQLINTEGER),
                                 rowset->value_lengths[k]) != 0)
            return S_select_failure(&cli);
    if (db_cli_execute_stmt(&cli, DB_LOG_ID_BUFFER) != 0)
        return S_select_failure(&cli);

    std::unique_ptr<LOGFILE, ListFree> list;
    int32_t count = 0;
    for (;;) {
        int32_t rc = db_cli_fetch(&cli);
        if (rc == ZE_NO_MORE_ROWS)
            break;
        if (rc != 0)
            return S_select_failure(&cli);
        // A success without a row ends the rows as well: fetching again
        // would answer the same for ever.
        const SQLULEN fetched = std::min<SQLULEN>(db_cli_get_rows_fetched(&cli), DB_LOG_ID_BUFFER);
        if (fetched == 0)
            break;
        auto *grown = static_cast<LOGFILE *>(
            realloc(list.get(), (static_cast<size_t>(count) + fetched) * sizeof(LOGFILE)));
        if (grown == nullptr) {
            db_cli_free_last(&cli);
            return ZE_OUT_OF_MEMORY;
        }
        (void)list.release();
        list.reset(grown);
        for (SQLULEN row = 0; row < fetched; row++) {
            LOGFILE *log = &grown[count];
            memset(log, 0, sizeof(*log));
            const SQLLEN length = rowset->name_lengths[row];
            const int bare = length < 0                   ? 0
                             : length >= DB_LOG_BARE_SIZE ? DB_LOG_BARE_SIZE - 1
                                                          : static_cast<int>(length);
            snprintf(log->name, sizeof(log->name), "%s.%.*s", owner, bare, rowset->names[row]);
            log->logfile_id = rowset->values[0][row];
            log->data_id = rowset->values[1][row];
            log->registration_id = rowset->values[2][row];
            log->flags = static_cast<uint32_t>(rowset->values[3][row]);
            log->session_tag = rowset->values[4][row];
            S_fill_registration(grown, count);
            count++;
        }
    }
    db_cli_free_last(&cli);
    *list_out = list.release();
    *count_out = count;
    return ZE_SUCCESS;
}

// ---- the log rows -----------------------------------------------------------------

int32_t db_log_complete_registration(LOGFILE *log)
{
    if (log->registration_id != 0 && log->registration.registration_id != 0)
        return ZE_SUCCESS;
    REGISTRATION registration;
    memset(&registration, 0, sizeof(registration));
    int32_t rc = db_instance_registration_by_name(log->table_name, &registration);
    if (rc != 0)
        return rc;
    if (registration.registration_id == 0)
        return ZE_TABLE_NOT_FOUND;
    registration.database_name[sizeof(registration.database_name) - 1] = '\0';
    registration.owner[sizeof(registration.owner) - 1] = '\0';
    registration.table_name[sizeof(registration.table_name) - 1] = '\0';
    std::string database = registration.database_name;
    if (database.empty()) {
        char current[DB_DATABASE_NAME_SIZE] = "";
        DB_database_get_current(nullptr, current);
        current[sizeof(current) - 1] = '\0';
        database = current;
    }
    snprintf(log->table_name, sizeof(log->table_name), "%s:%s.%s", database.c_str(),
             registration.owner, registration.table_name);
    log->registration = registration;
    log->registration_id = registration.registration_id;
    return ZE_SUCCESS;
}

static int32_t S_create(DB_INSTANCE *instance, LOGFILE *log)
{
    if (!S_initialised)
        return ZE_LOG_NOT_INITIALISED;
    if (log == nullptr)
        return ZE_INVALID_ARGUMENT;
    char database[DB_LOG_DATABASE_SIZE], owner[DB_LOG_OWNER_SIZE], bare[DB_LOG_BARE_SIZE];
    log->name[sizeof(log->name) - 1] = '\0';
    if (db_log_parse_name(log->name, nullptr, database, owner, bare) != 0 ||
        strlen(bare) > DB_LOG_NAME_MAX)
        return ZE_INVALID_ARGUMENT;
    if (!db_log_may_write(owner))
        return ZE_LOG_NOT_INITIALISED;
    log->table_name[sizeof(log->table_name) - 1] = '\0';
    log->spatial_column[sizeof(log->spatial_column) - 1] = '\0';

    // Everything that can refuse the log is settled before an id is drawn.
    int32_t rc = db_log_complete_registration(log);
    if (rc != 0)
        return rc;
    log->registration_id = log->registration.registration_id;
    if ((log->flags & LOGINFO_TABLE) && log->registration.rowid_column[0] == '\0')
        return ZE_NO_ROWID_COLUMN;
    if ((log->flags & LOGINFO_LAYER) && (log->layer_id == 0 || log->spatial_column[0] == '\0')) {
        char layer_table[DB_QUALIFIED_NAME_SIZE];
        snprintf(layer_table, sizeof(layer_table), "%.31s.%.159s", log->registration.owner,
                 log->registration.table_name);
        LAYER *layer = nullptr;
        rc = DB_layer_get_info_by_table_name(instance, nullptr, layer_table, nullptr,
                                             log->registration.owner, &layer);
        if (rc != 0)
            return rc;
        if (layer == nullptr || layer->layer_id == 0)
            return ZE_TABLE_NOT_FOUND;
        log->layer_id = layer->layer_id;
        snprintf(log->spatial_column, sizeof(log->spatial_column), "%.*s",
                 static_cast<int>(sizeof(layer->spatial_column) - 1), layer->spatial_column);
    }

    int32_t id = 0;
    rc = db_log_next_value(database, owner, &id);
    if (rc != 0)
        return rc;
    const int32_t tag = (log->flags & LOGINFO_PERSISTENT) ? 0 : S_tag;
    std::string sql = "INSERT INTO " + db_log_table_name(database, owner) +
                      " (  logfile_name,  logfile_id,  logfile_data_id,  registration_id,  flags,"
                      "  session_tag) VALUES ('" +
                      db_quote_literal(bare) + "'," + std::to_string(id) + "," +
                      std::to_string(id) + "," + std::to_string(log->registration_id) + "," +
                      std::to_string(static_cast<int32_t>(log->flags)) + "," + std::to_string(tag) +
                      ")";
    rc = db_log_execute_sql(sql.c_str(), DB_EXEC_NO_COMMIT);
    if (rc != 0 && rc != ZE_TABLE_EXISTS)
        return rc;
    snprintf(log->name, sizeof(log->name), "%s:%s.%s", database, owner, bare);
    log->logfile_id = id;
    log->data_id = id;
    log->session_tag = tag;
    return ZE_SUCCESS;
}

int32_t DB_log_create(DB_INSTANCE *instance, LOGFILE *log)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_create(instance, log); });
}

int32_t db_log_delete_by_name(const char *name)
{
    if (db_log_is_open(name))
        return ZE_LOG_IS_OPEN;
    char database[DB_LOG_DATABASE_SIZE], owner[DB_LOG_OWNER_SIZE], bare[DB_LOG_BARE_SIZE];
    if (db_log_parse_name(name, nullptr, database, owner, bare) != 0)
        return ZE_INVALID_ARGUMENT;
    if (!db_log_may_write(owner))
        return ZE_LOG_NOT_INITIALISED;
    std::string sql = "DELETE FROM " + db_log_table_name(database, owner) +
                      " WHERE logfile_name = '" + db_quote_literal(bare) + "'";
    return db_log_execute_sql(sql.c_str(), DB_EXEC_NO_COMMIT);
}

static int32_t S_delete(DB_INSTANCE *, const char *name)
{
    if (name == nullptr || name[0] == '\0')
        return ZE_INVALID_ARGUMENT;
    if (!S_initialised)
        return ZE_LOG_NOT_INITIALISED;
    return db_log_delete_by_name(name);
}

int32_t DB_log_delete(DB_INSTANCE *instance, const char *name)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_delete(instance, name); });
}

static int32_t S_alter(DB_INSTANCE *, const LOGFILE *log)
{
    if (!S_initialised)
        return ZE_LOG_NOT_INITIALISED;
    if (log == nullptr)
        return ZE_INVALID_ARGUMENT;
    char name[DB_NAME_FULL_TABLE_SIZE];
    snprintf(name, sizeof(name), "%.*s", static_cast<int>(sizeof(name) - 1), log->name);
    char database[DB_LOG_DATABASE_SIZE], owner[DB_LOG_OWNER_SIZE], bare[DB_LOG_BARE_SIZE];
    if (db_log_parse_name(name, nullptr, database, owner, bare) != 0)
        return ZE_INVALID_ARGUMENT;
    if (!db_log_may_write(owner))
        return ZE_LOG_NOT_INITIALISED;
    std::string sql = "UPDATE " + db_log_table_name(database, owner) +
                      " SET  flags = " + std::to_string(static_cast<int32_t>(log->flags)) +
                      "  WHERE logfile_id = " + std::to_string(log->logfile_id);
    int32_t rc = db_log_execute_sql(sql.c_str(), DB_EXEC_NO_COMMIT);
    return rc == ZE_TABLE_EXISTS ? ZE_SUCCESS : rc;
}

int32_t DB_log_alter(DB_INSTANCE *instance, const LOGFILE *log)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_alter(instance, log); });
}

static int32_t S_get_by_name(DB_INSTANCE *, const char *name, LOGFILE *out)
{
    if (!S_initialised)
        return ZE_LOG_NOT_INITIALISED;
    if (name == nullptr || name[0] == '\0' || out == nullptr)
        return ZE_INVALID_ARGUMENT;
    char database[DB_LOG_DATABASE_SIZE], owner[DB_LOG_OWNER_SIZE], bare[DB_LOG_BARE_SIZE];
    if (db_log_parse_name(name, nullptr, database, owner, bare) != 0)
        return ZE_INVALID_ARGUMENT;
    std::string where = "logfile_name = '" + db_quote_literal(bare) + "'";
    LOGFILE *list = nullptr;
    int32_t count = 0;
    int32_t rc = db_log_select(database, owner, where.c_str(), &list, &count);
    if (rc == 0 && count == 0)
        rc = ZE_LOG_NOT_FOUND;
    if (rc == 0)
        db_log_copy_record(out, &list[0]);
    free(list);
    return rc;
}

int32_t DB_log_get_by_name(DB_INSTANCE *instance, const char *name, LOGFILE *out)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_get_by_name(instance, name, out); });
}

// The owner a list is for: the given one, else the current user; "" when the
// given one is no identifier.
static std::string S_list_owner(const char *owner)
{
    if (owner == nullptr || owner[0] == '\0')
        return S_current_user();
    if (db_check_name(owner, DB_LOG_OWNER_SIZE) != 0)
        return {};
    return owner;
}

static int32_t S_get_by_owner(DB_INSTANCE *, const char *owner, LOGFILE **list, int32_t *count)
{
    if (!S_initialised)
        return ZE_LOG_NOT_INITIALISED;
    if (list == nullptr || count == nullptr)
        return ZE_INVALID_ARGUMENT;
    *list = nullptr;
    *count = 0;
    std::string who = S_list_owner(owner);
    if (who.empty())
        return ZE_INVALID_ARGUMENT;
    return db_log_select("", who.c_str(), nullptr, list, count);
}

int32_t DB_log_get_by_owner(DB_INSTANCE *instance, const char *owner, LOGFILE **list,
                            int32_t *count)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_get_by_owner(instance, owner, list, count); });
}

static int32_t S_get_by_table(DB_INSTANCE *, const char *owner, const char *table, LOGFILE **list,
                              int32_t *count)
{
    if (!S_initialised)
        return ZE_LOG_NOT_INITIALISED;
    if (table == nullptr || table[0] == '\0' || list == nullptr || count == nullptr)
        return ZE_INVALID_ARGUMENT;
    *list = nullptr;
    *count = 0;
    std::string who = S_list_owner(owner);
    if (who.empty())
        return ZE_INVALID_ARGUMENT;
    REGISTRATION registration;
    memset(&registration, 0, sizeof(registration));
    int32_t rc = db_instance_registration_by_name(table, &registration);
    if (rc != 0)
        return rc;
    std::string where = "registration_id = " + std::to_string(registration.registration_id);
    return db_log_select("", who.c_str(), where.c_str(), list, count);
}

int32_t DB_log_get_by_table(DB_INSTANCE *instance, const char *owner, const char *table,
                            LOGFILE **list, int32_t *count)
{
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_get_by_table(instance, owner, table, list, count); });
}

// ---- the log system's start and end ----------------------------------------------------

// Deletes the current user's temporary logs whose process no longer answers
// with the start time folded into the log's tag.
static void S_delete_session_logs()
{
    std::string user = S_current_user();
    if (user.empty())
        return;
    LOGFILE *list = nullptr;
    int32_t count = 0;
    std::string where = "flags = " + std::to_string(DB_LOG_TEMPORARY_TABLE) +
                        " OR flags = " + std::to_string(DB_LOG_TEMPORARY_LAYER);
    if (db_log_select("", user.c_str(), where.c_str(), &list, &count) != 0)
        return;
    std::unique_ptr<LOGFILE, ListFree> owned(list);
    for (int32_t i = 0; i < count; i++) {
        const int32_t pid = list[i].session_tag / 10000;
        const int32_t time_part = list[i].session_tag % 10000;
        DB_HOST_SESSION *session = nullptr;
        if (db_instance_session_by_pid(pid, &session) == 0 && session != nullptr &&
            static_cast<uint32_t>(session->start_time) % 10000 == static_cast<uint32_t>(time_part))
            continue;
        std::string sql = "DELETE FROM " + db_log_table_name("", user.c_str()) +
                          " WHERE logfile_id = " + std::to_string(list[i].logfile_id);
        int32_t rc = db_log_execute_sql(sql.c_str(), DB_EXEC_NO_COMMIT);
        if (rc != 0 && rc != ZE_LOG_NOT_FOUND)
            break;
    }
}

int32_t DB_log_init(DB_INSTANCE *)
{
    DB_instance_clear_xerr();
    try {
        S_tag = S_make_session_tag();
        S_delete_session_logs();
    } catch (const std::bad_alloc &) {
        // The clean-up is best effort; the log system starts all the same.
    }
    S_initialised = 1;
    return ZE_SUCCESS;
}

int32_t DB_log_end(DB_INSTANCE *)
{
    DB_instance_clear_xerr();
    if (!S_initialised)
        return ZE_SUCCESS;
    try {
        std::string user = S_current_user();
        if (!user.empty()) {
            std::string logs = db_log_table_name("", user.c_str());
            std::string data = db_log_data_table_name("", user.c_str());
            std::string sql = "DELETE FROM " + logs +
                              " WHERE session_tag = " + std::to_string(S_tag) +
                              "  AND ( flags = " + std::to_string(DB_LOG_TEMPORARY_TABLE) +
                              " OR flags = " + std::to_string(DB_LOG_TEMPORARY_LAYER) + " ) ";
            db_execute_dml(sql.c_str(), 0, DB_EXEC_NO_COMMIT);
            sql = "DELETE FROM " + data + " b WHERE NOT EXISTS ( SELECT *  FROM   " + logs +
                  " a WHERE a.logfile_data_id = b.logfile_data_id)";
            db_execute_dml(sql.c_str(), 0, DB_EXEC_NO_COMMIT);
        }
    } catch (const std::bad_alloc &) {
        // Whatever was not deleted is swept by the next start or end.
    }
    db_log_free_descriptors();
    S_initialised = 0;
    return ZE_SUCCESS;
}
