// One editor idle as the host's effEditIdle makes it: the frame's idle pass redrawing the
// thirty bars the last idle made dirty, then the 150 meter queries and the new bar values.
// The effect has run a second of the demo-like mix so that the bars have somewhere to be.

#include "host/opcodes.h"
#include "platform/headless/headless.h"
#include "plugin/meter_effect_with_editor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

IntPtr TROB_CALL quietHost(EffectRecord*, std::int32_t opcode, std::int32_t, IntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

void editorIdle(benchmark::State& state) {
    platform::headless::reset();
    platform::headless::setTickCount(10000);
    auto host =
        platform::headless::createHostWindow("BenchHost", platform::kWsChild, {0, 0, 300, 225});
    auto* effect = new MeterEffectWithEditor(&quietHost);
    EffectRecord* record = effect->getRecord();
    std::vector<float> left(44100), right(44100);
    for (std::size_t n = 0; n < left.size(); ++n) {
        const double t = static_cast<double>(n) / 44100.0;
        left[n] = static_cast<float>(0.3 * std::sin(2 * 3.14159265358979 * 100 * t) +
                                     0.2 * std::sin(2 * 3.14159265358979 * 4000 * t));
        right[n] = static_cast<float>(0.3 * std::sin(2 * 3.14159265358979 * 100 * t) +
                                      0.2 * std::sin(2 * 3.14159265358979 * 1000 * t));
    }
    std::vector<float> outL(left.size()), outR(left.size());
    float* in[2] = {left.data(), right.data()};
    float* out[2] = {outL.data(), outR.data()};
    record->processReplacing(record, in, out, static_cast<std::int32_t>(left.size()));
    record->dispatcher(record, effEditOpen, 0, 0, host, 0.0f);
    platform::headless::dispatchAll();
    record->dispatcher(record, effEditIdle, 0, 0, nullptr, 0.0f);
    for (auto _ : state)
        record->dispatcher(record, effEditIdle, 0, 0, nullptr, 0.0f);
    record->dispatcher(record, effEditClose, 0, 0, nullptr, 0.0f);
    record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
    platform::headless::reset();
}
BENCHMARK(editorIdle)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
