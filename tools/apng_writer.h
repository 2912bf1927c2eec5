#pragma once
// Animated PNG files (APNG), true colour, written with zlib: every frame whole, at a fixed
// frame rate, looping. Frames are compressed as they arrive, so a long animation holds only
// compressed data until `finish` writes the file.

#include <cstdint>
#include <string>
#include <vector>

class ApngWriter {
public:
    ApngWriter(int width, int height, int framesPerSecond);

    // Pixels are ColorRef values (red in the low byte), row by row from the top.
    bool addFrame(const std::uint32_t* pixels);
    // Writes the file; false with `error()` set when it cannot.
    bool finish(const std::string& path);
    const std::string& error() const { return errorText; }
    int frameCount() const { return static_cast<int>(frames.size()); }

private:
    int width, height, fps;
    std::vector<std::vector<std::uint8_t>> frames; // deflated scanlines
    std::string errorText;
};
