#include "host/gui_editor/gui_editor.h"

#include "host/effect_base_x.h"
#include "platform/windowing.h"
#include "toolkit/frame.h"

#include <algorithm>

GuiEditor::GuiEditor(EffectBaseX* owner)
    : EditorBase(owner), frame(nullptr), nextIdleTicks(platform::getTickCount()),
      insideHostIdle(false), shownRect{} {
    platform::oleInitialize();
}

GuiEditor::~GuiEditor() {
    platform::oleUninitialize();
}

std::int32_t GuiEditor::editGetRect(EditorRect** rectOut) {
    if (!rectOut) return 0;
    // On a dense screen the platform shows the editor enlarged by a whole factor: the host
    // makes room for what is shown, while the editor itself keeps drawing at its own size.
    const int scale = platform::windowScale(frame ? frame->getWindow() : nullptr);
    if (scale <= 1) {
        *rectOut = &rect;
        return 1;
    }
    const auto scaled = [scale](std::int16_t v) {
        return static_cast<std::int16_t>(std::clamp(v * scale, -32768, 32767));
    };
    shownRect = {scaled(rect.top), scaled(rect.left), scaled(rect.bottom), scaled(rect.right)};
    *rectOut = &shownRect;
    return 1;
}

std::int32_t GuiEditor::open(void* parent) {
    requestUpdate();
    parentWindow = parent;
    return 0;
}

void GuiEditor::idle() {
    if (insideHostIdle) return;
    if (updatePending) {
        updatePending = 0;
        performUpdate();
    }
    // Where the editor's windows get their events from their own connection (X11), the
    // host's idle call is when they are taken; inside a drag's idle pump only read.
    platform::pumpEvents();
    if (frame) frame->idle();
}

std::int32_t GuiEditor::onKeyDown(KeyCode& key) {
    return frame ? frame->onKeyDown(key) : -1;
}
std::int32_t GuiEditor::onKeyUp(KeyCode& key) {
    return frame ? frame->onKeyUp(key) : -1;
}

std::int32_t GuiEditor::setEditKnobMode(std::int32_t mode) {
    editKnobMode = mode;
    return 1;
}

bool GuiEditor::onWheel(float distance) {
    return frame ? frame->onWheel(nullptr, Point{0, 0}, distance) : false;
}

void GuiEditor::setParameter(std::int32_t, float) {
    requestUpdate();
}

void GuiEditor::redraw(void*) {
    if (frame) frame->drawView(nullptr);
}

void GuiEditor::idlePump() {
    // The tick counter wraps after 49.7 days: ticks are compared by their signed difference,
    // so that the 50 ms rhythm holds across the wrap.
    const auto before = [](std::uint32_t a, std::uint32_t b) {
        return static_cast<std::int32_t>(a - b) < 0;
    };
    std::uint32_t now = platform::getTickCount();
    if (before(now, nextIdleTicks)) {
        sleepFor(4);
        now += 4;
        if (before(now, nextIdleTicks - 50)) return;
    }
    idle();
    platform::dispatchOnePendingPaint();
    nextIdleTicks = now + 100;
    insideHostIdle = true;
    if (effect) effect->requestHostIdle();
    insideHostIdle = false;
}

void GuiEditor::closeFrame() {
    if (Frame* closing = frame) {
        frame = nullptr;
        closing->dispose();
    }
}

void GuiEditor::sleepFor(std::int32_t milliseconds) {
    if (milliseconds > 0) platform::sleep(static_cast<std::uint32_t>(milliseconds));
}
