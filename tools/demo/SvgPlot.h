#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/demo/DemoSession.h"
#include "tools/demo/ErrorSeriesFile.h"
#include "tools/demo/PoseMath.h"
#include "tools/demo/RuntimeRecord.h"

namespace demo {

struct PlotInput {
    std::vector<Vec3> path;  // the simulator's headset path in the application's frame
    const std::vector<ViewSample>* samples = nullptr;
    std::optional<RecordedViews> runtimeViews;  // the runtime's own eyes, when known
    std::string caption;                        // a line under the title, may be empty
    // Errors at display time of this run and of runs to compare it with; none: no error panel.
    std::vector<ErrorSeries> errorSeries;
};

// Writes a top-down picture (x to the right, -z, the forward direction, up): the path as a
// line, the received left and right eye positions as dots, and every half second the pair of
// eyes joined by a bar with a tick in the view's forward direction. Returns false if the file
// cannot be written. Below it, when there are error series, a panel of the position error at
// display time over time.
bool WritePlot(const std::string& file, const PlotInput& input);

}  // namespace demo
