#include "tools/trob_command_line.h"

#include "tools/file_plot.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace trob {

namespace {

static_assert(options::kNarrowest == FilePlot::kNarrowest && options::kWidest == FilePlot::kWidest);

const char* const kUsageHead =
    "usage: trob analyse [FILE...] [-r DIR...] [options]\n"
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
    "unless --summary is given. A FILE of '-' is standard input (once), e.g. from a pipe.\n"
    "\n"
    "Per band it reports the left, right and mid (L+R)/2 levels in dB relative to a full-scale\n"
    "sine at the band's centre (measured from +3 to -53 dB by more instances of the plug-in,\n"
    "calibrated with such a sine), and the mono loss: how many dB the band loses summed to\n"
    "mono (0 for identical channels, about -3 for unrelated ones, -60 when they cancel). A\n"
    "band whose louder channel is below -50 dB has no signal: no balance, spread or mono loss\n"
    "(null in JSON, empty in CSV, a dash in the table), and it is never out of phase. The\n"
    "meters' 0..1 display values (balance, level, spread, taper, highlight) keep their names.\n";

const char* const kUsageNotes =
    "No output replaces an input, and none may have an audio file's name (.wav, .flac, ...).\n"
    "Outputs appear only when the run succeeds. A file without audio frames is an error.\n"
    "An output of '-' (--csv -, --plot -, --out -) goes to standard output, which then\n"
    "carries nothing else: no report is printed, and --json, --summary and --final are\n"
    "refused with it, as are two outputs to '-'.\n"
    "\n"
    "Every FILE is also checked for delivery: duration, sample peak per channel (dBFS), true\n"
    "peak (dBTP), integrated loudness (LUFS) and loudness range (LU) after EBU R 128, clipped\n"
    "samples (2 or more in a row at full scale, |x| >= 32767/32768), DC offset per channel\n"
    "(the mean sample, of full scale), NaN and infinite samples, and whether it was cut short.\n"
    "\n"
    "exit status: 0 when all went well, 1 when any file could not be analysed, 2 for a\n"
    "usage error, 3 when a file fails a --fail-on check (and none failed to be analysed);\n"
    "the reasons go to stderr and to the JSON's \"failed_checks\".\n";

} // namespace

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

bool outputOnStandardOutput(const Options& o) {
    for (const auto& out : {o.csv, o.out, o.plot})
        if (out && *out == "-") return true;
    return false;
}

std::string standardStreamConflict(const Options& o) {
    if (std::count(o.files.begin(), o.files.end(), "-") > 1)
        return "standard input ('-') can be read only once";
    std::vector<std::string> onStdout;
    for (const auto& [name, out] :
         {std::pair{"--csv", o.csv}, std::pair{"--out", o.out}, std::pair{"--plot", o.plot}})
        if (out && *out == "-") onStdout.push_back(name);
    if (onStdout.size() > 1)
        return onStdout[0] + " - and " + onStdout[1] +
               " - would both write to standard output; give one of them a file";
    if (onStdout.empty()) return {};
    if (o.json)
        return onStdout[0] + " - fills standard output; --json would print " +
               (o.command == Command::Plot ? "the layout" : "the report") +
               " there too (write the " + (onStdout[0] == "--csv" ? "series" : "picture") +
               " to a file instead)";
    if (o.summary || o.final)
        return onStdout[0] + " - fills standard output, where no report is printed; " +
               (o.summary ? "--summary" : "--final") + " asks for one";
    return {};
}

namespace {

// The options of analyse and plot, bound to `o`. The two share them and their help; what
// belongs to one of them only is refused after reading.
CommandOptions analyseOptions(Options& o) {
    using namespace options;
    const auto failOn = [&o](const OptionValue& v) {
        std::string why;
        return parseFailOn(v.text, o.failOn, why) ? std::string() : why;
    };
    // A folder's files go in where it stands among the FILEs.
    const auto recursive = [&o](const OptionValue& v) {
        o.folders.emplace_back(o.files.size(), v.text);
        return std::string();
    };
    return {"trob",
            kUsageHead,
            kUsageNotes,
            {
                {kFinal, into(o.final)},
                {kSummary, into(o.summary)},
                {kJson, into(o.json)},
                {kCsv, into(o.csv)},
                {kPlot, into(o.plot)},
                {kPhaseThreshold, into(o.criteria.threshold)},
                {kMinDuration, into(o.criteria.minDuration)},
                {kFailOn, failOn},
                {kFailOnPhase, into(o.failOn.phase)},
                {kFailOnTruncated, into(o.failOn.truncated)},
                {kRecursive, recursive},
                {kJobs, into(o.jobs)},
                {kThreads, into(o.threads)},
                {kQuiet, into(o.quiet)},
                {kOut, into(o.out)},
                {kWidth, into(o.width)},
                {kRate, into(o.rate)},
                {kBlock, into(o.block)},
                {kSpreadGain, into(o.settings.spreadGain)},
                {kEdgeTaper, into(o.settings.edgeTaper)},
                {kLevelCurve, into(o.settings.levelCurve)},
                {kHighlightCurve, into(o.settings.highlightCurve)},
                {kPlugin, into(o.plugin)},
            }};
}

} // namespace

std::string usageText() {
    Options unused;
    return helpText(analyseOptions(unused));
}

int parseCommandLine(int argc, char** argv, Options& o) {
    if (const int status = parseOptions(analyseOptions(o), argc, argv, 2, o.files); status != 0)
        return status;
    // A folder may hold any number of files: it makes a batch.
    const bool anyFile = !o.files.empty() || !o.folders.empty();
    const bool batch = o.files.size() > 1 || !o.folders.empty();
    if (anyFile && o.rate) return usageError("--rate applies to the demo signal only");
    if (o.csv && batch) return usageError("--csv takes the series of one FILE");
    if (const std::string why = standardStreamConflict(o); !why.empty()) return usageError(why);
    if (o.command == Command::Plot) {
        if (batch) return usageError("plot draws one FILE at a time");
        if (!o.out) return usageError("plot needs --out PATH.png");
        if (o.summary || o.final || o.csv || o.plot || o.failOn.any())
            return usageError("--summary, --final, --csv, --plot and the --fail-on checks "
                              "belong to analyse");
    } else {
        if (o.out) return usageError("--out belongs to plot; analyse draws with --plot PATH.png");
        if (o.plot && batch) return usageError("--plot draws one FILE");
        if (o.summary && o.final) return usageError("--summary and --final exclude each other");
        o.summary = !o.final && (o.summary || anyFile);
    }
    o.settings.blockSize = o.block;
    return 0;
}

} // namespace trob
