#include "tools/band_analyser.h"

#include "host/effect_base.h"
#include "host/meter_interface.h"
#include "host/opcodes.h"
#include "tools/analysis_report.h"

#include "engine/portable_math.h"

#include <map>
#include <mutex>
#include <numbers>
#include <vector>

namespace {

constexpr std::int32_t kAnalyserId = 19281;
constexpr const char* kAnalyserVendor = "Vantrelo";
constexpr const char* kAnalyserProduct = "TROBEdit";

constexpr std::int32_t kLevelCurveParameter = meter::kLevelCurve;
// The level meter raises the table value to 1 / (2 c + 0.5): c = 0.25 leaves it as it is.
constexpr float kLinearLevelCurve = 0.25f;
constexpr std::int32_t kBalanceMeterOffset = meter::kBalance;
constexpr std::int32_t kLevelMeterOffset = meter::kLevel;
constexpr std::int32_t kSpreadMeterOffset = meter::kSpread;
constexpr std::int32_t kTaperMeterOffset = meter::kTaper;
constexpr std::int32_t kHighlightMeterOffset = meter::kHighlight;
// The level table spans 56 dB.
constexpr double kTableDecibels = 56.0;
// The calibration sine: long enough for the 0.2 s level average to settle to within 0.01 dB,
// then read over its last stretch, where the ripple of the rectified sine averages out.
constexpr double kCalibrationSeconds = 1.6;
constexpr double kCalibrationReadFrom = 1.2;

// Full-scale readings per sample rate, shared by every analysis in the program: the plug-in
// and its engine are the same for all of them.
std::mutex calibrationMutex;
std::map<double, std::array<float, kAnalysedBands>> calibrations;

void startInstance(PluginHost& host, double rate, int block) {
    host.dispatch(effOpen);
    host.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    host.dispatch(effSetBlockSize, 0, block);
}

// A probe's reading of band k in dB below the level table's top; NaN when the table reads
// no level at all.
double probeDecibels(PluginHost& probe, int k) {
    auto* effect = static_cast<EffectBase*>(probe.record()->object);
    const double v = effect->getMeterValue(kLevelMeterOffset + k);
    return v > 0.0 ? kTableDecibels * (v - 1.0) : NAN;
}

// A text the plug-in writes into a buffer of ours, cut off where it forgot to end it.
std::string askText(PluginHost& host, std::int32_t opcode) {
    char text[256] = {};
    host.dispatch(opcode, 0, 0, text);
    text[sizeof text - 1] = 0;
    return text;
}

} // namespace

bool isTrobAnalyser(PluginHost& host, const std::string& pluginPath, std::string& why) {
    const EffectRecord* record = host.record();
    if (!record) {
        why = pluginPath + " is not loaded";
        return false;
    }
    // The identity in the record comes first: another plug-in is asked nothing.
    if (record->uniqueID != kAnalyserId) {
        why = pluginPath + " is not the TROBEdit analyser (its unique ID is " +
              std::to_string(record->uniqueID) + ", not " + std::to_string(kAnalyserId) + ")";
        return false;
    }
    const IntPtr category = host.dispatch(effGetPlugCategory);
    const std::string vendor = askText(host, effGetVendorString);
    const std::string product = askText(host, effGetProductString);
    if (category != kPlugCategEffect || vendor != kAnalyserVendor || product != kAnalyserProduct) {
        why = pluginPath + " is not the TROBEdit analyser (it calls itself '" + product + "' by '" +
              vendor + "', category " + std::to_string(category) + ")";
        return false;
    }
    return true;
}

bool BandAnalyser::load(const std::string& pluginPath) {
    path = pluginPath;
    if (!host.load(pluginPath)) {
        errorText = host.error();
        return false;
    }
    if (!isTrobAnalyser(host, pluginPath, errorText)) {
        host.unload();
        return false;
    }
    const EffectRecord* record = host.record();
    if (record->numInputs < 2 || record->numOutputs < 2 || !record->object ||
        !(record->flags & effFlagsCanReplacing)) {
        errorText = pluginPath + " is not the stereo analyser trob expects";
        host.unload();
        return false;
    }
    return true;
}

bool BandAnalyser::measureLevels() {
    for (PluginHost& probe : probes) {
        if (!probe.load(path)) {
            errorText = probe.error();
            return false;
        }
    }
    probing = true;
    return true;
}

bool BandAnalyser::calibrate(double rate) {
    {
        std::lock_guard lock(calibrationMutex);
        if (auto it = calibrations.find(rate); it != calibrations.end()) {
            fullScale = it->second;
            return true;
        }
    }
    PluginHost probe;
    if (!probe.load(path)) {
        errorText = probe.error();
        return false;
    }
    constexpr int kBlock = 512;
    startInstance(probe, rate, kBlock);
    probe.setParameter(kLevelCurveParameter, kLinearLevelCurve);
    probe.dispatch(effMainsChanged, 0, 1);
    std::vector<float> in(kBlock), outL(kBlock), outR(kBlock);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    const auto frames = static_cast<std::int64_t>(kCalibrationSeconds * rate);
    const auto readFrom = static_cast<std::int64_t>(kCalibrationReadFrom * rate);
    std::array<float, kAnalysedBands> result;
    for (int k = 0; k < kAnalysedBands; ++k) {
        const double hz = analysis_report::bandCentre(k);
        // A band above the Nyquist frequency has no full-scale sine to stand for.
        if (hz >= rate / 2.0) {
            result[k] = NAN;
            continue;
        }
        const double w = 2.0 * std::numbers::pi * hz / rate;
        double sum = 0.0;
        int readings = 0;
        for (std::int64_t done = 0; done < frames; done += kBlock) {
            const int n = static_cast<int>(std::min<std::int64_t>(kBlock, frames - done));
            for (int i = 0; i < n; ++i)
                in[static_cast<std::size_t>(i)] = static_cast<float>(
                    kProbeGain * portable::sin(w * static_cast<double>(done + i)));
            probe.processReplacing(inputs, outputs, n);
            if (done + n > readFrom) {
                sum += probeDecibels(probe, k);
                ++readings;
            }
        }
        result[k] = static_cast<float>(sum / readings);
    }
    probe.dispatch(effMainsChanged, 0, 0);
    probe.unload();
    std::lock_guard lock(calibrationMutex);
    calibrations.emplace(rate, result);
    fullScale = result;
    return true;
}

