#include "tools/render_command.h"

#include "platform/png_export.h"
#include "tools/apng_writer.h"
#include "tools/audio_file_reader.h"
#include "tools/command_messages.h"
#include "tools/demo_signal.h"
#include "tools/editor_render.h"
#include "tools/output_file.h"
#include "tools/progress_bar.h"
#include "tools/trob_options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr double kProgressAfterSeconds = 5.0;

const char* const kUsage =
    "usage: trob render [FILE] [options]\n"
    "\n"
    "Plays FILE (or the built-in demo) through the TROBEdit plug-in with its editor open,\n"
    "sending the host's idle call 30 times per second of audio, and writes what the\n"
    "editor's 300 x 225 window shows.\n";

const char* const kNotes =
    "The outputs appear only when the run succeeds; none may replace FILE or have an audio\n"
    "file's name. A FILE cut short is rendered as far as it goes, with a warning. A FILE of\n"
    "'-' is standard input; an --out or --animate of '-' is standard output (one of them).\n";

struct Options {
    std::optional<std::string> file, out, frames, animate;
    std::optional<double> at, rate;
    int scale = 1;
    bool quiet = false;
    RenderSettings settings;
};

int usageError(const std::string& message) {
    return trob::usageError("trob render", message);
}
int failure(const std::string& message) {
    return trob::failure("trob render", message);
}

bool isDirectory(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// 0 when the options are good, -1 after --help or --version, else the exit status after
// saying why.
int parse(int argc, char** argv, Options& o) {
    using namespace trob::options;
    const trob::CommandOptions command{
        "trob render",
        kUsage,
        kNotes,
        {
            {kOut, trob::into(o.out),
             "the window at --at as PNG (editor.png when no other output is asked for)"},
            {kAt, trob::into(o.at)},
            {kQuiet, trob::into(o.quiet),
             "no progress bar on stderr (shown only on a terminal anyway)"},
            {kPictureScale, trob::into(o.scale)},
            {kFrames, trob::into(o.frames)},
            {kAnimate, trob::into(o.animate)},
            {kRate, trob::into(o.rate)},
            {kBlock, trob::into(o.settings.blockSize)},
            {kSpreadGain, trob::into(o.settings.spreadGain)},
            {kEdgeTaper, trob::into(o.settings.edgeTaper)},
            {kLevelCurve, trob::into(o.settings.levelCurve)},
            {kHighlightCurve, trob::into(o.settings.highlightCurve)},
        }};
    std::vector<std::string> files;
    if (const int status = trob::parseOptions(command, argc, argv, 2, files); status != 0)
        return status;
    if (files.size() > 1) return usageError("only one FILE can be rendered at a time");
    if (!files.empty()) o.file = files[0];
    if (o.file && o.rate) return usageError("--rate applies to the demo signal only");
    if (!o.out && !o.frames && !o.animate) o.out = "editor.png";
    if (o.at && !o.out) return usageError("--at chooses the moment for --out; give --out too");
    if (o.frames && !isDirectory(*o.frames))
        return usageError("--frames needs an existing directory: '" + *o.frames + "'");
    std::vector<std::string> outputs;
    for (const auto& out : {o.out, o.animate})
        if (out) outputs.push_back(*out);
    for (const auto& out : {o.out, o.animate})
        if (out && *out == "-" && isatty(STDOUT_FILENO))
            return usageError("standard output is a terminal; send the picture to a file or a "
                              "pipe ('> editor.png')");
    const std::string conflict =
        trob::outputConflict(o.file ? std::vector{*o.file} : std::vector<std::string>{}, outputs);
    if (!conflict.empty()) return usageError(conflict);
    return 0;
}

} // namespace

int renderCommand(int argc, char** argv) {
    Options o;
    const int status = parse(argc, argv, o);
    if (status < 0) return 0;
    if (status > 0) return status;

    // Every output is made under a temporary name first and named when all went well.
    trob::PendingFile still, animated;
    trob::PendingFolder frames;
    if (o.out && !still.create(*o.out)) return failure(still.error());
    if (o.animate && !animated.create(*o.animate)) return failure(animated.error());
    if (o.frames && !frames.create(*o.frames)) return failure(frames.error());

    std::unique_ptr<AudioSource> source;
    AudioFileReader* fileReader = nullptr;
    if (o.file) {
        auto reader = std::make_unique<AudioFileReader>();
        if (!reader->open(*o.file)) return failure(reader->error());
        if (reader->sampleRate() < trob::options::kLowestRate ||
            reader->sampleRate() > trob::options::kHighestRate)
            return failure("'" + *o.file + "' has a sample rate the analyser cannot measure at");
        fileReader = reader.get();
        source = std::move(reader);
    } else {
        source = std::make_unique<DemoSignal>(o.rate.value_or(44100.0));
        if (!o.settings.highlightCurve) o.settings.highlightCurve = DemoSignal::kHighlightCurve;
    }
    const double rate = source->sampleRate();
    const double length = static_cast<double>(source->frameCount()) / rate;
    // The still: the last idle at or before --at (a moment past the end is the end).
    const double stillAt = std::min(o.at.value_or(length), length);
    const double until = (o.frames || o.animate) ? length : stillAt;

    EditorRenderer renderer;
    if (!renderer.open(rate, o.settings)) return failure(renderer.error());

    const int w = EditorRenderer::kWidth * o.scale, h = EditorRenderer::kHeight * o.scale;
    std::unique_ptr<ApngWriter> animation;
    if (o.animate) animation = std::make_unique<ApngWriter>(w, h, 30);
    std::vector<std::uint32_t> stillPicture;
    std::string writeError;
    int frameNumber = 0;
    ProgressBar progress(!o.quiet && isatty(STDERR_FILENO) && until > kProgressAfterSeconds);
    const bool ran = renderer.run(
        *source, until,
        [&](double time, const std::vector<std::uint32_t>& pixels) {
            const auto picture =
                enlarge(pixels, EditorRenderer::kWidth, EditorRenderer::kHeight, o.scale);
            if (o.out && time <= stillAt + 1e-9) stillPicture = picture;
            if (o.frames) {
                char name[32];
                std::snprintf(name, sizeof name, "/frame_%05d.png", frameNumber);
                if (!platform::writePng(frames.path() + name, w, h, picture.data())) {
                    writeError = "cannot write '" + *o.frames + name + "'";
                    return false;
                }
            }
            if (animation && !animation->addFrame(picture.data())) {
                writeError = animation->error();
                return false;
            }
            ++frameNumber;
            return true;
        },
        [&](std::int64_t done, std::int64_t total) { progress.update(done, total); });
    progress.finish();
    if (!writeError.empty()) return failure(writeError);
    if (!ran)
        return failure((o.file ? *o.file : std::string("the demo")) + ": " + renderer.error());
    if (fileReader && fileReader->framesRead() == 0)
        return failure("'" + *o.file + "' holds no audio frames");
    if (fileReader && fileReader->truncated())
        std::fprintf(stderr,
                     "trob render: warning: '%s' is cut short: its data ends before the length "
                     "its header gives; rendered the %lld frames it holds\n",
                     o.file->c_str(), static_cast<long long>(fileReader->framesRead()));
    if (o.out && !platform::writePng(still.path(), w, h, stillPicture.data()))
        return failure("cannot write '" + *o.out + "'");
    if (animation && !animation->finish(animated.path()))
        return failure("cannot write '" + *o.animate + "'");
    for (auto* pending : {&still, &animated})
        if (!pending->path().empty() && !pending->commit()) return failure(pending->error());
    if (o.frames && !frames.commit()) return failure(frames.error());
    return 0;
}
