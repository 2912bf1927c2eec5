#pragma once
// A picture loaded from the module's resources by numeric id, shared by reference count.
#include <cstdint>

#include "platform/draw.h"
#include "toolkit/color.h"
#include "toolkit/point.h"
#include "toolkit/rect.h"

class DrawContext;

class Bitmap {
public:
    // Loads the picture; one that cannot be loaded has size 0 x 0 and draws nothing.
    explicit Bitmap(int32_t resourceId);
    // The size Bitmap(resourceId) would have, read without loading the picture; 0 x 0 for one
    // that cannot be loaded.
    static void sizeOfResource(int32_t resourceId, int32_t* width, int32_t* height);
    // An empty picture compatible with the screen.
    Bitmap(int32_t width, int32_t height);
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    void remember() { ++referenceCount; }
    // Drops one reference; the last one deletes the bitmap.
    void forget();
    int32_t getReferenceCount() const { return referenceCount; }

    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }
    int32_t getResourceId() const { return resourceId; }
    platform::ObjectHandle getHandle() const { return handle; }
    bool isLoaded() const { return handle != nullptr; }

    void draw(DrawContext* context, const Rect& rect, const Point& source = Point{});
    void drawTransparent(DrawContext* context, const Rect& rect, const Point& source = Point{});
    void drawAlphaBlend(DrawContext* context, const Rect& rect, const Point& source,
                        uint8_t opacity);

    void setTransparentColor(Color color) { transparentColor = color; }
    Color getTransparentColor() const { return transparentColor; }
    void setTransparencyMask(DrawContext* context, const Point& point);

private:
    ~Bitmap();

    int32_t resourceId = 0;
    int32_t referenceCount = 1;

public:
    int32_t width = 0;
    int32_t height = 0;

private:
    Color transparentColor = kDefaultTransparentColor;
    platform::ObjectHandle handle = nullptr;
    platform::ObjectHandle mask = nullptr;
};
