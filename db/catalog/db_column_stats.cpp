// Column statistics and the emptying of a layer's spatial column
// (db_column_stats.h, db_column_stats_internal.h).
#include "db/catalog/db_column_stats_internal.h"

#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_layer_info.h"
#include "db/core/db_date_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_instance_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_xerr.h"
#include "db/core/db_xerr_internal.h"
#include "db/version/db_mv_view_internal.h"

namespace
{

constexpr int32_t S_GROW = 50;

bool S_is(const CLI_DIAG_RECORD &diag, std::initializer_list<const char *> states)
{
    for (const char *s : states)
        if (strcmp(diag.sqlstate, s) == 0)
            return true;
    return false;
}

// A column name, plain or qualified by its table: every part an identifier.
int32_t S_check_column(const char *column)
{
    std::string part;
    for (const char *p = column;; p++) {
        if (*p == '.' || *p == '\0') {
            const int32_t rc = db_check_name(part.c_str(), DB_NAME_TABLE_SIZE);
            if (rc != 0)
                return rc;
            if (*p == '\0')
                return 0;
            part.clear();
        } else {
            part += *p;
        }
    }
}

// The query's FROM list (the log's derived table first, registered tables
// through their views named by their bare table names), its condition and
// the join with the log, and the ordering of the distinct values.
int32_t S_from(DB_INSTANCE *instance, const char *column, const VE_SQL_CONSTRUCT *construct,
               DB_MV_QUERY_INFO *info, const LOGFILE *log, bool order_by, std::string &sql)
{
    char user[DB_USER_NAME_SIZE] = "";
    DB_instance_get_current_user(instance, user);
    sql += " from ";
    std::string join;
    if (log != nullptr) {
        char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], table[DB_NAME_TABLE_SIZE],
            data[DB_QUALIFIED_NAME_SIZE];
        int32_t rc = db_parse_table_name(instance, log->name, user, database, owner, table);
        if (rc == 0)
            rc = db_check_name(owner, sizeof(owner));
        if (rc == 0 && db_make_logfile_data_table_name(nullptr, owner, data, sizeof(data)) != 0)
            rc = ZE_INVALID_ARGUMENT;
        const REGISTRATION &r = log->registration;
        if (rc == 0 && (db_check_name(r.owner, sizeof(r.owner)) != 0 ||
                        db_check_name(r.table_name, sizeof(r.table_name)) != 0))
            rc = ZE_INVALID_ARGUMENT;
        const bool by_row_id = (log->flags & LOGINFO_LAYER) != 0;
        if (rc == 0 && !by_row_id && db_check_name(r.rowid_column, sizeof(r.rowid_column)) != 0)
            rc = ZE_INVALID_ARGUMENT;
        if (rc != 0)
            return rc;
        sql += std::string("TABLE (MULTISET(SELECT DISTINCT zel_row_id FROM ") + data + " WHERE " +
               data + ".logfile_data_id = " + std::to_string(log->data_id) + ")) LF_,";
        join = std::string("LF_.zel_row_id = ") + r.owner + "." + r.table_name + "." +
               (by_row_id ? "VE_ROW_ID" : r.rowid_column);
    }
    const bool views = info != nullptr && info->kind != DB_MV_NONE;
    for (int32_t i = 0; i < construct->num_tables; i++) {
        const char *table = construct->tables[i];
        if (table == nullptr)
            return ZE_NULL_POINTER;
        int32_t rc = db_check_table_name(table);
        if (rc != 0)
            return rc;
        LAYER *layer = nullptr;
        rc = DB_layer_get_info_by_table_name(instance, nullptr, table, nullptr, user, &layer);
        if (rc == 0 && layer != nullptr &&
            db_column_name_matches(instance, column, user, layer->database_name, layer->owner,
                                   layer->table_name, layer->spatial_column))
            return ZE_STATS_SPATIAL_COLUMN;
        if (rc != 0 && rc != ZE_LAYER_NOT_FOUND && rc != ZE_FAILURE)
            return rc;
        if (views && i < info->table_count && info->tables != nullptr &&
            info->tables[i].registration_id != 0) {
            char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE],
                bare[DB_NAME_TABLE_SIZE];
            rc = db_parse_table_name(instance, table, user, database, owner, bare);
            DB_MV_TABLE_INFO &entry = info->tables[i];
            if (rc == 0 && strlen(bare) >= sizeof(entry.alias))
                rc = ZE_INVALID_ARGUMENT;
            if (rc != 0)
                return rc;
            snprintf(entry.alias, sizeof(entry.alias), "%s", bare);
            char *text = nullptr;
            rc = db_mv_view_build(instance, info, table, user, i, 0, &text, 0, 1);
            if (rc == 0 && text != nullptr)
                sql += std::string(" ") + text + ",";
            free(text);
            if (rc != 0)
                return rc;
        } else {
            sql += std::string(" ") + table + ",";
        }
    }
    sql.pop_back();
    const char *where = nullptr;
    if (db_sql_client_condition(construct->where, &where) != 0)
        return ZE_INVALID_ARGUMENT;
    // With the log's join after it, the condition goes in parentheses, so
    // that an OR in it cannot undo the join.
    if (where != nullptr)
        sql +=
            join.empty() ? std::string(" where ") + where : std::string(" where (") + where + ")";
    if (!join.empty())
        sql += (where != nullptr ? " and " : " where ") + join;
    if (order_by)
        sql += " order by 1";
    return 0;
}

