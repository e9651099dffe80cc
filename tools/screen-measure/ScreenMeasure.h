#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "tools/contact-sheet/PngImage.h"

namespace screen_measure {

// What a compositor's picture of one eye shows: how much of it is the application's frame rather
// than the black the compositor leaves where it has none, and where the scene stands in it.
struct EyeMeasure {
    double shownShare = 0.0;  // 0 to 1: pixels that are not black
    size_t scenePixels = 0;   // neither black nor the application's cleared background
    // The scene's centroid against the middle of the eye's image, in image widths and heights:
    // 0 the middle, -0.5 and +0.5 the edges (x rightwards, y downwards). Unset without a scene.
    std::optional<double> centroidX;
    std::optional<double> centroidY;
};

// Measures the columns [left, left + width) of `image`. The background is the most common colour
// that is not black.
EyeMeasure MeasureEye(const contact_sheet::RgbImage& image, uint32_t left, uint32_t width);

// Reads a binary PPM (P6, 8 bits), as netpbm's tools write it; nullopt for anything else.
std::optional<contact_sheet::RgbImage> ReadPpm(const std::string& path);

}  // namespace screen_measure
