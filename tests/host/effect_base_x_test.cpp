// Every dispatcher opcode reaches its operation with its arguments and gives its answer.

#include "host/opcodes.h"
#include "test_effects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <type_traits>

namespace {

char hostBuffer[256];
SpeakerArrangement* arrangementSlot = nullptr;

template <typename T> std::string arg(T v) {
    if constexpr (std::is_pointer_v<T>) {
        const void* p = v;
        if (p == hostBuffer) return "buf";
        if (p == &arrangementSlot) return "slot";
        return p ? "ptr" : "null";
    } else {
        std::ostringstream s;
        s << v;
        return s.str();
    }
}
template <typename... A> std::string call(const char* name, A... args) {
    std::string s = std::string(name) + "(";
    bool first = true;
    ((s += (first ? "" : ",") + arg(args), first = false), ...);
    return s + ")";
}

// Overrides every operation an opcode reaches; each answer differs from the default.
class RecordingEffect : public EffectBaseX {
public:
    RecordingEffect() : EffectBaseX(nullptr, 4, 2) {}
    std::string last;

    void process(float**, float**, std::int32_t) override {}
    void open() override { last = call("open"); }
    void close() override { last = call("close"); }
    std::int32_t getProgram() override { return last = call("getProgram"), 7; }
    void setProgram(std::int32_t p) override { last = call("setProgram", p); }
    void setProgramName(char* t) override { last = call("setProgramName", t); }
    void getProgramName(char* t) override { last = call("getProgramName", t); }
    void getParamLabel(std::int32_t i, char* t) override { last = call("getParamLabel", i, t); }
    void getParamDisplay(std::int32_t i, char* t) override { last = call("getParamDisplay", i, t); }
    void getParamName(std::int32_t i, char* t) override { last = call("getParamName", i, t); }
    float getVu() override { return last = call("getVu"), 0.5f; }
    std::int32_t getChunk(void** d, bool preset) override {
        return last = call("getChunk", d, preset), 11;
    }
    std::int32_t setChunk(void* d, std::int32_t n, bool preset) override {
        return last = call("setChunk", d, n, preset), 12;
    }
    void setSampleRate(float r) override { last = call("setSampleRate", r); }
    void setBlockSize(std::int32_t n) override { last = call("setBlockSize", n); }
    void suspendProcessing() override { last = call("suspendProcessing"); }
    void resumeProcessing() override { last = call("resumeProcessing"); }

