#pragma once
// A Windows host session with the plug-in's editor: the library loaded as a host loads it,
// audio processed, the editor opened in a top-level window of this program, idle sent from a
// timer while the message loop runs, the window captured, and a knob dragged with real input
// (SendInput) from a second thread while the plug-in's own mouse loop polls it. Everything
// the plug-in asks of the host is written down.

#include <string>

// Idle calls from the timer after the audio, before the window is captured. The bars are
// redrawn in a rhythm of their own across idle calls, so a rendering of the same state
// elsewhere needs the same count.
inline constexpr int kIdlesBeforeCapture = 6;

struct EditorSessionOptions {
    std::string plugin = "TROBEdit.dll";
    std::string outputDir = ".";
    // Interleaved little-endian float32 stereo frames; empty: the built-in demo.
    std::string audioFile;
    double sampleRate = 44100.0;
    // Audio time processed before the window is captured.
    double seconds = 5.0;
    int blockSize = 512;
    bool drag = true;
};

// Runs the session; the result is the program's exit status (0: every step worked). Writes
// into the output folder: window.bmp (the editor after the audio), dragged.bmp (after the
// drag), calls.txt (every host call) and session.txt (what was observed, one fact a line).
int runEditorSession(const EditorSessionOptions& options);
