// One-block string arrays: layout, independence of the strings, argument
// refusals.
#include "base/util/ve_string_array.h"
#include "base/util/zel_errors.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

TEST(StringArray, PointersThenStringsInOneBlock)
{
    char **array = nullptr;
    ASSERT_EQ(VES_allocate_string_array(&array, 3, 10), 0);
    ASSERT_NE(array, nullptr);
    char *strings = reinterpret_cast<char *>(array + 3);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(array[i], strings + static_cast<ptrdiff_t>(i) * 10);
        EXPECT_EQ(array[i][0], '\0');
    }
    // Each string holds width - 1 characters without touching its neighbour;
    // AddressSanitizer checks the block is pointers plus 30 bytes.
    strcpy(array[0], "123456789");
    strcpy(array[1], "abcdefghi");
    strcpy(array[2], "ABCDEFGHI");
    EXPECT_STREQ(array[0], "123456789");
    EXPECT_STREQ(array[1], "abcdefghi");
    EXPECT_STREQ(array[2], "ABCDEFGHI");
    free(array);
}

TEST(StringArray, RefusesBadArguments)
{
    char **array = nullptr;
    EXPECT_EQ(VES_allocate_string_array(nullptr, 3, 10), ZE_NULL_POINTER);
    const int bad[][2] = {{0, 10}, {3, 0}, {-1, 10}, {3, -5}};
    for (const auto &b : bad) {
        EXPECT_EQ(VES_allocate_string_array(&array, b[0], b[1]), ZE_INVALID_ARGUMENT)
            << b[0] << "," << b[1];
        EXPECT_EQ(array, nullptr);
    }
}
