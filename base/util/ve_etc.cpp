// Readers of "dbinit.zel" and "services.zel" under the instance's "etc"
// folder. Both are text that administrators edit: lines of at most 1023
// characters; a line starting with "#" or "/*", and an empty line, is a
// comment. Every line is read within its bound.
#include "base/util/ve_etc_internal.h"

#include <ctype.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

#include "base/util/ve_instance_config_internal.h"
#include "base/util/ve_path_internal.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"

namespace
{

using S_File = std::unique_ptr<FILE, int (*)(FILE *)>;

bool S_is_comment(const char *line)
{
    return line[0] == '\0' || line[0] == '#' || (line[0] == '/' && line[1] == '*');
}

// The next word from p: its start and length (0 at the end of the line).
const char *S_word(const char *p, size_t *length)
{
    while (*p != '\0' && isspace(static_cast<unsigned char>(*p)))
        ++p;
    const char *end = p;
    while (*end != '\0' && !isspace(static_cast<unsigned char>(*end)))
        ++end;
    *length = static_cast<size_t>(end - p);
    return p;
}

S_File S_open(const char *home, const char *file_name)
{
    if (home == nullptr)
        return S_File(nullptr, fclose);
    std::string name = ves_path_join(ves_path_join(home, "etc"), file_name);
    return S_File(fopen(name.c_str(), "re"), fclose);
}

} // namespace

int32_t etc_dbinit_split(const char *line, const char **verb, size_t *verb_length,
                         const char **argument, size_t *argument_length)
{
    if (line == nullptr || S_is_comment(line))
        return 0;
    *verb = S_word(line, verb_length);
    if (*verb_length == 0)
        return 0;
    *argument = S_word(*verb + *verb_length, argument_length);
    return *argument_length > 0 ? 1 : 0;
}

int32_t etc_dbinit_read_stream(FILE *stream, int32_t echo)
{
    if (stream == nullptr)
        return ZE_FAILURE;
    int32_t count = 0;
    char line[VE_CONFIG_LINE_SIZE];
    while (ves_read_text_line(stream, line, sizeof(line))) {
        const char *verb = nullptr;
        const char *argument = nullptr;
        size_t verb_length = 0;
        size_t argument_length = 0;
        if (!etc_dbinit_split(line, &verb, &verb_length, &argument, &argument_length))
            continue;
        std::string word(verb, verb_length);
        std::string text(argument, argument_length);
        if (word == "set") {
            size_t equals = text.find('=');
            // No "=" or no name: the environment refuses the setting.
            if (equals == std::string::npos || equals == 0)
                continue;
            std::string name = text.substr(0, equals);
            if (setenv(name.c_str(), text.c_str() + equals + 1, 1) != 0) {
                if (errno == ENOMEM)
                    return ZE_FAILURE;
                continue;
            }
            ++count;
        } else if (word == "unset") {
            if (unsetenv(text.c_str()) != 0 && errno == ENOMEM)
                return ZE_FAILURE;
        } else {
            continue;
        }
        if (echo)
            fprintf(stderr, "%s\n", line);
    }
    return count;
}

int32_t Etc_dbinit_set(const char *home, int32_t echo)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        S_File file = S_open(home, "dbinit.zel");
        if (!file)
            return ZE_FAILURE;
        echo = echo != 0 || getenv("ZELDBECHO") != nullptr;
        if (echo)
            fprintf(stderr, "\nReading %s:\n\n",
                    ves_path_join(ves_path_join(home, "etc"), "dbinit.zel").c_str());
        int32_t count = etc_dbinit_read_stream(file.get(), echo);
        if (echo)
            fprintf(stderr, "\n");
        return count;
    });
}

int32_t etc_service_read_stream(FILE *stream, char *name)
{
    if (stream == nullptr || name == nullptr)
        return ZE_FAILURE;
    char line[VE_CONFIG_LINE_SIZE];
    while (ves_read_text_line(stream, line, sizeof(line))) {
        if (S_is_comment(line))
            continue;
        size_t length = 0;
        const char *word = S_word(line, &length);
        if (length == 0)
            continue;
        if (length >= ETC_SERVICE_NAME_SIZE)
            return ZE_FAILURE;
        memcpy(name, word, length);
        name[length] = '\0';
        return ZE_SUCCESS;
    }
    return ZE_FAILURE;
}

int32_t Etc_service_get(const char *home, char *name)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        S_File file = S_open(home, "services.zel");
        if (!file)
            return ZE_FAILURE;
        return etc_service_read_stream(file.get(), name);
    });
}
