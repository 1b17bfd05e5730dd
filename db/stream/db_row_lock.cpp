// Row-lock interface (db_row_lock.h): nothing is locked, every call succeeds
// and every answer is that of an empty lock table.
#include "db/stream/db_row_lock_internal.h"

#include "base/util/zel_errors.h"
#include "db/core/db_stream_internal.h"

int32_t DB_row_lock_is_enable(DB_INSTANCE *, int32_t *enabled)
{
    if (enabled != nullptr)
        *enabled = ZE_NOT_SUPPORTED;
    return 0;
}

int32_t DB_stream_get_rowlocking(DB_STREAM *stream, int32_t *mode)
{
    if (stream == nullptr || mode == nullptr)
        return ZE_NULL_POINTER;
    *mode = stream->row_lock_mode;
    return 0;
}

int32_t DB_stream_set_rowlocking(DB_STREAM *, int32_t)
{
    return 0;
}

int32_t DB_row_lock_set_reginfo(DB_STREAM *, const REGISTRATION *)
{
    return 0;
}

int32_t DB_row_lock_init(DB_STREAM *)
{
    return 0;
}

int32_t DB_row_lock_add(DB_STREAM *, const int32_t *, int32_t)
{
    return 0;
}

int32_t db_row_lock_add_by_query(DB_STREAM *, const char *)
{
    return 0;
}

int32_t DB_row_lock_flush(DB_STREAM *)
{
    return 0;
}

int32_t DB_row_lock_remove_by_ids(DB_STREAM *, const int32_t *, int32_t)
{
    return 0;
}

int32_t DB_row_lock_remove_by_query(DB_STREAM *, const char *)
{
    return 0;
}

int32_t DB_row_lock_table_create(DB_INSTANCE *, const REGISTRATION *)
{
    return 0;
}

int32_t DB_row_lock_table_drop(DB_INSTANCE *, const REGISTRATION *)
{
    return 0;
}

int32_t DB_row_lock_table_truncate(DB_INSTANCE *, const REGISTRATION *)
{
    return 0;
}

int32_t DB_row_lock_conflict_by_query(DB_STREAM *, const char *, int32_t *conflicts)
{
    if (conflicts != nullptr)
        *conflicts = 0;
    return 0;
}

int32_t DB_row_lock_conflict_by_ids(DB_STREAM *, const int32_t *, int32_t, int32_t *conflicts)
{
    if (conflicts != nullptr)
        *conflicts = 0;
    return 0;
}

int32_t DB_row_lock_get_where(DB_STREAM *, char *where, size_t size)
{
    if (where != nullptr && size > 0)
        where[0] = '\0';
    return 0;
}

int32_t DB_row_lock_get_by_user(DB_INSTANCE *, const REGISTRATION *, const char *, int32_t **ids,
                                int32_t *count)
{
    if (ids != nullptr)
        *ids = nullptr;
    if (count != nullptr)
        *count = 0;
    return 0;
}
