// Raster query and pixel fetch (db_stream_raster_query.h). The tile query
// fetches rows a block at a time into the stream's fetch buffer, six integer
// arrays and the block array placed in it; every block's length word is
// checked against the bytes fetched before a tile points into it. Sizes
// are computed in 64 bits: a band of large blocks must not wrap to a small
// buffer.
#include "db/stream/db_stream_raster_query_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>
#include <string>

#include "base/util/ve_buffer.h"
#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_names.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stream_internal.h"

// The integer columns of the tile query, in select order.
enum { S_BAND_ID, S_LEVEL, S_ROW, S_COLUMN, S_BAND_TYPES, S_PIXEL_COUNT };
#define S_BLOCK_COLUMN (DB_RASTER_TILE_COLUMNS - 1)

static DB_RASTER_QUERY *S_record(DB_STREAM *stream)
{
    if (stream->raster_query == nullptr)
        stream->raster_query = static_cast<DB_RASTER_QUERY *>(calloc(1, sizeof(DB_RASTER_QUERY)));
    return stream->raster_query;
}

void db_raster_query_free(DB_STREAM *stream)
{
    if (stream == nullptr || stream->raster_query == nullptr)
        return;
    DB_RASTER_QUERY *q = stream->raster_query;
    free(q->query_text);
    free(q->lengths);
    if (q->pixel_block != nullptr)
        VES_buffer_free(q->pixel_block, q->pixel_block_size);
    free(q);
    stream->raster_query = nullptr;
}

// The record's failure into the stream's extended error, the statement freed.
static int32_t S_fail(DB_STREAM *stream, CLI_STATEMENT *cli, int32_t rc)
{
    db_cli_save_error_to(cli, db_stream_xerr(stream));
    db_cli_free(cli);
    db_cli_init(cli);
    return rc;
}

static bool S_has_raster_column(const DB_STREAM *stream)
{
    return stream->raster_column[0] != '\0' && stream->raster_column_id > 0;
}

// The band or block table of the stream's raster column, checked before it
// goes into SQL.
static int32_t S_table(DB_STREAM *stream, bool band, char (&out)[DB_QUALIFIED_NAME_SIZE])
{
    int32_t rc = band
                     ? db_make_band_table_name(stream, stream->raster_column_id, out, sizeof(out))
                     : db_make_block_table_name(stream, stream->raster_column_id, out, sizeof(out));
    if (rc == 0)
        rc = db_check_table_name(out);
    return rc;
}

// ceil(w x h x bits / 8) + ceil(w x h / 8) + 4, or -1 when it is no usable
// size (the fetched row, 28 bytes more, must stay a 32-bit length).
static int64_t S_block_bytes(int32_t width, int32_t height, int32_t band_types)
{
    if (width < 1 || height < 1 || band_types < 0)
        return -1;
    const int64_t pixels = static_cast<int64_t>(width) * height;
    const int64_t bits = band_types >> 19;
    const int64_t size = (pixels * bits + 7) / 8 + (pixels + 7) / 8 + 4;
    if (size > INT32_MAX - DB_RASTER_ROW_OVERHEAD)
        return -1;
    return size;
}

int32_t db_raster_block_size(DB_STREAM *stream, const char *band_table, int32_t *size)
{
    if (stream == nullptr || band_table == nullptr || size == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        const std::string sql =
            std::string("SELECT max(block_width), max(block_height), max(band_types) FROM ") +
            band_table;
        CLI_STATEMENT cli;
        db_cli_init(&cli);
        SQLINTEGER values[3] = {0, 0, 0};
        SQLLEN lengths[3] = {0, 0, 0};
        int32_t rc = db_cli_prepare(&cli, sql.c_str());
        for (int i = 0; i < 3 && rc == 0; i++)
            rc =
                db_cli_define_by_pos(&cli, SQL_C_SLONG, &values[i], sizeof(values[i]), &lengths[i]);
        if (rc == 0)
            rc = db_cli_execute_stmt(&cli, 1);
        if (rc == 0)
            rc = db_cli_fetch(&cli);
        if (rc != 0 && rc != ZE_NO_MORE_ROWS) {
            db_cli_save_error_to(&cli, db_stream_xerr(stream));
            db_cli_free_last(&cli);
            return rc;
        }
        db_cli_free_last(&cli);
        if (rc == ZE_NO_MORE_ROWS)
            return ZE_INVALID_ARGUMENT;
        for (int i = 0; i < 3; i++)
            if (lengths[i] == SQL_NULL_DATA)
                return ZE_INVALID_ARGUMENT;
        const int64_t bytes = S_block_bytes(values[0], values[1], values[2]);
        if (bytes < 0)
            return ZE_INVALID_ARGUMENT;
        *size = static_cast<int32_t>(bytes);
        return 0;
    });
}

