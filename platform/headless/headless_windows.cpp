// The headless windowing home: every window, message and input state lives in memory and is
// driven by the test or program that uses it. This file holds the desktop, its windows and
// classes, their geometry and paint, and the cursors.

#include "platform/headless/headless_desktop.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace platform {

namespace {
void retireSurface(SoftBitmap* surface) {
    if (surface) deleteObject(surface);
}
} // namespace

WindowObject::~WindowObject() {
    retireSurface(pixels);
}

namespace headless {

Desktop& desktop() {
    static Desktop d;
    return d;
}

WindowObject* live(WindowHandle handle) {
    for (auto& w : desktop().windows)
        if (w.get() == handle) return w.get();
    return nullptr;
}

int width(const Box& b) {
    return b.right - b.left;
}
int height(const Box& b) {
    return b.bottom - b.top;
}

Box clientBox(const WindowObject& w) {
    return {0, 0, std::max(0, width(w.rect) - w.clientInset.left - w.clientInset.right),
            std::max(0, height(w.rect) - w.clientInset.top - w.clientInset.bottom)};
}

void addDamage(WindowObject& w, const Box& box) {
    Box client = clientBox(w);
    Box b{std::max(box.left, client.left), std::max(box.top, client.top),
          std::min(box.right, client.right), std::min(box.bottom, client.bottom)};
    if (b.left >= b.right || b.top >= b.bottom) return;
    if (!w.damaged) {
        w.damage = b;
        w.damaged = true;
    } else {
        w.damage = {std::min(w.damage.left, b.left), std::min(w.damage.top, b.top),
                    std::max(w.damage.right, b.right), std::max(w.damage.bottom, b.bottom)};
    }
}

intptr_t callProcedure(WindowObject* w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (w->procedure) return w->procedure(w, message, wParam, lParam);
    return defWindowProc(w, message, wParam, lParam);
}

} // namespace headless

using namespace headless;

namespace {

Position clientOrigin(const WindowObject& w) {
    return {w.rect.left + w.clientInset.left, w.rect.top + w.clientInset.top};
}

// A surface that cannot be had leaves the window with the one it had.
void resizeSurface(WindowObject& w) {
    Box client = clientBox(w);
    SoftBitmap* fresh =
        soft::newBitmap(std::max(1, width(client)), std::max(1, height(client)), false);
    if (!fresh) return;
    if (w.pixels) {
        for (int y = 0; y < std::min(fresh->height, w.pixels->height); ++y)
            for (int x = 0; x < std::min(fresh->width, w.pixels->width); ++x)
                fresh->at(x, y) = w.pixels->at(x, y);
    }
    retireSurface(std::exchange(w.pixels, fresh));
}

// Creates a window at a screen rectangle and records it; `at` is the position as the caller
// gave it (relative to the parent's client area for child windows).
WindowObject* addWindow(const char* className, const char* title, uint32_t style,
                        WindowObject* parent, const Box& screenRect, const Box& clientInset,
                        WindowProc procedure, Position at) {
    Desktop& d = desktop();
    auto window = std::make_unique<WindowObject>();
    window->id = d.nextId++;
    window->className = className;
    window->title = title ? title : "";
    window->style = style;
    window->procedure = procedure;
    window->parent = parent;
    window->rect = screenRect;
    window->clientInset = clientInset;
    resizeSurface(*window);
    WindowObject* created = window.get();
    d.windows.push_back(std::move(window));
    record("create %d %s in %d at %d,%d size %dx%d", created->id, className,
           parent ? parent->id : 0, at.x, at.y, width(screenRect), height(screenRect));
    return created;
}

} // namespace

bool registerClass(const WindowClass& windowClass) {
    if (!windowClass.name || desktop().classes.count(windowClass.name)) return false;
    desktop().classes[windowClass.name] = windowClass;
    record("register %s", windowClass.name);
    return true;
}

bool unregisterClass(const char* name, ModuleHandle) {
    if (!name || !desktop().classes.erase(name)) return false;
    record("unregister %s", name);
    return true;
}

