// The knob: coefficients and the dead gap, pointer positions both ways, drawing with and
// without a handle picture, circular and linear drags, the default-value gesture, the knob
// mode and Alt, wheel and keys.

#include "controls_fixtures.h"

#include "host/editor_base.h"
#include "host/gui_editor/gui_editor.h"
#include "toolkit/controls/knob.h"

#include <cmath>

namespace controls_test {
namespace {

// Face pixel (x, y): red 10x, green 10y, blue 40.
platform::ColorRef facePixel(int x, int y) {
    return platform::makeColorRef(static_cast<std::uint8_t>(10 * x),
                                  static_cast<std::uint8_t>(10 * y), 40);
}
// A red dot on white, 6 x 6: the corners are white.
platform::ColorRef dotPixel(int x, int y) {
    const bool corner = (x == 0 || x == 5) && (y == 0 || y == 5);
    return corner ? ref(kWhiteColor) : platform::makeColorRef(230, 0, 0);
}

class KnobTest : public ControlsTest {
protected:
    void TearDown() override {
        editKnobMode = 0; // process-wide: put back for the next test
        ControlsTest::TearDown();
    }
    // The editor's knob for parameter 11: 24 x 24 at (228, 35), a 6 x 6 dot.
    Knob* editorKnob(bool withHandle = true) {
        Bitmap* face = makePicture(24, 24, [](DrawContext& c) {
            for (int y = 0; y < 24; ++y)
                for (int x = 0; x < 24; ++x)
                    platform::setPixel(c.getDevice(), x, y, facePixel(x, y));
        });
        Bitmap* dot = withHandle ? makePicture(6, 6,
                                               [](DrawContext& c) {
                                                   for (int y = 0; y < 6; ++y)
                                                       for (int x = 0; x < 6; ++x)
                                                           platform::setPixel(c.getDevice(), x, y,
                                                                              dotPixel(x, y));
                                               })
                                 : nullptr;
        auto* k = new Knob(Rect(228, 35, 252, 59), &listener, 11, face, dot, Point{0, 0});
        face->forget();
        if (dot) dot->forget();
        k->setDefaultValue(1.0f);
        return add(k);
    }
    // The window point at an angle (degrees, counter-clockwise from right) and a distance
    // from the knob's centre.
    static Point aim(double degrees, double distance = 10.0) {
        const double a = degrees * 3.14159265358979 / 180.0;
        return Point{228 + 12 + static_cast<int>(std::lround(std::cos(a) * distance)),
                     35 + 12 - static_cast<int>(std::lround(std::sin(a) * distance))};
    }
    // Each state 60 ms after the one before: the editor's idle draws between two passes.
    static InputState at(int x, int y, bool left = true) {
        return ControlsTest::at(x, y, left, 60);
    }
    static InputState at(const Point& p, bool left = true) { return at(p.h, p.v, left); }
    // A drag through window points, pressed at the first; the last is held once more before
    // the release so that the loop reads it with the button still down.
    void drag(const std::vector<Point>& path) {
        std::vector<InputState> script;
        for (const Point& p : path)
            script.push_back(at(p));
        script.push_back(at(path.back()));
        script.push_back(at(path.back(), false));
        press(path.front().h, path.front().v, script);
    }
    // The face with the dot drawn at a pointer point.
    static std::vector<platform::ColorRef> knobPicture(const Point& pointer) {
        std::vector<platform::ColorRef> out;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x) {
                platform::ColorRef c = facePixel(x, y);
                const int dx = x - (pointer.h - 3);
                const int dy = y - (pointer.v - 3);
                if (dx >= 0 && dx < 6 && dy >= 0 && dy < 6 && dotPixel(dx, dy) != ref(kWhiteColor))
                    c = dotPixel(dx, dy);
                out.push_back(c);
            }
        return out;
    }
};

TEST_F(KnobTest, TheEditorsKnobCoefficientsAndPoints) {
    Knob* k = editorKnob();
    EXPECT_FLOAT_EQ(k->getRadius(), 12.0f);
    EXPECT_EQ(k->getInset(), 5);
    EXPECT_NEAR(k->getACoef(), -0.2122066, 1e-6);
    EXPECT_NEAR(k->getBCoef(), 0.8333333, 1e-6);
    EXPECT_NEAR(k->getHalfAngle(), 0.7853982, 1e-6);
    EXPECT_FLOAT_EQ(k->getZoomFactor(), 1.5f);
    EXPECT_EQ(k->getHandleColor(), kWhiteColor);
    EXPECT_EQ(k->getShadowColor(), kGreyColor);
    const struct {
        float value;
        Point point;
    } points[] = {{0.0f, {7, 17}}, {0.5f, {12, 5}}, {1.0f, {17, 17}}, {0.25f, {6, 9}}};
    for (const auto& c : points) {
        k->setValue(c.value);
        Point p;
        k->valueToPoint(p);
        EXPECT_EQ(p, c.point) << c.value;
    }
    EXPECT_NEAR(k->valueFromPoint(Point{12, 0}), 0.5, 1e-6);
    EXPECT_NEAR(k->valueFromPoint(Point{24, 12}), 0.8333333, 1e-6);
    EXPECT_NEAR(k->valueFromPoint(Point{0, 12}), 0.1666667, 1e-6);
    EXPECT_EQ(k->valueFromPoint(Point{11, 24}), 0.0f) << "in the gap, left of centre";
    EXPECT_EQ(k->valueFromPoint(Point{13, 24}), 1.0f) << "in the gap, right of centre";
}

TEST_F(KnobTest, AnglesAndRangeSetTheCoefficients) {
    Knob* k = editorKnob();
    k->setMin(0.0f);
    k->setMax(2.0f);
    EXPECT_NEAR(k->getACoef(), -0.2122066, 1e-6) << "a new range waits for the next angle";
    hostIdle();
    k->setRangeAngle(3.1415927f); // half a turn counter-clockwise from lower left
    EXPECT_TRUE(k->isDirty());
    EXPECT_NEAR(k->getACoef(), 2.0 / 3.1415927, 1e-6);
    EXPECT_NEAR(k->getBCoef(), -2.0 / 3.1415927 * 3.9269907, 1e-5);
    EXPECT_NEAR(k->getHalfAngle(), 3.1415927 / 2.0, 1e-6);
    // The sweep runs from the lower left through the bottom and the right to the upper right.
    EXPECT_NEAR(k->valueFromPoint(Point{24, 24}), 1.0, 1e-5) << "lower right: half way";
    EXPECT_NEAR(k->valueFromPoint(Point{24, 12}), 1.5, 1e-5);
    EXPECT_NEAR(k->valueFromPoint(Point{24, 0}), 2.0, 1e-5) << "upper right: the end";
    EXPECT_EQ(k->valueFromPoint(Point{2, 0}), 2.0f) << "gap, end side";
    EXPECT_EQ(k->valueFromPoint(Point{0, 14}), 0.0f) << "gap, start side";

    k->setMax(0.0f); // an empty range: the pointer rests at the start instead of nowhere
    k->setRangeAngle(-4.712389f);
    k->setValue(0.0f);
    Point p;
    k->valueToPoint(p);
    EXPECT_EQ(p, (Point{7, 17}));
}

TEST_F(KnobTest, DrawsTheFaceAndTheDotThreePixelsUpAndLeft) {
    Knob* k = editorKnob();
    for (const float v : {0.0f, 0.5f, 1.0f, 0.25f}) {
        k->setValue(v);
        hostIdle();
        EXPECT_FALSE(k->isDirty());
        Point p;
        k->valueToPoint(p);
        EXPECT_TRUE(samePixels(window, Rect(228, 35, 252, 59), knobPicture(p),
                               "knob_" + std::to_string(static_cast<int>(v * 100))));
    }
}

TEST_F(KnobTest, WithoutAHandlePictureTwoLinesPointTheWay) {
    Knob* k = editorKnob(false);
    EXPECT_EQ(k->getInset(), 3);
    k->setHandleColor(kYellowColor);
    k->setValue(0.5f); // pointer (12, 9) with inset 3
    hostIdle();
    Point p;
    k->valueToPoint(p);
    ASSERT_EQ(p, (Point{12, 3}));
    std::vector<platform::ColorRef> expected;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            platform::ColorRef c = facePixel(x, y);
            if (x == 11 && y >= 3 && y < 12) c = ref(kGreyColor);   // (11, 3) to (11, 12)
            if (x == 12 && y >= 2 && y < 11) c = ref(kYellowColor); // (12, 2) to (12, 11)
            expected.push_back(c);
        }
    EXPECT_TRUE(samePixels(window, Rect(228, 35, 252, 59), expected, "knob_lines"));
}

