// Command codes (base/system/ch_command.h): the name table, the older
// release's numbering, the trace of a command, and the reading and writing
// of a code as one long through the channel's transport.
#include "base/system/ch_command_internal.h"

#include <array>
#include <cstdio>

#include "base/system/ch_channel_internal.h"
#include "base/system/ch_intercept_internal.h"

namespace
{

#define CH_COMMAND_NAME(code, name) #name,
constexpr const char *kNames[CH_COMMAND_COUNT + 1] = {CH_COMMAND_LIST(CH_COMMAND_NAME)
                                                          CH_COMMAND_END_NAME};
#undef CH_COMMAND_NAME

// The list holds every code once, in order.
#define CH_COMMAND_CODE(code, name) code,
constexpr int32_t kListed[] = {CH_COMMAND_LIST(CH_COMMAND_CODE)};
#undef CH_COMMAND_CODE
constexpr bool S_in_order()
{
    for (int32_t i = 0; i < CH_COMMAND_COUNT; i++)
        if (kListed[i] != i)
            return false;
    return true;
}
static_assert(sizeof kListed / sizeof kListed[0] == CH_COMMAND_COUNT && S_in_order());

// The older release's numbering by ranges of the current codes: the codes
// first to last are shifted by shift, or have no counterpart.
struct OldRange {
    int32_t first, last, shift;
    bool none;
};
constexpr OldRange kOldRanges[] = {
    {0, 0, 0, false},    {1, 1, 0, true},   {2, 20, -1, false},  {21, 32, 0, false},
    {33, 47, 1, false},  {48, 48, 0, true}, {49, 62, 0, false},  {63, 63, 0, true},
    {64, 64, -1, false}, {65, 65, 0, true}, {66, 76, -2, false}, {77, 217, 0, true},
};

constexpr std::array<int32_t, CH_COMMAND_COUNT> S_old_codes()
{
    std::array<int32_t, CH_COMMAND_COUNT> codes{};
    int32_t next = 0;
    for (const OldRange &r : kOldRanges) {
        if (r.first != next) // the ranges must cover every code once
            throw "gap in the old-release ranges";
        for (int32_t code = r.first; code <= r.last; code++)
            codes[static_cast<size_t>(code)] = r.none ? -1 : code + r.shift;
        next = r.last + 1;
    }
    if (next != CH_COMMAND_COUNT)
        throw "the old-release ranges stop short";
    return codes;
}
constexpr std::array<int32_t, CH_COMMAND_COUNT> kOldCodes = S_old_codes();

bool S_traces(const CH_CHANNEL *channel, uint16_t direction)
{
    return channel->intercept_file != nullptr &&
           (channel->intercept_mode & (CH_INTERCEPT_C | direction)) != 0;
}

} // namespace

const char *ch_command_name(int32_t code)
{
    return code >= 0 && code < CH_COMMAND_COUNT ? kNames[code] : nullptr;
}

int32_t ch_command_old_code(int32_t code)
{
    return code >= 0 && code < CH_COMMAND_COUNT ? kOldCodes[static_cast<size_t>(code)] : -1;
}

void ch_intercept_command(FILE *file, int32_t code, const char *tag)
{
    if (file == nullptr)
        return;
    char prefix[CH_INTERCEPT_PREFIX_SIZE];
    ch_intercept_make_prefix(tag, prefix, sizeof prefix);
    std::fputs("========================================\n", file);
    const char *name = ch_command_name(code);
    if (name != nullptr)
        std::fprintf(file, "%s Command:      %s\n", prefix, name);
    else
        std::fprintf(file, "%s Command:      Invalid_Command_Code %d\n", prefix, code);
    if (ch_intercept_flush_flag())
        std::fflush(file);
}

ZEL_API int32_t CH_write_command(CH_CHANNEL *channel, int32_t code)
{
    if (channel == nullptr)
        return ZE_NULL_POINTER;
    // The trace shows the code the caller gave, before any translation.
    if (S_traces(channel, CH_INTERCEPT_W))
        ch_intercept_command(channel->intercept_file, code, "W");
    if (channel->old_release) {
        if (code < 0 || code >= CH_COMMAND_COUNT) {
            std::fprintf(stderr, "CH_write_command: unrecognized command code %d!\n", code);
            return ZE_FAILURE;
        }
        code = kOldCodes[static_cast<size_t>(code)];
        if (code < 0)
            return ZE_INVALID_RELEASE;
    }
    return channel->transport->write_long(channel->end, code);
}

ZEL_API int32_t CH_read_command(CH_CHANNEL *channel, int32_t *code)
{
    if (channel == nullptr)
        return ZE_NULL_POINTER;
    const int32_t rc = channel->transport->read_long(channel->end, code);
    if (rc == ZE_SUCCESS && S_traces(channel, CH_INTERCEPT_R))
        ch_intercept_command(channel->intercept_file, *code, "R");
    return rc;
}
