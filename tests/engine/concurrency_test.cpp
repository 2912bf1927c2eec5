// The audio thread processes while the editor's thread polls every meter and moves the
// parameters and the host's thread changes the sample rate: no data race (run under
// ThreadSanitizer), no value outside 0..1, and the last rate set is the one in use.

#include "engine/meter_effect.h"
#include "host/opcodes.h"
#include "test_signals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

namespace {

TEST(Concurrency, ProcessingPollingParametersAndRateChangesRunTogether) {
    auto effect = std::make_unique<MeterEffect>(nullptr);
    EffectRecord* record = effect->getRecord();
    const auto left = test_signals::noise(0.7, 256, 1);
    const auto right = test_signals::sine(1000, 0.5, 48000, 256);
    constexpr int kBlocks = 300;

    std::atomic<bool> audioDone{false};
    std::atomic<int> outOfRange{0};
    std::atomic<long> polls{0};

    std::thread audio([&] {
        std::vector<float> inL = left, inR = right, outL(256), outR(256);
        float* in[2] = {inL.data(), inR.data()};
        float* out[2] = {outL.data(), outR.data()};
        // On a busy machine the other threads may not have started within the blocks: the
        // audio goes on until the editor has polled a few times.
        for (int b = 0; b < kBlocks || polls.load() < 3; ++b)
            record->processReplacing(record, in, out, 256);
        audioDone.store(true);
    });

    std::thread editor([&] {
        // The editor's pace and order: per band the level, balance, spread, taper, highlight.
        float p = 0.0f;
        while (!audioDone.load()) {
            for (int i = 11; i <= 40; ++i)
                for (int index : {i + 30, i, i + 60, i + 90, i + 120}) {
                    const float v = effect->getMeterValue(index);
                    if (!(v >= 0.0f && v <= 1.0f)) outOfRange.fetch_add(1);
                }
            p = p > 1.0f ? 0.0f : p + 0.01f;
            for (int index = 11; index <= 14; ++index) {
                record->setParameter(record, index, p);
                (void)record->getParameter(record, index);
            }
            polls.fetch_add(1);
        }
    });

    std::thread host([&] {
        const float rates[] = {48000.0f, 96000.0f, 0.0f, 44100.0f, NAN, 192000.0f, 48000.0f};
        int i = 0;
        while (!audioDone.load()) {
            const float rate = rates[i++ % 7];
            if (i % 2)
                record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, rate);
            else
                record->dispatcher(record, effSetBlockSizeAndSampleRate, 0, 256, nullptr, rate);
            std::this_thread::yield();
        }
        record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, 88200.0f);
    });

    audio.join();
    editor.join();
    host.join();
    EXPECT_EQ(outOfRange.load(), 0);
    EXPECT_GT(polls.load(), 0);

    // Quiet again: the next block takes up the last rate set.
    std::vector<float> inL = left, inR = right, outL(256), outR(256);
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    record->processReplacing(record, in, out, 256);
    EXPECT_EQ(effect->currentSampleRate(), 88200.0f);
    for (int i = 11; i < 161; ++i) {
        const float v = effect->getMeterValue(i);
        EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << i;
    }
}

} // namespace
