#include "tools/contact-sheet/PngImage.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace contact_sheet {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// libpng reports errors by longjmp: these frames hold nothing that needs destroying, and the
// caller owns the pixel buffer.
bool ReadInto(std::FILE* file, RgbImage& image, std::vector<png_bytep>& rows) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    image.width = png_get_image_width(png, info);
    image.height = png_get_image_height(png, info);
    image.pixels.resize(static_cast<size_t>(image.width) * image.height * 3);
    rows.resize(image.height);
    for (uint32_t y = 0; y < image.height; ++y) {
        rows[y] = image.At(0, y);
    }
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

bool WriteFrom(std::FILE* file, const RgbImage& image, std::vector<png_bytep>& rows) {
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
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

std::optional<RgbImage> ReadPng(const std::string& path) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return std::nullopt;
    }
    png_byte signature[8] = {};
    if (std::fread(signature, 1, sizeof signature, file.get()) != sizeof signature ||
        png_sig_cmp(signature, 0, sizeof signature) != 0) {
        return std::nullopt;
    }
    std::rewind(file.get());
    RgbImage image;
    std::vector<png_bytep> rows;
    if (!ReadInto(file.get(), image, rows)) {
        return std::nullopt;
    }
    return image;
}

bool WritePng(const std::string& path, const RgbImage& image) {
    if (image.width == 0 || image.height == 0 ||
        image.pixels.size() != static_cast<size_t>(image.width) * image.height * 3) {
        return false;
    }
    std::vector<png_bytep> rows(image.height);
    for (uint32_t y = 0; y < image.height; ++y) {
        rows[y] = const_cast<png_bytep>(image.At(0, y));
    }
    File file(std::fopen(path.c_str(), "wb"));
    if (!file || !WriteFrom(file.get(), image, rows)) {
        return false;
    }
    return std::fclose(file.release()) == 0;
}

}  // namespace contact_sheet
