// Standard error for tests. The library reports failures on standard error
// (the hosts' log), which would bury a test program's own output, and some
// tests check those lines. quiet_stderr(fn) runs fn with standard error
// swallowed and returns what fn returns. A StderrCapture keeps standard error
// from its construction to its destruction; text() returns what was written
// since the capture began or since the last text(). GoogleTest allows one
// capture at a time, so neither may run while a StderrCapture lives.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

class StderrCapture
{
  public:
    StderrCapture()
    {
        testing::internal::CaptureStderr();
    }
    ~StderrCapture()
    {
        testing::internal::GetCapturedStderr();
    }
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;

    // What was written since the capture began or since the last call.
    std::string text()
    {
        std::string written = testing::internal::GetCapturedStderr();
        testing::internal::CaptureStderr();
        return written;
    }
};

template <class Fn> decltype(auto) quiet_stderr(Fn &&fn)
{
    StderrCapture capture;
    return std::forward<Fn>(fn)();
}
