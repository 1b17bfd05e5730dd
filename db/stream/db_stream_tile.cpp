// Raster tile insert (db_stream_tile.h). The tile INSERT and the conflict
// UPDATE live in the stream's statement records 0 and 1 and stay bound to
// the key fields of the stream's write state; a statement that failed is
// freed and prepared again by the next call, so one bad tile does not end
// the stream.
#include "db/stream/db_stream_tile_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_names.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_trans.h"
#include "db/core/db_trans_internal.h"
#include "db/stream/db_stream_write_internal.h"

static CLI_STATEMENT *S_record(DB_STREAM *stream, int which)
{
    return &stream->cli[which];
}

// The record's failure into the stream's record; the record freed.
static int32_t S_fail(DB_STREAM *stream, CLI_STATEMENT *cli, int32_t rc, const char *what)
{
    db_cli_save_error_to(cli, db_stream_xerr(stream));
    db_cli_free(cli);
    db_cli_init(cli);
    VES_print_debug(stderr, "%s Error (%d)\n", what, rc);
    return rc;
}

static int32_t S_block_table(DB_STREAM *stream, std::string *out)
{
    if (stream->raster_column[0] == '\0' || stream->raster_column_id <= 0)
        return ZE_RASTERCOLUMN_NOT_FOUND;
    char name[DB_QUALIFIED_NAME_SIZE] = {};
    int32_t rc = db_make_block_table_name(stream, stream->raster_column_id, name, sizeof(name));
    if (rc != 0)
        return rc;
    *out = name;
    return 0;
}

// Binds the four keys, in the record's running order, to the write state.
static int32_t S_bind_keys(CLI_STATEMENT *cli, DB_STREAM_WRITE *write)
{
    SQLINTEGER *keys[] = {&write->rasterband_id, &write->rrd_factor, &write->row_nbr,
                          &write->col_nbr};
    db_cli_set_bind_position(cli, 1);
    for (SQLINTEGER *key : keys) {
        int32_t rc = db_cli_bind_by_pos(cli, SQL_C_SLONG, SQL_INTEGER, 0, key, 0, nullptr);
        if (rc != 0)
            return rc;
    }
    return 0;
}

// Executes the record's statement: an UPDATE that touched no row succeeds.
static int32_t S_execute(CLI_STATEMENT *cli)
{
    SQLRETURN rc = SQLExecute(db_cli_get_handle(cli));
    if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA)
        return 0;
    cli->diag_kind = SQL_HANDLE_STMT;
    db_cli_error(cli);
    return ZE_DBMS_ERROR;
}

int32_t db_prepare_insert_raster(DB_STREAM *stream)
{
    if (stream == nullptr)
        return ZE_NULL_POINTER;
    CLI_STATEMENT *cli = S_record(stream, DB_TILE_INSERT_STATEMENT);
    if (db_cli_is_prepared(cli))
        return 0;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        std::string table;
        int32_t rc = S_block_table(stream, &table);
        if (rc != 0)
            return rc;
        const std::string sql = "INSERT INTO " + table +
                                " (rasterband_id, rrd_factor, row_nbr, col_nbr, block_data) "
                                "VALUES (?, ?, ?, ?, ?)";
        db_cli_free(cli);
        db_cli_init(cli);
        rc = db_cli_prepare(cli, sql.c_str());
        if (rc != 0) {
            db_cli_save_error_to(cli, db_stream_xerr(stream));
            db_cli_free(cli);
            db_cli_init(cli);
        }
        return rc;
    });
}

int32_t db_bind_insert_raster(DB_STREAM *stream)
{
    if (stream == nullptr)
        return ZE_NULL_POINTER;
    DB_STREAM_WRITE *write = db_stream_write_get(stream);
    if (write == nullptr)
        return ZE_OUT_OF_MEMORY;
    CLI_STATEMENT *cli = S_record(stream, DB_TILE_INSERT_STATEMENT);
    int32_t rc = S_bind_keys(cli, write);
    if (rc != 0)
        return S_fail(stream, cli, rc, "db_bind_insert_raster Bind");
    return 0;
}

