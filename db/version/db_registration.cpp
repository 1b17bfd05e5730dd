// Registration records (db_registration.h): the reader of TABLE_REGISTRY
// rows, fetched 100 at a time into one block of column arrays, the scan by
// ids on top of it, and the checks and counts of a registered table. The
// record layout is base/util/ve_registration.h.
#include "db/version/db_registration_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "base/util/ve_buffer.h"
#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_layer_info_internal.h"
#include "db/catalog/db_table_ddl.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_count.h"
#include "db/core/db_instance_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"

// Ids drawn from a table's IMV id sequence count down from 2147483647 to this
// value; the largest row id in use is sought below it.
#define S_IMV_ID_FLOOR 2136997887

#define S_SELECT_LIST                                                                              \
    "SELECT registration_id,database_name,table_name,owner,rowid_column,       "                   \
    "description,object_flags,registration_date,       "                                           \
    "config_keyword,minimum_id,imv_view_name FROM "

namespace
{

constexpr int kRows = DB_REGISTRATION_ROWSET;

// The column arrays of one rowset, bound column-wise. Each column with a NULL
// rule has its own length cells; the others share one array that is never
// read (a NULL there leaves the zeroed field).
struct Block {
    int32_t registration_id[kRows];
    char database_name[kRows][sizeof(REGISTRATION::database_name)];
    char table_name[kRows][sizeof(REGISTRATION::table_name)];
    char owner[kRows][sizeof(REGISTRATION::owner)];
    char rowid_column[kRows][sizeof(REGISTRATION::rowid_column)];
    SQLLEN rowid_column_length[kRows];
    char description[kRows][sizeof(REGISTRATION::description)];
    SQLLEN description_length[kRows];
    int32_t object_flags[kRows];
    uint32_t registration_date[kRows];
    char config_keyword[kRows][sizeof(REGISTRATION::config_keyword)];
    SQLLEN config_keyword_length[kRows];
    uint32_t minimum_id[kRows];
    SQLLEN minimum_id_length[kRows];
    char imv_view_name[kRows][sizeof(REGISTRATION::imv_view_name)];
    SQLLEN imv_view_name_length[kRows];
    SQLLEN shared_length[kRows];
    SQLUSMALLINT row_status[kRows];
};

// The process's one reader.
struct Reader {
    bool open = false;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    Block *block = nullptr;
    int16_t rows_left = 0;
    int16_t next = 0;
    int32_t total = 0;
    bool end = false;
    // The connection keeps cursors open across commits: commit after every
    // record. Otherwise the commits wait until no block is left to fetch.
    bool commit_each = true;
};

// The scan by ids: the ids still to be read, in batches.
struct IdScan {
    bool active = false;
    std::vector<int32_t> ids;
    size_t next_batch = 0;
};

Reader S_reader;
IdScan S_ids;

} // namespace

static void S_release(void)
{
    db_free_stmt(&S_reader.hstmt);
    if (S_reader.block != nullptr)
        VES_buffer_free(S_reader.block, static_cast<int32_t>(sizeof(Block)));
    S_reader = Reader{};
}

// Records the statement's diagnostic in the connection's record and closes
// the reader. Returns -51.
static int32_t S_fail(SQLRETURN rc)
{
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, S_reader.hstmt != SQL_NULL_HSTMT ? &S_reader.hstmt : nullptr, rc);
    db_set_xerr_from_diag(diag);
    S_release();
    return ZE_DBMS_ERROR;
}

static SQLRETURN S_bind_columns(void)
{
    Block *b = S_reader.block;
    const DB_CATALOG_COLUMN columns[] = {
        {SQL_C_SLONG, b->registration_id, sizeof(int32_t), b->shared_length},
        {SQL_C_CHAR, b->database_name, sizeof(b->database_name[0]), b->shared_length},
        {SQL_C_CHAR, b->table_name, sizeof(b->table_name[0]), b->shared_length},
        {SQL_C_CHAR, b->owner, sizeof(b->owner[0]), b->shared_length},
        {SQL_C_CHAR, b->rowid_column, sizeof(b->rowid_column[0]), b->rowid_column_length},
        {SQL_C_CHAR, b->description, sizeof(b->description[0]), b->description_length},
        {SQL_C_SLONG, b->object_flags, sizeof(int32_t), b->shared_length},
        {SQL_C_ULONG, b->registration_date, sizeof(uint32_t), b->shared_length},
        {SQL_C_CHAR, b->config_keyword, sizeof(b->config_keyword[0]), b->config_keyword_length},
        {SQL_C_ULONG, b->minimum_id, sizeof(uint32_t), b->minimum_id_length},
        {SQL_C_CHAR, b->imv_view_name, sizeof(b->imv_view_name[0]), b->imv_view_name_length},
    };
    return db_catalog_bind_columns(S_reader.hstmt, columns);
}