// Prepares the text. 0; the mapped failure with the diagnostic recorded.
int32_t S_prepare(db_stmt_guard &stmt, const std::string &sql)
{
    const int rc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
    if (rc == 0)
        return 0;
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, &stmt.h, rc);
    db_free_stmt(&stmt.h);
    db_set_xerr_from_diag(diag);
    if (S_is(diag, {"S1000", "22005", "S1003", "42884", "42907"}))
        return ZE_STATS_SPATIAL_COLUMN;
    if (S_is(diag, {"37000", "42601"}))
        return ZE_SYNTAX_ERROR;
    if (S_is(diag, {"S0002"}))
        return ZE_TABLE_NOT_FOUND;
    if (S_is(diag, {"S0022"}))
        return ZE_COLUMN_NOT_FOUND;
    return ZE_DBMS_ERROR;
}

// A failed execute or fetch of the aggregates or the distinct values.
int32_t S_failed(db_stmt_guard &stmt, int rc, bool distinct)
{
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, &stmt.h, rc);
    db_free_stmt(&stmt.h);
    if (!distinct && S_is(diag, {"S1009"}))
        return 0;
    db_set_xerr_from_diag(diag);
    if (distinct ? S_is(diag, {"S0022", "S1000", "22005"})
                 : S_is(diag, {"S0022", "S1000", "22005", "07006"}))
        return distinct ? ZE_STATS_DISTINCT_TYPE : ZE_STATS_SPATIAL_COLUMN;
    if (S_is(diag, {"37000"}))
        return ZE_SYNTAX_ERROR;
    if (!distinct && S_is(diag, {"S0002"}))
        return ZE_TABLE_NOT_FOUND;
    return ZE_DBMS_ERROR;
}

