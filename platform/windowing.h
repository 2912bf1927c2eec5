#pragma once
// The windowing half of the platform layer: window classes and child windows, the window
// tree and geometry, paint requests, live input state, time, cursors, object linking and drop
// registration. Each operation is one Windows USER/KERNEL/OLE call with its observable
// result; `platform/headless` keeps everything in memory and scripted, `platform/x11` and
// `platform/win32` use the real systems. Devices handed out for windows are devices of the
// drawing half.
#include "platform/handles.h"

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define TROB_WINAPI __stdcall
#else
#define TROB_WINAPI
#endif

namespace platform {

// Messages a window procedure receives.
inline constexpr uint32_t kWmDestroy = 0x0002;
inline constexpr uint32_t kWmPaint = 0x000F;
inline constexpr uint32_t kWmDrawItem = 0x002B;
inline constexpr uint32_t kWmMeasureItem = 0x002C;
inline constexpr uint32_t kWmCtlColorEdit = 0x0133;
inline constexpr uint32_t kWmLButtonDown = 0x0201;
inline constexpr uint32_t kWmRButtonDown = 0x0204;
inline constexpr uint32_t kWmMButtonDown = 0x0207;
// A wheel turn a home reports to the window under the pointer itself (X11 has no host-side
// wheel path: the turn arrives as buttons 4 and 5). wParam: the signed distance in its high
// 16 bits, 120 a notch, positive away from the user. In the application range, so the system
// never sends it on Windows, where the wheel goes to the host and reaches the editor from there.
inline constexpr uint32_t kWmHomeWheel = 0x8000 + 0x020A;

// Window and class styles.
inline constexpr uint32_t kWsChild = 0x40000000;
inline constexpr uint32_t kWsVisible = 0x10000000;
inline constexpr uint32_t kWsCaption = 0x00C00000;
inline constexpr uint32_t kCsGlobalClass = 0x4000;

// System metrics.
inline constexpr int kSmCyDlgFrame = 8;
inline constexpr int kSmSwapButton = 23;

// Virtual keys whose live state can be read.
inline constexpr int kVkLButton = 0x01;
inline constexpr int kVkRButton = 0x02;
inline constexpr int kVkMButton = 0x04;
inline constexpr int kVkShift = 0x10;
inline constexpr int kVkControl = 0x11;
inline constexpr int kVkMenu = 0x12;

// System cursors.
inline constexpr int kCursorArrow = 32512;
inline constexpr int kCursorWait = 32514;
inline constexpr int kCursorSizeNwse = 32642;
inline constexpr int kCursorSizeNesw = 32643;
inline constexpr int kCursorSizeWe = 32644;
inline constexpr int kCursorSizeNs = 32645;
inline constexpr int kCursorSizeAll = 32646;

struct CursorObject;
using CursorHandle = CursorObject*;

// Owner-drawn items, laid out as the system's measure-item and draw-item records.
inline constexpr uint32_t kOdtMenu = 1;
inline constexpr uint32_t kOdsSelected = 0x0001;
inline constexpr uint32_t kOdsDisabled = 0x0004;
inline constexpr uint32_t kOdsChecked = 0x0008;

struct MeasureItemRecord {
    uint32_t controlType;
    uint32_t controlId;
    uint32_t itemId;
    uint32_t itemWidth;
    uint32_t itemHeight;
    uintptr_t itemData;
};

struct DrawItemRecord {
    uint32_t controlType;
    uint32_t controlId;
    uint32_t itemId;
    uint32_t itemAction;
    uint32_t itemState;
    WindowHandle item;
    DeviceHandle device;
    Box rect;
    uintptr_t itemData;
};

using WindowProc = intptr_t(TROB_WINAPI*)(WindowHandle window, uint32_t message, uintptr_t wParam,
                                          intptr_t lParam);

struct WindowClass {
    const char* name = nullptr;
    WindowProc procedure = nullptr;
    ModuleHandle module = nullptr;
    uint32_t style = 0;
    CursorHandle cursor = nullptr;
};

// Drag and drop: the key-state bit of the Control key and the effects a drop target answers.
inline constexpr uint32_t kMkLButton = 0x0001;
inline constexpr uint32_t kMkControl = 0x0008;
inline constexpr uint32_t kDropEffectNone = 0;
inline constexpr uint32_t kDropEffectCopy = 1;
inline constexpr uint32_t kDropEffectMove = 2;

// The data of one drag as the platform's drag and drop offers it: an OLE data object, an
// XDND selection, or a scripted one. Valid only during the call it is passed to.
class DropData {
public:
    virtual ~DropData() = default;
    virtual bool canSupplyText() = 0;
    virtual bool canSupplyFiles() = 0;
    // false: the text could not be fetched. true: fetched, and `text` / `size` are null / 0
    // when the storage holds no memory or cannot be read. The block stays valid until the
    // next fetch or the end of the call.
    virtual bool fetchText(const char** text, std::size_t* size) = 0;
    // The number of names in the file list; -1 when the list could not be fetched.
    virtual int fetchFileCount() = 0;
    // Copies name `index`, terminated and cut to `capacity` bytes; false when that name
    // cannot be fetched.
    virtual bool fetchFileName(int index, char* name, int capacity) = 0;
};

// What a window that accepts drops receives from the platform's drag and drop. The
// platform owns it from a successful registration until it is revoked or the window goes.
class DropReceiver {
public:
    virtual ~DropReceiver() = default;
    // Each answers the drop effect to show for the key state (kMk... bits).
    virtual uint32_t dragEnter(DropData* data, uint32_t keyState) = 0;
    virtual uint32_t dragOver(uint32_t keyState) = 0;
    virtual void dragLeave() = 0;
    virtual void drop(DropData* data, uint32_t keyState) = 0;
};

// --- classes and windows
bool registerClass(const WindowClass& windowClass);
bool unregisterClass(const char* name, ModuleHandle module);
// A window of a registered class; null when the class is unknown or the parent is gone.
WindowHandle createWindow(const char* className, const char* title, uint32_t style, int x, int y,
                          int width, int height, WindowHandle parent, ModuleHandle module);
// Sends the destroy message to the window and its children, then removes them.
bool destroyWindow(WindowHandle window);
intptr_t defWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// The window's user-data slot; each answers the previous value.
intptr_t setWindowUserData(WindowHandle window, intptr_t value);
intptr_t getWindowUserData(WindowHandle window);

// --- tree and geometry (screen coordinates)
bool getWindowRect(WindowHandle window, Box* screenRect);
WindowHandle getParent(WindowHandle window);
// Copies the class name, terminated, into at most `capacity` bytes; answers its length.
int getClassName(WindowHandle window, char* name, int capacity);
uint32_t getWindowStyle(WindowHandle window);
// Resizes the window, keeping its position.
bool setWindowSize(WindowHandle window, int width, int height);
// Converts a screen point into the client coordinates of the window.
bool screenToClient(WindowHandle window, Position* point);
// The whole number N (1 to 4) by which the home shows a window of ours enlarged: each of its
// pixels as N x N pixels of the screen, its size on the screen N times its client size, and
// positions on it divided back by N, so that nothing above the home sees the factor. For any
// other window (or null) the factor a window made now would get.
int windowScale(WindowHandle window);
bool bringWindowToTop(WindowHandle window);
int getSystemMetrics(int index);

// --- paint
// The window's damaged rectangle, without erasing; false when nothing needs painting.
bool getUpdateRect(WindowHandle window, Box* updateRect);
// A device for painting the damaged area, which then counts as painted.
DeviceHandle beginPaint(WindowHandle window, Box* paintRect);
void endPaint(WindowHandle window, DeviceHandle device);
DeviceHandle getWindowDevice(WindowHandle window);
void releaseWindowDevice(WindowHandle window, DeviceHandle device);
// Takes at most one pending paint request of the thread, for any window, and dispatches it.
bool dispatchOnePendingPaint();
// Removes a pending left-button press of the thread, for any window; true when there was one.
bool removePendingLeftButtonDown();
// Delivers the thread's pending window events to the window procedures, as a message loop
// does: presses, wheel turns, paints and destruction notices. Inside a window procedure (a
// drag's loop) it only takes the events in, leaving presses queued and paints to
// `dispatchOnePendingPaint`. Where the host's message loop delivers them, it does nothing.
void pumpEvents();

// --- input
// True while the key or button is down at this moment.
bool isKeyDown(int virtualKey);
bool getCursorPos(Position* screenPoint);
uint32_t getDoubleClickTime();
// The time stamp of the last message read.
uint32_t getMessageTime();

// --- time
uint32_t getTickCount();
void sleep(uint32_t milliseconds);

// --- cursors
CursorHandle getCursor();
CursorHandle setCursor(CursorHandle cursor);
CursorHandle loadSystemCursor(int id);

// --- object linking and drag and drop
void oleInitialize();
void oleUninitialize();
// The platform owns the receiver from a successful registration until it is revoked or the
// window is destroyed.
bool registerDragDrop(WindowHandle window, DropReceiver* receiver);
bool revokeDragDrop(WindowHandle window);
// Replaces the name of a shell shortcut, in place in its buffer of `capacity` bytes, by the
// path the shortcut points to; any other name, or one that cannot be resolved, stays as it is.
void resolveShortcut(char* name, int capacity);

} // namespace platform
