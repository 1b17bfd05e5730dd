// The intercept trace's per-process state (base/system/ch_intercept_internal.h):
// the time-stamp format and the flush flag that every traced channel of the
// process shares, the prefix of a trace line, and the closing of a trace
// file. The flags are atomics: channels of several threads read them while
// a channel being made or destroyed sets them.
#include "base/system/ch_intercept_internal.h"

#include <atomic>
#include <cstdio>
#include <ctime>

static std::atomic<const char *> g_time_format{nullptr};
static std::atomic<int32_t> g_flush{0};

void ch_intercept_reset(const char *time_format, int32_t flush)
{
    g_time_format.store(time_format);
    g_flush.store(flush != 0 ? 1 : 0);
}

int32_t ch_intercept_flush_flag(void)
{
    return g_flush.load();
}

void ch_intercept_make_prefix(const char *tag, char *out, size_t size)
{
    if (out == nullptr || size == 0)
        return;
    const char *format = g_time_format.load();
    if (format == nullptr) {
        std::snprintf(out, size, "[%s]", tag != nullptr ? tag : "");
        return;
    }
    char when[CH_INTERCEPT_PREFIX_SIZE] = "";
    std::time_t now = std::time(nullptr);
    std::tm local;
    if (localtime_r(&now, &local) != nullptr)
        std::strftime(when, sizeof when, format, &local);
    std::snprintf(out, size, "[%s %s]", tag != nullptr ? tag : "", when);
}

void ch_intercept_close(FILE **file)
{
    ch_intercept_reset(nullptr, 0);
    if (file != nullptr && *file != nullptr) {
        std::fclose(*file);
        *file = nullptr;
    }
}