    std::int32_t processEvents(void* e) override { return last = call("processEvents", e), 13; }
    bool canBeAutomated(std::int32_t i) override { return last = call("canBeAutomated", i), false; }
    bool stringToParameter(std::int32_t i, char* t) override {
        return last = call("stringToParameter", i, t), true;
    }
    std::int32_t getNumProgramCategories() override {
        return last = call("getNumProgramCategories"), 5;
    }
    bool getProgramNameIndexed(std::int32_t c, std::int32_t i, char* t) override {
        return last = call("getProgramNameIndexed", c, i, t), true;
    }
    bool copyProgram(std::int32_t d) override { return last = call("copyProgram", d), true; }
    void connectInput(std::int32_t i, bool c) override { last = call("connectInput", i, c); }
    void connectOutput(std::int32_t i, bool c) override { last = call("connectOutput", i, c); }
    bool getInputProperties(std::int32_t i, void* p) override {
        return last = call("getInputProperties", i, p), true;
    }
    bool getOutputProperties(std::int32_t i, void* p) override {
        return last = call("getOutputProperties", i, p), true;
    }
    std::int32_t getPlugCategory() override { return last = call("getPlugCategory"), 6; }
    std::int32_t getCurrentPosition() override { return last = call("getCurrentPosition"), 14; }
    float* getDestinationBuffer() override {
        return last = call("getDestinationBuffer"), reinterpret_cast<float*>(hostBuffer);
    }
    bool offlineNotify(void* f, std::int32_t n, bool s) override {
        return last = call("offlineNotify", f, n, s), true;
    }
    bool offlinePrepare(void* o, std::int32_t n) override {
        return last = call("offlinePrepare", o, n), true;
    }
    bool offlineRun(void* o, std::int32_t n) override {
        return last = call("offlineRun", o, n), true;
    }
    bool processVarIo(void* p) override { return last = call("processVarIo", p), true; }
    bool setSpeakerArrangement(SpeakerArrangement* in, SpeakerArrangement* out) override {
        return last = call("setSpeakerArrangement", in, out), true;
    }
    void setBlockSizeAndSampleRate(std::int32_t n, float r) override {
        last = call("setBlockSizeAndSampleRate", n, r);
    }
    bool setBypass(bool on) override { return last = call("setBypass", on), true; }
    bool getEffectName(char* t) override { return last = call("getEffectName", t), true; }
    bool getErrorText(char* t) override { return last = call("getErrorText", t), true; }
    bool getVendorString(char* t) override { return last = call("getVendorString", t), true; }
    bool getProductString(char* t) override { return last = call("getProductString", t), true; }
    std::int32_t getVendorVersion() override { return last = call("getVendorVersion"), 15; }
    std::int32_t vendorSpecific(std::int32_t i, std::int32_t v, void* p, float o) override {
        return last = call("vendorSpecific", i, v, p, o), 16;
    }
    std::int32_t canDo(char* t) override { return last = call("canDo", t), 17; }
    std::int32_t getTailSize() override { return last = call("getTailSize"), 18; }
    std::int32_t idle() override { return last = call("idle"), 19; }
    void* getIcon() override { return last = call("getIcon"), hostBuffer; }
    bool setViewPosition(std::int32_t x, std::int32_t y) override {
        return last = call("setViewPosition", x, y), true;
    }
    bool getParameterProperties(std::int32_t i, void* p) override {
        return last = call("getParameterProperties", i, p), true;
    }
    bool keysRequired() override { return last = call("keysRequired"), true; }
    std::int32_t getVstVersion() override { return last = call("getVstVersion"), 20; }
    std::int32_t getMidiProgramName(std::int32_t c, void* n) override {
        return last = call("getMidiProgramName", c, n), 21;
    }
    std::int32_t getCurrentMidiProgram(std::int32_t c, void* n) override {
        return last = call("getCurrentMidiProgram", c, n), 22;
    }
    std::int32_t getMidiProgramCategory(std::int32_t c, void* n) override {
        return last = call("getMidiProgramCategory", c, n), 23;
    }
    bool hasMidiProgramsChanged(std::int32_t c) override {
        return last = call("hasMidiProgramsChanged", c), true;
    }
    bool getMidiKeyName(std::int32_t c, void* n) override {
        return last = call("getMidiKeyName", c, n), true;
    }
    bool beginSetProgram() override { return last = call("beginSetProgram"), true; }
    bool endSetProgram() override { return last = call("endSetProgram"), true; }
    bool getSpeakerArrangement(SpeakerArrangement** in, SpeakerArrangement** out) override {
        return last = call("getSpeakerArrangement", in, out), true;
    }
    std::int32_t shellGetNextPlugin(char* n) override {
        return last = call("shellGetNextPlugin", n), 24;
    }
    std::int32_t startProcess() override { return last = call("startProcess"), 25; }
    std::int32_t stopProcess() override { return last = call("stopProcess"), 26; }
    std::int32_t setTotalSampleToProcess(std::int32_t v) override {
        return last = call("setTotalSampleToProcess", v), v + 1;
    }
    bool setPanLaw(std::int32_t t, float g) override {
        return last = call("setPanLaw", t, g), true;
    }
    std::int32_t beginLoadBank(void* p) override { return last = call("beginLoadBank", p), 27; }
    std::int32_t beginLoadProgram(void* p) override {
        return last = call("beginLoadProgram", p), 28;
    }
};

struct Expectation {
    std::int32_t opcode;
    const char* overridden; // the call the recording effect logs ("" for none)
    IntPtr overriddenAnswer;
    IntPtr defaultAnswer;
};

// Dispatched with index 3, value 1, ptr = hostBuffer and opt 0.25 (opcodes 42 and 69 take
// their first pointer from value, see below).
const Expectation kTable[] = {
    {effOpen, "open()", 0, 0},
    {effClose, "close()", 0, 0},
    {effSetProgram, "setProgram(1)", 0, 0},
    {effGetProgram, "getProgram()", 7, 0},
    {effSetProgramName, "setProgramName(buf)", 0, 0},
    {effGetProgramName, "getProgramName(buf)", 0, 0},
    {effGetParamLabel, "getParamLabel(3,buf)", 0, 0},
    {effGetParamDisplay, "getParamDisplay(3,buf)", 0, 0},
    {effGetParamName, "getParamName(3,buf)", 0, 0},
    {effGetVu, "getVu()", 16383, 0},
    {effSetSampleRate, "setSampleRate(0.25)", 0, 0},
    {effSetBlockSize, "setBlockSize(1)", 0, 0},
    {effMainsChanged, "resumeProcessing()", 0, 0},
    {effEditGetRect, "", 0, 0},
    {effEditOpen, "", 0, 0},
    {effEditClose, "", 0, 0},
    {effEditDraw, "", 0, 0},
    {effEditMouse, "", 0, 0},
    {effEditKey, "", 0, 0},
    {effEditIdle, "", 0, 0},
    {effEditTop, "", 0, 0},
    {effEditSleep, "", 0, 0},
    {effIdentify, "", kEffectIdentify, kEffectIdentify},
    {effGetChunk, "getChunk(buf,1)", 11, 0},
    {effSetChunk, "setChunk(buf,1,1)", 12, 0},
    {effProcessEvents, "processEvents(buf)", 13, 0},
    {effCanBeAutomated, "canBeAutomated(3)", 0, 1},
    {effString2Parameter, "stringToParameter(3,buf)", 1, 0},
    {effGetNumProgramCategories, "getNumProgramCategories()", 5, 1},
    {effGetProgramNameIndexed, "getProgramNameIndexed(1,3,buf)", 1, 0},
    {effCopyProgram, "copyProgram(3)", 1, 0},
    {effConnectInput, "connectInput(3,1)", 1, 1},
    {effConnectOutput, "connectOutput(3,1)", 1, 1},
    {effGetInputProperties, "getInputProperties(3,buf)", 1, 0},
    {effGetOutputProperties, "getOutputProperties(3,buf)", 1, 0},
    {effGetPlugCategory, "getPlugCategory()", 6, 0},
    {effGetCurrentPosition, "getCurrentPosition()", 14, 0},
    {effGetDestinationBuffer, "getDestinationBuffer()", reinterpret_cast<IntPtr>(hostBuffer), 0},
    {effOfflineNotify, "offlineNotify(buf,1,1)", 1, 0},
    {effOfflinePrepare, "offlinePrepare(buf,1)", 1, 0},
    {effOfflineRun, "offlineRun(buf,1)", 1, 0},
    {effProcessVarIo, "processVarIo(buf)", 1, 0},
    {effSetSpeakerArrangement, "setSpeakerArrangement(slot,buf)", 1, 0},
    {effSetBlockSizeAndSampleRate, "setBlockSizeAndSampleRate(1,0.25)", 1, 1},
    {effSetBypass, "setBypass(1)", 1, 0},
    {effGetEffectName, "getEffectName(buf)", 1, 0},
    {effGetErrorText, "getErrorText(buf)", 1, 0},
    {effGetVendorString, "getVendorString(buf)", 1, 0},
    {effGetProductString, "getProductString(buf)", 1, 0},
    {effGetVendorVersion, "getVendorVersion()", 15, 0},
    {effVendorSpecific, "vendorSpecific(3,1,buf,0.25)", 16, 0},
    {effCanDo, "canDo(buf)", 17, 0},
    {effGetTailSize, "getTailSize()", 18, 0},
    {effIdle, "idle()", 19, 0},
    {effGetIcon, "getIcon()", reinterpret_cast<IntPtr>(hostBuffer), 0},
    {effSetViewPosition, "setViewPosition(3,1)", 1, 0},
    {effGetParameterProperties, "getParameterProperties(3,buf)", 1, 0},
    {effKeysRequired, "keysRequired()", 0, 1},
    {effGetVstVersion, "getVstVersion()", 20, 2300},
    {effEditKeyDown, "", 0, 0},
    {effEditKeyUp, "", 0, 0},
    {effSetEditKnobMode, "", 0, 0},
    {effGetMidiProgramName, "getMidiProgramName(3,buf)", 21, 0},
    {effGetCurrentMidiProgram, "getCurrentMidiProgram(3,buf)", 22, -1},
    {effGetMidiProgramCategory, "getMidiProgramCategory(3,buf)", 23, 0},
    {effHasMidiProgramsChanged, "hasMidiProgramsChanged(3)", 1, 0},
    {effGetMidiKeyName, "getMidiKeyName(3,buf)", 1, 0},
    {effBeginSetProgram, "beginSetProgram()", 1, 0},
    {effEndSetProgram, "endSetProgram()", 1, 0},
    {effGetSpeakerArrangement, "getSpeakerArrangement(slot,buf)", 1, 0},
    {effShellGetNextPlugin, "shellGetNextPlugin(buf)", 24, 0},
    {effStartProcess, "startProcess()", 25, 0},
    {effStopProcess, "stopProcess()", 26, 0},
    {effSetTotalSampleToProcess, "setTotalSampleToProcess(1)", 2, 1},
    {effSetPanLaw, "setPanLaw(1,0.25)", 1, 0},
    {effBeginLoadBank, "beginLoadBank(buf)", 27, 0},
    {effBeginLoadProgram, "beginLoadProgram(buf)", 28, 0},
};
static_assert(std::size(kTable) == 77);

IntPtr dispatchRow(EffectBaseX& effect, std::int32_t opcode) {
    IntPtr value = 1;
    if (opcode == effSetSpeakerArrangement || opcode == effGetSpeakerArrangement)
        value = reinterpret_cast<IntPtr>(&arrangementSlot);
    return effect.dispatcher(opcode, 3, value, hostBuffer, 0.25f);
}

TEST(Dispatch, EveryOpcodeReachesItsOverride) {
    for (const auto& row : kTable) {
        SCOPED_TRACE("opcode " + std::to_string(row.opcode));
        ASSERT_EQ(&row - kTable, row.opcode) << "table out of order";
        RecordingEffect effect;
        EXPECT_EQ(dispatchRow(effect, row.opcode), row.overriddenAnswer);
        EXPECT_EQ(effect.last, row.overridden);
    }
}

TEST(Dispatch, EveryOpcodeGivesTheDefaultAnswer) {
    for (const auto& row : kTable) {
        SCOPED_TRACE("opcode " + std::to_string(row.opcode));
        DefaultEffect effect(nullptr, 4, 2);
        std::memset(hostBuffer, 'x', sizeof hostBuffer);
        EXPECT_EQ(dispatchRow(effect, row.opcode), row.defaultAnswer);
    }
}

TEST(Dispatch, OpcodesOutsideTheTablesAnswerZeroAndCallNothing) {
    RecordingEffect effect;
    for (std::int32_t opcode : {-1, -77, 77, 78, 100, 1000, 0x7FFFFFFF, -0x7FFFFFFF - 1}) {
        effect.last.clear();
        EXPECT_EQ(effect.dispatcher(opcode, 3, 1, hostBuffer, 0.25f), 0) << opcode;
        EXPECT_EQ(effect.last, "") << opcode;
    }
}

TEST(Dispatch, MainsChangedWithZeroSuspends) {
    RecordingEffect effect;
    effect.dispatcher(effMainsChanged, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(effect.last, "suspendProcessing()");
}

TEST(Dispatch, SetProgramPassesOnlyNumbersBelowTheProgramCount) {
    DefaultEffect effect(nullptr, 4, 2);
    effect.dispatcher(effSetProgram, 0, 3, nullptr, 0.0f);
    EXPECT_EQ(effect.dispatcher(effGetProgram, 0, 0, nullptr, 0.0f), 3);
    effect.dispatcher(effSetProgram, 0, 4, nullptr, 0.0f); // equal to the count: ignored
    EXPECT_EQ(effect.dispatcher(effGetProgram, 0, 0, nullptr, 0.0f), 3);
    effect.dispatcher(effSetProgram, 0, -1, nullptr, 0.0f); // signed comparison lets it pass
    EXPECT_EQ(effect.dispatcher(effGetProgram, 0, 0, nullptr, 0.0f), -1);
}

TEST(Dispatch, SampleRateAndBlockSizeReachTheEffect) {
    DefaultEffect effect;
    EXPECT_EQ(effect.currentSampleRate(), 44100.0f);
    EXPECT_EQ(effect.currentBlockSize(), 1024);
    effect.dispatcher(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect.dispatcher(effSetBlockSize, 0, 256, nullptr, 0.0f);
    EXPECT_EQ(effect.currentSampleRate(), 48000.0f);
    EXPECT_EQ(effect.currentBlockSize(), 256);
    EXPECT_EQ(effect.dispatcher(effSetBlockSizeAndSampleRate, 0, 64, nullptr, 96000.0f), 1);
    EXPECT_EQ(effect.currentSampleRate(), 96000.0f);
    EXPECT_EQ(effect.currentBlockSize(), 64);
}

TEST(Dispatch, GetVuIsScaledAndTruncated) {
    struct VuEffect : DefaultEffect {
        float vu = 0;
        float getVu() override { return vu; }
    } effect;
    for (auto [vu, expected] : {std::pair{1.0f, 32767}, {-1.0f, -32767}, {0.99999f, 32766}}) {
        effect.vu = vu;
        EXPECT_EQ(effect.dispatcher(effGetVu, 0, 0, nullptr, 0.0f), expected) << vu;
    }
    effect.vu = NAN;
    EXPECT_EQ(effect.dispatcher(effGetVu, 0, 0, nullptr, 0.0f), 0);
    effect.vu = 1e30f;
    EXPECT_EQ(effect.dispatcher(effGetVu, 0, 0, nullptr, 0.0f), 0x7FFFFFFF);
}

TEST(Dispatch, NullPointerForABufferOpcodeAnswersZeroWithoutACall) {
    const std::int32_t bufferOpcodes[] = {effSetProgramName,
                                          effGetProgramName,
                                          effGetParamLabel,
                                          effGetParamDisplay,
                                          effGetParamName,
                                          effEditGetRect,
                                          effGetChunk,
                                          effSetChunk,
                                          effProcessEvents,
                                          effString2Parameter,
                                          effGetProgramNameIndexed,
                                          effGetInputProperties,
                                          effGetOutputProperties,
                                          effOfflineNotify,
                                          effOfflinePrepare,
                                          effOfflineRun,
                                          effProcessVarIo,
                                          effSetSpeakerArrangement,
                                          effGetEffectName,
                                          effGetErrorText,
                                          effGetVendorString,
                                          effGetProductString,
                                          effCanDo,
                                          effGetParameterProperties,
                                          effGetMidiProgramName,
                                          effGetCurrentMidiProgram,
                                          effGetMidiProgramCategory,
                                          effGetMidiKeyName,
                                          effGetSpeakerArrangement,
                                          effShellGetNextPlugin,
                                          effBeginLoadBank,
                                          effBeginLoadProgram};
    for (std::int32_t opcode : bufferOpcodes) {
        RecordingEffect effect;
        // The answer is the opcode's "not handled" one: -1 for the current MIDI program.
        const IntPtr notHandled = opcode == effGetCurrentMidiProgram ? -1 : 0;
        EXPECT_EQ(effect.dispatcher(opcode, 3, 1, nullptr, 0.25f), notHandled) << opcode;
        EXPECT_EQ(effect.last, "") << opcode;
    }
    // The arrangement opcodes also carry a pointer in value.
    RecordingEffect effect;
    EXPECT_EQ(effect.dispatcher(effGetSpeakerArrangement, 0, 0, hostBuffer, 0.0f), 0);
    EXPECT_EQ(effect.dispatcher(effSetSpeakerArrangement, 0, 0, hostBuffer, 0.0f), 0);
    EXPECT_EQ(effect.last, "");
}

TEST(EditorOpcodes, WithoutAnEditorAnswerZero) {
    DefaultEffect effect;
    EditorRect* rect = reinterpret_cast<EditorRect*>(hostBuffer);
    EXPECT_EQ(effect.dispatcher(effEditGetRect, 0, 0, &rect, 0.0f), 0);
    EXPECT_EQ(rect, reinterpret_cast<EditorRect*>(hostBuffer)) << "nothing may be written";
    for (std::int32_t opcode :
         {effEditOpen, effEditClose, effEditIdle, effEditKeyDown, effEditKeyUp, effSetEditKnobMode})
        EXPECT_EQ(effect.dispatcher(opcode, 65, 2, hostBuffer, 2.7f), 0) << opcode;
    EXPECT_EQ(effect.getRecord()->flags & effFlagsHasEditor, 0);
}

TEST(EditorOpcodes, ReachTheAttachedEditor) {
    std::vector<std::string> log;
    int destroyed = 0;
    {
        DefaultEffect effect;
        auto* editor = new LoggingEditor(&effect, log, destroyed);
        EXPECT_EQ(effect.currentEditor(), editor);
        EXPECT_EQ(effect.getRecord()->flags & effFlagsHasEditor, effFlagsHasEditor);

        EditorRect* rect = nullptr;
        EXPECT_EQ(effect.dispatcher(effEditGetRect, 0, 0, &rect, 0.0f), 31);
        ASSERT_NE(rect, nullptr);
        EXPECT_EQ(rect->right, 4);
        EXPECT_EQ(effect.dispatcher(effEditOpen, 0, 0, hostBuffer, 0.0f), 32);
        EXPECT_EQ(effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f), 0);
        EXPECT_EQ(effect.dispatcher(effEditClose, 0, 0, nullptr, 0.0f), 0);
        for (std::int32_t opcode :
             {effEditDraw, effEditMouse, effEditKey, effEditTop, effEditSleep})
            EXPECT_EQ(effect.dispatcher(opcode, 0, 0, hostBuffer, 0.0f), 0) << opcode;

        EXPECT_EQ(effect.dispatcher(effEditKeyDown, 65, 0, nullptr, 2.7f), 33);
        EXPECT_EQ(editor->lastKey.character, 65);
        EXPECT_EQ(editor->lastKey.virt, 0);
        EXPECT_EQ(editor->lastKey.modifier, 2);
        EXPECT_EQ(effect.dispatcher(effEditKeyUp, 66, 0x1FF, nullptr, -1.0f), 34);
        EXPECT_EQ(editor->lastKey.character, 66);
        EXPECT_EQ(editor->lastKey.virt, 0xFF);
        EXPECT_EQ(editor->lastKey.modifier, 0xFF);
        EXPECT_EQ(effect.dispatcher(effEditKeyDown, 1, 0, nullptr, NAN), 33);
        EXPECT_EQ(editor->lastKey.modifier, 0);
        EXPECT_EQ(effect.dispatcher(effSetEditKnobMode, 0, 2, nullptr, 0.0f), 35);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"editGetRect", "open(p)", "idle", "close", "onKeyDown",
                                             "onKeyUp", "onKeyDown", "setEditKnobMode(2)"}));
    EXPECT_EQ(destroyed, 1) << "the effect owns its editor";
}

