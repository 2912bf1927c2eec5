// The X11 windowing home itself, in this process, on a real X server: drops through XDND to
// a recording receiver, the decoding of file URIs, and the window-tree calls the sizing of
// the frame walks; and, without a server, the writing of pixels into images of every layout.

#include <gtest/gtest.h>

#include "platform/x11/x11_home.h"
#include "tests/x11/xdnd_source.h"

#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using platform::x11::toHandle;

struct DropRecord {
    std::vector<std::string> log;
    std::string text;
    std::vector<std::string> files;
};
DropRecord dropped;

// Fetches what a drop target fetches: text first, then the file list, failed names skipped.
class RecordingReceiver : public platform::DropReceiver {
public:
    uint32_t dragEnter(platform::DropData* data, uint32_t keyState) override {
        accept = data && (data->canSupplyText() || data->canSupplyFiles());
        dropped.log.push_back(std::string("enter") +
                              (data && data->canSupplyText() ? " text" : "") +
                              (data && data->canSupplyFiles() ? " files" : ""));
        return dragOver(keyState);
    }
    uint32_t dragOver(uint32_t keyState) override {
        dropped.log.push_back(keyState & platform::kMkControl ? "over control" : "over");
        if (!accept) return platform::kDropEffectNone;
        return keyState & platform::kMkControl ? platform::kDropEffectCopy
                                               : platform::kDropEffectMove;
    }
    void dragLeave() override { dropped.log.push_back("leave"); }
    void drop(platform::DropData* data, uint32_t) override {
        dropped.log.push_back("drop");
        const char* text = nullptr;
        std::size_t size = 0;
        if (data->fetchText(&text, &size)) {
            dropped.text.assign(text ? text : "", size);
            return;
        }
        const int count = data->fetchFileCount();
        for (int i = 0; i < count; ++i) {
            char name[1024];
            if (data->fetchFileName(i, name, sizeof name)) dropped.files.emplace_back(name);
        }
    }

private:
    bool accept = false;
};

intptr_t TROB_WINAPI procedure(platform::WindowHandle w, uint32_t m, uintptr_t wp, intptr_t lp) {
    return platform::defWindowProc(w, m, wp, lp);
}

class X11Home : public ::testing::Test {
protected:
    void SetUp() override {
        display = XOpenDisplay(nullptr);
        if (!display) GTEST_SKIP() << "no X display (run under tests/x11/with_xvfb.sh)";
        host = XCreateSimpleWindow(display, DefaultRootWindow(display), 100, 80, 400, 300, 0, 0, 0);
        XMapWindow(display, host);
        XSync(display, False);
        platform::WindowClass windowClass;
        windowClass.name = "X11HomeTest";
        windowClass.procedure = &procedure;
        ASSERT_TRUE(platform::registerClass(windowClass));
        window = platform::createWindow("X11HomeTest", "Window",
                                        platform::kWsChild | platform::kWsVisible, 0, 0, 300, 225,
                                        toHandle(host), nullptr);
        ASSERT_NE(window, nullptr);
        platform::pumpEvents();
        dropped = DropRecord{};
    }
    void TearDown() override {
        if (!display) return;
        if (window) platform::destroyWindow(window);
        platform::unregisterClass("X11HomeTest", nullptr);
        XDestroyWindow(display, host);
        XCloseDisplay(display);
    }

    // Runs the home's event pump until the dragging side is done.
    x11_test::DndOutcome drag(std::vector<std::pair<std::string, std::string>> offers,
                              bool control = false, bool drop = true, int seconds = 10) {
        setControl(control);
        x11_test::DndSource source(std::move(offers), platform::x11::toWindow(window), 150, 130,
                                   drop, seconds);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!source.done() && std::chrono::steady_clock::now() < deadline) {
            platform::pumpEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        platform::pumpEvents();
        setControl(false);
        return source.result();
    }
    void setControl(bool down) { XTestLikeKey(down); }
    void XTestLikeKey(bool down);

