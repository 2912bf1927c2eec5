#pragma once
// The plug-in's window: the background, the stereo/frequency scale, thirty band bars stacked
// from 20 kHz at the top to 25 Hz at the bottom, two knobs and two sliders with their value
// displays. Controls pass user changes to the effect as automated parameter changes; the
// effect's parameter changes move the controls; every idle call polls the 150 meter values
// and hands them to the bars.

#include "host/gui_editor/gui_editor.h"
#include "toolkit/controls/control.h"

#include <atomic>
#include <cstdint>

class Bitmap;
class ImageStripDisplay;
class Knob;
class MeterBarView;
class ParameterDisplay;
class VerticalSlider;

class MeterEditor : public GuiEditor, public ControlListener {
public:
    static constexpr int kBarCount = 30;

    explicit MeterEditor(EffectBaseX* effect);
    ~MeterEditor() override;

    // 1 when the window is built; 0, with nothing left behind, when the frame, its window
    // or a view cannot be made.
    std::int32_t open(void* parent) override;
    void close() override;
    void idle() override;
    // Safe from any thread. On the thread that opened the editor the matching control moves at
    // once; from another (a host playing automation from its audio thread) the change is only
    // noted, lock-free, and the control moves at the editor's next idle.
    void setParameter(std::int32_t index, float value) override;
    void valueChanged(DrawContext* context, Control* control) override;

    float getRefreshPhase() const { return refreshPhase; }
    MeterBarView* getMeterBar(int index) const {
        return index >= 0 && index < kBarCount ? meterBars[index] : nullptr;
    }
    VerticalSlider* getLevelCurveSlider() const { return levelCurveSlider; }
    VerticalSlider* getHighlightCurveSlider() const { return highlightCurveSlider; }
    Knob* getSpreadGainKnob() const { return spreadGainKnob; }
    Knob* getEdgeTaperKnob() const { return edgeTaperKnob; }
    ParameterDisplay* getLevelCurveDisplay() const { return levelCurveDisplay; }
    ParameterDisplay* getHighlightCurveDisplay() const { return highlightCurveDisplay; }
    ImageStripDisplay* getScaleDisplay() const { return scaleDisplay; }
    // Whether the editor holds any of its pictures: only while it is open.
    bool holdsPictures() const;

private:
    // False when there was no memory for one of them.
    bool loadPictures();
    bool buildViews();
    // Adds a view made by `new (std::nothrow)`; false (and the view released) when either
    // failed.
    bool add(View* view);
    void forgetPictures();
    // Moves the control (and display) of one parameter to the effect's value.
    void moveControl(std::int32_t index);
    // Moves the controls of the parameters other threads changed since the last call.
    void takeChangesFromOtherThreads();

    float refreshPhase;
    ParameterDisplay* levelCurveDisplay;
    ParameterDisplay* highlightCurveDisplay;
    Bitmap* background;
    Bitmap* barBitmap;
    Bitmap* highlightBarBitmap;
    Bitmap* rowBitmap;
    Bitmap* sliderTrackBitmap;
    Bitmap* sliderHandleBitmap;
    Bitmap* knobFaceBitmap;
    Bitmap* knobHandleBitmap;
    Bitmap* scaleBitmap;
    MeterBarView* meterBars[kBarCount];
    ImageStripDisplay* scaleDisplay;
    VerticalSlider* levelCurveSlider;
    VerticalSlider* highlightCurveSlider;
    Knob* spreadGainKnob;
    Knob* edgeTaperKnob;
    // The thread the open editor lives on; 0 while closed.
    std::atomic<std::uintptr_t> editorThread;
    // One bit per parameter from 11 on, set by other threads, taken by the editor's idle.
    std::atomic<std::uint32_t> changedElsewhere;
};
