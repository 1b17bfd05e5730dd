// The code-page converters: bytes 128..255 through a map for single-byte
// pages, Shift-JIS and EUC-JP by arithmetic, Big5 (with its Hong Kong rows)
// and EUC-TW through 16-bit Unicode with the C library's iconv, whose
// descriptors each thread keeps open and which converts whole runs of
// characters per call. Every character converts as if alone, so Big5 and
// EUC-TW go through tables of each character's result, made once per process
// by that long way over every character. Converters that may grow the text work through a
// scratch copy, so they never write over input not yet read, cut the text at
// a character boundary and never read past a lead byte that ends the text.
#include "base/util/ve_codepage_internal.h"

#include "base/util/zel_errors.h"

#include <array>
#include <bit>
#include <iconv.h>
#include <new>
#include <string.h>
#include <vector>

namespace
{

constexpr uint16_t kNoCharacter = 0xFFFD;
constexpr char kNoMapping = '?';

// Output of a converter, refusing any character that would not fit before
// the terminator.
struct S_OUTPUT {
    std::string bytes;
    size_t limit;
    bool full = false;

    bool put(const unsigned char *c, size_t n)
    {
        if (full || bytes.size() + n > limit) {
            full = true;
            return false;
        }
        bytes.append(reinterpret_cast<const char *>(c), n);
        return true;
    }
    bool put1(unsigned char c)
    {
        return put(&c, 1);
    }
    bool put2(unsigned char c1, unsigned char c2)
    {
        unsigned char c[2] = {c1, c2};
        return put(c, 2);
    }
};

// The iconv conversions the converters use, opened once per thread on first
// use and closed when the thread ends (a descriptor keeps state, so it is
// not shared between threads).
enum S_CONVERSION { kBig5Decode, kBig5Encode, kEuctwDecode, kEuctwEncode, kConversions };

// 32-bit Unicode, least significant byte first: on a little-endian host the
// C library's own wide characters, which it converts to and from in one
// step instead of two.
constexpr const char *kWide = std::endian::native == std::endian::little ? "WCHAR_T" : "UTF-32LE";

constexpr const char *kConversionNames[kConversions][2] = {
    {kWide, "BIG5-HKSCS"},
    {"BIG5-HKSCS", kWide},
    {kWide, "EUC-TW"},
    {"EUC-TW", kWide},
};

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1); // iconv_open's failure value

struct S_DESCRIPTORS {
    iconv_t cd[kConversions] = {kNoDescriptor, kNoDescriptor, kNoDescriptor, kNoDescriptor};
    S_DESCRIPTORS() = default;
    S_DESCRIPTORS(const S_DESCRIPTORS &) = delete;
    S_DESCRIPTORS &operator=(const S_DESCRIPTORS &) = delete;
    ~S_DESCRIPTORS()
    {
        for (iconv_t d : cd)
            if (d != kNoDescriptor)
                iconv_close(d);
    }
};

// The thread's descriptor of a conversion, kNoDescriptor when it cannot be
// opened.
iconv_t S_descriptor(S_CONVERSION which)
{
    thread_local S_DESCRIPTORS open;
    iconv_t &cd = open.cd[which];
    if (cd == kNoDescriptor)
        cd = iconv_open(kConversionNames[which][0], kConversionNames[which][1]);
    return cd;
}

// Converts one whole character from its initial state, flushing any shift
// state; the output length, or 0 when it has no conversion.
size_t S_convert_one(iconv_t cd, const unsigned char *in, size_t in_length, unsigned char *out,
                     size_t out_size)
{
    if (cd == kNoDescriptor)
        return 0;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *ip = const_cast<char *>(reinterpret_cast<const char *>(in));
    char *op = reinterpret_cast<char *>(out);
    size_t il = in_length, ol = out_size;
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0)
        return 0;
    if (iconv(cd, nullptr, nullptr, &op, &ol) == static_cast<size_t>(-1))
        return 0;
    return out_size - ol;
}

