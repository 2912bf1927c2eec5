#include "tools/view_command.h"

#include "host/editor_base.h"
#include "host/meter_interface.h"
#include "host/opcodes.h"
#include "tools/audio_file_reader.h"
#include "tools/band_analyser.h"
#include "tools/command_messages.h"
#include "tools/default_plugin.h"
#include "tools/demo_signal.h"
#include "tools/playback_settings.h"
#include "tools/plugin_host.h"
#include "tools/trob_options.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Xlib names its key codes as the host interface names its key record.
#define KeyCode XKeyCode
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef KeyCode

namespace {

constexpr int kIdlesPerSecond = 30;

const char* const kUsage =
    "usage: trob view [FILE] [options]\n"
    "\n"
    "Opens the TROBEdit editor in a window of its own, as a host does, and runs FILE (or the\n"
    "built-in demo) through the plug-in in real time, played on the default ALSA device.\n"
    "When the audio ends the plug-in goes on with silence; close the window to end.\n";

const char* const kParameterNames[] = {"SpreadGain", "EdgeTaper", "LevelCurve", "HighlightCurve"};

struct Options {
    std::optional<std::string> file;
    std::optional<double> rate;
    std::optional<int> scale;
    std::string plugin; // empty: the default plug-in
    bool mute = false, capture = false, verbose = false;
    PlaybackSettings settings;
};

int usageError(const std::string& message) {
    return trob::usageError("trob view", message);
}
int failure(const std::string& message) {
    return trob::failure("trob view", message);
}

// The view's own requests may name a window the user has just closed (or another program
// destroyed); such an error is no reason to end, which is what Xlib's default handler does.
int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

// 0 when the options are good, -1 after --help or --version, else the exit status after
// saying why.
int parse(int argc, char** argv, Options& o) {
    using namespace trob::options;
    const trob::CommandOptions command{
        "trob view",
        kUsage,
        "",
        {
            {kMute, trob::into(o.mute)},
            {kCapture, trob::into(o.capture)},
            {kVerbose, trob::into(o.verbose)},
            {kRate, trob::into(o.rate), "sample rate of the demo signal or the capture"},
            {kBlock, trob::into(o.settings.blockSize)},
            {kEditorScale, trob::into(o.scale)},
            {kSpreadGain, trob::into(o.settings.spreadGain)},
            {kEdgeTaper, trob::into(o.settings.edgeTaper)},
            {kLevelCurve, trob::into(o.settings.levelCurve)},
            {kHighlightCurve, trob::into(o.settings.highlightCurve)},
            {kPlugin, trob::into(o.plugin)},
        }};
    std::vector<std::string> files;
    if (const int status = trob::parseOptions(command, argc, argv, 2, files); status != 0)
        return status;
    if (files.size() > 1) return usageError("only one FILE can be viewed at a time");
    if (!files.empty()) o.file = files[0];
    if (o.file && o.capture) return usageError("--capture meters the capture device, not a FILE");
    if (o.file && o.rate) return usageError("--rate applies to the demo signal and the capture");
    return 0;
}

// ALSA prints its own complaints to stderr; the reasons reach the user in trob's words.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

std::atomic<bool> interrupted{false};
void onSignal(int) {
    interrupted = true;
}

// An ALSA stream of interleaved stereo float frames.
class AlsaStream {
public:
    ~AlsaStream() {
        if (pcm) snd_pcm_close(pcm);
    }
    bool open(bool capture, unsigned rate, int blockSize, std::string* error) {
        snd_lib_error_set_handler(&quietAlsa);
        const snd_pcm_stream_t direction =
            capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
        int result = snd_pcm_open(&pcm, "default", direction, 0);
        if (result < 0) {
            pcm = nullptr;
            *error = std::string("cannot open the ALSA ") + (capture ? "capture" : "playback") +
                     " device 'default': " + snd_strerror(result);
            return false;
        }
        const unsigned latency = std::max(50000u, static_cast<unsigned>(3.0e6 * blockSize / rate));
        result = snd_pcm_set_params(pcm, SND_PCM_FORMAT_FLOAT_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 2,
                                    rate, 1, latency);
        if (result < 0) {
            *error = std::string("the ALSA device 'default' takes no stereo float audio at ") +
                     std::to_string(rate) + " Hz: " + snd_strerror(result);
            snd_pcm_close(pcm);
            pcm = nullptr;
            return false;
        }
        return true;
    }
    // Plays or records one block; recovers from under- and overruns.
    bool transfer(float* interleaved, int frames) {
        int done = 0;
        while (done < frames) {
            const snd_pcm_sframes_t n =
                direction() == SND_PCM_STREAM_CAPTURE
                    ? snd_pcm_readi(pcm, interleaved + 2 * done,
                                    static_cast<snd_pcm_uframes_t>(frames - done))
                    : snd_pcm_writei(pcm, interleaved + 2 * done,
                                     static_cast<snd_pcm_uframes_t>(frames - done));
            if (n < 0) {
                if (snd_pcm_recover(pcm, static_cast<int>(n), 1) < 0) return false;
                continue;
            }
            done += static_cast<int>(n);
        }
        return true;
    }
    void drop() {
        if (pcm) snd_pcm_drop(pcm);
    }

private:
    snd_pcm_stream_t direction() const { return snd_pcm_stream(pcm); }
    snd_pcm_t* pcm = nullptr;
};

// The display the view's window lives on; closed when the view ends.
struct DisplayConnection {
    Display* display = nullptr;
    DisplayConnection() = default;
    DisplayConnection(const DisplayConnection&) = delete;
    DisplayConnection& operator=(const DisplayConnection&) = delete;
    ~DisplayConnection() {
        if (display) XCloseDisplay(display);
    }
    bool open(std::string* error) {
        display = XOpenDisplay(nullptr);
        if (!display) {
            const char* name = std::getenv("DISPLAY");
            *error = name && *name ? std::string("cannot open the X display '") + name + "'"
                                   : "no X display: DISPLAY is not set";
            return false;
        }
        XSetErrorHandler(&ignoreXError);
        return true;
    }
};

// What runs through the plug-in: the capture device, a file, or the demo signal.
struct AudioInput {
    std::unique_ptr<AudioSource> source;
    AlsaStream capture;
    double rate = 44100.0;

