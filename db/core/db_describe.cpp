// Table, select and column-list descriptions (db_describe.h). The column
// types come from db_column_type.cpp; the marks of a layer's spatial column
// and of a raster column from db/catalog/db_table_describe.cpp. Lengths the
// CLI returns are clamped to the buffers before they index anything.
#include "db/core/db_describe_internal.h"

#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <new>
#include <string>
#include <string_view>

#include "base/util/ve_registration.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_table_describe_internal.h"
#include "db/core/db_column_type_internal.h"
#include "db/core/db_connect.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_informix_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_search_pattern_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_columns_internal.h"
#include "db/core/db_stream_internal.h"

static_assert(sizeof(SQLINTEGER) == sizeof(int32_t), "SQL_C_LONG binds a 32-bit cell");

namespace
{

// The three parallel arrays a description hands out.
struct Arrays {
    DB_COLUMN_DEF **columns;
    int32_t **lengths;
    int16_t **c_types;
};

} // namespace

// Grows a heap array of n entries by one zeroed entry; the array is kept as
// it was when memory runs out.
template <typename T> static bool S_grow_one(T **array, size_t n)
{
    T *grown = static_cast<T *>(realloc(*array, (n + 1) * sizeof(T)));
    if (grown == nullptr)
        return false;
    memset(&grown[n], 0, sizeof(T));
    *array = grown;
    return true;
}

static bool S_grow(const Arrays &a, size_t n)
{
    return S_grow_one(a.columns, n) && S_grow_one(a.lengths, n) && S_grow_one(a.c_types, n);
}

static void S_clear(const Arrays &a)
{
    *a.columns = nullptr;
    *a.lengths = nullptr;
    *a.c_types = nullptr;
}

static void S_free(const Arrays &a)
{
    free(*a.columns);
    free(*a.lengths);
    free(*a.c_types);
    S_clear(a);
}

// A length the CLI returned, as the end of the text in a buffer of size
// bytes: no data counts as empty, an unknown or over-long total as full.
static size_t S_text_end(SQLLEN length, size_t size)
{
    if (length == SQL_NO_TOTAL)
        return size - 1;
    if (length < 0)
        return 0;
    return std::min(static_cast<size_t>(length), size - 1);
}

static int32_t S_describe_code(const char *sqlstate)
{
    if (strcmp(sqlstate, "S0002") == 0)
        return ZE_TABLE_NOT_FOUND;
    if (strcmp(sqlstate, "S0022") == 0)
        return ZE_COLUMN_NOT_FOUND;
    return ZE_DBMS_ERROR;
}

static void S_record(DB_STREAM *stream, const CLI_DIAG_RECORD &diag)
{
    if (stream != nullptr)
        db_stream_set_xerr_from_diag(stream, diag);
    else
        db_set_xerr_from_diag(diag);
}

void db_describe_set_rowid_kinds(const REGISTRATION *registration, int32_t count,
                                 DB_COLUMN_DEF *columns, int32_t ignore_case)
{
    char rowid[sizeof(registration->rowid_column) + 1] = "";
    bool has_rowid = registration != nullptr && (registration->object_flags & REG_ROWID_COLUMN);
    if (has_rowid)
        snprintf(rowid, sizeof(rowid), "%.*s",
                 static_cast<int>(strnlen(registration->rowid_column, sizeof(rowid) - 1)),
                 registration->rowid_column);
    for (int32_t i = 0; i < count; i++) {
        DB_COLUMN_DEF &c = columns[i];
        c.rowid_kind = DB_ROWID_NONE;
        if (!has_rowid)
            continue;
        bool same = ignore_case ? strncasecmp(c.name, rowid, sizeof(c.name)) == 0
                                : strncmp(c.name, rowid, sizeof(c.name)) == 0;
        if (same) {
            c.rowid_kind =
                (registration->object_flags & REG_ROWID_ENGINE) ? DB_ROWID_ENGINE : DB_ROWID_USER;
            has_rowid = false;
        }
    }
}

namespace
{

// Result cells of one SQLColumns row: name, type, size, digits, nullability.
struct CatalogRow {
    char name[DB_NAME_COLUMN_SIZE];
    SQLLEN name_length;
    SQLSMALLINT data_type;
    SQLLEN data_type_length;
    SQLINTEGER size;
    SQLLEN size_length;
    SQLSMALLINT digits;
    SQLLEN digits_length;
    SQLSMALLINT nullable;
    SQLLEN nullable_length;
};

} // namespace

