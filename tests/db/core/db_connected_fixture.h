// Test fixture of the name and vocabulary tests: connected as the access
// core's journal tests are, with "bob" as the connection's user, "gis" as the
// connected database and a single-byte code page for folding identifiers.
#pragma once

#include "base/util/ve_codepage_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_instance_user_internal.h"
#include "tests/db/core/connected_fixture.h"

class ConnectedTest : public Connected
{
  protected:
    void SetUp() override
    {
        Connected::SetUp();
        db_instance_set_current_user("bob");
        scli::set_info_text(SQL_DATABASE_NAME, "gis");
        latin_.native = {VE_CODEPAGE_1252, VE_CODEPAGE_SINGLE_BYTE, "1252"};
        latin_.other = latin_.native;
        db_identifier_codepage = &latin_;
    }
    void TearDown() override
    {
        db_identifier_codepage = nullptr;
        db_instance_set_current_user(nullptr);
        Connected::TearDown();
    }
    std::vector<std::string> executed_since_connect() const
    {
        return Executed();
    }
    VE_CODEPAGE latin_{};
};
