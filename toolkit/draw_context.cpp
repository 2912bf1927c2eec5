#include "toolkit/draw_context.h"

#include "toolkit/frame.h"

#include "platform/windowing.h"

#include <cstring>
#include <new>

#include "toolkit/font_table.h"

namespace {

constexpr int32_t kMaxFontId = kFontCount - 1;

// The platform's points for a toolkit point list, translated; small lists need no allocation.
class TranslatedPoints {
public:
    TranslatedPoints(const Point* points, int32_t count, const Point& offset) {
        if (!points || count <= 0) return;
        data_ = count <= kLocal ? local_ : new (std::nothrow) platform::Position[size_t(count)];
        if (!data_) return;
        for (int32_t i = 0; i < count; ++i)
            data_[i] = {points[i].h + offset.h, points[i].v + offset.v};
        count_ = count;
    }
    ~TranslatedPoints() {
        if (data_ != local_) delete[] data_;
    }
    TranslatedPoints(const TranslatedPoints&) = delete;
    TranslatedPoints& operator=(const TranslatedPoints&) = delete;

    const platform::Position* data() const { return data_; }
    int32_t count() const { return count_; }

private:
    static constexpr int32_t kLocal = 30;
    platform::Position local_[kLocal];
    platform::Position* data_ = nullptr;
    int32_t count_ = 0;
};

} // namespace

DrawContext::DrawContext(Frame* f, platform::DeviceHandle d, platform::WindowHandle w)
    : device(d), window(w), frame(f) {
    clipRect = defaultClipRect();
    if (device) {
        priorBrush = platform::getCurrentObject(device, platform::kObjBrush);
        priorPen = platform::getCurrentObject(device, platform::kObjPen);
        priorFont = platform::getCurrentObject(device, platform::kObjFont);
        platform::setBkMode(device, platform::kBkTransparent);
    }
    if (window) {
        platform::Box screen{};
        if (platform::getWindowRect(window, &screen)) windowOrigin = Point{screen.left, screen.top};
    }
    if (device) {
        setFrameColor(frameColor);
        setLineStyle(lineStyle);
        setFillColor(fillColor);
        setFontColor(fontColor);
    }
}

DrawContext::~DrawContext() {
    if (priorBrush) platform::selectObject(device, priorBrush);
    if (priorPen) platform::selectObject(device, priorPen);
    if (priorFont) platform::selectObject(device, priorFont);
    if (brush) platform::deleteObject(brush);
    if (pen) platform::deleteObject(pen);
    if (font) platform::deleteObject(font);
}

Rect DrawContext::defaultClipRect() const {
    Rect viewSize(0, 0, 1000, 1000);
    if (frame) frame->getViewSize(viewSize);
    return viewSize;
}

void DrawContext::moveTo(const Point& p) {
    platform::moveTo(device, p.h + offset.h, p.v + offset.v);
}

void DrawContext::lineTo(const Point& p) {
    platform::lineTo(device, p.h + offset.h, p.v + offset.v);
}

void DrawContext::drawPolyline(const Point* points, int32_t count) {
    TranslatedPoints translated(points, count, offset);
    if (translated.count() > 0) platform::polyline(device, translated.data(), translated.count());
}

template <typename Shape> void DrawContext::withoutOutline(Shape shape) {
    platform::selectObject(device, platform::getStockNullPen());
    shape();
    if (pen) platform::selectObject(device, pen);
}

void DrawContext::fillPolygon(const Point* points, int32_t count) {
    TranslatedPoints translated(points, count, offset);
    if (translated.count() == 0) return;
    withoutOutline([&] { platform::polygon(device, translated.data(), translated.count()); });
}

void DrawContext::drawRect(const Rect& r) {
    const int32_t left = r.left + offset.h, top = r.top + offset.v;
    const int32_t right = r.right + offset.h, bottom = r.bottom + offset.v;
    platform::moveTo(device, left, top);
    platform::lineTo(device, right, top);
    platform::lineTo(device, right, bottom);
    platform::lineTo(device, left, bottom);
    platform::lineTo(device, left, top);
}

void DrawContext::fillRect(const Rect& r) {
    const platform::Box box{r.left + offset.h + 1, r.top + offset.v + 1, r.right + offset.h,
                            r.bottom + offset.v};
    platform::fillRect(device, box, brush);
}

void DrawContext::drawEllipse(const Rect& r) {
    const int32_t startX = r.left + (r.right - r.left) / 2 + offset.h;
    const int32_t startY = r.top + offset.v;
    platform::arc(device, r.left + offset.h, r.top + offset.v, r.right + offset.h + 1,
                  r.bottom + offset.v + 1, startX, startY, startX, startY);
}

void DrawContext::fillEllipse(const Rect& r) {
    withoutOutline([&] {
        platform::ellipse(device, r.left + offset.h + 1, r.top + offset.v + 1,
                          r.right + offset.h + 1, r.bottom + offset.v + 1);
    });
}