// The tile INSERT, prepared and bound again after a failure freed it.
static int32_t S_ready_insert(DB_STREAM *stream)
{
    if (db_cli_is_prepared(S_record(stream, DB_TILE_INSERT_STATEMENT)))
        return 0;
    int32_t rc = db_prepare_insert_raster(stream);
    if (rc == 0)
        rc = db_bind_insert_raster(stream);
    return rc;
}

int32_t DB_execute_insert_tile(DB_STREAM *stream, int32_t rasterband_id, int32_t row_nbr,
                               int32_t col_nbr, int32_t rrd_factor, unsigned char *block,
                               int32_t data_length)
{
    if (stream == nullptr || block == nullptr)
        return ZE_NULL_POINTER;
    if (data_length < 0 || data_length > INT32_MAX - 4)
        return ZE_INVALID_ARGUMENT;
    DB_stream_clear_xerr(stream);
    DB_STREAM_WRITE *write = db_stream_write_get(stream);
    if (write == nullptr)
        return ZE_OUT_OF_MEMORY;
    int32_t rc = S_ready_insert(stream);
    if (rc != 0)
        return rc;
    const uint32_t length = static_cast<uint32_t>(data_length);
    for (int i = 0; i < 4; i++)
        block[i] = static_cast<unsigned char>(length >> (8 * i));
    CLI_STATEMENT *cli = S_record(stream, DB_TILE_INSERT_STATEMENT);
    const SQLLEN stored = static_cast<SQLLEN>(data_length) + 4;
    write->block_length = stored;
    db_cli_set_bind_position(cli, 5);
    rc = db_cli_bind_by_pos(cli, SQL_C_BINARY, SQL_LONGVARBINARY, static_cast<SQLULEN>(stored),
                            block, stored, &write->block_length);
    write->rasterband_id = rasterband_id;
    write->row_nbr = row_nbr;
    write->col_nbr = col_nbr;
    write->rrd_factor = rrd_factor;
    if (rc == 0)
        rc = S_execute(cli);
    // The block is the caller's: the statement must not keep it.
    SQLFreeStmt(db_cli_get_handle(cli), SQL_CLOSE);
    if (rc != 0)
        return S_fail(stream, cli, rc, "DB_execute_insert_tile");
    if (db_trans_in_user_transaction())
        return DB_trans_auto_commit_control(nullptr);
    stream->raster_bytes_since_commit += data_length;
    const int32_t threshold = stream->raster_commit_threshold > 0 ? stream->raster_commit_threshold
                                                                  : DB_TILE_COMMIT_BYTES;
    if (stream->raster_bytes_since_commit < threshold)
        return 0;
    stream->raster_bytes_since_commit = 0;
    // The batch holds tiles already answered as stored: a failed commit
    // answers its error and leaves them in the open transaction, the
    // caller's to commit again or roll back.
    return DB_trans_auto_commit_control(nullptr);
}

int32_t DB_stream_save_conflict_tile(DB_STREAM *stream, int32_t rasterband_id, int32_t rrd_factor,
                                     int32_t row_nbr, int32_t col_nbr)
{
    if (stream == nullptr)
        return ZE_NULL_POINTER;
    DB_stream_clear_xerr(stream);
    DB_STREAM_WRITE *write = db_stream_write_get(stream);
    if (write == nullptr)
        return ZE_OUT_OF_MEMORY;
    CLI_STATEMENT *cli = S_record(stream, DB_TILE_CONFLICT_STATEMENT);
    if (!write->conflict_prepared || !db_cli_is_prepared(cli)) {
        int32_t rc = zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
            std::string table;
            int32_t made = S_block_table(stream, &table);
            if (made != 0)
                return made;
            const std::string sql = "UPDATE " + table +
                                    " SET    rasterband_id = -rasterband_id WHERE  rasterband_id "
                                    "= ?        AND rrd_factor = ?        AND row_nbr = ?        "
                                    "AND col_nbr = ? ";
            db_cli_free(cli);
            db_cli_init(cli);
            made = db_cli_prepare(cli, sql.c_str());
            if (made == 0)
                made = S_bind_keys(cli, write);
            return made;
        });
        if (rc == ZE_RASTERCOLUMN_NOT_FOUND || rc == ZE_OUT_OF_MEMORY)
            return rc;
        if (rc != 0) {
            write->conflict_prepared = 0;
            return S_fail(stream, cli, rc, "DB_stream_save_conflict_tile");
        }
        write->conflict_prepared = 1;
    }
    write->rasterband_id = rasterband_id;
    write->rrd_factor = rrd_factor;
    write->row_nbr = row_nbr;
    write->col_nbr = col_nbr;
    int32_t rc = S_execute(cli);
    if (rc != 0) {
        // Prepared again by the next call.
        write->conflict_prepared = 0;
        return S_fail(stream, cli, rc, "DB_stream_save_conflict_tile");
    }
    return 0;
}

