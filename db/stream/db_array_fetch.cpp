// Release of a stream's array-fetch buffers and secondary cursor
// (db_array_fetch_internal.h). Every pointer freed here is cleared, so a stream closed
// twice finds nothing left to free.
#include "db/stream/db_array_fetch_internal.h"

#include <stdlib.h>

#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"

// Frees count blocks of a heap array and the array.
static void S_free_array(void ***array, int32_t count)
{
    if (*array == nullptr)
        return;
    for (int32_t i = 0; i < count; i++)
        free((*array)[i]);
    free(*array);
    *array = nullptr;
}

int32_t db_array_fetch_free(DB_STREAM *stream, int32_t release)
{
    if (stream == nullptr)
        return 0;
    free(stream->row_buffer);
    stream->row_buffer = nullptr;
    S_free_array(&stream->column_buffers, stream->column_count);
    if (release) {
        S_free_array(&stream->value_arrays, stream->column_count);
        S_free_array(reinterpret_cast<void ***>(&stream->indicator_arrays), stream->column_count);
    }
    return 0;
}

int32_t db_stream_close_cursor(DB_STREAM *stream, int32_t reset)
{
    if (stream == nullptr)
        return 0;
    if (reset) {
        stream->fetch_position = -1;
        stream->fetch_counter = 0;
    }
    free(stream->secondary_buffer);
    stream->secondary_buffer = nullptr;
    stream->secondary_slot = -1;
    db_free_stmt(&stream->stmt_secondary);
    return 0;
}
