#include "host/effect_base_x.h"

#include "host/editor_base.h"
#include "host/opcodes.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Opcodes of this table that read or write through ptr; a host that passes null gets 0.
bool needsPointer(std::int32_t opcode) {
    switch (opcode) {
    case effProcessEvents:
    case effString2Parameter:
    case effGetProgramNameIndexed:
    case effGetInputProperties:
    case effGetOutputProperties:
    case effOfflineNotify:
    case effOfflinePrepare:
    case effOfflineRun:
    case effProcessVarIo:
    case effSetSpeakerArrangement:
    case effGetEffectName:
    case effGetErrorText:
    case effGetVendorString:
    case effGetProductString:
    case effCanDo:
    case effGetParameterProperties:
    case effGetMidiProgramName:
    case effGetCurrentMidiProgram:
    case effGetMidiProgramCategory:
    case effGetMidiKeyName:
    case effGetSpeakerArrangement:
    case effShellGetNextPlugin:
    case effBeginLoadBank:
    case effBeginLoadProgram:
        return true;
    default:
        return false;
    }
}

// Low byte of opt truncated toward zero; a value no int32 holds gives 0.
std::uint8_t modifierByte(float opt) {
    if (!(std::fabs(opt) < 2147483648.0f)) return 0;
    return static_cast<std::uint8_t>(static_cast<std::int32_t>(opt) & 0xFF);
}

} // namespace

EffectBaseX::EffectBaseX(HostCallback callback, std::int32_t programs, std::int32_t parameters)
    : EffectBase(callback, programs, parameters) {}

IntPtr EffectBaseX::dispatcher(std::int32_t opcode, std::int32_t index, IntPtr value, void* ptr,
                               float opt) {
    // Without the pointer the operation cannot run; the answer is its "not handled" one.
    if (needsPointer(opcode) && ptr == nullptr) return opcode == effGetCurrentMidiProgram ? -1 : 0;
    const auto asBool = [](bool b) -> IntPtr { return b ? 1 : 0; };
    const auto value32 = static_cast<std::int32_t>(value);
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effProcessEvents:
        return processEvents(ptr);
    case effCanBeAutomated:
        return asBool(canBeAutomated(index));
    case effString2Parameter:
        return asBool(stringToParameter(index, text));
    case effGetNumProgramCategories:
        return getNumProgramCategories();
    case effGetProgramNameIndexed:
        return asBool(getProgramNameIndexed(value32, index, text));
    case effCopyProgram:
        return asBool(copyProgram(index));
    case effConnectInput:
        connectInput(index, value != 0);
        return 1;
    case effConnectOutput:
        connectOutput(index, value != 0);
        return 1;
    case effGetInputProperties:
        return asBool(getInputProperties(index, ptr));
    case effGetOutputProperties:
        return asBool(getOutputProperties(index, ptr));
    case effGetPlugCategory:
        return getPlugCategory();
    case effGetCurrentPosition:
        return getCurrentPosition();
    case effGetDestinationBuffer:
        return reinterpret_cast<IntPtr>(getDestinationBuffer());
    case effOfflineNotify:
        return asBool(offlineNotify(ptr, value32, index != 0));
    case effOfflinePrepare:
        return asBool(offlinePrepare(ptr, value32));
    case effOfflineRun:
        return asBool(offlineRun(ptr, value32));
    case effProcessVarIo:
        return asBool(processVarIo(ptr));
    case effSetSpeakerArrangement:
        if (value == 0) return 0;
        return asBool(setSpeakerArrangement(reinterpret_cast<SpeakerArrangement*>(value),
                                            static_cast<SpeakerArrangement*>(ptr)));
    case effSetBlockSizeAndSampleRate:
        setBlockSizeAndSampleRate(value32, opt);
        return 1;
    case effSetBypass:
        return asBool(setBypass(value != 0));
    case effGetEffectName:
        return asBool(getEffectName(text));
    case effGetErrorText:
        return asBool(getErrorText(text));
    case effGetVendorString:
        return asBool(getVendorString(text));
    case effGetProductString:
        return asBool(getProductString(text));
    case effGetVendorVersion:
        return getVendorVersion();
    case effVendorSpecific:
        return vendorSpecific(index, value32, ptr, opt);
    case effCanDo:
        return canDo(text);
    case effGetTailSize:
        return getTailSize();
    case effIdle:
        return idle();
    case effGetIcon:
        return reinterpret_cast<IntPtr>(getIcon());
    case effSetViewPosition:
        return asBool(setViewPosition(index, value32));
    case effGetParameterProperties:
        return asBool(getParameterProperties(index, ptr));
    case effKeysRequired:
        return keysRequired() ? 0 : 1;
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp: {
        if (!editor) return 0;
        KeyCode key{index, static_cast<std::uint8_t>(value & 0xFF), modifierByte(opt)};
        return opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
    }
    case effSetEditKnobMode:
        return editor ? editor->setEditKnobMode(value32) : 0;
    case effGetMidiProgramName:
        return getMidiProgramName(index, ptr);
    case effGetCurrentMidiProgram:
        return getCurrentMidiProgram(index, ptr);
    case effGetMidiProgramCategory:
        return getMidiProgramCategory(index, ptr);
    case effHasMidiProgramsChanged:
        return asBool(hasMidiProgramsChanged(index));
    case effGetMidiKeyName:
        return asBool(getMidiKeyName(index, ptr));
    case effBeginSetProgram:
        return asBool(beginSetProgram());
    case effEndSetProgram:
        return asBool(endSetProgram());
    case effGetSpeakerArrangement:
        if (value == 0) return 0;
        return asBool(getSpeakerArrangement(reinterpret_cast<SpeakerArrangement**>(value),
                                            static_cast<SpeakerArrangement**>(ptr)));
    case effShellGetNextPlugin:
        return shellGetNextPlugin(text);
    case effStartProcess:
        return startProcess();
    case effStopProcess:
        return stopProcess();
    case effSetTotalSampleToProcess:
        return setTotalSampleToProcess(value32);
    case effSetPanLaw:
        return asBool(setPanLaw(value32, opt));
    case effBeginLoadBank:
        return beginLoadBank(ptr);
    case effBeginLoadProgram:
        return beginLoadProgram(ptr);
    default:
        return EffectBase::dispatcher(opcode, index, value, ptr, opt);
    }
}

