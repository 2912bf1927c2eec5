// trob: the command-line host. `trob analyse [FILE]` runs a file (or the demo signal) through
// the analyser plug-in exactly as a host does and prints what its meters show.

#include "tools/analysis_report.h"
#include "tools/audio_file_reader.h"
#include "tools/band_analyser.h"
#include "tools/csv_series_writer.h"
#include "tools/demo_signal.h"
#include "tools/render_command.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#ifndef TROB_DEFAULT_PLUGIN
#define TROB_DEFAULT_PLUGIN "TROBEdit.so"
#endif

namespace {

constexpr int kUsageError = 2;
constexpr int kFailure = 1;
// The rates the analyser measures at; outside them it would keep its last rate.
constexpr double kLowestRate = 1000.0;
constexpr double kHighestRate = 10000000.0;
constexpr int kLargestBlock = 1 << 20;
// Files shorter than this finish before a progress bar would be worth drawing.
constexpr double kProgressAfterSeconds = 5.0;

const char* const kUsage =
    "usage: trob analyse [FILE] [options]\n"
    "       trob render [FILE] [options]   (the editor's window; trob render --help)\n"
    "\n"
    "Runs FILE (any format libsndfile reads: WAV, FLAC, AIFF, Ogg, ...; mono or stereo)\n"
    "through the TROBEdit analyser and prints, per third-octave band from 20 kHz down to\n"
    "25 Hz, what its meters show at the end. Without FILE it analyses a built-in ten-second\n"
    "demo signal.\n"
    "\n"
    "options:\n"
    "  --csv PATH               write the whole time series (every 1/30 s) as CSV\n"
    "  --json                   print the final table as JSON instead of text\n"
    "  --rate HZ                sample rate of the demo signal (default 44100)\n"
    "  --block N                frames per processing block (default 512)\n"
    "  --spread-gain X          parameter 11 (default 1.0)\n"
    "  --edge-taper X           parameter 12 (default 1.0)\n"
    "  --level-curve X          parameter 13 (default 0.5)\n"
    "  --highlight-curve X      parameter 14 (default 0.0; the demo uses 0.2)\n"
    "  --plugin PATH            the plug-in to load (default: the one built beside trob)\n"
    "  -h, --help               show this text\n";

struct Options {
    std::optional<std::string> file;
    std::optional<std::string> csv;
    bool json = false;
    std::optional<double> rate;
    int block = 512;
    AnalyserSettings settings;
    std::optional<std::string> plugin;
};

int usageError(const std::string& message) {
    std::fprintf(stderr, "trob: %s\n(try 'trob --help')\n", message.c_str());
    return kUsageError;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "trob: %s\n", message.c_str());
    return kFailure;
}

bool parseNumber(const char* text, double& value) {
    if (!text || !*text) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return errno == 0 && end && *end == 0 && std::isfinite(value);
}

bool fileExists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// The plug-in built beside this program: first where the build put it, then relative to the
// running executable (tools/ sits one level below the plug-in in the build tree).
std::string defaultPlugin() {
    if (fileExists(TROB_DEFAULT_PLUGIN)) return TROB_DEFAULT_PLUGIN;
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        self[n] = 0;
        std::string dir(self);
        dir = dir.substr(0, dir.rfind('/'));
        for (const char* candidate : {"/../TROBEdit.so", "/TROBEdit.so"})
            if (fileExists(dir + candidate)) return dir + candidate;
    }
    return TROB_DEFAULT_PLUGIN;
}

