// Row locks of streams. Row locking is not kept by this engine on Informix:
// the interface answers success and holds nothing.
#ifndef DB_ROW_LOCK_H
#define DB_ROW_LOCK_H

#include <stdint.h>

#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* 0 always. */
ZEL_API int32_t DB_row_lock_flush(void);

#ifdef __cplusplus
}
#endif

#endif
