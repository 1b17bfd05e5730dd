// Catalogue counts and id bit sets of an instance (db_instance_count.h). Each
// runs one SELECT through the statement primitives; ids are read in rowsets
// of 100 rows.
#include "db/core/db_instance_count.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <string.h>

#include <new>
#include <string>

#include "base/util/zel_errors.h"
#include "db/core/db_connect.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"

static_assert(sizeof(SQLINTEGER) == sizeof(int32_t), "SQL_C_LONG binds a 32-bit cell");

// Rows of one rowset of ids.
#define S_ROWSET_ROWS 100
// Longest object name of a metadata count, its terminator aside.
#define S_OBJECT_NAME_MAX 226

// Records the statement's (or, without one, the connection's) diagnostic in
// the connection's record, frees the statement and gives -51.
static int32_t S_fail(SQLHSTMT *hstmt, SQLRETURN rc)
{
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, *hstmt != SQL_NULL_HSTMT ? hstmt : nullptr, rc);
    db_set_xerr_from_diag(diag);
    db_free_stmt(hstmt);
    return ZE_DBMS_ERROR;
}

// Runs a SELECT count(*) into *count: the fetch status (0, 1 with information,
// 100 for no row with the count 0), or -51.
static int32_t S_count(const std::string &sql, int32_t *count)
{
    *count = 0;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    SQLLEN length = 0;
    SQLRETURN rc = static_cast<SQLRETURN>(db_prepare_cursor(nullptr, &hstmt, sql.c_str(), 0));
    if (rc != SQL_SUCCESS)
        return S_fail(&hstmt, rc);
    rc = SQLExecute(hstmt);
    if (!SQL_SUCCEEDED(rc))
        return S_fail(&hstmt, rc);
    rc = SQLBindCol(hstmt, 1, SQL_C_LONG, count, sizeof(*count), &length);
    if (rc != SQL_SUCCESS)
        return S_fail(&hstmt, rc);
    rc = SQLFetch(hstmt);
    if (rc == SQL_NO_DATA || (SQL_SUCCEEDED(rc) && length == SQL_NULL_DATA))
        *count = 0;
    else if (!SQL_SUCCEEDED(rc))
        return S_fail(&hstmt, rc);
    db_free_stmt(&hstmt);
    return rc; /* the fetch status: 0, 1 (with information) or 100 */
}

// "SELECT count(*) FROM" the catalogue table, the blanks before its name
// as the caller gives them.
typedef int32_t (*S_NAME_BUILDER)(DB_INSTANCE *, char *, size_t);

