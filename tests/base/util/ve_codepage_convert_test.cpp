// Code-page converters: the byte maps, Shift-JIS and EUC-JP by arithmetic,
// Big5 and EUC-TW through iconv; every case runs in a buffer of exactly its
// size, so a read or write past it is caught.
#include "base/util/ve_codepage_internal.h"

#include "base/util/zel_errors.h"

#include <gtest/gtest.h>

#include <atomic>
#include <iconv.h>
#include <memory>
#include <random>
#include <string.h>
#include <string>
#include <thread>
#include <vector>

namespace
{

using Converter = int32_t (*)(char *, int32_t, const int32_t *);

// Runs a converter over the input in a heap buffer of exactly size bytes,
// so that any write or read past it is caught.
std::string run(Converter convert, const std::string &input, int32_t size)
{
    std::unique_ptr<char[]> buffer(new char[static_cast<size_t>(size)]);
    memset(buffer.get(), 'X', static_cast<size_t>(size));
    memcpy(buffer.get(), input.c_str(), std::min(input.size() + 1, static_cast<size_t>(size)));
    EXPECT_EQ(convert(buffer.get(), size, nullptr), 0);
    return std::string(buffer.get(), strnlen(buffer.get(), static_cast<size_t>(size)));
}

std::string run(Converter convert, const std::string &input)
{
    return run(convert, input, static_cast<int32_t>(input.size() * 2 + 1));
}

struct Case {
    Converter convert;
    const char *name;
    std::string input;
    int32_t size; // 0: room enough
    std::string expected;
};

TEST(CodepageConverters, ConvertCharactersAndStayInsideTheBuffer)
{
    const Case cases[] = {
        // Shift-JIS to EUC-JP: kana, kanji of both lead ranges, half-width kana.
        {codepage_sjis_to_eucjp, "space", "\x81\x40", 0, "\xA1\xA1"},
        {codepage_sjis_to_eucjp, "hiragana", "a\x82\xA0z", 0, "a\xA4\xA2z"},
        {codepage_sjis_to_eucjp, "kanji 889F", "\x88\x9F", 0, "\xB0\xA1"},
        {codepage_sjis_to_eucjp, "kanji E040", "\xE0\x40", 0, "\xDF\xA1"},
        {codepage_sjis_to_eucjp, "kanji EAA4", "\xEA\xA4", 0, "\xF4\xA6"},
        {codepage_sjis_to_eucjp, "half-width", "\xB1\xDF", 0, "\x8E\xB1\x8E\xDF"},
        // Growth works through a scratch copy and cuts whole characters.
        {codepage_sjis_to_eucjp, "grows", "\xB1\xB2\xB3", 7, "\x8E\xB1\x8E\xB2\x8E\xB3"},
        {codepage_sjis_to_eucjp, "cut", "\xB1\xB2\xB3", 6, "\x8E\xB1\x8E\xB2"},
        {codepage_sjis_to_eucjp, "cut odd", "a\xB1\xB2", 5, "a\x8E\xB1"},
        {codepage_sjis_to_eucjp, "lead at end", "ab\x81", 0, "ab"},
        {codepage_sjis_to_eucjp, "size 1", "abc", 1, ""},
        // EUC-JP to Shift-JIS.
        {codepage_eucjp_to_sjis, "space", "\xA1\xA1", 0, "\x81\x40"},
        {codepage_eucjp_to_sjis, "kanji", "x\xB0\xA1y", 0, "x\x88\x9Fy"},
        {codepage_eucjp_to_sjis, "kanji F4A6", "\xF4\xA6", 0, "\xEA\xA4"},
        {codepage_eucjp_to_sjis, "half-width", "\x8E\xB1\x8E\xDF", 0, "\xB1\xDF"},
        {codepage_eucjp_to_sjis, "lead at end", "a\xB0", 0, "a"},
        {codepage_eucjp_to_sjis, "single shift at end", "a\x8E", 0, "a"},
        {codepage_eucjp_to_sjis, "cut", "\xB0\xA1\xB0\xA1", 4, "\x88\x9F"},
        // Big5 to EUC-TW: planes 1, 2, 3 and 15 (written 0x8E 0xB0).
        {codepage_big5_to_euctw, "plane 1", "a\xA4\xA4z", 0, "a\xC4\xE3z"},
        {codepage_big5_to_euctw, "plane 2", "\xC9\x40", 0, "\x8E\xA2\xA1\xA1"},
        {codepage_big5_to_euctw, "plane 3", "\x89\x43", 0, "\x8E\xA3\xDA\xBC"},
        {codepage_big5_to_euctw, "plane 15", "\x89\x58", 0, "\x8E\xB0\xA2\xAC"},
        {codepage_big5_to_euctw, "plane 4 unsupported", "\x89\x61", 0, "?"},
        {codepage_big5_to_euctw, "index gap", "\x8D\x40", 0, "?"},
        {codepage_big5_to_euctw, "lone byte",
         "\x80"
         "a",
         0, "?a"},
        {codepage_big5_to_euctw, "bad trail", "\xA4\x30", 0, "?0"},
        {codepage_big5_to_euctw, "lead at end", "a\xA4", 0, "a"},
        {codepage_big5_to_euctw, "grows, cut", "\xC9\x40\xC9\x40", 6, "\x8E\xA2\xA1\xA1"},
        {codepage_big5_to_euctw, "no room", "\xC9\x40", 4, ""},
        // EUC-TW to Big5.
        {codepage_euctw_to_big5, "plane 1", "\xC4\xE3", 0, "\xA4\xA4"},
        {codepage_euctw_to_big5, "plane 1 long", "\x8E\xA1\xC4\xA1", 0, "\xA4\x40"},
        {codepage_euctw_to_big5, "plane 2", "\x8E\xA2\xA1\xA1", 0, "\xC9\x40"},
        {codepage_euctw_to_big5, "plane 3", "\x8E\xA3\xDA\xBC", 0, "\x89\x43"},
        {codepage_euctw_to_big5, "plane 15", "\x8E\xB0\xA2\xAC", 0, "\x89\x58"},
        {codepage_euctw_to_big5, "library plane 15", "\x8E\xAF\xA2\xAC", 0, "?"},
        {codepage_euctw_to_big5, "plane 4", "\x8E\xA4\xA6\xA3", 0, "?"},
        {codepage_euctw_to_big5, "cut sequence", "a\x8E\xA2\xA1", 0, "a"},
        {codepage_euctw_to_big5, "lead at end", "a\xC4", 0, "a"},
        {codepage_euctw_to_big5, "lone byte", "\x90z", 0, "?z"},
        {codepage_euctw_to_big5, "cut", "\xC4\xA1\xC4\xA1\xC4\xA1", 5, "\xA4\x40\xA4\x40"},
    };
    for (const Case &c : cases) {
        std::string out = c.size > 0 ? run(c.convert, c.input, c.size) : run(c.convert, c.input);
        EXPECT_EQ(out, c.expected) << c.name;
    }
}

TEST(CodepageConverters, RefuseNullAndAcceptTinyBuffers)
{
    for (Converter convert : {codepage_sjis_to_eucjp, codepage_eucjp_to_sjis,
                              codepage_big5_to_euctw, codepage_euctw_to_big5}) {
        EXPECT_EQ(convert(nullptr, 10, nullptr), ZE_NULL_POINTER);
        char c = 'a';
        EXPECT_EQ(convert(&c, 0, nullptr), 0);
        EXPECT_EQ(c, 'a');
        // No terminator inside the buffer: the text is cut to size - 1.
        char unterminated[3] = {'a', 'b', 'c'};
        EXPECT_EQ(convert(unterminated, 3, nullptr), 0);
        EXPECT_STREQ(unterminated, "ab");
    }
    EXPECT_EQ(codepage_map_convert(nullptr, 10, nullptr), ZE_NULL_POINTER);
}

TEST(CodepageConverters, MapConverterReplacesHighBytesOnly)
{
    int32_t map[128];
    for (int i = 0; i < 128; i++)
        map[i] = 255 - i;
    char in[] = "a\x80\xFFz";
    EXPECT_EQ(codepage_map_convert(in, sizeof in, map), 0);
    EXPECT_STREQ(in, "a\xFF\x80z");
    char text[] = "\x80\x80\x80";
    EXPECT_EQ(codepage_map_convert(text, 2, map), 0);
    EXPECT_STREQ(text, "\xFF\xFF\x80") << "no byte past the size";
}

// Converts one character with the C library's iconv; empty when it has none.
std::string reference(const char *to, const char *from, const std::string &in)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return "";
    char out[16];
    char *ip = const_cast<char *>(in.data());
    char *op = out;
    size_t il = in.size(), ol = sizeof out;
    size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    return r == static_cast<size_t>(-1) ? "" : std::string(out, sizeof out - ol);
}

