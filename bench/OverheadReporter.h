#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// Passes every report on to the reporter that Google Benchmark's flags chose (console, JSON or
// CSV) and keeps the real time per call of each benchmark, so that what a hook adds over its
// direct call can be told afterwards. With repetitions it keeps the median.
class OverheadReporter : public benchmark::BenchmarkReporter {
public:
    // `display` is not owned and must outlive this reporter.
    explicit OverheadReporter(benchmark::BenchmarkReporter* display);

    bool ReportContext(const Context& context) override;
    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

    // Real time per call in nanoseconds; nullopt when the benchmark was filtered out or failed.
    std::optional<double> Nanoseconds(const std::string& name) const;

    // One line per hook whose direct and hooked runs both reported: "NAME: the hook adds ...".
    void PrintOverheads(std::ostream& out, const std::vector<std::string>& calls) const;

private:
    struct Timings {
        std::vector<double> repetitions;
        std::optional<double> median;  // the aggregate, when repetitions were asked for
    };

    benchmark::BenchmarkReporter* display_;
    std::map<std::string, Timings> timings_;
};
