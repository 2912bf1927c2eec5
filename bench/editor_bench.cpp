// One editor idle as the host's effEditIdle makes it: the frame's idle pass redrawing the
// thirty bars the last idle made dirty, then the 150 meter queries and the new bar values.
// The effect has run a second of the demo-like mix so that the bars have somewhere to be.

#include "bench/bench_mix.h"
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
    playBenchSecond(record);
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
