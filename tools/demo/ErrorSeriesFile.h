#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/demo/DisplayError.h"

namespace demo {

// One run's errors at display time, frame by frame, under the name the run goes by, so that a
// later run can draw them beside its own.
struct ErrorSeries {
    std::string label;
    std::vector<FrameError> frames;
};

// A header line naming the run, a line naming the columns, then "seconds position_mm
// rotation_deg" per frame. False if the file cannot be written.
bool WriteErrorSeries(const std::string& file, const ErrorSeries& series);

// nullopt if the file cannot be read or is not such a file.
std::optional<ErrorSeries> ReadErrorSeries(const std::string& file);

}  // namespace demo