    bool open(Options& o, std::string* error) {
        rate = o.rate.value_or(44100.0);
        if (o.capture)
            return capture.open(true, static_cast<unsigned>(rate), o.settings.blockSize, error);
        if (o.file) {
            auto reader = std::make_unique<AudioFileReader>();
            if (!reader->open(*o.file)) {
                *error = reader->error();
                return false;
            }
            if (reader->channels() > 2) {
                *error = *o.file + " has " + std::to_string(reader->channels()) +
                         " channels; only mono and stereo files can be viewed";
                return false;
            }
            rate = reader->sampleRate();
            source = std::move(reader);
            return true;
        }
        source = std::make_unique<DemoSignal>(rate);
        if (!o.settings.highlightCurve) o.settings.highlightCurve = DemoSignal::kHighlightCurve;
        return true;
    }
};

// Loads the plug-in, which must be the analyser; false with the reason otherwise.
bool loadAnalyser(Options& o, PluginHost& host, std::string* error) {
    if (o.plugin.empty() && (o.plugin = trob::defaultPlugin(*error)).empty()) return false;
    if (!host.load(o.plugin)) {
        *error = host.error();
        return false;
    }
    return isTrobAnalyser(host, o.plugin, *error);
}

void printEditsOf(PluginHost& host) {
    host.setCallHook([](const HostCall& call) {
        const auto name = [&] {
            return call.index >= meter::kSpreadGain && call.index <= meter::kHighlightCurve
                       ? kParameterNames[call.index - meter::kSpreadGain]
                       : "?";
        };
        if (call.opcode == audioMasterAutomate)
            std::printf("automation: parameter %d (%s) = %.4f\n", call.index, name(),
                        static_cast<double>(call.opt));
        else if (call.opcode == audioMasterBeginEdit)
            std::printf("begin edit: parameter %d (%s)\n", call.index, name());
        else if (call.opcode == audioMasterEndEdit)
            std::printf("end edit: parameter %d (%s)\n", call.index, name());
        else
            return;
        std::fflush(stdout);
    });
}

// The plug-in switched on at the input's rate, with the options' parameters.
void startPlugin(PluginHost& host, const Options& o, double rate) {
    host.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    host.dispatch(effSetBlockSize, 0, o.settings.blockSize);
    host.dispatch(effMainsChanged, 0, 1);
    o.settings.forEachSetParameter(
        [&](std::int32_t index, float value) { host.setParameter(index, value); });
    if (o.verbose) printEditsOf(host);
}

// A top-level window of the editor's size that the user cannot resize, and whose closing the
// window manager announces rather than performs.
struct ViewWindow {
    Window id = 0;
    Atom deleteWindow = 0;

