// The drawing context's view of the live mouse and keyboard, for views tracking the mouse.

#include "toolkit/draw_context.h"
#include "toolkit/frame.h"
#include "toolkit/point.h"

#include "platform/windowing.h"

bool buttonsSwapped = false;

namespace {

// The square around a press in which the cursor counts as not moved (tested half-open).
Rect stillSquare(const Point& p) {
    return Rect(p.h - 2, p.v - 2, p.h + 2, p.v + 2);
}

} // namespace

int32_t DrawContext::getMouseButtons() {
    int32_t buttons = 0;
    if (!readsLiveInput) return buttons;
    if (platform::isKeyDown(platform::kVkLButton)) buttons |= buttonsSwapped ? kRButton : kLButton;
    if (platform::isKeyDown(platform::kVkMButton)) buttons |= kMButton;
    if (platform::isKeyDown(platform::kVkRButton)) buttons |= buttonsSwapped ? kLButton : kRButton;
    if (platform::isKeyDown(platform::kVkShift)) buttons |= kShift;
    if (platform::isKeyDown(platform::kVkControl)) buttons |= kControl;
    if (platform::isKeyDown(platform::kVkMenu)) buttons |= kAlt;
    return buttons;
}

Point DrawContext::getMouseLocation() {
    platform::Position cursor;
    platform::getCursorPos(&cursor);
    return Point{relativeCoordinate(cursor.x, windowOrigin.h),
                 relativeCoordinate(cursor.y, windowOrigin.v)};
}

bool DrawContext::waitDoubleClick() {
    const Rect square = stillSquare(getMouseLocation());
    const uint32_t deadline = platform::getDoubleClickTime() + platform::getMessageTime();
    if (platform::getTickCount() >= deadline) return false;
    do {
        if (!square.pointInside(getMouseLocation())) return false;
        if (platform::removePendingLeftButtonDown()) return true;
    } while (platform::getTickCount() < deadline);
    return false;
}

bool DrawContext::waitDrag() {
    if (!frame) return false;
    const Rect square = stillSquare(getMouseLocation());
    while (getMouseButtons() & kLButton) {
        frame->idlePump();
        if (frame->isClosing()) return false;
        if (!square.pointInside(getMouseLocation())) return true;
    }
    return false;
}
