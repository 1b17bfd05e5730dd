// Building a long view text clause by clause: the SQL text buffer (2 KB growth
// steps, a length kept beside the text) against std::string appends, the
// baseline. The clauses are made at run time (their lengths vary with the ids
// in them), so neither side appends a constant the compiler can size.
#include <string>
#include <vector>

#include "bench/bench_ratio.h"
#include "db/core/db_sql_text_internal.h"

namespace
{

struct Clause {
    std::string head, body;
};

std::vector<Clause> Clauses(int count)
{
    std::vector<Clause> clauses;
    for (int i = 0; i < count; i++)
        clauses.push_back(
            {"SELECT x" + std::to_string(i % 7) + " FROM t" + std::to_string(i),
             " AND (a.state_id = s.state_id OR a.lineage_id = " + std::to_string(i * 7919) + ")"});
    return clauses;
}

void BM_sql_text_buffer(benchmark::State &state)
{
    const std::vector<Clause> clauses = Clauses(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        SQL_TEXT_BUFFER buffer;
        sql_string_init(&buffer);
        buffer.pretty = 0;
        for (const Clause &c : clauses)
            sql_string_append_list(&buffer, c.head.c_str(), c.body.c_str(),
                                   static_cast<char *>(nullptr));
        benchmark::DoNotOptimize(buffer.text);
        sql_string_free(&buffer);
    }
}

void BM_std_string_baseline(benchmark::State &state)
{
    const std::vector<Clause> clauses = Clauses(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::string text;
        for (const Clause &c : clauses) {
            text += c.head.c_str();
            text += c.body.c_str();
        }
        benchmark::DoNotOptimize(text.data());
    }
}

} // namespace

BENCHMARK(BM_sql_text_buffer)->Arg(16)->Arg(512);
BENCHMARK(BM_std_string_baseline)->Arg(16)->Arg(512);

ZEL_BENCH_MAIN({"BM_sql_text_buffer", "BM_std_string_baseline", "for scale"})
