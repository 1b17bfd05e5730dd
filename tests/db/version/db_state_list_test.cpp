// State lists: the threshold read from ZELTHRESHOLD, the choice between the
// caller's formatter and a temporary log, the SELECT of a log's ids, the
// instance's one log replaced by the next long list, and the free that
// deletes a log only when it frees the text the log was made for.
#include "db/version/db_state_lineage_internal.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <numeric>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/catalog/db_log.h"
#include "tests/db/catalog/log_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

std::vector<int32_t> Ids(int32_t count)
{
    std::vector<int32_t> ids(static_cast<size_t>(count));
    std::iota(ids.begin(), ids.end(), 1);
    return ids;
}

// The caller's formatter: "1,2,3", counting its calls.
int g_formatted = 0;
int32_t Format(const int32_t *ids, int32_t count, char **text)
{
    g_formatted++;
    std::string list;
    for (int32_t i = 0; i < count; i++)
        list += (i ? "," : "") + std::to_string(ids[i]);
    *text = strdup(list.c_str());
    return *text ? 0 : ZE_OUT_OF_MEMORY;
}

int32_t Refuse(const int32_t *, int32_t, char **)
{
    return -7;
}

class StateList : public LogTest
{
  protected:
    void SetUp() override
    {
        LogTest::SetUp();
        start();
        g_formatted = 0;
        Threshold(nullptr);
    }
    void TearDown() override
    {
        unsetenv("ZELTHRESHOLD");
        db_state_list_threshold_forget();
        LogTest::TearDown();
    }
    // Sets ZELTHRESHOLD (null: unset) and lets the next list read it.
    static void Threshold(const char *value)
    {
        if (value != nullptr)
            setenv("ZELTHRESHOLD", value, 1);
        else
            unsetenv("ZELTHRESHOLD");
        db_state_list_threshold_forget();
    }
    static std::string LogText(int32_t data_id)
    {
        return "SELECT DISTINCT zel_row_id FROM bob_ZEL_LOGFILE_DATA WHERE "
               "bob_ZEL_LOGFILE_DATA.logfile_data_id = " +
               std::to_string(data_id);
    }
    // The one temporary log of bob, or null.
    const scli::LogRow *OnlyLog() const
    {
        return store_->logs.size() == 1 ? &store_->logs[0] : nullptr;
    }
};

TEST_F(StateList, ThresholdIsReadOnceAndBounded)
{
    const struct {
        const char *value;
        int32_t threshold;
    } cases[] = {{nullptr, 0}, {"abc", 0}, {"-5", 0}, {"5000", 999}, {"200", 200}, {"999", 999}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value ? c.value : "absent");
        Threshold(c.value);
        EXPECT_EQ(db_state_list_threshold(), c.threshold);
        // Read once: a later change of the variable is not seen.
        setenv("ZELTHRESHOLD", "3", 1);
        EXPECT_EQ(db_state_list_threshold(), c.threshold);
    }
}

TEST_F(StateList, FormatterOrLogByLengthAndThreshold)
{
    const struct {
        const char *threshold;
        int32_t count;
        bool log;
    } cases[] = {{nullptr, 149, false}, {nullptr, 150, true}, {"abc", 150, true},
                 {"-5", 150, true},     {"5000", 150, false}, {"5000", 998, false},
                 {"5000", 999, true},   {"0", 149, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.threshold ? c.threshold : "absent") + " " +
                     std::to_string(c.count));
        Threshold(c.threshold);
        g_formatted = 0;
        std::vector<int32_t> ids = Ids(c.count);
        char *text = nullptr;
        ASSERT_EQ(DB_state_list_string(instance_, ids.data(), c.count, Format, &text), 0);
        EXPECT_EQ(g_formatted, c.log ? 0 : 1);
        if (c.log) {
            ASSERT_NE(OnlyLog(), nullptr);
            EXPECT_EQ(text, LogText(OnlyLog()->data_id));
            EXPECT_EQ(store_->ids("bob", OnlyLog()->data_id), ids);
            EXPECT_EQ(OnlyLog()->flags, LOGINFO_TABLE);
            EXPECT_EQ(OnlyLog()->registration_id, -1);
        } else {
            char *formatted = nullptr;
            Format(ids.data(), c.count, &formatted);
            EXPECT_STREQ(text, formatted);
            free(formatted);
            EXPECT_TRUE(store_->logs.empty());
        }
        ASSERT_EQ(DB_state_list_string_free(instance_, text), 0);
        EXPECT_TRUE(store_->logs.empty());
    }
    // The formatter's answer is the caller's.
    std::vector<int32_t> ids = Ids(3);
    char *text = nullptr;
    EXPECT_EQ(DB_state_list_string(instance_, ids.data(), 3, Refuse, &text), -7);
    EXPECT_EQ(DB_state_list_string(instance_, ids.data(), 3, nullptr, &text), ZE_NULL_POINTER);
    EXPECT_EQ(DB_state_list_string(instance_, ids.data(), -1, Format, &text), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_state_list_string(instance_, nullptr, 3, Format, &text), ZE_NULL_POINTER);
}

