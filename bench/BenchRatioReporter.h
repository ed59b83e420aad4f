// A console reporter that also keeps every run's rate, so that a benchmark
// program can end with a table of ratios between its own cases.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    /// counter: the rate to keep, "items_per_second" or "bytes_per_second".
    explicit RatioReporter(std::string counter) : m_strCounter(std::move(counter)) {}

    /// Rate of each run, by the benchmark's full name.
    std::map<std::string, double> m_rates;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            auto it = r.counters.find(m_strCounter);
            if (it != r.counters.end()) m_rates[r.benchmark_name()] = it->second;
        }
    }

private:
    std::string m_strCounter;
};