TEST_F(KnobTest, ACircularDragHoldsTheEndItLeftAcrossTheGap) {
    Knob* k = editorKnob();
    k->setValue(0.9f);
    hostIdle();
    std::vector<float> seen;
    onHostIdle = [&] { seen.push_back(k->getValue()); };
    // From the 0.9 position down through the gap's right and left halves, round the lower
    // left and up over the arc.
    const double at09 = (0.9 - 0.8333333) / -0.2122066 * 180.0 / 3.14159265358979;
    drag({aim(at09), aim(-80), aim(-100), aim(215), aim(180), aim(100), aim(80)});
    std::vector<float> changes;
    for (const float v : seen)
        if (changes.empty() || changes.back() != v) changes.push_back(v);
    ASSERT_GE(changes.size(), 3u);
    EXPECT_NEAR(changes[0], 0.9f, 0.02f);
    EXPECT_EQ(changes[1], 1.0f) << "right half of the gap";
    const float back = k->valueFromPoint(Point{aim(80).h - 228, aim(80).v - 35});
    EXPECT_GT(back, 0.5f);
    EXPECT_EQ(changes.size(), 3u) << "held at 1.0 until the pointer was back at 0.5 or more";
    EXPECT_FLOAT_EQ(k->getValue(), back);
    // Passes below 0.5 held the maximum: the listener heard 1.0 and then the way back.
    EXPECT_EQ(log.front(), "begin 11");
    EXPECT_EQ(log.back(), "end 11");
    EXPECT_NE(std::find(log.begin(), log.end(), "changed 11 1.0000"), log.end());
}

