// Metadata records (db_metadata.h): METADATA rows read by id and in the
// process's one scan, written through the catalogue routines
// insert_metadata, update_metadata and delete_metadata, and deleted by a
// query (db_metadata_internal.h). delete_metadata takes ten ids; longer
// selections are deleted ten at a time in one transaction. The record layout
// is in base/util/ve_metadata.h.
#include "db/catalog/db_metadata_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <string>
#include <vector>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_date_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"

#define S_COLUMNS                                                                                  \
    "SELECT record_id, object_name, object_owner, object_type, class_name, property, prop_value, " \
    "description, creation_date"
// The names the routines' failures are reported under.
#define S_INSERT_NAME "zel.metadata_util.insert_metadata"
#define S_UPDATE_NAME "zel.metadata_util.update_metadata"

namespace
{

// One fetched row: the record, its creation date and the length cells of
// the columns with a NULL rule (the others share one that is never read).
struct Row {
    METADATA record;
    SQL_TIMESTAMP_STRUCT created;
    SQLLEN class_length, property_length, value_length, description_length, created_length;
    SQLLEN shared_length;
};

// The process's one scan.
struct Scan {
    bool open = false;
    CLI_STATEMENT cli{};
    Row row{};
};

Scan S_scan;

} // namespace

// Fills the connection's record for a read that found no row. Returns -51.
static int32_t S_no_row(const char *what)
{
    db_xerr_clear(&db_global_xerr);
    db_global_xerr.code = ZE_DBMS_ERROR;
    snprintf(db_global_xerr.message, sizeof(db_global_xerr.message), "%s: no METADATA row", what);
    return ZE_DBMS_ERROR;
}

static int32_t S_define(CLI_STATEMENT *cli, Row *row)
{
    METADATA &m = row->record;
    SQLLEN *shared = &row->shared_length;
    const DB_CATALOG_COLUMN columns[] = {
        {SQL_C_SLONG, &m.record_id, sizeof(m.record_id), shared},
        {SQL_C_CHAR, m.object_name, sizeof(m.object_name), shared},
        {SQL_C_CHAR, m.object_owner, sizeof(m.object_owner), shared},
        {SQL_C_SLONG, &m.object_type, sizeof(m.object_type), shared},
        {SQL_C_CHAR, m.class_name, sizeof(m.class_name), &row->class_length},
        {SQL_C_CHAR, m.property, sizeof(m.property), &row->property_length},
        {SQL_C_CHAR, m.prop_value, sizeof(m.prop_value), &row->value_length},
        {SQL_C_CHAR, m.description, sizeof(m.description), &row->description_length},
        {SQL_C_TIMESTAMP, &row->created, sizeof(row->created), &row->created_length},
    };
    return db_catalog_define_columns(cli, columns);
}

// Fetches the next row into the zeroed row. 0; -4 at the end; -51 (a value
// cut to its field counts as fetched).
static int32_t S_fetch(CLI_STATEMENT *cli, Row *row)
{
    memset(row, 0, sizeof(*row));
    return db_catalog_fetch(cli);
}

// The creation date, read as local calendar time, as a time value (0 when
// it is NULL or out of range).
static uint32_t S_time_value(const Row &row)
{
    if (row.created_length == SQL_NULL_DATA)
        return 0;
    const time_t value = db_sql_timestamp_to_time(&row.created);
    return value == static_cast<time_t>(-1) ? 0 : static_cast<uint32_t>(value);
}

// The NULL rules and the copy into the caller's record, whose first word
// stays.
static void S_copy_out(const Row &row, METADATA *out)
{
    METADATA result = row.record;
    if (row.class_length == SQL_NULL_DATA)
        result.class_name[0] = '\0';
    if (row.property_length == SQL_NULL_DATA)
        result.property[0] = '\0';
    if (row.value_length == SQL_NULL_DATA)
        result.prop_value[0] = '\0';
    if (row.description_length == SQL_NULL_DATA)
        result.description[0] = '\0';
    result.creation_date = S_time_value(row);
    result.reserved = out->reserved;
    *out = result;
}

// ---- reads -----------------------------------------------------------------------

