#include "tools/contact-sheet/ContactSheet.h"

#include <algorithm>

#include "tools/contact-sheet/TinyFont.h"

namespace contact_sheet {
namespace {

constexpr uint32_t kMargin = 16;
constexpr uint32_t kEyeGap = 4;
constexpr uint8_t kBackground[3] = {24, 24, 24};
constexpr uint8_t kTextColour[3] = {235, 235, 235};

void Paste(RgbImage& target, const RgbImage& source, uint32_t x, uint32_t y) {
    for (uint32_t row = 0; row < source.height && y + row < target.height; ++row) {
        const uint32_t columns = std::min(source.width, target.width - std::min(x, target.width));
        std::copy_n(source.At(0, row), static_cast<size_t>(columns) * 3, target.At(x, y + row));
    }
}

}  // namespace

RgbImage Shrink(const RgbImage& image, uint32_t factor) {
    factor = std::max(factor, 1u);
    RgbImage small;
    small.width = std::max(image.width / factor, 1u);
    small.height = std::max(image.height / factor, 1u);
    small.pixels.resize(static_cast<size_t>(small.width) * small.height * 3);
    for (uint32_t y = 0; y < small.height; ++y) {
        for (uint32_t x = 0; x < small.width; ++x) {
            uint32_t sum[3] = {0, 0, 0};
            uint32_t count = 0;
            for (uint32_t dy = 0; dy < factor && y * factor + dy < image.height; ++dy) {
                for (uint32_t dx = 0; dx < factor && x * factor + dx < image.width; ++dx) {
                    const uint8_t* pixel = image.At(x * factor + dx, y * factor + dy);
                    for (int c = 0; c < 3; ++c) {
                        sum[c] += pixel[c];
                    }
                    ++count;
                }
            }
            for (int c = 0; c < 3; ++c) {
                small.At(x, y)[c] = static_cast<uint8_t>(count != 0 ? sum[c] / count : 0);
            }
        }
    }
    return small;
}

RgbImage ComposeSheet(const std::vector<SheetFrame>& frames, const SheetLayout& layout) {
    std::vector<RgbImage> lefts;
    std::vector<RgbImage> rights;
    uint32_t eyeWidth = 1;
    uint32_t eyeHeight = 1;
    for (const SheetFrame& frame : frames) {
        lefts.push_back(Shrink(frame.left, layout.shrink));
        rights.push_back(Shrink(frame.right, layout.shrink));
        eyeWidth = std::max({eyeWidth, lefts.back().width, rights.back().width});
        eyeHeight = std::max({eyeHeight, lefts.back().height, rights.back().height});
    }
    const uint32_t columns =
        std::max(1u, std::min(layout.columns, static_cast<uint32_t>(frames.size())));
    const auto rows = static_cast<uint32_t>((frames.size() + columns - 1) / columns);
    const uint32_t captionHeight = kGlyphHeight * layout.textScale + 2 * kEyeGap;
    const uint32_t cellWidth = 2 * eyeWidth + kEyeGap;
    const uint32_t cellHeight = eyeHeight + captionHeight;

    RgbImage sheet;
    sheet.width = kMargin + columns * (cellWidth + kMargin);
    sheet.height = kMargin + std::max(rows, 1u) * (cellHeight + kMargin);
    sheet.pixels.resize(static_cast<size_t>(sheet.width) * sheet.height * 3);
    for (size_t i = 0; i < sheet.pixels.size(); i += 3) {
        std::copy_n(kBackground, 3, &sheet.pixels[i]);
    }
    for (size_t i = 0; i < frames.size(); ++i) {
        const uint32_t x = kMargin + static_cast<uint32_t>(i % columns) * (cellWidth + kMargin);
        const uint32_t y = kMargin + static_cast<uint32_t>(i / columns) * (cellHeight + kMargin);
        Paste(sheet, lefts[i], x, y);
        Paste(sheet, rights[i], x + eyeWidth + kEyeGap, y);
        const uint32_t textWidth = TextWidth(frames[i].caption, layout.textScale);
        const uint32_t textX = x + (cellWidth - std::min(textWidth, cellWidth)) / 2;
        DrawText(sheet, textX, y + eyeHeight + kEyeGap, frames[i].caption, layout.textScale,
                 kTextColour);
    }
    return sheet;
}

}  // namespace contact_sheet