std::string db_raster_query_text(const DB_STREAM *stream, const char *band_table,
                                 const char *block_table)
{
    // Line breaks after each list of pieces when pretty printing is on.
    const bool pretty = getenv("ZELPRETTYSQL") != nullptr;
    std::string sql;
    auto line = [&](std::initializer_list<std::string> pieces) {
        for (const std::string &piece : pieces)
            sql += piece;
        if (pretty)
            sql += "\n";
    };
    line({"SELECT ", " ",
          "blk.rasterband_id, rrd_factor, row_nbr, col_nbr, band_types, "
          "block_width*block_height, block_data",
          ", sequence_nbr "});
    line({"FROM ", band_table, " bnd, ", block_table, " blk "});
    line({"WHERE blk.rasterband_id = bnd.rasterband_id AND raster_id = ? "});
    const RASCONSTRAINT *c = stream->raster_constraint;
    if (c != nullptr && c->band_count > 0 && c->band_numbers != nullptr) {
        if (c->band_count == 1) {
            line({"AND sequence_nbr = ", std::to_string(c->band_numbers[0]), " "});
        } else {
            std::string list;
            for (int32_t i = 0; i < c->band_count; i++)
                list += (i > 0 ? ", " : "") + std::to_string(c->band_numbers[i]);
            line({"AND (sequence_nbr IN (", list, ")) "});
        }
    }
    line({"AND rrd_factor = ?"});
    if (c != nullptr && c->window_flag) {
        std::string rows = c->min_row == c->max_row
                               ? " (row_nbr = " + std::to_string(c->min_row)
                               : " (row_nbr >= " + std::to_string(c->min_row) +
                                     " AND row_nbr <= " + std::to_string(c->max_row);
        std::string columns = c->min_column == c->max_column
                                  ? " AND col_nbr = " + std::to_string(c->min_column)
                                  : " AND col_nbr >= " + std::to_string(c->min_column) +
                                        " AND col_nbr <= " + std::to_string(c->max_column);
        line({" AND", rows, columns, ")"});
    }
    line({c != nullptr && c->order == 0 ? " ORDER BY row_nbr, col_nbr, sequence_nbr"
                                        : " ORDER BY sequence_nbr, row_nbr, col_nbr"});
    return sql;
}

// Places the column arrays in the fetch buffer and binds them: six integer
// arrays of one cell a row, then the blocks, block_size bytes a row.
static int32_t S_bind_columns(DB_STREAM *stream, DB_RASTER_QUERY *q, CLI_STATEMENT *cli)
{
    const size_t rows = static_cast<size_t>(q->rows_per_fetch);
    free(q->lengths);
    q->lengths = static_cast<SQLLEN *>(calloc(rows * DB_RASTER_TILE_COLUMNS, sizeof(SQLLEN)));
    if (q->lengths == nullptr)
        return ZE_OUT_OF_MEMORY;
    unsigned char *at = static_cast<unsigned char *>(stream->buffer);
    for (int i = 0; i < S_BLOCK_COLUMN; i++) {
        q->integers[i] = reinterpret_cast<SQLINTEGER *>(at);
        at += rows * sizeof(SQLINTEGER);
    }
    q->blocks = at;
    db_cli_set_define_position(cli, 1);
    for (int i = 0; i < S_BLOCK_COLUMN; i++) {
        int32_t rc = db_cli_define_by_pos(cli, SQL_C_SLONG, q->integers[i], sizeof(SQLINTEGER),
                                          q->lengths + rows * static_cast<size_t>(i));
        if (rc != 0)
            return rc;
    }
    return db_cli_define_by_pos(cli, SQL_C_BINARY, q->blocks, q->block_size,
                                q->lengths + rows * S_BLOCK_COLUMN);
}