static int32_t S_get_info(const std::string &sql, METADATA *out)
{
    DB_CATALOG_CLI s;
    Row row;
    int32_t rc = db_cli_prepare(&s.cli, sql.c_str());
    if (rc == 0)
        rc = S_define(&s.cli, &row);
    if (rc == 0)
        rc = db_cli_execute_stmt(&s.cli, 1);
    if (rc == 0)
        rc = S_fetch(&s.cli, &row);
    if (rc == 0 || rc == ZE_NO_MORE_ROWS) {
        const int32_t committed = db_catalog_commit();
        if (committed != 0)
            return committed;
    }
    if (rc == 0) {
        S_copy_out(row, out);
        return 0;
    }
    const bool no_row = rc == ZE_NO_MORE_ROWS;
    VES_print_debug(stderr, "S_metadata_get_info Execute/Fetch error (%d).\n",
                    no_row ? DB_NO_MORE_DATA : rc);
    if (no_row)
        return S_no_row("S_metadata_get_info");
    db_cli_save_error(&s.cli);
    return ZE_DBMS_ERROR;
}

int32_t DB_metadata_get_info_by_id(DB_INSTANCE *, int32_t record_id, METADATA *out)
{
    DB_instance_clear_xerr();
    if (out == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_get_info(db_sql_format("%s FROM %s WHERE record_id = %d", S_COLUMNS,
                                        db_catalog_admin_name("METADATA").c_str(), record_id),
                          out);
    });
}

static void S_scan_close(void)
{
    if (S_scan.open)
        db_cli_free(&S_scan.cli);
    S_scan.open = false;
}

// The scan's text: by the WHERE text, else by the object name, else all.
static std::string S_scan_text(const char *where, const char *object_name)
{
    const std::string from =
        db_sql_format("%s FROM %s", S_COLUMNS, db_catalog_admin_name("METADATA").c_str());
    if (!db_sql_is_blank(where))
        return db_sql_format("%s WHERE %s ORDER BY record_id", from.c_str(), where);
    if (object_name != nullptr && object_name[0] != '\0') {
        std::string name(object_name);
        db_identifier_to_lower(nullptr, name.data(), static_cast<int32_t>(name.size() + 1), 1);
        return db_sql_format("%s WHERE object_name = '%s' ORDER BY record_id", from.c_str(),
                             db_quote_literal(name.c_str()).c_str());
    }
    return from + " ORDER BY record_id";
}

// The next row of the open scan into *out. 0; -4 (scan ended); -51 (scan
// ended, connection's record filled).
static int32_t S_scan_fetch(METADATA *out)
{
    if (!S_scan.open)
        return S_no_row("DB_metadata_next without a scan");
    int32_t rc = S_fetch(&S_scan.cli, &S_scan.row);
    if (rc == ZE_NO_MORE_ROWS) {
        S_scan_close();
        return rc;
    }
    if (rc != 0) {
        db_cli_save_error(&S_scan.cli);
        S_scan_close();
        return ZE_DBMS_ERROR;
    }
    S_copy_out(S_scan.row, out);
    return 0;
}

int32_t DB_metadata_first(DB_INSTANCE *, METADATA *out, const char *where, const char *object_name)
{
    DB_instance_clear_xerr();
    if (out == nullptr)
        return ZE_NULL_POINTER;
    // The client's condition is the statement's whole WHERE clause; it must
    // not end the statement or take in what follows it.
    if (!db_sql_parentheses_balance(where))
        return ZE_INVALID_ARGUMENT;
    S_scan_close();
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        const std::string sql = S_scan_text(where, object_name);
        db_cli_init(&S_scan.cli);
        S_scan.open = true;
        int32_t rc = db_cli_prepare(&S_scan.cli, sql.c_str());
        if (rc == 0)
            rc = S_define(&S_scan.cli, &S_scan.row);
        if (rc == 0)
            rc = db_cli_execute_stmt(&S_scan.cli, 1);
        if (rc != 0) {
            db_cli_save_error(&S_scan.cli);
            S_scan_close();
            return ZE_DBMS_ERROR;
        }
        rc = S_scan_fetch(out);
        // An empty scan is a failed first.
        return rc == ZE_NO_MORE_ROWS ? S_no_row("DB_metadata_first") : rc;
    });
}

int32_t DB_metadata_next(DB_INSTANCE *, METADATA *out, const char *, const char *)
{
    DB_instance_clear_xerr();
    if (out == nullptr)
        return ZE_NULL_POINTER;
    return S_scan_fetch(out);
}

