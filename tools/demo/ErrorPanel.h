#pragma once

#include <cstddef>
#include <cstdio>
#include <vector>

#include "tools/demo/ErrorSeriesFile.h"

namespace demo {

// The height of the panel WriteErrorPanel draws for `seriesCount` series: the plot, its time axis,
// and a legend line for each series.
double ErrorPanelHeight(size_t seriesCount);

// A panel of the position error at display time over each run's seconds, one line per series in
// its own colour, with each series' median and 99th percentile in the legend under the plot, one
// series to a legend line, drawn into an SVG `width` wide from `top` down for ErrorPanelHeight.
void WriteErrorPanel(std::FILE* out, double top, double width,
                     const std::vector<ErrorSeries>& series);

}  // namespace demo
