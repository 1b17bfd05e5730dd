// Test fixture of the DBTUNE store, the last of the connected family
// (connected_fixture.h): ConnectedUser with the scripted CLI's DBTUNE table,
// identifiers folded through a plain single-byte code page, and ZELHOME
// pointing at a fresh folder with an etc directory. Executed() lists the SQL
// since the set-up.
#pragma once

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/util/ve_codepage_internal.h"
#include "db/core/db_dbtune_internal.h"
#include "db/core/db_identifier_internal.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/scli_dbtune_store.h"

class DbtuneTest : public ConnectedUser
{
  protected:
    void SetUp() override
    {
        ConnectedUser::SetUp();
        memset(&codepage_, 0, sizeof(codepage_));
        codepage_.native.lead_byte_scheme = VE_CODEPAGE_SINGLE_BYTE;
        codepage_.other.lead_byte_scheme = VE_CODEPAGE_SINGLE_BYTE;
        db_identifier_codepage = &codepage_;
        char pattern[] = "/tmp/dbtune_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home_ = pattern;
        ASSERT_EQ(system(("mkdir -p " + home_ + "/etc").c_str()), 0);
        setenv("ZELHOME", home_.c_str(), 1);
        unsetenv("ZELVERBOSE");
        store_ = &scli::dbtune_store_install();
        MarkNow();
    }
    void TearDown() override
    {
        db_identifier_codepage = nullptr;
        unsetenv("ZELVERBOSE");
        unsetenv("ZELHOME");
        if (!home_.empty())
            system(("rm -rf " + home_).c_str());
        ConnectedUser::TearDown();
    }

    void write_file(const std::string &name, const std::string &text)
    {
        std::ofstream(home_ + "/etc/" + name, std::ios::binary) << text;
    }
    std::string read_file(const std::string &name)
    {
        std::ifstream in(home_ + "/etc/" + name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void add_row(const std::string &keyword, const std::string &name, const std::string &value)
    {
        store_->rows.push_back({keyword, name, value});
    }
    // The rows of the store as "KEYWORD|NAME|value" lines.
    std::vector<std::string> stored() const
    {
        std::vector<std::string> out;
        for (const auto &r : store_->rows)
            out.push_back(r.keyword + "|" + r.name + "|" + r.value);
        return out;
    }

    VE_CODEPAGE codepage_;
    std::string home_;
    scli::DbtuneStore *store_ = nullptr;
};
