#include "tools/apng_writer.h"

#include <zlib.h>

#include <cstdio>

namespace {

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}
void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void chunk(std::vector<std::uint8_t>& file, const char* type,
           const std::vector<std::uint8_t>& data) {
    put32(file, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = file.size();
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, file.data() + start, static_cast<uInt>(file.size() - start));
    put32(file, static_cast<std::uint32_t>(crc));
}

} // namespace

ApngWriter::ApngWriter(int w, int h, int framesPerSecond)
    : width(w), height(h), fps(framesPerSecond) {}

bool ApngWriter::addFrame(const std::uint32_t* pixels) {
    // Filter type 0 per scanline, then RGB.
    std::vector<std::uint8_t> raw;
    raw.reserve(static_cast<std::size_t>(height) * (1 + static_cast<std::size_t>(width) * 3));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = pixels[static_cast<std::size_t>(y) * width + x];
            raw.push_back(static_cast<std::uint8_t>(c));
            raw.push_back(static_cast<std::uint8_t>(c >> 8));
            raw.push_back(static_cast<std::uint8_t>(c >> 16));
        }
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(size);
    if (compress2(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) {
        errorText = "cannot compress an animation frame";
        return false;
    }
    packed.resize(size);
    frames.push_back(std::move(packed));
    return true;
}

bool ApngWriter::finish(const std::string& path) {
    if (frames.empty()) {
        errorText = "no frames to write to '" + path + "'";
        return false;
    }
    std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> data;
    put32(data, static_cast<std::uint32_t>(width));
    put32(data, static_cast<std::uint32_t>(height));
    data.insert(data.end(), {8, 2, 0, 0, 0}); // 8-bit RGB, deflate, no interlace
    chunk(file, "IHDR", data);
    data.clear();
    put32(data, static_cast<std::uint32_t>(frames.size()));
    put32(data, 0); // loop for ever
    chunk(file, "acTL", data);

    std::uint32_t sequence = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        data.clear();
        put32(data, sequence++);
        put32(data, static_cast<std::uint32_t>(width));
        put32(data, static_cast<std::uint32_t>(height));
        put32(data, 0);
        put32(data, 0);
        put16(data, 1);
        put16(data, static_cast<std::uint16_t>(fps));
        data.push_back(0); // dispose: none
        data.push_back(0); // blend: source
        chunk(file, "fcTL", data);
        if (i == 0) {
            // The first frame is the default picture too: viewers without APNG show it.
            chunk(file, "IDAT", frames[i]);
        } else {
            data.clear();
            put32(data, sequence++);
            data.insert(data.end(), frames[i].begin(), frames[i].end());
            chunk(file, "fdAT", data);
        }
    }
    chunk(file, "IEND", {});

    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        errorText = "cannot write '" + path + "'";
        return false;
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    if (std::fclose(out) != 0 || !written) {
        errorText = "cannot write '" + path + "'";
        return false;
    }
    return true;
}
