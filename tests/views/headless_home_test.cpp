// The headless home itself: windows, paints, scripted input and time behave as the toolkit
// expects of a windowing system.

#include "platform/soft/soft_objects.h"
#include "views_fixtures.h"

namespace views_test {
namespace {

using namespace platform;

TEST_F(HeadlessTest, ChildWindowsSitInTheirParentsClientArea) {
    WindowHandle framed = headless::createHostWindow("Framed", kWsCaption, {100, 100, 500, 400},
                                                     nullptr, {4, 24, 4, 4});
    WindowClass cls;
    cls.name = "Child";
    ASSERT_TRUE(registerClass(cls));
    EXPECT_FALSE(registerClass(cls)) << "a class is registered once";
    WindowHandle child = createWindow("Child", "c", kWsChild, 10, 20, 50, 60, framed, nullptr);
    ASSERT_NE(child, nullptr);
    Box r{};
    getWindowRect(child, &r);
    EXPECT_EQ(r.left, 114);
    EXPECT_EQ(r.top, 144);
    EXPECT_EQ(r.right, 164);
    EXPECT_EQ(getParent(child), framed);
    Position p{120, 150};
    screenToClient(framed, &p);
    EXPECT_EQ(p.x, 16);
    EXPECT_EQ(p.y, 26);
    EXPECT_EQ(createWindow("Unknown", "", 0, 0, 0, 1, 1, nullptr, nullptr), nullptr);
    EXPECT_TRUE(destroyWindow(framed));
    EXPECT_FALSE(headless::isWindow(child)) << "children go with their parent";
}

TEST_F(HeadlessTest, InputScriptAdvancesOnEveryCursorRead) {
    headless::scriptInput(
        {{{1, 1}, true}, {{2, 2}, true, false, false, false, false, false, 10}, {{3, 3}}});
    Position p;
    EXPECT_TRUE(isKeyDown(kVkLButton)) << "the first state is current at once";
    getCursorPos(&p);
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(getTickCount(), 10u) << "the second state moved the clock on";
    EXPECT_TRUE(isKeyDown(kVkLButton));
    getCursorPos(&p);
    EXPECT_EQ(p.x, 2);
    EXPECT_FALSE(isKeyDown(kVkLButton));
    getCursorPos(&p);
    getCursorPos(&p);
    EXPECT_EQ(p.x, 3) << "the last state stays";
    EXPECT_EQ(headless::pendingInputStates(), 0);
}

TEST_F(HeadlessTest, APaintClipsToTheDamagedArea) {
    headless::invalidate(host, {10, 10, 20, 20});
    Box damage{};
    EXPECT_TRUE(getUpdateRect(host, &damage));
    DeviceHandle device = beginPaint(host, &damage);
    ObjectHandle brush = createSolidBrush(makeColorRef(255, 0, 0));
    fillRect(device, Box{0, 0, 100, 100}, brush);
    deleteObject(brush);
    endPaint(host, device);
    EXPECT_FALSE(getUpdateRect(host, nullptr));
    EXPECT_EQ(headless::pixel(host, 15, 15), red());
    EXPECT_EQ(headless::pixel(host, 5, 5), black());
    EXPECT_EQ(headless::pixel(host, 20, 20), black());
}

TEST_F(HeadlessTest, PendingPressesCanBeTakenFromTheQueue) {
    EXPECT_FALSE(removePendingLeftButtonDown());
    headless::postButtonDown(host, kWmRButtonDown, 1, 1);
    EXPECT_FALSE(removePendingLeftButtonDown());
    headless::postButtonDown(host, kWmLButtonDown, 1, 1);
    EXPECT_TRUE(removePendingLeftButtonDown());
    EXPECT_FALSE(removePendingLeftButtonDown());
}

} // namespace
} // namespace views_test
