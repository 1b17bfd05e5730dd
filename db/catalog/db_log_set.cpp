// Log-file set operations (db_log_set.h): a log's distinct ids counted, two
// logs of one table combined into a third (intersection, union, difference,
// symmetric difference), a log copied and cleared of duplicate ids. All of it
// runs inside the database as INSERT ... SELECT over the owners' data tables
// (db_log.h); union and symmetric difference read through a working view
// that lives for one call. The statement texts are built by the db_log_*_sql
// functions below (db_log_set_internal.h).
#include "db/catalog/db_log_set_internal.h"

#include <stdio.h>
#include <string.h>

#include <string>

#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_log_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_informix_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"

// ---- statement texts -----------------------------------------------------------

std::string db_log_count_sql(const std::string &data_table, int32_t data_id)
{
    return db_sql_format("SELECT count(DISTINCT zel_row_id)  FROM  %s  WHERE logfile_data_id = %d",
                         data_table.c_str(), data_id);
}

std::string db_log_combine_view_name(int32_t code, const std::string &target_log, int32_t first_tag,
                                     int32_t second_tag)
{
    if (code == DB_LOG_UNION)
        return db_sql_format("%s_UNION_%d_%d", target_log.c_str(), first_tag, second_tag);
    if (code == DB_LOG_SYMMETRIC_DIFFERENCE)
        return db_sql_format("%s_SYMDIFF_%d_%d", target_log.c_str(), first_tag, second_tag);
    return {};
}

std::string db_log_combine_view_sql(int32_t code, const DB_LOG_COMBINE_SQL &s,
                                    const std::string &view)
{
    const char *first = s.first.c_str();
    const char *second = s.second.c_str();
    if (code == DB_LOG_UNION)
        return db_sql_format(" CREATE VIEW %s (logfile_data_id, zel_row_id) AS  SELECT "
                             "%d,zel_row_id FROM %s  WHERE logfile_data_id = %d UNION  SELECT "
                             "%d,zel_row_id FROM %s  WHERE logfile_data_id = %d",
                             view.c_str(), s.t, first, s.a, s.t, second, s.b);
    if (code == DB_LOG_SYMMETRIC_DIFFERENCE)
        return db_sql_format(
            "CREATE VIEW %s ( logfile_data_id, zel_row_id) AS  ( SELECT DISTINCT %d, zel_row_id  "
            "   FROM %s a     WHERE logfile_data_id = %d AND     NOT EXISTS(      SELECT %d, "
            "zel_row_id     FROM %s b     WHERE b.zel_row_id = a.zel_row_id            AND "
            "b.logfile_data_id = %d )) UNION  ( SELECT DISTINCT %d, zel_row_id     FROM %s a     "
            "WHERE logfile_data_id = %d AND     NOT EXISTS(      SELECT %d, zel_row_id     FROM "
            "%s b     WHERE b.zel_row_id = a.zel_row_id            AND b.logfile_data_id = %d))",
            view.c_str(), s.t, first, s.a, s.t, second, s.b, s.t, second, s.b, s.t, first, s.a);
    return {};
}

std::string db_log_combine_insert_sql(int32_t code, const DB_LOG_COMBINE_SQL &s,
                                      const std::string &view)
{
    const char *target = s.target.c_str();
    const char *first = s.first.c_str();
    const char *second = s.second.c_str();
    switch (code) {
    case DB_LOG_INTERSECTION:
        return db_sql_format("INSERT INTO %s (logfile_data_id,zel_row_id)   SELECT UNIQUE %d, "
                             "a.zel_row_id     FROM %s a,          %s b     WHERE "
                             "a.logfile_data_id = %d AND           b.logfile_data_id = %d AND    "
                             "      a.zel_row_id = b.zel_row_id",
                             target, s.t, first, second, s.a, s.b);
    case DB_LOG_UNION:
        return db_sql_format("INSERT INTO %s SELECT logfile_data_id,zel_row_id  FROM %s", target,
                             view.c_str());
    case DB_LOG_DIFFERENCE:
        return db_sql_format("INSERT INTO %s (logfile_data_id,zel_row_id)   SELECT distinct %d, "
                             "zel_row_id     FROM %s a    WHERE logfile_data_id = %d  AND NOT "
                             "EXISTS(   SELECT %d, zel_row_id    FROM %s b    WHERE b.zel_row_id "
                             "= a.zel_row_id          AND b.logfile_data_id = %d)",
                             target, s.t, first, s.a, s.t, second, s.b);
    case DB_LOG_SYMMETRIC_DIFFERENCE:
        return db_sql_format(" INSERT INTO %s  (logfile_data_id,zel_row_id)  SELECT "
                             "logfile_data_id, zel_row_id    FROM %s ",
                             target, view.c_str());
    default:
        return {};
    }
}