TEST(CodepageConverters, ShiftJisAgreesWithTheCLibraryAndRoundTrips)
{
    int checked = 0;
    for (int lead = 0x81; lead <= 0xEA; lead++) {
        if (lead > 0x9F && lead < 0xE0)
            continue;
        for (int trail = 0x40; trail <= 0xFC; trail++) {
            if (trail == 0x7F)
                continue;
            std::string sjis{static_cast<char>(lead), static_cast<char>(trail)};
            std::string euc = reference("EUC-JP", "SHIFT_JIS", sjis);
            if (euc.size() != 2)
                continue;
            ASSERT_EQ(run(codepage_sjis_to_eucjp, sjis), euc) << lead << " " << trail;
            ASSERT_EQ(run(codepage_eucjp_to_sjis, euc), sjis) << lead << " " << trail;
            checked++;
        }
    }
    EXPECT_GT(checked, 6000);
}

TEST(CodepageConverters, Big5RoundTripsThroughEucTw)
{
    int checked = 0;
    for (int lead = 0xA4; lead <= 0xF9; lead++) {
        for (int trail : {0x40, 0x55, 0x7E, 0xA1, 0xC0, 0xFE}) {
            std::string big5{static_cast<char>(lead), static_cast<char>(trail)};
            std::string euc = run(codepage_big5_to_euctw, big5);
            if (euc == "?")
                continue;
            ASSERT_EQ(run(codepage_euctw_to_big5, euc), big5) << lead << " " << trail;
            checked++;
        }
    }
    EXPECT_GT(checked, 400);
}

} // namespace

