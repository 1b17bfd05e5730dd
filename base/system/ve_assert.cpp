// The hosts' assertion stop (base/system/ve_assert.h): what the process had
// buffered for its streams goes out before the message, so the message is
// the last thing a reader of the output sees.
#include "base/system/ve_assert.h"

#include <cstdio>
#include <cstdlib>

ZEL_API void VE_Assert(const char *expression, unsigned int line)
{
    std::fflush(nullptr);
    std::fprintf(stderr, "\n\nAssertion failed: %s line: %u\n\n",
                 expression != nullptr ? expression : "", line);
    std::fflush(stderr);
    std::abort();
}