void DrawContext::drawArc(const Rect& r, const Point& from, const Point& to) {
    platform::arc(device, r.left + offset.h, r.top + offset.v, r.right + offset.h + 1,
                  r.bottom + offset.v + 1, from.h + offset.h, from.v + offset.v, to.h + offset.h,
                  to.v + offset.v);
}

void DrawContext::fillArc(const Rect& r, const Point& from, const Point& to) {
    withoutOutline([&] {
        platform::pie(device, r.left + offset.h + 1, r.top + offset.v + 1, r.right + offset.h,
                      r.bottom + offset.v, from.h + offset.h, from.v + offset.v, to.h + offset.h,
                      to.v + offset.v);
    });
}

void DrawContext::drawPoint(const Point& p, Color color) {
    platform::setPixel(device, p.h + offset.h, p.v + offset.v, toColorRef(color));
}

Color DrawContext::getPoint(const Point& p) {
    return fromColorRef(platform::getPixel(device, p.h + offset.h, p.v + offset.v));
}

void DrawContext::floodFill(const Point& start) {
    const int32_t x = start.h + offset.h, y = start.v + offset.v;
    const platform::ColorRef color = platform::getPixel(device, x, y);
    platform::extFloodFill(device, x, y, color, platform::kFloodFillSurface);
}

void DrawContext::setLineStyle(int32_t style) {
    lineStyle = style;
    penStyle = style == kLineDotted ? platform::kPenDot : platform::kPenSolid;
    rebuildPen();
}

void DrawContext::setLineWidth(int32_t width) {
    lineWidth = width;
    rebuildPen();
}

void DrawContext::setFrameColor(Color color) {
    frameColor = color;
    rebuildPen();
}

void DrawContext::rebuildPen() {
    platform::ObjectHandle created =
        platform::createPen(penStyle, lineWidth, toColorRef(frameColor));
    platform::selectObject(device, created);
    if (pen) platform::deleteObject(pen);
    pen = created;
}

void DrawContext::setFillColor(Color color) {
    fillColor = color;
    platform::setBkColor(device, toColorRef(color));
    platform::ObjectHandle created = platform::createSolidBrush(toColorRef(color));
    if (!created) return;
    platform::selectObject(device, created);
    if (brush) platform::deleteObject(brush);
    brush = created;
}

void DrawContext::setFontColor(Color color) {
    fontColor = color;
    platform::setTextColor(device, toColorRef(color));
}

void DrawContext::setDrawMode(int32_t mode) {
    if (mode == drawMode) return;
    drawMode = mode;
    platform::setRop2(device, mode == kOrMode    ? platform::kRop2MergePen
                              : mode == kXorMode ? platform::kRop2NotXorPen
                                                 : platform::kRop2CopyPen);
}

void DrawContext::setClipRect(const Rect& rect) {
    clipRect = rect;
    platform::ObjectHandle region =
        platform::createRectRegion(rect.left, rect.top, rect.right, rect.bottom);
    platform::selectClipRegion(device, region);
    platform::deleteObject(region);
}

void DrawContext::resetClipRect() {
    setClipRect(defaultClipRect());
}

void DrawContext::setFont(int32_t id, int32_t size, int32_t style) {
    if (id < 0 || id > kMaxFontId) id = 0;
    fontId = id;
    if (size == 0) size = fontTable[id].defaultSize;
    fontSize = size;

    platform::FontDescription description;
    description.height = -size;
    description.weight = (style & kBoldFace) || id == 0 ? 700 : 400;
    description.italic = (style & kItalicFace) ? 1 : 0;
    description.underline = (style & kUnderlineFace) ? 1 : 0;
    description.charSet = 0;
    description.outPrecision = 1;
    description.clipPrecision = 2;
    description.quality = 0;
    description.pitchAndFamily = id == 7 ? 0x50 : 0x22;
    std::strncpy(description.faceName, fontTable[id].faceName, sizeof description.faceName - 1);

    platform::ObjectHandle created = platform::createFont(description);
    platform::selectObject(device, created);
    if (font) platform::deleteObject(font);
    font = created;
}

int32_t DrawContext::getStringWidth(const char* text) {
    if (!text) return 0;
    platform::TextSize size;
    if (!platform::getTextExtent(device, text, int(std::strlen(text)), &size)) return 0;
    return size.cx;
}

void DrawContext::drawString(const char* text, const Rect& rect, bool opaque, int32_t alignment) {
    if (!text) return;
    platform::setBkMode(device, opaque ? platform::kBkOpaque : platform::kBkTransparent);
    platform::Box box{rect.left + offset.h, rect.top + offset.v, rect.right + offset.h,
                      rect.bottom + offset.v};
    constexpr unsigned kBase =
        platform::kTextNoPrefix | platform::kTextSingleLine | platform::kTextVCenter;
    unsigned format = kBase;
    if (alignment == kCenterText) {
        format |= platform::kTextCenter;
    } else if (alignment == kRightText) {
        format |= platform::kTextRight;
    } else {
        // Left-aligned text keeps one pixel clear of the rectangle's edge.
        box.left += 1;
    }
    platform::drawText(device, text, int(std::strlen(text)), &box, format);
    platform::setBkMode(device, platform::kBkTransparent);
}