EditorBase* EffectBaseX::currentEditor() {
    return editor;
}

std::int32_t EffectBaseX::requestEvents(std::int32_t filter) {
    return static_cast<std::int32_t>(callHost(audioMasterWantMidi, 0, filter));
}
void* EffectBaseX::queryHostTime(std::int32_t filter) {
    return reinterpret_cast<void*>(callHost(audioMasterGetTime, 0, filter));
}
std::int32_t EffectBaseX::queryHostTempoAt(std::int32_t position) {
    return static_cast<std::int32_t>(callHost(audioMasterTempoAt, 0, position));
}
std::int32_t EffectBaseX::processEvents(void*) {
    return 0;
}
std::int32_t EffectBaseX::queryHostAutomatableCount() {
    return static_cast<std::int32_t>(callHost(audioMasterGetNumAutomatableParameters));
}
std::int32_t EffectBaseX::queryHostParameterQuantization() {
    return static_cast<std::int32_t>(callHost(audioMasterGetParameterQuantization));
}
bool EffectBaseX::canBeAutomated(std::int32_t) {
    return true;
}
bool EffectBaseX::stringToParameter(std::int32_t, char*) {
    return false;
}
float EffectBaseX::channelParameterValue(std::int32_t, std::int32_t) {
    return 0.0f;
}
std::int32_t EffectBaseX::getNumProgramCategories() {
    return 1;
}
bool EffectBaseX::getProgramNameIndexed(std::int32_t, std::int32_t, char*) {
    return false;
}
bool EffectBaseX::copyProgram(std::int32_t) {
    return false;
}
bool EffectBaseX::notifyHostIoChanged() {
    return callHost(audioMasterIOChanged) != 0;
}
bool EffectBaseX::requestHostNeedIdle() {
    return callHost(audioMasterNeedIdle) != 0;
}
bool EffectBaseX::requestHostSizeWindow(std::int32_t width, std::int32_t height) {
    return callHost(audioMasterSizeWindow, width, height) != 0;
}

