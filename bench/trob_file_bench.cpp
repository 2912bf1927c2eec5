// Throughput of `trob analyse` on a ten-minute stereo file, decoding included: writes the file
// once (44.1 kHz, 16-bit PCM WAV, music-like noise and tones made in code), then times the
// whole program on it with each metering kernel this CPU runs (TROB_KERNEL), on one thread, two
// and all cores (--threads), and prints frames per second of audio analysed, the speed-up over
// one thread in the same run, and the CPU time the program took: CPU / wall is how many cores
// it kept busy. Each figure is the median of three runs (by wall time).
//
//   build/default/bench/trob_file_bench                 # file in the temporary folder
//   build/default/bench/trob_file_bench --file PATH     # write (or reuse) the file at PATH
//   build/default/bench/trob_file_bench --kernel avx2   # one kernel only ("chosen": the CPU's)
//   build/default/bench/trob_file_bench --runs 5        # the median of five

#include "engine/meter_kernels.h"

#include <sndfile.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
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

struct Timing {
    double wall = -1.0; // seconds; negative on failure
    double cpu = 0.0;   // user and system seconds
};

double childCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One run of trob on the file.
Timing timeTrob(const std::string& path, const char* kernel, unsigned threads) {
    std::string command;
    if (kernel) command = std::string("TROB_KERNEL=") + kernel + " ";
    command += "'" TROB_PATH "' analyse '" + path + "' --threads " + std::to_string(threads) +
               " > /dev/null";
    const double cpuBefore = childCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    Timing t;
    t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.cpu = childCpuSeconds() - cpuBefore;
    if (status != 0) t.wall = -1.0;
    return t;
}

// The run of median wall time of `runs`.
Timing medianRun(const std::string& path, const char* kernel, unsigned threads, int runs) {
    std::vector<Timing> timings;
    for (int i = 0; i < runs; ++i) {
        timings.push_back(timeTrob(path, kernel, threads));
        if (timings.back().wall < 0) return timings.back();
    }
    std::sort(timings.begin(), timings.end(),
              [](const Timing& a, const Timing& b) { return a.wall < b.wall; });
    return timings[timings.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    std::string path = (std::filesystem::temp_directory_path() / "trob_bench_10min.wav").string();
    const char* only = nullptr;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--file") == 0 && i + 1 < argc) {
            path = argv[++i];
        } else if (std::strcmp(argv[i], "--kernel") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc &&
                   std::atoi(argv[i + 1]) > 0) {
            runs = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr,
                         "usage: trob_file_bench [--file PATH] [--kernel NAME] [--runs N]\n");
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
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<unsigned> threadCounts = {1, 2};
    if (cores > 2) threadCounts.push_back(cores);
    std::printf("trob analyse %s: %lld frames, %u cores, median of %d runs\n", path.c_str(),
                static_cast<long long>(kFrames), cores, runs);
    std::printf("%-20s %8s %9s %12s %8s %9s %8s %9s\n", "kernel", "threads", "seconds", "frames/s",
                "x real", "x 1 thr", "CPU s", "CPU/wall");
    for (int i = meterKernelCount(); i >= 0; --i) {
        const char* kernel = i == meterKernelCount() ? nullptr : meterKernel(i).name;
        if (only && std::strcmp(only, kernel ? kernel : "chosen") != 0) continue;
        if (kernel && !findMeterKernel(kernel)) {
            std::printf("%-20s (not run: this CPU lacks its instructions)\n", kernel);
            continue;
        }
        const std::string name =
            kernel ? kernel : std::string("chosen (") + chosenMeterKernel().name + ")";
        double oneThread = 0.0;
        for (const unsigned threads : threadCounts) {
            const Timing t = medianRun(path, kernel, threads, runs);
            if (t.wall < 0) {
                std::printf("%-20s %8u failed\n", name.c_str(), threads);
                return 1;
            }
            if (threads == 1) oneThread = t.wall;
            const std::string threadText =
                std::to_string(threads) + (threads == cores ? " (all)" : "");
            std::printf("%-20s %8s %9.2f %12.0f %8.0f %9.2f %8.2f %9.2f\n", name.c_str(),
                        threadText.c_str(), t.wall, kFrames / t.wall, 600.0 / t.wall,
                        oneThread / t.wall, t.cpu, t.cpu / t.wall);
            std::fflush(stdout);
        }
    }
    return 0;
}