// Characters to convert through one descriptor, laid end to end, and what
// each became: its bytes in 'converted' from offset[i], length[i] of them
// (0: no conversion).
struct S_BATCH {
    std::string input;
    std::vector<uint32_t> input_length;
    std::vector<unsigned char> converted;
    std::vector<uint32_t> offset;
    std::vector<uint32_t> length;

    void add(const unsigned char *c, size_t n)
    {
        input.append(reinterpret_cast<const char *>(c), n);
        input_length.push_back(static_cast<uint32_t>(n));
    }
    size_t size() const
    {
        return input_length.size();
    }
};

// Converts every character of the batch as if one at a time from the initial
// state, in as few iconv calls as the text allows: a run goes through in one
// call and is split after it by split(bytes, n), the length of the first
// converted character; a run whose output does not split into exactly one
// result per character (characters that combine, or a character that
// becomes two) is redone one character at a time, and a character the
// call stops at is converted alone.
template <typename SPLIT> void S_convert_batch(iconv_t cd, S_BATCH &batch, SPLIT split)
{
    size_t count = batch.size();
    batch.converted.assign(batch.input.size() * 4 + 16, 0);
    batch.offset.assign(count, 0);
    batch.length.assign(count, 0);
    if (cd == kNoDescriptor)
        return;
    size_t next = 0, at = 0, written = 0;
    auto one_by_one = [&](size_t first, size_t end) {
        for (size_t i = first; i < end; i++) {
            batch.offset[i] = static_cast<uint32_t>(written);
            size_t n =
                S_convert_one(cd, reinterpret_cast<const unsigned char *>(batch.input.data()) + at,
                              batch.input_length[i], batch.converted.data() + written,
                              batch.converted.size() - written);
            batch.length[i] = static_cast<uint32_t>(n);
            written += n;
            at += batch.input_length[i];
        }
    };
    while (next < count) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char *ip = batch.input.data() + at;
        char *op = reinterpret_cast<char *>(batch.converted.data() + written);
        size_t il = batch.input.size() - at, ol = batch.converted.size() - written;
        bool stopped = iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1);
        iconv(cd, nullptr, nullptr, &op, &ol);
        // The whole characters the call took.
        size_t consumed = batch.input.size() - at - il, taken = 0, bytes = 0;
        while (next + taken < count && bytes + batch.input_length[next + taken] <= consumed)
            bytes += batch.input_length[next + taken++];
        const unsigned char *out = batch.converted.data() + written;
        size_t produced = batch.converted.size() - written - ol, used = 0, i = 0;
        for (; i < taken && used < produced; i++) {
            size_t n = split(out + used, produced - used);
            if (n == 0)
                break;
            batch.offset[next + i] = static_cast<uint32_t>(written + used);
            batch.length[next + i] = static_cast<uint32_t>(n);
            used += n;
        }
        if (bytes != consumed || i != taken || used != produced) {
            one_by_one(next, next + taken); // from 'written': the run's output is dropped
        } else {
            written += produced;
            at += bytes;
        }
        next += taken;
        if (stopped && next < count) {
            one_by_one(next, next + 1);
            next++;
        }
    }
}

// The input of a converter: up to the terminator, or the whole buffer when
// it holds none.
size_t S_input_length(const char *text, int32_t size)
{
    return strnlen(text, static_cast<size_t>(size));
}

// Puts the converted text back in place, terminated.
void S_store(char *text, const S_OUTPUT &out)
{
    memcpy(text, out.bytes.data(), out.bytes.size());
    text[out.bytes.size()] = '\0';
}

} // namespace

