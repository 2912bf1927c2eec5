#include "tools/default_plugin.h"

#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <vector>

// Where `cmake --install` puts the plug-in, relative to where it puts trob.
#ifndef TROB_INSTALLED_PLUGIN
#define TROB_INSTALLED_PLUGIN "../lib/vst/TROBEdit.so"
#endif

namespace trob {

std::string defaultPlugin(std::string& error) {
    // Relative to the executable, never to the working directory or the loader's search
    // path: a bare "TROBEdit.so" would make dlopen take whatever library of that name the
    // system has.
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        error = "cannot tell where trob runs from to find its plug-in; name it with --plugin PATH";
        return {};
    }
    self[n] = 0;
    const std::filesystem::path dir = std::filesystem::path(self).parent_path();
    // In the build tree trob sits in tools/, one level below the plug-in.
    const std::vector<std::filesystem::path> candidates = {
        dir / ".." / "TROBEdit.so", dir / TROB_INSTALLED_PLUGIN, dir / "TROBEdit.so"};
    std::string looked;
    for (const auto& candidate : candidates) {
        const std::filesystem::path path = candidate.lexically_normal();
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) return path.string();
        looked += (looked.empty() ? "" : ", ") + path.string();
    }
    error = "no plug-in found (looked for " + looked + "); name one with --plugin PATH";
    return {};
}

} // namespace trob
