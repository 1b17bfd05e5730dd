// Smart large objects of blob columns (DB_LOB_HANDLE, db_cli_internal.h), moved through
// the server's ifx_lo_ routines on the handle's own statement: the column's
// create spec, then per row a create and write, or an open, stat and
// read. Results are raw CLI return codes (0 and 1 are success); a failure
// leaves its diagnostic in the handle's statement record.
#include "db/core/db_cli_internal.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/util/zel_errors.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_informix_internal.h"

// Column size of the column-name parameter of ifx_lo_col_info.
static const SQLULEN S_COLUMN_NAME_PARAM_SIZE = 129;

// Keeps the statement's diagnostic in the handle's record, unbinds what was
// bound (some of it may be the caller's stack) and gives rc.
static SQLRETURN S_statement_failure(DB_LOB_HANDLE *lob, SQLRETURN rc)
{
    lob->cli.diag_kind = SQL_HANDLE_STMT;
    db_cli_error(&lob->cli);
    SQLFreeStmt(lob->lo_statement, SQL_RESET_PARAMS);
    return rc;
}

// Reads an information length of the connection and grows *block to it.
// 0 or 1; -12; the failing CLI code (diagnostic of the connection kept).
static SQLRETURN S_info_buffer(DB_LOB_HANDLE *lob, SQLUSMALLINT info, SQLSMALLINT *length,
                               unsigned char **block)
{
    SQLSMALLINT answer = 0;
    SQLRETURN rc = SQLGetInfo(lob->connection, info, &answer, sizeof answer, nullptr);
    if (!SQL_SUCCEEDED(rc)) {
        lob->cli.diag_kind = SQL_HANDLE_DBC;
        db_cli_error(&lob->cli);
        lob->cli.diag_kind = SQL_HANDLE_STMT;
        return rc;
    }
    if (answer < 1)
        answer = 1;
    auto *grown = static_cast<unsigned char *>(realloc(*block, static_cast<size_t>(answer)));
    if (grown == nullptr)
        return ZE_OUT_OF_MEMORY;
    memset(grown, 0, static_cast<size_t>(answer));
    *block = grown;
    *length = answer;
    return rc;
}

// Runs one ifx_lo_ call with the parameters bound so far, then unbinds them.
static SQLRETURN S_call(DB_LOB_HANDLE *lob, const char *sql)
{
    SQLRETURN rc = SQLExecDirect(lob->lo_statement, (SQLCHAR *)sql, SQL_NTS);
    if (!SQL_SUCCEEDED(rc))
        return S_statement_failure(lob, rc);
    SQLFreeStmt(lob->lo_statement, SQL_RESET_PARAMS);
    return rc;
}

static SQLRETURN S_bind(DB_LOB_HANDLE *lob, SQLUSMALLINT number, SQLSMALLINT direction,
                        SQLSMALLINT c_type, SQLSMALLINT sql_type, SQLULEN column_size,
                        SQLPOINTER buffer, SQLLEN buffer_length, SQLLEN *indicator)
{
    SQLRETURN rc = SQLBindParameter(lob->lo_statement, number, direction, c_type, sql_type,
                                    column_size, 0, buffer, buffer_length, indicator);
    if (!SQL_SUCCEEDED(rc))
        return S_statement_failure(lob, rc);
    return rc;
}

// A 32-bit integer parameter: the write path binds it as SQL_C_SLONG, the
// read path as SQL_C_LONG, as the server routines were written against.
static SQLRETURN S_bind_integer(DB_LOB_HANDLE *lob, SQLUSMALLINT number, SQLSMALLINT direction,
                                SQLSMALLINT c_type, SQLINTEGER *value, SQLLEN *indicator)
{
    return S_bind(lob, number, direction, c_type, SQL_INTEGER, 0, value, 0, indicator);
}

static SQLRETURN S_bind_record(DB_LOB_HANDLE *lob, SQLUSMALLINT number, SQLSMALLINT direction,
                               unsigned char *record, SQLSMALLINT length, SQLLEN *indicator)
{
    return S_bind(lob, number, direction, SQL_C_BINARY, DB_IFX_SQL_UDT_FIXED,
                  static_cast<SQLULEN>(length), record, length, indicator);
}