    Display* display = nullptr;
    Window host = 0;
    platform::WindowHandle window = nullptr;
};

} // namespace

#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

void X11Home::XTestLikeKey(bool down) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, XK_Control_L), down, 0);
    XSync(display, False);
}

// The window's pixels go through memory shared with the server exactly when the server offers
// it (the suite also runs on a server without MIT-SHM), and still after a resize.
TEST_F(X11Home, PresentsFromSharedMemoryWhenTheServerOffersIt) {
    const bool offered = XShmQueryExtension(display);
    EXPECT_EQ(platform::x11::presentsFromSharedMemory(window), offered);
    ASSERT_TRUE(platform::setWindowSize(window, 320, 240));
    EXPECT_EQ(platform::x11::presentsFromSharedMemory(window), offered);
    std::printf("MIT-SHM %s\n", offered ? "offered and used" : "not offered: plain requests");
}

// A text dropped with Control held is offered as a copy and arrives as one block of its
// size; without Control the drag is a move.
TEST_F(X11Home, DropsTextThroughXdnd) {
    ASSERT_TRUE(platform::registerDragDrop(window, new RecordingReceiver));
    const std::string text = "TROBEdit\nzwei Zeilen, mit \xc3\xa4";
    x11_test::DndOutcome copy = drag({{"text/plain", text}}, true);
    EXPECT_TRUE(copy.accepted);
    EXPECT_EQ(copy.action, "XdndActionCopy");
    EXPECT_TRUE(copy.finished);
    EXPECT_TRUE(copy.dropAccepted);
    EXPECT_EQ(copy.finishedAction, "XdndActionCopy");
    EXPECT_EQ(copy.requested, std::vector<std::string>{"text/plain"});
    EXPECT_EQ(dropped.text, text);
    EXPECT_EQ(dropped.log,
              (std::vector<std::string>{"enter text", "over control", "over control", "drop"}));

    dropped = DropRecord{};
    x11_test::DndOutcome move = drag({{"text/plain", "x"}}, false);
    EXPECT_EQ(move.action, "XdndActionMove");
    EXPECT_EQ(move.finishedAction, "XdndActionMove");
    EXPECT_EQ(dropped.text, "x");
}

// Two files (one name percent-encoded, one under localhost) and a URI that is no file: the
// two arrive decoded, in order, the third is skipped.
TEST_F(X11Home, DropsFilesThroughXdnd) {
    ASSERT_TRUE(platform::registerDragDrop(window, new RecordingReceiver));
    const std::string list = "# dragged\r\nfile:///home/user/Mix%20down%20%231.wav\r\n"
                             "https://example.org/x.wav\r\nfile://localhost/tmp/b%C3%A4ss.flac\r\n";
    x11_test::DndOutcome outcome =
        drag({{"text/uri-list", list}, {"text/plain", "/home/user/Mix down #1.wav"}});
    EXPECT_TRUE(outcome.accepted);
    EXPECT_TRUE(outcome.dropAccepted);
    EXPECT_EQ(outcome.requested, std::vector<std::string>{"text/uri-list"});
    EXPECT_EQ(dropped.files,
              (std::vector<std::string>{"/home/user/Mix down #1.wav", "/tmp/b\xc3\xa4ss.flac"}));
    EXPECT_EQ(dropped.log.front(), "enter files");
}

// Data of no usable kind is refused; a drag that leaves calls leave and drops nothing; a
// window without a receiver is no target; after revoking, drops are refused again.
TEST_F(X11Home, RefusesWhatItCannotTake) {
    ASSERT_TRUE(platform::registerDragDrop(window, new RecordingReceiver));
    x11_test::DndOutcome image = drag({{"image/png", "\x89PNG"}});
    EXPECT_TRUE(image.sawStatus);
    EXPECT_FALSE(image.accepted);
    EXPECT_TRUE(image.finished);
    EXPECT_FALSE(image.dropAccepted);
    EXPECT_TRUE(image.requested.empty());

    dropped = DropRecord{};
    x11_test::DndOutcome left = drag({{"text/plain", "never"}}, false, false);
    EXPECT_TRUE(left.accepted);
    EXPECT_EQ(dropped.log.back(), "leave");
    EXPECT_TRUE(dropped.text.empty());

    ASSERT_TRUE(platform::revokeDragDrop(window));
    dropped = DropRecord{};
    // Nobody answers: the source gives up after a second.
    x11_test::DndOutcome revoked = drag({{"text/plain", "never"}}, false, true, 1);
    EXPECT_FALSE(revoked.sawStatus);
    EXPECT_TRUE(dropped.log.empty());
}

