// One editor idle as the host's effEditIdle makes it: the frame's idle pass redrawing the
// thirty bars the last idle made dirty, then the 150 meter queries and the new bar values.
// The effect has run a second of the demo-like mix so that the bars have somewhere to be.

#include "bench/editor_bench_common.h"
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
    headlessEditorIdle(state, &quietHost);
}
BENCHMARK(editorIdle)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