// A reference for the Big5 and EUC-TW converters that sends every character
// through iconv on its own, from a descriptor opened for the call: the
// converters batch characters into few calls on descriptors kept per thread
// and must give the same bytes on any text.
namespace reference
{

struct Iconv {
    iconv_t cd;
    Iconv(const char *to, const char *from) : cd(iconv_open(to, from)) {}
    ~Iconv()
    {
        iconv_close(cd);
    }
    std::string one(const std::string &in)
    {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char out[16];
        char *ip = const_cast<char *>(in.data()), *op = out;
        size_t il = in.size(), ol = sizeof out;
        if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0 ||
            iconv(cd, nullptr, nullptr, &op, &ol) == static_cast<size_t>(-1))
            return "";
        return std::string(out, sizeof out - ol);
    }
};

constexpr uint16_t kNone = 0xFFFD;

bool Big5Has(unsigned char lead, unsigned char trail)
{
    bool lead_ok = (lead >= 0x88 && lead <= 0x8B) || (lead >= 0x8D && lead <= 0xFE);
    bool trail_ok = (trail >= 0x40 && trail <= 0x7E) || (trail >= 0xA1 && trail <= 0xFE);
    int index = (lead - 0x88) * 157 + (trail - (trail < 0xA1 ? 0x40 : 0x62));
    return lead_ok && trail_ok && !(index >= 627 && index <= 816) && index < 18683;
}

