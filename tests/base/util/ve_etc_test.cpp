// The instance's etc files: set and unset lines of "etc/dbinit.zel" applied to
// the environment, and the service name from "etc/services.zel".
#include "base/util/ve_etc.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/util/zel_errors.h"
#include "tests/support/quiet_stderr.h"

namespace
{

struct HomeDir {
    std::filesystem::path root;
    HomeDir()
    {
        root = std::filesystem::temp_directory_path() / ("etc_home_" + std::to_string(getpid()));
        std::filesystem::create_directories(root / "etc");
    }
    void write(const char *name, const std::string &text)
    {
        std::ofstream(root / "etc" / name) << text;
    }
    ~HomeDir()
    {
        std::filesystem::remove_all(root);
    }
};

} // namespace

TEST(DbinitFile, AppliesSetAndUnsetLines)
{
    HomeDir home;
    home.write("dbinit.zel", "set ETC_TEST_A=1\n"
                             "# set ETC_TEST_X=1\n"
                             "/* note */\n"
                             "\n"
                             "unset ETC_TEST_GONE\n"
                             "set ETC_TEST_PATH=C:\\a b\n"
                             "export ETC_TEST_E=1\n"
                             "set\n"
                             "set NOEQUALS\n"
                             "set =x\n"
                             "set ETC_TEST_EMPTY=\n");
    setenv("ETC_TEST_GONE", "here", 1);
    unsetenv("ZELDBECHO");
    StderrCapture capture;
    EXPECT_EQ(Etc_dbinit_set(home.root.c_str(), 1), 3);
    std::string echo = capture.text();
    EXPECT_EQ(echo, "\nReading " + home.root.string() +
                        "/etc/dbinit.zel:\n\n"
                        "set ETC_TEST_A=1\n"
                        "unset ETC_TEST_GONE\n"
                        "set ETC_TEST_PATH=C:\\a b\n"
                        "set ETC_TEST_EMPTY=\n"
                        "\n");
    EXPECT_STREQ(getenv("ETC_TEST_A"), "1");
    EXPECT_EQ(getenv("ETC_TEST_X"), nullptr);
    EXPECT_EQ(getenv("ETC_TEST_GONE"), nullptr);
    EXPECT_STREQ(getenv("ETC_TEST_PATH"), "C:\\a");
    EXPECT_EQ(getenv("ETC_TEST_E"), nullptr);
    EXPECT_STREQ(getenv("ETC_TEST_EMPTY"), "");

    // Echo comes from the environment too, and is off otherwise.
    EXPECT_EQ(Etc_dbinit_set(home.root.c_str(), 0), 3);
    EXPECT_EQ(capture.text(), "");
    setenv("ZELDBECHO", "", 1);
    Etc_dbinit_set(home.root.c_str(), 0);
    EXPECT_NE(capture.text(), "");
    unsetenv("ZELDBECHO");
}

TEST(DbinitFile, MissingFileOrHome)
{
    HomeDir home;
    EXPECT_EQ(Etc_dbinit_set(home.root.c_str(), 0), ZE_FAILURE);
    EXPECT_EQ(Etc_dbinit_set(nullptr, 0), ZE_FAILURE);
}

TEST(ServicesFile, FirstWordOfFirstLine)
{
    struct Case {
        std::string text;
        int32_t result;
        std::string name;
    };
    const Case cases[] = {
        {"# instance\n/* c */\n\nmyinst 5151/tcp\nother\n", ZE_SUCCESS, "myinst"},
        {"   \n\tspaced\n", ZE_SUCCESS, "spaced"},
        {"# only comments\n", ZE_FAILURE, ""},
        {"", ZE_FAILURE, ""},
        {std::string(ETC_SERVICE_NAME_SIZE, 's') + "\n", ZE_FAILURE, ""},
        {std::string(ETC_SERVICE_NAME_SIZE - 1, 's') + "\n", ZE_SUCCESS,
         std::string(ETC_SERVICE_NAME_SIZE - 1, 's')},
    };
    HomeDir home;
    for (const Case &c : cases) {
        home.write("services.zel", c.text);
        char name[ETC_SERVICE_NAME_SIZE] = "";
        EXPECT_EQ(Etc_service_get(home.root.c_str(), name), c.result) << c.text;
        EXPECT_EQ(name, c.name) << c.text;
    }
    std::filesystem::remove(home.root / "etc" / "services.zel");
    char name[ETC_SERVICE_NAME_SIZE];
    EXPECT_EQ(Etc_service_get(home.root.c_str(), name), ZE_FAILURE);
}
