#pragma once
// The per-sample metering loop in several builds of one body: plain scalar code and vector
// code for SSE2, AVX2 with FMA and AVX-512. Each computes exactly the same bits; the fastest
// one the CPU runs is chosen once, at run time.

#include "engine/filter_bank_coefficients.h"

#include <cstdint>

// The filter and metering state of all 60 band filters, one per lane (see laneOf). Every
// value is a double holding exactly a float: the value the plain loop stores as a float.
struct MeterLanes {
    // How many samples have been measured (modulo 2^32): the ring position of the next one.
    std::uint32_t samples = 0;
    // The last measured inputs of each channel, in a ring of four by sample number: the centre
    // sections' input histories, the same for every band of a channel.
    double input[4][2] = {};
    // For each section, its last four outputs, in a ring of four by sample number (a section's
    // input history is the previous section's output history).
    alignas(64) double output[kSectionCount][4][kLaneCount] = {};
    alignas(64) double levelAccumulator[kLaneCount] = {};
    alignas(64) double levelAverage[kLaneCount] = {};
    // Per band: lane k of the left channel's half.
    alignas(64) double antiPhaseAccumulator[kLanesPerChannel] = {};
    alignas(64) double antiPhaseAverage[kLanesPerChannel] = {};

    // `back` samples before the next one: 1 for x[n-1] and y[n-1], 2 for x[n-2] and y[n-2].
    double inputBack(int back, int channel) const { return input[(samples - back) & 3u][channel]; }
    const double* outputBack(int back, int section) const {
        return output[section][(samples - back) & 3u];
    }
};

// Runs `frames` stereo samples (already made measurable) through the bank and the averages.
using MeterKernelFunction = void (*)(MeterLanes& state, const LaneCoefficients& coefficients,
                                     const float* left, const float* right, std::int32_t frames,
                                     double levelSmoothing, double antiPhaseSmoothing);

struct MeterKernel {
    const char* name; // "scalar", "sse2", "avx2", "avx512"
    MeterKernelFunction run;
};

// Every kernel built into this binary, slowest first.
int meterKernelCount();
const MeterKernel& meterKernel(int index);

// Whether this CPU (and its operating system) runs the kernel.
bool meterKernelSupported(const MeterKernel& kernel);

// The kernel of that name if this CPU runs it, else null.
const MeterKernel* findMeterKernel(const char* name);

// The kernel named by `requested` when this CPU runs it; otherwise (no name, an unknown one or
// one this CPU cannot run) the fastest kernel it runs.
const MeterKernel& pickMeterKernel(const char* requested);

// pickMeterKernel of the environment variable TROB_KERNEL, decided on the first call.
const MeterKernel& chosenMeterKernel();

// The kernels themselves; each is compiled for its own instruction set.
void runMeterKernelScalar(MeterLanes&, const LaneCoefficients&, const float*, const float*,
                          std::int32_t, double, double);
#if defined(__x86_64__) || defined(__i386__)
#define TROB_X86_KERNELS 1
void runMeterKernelSse2(MeterLanes&, const LaneCoefficients&, const float*, const float*,
                        std::int32_t, double, double);
void runMeterKernelAvx2(MeterLanes&, const LaneCoefficients&, const float*, const float*,
                        std::int32_t, double, double);
void runMeterKernelAvx512(MeterLanes&, const LaneCoefficients&, const float*, const float*,
                          std::int32_t, double, double);
#endif
