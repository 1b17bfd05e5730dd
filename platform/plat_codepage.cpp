// The machine's code pages from the environment, with Windows' Western
// European defaults.
#include "platform/plat_codepage_internal.h"

#include <errno.h>
#include <stdlib.h>

// The variable's value when it is a whole positive number that fits, else the default.
static int32_t S_env_codepage(const char *variable, int32_t fallback)
{
    const char *value = getenv(variable);
    if (value == nullptr || *value == '\0')
        return fallback;
    char *end = nullptr;
    errno = 0;
    long page = strtol(value, &end, 10);
    if (errno != 0 || *end != '\0' || page < 1 || page > INT32_MAX)
        return fallback;
    return static_cast<int32_t>(page);
}

int32_t plat_get_acp(void)
{
    return S_env_codepage("ZEL_ACP", 1252);
}

int32_t plat_get_oemcp(void)
{
    return S_env_codepage("ZEL_OEMCP", 437);
}
