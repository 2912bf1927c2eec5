#include "toolkit/frame.h"

#include "host/editor_base.h"
#include "host/effect_base_x.h"
#include "host/gui_editor.h"
#include "host/module.h"
#include "toolkit/bitmap.h"
#include "toolkit/blend_entries.h"
#include "toolkit/draw_context.h"
#include "toolkit/drop_target.h"
#include "toolkit/focus_services.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

char className[32];
std::int32_t classUseCount = 0;

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

Rect toRect(const platform::Box& b) {
    return Rect{b.left, b.top, b.right, b.bottom};
}

} // namespace

Frame::Frame(const Rect& rect, platform::WindowHandle parent, GuiEditor* owner)
    : View(rect), editor(owner), parentWindow(parent), background(nullptr), viewCount(0),
      capacity(0), views(nullptr), modalView(nullptr), focusView(nullptr), firstDrawPending(true),
      open(true), dropActive(false), window(nullptr), classRegistered(false), hostWindowMode(false),
      hostWindowRecord(nullptr), savedCursor(nullptr), cursorSaved(false) {
    platform::oleInitialize();
    blendEntries = BlendEntries{};
    blendLibrary = platform::loadBlendLibrary();
    blendEntries.AlphaBlend = blendLibrary.alphaBlend;
    blendEntries.TransparentBlt = blendLibrary.transparentBlt;
    createWindow(parentWindow);
}

Frame::Frame(const Rect& rect, const char* title, GuiEditor* owner, std::int32_t style)
    : View(rect), editor(owner), parentWindow(nullptr), background(nullptr), viewCount(0),
      capacity(0), views(nullptr), modalView(nullptr), focusView(nullptr), firstDrawPending(true),
      open(false), dropActive(false), window(nullptr), classRegistered(false), hostWindowMode(true),
      hostWindowRecord(nullptr), savedCursor(nullptr), cursorSaved(false) {
    platform::oleInitialize();
    hostWindowRecord = static_cast<VstWindow*>(std::calloc(1, sizeof(VstWindow)));
    if (hostWindowRecord) {
        if (title) std::strncpy(hostWindowRecord->title, title, sizeof hostWindowRecord->title - 1);
        hostWindowRecord->xPos = static_cast<std::int16_t>(size.left);
        hostWindowRecord->yPos = static_cast<std::int16_t>(size.top);
        hostWindowRecord->width = static_cast<std::int16_t>(size.width());
        hostWindowRecord->height = static_cast<std::int16_t>(size.height());
        hostWindowRecord->style = style;
    }
}

Frame::~Frame() {
    setCursor(0);
    setDropActive(false);
    removeAll(true);
    if (background) background->forget();
    background = nullptr;
    platform::oleUninitialize();
    if (blendLibrary.module) platform::freeBlendLibrary(blendLibrary);
    if (window) {
        // Messages sent while the window goes find no frame.
        platform::setWindowUserData(window, 0);
        platform::destroyWindow(window);
        window = nullptr;
    }
    if (classRegistered) releaseClass();
    if (hostWindowMode) closeHostWindow();
    std::free(hostWindowRecord);
}

// --- children

bool Frame::addView(View* view) {
    if (!view) return false;
    if (viewCount == capacity) {
        View** grown = new (std::nothrow) View*[static_cast<std::size_t>(capacity) + 20];
        if (!grown) return false;
        for (std::int32_t i = 0; i < viewCount; ++i)
            grown[i] = views[i];
        delete[] views;
        views = grown;
        capacity += 20;
    }
    views[viewCount++] = view;
    view->setFrame(this);
    view->attached(this);
    return true;
}

bool Frame::removeView(View* view, bool withForget) {
    for (std::int32_t i = 0; i < viewCount; ++i) {
        if (views[i] != view) continue;
        for (std::int32_t j = i; j + 1 < viewCount; ++j)
            views[j] = views[j + 1];
        --viewCount;
        if (focusView == view) focusView = nullptr;
        view->removed(this);
        if (withForget) view->forget();
        return true;
    }
    return false;
}

bool Frame::removeAll(bool withForget) {
    if (focusView) {
        View* losing = focusView;
        focusView = nullptr;
        losing->loseFocus(nullptr);
    }
    View** list = views;
    const std::int32_t count = viewCount;
    views = nullptr;
    viewCount = 0;
    capacity = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        list[i]->removed(this);
        if (withForget) list[i]->forget();
    }
    delete[] list;
    return true;
}

