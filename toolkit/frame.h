#pragma once
// The root of the editor's view tree and the owner of its child window inside the host's
// window: paints, idle refresh, input routing, cursors, and sizing within the host's windows.

#include "toolkit/view.h"

#include "platform/draw.h"
#include "platform/handles.h"
#include "platform/windowing.h"

#include <cstdint>

class GuiEditor;

// The host window record of the host-opened mode: 256 bytes.
struct VstWindow {
    char title[128];
    std::int16_t xPos;
    std::int16_t yPos;
    std::int16_t width;
    std::int16_t height;
    std::int32_t style;
    void* parent;
    void* userHandle;
    void* winHandle;
    char future[104];
};

class Frame : public View {
public:
    // A frame showing its views in a new child window of `parentWindow`.
    Frame(const Rect& size, platform::WindowHandle parentWindow, GuiEditor* editor);
    // The host-opened mode: no window until `openHostWindow`.
    Frame(const Rect& size, const char* title, GuiEditor* editor, std::int32_t style);
    ~Frame() override;

    void draw(DrawContext* context) override;
    void drawRect(DrawContext* context, const Rect& updateRect) override;
    void mouse(DrawContext* context, const Point& where) override;
    void update(DrawContext* context) override;
    std::int32_t onKeyDown(KeyCode& keyCode) override;
    std::int32_t onKeyUp(KeyCode& keyCode) override;
    bool onDrop(void** items, std::int32_t count, std::int32_t type, const Point& where) override;
    bool onWheel(DrawContext* context, const Point& where, float distance) override;
    EditorBase* getEditor() override;

    virtual bool addView(View* view);
    virtual bool removeView(View* view, bool withForget = true);
    virtual bool removeAll(bool withForget = true);
    virtual bool isChild(View* view);
    virtual std::int32_t getViewCount();
    virtual View* getView(std::int32_t index);

    void idle();
    void drawView(View* view);
    void setBackground(Bitmap* bitmap);
    Bitmap* getBackground() const { return background; }
    bool setModalView(View* view);
    View* getModalView() const { return modalView; }
    void setFocusView(View* view);
    View* getFocusView() const { return focusView; }
    View* getCurrentView();
    Point getCurrentMouseLocation();
    void setCursor(std::int32_t type);
    void invalidate(const Rect& rect);
    bool beginEdit(std::int32_t index);
    bool endEdit(std::int32_t index);
    void idlePump();
    std::uint32_t getTicks();
    std::int32_t getKnobMode();
    GuiEditor* getGuiEditor() const { return editor; }

    // The window.
    bool createWindow(platform::WindowHandle parent);
    bool setDropActive(bool active);
    bool setSize(std::int32_t width, std::int32_t height);
    bool getSize(Rect& rect);
    bool getPosition(std::int32_t& x, std::int32_t& y);
    platform::WindowHandle getOuterWindow();
    platform::WindowHandle getWindow() const { return window; }
    platform::WindowHandle getParentWindow() const { return parentWindow; }
    bool isOpen() const { return open; }
    // True once the editor has closed the frame while a mouse call was still running; a
    // tracking loop that sees it ends at once and draws nothing more.
    bool isClosing() const { return closing; }
    // How the editor closes its frame. The window goes at once; the frame and its views go
    // now, or, when the host closed the editor from inside a mouse call (a drag pumping the
    // host's idle), as soon as the outermost mouse call has returned.
    void dispose();
    // A view leaves the tree (itself or inside a container): the focus and modal links that
    // point to it or into it are cleared, so nothing reaches a freed view later.
    void viewLeaving(View* view);

    // The host-opened mode.
    bool openHostWindow(const Point* position);
    bool closeHostWindow();
    const VstWindow* getHostWindowRecord() const { return hostWindowRecord; }

    static intptr_t TROB_WINAPI windowProcedure(platform::WindowHandle window,
                                                std::uint32_t message, std::uintptr_t wParam,
                                                std::intptr_t lParam);

private:
    // Asks the focus view, the modal view, then the views from the last added, until one
    // handles the key.
    std::int32_t routeKey(KeyCode& keyCode, std::int32_t (View::*handler)(KeyCode&));
    // A press to the modal view or the topmost view hit.
    void routeMouse(DrawContext* context, const Point& where);
    static Frame* frameOf(platform::WindowHandle window);
    static bool registerClass();
    static void releaseClass();

    GuiEditor* editor;
    platform::WindowHandle parentWindow;
    Bitmap* background;
    std::int32_t viewCount;
    std::int32_t capacity;
    View** views;
    View* modalView;
    View* focusView;
    bool firstDrawPending;
    bool open;
    bool dropActive;
    platform::WindowHandle window;
    platform::BlendLibrary blendLibrary;
    bool classRegistered;
    bool hostWindowMode;
    VstWindow* hostWindowRecord;
    platform::CursorHandle savedCursor;
    bool cursorSaved;
    bool closing = false;
    // Mouse calls under way (a drag can let another press through while it pumps messages).
    std::int32_t mouseDepth = 0;
};
