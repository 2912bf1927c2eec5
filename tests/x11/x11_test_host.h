#pragma once
// A test host on a real X server: top-level windows for the editor, the built plug-in loaded
// as a host loads it, real input through XTest, and the same editor on the headless home in
// this process as the reference for values, host calls and pixels.

#include "editor/meter_editor.h"
#include "host/opcodes.h"
#include "platform/headless/headless.h"
#include "plugin/meter_effect_with_editor.h"
#include "toolkit/controls/knob.h"
#include "toolkit/controls/slider.h"
#include "toolkit/frame.h"
#include "tools/plugin_host.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// Xlib names its key codes as the host interface names its key record.
#define KeyCode XKeyCode
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#undef KeyCode
#undef None

namespace x11_test {

inline constexpr int kWidth = 300;
inline constexpr int kHeight = 225;

// One state of the mouse and keyboard during a gesture, in editor coordinates.
struct Step {
    int x = 0;
    int y = 0;
    bool left = false;
    bool shift = false;
    bool control = false;
};

// The begin-edit, automation and end-edit callbacks, one line each, in order.
inline std::string describe(std::int32_t opcode, std::int32_t index, float opt) {
    char line[64];
    if (opcode == audioMasterAutomate)
        std::snprintf(line, sizeof line, "automate %d %.6f", index, static_cast<double>(opt));
    else if (opcode == audioMasterBeginEdit)
        std::snprintf(line, sizeof line, "begin %d", index);
    else if (opcode == audioMasterEndEdit)
        std::snprintf(line, sizeof line, "end %d", index);
    else
        return {};
    return line;
}

// The stereo test signal: a tone on both sides with a phase offset and a low one on the right.
inline void signal(std::int64_t start, int frames, float* left, float* right) {
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(start + i) / 44100.0;
        left[i] = static_cast<float>(0.5 * std::sin(2.0 * M_PI * 1000.0 * t));
        right[i] = static_cast<float>(0.3 * std::sin(2.0 * M_PI * 1000.0 * t + 1.0) +
                                      0.2 * std::sin(2.0 * M_PI * 200.0 * t));
    }
}

// The X server as the test host sees it: its own connection, input through XTest.
class Server {
public:
    Server() : display(XOpenDisplay(nullptr)) {}
    ~Server() {
        if (display) XCloseDisplay(display);
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    Display* get() const { return display; }
    bool hasXTest() const {
        int event = 0, error = 0, major = 0, minor = 0;
        return display && XTestQueryExtension(display, &event, &error, &major, &minor);
    }

    // A mapped top-level window, at a fixed place (no window manager runs).
    Window topLevel(int x, int y, int w = kWidth, int h = kHeight) {
        Window window =
            XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(w),
                                static_cast<unsigned>(h), 0, 0, 0x808080);
        XSelectInput(display, window, StructureNotifyMask);
        XMapWindow(display, window);
        XEvent event;
        do
            XWindowEvent(display, window, StructureNotifyMask, &event);
        while (event.type != MapNotify);
        XSelectInput(display, window, 0);
        XSync(display, False);
        return window;
    }

    // The server's resource database (RESOURCE_MANAGER, as xrdb sets it); null removes it.
    void setResources(const char* resources) {
        const Window root = DefaultRootWindow(display);
        if (resources)
            XChangeProperty(display, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(resources),
                            static_cast<int>(std::strlen(resources)));
        else
            XDeleteProperty(display, root, XA_RESOURCE_MANAGER);
        XSync(display, False);
    }

    std::vector<Window> children(Window window) {
        Window root = 0, parent = 0, *list = nullptr;
        unsigned count = 0;
        std::vector<Window> out;
        if (XQueryTree(display, window, &root, &parent, &list, &count)) {
            out.assign(list, list + count);
            if (list) XFree(list);
        }
        return out;
    }

    struct Position {
        int x, y;
    };
    Position origin(Window window) {
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
        return {x, y};
    }

