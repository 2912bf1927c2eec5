#include "tools/windows_host/editor_session.h"

#include "host/editor_base.h"
#include "host/opcodes.h"
#include "platform/win32/top_down_bitmap.h"
#include "tools/demo_signal.h"
#include "tools/plugin_host.h"
#include "tools/raw_audio.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace {

constexpr int kEditorWidth = 300;
constexpr int kEditorHeight = 225;
constexpr double kIdlesPerSecond = 30.0;
constexpr UINT kDragFinished = WM_APP + 1;
// How long the input thread waits for the plug-in to react before it calls the drag failed.
// Only a guard against a hang: no result depends on it.
constexpr DWORD kReactionLimitMs = 20000;

// The knob for parameter 11 (SpreadGain) sits at (228, 35) with a 24 x 24 face: the press
// lands low on the left of its arc, the drag ends at its top.
constexpr int kDragParameter = 11;
constexpr POINT kPressAt{231, 56};
constexpr POINT kDragTo{240, 37};

// Audio from a file of interleaved float32 stereo frames.
// Writes 32-bit pixels (0x00RRGGBB as GDI stores them) as a 24-bit BMP file.
bool writeBmp(const std::string& path, int width, int height,
              const std::vector<std::uint32_t>& bgra) {
    const int rowBytes = (width * 3 + 3) & ~3;
    const std::uint32_t pixelBytes = static_cast<std::uint32_t>(rowBytes * height);
    std::vector<std::uint8_t> file(54 + pixelBytes, 0);
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, 54 + pixelBytes);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    file[26] = 1;
    file[28] = 24;
    put32(34, pixelBytes);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = &file[54 + static_cast<std::size_t>((height - 1 - y) * rowBytes)];
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = bgra[static_cast<std::size_t>(y * width + x)];
            row[3 * x] = static_cast<std::uint8_t>(p);           // blue
            row[3 * x + 1] = static_cast<std::uint8_t>(p >> 8);  // green
            row[3 * x + 2] = static_cast<std::uint8_t>(p >> 16); // red
        }
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out);
}

