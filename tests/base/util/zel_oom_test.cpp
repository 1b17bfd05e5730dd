// The out-of-memory rule at the extern "C" boundary: zel_oom_guard gives the
// body's result or the engine's code when std::bad_alloc escapes it, and an
// exported function whose C++ allocation fails answers that code instead of
// letting the exception reach the host. This program replaces the global
// operator new with one that can be told to fail.
#include "base/util/zel_oom_internal.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdint>
#include <new>
#include <string>

#include "base/util/ve_etc.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_table_ddl.h"
#include "tests/support/scripted_cli.h"

namespace
{
// Allocations through operator new fail while this is set.
bool S_fail_new = false;
} // namespace

// The replacements pair malloc with free, which GCC cannot see through.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void *operator new(size_t size)
{
    if (S_fail_new)
        throw std::bad_alloc();
    void *p = malloc(size == 0 ? 1 : size);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}

void operator delete(void *p) noexcept
{
    free(p);
}

void operator delete(void *p, size_t) noexcept
{
    free(p);
}

namespace
{

struct FailingNew {
    FailingNew()
    {
        S_fail_new = true;
    }
    ~FailingNew()
    {
        S_fail_new = false;
    }
};

TEST(OomGuard, GivesTheBodysResultOrTheCode)
{
    EXPECT_EQ(zel_oom_guard(ZE_OUT_OF_MEMORY, [] { return 7; }), 7);
    EXPECT_EQ(zel_oom_guard(ZE_OUT_OF_MEMORY, []() -> int32_t { throw std::bad_alloc(); }),
              ZE_OUT_OF_MEMORY);
    EXPECT_EQ(zel_oom_guard(ZE_BUFFER_NO_MEMORY, []() -> int32_t { throw std::bad_alloc(); }),
              ZE_BUFFER_NO_MEMORY);
    bool ran = false;
    zel_oom_guard_void([&] {
        ran = true;
        throw std::bad_alloc();
    });
    EXPECT_TRUE(ran);
}

using ExportedUnderFailingNew = scli::Fixture;

// Exported functions that build a path or SQL text in C++ strings, with
// every such allocation failing; nothing reaches the CLI.
TEST_F(ExportedUnderFailingNew, AnswerTheOutOfMemoryCode)
{
    const std::string home(300, 'h'); // longer than any small-string buffer
    char service[ETC_SERVICE_NAME_SIZE];
    int32_t etc, drop;
    {
        FailingNew failing;
        etc = Etc_service_get(home.c_str(), service);
        drop = DB_table_drop(nullptr, "parcels");
    }
    EXPECT_EQ(etc, ZE_OUT_OF_MEMORY);
    EXPECT_EQ(drop, ZE_OUT_OF_MEMORY);
    EXPECT_TRUE(scli::journal().empty());
    // With memory back the same call answers as usual.
    EXPECT_EQ(Etc_service_get("/nonexistent", service), ZE_FAILURE);
}

} // namespace
