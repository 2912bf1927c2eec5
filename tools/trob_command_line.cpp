#include "tools/trob_command_line.h"

#include "tools/file_plot.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace trob {

namespace {

constexpr double kMostJobs = 256;

constexpr int kLargestBlock = 1 << 20;

} // namespace

const char* const kUsage =
    "usage: trob analyse [FILE...] [options]\n"
    "       trob plot [FILE] --out PATH.png [options]\n"
    "       trob render [FILE] [options]   (the editor's window; trob render --help)\n"
    "       trob view [FILE] [options]     (the editor live in a window; trob view --help)\n"
    "\n"
    "analyse runs each FILE (any format libsndfile reads: WAV, FLAC, AIFF, Ogg, ...; mono or\n"
    "stereo) through the TROBEdit analyser and prints, per third-octave band from 20 kHz down\n"
    "to 25 Hz, what its meters showed over the whole file and the time ranges in which bands\n"
    "are out of phase; --final prints what they show at the end instead. Several files are\n"
    "analysed in parallel and reported in the order given. One run of the audio feeds every\n"
    "output asked for (the report, --csv and --plot).\n"
    "plot draws the whole file as one picture: balance and level above, spread beneath.\n"
    "Without FILE both use a built-in ten-second demo signal, whose report is the final one\n"
    "unless --summary is given.\n"
    "\n"
    "Per band it reports the left, right and mid (L+R)/2 levels in dB relative to a full-scale\n"
    "sine at the band's centre (measured from +3 to -53 dB by more instances of the plug-in,\n"
    "calibrated with such a sine), and the mono loss: how many dB the band loses summed to\n"
    "mono (0 for identical channels, about -3 for unrelated ones, -60 when they cancel). A\n"
    "band whose louder channel is below -50 dB has no signal: no balance, spread or mono loss\n"
    "(null in JSON, empty in CSV, a dash in the table), and it is never out of phase. The\n"
    "meters' 0..1 display values (balance, level, spread, taper, highlight) keep their names.\n"
    "\n"
    "options:\n"
    "  --final                  the meters' last reading instead of the whole file\n"
    "  --summary                the whole file (the default for a FILE; for the demo signal)\n"
    "  --json                   print JSON instead of text (an array for several files)\n"
    "  --csv PATH               write the whole time series (every 1/30 s) as CSV (one FILE)\n"
    "  --plot PATH.png          analyse: also draw the whole file as trob plot does (one FILE)\n"
    "  --phase-threshold X      a band is out of phase while its spread is above X (0.6)\n"
    "  --min-duration S         ...for at least S seconds (0.5)\n"
    "  --fail-on LIST           exit with status 3 when any file fails one of the checks in\n"
    "                           LIST, separated by commas: phase (a phase problem),\n"
    "                           mono-loss[=DB] (a band with signal loses more than DB summed\n"
    "                           to mono over the file; -6, from -60 to 0), clip (clipped\n"
    "                           samples), true-peak[=DBTP] (a true peak above DBTP; -1, from\n"
    "                           -60 to 20), nan (NaN or infinite samples), truncated (the\n"
    "                           file ends before the length its header gives; such a file is\n"
    "                           analysed as far as it goes, with a warning)\n"
    "  --fail-on-phase          the same as --fail-on phase\n"
    "  --fail-on-truncated      the same as --fail-on truncated\n"
    "  -j, --jobs N             analyse N files at a time (default: the number of cores)\n"
    "  --threads N              threads per file, 1 to 256 (default: the cores shared among\n"
    "                           the files analysed at once, at least 1 each); a file's plug-in\n"
    "                           instances and loudness run side by side, with the same results\n"
    "                           as on one thread\n"
    "  --out PATH.png           plot: the PNG file to write\n"
    "  --width N                the picture's width in pixels (480 to 8000, default 1200)\n"
    "  --rate HZ                sample rate of the demo signal (default 44100)\n"
    "  --block N                frames per processing block (default 512)\n"
    "  --spread-gain X          parameter 11, 0 to 100 (default 1.0)\n"
    "  --edge-taper X           parameter 12, 0 to 1 (default 1.0)\n"
    "  --level-curve X          parameter 13, 0 to 1 (default 0.5)\n"
    "  --highlight-curve X      parameter 14, 0 to 1 (default 0.0; the demo uses 0.2)\n"
    "  --plugin PATH            the plug-in to load (default: the build's or the installed one)\n"
    "  -h, --help               show this text\n"
    "\n"
    "No output replaces an input, and none may have an audio file's name (.wav, .flac, ...).\n"
    "Outputs appear only when the run succeeds. A file without audio frames is an error.\n"
    "\n"
    "Every FILE is also checked for delivery: duration, sample peak per channel (dBFS), true\n"
    "peak (dBTP), integrated loudness (LUFS) and loudness range (LU) after EBU R 128, clipped\n"
    "samples (2 or more in a row at full scale, |x| >= 32767/32768), DC offset per channel\n"
    "(the mean sample, of full scale), NaN and infinite samples, and whether it was cut short.\n"
    "\n"
    "exit status: 0 when all went well, 1 when any file could not be analysed, 2 for a\n"
    "usage error, 3 when a file fails a --fail-on check (and none failed to be analysed);\n"
    "the reasons go to stderr and to the JSON's \"failed_checks\".\n";

