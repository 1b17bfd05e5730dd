// The engine's release record and its DBMS build description.
#include "base/util/ve_release.h"

#include <gtest/gtest.h>

#include "base/util/zel_errors.h"

TEST(Release, FillsTheEngineReleaseWithTheDbmsBuild)
{
    RELEASE release;
    memset(&release, 0x5a, sizeof(release));
    const char expected[] = "(Service Pack 1) Informix  Build 580 Thu Jun 14 09:49:38 PDT 2001";
    EXPECT_EQ(VES_get_release(&release), static_cast<int32_t>(strlen(expected)));
    EXPECT_EQ(release.major, 8);
    EXPECT_EQ(release.minor, 1);
    EXPECT_EQ(release.bugfix, 1);
    EXPECT_EQ(release.release, 81100);
    EXPECT_STREQ(release.description, expected);
    EXPECT_EQ(VES_get_release(nullptr), ZE_NULL_POINTER);
}
