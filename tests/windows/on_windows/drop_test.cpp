// Drops on a real frame window, through the IDropTarget that the frame's registration put on
// the window: text, two files and a shell shortcut made here with the shell link object.
// Runs under Wine on a display (the cursor is placed over the window).

#include "platform/module_instance.h"
#include "toolkit/frame.h"
#include "toolkit/view.h"

#include <windows.h>

#include <ole2.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

// The test's COM objects live on the stack and never delete themselves; COM interfaces have no
// virtual destructor.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace {

struct ReceivedDrop {
    std::int32_t type;
    std::int32_t count;
    std::vector<std::string> items;
    Point where;
};

class RecordingView : public View {
public:
    explicit RecordingView(const Rect& size) : View(size) {}
    bool onDrop(void** items, std::int32_t count, std::int32_t type, const Point& where) override {
        ReceivedDrop drop{type, count, {}, where};
        if (type == 1)
            drop.items.emplace_back(static_cast<const char*>(items[0]),
                                    static_cast<std::size_t>(count));
        else
            for (std::int32_t i = 0; i < count; ++i)
                drop.items.emplace_back(static_cast<const char*>(items[i]));
        drops.push_back(drop);
        return true;
    }
    std::vector<ReceivedDrop> drops;
};

// Counts the storages handed back: each medium names it as its release interface, so
// ReleaseStgMedium calls its Release instead of freeing the memory, which the data keeps.
class ReleaseCounter : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        *out = IsEqualIID(id, IID_IUnknown) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override {
        ++released;
        return 1;
    }
    int released = 0;
};

