#include "toolkit/controls/slider.h"

#include "toolkit/bitmap.h"
#include "toolkit/draw_context.h"
#include "toolkit/frame.h"
#include "toolkit/offscreen_context.h"

#include <new>

Slider::Slider(const Rect& rect, ControlListener* listener, std::int32_t tag,
               std::int32_t trackStart, std::int32_t trackEnd, Bitmap* handle, Bitmap* background,
               const Point& trackOffset, std::int32_t style)
    : Control(rect, listener, tag, background), trackOffset(trackOffset), handleOffset{0, 0},
      handleBitmap(handle), offscreen(nullptr), handleWidth(1), handleHeight(1), travel(0),
      style(style), handleMin(0), handleMax(0), trackStartOffset(0), controlWidth(rect.width()),
      controlHeight(rect.height()), zoomFactor(10.0f), drawTransparentHandle(true),
      freeClick(true) {
    if (handleBitmap) {
        handleBitmap->remember();
        handleWidth = handleBitmap->getWidth();
        handleHeight = handleBitmap->getHeight();
    }
    trackStartOffset = trackStart - (horizontal() ? rect.left : rect.top);
    travel = trackEnd - trackStart;
    applyHandleOffset(Point{0, 0});
}

Slider::~Slider() {
    delete offscreen; // normally gone already: the frame calls `removed` first
    if (handleBitmap) handleBitmap->forget();
}

VerticalSlider::VerticalSlider(const Rect& rect, ControlListener* listener, std::int32_t tag,
                               std::int32_t trackStart, std::int32_t trackEnd, Bitmap* handle,
                               Bitmap* background, const Point& trackOffset, std::int32_t style)
    : Slider(rect, listener, tag, trackStart, trackEnd, handle, background, trackOffset,
             style | StyleVertical) {}

HorizontalSlider::HorizontalSlider(const Rect& rect, ControlListener* listener, std::int32_t tag,
                                   std::int32_t trackStart, std::int32_t trackEnd, Bitmap* handle,
                                   Bitmap* background, const Point& trackOffset, std::int32_t style)
    : Slider(rect, listener, tag, trackStart, trackEnd, handle, background, trackOffset,
             style | StyleHorizontal) {}

bool Slider::attached(View*) {
    delete offscreen;
    offscreen =
        new (std::nothrow) OffscreenContext(getFrame(), controlWidth, controlHeight, kBlackColor);
    return true;
}

bool Slider::removed(View*) {
    delete offscreen;
    offscreen = nullptr;
    return true;
}

void Slider::setDrawTransparentHandle(bool state) {
    drawTransparentHandle = state;
}
void Slider::setFreeClick(bool state) {
    freeClick = state;
}
bool Slider::getFreeClick() {
    return freeClick;
}
void Slider::setHandleOffset(const Point& offset) {
    applyHandleOffset(offset);
}

void Slider::applyHandleOffset(const Point& offset) {
    handleOffset = offset;
    if (horizontal()) {
        handleMin = trackStartOffset + offset.h;
        handleMax = handleMin + travel + handleWidth;
    } else {
        handleMin = trackStartOffset + offset.v;
        handleMax = handleMin + travel + handleHeight;
    }
}

void Slider::setHandleBitmap(Bitmap* bitmap) {
    if (handleBitmap) handleBitmap->forget();
    handleBitmap = bitmap;
    if (handleBitmap) {
        handleBitmap->remember();
        handleWidth = handleBitmap->getWidth();
        handleHeight = handleBitmap->getHeight();
    }
}
Bitmap* Slider::getHandleBitmap() {
    return handleBitmap;
}
void Slider::setZoomFactor(float factor) {
    zoomFactor = factor;
}
float Slider::getZoomFactor() {
    return zoomFactor;
}

std::int32_t Slider::handlePosition() const {
    const float f = (style & (StyleZeroAtLeft | StyleZeroAtTop)) ? value : 1.0f - value;
    return truncate(static_cast<double>(static_cast<float>(travel) * f));
}

