// The X11 windowing home's windows: the editor's window is a real child of the host's X11
// window. The class table, the window records of this thread, the tree and geometry as the
// toolkit asks for them, cursors, and the registering of drop targets.

#include "platform/x11/x11_home.h"

#include "platform/soft/soft_objects.h"

#include <X11/cursorfont.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

namespace platform {

struct CursorObject {
    int id = 0;
};

namespace x11 {
namespace {

struct ClassTable {
    std::mutex mutex;
    std::map<std::string, WindowClass> classes;
};

ClassTable& classTable() {
    static ClassTable table;
    return table;
}

bool findClass(const char* name, WindowClass* out) {
    if (!name) return false;
    ClassTable& t = classTable();
    std::lock_guard lock(t.mutex);
    auto found = t.classes.find(name);
    if (found == t.classes.end()) return false;
    *out = found->second;
    return true;
}

CursorHandle currentCursor = nullptr;

unsigned cursorShape(int id) {
    switch (id) {
    case kCursorWait:
        return XC_watch;
    case kCursorSizeNwse:
        return XC_bottom_right_corner;
    case kCursorSizeNesw:
        return XC_bottom_left_corner;
    case kCursorSizeWe:
        return XC_sb_h_double_arrow;
    case kCursorSizeNs:
        return XC_sb_v_double_arrow;
    case kCursorSizeAll:
        return XC_fleur;
    default:
        return XC_left_ptr;
    }
}

void applyCursor(Record& r, CursorHandle cursor) {
    Connection& c = connection();
    if (!cursor) {
        XUndefineCursor(c.display, r.id);
        return;
    }
    Cursor& shape = c.cursors[cursor->id];
    if (!shape) shape = XCreateFontCursor(c.display, cursorShape(cursor->id));
    XDefineCursor(c.display, r.id, shape);
}

} // namespace
} // namespace x11

using x11::connection;
using x11::ErrorTrap;
using x11::findRecord;
using x11::Record;
using x11::toHandle;
using x11::toWindow;

// --- classes and windows

bool registerClass(const WindowClass& windowClass) {
    if (!windowClass.name) return false;
    auto& t = x11::classTable();
    std::lock_guard lock(t.mutex);
    return t.classes.emplace(windowClass.name, windowClass).second;
}

bool unregisterClass(const char* name, ModuleHandle) {
    if (!name) return false;
    auto& t = x11::classTable();
    std::lock_guard lock(t.mutex);
    return t.classes.erase(name) != 0;
}

WindowHandle createWindow(const char* className, const char* title, uint32_t style, int x, int y,
                          int w, int h, WindowHandle parent, ModuleHandle) {
    WindowClass windowClass;
    // The home makes children of a host's window only.
    if (!x11::findClass(className, &windowClass) || !parent || w <= 0 || h <= 0) return nullptr;
    if (!x11::openConnection()) return nullptr;
    x11::Connection& c = connection();
    ErrorTrap trap;
    const Window parentId = toWindow(parent);
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(c.display, parentId, &attributes) || trap.failed()) return nullptr;
    Visual* visual = attributes.visual;
    if (!visual || visual->c_class != TrueColor) return nullptr;

    const int n = x11::chooseScale(c.display);
    XSetWindowAttributes set{};
    set.event_mask = ExposureMask | ButtonPressMask | StructureNotifyMask;
    set.background_pixmap = None;
    set.border_pixel = 0;
    set.colormap = attributes.colormap;
    const Window id =
        XCreateWindow(c.display, parentId, x * n, y * n, static_cast<unsigned>(w * n),
                      static_cast<unsigned>(h * n), 0, attributes.depth, InputOutput, visual,
                      CWEventMask | CWBackPixmap | CWBorderPixel | CWColormap, &set);
    if (!id || trap.failed()) {
        if (id) XDestroyWindow(c.display, id);
        return nullptr;
    }
    auto record = std::make_unique<Record>();
    record->id = id;
    record->className = className;
    record->style = style;
    record->procedure = windowClass.procedure;
    record->scale = n;
    record->redMask = visual->red_mask;
    record->greenMask = visual->green_mask;
    record->blueMask = visual->blue_mask;
    // Bits of a deeper visual that are no colour (alpha) are set: the window is opaque.
    const unsigned long depthMask =
        attributes.depth >= 32 ? 0xFFFFFFFFul : (1ul << attributes.depth) - 1;
    record->alphaBits = depthMask & ~(visual->red_mask | visual->green_mask | visual->blue_mask);
    record->gc = XCreateGC(c.display, id, 0, nullptr);
    if (!record->gc || !x11::sizeBuffers(c.display, *record, w, h, attributes.depth, visual)) {
        x11::freeRecordResources(c.display, *record);
        XDestroyWindow(c.display, id);
        return nullptr;
    }
    if (title) XStoreName(c.display, id, title);
    if (style & kWsVisible) {
        XMapWindow(c.display, id);
        x11::addDamage(*record, x11::clientBox(*record));
    }
    if (x11::currentCursor) x11::applyCursor(*record, x11::currentCursor);
    if (trap.failed()) {
        x11::freeRecordResources(c.display, *record);
        XDestroyWindow(c.display, id);
        return nullptr;
    }
    c.windows.emplace(id, std::move(record));
    return toHandle(id);
}

