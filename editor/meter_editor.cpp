#include "editor/meter_editor.h"

#include "editor/meter_bar_view.h"
#include "editor/value_formats.h"
#include "host/effect_base_x.h"
#include "host/meter_interface.h"
#include "platform/current_thread.h"
#include "toolkit/bitmap.h"
#include "toolkit/color.h"
#include "toolkit/controls/image_strip_display.h"
#include "toolkit/controls/knob.h"
#include "toolkit/controls/parameter_display.h"
#include "toolkit/controls/slider.h"
#include "toolkit/frame.h"

#include <cmath>
#include <new>

namespace {

enum : std::int32_t {
    kBackgroundId = 128,
    kScaleId = 129,
    kBarId = 206,
    kRowId = 207,
    kSliderTrackId = 208,
    kSliderHandleId = 209,
    kKnobFaceId = 210,
    kKnobHandleId = 211,
    kHighlightBarId = 212,
};

using meter::kEdgeTaper;
using meter::kHighlightCurve;
using meter::kLevelCurve;
using meter::kSpreadGain;

constexpr float kRefreshStep = 0.001f;
constexpr std::int32_t kScaleFrames = 6;
constexpr std::int32_t kDisplayStyle = 1;
constexpr std::int32_t kDisplayFont = 4;
constexpr Color kLevelCurveColor{20, 145, 210, 0};
constexpr Color kHighlightCurveColor{230, 0, 0, 0};

std::int32_t widthOf(const Bitmap* bitmap) {
    return bitmap ? bitmap->getWidth() : 0;
}
std::int32_t heightOf(const Bitmap* bitmap) {
    return bitmap ? bitmap->getHeight() : 0;
}

// Loads a picture unless an earlier open kept it; false when there was no memory for it.
bool load(Bitmap*& field, std::int32_t id) {
    if (!field) field = new (std::nothrow) Bitmap(id);
    return field != nullptr;
}

// Equal, counting every NaN as one value: a control at NaN stays there under the wheel.
bool sameValue(float a, float b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

void release(Bitmap*& field) {
    if (field) field->forget();
    field = nullptr;
}

} // namespace

MeterEditor::MeterEditor(EffectBaseX* owner)
    : GuiEditor(owner), refreshPhase(0.0f), levelCurveDisplay(nullptr),
      highlightCurveDisplay(nullptr), background(nullptr), barBitmap(nullptr),
      highlightBarBitmap(nullptr), rowBitmap(nullptr), sliderTrackBitmap(nullptr),
      sliderHandleBitmap(nullptr), knobFaceBitmap(nullptr), knobHandleBitmap(nullptr),
      scaleBitmap(nullptr), meterBars{}, scaleDisplay(nullptr), levelCurveSlider(nullptr),
      highlightCurveSlider(nullptr), spreadGainKnob(nullptr), edgeTaperKnob(nullptr),
      editorThread(0), changedElsewhere(0) {
    // The size alone, from the picture's header: an effect whose editor never opens holds no
    // decoded background.
    std::int32_t width = 0, height = 0;
    Bitmap::sizeOfResource(kBackgroundId, &width, &height);
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<std::int16_t>(height);
    rect.right = static_cast<std::int16_t>(width);
}

MeterEditor::~MeterEditor() {
    // A host may close the effect with the editor still open: the frame and the pictures go
    // with it rather than outlive the editor they point to.
    close();
}

bool MeterEditor::holdsPictures() const {
    return background || scaleBitmap || barBitmap || highlightBarBitmap || rowBitmap ||
           sliderTrackBitmap || sliderHandleBitmap || knobFaceBitmap || knobHandleBitmap;
}

std::int32_t MeterEditor::open(void* parent) {
    if (frame) close(); // a second open without a close: start again rather than leak
    // The controls are about to be set from the effect's values; a change from another thread
    // from now on is noted again and shown at the first idle.
    changedElsewhere.store(0, std::memory_order_relaxed);
    GuiEditor::open(parent);
    // The window first: an open the host's window cannot take (it is gone, or is none) ends
    // before any picture is decoded.
    frame = new (std::nothrow) Frame(Rect(0, 0, rect.right, rect.bottom),
                                     static_cast<platform::WindowHandle>(parent), this);
    // A frame without its window (the host's window is gone or the system refused one) shows
    // nothing: that is a failed open, not an editor.
    if (!frame || !frame->getWindow() || !loadPictures() || !buildViews()) {
        close();
        return 0;
    }
    editorThread.store(platform::currentThread(), std::memory_order_relaxed);
    return 1;
}

bool MeterEditor::loadPictures() {
    return load(background, kBackgroundId) && load(scaleBitmap, kScaleId) &&
           load(barBitmap, kBarId) && load(highlightBarBitmap, kHighlightBarId) &&
           load(rowBitmap, kRowId) && load(sliderTrackBitmap, kSliderTrackId) &&
           load(sliderHandleBitmap, kSliderHandleId) && load(knobFaceBitmap, kKnobFaceId) &&
           load(knobHandleBitmap, kKnobHandleId);
}

bool MeterEditor::add(View* view) {
    if (!view) return false;
    if (frame->addView(view)) return true;
    view->forget();
    return false;
}

bool MeterEditor::buildViews() {
    frame->setBackground(background);
    const auto parameter = [this](std::int32_t index) {
        return effect ? effect->getParameter(index) : 0.0f;
    };

    const std::int32_t scaleHeight = heightOf(scaleBitmap);
    scaleDisplay = new (std::nothrow)
        ImageStripDisplay(Rect(10, 20, 10 + widthOf(scaleBitmap), 20 + scaleHeight), this, 2,
                          kScaleFrames, scaleHeight, scaleBitmap, Point{0, 0});
    if (!add(scaleDisplay)) return false;

    const std::int32_t trackWidth = widthOf(sliderTrackBitmap);
    const std::int32_t trackHeight = heightOf(sliderTrackBitmap);
    const std::int32_t trackEnd = trackHeight - heightOf(sliderHandleBitmap) + 94;
    const auto makeSlider = [&](std::int32_t x, std::int32_t tag, float defaultValue) {
        auto* slider = new (std::nothrow) VerticalSlider(
            Rect(x, 95, x + trackWidth, 95 + trackHeight), this, tag, 95, trackEnd,
            sliderHandleBitmap, sliderTrackBitmap, Point{0, 0}, StyleVertical | StyleZeroAtBottom);
        if (slider) {
            slider->setHandleOffset(Point{8, 0});
            slider->setValue(parameter(tag));
            slider->setDefaultValue(defaultValue);
        }
        return slider;
    };
    levelCurveSlider = makeSlider(225, kLevelCurve, 0.5f);
    if (!add(levelCurveSlider)) return false;
    highlightCurveSlider = makeSlider(265, kHighlightCurve, 0.0f);
    if (!add(highlightCurveSlider)) return false;

    const std::int32_t faceWidth = widthOf(knobFaceBitmap);
    const std::int32_t faceHeight = heightOf(knobFaceBitmap);
    const auto makeKnob = [&](std::int32_t x, std::int32_t tag) {
        auto* knob = new (std::nothrow) Knob(Rect(x, 35, x + faceWidth, 35 + faceHeight), this, tag,
                                             knobFaceBitmap, knobHandleBitmap, Point{0, 0});
        if (knob) {
            knob->setValue(parameter(tag));
            knob->setDefaultValue(1.0f);
        }
        return knob;
    };
    spreadGainKnob = makeKnob(228, kSpreadGain);
    if (!add(spreadGainKnob)) return false;
    edgeTaperKnob = makeKnob(268, kEdgeTaper);
    if (!add(edgeTaperKnob)) return false;

    const std::int32_t barWidth = widthOf(barBitmap);
    const std::int32_t barHeight = heightOf(barBitmap);
    for (int k = 0; k < kBarCount; ++k) {
        const std::int32_t step = 6 * (k + 1);
        meterBars[k] = new (std::nothrow)
            MeterBarView(Rect(24, 22 + step, 24 + barWidth, 22 + barHeight + step), barBitmap,
                         highlightBarBitmap, rowBitmap);
        if (!add(meterBars[k])) return false;
    }

    const auto makeDisplay = [&](std::int32_t x, Color colour, StringConverter converter,
                                 std::int32_t tag) {
        auto* display =
            new (std::nothrow) ParameterDisplay(Rect(x, 79, x + 30, 91), nullptr, kDisplayStyle);
        if (display) {
            display->setFont(kDisplayFont);
            display->setFontColor(colour);
            display->setBackColor(kBlackColor);
            display->setFrameColor(colour);
            display->setStringConverter(converter);
            display->setValue(parameter(tag));
        }
        return display;
    };
    levelCurveDisplay = makeDisplay(226, kLevelCurveColor, formatLevelCurve, kLevelCurve);
    if (!add(levelCurveDisplay)) return false;
    highlightCurveDisplay =
        makeDisplay(266, kHighlightCurveColor, formatHighlightCurve, kHighlightCurve);
    return add(highlightCurveDisplay);
}

void MeterEditor::close() {
    editorThread.store(0, std::memory_order_relaxed);
    closeFrame();
    levelCurveDisplay = nullptr;
    highlightCurveDisplay = nullptr;
    for (MeterBarView*& bar : meterBars)
        bar = nullptr;
    scaleDisplay = nullptr;
    levelCurveSlider = nullptr;
    highlightCurveSlider = nullptr;
    spreadGainKnob = nullptr;
    edgeTaperKnob = nullptr;
    forgetPictures();
}

void MeterEditor::forgetPictures() {
    release(background);
    release(scaleBitmap);
    release(barBitmap);
    release(highlightBarBitmap);
    release(rowBitmap);
    release(sliderTrackBitmap);
    release(sliderHandleBitmap);
    release(knobFaceBitmap);
    release(knobHandleBitmap);
}

void MeterEditor::setParameter(std::int32_t index, float) {
    // Only the thread the editor lives on touches its views: from any other a change sets a
    // bit and nothing else, so that the audio thread neither waits nor meets a control that the
    // editor's thread is drawing or destroying.
    if (editorThread.load(std::memory_order_relaxed) != platform::currentThread()) {
        if (index >= kSpreadGain && index <= kHighlightCurve)
            changedElsewhere.fetch_or(1u << (index - kSpreadGain), std::memory_order_release);
        return;
    }
    if (!frame || !effect) return;
    moveControl(index);
    requestUpdate();
}

void MeterEditor::moveControl(std::int32_t index) {
    const float value = effect->getParameter(index);
    switch (index) {
    case kSpreadGain:
        if (spreadGainKnob) spreadGainKnob->setValue(value);
        break;
    case kEdgeTaper:
        if (edgeTaperKnob) edgeTaperKnob->setValue(value);
        break;
    case kLevelCurve:
        if (levelCurveSlider) levelCurveSlider->setValue(value);
        if (levelCurveDisplay) levelCurveDisplay->setValue(value);
        break;
    case kHighlightCurve:
        if (highlightCurveSlider) highlightCurveSlider->setValue(value);
        if (highlightCurveDisplay) highlightCurveDisplay->setValue(value);
        break;
    default:
        break;
    }
}

void MeterEditor::takeChangesFromOtherThreads() {
    std::uint32_t changed = changedElsewhere.exchange(0, std::memory_order_acquire);
    for (std::int32_t index = kSpreadGain; changed; ++index, changed >>= 1)
        if (changed & 1u) moveControl(index);
}

void MeterEditor::valueChanged(DrawContext*, Control* control) {
    if (!control) return;
    const std::int32_t tag = control->getTag();
    if (tag < kSpreadGain || tag > kHighlightCurve) return;
    // A control tells of every poll of a drag until it is drawn again; the host hears of a
    // value only when it changes the parameter.
    const float value = control->getValue();
    if (effect && !sameValue(value, effect->getParameter(tag)))
        effect->setParameterAndNotify(tag, value);
    control->setDirty(true);
}

void MeterEditor::idle() {
    if (frame && effect) takeChangesFromOtherThreads();
    GuiEditor::idle();
    if (!frame || !effect) return;
    for (std::int32_t band = 0; band < kBarCount; ++band) {
        MeterBarView* bar = meterBars[kBarCount - 1 - band];
        if (!bar) continue;
        bar->level = effect->getMeterValue(meter::kLevel + band);
        bar->balance = effect->getMeterValue(meter::kBalance + band);
        bar->spread = effect->getMeterValue(meter::kSpread + band);
        bar->taper = effect->getMeterValue(meter::kTaper + band);
        bar->highlight = effect->getMeterValue(meter::kHighlight + band);
        if (refreshPhase > 1.0f) refreshPhase = 0.0f;
        bar->setValue(refreshPhase);
        refreshPhase += kRefreshStep;
    }
}
