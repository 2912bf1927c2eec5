#pragma once
// What the editor benches share: the second of audio they play before they idle, so that the
// bars have somewhere to be (a low tone in both channels, 4 kHz on the left and 1 kHz on the
// right), and one idle of the editor on the headless home.

#include "host/opcodes.h"
#include "platform/headless/headless.h"
#include "plugin/meter_effect_with_editor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

inline void playBenchSecond(EffectRecord* record) {
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
}

// Idles the open editor of the plug-in's own effect on the headless home, once per iteration.
inline void headlessEditorIdle(benchmark::State& state, HostCallback host) {
    platform::headless::reset();
    platform::headless::setTickCount(10000);
    auto window =
        platform::headless::createHostWindow("BenchHost", platform::kWsChild, {0, 0, 300, 225});
    auto* effect = new MeterEffectWithEditor(host);
    EffectRecord* record = effect->getRecord();
    playBenchSecond(record);
    record->dispatcher(record, effEditOpen, 0, 0, window, 0.0f);
    platform::headless::dispatchAll();
    record->dispatcher(record, effEditIdle, 0, 0, nullptr, 0.0f);
    for (auto _ : state)
        record->dispatcher(record, effEditIdle, 0, 0, nullptr, 0.0f);
    record->dispatcher(record, effEditClose, 0, 0, nullptr, 0.0f);
    record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
    platform::headless::reset();
}
