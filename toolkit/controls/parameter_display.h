#pragma once
// A value shown as one line of text in a box: a background picture or a filled, outlined box
// (optionally with sunken or raised edges), the text made by a caller's value-to-text function
// or, without one, with two decimals. Takes no input.

#include "toolkit/color.h"
#include "toolkit/controls/control.h"

#include <cstddef>
#include <cstdint>

// The text a value-to-text function writes: a buffer of fixed capacity that nothing can be
// written past; whatever does not fit is cut off, and the text always ends in a zero.
class DisplayText {
public:
    DisplayText(char* storage, std::size_t capacity);

    void assign(const char* text);
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    void
    format(const char* format, ...);
    void clear();

    const char* text() const {
        return storage;
    }
    std::size_t capacity() const {
        return size;
    }

private:
    char* storage;
    std::size_t size;
};

using StringConverter = void (*)(float value, DisplayText& text);
using StringConverterWithData = void (*)(float value, DisplayText& text, void* userData);

class ParameterDisplay : public Control {
public:
    // The box's text holds at most this many bytes, the terminating zero included.
    static constexpr std::size_t kTextCapacity = 256;

    ParameterDisplay(const Rect& size, Bitmap* background, std::int32_t style);

    void draw(DrawContext* context) override;

    virtual void setFont(std::int32_t newFontId);
    virtual void setFontColor(Color color);
    virtual void setBackColor(Color color);
    virtual void setFrameColor(Color color);
    virtual void setShadowColor(Color color);
    virtual void setHorizontalAlign(std::int32_t align);
    virtual void setStringConverterWithData(StringConverterWithData converter, void* data);
    virtual void setStringConverter(StringConverter converter);
    virtual void setStyle(std::int32_t newStyle);
    virtual void setTextFace(std::int32_t face);
    virtual void setTextTransparency(bool state);

    // Draws the box and the given text.
    void drawText(DrawContext* context, const char* text);

    std::int32_t getFont() const { return fontId; }
    Color getFontColor() const { return fontColor; }
    Color getBackColor() const { return backColor; }
    Color getFrameColor() const { return frameColor; }
    Color getShadowColor() const { return shadowColor; }
    std::int32_t getHorizontalAlign() const { return horizontalAlign; }
    std::int32_t getStyle() const { return style; }
    std::int32_t getTextFace() const { return textFace; }
    bool getTextTransparency() const { return textTransparent; }

protected:
    // Stores a colour; a redraw is asked for only when red, green or blue changed.
    void storeColor(Color& field, Color color);
    void storeInt(std::int32_t& field, std::int32_t newValue);

    StringConverter stringConverter;
    StringConverterWithData stringConverterWithData;
    void* userData;
    std::int32_t horizontalAlign;
    std::int32_t style;
    std::int32_t fontId;
    std::int32_t textFace;
    Color fontColor;
    Color backColor;
    Color frameColor;
    Color shadowColor;
    bool textTransparent;
};