Rect Slider::handleRect() const {
    const std::int32_t pos = handlePosition();
    Rect r;
    if (horizontal()) {
        r.left = pos + handleOffset.h;
        if (r.left < handleMin) r.left = handleMin;
        r.right = r.left + handleWidth;
        if (r.right > handleMax) r.right = handleMax;
        r.top = handleOffset.v;
        r.bottom = r.top + handleHeight;
    } else {
        r.top = pos + handleOffset.v;
        if (r.top < handleMin) r.top = handleMin;
        r.bottom = r.top + handleHeight;
        if (r.bottom > handleMax) r.bottom = handleMax;
        r.left = handleOffset.h;
        r.right = r.left + handleWidth;
    }
    return r;
}

void Slider::draw(DrawContext* context) {
    // Without its memory surface (never added to a frame, or the surface could not be made)
    // the slider has nothing to compose in and draws nothing.
    if (offscreen) {
        drawBackground(offscreen, Rect(0, 0, controlWidth, controlHeight), trackOffset);
        if (handleBitmap) {
            const Rect handle = handleRect();
            if (drawTransparentHandle)
                handleBitmap->drawTransparent(offscreen, handle, Point{0, 0});
            else
                handleBitmap->draw(offscreen, handle, Point{0, 0});
        }
        offscreen->copyTo(context, size, Point{0, 0});
    }
    setDirty(false);
}

void Slider::mouse(DrawContext* context, const Point& pressed) {
    if (!getMouseEnabled() || !context) return;
    std::int32_t buttons = context->getMouseButtons();
    if (isDefaultGesture(buttons)) {
        value = getDefaultValue();
        notifyListener(context);
        return;
    }
    if (!(buttons & kLButton)) return;

    const bool across = horizontal();
    const std::int32_t base = across ? handleOffset.h + size.left : handleOffset.v + size.top;
    std::int32_t delta;
    if (!freeClick) {
        // Only a press on the handle (edges included) starts a drag; the handle then keeps
        // the grab point under the mouse.
        const std::int32_t pos = handlePosition();
        Rect handle;
        if (across)
            handle = Rect(pos + handleOffset.h + size.left, handleOffset.v + size.top, 0, 0);
        else
            handle = Rect(handleOffset.h + size.left, pos + handleOffset.v + size.top, 0, 0);
        handle.right = handle.left + handleWidth;
        handle.bottom = handle.top + handleHeight;
        if (!insideInclusive(handle, pressed)) return;
        delta = base + (across ? pressed.h - handle.left : pressed.v - handle.top);
    } else {
        delta = base + (across ? handleWidth / 2 : handleHeight / 2) - 1;
    }

    std::int32_t lastButtons = buttons;
    float reference = value;
    trackDrag(context, pressed, [&](std::int32_t buttons, const Point& where) {
        if (!(buttons & kLButton)) return false;
        if (buttons != lastButtons && (buttons & kShift)) {
            // Shift just pressed: the fine drag starts from here.
            lastButtons = buttons;
            reference = value;
        } else if (!(buttons & kShift)) {
            reference = value;
        }
        const std::int32_t distance = (across ? where.h : where.v) - delta;
        // A track without length has only one place.
        const float fraction =
            travel != 0 ? static_cast<float>(distance) / static_cast<float>(travel) : 0.0f;
        value = (style & (StyleZeroAtRight | StyleZeroAtBottom)) ? 1.0f - fraction : fraction;
        if (buttons & kShift) value = reference + (value - reference) / zoomFactor;
        clampValue();
        notifyListener(context);
        return true;
    });
}

std::int32_t Slider::onKeyDown(KeyCode& keyCode) {
    return stepByKey(keyCode);
}

bool Slider::onWheel(DrawContext* context, const Point&, float distance) {
    return stepByWheel(context, distance);
}
