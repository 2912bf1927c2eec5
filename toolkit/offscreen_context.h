#pragma once
// A drawing context on a memory surface: a view composes its picture here and copies the
// result to the window in one step.
#include <cstdint>

#include "toolkit/draw_context.h"

class Bitmap;

class OffscreenContext : public DrawContext {
public:
    // A surface of width x height, cleared to the background colour.
    OffscreenContext(Frame* frame, int32_t width, int32_t height, Color background);
    // A surface compatible with the context's device: the bitmap's own picture with
    // drawIntoBitmap, else a new surface holding a copy of the bitmap (black without one).
    OffscreenContext(DrawContext* context, Bitmap* bitmap, bool drawIntoBitmap);
    ~OffscreenContext() override;

    void copyTo(DrawContext* destination, const Rect& rect, const Point& source = Point{});
    void copyFrom(DrawContext* source, const Rect& rect, const Point& destination = Point{});

    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }
    platform::ObjectHandle getSurface() const { return surface; }

protected:
    Bitmap* heldBitmap = nullptr;
    Bitmap* sourceBitmap = nullptr;
    int32_t height = 20;
    int32_t width = 20;
    bool ownsSurface = false;
    Color backgroundColor = kBlackColor;
    platform::ObjectHandle surface = nullptr;
    platform::ObjectHandle priorSurface = nullptr;

private:
    void setSurfaceSize(int32_t w, int32_t h);
    // Makes the memory device and selects the surface into it.
    void attach(platform::DeviceHandle compatibleWith, platform::ObjectHandle picture);
};