int32_t S_aggregates(DB_INSTANCE *instance, const char *column, int32_t mask,
                     const VE_SQL_CONSTRUCT *construct, DB_MV_QUERY_INFO *info, const LOGFILE *log,
                     DB_TABLE_STATS *stats)
{
    static const struct {
        int32_t bit;
        const char *function;
    } functions[] = {{DB_STATS_MIN, "min"},
                     {DB_STATS_AVG, "avg"},
                     {DB_STATS_MAX, "max"},
                     {DB_STATS_STDDEV, "stdev"}};
    double *targets[] = {&stats->minimum, &stats->average, &stats->maximum, &stats->deviation};
    std::string sql = "select ";
    std::vector<double *> doubles;
    for (size_t i = 0; i < 4; i++) {
        if ((mask & functions[i].bit) == 0)
            continue;
        if (column == nullptr || column[0] == '\0')
            return ZE_COLUMN_NOT_FOUND;
        sql += std::string(" ") + functions[i].function + " (" + column + "),";
        doubles.push_back(targets[i]);
    }
    const bool count = (mask & DB_STATS_COUNT) != 0;
    if (count)
        sql += "count(*),";
    if (doubles.empty() && !count)
        return 0;
    sql.pop_back();
    int32_t rc =
        S_from(instance, column != nullptr ? column : "", construct, info, log, false, sql);
    if (rc != 0)
        return rc;
    db_stmt_guard stmt;
    if ((rc = S_prepare(stmt, sql)) != 0)
        return rc;
    int crc = SQLExecute(stmt.h);
    std::vector<double> values(doubles.size(), 0.0);
    std::vector<SQLLEN> lengths(doubles.size() + 1, 0);
    int32_t counted = 0;
    SQLUSMALLINT n = 1;
    for (size_t i = 0; SQL_SUCCEEDED(crc) && i < doubles.size(); i++, n++)
        crc = SQLBindCol(stmt.h, n, SQL_C_DOUBLE, &values[i], 0, &lengths[i]);
    if (SQL_SUCCEEDED(crc) && count)
        crc = SQLBindCol(stmt.h, n, SQL_C_SLONG, &counted, 0, &lengths[doubles.size()]);
    if (SQL_SUCCEEDED(crc))
        crc = SQLFetch(stmt.h);
    if (crc == SQL_NO_DATA)
        return 0;
    if (!SQL_SUCCEEDED(crc))
        return S_failed(stmt, crc, false);
    for (size_t i = 0; i < doubles.size(); i++)
        if (lengths[i] != SQL_NULL_DATA)
            *doubles[i] = values[i];
    if (count && lengths[doubles.size()] != SQL_NULL_DATA)
        stats->count = counted;
    return 0;
}

// The column of the distinct values as it is fetched.
struct S_COLUMN {
    int32_t type = 0;
    SQLSMALLINT c_type = 0;
    SQLLEN width = 0; // bytes of one value in the rowset
    SQLULEN rows = 1;
    SQLULEN size = 0; // the column's size
};

int32_t S_describe(SQLHSTMT h, S_COLUMN *c)
{
    SQLSMALLINT sql_type = 0, digits = 0, nullable = 0, name_length = 0;
    SQLCHAR name[DB_NAME_COLUMN_SIZE];
    const SQLRETURN rc = SQLDescribeCol(h, 1, name, sizeof(name), &name_length, &sql_type, &c->size,
                                        &digits, &nullable);
    if (!SQL_SUCCEEDED(rc))
        return rc;
    switch (sql_type) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
        c->type = DB_STATS_TYPE_STRING;
        c->c_type = SQL_C_CHAR;
        c->width = static_cast<SQLLEN>(c->size) + 1;
        // A column wider than the rowset's room still reads one row a time.
        c->rows = 20000 / (c->size + 1) > 0 ? 20000 / (c->size + 1) : 1;
        return 0;
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_TINYINT:
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        if (digits == 0 && c->size < 11) {
            c->type = DB_STATS_TYPE_INTEGER;
            c->c_type = SQL_C_SLONG;
            c->width = sizeof(int32_t);
            c->rows = 5000;
            return 0;
        }
        [[fallthrough]];
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_BIGINT:
        c->type = DB_STATS_TYPE_DOUBLE;
        c->c_type = SQL_C_DOUBLE;
        c->width = sizeof(double);
        c->rows = 2500;
        return 0;
    case SQL_TYPE_DATE:
    case SQL_DATE:
        c->type = DB_STATS_TYPE_DATE;
        c->c_type = SQL_C_TYPE_DATE;
        c->width = sizeof(SQL_DATE_STRUCT);
        c->rows = 3333;
        return 0;
    case SQL_TYPE_TIME:
    case SQL_TIME:
        c->type = DB_STATS_TYPE_DATE;
        c->c_type = SQL_C_TYPE_TIME;
        c->width = sizeof(SQL_TIME_STRUCT);
        c->rows = 3333;
        return 0;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        c->type = DB_STATS_TYPE_DATE;
        c->c_type = SQL_C_TYPE_TIMESTAMP;
        c->width = sizeof(SQL_TIMESTAMP_STRUCT);
        c->rows = 1250;
        return 0;
    default:
        return ZE_STATS_DISTINCT_TYPE;
    }
}

