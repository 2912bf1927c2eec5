// Which metering kernels this binary has and which one this CPU runs.

#include "engine/meter_kernels.h"

#include <cstdlib>
#include <cstring>

namespace {

const MeterKernel kKernels[] = {
    {"scalar", runMeterKernelScalar},
#ifdef TROB_X86_KERNELS
    {"sse2", runMeterKernelSse2},
    {"avx2", runMeterKernelAvx2},
    {"avx512", runMeterKernelAvx512},
#endif
};
constexpr int kKernelCount = static_cast<int>(sizeof kKernels / sizeof kKernels[0]);

#ifdef TROB_X86_KERNELS
// The compiler's feature test also checks that the operating system saves the wider
// registers (XGETBV), so a kernel it allows cannot fault on them.
bool cpuHas(const MeterKernel& kernel) {
    __builtin_cpu_init();
    if (kernel.run == runMeterKernelSse2) return __builtin_cpu_supports("sse2");
    if (kernel.run == runMeterKernelAvx2)
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    if (kernel.run == runMeterKernelAvx512) return __builtin_cpu_supports("avx512f");
    return true;
}
#else
bool cpuHas(const MeterKernel&) {
    return true;
}
#endif

} // namespace

int meterKernelCount() {
    return kKernelCount;
}

const MeterKernel& meterKernel(int index) {
    return kKernels[index < 0 ? 0 : (index >= kKernelCount ? kKernelCount - 1 : index)];
}

bool meterKernelSupported(const MeterKernel& kernel) {
    return cpuHas(kernel);
}

const MeterKernel* findMeterKernel(const char* name) {
    if (!name) return nullptr;
    for (const MeterKernel& kernel : kKernels)
        if (std::strcmp(kernel.name, name) == 0) return cpuHas(kernel) ? &kernel : nullptr;
    return nullptr;
}

const MeterKernel& pickMeterKernel(const char* requested) {
    if (const MeterKernel* kernel = findMeterKernel(requested)) return *kernel;
    for (int i = kKernelCount - 1; i > 0; --i)
        if (cpuHas(kKernels[i])) return kKernels[i];
    return kKernels[0];
}

const MeterKernel& chosenMeterKernel() {
    static const MeterKernel& chosen = pickMeterKernel(std::getenv("TROB_KERNEL"));
    return chosen;
}