int32_t db_lob_handle_create(const char *table_name, const char *column, int32_t access_mode,
                             DB_LOB_HANDLE **out)
{
    if (out == nullptr)
        return ZE_NULL_POINTER;
    *out = nullptr;
    if (column == nullptr)
        return ZE_NULL_POINTER;
    const bool qualified = table_name != nullptr && table_name[0] != '\0';
    const size_t length = (qualified ? strlen(table_name) + 1 : 0) + strlen(column);
    if (length >= DB_LOB_COLUMN_NAME_SIZE)
        return ZE_INVALID_ARGUMENT;
    auto *lob = static_cast<DB_LOB_HANDLE *>(calloc(1, sizeof(DB_LOB_HANDLE)));
    if (lob == nullptr)
        return ZE_OUT_OF_MEMORY;
    db_cli_init(&lob->cli);
    if (qualified)
        snprintf(lob->column_name, sizeof lob->column_name, "%s.%s", table_name, column);
    else
        snprintf(lob->column_name, sizeof lob->column_name, "%s", column);
    lob->name_indicator = static_cast<SQLLEN>(length + 1);
    lob->access_mode = access_mode;
    lob->pointer_indicator = SQL_NULL_DATA;
    *out = lob;
    return ZE_SUCCESS;
}

int32_t db_lob_create_spec(DB_LOB_HANDLE *lob, int32_t mode)
{
    if (lob == nullptr)
        return ZE_NULL_POINTER;
    // A second set-up must not lose the statement of the first.
    db_cli_free(&lob->cli);
    db_cli_init(&lob->cli);
    lob->connection = db_connection()->hdbc;
    lob->environment = db_connection()->henv;
    const int32_t allocated = db_cli_allocate(&lob->cli);
    lob->lo_statement = lob->cli.statement;
    if (allocated != ZE_SUCCESS)
        return allocated;
    if (mode != DB_LOB_INSERT && mode != DB_LOB_UPDATE)
        return ZE_SUCCESS;

    SQLRETURN rc = S_info_buffer(lob, DB_IFX_INFO_LO_SPEC_LENGTH, &lob->spec_length, &lob->spec);
    if (!SQL_SUCCEEDED(rc))
        return rc;
    lob->spec_indicator = lob->spec_length;
    rc = S_bind_record(lob, 1, SQL_PARAM_INPUT_OUTPUT, lob->spec, lob->spec_length,
                       &lob->spec_indicator);
    if (SQL_SUCCEEDED(rc))
        rc = S_call(lob, "{call ifx_lo_def_create_spec(?)}");
    if (!SQL_SUCCEEDED(rc))
        return rc;

    rc = S_bind(lob, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, S_COLUMN_NAME_PARAM_SIZE,
                lob->column_name, sizeof lob->column_name, &lob->name_indicator);
    lob->spec_indicator = lob->spec_length;
    if (SQL_SUCCEEDED(rc))
        rc = S_bind_record(lob, 2, SQL_PARAM_INPUT_OUTPUT, lob->spec, lob->spec_length,
                           &lob->spec_indicator);
    if (SQL_SUCCEEDED(rc))
        rc = S_call(lob, "{call ifx_lo_col_info(?, ?)}");
    if (!SQL_SUCCEEDED(rc))
        return rc;

    return S_info_buffer(lob, DB_IFX_INFO_LO_POINTER_LENGTH, &lob->pointer_length, &lob->pointer);
}

