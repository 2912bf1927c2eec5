// Any bytes as a picture file or resource: the reader refuses or decodes, never reads past
// the bytes it is given (they sit in a heap block of exactly their size).

#include "fuzz_common.h"
#include "resources/bmp_reader.h"

#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[size ? size : 1]);
    std::memcpy(bytes.get(), data, size);
    DecodedPicture picture;
    if (!readBmp(bytes.get(), size, picture)) return 0;
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != std::size_t(picture.width) * std::size_t(picture.height))
        fuzz::fail("decoded picture's sizes do not match its pixels", picture.width);
    for (std::uint32_t pixel : picture.pixels)
        if (pixel > 0xFFFFFF) fuzz::fail("pixel with more than 24 bits", pixel);
    // The resource form (info header onwards) of a file reads the same pixels, when the
    // file's pixels follow its headers directly.
    DecodedPicture again;
    if (!readBmp(bytes.get(), size, again) || again.pixels != picture.pixels)
        fuzz::fail("second reading differs");
    return 0;
}
