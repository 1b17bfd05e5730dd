// The hosts' assertion stop, run in a child process: what a C stream had
// buffered reaches its file first, the message is exactly the one line
// between blank lines on standard error, and the child dies of SIGABRT.
#include "base/system/ve_assert.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace
{

std::string S_read_all(int fd)
{
    std::string text;
    char block[512];
    ssize_t n;
    while ((n = read(fd, block, sizeof block)) > 0)
        text.append(block, static_cast<size_t>(n));
    return text;
}

TEST(VeAssert, FlushesStreamsPrintsTheExpressionAndLineAndAborts)
{
    struct Case {
        const char *expression;
        unsigned int line;
        const char *message;
    };
    const Case cases[] = {
        {"count > 0", 417u, "\n\nAssertion failed: count > 0 line: 417\n\n"},
        {nullptr, 4294967295u, "\n\nAssertion failed:  line: 4294967295\n\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        int err[2], out[2];
        ASSERT_EQ(pipe(err), 0);
        ASSERT_EQ(pipe(out), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit no_core = {0, 0}; // the abort is expected: no core file
            setrlimit(RLIMIT_CORE, &no_core);
            dup2(err[1], 2);
            close(err[0]);
            close(out[0]);
            std::FILE *stream = fdopen(out[1], "w");
            std::setvbuf(stream, nullptr, _IOFBF, 4096);
            std::fputs("buffered before the stop", stream);
            VE_Assert(c.expression, c.line);
        }
        close(err[1]);
        close(out[1]);
        const std::string message = S_read_all(err[0]);
        const std::string flushed = S_read_all(out[0]);
        close(err[0]);
        close(out[0]);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), SIGABRT);
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(flushed, "buffered before the stop");
    }
}

} // namespace