// Appends one value to the list, or counts it again when it equals the
// last. -1003 when a new value would pass a positive maximum; -12.
int32_t S_count(DB_DISTINCT_LIST *list, const S_COLUMN &c, const unsigned char *value,
                SQLLEN length, int32_t maximum, int32_t *room)
{
    DB_STATS_VALUE *last = list->count > 0 ? &list->values[list->count - 1] : nullptr;
    if (last != nullptr) {
        bool same = false;
        switch (c.type) {
        case DB_STATS_TYPE_STRING: {
            const size_t n =
                strnlen(reinterpret_cast<const char *>(value), static_cast<size_t>(c.width));
            same = strlen(last->value.string) == n && memcmp(last->value.string, value, n) == 0;
            break;
        }
        case DB_STATS_TYPE_INTEGER:
            same = last->value.integer == *reinterpret_cast<const int32_t *>(value);
            break;
        case DB_STATS_TYPE_DOUBLE:
            same = last->value.real == *reinterpret_cast<const double *>(value);
            break;
        default: {
            VE_DATE d;
            db_sql_date_to_tm(value, &d, c.c_type);
            same = memcmp(&last->value.date, &d, sizeof(d)) == 0;
            break;
        }
        }
        if (same) {
            last->occurrences++;
            return 0;
        }
    }
    if (maximum > 0 && list->count >= maximum)
        return ZE_STATS_TOO_MANY_VALUES;
    if (list->count == *room) {
        void *grown =
            realloc(list->values, sizeof(DB_STATS_VALUE) * static_cast<size_t>(*room + S_GROW));
        if (grown == nullptr)
            return ZE_OUT_OF_MEMORY;
        list->values = static_cast<DB_STATS_VALUE *>(grown);
        *room += S_GROW;
    }
    DB_STATS_VALUE *entry = &list->values[list->count];
    memset(entry, 0, sizeof(*entry));
    entry->occurrences = 1;
    switch (c.type) {
    case DB_STATS_TYPE_STRING: {
        const size_t n =
            strnlen(reinterpret_cast<const char *>(value), static_cast<size_t>(c.width));
        entry->value.string =
            static_cast<char *>(calloc(c.size + 1 > n + 1 ? c.size + 1 : n + 1, 1));
        if (entry->value.string == nullptr)
            return ZE_OUT_OF_MEMORY;
        memcpy(entry->value.string, value, n);
        (void)length;
        break;
    }
    case DB_STATS_TYPE_INTEGER:
        entry->value.integer = *reinterpret_cast<const int32_t *>(value);
        break;
    case DB_STATS_TYPE_DOUBLE:
        entry->value.real = *reinterpret_cast<const double *>(value);
        break;
    default:
        db_sql_date_to_tm(value, &entry->value.date, c.c_type);
        break;
    }
    list->count++;
    return 0;
}