TEST(EditorBase, DefaultsAnswerAsTheHostExpects) {
    DefaultEffect effect;
    auto* editor = new EditorBase(&effect);
    EditorRect* rect = reinterpret_cast<EditorRect*>(hostBuffer);
    EXPECT_EQ(effect.dispatcher(effEditGetRect, 0, 0, &rect, 0.0f), 0);
    EXPECT_EQ(rect, nullptr);
    EXPECT_EQ(effect.dispatcher(effEditOpen, 0, 0, hostBuffer, 0.0f), 0);
    EXPECT_EQ(editor->getParentWindow(), hostBuffer);
    EXPECT_EQ(effect.dispatcher(effEditKeyDown, 65, 0, nullptr, 0.0f), -1);
    EXPECT_EQ(effect.dispatcher(effEditKeyUp, 65, 0, nullptr, 0.0f), -1);
    EXPECT_EQ(effect.dispatcher(effSetEditKnobMode, 0, 2, nullptr, 0.0f), 0);
    EXPECT_FALSE(editor->onWheel(1.0f));

    struct CountingEditor : EditorBase {
        using EditorBase::EditorBase;
        int updates = 0;
        void performUpdate() override { ++updates; }
    };
    DefaultEffect other;
    auto* counting = new CountingEditor(&other);
    counting->idle();
    EXPECT_EQ(counting->updates, 0);
    counting->requestUpdate();
    counting->idle();
    counting->idle();
    EXPECT_EQ(counting->updates, 1) << "one request, one update";
}