WindowHandle createWindow(const char* className, const char* title, uint32_t style, int x, int y,
                          int w, int h, WindowHandle parent, ModuleHandle) {
    Desktop& d = desktop();
    auto found = className ? d.classes.find(className) : d.classes.end();
    if (found == d.classes.end()) return nullptr;
    WindowObject* parentWindow = nullptr;
    if (parent) {
        parentWindow = live(parent);
        if (!parentWindow) return nullptr;
    }
    Position origin = parentWindow ? clientOrigin(*parentWindow) : Position{0, 0};
    WindowObject* created =
        addWindow(className, title, style, parentWindow,
                  {origin.x + x, origin.y + y, origin.x + x + w, origin.y + y + h}, Box{},
                  found->second.procedure, Position{x, y});
    if (style & kWsVisible) addDamage(*created, clientBox(*created));
    return created;
}

bool destroyWindow(WindowHandle handle) {
    Desktop& d = desktop();
    WindowObject* w = live(handle);
    if (!w) return false;
    // Children first, as the system does.
    for (;;) {
        auto child = std::find_if(d.windows.begin(), d.windows.end(),
                                  [&](const auto& c) { return c->parent == w; });
        if (child == d.windows.end()) break;
        destroyWindow(child->get());
    }
    record("destroy %d", w->id);
    callProcedure(w, kWmDestroy, 0, 0);
    // A registration still standing goes with the window.
    delete std::exchange(w->dropReceiver, nullptr);
    std::erase_if(d.messages, [&](const Message& m) { return m.window == w; });
    std::erase_if(d.windows, [&](const auto& p) { return p.get() == w; });
    return true;
}

intptr_t defWindowProc(WindowHandle handle, uint32_t message, uintptr_t, intptr_t) {
    WindowObject* w = live(handle);
    if (w && message == kWmPaint) {
        // Unpainted damage counts as painted once default processing has seen it.
        w->damaged = false;
        record("default paint %d", w->id);
    }
    return 0;
}

intptr_t setWindowUserData(WindowHandle handle, intptr_t value) {
    WindowObject* w = live(handle);
    if (!w) return 0;
    return std::exchange(w->userData, value);
}

intptr_t getWindowUserData(WindowHandle handle) {
    WindowObject* w = live(handle);
    return w ? w->userData : 0;
}

bool getWindowRect(WindowHandle handle, Box* screenRect) {
    WindowObject* w = live(handle);
    if (!w || !screenRect) return false;
    *screenRect = w->rect;
    return true;
}

WindowHandle getParent(WindowHandle handle) {
    WindowObject* w = live(handle);
    return w ? w->parent : nullptr;
}

int getClassName(WindowHandle handle, char* name, int capacity) {
    WindowObject* w = live(handle);
    if (!w || !name || capacity <= 0) return 0;
    int length = std::min(static_cast<int>(w->className.size()), capacity - 1);
    std::memcpy(name, w->className.data(), static_cast<size_t>(length));
    name[length] = 0;
    return length;
}

uint32_t getWindowStyle(WindowHandle handle) {
    WindowObject* w = live(handle);
    return w ? w->style : 0;
}

bool setWindowSize(WindowHandle handle, int newWidth, int newHeight) {
    WindowObject* w = live(handle);
    if (!w) return false;
    Box before = clientBox(*w);
    w->rect.right = w->rect.left + newWidth;
    w->rect.bottom = w->rect.top + newHeight;
    resizeSurface(*w);
    record("size %d %dx%d", w->id, newWidth, newHeight);
    Box after = clientBox(*w);
    if (after.right > before.right) addDamage(*w, {before.right, 0, after.right, after.bottom});
    if (after.bottom > before.bottom) addDamage(*w, {0, before.bottom, after.right, after.bottom});
    return true;
}

