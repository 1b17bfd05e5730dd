// The scan of an older STATES table whose rows carry their lineage blobs: the
// blobs the block holds, a lineage longer than the block's cell read again
// by ROWID, and rows whose blobs do not hold what they claim.
#include "db/version/db_state_internal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "tests/db/version/state_fixture.h"

namespace
{

using namespace state_test;

const std::string kOldScan = "SELECT state_id, owner,creation_time,closing_time,       "
                             "lineage_length,lineage,ROWID FROM zel:zel.states    ";

std::vector<scli::Column> OldColumns()
{
    return {{"state_id", SQL_INTEGER},
            {"owner", SQL_VARCHAR, 32},
            {"creation_time", SQL_TYPE_TIMESTAMP},
            {"closing_time", SQL_TYPE_TIMESTAMP},
            {"lineage_length", SQL_INTEGER},
            {"lineage", SQL_LONGVARBINARY},
            {"rowid", SQL_INTEGER}};
}

std::string Blob(const std::vector<int32_t> &ids)
{
    uint8_t *blob = nullptr;
    size_t size = 0;
    EXPECT_EQ(ves_lineage_encode(ids.data(), static_cast<int32_t>(ids.size()), &blob, &size), 0);
    std::string out(reinterpret_cast<char *>(blob), size);
    free(blob);
    return out;
}

scli::Row OldRow(int32_t id, const std::vector<int32_t> &ids, int32_t rowid,
                 const std::string &blob)
{
    return {scli::i32(id),
            scli::varchar("bob"),
            kCreated,
            scli::null(),
            scli::i32(static_cast<int32_t>(ids.size())),
            scli::binary(blob),
            scli::i32(rowid)};
}

std::vector<int32_t> Ids(const STATE &state)
{
    std::vector<int32_t> ids;
    EXPECT_EQ(ves_lineage_decode_state(&state, &ids), 0);
    return ids;
}

class DbStateOldLayout : public StateTest
{
  protected:
    void TearDown() override
    {
        db_states_read_for_lineages(nullptr, DB_SCAN_CLOSE, nullptr, nullptr);
        StateTest::TearDown();
    }
};

TEST_F(DbStateOldLayout, RowsComeWithTheirCheckedBlobs)
{
    std::vector<int32_t> many;
    for (int32_t id = 0; id < 200; id++)
        many.push_back(id);
    const std::string long_blob = Blob(many);
    ASSERT_GT(long_blob.size(), 256u);
    scli::on_sql(kOldScan)
        .columns(OldColumns())
        .rows({OldRow(0, {}, 257, Blob({})),
               OldRow(7, {0, 3}, 258, Blob({0, 3})),
               OldRow(900, many, 259, long_blob),
               {scli::i32(8), scli::varchar("bob"), kCreated, kClosed, scli::i32(0), scli::null(),
                scli::i32(260)}});
    const std::string by_rowid = "SELECT lineage FROM zel.states WHERE ROWID = 259";
    scli::on_sql(by_rowid).columns({{"lineage", SQL_LONGVARBINARY}}).row({scli::binary(long_blob)});
    STATE state;
    ASSERT_EQ(db_states_read_for_lineages(nullptr, DB_SCAN_OPEN, nullptr, &state), 0);
    EXPECT_EQ(state.state_id, 0);
    EXPECT_EQ(state.lineage_length, 0);
    EXPECT_TRUE(Ids(state).empty());
    ASSERT_EQ(db_states_read_for_lineages(nullptr, DB_SCAN_NEXT, nullptr, &state), 0);
    EXPECT_EQ(state.state_id, 7);
    EXPECT_EQ(Ids(state), (std::vector<int32_t>{0, 3}));
    ASSERT_EQ(db_states_read_for_lineages(nullptr, DB_SCAN_NEXT, nullptr, &state), 0);
    EXPECT_EQ(state.state_id, 900);
    EXPECT_EQ(Ids(state), many);
    ASSERT_EQ(db_states_read_for_lineages(nullptr, DB_SCAN_NEXT, nullptr, &state), 0);
    EXPECT_EQ(state.state_id, 8);
    EXPECT_EQ(state.lineage, nullptr);
    EXPECT_EQ(state.closing_time, kClosedTime);
    EXPECT_EQ(db_states_read_for_lineages(nullptr, DB_SCAN_NEXT, nullptr, &state), ZE_NO_MORE_ROWS);
    EXPECT_EQ(Sent(), (std::vector<std::string>{kOldScan, "COMMIT", by_rowid}));
}

TEST_F(DbStateOldLayout, BlobsThatDoNotHoldWhatTheyClaimAreRefused)
{
    std::string three = Blob({0, 3, 5});
    const struct {
        const char *what;
        int32_t length;
        std::string blob;
    } cases[] = {
        {"count above the ids", 3, Blob({0, 3})},
        {"count below the ids", 1, Blob({0, 3})},
        {"header beyond the bytes", 3, three.substr(0, 3)},
        {"no blob for a count", 2, ""},
        {"header of 2 GB", 1, std::string("\xBF\xFF\xFF\xFF\x0F", 5)},
        {"long header for few ids", 2, std::string("\xBF\x7F", 2) + std::string(300, '\0')},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        scli::Row row = OldRow(4, {}, 300, c.blob);
        row[4] = scli::i32(c.length);
        if (c.blob.empty())
            row[5] = scli::null();
        scli::on_sql(kOldScan).columns(OldColumns()).rows({OldRow(2, {0}, 299, Blob({0})), row});
        STATE state;
        ASSERT_EQ(db_states_read_for_lineages(nullptr, DB_SCAN_OPEN, "", &state), 0);
        EXPECT_EQ(db_states_read_for_lineages(nullptr, DB_SCAN_NEXT, nullptr, &state),
                  ZE_INVALID_ARGUMENT);
        DB_EXT_ERROR xerr = Xerr();
        EXPECT_EQ(xerr.code, ZE_INVALID_ARGUMENT);
        EXPECT_STREQ(xerr.message, "The stored lineage of state 4 is damaged");
        EXPECT_EQ(db_states_read_for_lineages(nullptr, DB_SCAN_NEXT, nullptr, &state),
                  ZE_SCAN_NOT_STARTED);
    }
    // None of them was worth a second read.
    for (const std::string &sql : Sent())
        EXPECT_EQ(sql.find("WHERE ROWID"), std::string::npos);
}

TEST_F(DbStateOldLayout, LongLineageThatIsGoneOrFails)
{
    std::vector<int32_t> many(300, 1);
    const std::string blob = Blob(many);
    const std::string by_rowid = "SELECT lineage FROM zel.states WHERE ROWID = 301";
    scli::on_sql(kOldScan).columns(OldColumns()).rows({OldRow(5, many, 301, blob)}).times(2);
    scli::on_sql(by_rowid).columns({{"lineage", SQL_LONGVARBINARY}});
    scli::on_sql(by_rowid).fail(SQL_ERROR, {"S1000", -243, "locked"});
    STATE state;
    EXPECT_EQ(db_states_read_for_lineages(nullptr, DB_SCAN_OPEN, nullptr, &state),
              ZE_STATE_NOT_FOUND);
    EXPECT_EQ(quiet_stderr([&] {
                  return db_states_read_for_lineages(nullptr, DB_SCAN_OPEN, nullptr, &state);
              }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(Xerr().native_error, -243);
    EXPECT_EQ(db_states_read_for_lineages(nullptr, DB_SCAN_NEXT, nullptr, &state),
              ZE_SCAN_NOT_STARTED);
}

} // namespace
