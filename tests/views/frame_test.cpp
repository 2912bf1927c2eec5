// The frame: its view list, painting and idle refresh, and the routing of mouse, keys,
// wheel and drops.

#include "views_fixtures.h"

namespace views_test {
namespace {

using platform::headless::dispatchAll;
using platform::headless::pixel;

class FrameTest : public OpenEditorTest {
protected:
    ProbeView* add(const char* name, const Rect& r, Color c = kRedColor) {
        auto* v = new ProbeView(name, r, c);
        EXPECT_TRUE(frame->addView(v));
        return v;
    }
    void press(int x, int y, uint32_t message = platform::kWmLButtonDown) {
        platform::headless::postButtonDown(window, message, x, y);
        dispatchAll();
    }
};

TEST_F(FrameTest, PressGoesToTheLastAddedViewUnderIt) {
    add("A", Rect(0, 0, 100, 100));
    add("B", Rect(50, 50, 150, 150));
    journal.clear();
    press(75, 75);
    press(10, 10);
    press(200, 200);
    EXPECT_EQ(journal, (std::vector<std::string>{"B mouse 75,75", "A mouse 10,10"}));
}

TEST_F(FrameTest, PressAtTheFarCornerArrivesUnchangedWhateverTheButton) {
    add("A", Rect(0, 0, 300, 225));
    journal.clear();
    press(300, 200);
    press(300, 200, platform::kWmRButtonDown);
    press(300, 200, platform::kWmMButtonDown);
    EXPECT_EQ(journal, std::vector<std::string>(3, "A mouse 300,200"));
}

TEST_F(FrameTest, ModalViewTakesPressesButLetsUnhandledKeysThrough) {
    ProbeView* a = add("A", Rect(0, 0, 300, 225));
    auto* modal = new ProbeView("M", Rect(100, 100, 150, 150));
    auto* other = new ProbeView("N", Rect(0, 0, 10, 10));
    EXPECT_TRUE(frame->setModalView(modal));
    EXPECT_FALSE(frame->setModalView(other)) << "one modal view at a time";
    EXPECT_EQ(frame->getModalView(), modal);
    journal.clear();
    press(10, 10);
    press(120, 120);
    KeyCode key{66, 0, 0};
    a->keyAnswer = 3;
    EXPECT_EQ(frame->onKeyDown(key), 3);
    EXPECT_EQ(journal, (std::vector<std::string>{"M mouse 120,120", "M key 66", "A key 66"}));
    EXPECT_TRUE(frame->setModalView(nullptr));
    EXPECT_TRUE(frame->setModalView(other));
    EXPECT_TRUE(frame->setModalView(nullptr));
    modal->forget();
    other->forget();
}

TEST_F(FrameTest, KeysAskFocusThenModalThenViewsFromTheLast) {
    ProbeView* a = add("A", Rect(0, 0, 10, 10));
    add("B", Rect(0, 0, 10, 10));
    auto* focus = new ProbeView("F", Rect());
    frame->setFocusView(focus);
    journal.clear();
    KeyCode key{1, 0, 0};
    EXPECT_EQ(frame->onKeyUp(key), -1);
    a->keyAnswer = 0;
    EXPECT_EQ(frame->onKeyDown(key), 0);
    EXPECT_EQ(journal, (std::vector<std::string>{"F key up", "B key up", "A key up", "F key 1",
                                                 "B key 1", "A key 1"}));
    journal.clear();
    press(5, 5); // a press takes the focus away first
    EXPECT_EQ(frame->getFocusView(), nullptr);
    EXPECT_EQ(journal, (std::vector<std::string>{"F loses focus", "B mouse 5,5"}));
    focus->forget();
}

TEST_F(FrameTest, TheTwentyFirstViewGrowsTheList) {
    std::vector<ProbeView*> added;
    for (int i = 0; i < 21; ++i)
        added.push_back(add(("v" + std::to_string(i)).c_str(), Rect(i, 0, i + 1, 1)));
    EXPECT_EQ(frame->getViewCount(), 21);
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(frame->getView(i), added[static_cast<size_t>(i)]);
    EXPECT_EQ(frame->getView(21), nullptr);
    EXPECT_EQ(frame->getView(-1), nullptr);
    EXPECT_EQ(added[0]->getReferenceCount(), 1) << "the frame takes over the creator's reference";
    EXPECT_TRUE(frame->removeView(added[5], true));
    EXPECT_EQ(frame->getView(5), added[6]);
}

TEST_F(FrameTest, NothingIsDrawnOnIdleBeforeTheFirstPaint) {
    ProbeView* a = add("A", Rect(10, 10, 20, 20));
    a->setDirty(true);
    effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(a->draws, 0);
    EXPECT_NE(pixel(window, 15, 15), red());

    dispatchAll(); // the window's first paint
    EXPECT_EQ(a->draws, 1);
    EXPECT_EQ(pixel(window, 15, 15), red());

    a->color = kGreenColor;
    a->setDirty(true);
    effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(a->draws, 2);
    EXPECT_EQ(pixel(window, 15, 15), green());
    effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(a->draws, 2) << "clean views are not drawn again";
}

TEST_F(FrameTest, PaintDrawsOnlyTheDamagedArea) {
    ProbeView* a = add("A", Rect(0, 0, 300, 225), kRedColor);
    ProbeView* b = add("B", Rect(200, 150, 300, 225), kBlueColor);
    dispatchAll();
    EXPECT_EQ(pixel(window, 250, 200), blue());
    a->color = kGreenColor;
    b->color = kGreenColor;
    platform::headless::invalidate(window, {0, 0, 50, 50});
    dispatchAll();
    EXPECT_EQ(pixel(window, 10, 10), green());
    EXPECT_EQ(pixel(window, 100, 100), red()) << "outside the damaged rectangle";
    EXPECT_EQ(b->draws, 1) << "B does not touch the damage";
}

TEST_F(FrameTest, PaintWithoutDamageGoesToDefaultProcessing) {
    ProbeView* a = add("A", Rect(0, 0, 10, 10));
    dispatchAll();
    const int before = a->draws;
    platform::headless::clearEvents();
    platform::headless::sendMessage(window, platform::kWmPaint, 0, 0);
    EXPECT_EQ(a->draws, before);
    EXPECT_EQ(platform::headless::events(), std::vector<std::string>{"default paint 2"});
}

TEST_F(FrameTest, DrawViewOfANestedViewRedrawsTheWholeFrame) {
    ProbeView* top = add("T", Rect(0, 0, 10, 10));
    auto* container = new ViewContainer(Rect(50, 50, 100, 100), frame);
    auto* nested = new ProbeView("N", Rect(0, 0, 10, 10));
    container->addView(nested);
    frame->addView(container);
    dispatchAll();
    const int topDraws = top->draws;
    const int nestedDraws = nested->draws;
    nested->redraw();
    EXPECT_EQ(top->draws, topDraws + 1);
    EXPECT_EQ(nested->draws, nestedDraws + 1);
    top->redraw();
    EXPECT_EQ(top->draws, topDraws + 2);
    EXPECT_EQ(nested->draws, nestedDraws + 1) << "a frame child is drawn alone";
}

TEST_F(FrameTest, InvalidateMarksViewsTouchingTheRectangle) {
    ProbeView* a = add("A", Rect(0, 0, 10, 10));
    ProbeView* b = add("B", Rect(20, 20, 30, 30));
    a->setDirty(false);
    b->setDirty(false);
    frame->invalidate(Rect(10, 10, 19, 19));
    EXPECT_TRUE(a->isDirty()) << "touching its corner";
    EXPECT_FALSE(b->isDirty());
}

TEST_F(FrameTest, DropsReachTheViewUnderTheCursorUnlessFocusIsHeld) {
    add("A", Rect(0, 0, 300, 225));
    platform::headless::setInput({{140, 90}});
    journal.clear();
    EXPECT_TRUE(platform::headless::dropText(window, "hello"));
    EXPECT_TRUE(platform::headless::dropFiles(window, {"/a.wav", "/b.wav"}));
    EXPECT_EQ(journal,
              (std::vector<std::string>{"A drop hello at 40,40", "A drop 2 files at 40,40"}));
    auto* focus = new ProbeView("F", Rect());
    frame->setFocusView(focus);
    journal.clear();
    platform::headless::dropText(window, "ignored");
    EXPECT_TRUE(journal.empty());
    frame->setFocusView(nullptr);
    focus->forget();
}

TEST_F(FrameTest, WheelGoesToTheViewUnderTheCursor) {
    add("A", Rect(0, 0, 100, 100));
    add("B", Rect(200, 0, 300, 100));
    platform::headless::setInput({{100 + 250, 50 + 20}});
    journal.clear();
    EXPECT_TRUE(editor->onWheel(1.5f));
    platform::headless::setInput({{100 + 150, 50 + 20}});
    EXPECT_FALSE(editor->onWheel(1.0f)) << "nothing under the cursor";
    EXPECT_EQ(journal, std::vector<std::string>{"B wheel 250,20 1.500000"});
}

TEST_F(FrameTest, CursorsAreSetAndTheSavedOneRestored) {
    frame->setCursor(2);
    EXPECT_EQ(platform::headless::currentCursorId(), platform::kCursorSizeWe);
    frame->setCursor(6);
    EXPECT_EQ(platform::headless::currentCursorId(), platform::kCursorSizeNwse);
    frame->setCursor(9);
    EXPECT_EQ(platform::headless::currentCursorId(), platform::kCursorSizeNwse);
    frame->setCursor(0);
    EXPECT_EQ(platform::headless::currentCursorId(), 0) << "the cursor found at first use";
}

TEST_F(FrameTest, EditNotificationsGoThroughTheEditorsEffect) {
    effect.calls.clear();
    frame->beginEdit(12);
    frame->endEdit(12);
    EXPECT_EQ(effect.calls, (std::vector<std::int32_t>{audioMasterBeginEdit, audioMasterEndEdit}));
    platform::headless::setTickCount(1234);
    EXPECT_EQ(frame->getTicks(), 1234u);
}

} // namespace
} // namespace views_test
