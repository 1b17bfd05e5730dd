// DBMS type names. One process-wide slot per group of SQL types holds the
// name the driver gave for the first type of the group that was asked for;
// the slots live until the process ends.
#include "db/core/db_type_name_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/util/zel_errors.h"
#include "db/core/db_connect.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_informix_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"

namespace
{

struct TypeGroup {
    int32_t types[3];    // members, 0-terminated when shorter
    int32_t fallback[3]; // asked in order when the driver lists none; 0 ends
};

const TypeGroup S_groups[] = {
    {{DB_IFX_SQL_UDT_CLOB, DB_IFX_SQL_UDT_BLOB, SQL_LONGVARBINARY}, {0}},
    {{SQL_VARBINARY}, {0}},
    {{SQL_LONGVARCHAR}, {0}},
    {{SQL_CHAR}, {0}},
    {{SQL_NUMERIC, SQL_DECIMAL}, {0}},
    {{SQL_REAL}, {0}},
    {{SQL_INTEGER}, {0}},
    {{SQL_SMALLINT}, {SQL_INTEGER}},
    {{SQL_DOUBLE}, {SQL_FLOAT, SQL_REAL}},
    {{SQL_VARCHAR}, {SQL_CHAR}},
};
constexpr size_t kGroupCount = sizeof(S_groups) / sizeof(S_groups[0]);

char *S_slots[kGroupCount];

const char *const S_st_types[] = {
    "st_geometry",   "st_curve",           "st_geometrycollection",
    "st_linestring", "st_multilinestring", "st_multipoint",
    "st_multicurve", "st_multipolygon",    "st_multisurface",
    "st_point",      "st_polygon",         "st_surface",
};

} // namespace

static int S_group_of(int32_t sql_type)
{
    for (size_t g = 0; g < kGroupCount; ++g)
        for (int32_t member : S_groups[g].types)
            if (member != 0 && member == sql_type)
                return static_cast<int>(g);
    return -1;
}

int32_t get_a_data_type(int32_t sql_type, char **slot)
{
    if (!slot)
        return ZE_NULL_POINTER;
    char name[DB_TYPE_NAME_SIZE] = "";
    {
        db_stmt_guard stmt;
        SQLHSTMT &hstmt = stmt.h;
        if (db_open_cursor(nullptr, &hstmt) != 0)
            return ZE_DBMS_ERROR;
        SQLLEN length = 0;
        SQLRETURN rc = SQLGetTypeInfo(hstmt, static_cast<SQLSMALLINT>(sql_type));
        if (SQL_SUCCEEDED(rc))
            rc = SQLBindCol(hstmt, 1, SQL_C_CHAR, name, sizeof(name), &length);
        if (SQL_SUCCEEDED(rc))
            rc = SQLFetch(hstmt);
        if (rc == SQL_NO_DATA)
            return SQL_NO_DATA;
        if (!SQL_SUCCEEDED(rc)) {
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, &hstmt, rc);
            fprintf(stderr, "get_a_data_type error %ld (type = %ld)\n", static_cast<long>(rc),
                    static_cast<long>(sql_type));
            db_set_xerr_from_diag(diag);
            return ZE_DBMS_ERROR;
        }
    }
    char *block = static_cast<char *>(calloc(DB_TYPE_NAME_SIZE, 1));
    if (!block)
        return ZE_OUT_OF_MEMORY;
    name[sizeof(name) - 1] = '\0';
    memcpy(block, name, sizeof(name));
    *slot = block;
    return ZE_SUCCESS;
}

int32_t DB_get_data_type(int32_t sql_type, const char **name)
{
    if (!name)
        return ZE_NULL_POINTER;
    int group = S_group_of(sql_type);
    if (group < 0) {
        fprintf(stderr, "Unexpected data type (%d) in DB_get_data_type\n", sql_type);
        return ZE_DBMS_ERROR;
    }
    char **slot = &S_slots[group];
    int32_t rc = ZE_SUCCESS;
    if (!*slot) {
        rc = get_a_data_type(sql_type, slot);
        for (int32_t fallback : S_groups[group].fallback) {
            if (rc != SQL_NO_DATA || fallback == 0)
                break;
            rc = get_a_data_type(fallback, slot);
        }
    }
    if (rc != ZE_SUCCESS) {
        fprintf(stderr, "RDBMS driver unable to support data type (%d) in DB_get_data_type\n",
                sql_type);
        return ZE_DBMS_ERROR;
    }
    *name = *slot;
    return ZE_SUCCESS;
}

int32_t db_get_column_st_type_qualified(const char *column_name)
{
    char user[DB_USER_NAME_SIZE];
    char owner[DB_NAME_OWNER_SIZE], table[DB_NAME_TABLE_SIZE], column[DB_NAME_COLUMN_SIZE];
    DB_instance_get_current_user(nullptr, user);
    // A name that cannot be split says nothing about any column: no "not ST".
    int32_t parsed =
        db_parse_column_name(nullptr, column_name, user, nullptr, owner, table, column);
    if (parsed != ZE_SUCCESS)
        return parsed;
    std::string sql;
    if (*owner && *table) {
        sql = "select typ.name from informix.systables tab, informix.syscolumns col, "
              "informix.sysxtdtypes typ where tab.owner = '" +
              db_quote_literal(owner) + "' and tab.tabname = '" + db_quote_literal(table) +
              "' and col.colname = '" + db_quote_literal(column) +
              "' and tab.tabid=col.tabid and col.extended_id=typ.extended_id";
    } else if (*table) {
        sql = "select typ.name from informix.systables tab, informix.syscolumns col, "
              "informix.sysxtdtypes typ where tab.tabname = '" +
              db_quote_literal(table) + "' and col.colname = '" + db_quote_literal(column) +
              "' and tab.tabid=col.tabid and col.extended_id=typ.extended_id";
    } else {
        sql = "select typ.name from informix.syscolumns col, informix.sysxtdtypes typ where "
              "colname = '" +
              db_quote_literal(column) + "' and col.extended_id=typ.extended_id";
    }
    char type[DB_TYPE_NAME_SIZE] = "";
    SQLLEN length = 0;
    CLI_DIAG_RECORD discarded;
    SQLRETURN rc = db_select_one_text(sql.c_str(), type, sizeof(type), &length, &discarded);
    if (rc == SQL_NO_DATA || (SQL_SUCCEEDED(rc) && length == SQL_NULL_DATA))
        return 0;
    if (!SQL_SUCCEEDED(rc))
        return ZE_DBMS_ERROR;
    for (const char *st : S_st_types)
        if (strcmp(type, st) == 0)
            return 1;
    return 0;
}
