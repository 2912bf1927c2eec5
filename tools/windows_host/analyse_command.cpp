#include "tools/windows_host/analyse_command.h"

#include "tools/analysis_report.h"
#include "tools/band_analyser.h"
#include "tools/command_messages.h"
#include "tools/demo_signal.h"
#include "tools/trob_options.h"
#include "tools/wav_reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace {

constexpr const char* kUsage =
    "usage: trob_windows analyse [FILE.wav] [options]\n"
    "\n"
    "Prints the meter values at the end of FILE.wav (or the built-in demo), as\n"
    "`trob analyse --final --json` does.\n";
constexpr const char* kCommand = "trob_windows analyse";
// The DLL beside this program.
std::string defaultPlugin(const char* program) {
    std::string path = program;
    const std::size_t slash = path.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
           "TROBEdit.dll";
}

} // namespace

int runAnalyseCommand(int argc, char** argv) {
    std::optional<std::string> plugin;
    std::optional<double> rate;
    int block = 512;
    using namespace trob::options;
    const trob::CommandOptions command{kCommand,
                                       kUsage,
                                       "",
                                       {
                                           {kRate, trob::into(rate)},
                                           {kBlock, trob::into(block)},
                                           {kPlugin, trob::into(plugin), "the plug-in DLL to load",
                                            "TROBEdit.dll beside this program"},
                                       }};
    std::vector<std::string> files;
    if (const int status = trob::parseOptions(command, argc, argv, 1, files); status != 0)
        return status < 0 ? 0 : status;
    if (files.size() > 1)
        return trob::usageError(kCommand, "only one FILE can be analysed at a time");
    const std::optional<std::string> file = files.empty() ? std::nullopt : std::optional(files[0]);
    if (file && rate) return trob::usageError(kCommand, "--rate applies to the demo signal only");
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