    // Moves the live input to `to` (screen coordinates from `origin`), in the order a
    // user's hand does: keys, then the pointer, then the button.
    void apply(const Step& to, Position at) {
        if (to.shift != current.shift) key(XK_Shift_L, to.shift);
        if (to.control != current.control) key(XK_Control_L, to.control);
        XTestFakeMotionEvent(display, DefaultScreen(display), at.x + to.x, at.y + to.y, 0);
        if (to.left != current.left) XTestFakeButtonEvent(display, 1, to.left, 0);
        current = to;
        XSync(display, False);
    }
    void releaseAll(Position at) {
        Step up = current;
        up.left = up.shift = up.control = false;
        apply(up, at);
    }
    void wheel(bool away) {
        const unsigned button = away ? 4 : 5;
        XTestFakeButtonEvent(display, button, True, 0);
        XTestFakeButtonEvent(display, button, False, 0);
        XSync(display, False);
    }

    // The window's pixels as colour references (red | green << 8 | blue << 16).
    std::vector<std::uint32_t> capture(Window window, int w, int h) {
        std::vector<std::uint32_t> out;
        XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(w),
                                  static_cast<unsigned>(h), AllPlanes, ZPixmap);
        if (!image) return out;
        const auto component = [](unsigned long pixel, unsigned long mask) {
            int shift = 0;
            while (mask && !(mask & 1)) {
                mask >>= 1;
                ++shift;
            }
            return static_cast<std::uint32_t>(((pixel >> shift) & mask) * 255 / (mask ? mask : 1));
        };
        out.resize(static_cast<std::size_t>(w * h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                out[static_cast<std::size_t>(y * w + x)] = component(p, image->red_mask) |
                                                           component(p, image->green_mask) << 8 |
                                                           component(p, image->blue_mask) << 16;
            }
        XDestroyImage(image);
        return out;
    }

private:
    void key(KeySym symbol, bool down) {
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, symbol), down, 0);
    }

    Display* display;
    Step current;
};

// The built plug-in with its editor in a window of the server.
class PluginEditor {
public:
    explicit PluginEditor(Server& s) : server(s) {}
    ~PluginEditor() { host.unload(); }

    bool load() {
        if (!host.load(TROB_PLUGIN_PATH)) return false;
        host.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        host.dispatch(effSetBlockSize, 0, 512);
        host.dispatch(effMainsChanged, 0, 1);
        return true;
    }
    IntPtr open(Window parent) {
        return host.dispatch(effEditOpen, 0, 0,
                             reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent)));
    }
    void idle() { host.dispatch(effEditIdle); }
    void close() { host.dispatch(effEditClose); }

    void play(int blocks) {
        std::vector<float> l(512), r(512), ol(512), orr(512);
        for (int b = 0; b < blocks; ++b) {
            signal(played, 512, l.data(), r.data());
            float* in[2] = {l.data(), r.data()};
            float* out[2] = {ol.data(), orr.data()};
            host.processReplacing(in, out, 512);
            played += 512;
        }
    }

    // Runs a gesture: the first step is set up and the press is delivered by the next idle
    // call; each idle request the editor makes from its tracking loop moves the input on by
    // one step. A gesture that ends before its steps does not leave the button down.
    void gesture(const std::vector<Step>& steps, Window editorWindow) {
        const Server::Position at = server.origin(editorWindow);
        std::size_t next = 1;
        host.setCallHook([&](const HostCall& call) {
            if (call.opcode != audioMasterIdle) return;
            if (next < steps.size())
                server.apply(steps[next++], at);
            else
                server.releaseAll(at);
        });
        server.apply(steps.front(), at);
        idle();
        host.setCallHook(nullptr);
        server.releaseAll(at);
        idle();
    }

    std::vector<std::string> editLog() const {
        std::vector<std::string> out;
        for (const HostCall& call : host.calls()) {
            std::string line = describe(call.opcode, call.index, call.opt);
            if (!line.empty()) out.push_back(line);
        }
        return out;
    }

    PluginHost host;
    Server& server;
    std::int64_t played = 0;
};

