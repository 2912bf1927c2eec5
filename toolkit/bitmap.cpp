#include "toolkit/bitmap.h"

#include "platform/module_instance.h"
#include "toolkit/blend_entries.h"
#include "toolkit/draw_context.h"

namespace {

// A memory device holding one bitmap for the length of one copy.
class HeldPicture {
public:
    HeldPicture(platform::DeviceHandle compatibleWith, platform::ObjectHandle bitmap)
        : device_(platform::createCompatibleDevice(compatibleWith)) {
        if (device_) prior_ = platform::selectObject(device_, bitmap);
    }
    ~HeldPicture() {
        if (!device_) return;
        if (prior_) platform::selectObject(device_, prior_);
        platform::deleteDevice(device_);
    }
    HeldPicture(const HeldPicture&) = delete;
    HeldPicture& operator=(const HeldPicture&) = delete;

    platform::DeviceHandle device() const { return device_; }
    bool ready() const { return device_ && prior_; }

private:
    platform::DeviceHandle device_;
    platform::ObjectHandle prior_ = nullptr;
};

} // namespace

Bitmap::Bitmap(int32_t id) : resourceId(id) {
    handle = platform::loadBitmap(moduleInstance, id);
    if (handle && !platform::getBitmapSize(handle, &width, &height)) {
        platform::deleteObject(handle);
        handle = nullptr;
    }
    if (!handle) width = height = 0;
}

void Bitmap::sizeOfResource(int32_t id, int32_t* width, int32_t* height) {
    int w = 0, h = 0;
    if (!platform::getResourceBitmapSize(moduleInstance, id, &w, &h)) w = h = 0;
    if (width) *width = w;
    if (height) *height = h;
}

Bitmap::Bitmap(int32_t w, int32_t h) {
    platform::DeviceHandle screen = platform::getScreenDevice();
    handle = platform::createCompatibleBitmap(screen, w, h);
    platform::releaseScreenDevice(screen);
    if (handle) {
        width = w;
        height = h;
    }
}

Bitmap::~Bitmap() {
    if (handle) platform::deleteObject(handle);
    if (mask) platform::deleteObject(mask);
}

void Bitmap::forget() {
    if (referenceCount <= 0) return;
    if (--referenceCount == 0) delete this;
}

void Bitmap::draw(DrawContext* context, const Rect& rect, const Point& source) {
    if (!handle || !context) return;
    HeldPicture picture(context->getDevice(), handle);
    if (!picture.ready()) return;
    platform::bitBlt(context->getDevice(), rect.left + context->offset.h,
                     rect.top + context->offset.v, rect.width(), rect.height(), picture.device(),
                     source.h, source.v, platform::kSrcCopy);
}

void Bitmap::drawTransparent(DrawContext* context, const Rect& rect, const Point& source) {
    // A picture that failed to load has nothing to copy, transparent or not.
    if (!handle || !context) return;
    platform::DeviceHandle target = context->getDevice();
    HeldPicture picture(target, handle);
    if (!picture.ready()) return;
    const int32_t w = rect.width(), h = rect.height();
    const int32_t dx = rect.left + context->offset.h, dy = rect.top + context->offset.v;

    if (mask) {
        // Compose background and picture in a scratch surface so the target sees one copy.
        platform::ObjectHandle scratch = platform::createCompatibleBitmap(target, w, h);
        if (!scratch) return;
        {
            HeldPicture work(target, scratch);
            HeldPicture maskPicture(target, mask);
            if (work.ready() && maskPicture.ready()) {
                platform::bitBlt(work.device(), 0, 0, w, h, target, dx, dy, platform::kSrcCopy);
                platform::bitBlt(work.device(), 0, 0, w, h, picture.device(), source.h, source.v,
                                 platform::kSrcInvert);
                platform::bitBlt(work.device(), 0, 0, w, h, maskPicture.device(), source.h,
                                 source.v, platform::kSrcAnd);
                platform::bitBlt(work.device(), 0, 0, w, h, picture.device(), source.h, source.v,
                                 platform::kSrcInvert);
                platform::bitBlt(target, dx, dy, w, h, work.device(), 0, 0, platform::kSrcCopy);
            }
        }
        platform::deleteObject(scratch);
        return;
    }

    const platform::ColorRef key = toColorRef(transparentColor);
    if (blendEntries.TransparentBlt) {
        blendEntries.TransparentBlt(target, dx, dy, w, h, picture.device(), source.h, source.v, w,
                                    h, key);
        return;
    }

    // Without the keyed copy: a one-bit mask of the key colour, then invert, mask, invert.
    const platform::ColorRef priorBk = platform::setBkColor(target, 0xFFFFFF);
    const platform::ColorRef priorText = platform::setTextColor(target, 0);
    platform::ObjectHandle bits = platform::createMonoBitmap(w, h);
    if (bits) {
        {
            HeldPicture maskPicture(target, bits);
            if (maskPicture.ready()) {
                const platform::ColorRef pictureBk = platform::setBkColor(picture.device(), key);
                platform::bitBlt(maskPicture.device(), 0, 0, w, h, picture.device(), source.h,
                                 source.v, platform::kSrcCopy);
                platform::setBkColor(picture.device(), pictureBk);
                platform::bitBlt(target, dx, dy, w, h, picture.device(), source.h, source.v,
                                 platform::kSrcInvert);
                platform::bitBlt(target, dx, dy, w, h, maskPicture.device(), 0, 0,
                                 platform::kSrcAnd);
                platform::bitBlt(target, dx, dy, w, h, picture.device(), source.h, source.v,
                                 platform::kSrcInvert);
            }
        }
        platform::deleteObject(bits);
    }
    platform::setBkColor(target, priorBk);
    platform::setTextColor(target, priorText);
}

void Bitmap::drawAlphaBlend(DrawContext* context, const Rect& rect, const Point& source,
                            uint8_t opacity) {
    // Without the system's blend call there is no sound way to blend: nothing is drawn.
    if (!handle || !context || !blendEntries.AlphaBlend) return;
    HeldPicture picture(context->getDevice(), handle);
    if (!picture.ready()) return;
    platform::BlendFunction blend;
    blend.sourceConstantAlpha = opacity;
    blendEntries.AlphaBlend(context->getDevice(), rect.left + context->offset.h,
                            rect.top + context->offset.v, rect.width(), rect.height(),
                            picture.device(), source.h, source.v, rect.width(), rect.height(),
                            blend);
}

void Bitmap::setTransparencyMask(DrawContext* context, const Point& point) {
    if (mask) {
        platform::deleteObject(mask);
        mask = nullptr;
    }
    if (!context) return;
    platform::DeviceHandle source = context->getDevice();
    mask = platform::createMonoBitmap(width, height);
    if (!mask) return;
    HeldPicture maskPicture(source, mask);
    if (!maskPicture.ready()) return;
    const platform::ColorRef prior = platform::setBkColor(source, toColorRef(transparentColor));
    platform::bitBlt(maskPicture.device(), 0, 0, width, height, source, point.h, point.v,
                     platform::kSrcCopy);
    platform::setBkColor(source, prior);
}
