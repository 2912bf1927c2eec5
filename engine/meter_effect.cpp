#include "engine/meter_effect.h"

#include "host/opcodes.h"

#include <cstring>

namespace {
constexpr std::int32_t kTrobId = 0x54524F42; // 'TROB'
}

MeterEffect::MeterEffect(HostCallback hostCallback)
    : EffectBaseX(hostCallback, 1, kParameterCount), levelCurve(0.5f), highlightCurve(0.0f),
      spreadGain(1.0f), edgeTaper(1.0f), programName{} {
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

void MeterEffect::process(float** inputs, float** outputs, std::int32_t sampleFrames) {
    for (std::int32_t n = 0; n < sampleFrames; ++n) {
        outputs[0][n] = inputs[0][n];
        outputs[1][n] = inputs[1][n];
    }
}

void MeterEffect::processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) {
    for (std::int32_t n = 0; n < sampleFrames; ++n) {
        const float left = inputs[0][n];
        const float right = inputs[1][n];
        outputs[0][n] = left;
        outputs[1][n] = right;
    }
}

void MeterEffect::setProgram(std::int32_t) {}

void MeterEffect::setProgramName(char* text) {
    if (!text) return;
    // Longer names are cut to what the buffer holds, terminator included.
    std::strncpy(programName, text, sizeof programName - 1);
    programName[sizeof programName - 1] = 0;
}

void MeterEffect::getProgramName(char* text) {
    if (text) std::strcpy(text, programName);
}

void MeterEffect::getParamLabel(std::int32_t, char*) {}
void MeterEffect::getParamDisplay(std::int32_t, char*) {}
void MeterEffect::getParamName(std::int32_t, char*) {}
float MeterEffect::getMeterValue(std::int32_t) {
    return 0.0f;
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
