// What one effect instance costs a host that scans or loads many: the time to make and close
// one, and the memory each live one holds. The first instance of the process also builds the
// shared logarithm tables, which every instance once built for itself: its time is the
// baseline the later ones are measured against, in the same run.
//
//   build/default/bench/instance_bench [instances]      # default 200

#include "host/opcodes.h"
#include "plugin/meter_effect_with_editor.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

IntPtr TROB_CALL quietHost(EffectRecord*, std::int32_t opcode, std::int32_t, IntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

EffectRecord* makeEffect() {
    return (new MeterEffectWithEditor(&quietHost))->getRecord();
}

void closeEffect(EffectRecord* record) {
    record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
}

// Bytes the heap has handed out, small blocks and mapped ones alike.
double heapBytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

double residentBytes() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

    Clock::time_point start = Clock::now();
    closeEffect(makeEffect());
    const double first = millisecondsSince(start);

    std::vector<double> makeAndClose;
    for (int i = 0; i < count; ++i) {
        start = Clock::now();
        closeEffect(makeEffect());
        makeAndClose.push_back(millisecondsSince(start));
    }

    const double heapBefore = heapBytes(), residentBefore = residentBytes();
    std::vector<EffectRecord*> live;
    live.reserve(static_cast<std::size_t>(count));
    start = Clock::now();
    for (int i = 0; i < count; ++i)
        live.push_back(makeEffect());
    const double making = millisecondsSince(start);
    const double heapPerInstance = (heapBytes() - heapBefore) / count;
    const double residentPerInstance = (residentBytes() - residentBefore) / count;
    start = Clock::now();
    for (EffectRecord* record : live)
        closeEffect(record);
    const double closing = millisecondsSince(start);

    const double later = median(makeAndClose);
    std::printf("first instance (builds the shared tables), make + close: %8.3f ms\n", first);
    std::printf("later instances, make + close (median of %d):          %8.3f ms  (%.4f x the "
                "first)\n",
                count, later, later / first);
    std::printf("%d live instances: made in %.2f ms, closed in %.2f ms\n", count, making, closing);
    std::printf("memory per live instance: heap %.1f kB, resident %.1f kB\n",
                heapPerInstance / 1024.0, residentPerInstance / 1024.0);
    return 0;
}
