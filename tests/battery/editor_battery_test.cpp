// The editor side of the battery on the headless home: the plug-in's own effect with its
// meter editor opened and closed a thousand times, a polling test editor idling while other
// threads process audio and set parameters, and the meter editor opened, dragged and closed
// while a host's audio thread plays automation of all four parameters.

#include "editor/meter_editor.h"
#include "engine/meter_effect.h"
#include "plugin/meter_effect_with_editor.h"
#include "test_signals.h"
#include "toolkit/controls/knob.h"
#include "toolkit/controls/slider.h"
#include "views/views_fixtures.h"

#include <atomic>
#include <cmath>
#include <memory>
#include <thread>

namespace {

using views_test::ProbeView;

// The meter editor's rhythm without its drawing: a frame, views, and a poll per idle.
class PollingEditor : public GuiEditor {
public:
    explicit PollingEditor(EffectBaseX* effect) : GuiEditor(effect) { rect = {0, 0, 225, 300}; }
    ~PollingEditor() override { close(); }
    std::int32_t open(void* parent) override {
        GuiEditor::open(parent);
        frame = new Frame(Rect(0, 0, 300, 225), static_cast<platform::WindowHandle>(parent), this);
        for (int i = 0; i < 30; ++i)
            frame->addView(new ProbeView("bar", Rect(0, i * 7, 300, i * 7 + 7), kBlueColor));
        return 1;
    }
    void close() override { closeFrame(); }
    void idle() override {
        GuiEditor::idle();
        for (int index = 11; index < 161; ++index) {
            const float v = effect->getMeterValue(index);
            if (!(v >= 0.0f && v <= 1.0f)) ++badMeters;
        }
        ++idles;
    }
    int idles = 0;
    int badMeters = 0;
};

class EditorBattery : public ::testing::Test {
protected:
    void SetUp() override {
        platform::headless::reset();
        host = platform::headless::createHostWindow("HostEditorWindow", platform::kWsChild,
                                                    {100, 50, 400, 275});
    }
    void TearDown() override { platform::headless::reset(); }
    platform::WindowHandle host = nullptr;
};

TEST_F(EditorBattery, OpenedAndClosedAThousandTimesWithIdleCallsBetween) {
    auto effect = std::make_unique<MeterEffect>(nullptr);
    auto* editor = new PollingEditor(effect.get()); // owned by the effect
    EffectRecord* record = effect->getRecord();
    const int windowsBefore = platform::headless::liveWindowCount();
    const int classesBefore = platform::headless::registeredClassCount(); // the host's
    const int oleBefore = platform::headless::oleInitializeDepth();       // the editor's
    std::uint32_t ticks = 1000;
    int survived = 0;
    for (int cycle = 0; cycle < 1000; ++cycle) {
        ASSERT_EQ(record->dispatcher(record, effEditOpen, 0, 0, host, 0.0f), 1) << cycle;
        ASSERT_NE(editor->getFrame(), nullptr);
        for (int i = 0; i < 3; ++i) {
            ticks += 40;
            platform::headless::setTickCount(ticks);
            record->dispatcher(record, effEditIdle, 0, 0, nullptr, 0.0f);
            platform::headless::dispatchAll();
        }
        // A host that closes twice, or idles a closed editor, changes nothing.
        record->dispatcher(record, effEditClose, 0, 0, nullptr, 0.0f);
        record->dispatcher(record, effEditClose, 0, 0, nullptr, 0.0f);
        record->dispatcher(record, effEditIdle, 0, 0, nullptr, 0.0f);
        ASSERT_EQ(editor->getFrame(), nullptr);
        ASSERT_EQ(platform::headless::liveWindowCount(), windowsBefore) << cycle;
        ASSERT_EQ(platform::headless::registeredClassCount(), classesBefore) << cycle;
        ASSERT_EQ(platform::headless::oleInitializeDepth(), oleBefore) << cycle;
        ++survived;
    }
    EXPECT_EQ(survived, 1000);
    EXPECT_EQ(editor->badMeters, 0);
}

TEST_F(EditorBattery, TheMeterEditorOpensAndClosesAThousandTimes) {
    auto effect = std::make_unique<MeterEffectWithEditor>(nullptr);
    EffectRecord* record = effect->getRecord();
    ASSERT_NE(record->flags & effFlagsHasEditor, 0);
    const int windowsBefore = platform::headless::liveWindowCount();
    const int oleBefore = platform::headless::oleInitializeDepth();
    const auto left = test_signals::noise(0.5, 512, 3);
    const auto right = test_signals::sine(1000, 0.5, 44100, 512);
    std::vector<float> outL(512), outR(512);
    std::uint32_t ticks = 1000;
    int survived = 0;
    for (int cycle = 0; cycle < 1000; ++cycle) {
        ASSERT_EQ(record->dispatcher(record, effEditOpen, 0, 0, host, 0.0f), 1) << cycle;
        for (int i = 0; i < 2; ++i) {
            std::vector<float> inL = left, inR = right;
            float* in[2] = {inL.data(), inR.data()};
            float* out[2] = {outL.data(), outR.data()};
            record->processReplacing(record, in, out, 512);
            ticks += 40;
            platform::headless::setTickCount(ticks);
            record->dispatcher(record, effEditIdle, 0, 0, nullptr, 0.0f);
            platform::headless::dispatchAll();
        }
        record->setParameter(record, 11 + cycle % 4, static_cast<float>(cycle % 11) / 10.0f);
        record->dispatcher(record, effEditClose, 0, 0, nullptr, 0.0f);
        record->dispatcher(record, effEditIdle, 0, 0, nullptr, 0.0f);
        ASSERT_EQ(platform::headless::liveWindowCount(), windowsBefore) << cycle;
        ASSERT_EQ(platform::headless::oleInitializeDepth(), oleBefore) << cycle;
        ++survived;
    }
    EXPECT_EQ(survived, 1000);
    EXPECT_EQ(outL, left) << "the audio passes unchanged throughout";
    for (int index = 11; index < 161; ++index) {
        const float v = effect->getMeterValue(index);
        EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << index;
    }
}

TEST_F(EditorBattery, EditorIdlesWhileAudioAndParameterThreadsRun) {
    auto effect = std::make_unique<MeterEffect>(nullptr);
    auto* editor = new PollingEditor(effect.get());
    EffectRecord* record = effect->getRecord();
    ASSERT_EQ(record->dispatcher(record, effEditOpen, 0, 0, host, 0.0f), 1);
    std::atomic<bool> audioDone{false};
    std::atomic<bool> mismatch{false};

    std::thread audio([&] {
        const auto left = test_signals::noise(0.7, 512, 8);
        const auto right = test_signals::sine(440, 0.5, 44100, 512);
        std::vector<float> outL(512), outR(512);
        for (int b = 0; b < 200; ++b) {
            std::vector<float> inL = left, inR = right;
            float* in[2] = {inL.data(), inR.data()};
            float* out[2] = {outL.data(), outR.data()};
            record->processReplacing(record, in, out, 512);
            if (outL != left || outR != right) mismatch.store(true);
        }
        audioDone.store(true);
    });
    std::thread parameters([&] {
        const float values[] = {0.0f, 1.0f, 0.5f, -1.0f, 2.0f, NAN, INFINITY, 0.25f};
        int i = 0;
        char text[64];
        while (!audioDone.load()) {
            const int index = 11 + i % 4;
            record->setParameter(record, index, values[i++ % 8]);
            (void)record->getParameter(record, index);
            record->dispatcher(record, effGetParamDisplay, index, 0, text, 0.0f);
            std::this_thread::yield();
        }
    });
    // This thread is the host's user-interface thread: it idles the open editor.
    std::uint32_t ticks = 1000;
    while (!audioDone.load()) {
        ticks += 20;
        platform::headless::setTickCount(ticks);
        record->dispatcher(record, effEditIdle, 0, 0, nullptr, 0.0f);
        platform::headless::dispatchAll();
    }
    audio.join();
    parameters.join();
    record->dispatcher(record, effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_FALSE(mismatch.load());
    EXPECT_GT(editor->idles, 0);
    EXPECT_EQ(editor->badMeters, 0);
}

// The plug-in's effect with a way to its meter editor.
class EffectWithEditor : public MeterEffectWithEditor {
public:
    EffectWithEditor() : MeterEffectWithEditor(nullptr) {}
    MeterEditor* meterEditor() const { return static_cast<MeterEditor*>(editor); }
};

// A host plays automation from its audio thread, all four parameters every block, while its
// user-interface thread opens the editor, idles it, drags a knob and a slider, and closes it
// again. The editor's views belong to the user-interface thread alone: nothing the audio
// thread does may touch a control that is being drawn or destroyed (ThreadSanitizer in CI),
// and the controls still come to show the automation's last values at the next idle.
TEST_F(EditorBattery, TheMeterEditorOpensDragsAndClosesUnderAutomationFromTheAudioThread) {
    auto effect = std::make_unique<EffectWithEditor>();
    EffectRecord* record = effect->getRecord();
    std::atomic<bool> editing{true};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        const auto left = test_signals::noise(0.5, 256, 5);
        const auto right = test_signals::sine(2000, 0.5, 44100, 256);
        std::vector<float> outL(256), outR(256);
        for (int b = 0; editing.load() || b < 50; ++b) {
            std::vector<float> inL = left, inR = right;
            float* in[2] = {inL.data(), inR.data()};
            float* out[2] = {outL.data(), outR.data()};
            record->processReplacing(record, in, out, 256);
            for (int index = 11; index <= 14; ++index)
                record->setParameter(record, index,
                                     static_cast<float>((b * 7 + index * 3) % 101) / 100.0f);
            blocks.store(b + 1);
        }
    });

