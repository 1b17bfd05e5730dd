// CLI dates and times to and from the engine's date record.
#include "db/core/db_date_internal.h"

#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include "base/util/zel_errors.h"

TEST(DateConversion, TimestampToDateRecord)
{
    struct Case {
        SQL_TIMESTAMP_STRUCT ts;
        int32_t mon, year, wday, yday;
    } const cases[] = {
        {{2000, 2, 29, 10, 11, 12, 999}, 1, 100, 2, 60},
        {{1999, 12, 31, 23, 59, 59, 0}, 11, 99, 5, 365},
        {{2024, 1, 1, 0, 0, 0, 0}, 0, 124, 1, 1},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.ts.year);
        VE_DATE date;
        memset(&date, 0x5a, sizeof(date));
        ASSERT_EQ(db_sql_date_to_tm(&k.ts, &date, SQL_C_TIMESTAMP), ZE_SUCCESS);
        EXPECT_EQ(date.tm_mday, k.ts.day);
        EXPECT_EQ(date.tm_mon, k.mon);
        EXPECT_EQ(date.tm_year, k.year);
        EXPECT_EQ(date.tm_hour, k.ts.hour);
        EXPECT_EQ(date.tm_min, k.ts.minute);
        EXPECT_EQ(date.tm_sec, k.ts.second);
        EXPECT_EQ(date.tm_wday, k.wday);
        EXPECT_EQ(date.tm_yday, k.yday);
        EXPECT_EQ(date.tm_isdst, -1);

        SQL_TIMESTAMP_STRUCT back;
        memset(&back, 0x5a, sizeof(back));
        ASSERT_EQ(db_tm_to_sql_date(&date, &back, SQL_C_TIMESTAMP), ZE_SUCCESS);
        EXPECT_EQ(back.year, k.ts.year);
        EXPECT_EQ(back.month, k.ts.month);
        EXPECT_EQ(back.day, k.ts.day);
        EXPECT_EQ(back.hour, k.ts.hour);
        EXPECT_EQ(back.minute, k.ts.minute);
        EXPECT_EQ(back.second, k.ts.second);
        EXPECT_EQ(back.fraction, 0u);
    }
}

TEST(DateConversion, DateAndTimeRoundTrip)
{
    SQL_DATE_STRUCT day = {2026, 12, 10};
    VE_DATE date;
    ASSERT_EQ(db_sql_date_to_tm(&day, &date, SQL_C_DATE), ZE_SUCCESS);
    EXPECT_EQ(date.tm_hour, 0);
    EXPECT_EQ(date.tm_wday, 4);
    EXPECT_EQ(date.tm_yday, 344);
    SQL_DATE_STRUCT day_back = {};
    ASSERT_EQ(db_tm_to_sql_date(&date, &day_back, SQL_C_DATE), ZE_SUCCESS);
    EXPECT_EQ(memcmp(&day, &day_back, sizeof(day)), 0);

    SQL_TIME_STRUCT time = {13, 14, 15};
    ASSERT_EQ(db_sql_date_to_tm(&time, &date, SQL_C_TIME), ZE_SUCCESS);
    EXPECT_EQ(date.tm_mday, 0);
    EXPECT_EQ(date.tm_year, 0);
    EXPECT_EQ(date.tm_wday, 0);
    EXPECT_EQ(date.tm_yday, 0);
    EXPECT_EQ(date.tm_isdst, -1);
    SQL_TIME_STRUCT time_back = {};
    ASSERT_EQ(db_tm_to_sql_date(&date, &time_back, SQL_C_TIME), ZE_SUCCESS);
    EXPECT_EQ(memcmp(&time, &time_back, sizeof(time)), 0);

    EXPECT_EQ(db_sql_date_to_tm(nullptr, &date, SQL_C_DATE), ZE_NULL_POINTER);
    EXPECT_EQ(db_tm_to_sql_date(&date, nullptr, SQL_C_DATE), ZE_NULL_POINTER);
}
