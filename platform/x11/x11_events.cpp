// The X11 home's input: events are read from the thread's own display connection and turned
// into the messages the window procedure knows; the pointer and the clock as the toolkit asks
// for them.

#include "platform/window_scale.h"
#include "platform/x11/x11_home.h"

#include "platform/soft/soft_objects.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <utility>

namespace platform {
namespace x11 {
namespace {

// The server destroyed one of our windows (its parent went): the procedure hears of it as
// it would from destroyWindow, and the record goes.
void windowGone(Window id) {
    if (!findRecord(id)) return;
    callProcedure(id, kWmDestroy, 0, 0);
    Connection& c = connection();
    auto found = c.windows.find(id);
    if (found == c.windows.end()) return;
    freeRecordResources(c.display, *found->second);
    c.windows.erase(found);
    std::erase_if(c.messages, [&](const Message& m) { return m.window == id; });
}

intptr_t packPosition(int x, int y) {
    return static_cast<intptr_t>((static_cast<uint32_t>(y) & 0xFFFF) << 16 |
                                 (static_cast<uint32_t>(x) & 0xFFFF));
}

void handleEvent(const XEvent& event) {
    Connection& c = connection();
    switch (event.type) {
    case Expose: {
        Record* r = findRecord(event.xexpose.window);
        if (!r) break;
        const int n = r->scale;
        const Box box{toClientPixel(event.xexpose.x, n), toClientPixel(event.xexpose.y, n),
                      toClientPixel(event.xexpose.x + event.xexpose.width + n - 1, n),
                      toClientPixel(event.xexpose.y + event.xexpose.height + n - 1, n)};
        forget(*r, box);
        addDamage(*r, box);
        break;
    }
    case ButtonPress: {
        const XButtonEvent& b = event.xbutton;
        const Record* r = findRecord(b.window);
        if (!r) break;
        const uint32_t now = getTickCount();
        const int x = toClientPixel(b.x, r->scale), y = toClientPixel(b.y, r->scale);
        switch (b.button) {
        case Button1:
            c.messages.push_back({b.window, kWmLButtonDown, 0, packPosition(x, y), now});
            break;
        case Button2:
            c.messages.push_back({b.window, kWmMButtonDown, 0, packPosition(x, y), now});
            break;
        case Button3:
            c.messages.push_back({b.window, kWmRButtonDown, 0, packPosition(x, y), now});
            break;
        case Button4:
        case Button5: {
            // One notch of the wheel, as the system reports it: +120 away from the user.
            const int16_t delta = b.button == Button4 ? 120 : -120;
            const uintptr_t wParam = static_cast<uintptr_t>(static_cast<uint16_t>(delta)) << 16;
            c.messages.push_back(
                {b.window, kWmHomeWheel, wParam, packPosition(b.x_root, b.y_root), now});
            break;
        }
        default:
            break;
        }
        break;
    }
    case DestroyNotify:
        // Our own destroyWindow forgets the record first, so only the server's destroys
        // (with the host's window) arrive here.
        if (event.xdestroywindow.window == event.xdestroywindow.event)
            windowGone(event.xdestroywindow.window);
        break;
    default:
        handleDndEvent(event);
        break;
    }
}

// The connection broke: for the toolkit every window of the home is gone, as when the host
// destroys its window first (each gets WM_DESTROY), and the connection is closed. Xlib
// sends nothing more on a broken connection, so the calls on the way only free memory.
void abandonConnection() {
    Connection& c = connection();
    std::vector<Window> ids;
    for (const auto& [id, record] : c.windows)
        ids.push_back(id);
    for (Window id : ids)
        windowGone(id);
    closeConnection();
    c.lost = false;
}

// Takes every event the server has sent, without dispatching any message.
void readEvents() {
    Connection& c = connection();
    if (!c.display) return;
    while (c.display && !c.lost && XPending(c.display)) {
        XEvent event;
        XNextEvent(c.display, &event);
        handleEvent(event);
    }
    if (c.display && c.lost) abandonConnection();
}

bool takePendingPaint() {
    for (auto& [id, r] : connection().windows) {
        if (r->damaged) {
            callProcedure(id, kWmPaint, 0, 0);
            return true;
        }
    }
    return false;
}

// A pointer position on the screen as the toolkit sees it. An enlarged window of ours keeps
// its origin there but spans only its client size (`getWindowRect`), so the pointer is
// placed against one window: the one whose procedure runs (a drag's loop, a wheel turn), else
// the enlarged one under the pointer, else the first enlarged one. Its offset from that
// window's origin is divided by the scale; without an enlarged window nothing changes.
Position onToolkitScreen(int x, int y) {
    Connection& c = connection();
    const auto originOf = [&](const Record& r, int& originX, int& originY) {
        Window child = 0;
        return XTranslateCoordinates(c.display, r.id, c.root, 0, 0, &originX, &originY, &child);
    };
    const Record* chosen = nullptr;
    int originX = 0, originY = 0;
    if (const Record* r = findRecord(c.procedureWindow); r && r->scale > 1)
        if (originOf(*r, originX, originY)) chosen = r;
    const Record* first = nullptr;
    int firstX = 0, firstY = 0;
    for (const auto& [id, r] : c.windows) {
        if (chosen) break;
        int ox = 0, oy = 0;
        if (r->scale <= 1 || !r->pixels || !originOf(*r, ox, oy)) continue;
        if (!first) {
            first = r.get();
            firstX = ox;
            firstY = oy;
        }
        if (x >= ox && y >= oy && x < ox + r->pixels->width * r->scale &&
            y < oy + r->pixels->height * r->scale) {
            chosen = r.get();
            originX = ox;
            originY = oy;
        }
    }
    if (!chosen && first) {
        chosen = first;
        originX = firstX;
        originY = firstY;
    }
    if (!chosen) return {x, y};
    return {originX + toClientPixel(x - originX, chosen->scale),
            originY + toClientPixel(y - originY, chosen->scale)};
}

bool queryPointer(int* rootX, int* rootY, unsigned* mask) {
    Connection& c = connection();
    if (!c.display) return false;
    ErrorTrap trap;
    Window rootReturn = 0, child = 0;
    int wx = 0, wy = 0;
    int x = 0, y = 0;
    unsigned m = 0;
    if (!XQueryPointer(c.display, c.root, &rootReturn, &child, &x, &y, &wx, &wy, &m)) return false;
    if (rootX) *rootX = x;
    if (rootY) *rootY = y;
    if (mask) *mask = m;
    return true;
}

} // namespace

intptr_t callProcedure(Window id, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    Record* r = findRecord(id);
    if (!r) return 0;
    if (!r->procedure) return defWindowProc(toHandle(id), message, wParam, lParam);
    ++connection().procedureDepth;
    const Window outer = std::exchange(connection().procedureWindow, id);
    const intptr_t result = r->procedure(toHandle(id), message, wParam, lParam);
    connection().procedureWindow = outer;
    --connection().procedureDepth;
    return result;
}

} // namespace x11

using x11::connection;
using x11::ErrorTrap;

bool dispatchOnePendingPaint() {
    if (!connection().display) return false;
    ErrorTrap trap;
    x11::readEvents();
    return x11::takePendingPaint();
}

bool removePendingLeftButtonDown() {
    if (!connection().display) return false;
    ErrorTrap trap;
    x11::readEvents();
    auto& messages = connection().messages;
    auto found = std::find_if(messages.begin(), messages.end(),
                              [](const x11::Message& m) { return m.message == kWmLButtonDown; });
    if (found == messages.end()) return false;
    messages.erase(found);
    return true;
}

void pumpEvents() {
    if (!connection().display) return;
    ErrorTrap trap;
    x11::readEvents();
    // A message loop does not run inside a window procedure: during a drag the events are
    // only read, and the loop's idle pump takes the paints.
    if (connection().procedureDepth > 0) return;
    while (connection().display && !connection().messages.empty()) {
        const x11::Message m = connection().messages.front();
        connection().messages.pop_front();
        connection().messageTime = m.time;
        x11::callProcedure(m.window, m.message, m.wParam, m.lParam);
    }
    while (connection().display && x11::takePendingPaint()) {
    }
}

// --- input

bool isKeyDown(int virtualKey) {
    unsigned mask = 0;
    if (!x11::queryPointer(nullptr, nullptr, &mask)) return false;
    switch (virtualKey) {
    case kVkLButton:
        return mask & Button1Mask;
    case kVkMButton:
        return mask & Button2Mask;
    case kVkRButton:
        return mask & Button3Mask;
    case kVkShift:
        return mask & ShiftMask;
    case kVkControl:
        return mask & ControlMask;
    case kVkMenu:
        return mask & Mod1Mask;
    default:
        return false;
    }
}

bool getCursorPos(Position* screenPoint) {
    if (!screenPoint) return false;
    int x = 0, y = 0;
    if (!x11::queryPointer(&x, &y, nullptr)) return false;
    *screenPoint = x11::onToolkitScreen(x, y);
    return true;
}

uint32_t getDoubleClickTime() {
    return 500;
}

uint32_t getMessageTime() {
    return connection().messageTime;
}

// --- time

uint32_t getTickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

void sleep(uint32_t milliseconds) {
    timespec wait{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

} // namespace platform
