// State lists (db_state_lineage.h): an explicit set of state ids as a text
// to stand inside IN (...), made by the caller's formatter or, for a long
// list, as a SELECT of the ids put into a temporary log of the current user
// (db/catalog/db_log.h). The instance holds the log with the text it was
// made for, so that only the free of that text deletes it.
#include "db/version/db_state_lineage_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/util/ve_loginfo.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_log.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_sql_text_internal.h"

// The row-id column a state list log is kept under.
#define S_LOG_COLUMN "ZEL_STATE_ID"

static int32_t S_threshold = -1;

int32_t db_state_list_threshold(void)
{
    if (S_threshold < 0) {
        int value = 0;
        const char *text = getenv("ZELTHRESHOLD");
        if (text == nullptr || sscanf(text, "%d", &value) != 1 || value < 0)
            value = 0;
        S_threshold = value > DB_STATE_LIST_THRESHOLD_MAX ? DB_STATE_LIST_THRESHOLD_MAX : value;
    }
    return S_threshold;
}

void db_state_list_threshold_forget(void)
{
    S_threshold = -1;
}

// Deletes the instance's log; it stays held when the delete fails.
static int32_t S_drop_held_log(DB_INSTANCE *instance)
{
    if (!instance->state_log_held)
        return ZE_SUCCESS;
    int32_t rc = DB_log_delete(instance, instance->state_log.name);
    if (rc != ZE_SUCCESS)
        return rc;
    instance->state_log_held = 0;
    instance->state_log = DB_INSTANCE_STATE_LOG{};
    return ZE_SUCCESS;
}

// Puts the ids into a new temporary log; *log is the log as stored.
static int32_t S_fill_log(DB_INSTANCE *instance, const int32_t *ids, int32_t count, LOGFILE *log)
{
    memset(log, 0, sizeof(*log));
    memcpy(log->tag, LOGINFO_TAG, sizeof(log->tag));
    int32_t rc = DB_log_make_name(instance, log->name);
    if (rc != ZE_SUCCESS)
        return rc;
    // Not a registered table's log: its ids are state ids.
    log->flags = LOGINFO_TABLE;
    log->registration_id = -1;
    log->registration.registration_id = -1;
    snprintf(log->registration.rowid_column, sizeof(log->registration.rowid_column), "%s",
             S_LOG_COLUMN);
    int32_t number = 0;
    rc = DB_log_open(instance, log, DB_LOG_REPLACE, &number);
    if (rc != ZE_SUCCESS)
        return rc;
    rc = DB_log_add_id_list(instance, number, ids, count);
    if (rc == ZE_SUCCESS) {
        rc = DB_log_close(instance, number);
        if (rc == ZE_SUCCESS)
            return ZE_SUCCESS;
    }
    // A half-made log goes: closed (again, when the close failed) and
    // deleted; the caller sees the first failure.
    DB_log_close(instance, number);
    DB_log_delete(instance, log->name);
    return rc;
}

// The SELECT of a log's ids: each piece ends its line.
static int32_t S_log_text(const char *user, int32_t data_id, char **text)
{
    std::string data_table = std::string(user) + "_ZEL_LOGFILE_DATA";
    std::string data = std::to_string(data_id);
    SQL_TEXT_BUFFER sql;
    sql_string_init(&sql);
    int32_t rc = sql_string_append_list(&sql, "SELECT DISTINCT zel_row_id ", nullptr);
    if (rc == ZE_SUCCESS)
        rc = sql_string_append_list(&sql, "FROM ", data_table.c_str(), " ", nullptr);
    if (rc == ZE_SUCCESS)
        rc = sql_string_append_list(&sql, "WHERE ", data_table.c_str(),
                                    ".logfile_data_id = ", data.c_str(), nullptr);
    if (rc != ZE_SUCCESS) {
        sql_string_free(&sql);
        return rc;
    }
    *text = sql.text;
    return ZE_SUCCESS;
}

static int32_t S_long_list(DB_INSTANCE *instance, const int32_t *ids, int32_t count, char **text)
{
    if (instance == nullptr)
        return ZE_NULL_POINTER;
    // The user's name stands in the text unquoted.
    char user[DB_USER_NAME_SIZE] = "";
    DB_instance_get_current_user(instance, user);
    int32_t rc = db_check_name(user, sizeof(user));
    if (rc == ZE_SUCCESS)
        rc = S_drop_held_log(instance);
    if (rc != ZE_SUCCESS)
        return rc;
    LOGFILE log;
    rc = S_fill_log(instance, ids, count, &log);
    if (rc != ZE_SUCCESS)
        return rc;
    rc = S_log_text(user, log.data_id, text);
    if (rc != ZE_SUCCESS) {
        DB_log_delete(instance, log.name); // no text owns it
        return rc;
    }
    snprintf(instance->state_log.name, sizeof(instance->state_log.name), "%s", log.name);
    instance->state_log.text = *text;
    instance->state_log_held = 1;
    return ZE_SUCCESS;
}

ZEL_API int32_t DB_state_list_string(DB_INSTANCE *instance, const int32_t *ids, int32_t count,
                                     DB_STATE_LIST_FORMATTER formatter, char **text)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (text == nullptr || (ids == nullptr && count > 0))
            return ZE_NULL_POINTER;
        if (count < 0)
            return ZE_INVALID_ARGUMENT;
        if (count >= db_state_list_threshold() && count >= DB_STATE_LIST_LOG_MIN)
            return S_long_list(instance, ids, count, text);
        if (formatter == nullptr)
            return ZE_NULL_POINTER;
        return formatter(ids, count, text);
    });
}

ZEL_API int32_t DB_state_list_string_free(DB_INSTANCE *instance, char *text)
{
    bool owns_log = instance != nullptr && instance->state_log_held && text != nullptr &&
                    instance->state_log.text == text;
    free(text);
    if (!owns_log)
        return ZE_SUCCESS;
    instance->state_log.text = nullptr; // freed: it can own nothing any more
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_drop_held_log(instance); });
}
