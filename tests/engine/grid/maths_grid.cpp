// The maths the meters depend on, evaluated on fixed grids: the arguments the engine and the
// demo signal actually use, and dense general ones. One build writes its results to a file
// (`maths_grid write FILE`), another reads that file and counts, grid by grid, the values whose
// bits differ (`maths_grid compare FILE`). Built for Linux and for both Windows word sizes, it
// shows whether a home's maths routines agree with another's to the last bit.
//
// Every argument is made with + - * / only, from integers, so every build forms the same ones.
// With TROB_GRID_PORTABLE the functions are the engine's own (engine/portable_math.h);
// otherwise they are the platform's.

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef TROB_GRID_PORTABLE
#include "engine/portable_math.h"
namespace fn {
inline double tan(double x) {
    return portable::tan(x);
}
inline double cos(double x) {
    return portable::cos(x);
}
inline double sin(double x) {
    return portable::sin(x);
}
inline double log10(double x) {
    return portable::log10(x);
}
inline double pow(double x, double y) {
    return portable::pow(x, y);
}
} // namespace fn
#else
namespace fn {
inline double tan(double x) {
    return std::tan(x);
}
inline double cos(double x) {
    return std::cos(x);
}
inline double sin(double x) {
    return std::sin(x);
}
inline double log10(double x) {
    return std::log10(x);
}
inline double pow(double x, double y) {
    return std::pow(x, y);
}
} // namespace fn
#endif

namespace {

// 1 for the full grids; `--quick` thins them (for CI under Wine).
int thinning = 1;

struct Grid {
    std::string name;
    std::vector<std::uint64_t> bits;
    // Kept beside each value for the report of a difference.
    std::vector<std::string> arguments;
    bool keepArguments = true;

    void add(double value, const char* format, double a, double b = 0.0) {
        std::uint64_t u;
        std::memcpy(&u, &value, sizeof u);
        bits.push_back(u);
        if (keepArguments) {
            char text[96];
            std::snprintf(text, sizeof text, format, a, b);
            arguments.emplace_back(text);
        }
    }
    void addFloat(float value, const char* format, double a, double b = 0.0) {
        std::uint32_t u;
        std::memcpy(&u, &value, sizeof u);
        std::uint64_t wide = u;
        double as;
        std::memcpy(&as, &wide, sizeof as);
        add(as, format, a, b);
    }
};

// A small deterministic generator: the same numbers on every build.
struct Lcg {
    std::uint64_t state;
    std::uint64_t next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return state >> 11; // 53 bits
    }
    // Uniform in [0, 1) with 53 bits.
    double unit() { return static_cast<double>(next()) / 9007199254740992.0; }
};

constexpr float kPi = 3.1415927f;
constexpr float kBandCentres[30] = {25,   31.5, 40,   50,   63,   80,   100,   125,   160,   200,
                                    250,  315,  400,  500,  630,  800,  1000,  1250,  1600,  2000,
                                    2500, 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000};
constexpr float kSectionAngleFactor[3] = {2.0f, 1.782f, 2.244f};
constexpr float kHalfInverseQ = 0.11547344f;

// The rates the bank is designed for: the common ones, then a dense sweep.
std::vector<double> designRates() {
    std::vector<double> rates = {1000,  8000,  11025, 16000,  22050,  32000,  44100,
                                 48000, 88200, 96000, 176400, 192000, 352800, 384000};
    for (int r = 1001; r <= 400000; r += 37 * thinning)
        rates.push_back(r);
    return rates;
}

void bankGrids(std::vector<Grid>& grids) {
    Grid tanGrid{
        "tan (filter bank, " + std::to_string(designRates().size()) + " rates)", {}, {}, false};
    Grid cosGrid{"cos (filter bank)", {}, {}, false};
    Grid coefficients{"filter bank coefficients (float alpha, beta, gamma)", {}, {}, false};
    for (const double fs : designRates()) {
        for (int k = 0; k < 30; ++k) {
            const double f = kBandCentres[k];
            for (int s = 0; s < 3; ++s) {
                const double theta =
                    f * static_cast<double>(kPi) * static_cast<double>(kSectionAngleFactor[s]) / fs;
                const double t = fn::tan(theta * static_cast<double>(kHalfInverseQ));
                const double c = fn::cos(theta);
                tanGrid.add(t, "tan(%.17g)", theta * static_cast<double>(kHalfInverseQ));
                cosGrid.add(c, "cos(%.17g)", theta);
                const double b = 0.5 * (1.0 - t) / (1.0 + t);
                const double g = (0.5 + b) * c;
                const double a = (0.5 - static_cast<double>(static_cast<float>(b))) * 0.5;
                coefficients.addFloat(static_cast<float>(a), "alpha at %g Hz, section %g", fs, s);
                coefficients.addFloat(static_cast<float>(b), "beta at %g Hz, section %g", fs, s);
                coefficients.addFloat(static_cast<float>(g), "gamma at %g Hz, section %g", fs, s);
            }
        }
    }
    grids.push_back(std::move(tanGrid));
    grids.push_back(std::move(cosGrid));
    grids.push_back(std::move(coefficients));
}

