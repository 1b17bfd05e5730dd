// Lineage strings: the exact SELECTs on STATE_LINEAGES for a state (literal
// or through the registration's getters, with the setter run at once), for
// the part of one lineage beyond another with the state both share, and for
// a stretch of a lineage; their line layout under ZELPRETTYSQL.
#include "db/version/db_state_lineage.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "tests/db/version/state_fixture.h"

namespace
{

using namespace state_test;

const std::string kHead = "SELECT /*+AVOID_INDEX(l lineage_id_idx), AVOID_FULL(l)*/ l.lineage_id "
                          "FROM zel:zel.state_lineages l ";

// A state with its ancestors; the record owns its blob.
struct State {
    STATE record{};
    std::unique_ptr<uint8_t, decltype(&free)> blob{nullptr, &free};
    State(int32_t id, const std::vector<int32_t> &ancestors)
    {
        record.state_id = id;
        record.lineage_length = static_cast<int32_t>(ancestors.size());
        uint8_t *bytes = nullptr;
        EXPECT_EQ(ves_lineage_encode(ancestors.data(), record.lineage_length, &bytes, nullptr), 0);
        blob.reset(bytes);
        record.lineage = bytes;
    }
};

std::string Take(char *text)
{
    std::string out = text != nullptr ? text : "<null>";
    free(text);
    return out;
}

class DbStateLineage : public StateTest
{
  protected:
    void TearDown() override
    {
        unsetenv("ZELPRETTYSQL");
        StateTest::TearDown();
    }
};

TEST_F(DbStateLineage, LineageOfAState)
{
    State s(7, {0, 3});
    char *text = nullptr;
    ASSERT_EQ(DB_state_lineage_string(nullptr, &s.record, 0, 12, &text, 1, 0), 0);
    EXPECT_EQ(Take(text), kHead + "WHERE l.state_id = 7");
    EXPECT_TRUE(Sent().empty());
    const std::string set = "EXECUTE PROCEDURE ZEL_lineageid_set12 (7, NULL, NULL, NULL, NULL)";
    ASSERT_EQ(DB_state_lineage_string(nullptr, &s.record, 0, 12, &text, 0, 0), 0);
    EXPECT_EQ(Take(text), kHead + "WHERE l.state_id = ZEL_stateid_get12()");
    ASSERT_EQ(DB_state_lineage_string(nullptr, &s.record, 0, 12, &text, 0, 1), 0);
    EXPECT_EQ(Take(text), kHead + "WHERE l.state_id = ZEL_diffid_get12()");
    // The setter runs at once and is not committed; its failure is not the
    // text's.
    scli::on_sql(set).fail(SQL_ERROR, {"42000", -674, "no routine"});
    ASSERT_EQ(DB_state_lineage_string(nullptr, &s.record, 0, 12, &text, 0, 0), 0);
    free(text);
    EXPECT_EQ(Sent(), (std::vector<std::string>{set, set, set}));
    EXPECT_EQ(Xerr().code, 0);
    EXPECT_EQ(DB_state_lineage_string(nullptr, nullptr, 0, 12, &text, 1, 0), ZE_NULL_POINTER);
}

TEST_F(DbStateLineage, PrettyTextEndsEachPieceItsLine)
{
    setenv("ZELPRETTYSQL", "", 1);
    State s(7, {0, 3});
    char *text = nullptr;
    ASSERT_EQ(DB_state_lineage_string(nullptr, &s.record, 0, 12, &text, 1, 0), 0);
    EXPECT_EQ(Take(text), "SELECT /*+AVOID_INDEX(l lineage_id_idx), AVOID_FULL(l)*/ l.lineage_id \n"
                          "FROM zel:zel.state_lineages l \nWHERE l.state_id = 7\n");
    ASSERT_EQ(DB_state_partial_lineage_string(nullptr, &s.record, 0, 0, &text), 0);
    EXPECT_EQ(Take(text), "SELECT /*+AVOID_INDEX(l lineage_id_idx), AVOID_FULL(l)*/ l.lineage_id \n"
                          "FROM zel:zel.state_lineages l \n"
                          "WHERE l.state_id = ZEL_endid_get() AND \n"
                          "l.lineage_id >= ZEL_startid_get()\n");
}

TEST_F(DbStateLineage, SubLineageBeyondTheSharedState)
{
    const std::string beyond = kHead + "WHERE l.state_id = ZEL_stateid_get12() AND "
                                       "l.lineage_id > ZEL_lineageid_get12()";
    State root(0, {}), s3(3, {0}), s5(5, {0, 3}), s6(6, {0, 3}), s7(7, {0, 3}), s4(4, {0, 2});
    const struct {
        const char *what;
        const STATE *first;
        const STATE *second;
        std::string text;
        int32_t common;
    } cases[] = {
        {"itself", &s5.record, &s5.record, "<null>", -1},
        {"an ancestor of the second", &s3.record, &s7.record, "<null>", -1},
        {"the root before anything", &root.record, &s5.record, "<null>", -1},
        {"siblings", &s5.record, &s6.record, beyond, 3},
        {"a descendant of the second", &s7.record, &s3.record, beyond, 3},
        {"branches that part at the root", &s4.record, &s7.record, beyond, 0},
        {"beyond the root", &s5.record, &root.record, beyond, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        int32_t common = -1;
        char *text = reinterpret_cast<char *>(1);
        ASSERT_EQ(DB_state_sublineage_string(nullptr, c.first, c.second, 0, 12, &common, &text, 0),
                  0);
        EXPECT_EQ(Take(text), c.text);
        EXPECT_EQ(common, c.common);
    }
    int32_t common = -1;
    char *text = nullptr;
    ASSERT_EQ(DB_state_sublineage_string(nullptr, &s5.record, &s6.record, 0, 12, &common, &text, 1),
              0);
    EXPECT_EQ(Take(text), kHead + "WHERE l.state_id = ZEL_diffid_get12() AND "
                                  "l.lineage_id > ZEL_lineageid_get12()");
    EXPECT_EQ(DB_state_sublineage_string(nullptr, &s5.record, &s6.record, 0, 12, nullptr, &text, 0),
              ZE_INVALID_ARGUMENT);
    // A record whose blob does not hold its length is refused.
    STATE damaged = s5.record;
    damaged.lineage_length = 5;
    EXPECT_EQ(DB_state_sublineage_string(nullptr, &damaged, &s6.record, 0, 12, &common, &text, 0),
              ZE_INVALID_ARGUMENT);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(DbStateLineage, PartialLineageFromAnAncestor)
{
    State s7(7, {0, 3});
    char *text = nullptr;
    ASSERT_EQ(DB_state_partial_lineage_string(nullptr, &s7.record, 3, 0, &text), 0);
    EXPECT_EQ(Take(text), kHead + "WHERE l.state_id = ZEL_endid_get() AND "
                                  "l.lineage_id >= ZEL_startid_get()");
    for (int32_t start : {7, 5}) {
        text = reinterpret_cast<char *>(1);
        EXPECT_EQ(DB_state_partial_lineage_string(nullptr, &s7.record, start, 0, &text),
                  ZE_STATE_NOT_IN_LINEAGE);
        EXPECT_EQ(text, nullptr);
    }
    EXPECT_TRUE(Sent().empty());
}

} // namespace
