// Fuzz target over the readers of the code-page files: the input is read as
// codepage.txt (its first byte choosing the word to match) and as a mapping
// file, whose pairs then build a map through the temporary hash table.
#include "base/util/ve_codepage_internal.h"

#include "fuzz/fuzz_quiet.h"
#include <stddef.h>
#include <stdint.h>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size == 0)
        return 0;
    const char *text = reinterpret_cast<const char *>(data + 1);
    size_t length = size - 1;
    int32_t word_index = data[0] % 8; // 7 is out of range on purpose

    std::string first_word;
    for (const char *codeset : {"8859-1", "SJIS", "x", ""})
        codepage_find_record(text, length, word_index, codeset, &first_word);

    CODEPAGE_PAIR pairs[128];
    int32_t count = codepage_parse_map(text, length, pairs);
    if (count < 0 || count > 128)
        __builtin_trap();
    int32_t map[128];
    if (codepage_build_map(pairs, count, pairs, count, "/tmp", map) == 0)
        for (int32_t entry : map)
            if (entry < 0 || entry > 255)
                __builtin_trap();
    return 0;
}
