#include "resources/bmp_reader.h"

#include <new>

namespace {

uint32_t read32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t read16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

// Larger pictures than this are not something a plug-in window shows; refusing them keeps a
// damaged header from asking for gigabytes.
constexpr int64_t kMaxPixels = int64_t(1) << 24;

// Where the pixels of a picture lie, once its headers have been checked against its bytes.
struct BmpLayout {
    int32_t width = 0;
    int64_t height = 0;
    bool topDown = false;
    size_t pixelOffset = 0;
    size_t stride = 0;
};

bool readLayout(const uint8_t* data, size_t size, BmpLayout& layout) {
    if (!data) return false;
    size_t info = 0;
    size_t pixelOffset = 0;
    const bool hasFileHeader = size >= 2 && data[0] == 'B' && data[1] == 'M';
    if (hasFileHeader) {
        if (size < 14) return false;
        info = 14;
        pixelOffset = read32(data + 10);
    }
    if (size < info + 40) return false;
    const uint32_t infoSize = read32(data + info);
    if (infoSize < 40 || infoSize > size - info) return false;
    const int32_t width = int32_t(read32(data + info + 4));
    const int32_t rawHeight = int32_t(read32(data + info + 8));
    const uint16_t planes = read16(data + info + 12);
    const uint16_t bits = read16(data + info + 14);
    const uint32_t compression = read32(data + info + 16);
    if (planes != 1 || bits != 24 || compression != 0) return false;
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) return false;
    const bool topDown = rawHeight < 0;
    const int64_t height = topDown ? -int64_t(rawHeight) : rawHeight;
    if (int64_t(width) * height > kMaxPixels) return false;
    if (!hasFileHeader) pixelOffset = info + infoSize;
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    if (pixelOffset > size || stride * size_t(height) > size - pixelOffset) return false;
    layout = {width, height, topDown, pixelOffset, stride};
    return true;
}

} // namespace

bool readBmpSize(const uint8_t* data, size_t size, int& width, int& height) {
    BmpLayout layout;
    if (!readLayout(data, size, layout)) return false;
    width = layout.width;
    height = int(layout.height);
    return true;
}

bool readBmp(const uint8_t* data, size_t size, DecodedPicture& picture) {
    BmpLayout layout;
    if (!readLayout(data, size, layout)) return false;
    const int32_t width = layout.width;
    const int64_t height = layout.height;
    try {
        picture.pixels.assign(size_t(width) * size_t(height), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    picture.width = width;
    picture.height = int(height);
    for (int64_t row = 0; row < height; ++row) {
        const int64_t sourceRow = layout.topDown ? row : height - 1 - row;
        const uint8_t* p = data + layout.pixelOffset + size_t(sourceRow) * layout.stride;
        uint32_t* out = picture.pixels.data() + size_t(row) * size_t(width);
        for (int32_t x = 0; x < width; ++x, p += 3)
            out[x] = uint32_t(p[2]) | uint32_t(p[1]) << 8 | uint32_t(p[0]) << 16;
    }
    return true;
}
