// Log-file set operations: whole logs counted, combined, copied and cleared
// of duplicate ids inside the database, by INSERT ... SELECT over the
// owners' data tables (the log files of db_log.h). Every function clears the
// connection's extended error record first and answers -44 while the log
// system is not initialised.
#ifndef DB_LOG_SET_H
#define DB_LOG_SET_H

#include <stdint.h>

#include "base/util/ve_loginfo.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

/* Combination codes of DB_log_combine. */
#define DB_LOG_INTERSECTION 1
#define DB_LOG_UNION 2
#define DB_LOG_DIFFERENCE 3 /* ids of the first log that are not in the second */
#define DB_LOG_SYMMETRIC_DIFFERENCE 4

#ifdef __cplusplus
extern "C" {
#endif

/* The number of distinct ids of the log (its name and data id are read from
 * the record). Ids that a descriptor of this process holds for the log are
 * written first; the descriptor stays usable. 0; -66 null record or count,
 * a name that does not parse; -51. */
ZEL_API int32_t DB_log_count(DB_INSTANCE *instance, const LOGFILE *log, int32_t *count);
/* Writes the combination of two logs of one table into the target log,
 * which takes the first log's flags and must not exist unless it names the
 * first or the second log (then that log is replaced by the result, keeping
 * its name and log id). *count: the ids of the result. 0; -66 null
 * argument, a name that does not parse, a code outside 1 to 4 or logs of
 * different kinds, layers or tables (nothing written); -44 the target is
 * another user's; -253 an input is open in this process; -43 an input is
 * missing; -252 the target exists; -51 (nothing of the target is kept). */
ZEL_API int32_t DB_log_combine(DB_INSTANCE *instance, const char *first, const char *second,
                               const char *target, int32_t code, int32_t *count);
/* Copies a log's distinct ids into the target log, which replaces an
 * existing one of that name. 0; -66; -44 the target is another user's;
 * -43 no source; -253 the source (or the target) is open; -51. */
ZEL_API int32_t DB_log_copy(DB_INSTANCE *instance, const char *source, const char *target);
/* Removes the duplicate ids of a log; *count: the distinct ids left. 0; -65
 * null name or count; -66; -44 another user's log; -43; -253 the log is
 * open; -51 (also when the database reports an error inside the removal). */
ZEL_API int32_t DB_log_sort(DB_INSTANCE *instance, const char *name, int32_t *count);

#ifdef __cplusplus
}
#endif

#endif
