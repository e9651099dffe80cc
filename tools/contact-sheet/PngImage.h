#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace contact_sheet {

// An 8-bit RGB picture, rows top first.
struct RgbImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;  // width * height * 3

    const uint8_t* At(uint32_t x, uint32_t y) const {
        return &pixels[(static_cast<size_t>(y) * width + x) * 3];
    }
    uint8_t* At(uint32_t x, uint32_t y) {
        return &pixels[(static_cast<size_t>(y) * width + x) * 3];
    }
};

// Reads any PNG libpng can read, converted to 8-bit RGB (alpha dropped, grey spread); nullopt
// when the file is missing or not a PNG.
std::optional<RgbImage> ReadPng(const std::string& path);

bool WritePng(const std::string& path, const RgbImage& image);

}  // namespace contact_sheet
