// Plug-in files that a host must refuse without crashing. Built twice: once exporting an entry
// that hands out a record without the effect magic, once with no `main` at all.

#include "host/effect_record.h"

#ifdef _WIN32
// A DLL exports what its definition file names (bad_plugin_no_magic.def binds `main` here).
#define TROB_BAD_EXPORT __declspec(dllexport)
#else
#define TROB_BAD_EXPORT __attribute__((visibility("default")))
#endif

#ifdef TROB_BAD_NO_MAIN
extern "C" TROB_BAD_EXPORT int notTheEntry() {
    return 1;
}
#else
namespace {
EffectRecord bogus{};
}
#ifndef _WIN32
extern "C" TROB_BAD_EXPORT EffectRecord* badMain(HostCallback) __asm__("main");
#endif
extern "C" EffectRecord* TROB_CALL badMain(HostCallback) {
    return &bogus;
}
#endif
