#pragma once
// The plug-in's own effect: a stereo pass-through that measures thirty third-octave bands.

#include "host/effect_base_x.h"

#include <atomic>
#include <cstdint>

class MeterEffect : public EffectBaseX {
public:
    enum Parameter : std::int32_t {
        kSpreadGain = 11,
        kEdgeTaper = 12,
        kLevelCurve = 13,
        kHighlightCurve = 14,
        kParameterCount = 15,
    };

    explicit MeterEffect(HostCallback hostCallback);

    void setParameter(std::int32_t index, float value) override;
    float getParameter(std::int32_t index) override;
    void process(float** inputs, float** outputs, std::int32_t sampleFrames) override;
    void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) override;
    void setProgram(std::int32_t program) override;
    void setProgramName(char* text) override;
    void getProgramName(char* text) override;
    void getParamLabel(std::int32_t index, char* text) override;
    void getParamDisplay(std::int32_t index, char* text) override;
    void getParamName(std::int32_t index, char* text) override;
    float getMeterValue(std::int32_t index) override;
    void meterHook() override;
    void resumeProcessing() override;
    bool getProgramNameIndexed(std::int32_t category, std::int32_t index, char* text) override;
    std::int32_t getPlugCategory() override;
    bool getEffectName(char* text) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    std::int32_t getVendorVersion() override;

protected:
    // Parameters, read by the editor's thread while the host may set them on another.
    std::atomic<float> levelCurve;
    std::atomic<float> highlightCurve;
    std::atomic<float> spreadGain;
    std::atomic<float> edgeTaper;

    char programName[32];
};
