// A host that uses fontconfig itself, as toolkit-based hosts do: it holds a font list from
// before the plug-in is loaded until it exits, and meanwhile loads TROBEdit.so, opens its
// editor (which draws text), idles it, closes it and unloads the library. The process must
// end with status 0: whatever the plug-in did with fontconfig may not tear down what the host
// still holds, at unload or at exit.
//
// Usage: fontconfig_host [--host-tidies]
//   --host-tidies  the host releases its list and calls FcFini itself before it exits, which
//                  fontconfig allows only when nobody else still holds a reference.

#include "host/opcodes.h"
#include "tools/plugin_host.h"

#include <fontconfig/fontconfig.h>

#include <X11/Xlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Held in a global, as a host's font cache is, so that it is still reachable at exit.
FcFontSet* held = nullptr;

int fail(const char* what) {
    std::fprintf(stderr, "fontconfig_host: %s\n", what);
    return 1;
}

bool runEditor(Display* display) {
    PluginHost host;
    if (!host.load(TROB_PLUGIN_PATH)) {
        std::fprintf(stderr, "fontconfig_host: %s\n", host.error().c_str());
        return false;
    }
    host.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    host.dispatch(effSetBlockSize, 0, 512);
    host.dispatch(effMainsChanged, 0, 1);

    const Window parent =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 300, 225, 0, 0, 0x808080);
    XMapWindow(display, parent);
    XSync(display, False);
    if (host.dispatch(effEditOpen, 0, 0,
                      reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent))) != 1)
        return false;
    std::vector<float> in(512, 0.25f), out(512);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {out.data(), out.data()};
    for (int i = 0; i < 10; ++i) {
        host.processReplacing(inputs, outputs, 512);
        host.dispatch(effEditIdle);
    }
    host.dispatch(effEditClose);
    host.unload();
    XDestroyWindow(display, parent);
    XSync(display, False);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const bool hostTidies = argc > 1 && std::strcmp(argv[1], "--host-tidies") == 0;
    if (FcInit() != FcTrue) return fail("fontconfig did not start");
    // The fonts for a family sorted by match, as a text toolkit (Pango) keeps them: the set
    // holds the configuration's own patterns, and with them fontconfig's caches.
    FcPattern* wanted = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
    FcConfigSubstitute(nullptr, wanted, FcMatchPattern);
    FcDefaultSubstitute(wanted);
    FcResult result = FcResultNoMatch;
    held = FcFontSort(nullptr, wanted, FcFalse, nullptr, &result);
    FcPatternDestroy(wanted);
    if (!held || held->nfont == 0) return fail("the host found no fonts");

    Display* display = XOpenDisplay(nullptr);
    if (!display) return fail("no X display");
    const bool ran = runEditor(display);
    XCloseDisplay(display);
    if (!ran) return fail("the editor did not open");

    if (hostTidies) {
        FcFontSetDestroy(held);
        FcFini();
    }
    std::printf("fontconfig_host: editor opened and closed, the host's %s\n",
                hostTidies ? "fontconfig released by the host" : "font list held at exit");
    return 0;
}
