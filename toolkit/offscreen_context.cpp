#include "toolkit/offscreen_context.h"

#include <algorithm>

#include "toolkit/bitmap.h"

OffscreenContext::OffscreenContext(Frame* f, int32_t w, int32_t h, Color background)
    : DrawContext(f, nullptr, nullptr), backgroundColor(background) {
    setSurfaceSize(w, h);
    ownsSurface = true;
    // The frame's window device decides the format; a context without one takes the screen's,
    // which is the same format.
    platform::DeviceHandle screen = platform::getScreenDevice();
    surface = platform::createCompatibleBitmap(screen, w, h);
    attach(screen, surface);
    platform::releaseScreenDevice(screen);

    setFillColor(background);
    setFrameColor(background);
    fillRect(Rect(0, 0, w, h));
    drawRect(Rect(0, 0, w, h));
}

OffscreenContext::OffscreenContext(DrawContext* context, Bitmap* bitmap, bool drawIntoBitmap)
    : DrawContext(context ? context->getFrame() : nullptr, nullptr, nullptr), sourceBitmap(bitmap) {
    if (bitmap)
        setSurfaceSize(bitmap->width, bitmap->height);
    else
        setSurfaceSize(width, height);
    platform::DeviceHandle base = context ? context->getDevice() : nullptr;
    platform::DeviceHandle screen = nullptr;
    if (!base) base = screen = platform::getScreenDevice();
    if (drawIntoBitmap && bitmap) {
        surface = bitmap->getHandle();
    } else {
        ownsSurface = true;
        surface = platform::createCompatibleBitmap(base, width, height);
    }
    attach(base, surface);
    if (screen) platform::releaseScreenDevice(screen);
    if (ownsSurface) {
        if (bitmap) {
            bitmap->draw(this, Rect(0, 0, width, height), Point{0, 0});
        } else {
            setFillColor(kBlackColor);
            fillRect(Rect(0, 0, width, height));
        }
    }
}

void OffscreenContext::setSurfaceSize(int32_t w, int32_t h) {
    width = w;
    height = h;
    clipRect = Rect(std::min(0, w), std::min(0, h), std::max(0, w), std::max(0, h));
}

void OffscreenContext::attach(platform::DeviceHandle compatibleWith,
                              platform::ObjectHandle picture) {
    device = platform::createCompatibleDevice(compatibleWith);
    if (!device) return;
    // The drawing state is not pushed here: the device keeps its own defaults until a setter
    // runs, and no prior objects are recorded.
    if (picture) priorSurface = platform::selectObject(device, picture);
}

OffscreenContext::~OffscreenContext() {
    if (heldBitmap) heldBitmap->forget();
    // Deleting the device lets go of this context's pen, brush and font, which the base
    // destructor then deletes.
    if (device) {
        if (priorSurface) platform::selectObject(device, priorSurface);
        platform::deleteDevice(device);
        device = nullptr;
    }
    if (ownsSurface && surface) platform::deleteObject(surface);
}

void OffscreenContext::copyTo(DrawContext* destination, const Rect& rect, const Point& source) {
    if (!destination) return;
    platform::bitBlt(destination->getDevice(), rect.left + destination->offset.h,
                     rect.top + destination->offset.v, rect.width(), rect.height(), device,
                     source.h, source.v, platform::kSrcCopy);
}

void OffscreenContext::copyFrom(DrawContext* source, const Rect& rect, const Point& destination) {
    if (!source) return;
    platform::bitBlt(device, destination.h, destination.v, rect.width(), rect.height(),
                     source->getDevice(), rect.left + source->offset.h, rect.top + source->offset.v,
                     platform::kSrcCopy);
}
