// The console report of a benchmark run, plus what the ratios at its end
// need: seconds per iteration of each (family, argument), and the values of
// one named counter where a family sets it.
#pragma once
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

class CRatioReporter : public benchmark::ConsoleReporter {
public:
    explicit CRatioReporter(std::string counterName = std::string()) : counter(std::move(counterName)) {}

    void ReportRuns(const std::vector<Run>& reports) override
    {
        ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration || run.iterations <= 0) {
                continue;
            }
            seconds[run.run_name.function_name][run.run_name.args] =
                run.real_accumulated_time / static_cast<double>(run.iterations);
            auto found = counter.empty() ? run.counters.end() : run.counters.find(counter);
            if (found != run.counters.end()) {
                counterValues[run.run_name.function_name][run.run_name.args] = found->second.value;
            }
        }
    }

    std::map<std::string, std::map<std::string, double>> seconds;
    std::map<std::string, std::map<std::string, double>> counterValues;

private:
    std::string counter;
};
