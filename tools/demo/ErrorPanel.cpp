#include "tools/demo/ErrorPanel.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

#include "tools/demo/Statistics.h"

namespace demo {
namespace {

constexpr double kLeft = 70.0;
constexpr double kRight = 20.0;
constexpr double kPlotTop = 40.0;
constexpr double kPlotHeight = 200.0;
// The legend's first baseline under the plot, clear of the time axis' labels, and the lines'
// spacing: more than the line height of the 14-pixel legend font (about 17 pixels), so lines of
// any length cannot run into each other.
constexpr double kLegendFirstLine = 44.0;
constexpr double kLegendLineStep = 20.0;
constexpr double kLegendBottomMargin = 14.0;
constexpr size_t kMaxPointsPerSeries = 2000;
const char* const kColours[] = {"#d62728", "#1f77b4", "#2ca02c", "#9467bd"};

// A step of 1, 2 or 5 times a power of ten that cuts `span` into about five parts.
double TickStep(double span) {
    const double rough = span / 5.0;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough) {
            return factor * power;
        }
    }
    return 10.0 * power;
}

struct Axes {
    double left, right, top, bottom;
    double maxSeconds, maxMm;

    double X(double seconds) const { return left + seconds / maxSeconds * (right - left); }
    // Errors beyond the scale are drawn at its top, so that one stall cannot flatten the rest.
    double Y(double mm) const { return bottom - std::min(mm, maxMm) / maxMm * (bottom - top); }
};

void Grid(std::FILE* out, const Axes& axes) {
    const double mmStep = TickStep(axes.maxMm);
    for (double mm = 0.0; mm <= axes.maxMm + 1e-9; mm += mmStep) {
        std::fprintf(out,
                     "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#dddddd\"/>\n"
                     "<text x=\"%.1f\" y=\"%.1f\" font-size=\"11\" text-anchor=\"end\">%g</text>\n",
                     axes.left, axes.Y(mm), axes.right, axes.Y(mm), axes.left - 6.0,
                     axes.Y(mm) + 4.0, mm);
    }
    const double secondStep = TickStep(axes.maxSeconds);
    for (double s = 0.0; s <= axes.maxSeconds + 1e-9; s += secondStep) {
        std::fprintf(
            out,
            "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"black\"/>\n"
            "<text x=\"%.1f\" y=\"%.1f\" font-size=\"11\" text-anchor=\"middle\">%g</text>\n",
            axes.X(s), axes.bottom, axes.X(s), axes.bottom + 4.0, axes.X(s), axes.bottom + 16.0, s);
    }
    std::fprintf(out,
                 "<polyline fill=\"none\" stroke=\"black\" points=\"%.1f,%.1f %.1f,%.1f "
                 "%.1f,%.1f\"/>\n",
                 axes.left, axes.top, axes.left, axes.bottom, axes.right, axes.bottom);
}

void Line(std::FILE* out, const Axes& axes, const ErrorSeries& series, const char* colour) {
    const size_t step = std::max<size_t>(1, series.frames.size() / kMaxPointsPerSeries);
    std::fprintf(out, "<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"1.2\" points=\"",
                 colour);
    for (size_t i = 0; i < series.frames.size(); i += step) {
        const FrameError& frame = series.frames[i];
        std::fprintf(out, "%.1f,%.1f ", axes.X(frame.seconds), axes.Y(frame.positionMm));
    }
    std::fprintf(out, "\"/>\n");
}

// A label as SVG text: the characters XML reserves replaced by their entities.
std::string Escaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '&':
                escaped += "&amp;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::vector<double> PositionErrors(const ErrorSeries& series) {
    std::vector<double> values;
    values.reserve(series.frames.size());
    for (const FrameError& frame : series.frames) {
        values.push_back(frame.positionMm);
    }
    return values;
}

}  // namespace

double ErrorPanelHeight(size_t seriesCount) {
    const size_t legendLines = std::max<size_t>(seriesCount, 1);
    return kPlotTop + kPlotHeight + kLegendFirstLine +
           kLegendLineStep * static_cast<double>(legendLines - 1) + kLegendBottomMargin;
}

void WriteErrorPanel(std::FILE* out, double top, double width,
                     const std::vector<ErrorSeries>& series) {
    Axes axes{kLeft, width - kRight, top + kPlotTop, top + kPlotTop + kPlotHeight, 1.0, 0.1};
    for (const ErrorSeries& one : series) {
        if (!one.frames.empty()) {
            axes.maxSeconds = std::max(axes.maxSeconds, one.frames.back().seconds);
            axes.maxMm = std::max(axes.maxMm, 1.1 * Percentile(PositionErrors(one), 0.999));
        }
    }
    std::fprintf(out,
                 "<text x=\"10\" y=\"%.1f\">Position error at display time (mm) over each run's "
                 "seconds</text>\n",
                 top + 22.0);
    Grid(out, axes);
    double legendY = axes.bottom + kLegendFirstLine;
    for (size_t i = 0; i < series.size(); ++i) {
        const char* colour = kColours[i % std::size(kColours)];
        Line(out, axes, series[i], colour);
        const std::vector<double> values = PositionErrors(series[i]);
        std::fprintf(out,
                     "<text x=\"10\" y=\"%.1f\" fill=\"%s\">%s: median %.2f mm, 99th "
                     "percentile %.2f mm</text>\n",
                     legendY, colour, Escaped(series[i].label).c_str(), Percentile(values, 0.5),
                     Percentile(values, 0.99));
        legendY += kLegendLineStep;
    }
}

}  // namespace demo
