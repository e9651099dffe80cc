#include "tools/demo/SvgPlot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "tools/demo/ErrorPanel.h"

namespace demo {
namespace {

constexpr double kSize = 800.0;
constexpr double kMargin = 60.0;
constexpr size_t kMaxDotsPerEye = 1500;
constexpr double kHeadMarkSeconds = 0.5;
constexpr double kForwardTickMetres = 0.1;

struct Frame {
    double minX = std::numeric_limits<double>::max();
    double maxX = std::numeric_limits<double>::lowest();
    double minZ = std::numeric_limits<double>::max();
    double maxZ = std::numeric_limits<double>::lowest();

    void Add(double x, double z) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minZ = std::min(minZ, z);
        maxZ = std::max(maxZ, z);
    }
    double Scale() const {
        const double span = std::max({maxX - minX, maxZ - minZ, 0.5});
        return (kSize - 2.0 * kMargin) / span;
    }
    double X(double x) const { return kMargin + (x - minX) * Scale(); }
    double Y(double z) const { return kMargin + (z - minZ) * Scale(); }
};

void Dots(std::FILE* out, const Frame& frame, const std::vector<ViewSample>& samples, bool left,
          const char* colour) {
    const size_t step = std::max<size_t>(1, samples.size() / kMaxDotsPerEye);
    for (size_t i = 0; i < samples.size(); i += step) {
        const XrVector3f& p = left ? samples[i].left.position : samples[i].right.position;
        std::fprintf(out, "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"2\" fill=\"%s\"/>\n", frame.X(p.x),
                     frame.Y(p.z), colour);
    }
}

// The eyes of one received pose joined by a bar, and a tick from their midpoint along the view's
// forward direction (-Z turned by the heading), so that spacing and head turns can be seen.
void HeadMarks(std::FILE* out, const Frame& frame, const std::vector<ViewSample>& samples) {
    double next = samples.empty() ? 0.0 : samples.front().callSeconds;
    for (const ViewSample& sample : samples) {
        if (sample.callSeconds < next) {
            continue;
        }
        next = sample.callSeconds + kHeadMarkSeconds;
        const XrVector3f& l = sample.left.position;
        const XrVector3f& r = sample.right.position;
        const Vec3 mid = Midpoint(l, r);
        const double heading = Heading(sample.left.orientation);
        const Vec3 tip{mid.x - kForwardTickMetres * std::sin(heading), mid.y,
                       mid.z - kForwardTickMetres * std::cos(heading)};
        std::fprintf(out,
                     "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"black\" "
                     "stroke-width=\"1.5\"/>\n"
                     "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"black\" "
                     "stroke-width=\"1\"/>\n",
                     frame.X(l.x), frame.Y(l.z), frame.X(r.x), frame.Y(r.z), frame.X(mid.x),
                     frame.Y(mid.z), frame.X(tip.x), frame.Y(tip.z));
    }
}

}  // namespace

bool WritePlot(const std::string& file, const PlotInput& input) {
    std::FILE* out = std::fopen(file.c_str(), "w");
    if (out == nullptr) {
        return false;
    }
    Frame frame;
    for (const Vec3& p : input.path) {
        frame.Add(p.x, p.z);
    }
    const std::vector<ViewSample> none;
    const std::vector<ViewSample>& samples = input.samples != nullptr ? *input.samples : none;
    for (const ViewSample& s : samples) {
        frame.Add(s.left.position.x, s.left.position.z);
        frame.Add(s.right.position.x, s.right.position.z);
    }
    if (input.runtimeViews) {
        frame.Add(input.runtimeViews->left.position.x, input.runtimeViews->left.position.z);
    }
    if (frame.minX > frame.maxX) {
        frame.Add(-1.0, -1.0);
        frame.Add(1.0, 1.0);
    }

    const double panelHeight =
        input.errorSeries.empty() ? 0.0 : ErrorPanelHeight(input.errorSeries.size());
    std::fprintf(out,
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
                 "font-family=\"sans-serif\" font-size=\"14\">\n"
                 "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n",
                 kSize, kSize + 60.0 + panelHeight);
    if (!input.path.empty()) {
        std::fprintf(out,
                     "<polyline fill=\"none\" stroke=\"#1f77b4\" stroke-width=\"2\" points=\"");
        for (const Vec3& p : input.path) {
            std::fprintf(out, "%.1f,%.1f ", frame.X(p.x), frame.Y(p.z));
        }
        std::fprintf(out, "\"/>\n");
    }
    Dots(out, frame, samples, true, "#d62728");
    Dots(out, frame, samples, false, "#2ca02c");
    HeadMarks(out, frame, samples);
    if (input.runtimeViews) {
        for (const XrPosef* eye : {&input.runtimeViews->left, &input.runtimeViews->right}) {
            std::fprintf(
                out, "<rect x=\"%.1f\" y=\"%.1f\" width=\"8\" height=\"8\" fill=\"#7f7f7f\"/>\n",
                frame.X(eye->position.x) - 4.0, frame.Y(eye->position.z) - 4.0);
        }
    }
    // One metre of scale, and the legend.
    const double metre = frame.Scale();
    std::fprintf(out,
                 "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"black\" "
                 "stroke-width=\"2\"/>\n<text x=\"%.1f\" y=\"%.1f\">1 m</text>\n",
                 kMargin, kSize - 20.0, kMargin + metre, kSize - 20.0, kMargin + metre + 6.0,
                 kSize - 15.0);
    std::fprintf(
        out,
        "<text x=\"10\" y=\"22\">Top-down view, application frame (x right, -z up)</text>\n"
        "<text x=\"10\" y=\"42\" font-size=\"12\">%s</text>\n"
        "<text x=\"10\" y=\"%.0f\">black: eyes of one received pose every %.1f s, tick forward"
        "</text>\n"
        "<text x=\"10\" y=\"%.0f\" fill=\"#1f77b4\">simulator headset path</text>\n"
        "<text x=\"200\" y=\"%.0f\" fill=\"#d62728\">left eye received</text>\n"
        "<text x=\"350\" y=\"%.0f\" fill=\"#2ca02c\">right eye received</text>\n"
        "<text x=\"510\" y=\"%.0f\" fill=\"#7f7f7f\">runtime's own eyes</text>\n",
        input.caption.c_str(), kSize + 45.0, kHeadMarkSeconds, kSize + 25.0, kSize + 25.0,
        kSize + 25.0, kSize + 25.0);
    if (!input.errorSeries.empty()) {
        WriteErrorPanel(out, kSize + 60.0, kSize, input.errorSeries);
    }
    std::fprintf(out, "</svg>\n");
    return std::fclose(out) == 0;
}

}  // namespace demo