TEST(Arrangements, NewReleaseAndCopy) {
    DefaultEffect effect;
    SpeakerArrangement* a = nullptr;
    ASSERT_TRUE(effect.newArrangement(&a, 2));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->numChannels, 2);
    EXPECT_EQ(a->type, 0);
    a->type = 7;
    std::strcpy(a->speaker(1)->name, "Right");
    a->speaker(1)->azimuth = 0.5f;
    a->speaker(1)->type = 3;
    a->speaker(1)->future[27] = 9;

    SpeakerArrangement* b = nullptr;
    ASSERT_TRUE(effect.copyArrangement(&b, a));
    EXPECT_EQ(b->numChannels, 2);
    EXPECT_EQ(b->type, 7);
    EXPECT_STREQ(b->speaker(1)->name, "Right");
    EXPECT_EQ(b->speaker(1)->azimuth, 0.5f);
    EXPECT_EQ(b->speaker(1)->type, 3);
    EXPECT_EQ(b->speaker(1)->future[27], 9);
    EXPECT_FALSE(effect.copyArrangement(&b, nullptr));

    // A name without terminator is cut, never read past its 64 bytes.
    std::memset(a->speaker(0)->name, 'n', sizeof a->speaker(0)->name);
    EXPECT_TRUE(effect.copySpeakerRecord(b->speaker(0), a->speaker(0)));
    EXPECT_EQ(std::strlen(b->speaker(0)->name), 63u);
    EXPECT_FALSE(effect.copySpeakerRecord(nullptr, a->speaker(0)));
    EXPECT_FALSE(effect.copySpeakerRecord(b->speaker(0), nullptr));

    EXPECT_TRUE(effect.releaseArrangement(&a));
    EXPECT_EQ(a, nullptr);
    EXPECT_TRUE(effect.releaseArrangement(&b));
    EXPECT_TRUE(effect.releaseArrangement(&b)) << "releasing nothing is fine";
}

TEST(Arrangements, FailedAllocationLeavesTheCallersPointerNull) {
    DefaultEffect effect;
    SpeakerArrangement* a = nullptr;
    ASSERT_TRUE(effect.newArrangement(&a, 1));
    // About 240 GB: no allocator hands that out; the old arrangement is gone either way.
    EXPECT_FALSE(effect.newArrangement(&a, 0x7FFFFFFF));
    EXPECT_EQ(a, nullptr);
    ASSERT_TRUE(effect.newArrangement(&a, 1));
    EXPECT_FALSE(effect.newArrangement(&a, -1));
    EXPECT_EQ(a, nullptr);
}

} // namespace
