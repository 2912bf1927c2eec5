// The band bar's geometry and colours, and the two value texts.

#include "editor/meter_bar_view.h"
#include "editor/value_formats.h"
#include "platform/draw.h"
#include "toolkit/bitmap.h"
#include "toolkit/offscreen_context.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string levelText(float v) {
    char buffer[ParameterDisplay::kTextCapacity];
    DisplayText text(buffer, sizeof buffer);
    formatLevelCurve(v, text);
    return text.text();
}
std::string highlightText(float v) {
    char buffer[ParameterDisplay::kTextCapacity];
    DisplayText text(buffer, sizeof buffer);
    formatHighlightCurve(v, text);
    return text.text();
}

TEST(ValueFormats, ShowTheExponentDenominators) {
    EXPECT_EQ(levelText(0.0f), "0.5");
    EXPECT_EQ(levelText(0.5f), "1.5");
    EXPECT_EQ(levelText(1.0f), "2.5");
    EXPECT_EQ(levelText(0.26f), "1.0");
    EXPECT_EQ(highlightText(0.0f), "0.0");
    EXPECT_EQ(highlightText(0.5f), "1.0");
    EXPECT_EQ(highlightText(1.0f), "2.0");
    EXPECT_EQ(highlightText(0.333f), "0.7");
    EXPECT_EQ(highlightText(-0.5f), "-1.0");
    EXPECT_EQ(levelText(2.0f), "4.5");
}

// The editor's three bar pictures and a strip to draw one bar into, 10 pixels in from the
// left and 3 down, on white, so that anything drawn outside the row shows.
class BarTest : public ::testing::Test {
protected:
    static constexpr int kLeft = 10, kTop = 3;
    void SetUp() override {
        bar = new Bitmap(206);
        highlightBar = new Bitmap(212);
        row = new Bitmap(207);
        ASSERT_EQ(bar->getWidth(), 181);
        ASSERT_EQ(bar->getHeight(), 240);
        ASSERT_EQ(highlightBar->getWidth(), 181);
        ASSERT_EQ(row->getWidth(), 182);
        ASSERT_EQ(row->getHeight(), 5);
        view = new MeterBarView(Rect(kLeft, kTop, kLeft + 181, kTop + 240), bar, highlightBar, row);
    }
    void TearDown() override {
        view->forget();
        bar->forget();
        highlightBar->forget();
        row->forget();
    }
    static std::uint32_t gradientColour(Bitmap* picture, int gradientRow) {
        OffscreenContext copy(nullptr, 181, 240, kWhiteColor);
        picture->draw(&copy, Rect(0, 0, 181, 240));
        return platform::getPixel(copy.getDevice(), 90, gradientRow);
    }
    // Draws the view and checks the strip: the row erased from L to L + 182; between x1 and
    // x2 the gradient from `gradientRow` on, one gradient row per pixel row, as far as the
    // gradient goes; nothing drawn outside the row.
    void expectBar(int x1, int x2, Bitmap* picture, int gradientRow, const char* what) {
        OffscreenContext strip(nullptr, 220, 12, kWhiteColor);
        view->draw(&strip);
        EXPECT_EQ(view->getSegmentRect().left, kLeft + x1) << what;
        EXPECT_EQ(view->getSegmentRect().right, kLeft + x2) << what;
        EXPECT_EQ(view->getSegmentRect().top, kTop) << what;
        EXPECT_EQ(view->getSegmentRect().bottom, kTop + 5) << what;
        EXPECT_EQ(view->getRowRect().left, kLeft) << what;
        EXPECT_EQ(view->getRowRect().right, kLeft + 182) << what;
        const std::uint32_t eraser = platform::makeColorRef(20, 20, 30);
        const std::uint32_t white = platform::makeColorRef(255, 255, 255);
        int wrong = 0;
        for (int y = 0; y < 12; ++y) {
            const int source = gradientRow + y - kTop;
            const std::uint32_t colour = source < 240 ? gradientColour(picture, source) : eraser;
            for (int x = 0; x < 220; ++x) {
                const bool inRow = y >= kTop && y < kTop + 5 && x >= kLeft && x < kLeft + 182;
                const bool inBar = inRow && x >= kLeft + x1 && x < kLeft + x2;
                const std::uint32_t want = inBar ? colour : inRow ? eraser : white;
                wrong += platform::getPixel(strip.getDevice(), x, y) != want;
            }
        }
        EXPECT_EQ(wrong, 0) << what;
    }

