// Installation settings in the machine registry: value types, missing keys
// and values, over-long paths, the instance's key tree, service listing and
// the event-log source; each test on a registry store of its own.
#include "base/util/ve_registry_internal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/util/zel_errors.h"
#include "platform/plat_registry_internal.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/registry_fixture.h"

namespace
{

const std::string kProduct = "Software\\TAVO\\OrvekInfo\\OrvekZEL\\8.0\\OrvekZEL for Informix";
const std::string kEventLog = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";

// Each test gets a registry store of its own.
class Registry : public RegistryFixture
{
  protected:
    static std::string Stored(const std::string &key, const char *name, uint32_t *type)
    {
        char buf[512];
        size_t size = sizeof buf;
        if (plat_reg_query_value(key.c_str(), name, type, buf, &size) != 0)
            return "<missing>";
        return std::string(buf, size);
    }
};

TEST_F(Registry, ValueTypesFollowTheExactPasswordName)
{
    struct Case {
        const char *instance;
        const char *name;
        uint32_t type;
    } cases[] = {
        {"inst", "ZELHOME", PLAT_REG_SZ},
        {"inst", "ZEL_DBA_PASSWORD", PLAT_REG_BINARY},
        {"inst", "zel_dba_password", PLAT_REG_SZ},
        {nullptr, "ONPRODUCT", PLAT_REG_SZ},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(VES_RegisterKey(c.instance, c.name, "abc"), 0);
        std::string key = c.instance ? kProduct + "\\" + c.instance : kProduct;
        uint32_t type = 0;
        EXPECT_EQ(Stored(key, c.name, &type), std::string("abc", 4)); // zero counted
        EXPECT_EQ(type, c.type);
    }
    char out[VE_REG_VALUE_SIZE];
    ASSERT_EQ(VES_GetKeyValue(nullptr, "ONPRODUCT", out), 0);
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(VES_GetKeyValue("inst", "ONPRODUCT", out), ZE_FAILURE);
}

TEST_F(Registry, ReadsAndDeletesReportMissingKeysAndValues)
{
    char out[VE_REG_VALUE_SIZE];
    StderrCapture capture;
    EXPECT_EQ(VES_GetKeyValue("nokey", "ZELHOME", out), ZE_FAILURE);
    EXPECT_EQ(capture.text(), "Error opening " + kProduct + "\\nokey key (2)\n");

    ASSERT_EQ(VES_RegisterKey("inst", "A", "x"), 0);
    EXPECT_EQ(VES_GetKeyValue("inst", "B", out), ZE_FAILURE);
    EXPECT_EQ(capture.text(), "");

    EXPECT_EQ(VES_UnRegisterKey("fresh", "A"), ZE_FAILURE);
    EXPECT_EQ(capture.text(), "Error Deleting  A key (2)\n");
    EXPECT_EQ(plat_reg_open_key((kProduct + "\\fresh").c_str()), 0);

    EXPECT_EQ(VES_UnRegisterKey("inst", "A"), 0);
    EXPECT_EQ(VES_GetKeyValue("inst", "A", out), ZE_FAILURE);
}

TEST_F(Registry, OverlongPathsAndValuesAreRefusedNotTruncated)
{
    std::string name(VE_REG_PATH_MAX - kProduct.size(), 'n'); // one too many with "\"
    quiet_stderr([&] { EXPECT_EQ(VES_RegisterKey(name.c_str(), "A", "x"), ZE_FAILURE); });
    name.pop_back();
    EXPECT_EQ(VES_RegisterKey(name.c_str(), "A", "x"), 0);

    // A stored value longer than the read buffer is refused, not overrun.
    ASSERT_EQ(VES_RegisterKey("inst", "LONG", std::string(VE_REG_VALUE_MAX + 5, 'v').c_str()), 0);
    char out[VE_REG_VALUE_SIZE + 16];
    memset(out, '#', sizeof out);
    EXPECT_EQ(VES_GetKeyValue("inst", "LONG", out), ZE_FAILURE);
    EXPECT_EQ(out[VE_REG_VALUE_SIZE], '#');
    ASSERT_EQ(VES_RegisterKey("inst", "FITS", std::string(VE_REG_VALUE_MAX, 'v').c_str()), 0);
    ASSERT_EQ(VES_GetKeyValue("inst", "FITS", out), 0);
    EXPECT_EQ(strlen(out), size_t(VE_REG_VALUE_MAX));
    EXPECT_EQ(VES_RegisterKey("inst", nullptr, "x"), ZE_NULL_POINTER);
}

TEST_F(Registry, DeleteInstanceKeyRemovesTheWholeTree)
{
    ASSERT_EQ(plat_reg_create_key((kProduct + "\\inst\\a\\deep").c_str()), 0);
    ASSERT_EQ(plat_reg_create_key((kProduct + "\\inst\\b").c_str()), 0);
    ASSERT_EQ(VES_RegisterKey("inst", "ZELHOME", "/h"), 0);
    ASSERT_EQ(VES_RegisterKey("other", "ZELHOME", "/o"), 0);
    EXPECT_EQ(VES_DeleteInstanceKey("inst"), 0);
    EXPECT_EQ(plat_reg_open_key((kProduct + "\\inst").c_str()), PLAT_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(plat_reg_open_key((kProduct + "\\other").c_str()), 0);

    for (const char *bad : {(const char *)nullptr, ""}) {
        StderrCapture capture;
        EXPECT_EQ(VES_DeleteInstanceKey(bad), ZE_FAILURE);
        EXPECT_EQ(capture.text(), "Invalid Key name\n");
    }
    StderrCapture capture;
    EXPECT_EQ(VES_DeleteInstanceKey("gone"), ZE_FAILURE);
    EXPECT_EQ(capture.text(), "Error opening gone key\n");
}

TEST_F(Registry, RegisterServiceWritesValuesInOrderAndStopsAtFirstFailure)
{
    ASSERT_EQ(VES_RegisterService("inst", "Desc", "/home", "pw", nullptr), 0);
    uint32_t type = 0;
    EXPECT_EQ(Stored(kProduct + "\\inst", "DESCRIPTION", &type), std::string("Desc", 5));
    EXPECT_EQ(Stored(kProduct + "\\inst", "ZELHOME", &type), std::string("/home", 6));
    EXPECT_EQ(Stored(kProduct + "\\inst", "ZEL_DBA_PASSWORD", &type), std::string("pw", 3));
    EXPECT_EQ(type, PLAT_REG_BINARY);
    EXPECT_EQ(Stored(kProduct + "\\inst", "ORACLE_SID", &type), "<missing>");

    ASSERT_EQ(VES_RegisterService("sid", "D", "/h", "p", "ORCL"), 0);
    EXPECT_EQ(Stored(kProduct + "\\sid", "ORACLE_SID", &type), std::string("ORCL", 5));

    StderrCapture capture;
    EXPECT_EQ(VES_RegisterService("half", "D", nullptr, "p", nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(capture.text(), "Error registering service 'ZELHOME'\n");
    EXPECT_EQ(Stored(kProduct + "\\half", "DESCRIPTION", &type), std::string("D", 2));
    EXPECT_EQ(Stored(kProduct + "\\half", "ZEL_DBA_PASSWORD", &type), "<missing>");
}

struct Entries {
    VE_SERVICE_ENTRY *e[4] = {};
    ~Entries()
    {
        for (VE_SERVICE_ENTRY *p : e)
            free(p);
    }
};

TEST_F(Registry, ListServiceOneAndAll)
{
    Entries list;
    int32_t count = -1;
    ASSERT_EQ(VES_ListService("", &count, list.e), 0);
    EXPECT_EQ(count, 0);

    ASSERT_EQ(VES_RegisterService("b", "Bee", "/b", "p", nullptr), 0);
    ASSERT_EQ(VES_RegisterService("a", "Ay", "/a", "p", nullptr), 0);
    ASSERT_EQ(VES_RegisterKey("a", "NLS_LANG", "FRENCH"), 0);

    ASSERT_EQ(VES_ListService("", &count, nullptr), 0);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(VES_ListService("", &count, list.e), 0);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(list.e[0]->name, "a");
    EXPECT_STREQ(list.e[0]->home, "/a");
    EXPECT_STREQ(list.e[0]->description, "Ay");
    EXPECT_STREQ(list.e[0]->nls_lang, "FRENCH");
    EXPECT_STREQ(list.e[1]->name, "b");
    EXPECT_STREQ(list.e[1]->nls_lang, "");
    EXPECT_STREQ(list.e[1]->datasource, "");

    Entries one;
    ASSERT_EQ(VES_ListService("b", &count, one.e), 0);
    EXPECT_EQ(count, 1);
    EXPECT_STREQ(one.e[0]->description, "Bee");

    Entries none;
    ASSERT_EQ(VES_RegisterKey("nohome", "DESCRIPTION", "d"), 0);
    EXPECT_EQ(VES_ListService("nohome", &count, none.e), ZE_FAILURE);

    Entries toolong;
    std::string name(32, 'x');
    EXPECT_EQ(VES_ListService(name.c_str(), &count, toolong.e), ZE_FAILURE);
}

TEST_F(Registry, EventLogSourceRegistersAndUnregisters)
{
    EXPECT_EQ(VES_RegisterEventLog("", "/bin/zel"), ZE_NULL_POINTER);
    EXPECT_EQ(VES_RegisterEventLog(nullptr, "/bin/zel"), ZE_NULL_POINTER);
    EXPECT_EQ(VES_RegisterEventLog("svc", nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(plat_reg_open_key(kEventLog.c_str()), PLAT_ERROR_FILE_NOT_FOUND);

    ASSERT_EQ(VES_RegisterEventLog("svc", "/bin/zel"), 0);
    std::string key = kEventLog + "\\svc";
    uint32_t type = 0;
    EXPECT_EQ(Stored(key, "TypesSupported", &type), std::string("\x07\0\0\0", 4));
    EXPECT_EQ(type, PLAT_REG_DWORD);
    EXPECT_EQ(Stored(key, "EventMessageFile", &type), std::string("/bin/zel", 9));
    EXPECT_EQ(type, PLAT_REG_EXPAND_SZ);

    EXPECT_EQ(VES_UnRegisterEventLog("svc"), 0);
    EXPECT_EQ(plat_reg_open_key(key.c_str()), PLAT_ERROR_FILE_NOT_FOUND);
    StderrCapture capture;
    EXPECT_EQ(VES_UnRegisterEventLog("svc"), ZE_FAILURE);
    EXPECT_EQ(capture.text(), "Error opening svc key\n");
}

// Every instance of every product key, whatever its DBMS word: the language
// is not read under SQLServer's key and the data source not under Oracle's;
// a value that is missing leaves its field empty.
TEST_F(Registry, AllInstancesOfEveryProductKey)
{
    const std::string root = "Software\\TAVO\\OrvekInfo\\OrvekZEL\\8.0\\";
    struct Value {
        const char *product, *instance, *name, *text;
    } values[] = {
        {"OrvekZEL for Informix", "ifx1", "ZELHOME", "/home/ifx1"},
        {"OrvekZEL for Informix", "ifx1", "DESCRIPTION", "first"},
        {"OrvekZEL for Informix", "ifx1", "NLS_LANG", "en"},
        {"OrvekZEL for Informix", "ifx1", "DATASOURCE", "ds1"},
        {"OrvekZEL for Informix", "ifx2", "ZELHOME", "/home/ifx2"},
        {"OrvekZEL for Oracle", "ora", "ZELHOME", "/home/ora"},
        {"OrvekZEL for Oracle", "ora", "NLS_LANG", "de"},
        {"OrvekZEL for Oracle", "ora", "DATASOURCE", "never read"},
        {"OrvekZEL for SQLServer", "mss", "DESCRIPTION", "third"},
        {"OrvekZEL for SQLServer", "mss", "NLS_LANG", "never read"},
        {"OrvekZEL for SQLServer", "mss", "DATASOURCE", "ds3"},
    };
    for (const Value &v : values) {
        std::string key = root + v.product + "\\" + v.instance;
        ASSERT_EQ(plat_reg_create_key(key.c_str()), 0);
        ASSERT_EQ(plat_reg_set_value(key.c_str(), v.name, PLAT_REG_SZ, v.text, strlen(v.text) + 1),
                  0);
    }
    int32_t count = -1;
    ASSERT_EQ(ves_list_all_services(&count, nullptr), 0);
    ASSERT_EQ(count, 4);
    VE_SERVICE_ENTRY *entries[4] = {};
    ASSERT_EQ(ves_list_all_services(&count, entries), 0);
    ASSERT_EQ(count, 4);
    struct Expected {
        const char *name, *home, *description, *nls_lang, *datasource;
    } expected[] = {
        {"ifx1", "/home/ifx1", "first", "en", "ds1"},
        {"ifx2", "/home/ifx2", "", "", ""},
        {"ora", "/home/ora", "", "de", ""},
        {"mss", "", "third", "", "ds3"},
    };
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(expected[i].name);
        ASSERT_NE(entries[i], nullptr);
        EXPECT_STREQ(entries[i]->name, expected[i].name);
        EXPECT_STREQ(entries[i]->home, expected[i].home);
        EXPECT_STREQ(entries[i]->description, expected[i].description);
        EXPECT_STREQ(entries[i]->nls_lang, expected[i].nls_lang);
        EXPECT_STREQ(entries[i]->datasource, expected[i].datasource);
        free(entries[i]);
    }
    EXPECT_EQ(ves_list_all_services(nullptr, nullptr), ZE_NULL_POINTER);
}

TEST_F(Registry, AllInstancesWithoutARootIsAFailure)
{
    int32_t count = -1;
    EXPECT_EQ(ves_list_all_services(&count, nullptr), ZE_FAILURE);
}

} // namespace
