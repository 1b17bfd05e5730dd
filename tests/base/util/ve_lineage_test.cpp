// Stored state lineages: the byte form of worked lineages, the refusal of
// blobs that do not hold what they claim (before anything is sized by their
// counts), the read through a state record, and the encoder's refusals.
#include "base/util/ve_lineage_internal.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <climits>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"

namespace
{

using Bytes = std::vector<uint8_t>;

std::vector<int32_t> Decode(const Bytes &blob, int32_t count, int32_t expected_rc = 0)
{
    // An exact-size heap block, so that a read past the blob shows.
    auto *copy = static_cast<uint8_t *>(malloc(blob.empty() ? 1 : blob.size()));
    std::copy(blob.begin(), blob.end(), copy);
    std::vector<int32_t> ids = {99};
    EXPECT_EQ(ves_lineage_decode(copy, blob.size(), count, &ids), expected_rc);
    free(copy);
    return ids;
}

Bytes Encode(const std::vector<int32_t> &ids)
{
    uint8_t *blob = nullptr;
    size_t size = 0;
    EXPECT_EQ(ves_lineage_encode(ids.data(), static_cast<int32_t>(ids.size()), &blob, &size), 0);
    Bytes out(blob, blob + size);
    free(blob);
    return out;
}

TEST(VeLineage, WorkedLineagesRoundTrip)
{
    const struct {
        std::vector<int32_t> ids;
        Bytes bytes;
    } cases[] = {
        {{}, {0x00}},                 // the root state
        {{0, 3}, {0x02, 0x00, 0x03}}, // state 7 of rows 0, 3, 7
        {{0, 64, 1000}, {0x05, 0x00, 0x80, 0x01, 0xA8, 0x0F}},
        {{0, INT32_MAX}, {0x06, 0x00, 0xBF, 0xFF, 0xFF, 0xFF, 0x0F}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.ids));
        EXPECT_EQ(Encode(c.ids), c.bytes);
        EXPECT_EQ(Decode(c.bytes, static_cast<int32_t>(c.ids.size())), c.ids);
        size_t total = 0;
        EXPECT_EQ(ves_lineage_total_size(c.bytes.data(), c.bytes.size(), &total), 0);
        EXPECT_EQ(total, c.bytes.size());
    }
    // A header of 64 bytes or more takes two bytes itself.
    std::vector<int32_t> many(70, 5);
    Bytes blob = Encode(many);
    ASSERT_EQ(blob.size(), 72u);
    EXPECT_EQ(blob[0], 0x86);
    EXPECT_EQ(blob[1], 0x01);
    EXPECT_EQ(Decode(blob, 70), many);
}

TEST(VeLineage, DamagedBlobsAreRefused)
{
    const struct {
        const char *what;
        Bytes bytes;
        int32_t count;
    } cases[] = {
        {"empty", {}, 0},
        {"header cut", {0x81}, 0},
        {"header runs past five bytes", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}, 0},
        {"negative header", {0x41, 0x00}, 0},
        {"header beyond the bytes", {0x03, 0x00, 0x03}, 2},
        {"header of 128 KB on 3 bytes", {0xBF, 0xFF, 0x0F}, 1},
        {"count above the header's bytes", {0x02, 0x00, 0x03}, 3},
        {"count below the ids", {0x02, 0x00, 0x03}, 1},
        {"id cut at the header's end", {0x02, 0x00, 0x81, 0x01}, 2},
        {"negative count", {0x00}, -1},
        {"count above the cap", {0x00}, VE_LINEAGE_MAX_IDS + 1},
        {"count of 2147483647", {0x02, 0x00, 0x03}, INT32_MAX},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(Decode(c.bytes, c.count, ZE_INVALID_ARGUMENT).empty());
    }
    // Bytes after the header's body (a blank-padded cell) are not the
    // lineage's: they are neither read nor refused.
    EXPECT_EQ(Decode({0x02, 0x00, 0x03, ' ', ' '}, 2), (std::vector<int32_t>{0, 3}));
    std::vector<int32_t> ids;
    EXPECT_EQ(ves_lineage_decode(nullptr, 0, 0, &ids), ZE_NULL_POINTER);
    uint8_t root = 0;
    EXPECT_EQ(ves_lineage_decode(&root, 1, 0, nullptr), ZE_NULL_POINTER);
}

TEST(VeLineage, TotalSizeNeedsOnlyTheHeader)
{
    // A cell that holds the first 3 of 200 bytes still tells the whole size.
    const uint8_t cut[] = {0x86, 0x03, 0x00};
    size_t total = 0;
    EXPECT_EQ(ves_lineage_total_size(cut, sizeof(cut), &total), 0);
    EXPECT_EQ(total, 2u + 198u);
    EXPECT_EQ(ves_lineage_total_size(cut, 1, &total), ZE_INVALID_ARGUMENT);
    const uint8_t huge[] = {0xBF, 0xFF, 0xFF, 0xFF, 0x0F};
    EXPECT_EQ(ves_lineage_total_size(huge, sizeof(huge), &total), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(ves_lineage_total_size(nullptr, 1, &total), ZE_NULL_POINTER);
}

TEST(VeLineage, StateRecordIsBoundByItsHeader)
{
    uint8_t blob[] = {0x02, 0x00, 0x03};
    STATE state{};
    state.lineage = blob;
    state.lineage_length = 2;
    std::vector<int32_t> ids;
    EXPECT_EQ(ves_lineage_decode_state(&state, &ids), 0);
    EXPECT_EQ(ids, (std::vector<int32_t>{0, 3}));
    state.lineage_length = 3;
    EXPECT_EQ(ves_lineage_decode_state(&state, &ids), ZE_INVALID_ARGUMENT);
    EXPECT_TRUE(ids.empty());
    state.lineage = nullptr;
    state.lineage_length = 0;
    ids = {1};
    EXPECT_EQ(ves_lineage_decode_state(&state, &ids), 0);
    EXPECT_TRUE(ids.empty());
    state.lineage_length = 1;
    EXPECT_EQ(ves_lineage_decode_state(&state, &ids), ZE_NULL_POINTER);
}

TEST(VeLineage, EncoderRefusals)
{
    uint8_t *blob = reinterpret_cast<uint8_t *>(1);
    const int32_t bad[] = {0, INT32_MIN};
    EXPECT_EQ(ves_lineage_encode(bad, 2, &blob, nullptr), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(blob, nullptr);
    EXPECT_EQ(ves_lineage_encode(bad, -1, &blob, nullptr), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(ves_lineage_encode(nullptr, 1, &blob, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(ves_lineage_encode(bad, 1, nullptr, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(ves_lineage_encode(nullptr, 0, &blob, nullptr), 0);
    ASSERT_NE(blob, nullptr);
    EXPECT_EQ(blob[0], 0x00);
    free(blob);
}

} // namespace
