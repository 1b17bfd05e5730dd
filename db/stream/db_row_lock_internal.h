// The row-lock call of the WHERE-clause write paths.
#ifndef DB_ROW_LOCK_INTERNAL_H
#define DB_ROW_LOCK_INTERNAL_H

#include "db/stream/db_row_lock.h"

#ifdef __cplusplus
extern "C" {
#endif

/* 0; does nothing. */
int32_t db_row_lock_add_by_query(DB_STREAM *stream, const char *where);

#ifdef __cplusplus
}
#endif

#endif