    using platform::headless::InputState;
    std::uint32_t ticks = 1000;
    const auto idle = [&] {
        ticks += 40;
        platform::headless::setTickCount(ticks);
        record->dispatcher(record, effEditIdle, 0, 0, nullptr, 0.0f);
        platform::headless::dispatchAll();
    };
    // A press at (x, y), a move of 30 pixels up over several polls, and the release.
    const auto drag = [&](int x, int y) {
        std::vector<InputState> script;
        for (int step = 0; step <= 6; ++step) {
            InputState in;
            in.cursor = {x, y - 5 * step};
            in.left = step < 6;
            in.advanceMs = 20;
            script.push_back(in);
        }
        platform::headless::scriptInput(script);
        Frame* frame = effect->meterEditor()->getFrame();
        platform::headless::postButtonDown(frame->getWindow(), platform::kWmLButtonDown, x, y);
        platform::headless::dispatchAll();
    };
    for (int cycle = 0; cycle < 60; ++cycle) {
        ASSERT_EQ(record->dispatcher(record, effEditOpen, 0, 0, host, 0.0f), 1) << cycle;
        idle();
        if (cycle % 2 == 0)
            drag(240, 50); // the WIDTH knob
        else
            drag(232, 150); // the left slider
        idle();
        record->dispatcher(record, effEditClose, 0, 0, nullptr, 0.0f);
    }
    ASSERT_EQ(record->dispatcher(record, effEditOpen, 0, 0, host, 0.0f), 1);
    editing.store(false);
    audio.join();
    EXPECT_GT(blocks.load(), 50);
    idle();
    MeterEditor* editor = effect->meterEditor();
    EXPECT_EQ(editor->getSpreadGainKnob()->getValue(), effect->getParameter(11));
    EXPECT_EQ(editor->getEdgeTaperKnob()->getValue(), effect->getParameter(12));
    EXPECT_EQ(editor->getLevelCurveSlider()->getValue(), effect->getParameter(13));
    EXPECT_EQ(editor->getHighlightCurveSlider()->getValue(), effect->getParameter(14));
    record->dispatcher(record, effEditClose, 0, 0, nullptr, 0.0f);
}

} // namespace
