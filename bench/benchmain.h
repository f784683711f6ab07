#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Running a benchmark program whose benchmarks are compared side by side.
namespace quorvane::bench {

// What one benchmark measured: the fastest repetition when it was repeated with a "min"
// statistic (the run least disturbed by other work on the machine), else the median, else its
// only run.
struct Measured {
    double wallSecondsPerIteration = 0.0;
    // The benchmark thread's CPU time.
    double cpuSecondsPerIteration = 0.0;
    // The benchmark's own counters; counters per unit of work are averaged over the iterations
    // (benchmark::Counter::kAvgIterations).
    std::map<std::string, double> counters;
    // Each counter's largest value in any repetition, when a "max" statistic was asked for.
    std::map<std::string, double> counterMaxima;

    // Seconds for one unit of the per-iteration counter `unit` ("requests"), or for one
    // iteration when `unit` is empty or not counted.
    double secondsPer(const std::string& unit, bool wall) const;
};

// Benchmarks by function name ("BM_ReadingCycle"), without their arguments.
using Results = std::map<std::string, Measured>;

// The smallest and the largest of the values: statistics of repetitions, given to
// Benchmark::ComputeStatistics as "min" and "max".
double minimumOf(const std::vector<double>& values);
double maximumOf(const std::vector<double>& values);

// Runs the benchmarks the command line selects (Google Benchmark's own options), printing the
// usual table, and returns what those that ran to the end measured; nothing when the options
// were wrong.
std::optional<Results> runBenchmarks(int argc, char** argv);

// Which time a ratio compares.
enum class TimeBase { Wall, Cpu };

// Prints "ratio <name>: 0.31 (target <= 0.5)" on its own line.
void printRatio(std::string_view name, double ratio, double target);

// The ratio of two benchmarks' times, each per unit of the counter `unit` (per iteration when
// empty), printed as above. Prints "ratio <name>: not measured" and returns false when either
// side is missing.
bool printRatio(const Results& results, std::string_view name, const std::string& numerator,
                const std::string& denominator, double target, TimeBase base,
                const std::string& unit = {});

} // namespace quorvane::bench
