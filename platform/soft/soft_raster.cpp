// Lines, shapes, pixels and flood fill of the soft home, following the Windows pixel rules:
// a line leaves out its end point, shapes leave out the right and bottom edge of their box.
#include "platform/soft/soft_objects.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace platform {
namespace {

// Dotted cosmetic pens: three pixels on, three off, counted along the line's major axis from
// the start of each line or each polyline.
constexpr int kDotOn = 3;
constexpr int kDotPeriod = 6;

struct Painter {
    DeviceObject& device;
    SoftBitmap* surface;
    Box visible;

    explicit Painter(DeviceObject& d)
        : device(d), surface(d.bitmap), visible(soft::visibleBox(d)) {}

    bool inside(int x, int y) const {
        return x >= visible.left && x < visible.right && y >= visible.top && y < visible.bottom;
    }
    void plot(int x, int y, ColorRef color) {
        if (!surface || !inside(x, y)) return;
        uint32_t& pixel = surface->at(x, y);
        pixel = soft::toSurfaceColor(*surface, soft::applyRop2(pixel, color, device.rop2));
    }
    void span(int x0, int x1, int y, ColorRef color) {
        for (int x = x0; x < x1; ++x)
            plot(x, y, color);
    }
};

bool livePen(const DeviceObject& d) {
    return d.pen && d.pen->style != kPenNull;
}
bool liveBrush(const DeviceObject& d) {
    return d.brush != nullptr;
}

// The pen's pixels along one segment, end point excluded. Ties between two pixels go the
// way the Windows line rasteriser sends them: octants 3, 5, 6 and 8 take a bias.
class PenStroke {
public:
    explicit PenStroke(Painter& p) : painter_(p), pen_(*p.device.pen) {}

    void segment(Position a, Position b) {
        if (pen_.width > 1) {
            wideSegment(a, b);
            return;
        }
        const int dx = b.x - a.x, dy = b.y - a.y;
        if (dx == 0 && dy == 0) return;
        const int adx = std::abs(dx), ady = std::abs(dy);
        const int octant = octantOf(dx, dy);
        const int bias = (octant == 3 || octant == 5 || octant == 6 || octant == 8) ? 1 : 0;
        const int xStep = dx > 0 ? 1 : -1, yStep = dy > 0 ? 1 : -1;
        int x = a.x, y = a.y;
        if (adx > ady) {
            int err = 2 * ady - adx;
            for (int n = 0; n < adx; ++n) {
                pixel(x, y);
                if (err + bias > 0) {
                    y += yStep;
                    err += 2 * ady - 2 * adx;
                } else {
                    err += 2 * ady;
                }
                x += xStep;
            }
        } else {
            int err = 2 * adx - ady;
            for (int n = 0; n < ady; ++n) {
                pixel(x, y);
                if (err + bias > 0) {
                    x += xStep;
                    err += 2 * adx - 2 * ady;
                } else {
                    err += 2 * adx;
                }
                y += yStep;
            }
        }
    }

    void polyline(const Position* points, int count, bool closed) {
        for (int i = 0; i + 1 < count; ++i)
            segment(points[i], points[i + 1]);
        if (closed && count > 1) segment(points[count - 1], points[0]);
    }

    int dashPosition = 0;

private:
    static int octantOf(int dx, int dy) {
        if (dy > 0) {
            if (dx > 0) return dx > dy ? 1 : 2;
            return -dx > dy ? 4 : 3;
        }
        if (dx < 0) return -dx > -dy ? 5 : 6;
        return dx > -dy ? 8 : 7;
    }

    void pixel(int x, int y) {
        if (pen_.style == kPenDot) {
            const bool on = dashPosition % kDotPeriod < kDotOn;
            ++dashPosition;
            if (on)
                painter_.plot(x, y, pen_.color);
            else if (painter_.device.bkMode == kBkOpaque)
                painter_.plot(x, y, painter_.device.bkColor);
            return;
        }
        painter_.plot(x, y, pen_.color);
    }

