#include "engine/level_tables.h"

#include "engine/portable_math.h"

namespace {
// 1/32767: table index i stands for the amplitude i / 32767 of full scale.
constexpr float kTableStep = 3.0518509e-05f;
constexpr double kDbRange = 56.0;
constexpr double kInverseDbRange = 0.017857142857142856;
// Table entries this far below -56 dB read as no level at all.
constexpr std::int32_t kSilentEntries = 50;
} // namespace

LevelTables::LevelTables() {
    // The engine's own log10 (portable_math.h): the tables are the same to the bit on every
    // home.
    for (std::int32_t i = 1; i < kSize; ++i) {
        const double level = kDbRange + 20.0 * portable::log10(i * static_cast<double>(kTableStep));
        db[i] = static_cast<float>(level);
        norm[i] = static_cast<float>(level * kInverseDbRange);
    }
    for (std::int32_t i = 0; i < kSilentEntries; ++i)
        norm[i] = 0.0f;
    db[0] = 0.0f;
}

const LevelTables& levelTables() {
    static const LevelTables tables;
    return tables;
}
