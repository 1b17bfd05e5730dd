// Pixel access: one value of each kind written and read back, rounded and
// clamped; sub-byte packing and wider kinds at unaligned offsets.
#include "base/util/ve_pixel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdint.h>
#include <string.h>
#include <vector>

namespace
{

using Writer = int32_t (*)(void *, int32_t, double);
using Reader = int32_t (*)(const void *, int32_t, double *);

struct Kind {
    const char *name;
    Writer write;
    Reader read;
};

const Kind kChar{"char", VES_pixel_write_char, VES_pixel_read_char};
const Kind kUchar{"uchar", VES_pixel_write_uchar, VES_pixel_read_uchar};
const Kind kShort{"short", VES_pixel_write_short, VES_pixel_read_short};
const Kind kUshort{"ushort", VES_pixel_write_ushort, VES_pixel_read_ushort};
const Kind kLong{"long", VES_pixel_write_long, VES_pixel_read_long};
const Kind kUlong{"ulong", VES_pixel_write_ulong, VES_pixel_read_ulong};
const Kind kFloat{"float", VES_pixel_write_float, VES_pixel_read_float};
const Kind kDouble{"double", VES_pixel_write_double, VES_pixel_read_double};
const Kind k4bit{"4bit", VES_pixel_write_4bit, VES_pixel_read_4bit};
const Kind k1bit{"1bit", VES_pixel_write_1bit, VES_pixel_read_1bit};

// Each row writes one value to pixel 3 of a block and reads back what was
// stored: rounding half away from zero and clamping per kind.
TEST(Pixel, WriteRoundsAndClamps)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const Kind &kind;
        double written;
        double stored;
    } cases[] = {
        {kChar, 126.4, 126},
        {kChar, 126.6, 127},
        {kChar, -1.5, -2},
        {kChar, -200, -128},
        {kChar, -127.6, -128},
        {kChar, 1e300, 127},
        {kChar, nan, 0},
        {kUchar, 254.4, 254},
        {kUchar, 254.6, 255},
        {kUchar, -0.4, 0},
        {kUchar, 0.5, 1},
        {kShort, 32766.6, 32767},
        {kShort, -32767.6, -32768},
        {kShort, -2.5, -3},
        {kUshort, 65534.6, 65535},
        {kUshort, -0.2, 0},
        {kUshort, 1e9, 65535},
        {kLong, 2147483646.6, 2147483647.0},
        {kLong, -3e9, -2147483648.0},
        {kLong, -7.5, -8},
        {kUlong, 4294967294.6, 4294967295.0},
        {kUlong, -5, 0},
        {kUlong, 1e20, 4294967295.0},
        {kFloat, 0.5, 0.5},
        {kFloat, 1e300, std::numeric_limits<double>::infinity()},
        {kFloat, -1e300, -std::numeric_limits<double>::infinity()},
        {kDouble, 1e300, 1e300},
        {k4bit, 20.0, 15},
        {k4bit, -3.0, 0},
        {k4bit, 7.5, 8},
        {k1bit, 0.4, 0},
        {k1bit, 0.5, 1},
        {k1bit, -1.0, 0},
        {k1bit, 256.0, 1}, // large values still set the bit
    };
    for (const Case &c : cases) {
        std::vector<unsigned char> block(64, 0);
        ASSERT_EQ(c.kind.write(block.data(), 3, c.written), 0);
        double back = -99;
        ASSERT_EQ(c.kind.read(block.data(), 3, &back), 0);
        EXPECT_EQ(back, c.stored) << c.kind.name << " " << c.written;
    }
}

TEST(Pixel, SubBytePacking)
{
    unsigned char bits[2] = {0x00, 0xBF};
    VES_pixel_write_1bit(bits, 9, 1.0);
    EXPECT_EQ(bits[1], 0xFF);
    bits[1] = 0x00;
    VES_pixel_write_1bit(bits, 9, 1.0);
    EXPECT_EQ(bits[0], 0x00);
    EXPECT_EQ(bits[1], 0x40);
    double v = 0;
    VES_pixel_read_1bit(bits, 9, &v);
    EXPECT_EQ(v, 1.0);
    VES_pixel_read_1bit(bits, 8, &v);
    EXPECT_EQ(v, 0.0);
    VES_pixel_write_1bit(bits, 9, 0.0);
    EXPECT_EQ(bits[1], 0x00);

    unsigned char nibbles[2] = {0, 0x77};
    VES_pixel_write_4bit(nibbles, 0, 5);
    VES_pixel_write_4bit(nibbles, 1, 10);
    EXPECT_EQ(nibbles[0], 0x5A);
    EXPECT_EQ(nibbles[1], 0x77);
    VES_pixel_write_4bit(nibbles, 3, 0);
    EXPECT_EQ(nibbles[1], 0x70);
    VES_pixel_read_4bit(nibbles, 0, &v);
    EXPECT_EQ(v, 5);
    VES_pixel_read_4bit(nibbles, 1, &v);
    EXPECT_EQ(v, 10);
}

// Wider kinds sit at pixel x size in host order, also at unaligned starts.
TEST(Pixel, WideKindsUseHostOrderAtTheirOffset)
{
    std::vector<unsigned char> block(33, 0);
    unsigned char *odd = block.data() + 1;
    VES_pixel_write_short(odd, 2, -2);
    int16_t s;
    memcpy(&s, odd + 4, 2);
    EXPECT_EQ(s, -2);
    VES_pixel_write_double(odd, 3, 2.25);
    double d;
    memcpy(&d, odd + 24, 8);
    EXPECT_EQ(d, 2.25);
    VES_pixel_write_ulong(odd, 1, 4000000000.0);
    uint32_t u;
    memcpy(&u, odd + 4, 4);
    EXPECT_EQ(u, 4000000000u);
    double back;
    VES_pixel_read_ulong(odd, 1, &back);
    EXPECT_EQ(back, 4000000000.0);
}

} // namespace
