// The X11 windowing home: the editor's window is a real child of the host's X11 window. The
// toolkit draws on a soft-raster surface behind each window; what changed is pushed to the
// server through shared memory (MIT-SHM) where it can, else with XPutImage. Events are read
// from the thread's own display connection and turned into the messages the window
// procedure knows.

#include "platform/x11/x11_home.h"

#include "platform/soft/soft_objects.h"

#include <X11/cursorfont.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <utility>

namespace platform {

struct CursorObject {
    int id = 0;
};

namespace x11 {
namespace {

thread_local Connection home;
thread_local int trapDepth = 0;
thread_local unsigned long caughtErrors = 0;
// The handler that was in place before the outermost trap of any thread.
XErrorHandler chainedHandler = nullptr;
std::mutex handlerMutex;

int onXError(Display* display, XErrorEvent* error) {
    if (display == home.display) {
        ++caughtErrors;
        return 0;
    }
    // Errors of the host's own connections (read by this thread while our handler stands)
    // go where they would have gone.
    XErrorHandler chained = nullptr;
    {
        std::lock_guard lock(handlerMutex);
        chained = chainedHandler;
    }
    return chained ? chained(display, error) : 0;
}

void retireSurface(SoftBitmap* surface) {
    if (surface) deleteObject(surface);
}

void destroyImage(Display* display, Record& r) {
    if (!r.image) return;
    if (r.sharedMemory) {
        XShmDetach(display, &r.segment);
        XSync(display, False);
        shmdt(r.segment.shmaddr);
        r.image->data = nullptr; // not the C library's to free
        r.sharedMemory = false;
        r.segment = XShmSegmentInfo{};
    }
    XDestroyImage(r.image); // frees a plain image's pixel buffer too
    r.image = nullptr;
}

void freeRecordResources(Display* display, Record& r) {
    destroyImage(display, r);
    if (r.gc) {
        XFreeGC(display, r.gc);
        r.gc = nullptr;
    }
    retireSurface(std::exchange(r.pixels, nullptr));
    if (r.dropReceiver) {
        disableDrops(r);
        delete std::exchange(r.dropReceiver, nullptr);
    }
}

void closeConnection() {
    Connection& c = home;
    if (!c.display) return;
    for (auto& [id, record] : c.windows)
        freeRecordResources(c.display, *record);
    c.windows.clear();
    c.messages.clear();
    c.cursors.clear(); // freed with the connection
    XCloseDisplay(c.display);
    c.display = nullptr;
    c.root = 0;
}

// Xlib calls this where it would otherwise end the process: the connection is broken (the
// server gone, or the connection closed under us, as xkill does to the client owning a
// window). The host lives on; the home gives its windows up at the next reading of events.
void connectionLost(Display* display, void*) {
    if (home.display == display) home.lost = true;
}

// The I/O error handler is the process's: Xlib's default one ends the process before the
// exit handler above is asked. The home's own returns for its connections (the one of the
// thread where the error is read) and leaves every other connection to the handler there
// was, so the host's own display still ends the way the host chose.
XIOErrorHandler chainedIoHandler = nullptr;

int onIoError(Display* display) {
    if (home.display == display) return 0;
    if (chainedIoHandler) return chainedIoHandler(display);
    return 0;
}

void installIoErrorHandler() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        std::lock_guard lock(handlerMutex);
        XIOErrorHandler before = XSetIOErrorHandler(onIoError);
        if (before != onIoError) chainedIoHandler = before;
    });
}

bool openConnection() {
    Connection& c = home;
    if (c.display) return true;
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return false;
    c.display = XOpenDisplay(name);
    if (!c.display) return false;
    c.root = DefaultRootWindow(c.display);
    c.lost = false;
    installIoErrorHandler();
    XSetIOErrorExitHandler(c.display, &connectionLost, nullptr);
    return true;
}

int width(const Box& b) {
    return b.right - b.left;
}
int height(const Box& b) {
    return b.bottom - b.top;
}