TEST_F(KnobTest, APressWithoutMovingTurnsTheKnobToThePointedAngle) {
    Knob* k = editorKnob();
    k->setValue(0.2f);
    hostIdle();
    drag({Point{240, 35}}); // straight up at the rim
    EXPECT_NEAR(k->getValue(), 0.5f, 1e-6);
    EXPECT_EQ(log, (std::vector<std::string>{"begin 11", "changed 11 0.5000", "automate 11 0.5000",
                                             "end 11"}));
}

TEST_F(KnobTest, LinearDragsWithTheFineModeAndNoJump) {
    GuiEditor other(nullptr); // the knob mode is one for every editor
    EXPECT_EQ(other.setEditKnobMode(2), 1);
    Knob* k = editorKnob();

    k->setValue(0.2f);
    hostIdle();
    drag({Point{230, 40}, Point{280, 40}, Point{330, 40}});
    EXPECT_NEAR(k->getValue(), 0.7f, 1e-6) << "100 pixels right add 0.5";

    k->setValue(0.2f);
    hostIdle();
    drag({Point{240, 58}, Point{240, 38}, Point{250, 8}});
    EXPECT_NEAR(k->getValue(), 0.5f, 1e-6) << "up counts like right: 10 + 50 pixels";

    k->setValue(0.2f);
    hostIdle();
    press(230, 40,
          {shifted(at(230, 40)), shifted(at(330, 40)), shifted(at(330, 40)), released(330, 40)});
    EXPECT_NEAR(k->getValue(), 0.2f + 0.5f / 1.5f, 1e-6) << "Shift held from the start";

    // Shift pressed and released in the middle of a drag. The loop takes a change of
    // buttons at the next new position, and the speed changes there without a jump.
    k->setValue(0.0f);
    hostIdle();
    log.clear();
    press(230, 40,
          {at(230, 40), at(280, 40), shifted(at(280, 40)), shifted(at(330, 40)),
           shifted(at(330, 40)), at(330, 40), at(380, 40), at(380, 40), at(430, 40), at(430, 40),
           released(430, 40)});
    std::vector<std::string> told;
    for (const auto& line : log)
        if (line.rfind("changed", 0) == 0) told.push_back(line);
    EXPECT_EQ(told, (std::vector<std::string>{"changed 11 0.2500", "changed 11 0.4167",
                                              "changed 11 0.5833", "changed 11 0.8333"}))
        << "50 pixels at full speed, 100 at a third of it, then 50 at full speed again";

    // Alt turns the mode over: circular here.
    k->setValue(0.2f);
    hostIdle();
    InputState alt = at(240, 35);
    alt.alt = true;
    press(240, 35, {alt, alt, released(240, 35)});
    EXPECT_NEAR(k->getValue(), 0.5f, 1e-6);
}