static int32_t S_count_table(DB_INSTANCE *instance, S_NAME_BUILDER builder, const char *prefix,
                             int32_t *count)
{
    if (count == nullptr)
        return ZE_NULL_POINTER;
    db_clear_global_xerr(nullptr);
    char table[DB_QUALIFIED_NAME_SIZE];
    builder(instance, table, sizeof(table));
    try {
        return S_count(std::string(prefix) + table, count);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

static int32_t S_raster_columns_name(DB_INSTANCE *, char *out, size_t size)
{
    return db_make_raster_columns_name(out, size);
}

int32_t DB_instance_get_layer_count(DB_INSTANCE *instance, int32_t *count)
{
    return S_count_table(instance, db_make_layers_table_name, "SELECT count(*) FROM  ", count);
}

int32_t DB_instance_get_rascol_count(DB_INSTANCE *instance, int32_t *count)
{
    return S_count_table(instance, S_raster_columns_name, "SELECT count(*) FROM ", count);
}

int32_t DB_instance_get_state_count(DB_INSTANCE *instance, int32_t *count)
{
    return S_count_table(instance, db_make_states_table_name, "SELECT count(*) FROM  ", count);
}

int32_t DB_instance_get_metadata_count(DB_INSTANCE *, const char *condition, int32_t *count)
{
    if (count == nullptr)
        return ZE_NULL_POINTER;
    db_clear_global_xerr(nullptr);
    char table[DB_QUALIFIED_NAME_SIZE];
    db_make_metadata_table_name(table, sizeof(table));
    const char *rest = nullptr;
    if (db_sql_client_condition(condition, &rest) != 0)
        return ZE_INVALID_ARGUMENT;
    try {
        std::string sql = std::string("SELECT count(*) FROM ") + table;
        if (rest != nullptr && rest[0] != '\0')
            sql += std::string(" WHERE ") + rest;
        return S_count(sql, count);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

int32_t DB_instance_get_metadata_count_by_table(DB_INSTANCE *, const char *object_name,
                                                int32_t *count)
{
    if (object_name == nullptr || count == nullptr)
        return ZE_NULL_POINTER;
    db_clear_global_xerr(nullptr);
    *count = 0;
    // A longer name cut to fit would count another object's rows.
    size_t length = strnlen(object_name, S_OBJECT_NAME_MAX + 1);
    if (length > S_OBJECT_NAME_MAX)
        return ZE_INVALID_ARGUMENT;
    char name[S_OBJECT_NAME_MAX + 1];
    memcpy(name, object_name, length + 1);
    db_identifier_to_lower(nullptr, name, sizeof(name), 1);
    char table[DB_QUALIFIED_NAME_SIZE];
    db_make_metadata_table_name(table, sizeof(table));
    try {
        return S_count(std::string("SELECT count(*) FROM ") + table + " WHERE object_name = '" +
                           db_quote_literal(name) + "'",
                       count);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

// Reads the ids the SELECT gives into a new bit set of maximum bits; an id
// outside 1 to maximum gives out_of_range.
static int32_t S_id_bitmap(const std::string &sql, int32_t maximum, int32_t out_of_range,
                           VE_BITMAP **out)
{
    if (out == nullptr)
        return ZE_NULL_POINTER;
    *out = nullptr;
    db_clear_global_xerr(nullptr);
    VE_BITMAP *bitmap = VES_Bitmap_Create(maximum, 0);
    if (bitmap == nullptr)
        return ZE_OUT_OF_MEMORY;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    SQLINTEGER ids[S_ROWSET_ROWS];
    SQLLEN lengths[S_ROWSET_ROWS];
    SQLUSMALLINT status[S_ROWSET_ROWS];
    SQLRETURN rc = static_cast<SQLRETURN>(db_prepare_cursor(nullptr, &hstmt, sql.c_str(), 0));
    if (rc == SQL_SUCCESS)
        rc = SQLSetStmtAttr(hstmt, SQL_ROWSET_SIZE, reinterpret_cast<SQLPOINTER>(S_ROWSET_ROWS), 0);
    if (SQL_SUCCEEDED(rc))
        rc = SQLExecute(hstmt);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindCol(hstmt, 1, SQL_C_LONG, ids, sizeof(ids[0]), lengths);
    while (SQL_SUCCEEDED(rc)) {
        SQLULEN fetched = 0;
        rc = SQLExtendedFetch(hstmt, SQL_FETCH_NEXT, 0, &fetched, status);
        if (!SQL_SUCCEEDED(rc))
            break;
        for (SQLULEN i = 0; i < fetched && i < S_ROWSET_ROWS; i++) {
            if (status[i] == SQL_ROW_NOROW || status[i] == SQL_ROW_ERROR)
                continue;
            if (lengths[i] == SQL_NULL_DATA || ids[i] < 1 || ids[i] > maximum) {
                VES_Bitmap_Destroy(bitmap);
                db_free_stmt(&hstmt);
                return out_of_range;
            }
            VES_Bitmap_Set(bitmap, ids[i] - 1, 1);
        }
    }
    if (rc != SQL_NO_DATA) {
        VES_Bitmap_Destroy(bitmap);
        return S_fail(&hstmt, rc);
    }
    db_free_stmt(&hstmt);
    db_commit();
    *out = bitmap;
    return ZE_SUCCESS;
}

int32_t DB_instance_get_layer_number_bitmap(DB_INSTANCE *instance, int32_t maximum,
                                            VE_BITMAP **bitmap)
{
    char table[DB_QUALIFIED_NAME_SIZE];
    db_make_layers_table_name(instance, table, sizeof(table));
    try {
        return S_id_bitmap(std::string("SELECT layer_id from ") + table, maximum,
                           ZE_INVALID_LAYER_ID, bitmap);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

int32_t DB_instance_get_rascol_number_bitmap(DB_INSTANCE *, int32_t maximum, VE_BITMAP **bitmap)
{
    char table[DB_QUALIFIED_NAME_SIZE];
    db_make_raster_columns_name(table, sizeof(table));
    try {
        return S_id_bitmap(std::string("SELECT rastercolumn_id FROM ") + table, maximum,
                           ZE_INVALID_RASTERCOLUMN_ID, bitmap);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}
