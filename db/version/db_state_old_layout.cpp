// The scan of an older STATES table, whose rows carry their lineage in the
// columns lineage_length and lineage (db_state_internal.h). The catalogue
// creation reads it once, to fill STATE_LINEAGES before those columns are
// dropped. The blobs are outside input: each is checked against the bytes
// the row holds (base/util/ve_lineage_internal.h) before it is handed out.
#include "db/version/db_state_internal.h"

#include <sqlext.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/ve_lineage_internal.h"
#include "base/util/ve_varlong.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/version/db_version_stmt_internal.h"

// Bytes of a lineage the block holds in place; a longer one is read again.
#define S_CELL_SIZE 256

namespace
{

struct OldRow {
    DB_STATE_COLUMNS state;
    int32_t lineage_length;
    SQLLEN lineage_length_indicator;
    uint8_t lineage[S_CELL_SIZE];
    SQLLEN lineage_indicator;
};

struct OldScan {
    DB_BLOCK_CURSOR cursor;
    SQLHSTMT long_stmt = SQL_NULL_HSTMT; // reads a long lineage by ROWID
    std::vector<uint8_t> long_lineage;
};

OldScan S_old;

} // namespace

static void S_close(void)
{
    db_block_cursor_close(&S_old.cursor);
    db_free_stmt(&S_old.long_stmt);
    S_old = OldScan{};
}

// A row whose blob does not hold what it claims: -66, the state named in the
// connection's record, the scan closed.
static int32_t S_damaged(int32_t state_id)
{
    db_xerr_clear(&db_global_xerr);
    db_global_xerr.code = ZE_INVALID_ARGUMENT;
    snprintf(db_global_xerr.message, sizeof(db_global_xerr.message),
             "The stored lineage of state %d is damaged", state_id);
    S_close();
    return ZE_INVALID_ARGUMENT;
}

// Reads the whole lineage of the row into the scan's long-lineage buffer:
// total bytes are expected. 0; -172 when the row is gone; -51 recorded.
static int32_t S_read_long(int32_t rowid, size_t total, size_t *read)
{
    std::string sql =
        "SELECT lineage FROM " DB_ADMIN_USER ".states WHERE ROWID = " + std::to_string(rowid);
    if (S_old.long_stmt == SQL_NULL_HSTMT && db_open_cursor(nullptr, &S_old.long_stmt) != 0) {
        db_free_stmt(&S_old.long_stmt);
        return ZE_DBMS_ERROR;
    }
    if (S_old.long_lineage.size() < total + 1)
        S_old.long_lineage.resize(total + 1);
    SQLLEN indicator = 0;
    SQLRETURN rc = static_cast<SQLRETURN>(db_prepare_stmt(nullptr, &S_old.long_stmt, sql.c_str()));
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindCol(S_old.long_stmt, 1, SQL_C_BINARY, S_old.long_lineage.data(),
                        static_cast<SQLLEN>(total + 1), &indicator);
    if (SQL_SUCCEEDED(rc))
        rc = SQLExecute(S_old.long_stmt);
    if (SQL_SUCCEEDED(rc))
        rc = SQLFetch(S_old.long_stmt);
    if (!SQL_SUCCEEDED(rc)) {
        int32_t code = ZE_STATE_NOT_FOUND; // the row is gone
        if (rc != SQL_NO_DATA) {
            db_version_record(&S_old.long_stmt, rc);
            code = ZE_DBMS_ERROR;
        }
        SQLFreeStmt(S_old.long_stmt, SQL_CLOSE);
        SQLFreeStmt(S_old.long_stmt, SQL_UNBIND);
        return code;
    }
    SQLFreeStmt(S_old.long_stmt, SQL_CLOSE);
    SQLFreeStmt(S_old.long_stmt, SQL_UNBIND);
    *read = indicator == SQL_NULL_DATA ? 0
            : indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) > total
                ? total
                : static_cast<size_t>(indicator);
    return ZE_SUCCESS;
}

