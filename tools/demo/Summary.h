#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/demo/DemoSession.h"
#include "tools/demo/DisplayError.h"
#include "tools/demo/PathAnalysis.h"
#include "tools/demo/RuntimeRecord.h"

namespace demo {

// The once-a-second line: the runtime's own view pose (when known) beside the received one.
void PrintProgress(const ViewSample& received, uint64_t frames,
                   const std::optional<RecordedViews>& runtime);

struct SummaryInput {
    const RunResult* run = nullptr;
    const std::vector<RecordedViews>* runtimeLocated = nullptr;
    const std::vector<RecordedViews>* runtimeSubmitted = nullptr;
    std::optional<LagReport> lag;
    std::optional<DisplayErrorReport> displayError;
    size_t untrackedFrames = 0;  // frames whose views lacked the tracked bits
    std::string plotPath;        // empty: no plot was written
};

void PrintSummary(const SummaryInput& input);

}  // namespace demo
