// Fuzz target over the multibyte code-page converters and case folding: the
// first byte picks the pair of code pages and how much room the buffer has
// beyond the text; the rest is a text of the other side, lead bytes, cut
// characters and all. Each conversion stays within its buffer and leaves it
// terminated; folding steps over multibyte characters without leaving the
// text.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "base/util/ve_codepage.h"
#include "base/util/ve_codepage_internal.h"
#include "fuzz/fuzz_quiet.h"

namespace
{

struct Pair {
    int32_t native_id, native_scheme, other_id, other_scheme;
    VE_CODEPAGE_CONVERTER to_native, to_other;
};

const Pair kPairs[] = {
    {VE_CODEPAGE_JPN_EUC, VE_CODEPAGE_DOUBLE_BYTE, VE_CODEPAGE_SJIS, VE_CODEPAGE_DOUBLE_BYTE,
     codepage_sjis_to_eucjp, codepage_eucjp_to_sjis},
    {VE_CODEPAGE_SJIS, VE_CODEPAGE_DOUBLE_BYTE, VE_CODEPAGE_JPN_EUC, VE_CODEPAGE_DOUBLE_BYTE,
     codepage_eucjp_to_sjis, codepage_sjis_to_eucjp},
    {VE_CODEPAGE_TW_EUC, VE_CODEPAGE_EUC_FOUR_BYTE, VE_CODEPAGE_BIG5, VE_CODEPAGE_DOUBLE_BYTE,
     codepage_big5_to_euctw, codepage_euctw_to_big5},
    {VE_CODEPAGE_BIG5, VE_CODEPAGE_DOUBLE_BYTE, VE_CODEPAGE_TW_EUC, VE_CODEPAGE_EUC_FOUR_BYTE,
     codepage_euctw_to_big5, codepage_big5_to_euctw},
    {VE_CODEPAGE_88591, VE_CODEPAGE_SINGLE_BYTE, VE_CODEPAGE_1252, VE_CODEPAGE_SINGLE_BYTE,
     codepage_map_convert, codepage_map_convert},
};

// The buffer must still hold a terminator within its size.
void S_check_terminated(const std::vector<char> &buffer, int32_t size)
{
    if (memchr(buffer.data(), '\0', static_cast<size_t>(size)) == nullptr)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size < 1 || size > 4096)
        return 0;
    const Pair &pair = kPairs[(data[0] & 0x0F) % (sizeof kPairs / sizeof kPairs[0])];
    const size_t slack = data[0] >> 4; // room beyond the text and its NUL
    const size_t text_length = size - 1;
    // An exact-size heap block: AddressSanitizer sees a write past it.
    const int32_t room = static_cast<int32_t>(text_length + 1 + slack);
    std::vector<char> buffer(static_cast<size_t>(room));
    memcpy(buffer.data(), data + 1, text_length);
    buffer[text_length] = '\0';

    VE_CODEPAGE cp{};
    cp.native = {pair.native_id, pair.native_scheme, "native"};
    cp.other = {pair.other_id, pair.other_scheme, "other"};
    cp.convert = 1;
    for (int32_t i = 0; i < VE_CODEPAGE_MAP_SIZE; i++) {
        cp.map_to_native[i] = 128 + (i * 7) % 128;
        cp.map_to_other[i] = 128 + (i * 55) % 128; // not the inverse on purpose
    }
    cp.to_native = pair.to_native;
    cp.to_other = pair.to_other;

    CODEPAGE_tonative(buffer.data(), room, &cp);
    S_check_terminated(buffer, room);
    CODEPAGE_tocpg(buffer.data(), room, &cp);
    S_check_terminated(buffer, room);
    VES_CpgToUpper(buffer.data(), room, &cp);
    S_check_terminated(buffer, room);
    VES_CpgToLower(buffer.data(), room, &cp);
    S_check_terminated(buffer, room);
    VES_ToUpper(buffer.data(), &cp);
    VES_ToLower(buffer.data(), &cp);
    S_check_terminated(buffer, room);

    // Lead bytes: every kind is 0, 1 or 2, and a walk by them ends.
    const auto *text = reinterpret_cast<const unsigned char *>(buffer.data());
    for (size_t i = 0; text[i] != '\0';) {
        int32_t kind = CODEPAGE_isleadbyte(&cp, text[i], text[i + 1]);
        if (kind < 0 || kind > 2)
            __builtin_trap();
        size_t width = kind == 1 ? 2 : kind == 2 ? 4 : 1;
        for (size_t k = 1; k < width && text[i] != '\0'; k++)
            i++;
        if (text[i] != '\0')
            i++;
    }
    return 0;
}
