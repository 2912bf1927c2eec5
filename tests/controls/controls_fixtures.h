#pragma once
// An open editor on the headless home with a host that writes down what reaches it, a
// listener that passes changes on as the editor does, scripted mouse states, programmatic
// pictures and a pixel comparison that leaves PNG files behind when it fails.

#include "host/effect_base_x.h"
#include "host/gui_editor/gui_editor.h"
#include "platform/headless/headless.h"
#include "platform/png_export.h"
#include "tests/pictures/same_picture.h"
#include "tests/views/views_fixtures.h"
#include "toolkit/bitmap.h"
#include "toolkit/controls/control.h"
#include "toolkit/offscreen_context.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace controls_test {

using platform::headless::InputState;

inline std::string formatValue(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", static_cast<double>(value));
    return text;
}

// Passes each change to the effect as an automated parameter change, as the editor does, and
// notes it in the shared log.
class RecordingListener : public ControlListener {
public:
    explicit RecordingListener(std::vector<std::string>& log) : log(log) {}
    void valueChanged(DrawContext* context, Control* control) override {
        log.push_back("changed " + std::to_string(control->getTag()) + " " +
                      formatValue(control->getValue()) + (context ? "" : " no context"));
        if (effect) effect->setParameterAndNotify(control->getTag(), control->getValue());
    }

    std::vector<std::string>& log;
    EffectBaseX* effect = nullptr;
};

class ControlsTest : public views_test::OpenEditorTest {
protected:
    void SetUp() override {
        views_test::OpenEditorTest::SetUp();
        effect.answer = [this](std::int32_t opcode, std::int32_t index, IntPtr, void*,
                               float opt) -> IntPtr {
            if (opcode == audioMasterBeginEdit) log.push_back("begin " + std::to_string(index));
            if (opcode == audioMasterEndEdit) log.push_back("end " + std::to_string(index));
            if (opcode == audioMasterAutomate)
                log.push_back("automate " + std::to_string(index) + " " + formatValue(opt));
            if (opcode == audioMasterIdle && onHostIdle) onHostIdle();
            return 0;
        };
        listener.effect = &effect;
        platform::headless::setTickCount(10000);
    }

    // Adds a control to the frame and lets the window's first paint happen.
    template <typename T> T* add(T* control) {
        frame->addView(control);
        platform::headless::dispatchAll();
        return control;
    }
    // The host's next idle call: the frame draws its dirty views.
    void hostIdle() { effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f); }

    // A mouse state at a window position (the window sits at 100, 50 on the screen).
    static InputState at(int x, int y, bool left = true, std::uint32_t advanceMs = 10) {
        InputState s;
        s.cursor = {100 + x, 50 + y};
        s.left = left;
        s.advanceMs = advanceMs;
        return s;
    }
    static InputState shifted(InputState s) {
        s.shift = true;
        return s;
    }
    static InputState released(int x, int y) { return at(x, y, false); }

    // A press at a window position through the window's message loop; the polls of the
    // tracking loop then consume the script, whose first state is current at the press.
    void press(int x, int y, const std::vector<InputState>& script) {
        platform::headless::scriptInput(script);
        platform::headless::postButtonDown(window, platform::kWmLButtonDown, x, y);
        platform::headless::dispatchAll();
    }

    std::vector<std::string> log;
    RecordingListener listener{log};
    std::function<void()> onHostIdle;
};

// A picture drawn by the test: the callback paints it through a context on the picture.
inline Bitmap* makePicture(int width, int height, const std::function<void(DrawContext&)>& paint) {
    auto* bitmap = new Bitmap(width, height);
    OffscreenContext context(nullptr, bitmap, true);
    paint(context);
    return bitmap;
}

inline void fill(DrawContext& context, const Rect& r, Color color) {
    context.setFillColor(color);
    // fillRect leaves the outline's row and column out: widen it by one on the top left.
    context.fillRect(Rect(r.left - 1, r.top - 1, r.right, r.bottom));
}

inline platform::ColorRef ref(Color c) {
    return platform::makeColorRef(c.red, c.green, c.blue);
}

// Compares a part of a window with the expected pixels; on a difference the pictures are
// written as PNG files next to the test program and named in the failure.
inline ::testing::AssertionResult samePixels(platform::WindowHandle window, const Rect& area,
                                             const std::vector<platform::ColorRef>& expected,
                                             const std::string& name) {
    const int w = area.width();
    const int h = area.height();
    std::vector<platform::ColorRef> actual(static_cast<std::size_t>(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            actual[static_cast<std::size_t>(y * w + x)] =
                platform::headless::pixel(window, area.left + x, area.top + y);
    const std::filesystem::path dir = std::filesystem::current_path();
    // TROB_KEEP_PICTURES=1 keeps every compared picture, to look at.
    if (std::getenv("TROB_KEEP_PICTURES")) {
        platform::writePng((dir / (name + ".png")).string(), w, h, actual.data());
        constexpr int kZoom = 8;
        std::vector<platform::ColorRef> large(actual.size() * kZoom * kZoom);
        for (std::size_t i = 0; i < large.size(); ++i) {
            const std::size_t x = i % static_cast<std::size_t>(w * kZoom) / kZoom;
            const std::size_t y = i / static_cast<std::size_t>(w * kZoom) / kZoom;
            large[i] = actual[y * static_cast<std::size_t>(w) + x];
        }
        platform::writePng((dir / (name + ".x8.png")).string(), w * kZoom, h * kZoom, large.data());
    }
    return pictures::samePicture(actual, expected, w, h, (dir / name).string());
}

} // namespace controls_test

namespace controls_test {

// A surface of the window's size on which a test draws what it expects the window to show.
class Expected {
public:
    Expected() : context(nullptr, 300, 225, kBlackColor) {}
    // Starts from what the window shows now.
    explicit Expected(platform::WindowHandle window) : Expected() {
        for (int y = 0; y < 225; ++y)
            for (int x = 0; x < 300; ++x)
                platform::setPixel(context.getDevice(), x, y,
                                   platform::headless::pixel(window, x, y));
    }
    std::vector<platform::ColorRef> pixels(const Rect& area) {
        std::vector<platform::ColorRef> out;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                out.push_back(platform::getPixel(context.getDevice(), x, y));
        return out;
    }
    OffscreenContext context;
};

// A context on the window for one call, as the frame makes one for a paint.
inline void withWindowContext(platform::WindowHandle window, Frame* frame,
                              const std::function<void(DrawContext*)>& use) {
    platform::DeviceHandle device = platform::getWindowDevice(window);
    {
        DrawContext context(frame, device, window);
        use(&context);
    }
    platform::releaseWindowDevice(window, device);
}

} // namespace controls_test
