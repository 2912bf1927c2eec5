#pragma once
// The description of a 32-bit top-down device-independent bitmap: rows from the top, one
// 0x00RRGGBB word a pixel, the layout every pixel read and write of the Win32 home and its
// test programs uses.
#include <windows.h>

inline BITMAPINFO topDownBitmapInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}
