#include "tools/contact-sheet/DrawnShare.h"

#include <algorithm>
#include <map>

namespace contact_sheet {
namespace {

Colour ColourAt(const RgbImage& image, uint32_t x, uint32_t y) {
    const uint8_t* pixel = image.At(x, y);
    return {pixel[0], pixel[1], pixel[2]};
}

}  // namespace

Colour ClearedColour(const RgbImage& image) {
    if (image.width == 0 || image.height == 0) {
        return {0, 0, 0};
    }
    std::map<Colour, size_t> counts;
    const uint32_t right = image.width - 1;
    const uint32_t bottom = image.height - 1;
    for (uint32_t x = 0; x < image.width; ++x) {
        ++counts[ColourAt(image, x, 0)];
        if (bottom != 0) {
            ++counts[ColourAt(image, x, bottom)];
        }
    }
    for (uint32_t y = 1; y < bottom; ++y) {
        ++counts[ColourAt(image, 0, y)];
        if (right != 0) {
            ++counts[ColourAt(image, right, y)];
        }
    }
    return std::max_element(counts.begin(), counts.end(),
                            [](const auto& a, const auto& b) { return a.second < b.second; })
        ->first;
}

size_t DrawnPixels(const RgbImage& image) {
    const Colour cleared = ClearedColour(image);
    size_t drawn = 0;
    for (size_t i = 0; i + 3 <= image.pixels.size(); i += 3) {
        drawn += std::equal(cleared.begin(), cleared.end(), &image.pixels[i]) ? 0 : 1;
    }
    return drawn;
}

double DrawnShare(const RgbImage& image) {
    if (image.width == 0 || image.height == 0) {
        return 0.0;
    }
    return static_cast<double>(DrawnPixels(image)) /
           (static_cast<double>(image.width) * image.height);
}

}  // namespace contact_sheet