// Runs a converter body over a scratch copy of the output; the body gets the
// input bytes and their length and fills the output.
template <typename BODY> static int32_t S_convert(char *text, int32_t size, BODY body)
{
    if (text == nullptr)
        return ZE_NULL_POINTER;
    if (size < 1)
        return 0;
    try {
        S_OUTPUT out;
        out.limit = static_cast<size_t>(size) - 1;
        out.bytes.reserve(out.limit);
        size_t length = S_input_length(text, size);
        body(reinterpret_cast<const unsigned char *>(text), length, out);
        S_store(text, out);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
    return 0;
}

int32_t codepage_map_convert(char *text, int32_t size, const int32_t *map)
{
    if (text == nullptr)
        return ZE_NULL_POINTER;
    if (map == nullptr)
        return 0;
    for (int32_t i = 0; i < size && text[i] != '\0'; i++) {
        auto b = static_cast<unsigned char>(text[i]);
        if (b >= 128)
            text[i] = static_cast<char>(static_cast<unsigned char>(map[b - 128]));
    }
    return 0;
}

// ---- Shift-JIS and EUC-JP ----

static bool S_sjis_lead(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEA);
}

int32_t codepage_sjis_to_eucjp(char *text, int32_t size, const int32_t *)
{
    return S_convert(text, size, [](const unsigned char *in, size_t length, S_OUTPUT &out) {
        for (size_t i = 0; i < length && !out.full;) {
            unsigned char b = in[i];
            if (b >= 0xA0 && b <= 0xDF) {
                out.put2(0x8E, b);
                i++;
            } else if (S_sjis_lead(b)) {
                if (i + 1 >= length)
                    break; // a lead byte without its trail byte
                unsigned t = in[i + 1];
                unsigned a = t < 0x9F ? 1 : 0;
                unsigned c = t < 0x80 ? 0x1F : (t < 0x9F ? 0x20 : 0x7E);
                unsigned row = (b - (b < 0xA0 ? 0x70u : 0xB0u)) * 2 - a;
                out.put2(static_cast<unsigned char>(row + 0x80),
                         static_cast<unsigned char>(t - c + 0x80));
                i += 2;
            } else {
                out.put1(b);
                i++;
            }
        }
    });
}

int32_t codepage_eucjp_to_sjis(char *text, int32_t size, const int32_t *)
{
    return S_convert(text, size, [](const unsigned char *in, size_t length, S_OUTPUT &out) {
        for (size_t i = 0; i < length && !out.full;) {
            unsigned char b = in[i];
            if (b >= 0xA1 && b <= 0xF4) {
                if (i + 1 >= length)
                    break;
                int r = b - 0x80;
                int s = in[i + 1] - 0x80;
                int first = ((r + 1) >> 1) + (r < 0x5F ? 0x70 : 0xB0);
                int second = s + ((r & 1) != 0 ? (s < 0x60 ? 0x1F : 0x20) : 0x7E);
                out.put2(static_cast<unsigned char>(first), static_cast<unsigned char>(second));
                i += 2;
            } else if (b == 0x8E) {
                if (i + 1 >= length)
                    break;
                out.put1(in[i + 1]);
                i += 2;
            } else {
                out.put1(b);
                i++;
            }
        }
    });
}

// ---- Big5 and EUC-TW ----

// The Big5 form: a two-byte character's table index, or -1 when the two
// bytes do not form one.
static constexpr int32_t S_big5_index(unsigned char lead, unsigned char trail)
{
    bool lead_ok = (lead >= 0x88 && lead <= 0x8B) || (lead >= 0x8D && lead <= 0xFE);
    bool trail_ok = (trail >= 0x40 && trail <= 0x7E) || (trail >= 0xA1 && trail <= 0xFE);
    if (!lead_ok || !trail_ok)
        return -1;
    return (lead - 0x88) * 157 + (trail - (trail < 0xA1 ? 0x40 : 0x62));
}

static constexpr bool S_big5_has_character(int32_t index)
{
    return index >= 0 && !(index >= 627 && index <= 816) && index < 18683;
}

static bool S_euc_byte(unsigned char b)
{
    return b >= 0xA1 && b <= 0xFE;
}

// Plane bytes: ours (plane 15 is 0xB0) and the C library's (0xAF).
constexpr unsigned char kPlane1 = 0xA1, kPlane2 = 0xA2, kPlane3 = 0xA3;
constexpr unsigned char kPlane15 = 0xB0, kPlane15Library = 0xAF;

// What a decoder reads: a character it knows without iconv, or the next
// character of its batch.
struct S_DECODED {
    std::vector<int32_t> items; // a code point, or -1 - the batch index
    S_BATCH batch;

