// Nanoseconds per stereo frame of processReplacing with every metering kernel this CPU runs,
// at three block sizes, beside the plain reference loop on the same audio in the same run,
// and one editor poll of all 150 meter values; then each kernel on silent, denormal and
// full-scale input against noise at blocks of 512. Ends with a table of ns per frame and the
// ratio to the reference, and one of each input's cost against noise.
//
//   build/default/bench/engine_bench
//   build/default/bench/engine_bench --benchmark_filter=/512     # blocks of 512 only
//
// The kernels and the reference are bit-equal (tests/engine/reference_match_test.cpp).

#include "engine/meter_effect.h"
#include "reference_meter.h"
#include "test_signals.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t kBlocks[] = {64, 512, 4096};

const test_signals::Stereo& programme() {
    static const test_signals::Stereo s = {test_signals::noise(0.5, 44100, 1),
                                           test_signals::noise(0.5, 44100, 2)};
    return s;
}

void setPerFrame(benchmark::State& state, std::int64_t frames) {
    state.SetItemsProcessed(state.iterations() * frames);
    state.counters["ns_per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations() * frames) / 1e9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The effect `main` creates, running the kernel it is given.
class KernelEffect : public MeterEffect {
public:
    explicit KernelEffect(const MeterKernel& k) : MeterEffect(nullptr) { kernel = &k; }
};

void engineProcessReplacing(benchmark::State& state, const MeterKernel* kernel) {
    const auto block = static_cast<std::int32_t>(state.range(0));
    auto effect = std::make_unique<KernelEffect>(*kernel);
    const auto& s = programme();
    std::vector<float> outL(block), outR(block);
    std::size_t at = 0;
    for (auto _ : state) {
        if (at + block > s.left.size()) at = 0;
        float* in[2] = {const_cast<float*>(s.left.data() + at),
                        const_cast<float*>(s.right.data() + at)};
        float* out[2] = {outL.data(), outR.data()};
        effect->processReplacing(in, out, block);
        benchmark::DoNotOptimize(outL.data());
        at += block;
    }
    setPerFrame(state, block);
}

// What pathological input costs against ordinary noise: digital silence, samples that are
// all denormal, and full-scale samples of +-1.
enum class Input { Noise, Silent, Denormal, FullScale };
const char* const kInputNames[] = {"noise", "silent", "denormal", "full-scale"};
constexpr std::int64_t kInputBlock = 512;

const test_signals::Stereo& inputSignal(Input kind) {
    static const auto make = [](Input k) {
        test_signals::Stereo s = {test_signals::noise(0.5, 44100, 1),
                                  test_signals::noise(0.5, 44100, 2)};
        for (auto* channel : {&s.left, &s.right})
            for (float& x : *channel) {
                const float sign = x < 0.0f ? -1.0f : 1.0f;
                if (k == Input::Silent) x = 0.0f;
                // Denormals of every size, with the noise's signs.
                if (k == Input::Denormal)
                    x = sign * std::numeric_limits<float>::denorm_min() *
                        static_cast<float>(1 + (std::fabs(x) * 1e6f));
                if (k == Input::FullScale) x = sign;
            }
        return s;
    };
    static const test_signals::Stereo signals[] = {make(Input::Noise), make(Input::Silent),
                                                   make(Input::Denormal), make(Input::FullScale)};
    return signals[static_cast<int>(kind)];
}

void engineOnInput(benchmark::State& state, const MeterKernel* kernel, Input kind) {
    auto effect = std::make_unique<KernelEffect>(*kernel);
    const auto& s = inputSignal(kind);
    std::vector<float> outL(kInputBlock), outR(kInputBlock);
    std::size_t at = 0;
    // Settled first, so the filters' state is what the input makes it, not the start.
    for (std::size_t n = 0; n + kInputBlock <= s.left.size(); n += kInputBlock) {
        float* in[2] = {const_cast<float*>(s.left.data() + n),
                        const_cast<float*>(s.right.data() + n)};
        float* out[2] = {outL.data(), outR.data()};
        effect->processReplacing(in, out, kInputBlock);
    }
    for (auto _ : state) {
        if (at + kInputBlock > s.left.size()) at = 0;
        float* in[2] = {const_cast<float*>(s.left.data() + at),
                        const_cast<float*>(s.right.data() + at)};
        float* out[2] = {outL.data(), outR.data()};
        effect->processReplacing(in, out, kInputBlock);
        benchmark::DoNotOptimize(outL.data());
        at += kInputBlock;
    }
    setPerFrame(state, kInputBlock);
}

void scalarReference(benchmark::State& state) {
    const auto block = static_cast<std::size_t>(state.range(0));
    auto reference = std::make_unique<ReferenceMeter>();
    const auto& s = programme();
    std::size_t at = 0;
    for (auto _ : state) {
        if (at + block > s.left.size()) at = 0;
        for (std::size_t n = at; n < at + block; ++n)
            reference->step(s.left[n], s.right[n]);
        benchmark::DoNotOptimize(reference->levelAvg[0][0]);
        at += block;
    }
    setPerFrame(state, static_cast<std::int64_t>(block));
}

void editorPoll(benchmark::State& state) {
    auto effect = std::make_unique<MeterEffect>(nullptr);
    effect->setParameter(MeterEffect::kHighlightCurve, 0.5f);
    const auto& s = programme();
    std::vector<float> outL(s.left.size()), outR(s.left.size());
    float* in[2] = {const_cast<float*>(s.left.data()), const_cast<float*>(s.right.data())};
    float* out[2] = {outL.data(), outR.data()};
    effect->processReplacing(in, out, static_cast<std::int32_t>(s.left.size()));
    for (auto _ : state) {
        float sum = 0.0f;
        // The editor's order: per band the level, balance, spread, taper and highlight.
        for (int i = 11; i <= 40; ++i)
            for (int index : {i + 30, i, i + 60, i + 90, i + 120})
                sum += effect->getMeterValue(index);
        benchmark::DoNotOptimize(sum);
    }
}

// Prints as usual and keeps ns per frame of every run ("reference" or a kernel name, block
// size); with repetitions, the median.
class TableReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, std::map<std::int64_t, double>> nsPerFrame;
    // Kernel name -> input name -> ns per frame.
    std::map<std::string, std::map<std::string, double>> byInput;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median) continue;
            const auto counter = run.counters.find("ns_per_frame");
            if (counter == run.counters.end()) continue;
            // Names are "<what>/<block>", possibly followed by aggregate or option suffixes.
            const std::string name = run.run_name.function_name;
            if (name.rfind("input/", 0) == 0) {
                // "input/<kernel>/<input>"
                const std::size_t slash = name.find('/', 6);
                auto& slot = byInput[name.substr(6, slash - 6)];
                const std::string input = name.substr(slash + 1);
                if (median || slot.find(input) == slot.end()) slot[input] = counter->second.value;
                continue;
            }
            const std::string what = name.rfind("engine/", 0) == 0 ? name.substr(7) : "reference";
            const std::int64_t block = std::stoll(run.run_name.args);
            auto& slot = nsPerFrame[what];
            if (median || slot.find(block) == slot.end()) slot[block] = counter->second.value;
        }
    }
};

