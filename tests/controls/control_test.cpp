// The control base: fields, the dirty rule, clamping, double clicks, the background's
// references, the idle pump of tracking loops, and the wheel, key and notification rules.

#include "controls_fixtures.h"

namespace controls_test {
namespace {

// A control that fills its rectangle with a grey level that follows the value.
class ShadeControl : public Control {
public:
    ShadeControl(const Rect& size, ControlListener* listener, std::int32_t tag,
                 Bitmap* background = nullptr)
        : Control(size, listener, tag, background) {}
    void draw(DrawContext* context) override {
        ++draws;
        const auto level = static_cast<std::uint8_t>(value * 255.0f);
        fill(*context, size, Color{level, level, level, 0});
        setDirty(false);
    }
    bool onWheel(DrawContext* context, const Point&, float distance) override {
        return stepByWheel(context, distance);
    }
    std::int32_t onKeyDown(KeyCode& key) override { return stepByKey(key); }
    using Control::notifyListener;
    int draws = 0;
};

TEST_F(ControlsTest, AFreshControlHasItsInitialFieldsAndIsDirty) {
    platform::headless::setDoubleClickTime(100);
    ShadeControl low(Rect(0, 0, 10, 10), &listener, 7);
    EXPECT_EQ(low.getDoubleClickInterval(), 250) << "raised to the floor";
    platform::headless::setDoubleClickTime(600);
    ShadeControl c(Rect(0, 0, 10, 10), &listener, 7);
    EXPECT_EQ(c.getDoubleClickInterval(), 600);
    EXPECT_EQ(c.getTag(), 7);
    EXPECT_EQ(c.getListener(), &listener);
    EXPECT_EQ(c.getValue(), 0.0f);
    EXPECT_EQ(c.getOldValue(), 1.0f);
    EXPECT_EQ(c.getDefaultValue(), 0.5f);
    EXPECT_EQ(c.getMin(), 0.0f);
    EXPECT_EQ(c.getMax(), 1.0f);
    EXPECT_FLOAT_EQ(c.getWheelIncrement(), 0.1f);
    EXPECT_TRUE(c.getMouseEnabled());
    EXPECT_FALSE(c.getTransparency());
    EXPECT_EQ(c.getBackground(), nullptr);
    EXPECT_TRUE(c.isDirty()) << "0.0 differs from 1.0 before anyone set anything";
}

TEST_F(ControlsTest, DirtyFollowsTheValueAgainstTheLastDrawnOne) {
    ShadeControl c(Rect(0, 0, 10, 10), nullptr, 0);
    c.setValue(0.3f);
    c.setDirty(false);
    EXPECT_FALSE(c.isDirty());
    EXPECT_EQ(c.getOldValue(), 0.3f);
    c.setDirty(true);
    EXPECT_EQ(c.getOldValue(), -1.0f);
    EXPECT_TRUE(c.isDirty());
    c.setValue(-1.0f);
    c.setDirty(false);
    c.setDirty(true);
    EXPECT_EQ(c.getOldValue(), 0.0f) << "so that the value -1 still differs";
    EXPECT_TRUE(c.isDirty());
    c.setValue(0.8f);
    c.setDirty(false);
    EXPECT_FALSE(c.isDirty()) << "clean even though the value changed a moment before";
    c.setValue(0.9f);
    EXPECT_TRUE(c.isDirty());
}

TEST_F(ControlsTest, OnlyClampValueKeepsTheValueInRange) {
    ShadeControl c(Rect(0, 0, 10, 10), nullptr, 0);
    c.setValue(5.0f);
    EXPECT_EQ(c.getValue(), 5.0f);
    c.clampValue();
    EXPECT_EQ(c.getValue(), 1.0f);
    c.setValue(-0.5f);
    c.clampValue();
    EXPECT_EQ(c.getValue(), 0.0f);
    c.setMin(0.2f);
    c.setMax(0.4f);
    c.setValue(0.3f);
    c.clampValue();
    EXPECT_EQ(c.getValue(), 0.3f);
    c.setValue(0.1f);
    c.clampValue();
    EXPECT_EQ(c.getValue(), 0.2f);
}

TEST_F(ControlsTest, DoubleClicksComeInPairsWithinTheInterval) {
    platform::headless::setDoubleClickTime(500);
    auto* c = add(new ShadeControl(Rect(0, 0, 10, 10), nullptr, 0));
    EXPECT_FALSE(c->checkDoubleClick());
    platform::headless::setTickCount(10100);
    EXPECT_TRUE(c->checkDoubleClick());
    EXPECT_FALSE(c->checkDoubleClick()) << "a third click starts a new pair";
    platform::headless::setTickCount(10700);
    EXPECT_FALSE(c->checkDoubleClick()) << "600 ms after the click before";

    platform::headless::setTickCount(0x7FFFFF00u);
    EXPECT_FALSE(c->checkDoubleClick());
    platform::headless::setTickCount(0x7FFFFF10u);
    EXPECT_TRUE(c->checkDoubleClick()) << "near the top of the tick range";

    ShadeControl loose(Rect(0, 0, 10, 10), nullptr, 0);
    EXPECT_FALSE(loose.checkDoubleClick());
    EXPECT_FALSE(loose.checkDoubleClick()) << "without a frame the time is always 0";
}

TEST_F(ControlsTest, TheBackgroundHoldsOneReference) {
    Bitmap* a = makePicture(4, 4, [](DrawContext&) {});
    Bitmap* b = makePicture(4, 4, [](DrawContext&) {});
    {
        ShadeControl c(Rect(0, 0, 10, 10), nullptr, 0, a);
        EXPECT_EQ(a->getReferenceCount(), 2);
        c.setBackground(b);
        EXPECT_EQ(a->getReferenceCount(), 1);
        EXPECT_EQ(b->getReferenceCount(), 2);
        EXPECT_EQ(c.getBackground(), b);
        c.setBackground(nullptr);
        EXPECT_EQ(b->getReferenceCount(), 1);
        c.setBackground(a);
        c.setBackgroundOffset(Point{3, 4});
        EXPECT_EQ(c.getBackgroundOffset(), (Point{3, 4}));
        c.setViewSize(Rect(5, 6, 15, 16));
        c.copyBackgroundOffset();
        EXPECT_EQ(c.getBackgroundOffset(), (Point{5, 6}));
    }
    EXPECT_EQ(a->getReferenceCount(), 1) << "given back when the control went";
    a->forget();
    b->forget();
}

TEST_F(ControlsTest, TrackingIdleRunsTheEditorsIdleThroughTheFrame) {
    ShadeControl loose(Rect(0, 0, 10, 10), nullptr, 0);
    loose.trackingIdle(); // no frame: nothing to pump
    auto* c = add(new ShadeControl(Rect(0, 0, 10, 10), nullptr, 0));
    const int before = editor->idles;
    effect.calls.clear();
    c->trackingIdle();
    EXPECT_EQ(editor->idles, before + 1);
    EXPECT_EQ(effect.calls, std::vector<std::int32_t>{audioMasterIdle});
}

TEST_F(ControlsTest, WheelStepsByTheIncrementAndATenthWithShift) {
    auto* c = add(new ShadeControl(Rect(0, 0, 300, 225), &listener, 3));
    c->setValue(0.5f);
    platform::headless::setInput(at(20, 20, false));
    EXPECT_TRUE(editor->onWheel(1.0f));
    EXPECT_FLOAT_EQ(c->getValue(), 0.6f);
    platform::headless::setInput(shifted(at(20, 20, false)));
    EXPECT_TRUE(editor->onWheel(1.0f));
    EXPECT_FLOAT_EQ(c->getValue(), 0.61f);
    platform::headless::setInput(at(20, 20, false));
    EXPECT_TRUE(editor->onWheel(-2.0f));
    EXPECT_FLOAT_EQ(c->getValue(), 0.41f);
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[0], "changed 3 0.6000");
    EXPECT_EQ(log[1], "automate 3 0.6000");
    EXPECT_EQ(log[4], "changed 3 0.4100");
    EXPECT_TRUE(c->onWheel(nullptr, Point{}, 1.0f)) << "no context: no Shift to read";
    EXPECT_FLOAT_EQ(c->getValue(), 0.51f);

