#include "standins/runtime/PngWriter.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace standin {
namespace {

// libpng reports errors by longjmp: this frame holds nothing that needs destroying.
bool WriteRows(std::FILE* file, uint32_t width, uint32_t height, png_bytepp rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool WriteRgbPng(const std::string& path, uint32_t width, uint32_t height,
                 const std::vector<uint8_t>& rgb) {
    if (width == 0 || height == 0 || rgb.size() != static_cast<size_t>(width) * height * 3) {
        return false;
    }
    std::vector<png_bytep> rows(height);
    for (uint32_t y = 0; y < height; ++y) {
        rows[y] = const_cast<png_bytep>(rgb.data() + static_cast<size_t>(y) * width * 3);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = WriteRows(file, width, height, rows.data());
    return std::fclose(file) == 0 && written;
}

}  // namespace standin
