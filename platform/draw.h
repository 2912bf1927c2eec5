#pragma once
// The drawing half of the platform layer: device contexts, drawing objects, shapes, text,
// bitmaps and block copies. Every operation is one Windows GDI call with its pixel result;
// `platform/soft` reproduces those results on its own pixel surfaces, `platform/win32` is GDI.
//
// Devices come from three places: the screen (here), memory devices (here) and windows (the
// windowing half, which hands out window devices of the same type).
#include "platform/handles.h"

#include <cstddef>
#include <cstdint>

namespace platform {

// Pen styles.
inline constexpr int kPenSolid = 0;
inline constexpr int kPenDot = 2;
inline constexpr int kPenNull = 5;

// Raster operations of lines and shape outlines and fills (ROP2).
inline constexpr int kRop2NotXorPen = 10;
inline constexpr int kRop2CopyPen = 13;
inline constexpr int kRop2MergePen = 15;

// Background modes.
inline constexpr int kBkTransparent = 1;
inline constexpr int kBkOpaque = 2;

// Raster operations of block copies.
inline constexpr uint32_t kSrcCopy = 0x00CC0020;
inline constexpr uint32_t kSrcInvert = 0x00660046;
inline constexpr uint32_t kSrcAnd = 0x008800C6;

// Kinds of selected object.
inline constexpr int kObjPen = 1;
inline constexpr int kObjBrush = 2;
inline constexpr int kObjFont = 6;
inline constexpr int kObjBitmap = 7;

// Flood fill types.
inline constexpr int kFloodFillBorder = 0;
inline constexpr int kFloodFillSurface = 1;

// Text formats.
inline constexpr unsigned kTextCenter = 0x1;
inline constexpr unsigned kTextRight = 0x2;
inline constexpr unsigned kTextVCenter = 0x4;
inline constexpr unsigned kTextSingleLine = 0x20;
inline constexpr unsigned kTextNoClip = 0x100;
inline constexpr unsigned kTextNoPrefix = 0x800;

// A font request, laid out as the Windows logical font.
struct FontDescription {
    int32_t height = 0;
    int32_t width = 0;
    int32_t escapement = 0;
    int32_t orientation = 0;
    int32_t weight = 0;
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strikeOut = 0;
    uint8_t charSet = 0;
    uint8_t outPrecision = 0;
    uint8_t clipPrecision = 0;
    uint8_t quality = 0;
    uint8_t pitchAndFamily = 0;
    char faceName[32] = {};
};

struct TextSize {
    int32_t cx = 0;
    int32_t cy = 0;
};

// Constant-opacity blending, as the Windows blend function record.
struct BlendFunction {
    uint8_t blendOp = 0; // 0: source over
    uint8_t blendFlags = 0;
    uint8_t sourceConstantAlpha = 255;
    uint8_t alphaFormat = 0; // 0: no per-pixel alpha
};

// --- devices
DeviceHandle getScreenDevice();
void releaseScreenDevice(DeviceHandle device);
DeviceHandle createCompatibleDevice(DeviceHandle device);
bool deleteDevice(DeviceHandle device);

// --- objects
ObjectHandle createPen(int style, int width, ColorRef color);
ObjectHandle createSolidBrush(ColorRef color);
ObjectHandle createFont(const FontDescription& description);
ObjectHandle getStockNullPen();
ObjectHandle createRectRegion(int left, int top, int right, int bottom);
// Selects a pen, brush, font or bitmap and answers the object of that kind selected before
// (null on failure).
ObjectHandle selectObject(DeviceHandle device, ObjectHandle object);
ObjectHandle getCurrentObject(DeviceHandle device, int kind);
bool deleteObject(ObjectHandle object);
// The device clips to a copy of the region; a null region removes the clipping.
int selectClipRegion(DeviceHandle device, ObjectHandle region);

// --- state; each answers the previous value
int setBkMode(DeviceHandle device, int mode);
ColorRef setBkColor(DeviceHandle device, ColorRef color);
ColorRef setTextColor(DeviceHandle device, ColorRef color);
int setRop2(DeviceHandle device, int mode);

// --- lines and shapes (right and bottom edges of the bounding boxes excluded)
bool moveTo(DeviceHandle device, int x, int y);
bool lineTo(DeviceHandle device, int x, int y);
bool polyline(DeviceHandle device, const Position* points, int count);
bool polygon(DeviceHandle device, const Position* points, int count);
bool fillRect(DeviceHandle device, const Box& box, ObjectHandle brush);
bool ellipse(DeviceHandle device, int left, int top, int right, int bottom);
bool arc(DeviceHandle device, int left, int top, int right, int bottom, int startX, int startY,
         int endX, int endY);
bool pie(DeviceHandle device, int left, int top, int right, int bottom, int startX, int startY,
         int endX, int endY);
ColorRef setPixel(DeviceHandle device, int x, int y, ColorRef color);
ColorRef getPixel(DeviceHandle device, int x, int y);
bool extFloodFill(DeviceHandle device, int x, int y, ColorRef color, int type);

// --- text
int drawText(DeviceHandle device, const char* text, int length, Box* box, unsigned format);
bool getTextExtent(DeviceHandle device, const char* text, int length, TextSize* size);

// --- bitmaps
ObjectHandle createCompatibleBitmap(DeviceHandle device, int width, int height);
// A one-bit-per-pixel bitmap, all bits 0.
ObjectHandle createMonoBitmap(int width, int height);
// A picture of the module's resources by numeric id; null when there is none.
ObjectHandle loadBitmap(ModuleHandle module, int id);
// The size loadBitmap's picture would have, read from the resource's header without making
// the picture; false when the module has no such picture or loadBitmap would refuse its form.
bool getResourceBitmapSize(ModuleHandle module, int id, int* width, int* height);
bool getBitmapSize(ObjectHandle bitmap, int* width, int* height);
// Copies the bitmap's pixels, row by row from the top, as ColorRef values (one-bit bitmaps
// read as black and white); false when the bitmap is not one or the size does not match.
bool readBitmapPixels(ObjectHandle bitmap, int width, int height, uint32_t* pixels);

// --- block copies; source areas and destinations are clipped to their surfaces
bool bitBlt(DeviceHandle destination, int x, int y, int width, int height, DeviceHandle source,
            int sourceX, int sourceY, uint32_t rop);

// The two calls of the blending library, loaded at run time where the system has them.
using TransparentBltProc = int (*)(DeviceHandle destination, int x, int y, int width, int height,
                                   DeviceHandle source, int sourceX, int sourceY, int sourceWidth,
                                   int sourceHeight, unsigned keyColor);
using AlphaBlendProc = int (*)(DeviceHandle destination, int x, int y, int width, int height,
                               DeviceHandle source, int sourceX, int sourceY, int sourceWidth,
                               int sourceHeight, BlendFunction blend);

struct BlendLibrary {
    ModuleHandle module = nullptr;
    AlphaBlendProc alphaBlend = nullptr;
    // Only on systems of the NT family.
    TransparentBltProc transparentBlt = nullptr;
};

BlendLibrary loadBlendLibrary();
void freeBlendLibrary(BlendLibrary& library);

} // namespace platform
