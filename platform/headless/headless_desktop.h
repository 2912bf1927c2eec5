#pragma once
// Inside the headless windowing home: the desktop every window, message, input state and
// recorded event lives in. Only the files of `platform/headless` include this.
#include "platform/headless/headless.h"
#include "platform/soft/soft_objects.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// A window's pixels are a surface of the soft home. Like a window's device context on the
// system, a device made for the window keeps working when the window is resized or destroyed
// while the device is still in use: the surface it draws on is retired, not freed, and goes
// with the last device that uses it.
struct WindowObject {
    WindowObject() = default;
    ~WindowObject();
    WindowObject(const WindowObject&) = delete;
    WindowObject& operator=(const WindowObject&) = delete;

    int id = 0;
    std::string className;
    std::string title;
    uint32_t style = 0;
    Box rect;        // outer rectangle, screen coordinates
    Box clientInset; // client area relative to the outer rectangle
    WindowObject* parent = nullptr;
    WindowProc procedure = nullptr;
    intptr_t userData = 0;
    SoftBitmap* pixels = nullptr;
    bool damaged = false;
    Box damage; // client coordinates
    DropReceiver* dropReceiver = nullptr;
};

struct CursorObject {
    int id = 0;
};

namespace headless {

struct Message {
    WindowObject* window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    uint32_t time;
};

struct Desktop {
    std::vector<std::unique_ptr<WindowObject>> windows; // in creation order
    std::map<std::string, WindowClass> classes;
    std::deque<Message> messages;
    std::vector<std::string> events;
    std::map<std::string, std::string> shortcuts; // shortcut name -> target
    int nextId = 1;

    InputState input;
    std::deque<InputState> script;
    bool buttonsSwapped = false;

    uint32_t ticks = 0;
    uint32_t slept = 0;
    uint32_t doubleClickTime = 500;
    uint32_t messageTime = 0;
    int dialogFrameHeight = 3;

    std::map<int, std::unique_ptr<CursorObject>> cursors;
    CursorObject* cursor = nullptr;
    int oleDepth = 0;
};

Desktop& desktop();
// Appends a line to the event log (headless_event_log.cpp).
void record(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The window behind a handle, or null when the handle names no live window.
WindowObject* live(WindowHandle handle);
int width(const Box& b);
int height(const Box& b);
Box clientBox(const WindowObject& w);
void addDamage(WindowObject& w, const Box& box);
intptr_t callProcedure(WindowObject* w, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Makes a scripted input state the current one, moving the clock on.
void makeCurrent(const InputState& state);

} // namespace headless
} // namespace platform