constexpr float kTableStep = 3.0518509e-05f;

std::vector<float> normTable() {
    std::vector<float> table(32768, 0.0f);
    for (int i = 1; i < 32768; ++i)
        table[i] = static_cast<float>(
            (56.0 + 20.0 * fn::log10(i * static_cast<double>(kTableStep))) * 0.017857142857142856);
    for (int i = 0; i < 50; ++i)
        table[i] = 0.0f;
    return table;
}

void readoutGrids(std::vector<Grid>& grids) {
    Grid logGrid{"log10 (level tables, 32767 arguments)", {}, {}, true};
    Grid tables{"level tables (float dB and normalised)", {}, {}, true};
    for (int i = 1; i < 32768; ++i) {
        const double x = i * static_cast<double>(kTableStep);
        const double l = fn::log10(x);
        logGrid.add(l, "log10(%.17g)", x);
        tables.addFloat(static_cast<float>(56.0 + 20.0 * l), "dB table entry %g", i);
        tables.addFloat(static_cast<float>((56.0 + 20.0 * l) * 0.017857142857142856),
                        "normalised table entry %g", i);
    }
    grids.push_back(std::move(logGrid));
    grids.push_back(std::move(tables));

    // The curve exponents over 65 parameter values from 0 to 1.
    const std::vector<float> table = normTable();
    const int curves = 64 / thinning;
    Grid powGrid{"pow (level and highlight curves, every table value x 2 x " +
                     std::to_string(curves + 1) + " curves)",
                 {},
                 {},
                 false};
    Grid meter{"meter values (float, after the clamp)", {}, {}, false};
    for (int c = 0; c <= curves; ++c) {
        const float curve = static_cast<float>(c) / static_cast<float>(curves);
        const double exponents[2] = {1.0 / (2.0 * static_cast<double>(curve) + 0.5),
                                     1.0 / (2.0 * static_cast<double>(curve))};
        for (const double e : exponents) {
            if (!std::isfinite(e)) continue;
            for (int q = 50; q < 32768; ++q) {
                const double p = fn::pow(static_cast<double>(table[q]), e);
                powGrid.add(p, "pow(%.17g, %.17g)", table[q], e);
                const float shown = !(p >= 0.0) ? 0.0f : p > 1.0 ? 1.0f : static_cast<float>(p);
                meter.addFloat(shown, "%g %g", table[q], e);
            }
        }
    }
    grids.push_back(std::move(powGrid));
    grids.push_back(std::move(meter));
}

// The demo signal's seven sines at 44.1 and 48 kHz over its ten seconds.
void demoGrids(std::vector<Grid>& grids) {
    constexpr double kFrequencies[7] = {50, 80, 250, 1000, 4000, 8000, 12500};
    for (const double rate : {44100.0, 48000.0}) {
        Grid sinGrid{rate == 44100.0 ? "sin (demo signal, 44.1 kHz)" : "sin (demo signal, 48 kHz)",
                     {},
                     {},
                     false};
        const double w = 2.0 * 3.141592653589793 / rate;
        Grid samples{rate == 44100.0 ? "demo signal samples (float), 44.1 kHz"
                                     : "demo signal samples (float), 48 kHz",
                     {},
                     {},
                     false};
        const int frames = static_cast<int>(rate * 10.0);
        for (int i = 0; i < frames; i += thinning) {
            const double t = i;
            double s[7];
            for (int n = 0; n < 7; ++n) {
                s[n] = fn::sin(w * kFrequencies[n] * t);
                sinGrid.add(s[n], "sin(%.17g)", w * kFrequencies[n] * t);
            }
            // As tools/demo_signal.cpp mixes them.
            const double fade = std::min(1.0, t / (0.25 * rate));
            const double low = 0.1 * s[0] + 0.08 * s[1];
            const double loud = 0.8 * s[2];
            const double rightTone = 0.2 * s[3];
            const double leaning = 0.2 * s[4];
            const double highs = 0.08 * s[5] + 0.08 * s[6];
            samples.addFloat(static_cast<float>(fade * (low + loud + leaning + highs)), "", 0);
            samples.addFloat(
                static_cast<float>(fade * (low + loud + rightTone + 0.5 * leaning - highs)), "", 0);
        }
        grids.push_back(std::move(sinGrid));
        grids.push_back(std::move(samples));
    }
}

