#include "toolkit/controls/control.h"

#include "host/key_code.h"
#include "toolkit/bitmap.h"
#include "toolkit/draw_context.h"
#include "toolkit/frame.h"

#include "platform/windowing.h"

#include <cmath>

namespace {

// However short the system's double-click time, two clicks closer than this never count as
// separate clicks.
constexpr std::int32_t kShortestDoubleClick = 250;

std::int32_t systemDoubleClickInterval() {
    const std::uint32_t system = platform::getDoubleClickTime();
    return system < static_cast<std::uint32_t>(kShortestDoubleClick)
               ? kShortestDoubleClick
               : static_cast<std::int32_t>(system > 0x7FFFFFFFu ? 0x7FFFFFFFu : system);
}

} // namespace

Control::Control(const Rect& rect, ControlListener* listener, std::int32_t tag, Bitmap* background)
    : View(rect), listener(listener), tag(tag), oldValue(1.0f), defaultValue(0.5f), value(0.0f),
      minimum(0.0f), maximum(1.0f), wheelIncrement(0.1f), lastClickTime(-1),
      doubleClickInterval(systemDoubleClickInterval()),
      background(background), backgroundOffset{0, 0} {
    mouseEnabled = true;
    transparent = false;
    if (background) background->remember();
}

Control::~Control() {
    if (background) background->forget();
}

bool Control::isDirty() {
    return value != oldValue || View::isDirty();
}

void Control::setDirty(bool state) {
    View::setDirty(state);
    if (state)
        oldValue = value == -1.0f ? 0.0f : -1.0f;
    else
        oldValue = value;
}

void Control::trackingIdle() {
    if (frame) frame->idlePump();
}

void Control::setValue(float newValue) {
    value = newValue;
}
float Control::getValue() {
    return value;
}
void Control::setMin(float newMinimum) {
    minimum = newMinimum;
}
float Control::getMin() {
    return minimum;
}
void Control::setMax(float newMaximum) {
    maximum = newMaximum;
}
float Control::getMax() {
    return maximum;
}
void Control::setOldValue(float newOldValue) {
    oldValue = newOldValue;
}
float Control::getOldValue() {
    return oldValue;
}
void Control::setDefaultValue(float newDefault) {
    defaultValue = newDefault;
}
float Control::getDefaultValue() {
    return defaultValue;
}
void Control::setTag(std::int32_t newTag) {
    tag = newTag;
}

void Control::setBackground(Bitmap* bitmap) {
    if (background) background->forget();
    background = bitmap;
    if (background) background->remember();
}
Bitmap* Control::getBackground() {
    return background;
}
void Control::setBackgroundOffset(const Point& offset) {
    backgroundOffset = offset;
}
void Control::copyBackgroundOffset() {
    backgroundOffset = Point{size.left, size.top};
}
void Control::setWheelIncrement(float increment) {
    wheelIncrement = increment;
}
float Control::getWheelIncrement() {
    return wheelIncrement;
}

void Control::clampValue() {
    if (value > maximum)
        value = maximum;
    else if (value < minimum)
        value = minimum;
}

bool Control::checkDoubleClick() {
    const auto now = static_cast<std::int32_t>(frame ? frame->getTicks() : 0u);
    // Widened, so that a tick count near the top of its range cannot overflow the sum.
    if (lastClickTime > 0 &&
        std::int64_t{now} < std::int64_t{lastClickTime} + doubleClickInterval) {
        lastClickTime = 0;
        return true;
    }
    lastClickTime = now;
    return false;
}

void Control::notifyListener(DrawContext* context) {
    if (listener && isDirty()) listener->valueChanged(context, this);
}

bool Control::isDefaultGesture(std::int32_t buttons) {
    return buttons == (kLButton | kControl);
}

bool Control::stepByWheel(DrawContext* context, float distance) {
    if (!getMouseEnabled()) return false;
    float step = distance * wheelIncrement;
    // The editor's wheel call comes without a context when the frame has no window.
    if (context && (context->getMouseButtons() & kShift)) step *= 0.1f;
    value += step;
    clampValue();
    notifyListener(context);
    return true;
}

std::int32_t Control::stepByKey(const KeyCode& key) {
    if (key.virt < kVirtualLeft || key.virt > kVirtualDown) return -1;
    const float direction = key.virt == kVirtualLeft || key.virt == kVirtualDown ? -1.0f : 1.0f;
    float step = direction * wheelIncrement;
    if (key.modifier & kModifierShift) step *= 0.1f;
    value += step;
    clampValue();
    notifyListener(nullptr);
    return 1;
}

void Control::drawBackground(DrawContext* context, const Rect& destination, const Point& source) {
    if (!background) return;
    if (getTransparency())
        background->drawTransparent(context, destination, source);
    else
        background->draw(context, destination, source);
}

bool Control::frameClosing(Frame* trackingFrame) {
    return trackingFrame && trackingFrame->isClosing();
}

void Control::trackDrag(DrawContext* context, const Point& pressed, const DragStep& step) {
    Frame* tracking = getFrame();
    if (tracking) {
        tracking->beginEdit(tag);
        tracking->setFocusView(this);
    }
    Point where = pressed;
    for (;;) {
        const std::int32_t buttons = context->getMouseButtons();
        if (!step(buttons, where)) break;
        where = context->getMouseLocation();
        trackingIdle();
        if (frameClosing(tracking)) break;
        if (!(buttons & kLButton)) break;
    }
    if (tracking) tracking->endEdit(tag);
}

std::int32_t Control::truncate(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return 2147483647;
    if (x <= -2147483648.0) return -2147483647 - 1;
    return static_cast<std::int32_t>(x);
}
