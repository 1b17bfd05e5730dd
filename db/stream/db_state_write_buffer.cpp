// Release of a stream's state write buffer (db_state_write_buffer_internal.h). The
// write paths through a state fill it; only its release lives here so far.
#include "db/stream/db_state_write_buffer_internal.h"

#include <stdlib.h>

#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"

static void S_free_stream(DB_STREAM **stream)
{
    if (*stream == nullptr)
        return;
    DB_stream_free(*stream);
    free(*stream);
    *stream = nullptr;
}

void db_state_write_buffer_free(STATE_WRITE_BUFFER *buffer)
{
    if (buffer == nullptr)
        return;
    free(buffer->version_values);
    free(buffer->version_indicators);
    free(buffer->in_place_values);
    free(buffer->in_place_indicators);
    if (buffer->select_row != nullptr) {
        VES_free_row_pointers(buffer->select_row);
        free(buffer->select_row);
    }
    S_free_stream(&buffer->query_stream);
    S_free_stream(&buffer->in_place_stream);
    S_free_stream(&buffer->deletes_stream);
    S_free_stream(&buffer->shape_streams[0]);
    S_free_stream(&buffer->shape_streams[1]);
    db_free_stmt(&buffer->shared_shape_stmt);
    free(buffer);
}
