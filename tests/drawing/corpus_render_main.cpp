// Renders the drawing corpus into a directory, one PPM picture and one notes file per case.
// Built for the soft raster and, with the Windows presets, for GDI.
// Usage: corpus_render DIRECTORY
#include <cstdio>

#include "platform/module_instance.h"
#include "tests/drawing/corpus.h"

#ifdef _WIN32
#include <windows.h>
#endif

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: corpus_render DIRECTORY\n");
        return 2;
    }
#ifdef _WIN32
    moduleInstance = reinterpret_cast<platform::ModuleHandle>(GetModuleHandleA(nullptr));
#endif
    int failures = 0;
    for (const CorpusCase& c : corpusCases()) {
        if (!writeRendered(argv[1], c.name, renderCase(c))) {
            std::fprintf(stderr, "corpus_render: cannot write %s\n", c.name.c_str());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
