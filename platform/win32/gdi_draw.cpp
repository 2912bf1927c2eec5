// The drawing half on Windows: each operation is the GDI call of the same name.
#include "platform/draw.h"
#include "platform/win32/top_down_bitmap.h"

#include <windows.h>

#include <cstring>

namespace platform {
namespace {

HDC dc(DeviceHandle d) {
    return reinterpret_cast<HDC>(d);
}
HGDIOBJ obj(ObjectHandle o) {
    return reinterpret_cast<HGDIOBJ>(o);
}
ObjectHandle handleOf(HGDIOBJ o) {
    return reinterpret_cast<ObjectHandle>(o);
}

using TransparentBltCall = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, UINT);
using AlphaBlendCall = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int,
                                     BLENDFUNCTION);

// The library's entries, process-wide as the library itself is.
TransparentBltCall transparentBltCall = nullptr;
AlphaBlendCall alphaBlendCall = nullptr;

int transparentBltThunk(DeviceHandle destination, int x, int y, int width, int height,
                        DeviceHandle source, int sx, int sy, int sw, int sh, unsigned key) {
    return transparentBltCall && transparentBltCall(dc(destination), x, y, width, height,
                                                    dc(source), sx, sy, sw, sh, key);
}

int alphaBlendThunk(DeviceHandle destination, int x, int y, int width, int height,
                    DeviceHandle source, int sx, int sy, int sw, int sh, BlendFunction blend) {
    const BLENDFUNCTION b{blend.blendOp, blend.blendFlags, blend.sourceConstantAlpha,
                          blend.alphaFormat};
    return alphaBlendCall &&
           alphaBlendCall(dc(destination), x, y, width, height, dc(source), sx, sy, sw, sh, b);
}

} // namespace

DeviceHandle getScreenDevice() {
    return reinterpret_cast<DeviceHandle>(GetDC(nullptr));
}
void releaseScreenDevice(DeviceHandle device) {
    ReleaseDC(nullptr, dc(device));
}
DeviceHandle createCompatibleDevice(DeviceHandle device) {
    return reinterpret_cast<DeviceHandle>(CreateCompatibleDC(dc(device)));
}
bool deleteDevice(DeviceHandle device) {
    return DeleteDC(dc(device)) != 0;
}

ObjectHandle createPen(int style, int width, ColorRef color) {
    LOGPEN pen{UINT(style), {width, width}, color};
    return handleOf(CreatePenIndirect(&pen));
}
ObjectHandle createSolidBrush(ColorRef color) {
    LOGBRUSH brush{BS_SOLID, color, 0};
    return handleOf(CreateBrushIndirect(&brush));
}
ObjectHandle createFont(const FontDescription& d) {
    LOGFONTA font{};
    font.lfHeight = d.height;
    font.lfWidth = d.width;
    font.lfEscapement = d.escapement;
    font.lfOrientation = d.orientation;
    font.lfWeight = d.weight;
    font.lfItalic = d.italic;
    font.lfUnderline = d.underline;
    font.lfStrikeOut = d.strikeOut;
    font.lfCharSet = d.charSet;
    font.lfOutPrecision = d.outPrecision;
    font.lfClipPrecision = d.clipPrecision;
    font.lfQuality = d.quality;
    font.lfPitchAndFamily = d.pitchAndFamily;
    static_assert(sizeof font.lfFaceName == sizeof d.faceName);
    std::memcpy(font.lfFaceName, d.faceName, sizeof font.lfFaceName);
    font.lfFaceName[sizeof font.lfFaceName - 1] = 0;
    return handleOf(CreateFontIndirectA(&font));
}
ObjectHandle getStockNullPen() {
    return handleOf(GetStockObject(NULL_PEN));
}
ObjectHandle createRectRegion(int left, int top, int right, int bottom) {
    return handleOf(CreateRectRgn(left, top, right, bottom));
}
ObjectHandle selectObject(DeviceHandle device, ObjectHandle object) {
    HGDIOBJ previous = SelectObject(dc(device), obj(object));
    return previous == HGDI_ERROR ? nullptr : handleOf(previous);
}
ObjectHandle getCurrentObject(DeviceHandle device, int kind) {
    return handleOf(GetCurrentObject(dc(device), UINT(kind)));
}
bool deleteObject(ObjectHandle object) {
    return DeleteObject(obj(object)) != 0;
}
int selectClipRegion(DeviceHandle device, ObjectHandle region) {
    return SelectClipRgn(dc(device), reinterpret_cast<HRGN>(region));
}

