#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "tools/contact-sheet/PngImage.h"

namespace contact_sheet {

using Colour = std::array<uint8_t, 3>;

// The colour an application cleared its image to: the commonest colour along the image's outer
// rows and columns. A scene in the middle leaves them all to the background, and one that reaches
// into an edge or a corner still leaves most of them; black for an empty image.
Colour ClearedColour(const RgbImage& image);

// The pixels of `image` whose colour is not the cleared one.
size_t DrawnPixels(const RgbImage& image);

// DrawnPixels as a share of all pixels: 0 for a frame where nothing was drawn.
double DrawnShare(const RgbImage& image);

}  // namespace contact_sheet
