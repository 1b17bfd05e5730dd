// Row locks of streams. This engine keeps no row locks on Informix: the whole
// interface is offered so that the stream paths can call it at their fixed
// points, every operation succeeds and holds nothing, and the capability
// query reports the feature as not supported. Row locking never becomes on
// and the row locks never become initialised through this library.
#ifndef DB_ROW_LOCK_H
#define DB_ROW_LOCK_H

#include <stddef.h>
#include <stdint.h>

#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;
typedef struct DB_STREAM DB_STREAM;

/* Bits of a stream's row-lock mode word that a query reads (0x02, 0x04 and
 * 0x10 belong to the write streams). */
#define DB_ROW_LOCK_ADD_FETCHED 0x01    /* lock each fetched row */
#define DB_ROW_LOCK_REMOVE_FETCHED 0x08 /* unlock each fetched row */
#define DB_ROW_LOCK_OWN 0x20            /* only rows the current user locked */
#define DB_ROW_LOCK_OTHERS 0x40         /* only rows other users locked */
#define DB_ROW_LOCK_UNLOCKED 0x80       /* only rows nobody locked */
/* The bits a query stream cannot honour without row locking. */
#define DB_ROW_LOCK_QUERY_BITS 0xE9

#ifdef __cplusplus
extern "C" {
#endif

/* Writes -1008 (not supported) into *enabled and returns 0; a null out is
 * ignored. */
ZEL_API int32_t DB_row_lock_is_enable(DB_INSTANCE *instance, int32_t *enabled);
/* Writes the stream's row-lock mode word into *mode. 0; -65 for a null
 * argument. */
ZEL_API int32_t DB_stream_get_rowlocking(DB_STREAM *stream, int32_t *mode);
/* 0; changes nothing. */
ZEL_API int32_t DB_stream_set_rowlocking(DB_STREAM *stream, int32_t mode);

/* Each returns 0 and does nothing. */
ZEL_API int32_t DB_row_lock_set_reginfo(DB_STREAM *stream, const REGISTRATION *registration);
ZEL_API int32_t DB_row_lock_init(DB_STREAM *stream);
ZEL_API int32_t DB_row_lock_add(DB_STREAM *stream, const int32_t *ids, int32_t count);
ZEL_API int32_t DB_row_lock_flush(DB_STREAM *stream);
ZEL_API int32_t DB_row_lock_remove_by_ids(DB_STREAM *stream, const int32_t *ids, int32_t count);
ZEL_API int32_t DB_row_lock_remove_by_query(DB_STREAM *stream, const char *where);
ZEL_API int32_t DB_row_lock_table_create(DB_INSTANCE *instance, const REGISTRATION *registration);
ZEL_API int32_t DB_row_lock_table_drop(DB_INSTANCE *instance, const REGISTRATION *registration);
ZEL_API int32_t DB_row_lock_table_truncate(DB_INSTANCE *instance, const REGISTRATION *registration);

/* Return 0 and report what an empty lock table holds: no conflicting row
 * (*conflicts 0), no restriction (an empty text when size > 0), no locked
 * row (*ids null, *count 0). Null outs are ignored. */
ZEL_API int32_t DB_row_lock_conflict_by_query(DB_STREAM *stream, const char *where,
                                              int32_t *conflicts);
ZEL_API int32_t DB_row_lock_conflict_by_ids(DB_STREAM *stream, const int32_t *ids, int32_t count,
                                            int32_t *conflicts);
ZEL_API int32_t DB_row_lock_get_where(DB_STREAM *stream, char *where, size_t size);
ZEL_API int32_t DB_row_lock_get_by_user(DB_INSTANCE *instance, const REGISTRATION *registration,
                                        const char *user, int32_t **ids, int32_t *count);

#ifdef __cplusplus
}
#endif

#endif
