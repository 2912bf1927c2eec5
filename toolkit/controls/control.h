#pragma once
// The base of every view that carries a value: value and range, default value, tag, a shared
// background picture and the listener told of the user's changes. Also the style bits shared
// by the slider and the parameter display, and the wheel and arrow-key stepping.

#include "toolkit/point.h"
#include "toolkit/rect.h"
#include "toolkit/view.h"

#include <cstdint>
#include <functional>

class Bitmap;
class Control;
class DrawContext;

// Told when the user has changed a control's value. Not owned by the controls; it must
// outlive every control that points to it.
class ControlListener {
public:
    virtual ~ControlListener() = default;
    // `context` is the gesture's drawing context, null when the change came from the keyboard.
    virtual void valueChanged(DrawContext* context, Control* control) = 0;
};

enum : std::int32_t {
    StyleHorizontal = 1,
    StyleVertical = 2,
    StyleShadowText = 4,
    StyleZeroAtLeft = 8,
    StyleZeroAtRight = 16,
    StyleZeroAtTop = 32,
    StyleZeroAtBottom = 64,
    StyleSunken = 128,
    StyleRaised = 256,
    StyleNoText = 2048,
    StyleNoDraw = 4096,
};

// Virtual keys of the arrow keys in the host's key record, and its Shift modifier bit.
enum : std::uint8_t { kVirtualLeft = 11, kVirtualUp = 12, kVirtualRight = 13, kVirtualDown = 14 };
enum : std::uint8_t { kModifierShift = 1 };

class Control : public View {
public:
    Control(const Rect& size, ControlListener* listener, std::int32_t tag, Bitmap* background);
    ~Control() override;

    void draw(DrawContext* context) override = 0;
    bool isDirty() override;
    void setDirty(bool state) override;

    virtual void trackingIdle();
    virtual void setValue(float newValue);
    virtual float getValue();
    virtual void setMin(float newMinimum);
    virtual float getMin();
    virtual void setMax(float newMaximum);
    virtual float getMax();
    virtual void setOldValue(float newOldValue);
    virtual float getOldValue();
    virtual void setDefaultValue(float newDefault);
    virtual float getDefaultValue();
    virtual void setTag(std::int32_t newTag);
    virtual void setBackground(Bitmap* bitmap);
    virtual Bitmap* getBackground();
    virtual void setBackgroundOffset(const Point& offset);
    virtual void copyBackgroundOffset();
    virtual void setWheelIncrement(float increment);
    virtual float getWheelIncrement();
    virtual void clampValue();

    std::int32_t getTag() const { return tag; }
    ControlListener* getListener() const { return listener; }
    Point getBackgroundOffset() const { return backgroundOffset; }
    std::int32_t getDoubleClickInterval() const { return doubleClickInterval; }
    // A click within the double-click interval of the one before; a third click right after a
    // double click starts a new pair.
    bool checkDoubleClick();

protected:
    // Tells the listener, while the value differs from the one last drawn.
    void notifyListener(DrawContext* context);
    // A mouse press with exactly the left button and Control: the default-value gesture.
    static bool isDefaultGesture(std::int32_t buttons);
    // The wheel and arrow-key steps the knob and the slider share.
    bool stepByWheel(DrawContext* context, float distance);
    std::int32_t stepByKey(const KeyCode& key);
    // Draws the background picture into the control's rectangle from `source`, leaving out
    // its transparent colour when the view is transparent.
    void drawBackground(DrawContext* context, const Rect& destination, const Point& source);
    // Truncation toward zero that saturates instead of overflowing: a value stored unclamped
    // may be anything.
    static std::int32_t truncate(double x);
    // A tracking loop ends as soon as the editor has closed its frame.
    static bool frameClosing(Frame* trackingFrame);
    // The drag loop of a control: the edit begun with the host and the focus taken, then per
    // poll the buttons read and `step` called with them and the pointer (`pressed` first),
    // the pointer read, the idle pump run; until `step` answers false, the frame closes or
    // the left button is up after a step. The edit then ends.
    using DragStep = std::function<bool(std::int32_t buttons, const Point& where)>;
    void trackDrag(DrawContext* context, const Point& pressed, const DragStep& step);

    ControlListener* listener;
    std::int32_t tag;
    float oldValue;
    float defaultValue;
    float value;
    float minimum;
    float maximum;
    float wheelIncrement;
    std::int32_t lastClickTime;
    std::int32_t doubleClickInterval;
    Bitmap* background;
    Point backgroundOffset;
};
