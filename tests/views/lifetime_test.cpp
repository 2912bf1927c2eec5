// Lifetimes under the frame: links into views that leave the tree, drawing contexts whose
// window changes under them, and an editor closed by the host in the middle of a drag.

#include "views_fixtures.h"

#include <algorithm>

namespace views_test {
namespace {

using platform::headless::InputState;
using platform::headless::scriptInput;

InputState at(int x, int y, bool left, std::uint32_t advance = 0) {
    InputState s;
    s.cursor = {100 + x, 50 + y}; // the host window sits at 100, 50 on the screen
    s.left = left;
    s.advanceMs = advance;
    return s;
}

std::intptr_t pressAt(int x, int y) {
    return static_cast<std::intptr_t>(static_cast<std::uint32_t>(y) << 16 |
                                      static_cast<std::uint32_t>(x));
}

bool journalHas(const std::string& line) {
    return std::find(journal.begin(), journal.end(), line) != journal.end();
}

std::ptrdiff_t journalIndex(const std::string& line) {
    return std::find(journal.begin(), journal.end(), line) - journal.begin();
}

class LifetimeTest : public OpenEditorTest {
protected:
    // Every way in that reads the focus and modal links: idle, keys, a press, the wheel.
    void poke() {
        frame->setDirty(true);
        effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
        effect.dispatcher(effEditKeyDown, 65, 0, nullptr, 0.0f);
        effect.dispatcher(effEditKeyUp, 65, 0, nullptr, 0.0f);
        platform::headless::sendMessage(window, platform::kWmLButtonDown, 0, pressAt(5, 5));
        editor->onWheel(1.0f);
        frame->drawView(nullptr);
    }
};

TEST_F(LifetimeTest, RemovedViewsTakeTheFocusAndModalLinksWithThem) {
    platform::headless::dispatchAll();

    // A focus view two containers deep, its outer container removed from the frame.
    {
        auto* outer = new ViewContainer(Rect(0, 0, 100, 100), frame);
        auto* inner = new ViewContainer(Rect(0, 0, 50, 50), frame);
        auto* focus = new ProbeView("F", Rect(0, 0, 10, 10));
        inner->addView(focus);
        outer->addView(inner);
        frame->addView(outer);
        frame->setFocusView(focus);
        EXPECT_TRUE(frame->removeView(outer));
        EXPECT_TRUE(journalHas("F deleted"));
        EXPECT_EQ(frame->getFocusView(), nullptr);
        poke();
    }
    // The modal view inside a container removed from the frame.
    {
        auto* box = new ViewContainer(Rect(0, 0, 100, 100), frame);
        auto* modal = new ProbeView("M", Rect(0, 0, 300, 225));
        box->addView(modal);
        frame->addView(box);
        ASSERT_TRUE(frame->setModalView(modal));
        EXPECT_TRUE(frame->removeView(box));
        EXPECT_TRUE(journalHas("M deleted"));
        EXPECT_EQ(frame->getModalView(), nullptr);
        poke();
        EXPECT_TRUE(frame->setModalView(nullptr)) << "no stale modal view refuses a new one";
    }
    // The modal view itself removed from the frame's list.
    {
        auto* modal = new ProbeView("N", Rect(0, 0, 300, 225));
        frame->addView(modal);
        ASSERT_TRUE(frame->setModalView(modal));
        EXPECT_TRUE(frame->removeView(modal));
        EXPECT_EQ(frame->getModalView(), nullptr);
        poke();
    }
    // A container removing its own child that holds the focus.
    {
        auto* box = new ViewContainer(Rect(0, 0, 100, 100), frame);
        auto* focus = new ProbeView("G", Rect(0, 0, 10, 10));
        box->addView(focus);
        frame->addView(box);
        frame->setFocusView(focus);
        box->removeView(focus);
        EXPECT_TRUE(journalHas("G deleted"));
        EXPECT_EQ(frame->getFocusView(), nullptr);
        poke();
    }
    // Everything at once: a modal view among the frame's views.
    {
        auto* modal = new ProbeView("O", Rect(0, 0, 300, 225));
        frame->addView(modal);
        ASSERT_TRUE(frame->setModalView(modal));
        frame->removeAll(true);
        EXPECT_EQ(frame->getModalView(), nullptr);
        poke();
    }
}

// Draws into its context, has its window resized and then destroyed under it, and draws
// again: the context's device keeps a surface to draw on, as a system device context does.
class ResizingView : public ProbeView {
public:
    using ProbeView::ProbeView;
    void mouse(DrawContext* context, const Point&) override {
        context->setFillColor(kGreenColor);
        context->fillRect(Rect(0, 0, 300, 225));
        platform::setWindowSize(getFrame()->getWindow(), 600, 400);
        context->fillRect(Rect(0, 0, 300, 225));
        platform::destroyWindow(getFrame()->getParentWindow());
        context->fillRect(Rect(0, 0, 300, 225));
        journal.push_back(name + " drew after its window went");
    }
};

TEST_F(LifetimeTest, AContextOutlivesItsWindowsSurface) {
    frame->addView(new ResizingView("R", Rect(0, 0, 300, 225)));
    platform::headless::dispatchAll();
    platform::headless::sendMessage(window, platform::kWmLButtonDown, 0, pressAt(20, 20));
    EXPECT_TRUE(journalHas("R drew after its window went"));
    EXPECT_FALSE(platform::headless::isWindow(window));
    EXPECT_FALSE(frame->isOpen()) << "the frame saw its window go";
}

// A control's drag: tracks the mouse and pumps the editor's idle until the button goes up
// or the frame closes, then tells the host the edit ended.
class DragView : public ProbeView {
public:
    using ProbeView::ProbeView;
    void mouse(DrawContext* context, const Point&) override {
        Frame* f = getFrame();
        f->beginEdit(11);
        while (context->getMouseButtons() & kLButton) {
            context->setFillColor(kBlueColor);
            context->fillRect(Rect(0, 0, 300, 225));
            f->idlePump();
            if (f->isClosing()) break;
        }
        journal.push_back(name + " loop ended" + (f->isClosing() ? " closing" : ""));
        // The toolkit's own drag wait gives up at once on a closing frame.
        if (f->isClosing() && !context->waitDrag()) journal.push_back(name + " no drag");
        f->endEdit(11);
    }
};

TEST_F(LifetimeTest, TheHostClosesTheEditorFromItsIdleDuringADrag) {
    frame->addView(new DragView("D", Rect(0, 0, 300, 225)));
    platform::headless::dispatchAll();
    platform::headless::setTickCount(5000);

    // The host answers its second idle call by closing the editor.
    int hostIdles = 0;
    effect.answer = [&](std::int32_t opcode, std::int32_t, IntPtr, void*, float) -> IntPtr {
        if (opcode == audioMasterIdle && ++hostIdles == 2)
            effect.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
        return 0;
    };
    std::vector<InputState> script;
    for (int i = 0; i < 400; ++i)
        script.push_back(at(10 + i % 50, 100, true, 5));
    script.push_back(at(60, 100, false));
    scriptInput(script);
    effect.calls.clear();

    platform::headless::sendMessage(window, platform::kWmLButtonDown, 0, pressAt(10, 100));

    EXPECT_EQ(hostIdles, 2) << "no idle reaches the host once the editor is closed";
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_FALSE(platform::headless::isWindow(window)) << "the window went with the close";
    EXPECT_GT(platform::headless::pendingInputStates(), 100) << "the drag ended early";
    EXPECT_TRUE(journalHas("D loop ended closing"));
    EXPECT_TRUE(journalHas("D no drag"));
    ASSERT_TRUE(journalHas("D deleted")) << "the frame and its views went after the press";
    EXPECT_LT(journalIndex("D loop ended closing"), journalIndex("D deleted"));
    ASSERT_FALSE(effect.calls.empty());
    EXPECT_EQ(effect.calls.front(), audioMasterBeginEdit);
    EXPECT_EQ(effect.calls.back(), audioMasterEndEdit) << "the edit still ends for the host";

    // The editor opens again as usual, and closes at once when no press is under way.
    effect.answer = nullptr;
    EXPECT_EQ(effect.dispatcher(effEditOpen, 0, 0, host, 0.0f), 1);
    ASSERT_NE(editor->getFrame(), nullptr);
    effect.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(editor->getFrame(), nullptr);
    frame = nullptr;
}

// Records the context a wheel turn brings.
class WheelView : public ProbeView {
public:
    using ProbeView::ProbeView;
    bool onWheel(DrawContext* context, const Point&, float) override {
        journal.push_back(context ? "buttons " + std::to_string(context->getMouseButtons())
                                  : std::string("no context"));
        return true;
    }
};

TEST_F(HeadlessTest, AWheelTurnWithoutAWindowBringsAContextReadingNoButtons) {
    HostedEffect effect;
    auto* editor = new TestEditor(&effect);
    auto* frame = new Frame(Rect(0, 0, 300, 225), nullptr, editor);
    ASSERT_EQ(frame->getWindow(), nullptr);
    frame->addView(new WheelView("W", Rect(0, 0, 300, 225)));
    InputState pressed;
    pressed.cursor = {10, 10};
    pressed.left = pressed.shift = true;
    platform::headless::setInput(pressed);
    EXPECT_TRUE(frame->onWheel(nullptr, Point{0, 0}, 1.0f));
    EXPECT_EQ(journal.back(), "buttons 0");
    delete frame;
}

} // namespace
} // namespace views_test