bool Euc(unsigned char b)
{
    return b >= 0xA1 && b <= 0xFE;
}

uint16_t ToUnicode(Iconv &cv, const std::string &c)
{
    std::string out = cv.one(c);
    if (out.size() != 4)
        return kNone;
    uint32_t u = static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8 |
                 static_cast<uint32_t>(static_cast<unsigned char>(out[2])) << 16 |
                 static_cast<uint32_t>(static_cast<unsigned char>(out[3])) << 24;
    return u > 0xFFFF ? kNone : static_cast<uint16_t>(u);
}

std::string Convert(bool from_big5, const std::string &text, size_t size)
{
    std::string in = text.substr(0, strnlen(text.c_str(), size));
    std::vector<uint16_t> unicode;
    Iconv decoder("UTF-32LE", from_big5 ? "BIG5-HKSCS" : "EUC-TW");
    for (size_t i = 0; i < in.size() && unicode.size() < size;) {
        auto b = static_cast<unsigned char>(in[i]);
        if (b < 0x80) {
            unicode.push_back(b);
            i++;
            continue;
        }
        if (from_big5) {
            if (i + 1 >= in.size())
                break;
            auto t = static_cast<unsigned char>(in[i + 1]);
            bool pair = ((b >= 0x88 && b <= 0x8B) || b >= 0x8D) &&
                        ((t >= 0x40 && t <= 0x7E) || (t >= 0xA1 && t <= 0xFE));
            if (!pair) {
                unicode.push_back(kNone);
                i++;
                continue;
            }
            unicode.push_back(Big5Has(b, t) ? ToUnicode(decoder, in.substr(i, 2)) : kNone);
            i += 2;
        } else if (Euc(b)) {
            if (i + 1 >= in.size())
                break;
            if (!Euc(static_cast<unsigned char>(in[i + 1]))) {
                unicode.push_back(kNone);
                i++;
                continue;
            }
            unicode.push_back(ToUnicode(decoder, in.substr(i, 2)));
            i += 2;
        } else if (b == 0x8E) {
            if (i + 3 >= in.size())
                break;
            auto plane = static_cast<unsigned char>(in[i + 1]);
            if (!Euc(static_cast<unsigned char>(in[i + 2])) ||
                !Euc(static_cast<unsigned char>(in[i + 3]))) {
                unicode.push_back(kNone);
                i++;
                continue;
            }
            uint16_t u = kNone;
            if (plane == 0xA1)
                u = ToUnicode(decoder, in.substr(i + 2, 2));
            else if (plane == 0xA2 || plane == 0xA3 || plane == 0xB0)
                u = ToUnicode(decoder, std::string("\x8E") +
                                           static_cast<char>(plane == 0xB0 ? 0xAF : plane) +
                                           in.substr(i + 2, 2));
            unicode.push_back(u);
            i += 4;
        } else {
            unicode.push_back(kNone);
            i++;
        }
    }
    Iconv encoder(from_big5 ? "EUC-TW" : "BIG5-HKSCS", "UTF-32LE");
    std::string out;
    for (uint16_t u : unicode) {
        std::string c;
        if (u < 0x80) {
            c = std::string(1, static_cast<char>(u));
        } else if (u != kNone) {
            char in4[4] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8), 0, 0};
            c = encoder.one(std::string(in4, 4));
            bool keep;
            if (from_big5) {
                if (c.size() == 4 && c[1] == '\xAF')
                    c[1] = '\xB0';
                keep = c.size() == 2 ? Euc(static_cast<unsigned char>(c[0])) &&
                                           Euc(static_cast<unsigned char>(c[1]))
                                     : c.size() == 4 && c[0] == '\x8E' &&
                                           (c[1] == '\xA2' || c[1] == '\xA3' || c[1] == '\xB0');
            } else {
                keep = c.size() == 2 &&
                       Big5Has(static_cast<unsigned char>(c[0]), static_cast<unsigned char>(c[1]));
            }
            if (!keep)
                c.clear();
        }
        if (c.empty())
            c = "?";
        if (out.size() + c.size() > size - 1)
            break;
        out += c;
    }
    return out;
}

