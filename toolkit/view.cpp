#include "toolkit/view.h"

#include "toolkit/bitmap.h"
#include "toolkit/draw_context.h"
#include "toolkit/frame.h"
#include "toolkit/offscreen_context.h"

#include "platform/windowing.h"

#include <new>

const char* const kMsgCheckIfViewContainer = "kMsgCheckIfViewContainer";

// --- View

View::View(const Rect& rect)
    : referenceCount(1), size(rect), mouseableArea(rect), frame(nullptr), parentView(nullptr),
      dirty(false), mouseEnabled(true), transparent(false) {}

View::~View() = default;

bool View::insideInclusive(const Rect& rect, const Point& where) {
    return where.h >= rect.left && where.h <= rect.right && where.v >= rect.top &&
           where.v <= rect.bottom;
}

void View::draw(DrawContext*) {
    setDirty(false);
}
void View::drawRect(DrawContext* context, const Rect&) {
    draw(context);
}

bool View::checkUpdate(const Rect& updateRect) {
    return updateRect.right >= size.left && updateRect.left <= size.right &&
           updateRect.bottom >= size.top && updateRect.top <= size.bottom;
}

void View::mouse(DrawContext*, const Point&) {}

void View::update(DrawContext* context) {
    if (isDirty()) {
        draw(context);
        setDirty(false);
    }
}

std::int32_t View::notify(View*, const char*) {
    return 0;
}
std::int32_t View::onKeyDown(KeyCode&) {
    return -1;
}
std::int32_t View::onKeyUp(KeyCode&) {
    return -1;
}
bool View::onDrop(void**, std::int32_t, std::int32_t, const Point&) {
    return false;
}
bool View::onWheel(DrawContext*, const Point&, float) {
    return false;
}
void View::loseFocus(DrawContext*) {}
void View::takeFocus(DrawContext*) {}
bool View::isDirty() {
    return dirty;
}
void View::setDirty(bool state) {
    dirty = state;
}
void View::setMouseEnabled(bool enabled) {
    mouseEnabled = enabled;
}
bool View::getMouseEnabled() {
    return mouseEnabled;
}
void View::setMouseableArea(const Rect& rect) {
    mouseableArea = rect;
}
Rect& View::getMouseableArea(Rect& rect) {
    return rect = mouseableArea;
}
bool View::hitTest(const Point& where, std::int32_t) {
    return insideInclusive(size, where);
}
void View::setTransparency(bool state) {
    transparent = state;
}
bool View::getTransparency() {
    return transparent;
}

void View::setViewSize(const Rect& rect) {
    size = rect;
    setDirty(true);
}

Rect& View::getViewSize(Rect& rect) {
    return rect = size;
}
void View::setParentView(View* parent) {
    parentView = parent;
}
void View::setFrame(Frame* newFrame) {
    frame = newFrame;
}
EditorBase* View::getEditor() {
    return frame ? frame->getEditor() : nullptr;
}
bool View::removed(View*) {
    return true;
}
bool View::attached(View*) {
    return true;
}

void View::forget() {
    if (referenceCount <= 0) return;
    if (--referenceCount == 0) delete this;
}

void View::remember() {
    ++referenceCount;
}
std::int32_t View::getReferenceCount() {
    return referenceCount;
}

void View::redraw() {
    if (frame) frame->drawView(this);
}

// --- ViewContainer

ViewContainer::ViewContainer(const Rect& rect, Frame* owner, Bitmap* backgroundBitmap)
    : View(rect), head(nullptr), tail(nullptr), background(backgroundBitmap), mode(kRedrawAll),
      offscreen(nullptr), backgroundColor(kBlackColor), backgroundOffset{0, 0},
      offscreenWanted(true) {
    frame = owner;
    if (background) background->remember();
}

ViewContainer::~ViewContainer() {
    if (background) background->forget();
    background = nullptr;
    removeAll(true);
    delete offscreen;
    offscreen = nullptr;
}

ViewContainer::Shift ViewContainer::shiftContext(DrawContext* context) {
    Shift saved{context->offset, context->windowOrigin};
    context->offset = {size.left, size.top};
    platform::Box screen{};
    if (context->getWindow() && platform::getWindowRect(context->getWindow(), &screen))
        context->windowOrigin = {screen.left + size.left, screen.top + size.top};
    else
        context->windowOrigin = {size.left, size.top};
    return saved;
}

void ViewContainer::restoreContext(DrawContext* context, const Shift& saved) {
    context->offset = saved.offset;
    context->windowOrigin = saved.windowOrigin;
}

void ViewContainer::createOffscreen() {
    if (!offscreen && offscreenWanted)
        offscreen =
            new (std::nothrow) OffscreenContext(frame, size.width(), size.height(), kBlackColor);
}