// The window's pixels as its device shows them: a block copy from the window's own device
// into a 32-bit top-down section.
bool captureWindow(HWND window, const std::string& path) {
    RECT client{};
    GetClientRect(window, &client);
    const int width = client.right, height = client.bottom;
    if (width <= 0 || height <= 0) return false;
    BITMAPINFO info = topDownBitmapInfo(width, height);
    HDC windowDevice = GetDC(window);
    HDC memory = CreateCompatibleDC(windowDevice);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(windowDevice, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    std::vector<std::uint32_t> pixels;
    if (memory && section && bits) {
        HGDIOBJ prior = SelectObject(memory, section);
        copied = BitBlt(memory, 0, 0, width, height, windowDevice, 0, 0, SRCCOPY) != 0;
        GdiFlush();
        const auto* p = static_cast<const std::uint32_t*>(bits);
        pixels.assign(p, p + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        SelectObject(memory, prior);
    }
    if (section) DeleteObject(section);
    if (memory) DeleteDC(memory);
    ReleaseDC(window, windowDevice);
    return copied && writeBmp(path, width, height, pixels);
}

// Moves the pointer to a screen position with an absolute move, as a tablet or a remote
// desktop would: 0..65535 over the primary screen.
void sendMove(POINT screen) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    // The smallest normalised value that lands on the pixel, whichever way the system
    // rounds the conversion back.
    input.mi.dx = static_cast<LONG>((screen.x * 65536 + width - 1) / width);
    input.mi.dy = static_cast<LONG>((screen.y * 65536 + height - 1) / height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

void sendButton(DWORD flag) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flag;
    SendInput(1, &input, sizeof input);
}

struct Session {
    EditorSessionOptions options;
    PluginHost host;
    HWND hostWindow = nullptr;
    HWND editorWindow = nullptr;
    // How many times its own size the plug-in shows the editor (from its reported size).
    int scale = 1;
    int idles = 0;
    int status = 0;
    std::vector<std::string> facts;

    // What the input thread waits for, set from the host callback on the window's thread.
    HANDLE beginEditSeen = nullptr;
    HANDLE automationSeen = nullptr;
    HANDLE endEditSeen = nullptr;
    std::atomic<float> firstAutomation{-1.0f};
    std::atomic<float> lastAutomation{-1.0f};

    void fact(const std::string& line) { facts.push_back(line); }
    void fail(const std::string& line) {
        facts.push_back("FAIL " + line);
        status = 1;
    }
    std::string path(const char* name) const { return options.outputDir + "\\" + name; }
};

Session* running = nullptr;

void observe(const HostCall& call) {
    Session* s = running;
    if (!s || call.index != kDragParameter) return;
    if (call.opcode == audioMasterBeginEdit) SetEvent(s->beginEditSeen);
    if (call.opcode == audioMasterAutomate) {
        float none = -1.0f;
        s->firstAutomation.compare_exchange_strong(none, call.opt);
        s->lastAutomation = call.opt;
        SetEvent(s->automationSeen);
    }
    if (call.opcode == audioMasterEndEdit) SetEvent(s->endEditSeen);
}

// The user's hand: press on the knob, wait until the plug-in has begun the edit, move to the
// top of the arc, wait until the value there has reached the host, let go, wait for the end.
DWORD WINAPI dragKnob(void* parameter) {
    auto* s = static_cast<Session*>(parameter);
    POINT origin{0, 0};
    ClientToScreen(s->editorWindow, &origin);
    // On an enlarged editor the same points of the picture: the middle of their blocks.
    const int n = s->scale;
    const POINT press{origin.x + kPressAt.x * n + n / 2, origin.y + kPressAt.y * n + n / 2};
    const POINT target{origin.x + kDragTo.x * n + n / 2, origin.y + kDragTo.y * n + n / 2};
    WPARAM result = 0;
    sendMove(press);
    POINT seen{};
    GetCursorPos(&seen);
    if (seen.x != press.x || seen.y != press.y) result |= 1;
    sendButton(MOUSEEVENTF_LEFTDOWN);
    if (WaitForSingleObject(s->beginEditSeen, kReactionLimitMs) != WAIT_OBJECT_0) {
        result |= 2;
    } else {
        sendMove(target);
        // The press itself may already have moved the knob; wait for the value from the top
        // of the arc, well above the one at the press.
        for (;;) {
            if (WaitForSingleObject(s->automationSeen, kReactionLimitMs) != WAIT_OBJECT_0) {
                result |= 4;
                break;
            }
            if (s->lastAutomation.load() > s->firstAutomation.load() + 0.2f) break;
        }
    }
    sendButton(MOUSEEVENTF_LEFTUP);
    if (WaitForSingleObject(s->endEditSeen, kReactionLimitMs) != WAIT_OBJECT_0) result |= 8;
    PostMessageA(s->hostWindow, kDragFinished, result, 0);
    return 0;
}

void finish(Session* s) {
    KillTimer(s->hostWindow, 1);
    s->host.dispatch(effEditClose);
    s->fact(std::string("editor window after close: ") +
            (IsWindow(s->editorWindow) ? "alive" : "destroyed"));
    DestroyWindow(s->hostWindow);
}

LRESULT CALLBACK hostWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Session* s = running;
    switch (message) {
    case WM_TIMER:
        if (!s || wParam != 1) break;
        s->host.dispatch(effEditIdle);
        if (++s->idles == kIdlesBeforeCapture) {
            // Part of the window exposed, as when another window moved away from it: erased
            // and painted again, it must show what it showed. The edges cut through an
            // enlarged editor's pixel blocks.
            RECT client{};
            GetClientRect(s->editorWindow, &client);
            const RECT exposed{client.right / 3 + 1, client.bottom / 4 + 1,
                               client.right * 2 / 3 + 1, client.bottom * 3 / 4 + 1};
            InvalidateRect(s->editorWindow, &exposed, TRUE);
            UpdateWindow(s->editorWindow);
            if (!captureWindow(s->editorWindow, s->path("window.bmp")))
                s->fail("capture window.bmp");
            if (!s->options.drag) {
                finish(s);
                return 0;
            }
            HANDLE thread = CreateThread(nullptr, 0, &dragKnob, s, 0, nullptr);
            if (!thread) {
                s->fail("cannot start the input thread");
                finish(s);
            } else {
                CloseHandle(thread);
            }
        }
        return 0;
    case kDragFinished:
        if (!s) break;
        if (wParam & 1) s->fail("the pointer did not land where SendInput put it");
        if (wParam & 2) s->fail("no begin-edit after the press");
        if (wParam & 4) s->fail("no automation from the top of the knob's arc");
        if (wParam & 8) s->fail("no end-edit after the release");
        // The last idle calls redraw the moved knob.
        s->host.dispatch(effEditIdle);
        s->host.dispatch(effEditIdle);
        if (!captureWindow(s->editorWindow, s->path("dragged.bmp"))) s->fail("capture dragged.bmp");
        finish(s);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Runs the audio through in the rhythm a host's editor idle sees: blocks cut at every
// 1/30 s of audio.
bool processAudio(Session& s, AudioSource& source) {
    const double rate = source.sampleRate();
    const auto last = static_cast<std::int64_t>(std::min<double>(
        static_cast<double>(source.frameCount()), std::floor(s.options.seconds * rate)));
    const int block = s.options.blockSize;
    std::vector<float> inL(static_cast<std::size_t>(block)), inR(inL.size()), outL(inL.size()),
        outR(inL.size());
    std::int64_t done = 0, idles = 0;
    while (done < last) {
        ++idles;
        const auto nextIdle =
            std::min(last, static_cast<std::int64_t>(
                               std::floor(static_cast<double>(idles) * rate / kIdlesPerSecond)));
        while (done < nextIdle) {
            const std::int64_t want = std::min<std::int64_t>(block, nextIdle - done);
            const std::int64_t got = source.read(inL.data(), inR.data(), want);
            if (got <= 0) return got == 0;
            float* in[2] = {inL.data(), inR.data()};
            float* out[2] = {outL.data(), outR.data()};
            s.host.processReplacing(in, out, static_cast<std::int32_t>(got));
            for (std::int64_t i = 0; i < got; ++i)
                if (std::memcmp(&inL[static_cast<std::size_t>(i)],
                                &outL[static_cast<std::size_t>(i)], 4) ||
                    std::memcmp(&inR[static_cast<std::size_t>(i)],
                                &outR[static_cast<std::size_t>(i)], 4)) {
                    s.fail("the output differs from the input");
                    return false;
                }
            done += got;
        }
    }
    s.fact("frames processed: " + std::to_string(done));
    return true;
}

bool openEditor(Session& s) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &hostWindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = "TrobWindowsHost";
    RegisterClassA(&windowClass);

    EditorRect* rect = nullptr;
    if (s.host.dispatch(effEditGetRect, 0, 0, &rect) != 1 || !rect) {
        s.fail("effEditGetRect gave no rectangle");
        return false;
    }
    const int width = rect->right - rect->left, height = rect->bottom - rect->top;
    s.fact("editor rectangle: " + std::to_string(width) + " x " + std::to_string(height));
    s.scale = std::max(1, width / kEditorWidth);
    if (width != kEditorWidth * s.scale || height != kEditorHeight * s.scale)
        s.fail("the editor rectangle is not a whole multiple of the editor's size");
    RECT outer{0, 0, width, height};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&outer, style, FALSE);
    s.hostWindow = CreateWindowExA(0, "TrobWindowsHost", "TROBEdit", style, 60, 60,
                                   outer.right - outer.left, outer.bottom - outer.top, nullptr,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!s.hostWindow) {
        s.fail("cannot create the host window");
        return false;
    }
    ShowWindow(s.hostWindow, SW_SHOWNORMAL);
    UpdateWindow(s.hostWindow);
    SetForegroundWindow(s.hostWindow);

    if (s.host.dispatch(effEditOpen, 0, 0, s.hostWindow) != 1) {
        s.fail("effEditOpen refused the window");
        return false;
    }
    s.editorWindow = GetWindow(s.hostWindow, GW_CHILD);
    if (!s.editorWindow) {
        s.fail("the editor made no child window");
        return false;
    }
    char className[64] = {};
    GetClassNameA(s.editorWindow, className, sizeof className);
    char expected[64];
    std::snprintf(expected, sizeof expected, "Plugin%08x",
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(
                      GetModuleHandleA(s.options.plugin.c_str()))));
    s.fact(std::string("editor window class: ") + className);
    if (std::strcmp(className, expected) != 0)
        s.fail(std::string("class name, expected ") + expected);
    const auto windowStyle = static_cast<DWORD>(GetWindowLongA(s.editorWindow, GWL_STYLE));
    if ((windowStyle & (WS_CHILD | WS_VISIBLE)) != (WS_CHILD | WS_VISIBLE))
        s.fail("the editor window is not a visible child");
    if (GetParent(s.editorWindow) != s.hostWindow) s.fail("the editor window's parent");
    RECT client{};
    GetClientRect(s.editorWindow, &client);
    s.fact("editor window: " + std::to_string(client.right) + " x " +
           std::to_string(client.bottom));
    if (client.right != kEditorWidth * s.scale || client.bottom != kEditorHeight * s.scale)
        s.fail("editor window size");
    // Asked again with the editor open: the size the window has.
    rect = nullptr;
    if (s.host.dispatch(effEditGetRect, 0, 0, &rect) != 1 || !rect ||
        rect->right - rect->left != client.right || rect->bottom - rect->top != client.bottom)
        s.fail("effEditGetRect after the open differs from the window's size");
    return true;
}

} // namespace

