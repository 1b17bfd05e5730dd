// The write state of a stream (db_stream_write_internal.h): made on first
// need by the insert and tile paths, released by the stream's close.
#include "db/stream/db_stream_write_internal.h"

#include <stdlib.h>

#include "db/core/db_stream_internal.h"

DB_STREAM_WRITE *db_stream_write_get(DB_STREAM *stream)
{
    if (stream == nullptr)
        return nullptr;
    if (stream->write == nullptr) {
        auto *write = static_cast<DB_STREAM_WRITE *>(calloc(1, sizeof(DB_STREAM_WRITE)));
        if (write == nullptr)
            return nullptr;
        write->row.spatial_position = -1;
        write->row.rowid_index = -1;
        write->spatial_position = -1;
        write->rowid_position = -1;
        stream->write = write;
    }
    return stream->write;
}

void db_stream_write_free(DB_STREAM *stream)
{
    if (stream == nullptr || stream->write == nullptr)
        return;
    db_write_row_free(&stream->write->row);
    free(stream->write->sql);
    free(stream->write);
    stream->write = nullptr;
}
