// Tests column statistics: the aggregate statement for a mask, values and
// NULLs read back, the distinct values of integer, double and text columns
// counted against values computed here (NULLs skipped, the maximum), the
// refusal of a layer's spatial column, the failures mapped, a log file's
// restriction, and the emptying of a spatial column, which runs every
// statement and reports the first failure.
#include "db/catalog/db_column_stats_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <string.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_xerr.h"
#include "db/core/db_xerr_internal.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;
using layer_test::kFrom;
using layer_test::kSelect;

// The layer read of a table the statistics name: none of them is a layer
// unless a test scripts one.
std::string layer_of(const std::string &table)
{
    return kSelect + kFrom + " WHERE ly.srid = sr.srid AND ly.database_name = 'gis' AND " +
           "ly.table_name = '" + table + "' AND ly.owner = 'bob'";
}

class ColumnStats : public layer_test::LayerFixture
{
  protected:
    void not_a_layer(const std::string &table, int times = 1)
    {
        layer_test::answer_layers(layer_of(table), {}).times(times);
    }
    // The executed statements other than the layer reads.
    Strings StatsSql() const
    {
        Strings out;
        for (const std::string &sql : Executed())
            if (sql.rfind(kSelect, 0) != 0 && sql != "COMMIT")
                out.push_back(sql);
        return out;
    }
    VE_SQL_CONSTRUCT construct(const char *where)
    {
        return VE_SQL_CONSTRUCT{1, const_cast<char **>(tables_), const_cast<char *>(where)};
    }
    const char *tables_[1] = {"parcels"};
    DB_TABLE_STATS stats_{};
    int32_t size_ = -1;
};

} // namespace

TEST_F(ColumnStats, AggregatesOfTheMask)
{
    const std::string sql = "select  min (val), avg (val), max (val), stdev (val),count(*) from "
                            " parcels where val > 0";
    not_a_layer("parcels");
    scli::on_sql(sql)
        .columns({{"", SQL_DOUBLE},
                  {"", SQL_DOUBLE},
                  {"", SQL_DOUBLE},
                  {"", SQL_DOUBLE},
                  {"", SQL_INTEGER}})
        .row({scli::f64(1), scli::f64(2.5), scli::f64(4), scli::f64(1.25), scli::i32(10)});
    VE_SQL_CONSTRUCT c = construct("where val > 0");
    ASSERT_EQ(DB_table_calculate_stats(instance_, "val", 31, &c, 0, &size_, &stats_), ZE_SUCCESS);
    EXPECT_EQ(stats_.minimum, 1);
    EXPECT_EQ(stats_.average, 2.5);
    EXPECT_EQ(stats_.maximum, 4);
    EXPECT_EQ(stats_.deviation, 1.25);
    EXPECT_EQ(stats_.count, 10);
    EXPECT_EQ(stats_.distinct, nullptr);
    EXPECT_EQ(StatsSql(), Strings{sql});

    // Only the count, no column needed; bit 1 without a column is -38.
    MarkNow();
    not_a_layer("parcels");
    scli::on_sql("select count(*) from  parcels").columns({{"", SQL_INTEGER}}).row({scli::i32(3)});
    c = construct(nullptr);
    ASSERT_EQ(DB_table_calculate_stats(instance_, nullptr, 16, &c, 0, &size_, &stats_), 0);
    EXPECT_EQ(stats_.count, 3);
    EXPECT_EQ(DB_table_calculate_stats(instance_, nullptr, 1, &c, 0, &size_, &stats_),
              ZE_COLUMN_NOT_FOUND);
    EXPECT_EQ(DB_table_calculate_stats(instance_, "val; drop", 1, &c, 0, &size_, &stats_) < 0,
              true);
}

