// The set-up the child-process tests share: the path of the child program
// (subprograms_child), a record of every death the watcher reports, and a
// fixture that runs the death watcher of a private instance for each test.
#ifndef SUBPROGRAMS_FIXTURE_H
#define SUBPROGRAMS_FIXTURE_H

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/util/zel_errors.h"
#include "server/svrsys/subprograms.h"
#include "tests/support/run_folder_fixture.h"

inline const char *const CHILD = SUBPROGRAMS_CHILD;

// Every death the watcher reports, in order.
struct Deaths {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<int32_t, int32_t>> reported;
};
inline Deaths deaths;

inline void record_death(int32_t process_id, int32_t exit_code)
{
    std::lock_guard<std::mutex> lock(deaths.mutex);
    deaths.reported.emplace_back(process_id, exit_code);
    deaths.changed.notify_all();
}

// How often the child's death has been reported.
inline int times_reported(int32_t process_id)
{
    std::lock_guard<std::mutex> lock(deaths.mutex);
    int times = 0;
    for (const auto &death : deaths.reported)
        times += death.first == process_id;
    return times;
}

// Waits until the child's death is reported (at most timeout) and answers its
// exit code, or -1000 when it was not reported in time.
inline int32_t wait_for_death(int32_t process_id,
                              std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    std::unique_lock<std::mutex> lock(deaths.mutex);
    int32_t code = -1000;
    deaths.changed.wait_for(lock, timeout, [&] {
        for (const auto &death : deaths.reported)
            if (death.first == process_id) {
                code = death.second;
                return true;
            }
        return false;
    });
    return code;
}

// A private run folder and instance for each test; the watcher runs during it.
class SubPrograms : public RunFolderFixture
{
  protected:
    std::string instance;

    void SetUp() override
    {
        RunFolderFixture::SetUp();
        instance = "inst" + std::to_string(getpid());
        {
            std::lock_guard<std::mutex> lock(deaths.mutex);
            deaths.reported.clear();
        }
        ASSERT_EQ(SubPrograms_Initialize(0, instance.c_str(), record_death), ZE_SUCCESS);
    }

    void TearDown() override
    {
        SubPrograms_End();
        RunFolderFixture::TearDown();
    }

    int32_t start(std::vector<const char *> arguments, int32_t pause = 0)
    {
        arguments.resize(4, nullptr);
        LO_PIPE *in = nullptr, *out = nullptr;
        return SubPrograms_StartProgram(pause, 0, CHILD, &in, &out, arguments[0], arguments[1],
                                        arguments[2], arguments[3], nullptr);
    }
};
#endif
