#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

// Writes 8-bit RGB rows, top row first, as a PNG file. False when the file cannot be written.
bool WriteRgbPng(const std::string& path, uint32_t width, uint32_t height,
                 const std::vector<uint8_t>& rgb);

}  // namespace standin
