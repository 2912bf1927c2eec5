#include "toolkit/controls/knob.h"

#include "toolkit/bitmap.h"
#include "toolkit/draw_context.h"
#include "toolkit/frame.h"

#include <cmath>

namespace {

// 2 pi as the float that is added and subtracted, and as the double of the upper wrap test.
constexpr float kTwoPiFloat = 6.2831855f;
constexpr double kTwoPi = 6.283185307179586;
// The knob mode in which dragging is linear.
constexpr std::int32_t kLinearKnobMode = 2;

std::int32_t insetFor(const Bitmap* handle) {
    return static_cast<std::int32_t>(static_cast<double>(handle->getWidth()) * 0.5 + 2.5);
}

} // namespace

Knob::Knob(const Rect& rect, ControlListener* listener, std::int32_t tag, Bitmap* background,
           Bitmap* handle, const Point& faceOffset)
    : Control(rect, listener, tag, background), faceOffset(faceOffset), handleColor(kWhiteColor),
      shadowColor(kGreyColor), handleBitmap(handle), inset(3), startAngle(0.0f), rangeAngle(1.0f),
      halfAngle(0.0f), aCoef(0.0f), bCoef(0.0f),
      radius(static_cast<float>(rect.right - rect.left) * 0.5f), zoomFactor(1.5f) {
    if (handleBitmap) {
        handleBitmap->remember();
        inset = insetFor(handleBitmap);
    }
    setStartAngle(3.9269907f);
    setRangeAngle(-4.712389f);
    zoomFactor = 1.5f;
}

Knob::~Knob() {
    if (handleBitmap) handleBitmap->forget();
}

void Knob::computeCoefficients() {
    aCoef = (maximum - minimum) / rangeAngle;
    bCoef = minimum - aCoef * startAngle;
    halfAngle = (kTwoPiFloat - std::fabs(rangeAngle)) * 0.5f;
    setDirty(true);
}

void Knob::setStartAngle(float angle) {
    startAngle = angle;
    computeCoefficients();
}
float Knob::getStartAngle() {
    return startAngle;
}
void Knob::setRangeAngle(float angle) {
    rangeAngle = angle;
    computeCoefficients();
}
float Knob::getRangeAngle() {
    return rangeAngle;
}
void Knob::setInsetValue(std::int32_t newInset) {
    inset = newInset;
}
void Knob::setShadowColor(Color color) {
    shadowColor = color;
    setDirty(true);
}
void Knob::setHandleColor(Color color) {
    handleColor = color;
    setDirty(true);
}
void Knob::setHandleBitmap(Bitmap* bitmap) {
    if (handleBitmap) {
        handleBitmap->forget();
        handleBitmap = nullptr;
    }
    if (bitmap) {
        handleBitmap = bitmap;
        handleBitmap->remember();
        inset = insetFor(handleBitmap);
    }
}
void Knob::setZoomFactor(float factor) {
    zoomFactor = factor;
}
float Knob::getZoomFactor() {
    return zoomFactor;
}

void Knob::valueToPoint(Point& point) {
    double alpha = (static_cast<double>(value) - bCoef) / aCoef;
    // An empty range or sweep gives no angle to follow: the pointer rests at the start.
    if (!std::isfinite(alpha)) alpha = startAngle;
    const double r = radius;
    const double reach = r - inset;
    point.h = truncate(r + std::cos(alpha) * reach + 0.5);
    point.v = truncate(r - std::sin(alpha) * reach + 0.5);
}

float Knob::valueFromPoint(const Point& point) {
    const double r = radius;
    const double twoPi = kTwoPiFloat;
    const auto wrap = [twoPi](double x) {
        if (x < 0) return x + twoPi;
        if (x > kTwoPi) return x - twoPi;
        return x;
    };
    double theta = std::atan2(r - point.v, point.h - r);
    if (theta < 0) theta += twoPi;
    const double alpha = theta - startAngle;
    const double range = rangeAngle;
    const double half = halfAngle;
    const double a = aCoef;
    double result;
    if (range >= 0) {
        const double w = wrap(alpha);
        if (w > range + half) return minimum; // the half of the gap next to the start
        if (w > range) return maximum;        // the half next to the end
        if (alpha > range + half)
            result = (alpha - twoPi) * a + minimum;
        else if (alpha < -half)
            result = (alpha + twoPi) * a + minimum;
        else
            result = alpha * a + minimum;
    } else {
        // Clockwise: measured back from the maximum's angle.
        const double fromEnd = alpha - range;
        const double w = wrap(fromEnd);
        if (w > half - range) return maximum;
        if (w > -range) return minimum;
        if (fromEnd > half - range)
            result = (fromEnd - twoPi) * a + maximum;
        else if (fromEnd < -half)
            result = (fromEnd + twoPi) * a + maximum;
        else
            result = fromEnd * a + maximum;
    }
    return static_cast<float>(result);
}

