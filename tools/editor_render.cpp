#include "tools/editor_render.h"

#include "editor/meter_editor.h"
#include "host/opcodes.h"
#include "platform/headless/headless.h"
#include "plugin/meter_effect_with_editor.h"
#include "toolkit/frame.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

namespace {

IntPtr TROB_CALL renderHost(EffectRecord*, std::int32_t opcode, std::int32_t, IntPtr, void*,
                            float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

constexpr std::uint32_t kStartTicks = 10000;

// The effect as `main` makes it, with a way to its editor's window.
class RenderedEffect : public MeterEffectWithEditor {
public:
    using MeterEffectWithEditor::MeterEffectWithEditor;
    platform::WindowHandle editorWindow() const {
        auto* gui = static_cast<GuiEditor*>(editor);
        return gui && gui->getFrame() ? gui->getFrame()->getWindow() : nullptr;
    }
};

} // namespace

EditorRenderer::EditorRenderer() = default;

EditorRenderer::~EditorRenderer() {
    if (effect) {
        EffectRecord* record = effect->getRecord();
        record->dispatcher(record, effEditClose, 0, 0, nullptr, 0.0f);
        record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f); // deletes the effect
    }
    platform::headless::reset();
}

bool EditorRenderer::open(double sampleRate, const RenderSettings& settings) {
    platform::headless::reset();
    platform::headless::setTickCount(kStartTicks);
    const auto host = platform::headless::createHostWindow("TrobRenderHost", platform::kWsChild,
                                                           {0, 0, kWidth, kHeight});
    if (!host) {
        errorText = "cannot make the host window";
        return false;
    }
    auto* created = new (std::nothrow) RenderedEffect(&renderHost);
    effect = created;
    if (!effect) {
        errorText = "out of memory for the plug-in";
        return false;
    }
    blockSize = settings.blockSize;
    for (auto* buffer : {&inL, &inR, &outL, &outR})
        buffer->assign(static_cast<std::size_t>(blockSize), 0.0f);
    effect->dispatcher(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    effect->dispatcher(effSetBlockSize, 0, blockSize, nullptr, 0.0f);
    effect->dispatcher(effMainsChanged, 0, 1, nullptr, 0.0f);
    settings.forEachSetParameter(
        [&](std::int32_t index, float value) { effect->setParameter(index, value); });
    if (effect->dispatcher(effEditOpen, 0, 0, host, 0.0f) != 1) {
        errorText = "the editor does not open";
        return false;
    }
    EditorRect* rect = nullptr;
    effect->dispatcher(effEditGetRect, 0, 0, &rect, 0.0f);
    if (!rect || rect->right != kWidth || rect->bottom != kHeight) {
        errorText = "the editor is not 300 x 225 pixels (are its pictures missing?)";
        return false;
    }
    window = created->editorWindow();
    if (!window) {
        errorText = "the editor has no window";
        return false;
    }
    platform::headless::dispatchAll(); // the first paint
    return true;
}

std::vector<std::uint32_t> EditorRenderer::windowPixels() const {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth * kHeight));
    auto* frameWindow = static_cast<platform::WindowHandle>(window);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            pixels[static_cast<std::size_t>(y * kWidth + x)] =
                platform::headless::pixel(frameWindow, x, y);
    return pixels;
}

void EditorRenderer::idle(double time) {
    platform::headless::setTickCount(kStartTicks +
                                     static_cast<std::uint32_t>(std::lround(time * 1000.0)));
    effect->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    platform::headless::dispatchAll();
}

std::int64_t EditorRenderer::process(AudioSource& source, std::int64_t done, std::int64_t until,
                                     std::int64_t last, const ProgressListener& onProgress) {
    while (done < until) {
        const auto want =
            static_cast<std::int64_t>(std::min<std::int64_t>(blockSize, until - done));
        const std::int64_t got = source.read(inL.data(), inR.data(), want);
        if (got < 0) {
            errorText = "cannot read the audio";
            return -1;
        }
        if (got == 0) break;
        float* in[2] = {inL.data(), inR.data()};
        float* out[2] = {outL.data(), outR.data()};
        effect->getRecord()->processReplacing(effect->getRecord(), in, out,
                                              static_cast<std::int32_t>(got));
        done += got;
        if (onProgress) onProgress(done, last);
    }
    return done;
}

namespace {
std::int64_t lastFrame(AudioSource& source, double until) {
    const double last = std::min<double>(static_cast<double>(source.frameCount()),
                                         std::floor(until * source.sampleRate()));
    // A source that gives no length reports the largest count, which a double rounds past.
    return last >= 0x1p63 ? INT64_MAX : static_cast<std::int64_t>(last);
}
} // namespace

bool EditorRenderer::run(AudioSource& source, double until, const FrameListener& onFrame,
                         const ProgressListener& onProgress) {
    const double rate = source.sampleRate();
    const std::int64_t last = lastFrame(source, until);
    std::int64_t done = 0;
    std::int64_t idles = 0;
    for (;;) {
        const double time = static_cast<double>(idles) / kIdlesPerSecond;
        idle(time);
        if (!onFrame(time, windowPixels())) return true;
        ++idles;
        const auto nextIdle = static_cast<std::int64_t>(
            std::floor(static_cast<double>(idles) * rate / kIdlesPerSecond));
        if (done >= last) return true;
        const std::int64_t reached =
            process(source, done, std::min(nextIdle, last), last, onProgress);
        if (reached < 0) return false;
        if (reached < std::min(nextIdle, last)) return true; // the source ended early
        done = reached;
    }
}

bool EditorRenderer::play(AudioSource& source, double until) {
    const std::int64_t last = lastFrame(source, until);
    return process(source, 0, last, last, nullptr) >= 0;
}

std::vector<std::uint32_t> EditorRenderer::idleAt(double time) {
    idle(time);
    return windowPixels();
}

std::vector<std::uint32_t> enlarge(const std::vector<std::uint32_t>& pixels, int width, int height,
                                   int factor) {
    if (factor <= 1) return pixels;
    const int w = width * factor;
    std::vector<std::uint32_t> out(static_cast<std::size_t>(w) * height * factor);
    for (int y = 0; y < height * factor; ++y)
        for (int x = 0; x < w; ++x)
            out[static_cast<std::size_t>(y) * w + x] =
                pixels[static_cast<std::size_t>(y / factor) * width + x / factor];
    return out;
}
