#pragma once
// Drives a loaded plug-in the way a host with the editor open does: sets its rate and block
// size, feeds it blocks through processReplacing, and polls the 150 meter values at the
// editor's pace (every 1/30 s of audio). Its instances can run on several threads at once, each
// instance on one thread at a time, with every reading the same as on one thread.

#include "tools/audio_source.h"
#include "tools/playback_settings.h"
#include "tools/plugin_host.h"

#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

constexpr int kAnalysedBands = 30;

// The five meter values of every band at one moment; band 0 is 25 Hz.
struct MeterReading {
    double time = 0.0;
    std::array<float, kAnalysedBands> balance{};
    std::array<float, kAnalysedBands> level{};
    std::array<float, kAnalysedBands> spread{};
    std::array<float, kAnalysedBands> taper{};
    std::array<float, kAnalysedBands> highlight{};
    // The band's left, right and mid ((L+R)/2) levels in dB relative to a full-scale sine at
    // its centre, as the level probes measure them; NaN below their range or when not measured.
    std::array<float, kAnalysedBands> leftDb = unmeasured();
    std::array<float, kAnalysedBands> rightDb = unmeasured();
    std::array<float, kAnalysedBands> midDb = unmeasured();

    static std::array<float, kAnalysedBands> unmeasured() {
        std::array<float, kAnalysedBands> a;
        a.fill(NAN);
        return a;
    }
};

using AnalyserSettings = PlaybackSettings;

// Whether the loaded plug-in is the TROBEdit analyser, by what it says of itself through its
// record and opcodes; false with `why` set when it is another. trob reads the meters through
// the analyser's own effect object, which no other plug-in has.
bool isTrobAnalyser(PluginHost& host, const std::string& pluginPath, std::string& why);

// The band levels in dB come from three more instances of the plug-in, the level probes, fed
// the left channel, the right channel and their mean (L+R)/2, each on both inputs and scaled
// by kProbeGain; a fourth hears the mean 2^9 times louder still, so that the mid level of a
// band whose channels cancel is measured far below the others' range. A probe's level meter, read
// with the level curve at 0.25 (exponent 1), is the meter's table value, 56 dB across: so 56 (v -
// 1) is the probe's band level in dB below the table's top. A full-scale sine at each band's
// centre, run once through a probe per sample rate, gives the reading that stands for 0 dB. The
// gain puts that reading a little below the top: the probes measure from about +3 dB down to about
// -53 dB.
class BandAnalyser {
public:
    static constexpr double kPollsPerSecond = 30.0;
    static constexpr float kProbeGain = 0.3f;
    // Probe readings that stand for less than this are below the range the table resolves.
    static constexpr double kLowestLevelDb = -53.0;
    // The quiet mid probe's extra gain: a power of two, so that its input is the mid probe's
    // exactly scaled, and a full-scale sine's reading stands for 0 dB less 20 log10(512).
    static constexpr float kQuietGain = 512.0f;
    static constexpr double kQuietDb = 54.185399219516;

    BandAnalyser();
    ~BandAnalyser();
    BandAnalyser(const BandAnalyser&) = delete;
    BandAnalyser& operator=(const BandAnalyser&) = delete;

    // Loads the plug-in; false with `error()` set when it cannot be used.
    bool load(const std::string& pluginPath);
    // Also measures the left, right and mid levels of every band (the level probes); before
    // `run`. False with `error()` set when the probes cannot be loaded.
    bool measureLevels();
    const std::string& error() const { return errorText; }

    using PollListener = std::function<void(const MeterReading&)>;
    using ProgressListener = std::function<void(std::int64_t done, std::int64_t total)>;
    using AudioTap = std::function<void(const float* left, const float* right, std::int64_t)>;

    // The threads a run uses: the caller, which reads the audio, and up to `threads - 1` more,
    // no more than there are tasks (the instances, the tap, the calibration). 1, the default,
    // runs everything on the caller. The readings are the same for any count.
    void setThreads(unsigned threads) { threadCount = threads; }
    // Every block read also goes to `tap`, in order and with the blocks' own lengths, as one
    // more task beside the instances: it may run on any of the run's threads, one block after
    // another, but never two at once.
    void tapAudio(AudioTap tap) { audioTap = std::move(tap); }

    // Runs the whole source through the plug-in. Every poll goes to `onPoll` and the progress
    // to `onProgress`, both on the caller's thread; the reading after the last block is
    // returned. False (with `error()`) on a read error.
    bool run(AudioSource& source, const AnalyserSettings& settings, const PollListener& onPoll,
             const ProgressListener& onProgress, MeterReading& final);
    // The frames the last run processed.
    std::int64_t framesProcessed() const { return processed; }

private:
    // A probe's reading of every band in dB below the level table's top.
    using ProbeReading = std::array<double, kAnalysedBands>;
    using ProbeReadings = std::array<ProbeReading, 4>;
    struct Chunk;
    struct Calibration;
    // What one instance's task writes to as it runs: its own input and output buffers.
    struct Scratch {
        std::vector<float> in, outL, outR;
    };

    MeterReading poll(double time);
    // The main instance's meters.
    MeterReading readMeters(double time);
    ProbeReading readProbe(std::size_t p);
    // Adds what the probes read to `r`, in dB of full scale.
    void addLevels(MeterReading& r, const ProbeReadings& probeReadings) const;
    // Finds the full-scale readings at `rate`, or starts measuring them; false with
    // `errorText` set when the probe cannot be loaded.
    bool startCalibration(double rate);
    // Measures about `frames` more frames of the calibration; true once `fullScale` holds it.
    bool calibrateSome(std::int64_t frames);
    // Reads up to a chunk's blocks from the source; false on a read error.
    bool decode(AudioSource& source, Chunk& chunk, double rate, int block);
    // Runs the chunk's blocks through the main instance and notes its polls.
    void runMain(Chunk& chunk, Scratch& scratch);
    // Runs the chunk's blocks through probe `p` and notes its polls.
    void runProbe(Chunk& chunk, std::size_t p, Scratch& scratch);

    PluginHost host;
    std::string path;
    bool probing = false;
    std::array<PluginHost, 4> probes;              // left, right, mid, quiet mid
    std::array<float, kAnalysedBands> fullScale{}; // a probe's dB reading of a full-scale sine
    std::unique_ptr<Calibration> calibration;      // while it is measured
    std::int64_t processed = 0;
    unsigned threadCount = 1;
    AudioTap audioTap;
    std::string errorText;
    // Read position and poll schedule while a run decodes.
    std::int64_t decoded = 0;
    double pollInterval = 0.0, nextPoll = 0.0;
    bool sourceEnded = false;
};
