// Temporary-file service: private files in the set folder and their removal,
// failed opens and the fallback to the environment's folder.
#include "base/util/ve_temp_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "base/util/zel_errors.h"

namespace
{

struct Folder {
    char path[32] = "/tmp/ve_temp_XXXXXX";
    Folder()
    {
        EXPECT_NE(mkdtemp(path), nullptr);
    }
    ~Folder()
    {
        rmdir(path);
    }
};

} // namespace

TEST(TempFile, OpensPrivateFilesInTheFolderAndRemovesThem)
{
    Folder folder;
    int32_t error = 0;
    EXPECT_STREQ(initialize_temporary_files(folder.path, &error), folder.path);
    char *name = nullptr;
    int fd = -1;
    ASSERT_EQ(open_temporary_file(&name, &fd), ZE_SUCCESS);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(std::string(name).rfind(std::string(folder.path) + "/zel", 0), 0u) << name;
    ASSERT_EQ(write(fd, "abc", 3), 3);
    ASSERT_EQ(lseek(fd, 0, SEEK_SET), 0);
    char back[4] = {};
    ASSERT_EQ(read(fd, back, 3), 3);
    EXPECT_STREQ(back, "abc");
    struct stat info;
    ASSERT_EQ(stat(name, &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    std::string kept = name;
    cleanup_temporary_file(name, fd);
    EXPECT_NE(access(kept.c_str(), F_OK), 0);
    EXPECT_EQ(error, 0);
    cleanup_temporary_file(nullptr, -1);
}

TEST(TempFile, FailedOpenReportsTheErrorNumber)
{
    int32_t error = 0;
    initialize_temporary_files("/nonexistent/folder", &error);
    char *name = reinterpret_cast<char *>(1);
    int fd = 7;
    EXPECT_EQ(open_temporary_file(&name, &fd), ZE_TEMP_FILE_OPEN_FAILED);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(fd, -1);
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(open_temporary_file(nullptr, &fd), ZE_NULL_POINTER);
    // Without an error slot the failure is still reported.
    initialize_temporary_files("/nonexistent/folder", nullptr);
    EXPECT_EQ(open_temporary_file(&name, &fd), ZE_TEMP_FILE_OPEN_FAILED);
}

TEST(TempFile, NoFolderFallsBackToTheEnvironment)
{
    Folder folder;
    const char *old = getenv("ZELTMP");
    std::string saved = old ? old : "";
    setenv("ZELTMP", folder.path, 1);
    EXPECT_STREQ(initialize_temporary_files(nullptr, nullptr), folder.path);
    EXPECT_STREQ(initialize_temporary_files("", nullptr), folder.path);
    if (old)
        setenv("ZELTMP", saved.c_str(), 1);
    else
        unsetenv("ZELTMP");
}
