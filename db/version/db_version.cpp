// Version rows (db_version.h): the VERSIONS rows of the administrative
// database read in blocks of 100 by the process's one scan or one at a time,
// and inserted with the rule for a name that is taken. The record is
// base/util/ve_version.h.
#include "db/version/db_version_internal.h"

#include <sqlext.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <string>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/core/db_date_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/version/db_block_cursor_internal.h"
#include "db/version/db_version_stmt_internal.h"

#define S_COLUMNS                                                                                  \
    "SELECT name,owner,version_id,status,state_id,description,       "                             \
    "parent_name,parent_owner,parent_version_id,"

namespace
{

// The VERSIONS columns of one row as the readers bind them (row-wise).
struct VersionRow {
    char name[sizeof(VERSION::name)];
    SQLLEN name_length;
    char owner[sizeof(VERSION::owner)];
    SQLLEN owner_length;
    int32_t version_id;
    SQLLEN version_id_length;
    uint32_t status;
    SQLLEN status_length;
    int32_t state_id;
    SQLLEN state_id_length;
    char description[sizeof(VERSION::description)];
    SQLLEN description_length;
    char parent_name[sizeof(VERSION::parent_name)];
    SQLLEN parent_name_length;
    char parent_owner[sizeof(VERSION::parent_owner)];
    SQLLEN parent_owner_length;
    int32_t parent_version_id;
    SQLLEN parent_version_id_length;
    SQL_TIMESTAMP_STRUCT creation_time;
    SQLLEN creation_length;
};

DB_BLOCK_CURSOR S_scan;

} // namespace

static SQLRETURN S_bind(SQLHSTMT hstmt, VersionRow *row)
{
    const struct {
        SQLSMALLINT c_type;
        void *value;
        SQLLEN size;
        SQLLEN *length;
    } columns[] = {
        {SQL_C_CHAR, row->name, sizeof(row->name), &row->name_length},
        {SQL_C_CHAR, row->owner, sizeof(row->owner), &row->owner_length},
        {SQL_C_SLONG, &row->version_id, sizeof(row->version_id), &row->version_id_length},
        {SQL_C_ULONG, &row->status, sizeof(row->status), &row->status_length},
        {SQL_C_SLONG, &row->state_id, sizeof(row->state_id), &row->state_id_length},
        {SQL_C_CHAR, row->description, sizeof(row->description), &row->description_length},
        {SQL_C_CHAR, row->parent_name, sizeof(row->parent_name), &row->parent_name_length},
        {SQL_C_CHAR, row->parent_owner, sizeof(row->parent_owner), &row->parent_owner_length},
        {SQL_C_SLONG, &row->parent_version_id, sizeof(row->parent_version_id),
         &row->parent_version_id_length},
        {SQL_C_TIMESTAMP, &row->creation_time, sizeof(row->creation_time), &row->creation_length},
    };
    SQLUSMALLINT n = 1;
    for (const auto &c : columns) {
        SQLRETURN rc = SQLBindCol(hstmt, n++, c.c_type, c.value, c.size, c.length);
        if (!SQL_SUCCEEDED(rc))
            return rc;
    }
    return SQL_SUCCESS;
}

// A fetched text into a field of the same size: cut at its returned length,
// empty for NULL.
template <size_t N> static void S_text(char (&field)[N], const char (&cell)[N], SQLLEN length)
{
    if (length == SQL_NULL_DATA)
        return;
    size_t n = strnlen(cell, N - 1);
    if (length >= 0 && static_cast<size_t>(length) < n)
        n = static_cast<size_t>(length);
    memcpy(field, cell, n);
    field[n] = '\0';
}

static void S_fill(VERSION *out, const VersionRow &row)
{
    memset(out, 0, sizeof(*out));
    memcpy(out->tag, VERSION_TAG, sizeof(VERSION_TAG));
    S_text(out->name, row.name, row.name_length);
    S_text(out->owner, row.owner, row.owner_length);
    out->version_id = row.version_id;
    out->status = row.status;
    out->state_id = row.state_id;
    S_text(out->description, row.description, row.description_length);
    S_text(out->parent_name, row.parent_name, row.parent_name_length);
    S_text(out->parent_owner, row.parent_owner, row.parent_owner_length);
    if (row.parent_version_id_length != SQL_NULL_DATA)
        out->parent_version_id = row.parent_version_id;
    if (row.creation_length != SQL_NULL_DATA)
        out->creation_time = static_cast<uint32_t>(db_sql_timestamp_to_time(&row.creation_time));
}

static std::string S_versions(DB_INSTANCE *instance)
{
    char name[DB_QUALIFIED_NAME_SIZE] = "";
    db_make_versions_table_name(instance, name, sizeof(name));
    return name;
}

// Scan.