// The plug-in's effect with a way to its editor.
class ReferenceEffect : public MeterEffectWithEditor {
public:
    explicit ReferenceEffect(HostCallback host) : MeterEffectWithEditor(host) {}
    GuiEditor* gui() const { return static_cast<GuiEditor*>(editor); }
};

// The same editor in this process on the headless home.
class ReferenceEditor {
public:
    ReferenceEditor() {
        platform::headless::reset();
        platform::headless::setTickCount(10000);
        log().clear();
        hostWindow = platform::headless::createHostWindow("ReferenceHost", platform::kWsChild,
                                                          {0, 0, kWidth, kHeight});
        effect = std::make_unique<ReferenceEffect>(&callback);
        effect->dispatcher(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        effect->dispatcher(effSetBlockSize, 0, 512, nullptr, 0.0f);
        effect->dispatcher(effMainsChanged, 0, 1, nullptr, 0.0f);
        opened = effect->dispatcher(effEditOpen, 0, 0, hostWindow, 0.0f) == 1;
        platform::headless::dispatchAll();
    }
    ~ReferenceEditor() {
        effect.reset();
        platform::headless::reset();
    }

    static std::vector<std::string>& log() {
        static std::vector<std::string> lines;
        return lines;
    }

    Frame* frame() const {
        GuiEditor* editor = effect->gui();
        return editor ? editor->getFrame() : nullptr;
    }
    template <class ViewType> Rect nth(int which) const {
        Frame* f = frame();
        for (int i = 0; f && i < f->getViewCount(); ++i)
            if (auto* v = dynamic_cast<ViewType*>(f->getView(i)))
                if (which-- == 0) {
                    Rect r;
                    return v->getViewSize(r);
                }
        return Rect{};
    }

    // Each state is held for several polls, as the real loop sees it between two idles.
    void gesture(const std::vector<Step>& steps) {
        using platform::headless::InputState;
        std::vector<InputState> script;
        for (const Step& s : steps)
            for (int repeat = 0; repeat < 6; ++repeat) {
                InputState in;
                in.cursor = {s.x, s.y};
                in.left = s.left;
                in.shift = s.shift;
                in.control = s.control;
                in.advanceMs = 20;
                script.push_back(in);
            }
        InputState up = script.back();
        up.left = up.shift = up.control = false;
        script.push_back(up);
        platform::headless::scriptInput(script);
        platform::headless::postButtonDown(frame()->getWindow(), platform::kWmLButtonDown,
                                           steps.front().x, steps.front().y);
        platform::headless::dispatchAll();
        platform::headless::setInput(up);
        idle();
    }
    void wheel(int x, int y, float distance) {
        platform::headless::InputState in;
        in.cursor = {x, y};
        platform::headless::setInput(in);
        effect->gui()->onWheel(distance);
        idle();
    }
    void idle() {
        effect->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
        platform::headless::dispatchAll();
    }
    void play(int blocks) {
        std::vector<float> l(512), r(512), ol(512), orr(512);
        for (int b = 0; b < blocks; ++b) {
            signal(played, 512, l.data(), r.data());
            float* in[2] = {l.data(), r.data()};
            float* out[2] = {ol.data(), orr.data()};
            effect->getRecord()->processReplacing(effect->getRecord(), in, out, 512);
            played += 512;
        }
    }
    std::vector<std::uint32_t> pixels() const {
        std::vector<std::uint32_t> out(static_cast<std::size_t>(kWidth * kHeight));
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                out[static_cast<std::size_t>(y * kWidth + x)] =
                    platform::headless::pixel(frame()->getWindow(), x, y);
        return out;
    }

    std::unique_ptr<ReferenceEffect> effect;
    platform::WindowHandle hostWindow = nullptr;
    bool opened = false;
    std::int64_t played = 0;

private:
    static IntPtr TROB_CALL callback(EffectRecord*, std::int32_t opcode, std::int32_t index, IntPtr,
                                     void*, float opt) {
        std::string line = describe(opcode, index, opt);
        if (!line.empty()) log().push_back(line);
        return opcode == audioMasterVersion ? 2400 : 0;
    }
};

} // namespace x11_test
