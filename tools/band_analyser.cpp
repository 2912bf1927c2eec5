#include "tools/band_analyser.h"

#include "host/effect_base.h"
#include "host/meter_interface.h"
#include "host/opcodes.h"
#include "tools/analysis_report.h"
#include "tools/task_rounds.h"

#include "engine/portable_math.h"

#include <algorithm>
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
// A run reads about this many frames at a time (whole blocks, at least one) and hands them
// to the instances' tasks.
constexpr int kChunkFrames = 1 << 15;

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

// A sine at full scale through a probe of its own, one band after another, taken a few blocks at
// a time so that it can run beside the first chunks of a run.
struct BandAnalyser::Calibration {
    static constexpr int kBlock = 512;
    PluginHost probe;
    double rate = 0.0;
    std::int64_t frames = 0, readFrom = 0;
    int band = 0;
    std::int64_t done = 0; // frames of the band's sine run so far
    double sum = 0.0;
    int readings = 0;
    std::vector<float> in, outL, outR;
    std::array<float, kAnalysedBands> result{};
};

BandAnalyser::BandAnalyser() = default;
BandAnalyser::~BandAnalyser() = default;

bool BandAnalyser::startCalibration(double rate) {
    calibration.reset();
    {
        std::lock_guard lock(calibrationMutex);
        if (auto it = calibrations.find(rate); it != calibrations.end()) {
            fullScale = it->second;
            return true;
        }
    }
    auto c = std::make_unique<Calibration>();
    if (!c->probe.load(path)) {
        errorText = c->probe.error();
        return false;
    }
    startInstance(c->probe, rate, Calibration::kBlock);
    c->probe.setParameter(kLevelCurveParameter, kLinearLevelCurve);
    c->probe.dispatch(effMainsChanged, 0, 1);
    c->rate = rate;
    c->frames = static_cast<std::int64_t>(kCalibrationSeconds * rate);
    c->readFrom = static_cast<std::int64_t>(kCalibrationReadFrom * rate);
    c->in.resize(Calibration::kBlock);
    c->outL.resize(Calibration::kBlock);
    c->outR.resize(Calibration::kBlock);
    calibration = std::move(c);
    return true;
}

bool BandAnalyser::calibrateSome(std::int64_t budget) {
    if (!calibration) return true;
    Calibration& c = *calibration;
    constexpr int kBlock = Calibration::kBlock;
    float* inputs[2] = {c.in.data(), c.in.data()};
    float* outputs[2] = {c.outL.data(), c.outR.data()};
    while (c.band < kAnalysedBands && budget > 0) {
        const int k = c.band;
        const double hz = analysis_report::bandCentre(k);
        // A band above the Nyquist frequency has no full-scale sine to stand for.
        if (hz >= c.rate / 2.0) {
            c.result[static_cast<std::size_t>(k)] = NAN;
            ++c.band;
            continue;
        }
        const double w = 2.0 * std::numbers::pi * hz / c.rate;
        if (c.done < c.frames) {
            const int n = static_cast<int>(std::min<std::int64_t>(kBlock, c.frames - c.done));
            for (int i = 0; i < n; ++i)
                c.in[static_cast<std::size_t>(i)] = static_cast<float>(
                    kProbeGain * portable::sin(w * static_cast<double>(c.done + i)));
            c.probe.processReplacing(inputs, outputs, n);
            if (c.done + n > c.readFrom) {
                c.sum += probeDecibels(c.probe, k);
                ++c.readings;
            }
            c.done += n;
            budget -= n;
        }
        if (c.done >= c.frames) {
            c.result[static_cast<std::size_t>(k)] = static_cast<float>(c.sum / c.readings);
            ++c.band;
            c.done = 0;
            c.sum = 0.0;
            c.readings = 0;
        }
    }
    if (c.band < kAnalysedBands) return false;
    c.probe.dispatch(effMainsChanged, 0, 0);
    c.probe.unload();
    {
        std::lock_guard lock(calibrationMutex);
        calibrations.emplace(c.rate, c.result);
    }
    fullScale = c.result;
    calibration.reset();
    return true;
}

// A run reads the source a chunk of blocks at a time: while the instances (and the tap) work
// through one chunk, the caller reads the next into the other.
struct BandAnalyser::Chunk {
    std::vector<float> left, right;      // the blocks one after another
    std::size_t capacity = 0;            // blocks it holds at most
    std::vector<std::int32_t> frames;    // each block's length
    std::vector<std::int64_t> doneAfter; // frames read up to the end of each block
    std::vector<char> pollAfter;         // whether the editor polls after the block
    // One per poll: the main instance's meters, and what the probes read.
    std::vector<MeterReading> readings;
    std::vector<ProbeReadings> probeReadings;