bool screenToClient(WindowHandle handle, Position* point) {
    WindowObject* w = live(handle);
    if (!point) return false;
    Position origin = w ? clientOrigin(*w) : Position{0, 0};
    // Held within int32, as the toolkit's own conversions are: scripts may put the cursor
    // anywhere.
    const auto relative = [](int32_t position, int32_t from) {
        const int64_t d = int64_t(position) - from;
        return d > INT32_MAX ? INT32_MAX : d < INT32_MIN ? INT32_MIN : int32_t(d);
    };
    point->x = relative(point->x, origin.x);
    point->y = relative(point->y, origin.y);
    return true;
}

bool bringWindowToTop(WindowHandle handle) {
    WindowObject* w = live(handle);
    if (!w) return false;
    record("top %d", w->id);
    return true;
}

int windowScale(WindowHandle) {
    return 1;
}

int getSystemMetrics(int index) {
    switch (index) {
    case kSmSwapButton:
        return desktop().buttonsSwapped ? 1 : 0;
    case kSmCyDlgFrame:
        return desktop().dialogFrameHeight;
    default:
        return 0;
    }
}

bool getUpdateRect(WindowHandle handle, Box* updateRect) {
    WindowObject* w = live(handle);
    if (!w || !w->damaged) {
        if (updateRect) *updateRect = {};
        return false;
    }
    if (updateRect) *updateRect = w->damage;
    return true;
}

DeviceHandle beginPaint(WindowHandle handle, Box* paintRect) {
    WindowObject* w = live(handle);
    if (!w) return nullptr;
    Box damage = w->damaged ? w->damage : Box{};
    w->damaged = false;
    if (paintRect) *paintRect = damage;
    DeviceHandle device = soft::createSurfaceDevice(w->pixels);
    if (device) soft::setSystemClip(*device, damage);
    record("paint %d %d,%d,%d,%d", w->id, damage.left, damage.top, damage.right, damage.bottom);
    return device;
}

void endPaint(WindowHandle, DeviceHandle device) {
    if (device) deleteDevice(device);
}

DeviceHandle getWindowDevice(WindowHandle handle) {
    WindowObject* w = live(handle);
    return w ? soft::createSurfaceDevice(w->pixels) : nullptr;
}

void releaseWindowDevice(WindowHandle, DeviceHandle device) {
    if (device) deleteDevice(device);
}

CursorHandle getCursor() {
    return desktop().cursor;
}

CursorHandle setCursor(CursorHandle cursor) {
    record("cursor %d", cursor ? cursor->id : 0);
    return std::exchange(desktop().cursor, cursor);
}

CursorHandle loadSystemCursor(int id) {
    auto& slot = desktop().cursors[id];
    if (!slot) slot = std::make_unique<CursorObject>(CursorObject{id});
    return slot.get();
}

void oleInitialize() {
    ++desktop().oleDepth;
}
void oleUninitialize() {
    --desktop().oleDepth;
}

namespace headless {

void reset() {
    Desktop& d = desktop();
    while (!d.windows.empty())
        destroyWindow(d.windows.front().get());
    d = Desktop{};
}

WindowHandle createHostWindow(const char* className, uint32_t style, Box screenRect,
                              WindowHandle parent, Box clientInset) {
    Desktop& d = desktop();
    if (!d.classes.count(className)) d.classes[className] = WindowClass{className};
    return addWindow(className, nullptr, style, parent ? live(parent) : nullptr, screenRect,
                     clientInset, nullptr, Position{screenRect.left, screenRect.top});
}

SoftBitmap* surface(WindowHandle window) {
    WindowObject* w = live(window);
    return w ? w->pixels : nullptr;
}

uint32_t pixel(WindowHandle window, int x, int y) {
    SoftBitmap* s = surface(window);
    if (!s || x < 0 || y < 0 || x >= s->width || y >= s->height) return kInvalidColor;
    return s->at(x, y);
}

bool isWindow(WindowHandle window) {
    return live(window) != nullptr;
}

std::string title(WindowHandle window) {
    WindowObject* w = live(window);
    return w ? w->title : std::string();
}

int liveWindowCount() {
    return static_cast<int>(desktop().windows.size());
}
int registeredClassCount() {
    return static_cast<int>(desktop().classes.size());
}

} // namespace headless

} // namespace platform
