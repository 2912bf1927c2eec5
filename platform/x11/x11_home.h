#pragma once
// Inside the X11 windowing home: the thread's display connection, the records of the windows
// it made, and the error trap every batch of requests runs under. Only the files of
// `platform/x11` include this (it brings in Xlib, whose macros must not reach other code).
#include "platform/windowing.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {
struct SoftBitmap;
}

namespace platform::x11 {

// Window handles of this home are X window ids: the host's windows and ours alike.
inline WindowHandle toHandle(Window id) {
    return reinterpret_cast<WindowHandle>(static_cast<uintptr_t>(id));
}
inline Window toWindow(WindowHandle handle) {
    return static_cast<Window>(reinterpret_cast<uintptr_t>(handle));
}

// One window this home created.
// How colours become the pixels of a window's image (x11_pixels.cpp): the pixel bits of each
// 8-bit level of each channel (the alpha bits folded into red), and the bytes per pixel when
// rows are written straight into the image (32, 24 or 16 bits, ZPixmap), 0 for XPutPixel.
struct PixelWriter {
    unsigned long red[256] = {}, green[256] = {}, blue[256] = {};
    int bytesPerPixel = 0;
    bool mostSignificantFirst = false;
};
void describePixels(PixelWriter& writer, const XImage* image, unsigned long redMask,
                    unsigned long greenMask, unsigned long blueMask, unsigned long alphaBits);
// Writes colors[x0..x1) of client row y into the image, each as scale x scale pixels, the
// same bytes XPutPixel would write.
void writeRow(XImage* image, const PixelWriter& writer, const uint32_t* colors, int x0, int x1,
              int y, int scale);

struct Record {
    Window id = 0;
    std::string className;
    uint32_t style = 0;
    WindowProc procedure = nullptr;
    intptr_t userData = 0;
    // What the toolkit draws on, and what the server was last shown of it (a pixel of
    // `kUnknownPixel` is not known to be on the screen and is pushed at the next present).
    SoftBitmap* pixels = nullptr;
    std::vector<uint32_t> shown;
    bool damaged = false;
    Box damage; // client coordinates
    GC gc = nullptr;
    XImage* image = nullptr;
    // The image lives in memory shared with the server (MIT-SHM) when it offers that.
    bool sharedMemory = false;
    XShmSegmentInfo segment{};
    unsigned long redMask = 0, greenMask = 0, blueMask = 0, alphaBits = 0;
    // Made with the image, from the masks above.
    PixelWriter writer;
    DropReceiver* dropReceiver = nullptr;
    // Each client pixel is shown as scale x scale pixels of the screen (`windowScale`); the
    // surface, `shown` and `damage` are in client pixels, the window and `image` in the
    // screen's.
    int scale = 1;
};

inline constexpr uint32_t kUnknownPixel = 0xFF000000u;

struct Message {
    Window window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    uint32_t time;
};

// The display connection of one thread, shared by every editor window of that thread and
// opened with its first window, closed when the last one goes.
struct Connection {
    Display* display = nullptr;
    Window root = 0;
    std::map<Window, std::unique_ptr<Record>> windows;
    std::deque<Message> messages;
    std::map<int, Cursor> cursors;
    uint32_t messageTime = 0;
    // Window procedures running on this thread: while one runs, the pump only reads events.
    int procedureDepth = 0;
    // The window whose procedure runs innermost (0 when none).
    Window procedureWindow = 0;
    // The connection broke (the server went, or a client killer closed it): nothing more can
    // be asked of the server, and the windows are given up when events are next read.
    bool lost = false;
};

Connection& connection();
// The factor a window made now on `display` is enlarged by (x11_scale.cpp); the environment
// alone decides without a display.
int chooseScale(Display* display);
Record* findRecord(Window id);

// Runs a batch of requests under the home's own error handler: every error the server
// answers to them is caught (and noted) instead of reaching the process's handler, whose
// default ends the program. The outermost trap waits for the server's answers (XSync), puts
// the previous handler back and closes the connection when no window of the home is left.
class ErrorTrap {
public:
    ErrorTrap();
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    // Waits for the answers so far; true when one of them since the trap began was an error.
    bool failed();

private:
    unsigned long errorsBefore;
};

// The thread's connection, opened on demand (false without a display); closed with every
// window's resources (x11_connection.cpp).
bool openConnection();
void closeConnection();

// The pixels of a window (x11_present.cpp). The surface's box in client pixels.
Box clientBox(const Record& r);
// Adds a box of client pixels to what the next paint redraws.
void addDamage(Record& r, const Box& box);
// The server lost what it showed there: the next present pushes it again.
void forget(Record& r, const Box& box);
// An image buffer and a surface of the window's size; false when memory is short.
bool sizeBuffers(Display* display, Record& r, int w, int h, int depth, Visual* visual);
// Pushes to the server the pixels within `region` that differ from what it shows.
void present(Record& r, const Box& region);
// Frees the image, the graphics context, the surface and the drop receiver of a window.
void freeRecordResources(Display* display, Record& r);

// Events and messages (x11_events.cpp). Calls the window's procedure as the innermost one.
intptr_t callProcedure(Window id, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Whether the window's pixels reach the server through shared memory (MIT-SHM) rather than
// in the requests themselves.
bool presentsFromSharedMemory(WindowHandle window);

// The drag-and-drop half (x11_dnd.cpp): marks a window as a drop target or no longer one,
// and handles the protocol's client messages (true when the event was one of them).
void enableDrops(Record& record);
void disableDrops(Record& record);
bool handleDndEvent(const XEvent& event);
// The path a `file://` URI names, decoded; false for anything else.
bool pathFromUri(const std::string& uri, std::string* path);
// The lines of a URI list that name something.
std::vector<std::string> uriLines(const std::string& list);

} // namespace platform::x11
