// The slider: handle geometry, the composed picture, free-click and grab dragging, the fine
// mode on Shift, the direction bits, the default-value gesture, wheel and keys, and a slider
// that has no memory surface.

#include "controls_fixtures.h"

#include "toolkit/controls/slider.h"

namespace controls_test {
namespace {

// Track pixel (x, y): red 2x, green y, blue 90.
platform::ColorRef trackPixel(int x, int y) {
    return platform::makeColorRef(static_cast<std::uint8_t>(2 * x), static_cast<std::uint8_t>(y),
                                  90);
}
// The handle: a white (transparent) rim around a green body with a dark middle line.
platform::ColorRef handlePixel(int x, int y, int w, int h) {
    if (x == 0 || y == 0 || x == w - 1 || y == h - 1) return ref(kWhiteColor);
    if (y == h / 2) return platform::makeColorRef(0, 60, 0);
    return platform::makeColorRef(0, 200, static_cast<std::uint8_t>(x * 10));
}

Bitmap* makeTrack(int w, int h) {
    return makePicture(w, h, [&](DrawContext& c) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                platform::setPixel(c.getDevice(), x, y, trackPixel(x, y));
    });
}
Bitmap* makeHandle(int w, int h) {
    return makePicture(w, h, [&](DrawContext& c) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                platform::setPixel(c.getDevice(), x, y, handlePixel(x, y, w, h));
    });
}

class SliderTest : public ControlsTest {
protected:
    // The editor's slider for parameter 13: 32 x 120 at (225, 95), track 95..184, a 16 x 30
    // handle 8 pixels in, value 1 at the top.
    VerticalSlider* editorSlider(bool attach = true) {
        Bitmap* track = makeTrack(32, 120);
        Bitmap* handle = makeHandle(16, 30);
        auto* s = new VerticalSlider(Rect(225, 95, 257, 215), &listener, 13, 95, 184, handle, track,
                                     Point{0, 0}, StyleZeroAtBottom);
        track->forget();
        handle->forget();
        s->setHandleOffset(Point{8, 0});
        if (attach) add(s);
        return s;
    }
    // The slider's picture for a handle rectangle relative to the control.
    static std::vector<platform::ColorRef> sliderPicture(const Rect& handle) {
        std::vector<platform::ColorRef> out;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 32; ++x) {
                platform::ColorRef c = trackPixel(x, y);
                if (x >= handle.left && x < handle.right && y >= handle.top && y < handle.bottom) {
                    const platform::ColorRef h =
                        handlePixel(x - handle.left, y - handle.top, 16, 30);
                    if (h != ref(kWhiteColor)) c = h;
                }
                out.push_back(c);
            }
        return out;
    }
};

TEST_F(SliderTest, TheEditorsSliderGeometry) {
    VerticalSlider* s = editorSlider();
    EXPECT_EQ(s->getStyle(), 66);
    EXPECT_EQ(s->getTravel(), 89);
    EXPECT_EQ(s->getTrackStartOffset(), 0);
    EXPECT_EQ(s->getHandleMin(), 0);
    EXPECT_EQ(s->getHandleMax(), 119);
    EXPECT_TRUE(s->getFreeClick());
    EXPECT_FLOAT_EQ(s->getZoomFactor(), 10.0f);
    s->setValue(1.0f);
    EXPECT_EQ(s->handleRect(), Rect(8, 0, 24, 30));
    s->setValue(0.0f);
    EXPECT_EQ(s->handleRect(), Rect(8, 89, 24, 119));
    s->setValue(0.5f);
    EXPECT_EQ(s->handleRect(), Rect(8, 44, 24, 74));
    s->setValue(-0.5f); // stored unclamped: the limits hold the handle on the track
    EXPECT_EQ(s->handleRect(), Rect(8, 133, 24, 119));
    s->setValue(1e30f);
    EXPECT_EQ(s->handleRect().top, 0) << "no overflow for an absurd value";
}

TEST_F(SliderTest, TrackAndHandleReachTheWindowTogether) {
    VerticalSlider* s = editorSlider();
    for (const float v : {1.0f, 0.0f, 0.5f}) {
        s->setValue(v);
        hostIdle();
        EXPECT_FALSE(s->isDirty());
        EXPECT_TRUE(samePixels(window, Rect(225, 95, 257, 215), sliderPicture(s->handleRect()),
                               "slider_" + std::to_string(static_cast<int>(v * 10))));
    }
}

TEST_F(SliderTest, PressesPutTheHandlesCentreUnderTheMouse) {
    VerticalSlider* s = editorSlider();
    const struct {
        int y;
        float value;
    } cases[] = {{109, 1.0f}, {198, 0.0f}, {153, 1.0f - 44.0f / 89.0f}, {100, 1.0f}, {210, 0.0f}};
    for (const auto& c : cases) {
        s->setValue(0.3f);
        hostIdle();
        log.clear();
        press(240, c.y, {at(240, c.y), at(240, c.y), released(240, c.y)});
        EXPECT_FLOAT_EQ(s->getValue(), c.value) << "press at " << c.y;
        ASSERT_GE(log.size(), 4u);
        EXPECT_EQ(log.front(), "begin 13");
        EXPECT_EQ(log[1], "changed 13 " + formatValue(c.value));
        EXPECT_EQ(log[2], "automate 13 " + formatValue(c.value));
        EXPECT_EQ(log.back(), "end 13");
    }
    EXPECT_EQ(frame->getFocusView(), s);
}