int runEditorSession(const EditorSessionOptions& options) {
    auto session = std::make_unique<Session>();
    Session& s = *session;
    s.options = options;
    s.beginEditSeen = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    s.automationSeen = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    s.endEditSeen = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    running = &s;
    s.host.setCallHook(&observe);

    std::unique_ptr<AudioSource> source;
    if (options.audioFile.empty()) {
        source = std::make_unique<DemoSignal>(options.sampleRate);
    } else {
        std::vector<float> samples;
        if (!readRawAudio(options.audioFile, samples)) {
            std::fprintf(stderr, "cannot read %s\n", options.audioFile.c_str());
            return 1;
        }
        source = std::make_unique<RawAudio>(std::move(samples), options.sampleRate);
    }

    if (!s.host.load(options.plugin)) {
        std::fprintf(stderr, "%s\n", s.host.error().c_str());
        return 1;
    }
    s.host.dispatch(effOpen);
    s.host.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(options.sampleRate));
    s.host.dispatch(effSetBlockSize, 0, options.blockSize);
    s.host.dispatch(effMainsChanged, 0, 1);

    if (openEditor(s) && processAudio(s, *source)) {
        SetTimer(s.hostWindow, 1, static_cast<UINT>(1000.0 / kIdlesPerSecond), nullptr);
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        s.fact("idle calls from the timer: " + std::to_string(s.idles));
    } else if (s.hostWindow) {
        DestroyWindow(s.hostWindow);
    }

    char line[96];
    std::snprintf(line, sizeof line, "parameter %d at the end: %.9g", kDragParameter,
                  static_cast<double>(s.host.getParameter(kDragParameter)));
    s.fact(line);
    if (FILE* calls = std::fopen(s.path("calls.txt").c_str(), "w")) {
        for (const HostCall& c : s.host.calls())
            std::fprintf(calls, "%d %d %lld %.9g\n", c.opcode, c.index,
                         static_cast<long long>(c.value), static_cast<double>(c.opt));
        std::fclose(calls);
    }
    s.host.setCallHook(nullptr);
    s.host.unload();
    running = nullptr;
    if (FILE* facts = std::fopen(s.path("session.txt").c_str(), "w")) {
        for (const std::string& f : s.facts)
            std::fprintf(facts, "%s\n", f.c_str());
        std::fclose(facts);
    }
    for (const std::string& f : s.facts)
        std::printf("%s\n", f.c_str());
    CloseHandle(s.beginEditSeen);
    CloseHandle(s.automationSeen);
    CloseHandle(s.endEditSeen);
    return s.status;
}
