// The stream record (db_stream.h): here its extended error record, which
// failures of the stream's statements fill and the host reads back.
#include "db/core/db_stream.h"

#include <stdio.h>
#include <string.h>

const char *db_stream_set_xerr_from_diag(DB_STREAM *stream, CLI_DIAG_RECORD diag)
{
    db_diag_terminate(&diag);
    fprintf(stderr, "ZEL_ODBC_STREAM Error: %d\n%s\n", diag.code, diag.message);
    if (stream == nullptr)
        return "";
    db_xerr_fill(&stream->xerr, &diag);
    return stream->xerr.text;
}

DB_EXT_ERROR *db_stream_copy_xerr(DB_EXT_ERROR *out, DB_STREAM *stream)
{
    if (out == nullptr)
        return nullptr;
    if (stream == nullptr)
        db_xerr_clear(out);
    else
        *out = stream->xerr;
    return out;
}

DB_EXT_ERROR *DB_stream_get_xerr(DB_EXT_ERROR *out, DB_STREAM *stream)
{
    return db_stream_copy_xerr(out, stream);
}

void DB_stream_clear_xerr(DB_STREAM *stream)
{
    if (stream != nullptr)
        db_xerr_clear(&stream->xerr);
}