// The fetch buffer, made unless it holds a row already: twice the stream's
// buffer limit, which must hold one row.
static int32_t S_fetch_buffer(DB_STREAM *stream, DB_RASTER_QUERY *q)
{
    const int64_t row = static_cast<int64_t>(q->block_size) + DB_RASTER_ROW_OVERHEAD;
    if (stream->buffer == nullptr || stream->buffer_size < row) {
        const int64_t limit = stream->params[DB_STREAM_PARAM_RASTER_BUFFER];
        if (limit < row)
            return ZE_RASTER_BUFFER_TOO_SMALL;
        const int64_t size = 2 * limit < INT32_MAX ? 2 * limit : INT32_MAX;
        if (stream->buffer != nullptr)
            VES_buffer_free(stream->buffer, stream->buffer_size);
        stream->buffer_size = 0;
        stream->buffer = VES_buffer_alloc(static_cast<int32_t>(size));
        if (stream->buffer == nullptr)
            return ZE_OUT_OF_MEMORY;
        stream->buffer_size = static_cast<int32_t>(size);
    }
    const int64_t rows = stream->buffer_size / row;
    q->rows_per_fetch = rows > 1 ? static_cast<int32_t>(rows) : 1;
    return 0;
}

// Prepares the tile query on the record and binds its parameters and
// columns. A failure frees the statement and is recorded in the stream.
static int32_t S_prepare_tiles(DB_STREAM *stream, DB_RASTER_QUERY *q, const char *band_table)
{
    CLI_STATEMENT *cli = &stream->cli[DB_RASTER_TILE_STATEMENT];
    if (q->block_size == 0) {
        int32_t rc = db_raster_block_size(stream, band_table, &q->block_size);
        if (rc != 0)
            return rc;
    }
    if (q->tile_prepared)
        SQLFreeStmt(db_cli_get_handle(cli), SQL_CLOSE);
    q->tile_prepared = 0;
    int32_t rc = db_cli_prepare(cli, q->query_text);
    if (rc != 0)
        return S_fail(stream, cli, rc);
    q->raster_id = 0;
    q->level = stream->raster_constraint != nullptr ? stream->raster_constraint->level : 0;
    db_cli_set_bind_position(cli, 1);
    rc = db_cli_bind_by_pos(cli, SQL_C_SLONG, SQL_INTEGER, 0, &q->raster_id, 0, nullptr);
    if (rc == 0)
        rc = db_cli_bind_by_pos(cli, SQL_C_SLONG, SQL_INTEGER, 0, &q->level, 0, nullptr);
    if (rc != 0)
        return S_fail(stream, cli, rc);
    rc = S_fetch_buffer(stream, q);
    if (rc == 0)
        rc = S_bind_columns(stream, q, cli);
    if (rc != 0)
        return S_fail(stream, cli, rc);
    q->tile_prepared = 1;
    q->executed = 0;
    q->fetched = 0;
    q->next = 0;
    q->end_mark = 0;
    return 0;
}

int32_t DB_stream_init_raster_query(DB_STREAM *stream)
{
    if (stream == nullptr)
        return ZE_NULL_POINTER;
    DB_stream_clear_xerr(stream);
    if (!S_has_raster_column(stream))
        return ZE_RASTERCOLUMN_NOT_FOUND;
    DB_RASTER_QUERY *q = S_record(stream);
    if (q == nullptr)
        return ZE_OUT_OF_MEMORY;
    char band_table[DB_QUALIFIED_NAME_SIZE] = {}, block_table[DB_QUALIFIED_NAME_SIZE] = {};
    int32_t rc = S_table(stream, true, band_table);
    if (rc == 0)
        rc = S_table(stream, false, block_table);
    if (rc != 0)
        return rc;
    rc = zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        const std::string text = db_raster_query_text(stream, band_table, block_table);
        char *copy = strdup(text.c_str());
        if (copy == nullptr)
            return ZE_OUT_OF_MEMORY;
        free(q->query_text);
        q->query_text = copy;
        return 0;
    });
    if (rc != 0)
        return rc;
    return S_prepare_tiles(stream, q, band_table);
}