void printTable(const TableReporter& reporter) {
    const auto reference = reporter.nsPerFrame.find("reference");
    if (reference == reporter.nsPerFrame.end()) return;
    std::printf("\nns per stereo frame (ratio to the reference in this run); chosen kernel: %s\n",
                chosenMeterKernel().name);
    std::printf("%-10s", "");
    for (std::int64_t block : kBlocks)
        std::printf(" %20s", ("block " + std::to_string(block)).c_str());
    std::printf("\n");
    std::vector<std::string> rows = {"reference"};
    for (int i = 0; i < meterKernelCount(); ++i)
        rows.push_back(meterKernel(i).name);
    for (const std::string& row : rows) {
        const auto found = reporter.nsPerFrame.find(row);
        if (found == reporter.nsPerFrame.end()) {
            if (row != "reference" && !findMeterKernel(row.c_str()))
                std::printf("%-10s  (not run: this CPU lacks its instructions)\n", row.c_str());
            continue;
        }
        std::printf("%-10s", row.c_str());
        for (std::int64_t block : kBlocks) {
            const auto ns = found->second.find(block);
            const auto base = reference->second.find(block);
            if (ns == found->second.end() || base == reference->second.end()) {
                std::printf(" %20s", "-");
                continue;
            }
            char cell[32];
            std::snprintf(cell, sizeof cell, "%.1f (%.2fx)", ns->second, base->second / ns->second);
            std::printf(" %20s", cell);
        }
        std::printf("\n");
    }
}

void printInputTable(const TableReporter& reporter) {
    if (reporter.byInput.empty()) return;
    std::printf("\nns per stereo frame by input, blocks of %lld (ratio to noise)\n",
                static_cast<long long>(kInputBlock));
    std::printf("%-10s", "");
    for (const char* input : kInputNames)
        std::printf(" %16s", input);
    std::printf("\n");
    for (const auto& [kernel, inputs] : reporter.byInput) {
        const auto noise = inputs.find("noise");
        std::printf("%-10s", kernel.c_str());
        for (const char* input : kInputNames) {
            const auto ns = inputs.find(input);
            if (ns == inputs.end() || noise == inputs.end()) {
                std::printf(" %16s", "-");
                continue;
            }
            char cell[32];
            std::snprintf(cell, sizeof cell, "%.1f (%.2fx)", ns->second,
                          ns->second / noise->second);
            std::printf(" %16s", cell);
        }
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    // Interleaved by block size, so that the reference and the kernels of one block size run
    // close together in time on a shared machine.
    for (std::int64_t block : kBlocks) {
        benchmark::RegisterBenchmark("scalarReference", scalarReference)->Arg(block);
        for (int i = 0; i < meterKernelCount(); ++i) {
            const MeterKernel& kernel = meterKernel(i);
            if (!meterKernelSupported(kernel)) continue;
            benchmark::RegisterBenchmark(("engine/" + std::string(kernel.name)).c_str(),
                                         engineProcessReplacing, &kernel)
                ->Arg(block);
        }
    }
    benchmark::RegisterBenchmark("editorPoll", editorPoll);
    for (int i = 0; i < meterKernelCount(); ++i) {
        const MeterKernel& kernel = meterKernel(i);
        if (!meterKernelSupported(kernel)) continue;
        for (int k = 0; k < 4; ++k)
            benchmark::RegisterBenchmark(
                ("input/" + std::string(kernel.name) + "/" + kInputNames[k]).c_str(), engineOnInput,
                &kernel, static_cast<Input>(k));
    }

    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printTable(reporter);
    printInputTable(reporter);
    benchmark::Shutdown();
    return 0;
}