TEST(X11Uris, FileUrisAreDecodedToPathsAndOthersRefused) {
    std::string path;
    ASSERT_TRUE(platform::x11::pathFromUri("file:///a%2Fb/c%41%zz%4", &path));
    EXPECT_EQ(path, "/a/b/cA%zz%4");
    ASSERT_TRUE(platform::x11::pathFromUri("file:/short/form", &path));
    EXPECT_EQ(path, "/short/form");
    EXPECT_FALSE(platform::x11::pathFromUri("file://otherhost/etc/passwd", &path));
    EXPECT_FALSE(platform::x11::pathFromUri("file:///nul%00byte", &path));
    EXPECT_FALSE(platform::x11::pathFromUri("http://host/file", &path));
    EXPECT_FALSE(platform::x11::pathFromUri("file://", &path));
    EXPECT_EQ(platform::x11::uriLines("#c\r\n\r\nfile:///a\nfile:///b\r\n"),
              (std::vector<std::string>{"file:///a", "file:///b"}));
}

// The window tree as the frame's sizing walks it: the parent of the editor's window is the
// host's, a top-level window has none, rectangles are in screen coordinates, and resizing
// an own window keeps what it showed.
// Rows written straight into images of the layouts servers use, and through XPutPixel for the
// others, hold the bytes XPutPixel writes, at every scale.
TEST(X11Pixels, RowsHoldWhatXPutPixelWrites) {
    struct Layout {
        int depth, bitsPerPixel, byteOrder;
        unsigned long red, green, blue;
    };
    const Layout layouts[] = {
        {24, 32, LSBFirst, 0xFF0000, 0xFF00, 0xFF},
        {24, 32, MSBFirst, 0xFF0000, 0xFF00, 0xFF},
        {32, 32, LSBFirst, 0xFF, 0xFF00, 0xFF0000},
        {30, 32, LSBFirst, 0x3FF00000, 0xFFC00, 0x3FF},
        {24, 24, LSBFirst, 0xFF0000, 0xFF00, 0xFF},
        {24, 24, MSBFirst, 0xFF0000, 0xFF00, 0xFF},
        {16, 16, LSBFirst, 0xF800, 0x7E0, 0x1F},
        {16, 16, MSBFirst, 0xF800, 0x7E0, 0x1F},
        {15, 16, LSBFirst, 0x7C00, 0x3E0, 0x1F},
        {8, 8, LSBFirst, 0xE0, 0x1C, 0x3},
        {4, 4, MSBFirst, 0x8, 0x6, 0x1},
    };
    const auto makeImage = [](const Layout& l, int w, int h, std::vector<char>& data) {
        XImage image{};
        image.width = w;
        image.height = h;
        image.format = ZPixmap;
        image.byte_order = l.byteOrder;
        image.bitmap_unit = 32;
        image.bitmap_bit_order = l.byteOrder;
        image.bitmap_pad = 32;
        image.depth = l.depth;
        image.bits_per_pixel = l.bitsPerPixel;
        image.bytes_per_line = ((w * l.bitsPerPixel + 31) / 32) * 4;
        image.red_mask = l.red;
        image.green_mask = l.green;
        image.blue_mask = l.blue;
        data.assign(size_t(image.bytes_per_line) * size_t(h), '\x5A');
        image.data = data.data();
        return image;
    };
    std::vector<uint32_t> colors(37);
    std::uint32_t state = 7;
    for (uint32_t& c : colors) {
        state = state * 1664525u + 1013904223u;
        c = state >> 8;
    }
    colors[0] = 0;
    colors[1] = 0xFFFFFF;
    for (const Layout& l : layouts) {
        const unsigned long depthMask = l.depth >= 32 ? 0xFFFFFFFFul : (1ul << l.depth) - 1;
        const unsigned long alpha = depthMask & ~(l.red | l.green | l.blue);
        for (int scale = 1; scale <= 3; ++scale) {
            const int w = 40 * scale, h = 3 * scale;
            std::vector<char> mine, theirs;
            XImage a = makeImage(l, w, h, mine), b = makeImage(l, w, h, theirs);
            ASSERT_TRUE(XInitImage(&a));
            ASSERT_TRUE(XInitImage(&b));
            platform::x11::PixelWriter writer;
            platform::x11::describePixels(writer, &a, l.red, l.green, l.blue, alpha);
            EXPECT_EQ(writer.bytesPerPixel != 0, l.bitsPerPixel >= 16) << l.bitsPerPixel;
            platform::x11::writeRow(&a, writer, colors.data(), 2, 37, 1, scale);
            for (int x = 2; x < 37; ++x) {
                const uint32_t c = colors[size_t(x)];
                unsigned long pixel = alpha;
                const std::pair<uint32_t, unsigned long> channels[] = {
                    {c & 0xFF, l.red}, {(c >> 8) & 0xFF, l.green}, {(c >> 16) & 0xFF, l.blue}};
                for (const auto& [value, mask] : channels) {
                    int shift = 0;
                    while (!((mask >> shift) & 1))
                        ++shift;
                    pixel |= ((value * (mask >> shift) + 127) / 255) << shift;
                }
                for (int dy = 0; dy < scale; ++dy)
                    for (int dx = 0; dx < scale; ++dx)
                        XPutPixel(&b, x * scale + dx, scale + dy, pixel);
            }
            EXPECT_EQ(mine, theirs)
                << l.depth << " " << l.bitsPerPixel << " " << l.byteOrder << " scale " << scale;
        }
    }
}

