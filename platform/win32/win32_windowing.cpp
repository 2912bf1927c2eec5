// The windowing half on Windows: each operation is the USER, KERNEL or OLE call of the same
// name.
#include "platform/windowing.h"

#include "platform/win32/win32_enlarged.h"

#include <windows.h>

#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

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
    // On a dense screen the window is made enlarged from the start (win32_enlarged.h); one
    // whose pixels cannot be had is not made at all, since the host was told the larger size.
    const int n = win32::chooseScale(hwnd(parent));
    HWND window = CreateWindowExA(0, className, title, style, x * n, y * n, width * n, height * n,
                                  hwnd(parent), nullptr, instance(module), nullptr);
    if (window && n > 1 && !win32::enlarge(window, n, width, height)) {
        DestroyWindow(window);
        window = nullptr;
    }
    return handleOf(window);
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
    // An enlarged window spans its client size from its origin: a position from
    // `getCursorPos` less this origin is the client pixel under the pointer.
    if (const int n = win32::scaleOf(hwnd(window))) {
        r.right = r.left + (r.right - r.left) / n;
        r.bottom = r.top + (r.bottom - r.top) / n;
    }
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
    const int n = win32::scaleOf(hwnd(window));
    if (n == 0)
        return SetWindowPos(hwnd(window), nullptr, 0, 0, width, height,
                            SWP_NOMOVE | SWP_NOZORDER) != 0;
    return win32::resizeEnlarged(hwnd(window), width, height) &&
           SetWindowPos(hwnd(window), nullptr, 0, 0, width * n, height * n,
                        SWP_NOMOVE | SWP_NOZORDER) != 0;
}

bool screenToClient(WindowHandle window, Position* point) {
    if (!point) return false;
    POINT p{point->x, point->y};
    if (win32::scaleOf(hwnd(window))) {
        // On the screen the toolkit sees (`getWindowRect`, `getCursorPos`) an enlarged window
        // spans its client size from its origin.
        POINT origin{0, 0};
        if (!ClientToScreen(hwnd(window), &origin)) return false;
        *point = {p.x - origin.x, p.y - origin.y};
        return true;
    }
    MapWindowPoints(nullptr, hwnd(window), &p, 1);
    *point = {p.x, p.y};
    return true;
}

bool bringWindowToTop(WindowHandle window) {
    return BringWindowToTop(hwnd(window)) != 0;
}

int windowScale(WindowHandle window) {
    if (const int n = win32::scaleOf(hwnd(window))) return n;
    return win32::chooseScale(hwnd(window));
}

int getSystemMetrics(int index) {
    return GetSystemMetrics(index);
}

bool getUpdateRect(WindowHandle window, Box* updateRect) {
    RECT r{};
    const bool damaged = GetUpdateRect(hwnd(window), &r, FALSE) != 0;
    Box box{r.left, r.top, r.right, r.bottom};
    if (win32::scaleOf(hwnd(window))) box = win32::toClientBox(hwnd(window), r);
    if (updateRect) *updateRect = box;
    return damaged;
}

namespace {
// The paint record lives from BeginPaint to EndPaint, which needs it back whole (it restores
// the caret and releases the device the record names); one paint at a time per thread.
thread_local PAINTSTRUCT currentPaint;
// For an enlarged window: the device on its client pixels handed out for the paint in
// progress (null when none could be had), presented at the end.
thread_local bool enlargedPaint = false;
thread_local HDC enlargedPaintDevice = nullptr;
} // namespace

DeviceHandle beginPaint(WindowHandle window, Box* paintRect) {
    HDC device = BeginPaint(hwnd(window), &currentPaint);
    Box box{currentPaint.rcPaint.left, currentPaint.rcPaint.top, currentPaint.rcPaint.right,
            currentPaint.rcPaint.bottom};
    if (device && win32::scaleOf(hwnd(window))) {
        box = win32::toClientBox(hwnd(window), currentPaint.rcPaint);
        device = win32::acquireDevice(hwnd(window), &box);
        enlargedPaint = true;
        enlargedPaintDevice = device;
    }
    if (paintRect) *paintRect = box;
    return reinterpret_cast<DeviceHandle>(device);
}

