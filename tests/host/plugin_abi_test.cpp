// The built plug-in file, driven from outside exactly as a host drives it.

#include "host/opcodes.h"
#include "tools/plugin_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Offsets of the record's fields as hosts compiled for this word size read them.
struct Layout {
    std::size_t dispatcher, numPrograms, numParams, numInputs, numOutputs, flags, resvd1, resvd2,
        initialDelay, realQualities, offQualities, ioRatio, object, user, uniqueID, version,
        processReplacing, future, size;
};
constexpr Layout kLayout =
    sizeof(void*) == 8
        ? Layout{8, 40, 44, 48, 52, 56, 64, 72, 80, 84, 88, 92, 96, 104, 112, 116, 120, 128, 192}
        : Layout{4, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60, 64, 68, 72, 76, 80, 84, 144};

template <typename T> T readAt(const EffectRecord* record, std::size_t offset) {
    T value;
    std::memcpy(&value, reinterpret_cast<const char*>(record) + offset, sizeof value);
    return value;
}

class Plugin : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.load(TROB_PLUGIN_PATH)) << host.error(); }
    PluginHost host;
};

TEST_F(Plugin, RecordBytesSitWhereHostsReadThem) {
    const EffectRecord* r = host.record();
    EXPECT_EQ(readAt<std::int32_t>(r, 0), 0x56737450);
    EXPECT_EQ(readAt<std::int32_t>(r, kLayout.numPrograms), 1);
    EXPECT_EQ(readAt<std::int32_t>(r, kLayout.numParams), 15);
    EXPECT_EQ(readAt<std::int32_t>(r, kLayout.numInputs), 2);
    EXPECT_EQ(readAt<std::int32_t>(r, kLayout.numOutputs), 2);
    const auto flags = readAt<std::int32_t>(r, kLayout.flags);
    EXPECT_EQ(flags & ~effFlagsHasEditor, effFlagsCanReplacing);
    EXPECT_EQ(readAt<IntPtr>(r, kLayout.resvd1), 0);
    EXPECT_EQ(readAt<IntPtr>(r, kLayout.resvd2), 0);
    EXPECT_EQ(readAt<std::int32_t>(r, kLayout.initialDelay), 0);
    EXPECT_EQ(readAt<std::int32_t>(r, kLayout.realQualities), 0);
    EXPECT_EQ(readAt<std::int32_t>(r, kLayout.offQualities), 0);
    EXPECT_EQ(readAt<float>(r, kLayout.ioRatio), 1.0f);
    EXPECT_NE(readAt<void*>(r, kLayout.object), nullptr);
    EXPECT_EQ(readAt<IntPtr>(r, kLayout.user), 0);
    EXPECT_EQ(readAt<std::int32_t>(r, kLayout.uniqueID), 19281);
    EXPECT_EQ(readAt<std::int32_t>(r, kLayout.version), 1);
    EXPECT_NE(readAt<void*>(r, kLayout.processReplacing), nullptr);
    for (std::size_t i = kLayout.future; i < kLayout.future + 60; ++i)
        EXPECT_EQ(readAt<char>(r, i), 0) << "future byte " << i;
    EXPECT_EQ(sizeof(EffectRecord), kLayout.size);

    // The editor flag tells the truth about effEditGetRect.
    void* rect = nullptr;
    EXPECT_EQ(host.dispatch(effEditGetRect, 0, 0, &rect) != 0, (flags & effFlagsHasEditor) != 0);
}

