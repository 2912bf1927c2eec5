#include "toolkit/frame.h"

#include "host/editor_base.h"
#include "host/effect_base_x.h"
#include "host/gui_editor/gui_editor.h"
#include "toolkit/bitmap.h"
#include "toolkit/blend_entries.h"
#include "toolkit/draw_context.h"
#include "toolkit/point.h"
#include "toolkit/window_context.h"

#include <cstdlib>
#include <cstring>
#include <new>

Frame::Frame(const Rect& rect, platform::WindowHandle parent, GuiEditor* owner)
    : View(rect), editor(owner), parentWindow(parent), background(nullptr), viewCount(0),
      capacity(0), views(nullptr), modalView(nullptr), focusView(nullptr), firstDrawPending(true),
      open(true), dropActive(false), window(nullptr), classRegistered(false), hostWindowMode(false),
      hostWindowRecord(nullptr), savedCursor(nullptr), cursorSaved(false) {
    platform::oleInitialize();
    blendEntries = BlendEntries{};
    blendLibrary = platform::loadBlendLibrary();
    blendEntries.AlphaBlend = blendLibrary.alphaBlend;
    blendEntries.TransparentBlt = blendLibrary.transparentBlt;
    createWindow(parentWindow);
}

Frame::Frame(const Rect& rect, const char* title, GuiEditor* owner, std::int32_t style)
    : View(rect), editor(owner), parentWindow(nullptr), background(nullptr), viewCount(0),
      capacity(0), views(nullptr), modalView(nullptr), focusView(nullptr), firstDrawPending(true),
      open(false), dropActive(false), window(nullptr), classRegistered(false), hostWindowMode(true),
      hostWindowRecord(nullptr), savedCursor(nullptr), cursorSaved(false) {
    platform::oleInitialize();
    hostWindowRecord = static_cast<VstWindow*>(std::calloc(1, sizeof(VstWindow)));
    if (hostWindowRecord) {
        if (title) std::strncpy(hostWindowRecord->title, title, sizeof hostWindowRecord->title - 1);
        hostWindowRecord->xPos = static_cast<std::int16_t>(size.left);
        hostWindowRecord->yPos = static_cast<std::int16_t>(size.top);
        hostWindowRecord->width = static_cast<std::int16_t>(size.width());
        hostWindowRecord->height = static_cast<std::int16_t>(size.height());
        hostWindowRecord->style = style;
    }
}

Frame::~Frame() {
    setCursor(0);
    setDropActive(false);
    removeAll(true);
    if (background) background->forget();
    background = nullptr;
    platform::oleUninitialize();
    if (blendLibrary.module) platform::freeBlendLibrary(blendLibrary);
    if (window) {
        // Messages sent while the window goes find no frame.
        platform::setWindowUserData(window, 0);
        platform::destroyWindow(window);
        window = nullptr;
    }
    if (classRegistered) releaseClass();
    if (hostWindowMode) closeHostWindow();
    std::free(hostWindowRecord);
}

// --- children

bool Frame::addView(View* view) {
    if (!view) return false;
    if (viewCount == capacity) {
        View** grown = new (std::nothrow) View*[static_cast<std::size_t>(capacity) + 20];
        if (!grown) return false;
        for (std::int32_t i = 0; i < viewCount; ++i)
            grown[i] = views[i];
        delete[] views;
        views = grown;
        capacity += 20;
    }
    views[viewCount++] = view;
    view->setFrame(this);
    view->attached(this);
    return true;
}

bool Frame::removeView(View* view, bool withForget) {
    for (std::int32_t i = 0; i < viewCount; ++i) {
        if (views[i] != view) continue;
        for (std::int32_t j = i; j + 1 < viewCount; ++j)
            views[j] = views[j + 1];
        --viewCount;
        viewLeaving(view);
        view->removed(this);
        if (withForget) view->forget();
        return true;
    }
    return false;
}

bool Frame::removeAll(bool withForget) {
    if (focusView) {
        View* losing = focusView;
        focusView = nullptr;
        losing->loseFocus(nullptr);
    }
    View** list = views;
    const std::int32_t count = viewCount;
    views = nullptr;
    viewCount = 0;
    capacity = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        viewLeaving(list[i]);
        list[i]->removed(this);
        if (withForget) list[i]->forget();
    }
    delete[] list;
    return true;
}

