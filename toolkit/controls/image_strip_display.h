#pragma once
// One frame of a vertical strip of equally tall pictures, chosen by the value: 0 shows the
// first frame, 1 the last. Takes no input.

#include "toolkit/controls/control.h"

class ImageStripDisplay : public Control {
public:
    ImageStripDisplay(const Rect& size, ControlListener* listener, std::int32_t tag,
                      std::int32_t frameCount, std::int32_t frameHeight, Bitmap* background,
                      const Point& stripOffset);

    void draw(DrawContext* context) override;

    std::int32_t getFrameCount() const { return frameCount; }
    std::int32_t getFrameHeight() const { return frameHeight; }

protected:
    Point stripOffset;
    std::int32_t frameCount;
    std::int32_t frameHeight;
};