// Text of ASCII, two-byte characters over the whole lead and trail ranges
// (the Hong Kong rows with their characters that become two code points and
// pairs that combine included), four-byte EUC-TW sequences of every plane,
// stray bytes, and a last character that may be cut.
// Plain text has only ASCII and two-byte characters of the common rows (and
// EUC-TW plane 2 sequences), as most stored text does.
std::string RandomText(std::mt19937 &random, bool big5, size_t characters, bool plain)
{
    std::string text;
    for (size_t i = 0; i < characters; i++) {
        uint32_t kind = random() % 10;
        if (plain) {
            if (kind < 3) {
                text += static_cast<char>(0x20 + random() % 0x5F);
            } else if (big5) {
                text += static_cast<char>(0xA4 + random() % 0x23);
                text += static_cast<char>(random() % 2 ? 0xA1 + random() % 0x5E
                                                       : 0x40 + random() % 0x3F);
            } else if (kind < 9) {
                text += static_cast<char>(0xC4 + random() % 0x20);
                text += static_cast<char>(0xA1 + random() % 0x5E);
            } else {
                text += "\x8E\xA2";
                text += static_cast<char>(0xA1 + random() % 0x20);
                text += static_cast<char>(0xA1 + random() % 0x5E);
            }
            continue;
        }
        if (kind < 3) {
            text += static_cast<char>(0x20 + random() % 0x5F);
        } else if (kind < 8) {
            text += static_cast<char>(big5 ? 0x81 + random() % 0x7E : 0xA1 + random() % 0x5E);
            text +=
                static_cast<char>(random() % 2 ? 0xA1 + random() % 0x5E : 0x40 + random() % 0x3F);
        } else if (kind < 9 && !big5) {
            const unsigned char planes[] = {0xA1, 0xA2, 0xA3, 0xA4, 0xAF, 0xB0};
            text += '\x8E';
            text += static_cast<char>(planes[random() % 6]);
            text += static_cast<char>(0xA1 + random() % 0x5E);
            text += static_cast<char>(0xA1 + random() % 0x5E);
        } else if (big5) {
            // The Hong Kong characters that decompose, and the pairs that
            // could be composed on the way back.
            const char *special[] = {"\x88\x62", "\x88\x64", "\x88\xA3", "\x88\xA5",
                                     "\x88\x66", "\x88\xA7", "\x88\x40", "\x88\x59"};
            text += special[random() % 8];
        } else {
            text += static_cast<char>(0x80 + random() % 0x80);
        }
    }
    return text;
}

} // namespace reference

TEST(CodepageConverters, Big5AndEucTwAgreeWithOneCharacterAtATime)
{
    std::mt19937 random(81);
    for (int round = 0; round < 600; round++) {
        bool big5 = round % 2 == 0;
        std::string text = reference::RandomText(random, big5, 1 + random() % 200, round % 4 >= 2);
        // Room enough, and buffers that cut the output.
        for (size_t size : {text.size() * 2 + 1, text.size() + 1, text.size() / 2 + 1}) {
            SCOPED_TRACE(testing::Message() << "round " << round << " size " << size);
            std::string expected = reference::Convert(big5, text, size);
            std::string got = run(big5 ? codepage_big5_to_euctw : codepage_euctw_to_big5, text,
                                  static_cast<int32_t>(size));
            ASSERT_EQ(got, expected);
        }
    }
}

