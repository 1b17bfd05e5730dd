// The machine's Windows code pages (ANSI and OEM), standing in for GetACP and
// GetOEMCP. POSIX has no such setting, so they default to a Western European
// machine (1252 and 437) and can be set through ZEL_ACP and ZEL_OEMCP.
#ifndef PLAT_CODEPAGE_INTERNAL_H
#define PLAT_CODEPAGE_INTERNAL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The ANSI code page: ZEL_ACP when it holds a positive number, else 1252. */
int32_t plat_get_acp(void);
/* The OEM code page: ZEL_OEMCP when it holds a positive number, else 437. */
int32_t plat_get_oemcp(void);

#ifdef __cplusplus
}
#endif

#endif
