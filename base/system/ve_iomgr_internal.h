// The control-process connection inside the library (ve_iomgr.h).
#ifndef VE_IOMGR_INTERNAL_H
#define VE_IOMGR_INTERNAL_H

#include "base/system/ve_iomgr.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The connection attempts VES_connect_to_iomgr makes: ZELATTEMPTS when it
 * reads as a C integer literal above 0, else IOMGR_ATTEMPTS. */
int32_t ves_iomgr_attempts(void);

#ifdef __cplusplus
}
#endif

#endif
