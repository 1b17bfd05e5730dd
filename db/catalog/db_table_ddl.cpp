// Table creation and the small table DDL around it (db_table_ddl.h). Column
// types are written with the DBMS's own type names (DB_get_data_type) and
// the spatial library's ST_ types; storage clauses come from the DBTUNE
// store (db/core/db_dbtune.h).
#include "db/catalog/db_table_ddl_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>

#include "base/util/ve_debug_internal.h"
#include "base/util/ve_name_check.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_table_access_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_type_name_internal.h"

namespace
{

constexpr int32_t kInformixBlob = -102; // the DBMS's long variable-length byte type

// The DBMS's names of the types the column texts use.
struct TypeNames {
    const char *integer = nullptr;
    const char *smallint = nullptr;
    const char *varchar = nullptr;
    const char *dbl = nullptr;
    const char *numeric = nullptr;
    const char *blob = nullptr;
};

// Asks the seven names, the exact numeric one for code 3 and then for code
// 2, whose name is the one used.
int32_t S_type_names(TypeNames *names)
{
    struct Ask {
        int32_t sql_type;
        const char **name;
    };
    const Ask asks[] = {
        {SQL_INTEGER, &names->integer}, {SQL_SMALLINT, &names->smallint},
        {SQL_VARCHAR, &names->varchar}, {SQL_DOUBLE, &names->dbl},
        {SQL_DECIMAL, &names->numeric}, {SQL_NUMERIC, &names->numeric},
        {kInformixBlob, &names->blob},
    };
    for (const Ask &a : asks) {
        int32_t rc = DB_get_data_type(a.sql_type, a.name);
        if (rc != 0)
            return rc;
    }
    return 0;
}

// The spatial library's column types 20 to 30, in type order.
const char *const kStTypes[] = {
    "ST_Point",           "ST_Curve",        "ST_LineString",
    "ST_Surface",         "ST_Polygon",      "ST_GeometryCollection",
    "ST_MultiSurface",    "ST_MultiCurve",   "ST_MultiPoint",
    "ST_MultiLineString", "ST_MultiPolygon",
};

bool S_is_spatial(int32_t type)
{
    return type == VE_SHAPE || (type >= VE_POINT && type <= VE_GEOMETRY);
}

std::string S_with_size(const char *name, int32_t size, int32_t digits)
{
    return " " + std::string(name) + "(" + std::to_string(size) + "," + std::to_string(digits) +
           ")";
}

// The text written after a column's name: " <type>". 0; -53 an unknown type;
// -56 a size or digits the type does not take.
int32_t S_type_text(const DB_COLUMN_DEF &c, const TypeNames &n, std::string *out)
{
    const int32_t size = c.size, digits = c.decimal_digits;
    switch (c.type) {
    case VE_SMALLINT:
        if (size < 0 || size > 5 || digits != 0)
            return ZE_INVALID_COLUMN_DEF;
        *out = std::string(" ") + n.smallint;
        return 0;
    case VE_INTEGER:
        if (digits != 0 || !(size == 0 || (size >= 5 && size <= 10)))
            return ZE_INVALID_COLUMN_DEF;
        *out = size == 0 || size == 10 ? std::string(" ") + n.integer
                                       : S_with_size(n.numeric, size, 0);
        return 0;
    case VE_FLOAT:
        if (size == 0 && digits == 0) {
            *out = S_with_size(n.numeric, 6, 2);
            return 0;
        }
        // A precision of at least one that holds the scale.
        if (size < 1 || size > 9 || digits < 0 || digits > size)
            return ZE_INVALID_COLUMN_DEF;
        *out = S_with_size(n.numeric, std::min(size, 32), digits);
        return 0;
    case VE_DOUBLE:
        if (size == 0 && digits == 0) {
            *out = std::string(" ") + n.dbl;
            return 0;
        }
        if (size < 7 || digits < 0 || digits > std::min(size, 32))
            return ZE_INVALID_COLUMN_DEF;
        *out = S_with_size(n.numeric, std::min(size, 32), digits);
        return 0;
    case VE_STRING:
        if (size == 0 && digits == 0) {
            *out = " " + std::string(n.varchar) + "(255)";
            return 0;
        }
        if (size < 1)
            return ZE_INVALID_COLUMN_DEF;
        *out = " " + std::string(n.varchar) + "(" + std::to_string(std::min(size, 255)) + ")";
        return 0;
    case VE_BLOB:
        *out = std::string(" ") + n.blob;
        return 0;
    case VE_DATE_TYPE:
        *out = " DATETIME YEAR TO SECOND";
        return 0;
    case VE_SHAPE:
    case VE_GEOMETRY:
        *out = " ST_Geometry";
        return 0;
    default:
        if (c.type >= VE_POINT && c.type < VE_GEOMETRY) {
            *out = std::string(" ") + kStTypes[c.type - VE_POINT];
            return 0;
        }
        return ZE_INVALID_COLUMN_TYPE;
    }
}

// A column name of the definition: an identifier that fits its field.
int32_t S_check_column_name(const char *name)
{
    int32_t rc = db_check_name(name, DB_NAME_COLUMN_SIZE);
    return rc == ZE_INVALID_ARGUMENT ? ZE_INVALID_COLUMN_DEF : rc;
}

bool S_is_row_id(const DB_COLUMN_DEF &c)
{
    return strcasecmp(c.name, DB_VE_ROW_ID) == 0;
}

// Engine results of the one-shot DDL: success with information counts as
// success.
int32_t S_done(int32_t rc)
{
    return rc == SQL_SUCCESS_WITH_INFO ? 0 : rc;
}

// Runs the CREATE on a statement of its own. 0; -62 when the table exists;
// -51 with the connection's record filled and the table named.
int32_t S_execute_create(const std::string &sql, const char *table)
{
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int32_t rc = db_catalog_execute(&hstmt, sql.c_str());
    if (rc == 0)
        return 0;
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, &hstmt, rc);
    db_free_stmt(&hstmt);
    if (strcmp(diag.sqlstate, "S0001") == 0)
        return ZE_TABLE_EXISTS;
    fprintf(stderr, "DB_table_create() Execute Error (%d)\n", rc);
    db_set_xerr_from_diag(diag);
    db_xerr_append_text(table);
    return ZE_DBMS_ERROR;
}

