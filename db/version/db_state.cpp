// State records (db_state.h): the STATES rows of the administrative database
// with their lineages from STATE_LINEAGES, read in blocks of 100 by the
// process's one scan or one at a time, the child and version tests, the
// registrations a set of states modified, and the raw insert of a STATES row.
// The record is base/util/ve_state.h, its lineage blob
// base/util/ve_lineage_internal.h.
#include "db/version/db_state_internal.h"

#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <string>
#include <vector>

#include "base/util/ve_debug.h"
#include "base/util/ve_lineage_internal.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/core/db_date_internal.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/version/db_version_stmt_internal.h"

#define S_LINEAGE_SQL                                                                              \
    "SELECT /*+AVOID_FULL(zel.state_lineages)*/ lineage_id FROM   zel.state_lineages WHERE  "      \
    "state_id = ? ORDER BY lineage_id"

namespace
{

// The process's one state scan.
struct Scan {
    DB_BLOCK_CURSOR cursor;
    DB_LINEAGE_READER lineage;
    bool lineage_open = false;
    uint8_t *handed_out = nullptr; // the blob of the last state delivered
};

Scan S_scan;

} // namespace

int32_t db_state_lineage_reader_open(DB_LINEAGE_READER *reader)
{
    *reader = DB_LINEAGE_READER{};
    if (db_open_cursor(nullptr, &reader->hstmt) != 0) {
        db_free_stmt(&reader->hstmt); // the open recorded its diagnostic
        return ZE_DBMS_ERROR;
    }
    return ZE_SUCCESS;
}

void db_state_lineage_reader_close(DB_LINEAGE_READER *reader)
{
    db_free_stmt(&reader->hstmt);
    *reader = DB_LINEAGE_READER{};
}

// Prepares the lineage query once per reader and binds its parameter, which
// stays bound across executes.
static SQLRETURN S_lineage_prepare(DB_LINEAGE_READER *reader)
{
    if (reader->prepared)
        return SQL_SUCCESS;
    SQLRETURN rc = static_cast<SQLRETURN>(db_prepare_stmt(nullptr, &reader->hstmt, S_LINEAGE_SQL));
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindParameter(reader->hstmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                              &reader->state_id, 0, nullptr);
    reader->prepared = SQL_SUCCEEDED(rc);
    return rc;
}

int32_t db_state_lineage_read(DB_LINEAGE_READER *reader, int32_t state_id, STATE *out)
{
    SQLRETURN rc = S_lineage_prepare(reader);
    if (SQL_SUCCEEDED(rc)) {
        reader->state_id = state_id;
        rc = SQLExecute(reader->hstmt);
    }
    if (!SQL_SUCCEEDED(rc)) {
        db_version_record(&reader->hstmt, rc);
        return ZE_DBMS_ERROR;
    }
    std::vector<int32_t> ids;
    int32_t result = db_version_fetch_ids(&reader->hstmt, &ids);
    SQLFreeStmt(reader->hstmt, SQL_CLOSE);
    if (result != ZE_SUCCESS)
        return result;
    if (ids.empty())
        return ZE_STATE_NOT_FOUND;
    // The last (largest) lineage id is the state itself.
    uint8_t *blob = nullptr;
    int32_t count = static_cast<int32_t>(ids.size()) - 1;
    result = ves_lineage_encode(ids.data(), count, &blob, nullptr);
    if (result != ZE_SUCCESS)
        return result;
    out->lineage = blob;
    out->lineage_length = count;
    return ZE_SUCCESS;
}

void db_state_fill(STATE *out, const DB_STATE_COLUMNS &row)
{
    memset(out, 0, sizeof(*out));
    memcpy(out->tag, STATE_TAG, sizeof(STATE_TAG));
    out->state_id = row.state_id;
    if (row.owner_length != SQL_NULL_DATA) {
        size_t n = strnlen(row.owner, sizeof(row.owner));
        if (row.owner_length >= 0 && static_cast<size_t>(row.owner_length) < n)
            n = static_cast<size_t>(row.owner_length);
        n = n < sizeof(out->owner) - 1 ? n : sizeof(out->owner) - 1;
        memcpy(out->owner, row.owner, n);
    }
    out->creation_time = static_cast<uint32_t>(db_sql_timestamp_to_time(&row.creation_time));
    if (row.closing_length != SQL_NULL_DATA)
        out->closing_time = static_cast<uint32_t>(db_sql_timestamp_to_time(&row.closing_time));
}

