// The meter editor inside the effect that creates it, on the headless home: what the open
// window shows, the two-way parameter link, the idle polling and the open/close lifecycle.

#include "editor/meter_bar_view.h"
#include "editor/meter_editor.h"
#include "editor/value_formats.h"
#include "host/opcodes.h"
#include "plugin/meter_effect_with_editor.h"
#include "tests/editor/golden.h"
#include "toolkit/controls/image_strip_display.h"
#include "toolkit/controls/knob.h"
#include "toolkit/controls/parameter_display.h"
#include "toolkit/controls/slider.h"
#include "toolkit/frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using platform::headless::InputState;

std::vector<std::string> hostLog;

IntPtr TROB_CALL recordingHost(EffectRecord*, std::int32_t opcode, std::int32_t index, IntPtr,
                               void*, float opt) {
    char line[64];
    if (opcode == audioMasterAutomate) {
        std::snprintf(line, sizeof line, "automate %d %.4f", index, static_cast<double>(opt));
        hostLog.push_back(line);
    } else if (opcode == audioMasterBeginEdit) {
        hostLog.push_back("begin " + std::to_string(index));
    } else if (opcode == audioMasterEndEdit) {
        hostLog.push_back("end " + std::to_string(index));
    }
    return opcode == audioMasterVersion ? 2400 : 0;
}

// The plug-in's effect with its meter query optionally scripted and every query noted.
class ProbedEffect : public MeterEffectWithEditor {
public:
    ProbedEffect() : MeterEffectWithEditor(&recordingHost) {}
    MeterEditor* meterEditor() const { return static_cast<MeterEditor*>(editor); }
    float getMeterValue(std::int32_t index) override {
        queries.push_back(index);
        if (scripted) return scriptedValues.count(index) ? scriptedValues[index] : 0.0f;
        return MeterEffectWithEditor::getMeterValue(index);
    }
    bool scripted = false;
    std::map<std::int32_t, float> scriptedValues;
    std::vector<std::int32_t> queries;
};

class MeterEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::headless::reset();
        platform::headless::setTickCount(10000);
        hostLog.clear();
        host = platform::headless::createHostWindow("HostEditorWindow", platform::kWsChild,
                                                    {100, 50, 400, 275});
        effect = std::make_unique<ProbedEffect>();
        editor = effect->meterEditor();
        ASSERT_NE(editor, nullptr);
    }
    void TearDown() override {
        effect.reset();
        platform::headless::reset();
    }

    IntPtr dispatch(std::int32_t opcode, void* ptr = nullptr) {
        return effect->dispatcher(opcode, 0, 0, ptr, 0.0f);
    }
    void open() {
        ASSERT_EQ(dispatch(effEditOpen, host), 1);
        ASSERT_NE(editor->getFrame(), nullptr);
        window = editor->getFrame()->getWindow();
        ASSERT_NE(window, nullptr);
        platform::headless::dispatchAll(); // the first paint
    }
    void hostIdle() { dispatch(effEditIdle); }
    // A mouse state at a window position (the window sits at 100, 50 on the screen).
    static InputState at(int x, int y, bool left = true) {
        InputState s;
        s.cursor = {100 + x, 50 + y};
        s.left = left;
        s.advanceMs = 10;
        return s;
    }
    void press(int x, int y, const std::vector<InputState>& script) {
        platform::headless::scriptInput(script);
        platform::headless::postButtonDown(window, platform::kWmLButtonDown, x, y);
        platform::headless::dispatchAll();
    }
    std::vector<std::string> automations() const {
        std::vector<std::string> out;
        for (const auto& line : hostLog)
            if (line.rfind("automate", 0) == 0) out.push_back(line);
        return out;
    }
    static std::string shown(ParameterDisplay* display, StringConverter format) {
        char buffer[ParameterDisplay::kTextCapacity];
        DisplayText text(buffer, sizeof buffer);
        format(display->getValue(), text);
        return text.text();
    }

    platform::WindowHandle host = nullptr;
    platform::WindowHandle window = nullptr;
    std::unique_ptr<ProbedEffect> effect;
    MeterEditor* editor = nullptr;
};

