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

private:
    MeterReading poll(double time);

    PluginHost host;
    std::string errorText;
};
