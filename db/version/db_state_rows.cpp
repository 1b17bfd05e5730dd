// Copying rows between states (db_state_rows.h) and the pieces the row
// operations share (db_state_rows_internal.h). The given ids go into a
// first working log; the ids of them the source state sees go into a
// second, which every later statement joins. The copy is one transaction:
// a failure rolls back all it did and deletes its working logs.
#include "db/version/db_state_rows_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>
#include <vector>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_log.h"
#include "db/catalog/db_log_internal.h"
#include "db/core/db_describe_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_xerr_internal.h"
#include "db/version/db_mv_view_internal.h"

namespace
{

// A new temporary log of the registration's table (named as given), open
// for adding. The log system's codes.
int32_t S_open_new_log(const REGISTRATION &r, const char *table, LOGFILE *log, int32_t *number)
{
    memset(log, 0, sizeof(*log));
    memcpy(log->tag, LOGINFO_TAG, sizeof(log->tag));
    int32_t rc = DB_log_make_name(nullptr, log->name);
    if (rc != 0)
        return rc;
    snprintf(log->table_name, sizeof(log->table_name), "%s", table);
    log->registration_id = r.registration_id;
    log->flags = LOGINFO_TABLE;
    log->registration = r;
    return DB_log_open(nullptr, log, DB_LOG_CREATE, number);
}

// Runs a clean-up step without letting it replace the extended error
// record of the failure being cleaned up after.
template <typename Step> void S_keeping_xerr(Step step)
{
    const DB_EXT_ERROR kept = db_global_xerr;
    step();
    db_global_xerr = kept;
}

std::string S_text(const char *field, size_t size)
{
    return std::string(field, strnlen(field, size));
}

} // namespace

int32_t db_registered_table_make_id_logfile(const REGISTRATION *registration, const int32_t *ids,
                                            int32_t count, LOGFILE *out)
{
    if (registration == nullptr || out == nullptr || (ids == nullptr && count > 0))
        return ZE_NULL_POINTER;
    if (count < 0)
        return ZE_INVALID_ARGUMENT;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        const REGISTRATION &r = *registration;
        char table[DB_QUALIFIED_NAME_SIZE] = "";
        if (db_table_make_name(S_text(r.database_name, sizeof(r.database_name)).c_str(),
                               S_text(r.owner, sizeof(r.owner)).c_str(),
                               S_text(r.table_name, sizeof(r.table_name)).c_str(), table,
                               sizeof(table)) != 0)
            return ZE_INVALID_ARGUMENT;
        int32_t number = 0;
        int32_t rc = S_open_new_log(r, table, out, &number);
        if (rc != 0) {
            // The log row may have been made before the open failed.
            if (out->name[0] != '\0')
                S_keeping_xerr([&] { DB_log_delete(nullptr, out->name); });
            return rc;
        }
        if (count > 0)
            rc = DB_log_add_id_list(nullptr, number, ids, count);
        const int32_t closed = DB_log_close(nullptr, number);
        if (rc == 0)
            rc = closed;
        if (rc != 0)
            S_keeping_xerr([&] { DB_log_delete(nullptr, out->name); });
        return rc;
    });
}

std::string db_state_log_data_table(const LOGFILE &log)
{
    char name[sizeof(log.name)];
    snprintf(name, sizeof(name), "%.*s", static_cast<int>(sizeof(name) - 1), log.name);
    char database[DB_LOG_DATABASE_SIZE], owner[DB_LOG_OWNER_SIZE], bare[DB_LOG_BARE_SIZE];
    if (db_log_parse_name(name, nullptr, database, owner, bare) != 0)
        return {};
    return db_log_data_table_name(database, owner);
}

int32_t db_state_view_build(DB_INSTANCE *instance, const REGISTRATION &r, const DB_STATE_NAMES &n,
                            int32_t state_id, const char *lineage, const LOGFILE *log,
                            const std::string &alias, const std::vector<std::string> &columns,
                            DB_STATE_VIEW *out)
{
    if (alias.empty() || alias.size() >= DB_MV_NAME_SIZE ||
        db_check_name(alias.c_str(), DB_MV_NAME_SIZE) != 0 || columns.size() > INT16_MAX)
        return ZE_INVALID_ARGUMENT;
    std::vector<const char *> names;
    for (const std::string &c : columns)
        names.push_back(c.c_str());
    DB_MV_TABLE_INFO table;
    memset(&table, 0, sizeof(table));
    table.table_name = n.base.c_str();
    table.registration_id = r.registration_id;
    snprintf(table.rowid_column, sizeof(table.rowid_column), "%s", n.rowid.c_str());
    table.column_names = names.data();
    table.column_count = static_cast<int16_t>(names.size());
    snprintf(table.alias, sizeof(table.alias), "%s", alias.c_str());
    DB_MV_QUERY_INFO info;
    memset(&info, 0, sizeof(info));
    info.kind = DB_MV_STANDARD_OTHER;
    info.state_id = state_id;
    info.lineage = lineage;
    info.tables = &table;
    info.table_count = 1;
    info.logfile = log;
    char user[DB_USER_NAME_SIZE] = "";
    DB_instance_get_current_user(instance, user);
    char *text = nullptr;
    const int32_t rc = db_mv_view_build(instance, &info, n.base.c_str(), user, 0, 0, &text, 0, 1);
    out->state_id = state_id;
    out->log = log;
    out->text.clear();
    if (rc == 0 && text != nullptr)
        out->text = text;
    free(text);
    return rc;
}

