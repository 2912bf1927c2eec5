// trob: the command-line host. `trob analyse [FILE]` runs a file (or the demo signal) through
// the analyser plug-in exactly as a host does and prints what its meters show.

#include "tools/analysis_report.h"
#include "tools/audio_file_reader.h"
#include "tools/audio_inputs.h"
#include "tools/band_analyser.h"
#include "tools/batch_progress.h"
#include "tools/csv_series_writer.h"
#include "tools/default_plugin.h"
#include "tools/delivery_checks.h"
#include "tools/demo_signal.h"
#include "tools/file_plot.h"
#include "tools/interrupt_cleanup.h"
#include "tools/number_text.h"
#include "tools/output_file.h"
#include "tools/progress_bar.h"
#include "tools/render_command.h"
#include "tools/series_summary.h"
#include "tools/trob_command_line.h"
#include "tools/view_command.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace trob;

namespace {

// --fail-on: a file was analysed but did not pass.
constexpr int kFailedCheck = 3;
// Files shorter than this finish before a progress bar would be worth drawing.
constexpr double kProgressAfterSeconds = 5.0;

int failure(const std::string& message) {
    return trob::failure("trob", message);
}

// How messages name an input: standard input in words, a file in quotes.
std::string named(const std::string& file) {
    return isStandardStream(file) ? "standard input" : "'" + file + "'";
}

void warn(const std::string& message) {
    std::fprintf(stderr, "trob: warning: %s\n", message.c_str());
}

// What one file's analysis left: its report (text or one JSON object), or why it failed.
struct FileResult {
    std::string report;
    std::string error;
    std::string warning;
    bool failed = false;
    std::vector<std::string> failedChecks; // the --fail-on checks it failed, and why
};

// Collects what the analysis functions print into a string.
class TextBuffer {
public:
    TextBuffer() : file(open_memstream(&data, &size)) {}
    ~TextBuffer() {
        if (file) std::fclose(file);
        std::free(data);
    }
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;
    std::FILE* stream() const { return file; }
    bool ok() const { return file != nullptr; }
    std::string take() {
        if (!file || std::fflush(file) != 0) return {};
        return std::string(data, size);
    }

private:
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* file;
};

// One run of the plug-in over one source: the readings go to the summary (and the CSV, and
// `onPoll`), the final reading and the summary come back.
struct Analysis {
    AnalysisInfo info;
    std::string warning; // for stderr: the file ended before its header said it would
    MeterReading final;
    FileSummary summary;
    DeliveryFacts delivery;
};

using ReadingSink = std::function<void(const MeterReading&)>;

// False with `error` set when the source cannot be read or the plug-in not used. `threads`:
// how many the run of this file uses. The progress bar is drawn when `progressShown`;
// `onProgress` hears of the progress either way.
bool runAnalysis(const Options& o, const std::optional<std::string>& file, unsigned threads,
                 bool progressShown, const BandAnalyser::ProgressListener& onProgress,
                 const ReadingSink& onPoll, Analysis& a, std::string& error) {
    std::unique_ptr<AudioSource> source;
    AudioFileReader* fileReader = nullptr;
    AnalyserSettings settings = o.settings;
    if (file) {
        auto reader = std::make_unique<AudioFileReader>();
        if (!reader->open(*file)) {
            error = reader->error();
            return false;
        }
        if (reader->sampleRate() < kLowestRate || reader->sampleRate() > kHighestRate) {
            error = named(*file) + " has a sample rate of " +
                    std::to_string(static_cast<long long>(reader->sampleRate())) +
                    " Hz; the analyser measures from 1000 Hz to 10 MHz";
            return false;
        }
        a.info.source = *file;
        fileReader = reader.get();
        source = std::move(reader);
    } else {
        source = std::make_unique<DemoSignal>(o.rate.value_or(44100.0));
        a.info.source = "demo signal";
        if (!settings.highlightCurve) settings.highlightCurve = DemoSignal::kHighlightCurve;
    }
    a.info.sampleRate = source->sampleRate();
    a.info.blockSize = o.block;

    CsvSeriesWriter csv;
    if (o.csv && !csv.open(*o.csv)) {
        error = csv.error();
        return false;
    }
    // One plug-in instance per file, as a host gives each track its own.
    const std::string plugin = o.plugin ? *o.plugin : defaultPlugin(error);
    if (plugin.empty()) return false;
    BandAnalyser analyser;
    if (!analyser.load(plugin) || !analyser.measureLevels()) {
        error = "plug-in not usable: " + analyser.error();
        return false;
    }
    ProgressBar progress(progressShown && static_cast<double>(source->frameCount()) >
                                              kProgressAfterSeconds * a.info.sampleRate);
    DeliveryChecks checks;
    if (!checks.start(fileReader ? fileReader->channels() : 2, a.info.sampleRate)) {
        error = "cannot measure loudness at " + std::to_string(a.info.sampleRate) + " Hz";
        return false;
    }
    // The delivery checks hear every block as it is read, beside the plug-in's instances.
    analyser.tapAudio([&](const float* left, const float* right, std::int64_t frames) {
        checks.add(left, right, frames);
    });
    analyser.setThreads(threads);
    SeriesSummary summary(o.criteria);
    const bool ok = analyser.run(
        *source, settings,
        [&](const MeterReading& r) {
            summary.add(r);
            if (o.csv) csv.write(r);
            if (onPoll) onPoll(r);
        },
        [&](std::int64_t done, std::int64_t total) {
            progress.update(done, total);
            if (onProgress) onProgress(done, total);
        },
        a.final);
    progress.finish();
    if (!ok) {
        error = a.info.source + ": " + analyser.error();
        return false;
    }
    // What is reported is what was read, whatever the header promised.
    a.info.frames = analyser.framesProcessed();
    if (fileReader && a.info.frames == 0) {
        error = named(a.info.source) + " holds no audio frames";
        return false;
    }
    if (fileReader && fileReader->truncated()) {
        a.info.truncated = true;
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f",
                      static_cast<double>(a.info.frames) / a.info.sampleRate);
        a.warning = named(a.info.source) +
                    " is cut short: its data ends before the length its header gives; analysed "
                    "the " +
                    std::to_string(a.info.frames) + " frames (" + seconds + " s) it holds";
    }
    a.delivery = checks.finish(a.info.truncated);
    summary.add(a.final);
    if (onPoll) onPoll(a.final);
    a.summary = summary.finish(a.final.time);
    if (o.csv) {
        csv.write(a.final);
        if (!csv.commit()) {
            error = csv.error();
            return false;
        }
    }
    return true;
}

