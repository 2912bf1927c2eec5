// A stereo plug-in that passes its audio through and measures nothing, made from the record
// definition alone: what trob must tell apart from the analyser. Built twice, as the plug-in
// of another maker and as one that takes the analyser's unique ID and vendor for its own.

#include "host/effect_record.h"
#include "host/opcodes.h"

#include <cstring>

namespace {

struct PassThrough {
    EffectRecord record{};
    int blockSize = 0; // what the effect object holds here: nothing like the analyser's
};

void copyText(void* ptr, const char* text) {
    if (ptr) std::strcpy(static_cast<char*>(ptr), text);
}

IntPtr TROB_CALL dispatch(EffectRecord* effect, std::int32_t opcode, std::int32_t, IntPtr value,
                          void* ptr, float) {
    auto* self = static_cast<PassThrough*>(effect->object);
    switch (opcode) {
    case effClose:
        delete self;
        return 1;
    case effSetBlockSize:
        self->blockSize = static_cast<int>(value);
        return 0;
    case effGetPlugCategory:
        return kPlugCategEffect;
    case effGetVendorString:
        copyText(ptr, TROB_TEST_VENDOR);
        return 1;
    case effGetProductString:
    case effGetEffectName:
        copyText(ptr, TROB_TEST_PRODUCT);
        return 1;
    case effGetVstVersion:
        return 2400;
    default:
        return 0;
    }
}

void TROB_CALL processReplacing(EffectRecord*, float** inputs, float** outputs,
                                std::int32_t frames) {
    for (int c = 0; c < 2; ++c)
        std::memmove(outputs[c], inputs[c], sizeof(float) * static_cast<std::size_t>(frames));
}

void TROB_CALL process(EffectRecord*, float** inputs, float** outputs, std::int32_t frames) {
    for (int c = 0; c < 2; ++c)
        for (std::int32_t n = 0; n < frames; ++n)
            outputs[c][n] += inputs[c][n];
}

void TROB_CALL setParameter(EffectRecord*, std::int32_t, float) {}

float TROB_CALL getParameter(EffectRecord*, std::int32_t) {
    return 0.0f;
}

} // namespace

extern "C" __attribute__((visibility("default")))
EffectRecord* passThroughMain(HostCallback) __asm__("main");
extern "C" EffectRecord* passThroughMain(HostCallback) {
    auto* self = new PassThrough;
    EffectRecord& r = self->record;
    r.magic = kEffectMagic;
    r.dispatcher = &dispatch;
    r.process = &process;
    r.setParameter = &setParameter;
    r.getParameter = &getParameter;
    r.numPrograms = 1;
    r.numParams = 15;
    r.numInputs = 2;
    r.numOutputs = 2;
    r.flags = effFlagsCanReplacing;
    r.ioRatio = 1.0f;
    r.object = self;
    r.uniqueID = TROB_TEST_ID;
    r.version = 1;
    r.processReplacing = &processReplacing;
    return &r;
}
