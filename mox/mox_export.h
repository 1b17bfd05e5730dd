// Export marker of the geometry module's entry points. Everything else in
// libmox81.so is hidden (-fvisibility=hidden).
#ifndef MOX_EXPORT_H
#define MOX_EXPORT_H

#ifdef __cplusplus
#define MOX_API extern "C" __attribute__((visibility("default")))
#else
#define MOX_API __attribute__((visibility("default")))
#endif

#endif