std::string decibels(double db, const char* unit) {
    char text[48];
    if (std::isfinite(db))
        std::snprintf(text, sizeof text, "%.1f %s", db, unit);
    else
        std::snprintf(text, sizeof text, "-inf %s", unit);
    return text;
}

// The --fail-on checks the file fails, each with its reason.
std::vector<std::string> failedChecks(const FailOn& f, const Analysis& a) {
    std::vector<std::string> out;
    const DeliveryFacts& d = a.delivery;
    if (f.phase && !a.summary.phaseRanges.empty())
        out.push_back("phase: " + std::to_string(a.summary.phaseRanges.size()) +
                      " phase problem(s), the first from " +
                      analysis_report::clockText(a.summary.phaseRanges[0].start));
    if (f.monoLoss) {
        // The band that loses most; of several at the floor, the loudest.
        int worst = -1;
        auto level = [&](int k) {
            return analysis_report::meanLevelDb(static_cast<float>(a.summary.bands[k].leftDb),
                                                static_cast<float>(a.summary.bands[k].rightDb));
        };
        for (int k = 0; k < kAnalysedBands; ++k) {
            const double loss = a.summary.bands[k].monoLossDb;
            if (!(loss < f.monoLossDb)) continue;
            if (worst < 0 || loss < a.summary.bands[worst].monoLossDb ||
                (loss == a.summary.bands[worst].monoLossDb && level(k) > level(worst)))
                worst = k;
        }
        if (worst >= 0)
            out.push_back("mono-loss: the " + analysis_report::bandName(worst) + " band loses " +
                          decibels(-a.summary.bands[worst].monoLossDb, "dB") +
                          " summed to mono (limit " + decibels(-f.monoLossDb, "dB") + ")");
    }
    if (f.clip && d.clippedSamples > 0)
        out.push_back("clip: " + std::to_string(d.clippedSamples) + " clipped samples in " +
                      std::to_string(d.clipRuns) + " run(s)");
    if (f.truePeak && d.truePeakDb > f.truePeakDb)
        out.push_back("true-peak: " + decibels(d.truePeakDb, "dBTP") + " is above " +
                      decibels(f.truePeakDb, "dBTP"));
    if (f.nan && d.nonFiniteSamples > 0)
        out.push_back("nan: " + std::to_string(d.nonFiniteSamples) +
                      " samples are NaN or infinite");
    if (f.truncated && d.truncated)
        out.push_back("truncated: the file ends before the length its header gives");
    return out;
}

