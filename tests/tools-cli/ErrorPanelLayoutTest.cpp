// The error panel's words stay apart: every text of the panel (title, axis labels, one legend line
// per run with its median and 99th percentile) is given the box its glyphs can fill, and no two
// boxes may meet, nor leave the panel.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "tools/demo/ErrorPanel.h"
#include "tools/demo/ErrorSeriesFile.h"

namespace {

// The picture's own font size, which texts without one inherit.
constexpr double kPictureFontSize = 14.0;
// The box a text's glyphs fill at most in a sans-serif font: 0.6 em a character (DejaVu Sans,
// Debian's sans-serif, averages about 0.53 em on a legend line), from the ascender 0.93 em above
// the baseline to the descender 0.24 em below it.
constexpr double kEmPerCharacter = 0.6;
constexpr double kAscent = 0.93;
constexpr double kDescent = 0.24;

struct TextBox {
    std::string text;
    double left, right, top, bottom;
};

void PrintTo(const TextBox& box, std::ostream* out) {
    *out << "\"" << box.text << "\" [" << box.left << ", " << box.right << "] x [" << box.top
         << ", " << box.bottom << "]";
}

bool Overlap(const TextBox& a, const TextBox& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::string Attribute(const std::string& attributes, const std::string& name,
                      const std::string& otherwise) {
    std::smatch match;
    const std::regex pattern("(^|\\s)" + name + "=\"([^\"]*)\"");
    return std::regex_search(attributes, match, pattern) ? match[2].str() : otherwise;
}

// Every <text> element of `svg`, an XML entity counted as the one character it stands for.
std::vector<TextBox> TextBoxes(const std::string& svg) {
    std::vector<TextBox> boxes;
    const std::regex element("<text ([^>]*)>([^<]*)</text>");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), element);
         it != std::sregex_iterator(); ++it) {
        const std::string attributes = (*it)[1].str();
        const std::string text = std::regex_replace((*it)[2].str(), std::regex("&[a-z]+;"), "_");
        const double x = std::stod(Attribute(attributes, "x", "0"));
        const double y = std::stod(Attribute(attributes, "y", "0"));
        const double size =
            std::stod(Attribute(attributes, "font-size", std::to_string(kPictureFontSize)));
        const double width = static_cast<double>(text.size()) * kEmPerCharacter * size;
        const std::string anchor = Attribute(attributes, "text-anchor", "start");
        const double left = anchor == "end" ? x - width : anchor == "middle" ? x - width / 2.0 : x;
        boxes.push_back({text, left, left + width, y - kAscent * size, y + kDescent * size});
    }
    return boxes;
}

struct PanelCase {
    const char* name;
    std::vector<std::string> labels;
    double errorMm;  // each series' error, rising to twice this over its second
};

void PrintTo(const PanelCase& c, std::ostream* out) {
    *out << c.name;
}

class ErrorPanelLayout : public ::testing::TestWithParam<PanelCase> {
protected:
    void SetUp() override {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = (std::filesystem::temp_directory_path() /
                 ("tarvex-error-panel-" + std::string(GetParam().name) + "-" +
                  std::to_string(stamp) + ".svg"))
                    .string();
    }
    void TearDown() override { std::filesystem::remove(path_); }

    std::string Panel(double top, double width, const std::vector<demo::ErrorSeries>& series) {
        std::FILE* out = std::fopen(path_.c_str(), "w");
        EXPECT_NE(out, nullptr) << path_;
        if (out == nullptr) {
            return {};
        }
        demo::WriteErrorPanel(out, top, width, series);
        std::fclose(out);
        std::ifstream in(path_);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::string path_;
};

TEST_P(ErrorPanelLayout, NoTwoTextsMeetAndAllStayInThePanel) {
    constexpr double kTop = 860.0;  // where the demo's picture puts the panel
    constexpr double kWidth = 800.0;
    const PanelCase& c = GetParam();
    std::vector<demo::ErrorSeries> series;
    for (const std::string& label : c.labels) {
        series.push_back({label, {{0.0, c.errorMm, 0.1}, {1.0, 2.0 * c.errorMm, 0.1}}});
    }
    const std::string svg = Panel(kTop, kWidth, series);
    const std::vector<TextBox> boxes = TextBoxes(svg);
    size_t legendLines = 0;
    for (const TextBox& box : boxes) {
        legendLines += box.text.find(": median ") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(legendLines, c.labels.size()) << svg;
    const double bottom = kTop + demo::ErrorPanelHeight(c.labels.size());
    for (size_t i = 0; i < boxes.size(); ++i) {
        SCOPED_TRACE(testing::PrintToString(boxes[i]));
        EXPECT_GE(boxes[i].left, 0.0);
        EXPECT_LE(boxes[i].right, kWidth);
        EXPECT_GE(boxes[i].top, kTop);
        EXPECT_LE(boxes[i].bottom, bottom);
        for (size_t j = i + 1; j < boxes.size(); ++j) {
            EXPECT_FALSE(Overlap(boxes[i], boxes[j])) << testing::PrintToString(boxes[j]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ErrorPanelLayout,
    ::testing::Values(
        // The main job's picture: the run with prediction on drawn beside the one without.
        PanelCase{"PredictionOnAndOff", {"prediction on", "prediction off"}, 0.12},
        PanelCase{"LargeErrors", {"prediction on", "prediction off"}, 12345.6},
        PanelCase{"OneRun", {"prediction off"}, 0.12},
        PanelCase{"FourRuns",
                  {"jitter off, prediction off", "jitter off, prediction on",
                   "jitter on, prediction off", "jitter on, prediction on"},
                  3.5},
        PanelCase{"EscapedLabels", {"off <a&b>", "on <a&b>"}, 0.12}),
    [](const ::testing::TestParamInfo<PanelCase>& param) { return std::string(param.param.name); });

}  // namespace
