// Scripted CLI catalogue functions: SQLGetTypeInfo from the driver's type
// table and SQLColumns from the tables a test scripted with add_table. Both
// open an ordinary result set on the statement.
#include "tests/support/scli_state.h"

using namespace scli;

// ODBC search pattern: % any run, _ any one character, \ escapes.
static bool S_like(const char *p, const char *t)
{
    for (; *p; p++, t++) {
        if (*p == '%') {
            for (;; t++) {
                if (S_like(p + 1, t))
                    return true;
                if (!*t)
                    return false;
            }
        }
        if (*p == '\\' && p[1])
            p++;
        else if (*p == '_') {
            if (!*t)
                return false;
            continue;
        }
        if (*p != *t)
            return false;
    }
    return !*t;
}

static bool S_name_matches(const SQLCHAR *pattern, SQLSMALLINT len, const std::string &name)
{
    if (!pattern)
        return true;
    return S_like(sql_text(pattern, len).c_str(), name.c_str());
}

static Column S_col(const char *name, SQLSMALLINT type)
{
    Column c;
    c.name = name;
    c.sql_type = type;
    c.size = type == SQL_VARCHAR ? 128 : 0;
    return c;
}

// Equal types, counting the ODBC 2 and ODBC 3 codes of dates and times as one.
static bool S_same_type(SQLSMALLINT a, SQLSMALLINT b)
{
    auto v3 = [](SQLSMALLINT t) -> int {
        return t == SQL_DATE        ? SQL_TYPE_DATE
               : t == SQL_TIME      ? SQL_TYPE_TIME
               : t == SQL_TIMESTAMP ? SQL_TYPE_TIMESTAMP
                                    : t;
    };
    return v3(a) == v3(b);
}

static SQLRETURN S_open_catalog(Entry &e, std::vector<Column> cols, std::vector<Row> rows)
{
    Handle &s = e.h();
    if (s.cursor_open && options().strict_cursor_state)
        return e.error("24000", "Invalid cursor state");
    s.sql.clear();
    s.prepared = false;
    s.row_count = -1;
    stmt_open_result(s, std::move(cols), std::move(rows));
    return SQL_SUCCESS;
}

