// The Win32 home's windows shown enlarged (TROB_SCALE=3), through the windowing and drawing
// calls the toolkit makes, against what the real window shows. Runs under Wine on a display.

#include "platform/draw.h"
#include "platform/win32/top_down_bitmap.h"
#include "platform/windowing.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using platform::Box;
using platform::Position;
using platform::WindowHandle;

constexpr int kScale = 3;
constexpr int kWidth = 40, kHeight = 30;
constexpr platform::ColorRef kRed = platform::makeColorRef(200, 0, 0);
constexpr platform::ColorRef kBlue = platform::makeColorRef(0, 0, 200);
constexpr platform::ColorRef kGreen = platform::makeColorRef(0, 160, 0);

// What the test window's procedure saw.
Position lastPress{-100, -100};
Box lastPaint{};
platform::ColorRef paintColor = kGreen;

intptr_t TROB_WINAPI procedure(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                               std::intptr_t lParam) {
    if (message == platform::kWmLButtonDown) {
        const auto bits = static_cast<std::uint32_t>(lParam);
        lastPress = {static_cast<std::int16_t>(bits & 0xFFFF),
                     static_cast<std::int16_t>(bits >> 16)};
        return 0;
    }
    if (message == platform::kWmPaint) {
        platform::DeviceHandle device = platform::beginPaint(window, &lastPaint);
        // Dropping the clip must not reach beyond the damage.
        platform::selectClipRegion(device, nullptr);
        platform::ObjectHandle brush = platform::createSolidBrush(paintColor);
        platform::fillRect(device, {0, 0, kWidth * 2, kHeight * 2}, brush);
        platform::deleteObject(brush);
        platform::endPaint(window, device);
        return 0;
    }
    return platform::defWindowProc(window, message, wParam, lParam);
}

void fill(platform::DeviceHandle device, const Box& box, platform::ColorRef color) {
    platform::ObjectHandle brush = platform::createSolidBrush(color);
    platform::fillRect(device, box, brush);
    platform::deleteObject(brush);
}

class EnlargedWindow : public ::testing::Test {
protected:
    void SetUp() override {
        SetEnvironmentVariableA("TROB_SCALE", "3");
        module = reinterpret_cast<platform::ModuleHandle>(GetModuleHandleA(nullptr));
        platform::WindowClass windowClass;
        windowClass.name = "TrobEnlargedTest";
        windowClass.procedure = &procedure;
        windowClass.module = module;
        windowClass.cursor = platform::loadSystemCursor(platform::kCursorArrow);
        platform::registerClass(windowClass);
        host = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 20, 20, 400, 300,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(host, nullptr);
        window = platform::createWindow("TrobEnlargedTest", "",
                                        platform::kWsChild | platform::kWsVisible, 0, 0, kWidth,
                                        kHeight, reinterpret_cast<WindowHandle>(host), module);
        ASSERT_NE(window, nullptr);
        pump();
    }
    void TearDown() override {
        if (window) platform::destroyWindow(window);
        if (host) DestroyWindow(host);
        platform::unregisterClass("TrobEnlargedTest", module);
        SetEnvironmentVariableA("TROB_SCALE", nullptr);
    }

    static void pump() {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    }

    HWND real() const { return reinterpret_cast<HWND>(window); }

    // The window's screen pixels (0x00RRGGBB), read back from its own device.
    std::vector<std::uint32_t> capture(int& width, int& height) const {
        RECT client{};
        GetClientRect(real(), &client);
        width = client.right;
        height = client.bottom;
        BITMAPINFO info = topDownBitmapInfo(width, height);
        HDC screen = GetDC(real());
        HDC memory = CreateCompatibleDC(screen);
        void* bits = nullptr;
        HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        std::vector<std::uint32_t> pixels;
        if (memory && section && bits) {
            HGDIOBJ prior = SelectObject(memory, section);
            BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
            GdiFlush();
            const auto* p = static_cast<const std::uint32_t*>(bits);
            pixels.assign(p, p + static_cast<std::size_t>(width * height));
            for (std::uint32_t& c : pixels)
                c &= 0xFFFFFF;
            SelectObject(memory, prior);
        }
        if (section) DeleteObject(section);
        if (memory) DeleteDC(memory);
        ReleaseDC(real(), screen);
        return pixels;
    }

    // Every screen pixel shows the client pixel it belongs to: `expected(x, y)` in client
    // pixels, as 0x00RRGGBB.
    template <typename Expected>::testing::AssertionResult shows(Expected expected) const {
        int w = 0, h = 0;
        const std::vector<std::uint32_t> shown = capture(w, h);
        if (shown.empty()) return ::testing::AssertionFailure() << "no capture";
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint32_t want = expected(x / kScale, y / kScale);
                const std::uint32_t got = shown[static_cast<std::size_t>(y * w + x)];
                if (want != got)
                    return ::testing::AssertionFailure() << "screen pixel " << x << "," << y << ": "
                                                         << std::hex << got << ", not " << want;
            }
        return ::testing::AssertionSuccess();
    }

    static std::uint32_t rgb(platform::ColorRef c) {
        return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
    }

    platform::ModuleHandle module = nullptr;
    HWND host = nullptr;
    WindowHandle window = nullptr;
};

