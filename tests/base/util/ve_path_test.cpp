// Path helpers: directory parts, joining with "/" and directory checks.
#include "base/util/ve_path_internal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/util/zel_errors.h"
#include "tests/support/quiet_stderr.h"

TEST(Path, DirnameAndPathcat)
{
    const struct {
        const char *path;
        const char *dirname;
    } dirnames[] = {
        {"a/b/c", "a/b"}, {"a/b/", "a/b"}, {"/x", ""}, {"abc", "abc"}, {"", ""}, {nullptr, ""},
    };
    for (const auto &c : dirnames) {
        char out[32];
        EXPECT_STREQ(ves_path_dirname(c.path, out), c.dirname) << (c.path ? c.path : "null");
    }

    const struct {
        const char *path;
        const char *component;
        const char *joined;
    } joins[] = {
        {"/opt/zel", "etc", "/opt/zel/etc"},
        {"/opt/zel/", "etc", "/opt/zel/etc"},
        {"", "etc", "etc"},
    };
    for (const auto &c : joins) {
        char buffer[64];
        strcpy(buffer, c.path);
        EXPECT_STREQ(VES_pathcat(buffer, c.component), c.joined);
        EXPECT_EQ(ves_path_join(c.path, c.component), c.joined);
    }
}

TEST(Path, ValidateDirectory)
{
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("path_dir_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "file") << "x";

    std::string file = (dir / "file").string();
    std::string missing = (dir / "missing").string();
    std::string empty;
    std::string root = "/";
    for (auto check : {validate_path, validate_read_only_path}) {
        std::string with_slash = dir.string() + "/";
        EXPECT_EQ(check(with_slash.data(), 1), ZE_SUCCESS);
        EXPECT_STREQ(with_slash.c_str(), dir.c_str()); // one trailing "/" removed in place
        EXPECT_EQ(check(file.data(), 1), ZE_PATH_UNUSABLE);
        EXPECT_EQ(check(missing.data(), 1), ENOENT);
        EXPECT_EQ(check(empty.data(), 1), ENOENT);
        EXPECT_EQ(check(nullptr, 1), ZE_NULL_POINTER);
        EXPECT_EQ(root, "/"); // the root keeps its only separator
    }
    StderrCapture capture;
    validate_path(file.data(), 0);
    EXPECT_EQ(capture.text(), file + ", NOT A DIRECTORY!\n");

    if (geteuid() != 0) {
        chmod(dir.c_str(), 0500);
        std::string path = dir.string();
        StderrCapture capture;
        EXPECT_EQ(validate_read_only_path(path.data(), 0), ZE_PATH_UNUSABLE);
        EXPECT_EQ(capture.text(), "Insufficient access to " + path + "\n");
        chmod(dir.c_str(), 0700);
    }
    std::filesystem::remove_all(dir);
}
