// tarvex-screen-measure: what a compositor's window showed of a stereo application, from
// screenshots holding the two eyes side by side.

#include <cstdio>
#include <string>

#include "tools/screen-measure/ScreenMeasure.h"

namespace {

void PrintEye(const char* eye, const screen_measure::EyeMeasure& measure) {
    std::printf(" %s: frame shown on %.1f%%", eye, measure.shownShare * 100.0);
    if (measure.centroidX) {
        std::printf(", scene centroid (%+.3f, %+.3f)", *measure.centroidX, *measure.centroidY);
    } else {
        std::printf(", no scene");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::string(argv[1]) == "--help") {
        std::fputs(
            "Usage: tarvex-screen-measure SHOT.ppm|SHOT.png ...\n"
            "For each screenshot of a compositor's window, the left and right halves as the two\n"
            "eyes: the share of each that shows the application's frame (not black), and the\n"
            "centroid of what is drawn on the frame's background against the middle of the eye\n"
            "(0 the middle, +-0.5 the edges; x rightwards, y downwards).\n",
            argc < 2 ? stderr : stdout);
        return argc < 2 ? 1 : 0;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        auto image =
            path.ends_with(".png") ? contact_sheet::ReadPng(path) : screen_measure::ReadPpm(path);
        if (!image) {
            std::fprintf(stderr, "tarvex-screen-measure: cannot read %s\n", path.c_str());
            status = 1;
            continue;
        }
        const uint32_t half = image->width / 2;
        std::printf("%s:", path.c_str());
        PrintEye("left", screen_measure::MeasureEye(*image, 0, half));
        std::printf(";");
        PrintEye("right", screen_measure::MeasureEye(*image, half, half));
        std::printf("\n");
    }
    return status;
}
