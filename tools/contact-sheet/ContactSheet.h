#pragma once

#include <string>
#include <vector>

#include "tools/contact-sheet/PngImage.h"

namespace contact_sheet {

// One rendered frame: the two eyes' images and the caption under them.
struct SheetFrame {
    RgbImage left;
    RgbImage right;
    std::string caption;
};

struct SheetLayout {
    uint32_t columns = 3;    // frames per row
    uint32_t shrink = 4;     // each eye's image is shrunk by this factor (box filter)
    uint32_t textScale = 3;  // caption font pixel size
};

// The frames in rows of `columns`, left and right eye side by side, each pair captioned.
RgbImage ComposeSheet(const std::vector<SheetFrame>& frames, const SheetLayout& layout);

// `image` shrunk by `factor` in both directions, each pixel the mean of the block it covers.
RgbImage Shrink(const RgbImage& image, uint32_t factor);

}  // namespace contact_sheet