TEST_F(KnobTest, AltDragsLinearlyInTheCircularMode) {
    Knob* k = editorKnob();
    k->setValue(0.2f);
    hostIdle();
    InputState s0 = at(240, 47);
    s0.alt = true;
    InputState s1 = at(260, 47);
    s1.alt = true;
    press(240, 47, {s0, s1, s1, released(260, 47)});
    EXPECT_NEAR(k->getValue(), 0.3f, 1e-6) << "20 pixels right";
}

TEST_F(KnobTest, ControlClickRestoresTheDefaultOnce) {
    Knob* k = editorKnob();
    k->setValue(0.3f);
    hostIdle();
    InputState ctrl = at(240, 47);
    ctrl.control = true;
    press(240, 47, {ctrl, released(240, 47)});
    EXPECT_EQ(k->getValue(), 1.0f);
    EXPECT_EQ(log, (std::vector<std::string>{"changed 11 1.0000", "automate 11 1.0000"}));
    hostIdle();
    log.clear();
    press(240, 47, {ctrl, released(240, 47)});
    EXPECT_TRUE(log.empty()) << "at the default and drawn there: nothing to tell";
}

TEST_F(KnobTest, WheelKeysAndTheHandlePicture) {
    Knob* k = editorKnob();
    k->setValue(0.5f);
    platform::headless::setInput(at(240, 47, false));
    EXPECT_TRUE(editor->onWheel(1.0f));
    EXPECT_FLOAT_EQ(k->getValue(), 0.6f);
    platform::headless::setInput(shifted(at(240, 47, false)));
    EXPECT_TRUE(editor->onWheel(1.0f));
    EXPECT_FLOAT_EQ(k->getValue(), 0.61f);
    KeyCode left{0, kVirtualLeft, kModifierShift};
    EXPECT_EQ(editor->onKeyDown(left), 1);
    EXPECT_FLOAT_EQ(k->getValue(), 0.6f);

    Bitmap* big = makePicture(10, 10, [](DrawContext&) {});
    k->setHandleBitmap(big);
    EXPECT_EQ(k->getInset(), 7);
    EXPECT_EQ(big->getReferenceCount(), 2);
    k->setHandleBitmap(nullptr);
    EXPECT_EQ(k->getHandleBitmap(), nullptr);
    EXPECT_EQ(k->getInset(), 7) << "no picture leaves the inset";
    EXPECT_EQ(big->getReferenceCount(), 1);
    big->forget();
    k->setInsetValue(2);
    EXPECT_EQ(k->getInset(), 2);
}

} // namespace
} // namespace controls_test
