#include "tools/plugin_host.h"

#include "host/opcodes.h"

#include <map>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

using MainProc = EffectRecord*(TROB_CALL*)(HostCallback);

// The callback carries no host pointer: while `main` runs the record does not exist yet, so
// the loading host is known per thread; afterwards each record leads to its host.
thread_local PluginHost* loadingHost = nullptr;
std::mutex registryMutex;
// Hosts make and close plug-in instances on one thread; a host running several instances on
// worker threads takes turns here. Loading and `main` touch the library's process-wide state
// (its load hook, the editor-failure flag), and closing runs the effect's destructor.
std::mutex lifetimeMutex;
std::map<EffectRecord*, PluginHost*>& registry() {
    static std::map<EffectRecord*, PluginHost*> hosts;
    return hosts;
}

void* openLibrary(const std::string& path, std::string& error) {
#ifdef _WIN32
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return reinterpret_cast<void*>(module);
#else
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = "cannot load " + path + ": " + (why ? why : "unknown error");
    }
    return handle;
#endif
}

void* findSymbol(void* library, const char* name) {
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
#else
    return dlsym(library, name);
#endif
}

void closeLibrary(void* library) {
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(library));
#else
    dlclose(library);
#endif
}

} // namespace

PluginHost::~PluginHost() {
    unload();
}

bool PluginHost::load(const std::string& path) {
    unload();
    std::lock_guard turn(lifetimeMutex);
    errorText.clear();
    auto drop = [this] {
        closeLibrary(library);
        library = nullptr;
    };
    library = openLibrary(path, errorText);
    if (!library) return false;

    auto entry = reinterpret_cast<MainProc>(findSymbol(library, "main"));
    if (!entry) {
        errorText = path + " is not a plug-in: it exports no entry `main`";
        drop();
        return false;
    }
    loadingHost = this;
    EffectRecord* fresh = entry(&PluginHost::callback);
    loadingHost = nullptr;
    if (!fresh) {
        errorText = path + ": the plug-in refused to start (`main` returned no effect)";
        drop();
        return false;
    }
    if (fresh->magic != kEffectMagic) {
        errorText = path + ": `main` returned a record without the effect magic";
        drop(); // a record we cannot trust is not closed, only dropped with the library
        return false;
    }
    effect = fresh;
    std::lock_guard lock(registryMutex);
    registry()[effect] = this;
    return true;
}

void PluginHost::unload() {
    if (effect) close();
    std::lock_guard turn(lifetimeMutex);
    if (library) closeLibrary(library);
    library = nullptr;
}

IntPtr PluginHost::dispatch(std::int32_t opcode, std::int32_t index, IntPtr value, void* ptr,
                            float opt) {
    if (!effect) return 0;
    if (opcode == effClose) return close();
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void PluginHost::process(float** inputs, float** outputs, std::int32_t frames) {
    if (effect) effect->process(effect, inputs, outputs, frames);
}

void PluginHost::processReplacing(float** inputs, float** outputs, std::int32_t frames) {
    if (effect) effect->processReplacing(effect, inputs, outputs, frames);
}

void PluginHost::setParameter(std::int32_t index, float value) {
    if (effect) effect->setParameter(effect, index, value);
}

float PluginHost::getParameter(std::int32_t index) {
    return effect ? effect->getParameter(effect, index) : 0.0f;
}

IntPtr PluginHost::close() {
    if (!effect) return 0;
    std::lock_guard turn(lifetimeMutex);
    EffectRecord* closing = effect;
    IntPtr result = closing->dispatcher(closing, effClose, 0, 0, nullptr, 0.0f);
    effect = nullptr;
    std::lock_guard lock(registryMutex);
    registry().erase(closing);
    return result;
}

IntPtr TROB_CALL PluginHost::callback(EffectRecord* effect, std::int32_t opcode, std::int32_t index,
                                      IntPtr value, void* ptr, float opt) {
    PluginHost* host = nullptr;
    if (effect) {
        std::lock_guard lock(registryMutex);
        auto found = registry().find(effect);
        if (found != registry().end()) host = found->second;
    }
    if (!host) host = loadingHost;
    if (!host) return opcode == audioMasterVersion ? kHostVersion : 0;
    return host->answer(effect, opcode, index, value, ptr, opt);
}

IntPtr PluginHost::answer(EffectRecord* caller, std::int32_t opcode, std::int32_t index,
                          IntPtr value, void* ptr, float opt) {
    received.push_back({opcode, index, value, ptr, opt, caller != nullptr});
    if (callHook) {
        const HostCall call = received.back(); // the hook may make the plug-in call again
        callHook(call);
    }
    return opcode == audioMasterVersion ? versionAnswer : 0;
}
