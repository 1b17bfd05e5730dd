// Calendar helpers on plain month/day/year numbers (base/util/ve_date.h).
#include "base/util/ve_date.h"

#include "base/util/zel_errors.h"

static bool S_is_leap(int32_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int32_t VES_get_day_of_week(int32_t month, int32_t day, int32_t year)
{
    static const int32_t offsets[12] = {6, 2, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 1 || month > 12)
        return ZE_INVALID_ARGUMENT;
    int64_t y = year;
    int64_t v = y + y / 4 - y / 100 + y / 400 - 6 + offsets[month - 1] + day - 1;
    int32_t weekday = static_cast<int32_t>(((v % 7) + 7) % 7);
    // The offsets count February as 28 days; a leap year's January and
    // February dates fall one weekday earlier.
    if (S_is_leap(year) && month <= 2)
        weekday = weekday == 0 ? 6 : weekday - 1;
    return weekday;
}

int32_t VES_get_day_of_year(int32_t month, int32_t day, int32_t year)
{
    static const int32_t lengths[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return ZE_INVALID_ARGUMENT;
    int32_t total = day;
    for (int32_t m = 0; m < month - 1; m++)
        total += lengths[m];
    if (month > 2 && !S_is_leap(year))
        total--;
    return total;
}