float EffectBaseX::refreshSampleRate() {
    IntPtr answer = callHost(audioMasterGetSampleRate);
    if (answer > 0) sampleRate.store(static_cast<float>(answer), std::memory_order_relaxed);
    return sampleRate.load(std::memory_order_relaxed);
}

std::int32_t EffectBaseX::refreshBlockSize() {
    IntPtr answer = callHost(audioMasterGetBlockSize);
    if (answer > 0) blockSize.store(static_cast<std::int32_t>(answer), std::memory_order_relaxed);
    return blockSize.load(std::memory_order_relaxed);
}

std::int32_t EffectBaseX::queryHostInputLatency() {
    return static_cast<std::int32_t>(callHost(audioMasterGetInputLatency));
}
std::int32_t EffectBaseX::queryHostOutputLatency() {
    return static_cast<std::int32_t>(callHost(audioMasterGetOutputLatency));
}
EffectRecord* EffectBaseX::queryPreviousPlug(std::int32_t) {
    return reinterpret_cast<EffectRecord*>(callHost(audioMasterGetPreviousPlug));
}
EffectRecord* EffectBaseX::queryNextPlug(std::int32_t) {
    return reinterpret_cast<EffectRecord*>(callHost(audioMasterGetNextPlug));
}
void EffectBaseX::connectInput(std::int32_t, bool) {}
void EffectBaseX::connectOutput(std::int32_t, bool) {}
bool EffectBaseX::getInputProperties(std::int32_t, void*) {
    return false;
}
bool EffectBaseX::getOutputProperties(std::int32_t, void*) {
    return false;
}
std::int32_t EffectBaseX::getPlugCategory() {
    return (record.flags & effFlagsIsSynth) ? kPlugCategSynth : 0;
}
std::int32_t EffectBaseX::queryHostWillReplaceOrAccumulate() {
    return static_cast<std::int32_t>(callHost(audioMasterWillReplaceOrAccumulate));
}
std::int32_t EffectBaseX::queryHostProcessLevel() {
    return static_cast<std::int32_t>(callHost(audioMasterGetCurrentProcessLevel));
}
std::int32_t EffectBaseX::queryHostAutomationState() {
    return static_cast<std::int32_t>(callHost(audioMasterGetAutomationState));
}
void EffectBaseX::setFlagExtIsAsync(bool on) {
    setFlag(effFlagsExtIsAsync, on);
}
void EffectBaseX::setFlagExtHasBuffer(bool on) {
    setFlag(effFlagsExtHasBuffer, on);
}
std::int32_t EffectBaseX::getCurrentPosition() {
    return 0;
}
float* EffectBaseX::getDestinationBuffer() {
    return nullptr;
}
bool EffectBaseX::hostOfflineRead(void* offline, std::int32_t option, bool readSource) {
    return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}
bool EffectBaseX::hostOfflineWrite(void* offline, std::int32_t option) {
    return callHost(audioMasterOfflineWrite, 0, option, offline) != 0;
}
bool EffectBaseX::hostOfflineStart(void* files, std::int32_t fileCount, std::int32_t newFileCount) {
    return callHost(audioMasterOfflineStart, newFileCount, fileCount, files) != 0;
}
bool EffectBaseX::hostOfflineCurrentPass() {
    return callHost(audioMasterOfflineGetCurrentPass) != 0;
}
bool EffectBaseX::hostOfflineCurrentMetaPass() {
    return callHost(audioMasterOfflineGetCurrentMetaPass) != 0;
}
bool EffectBaseX::offlineNotify(void*, std::int32_t, bool) {
    return false;
}
bool EffectBaseX::offlinePrepare(void*, std::int32_t) {
    return false;
}
bool EffectBaseX::offlineRun(void*, std::int32_t) {
    return false;
}
std::int32_t EffectBaseX::extensionQuery1() {
    return 0;
}
std::int32_t EffectBaseX::extensionQuery2() {
    return 0;
}
void EffectBaseX::setHostOutputSampleRate(float rate) {
    callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate);
}
SpeakerArrangement* EffectBaseX::queryHostInputArrangement() {
    return reinterpret_cast<SpeakerArrangement*>(callHost(audioMasterGetInputSpeakerArrangement));
}
SpeakerArrangement* EffectBaseX::queryHostOutputArrangement() {
    return reinterpret_cast<SpeakerArrangement*>(callHost(audioMasterGetOutputSpeakerArrangement));
}
bool EffectBaseX::queryHostVendorString(char* text) {
    return callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}