TEST_F(X11Home, AnswersTheWindowTreeInScreenCoordinates) {
    EXPECT_EQ(platform::getParent(window), toHandle(host));
    EXPECT_EQ(platform::getParent(toHandle(host)), nullptr);
    platform::Box rect{};
    ASSERT_TRUE(platform::getWindowRect(window, &rect));
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 80);
    EXPECT_EQ(rect.right, 400);
    EXPECT_EQ(rect.bottom, 305);
    platform::Position point{110, 90};
    ASSERT_TRUE(platform::screenToClient(window, &point));
    EXPECT_EQ(point.x, 10);
    EXPECT_EQ(point.y, 10);
    char name[64];
    EXPECT_EQ(platform::getClassName(window, name, sizeof name), 11);
    EXPECT_STREQ(name, "X11HomeTest");
    EXPECT_EQ(platform::getWindowStyle(toHandle(host)) & platform::kWsCaption,
              platform::kWsCaption);
    ASSERT_TRUE(platform::setWindowSize(window, 320, 240));
    ASSERT_TRUE(platform::getWindowRect(window, &rect));
    EXPECT_EQ(rect.right - rect.left, 320);
    EXPECT_EQ(rect.bottom - rect.top, 240);
    // A window that is gone answers failures, not errors that end the process.
    const Window gone = XCreateSimpleWindow(display, host, 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(display, gone);
    XSync(display, False);
    EXPECT_FALSE(platform::getWindowRect(toHandle(gone), &rect));
    EXPECT_EQ(platform::getParent(toHandle(gone)), nullptr);
    EXPECT_FALSE(platform::setWindowSize(toHandle(gone), 10, 10));
    EXPECT_FALSE(platform::bringWindowToTop(toHandle(gone)));
}

} // namespace