TEST_F(SliderTest, ADragFollowsTheMouseAndIsSeenMoving) {
    VerticalSlider* s = editorSlider();
    s->setValue(0.0f);
    hostIdle();
    std::vector<std::uint32_t> midDrawTops;
    onHostIdle = [&] {
        // What the window shows while the loop runs: find the handle's dark middle line.
        for (int y = 95; y < 215; ++y)
            if (platform::headless::pixel(window, 240, y) == platform::makeColorRef(0, 60, 0))
                midDrawTops.push_back(static_cast<std::uint32_t>(y - 15 - 95));
    };
    press(240, 198,
          {at(240, 198), at(240, 180, true, 60), at(240, 160, true, 60), at(240, 130, true, 60),
           at(240, 130, true, 60), released(240, 130)});
    EXPECT_FLOAT_EQ(s->getValue(), 1.0f - 21.0f / 89.0f);
    std::vector<std::string> expected{"begin 13"};
    for (const int y : {180, 160, 130}) {
        const float v = 1.0f - static_cast<float>(y - 109) / 89.0f;
        expected.push_back("changed 13 " + formatValue(v));
        expected.push_back("automate 13 " + formatValue(v));
    }
    expected.push_back("end 13");
    // 198 is where the value already was, drawn: nobody is told of it. Each later position
    // is told once, as the editor's idle draws it before the next pass.
    EXPECT_EQ(log, expected);
    ASSERT_FALSE(midDrawTops.empty()) << "the window was redrawn during the drag";
    EXPECT_LT(midDrawTops.back(), 89u) << "and showed the handle on its way up";
    hostIdle();
    EXPECT_TRUE(samePixels(window, Rect(225, 95, 257, 215), sliderPicture(s->handleRect()),
                           "slider_after_drag"));
}

TEST_F(SliderTest, ShiftMakesTheJumpATenth) {
    VerticalSlider* s = editorSlider();
    s->setValue(0.5f);
    hostIdle();
    std::vector<float> seen;
    onHostIdle = [&] { seen.push_back(s->getValue()); };
    press(240, 109,
          {shifted(at(240, 109)), shifted(at(240, 109)), shifted(at(240, 198)),
           shifted(at(240, 198)), released(240, 198)});
    ASSERT_FALSE(seen.empty());
    EXPECT_FLOAT_EQ(seen.front(), 0.55f) << "a tenth of the jump to 1.0";
    EXPECT_FLOAT_EQ(s->getValue(), 0.45f) << "dragged on to the bottom, still from 0.5";
    onHostIdle = nullptr;

    // Shift pressed in the middle of a drag: the fine drag starts where the value is.
    s->setValue(0.0f);
    hostIdle();
    press(240, 198,
          {at(240, 198), at(240, 153), at(240, 153), shifted(at(240, 153)), shifted(at(240, 109)),
           shifted(at(240, 109)), released(240, 109)});
    const float middle = 1.0f - 44.0f / 89.0f;
    EXPECT_FLOAT_EQ(s->getValue(), middle + (1.0f - middle) / 10.0f);
}

TEST_F(SliderTest, WithoutFreeClickOnlyThePressedHandleDrags) {
    VerticalSlider* s = editorSlider();
    s->setFreeClick(false);
    s->setValue(1.0f); // handle at window y 95..125, x 233..249
    hostIdle();
    log.clear();
    press(240, 160, {at(240, 160), at(240, 160), released(240, 160)});
    press(230, 100, {at(230, 100), at(230, 100), released(230, 100)});
    EXPECT_EQ(s->getValue(), 1.0f);
    EXPECT_TRUE(log.empty()) << "a press beside the handle does nothing";

    press(249, 125, {at(249, 125), at(249, 125), released(249, 125)});
    EXPECT_EQ(s->getValue(), 1.0f) << "the edge pixel grabs the handle where it is";
    EXPECT_EQ(log, (std::vector<std::string>{"begin 13", "end 13"}));

    log.clear();
    press(240, 100, {at(240, 100), at(240, 144), at(240, 144), released(240, 144)});
    EXPECT_FLOAT_EQ(s->getValue(), 1.0f - 44.0f / 89.0f) << "and keeps the grab point under it";
}

