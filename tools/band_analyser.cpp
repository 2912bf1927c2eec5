#include "tools/band_analyser.h"

#include "host/effect_base.h"
#include "host/opcodes.h"

#include <vector>

namespace {

constexpr std::int32_t kAnalyserId = 19281;
constexpr const char* kAnalyserVendor = "Vantrelo";
constexpr const char* kAnalyserProduct = "TROBEdit";

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

MeterReading BandAnalyser::poll(double time) {
    // No opcode reaches the meter query: like the editor, call it on the effect object,
    // which this program shares the class layout of.
    auto* effect = static_cast<EffectBase*>(host.record()->object);
    MeterReading r;
    r.time = time;
    for (int k = 0; k < kAnalysedBands; ++k) {
        const int i = 11 + k;
        r.level[k] = effect->getMeterValue(i + 30);
        r.balance[k] = effect->getMeterValue(i);
        r.spread[k] = effect->getMeterValue(i + 60);
        r.taper[k] = effect->getMeterValue(i + 90);
        r.highlight[k] = effect->getMeterValue(i + 120);
    }
    return r;
}

bool BandAnalyser::run(AudioSource& source, const AnalyserSettings& settings,
                       const PollListener& onPoll, const ProgressListener& onProgress,
                       MeterReading& final) {
    const double rate = source.sampleRate();
    const int block = settings.blockSize;
    host.dispatch(effOpen);
    host.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    host.dispatch(effSetBlockSize, 0, block);
    settings.forEachSetParameter(
        [&](std::int32_t index, float value) { host.setParameter(index, value); });
    host.dispatch(effMainsChanged, 0, 1);

    std::vector<float> inL(block), inR(block), outL(block), outR(block);
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
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
    processed = done;
    final = poll(rate > 0 ? done / rate : 0.0);
    return ok;
}
