// What the strictest hosts and plug-in validators do to a plug-in, done to the built
// TROBEdit.so through the host library: a thousand instances made and closed, every common
// sample rate with block sizes from 1 to 8192 changed between blocks, parameters set to every
// boundary and beyond with their texts read after each. Throughout, the output is the input
// bit for bit and every meter reads a number from 0 to 1; the asan build adds LeakSanitizer.

#include "host/meter_interface.h"
#include "host/effect_base.h"
#include "host/opcodes.h"
#include "test_signals.h"
#include "tools/plugin_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Counts the meters outside 0..1 (NaN included; the taper mark of a band the rate cannot
// carry aside) of the host's instance.
int badMeters(PluginHost& host) {
    auto* effect = static_cast<EffectBase*>(host.record()->object);
    int bad = 0;
    for (int index = 0; index < 170; ++index) {
        const float v = effect->getMeterValue(index);
        if (!isMeterValueInRange(index, v)) ++bad;
    }
    return bad;
}

// One block of `frames` from the signal at `start`, in place or into separate buffers;
// answers whether the output is the input bit for bit and nothing past it was written.
bool blockPassesThrough(PluginHost& host, const std::vector<float>& left,
                        const std::vector<float>& right, std::size_t start, int frames,
                        bool inPlace) {
    std::vector<float> inL(left.begin() + start, left.begin() + start + frames);
    std::vector<float> inR(right.begin() + start, right.begin() + start + frames);
    inL.push_back(9.0f);
    inR.push_back(9.0f);
    std::vector<float> outL(frames + 1, 7.0f), outR(frames + 1, 7.0f);
    float* in[2] = {inL.data(), inR.data()};
    float* separate[2] = {outL.data(), outR.data()};
    float** out = inPlace ? in : separate;
    host.processReplacing(in, out, frames);
    const std::size_t bytes = frames * sizeof(float);
    return std::memcmp(out[0], left.data() + start, bytes) == 0 &&
           std::memcmp(out[1], right.data() + start, bytes) == 0 &&
           out[0][frames] == (inPlace ? 9.0f : 7.0f) && out[1][frames] == (inPlace ? 9.0f : 7.0f);
}

TEST(HostBattery, AThousandInstancesMadeUsedAndClosed) {
    // A second host keeps the library loaded, as a host with the plug-in in another track
    // does; the thousand then are `main` and effClose, with their use in between.
    PluginHost keeper;
    ASSERT_TRUE(keeper.load(TROB_PLUGIN_PATH)) << keeper.error();
    const auto left = test_signals::noise(0.8, 64, 3), right = test_signals::noise(0.8, 64, 4);
    int survived = 0;
    for (int cycle = 0; cycle < 1000; ++cycle) {
        PluginHost host;
        ASSERT_TRUE(host.load(TROB_PLUGIN_PATH)) << host.error() << " at cycle " << cycle;
        host.dispatch(effOpen);
        host.dispatch(effSetSampleRate, 0, 0, nullptr, cycle % 2 ? 48000.0f : 44100.0f);
        host.dispatch(effSetBlockSize, 0, 64);
        host.dispatch(effMainsChanged, 0, 1);
        // The editor opcodes as a host sends them; the answers depend on the editor.
        void* rect = nullptr;
        if (host.dispatch(effEditGetRect, 0, 0, &rect) != 0) {
            ASSERT_NE(rect, nullptr);
        }
        host.dispatch(effEditIdle);
        ASSERT_TRUE(blockPassesThrough(host, left, right, 0, 64, cycle % 2));
        ASSERT_EQ(badMeters(host), 0) << "cycle " << cycle;
        host.dispatch(effMainsChanged, 0, 0);
        ASSERT_EQ(host.close(), 1);
        ++survived;
    }
    EXPECT_EQ(survived, 1000);
    // And the whole library loaded and unloaded, with nothing else holding it.
    keeper.unload();
    for (int cycle = 0; cycle < 20; ++cycle) {
        PluginHost host;
        ASSERT_TRUE(host.load(TROB_PLUGIN_PATH)) << host.error();
        ASSERT_TRUE(blockPassesThrough(host, left, right, 0, 64, false));
        host.unload();
    }
}