std::string db_log_copy_rows_sql(const std::string &target_table, int32_t target_data_id,
                                 const std::string &source_table, int32_t source_data_id)
{
    return db_sql_format("INSERT INTO %s (logfile_data_id, zel_row_id) SELECT DISTINCT %d, "
                         "zel_row_id  FROM %s  WHERE logfile_data_id = %d ",
                         target_table.c_str(), target_data_id, source_table.c_str(),
                         source_data_id);
}

std::string db_log_setdelete_name(const std::string &data_table)
{
    return data_table + "_setdelete";
}

std::string db_log_setdelete_sql(const std::string &function, const std::string &data_table)
{
    const char *data = data_table.c_str();
    return db_sql_format(
        "CREATE FUNCTION %s( updated_id integer)                     RETURNING integer;          "
        "           DEFINE row_id integer;                     DEFINE sql_code integer;          "
        "           DEFINE isam integer;                     LET row_id = 0;                     "
        "LET sql_code = 0;                     LET isam = 0;                     BEGIN           "
        "          ON EXCEPTION SET sql_code, isam                      return sql_code;         "
        "            END EXCEPTION;                     FOREACH update_cursor for                "
        "     SELECT LF1_.zel_row_id INTO row_id                     FROM %s LF1_                "
        "    WHERE LF1_.logfile_data_id = updated_id                     AND LF1_.rowid > "
        "(select MIN(LF2_.rowid) from %s LF2_                                  where "
        "LF2_.logfile_data_id = updated_id AND                                        "
        "LF2_.zel_row_id = LF1_.zel_row_id)                     UPDATE %s SET logfile_data_id = "
        "%d                     WHERE CURRENT OF update_cursor;                     END FOREACH; "
        "                    END                     RETURN sql_code;                    END "
        "FUNCTION;",
        function.c_str(), data, data, data, -1);
}

// ---- shared steps ------------------------------------------------------------------

namespace
{

// A parsed log name with the tables it lives in.
struct LogName : db_log_name {
    std::string qualified() const
    {
        return std::string(database) + ":" + owner + "." + bare;
    }
    std::string data_table() const
    {
        return db_log_data_table_name(database, owner);
    }
};

} // namespace

// Runs one statement, committed when asked. 0 also when it touched no row
// (an empty result is a result); ZE_TABLE_EXISTS when the object it makes
// exists and the Informix code -673 (a routine exists) come back without a
// record, for the caller to weigh; -44 for a refused permission; -51. With
// record set, a failure fills the connection's record.
static int32_t S_execute(const std::string &sql, bool commit, bool record)
{
    db_stmt_guard stmt;
    int rc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
    if (rc == 0)
        rc = SQLExecute(stmt.h);
    CLI_DIAG_RECORD diag;
    if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) {
        if (!commit)
            return ZE_SUCCESS;
        rc = db_commit();
        if (SQL_SUCCEEDED(rc))
            return ZE_SUCCESS;
        db_get_diag_record(&diag, nullptr, rc); // a refused commit's diagnostic
    } else {
        db_get_diag_record(&diag, &stmt.h, rc);
        if (strncmp(diag.sqlstate, "S0001", sizeof(diag.sqlstate)) == 0 ||
            strncmp(diag.sqlstate, "42S01", sizeof(diag.sqlstate)) == 0)
            return ZE_TABLE_EXISTS;
        if (diag.native_error == DB_IFX_NATIVE_PASSED_673)
            return DB_IFX_NATIVE_PASSED_673;
    }
    if (record)
        db_set_xerr_from_diag(diag);
    return strncmp(diag.sqlstate, "42000", sizeof(diag.sqlstate)) == 0 ? ZE_LOG_NOT_INITIALISED
                                                                       : ZE_DBMS_ERROR;
}

static int32_t S_run(const std::string &sql)
{
    return S_execute(sql, false, true);
}

