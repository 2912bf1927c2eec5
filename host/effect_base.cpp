#include "host/effect_base.h"

#include "host/editor_base.h"
#include "host/host_boundary.h"
#include "host/opcodes.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

IntPtr TROB_CALL dispatchThunk(EffectRecord* effect, std::int32_t opcode, std::int32_t index,
                               IntPtr value, void* ptr, float opt) {
    EffectBase* object = EffectBase::fromRecord(effect);
    if (!object) return 0;
    IntPtr result = answerHostCall([&] { return object->dispatcher(opcode, index, value, ptr, opt); });
    if (opcode == effClose) {
        // The record lives inside the object: after this it must not be touched again.
        answerHostCall([&] { delete object; });
        return 1;
    }
    return result;
}

void TROB_CALL processThunk(EffectRecord* effect, float** inputs, float** outputs,
                            std::int32_t sampleFrames) {
    if (EffectBase* object = EffectBase::fromRecord(effect))
        answerHostCall([&] { object->process(inputs, outputs, sampleFrames); });
}

void TROB_CALL processReplacingThunk(EffectRecord* effect, float** inputs, float** outputs,
                                     std::int32_t sampleFrames) {
    if (EffectBase* object = EffectBase::fromRecord(effect))
        answerHostCall([&] { object->processReplacing(inputs, outputs, sampleFrames); });
}

void TROB_CALL setParameterThunk(EffectRecord* effect, std::int32_t index, float value) {
    if (EffectBase* object = EffectBase::fromRecord(effect))
        answerHostCall([&] { object->setParameter(index, value); });
}

float TROB_CALL getParameterThunk(EffectRecord* effect, std::int32_t index) {
    EffectBase* object = EffectBase::fromRecord(effect);
    return object ? answerHostCall([&] { return object->getParameter(index); }) : 0.0f;
}

// Opcodes of this table that read or write through ptr; a host that passes null gets 0.
bool needsPointer(std::int32_t opcode) {
    switch (opcode) {
    case effSetProgramName:
    case effGetProgramName:
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
    case effEditGetRect:
    case effGetChunk:
    case effSetChunk:
        return true;
    default:
        return false;
    }
}

// Truncates toward zero like a cast, without the undefined cases of one.
std::int32_t truncToInt32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

} // namespace

EffectBase::EffectBase(HostCallback callback, std::int32_t programs, std::int32_t parameters)
    : sampleRate(44100.0f), editor(nullptr), hostCallback(callback), programCount(programs),
      parameterCount(parameters), currentProgram(0), blockSize(1024) {
    std::memset(&record, 0, sizeof(record));
    record.magic = kEffectMagic;
    record.dispatcher = dispatchThunk;
    record.process = processThunk;
    record.setParameter = setParameterThunk;
    record.getParameter = getParameterThunk;
    record.numPrograms = programs;
    record.numParams = parameters;
    record.numInputs = 1;
    record.numOutputs = 2;
    record.ioRatio = 1.0f;
    record.object = this;
    record.uniqueID = kDefaultUniqueId;
    record.version = 1;
    record.processReplacing = processReplacingThunk;
}

EffectBase::~EffectBase() {
    EditorBase* attached = editor;
    editor = nullptr;
    delete attached;
}

