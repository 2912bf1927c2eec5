// `trob_windows editor [options]`: an editor session (tools/windows_host/editor_session.h)
// against a TROBEdit.dll.
#include "tools/windows_host/editor_command.h"

#include "tools/windows_host/editor_session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr, "usage: trob_windows editor [--plugin DLL] [--out DIR] [--audio RAW.f32]\n"
                         "                           [--rate HZ] [--seconds S] [--block FRAMES]\n"
                         "                           [--no-drag]\n");
    return 2;
}

bool number(const char* text, double& out) {
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0';
}

} // namespace

int runEditorCommand(int argc, char** argv) {
    EditorSessionOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        double value = 0.0;
        if (option == "--no-drag") {
            options.drag = false;
        } else if (option == "--plugin" && hasValue) {
            options.plugin = argv[++i];
        } else if (option == "--out" && hasValue) {
            options.outputDir = argv[++i];
        } else if (option == "--audio" && hasValue) {
            options.audioFile = argv[++i];
        } else if (option == "--rate" && hasValue && number(argv[++i], value) && value >= 1000.0) {
            options.sampleRate = value;
        } else if (option == "--seconds" && hasValue && number(argv[++i], value) && value >= 0.0) {
            options.seconds = value;
        } else if (option == "--block" && hasValue && number(argv[++i], value) && value >= 1.0 &&
                   value <= 8192.0) {
            options.blockSize = static_cast<int>(value);
        } else {
            return usage();
        }
    }
    return runEditorSession(options);
}