int32_t DB_stream_query_raster_id(DB_STREAM *stream, const char *rowid_column,
                                  const VE_ROW_POINTERS *row, int32_t from_row, int32_t *raster_id)
{
    if (stream == nullptr || rowid_column == nullptr || raster_id == nullptr)
        return ZE_NULL_POINTER;
    DB_STREAM_WRITE *write = db_stream_write_get(stream);
    if (write == nullptr)
        return ZE_OUT_OF_MEMORY;
    if (strcasecmp(rowid_column, stream->raster_column) == 0) {
        if (!from_row) {
            *raster_id = write->raster_id;
            return 0;
        }
        if (row == nullptr || row->values == nullptr || row->column_count < 1 ||
            row->values[row->column_count - 1] == nullptr)
            return ZE_NULL_POINTER;
        memcpy(raster_id, row->values[row->column_count - 1], sizeof(*raster_id));
        return 0;
    }
    *raster_id = 0;
    // Without a condition the first row of the table would answer.
    if (stream->where_text == nullptr || stream->where_text[0] == '\0')
        return ZE_INVALID_ARGUMENT;
    int32_t rc = db_check_name(stream->raster_column, sizeof(stream->raster_column));
    if (rc != 0)
        return rc;
    SQLINTEGER *parameter = nullptr;
    if (from_row) {
        const DB_WRITE_ROW &buffers = write->row;
        if (buffers.column_count < 1 || buffers.values == nullptr)
            return ZE_NULL_POINTER;
        parameter = static_cast<SQLINTEGER *>(buffers.values[buffers.column_count - 1]);
    }
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        char table[DB_QUALIFIED_NAME_SIZE] = {};
        DB_table_make_name(nullptr, stream->owner[0] ? stream->owner : nullptr, stream->table,
                           table);
        int32_t checked = db_check_table_name(table);
        if (checked != 0)
            return checked;
        const std::string sql = std::string("SELECT ") + stream->raster_column + " FROM " + table +
                                " WHERE " + stream->where_text;
        CLI_STATEMENT cli;
        db_cli_init(&cli);
        SQLINTEGER found = 0;
        SQLLEN found_length = 0;
        int32_t r = db_cli_prepare(&cli, sql.c_str());
        if (r == 0 && parameter != nullptr)
            r = db_cli_bind_by_pos(&cli, SQL_C_SLONG, SQL_INTEGER, 0, parameter, 0, nullptr);
        if (r == 0)
            r = db_cli_define_by_pos(&cli, SQL_C_SLONG, &found, sizeof(found), &found_length);
        if (r == 0)
            r = db_cli_execute_stmt(&cli, 1);
        if (r == 0) {
            r = db_cli_fetch(&cli);
            if (r == 0 && found_length != SQL_NULL_DATA)
                *raster_id = found;
            if (r == ZE_NO_MORE_ROWS)
                r = 0;
        }
        if (r != 0) {
            db_cli_save_error_to(&cli, db_stream_xerr(stream));
            db_cli_free_last(&cli);
            VES_print_debug(stderr, "DB_stream_query_raster_id Error (%d)\n", r);
            return r;
        }
        db_cli_free_last(&cli);
        return 0;
    });
}
