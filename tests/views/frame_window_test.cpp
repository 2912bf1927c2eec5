// The frame's window: its class, its life inside the host's window, and resizing within the
// host's chain of windows.

#include "platform/module_instance.h"
#include "views_fixtures.h"

#include <cstdio>

namespace views_test {
namespace {

using platform::headless::events;

std::string classNameOfThisModule() {
    char name[32];
    std::snprintf(name, sizeof name, "Plugin%08x",
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(moduleInstance)));
    return name;
}

platform::Box rectOf(platform::WindowHandle w) {
    platform::Box b{};
    platform::getWindowRect(w, &b);
    return b;
}

std::pair<int, int> sizeOf(platform::WindowHandle w) {
    platform::Box b = rectOf(w);
    return {b.right - b.left, b.bottom - b.top};
}

TEST_F(HeadlessTest, TwoFramesShareOneClassRegistration) {
    const std::string name = classNameOfThisModule();
    auto* first = new Frame(Rect(0, 0, 300, 225), host, nullptr);
    auto* second = new Frame(Rect(0, 0, 300, 225), host, nullptr);
    const int registrations =
        static_cast<int>(std::count(events().begin(), events().end(), "register " + name));
    EXPECT_EQ(registrations, 1);
    char found[64];
    platform::getClassName(first->getWindow(), found, sizeof found);
    EXPECT_EQ(found, name);
    EXPECT_EQ(platform::headless::title(first->getWindow()), "Window");
    EXPECT_EQ(platform::getWindowStyle(first->getWindow()), 0x50000000u);
    EXPECT_EQ(sizeOf(first->getWindow()), std::make_pair(300, 225));
    EXPECT_TRUE(platform::headless::isDropRegistered(first->getWindow()));

    delete first;
    EXPECT_EQ(std::count(events().begin(), events().end(), "unregister " + name), 0);
    delete second;
    EXPECT_EQ(std::count(events().begin(), events().end(), "unregister " + name), 1);
    EXPECT_EQ(platform::headless::liveWindowCount(), 1) << "only the host's window is left";
}

TEST_F(HeadlessTest, AFrameWithoutParentHasNoWindowAndDoesNothing) {
    Frame frame(Rect(0, 0, 300, 225), nullptr, nullptr);
    EXPECT_EQ(frame.getWindow(), nullptr);
    auto* view = new ProbeView("A", Rect(0, 0, 10, 10));
    frame.addView(view);
    frame.drawView(nullptr);
    frame.idle();
    EXPECT_EQ(view->draws, 0);
    EXPECT_FALSE(frame.setDropActive(true));
    EXPECT_EQ(frame.getOuterWindow(), nullptr);
}

TEST_F(HeadlessTest, HostClosingItsWindowFirstLeavesAClosedFrame) {
    auto* frame = new Frame(Rect(0, 0, 300, 225), host, nullptr);
    auto* view = new ProbeView("A", Rect(0, 0, 10, 10));
    frame->addView(view);
    platform::headless::dispatchAll();
    const int draws = view->draws;
    const platform::WindowHandle window = frame->getWindow();
    ASSERT_TRUE(platform::headless::isDropRegistered(window));
    platform::headless::clearEvents();
    platform::destroyWindow(host); // takes the frame's window with it
    const auto& events = platform::headless::events();
    EXPECT_NE(std::find_if(events.begin(), events.end(),
                           [](const std::string& e) { return e.rfind("drop off", 0) == 0; }),
              events.end())
        << "the frame revokes its drop registration itself";
    EXPECT_FALSE(frame->isOpen());
    EXPECT_EQ(frame->getWindow(), nullptr);
    EXPECT_EQ(frame->getParentWindow(), nullptr);
    view->setDirty(true);
    frame->idle();
    frame->drawView(nullptr);
    EXPECT_EQ(view->draws, draws);
    EXPECT_FALSE(frame->setSize(400, 300));
    Rect r;
    EXPECT_FALSE(frame->getSize(r));
    delete frame; // must not touch the dead window
}

TEST_F(HeadlessTest, MessagesAfterTheFrameLetGoFindNoFrame) {
    auto* frame = new Frame(Rect(0, 0, 300, 225), host, nullptr);
    platform::WindowHandle window = frame->getWindow();
    platform::setWindowUserData(window, 0);
    platform::headless::postButtonDown(window, platform::kWmLButtonDown, 5, 5);
    platform::headless::dispatchAll(); // default processing only
    platform::setWindowUserData(window, reinterpret_cast<intptr_t>(frame));
    delete frame;
    EXPECT_FALSE(platform::headless::isWindow(window));
}

// A host whose windows nest: top (captioned) > outer > inner > the frame's window.
class SizingTest : public HeadlessTest {
protected:
    void build(const char* innerClass, platform::Box innerRect, platform::Box outerRect) {
        platform::headless::setDialogFrameHeight(3); // allowance 6
        top =
            platform::headless::createHostWindow("HostTop", platform::kWsCaption, {0, 0, 800, 600});
        outer =
            platform::headless::createHostWindow("HostOuter", platform::kWsChild, outerRect, top);
        inner =
            platform::headless::createHostWindow(innerClass, platform::kWsChild, innerRect, outer);
        editor = new TestEditor(&effect);
        effect.dispatcher(effEditOpen, 0, 0, inner, 0.0f);
        frame = editor->getFrame();
        platform::headless::clearEvents();
    }
    void TearDown() override {
        effect.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
        HeadlessTest::TearDown();
    }
    HostedEffect effect;
    TestEditor* editor = nullptr;
    Frame* frame = nullptr;
    platform::WindowHandle top = nullptr, outer = nullptr, inner = nullptr;
};

TEST_F(SizingTest, TheSameSizeChangesNothing) {
    build("HostInner", {10, 30, 310, 255}, {5, 25, 311, 280});
    EXPECT_FALSE(frame->setSize(300, 225));
    EXPECT_TRUE(events().empty());
}

TEST_F(SizingTest, GrowthWalksUpTheChainUntilTheBorderAllowance) {
    // inner is exactly the frame's size, outer is 6 wider (two dialog frames) and 30 taller.
    build("HostInner", {10, 30, 310, 255}, {5, 25, 311, 280});
    EXPECT_TRUE(frame->setSize(400, 300));
    Rect size;
    EXPECT_EQ(frame->getViewSize(size), Rect(0, 0, 400, 300));
    EXPECT_EQ(sizeOf(frame->getWindow()), std::make_pair(400, 300));
    EXPECT_EQ(sizeOf(inner), std::make_pair(400, 300));
    EXPECT_EQ(sizeOf(outer), std::make_pair(406, 330));
    EXPECT_EQ(sizeOf(top), std::make_pair(800, 600));
    EXPECT_EQ(effect.calls, std::vector<std::int32_t>{audioMasterCanDo});
}

TEST_F(SizingTest, AnMdiClientStopsTheWalk) {
    build("MDIClient", {10, 30, 310, 255}, {5, 25, 311, 280});
    EXPECT_TRUE(frame->setSize(400, 300));
    EXPECT_EQ(sizeOf(frame->getWindow()), std::make_pair(400, 300));
    EXPECT_EQ(sizeOf(inner), std::make_pair(300, 225));
}

TEST_F(SizingTest, AMuchLargerParentStopsTheWalk) {
    build("HostInner", {10, 30, 410, 330}, {5, 25, 411, 360});
    EXPECT_TRUE(frame->setSize(320, 240));
    EXPECT_EQ(sizeOf(frame->getWindow()), std::make_pair(320, 240));
    EXPECT_EQ(sizeOf(inner), std::make_pair(400, 300)) << "100 wider than the frame: left alone";
}

TEST_F(SizingTest, AHostThatSizesItsWindowGetsOnlyTheFrameWindowResized) {
    build("HostInner", {10, 30, 310, 255}, {5, 25, 311, 280});
    std::vector<std::string> asked;
    effect.answer = [&](std::int32_t opcode, std::int32_t index, IntPtr value, void* ptr,
                        float) -> IntPtr {
        if (opcode == audioMasterCanDo) asked.push_back(static_cast<const char*>(ptr));
        if (opcode == audioMasterSizeWindow)
            asked.push_back(std::to_string(index) + "x" + std::to_string(value));
        return 1;
    };
    EXPECT_TRUE(frame->setSize(400, 300));
    EXPECT_EQ(asked, (std::vector<std::string>{"sizeWindow", "400x300"}));
    EXPECT_EQ(sizeOf(frame->getWindow()), std::make_pair(400, 300));
    EXPECT_EQ(sizeOf(inner), std::make_pair(300, 225));
    Rect size;
    EXPECT_EQ(frame->getViewSize(size), Rect(0, 0, 300, 225)) << "the frame's size stays";
}

TEST_F(SizingTest, OuterWindowPositionAndSize) {
    build("HostInner", {10, 30, 310, 255}, {5, 25, 311, 280});
    // inner and outer are within 60 pixels of the frame's window, top is far larger.
    EXPECT_EQ(frame->getOuterWindow(), outer);
    std::int32_t x = -1, y = -1;
    EXPECT_TRUE(frame->getPosition(x, y));
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 25);
    Rect r;
    EXPECT_TRUE(frame->getSize(r)); // inner's rectangle in the client coordinates of top
    EXPECT_EQ(r, Rect(10, 30, 310, 255));
}

