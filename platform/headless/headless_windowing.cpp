// The headless windowing home: every window, message and input state lives in memory and is
// driven by the test or program that uses it.

#include "platform/headless/headless.h"
#include "platform/soft/soft_objects.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <utility>

namespace platform {

// A window's pixels are a surface of the soft home. Like a window's device context on the
// system, a device made for the window keeps working when the window is resized or destroyed
// while the device is still in use: the surface it draws on is retired, not freed, and goes
// with the last device that uses it.
namespace {
void retireSurface(SoftBitmap* surface) {
    if (surface) deleteObject(surface);
}
} // namespace

struct WindowObject {
    WindowObject() = default;
    ~WindowObject() { retireSurface(pixels); }
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

namespace {

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

    headless::InputState input;
    std::deque<headless::InputState> script;
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

Desktop& desktop() {
    static Desktop d;
    return d;
}

void record(const char* format, ...) __attribute__((format(printf, 1, 2)));
void record(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    desktop().events.emplace_back(line);
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

void makeCurrent(const headless::InputState& state) {
    Desktop& d = desktop();
    d.input = state;
    d.ticks += state.advanceMs;
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

bool registerDragDrop(WindowHandle handle, DropReceiver* receiver) {
    WindowObject* w = live(handle);
    if (!w || !receiver || w->dropReceiver) return false;
    w->dropReceiver = receiver;
    record("drop on %d", w->id);
    return true;
}

bool revokeDragDrop(WindowHandle handle) {
    WindowObject* w = live(handle);
    if (!w || !w->dropReceiver) return false;
    delete std::exchange(w->dropReceiver, nullptr);
    record("drop off %d", w->id);
    return true;
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

namespace {

class ScriptedDropData : public DropData {
public:
    explicit ScriptedDropData(const ScriptedDrop& script) : script(script) {}
    bool canSupplyText() override { return script.offersText; }
    bool canSupplyFiles() override { return script.offersFiles; }
    bool fetchText(const char** text, std::size_t* size) override {
        if (!script.offersText || script.textFetchFails) return false;
        *text = script.textWithoutMemory ? nullptr : script.text.data();
        *size = script.textWithoutMemory ? 0 : script.text.size();
        return true;
    }
    int fetchFileCount() override {
        if (!script.offersFiles || script.filesFetchFail) return -1;
        return static_cast<int>(script.files.size());
    }
    bool fetchFileName(int index, char* name, int capacity) override {
        if (index < 0 || std::size_t(index) >= script.files.size() || capacity <= 0) return false;
        if (std::find(script.failingNames.begin(), script.failingNames.end(), index) !=
            script.failingNames.end())
            return false;
        const std::string& file = script.files[std::size_t(index)];
        const std::size_t length = std::min(file.size(), std::size_t(capacity - 1));
        std::copy_n(file.data(), length, name);
        name[length] = 0;
        return true;
    }

private:
    const ScriptedDrop& script;
};

bool endsWithLnk(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.size() - dot != 4) return false;
    std::string extension = name.substr(dot);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".lnk";
}

} // namespace

int dragEnter(WindowHandle window, const ScriptedDrop* script, uint32_t keyState) {
    WindowObject* w = live(window);
    if (!w || !w->dropReceiver) return -1;
    if (!script) return static_cast<int>(w->dropReceiver->dragEnter(nullptr, keyState));
    ScriptedDropData data(*script);
    return static_cast<int>(w->dropReceiver->dragEnter(&data, keyState));
}

int dragOver(WindowHandle window, uint32_t keyState) {
    WindowObject* w = live(window);
    if (!w || !w->dropReceiver) return -1;
    return static_cast<int>(w->dropReceiver->dragOver(keyState));
}

bool dragLeave(WindowHandle window) {
    WindowObject* w = live(window);
    if (!w || !w->dropReceiver) return false;
    w->dropReceiver->dragLeave();
    return true;
}

bool drop(WindowHandle window, const ScriptedDrop& script, uint32_t keyState) {
    WindowObject* w = live(window);
    if (!w || !w->dropReceiver) return false;
    ScriptedDropData data(script);
    w->dropReceiver->drop(&data, keyState);
    return true;
}

bool dropText(WindowHandle window, const std::string& text) {
    ScriptedDrop script;
    script.offersText = true;
    script.text = text;
    if (dragEnter(window, &script, kMkLButton) < 0) return false;
    return drop(window, script, kMkLButton);
}

bool dropFiles(WindowHandle window, const std::vector<std::string>& names) {
    ScriptedDrop script;
    script.offersFiles = true;
    script.files = names;
    if (dragEnter(window, &script, kMkLButton) < 0) return false;
    return drop(window, script, kMkLButton);
}

void setShortcut(const std::string& name, const std::string& target) {
    if (target.empty())
        desktop().shortcuts.erase(name);
    else
        desktop().shortcuts[name] = target;
}

bool isDropRegistered(WindowHandle window) {
    WindowObject* w = live(window);
    return w && w->dropReceiver;
}

int currentCursorId() {
    return desktop().cursor ? desktop().cursor->id : 0;
}
int oleInitializeDepth() {
    return desktop().oleDepth;
}
const std::vector<std::string>& events() {
    return desktop().events;
}
void clearEvents() {
    desktop().events.clear();
}

} // namespace headless

void resolveShortcut(char* name, int capacity) {
    if (!name || capacity <= 0) return;
    const std::string shortcut(name, strnlen(name, std::size_t(capacity)));
    if (!headless::endsWithLnk(shortcut)) return;
    const auto found = desktop().shortcuts.find(shortcut);
    if (found == desktop().shortcuts.end()) return;
    const std::size_t length = std::min(found->second.size(), std::size_t(capacity - 1));
    std::copy_n(found->second.data(), length, name);
    name[length] = 0;
}

} // namespace platform
