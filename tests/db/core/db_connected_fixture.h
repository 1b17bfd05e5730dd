// Test fixture: the process connection opened on the scripted CLI as user
// "bob", with "gis" as the connected database.
#pragma once

#include <gtest/gtest.h>

#include "db/core/db_connect.h"
#include "db/core/db_instance_user.h"
#include "tests/support/scripted_cli.h"

class ConnectedTest : public scli::Fixture
{
  protected:
    void SetUp() override
    {
        scli::Fixture::SetUp();
        char database[DB_DATABASE_NAME_SIZE] = "";
        ASSERT_LE(db_connect("bob", "secret", database, sizeof(database)).code, 1);
        db_instance_set_current_user("bob");
        scli::set_info_text(SQL_DATABASE_NAME, "gis");
        connected_at_ = scli::journal().size();
    }
    void TearDown() override
    {
        db_disconnect();
        db_instance_set_current_user(nullptr);
        scli::Fixture::TearDown();
    }
    // Executed SQL texts and COMMIT/ROLLBACK markers since the connect.
    std::vector<std::string> executed_since_connect() const
    {
        std::vector<std::string> all;
        const auto &calls = scli::journal();
        for (size_t i = connected_at_; i < calls.size(); ++i) {
            const scli::Call &c = calls[i];
            if (c.fn == "SQLExecute" || c.fn == "SQLExecDirect" || c.fn == "SQLEndTran")
                all.push_back(c.sql);
        }
        return all;
    }
    size_t connected_at_ = 0;
};
