// Calendar helpers: weekdays and day numbers against known dates, leap rules,
// and refusal of a month that would index outside the month tables.
#include "base/util/ve_date.h"
#include "base/util/zel_errors.h"

#include <gtest/gtest.h>

#include <stddef.h>
#include <time.h>

struct DateCase {
    int month, day, year;
    int weekday; // 0 = Sunday
    int yearday; // 1-based
};

TEST(Date, WeekdayAndDayOfYear)
{
    const DateCase cases[] = {
        {1, 1, 2000, 6, 1},                           // leap-year January
        {1, 2, 2000, 0, 2},     {2, 29, 2000, 2, 60}, // leap day
        {3, 1, 2000, 3, 61},    {12, 31, 1999, 5, 365},
        {12, 31, 2000, 0, 366}, {3, 1, 2001, 4, 60},  // common year
        {2, 28, 1900, 3, 59},                         // 1900: divisible by 100, not a leap year
        {3, 1, 1900, 4, 60},    {2, 29, 2400, 2, 60}, // divisible by 400
        {7, 4, 1776, 4, 186},   {12, 10, 2026, 4, 344},
    };
    for (const DateCase &c : cases) {
        EXPECT_EQ(VES_get_day_of_week(c.month, c.day, c.year), c.weekday)
            << c.year << "-" << c.month << "-" << c.day;
        EXPECT_EQ(VES_get_day_of_year(c.month, c.day, c.year), c.yearday)
            << c.year << "-" << c.month << "-" << c.day;
    }
}

TEST(Date, AgreesWithTheCLibraryOverFourHundredYears)
{
    // Every day from 1970 through 2369 against timegm/gmtime.
    time_t t = 0;
    for (int i = 0; i < 146097; i++, t += 86400) {
        struct tm tm;
        ASSERT_NE(gmtime_r(&t, &tm), nullptr);
        int month = tm.tm_mon + 1, year = tm.tm_year + 1900;
        ASSERT_EQ(VES_get_day_of_week(month, tm.tm_mday, year), tm.tm_wday)
            << year << "-" << month << "-" << tm.tm_mday;
        ASSERT_EQ(VES_get_day_of_year(month, tm.tm_mday, year), tm.tm_yday + 1)
            << year << "-" << month << "-" << tm.tm_mday;
    }
}

TEST(Date, MonthOutsideTheYearIsRefused)
{
    for (int month : {0, 13, -1, 1000}) {
        EXPECT_EQ(VES_get_day_of_week(month, 1, 2000), ZE_INVALID_ARGUMENT) << month;
        EXPECT_EQ(VES_get_day_of_year(month, 1, 2000), ZE_INVALID_ARGUMENT) << month;
    }
}

TEST(Date, RecordIsNineThirtyTwoBitFields)
{
    VE_DATE date{};
    EXPECT_EQ(sizeof date, 9 * sizeof(int32_t));
    EXPECT_EQ(offsetof(VE_DATE, tm_isdst), 8 * sizeof(int32_t));
}
