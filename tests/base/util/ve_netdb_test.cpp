// Resolver wrappers: services by name or port number, the loopback host and
// the local time.
#include "base/util/ve_netdb_internal.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>

TEST(Netdb, ServiceByNameAcceptsPorts)
{
    const struct {
        const char *name;
        int port; // 0: none
    } cases[] = {
        {"port:5151", 5151}, {"PORT:5151", 5151}, {"Port:1", 1},     {"5151", 5151},
        {"port:0", 0},       {"port:x", 0},       {"port:", 0},      {"0", 0},
        {"-5", 0},           {"70000", 0},        {"port:99999", 0}, {"no-such-zel-service", 0},
    };
    for (const auto &c : cases) {
        struct servent entry;
        memset(&entry, 0, sizeof(entry));
        struct servent *found = VES_GetServByName(c.name, "tcp", &entry);
        if (c.port == 0) {
            EXPECT_EQ(found, nullptr) << c.name;
            continue;
        }
        ASSERT_EQ(found, &entry) << c.name;
        EXPECT_EQ(ntohs(static_cast<uint16_t>(entry.s_port)), c.port) << c.name;
        EXPECT_STREQ(entry.s_name, c.name);
        EXPECT_STREQ(entry.s_proto, "tcp");
        ASSERT_NE(entry.s_aliases, nullptr);
        EXPECT_EQ(entry.s_aliases[0], nullptr);
    }
    EXPECT_EQ(VES_GetServByName(nullptr, "tcp", nullptr), nullptr);
}

TEST(Netdb, LoopbackHost)
{
    int32_t error = 7;
    struct hostent *host = VES_GetHostByName("localhost", nullptr, &error);
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(error, 7);
    EXPECT_EQ(VES_GetHostByName(nullptr, nullptr, &error), nullptr);

    const unsigned char loopback[4] = {127, 0, 0, 1};
    host = ves_get_host_by_addr(loopback, nullptr, &error);
    if (host != nullptr) {
        EXPECT_EQ(host->h_addrtype, AF_INET);
    }
    EXPECT_EQ(ves_get_host_by_addr(nullptr, nullptr, &error), nullptr);
}

TEST(Netdb, Localtime)
{
    setenv("TZ", "UTC", 1);
    tzset();
    struct tm record;
    memset(&record, 0, sizeof(record));
    ASSERT_EQ(VES_localtime(86400 * 365 + 3661, &record), &record); // 1971-01-01 01:01:01
    EXPECT_EQ(record.tm_year, 71);
    EXPECT_EQ(record.tm_mon, 0);
    EXPECT_EQ(record.tm_mday, 1);
    EXPECT_EQ(record.tm_hour, 1);
    EXPECT_EQ(record.tm_min, 1);
    EXPECT_EQ(record.tm_sec, 1);
    EXPECT_EQ(record.tm_wday, 5);
    EXPECT_EQ(record.tm_yday, 0);

    // A time beyond the broken-down year range leaves the record alone.
    struct tm untouched = record;
    EXPECT_EQ(VES_localtime(INT64_MAX, &record), nullptr);
    EXPECT_EQ(memcmp(&record, &untouched, sizeof(record)), 0);
    EXPECT_EQ(VES_localtime(0, nullptr), nullptr);
}