static int32_t S_write(DB_LOB_HANDLE *lob)
{
    if (lob->spec == nullptr || lob->pointer == nullptr)
        return ZE_NULL_POINTER; // the create spec was never read
    // The driver sends data_length bytes from a buffer of data_size.
    if (lob->data != nullptr && lob->data_length != SQL_NULL_DATA &&
        (lob->data_length < 0 || lob->data_length > lob->data_size))
        return ZE_INVALID_ARGUMENT;
    lob->pointer_indicator = lob->pointer_length;
    SQLRETURN rc =
        S_bind_record(lob, 1, SQL_PARAM_INPUT, lob->spec, lob->spec_length, &lob->spec_indicator);
    if (SQL_SUCCEEDED(rc))
        rc = S_bind_integer(lob, 2, SQL_PARAM_INPUT, SQL_C_SLONG, &lob->access_mode, nullptr);
    if (SQL_SUCCEEDED(rc))
        rc = S_bind_record(lob, 3, SQL_PARAM_INPUT_OUTPUT, lob->pointer, lob->pointer_length,
                           &lob->pointer_indicator);
    if (SQL_SUCCEEDED(rc))
        rc = S_bind_integer(lob, 4, SQL_PARAM_OUTPUT, SQL_C_SLONG, &lob->descriptor,
                            &lob->descriptor_indicator);
    if (SQL_SUCCEEDED(rc))
        rc = S_call(lob, "{call ifx_lo_create(?, ?, ?, ?)}");
    if (!SQL_SUCCEEDED(rc))
        return rc;
    lob->open = 1;

    if (lob->data_length == SQL_NULL_DATA || lob->data == nullptr) {
        // No value: the object exists but the column is written as null.
        rc = S_info_buffer(lob, DB_IFX_INFO_LO_POINTER_LENGTH, &lob->pointer_length, &lob->pointer);
        if (!SQL_SUCCEEDED(rc))
            return rc;
        lob->pointer_indicator = SQL_NULL_DATA;
        return rc;
    }
    const SQLULEN size = lob->data_size > 0 ? static_cast<SQLULEN>(lob->data_size) : 0;
    rc = S_bind_integer(lob, 1, SQL_PARAM_INPUT, SQL_C_SLONG, &lob->descriptor, nullptr);
    if (SQL_SUCCEEDED(rc))
        rc = S_bind(lob, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, size, lob->data,
                    static_cast<SQLLEN>(size), &lob->data_length);
    if (SQL_SUCCEEDED(rc))
        rc = S_call(lob, "{call ifx_lo_write(?, ?)}");
    return rc;
}

