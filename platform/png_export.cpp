#include "platform/png_export.h"

#include <cstdio>
#include <png.h>
#include <vector>

#include "platform/draw.h"

namespace platform {

bool writePng(const std::string& path, int width, int height, const uint32_t* pixels) {
    if (width <= 0 || height <= 0 || !pixels) return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
        rgb[i * 3] = uint8_t(pixels[i]);
        rgb[i * 3 + 1] = uint8_t(pixels[i] >> 8);
        rgb[i * 3 + 2] = uint8_t(pixels[i] >> 16);
    }
    const bool written =
        png_image_write_to_stdio(&image, file, 0, rgb.data(), width * 3, nullptr) != 0;
    png_image_free(&image);
    return std::fclose(file) == 0 && written;
}

bool writeBitmapPng(const std::string& path, ObjectHandle bitmap) {
    int width = 0, height = 0;
    if (!getBitmapSize(bitmap, &width, &height) || width <= 0 || height <= 0) return false;
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    if (!readBitmapPixels(bitmap, width, height, pixels.data())) return false;
    return writePng(path, width, height, pixels.data());
}

bool readPng(const std::string& path, int& width, int& height, std::vector<uint32_t>& pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    width = int(image.width);
    height = int(image.height);
    pixels.resize(size_t(width) * size_t(height));
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] =
            uint32_t(rgb[i * 3]) | uint32_t(rgb[i * 3 + 1]) << 8 | uint32_t(rgb[i * 3 + 2]) << 16;
    return true;
}

} // namespace platform