TEST_F(MeterEditorTest, ReportsItsSizeAndAnnouncesItself) {
    EditorRect* r = nullptr;
    ASSERT_EQ(dispatch(effEditGetRect, &r), 1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->top, 0);
    EXPECT_EQ(r->left, 0);
    EXPECT_EQ(r->bottom, 225);
    EXPECT_EQ(r->right, 300);
    EXPECT_EQ(effect->getRecord()->flags, effFlagsHasEditor | effFlagsCanReplacing);
    EXPECT_FALSE(editor->holdsPictures());
}

TEST_F(MeterEditorTest, OpensWithTheViewsInTheirPlacesAndTheDefaults) {
    open();
    Frame* frame = editor->getFrame();
    ASSERT_EQ(frame->getViewCount(), 37);
    EXPECT_EQ(frame->getView(0), editor->getScaleDisplay());
    EXPECT_EQ(frame->getView(1), editor->getLevelCurveSlider());
    EXPECT_EQ(frame->getView(2), editor->getHighlightCurveSlider());
    EXPECT_EQ(frame->getView(3), editor->getSpreadGainKnob());
    EXPECT_EQ(frame->getView(4), editor->getEdgeTaperKnob());
    for (int k = 0; k < 30; ++k) {
        ASSERT_EQ(frame->getView(5 + k), editor->getMeterBar(k));
        Rect r;
        editor->getMeterBar(k)->getViewSize(r);
        EXPECT_EQ(r.left, 24);
        EXPECT_EQ(r.top, 28 + 6 * k);
        EXPECT_EQ(r.right, 205);
        EXPECT_EQ(r.bottom, 268 + 6 * k);
    }
    EXPECT_EQ(frame->getView(35), editor->getLevelCurveDisplay());
    EXPECT_EQ(frame->getView(36), editor->getHighlightCurveDisplay());

    const auto rectOf = [](View* v) {
        Rect r;
        v->getViewSize(r);
        return std::to_string(r.left) + "," + std::to_string(r.top) + "," +
               std::to_string(r.right) + "," + std::to_string(r.bottom);
    };
    EXPECT_EQ(rectOf(editor->getScaleDisplay()), "10,20,219,215");
    EXPECT_EQ(rectOf(editor->getLevelCurveSlider()), "225,95,257,215");
    EXPECT_EQ(rectOf(editor->getHighlightCurveSlider()), "265,95,297,215");
    EXPECT_EQ(rectOf(editor->getSpreadGainKnob()), "228,35,252,59");
    EXPECT_EQ(rectOf(editor->getEdgeTaperKnob()), "268,35,292,59");
    EXPECT_EQ(rectOf(editor->getLevelCurveDisplay()), "226,79,256,91");
    EXPECT_EQ(rectOf(editor->getHighlightCurveDisplay()), "266,79,296,91");

    EXPECT_EQ(editor->getSpreadGainKnob()->getValue(), 1.0f);
    EXPECT_EQ(editor->getEdgeTaperKnob()->getValue(), 1.0f);
    EXPECT_EQ(editor->getLevelCurveSlider()->getValue(), 0.5f);
    EXPECT_EQ(editor->getHighlightCurveSlider()->getValue(), 0.0f);
    EXPECT_EQ(editor->getLevelCurveSlider()->getDefaultValue(), 0.5f);
    EXPECT_EQ(editor->getHighlightCurveSlider()->getDefaultValue(), 0.0f);
    EXPECT_EQ(editor->getSpreadGainKnob()->getDefaultValue(), 1.0f);
    EXPECT_EQ(editor->getLevelCurveSlider()->getTag(), 13);
    EXPECT_EQ(editor->getHighlightCurveSlider()->getTag(), 14);
    EXPECT_EQ(editor->getSpreadGainKnob()->getTag(), 11);
    EXPECT_EQ(editor->getEdgeTaperKnob()->getTag(), 12);
    EXPECT_EQ(editor->getScaleDisplay()->getFrameCount(), 6);
    EXPECT_EQ(editor->getScaleDisplay()->getFrameHeight(), 195);
    EXPECT_EQ(shown(editor->getLevelCurveDisplay(), formatLevelCurve), "1.5");
    EXPECT_EQ(shown(editor->getHighlightCurveDisplay(), formatHighlightCurve), "0.0");
    EXPECT_EQ(editor->getLevelCurveDisplay()->getFont(), 4);
    EXPECT_TRUE(editor->holdsPictures());

    EXPECT_TRUE(editor_test::matchesGolden(editor_test::windowPixels(window, 300, 225), 300, 225,
                                           "editor_opened"));
}