TEST_F(Plugin, FunctionsFoundAtTheirOffsetsWork) {
    EffectRecord* r = host.record();
    auto dispatcher = readAt<DispatcherProc>(r, kLayout.dispatcher);
    char text[64] = {};
    EXPECT_EQ(dispatcher(r, effGetVendorString, 0, 0, text, 0.0f), 1);
    EXPECT_STREQ(text, "Vantrelo");
    EXPECT_EQ(dispatcher(r, effGetEffectName, 0, 0, text, 0.0f), 1);
    EXPECT_STREQ(text, "TROBEdit");
    EXPECT_EQ(dispatcher(r, effGetProductString, 0, 0, text, 0.0f), 1);
    EXPECT_STREQ(text, "TROBEdit");
    EXPECT_EQ(dispatcher(r, effGetVendorVersion, 0, 0, nullptr, 0.0f), 1000);
    EXPECT_EQ(dispatcher(r, effGetPlugCategory, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(dispatcher(r, effIdentify, 0, 0, nullptr, 0.0f), 0x4E764566);
    EXPECT_EQ(dispatcher(r, effCanDo, 0, 0, const_cast<char*>("receiveVstEvents"), 0.0f), 0);

    float left[3] = {0.25f, -0.5f, 1.0f}, right[3] = {-1.0f, 0.0f, 0.125f};
    float outLeft[3] = {9, 9, 9}, outRight[3] = {9, 9, 9};
    float* in[2] = {left, right};
    float* out[2] = {outLeft, outRight};
    auto processReplacing = readAt<ProcessProc>(r, kLayout.processReplacing);
    processReplacing(r, in, out, 3);
    EXPECT_EQ(std::memcmp(left, outLeft, sizeof left), 0);
    EXPECT_EQ(std::memcmp(right, outRight, sizeof right), 0);
}

TEST_F(Plugin, ParametersReachTheEffectsOwnOperations) {
    EXPECT_EQ(host.getParameter(11), 1.0f);
    EXPECT_EQ(host.getParameter(12), 1.0f);
    EXPECT_EQ(host.getParameter(13), 0.5f);
    EXPECT_EQ(host.getParameter(14), 0.0f);
    EXPECT_EQ(host.getParameter(0), 0.0f);
    host.setParameter(13, 2.0f);
    host.setParameter(5, 0.7f);
    EXPECT_EQ(host.getParameter(13), 2.0f);
    EXPECT_EQ(host.getParameter(5), 0.0f);
}

TEST_F(Plugin, NullBuffersAreRefusedNotWrittenThrough) {
    for (std::int32_t opcode :
         {effGetProgramName, effSetProgramName, effGetParamName, effGetParamLabel,
          effGetParamDisplay, effGetEffectName, effGetVendorString, effGetProductString,
          effGetErrorText, effEditGetRect, effGetSpeakerArrangement, effGetChunk,
          effString2Parameter, effCanDo})
        EXPECT_EQ(host.dispatch(opcode, 11, 0, nullptr), 0) << opcode;
}

TEST_F(Plugin, CloseAnswersOneAndTheVersionWasAskedFirst) {
    ASSERT_FALSE(host.calls().empty());
    EXPECT_EQ(host.calls()[0].opcode, audioMasterVersion);
    EXPECT_FALSE(host.calls()[0].withRecord) << "no record exists while main asks";
    EXPECT_EQ(host.close(), 1);
    EXPECT_EQ(host.record(), nullptr);
}

TEST_F(Plugin, EveryMainCallMakesAnIndependentEffect) {
    PluginHost second;
    ASSERT_TRUE(second.load(TROB_PLUGIN_PATH)) << second.error();
    EXPECT_NE(second.record(), host.record());
    second.setParameter(11, 0.3f);
    EXPECT_EQ(second.getParameter(11), 0.3f);
    EXPECT_EQ(host.getParameter(11), 1.0f);
}

// One parameter text as a host asks for it: into a buffer of exactly 8 characters and the
// terminator, full of garbage and with marked bytes on both sides. Empty when anything was
// written beside the buffer or the text has no terminator inside it.
std::string askText(PluginHost& host, std::int32_t opcode, std::int32_t index) {
    char bytes[4 + 9 + 4];
    std::memset(bytes, 0x7E, sizeof bytes);
    host.dispatch(opcode, index, 0, bytes + 4);
    for (int i : {0, 1, 2, 3, 13, 14, 15, 16})
        if (bytes[i] != 0x7E) return "<written beside the buffer>";
    if (!std::memchr(bytes + 4, 0, 9)) return "<no terminator>";
    return bytes + 4;
}

TEST_F(Plugin, ParametersAreNamedLabelledAndShownInNineBytes) {
    struct Row {
        std::int32_t index;
        const char *name, *label, *display;
    };
    // The defaults; the two curve parameters read as the editor's displays show them.
    const Row rows[] = {{11, "WIDTH", "x", "1.00"},
                        {12, "M.CORR", "", "1.00"},
                        {13, "GAMMA Lv", "", "1.5"},
                        {14, "GAMMA Hi", "", "0.0"}};
    for (const Row& r : rows) {
        EXPECT_EQ(askText(host, effGetParamName, r.index), r.name);
        EXPECT_EQ(askText(host, effGetParamLabel, r.index), r.label);
        EXPECT_EQ(askText(host, effGetParamDisplay, r.index), r.display);
    }
    for (std::int32_t index = 0; index <= 10; ++index) {
        EXPECT_EQ(askText(host, effGetParamName, index), "unused") << index;
        EXPECT_EQ(askText(host, effGetParamLabel, index), "") << index;
        EXPECT_EQ(askText(host, effGetParamDisplay, index), "-") << index;
    }
    for (std::int32_t index : {-1, 15, 16, 1 << 30, -2147483647 - 1})
        for (std::int32_t opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay})
            EXPECT_EQ(askText(host, opcode, index), "") << opcode << " " << index;

    host.setParameter(11, 0.333f);
    host.setParameter(12, 0.0f);
    host.setParameter(13, 0.26f);
    host.setParameter(14, 1.0f);
    EXPECT_EQ(askText(host, effGetParamDisplay, 11), "0.33");
    EXPECT_EQ(askText(host, effGetParamDisplay, 12), "0.00");
    EXPECT_EQ(askText(host, effGetParamDisplay, 13), "1.0");
    EXPECT_EQ(askText(host, effGetParamDisplay, 14), "2.0");
    // A host may store anything: numbers too long for the buffer are named, not cut.
    host.setParameter(11, 1e7f);
    host.setParameter(12, -1e7f);
    host.setParameter(13, 499999.0f);
    host.setParameter(14, -3e38f);
    EXPECT_EQ(askText(host, effGetParamDisplay, 11), "Huge!");
    EXPECT_EQ(askText(host, effGetParamDisplay, 12), "-Huge!");
    EXPECT_EQ(askText(host, effGetParamDisplay, 13), "999998.5");
    EXPECT_EQ(askText(host, effGetParamDisplay, 14), "-Huge!");
}

TEST(PluginLoading, HostAnsweringZeroToTheVersionGetsNoEffect) {
    PluginHost host;
    host.setVersionAnswer(0);
    EXPECT_FALSE(host.load(TROB_PLUGIN_PATH));
    EXPECT_NE(host.error().find("refused"), std::string::npos) << host.error();
    EXPECT_EQ(host.record(), nullptr);
    ASSERT_EQ(host.calls().size(), 1u);
    EXPECT_EQ(host.calls()[0].opcode, audioMasterVersion);
}

TEST(PluginLoading, UnloadableFilesGiveClearErrors) {
    PluginHost host;
    EXPECT_FALSE(host.load("/nonexistent/TROBEdit.so"));
    EXPECT_NE(host.error().find("cannot load"), std::string::npos) << host.error();

    EXPECT_FALSE(host.load(TROB_BAD_NO_MAIN_PATH));
    EXPECT_NE(host.error().find("no entry"), std::string::npos) << host.error();

    EXPECT_FALSE(host.load(TROB_BAD_NO_MAGIC_PATH));
    EXPECT_NE(host.error().find("magic"), std::string::npos) << host.error();
    EXPECT_EQ(host.record(), nullptr);
    EXPECT_EQ(host.dispatch(effOpen), 0) << "nothing loaded, nothing called";
}

} // namespace