static int32_t S_read(DB_LOB_HANDLE *lob)
{
    if (lob->pointer_indicator == SQL_NULL_DATA) {
        if (lob->data != nullptr)
            lob->data[0] = '\0';
        lob->data_size = 0;
        lob->data_length = 0;
        return ZE_SUCCESS;
    }
    if (lob->pointer == nullptr)
        return ZE_NULL_POINTER;
    SQLRETURN rc = S_bind_integer(lob, 1, SQL_PARAM_OUTPUT, SQL_C_LONG, &lob->descriptor,
                                  &lob->descriptor_indicator);
    if (SQL_SUCCEEDED(rc))
        rc = S_bind_record(lob, 2, SQL_PARAM_INPUT, lob->pointer, lob->pointer_length,
                           &lob->pointer_indicator);
    if (SQL_SUCCEEDED(rc))
        rc = S_bind_integer(lob, 3, SQL_PARAM_INPUT, SQL_C_LONG, &lob->access_mode, nullptr);
    if (SQL_SUCCEEDED(rc))
        rc = S_call(lob, "{? = call  ifx_lo_open(?, ?)}");
    if (!SQL_SUCCEEDED(rc))
        return rc;
    lob->open = 1;

    rc = S_info_buffer(lob, DB_IFX_INFO_LO_STATUS_LENGTH, &lob->status_length, &lob->status);
    if (!SQL_SUCCEEDED(rc))
        return rc;
    lob->status_indicator = lob->status_length;
    rc = S_bind_integer(lob, 1, SQL_PARAM_INPUT, SQL_C_LONG, &lob->descriptor, nullptr);
    if (SQL_SUCCEEDED(rc))
        rc = S_bind_record(lob, 2, SQL_PARAM_INPUT_OUTPUT, lob->status, lob->status_length,
                           &lob->status_indicator);
    if (SQL_SUCCEEDED(rc))
        rc = S_call(lob, "{call ifx_lo_stat(?, ?)}");
    if (!SQL_SUCCEEDED(rc))
        return rc;

    // The size is a 64-bit number on the server; this handle keeps 32 bits.
    SQLBIGINT size = 0;
    rc = S_bind_record(lob, 1, SQL_PARAM_INPUT, lob->status, lob->status_length,
                       &lob->status_indicator);
    if (SQL_SUCCEEDED(rc))
        rc = S_bind(lob, 2, SQL_PARAM_OUTPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, &size, 0,
                    &lob->size_indicator);
    if (SQL_SUCCEEDED(rc))
        rc = S_call(lob, "{call ifx_lo_stat_size(?, ?)}");
    if (!SQL_SUCCEEDED(rc))
        return rc;
    if (size < 0 || size > INT32_MAX)
        return ZE_OUT_OF_MEMORY;

    // Room for the bytes and the terminator the driver adds to a text.
    const size_t need = static_cast<size_t>(size) + 1;
    // Callers state the capacity of their buffer in the data length or, as the
    // array fetch does, in the data size; the larger of the two is taken.
    SQLLEN stated = lob->data_length > lob->data_size ? lob->data_length : lob->data_size;
    const size_t capacity = lob->data != nullptr && stated > 0 ? static_cast<size_t>(stated) : 0;
    if (capacity >= need) {
        memset(lob->data, 0, capacity);
    } else {
        char *grown = static_cast<char *>(realloc(lob->data, need));
        if (grown == nullptr)
            return ZE_OUT_OF_MEMORY;
        memset(grown, 0, need);
        lob->data = grown;
    }
    lob->data_size = static_cast<int32_t>(size);
    lob->data_length = static_cast<SQLLEN>(need);

    rc = S_bind_integer(lob, 1, SQL_PARAM_INPUT, SQL_C_LONG, &lob->descriptor, nullptr);
    if (SQL_SUCCEEDED(rc))
        rc = S_bind(lob, 2, SQL_PARAM_OUTPUT, SQL_C_CHAR, SQL_CHAR, static_cast<SQLULEN>(size),
                    lob->data, static_cast<SQLLEN>(need), &lob->data_length);
    if (SQL_SUCCEEDED(rc))
        rc = S_call(lob, "{call ifx_lo_read(?, ?)}");
    if (!SQL_SUCCEEDED(rc)) {
        lob->data_length = 0;
        return rc;
    }
    // The driver reports what it had, not what fitted; a null reads as empty.
    if (lob->data_length < 0)
        lob->data_length = 0;
    if (lob->data_length > size)
        lob->data_length = static_cast<SQLLEN>(size);
    lob->data[lob->data_length] = '\0';
    return rc;
}

int32_t db_lob_transfer(DB_LOB_HANDLE *lob, int32_t mode)
{
    if (lob == nullptr)
        return ZE_NULL_POINTER;
    if (lob->lo_statement == SQL_NULL_HSTMT)
        return ZE_NULL_POINTER; // db_lob_create_spec has not run
    if (mode == DB_LOB_INSERT || mode == DB_LOB_UPDATE)
        return S_write(lob);
    return S_read(lob);
}

int32_t db_lob_close(DB_LOB_HANDLE *lob)
{
    if (lob == nullptr)
        return ZE_NULL_POINTER;
    SQLRETURN rc = SQL_SUCCESS;
    if (lob->open) {
        rc = S_bind_integer(lob, 1, SQL_PARAM_INPUT, SQL_C_LONG, &lob->descriptor, nullptr);
        if (SQL_SUCCEEDED(rc))
            rc = S_call(lob, "{call ifx_lo_close(?)}");
        if (!SQL_SUCCEEDED(rc))
            return rc;
    }
    lob->open = 0;
    return rc;
}

int32_t db_lob_handle_free(DB_LOB_HANDLE *lob, int32_t free_data)
{
    if (lob == nullptr)
        return ZE_SUCCESS;
    db_cli_free_last(&lob->cli);
    lob->lo_statement = SQL_NULL_HSTMT;
    free(lob->status);
    if (free_data)
        free(lob->data);
    lob->data = nullptr;
    free(lob->spec);
    free(lob->pointer);
    free(lob);
    return ZE_SUCCESS;
}
