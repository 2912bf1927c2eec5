#include "tools/windows_host/analyse_command.h"

#include "tools/analysis_report.h"
#include "tools/band_analyser.h"
#include "tools/demo_signal.h"
#include "tools/wav_reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace {

constexpr const char* kUsage =
    "usage: trob_windows analyse [FILE.wav] [--rate HZ] [--block FRAMES] [--plugin PATH]\n"
    "  prints the meter values at the end, as `trob analyse --json` does\n";

int usage(const char* problem) {
    std::fprintf(stderr, "trob_windows analyse: %s\n%s", problem, kUsage);
    return 2;
}

// A number option's value in [low, high], or nothing.
std::optional<double> numberIn(const char* text, double low, double high) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value >= low && value <= high)) return std::nullopt;
    return value;
}

// The DLL beside this program.
std::string defaultPlugin(const char* program) {
    std::string path = program;
    const std::size_t slash = path.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
           "TROBEdit.dll";
}

} // namespace

int runAnalyseCommand(int argc, char** argv) {
    std::optional<std::string> file, plugin;
    std::optional<double> rate;
    int block = 512;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(a, "--rate") == 0) {
            if (!hasValue || !(rate = numberIn(argv[++i], 1000.0, 10e6)))
                return usage("--rate takes a rate from 1000 to 10000000 Hz");
        } else if (std::strcmp(a, "--block") == 0) {
            const auto value = hasValue ? numberIn(argv[++i], 1, 65536) : std::nullopt;
            if (!value || *value != static_cast<int>(*value))
                return usage("--block takes a whole number of frames from 1 to 65536");
            block = static_cast<int>(*value);
        } else if (std::strcmp(a, "--plugin") == 0) {
            if (!hasValue) return usage("--plugin takes a path");
            plugin = argv[++i];
        } else if (a[0] == '-' && a[1] != '\0') {
            return usage((std::string("unknown option ") + a).c_str());
        } else if (file) {
            return usage("one file at a time");
        } else {
            file = a;
        }
    }
    if (file && rate) return usage("--rate is for the demo signal only");

    AnalyserSettings settings;
    settings.blockSize = block;
    AnalysisInfo info;
    std::unique_ptr<AudioSource> source;
    if (file) {
        auto reader = std::make_unique<WavReader>();
        if (!reader->open(*file)) {
            std::fprintf(stderr, "trob_windows: %s\n", reader->error().c_str());
            return 1;
        }
        info.source = *file;
        source = std::move(reader);
    } else {
        source = std::make_unique<DemoSignal>(rate.value_or(44100.0));
        info.source = "demo signal";
        settings.highlightCurve = DemoSignal::kHighlightCurve;
    }
    info.sampleRate = source->sampleRate();
    info.frames = source->frameCount();
    info.blockSize = block;

    BandAnalyser analyser;
    if (!analyser.load(plugin.value_or(defaultPlugin(argv[0])))) {
        std::fprintf(stderr, "trob_windows: plug-in not usable: %s\n", analyser.error().c_str());
        return 1;
    }
    MeterReading final;
    if (!analyser.run(*source, settings, nullptr, nullptr, final)) {
        std::fprintf(stderr, "trob_windows: %s: %s\n", info.source.c_str(),
                     analyser.error().c_str());
        return 1;
    }
    analysis_report::printJson(stdout, final, info, false);
    std::fputc('\n', stdout); // as trob ends its JSON
    return std::fflush(stdout) == 0 ? 0 : 1;
}
