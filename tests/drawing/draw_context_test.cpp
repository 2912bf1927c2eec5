// The drawing context's rules, read back pixel by pixel.
#include <gtest/gtest.h>

#include "tests/drawing/canvas.h"
#include "toolkit/font_table.h"

namespace {

constexpr platform::ColorRef kWhite = 0xFFFFFF;
constexpr platform::ColorRef kRed = 0x0000FF;
constexpr platform::ColorRef kBlue = 0xFF0000;

TEST(DrawContext, OutlineAndFillOfOneRectangleTouchDisjointPixels) {
    Canvas canvas(32, 32);
    DrawContext& c = canvas.context();
    c.setFrameColor(kRedColor);
    c.drawRect(Rect(10, 10, 20, 20));
    c.setFillColor(kBlueColor);
    c.fillRect(Rect(10, 10, 20, 20));
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool edge = (x == 10 || x == 20) && y >= 10 && y <= 20;
            const bool edgeRow = (y == 10 || y == 20) && x >= 10 && x <= 20;
            const bool inside = x >= 11 && x <= 19 && y >= 11 && y <= 19;
            const platform::ColorRef expected = (edge || edgeRow) ? kRed : inside ? kBlue : kWhite;
            ASSERT_EQ(canvas.at(x, y), expected) << x << "," << y;
        }
}

TEST(DrawContext, LinesLeaveOutTheirEndPointAndFollowTheOffset) {
    Canvas canvas(16, 16);
    DrawContext& c = canvas.context();
    c.setFrameColor(kBlackColor);
    c.offset = Point{2, 3};
    c.moveTo(Point{0, 0});
    c.lineTo(Point{5, 0});
    EXPECT_EQ(canvas.at(2, 3), 0u);
    EXPECT_EQ(canvas.at(6, 3), 0u);
    EXPECT_EQ(canvas.at(7, 3), kWhite);
    EXPECT_EQ(canvas.countNot(kWhite), 5);
}

TEST(DrawContext, XorModeDrawnTwiceRestoresThePicture) {
    Canvas canvas(24, 24);
    Canvas reference(24, 24);
    for (Canvas* each : {&canvas, &reference}) {
        each->context().setFillColor(Color{10, 200, 30, 0});
        each->context().fillRect(Rect(2, 2, 20, 20));
    }
    DrawContext& c = canvas.context();
    c.setDrawMode(kXorMode);
    c.setFrameColor(Color{200, 100, 50, 0});
    for (int pass = 0; pass < 2; ++pass) {
        c.moveTo(Point{0, 0});
        c.lineTo(Point{23, 17});
    }
    EXPECT_TRUE(canvas.samePixels(reference));
}

TEST(DrawContext, UnchangedDrawModeDoesNotTouchTheDevice) {
    Canvas canvas(4, 4);
    DrawContext& c = canvas.context();
    // Someone else set the device's mode; setting the context's own, unchanged mode must
    // leave it, and a real change must reach the device.
    platform::setRop2(canvas.device(), platform::kRop2MergePen);
    c.setDrawMode(kCopyMode);
    EXPECT_EQ(platform::setRop2(canvas.device(), platform::kRop2MergePen), platform::kRop2MergePen);
    c.setDrawMode(kXorMode);
    EXPECT_EQ(platform::setRop2(canvas.device(), platform::kRop2CopyPen), platform::kRop2NotXorPen);
    c.setDrawMode(7); // unknown modes behave as copy
    EXPECT_EQ(c.getDrawMode(), 7);
}

TEST(DrawContext, ClipRectangleIsInDevicePixelsWhateverTheOffset) {
    Canvas canvas(30, 30);
    DrawContext& c = canvas.context();
    c.offset = Point{5, 5};
    c.setClipRect(Rect(0, 0, 10, 10));
    c.setFillColor(kBlueColor);
    c.fillRect(Rect(-20, -20, 40, 40));
    EXPECT_EQ(canvas.at(0, 0), kBlue);
    EXPECT_EQ(canvas.at(9, 9), kBlue);
    EXPECT_EQ(canvas.at(10, 10), kWhite);
    EXPECT_EQ(canvas.countNot(kWhite), 100);
    c.resetClipRect();
    EXPECT_EQ(c.getClipRect(), Rect(0, 0, 1000, 1000));
    c.fillRect(Rect(-20, -20, 40, 40));
    EXPECT_EQ(canvas.countNot(kWhite), 900);
}

