// A drag whose editor the host closes from inside its idle call: the loop ends at once, tells
// nobody more, closes the gesture for the host and leaves the frame to go when the press
// returns.

#include "controls_fixtures.h"

#include "toolkit/controls/knob.h"
#include "toolkit/controls/slider.h"

namespace controls_test {
namespace {

class ClosedMidDragTest : public ControlsTest {
protected:
    // The host closes the editor at its second idle call during the drag.
    void closeAtSecondHostIdle() {
        onHostIdle = [this] {
            if (++hostIdles == 2) {
                log.push_back("host closes the editor");
                effect.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
            }
        };
    }
    std::vector<InputState> longDrag(int x, int fromY, int toY) {
        std::vector<InputState> script;
        for (int y = fromY; toY > fromY ? y < toY : y > toY; y += (toY > fromY ? 4 : -4))
            script.push_back(at(x, y, true, 30));
        script.push_back(released(x, toY));
        return script;
    }
    void expectClosedCleanly(const std::string& endLine) {
        EXPECT_EQ(editor->getFrame(), nullptr);
        EXPECT_FALSE(platform::headless::isWindow(window)) << "the frame's window went";
        EXPECT_GT(platform::headless::pendingInputStates(), 0) << "the loop stopped polling";
        const auto closed = std::find(log.begin(), log.end(), "host closes the editor");
        ASSERT_NE(closed, log.end());
        ASSERT_EQ(log.end() - closed, 2) << "after the close only the gesture's end";
        EXPECT_EQ(log.back(), endLine);
        EXPECT_EQ(log.front(), "begin " + endLine.substr(4));
    }

    int hostIdles = 0;
};

TEST_F(ClosedMidDragTest, ASliderDragEnds) {
    Bitmap* handle = makePicture(16, 30, [](DrawContext&) {});
    auto* s = add(new VerticalSlider(Rect(225, 95, 257, 215), &listener, 13, 95, 184, handle,
                                     nullptr, Point{}, StyleZeroAtBottom));
    handle->forget();
    s->setValue(0.0f);
    hostIdle();
    closeAtSecondHostIdle();
    press(240, 198, longDrag(240, 198, 100));
    expectClosedCleanly("end 13");
    EXPECT_EQ(hostIdles, 2) << "no idle reaches the host once the editor is closed";
}

TEST_F(ClosedMidDragTest, AKnobDragEnds) {
    auto* k = add(new Knob(Rect(228, 35, 252, 59), &listener, 11, nullptr, nullptr, Point{}));
    k->setValue(0.0f);
    hostIdle();
    GuiEditor other(nullptr);
    other.setEditKnobMode(2); // linear: every poll is a change
    closeAtSecondHostIdle();
    press(240, 58, longDrag(240, 58, 0));
    editKnobMode = 0;
    expectClosedCleanly("end 11");
}

} // namespace
} // namespace controls_test