TEST(HostBattery, EverySampleRateAndBlockSizeChangedBetweenBlocks) {
    PluginHost host;
    ASSERT_TRUE(host.load(TROB_PLUGIN_PATH)) << host.error();
    const float rates[] = {8000,  11025, 16000, 22050,  32000,  44100,  48000,
                           64000, 88200, 96000, 176400, 192000, 352800, 384000};
    const int sizes[] = {1,   2,   3,   7,    15,   16,   31,   64,   100,  128,  255, 256,
                         500, 511, 512, 1000, 1023, 1024, 2048, 4095, 4096, 8191, 8192};
    const auto left = test_signals::noise(0.9, 1 << 15, 5);
    auto right = test_signals::sine(997, 0.7, 48000, 1 << 15);
    right[100] = kNaN; // what a broken upstream plug-in hands on must pass through as it is
    right[101] = kInf;
    right[102] = std::numeric_limits<float>::denorm_min();
    std::mt19937 random(14);
    int blocks = 0;
    for (float rate : rates) {
        // The usual way: suspended, the rate and the largest block set, resumed.
        host.dispatch(effMainsChanged, 0, 0);
        host.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        host.dispatch(effSetBlockSize, 0, 8192);
        host.dispatch(effMainsChanged, 0, 1);
        for (int size : sizes) {
            const std::size_t start = random() % (left.size() - size);
            ASSERT_TRUE(blockPassesThrough(host, left, right, start, size, blocks++ % 2))
                << rate << " Hz, " << size << " frames";
            ASSERT_EQ(badMeters(host), 0) << rate << " Hz, " << size << " frames";
        }
    }
    // The careless way: rate and block size changed between blocks, without suspending.
    for (int i = 0; i < 200; ++i) {
        const float rate = rates[random() % std::size(rates)];
        const int size = 1 + static_cast<int>(random() % 8192);
        if (i % 3 == 0)
            host.dispatch(effSetBlockSizeAndSampleRate, 0, size, nullptr, rate);
        else
            host.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        const std::size_t start = random() % (left.size() - size);
        ASSERT_TRUE(blockPassesThrough(host, left, right, start, size, i % 2))
            << rate << " Hz, " << size;
        ASSERT_EQ(badMeters(host), 0) << rate << " Hz, " << size << " frames";
    }
    // Rates no host should send leave the measurement running on the last usable one.
    for (float rate : {0.0f, -48000.0f, kNaN, kInf, 1.0f, 2e7f}) {
        host.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        ASSERT_TRUE(blockPassesThrough(host, left, right, 0, 512, false)) << rate;
        ASSERT_EQ(badMeters(host), 0) << rate;
    }
}

TEST(HostBattery, ParametersAtEveryBoundaryAndBeyondWithTheirTexts) {
    PluginHost host;
    ASSERT_TRUE(host.load(TROB_PLUGIN_PATH)) << host.error();
    const auto left = test_signals::noise(0.5, 256, 6), right = test_signals::noise(0.5, 256, 7);
    const float values[] = {0.0f,
                            -0.0f,
                            1.0f,
                            0.5f,
                            1e-6f,
                            0.999999f,
                            -1.0f,
                            2.0f,
                            kNaN,
                            kInf,
                            -kInf,
                            std::numeric_limits<float>::denorm_min(),
                            std::numeric_limits<float>::max(),
                            -std::numeric_limits<float>::max()};
    const int indices[] = {-1,
                           0,
                           10,
                           11,
                           12,
                           13,
                           14,
                           15,
                           16,
                           std::numeric_limits<int>::max(),
                           std::numeric_limits<int>::min()};
    for (int index : indices)
        for (float value : values) {
            host.setParameter(index, value);
            const float stored = host.getParameter(index);
            if (index >= 11 && index <= 14 && value >= 0.0f && value <= 1.0f) {
                EXPECT_EQ(stored, value) << index;
            }
            for (int opcode : {effGetParamDisplay, effGetParamName, effGetParamLabel}) {
                // The smallest buffer hosts pass (8 characters and the terminator), holding
                // garbage and marked on both sides: the text ends inside it and nothing is
                // written beside it.
                char text[8 + 9 + 8];
                std::memset(text, 0x5A, sizeof text);
                host.dispatch(opcode, index, 0, text + 8);
                ASSERT_NE(std::memchr(text + 8, 0, 9), nullptr) << opcode << " " << index;
                for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 17, 18, 19, 20, 21, 22, 23, 24})
                    ASSERT_EQ(text[i], 0x5A) << opcode << " " << index;
            }
            ASSERT_TRUE(blockPassesThrough(host, left, right, 0, 256, false))
                << index << " " << value;
            ASSERT_EQ(badMeters(host), 0) << index << " " << value;
        }
}

} // namespace
