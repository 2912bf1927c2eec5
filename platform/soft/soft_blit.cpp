// Bitmaps and block copies of the soft home. Every copy is clipped to both surfaces and to the
// destination's clip box: no part of a copy reads or writes outside a picture.
#include "platform/soft/soft_objects.h"
#include "resources/bitmap_resources.h"
#include "resources/bmp_reader.h"

#include <algorithm>
#include <new>

namespace platform {
namespace {

// A surface above this many pixels is refused, as the system refuses what it cannot hold.
constexpr long long kMaxSurfacePixels = 1LL << 26;

} // namespace

namespace soft {
namespace {

SoftBitmap* handOut(SoftBitmap* bitmap) {
    if (!registerObject(bitmap)) {
        delete bitmap;
        return nullptr;
    }
    return bitmap;
}

} // namespace

SoftBitmap* newBitmap(int width, int height, bool mono) {
    if (width < 0 || height < 0 || (long long)width * height > kMaxSurfacePixels) return nullptr;
    if (width == 0 || height == 0) {
        width = height = 1;
        mono = true;
    }
    // The pixel store is a vector: its failed allocation is caught here and becomes null.
    SoftBitmap* bitmap = nullptr;
    try {
        bitmap = new SoftBitmap(width, height, mono);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return handOut(bitmap);
}

SoftBitmap* newPicture(int width, int height, std::vector<uint32_t>&& pixels) {
    if (width <= 0 || height <= 0 || (long long)width * height > kMaxSurfacePixels ||
        pixels.size() != size_t(width) * size_t(height))
        return nullptr;
    auto* bitmap = new (std::nothrow) SoftBitmap(width, height, std::move(pixels));
    return bitmap ? handOut(bitmap) : nullptr;
}

} // namespace soft

namespace {

DeviceObject* liveDevice(DeviceHandle device) {
    return soft::isLiveDevice(device) ? device : nullptr;
}

SoftBitmap* liveBitmap(ObjectHandle object) {
    if (!soft::isLiveObject(object) || object->kind != GraphicsObject::Kind::bitmap) return nullptr;
    return static_cast<SoftBitmap*>(object);
}

// A source pixel as the destination's format takes it: one-bit sources become the
// destination's text colour (0) and background colour (1); colour sources become 1 in a
// one-bit destination exactly where they equal the source's background colour.
uint32_t convert(uint32_t pixel, const DeviceObject& source, const DeviceObject& destination) {
    const bool sourceMono = source.bitmap->mono, destinationMono = destination.bitmap->mono;
    if (sourceMono == destinationMono) return pixel;
    if (sourceMono) return pixel ? destination.bkColor : destination.textColor;
    return pixel == source.bkColor ? 0xFFFFFFu : 0u;
}

uint32_t rop3(uint32_t rop, uint32_t pattern, uint32_t source, uint32_t destination) {
    const unsigned code = (rop >> 16) & 0xFF;
    uint32_t result = 0;
    for (unsigned i = 0; i < 8; ++i)
        if (code >> i & 1)
            result |= ((i & 4) ? pattern : ~pattern) & ((i & 2) ? source : ~source) &
                      ((i & 1) ? destination : ~destination);
    return result & 0xFFFFFFu;
}

// The part of a width x height copy from (sx, sy) to (x, y) that lies inside the source
// surface and the destination's visible box, in destination coordinates.
struct CopyArea {
    int left, top, right, bottom;
    int dx, dy; // source = destination - (dx, dy)
    bool empty() const { return left >= right || top >= bottom; }
};

CopyArea copyArea(const DeviceObject& destination, int x, int y, int width, int height,
                  const SoftBitmap& source, int sx, int sy) {
    const Box visible = soft::visibleBox(destination);
    CopyArea a;
    a.dx = x - sx;
    a.dy = y - sy;
    a.left = std::max({x, visible.left, a.dx});
    a.top = std::max({y, visible.top, a.dy});
    a.right = std::min({x + width, visible.right, a.dx + source.width});
    a.bottom = std::min({y + height, visible.bottom, a.dy + source.height});
    return a;
}

// The source pixels of an area, taken before writing so that a copy within one surface
// reads what was there.
std::vector<uint32_t> takeSource(const SoftBitmap& source, const CopyArea& a) {
    const size_t width = size_t(a.right - a.left);
    std::vector<uint32_t> pixels(width * size_t(a.bottom - a.top));
    uint32_t* out = pixels.data();
    for (int y = a.top; y < a.bottom; ++y, out += width) {
        const uint32_t* row =
            source.pixels.data() + size_t(y - a.dy) * size_t(source.width) + size_t(a.left - a.dx);
        std::copy(row, row + width, out);
    }
    return pixels;
}

// The three raster operations the toolkit copies with, between two distinct colour surfaces:
// no conversion between formats and nothing shared between source and destination, so each
// row goes straight from one surface to the other. Gives the same pixels as the general path
// below, which stays for everything else.
template <typename Op>
void copyRows(SoftBitmap& target, const SoftBitmap& source, const CopyArea& a, Op op) {
    const size_t width = size_t(a.right - a.left);
    for (int y = a.top; y < a.bottom; ++y) {
        const uint32_t* from =
            source.pixels.data() + size_t(y - a.dy) * size_t(source.width) + size_t(a.left - a.dx);
        uint32_t* to = target.pixels.data() + size_t(y) * size_t(target.width) + size_t(a.left);
        for (size_t i = 0; i < width; ++i)
            to[i] = op(to[i], from[i]) & 0xFFFFFFu;
    }
}

bool copyDirect(SoftBitmap& target, const SoftBitmap& source, const CopyArea& a, uint32_t rop) {
    if (&target == &source || target.mono || source.mono) return false;
    switch (rop) {
    case kSrcCopy:
        copyRows(target, source, a, [](uint32_t, uint32_t s) { return s; });
        return true;
    case kSrcInvert:
        copyRows(target, source, a, [](uint32_t d, uint32_t s) { return d ^ s; });
        return true;
    case kSrcAnd:
        copyRows(target, source, a, [](uint32_t d, uint32_t s) { return d & s; });
        return true;
    default:
        return false;
    }
}

void normalise(int& x, int& width, int& sx) {
    if (width < 0) {
        x += width + 1;
        sx += width + 1;
        width = -width;
    }
}

int transparentBltSoft(DeviceHandle destinationHandle, int x, int y, int width, int height,
                       DeviceHandle sourceHandle, int sx, int sy, int sourceWidth, int sourceHeight,
                       unsigned key) {
    DeviceObject* destination = liveDevice(destinationHandle);
    DeviceObject* source = liveDevice(sourceHandle);
    if (!destination || !source || !destination->bitmap || !source->bitmap) return 0;
    if (width < 0 || height < 0 || width != sourceWidth || height != sourceHeight) return 0;
    const CopyArea a = copyArea(*destination, x, y, width, height, *source->bitmap, sx, sy);
    if (a.empty()) return 1;
    const std::vector<uint32_t> pixels = takeSource(*source->bitmap, a);
    key &= 0xFFFFFFu;
    size_t i = 0;
    for (int py = a.top; py < a.bottom; ++py)
        for (int px = a.left; px < a.right; ++px, ++i)
            if (pixels[i] != key)
                destination->bitmap->at(px, py) = convert(pixels[i], *source, *destination);
    return 1;
}

uint32_t blendChannel(uint32_t destination, uint32_t source, uint32_t alpha) {
    return (source * alpha + destination * (255 - alpha) + 127) / 255;
}

int alphaBlendSoft(DeviceHandle destinationHandle, int x, int y, int width, int height,
                   DeviceHandle sourceHandle, int sx, int sy, int sourceWidth, int sourceHeight,
                   BlendFunction blend) {
    DeviceObject* destination = liveDevice(destinationHandle);
    DeviceObject* source = liveDevice(sourceHandle);
    if (!destination || !source || !destination->bitmap || !source->bitmap) return 0;
    if (blend.blendOp != 0 || blend.alphaFormat != 0) return 0;
    if (width < 0 || height < 0 || width != sourceWidth || height != sourceHeight) return 0;
    // The source area must lie inside the source picture, or nothing is blended.
    if (sx < 0 || sy < 0 || sx + width > source->bitmap->width ||
        sy + height > source->bitmap->height)
        return 0;
    const CopyArea a = copyArea(*destination, x, y, width, height, *source->bitmap, sx, sy);
    if (a.empty()) return 1;
    const std::vector<uint32_t> pixels = takeSource(*source->bitmap, a);
    const uint32_t alpha = blend.sourceConstantAlpha;
    size_t i = 0;
    for (int py = a.top; py < a.bottom; ++py)
        for (int px = a.left; px < a.right; ++px, ++i) {
            uint32_t& d = destination->bitmap->at(px, py);
            const uint32_t s = convert(pixels[i], *source, *destination);
            const uint32_t blended = blendChannel(d & 0xFF, s & 0xFF, alpha) |
                                     blendChannel(d >> 8 & 0xFF, s >> 8 & 0xFF, alpha) << 8 |
                                     blendChannel(d >> 16 & 0xFF, s >> 16 & 0xFF, alpha) << 16;
            d = soft::toSurfaceColor(*destination->bitmap, blended);
        }
    return 1;
}

} // namespace

ObjectHandle createCompatibleBitmap(DeviceHandle handle, int width, int height) {
    DeviceObject* device = liveDevice(handle);
    if (!device) return nullptr;
    const bool mono = !device->screen && device->bitmap && device->bitmap->mono;
    return soft::newBitmap(width, height, mono);
}

ObjectHandle createMonoBitmap(int width, int height) {
    return soft::newBitmap(width, height, true);
}

ObjectHandle loadBitmap(ModuleHandle, int id) {
    const BitmapResource* resource = findBitmapResource(id);
    if (!resource) return nullptr;
    DecodedPicture picture;
    if (!readBmp(resource->data, resource->size, picture)) return nullptr;
    // The decoded pixels become the surface's own store: no second picture-sized store is
    // cleared only to be replaced.
    if (picture.width > 0 && picture.height > 0 &&
        picture.pixels.size() == size_t(picture.width) * size_t(picture.height))
        return soft::newPicture(picture.width, picture.height, std::move(picture.pixels));
    SoftBitmap* bitmap = soft::newBitmap(picture.width, picture.height, false);
    if (!bitmap) return nullptr;
    bitmap->pixels = std::move(picture.pixels);
    return bitmap;
}

bool getResourceBitmapSize(ModuleHandle, int id, int* width, int* height) {
    const BitmapResource* resource = findBitmapResource(id);
    int w = 0, h = 0;
    if (!resource || !readBmpSize(resource->data, resource->size, w, h)) return false;
    if (width) *width = w;
    if (height) *height = h;
    return true;
}

bool getBitmapSize(ObjectHandle object, int* width, int* height) {
    SoftBitmap* bitmap = liveBitmap(object);
    if (!bitmap) return false;
    if (width) *width = bitmap->width;
    if (height) *height = bitmap->height;
    return true;
}

bool readBitmapPixels(ObjectHandle object, int width, int height, uint32_t* pixels) {
    SoftBitmap* bitmap = liveBitmap(object);
    if (!bitmap || !pixels || bitmap->width != width || bitmap->height != height) return false;
    std::copy(bitmap->pixels.begin(), bitmap->pixels.end(), pixels);
    return true;
}

bool bitBlt(DeviceHandle destinationHandle, int x, int y, int width, int height,
            DeviceHandle sourceHandle, int sx, int sy, uint32_t rop) {
    if (!soft::areLiveDevices(destinationHandle, sourceHandle)) return false;
    DeviceObject* destination = destinationHandle;
    DeviceObject* source = sourceHandle;
    if (!destination->bitmap || !source->bitmap) return true;
    normalise(x, width, sx);
    normalise(y, height, sy);
    const CopyArea a = copyArea(*destination, x, y, width, height, *source->bitmap, sx, sy);
    if (a.empty()) return true;
    if (copyDirect(*destination->bitmap, *source->bitmap, a, rop)) return true;
    const std::vector<uint32_t> pixels = takeSource(*source->bitmap, a);
    const uint32_t pattern = destination->brush ? destination->brush->color : 0;
    SoftBitmap& target = *destination->bitmap;
    size_t i = 0;
    for (int py = a.top; py < a.bottom; ++py)
        for (int px = a.left; px < a.right; ++px, ++i) {
            uint32_t& d = target.at(px, py);
            const uint32_t s = convert(pixels[i], *source, *destination);
            const uint32_t value = rop == kSrcCopy     ? s
                                   : rop == kSrcInvert ? (d ^ s)
                                   : rop == kSrcAnd    ? (d & s)
                                                       : rop3(rop, pattern, s, d);
            d = soft::toSurfaceColor(target, value);
        }
    return true;
}

BlendLibrary loadBlendLibrary() {
    BlendLibrary library;
    library.alphaBlend = alphaBlendSoft;
    library.transparentBlt = transparentBltSoft;
    return library;
}

void freeBlendLibrary(BlendLibrary& library) {
    library = BlendLibrary{};
}

} // namespace platform