bool destroyWindow(WindowHandle handle) {
    x11::Connection& c = connection();
    const Window id = toWindow(handle);
    if (!findRecord(id)) return false;
    ErrorTrap trap;
    // Children of ours first, as the system does.
    for (;;) {
        Window child = 0;
        for (auto& [candidate, r] : c.windows) {
            Window rootReturn = 0, parentReturn = 0, *children = nullptr;
            unsigned count = 0;
            if (XQueryTree(c.display, candidate, &rootReturn, &parentReturn, &children, &count)) {
                if (children) XFree(children);
                if (parentReturn == id) {
                    child = candidate;
                    break;
                }
            }
        }
        if (!child) break;
        destroyWindow(toHandle(child));
    }
    x11::callProcedure(id, kWmDestroy, 0, 0);
    auto found = c.windows.find(id);
    if (found == c.windows.end()) return true;
    std::unique_ptr<Record> record = std::move(found->second);
    c.windows.erase(found);
    std::erase_if(c.messages, [&](const x11::Message& m) { return m.window == id; });
    x11::freeRecordResources(c.display, *record);
    // The window may already be gone with the host's: the trap takes the error.
    XDestroyWindow(c.display, id);
    return true;
}

intptr_t defWindowProc(WindowHandle handle, uint32_t message, uintptr_t, intptr_t) {
    Record* r = findRecord(toWindow(handle));
    if (r && message == kWmPaint) r->damaged = false;
    return 0;
}

intptr_t setWindowUserData(WindowHandle handle, intptr_t value) {
    Record* r = findRecord(toWindow(handle));
    return r ? std::exchange(r->userData, value) : 0;
}

intptr_t getWindowUserData(WindowHandle handle) {
    Record* r = findRecord(toWindow(handle));
    return r ? r->userData : 0;
}

// --- tree and geometry

bool getWindowRect(WindowHandle handle, Box* screenRect) {
    x11::Connection& c = connection();
    if (!c.display || !handle || !screenRect) return false;
    ErrorTrap trap;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(c.display, toWindow(handle), &attributes)) return false;
    int x = 0, y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(c.display, toWindow(handle), c.root, 0, 0, &x, &y, &child))
        return false;
    if (trap.failed()) return false;
    // An enlarged window of ours spans its client size from its origin: a position read from
    // `getCursorPos` less this origin is the client pixel under the pointer.
    const Record* r = findRecord(toWindow(handle));
    const int n = r ? r->scale : 1;
    *screenRect = {x, y, x + attributes.width / n, y + attributes.height / n};
    return true;
}

WindowHandle getParent(WindowHandle handle) {
    x11::Connection& c = connection();
    if (!c.display || !handle) return nullptr;
    ErrorTrap trap;
    Window rootReturn = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(c.display, toWindow(handle), &rootReturn, &parent, &children, &count))
        return nullptr;
    if (children) XFree(children);
    // A top-level window has no parent, as on the system whose calls these are.
    if (trap.failed() || parent == rootReturn) return nullptr;
    return toHandle(parent);
}

int getClassName(WindowHandle handle, char* name, int capacity) {
    if (!name || capacity <= 0) return 0;
    name[0] = 0;
    std::string found;
    if (Record* r = findRecord(toWindow(handle))) {
        found = r->className;
    } else if (connection().display && handle) {
        ErrorTrap trap;
        XClassHint hint{};
        if (XGetClassHint(connection().display, toWindow(handle), &hint)) {
            if (hint.res_class) found = hint.res_class;
            if (hint.res_name) XFree(hint.res_name);
            if (hint.res_class) XFree(hint.res_class);
        }
    }
    const int length = std::min(static_cast<int>(found.size()), capacity - 1);
    std::memcpy(name, found.data(), static_cast<size_t>(length));
    name[length] = 0;
    return length;
}