void ViewContainer::drawBackgroundRect(DrawContext* target, const Rect& local) {
    if (background) {
        const Point source{backgroundOffset.h + local.left, backgroundOffset.v + local.top};
        if (transparent)
            background->drawTransparent(target, local, source);
        else
            background->draw(target, local, source);
    } else if (!transparent) {
        target->setFillColor(backgroundColor);
        target->fillRect(local);
    }
}

void ViewContainer::draw(DrawContext* context) {
    if (!context) return;
    createOffscreen();
    const bool toOffscreen = offscreenWanted && offscreen;
    DrawContext* target = toOffscreen ? offscreen : context;
    Shift saved{};
    if (!toOffscreen) saved = shiftContext(context);

    drawBackgroundRect(target, Rect{0, 0, size.width(), size.height()});
    for (Node* n = head; n; n = n->next)
        n->view->draw(target);

    if (toOffscreen)
        offscreen->copyTo(context, size, Point{0, 0});
    else
        restoreContext(context, saved);
    setDirty(false);
}

void ViewContainer::drawRect(DrawContext* context, const Rect& updateRect) {
    if (!context) return;
    Rect bounded = updateRect;
    bounded.bound(size);
    Rect local = bounded;
    local = Rect{local.left - size.left, local.top - size.top, local.right - size.left,
                 local.bottom - size.top};

    createOffscreen();
    const bool toOffscreen = offscreenWanted && offscreen;
    DrawContext* target = toOffscreen ? offscreen : context;
    Shift saved{};
    if (!toOffscreen) saved = shiftContext(context);

    drawBackgroundRect(target, local);
    for (Node* n = head; n; n = n->next)
        if (n->view->checkUpdate(local)) n->view->draw(target);

    if (toOffscreen)
        offscreen->copyTo(context, bounded, Point{local.left, local.top});
    else
        restoreContext(context, saved);
    setDirty(false);
}

void ViewContainer::update(DrawContext* context) {
    if (!context) return;
    switch (mode) {
    case kRedrawAll:
        if (isDirty()) draw(context);
        return;
    case kRedrawDirtyChildren:
        break;
    default:
        return;
    }
    if (dirty) {
        draw(context);
        setDirty(false);
    } else if (offscreenWanted && offscreen) {
        const bool wasDirty = isDirty();
        for (Node* n = head; n; n = n->next)
            n->view->update(offscreen);
        if (wasDirty) offscreen->copyTo(context, size, Point{0, 0});
        setDirty(false);
    } else {
        Shift saved = shiftContext(context);
        for (Node* n = head; n; n = n->next) {
            View* child = n->view;
            if (!child->isDirty()) continue;
            ViewContainer* nested = nullptr;
            std::int32_t savedMode = 0;
            if (child->notify(this, kMsgCheckIfViewContainer)) {
                nested = static_cast<ViewContainer*>(child);
                savedMode = nested->getMode();
                nested->setMode(kRedrawAll);
            }
            Rect childSize;
            child->getViewSize(childSize);
            drawBackgroundRect(context, childSize);
            child->update(context);
            if (nested) nested->setMode(savedMode);
        }
        restoreContext(context, saved);
        setDirty(false);
    }
}

std::int32_t ViewContainer::notify(View*, const char* message) {
    return message == kMsgCheckIfViewContainer ? 1 : 0;
}

bool ViewContainer::isDirty() {
    if (dirty) return true;
    for (Node* n = head; n; n = n->next)
        if (n->view->isDirty()) return true;
    return false;
}

void ViewContainer::mouse(DrawContext* context, const Point& where) {
    const Point local{where.h - size.left, where.v - size.top};
    Shift saved{};
    if (context) saved = shiftContext(context);
    const std::int32_t buttons = context ? context->getMouseButtons() : -1;
    for (Node* n = tail; n; n = n->previous) {
        if (n->view->getMouseEnabled() && n->view->hitTest(local, buttons)) {
            n->view->mouse(context, local);
            break;
        }
    }
    if (context) restoreContext(context, saved);
}

std::int32_t ViewContainer::routeKey(KeyCode& keyCode, std::int32_t (View::*handler)(KeyCode&)) {
    for (Node* n = tail; n; n = n->previous) {
        const std::int32_t result = (n->view->*handler)(keyCode);
        if (result != -1) return result;
    }
    return -1;
}

std::int32_t ViewContainer::onKeyDown(KeyCode& keyCode) {
    return routeKey(keyCode, &View::onKeyDown);
}

std::int32_t ViewContainer::onKeyUp(KeyCode& keyCode) {
    return routeKey(keyCode, &View::onKeyUp);
}