static SQLRETURN S_bind_catalog_row(SQLHSTMT hstmt, CatalogRow *row)
{
    SQLRETURN rc =
        SQLBindCol(hstmt, 4, SQL_C_CHAR, row->name, sizeof(row->name), &row->name_length);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindCol(hstmt, 5, SQL_C_SHORT, &row->data_type, sizeof(row->data_type),
                        &row->data_type_length);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindCol(hstmt, 7, SQL_C_LONG, &row->size, sizeof(row->size), &row->size_length);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindCol(hstmt, 9, SQL_C_SHORT, &row->digits, sizeof(row->digits),
                        &row->digits_length);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindCol(hstmt, 11, SQL_C_SHORT, &row->nullable, sizeof(row->nullable),
                        &row->nullable_length);
    return rc;
}

// Fetches the catalogue rows into the arrays; *n counts the entries built.
static int32_t S_fetch_catalog(DB_STREAM *stream, SQLHSTMT hstmt, CatalogRow *row,
                               const char *owner, const char *table, const Arrays &a, int32_t *n)
{
    for (;;) {
        // A NULL cell leaves its buffer alone: start every row from zero.
        memset(row, 0, sizeof(*row));
        SQLRETURN cli = SQLFetch(hstmt);
        if (cli == SQL_NO_DATA)
            return ZE_SUCCESS;
        if (!SQL_SUCCEEDED(cli)) {
            fprintf(stderr, "db_describe_table describe error (%d), column %d.\n", cli, *n);
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, &hstmt, cli);
            S_record(stream, diag);
            return S_describe_code(diag.sqlstate);
        }
        row->name[S_text_end(row->name_length, sizeof(row->name))] = '\0';
        if (*n >= INT16_MAX || !S_grow(a, static_cast<size_t>(*n)))
            return ZE_OUT_OF_MEMORY;
        int32_t i = (*n)++;
        int32_t st_type = DB_ST_TYPE_NONE;
        int32_t rc =
            db_get_column_st_type(stream, owner, table, row->name, row->data_type, &st_type);
        if (rc == ZE_SUCCESS)
            rc = db_map_dbms_to_zel_type(row->name, row->data_type, row->size, row->size,
                                         row->digits, row->nullable, &(*a.columns)[i],
                                         &(*a.lengths)[i], &(*a.c_types)[i], st_type);
        if (rc != ZE_SUCCESS) {
            fprintf(stderr, "db_describe_table::Error converting column %d\n", *n);
            return rc;
        }
    }
}

int32_t db_describe_table(DB_STREAM *stream, const REGISTRATION *registration, const char *table,
                          int16_t *count, DB_COLUMN_DEF **columns, int32_t **buffer_lengths,
                          int16_t **c_types)
{
    if (table == nullptr || count == nullptr || columns == nullptr || buffer_lengths == nullptr ||
        c_types == nullptr)
        return ZE_NULL_POINTER;
    const Arrays a{columns, buffer_lengths, c_types};
    *count = 0;
    S_clear(a);
    char user[DB_USER_NAME_SIZE];
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], name[DB_NAME_TABLE_SIZE];
    DB_instance_get_current_user(nullptr, user);
    int32_t rc = db_parse_table_name(nullptr, table, user, database, owner, name);
    if (rc != ZE_SUCCESS)
        return rc;
    std::string owner_pattern, table_pattern;
    try {
        owner_pattern = db_exact_search_pattern(owner);
        table_pattern = db_exact_search_pattern(name);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }

    db_stmt_guard stmt;
    SQLHSTMT &hstmt = stmt.h;
    rc = db_open_cursor(db_stream_xerr(stream), &hstmt);
    if (rc != ZE_SUCCESS)
        return rc;
    // Without an owner, tables of every owner would answer.
    SQLCHAR *schema =
        owner[0] != '\0' ? reinterpret_cast<SQLCHAR *>(owner_pattern.data()) : nullptr;
    SQLRETURN cli =
        SQLColumns(hstmt, nullptr, 0, schema, SQL_NTS,
                   reinterpret_cast<SQLCHAR *>(table_pattern.data()), SQL_NTS, nullptr, 0);
    CatalogRow row;
    if (SQL_SUCCEEDED(cli))
        cli = S_bind_catalog_row(hstmt, &row);
    if (!SQL_SUCCEEDED(cli)) {
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, &hstmt, cli);
        db_set_xerr_from_diag(diag);
        return ZE_DBMS_ERROR;
    }

    int32_t n = 0;
    rc = S_fetch_catalog(stream, hstmt, &row, owner, name, a, &n);
    if (rc == ZE_SUCCESS) {
        *count = static_cast<int16_t>(n);
        db_describe_set_rowid_kinds(registration, n, *columns, 0);
        // The marks' own failures leave the description as the DBMS gave it.
        int32_t marked = ZE_SUCCESS;
        if (registration != nullptr && (registration->object_flags & REG_LAYER))
            marked = db_table_mark_spatial_columns(n, *columns, table, hstmt);
        if (registration != nullptr && (registration->object_flags & REG_RASTER_COLUMN) &&
            marked == ZE_SUCCESS)
            db_table_describe_mark_raster(n, *columns, table);
    }
    return rc;
}

