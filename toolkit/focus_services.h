#pragma once
// What a focus view may offer the frame's window while it holds the focus: owner-drawn menu
// items of a platform menu it opened, and the colours of a platform edit field it opened.
// A focus view without them leaves those messages to the system.

#include "platform/handles.h"
#include "toolkit/color.h"
#include "toolkit/point.h"
#include "toolkit/rect.h"

#include <cstdint>

class DrawContext;

class MenuItemDrawer {
public:
    virtual ~MenuItemDrawer() = default;
    // Sets `size` (starting at 0, 0) to the item's width and height.
    virtual void measureMenuItem(void* itemData, DrawContext* context, Point& size) = 0;
    // `state` bits: 1 checked, 2 disabled, 4 selected.
    virtual void drawMenuItem(void* itemData, std::int32_t itemId, std::int32_t state,
                              DrawContext* context, const Rect& rect) = 0;
};

class EditFieldColors {
public:
    virtual ~EditFieldColors() = default;
    virtual Color editTextColor() = 0;
    virtual Color editBackgroundColor() = 0;
    // The brush painting the field's background; the frame's window replaces it.
    virtual platform::ObjectHandle& editBrush() = 0;
};
