#pragma once
// Writes pixels as PNG files (red, green, blue; 8 bits each).
#include <cstdint>
#include <string>
#include <vector>

#include "platform/handles.h"

namespace platform {

// Pixels are ColorRef values, row by row from the top.
bool writePng(const std::string& path, int width, int height, const uint32_t* pixels);
// Any bitmap of the drawing layer: a memory surface, a loaded picture, a one-bit mask.
bool writeBitmapPng(const std::string& path, ObjectHandle bitmap);
// Reads a PNG file of any format into ColorRef pixels (alpha dropped); false when the file
// cannot be read.
bool readPng(const std::string& path, int& width, int& height, std::vector<uint32_t>& pixels);

} // namespace platform