static int32_t S_scan_open(DB_INSTANCE *instance, const char *where)
{
    // The client's condition is the statement's whole WHERE clause; it must
    // not end the statement or take in what follows it.
    if (!db_sql_parentheses_balance(where))
        return ZE_INVALID_ARGUMENT;
    std::string sql = S_COLUMNS "       creation_time FROM   " + S_versions(instance) +
                      (db_sql_is_blank(where) ? std::string("  ") : " WHERE " + std::string(where));
    return db_block_cursor_open(&S_scan, sizeof(VersionRow), sql.c_str(),
                                [](SQLHSTMT hstmt, void *first) {
                                    return S_bind(hstmt, static_cast<VersionRow *>(first));
                                });
}

static int32_t S_scan_next(VERSION *out)
{
    void *row = nullptr;
    int32_t rc = db_block_cursor_next(&S_scan, &row);
    if (rc == ZE_SUCCESS)
        S_fill(out, *static_cast<const VersionRow *>(row));
    return rc;
}

ZEL_API int32_t DB_version_scan(DB_INSTANCE *instance, int32_t mode, const char *where,
                                VERSION *out)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        return db_block_scan_step(
            mode, out != nullptr, [] { db_block_cursor_close(&S_scan); },
            [&] { return S_scan_open(instance, where); }, [&] { return S_scan_next(out); });
    });
}

// Single reads.

int32_t db_version_fetch_where(DB_INSTANCE *instance, const char *where, VERSION *out)
{
    std::string sql = S_COLUMNS "creation_time FROM " + S_versions(instance) + " WHERE " + where;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int32_t rc = db_version_prepare(&hstmt, sql.c_str());
    if (rc != ZE_SUCCESS)
        return rc == ZE_TABLE_NOT_FOUND || rc == ZE_OUT_OF_MEMORY ? rc : ZE_DBMS_ERROR;
    // A read: the caller's transaction is left as it is.
    VersionRow row{};
    SQLRETURN cli = S_bind(hstmt, &row);
    if (SQL_SUCCEEDED(cli))
        cli = SQLExecute(hstmt);
    if (SQL_SUCCEEDED(cli))
        cli = SQLFetch(hstmt);
    if (cli == SQL_NO_DATA)
        rc = ZE_VERSION_NOT_FOUND;
    else if (!SQL_SUCCEEDED(cli))
        rc = db_version_record(&hstmt, cli) == ZE_TABLE_NOT_FOUND ? ZE_TABLE_NOT_FOUND
                                                                  : ZE_DBMS_ERROR;
    db_free_stmt(&hstmt);
    if (rc == ZE_SUCCESS)
        S_fill(out, row);
    return rc;
}

ZEL_API int32_t DB_version_get_by_name(DB_INSTANCE *instance, const char *owner, const char *name,
                                       VERSION *out)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (owner == nullptr || name == nullptr || out == nullptr)
            return ZE_NULL_POINTER;
        char lower[sizeof(VERSION::owner)] = "";
        size_t n = strlen(owner);
        if (n >= sizeof(lower))
            return ZE_INVALID_ARGUMENT;
        memcpy(lower, owner, n + 1);
        db_identifier_to_lower(nullptr, lower, sizeof(lower), 1);
        // Both are the caller's texts: quoted, their quotes doubled.
        std::string where =
            "owner = '" + db_quote_literal(lower) + "' AND name = '" + db_quote_literal(name) + "'";
        return db_version_fetch_where(instance, where.c_str(), out);
    });
}

ZEL_API int32_t DB_version_get_by_id(DB_INSTANCE *instance, int32_t version_id, VERSION *out)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (out == nullptr)
            return ZE_NULL_POINTER;
        std::string where = "version_id = " + std::to_string(version_id);
        return db_version_fetch_where(instance, where.c_str(), out);
    });
}

// Insert.

int32_t db_version_name_suffix(int32_t attempt, char *out, size_t size)
{
    int value;
    const char *format = "%02x";
    if (attempt >= 1 && attempt <= 99) {
        value = attempt;
        format = "%02d";
    } else if (attempt >= 100 && attempt <= 159) {
        // The pairs whose second digit is a letter: 0a to 0f, ..., 9a to 9f.
        int j = attempt - 100;
        value = (j / 6) * 16 + 10 + j % 6;
    } else if (attempt >= 160 && attempt <= 255) {
        value = attempt;
    } else if (attempt == 256) {
        value = 0;
    } else {
        return ZE_VERSION_EXISTS;
    }
    if (out == nullptr || size < 3)
        return ZE_INVALID_ARGUMENT;
    snprintf(out, size, format, value);
    return ZE_SUCCESS;
}

static std::string S_insert_sql(DB_INSTANCE *instance)
{
    static const char *const columns[] = {"name",         "owner",        "version_id",
                                          "status",       "state_id",     "description",
                                          "parent_name",  "parent_owner", "parent_version_id",
                                          "creation_time"};
    std::string sql = "INSERT INTO " + S_versions(instance) + "     (";
    for (const char *column : columns) {
        if (column != columns[0])
            sql += ",                    ";
        sql += column;
    }
    return sql + ")        VALUES (?,?,?,?,?,?,?,?,?,?)";
}

