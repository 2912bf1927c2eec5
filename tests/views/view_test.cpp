// Views and containers: geometry rules, reference counts, input routing and redrawing.

#include "platform/soft/soft_objects.h"
#include "toolkit/offscreen_context.h"
#include "views_fixtures.h"

namespace views_test {
namespace {

TEST(View, HitTestIsInclusiveWhilePointInsideIsHalfOpen) {
    View view(Rect(10, 10, 20, 20));
    EXPECT_TRUE(view.hitTest(Point{20, 20}, -1));
    EXPECT_TRUE(view.hitTest(Point{10, 10}, 0));
    EXPECT_FALSE(view.hitTest(Point{21, 20}, -1));
    EXPECT_FALSE(view.hitTest(Point{9, 15}, -1));
    EXPECT_FALSE(Rect(10, 10, 20, 20).pointInside(Point{20, 20}));
}

TEST(View, CheckUpdateCountsATouchingCorner) {
    View view(Rect(10, 10, 20, 20));
    EXPECT_TRUE(view.checkUpdate(Rect(20, 20, 30, 30)));
    EXPECT_TRUE(view.checkUpdate(Rect(0, 0, 10, 10)));
    EXPECT_FALSE(view.checkUpdate(Rect(21, 10, 30, 20)));
    EXPECT_FALSE(view.checkUpdate(Rect(10, 0, 20, 9)));
}

TEST(View, SetViewSizeLeavesTheMouseableAreaAndMarksDirty) {
    View view(Rect(10, 10, 20, 20));
    EXPECT_FALSE(view.isDirty());
    view.setViewSize(Rect(0, 0, 50, 50));
    Rect size, area;
    EXPECT_EQ(view.getViewSize(size), Rect(0, 0, 50, 50));
    EXPECT_EQ(view.getMouseableArea(area), Rect(10, 10, 20, 20));
    EXPECT_TRUE(view.isDirty());
    EXPECT_EQ(view.getEditor(), nullptr);
    view.redraw(); // no frame: nothing happens
}

TEST(View, ReferenceCounting) {
    journal.clear();
    auto* view = new ProbeView("v", Rect(0, 0, 1, 1));
    view->remember();
    EXPECT_EQ(view->getReferenceCount(), 2);
    view->forget();
    EXPECT_TRUE(journal.empty());
    view->forget();
    EXPECT_EQ(journal, std::vector<std::string>{"v deleted"});

    // A count already at zero (or below) is left alone: nothing is freed a second time.
    struct Unowned : View {
        Unowned() : View(Rect()) { referenceCount = 0; }
    } unowned;
    unowned.forget();
    unowned.forget();
    EXPECT_EQ(unowned.getReferenceCount(), 0);
}

TEST(Container, KnowsItselfByPointerNotByText) {
    ViewContainer container(Rect(0, 0, 10, 10), nullptr);
    char sameText[] = "kMsgCheckIfViewContainer";
    EXPECT_EQ(container.notify(nullptr, kMsgCheckIfViewContainer), 1);
    EXPECT_EQ(container.notify(nullptr, sameText), 0);
    View plain{Rect()};
    EXPECT_EQ(plain.notify(nullptr, kMsgCheckIfViewContainer), 0);
}

TEST(Container, ChildrenHoldReferencesAndRemovalDropsThem) {
    journal.clear();
    {
        ViewContainer container(Rect(0, 0, 100, 100), nullptr);
        container.useOffscreen(false);
        auto* a = new ProbeView("a", Rect(0, 0, 10, 10));
        auto* b = new ProbeView("b", Rect(0, 0, 10, 10));
        container.addView(a);
        container.addView(b);
        EXPECT_EQ(a->getReferenceCount(), 2);
        EXPECT_EQ(a->getParentView(), &container);
        EXPECT_TRUE(a->isDirty()) << "a fresh child is drawn on the next update";
        EXPECT_EQ(container.getViewCount(), 2);
        EXPECT_EQ(container.getView(1), b);
        EXPECT_EQ(container.getView(2), nullptr);
        EXPECT_EQ(container.getView(-1), nullptr);
        container.removeView(a, true);
        EXPECT_FALSE(container.isChild(a) || container.getViewCount() != 1);
        // b keeps its creator's reference until the container goes with withForget.
    }
    EXPECT_EQ(journal, (std::vector<std::string>{"a attached", "b attached", "a removed",
                                                 "a deleted", "b removed", "b deleted"}));
}

TEST(Container, LastAddedChildGetsTheMouseAndKeysFallBack) {
    journal.clear();
    ViewContainer container(Rect(10, 10, 110, 110), nullptr);
    auto* a = new ProbeView("A", Rect(0, 0, 50, 50));
    auto* b = new ProbeView("B", Rect(20, 20, 60, 60));
    container.addView(a);
    container.addView(b);
    journal.clear();

    container.mouse(nullptr, Point{40, 40});   // local (30, 30): both cover it
    container.mouse(nullptr, Point{15, 15});   // local (5, 5): only A
    container.mouse(nullptr, Point{105, 105}); // nobody
    b->setMouseEnabled(false);
    container.mouse(nullptr, Point{40, 40});
    KeyCode key{65, 0, 0};
    EXPECT_EQ(container.onKeyDown(key), -1);
    b->keyAnswer = 7;
    EXPECT_EQ(container.onKeyDown(key), 7);
    EXPECT_EQ(journal, (std::vector<std::string>{
                           "B mouse 30,30 no context", "A mouse 5,5 no context",
                           "A mouse 30,30 no context", "B key 65", "A key 65", "B key 65"}));
    container.removeAll(true);
}

TEST(Container, DropsUseTheMouseableAreaAndNeedAFrame) {
    journal.clear();
    ViewContainer orphan(Rect(0, 0, 100, 100), nullptr);
    auto* a = new ProbeView("A", Rect(0, 0, 10, 10));
    orphan.addView(a, Rect(0, 0, 100, 100), true);
    char text[] = "hi";
    void* items[] = {text};
    EXPECT_FALSE(orphan.onDrop(items, 2, 1, Point{50, 50})) << "no frame, no drop";
    orphan.removeAll(true);
}

// Pixels of a container that draws straight into a window surface.
class ContainerPixels : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        device = platform::getWindowDevice(host);
        context = new DrawContext(nullptr, device, host);
    }
    void TearDown() override {
        delete context;
        platform::releaseWindowDevice(host, device);
        HeadlessTest::TearDown();
    }
    platform::ColorRef at(int x, int y) { return platform::headless::pixel(host, x, y); }
    void paint(const Rect& r, Color c) {
        context->setFillColor(c);
        context->fillRect(Rect(r.left - 1, r.top - 1, r.right, r.bottom));
    }