void generalGrids(std::vector<Grid>& grids) {
    const int kCount = (1 << 20) / (thinning * thinning);
    Lcg random{12345};
    Grid tanGrid{"tan, general: [-20, 20] uniform", {}, {}, false};
    Grid cosGrid{"cos, general: [-20, 20] uniform", {}, {}, false};
    Grid sinGrid{"sin, general: [-20, 20] uniform", {}, {}, false};
    Grid bigSin{"sin and cos, general: [-1e6, 1e6] uniform", {}, {}, false};
    Grid logGrid{"log10, general: 2^-1000 .. 2^1000 log-uniform", {}, {}, false};
    Grid logNear{"log10, general: [0.5, 2] uniform", {}, {}, false};
    Grid powGrid{"pow, general: x in (0, 2), y in [-40, 40]", {}, {}, false};
    Grid powUnit{"pow, general: x in (0, 1], y in [0.4, 2]", {}, {}, false};
    for (int i = 0; i < kCount; ++i) {
        const double x = (random.unit() * 2.0 - 1.0) * 20.0;
        tanGrid.add(fn::tan(x), "tan(%.17g)", x);
        cosGrid.add(fn::cos(x), "cos(%.17g)", x);
        sinGrid.add(fn::sin(x), "sin(%.17g)", x);
        const double big = (random.unit() * 2.0 - 1.0) * 1e6;
        bigSin.add(fn::sin(big), "sin(%.17g)", big);
        bigSin.add(fn::cos(big), "cos(%.17g)", big);
        // 2^e * m with e in -1000..1000 and m in [1, 2).
        const int e = static_cast<int>(random.next() % 2001) - 1000;
        double scale = 1.0;
        for (int n = 0; n < (e < 0 ? -e : e); ++n)
            scale = e < 0 ? scale * 0.5 : scale * 2.0;
        const double wide = (1.0 + random.unit()) * scale;
        logGrid.add(fn::log10(wide), "log10(%.17g)", wide);
        const double near = 0.5 + random.unit() * 1.5;
        logNear.add(fn::log10(near), "log10(%.17g)", near);
        const double px = random.unit() * 2.0;
        const double py = (random.unit() * 2.0 - 1.0) * 40.0;
        powGrid.add(fn::pow(px, py), "pow(%.17g, %.17g)", px, py);
        const double ux = 1.0 - random.unit();
        const double uy = 0.4 + random.unit() * 1.6;
        powUnit.add(fn::pow(ux, uy), "pow(%.17g, %.17g)", ux, uy);
    }
    grids.push_back(std::move(tanGrid));
    grids.push_back(std::move(cosGrid));
    grids.push_back(std::move(sinGrid));
    grids.push_back(std::move(bigSin));
    grids.push_back(std::move(logGrid));
    grids.push_back(std::move(logNear));
    grids.push_back(std::move(powGrid));
    grids.push_back(std::move(powUnit));
}

std::vector<Grid> allGrids() {
    std::vector<Grid> grids;
    bankGrids(grids);
    readoutGrids(grids);
    demoGrids(grids);
    generalGrids(grids);
    return grids;
}

int write(const char* path) {
    FILE* file = std::fopen(path, "wb");
    if (!file) {
        std::fprintf(stderr, "maths_grid: cannot write %s\n", path);
        return 1;
    }
    for (const Grid& grid : allGrids()) {
        const std::uint64_t count = grid.bits.size();
        std::fwrite(&count, sizeof count, 1, file);
        std::fwrite(grid.bits.data(), sizeof(std::uint64_t), grid.bits.size(), file);
    }
    if (std::fclose(file) != 0) {
        std::fprintf(stderr, "maths_grid: cannot write %s\n", path);
        return 1;
    }
    return 0;
}

double asDouble(std::uint64_t u) {
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

int compare(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::fprintf(stderr, "maths_grid: cannot read %s\n", path);
        return 1;
    }
    std::uint64_t total = 0, differing = 0;
    for (const Grid& grid : allGrids()) {
        std::uint64_t count = 0;
        std::vector<std::uint64_t> theirs;
        if (std::fread(&count, sizeof count, 1, file) == 1 && count == grid.bits.size()) {
            theirs.resize(count);
            if (std::fread(theirs.data(), sizeof(std::uint64_t), count, file) != count)
                theirs.clear();
        }
        if (theirs.size() != grid.bits.size()) {
            std::fprintf(stderr, "maths_grid: %s does not hold the grid \"%s\"\n", path,
                         grid.name.c_str());
            std::fclose(file);
            return 1;
        }
        std::uint64_t differ = 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (theirs[i] == grid.bits[i]) continue;
            if (differ < 3 && grid.keepArguments)
                std::printf("    %s: here %.17g, there %.17g\n", grid.arguments[i].c_str(),
                            asDouble(grid.bits[i]), asDouble(theirs[i]));
            else if (differ < 3)
                std::printf("    value %zu: here %.17g, there %.17g\n", i, asDouble(grid.bits[i]),
                            asDouble(theirs[i]));
            ++differ;
        }
        std::printf("%-72s %9" PRIu64 " values, %7" PRIu64 " differ\n", grid.name.c_str(), count,
                    differ);
        total += count;
        differing += differ;
    }
    std::fclose(file);
    std::printf("all grids: %" PRIu64 " values, %" PRIu64 " differ\n", total, differing);
    return differing == 0 ? 0 : 3;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[3], "--quick") == 0) {
        thinning = 4;
        --argc;
    }
    if (argc == 3 && std::strcmp(argv[1], "write") == 0) return write(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "compare") == 0) return compare(argv[2]);
    std::fprintf(stderr, "usage: maths_grid write|compare FILE [--quick]\n");
    return 2;
}
