#pragma once
// Every option the trob commands and the Windows test host take, each declared once: a
// command lists the ones it takes (tools/option_table.h). An option that two commands share
// is one entry here, so its name, range, help and messages are the same wherever it is taken.
// The help texts say what an option does; the range and the default are added from the entry.

#include "tools/option_table.h"

namespace trob::options {

// One line an option: the table reads best unwrapped.
// clang-format off

// The rates the analyser measures at; outside them it would keep its last rate.
inline constexpr double kLowestRate = 1000.0;
inline constexpr double kHighestRate = 10000000.0;
// A picture's width in pixels (FilePlot's limits).
inline constexpr int kNarrowest = 480;
inline constexpr int kWidest = 8000;

// What is read, and how it goes through the plug-in.
inline constexpr Option kRate = numberOption("--rate", "HZ", "a sample rate", kLowestRate, kHighestRate, "Hz", "44100", "sample rate of the demo signal");
inline constexpr Option kBlock = wholeOption("--block", "N", "a whole number of frames", 1, 1 << 20, "512", "frames per processing block");
inline constexpr Option kSpreadGain = numberOption("--spread-gain", "X", "a number", 0, 100, "", "1", "parameter 11, the spread gain");
inline constexpr Option kEdgeTaper = numberOption("--edge-taper", "X", "a number", 0, 1, "", "1", "parameter 12, the edge taper");
inline constexpr Option kLevelCurve = numberOption("--level-curve", "X", "a number", 0, 1, "", "0.5", "parameter 13, the level curve");
inline constexpr Option kHighlightCurve = numberOption("--highlight-curve", "X", "a number", 0, 1, "", "0; the demo uses 0.2", "parameter 14, the highlight curve");
inline constexpr Option kPlugin = textOption("--plugin", "PATH", "a path", "the plug-in to load", "the build's or the installed one");

// trob analyse and trob plot.
inline constexpr Option kFinal = flagOption("--final", "the meters' last reading instead of the whole file");
inline constexpr Option kSummary = flagOption("--summary", "the whole file (the default for a FILE; for the demo signal)");
inline constexpr Option kJson = flagOption("--json", "print JSON instead of text (an array for several files)");
inline constexpr Option kCsv = textOption("--csv", "PATH", "a path", "write the whole time series (every 1/30 s) as CSV (one FILE)");
inline constexpr Option kPlot = textOption("--plot", "PATH.png", "a path", "analyse: also draw the whole file as trob plot does (one FILE)");
inline constexpr Option kPhaseThreshold = numberOption("--phase-threshold", "X", "a spread", 0, 1, "", "0.6", "a band is out of phase while its spread is above X");
inline constexpr Option kMinDuration = numberOption("--min-duration", "S", "a time in seconds", 0, kNoLimit, "", "0.5", "...for at least S seconds");
inline constexpr Option kFailOn = textOption("--fail-on", "LIST", "a list of checks",
    "exit with status 3 when any file fails one of the checks in LIST, separated by commas: "
    "phase (a phase problem), mono-loss[=DB] (a band with signal loses more than DB summed to "
    "mono over the file; -6, from -60 to 0), clip (clipped samples), true-peak[=DBTP] (a true "
    "peak above DBTP; -1, from -60 to 20), nan (NaN or infinite samples), truncated (the file "
    "ends before the length its header gives; such a file is analysed as far as it goes, with a "
    "warning)");
inline constexpr Option kFailOnPhase = flagOption("--fail-on-phase", "the same as --fail-on phase");
inline constexpr Option kFailOnTruncated = flagOption("--fail-on-truncated", "the same as --fail-on truncated");
inline constexpr Option kRecursive = textOption("--recursive", "DIR", "a folder", "analyse every audio file below DIR (by extension, in name order, following links; names starting with '.' skipped)", nullptr, 'r');
inline constexpr Option kQuiet = flagOption("--quiet", "no progress on stderr (shown only on a terminal anyway)", 'q');
inline constexpr Option kJobs = wholeOption("--jobs", "N", "a whole number of files", 1, 256, "the number of cores", "analyse N files at a time", 'j');
inline constexpr Option kThreads = wholeOption("--threads", "N", "a whole number of threads", 1, 256, "the cores shared among the files analysed at once, at least 1 each", "threads per file; a file's plug-in instances and loudness run side by side, with the same results as on one thread");
inline constexpr Option kOut = textOption("--out", "PATH.png", "a path", "plot: the PNG file to write");
inline constexpr Option kWidth = wholeOption("--width", "N", "a whole number of pixels", kNarrowest, kWidest, "1200", "the picture's width in pixels");

// trob render.
inline constexpr Option kAt = numberOption("--at", "SECONDS", "a time in seconds", 0, kNoLimit, "", "the end of the audio", "the moment for --out");
inline constexpr Option kPictureScale = wholeOption("--scale", "N", "a whole number", 1, 16, "1", "enlarge every picture N times, nearest neighbour");
inline constexpr Option kFrames = textOption("--frames", "DIR", "a path", "every idle's window as DIR/frame_00000.png, ...");
inline constexpr Option kAnimate = textOption("--animate", "PATH", "a path", "the whole run as an animated PNG at 30 frames per second");

// trob view. Its --scale is the plug-in's own, which shows the editor at most 4 times as large.
inline constexpr Option kMute = flagOption("--mute", "play nothing (the audio still runs at its own speed)");
inline constexpr Option kCapture = flagOption("--capture", "meter the default ALSA capture device instead of a file");
inline constexpr Option kVerbose = flagOption("--verbose", "print the plug-in's automation messages (knob and slider changes) and begin/end of each edit");
inline constexpr Option kEditorScale = wholeOption("--scale", "N", "a whole number", 1, 4, "from the screen, as hosts show it: TROB_SCALE, GDK_SCALE or Xft.dpi", "show the editor enlarged N times");

// trob_windows editor.
inline constexpr Option kAudio = textOption("--audio", "RAW.f32", "a path", "interleaved little-endian float32 stereo frames to run through", "the demo signal");
inline constexpr Option kSeconds = numberOption("--seconds", "S", "a time in seconds", 0, kNoLimit, "", "5", "audio time processed before the window is captured");
inline constexpr Option kOutFolder = textOption("--out", "DIR", "a path", "the folder for window.bmp, dragged.bmp, calls.txt and session.txt", ".");
inline constexpr Option kNoDrag = flagOption("--no-drag", "capture the window without dragging the knob");

// clang-format on

} // namespace trob::options