void endPaint(WindowHandle window, DeviceHandle device) {
    if (enlargedPaint) {
        if (enlargedPaintDevice != dc(device)) return;
        if (device) win32::releaseDevice(dc(device));
        enlargedPaint = false;
        enlargedPaintDevice = nullptr;
    } else if (currentPaint.hdc != dc(device)) {
        return; // not the device of the paint in progress
    }
    EndPaint(hwnd(window), &currentPaint);
    currentPaint = PAINTSTRUCT{};
}

DeviceHandle getWindowDevice(WindowHandle window) {
    if (win32::scaleOf(hwnd(window)))
        return reinterpret_cast<DeviceHandle>(win32::acquireDevice(hwnd(window), nullptr));
    return reinterpret_cast<DeviceHandle>(GetDC(hwnd(window)));
}

void releaseWindowDevice(WindowHandle window, DeviceHandle device) {
    // A device on an enlarged window's pixels goes back to the home even when the window has
    // gone meanwhile.
    if (win32::releaseDevice(dc(device))) return;
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
    p = win32::onToolkitScreen(p);
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

namespace {

FORMATETC formatOf(CLIPFORMAT format) {
    return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// One drag's OLE data object as the drop seam asks for it. A fetched storage stays with this
// object (text locked) until the next fetch of its kind or the end of the call, and is then
// given back through ReleaseStgMedium: through the release interface the data object
// supplied, or freed when it supplied none.
class OleDropData : public DropData {
public:
    explicit OleDropData(IDataObject* object) : object(object) {}
    ~OleDropData() override {
        releaseText();
        releaseFiles();
    }
    OleDropData(const OleDropData&) = delete;
    OleDropData& operator=(const OleDropData&) = delete;

    bool canSupplyText() override { return canSupply(CF_TEXT); }
    bool canSupplyFiles() override { return canSupply(CF_HDROP); }

    bool fetchText(const char** text, std::size_t* size) override {
        releaseText();
        if (text) *text = nullptr;
        if (size) *size = 0;
        FORMATETC format = formatOf(CF_TEXT);
        if (object->GetData(&format, &textStorage) != S_OK) return false;
        haveText = true;
        if (textStorage.tymed != TYMED_HGLOBAL || !textStorage.hGlobal) return true;
        lockedText = GlobalLock(textStorage.hGlobal);
        const SIZE_T bytes = GlobalSize(textStorage.hGlobal);
        if (lockedText && bytes) {
            if (text) *text = static_cast<const char*>(lockedText);
            if (size) *size = bytes;
        }
        return true;
    }

    int fetchFileCount() override {
        releaseFiles();
        FORMATETC format = formatOf(CF_HDROP);
        if (object->GetData(&format, &fileStorage) != S_OK) return -1;
        haveFiles = true;
        if (fileStorage.tymed != TYMED_HGLOBAL || !fileStorage.hGlobal) return -1;
        const UINT count = DragQueryFileA(drop(), 0xFFFFFFFF, nullptr, 0);
        return count > 0x7FFFFFFF ? -1 : static_cast<int>(count);
    }

    bool fetchFileName(int index, char* name, int capacity) override {
        if (!haveFiles || !fileStorage.hGlobal || index < 0 || !name || capacity <= 0) return false;
        return DragQueryFileA(drop(), static_cast<UINT>(index), name,
                              static_cast<UINT>(capacity)) != 0;
    }

private:
    bool canSupply(CLIPFORMAT clipFormat) {
        FORMATETC format = formatOf(clipFormat);
        return object->QueryGetData(&format) == S_OK;
    }
    HDROP drop() const { return static_cast<HDROP>(fileStorage.hGlobal); }
    void releaseText() {
        if (lockedText) GlobalUnlock(textStorage.hGlobal);
        lockedText = nullptr;
        if (haveText) ReleaseStgMedium(&textStorage);
        haveText = false;
        textStorage = STGMEDIUM{};
    }
    void releaseFiles() {
        if (haveFiles) ReleaseStgMedium(&fileStorage);
        haveFiles = false;
        fileStorage = STGMEDIUM{};
    }

    IDataObject* object;
    STGMEDIUM textStorage{};
    STGMEDIUM fileStorage{};
    bool haveText = false;
    bool haveFiles = false;
    void* lockedText = nullptr;
};

// COM interfaces have no virtual destructor (objects delete themselves in Release); this
// one's own destructor follows the seven interface operations in its table.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// The window's OLE drop target: the platform's IDropTarget around the toolkit's receiver.
// The count starts at 0; the registration takes the first reference and revoking it drops
// the last, which deletes the adapter and its receiver.
class OleDropTarget : public IDropTarget {
public:
    explicit OleDropTarget(DropReceiver* receiver) : receiver(receiver) {}
    virtual ~OleDropTarget() { delete receiver; }
    OleDropTarget(const OleDropTarget&) = delete;
    OleDropTarget& operator=(const OleDropTarget&) = delete;

    // Given back to the caller when the registration fails: the caller still owns it then.
    DropReceiver* detach() { return std::exchange(receiver, nullptr); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(id, IID_IDropTarget) || IsEqualIID(id, IID_IUnknown)) {
            *out = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override {
        if (--references <= 0) {
            delete this;
            return 0;
        }
        return static_cast<ULONG>(references);
    }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* object, DWORD keyState, POINTL,
                                        DWORD* effect) override {
        std::uint32_t answer = kDropEffectNone;
        if (receiver) {
            if (object) {
                OleDropData data(object);
                answer = receiver->dragEnter(&data, keyState);
            } else {
                answer = receiver->dragEnter(nullptr, keyState);
            }
        }
        if (effect) *effect = answer;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL, DWORD* effect) override {
        const std::uint32_t answer = receiver ? receiver->dragOver(keyState) : kDropEffectNone;
        if (effect) *effect = answer;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        if (receiver) receiver->dragLeave();
        return S_OK;
    }
    // The effect is left as the caller set it.
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* object, DWORD keyState, POINTL, DWORD*) override {
        if (!receiver) return S_OK;
        if (object) {
            OleDropData data(object);
            receiver->drop(&data, keyState);
        } else {
            receiver->drop(nullptr, keyState);
        }
        return S_OK;
    }

private:
    LONG references = 0;
    DropReceiver* receiver;
};
#pragma GCC diagnostic pop

bool isShortcutName(const char* name) {
    const char* dot = std::strrchr(name, '.');
    return dot && lstrcmpiA(dot, ".lnk") == 0;
}

} // namespace

bool registerDragDrop(WindowHandle window, DropReceiver* receiver) {
    if (!window || !receiver) return false;
    auto* target = new (std::nothrow) OleDropTarget(receiver);
    if (!target) return false;
    target->AddRef(); // held across the call, whatever the registration does with it
    const bool registered = RegisterDragDrop(hwnd(window), target) == S_OK;
    if (!registered) target->detach();
    target->Release(); // from here on the registration holds the only reference
    return registered;
}

bool revokeDragDrop(WindowHandle window) {
    return window && RevokeDragDrop(hwnd(window)) == S_OK;
}

// The shell link object, step by step; a step that fails leaves the rest undone and the
// name as far as it got.
void resolveShortcut(char* name, int capacity) {
    if (!name || capacity <= 0 || !isShortcutName(name)) return;
    IShellLinkA* link = nullptr;
    if (CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                         reinterpret_cast<void**>(&link)) != S_OK ||
        !link)
        return;
    IPersistFile* file = nullptr;
    if (link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)) == S_OK && file) {
        static constexpr int kWideCapacity = 2048;
        WCHAR wide[kWideCapacity];
        if (MultiByteToWideChar(CP_ACP, 0, name, -1, wide, kWideCapacity) > 0 &&
            file->Load(wide, STGM_READ) == S_OK && link->Resolve(nullptr, 0x01F40003) == S_OK)
            link->GetPath(name, capacity, nullptr, SLGP_SHORTPATH);
        file->Release();
    }
    link->Release();
}

} // namespace platform