bool ViewContainer::onDrop(void** items, std::int32_t count, std::int32_t type,
                           const Point& where) {
    if (!frame) return false;
    const Point local{where.h - size.left, where.v - size.top};
    for (Node* n = tail; n; n = n->previous) {
        Rect area;
        n->view->getMouseableArea(area);
        if (n->view->getMouseEnabled() && insideInclusive(area, local) &&
            n->view->onDrop(items, count, type, local))
            return true;
    }
    return false;
}

bool ViewContainer::onWheel(DrawContext* context, const Point&, float distance) {
    if (!frame) return false;
    Point mouse = frame->getCurrentMouseLocation();
    const Point local{mouse.h - size.left, mouse.v - size.top};
    View* target = nullptr;
    for (Node* n = tail; n && !target; n = n->previous) {
        Rect area;
        n->view->getMouseableArea(area);
        if (insideInclusive(area, local)) target = n->view;
    }
    if (!target) return false;
    Shift saved{};
    if (context) saved = shiftContext(context);
    const bool result = target->onWheel(context, local, distance);
    if (context) restoreContext(context, saved);
    return result;
}

void ViewContainer::loseFocus(DrawContext* context) {
    for (Node* n = head; n; n = n->next)
        n->view->loseFocus(context);
}

void ViewContainer::takeFocus(DrawContext* context) {
    for (Node* n = head; n; n = n->next)
        n->view->takeFocus(context);
}

bool ViewContainer::hitTest(const Point& where, std::int32_t) {
    return insideInclusive(size, where);
}

bool ViewContainer::hitTestSubViews(const Point& where, std::int32_t buttons) {
    const Point local{where.h - size.left, where.v - size.top};
    for (Node* n = tail; n; n = n->previous)
        if (n->view->getMouseEnabled() && n->view->hitTest(local, buttons)) return true;
    return false;
}

void ViewContainer::setViewSize(const Rect& rect) {
    View::setViewSize(rect);
    if (offscreen) {
        delete offscreen;
        offscreen =
            new (std::nothrow) OffscreenContext(frame, size.width(), size.height(), kBlackColor);
    }
}

bool ViewContainer::attached(View*) {
    createOffscreen();
    return true;
}

bool ViewContainer::removed(View*) {
    delete offscreen;
    offscreen = nullptr;
    return true;
}

void ViewContainer::addView(View* view, const Rect& mouseArea, bool enableMouse) {
    if (!view) return;
    view->setMouseEnabled(enableMouse);
    view->setMouseableArea(mouseArea);
    addView(view);
}

void ViewContainer::addView(View* view) {
    if (!view) return;
    Node* node = new (std::nothrow) Node{view, nullptr, tail};
    if (!node) return;
    view->remember();
    if (tail)
        tail->next = node;
    else
        head = node;
    tail = node;
    view->setParentView(this);
    view->setFrame(frame);
    view->attached(this);
    view->setDirty(true);
}

void ViewContainer::unlink(Node* node, bool withForget) {
    View* view = node->view;
    if (frame) frame->viewLeaving(view);
    view->removed(this);
    if (withForget) view->forget();
    (node->previous ? node->previous->next : head) = node->next;
    (node->next ? node->next->previous : tail) = node->previous;
    delete node;
    view->forget(); // the node's own reference
}

void ViewContainer::removeView(View* view, bool withForget) {
    for (Node* n = head; n;) {
        Node* next = n->next;
        if (n->view == view) unlink(n, withForget);
        n = next;
    }
}

void ViewContainer::removeAll(bool withForget) {
    while (head)
        unlink(head, withForget);
}

bool ViewContainer::isChild(View* view) {
    for (Node* n = head; n; n = n->next)
        if (n->view == view) return true;
    return false;
}

std::int32_t ViewContainer::getViewCount() {
    std::int32_t count = 0;
    for (Node* n = head; n; n = n->next)
        ++count;
    return count;
}

View* ViewContainer::getView(std::int32_t index) {
    if (index < 0) return nullptr;
    for (Node* n = head; n; n = n->next, --index)
        if (index == 0) return n->view;
    return nullptr;
}

void ViewContainer::setBackgroundColor(Color color) {
    backgroundColor = color;
}
Color ViewContainer::getBackgroundColor() {
    return backgroundColor;
}

void ViewContainer::setBackground(Bitmap* bitmap) {
    if (background) background->forget();
    background = bitmap;
    if (background) background->remember();
}

Bitmap* ViewContainer::getBackground() {
    return background;
}
void ViewContainer::setBackgroundOffset(const Point& point) {
    backgroundOffset = point;
}
Point ViewContainer::getBackgroundOffset() {
    return backgroundOffset;
}
void ViewContainer::setMode(std::int32_t newMode) {
    mode = newMode;
}
std::int32_t ViewContainer::getMode() {
    return mode;
}

void ViewContainer::useOffscreen(bool use) {
    offscreenWanted = use;
    if (!use) {
        delete offscreen;
        offscreen = nullptr;
    }
}