    Bitmap* bar = nullptr;
    Bitmap* highlightBar = nullptr;
    Bitmap* row = nullptr;
    MeterBarView* view = nullptr;
};

TEST_F(BarTest, GradientsHaveOneColourPerRowFromNearBlack) {
    for (Bitmap* picture : {bar, highlightBar}) {
        OffscreenContext copy(nullptr, 181, 240, kWhiteColor);
        picture->draw(&copy, Rect(0, 0, 181, 240));
        for (int y = 0; y < 240; ++y)
            for (int x = 1; x < 181; ++x)
                ASSERT_EQ(platform::getPixel(copy.getDevice(), x, y),
                          platform::getPixel(copy.getDevice(), 0, y))
                    << "row " << y;
        const std::uint32_t top = platform::getPixel(copy.getDevice(), 0, 0);
        EXPECT_LT((top & 0xFF) + (top >> 8 & 0xFF) + (top >> 16 & 0xFF), 60u);
    }
    const std::uint32_t blue = gradientColour(bar, 239);
    const std::uint32_t red = gradientColour(highlightBar, 239);
    EXPECT_GT(blue >> 16 & 0xFF, blue & 0xFF); // more blue than red
    EXPECT_GT(red & 0xFF, red >> 16 & 0xFF);   // more red than blue
}

TEST_F(BarTest, GeometryFollowsBalanceSpreadAndTaper) {
    view->level = 0.5f;
    view->balance = 0.5f;
    expectBar(88, 93, bar, 120, "centred, no spread");

    view->level = 0.0f;
    view->balance = 0.0f;
    view->spread = 1.0f;
    expectBar(0, 93, bar, 0, "left end, full spread, no taper");

    view->balance = 1.0f;
    view->taper = 1.0f;
    expectBar(177, 181, bar, 0, "right end, tapered to nothing");

    view->balance = 0.25f;
    expectBar(0, 93, bar, 0, "quarter, half taper");
}

TEST_F(BarTest, AFreshBarIsANearBlackStubAtTheLeft) {
    expectBar(0, 5, bar, 0, "fresh");
}

TEST_F(BarTest, HighlightFromExactlyPointSeven) {
    view->balance = 0.5f;
    view->level = 0.25f;
    view->highlight = 0.7f;
    expectBar(88, 93, highlightBar, 60, "0.7");
    view->highlight = 0.6999f;
    expectBar(88, 93, bar, 60, "0.6999");
}

TEST_F(BarTest, LevelsOutsideTheGradientUseItsEndRows) {
    view->balance = 0.5f;
    // Every bar is five gradient rows high: the loudest bands keep their whole height.
    view->level = 1.0f;
    expectBar(88, 93, bar, 235, "level 1");
    view->level = 0.99f;
    expectBar(88, 93, bar, 235, "level 0.99");
    view->level = 0.98f;
    expectBar(88, 93, bar, 235, "level 0.98");
    view->level = 0.975f;
    expectBar(88, 93, bar, 234, "level 0.975");
    view->level = -0.5f;
    expectBar(88, 93, bar, 0, "negative level");
}

TEST_F(BarTest, ABalanceOffTheAxisLeavesTheRowEmpty) {
    view->balance = -1.0f;
    expectBar(0, 0, bar, 0, "far left");
    view->balance = 3.0f;
    expectBar(531, 531, bar, 0, "far right");
}

TEST_F(BarTest, WithoutItsBarPictureNothingIsDrawn) {
    MeterBarView empty(Rect(kLeft, kTop, kLeft + 181, kTop + 240), nullptr, highlightBar, row);
    OffscreenContext strip(nullptr, 220, 12, kWhiteColor);
    empty.draw(&strip);
    for (int x = 0; x < 220; ++x)
        EXPECT_EQ(platform::getPixel(strip.getDevice(), x, kTop + 2),
                  platform::makeColorRef(255, 255, 255));
}

} // namespace
