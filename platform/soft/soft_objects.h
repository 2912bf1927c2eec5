#pragma once
// The objects behind the soft raster's handles. Shared by the files of the soft home and by
// the windowing half, which makes window devices on its own surfaces.
#include "platform/draw.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace platform {

struct SoftFace;
struct SoftFaceDeleter {
    void operator()(SoftFace* face) const;
};

struct GraphicsObject {
    enum class Kind { pen, brush, font, bitmap, region };
    explicit GraphicsObject(Kind k) : kind(k) {}
    virtual ~GraphicsObject() = default;
    GraphicsObject(const GraphicsObject&) = delete;
    GraphicsObject& operator=(const GraphicsObject&) = delete;

    Kind kind;
    bool stock = false;
    // Deleted by its owner while still selected somewhere: freed when the last device lets go.
    bool deletePending = false;
    int selections = 0;
};

struct SoftPen : GraphicsObject {
    SoftPen() : GraphicsObject(Kind::pen) {}
    int style = kPenSolid;
    int width = 1;
    ColorRef color = 0;
};

struct SoftBrush : GraphicsObject {
    SoftBrush() : GraphicsObject(Kind::brush) {}
    ColorRef color = 0;
};

struct SoftFont : GraphicsObject {
    SoftFont() : GraphicsObject(Kind::font) {}
    ~SoftFont() override;
    FontDescription description;
    // Opened on first use.
    std::unique_ptr<SoftFace, SoftFaceDeleter> face;
    bool faceTried = false;
};

// A pixel surface: ColorRef values row by row from the top. One-bit surfaces hold only black
// (bit 0) and white (bit 1).
struct SoftBitmap : GraphicsObject {
    SoftBitmap(int w, int h, bool isMono)
        : GraphicsObject(Kind::bitmap), width(w), height(h), mono(isMono),
          pixels(size_t(w) * size_t(h), 0) {}
    // A colour surface that takes over a decoded picture of w * h pixels.
    SoftBitmap(int w, int h, std::vector<uint32_t>&& picture)
        : GraphicsObject(Kind::bitmap), width(w), height(h), mono(false),
          pixels(std::move(picture)) {}
    int width;
    int height;
    bool mono;
    std::vector<uint32_t> pixels;
    DeviceObject* selectedIn = nullptr;

    uint32_t& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

struct SoftRegion : GraphicsObject {
    SoftRegion() : GraphicsObject(Kind::region) {}
    Box box;
};

struct DeviceObject {
    // The screen device has the colour format and no pixels of its own.
    bool screen = false;
    SoftPen* pen = nullptr;
    SoftBrush* brush = nullptr;
    SoftFont* font = nullptr;
    SoftBitmap* bitmap = nullptr;
    // The 1 x 1 one-bit bitmap every memory device starts with; owned by the device.
    SoftBitmap* defaultBitmap = nullptr;
    ColorRef bkColor = 0xFFFFFF;
    ColorRef textColor = 0;
    int bkMode = kBkOpaque;
    int rop2 = kRop2CopyPen;
    Position current;
    bool clipped = false;
    Box clip;
    // The area a paint may touch (the damaged rectangle), whatever clip the program selects.
    bool systemClipped = false;
    Box systemClip;
};

namespace soft {

// Makes a device drawing on the given surface (the windowing half's window devices).
DeviceHandle createSurfaceDevice(SoftBitmap* surface);

// Limits a window device to the damaged area of a paint.
void setSystemClip(DeviceObject& device, const Box& box);

// The pixels a device may touch: its surface bounds intersected with its clip box.
Box visibleBox(const DeviceObject& device);

// A pen or brush colour applied to a destination pixel under a ROP2 mode.
uint32_t applyRop2(uint32_t destination, uint32_t pen, int rop2);

// One-bit surfaces take colours as black or white.
uint32_t toSurfaceColor(const SoftBitmap& bitmap, ColorRef color);

// Marks an object live; every handle the soft home hands out goes through here. False when
// the handle table could not grow: the object was not handed out.
bool registerObject(GraphicsObject* object);
// A registered surface; null when it cannot be had (too large, or memory is short).
SoftBitmap* newBitmap(int width, int height, bool mono);
// A registered colour surface holding a decoded picture; null when it cannot be had.
SoftBitmap* newPicture(int width, int height, std::vector<uint32_t>&& pixels);
bool isLiveObject(const void* object);
bool isLiveDevice(const void* device);
// Both checks under one lock.
bool areLiveDevices(const void* first, const void* second);
bool isLiveDeviceWithObject(const void* device, const void* object);

// Text, implemented with FreeType.
int drawTextOnDevice(DeviceObject& device, const char* text, int length, Box* box, unsigned format);
bool measureText(DeviceObject& device, const char* text, int length, TextSize* size);

} // namespace soft
} // namespace platform