namespace {

bool isWithin(const View* inner, const View* outer) {
    for (const View* v = inner; v; v = v->getParentView())
        if (v == outer) return true;
    return false;
}

} // namespace

void Frame::viewLeaving(View* view) {
    if (!view) return;
    if (isWithin(focusView, view)) focusView = nullptr;
    if (isWithin(modalView, view)) modalView = nullptr;
}

void Frame::dispose() {
    if (mouseDepth == 0) {
        delete this;
        return;
    }
    closing = true;
    open = false;
    setDropActive(false);
    if (window) {
        // The host may destroy its own window as soon as the editor is closed: ours goes now.
        // Contexts the unwinding mouse call still holds keep their devices.
        platform::setWindowUserData(window, 0);
        platform::destroyWindow(window);
        window = nullptr;
    }
    parentWindow = nullptr;
}

bool Frame::isChild(View* view) {
    for (std::int32_t i = 0; i < viewCount; ++i)
        if (views[i] == view) return true;
    return false;
}

std::int32_t Frame::getViewCount() {
    return viewCount;
}

View* Frame::getView(std::int32_t index) {
    return index >= 0 && index < viewCount ? views[index] : nullptr;
}

// --- drawing

void Frame::draw(DrawContext* context) {
    firstDrawPending = false;
    if (!context) return;
    if (background)
        background->draw(context, Rect{0, 0, background->getWidth(), background->getHeight()},
                         Point{0, 0});
    for (std::int32_t i = 0; i < viewCount; ++i)
        views[i]->draw(context);
    if (modalView) modalView->draw(context);
}

void Frame::drawRect(DrawContext* context, const Rect& updateRect) {
    firstDrawPending = false;
    if (!context) return;
    if (background) background->draw(context, updateRect, Point{updateRect.left, updateRect.top});
    for (std::int32_t i = 0; i < viewCount; ++i)
        if (views[i]->checkUpdate(updateRect)) views[i]->drawRect(context, updateRect);
    if (modalView && modalView->checkUpdate(updateRect)) modalView->draw(context);
}

void Frame::update(DrawContext* context) {
    if (!open || !context) return;
    if (modalView) {
        modalView->update(context);
    } else if (dirty) {
        draw(context);
        setDirty(false);
    } else {
        for (std::int32_t i = 0; i < viewCount; ++i)
            views[i]->update(context);
    }
}

void Frame::idle() {
    if (!open || firstDrawPending || !window) return;
    bool needed = modalView || dirty;
    for (std::int32_t i = 0; i < viewCount && !needed; ++i)
        needed = views[i]->isDirty();
    if (!needed) return;
    WindowContext context(this, window);
    update(context.get());
}

void Frame::drawView(View* view) {
    if (!open || !window) return;
    WindowContext context(this, window);
    if (!context.get()) return;
    if (view && isChild(view))
        view->draw(context.get());
    else
        draw(context.get());
}

void Frame::setBackground(Bitmap* bitmap) {
    if (background) background->forget();
    background = bitmap;
    if (background) background->remember();
}

void Frame::invalidate(const Rect& rect) {
    for (std::int32_t i = 0; i < viewCount; ++i) {
        Rect viewSize;
        views[i]->getViewSize(viewSize);
        if (rect.right >= viewSize.left && rect.left <= viewSize.right &&
            rect.bottom >= viewSize.top && rect.top <= viewSize.bottom)
            views[i]->setDirty(true);
    }
}

// --- modal and focus views

bool Frame::setModalView(View* view) {
    if (view && modalView) return false;
    if (modalView) modalView->removed(this);
    modalView = view;
    if (modalView) modalView->attached(this);
    return true;
}

void Frame::setFocusView(View* view) {
    View* previous = focusView;
    focusView = view;
    if (previous) previous->loseFocus(nullptr);
}

// --- input

void Frame::mouse(DrawContext* context, const Point& where) {
    ++mouseDepth;
    routeMouse(context, where);
    // Closed by the host while the press was handled: the last mouse call out deletes.
    if (--mouseDepth == 0 && closing) delete this;
}