    void direct(uint16_t u)
    {
        items.push_back(u);
    }
    void through_iconv(const unsigned char *c, size_t n)
    {
        items.push_back(-1 - static_cast<int32_t>(batch.size()));
        batch.add(c, n);
    }
    size_t size() const
    {
        return items.size();
    }
    // Converts the batch and writes the 16-bit Unicode of every item: U+FFFD
    // for a character without a conversion, beyond 16 bits or that became
    // more than one.
    void finish(S_CONVERSION which, std::vector<uint16_t> &unicode)
    {
        S_convert_batch(S_descriptor(which), batch,
                        [](const unsigned char *, size_t n) -> size_t { return n >= 4 ? 4 : 0; });
        for (int32_t item : items) {
            if (item >= 0) {
                unicode.push_back(static_cast<uint16_t>(item));
                continue;
            }
            auto i = static_cast<size_t>(-1 - item);
            const unsigned char *out = batch.converted.data() + batch.offset[i];
            uint32_t u = batch.length[i] != 4
                             ? kNoCharacter
                             : out[0] | out[1] << 8 | static_cast<uint32_t>(out[2]) << 16 |
                                   static_cast<uint32_t>(out[3]) << 24;
            unicode.push_back(u > 0xFFFF ? kNoCharacter : static_cast<uint16_t>(u));
        }
    }
};

static void S_big5_decode(const unsigned char *in, size_t length, size_t most,
                          std::vector<uint16_t> &unicode)
{
    S_DECODED d;
    for (size_t i = 0; i < length && d.size() < most;) {
        unsigned char b = in[i];
        if (b < 0x80) {
            d.direct(b);
            i++;
            continue;
        }
        if (i + 1 >= length)
            break; // a lead byte without its trail byte
        int32_t index = S_big5_index(b, in[i + 1]);
        if (index < 0) {
            d.direct(kNoCharacter);
            i++;
            continue;
        }
        if (S_big5_has_character(index))
            d.through_iconv(in + i, 2);
        else
            d.direct(kNoCharacter);
        i += 2;
    }
    d.finish(kBig5Decode, unicode);
}

// The length of the first character of a multi-byte text whose two-byte
// characters begin at 0x80 and up, and (EUC-TW) whose 0x8E begins four.
template <bool EUC> static size_t S_split_multibyte(const unsigned char *c, size_t n)
{
    size_t want = c[0] < 0x80 ? 1 : (EUC && c[0] == 0x8E) ? 4 : 2;
    return want <= n ? want : 0;
}

// Every character of 16-bit Unicode that is not ASCII, converted by iconv in
// one batch (the encoders take their bytes from it in the same order).
template <bool EUC>
static S_BATCH S_encode_batch(S_CONVERSION which, const std::vector<uint16_t> &unicode)
{
    S_BATCH batch;
    for (uint16_t u : unicode) {
        if (u < 0x80 || u == kNoCharacter)
            continue;
        unsigned char in[4] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8), 0,
                               0};
        batch.add(in, sizeof in);
    }
    S_convert_batch(S_descriptor(which), batch, S_split_multibyte<EUC>);
    return batch;
}

// Encodes 16-bit Unicode with iconv: ASCII passes, every other character
// goes through iconv and is kept when 'keep' accepts (and may adjust) its
// bytes, else it becomes '?'.
template <bool EUC, typename KEEP>
static void S_encode(S_CONVERSION which, const std::vector<uint16_t> &unicode, S_OUTPUT &out,
                     KEEP keep)
{
    S_BATCH batch = S_encode_batch<EUC>(which, unicode);
    size_t i = 0;
    for (uint16_t u : unicode) {
        if (out.full)
            break;
        if (u < 0x80) {
            out.put1(static_cast<unsigned char>(u));
            continue;
        }
        unsigned char c[16];
        size_t n = 0;
        if (u != kNoCharacter) {
            n = batch.length[i];
            if (n > sizeof c)
                n = 0;
            memcpy(c, batch.converted.data() + batch.offset[i], n);
            i++;
        }
        if (n > 0 && keep(c, n))
            out.put(c, n);
        else
            out.put1(kNoMapping);
    }
}

