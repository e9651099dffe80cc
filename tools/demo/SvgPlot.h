#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/demo/DemoSession.h"
#include "tools/demo/PoseMath.h"
#include "tools/demo/RuntimeRecord.h"

namespace demo {

struct PlotInput {
    std::vector<Vec3> path;  // the simulator's headset path in the application's frame
    const std::vector<ViewSample>* samples = nullptr;
    std::optional<RecordedViews> runtimeViews;  // the runtime's own eyes, when known
};

// Writes a top-down picture (x to the right, -z, the forward direction, up): the path as a
// line, the received left and right eye positions as dots. Returns false if the file cannot be
// written.
bool WritePlot(const std::string& file, const PlotInput& input);

}  // namespace demo
