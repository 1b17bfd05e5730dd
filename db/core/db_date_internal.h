// Conversions between the CLI's DATE, TIME and TIMESTAMP structures and the
// engine's date record (VE_DATE, the fields of a C calendar time).
#ifndef DB_DATE_INTERNAL_H
#define DB_DATE_INTERNAL_H

#include <stdint.h>
#include <time.h>

#include "base/util/ve_date.h"

#define DB_C_TYPE_DATE 9  // SQL_C_DATE
#define DB_C_TYPE_TIME 10 // SQL_C_TIME; any other C type is a timestamp

// value points at a SQL_DATE_STRUCT, SQL_TIME_STRUCT or SQL_TIMESTAMP_STRUCT
// chosen by c_type. The record is cleared first; weekday and day of year are
// computed for dates and timestamps; the daylight flag is -1. Returns 0, or
// -65 for a null argument.
int32_t db_sql_date_to_tm(const void *value, VE_DATE *date, int32_t c_type);

// The reverse: writes the structure chosen by c_type (a timestamp's fraction
// 0). Returns 0, or -65 for a null argument.
int32_t db_tm_to_sql_date(const VE_DATE *date, void *value, int32_t c_type);

// A moment as the catalogue stores it: the local time of when, written into
// the SQL_TIMESTAMP_STRUCT at value (fraction 0). Returns 0, or -65 for a
// null value.
int32_t db_time_to_sql_timestamp(time_t when, void *value);

// The reverse: the SQL_TIMESTAMP_STRUCT at value read as local time (mktime);
// -1 for a null value or a time mktime cannot represent.
time_t db_sql_timestamp_to_time(const void *value);

#endif