TEST_F(HeadlessTest, HostOpenedModeAsksTheHostForAWindow) {
    HostedEffect effect;
    auto* editor = new TestEditor(&effect);
    effect.answer = [&](std::int32_t opcode, std::int32_t, IntPtr, void*, float) -> IntPtr {
        return opcode == audioMasterOpenWindow ? reinterpret_cast<IntPtr>(host) : 0;
    };
    {
        Frame frame(Rect(0, 0, 300, 225), "Meter", editor, 3);
        ASSERT_NE(frame.getHostWindowRecord(), nullptr);
        EXPECT_STREQ(frame.getHostWindowRecord()->title, "Meter");
        EXPECT_EQ(frame.getHostWindowRecord()->width, 300);
        EXPECT_FALSE(frame.isOpen());
        Point at{40, 60};
        EXPECT_TRUE(frame.openHostWindow(&at));
        EXPECT_EQ(frame.getHostWindowRecord()->xPos, 40);
        EXPECT_NE(frame.getWindow(), nullptr);
        EXPECT_FALSE(frame.openHostWindow(nullptr)) << "already open";
        EXPECT_TRUE(frame.closeHostWindow());
        EXPECT_FALSE(frame.closeHostWindow());
    }
    EXPECT_EQ(effect.calls,
              (std::vector<std::int32_t>{audioMasterOpenWindow, audioMasterCloseWindow}));
}

} // namespace
} // namespace views_test
