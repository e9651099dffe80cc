#pragma once

#include <cstdio>
#include <vector>

#include "tools/demo/ErrorSeriesFile.h"

namespace demo {

inline constexpr double kErrorPanelHeight = 320.0;

// A panel of the position error at display time over each run's seconds, one line per series in
// its own colour, with each series' median and 99th percentile in the legend, drawn into an SVG
// `width` wide from `top` down for kErrorPanelHeight.
void WriteErrorPanel(std::FILE* out, double top, double width,
                     const std::vector<ErrorSeries>& series);

}  // namespace demo
