// The X11 home's pixels: the toolkit draws on a soft-raster surface behind each window, and
// what changed is pushed to the server through shared memory (MIT-SHM) where it can, else
// with XPutImage, converted to the visual's channel layout and enlarged by the window's scale.

#include "platform/x11/x11_home.h"

#include "platform/soft/soft_objects.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace platform {
namespace x11 {
namespace {

void retireSurface(SoftBitmap* surface) {
    if (surface) deleteObject(surface);
}

int width(const Box& b) {
    return b.right - b.left;
}
int height(const Box& b) {
    return b.bottom - b.top;
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

} // namespace

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

void forget(Record& r, const Box& box) {
    if (!r.pixels) return;
    const int w = r.pixels->width, h = r.pixels->height;
    for (int y = std::max(0, box.top); y < std::min(h, box.bottom); ++y)
        for (int x = std::max(0, box.left); x < std::min(w, box.right); ++x)
            r.shown[size_t(y) * size_t(w) + size_t(x)] = kUnknownPixel;
}

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
    describePixels(r.writer, image, r.redMask, r.greenMask, r.blueMask, r.alphaBits);
    r.sharedMemory = shared;
    r.segment = segment;
    // Xlib finds an image's segment through this pointer, made to the one built on the stack.
    if (shared) image->obdata = reinterpret_cast<char*>(&r.segment);
    r.shown.assign(size_t(fresh->width) * size_t(fresh->height), kUnknownPixel);
    return true;
}

void present(Record& r, const Box& region) {
    Connection& c = connection();
    if (!c.display || !r.pixels || !r.image || !r.gc) return;
    const int w = r.pixels->width, h = r.pixels->height;
    Box changed{w, h, 0, 0};
    const int left = std::max(0, region.left), right = std::min(w, region.right);
    for (int y = std::max(0, region.top); y < std::min(h, region.bottom); ++y) {
        const uint32_t* now = &r.pixels->pixels[size_t(y) * size_t(w)];
        const uint32_t* was = &r.shown[size_t(y) * size_t(w)];
        // Most rows are as shown: one comparison of the whole row (the C library's, many pixels
        // at a time) passes them. Of the others the first and the last pixel that differ count;
        // those between need no look.
        if (left >= right ||
            std::memcmp(now + left, was + left, size_t(right - left) * sizeof(uint32_t)) == 0)
            continue;
        int first = left;
        while (now[first] == was[first])
            ++first;
        int last = right - 1;
        while (now[last] == was[last])
            --last;
        changed.left = std::min(changed.left, first);
        changed.right = std::max(changed.right, last + 1);
        changed.top = std::min(changed.top, y);
        changed.bottom = std::max(changed.bottom, y + 1);
    }
    if (changed.left >= changed.right) return;
    const int n = r.scale;
    for (int y = changed.top; y < changed.bottom; ++y) {
        const size_t row = size_t(y) * size_t(w);
        const uint32_t* now = &r.pixels->pixels[row];
        writeRow(r.image, r.writer, now, changed.left, changed.right, y, n);
        std::memcpy(&r.shown[row + size_t(changed.left)], now + changed.left,
                    size_t(changed.right - changed.left) * sizeof(uint32_t));
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

bool presentsFromSharedMemory(WindowHandle window) {
    const Record* r = findRecord(toWindow(window));
    return r && r->sharedMemory;
}

} // namespace x11

using x11::connection;
using x11::ErrorTrap;
using x11::findRecord;
using x11::Record;
using x11::toWindow;

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

} // namespace platform
