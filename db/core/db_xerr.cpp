// Extended error records (db_xerr_internal.h): the connection-level record
// and the operations that fill, read, clear and copy a DB_EXT_ERROR, with the
// standard-error lines that are the only log of a DBMS failure. Record:
// db_xerr.h.
#include "db/core/db_xerr_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <memory>

#include "base/util/zel_errors.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_instance_internal.h"

DB_EXT_ERROR db_global_xerr;

// Copies the text in src (at most src_size bytes, terminated or not) into dst
// of dst_size bytes, always terminated.
static void S_copy_bounded(char *dst, size_t dst_size, const char *src, size_t src_size)
{
    size_t n = strnlen(src, std::min(src_size, dst_size - 1));
    memcpy(dst, src, n);
    dst[n] = '\0';
}

void db_xerr_fill_fields(DB_EXT_ERROR *xerr, int32_t native_error, const char *message,
                         size_t message_size, const char *sqlstate, size_t sqlstate_size)
{
    xerr->code = ZE_DBMS_ERROR;
    xerr->native_error = native_error;
    S_copy_bounded(xerr->message, sizeof(xerr->message), message, message_size);
    S_copy_bounded(xerr->text, sizeof(xerr->text), sqlstate, sqlstate_size);
}

void db_xerr_fill(DB_EXT_ERROR *xerr, const CLI_DIAG_RECORD *diag)
{
    // The diagnostic holds up to 512 characters; the record's field 511.
    db_xerr_fill_fields(xerr, diag->native_error, diag->message, sizeof(diag->message),
                        diag->sqlstate, sizeof(diag->sqlstate));
}

void db_xerr_clear(DB_EXT_ERROR *xerr)
{
    xerr->code = 0;
    xerr->native_error = 0;
    xerr->message[0] = '\0';
    xerr->text[0] = '\0';
}

const char *db_set_xerr_from_diag(CLI_DIAG_RECORD diag)
{
    db_diag_terminate(&diag);
    fprintf(stderr, "ZEL_Database Error: %d\n%s\n", diag.code, diag.sqlstate);
    fprintf(stderr, "ODBC Error: %s\n", diag.sqlstate);
    fprintf(stderr, "Database Error: %ld\n", static_cast<long>(diag.native_error));
    fprintf(stderr, "Error Message: %s\n", diag.message);
    db_xerr_fill(&db_global_xerr, &diag);
    return db_global_xerr.text;
}

const char *db_xerr_set_from_stream_diag(DB_EXT_ERROR *xerr, CLI_DIAG_RECORD diag)
{
    db_diag_terminate(&diag);
    fprintf(stderr, "ZEL_ODBC_STREAM Error: %d\n%s\n", diag.code, diag.message);
    if (xerr == nullptr)
        return "";
    db_xerr_fill(xerr, &diag);
    return xerr->text;
}

int32_t db_set_xerr_from_procedure(int32_t result, const char *procedure)
{
    db_xerr_clear(&db_global_xerr);
    if (result > ZE_SP_OFFSET - 999 && result < ZE_SP_OFFSET) {
        db_global_xerr.code = result - ZE_SP_OFFSET;
        db_global_xerr.native_error = 0;
    } else {
        db_global_xerr.code = ZE_DBMS_ERROR;
        db_global_xerr.native_error = result;
    }
    snprintf(db_global_xerr.message, sizeof(db_global_xerr.message),
             "Error executing stored procedure %s", procedure ? procedure : "");
    return db_global_xerr.code;
}

int db_xerr_append_text(const char *text)
{
    if (text == nullptr)
        return ZE_NULL_POINTER;
    size_t size = strlen(text) + 3;
    std::unique_ptr<char, decltype(&free)> piece(static_cast<char *>(malloc(size)), &free);
    if (!piece)
        return ZE_OUT_OF_MEMORY;
    snprintf(piece.get(), size, "(%s)", text);
    size_t used = strnlen(db_global_xerr.message, sizeof(db_global_xerr.message) - 1);
    S_copy_bounded(db_global_xerr.message + used, sizeof(db_global_xerr.message) - used,
                   piece.get(), size);
    return 0;
}

DB_EXT_ERROR *DB_instance_get_xerr(DB_EXT_ERROR *out)
{
    if (out != nullptr)
        *out = db_global_xerr;
    return out;
}

void DB_instance_clear_xerr(void)
{
    db_xerr_clear(&db_global_xerr);
}

void db_clear_global_xerr(void *)
{
    db_xerr_clear(&db_global_xerr);
}

void db_xerr_copy_global_into(DB_EXT_ERROR *instance_xerr)
{
    if (db_global_xerr.code == 0)
        db_global_xerr.code = ZE_DBMS_ERROR;
    if (instance_xerr == nullptr)
        return;
    if (instance_xerr->code == 0)
        instance_xerr->code = ZE_DBMS_ERROR;
    instance_xerr->native_error = db_global_xerr.native_error;
    memcpy(instance_xerr->message, db_global_xerr.message, sizeof(instance_xerr->message));
    memcpy(instance_xerr->text, db_global_xerr.text, sizeof(instance_xerr->text));
}

void db_instance_copy_global_xerr(DB_INSTANCE *instance)
{
    db_xerr_copy_global_into(instance != nullptr ? &instance->xerr : nullptr);
}