    c->setMouseEnabled(false);
    log.clear();
    EXPECT_FALSE(editor->onWheel(1.0f));
    EXPECT_FLOAT_EQ(c->getValue(), 0.51f);
    EXPECT_TRUE(log.empty());
}

TEST_F(ControlsTest, AtTheMaximumAndDrawnThereAWheelStepTellsNobody) {
    auto* c = add(new ShadeControl(Rect(0, 0, 300, 225), &listener, 3));
    c->setValue(1.0f);
    hostIdle();
    EXPECT_FALSE(c->isDirty());
    platform::headless::setInput(at(20, 20, false));
    EXPECT_TRUE(editor->onWheel(1.0f));
    EXPECT_EQ(c->getValue(), 1.0f);
    EXPECT_TRUE(log.empty());
}

TEST_F(ControlsTest, ArrowKeysStepAndOtherKeysAreLeftAlone) {
    auto* c = add(new ShadeControl(Rect(0, 0, 300, 225), &listener, 4));
    c->setValue(0.5f);
    c->setMouseEnabled(false); // keys do not ask
    KeyCode down{0, kVirtualDown, 0};
    EXPECT_EQ(effect.dispatcher(effEditKeyDown, 0, kVirtualDown, nullptr, 0.0f), 1);
    EXPECT_FLOAT_EQ(c->getValue(), 0.4f);
    EXPECT_EQ(c->onKeyDown(down), 1);
    EXPECT_FLOAT_EQ(c->getValue(), 0.3f);
    KeyCode shiftUp{0, kVirtualUp, kModifierShift};
    EXPECT_EQ(c->onKeyDown(shiftUp), 1);
    EXPECT_FLOAT_EQ(c->getValue(), 0.31f);
    KeyCode right{0, kVirtualRight, 0};
    KeyCode left{0, kVirtualLeft, 0};
    EXPECT_EQ(c->onKeyDown(right), 1);
    EXPECT_FLOAT_EQ(c->getValue(), 0.41f);
    EXPECT_EQ(c->onKeyDown(left), 1);
    EXPECT_FLOAT_EQ(c->getValue(), 0.31f);
    KeyCode other{'a', 10, 0};
    EXPECT_EQ(c->onKeyDown(other), -1);
    KeyCode beyond{0, 15, 0};
    EXPECT_EQ(c->onKeyDown(beyond), -1);
    EXPECT_FLOAT_EQ(c->getValue(), 0.31f);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "changed 4 0.4000 no context");
}