static void S_drop_view(const std::string &view)
{
    S_execute("DROP VIEW " + view, true, false);
}

// Makes the working view, committed. A view of that name left by an earlier
// call that did not end holds that call's data ids, so it is replaced.
static int32_t S_make_view(const std::string &sql, const std::string &view)
{
    int32_t rc = S_execute(sql, true, true);
    if (rc == ZE_TABLE_EXISTS) {
        S_drop_view(view);
        rc = S_execute(sql, true, true);
    }
    return rc == ZE_TABLE_EXISTS ? ZE_DBMS_ERROR : rc;
}

// The record of a log read by name, its name qualified by the database it
// was read from (the log table gives owner.name only).
static int32_t S_read(DB_INSTANCE *instance, const char *text, const LogName &name, LOGFILE *log)
{
    memset(log, 0, sizeof(*log));
    int32_t rc = DB_log_get_by_name(instance, text, log);
    if (rc == 0)
        snprintf(log->name, sizeof(log->name), "%s", name.qualified().c_str());
    return rc;
}

// The record of a new log named target, taken from a model log (flags,
// table, registration, layer); ids and tag are the new log's own.
static LOGFILE S_new_record(const LOGFILE &model, const LogName &target)
{
    LOGFILE log = model;
    snprintf(log.name, sizeof(log.name), "%s", target.qualified().c_str());
    log.session_tag = 0;
    log.logfile_id = 0;
    log.data_id = 0;
    return log;
}

// ---- count -------------------------------------------------------------------------------

static int32_t S_count(const LOGFILE *log, int32_t *count)
{
    char text[sizeof(log->name)];
    snprintf(text, sizeof(text), "%.*s", static_cast<int>(sizeof(text) - 1), log->name);
    LogName name;
    if (name.parse(text) != 0)
        return ZE_INVALID_ARGUMENT;
    // Ids a writer of this process still buffers belong to the log. The
    // writer keeps its prepared INSERT, so it goes on taking ids.
    for (DB_LOGFILE_DESC *d = db_log_first_descriptor(); d != nullptr; d = d->next) {
        if (d->mode == DB_LOG_READ || d->log.logfile_id != log->logfile_id)
            continue;
        int32_t rc = db_log_flush(d);
        if (rc != 0)
            return rc;
    }
    const std::string sql = db_log_count_sql(name.data_table(), log->data_id);
    db_stmt_guard stmt;
    SQLINTEGER value = 0;
    SQLLEN indicator = 0;
    SQLULEN rows = 0;
    int rc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
    if (rc == 0)
        rc = SQLBindCol(stmt.h, 1, SQL_C_LONG, &value, sizeof(value), &indicator);
    if (SQL_SUCCEEDED(rc))
        rc = db_execute_and_fetch(&stmt.h, 1, 1, &rows);
    if (rc == DB_NO_MORE_DATA || indicator == SQL_NULL_DATA)
        value = 0;
    else if (rc != 0 && rc != SQL_SUCCESS_WITH_INFO)
        return db_log_statement_failure(&stmt.h, rc);
    *count = value;
    return ZE_SUCCESS;
}

int32_t DB_log_count(DB_INSTANCE *, const LOGFILE *log, int32_t *count)
{
    DB_instance_clear_xerr();
    if (!db_log_is_initialised())
        return ZE_LOG_NOT_INITIALISED;
    if (log == nullptr || count == nullptr)
        return ZE_INVALID_ARGUMENT;
    *count = 0;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_count(log, count); });
}

// ---- combine ---------------------------------------------------------------------------