void Frame::routeMouse(DrawContext* context, const Point& where) {
    if (focusView) {
        View* losing = focusView;
        focusView = nullptr;
        losing->loseFocus(nullptr);
    }
    const std::int32_t buttons = context ? context->getMouseButtons() : -1;
    if (modalView) {
        if (modalView->hitTest(where, buttons)) modalView->mouse(context, where);
        return;
    }
    for (std::int32_t i = viewCount - 1; i >= 0; --i) {
        View* view = views[i];
        if (view->getMouseEnabled() && view->hitTest(where, buttons)) {
            view->mouse(context, where);
            return;
        }
    }
}

std::int32_t Frame::routeKey(KeyCode& keyCode, std::int32_t (View::*handler)(KeyCode&)) {
    std::int32_t result = -1;
    if (focusView) result = (focusView->*handler)(keyCode);
    if (result == -1 && modalView) result = (modalView->*handler)(keyCode);
    for (std::int32_t i = viewCount - 1; result == -1 && i >= 0; --i)
        result = (views[i]->*handler)(keyCode);
    return result;
}

std::int32_t Frame::onKeyDown(KeyCode& keyCode) {
    return routeKey(keyCode, &View::onKeyDown);
}
std::int32_t Frame::onKeyUp(KeyCode& keyCode) {
    return routeKey(keyCode, &View::onKeyUp);
}

bool Frame::onDrop(void** items, std::int32_t count, std::int32_t type, const Point& where) {
    if (modalView || focusView) return false;
    for (std::int32_t i = viewCount - 1; i >= 0; --i) {
        View* view = views[i];
        Rect viewSize;
        view->getViewSize(viewSize);
        if (view->getMouseEnabled() && insideInclusive(viewSize, where) &&
            view->onDrop(items, count, type, where))
            return true;
    }
    return false;
}

bool Frame::onWheel(DrawContext* context, const Point&, float distance) {
    View* target = getCurrentView();
    if (!target) return false;
    const Point where = getCurrentMouseLocation();
    if (context) return target->onWheel(context, where, distance);
    if (!window) {
        // No window to read input for: the view gets a context whose buttons read 0.
        DrawContext detached(this, nullptr, nullptr);
        detached.readsLiveInput = false;
        return target->onWheel(&detached, where, distance);
    }
    WindowContext temporary(this, window);
    return target->onWheel(temporary.get(), where, distance);
}

View* Frame::getCurrentView() {
    if (modalView) return modalView;
    const Point where = getCurrentMouseLocation();
    for (std::int32_t i = viewCount - 1; i >= 0; --i) {
        Rect viewSize;
        views[i]->getViewSize(viewSize);
        if (insideInclusive(viewSize, where)) return views[i];
    }
    return nullptr;
}

Point Frame::getCurrentMouseLocation() {
    platform::Position cursor;
    platform::getCursorPos(&cursor);
    platform::Box screen{};
    if (window && platform::getWindowRect(window, &screen)) {
        cursor.x = relativeCoordinate(cursor.x, screen.left);
        cursor.y = relativeCoordinate(cursor.y, screen.top);
    }
    return Point{cursor.x, cursor.y};
}

void Frame::setCursor(std::int32_t type) {
    static const int kSystemCursors[] = {platform::kCursorWait,     platform::kCursorSizeWe,
                                         platform::kCursorSizeNs,   platform::kCursorSizeAll,
                                         platform::kCursorSizeNesw, platform::kCursorSizeNwse};
    if (!cursorSaved) {
        savedCursor = platform::getCursor();
        cursorSaved = true;
    }
    if (type == 0)
        platform::setCursor(savedCursor);
    else if (type >= 1 && type <= 6)
        platform::setCursor(platform::loadSystemCursor(kSystemCursors[type - 1]));
}

// --- the editor's services

EditorBase* Frame::getEditor() {
    return editor;
}

bool Frame::beginEdit(std::int32_t index) {
    EffectBaseX* effect = editor ? editor->getEffect() : nullptr;
    return effect ? effect->beginEdit(index) : false;
}

bool Frame::endEdit(std::int32_t index) {
    EffectBaseX* effect = editor ? editor->getEffect() : nullptr;
    return effect ? effect->endEdit(index) : false;
}

void Frame::idlePump() {
    if (editor && !closing) editor->idlePump();
}

std::uint32_t Frame::getTicks() {
    return editor ? platform::getTickCount() : 0;
}
std::int32_t Frame::getKnobMode() {
    return editKnobMode;
}