SQLRETURN db_state_bind_columns(SQLHSTMT hstmt, DB_STATE_COLUMNS *row, SQLUSMALLINT rowid_column)
{
    const struct {
        SQLUSMALLINT number;
        SQLSMALLINT c_type;
        void *value;
        SQLLEN size;
        SQLLEN *length;
    } columns[] = {
        {1, SQL_C_SLONG, &row->state_id, sizeof(row->state_id), &row->state_id_length},
        {2, SQL_C_CHAR, row->owner, sizeof(row->owner), &row->owner_length},
        {3, SQL_C_TIMESTAMP, &row->creation_time, sizeof(row->creation_time),
         &row->creation_length},
        {4, SQL_C_TIMESTAMP, &row->closing_time, sizeof(row->closing_time), &row->closing_length},
        {rowid_column, SQL_C_SLONG, &row->rowid, sizeof(row->rowid), &row->rowid_length},
    };
    for (const auto &c : columns) {
        SQLRETURN rc = SQLBindCol(hstmt, c.number, c.c_type, c.value, c.size, c.length);
        if (!SQL_SUCCEEDED(rc))
            return rc;
    }
    return SQL_SUCCESS;
}

// The administrative STATES table, admin:zel.states.
static std::string S_states(DB_INSTANCE *instance)
{
    char name[DB_QUALIFIED_NAME_SIZE] = "";
    db_make_states_table_name(instance, name, sizeof(name));
    return name;
}

// " FROM <table>" and the caller's condition: "WHERE" and the condition, or
// the blanks that stand for none.
static std::string S_from_clause(const std::string &table, const char *where)
{
    std::string sql = " FROM " + table;
    if (db_sql_is_blank(where)) {
        sql += "    ";
    } else {
        sql += " WHERE ";
        sql += where;
    }
    return sql;
}

// Scan.

static void S_scan_close(void)
{
    db_block_cursor_close(&S_scan.cursor);
    if (S_scan.lineage_open)
        db_state_lineage_reader_close(&S_scan.lineage);
    free(S_scan.handed_out);
    S_scan = Scan{};
}

static int32_t S_scan_open(DB_INSTANCE *instance, const char *where)
{
    // The client's condition is the statement's whole WHERE clause; it must
    // not end the statement or take in what follows it.
    if (!db_sql_parentheses_balance(where))
        return ZE_INVALID_ARGUMENT;
    free(S_scan.handed_out);
    S_scan.handed_out = nullptr;
    if (!S_scan.lineage_open) {
        int32_t rc = db_state_lineage_reader_open(&S_scan.lineage);
        if (rc != ZE_SUCCESS)
            return rc;
        S_scan.lineage_open = true;
    }
    std::string sql = "SELECT state_id, owner,creation_time,closing_time,ROWID" +
                      S_from_clause(S_states(instance), where);
    int32_t rc = db_block_cursor_open(
        &S_scan.cursor, sizeof(DB_STATE_COLUMNS), sql.c_str(), [](SQLHSTMT hstmt, void *first) {
            return db_state_bind_columns(hstmt, static_cast<DB_STATE_COLUMNS *>(first), 5);
        });
    if (rc != ZE_SUCCESS)
        S_scan_close();
    return rc;
}

static int32_t S_scan_next(STATE *out)
{
    void *row = nullptr;
    int32_t rc = db_block_cursor_next(&S_scan.cursor, &row);
    if (rc != ZE_SUCCESS) {
        if (rc != ZE_SCAN_NOT_STARTED)
            S_scan_close();
        return rc;
    }
    // Only the blob this scan handed out is freed: the record may hold a
    // pointer that the caller owns.
    free(S_scan.handed_out);
    S_scan.handed_out = nullptr;
    db_state_fill(out, *static_cast<const DB_STATE_COLUMNS *>(row));
    rc = db_state_lineage_read(&S_scan.lineage, out->state_id, out);
    if (rc == ZE_STATE_NOT_FOUND)
        return rc; // the next call goes on with the next state
    if (rc != ZE_SUCCESS) {
        S_scan_close();
        return rc;
    }
    S_scan.handed_out = out->lineage;
    return ZE_SUCCESS;
}

ZEL_API int32_t DB_state_scan(DB_INSTANCE *instance, int32_t mode, const char *where, STATE *out)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        return db_block_scan_step(
            mode, out != nullptr, S_scan_close,
            [&] {
                out->lineage = nullptr;
                return S_scan_open(instance, where);
            },
            [&] { return S_scan_next(out); });
    });
}

