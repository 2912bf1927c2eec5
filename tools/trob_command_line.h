#pragma once
// trob's command line: the options it takes and the parser that reads them, apart from the
// code that runs them (and so something a test or a fuzz target can call on its own).

#include "tools/band_analyser.h"
#include "tools/command_messages.h"
#include "tools/series_summary.h"
#include "tools/trob_options.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace trob {

using options::kHighestRate;
using options::kLowestRate;

// The help of `trob`, `trob analyse` and `trob plot`.
std::string usageText();

enum class Command { Analyse, Plot };

// The checks `--fail-on` names, with their thresholds: a file that fails any makes exit 3.
struct FailOn {
    bool phase = false;
    bool truncated = false;
    bool clip = false;
    bool nan = false;
    bool truePeak = false;
    double truePeakDb = -1.0; // fails above this many dBTP
    bool monoLoss = false;
    double monoLossDb = -6.0; // fails when a band with signal loses more over the file
    bool any() const { return phase || truncated || clip || nan || truePeak || monoLoss; }
};

// Reads "phase,mono-loss=-6,clip,true-peak=-1,nan,truncated" into `failOn`; false with
// `error` set for a name or threshold it does not know.
bool parseFailOn(const std::string& list, FailOn& failOn, std::string& error);

struct Options {
    Command command = Command::Analyse;
    std::vector<std::string> files; // "-": standard input
    // -r DIR: the audio files below DIR go in before files[position].
    std::vector<std::pair<std::size_t, std::string>> folders;
    bool quiet = false; // no progress on stderr
    std::optional<std::string> csv;
    bool json = false;
    // A FILE is reported over its whole length unless `final` asks for the meters' last
    // reading; the demo signal shows its final table unless `summary` asks otherwise.
    bool summary = false;
    bool final = false;
    FailOn failOn;
    PhaseCriteria criteria;
    unsigned jobs = 0;               // 0: one per core
    unsigned threads = 0;            // per file; 0: the cores shared among the files at once
    std::optional<std::string> out;  // plot's picture
    std::optional<std::string> plot; // analyse's picture, drawn from the same run
    int width = 1200;
    std::optional<double> rate;
    int block = 512;
    AnalyserSettings settings;
    std::optional<std::string> plugin;
};

// Whether the outputs asked for fill standard output ("-"), which then carries nothing else:
// no report is printed.
bool outputOnStandardOutput(const Options& options);

// Why the inputs and outputs asked for cannot share standard input and output, or empty when
// they can: standard input read twice, two outputs on standard output, or one there beside a
// report asked for (--json, --summary, --final).
std::string standardStreamConflict(const Options& options);

// Whether a picture's name ends in ".png", in any case.
bool endsWithPng(const std::string& path);

// Prints the message and the hint to --help on stderr; answers the usage exit status.
int usageError(const std::string& message);

// Reads the options after the command word (argv[2] onwards) into `options`, whose `command`
// the caller has set. Answers 0 when they are good, -1 after printing the help text, else the
// exit status after printing why they are not.
int parseCommandLine(int argc, char** argv, Options& options);

} // namespace trob
