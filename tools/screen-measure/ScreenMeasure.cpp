#include "tools/screen-measure/ScreenMeasure.h"

#include <algorithm>
#include <fstream>
#include <map>

namespace screen_measure {
namespace {

// A compositor's black, allowing for the odd rounding of a scaled or filtered edge.
constexpr int kBlackLevel = 8;

bool IsBlack(const uint8_t* pixel) {
    return pixel[0] <= kBlackLevel && pixel[1] <= kBlackLevel && pixel[2] <= kBlackLevel;
}

uint32_t Colour(const uint8_t* pixel) {
    return uint32_t{pixel[0]} << 16 | uint32_t{pixel[1]} << 8 | uint32_t{pixel[2]};
}

}  // namespace

EyeMeasure MeasureEye(const contact_sheet::RgbImage& image, uint32_t left, uint32_t width) {
    EyeMeasure measure;
    const uint32_t right = std::min(image.width, left + width);
    if (right <= left || image.height == 0) {
        return measure;
    }
    std::map<uint32_t, size_t> counts;
    size_t shown = 0;
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = left; x < right; ++x) {
            if (!IsBlack(image.At(x, y))) {
                ++shown;
                ++counts[Colour(image.At(x, y))];
            }
        }
    }
    const double total = static_cast<double>(right - left) * image.height;
    measure.shownShare = static_cast<double>(shown) / total;
    if (counts.empty()) {
        return measure;
    }
    const uint32_t background =
        std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
            return a.second < b.second;
        })->first;
    double sumX = 0.0;
    double sumY = 0.0;
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = left; x < right; ++x) {
            const uint8_t* pixel = image.At(x, y);
            if (!IsBlack(pixel) && Colour(pixel) != background) {
                ++measure.scenePixels;
                sumX += x - left;
                sumY += y;
            }
        }
    }
    if (measure.scenePixels > 0) {
        const double n = static_cast<double>(measure.scenePixels);
        measure.centroidX = (sumX / n + 0.5) / (right - left) - 0.5;
        measure.centroidY = (sumY / n + 0.5) / image.height - 0.5;
    }
    return measure;
}

std::optional<contact_sheet::RgbImage> ReadPpm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t maximum = 0;
    if (!(in >> magic >> width >> height >> maximum) || magic != "P6" || maximum != 255 ||
        width == 0 || height == 0) {
        return std::nullopt;
    }
    in.get();  // the one blank after the header
    contact_sheet::RgbImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<size_t>(width) * height * 3);
    if (!in.read(reinterpret_cast<char*>(image.pixels.data()),
                 static_cast<std::streamsize>(image.pixels.size()))) {
        return std::nullopt;
    }
    return image;
}

}  // namespace screen_measure
