#pragma once
// Views and containers: rectangles that draw themselves, take input and know whether they
// need redrawing. Reference-counted; the order of the virtual operations is kept stable, as
// the frame, the containers and every control extend it.

#include "toolkit/color.h"
#include "toolkit/point.h"
#include "toolkit/rect.h"

#include <cstdint>

class Bitmap;
class DrawContext;
class EditorBase;
class Frame;
class OffscreenContext;
struct KeyCode;

// The message by which a container makes itself known; compared by pointer identity.
extern const char* const kMsgCheckIfViewContainer;

class View {
public:
    explicit View(const Rect& size);
    virtual ~View();

    View(const View&) = delete;
    View& operator=(const View&) = delete;

    virtual void draw(DrawContext* context);
    virtual void drawRect(DrawContext* context, const Rect& updateRect);
    virtual bool checkUpdate(const Rect& updateRect);
    virtual void mouse(DrawContext* context, const Point& where);
    virtual void update(DrawContext* context);
    virtual std::int32_t notify(View* sender, const char* message);
    virtual std::int32_t onKeyDown(KeyCode& keyCode);
    virtual std::int32_t onKeyUp(KeyCode& keyCode);
    virtual bool onDrop(void** items, std::int32_t count, std::int32_t type, const Point& where);
    virtual bool onWheel(DrawContext* context, const Point& where, float distance);
    virtual void loseFocus(DrawContext* context);
    virtual void takeFocus(DrawContext* context);
    virtual bool isDirty();
    virtual void setDirty(bool state);
    virtual void setMouseEnabled(bool enabled);
    virtual bool getMouseEnabled();
    virtual void setMouseableArea(const Rect& rect);
    virtual Rect& getMouseableArea(Rect& rect);
    virtual bool hitTest(const Point& where, std::int32_t buttons);
    virtual void setTransparency(bool state);
    virtual bool getTransparency();
    virtual void setViewSize(const Rect& rect);
    virtual Rect& getViewSize(Rect& rect);
    virtual void setParentView(View* parent);
    virtual void setFrame(Frame* newFrame);
    virtual EditorBase* getEditor();
    virtual bool removed(View* parent);
    virtual bool attached(View* parent);
    virtual void forget();
    virtual void remember();
    virtual std::int32_t getReferenceCount();

    // Asks the frame to draw this view at once; nothing without a frame.
    void redraw();

    Frame* getFrame() const { return frame; }
    View* getParentView() const { return parentView; }

protected:
    // An inclusive test: all four edges of the rectangle belong to it.
    static bool insideInclusive(const Rect& rect, const Point& where);

    std::int32_t referenceCount;
    Rect size;
    Rect mouseableArea;
    Frame* frame;
    View* parentView;
    bool dirty;
    bool mouseEnabled;
    bool transparent;
};

class ViewContainer : public View {
public:
    enum UpdateMode : std::int32_t { kRedrawAll = 0, kRedrawDirtyChildren = 1 };

    ViewContainer(const Rect& size, Frame* frame, Bitmap* background = nullptr);
    ~ViewContainer() override;

    void draw(DrawContext* context) override;
    void drawRect(DrawContext* context, const Rect& updateRect) override;
    void mouse(DrawContext* context, const Point& where) override;
    void update(DrawContext* context) override;
    std::int32_t notify(View* sender, const char* message) override;
    std::int32_t onKeyDown(KeyCode& keyCode) override;
    std::int32_t onKeyUp(KeyCode& keyCode) override;
    bool onDrop(void** items, std::int32_t count, std::int32_t type, const Point& where) override;
    bool onWheel(DrawContext* context, const Point& where, float distance) override;
    void loseFocus(DrawContext* context) override;
    void takeFocus(DrawContext* context) override;
    bool isDirty() override;
    bool hitTest(const Point& where, std::int32_t buttons) override;
    void setViewSize(const Rect& rect) override;
    bool removed(View* parent) override;
    bool attached(View* parent) override;

    virtual void addView(View* view, const Rect& mouseArea, bool enableMouse);
    virtual void addView(View* view);
    virtual void removeView(View* view, bool withForget = true);
    virtual void removeAll(bool withForget = true);
    virtual bool isChild(View* view);
    virtual std::int32_t getViewCount();
    virtual View* getView(std::int32_t index);
    virtual void setBackgroundColor(Color color);
    virtual Color getBackgroundColor();
    virtual void setBackground(Bitmap* bitmap);
    virtual Bitmap* getBackground();
    virtual void setBackgroundOffset(const Point& point);
    virtual Point getBackgroundOffset();
    virtual void setMode(std::int32_t newMode);
    virtual std::int32_t getMode();
    virtual void useOffscreen(bool use);

    // Whether a mouse-enabled child is hit at the point (in the container's parent's
    // coordinates).
    bool hitTestSubViews(const Point& where, std::int32_t buttons);

private:
    struct Node {
        View* view;
        Node* next;
        Node* previous;
    };

    // Moves the context's origin to this container for its children; `restore` undoes it.
    struct Shift {
        Point offset;
        Point windowOrigin;
    };
    // Asks the children from the last added until one handles the key.
    std::int32_t routeKey(KeyCode& keyCode, std::int32_t (View::*handler)(KeyCode&));
    Shift shiftContext(DrawContext* context);
    static void restoreContext(DrawContext* context, const Shift& saved);
    void createOffscreen();
    void drawBackgroundRect(DrawContext* target, const Rect& local);
    void unlink(Node* node, bool withForget);

    Node* head;
    Node* tail;
    Bitmap* background;
    std::int32_t mode;
    OffscreenContext* offscreen;
    Color backgroundColor;
    Point backgroundOffset;
    bool offscreenWanted;
};
