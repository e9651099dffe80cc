// What the overhead lines are computed from: the median of the repetitions, whichever of them
// the flags let through to the reporter.

#include "OverheadReporter.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Run = benchmark::BenchmarkReporter::Run;

// Stands in for the console or JSON reporter; only counts what reaches it.
class CountingReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override { forwarded += runs.size(); }
    void Finalize() override { finalized = true; }

    size_t forwarded = 0;
    bool finalized = false;
};

Run Iteration(const std::string& name, double nanoseconds) {
    Run run;
    run.run_name.function_name = name;
    run.iterations = 1000;
    run.time_unit = benchmark::kNanosecond;
    run.real_accumulated_time = nanoseconds * 1e-9 * 1000;
    return run;
}

Run Aggregate(const std::string& name, const std::string& aggregate, double nanoseconds) {
    Run run = Iteration(name, nanoseconds);
    run.run_type = Run::RT_Aggregate;
    run.aggregate_name = aggregate;
    return run;
}

struct MedianCase {
    const char* what;
    std::vector<Run> runs;
    std::optional<double> expected;
};

void PrintTo(const MedianCase& median, std::ostream* out) {
    *out << median.what;
}

class OverheadReporterMedianTest : public testing::TestWithParam<MedianCase> {};

TEST_P(OverheadReporterMedianTest, KeepsTheMedianRealTime) {
    CountingReporter display;
    OverheadReporter reporter(&display);
    reporter.ReportRuns(GetParam().runs);
    reporter.Finalize();

    EXPECT_EQ(display.forwarded, GetParam().runs.size());
    EXPECT_TRUE(display.finalized);
    const std::optional<double> kept = reporter.Nanoseconds("call/hook");
    ASSERT_EQ(kept.has_value(), GetParam().expected.has_value());
    if (kept) {
        EXPECT_NEAR(*kept, *GetParam().expected, 1e-6);
    }
}

Run Failed(Run run) {
    run.error_occurred = true;
    return run;
}

Run InMicroseconds(Run run) {
    run.time_unit = benchmark::kMicrosecond;
    return run;
}

INSTANTIATE_TEST_SUITE_P(
    Flags, OverheadReporterMedianTest,
    testing::Values(
        MedianCase{"OneRun", {Iteration("call/hook", 120)}, 120},
        MedianCase{
            "RepetitionsWithoutAggregates",
            {Iteration("call/hook", 130), Iteration("call/hook", 110), Iteration("call/hook", 500)},
            130},
        MedianCase{
            "EvenRepetitions", {Iteration("call/hook", 100), Iteration("call/hook", 140)}, 120},
        MedianCase{"RepetitionsAndAggregates",
                   {Iteration("call/hook", 130), Iteration("call/hook", 110),
                    Iteration("call/hook", 500), Aggregate("call/hook", "mean", 246),
                    Aggregate("call/hook", "median", 131), Aggregate("call/hook", "stddev", 220)},
                   131},
        MedianCase{"AggregatesOnly",
                   {Aggregate("call/hook", "mean", 246), Aggregate("call/hook", "median", 131),
                    Aggregate("call/hook", "stddev", 220), Aggregate("call/hook", "cv", 0.9)},
                   131},
        MedianCase{"MeanOnly", {Aggregate("call/hook", "mean", 246)}, std::nullopt},
        MedianCase{"OtherTimeUnit", {InMicroseconds(Iteration("call/hook", 120))}, 120},
        MedianCase{"FailedRun", {Failed(Iteration("call/hook", 120))}, std::nullopt},
        MedianCase{"FilteredOut", {Iteration("call/direct", 3)}, std::nullopt}),
    [](const testing::TestParamInfo<MedianCase>& test) { return std::string(test.param.what); });

TEST(OverheadReporterTest, PrintsOnlyTheCallsWhoseBothRunsReported) {
    CountingReporter display;
    OverheadReporter reporter(&display);
    reporter.ReportRuns({Iteration("xrLocateViews/direct", 5), Iteration("xrLocateViews/hook", 105),
                         Aggregate("xrEndFrame/hook", "median", 80)});
    std::ostringstream out;
    reporter.PrintOverheads(out, {"xrLocateViews", "xrEndFrame"});
    EXPECT_EQ(out.str(),
              "xrLocateViews: the hook adds 100.0 ns per call (21.00x the direct call)\n");
}

}  // namespace