    void create(Display* display, int width, int height, const std::string& title) {
        id = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0,
                                 static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0,
                                 0);
        XStoreName(display, id, title.c_str());
        XSizeHints* hints = XAllocSizeHints();
        if (hints) {
            hints->flags = PMinSize | PMaxSize;
            hints->min_width = hints->max_width = width;
            hints->min_height = hints->max_height = height;
            XSetWMNormalHints(display, id, hints);
            XFree(hints);
        }
        deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display, id, &deleteWindow, 1);
        XSelectInput(display, id, StructureNotifyMask);
        XMapWindow(display, id);
        XSync(display, False);
    }
};

// The audio thread: the input through the plug-in in real time, played when `playing`, else
// paced by the clock (the capture paces itself).
class AudioThread {
public:
    AudioThread(PluginHost& host, AudioInput& input, AlsaStream& playback, bool playing,
                bool capture, int block)
        : host(host), input(input), playback(playback), playing(playing), capture(capture),
          block(block) {}
    ~AudioThread() { stop(); }
    AudioThread(const AudioThread&) = delete;
    AudioThread& operator=(const AudioThread&) = delete;

    void start() {
        thread = std::thread([this] { run(); });
    }
    void stop() {
        running = false;
        if (thread.joinable()) thread.join();
    }
    // The capture broke off: the view ends.
    const std::atomic<bool>& failed() const { return audioFailed; }

private:
    void run() {
        std::vector<float> inL(static_cast<std::size_t>(block)), inR(inL.size()), outL(inL.size()),
            outR(inL.size()), interleaved(2 * inL.size());
        float* in[2] = {inL.data(), inR.data()};
        float* out[2] = {outL.data(), outR.data()};
        const auto blockTime = std::chrono::duration<double>(block / input.rate);
        auto next = std::chrono::steady_clock::now();
        while (running) {
            if (capture) {
                if (!input.capture.transfer(interleaved.data(), block)) {
                    audioFailed = true;
                    return;
                }
                for (int i = 0; i < block; ++i) {
                    inL[static_cast<std::size_t>(i)] = interleaved[2 * static_cast<std::size_t>(i)];
                    inR[static_cast<std::size_t>(i)] =
                        interleaved[2 * static_cast<std::size_t>(i) + 1];
                }
            } else {
                std::int64_t got = input.source->read(inL.data(), inR.data(), block);
                if (got < 0) got = 0; // a read error ends the audio: silence from here
                for (auto i = static_cast<std::size_t>(got); i < inL.size(); ++i)
                    inL[i] = inR[i] = 0.0f;
            }
            host.processReplacing(in, out, block);
            if (playing) {
                for (std::size_t i = 0; i < outL.size(); ++i) {
                    interleaved[2 * i] = outL[i];
                    interleaved[2 * i + 1] = outR[i];
                }
                if (!playback.transfer(interleaved.data(), block)) playing = false;
            } else if (!capture) {
                next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(blockTime);
                std::this_thread::sleep_until(next);
            }
        }
    }