bool Frame::isChild(View* view) {
    for (std::int32_t i = 0; i < viewCount; ++i)
        if (views[i] == view) return true;
    return false;
}

std::int32_t Frame::getViewCount() {
    return viewCount;
}

View* Frame::getView(std::int32_t index) {
    return index >= 0 && index < viewCount ? views[index] : nullptr;
}

// --- drawing

void Frame::draw(DrawContext* context) {
    firstDrawPending = false;
    if (!context) return;
    if (background)
        background->draw(context, Rect{0, 0, background->getWidth(), background->getHeight()},
                         Point{0, 0});
    for (std::int32_t i = 0; i < viewCount; ++i)
        views[i]->draw(context);
    if (modalView) modalView->draw(context);
}

void Frame::drawRect(DrawContext* context, const Rect& updateRect) {
    firstDrawPending = false;
    if (!context) return;
    if (background) background->draw(context, updateRect, Point{updateRect.left, updateRect.top});
    for (std::int32_t i = 0; i < viewCount; ++i)
        if (views[i]->checkUpdate(updateRect)) views[i]->drawRect(context, updateRect);
    if (modalView && modalView->checkUpdate(updateRect)) modalView->draw(context);
}

void Frame::update(DrawContext* context) {
    if (!open || !context) return;
    if (modalView) {
        modalView->update(context);
    } else if (dirty) {
        draw(context);
        setDirty(false);
    } else {
        for (std::int32_t i = 0; i < viewCount; ++i)
            views[i]->update(context);
    }
}

void Frame::idle() {
    if (!open || firstDrawPending || !window) return;
    bool needed = modalView || dirty;
    for (std::int32_t i = 0; i < viewCount && !needed; ++i)
        needed = views[i]->isDirty();
    if (!needed) return;
    WindowContext context(this, window);
    update(context.get());
}

void Frame::drawView(View* view) {
    if (!open || !window) return;
    WindowContext context(this, window);
    if (!context.get()) return;
    if (view && isChild(view))
        view->draw(context.get());
    else
        draw(context.get());
}

void Frame::setBackground(Bitmap* bitmap) {
    if (background) background->forget();
    background = bitmap;
    if (background) background->remember();
}

void Frame::invalidate(const Rect& rect) {
    for (std::int32_t i = 0; i < viewCount; ++i) {
        Rect viewSize;
        views[i]->getViewSize(viewSize);
        if (rect.right >= viewSize.left && rect.left <= viewSize.right &&
            rect.bottom >= viewSize.top && rect.top <= viewSize.bottom)
            views[i]->setDirty(true);
    }
}

// --- modal and focus views

bool Frame::setModalView(View* view) {
    if (view && modalView) return false;
    if (modalView) modalView->removed(this);
    modalView = view;
    if (modalView) modalView->attached(this);
    return true;
}

void Frame::setFocusView(View* view) {
    View* previous = focusView;
    focusView = view;
    if (previous) previous->loseFocus(nullptr);
}

// --- input

void Frame::mouse(DrawContext* context, const Point& where) {
    if (focusView) {
        View* losing = focusView;
        focusView = nullptr;
        losing->loseFocus(nullptr);
    }
    const std::int32_t buttons = context ? context->getMouseButtons() : -1;
    if (modalView) {
        if (modalView->hitTest(where, buttons)) modalView->mouse(context, where);
        return;
    }
    for (std::int32_t i = viewCount - 1; i >= 0; --i) {
        View* view = views[i];
        if (view->getMouseEnabled() && view->hitTest(where, buttons)) {
            view->mouse(context, where);
            return;
        }
    }
}

std::int32_t Frame::routeKey(KeyCode& keyCode, std::int32_t (View::*handler)(KeyCode&)) {
    std::int32_t result = -1;
    if (focusView) result = (focusView->*handler)(keyCode);
    if (result == -1 && modalView) result = (modalView->*handler)(keyCode);
    for (std::int32_t i = viewCount - 1; result == -1 && i >= 0; --i)
        result = (views[i]->*handler)(keyCode);
    return result;
}

std::int32_t Frame::onKeyDown(KeyCode& keyCode) {
    return routeKey(keyCode, &View::onKeyDown);
}
std::int32_t Frame::onKeyUp(KeyCode& keyCode) {
    return routeKey(keyCode, &View::onKeyUp);
}

