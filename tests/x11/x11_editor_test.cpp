// The built plug-in's editor on a real X server (Xvfb): opened in a host's top-level window,
// driven with real input, compared with the headless home, and put through what hosts do.
// A gesture moves on one step each time the editor's drag loop asks the host for idle, so
// every poll of the loop sees a settled state; the same gesture on the headless home must
// tell its host the same (repeats of a line counted once) and show the same pixels.

#include <gtest/gtest.h>

#include "platform/png_export.h"
#include "tests/pictures/same_picture.h"
#include "tests/x11/x11_test_host.h"
#include "tests/x11/xdnd_source.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

using namespace x11_test;

class X11Editor : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.get()) GTEST_SKIP() << "no X display (run under tests/x11/with_xvfb.sh)";
        ASSERT_TRUE(server.hasXTest()) << "the X server has no XTEST extension";
        ASSERT_TRUE(plugin.load()) << plugin.host.error();
        ASSERT_TRUE(reference.opened);
    }

    // The editor's window: the one child the plug-in made in the host's window.
    Window editorWindowIn(Window hostWindow) {
        const std::vector<Window> children = server.children(hostWindow);
        return children.size() == 1 ? children.front() : 0;
    }

    // The window shows the headless editor's picture, each pixel as scale x scale pixels.
    ::testing::AssertionResult samePixels(Window editorWindow, const std::string& name,
                                          int scale = 1) {
        const int w = kWidth * scale, h = kHeight * scale;
        const std::vector<std::uint32_t> shown = server.capture(editorWindow, w, h);
        const std::vector<std::uint32_t> drawn = reference.pixels();
        std::vector<std::uint32_t> expected(static_cast<std::size_t>(w * h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                expected[static_cast<std::size_t>(y * w + x)] =
                    drawn[static_cast<std::size_t>(y / scale * kWidth + x / scale)];
        if (shown.size() != expected.size()) return ::testing::AssertionFailure() << "no capture";
        // TROB_KEEP_PICTURES=1 keeps the pictures of every comparison, to look at.
        if (std::getenv("TROB_KEEP_PICTURES"))
            pictures::writeComparison(name, w, h, shown, expected);
        return pictures::samePicture(shown, expected, w, h, name);
    }

    // Runs one gesture on both homes and checks they told their hosts the same.
    void bothGesture(const std::vector<Step>& steps, Window editorWindow) {
        plugin.host.clearCalls();
        ReferenceEditor::log().clear();
        plugin.gesture(steps, editorWindow);
        reference.gesture(steps);
        EXPECT_EQ(collapsed(plugin.editLog()), collapsed(ReferenceEditor::log()));
    }

    // The loop tells the host once per poll; the two homes poll a state a different number
    // of times, so repeats of the same line count once.
    static std::vector<std::string> collapsed(std::vector<std::string> lines) {
        lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
        return lines;
    }

    float parameter(int index) { return plugin.host.getParameter(index); }

    Server server;
    PluginEditor plugin{server};
    ReferenceEditor reference;
};

// The editor opens as the one child of the host's window, at 0,0 and 300 x 225, and what the
// server shows after audio and idle calls is, pixel for pixel, what the headless home draws.
TEST_F(X11Editor, OpensAsAChildOfTheHostWindowAndShowsWhatTheHeadlessHomeDraws) {
    const Window hostWindow = server.topLevel(40, 30);
    ASSERT_EQ(plugin.open(hostWindow), 1);
    const Window editorWindow = editorWindowIn(hostWindow);
    ASSERT_NE(editorWindow, 0u);
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(server.get(), editorWindow, &attributes));
    EXPECT_EQ(attributes.x, 0);
    EXPECT_EQ(attributes.y, 0);
    EXPECT_EQ(attributes.width, kWidth);
    EXPECT_EQ(attributes.height, kHeight);
    EXPECT_EQ(attributes.map_state, IsViewable);

    for (int i = 0; i < 10; ++i) {
        plugin.play(3);
        plugin.idle();
        reference.play(3);
        reference.idle();
    }
    EXPECT_TRUE(samePixels(editorWindow, "x11_opened"));

    // Covered and uncovered: the server's Expose is painted again from the surface.
    const Window cover = server.topLevel(60, 50, 100, 80);
    XDestroyWindow(server.get(), cover);
    XSync(server.get(), False);
    plugin.idle();
    reference.idle();
    EXPECT_TRUE(samePixels(editorWindow, "x11_uncovered"));

    plugin.close();
    EXPECT_TRUE(server.children(hostWindow).empty());
    XDestroyWindow(server.get(), hostWindow);
}

