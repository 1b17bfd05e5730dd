// Work buffers (VES_buffer_alloc/VES_buffer_free). Mapped blocks are recorded
// with their size, so a free with a size on the wrong side of 4096 (which
// would hand a heap block to munmap, or a mapping to free) is refused instead.
#include "base/util/ve_buffer.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "base/util/zel_errors.h"
#include "platform/plat_memory_internal.h"

namespace
{
std::mutex S_mapped_lock;
std::unordered_map<void *, int32_t> &S_mapped()
{
    static auto *mapped = new std::unordered_map<void *, int32_t>();
    return *mapped;
}
} // namespace

// Mappings start on a page boundary; heap blocks seldom do, so only those
// need a look in the table when freed as small.
static bool S_page_aligned(const void *block)
{
    return (reinterpret_cast<uintptr_t>(block) & (VE_BUFFER_MAPPED_MIN - 1)) == 0;
}

ZEL_API void *VES_buffer_alloc(int32_t n)
{
    if (n <= 0)
        return nullptr;
    if (n < VE_BUFFER_MAPPED_MIN)
        return std::calloc(1, static_cast<size_t>(n));
    void *block = plat_virtual_alloc(static_cast<size_t>(n));
    if (block == nullptr)
        return nullptr;
    try {
        std::lock_guard<std::mutex> guard(S_mapped_lock);
        S_mapped()[block] = n;
    } catch (...) {
        plat_virtual_free(block, static_cast<size_t>(n));
        return nullptr;
    }
    return block;
}

ZEL_API int32_t VES_buffer_free(void *block, int32_t n)
{
    if (block == nullptr)
        return ZE_NULL_POINTER;
    if (n <= 0)
        return ZE_INVALID_ARGUMENT;
    if (n < VE_BUFFER_MAPPED_MIN) {
        if (S_page_aligned(block)) {
            std::lock_guard<std::mutex> guard(S_mapped_lock);
            if (S_mapped().count(block) != 0)
                return ZE_INVALID_ARGUMENT;
        }
        std::free(block);
        return ZE_SUCCESS;
    }
    std::lock_guard<std::mutex> guard(S_mapped_lock);
    auto entry = S_mapped().find(block);
    if (entry == S_mapped().end() || entry->second != n)
        return ZE_INVALID_ARGUMENT;
    if (plat_virtual_free(block, static_cast<size_t>(n)) != 0)
        return ZE_FAILURE;
    S_mapped().erase(entry);
    return ZE_SUCCESS;
}
