// Test fixture of the multiversion view tests: an instance opened on the
// scripted CLI as "bob" in database "gis", the host knowing registration 7
// (bob's table roads, row-id column objectid), the catalogue describing
// roads as objectid, name, shape, and shape being the table's spatial
// column. A query description of one table, roads under alias r, reads
// state 5 through a lineage list that calls the table's state getter.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/ve_codepage_internal.h"
#include "base/util/zel_errors.h"
#include "db/core/db_instance.h"
#include "db/version/db_mv_view_internal.h"
#include "tests/support/host_double.h"
#include "tests/support/scripted_cli.h"

inline const std::string kGetterLineage = "SELECT /*+AVOID_INDEX(l lineage_id_idx), "
                                          "AVOID_FULL(l)*/ l.lineage_id FROM "
                                          "zel:zel.state_lineages l WHERE l.state_id = "
                                          "ZEL_stateid_get7()";
inline const std::string kSpatialOfRoads = "SELECT spatial_column FROM zel:zel.Layers WHERE "
                                           "database_name = 'gis' AND table_name = 'roads' AND "
                                           "owner = 'bob'";

class MvTest : public scli::Fixture
{
  protected:
    void SetUp() override
    {
        scli::Fixture::SetUp();
        unsetenv("ZELPRETTYSQL");
        unsetenv("ZELEQUIVS");
        scli::set_info_text(SQL_DATABASE_NAME, "gis");
        memset(&codepage_, 0, sizeof(codepage_));
        codepage_.native = {VE_CODEPAGE_1252, VE_CODEPAGE_SINGLE_BYTE, "1252"};
        codepage_.other = codepage_.native;
        memset(&config_, 0, sizeof(config_));
        config_.codepage = &codepage_;
        host_.install_all(&config_);
        host_.add_registration(roads());
        ASSERT_EQ(DB_instance_open("", "bob", "pw", &config_, &instance_), 0);
        scli::add_table("bob", "roads",
                        {{"objectid", SQL_INTEGER, 0, 0, SQL_NO_NULLS},
                         {"name", SQL_VARCHAR, 32},
                         {"shape", SQL_LONGVARBINARY, 1000}});
        scli::on_sql(kSpatialOfRoads)
            .columns({{"spatial_column", SQL_VARCHAR, 32}})
            .row({scli::varchar("shape")})
            .repeat();

        memset(&table_, 0, sizeof(table_));
        table_.table_name = "roads";
        table_.registration_id = 7;
        strcpy(table_.rowid_column, "objectid");
        table_.column_names = columns_;
        table_.column_count = 3;
        strcpy(table_.alias, "r");
        memset(&info_, 0, sizeof(info_));
        info_.kind = DB_MV_STANDARD;
        info_.state_id = 5;
        info_.lineage_id = 3;
        info_.start_id = 2;
        info_.lineage = kGetterLineage.c_str();
        info_.tables = &table_;
        info_.table_count = 1;
        mark();
    }
    void TearDown() override
    {
        unsetenv("ZELPRETTYSQL");
        unsetenv("ZELEQUIVS");
        if (instance_ != nullptr)
            DB_instance_close(instance_);
        scli::Fixture::TearDown();
    }

    // Registration 7: bob's roads in gis, row-id column objectid, IMV view
    // roads_imv.
    static REGISTRATION roads()
    {
        REGISTRATION r;
        memset(&r, 0, sizeof(r));
        r.registration_id = 7;
        strcpy(r.database_name, "gis");
        strcpy(r.owner, "bob");
        strcpy(r.table_name, "roads");
        strcpy(r.rowid_column, "objectid");
        strcpy(r.imv_view_name, "roads_imv");
        return r;
    }

    void mark()
    {
        mark_ = scli::executed().size();
    }
    std::vector<std::string> executed() const
    {
        std::vector<std::string> all = scli::executed();
        return std::vector<std::string>(all.begin() + static_cast<long>(mark_), all.end());
    }

    // Builds into a growable text; rc and the text.
    std::pair<int32_t, std::string> build(int32_t create = 1, int32_t position = 0)
    {
        char *text = nullptr;
        int32_t rc = db_mv_view_build(instance_, &info_, table_.table_name, "bob", position, 0,
                                      &text, 0, create);
        std::string out = text != nullptr ? text : "";
        free(text);
        return {rc, out};
    }

    // Scripts the existence test of a view: count answers.
    static void view_count(const std::string &view, int32_t count)
    {
        scli::on_sql("SELECT count(*) FROM SYSTABLES WHERE tabtype = 'V' AND tabname = LOWER('" +
                     view + "') ")
            .columns({{"", SQL_INTEGER}})
            .row({scli::i32(count)});
    }

    static std::string without_line_breaks(std::string text)
    {
        text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
        return text;
    }

    const char *columns_[3] = {"objectid", "name", "shape"};
    VE_CODEPAGE codepage_;
    DB_INSTANCE_OPEN_CONFIG config_;
    DB_INSTANCE *instance_ = nullptr;
    scli::HostDouble host_;
    DB_MV_TABLE_INFO table_;
    DB_MV_QUERY_INFO info_;
    size_t mark_ = 0;
};