// The next rows of the raster: executes the query at the first fetch of a
// raster id. 0 (rows added, possibly none); -4 at the end; an error, recorded
// in the stream.
static int32_t S_fetch_rows(DB_STREAM *stream, DB_RASTER_QUERY *q)
{
    CLI_STATEMENT *cli = &stream->cli[DB_RASTER_TILE_STATEMENT];
    int32_t rc = 0;
    if (!q->executed) {
        rc = db_cli_execute_stmt(cli, q->rows_per_fetch);
        if (rc == 0) {
            q->executed = 1;
            free(q->query_text);
            q->query_text = nullptr;
        }
    }
    if (rc == 0) {
        cli->rows_fetched = 0;
        rc = db_cli_fetch(cli);
    }
    SQLULEN rows = db_cli_get_rows_fetched(cli);
    if (q->rows_per_fetch == 1)
        rows = rc == 0 ? 1 : 0;
    if (rc == ZE_NO_MORE_ROWS) {
        if (rows == 0)
            return ZE_NO_MORE_ROWS;
        q->fetched += static_cast<int64_t>(rows);
        q->end_mark = ZE_NO_MORE_ROWS;
        return 0;
    }
    if (rc != 0) {
        db_cli_save_error_to(cli, db_stream_xerr(stream));
        if (db_cli_sqlstate_is(cli, "37000")) {
            SQLFreeStmt(db_cli_get_handle(cli), SQL_CLOSE);
            q->executed = 0;
            stream->xerr.code = ZE_SYNTAX_ERROR;
            return ZE_SYNTAX_ERROR;
        }
        VES_print_debug(stderr, "Error: db_array_fetch_tiles (%d)\n", rc);
        return rc;
    }
    q->fetched += static_cast<int64_t>(rows);
    return 0;
}

static int32_t S_minus(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// The data length of a stored block of fetched bytes (the length cell):
// its first 4 bytes, least significant first, which must leave the data
// within the bytes fetched and the bound room. -1 when they do not.
static int32_t S_block_length(const unsigned char *block, SQLLEN fetched, int32_t room)
{
    if (fetched == SQL_NULL_DATA || fetched < 4)
        return -1;
    const SQLLEN available = fetched < room ? fetched : room;
    const uint32_t length = static_cast<uint32_t>(block[0]) | static_cast<uint32_t>(block[1]) << 8 |
                            static_cast<uint32_t>(block[2]) << 16 |
                            static_cast<uint32_t>(block[3]) << 24;
    if (length > static_cast<uint64_t>(available - 4))
        return -1;
    return static_cast<int32_t>(length);
}

int32_t DB_stream_fetch_tile(DB_STREAM *stream, int32_t raster_id, RB_TILE *tile)
{
    if (stream == nullptr || tile == nullptr)
        return ZE_NULL_POINTER;
    DB_RASTER_QUERY *q = stream->raster_query;
    if (q == nullptr || !q->tile_prepared)
        return ZE_INVALID_ARGUMENT;
    if (raster_id != q->raster_id) {
        // Another raster: its first tile comes from a new execute.
        if (q->executed)
            SQLFreeStmt(db_cli_get_handle(&stream->cli[DB_RASTER_TILE_STATEMENT]), SQL_CLOSE);
        q->raster_id = raster_id;
        q->executed = 0;
        q->fetched = 0;
        q->next = 0;
        q->end_mark = 0;
    }
    if (q->next >= q->fetched) {
        if (q->end_mark == ZE_NO_MORE_ROWS) {
            q->end_mark = 0;
            return ZE_NO_MORE_ROWS;
        }
        int32_t rc = S_fetch_rows(stream, q);
        if (rc != 0)
            return rc;
        if (q->next >= q->fetched) {
            tile->data = nullptr;
            tile->length = 0;
            return 0;
        }
    }
    const size_t rows = static_cast<size_t>(q->rows_per_fetch);
    const size_t r = static_cast<size_t>(q->next % q->rows_per_fetch);
    q->next++;
    auto value = [&](int column) -> int32_t {
        return q->lengths[rows * static_cast<size_t>(column) + r] == SQL_NULL_DATA
                   ? 0
                   : q->integers[column][r];
    };
    unsigned char *block = q->blocks + r * static_cast<size_t>(q->block_size);
    const int32_t length =
        S_block_length(block, q->lengths[rows * S_BLOCK_COLUMN + r], q->block_size);
    if (length < 0)
        return ZE_INVALID_ARGUMENT;
    const int32_t level = value(S_LEVEL);
    int32_t row = value(S_ROW), column = value(S_COLUMN);
    if (level == 0 && stream->raster_constraint != nullptr) {
        row = S_minus(row, stream->raster_constraint_words[1]);
        column = S_minus(column, stream->raster_constraint_words[0]);
    }
    tile->tile_number = value(S_BAND_ID);
    tile->format = value(S_BAND_TYPES);
    tile->words[RB_TILE_ROW] = row;
    tile->words[RB_TILE_COLUMN] = column;
    tile->words[RB_TILE_LEVEL] = level;
    tile->data = block + 4;
    tile->length = length;
    tile->pixel_count = value(S_PIXEL_COUNT);
    return 0;
}

// Prepares the block read of the pixel fetch on its record, with a block of
// its own. A failure is recorded in the stream.
static int32_t S_prepare_pixels(DB_STREAM *stream, DB_RASTER_QUERY *q)
{
    char band_table[DB_QUALIFIED_NAME_SIZE] = {}, block_table[DB_QUALIFIED_NAME_SIZE] = {};
    int32_t rc = S_table(stream, false, block_table);
    if (rc == 0 && q->block_size == 0) {
        rc = S_table(stream, true, band_table);
        if (rc == 0)
            rc = db_raster_block_size(stream, band_table, &q->block_size);
    }
    if (rc != 0)
        return rc;
    if (q->pixel_block == nullptr) {
        q->pixel_block = static_cast<unsigned char *>(VES_buffer_alloc(q->block_size));
        if (q->pixel_block == nullptr)
            return ZE_OUT_OF_MEMORY;
        q->pixel_block_size = q->block_size;
    }
    CLI_STATEMENT *cli = &stream->cli[DB_RASTER_PIXEL_STATEMENT];
    rc = zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        const std::string sql = std::string("SELECT block_data FROM   ") + block_table +
                                " WHERE  rasterband_id = ?        AND rrd_factor = ?        AND "
                                "row_nbr = ?        AND col_nbr = ? ";
        return db_cli_prepare(cli, sql.c_str());
    });
    db_cli_set_bind_position(cli, 1);
    for (int i = 0; i < 4 && rc == 0; i++)
        rc = db_cli_bind_by_pos(cli, SQL_C_SLONG, SQL_INTEGER, 0, &q->pixel_keys[i], 0, nullptr);
    if (rc == 0)
        rc = db_cli_define_by_pos(cli, SQL_C_BINARY, q->pixel_block, q->pixel_block_size,
                                  &q->pixel_length);
    if (rc != 0)
        return S_fail(stream, cli, rc);
    q->pixel_prepared = 1;
    return 0;
}