bool EffectBaseX::queryHostProductString(char* text) {
    return callHost(audioMasterGetProductString, 0, 0, text) != 0;
}
std::int32_t EffectBaseX::queryHostVendorVersion() {
    return static_cast<std::int32_t>(callHost(audioMasterGetVendorVersion));
}
std::int32_t EffectBaseX::sendHostVendorSpecific(std::int32_t index, std::int32_t value, void* ptr,
                                                 float opt) {
    return static_cast<std::int32_t>(callHost(audioMasterVendorSpecific, index, value, ptr, opt));
}
std::int32_t EffectBaseX::askHostCanDo(char* text) {
    return callHost(audioMasterCanDo, 0, 0, text) != 0 ? 1 : 0;
}
void EffectBaseX::setFlagIsSynth(bool on) {
    setFlag(effFlagsIsSynth, on);
}
void EffectBaseX::setFlagNoSoundInStop(bool on) {
    setFlag(effFlagsNoSoundInStop, on);
}
std::int32_t EffectBaseX::queryHostLanguage() {
    return static_cast<std::int32_t>(callHost(audioMasterGetLanguage));
}
void* EffectBaseX::requestHostOpenWindow(void* window) {
    return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window));
}
bool EffectBaseX::requestHostCloseWindow(void* window) {
    return callHost(audioMasterCloseWindow, 0, 0, window) != 0;
}
void* EffectBaseX::queryHostDirectory() {
    return reinterpret_cast<void*>(callHost(audioMasterGetDirectory));
}
bool EffectBaseX::requestHostUpdateDisplay() {
    return callHost(audioMasterUpdateDisplay) != 0;
}
bool EffectBaseX::processVarIo(void*) {
    return false;
}
bool EffectBaseX::setSpeakerArrangement(SpeakerArrangement*, SpeakerArrangement*) {
    return false;
}
bool EffectBaseX::getSpeakerArrangement(SpeakerArrangement** input, SpeakerArrangement** output) {
    if (input) *input = nullptr;
    if (output) *output = nullptr;
    return false;
}
void EffectBaseX::setBlockSizeAndSampleRate(std::int32_t size, float rate) {
    blockSize.store(size, std::memory_order_relaxed);
    sampleRate.store(rate, std::memory_order_relaxed);
}
bool EffectBaseX::setBypass(bool) {
    return false;
}
bool EffectBaseX::getEffectName(char*) {
    return false;
}
bool EffectBaseX::getErrorText(char*) {
    return false;
}
bool EffectBaseX::getVendorString(char*) {
    return false;
}
bool EffectBaseX::getProductString(char*) {
    return false;
}
std::int32_t EffectBaseX::getVendorVersion() {
    return 0;
}
std::int32_t EffectBaseX::vendorSpecific(std::int32_t, std::int32_t, void*, float) {
    return 0;
}
std::int32_t EffectBaseX::canDo(char*) {
    return 0;
}
void* EffectBaseX::getIcon() {
    return nullptr;
}
bool EffectBaseX::setViewPosition(std::int32_t, std::int32_t) {
    return false;
}
std::int32_t EffectBaseX::getTailSize() {
    return 0;
}
std::int32_t EffectBaseX::idle() {
    return 0;
}
bool EffectBaseX::getParameterProperties(std::int32_t, void*) {
    return false;
}
bool EffectBaseX::keysRequired() {
    return false;
}
std::int32_t EffectBaseX::getVstVersion() {
    return 2300;
}
std::int32_t EffectBaseX::getMidiProgramName(std::int32_t, void*) {
    return 0;
}
std::int32_t EffectBaseX::getCurrentMidiProgram(std::int32_t, void*) {
    return -1;
}
std::int32_t EffectBaseX::getMidiProgramCategory(std::int32_t, void*) {
    return 0;
}
bool EffectBaseX::hasMidiProgramsChanged(std::int32_t) {
    return false;
}
bool EffectBaseX::getMidiKeyName(std::int32_t, void*) {
    return false;
}
bool EffectBaseX::beginSetProgram() {
    return false;
}
bool EffectBaseX::endSetProgram() {
    return false;
}
bool EffectBaseX::beginEdit(std::int32_t index) {
    return callHost(audioMasterBeginEdit, index) != 0;
}
bool EffectBaseX::endEdit(std::int32_t index) {
    return callHost(audioMasterEndEdit, index) != 0;
}
bool EffectBaseX::requestHostOpenFileSelector(void* selector) {
    if (!selector || !hostCallback) return false;
    return callHost(audioMasterOpenFileSelector, 0, 0, selector) != 0;
}
std::int32_t EffectBaseX::setTotalSampleToProcess(std::int32_t value) {
    return value;
}
std::int32_t EffectBaseX::shellGetNextPlugin(char*) {
    return 0;
}
std::int32_t EffectBaseX::startProcess() {
    return 0;
}
std::int32_t EffectBaseX::stopProcess() {
    return 0;
}
bool EffectBaseX::setPanLaw(std::int32_t, float) {
    return false;
}
std::int32_t EffectBaseX::beginLoadBank(void*) {
    return 0;
}
std::int32_t EffectBaseX::beginLoadProgram(void*) {
    return 0;
}

