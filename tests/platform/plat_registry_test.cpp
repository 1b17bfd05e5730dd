// The folder-tree registry store: typed values, sorted sub-keys, and paths
// that could leave the root.
#include "platform/plat_registry_internal.h"
#include "tests/support/registry_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
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

// The store keeps a password: folders this user's alone, values 0600, and a
// link planted at a value's name replaced rather than written through.
TEST_F(PlatRegistry, FoldersAndValuesAreThisUsersAlone)
{
    ASSERT_EQ(plat_reg_create_key("S\\T"), 0);
    ASSERT_EQ(plat_reg_set_value("S\\T", "ZEL_DBA_PASSWORD", PLAT_REG_BINARY, "pw", 3), 0);
    struct stat st;
    for (const std::string &folder : {root + "/S", root + "/S/T"}) {
        ASSERT_EQ(stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
    const std::string value = root + "/S/T/@ZEL_DBA_PASSWORD";
    ASSERT_EQ(stat(value.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const std::string outside = root + "/outside";
    std::ofstream(outside) << "kept";
    ASSERT_EQ(unlink(value.c_str()), 0);
    ASSERT_EQ(symlink(outside.c_str(), value.c_str()), 0);
    uint32_t type = 0;
    char out[8];
    size_t size = sizeof out;
    EXPECT_EQ(plat_reg_query_value("S\\T", "ZEL_DBA_PASSWORD", &type, out, &size),
              PLAT_ERROR_FILE_NOT_FOUND)
        << "a link is not read through";
    ASSERT_EQ(plat_reg_set_value("S\\T", "ZEL_DBA_PASSWORD", PLAT_REG_BINARY, "new", 4), 0);
    std::ifstream in(outside);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
              "kept");
    ASSERT_EQ(lstat(value.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    size = sizeof out;
    ASSERT_EQ(plat_reg_query_value("S\\T", "ZEL_DBA_PASSWORD", &type, out, &size), 0);
    EXPECT_STREQ(out, "new");
}

// A root others may write, or one that is a link, is refused by every call.
TEST_F(PlatRegistry, RootOthersMayWriteIsRefused)
{
    ASSERT_EQ(plat_reg_create_key("K"), 0);
    ASSERT_EQ(chmod(root.c_str(), 0777), 0);
    uint32_t n = 0;
    char out[4];
    size_t size = sizeof out;
    EXPECT_EQ(plat_reg_create_key("K2"), PLAT_ERROR_ACCESS_DENIED);
    EXPECT_EQ(plat_reg_open_key("K"), PLAT_ERROR_ACCESS_DENIED);
    EXPECT_EQ(plat_reg_set_value("K", "v", PLAT_REG_SZ, "x", 2), PLAT_ERROR_ACCESS_DENIED);
    EXPECT_EQ(plat_reg_query_value("K", "v", nullptr, out, &size), PLAT_ERROR_ACCESS_DENIED);
    EXPECT_EQ(plat_reg_count_subkeys("K", &n), PLAT_ERROR_ACCESS_DENIED);
    ASSERT_EQ(chmod(root.c_str(), 0720), 0); // group-writable is as bad
    EXPECT_EQ(plat_reg_open_key("K"), PLAT_ERROR_ACCESS_DENIED);
    ASSERT_EQ(chmod(root.c_str(), 0700), 0);
    EXPECT_EQ(plat_reg_open_key("K"), 0);

    const std::string link = root + "-link";
    ASSERT_EQ(symlink(root.c_str(), link.c_str()), 0);
    setenv("ZELREGISTRY", link.c_str(), 1);
    EXPECT_EQ(plat_reg_open_key("K"), PLAT_ERROR_ACCESS_DENIED);
    unlink(link.c_str());
}

// Without ZELREGISTRY the store is made in the home folder, 0700.
TEST_F(PlatRegistry, DefaultRootIsInTheHomeFolder)
{
    const char *old_home = getenv("HOME");
    const std::string saved = old_home != nullptr ? old_home : "";
    unsetenv("ZELREGISTRY");
    setenv("HOME", root.c_str(), 1);
    EXPECT_EQ(std::string(plat_reg_root()), root + "/.zelregistry");
    ASSERT_EQ(plat_reg_create_key("D"), 0);
    struct stat st;
    ASSERT_EQ(stat((root + "/.zelregistry").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(plat_reg_open_key("D"), 0);
    if (old_home != nullptr)
        setenv("HOME", saved.c_str(), 1);
    else
        unsetenv("HOME");
}

} // namespace
