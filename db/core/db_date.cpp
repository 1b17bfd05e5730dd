// Date values between the CLI and the engine's date record. Readers of date
// columns pass the result on to mktime, so the daylight flag is left to it.
#include "db/core/db_date_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <string.h>

#include "base/util/ve_netdb.h"
#include "base/util/zel_errors.h"

static void S_fill_day(VE_DATE *date, int32_t year, int32_t month, int32_t day)
{
    date->tm_mday = day;
    date->tm_mon = month - 1;
    date->tm_year = year - 1900;
    int32_t weekday = VES_get_day_of_week(month, day, year);
    int32_t yearday = VES_get_day_of_year(month, day, year);
    date->tm_wday = weekday < 0 ? 0 : weekday;
    date->tm_yday = yearday < 0 ? 0 : yearday;
}

int32_t db_sql_date_to_tm(const void *value, VE_DATE *date, int32_t c_type)
{
    if (!value || !date)
        return ZE_NULL_POINTER;
    memset(date, 0, sizeof(*date));
    if (c_type == DB_C_TYPE_DATE) {
        const auto *d = static_cast<const SQL_DATE_STRUCT *>(value);
        S_fill_day(date, d->year, d->month, d->day);
    } else if (c_type == DB_C_TYPE_TIME) {
        const auto *t = static_cast<const SQL_TIME_STRUCT *>(value);
        date->tm_hour = t->hour;
        date->tm_min = t->minute;
        date->tm_sec = t->second;
    } else {
        const auto *ts = static_cast<const SQL_TIMESTAMP_STRUCT *>(value);
        S_fill_day(date, ts->year, ts->month, ts->day);
        date->tm_hour = ts->hour;
        date->tm_min = ts->minute;
        date->tm_sec = ts->second;
    }
    date->tm_isdst = -1;
    return ZE_SUCCESS;
}

int32_t db_tm_to_sql_date(const VE_DATE *date, void *value, int32_t c_type)
{
    if (!value || !date)
        return ZE_NULL_POINTER;
    if (c_type == DB_C_TYPE_DATE) {
        auto *d = static_cast<SQL_DATE_STRUCT *>(value);
        d->year = static_cast<SQLSMALLINT>(date->tm_year + 1900);
        d->month = static_cast<SQLUSMALLINT>(date->tm_mon + 1);
        d->day = static_cast<SQLUSMALLINT>(date->tm_mday);
    } else if (c_type == DB_C_TYPE_TIME) {
        auto *t = static_cast<SQL_TIME_STRUCT *>(value);
        t->hour = static_cast<SQLUSMALLINT>(date->tm_hour);
        t->minute = static_cast<SQLUSMALLINT>(date->tm_min);
        t->second = static_cast<SQLUSMALLINT>(date->tm_sec);
    } else {
        auto *ts = static_cast<SQL_TIMESTAMP_STRUCT *>(value);
        ts->year = static_cast<SQLSMALLINT>(date->tm_year + 1900);
        ts->month = static_cast<SQLUSMALLINT>(date->tm_mon + 1);
        ts->day = static_cast<SQLUSMALLINT>(date->tm_mday);
        ts->hour = static_cast<SQLUSMALLINT>(date->tm_hour);
        ts->minute = static_cast<SQLUSMALLINT>(date->tm_min);
        ts->second = static_cast<SQLUSMALLINT>(date->tm_sec);
        ts->fraction = 0;
    }
    return ZE_SUCCESS;
}

int32_t db_time_to_sql_timestamp(time_t when, void *value)
{
    if (!value)
        return ZE_NULL_POINTER;
    struct tm local = {};
    VES_localtime(when, &local);
    VE_DATE date = {local.tm_sec,  local.tm_min,  local.tm_hour, local.tm_mday, local.tm_mon,
                    local.tm_year, local.tm_wday, local.tm_yday, local.tm_isdst};
    return db_tm_to_sql_date(&date, value, SQL_C_TIMESTAMP);
}

time_t db_sql_timestamp_to_time(const void *value)
{
    VE_DATE date;
    if (db_sql_date_to_tm(value, &date, SQL_C_TIMESTAMP) != ZE_SUCCESS)
        return static_cast<time_t>(-1);
    struct tm local = {};
    local.tm_sec = date.tm_sec;
    local.tm_min = date.tm_min;
    local.tm_hour = date.tm_hour;
    local.tm_mday = date.tm_mday;
    local.tm_mon = date.tm_mon;
    local.tm_year = date.tm_year;
    local.tm_isdst = date.tm_isdst;
    return mktime(&local);
}