TEST(CodepageConverters, EveryThreadConvertsWithItsOwnDescriptors)
{
    const std::string big5 = "a\xA4\xA4z\xC9\x40\x89\x43\x89\x58",
                      euctw = "a\xC4\xE3z\x8E\xA2\xA1\xA1";
    const std::string big5_expected = run(codepage_big5_to_euctw, big5),
                      euctw_expected = run(codepage_euctw_to_big5, euctw);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; t++)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; i++) {
                std::string b = big5, e = euctw;
                b.resize(b.size() * 2 + 1, '\0');
                e.resize(e.size() * 2 + 1, '\0');
                codepage_big5_to_euctw(b.data(), static_cast<int32_t>(b.size()), nullptr);
                codepage_euctw_to_big5(e.data(), static_cast<int32_t>(e.size()), nullptr);
                wrong += b.c_str() != big5_expected || e.c_str() != euctw_expected;
            }
        });
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(wrong, 0);
}

// The Big5 and EUC-TW converters take each character's result from tables
// made from the long way: over random texts of every kind of position (ASCII,
// characters of every lead and plane, bytes that begin nothing, sequences cut
// by the end) and output rooms from ample to tight, both give the same bytes.
TEST(CodepageConverters, TablesGiveTheLongWaysResults)
{
    using Long = int32_t (*)(char *, int32_t);
    struct Direction {
        const char *name;
        Converter table;
        Long long_way;
        bool euc;
    } directions[] = {
        {"Big5 to EUC-TW", codepage_big5_to_euctw, codepage_big5_to_euctw_long, false},
        {"EUC-TW to Big5", codepage_euctw_to_big5, codepage_euctw_to_big5_long, true},
    };
    std::mt19937 random(20261211);
    auto byte = [&](int low, int high) {
        return static_cast<char>(std::uniform_int_distribution<int>(low, high)(random));
    };
    for (const Direction &d : directions) {
        SCOPED_TRACE(d.name);
        for (int round = 0; round < 400; round++) {
            std::string text;
            const int pieces = std::uniform_int_distribution<int>(0, 40)(random);
            for (int k = 0; k < pieces; k++) {
                switch (std::uniform_int_distribution<int>(0, 5)(random)) {
                case 0:
                    text += byte(0x20, 0x7E);
                    break;
                case 1: // any byte but the terminator
                    text += byte(0x01, 0xFF);
                    break;
                case 2: // a pair of the main range
                    text += byte(0xA1, 0xFE);
                    text += d.euc ? byte(0xA1, 0xFE) : byte(0x40, 0xFE);
                    break;
                case 3: // a pair of any lead
                    text += byte(0x80, 0xFF);
                    text += byte(0x01, 0xFF);
                    break;
                case 4: // EUC-TW's four-byte form, any plane byte
                    text += '\x8E';
                    text += k % 2 ? byte(0xA1, 0xB0) : byte(0x01, 0xFF);
                    text += byte(0xA1, 0xFE);
                    text += byte(0xA1, 0xFE);
                    break;
                default: // Big5's Hong Kong rows
                    text += byte(0x87, 0xA0);
                    text += byte(0x40, 0xFE);
                    break;
                }
            }
            const int32_t ample = static_cast<int32_t>(text.size() * 2 + 1);
            for (int32_t size : {ample, static_cast<int32_t>(text.size() + 1),
                                 static_cast<int32_t>(text.size() / 2 + 1), 1}) {
                std::vector<char> a(static_cast<size_t>(size)), b(static_cast<size_t>(size));
                const size_t n = std::min(text.size() + 1, static_cast<size_t>(size));
                memcpy(a.data(), text.c_str(), n);
                memcpy(b.data(), text.c_str(), n);
                ASSERT_EQ(d.table(a.data(), size, nullptr), 0);
                ASSERT_EQ(d.long_way(b.data(), size), 0);
                ASSERT_EQ(std::string(a.data()), std::string(b.data()))
                    << "round " << round << ", size " << size;
            }
        }
    }
}
