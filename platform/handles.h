#pragma once
// Handle types shared by every service of the platform layer. They are opaque: each home
// (soft raster, Win32) gives them its own meaning, and the toolkit only passes them around.
#include <cstdint>

namespace platform {

struct DeviceObject;
struct GraphicsObject;
struct WindowObject;
struct ModuleObject;

// A device context: the surface drawn on plus its selected objects and drawing state.
using DeviceHandle = DeviceObject*;
// A pen, brush, font, bitmap or region.
using ObjectHandle = GraphicsObject*;
// A window of the windowing half; the drawing half only stores it.
using WindowHandle = WindowObject*;
// A loaded library (the plug-in module, the blending library).
using ModuleHandle = ModuleObject*;

// A colour as the platform takes it: red | green << 8 | blue << 16.
using ColorRef = uint32_t;
inline constexpr ColorRef kInvalidColor = 0xFFFFFFFFu;

constexpr ColorRef makeColorRef(uint8_t red, uint8_t green, uint8_t blue) {
    return ColorRef(red) | ColorRef(green) << 8 | ColorRef(blue) << 16;
}

// A rectangle in device pixels, right and bottom exclusive.
struct Box {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

struct Position {
    int32_t x = 0;
    int32_t y = 0;
};

} // namespace platform