int32_t S_distinct(DB_INSTANCE *instance, const char *column, const VE_SQL_CONSTRUCT *construct,
                   DB_MV_QUERY_INFO *info, const LOGFILE *log, int32_t maximum,
                   int32_t *column_size, DB_DISTINCT_LIST *list)
{
    if (column == nullptr || column[0] == '\0')
        return ZE_COLUMN_NOT_FOUND;
    std::string sql = std::string("select ") + column + " ";
    int32_t rc = S_from(instance, column, construct, info, log, true, sql);
    if (rc == ZE_STATS_SPATIAL_COLUMN)
        return ZE_STATS_DISTINCT_TYPE;
    if (rc != 0)
        return rc;
    db_stmt_guard stmt;
    if ((rc = S_prepare(stmt, sql)) != 0)
        return rc == ZE_STATS_SPATIAL_COLUMN ? ZE_STATS_DISTINCT_TYPE : rc;
    int crc = SQLExecute(stmt.h);
    if (!SQL_SUCCEEDED(crc) && crc != SQL_NO_DATA)
        return S_failed(stmt, crc, true);
    if (crc == SQL_NO_DATA)
        return 0;
    S_COLUMN c;
    crc = S_describe(stmt.h, &c);
    if (crc == ZE_STATS_DISTINCT_TYPE)
        return crc;
    if (!SQL_SUCCEEDED(crc))
        return S_failed(stmt, crc, true);
    if (column_size != nullptr)
        *column_size = static_cast<int32_t>(c.size);
    list->type = c.type;
    std::vector<unsigned char> values(c.rows * static_cast<size_t>(c.width));
    std::vector<SQLLEN> lengths(c.rows);
    SQLULEN fetched = 0;
    crc = SQLSetStmtAttr(stmt.h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(c.rows), 0);
    if (SQL_SUCCEEDED(crc))
        crc = SQLSetStmtAttr(stmt.h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    if (SQL_SUCCEEDED(crc))
        crc = SQLBindCol(stmt.h, 1, c.c_type, values.data(), c.width, lengths.data());
    if (!SQL_SUCCEEDED(crc))
        return S_failed(stmt, crc, true);
    int32_t room = 0;
    for (;;) {
        crc = SQLFetch(stmt.h);
        if (crc == SQL_NO_DATA)
            return 0;
        if (!SQL_SUCCEEDED(crc))
            return S_failed(stmt, crc, true);
        for (SQLULEN r = 0; r < fetched && r < c.rows; r++) {
            if (lengths[r] == SQL_NULL_DATA)
                continue;
            rc = S_count(list, c, &values[r * static_cast<size_t>(c.width)], lengths[r], maximum,
                         &room);
            if (rc != 0)
                return rc;
        }
    }
}

int32_t S_stats(DB_INSTANCE *instance, const char *column, int32_t mask,
                const VE_SQL_CONSTRUCT *construct, DB_MV_QUERY_INFO *info, const LOGFILE *log,
                int32_t maximum, int32_t *column_size, DB_TABLE_STATS *stats)
{
    if (construct->num_tables < 1 || construct->tables == nullptr)
        return ZE_INVALID_ARGUMENT;
    if (column != nullptr && column[0] != '\0') {
        const int32_t rc = S_check_column(column);
        if (rc != 0)
            return rc;
    }
    int32_t rc = S_aggregates(instance, column, mask, construct, info, log, stats);
    if (rc != 0 || (mask & DB_STATS_DISTINCT) == 0)
        return rc;
    stats->distinct = static_cast<DB_DISTINCT_LIST *>(calloc(1, sizeof(DB_DISTINCT_LIST)));
    if (stats->distinct == nullptr)
        return ZE_OUT_OF_MEMORY;
    rc = S_distinct(instance, column, construct, info, log, maximum, column_size, stats->distinct);
    if (rc != 0 && rc != ZE_STATS_TOO_MANY_VALUES) {
        DB_DISTINCT_LIST *list = stats->distinct;
        stats->distinct = nullptr;
        DB_TABLE_STATS gone{};
        gone.distinct = list;
        DB_table_stats_free(&gone);
    }
    return rc;
}

} // namespace

