// The two displays: the image strip's frame choice, and the parameter display's texts, box,
// edges, shadow, styles, setters and bounded converters.

#include "controls_fixtures.h"

#include "toolkit/controls/image_strip_display.h"
#include "toolkit/controls/parameter_display.h"

#include <cstring>
#include <string>

namespace controls_test {
namespace {

// Picture pixel (x, y) has red y % 256, green y / 256 * 40, blue x * 60, so that a drawn
// pixel tells which row and column of the picture it came from.
platform::ColorRef stripPixel(int x, int y) {
    return platform::makeColorRef(static_cast<std::uint8_t>(y % 256),
                                  static_cast<std::uint8_t>(y / 256 * 40),
                                  static_cast<std::uint8_t>(x * 60));
}

Bitmap* makeStrip(int width, int height) {
    return makePicture(width, height, [&](DrawContext& c) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                platform::setPixel(c.getDevice(), x, y, stripPixel(x, y));
    });
}

class ImageStripTest : public ControlsTest {};

TEST_F(ImageStripTest, TheValueChoosesTheNearestOfSixFrames) {
    Bitmap* strip = makeStrip(4, 6 * 195 + 5);
    auto* display =
        add(new ImageStripDisplay(Rect(10, 20, 13, 215), &listener, 2, 6, 195, strip, Point{1, 5}));
    strip->forget();
    EXPECT_EQ(strip->getReferenceCount(), 1) << "the display holds the picture";
    struct Case {
        float value;
        int frame;
        float after;
    };
    const Case cases[] = {{0.0f, 0, 0.0f}, {0.09f, 0, 0.09f}, {0.1f, 1, 0.1f},  {0.5f, 3, 0.5f},
                          {1.0f, 5, 1.0f}, {2.0f, 5, 1.0f},   {-1.0f, 0, -1.0f}};
    for (const Case& c : cases) {
        display->setValue(c.value);
        hostIdle();
        EXPECT_FALSE(display->isDirty());
        EXPECT_EQ(display->getValue(), c.after) << c.value;
        const int row = 5 + 195 * c.frame;
        std::vector<platform::ColorRef> expected;
        for (int y = 0; y < 195; ++y)
            for (int x = 0; x < 3; ++x)
                expected.push_back(stripPixel(1 + x, row + y));
        EXPECT_TRUE(
            samePixels(window, Rect(10, 20, 13, 215), expected, "strip_" + std::to_string(c.frame)))
            << "value " << c.value;
    }
    EXPECT_TRUE(log.empty()) << "a display tells nobody";
}

TEST_F(ImageStripTest, TakesNoInputAndWithoutPictureDrawsNothing) {
    auto* display =
        add(new ImageStripDisplay(Rect(10, 20, 30, 40), &listener, 2, 6, 195, nullptr, Point{}));
    Expected before(window);
    display->setValue(0.5f);
    hostIdle();
    EXPECT_FALSE(display->isDirty());
    EXPECT_TRUE(samePixels(window, Rect(0, 0, 300, 225), before.pixels(Rect(0, 0, 300, 225)),
                           "strip_without_picture"));
    KeyCode up{0, kVirtualUp, 0};
    EXPECT_EQ(display->onKeyDown(up), -1);
    press(20, 30, {at(20, 30), released(20, 30)});
    EXPECT_EQ(display->getValue(), 0.5f);
    EXPECT_TRUE(log.empty());
}

// --- ParameterDisplay

// The box as the display draws it: fill and outline, then the text.
void plainBox(DrawContext& c, const Rect& s, Color back, Color frame) {
    c.setFillColor(back);
    c.fillRect(s);
    c.setFrameColor(frame);
    c.drawRect(s);
}
void text(DrawContext& c, const char* t, const Rect& s, Color color, std::int32_t font = 3) {
    c.setFont(font, 0, 0);
    c.setFontColor(color);
    c.drawString(t, s, false, kCenterText);
}

class ParameterDisplayTest : public ControlsTest {
protected:
    ParameterDisplay* makeDisplay(std::int32_t style, const Rect& r = Rect(10, 10, 60, 30)) {
        auto* d = add(new ParameterDisplay(r, nullptr, style));
        d->setBackColor(kBlueColor);
        d->setFrameColor(kGreenColor);
        d->setFontColor(kYellowColor);
        return d;
    }
    // What a plain display at (10, 10, 60, 30) shows for a text.
    std::vector<platform::ColorRef> plainPicture(const char* t) {
        Expected e(window);
        plainBox(e.context, Rect(10, 10, 60, 30), kBlueColor, kGreenColor);
        text(e.context, t, Rect(10, 10, 60, 30), kYellowColor);
        return e.pixels(Rect(10, 10, 61, 31));
    }
};

TEST_F(ParameterDisplayTest, WithoutConverterTheValueHasTwoDecimals) {
    ASSERT_NE(plainPicture("0.50"), plainPicture("0.51")) << "the text shows in the pixels";
    auto* d = makeDisplay(0);
    const struct {
        float value;
        const char* shown;
    } cases[] = {{0.5f, "0.50"}, {1.0f / 3.0f, "0.33"}, {12.3456f, "12.35"}, {-0.004f, "-0.00"}};
    for (const auto& c : cases) {
        d->setValue(c.value);
        hostIdle();
        EXPECT_FALSE(d->isDirty());
        EXPECT_TRUE(samePixels(window, Rect(10, 10, 61, 31), plainPicture(c.shown),
                               std::string("display_") + c.shown))
            << c.value;
    }
}

std::string lastUserData;
void withData(float value, DisplayText& t, void* data) {
    lastUserData = static_cast<const char*>(data);
    t.format("%0.1f", static_cast<double>(value) * 2.0);
}
void plain(float, DisplayText& t) {
    t.assign("plain");
}

TEST_F(ParameterDisplayTest, TheConverterWithDataIsPreferred) {
    auto* d = makeDisplay(0);
    char data[] = "user";
    hostIdle();
    d->setStringConverter(plain);
    EXPECT_FALSE(d->isDirty()) << "a converter asks for no redraw";
    d->setValue(0.25f);
    hostIdle();
    EXPECT_TRUE(samePixels(window, Rect(10, 10, 61, 31), plainPicture("plain"), "display_plain"));
    d->setStringConverterWithData(withData, data);
    d->setValue(0.5f);
    hostIdle();
    EXPECT_EQ(lastUserData, "user");
    EXPECT_TRUE(samePixels(window, Rect(10, 10, 61, 31), plainPicture("1.0"), "display_data"));
}

std::size_t seenCapacity = 0;
std::size_t seenLength = 0;
void greedy(float, DisplayText& t) {
    std::string huge(5000, '8');
    t.format("%s", huge.c_str());
    seenCapacity = t.capacity();
    seenLength = std::strlen(t.text());
    t.assign(huge.c_str());
    seenLength = std::max(seenLength, std::strlen(t.text()));
}

TEST_F(ParameterDisplayTest, AConverterCannotWritePastTheBuffer) {
    auto* d = makeDisplay(0);
    d->setStringConverter(greedy);
    d->setValue(0.5f);
    hostIdle();
    EXPECT_EQ(seenCapacity, 256u);
    EXPECT_EQ(seenLength, 255u) << "cut off, with its zero";

    char small[4];
    DisplayText t(small, sizeof small);
    t.format("%d", 123456);
    EXPECT_STREQ(small, "123");
    t.assign("abcdef");
    EXPECT_STREQ(small, "abc");
    t.assign(nullptr);
    EXPECT_STREQ(small, "");
    DisplayText none(small, 0);
    none.assign("x"); // nothing to write into
    EXPECT_STREQ(small, "");
}

TEST_F(ParameterDisplayTest, SunkenAndRaisedEdges) {
    const Rect box(10, 10, 40, 22);
    for (const bool sunken : {true, false}) {
        auto* d = makeDisplay((sunken ? StyleSunken : StyleRaised) | StyleNoText, box);
        hostIdle();
        const platform::ColorRef topLeft = sunken ? ref(kBlueColor) : ref(kGreenColor);
        const platform::ColorRef bottomRight = sunken ? ref(kGreenColor) : ref(kBlueColor);
        Expected e(window);
        e.context.setFillColor(kBlueColor);
        e.context.fillRect(box);
        for (int v = 10; v <= 22; ++v)
            platform::setPixel(e.context.getDevice(), 10, v, topLeft);
        for (int h = 10; h <= 40; ++h)
            platform::setPixel(e.context.getDevice(), h, 10, topLeft);
        for (int v = 11; v <= 22; ++v)
            platform::setPixel(e.context.getDevice(), 40, v, bottomRight);
        for (int h = 11; h <= 40; ++h)
            platform::setPixel(e.context.getDevice(), h, 22, bottomRight);
        EXPECT_TRUE(samePixels(window, Rect(9, 9, 43, 25), e.pixels(Rect(9, 9, 43, 25)),
                               sunken ? "display_sunken" : "display_raised"));
        EXPECT_EQ(platform::headless::pixel(window, 41, 10), e.pixels(Rect(41, 10, 42, 11))[0])
            << "the top edge ends at right + 1, excluded";
        frame->removeView(d, true);
    }
}

TEST_F(ParameterDisplayTest, TheShadowIsDrawnFirstOneRightAndDown) {
    auto* d = makeDisplay(StyleShadowText);
    d->setShadowColor(kRedColor);
    d->setValue(0.5f);
    hostIdle();
    const Rect s(10, 10, 60, 30);
    const Rect shadow(11, 11, 61, 31);
    Expected right(window);
    plainBox(right.context, s, kBlueColor, kGreenColor);
    text(right.context, "0.50", shadow, kRedColor);
    text(right.context, "0.50", s, kYellowColor);
    Expected reversed(window);
    plainBox(reversed.context, s, kBlueColor, kGreenColor);
    text(reversed.context, "0.50", s, kYellowColor);
    text(reversed.context, "0.50", shadow, kRedColor);
    const Rect area(10, 10, 62, 32);
    ASSERT_NE(right.pixels(area), reversed.pixels(area)) << "the order shows in the pixels";
    EXPECT_TRUE(samePixels(window, area, right.pixels(area), "display_shadow"));
}

TEST_F(ParameterDisplayTest, NoDrawNeverDrawsAndLeavesTheDisplayClean) {
    auto* d = new ParameterDisplay(Rect(10, 10, 60, 30), nullptr, StyleNoDraw);
    EXPECT_FALSE(d->isDirty()) << "clean from the start";
    add(d);
    Expected before(window);
    d->setValue(0.7f);
    hostIdle();
    EXPECT_FALSE(d->isDirty());
    EXPECT_TRUE(samePixels(window, Rect(0, 0, 300, 225), before.pixels(Rect(0, 0, 300, 225)),
                           "display_nodraw"));
}

TEST_F(ParameterDisplayTest, NoTextDrawsTheBoxOnly) {
    makeDisplay(StyleNoText);
    hostIdle();
    Expected e(window);
    plainBox(e.context, Rect(10, 10, 60, 30), kBlueColor, kGreenColor);
    EXPECT_TRUE(
        samePixels(window, Rect(10, 10, 61, 31), e.pixels(Rect(10, 10, 61, 31)), "display_notext"));
}

TEST_F(ParameterDisplayTest, ATransparentDisplayDrawsNoBoxAndAPictureReplacesIt) {
    auto* d = makeDisplay(StyleNoText);
    d->setTransparency(true);
    Expected before(window);
    hostIdle();
    EXPECT_TRUE(samePixels(window, Rect(10, 10, 61, 31), before.pixels(Rect(10, 10, 61, 31)),
                           "display_transparent"));

    Bitmap* picture = makeStrip(60, 30);
    d->setTransparency(false);
    d->setBackground(picture);
    d->setBackgroundOffset(Point{2, 3});
    picture->forget();
    d->setDirty(true);
    hostIdle();
    std::vector<platform::ColorRef> expected;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 50; ++x)
            expected.push_back(stripPixel(2 + x, 3 + y));
    EXPECT_TRUE(samePixels(window, Rect(10, 10, 60, 30), expected, "display_picture"));
}

