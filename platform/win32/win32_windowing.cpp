// The windowing half on Windows: each operation is the USER, KERNEL or OLE call of the same
// name.
#include "platform/windowing.h"

#include <windows.h>

#include <ole2.h>

#include <cstddef>

namespace platform {

static_assert(sizeof(MeasureItemRecord) == sizeof(MEASUREITEMSTRUCT));
static_assert(offsetof(MeasureItemRecord, itemData) == offsetof(MEASUREITEMSTRUCT, itemData));
static_assert(sizeof(DrawItemRecord) == sizeof(DRAWITEMSTRUCT));
static_assert(offsetof(DrawItemRecord, device) == offsetof(DRAWITEMSTRUCT, hDC));
static_assert(offsetof(DrawItemRecord, rect) == offsetof(DRAWITEMSTRUCT, rcItem));
static_assert(offsetof(DrawItemRecord, itemData) == offsetof(DRAWITEMSTRUCT, itemData));

namespace {

HWND hwnd(WindowHandle w) {
    return reinterpret_cast<HWND>(w);
}
WindowHandle handleOf(HWND w) {
    return reinterpret_cast<WindowHandle>(w);
}
HDC dc(DeviceHandle d) {
    return reinterpret_cast<HDC>(d);
}
HINSTANCE instance(ModuleHandle m) {
    return reinterpret_cast<HINSTANCE>(m);
}

} // namespace

bool registerClass(const WindowClass& windowClass) {
    WNDCLASSA wc{};
    wc.style = windowClass.style;
    wc.lpfnWndProc = reinterpret_cast<WNDPROC>(windowClass.procedure);
    wc.hInstance = instance(windowClass.module);
    wc.hCursor = reinterpret_cast<HCURSOR>(windowClass.cursor);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = windowClass.name;
    return RegisterClassA(&wc) != 0;
}

bool unregisterClass(const char* name, ModuleHandle module) {
    return UnregisterClassA(name, instance(module)) != 0;
}

WindowHandle createWindow(const char* className, const char* title, uint32_t style, int x, int y,
                          int width, int height, WindowHandle parent, ModuleHandle module) {
    return handleOf(CreateWindowExA(0, className, title, style, x, y, width, height, hwnd(parent),
                                    nullptr, instance(module), nullptr));
}

bool destroyWindow(WindowHandle window) {
    return DestroyWindow(hwnd(window)) != 0;
}

intptr_t defWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return DefWindowProcA(hwnd(window), message, wParam, lParam);
}

intptr_t setWindowUserData(WindowHandle window, intptr_t value) {
    return SetWindowLongPtrA(hwnd(window), GWLP_USERDATA, value);
}

intptr_t getWindowUserData(WindowHandle window) {
    return GetWindowLongPtrA(hwnd(window), GWLP_USERDATA);
}

bool getWindowRect(WindowHandle window, Box* screenRect) {
    RECT r;
    if (!screenRect || !GetWindowRect(hwnd(window), &r)) return false;
    *screenRect = {r.left, r.top, r.right, r.bottom};
    return true;
}

WindowHandle getParent(WindowHandle window) {
    return handleOf(GetParent(hwnd(window)));
}

int getClassName(WindowHandle window, char* name, int capacity) {
    return GetClassNameA(hwnd(window), name, capacity);
}

uint32_t getWindowStyle(WindowHandle window) {
    return static_cast<uint32_t>(GetWindowLongA(hwnd(window), GWL_STYLE));
}

bool setWindowSize(WindowHandle window, int width, int height) {
    return SetWindowPos(hwnd(window), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER) != 0;
}

bool screenToClient(WindowHandle window, Position* point) {
    if (!point) return false;
    POINT p{point->x, point->y};
    MapWindowPoints(nullptr, hwnd(window), &p, 1);
    *point = {p.x, p.y};
    return true;
}

bool bringWindowToTop(WindowHandle window) {
    return BringWindowToTop(hwnd(window)) != 0;
}
int getSystemMetrics(int index) {
    return GetSystemMetrics(index);
}

bool getUpdateRect(WindowHandle window, Box* updateRect) {
    RECT r{};
    const bool damaged = GetUpdateRect(hwnd(window), &r, FALSE) != 0;
    if (updateRect) *updateRect = {r.left, r.top, r.right, r.bottom};
    return damaged;
}

DeviceHandle beginPaint(WindowHandle window, Box* paintRect) {
    // The paint record lives until EndPaint; one paint at a time per thread.
    static thread_local PAINTSTRUCT paint;
    HDC device = BeginPaint(hwnd(window), &paint);
    if (paintRect)
        *paintRect = {paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right,
                      paint.rcPaint.bottom};
    return reinterpret_cast<DeviceHandle>(device);
}

void endPaint(WindowHandle window, DeviceHandle device) {
    PAINTSTRUCT paint{};
    paint.hdc = dc(device);
    EndPaint(hwnd(window), &paint);
}

DeviceHandle getWindowDevice(WindowHandle window) {
    return reinterpret_cast<DeviceHandle>(GetDC(hwnd(window)));
}

void releaseWindowDevice(WindowHandle window, DeviceHandle device) {
    ReleaseDC(hwnd(window), dc(device));
}

bool dispatchOnePendingPaint() {
    MSG message;
    if (!PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) return false;
    DispatchMessageA(&message);
    return true;
}

bool removePendingLeftButtonDown() {
    MSG message;
    return PeekMessageA(&message, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN,
                        PM_REMOVE | PM_NOYIELD) != 0;
}

bool isKeyDown(int virtualKey) {
    return (GetAsyncKeyState(virtualKey) & 0x8000) != 0;
}

bool getCursorPos(Position* screenPoint) {
    POINT p;
    if (!screenPoint || !GetCursorPos(&p)) return false;
    *screenPoint = {p.x, p.y};
    return true;
}

uint32_t getDoubleClickTime() {
    return GetDoubleClickTime();
}
uint32_t getMessageTime() {
    return static_cast<uint32_t>(GetMessageTime());
}
uint32_t getTickCount() {
    return GetTickCount();
}
void sleep(uint32_t milliseconds) {
    Sleep(milliseconds);
}

CursorHandle getCursor() {
    return reinterpret_cast<CursorHandle>(GetCursor());
}

CursorHandle setCursor(CursorHandle cursor) {
    return reinterpret_cast<CursorHandle>(SetCursor(reinterpret_cast<HCURSOR>(cursor)));
}

CursorHandle loadSystemCursor(int id) {
    return reinterpret_cast<CursorHandle>(LoadCursorA(nullptr, MAKEINTRESOURCEA(id)));
}

void oleInitialize() {
    OleInitialize(nullptr);
}
void oleUninitialize() {
    OleUninitialize();
}

// Drag and drop needs the IDropTarget adapter of the drop target; until it exists the window
// accepts no drops, and the caller keeps (and deletes) its receiver.
bool registerDragDrop(WindowHandle, DropReceiver*) {
    return false;
}
bool revokeDragDrop(WindowHandle) {
    return false;
}
// Shortcuts are resolved with the shell link object together with the drop adapter.
void resolveShortcut(char*, int) {}

} // namespace platform
