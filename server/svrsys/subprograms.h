// Child processes of the instance: the two calls that the shared memory's lock
// tables and guard need (the full family comes with child-process management).
#ifndef SUBPROGRAMS_H
#define SUBPROGRAMS_H

#include <stdint.h>

#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* 1 when process_id is a listed child of this control process, else 0; in a
 * process that never initialised the child list, 1 for every id. */
ZEL_API int32_t SubPrograms_ProgramAlive(int32_t process_id);
/* leave 0 enters the stop-protected section, any other value leaves it. */
ZEL_API int32_t SubPrograms_StopHandling(int32_t leave);

#ifdef __cplusplus
}
#endif

#endif