    platform::DeviceHandle device = nullptr;
    DrawContext* context = nullptr;
};

TEST_F(ContainerPixels, DirtyChildrenAreRedrawnOverFreshBackground) {
    ViewContainer container(Rect(10, 10, 110, 60), nullptr);
    container.useOffscreen(false);
    container.setMode(ViewContainer::kRedrawDirtyChildren);
    container.setBackgroundColor(kBlueColor);
    auto* a = new ProbeView("A", Rect(0, 0, 20, 20), kRedColor);
    auto* b = new ProbeView("B", Rect(30, 0, 50, 20), kGreenColor);
    container.addView(a);
    container.addView(b);
    container.draw(context);
    EXPECT_EQ(at(10, 10), red());
    EXPECT_EQ(at(40, 10), green());
    EXPECT_EQ(at(80, 40), blue());
    EXPECT_FALSE(container.isDirty());

    // Scribble over both children; only the dirty one is redrawn, over its background.
    paint(Rect(10, 10, 110, 60), kWhiteColor);
    a->color = kYellowColor;
    a->setViewSize(Rect(0, 0, 10, 10)); // smaller: the rest of its old place stays scribbled
    container.update(context);
    EXPECT_EQ(at(12, 12), platform::makeColorRef(255, 255, 0));
    EXPECT_EQ(at(25, 25), platform::makeColorRef(255, 255, 255));
    EXPECT_EQ(at(40, 10), platform::makeColorRef(255, 255, 255)) << "B was clean";
    EXPECT_EQ(a->draws, 2);
    EXPECT_EQ(b->draws, 1);
    EXPECT_EQ(context->offset, (Point{0, 0})) << "the context is restored";
    container.removeAll(true);
}

TEST_F(ContainerPixels, RedrawAllModeRedrawsEverythingWhenAChildIsDirty) {
    ViewContainer container(Rect(0, 0, 100, 50), nullptr);
    container.setBackgroundColor(kBlueColor);
    auto* a = new ProbeView("A", Rect(0, 0, 20, 20), kRedColor);
    container.addView(a);
    container.draw(context);
    paint(Rect(0, 0, 100, 50), kWhiteColor);
    container.update(context);
    EXPECT_EQ(at(50, 40), platform::makeColorRef(255, 255, 255)) << "nothing dirty";
    a->setDirty(true);
    container.update(context);
    EXPECT_EQ(at(50, 40), blue()) << "the whole container, through its offscreen";
    EXPECT_EQ(at(5, 5), red());
    container.setMode(7);
    a->setDirty(true);
    paint(Rect(0, 0, 100, 50), kWhiteColor);
    container.update(context);
    EXPECT_EQ(at(5, 5), platform::makeColorRef(255, 255, 255)) << "unknown modes draw nothing";
    container.removeAll(true);
}

TEST_F(ContainerPixels, DrawRectLimitsBackgroundToTheDamage) {
    ViewContainer container(Rect(10, 10, 110, 60), nullptr);
    container.useOffscreen(false);
    container.setBackgroundColor(kBlueColor);
    auto* a = new ProbeView("A", Rect(60, 20, 80, 40), kRedColor);
    container.addView(a);
    container.drawRect(context, Rect(0, 0, 40, 40));
    EXPECT_EQ(at(20, 20), blue());
    EXPECT_EQ(at(45, 45), black()) << "outside the damage";
    EXPECT_EQ(a->draws, 0) << "A does not touch the damage";
    container.drawRect(context, Rect(65, 25, 70, 30));
    EXPECT_EQ(a->draws, 1);
    EXPECT_EQ(at(80, 40), red()) << "a touched child is drawn whole";
    container.removeAll(true);
}

} // namespace
} // namespace views_test