// One state.

int32_t db_state_get_by_where(DB_INSTANCE *instance, const char *where, STATE *out)
{
    std::string sql = "SELECT state_id, owner,creation_time,closing_time, ROWID FROM " +
                      S_states(instance) + " WHERE " + where;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int32_t rc = db_version_prepare(&hstmt, sql.c_str());
    if (rc != ZE_SUCCESS)
        return rc;
    DB_STATE_COLUMNS row{};
    SQLRETURN cli = db_state_bind_columns(hstmt, &row, 5);
    if (!SQL_SUCCEEDED(cli))
        rc = db_version_record(&hstmt, cli);
    else
        rc = db_version_execute_fetch(&hstmt);
    db_free_stmt(&hstmt);
    if (rc == DB_NO_MORE_DATA)
        return ZE_STATE_NOT_FOUND;
    if (rc != ZE_SUCCESS)
        return rc;
    STATE state;
    db_state_fill(&state, row);
    DB_LINEAGE_READER reader;
    rc = db_state_lineage_reader_open(&reader);
    if (rc != ZE_SUCCESS)
        return rc;
    rc = db_state_lineage_read(&reader, state.state_id, &state);
    db_state_lineage_reader_close(&reader);
    if (rc == ZE_SUCCESS)
        *out = state;
    return rc;
}

ZEL_API int32_t DB_state_get_by_id(DB_INSTANCE *instance, int32_t state_id, STATE *out)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (out == nullptr)
            return ZE_NULL_POINTER;
        return db_state_get_by_where(instance, ("state_id = " + std::to_string(state_id)).c_str(),
                                     out);
    });
}

// A state matching where exists: *flag 1 or 0; "not found" is an answer.
static int32_t S_exists(DB_INSTANCE *instance, const std::string &where, int32_t *flag)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (flag == nullptr)
            return ZE_NULL_POINTER;
        *flag = 0;
        STATE state;
        int32_t rc = db_state_get_by_where(instance, where.c_str(), &state);
        if (rc == ZE_SUCCESS) {
            free(state.lineage);
            *flag = 1;
        }
        return rc == ZE_STATE_NOT_FOUND ? ZE_SUCCESS : rc;
    });
}

ZEL_API int32_t DB_state_has_children(DB_INSTANCE *instance, int32_t state_id, int32_t *flag)
{
    // The root state is its own parent.
    std::string id = std::to_string(state_id);
    return S_exists(instance, "parent_state_id = " + id + " AND state_id <> " + id, flag);
}

ZEL_API int32_t DB_state_has_versions(DB_INSTANCE *instance, int32_t state_id, int32_t *flag)
{
    char versions[DB_QUALIFIED_NAME_SIZE] = "";
    db_make_versions_table_name(instance, versions, sizeof(versions));
    std::string id = std::to_string(state_id);
    return S_exists(instance,
                    "state_id IN (SELECT state_id FROM " + std::string(versions) +
                        " WHERE state_id = " + id + ")",
                    flag);
}

// Modified registrations.

// A list of state ids goes into the statement as it is: only digits, signs,
// commas and blanks may stand in it.
static bool S_is_id_list(const char *list)
{
    for (const char *p = list; *p != '\0'; p++)
        if (strchr("0123456789-+, \t", *p) == nullptr)
            return false;
    return true;
}

ZEL_API int32_t DB_state_list_get_modified_mvtables(DB_INSTANCE *instance, const char *,
                                                    const char *list, VE_BITMAP *bitmap)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        DB_instance_clear_xerr();
        if (list == nullptr || bitmap == nullptr)
            return ZE_NULL_POINTER;
        if (!S_is_id_list(list))
            return ZE_INVALID_ARGUMENT;
        if (db_sql_is_blank(list))
            return ZE_SUCCESS;
        char modified[DB_QUALIFIED_NAME_SIZE] = "";
        db_make_mvtables_modified_name(instance, modified, sizeof(modified));
        std::string sql = "SELECT registration_id FROM " + std::string(modified) +
                          " WHERE state_id IN (" + std::string(list) + ")";
        SQLHSTMT hstmt = SQL_NULL_HSTMT;
        int32_t rc = db_version_prepare(&hstmt, sql.c_str());
        if (rc == ZE_NO_PERMISSIONS) {
            DB_instance_clear_xerr(); // an empty or refused list modified nothing
            return ZE_SUCCESS;
        }
        if (rc != ZE_SUCCESS)
            return rc;
        SQLRETURN cli = SQLExecute(hstmt);
        if (!SQL_SUCCEEDED(cli))
            return db_version_fail(&hstmt, cli);
        std::vector<int32_t> ids;
        rc = db_version_fetch_ids(&hstmt, &ids);
        db_free_stmt(&hstmt);
        if (rc != ZE_SUCCESS)
            return rc;
        for (int32_t id : ids)
            if (id > 0)
                VES_Bitmap_Set(bitmap, id - 1, 1);
        db_commit_transaction();
        return ZE_SUCCESS;
    });
}