TEST(DrawContext, FontIdsOutOfRangeBecomeTheBoldDefault) {
    Canvas canvas(8, 8);
    DrawContext& c = canvas.context();
    c.setFont(9, 0, 0);
    EXPECT_EQ(c.getFontId(), 0);
    EXPECT_EQ(c.getFontSize(), 12);
    const int32_t outOfRange = c.getStringWidth("Gain 12.5 dB");
    c.setFont(-1, 0, 0);
    EXPECT_EQ(c.getFontId(), 0);
    c.setFont(3, 12, kBoldFace); // Arial 12 bold: what font 0 always is
    EXPECT_EQ(c.getStringWidth("Gain 12.5 dB"), outOfRange);
    c.setFont(3, 12, 0);
    EXPECT_LT(c.getStringWidth("Gain 12.5 dB"), outOfRange);
    c.setFont(7, 0, kBoldFace);
    EXPECT_EQ(c.getFontId(), 7);
    EXPECT_EQ(c.getFontSize(), fontTable[7].defaultSize);
    EXPECT_EQ(c.getFontSize(), 13);
}

TEST(DrawContext, FontHeightIsTheCharacterHeight) {
    Canvas canvas(8, 8);
    DrawContext& c = canvas.context();
    platform::TextSize small, large;
    c.setFont(3, 10, 0);
    ASSERT_TRUE(platform::getTextExtent(canvas.device(), "H", 1, &small));
    c.setFont(3, 20, 0);
    ASSERT_TRUE(platform::getTextExtent(canvas.device(), "H", 1, &large));
    // Arial's cell is its character height plus about 15 %: 10 px gives 11 or 12 rows.
    EXPECT_GE(small.cy, 11);
    EXPECT_LE(small.cy, 12);
    EXPECT_GE(large.cy, 22);
    EXPECT_LE(large.cy, 24);
}

TEST(DrawContext, LeftAlignedTextStartsOnePixelInsideAndUnknownAlignmentsAlignLeft) {
    Canvas zero(80, 20), five(80, 20), shifted(80, 20);
    for (Canvas* each : {&zero, &five, &shifted}) {
        each->context().setFont(2, 0, 0);
        each->context().setFontColor(kBlackColor);
    }
    zero.context().drawString("Wide", Rect(10, 0, 70, 20), false, kLeftText);
    five.context().drawString("Wide", Rect(10, 0, 70, 20), false, 5);
    EXPECT_TRUE(zero.samePixels(five));
    // The same text drawn by the platform from one pixel further right.
    platform::Box box{11, 0, 70, 20};
    platform::drawText(shifted.device(), "Wide", 4, &box,
                       platform::kTextNoPrefix | platform::kTextSingleLine |
                           platform::kTextVCenter);
    EXPECT_TRUE(zero.samePixels(shifted));
    EXPECT_GT(zero.countNot(kWhite), 10);
}

TEST(DrawContext, TextIsClippedToItsRectangleAndOpaqueTextFillsItsCell) {
    Canvas canvas(60, 30);
    DrawContext& c = canvas.context();
    c.setFont(1, 0, 0);
    c.setFontColor(kBlackColor);
    c.setFillColor(kBlueColor);
    c.drawString("MMMMMMMM", Rect(10, 5, 30, 25), true, kCenterText);
    int outside = 0, blue = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x) {
            const bool in = x >= 10 && x < 30 && y >= 5 && y < 25;
            if (!in) outside += canvas.at(x, y) != kWhite;
            blue += canvas.at(x, y) == kBlue;
        }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(blue, 0);
    // The background mode goes back to transparent afterwards.
    EXPECT_EQ(platform::setBkMode(canvas.device(), platform::kBkTransparent),
              platform::kBkTransparent);
}

TEST(DrawContext, NullTextAndNullPointListsDrawNothing) {
    Canvas canvas(20, 20);
    DrawContext& c = canvas.context();
    c.setFillColor(kBlueColor);
    c.drawString(nullptr, Rect(0, 0, 20, 20), true, kLeftText);
    c.drawPolyline(nullptr, 5);
    c.fillPolygon(nullptr, 40);
    EXPECT_EQ(c.getStringWidth(nullptr), 0);
    EXPECT_EQ(canvas.countNot(kWhite), 0);
}

