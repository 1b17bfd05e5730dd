// Band colormap: sizes of its four shapes, big-endian 16-bit components and
// bad arguments and blocks.
#include "base/util/ve_rasterband.h"

#include "base/util/zel_errors.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdlib.h>
#include <vector>

namespace
{

using Block = std::unique_ptr<unsigned char, decltype(&free)>;
using Colormap = std::unique_ptr<VE_RASTERBAND_COLORMAP, decltype(&VES_rasterband_colormap_free)>;

TEST(RasterbandColormap, SizesOfTheFourShapes)
{
    struct Case {
        int32_t model, width, entries, length;
    } cases[] = {{1, 0, 256, 784}, {2, 1, 256, 2064}, {2, 0, 3, 28}, {0, 1, 0, 16}};
    std::vector<uint16_t> data(1024, 0x1234);
    for (const Case &c : cases) {
        VE_RASTERBAND_COLORMAP cm{c.model, c.width, c.entries, data.data()};
        unsigned char *block = nullptr;
        int32_t length = 0;
        ASSERT_EQ(VES_rasterband_colormap_serialize(&cm, &block, &length), 0);
        Block owned(block, &free);
        EXPECT_EQ(length, c.length);
        EXPECT_EQ(VES_rasterband_get_serialized_length(block), c.length);
        Colormap back(VES_rasterband_colormap_deserialize(block, length),
                      &VES_rasterband_colormap_free);
        ASSERT_NE(back, nullptr) << c.length;
        EXPECT_EQ(back->color_model, c.model);
        EXPECT_EQ(back->component_width, c.width);
        EXPECT_EQ(back->entry_count, c.entries);
        EXPECT_EQ(0, memcmp(back->data, data.data(), static_cast<size_t>(length - 16)));
    }
}

TEST(RasterbandColormap, SixteenBitComponentsAreBigEndian)
{
    uint16_t data[4] = {0x0102, 0xA0B0, 0, 0xFFFF};
    VE_RASTERBAND_COLORMAP cm{2, 1, 1, data};
    unsigned char *block = nullptr;
    int32_t length = 0;
    ASSERT_EQ(VES_rasterband_colormap_serialize(&cm, &block, &length), 0);
    Block owned(block, &free);
    const unsigned char want[] = {0, 0, 0, 24, 0, 0, 0,    2,    0, 0, 0,    1,
                                  0, 0, 0, 1,  1, 2, 0xA0, 0xB0, 0, 0, 0xFF, 0xFF};
    ASSERT_EQ(length, 24);
    EXPECT_EQ(0, memcmp(block, want, sizeof(want)));
}

TEST(RasterbandColormap, RefusesBadArgumentsAndBlocks)
{
    unsigned char rgb[3] = {1, 2, 3};
    unsigned char *block = reinterpret_cast<unsigned char *>(1);
    int32_t length = 5;
    VE_RASTERBAND_COLORMAP no_data{1, 0, 1, nullptr};
    EXPECT_EQ(VES_rasterband_colormap_serialize(&no_data, &block, &length), ZE_NULL_POINTER);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(length, 0);
    VE_RASTERBAND_COLORMAP negative{1, 0, -1, rgb};
    EXPECT_EQ(VES_rasterband_colormap_serialize(&negative, &block, &length), ZE_INVALID_ARGUMENT);
    VE_RASTERBAND_COLORMAP huge{2, 1, INT32_MAX, rgb};
    EXPECT_EQ(VES_rasterband_colormap_serialize(&huge, &block, &length), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(VES_rasterband_colormap_serialize(nullptr, &block, &length), ZE_NULL_POINTER);

    const std::vector<unsigned char> good = {0, 0, 0, 19, 0, 0, 0, 1, 0, 0,
                                             0, 0, 0, 0,  0, 1, 9, 8, 7};
    struct Case {
        const char *what;
        size_t offset;
        unsigned char set;
        int32_t given;
    } cases[] = {
        {"longer than its content", SIZE_MAX, 0, 20}, {"shorter than stored", SIZE_MAX, 0, 18},
        {"truncated header", SIZE_MAX, 0, 15},        {"more entries than bytes", 15, 2, 19},
        {"negative entries", 12, 0x80, 19},           {"16-bit needs twice the bytes", 11, 1, 19},
    };
    for (const Case &c : cases) {
        std::vector<unsigned char> b = good;
        b.resize(static_cast<size_t>(c.given) > b.size() ? c.given : b.size());
        if (c.offset != SIZE_MAX)
            b[c.offset] = c.set;
        std::vector<unsigned char> exact(b.begin(), b.begin() + c.given);
        EXPECT_EQ(VES_rasterband_colormap_deserialize(exact.data(), c.given), nullptr) << c.what;
    }
    Colormap ok(VES_rasterband_colormap_deserialize(good.data(), 19),
                &VES_rasterband_colormap_free);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(static_cast<unsigned char *>(ok->data)[2], 7);
    VES_rasterband_colormap_free(nullptr);
}

} // namespace
