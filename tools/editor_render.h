#pragma once
// The plug-in's effect and editor, in this process, on the headless windowing home: audio
// goes through processReplacing block by block and the host's idle call reaches the editor
// 30 times per second of audio, so the window shows what a host's would at that moment.
//
// `trob render` needs the editor's window, and the plug-in library keeps its windowing home
// private (it exports `main` alone), so trob links the plug-in's classes and the headless
// home for this instead of loading the library.

#include "tools/audio_source.h"
#include "tools/playback_settings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class MeterEffectWithEditor;

using RenderSettings = PlaybackSettings;

class EditorRenderer {
public:
    static constexpr double kIdlesPerSecond = 30.0;
    static constexpr int kWidth = 300;
    static constexpr int kHeight = 225;

    EditorRenderer();
    ~EditorRenderer();
    EditorRenderer(const EditorRenderer&) = delete;
    EditorRenderer& operator=(const EditorRenderer&) = delete;

    // Creates the effect at the source's rate, sets the parameters and opens the editor;
    // false with `error()` set when it cannot.
    bool open(double sampleRate, const RenderSettings& settings);
    const std::string& error() const { return errorText; }

    // After each idle call: the audio time in seconds and the window's pixels (ColorRef,
    // 300 x 225). Returning false stops the run.
    using FrameListener = std::function<bool(double time, const std::vector<std::uint32_t>&)>;
    using ProgressListener = std::function<void(std::int64_t done, std::int64_t total)>;
    // Runs the source through until its end or `until` seconds; false on a read error.
    bool run(AudioSource& source, double until, const FrameListener& onFrame,
             const ProgressListener& onProgress);

    // For a host that plays before its editor idles: the audio up to its end or `until`
    // seconds with no idle call between (false on a read error), then single idle calls at
    // a given audio time, each answering the window's pixels after it.
    bool play(AudioSource& source, double until);
    std::vector<std::uint32_t> idleAt(double time);

private:
    void idle(double time);
    std::vector<std::uint32_t> windowPixels() const;
    // Processes frames from `done` up to `until` in blocks; -1 on a read error, else the
    // new position (short of `until` when the source ends).
    std::int64_t process(AudioSource& source, std::int64_t done, std::int64_t until,
                         std::int64_t last, const ProgressListener& onProgress);

    MeterEffectWithEditor* effect = nullptr;
    void* window = nullptr;
    int blockSize = 512;
    // One block of audio in and out, made once for the whole run.
    std::vector<float> inL, inR, outL, outR;
    std::string errorText;
};

// Nearest-neighbour enlargement by a whole factor.
std::vector<std::uint32_t> enlarge(const std::vector<std::uint32_t>& pixels, int width, int height,
                                   int factor);
