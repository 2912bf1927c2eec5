// Blocks of any size and any samples through the record's processing functions, with sample
// rates (usable or not) set between them. After each block: the output is the input bit for
// bit, nothing past the block is touched, every meter reads 0..1 and the engine's whole state
// is finite, for whichever kernel the input picks.

#include "fuzz_common.h"
#include "host/opcodes.h"
#include "meter_effect_probe.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace {

constexpr int kLargestBlock = 8192;

float sampleRate(fuzz::Input& in) {
    switch (in.byte() % 4) {
    case 0:
        return in.awkwardFloat();
    case 1: {
        // 1 Hz to 10 MHz, spread evenly in octaves.
        const double octaves = std::log2(1e7) * in.take<std::uint16_t>() / 65535.0;
        return static_cast<float>(std::exp2(octaves));
    }
    default: {
        static const float kRates[] = {
            8000.0f,   11025.0f,  16000.0f, 22050.0f,    32000.0f,
            44100.0f,  48000.0f,  88200.0f, 96000.0f,    176400.0f,
            192000.0f, 384000.0f, 0.0f,     -44100.0f,   std::numeric_limits<float>::quiet_NaN(),
            1.0f,      999.9f,    1e7f,     1.0000001e7f};
        return kRates[in.below(sizeof kRates / sizeof kRates[0])];
    }
    }
}

void fill(std::vector<float>& samples, int frames, fuzz::Input& in) {
    const std::uint8_t mode = in.byte() % 5;
    const float a = in.awkwardFloat();
    const float b = in.awkwardFloat();
    for (int n = 0; n < frames; ++n) {
        switch (mode) {
        case 0:
            samples[n] = a;
            break;
        case 1:
            samples[n] = (n & 1) ? a : b;
            break;
        case 2:
            samples[n] = static_cast<float>(a * std::sin(0.05 * n));
            break;
        case 3:
            samples[n] = (n % 97 == 0) ? b : a * static_cast<float>(n % 13) / 13.0f;
            break;
        default:
            samples[n] = in.awkwardFloat();
            break;
        }
    }
}

void checkState(MeterEffectProbe& effect) {
    for (int channel : {MeterEffectProbe::kLeft, MeterEffectProbe::kRight})
        for (int band = 0; band < 30; ++band) {
            const auto h = effect.bandHistory(channel, band);
            bool finite = std::isfinite(h.x1) && std::isfinite(h.x2) &&
                          std::isfinite(effect.levelSum(channel, band)) &&
                          std::isfinite(effect.levelRunning(channel, band)) &&
                          std::isfinite(effect.output(channel, band));
            for (int s = 0; s < 3; ++s)
                finite = finite && std::isfinite(h.y1[s]) && std::isfinite(h.y2[s]);
            if (!finite) fuzz::fail("filter or level state not finite", band);
        }
    for (int band = 0; band < 30; ++band)
        if (!std::isfinite(effect.antiPhaseSum(band)) ||
            !std::isfinite(effect.antiPhaseRunning(band)))
            fuzz::fail("anti-phase state not finite", band);
    const float rate = effect.designRate();
    if (!(rate >= 1000.0f && rate <= 1e7f)) fuzz::fail("unusable design rate", rate);
}

void block(EffectRecord* record, MeterEffectProbe& effect, fuzz::Input& in) {
    // Mostly the blocks hosts use, now and then the largest or a nonsense count.
    const std::uint8_t size = in.byte();
    int frames = static_cast<int>(in.below(size < 224 ? 520 : kLargestBlock + 9)) - 8;
    if (size == 255) frames = std::numeric_limits<std::int32_t>::min();
    const int used = frames > 0 ? frames : 0;
    // One spare sample after each buffer shows a write past the block.
    std::vector<float> left(used + 1, 3.0f), right(used + 1, 3.0f);
    fill(left, used, in);
    fill(right, used, in);
    const std::vector<float> originalLeft = left, originalRight = right;
    std::vector<float> outLeft(used + 1, 5.0f), outRight(used + 1, 5.0f);
    float* inputs[2] = {left.data(), right.data()};
    float* separate[2] = {outLeft.data(), outRight.data()};
    const std::uint8_t how = in.byte();
    float** outputs = (how & 1) ? inputs : separate;
    if (how & 2)
        record->process(record, inputs, outputs, frames);
    else
        record->processReplacing(record, inputs, outputs, frames);
    const auto same = [&](const float* a, const std::vector<float>& b) {
        return std::memcmp(a, b.data(), used * sizeof(float)) == 0;
    };
    if (!same(outputs[0], originalLeft) || !same(outputs[1], originalRight))
        fuzz::fail("output differs from input", frames);
    if (left[used] != 3.0f || right[used] != 3.0f || outLeft[used] != 5.0f ||
        outRight[used] != 5.0f)
        fuzz::fail("write past the block", frames);
    if (!(how & 1) && (!same(left.data(), originalLeft) || !same(right.data(), originalRight)))
        fuzz::fail("input changed", frames);
    fuzz::checkMeters(&effect);
    checkState(effect);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    auto effect = std::make_unique<MeterEffectProbe>();
    std::vector<const MeterKernel*> kernels;
    for (int k = 0; k < meterKernelCount(); ++k)
        if (meterKernelSupported(meterKernel(k))) kernels.push_back(&meterKernel(k));
    effect->useKernel(*kernels[in.below(static_cast<std::uint32_t>(kernels.size()))]);
    EffectRecord* record = effect->getRecord();
    // The largest blocks cost milliseconds each; a dozen steps make a run.
    for (int step = 0; step < 12 && !in.empty(); ++step) {
        switch (in.byte() % 4) {
        case 0:
            record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, sampleRate(in));
            break;
        case 1:
            record->dispatcher(record, effSetBlockSizeAndSampleRate, 0, in.awkwardInt(), nullptr,
                               sampleRate(in));
            break;
        default:
            block(record, *effect, in);
            break;
        }
    }
    return 0;
}