int setBkMode(DeviceHandle device, int mode) {
    return SetBkMode(dc(device), mode);
}
ColorRef setBkColor(DeviceHandle device, ColorRef color) {
    return SetBkColor(dc(device), color);
}
ColorRef setTextColor(DeviceHandle device, ColorRef color) {
    return SetTextColor(dc(device), color);
}
int setRop2(DeviceHandle device, int mode) {
    return SetROP2(dc(device), mode);
}

bool moveTo(DeviceHandle device, int x, int y) {
    return MoveToEx(dc(device), x, y, nullptr);
}
bool lineTo(DeviceHandle device, int x, int y) {
    return LineTo(dc(device), x, y);
}
static_assert(sizeof(Position) == sizeof(POINT));
bool polyline(DeviceHandle device, const Position* points, int count) {
    return Polyline(dc(device), reinterpret_cast<const POINT*>(points), count);
}
bool polygon(DeviceHandle device, const Position* points, int count) {
    return Polygon(dc(device), reinterpret_cast<const POINT*>(points), count);
}
bool fillRect(DeviceHandle device, const Box& box, ObjectHandle brush) {
    const RECT r{box.left, box.top, box.right, box.bottom};
    return FillRect(dc(device), &r, reinterpret_cast<HBRUSH>(brush)) != 0;
}
bool ellipse(DeviceHandle device, int left, int top, int right, int bottom) {
    return Ellipse(dc(device), left, top, right, bottom);
}
bool arc(DeviceHandle device, int left, int top, int right, int bottom, int startX, int startY,
         int endX, int endY) {
    return Arc(dc(device), left, top, right, bottom, startX, startY, endX, endY);
}
bool pie(DeviceHandle device, int left, int top, int right, int bottom, int startX, int startY,
         int endX, int endY) {
    return Pie(dc(device), left, top, right, bottom, startX, startY, endX, endY);
}
ColorRef setPixel(DeviceHandle device, int x, int y, ColorRef color) {
    return SetPixel(dc(device), x, y, color);
}
ColorRef getPixel(DeviceHandle device, int x, int y) {
    return GetPixel(dc(device), x, y);
}
bool extFloodFill(DeviceHandle device, int x, int y, ColorRef color, int type) {
    return ExtFloodFill(dc(device), x, y, color, UINT(type));
}

int drawText(DeviceHandle device, const char* text, int length, Box* box, unsigned format) {
    RECT r{box->left, box->top, box->right, box->bottom};
    const int height = DrawTextA(dc(device), text, length, &r, format);
    *box = {r.left, r.top, r.right, r.bottom};
    return height;
}
bool getTextExtent(DeviceHandle device, const char* text, int length, TextSize* size) {
    SIZE s{};
    if (!GetTextExtentPoint32A(dc(device), text, length, &s)) return false;
    *size = {s.cx, s.cy};
    return true;
}

