// The multiversion view builder over lineage lists of 1 KB to 64 KB, built
// into a growable buffer on the scripted CLI with its spatial-column reads
// and lineage setter. bytes_per_second is list bytes (times the list's
// occurrences in the text): a flat figure across sizes is linear growth.
// Report the per-KB times and the ratio of builder to baseline in one run.
//
// The current-adds text of one table (the list appears twice in it) against
// the same text assembled with std::string appends and no SQL; and the
// change and difference kinds (4 to 9, every optional piece on, ZELEQUIVS
// set; arguments kind and KB) against the very same text (built once
// beforehand) reassembled with std::string appends: its fixed pieces and
// the list as often as the text holds it.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "base/util/ve_codepage_internal.h"
#include "db/core/db_instance.h"
#include "db/version/db_mv_view_internal.h"
#include "tests/support/scripted_cli.h"

namespace
{

const char *const kColumns[] = {"objectid", "name", "kind", "length", "shape"};

// The instance on the scripted CLI, opened once for the whole program.
DB_INSTANCE *S_instance()
{
    static DB_INSTANCE *instance = [] {
        scli::reset();
        unsetenv("ZELPRETTYSQL");
        scli::set_info_text(SQL_DATABASE_NAME, "gis");
        static VE_CODEPAGE codepage;
        memset(&codepage, 0, sizeof(codepage));
        codepage.native = {VE_CODEPAGE_1252, VE_CODEPAGE_SINGLE_BYTE, "1252"};
        codepage.other = codepage.native;
        static DB_INSTANCE_OPEN_CONFIG config;
        memset(&config, 0, sizeof(config));
        config.codepage = &codepage;
        DB_INSTANCE *opened = nullptr;
        DB_instance_open("", "bob", "pw", &config, &opened);
        scli::on_sql("SELECT spatial_column FROM zel:zel.Layers WHERE database_name = 'gis' AND "
                     "table_name = 'roads' AND owner = 'bob'")
            .columns({{"spatial_column", SQL_VARCHAR, 32}})
            .row({scli::varchar("shape")})
            .repeat();
        return opened;
    }();
    return instance;
}

// A literal lineage list of about kb kilobytes: "1,2,3,...".
std::string S_lineage(int64_t kb)
{
    std::string list;
    for (int32_t id = 1; list.size() < static_cast<size_t>(kb) * 1024; id++) {
        if (!list.empty())
            list += ",";
        list += std::to_string(id);
    }
    return list;
}

void BM_mv_view_build(benchmark::State &state)
{
    DB_INSTANCE *instance = S_instance();
    const std::string lineage = S_lineage(state.range(0));
    DB_MV_TABLE_INFO table;
    memset(&table, 0, sizeof(table));
    table.table_name = "roads";
    table.registration_id = 7;
    strcpy(table.rowid_column, "objectid");
    table.column_names = kColumns;
    table.column_count = 5;
    strcpy(table.alias, "r");
    DB_MV_QUERY_INFO info;
    memset(&info, 0, sizeof(info));
    info.kind = DB_MV_CURRENT_ADDS;
    info.state_id = 5;
    info.lineage = lineage.c_str();
    info.tables = &table;
    info.table_count = 1;
    int64_t n = 0;
    for (auto _ : state) {
        char *text = nullptr;
        int32_t rc = db_mv_view_build(instance, &info, "roads", "bob", 0, 0, &text, 0, 0);
        benchmark::DoNotOptimize(rc);
        benchmark::DoNotOptimize(text);
        free(text);
        if (++n % 64 == 0)
            scli::clear_journal(); // the scripted CLI would keep every call
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(lineage.size()));
}

// The same text with std::string appends: the pieces, the list twice.
void BM_std_string_baseline(benchmark::State &state)
{
    const std::string lineage = S_lineage(state.range(0));
    const std::string adds = "gis:'bob'.A7", deletes = "gis:'bob'.d7";
    for (auto _ : state) {
        std::string text = "TABLE (MULTISET(SELECT ";
        for (int i = 0; i < 5; i++) {
            text += "a.";
            text += kColumns[i];
            text += i < 4 ? "," : " ";
        }
        text += ", a.VE_ROW_ID ";
        text += " FROM  " + adds + " a  WHERE ROW(a.objectid,a.ZEL_STATE_ID) NOT IN ";
        text += "(SELECT ROW( ZEL_DELETES_ROW_ID,ZEL_STATE_ID)  FROM " + deletes;
        text += " WHERE DELETED_AT IN (";
        text += lineage;
        text += ")) AND a.ZEL_STATE_ID IN (";
        text += lineage;
        text += ") )) r";
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(lineage.size()));
}

// One query of the kind over the list (all four lists the same).
struct Query {
    std::string lineage;
    DB_MV_TABLE_INFO table;
    DB_MV_QUERY_INFO info;

