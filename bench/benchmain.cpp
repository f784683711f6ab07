#include "benchmain.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <iostream>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace quorvane::bench {

namespace {

using Run = benchmark::BenchmarkReporter::Run;

// How well a run stands for its benchmark: the minimum before the median before a lone run.
int standing(const Run& run) {
    if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name == "min") {
            return 3;
        }
        return run.aggregate_name == "median" ? 2 : 0;
    }
    return run.repetitions <= 1 ? 1 : 0;
}

std::map<std::string, double> counterValues(const Run& run) {
    std::map<std::string, double> values;
    for (const auto& [name, counter] : run.counters) {
        values[name] = counter.value;
    }
    return values;
}

// The console table as usual, and each benchmark's best-standing run kept for the comparisons
// after it.
class KeepingReporter final : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so that logs stay plain text.
    KeepingReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            if (run.error_occurred) {
                continue;
            }
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "max") {
                m_maxima[name] = counterValues(run);
            }
            const int rank = standing(run);
            if (rank == 0 || m_rank[name] >= rank) {
                continue;
            }
            m_rank[name] = rank;
            Measured measured;
            // An aggregate's iterations are its repetitions, and its times are scaled to match.
            const double iterations = std::max(static_cast<double>(run.iterations), 1.0);
            measured.wallSecondsPerIteration = run.real_accumulated_time / iterations;
            measured.cpuSecondsPerIteration = run.cpu_accumulated_time / iterations;
            measured.counters = counterValues(run);
            m_results[name] = measured;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    Results results() const {
        Results results = m_results;
        for (auto& [name, measured] : results) {
            const auto maxima = m_maxima.find(name);
            measured.counterMaxima = maxima != m_maxima.end() ? maxima->second : measured.counters;
        }
        return results;
    }

private:
    Results m_results;
    std::map<std::string, int> m_rank;
    std::map<std::string, std::map<std::string, double>> m_maxima;
};

} // namespace

double Measured::secondsPer(const std::string& unit, bool wall) const {
    const double perIteration = wall ? wallSecondsPerIteration : cpuSecondsPerIteration;
    const auto found = counters.find(unit);
    if (unit.empty() || found == counters.end() || found->second <= 0.0) {
        return perIteration;
    }
    return perIteration / found->second;
}

double minimumOf(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

double maximumOf(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

std::optional<Results> runBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return std::nullopt;
    }
    KeepingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.results();
}

void printRatio(std::string_view name, double ratio, double target) {
    char line[160];
    std::snprintf(line, sizeof line, "ratio %.*s: %.2f (target <= %g)",
                  static_cast<int>(name.size()), name.data(), ratio, target);
    std::cout << line << std::endl;
}

bool printRatio(const Results& results, std::string_view name, const std::string& numerator,
                const std::string& denominator, double target, TimeBase base,
                const std::string& unit) {
    const auto top = results.find(numerator);
    const auto bottom = results.find(denominator);
    if (top == results.end() || bottom == results.end()) {
        std::cout << "ratio " << name << ": not measured" << std::endl;
        return false;
    }
    const bool wall = base == TimeBase::Wall;
    printRatio(name, top->second.secondsPer(unit, wall) / bottom->second.secondsPer(unit, wall),
               target);
    return true;
}

} // namespace quorvane::bench
