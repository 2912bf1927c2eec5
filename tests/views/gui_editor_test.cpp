// The editor base bound to the frame: editor opcodes, keys, the knob mode and the idle pump.

#include "views_fixtures.h"

#include <algorithm>

namespace views_test {
namespace {

using platform::headless::setTickCount;
using platform::headless::totalSlept;

TEST_F(HeadlessTest, EditorRectangleIsKnownBeforeOpening) {
    HostedEffect effect;
    new TestEditor(&effect);
    EditorRect* rect = nullptr;
    EXPECT_EQ(effect.dispatcher(effEditGetRect, 0, 0, &rect, 0.0f), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right, 300);
    EXPECT_EQ(rect->bottom, 225);
    EXPECT_EQ(effect.getRecord()->flags & effFlagsHasEditor, effFlagsHasEditor);
}

TEST_F(HeadlessTest, KeysWhileClosedAreNotHandled) {
    HostedEffect effect;
    auto* editor = new TestEditor(&effect);
    EXPECT_EQ(effect.dispatcher(effEditKeyDown, 65, 0, nullptr, 0.0f), -1);
    EXPECT_EQ(effect.dispatcher(effEditKeyUp, 65, 0, nullptr, 0.0f), -1);
    EXPECT_FALSE(editor->onWheel(1.0f));
    editor->redraw(nullptr); // no frame: nothing
    effect.dispatcher(effEditOpen, 0, 0, host, 0.0f);
    editor->getFrame()->addView(new ProbeView("A", Rect(0, 0, 10, 10)));
    journal.clear();
    EXPECT_EQ(effect.dispatcher(effEditKeyDown, 65, 0, nullptr, 0.0f), -1);
    EXPECT_EQ(journal, std::vector<std::string>{"A key 65"});
    effect.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(editor->getFrame(), nullptr);
}

TEST_F(HeadlessTest, KnobModeIsSharedByEveryEditor) {
    HostedEffect first, second;
    new TestEditor(&first);
    new TestEditor(&second);
    second.dispatcher(effEditOpen, 0, 0, host, 0.0f);
    EXPECT_EQ(first.dispatcher(effSetEditKnobMode, 0, 2, nullptr, 0.0f), 1);
    EXPECT_EQ(static_cast<GuiEditor*>(second.currentEditor())->getFrame()->getKnobMode(), 2);
    first.dispatcher(effSetEditKnobMode, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(static_cast<GuiEditor*>(second.currentEditor())->getFrame()->getKnobMode(), 0);
    second.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
}

TEST_F(HeadlessTest, OpenRequestsAnUpdateThatTheNextIdlePerforms) {
    HostedEffect effect;
    auto* editor = new TestEditor(&effect);
    effect.dispatcher(effEditOpen, 0, 0, host, 0.0f);
    EXPECT_EQ(editor->getParentWindow(), host);
    effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(editor->updates, 1);
    editor->setParameter(11, 0.5f);
    effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(editor->updates, 2);
    effect.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
}

TEST_F(HeadlessTest, IdlePumpRunsAboutEveryFiftyMillisecondsAndOnlySleepsBetween) {
    setTickCount(1000);
    HostedEffect effect;
    auto* editor = new TestEditor(&effect);
    effect.calls.clear();

    editor->idlePump(); // the first call runs at once
    EXPECT_EQ(editor->idles, 1);
    EXPECT_EQ(effect.calls, std::vector<std::int32_t>{audioMasterIdle});
    EXPECT_EQ(totalSlept(), 0u);

    // Each further call sleeps 4 ms; the work runs again in the call that starts 48 ms after
    // the run (it then sees 52 ms, past the 50 ms threshold).
    int calls = 0;
    while (editor->idles == 1 && calls < 100) {
        editor->idlePump();
        ++calls;
    }
    EXPECT_EQ(calls, 13);
    EXPECT_EQ(totalSlept(), 52u);
    EXPECT_EQ(platform::getTickCount(), 1052u);
    EXPECT_EQ(effect.calls.size(), 2u);
}

TEST_F(HeadlessTest, IdlePumpDispatchesOnePendingPaint) {
    HostedEffect effect;
    auto* editor = new TestEditor(&effect);
    effect.dispatcher(effEditOpen, 0, 0, host, 0.0f);
    auto* view = new ProbeView("A", Rect(0, 0, 10, 10));
    editor->getFrame()->addView(view);
    editor->idlePump();
    EXPECT_EQ(view->draws, 1) << "the window's pending paint";
    EXPECT_FALSE(platform::getUpdateRect(editor->getFrame()->getWindow(), nullptr));
    effect.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
}

TEST_F(HeadlessTest, TheHostsIdleCallingBackDoesNotReenterTheEditor) {
    HostedEffect effect;
    auto* editor = new TestEditor(&effect);
    int reentries = 0;
    effect.answer = [&](std::int32_t opcode, std::int32_t, IntPtr, void*, float) -> IntPtr {
        if (opcode == audioMasterIdle) {
            ++reentries;
            editor->requestUpdate();
            effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
        }
        return 0;
    };
    editor->idlePump();
    EXPECT_EQ(reentries, 1);
    EXPECT_EQ(editor->idles, 2) << "called twice";
    EXPECT_EQ(editor->updates, 0) << "but the inner call did nothing";
    effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(editor->updates, 1) << "the request stays for the next idle";
}

// A drag pumps continually; idle, paints and the host's idle keep their ~50 ms rhythm whether
// or not the tick counter wraps during it.
TEST_F(HeadlessTest, IdlePumpKeepsItsRhythmAcrossTheTickWrap) {
    std::vector<long> idles, hostIdles;
    for (std::uint32_t start : {0x40000000u, 0xFFFFFE00u}) {
        setTickCount(start);
        HostedEffect effect;
        auto* editor = new TestEditor(&effect);
        while (platform::getTickCount() - start < 1000u)
            editor->idlePump();
        idles.push_back(editor->idles);
        hostIdles.push_back(std::count(effect.calls.begin(), effect.calls.end(), audioMasterIdle));
    }
    EXPECT_EQ(idles[0], idles[1]);
    EXPECT_EQ(hostIdles[0], hostIdles[1]);
    EXPECT_GE(idles[1], 18);
    EXPECT_LE(idles[1], 21);
}

} // namespace
} // namespace views_test