// Fetches the next block into the zeroed buffer. 0, or -51 with the reader
// closed.
static int32_t S_fetch_block(void)
{
    memset(S_reader.block, 0, sizeof(Block));
    SQLULEN fetched = 0;
    SQLRETURN rc =
        SQLExtendedFetch(S_reader.hstmt, SQL_FETCH_NEXT, 0, &fetched, S_reader.block->row_status);
    if (rc == SQL_NO_DATA) {
        fetched = 0;
    } else if (!SQL_SUCCEEDED(rc)) {
        return S_fail(rc);
    }
    if (fetched > static_cast<SQLULEN>(kRows))
        fetched = kRows;
    S_reader.rows_left = static_cast<int16_t>(fetched);
    S_reader.next = 0;
    S_reader.total += static_cast<int32_t>(fetched);
    if (fetched < static_cast<SQLULEN>(kRows))
        S_reader.end = true;
    return 0;
}

// Copies a fetched text into a record field of the same width.
template <size_t N> static void S_copy(char (&field)[N], const char (&cell)[N])
{
    size_t n = strnlen(cell, N - 1);
    memcpy(field, cell, n);
    field[n] = '\0';
}

static bool S_present(const SQLLEN *lengths, int row)
{
    return lengths[row] != SQL_NULL_DATA;
}

static void S_deliver(REGISTRATION *out)
{
    const Block *b = S_reader.block;
    const int i = S_reader.next;
    memset(out, 0, sizeof(*out));
    memcpy(out->tag, REGISTRATION_TAG, sizeof(REGISTRATION_TAG));
    out->registration_id = b->registration_id[i];
    S_copy(out->database_name, b->database_name[i]);
    S_copy(out->table_name, b->table_name[i]);
    S_copy(out->owner, b->owner[i]);
    if (S_present(b->rowid_column_length, i))
        S_copy(out->rowid_column, b->rowid_column[i]);
    if (S_present(b->description_length, i))
        S_copy(out->description, b->description[i]);
    out->object_flags = static_cast<uint32_t>(b->object_flags[i]);
    out->registration_date = b->registration_date[i];
    if (S_present(b->config_keyword_length, i))
        S_copy(out->config_keyword, b->config_keyword[i]);
    if (S_present(b->minimum_id_length, i))
        out->minimum_id = b->minimum_id[i];
    if (S_present(b->imv_view_name_length, i))
        S_copy(out->imv_view_name, b->imv_view_name[i]);
    S_reader.next++;
    S_reader.rows_left--;
}

static int32_t S_next(REGISTRATION *out)
{
    if (!S_reader.open)
        return ZE_SCAN_NOT_STARTED;
    if (S_reader.rows_left == 0 && !S_reader.end) {
        int32_t rc = S_fetch_block();
        if (rc != 0)
            return rc;
    }
    if (S_reader.rows_left == 0) {
        S_release();
        return ZE_NO_MORE_ROWS;
    }
    S_deliver(out);
    if (S_reader.commit_each || S_reader.end)
        db_commit();
    return 0;
}

// Whether commits leave the connection's cursors open.
static bool S_cursors_survive_commit(void)
{
    SQLUSMALLINT behaviour = SQL_CB_DELETE;
    SQLRETURN rc = SQLGetInfo(db_connection()->hdbc, SQL_CURSOR_COMMIT_BEHAVIOR, &behaviour,
                              sizeof(behaviour), nullptr);
    return SQL_SUCCEEDED(rc) && behaviour == SQL_CB_PRESERVE;
}

