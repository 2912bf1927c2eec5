#include "platform/win32/win32_enlarged.h"

#include "platform/win32/top_down_bitmap.h"
#include "platform/window_scale.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace platform::win32 {

namespace {

// TROB_SCALE as a whole number held to 1..4; 0 when unset or not a number. Read from the
// process's environment block, so a host that sets it at run time is heard too.
int scaleFromEnvironment() {
    char text[32];
    const DWORD length = GetEnvironmentVariableA("TROB_SCALE", text, sizeof text);
    if (length == 0 || length >= sizeof text) return 0;
    return scaleFromText(text);
}

// GetDpiForWindow came with Windows 10 (1607): looked up, so that the library still loads
// where it is missing.
UINT dpiOfWindow(HWND window) {
    using DpiForWindowCall = UINT(WINAPI*)(HWND);
    HMODULE user = GetModuleHandleA("user32.dll");
    if (!user || !window) return 0;
    const auto call = reinterpret_cast<DpiForWindowCall>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")));
    return call ? call(window) : 0;
}

struct Device {
    HDC device = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ prior = nullptr;
    // The pixels it was made on; a resize since then leaves it drawing on pixels no longer
    // shown.
    unsigned generation = 0;
};

struct Enlarged {
    HWND window = nullptr; // null once the window is gone and only its devices remain
    DWORD thread = 0;
    WNDPROC procedure = nullptr;
    int scale = 1;
    int width = 0, height = 0;
    unsigned generation = 0;
    // The client pixels (32-bit, top-down): a mapping every device's section views, so that
    // the devices handed out at once all draw on the same pixels, as on a window's.
    HANDLE section = nullptr;
    std::uint32_t* pixels = nullptr;
    // What the screen shows, one value per client pixel.
    std::vector<std::uint32_t> shown;
    // The enlarged picture that is copied to the window.
    HDC screenDevice = nullptr;
    HBITMAP screenBitmap = nullptr;
    HGDIOBJ screenPrior = nullptr;
    std::uint32_t* screenPixels = nullptr;
    // Client pixels the screen lost (exposed, or never shown): presented whatever they hold.
    Box lost{};
    std::vector<Device> devices;
};

std::mutex tableLock;
// The enlarged windows of the process, and windows gone whose devices are still held.
std::vector<Enlarged*>& table() {
    static std::vector<Enlarged*> windows;
    return windows;
}

// The window whose procedure runs innermost on this thread.
thread_local HWND procedureWindow = nullptr;

Enlarged* find(HWND window) {
    if (!window) return nullptr;
    for (Enlarged* e : table())
        if (e->window == window) return e;
    return nullptr;
}

bool isEmpty(const Box& b) {
    return b.left >= b.right || b.top >= b.bottom;
}

Box joined(const Box& a, const Box& b) {
    if (isEmpty(a)) return b;
    if (isEmpty(b)) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

void freePixels(Enlarged& e) {
    if (e.screenDevice) {
        if (e.screenPrior) SelectObject(e.screenDevice, e.screenPrior);
        DeleteDC(e.screenDevice);
    }
    if (e.screenBitmap) DeleteObject(e.screenBitmap);
    if (e.pixels) UnmapViewOfFile(e.pixels);
    if (e.section) CloseHandle(e.section);
    e.screenDevice = nullptr;
    e.screenBitmap = nullptr;
    e.screenPrior = nullptr;
    e.screenPixels = nullptr;
    e.pixels = nullptr;
    e.section = nullptr;
}

// Client pixels of width x height and their enlarged picture; false, with `e` unchanged,
// when they cannot be had.
bool makePixels(Enlarged& e, int width, int height) {
    Enlarged fresh;
    const int n = e.scale;
    const std::size_t count = std::size_t(width) * std::size_t(height);
    const std::uint64_t bytes = std::uint64_t(count) * 4;
    std::vector<std::uint32_t> shown;
    try {
        shown.assign(count, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    fresh.section = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                       static_cast<DWORD>(bytes >> 32),
                                       static_cast<DWORD>(bytes & 0xFFFFFFFFu), nullptr);
    if (fresh.section)
        fresh.pixels =
            static_cast<std::uint32_t*>(MapViewOfFile(fresh.section, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    fresh.screenDevice = CreateCompatibleDC(nullptr);
    const BITMAPINFO info = topDownBitmapInfo(width * n, height * n);
    void* bits = nullptr;
    if (fresh.screenDevice)
        fresh.screenBitmap =
            CreateDIBSection(fresh.screenDevice, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (fresh.screenBitmap)
        fresh.screenPrior = SelectObject(fresh.screenDevice, fresh.screenBitmap);
    fresh.screenPixels = static_cast<std::uint32_t*>(bits);
    if (!fresh.pixels || !fresh.screenPixels || !fresh.screenPrior) {
        freePixels(fresh);
        return false;
    }
    // The pixels both sizes have keep their values, the new ones are the class's empty black.
    for (int y = 0; y < std::min(height, e.height) && e.pixels; ++y)
        std::copy_n(e.pixels + std::size_t(y) * std::size_t(e.width), std::min(width, e.width),
                    fresh.pixels + std::size_t(y) * std::size_t(width));
    freePixels(e);
    e.section = fresh.section;
    e.pixels = fresh.pixels;
    e.screenDevice = fresh.screenDevice;
    e.screenBitmap = fresh.screenBitmap;
    e.screenPrior = fresh.screenPrior;
    e.screenPixels = fresh.screenPixels;
    e.shown = std::move(shown);
    e.width = width;
    e.height = height;
    ++e.generation;
    // Nothing of the new pixels is on the screen yet.
    e.lost = {0, 0, width, height};
    return true;
}

// Copies the client pixels that differ from what the screen shows, and those it lost, to the
// screen through `target`, each as an n x n block.
void present(Enlarged& e, HDC target) {
    GdiFlush();
    const int w = e.width, h = e.height, n = e.scale;
    Box changed = e.lost;
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* row = e.pixels + std::size_t(y) * std::size_t(w);
        const std::uint32_t* seen = e.shown.data() + std::size_t(y) * std::size_t(w);
        int first = -1, last = -1;
        for (int x = 0; x < w; ++x)
            if (row[x] != seen[x]) {
                if (first < 0) first = x;
                last = x;
            }
        if (first >= 0) changed = joined(changed, {first, y, last + 1, y + 1});
    }
    changed = {std::max(changed.left, 0), std::max(changed.top, 0), std::min(changed.right, w),
               std::min(changed.bottom, h)};
    if (isEmpty(changed)) return;
    const std::size_t screenWidth = std::size_t(w) * std::size_t(n);
    for (int y = changed.top; y < changed.bottom; ++y) {
        const std::size_t at = std::size_t(y) * std::size_t(w);
        std::uint32_t* out = e.screenPixels + std::size_t(y) * std::size_t(n) * screenWidth;
        for (int x = changed.left; x < changed.right; ++x) {
            const std::uint32_t color = e.pixels[at + std::size_t(x)];
            e.shown[at + std::size_t(x)] = color;
            std::fill_n(out + std::size_t(x) * std::size_t(n), n, color);
        }
        const std::size_t from = std::size_t(changed.left) * std::size_t(n);
        const std::size_t span = std::size_t(changed.right - changed.left) * std::size_t(n);
        for (int dy = 1; dy < n; ++dy)
            std::copy_n(out + from, span, out + std::size_t(dy) * screenWidth + from);
    }
    BitBlt(target, changed.left * n, changed.top * n, (changed.right - changed.left) * n,
           (changed.bottom - changed.top) * n, e.screenDevice, changed.left * n, changed.top * n,
           SRCCOPY);
    e.lost = {};
}

void deleteDevice(const Device& d) {
    if (d.prior) SelectObject(d.device, d.prior);
    DeleteDC(d.device);
    DeleteObject(d.bitmap);
}

// Called with the table locked; `e` leaves the table.
void forgetLocked(Enlarged* e) {
    auto& windows = table();
    windows.erase(std::remove(windows.begin(), windows.end(), e), windows.end());
    freePixels(*e);
    delete e;
}

LRESULT callProcedure(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND outer = procedureWindow;
    procedureWindow = window;
    const LRESULT result = CallWindowProcA(procedure, window, message, wParam, lParam);
    procedureWindow = outer;
    return result;
}

// The procedure of an enlarged window: the class's own, with the pointer's positions in
// client pixels and the background erased on the client pixels.
LRESULT CALLBACK enlargedProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC procedure = nullptr;
    int n = 1;
    {
        std::lock_guard<std::mutex> lock(tableLock);
        if (const Enlarged* e = find(window)) {
            procedure = e->procedure;
            n = e->scale;
        }
    }
    if (!procedure) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
    case WM_XBUTTONDBLCLK: {
        const auto bits = static_cast<std::uint32_t>(lParam);
        const int x = toClientPixel(static_cast<std::int16_t>(bits & 0xFFFF), n);
        const int y = toClientPixel(static_cast<std::int16_t>(bits >> 16), n);
        lParam = static_cast<LPARAM>((static_cast<std::uint32_t>(y) & 0xFFFF) << 16 |
                                     (static_cast<std::uint32_t>(x) & 0xFFFF));
        break;
    }
    case WM_ERASEBKGND: {
        HDC screen = reinterpret_cast<HDC>(wParam);
        RECT area{};
        if (!screen || GetClipBox(screen, &area) == ERROR) break;
        const Box box = toClientBox(window, area);
        HDC device = acquireDevice(window, &box);
        if (!device) break;
        const LRESULT result =
            callProcedure(procedure, window, message, reinterpret_cast<WPARAM>(device), lParam);
        releaseDevice(device);
        return result;
    }
    case WM_NCDESTROY: {
        const LRESULT result = callProcedure(procedure, window, message, wParam, lParam);
        std::lock_guard<std::mutex> lock(tableLock);
        if (Enlarged* e = find(window)) {
            e->window = nullptr;
            if (e->devices.empty()) forgetLocked(e);
        }
        return result;
    }
    default:
        break;
    }
    return callProcedure(procedure, window, message, wParam, lParam);
}

} // namespace

int chooseScale(HWND parent) {
    if (const int chosen = scaleFromEnvironment()) return chosen;
    UINT dpi = dpiOfWindow(parent);
    if (dpi == 0) {
        if (HDC screen = GetDC(nullptr)) {
            dpi = static_cast<UINT>(std::max(0, GetDeviceCaps(screen, LOGPIXELSX)));
            ReleaseDC(nullptr, screen);
        }
    }
    return scaleFromDpi(dpi);
}

bool enlarge(HWND window, int scale, int width, int height) {
    if (!window || scale < 2 || width <= 0 || height <= 0) return false;
    auto e = std::unique_ptr<Enlarged>(new (std::nothrow) Enlarged);
    if (!e) return false;
    e->window = window;
    e->thread = GetCurrentThreadId();
    e->scale = scale;
    e->procedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
    if (!e->procedure || !makePixels(*e, width, height)) {
        freePixels(*e);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(tableLock);
        try {
            table().push_back(e.get());
        } catch (const std::bad_alloc&) {
            freePixels(*e);
            return false;
        }
    }
    e.release();
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&enlargedProcedure));
    return true;
}

