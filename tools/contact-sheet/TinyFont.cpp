#include "tools/contact-sheet/TinyFont.h"

namespace contact_sheet {
namespace {

struct Glyph {
    char character;
    uint8_t rows[kGlyphHeight];  // bit 4 is the leftmost column
};

constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'=', {0x00, 0x00, 0x1F, 0x00, 0x1F, 0x00, 0x00}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'s', {0x00, 0x00, 0x0E, 0x10, 0x0E, 0x01, 0x1E}},
    {'t', {0x08, 0x08, 0x1C, 0x08, 0x08, 0x09, 0x06}},
};

const Glyph* FindGlyph(char character) {
    for (const Glyph& glyph : kGlyphs) {
        if (glyph.character == character) {
            return &glyph;
        }
    }
    return nullptr;
}

}  // namespace

uint32_t TextWidth(std::string_view text, uint32_t scale) {
    return text.empty() ? 0
                        : static_cast<uint32_t>(text.size()) * (kGlyphWidth + 1) * scale - scale;
}

void DrawText(RgbImage& image, uint32_t x, uint32_t y, std::string_view text, uint32_t scale,
              const uint8_t (&colour)[3]) {
    for (size_t i = 0; i < text.size(); ++i) {
        const Glyph* glyph = FindGlyph(text[i]);
        if (glyph == nullptr) {
            continue;
        }
        const uint32_t left = x + static_cast<uint32_t>(i) * (kGlyphWidth + 1) * scale;
        for (uint32_t row = 0; row < kGlyphHeight * scale; ++row) {
            for (uint32_t column = 0; column < kGlyphWidth * scale; ++column) {
                const bool on = (glyph->rows[row / scale] >> (4 - column / scale)) & 1;
                const uint32_t px = left + column;
                const uint32_t py = y + row;
                if (on && px < image.width && py < image.height) {
                    uint8_t* pixel = image.At(px, py);
                    pixel[0] = colour[0];
                    pixel[1] = colour[1];
                    pixel[2] = colour[2];
                }
            }
        }
    }
}

}  // namespace contact_sheet
