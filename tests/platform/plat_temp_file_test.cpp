// Temporary files of the platform layer: the default folder from ZELTMP, TEMP
// or TMP, private files with unique names, and a missing folder.
#include "platform/plat_temp_file_internal.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Sets or clears the three variables for one case and restores them after.
struct Environment {
    std::string saved[3];
    bool had[3] = {};
    static constexpr const char *names[3] = {"ZELTMP", "TEMP", "TMP"};
    explicit Environment(const char *const values[3])
    {
        for (int i = 0; i < 3; ++i) {
            const char *old = getenv(names[i]);
            had[i] = old != nullptr;
            saved[i] = old ? old : "";
            if (values[i])
                setenv(names[i], values[i], 1);
            else
                unsetenv(names[i]);
        }
    }
    ~Environment()
    {
        for (int i = 0; i < 3; ++i) {
            if (had[i])
                setenv(names[i], saved[i].c_str(), 1);
            else
                unsetenv(names[i]);
        }
    }
};

} // namespace

TEST(PlatTempFile, FolderComesFromZeltmpThenTempThenTmp)
{
    struct Case {
        const char *values[3];
        const char *expected;
    } cases[] = {
        {{"/z", "/t", "/m"}, "/z"},
        {{nullptr, "/t", "/m"}, "/t"},
        {{"", "/t", "/m"}, "/t"},
        {{nullptr, nullptr, "/m"}, "/m"},
        {{nullptr, nullptr, nullptr}, "/tmp"},
    };
    for (const Case &c : cases) {
        Environment environment(c.values);
        EXPECT_STREQ(plat_temp_directory(), c.expected);
    }
}

TEST(PlatTempFile, CreatesPrivateFilesWithUniqueNames)
{
    char folder[] = "/tmp/plat_temp_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    char *first = nullptr;
    char *second = nullptr;
    int first_fd = -1;
    int second_fd = -1;
    ASSERT_EQ(plat_temp_file_create(folder, "SORT", &first, &first_fd), 0);
    ASSERT_EQ(
        plat_temp_file_create((std::string(folder) + "/").c_str(), "SORT", &second, &second_fd), 0);
    EXPECT_STRNE(first, second);
    EXPECT_EQ(std::string(first).rfind(std::string(folder) + "/SORT", 0), 0u) << first;
    EXPECT_EQ(std::string(second).rfind(std::string(folder) + "/SORT", 0), 0u) << second;
    struct stat info;
    ASSERT_EQ(fstat(first_fd, &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(info.st_size, 0);
    for (char *name : {first, second}) {
        unlink(name);
        free(name);
    }
    close(first_fd);
    close(second_fd);
    rmdir(folder);
}

TEST(PlatTempFile, MissingFolderGivesTheErrorNumber)
{
    char *name = reinterpret_cast<char *>(1);
    int fd = 5;
    EXPECT_EQ(plat_temp_file_create("/nonexistent/folder", "zel", &name, &fd), ENOENT);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(fd, -1);
    EXPECT_EQ(plat_temp_file_create("/tmp", "zel", nullptr, &fd), EINVAL);
}