static void S_big5_encode(const std::vector<uint16_t> &unicode, S_OUTPUT &out)
{
    S_encode<false>(kBig5Encode, unicode, out, [](unsigned char *c, size_t n) {
        return n == 2 && S_big5_has_character(S_big5_index(c[0], c[1]));
    });
}

static void S_euctw_decode(const unsigned char *in, size_t length, size_t most,
                           std::vector<uint16_t> &unicode)
{
    S_DECODED d;
    for (size_t i = 0; i < length && d.size() < most;) {
        unsigned char b = in[i];
        if (b < 0x80) {
            d.direct(b);
            i++;
        } else if (S_euc_byte(b)) {
            if (i + 1 >= length)
                break;
            if (!S_euc_byte(in[i + 1])) {
                d.direct(kNoCharacter);
                i++;
                continue;
            }
            d.through_iconv(in + i, 2);
            i += 2;
        } else if (b == 0x8E) {
            if (i + 3 >= length)
                break; // the sequence is cut by the end of the text
            unsigned char plane = in[i + 1];
            const unsigned char *pair = in + i + 2;
            if (!S_euc_byte(pair[0]) || !S_euc_byte(pair[1])) {
                d.direct(kNoCharacter);
                i++;
                continue;
            }
            if (plane == kPlane1) {
                d.through_iconv(pair, 2);
            } else if (plane == kPlane2 || plane == kPlane3 || plane == kPlane15) {
                unsigned char seq[4] = {0x8E, plane == kPlane15 ? kPlane15Library : plane, pair[0],
                                        pair[1]};
                d.through_iconv(seq, 4);
            } else {
                d.direct(kNoCharacter);
            }
            i += 4;
        } else {
            d.direct(kNoCharacter);
            i++;
        }
    }
    d.finish(kEuctwDecode, unicode);
}

// Only planes 1, 2, 3 and 15 are written; plane 15 with our plane byte.
static void S_euctw_encode(const std::vector<uint16_t> &unicode, S_OUTPUT &out)
{
    S_encode<true>(kEuctwEncode, unicode, out, [](unsigned char *c, size_t n) {
        if (n == 2)
            return S_euc_byte(c[0]) && S_euc_byte(c[1]);
        if (n != 4 || c[0] != 0x8E)
            return false;
        if (c[1] == kPlane15Library)
            c[1] = kPlane15;
        return c[1] == kPlane2 || c[1] == kPlane3 || c[1] == kPlane15;
    });
}

// ---- per-character tables ----

// What the long way writes for one character position, found once per
// process by running the long way's own batches over every character a
// position can hold: the output bytes (1 to 4) and the input bytes taken.
// Each character converts as if alone, so a text is the run of its
// characters' entries; only the end of the text (a cut character stops the
// text) and the room of the output need the text itself.
struct S_STEP {
    unsigned char out[4];
    uint8_t out_length;
    uint8_t advance;
};

// The bytes S_encode writes for each 16-bit character, with the same batch
// and the same rule (ASCII as it stands, a kept character's bytes, else '?').
template <bool EUC, typename KEEP>
static std::vector<S_STEP> S_encode_each(S_CONVERSION which, const std::vector<uint16_t> &unicode,
                                         KEEP keep)
{
    S_BATCH batch = S_encode_batch<EUC>(which, unicode);
    std::vector<S_STEP> steps;
    size_t i = 0;
    for (uint16_t u : unicode) {
        S_STEP step = {{kNoMapping, 0, 0, 0}, 1, 0};
        if (u < 0x80) {
            step.out[0] = static_cast<unsigned char>(u);
        } else if (u != kNoCharacter) {
            size_t n = batch.length[i];
            unsigned char c[16];
            if (n > sizeof c)
                n = 0;
            memcpy(c, batch.converted.data() + batch.offset[i], n);
            i++;
            if (n > 0 && n <= sizeof step.out && keep(c, n)) {
                memcpy(step.out, c, n);
                step.out_length = static_cast<uint8_t>(n);
            }
        }
        steps.push_back(step);
    }
    return steps;
}

