// Command lines are typed by users: the input's first line is the option
// string and every further line one word. The parser runs until it ends, as a
// host would, then goes on after the end as a careless host might; every
// word is also put through the name checks and trimming. No read may leave a
// word, and every returned argument must be one of the words.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/util/ve_name_check.h"
#include "base/util/zel_getopt_internal.h"
#include "fuzz/fuzz_quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    static FILE *quiet = freopen("/dev/null", "w", stdout); // the messages are not wanted here
    (void)quiet;
    std::string input(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= input.size() && lines.size() < 64) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos)
            end = input.size();
        lines.push_back(input.substr(start, end - start));
        start = end + 1;
    }
    std::string optstring = lines[0];
    lines[0] = "prog";
    std::vector<char *> argv;
    for (std::string &line : lines)
        argv.push_back(line.data());
    argv.push_back(nullptr);
    int argc = static_cast<int>(lines.size());

    ZEL_GETOPT_STATE state;
    zel_getopt_state_init(&state);
    for (int call = 0; call < 4 * argc + 8; call++) {
        zel_getopt_next(&state, argc, argv.data(), optstring.c_str());
        if (state.optarg != nullptr) {
            bool known = false;
            for (int i = 1; i < argc; i++)
                known = known || state.optarg == argv[static_cast<size_t>(i)];
            if (!known)
                __builtin_trap();
        }
    }
    for (std::string &line : lines) {
        VES_name_check(line.c_str(), 1);
        VES_name_check(line.c_str(), 2);
        VES_UpperCase(line.data());
        VES_RemoveSpaces(line.data());
    }
    return 0;
}