// The delivery facts as JSON members, to stand before the object's closing brace.
std::string deliveryJson(const DeliveryFacts& d, const std::vector<std::string>& failed) {
    auto number = [](double v) {
        return std::isfinite(v) ? number_text::json(static_cast<float>(v)) : std::string("null");
    };
    auto list = [&](const std::vector<double>& values) {
        std::string text;
        for (double v : values)
            text += (text.empty() ? "" : ", ") + number(v);
        return "[" + text + "]";
    };
    std::string reasons;
    for (const std::string& r : failed)
        reasons += (reasons.empty() ? "" : ", ") + analysis_report::jsonString(r);
    return ",\n  \"delivery\": {\"duration_s\": " + number(d.seconds) +
           ", \"channels\": " + std::to_string(d.channels) +
           ", \"sample_peak_dbfs\": " + list(d.samplePeakDb) +
           ", \"true_peak_dbtp\": " + number(d.truePeakDb) +
           ", \"integrated_lufs\": " + number(d.integratedLufs) +
           ", \"loudness_range_lu\": " + number(d.loudnessRangeLu) +
           ", \"clipped_samples\": " + std::to_string(d.clippedSamples) +
           ", \"clip_runs\": " + std::to_string(d.clipRuns) +
           ", \"dc_offset\": " + list(d.dcOffset) +
           ", \"non_finite_samples\": " + std::to_string(d.nonFiniteSamples) +
           ", \"truncated\": " + (d.truncated ? "true" : "false") + "},\n  \"failed_checks\": [" +
           reasons + "]";
}

std::string deliveryText(const DeliveryFacts& d, const std::vector<std::string>& failed) {
    auto perChannel = [](const std::vector<double>& v, const char* format) {
        std::string text;
        char cell[48];
        for (double x : v) {
            std::snprintf(cell, sizeof cell, format, x);
            text += (text.empty() ? "" : " / ") + std::string(cell);
        }
        return text;
    };
    std::string text = "\ndelivery: " + analysis_report::clockText(d.seconds) + ", peak " +
                       perChannel(d.samplePeakDb, "%.1f") + " dBFS, true peak " +
                       decibels(d.truePeakDb, "dBTP") + ", " + decibels(d.integratedLufs, "LUFS") +
                       ", range " + decibels(d.loudnessRangeLu, "LU") + "\n          " +
                       std::to_string(d.clippedSamples) + " clipped samples (" +
                       std::to_string(d.clipRuns) + " runs), DC offset " +
                       perChannel(d.dcOffset, "%.6f") + ", " + std::to_string(d.nonFiniteSamples) +
                       " NaN/Inf samples" + (d.truncated ? ", cut short" : "") + "\n";
    for (const std::string& r : failed)
        text += "fails " + r + "\n";
    return text;
}

FileResult analyseOne(const Options& o, const std::optional<std::string>& file, unsigned threads,
                      bool progressShown,
                      const BandAnalyser::ProgressListener& onProgress = nullptr) {
    FileResult result;
    Analysis a;
    // The picture comes from the same run as the report: the audio is read once.
    std::optional<FilePlot> picture;
    PendingFile png;
    if (o.plot) {
        picture.emplace();
        if (!png.create(*o.plot)) {
            result.failed = true;
            result.error = png.error();
            return result;
        }
    }
    ReadingSink toPicture;
    if (picture) toPicture = [&](const MeterReading& r) { picture->add(r); };
    if (!runAnalysis(o, file, threads, progressShown, onProgress, toPicture, a, result.error)) {
        result.failed = true;
        return result;
    }
    if (picture) {
        if (!picture->draw(a.info, a.summary, o.criteria, o.width)) {
            result.failed = true;
            result.error = picture->error();
            return result;
        }
        if (!picture->write(png.path())) {
            result.failed = true;
            result.error = "cannot write '" + *o.plot + "'";
            return result;
        }
        if (!png.commit()) {
            result.failed = true;
            result.error = png.error();
            return result;
        }
    }
    result.failedChecks = failedChecks(o.failOn, a);
    result.warning = a.warning;
    TextBuffer text;
    if (!text.ok()) {
        result.failed = true;
        result.error = "out of memory";
        return result;
    }
    if (o.summary && o.json)
        analysis_report::printSummaryJson(text.stream(), a.summary, a.info, o.criteria);
    else if (o.summary)
        analysis_report::printSummary(text.stream(), a.summary, a.info, o.criteria);
    else if (o.json)
        analysis_report::printJson(text.stream(), a.final, a.info);
    else
        analysis_report::printTable(text.stream(), a.final, a.info);
    result.report = text.take();
    // The delivery facts close the report: members of the JSON object, lines of the text.
    if (o.json) {
        if (result.report.size() >= 2 &&
            result.report.compare(result.report.size() - 2, 2, "\n}") == 0)
            result.report.insert(result.report.size() - 2,
                                 deliveryJson(a.delivery, result.failedChecks));
    } else {
        result.report += deliveryText(a.delivery, result.failedChecks);
    }
    return result;
}