static int32_t S_combine(DB_INSTANCE *instance, const char *first, const char *second,
                         const char *target, int32_t code, int32_t *count)
{
    LogName target_name, first_name, second_name;
    if (target_name.parse(target) != 0)
        return ZE_INVALID_ARGUMENT;
    if (!db_log_may_write(target_name.owner))
        return ZE_LOG_NOT_INITIALISED;
    if (first_name.parse(first) != 0 || second_name.parse(second) != 0)
        return ZE_INVALID_ARGUMENT;

    // A target naming an input is written under a temporary name first and
    // then replaces that input's ids.
    const int in_place = target_name == first_name ? 1 : target_name == second_name ? 2 : 0;
    LogName work = target_name; // the log the combination is written to
    if (in_place != 0) {
        char temporary[sizeof(LOGFILE::name)];
        int32_t rc = DB_log_make_name(instance, temporary);
        if (rc != 0)
            return rc;
        if (work.parse(temporary) != 0)
            return ZE_INVALID_ARGUMENT;
    }

    if (db_log_is_open(first) || db_log_is_open(second))
        return ZE_LOG_IS_OPEN;
    LOGFILE a, b, existing;
    int32_t rc = S_read(instance, first, first_name, &a);
    if (rc != 0)
        return rc;
    rc = S_read(instance, second, second_name, &b);
    if (rc != 0)
        return rc;
    rc = S_read(instance, target, target_name, &existing);
    if (rc == 0 && in_place == 0)
        return ZE_LOG_EXISTS;
    if (rc != 0 && rc != ZE_LOG_NOT_FOUND)
        return rc;

    const uint32_t kinds = LOGINFO_TABLE | LOGINFO_LAYER;
    if ((a.flags & kinds) != (b.flags & kinds) || a.layer_id != b.layer_id ||
        a.registration_id != b.registration_id)
        return ZE_INVALID_ARGUMENT;
    // The view's name carries the target's name unquoted.
    const std::string view =
        db_log_combine_view_name(code, work.qualified(), a.session_tag, b.session_tag);
    if (!view.empty() && db_check_table_name(view.c_str()) != 0)
        return ZE_INVALID_ARGUMENT;

    LOGFILE result = S_new_record(a, work);
    rc = DB_log_create(instance, &result);
    if (rc != 0)
        return rc;

    DB_LOG_COMBINE_SQL tables;
    tables.target = work.data_table();
    tables.t = result.data_id;
    tables.first = first_name.data_table();
    tables.a = a.data_id;
    tables.second = second_name.data_table();
    tables.b = b.data_id;
    bool view_made = false;
    if (!view.empty()) {
        rc = S_make_view(db_log_combine_view_sql(code, tables, view), view);
        view_made = rc == 0;
    }
    if (rc == 0)
        rc = S_run(db_log_combine_insert_sql(code, tables, view));
    int32_t combined = 0;
    if (rc == 0)
        rc = S_count(&result, &combined);
    if (rc == 0 && in_place != 0) {
        LOGFILE *place = in_place == 1 ? &a : &b;
        const LogName &place_name = in_place == 1 ? first_name : second_name;
        rc = db_log_renew_data_id(place_name.database, place_name.owner, place);
        if (rc == 0)
            rc = S_run(db_log_copy_rows_sql(place_name.data_table(), place->data_id,
                                            work.data_table(), result.data_id));
        if (rc == 0)
            rc = db_log_delete_by_name(result.name);
        // Nothing has been committed since the count: the input keeps its
        // ids unless every step of the replacement went through.
        if (rc != 0)
            db_rollback();
    }
    if (rc != 0) {
        if (view_made)
            S_drop_view(view);
        db_log_delete_by_name(result.name);
        return rc;
    }
    *count = combined;
    if (view_made)
        S_drop_view(view);
    return ZE_SUCCESS;
}

int32_t DB_log_combine(DB_INSTANCE *instance, const char *first, const char *second,
                       const char *target, int32_t code, int32_t *count)
{
    DB_instance_clear_xerr();
    if (!db_log_is_initialised())
        return ZE_LOG_NOT_INITIALISED;
    if (count == nullptr || first == nullptr || second == nullptr || target == nullptr) {
        if (count != nullptr)
            *count = 0;
        return ZE_INVALID_ARGUMENT;
    }
    *count = 0;
    // A bad code is refused before the target is made.
    if (code < DB_LOG_INTERSECTION || code > DB_LOG_SYMMETRIC_DIFFERENCE)
        return ZE_INVALID_ARGUMENT;
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_combine(instance, first, second, target, code, count); });
}

// ---- copy ----------------------------------------------------------------------------------