static int32_t S_open(DB_INSTANCE *instance, const char *where)
{
    // The client's condition is the statement's whole WHERE clause; it must
    // not end the statement or take in what follows it.
    if (!db_sql_parentheses_balance(where))
        return ZE_INVALID_ARGUMENT;
    if (S_reader.open) {
        db_free_stmt(&S_reader.hstmt);
        Block *kept = S_reader.block;
        S_reader = Reader{};
        S_reader.block = kept;
        memset(S_reader.block, 0, sizeof(Block));
    } else {
        S_release();
        S_reader.block =
            static_cast<Block *>(VES_buffer_alloc(static_cast<int32_t>(sizeof(Block))));
        if (S_reader.block == nullptr)
            return ZE_OUT_OF_MEMORY;
    }
    char registry[DB_QUALIFIED_NAME_SIZE];
    db_make_table_registry_name(instance, registry, sizeof(registry));
    std::string sql = S_SELECT_LIST;
    if (where != nullptr) {
        sql += " ";
        sql += registry;
        sql += " WHERE ";
        sql += where;
    } else {
        sql += registry;
    }
    sql += " ORDER BY registration_id";

    if (db_open_cursor(nullptr, &S_reader.hstmt) != 0) {
        S_release(); // the open recorded its diagnostic
        return ZE_DBMS_ERROR;
    }
    int rc = db_prepare_stmt(nullptr, &S_reader.hstmt, sql.c_str());
    if (rc != 0)
        return S_fail(static_cast<SQLRETURN>(rc));
    SQLRETURN cli = SQLSetStmtAttr(S_reader.hstmt, SQL_ROWSET_SIZE,
                                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(kRows)), 0);
    if (SQL_SUCCEEDED(cli))
        cli = SQLExecute(S_reader.hstmt);
    if (SQL_SUCCEEDED(cli))
        cli = S_bind_columns();
    if (!SQL_SUCCEEDED(cli))
        return S_fail(cli);
    S_reader.commit_each = S_cursors_survive_commit();
    S_reader.open = true;
    return S_fetch_block();
}

int32_t db_registration_fetch(DB_INSTANCE *instance, int32_t open, const char *where,
                              REGISTRATION *out)
{
    if (out == nullptr)
        return ZE_NULL_POINTER;
    try {
        if (open) {
            int32_t rc = S_open(instance, where);
            if (rc != 0)
                return rc;
        }
    } catch (const std::bad_alloc &) {
        S_release();
        return ZE_OUT_OF_MEMORY;
    }
    return S_next(out);
}