Box clientBox(const Record& r) {
    return r.pixels ? Box{0, 0, r.pixels->width, r.pixels->height} : Box{};
}

void addDamage(Record& r, const Box& box) {
    const Box client = clientBox(r);
    const Box b{std::max(box.left, client.left), std::max(box.top, client.top),
                std::min(box.right, client.right), std::min(box.bottom, client.bottom)};
    if (b.left >= b.right || b.top >= b.bottom) return;
    if (!r.damaged) {
        r.damage = b;
        r.damaged = true;
    } else {
        r.damage = {std::min(r.damage.left, b.left), std::min(r.damage.top, b.top),
                    std::max(r.damage.right, b.right), std::max(r.damage.bottom, b.bottom)};
    }
}

// The server lost what it showed there: the next present pushes it again.
void forget(Record& r, const Box& box) {
    if (!r.pixels) return;
    const int w = r.pixels->width, h = r.pixels->height;
    for (int y = std::max(0, box.top); y < std::min(h, box.bottom); ++y)
        for (int x = std::max(0, box.left); x < std::min(w, box.right); ++x)
            r.shown[size_t(y) * size_t(w) + size_t(x)] = kUnknownPixel;
}

int lowestBit(unsigned long mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// A colour component of 8 bits placed into a visual's channel mask of any width.
unsigned long channel(uint32_t value8, unsigned long mask) {
    if (!mask) return 0;
    const int shift = lowestBit(mask);
    const unsigned long full = mask >> shift;
    return ((value8 * full + 127) / 255) << shift;
}

unsigned long toPixel(const Record& r, uint32_t color) {
    return channel(color & 0xFF, r.redMask) | channel((color >> 8) & 0xFF, r.greenMask) |
           channel((color >> 16) & 0xFF, r.blueMask) | r.alphaBits;
}

// An image in a memory segment shared with the server, attached; null when the server has no
// MIT-SHM or cannot attach it (a remote display, another IPC namespace), and the caller
// falls back to a plain image sent in the requests.
XImage* sharedImage(Display* display, Visual* visual, int depth, int w, int h,
                    XShmSegmentInfo& segment) {
    if (!XShmQueryExtension(display)) return nullptr;
    XImage* image = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr,
                                    &segment, static_cast<unsigned>(w), static_cast<unsigned>(h));
    if (!image) return nullptr;
    const size_t bytes = size_t(image->bytes_per_line) * size_t(image->height);
    segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (segment.shmid < 0) {
        XDestroyImage(image);
        return nullptr;
    }
    segment.shmaddr = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
    if (segment.shmaddr == reinterpret_cast<char*>(-1)) {
        shmctl(segment.shmid, IPC_RMID, nullptr);
        XDestroyImage(image);
        return nullptr;
    }
    image->data = segment.shmaddr;
    segment.readOnly = False;
    ErrorTrap trap;
    const bool attached = XShmAttach(display, &segment) && !trap.failed();
    // Marked for removal at once: the segment goes when both sides have let go, even if this
    // process ends without a word.
    shmctl(segment.shmid, IPC_RMID, nullptr);
    if (!attached) {
        shmdt(segment.shmaddr);
        image->data = nullptr;
        XDestroyImage(image);
        return nullptr;
    }
    return image;
}

