#pragma once
// A drawing context for one operation on a window, with the window's device released
// afterwards. The frame never keeps a context between calls.

#include "toolkit/draw_context.h"

#include "platform/windowing.h"

#include <new>

class Frame;

// A context for one operation on the frame's window, released afterwards.
class WindowContext {
public:
    WindowContext(Frame* frame, platform::WindowHandle window)
        : window(window), device(platform::getWindowDevice(window)),
          context(new (std::nothrow) DrawContext(frame, device, window)) {}
    ~WindowContext() {
        delete context;
        platform::releaseWindowDevice(window, device);
    }
    WindowContext(const WindowContext&) = delete;
    WindowContext& operator=(const WindowContext&) = delete;
    DrawContext* get() const { return context; }

private:
    platform::WindowHandle window;
    platform::DeviceHandle device;
    DrawContext* context;
};
