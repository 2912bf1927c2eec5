#include "engine/meter_effect.h"

#include "engine/parameter_texts.h"
#include "host/opcodes.h"

#include <cmath>
#include <cstring>

namespace {
constexpr std::int32_t kTrobId = 0x54524F42; // 'TROB'

constexpr float kBandCentres[kBandCount] = {
    25.0f,   31.5f,   40.0f,   50.0f,   63.0f,   80.0f,   100.0f,   125.0f,   160.0f,   200.0f,
    250.0f,  315.0f,  400.0f,  500.0f,  630.0f,  800.0f,  1000.0f,  1250.0f,  1600.0f,  2000.0f,
    2500.0f, 3150.0f, 4000.0f, 5000.0f, 6300.0f, 8000.0f, 10000.0f, 12500.0f, 16000.0f, 20000.0f};

constexpr float kPi = 3.1415927f;
} // namespace

static_assert(std::atomic<float>::is_always_lock_free, "meter values are shared without locks");
static_assert(sizeof(std::atomic<float>) == sizeof(float));

bool MeterEffect::isUsableSampleRate(float rate) {
    return std::isfinite(rate) && rate >= kLowestSampleRate && rate <= kHighestSampleRate;
}

MeterEffect::MeterEffect(HostCallback hostCallback)
    : EffectBaseX(hostCallback, 1, kParameterCount), levelCurve(0.5f), highlightCurve(0.0f),
      spreadGain(1.0f), edgeTaper(1.0f), lanes{}, kernel(&chosenMeterKernel()), signFlag{},
      signsDiffer{}, bandOutput{}, measuredInput{}, bandCentre{}, levelDbTable(levelTables().db),
      levelNormTable(levelTables().norm), pi(0.0f), designSampleRate(0.0f), lastSampleRate(0.0f),
      levelSmoothing(0.0f), antiPhaseSmoothing(0.0f), programName{} {
    for (int k = 0; k < kBandCount; ++k) {
        antiPhaseAverage[k].store(0.0f, std::memory_order_relaxed);
        levelAverage[kLeft][k].store(0.0f, std::memory_order_relaxed);
        levelAverage[kRight][k].store(0.0f, std::memory_order_relaxed);
    }
    designSampleRate.store(currentSampleRate(), std::memory_order_relaxed);

    pi = kPi;
    std::memcpy(bandCentre, kBandCentres, sizeof bandCentre);
    coefficients.start(bandCentre, pi, designSampleRate.load(std::memory_order_relaxed));

    setRecordInputCount(2);
    setRecordOutputCount(2);
    setRecordUniqueId(kTrobId);
    setFlagCanReplacing(true);
    std::strcpy(programName, "Ormel's VST-TROB");
    MeterEffect::resumeProcessing();
}

void MeterEffect::setParameter(std::int32_t index, float value) {
    switch (index) {
    case kSpreadGain:
        spreadGain.store(value, std::memory_order_relaxed);
        break;
    case kEdgeTaper:
        edgeTaper.store(value, std::memory_order_relaxed);
        break;
    case kLevelCurve:
        levelCurve.store(value, std::memory_order_relaxed);
        break;
    case kHighlightCurve:
        highlightCurve.store(value, std::memory_order_relaxed);
        break;
    default:
        break;
    }
}

float MeterEffect::getParameter(std::int32_t index) {
    switch (index) {
    case kSpreadGain:
        return spreadGain.load(std::memory_order_relaxed);
    case kEdgeTaper:
        return edgeTaper.load(std::memory_order_relaxed);
    case kLevelCurve:
        return levelCurve.load(std::memory_order_relaxed);
    case kHighlightCurve:
        return highlightCurve.load(std::memory_order_relaxed);
    default:
        return 0.0f;
    }
}

void MeterEffect::setSampleRate(float rate) {
    // A rate the measurement cannot use is not stored at all, so everything that reads the
    // base's rate goes on with the last usable one.
    if (!isUsableSampleRate(rate)) return;
    EffectBaseX::setSampleRate(rate);
    // Designing takes transcendental functions: it happens here, on the host's dispatcher
    // thread, and the audio thread only swaps the finished set in.
    coefficients.redesign(bandCentre, pi, rate);
}

void MeterEffect::setBlockSizeAndSampleRate(std::int32_t size, float rate) {
    setBlockSize(size);
    setSampleRate(rate);
}

void MeterEffect::setProgram(std::int32_t) {}

void MeterEffect::setProgramName(char* text) {
    if (!text) return;
    // Longer names are cut to what the buffer holds, terminator included.
    std::strncpy(programName, text, sizeof programName - 1);
    programName[sizeof programName - 1] = 0;
}

void MeterEffect::getProgramName(char* text) {
    if (text) std::memcpy(text, programName, std::strlen(programName) + 1);
}

void MeterEffect::getParamLabel(std::int32_t index, char* text) {
    if (text) writeParameterLabel(index, text);
}
void MeterEffect::getParamDisplay(std::int32_t index, char* text) {
    if (text) writeParameterDisplay(index, getParameter(index), text);
}
void MeterEffect::getParamName(std::int32_t index, char* text) {
    if (text) writeParameterName(index, text);
}
void MeterEffect::meterHook() {}
void MeterEffect::resumeProcessing() {}
bool MeterEffect::getProgramNameIndexed(std::int32_t, std::int32_t, char*) {
    return false;
}
std::int32_t MeterEffect::getPlugCategory() {
    return kPlugCategEffect;
}

bool MeterEffect::getEffectName(char* text) {
    std::strcpy(text, "TROB200VST");
    return true;
}

bool MeterEffect::getVendorString(char* text) {
    std::strcpy(text, "Vantrelo");
    return true;
}

bool MeterEffect::getProductString(char* text) {
    std::strcpy(text, "TROB200");
    return true;
}

std::int32_t MeterEffect::getVendorVersion() {
    return 1000;
}