// An image buffer and a surface of the window's size; false when memory is short.
bool sizeBuffers(Display* display, Record& r, int w, int h, int depth, Visual* visual) {
    SoftBitmap* fresh = soft::newBitmap(std::max(1, w), std::max(1, h), false);
    if (!fresh) return false;
    XShmSegmentInfo segment{};
    const int screenWidth = fresh->width * r.scale, screenHeight = fresh->height * r.scale;
    XImage* image = sharedImage(display, visual, depth, screenWidth, screenHeight, segment);
    const bool shared = image != nullptr;
    if (!image) {
        const size_t bytes = size_t(screenWidth) * size_t(screenHeight) * 4;
        char* data = static_cast<char*>(std::calloc(bytes, 1));
        image = data ? XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, data,
                                    static_cast<unsigned>(screenWidth),
                                    static_cast<unsigned>(screenHeight), 32, 0)
                     : nullptr;
        if (!image) std::free(data);
    }
    if (!image) {
        retireSurface(fresh);
        return false;
    }
    if (r.pixels) {
        for (int y = 0; y < std::min(fresh->height, r.pixels->height); ++y)
            for (int x = 0; x < std::min(fresh->width, r.pixels->width); ++x)
                fresh->at(x, y) = r.pixels->at(x, y);
    }
    retireSurface(std::exchange(r.pixels, fresh));
    destroyImage(display, r);
    r.image = image;
    r.sharedMemory = shared;
    r.segment = segment;
    // Xlib finds an image's segment through this pointer, made to the one built on the stack.
    if (shared) image->obdata = reinterpret_cast<char*>(&r.segment);
    r.shown.assign(size_t(fresh->width) * size_t(fresh->height), kUnknownPixel);
    return true;
}

// Pushes to the server the pixels within `region` that differ from what it shows.
void present(Record& r, const Box& region) {
    Connection& c = home;
    if (!c.display || !r.pixels || !r.image || !r.gc) return;
    const int w = r.pixels->width, h = r.pixels->height;
    Box changed{w, h, 0, 0};
    for (int y = std::max(0, region.top); y < std::min(h, region.bottom); ++y) {
        const uint32_t* now = &r.pixels->pixels[size_t(y) * size_t(w)];
        const uint32_t* was = &r.shown[size_t(y) * size_t(w)];
        for (int x = std::max(0, region.left); x < std::min(w, region.right); ++x) {
            if (now[x] == was[x]) continue;
            changed.left = std::min(changed.left, x);
            changed.right = std::max(changed.right, x + 1);
            changed.top = std::min(changed.top, y);
            changed.bottom = std::max(changed.bottom, y + 1);
        }
    }
    if (changed.left >= changed.right) return;
    const int n = r.scale;
    for (int y = changed.top; y < changed.bottom; ++y) {
        for (int x = changed.left; x < changed.right; ++x) {
            const uint32_t color = r.pixels->at(x, y);
            const unsigned long pixel = toPixel(r, color);
            for (int dy = 0; dy < n; ++dy)
                for (int dx = 0; dx < n; ++dx)
                    XPutPixel(r.image, x * n + dx, y * n + dy, pixel);
            r.shown[size_t(y) * size_t(w) + size_t(x)] = color;
        }
    }
    const Box onScreen{changed.left * n, changed.top * n, changed.right * n, changed.bottom * n};
    const auto w2 = static_cast<unsigned>(width(onScreen));
    const auto h2 = static_cast<unsigned>(height(onScreen));
    if (r.sharedMemory) {
        XShmPutImage(c.display, r.id, r.gc, r.image, onScreen.left, onScreen.top, onScreen.left,
                     onScreen.top, w2, h2, False);
        // The server reads the segment while it works through the request: it must be done
        // before the next present writes there.
        XSync(c.display, False);
    } else {
        XPutImage(c.display, r.id, r.gc, r.image, onScreen.left, onScreen.top, onScreen.left,
                  onScreen.top, w2, h2);
    }
}

intptr_t callProcedure(Window id, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    Record* r = findRecord(id);
    if (!r) return 0;
    if (!r->procedure) return defWindowProc(toHandle(id), message, wParam, lParam);
    ++home.procedureDepth;
    const Window outer = std::exchange(home.procedureWindow, id);
    const intptr_t result = r->procedure(toHandle(id), message, wParam, lParam);
    home.procedureWindow = outer;
    --home.procedureDepth;
    return result;
}

// The server destroyed one of our windows (its parent went): the procedure hears of it as
// it would from destroyWindow, and the record goes.
void windowGone(Window id) {
    if (!findRecord(id)) return;
    callProcedure(id, kWmDestroy, 0, 0);
    Connection& c = home;
    auto found = c.windows.find(id);
    if (found == c.windows.end()) return;
    freeRecordResources(c.display, *found->second);
    c.windows.erase(found);
    std::erase_if(c.messages, [&](const Message& m) { return m.window == id; });
}