static int32_t S_copy(DB_INSTANCE *instance, const char *source, const char *target)
{
    LogName target_name, source_name;
    if (target_name.parse(target) != 0)
        return ZE_INVALID_ARGUMENT;
    if (!db_log_may_write(target_name.owner))
        return ZE_LOG_NOT_INITIALISED;
    if (source_name.parse(source) != 0)
        return ZE_INVALID_ARGUMENT;
    LOGFILE from;
    int32_t rc = S_read(instance, source, source_name, &from);
    if (rc != 0)
        return rc;
    if (db_log_is_open(source))
        return ZE_LOG_IS_OPEN;
    rc = db_log_delete_by_name(target);
    if (rc != 0 && rc != ZE_LOG_NOT_FOUND)
        return rc;
    LOGFILE result = S_new_record(from, target_name);
    rc = DB_log_create(instance, &result);
    if (rc != 0)
        return rc;
    rc = S_run(db_log_copy_rows_sql(target_name.data_table(), result.data_id,
                                    source_name.data_table(), from.data_id));
    if (rc != 0)
        db_log_delete_by_name(result.name);
    return rc;
}

int32_t DB_log_copy(DB_INSTANCE *instance, const char *source, const char *target)
{
    DB_instance_clear_xerr();
    if (!db_log_is_initialised())
        return ZE_LOG_NOT_INITIALISED;
    if (source == nullptr || target == nullptr)
        return ZE_INVALID_ARGUMENT;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_copy(instance, source, target); });
}

// ---- sort ------------------------------------------------------------------------------------

// Runs the owner's duplicate-removal function on one data id: 0 with the
// code the function caught (0 when it ran through), or the call's failure.
static int32_t S_remove_duplicates(const std::string &function, int32_t data_id, int32_t *caught)
{
    const std::string sql = "{call " + function + "(?)}";
    db_stmt_guard stmt;
    SQLINTEGER parameter = data_id;
    SQLINTEGER value = 0;
    SQLLEN indicator = 0;
    SQLULEN rows = 0;
    int rc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
    if (rc == 0)
        rc = SQLBindParameter(stmt.h, 1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &parameter,
                              0, nullptr);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindCol(stmt.h, 1, SQL_C_LONG, &value, sizeof(value), &indicator);
    if (SQL_SUCCEEDED(rc))
        rc = db_execute_and_fetch(&stmt.h, 1, 1, &rows);
    *caught = indicator == SQL_NULL_DATA ? 0 : value;
    if (rc == 0 || rc == SQL_SUCCESS_WITH_INFO)
        return ZE_SUCCESS;
    // A function that answers no row has not run.
    const int32_t failure = db_log_statement_failure(&stmt.h, rc);
    return rc < 0 ? rc : failure;
}

// Prints the code the function caught with the connection's diagnostic.
static void S_print_caught(int32_t caught)
{
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    fprintf(stderr, "DBMS error code: %d\n%s\n%s\n", caught, xerr.message, xerr.text);
}

static int32_t S_sort(DB_INSTANCE *instance, const char *text, int32_t *count)
{
    LogName name;
    if (name.parse(text) != 0)
        return ZE_INVALID_ARGUMENT;
    if (!db_log_may_write(name.owner))
        return ZE_LOG_NOT_INITIALISED;
    LOGFILE log;
    int32_t rc = S_read(instance, text, name, &log);
    if (rc != 0)
        return rc;
    if (db_log_is_open(text))
        return ZE_LOG_IS_OPEN;
    const std::string data = name.data_table();
    const std::string function = db_log_setdelete_name(data);
    rc = S_execute(db_log_setdelete_sql(function, data), true, true);
    // -673 (or a table-exists state): made by an earlier call.
    if (rc != 0 && rc != DB_IFX_NATIVE_PASSED_673 && rc != ZE_TABLE_EXISTS)
        return rc;
    int32_t caught = 0;
    rc = S_remove_duplicates(function, log.data_id, &caught);
    if (caught != 0)
        S_print_caught(caught);
    if (rc != 0)
        return rc;
    if (caught != 0) {
        DB_EXT_ERROR xerr;
        DB_instance_get_xerr(&xerr);
        db_xerr_fill_fields(&db_global_xerr, caught, xerr.message, sizeof(xerr.message), xerr.text,
                            sizeof(xerr.text));
        return ZE_DBMS_ERROR;
    }
    return S_count(&log, count);
}

int32_t DB_log_sort(DB_INSTANCE *instance, const char *name, int32_t *count)
{
    DB_instance_clear_xerr();
    if (!db_log_is_initialised())
        return ZE_LOG_NOT_INITIALISED;
    if (name == nullptr || count == nullptr)
        return ZE_NULL_POINTER;
    *count = 0;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_sort(instance, name, count); });
}