// The values of the failed insert, for the debug output.
static void S_dump_insert(const VERSION *version, const char *name)
{
    VES_print_debug(stderr, "version_name   = \"%s\"\n", name);
    VES_print_debug(stderr, "owner          = \"%.*s\"\n", static_cast<int>(sizeof(version->owner)),
                    version->owner);
    VES_print_debug(stderr, "status         = %x\n", version->status);
    VES_print_debug(stderr, "state_id       = %d\n", version->state_id);
    VES_print_debug(stderr, "description =  = \"%.*s\"\n",
                    static_cast<int>(sizeof(version->description)), version->description);
}

SQLRETURN db_version_bind_parent(DB_PARAMS &p, const VERSION *version, bool null_when_empty)
{
    SQLRETURN rc =
        p.text(db_field_text(version->description), sizeof(version->description), null_when_empty);
    if (SQL_SUCCEEDED(rc))
        rc = p.text(db_field_text(version->parent_name), sizeof(version->parent_name),
                    null_when_empty);
    if (SQL_SUCCEEDED(rc))
        rc = p.text(db_field_text(version->parent_owner), sizeof(version->parent_owner),
                    null_when_empty);
    return rc;
}

static SQLRETURN S_bind_insert(DB_PARAMS &p, const VERSION *version, char *name_out)
{
    SQLRETURN rc = p.text_buffer(name_out, sizeof(version->name));
    if (SQL_SUCCEEDED(rc))
        rc = p.text(db_field_text(version->owner), sizeof(version->owner), false);
    if (SQL_SUCCEEDED(rc))
        rc = p.integer(version->version_id);
    if (SQL_SUCCEEDED(rc))
        rc = p.unsigned_integer(version->status);
    if (SQL_SUCCEEDED(rc))
        rc = p.integer(version->state_id);
    if (SQL_SUCCEEDED(rc))
        rc = db_version_bind_parent(p, version, true);
    if (SQL_SUCCEEDED(rc))
        rc = p.integer_or_null(version->parent_version_id, version->parent_version_id == 0);
    if (SQL_SUCCEEDED(rc))
        rc = p.timestamp(time(nullptr));
    return rc;
}

ZEL_API int32_t DB_versions_def_insert(DB_INSTANCE *instance, const VERSION *version,
                                       int32_t generate_unique_name, char *name_out)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (version == nullptr || name_out == nullptr)
            return ZE_NULL_POINTER;
        std::string_view base = db_field_text(version->name);
        memcpy(name_out, base.data(), base.size());
        name_out[base.size()] = '\0';
        SQLHSTMT hstmt = SQL_NULL_HSTMT;
        int32_t rc = db_version_prepare(&hstmt, S_insert_sql(instance).c_str());
        if (rc != ZE_SUCCESS)
            return rc;
        DB_PARAMS params(hstmt);
        SQLRETURN cli = S_bind_insert(params, version, name_out);
        if (!SQL_SUCCEEDED(cli))
            return db_version_fail(&hstmt, cli);
        // The name parameter is read from name_out at every execute.
        for (int32_t attempt = 1;; attempt++) {
            cli = SQLExecute(hstmt);
            if (SQL_SUCCEEDED(cli))
                break;
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, &hstmt, cli);
            char suffix[4];
            if (generate_unique_name && strcmp(diag.sqlstate, "23000") == 0) {
                if (db_version_name_suffix(attempt, suffix, sizeof(suffix)) != ZE_SUCCESS) {
                    db_free_stmt(&hstmt);
                    return ZE_VERSION_EXISTS;
                }
                memcpy(name_out + base.size(), suffix, sizeof(suffix) - 1);
                name_out[base.size() + 2] = '\0';
                continue;
            }
            VES_print_debug(stderr, "DB_version_def_insert() ODBC Exec error (%d).\n", cli);
            S_dump_insert(version, name_out);
            db_set_xerr_from_diag(diag);
            db_free_stmt(&hstmt);
            return ZE_DBMS_ERROR;
        }
        cli = static_cast<SQLRETURN>(db_commit());
        rc = SQL_SUCCEEDED(cli) ? ZE_SUCCESS : db_version_record(nullptr, cli);
        db_free_stmt(&hstmt);
        return rc;
    });
}

// Obsolete entry points.

ZEL_API int32_t DB_versions_def_change_state(DB_INSTANCE *, const VERSION *, int32_t)
{
    return db_version_obsolete("DB_versions_def_change_state");
}

ZEL_API int32_t DB_versions_def_delete(DB_INSTANCE *, const char *, const char *)
{
    return db_version_obsolete("DB_versions_def_delete");
}

ZEL_API int32_t DB_versions_def_rename(DB_INSTANCE *, const char *, const char *, const char *)
{
    return db_version_obsolete("DB_versions_def_rename");
}

ZEL_API int32_t DB_versions_def_update(DB_INSTANCE *, const VERSION *)
{
    return db_version_obsolete("DB_versions_def_update");
}