// The threads one file's run uses when `jobs` files are analysed at once: --threads, or the
// cores shared among the files.
unsigned threadsPerFile(const Options& o, unsigned jobs) {
    if (o.threads) return o.threads;
    return std::max(1u, std::thread::hardware_concurrency() / std::max(1u, jobs));
}

// Analyses every file on `jobs` threads and hands the results to `deliver` in the order the
// files were given, each as soon as it and all before it are done.
void analyseAll(const Options& o, unsigned jobs, BatchProgress& progress,
                const std::function<void(std::size_t, FileResult&)>& deliver) {
    const std::size_t count = o.files.size();
    std::vector<std::optional<FileResult>> results(count);
    std::mutex mutex;
    std::condition_variable ready;
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < count;) {
            FileResult r;
            try {
                r = analyseOne(o, o.files[i], threadsPerFile(o, jobs), false,
                               [&, i](std::int64_t done, std::int64_t total) {
                                   progress.advance(i, done, total);
                               });
            } catch (const std::exception& e) {
                r.failed = true;
                r.error = o.files[i] + ": " + e.what();
            }
            progress.finished(i);
            std::lock_guard lock(mutex);
            results[i] = std::move(r);
            ready.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < jobs; ++t)
        workers.emplace_back(work);
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_lock lock(mutex);
        ready.wait(lock, [&] { return results[i].has_value(); });
        FileResult r = std::move(*results[i]);
        results[i].reset();
        lock.unlock();
        progress.aside([&] { deliver(i, r); });
    }
    for (auto& w : workers)
        w.join();
}

int analyse(const Options& o) {
    // A folder makes a batch however many files it holds: its report is the batch's.
    if (o.files.size() <= 1 && o.folders.empty()) {
        const std::optional<std::string> file =
            o.files.empty() ? std::nullopt : std::optional(o.files[0]);
        FileResult r = analyseOne(o, file, threadsPerFile(o, 1), !o.quiet && isatty(STDERR_FILENO));
        if (r.failed) return failure(r.error);
        if (!r.warning.empty()) warn(r.warning);
        // An output on standard output has it to itself.
        if (!outputOnStandardOutput(o)) {
            std::fputs(r.report.c_str(), stdout);
            if (o.json) std::fputc('\n', stdout);
        }
        if (std::fflush(stdout) != 0) return failure("cannot write the report");
        for (const std::string& why : r.failedChecks)
            std::fprintf(stderr, "trob: %s fails %s\n",
                         file ? named(*file).c_str() : "the demo signal", why.c_str());
        return r.failedChecks.empty() ? 0 : kFailedCheck;
    }

    unsigned jobs = o.jobs ? o.jobs : std::max(1u, std::thread::hardware_concurrency());
    jobs = static_cast<unsigned>(std::min<std::size_t>(jobs, o.files.size()));
    bool anyFailed = false, anyFailedCheck = false;
    if (o.json) std::fputs("[\n", stdout);
    std::fflush(stdout);
    BatchProgress progress(!o.quiet && isatty(STDERR_FILENO), o.files);
    analyseAll(o, jobs, progress, [&](std::size_t i, FileResult& r) {
        if (r.failed) {
            anyFailed = true;
            std::fprintf(stderr, "trob: %s\n", r.error.c_str());
            if (o.json) {
                TextBuffer text;
                if (text.ok()) analysis_report::printErrorJson(text.stream(), o.files[i], r.error);
                r.report = text.take();
            } else {
                r.report = o.files[i] + ": not analysed: " + r.error + "\n";
            }
        }
        if (!r.warning.empty()) warn(r.warning);
        for (const std::string& why : r.failedChecks)
            std::fprintf(stderr, "trob: %s fails %s\n", named(o.files[i]).c_str(), why.c_str());
        anyFailedCheck = anyFailedCheck || !r.failedChecks.empty();
        if (o.json)
            std::fprintf(stdout, "%s%s", i ? ",\n" : "", r.report.c_str());
        else
            std::fprintf(stdout, "%s%s", i ? "\n" : "", r.report.c_str());
        std::fflush(stdout);
    });
    progress.finish();
    if (o.json) std::fputs("\n]\n", stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) return failure("cannot write the report");
    if (anyFailed) return kFailure;
    return anyFailedCheck ? kFailedCheck : 0;
}