int scaleOf(HWND window) {
    std::lock_guard<std::mutex> lock(tableLock);
    const Enlarged* e = find(window);
    return e ? e->scale : 0;
}

bool resizeEnlarged(HWND window, int width, int height) {
    std::lock_guard<std::mutex> lock(tableLock);
    Enlarged* e = find(window);
    if (!e) return false;
    if (width == e->width && height == e->height) return true;
    return width > 0 && height > 0 && makePixels(*e, width, height);
}

Box toClientBox(HWND window, const RECT& onScreen) {
    int n = 1, w = 0, h = 0;
    {
        std::lock_guard<std::mutex> lock(tableLock);
        if (const Enlarged* e = find(window)) {
            n = e->scale;
            w = e->width;
            h = e->height;
        }
    }
    const Box box{std::max(0, toClientPixel(onScreen.left, n)),
                  std::max(0, toClientPixel(onScreen.top, n)),
                  std::min(w, toClientPixel(onScreen.right + n - 1, n)),
                  std::min(h, toClientPixel(onScreen.bottom + n - 1, n))};
    return isEmpty(box) ? Box{} : box;
}

HDC acquireDevice(HWND window, const Box* clip) {
    std::lock_guard<std::mutex> lock(tableLock);
    Enlarged* e = find(window);
    if (!e) return nullptr;
    Device d;
    d.generation = e->generation;
    d.device = CreateCompatibleDC(nullptr);
    if (!d.device) return nullptr;
    const BITMAPINFO info = topDownBitmapInfo(e->width, e->height);
    void* bits = nullptr;
    d.bitmap = CreateDIBSection(d.device, &info, DIB_RGB_COLORS, &bits, e->section, 0);
    if (d.bitmap) d.prior = SelectObject(d.device, d.bitmap);
    if (!d.bitmap || !d.prior) {
        if (d.bitmap) DeleteObject(d.bitmap);
        DeleteDC(d.device);
        return nullptr;
    }
    if (clip) {
        // As a paint's device is held to the damage: the clip the drawing selects later
        // (or none) stays within it.
        HRGN region = CreateRectRgn(clip->left, clip->top, clip->right, clip->bottom);
        if (region) {
            SelectClipRgn(d.device, region);
            DeleteObject(region);
            SetMetaRgn(d.device);
        }
        e->lost = joined(e->lost, *clip);
    }
    try {
        e->devices.push_back(d);
    } catch (const std::bad_alloc&) {
        deleteDevice(d);
        return nullptr;
    }
    return d.device;
}

