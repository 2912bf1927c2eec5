// Nanoseconds per stereo frame of processReplacing at three block sizes, the plain reference
// loop on the same audio, and one editor poll of all 150 meter values.
//
//   build/default/bench/engine_bench
//
// ns_per_frame is the figure to compare; the engine and the reference must stay bit-equal.

#include "engine/meter_effect.h"
#include "reference_meter.h"
#include "test_signals.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

const test_signals::Stereo& programme() {
    static const test_signals::Stereo s = {test_signals::noise(0.5, 44100, 1),
                                           test_signals::noise(0.5, 44100, 2)};
    return s;
}

void setPerFrame(benchmark::State& state, std::int64_t frames) {
    state.SetItemsProcessed(state.iterations() * frames);
    state.counters["ns_per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations() * frames) / 1e9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void engineProcessReplacing(benchmark::State& state) {
    const auto block = static_cast<std::int32_t>(state.range(0));
    auto effect = std::make_unique<MeterEffect>(nullptr);
    const auto& s = programme();
    std::vector<float> outL(block), outR(block);
    std::size_t at = 0;
    for (auto _ : state) {
        if (at + block > s.left.size()) at = 0;
        float* in[2] = {const_cast<float*>(s.left.data() + at),
                        const_cast<float*>(s.right.data() + at)};
        float* out[2] = {outL.data(), outR.data()};
        effect->processReplacing(in, out, block);
        benchmark::DoNotOptimize(outL.data());
        at += block;
    }
    setPerFrame(state, block);
}
BENCHMARK(engineProcessReplacing)->Arg(64)->Arg(512)->Arg(4096);

void scalarReference(benchmark::State& state) {
    const auto block = static_cast<std::size_t>(state.range(0));
    auto reference = std::make_unique<ReferenceMeter>();
    const auto& s = programme();
    std::size_t at = 0;
    for (auto _ : state) {
        if (at + block > s.left.size()) at = 0;
        for (std::size_t n = at; n < at + block; ++n)
            reference->step(s.left[n], s.right[n]);
        benchmark::DoNotOptimize(reference->levelAvg[0][0]);
        at += block;
    }
    setPerFrame(state, static_cast<std::int64_t>(block));
}
BENCHMARK(scalarReference)->Arg(64)->Arg(512)->Arg(4096);

void editorPoll(benchmark::State& state) {
    auto effect = std::make_unique<MeterEffect>(nullptr);
    effect->setParameter(MeterEffect::kHighlightCurve, 0.5f);
    const auto& s = programme();
    std::vector<float> outL(s.left.size()), outR(s.left.size());
    float* in[2] = {const_cast<float*>(s.left.data()), const_cast<float*>(s.right.data())};
    float* out[2] = {outL.data(), outR.data()};
    effect->processReplacing(in, out, static_cast<std::int32_t>(s.left.size()));
    for (auto _ : state) {
        float sum = 0.0f;
        // The editor's order: per band the level, balance, spread, taper and highlight.
        for (int i = 11; i <= 40; ++i)
            for (int index : {i + 30, i, i + 60, i + 90, i + 120})
                sum += effect->getMeterValue(index);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(editorPoll);

} // namespace

BENCHMARK_MAIN();
