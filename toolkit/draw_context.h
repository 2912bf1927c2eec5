#pragma once
// A drawing context: a device of the platform plus the toolkit's drawing state (translation,
// pen, brush, text colours, font, draw mode, clip rectangle). Made for one paint, mouse press
// or idle pass and deleted afterwards.
#include <cstdint>

#include "platform/draw.h"
#include "toolkit/color.h"
#include "toolkit/point.h"
#include "toolkit/rect.h"

class Frame;

enum : int32_t { kLineSolid = 0, kLineDotted = 1 };
enum : int32_t { kCopyMode = 0, kOrMode = 1, kXorMode = 2 };
enum : int32_t { kBoldFace = 1, kItalicFace = 2, kUnderlineFace = 4 };
enum : int32_t { kLeftText = 0, kCenterText = 1, kRightText = 2 };
enum : int32_t { kLButton = 1, kMButton = 2, kRButton = 4, kShift = 8, kControl = 16, kAlt = 32 };

// Whether the system reports swapped mouse buttons; read once, when the first frame window
// registers its class.
extern bool buttonsSwapped;

class DrawContext {
public:
    DrawContext(Frame* frame, platform::DeviceHandle device, platform::WindowHandle window);
    virtual ~DrawContext();
    DrawContext(const DrawContext&) = delete;
    DrawContext& operator=(const DrawContext&) = delete;

    void moveTo(const Point& point);
    void lineTo(const Point& point);
    void drawPolyline(const Point* points, int32_t count);
    void fillPolygon(const Point* points, int32_t count);
    void drawRect(const Rect& rect);
    void fillRect(const Rect& rect);
    void drawEllipse(const Rect& rect);
    void fillEllipse(const Rect& rect);
    void drawArc(const Rect& rect, const Point& from, const Point& to);
    void fillArc(const Rect& rect, const Point& from, const Point& to);
    void drawPoint(const Point& point, Color color);
    Color getPoint(const Point& point);
    void floodFill(const Point& start);

    void setLineStyle(int32_t style);
    int32_t getLineStyle() const { return lineStyle; }
    void setLineWidth(int32_t width);
    int32_t getLineWidth() const { return lineWidth; }
    void setFrameColor(Color color);
    Color getFrameColor() const { return frameColor; }
    void setFillColor(Color color);
    Color getFillColor() const { return fillColor; }
    void setFontColor(Color color);
    Color getFontColor() const { return fontColor; }
    void setDrawMode(int32_t mode);
    int32_t getDrawMode() const { return drawMode; }
    // In device pixels: `offset` does not move the clip rectangle.
    void setClipRect(const Rect& rect);
    void resetClipRect();
    Rect getClipRect() const { return clipRect; }

    void setFont(int32_t fontId, int32_t size = 0, int32_t style = 0);
    int32_t getFontSize() const { return fontSize; }
    int32_t getFontId() const { return fontId; }
    int32_t getStringWidth(const char* text);
    void drawString(const char* text, const Rect& rect, bool opaque, int32_t alignment);

    // The logical buttons and modifier keys down at this moment (kLButton ... kAlt).
    int32_t getMouseButtons();
    // The cursor in window coordinates.
    Point getMouseLocation();
    // Called right after a press: whether a second press follows in time and in place.
    bool waitDoubleClick();
    // Called right after a press: whether the cursor leaves the press point before the left
    // button is released.
    bool waitDrag();

    platform::DeviceHandle getDevice() const { return device; }
    platform::WindowHandle getWindow() const { return window; }
    Frame* getFrame() const { return frame; }

    // Screen position of the window's top-left corner; containers shift it with `offset`.
    Point windowOrigin;
    // Added to every drawing coordinate.
    Point offset;
    // False for a context standing for no window at all: its button state reads 0.
    bool readsLiveInput = true;

protected:
    platform::DeviceHandle device = nullptr;
    platform::WindowHandle window = nullptr;
    Frame* frame = nullptr;
    int32_t fontSize = 0;
    int32_t fontId = 0;
    Color fontColor = kWhiteColor;
    int32_t lineWidth = 1;
    Color frameColor = kWhiteColor;
    Color fillColor = kBlackColor;
    int32_t lineStyle = kLineSolid;
    int32_t drawMode = kCopyMode;
    Rect clipRect;
    platform::ObjectHandle brush = nullptr;
    platform::ObjectHandle pen = nullptr;
    platform::ObjectHandle font = nullptr;
    platform::ObjectHandle priorBrush = nullptr;
    platform::ObjectHandle priorPen = nullptr;
    platform::ObjectHandle priorFont = nullptr;
    int32_t penStyle = platform::kPenSolid;

private:
    void rebuildPen();
    // Runs a shape with the stock null pen selected, then puts the context's pen back.
    template <typename Shape> void withoutOutline(Shape shape);
    // The frame's view size, or the whole 1000 x 1000 area without a frame.
    Rect defaultClipRect() const;
};