int32_t DB_stream_fetch_pixel_data(DB_STREAM *stream, int32_t rasterband_id, int32_t level,
                                   int32_t row, int32_t column, unsigned char **pixels,
                                   int32_t *length)
{
    if (stream == nullptr || pixels == nullptr || length == nullptr)
        return ZE_NULL_POINTER;
    *pixels = nullptr;
    *length = 0;
    DB_stream_clear_xerr(stream);
    if (!S_has_raster_column(stream))
        return ZE_RASTERCOLUMN_NOT_FOUND;
    DB_RASTER_QUERY *q = S_record(stream);
    if (q == nullptr)
        return ZE_OUT_OF_MEMORY;
    int32_t rc = 0;
    if (!q->pixel_prepared && (rc = S_prepare_pixels(stream, q)) != 0) {
        VES_print_debug(stderr, "DB_stream_fetch_pixel_data Error (%d)\n", rc);
        return rc;
    }
    q->pixel_keys[0] = rasterband_id;
    q->pixel_keys[1] = level;
    q->pixel_keys[2] = row;
    q->pixel_keys[3] = column;
    CLI_STATEMENT *cli = &stream->cli[DB_RASTER_PIXEL_STATEMENT];
    rc = db_cli_execute_stmt(cli, 1);
    if (rc == 0)
        rc = db_cli_fetch(cli);
    if (rc != 0 && rc != ZE_NO_MORE_ROWS) {
        VES_print_debug(stderr, "DB_stream_fetch_pixel_data Error (%d)\n", rc);
        q->pixel_prepared = 0;
        return S_fail(stream, cli, rc);
    }
    // The statement stays prepared for the next tile.
    SQLFreeStmt(db_cli_get_handle(cli), SQL_CLOSE);
    if (rc == ZE_NO_MORE_ROWS)
        return 0;
    const int32_t n = S_block_length(q->pixel_block, q->pixel_length, q->pixel_block_size);
    if (n < 0)
        return ZE_INVALID_ARGUMENT;
    *pixels = q->pixel_block + 4;
    *length = n;
    return 0;
}
