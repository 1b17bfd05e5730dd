// Release of a stream's array-fetch buffers and secondary cursor: the release
// flag decides whether the value and indicator arrays go, and whatever goes is
// cleared so a second call frees nothing twice.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include "db/core/db_stream_internal.h"
#include "db/stream/db_array_fetch_internal.h"

namespace
{

void Fill(DB_STREAM *s)
{
    s->column_count = 3;
    s->row_buffer = malloc(24);
    s->column_buffers = static_cast<void **>(calloc(3, sizeof(void *)));
    s->value_arrays = static_cast<void **>(calloc(3, sizeof(void *)));
    s->indicator_arrays = static_cast<SQLLEN **>(calloc(3, sizeof(SQLLEN *)));
    for (int i = 0; i < 3; i++) {
        s->column_buffers[i] = malloc(8);
        s->value_arrays[i] = malloc(8);
        s->indicator_arrays[i] = static_cast<SQLLEN *>(malloc(sizeof(SQLLEN)));
    }
    s->secondary_buffer = malloc(10);
    s->secondary_slot = 10;
    s->fetch_position = 2;
    s->fetch_counter = 4;
}

TEST(ArrayFetchFree, ReleaseFlagDecidesTheValueArrays)
{
    for (int32_t release = 0; release < 2; release++) {
        SCOPED_TRACE(release);
        DB_STREAM s;
        memset(&s, 0, sizeof(s));
        Fill(&s);
        EXPECT_EQ(db_array_fetch_free(&s, release), 0);
        EXPECT_EQ(s.row_buffer, nullptr);
        EXPECT_EQ(s.column_buffers, nullptr);
        EXPECT_EQ(s.value_arrays == nullptr, release != 0);
        EXPECT_EQ(s.indicator_arrays == nullptr, release != 0);
        EXPECT_EQ(db_array_fetch_free(&s, 1), 0); // the rest, once
        EXPECT_EQ(s.value_arrays, nullptr);

        EXPECT_EQ(db_stream_close_cursor(&s, release), 0);
        EXPECT_EQ(s.secondary_buffer, nullptr);
        EXPECT_EQ(s.secondary_slot, -1);
        EXPECT_EQ(s.fetch_position, release ? -1 : 2);
        EXPECT_EQ(s.fetch_counter, release ? 0 : 4);
        EXPECT_EQ(db_stream_close_cursor(&s, release), 0);
    }
    EXPECT_EQ(db_array_fetch_free(nullptr, 1), 0);
    EXPECT_EQ(db_stream_close_cursor(nullptr, 1), 0);
}

} // namespace
