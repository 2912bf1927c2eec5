#pragma once
// Effects and editors used by the host-interface tests.

#include "host/editor_base.h"
#include "host/effect_base_x.h"

#include <string>
#include <vector>

// The effect base with nothing overridden but the one operation a concrete effect must give.
class DefaultEffect : public EffectBaseX {
public:
    explicit DefaultEffect(HostCallback callback = nullptr, std::int32_t programs = 1,
                           std::int32_t parameters = 1)
        : EffectBaseX(callback, programs, parameters) {}
    void process(float**, float**, std::int32_t) override {}

    using EffectBase::setFlag;
};

// One host callback, recorded.
struct ReceivedCall {
    EffectRecord* effect;
    std::int32_t opcode;
    std::int32_t index;
    IntPtr value;
    void* ptr;
    float opt;
};

// A host callback that records every call and answers with `answer`.
struct CallbackRecorder {
    static inline std::vector<ReceivedCall> calls;
    static inline IntPtr answer = 0;
    static IntPtr TROB_CALL callback(EffectRecord* effect, std::int32_t opcode, std::int32_t index,
                                     IntPtr value, void* ptr, float opt) {
        calls.push_back({effect, opcode, index, value, ptr, opt});
        return answer;
    }
    static void reset(IntPtr newAnswer = 0) {
        calls.clear();
        answer = newAnswer;
    }
};

// An editor that logs what reaches it.
class LoggingEditor : public EditorBase {
public:
    LoggingEditor(EffectBaseX* effect, std::vector<std::string>& log, int& destroyed)
        : EditorBase(effect), log(log), destroyed(destroyed) {
        rect = {1, 2, 3, 4};
    }
    ~LoggingEditor() override { ++destroyed; }

    std::int32_t editGetRect(EditorRect** out) override {
        log.push_back("editGetRect");
        *out = &rect;
        return 31;
    }
    std::int32_t open(void* parent) override {
        log.push_back(parent ? "open(p)" : "open(0)");
        return 32;
    }
    void close() override { log.push_back("close"); }
    void idle() override { log.push_back("idle"); }
    std::int32_t onKeyDown(KeyCode& key) override {
        lastKey = key;
        log.push_back("onKeyDown");
        return 33;
    }
    std::int32_t onKeyUp(KeyCode& key) override {
        lastKey = key;
        log.push_back("onKeyUp");
        return 34;
    }
    std::int32_t setEditKnobMode(std::int32_t mode) override {
        log.push_back("setEditKnobMode(" + std::to_string(mode) + ")");
        return 35;
    }

    KeyCode lastKey{};

private:
    std::vector<std::string>& log;
    int& destroyed;
};
