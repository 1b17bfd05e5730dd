// The row-lock interface holds no locks: every operation answers 0, touches
// neither the stream nor the database, and reports an empty lock table; the
// capability query says the feature is not supported.
#include "db/stream/db_row_lock_internal.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <functional>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_stream_internal.h"
#include "tests/db/core/connected_fixture.h"

namespace
{

class RowLock : public Connected
{
  protected:
    void SetUp() override
    {
        Connected::SetUp();
        DB_STREAM_PARAMS params{};
        ASSERT_EQ(DB_stream_init(&stream_, 0, "bob", params), 0);
        MarkNow();
    }
    void TearDown() override
    {
        DB_stream_free(stream_);
        free(stream_);
        Connected::TearDown();
    }
    DB_STREAM *stream_ = nullptr;
};

TEST_F(RowLock, CapabilityIsNotSupportedAndAFreshStreamHasMode0)
{
    int32_t enabled = 1;
    EXPECT_EQ(DB_row_lock_is_enable(nullptr, &enabled), 0);
    EXPECT_EQ(enabled, ZE_NOT_SUPPORTED);
    EXPECT_EQ(DB_row_lock_is_enable(nullptr, nullptr), 0);

    int32_t mode = -1;
    EXPECT_EQ(DB_stream_get_rowlocking(stream_, &mode), 0);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(DB_stream_set_rowlocking(stream_, 0x21), 0); // changes nothing
    EXPECT_EQ(DB_stream_get_rowlocking(stream_, &mode), 0);
    EXPECT_EQ(mode, 0);
    stream_->row_lock_mode = 0x20; // filled by another component
    EXPECT_EQ(DB_stream_get_rowlocking(stream_, &mode), 0);
    EXPECT_EQ(mode, 0x20);
    EXPECT_EQ(DB_stream_get_rowlocking(nullptr, &mode), ZE_NULL_POINTER);
    EXPECT_EQ(DB_stream_get_rowlocking(stream_, nullptr), ZE_NULL_POINTER);
}

TEST_F(RowLock, EveryOperationSucceedsAndChangesNothing)
{
    REGISTRATION reg{};
    const int32_t ids[] = {1, 2, 3};
    const std::vector<std::function<int32_t()>> calls = {
        [&] { return DB_row_lock_set_reginfo(stream_, &reg); },
        [&] { return DB_row_lock_init(stream_); },
        [&] { return DB_row_lock_add(stream_, ids, 3); },
        [&] { return db_row_lock_add_by_query(stream_, "a = 1"); },
        [&] { return DB_row_lock_flush(stream_); },
        [&] { return DB_row_lock_remove_by_ids(stream_, ids, 3); },
        [&] { return DB_row_lock_remove_by_query(stream_, "a = 1"); },
        [&] { return DB_row_lock_table_create(nullptr, &reg); },
        [&] { return DB_row_lock_table_drop(nullptr, &reg); },
        [&] { return DB_row_lock_table_truncate(nullptr, &reg); },
        [&] { return DB_row_lock_init(nullptr); },
        [&] { return DB_row_lock_add(nullptr, nullptr, -5); },
    };
    std::vector<unsigned char> before(sizeof(DB_STREAM));
    memcpy(before.data(), stream_, sizeof(DB_STREAM));
    for (size_t i = 0; i < calls.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[i](), 0);
        EXPECT_EQ(memcmp(before.data(), stream_, sizeof(DB_STREAM)), 0);
    }
    EXPECT_EQ(stream_->row_locking, 0);
    EXPECT_EQ(stream_->row_locks_initialised, 0);
    EXPECT_TRUE(Executed().empty());
}

TEST_F(RowLock, QueriesAnswerAnEmptyLockTable)
{
    const int32_t ids[] = {4};
    int32_t conflicts = 9;
    EXPECT_EQ(DB_row_lock_conflict_by_query(stream_, "a = 1", &conflicts), 0);
    EXPECT_EQ(conflicts, 0);
    conflicts = 9;
    EXPECT_EQ(DB_row_lock_conflict_by_ids(stream_, ids, 1, &conflicts), 0);
    EXPECT_EQ(conflicts, 0);
    char where[8] = "stale";
    EXPECT_EQ(DB_row_lock_get_where(stream_, where, sizeof(where)), 0);
    EXPECT_STREQ(where, "");
    int32_t *locked = reinterpret_cast<int32_t *>(&conflicts);
    int32_t count = 3;
    EXPECT_EQ(DB_row_lock_get_by_user(nullptr, nullptr, "bob", &locked, &count), 0);
    EXPECT_EQ(locked, nullptr);
    EXPECT_EQ(count, 0);
    // Null outs are ignored.
    EXPECT_EQ(DB_row_lock_conflict_by_query(stream_, nullptr, nullptr), 0);
    EXPECT_EQ(DB_row_lock_conflict_by_ids(nullptr, nullptr, 0, nullptr), 0);
    EXPECT_EQ(DB_row_lock_get_where(stream_, nullptr, 8), 0);
    EXPECT_EQ(DB_row_lock_get_by_user(nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_TRUE(Executed().empty());
}

} // namespace