    PluginHost& host;
    AudioInput& input;
    AlsaStream& playback;
    bool playing;
    const bool capture;
    const int block;
    std::atomic<bool> running{true};
    std::atomic<bool> audioFailed{false};
    std::thread thread;
};

// Idles the editor until the window is closed or destroyed, a signal comes or the audio
// fails; true when the window was destroyed (by the window manager or another program).
bool runEventLoop(Display* display, const ViewWindow& window, PluginHost& host,
                  const std::atomic<bool>& audioFailed) {
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    bool windowGone = false;
    const auto period = std::chrono::microseconds(1000000 / kIdlesPerSecond);
    auto nextIdle = std::chrono::steady_clock::now();
    while (!interrupted && !windowGone && !audioFailed) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ClientMessage &&
                static_cast<Atom>(event.xclient.data.l[0]) == window.deleteWindow)
                interrupted = true;
            else if (event.type == DestroyNotify && event.xdestroywindow.window == window.id)
                windowGone = true;
        }
        if (windowGone || interrupted) break;
        host.dispatch(effEditIdle);
        host.clearCalls(); // the host keeps no record over a long session
        nextIdle += period;
        std::this_thread::sleep_until(nextIdle);
    }
    return windowGone;
}

} // namespace

int viewCommand(int argc, char** argv) {
    Options o;
    const int status = parse(argc, argv, o);
    if (status < 0) return 0;
    if (status > 0) return status;

    // The plug-in's X11 home takes its scale from here, as from a user's setting.
    if (o.scale) setenv("TROB_SCALE", std::to_string(*o.scale).c_str(), 1);

    // The plug-in first: a file that is not the analyser ends the run before any window.
    std::string error;
    PluginHost host;
    if (!loadAnalyser(o, host, &error)) return failure(error);

    DisplayConnection x;
    if (!x.open(&error)) return failure(error);
    AudioInput input;
    if (!input.open(o, &error)) return failure(error);

    AlsaStream playback;
    bool playing = false;
    if (!o.mute && !o.capture) {
        playing =
            playback.open(false, static_cast<unsigned>(input.rate), o.settings.blockSize, &error);
        if (!playing)
            std::fprintf(stderr, "trob view: %s; going on without sound\n", error.c_str());
    }
    startPlugin(host, o, input.rate);

    EditorRect* rect = nullptr;
    host.dispatch(effEditGetRect, 0, 0, &rect);
    const int width = rect ? rect->right - rect->left : 0;
    const int height = rect ? rect->bottom - rect->top : 0;
    if (width <= 0 || height <= 0) return failure("the plug-in reports no editor size");

    ViewWindow window;
    window.create(x.display, width, height,
                  "trob view - " + (o.capture ? std::string("capture")
                                    : o.file  ? *o.file
                                              : std::string("demo")));
    if (host.dispatch(effEditOpen, 0, 0,
                      reinterpret_cast<void*>(static_cast<std::uintptr_t>(window.id))) != 1) {
        // Closed before the editor was in it: the user's choice, not a failure.
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(x.display, window.id, &attributes)) return 0;
        XDestroyWindow(x.display, window.id);
        return failure("the plug-in's editor does not open in the window");
    }

    AudioThread audio(host, input, playback, playing, o.capture, o.settings.blockSize);
    audio.start();
    const bool windowGone = runEventLoop(x.display, window, host, audio.failed());
    audio.stop();
    playback.drop();
    host.dispatch(effEditClose);
    if (!windowGone) XDestroyWindow(x.display, window.id);
    host.unload();
    if (audio.failed()) return failure("the ALSA capture stopped");
    return 0;
}
