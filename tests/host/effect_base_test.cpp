// The record of a fresh effect, the record functions, and every operation that asks the host.

#include "host/opcodes.h"
#include "test_effects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>

namespace {

TEST(Record, FreshEffectPresentsTheBaseValues) {
    DefaultEffect effect(nullptr, 3, 9);
    EffectRecord* r = effect.getRecord();
    EXPECT_EQ(r->magic, 0x56737450);
    EXPECT_NE(r->dispatcher, nullptr);
    EXPECT_NE(r->process, nullptr);
    EXPECT_NE(r->setParameter, nullptr);
    EXPECT_NE(r->getParameter, nullptr);
    EXPECT_NE(r->processReplacing, nullptr);
    EXPECT_EQ(r->numPrograms, 3);
    EXPECT_EQ(r->numParams, 9);
    EXPECT_EQ(r->numInputs, 1);
    EXPECT_EQ(r->numOutputs, 2);
    EXPECT_EQ(r->flags, 0);
    EXPECT_EQ(r->resvd1, 0);
    EXPECT_EQ(r->resvd2, 0);
    EXPECT_EQ(r->initialDelay, 0);
    EXPECT_EQ(r->realQualities, 0);
    EXPECT_EQ(r->offQualities, 0);
    EXPECT_EQ(r->ioRatio, 1.0f);
    EXPECT_EQ(r->object, static_cast<EffectBase*>(&effect));
    EXPECT_EQ(r->user, 0);
    EXPECT_EQ(r->uniqueID, 0x4E6F4566);
    EXPECT_EQ(r->version, 1);
    for (char c : r->future)
        EXPECT_EQ(c, 0);
}

TEST(Record, SettersWriteTheirFieldsAndFlagsLeaveOtherBits) {
    DefaultEffect effect;
    EffectRecord* r = effect.getRecord();
    effect.setRecordUniqueId(19281);
    effect.setRecordInputCount(2);
    effect.setRecordOutputCount(6);
    effect.setRecordRealtimeQualities(4);
    effect.setRecordOfflineQualities(5);
    effect.setRecordInitialDelay(128);
    EXPECT_EQ(r->uniqueID, 19281);
    EXPECT_EQ(r->numInputs, 2);
    EXPECT_EQ(r->numOutputs, 6);
    EXPECT_EQ(r->realQualities, 4);
    EXPECT_EQ(r->offQualities, 5);
    EXPECT_EQ(r->initialDelay, 128);

    const std::pair<std::function<void(bool)>, std::int32_t> setters[] = {
        {[&](bool on) { effect.setFlagHasVu(on); }, effFlagsHasVu},
        {[&](bool on) { effect.setFlagHasClip(on); }, effFlagsHasClip},
        {[&](bool on) { effect.setFlagCanMono(on); }, effFlagsCanMono},
        {[&](bool on) { effect.setFlagCanReplacing(on); }, effFlagsCanReplacing},
        {[&](bool on) { effect.setFlagProgramChunks(on); }, effFlagsProgramChunks},
        {[&](bool on) { effect.setFlagIsSynth(on); }, effFlagsIsSynth},
        {[&](bool on) { effect.setFlagNoSoundInStop(on); }, effFlagsNoSoundInStop},
        {[&](bool on) { effect.setFlagExtIsAsync(on); }, effFlagsExtIsAsync},
        {[&](bool on) { effect.setFlagExtHasBuffer(on); }, effFlagsExtHasBuffer},
    };
    for (const auto& [set, bit] : setters) {
        r->flags = 0x7FFFFFFF & ~bit;
        set(true);
        EXPECT_EQ(r->flags, 0x7FFFFFFF) << bit;
        set(false);
        EXPECT_EQ(r->flags, 0x7FFFFFFF & ~bit) << bit;
    }
    r->flags = 0;
    EXPECT_EQ(effect.getPlugCategory(), 0);
    effect.setFlagIsSynth(true);
    EXPECT_EQ(effect.getPlugCategory(), 2);
}

struct CountingEffect : DefaultEffect {
    static inline int destroyed = 0;
    static inline std::vector<std::string> log;
    using DefaultEffect::DefaultEffect;
    ~CountingEffect() override { ++destroyed; }
    void close() override { log.push_back("close"); }
    void setParameter(std::int32_t index, float value) override {
        log.push_back("setParameter " + std::to_string(index) + " " + std::to_string(value));
    }
    float getParameter(std::int32_t index) override { return 0.5f + index; }
    void process(float** in, float** out, std::int32_t n) override {
        log.push_back("process " + std::to_string(n) + (in && out ? " io" : ""));
    }
    void processReplacing(float** in, float** out, std::int32_t n) override {
        log.push_back("processReplacing " + std::to_string(n) + (in && out ? " io" : ""));
    }
};

TEST(RecordFunctions, ReachTheMostDerivedOperations) {
    CountingEffect::log.clear();
    auto* effect = new CountingEffect;
    EffectRecord* r = effect->getRecord();
    float left[4] = {}, right[4] = {};
    float* channels[2] = {left, right};
    r->setParameter(r, 12, 0.25f);
    EXPECT_EQ(r->getParameter(r, 3), 3.5f);
    r->process(r, channels, channels, 4);
    r->processReplacing(r, channels, channels, 2);
    EXPECT_EQ(CountingEffect::log,
              (std::vector<std::string>{"setParameter 12 0.250000", "process 4 io",
                                        "processReplacing 2 io"}));
    delete effect;
}

TEST(RecordFunctions, CloseRunsTheDestructorOnceAndAnswersOne) {
    CountingEffect::destroyed = 0;
    CountingEffect::log.clear();
    auto* effect = new CountingEffect;
    EffectRecord* r = effect->getRecord();
    EXPECT_EQ(effect->dispatcher(effClose, 0, 0, nullptr, 0.0f), 0) << "the base answers 0";
    EXPECT_EQ(CountingEffect::destroyed, 0);
    EXPECT_EQ(r->dispatcher(r, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(CountingEffect::destroyed, 1);
    EXPECT_EQ(CountingEffect::log, (std::vector<std::string>{"close", "close"}));
}

TEST(HostQueries, SetParameterAndNotifyStoresThenTellsTheHost) {
    CallbackRecorder::reset();
    CountingEffect::log.clear();
    CountingEffect effect(&CallbackRecorder::callback);
    effect.setParameterAndNotify(11, 0.75f);
    ASSERT_EQ(CountingEffect::log.size(), 1u);
    ASSERT_EQ(CallbackRecorder::calls.size(), 1u);
    const auto& c = CallbackRecorder::calls[0];
    EXPECT_EQ(c.effect, effect.getRecord());
    EXPECT_EQ(c.opcode, audioMasterAutomate);
    EXPECT_EQ(c.index, 11);
    EXPECT_EQ(c.opt, 0.75f);

    CountingEffect silent; // no callback: stores, sends nothing, does not crash
    silent.setParameterAndNotify(11, 0.5f);
    EXPECT_EQ(CountingEffect::log.size(), 2u);
}

struct Wrapper {
    const char* name;
    std::function<IntPtr(DefaultEffect&)> call; // the wrapper's result as an integer
    std::int32_t opcode;
    std::int32_t index;
    IntPtr value;
    bool passesPointer;
    float opt;
    IntPtr withoutCallback; // the default when there is no callback
};

char text[64] = "text";

// Every wrapper that asks the host, with the arguments it must send.
const Wrapper kWrappers[] = {
    {"queryHostVersion", [](DefaultEffect& e) { return e.queryHostVersion(); }, audioMasterVersion,
     0, 0, false, 0, 1},
    {"queryHostCurrentId", [](DefaultEffect& e) { return e.queryHostCurrentId(); },
     audioMasterCurrentId, 0, 0, false, 0, 0},
    {"requestHostIdle", [](DefaultEffect& e) { return e.requestHostIdle(), IntPtr{0}; },
     audioMasterIdle, 0, 0, false, 0, 0},
    {"isInputPinConnected", [](DefaultEffect& e) { return IntPtr{e.isInputPinConnected(5)}; },
     audioMasterPinConnected, 5, 0, false, 0, 1},
    {"isOutputPinConnected", [](DefaultEffect& e) { return IntPtr{e.isOutputPinConnected(5)}; },
     audioMasterPinConnected, 5, 1, false, 0, 1},
    {"requestEvents", [](DefaultEffect& e) { return e.requestEvents(9); }, audioMasterWantMidi, 0,
     9, false, 0, 0},
    {"queryHostTime", [](DefaultEffect& e) { return reinterpret_cast<IntPtr>(e.queryHostTime(9)); },
     audioMasterGetTime, 0, 9, false, 0, 0},
    {"queryHostTempoAt", [](DefaultEffect& e) { return e.queryHostTempoAt(9); }, audioMasterTempoAt,
     0, 9, false, 0, 0},
    {"queryHostAutomatableCount", [](DefaultEffect& e) { return e.queryHostAutomatableCount(); },
     audioMasterGetNumAutomatableParameters, 0, 0, false, 0, 0},
    {"queryHostParameterQuantization",
     [](DefaultEffect& e) { return e.queryHostParameterQuantization(); },
     audioMasterGetParameterQuantization, 0, 0, false, 0, 0},
    {"notifyHostIoChanged", [](DefaultEffect& e) { return IntPtr{e.notifyHostIoChanged()}; },
     audioMasterIOChanged, 0, 0, false, 0, 0},
    {"requestHostNeedIdle", [](DefaultEffect& e) { return IntPtr{e.requestHostNeedIdle()}; },
     audioMasterNeedIdle, 0, 0, false, 0, 0},
    {"requestHostSizeWindow",
     [](DefaultEffect& e) { return IntPtr{e.requestHostSizeWindow(300, 225)}; },
     audioMasterSizeWindow, 300, 225, false, 0, 0},
    {"queryHostInputLatency", [](DefaultEffect& e) { return e.queryHostInputLatency(); },
     audioMasterGetInputLatency, 0, 0, false, 0, 0},
    {"queryHostOutputLatency", [](DefaultEffect& e) { return e.queryHostOutputLatency(); },
     audioMasterGetOutputLatency, 0, 0, false, 0, 0},
    {"queryPreviousPlug",
     [](DefaultEffect& e) { return reinterpret_cast<IntPtr>(e.queryPreviousPlug(4)); },
     audioMasterGetPreviousPlug, 0, 0, false, 0, 0},
    {"queryNextPlug", [](DefaultEffect& e) { return reinterpret_cast<IntPtr>(e.queryNextPlug(4)); },
     audioMasterGetNextPlug, 0, 0, false, 0, 0},
    {"queryHostWillReplaceOrAccumulate",
     [](DefaultEffect& e) { return e.queryHostWillReplaceOrAccumulate(); },
     audioMasterWillReplaceOrAccumulate, 0, 0, false, 0, 0},
    {"queryHostProcessLevel", [](DefaultEffect& e) { return e.queryHostProcessLevel(); },
     audioMasterGetCurrentProcessLevel, 0, 0, false, 0, 0},
    {"queryHostAutomationState", [](DefaultEffect& e) { return e.queryHostAutomationState(); },
     audioMasterGetAutomationState, 0, 0, false, 0, 0},
    {"hostOfflineRead", [](DefaultEffect& e) { return IntPtr{e.hostOfflineRead(text, 6, true)}; },
     audioMasterOfflineRead, 1, 6, true, 0, 0},
    {"hostOfflineWrite", [](DefaultEffect& e) { return IntPtr{e.hostOfflineWrite(text, 6)}; },
     audioMasterOfflineWrite, 0, 6, true, 0, 0},
    {"hostOfflineStart", [](DefaultEffect& e) { return IntPtr{e.hostOfflineStart(text, 6, 2)}; },
     audioMasterOfflineStart, 2, 6, true, 0, 0},
    {"hostOfflineCurrentPass", [](DefaultEffect& e) { return IntPtr{e.hostOfflineCurrentPass()}; },
     audioMasterOfflineGetCurrentPass, 0, 0, false, 0, 0},
    {"hostOfflineCurrentMetaPass",
     [](DefaultEffect& e) { return IntPtr{e.hostOfflineCurrentMetaPass()}; },
     audioMasterOfflineGetCurrentMetaPass, 0, 0, false, 0, 0},
    {"setHostOutputSampleRate",
     [](DefaultEffect& e) { return e.setHostOutputSampleRate(48000.0f), IntPtr{0}; },
     audioMasterSetOutputSampleRate, 0, 0, false, 48000.0f, 0},
    {"queryHostInputArrangement",
     [](DefaultEffect& e) { return reinterpret_cast<IntPtr>(e.queryHostInputArrangement()); },
     audioMasterGetInputSpeakerArrangement, 0, 0, false, 0, 0},
    {"queryHostOutputArrangement",
     [](DefaultEffect& e) { return reinterpret_cast<IntPtr>(e.queryHostOutputArrangement()); },
     audioMasterGetOutputSpeakerArrangement, 0, 0, false, 0, 0},
    {"queryHostVendorString",
     [](DefaultEffect& e) { return IntPtr{e.queryHostVendorString(text)}; },
     audioMasterGetVendorString, 0, 0, true, 0, 0},
    {"queryHostProductString",
     [](DefaultEffect& e) { return IntPtr{e.queryHostProductString(text)}; },
     audioMasterGetProductString, 0, 0, true, 0, 0},
    {"queryHostVendorVersion", [](DefaultEffect& e) { return e.queryHostVendorVersion(); },
     audioMasterGetVendorVersion, 0, 0, false, 0, 0},
    {"sendHostVendorSpecific",
     [](DefaultEffect& e) { return e.sendHostVendorSpecific(3, 4, text, 0.5f); },
     audioMasterVendorSpecific, 3, 4, true, 0.5f, 0},
    {"askHostCanDo", [](DefaultEffect& e) { return e.askHostCanDo(text); }, audioMasterCanDo, 0, 0,
     true, 0, 0},
    {"queryHostLanguage", [](DefaultEffect& e) { return e.queryHostLanguage(); },
     audioMasterGetLanguage, 0, 0, false, 0, 0},
    {"requestHostOpenWindow",
     [](DefaultEffect& e) { return reinterpret_cast<IntPtr>(e.requestHostOpenWindow(text)); },
     audioMasterOpenWindow, 0, 0, true, 0, 0},
    {"requestHostCloseWindow",
     [](DefaultEffect& e) { return IntPtr{e.requestHostCloseWindow(text)}; },
     audioMasterCloseWindow, 0, 0, true, 0, 0},
    {"queryHostDirectory",
     [](DefaultEffect& e) { return reinterpret_cast<IntPtr>(e.queryHostDirectory()); },
     audioMasterGetDirectory, 0, 0, false, 0, 0},
    {"requestHostUpdateDisplay",
     [](DefaultEffect& e) { return IntPtr{e.requestHostUpdateDisplay()}; },
     audioMasterUpdateDisplay, 0, 0, false, 0, 0},
    {"beginEdit", [](DefaultEffect& e) { return IntPtr{e.beginEdit(12)}; }, audioMasterBeginEdit,
     12, 0, false, 0, 0},
    {"endEdit", [](DefaultEffect& e) { return IntPtr{e.endEdit(12)}; }, audioMasterEndEdit, 12, 0,
     false, 0, 0},
    {"requestHostOpenFileSelector",
     [](DefaultEffect& e) { return IntPtr{e.requestHostOpenFileSelector(text)}; },
     audioMasterOpenFileSelector, 0, 0, true, 0, 0},
    {"requestHostCloseFileSelector",
     [](DefaultEffect& e) { return IntPtr{e.requestHostCloseFileSelector(text)}; },
     audioMasterCloseFileSelector, 0, 0, true, 0, 0},
    {"queryHostChunkFile", [](DefaultEffect& e) { return IntPtr{e.queryHostChunkFile(text)}; },
     audioMasterGetChunkFile, 0, 0, true, 0, 0},
    {"sendEventsToHost", [](DefaultEffect& e) { return IntPtr{e.sendEventsToHost(text)}; },
     audioMasterProcessEvents, 0, 0, true, 0, 0},
    {"refreshSampleRate", [](DefaultEffect& e) { return IntPtr(e.refreshSampleRate()); },
     audioMasterGetSampleRate, 0, 0, false, 0, 44100},
    {"refreshBlockSize", [](DefaultEffect& e) { return IntPtr{e.refreshBlockSize()}; },
     audioMasterGetBlockSize, 0, 0, false, 0, 1024},
};

TEST(HostQueries, EachWrapperSendsExactlyItsOpcodeAndArguments) {
    for (const auto& w : kWrappers) {
        SCOPED_TRACE(w.name);
        CallbackRecorder::reset(0);
        DefaultEffect effect(&CallbackRecorder::callback);
        w.call(effect);
        ASSERT_EQ(CallbackRecorder::calls.size(), 1u);
        const auto& c = CallbackRecorder::calls[0];
        EXPECT_EQ(c.effect, effect.getRecord());
        EXPECT_EQ(c.opcode, w.opcode);
        EXPECT_EQ(c.index, w.index);
        EXPECT_EQ(c.value, w.value);
        EXPECT_EQ(c.ptr, w.passesPointer ? static_cast<void*>(text) : nullptr);
        EXPECT_EQ(c.opt, w.opt);
    }
}

TEST(HostQueries, WithoutACallbackEachWrapperGivesItsDefault) {
    for (const auto& w : kWrappers) {
        DefaultEffect effect(nullptr);
        EXPECT_EQ(w.call(effect), w.withoutCallback) << w.name;
    }
}

TEST(HostQueries, AnswersAreInterpretedAsDocumented) {
    DefaultEffect effect(&CallbackRecorder::callback);
    CallbackRecorder::reset(0);
    EXPECT_EQ(effect.queryHostVersion(), 1) << "an answer of 0 reads as version 1";
    EXPECT_TRUE(effect.isInputPinConnected(0)) << "0 means connected";
    EXPECT_EQ(effect.refreshSampleRate(), 44100.0f) << "0 keeps the old rate";
    EXPECT_EQ(effect.refreshBlockSize(), 1024);
    CallbackRecorder::reset(-5);
    EXPECT_EQ(effect.refreshSampleRate(), 44100.0f) << "a negative rate keeps the old rate";
    EXPECT_EQ(effect.refreshBlockSize(), 1024);
    EXPECT_EQ(effect.askHostCanDo(text), 1);
    EXPECT_FALSE(effect.isOutputPinConnected(0));
    EXPECT_FALSE(effect.sendEventsToHost(text)) << "only exactly 1 is success";
    CallbackRecorder::reset(2400);
    EXPECT_EQ(effect.queryHostVersion(), 2400);
    CallbackRecorder::reset(96000);
    EXPECT_EQ(effect.refreshSampleRate(), 96000.0f);
    EXPECT_EQ(effect.currentSampleRate(), 96000.0f);
    CallbackRecorder::reset(1);
    EXPECT_TRUE(effect.sendEventsToHost(text));

    CallbackRecorder::reset(1);
    EXPECT_FALSE(effect.requestHostOpenFileSelector(nullptr));
    EXPECT_FALSE(effect.requestHostCloseFileSelector(nullptr));
    EXPECT_FALSE(effect.queryHostChunkFile(nullptr));
    EXPECT_TRUE(CallbackRecorder::calls.empty()) << "a null selector asks nothing";
}

// An effect whose every operation fails by throwing, as a library container does when memory
// runs out.
class ThrowingEffect : public DefaultEffect {
public:
    IntPtr dispatcher(std::int32_t opcode, std::int32_t index, IntPtr value, void* ptr,
                      float opt) override {
        if (opcode == effClose) return DefaultEffect::dispatcher(opcode, index, value, ptr, opt);
        throw std::bad_alloc();
    }
    void process(float**, float**, std::int32_t) override { throw std::bad_alloc(); }
    void processReplacing(float**, float**, std::int32_t) override {
        throw std::runtime_error("x");
    }
    void setParameter(std::int32_t, float) override { throw std::bad_alloc(); }
    float getParameter(std::int32_t) override { throw 42; }
};

TEST(HostBoundary, NoExceptionReachesTheHostThroughTheRecord) {
    auto* effect = new ThrowingEffect;
    EffectRecord* r = effect->getRecord();
    char text[64] = "";
    EXPECT_NO_THROW({
        EXPECT_EQ(r->dispatcher(r, effGetVendorString, 0, 0, text, 0.0f), 0);
        r->process(r, nullptr, nullptr, 16);
        r->processReplacing(r, nullptr, nullptr, 16);
        r->setParameter(r, 0, 0.5f);
        EXPECT_EQ(r->getParameter(r, 0), 0.0f);
        EXPECT_EQ(r->dispatcher(r, effClose, 0, 0, nullptr, 0.0f), 1);
    });
}

} // namespace
