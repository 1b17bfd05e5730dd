// The folder-tree registry store: typed values, sorted sub-keys, and paths
// that could leave the root.
#include "platform/plat_registry_internal.h"
#include "tests/support/registry_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

using PlatRegistry = RegistryFixture;

TEST_F(PlatRegistry, ValuesRoundTripWithTypeAndRefuseSmallBuffer)
{
    ASSERT_EQ(plat_reg_create_key("A\\B"), 0);
    const unsigned char bytes[] = {1, 0, 2, 0};
    ASSERT_EQ(plat_reg_set_value("A\\B", "v", PLAT_REG_BINARY, bytes, sizeof bytes), 0);
    unsigned char out[8] = {};
    size_t size = sizeof out;
    uint32_t type = 0;
    ASSERT_EQ(plat_reg_query_value("A\\B", "v", &type, out, &size), 0);
    EXPECT_EQ(type, PLAT_REG_BINARY);
    EXPECT_EQ(size, sizeof bytes);
    EXPECT_EQ(0, memcmp(out, bytes, sizeof bytes));
    size = 3;
    EXPECT_EQ(plat_reg_query_value("A\\B", "v", &type, out, &size), PLAT_ERROR_MORE_DATA);
    EXPECT_EQ(size, sizeof bytes);
    EXPECT_EQ(plat_reg_delete_value("A\\B", "v"), 0);
    EXPECT_EQ(plat_reg_delete_value("A\\B", "v"), PLAT_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(plat_reg_set_value("A\\Missing", "v", PLAT_REG_SZ, "x", 2),
              PLAT_ERROR_FILE_NOT_FOUND);
}

TEST_F(PlatRegistry, SubKeysEnumerateSortedAndValuesAreNotKeys)
{
    ASSERT_EQ(plat_reg_create_key("R\\b"), 0);
    ASSERT_EQ(plat_reg_create_key("R\\a"), 0);
    ASSERT_EQ(plat_reg_set_value("R", "value", PLAT_REG_SZ, "x", 2), 0);
    uint32_t n = 0;
    ASSERT_EQ(plat_reg_count_subkeys("R", &n), 0);
    EXPECT_EQ(n, 2u);
    char name[4];
    ASSERT_EQ(plat_reg_enum_key("R", 0, name, sizeof name), 0);
    EXPECT_STREQ(name, "a");
    ASSERT_EQ(plat_reg_enum_key("R", 1, name, sizeof name), 0);
    EXPECT_STREQ(name, "b");
    EXPECT_EQ(plat_reg_enum_key("R", 2, name, sizeof name), PLAT_ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(plat_reg_enum_key("R", 0, name, 1), PLAT_ERROR_MORE_DATA);
    EXPECT_EQ(plat_reg_delete_key("R"), PLAT_ERROR_KEY_HAS_CHILDREN);
    EXPECT_EQ(plat_reg_delete_key("R\\a"), 0);
    EXPECT_EQ(plat_reg_open_key("R\\a"), PLAT_ERROR_FILE_NOT_FOUND);
}

TEST_F(PlatRegistry, PathsThatCouldLeaveTheRootAreRefused)
{
    const char *bad[] = {"", "..", "A\\..\\B", "A\\\\B", "A/B", "A\\", "\\A", ".", "@v"};
    for (const char *key : bad) {
        SCOPED_TRACE(key);
        EXPECT_EQ(plat_reg_create_key(key), PLAT_ERROR_INVALID_PARAMETER);
        EXPECT_EQ(plat_reg_open_key(key), PLAT_ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(plat_reg_create_key(nullptr), PLAT_ERROR_INVALID_PARAMETER);
    ASSERT_EQ(plat_reg_create_key("K"), 0);
    EXPECT_EQ(plat_reg_set_value("K", "a/b", PLAT_REG_SZ, "x", 2), PLAT_ERROR_INVALID_PARAMETER);
}

} // namespace