MeterReading BandAnalyser::poll(double time) {
    // No opcode reaches the meter query: like the editor, call it on the effect object,
    // which this program shares the class layout of.
    auto* effect = static_cast<EffectBase*>(host.record()->object);
    MeterReading r;
    r.time = time;
    for (int k = 0; k < kAnalysedBands; ++k) {
        r.level[k] = effect->getMeterValue(kLevelMeterOffset + k);
        r.balance[k] = effect->getMeterValue(kBalanceMeterOffset + k);
        r.spread[k] = effect->getMeterValue(kSpreadMeterOffset + k);
        r.taper[k] = effect->getMeterValue(kTaperMeterOffset + k);
        r.highlight[k] = effect->getMeterValue(kHighlightMeterOffset + k);
    }
    if (!probing) return r;
    std::array<float, kAnalysedBands>* levels[3] = {&r.leftDb, &r.rightDb, &r.midDb};
    for (int k = 0; k < kAnalysedBands; ++k) {
        const double zero = fullScale[static_cast<std::size_t>(k)];
        for (std::size_t p = 0; p < 3; ++p) {
            const double db = probeDecibels(probes[p], k) - zero;
            (*levels[p])[static_cast<std::size_t>(k)] =
                db >= kLowestLevelDb ? static_cast<float>(db) : NAN;
        }
        // Below the mid probe's range, and where it resolves coarsely, the quiet one reads.
        const double quiet = probeDecibels(probes[3], k) - zero - kQuietDb;
        if (!(r.midDb[k] >= kLowestLevelDb + 3.0) && quiet >= kLowestLevelDb - kQuietDb)
            r.midDb[k] = static_cast<float>(quiet);
    }
    return r;
}

bool BandAnalyser::run(AudioSource& source, const AnalyserSettings& settings,
                       const PollListener& onPoll, const ProgressListener& onProgress,
                       MeterReading& final) {
    const double rate = source.sampleRate();
    const int block = settings.blockSize;
    if (probing && !calibrate(rate)) return false;
    startInstance(host, rate, block);
    settings.forEachSetParameter(
        [&](std::int32_t index, float value) { host.setParameter(index, value); });
    host.dispatch(effMainsChanged, 0, 1);
    if (probing)
        for (PluginHost& probe : probes) {
            startInstance(probe, rate, block);
            probe.setParameter(kLevelCurveParameter, kLinearLevelCurve);
            probe.dispatch(effMainsChanged, 0, 1);
        }

    std::vector<float> inL(block), inR(block), outL(block), outR(block);
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    // Each probe hears one signal on both inputs.
    std::array<std::vector<float>, 4> probeIn;
    for (auto& v : probeIn)
        v.resize(probing ? static_cast<std::size_t>(block) : 0);
    const double pollInterval = rate / kPollsPerSecond;
    double nextPoll = pollInterval;
    std::int64_t done = 0;
    bool ok = true;
    for (;;) {
        const std::int64_t got = source.read(inL.data(), inR.data(), block);
        if (got < 0) {
            errorText = "reading the audio failed after " + std::to_string(done) + " frames";
            ok = false;
            break;
        }
        if (got == 0) break;
        host.processReplacing(in, out, static_cast<std::int32_t>(got));
        if (probing) {
            for (std::int64_t i = 0; i < got; ++i) {
                const auto n = static_cast<std::size_t>(i);
                probeIn[0][n] = kProbeGain * inL[n];
                probeIn[1][n] = kProbeGain * inR[n];
                probeIn[2][n] = kProbeGain * (0.5f * (inL[n] + inR[n]));
                probeIn[3][n] = kQuietGain * probeIn[2][n];
            }
            for (std::size_t p = 0; p < probes.size(); ++p) {
                float* both[2] = {probeIn[p].data(), probeIn[p].data()};
                probes[p].processReplacing(both, out, static_cast<std::int32_t>(got));
            }
        }
        done += got;
        // The editor polls between blocks, whenever 1/30 s of audio has gone by.
        if (done >= nextPoll) {
            if (onPoll) onPoll(poll(done / rate));
            while (nextPoll <= done)
                nextPoll += pollInterval;
        }
        if (onProgress) onProgress(done, source.frameCount());
    }
    host.dispatch(effMainsChanged, 0, 0);
    if (probing)
        for (PluginHost& probe : probes)
            probe.dispatch(effMainsChanged, 0, 0);
    processed = done;
    final = poll(rate > 0 ? done / rate : 0.0);
    return ok;
}
