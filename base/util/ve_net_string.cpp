// Wire scrambling of texts (see ve_net_string.h). The intermediate text puts
// the time stamp's eight hex digits S7..S0 around the text T:
//   S7 T0 S6 T1 .. T(m-1) S5 S4 S3 S2 S1 S0
// a random letter goes before it and another after the scrambled bytes. Each
// byte is chained to the previous output byte and to a key entry, modulo 255 in
// 1..255, so the form holds no NUL.
#include "base/util/ve_net_string_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <new>
#include <string>

#include "base/util/zel_errors.h"

namespace
{

// Fixed for the program and shared by both directions; each used by its whole
// part, all at least 1 so that the position term never goes below zero.
const float S_key[16] = {17.25f, 3.5f,  101.75f, 58.0f,  9.125f, 222.5f, 41.0f,  133.25f,
                         76.5f,  12.0f, 199.75f, 64.25f, 5.5f,   150.0f, 88.75f, 31.0f};

uint32_t S_key_at(uint64_t i)
{
    return static_cast<uint32_t>(S_key[i % 16]);
}

// The C library's rand() range, from a generator local to the call so that
// scrambling does not disturb the process's own sequence.
struct S_random {
    uint32_t state;
    uint32_t next()
    {
        state = state * 1103515245u + 12345u;
        return (state / 65536u) % 32768u;
    }
    char letter()
    {
        return static_cast<char>(65 + (26 * next()) / 32767);
    }
};

} // namespace

int32_t ves_string_scramble(const char *text, char *out, uint32_t stamp, uint32_t seed)
{
    if (!out)
        return ZE_NULL_POINTER;
    if (!text || !text[0]) {
        out[0] = '\0';
        return 0;
    }
    try {
        size_t m = strlen(text);
        char digits[9];
        snprintf(digits, sizeof(digits), "%08X", stamp);
        S_random random{seed};
        // b: the random letter, then the intermediate text.
        std::string b;
        b.reserve(m + 9);
        b += random.letter();
        b += digits[0];
        b += text[0];
        b += digits[1];
        b.append(text + 1, m - 1);
        b.append(digits + 2, 6);
        uint64_t previous = 0;
        for (size_t i = 0; i < b.size(); ++i) {
            uint64_t value = (static_cast<unsigned char>(b[i]) - 1u) + (i + S_key_at(i) - 1) +
                             (i > 0 ? previous - 1 : 0);
            previous = value % 255 + 1;
            out[i] = static_cast<char>(previous);
        }
        out[b.size()] = random.letter();
        out[b.size() + 1] = '\0';
        return static_cast<int32_t>(b.size() + 1);
    } catch (const std::bad_alloc &) {
        return ZE_BUFFER_NO_MEMORY;
    }
}

int32_t VES_string_mem2net(const char *text, char *out)
{
    uint32_t now = static_cast<uint32_t>(time(nullptr));
    return ves_string_scramble(text, out, now, now);
}

int32_t VES_string_net2mem(const char *in, char *out, uint32_t *stamp)
{
    if (!out)
        return ZE_NULL_POINTER;
    if (stamp)
        *stamp = 0;
    if (!in || !in[0]) {
        out[0] = '\0';
        return 0;
    }
    size_t length = strlen(in);
    // A form of a one-character text is the shortest there is.
    if (length < VES_NET_STRING_OVERHEAD + 1) {
        out[0] = '\0';
        return ZE_INVALID_ARGUMENT;
    }
    try {
        size_t count = length - 1; // the trailing random letter is dropped
        std::string b(count, '\0');
        for (size_t i = 0; i < count; ++i) {
            int64_t value = (static_cast<unsigned char>(in[i]) - 1) -
                            static_cast<int64_t>(i + S_key_at(i) - 1) -
                            (i > 0 ? static_cast<unsigned char>(in[i - 1]) - 1 : 0);
            value %= 255;
            if (value < 0)
                value += 255;
            b[i] = static_cast<char>(value + 1);
        }
        // The intermediate text is b[1 .. count-1], n = count - 1 bytes.
        const char *mid = b.data() + 1;
        size_t n = count - 1;
        size_t m = n - 8;
        out[0] = mid[1];
        memcpy(out + 1, mid + 3, m - 1);
        out[m] = '\0';
        char digits[9] = {mid[0],     mid[2],     mid[n - 6], mid[n - 5], mid[n - 4],
                          mid[n - 3], mid[n - 2], mid[n - 1], '\0'};
        if (stamp) {
            char *end = nullptr;
            unsigned long value = strtoul(digits, &end, 16);
            bool hex = strspn(digits, "0123456789ABCDEFabcdef") == 8;
            *stamp = (hex && end && *end == '\0') ? static_cast<uint32_t>(value) : 0;
        }
        return static_cast<int32_t>(m);
    } catch (const std::bad_alloc &) {
        return ZE_BUFFER_NO_MEMORY;
    }
}