// The name of an unnamed VE_Area or VE_Length column: the next such call in
// the select list from *from, up to and including its ")".
static void S_name_from_select(const char *select, size_t *from, char *name, size_t size)
{
    std::string_view text(select);
    if (*from >= text.size())
        return;
    size_t start = std::min(text.find("VE_Area", *from), text.find("VE_Length", *from));
    if (start == std::string_view::npos)
        return;
    size_t close = text.find(')', start);
    size_t end = close == std::string_view::npos ? text.size() : close + 1;
    size_t n = std::min(end - start, size - 1);
    memcpy(name, select + start, n);
    name[n] = '\0';
    *from = end;
}

// Whether a failed describe only says the columns are over.
static bool S_past_last_column(const CLI_DIAG_RECORD &diag)
{
    // 07009 is how an ODBC 3 environment spells S1002.
    return strcmp(diag.sqlstate, "S1002") == 0 || strcmp(diag.sqlstate, "07009") == 0 ||
           strcmp(diag.sqlstate, "24000") == 0 ||
           diag.native_error == DB_IFX_NATIVE_PAST_LAST_COLUMN;
}

int32_t db_describe_select(DB_STREAM *stream, SQLHSTMT hstmt, int16_t *count,
                           DB_COLUMN_DEF **columns, int32_t **buffer_lengths, int16_t **c_types)
{
    if (count == nullptr || columns == nullptr || buffer_lengths == nullptr || c_types == nullptr)
        return ZE_NULL_POINTER;
    const Arrays a{columns, buffer_lengths, c_types};
    *count = 0;
    S_clear(a);
    size_t select_from = 0;
    int32_t result = ZE_SUCCESS;
    int16_t n = 0;
    while (result == ZE_SUCCESS && n < INT16_MAX) {
        if (!S_grow(a, static_cast<size_t>(n))) {
            result = ZE_OUT_OF_MEMORY;
            break;
        }
        char name[DB_NAME_COLUMN_SIZE] = "";
        SQLSMALLINT name_length = 0, data_type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        SQLRETURN cli = SQLDescribeCol(hstmt, static_cast<SQLUSMALLINT>(n + 1),
                                       reinterpret_cast<SQLCHAR *>(name), sizeof(name),
                                       &name_length, &data_type, &size, &digits, &nullable);
        if (!SQL_SUCCEEDED(cli)) {
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, &hstmt, cli);
            if (S_past_last_column(diag)) {
                if (n == 0) {
                    S_free(a);
                    result = ZE_NO_RESULT_COLUMNS;
                }
                break;
            }
            fprintf(stderr, "db_describe_select describe error (%d), column %d.\n", cli, n + 1);
            S_record(stream, diag);
            result = S_describe_code(diag.sqlstate);
            break;
        }
        name[S_text_end(name_length, sizeof(name))] = '\0';
        if (name[0] == '\0' && stream != nullptr && stream->sql_select != nullptr)
            S_name_from_select(stream->sql_select, &select_from, name, sizeof(name));
        int32_t size32 = static_cast<int32_t>(std::min<SQLULEN>(size, INT32_MAX));
        result = db_map_dbms_to_zel_type(name, data_type, size32, size32, digits, nullable,
                                         &(*columns)[n], &(*buffer_lengths)[n], &(*c_types)[n],
                                         DB_ST_TYPE_NONE);
        if (result != ZE_SUCCESS)
            fprintf(stderr, "db_describe_select::Error converting column %d\n", n + 1);
        else
            n++;
    }
    *count = n;
    return result;
}