// A data object offering text, a file list, both or neither, in global memory.
class TestData : public IDataObject {
public:
    ~TestData() {
        for (HGLOBAL h : handed)
            GlobalFree(h);
    }
    std::string text;
    bool offersText = false;
    std::vector<std::string> files;
    bool offersFiles = false;
    ReleaseCounter counter;
    std::vector<HGLOBAL> handed;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        *out = IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDataObject) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
        std::string bytes;
        if (format->cfFormat == CF_TEXT) {
            bytes = text;
        } else {
            DROPFILES header{};
            header.pFiles = sizeof header;
            bytes.assign(reinterpret_cast<const char*>(&header), sizeof header);
            for (const std::string& f : files)
                bytes += f + '\0';
            bytes += '\0';
        }
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
        GlobalUnlock(memory);
        handed.push_back(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = &counter;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        if (!format || !(format->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
        if (format->cfFormat == CF_TEXT && offersText) return S_OK;
        if (format->cfFormat == CF_HDROP && offersFiles) return S_OK;
        return DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
};

class FrameDrops : public ::testing::Test {
protected:
    void SetUp() override {
        moduleInstance = reinterpret_cast<platform::ModuleHandle>(GetModuleHandleA(nullptr));
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "TrobDropHost";
        RegisterClassA(&windowClass);
        host = CreateWindowExA(0, "TrobDropHost", "drops", WS_POPUP | WS_VISIBLE, 100, 100, 300,
                               225, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(host);
        frame = new Frame(Rect(0, 0, 300, 225), reinterpret_cast<platform::WindowHandle>(host),
                          nullptr);
        view = new RecordingView(Rect(0, 0, 300, 225));
        ASSERT_TRUE(frame->addView(view));
        window = reinterpret_cast<HWND>(frame->getWindow());
        ASSERT_TRUE(window);
        SetCursorPos(100 + 150, 100 + 112);
        target = static_cast<IDropTarget*>(GetPropA(window, "OleDropTargetInterface"));
        ASSERT_TRUE(target) << "the frame's window carries no registered drop target";
    }
    void TearDown() override {
        if (frame) frame->dispose();
        if (host) DestroyWindow(host);
    }

    // A whole drag: enter, one move, drop, as OLE's drag loop calls them.
    void dragAndDrop(TestData& data) {
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
        ASSERT_EQ(target->DragEnter(&data, MK_LBUTTON, POINTL{250, 212}, &effect), S_OK);
        ASSERT_EQ(target->DragOver(MK_LBUTTON, POINTL{250, 212}, &effect), S_OK);
        ASSERT_EQ(target->Drop(&data, MK_LBUTTON, POINTL{250, 212}, &effect), S_OK);
    }

    HWND host = nullptr;
    HWND window = nullptr;
    Frame* frame = nullptr;
    RecordingView* view = nullptr;
    IDropTarget* target = nullptr;
};

TEST_F(FrameDrops, TheWindowCarriesARealDropTargetUntilTheFrameGoes) {
    void* same = nullptr;
    ASSERT_EQ(target->QueryInterface(IID_IDropTarget, &same), S_OK);
    EXPECT_EQ(same, target);
    const ULONG held = target->Release(); // the reference QueryInterface added
    void* unknown = nullptr;
    ASSERT_EQ(target->QueryInterface(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(unknown, target);
    EXPECT_EQ(target->Release(), held);
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(target->QueryInterface(IID_IDataObject, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(target->AddRef(), held + 1);
    EXPECT_EQ(target->Release(), held);

    frame->dispose();
    frame = nullptr;
    EXPECT_EQ(GetPropA(window, "OleDropTargetInterface"), nullptr) << "not revoked";
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(FrameDrops, EffectsFollowTheDataAndTheControlKey) {
    TestData text;
    text.offersText = true;
    DWORD effect = 0xFF;
    ASSERT_EQ(target->DragEnter(&text, MK_LBUTTON | MK_CONTROL, POINTL{}, &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
    ASSERT_EQ(target->DragOver(MK_LBUTTON, POINTL{}, &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_MOVE));
    ASSERT_EQ(target->DragLeave(), S_OK);

    TestData files;
    files.offersFiles = true;
    ASSERT_EQ(target->DragEnter(&files, MK_LBUTTON, POINTL{}, &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_MOVE));

    TestData neither;
    ASSERT_EQ(target->DragEnter(&neither, MK_LBUTTON | MK_CONTROL, POINTL{}, &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
    ASSERT_EQ(target->DragOver(MK_LBUTTON | MK_CONTROL, POINTL{}, &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
    ASSERT_EQ(target->DragEnter(nullptr, MK_LBUTTON, POINTL{}, &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
    EXPECT_TRUE(view->drops.empty()) << "dragging over the window drops nothing";
}

TEST_F(FrameDrops, TextReachesTheViewUnderTheCursorAndItsStorageGoesBack) {
    TestData data;
    data.offersText = true;
    data.offersFiles = true; // text is taken first
    data.text = "dropped text";
    data.files = {"C:\\not\\taken.wav"};
    dragAndDrop(data);
    ASSERT_EQ(view->drops.size(), 1u);
    const ReceivedDrop& drop = view->drops[0];
    EXPECT_EQ(drop.type, 1);
    ASSERT_EQ(data.handed.size(), 1u);
    EXPECT_EQ(drop.count, static_cast<std::int32_t>(GlobalSize(data.handed[0])));
    EXPECT_EQ(drop.items[0].substr(0, data.text.size()), data.text);
    EXPECT_EQ(drop.where.h, 150);
    EXPECT_EQ(drop.where.v, 112);
    EXPECT_EQ(data.counter.released, 1);
}

TEST_F(FrameDrops, TwoFilesReachTheViewInOrderAndTheirStorageGoesBack) {
    TestData data;
    data.offersFiles = true;
    data.files = {"C:\\music\\first take.wav", "D:\\second.aiff"};
    dragAndDrop(data);
    ASSERT_EQ(view->drops.size(), 1u);
    EXPECT_EQ(view->drops[0].type, 0);
    ASSERT_EQ(view->drops[0].count, 2);
    EXPECT_EQ(view->drops[0].items, data.files);
    EXPECT_EQ(data.counter.released, 1);
}

TEST_F(FrameDrops, AShortcutReachesTheViewAsThePathItPointsTo) {
    char folder[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, folder), 0u);
    const std::string dir = std::string(folder) + "trob drop test";
    CreateDirectoryA(dir.c_str(), nullptr);
    const std::string targetFile = dir + "\\the target.wav";
    const std::string shortcut = dir + "\\Target Shortcut.LNK";
    HANDLE file = CreateFileA(targetFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);

    IShellLinkA* link = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                               reinterpret_cast<void**>(&link)),
              S_OK);
    ASSERT_EQ(link->SetPath(targetFile.c_str()), S_OK);
    IPersistFile* persist = nullptr;
    ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)), S_OK);
    std::wstring wide(shortcut.begin(), shortcut.end());
    ASSERT_EQ(persist->Save(wide.c_str(), TRUE), S_OK);
    persist->Release();
    link->Release();

    // The shell link answers the short (8.3) form of the path; Wine's answers the long one.
    // Either way it must be the target file, which both long forms name alike.
    const auto longForm = [](const std::string& path) {
        char full[MAX_PATH] = {};
        return GetLongPathNameA(path.c_str(), full, MAX_PATH) ? std::string(full) : path;
    };

    TestData data;
    data.offersFiles = true;
    data.files = {shortcut, "C:\\plain.lnkx"};
    dragAndDrop(data);
    ASSERT_EQ(view->drops.size(), 1u);
    ASSERT_EQ(view->drops[0].count, 2);
    EXPECT_EQ(lstrcmpiA(longForm(view->drops[0].items[0]).c_str(), longForm(targetFile).c_str()), 0)
        << view->drops[0].items[0] << " is not " << targetFile;
    EXPECT_NE(view->drops[0].items[0], shortcut);
    EXPECT_EQ(view->drops[0].items[1], "C:\\plain.lnkx");

    DeleteFileA(shortcut.c_str());
    DeleteFileA(targetFile.c_str());
    RemoveDirectoryA(dir.c_str());
}

} // namespace