int32_t S_create(DB_INSTANCE *instance, const char *table, int16_t count,
                 const DB_COLUMN_DEF *columns, const char *keyword, int32_t storage,
                 int32_t *revoked)
{
    if (table == nullptr || columns == nullptr)
        return ZE_NULL_POINTER;
    if (count < 1)
        return ZE_INVALID_ARGUMENT;
    int32_t rc = db_check_table_name(table);
    if (rc != 0)
        return rc;
    db_global_xerr.code = 0;
    auto config = std::make_unique<DBTUNE_LAYER_CONFIG>();
    memset(config.get(), 0, sizeof(*config));
    TypeNames names;
    rc = S_type_names(&names);
    if (rc != 0)
        return rc;

    const DB_COLUMN_DEF *row_id = nullptr;
    for (int16_t i = 0; i < count; i++) {
        rc = S_check_column_name(columns[i].name);
        if (rc != 0)
            return rc;
        if (row_id == nullptr && S_is_row_id(columns[i]))
            row_id = &columns[i];
    }
    if (row_id != nullptr && row_id->nulls_allowed == 0)
        return ZE_COLUMN_NOT_NULLABLE;
    if (row_id != nullptr && row_id->type != VE_INTEGER)
        return ZE_WRONG_COLUMN_TYPE;

    std::string sql = std::string("CREATE TABLE ") + table + " (";
    const DB_COLUMN_DEF *spatial = nullptr;
    for (int16_t i = 0; i < count; i++) {
        const DB_COLUMN_DEF &c = columns[i];
        if (i > 0)
            sql += ", ";
        if (&c == row_id) {
            sql += std::string(DB_VE_ROW_ID) + " " + names.integer + " ";
            continue;
        }
        std::string type;
        rc = S_type_text(c, names, &type);
        if (rc == ZE_INVALID_COLUMN_TYPE)
            fprintf(stderr, "DB_table_create()::Invalid column type (%d)\n", c.type);
        if (rc != 0)
            return rc;
        sql += c.name + type;
        if (c.nulls_allowed != 1)
            sql += " NOT NULL";
        if (!S_is_spatial(c.type))
            continue;
        if (spatial != nullptr)
            return ZE_MULTIPLE_SPATIAL_COLUMNS;
        if (c.nulls_allowed != 1)
            return ZE_COLUMN_NOT_NULLABLE;
        spatial = &c;
        if (row_id == nullptr)
            sql += std::string(", ") + DB_VE_ROW_ID + " " + names.integer + " ";
    }
    sql += ") ";

    std::string put;
    if (keyword != nullptr && keyword[0] != '\0') {
        rc = db_table_storage_config(keyword, config.get());
        if (rc != 0)
            return rc;
        sql +=
            db_table_storage_pick(storage, config->B_STORAGE, config->A_STORAGE, config->D_STORAGE);
        VES_RemoveSpaces(config->S_STORAGE);
        if (spatial != nullptr && config->S_STORAGE[0] != '\0')
            put = std::string(" put ") + spatial->name + " in (" + config->S_STORAGE + ") ";
    }

    rc = S_execute_create(sql, table);
    if (rc != 0)
        return rc;
    if (!put.empty()) {
        std::string alter = std::string("ALTER TABLE ") + table + " " + put;
        rc = db_execute_ddlsql(alter.c_str(), 0, 1);
        if (rc < 0) {
            // The CREATE is not committed yet: no later commit may keep a
            // table reported as not made.
            db_catalog_rollback();
            return rc;
        }
    }
    rc = db_catalog_commit();
    if (rc != 0) {
        db_catalog_rollback();
        return rc;
    }
    // The table is committed before its default privileges are taken away;
    // the caller learns of a failed revoke from the connection's record, the
    // table stays, and callers that must not keep such a table ask for the
    // revoke's result.
    const int32_t revoke = db_table_grant_sql(instance, 0, "ALL", table, "PUBLIC", 0, 0);
    if (revoked != nullptr)
        *revoked = revoke < 0 ? revoke : 0;
    return 0;
}

} // namespace