TEST_F(StateList, PrettyLogTextEndsEachPieceItsLine)
{
    setenv("ZELPRETTYSQL", "1", 1);
    std::vector<int32_t> ids = Ids(150);
    char *text = nullptr;
    ASSERT_EQ(DB_state_list_string(instance_, ids.data(), 150, Format, &text), 0);
    unsetenv("ZELPRETTYSQL");
    ASSERT_NE(OnlyLog(), nullptr);
    EXPECT_EQ(std::string(text), "SELECT DISTINCT zel_row_id \nFROM bob_ZEL_LOGFILE_DATA \nWHERE "
                                 "bob_ZEL_LOGFILE_DATA.logfile_data_id = " +
                                     std::to_string(OnlyLog()->data_id) + "\n");
    EXPECT_EQ(DB_state_list_string_free(instance_, text), 0);
}

TEST_F(StateList, EachLogGoesWithTheTextThatMadeIt)
{
    std::vector<int32_t> first_ids = Ids(150), second_ids = Ids(160);
    char *first = nullptr;
    char *second = nullptr;
    ASSERT_EQ(DB_state_list_string(instance_, first_ids.data(), 150, Format, &first), 0);
    ASSERT_NE(OnlyLog(), nullptr);
    std::string first_log = OnlyLog()->name;
    // The second long list deletes the first list's log before it makes its
    // own.
    ASSERT_EQ(DB_state_list_string(instance_, second_ids.data(), 160, Format, &second), 0);
    ASSERT_NE(OnlyLog(), nullptr);
    EXPECT_NE(OnlyLog()->name, first_log);
    EXPECT_EQ(store_->ids("bob", OnlyLog()->data_id), second_ids);
    // Freeing the first text leaves the second list's log alone...
    EXPECT_EQ(DB_state_list_string_free(instance_, first), 0);
    EXPECT_NE(OnlyLog(), nullptr);
    // ... and freeing a short list's text too.
    std::vector<int32_t> few = Ids(4);
    char *short_text = nullptr;
    ASSERT_EQ(DB_state_list_string(instance_, few.data(), 4, Format, &short_text), 0);
    EXPECT_EQ(DB_state_list_string_free(instance_, short_text), 0);
    EXPECT_NE(OnlyLog(), nullptr);
    // The second text takes its log with it.
    EXPECT_EQ(DB_state_list_string_free(instance_, second), 0);
    EXPECT_TRUE(store_->logs.empty());
    EXPECT_EQ(DB_state_list_string_free(instance_, nullptr), 0);
}

TEST_F(StateList, LogFailuresLeaveNoHalfMadeLog)
{
    std::vector<int32_t> ids = Ids(150);
    char *text = nullptr;
    // Ids that cannot be written: the log is closed and deleted.
    store_->fail_once["INSERT INTO gis:bob_zel_logfile_data (logfile_data_id,zel_row_id)  "
                      "VALUES (1, ?)"] = {"S1000", -271};
    EXPECT_EQ(quiet_stderr(
                  [&] { return DB_state_list_string(instance_, ids.data(), 150, Format, &text); }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(text, nullptr);
    EXPECT_TRUE(store_->logs.empty());
    // Without the log system.
    DB_log_end(instance_);
    EXPECT_EQ(DB_state_list_string(instance_, ids.data(), 150, Format, &text),
              ZE_LOG_NOT_INITIALISED);
    EXPECT_EQ(DB_state_list_string(nullptr, ids.data(), 150, Format, &text), ZE_NULL_POINTER);
}

} // namespace
