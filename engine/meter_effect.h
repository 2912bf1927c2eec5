#pragma once
// The plug-in's own effect: a stereo pass-through that splits both channels into thirty
// third-octave bands and follows, per band, the level of each channel and how often the two
// band signals disagree in sign.

#include "engine/coefficient_exchange.h"
#include "engine/filter_bank_coefficients.h"
#include "engine/level_tables.h"
#include "engine/meter_kernels.h"
#include "host/effect_base_x.h"
#include "host/meter_interface.h"

#include <atomic>
#include <cstdint>

class MeterEffect : public EffectBaseX {
public:
    enum Parameter : std::int32_t {
        kSpreadGain = meter::kSpreadGain,
        kEdgeTaper = meter::kEdgeTaper,
        kLevelCurve = meter::kLevelCurve,
        kHighlightCurve = meter::kHighlightCurve,
        kParameterCount = meter::kParameterCount,
    };

    // First index of each group of thirty meter values.
    enum MeterIndex : std::int32_t {
        kBalanceMeter = meter::kBalance,
        kLevelMeter = meter::kLevel,
        kSpreadMeter = meter::kSpread,
        kTaperMeter = meter::kTaper,
        kHighlightMeter = meter::kHighlight,
        kMeterEnd = meter::kQueryEnd,
    };

    static constexpr std::int32_t kTableSize = LevelTables::kSize;

    // Rates outside this range (and 0, negative or non-finite ones) are not audio rates: the
    // measurement keeps the last usable rate.
    static constexpr float kLowestSampleRate = 1000.0f;
    static constexpr float kHighestSampleRate = 10000000.0f;
    static bool isUsableSampleRate(float rate);

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
    void setSampleRate(float rate) override;
    void resumeProcessing() override;
    bool getProgramNameIndexed(std::int32_t category, std::int32_t index, char* text) override;
    std::int32_t getPlugCategory() override;
    void setBlockSizeAndSampleRate(std::int32_t size, float rate) override;
    bool getEffectName(char* text) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    std::int32_t getVendorVersion() override;

    // The value the measurement takes for an input sample: non-finite samples count as
    // silence, absurdly large ones are limited so no sum can overflow.
    static float measurable(float sample);

protected:
    enum Channel : int { kLeft = 0, kRight = 1 };

    // False for a band whose centre lies at or above half the rate of the coefficients in use:
    // its filters hold only aliases, and the meter query reads it as silence.
    bool carriesBand(int band) const;
    void followSampleRate();
    // Hands the state after a block's last sample to the fields the editor and tests read.
    void publishBlock();

    // Parameters, read by the editor's thread while the host may set them on another.
    std::atomic<float> levelCurve;
    std::atomic<float> highlightCurve;
    std::atomic<float> spreadGain;
    std::atomic<float> edgeTaper;

    // Filter histories, accumulators and averages of every band, as the kernels run them:
    // written by the audio thread only.
    MeterLanes lanes;
    // The kernel that runs them, chosen at construction.
    const MeterKernel* kernel;

    // The averages as the editor reads them, and the band outputs and sign flags of the last
    // sample: all published once per block, after its last sample.
    std::atomic<float> antiPhaseAverage[kBandCount];
    std::atomic<float> levelAverage[2][kBandCount];
    float signFlag[2][kBandCount];
    float signsDiffer[kBandCount];
    float bandOutput[2][kBandCount];

    // The block being measured, in pieces of at most kMeasureChunk frames: the input samples
    // as the measurement takes them.
    static constexpr std::int32_t kMeasureChunk = 256;
    float measuredInput[2][kMeasureChunk];

    // Run-time and design coefficients, one set in use and fresh ones on their way in.
    CoefficientExchange coefficients;

    float bandCentre[kBandCount];
    // The process's shared logarithm tables (level_tables.h).
    const float* levelDbTable;
    const float* levelNormTable;

    float pi;
    // The rate of the coefficient set the audio thread uses.
    std::atomic<float> designSampleRate;
    float lastSampleRate;
    float levelSmoothing;
    float antiPhaseSmoothing;

    char programName[32];
};