ObjectHandle createCompatibleBitmap(DeviceHandle device, int width, int height) {
    return handleOf(CreateCompatibleBitmap(dc(device), width, height));
}
ObjectHandle createMonoBitmap(int width, int height) {
    return handleOf(CreateBitmap(width, height, 1, 1, nullptr));
}
ObjectHandle loadBitmap(ModuleHandle module, int id) {
    return handleOf(
        LoadBitmapA(reinterpret_cast<HINSTANCE>(module), MAKEINTRESOURCEA(WORD(id & 0xFFFF))));
}
bool getResourceBitmapSize(ModuleHandle module, int id, int* width, int* height) {
    const auto instance = reinterpret_cast<HINSTANCE>(module);
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(WORD(id & 0xFFFF)), RT_BITMAP);
    if (!found) return false;
    const DWORD size = SizeofResource(instance, found);
    HGLOBAL loaded = LoadResource(instance, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || size < sizeof(DWORD)) return false;
    // A bitmap resource starts with the picture's header: the old core header (16-bit sizes)
    // or an info header of 40 bytes or more (32-bit sizes, a negative height for a picture
    // stored from the top row down).
    DWORD headerSize = 0;
    std::memcpy(&headerSize, bytes, sizeof headerSize);
    long long w = 0, h = 0;
    if (headerSize == sizeof(BITMAPCOREHEADER) && size >= headerSize) {
        BITMAPCOREHEADER core{};
        std::memcpy(&core, bytes, sizeof core);
        w = core.bcWidth;
        h = core.bcHeight;
    } else if (headerSize >= sizeof(BITMAPINFOHEADER) && size >= headerSize) {
        BITMAPINFOHEADER info{};
        std::memcpy(&info, bytes, sizeof info);
        w = info.biWidth;
        h = info.biHeight < 0 ? -static_cast<long long>(info.biHeight) : info.biHeight;
    }
    if (w <= 0 || h <= 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return false;
    if (width) *width = int(w);
    if (height) *height = int(h);
    return true;
}
bool getBitmapSize(ObjectHandle bitmap, int* width, int* height) {
    BITMAP info{};
    if (!bitmap || !GetObjectA(obj(bitmap), sizeof info, &info)) return false;
    if (width) *width = info.bmWidth;
    if (height) *height = info.bmHeight;
    return true;
}
bool readBitmapPixels(ObjectHandle bitmap, int width, int height, uint32_t* pixels) {
    int w = 0, h = 0;
    if (!getBitmapSize(bitmap, &w, &h) || w != width || h != height || !pixels) return false;
    BITMAPINFO info = topDownBitmapInfo(width, height);
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, reinterpret_cast<HBITMAP>(bitmap), 0, UINT(height), pixels,
                               &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != height) return false;
    // The rows arrive as blue, green, red bytes: swap into the red-first order of a ColorRef.
    for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
        const uint32_t p = pixels[i];
        pixels[i] = (p >> 16 & 0xFF) | (p & 0xFF00) | (p & 0xFF) << 16;
    }
    return true;
}

bool bitBlt(DeviceHandle destination, int x, int y, int width, int height, DeviceHandle source,
            int sourceX, int sourceY, uint32_t rop) {
    return BitBlt(dc(destination), x, y, width, height, dc(source), sourceX, sourceY, rop);
}

BlendLibrary loadBlendLibrary() {
    BlendLibrary library;
    HMODULE module = LoadLibraryA("msimg32.dll");
    if (!module) return library;
    library.module = reinterpret_cast<ModuleHandle>(module);
    alphaBlendCall = reinterpret_cast<AlphaBlendCall>(
        reinterpret_cast<void*>(GetProcAddress(module, "AlphaBlend")));
    if (alphaBlendCall) library.alphaBlend = alphaBlendThunk;
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExA(&version) && version.dwPlatformId > 1) {
        transparentBltCall = reinterpret_cast<TransparentBltCall>(
            reinterpret_cast<void*>(GetProcAddress(module, "TransparentBlt")));
        if (transparentBltCall) library.transparentBlt = transparentBltThunk;
    }
    return library;
}

void freeBlendLibrary(BlendLibrary& library) {
    if (library.module) FreeLibrary(reinterpret_cast<HMODULE>(library.module));
    library = BlendLibrary{};
}

} // namespace platform