TEST_F(SliderTest, ControlClickRestoresTheDefault) {
    VerticalSlider* s = editorSlider();
    s->setDefaultValue(0.5f);
    s->setValue(0.9f);
    hostIdle();
    InputState ctrl = at(240, 150);
    ctrl.control = true;
    press(240, 150, {ctrl, released(240, 150)});
    EXPECT_EQ(s->getValue(), 0.5f);
    EXPECT_EQ(log, (std::vector<std::string>{"changed 13 0.5000", "automate 13 0.5000"}))
        << "no begin or end edit around it";
    hostIdle();
    log.clear();
    press(240, 150, {ctrl, released(240, 150)});
    EXPECT_TRUE(log.empty()) << "already there and drawn";
    s->setDefaultValue(0.0f);
    press(240, 150, {ctrl, released(240, 150)});
    EXPECT_EQ(s->getValue(), 0.0f);
    InputState ctrlShift = ctrl;
    ctrlShift.shift = true;
    hostIdle();
    log.clear();
    press(240, 109, {ctrlShift, ctrlShift, released(240, 109)});
    EXPECT_NE(log.front(), "changed 13 0.0000") << "with another modifier it is a drag";
    EXPECT_EQ(log.front(), "begin 13");
}

TEST_F(SliderTest, DirectionBitsForDrawingAndForTheMouse) {
    Bitmap* handle = makeHandle(16, 30);
    // Horizontal, 100 wide at x 50, track 60..140, value 0 at the left.
    auto* h = add(new HorizontalSlider(Rect(50, 150, 150, 180), &listener, 2, 60, 140, handle,
                                       nullptr, Point{}, StyleZeroAtLeft));
    handle->forget();
    EXPECT_EQ(h->getStyle(), StyleHorizontal | StyleZeroAtLeft);
    EXPECT_EQ(h->getTrackStartOffset(), 10);
    EXPECT_EQ(h->getHandleMin(), 10);
    EXPECT_EQ(h->getHandleMax(), 10 + 80 + 16);
    h->setValue(0.25f);
    EXPECT_EQ(h->handleRect(), Rect(20, 0, 36, 30));
    // The mouse reads value = fraction: the centre sits at 50 + 8 - 1 for 0.
    press(77, 160, {at(77, 160), at(77, 160), released(77, 160)});
    EXPECT_FLOAT_EQ(h->getValue(), 20.0f / 80.0f);

    // Neither pair: draws with 1 - value but reads value = fraction.
    auto* odd = add(new HorizontalSlider(Rect(50, 190, 150, 220), nullptr, 3, 50, 150, nullptr,
                                         nullptr, Point{}, 0));
    odd->setValue(0.25f);
    EXPECT_EQ(odd->handleRect(), Rect(75, 0, 76, 1)) << "1 x 1 without a picture";
    EXPECT_EQ(odd->getHandleMax(), 101);
}

TEST_F(SliderTest, WheelAndKeysStep) {
    VerticalSlider* s = editorSlider();
    s->setValue(0.5f);
    platform::headless::setInput(at(240, 150, false));
    EXPECT_TRUE(editor->onWheel(1.0f));
    EXPECT_FLOAT_EQ(s->getValue(), 0.6f);
    platform::headless::setInput(shifted(at(240, 150, false)));
    EXPECT_TRUE(editor->onWheel(-1.0f));
    EXPECT_FLOAT_EQ(s->getValue(), 0.59f);
    KeyCode down{0, kVirtualDown, 0};
    EXPECT_EQ(editor->onKeyDown(down), 1);
    EXPECT_FLOAT_EQ(s->getValue(), 0.49f);
    EXPECT_EQ(log.back(), "automate 13 0.4900");
}

TEST_F(SliderTest, WithoutItsMemorySurfaceASliderDrawsNothing) {
    VerticalSlider* s = editorSlider(false);
    EXPECT_FALSE(s->hasOffscreen());
    Expected before(window);
    s->setValue(0.5f);
    withWindowContext(window, frame, [&](DrawContext* c) { s->draw(c); });
    EXPECT_FALSE(s->isDirty());
    EXPECT_TRUE(samePixels(window, Rect(0, 0, 300, 225), before.pixels(Rect(0, 0, 300, 225)),
                           "slider_unattached"));
    frame->addView(s);
    EXPECT_TRUE(s->hasOffscreen());
    frame->removeView(s, false);
    EXPECT_FALSE(s->hasOffscreen()) << "removed with the view";
    s->forget();
}

TEST_F(SliderTest, TheHandlePictureHoldsItsReference) {
    Bitmap* a = makeHandle(10, 12);
    Bitmap* b = makeHandle(20, 8);
    auto* s = add(new VerticalSlider(Rect(0, 0, 30, 100), nullptr, 1, 0, 80, a, nullptr, Point{}));
    EXPECT_EQ(a->getReferenceCount(), 2);
    s->setHandleBitmap(b);
    EXPECT_EQ(a->getReferenceCount(), 1);
    EXPECT_EQ(s->getHandleBitmap(), b);
    s->setValue(0.0f);
    EXPECT_EQ(s->handleRect(), Rect(0, 80, 20, 88)) << "size taken from the new picture";
    EXPECT_EQ(s->getHandleMax(), 92) << "the limits stay as they were";
    s->setHandleBitmap(nullptr);
    EXPECT_EQ(b->getReferenceCount(), 1);
    EXPECT_EQ(s->handleRect(), Rect(0, 80, 20, 88)) << "the size stays without a picture";
    a->forget();
    b->forget();
}

} // namespace
} // namespace controls_test
