// The multiversion view builder (db_mv_view_internal.h): the entry that picks
// a builder by view kind, the standard view of a state (kinds 2 and 3) with
// the creation protocol of the stored views, the current-adds text (kind 11),
// view names, the existence test, the lineage setter and the text size. The
// change and difference kinds are in db_mv_change_view.cpp.
//
// A stored view is created once and then serves every connection, so its
// text must not carry anything of the connection that made it: it is
// created only from a lineage list that reads the state through the table's
// getters and without a log file (whose data table belongs to one user).
// Any other standard view is written inline as a derived table.
#include "db/version/db_mv_view_internal.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>

#include "base/util/zel_errors.h"
#include "db/catalog/db_table_access_internal.h"
#include "db/catalog/db_view.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/version/db_routine_internal.h"

// ---- names, existence, setter ---------------------------------------------------

int32_t db_mv_view_name(int32_t registration_id, int32_t kind, int32_t log, int32_t sublineage,
                        char *out, size_t size)
{
    if (out == nullptr || size == 0)
        return ZE_INVALID_ARGUMENT;
    out[0] = '\0';
    const char *family;
    if (kind == DB_MV_STANDARD || kind == DB_MV_STANDARD_OTHER)
        family = "std";
    else if (kind == DB_MV_UPDATE_CHANGES || kind == DB_MV_DELETE_CHANGES)
        family = "nch";
    else
        return ZE_SUCCESS;
    std::string name = std::string("ZEL_") + family;
    if (log)
        name += "_log";
    if (sublineage)
        name += "_sublineage";
    if (kind == DB_MV_UPDATE_CHANGES)
        name += "_update";
    else if (kind == DB_MV_DELETE_CHANGES)
        name += "_delete";
    if (getenv("ZELEQUIVS") != nullptr)
        name += "_equiv";
    name += "_view_" + std::to_string(registration_id);
    if (name.size() >= size)
        return ZE_INVALID_ARGUMENT;
    memcpy(out, name.c_str(), name.size() + 1);
    return ZE_SUCCESS;
}

