// The stop watcher of a server process, in real children (subprograms_child):
// a stop waits until the stop-protected section is left, and no protected
// section begins once a stop has begun.
#include "server/svrsys/subprograms.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "tests/server/svrsys/subprograms_fixture.h"

namespace
{

// Runs the child "protected" with a go pipe and a report pipe.
TEST_F(SubPrograms, AStopWaitsUntilTheProtectedSectionIsLeft)
{
    int go[2], report[2];
    ASSERT_EQ(pipe2(go, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(report, O_CLOEXEC), 0);
    // The child's ends stay open across the exec.
    fcntl(go[0], F_SETFD, 0);
    fcntl(report[1], F_SETFD, 0);
    std::string go_fd = std::to_string(go[0]), report_fd = std::to_string(report[1]);
    int32_t child = start({"protected", go_fd.c_str(), report_fd.c_str()});
    close(go[0]);
    close(report[1]);
    ASSERT_GT(child, 0);
    auto read_line = [&]() {
        std::string line;
        char byte;
        struct pollfd ready = {report[0], POLLIN, 0};
        while (poll(&ready, 1, 10000) == 1 && read(report[0], &byte, 1) == 1 && byte != '\n')
            line += byte;
        return line;
    };
    EXPECT_EQ(read_line(), "inside");
    EXPECT_EQ(SubPrograms_StopProgram(child), ZE_SUCCESS);
    // Held off while the section is held (nothing shows the watcher blocked,
    // so give a faulty stop time to end the child).
    EXPECT_EQ(wait_for_death(child, std::chrono::milliseconds(300)), -1000);
    EXPECT_EQ(write(go[1], "g", 1), 1);
    EXPECT_EQ(read_line(), "finished");
    EXPECT_EQ(read_line(), "stopped");
    EXPECT_EQ(wait_for_death(child), 0);
    close(go[1]);
    close(report[0]);
}

TEST_F(SubPrograms, NoProtectedSectionBeginsOnceAStopHasBegun)
{
    int32_t child = start({"late-enter"});
    ASSERT_GT(child, 0);
    EXPECT_EQ(SubPrograms_StopProgram(child), ZE_SUCCESS);
    EXPECT_EQ(wait_for_death(child), 0);
}

} // namespace