    void clear() {
        frames.clear();
        doneAfter.clear();
        pollAfter.clear();
        readings.clear();
        probeReadings.clear();
    }
};

MeterReading BandAnalyser::readMeters(double time) {
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
    return r;
}

BandAnalyser::ProbeReading BandAnalyser::readProbe(std::size_t p) {
    ProbeReading reading;
    for (int k = 0; k < kAnalysedBands; ++k)
        reading[static_cast<std::size_t>(k)] = probeDecibels(probes[p], k);
    return reading;
}

void BandAnalyser::addLevels(MeterReading& r, const ProbeReadings& probeReadings) const {
    std::array<float, kAnalysedBands>* levels[3] = {&r.leftDb, &r.rightDb, &r.midDb};
    for (std::size_t k = 0; k < kAnalysedBands; ++k) {
        const double zero = fullScale[k];
        for (std::size_t p = 0; p < 3; ++p) {
            const double db = probeReadings[p][k] - zero;
            (*levels[p])[k] = db >= kLowestLevelDb ? static_cast<float>(db) : NAN;
        }
        // Below the mid probe's range, and where it resolves coarsely, the quiet one reads.
        const double quiet = probeReadings[3][k] - zero - kQuietDb;
        if (!(r.midDb[k] >= kLowestLevelDb + 3.0) && quiet >= kLowestLevelDb - kQuietDb)
            r.midDb[k] = static_cast<float>(quiet);
    }
}

MeterReading BandAnalyser::poll(double time) {
    MeterReading r = readMeters(time);
    if (!probing) return r;
    ProbeReadings probeReadings;
    for (std::size_t p = 0; p < probes.size(); ++p)
        probeReadings[p] = readProbe(p);
    addLevels(r, probeReadings);
    return r;
}

bool BandAnalyser::decode(AudioSource& source, Chunk& chunk, double rate, int block) {
    chunk.clear();
    std::size_t at = 0;
    while (!sourceEnded && chunk.frames.size() < chunk.capacity) {
        const std::int64_t got =
            source.read(chunk.left.data() + at, chunk.right.data() + at, block);
        if (got < 0) {
            errorText = "reading the audio failed after " + std::to_string(decoded) + " frames";
            sourceEnded = true;
            return false;
        }
        if (got == 0) {
            sourceEnded = true;
            break;
        }
        decoded += got;
        at += static_cast<std::size_t>(got);
        chunk.frames.push_back(static_cast<std::int32_t>(got));
        chunk.doneAfter.push_back(decoded);
        // The editor polls between blocks, whenever 1/30 s of audio has gone by.
        const bool polls = decoded >= nextPoll;
        chunk.pollAfter.push_back(polls);
        if (polls) {
            chunk.readings.emplace_back().time = decoded / rate;
            while (nextPoll <= decoded)
                nextPoll += pollInterval;
        }
    }
    chunk.probeReadings.resize(chunk.readings.size());
    return true;
}

void BandAnalyser::runMain(Chunk& chunk, Scratch& scratch) {
    float* out[2] = {scratch.outL.data(), scratch.outR.data()};
    std::size_t at = 0, polled = 0;
    for (std::size_t b = 0; b < chunk.frames.size(); ++b) {
        float* in[2] = {chunk.left.data() + at, chunk.right.data() + at};
        host.processReplacing(in, out, chunk.frames[b]);
        if (chunk.pollAfter[b]) {
            MeterReading& r = chunk.readings[polled++];
            r = readMeters(r.time);
        }
        at += static_cast<std::size_t>(chunk.frames[b]);
    }
}

void BandAnalyser::runProbe(Chunk& chunk, std::size_t p, Scratch& scratch) {
    float* out[2] = {scratch.outL.data(), scratch.outR.data()};
    // The probe hears one signal on both inputs.
    float* both[2] = {scratch.in.data(), scratch.in.data()};
    float* const in = scratch.in.data();
    std::size_t at = 0, polled = 0;
    for (std::size_t b = 0; b < chunk.frames.size(); ++b) {
        const float* left = chunk.left.data() + at;
        const float* right = chunk.right.data() + at;
        const std::int32_t n = chunk.frames[b];
        switch (p) {
        case 0:
            for (std::int32_t i = 0; i < n; ++i)
                in[i] = kProbeGain * left[i];
            break;
        case 1:
            for (std::int32_t i = 0; i < n; ++i)
                in[i] = kProbeGain * right[i];
            break;
        case 2:
            for (std::int32_t i = 0; i < n; ++i)
                in[i] = kProbeGain * (0.5f * (left[i] + right[i]));
            break;
        default:
            for (std::int32_t i = 0; i < n; ++i)
                in[i] = kQuietGain * (kProbeGain * (0.5f * (left[i] + right[i])));
            break;
        }
        probes[p].processReplacing(both, out, n);
        if (chunk.pollAfter[b]) chunk.probeReadings[polled++][p] = readProbe(p);
        at += static_cast<std::size_t>(n);
    }
}