TEST_F(ColumnStats, DistinctIntegersCountedAsComputedHere)
{
    const std::string sql = "select val  from  parcels order by 1";
    const std::vector<std::optional<int32_t>> values = {std::nullopt, 3, 3, 5, 7, 7, 7,
                                                        std::nullopt, 9, 9};
    std::map<int32_t, int32_t> expected;
    std::vector<scli::Row> rows;
    for (const auto &v : values) {
        rows.push_back({v ? scli::i32(*v) : scli::null()});
        if (v)
            expected[*v]++;
    }
    for (int32_t maximum : {0, 4, 2}) {
        SCOPED_TRACE(maximum);
        not_a_layer("parcels");
        scli::on_sql(sql).columns({{"val", SQL_INTEGER, 10}}).rows(rows);
        VE_SQL_CONSTRUCT c = construct(nullptr);
        const int32_t rc = DB_table_calculate_stats(instance_, "val", DB_STATS_DISTINCT, &c,
                                                    maximum, &size_, &stats_);
        const bool cut = maximum == 2;
        EXPECT_EQ(rc, cut ? ZE_STATS_TOO_MANY_VALUES : ZE_SUCCESS);
        ASSERT_NE(stats_.distinct, nullptr);
        EXPECT_EQ(stats_.distinct->type, DB_STATS_TYPE_INTEGER);
        ASSERT_EQ(stats_.distinct->count, cut ? 2 : static_cast<int32_t>(expected.size()));
        int i = 0;
        for (const auto &[value, count] : expected) {
            if (i == stats_.distinct->count)
                break;
            EXPECT_EQ(stats_.distinct->values[i].value.integer, value);
            EXPECT_EQ(stats_.distinct->values[i].occurrences, count);
            i++;
        }
        DB_table_stats_free(&stats_);
    }
    EXPECT_EQ(size_, 10);
}

TEST_F(ColumnStats, DistinctTextsAndDoubles)
{
    not_a_layer("parcels", 2);
    scli::on_sql("select kind  from  parcels order by 1")
        .columns({{"kind", SQL_CHAR, 6}})
        .rows({{scli::chr("a", 6)}, {scli::chr("a", 6)}, {scli::chr("b c", 6)}});
    scli::on_sql("select area  from  parcels order by 1")
        .columns({{"area", SQL_DOUBLE}})
        .rows({{scli::f64(0.5)}, {scli::f64(1.5)}, {scli::f64(1.5)}});
    VE_SQL_CONSTRUCT c = construct(nullptr);
    ASSERT_EQ(
        DB_table_calculate_stats(instance_, "kind", DB_STATS_DISTINCT, &c, 0, &size_, &stats_),
        ZE_SUCCESS);
    ASSERT_EQ(stats_.distinct->count, 2);
    EXPECT_EQ(stats_.distinct->type, DB_STATS_TYPE_STRING);
    EXPECT_EQ(std::string(stats_.distinct->values[0].value.string), "a     ");
    EXPECT_EQ(stats_.distinct->values[0].occurrences, 2);
    EXPECT_EQ(std::string(stats_.distinct->values[1].value.string), "b c   ");
    EXPECT_EQ(size_, 6);
    DB_table_stats_free(&stats_);
    ASSERT_EQ(
        DB_table_calculate_stats(instance_, "area", DB_STATS_DISTINCT, &c, 0, &size_, &stats_),
        ZE_SUCCESS);
    ASSERT_EQ(stats_.distinct->count, 2);
    EXPECT_EQ(stats_.distinct->type, DB_STATS_TYPE_DOUBLE);
    EXPECT_EQ(stats_.distinct->values[1].value.real, 1.5);
    EXPECT_EQ(stats_.distinct->values[1].occurrences, 2);
    DB_table_stats_free(&stats_);
}

TEST_F(ColumnStats, ColumnWiderThanTheRowsetRoomReadsOneRowAtATime)
{
    const std::string wide_a(25000, 'a'), wide_b(25000, 'b');
    not_a_layer("parcels");
    scli::on_sql("select notes  from  parcels order by 1")
        .columns({{"notes", SQL_CHAR, 25000}})
        .rows({{scli::chr(wide_a, 25000)}, {scli::chr(wide_a, 25000)}, {scli::chr(wide_b, 25000)}});
    VE_SQL_CONSTRUCT c = construct(nullptr);
    ASSERT_EQ(
        DB_table_calculate_stats(instance_, "notes", DB_STATS_DISTINCT, &c, 0, &size_, &stats_),
        ZE_SUCCESS);
    ASSERT_EQ(stats_.distinct->count, 2);
    EXPECT_EQ(stats_.distinct->values[0].occurrences, 2);
    EXPECT_EQ(std::string(stats_.distinct->values[1].value.string), wide_b);
    DB_table_stats_free(&stats_);
}