ZEL_API int32_t DB_table_calculate_stats_by_logfile(DB_INSTANCE *instance, const char *column,
                                                    int32_t mask, const VE_SQL_CONSTRUCT *construct,
                                                    DB_MV_QUERY_INFO *info, const LOGFILE *log,
                                                    int32_t maximum_distinct, int32_t *column_size,
                                                    DB_TABLE_STATS *stats)
{
    DB_instance_clear_xerr();
    if (stats == nullptr || construct == nullptr)
        return ZE_NULL_POINTER;
    memset(stats, 0, sizeof(*stats));
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        const int32_t rc = S_stats(instance, column, mask, construct, info, log, maximum_distinct,
                                   column_size, stats);
        return rc;
    });
}

ZEL_API int32_t DB_table_calculate_stats(DB_INSTANCE *instance, const char *column, int32_t mask,
                                         const VE_SQL_CONSTRUCT *construct,
                                         int32_t maximum_distinct, int32_t *column_size,
                                         DB_TABLE_STATS *stats)
{
    DB_MV_QUERY_INFO none;
    memset(&none, 0, sizeof(none));
    return DB_table_calculate_stats_by_logfile(instance, column, mask, construct, &none, nullptr,
                                               maximum_distinct, column_size, stats);
}

ZEL_API void DB_table_stats_free(DB_TABLE_STATS *stats)
{
    if (stats == nullptr || stats->distinct == nullptr)
        return;
    DB_DISTINCT_LIST *list = stats->distinct;
    if (list->type == DB_STATS_TYPE_STRING)
        for (int32_t i = 0; i < list->count; i++)
            free(list->values[i].value.string);
    free(list->values);
    free(list);
    stats->distinct = nullptr;
}

ZEL_API int32_t DB_layer_null_spatial_column(DB_INSTANCE *instance, const LAYER *layer,
                                             const REGISTRATION *registration, const char *where)
{
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    char qualified[DB_QUALIFIED_NAME_SIZE];
    if (db_make_qualified_name_from_info(layer, qualified, sizeof(qualified)) != 0)
        return ZE_INVALID_ARGUMENT;
    int32_t rc = db_check_table_name(qualified);
    if (rc == 0)
        rc = db_check_name(layer->spatial_column, sizeof(layer->spatial_column));
    if (rc == 0 && !db_sql_parentheses_balance(where))
        rc = ZE_INVALID_ARGUMENT; // the client's condition may not end the statement
    if (rc != 0)
        return rc;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        const std::string condition =
            where != nullptr && where[0] != '\0' ? std::string(" WHERE ") + where : "";
        std::vector<std::string> statements = {std::string("UPDATE ") + qualified + " SET " +
                                                   layer->spatial_column + " = NULL" + condition,
                                               std::string("UPDATE ") + qualified +
                                                   " SET VE_ROW_ID = NULL" + condition};
        if (registration != nullptr && (registration->object_flags & REG_MULTIVERSION) != 0) {
            char adds[DB_QUALIFIED_NAME_SIZE];
            if (db_make_adds_table_name(instance, registration->registration_id,
                                        layer->database_name, layer->owner, adds,
                                        sizeof(adds)) != 0)
                return ZE_INVALID_ARGUMENT;
            statements.push_back(std::string("UPDATE ") + adds + " SET VE_ROW_ID = NULL, " +
                                 layer->spatial_column + " = NULL" + condition);
        }
        // A statement that touched no row leaves the later columns to clear
        // all the same: each runs, the first failure is reported.
        int32_t first = 0;
        for (const std::string &sql : statements) {
            const DB_EXT_ERROR before = db_global_xerr;
            const int ddl = db_execute_ddlsql(sql.c_str(), 1, 1);
            if (ddl == SQL_NO_DATA)
                db_global_xerr = before; // no row to clear is no failure
            if (ddl < 0) {
                fprintf(stderr, "DB_layer_null_spatial_column() Error executing SQL (%d).\n", ddl);
                if (first == 0)
                    first = ddl;
            }
        }
        return first;
    });
}

int32_t db_commit_or_error(void)
{
    const int rc = db_commit();
    if (SQL_SUCCEEDED(rc))
        return 0;
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, nullptr, rc);
    db_set_xerr_from_diag(diag);
    return ZE_DBMS_ERROR;
}