void EffectBase::attachEditor(EditorBase* newEditor) {
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

IntPtr EffectBase::callHost(std::int32_t opcode, std::int32_t index, IntPtr value, void* ptr,
                            float opt) {
    return hostCallback ? hostCallback(&record, opcode, index, value, ptr, opt) : 0;
}

void EffectBase::setFlag(std::int32_t bit, bool on) {
    if (on)
        record.flags |= bit;
    else
        record.flags &= ~bit;
}

void EffectBase::setParameter(std::int32_t, float) {}
float EffectBase::getParameter(std::int32_t) {
    return 0.0f;
}

void EffectBase::setParameterAndNotify(std::int32_t index, float value) {
    setParameter(index, value);
    if (hostCallback) callHost(audioMasterAutomate, index, 0, nullptr, value);
}

void EffectBase::processReplacing(float**, float**, std::int32_t) {}

IntPtr EffectBase::dispatcher(std::int32_t opcode, std::int32_t index, IntPtr value, void* ptr,
                              float opt) {
    if (needsPointer(opcode) && ptr == nullptr) return 0;
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        if (value < programCount) setProgram(static_cast<std::int32_t>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        setProgramName(text);
        return 0;
    case effGetProgramName:
        getProgramName(text);
        return 0;
    case effGetParamLabel:
        getParamLabel(index, text);
        return 0;
    case effGetParamDisplay:
        getParamDisplay(index, text);
        return 0;
    case effGetParamName:
        getParamName(index, text);
        return 0;
    case effGetVu:
        return truncToInt32(static_cast<double>(getVu()) * 32767.0);
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<std::int32_t>(value));
        return 0;
    case effMainsChanged:
        if (value == 0)
            suspendProcessing();
        else
            resumeProcessing();
        return 0;
    case effEditGetRect:
        return editor ? editor->editGetRect(static_cast<EditorRect**>(ptr)) : 0;
    case effEditOpen:
        return editor ? editor->open(ptr) : 0;
    case effEditClose:
        if (editor) editor->close();
        return 0;
    case effEditIdle:
        if (editor) editor->idle();
        return 0;
    case effIdentify:
        return kEffectIdentify;
    case effGetChunk:
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        return setChunk(ptr, static_cast<std::int32_t>(value), index != 0);
    default:
        return 0;
    }
}

void EffectBase::open() {}
void EffectBase::close() {}
std::int32_t EffectBase::getProgram() {
    return currentProgram;
}
void EffectBase::setProgram(std::int32_t program) {
    currentProgram = program;
}
void EffectBase::setProgramName(char* text) {
    if (text) text[0] = 0;
}
void EffectBase::getProgramName(char* text) {
    if (text) text[0] = 0;
}
void EffectBase::getParamLabel(std::int32_t, char* text) {
    if (text) text[0] = 0;
}
void EffectBase::getParamDisplay(std::int32_t, char* text) {
    if (text) text[0] = 0;
}
void EffectBase::getParamName(std::int32_t, char* text) {
    if (text) text[0] = 0;
}
float EffectBase::getVu() {
    return 0.0f;
}
float EffectBase::getMeterValue(std::int32_t) {
    return 0.0f;
}
void EffectBase::meterHook() {}
std::int32_t EffectBase::getChunk(void**, bool) {
    return 0;
}
std::int32_t EffectBase::setChunk(void*, std::int32_t, bool) {
    return 0;
}
void EffectBase::setSampleRate(float rate) {
    sampleRate.store(rate, std::memory_order_relaxed);
}
void EffectBase::setBlockSize(std::int32_t size) {
    blockSize.store(size, std::memory_order_relaxed);
}
void EffectBase::suspendProcessing() {}
void EffectBase::resumeProcessing() {}
void EffectBase::setRecordUniqueId(std::int32_t id) {
    record.uniqueID = id;
}
void EffectBase::setRecordInputCount(std::int32_t count) {
    record.numInputs = count;
}
void EffectBase::setRecordOutputCount(std::int32_t count) {
    record.numOutputs = count;
}
void EffectBase::setFlagHasVu(bool on) {
    setFlag(effFlagsHasVu, on);
}
void EffectBase::setFlagHasClip(bool on) {
    setFlag(effFlagsHasClip, on);
}
void EffectBase::setFlagCanMono(bool on) {
    setFlag(effFlagsCanMono, on);
}
void EffectBase::setFlagCanReplacing(bool on) {
    setFlag(effFlagsCanReplacing, on);
}
void EffectBase::setFlagProgramChunks(bool on) {
    setFlag(effFlagsProgramChunks, on);
}
void EffectBase::setRecordRealtimeQualities(std::int32_t value) {
    record.realQualities = value;
}
void EffectBase::setRecordOfflineQualities(std::int32_t value) {
    record.offQualities = value;
}
void EffectBase::setRecordInitialDelay(std::int32_t samples) {
    record.initialDelay = samples;
}
float EffectBase::currentSampleRate() {
    return sampleRate.load(std::memory_order_relaxed);
}
std::int32_t EffectBase::currentBlockSize() {
    return blockSize.load(std::memory_order_relaxed);
}

