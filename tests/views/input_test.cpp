// The live mouse as views see it while they track it: buttons, location, double clicks,
// drags, and a whole drag with the host's notifications around it.

#include "toolkit/focus_services.h"
#include "views_fixtures.h"

namespace views_test {
namespace {

using platform::headless::InputState;
using platform::headless::scriptInput;
using platform::headless::setInput;

class InputTest : public OpenEditorTest {
protected:
    void SetUp() override {
        OpenEditorTest::SetUp();
        device = platform::getWindowDevice(window);
        context = new DrawContext(frame, device, window);
    }
    void TearDown() override {
        delete context;
        platform::releaseWindowDevice(window, device);
        OpenEditorTest::TearDown();
    }
    // A state with the cursor at a window position (the window sits at 100, 50 on screen).
    static InputState at(int x, int y, bool left = false, std::uint32_t advance = 0) {
        InputState s;
        s.cursor = {100 + x, 50 + y};
        s.left = left;
        s.advanceMs = advance;
        return s;
    }

    platform::DeviceHandle device = nullptr;
    DrawContext* context = nullptr;
};

TEST_F(InputTest, ButtonsAndModifiersWithSwappedButtons) {
    InputState s = at(0, 0);
    s.left = true;
    s.shift = true;
    s.alt = true;
    setInput(s);
    EXPECT_EQ(context->getMouseButtons(), kLButton | kShift | kAlt);
    s = at(0, 0);
    s.right = true;
    s.middle = true;
    s.control = true;
    setInput(s);
    EXPECT_EQ(context->getMouseButtons(), kRButton | kMButton | kControl);
    buttonsSwapped = true;
    EXPECT_EQ(context->getMouseButtons(), kLButton | kMButton | kControl)
        << "the physical right button is the logical left one";
    buttonsSwapped = false;
}

TEST_F(InputTest, LocationIsInWindowCoordinates) {
    EXPECT_EQ(context->windowOrigin, (Point{100, 50}));
    setInput(at(30, 40));
    EXPECT_EQ(context->getMouseLocation(), (Point{30, 40}));
    context->windowOrigin = {110, 60}; // as a container shifts it
    EXPECT_EQ(context->getMouseLocation(), (Point{20, 30}));
}

// Found by fuzzing drops: a cursor at the far end of the coordinate range made the window
// conversions overflow. They now stop at the range's ends.
TEST_F(InputTest, LocationOfACursorFarOutsideTheWindowStaysInRange) {
    InputState s;
    s.cursor = {INT32_MIN, INT32_MAX};
    setInput(s);
    EXPECT_EQ(context->getMouseLocation(), (Point{INT32_MIN, INT32_MAX - 50}));
    EXPECT_EQ(frame->getCurrentMouseLocation(), (Point{INT32_MIN, INT32_MAX - 50}));
    platform::Position p{INT32_MIN, 0};
    ASSERT_TRUE(platform::screenToClient(window, &p));
    EXPECT_EQ(p.x, INT32_MIN);
    s.cursor = {INT32_MAX, INT32_MIN};
    setInput(s);
    EXPECT_EQ(frame->getCurrentMouseLocation(), (Point{INT32_MAX - 100, INT32_MIN}));
}

TEST_F(InputTest, DoubleClickNeedsASecondPressInTimeAndInPlace) {
    platform::headless::setDoubleClickTime(500);
    platform::headless::setTickCount(2000);

    platform::headless::setMessageTime(1400); // the press was 600 ms ago
    platform::headless::postButtonDown(frame->getWindow(), platform::kWmLButtonDown, 5, 5);
    setInput(at(5, 5));
    EXPECT_FALSE(context->waitDoubleClick()) << "too late already";
    EXPECT_TRUE(platform::removePendingLeftButtonDown()) << "and the press was left alone";

    platform::headless::setMessageTime(1900);
    platform::headless::postButtonDown(frame->getWindow(), platform::kWmLButtonDown, 5, 5);
    EXPECT_TRUE(context->waitDoubleClick());
    EXPECT_FALSE(platform::removePendingLeftButtonDown()) << "the second press was taken";

    scriptInput({at(5, 5), at(8, 5)}); // moved 3 pixels before a second press came
    EXPECT_FALSE(context->waitDoubleClick());

    scriptInput({at(5, 5), at(5, 5, false, 300), at(5, 5, false, 300)});
    EXPECT_FALSE(context->waitDoubleClick()) << "no second press before the deadline";
}

TEST_F(InputTest, DragStartsWhenTheCursorLeavesThePressPoint) {
    scriptInput({at(50, 50, true), at(51, 51, true), at(53, 50, true)});
    EXPECT_TRUE(context->waitDrag());
    scriptInput({at(50, 50, true), at(51, 51, true), at(51, 51, false)});
    EXPECT_FALSE(context->waitDrag()) << "released in place";
    DrawContext noFrame(nullptr, device, nullptr);
    EXPECT_FALSE(noFrame.waitDrag());
}

// A view that tracks the mouse as a slider would: edits parameter 11 while the left button
// is held, letting the editor's idle work run between steps.
class DraggedView : public ProbeView {
public:
    using ProbeView::ProbeView;
    void mouse(DrawContext* context, const Point&) override {
        Frame* f = getFrame();
        auto* effect = f->getGuiEditor()->getEffect();
        f->beginEdit(11);
        int last = -1;
        while (context->getMouseButtons() & kLButton) {
            const Point where = context->getMouseLocation();
            if (where.h != last) {
                last = where.h;
                effect->setParameterAndNotify(11, static_cast<float>(where.h) / 300.0f);
                color = Color{static_cast<std::uint8_t>(where.h), 0, 0, 0};
                setDirty(true);
            }
            f->idlePump();
        }
        f->endEdit(11);
    }
};

TEST_F(InputTest, AWholeDragNotifiesTheHostAndKeepsRedrawing) {
    auto* view = new DraggedView("D", Rect(0, 0, 300, 225));
    frame->addView(view);
    platform::headless::dispatchAll();
    effect.calls.clear();
    platform::headless::setTickCount(10000);

    std::vector<InputState> script;
    for (int i = 1; i <= 20; ++i)
        script.push_back(at(10 * i, 100, true, 10));
    script.push_back(at(200, 100, false));
    scriptInput(script);
    platform::headless::postButtonDown(frame->getWindow(), platform::kWmLButtonDown, 10, 100);
    platform::headless::dispatchAll();

    ASSERT_FALSE(effect.calls.empty());
    EXPECT_EQ(effect.calls.front(), audioMasterBeginEdit);
    EXPECT_EQ(effect.calls.back(), audioMasterEndEdit);
    const auto automations =
        std::count(effect.calls.begin(), effect.calls.end(), audioMasterAutomate);
    const auto idles = std::count(effect.calls.begin(), effect.calls.end(), audioMasterIdle);
    EXPECT_EQ(automations, 20) << "one per changed position";
    EXPECT_GE(idles, 3) << "the host's idle keeps running during the drag";
    EXPECT_LE(idles, 6) << "but at most about every 50 ms";
    const platform::ColorRef during = platform::headless::pixel(frame->getWindow(), 150, 150);
    EXPECT_NE(during, red()) << "the editor's idle drew the view during the drag";
    EXPECT_EQ(during % 10, 0u);
    EXPECT_LE(during, 200u);
    effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(platform::headless::pixel(frame->getWindow(), 150, 150),
              platform::makeColorRef(200, 0, 0))
        << "the next idle shows where the drag ended";
}

// A focus view that draws owner-drawn menu items and colours an edit field.
class MenuOwner : public ProbeView, public MenuItemDrawer, public EditFieldColors {
public:
    using ProbeView::ProbeView;
    ~MenuOwner() override {
        if (brush) platform::deleteObject(brush);
    }
    void measureMenuItem(void* data, DrawContext*, Point& size) override {
        size = {static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(data)), 17};
    }
    void drawMenuItem(void*, std::int32_t id, std::int32_t state, DrawContext*,
                      const Rect& rect) override {
        journal.push_back("draw item " + std::to_string(id) + " state " + std::to_string(state) +
                          " bottom " + std::to_string(rect.bottom));
    }
    Color editTextColor() override { return kRedColor; }
    Color editBackgroundColor() override { return kBlueColor; }
    platform::ObjectHandle& editBrush() override { return brush; }
    platform::ObjectHandle brush = nullptr;
};

TEST_F(InputTest, FocusViewServesMenusAndEditFields) {
    platform::WindowHandle window = frame->getWindow();
    platform::MeasureItemRecord measure{platform::kOdtMenu, 0, 3, 0, 0, 42};
    EXPECT_EQ(platform::headless::sendMessage(window, platform::kWmMeasureItem, 0,
                                              reinterpret_cast<intptr_t>(&measure)),
              0)
        << "no focus view: default processing";

    auto* owner = new MenuOwner("O", Rect());
    frame->setFocusView(owner);
    EXPECT_EQ(platform::headless::sendMessage(window, platform::kWmMeasureItem, 0,
                                              reinterpret_cast<intptr_t>(&measure)),
              1);
    EXPECT_EQ(measure.itemWidth, 42u);
    EXPECT_EQ(measure.itemHeight, 17u);

    platform::DrawItemRecord draw{};
    draw.controlType = platform::kOdtMenu;
    draw.itemId = 9;
    draw.itemState = platform::kOdsChecked | platform::kOdsSelected;
    draw.device = device;
    draw.rect = {0, 0, 40, 16};
    draw.itemData = 1;
    journal.clear();
    EXPECT_EQ(platform::headless::sendMessage(window, platform::kWmDrawItem, 0,
                                              reinterpret_cast<intptr_t>(&draw)),
              1);
    EXPECT_EQ(journal, std::vector<std::string>{"draw item 9 state 5 bottom 17"});
    draw.itemData = 0;
    EXPECT_EQ(platform::headless::sendMessage(window, platform::kWmDrawItem, 0,
                                              reinterpret_cast<intptr_t>(&draw)),
              0)
        << "items without data are the system's";

    const intptr_t first = platform::headless::sendMessage(window, platform::kWmCtlColorEdit,
                                                           reinterpret_cast<uintptr_t>(device), 0);
    const intptr_t second = platform::headless::sendMessage(window, platform::kWmCtlColorEdit,
                                                            reinterpret_cast<uintptr_t>(device), 0);
    EXPECT_NE(first, 0);
    EXPECT_EQ(second, reinterpret_cast<intptr_t>(owner->brush)) << "the old brush was replaced";
    EXPECT_EQ(platform::setTextColor(device, 0), platform::makeColorRef(255, 0, 0));
    frame->setFocusView(nullptr);
    owner->forget();
}

} // namespace
} // namespace views_test
