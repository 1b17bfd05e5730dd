// Export marker of the library's public entry points. Everything else is
// hidden (-fvisibility=hidden), so only the families the hosts call appear in
// the dynamic symbol table.
#ifndef ZEL_EXPORT_H
#define ZEL_EXPORT_H

#ifdef __cplusplus
#define ZEL_API extern "C" __attribute__((visibility("default")))
#else
#define ZEL_API __attribute__((visibility("default")))
#endif

#endif