TEST(DrawContext, LongPolygonsAreFilledLikeShortOnes) {
    // 40 points take the allocated buffer, 4 the local one; both describe the same square.
    std::vector<Point> many;
    for (int i = 0; i < 10; ++i)
        many.push_back(Point{2 + i, 2});
    for (int i = 0; i < 10; ++i)
        many.push_back(Point{12, 2 + i});
    for (int i = 0; i < 10; ++i)
        many.push_back(Point{12 - i, 12});
    for (int i = 0; i < 10; ++i)
        many.push_back(Point{2, 12 - i});
    const Point four[] = {{2, 2}, {12, 2}, {12, 12}, {2, 12}};
    Canvas a(16, 16), b(16, 16);
    a.context().setFillColor(kRedColor);
    b.context().setFillColor(kRedColor);
    a.context().fillPolygon(many.data(), int32_t(many.size()));
    b.context().fillPolygon(four, 4);
    EXPECT_TRUE(a.samePixels(b));
    EXPECT_EQ(a.countNot(kWhite), 100);
}

TEST(DrawContext, FloodFillPaintsTheConnectedAreaOnly) {
    Canvas canvas(20, 20);
    DrawContext& c = canvas.context();
    c.setFrameColor(kBlackColor);
    c.drawRect(Rect(2, 2, 10, 10));
    c.setFillColor(kRedColor);
    c.floodFill(Point{5, 5});
    EXPECT_EQ(canvas.at(5, 5), kRed);
    EXPECT_EQ(canvas.at(3, 3), kRed);
    EXPECT_EQ(canvas.at(2, 2), 0u);
    EXPECT_EQ(canvas.at(15, 15), kWhite);
    EXPECT_EQ(canvas.countNot(kWhite), 32 + 49);
}

TEST(DrawContext, PointsReadBackWhatWasDrawn) {
    Canvas canvas(10, 10);
    DrawContext& c = canvas.context();
    c.offset = Point{1, 1};
    c.drawPoint(Point{3, 4}, Color{1, 2, 3, 99});
    EXPECT_EQ(c.getPoint(Point{3, 4}), (Color{1, 2, 3, 0}));
    EXPECT_EQ(canvas.at(4, 5), 0x030201u);
}

// Where an arc starts when its radial passes exactly through an outline point, and a pie whose
// two edges find the same outline point; the pixels are the ones GDI draws (seen under Wine).
TEST(DrawContext, ArcsAndPiesStartWhereGdiPutsTheirRadials) {
    Canvas canvas(40, 40);
    DrawContext& c = canvas.context();
    c.setFrameColor(kRedColor);
    // Box (2, 2)-(33, 30), middle (17, 16). The diagonal up and left passes through (7, 5):
    // above the horizontal axis the arc begins on that point.
    c.drawArc(Rect(2, 2, 32, 29), Point{1, 0}, Point{38, 39});
    EXPECT_EQ(canvas.at(7, 5), kRed);
    EXPECT_EQ(canvas.at(8, 5), kWhite);
    EXPECT_EQ(canvas.at(32, 16), kWhite);

    Canvas lower(40, 40);
    lower.context().setFrameColor(kRedColor);
    // Down and left passes through (7, 26): below the axis the arc begins on the next point.
    lower.context().drawArc(Rect(2, 2, 32, 29), Point{0, 33}, Point{39, 6});
    EXPECT_EQ(lower.at(7, 26), kWhite);
    EXPECT_EQ(lower.at(8, 26), kRed);

    Canvas pie(40, 40);
    pie.context().setFillColor(kBlueColor);
    // Pie box (2, 2)-(33, 30): both edges, two pixels apart far out, meet the outline at the
    // same point, so the pie is the whole disc less the pixels on its edge.
    pie.context().fillArc(Rect(1, 1, 33, 30), Point{2, 2}, Point{2, 3});
    EXPECT_EQ(pie.at(30, 16), kBlue);
    EXPECT_EQ(pie.at(17, 27), kBlue);
    EXPECT_EQ(pie.at(16, 15), kWhite);
    EXPECT_EQ(pie.at(20, 16), kBlue);
}

} // namespace
