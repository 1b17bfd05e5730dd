// A scrambled password arrives from another process as free text: the input
// is one such text, read back into a buffer just large enough for the longest
// text it could yield. The result must end inside the buffer, and a text that
// is then scrambled again must come back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/util/ve_net_string_internal.h"
#include "fuzz/fuzz_quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    std::string input(reinterpret_cast<const char *>(data), size);
    const char *form = input.c_str(); // stops at the first NUL, as a C caller's would
    size_t length = strlen(form);
    std::vector<char> text(length > 9 ? length - 9 : 1);
    uint32_t stamp = 0;
    int32_t rc = VES_string_net2mem(form, text.data(), &stamp);
    if (rc < 0)
        return 0;
    if (static_cast<size_t>(rc) >= text.size() || strlen(text.data()) != static_cast<size_t>(rc))
        __builtin_trap();
    if (rc == 0)
        return 0;
    std::vector<char> again(rc + 11);
    if (ves_string_scramble(text.data(), again.data(), stamp, stamp) != rc + 10)
        __builtin_trap();
    std::vector<char> back(rc + 1);
    uint32_t stamp_back = 0;
    if (VES_string_net2mem(again.data(), back.data(), &stamp_back) != rc ||
        strcmp(back.data(), text.data()) != 0)
        __builtin_trap();
    return 0;
}
