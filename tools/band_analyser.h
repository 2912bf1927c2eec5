#pragma once
// Drives a loaded plug-in the way a host with the editor open does: sets its rate and block
// size, feeds it blocks through processReplacing, and polls the 150 meter values at the
// editor's pace (every 1/30 s of audio).

#include "tools/audio_source.h"
#include "tools/playback_settings.h"
#include "tools/plugin_host.h"

#include <array>
#include <functional>
#include <optional>
#include <string>

constexpr int kAnalysedBands = 30;

// The five meter values of every band at one moment; band 0 is 25 Hz.
struct MeterReading {
    double time = 0.0;
    std::array<float, kAnalysedBands> balance{};
    std::array<float, kAnalysedBands> level{};
    std::array<float, kAnalysedBands> spread{};
    std::array<float, kAnalysedBands> taper{};
    std::array<float, kAnalysedBands> highlight{};
};

using AnalyserSettings = PlaybackSettings;

// Whether the loaded plug-in is the TROBEdit analyser, by what it says of itself through its
// record and opcodes; false with `why` set when it is another. trob reads the meters through
// the analyser's own effect object, which no other plug-in has.
bool isTrobAnalyser(PluginHost& host, const std::string& pluginPath, std::string& why);

class BandAnalyser {
public:
    static constexpr double kPollsPerSecond = 30.0;

    // Loads the plug-in; false with `error()` set when it cannot be used.
    bool load(const std::string& pluginPath);
    const std::string& error() const { return errorText; }

    using PollListener = std::function<void(const MeterReading&)>;
    using ProgressListener = std::function<void(std::int64_t done, std::int64_t total)>;

    // Runs the whole source through the plug-in. Every poll goes to `onPoll`; the reading
    // after the last block is returned. False (with `error()`) on a read error.
    bool run(AudioSource& source, const AnalyserSettings& settings, const PollListener& onPoll,
             const ProgressListener& onProgress, MeterReading& final);
    // The frames the last run processed.
    std::int64_t framesProcessed() const { return processed; }

private:
    MeterReading poll(double time);

    PluginHost host;
    std::int64_t processed = 0;
    std::string errorText;
};
