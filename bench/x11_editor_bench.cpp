// One editor idle on the X11 home, presenting included: the built plug-in loaded as a host
// loads it, its editor open in a window of the X server in DISPLAY, thirty bars redrawn and
// pushed to the server at every idle. The same idle on the headless home runs beside it in
// the same process as the baseline, so the difference is the X11 home's own cost. Wall time:
// the server's share of the work is not this process's CPU time.
//
//   bench/x11_idle.sh build/default     # on a virtual server, with and without MIT-SHM

#include "bench/editor_bench_common.h"
#include "host/opcodes.h"
#include "platform/headless/headless.h"
#include "plugin/meter_effect_with_editor.h"
#include "tools/plugin_host.h"

#include <benchmark/benchmark.h>

// Xlib names its key codes as the host interface names its key record.
#define KeyCode XKeyCode
#include <X11/Xlib.h>
#undef KeyCode
#undef None

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 225;

IntPtr TROB_CALL quietHost(EffectRecord*, std::int32_t opcode, std::int32_t, IntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

void x11Idle(benchmark::State& state) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        state.SkipWithError("no X display");
        return;
    }
    const Window parent =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, kWidth, kHeight, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    {
        PluginHost host;
        if (!host.load(TROB_PLUGIN_PATH)) {
            state.SkipWithError(host.error().c_str());
        } else {
            host.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
            host.dispatch(effMainsChanged, 0, 1);
            playBenchSecond(host.record());
            void* window = reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent));
            if (!host.dispatch(effEditOpen, 0, 0, window)) {
                state.SkipWithError("the editor did not open");
            } else {
                host.dispatch(effEditIdle);
                for (auto _ : state)
                    host.dispatch(effEditIdle);
                host.dispatch(effEditClose);
            }
        }
        host.unload();
    }
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
}
BENCHMARK(x11Idle)->Unit(benchmark::kMicrosecond)->UseRealTime();

void headlessIdle(benchmark::State& state) {
    headlessEditorIdle(state, &quietHost);
}
BENCHMARK(headlessIdle)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