// Size and geometry: the window is three times its client size on the screen, while the
// toolkit's rectangle spans the client size from the window's origin, and the pointer and
// presses arrive in client pixels.
TEST_F(EnlargedWindow, GeometryAndInputInClientPixels) {
    EXPECT_EQ(platform::windowScale(window), kScale);
    RECT client{};
    GetClientRect(real(), &client);
    EXPECT_EQ(client.right, kWidth * kScale);
    EXPECT_EQ(client.bottom, kHeight * kScale);
    Box rect{};
    ASSERT_TRUE(platform::getWindowRect(window, &rect));
    POINT origin{0, 0};
    ClientToScreen(real(), &origin);
    EXPECT_EQ(rect.left, origin.x);
    EXPECT_EQ(rect.top, origin.y);
    EXPECT_EQ(rect.right - rect.left, kWidth);
    EXPECT_EQ(rect.bottom - rect.top, kHeight);

    // Any screen pixel of a block is that block's client pixel.
    for (const POINT within : {POINT{0, 0}, POINT{2, 1}, POINT{1, 2}}) {
        ASSERT_TRUE(
            SetCursorPos(origin.x + 12 * kScale + within.x, origin.y + 9 * kScale + within.y));
        Position cursor{};
        ASSERT_TRUE(platform::getCursorPos(&cursor));
        EXPECT_EQ(cursor.x - rect.left, 12);
        EXPECT_EQ(cursor.y - rect.top, 9);
        Position point = cursor;
        ASSERT_TRUE(platform::screenToClient(window, &point));
        EXPECT_EQ(point.x, 12);
        EXPECT_EQ(point.y, 9);

        SendMessageA(real(), WM_LBUTTONDOWN, MK_LBUTTON,
                     MAKELPARAM(7 * kScale + within.x, 8 * kScale + within.y));
        EXPECT_EQ(lastPress.x, 7);
        EXPECT_EQ(lastPress.y, 8);
    }
    // Left of the window (a drag held beyond its edge) stays left of it.
    SendMessageA(real(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-1 & 0xFFFF, 4));
    EXPECT_EQ(lastPress.x, -1);
    EXPECT_EQ(lastPress.y, 1);
}

// Devices held at once draw on the same pixels, as a window's do; each release shows what
// changed, every pixel as a 3 x 3 block; a window exposed in part is erased and painted in
// whole blocks, and the paint stays within them even when its clip is dropped.
TEST_F(EnlargedWindow, DevicesShareThePixelsAndPresentEnlarged) {
    platform::DeviceHandle outer = platform::getWindowDevice(window);
    ASSERT_NE(outer, nullptr);
    fill(outer, {0, 0, kWidth, kHeight}, kRed);
    platform::DeviceHandle inner = platform::getWindowDevice(window);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(platform::getPixel(inner, 5, 5), kRed);
    fill(inner, {10, 10, 20, 15}, kBlue);
    platform::releaseWindowDevice(window, inner);
    EXPECT_EQ(platform::getPixel(outer, 12, 12), kBlue);
    platform::releaseWindowDevice(window, outer);
    const auto drawn = [](int x, int y) {
        return rgb(x >= 10 && x < 20 && y >= 10 && y < 15 ? kBlue : kRed);
    };
    EXPECT_TRUE(shows(drawn));

    // Screen pixels 31..61 are parts of client pixels 10..20.
    const RECT exposed{31, 31, 62, 62};
    InvalidateRect(real(), &exposed, TRUE);
    Box damage{};
    ASSERT_TRUE(platform::getUpdateRect(window, &damage));
    EXPECT_EQ(damage.left, 10);
    EXPECT_EQ(damage.top, 10);
    EXPECT_EQ(damage.right, 21);
    EXPECT_EQ(damage.bottom, 21);
    UpdateWindow(real());
    EXPECT_EQ(lastPaint.left, 10);
    EXPECT_EQ(lastPaint.right, 21);
    EXPECT_TRUE(shows([&](int x, int y) {
        return x >= 10 && x < 21 && y >= 10 && y < 21 ? rgb(kGreen) : drawn(x, y);
    }));
}

// A resize keeps the pixels both sizes have; a device held while the window goes is still
// given back without harm.
TEST_F(EnlargedWindow, ResizesAndOutlivesItsDevices) {
    platform::DeviceHandle device = platform::getWindowDevice(window);
    fill(device, {0, 0, kWidth, kHeight}, kRed);
    platform::releaseWindowDevice(window, device);
    ASSERT_TRUE(platform::setWindowSize(window, kWidth + 10, kHeight + 5));
    RECT client{};
    GetClientRect(real(), &client);
    EXPECT_EQ(client.right, (kWidth + 10) * kScale);
    EXPECT_EQ(client.bottom, (kHeight + 5) * kScale);
    Box rect{};
    ASSERT_TRUE(platform::getWindowRect(window, &rect));
    EXPECT_EQ(rect.right - rect.left, kWidth + 10);
    device = platform::getWindowDevice(window);
    EXPECT_EQ(platform::getPixel(device, kWidth - 1, kHeight - 1), kRed);
    fill(device, {kWidth, 0, kWidth + 10, kHeight + 5}, kBlue);
    fill(device, {0, kHeight, kWidth, kHeight + 5}, kBlue);
    platform::releaseWindowDevice(window, device);
    EXPECT_TRUE(shows([](int x, int y) { return rgb(x < kWidth && y < kHeight ? kRed : kBlue); }));

    device = platform::getWindowDevice(window);
    ASSERT_NE(device, nullptr);
    platform::destroyWindow(window);
    fill(device, {0, 0, 5, 5}, kGreen);
    EXPECT_EQ(platform::getPixel(device, 1, 1), kGreen);
    platform::releaseWindowDevice(window, device);
    window = nullptr;
}

} // namespace
