// Column types of the DBMS turned into the engine's (db_column_type_internal.h). The
// SQL-to-C table follows the Informix CLI's codes, including its own codes
// -100 to -104 for user-defined and large-object types; ST geometry columns
// come back as -101 and are told apart through sysxtdtypes.
#include "db/core/db_column_type_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <new>
#include <string>

#include "base/util/zel_errors.h"
#include "db/core/db_informix_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"

// Bind buffer lengths of the fixed-size C types.
#define S_SHORT_LENGTH 2
#define S_LONG_LENGTH 4
#define S_FLOAT_LENGTH 4
#define S_DOUBLE_LENGTH 8
#define S_DATE_LENGTH 6
#define S_TIMESTAMP_LENGTH 16
// A character column of this size that is not CHAR is bound as binary.
#define S_LONG_TEXT_SIZE 2048
// An extended type name of at most 128 characters and its terminator.
#define S_XTD_NAME_SIZE 129

int32_t db_sql_type_to_c_type(int16_t sql_type, int16_t *c_type)
{
    if (c_type == nullptr)
        return ZE_NULL_POINTER;
    int16_t c = 0;
    switch (sql_type) {
    case DB_IFX_SQL_UDT_FIXED:
    case DB_IFX_SQL_UDT_VARYING:
    case DB_IFX_SQL_UDT_BLOB:
    case DB_IFX_SQL_UDT_CLOB:
    case DB_IFX_SQL_UDT_LVARCHAR:
    case SQL_LONGVARBINARY:
    case SQL_VARBINARY:
    case SQL_BINARY:
    case SQL_LONGVARCHAR:
        c = SQL_C_BINARY;
        break;
    case SQL_BIT:
        c = SQL_C_BIT;
        break;
    case SQL_TINYINT:
        c = SQL_C_TINYINT;
        break;
    case SQL_BIGINT:
    case SQL_CHAR:
    case SQL_VARCHAR:
        c = SQL_C_CHAR;
        break;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
    case SQL_REAL:
        c = SQL_C_FLOAT;
        break;
    case SQL_INTEGER:
        c = SQL_C_LONG;
        break;
    case SQL_SMALLINT:
        c = SQL_C_SHORT;
        break;
    case SQL_FLOAT:
    case SQL_DOUBLE:
        c = SQL_C_DOUBLE;
        break;
    case SQL_DATE:
    case SQL_TYPE_DATE:
        c = SQL_C_DATE;
        break;
    case SQL_TIME:
    case SQL_TYPE_TIME:
        c = SQL_C_TIME;
        break;
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP:
        c = SQL_C_TIMESTAMP;
        break;
    default:
        break;
    }
    *c_type = c;
    return ZE_SUCCESS;
}

// Numeric, decimal and real columns: the narrowest engine type that holds
// the precision p at scale s. A negative scale leaves the entry untyped.
static void S_map_numeric(int16_t sql_type, int32_t p, int16_t s, DB_COLUMN_DEF *def,
                          int32_t *buffer_length, int16_t *c_type)
{
    if (s == 0 && p <= 4) {
        def->type = VE_SMALLINT;
        *buffer_length = S_SHORT_LENGTH;
        *c_type = SQL_C_SHORT;
    } else if (s == 0 && p <= 9 && sql_type != SQL_REAL) {
        def->type = VE_INTEGER;
        *buffer_length = S_LONG_LENGTH;
        *c_type = SQL_C_LONG;
    } else if (s >= 0 && p <= 9) {
        def->type = VE_FLOAT;
        *buffer_length = S_FLOAT_LENGTH;
        *c_type = SQL_C_FLOAT;
    } else if (s >= 0) {
        def->type = VE_DOUBLE;
        *buffer_length = S_DOUBLE_LENGTH;
        *c_type = SQL_C_DOUBLE;
    }
}

int32_t db_map_dbms_to_zel_type(const char *name, int16_t sql_type, int32_t length,
                                int32_t column_size, int16_t decimal_digits, int16_t nullable,
                                DB_COLUMN_DEF *def, int32_t *buffer_length, int16_t *c_type,
                                int32_t st_type)
{
    if (def == nullptr || buffer_length == nullptr || c_type == nullptr)
        return ZE_NULL_POINTER;
    // The text bind needs room for a terminator after the longest value.
    length = std::clamp<int32_t>(length, 0, INT32_MAX - 1);
    column_size = std::max<int32_t>(column_size, 0);
    snprintf(def->name, sizeof(def->name), "%s", name != nullptr ? name : "");
    def->nulls_allowed = nullable != 0 ? 1 : 0;
    def->type = 0;
    def->size = column_size;
    def->decimal_digits = 0;
    *buffer_length = 0;
    int16_t found = 0;
    db_sql_type_to_c_type(sql_type, &found);
    *c_type = found;
    switch (found) {
    case SQL_C_SHORT:
        def->type = VE_SMALLINT;
        *buffer_length = S_SHORT_LENGTH;
        break;
    case SQL_C_LONG:
        def->type = VE_INTEGER;
        *buffer_length = S_LONG_LENGTH;
        break;
    case SQL_C_BINARY:
        def->type = VE_BLOB;
        *buffer_length = DB_BINARY_BUFFER_LENGTH;
        break;
    case SQL_C_CHAR:
        def->type = VE_STRING;
        def->size = length;
        *buffer_length = length + 1;
        if (column_size == S_LONG_TEXT_SIZE && sql_type != SQL_CHAR)
            *c_type = SQL_C_BINARY;
        break;
    case SQL_C_DOUBLE:
        def->type = VE_DOUBLE;
        def->decimal_digits = decimal_digits;
        *buffer_length = S_DOUBLE_LENGTH;
        break;
    case SQL_C_DATE:
    case SQL_C_TIME:
    case SQL_C_TIMESTAMP:
        def->type = VE_DATE_TYPE;
        def->size = 0;
        *buffer_length = found == SQL_C_TIMESTAMP ? S_TIMESTAMP_LENGTH : S_DATE_LENGTH;
        break;
    case SQL_C_FLOAT:
        def->decimal_digits = decimal_digits;
        *c_type = 0;
        S_map_numeric(sql_type, column_size, decimal_digits, def, buffer_length, c_type);
        break;
    default:
        fprintf(stderr, "db_map_dbms_to_zel_type::Error in converting database type = %d\n",
                sql_type);
        return ZE_UNSUPPORTED_COLUMN_TYPE;
    }
    if (st_type >= VE_POINT && st_type <= VE_GEOMETRY) {
        def->type = st_type;
        def->size = column_size;
        def->decimal_digits = 0;
        *buffer_length = DB_BINARY_BUFFER_LENGTH;
        *c_type = SQL_C_BINARY;
    }
    return ZE_SUCCESS;
}