// Points out->lineage at the row's checked blob (in the block or the scan's
// long-lineage buffer).
static int32_t S_deliver_lineage(OldRow *row, STATE *out)
{
    int32_t count = row->lineage_length_indicator == SQL_NULL_DATA ? 0 : row->lineage_length;
    out->lineage_length = count;
    if (row->lineage_indicator == SQL_NULL_DATA)
        return count == 0 ? ZE_SUCCESS : S_damaged(out->state_id);
    // What the cell holds; a driver that reports the whole length of a cut
    // value (or none) has filled the cell.
    size_t held =
        row->lineage_indicator == SQL_NO_TOTAL ||
                row->lineage_indicator > static_cast<SQLLEN>(S_CELL_SIZE)
            ? S_CELL_SIZE
            : static_cast<size_t>(row->lineage_indicator < 0 ? 0 : row->lineage_indicator);
    size_t total = 0;
    if (ves_lineage_total_size(row->lineage, held, &total) != ZE_SUCCESS)
        return S_damaged(out->state_id);
    const uint8_t *blob = row->lineage;
    size_t size = held;
    if (total > held) {
        // Only a full cell may have been cut (some drivers report a cut
        // character cell as one byte short of it). The header says how long
        // the lineage is, and no id needs more than five bytes.
        if (held < S_CELL_SIZE - 1 || count < 0 ||
            total > VE_VARLONG_MAX_BYTES + static_cast<size_t>(count) * 5)
            return S_damaged(out->state_id);
        int32_t rc = S_read_long(row->state.rowid, total, &size);
        if (rc != ZE_SUCCESS) {
            S_close();
            return rc;
        }
        blob = S_old.long_lineage.data();
    }
    std::vector<int32_t> ids;
    if (ves_lineage_decode(blob, size, count, &ids) != ZE_SUCCESS)
        return S_damaged(out->state_id);
    out->lineage = const_cast<uint8_t *>(blob);
    return ZE_SUCCESS;
}

static int32_t S_open(DB_INSTANCE *instance, const char *where)
{
    // The client's condition is the statement's whole WHERE clause; it must
    // not end the statement or take in what follows it.
    if (!db_sql_parentheses_balance(where))
        return ZE_INVALID_ARGUMENT;
    char states[DB_QUALIFIED_NAME_SIZE] = "";
    db_make_states_table_name(instance, states, sizeof(states));
    std::string sql =
        "SELECT state_id, owner,creation_time,closing_time,       "
        "lineage_length,lineage,ROWID FROM " +
        std::string(states) +
        (db_sql_is_blank(where) ? std::string("    ") : " WHERE " + std::string(where));
    return db_block_cursor_open(
        &S_old.cursor, sizeof(OldRow), sql.c_str(), [](SQLHSTMT hstmt, void *first) {
            auto *row = static_cast<OldRow *>(first);
            SQLRETURN rc = db_state_bind_columns(hstmt, &row->state, 7);
            if (SQL_SUCCEEDED(rc))
                rc = SQLBindCol(hstmt, 5, SQL_C_SLONG, &row->lineage_length,
                                sizeof(row->lineage_length), &row->lineage_length_indicator);
            if (SQL_SUCCEEDED(rc))
                rc = SQLBindCol(hstmt, 6, SQL_C_BINARY, row->lineage, sizeof(row->lineage),
                                &row->lineage_indicator);
            return rc;
        });
}

// Delivers the next row with its checked lineage.
static int32_t S_next(STATE *out)
{
    void *row = nullptr;
    int32_t rc = db_block_cursor_next(&S_old.cursor, &row);
    if (rc != ZE_SUCCESS) {
        if (rc != ZE_SCAN_NOT_STARTED)
            S_close();
        return rc;
    }
    auto *old = static_cast<OldRow *>(row);
    db_state_fill(out, old->state);
    return S_deliver_lineage(old, out);
}

int32_t db_states_read_for_lineages(DB_INSTANCE *instance, int32_t mode, const char *where,
                                    STATE *out)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        return db_block_scan_step(
            mode, out != nullptr, S_close,
            [&] {
                out->lineage = nullptr;
                return S_open(instance, where);
            },
            [&] { return S_next(out); });
    });
}