uint32_t getWindowStyle(WindowHandle handle) {
    if (Record* r = findRecord(toWindow(handle))) return r->style;
    // A host's window: a top-level one carries the window manager's caption.
    if (!handle || !connection().display) return 0;
    return getParent(handle) ? kWsChild | kWsVisible : kWsCaption | kWsVisible;
}

bool setWindowSize(WindowHandle handle, int newWidth, int newHeight) {
    x11::Connection& c = connection();
    if (!c.display || !handle || newWidth <= 0 || newHeight <= 0) return false;
    ErrorTrap trap;
    const Window id = toWindow(handle);
    Record* r = findRecord(id);
    if (r) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(c.display, id, &attributes) || trap.failed()) return false;
        const Box before = x11::clientBox(*r);
        if (!x11::sizeBuffers(c.display, *r, newWidth, newHeight, attributes.depth,
                              attributes.visual))
            return false;
        const Box after = x11::clientBox(*r);
        if (after.right > before.right)
            x11::addDamage(*r, {before.right, 0, after.right, after.bottom});
        if (after.bottom > before.bottom)
            x11::addDamage(*r, {0, before.bottom, after.right, after.bottom});
    }
    const int n = r ? r->scale : 1;
    XResizeWindow(c.display, id, static_cast<unsigned>(newWidth * n),
                  static_cast<unsigned>(newHeight * n));
    return !trap.failed();
}

bool screenToClient(WindowHandle handle, Position* point) {
    x11::Connection& c = connection();
    if (!point || !c.display || !handle) return false;
    ErrorTrap trap;
    int x = 0, y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(c.display, c.root, toWindow(handle), point->x, point->y, &x, &y,
                               &child) ||
        trap.failed())
        return false;
    // An enlarged window of ours spans its client size from its origin on the screen the
    // toolkit sees (`getWindowRect`, `getCursorPos`).
    if (const Record* r = findRecord(toWindow(handle)); r && r->scale > 1) {
        int originX = 0, originY = 0;
        if (!XTranslateCoordinates(c.display, toWindow(handle), c.root, 0, 0, &originX, &originY,
                                   &child) ||
            trap.failed())
            return false;
        x = point->x - originX;
        y = point->y - originY;
    }
    point->x = x;
    point->y = y;
    return true;
}

int windowScale(WindowHandle handle) {
    if (const Record* r = findRecord(toWindow(handle))) return r->scale;
    if (connection().display) return x11::chooseScale(connection().display);
    // No window of ours yet (a host asks for the editor's size before opening it): a short
    // connection of its own reads the server's resources.
    Display* display = XOpenDisplay(nullptr);
    const int n = x11::chooseScale(display);
    if (display) XCloseDisplay(display);
    return n;
}

bool bringWindowToTop(WindowHandle handle) {
    if (!connection().display || !handle) return false;
    ErrorTrap trap;
    XRaiseWindow(connection().display, toWindow(handle));
    return !trap.failed();
}

int getSystemMetrics(int index) {
    switch (index) {
    case kSmSwapButton:
        // The server's button masks already follow the pointer mapping.
        return 0;
    case kSmCyDlgFrame:
        // The frame width the sizing walk allows for, as on the system of its origin: the
        // walk then climbs the host's windows until one is much larger than the editor.
        return 3;
    default:
        return 0;
    }
}

// --- cursors

CursorHandle getCursor() {
    return x11::currentCursor;
}

CursorHandle setCursor(CursorHandle cursor) {
    CursorHandle previous = std::exchange(x11::currentCursor, cursor);
    if (connection().display) {
        ErrorTrap trap;
        for (auto& [id, r] : connection().windows)
            x11::applyCursor(*r, cursor);
    }
    return previous;
}

CursorHandle loadSystemCursor(int id) {
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<CursorObject>> cursors;
    std::lock_guard lock(mutex);
    auto& slot = cursors[id];
    if (!slot) slot = std::make_unique<CursorObject>(CursorObject{id});
    return slot.get();
}

// --- object linking and drag and drop

void oleInitialize() {}
void oleUninitialize() {}

bool registerDragDrop(WindowHandle handle, DropReceiver* receiver) {
    Record* r = findRecord(toWindow(handle));
    if (!r || !receiver || r->dropReceiver) return false;
    ErrorTrap trap;
    r->dropReceiver = receiver;
    x11::enableDrops(*r);
    return true;
}

bool revokeDragDrop(WindowHandle handle) {
    Record* r = findRecord(toWindow(handle));
    if (!r || !r->dropReceiver) return false;
    ErrorTrap trap;
    x11::disableDrops(*r);
    delete std::exchange(r->dropReceiver, nullptr);
    return true;
}

} // namespace platform
