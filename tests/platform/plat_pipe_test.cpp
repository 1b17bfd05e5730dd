// Names of local pipes: where a pipe name's socket lies in the run folder,
// names that could leave it or not fit a socket address, and the run folder
// that must be this user's own and closed to others.
#include "platform/plat_pipe_internal.h"

#include <gtest/gtest.h>

#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/peer_watchdog.h"
#include "tests/support/run_folder_fixture.h"

// Each test talks to its peer within the watchdog's limit or fails.
ZEL_WATCH_EVERY_TEST();

namespace
{

// The run folder is "run" inside the fixture's folder, made by the first pipe.
class PlatPipe : public RunFolderFixture
{
  protected:
    std::string folder;

    void SetUp() override
    {
        RunFolderFixture::SetUp();
        folder = run_folder;
        setenv("ZELRUN", (folder + "/run").c_str(), 1);
    }
};

TEST_F(PlatPipe, NamesMapIntoTheRunFolder)
{
    char path[128];
    const struct {
        const char *name;
        int error;
        const char *file;
    } cases[] = {
        {"\\\\.\\pipe\\zel_client_to_server_FIFO_x", 0, "zel_client_to_server_FIFO_x"},
        {"plain", 0, "plain"},
        {"\\\\.\\pipe\\", EINVAL, nullptr},
        {"", EINVAL, nullptr},
        {"..", EINVAL, nullptr},
        {"\\\\.\\pipe\\.", EINVAL, nullptr},
        {"a/../../b", EINVAL, nullptr},
        {nullptr, EINVAL, nullptr},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(plat_pipe_path(c.name, path, sizeof path), c.error) << (c.name ? c.name : "null");
        if (c.error == 0) {
            EXPECT_EQ(std::string(path), folder + "/run/" + c.file);
        }
    }
    // A socket address holds at most 107 characters.
    const std::string fits(107 - (folder.size() + 5), 'n');
    EXPECT_EQ(plat_pipe_path(fits.c_str(), path, sizeof path), 0);
    EXPECT_EQ(plat_pipe_path((fits + "n").c_str(), path, sizeof path), ENAMETOOLONG);
    EXPECT_EQ(plat_pipe_path("abc", path, folder.size() + 8), ENAMETOOLONG);
    PLAT_PIPE *pipe = nullptr;
    EXPECT_EQ(plat_pipe_create((fits + "n").c_str(), &pipe), ENAMETOOLONG);
    EXPECT_EQ(plat_pipe_connect((fits + "n").c_str(), 0, &pipe), ENAMETOOLONG);
}

TEST_F(PlatPipe, TheRunFolderIsMadePrivateAndMustStaySo)
{
    PLAT_PIPE *pipe = nullptr;
    ASSERT_EQ(plat_pipe_create("first", &pipe), 0);
    struct stat st;
    ASSERT_EQ(stat((folder + "/run").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(std::filesystem::exists(folder + "/run/first"));
    plat_pipe_close(pipe);
    EXPECT_FALSE(std::filesystem::exists(folder + "/run/first"));

    // A folder open to others, or a link in its place, is refused.
    chmod((folder + "/run").c_str(), 0755);
    EXPECT_EQ(plat_pipe_create("second", &pipe), EACCES);
    EXPECT_EQ(pipe, nullptr);
    std::filesystem::remove_all(folder + "/run");
    std::filesystem::create_directory(folder + "/elsewhere");
    chmod((folder + "/elsewhere").c_str(), 0700);
    std::filesystem::create_directory_symlink(folder + "/elsewhere", folder + "/run");
    EXPECT_EQ(plat_pipe_create("third", &pipe), EACCES);
    // Operations on a missing end are refused, not followed.
    EXPECT_EQ(plat_pipe_accept(nullptr), EINVAL);
    EXPECT_EQ(plat_pipe_read(nullptr, &st, 1), EINVAL);
    EXPECT_EQ(plat_pipe_write(nullptr, &st, 1), EINVAL);
    EXPECT_EQ(plat_pipe_adopt(-1, &pipe), EINVAL);
}

} // namespace
