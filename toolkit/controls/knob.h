#pragma once
// The rotary control: a face picture and a pointer whose angle follows the value along an
// arc that may leave a dead gap. The value follows the pointed-at angle (circular dragging)
// or the mouse's way right and up (linear dragging, finer with Shift); also the default-value
// gesture, the wheel and the arrow keys.

#include "toolkit/color.h"
#include "toolkit/controls/control.h"

class Knob : public Control {
public:
    Knob(const Rect& size, ControlListener* listener, std::int32_t tag, Bitmap* background,
         Bitmap* handle, const Point& faceOffset);
    ~Knob() override;

    void draw(DrawContext* context) override;
    void mouse(DrawContext* context, const Point& where) override;
    std::int32_t onKeyDown(KeyCode& keyCode) override;
    bool onWheel(DrawContext* context, const Point& where, float distance) override;

    virtual void drawHandle(DrawContext* context);
    virtual void setStartAngle(float angle);
    virtual float getStartAngle();
    virtual void setRangeAngle(float angle);
    virtual float getRangeAngle();
    // Pointer position for the current value, relative to the control's top-left corner.
    virtual void valueToPoint(Point& point);
    // The value for a point relative to the control's top-left corner; not clamped.
    virtual float valueFromPoint(const Point& point);
    virtual void setInsetValue(std::int32_t newInset);
    virtual void setShadowColor(Color color);
    virtual void setHandleColor(Color color);
    virtual void setHandleBitmap(Bitmap* bitmap);
    virtual void setZoomFactor(float factor);
    virtual float getZoomFactor();

    std::int32_t getInset() const { return inset; }
    float getHalfAngle() const { return halfAngle; }
    float getACoef() const { return aCoef; }
    float getBCoef() const { return bCoef; }
    float getRadius() const { return radius; }
    Color getShadowColor() const { return shadowColor; }
    Color getHandleColor() const { return handleColor; }
    Bitmap* getHandleBitmap() const { return handleBitmap; }

protected:
    void computeCoefficients();
    // Whether this press drags linearly: the process-wide knob mode, turned over by Alt.
    bool linearDrag(std::int32_t buttons);

    Point faceOffset;
    Color handleColor;
    Color shadowColor;
    Bitmap* handleBitmap;
    std::int32_t inset;
    float startAngle;
    float rangeAngle;
    float halfAngle;
    float aCoef;
    float bCoef;
    float radius;
    float zoomFactor;
};
