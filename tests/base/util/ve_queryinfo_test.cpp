// Initialisation of a query description.
#include "base/util/ve_queryinfo.h"

#include <gtest/gtest.h>

#include <string.h>

TEST(QueryInfo, ClearsAllButTheFirstWordAndSetsTypeFour)
{
    VE_QUERYINFO info;
    memset(&info, 0xA5, sizeof info);
    info.reserved = 1234;
    VES_initialize_queryinfo(&info);
    EXPECT_EQ(info.reserved, 1234);
    EXPECT_EQ(info.num_columns, 0);
    EXPECT_EQ(info.columns, nullptr);
    EXPECT_EQ(info.construct, nullptr);
    EXPECT_EQ(info.query_type, 4);
    EXPECT_EQ(info.by_clause, nullptr);
    EXPECT_EQ(info.num_hints, 0);
    EXPECT_EQ(info.hints, nullptr);
    EXPECT_EQ(info.logfile, nullptr);
    EXPECT_EQ(info.last, 0);
    VES_initialize_queryinfo(nullptr);
}