int plot(const Options& o) {
    const std::optional<std::string> file =
        o.files.empty() ? std::nullopt : std::optional(o.files[0]);
    FilePlot picture;
    Analysis a;
    std::string error;
    PendingFile png;
    if (!png.create(*o.out)) return failure(png.error());
    if (!runAnalysis(
            o, file, threadsPerFile(o, 1), !o.quiet && isatty(STDERR_FILENO), nullptr,
            [&](const MeterReading& r) { picture.add(r); }, a, error))
        return failure(error);
    if (!a.warning.empty()) warn(a.warning);
    if (!picture.draw(a.info, a.summary, o.criteria, o.width)) return failure(picture.error());
    if (!picture.write(png.path())) return failure("cannot write '" + *o.out + "'");
    if (!png.commit()) return failure(png.error());
    // A picture on standard output has it to itself.
    if (outputOnStandardOutput(o)) return 0;
    if (o.json)
        picture.printLayoutJson(stdout, *o.out);
    else
        std::printf("%s: %d x %d pixels, %s, %zu phase problem%s\n", o.out->c_str(),
                    picture.width(), picture.height(),
                    analysis_report::clockText(a.summary.seconds).c_str(),
                    a.summary.phaseRanges.size(), a.summary.phaseRanges.size() == 1 ? "" : "s");
    if (std::fflush(stdout) != 0) return failure("cannot write the report");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(usageText().c_str(), stderr);
        return kUsageError;
    }
    const std::string command = argv[1];
    if (command == "-h" || command == "--help" || command == "help") {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (command == "--version") {
        std::fputs(versionText("trob").c_str(), stdout);
        return 0;
    }
    // view writes no outputs and ends itself cleanly on a signal.
    if (command == "view") return viewCommand(argc, argv);
    // An interrupted run removes what its outputs had written so far.
    trob::removeTemporariesOnInterrupt();
    if (command == "render") return renderCommand(argc, argv);
    Options options;
    if (command == "plot")
        options.command = Command::Plot;
    else if (command != "analyse" && command != "analyze")
        return usageError("unknown command '" + command + "'");
    const int status = parseCommandLine(argc, argv, options);
    if (status < 0) return 0;
    if (status > 0) return status;
    if (std::string why; !expandFolders(options.files, options.folders, why)) return failure(why);
    std::vector<std::string> inputs = options.files, outputs;
    std::string noPlugin;
    if (const std::string plugin = options.plugin ? *options.plugin : defaultPlugin(noPlugin);
        !plugin.empty())
        inputs.push_back(plugin);
    for (const auto& out : {options.csv, options.out, options.plot})
        if (out) outputs.push_back(*out);
    if (const std::string conflict = outputConflict(inputs, outputs); !conflict.empty())
        return usageError(conflict);
    for (const auto& png : {options.out, options.plot}) {
        // Picture bytes would only garble a terminal.
        if (png && isStandardStream(*png) && isatty(STDOUT_FILENO))
            return usageError("standard output is a terminal; send the picture to a file or a "
                              "pipe ('> plot.png')");
        if (png && !isStandardStream(*png) && !endsWithPng(*png))
            return usageError("the picture '" + *png + "' must have a name ending in .png");
    }
    try {
        return options.command == Command::Plot ? plot(options) : analyse(options);
    } catch (const std::exception& e) {
        return failure(e.what());
    }
}
