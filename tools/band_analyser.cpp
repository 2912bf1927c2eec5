#include "tools/band_analyser.h"

#include "host/effect_base.h"
#include "host/opcodes.h"

#include <vector>

bool BandAnalyser::load(const std::string& pluginPath) {
    if (!host.load(pluginPath)) {
        errorText = host.error();
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
    final = poll(rate > 0 ? done / rate : 0.0);
    return ok;
}
