// tarvex-demo: an OpenXR application, headless or with Vulkan, that shows what the application
// receives.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "platform/Platform.h"
#include "tools/demo/DemoOptions.h"
#include "tools/demo/DemoSession.h"
#include "tools/demo/DisplayError.h"
#include "tools/demo/ErrorSeriesFile.h"
#include "tools/demo/PathAnalysis.h"
#include "tools/demo/RuntimeRecord.h"
#include "tools/demo/Summary.h"
#include "tools/demo/SvgPlot.h"
#include "tools/demo/ViewDump.h"

namespace {

constexpr const char* kRuntimeRecordVariable = "TARVEX_STANDIN_RUNTIME_RECORD";

// The runtime's own poses come from the stand-in runtime's record; the demo names the file for
// it when nobody else has (the runtime reads the variable at xrCreateInstance).
std::string ChooseRuntimeRecord(const demo::DemoOptions& options) {
    std::string path = options.runtimeRecordPath;
    if (path.empty()) {
        if (const char* set = std::getenv(kRuntimeRecordVariable); set != nullptr && *set != '\0') {
            return set;
        }
        path = options.plotPath + ".runtime-record.txt";
    }
    platform::SetEnvironmentValue(kRuntimeRecordVariable, path.c_str());
    return path;
}

// This run's errors at display time into the picture's panel (after another run's, to compare
// with) and into the errors file.
void AddErrorSeries(const demo::DemoOptions& options, const demo::DisplayErrorReport& errors,
                    demo::PlotInput& plot) {
    const demo::ErrorSeries series{options.label, errors.frameErrors};
    if (!options.errorsPath.empty() && !demo::WriteErrorSeries(options.errorsPath, series)) {
        std::printf("tarvex-demo: cannot write %s\n", options.errorsPath.c_str());
    }
    if (!options.compareErrorsPath.empty()) {
        if (auto other = demo::ReadErrorSeries(options.compareErrorsPath)) {
            plot.errorSeries.push_back(std::move(*other));
        } else {
            std::printf("tarvex-demo: cannot read the errors in %s\n",
                        options.compareErrorsPath.c_str());
        }
    }
    plot.errorSeries.push_back(series);
}

}  // namespace

int main(int argc, char** argv) {
    const demo::DemoCommandLine commandLine = demo::ParseDemoCommandLine(argc, argv);
    if (!commandLine.run) {
        std::fputs(commandLine.message.c_str(),
                   commandLine.exitCode == demo::kExitOk ? stdout : stderr);
        return commandLine.exitCode;
    }
    const demo::DemoOptions* options = &commandLine.options;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    demo::RuntimeRecordReader record(ChooseRuntimeRecord(*options));

    const demo::RunResult run =
        demo::RunDemoSession(*options, [&](const demo::ViewSample& sample, uint64_t frames) {
            record.ReadNew();
            std::optional<demo::RecordedViews> runtime;
            if (!record.Located().empty()) {
                runtime = record.Located().back();
            }
            demo::PrintProgress(sample, frames, runtime);
        });
    if (!options->dumpViewsPath.empty() &&
        !demo::WriteViewDump(options->dumpViewsPath, run.samples)) {
        std::printf("tarvex-demo: cannot write %s\n", options->dumpViewsPath.c_str());
    }

    if (run.outcome == demo::RunOutcome::kNoReferenceSpace) {
        std::printf(
            "tarvex-demo: %s\n"
            "tarvex-demo: no reference space, so nothing can be shown. With the tracking layer "
            "this means it found no headset pose (is the motion-capture server running and the "
            "rigid body visible?) or could not read its configuration (see its message above).\n",
            run.message.c_str());
        return demo::kExitNoReferenceSpace;
    }
    if (run.outcome == demo::RunOutcome::kFailed) {
        std::printf("tarvex-demo: %s\n", run.message.c_str());
        return demo::kExitOpenXRFailure;
    }

    record.ReadNew();
    demo::SummaryInput summary;
    summary.run = &run;
    summary.runtimeLocated = &record.Located();
    summary.runtimeSubmitted = &record.Submitted();
    summary.untrackedFrames = demo::CountUntrackedFrames(run.samples);

    demo::PlotInput plot;
    plot.samples = &run.samples;
    if (!record.Located().empty()) {
        plot.runtimeViews = record.Located().back();
    }
    if (options->pathStart) {
        summary.lag = demo::AnalyseLag(run.samples, *options->pathStart);
        if (summary.lag) {
            summary.displayError = demo::MeasureDisplayError(run.samples, *options->pathStart,
                                                             summary.lag->alignmentYaw);
            AddErrorSeries(*options, *summary.displayError, plot);
        }
        if (summary.lag && !run.samples.empty()) {
            plot.path = demo::PathInApplicationFrame(
                summary.lag->alignmentYaw, run.samples.front().callSeconds - *options->pathStart,
                run.samples.back().callSeconds - *options->pathStart);
            char caption[200];
            std::snprintf(caption, sizeof(caption),
                          "simulator path after the layer's half turn and its yaw alignment "
                          "(%.1f deg); received poses trail it by %.1f ms (median)",
                          summary.lag->alignmentYaw * demo::kDegrees,
                          summary.lag->medianSeconds * 1000.0);
            plot.caption = caption;
        }
    }
    if (demo::WritePlot(options->plotPath, plot)) {
        std::error_code error;
        const auto absolute = std::filesystem::absolute(options->plotPath, error);
        summary.plotPath = error ? options->plotPath : absolute.string();
    }
    demo::PrintSummary(summary);
    return demo::kExitOk;
}
