// The frame's window: class registration, the child window in the host's window, the
// window procedure, sizing within the host's windows and the host-opened mode.

#include "toolkit/frame.h"

#include "host/effect_base_x.h"
#include "host/gui_editor/gui_editor.h"
#include "platform/module_instance.h"
#include "toolkit/draw_context.h"
#include "toolkit/drop_target.h"
#include "toolkit/focus_services.h"
#include "toolkit/window_context.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

char className[32];
std::int32_t classUseCount = 0;

Rect toRect(const platform::Box& b) {
    return Rect{b.left, b.top, b.right, b.bottom};
}

} // namespace

// --- the window

bool Frame::registerClass() {
    if (classUseCount++ != 0) return true;
    std::snprintf(className, sizeof className, "Plugin%08x",
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(moduleInstance)));
    platform::WindowClass windowClass;
    windowClass.name = className;
    windowClass.procedure = &Frame::windowProcedure;
    windowClass.module = moduleInstance;
    windowClass.style = platform::kCsGlobalClass;
    windowClass.cursor = platform::loadSystemCursor(platform::kCursorArrow);
    const bool registered = platform::registerClass(windowClass);
    buttonsSwapped = platform::getSystemMetrics(platform::kSmSwapButton) > 0;
    return registered;
}

void Frame::releaseClass() {
    if (classUseCount <= 0) return;
    if (--classUseCount == 0) platform::unregisterClass(className, moduleInstance);
}

bool Frame::createWindow(platform::WindowHandle parent) {
    if (!parent) return false;
    if (!classRegistered) {
        registerClass();
        classRegistered = true;
    }
    window = platform::createWindow(className, "Window", platform::kWsChild | platform::kWsVisible,
                                    0, 0, size.width(), size.height(), parent, moduleInstance);
    if (window) platform::setWindowUserData(window, reinterpret_cast<std::intptr_t>(this));
    setDropActive(true);
    return true;
}

bool Frame::setDropActive(bool active) {
    if (!dropActive && !active) return true;
    if (!window) return false;
    if (active) {
        auto* target = new (std::nothrow) DropTarget(this);
        if (!target || !platform::registerDragDrop(window, target)) {
            delete target;
            return false;
        }
    } else {
        platform::revokeDragDrop(window);
    }
    dropActive = active;
    return true;
}

Frame* Frame::frameOf(platform::WindowHandle handle) {
    return reinterpret_cast<Frame*>(platform::getWindowUserData(handle));
}

intptr_t TROB_WINAPI Frame::windowProcedure(platform::WindowHandle handle, std::uint32_t message,
                                            std::uintptr_t wParam, std::intptr_t lParam) {
    Frame* frame = frameOf(handle);
    if (!frame) return platform::defWindowProc(handle, message, wParam, lParam);
    switch (message) {
    case platform::kWmDestroy:
        // The window goes before the frame (the host closed its own window first): the frame
        // lives on, closed, and keeps no handle to the dead window. The drop registration is
        // revoked while the window still exists; a system that frees the target only on
        // revocation would otherwise keep it for good.
        frame->setDropActive(false);
        frame->open = false;
        frame->parentWindow = nullptr;
        frame->window = nullptr;
        frame->dropActive = false;
        break;
    case platform::kWmPaint: {
        platform::Box damaged{};
        if (!platform::getUpdateRect(handle, &damaged)) break;
        platform::Box paint{};
        platform::DeviceHandle device = platform::beginPaint(handle, &paint);
        if (auto* context = new (std::nothrow) DrawContext(frame, device, handle)) {
            frame->drawRect(context, toRect(paint));
            delete context;
        }
        platform::endPaint(handle, device);
        return 0;
    }
    case platform::kWmLButtonDown:
    case platform::kWmRButtonDown:
    case platform::kWmMButtonDown: {
        const auto bits = static_cast<std::uintptr_t>(lParam);
        const Point where{static_cast<std::int32_t>(bits & 0xFFFF),
                          static_cast<std::int32_t>((bits >> 16) & 0xFFFF)};
        WindowContext context(frame, handle);
        frame->mouse(context.get(), where);
        return 0;
    }
    case platform::kWmHomeWheel: {
        // Where the wheel reaches the editor's window itself (X11 delivers the wheel as
        // buttons to the window under the pointer), it goes where the host's wheel goes.
        const auto distance = static_cast<std::int16_t>((wParam >> 16) & 0xFFFF);
        frame->onWheel(nullptr, Point{0, 0}, static_cast<float>(distance) / 120.0f);
        return 0;
    }
    case platform::kWmMeasureItem: {
        auto* item = reinterpret_cast<platform::MeasureItemRecord*>(lParam);
        auto* drawer = dynamic_cast<MenuItemDrawer*>(frame->focusView);
        if (!item || item->controlType != platform::kOdtMenu || !item->itemData || !drawer) break;
        WindowContext context(frame, handle);
        Point size{0, 0};
        drawer->measureMenuItem(reinterpret_cast<void*>(item->itemData), context.get(), size);
        item->itemWidth = static_cast<std::uint32_t>(size.h);
        item->itemHeight = static_cast<std::uint32_t>(size.v);
        return 1;
    }
    case platform::kWmDrawItem: {
        auto* item = reinterpret_cast<platform::DrawItemRecord*>(lParam);
        auto* drawer = dynamic_cast<MenuItemDrawer*>(frame->focusView);
        if (!item || item->controlType != platform::kOdtMenu || !item->itemData || !drawer) break;
        std::int32_t state = 0;
        if (item->itemState & platform::kOdsChecked) state |= 1;
        if (item->itemState & platform::kOdsDisabled) state |= 2;
        if (item->itemState & platform::kOdsSelected) state |= 4;
        const Rect rect{item->rect.left, item->rect.top, item->rect.right, item->rect.bottom + 1};
        DrawContext context(frame, item->device, nullptr);
        drawer->drawMenuItem(reinterpret_cast<void*>(item->itemData),
                             static_cast<std::int32_t>(item->itemId), state, &context, rect);
        return 1;
    }
    case platform::kWmCtlColorEdit: {
        auto* colors = dynamic_cast<EditFieldColors*>(frame->focusView);
        if (!colors) break;
        auto device = reinterpret_cast<platform::DeviceHandle>(wParam);
        const Color background = colors->editBackgroundColor();
        platform::setTextColor(device, toColorRef(colors->editTextColor()));
        platform::setBkColor(device, toColorRef(background));
        platform::ObjectHandle& brush = colors->editBrush();
        if (brush) platform::deleteObject(brush);
        brush = platform::createSolidBrush(toColorRef(background));
        return reinterpret_cast<intptr_t>(brush);
    }
    default:
        break;
    }
    return platform::defWindowProc(handle, message, wParam, lParam);
}

