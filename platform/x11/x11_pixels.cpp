// Colours into an XImage's pixels. Each 8-bit level of each channel is placed into the
// visual's mask once, when the image is made, so a pixel costs three table reads; and for the
// layouts servers use (ZPixmap at 32, 24 or 16 bits per pixel, in either byte order) rows are
// written straight into the image's bytes, as XPutPixel would write them. Other layouts go
// through XPutPixel.

#include "platform/x11/x11_home.h"

#include <cstring>

namespace platform {
namespace x11 {
namespace {

int lowestBit(unsigned long mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// A colour component of 8 bits placed into a visual's channel mask of any width.
unsigned long channel(uint32_t value8, unsigned long mask) {
    if (!mask) return 0;
    const int shift = lowestBit(mask);
    const unsigned long full = mask >> shift;
    return ((value8 * full + 127) / 255) << shift;
}

unsigned long pixelOf(const PixelWriter& w, uint32_t color) {
    return w.red[color & 0xFF] | w.green[(color >> 8) & 0xFF] | w.blue[(color >> 16) & 0xFF];
}

// One pixel's bytes in the image's order, as XPutPixel stores them.
void store(unsigned char* at, unsigned long pixel, int bytes, bool mostSignificantFirst) {
    for (int i = 0; i < bytes; ++i) {
        const int shift = 8 * (mostSignificantFirst ? bytes - 1 - i : i);
        at[i] = static_cast<unsigned char>(pixel >> shift);
    }
}

} // namespace

void describePixels(PixelWriter& w, const XImage* image, unsigned long redMask,
                    unsigned long greenMask, unsigned long blueMask, unsigned long alphaBits) {
    for (uint32_t v = 0; v < 256; ++v) {
        // The bits that are no colour are set in every pixel: folded into the red entries.
        w.red[v] = channel(v, redMask) | alphaBits;
        w.green[v] = channel(v, greenMask);
        w.blue[v] = channel(v, blueMask);
    }
    w.bytesPerPixel = 0;
    if (!image || !image->data || image->format != ZPixmap) return;
    const int bits = image->bits_per_pixel;
    if (bits != 32 && bits != 24 && bits != 16) return;
    w.bytesPerPixel = bits / 8;
    w.mostSignificantFirst = image->byte_order == MSBFirst;
}

void writeRow(XImage* image, const PixelWriter& w, const uint32_t* colors, int x0, int x1, int y,
              int scale) {
    if (x0 >= x1) return;
    const int n = scale;
    if (!w.bytesPerPixel) {
        for (int x = x0; x < x1; ++x) {
            const unsigned long pixel = pixelOf(w, colors[x]);
            for (int dy = 0; dy < n; ++dy)
                for (int dx = 0; dx < n; ++dx)
                    XPutPixel(image, x * n + dx, y * n + dy, pixel);
        }
        return;
    }
    const int bytes = w.bytesPerPixel;
    const size_t stride = size_t(image->bytes_per_line);
    unsigned char* first = reinterpret_cast<unsigned char*>(image->data) + size_t(y) * n * stride +
                           size_t(x0) * n * bytes;
    unsigned char* at = first;
    if (bytes == 4 && !w.mostSignificantFirst && n == 1) {
        // The common case, a little-endian 32-bit image: one store per pixel.
        for (int x = x0; x < x1; ++x, at += 4) {
            const uint32_t pixel = static_cast<uint32_t>(pixelOf(w, colors[x]));
            unsigned char b[4] = {
                static_cast<unsigned char>(pixel), static_cast<unsigned char>(pixel >> 8),
                static_cast<unsigned char>(pixel >> 16), static_cast<unsigned char>(pixel >> 24)};
            std::memcpy(at, b, 4);
        }
    } else {
        for (int x = x0; x < x1; ++x) {
            const unsigned long pixel = pixelOf(w, colors[x]);
            for (int dx = 0; dx < n; ++dx, at += bytes)
                store(at, pixel, bytes, w.mostSignificantFirst);
        }
    }
    // The other screen rows of an enlarged client row are copies of the first.
    const size_t length = size_t(at - first);
    for (int dy = 1; dy < n; ++dy)
        std::memcpy(first + size_t(dy) * stride, first, length);
}

} // namespace x11
} // namespace platform
