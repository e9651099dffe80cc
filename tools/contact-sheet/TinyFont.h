#pragma once

#include <cstdint>
#include <string_view>

#include "tools/contact-sheet/PngImage.h"

namespace contact_sheet {

// A 5 x 7 pixel font of the characters a frame caption needs: digits, "t", "s", "=", ".", "-",
// ":" and the blank; other characters are left blank.
inline constexpr uint32_t kGlyphWidth = 5;
inline constexpr uint32_t kGlyphHeight = 7;

// Width of `text` drawn at `scale` (one blank column between characters).
uint32_t TextWidth(std::string_view text, uint32_t scale);

// Draws `text` with its top left corner at (x, y), each font pixel a square of `scale` pixels;
// what falls outside the image is dropped.
void DrawText(RgbImage& image, uint32_t x, uint32_t y, std::string_view text, uint32_t scale,
              const uint8_t (&colour)[3]);

}  // namespace contact_sheet