// Shows the view's state (and log) through the table's lineage setter.
// 0; -37 and -25 as the call gave them; else -51 with the call's code as
// native error.
static int32_t S_show_state(const REGISTRATION &r, const DB_STATE_VIEW &view)
{
    DB_MV_QUERY_INFO info;
    memset(&info, 0, sizeof(info));
    info.state_id = view.state_id;
    info.logfile = view.log;
    const int32_t rc = db_mv_set_lineage(&info, r.registration_id);
    if (rc == 0 || rc == SQL_NO_DATA)
        return 0;
    VES_print_debug(stderr, "Lineage setter of registration %d failed (%d).\n", r.registration_id,
                    rc);
    if (rc == ZE_TABLE_NOT_FOUND || rc == ZE_NO_PERMISSIONS || rc == ZE_OUT_OF_MEMORY)
        return rc;
    db_xerr_clear(&db_global_xerr);
    db_global_xerr.code = ZE_DBMS_ERROR;
    db_global_xerr.native_error = rc;
    return ZE_DBMS_ERROR;
}

int32_t db_state_run_with_view(const REGISTRATION &r, const DB_STATE_VIEW *view,
                               const std::string &sql, const char *message)
{
    if (view != nullptr) {
        const int32_t rc = S_show_state(r, *view);
        if (rc != 0)
            return rc;
    }
    return db_execute_and_commit_dml(sql.c_str(), DB_DML_KEEP_OPEN, message);
}

void db_state_drop_log(const char *name, bool report)
{
    int32_t rc = 0;
    S_keeping_xerr([&] { rc = DB_log_delete(nullptr, name); });
    if (rc != 0 && report)
        VES_print_debug(stderr, "Unable to delete working logfile %s.\n", name);
}

namespace
{

// The two working logs of a copy and the undoing of a failed copy.
struct S_working {
    LOGFILE first{}, second{};
    bool first_live = false, second_live = false;
    int32_t second_open = 0; // its descriptor while open

