// trob_windows: the Windows test host. Loads TROBEdit.dll through LoadLibrary (the host
// library, tools/plugin_host) and runs one subcommand; each lives in its own file.

#include "tools/windows_host/analyse_command.h"
#include "tools/windows_host/editor_command.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>

namespace {

struct Subcommand {
    const char* name;
    int (*run)(int argc, char** argv); // argv[0] is the program, then the subcommand's words
    const char* what;
};

constexpr Subcommand kSubcommands[] = {
    {"analyse", runAnalyseCommand,
     "the meter values at the end of the demo or a WAV file, as JSON"},
    {"editor", runEditorCommand,
     "the editor in a top-level window: audio, idle from a timer, a capture, a knob drag"},
};

int usage() {
    std::fprintf(stderr, "usage: trob_windows SUBCOMMAND ...\n");
    for (const Subcommand& s : kSubcommands)
        std::fprintf(stderr, "  %-10s %s\n", s.name, s.what);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // Output as written, with the Linux tools' line ends, so the two compare byte for byte.
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2) return usage();
    for (const Subcommand& s : kSubcommands) {
        if (std::strcmp(argv[1], s.name) != 0) continue;
        argv[1] = argv[0];
        return s.run(argc - 1, argv + 1);
    }
    return usage();
}
