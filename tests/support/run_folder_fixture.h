// Test fixture that points the run folder of the local named pipes (ZELRUN)
// at a fresh private folder of its own and removes it afterwards.
#ifndef RUN_FOLDER_FIXTURE_H
#define RUN_FOLDER_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

class RunFolderFixture : public ::testing::Test
{
  protected:
    std::string run_folder;
    void SetUp() override
    {
        char made[] = "/tmp/zel_run_XXXXXX";
        ASSERT_NE(mkdtemp(made), nullptr);
        run_folder = made;
        setenv("ZELRUN", made, 1);
    }
    void TearDown() override
    {
        unsetenv("ZELRUN");
        std::filesystem::remove_all(run_folder);
    }
};

#endif
