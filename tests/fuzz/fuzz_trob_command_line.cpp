// trob's option parser on any arguments: words split at zero bytes, the first choosing the
// command. A command line it accepts holds only values the analysis can run with.

#include "fuzz_common.h"
#include "tools/file_plot.h"
#include "tools/trob_command_line.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

bool finiteOrUnset(const std::optional<float>& v) {
    return !v || std::isfinite(*v);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> words{"trob", "analyse"};
    trob::Options options;
    if (size > 0 && (data[0] & 1)) {
        words[1] = "plot";
        options.command = trob::Command::Plot;
    }
    std::string word;
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(static_cast<char>(data[i]));
        }
    }
    if (size > 1) words.push_back(word);
    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    const int status = trob::parseCommandLine(static_cast<int>(words.size()), argv.data(), options);
    if (status != 0 && status != -1 && status != trob::kUsageError)
        fuzz::fail("exit status", status);
    if (status != 0) return 0;
    const auto& s = options.settings;
    if (options.block < 1 || options.block > (1 << 20) || s.blockSize != options.block)
        fuzz::fail("block size", options.block);
    if (options.jobs > 256) fuzz::fail("jobs", options.jobs);
    if (options.width < FilePlot::kNarrowest || options.width > FilePlot::kWidest)
        fuzz::fail("width", options.width);
    if (options.rate &&
        !(*options.rate >= trob::kLowestRate && *options.rate <= trob::kHighestRate))
        fuzz::fail("rate", *options.rate);
    if (options.rate && !options.files.empty()) fuzz::fail("rate with files");
    if (options.rate && !options.folders.empty()) fuzz::fail("rate with folders");
    // Standard input read once at most; nothing else on standard output beside an output there.
    if (!trob::standardStreamConflict(options).empty()) fuzz::fail("standard streams");
    if (!(options.criteria.threshold >= 0.0f && options.criteria.threshold <= 1.0f) ||
        !(options.criteria.minDuration >= 0.0) || !std::isfinite(options.criteria.minDuration))
        fuzz::fail("phase criteria");
    if (!finiteOrUnset(s.spreadGain) || !finiteOrUnset(s.edgeTaper) ||
        !finiteOrUnset(s.levelCurve) || !finiteOrUnset(s.highlightCurve))
        fuzz::fail("parameter not finite");
    if ((options.csv && options.csv->empty()) || (options.out && options.out->empty()) ||
        (options.plugin && options.plugin->empty()))
        fuzz::fail("empty path accepted");
    if (options.command == trob::Command::Plot ? !options.out || options.files.size() > 1
                                               : options.out.has_value())
        fuzz::fail("plot and --out");
    return 0;
}