std::int32_t EffectBase::queryHostVersion() {
    IntPtr answer = callHost(audioMasterVersion);
    return answer ? static_cast<std::int32_t>(answer) : 1;
}

std::int32_t EffectBase::queryHostCurrentId() {
    return static_cast<std::int32_t>(callHost(audioMasterCurrentId));
}

void EffectBase::requestHostIdle() {
    callHost(audioMasterIdle);
}

bool EffectBase::isInputPinConnected(std::int32_t index) {
    return !hostCallback || callHost(audioMasterPinConnected, index, 0) == 0;
}

bool EffectBase::isOutputPinConnected(std::int32_t index) {
    return !hostCallback || callHost(audioMasterPinConnected, index, 1) == 0;
}

void EffectBase::formatDecibels(float value, char* text) {
    if (!text) return;
    if (!(value > 0.0f)) {
        std::strcpy(text, "-oo");
        return;
    }
    formatFloat(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text);
}

void EffectBase::formatHertz(float samples, char* text) {
    if (samples == 0.0f)
        formatFloat(0.0f, text);
    else
        formatFloat(currentSampleRate() / samples, text);
}

void EffectBase::formatMilliseconds(float samples, char* text) {
    formatFloat(static_cast<float>(static_cast<double>(samples) * 1000.0 / currentSampleRate()),
                text);
}

void EffectBase::formatFloat(float value, char* text) {
    if (!text) return;
    double v = value;
    if (std::isnan(v)) {
        std::strcpy(text, "NaN");
        return;
    }
    const bool negative = v < 0.0;
    if (negative) v = -v;
    // Sign, integer digits and the point share 8 positions: 7 integer digits fit for a
    // non-negative value, 6 for a negative one. More would lose the leading digit.
    if ((negative && v >= 1000000.0) || (!negative && v >= 10000000.0)) {
        std::strcpy(text, "Huge!");
        return;
    }
    char scratch[32];
    int pos = 30;
    scratch[30] = '.';
    scratch[31] = 0;
    double n = std::floor(v);
    int count = negative ? 1 : 0;
    scratch[--pos] = static_cast<char>('0' + static_cast<int>(std::trunc(std::fmod(n, 10.0))));
    count += 2;
    n *= 0.1;
    while (n >= 1.0 && count < 8) {
        scratch[--pos] = static_cast<char>('0' + static_cast<int>(std::trunc(std::fmod(n, 10.0))));
        ++count;
        n *= 0.1;
    }
    if (negative) scratch[--pos] = '-';
    std::strcpy(text, scratch + pos);
    if (count < 8) {
        const int digits = 8 - count;
        char fraction[8];
        double f = std::fmod(v, 1.0) * std::pow(10.0, digits);
        for (int i = digits - 1; i >= 0; --i) {
            if (f > 0.0) {
                fraction[i] =
                    static_cast<char>('0' + static_cast<int>(std::trunc(std::fmod(f, 10.0))));
                f *= 0.1;
            } else {
                fraction[i] = '0';
            }
        }
        fraction[digits] = 0;
        std::strcat(text, fraction);
    }
}

void EffectBase::formatInteger(std::int32_t value, char* text) {
    if (!text) return;
    if (value >= 100000000) {
        std::strcpy(text, "Huge!");
        return;
    }
    char scratch[16];
    std::snprintf(scratch, sizeof scratch, "%7d", static_cast<int>(value));
    scratch[8] = 0;
    std::strcpy(text, scratch);
}
