#pragma once
// The linear control: a handle picture travelling over a track picture, composed in a memory
// surface of the control's size and copied to the window in one step. Follows the mouse
// (finer with Shift), the default-value gesture, the wheel and the arrow keys.

#include "toolkit/controls/control.h"

class OffscreenContext;

class Slider : public Control {
public:
    // `trackStart` and `trackEnd` are window coordinates along the axis of travel.
    Slider(const Rect& size, ControlListener* listener, std::int32_t tag, std::int32_t trackStart,
           std::int32_t trackEnd, Bitmap* handle, Bitmap* background, const Point& trackOffset,
           std::int32_t style);
    ~Slider() override;

    void draw(DrawContext* context) override;
    void mouse(DrawContext* context, const Point& where) override;
    std::int32_t onKeyDown(KeyCode& keyCode) override;
    bool onWheel(DrawContext* context, const Point& where, float distance) override;
    bool removed(View* parent) override;
    bool attached(View* parent) override;

    virtual void setDrawTransparentHandle(bool state);
    virtual void setFreeClick(bool state);
    virtual bool getFreeClick();
    virtual void setHandleOffset(const Point& offset);
    virtual void setHandleBitmap(Bitmap* bitmap);
    virtual Bitmap* getHandleBitmap();
    virtual void setZoomFactor(float factor);
    virtual float getZoomFactor();

    std::int32_t getStyle() const { return style; }
    std::int32_t getTravel() const { return travel; }
    std::int32_t getHandleMin() const { return handleMin; }
    std::int32_t getHandleMax() const { return handleMax; }
    std::int32_t getTrackStartOffset() const { return trackStartOffset; }
    bool hasOffscreen() const { return offscreen != nullptr; }
    // Where the handle is drawn for the current value, relative to the control.
    Rect handleRect() const;

protected:
    bool horizontal() const { return (style & StyleHorizontal) != 0; }
    // The handle's start along the travel axis for the current value, relative to the
    // control, without the limits.
    std::int32_t handlePosition() const;

    Point trackOffset;
    Point handleOffset;
    Bitmap* handleBitmap;
    OffscreenContext* offscreen;
    std::int32_t handleWidth;
    std::int32_t handleHeight;
    std::int32_t travel;
    std::int32_t style;
    std::int32_t handleMin;
    std::int32_t handleMax;
    std::int32_t trackStartOffset;
    std::int32_t controlWidth;
    std::int32_t controlHeight;
    float zoomFactor;
    bool drawTransparentHandle;
    bool freeClick;

private:
    void applyHandleOffset(const Point& offset);
};

class VerticalSlider : public Slider {
public:
    VerticalSlider(const Rect& size, ControlListener* listener, std::int32_t tag,
                   std::int32_t trackStart, std::int32_t trackEnd, Bitmap* handle,
                   Bitmap* background, const Point& trackOffset, std::int32_t style = 0);
};

class HorizontalSlider : public Slider {
public:
    HorizontalSlider(const Rect& size, ControlListener* listener, std::int32_t tag,
                     std::int32_t trackStart, std::int32_t trackEnd, Bitmap* handle,
                     Bitmap* background, const Point& trackOffset, std::int32_t style = 0);
};
