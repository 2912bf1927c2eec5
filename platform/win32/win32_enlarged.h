#pragma once
// Windows of the Win32 home shown enlarged on dense screens. Such a window is `scale` times
// its client size on the screen, while everything drawn on it is drawn at the client size:
// the devices handed out for it are memory devices on one shared block of client pixels, and
// releasing one presents the pixels that changed, each as a scale x scale block. Positions
// reaching the window's procedure are divided back, so nothing above the home sees the factor.
#include "platform/handles.h"

#include <windows.h>

namespace platform::win32 {

// The factor for a window made now in `parent` (or, without one, on the screen): TROB_SCALE
// when set, else the parent's dots per inch (GetDpiForWindow where the system has it, else
// the screen's LOGPIXELSX) against 96, rounded; a whole number from 1 to 4.
int chooseScale(HWND parent);

// Takes over a window just made at `scale` times a client size of width x height: its pixels,
// its procedure (wrapped) and its presenting. False, with nothing changed, when the pixels
// cannot be had.
bool enlarge(HWND window, int scale, int width, int height);
// The window's factor; 0 for a window that is not enlarged.
int scaleOf(HWND window);
// The window's client size changes; false when its pixels cannot follow.
bool resizeEnlarged(HWND window, int width, int height);
// A rectangle of the window's screen pixels (client coordinates) as the client pixels it
// shows, rounded outwards and held to the client area.
Box toClientBox(HWND window, const RECT& onScreen);
// A device on the window's client pixels, clipped to `clip` when given; null when the
// window is not enlarged or no device can be had.
HDC acquireDevice(HWND window, const Box* clip);
// Gives back a device of `acquireDevice`: the pixels it changed, and those the screen lost,
// are presented. False when the device is none of the home's.
bool releaseDevice(HDC device);
// A pointer position on the screen as the toolkit sees it (`getCursorPos`): an enlarged
// window keeps its origin but spans only its client size there (`getWindowRect`).
POINT onToolkitScreen(POINT screen);

} // namespace platform::win32
