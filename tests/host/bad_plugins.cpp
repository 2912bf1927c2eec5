// Plug-in files that a host must refuse without crashing. Built twice: once exporting an entry
// that hands out a record without the effect magic, once with no `main` at all.

#include "host/effect_record.h"

#ifdef TROB_BAD_NO_MAIN
extern "C" __attribute__((visibility("default"))) int notTheEntry() {
    return 1;
}
#else
namespace {
EffectRecord bogus{};
}
extern "C" __attribute__((visibility("default")))
EffectRecord* badMain(HostCallback) __asm__("main");
extern "C" EffectRecord* badMain(HostCallback) {
    return &bogus;
}
#endif
