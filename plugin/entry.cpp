// The library's one exported entry and its load hook.

#include "host/host_boundary.h"
#include "host/module.h"
#include "host/opcodes.h"
#include "platform/module_instance.h"
#include "plugin/meter_effect_with_editor.h"

#include <new>

#ifdef _WIN32
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID) {
    moduleInstance = reinterpret_cast<platform::ModuleHandle>(instance);
    return TRUE;
}
#else
#include <dlfcn.h>

namespace {
// The shared object's counterpart of the load notification: find our own module's handle.
__attribute__((constructor)) void recordModuleInstance() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&recordModuleInstance), &info))
        moduleInstance = static_cast<platform::ModuleHandle>(info.dli_fbase);
}
} // namespace
#endif

// Exported as the undecorated symbol `main` (a version script on ELF, the .def file on
// Windows); C++ reserves that name, so the function carries its own.
#ifdef _WIN32
extern "C" EffectRecord* TROB_CALL pluginMain(HostCallback hostCallback);
#else
extern "C" __attribute__((visibility("default"))) EffectRecord*
pluginMain(HostCallback hostCallback) __asm__("main");
#endif

extern "C" EffectRecord* TROB_CALL pluginMain(HostCallback hostCallback) {
    if (!hostCallback) return nullptr;
    return answerHostCall([&]() -> EffectRecord* {
        if (hostCallback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
        auto* effect = new (std::nothrow) MeterEffectWithEditor(hostCallback);
        if (!effect) return nullptr;
        if (editorCreationFailed) {
            delete effect;
            return nullptr;
        }
        return effect->getRecord();
    });
}