int32_t db_table_storage_config(const char *keyword, DBTUNE_LAYER_CONFIG *config)
{
    if (config == nullptr)
        return ZE_NULL_POINTER;
    db_dbtune_clear_layer_config(config);
    if (keyword == nullptr || keyword[0] == '\0')
        return 0;
    int32_t rc = db_read_layer_storage_config(config, keyword);
    if (rc != 0)
        return rc;
    return config->counter < DBTUNE_COUNTER_OWN ? ZE_KEYWORD_WITHOUT_ROWS : 0;
}

const char *db_table_storage_pick(int32_t storage, const char *business, const char *adds,
                                  const char *deletes)
{
    if (storage == DB_STORAGE_ADDS)
        return adds;
    if (storage == DB_STORAGE_DELETES)
        return deletes;
    return business;
}

int32_t DB_table_create(DB_INSTANCE *instance, const char *table, int16_t count,
                        const DB_COLUMN_DEF *columns, const char *keyword, int32_t storage)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        return S_create(instance, table, count, columns, keyword, storage, nullptr);
    });
}

int32_t db_table_create_private(DB_INSTANCE *instance, const char *table, int16_t count,
                                const DB_COLUMN_DEF *columns, const char *keyword, int32_t storage,
                                int32_t *revoked)
{
    *revoked = 0;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        return S_create(instance, table, count, columns, keyword, storage, revoked);
    });
}

