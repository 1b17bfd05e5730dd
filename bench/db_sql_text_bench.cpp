// Building a long view text clause by clause: the SQL text buffer (2 KB growth
// steps, a length kept beside the text) against std::string appends, the
// baseline. Report the ratio of the two in one run.
#include <string>

#include <benchmark/benchmark.h>

#include "db/core/db_sql_text_internal.h"

static const char *const kClause = " AND (a.state_id = s.state_id OR a.lineage_id = 42)";

static void BM_sql_text_buffer(benchmark::State &state)
{
    const int clauses = static_cast<int>(state.range(0));
    for (auto _ : state) {
        SQL_TEXT_BUFFER buffer;
        sql_string_init(&buffer);
        buffer.pretty = 0;
        for (int i = 0; i < clauses; i++)
            sql_string_append_list(&buffer, "SELECT x FROM t", kClause,
                                   static_cast<char *>(nullptr));
        benchmark::DoNotOptimize(buffer.text);
        sql_string_free(&buffer);
    }
}

static void BM_std_string_baseline(benchmark::State &state)
{
    const int clauses = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::string text;
        for (int i = 0; i < clauses; i++) {
            text += "SELECT x FROM t";
            text += kClause;
        }
        benchmark::DoNotOptimize(text.data());
    }
}

BENCHMARK(BM_sql_text_buffer)->Arg(16)->Arg(512);
BENCHMARK(BM_std_string_baseline)->Arg(16)->Arg(512);