// Screen pixels of a window to its client pixels: the client pixel each one shows.
int toClient(int screen, int scale) {
    return screen >= 0 ? screen / scale : -((-screen + scale - 1) / scale);
}

intptr_t packPosition(int x, int y) {
    return static_cast<intptr_t>((static_cast<uint32_t>(y) & 0xFFFF) << 16 |
                                 (static_cast<uint32_t>(x) & 0xFFFF));
}

void handleEvent(const XEvent& event) {
    Connection& c = home;
    switch (event.type) {
    case Expose: {
        Record* r = findRecord(event.xexpose.window);
        if (!r) break;
        const int n = r->scale;
        const Box box{toClient(event.xexpose.x, n), toClient(event.xexpose.y, n),
                      toClient(event.xexpose.x + event.xexpose.width + n - 1, n),
                      toClient(event.xexpose.y + event.xexpose.height + n - 1, n)};
        forget(*r, box);
        addDamage(*r, box);
        break;
    }
    case ButtonPress: {
        const XButtonEvent& b = event.xbutton;
        const Record* r = findRecord(b.window);
        if (!r) break;
        const uint32_t now = getTickCount();
        const int x = toClient(b.x, r->scale), y = toClient(b.y, r->scale);
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
    Connection& c = home;
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
    Connection& c = home;
    if (!c.display) return;
    while (c.display && !c.lost && XPending(c.display)) {
        XEvent event;
        XNextEvent(c.display, &event);
        handleEvent(event);
    }
    if (c.display && c.lost) abandonConnection();
}

bool takePendingPaint() {
    for (auto& [id, r] : home.windows) {
        if (r->damaged) {
            callProcedure(id, kWmPaint, 0, 0);
            return true;
        }
    }
    return false;
}

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
    Connection& c = home;
    if (!cursor) {
        XUndefineCursor(c.display, r.id);
        return;
    }
    Cursor& shape = c.cursors[cursor->id];
    if (!shape) shape = XCreateFontCursor(c.display, cursorShape(cursor->id));
    XDefineCursor(c.display, r.id, shape);
}

// A pointer position on the screen as the toolkit sees it. An enlarged window of ours keeps
// its origin there but spans only its client size (`getWindowRect`), so the pointer is
// placed against one window: the one whose procedure runs (a drag's loop, a wheel turn), else
// the enlarged one under the pointer, else the first enlarged one. Its offset from that
// window's origin is divided by the scale; without an enlarged window nothing changes.
Position onToolkitScreen(int x, int y) {
    Connection& c = home;
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
    return {originX + toClient(x - originX, chosen->scale),
            originY + toClient(y - originY, chosen->scale)};
}

bool queryPointer(int* rootX, int* rootY, unsigned* mask) {
    Connection& c = home;
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

Connection& connection() {
    return home;
}

bool presentsFromSharedMemory(WindowHandle window) {
    const Record* r = findRecord(toWindow(window));
    return r && r->sharedMemory;
}

Record* findRecord(Window id) {
    auto found = home.windows.find(id);
    return found == home.windows.end() ? nullptr : found->second.get();
}

ErrorTrap::ErrorTrap() : errorsBefore(caughtErrors) {
    if (trapDepth++ == 0) {
        std::lock_guard lock(handlerMutex);
        XErrorHandler before = XSetErrorHandler(onXError);
        if (before != onXError) chainedHandler = before;
    }
}

ErrorTrap::~ErrorTrap() {
    if (--trapDepth != 0) return;
    if (home.display) XSync(home.display, False);
    if (home.display && home.windows.empty()) closeConnection();
    std::lock_guard lock(handlerMutex);
    XSetErrorHandler(chainedHandler);
}

bool ErrorTrap::failed() {
    if (home.display) XSync(home.display, False);
    return caughtErrors != errorsBefore;
}

} // namespace x11

using x11::ErrorTrap;
using x11::findRecord;
using x11::home;
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
    x11::Connection& c = home;
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
    x11::Connection& c = home;
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
    x11::Connection& c = home;
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
    x11::Connection& c = home;
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
    } else if (home.display && handle) {
        ErrorTrap trap;
        XClassHint hint{};
        if (XGetClassHint(home.display, toWindow(handle), &hint)) {
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
    if (!handle || !home.display) return 0;
    return getParent(handle) ? kWsChild | kWsVisible : kWsCaption | kWsVisible;
}

bool setWindowSize(WindowHandle handle, int newWidth, int newHeight) {
    x11::Connection& c = home;
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
    x11::Connection& c = home;
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
    if (home.display) return x11::chooseScale(home.display);
    // No window of ours yet (a host asks for the editor's size before opening it): a short
    // connection of its own reads the server's resources.
    Display* display = XOpenDisplay(nullptr);
    const int n = x11::chooseScale(display);
    if (display) XCloseDisplay(display);
    return n;
}

bool bringWindowToTop(WindowHandle handle) {
    if (!home.display || !handle) return false;
    ErrorTrap trap;
    XRaiseWindow(home.display, toWindow(handle));
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

// --- paint

bool getUpdateRect(WindowHandle handle, Box* updateRect) {
    Record* r = findRecord(toWindow(handle));
    if (!r || !r->damaged) {
        if (updateRect) *updateRect = {};
        return false;
    }
    if (updateRect) *updateRect = r->damage;
    return true;
}

DeviceHandle beginPaint(WindowHandle handle, Box* paintRect) {
    Record* r = findRecord(toWindow(handle));
    if (!r) return nullptr;
    const Box damage = r->damaged ? r->damage : Box{};
    r->damaged = false;
    if (paintRect) *paintRect = damage;
    DeviceHandle device = soft::createSurfaceDevice(r->pixels);
    if (device) soft::setSystemClip(*device, damage);
    return device;
}

void endPaint(WindowHandle handle, DeviceHandle device) {
    if (device) deleteDevice(device);
    if (Record* r = findRecord(toWindow(handle))) {
        ErrorTrap trap;
        x11::present(*r, x11::clientBox(*r));
    }
}

DeviceHandle getWindowDevice(WindowHandle handle) {
    Record* r = findRecord(toWindow(handle));
    return r ? soft::createSurfaceDevice(r->pixels) : nullptr;
}

void releaseWindowDevice(WindowHandle handle, DeviceHandle device) {
    if (device) deleteDevice(device);
    if (Record* r = findRecord(toWindow(handle))) {
        ErrorTrap trap;
        x11::present(*r, x11::clientBox(*r));
    }
}

bool dispatchOnePendingPaint() {
    if (!home.display) return false;
    ErrorTrap trap;
    x11::readEvents();
    return x11::takePendingPaint();
}

bool removePendingLeftButtonDown() {
    if (!home.display) return false;
    ErrorTrap trap;
    x11::readEvents();
    auto& messages = home.messages;
    auto found = std::find_if(messages.begin(), messages.end(),
                              [](const x11::Message& m) { return m.message == kWmLButtonDown; });
    if (found == messages.end()) return false;
    messages.erase(found);
    return true;
}

void pumpEvents() {
    if (!home.display) return;
    ErrorTrap trap;
    x11::readEvents();
    // A message loop does not run inside a window procedure: during a drag the events are
    // only read, and the loop's idle pump takes the paints.
    if (home.procedureDepth > 0) return;
    while (home.display && !home.messages.empty()) {
        const x11::Message m = home.messages.front();
        home.messages.pop_front();
        home.messageTime = m.time;
        x11::callProcedure(m.window, m.message, m.wParam, m.lParam);
    }
    while (home.display && x11::takePendingPaint()) {
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
    return home.messageTime;
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

// --- cursors

CursorHandle getCursor() {
    return x11::currentCursor;
}

CursorHandle setCursor(CursorHandle cursor) {
    CursorHandle previous = std::exchange(x11::currentCursor, cursor);
    if (home.display) {
        ErrorTrap trap;
        for (auto& [id, r] : home.windows)
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
