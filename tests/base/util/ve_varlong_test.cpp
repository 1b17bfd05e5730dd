// varLONG codec: the published byte forms, the size table, and refusal of
// what has no encoding or runs past its bounds.
#include "base/util/ve_varlong_internal.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "base/util/zel_errors.h"

namespace
{

struct Example {
    int32_t value;
    std::vector<uint8_t> bytes;
};

const Example kExamples[] = {
    {0, {0x00}},
    {1, {0x01}},
    {63, {0x3F}},
    {64, {0x80, 0x01}},
    {-1, {0x41}},
    {-63, {0x7F}},
    {-64, {0xC0, 0x01}},
    {1000, {0xA8, 0x0F}},
    {2000, {0x90, 0x1F}},
    {10, {0x0A}},
    {-10, {0x4A}},
    {8191, {0xBF, 0x7F}},
    {8192, {0x80, 0x80, 0x01}},
    {1048575, {0xBF, 0xFF, 0x7F}},
    {1048576, {0x80, 0x80, 0x80, 0x01}},
    {134217727, {0xBF, 0xFF, 0xFF, 0x7F}},
    {134217728, {0x80, 0x80, 0x80, 0x80, 0x01}},
    {INT32_MAX, {0xBF, 0xFF, 0xFF, 0xFF, 0x0F}},
    {-INT32_MAX, {0xFF, 0xFF, 0xFF, 0xFF, 0x0F}},
};

TEST(VarLong, EncodesAndDecodesThePublishedForms)
{
    for (const Example &e : kExamples) {
        SCOPED_TRACE(e.value);
        uint8_t out[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
        uint8_t *end = VES_encode_varLONG(e.value, out);
        ASSERT_NE(end, nullptr);
        EXPECT_EQ(std::vector<uint8_t>(out, end), e.bytes);
        EXPECT_EQ(out[e.bytes.size()], 0xEE) << "wrote past its length";
        EXPECT_EQ(ves_varlong_size(e.value), static_cast<int32_t>(e.bytes.size()));

        int32_t value = 12345;
        const uint8_t *next = VES_decode_varLONG(e.bytes.data(), &value);
        EXPECT_EQ(next, e.bytes.data() + e.bytes.size());
        EXPECT_EQ(value, e.value);
        // The bounded reader accepts exactly its bytes and no fewer.
        EXPECT_EQ(ves_varlong_decode(e.bytes.data(), e.bytes.data() + e.bytes.size(), &value),
                  e.bytes.data() + e.bytes.size());
        EXPECT_EQ(ves_varlong_decode(e.bytes.data(), e.bytes.data() + e.bytes.size() - 1, &value),
                  nullptr);
    }
}

TEST(VarLong, MinimumIntegerHasNoEncoding)
{
    uint8_t out[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(VES_encode_varLONG(INT32_MIN, out), nullptr);
    EXPECT_EQ(out[0], 0xEE) << "nothing may be written";
    EXPECT_EQ(ves_varlong_size(INT32_MIN), 0);
    EXPECT_EQ(VES_encode_varLONG(5, nullptr), nullptr);
}

TEST(VarLong, BoundedWriterRefusesWhatDoesNotFit)
{
    uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(ves_varlong_encode(8192, out, out + 2), nullptr);
    EXPECT_EQ(out[0], 0xEE);
    EXPECT_EQ(ves_varlong_encode(8192, out, out + 3), out + 3);
}

TEST(VarLong, DecoderRefusesOverlongOutOfRangeAndTruncated)
{
    struct Bad {
        const char *why;
        std::vector<uint8_t> bytes;
    };
    const Bad cases[] = {
        {"six bytes", {0x80, 0x80, 0x80, 0x80, 0x80, 0x01}},
        {"fifth byte continues", {0xFF, 0xFF, 0xFF, 0xFF, 0x8F}},
        {"magnitude 2^31", {0x80, 0x80, 0x80, 0x80, 0x10}},
        {"negative 2^31", {0xC0, 0x80, 0x80, 0x80, 0x10}},
        {"magnitude beyond 32 bits", {0xBF, 0xFF, 0xFF, 0xFF, 0x7F}},
        {"continuation at the end", {0x80}},
        {"empty", {}},
    };
    for (const Bad &c : cases) {
        SCOPED_TRACE(c.why);
        int32_t value = 77;
        const uint8_t *begin = c.bytes.data();
        EXPECT_EQ(ves_varlong_decode(begin, begin + c.bytes.size(), &value), nullptr);
        EXPECT_EQ(value, 0);
    }
    int32_t value;
    EXPECT_EQ(VES_decode_varLONG(nullptr, &value), nullptr);
    const uint8_t six[] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x01};
    EXPECT_EQ(VES_decode_varLONG(six, &value), nullptr);
}

TEST(VarLong, NegativeZeroReadsAsZero)
{
    const uint8_t bytes[] = {0x40};
    int32_t value = 9;
    EXPECT_EQ(ves_varlong_decode(bytes, bytes + 1, &value), bytes + 1);
    EXPECT_EQ(value, 0);
}

TEST(VarLong, SizeOfArray)
{
    const int32_t values[] = {0, 63, 64, -64, 8192, INT32_MAX, -INT32_MAX};
    EXPECT_EQ(VES_size_varLONG_array(values, 7), 1 + 1 + 2 + 2 + 3 + 5 + 5);
    EXPECT_EQ(VES_size_varLONG_array(values, 0), 0);
    EXPECT_EQ(VES_size_varLONG_array(nullptr, 0), 0);
    EXPECT_EQ(VES_size_varLONG_array(nullptr, 1), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(VES_size_varLONG_array(values, -1), ZE_INVALID_ARGUMENT);
    const int32_t bad[] = {1, INT32_MIN};
    EXPECT_EQ(VES_size_varLONG_array(bad, 2), ZE_INVALID_ARGUMENT);
}

// The word-at-a-time forms the codec's loops use must agree with the checked
// byte-at-a-time forms on every value and on any bytes, good or bad.
TEST(VarLong, WordFormsAgreeWithTheCheckedForms)
{
    if (!kVarlongWordForms)
        GTEST_SKIP() << "big-endian host: the codec uses the checked forms only";
    std::mt19937 random(29);
    std::vector<int32_t> values;
    for (const Example &e : kExamples)
        values.push_back(e.value);
    for (int i = 0; i < 20000; i++) {
        // Magnitudes spread over every byte length.
        auto bits = static_cast<int>(random() % 32);
        auto mag = static_cast<int32_t>(random() & ((bits == 31 ? 0x7FFFFFFFu : (1u << bits) - 1)));
        values.push_back(random() & 1 ? -mag : mag);
    }
    for (int32_t v : values) {
        SCOPED_TRACE(v);
        uint8_t checked[8] = {}, word[8] = {};
        uint8_t *checked_end = ves_varlong_encode(v, checked, checked + 8);
        uint8_t *word_end = ves_varlong_encode_word(v, word);
        ASSERT_EQ(word_end - word, checked_end - checked);
        ASSERT_EQ(std::vector<uint8_t>(word, word_end), std::vector<uint8_t>(checked, checked_end));
        int32_t read = 1;
        ASSERT_EQ(ves_varlong_decode_word(checked, &read), checked_end);
        ASSERT_EQ(read, v);
    }
    // Random bytes, biased to continuation bits so long and bad forms occur.
    for (int i = 0; i < 20000; i++) {
        uint8_t pair[16];
        for (uint8_t &b : pair)
            b = static_cast<uint8_t>(random() | (random() % 3 == 0 ? 0 : 0x80));
        int32_t first = 1, second = 2, checked_first = 3, checked_second = 4;
        const uint8_t *checked = ves_varlong_decode(pair, pair + 16, &checked_first);
        if (checked != nullptr)
            checked = ves_varlong_decode(checked, pair + 16, &checked_second);
        const uint8_t *word = ves_varlong_decode_pair(pair, &first, &second);
        ASSERT_EQ(word, checked);
        if (checked != nullptr) {
            ASSERT_EQ(first, checked_first);
            ASSERT_EQ(second, checked_second);
        }
    }
    for (size_t i = 0; i + 1 < values.size(); i++) {
        uint8_t pair[16] = {};
        uint8_t *end =
            ves_varlong_encode_word(values[i + 1], ves_varlong_encode_word(values[i], pair));
        int32_t first = 1, second = 2;
        ASSERT_EQ(ves_varlong_decode_pair(pair, &first, &second), end);
        ASSERT_EQ(first, values[i]);
        ASSERT_EQ(second, values[i + 1]);
    }
    for (int i = 0; i < 20000; i++) {
        uint8_t bytes[8];
        for (uint8_t &b : bytes)
            b = static_cast<uint8_t>(random() | (random() % 3 == 0 ? 0 : 0x80));
        int32_t checked_value = 1, word_value = 2;
        const uint8_t *checked = ves_varlong_decode(bytes, bytes + 8, &checked_value);
        const uint8_t *word = ves_varlong_decode_word(bytes, &word_value);
        ASSERT_EQ(word, checked);
        if (checked != nullptr) {
            ASSERT_EQ(word_value, checked_value);
        }
    }
}

} // namespace