TEST_F(ParameterDisplayTest, SettersAskForARedrawOnlyWhenSomethingChanged) {
    ParameterDisplay d(Rect(0, 0, 10, 10), nullptr, 0);
    EXPECT_EQ(d.getFont(), 3);
    EXPECT_EQ(d.getHorizontalAlign(), kCenterText);
    EXPECT_EQ(d.getFontColor(), kWhiteColor);
    EXPECT_EQ(d.getBackColor(), kBlackColor);
    EXPECT_EQ(d.getFrameColor(), kBlackColor);
    EXPECT_EQ(d.getShadowColor(), kRedColor);
    EXPECT_TRUE(d.getTextTransparency());
    EXPECT_EQ(d.getTag(), 0);
    EXPECT_EQ(d.getListener(), nullptr);

    d.setDirty(false);
    d.setFontColor(Color{255, 255, 255, 9});
    EXPECT_FALSE(d.isDirty()) << "only the fourth byte differs";
    EXPECT_EQ(d.getFontColor().extra, 9) << "but it is stored";
    const std::function<void()> setters[] = {[&] { d.setFontColor(kRedColor); },
                                             [&] { d.setBackColor(kRedColor); },
                                             [&] { d.setFrameColor(kRedColor); },
                                             [&] { d.setShadowColor(kBlueColor); },
                                             [&] { d.setFont(5); },
                                             [&] { d.setHorizontalAlign(kLeftText); },
                                             [&] { d.setStyle(StyleShadowText); },
                                             [&] { d.setTextFace(kBoldFace); }};
    for (const auto& set : setters) {
        d.setDirty(false);
        set();
        EXPECT_TRUE(d.isDirty());
        d.setDirty(false);
        set(); // the same again
        EXPECT_FALSE(d.isDirty());
    }
    d.setDirty(false);
    d.setTextTransparency(false);
    EXPECT_FALSE(d.isDirty());
    EXPECT_FALSE(d.getTextTransparency());
}

} // namespace
} // namespace controls_test