bool BandAnalyser::run(AudioSource& source, const AnalyserSettings& settings,
                       const PollListener& onPoll, const ProgressListener& onProgress,
                       MeterReading& final) {
    const double rate = source.sampleRate();
    const int block = settings.blockSize;
    if (probing && !startCalibration(rate)) return false;
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

    decoded = 0;
    pollInterval = rate / kPollsPerSecond;
    nextPoll = pollInterval;
    sourceEnded = false;
    std::array<Chunk, 2> chunks;
    for (Chunk& c : chunks) {
        c.capacity = static_cast<std::size_t>(std::max(1, kChunkFrames / block));
        c.left.resize(c.capacity * static_cast<std::size_t>(block));
        c.right.resize(c.left.size());
        c.frames.reserve(c.capacity);
        c.doneAfter.reserve(c.capacity);
        c.pollAfter.reserve(c.capacity);
    }
    std::array<Scratch, 5> scratch;
    for (std::size_t i = 0; i < (probing ? scratch.size() : 1); ++i) {
        scratch[i].in.resize(i > 0 ? static_cast<std::size_t>(block) : 0);
        scratch[i].outL.resize(static_cast<std::size_t>(block));
        scratch[i].outR.resize(static_cast<std::size_t>(block));
    }

    // One task per instance, and one for the tap, over the current chunk; a task touches only
    // its own instance, its own scratch and its own slots of the chunk's readings.
    Chunk* current = &chunks[0];
    Chunk* next = &chunks[1];
    // The calibration, when this rate has none yet, goes first: its share of a round is the
    // longest task.
    std::vector<TaskRounds::Task> tasks;
    std::int64_t calibrationShare = 0;
    if (calibration) tasks.emplace_back([&] { calibrateSome(calibrationShare); });
    if (audioTap)
        tasks.emplace_back([&] {
            std::size_t at = 0;
            for (const std::int32_t n : current->frames) {
                audioTap(current->left.data() + at, current->right.data() + at, n);
                at += static_cast<std::size_t>(n);
            }
        });
    tasks.emplace_back([&] { runMain(*current, scratch[0]); });
    if (probing)
        for (std::size_t p = 0; p < probes.size(); ++p)
            tasks.emplace_back([&, p] { runProbe(*current, p, scratch[p + 1]); });
    // More threads than tasks, with the caller reading, would have nothing to do.
    TaskRounds rounds(std::min(std::max(threadCount, 1u), static_cast<unsigned>(tasks.size()) + 1));
    // A frame of the calibration costs a few frames of an instance (it makes its sine as it
    // goes): its share of a round shrinks as more threads share the rest.
    calibrationShare = kChunkFrames / std::max(1u, rounds.threads() - 1);

    // Until the calibration is done the polls wait here, without their levels.
    std::vector<MeterReading> waiting;
    std::vector<ProbeReadings> waitingProbes;
    bool ok = decode(source, *current, rate, block);
    while (!current->frames.empty() || calibration) {
        // After a read error there is nothing left to report.
        if (!ok && current->frames.empty()) break;
        bool nextOk = true;
        rounds.run(
            [&] {
                if (ok)
                    nextOk = decode(source, *next, rate, block);
                else
                    next->clear();
            },
            tasks);
        std::size_t polled = 0;
        for (std::size_t b = 0; b < current->frames.size(); ++b) {
            if (current->pollAfter[b]) {
                waiting.push_back(current->readings[polled]);
                if (probing) waitingProbes.push_back(current->probeReadings[polled]);
                ++polled;
            }
            if (onProgress) onProgress(current->doneAfter[b], source.frameCount());
        }
        if (!calibration) {
            for (std::size_t i = 0; i < waiting.size(); ++i) {
                if (probing) addLevels(waiting[i], waitingProbes[i]);
                if (onPoll) onPoll(waiting[i]);
            }
            waiting.clear();
            waitingProbes.clear();
        }
        ok = ok && nextOk;
        std::swap(current, next);
    }
    host.dispatch(effMainsChanged, 0, 0);
    if (probing)
        for (PluginHost& probe : probes)
            probe.dispatch(effMainsChanged, 0, 0);
    calibration.reset();
    processed = decoded;
    final = poll(rate > 0 ? decoded / rate : 0.0);
    return ok;
}
