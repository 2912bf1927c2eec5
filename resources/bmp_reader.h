#pragma once
// Reads the 24-bit uncompressed BMP pictures the plug-in carries. Anything else, and any file
// whose sizes do not fit its bytes, is refused rather than read past its end.
#include <cstddef>
#include <cstdint>
#include <vector>

struct DecodedPicture {
    int width = 0;
    int height = 0;
    // red | green << 8 | blue << 16, row by row from the top.
    std::vector<uint32_t> pixels;
};

// Accepts a whole file (starting with "BM") or the info header and pixels alone, as a picture
// resource stores them.
bool readBmp(const uint8_t* data, size_t size, DecodedPicture& picture);

// The size readBmp would give the picture, from its headers alone: false where readBmp
// refuses it for its form or its sizes (it may still fail for want of memory).
bool readBmpSize(const uint8_t* data, size_t size, int& width, int& height);