// --- sizing within the host's windows

bool Frame::setSize(std::int32_t width, std::int32_t height) {
    if (!open) return false;
    if (width == size.width() && height == size.height()) return false;

    EffectBaseX* effect = editor ? editor->getEffect() : nullptr;
    char canDoSizeWindow[] = "sizeWindow";
    if (effect && effect->askHostCanDo(canDoSizeWindow) &&
        effect->requestHostSizeWindow(width, height)) {
        if (window) platform::setWindowSize(window, width, height);
        return true;
    }

    size = Rect{size.left, size.top, size.left + width, size.top + height};
    const int allowance = 2 * platform::getSystemMetrics(platform::kSmCyDlgFrame);
    Point extra{0, 0};
    platform::WindowHandle current = window;
    if (allowance != 0) {
        for (;;) {
            if (!current) return true;
            platform::WindowHandle parent = platform::getParent(current);
            char parentClass[1024] = {};
            if (parent) platform::getClassName(parent, parentClass, sizeof parentClass);
            if (!parent || std::strcmp(parentClass, "MDIClient") == 0) break;
            platform::Box currentRect{}, parentRect{};
            platform::getWindowRect(current, &currentRect);
            platform::getWindowRect(parent, &parentRect);
            platform::setWindowSize(current, width + extra.h, height + extra.v);
            extra = {(parentRect.right - parentRect.left) - (currentRect.right - currentRect.left),
                     (parentRect.bottom - parentRect.top) - (currentRect.bottom - currentRect.top)};
            if (extra.h > 80 || extra.v > 80) return true;
            current = parent;
            if (extra.h == allowance) break;
        }
    }
    if (current) platform::setWindowSize(current, width + extra.h, height + extra.v);
    return true;
}

platform::WindowHandle Frame::getOuterWindow() {
    if (!window) return nullptr;
    platform::Box frameRect{};
    platform::getWindowRect(window, &frameRect);
    const int frameWidth = frameRect.right - frameRect.left;
    const int frameHeight = frameRect.bottom - frameRect.top;
    platform::WindowHandle current = window;
    for (;;) {
        platform::WindowHandle parent = platform::getParent(current);
        if ((platform::getWindowStyle(current) & platform::kWsCaption) || !parent) return current;
        platform::Box parentRect{};
        platform::getWindowRect(parent, &parentRect);
        if (std::abs(parentRect.right - parentRect.left - frameWidth) > 60 ||
            std::abs(parentRect.bottom - parentRect.top - frameHeight) > 60)
            return current;
        current = parent;
    }
}

bool Frame::getPosition(std::int32_t& x, std::int32_t& y) {
    if (!open) return false;
    platform::WindowHandle outer = getOuterWindow();
    platform::Box outerRect{};
    platform::getWindowRect(outer, &outerRect);
    platform::Position point{outerRect.left, outerRect.top};
    if (platform::WindowHandle parent = platform::getParent(outer))
        platform::screenToClient(parent, &point);
    x = point.x;
    y = point.y;
    return true;
}

bool Frame::getSize(Rect& rect) {
    if (!open) return false;
    platform::WindowHandle p = platform::getParent(window);
    platform::WindowHandle q = platform::getParent(platform::getParent(p));
    platform::Box pRect{};
    platform::getWindowRect(p, &pRect);
    platform::Position topLeft{pRect.left, pRect.top};
    if (q) platform::screenToClient(q, &topLeft);
    rect = Rect{topLeft.x, topLeft.y, topLeft.x + (pRect.right - pRect.left),
                topLeft.y + (pRect.bottom - pRect.top)};
    return true;
}

// --- the host-opened mode

bool Frame::openHostWindow(const Point* position) {
    if (!hostWindowMode) return false;
    if (open) {
        platform::bringWindowToTop(platform::getParent(platform::getParent(window)));
        return false;
    }
    if (position && hostWindowRecord) {
        hostWindowRecord->xPos = static_cast<std::int16_t>(position->h);
        hostWindowRecord->yPos = static_cast<std::int16_t>(position->v);
    }
    EffectBaseX* effect = editor ? editor->getEffect() : nullptr;
    if (!effect || !hostWindowRecord) return false;
    auto parent =
        static_cast<platform::WindowHandle>(effect->requestHostOpenWindow(hostWindowRecord));
    if (parent && createWindow(parent) && window) {
        parentWindow = parent;
        open = true;
    }
    return open;
}

bool Frame::closeHostWindow() {
    if (!hostWindowMode || !open || !parentWindow) return false;
    EffectBaseX* effect = editor ? editor->getEffect() : nullptr;
    if (effect) effect->requestHostCloseWindow(hostWindowRecord);
    parentWindow = nullptr;
    return true;
}