    // Geometric pens: every pixel whose centre lies within half the width of the segment.
    void wideSegment(Position a, Position b) {
        const double r = pen_.width / 2.0;
        const int x0 = int(std::min(a.x, b.x) - r - 1), x1 = int(std::max(a.x, b.x) + r + 1);
        const int y0 = int(std::min(a.y, b.y) - r - 1), y1 = int(std::max(a.y, b.y) + r + 1);
        const double vx = b.x - a.x, vy = b.y - a.y, len2 = vx * vx + vy * vy;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                double t = len2 > 0 ? ((x - a.x) * vx + (y - a.y) * vy) / len2 : 0;
                t = std::clamp(t, 0.0, 1.0);
                const double ex = a.x + t * vx - x, ey = a.y + t * vy - y;
                if (ex * ex + ey * ey <= r * r && !covered(x, y)) {
                    wideDone_.push_back(Position{x, y});
                    painter_.plot(x, y, pen_.color);
                }
            }
    }
    bool covered(int x, int y) const {
        for (const Position& p : wideDone_)
            if (p.x == x && p.y == y) return true;
        return false;
    }

    Painter& painter_;
    const SoftPen& pen_;
    std::vector<Position> wideDone_;
};

long long floorDiv(long long a, long long b) {
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// Fills the inside of a closed polygon with the brush: a pixel belongs to it when its centre
// is inside, with the left and top edges closed and the right and bottom edges open.
void fillPolygonArea(Painter& painter, const Position* points, int count, bool winding) {
    if (count < 3 || !liveBrush(painter.device)) return;
    int top = points[0].y, bottom = points[0].y;
    for (int i = 1; i < count; ++i) {
        top = std::min(top, points[i].y);
        bottom = std::max(bottom, points[i].y);
    }
    top = std::max(top, painter.visible.top);
    bottom = std::min(bottom, painter.visible.bottom);
    struct Crossing {
        long long x;
        int direction;
    };
    std::vector<Crossing> crossings;
    for (int y = top; y < bottom; ++y) {
        crossings.clear();
        for (int i = 0; i < count; ++i) {
            Position a = points[i], b = points[(i + 1) % count];
            if (a.y == b.y) continue;
            int direction = 1;
            if (a.y > b.y) {
                std::swap(a, b);
                direction = -1;
            }
            if (y < a.y || y >= b.y) continue;
            // ceil(a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y))
            const long long num = (long long)(y - a.y) * (b.x - a.x);
            const long long den = b.y - a.y;
            crossings.push_back({a.x - floorDiv(-num, den), direction});
        }
        std::sort(crossings.begin(), crossings.end(),
                  [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
        int inside = 0;
        for (size_t i = 0; i + 1 < crossings.size(); ++i) {
            inside = winding ? inside + crossings[i].direction : inside ^ 1;
            if (inside != 0)
                painter.span(int(std::max<long long>(crossings[i].x, painter.visible.left)),
                             int(std::min<long long>(crossings[i + 1].x, painter.visible.right)), y,
                             painter.device.brush->color);
        }
    }
}

// The first quadrant of an ellipse whose pixel-centre diameters are width - 1 and height - 1,
// in doubled coordinates from the centre, y upwards, from the right end towards the top.
std::vector<Position> ellipseQuadrant(int width, int height) {
    const long long a = width - 1, b = height - 1;
    const long long asq = 8 * a * a, bsq = 8 * b * b;
    long long dx = 4 * b * b * (1 - a);
    long long dy = 4 * a * a * (1 + (b % 2));
    long long err = dx + dy + a * a * (b % 2);
    std::vector<Position> points;
    Position p{int(a), int(b % 2)};
    while (p.x >= 0) {
        points.push_back(p);
        const long long e2 = 2 * err;
        if (e2 >= dx) {
            p.x -= 2;
            dx += bsq;
            err += dx;
        }
        if (e2 <= dy) {
            p.y += 2;
            dy += asq;
            err += dy;
        }
    }
    return points;
}

// Index, in counter-clockwise order over the four quadrants, of the outline point where the
// radial through (x, y) begins (whole pixels from the centre, y upwards; q in whole pixels
// too). On or above the horizontal axis a radial exactly through a point begins at that point,
// below it at the next one, as in GDI.
int findIntersection(const std::vector<Position>& q, long long x, long long y) {
    const int count = int(q.size());
    int i = 0;
    if (y >= 0) {
        if (x >= 0) {
            while (i < count && !(q[i].x * y <= q[i].y * x))
                ++i;
            return i;
        }
        while (i < count && !(q[i].x * y < q[i].y * -x))
            ++i;
        return 2 * count - i;
    }
    if (x >= 0) {
        while (i < count && !(q[i].x * -y <= q[i].y * x))
            ++i;
        return 4 * count - i;
    }
    while (i < count && !(q[i].x * -y < q[i].y * -x))
        ++i;
    return 2 * count + i;
}

struct EllipseBox {
    int left, top, right, bottom; // right and bottom exclusive
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

EllipseBox orderedBox(int left, int top, int right, int bottom) {
    return {std::min(left, right), std::min(top, bottom), std::max(left, right),
            std::max(top, bottom)};
}

// The outline point of counter-clockwise index i, in device pixels.
Position outlinePoint(const std::vector<Position>& q, const EllipseBox& box, int i) {
    const int count = int(q.size());
    const int quadrant = (i / count) % 4, k = i % count;
    Position p = (quadrant == 0 || quadrant == 2) ? q[k] : q[count - 1 - k];
    if (quadrant == 1 || quadrant == 2) p.x = -p.x;
    if (quadrant == 2 || quadrant == 3) p.y = -p.y;
    return {(box.left + box.right - 1 + p.x) / 2, (box.top + box.bottom - 1 - p.y) / 2};
}

// The outline points of an arc or pie, counter-clockwise from the radial through `start` to
// the radial through `end`; the whole outline when both find the same point.
//
// GDI does not place the radials against the pixel centres of the outline. It measures them
// in whole pixels from the box's middle, (left + right) / 2 and (top + bottom) / 2 rounded
// down, against the quadrant halved and rounded down: for an even width (height) that is the
// outline with its left (upper) half moved one pixel towards the middle, so that the four
// quadrants mirror each other. Measured at pixel centres instead, a start or end one outline
// step away from GDI's is common, and a narrow pie turns into a sliver where GDI draws nearly
// a whole disc.
std::vector<Position> arcPoints(const EllipseBox& box, Position start, Position end) {
    const std::vector<Position> q = ellipseQuadrant(box.width(), box.height());
    const int count = int(q.size());
    std::vector<Position> half(q.size());
    for (size_t i = 0; i < q.size(); ++i)
        half[i] = {q[i].x / 2, q[i].y / 2};
    auto relative = [&](Position p) {
        return std::pair<long long, long long>{p.x - floorDiv(box.left + box.right, 2),
                                               floorDiv(box.top + box.bottom, 2) - p.y};
    };
    auto [sx, sy] = relative(start);
    auto [ex, ey] = relative(end);
    const int startIndex = findIntersection(half, sx, sy);
    int endIndex = findIntersection(half, ex, ey);
    if (endIndex <= startIndex) endIndex += 4 * count;
    std::vector<Position> points;
    for (int i = startIndex; i < endIndex; ++i)
        points.push_back(outlinePoint(q, box, i));
    return points;
}

DeviceObject* drawable(DeviceHandle device) {
    return soft::isLiveDevice(device) ? device : nullptr;
}

} // namespace

bool moveTo(DeviceHandle handle, int x, int y) {
    DeviceObject* device = drawable(handle);
    if (!device) return false;
    device->current = {x, y};
    return true;
}

bool lineTo(DeviceHandle handle, int x, int y) {
    DeviceObject* device = drawable(handle);
    if (!device) return false;
    if (livePen(*device)) {
        Painter painter(*device);
        PenStroke stroke(painter);
        stroke.segment(device->current, {x, y});
    }
    device->current = {x, y};
    return true;
}

bool polyline(DeviceHandle handle, const Position* points, int count) {
    DeviceObject* device = drawable(handle);
    if (!device || !points || count < 2) return false;
    if (livePen(*device)) {
        Painter painter(*device);
        PenStroke stroke(painter);
        stroke.polyline(points, count, false);
    }
    return true;
}

bool polygon(DeviceHandle handle, const Position* points, int count) {
    DeviceObject* device = drawable(handle);
    if (!device || !points || count < 2) return false;
    Painter painter(*device);
    fillPolygonArea(painter, points, count, false);
    if (livePen(*device)) {
        PenStroke stroke(painter);
        stroke.polyline(points, count, true);
    }
    return true;
}

bool fillRect(DeviceHandle handle, const Box& box, ObjectHandle brushHandle) {
    DeviceObject* device = drawable(handle);
    if (!device || !soft::isLiveObject(brushHandle) ||
        brushHandle->kind != GraphicsObject::Kind::brush)
        return false;
    // A reversed box covers the pixels from the far edge back to the near one, both shifted
    // by one, as the block fill does.
    Box b = box;
    if (b.left > b.right) b = {b.right + 1, b.top, b.left + 1, b.bottom};
    if (b.top > b.bottom) b = {b.left, b.bottom + 1, b.right, b.top + 1};
    Painter painter(*device);
    if (!painter.surface) return true;
    const ColorRef color =
        soft::toSurfaceColor(*painter.surface, static_cast<SoftBrush*>(brushHandle)->color);
    const int x0 = std::max(b.left, painter.visible.left);
    const int x1 = std::min(b.right, painter.visible.right);
    for (int y = std::max(b.top, painter.visible.top);
         y < std::min(b.bottom, painter.visible.bottom); ++y)
        for (int x = x0; x < x1; ++x)
            painter.surface->at(x, y) = color;
    return true;
}

bool ellipse(DeviceHandle handle, int left, int top, int right, int bottom) {
    DeviceObject* device = drawable(handle);
    if (!device) return false;
    const EllipseBox box = orderedBox(left, top, right, bottom);
    if (box.width() <= 0 || box.height() <= 0) return true;
    Painter painter(*device);
    if (box.width() <= 2 || box.height() <= 2) {
        // Too small to be round: a rectangle, whose outline takes the last column and row.
        if (livePen(*device)) {
            if (liveBrush(*device))
                for (int y = box.top + 1; y < box.bottom - 2; ++y)
                    painter.span(box.left + 1, box.right - 2, y, device->brush->color);
            const Position corners[] = {{box.left, box.top},
                                        {box.right - 1, box.top},
                                        {box.right - 1, box.bottom - 1},
                                        {box.left, box.bottom - 1}};
            PenStroke stroke(painter);
            stroke.polyline(corners, 4, true);
        } else if (liveBrush(*device)) {
            for (int y = box.top; y < box.bottom - 1; ++y)
                painter.span(box.left, box.right - 1, y, device->brush->color);
        }
        return true;
    }
    const std::vector<Position> q = ellipseQuadrant(box.width(), box.height());
    const int total = 4 * int(q.size());
    std::vector<Position> outline;
    outline.reserve(size_t(total));
    for (int i = 0; i < total; ++i)
        outline.push_back(outlinePoint(q, box, i));
    if (liveBrush(*device)) {
        // The inside runs row by row between the outline's leftmost and rightmost pixel.
        std::vector<int> lo(size_t(box.height()), box.right),
            hi(size_t(box.height()), box.left - 1);
        for (const Position& p : outline) {
            const size_t row = size_t(p.y - box.top);
            lo[row] = std::min(lo[row], p.x);
            hi[row] = std::max(hi[row], p.x);
        }
        for (int y = box.top; y < box.bottom; ++y) {
            const size_t row = size_t(y - box.top);
            if (hi[row] >= lo[row]) painter.span(lo[row], hi[row] + 1, y, device->brush->color);
        }
    }
    if (livePen(*device)) {
        PenStroke stroke(painter);
        stroke.polyline(outline.data(), int(outline.size()), true);
    }
    return true;
}

namespace {

bool drawArc(DeviceHandle handle, int left, int top, int right, int bottom, Position start,
             Position end, bool isPie) {
    DeviceObject* device = drawable(handle);
    if (!device) return false;
    const EllipseBox box = orderedBox(left, top, right, bottom);
    if (box.width() <= 0 || box.height() <= 0) return true;
    std::vector<Position> points = arcPoints(box, start, end);
    Painter painter(*device);
    if (isPie) {
        points.push_back({box.left + box.width() / 2, box.top + box.height() / 2});
        fillPolygonArea(painter, points.data(), int(points.size()), true);
    }
    if (livePen(*device)) {
        PenStroke stroke(painter);
        stroke.polyline(points.data(), int(points.size()), isPie);
    }
    return true;
}

} // namespace

bool arc(DeviceHandle device, int left, int top, int right, int bottom, int startX, int startY,
         int endX, int endY) {
    return drawArc(device, left, top, right, bottom, {startX, startY}, {endX, endY}, false);
}

bool pie(DeviceHandle device, int left, int top, int right, int bottom, int startX, int startY,
         int endX, int endY) {
    return drawArc(device, left, top, right, bottom, {startX, startY}, {endX, endY}, true);
}

ColorRef setPixel(DeviceHandle handle, int x, int y, ColorRef color) {
    DeviceObject* device = drawable(handle);
    if (!device || !device->bitmap) return kInvalidColor;
    Painter painter(*device);
    if (!painter.inside(x, y)) return kInvalidColor;
    const uint32_t value = soft::toSurfaceColor(*device->bitmap, color);
    device->bitmap->at(x, y) = value;
    return value;
}

ColorRef getPixel(DeviceHandle handle, int x, int y) {
    DeviceObject* device = drawable(handle);
    if (!device || !device->bitmap) return kInvalidColor;
    if (x < 0 || y < 0 || x >= device->bitmap->width || y >= device->bitmap->height)
        return kInvalidColor;
    return device->bitmap->at(x, y);
}

bool extFloodFill(DeviceHandle handle, int x, int y, ColorRef color, int type) {
    DeviceObject* device = drawable(handle);
    if (!device || !device->bitmap || !liveBrush(*device)) return false;
    Painter painter(*device);
    if (!painter.inside(x, y)) return false;
    SoftBitmap& surface = *device->bitmap;
    const uint32_t key = soft::toSurfaceColor(surface, color);
    auto belongs = [&](int px, int py) {
        const bool same = surface.at(px, py) == key;
        return type == kFloodFillSurface ? same : !same;
    };
    if (!belongs(x, y)) return false;
    // Find the area first and paint it afterwards, so that the new colour cannot extend it.
    const Box v = painter.visible;
    const int w = v.right - v.left;
    std::vector<uint8_t> seen(size_t(w) * size_t(v.bottom - v.top), 0);
    auto mark = [&](int px, int py) -> uint8_t& {
        return seen[size_t(py - v.top) * size_t(w) + size_t(px - v.left)];
    };
    std::vector<Position> stack{{x, y}};
    mark(x, y) = 1;
    while (!stack.empty()) {
        const Position p = stack.back();
        stack.pop_back();
        const Position next[4] = {{p.x + 1, p.y}, {p.x - 1, p.y}, {p.x, p.y + 1}, {p.x, p.y - 1}};
        for (const Position& n : next)
            if (painter.inside(n.x, n.y) && !mark(n.x, n.y) && belongs(n.x, n.y)) {
                mark(n.x, n.y) = 1;
                stack.push_back(n);
            }
    }
    for (int py = v.top; py < v.bottom; ++py)
        for (int px = v.left; px < v.right; ++px)
            if (mark(px, py)) painter.plot(px, py, device->brush->color);
    return true;
}

} // namespace platform