int32_t db_view_exists(const char *view)
{
    if (view == nullptr)
        return ZE_NULL_POINTER;
    std::string sql;
    try {
        sql = "SELECT count(*) FROM SYSTABLES WHERE tabtype = 'V' AND tabname = LOWER('" +
              db_quote_literal(view) + "') ";
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
    CLI_STATEMENT cli;
    db_cli_init(&cli);
    SQLINTEGER count = 0;
    SQLLEN length = 0;
    int32_t rc = db_cli_prepare(&cli, sql.c_str());
    if (rc == ZE_SUCCESS)
        rc = db_cli_define_by_pos(&cli, SQL_C_LONG, &count, sizeof(count), &length);
    if (rc == ZE_SUCCESS)
        rc = db_cli_execute_stmt(&cli, 1);
    if (rc == ZE_SUCCESS)
        rc = db_cli_fetch(&cli);
    db_cli_free_last(&cli);
    if (rc != ZE_SUCCESS)
        return rc;
    return count > 0 ? ZE_VIEW_EXISTS : ZE_SUCCESS;
}

int32_t db_mv_set_lineage(const DB_MV_QUERY_INFO *info, int32_t registration_id)
{
    if (info == nullptr)
        return ZE_NULL_POINTER;
    char setter[DB_MV_VIEW_NAME_SIZE];
    int32_t rc =
        db_lineage_routine_name(registration_id, setter, sizeof(setter), DB_STATEID_GET, 0);
    if (rc != ZE_SUCCESS)
        return rc;
    // The log getter feeds a join on the data rows' key, the data id.
    const int32_t log = info->logfile != nullptr ? info->logfile->data_id : -1;
    std::string sql;
    try {
        sql = std::string("EXECUTE PROCEDURE ") + setter + "(" + std::to_string(info->state_id) +
              ", " + std::to_string(info->lineage_id) + ", " + std::to_string(info->diff_state_id) +
              ", " + std::to_string(info->start_id) + ", " + std::to_string(log) + ")";
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
    rc = db_execute_ddlsql(sql.c_str(), 0, 0);
    return rc == SQL_SUCCESS_WITH_INFO ? ZE_SUCCESS : rc;
}

static const DB_MV_TABLE_INFO *S_table(const DB_MV_QUERY_INFO *info, int32_t position)
{
    if (info == nullptr || info->tables == nullptr || position < 0 || position >= info->table_count)
        return nullptr;
    return &info->tables[position];
}

int32_t db_mv_view_prepare_names(DB_MV_QUERY_INFO *info, int32_t position, int32_t kind, char *view,
                                 size_t view_size, char *setter, size_t setter_size, int32_t create)
{
    const DB_MV_TABLE_INFO *table = S_table(info, position);
    if (table == nullptr || view == nullptr)
        return ZE_INVALID_ARGUMENT;
    if (setter != nullptr) {
        int32_t rc =
            db_lineage_routine_name(table->registration_id, setter, setter_size, DB_STATEID_GET, 0);
        if (rc != ZE_SUCCESS)
            return rc;
    }
    int32_t rc = db_mv_view_name(table->registration_id, kind, info->logfile != nullptr,
                                 info->sub_lineage != nullptr, view, view_size);
    if (rc == ZE_SUCCESS && !create)
        rc = db_mv_set_lineage(info, table->registration_id);
    return rc;
}

int32_t db_query_needs_mv_view(const DB_MV_QUERY_INFO *info)
{
    if (info == nullptr)
        return 0;
    if (info->kind == DB_MV_STANDARD || info->kind == DB_MV_STANDARD_OTHER)
        return 1;
    if (info->kind == DB_MV_UPDATE_CHANGES || info->kind == DB_MV_DELETE_CHANGES)
        return info->state_id != 0 ? 1 : 0;
    return 0;
}

// ---- the builders ------------------------------------------------------------------

namespace
{

// The common first steps: the side tables' names, and the names that go
// into the text unquoted checked.
int32_t S_prepare(DB_MV_BUILD *b, const char *table_name, const char *default_owner)
{
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], table[DB_NAME_TABLE_SIZE];
    if (db_check_table_name(table_name) != 0 ||
        db_parse_table_name(b->instance, table_name, default_owner, database, owner, table) != 0)
        return ZE_INVALID_ARGUMENT;
    const DB_MV_TABLE_INFO *t = b->table;
    if (db_check_name(t->rowid_column, sizeof(t->rowid_column)) != 0 ||
        (t->alias[0] != '\0' && db_check_name(t->alias, sizeof(t->alias)) != 0))
        return ZE_INVALID_ARGUMENT;
    b->R = t->rowid_column;
    b->X = t->alias;
    char name[DB_QUALIFIED_NAME_SIZE];
    const int32_t id = t->registration_id;
    if (db_make_adds_table_name(b->instance, id, database, owner, name, sizeof(name)) != 0)
        return ZE_INVALID_ARGUMENT;
    b->A = name;
    if (db_make_deletes_table_name(b->instance, id, database, owner, name, sizeof(name)) != 0)
        return ZE_INVALID_ARGUMENT;
    b->D = name;
    if (db_make_e_table_name(b->instance, id, database, owner, name, sizeof(name)) != 0)
        return ZE_INVALID_ARGUMENT;
    b->E = name;
    b->T = table_name;
    return ZE_SUCCESS;
}

} // namespace

bool db_mv_list_reads_getters(const char *list, int32_t registration_id)
{
    if (list == nullptr)
        return false;
    for (int32_t kind = DB_LINEAGE_GET; kind <= DB_LOGID_GET; kind++) {
        char getter[DB_MV_VIEW_NAME_SIZE];
        if (db_lineage_routine_name(registration_id, getter, sizeof(getter), kind, 1) != 0)
            continue;
        const std::string call = std::string(getter) + "()";
        const std::string text = list;
        for (size_t at = text.find(call); at != std::string::npos; at = text.find(call, at + 1)) {
            // Not the tail of a longer name (ZEL_stateid_get1() inside ..._get11()).
            const char before = at > 0 ? text[at - 1] : ' ';
            if (!(isalnum(static_cast<unsigned char>(before)) || before == '_'))
                return true;
        }
    }
    return false;
}

namespace
{

bool S_stored(const DB_MV_QUERY_INFO *info, const DB_MV_TABLE_INFO *table)
{
    return info->logfile == nullptr &&
           db_mv_list_reads_getters(info->lineage, table->registration_id);
}

// The body of the standard view: the base rows no deletion of the lineage
// removed, then the adds rows of the lineage no deletion of it removed.
// getter: the log is read through the table's log getter (stored form).
int32_t S_standard_body(const DB_MV_BUILD &b, SQL_TEXT_BUFFER *buffer, bool getter)
{
    const DB_MV_TABLE_INFO *t = b.table;
    const LOGFILE *log = b.info->logfile;
    const char *L1 = b.info->lineage;
    const char *R = b.R.c_str();
    auto join = [&] {
        return log != nullptr ? db_mv_log_join(log, buffer, t->registration_id, getter)
                              : ZE_SUCCESS;
    };
    auto match = [&](const char *alias) {
        return [=] { return log != nullptr ? db_mv_log_match(log, alias, R, buffer) : ZE_SUCCESS; };
    };
    DB_MV_TEXT text{buffer};
    text.step([&] { return db_mv_select_list(t, "b", buffer, 1, 1); })
        .add({"FROM "})
        .step(join)
        .line({b.T.c_str(), " b "})
        .line({"WHERE b.", R, " NOT IN (SELECT ", "ZEL_DELETES_ROW_ID", " "})
        .line({"FROM ", b.D.c_str(), " dd "})
        .line({" WHERE ", "ZEL_STATE_ID", " = 0 AND "})
        .line({"DELETED_AT", " IN (", L1, ") ) "})
        .step(match("b"))
        .line({"UNION ALL "})
        .add({"SELECT "})
        .step([&] { return db_mv_select_list(t, "a", buffer, 1, 1); })
        .line({" FROM "})
        .step(join)
        .line({" ", b.A.c_str(), " a "})
        .line({" WHERE a.", R, " NOT IN (SELECT ", "ZEL_DELETES_ROW_ID", " "})
        .line({" FROM ", b.D.c_str(), " dd "})
        .line({" WHERE ", "DELETED_AT", " IN (", L1, ")", " AND "})
        .line({"a.", "ZEL_STATE_ID", " = dd.", "ZEL_STATE_ID", " ) AND "})
        .line({"a.", "ZEL_STATE_ID", " IN (", L1, ") "})
        .step(match("a"));
    return text.rc;
}

} // namespace

int32_t db_mv_name_in_output(const DB_MV_BUILD &b, const char *view)
{
    return DB_MV_TEXT{b.out}.line({view, " ", b.X.c_str()}).rc;
}

int32_t db_mv_create_view(const DB_MV_BUILD &b, const char *view,
                          const std::function<int32_t(SQL_TEXT_BUFFER *)> &write)
{
    SQL_TEXT_BUFFER create;
    sql_string_init(&create);
    struct Free {
        SQL_TEXT_BUFFER *buffer;
        ~Free()
        {
            sql_string_free(buffer);
        }
    } free_create{&create};
    DB_MV_TEXT text{&create};
    text.step([&] { return write(&create); }).step([&] { return db_mv_name_in_output(b, view); });
    if (text.rc != 0)
        return text.rc;
    int32_t rc = db_execute_ddlsql(create.text, 0, 0);
    if (rc != 0 && rc != SQL_SUCCESS_WITH_INFO && rc != ZE_TABLE_EXISTS)
        return rc;
    rc = db_table_grant_sql(b.instance, 0, "SELECT", view, "PUBLIC", 1, 0);
    if (rc != 0 && rc != SQL_SUCCESS_WITH_INFO) {
        // The drop clears the connection's record: the grant's failure is
        // what the caller is told about.
        const DB_EXT_ERROR grant_failure = db_global_xerr;
        DB_view_drop(b.instance, view);
        db_global_xerr = grant_failure;
        return rc;
    }
    return ZE_SUCCESS;
}

namespace
{

// Kinds 2 and 3.
int32_t S_standard_view(const DB_MV_BUILD &b, int32_t create)
{
    const DB_MV_QUERY_INFO *info = b.info;
    const int32_t id = b.table->registration_id;
    int32_t rc;
    if (S_stored(info, b.table)) {
        char view[DB_MV_VIEW_NAME_SIZE];
        rc = db_mv_view_name(id, info->kind, 0, info->sub_lineage != nullptr, view, sizeof(view));
        if (rc == 0 && (db_view_exists(view) == ZE_VIEW_EXISTS || !create))
            rc = db_mv_name_in_output(b, view);
        else if (rc == 0)
            rc = db_mv_create_view(b, view, [&](SQL_TEXT_BUFFER *create) {
                return DB_MV_TEXT{create}
                    .line({"CREATE VIEW ", view, "("})
                    .step([&] { return db_mv_column_list(b.table, create, 1); })
                    .add({") AS (SELECT "})
                    .step([&] { return S_standard_body(b, create, true); })
                    .add({") "})
                    .rc;
            });
    } else {
        // Inline: the same rows, with the lineage and the log as this query has them.
        rc = DB_MV_TEXT{b.out}
                 .add({"TABLE (MULTISET(SELECT "})
                 .step([&] { return S_standard_body(b, b.out, false); })
                 .line({")) ", b.X.c_str()})
                 .rc;
    }
    return rc != 0 ? rc : db_mv_set_lineage(info, id);
}

// Kind 11: the adds rows of the lineage whose (row id, state) pair the
// lineage did not delete.
int32_t S_current_adds(const DB_MV_BUILD &b)
{
    const char *L1 = b.info->lineage;
    const char *R = b.R.c_str();
    int32_t rc = DB_MV_TEXT{b.out}
                     .add({"TABLE (MULTISET(SELECT "})
                     .step([&] { return db_mv_select_list(b.table, "a", b.out, 0, 0); })
                     .line({" FROM "})
                     .line({" ", b.A.c_str(), " a "})
                     .line({" WHERE ROW(", "a.", R, ",", "a.", "ZEL_STATE_ID", ") NOT IN "})
                     .line({"(SELECT ", "ROW( ", "ZEL_DELETES_ROW_ID", ",", "ZEL_STATE_ID", ") "})
                     .line({" FROM ", b.D.c_str()})
                     .line({" WHERE ", "DELETED_AT", " IN (", L1, "))", " AND "})
                     .line({"a.", "ZEL_STATE_ID", " IN (", L1, ") "})
                     .line({")) ", b.X.c_str()})
                     .rc;
    return rc != 0 ? rc : db_mv_set_lineage(b.info, b.table->registration_id);
}

int32_t S_build(DB_INSTANCE *instance, DB_MV_QUERY_INFO *info, const char *table,
                const char *default_owner, int32_t position, SQL_TEXT_BUFFER *out, int32_t create)
{
    DB_MV_BUILD b{instance, info, S_table(info, position), position, {}, {}, {}, {}, {}, {}, out};
    if (b.table == nullptr || table == nullptr)
        return ZE_INVALID_ARGUMENT;
    const int32_t kind = info->kind;
    if (kind < DB_MV_STANDARD || kind > DB_MV_CURRENT_ADDS)
        return ZE_INVALID_ARGUMENT;
    int32_t rc = db_mv_check_lists(info);
    if (rc == 0)
        rc = S_prepare(&b, table, default_owner);
    if (rc != 0)
        return rc;
    switch (kind) {
    case DB_MV_UPDATE_CHANGES:
        return db_mv_update_view_build(b, create);
    case DB_MV_DELETE_CHANGES:
        return db_mv_delete_view_build(b, create);
    case 6:
        return db_mv_diff6_text(b);
    case 7:
        return db_mv_diff7_text(b);
    case 8:
        return db_mv_diff8_text(b);
    case 9:
        return db_mv_diff9_text(b);
    case DB_MV_DIFFERENCE_LAST:
        return db_mv_empty_text(b);
    case DB_MV_CURRENT_ADDS:
        return S_current_adds(b);
    default:
        return S_standard_view(b, create);
    }
}

} // namespace

int32_t db_mv_view_build(DB_INSTANCE *instance, DB_MV_QUERY_INFO *info, const char *table,
                         const char *default_owner, int32_t position, int32_t capacity, char **text,
                         int32_t, int32_t create)
{
    if (info == nullptr || text == nullptr)
        return ZE_INVALID_ARGUMENT;
    SQL_TEXT_BUFFER out;
    int32_t rc = db_mv_buffer_init(&out, capacity, *text);
    if (rc != ZE_SUCCESS)
        return rc;
    try {
        rc = S_build(instance, info, table, default_owner, position, &out, create);
    } catch (const std::bad_alloc &) {
        rc = ZE_OUT_OF_MEMORY;
    }
    if (capacity < 1)
        *text = out.text; // also on failure: the caller frees it
    return rc;
}

int32_t db_mv_view_text_size(DB_MV_QUERY_INFO *info, const void *, const char *table,
                             const char *default_owner, int32_t position)
{
    if (info == nullptr || table == nullptr)
        return 1;
    const int32_t kind = info->kind;
    const DB_MV_TABLE_INFO *entry = S_table(info, position);
    bool stored = false;
    if (entry != nullptr && (kind == DB_MV_UPDATE_CHANGES || kind == DB_MV_DELETE_CHANGES))
        stored = db_mv_change_view_stored(info, entry);
    else if (entry != nullptr && (kind == DB_MV_STANDARD || kind == DB_MV_STANDARD_OTHER))
        stored = info->lineage != nullptr && S_stored(info, entry);
    if (info->state_id != 0 && stored) {
        // The stored form writes only "<view> <alias>"; the bound is the
        // asked table's, whatever the first table of the query holds.
        const int32_t columns = entry->column_count > 0 ? entry->column_count : 0;
        return 35 * columns + static_cast<int32_t>(strlen(table)) + 195;
    }
    char *text = nullptr;
    db_mv_view_build(db_instance_get_current(), info, table, default_owner, position, 0, &text, 0,
                     0);
    // A caller's buffer takes a text only while the text and its terminator
    // stay below the buffer's size, so the text needs its length plus 2.
    const int32_t size = text != nullptr ? static_cast<int32_t>(strlen(text)) + 2 : 1;
    free(text);
    return size;
}