TEST_F(MeterEditorTest, TheHighlightSliderAtTheTopGivesParameterOneAndTwoPointZero) {
    open();
    // Grab the handle (at the bottom for 0.0) and drag it above the track's top.
    press(281, 198, {at(281, 198), at(281, 150), at(281, 100), at(281, 60), at(281, 60, false)});
    EXPECT_EQ(effect->getParameter(14), 1.0f);
    EXPECT_EQ(editor->getHighlightCurveSlider()->getValue(), 1.0f);
    EXPECT_EQ(shown(editor->getHighlightCurveDisplay(), formatHighlightCurve), "2.0");
    ASSERT_FALSE(hostLog.empty());
    EXPECT_EQ(hostLog.front(), "begin 14");
    EXPECT_EQ(hostLog.back(), "end 14");
    // One automation message per change: no change is told twice.
    const auto sent = automations();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), "automate 14 1.0000");
    for (std::size_t i = 1; i < sent.size(); ++i)
        EXPECT_NE(sent[i], sent[i - 1]);
}

TEST_F(MeterEditorTest, EveryUserChangeIsOneAutomationMessage) {
    open();
    struct Case {
        int x, y;
        std::int32_t index;
        float notch; // towards the inside of the range from the default
    } cases[] = {
        {240, 47, 11, -1.0f}, {280, 47, 12, -1.0f}, {241, 150, 13, -1.0f}, {281, 150, 14, 1.0f}};
    for (const Case& c : cases) {
        hostLog.clear();
        const float before = effect->getParameter(c.index);
        // One wheel notch over the control: one change.
        platform::headless::setInput(at(c.x, c.y, false));
        ASSERT_TRUE(editor->getFrame()->onWheel(nullptr, Point{c.x, c.y}, c.notch));
        const float after = effect->getParameter(c.index);
        EXPECT_NE(after, before) << c.index << " " << ::testing::PrintToString(hostLog);
        const auto sent = automations();
        ASSERT_EQ(sent.size(), 1u) << c.index;
        char expected[64];
        std::snprintf(expected, sizeof expected, "automate %d %.4f", c.index,
                      static_cast<double>(after));
        EXPECT_EQ(sent[0], expected);
    }
    EXPECT_EQ(shown(editor->getLevelCurveDisplay(), formatLevelCurve), [&] {
        char buffer[ParameterDisplay::kTextCapacity];
        DisplayText text(buffer, sizeof buffer);
        formatLevelCurve(effect->getParameter(13), text);
        return std::string(text.text());
    }());
}