// Big5: the step at a lead byte 0x80-0xFF, by lead and following byte.
struct S_BIG5_TABLE {
    std::vector<S_STEP> step = std::vector<S_STEP>(128 * 256);
    S_BIG5_TABLE()
    {
        S_DECODED d;
        std::vector<uint32_t> at; // the table slot of each decoded character
        for (uint32_t lead = 0x80; lead <= 0xFF; lead++) {
            for (uint32_t trail = 0; trail <= 0xFF; trail++) {
                const unsigned char pair[2] = {static_cast<unsigned char>(lead),
                                               static_cast<unsigned char>(trail)};
                const uint32_t slot = (lead - 0x80) * 256 + trail;
                int32_t index = S_big5_index(pair[0], pair[1]);
                if (index < 0) {
                    step[slot] = {{kNoMapping, 0, 0, 0}, 1, 1};
                    continue;
                }
                if (S_big5_has_character(index))
                    d.through_iconv(pair, 2);
                else
                    d.direct(kNoCharacter);
                at.push_back(slot);
            }
        }
        std::vector<uint16_t> unicode;
        d.finish(kBig5Decode, unicode);
        std::vector<S_STEP> out =
            S_encode_each<true>(kEuctwEncode, unicode, [](unsigned char *c, size_t n) -> bool {
                if (n == 2)
                    return S_euc_byte(c[0]) && S_euc_byte(c[1]);
                if (n != 4 || c[0] != 0x8E)
                    return false;
                if (c[1] == kPlane15Library)
                    c[1] = kPlane15;
                return c[1] == kPlane2 || c[1] == kPlane3 || c[1] == kPlane15;
            });
        for (size_t k = 0; k < at.size(); k++) {
            step[at[k]] = out[k];
            step[at[k]].advance = 2;
        }
    }
};

// EUC-TW: the step of a two-byte pair of plane 1 (plane 0 here) and of a
// four-byte sequence of planes 1, 2, 3 and 15 (1 to 4), by the pair.
struct S_EUCTW_TABLE {
    static constexpr unsigned char kPlanes[5] = {0, kPlane1, kPlane2, kPlane3, kPlane15};
    std::vector<S_STEP> step = std::vector<S_STEP>(5 * 94 * 94);
    S_EUCTW_TABLE()
    {
        S_DECODED d;
        for (int plane = 0; plane < 5; plane++) {
            for (uint32_t first = 0xA1; first <= 0xFE; first++) {
                for (uint32_t second = 0xA1; second <= 0xFE; second++) {
                    const unsigned char pair[2] = {static_cast<unsigned char>(first),
                                                   static_cast<unsigned char>(second)};
                    if (plane <= 1) {
                        d.through_iconv(pair, 2);
                    } else {
                        const unsigned char p = kPlanes[plane];
                        unsigned char seq[4] = {0x8E, p == kPlane15 ? kPlane15Library : p, pair[0],
                                                pair[1]};
                        d.through_iconv(seq, 4);
                    }
                }
            }
        }
        std::vector<uint16_t> unicode;
        d.finish(kEuctwDecode, unicode);
        step = S_encode_each<false>(kBig5Encode, unicode, [](unsigned char *c, size_t n) {
            return n == 2 && S_big5_has_character(S_big5_index(c[0], c[1]));
        });
        for (size_t k = 0; k < step.size(); k++)
            step[k].advance = k < 94 * 94 ? 2 : 4;
    }
    const S_STEP &at(int plane, unsigned char first, unsigned char second) const
    {
        return step[(static_cast<size_t>(plane) * 94 + (first - 0xA1)) * 94 + (second - 0xA1)];
    }
};

// Writes a step's bytes; false once the output is full (then nothing more
// is written, as S_OUTPUT refuses everything after a character that does
// not fit).
static bool S_put_step(const S_STEP &step, unsigned char *out, size_t &written, size_t limit)
{
    if (step.out_length > limit - written)
        return false;
    memcpy(out + written, step.out, 4);
    written += step.out_length;
    return true;
}