int32_t DB_registration_scan(DB_INSTANCE *instance, int32_t open, REGISTRATION *out)
{
    try {
        return db_registration_fetch(instance, open, nullptr, out);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

// Opens the query of the next batch of ids. -4 when none is left.
static int32_t S_open_batch(DB_INSTANCE *instance, REGISTRATION *out)
{
    if (S_ids.next_batch >= S_ids.ids.size()) {
        S_ids = IdScan{};
        return ZE_NO_MORE_ROWS;
    }
    size_t end = std::min(S_ids.ids.size(), S_ids.next_batch + DB_REGISTRATION_ID_BATCH);
    std::string where = "registration_id IN (";
    for (size_t i = S_ids.next_batch; i < end; i++)
        where += std::to_string(S_ids.ids[i]) + ",";
    where.back() = ')';
    S_ids.next_batch = end;
    return db_registration_fetch(instance, 1, where.c_str(), out);
}

static int32_t S_scan_by_ids(DB_INSTANCE *instance, int32_t open, const VE_BITMAP *ids,
                             REGISTRATION *out)
{
    if (out == nullptr)
        return ZE_NULL_POINTER;
    if (open) {
        S_ids = IdScan{};
        if (ids == nullptr)
            return db_registration_fetch(instance, 1, nullptr, out);
        for (int32_t bit = VES_Bitmap_Scan(ids, 0, 1); bit >= 0;
             bit = VES_Bitmap_Scan(ids, bit + 1, 1))
            S_ids.ids.push_back(bit + 1);
        if (S_ids.ids.empty())
            return ZE_NO_MORE_ROWS;
        S_ids.active = true;
    }
    int32_t rc =
        open ? S_open_batch(instance, out) : db_registration_fetch(instance, 0, nullptr, out);
    // Each batch ends with -4 from the reader, the first one too when none of
    // its ids is registered; the scan ends after the last.
    while (rc == ZE_NO_MORE_ROWS && S_ids.active)
        rc = S_open_batch(instance, out);
    return rc;
}

int32_t db_registration_scan_by_ids(DB_INSTANCE *instance, int32_t open, const VE_BITMAP *ids,
                                    REGISTRATION *out)
{
    try {
        return S_scan_by_ids(instance, open, ids, out);
    } catch (const std::bad_alloc &) {
        S_ids = IdScan{};
        return ZE_OUT_OF_MEMORY;
    }
}

// ---- a registered table ------------------------------------------------------

// The registration's fields as terminated texts.
namespace
{
struct RegNames {
    std::string database, owner, table, rowid;
    explicit RegNames(const REGISTRATION *r)
        : database(r->database_name, strnlen(r->database_name, sizeof(r->database_name))),
          owner(r->owner, strnlen(r->owner, sizeof(r->owner))),
          table(r->table_name, strnlen(r->table_name, sizeof(r->table_name))),
          rowid(r->rowid_column, strnlen(r->rowid_column, sizeof(r->rowid_column)))
    {
    }
    // The table's name as it goes into SQL unquoted, after the checks of
    // an unquoted name: 0; -65; -66; -322.
    int32_t qualified(std::string *out) const
    {
        char table_name[DB_QUALIFIED_NAME_SIZE] = "";
        db_table_make_name(database.c_str(), owner.c_str(), table.c_str(), table_name,
                           sizeof(table_name));
        *out = table_name;
        return db_check_table_name(table_name);
    }
};
} // namespace

// One pass of the largest row id: the maximum of the statement's one column
// raises *max when it is larger. 0; -51 with the diagnostic recorded.
static int32_t S_max_pass(SQLHSTMT *hstmt, const std::string &sql, const RegNames &names,
                          uint32_t *max)
{
    int32_t value = 0;
    SQLLEN length = SQL_NULL_DATA;
    SQLULEN fetched = 0;
    int rc = db_prepare_stmt(nullptr, hstmt, sql.c_str());
    if (rc == 0) {
        SQLRETURN cli = SQLBindCol(*hstmt, 1, SQL_C_SLONG, &value, sizeof(value), &length);
        rc = SQL_SUCCEEDED(cli) ? db_execute_and_fetch(hstmt, 1, 1, &fetched) : cli;
    }
    // Compared unsigned, as the ids handed out are.
    if (rc == 0 && length != SQL_NULL_DATA && static_cast<uint32_t>(value) > *max)
        *max = static_cast<uint32_t>(value);
    if (rc == 0 || rc == DB_NO_MORE_DATA || rc == 100 || rc == ZE_COLUMN_NOT_FOUND) {
        SQLFreeStmt(*hstmt, SQL_CLOSE);
        return 0;
    }
    VES_print_debug(stderr, "DB_registered_table_get_max_rowid(%s,%s) ODBC Exec/Fet Error(%d)\n",
                    names.table.c_str(), names.rowid.c_str(), rc);
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, hstmt, rc);
    db_set_xerr_from_diag(diag);
    return ZE_DBMS_ERROR;
}

static int32_t S_get_max_rowid(const REGISTRATION *registration, uint32_t *max_rowid)
{
    *max_rowid = 0;
    const RegNames names(registration);
    std::string table;
    int32_t rc = db_check_name(names.rowid.c_str(), sizeof(registration->rowid_column));
    if (rc == 0)
        rc = names.qualified(&table);
    if (rc != 0)
        return rc;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    rc = db_open_cursor(nullptr, &hstmt);
    if (rc != 0) {
        db_free_stmt(&hstmt);
        return rc;
    }
    rc = S_max_pass(&hstmt, "SELECT MAX(" + names.rowid + ") FROM   " + table, names, max_rowid);
    if (rc == 0 && (registration->object_flags & REG_MULTIVERSION)) {
        char adds[DB_QUALIFIED_NAME_SIZE] = "";
        db_make_adds_table_name(nullptr, registration->registration_id, names.database.c_str(),
                                names.owner.c_str(), adds, sizeof(adds));
        rc = S_max_pass(&hstmt,
                        "SELECT MAX(" + names.rowid + ") FROM   " + adds + " WHERE  " +
                            names.rowid + " < " + std::to_string(S_IMV_ID_FLOOR),
                        names, max_rowid);
    }
    db_free_stmt(&hstmt);
    return rc;
}

int32_t DB_registered_table_get_max_rowid(DB_INSTANCE *, const REGISTRATION *registration,
                                          uint32_t *max_rowid)
{
    if (registration == nullptr || max_rowid == nullptr)
        return ZE_NULL_POINTER;
    try {
        return S_get_max_rowid(registration, max_rowid);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

static int32_t S_verify(DB_INSTANCE *instance, const REGISTRATION *registration)
{
    const RegNames names(registration);
    // A row-id column maintained by the user is read; else every column.
    uint32_t flags = registration->object_flags;
    bool user_rowid = (flags & REG_ROWID_COLUMN) && !(flags & REG_ROWID_ENGINE);
    std::string column = user_rowid ? names.rowid : std::string("*");
    std::string table = names.database + ":" + names.owner + "." + names.table;
    int32_t checked = db_check_table_name(table.c_str());
    if (checked == 0 && user_rowid)
        checked = db_check_name(column.c_str(), sizeof(registration->rowid_column));
    if (checked != 0)
        return checked;
    char current[DB_DATABASE_NAME_SIZE] = "";
    DB_database_get_current(instance, current);
    current[sizeof(current) - 1] = '\0';
    if (strcasecmp(current, names.database.c_str()) != 0)
        return ZE_WRONG_DATABASE;
    std::string sql = "SELECT " + column + " FROM " + table;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int32_t rc = db_catalog_prepare(nullptr, &hstmt, sql.c_str());
    db_free_stmt(&hstmt);
    return rc;
}

int32_t DB_registration_verify_table(DB_INSTANCE *instance, const REGISTRATION *registration)
{
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    try {
        return S_verify(instance, registration);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

// ---- privileges and the load from the layer catalogue -------------------------

static int32_t S_list_permissions(DB_INSTANCE *instance, REGISTRATION *list, int32_t count)
{
    int32_t result = 0;
    for (int32_t i = 0; i < count; i++) {
        REGISTRATION &r = list[i];
        if (r.permissions != -1)
            continue;
        const RegNames names(&r);
        char table[DB_QUALIFIED_NAME_SIZE] = "";
        db_table_make_name(names.database.c_str(), names.owner.c_str(), names.table.c_str(), table,
                           sizeof(table));
        int32_t mask = 0;
        int32_t rc = db_get_access_info_table(instance, nullptr, table, &mask);
        r.permissions = mask;
        if (rc == ZE_DBMS_ERROR) {
            result = rc;
            break;
        }
    }
    db_access_info_close(instance);
    return result;
}

int32_t DB_registration_list_get_permissions(DB_INSTANCE *instance, REGISTRATION *list,
                                             int32_t count)
{
    if (list == nullptr && count > 0)
        return ZE_NULL_POINTER;
    try {
        return S_list_permissions(instance, list, count);
    } catch (const std::bad_alloc &) {
        db_access_info_close(instance);
        return ZE_OUT_OF_MEMORY;
    }
}

static int32_t S_load_from_layers(DB_INSTANCE *instance, int32_t empty_first, int32_t *count)
{
    char registry[DB_QUALIFIED_NAME_SIZE] = "", layers[DB_QUALIFIED_NAME_SIZE] = "";
    db_make_table_registry_name(instance, registry, sizeof(registry));
    db_make_layers_table_name(instance, layers, sizeof(layers));
    if (empty_first) {
        int32_t rc = DB_table_truncate(instance, registry);
        if (rc != 0)
            return rc;
    }
    std::string sql = std::string("INSERT INTO ") + registry +
                      " (registration_id,database_name,                 owner,table_name,"
                      "description,                 object_flags,registration_date,"
                      "config_keyword)   SELECT layer_id,database_name,owner,table_name,"
                      "         description,4,cdate,layer_config   FROM " +
                      layers + " ";
    int rc = db_execute_ddlsql(sql.c_str(), 0, 1);
    if (rc < 0) {
        // The registry must not stay emptied: the insert failed.
        db_rollback();
        return ZE_DBMS_ERROR;
    }
    // No layer at all: the one-shot statement does not commit a statement
    // that touched no row, but the emptying must be.
    if (rc == SQL_NO_DATA)
        db_commit();
    return DB_instance_get_layer_count(instance, count);
}

int32_t DB_registry_load_from_layers(DB_INSTANCE *instance, int32_t empty_first, int32_t *count)
{
    if (count == nullptr)
        return ZE_NULL_POINTER;
    try {
        return S_load_from_layers(instance, empty_first, count);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

int32_t db_registration_find_hook(DB_INSTANCE *, const char *table, REGISTRATION *registration)
{
    if (table == nullptr || registration == nullptr)
        return ZE_NULL_POINTER;
    DB_REGISTRATION_BY_NAME_FN lookup = db_instance_get_host()->registration_by_name;
    if (lookup == nullptr)
        return ZE_TABLE_NOT_REGISTERED;
    return lookup(db_instance_get_host_context(), table, registration);
}

// ---- obsolete entry points ---------------------------------------------------

static int32_t S_obsolete(const char *name)
{
    fprintf(stderr, "Obsolete function %s() called!", name);
    return ZE_FAILURE;
}

int32_t DB_registry_def_delete(DB_INSTANCE *, int32_t)
{
    return S_obsolete("DB_registry_def_delete");
}

int32_t DB_registry_def_insert(DB_INSTANCE *, const REGISTRATION *)
{
    return S_obsolete("DB_registry_def_insert");
}

int32_t DB_registry_def_update(DB_INSTANCE *, const REGISTRATION *)
{
    return S_obsolete("DB_registry_def_update");
}

int32_t DB_registry_def_change_table_name(DB_INSTANCE *, const REGISTRATION *, const char *)
{
    return S_obsolete("DB_registry_def_change_table_name");
}