// Real input: knobs dragged circularly and linearly, a slider dragged with Shift pressed in
// the middle of the drag, a wheel notch and a control-click, each telling the host
// begin-edit, automation and end-edit in the order the headless home does, to the same
// values; afterwards the window shows what the headless editor shows.
TEST_F(X11Editor, RealInputEditsAsOnTheHeadlessHome) {
    const Window hostWindow = server.topLevel(20, 20);
    ASSERT_EQ(plugin.open(hostWindow), 1);
    const Window editorWindow = editorWindowIn(hostWindow);
    ASSERT_NE(editorWindow, 0u);
    plugin.idle();

    const Rect knob = reference.nth<Knob>(0);
    const Rect secondKnob = reference.nth<Knob>(1);
    const Rect slider = reference.nth<Slider>(0);
    ASSERT_GT(knob.width(), 0);
    ASSERT_GT(slider.height(), 0);
    const int kx = (knob.left + knob.right) / 2, ky = (knob.top + knob.bottom) / 2;

    const std::vector<float> before = {parameter(11), parameter(12), parameter(13), parameter(14)};

    // Circular: round the face from the top to the right and down.
    // From the lower right, against the clock, to the left: the value goes down.
    bothGesture({{knob.right - 3, knob.bottom - 3, true},
                 {knob.right - 2, ky, true},
                 {kx, knob.top + 2, true},
                 {knob.left + 3, ky - 3, true}},
                editorWindow);
    const std::vector<std::string> circular = plugin.editLog();
    ASSERT_GE(circular.size(), 3u);
    EXPECT_EQ(circular.front(), "begin 11");
    EXPECT_EQ(circular.back(), "end 11");
    for (std::size_t i = 1; i + 1 < circular.size(); ++i)
        EXPECT_EQ(circular[i].rfind("automate 11 ", 0), 0u) << circular[i];
    EXPECT_NE(parameter(11), before[0]);
    EXPECT_EQ(parameter(11), reference.effect->getParameter(11));

    // Linear, as the host asks for it: up and to the right raise the value.
    plugin.host.dispatch(effSetEditKnobMode, 0, 2);
    reference.effect->dispatcher(effSetEditKnobMode, 0, 2, nullptr, 0.0f);
    const float beforeLinear = parameter(11);
    bothGesture(
        {{kx, ky, true}, {kx, ky - 6, true}, {kx + 8, ky - 6, true}, {kx + 8, ky - 12, true}},
        editorWindow);
    EXPECT_GT(parameter(11), beforeLinear);
    const float afterUp = parameter(11);
    bothGesture({{kx, ky, true}, {kx, ky + 5, true}, {kx - 4, ky + 5, true}}, editorWindow);
    EXPECT_LT(parameter(11), afterUp);
    EXPECT_EQ(parameter(11), reference.effect->getParameter(11));
    plugin.host.dispatch(effSetEditKnobMode, 0, 0);
    reference.effect->dispatcher(effSetEditKnobMode, 0, 0, nullptr, 0.0f);

    // A slider, fine mode from the middle of the drag on.
    const int sx = (slider.left + slider.right) / 2, sy = (slider.top + slider.bottom) / 2;
    bothGesture({{sx, sy, true},
                 {sx, sy - 10, true},
                 {sx, sy - 10, true, true},
                 {sx, sy - 30, true, true},
                 {sx, sy - 40, true, true}},
                editorWindow);
    const std::vector<std::string> slid = plugin.editLog();
    ASSERT_GE(slid.size(), 3u);
    EXPECT_EQ(slid.front(), "begin 13");
    EXPECT_EQ(slid.back(), "end 13");
    EXPECT_NE(parameter(13), before[2]);
    EXPECT_EQ(parameter(13), reference.effect->getParameter(13));

    // One notch of the wheel over the second knob.
    const int wx = (secondKnob.left + secondKnob.right) / 2;
    const int wy = (secondKnob.top + secondKnob.bottom) / 2;
    plugin.host.clearCalls();
    ReferenceEditor::log().clear();
    const Server::Position at = server.origin(editorWindow);
    server.apply({wx, wy}, at);
    server.wheel(false);
    plugin.idle();
    reference.wheel(wx, wy, -1.0f);
    EXPECT_EQ(plugin.editLog(), ReferenceEditor::log());
    EXPECT_FALSE(plugin.editLog().empty());
    EXPECT_LT(parameter(12), before[1]);
    EXPECT_EQ(parameter(12), reference.effect->getParameter(12));

    // Control-click puts the slider back to its default.
    bothGesture({{sx, sy, true, false, true}}, editorWindow);
    EXPECT_EQ(parameter(13), reference.effect->getParameter(13));
    EXPECT_EQ(parameter(13), 0.5f);

    for (int i = 0; i < 6; ++i) {
        plugin.play(3);
        plugin.idle();
        reference.play(3);
        reference.idle();
    }
    EXPECT_TRUE(samePixels(editorWindow, "x11_after_input"));
    plugin.close();
    XDestroyWindow(server.get(), hostWindow);
}