    Query(int32_t kind, int64_t kb) : lineage(S_lineage(kb))
    {
        setenv("ZELEQUIVS", "1", 1); // every optional piece
        memset(&table, 0, sizeof(table));
        table.table_name = "roads";
        table.registration_id = 7;
        strcpy(table.rowid_column, "objectid");
        table.column_names = kColumns;
        table.column_count = 5;
        strcpy(table.alias, "r");
        memset(&info, 0, sizeof(info));
        info.kind = kind;
        info.state_id = 5; // literal lists: the change kinds are written inline
        info.diff_state_id = 6;
        info.lineage = info.lineage2 = info.sub_lineage = info.lineage4 = lineage.c_str();
        info.tables = &table;
        info.table_count = 1;
    }
    std::string build()
    {
        char *text = nullptr;
        db_mv_view_build(S_instance(), &info, "roads", "bob", 0, 0, &text, 0, 0);
        std::string out = text != nullptr ? text : "";
        free(text);
        return out;
    }
};

void S_count_bytes(benchmark::State &state, const std::string &lineage, size_t occurrences)
{
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(lineage.size() * occurrences));
}

// The text's pieces between the list's occurrences.
std::vector<std::string> S_pieces(const std::string &text, const std::string &lineage)
{
    std::vector<std::string> pieces;
    size_t from = 0;
    for (size_t at = text.find(lineage); at != std::string::npos; at = text.find(lineage, from)) {
        pieces.push_back(text.substr(from, at - from));
        from = at + lineage.size();
    }
    pieces.push_back(text.substr(from));
    return pieces;
}

void BM_change_view_build(benchmark::State &state)
{
    Query query(static_cast<int32_t>(state.range(0)), state.range(1));
    const size_t occurrences = S_pieces(query.build(), query.lineage).size() - 1;
    int64_t n = 0;
    for (auto _ : state) {
        char *text = nullptr;
        int32_t rc = db_mv_view_build(S_instance(), &query.info, "roads", "bob", 0, 0, &text, 0, 0);
        benchmark::DoNotOptimize(rc);
        benchmark::DoNotOptimize(text);
        free(text);
        if (++n % 64 == 0)
            scli::clear_journal(); // the scripted CLI would keep every call
    }
    S_count_bytes(state, query.lineage, occurrences);
}

// The same text with std::string appends.
void BM_change_view_baseline(benchmark::State &state)
{
    Query query(static_cast<int32_t>(state.range(0)), state.range(1));
    const std::vector<std::string> pieces = S_pieces(query.build(), query.lineage);
    scli::clear_journal();
    for (auto _ : state) {
        std::string text;
        for (size_t i = 0; i < pieces.size(); i++) {
            if (i > 0)
                text += query.lineage;
            text += pieces[i];
        }
        benchmark::DoNotOptimize(text.data());
    }
    S_count_bytes(state, query.lineage, pieces.size() - 1);
}

void S_arguments(benchmark::internal::Benchmark *b)
{
    for (int64_t kind = DB_MV_UPDATE_CHANGES; kind <= 9; kind++)
        for (int64_t kb = 1; kb <= 64; kb *= 4)
            b->Args({kind, kb});
}

} // namespace

BENCHMARK(BM_mv_view_build)->RangeMultiplier(2)->Range(1, 64);
BENCHMARK(BM_std_string_baseline)->RangeMultiplier(2)->Range(1, 64);
BENCHMARK(BM_change_view_build)->Apply(S_arguments);
BENCHMARK(BM_change_view_baseline)->Apply(S_arguments);
