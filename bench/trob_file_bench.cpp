// Throughput of `trob analyse` on a ten-minute stereo file, decoding included: writes the file
// once (44.1 kHz, 16-bit PCM WAV, music-like noise and tones made in code), then times the
// whole program on it with each metering kernel this CPU runs (TROB_KERNEL) and prints frames
// per second of audio analysed.
//
//   build/default/bench/trob_file_bench                 # file in the temporary folder
//   build/default/bench/trob_file_bench --file PATH     # write (or reuse) the file at PATH

#include "engine/meter_kernels.h"

#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr std::int64_t kFrames = 600LL * kRate;

bool writeFile(const std::string& path) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    std::vector<float> chunk(2 * 4096);
    std::uint32_t state = 12345u;
    double phase1 = 0.0, phase2 = 0.0;
    for (std::int64_t done = 0; done < kFrames;) {
        const auto frames = static_cast<std::int64_t>(std::min<std::int64_t>(4096, kFrames - done));
        for (std::int64_t i = 0; i < frames; ++i) {
            state = state * 1664525u + 1013904223u;
            const double noise = (state >> 8) * (2.0 / 16777216.0) - 1.0;
            // A slow sweep in each channel over the noise.
            const double t = static_cast<double>(done + i) / kRate;
            phase1 += 2.0 * M_PI * (200.0 + 150.0 * std::sin(0.05 * t)) / kRate;
            phase2 += 2.0 * M_PI * (3000.0 + 2000.0 * std::sin(0.03 * t)) / kRate;
            chunk[2 * i] = static_cast<float>(0.3 * noise + 0.4 * std::sin(phase1));
            chunk[2 * i + 1] = static_cast<float>(0.2 * noise + 0.4 * std::sin(phase2));
        }
        if (sf_writef_float(file, chunk.data(), frames) != frames) {
            sf_close(file);
            return false;
        }
        done += frames;
    }
    return sf_close(file) == 0;
}

bool fileIsComplete(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return false;
    sf_close(file);
    return info.frames == kFrames && info.channels == 2 && info.samplerate == kRate;
}

// Seconds of wall time for one run of trob on the file, or a negative value on failure.
double timeTrob(const std::string& path, const char* kernel) {
    std::string command;
    if (kernel) command = std::string("TROB_KERNEL=") + kernel + " ";
    command += "'" TROB_PATH "' analyse '" + path + "' > /dev/null";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return status == 0 ? seconds : -1.0;
}

} // namespace

int main(int argc, char** argv) {
    std::string path = (std::filesystem::temp_directory_path() / "trob_bench_10min.wav").string();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--file") == 0 && i + 1 < argc) {
            path = argv[++i];
        } else {
            std::fprintf(stderr, "usage: trob_file_bench [--file PATH]\n");
            return 2;
        }
    }
    if (!fileIsComplete(path)) {
        std::printf("writing %s (10 min, stereo, 44.1 kHz, 16-bit WAV) ...\n", path.c_str());
        if (!writeFile(path)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    std::printf("trob analyse %s: %lld frames\n", path.c_str(), static_cast<long long>(kFrames));
    std::printf("%-24s %10s %14s %12s\n", "kernel", "seconds", "frames/s", "x real time");
    for (int i = meterKernelCount(); i >= 0; --i) {
        const char* kernel = i == meterKernelCount() ? nullptr : meterKernel(i).name;
        if (kernel && !findMeterKernel(kernel)) {
            std::printf("%-24s (not run: this CPU lacks its instructions)\n", kernel);
            continue;
        }
        const double seconds = timeTrob(path, kernel);
        const std::string name =
            kernel ? kernel : std::string("chosen (") + chosenMeterKernel().name + ")";
        if (seconds < 0) {
            std::printf("%-24s failed\n", name.c_str());
            return 1;
        }
        std::printf("%-24s %10.2f %14.0f %12.0f\n", name.c_str(), seconds, kFrames / seconds,
                    600.0 / seconds);
    }
    return 0;
}
