#include "OverheadReporter.h"

#include <algorithm>
#include <cstdio>

namespace {

double RealNanoseconds(const benchmark::BenchmarkReporter::Run& run) {
    return run.GetAdjustedRealTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

}  // namespace

OverheadReporter::OverheadReporter(benchmark::BenchmarkReporter* display) : display_(display) {}

bool OverheadReporter::ReportContext(const Context& context) {
    return display_->ReportContext(context);
}

void OverheadReporter::ReportRuns(const std::vector<Run>& runs) {
    display_->ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.error_occurred) {
            continue;
        }
        Timings& timings = timings_[run.run_name.str()];
        if (run.run_type == Run::RT_Iteration) {
            timings.repetitions.push_back(RealNanoseconds(run));
        } else if (run.aggregate_name == "median") {
            timings.median = RealNanoseconds(run);
        }
    }
}

void OverheadReporter::Finalize() {
    display_->Finalize();
}

std::optional<double> OverheadReporter::Nanoseconds(const std::string& name) const {
    const auto found = timings_.find(name);
    if (found == timings_.end()) {
        return std::nullopt;
    }
    if (found->second.median) {
        return found->second.median;
    }
    if (found->second.repetitions.empty()) {
        return std::nullopt;  // only aggregates other than the median were reported
    }
    return Median(found->second.repetitions);
}

void OverheadReporter::PrintOverheads(std::ostream& out,
                                      const std::vector<std::string>& calls) const {
    for (const std::string& call : calls) {
        const std::optional<double> direct = Nanoseconds(call + "/direct");
        const std::optional<double> hook = Nanoseconds(call + "/hook");
        if (!direct || !hook) {
            continue;
        }
        char line[160];
        std::snprintf(line, sizeof(line),
                      "%s: the hook adds %.1f ns per call (%.2fx the direct call)", call.c_str(),
                      *hook - *direct, *hook / *direct);
        out << line << '\n';
    }
}
