// The engine's date value: nine 32-bit fields in the order of a C calendar
// time. It is our own record (not struct tm, whose width is the platform's);
// the date column buffers and the wire codecs use it. Also the calendar
// helpers that work on plain month/day/year numbers.
#ifndef VE_DATE_H
#define VE_DATE_H

#include <stdint.h>

#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VE_DATE {
    int32_t tm_sec;   /* seconds 0-60 */
    int32_t tm_min;   /* minutes 0-59 */
    int32_t tm_hour;  /* hours 0-23 */
    int32_t tm_mday;  /* day of month 1-31 */
    int32_t tm_mon;   /* month 0-11 */
    int32_t tm_year;  /* years since 1900 */
    int32_t tm_wday;  /* day of week 0-6, 0 = Sunday */
    int32_t tm_yday;  /* day of year 0-365 */
    int32_t tm_isdst; /* daylight-saving flag */
} VE_DATE;

/* Weekday (0 = Sunday .. 6) of a Gregorian date; month 1-12. Returns -66 for
 * a month outside 1-12. */
ZEL_API int32_t VES_get_day_of_week(int32_t month, int32_t day, int32_t year);
/* Day number 1-366 of a date within its year; month 1-12. Returns -66 for a
 * month outside 1-12. */
ZEL_API int32_t VES_get_day_of_year(int32_t month, int32_t day, int32_t year);

#ifdef __cplusplus
}
#endif

#endif
