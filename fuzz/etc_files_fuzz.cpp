// The environment and services files are text that administrators edit: the
// input is one whole file, split line by line into dbinit verbs and
// arguments and read as a services file. The environment itself is left
// alone; every word must lie inside its line and a service name in its buffer.
#include <stdio.h>
#include <string.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/util/ve_etc_internal.h"
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
    char line[VE_CONFIG_LINE_SIZE];
    while (ves_read_text_line(stream, line, sizeof(line))) {
        const char *verb = nullptr;
        const char *argument = nullptr;
        size_t verb_length = 0;
        size_t argument_length = 0;
        if (!etc_dbinit_split(line, &verb, &verb_length, &argument, &argument_length))
            continue;
        size_t length = strlen(line);
        if (verb < line || argument + argument_length > line + length || verb_length == 0)
            __builtin_trap();
    }
    rewind(stream);
    char name[ETC_SERVICE_NAME_SIZE];
    if (etc_service_read_stream(stream, name) == 0 && strnlen(name, sizeof(name)) == sizeof(name))
        __builtin_trap();
    fclose(stream);
    return 0;
}