// Returns 0 when the options are good, else the exit status after printing why.
int parse(int argc, char** argv, Options& o) {
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) return nullptr;
            (void)name;
            return argv[++i];
        };
        auto numberOption = [&](double& out) -> bool {
            const char* v = value(arg.c_str());
            if (!v) return false;
            return parseNumber(v, out);
        };
        double number = 0.0;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return -1;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--csv" || arg == "--plugin") {
            const char* v = value(arg.c_str());
            if (!v || !*v) return usageError(arg + " needs a path");
            (arg == "--csv" ? o.csv : o.plugin) = v;
        } else if (arg == "--rate") {
            if (!numberOption(number) || number < kLowestRate || number > kHighestRate)
                return usageError("--rate needs a sample rate from 1000 to 10000000 Hz");
            o.rate = number;
        } else if (arg == "--block") {
            if (!numberOption(number) || number != std::floor(number) || number < 1 ||
                number > kLargestBlock)
                return usageError("--block needs a whole number of frames from 1 to 1048576");
            o.block = static_cast<int>(number);
        } else if (arg == "--spread-gain" || arg == "--edge-taper" || arg == "--level-curve" ||
                   arg == "--highlight-curve") {
            if (!numberOption(number)) return usageError(arg + " needs a finite number");
            auto& target = arg == "--spread-gain"   ? o.settings.spreadGain
                           : arg == "--edge-taper"  ? o.settings.edgeTaper
                           : arg == "--level-curve" ? o.settings.levelCurve
                                                    : o.settings.highlightCurve;
            target = static_cast<float>(number);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option '" + arg + "'");
        } else if (o.file) {
            return usageError("only one FILE can be analysed at a time");
        } else {
            o.file = arg;
        }
    }
    if (o.file && o.rate) return usageError("--rate applies to the demo signal only");
    o.settings.blockSize = o.block;
    return 0;
}

class ProgressBar {
public:
    explicit ProgressBar(bool shown) : shown(shown) {}
    ~ProgressBar() { finish(); }
    void update(std::int64_t done, std::int64_t total) {
        if (!shown || total <= 0) return;
        const int percent = static_cast<int>(100 * done / total);
        if (percent == last) return;
        last = percent;
        const int filled = percent * 40 / 100;
        std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled,
                     "========================================", 40 - filled, "", percent);
        std::fflush(stderr);
    }
    void finish() {
        if (shown && last >= 0) std::fprintf(stderr, "\r%*s\r", 48, "");
        shown = false;
    }

private:
    bool shown;
    int last = -1;
};

int analyse(Options& o) {
    std::unique_ptr<AudioSource> source;
    AnalysisInfo info;
    if (o.file) {
        auto reader = std::make_unique<AudioFileReader>();
        if (!reader->open(*o.file)) return failure(reader->error());
        if (reader->sampleRate() < kLowestRate || reader->sampleRate() > kHighestRate)
            return failure("'" + *o.file + "' has a sample rate of " +
                           std::to_string(static_cast<long long>(reader->sampleRate())) +
                           " Hz; the analyser measures from 1000 Hz to 10 MHz");
        info.source = *o.file;
        source = std::move(reader);
    } else {
        source = std::make_unique<DemoSignal>(o.rate.value_or(44100.0));
        info.source = "demo signal";
        if (!o.settings.highlightCurve) o.settings.highlightCurve = DemoSignal::kHighlightCurve;
    }
    info.sampleRate = source->sampleRate();
    info.frames = source->frameCount();
    info.blockSize = o.block;

    CsvSeriesWriter csv;
    if (o.csv && !csv.open(*o.csv)) return failure(csv.error());

    BandAnalyser analyser;
    const std::string plugin = o.plugin.value_or(defaultPlugin());
    if (!analyser.load(plugin)) return failure("plug-in not usable: " + analyser.error());

    ProgressBar progress(isatty(STDERR_FILENO) &&
                         info.frames > kProgressAfterSeconds * info.sampleRate);
    MeterReading final;
    const bool ok = analyser.run(
        *source, o.settings,
        [&](const MeterReading& r) {
            if (o.csv) csv.write(r);
        },
        [&](std::int64_t done, std::int64_t total) { progress.update(done, total); }, final);
    progress.finish();
    if (!ok) return failure(*o.file + ": " + analyser.error());
    if (o.csv) {
        csv.write(final);
        if (!csv.close()) return failure(csv.error());
    }

    if (o.json)
        analysis_report::printJson(stdout, final, info);
    else
        analysis_report::printTable(stdout, final, info);
    if (std::fflush(stdout) != 0) return failure("cannot write the report");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return kUsageError;
    }
    const std::string command = argv[1];
    if (command == "-h" || command == "--help" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "render") return renderCommand(argc, argv);
    if (command != "analyse" && command != "analyze")
        return usageError("unknown command '" + command + "'");
    Options options;
    const int status = parse(argc, argv, options);
    if (status < 0) return 0;
    if (status > 0) return status;
    return analyse(options);
}
