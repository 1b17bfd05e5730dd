// The machine's ANSI and OEM code pages from the environment or their defaults.
#include "platform/plat_codepage_internal.h"

#include <gtest/gtest.h>

#include <stdlib.h>

TEST(PlatCodepage, ReadsTheEnvironmentOrDefaults)
{
    struct {
        const char *value;
        int32_t acp, oemcp;
    } cases[] = {
        {nullptr, 1252, 437},       {"932", 932, 932}, {"", 1252, 437},
        {"12x", 1252, 437},         {"-5", 1252, 437}, {"0", 1252, 437},
        {"99999999999", 1252, 437},
    };
    for (const auto &c : cases) {
        if (c.value == nullptr) {
            unsetenv("ZEL_ACP");
            unsetenv("ZEL_OEMCP");
        } else {
            setenv("ZEL_ACP", c.value, 1);
            setenv("ZEL_OEMCP", c.value, 1);
        }
        EXPECT_EQ(plat_get_acp(), c.acp) << (c.value ? c.value : "unset");
        EXPECT_EQ(plat_get_oemcp(), c.oemcp) << (c.value ? c.value : "unset");
    }
    unsetenv("ZEL_ACP");
    unsetenv("ZEL_OEMCP");
}