bool parseFailOn(const std::string& list, FailOn& o, std::string& error) {
    std::stringstream items(list);
    for (std::string item; std::getline(items, item, ',');) {
        const auto equals = item.find('=');
        const std::string name = item.substr(0, equals);
        const bool hasValue = equals != std::string::npos;
        double value = 0.0;
        if (hasValue && !parseNumber(item.substr(equals + 1).c_str(), value)) {
            error = "--fail-on " + name + " needs a number after '=', not '" +
                    item.substr(equals + 1) + "'";
            return false;
        }
        if (name == "true-peak" || name == "mono-loss") {
            const bool peak = name == "true-peak";
            if (hasValue && (peak ? value < -60.0 || value > 20.0 : value < -60.0 || value > 0.0)) {
                error = peak ? "--fail-on true-peak=X needs X from -60 to 20 dBTP"
                             : "--fail-on mono-loss=X needs X from -60 to 0 dB";
                return false;
            }
            (peak ? o.truePeak : o.monoLoss) = true;
            if (hasValue) (peak ? o.truePeakDb : o.monoLossDb) = value;
            continue;
        }
        if (hasValue) {
            error = "--fail-on " + name + " takes no threshold";
            return false;
        }
        if (name == "phase") {
            o.phase = true;
        } else if (name == "truncated") {
            o.truncated = true;
        } else if (name == "clip") {
            o.clip = true;
        } else if (name == "nan") {
            o.nan = true;
        } else {
            error = "--fail-on knows phase, mono-loss[=DB], clip, true-peak[=DBTP], nan and "
                    "truncated, not '" +
                    name + "'";
            return false;
        }
    }
    return true;
}

// In any case: ".PNG" is a PNG too.
bool endsWithPng(const std::string& path) {
    if (path.size() < 4) return false;
    std::string end = path.substr(path.size() - 4);
    for (char& c : end)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return end == ".png";
}

int usageError(const std::string& message) {
    return usageError("trob", message);
}

int parseCommandLine(int argc, char** argv, Options& o) {
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        auto numberOption = [&](double& out) -> bool {
            const char* v = value();
            return v && parseNumber(v, out);
        };
        auto wholeOption = [&](double& out, double lowest, double highest) -> bool {
            return numberOption(out) && out == std::floor(out) && out >= lowest && out <= highest;
        };
        double number = 0.0;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return -1;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--summary") {
            o.summary = true;
        } else if (arg == "--final") {
            o.final = true;
        } else if (arg == "--fail-on-phase") {
            o.failOn.phase = true;
        } else if (arg == "--fail-on-truncated") {
            o.failOn.truncated = true;
        } else if (arg == "--fail-on") {
            const char* v = value();
            if (!v || !*v) return usageError("--fail-on needs a list of checks");
            if (std::string why; !parseFailOn(v, o.failOn, why)) return usageError(why);
        } else if (arg == "--csv" || arg == "--plugin" || arg == "--out" || arg == "--plot") {
            const char* v = value();
            if (!v || !*v) return usageError(arg + " needs a path");
            (arg == "--csv"    ? o.csv
             : arg == "--out"  ? o.out
             : arg == "--plot" ? o.plot
                               : o.plugin) = v;
        } else if (arg == "--rate") {
            if (!numberOption(number) || number < kLowestRate || number > kHighestRate)
                return usageError("--rate needs a sample rate from 1000 to 10000000 Hz");
            o.rate = number;
        } else if (arg == "--block") {
            if (!wholeOption(number, 1, kLargestBlock))
                return usageError("--block needs a whole number of frames from 1 to 1048576");
            o.block = static_cast<int>(number);
        } else if (arg == "-j" || arg == "--jobs") {
            if (!wholeOption(number, 1, kMostJobs))
                return usageError(arg + " needs a whole number of files from 1 to 256");
            o.jobs = static_cast<unsigned>(number);
        } else if (arg == "--threads") {
            if (!wholeOption(number, 1, kMostJobs))
                return usageError("--threads needs a whole number of threads from 1 to 256");
            o.threads = static_cast<unsigned>(number);
        } else if (arg == "--width") {
            if (!wholeOption(number, FilePlot::kNarrowest, FilePlot::kWidest))
                return usageError("--width needs a whole number of pixels from " +
                                  std::to_string(FilePlot::kNarrowest) + " to " +
                                  std::to_string(FilePlot::kWidest));
            o.width = static_cast<int>(number);
        } else if (arg == "--phase-threshold") {
            if (!numberOption(number) || number < 0 || number > 1)
                return usageError("--phase-threshold needs a spread from 0 to 1");
            o.criteria.threshold = static_cast<float>(number);
        } else if (arg == "--min-duration") {
            if (!numberOption(number) || number < 0)
                return usageError("--min-duration needs a time in seconds, 0 or more");
            o.criteria.minDuration = number;
        } else if (o.settings.parameterOption(arg)) {
            std::string why = arg + " needs a finite number";
            if (!numberOption(number) || !o.settings.setParameterOption(arg, number, why))
                return usageError(why);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option '" + arg + "'");
        } else {
            o.files.push_back(arg);
        }
    }
    if (!o.files.empty() && o.rate) return usageError("--rate applies to the demo signal only");
    if (o.csv && o.files.size() > 1) return usageError("--csv takes the series of one FILE");
    if (o.command == Command::Plot) {
        if (o.files.size() > 1) return usageError("plot draws one FILE at a time");
        if (!o.out) return usageError("plot needs --out PATH.png");
        if (o.summary || o.final || o.csv || o.plot || o.failOn.any())
            return usageError("--summary, --final, --csv, --plot and the --fail-on checks "
                              "belong to analyse");
    } else {
        if (o.out) return usageError("--out belongs to plot; analyse draws with --plot PATH.png");
        if (o.plot && o.files.size() > 1) return usageError("--plot draws one FILE");
        if (o.summary && o.final) return usageError("--summary and --final exclude each other");
        o.summary = !o.final && (o.summary || !o.files.empty());
    }
    o.settings.blockSize = o.block;
    return 0;
}

} // namespace trob
