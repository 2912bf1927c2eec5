// The headless home's message queue and scripted input: the test or program that drives the
// home posts messages, runs the loop and scripts the mouse, the keyboard and the clock.

#include "platform/headless/headless_desktop.h"

#include <algorithm>

namespace platform {

using namespace headless;

namespace headless {

void makeCurrent(const InputState& state) {
    Desktop& d = desktop();
    d.input = state;
    d.ticks += state.advanceMs;
}

} // namespace headless

bool dispatchOnePendingPaint() {
    for (auto& w : desktop().windows) {
        if (w->damaged) {
            callProcedure(w.get(), kWmPaint, 0, 0);
            return true;
        }
    }
    return false;
}

bool removePendingLeftButtonDown() {
    Desktop& d = desktop();
    auto found = std::find_if(d.messages.begin(), d.messages.end(),
                              [](const Message& m) { return m.message == kWmLButtonDown; });
    if (found == d.messages.end()) return false;
    d.messages.erase(found);
    return true;
}

// Messages are delivered by the test or program that drives the home (`dispatchAll`).
void pumpEvents() {}

bool isKeyDown(int virtualKey) {
    const headless::InputState& in = desktop().input;
    switch (virtualKey) {
    case kVkLButton:
        return in.left;
    case kVkRButton:
        return in.right;
    case kVkMButton:
        return in.middle;
    case kVkShift:
        return in.shift;
    case kVkControl:
        return in.control;
    case kVkMenu:
        return in.alt;
    default:
        return false;
    }
}

bool getCursorPos(Position* screenPoint) {
    Desktop& d = desktop();
    if (screenPoint) *screenPoint = d.input.cursor;
    // Reading the position is one poll of a tracking loop: the script moves on.
    if (!d.script.empty()) {
        makeCurrent(d.script.front());
        d.script.pop_front();
    }
    return screenPoint != nullptr;
}

uint32_t getDoubleClickTime() {
    return desktop().doubleClickTime;
}
uint32_t getMessageTime() {
    return desktop().messageTime;
}
uint32_t getTickCount() {
    return desktop().ticks;
}

void sleep(uint32_t milliseconds) {
    desktop().ticks += milliseconds;
    desktop().slept += milliseconds;
}

namespace headless {

void invalidate(WindowHandle window, const Box& box) {
    if (WindowObject* w = live(window)) addDamage(*w, box);
}

void invalidateAll(WindowHandle window) {
    if (WindowObject* w = live(window)) addDamage(*w, clientBox(*w));
}

void postMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (WindowObject* w = live(window))
        desktop().messages.push_back({w, message, wParam, lParam, desktop().ticks});
}

void postButtonDown(WindowHandle window, uint32_t message, int x, int y) {
    const auto lParam = static_cast<intptr_t>((static_cast<uint32_t>(y) & 0xFFFF) << 16 |
                                              (static_cast<uint32_t>(x) & 0xFFFF));
    postMessage(window, message, 0, lParam);
}

int dispatchAll() {
    Desktop& d = desktop();
    int dispatched = 0;
    for (;;) {
        if (!d.messages.empty()) {
            Message m = d.messages.front();
            d.messages.pop_front();
            d.messageTime = m.time;
            callProcedure(m.window, m.message, m.wParam, m.lParam);
        } else if (!dispatchOnePendingPaint()) {
            return dispatched;
        }
        ++dispatched;
    }
}

intptr_t sendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    WindowObject* w = live(window);
    return w ? callProcedure(w, message, wParam, lParam) : 0;
}

void setInput(const InputState& state) {
    desktop().script.clear();
    makeCurrent(state);
}

void scriptInput(const std::vector<InputState>& states) {
    Desktop& d = desktop();
    d.script.assign(states.begin(), states.end());
    if (!d.script.empty()) {
        makeCurrent(d.script.front());
        d.script.pop_front();
    }
}

const InputState& currentInput() {
    return desktop().input;
}
int pendingInputStates() {
    return static_cast<int>(desktop().script.size());
}
void setButtonsSwapped(bool swapped) {
    desktop().buttonsSwapped = swapped;
}
void setTickCount(uint32_t ticks) {
    desktop().ticks = ticks;
}
void setDoubleClickTime(uint32_t milliseconds) {
    desktop().doubleClickTime = milliseconds;
}
void setMessageTime(uint32_t ticks) {
    desktop().messageTime = ticks;
}
uint32_t totalSlept() {
    return desktop().slept;
}
void setDialogFrameHeight(int pixels) {
    desktop().dialogFrameHeight = pixels;
}

} // namespace headless

} // namespace platform
