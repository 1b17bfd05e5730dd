// Debug printer and utility banner (base/util/ve_debug.h).
#include "base/util/ve_debug_internal.h"

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

static const char S_release[] = "8.1.1";

int32_t VES_print_debug(FILE *stream, const char *format, ...)
{
    // Looked up every time: callers switch verbosity without a restart.
    if (getenv("ZELVERBOSE") == nullptr)
        return 0;
    if (stream == nullptr || format == nullptr)
        return -1;
    va_list args;
    va_start(args, format);
    int written = vfprintf(stream, format, args);
    va_end(args);
    if (fflush(stream) != 0 || written < 0)
        return -1;
    return 0;
}

void ves_print_banner(const char *build_text, const char *utility_name)
{
    const char *build = build_text != nullptr ? strstr(build_text, "Build") : nullptr;
    printf("\n");
    if (build != nullptr)
        printf("OrvekZEL \t %s \t  %s\n", S_release, build);
    else
        printf("OrvekZEL \t %s \n", S_release);
    printf("%s \t Administration Utility\n", utility_name != nullptr ? utility_name : "");
    printf("-----------------------------------------------------\n");
}
