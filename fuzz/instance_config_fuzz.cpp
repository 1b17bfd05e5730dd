// The definitions file is text that administrators edit: the input is one
// whole file read into a record with its defaults, as the control process
// does at start. Every path must stay terminated within its field.
#include <stdio.h>
#include <string.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/util/ve_instance_config_internal.h"
#include "fuzz/fuzz_quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size == 0)
        return 0;
    std::vector<char> text(data, data + size);
    FILE *stream = fmemopen(text.data(), text.size(), "r");
    if (stream == nullptr)
        return 0;
    VE_INSTANCE_CONFIG config;
    memset(&config, 0, sizeof(config));
    ves_config_read_stream(&config, stream, 1);
    fclose(stream);
    if (strnlen(config.TEMP, sizeof(config.TEMP)) == sizeof(config.TEMP) ||
        strnlen(config.LOGS, sizeof(config.LOGS)) == sizeof(config.LOGS) ||
        config.MINBUFSIZE < 4096 || config.MAXBUFSIZE < config.MINBUFSIZE)
        __builtin_trap();
    return 0;
}
