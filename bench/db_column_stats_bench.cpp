// Distinct values of a column (DB_table_calculate_stats with the distinct
// mask: the sorted column fetched in rowsets and counted as it comes)
// against the baseline, the same column fetched through the same scripted
// CLI in the same rowsets, gathered into a vector, sorted and counted in a
// loop. Both read the same 20000 integers (a thousand values, each many
// times, sent unsorted to the baseline and sorted to the statistics as the
// DBMS's ORDER BY sends them). Report the ratio of the two in one run.
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "base/util/ve_codepage_internal.h"
#include "db/catalog/db_column_stats.h"
#include "db/core/db_instance_internal.h"
#include "db/core/db_stmt_internal.h"
#include "tests/support/scripted_cli.h"

namespace
{

constexpr int kRows = 20000;

std::vector<int32_t> S_values()
{
    std::vector<int32_t> v(kRows);
    uint32_t x = 12345;
    for (int32_t &value : v) {
        x = x * 1103515245u + 12345u;
        value = static_cast<int32_t>((x >> 8) % 1000);
    }
    return v;
}

struct Instance {
    Instance()
    {
        scli::reset();
        scli::set_info_text(SQL_DATABASE_NAME, "gis");
        codepage.native = {VE_CODEPAGE_1252, VE_CODEPAGE_SINGLE_BYTE, "1252"};
        codepage.other = codepage.native;
        memset(&config, 0, sizeof(config));
        config.codepage = &codepage;
        config.layer_cache_size = 5;
        DB_instance_open("", "bob", "pw", &config, &instance);
        // parcels is no layer: the layer read finds no row.
        scli::on_sql_like("SELECT layer_id.*")
            .columns(std::vector<scli::Column>(27, scli::Column("c", SQL_VARCHAR, 128)))
            .repeat();
    }
    ~Instance()
    {
        if (instance != nullptr)
            DB_instance_close(instance);
        scli::reset();
    }
    VE_CODEPAGE codepage{};
    DB_INSTANCE_OPEN_CONFIG config{};
    DB_INSTANCE *instance = nullptr;
};

void S_script(const std::string &sql, const std::vector<int32_t> &values)
{
    std::vector<scli::Row> rows;
    rows.reserve(values.size());
    for (int32_t v : values)
        rows.push_back({scli::i32(v)});
    scli::on_sql(sql).columns({{"val", SQL_INTEGER, 10}}).rows(rows).repeat();
}

void BM_StatsDistinct(benchmark::State &state)
{
    Instance db;
    std::vector<int32_t> sorted = S_values();
    std::sort(sorted.begin(), sorted.end());
    S_script("select val  from  parcels order by 1", sorted);
    const char *tables[] = {"parcels"};
    VE_SQL_CONSTRUCT construct{1, const_cast<char **>(tables), nullptr};
    for (auto _ : state) {
        DB_TABLE_STATS stats{};
        int32_t size = 0;
        const int32_t rc = DB_table_calculate_stats(db.instance, "val", DB_STATS_DISTINCT,
                                                    &construct, 0, &size, &stats);
        benchmark::DoNotOptimize(rc);
        benchmark::DoNotOptimize(stats.distinct->count);
        DB_table_stats_free(&stats);
        scli::clear_journal();
    }
}
BENCHMARK(BM_StatsDistinct);

void BM_FetchSortAndCount(benchmark::State &state)
{
    Instance db;
    S_script("select val from parcels", S_values());
    for (auto _ : state) {
        db_stmt_guard stmt;
        db_prepare_cursor(nullptr, &stmt.h, "select val from parcels", 0);
        SQLExecute(stmt.h);
        const SQLULEN rowset = 5000;
        std::vector<int32_t> block(rowset);
        std::vector<SQLLEN> lengths(rowset);
        SQLULEN fetched = 0;
        SQLSetStmtAttr(stmt.h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rowset), 0);
        SQLSetStmtAttr(stmt.h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
        SQLBindCol(stmt.h, 1, SQL_C_SLONG, block.data(), sizeof(int32_t), lengths.data());
        std::vector<int32_t> all;
        while (SQL_SUCCEEDED(SQLFetch(stmt.h)))
            for (SQLULEN r = 0; r < fetched; r++)
                if (lengths[r] != SQL_NULL_DATA)
                    all.push_back(block[r]);
        std::sort(all.begin(), all.end());
        std::vector<std::pair<int32_t, int32_t>> counts;
        for (int32_t v : all) {
            if (!counts.empty() && counts.back().first == v)
                counts.back().second++;
            else
                counts.push_back({v, 1});
        }
        benchmark::DoNotOptimize(counts.data());
        benchmark::DoNotOptimize(counts.size());
        scli::clear_journal();
    }
}
BENCHMARK(BM_FetchSortAndCount);

} // namespace
