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
    std::string caption;                        // a line under the title, may be empty
};

// Writes a top-down picture (x to the right, -z, the forward direction, up): the path as a
// line, the received left and right eye positions as dots, and every half second the pair of
// eyes joined by a bar with a tick in the view's forward direction. Returns false if the file
// cannot be written.
bool WritePlot(const std::string& file, const PlotInput& input);

}  // namespace demo
