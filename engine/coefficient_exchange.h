#pragma once
// Hands freshly designed coefficient sets from the thread that sets the sample rate to the
// audio thread without locks or allocation on the audio side.
//
// Three sets: the audio thread owns one (in use), the designer owns one (being written), and
// the third sits in between. Publishing swaps the designer's set into the middle; the audio
// thread, at the start of a block, swaps its set with the middle one when that is fresh. A
// second redesign before the audio thread looked simply replaces the unread set, so the
// audio thread always picks up the latest rate and never sees a half-written one.

#include "engine/filter_bank_coefficients.h"

#include <atomic>
#include <cstdint>
#include <mutex>

class CoefficientExchange {
public:
    CoefficientExchange() = default;

    CoefficientExchange(const CoefficientExchange&) = delete;
    CoefficientExchange& operator=(const CoefficientExchange&) = delete;

    // Designs the set in use; call once, before any block is processed.
    void start(const float (&bandCentre)[kBandCount], float pi, float rate);

    // Designer side, any thread but the audio thread: designs a set for `rate` and publishes
    // it, unless the last published set already has that rate. Concurrent designers are
    // serialised; the audio thread never waits for them.
    void redesign(const float (&bandCentre)[kBandCount], float pi, float rate);

    // Audio side: takes the latest published set if there is one. Returns the set in use.
    const FilterBankCoefficients& acquire() {
        if (middle.load(std::memory_order_relaxed) & kFresh) {
            const std::int32_t previous = middle.exchange(inUse, std::memory_order_acq_rel);
            inUse = previous & kSlotMask;
        }
        return slots[inUse];
    }

    // Audio side (or when no audio runs): the set in use.
    const FilterBankCoefficients& current() const { return slots[inUse]; }

private:
    static constexpr std::int32_t kFresh = 4;
    static constexpr std::int32_t kSlotMask = 3;

    FilterBankCoefficients slots[3];
    std::int32_t inUse = 0;              // audio thread only
    std::atomic<std::int32_t> middle{1}; // slot index, plus kFresh when not yet taken
    std::mutex designerMutex;            // never taken by the audio thread
    std::int32_t designing = 2;          // under designerMutex
    float publishedRate = 0.0f;          // under designerMutex
};