int32_t DB_table_add_column(DB_INSTANCE *, const char *table, const DB_COLUMN_DEF *column)
{
    if (table == nullptr || column == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        int32_t rc = db_check_table_name(table);
        if (rc == 0)
            rc = S_check_column_name(column->name);
        if (rc != 0)
            return rc;
        TypeNames names;
        rc = S_type_names(&names);
        if (rc != 0)
            return rc;
        std::string type;
        rc = S_type_text(*column, names, &type);
        if (rc == ZE_INVALID_COLUMN_TYPE)
            VES_print_debug(stderr, "DB_table_add_column()::Invalid column type (%d)\n",
                            column->type);
        if (rc != 0)
            return rc;
        std::string sql =
            std::string("ALTER TABLE ") + table + " ADD (" + column->name + " " + type;
        if (column->nulls_allowed != 1)
            sql += " NOT NULL";
        sql += ") ";
        rc = S_done(db_execute_ddlsql(sql.c_str(), 0, 3));
        if (rc == 0)
            return 0;
        if (rc == ZE_COLUMN_EXISTS)
            return ZE_ADD_COLUMN_EXISTS;
        VES_print_debug(stderr, "DB_table_add_column(%s) Execute DDL Error (%d)\n ", table, rc);
        return rc;
    });
}

int32_t DB_table_drop_column(DB_INSTANCE *, const char *table, const char *column)
{
    if (table == nullptr || column == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        int32_t rc = db_check_table_name(table);
        if (rc == 0)
            rc = db_check_name(column, DB_NAME_COLUMN_SIZE);
        if (rc != 0)
            return rc;
        std::string sql = std::string("ALTER TABLE ") + table + " DROP (" + column + ") ";
        rc = S_done(db_execute_ddlsql(sql.c_str(), 0, 3));
        if (rc == 0)
            return 0;
        if (rc != ZE_TABLE_NOT_FOUND && rc != ZE_COLUMN_NOT_FOUND && rc != ZE_NO_PERMISSIONS)
            rc = ZE_DBMS_ERROR;
        VES_print_debug(stderr, "DB_table_drop_column(%s) Execute DDL Error (%d)\n", table, rc);
        return rc;
    });
}

int32_t DB_table_rename(DB_INSTANCE *, const char *old_name, const char *new_name)
{
    if (old_name == nullptr || new_name == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        int32_t rc = db_check_table_name(old_name);
        if (rc == 0)
            rc = db_check_table_name(new_name);
        if (rc != 0)
            return rc;
        std::string sql = std::string("RENAME TABLE ") + old_name + " TO " + new_name;
        rc = S_done(db_execute_ddlsql(sql.c_str(), 1, 3));
        if (rc == 0 || rc == ZE_TABLE_NOT_FOUND || rc == ZE_TABLE_EXISTS || rc == ZE_NO_PERMISSIONS)
            return rc;
        VES_print_debug(stderr, "DB_table_rename(%s,%s) Execute DDL Error (%d\n", old_name,
                        new_name, db_global_xerr.native_error);
        return ZE_DBMS_ERROR;
    });
}

int32_t DB_table_truncate(DB_INSTANCE *, const char *table)
{
    if (table == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        int32_t rc = db_check_table_name(table);
        if (rc != 0)
            return rc;
        DB_instance_clear_xerr();
        std::string sql = std::string("DELETE FROM ") + table + " \n";
        rc = S_done(db_execute_ddlsql(sql.c_str(), 0, DB_EXEC_NO_COMMIT));
        return rc == SQL_NO_DATA ? 0 : rc;
    });
}

int32_t DB_table_drop(DB_INSTANCE *, const char *table)
{
    if (table == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        int32_t rc = db_check_table_name(table);
        if (rc != 0)
            return rc;
        db_global_xerr.code = 0;
        std::string sql = std::string("DROP TABLE ") + table;
        return S_done(db_execute_ddlsql(sql.c_str(), 0, 1));
    });
}