// ---- writes ----------------------------------------------------------------------

namespace
{

// The length cells of a record's bound texts.
struct TextLengths {
    SQLLEN name, owner, class_name, property, value, description;
};

} // namespace

// Binds the four optional texts (NULL when empty) from class to description.
static int32_t S_bind_optional(CLI_STATEMENT *cli, const METADATA &m, TextLengths *n)
{
    int32_t rc =
        db_catalog_bind_text(cli, m.class_name, sizeof(m.class_name), true, &n->class_name);
    if (rc == 0)
        rc = db_catalog_bind_text(cli, m.property, sizeof(m.property), true, &n->property);
    if (rc == 0)
        rc = db_catalog_bind_text(cli, m.prop_value, sizeof(m.prop_value), true, &n->value);
    if (rc == 0)
        rc = db_catalog_bind_text(cli, m.description, sizeof(m.description), true, &n->description);
    return rc;
}

static int32_t S_insert(const METADATA *records, int32_t count)
{
    DB_CATALOG_CLI s;
    const std::string call = db_sql_format("{call %s (?,?,?,?,?,?,?,?);}",
                                           db_catalog_admin_name("insert_metadata").c_str());
    int32_t rc = db_catalog_cli_prepare(&s.cli, call.c_str());
    for (int32_t i = 0; rc == 0 && i < count; i++) {
        METADATA m = records[i];
        TextLengths n;
        rc = db_catalog_bind_int(&s.cli, &m.record_id);
        if (rc == 0)
            rc = db_catalog_bind_text(&s.cli, m.object_name, sizeof(m.object_name), false, &n.name);
        if (rc == 0)
            rc = db_catalog_bind_text(&s.cli, m.object_owner, sizeof(m.object_owner), false,
                                      &n.owner);
        if (rc == 0)
            rc = db_catalog_bind_int(&s.cli, &m.object_type);
        if (rc == 0)
            rc = S_bind_optional(&s.cli, m, &n);
        if (rc != 0) {
            db_cli_save_error(&s.cli);
            return ZE_DBMS_ERROR;
        }
        rc = db_catalog_call(&s.cli, S_INSERT_NAME);
    }
    return rc;
}

int32_t DB_sp_metadata_def_insert(DB_INSTANCE *, METADATA *const *records, int32_t count)
{
    DB_instance_clear_xerr();
    if (count < 0)
        return ZE_INVALID_ARGUMENT;
    if (count == 0)
        return 0;
    if (records == nullptr || *records == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_insert(*records, count); });
}

static int32_t S_update(const METADATA &record)
{
    DB_CATALOG_CLI s;
    const std::string call =
        db_sql_format("{call %s (?,?,?,?,?,?);}", db_catalog_admin_name("update_metadata").c_str());
    METADATA m = record;
    TextLengths n;
    SQL_TIMESTAMP_STRUCT stamp;
    db_time_to_sql_timestamp(time(nullptr), &stamp);
    int32_t rc = db_catalog_cli_prepare(&s.cli, call.c_str());
    if (rc != 0)
        return rc;
    rc = db_catalog_bind_int(&s.cli, &m.record_id);
    if (rc == 0)
        rc = S_bind_optional(&s.cli, m, &n);
    if (rc == 0)
        rc = db_cli_bind_by_pos(&s.cli, SQL_C_TIMESTAMP, SQL_TIMESTAMP, 19, &stamp, 0, nullptr);
    if (rc != 0) {
        db_cli_save_error(&s.cli);
        return ZE_DBMS_ERROR;
    }
    return db_catalog_call(&s.cli, S_UPDATE_NAME);
}

int32_t DB_sp_metadata_def_update(DB_INSTANCE *, const METADATA *record)
{
    DB_instance_clear_xerr();
    if (record == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_update(*record); });
}

// ---- deletes ---------------------------------------------------------------------

