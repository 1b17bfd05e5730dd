// Test fixture of the row operations on states: the multiversion view
// fixture (bob's roads, registration 7, in gis) with the log system started
// on the scripted CLI's log store (this process's tag 12340042), the adds
// table A7 described, and the exact statements with which the log system
// makes, fills and deletes a working log and the lineage setter runs.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/ve_loginfo.h"
#include "db/catalog/db_log.h"
#include "tests/db/version/mv_fixture.h"
#include "tests/support/scli_log_store.h"

class RowsTest : public MvTest
{
  protected:
    using Strings = std::vector<std::string>;

    void SetUp() override
    {
        MvTest::SetUp();
        host_.set_own_process(51234, 1700000042);
        store_ = &scli::log_store_install();
        ASSERT_EQ(DB_log_init(instance_), 0);
        std::vector<scli::Column> adds = {{"objectid", SQL_INTEGER, 0, 0, SQL_NO_NULLS},
                                          {"name", SQL_VARCHAR, 32},
                                          {"shape", SQL_LONGVARBINARY, 1000}};
        if (adds_have_state())
            adds.push_back({"zel_state_id", SQL_INTEGER, 0, 0, SQL_NO_NULLS});
        scli::add_table("bob", "a7", adds);
        mark();
    }
    void TearDown() override
    {
        unsetenv("ZELVERBOSE");
        DB_log_end(instance_);
        MvTest::TearDown();
    }

    // Whether the adds table A7 has its state column.
    virtual bool adds_have_state() const
    {
        return true;
    }

    // The number the next temporary log name gets (this call uses one).
    int32_t next_log_number()
    {
        char name[sizeof(LOGFILE::name)] = "";
        EXPECT_EQ(DB_log_make_name(instance_, name), 0);
        const std::string text = name;
        return std::stoi(text.substr(text.rfind('_') + 1)) + 1;
    }
    static std::string log_name(int32_t number)
    {
        return "xx12340042_" + std::to_string(number);
    }
    // The statements of the log system: a new log of the given id, its ids
    // written, its row deleted.
    static Strings made_log(int32_t number, int32_t id)
    {
        const std::string n = std::to_string(id);
        return {"SELECT   logfile_name,  logfile_id,  logfile_data_id,  registration_id,  flags,  "
                "session_tag  FROM gis:bob_zel_logfiles  WHERE logfile_name = '" +
                    log_name(number) + "'",
                "{call gis:bob_zel_logfiles_nextval()}", "COMMIT",
                "INSERT INTO gis:bob_zel_logfiles (  logfile_name,  logfile_id,  logfile_data_id,  "
                "registration_id,  flags,  session_tag) VALUES ('" +
                    log_name(number) + "'," + n + "," + n + ",7,2,12340042)"};
    }
    static Strings written_ids(int32_t id)
    {
        return {"INSERT INTO gis:bob_zel_logfile_data (logfile_data_id,zel_row_id)  VALUES (" +
                    std::to_string(id) + ", ?)",
                "COMMIT"};
    }
    static std::string dropped_log(int32_t number)
    {
        return "DELETE FROM gis:bob_zel_logfiles WHERE logfile_name = '" + log_name(number) + "'";
    }
    static std::string setter(int32_t state, int32_t data_id)
    {
        return "EXECUTE PROCEDURE ZEL_lineageid_set7(" + std::to_string(state) + ", 0, 0, 0, " +
               std::to_string(data_id) + ")";
    }
    scli::LogStore *store_ = nullptr;
};
