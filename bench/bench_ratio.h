// A main for the benchmark programs that, after the usual table, prints each
// subject's speed against its baseline measured in the same run: baseline
// time / subject time, above 1 the subject is faster. A pair names the two
// benchmark families; runs pair up by their arguments ("BM_A/1000" with
// "BM_B/1000"), and a family without arguments pairs with every run of the
// other.
#ifndef ZEL_BENCH_RATIO_H
#define ZEL_BENCH_RATIO_H

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zel_bench
{

struct Pair {
    const char *subject;
    const char *baseline;
    const char *goal; // the speed the subject should reach, for the reader
};

// Keeps every run's CPU time per iteration by name while printing as usual:
// CPU time (real time for a run with UseRealTime), and the least of
// repetitions (--benchmark_repetitions=N), so that other work on the machine
// does not tilt a ratio.
class RecordingReporter : public benchmark::ConsoleReporter
{
  public:
    std::map<std::string, double> times;

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            // A run timed in real time (a transfer that waits on another
            // thread) is compared by the time it took, not by its CPU.
            const std::string name = run.benchmark_name();
            const double time = name.find("/real_time") != std::string::npos
                                    ? run.GetAdjustedRealTime()
                                    : run.GetAdjustedCPUTime();
            auto [at, added] = times.emplace(name, time);
            if (!added && time < at->second)
                at->second = time;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

// "BM_A/1000/real_time" -> {"BM_A", "/1000/real_time"}
inline std::pair<std::string, std::string> Split(const std::string &name)
{
    size_t slash = name.find('/');
    if (slash == std::string::npos)
        return {name, ""};
    return {name.substr(0, slash), name.substr(slash)};
}

inline void PrintRatios(const RecordingReporter &reporter, const std::vector<Pair> &pairs)
{
    std::printf("\nspeed against the baseline (baseline time / subject time):\n");
    for (const Pair &pair : pairs) {
        for (const auto &[name, time] : reporter.times) {
            auto [family, args] = Split(name);
            if (family != pair.subject || time <= 0)
                continue;
            auto found = reporter.times.find(pair.baseline + args);
            if (found == reporter.times.end())
                found = reporter.times.find(pair.baseline);
            if (found == reporter.times.end())
                continue;
            std::printf("  %-44s vs %-36s %7.3f  (goal %s)\n", name.c_str(), pair.baseline,
                        found->second / time, pair.goal);
        }
    }
}

inline int Main(int argc, char **argv, const std::vector<Pair> &pairs)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintRatios(reporter, pairs);
    return 0;
}

} // namespace zel_bench

// Defines main for a benchmark program with its pairs, e.g.
// ZEL_BENCH_MAIN({"BM_Uncompress", "BM_Leb128Decode", ">= 1.2"})
#define ZEL_BENCH_MAIN(...)                                                                        \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        return zel_bench::Main(argc, argv, {__VA_ARGS__});                                         \
    }

#endif