// Deletes the rows of the ids through delete_metadata, ten ids per call (the
// unused places -1). Nothing is committed. 0; the first failing call's code.
static int32_t S_delete_ids(const int32_t *ids, size_t count)
{
    const std::string routine = db_catalog_admin_name("delete_metadata");
    const std::string call = db_sql_format("{ call %s (?,?,?,?,?,?,?,?,?,?) } ", routine.c_str());
    DB_CATALOG_CLI s;
    int32_t rc = db_catalog_cli_prepare(&s.cli, call.c_str());
    for (size_t first = 0; rc == 0 && first < count; first += DB_METADATA_DELETE_MAX) {
        int32_t batch[DB_METADATA_DELETE_MAX];
        for (size_t i = 0; i < DB_METADATA_DELETE_MAX; i++)
            batch[i] = first + i < count ? ids[first + i] : -1;
        for (size_t i = 0; rc == 0 && i < DB_METADATA_DELETE_MAX; i++)
            rc = db_catalog_bind_int(&s.cli, &batch[i]);
        if (rc != 0) {
            db_cli_save_error(&s.cli);
            return ZE_DBMS_ERROR;
        }
        rc = db_catalog_call(&s.cli, routine.c_str());
    }
    return rc;
}

int32_t DB_sp_metadata_def_delete(DB_INSTANCE *, int32_t count, const int32_t *ids)
{
    DB_instance_clear_xerr();
    if (count < 1 || count > DB_METADATA_DELETE_MAX)
        return ZE_INVALID_ARGUMENT;
    if (ids == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        int32_t rc = S_delete_ids(ids, static_cast<size_t>(count));
        return rc == 0 ? db_catalog_commit() : rc;
    });
}

// The record ids the SELECT yields, read ten at a time. 0; -51 (recorded).
static int32_t S_selected_ids(const char *select, std::vector<int32_t> *ids)
{
    DB_CATALOG_CLI s;
    int32_t values[DB_METADATA_DELETE_MAX] = {};
    SQLLEN lengths[DB_METADATA_DELETE_MAX] = {};
    int32_t rc = db_catalog_cli_prepare(&s.cli, select);
    if (rc != 0)
        return rc;
    rc = db_cli_define_by_pos(&s.cli, SQL_C_SLONG, values, sizeof(values[0]), lengths);
    if (rc == 0)
        rc = db_cli_execute_stmt(&s.cli, DB_METADATA_DELETE_MAX);
    while (rc == 0) {
        rc = db_cli_fetch(&s.cli);
        const SQLULEN rows = rc == 0 ? db_cli_get_rows_fetched(&s.cli) : 0;
        for (SQLULEN i = 0; i < rows && i < DB_METADATA_DELETE_MAX; i++)
            if (lengths[i] != SQL_NULL_DATA)
                ids->push_back(values[i]);
    }
    if (rc == ZE_NO_MORE_ROWS)
        return 0;
    db_cli_save_error(&s.cli);
    return ZE_DBMS_ERROR;
}

int32_t metadata_delete_by_query(DB_INSTANCE *, const char *select, int32_t commit)
{
    if (select == nullptr)
        return ZE_NULL_POINTER;
    std::vector<int32_t> ids;
    int32_t rc = S_selected_ids(select, &ids);
    if (rc != 0)
        return rc;
    if (!ids.empty())
        rc = S_delete_ids(ids.data(), ids.size());
    if (rc != 0) {
        if (commit)
            db_catalog_rollback();
        return rc;
    }
    return commit ? db_catalog_commit() : 0;
}

int32_t DB_sp_metadata_def_delete_by_where(DB_INSTANCE *instance, const REGISTRATION *registration,
                                           const char *where)
{
    DB_instance_clear_xerr();
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        const std::string owner(registration->owner,
                                strnlen(registration->owner, sizeof(registration->owner)));
        const std::string table(
            registration->table_name,
            strnlen(registration->table_name, sizeof(registration->table_name)));
        std::string sql = db_sql_format(
            "SELECT m.record_id FROM %s m WHERE m.object_type = %d AND    m.object_owner = '%s' "
            "AND m.object_name = '%s'",
            db_catalog_admin_name("METADATA").c_str(), METADATA_OBJECT_TABLE,
            db_quote_literal(owner).c_str(), db_quote_literal(table).c_str());
        const char *condition = nullptr;
        if (db_sql_client_condition(where, &condition) != 0)
            return ZE_INVALID_ARGUMENT;
        if (condition != nullptr)
            sql = db_sql_format("%s AND (%s)", sql.c_str(), condition);
        return metadata_delete_by_query(instance, sql.c_str(), 1);
    });
}