// Each gesture's calls to the host, in order. The polls of a drag come every 10 ms, so the
// frame redraws only every few of them: a control stays changed-but-not-drawn across polls.
TEST_F(MeterEditorTest, EachGestureSendsOneAutomationPerChangeAndNothingForAPollThatChangesNone) {
    open();
    const auto gesture = [&](const std::function<void()>& perform) {
        hostLog.clear();
        perform();
        return hostLog;
    };
    using Log = std::vector<std::string>;
    const auto hold = [](int x, int y, int polls) {
        return std::vector<InputState>(polls, at(x, y));
    };
    const auto script = [](std::initializer_list<std::vector<InputState>> parts) {
        std::vector<InputState> all;
        for (const auto& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };

    // Slider drag: grabbed at 0.0, held still, moved up, held, moved back, held, released.
    EXPECT_EQ(gesture([&] {
                  press(281, 198,
                        script({hold(281, 198, 4),
                                hold(281, 150, 6),
                                hold(281, 120, 6),
                                hold(281, 150, 6),
                                {at(281, 150, false)}}));
              }),
              (Log{"begin 14", "automate 14 0.5393", "automate 14 0.8764", "automate 14 0.5393",
                   "end 14"}));

    // Circular knob drag: pressed straight up, moved along the same angle, then to the right;
    // polls 1 ms apart, so that many come between two redraws.
    const auto quick = [](int x, int y, bool left = true) {
        InputState s = at(x, y, left);
        s.advanceMs = 1;
        return s;
    };
    EXPECT_EQ(gesture([&] {
                  press(240, 36,
                        {quick(240, 36), quick(240, 37), quick(240, 38), quick(240, 40),
                         quick(240, 42), quick(251, 47), quick(251, 47), quick(251, 47, false)});
              }),
              (Log{"begin 11", "automate 11 0.5000", "automate 11 0.8333", "end 11"}));

    // Linear knob drag past the end of the range: the polls at the end change nothing.
    effect->dispatcher(effSetEditKnobMode, 0, 2, nullptr, 0.0f);
    EXPECT_EQ(gesture([&] {
                  press(280, 47,
                        {quick(280, 47), quick(260, 47), quick(300, 47), quick(310, 47),
                         quick(320, 47), quick(330, 47), quick(330, 47, false)});
              }),
              (Log{"begin 12", "automate 12 0.9000", "automate 12 1.0000", "end 12"}));

    // Wheel over the level slider: down, up, and up again against the top.
    platform::headless::setInput(at(241, 150, false));
    EXPECT_EQ(
        gesture([&] {
            for (std::int16_t notch : {-120, 120, 120, 120, 120, 120, 120}) {
                platform::headless::postMessage(
                    window, platform::kWmHomeWheel,
                    static_cast<std::uintptr_t>(static_cast<std::uint16_t>(notch)) << 16, 0);
                platform::headless::dispatchAll();
            }
        }),
        (Log{"automate 13 0.4000", "automate 13 0.5000", "automate 13 0.6000", "automate 13 0.7000",
             "automate 13 0.8000", "automate 13 0.9000", "automate 13 1.0000"}));
    EXPECT_EQ(gesture([&] {
                  platform::headless::postMessage(window, platform::kWmHomeWheel,
                                                  std::uintptr_t{120} << 16, 0);
                  platform::headless::dispatchAll();
              }),
              Log{});

    // Arrow keys reach the control dragged last (the linear knob at 1.0): down, up, up.
    EXPECT_EQ(gesture([&] {
                  for (IntPtr key : {kVirtualDown, kVirtualUp, kVirtualUp})
                      effect->dispatcher(effEditKeyDown, 0, key, nullptr, 0.0f);
              }),
              (Log{"automate 12 0.9000", "automate 12 1.0000"}));

    // A click that changes nothing, before any redraw: the knob at 1.0 turned to the angle
    // of 1.0 (straight down, right of the centre). The edit is still bracketed.
    effect->dispatcher(effSetEditKnobMode, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(gesture([&] {
                  press(281, 58, {quick(281, 58), quick(281, 58, false)});
              }),
              (Log{"begin 12", "end 12"}));
    EXPECT_EQ(effect->getParameter(12), 1.0f);

    // The host lists the curve values as the displays show them.
    char listed[2][16] = {};
    effect->dispatcher(effGetParamDisplay, 13, 0, listed[0], 0.0f);
    effect->dispatcher(effGetParamDisplay, 14, 0, listed[1], 0.0f);
    EXPECT_EQ(listed[0], shown(editor->getLevelCurveDisplay(), formatLevelCurve));
    EXPECT_EQ(listed[1], shown(editor->getHighlightCurveDisplay(), formatHighlightCurve));
    EXPECT_STREQ(listed[1], "1.1");
}

TEST_F(MeterEditorTest, HostChangesMoveTheControlsAndShowAfterTheNextOpen) {
    open();
    effect->setParameter(13, 0.25f);
    EXPECT_EQ(editor->getLevelCurveSlider()->getValue(), 0.25f);
    effect->setParameter(13, 0.5f);
    EXPECT_EQ(shown(editor->getLevelCurveDisplay(), formatLevelCurve), "1.5");
    effect->setParameter(11, 0.3f);
    EXPECT_EQ(editor->getSpreadGainKnob()->getValue(), 0.3f);
    EXPECT_TRUE(automations().empty()); // a host change is not sent back to the host

    dispatch(effEditClose);
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_FALSE(editor->holdsPictures());
    effect->setParameter(13, 1.0f);
    effect->setParameter(12, 0.4f);
    effect->setParameter(5, 0.7f); // ignored everywhere
    EXPECT_EQ(effect->getParameter(13), 1.0f);
    EXPECT_EQ(effect->getParameter(5), 0.0f);

    open();
    EXPECT_EQ(editor->getLevelCurveSlider()->getValue(), 1.0f);
    EXPECT_EQ(shown(editor->getLevelCurveDisplay(), formatLevelCurve), "2.5");
    EXPECT_EQ(editor->getEdgeTaperKnob()->getValue(), 0.4f);
    EXPECT_EQ(editor->getSpreadGainKnob()->getValue(), 0.3f);
}

TEST_F(MeterEditorTest, EachIdleAsksTheHundredAndFiftyValuesInOrder) {
    open();
    effect->queries.clear();
    hostIdle();
    ASSERT_EQ(effect->queries.size(), 150u);
    for (int i = 11; i <= 40; ++i) {
        const std::size_t at = static_cast<std::size_t>(5 * (i - 11));
        EXPECT_EQ(effect->queries[at], i + 30);
        EXPECT_EQ(effect->queries[at + 1], i);
        EXPECT_EQ(effect->queries[at + 2], i + 60);
        EXPECT_EQ(effect->queries[at + 3], i + 90);
        EXPECT_EQ(effect->queries[at + 4], i + 120);
    }
    dispatch(effEditClose);
    effect->queries.clear();
    hostIdle();
    EXPECT_TRUE(effect->queries.empty());
}

TEST_F(MeterEditorTest, TheBottomBarIsTheLowestBandAndTheTopBarTheHighest) {
    open();
    effect->scripted = true;
    for (int i = 11; i <= 160; ++i)
        effect->scriptedValues[i] = static_cast<float>(i) / 1000.0f;
    hostIdle();
    const MeterBarView* bottom = editor->getMeterBar(29);
    const MeterBarView* top = editor->getMeterBar(0);
    EXPECT_EQ(bottom->balance, 0.011f);
    EXPECT_EQ(bottom->level, 0.041f);
    EXPECT_EQ(bottom->spread, 0.071f);
    EXPECT_EQ(bottom->taper, 0.101f);
    EXPECT_EQ(bottom->highlight, 0.131f);
    EXPECT_EQ(top->balance, 0.040f);
    EXPECT_EQ(top->level, 0.070f);
    EXPECT_EQ(top->spread, 0.100f);
    EXPECT_EQ(top->taper, 0.130f);
    EXPECT_EQ(top->highlight, 0.160f);

    // Drawn at the next idle: the top band, far right, in its row at y = 28; the bottom band
    // at y = 202.
    effect->scriptedValues.clear();
    effect->scriptedValues[40] = 1.0f; // 20 kHz balance: right end
    effect->scriptedValues[11] = 0.0f; // 25 Hz balance: left end
    effect->scriptedValues[41] = 1.0f; // 25 Hz level: brightest row
    hostIdle();
    hostIdle();
    const std::uint32_t eraser = platform::makeColorRef(20, 20, 30);
    EXPECT_NE(platform::headless::pixel(window, 24 + 178, 30), eraser);
    EXPECT_EQ(platform::headless::pixel(window, 24 + 2, 30), eraser);
    EXPECT_NE(platform::headless::pixel(window, 24 + 2, 202), eraser);
    EXPECT_NE(platform::headless::pixel(window, 24 + 2, 206), eraser);
    EXPECT_EQ(platform::headless::pixel(window, 24 + 178, 202), eraser);
}

// At 8 kHz the bands from 4 kHz up lie at or above half the rate: their rows show nothing but
// the row's own colour, while a 1 kHz tone lights its band.
TEST_F(MeterEditorTest, RowsOfBandsTheRateCannotCarryStayEmpty) {
    effect->setSampleRate(8000.0f);
    std::vector<float> left(8000), right(8000);
    for (std::size_t n = 0; n < left.size(); ++n) {
        left[n] = static_cast<float>(0.5 * std::sin(2.0 * 3.141592653589793 * 1000.0 * n / 8000.0));
        right[n] =
            static_cast<float>(0.3 * std::sin(2.0 * 3.141592653589793 * 1000.0 * n / 8000.0 + 1.0));
    }
    float* in[2] = {left.data(), right.data()};
    effect->processReplacing(in, in, 8000);
    open();
    hostIdle();
    hostIdle();
    const std::uint32_t eraser = platform::makeColorRef(20, 20, 30);
    for (int k = 0; k < 30; ++k) {
        const int top = 28 + 6 * (29 - k);
        int lit = 0;
        for (int y = top; y < top + 5; ++y)
            for (int x = 24; x < 24 + 182; ++x)
                lit += platform::headless::pixel(window, x, y) != eraser;
        if (k >= 22) {
            EXPECT_EQ(lit, 0) << "band " << k;
        } else if (k == 16) {
            EXPECT_GT(lit, 5 * 5) << "band " << k;
        }
    }
}

TEST_F(MeterEditorTest, EveryIdleRedrawsAllThirtyBarsAlsoOnSilence) {
    open();
    hostIdle();
    hostIdle();
    const auto clean = editor_test::windowPixels(window, 300, 225);
    for (int round = 0; round < 3; ++round) {
        // Scribble over every row; the next two idles (values, then drawing) repaint them.
        platform::DeviceHandle device = platform::getWindowDevice(window);
        for (int k = 0; k < 30; ++k)
            for (int x = 24; x < 206; ++x)
                platform::setPixel(device, x, 28 + 6 * k + 2, platform::makeColorRef(255, 0, 255));
        platform::releaseWindowDevice(window, device);
        hostIdle();
        // New values for all thirty, for the next idle to draw.
        for (int k = 0; k < 30; ++k)
            EXPECT_TRUE(editor->getMeterBar(k)->isDirty());
        hostIdle();
        int scribbled = 0;
        for (int k = 0; k < 30; ++k)
            for (int x = 24; x < 206; ++x)
                scribbled += platform::headless::pixel(window, x, 28 + 6 * k + 2) ==
                             platform::makeColorRef(255, 0, 255);
        EXPECT_EQ(scribbled, 0) << "round " << round;
        // Outside the rows nothing changed.
        const auto now = editor_test::windowPixels(window, 300, 225);
        for (int y = 0; y < 225; ++y)
            for (int x = 0; x < 300; ++x)
                if (x < 24 || x >= 206 || y < 28 || y >= 207 || (y - 28) % 6 == 5) {
                    ASSERT_EQ(now[static_cast<std::size_t>(y * 300 + x)],
                              clean[static_cast<std::size_t>(y * 300 + x)])
                        << x << "," << y;
                }
    }
}

TEST_F(MeterEditorTest, TheRefreshPhaseWrapsAfterAThousandStepsAndSurvivesAReopen) {
    open();
    float highest = 0.0f;
    int wrappedAt = 0;
    float previous = editor->getRefreshPhase();
    for (int call = 1; call <= 40; ++call) {
        hostIdle();
        const float now = editor->getRefreshPhase();
        highest = std::max(highest, now);
        if (now < previous && !wrappedAt) wrappedAt = call;
        previous = now;
    }
    EXPECT_EQ(wrappedAt, 34);
    EXPECT_LE(highest, 1.0f + 0.0011f);
    const float kept = editor->getRefreshPhase();
    dispatch(effEditClose);
    open();
    EXPECT_EQ(editor->getRefreshPhase(), kept);
}

TEST_F(MeterEditorTest, OpenAndCloseManyTimesLeaveNothingBehind) {
    const int windowsBefore = platform::headless::liveWindowCount();
    const int classesBefore = platform::headless::registeredClassCount();
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(dispatch(effEditOpen, host), 1);
        hostIdle();
        dispatch(effEditClose);
        ASSERT_EQ(platform::headless::liveWindowCount(), windowsBefore);
        ASSERT_FALSE(editor->holdsPictures());
    }
    EXPECT_EQ(platform::headless::registeredClassCount(), classesBefore);
    dispatch(effEditClose); // closing a closed editor does nothing
    EXPECT_EQ(editor->getFrame(), nullptr);
}

TEST_F(MeterEditorTest, AnOpenThatCannotMakeItsWindowLeavesNothingAndAnswersZero) {
    const int windowsBefore = platform::headless::liveWindowCount();
    ASSERT_TRUE(platform::headless::isWindow(host));
    int bogus = 0; // not a window of this desktop
    EXPECT_EQ(dispatch(effEditOpen, &bogus), 0);
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_FALSE(editor->holdsPictures());
    EXPECT_EQ(platform::headless::liveWindowCount(), windowsBefore);
    hostIdle();
    effect->setParameter(13, 0.2f); // a closed editor takes it quietly
    open();
}

TEST_F(MeterEditorTest, ClosingTheEffectWithTheEditorOpenTakesTheWindowAlong) {
    const int windowsBefore = platform::headless::liveWindowCount();
    const int classesBefore = platform::headless::registeredClassCount();
    open();
    EXPECT_EQ(platform::headless::liveWindowCount(), windowsBefore + 1);
    EXPECT_EQ(platform::headless::registeredClassCount(), classesBefore + 1);
    effect.reset();
    EXPECT_EQ(platform::headless::liveWindowCount(), windowsBefore);
    EXPECT_EQ(platform::headless::registeredClassCount(), classesBefore);
}

} // namespace