namespace
{

struct StType {
    const char *name;
    int32_t code;
};

const StType S_st_types[] = {
    {"st_geometry", VE_GEOMETRY},
    {"st_curve", VE_CURVE},
    {"st_geometrycollection", VE_GEOMETRYCOLLECTION},
    {"st_linestring", VE_LINESTRING},
    {"st_multilinestring", VE_MULTILINESTRING},
    {"st_multipoint", VE_MULTIPOINT},
    {"st_multicurve", VE_MULTICURVE},
    {"st_multipolygon", VE_MULTIPOLYGON},
    {"st_multisurface", VE_MULTISURFACE},
    {"st_point", VE_POINT},
    {"st_polygon", VE_POLYGON},
    {"st_surface", VE_SURFACE},
};

} // namespace

static int32_t S_st_code(const char *name)
{
    for (const StType &t : S_st_types)
        if (strcmp(name, t.name) == 0)
            return t.code;
    return DB_ST_TYPE_OTHER;
}

// The extended type of one column: owner may be empty (any owner).
static std::string S_xtd_query(const char *owner, const char *table, const char *column)
{
    std::string sql = "select xdt.name from systables tab, syscolumns col, sysxtdtypes xdt"
                      "                          where ";
    if (owner[0] != '\0')
        sql += "tab.owner = '" + db_quote_literal(owner) + "' and ";
    sql += "tab.tabname = '" + db_quote_literal(table) + "' and col.colname = '" +
           db_quote_literal(column) +
           "'                         and tab.tabid= col.tabid"
           "                         and col.extended_id = xdt.extended_id";
    return sql;
}

int32_t db_get_column_st_type(DB_STREAM *stream, const char *owner, const char *table,
                              const char *column, int16_t sql_type, int32_t *st_type)
{
    if (table == nullptr || table[0] == '\0' || column == nullptr || column[0] == '\0')
        return ZE_INVALID_ARGUMENT;
    if (st_type == nullptr)
        return ZE_NULL_POINTER;
    if (sql_type != DB_IFX_SQL_UDT_VARYING)
        return ZE_SUCCESS;
    char user[DB_USER_NAME_SIZE];
    char parsed_owner[DB_NAME_OWNER_SIZE], parsed_table[DB_NAME_TABLE_SIZE];
    char parsed_column[DB_NAME_COLUMN_SIZE];
    DB_instance_get_current_user(nullptr, user);
    int32_t rc = db_parse_column_name(nullptr, column, user, nullptr, parsed_owner, parsed_table,
                                      parsed_column);
    if (rc != ZE_SUCCESS)
        return rc;
    const char *use_owner = parsed_owner[0] != '\0' ? parsed_owner : (owner ? owner : "");
    const char *use_table = parsed_table[0] != '\0' ? parsed_table : table;

    std::string sql;
    try {
        sql = S_xtd_query(use_owner, use_table, parsed_column);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    char name[S_XTD_NAME_SIZE] = "";
    SQLLEN length = 0;
    SQLRETURN cli =
        static_cast<SQLRETURN>(db_prepare_cursor(db_stream_xerr(stream), &hstmt, sql.c_str(), 0));
    if (cli == SQL_SUCCESS)
        cli = SQLBindCol(hstmt, 1, SQL_C_CHAR, name, sizeof(name), &length);
    if (SQL_SUCCEEDED(cli))
        cli = SQLExecute(hstmt);
    if (SQL_SUCCEEDED(cli))
        cli = SQLFetch(hstmt);
    db_free_stmt(&hstmt);
    // No row: the column has no extended type, so it is no ST column either.
    if (cli == SQL_NO_DATA || (SQL_SUCCEEDED(cli) && length == SQL_NULL_DATA))
        name[0] = '\0';
    else if (!SQL_SUCCEEDED(cli))
        return ZE_DBMS_ERROR;
    else if (length >= 0 && length < static_cast<SQLLEN>(sizeof(name)))
        name[length] = '\0';
    name[sizeof(name) - 1] = '\0';
    *st_type = name[0] != '\0' ? S_st_code(name) : DB_ST_TYPE_OTHER;
    return ZE_SUCCESS;
}
