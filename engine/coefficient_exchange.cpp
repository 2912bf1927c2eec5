#include "engine/coefficient_exchange.h"

void CoefficientExchange::start(const float (&bandCentre)[kBandCount], float pi, float rate) {
    slots[inUse].design(bandCentre, pi, rate);
    publishedRate = rate;
}

void CoefficientExchange::redesign(const float (&bandCentre)[kBandCount], float pi, float rate) {
    std::lock_guard lock(designerMutex);
    if (rate == publishedRate) return;
    slots[designing].design(bandCentre, pi, rate);
    const std::int32_t previous = middle.exchange(designing | kFresh, std::memory_order_acq_rel);
    designing = previous & kSlotMask;
    publishedRate = rate;
}
