#pragma once
// The two logarithm tables of the meter query: dB of full scale and the normalised level for
// every 15-bit amplitude. They depend on nothing but constants, so one pair serves every
// effect in the process.

#include <cstdint>

struct LevelTables {
    static constexpr std::int32_t kSize = 32768;

    LevelTables();

    float db[kSize];
    float norm[kSize];
};

// Built on first use, safely from any number of threads at once; afterwards only read. An
// effect takes them in its constructor, so the audio thread never meets the first use.
const LevelTables& levelTables();