    // Closes what is open, rolls back when asked (which may bring a deleted
    // log back), deletes the logs; the failure's record is kept. rc.
    int32_t fail(int32_t rc, bool rollback)
    {
        S_keeping_xerr([&] {
            if (second_open != 0)
                DB_log_close(nullptr, second_open);
            second_open = 0;
            if (rollback) {
                db_catalog_rollback();
                first_live = true;
            }
        });
        if (first_live)
            db_state_drop_log(first.name, false);
        if (second_live)
            db_state_drop_log(second.name, false);
        first_live = second_live = false;
        return rc;
    }
};

// The adds table's columns for the copy of the source versions: the insert
// list, and the select list with the target state in place of the first
// state column. 0; -37 (no columns); -38 (no state column); -66 (a name
// that is not an identifier); the description's codes.
int32_t S_adds_lists(const DB_STATE_NAMES &n, int32_t target, std::vector<std::string> *columns,
                     std::string *insert, std::string *select)
{
    int16_t count = 0;
    DB_COLUMN_DEF *defs = nullptr;
    int32_t *lengths = nullptr;
    int16_t *types = nullptr;
    int32_t rc =
        db_describe_table(nullptr, nullptr, n.adds.c_str(), &count, &defs, &lengths, &types);
    bool state_seen = false;
    for (int16_t i = 0; rc == 0 && i < count; i++) {
        const std::string name = S_text(defs[i].name, sizeof(defs[i].name));
        if (db_check_name(name.c_str(), sizeof(defs[i].name)) != 0) {
            rc = ZE_INVALID_ARGUMENT;
            break;
        }
        columns->push_back(name);
        const bool state = !state_seen && strcasecmp(name.c_str(), "ZEL_STATE_ID") == 0;
        state_seen = state_seen || state;
        const std::string written = state ? "ZEL_STATE_ID" : name;
        const std::string value = state ? std::to_string(target) : name;
        if (i == 0) {
            *insert = written + " ";
            *select = value + " ";
        } else {
            *insert += "," + written + " ";
            *select += "," + value;
        }
    }
    free(defs);
    free(lengths);
    free(types);
    if (rc == 0 && count == 0)
        rc = ZE_TABLE_NOT_FOUND;
    // Without its state column the copies would keep the source's state.
    if (rc == 0 && !state_seen)
        rc = ZE_COLUMN_NOT_FOUND;
    return rc;
}

int32_t S_copy(DB_INSTANCE *instance, const REGISTRATION &r, int32_t source,
               const char *source_lineage, int32_t target, const char *target_lineage,
               const int32_t *ids, int32_t count, S_working &w)
{
    DB_STATE_NAMES n;
    int32_t rc = db_state_names(instance, r, &n);
    if (rc != 0)
        return rc;
    // Statements name the view's columns by the bare table name.
    const std::string alias = S_text(r.table_name, sizeof(r.table_name));
    if (alias.empty() || alias.size() >= DB_MV_NAME_SIZE ||
        db_check_name(alias.c_str(), DB_MV_NAME_SIZE) != 0)
        return ZE_INVALID_ARGUMENT;
    const bool equivalences = getenv("ZELEQUIVS") != nullptr;

    rc = db_registered_table_make_id_logfile(&r, ids, count, &w.first);
    if (rc != 0)
        return rc;
    w.first_live = true;
    rc = S_open_new_log(r, alias.c_str(), &w.second, &w.second_open);
    w.second_live = w.second.name[0] != '\0';
    if (rc != 0) {
        w.second_open = 0;
        return w.fail(rc, false);
    }
    const std::string data = db_state_log_data_table(w.second);
    if (data.empty())
        return w.fail(ZE_INVALID_ARGUMENT, false);
    const int32_t data_id = w.second.data_id;
    const std::vector<std::string> key = {"ZEL_STATE_ID", n.rowid};

    // The listed rows the source sees go into the second log.
    DB_STATE_VIEW from_source;
    rc = db_state_view_build(instance, r, n, source, source_lineage, &w.first, alias, key,
                             &from_source);
    if (rc != 0)
        return w.fail(rc, false);
    rc = S_show_state(r, from_source);
    if (rc == 0)
        rc = db_log_add_ids_from_query(instance, w.second_open, nullptr, from_source.text.c_str(),
                                       nullptr);
    if (rc != 0)
        return w.fail(rc, true);
    rc = DB_log_close(nullptr, w.second_open);
    w.second_open = 0;
    if (rc != 0)
        return w.fail(rc, true);
    // Its id rows stay for the source view, which reads them by data id.
    db_state_drop_log(w.first.name, false);
    w.first_live = false;

    const char *A = n.adds.c_str();
    const char *D = n.deletes.c_str();
    const char *E = n.equivalence.c_str();
    const char *R = n.rowid.c_str();
    const char *T = alias.c_str();
    const char *L = data.c_str();
    auto run = [&](const DB_STATE_VIEW *view, const std::string &sql, const char *message) {
        return db_state_run_with_view(r, view, sql, message);
    };

    // The target's own versions of those rows go.
    rc = run(nullptr,
             db_sql_format("DELETE FROM %s WHERE  %s = %d AND %s IN (SELECT l.zel_row_id FROM   "
                           "%s l WHERE  l.logfile_data_id = %d)",
                           A, "ZEL_STATE_ID", target, R, L, data_id),
             "Error when deleting new rows before copy between states.");
    if (rc == 0 && equivalences)
        rc = run(nullptr,
                 db_sql_format("DELETE FROM %s WHERE (%s = %d OR %s = %d) AND %s IN (SELECT "
                               "zel_row_id FROM   %s WHERE  logfile_data_id = %d)",
                               E, "ZEL_STATE_ID", target, "EQUIVALENCE_STATE_ID", target,
                               "ZEL_ROW_ID", L, data_id),
                 "Error when deleting equivalence rows before copy between states.");
    if (rc != 0)
        return w.fail(rc, true);

    // Every version the target still sees of them is deleted at the target.
    DB_STATE_VIEW in_target;
    rc = db_state_view_build(instance, r, n, target, target_lineage, &w.second, alias, key,
                             &in_target);
    if (rc == 0)
        rc = run(&in_target,
                 db_sql_format("INSERT INTO %s SELECT /*+  */ %s.%s,%s.%s,%d FROM %s ", D, T,
                               "ZEL_STATE_ID", T, R, target, in_target.text.c_str()),
                 "Error when adding delete entries for copy between states.");
    if (rc != 0)
        return w.fail(rc, true);

    // The source's versions come in as versions of the target.
    std::vector<std::string> columns;
    std::string insert, select;
    rc = S_adds_lists(n, target, &columns, &insert, &select);
    DB_STATE_VIEW copied;
    if (rc == 0)
        rc = db_state_view_build(instance, r, n, source, source_lineage, &w.second, alias, columns,
                                 &copied);
    if (rc == 0)
        rc = run(&copied,
                 db_sql_format("INSERT INTO %s (%s)SELECT %s FROM   %s ", A, insert.c_str(),
                               select.c_str(), copied.text.c_str()),
                 "Error when copying rows between states.");
    if (rc != 0)
        return w.fail(rc, true);

    if (equivalences) {
        // The source versions' equivalences repeated for the target.
        rc = run(&from_source,
                 db_sql_format("INSERT INTO %s SELECT /*+  */ %d,e.%s,e.%s FROM   %s e,%s WHERE  "
                               "e.%s = %s.%s AND e.%s = %s.%s",
                               E, target, "ZEL_ROW_ID", "EQUIVALENCE_STATE_ID", E,
                               from_source.text.c_str(), "ZEL_STATE_ID", T, "ZEL_STATE_ID",
                               "ZEL_ROW_ID", T, R),
                 "Error when copying from->to equivalence entries.");
        // Its lists are the source's: the source state is shown for them.
        if (rc == 0)
            rc =
                run(&from_source,
                    db_sql_format(
                        "INSERT INTO %s SELECT DISTINCT e.%s,e.%s,%d FROM   %s e, %s l WHERE  "
                        "e.%s = l.zel_row_id AND l.logfile_data_id = %d AND e.%s NOT IN "
                        "(%d,%d) AND e.%s IN (%s) AND  NOT EXISTS (   SELECT %s,%s   FROM   %s "
                        "d   WHERE  %s IN (%s) AND          e.%s = d.%s AND          e.%s <= "
                        "d.%s )",
                        E, "ZEL_STATE_ID", "ZEL_ROW_ID", target, E, L, "ZEL_ROW_ID", data_id,
                        "ZEL_STATE_ID", source, target, "EQUIVALENCE_STATE_ID", source_lineage,
                        "ZEL_DELETES_ROW_ID", "ZEL_STATE_ID", D, "DELETED_AT", source_lineage,
                        "ZEL_ROW_ID", "ZEL_DELETES_ROW_ID", "EQUIVALENCE_STATE_ID", "ZEL_STATE_ID"),
                    "Error when copying to->from equivalence entries.");
        if (rc == 0)
            rc = run(&from_source,
                     db_sql_format("INSERT INTO %s SELECT %s.%s,%s.%s,%d FROM  %s ", E, T,
                                   "ZEL_STATE_ID", T, R, target, from_source.text.c_str()),
                     "Error when adding from->to equivalence for copy between states.");
        // Read now, the target's view shows the new copies.
        if (rc == 0)
            rc = run(&in_target,
                     db_sql_format("INSERT INTO %s SELECT /*+  */ %s.%s,%s.%s,%d FROM   %s ", E, T,
                                   "ZEL_STATE_ID", T, R, source, in_target.text.c_str()),
                     "Error when adding to->from equivalence entries for copy between states.");
        if (rc != 0)
            return w.fail(rc, true);
    }
    db_state_drop_log(w.second.name, true);
    w.second_live = false;
    return ZE_SUCCESS;
}

} // namespace

int32_t DB_registered_table_copy_state_rows(DB_INSTANCE *instance, const REGISTRATION *registration,
                                            int32_t source_state_id, const char *source_lineage,
                                            int32_t target_state_id, const char *target_lineage,
                                            const int32_t *ids, int32_t count)
{
    if (registration == nullptr || source_lineage == nullptr || target_lineage == nullptr ||
        (ids == nullptr && count > 0))
        return ZE_NULL_POINTER;
    // An empty list would make an IN list a syntax error half-way through.
    if (db_sql_is_blank(source_lineage) || db_sql_is_blank(target_lineage) || count < 0)
        return ZE_INVALID_ARGUMENT;
    S_working w;
    const int32_t rc = zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_copy(instance, *registration, source_state_id, source_lineage, target_state_id,
                      target_lineage, ids, count, w);
    });
    // Memory that ran out half-way leaves nothing of the copy either.
    if (w.first_live || w.second_live || w.second_open != 0)
        return w.fail(rc, true);
    return rc;
}
