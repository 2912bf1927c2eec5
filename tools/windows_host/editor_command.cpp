// `trob_windows editor [options]`: an editor session (tools/windows_host/editor_session.h)
// against a TROBEdit.dll.
#include "tools/windows_host/editor_command.h"

#include "tools/windows_host/editor_session.h"

#include "tools/command_messages.h"
#include "tools/trob_options.h"

#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: trob_windows editor [options]\n"
    "\n"
    "Runs audio through TROBEdit.dll, opens its editor in a top-level window, idles it from a\n"
    "timer, captures the window and drags a knob with real input; writes window.bmp,\n"
    "dragged.bmp, calls.txt and session.txt into the --out folder.\n";

} // namespace

int runEditorCommand(int argc, char** argv) {
    EditorSessionOptions options;
    bool noDrag = false;
    using namespace trob::options;
    const trob::CommandOptions command{
        "trob_windows editor",
        kUsage,
        "",
        {
            {kPlugin, trob::into(options.plugin), "the plug-in DLL to load", "TROBEdit.dll"},
            {kOutFolder, trob::into(options.outputDir)},
            {kAudio, trob::into(options.audioFile)},
            {kRate, trob::into(options.sampleRate), "sample rate of the audio"},
            {kSeconds, trob::into(options.seconds)},
            {kBlock, trob::into(options.blockSize)},
            {kNoDrag, trob::into(noDrag)},
        }};
    std::vector<std::string> files;
    if (const int status = trob::parseOptions(command, argc, argv, 1, files); status != 0)
        return status < 0 ? 0 : status;
    if (!files.empty())
        return trob::usageError(command.name, "takes no FILE: '" + files[0] + "' (--audio?)");
    options.drag = !noDrag;
    return runEditorSession(options);
}