// Enlarged by a whole factor on a dense screen, chosen by TROB_SCALE or by the server's
// Xft.dpi: the host is told the enlarged size before and after the open, the window shows the
// 1x picture with every pixel as n x n, and a knob dragged on the enlarged window tells the
// host exactly what the same drag tells it at 1x.
TEST_F(X11Editor, EnlargedOnDenseScreens) {
    struct Case {
        const char* name;
        const char* variable;  // TROB_SCALE, or null
        const char* resources; // the server's RESOURCE_MANAGER, or null
        int scale;
    };
    unsetenv("GDK_SCALE");
    const Rect knob = reference.nth<Knob>(0);
    const int kx = (knob.left + knob.right) / 2, ky = (knob.top + knob.bottom) / 2;
    for (const Case& c : {Case{"TROB_SCALE=3", "3", nullptr, 3},
                          Case{"Xft.dpi 192", nullptr, "Xft.dpi:\t192\n", 2}}) {
        SCOPED_TRACE(c.name);
        if (c.variable)
            setenv("TROB_SCALE", c.variable, 1);
        else
            unsetenv("TROB_SCALE");
        server.setResources(c.resources);
        const int n = c.scale;
        EditorRect* before = nullptr;
        ASSERT_EQ(plugin.host.dispatch(effEditGetRect, 0, 0, &before), 1);
        ASSERT_NE(before, nullptr);
        EXPECT_EQ(before->right - before->left, kWidth * n);
        EXPECT_EQ(before->bottom - before->top, kHeight * n);

        const Window hostWindow = server.topLevel(10, 10, kWidth * n, kHeight * n);
        ASSERT_EQ(plugin.open(hostWindow), 1);
        const Window editorWindow = editorWindowIn(hostWindow);
        ASSERT_NE(editorWindow, 0u);
        XWindowAttributes attributes{};
        ASSERT_TRUE(XGetWindowAttributes(server.get(), editorWindow, &attributes));
        EXPECT_EQ(attributes.width, kWidth * n);
        EXPECT_EQ(attributes.height, kHeight * n);
        EditorRect* after = nullptr;
        ASSERT_EQ(plugin.host.dispatch(effEditGetRect, 0, 0, &after), 1);
        EXPECT_EQ(after->right - after->left, kWidth * n);
        plugin.idle();

        const std::vector<Step> drag = {
            {kx, ky, true}, {kx, ky + 6, true}, {kx - 8, ky + 6, true}, {kx - 9, ky + 13, true}};
        std::vector<Step> enlarged = drag;
        for (Step& step : enlarged) {
            step.x = step.x * n + n / 2;
            step.y = step.y * n + n / 2;
        }
        plugin.host.dispatch(effSetEditKnobMode, 0, 2);
        reference.effect->dispatcher(effSetEditKnobMode, 0, 2, nullptr, 0.0f);
        plugin.host.clearCalls();
        ReferenceEditor::log().clear();
        plugin.gesture(enlarged, editorWindow);
        reference.gesture(drag);
        EXPECT_FALSE(plugin.editLog().empty());
        EXPECT_EQ(collapsed(plugin.editLog()), collapsed(ReferenceEditor::log()));
        EXPECT_EQ(parameter(11), reference.effect->getParameter(11));
        plugin.host.dispatch(effSetEditKnobMode, 0, 0);
        reference.effect->dispatcher(effSetEditKnobMode, 0, 0, nullptr, 0.0f);

        for (int i = 0; i < 6; ++i) {
            plugin.play(3);
            plugin.idle();
            reference.play(3);
            reference.idle();
        }
        EXPECT_TRUE(samePixels(editorWindow, "x11_scaled_" + std::to_string(n), n));
        plugin.close();
        XDestroyWindow(server.get(), hostWindow);
    }
    unsetenv("TROB_SCALE");
    server.setResources(nullptr);
}