bool EffectBaseX::newArrangement(SpeakerArrangement** arrangement, std::int32_t channels) {
    if (!arrangement) return false;
    if (*arrangement) {
        std::free(*arrangement);
        *arrangement = nullptr;
    }
    if (channels < 0) return false;
    const std::size_t bytes =
        sizeof(SpeakerArrangement) + sizeof(SpeakerRecord) * static_cast<std::size_t>(channels);
    auto* fresh = static_cast<SpeakerArrangement*>(std::calloc(1, bytes));
    if (!fresh) return false;
    fresh->numChannels = channels;
    *arrangement = fresh;
    return true;
}

bool EffectBaseX::releaseArrangement(SpeakerArrangement** arrangement) {
    if (!arrangement) return false;
    std::free(*arrangement);
    *arrangement = nullptr;
    return true;
}

bool EffectBaseX::copySpeakerRecord(SpeakerRecord* to, SpeakerRecord* from) {
    if (!to || !from) return false;
    // The name is a terminated text; a source without terminator is cut to fit.
    std::strncpy(to->name, from->name, sizeof to->name - 1);
    to->name[sizeof to->name - 1] = 0;
    to->type = from->type;
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    std::memcpy(to->future, from->future, sizeof to->future);
    return true;
}

bool EffectBaseX::copyArrangement(SpeakerArrangement** to, SpeakerArrangement* from) {
    if (!from) return false;
    if (!releaseArrangement(to)) return false;
    if (!newArrangement(to, from->numChannels)) return false;
    (*to)->type = from->type;
    for (std::int32_t i = 0; i < from->numChannels; ++i)
        if (!copySpeakerRecord((*to)->speaker(i), from->speaker(i))) return false;
    return true;
}

bool EffectBaseX::sendEventsToHost(void* events) {
    return callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}

bool EffectBaseX::requestHostCloseFileSelector(void* selector) {
    if (!selector || !hostCallback) return false;
    return callHost(audioMasterCloseFileSelector, 0, 0, selector) != 0;
}

bool EffectBaseX::queryHostChunkFile(void* chunk) {
    if (!chunk || !hostCallback) return false;
    return callHost(audioMasterGetChunkFile, 0, 0, chunk) != 0;
}