bool releaseDevice(HDC device) {
    if (!device) return false;
    std::lock_guard<std::mutex> lock(tableLock);
    for (Enlarged* e : table()) {
        const auto d = std::find_if(e->devices.begin(), e->devices.end(),
                                    [device](const Device& held) { return held.device == device; });
        if (d == e->devices.end()) continue;
        const Device released = *d;
        e->devices.erase(d);
        deleteDevice(released);
        if (!e->window) {
            if (e->devices.empty()) forgetLocked(e);
        } else if (released.generation == e->generation) {
            // Through a device of the window's own even inside a paint: the paint's is
            // clipped to the damage in screen pixels, and the blocks of the client pixels
            // painted reach beyond it where the damage cuts through them.
            if (HDC own = GetDC(e->window)) {
                present(*e, own);
                ReleaseDC(e->window, own);
            }
        }
        return true;
    }
    return false;
}

POINT onToolkitScreen(POINT screen) {
    HWND chosen = nullptr;
    int n = 1;
    {
        std::lock_guard<std::mutex> lock(tableLock);
        // The window whose procedure runs (a drag's loop), else the thread's enlarged window
        // under the pointer, else its first one.
        const Enlarged* pick = find(procedureWindow);
        const DWORD thread = GetCurrentThreadId();
        for (const Enlarged* e : table()) {
            if (pick) break;
            if (!e->window || e->thread != thread) continue;
            RECT r{};
            if (GetWindowRect(e->window, &r) && PtInRect(&r, screen)) pick = e;
        }
        for (const Enlarged* e : table()) {
            if (pick) break;
            if (e->window && e->thread == thread) pick = e;
        }
        if (pick) {
            chosen = pick->window;
            n = pick->scale;
        }
    }
    RECT r{};
    if (!chosen || !GetWindowRect(chosen, &r)) return screen;
    return {r.left + toClientPixel(screen.x - r.left, n),
            r.top + toClientPixel(screen.y - r.top, n)};
}

} // namespace platform::win32
