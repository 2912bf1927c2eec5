#include "toolkit/controls/parameter_display.h"

#include "toolkit/bitmap.h"
#include "toolkit/draw_context.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

// --- DisplayText

DisplayText::DisplayText(char* storage, std::size_t capacity) : storage(storage), size(capacity) {
    if (size > 0) storage[0] = '\0';
}

void DisplayText::assign(const char* text) {
    if (size == 0) return;
    std::size_t n = 0;
    if (text)
        while (n + 1 < size && text[n] != '\0')
            ++n;
    if (n > 0) std::memcpy(storage, text, n);
    storage[n] = '\0';
}

void DisplayText::format(const char* format, ...) {
    if (size == 0) return;
    if (!format) {
        storage[0] = '\0';
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vsnprintf(storage, size, format, arguments);
    va_end(arguments);
    if (written < 0) storage[0] = '\0';
}

void DisplayText::clear() {
    if (size > 0) storage[0] = '\0';
}

// --- ParameterDisplay

ParameterDisplay::ParameterDisplay(const Rect& rect, Bitmap* background, std::int32_t style)
    : Control(rect, nullptr, 0, background), stringConverter(nullptr),
      stringConverterWithData(nullptr), userData(nullptr), horizontalAlign(kCenterText),
      style(style), fontId(3), textFace(0), fontColor(kWhiteColor), backColor(kBlackColor),
      frameColor(kBlackColor), shadowColor(kRedColor), textTransparent(true) {
    backgroundOffset = Point{0, 0};
    if (style & StyleNoDraw) setDirty(false);
}

void ParameterDisplay::draw(DrawContext* context) {
    char buffer[kTextCapacity];
    DisplayText text(buffer, sizeof buffer);
    if (stringConverterWithData)
        stringConverterWithData(value, text, userData);
    else if (stringConverter)
        stringConverter(value, text);
    else
        text.format("%2.2f", static_cast<double>(value));
    // The converter cannot reach past the buffer; the zero at its end is belt and braces.
    buffer[kTextCapacity - 1] = '\0';
    drawText(context, buffer);
}

void ParameterDisplay::drawText(DrawContext* context, const char* text) {
    // Clean before drawing: a value set while it draws makes it dirty again.
    setDirty(false);
    if (style & StyleNoDraw) return;
    const Rect& s = size;

    const bool edged = (style & (StyleSunken | StyleRaised)) != 0;
    if (background) {
        drawBackground(context, s, backgroundOffset);
    } else if (!getTransparency()) {
        context->setFillColor(backColor);
        context->fillRect(s);
        if (!edged) {
            context->setFrameColor(frameColor);
            context->drawRect(s);
        }
    }

    if (edged) {
        const bool sunken = (style & StyleSunken) != 0;
        context->setFrameColor(sunken ? backColor : frameColor);
        context->moveTo(Point{s.left, s.bottom});
        context->lineTo(Point{s.left, s.top});
        context->lineTo(Point{s.right + 1, s.top});
        context->setFrameColor(sunken ? frameColor : backColor);
        context->moveTo(Point{s.right, s.top + 1});
        context->lineTo(Point{s.right, s.bottom});
        context->lineTo(Point{s.left, s.bottom});
    }

    if ((style & StyleNoText) || !text) return;
    context->setFont(fontId, 0, textFace);
    if (style & StyleShadowText) {
        context->setFontColor(shadowColor);
        const Rect shadow(s.left + 1, s.top + 1, s.right + 1, s.bottom + 1);
        context->drawString(text, shadow, !textTransparent, horizontalAlign);
    }
    context->setFontColor(fontColor);
    context->drawString(text, s, !textTransparent, horizontalAlign);
}

void ParameterDisplay::storeColor(Color& field, Color color) {
    if (field.red != color.red || field.green != color.green || field.blue != color.blue)
        setDirty(true);
    field = color;
}

void ParameterDisplay::storeInt(std::int32_t& field, std::int32_t newValue) {
    if (field != newValue) setDirty(true);
    field = newValue;
}

void ParameterDisplay::setFont(std::int32_t newFontId) {
    storeInt(fontId, newFontId);
}
void ParameterDisplay::setFontColor(Color color) {
    storeColor(fontColor, color);
}
void ParameterDisplay::setBackColor(Color color) {
    storeColor(backColor, color);
}
void ParameterDisplay::setFrameColor(Color color) {
    storeColor(frameColor, color);
}
void ParameterDisplay::setShadowColor(Color color) {
    storeColor(shadowColor, color);
}
void ParameterDisplay::setHorizontalAlign(std::int32_t align) {
    storeInt(horizontalAlign, align);
}
void ParameterDisplay::setStringConverterWithData(StringConverterWithData converter, void* data) {
    stringConverterWithData = converter;
    userData = data;
}
void ParameterDisplay::setStringConverter(StringConverter converter) {
    stringConverter = converter;
}
void ParameterDisplay::setStyle(std::int32_t newStyle) {
    storeInt(style, newStyle);
}
void ParameterDisplay::setTextFace(std::int32_t face) {
    storeInt(textFace, face);
}
void ParameterDisplay::setTextTransparency(bool state) {
    textTransparent = state;
}
