// What the native benchmarks share: each figure the fastest of five repetitions, and ratios of
// one benchmark's time to its baseline's, measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace telvo {

// Each figure is the fastest of five repetitions: the least disturbed by the rest of the machine.
inline double Fastest(const std::vector<double>& times) {
    return *std::min_element(times.begin(), times.end());
}
#define TELVO_BENCHMARK(function, seconds)      \
    BENCHMARK(function)                         \
        ->Unit(benchmark::kMillisecond)         \
        ->MinTime(seconds)                      \
        ->Repetitions(5)                        \
        ->ComputeStatistics("fastest", Fastest) \
        ->ReportAggregatesOnly(true)

// Keeps each benchmark's fastest time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.aggregate_name == "fastest") {
                seconds[run.run_name.function_name] = run.GetAdjustedRealTime() / 1e3;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
};

inline void PrintRatio(const RatioReporter& reporter, const char* name, const char* baseline,
                       double target) {
    const auto measured = reporter.seconds.find(name), base = reporter.seconds.find(baseline);
    if (measured == reporter.seconds.end() || base == reporter.seconds.end()) return;
    const double ratio = measured->second / base->second;
    std::printf("%-28s %7.3f ms = %5.3f x %-16s (target <= %.2f) %s\n", name,
                measured->second * 1e3, ratio, baseline, target, ratio <= target ? "ok" : "OVER");
}

}  // namespace telvo