TEST_F(ColumnStats, SpatialColumnAndFailures)
{
    const char *roads[] = {"roads"};
    VE_SQL_CONSTRUCT c{1, const_cast<char **>(roads), nullptr};
    layer_test::answer_layers(layer_of("roads"), {layer_test::LayerRow{}});
    EXPECT_EQ(DB_table_calculate_stats(instance_, "shape", 1, &c, 0, &size_, &stats_),
              ZE_STATS_SPATIAL_COLUMN);
    EXPECT_EQ(
        DB_table_calculate_stats(instance_, "shape", DB_STATS_DISTINCT, &c, 0, &size_, &stats_),
        ZE_STATS_DISTINCT_TYPE);
    EXPECT_EQ(stats_.distinct, nullptr);

    const std::string sql = "select  max (val) from  parcels";
    const struct {
        const char *sqlstate;
        int32_t rc;
    } cases[] = {{"S0022", ZE_STATS_SPATIAL_COLUMN},
                 {"37000", ZE_SYNTAX_ERROR},
                 {"S0002", ZE_TABLE_NOT_FOUND},
                 {"S1009", ZE_SUCCESS},
                 {"HY000", ZE_DBMS_ERROR}};
    for (const auto &k : cases) {
        SCOPED_TRACE(k.sqlstate);
        not_a_layer("parcels");
        scli::on_sql(sql).fail(SQL_ERROR, {k.sqlstate, -201, "refused"});
        VE_SQL_CONSTRUCT p = construct(nullptr);
        quiet_stderr([&] {
            EXPECT_EQ(DB_table_calculate_stats(instance_, "val", 4, &p, 0, &size_, &stats_), k.rc);
        });
    }
}

TEST_F(ColumnStats, LogFileRestriction)
{
    LOGFILE log;
    memset(&log, 0, sizeof(log));
    strcpy(log.name, "bob.picked");
    log.data_id = 42;
    log.flags = LOGINFO_LAYER;
    strcpy(log.registration.owner, "bob");
    strcpy(log.registration.table_name, "parcels");
    const std::string sql = "select count(*) from TABLE (MULTISET(SELECT DISTINCT zel_row_id "
                            "FROM gis:bob_zel_logfile_data WHERE gis:bob_zel_logfile_data."
                            "logfile_data_id = 42)) LF_, parcels where (kind = 2) and "
                            "LF_.zel_row_id = bob.parcels.VE_ROW_ID";
    not_a_layer("parcels");
    scli::on_sql(sql).columns({{"", SQL_INTEGER}}).row({scli::i32(4)});
    VE_SQL_CONSTRUCT c = construct("kind = 2");
    DB_MV_QUERY_INFO none;
    memset(&none, 0, sizeof(none));
    ASSERT_EQ(DB_table_calculate_stats_by_logfile(instance_, nullptr, DB_STATS_COUNT, &c, &none,
                                                  &log, 0, &size_, &stats_),
              ZE_SUCCESS);
    EXPECT_EQ(stats_.count, 4);
    EXPECT_EQ(StatsSql(), Strings{sql});
}

TEST_F(ColumnStats, NullSpatialColumnRunsEveryStatement)
{
    LAYER layer;
    memset(&layer, 0, sizeof(layer));
    strcpy(layer.database_name, "gis");
    strcpy(layer.owner, "bob");
    strcpy(layer.table_name, "roads");
    strcpy(layer.spatial_column, "shape");
    REGISTRATION reg;
    memset(&reg, 0, sizeof(reg));
    reg.registration_id = 12;
    reg.object_flags = REG_MULTIVERSION;
    const std::string shape = "UPDATE gis:bob.roads SET shape = NULL WHERE kind = 2";
    const std::string rowid = "UPDATE gis:bob.roads SET VE_ROW_ID = NULL WHERE kind = 2";
    const std::string adds =
        "UPDATE gis:'bob'.A12 SET VE_ROW_ID = NULL, shape = NULL WHERE kind = 2";
    // The base table touches no row: the adds table is still cleared.
    scli::on_sql(shape).no_data();
    quiet_stderr([&] {
        EXPECT_EQ(DB_layer_null_spatial_column(instance_, &layer, &reg, "kind = 2"), ZE_SUCCESS);
    });
    EXPECT_EQ(db_global_xerr.code, 0);
    EXPECT_EQ(Executed(), (Strings{shape, rowid, "COMMIT", adds, "COMMIT"}));

    MarkNow();
    scli::on_sql(shape).fail(SQL_ERROR, {"HY000", -201, "refused"});
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_layer_null_spatial_column(instance_, &layer, &reg, "kind = 2"); });
    EXPECT_LT(rc, 0);
    EXPECT_EQ(Executed(), (Strings{shape, rowid, "COMMIT", adds, "COMMIT"}));
    EXPECT_EQ(db_commit_or_error(), ZE_SUCCESS);
}