// The long way's result for Big5 text to EUC-TW, by the table.
static void S_big5_to_euctw_by_table(const unsigned char *in, size_t length, S_OUTPUT &out)
{
    static const S_BIG5_TABLE table;
    out.bytes.resize(out.limit + 4);
    auto *o = reinterpret_cast<unsigned char *>(out.bytes.data());
    size_t written = 0;
    for (size_t i = 0; i < length;) {
        unsigned char b = in[i];
        if (b < 0x80) {
            if (written == out.limit)
                break;
            o[written++] = b;
            i++;
            continue;
        }
        if (i + 1 >= length)
            break; // a lead byte without its trail byte
        const S_STEP &step = table.step[(b - 0x80u) * 256 + in[i + 1]];
        if (!S_put_step(step, o, written, out.limit))
            break;
        i += step.advance;
    }
    out.bytes.resize(written);
}

// The long way's result for EUC-TW text to Big5, by the table.
static void S_euctw_to_big5_by_table(const unsigned char *in, size_t length, S_OUTPUT &out)
{
    static const S_EUCTW_TABLE table;
    static constexpr S_STEP kNone1 = {{kNoMapping, 0, 0, 0}, 1, 1};
    static constexpr S_STEP kNone4 = {{kNoMapping, 0, 0, 0}, 1, 4};
    out.bytes.resize(out.limit + 4);
    auto *o = reinterpret_cast<unsigned char *>(out.bytes.data());
    size_t written = 0;
    for (size_t i = 0; i < length;) {
        unsigned char b = in[i];
        if (b < 0x80) {
            if (written == out.limit)
                break;
            o[written++] = b;
            i++;
            continue;
        }
        const S_STEP *step = &kNone1;
        if (S_euc_byte(b)) {
            if (i + 1 >= length)
                break;
            if (S_euc_byte(in[i + 1]))
                step = &table.at(0, b, in[i + 1]);
        } else if (b == 0x8E) {
            if (i + 3 >= length)
                break; // the sequence is cut by the end of the text
            const unsigned char plane = in[i + 1], first = in[i + 2], second = in[i + 3];
            if (S_euc_byte(first) && S_euc_byte(second)) {
                step = &kNone4;
                for (int p = 1; p < 5; p++)
                    if (plane == S_EUCTW_TABLE::kPlanes[p])
                        step = &table.at(p, first, second);
            }
        }
        if (!S_put_step(*step, o, written, out.limit))
            break;
        i += step->advance;
    }
    out.bytes.resize(written);
}

int32_t codepage_big5_to_euctw(char *text, int32_t size, const int32_t *)
{
    return S_convert(text, size, [](const unsigned char *in, size_t length, S_OUTPUT &out) {
        S_big5_to_euctw_by_table(in, length, out);
    });
}

int32_t codepage_euctw_to_big5(char *text, int32_t size, const int32_t *)
{
    return S_convert(text, size, [](const unsigned char *in, size_t length, S_OUTPUT &out) {
        S_euctw_to_big5_by_table(in, length, out);
    });
}

// The long way, kept for the tests: the same results as the tables.
int32_t codepage_big5_to_euctw_long(char *text, int32_t size)
{
    return S_convert(text, size, [size](const unsigned char *in, size_t length, S_OUTPUT &out) {
        std::vector<uint16_t> unicode;
        unicode.reserve(static_cast<size_t>(size));
        S_big5_decode(in, length, static_cast<size_t>(size), unicode);
        S_euctw_encode(unicode, out);
    });
}

int32_t codepage_euctw_to_big5_long(char *text, int32_t size)
{
    return S_convert(text, size, [size](const unsigned char *in, size_t length, S_OUTPUT &out) {
        std::vector<uint16_t> unicode;
        unicode.reserve(static_cast<size_t>(size));
        S_euctw_decode(in, length, static_cast<size_t>(size), unicode);
        S_big5_encode(unicode, out);
    });
}