extern "C" {

SQLRETURN SQL_API SQLGetTypeInfo(SQLHSTMT StatementHandle, SQLSMALLINT DataType)
{
    Entry e("SQLGetTypeInfo", StatementHandle, Kind::Stmt);
    e.call().sql.clear();
    e.call().detail = "type=" + std::to_string(DataType);
    if (e.done())
        return e.rc();
    std::vector<Column> cols = {
        S_col("TYPE_NAME", SQL_VARCHAR),          S_col("DATA_TYPE", SQL_SMALLINT),
        S_col("COLUMN_SIZE", SQL_INTEGER),        S_col("LITERAL_PREFIX", SQL_VARCHAR),
        S_col("LITERAL_SUFFIX", SQL_VARCHAR),     S_col("CREATE_PARAMS", SQL_VARCHAR),
        S_col("NULLABLE", SQL_SMALLINT),          S_col("CASE_SENSITIVE", SQL_SMALLINT),
        S_col("SEARCHABLE", SQL_SMALLINT),        S_col("UNSIGNED_ATTRIBUTE", SQL_SMALLINT),
        S_col("FIXED_PREC_SCALE", SQL_SMALLINT),  S_col("AUTO_UNIQUE_VALUE", SQL_SMALLINT),
        S_col("LOCAL_TYPE_NAME", SQL_VARCHAR),    S_col("MINIMUM_SCALE", SQL_SMALLINT),
        S_col("MAXIMUM_SCALE", SQL_SMALLINT),     S_col("SQL_DATA_TYPE", SQL_SMALLINT),
        S_col("SQL_DATETIME_SUB", SQL_SMALLINT),  S_col("NUM_PREC_RADIX", SQL_INTEGER),
        S_col("INTERVAL_PRECISION", SQL_SMALLINT)};
    std::vector<Row> rows;
    for (const Row &r : state().type_info) {
        bool keep = DataType == SQL_ALL_TYPES ||
                    (r.size() > 1 && S_same_type(static_cast<SQLSMALLINT>(r[1].i), DataType));
        if (keep)
            rows.push_back(r);
    }
    return e.finish(S_open_catalog(e, std::move(cols), std::move(rows)));
}

SQLRETURN SQL_API SQLColumns(SQLHSTMT StatementHandle, SQLCHAR *CatalogName,
                             SQLSMALLINT NameLength1, SQLCHAR *SchemaName, SQLSMALLINT NameLength2,
                             SQLCHAR *TableName, SQLSMALLINT NameLength3, SQLCHAR *ColumnName,
                             SQLSMALLINT NameLength4)
{
    Entry e("SQLColumns", StatementHandle, Kind::Stmt);
    e.call().sql.clear();
    auto shown = [](const SQLCHAR *t, SQLSMALLINT n) {
        return t ? sql_text(t, n) : std::string("<null>");
    };
    e.call().detail =
        "catalog=" + shown(CatalogName, NameLength1) + " owner=" + shown(SchemaName, NameLength2) +
        " table=" + shown(TableName, NameLength3) + " column=" + shown(ColumnName, NameLength4);
    if (e.done())
        return e.rc();
    std::vector<Column> cols = {
        S_col("TABLE_CAT", SQL_VARCHAR),         S_col("TABLE_SCHEM", SQL_VARCHAR),
        S_col("TABLE_NAME", SQL_VARCHAR),        S_col("COLUMN_NAME", SQL_VARCHAR),
        S_col("DATA_TYPE", SQL_SMALLINT),        S_col("TYPE_NAME", SQL_VARCHAR),
        S_col("COLUMN_SIZE", SQL_INTEGER),       S_col("BUFFER_LENGTH", SQL_INTEGER),
        S_col("DECIMAL_DIGITS", SQL_SMALLINT),   S_col("NUM_PREC_RADIX", SQL_SMALLINT),
        S_col("NULLABLE", SQL_SMALLINT),         S_col("REMARKS", SQL_VARCHAR),
        S_col("COLUMN_DEF", SQL_VARCHAR),        S_col("SQL_DATA_TYPE", SQL_SMALLINT),
        S_col("SQL_DATETIME_SUB", SQL_SMALLINT), S_col("CHAR_OCTET_LENGTH", SQL_INTEGER),
        S_col("ORDINAL_POSITION", SQL_INTEGER),  S_col("IS_NULLABLE", SQL_VARCHAR)};
    std::vector<Row> rows;
    for (const State::Table &t : state().tables) {
        if (!S_name_matches(SchemaName, NameLength2, t.owner) ||
            !S_name_matches(TableName, NameLength3, t.name))
            continue;
        int ordinal = 0;
        for (const Column &c : t.cols) {
            ordinal++;
            if (!S_name_matches(ColumnName, NameLength4, c.name))
                continue;
            SQLULEN size = c.size ? c.size : sql_type_size(c.sql_type);
            bool chars = c.sql_type == SQL_CHAR || c.sql_type == SQL_VARCHAR ||
                         c.sql_type == SQL_LONGVARCHAR;
            bool numeric = c.sql_type == SQL_SMALLINT || c.sql_type == SQL_INTEGER ||
                           c.sql_type == SQL_BIGINT || c.sql_type == SQL_DECIMAL ||
                           c.sql_type == SQL_NUMERIC || c.sql_type == SQL_REAL ||
                           c.sql_type == SQL_FLOAT || c.sql_type == SQL_DOUBLE;
            rows.push_back(
                {null(), varchar(t.owner), varchar(t.name), varchar(c.name), i16(c.sql_type),
                 varchar(c.type_name.empty() ? sql_type_name(c.sql_type) : c.type_name),
                 i32(static_cast<int32_t>(size)), i32(static_cast<int32_t>(size)), i16(c.digits),
                 numeric ? i16(10) : null(), i16(c.nullable), null(), null(), i16(c.sql_type),
                 null(), chars ? i32(static_cast<int32_t>(size)) : null(), i32(ordinal),
                 varchar(c.nullable == SQL_NO_NULLS   ? "NO"
                         : c.nullable == SQL_NULLABLE ? "YES"
                                                      : "")});
        }
    }
    return e.finish(S_open_catalog(e, std::move(cols), std::move(rows)));
}

} // extern "C"
