// The event log: registration of sources, the line and priority of each
// event type, strings skipped when null, and the test capture.
#include "platform/plat_eventlog_internal.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/plat_service_internal.h"

namespace
{

TEST(PlatEventLog, RegistrationRefusesBadSourcesAndOtherMachines)
{
    PLAT_EVENT_SOURCE h = nullptr;
    EXPECT_EQ(plat_evt_register(nullptr, nullptr, &h), 87);
    EXPECT_EQ(plat_evt_register(nullptr, "", &h), 87);
    EXPECT_EQ(plat_evt_register("far", "src", &h), PLAT_ERROR_SERVER_UNAVAILABLE);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(plat_evt_report(nullptr, PLAT_EVENT_ERROR, 0, 1, 0, nullptr),
              PLAT_ERROR_INVALID_HANDLE);
    plat_evt_capture_begin();
    plat_evt_fail_register(5);
    EXPECT_EQ(plat_evt_register(nullptr, "src", &h), 5);
    EXPECT_EQ(plat_evt_register(nullptr, "src", &h), 0);
    plat_evt_deregister(h);
    plat_evt_capture_end();
}

TEST(PlatEventLog, EachTypeHasItsPriorityAndWord)
{
    plat_evt_capture_begin();
    PLAT_EVENT_SOURCE h = nullptr;
    ASSERT_EQ(plat_evt_register("", "src", &h), 0);
    const char *strings[] = {"a", nullptr, "c"};
    const struct {
        uint16_t type;
        const char *line;
    } cases[] = {{PLAT_EVENT_ERROR, "3 src: event 9 (error, category 2): a; c\n"},
                 {PLAT_EVENT_WARNING, "4 src: event 9 (warning, category 2): a; c\n"},
                 {PLAT_EVENT_INFORMATION, "6 src: event 9 (information, category 2): a; c\n"},
                 {PLAT_EVENT_AUDIT_FAILURE, "5 src: event 9 (audit failure, category 2): a; c\n"},
                 {PLAT_EVENT_SUCCESS, "6 src: event 9 (success, category 2): a; c\n"},
                 {77, "6 src: event 9 (unknown, category 2): a; c\n"}};
    std::string all;
    for (const auto &c : cases) {
        ASSERT_EQ(plat_evt_report(h, c.type, 2, 9, 3, strings), 0);
        all += c.line;
    }
    // Only count strings are read.
    ASSERT_EQ(plat_evt_report(h, PLAT_EVENT_ERROR, 0, 1, 1, strings), 0);
    all += "3 src: event 1 (error, category 0): a\n";
    EXPECT_EQ(std::string(plat_evt_captured()), all);
    plat_evt_deregister(h);
    plat_evt_capture_end();
}

} // namespace