// Drops from another program through XDND: a text and two files are taken (a move, or a
// copy with Control held), and the editor goes on working.
TEST_F(X11Editor, TakesDropsThroughXdnd) {
    const Window hostWindow = server.topLevel(30, 40);
    ASSERT_EQ(plugin.open(hostWindow), 1);
    const Window editorWindow = editorWindowIn(hostWindow);
    ASSERT_NE(editorWindow, 0u);
    plugin.idle();
    reference.idle();
    int idles = 0;
    const Server::Position at = server.origin(editorWindow);
    const auto dragOnto = [&](std::vector<std::pair<std::string, std::string>> offers,
                              bool control) {
        server.apply({100, 100, false, false, control}, at);
        DndSource source(std::move(offers), editorWindow, at.x + 100, at.y + 100);
        for (int i = 0; i < 5000 && !source.done(); ++i) {
            plugin.idle();
            ++idles;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        server.releaseAll(at);
        return source.result();
    };
    const DndOutcome text = dragOnto({{"text/plain", "hello"}}, false);
    EXPECT_TRUE(text.accepted);
    EXPECT_EQ(text.action, "XdndActionMove");
    EXPECT_TRUE(text.dropAccepted);
    EXPECT_EQ(text.requested, std::vector<std::string>{"text/plain"});

    const DndOutcome files =
        dragOnto({{"text/uri-list", "file:///tmp/one.wav\r\nfile:///tmp/two%20b.flac\r\n"}}, true);
    EXPECT_TRUE(files.accepted);
    EXPECT_EQ(files.action, "XdndActionCopy");
    EXPECT_TRUE(files.dropAccepted);
    EXPECT_EQ(files.finishedAction, "XdndActionCopy");
    EXPECT_EQ(files.requested, std::vector<std::string>{"text/uri-list"});

    // The bars are drawn over what they drew before: the same idle calls on both homes.
    for (int i = 0; i < idles; ++i)
        reference.idle();
    plugin.play(3);
    plugin.idle();
    reference.play(3);
    reference.idle();
    EXPECT_TRUE(samePixels(editorWindow, "x11_after_drops"));
    plugin.close();
    XDestroyWindow(server.get(), hostWindow);
}

// The host destroys its window (and with it the editor's) before it closes the editor; the
// editor then idles, closes and opens again in a new window.
TEST_F(X11Editor, SurvivesTheHostDestroyingItsWindowFirst) {
    Window hostWindow = server.topLevel(10, 10);
    ASSERT_EQ(plugin.open(hostWindow), 1);
    plugin.play(4);
    plugin.idle();
    XDestroyWindow(server.get(), hostWindow);
    XSync(server.get(), False);
    plugin.play(4);
    plugin.idle(); // the editor learns of it here
    plugin.idle();
    plugin.close();

    // Destroyed between the last idle and the close: the editor has not heard of it.
    hostWindow = server.topLevel(10, 10);
    ASSERT_EQ(plugin.open(hostWindow), 1);
    plugin.idle();
    XDestroyWindow(server.get(), hostWindow);
    XSync(server.get(), False);
    plugin.close();

    hostWindow = server.topLevel(10, 10);
    ASSERT_EQ(plugin.open(hostWindow), 1);
    plugin.idle();
    EXPECT_EQ(server.children(hostWindow).size(), 1u);
    plugin.close();
    EXPECT_TRUE(server.children(hostWindow).empty());
    XDestroyWindow(server.get(), hostWindow);
}

// The plug-in's connection closed under it (as xkill closes the client owning a window):
// Xlib would end the host; instead the editor loses its window as if the host had destroyed
// it, the host closes it as usual, and the next open makes a new connection.
TEST_F(X11Editor, LivesOnWhenItsConnectionIsKilled) {
    const Window hostWindow = server.topLevel(10, 10);
    ASSERT_EQ(plugin.open(hostWindow), 1);
    plugin.play(4);
    plugin.idle();
    const Window editorWindow = editorWindowIn(hostWindow);
    ASSERT_NE(editorWindow, 0u);
    XKillClient(server.get(), editorWindow);
    XSync(server.get(), False);
    plugin.play(4);
    plugin.idle(); // the editor learns of it here
    plugin.idle();
    EXPECT_TRUE(server.children(hostWindow).empty()) << "the killed client's window is gone";
    plugin.close();

    ASSERT_EQ(plugin.open(hostWindow), 1);
    plugin.play(4);
    plugin.idle();
    EXPECT_EQ(server.children(hostWindow).size(), 1u);
    plugin.close();
    EXPECT_TRUE(server.children(hostWindow).empty());
    XDestroyWindow(server.get(), hostWindow);
}

// Parents that are no window, or no longer one, are refused with 0 and leave nothing; the
// editor opens in a good window afterwards.
namespace hostHandler {
int calls = 0;
int count(Display*, XErrorEvent*) {
    ++calls;
    return 0;
}
} // namespace hostHandler

TEST_F(X11Editor, RefusesBadParentWindows) {
    // The host's own handler stays in place and hears nothing of the plug-in's errors.
    XSetErrorHandler(&hostHandler::count);
    EXPECT_EQ(plugin.open(0), 0);
    EXPECT_EQ(plugin.open(0x7FFFFFF0u), 0); // outside every client's id range
    const Window gone = server.topLevel(0, 0);
    XDestroyWindow(server.get(), gone);
    XSync(server.get(), False);
    EXPECT_EQ(plugin.open(gone), 0);
    plugin.idle();
    plugin.close();
    EXPECT_EQ(XSetErrorHandler(nullptr), &hostHandler::count);
    EXPECT_EQ(hostHandler::calls, 0);

    const Window hostWindow = server.topLevel(0, 0);
    ASSERT_EQ(plugin.open(hostWindow), 1);
    plugin.idle();
    EXPECT_EQ(server.children(hostWindow).size(), 1u);
    plugin.close();
    XDestroyWindow(server.get(), hostWindow);
}

// Without a display the open is refused (on a thread that has no connection yet).
TEST_F(X11Editor, RefusesToOpenWithoutADisplay) {
    const Window hostWindow = server.topLevel(0, 0);
    const std::string display = std::getenv("DISPLAY");
    IntPtr opened = -1;
    std::thread([&] {
        unsetenv("DISPLAY");
        opened = plugin.open(hostWindow);
        plugin.idle();
        plugin.close();
        setenv("DISPLAY", display.c_str(), 1);
    }).join();
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(server.children(hostWindow).empty());
    XDestroyWindow(server.get(), hostWindow);
}

// Two instances, each with its editor open in its own window, at the same time: each draws
// and edits its own; closing one leaves the other working.
TEST_F(X11Editor, TwoInstancesOpenAtOnce) {
    PluginEditor second(server);
    ASSERT_TRUE(second.load()) << second.host.error();
    const Window first = server.topLevel(0, 0);
    const Window other = server.topLevel(320, 0);
    ASSERT_EQ(plugin.open(first), 1);
    ASSERT_EQ(second.open(other), 1);
    const Window firstEditor = editorWindowIn(first);
    const Window otherEditor = editorWindowIn(other);
    ASSERT_NE(firstEditor, 0u);
    ASSERT_NE(otherEditor, 0u);
    for (int i = 0; i < 5; ++i) {
        plugin.play(3);
        second.play(3);
        reference.play(3);
        plugin.idle();
        second.idle();
        reference.idle();
    }
    EXPECT_TRUE(samePixels(firstEditor, "x11_first_of_two"));
    EXPECT_TRUE(samePixels(otherEditor, "x11_second_of_two"));

    const Rect slider = reference.nth<Slider>(0);
    const int sx = (slider.left + slider.right) / 2, sy = (slider.top + slider.bottom) / 2;
    const float otherBefore = second.host.getParameter(13);
    bothGesture({{sx, sy, true}, {sx, sy - 20, true}}, firstEditor);
    EXPECT_EQ(second.host.getParameter(13), otherBefore);
    EXPECT_NE(plugin.host.getParameter(13), otherBefore);

    plugin.close();
    EXPECT_TRUE(server.children(first).empty());
    // The other editor goes on drawing what its own instance measures.
    const std::vector<std::uint32_t> earlier = server.capture(otherEditor, kWidth, kHeight);
    std::vector<float> l(512), r(512), ol(512), orr(512);
    for (int b = 0; b < 20; ++b) {
        for (int i = 0; i < 512; ++i) {
            l[static_cast<std::size_t>(i)] =
                0.5f * static_cast<float>(std::sin(0.3 * (b * 512 + i)));
            r[static_cast<std::size_t>(i)] = -l[static_cast<std::size_t>(i)];
        }
        float* in[2] = {l.data(), r.data()};
        float* out[2] = {ol.data(), orr.data()};
        second.host.processReplacing(in, out, 512);
    }
    second.idle();
    EXPECT_NE(server.capture(otherEditor, kWidth, kHeight), earlier);
    second.close();
    XDestroyWindow(server.get(), first);
    XDestroyWindow(server.get(), other);
}

// Opened and closed many times while the host's audio thread processes and plays automation
// of all four parameters: every open succeeds, nothing is left in the host's window, and the
// editor's controls are never touched from the audio thread (ASan and UBSan watch the
// controls being destroyed under it).
TEST_F(X11Editor, OpensAndClosesManyTimesUnderAutomationFromTheAudioThread) {
    const Window hostWindow = server.topLevel(0, 0);
    std::atomic<bool> editing{true};
    std::thread audio([&] {
        std::vector<float> l(256, 0.25f), r(256, -0.25f), ol(256), orr(256);
        float* in[2] = {l.data(), r.data()};
        float* out[2] = {ol.data(), orr.data()};
        for (int b = 0; editing.load(); ++b) {
            plugin.host.processReplacing(in, out, 256);
            for (int index = 11; index <= 14; ++index)
                plugin.host.setParameter(index, static_cast<float>((b + index) % 11) / 10.0f);
        }
    });
    int opened = 0;
    for (int i = 0; i < 200; ++i) {
        opened += static_cast<int>(plugin.open(hostWindow));
        plugin.idle();
        plugin.idle();
        plugin.close();
    }
    editing.store(false);
    audio.join();
    EXPECT_EQ(opened, 200);
    EXPECT_TRUE(server.children(hostWindow).empty());
    XDestroyWindow(server.get(), hostWindow);
}

} // namespace