TEST_F(ControlsTest, AListenerIsToldUntilTheRedrawAndNotWhenNothingChanged) {
    auto* c = add(new ShadeControl(Rect(0, 0, 300, 225), &listener, 5));
    c->setValue(0.2f);
    hostIdle();
    const int draws = c->draws;
    KeyCode up{0, kVirtualUp, 0};
    KeyCode down{0, kVirtualDown, 0};
    c->onKeyDown(up);
    c->onKeyDown(up);
    c->onKeyDown(down);
    EXPECT_EQ(log, (std::vector<std::string>{"changed 5 0.3000 no context", "automate 5 0.3000",
                                             "changed 5 0.4000 no context", "automate 5 0.4000",
                                             "changed 5 0.3000 no context", "automate 5 0.3000"}))
        << "told three times before one redraw";
    hostIdle();
    EXPECT_EQ(c->draws, draws + 1);
    const std::uint8_t level = static_cast<std::uint8_t>(c->getValue() * 255.0f);
    EXPECT_EQ(platform::headless::pixel(window, 10, 10),
              platform::makeColorRef(level, level, level));

    log.clear();
    c->setValue(0.3f);
    c->notifyListener(nullptr);
    EXPECT_TRUE(log.empty()) << "the value is the one last drawn";
}

} // namespace
} // namespace controls_test