// "SELECT a, b FROM t"; the bare word cardinality names a DBMS function, so
// that column is qualified by the table.
static std::string S_column_list_select(const char *table, int16_t count, const char *const *names)
{
    std::string sql = "SELECT ";
    for (int16_t i = 0; i < count; i++) {
        if (i > 0)
            sql += ", ";
        if (strcmp(names[i], "cardinality") == 0)
            sql += std::string(" ") + table + "." + names[i];
        else
            sql += names[i];
    }
    sql += " FROM ";
    sql += table;
    return sql;
}

// The code of a failed prepare of a column list.
static int32_t S_prepare_code(const CLI_DIAG_RECORD &diag)
{
    if (strcasecmp(diag.sqlstate, "S0022") == 0)
        return ZE_COLUMN_NOT_FOUND;
    if (strcasecmp(diag.sqlstate, "S0002") == 0)
        return ZE_TABLE_NOT_FOUND;
    if (strcasecmp(diag.sqlstate, "42000") == 0)
        return ZE_NO_PERMISSIONS;
    db_set_xerr_from_diag(diag);
    return ZE_DBMS_ERROR;
}

int32_t DB_table_get_column_defs(DB_INSTANCE *, DB_STREAM *stream, const char *table,
                                 const REGISTRATION *registration, int16_t count,
                                 const char *const *names, DB_COLUMN_DEF **columns, LAYER ***layers)
{
    if (table == nullptr || names == nullptr || columns == nullptr)
        return ZE_NULL_POINTER;
    *columns = nullptr;
    if (layers != nullptr)
        *layers = nullptr;
    if (count < 1)
        return ZE_INVALID_ARGUMENT;
    for (int16_t i = 0; i < count; i++)
        if (names[i] == nullptr)
            return ZE_NULL_POINTER;
    // The caller's names go into the SELECT unquoted: identifiers only.
    int32_t checked = db_check_table_name(table);
    for (int16_t i = 0; i < count && checked == ZE_SUCCESS; i++)
        checked = db_check_name(names[i], DB_NAME_COLUMN_SIZE);
    if (checked != ZE_SUCCESS)
        return checked;
    std::string sql;
    try {
        sql = S_column_list_select(table, count, names);
    } catch (const std::bad_alloc &) {
        return ZE_BUFFER_NO_MEMORY;
    }

    db_stmt_guard stmt;
    int rc = db_prepare_cursor(db_stream_xerr(stream), &stmt.h, sql.c_str(), 0);
    if (rc != 0) {
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, stmt.h != SQL_NULL_HSTMT ? &stmt.h : nullptr, rc);
        return S_prepare_code(diag);
    }
    int16_t described = 0;
    int32_t *lengths = nullptr;
    int16_t *c_types = nullptr;
    rc = db_describe_select(stream, stmt.h, &described, columns, &lengths, &c_types);
    db_free_stmt(&stmt.h);
    if (stream != nullptr) {
        free(stream->column_buffer_lengths);
        free(stream->column_c_types);
        stream->column_buffer_lengths = lengths;
        stream->column_c_types = c_types;
    } else {
        free(lengths);
        free(c_types);
    }
    if (rc != ZE_SUCCESS)
        return rc;

    if (layers != nullptr) {
        *layers = static_cast<LAYER **>(calloc(static_cast<size_t>(count), sizeof(LAYER *)));
        if (*layers == nullptr)
            return ZE_OUT_OF_MEMORY;
    }
    // A name holding a list of its own may describe more columns than asked.
    int32_t n = std::min<int32_t>(count, described);
    db_describe_set_rowid_kinds(registration, n, *columns, 1);
    if (stream == nullptr || registration == nullptr)
        return ZE_SUCCESS;
    for (int32_t i = 0; i < n; i++) {
        DB_COLUMN_DEF &c = (*columns)[i];
        if ((registration->object_flags & REG_LAYER) && layers != nullptr && c.type == VE_BLOB &&
            db_stream_is_spatial_column(stream, c.name)) {
            c.type = VE_SHAPE;
            c.size = 0;
            c.decimal_digits = 0;
            (*layers)[i] = stream->layer;
        }
        if ((registration->object_flags & REG_RASTER_COLUMN) &&
            db_stream_is_raster_column(stream, c.name)) {
            c.type = VE_RASTER;
            c.size = 0;
            c.decimal_digits = 0;
        }
    }
    return ZE_SUCCESS;
}