ZEL_API int32_t DB_state_get_modified_mvtables(DB_INSTANCE *instance, const STATE *state,
                                               VE_BITMAP *bitmap)
{
    if (state == nullptr)
        return ZE_NULL_POINTER;
    return DB_state_list_get_modified_mvtables(instance, nullptr,
                                               std::to_string(state->state_id).c_str(), bitmap);
}

ZEL_API int32_t DB_state_list_unflag_modified_mvtables(DB_INSTANCE *, const char *, const char *)
{
    return ZE_SUCCESS;
}

ZEL_API int32_t DB_state_unflag_modified_mvtables(DB_INSTANCE *instance, const STATE *state)
{
    if (state == nullptr)
        return ZE_NULL_POINTER;
    return DB_state_list_unflag_modified_mvtables(instance, state->owner,
                                                  std::to_string(state->state_id).c_str());
}

// The raw STATES insert.

// The values the failed insert sent, for the debug output.
static void S_dump_insert(const STATE *state, time_t now)
{
    struct tm local = {};
    char when[64] = "";
    if (localtime_r(&now, &local) != nullptr)
        asctime_r(&local, when);
    VES_print_debug(stderr, "state_id       = %d\n", state->state_id);
    VES_print_debug(stderr, "owner          = \"%.*s\"\n", static_cast<int>(sizeof(state->owner)),
                    state->owner);
    VES_print_debug(stderr, "creation_time  = %s", when);
    VES_print_debug(stderr, "closing_time   = %s", when);
    VES_print_debug(stderr, "parent_state   = 0\n");
}

ZEL_API int32_t DB_states_def_insert(DB_INSTANCE *instance, const STATE *state)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (state == nullptr)
            return ZE_NULL_POINTER;
        std::string sql = "INSERT INTO " + S_states(instance) +
                          "  (state_id,                 owner,                 creation_time,   "
                          "              closing_time,                 parent_state_id)      "
                          "VALUES (?, ?, ?, ?, ?)";
        SQLHSTMT hstmt = SQL_NULL_HSTMT;
        int32_t rc = db_version_prepare(&hstmt, sql.c_str());
        if (rc != ZE_SUCCESS) {
            VES_print_debug(stderr, "DB_state_def_insert ODBC parse error.\n");
            return rc;
        }
        time_t now = time(nullptr);
        DB_PARAMS params(hstmt);
        SQLRETURN cli = params.integer(state->state_id);
        if (SQL_SUCCEEDED(cli))
            cli = params.text(db_field_text(state->owner), sizeof(state->owner), true);
        if (SQL_SUCCEEDED(cli))
            cli = params.timestamp(now);
        if (SQL_SUCCEEDED(cli))
            cli = params.timestamp(now);
        if (SQL_SUCCEEDED(cli))
            cli = params.integer(0);
        if (!SQL_SUCCEEDED(cli))
            return db_version_fail(&hstmt, cli);
        // A failure is the caller's to see: a duplicate root leaves SQLSTATE
        // 23000 in the connection's record.
        rc = db_version_execute(&hstmt);
        if (rc != ZE_SUCCESS) {
            VES_print_debug(stderr, "DB_state_def_insert() ODBC Exec error (%d).\n", rc);
            S_dump_insert(state, now);
        }
        db_free_stmt(&hstmt);
        return rc;
    });
}

// Obsolete entry points.

ZEL_API int32_t DB_states_def_delete(DB_INSTANCE *, const int32_t *, int32_t)
{
    return db_version_obsolete("DB_states_def_delete");
}

ZEL_API int32_t DB_states_def_trim_lineage(DB_INSTANCE *, int32_t, int32_t, int32_t)
{
    return db_version_obsolete("DB_states_def_trim_lineage");
}

ZEL_API int32_t DB_states_def_update(DB_INSTANCE *, const STATE *)
{
    return db_version_obsolete("DB_states_def_update");
}
