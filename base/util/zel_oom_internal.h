// The out-of-memory rule at the extern "C" boundary, written once.
//
// Inside the library C++ may allocate (std::string for SQL text and paths,
// containers, make_unique), and such an allocation throws std::bad_alloc
// when memory runs out. No exception may reach a host: every exported
// function whose work may allocate that way runs its body through
// zel_oom_guard, which returns the body's result, or the out-of-memory code
// when std::bad_alloc escaped it. The code is the engine's: ZE_OUT_OF_MEMORY
// (-12), or ZE_BUFFER_NO_MEMORY (-999) in buffer, feature and channel code. A
// function that can answer a failed allocation more precisely catches it
// itself, around that allocation. Internal functions let std::bad_alloc pass
// to the exported function that called them.
#ifndef ZEL_OOM_INTERNAL_H
#define ZEL_OOM_INTERNAL_H

#include <new>
#include <utility>

template <typename Result, typename Body> Result zel_oom_guard(Result on_oom, Body &&body) noexcept
{
    try {
        return std::forward<Body>(body)();
    } catch (const std::bad_alloc &) {
        return on_oom;
    }
}

// The same for an exported function without a result: the work is dropped.
template <typename Body> void zel_oom_guard_void(Body &&body) noexcept
{
    try {
        std::forward<Body>(body)();
    } catch (const std::bad_alloc &) {
    }
}

#endif