bool Frame::onDrop(void** items, std::int32_t count, std::int32_t type, const Point& where) {
    if (modalView || focusView) return false;
    for (std::int32_t i = viewCount - 1; i >= 0; --i) {
        View* view = views[i];
        Rect viewSize;
        view->getViewSize(viewSize);
        if (view->getMouseEnabled() && insideInclusive(viewSize, where) &&
            view->onDrop(items, count, type, where))
            return true;
    }
    return false;
}

bool Frame::onWheel(DrawContext* context, const Point&, float distance) {
    View* target = getCurrentView();
    if (!target) return false;
    const Point where = getCurrentMouseLocation();
    if (context) return target->onWheel(context, where, distance);
    if (!window) return target->onWheel(nullptr, where, distance);
    WindowContext temporary(this, window);
    return target->onWheel(temporary.get(), where, distance);
}

View* Frame::getCurrentView() {
    if (modalView) return modalView;
    const Point where = getCurrentMouseLocation();
    for (std::int32_t i = viewCount - 1; i >= 0; --i) {
        Rect viewSize;
        views[i]->getViewSize(viewSize);
        if (insideInclusive(viewSize, where)) return views[i];
    }
    return nullptr;
}

Point Frame::getCurrentMouseLocation() {
    platform::Position cursor;
    platform::getCursorPos(&cursor);
    platform::Box screen{};
    if (window && platform::getWindowRect(window, &screen)) {
        cursor.x -= screen.left;
        cursor.y -= screen.top;
    }
    return Point{cursor.x, cursor.y};
}

void Frame::setCursor(std::int32_t type) {
    static const int kSystemCursors[] = {platform::kCursorWait,     platform::kCursorSizeWe,
                                         platform::kCursorSizeNs,   platform::kCursorSizeAll,
                                         platform::kCursorSizeNesw, platform::kCursorSizeNwse};
    if (!cursorSaved) {
        savedCursor = platform::getCursor();
        cursorSaved = true;
    }
    if (type == 0)
        platform::setCursor(savedCursor);
    else if (type >= 1 && type <= 6)
        platform::setCursor(platform::loadSystemCursor(kSystemCursors[type - 1]));
}

// --- the editor's services

EditorBase* Frame::getEditor() {
    return editor;
}

bool Frame::beginEdit(std::int32_t index) {
    EffectBaseX* effect = editor ? editor->getEffect() : nullptr;
    return effect ? effect->beginEdit(index) : false;
}

bool Frame::endEdit(std::int32_t index) {
    EffectBaseX* effect = editor ? editor->getEffect() : nullptr;
    return effect ? effect->endEdit(index) : false;
}

void Frame::idlePump() {
    if (editor) editor->idlePump();
}

std::uint32_t Frame::getTicks() {
    return editor ? platform::getTickCount() : 0;
}
std::int32_t Frame::getKnobMode() {
    return editKnobMode;
}

// --- the window

bool Frame::registerClass() {
    if (classUseCount++ != 0) return true;
    std::snprintf(className, sizeof className, "Plugin%08x",
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(moduleInstance)));
    platform::WindowClass windowClass;
    windowClass.name = className;
    windowClass.procedure = &Frame::windowProcedure;
    windowClass.module = static_cast<platform::ModuleHandle>(moduleInstance);
    windowClass.style = platform::kCsGlobalClass;
    windowClass.cursor = platform::loadSystemCursor(platform::kCursorArrow);
    const bool registered = platform::registerClass(windowClass);
    buttonsSwapped = platform::getSystemMetrics(platform::kSmSwapButton) > 0;
    return registered;
}

void Frame::releaseClass() {
    if (classUseCount <= 0) return;
    if (--classUseCount == 0)
        platform::unregisterClass(className, static_cast<platform::ModuleHandle>(moduleInstance));
}

bool Frame::createWindow(platform::WindowHandle parent) {
    if (!parent) return false;
    if (!classRegistered) {
        registerClass();
        classRegistered = true;
    }
    window = platform::createWindow(className, "Window", platform::kWsChild | platform::kWsVisible,
                                    0, 0, size.width(), size.height(), parent,
                                    static_cast<platform::ModuleHandle>(moduleInstance));
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
        // lives on, closed, and keeps no handle to the dead window or its drop registration.
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