void Knob::draw(DrawContext* context) {
    drawBackground(context, size, faceOffset);
    drawHandle(context);
    setDirty(false);
}

void Knob::drawHandle(DrawContext* context) {
    Point p;
    valueToPoint(p);
    if (handleBitmap) {
        const std::int32_t w = handleBitmap->getWidth();
        const std::int32_t h = handleBitmap->getHeight();
        const std::int32_t x = size.left + p.h - w / 2;
        const std::int32_t y = size.top + p.v - h / 2;
        handleBitmap->drawTransparent(context, Rect(x, y, x + w, y + h), Point{0, 0});
        return;
    }
    const Point centre{size.left + (size.right - size.left) / 2,
                       size.top + (size.bottom - size.top) / 2};
    // The grey shadow one pixel left of the pointer, the pointer one pixel above its place.
    context->setFrameColor(shadowColor);
    context->moveTo(Point{size.left + p.h - 1, size.top + p.v});
    context->lineTo(Point{centre.h - 1, centre.v});
    context->setFrameColor(handleColor);
    context->moveTo(Point{size.left + p.h, size.top + p.v - 1});
    context->lineTo(Point{centre.h, centre.v - 1});
}

bool Knob::linearDrag(std::int32_t buttons) {
    const std::int32_t mode = getFrame() ? getFrame()->getKnobMode() : 0;
    const bool alt = (buttons & kAlt) != 0;
    return mode == kLinearKnobMode ? !alt : alt;
}

void Knob::mouse(DrawContext* context, const Point& pressed) {
    if (!getMouseEnabled() || !context) return;
    std::int32_t buttons = context->getMouseButtons();
    if (!(buttons & kLButton)) return;
    if (isDefaultGesture(buttons)) {
        value = getDefaultValue();
        notifyListener(context);
        return;
    }

    const bool linear = linearDrag(buttons);
    const float range = maximum - minimum;
    float entryValue = value;
    std::int32_t lastButtons = buttons;
    const auto stepFor = [&](std::int32_t held) {
        return (held & kShift) ? range / (zoomFactor * 200.0f) : range / 200.0f;
    };
    float step = stepFor(buttons);
    const Point first = pressed;
    const Point corner{size.left, size.top};
    const auto local = [&](const Point& p) { return Point{p.h - corner.h, p.v - corner.v}; };
    float previous = linear ? 0.0f : valueFromPoint(local(pressed));

    Point last{-1, -1};
    trackDrag(context, pressed, [&](std::int32_t buttons, const Point& where) {
        if (where != last) {
            last = where;
            if (linear) {
                // Right and up count positive.
                const auto d = static_cast<float>((where.h - first.h) + (first.v - where.v));
                if (buttons != lastButtons) {
                    // A new speed from here on, without a jump.
                    const float newStep = stepFor(buttons);
                    entryValue += (step - newStep) * d;
                    step = newStep;
                    lastButtons = buttons;
                }
                value = d * step + entryValue;
                clampValue();
            } else {
                const float v = valueFromPoint(local(where));
                value = v;
                // A pointer that crossed the dead gap holds the end it left until it comes
                // back over the arc.
                if (previous - v > range / 2.0f)
                    value = maximum;
                else if (v - previous > range / 2.0f)
                    value = minimum;
                else
                    previous = v;
            }
            notifyListener(context);
        }
        // The position polled with the button released still counts.
        return true;
    });
}

std::int32_t Knob::onKeyDown(KeyCode& keyCode) {
    return stepByKey(keyCode);
}

bool Knob::onWheel(DrawContext* context, const Point&, float distance) {
    return stepByWheel(context, distance);
}
