#include "toolkit/controls/image_strip_display.h"

ImageStripDisplay::ImageStripDisplay(const Rect& rect, ControlListener* listener, std::int32_t tag,
                                     std::int32_t frameCount, std::int32_t frameHeight,
                                     Bitmap* background, const Point& stripOffset)
    : Control(rect, listener, tag, background), stripOffset(stripOffset), frameCount(frameCount),
      frameHeight(frameHeight) {}

void ImageStripDisplay::draw(DrawContext* context) {
    Point source = stripOffset;
    if (value > 1.0f) value = 1.0f;
    if (value > 0.0f) {
        // The nearest frame.
        const std::int32_t frameIndex = truncate(static_cast<double>(frameCount - 1) * value + 0.5);
        source.v = truncate(static_cast<double>(source.v) +
                            static_cast<double>(frameIndex) * static_cast<double>(frameHeight));
    }
    drawBackground(context, size, source);
    setDirty(false);
}
