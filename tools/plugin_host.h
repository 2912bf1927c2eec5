#pragma once
// Loads a plug-in file the way a host does and drives it through its record: the one piece
// of code through which the command-line host and the end-to-end tests reach a plug-in.

#include "host/effect_record.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct HostCall {
    std::int32_t opcode;
    std::int32_t index;
    IntPtr value;
    void* ptr;
    float opt;
    bool withRecord; // false for calls made before a record existed (the version query)
};

class PluginHost {
public:
    static constexpr IntPtr kHostVersion = 2400;

    PluginHost() = default;
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // Loads the file and calls its `main`. On failure returns false and `error()` says why;
    // nothing is left loaded.
    bool load(const std::string& path);
    // Closes the effect (effClose) if it is open and unloads the file.
    void unload();

    const std::string& error() const { return errorText; }
    EffectRecord* record() const { return effect; }

    // The answer the callback gives to audioMasterVersion (0 makes a plug-in refuse to start).
    void setVersionAnswer(IntPtr answer) { versionAnswer = answer; }

    IntPtr dispatch(std::int32_t opcode, std::int32_t index = 0, IntPtr value = 0,
                    void* ptr = nullptr, float opt = 0.0f);
    void process(float** inputs, float** outputs, std::int32_t frames);
    void processReplacing(float** inputs, float** outputs, std::int32_t frames);
    void setParameter(std::int32_t index, float value);
    float getParameter(std::int32_t index);
    // Sends effClose; the record is gone afterwards.
    IntPtr close();

    // Called with every callback the plug-in makes, after it is recorded, on the thread the
    // plug-in called from: a host's answer to its idle request, for instance, is where a test
    // host moves the pointer on, and a host session waits on it for what input caused.
    void setCallHook(std::function<void(const HostCall&)> hook) { callHook = std::move(hook); }

    const std::vector<HostCall>& calls() const { return received; }
    void clearCalls() { received.clear(); }

private:
    static IntPtr TROB_CALL callback(EffectRecord* effect, std::int32_t opcode, std::int32_t index,
                                     IntPtr value, void* ptr, float opt);
    IntPtr answer(EffectRecord* effect, std::int32_t opcode, std::int32_t index, IntPtr value,
                  void* ptr, float opt);

    void* library = nullptr;
    EffectRecord* effect = nullptr;
    IntPtr versionAnswer = kHostVersion;
    std::string errorText;
    std::vector<HostCall> received;
    std::function<void(const HostCall&)> callHook;
};
