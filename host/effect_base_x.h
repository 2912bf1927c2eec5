#pragma once
// The extended effect base: the later opcodes (25 to 76), more host queries, the remaining
// flag setters and the speaker arrangement helpers.

#include "host/effect_base.h"
#include "host/key_code.h"

#include <cstdint>

// One speaker of an arrangement: 112 bytes.
struct SpeakerRecord {
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[64];
    std::int32_t type;
    char future[28];
};
static_assert(sizeof(SpeakerRecord) == 112);

// An arrangement is this 8-byte head followed by one SpeakerRecord per channel.
struct SpeakerArrangement {
    std::int32_t type;
    std::int32_t numChannels;

    SpeakerRecord* speaker(std::int32_t channel) {
        return reinterpret_cast<SpeakerRecord*>(reinterpret_cast<char*>(this) +
                                                sizeof(SpeakerArrangement)) +
               channel;
    }
};
static_assert(sizeof(SpeakerArrangement) == 8);

class EffectBaseX : public EffectBase {
public:
    EffectBaseX(HostCallback hostCallback, std::int32_t programCount, std::int32_t parameterCount);

    IntPtr dispatcher(std::int32_t opcode, std::int32_t index, IntPtr value, void* ptr,
                      float opt) override;

    virtual EditorBase* currentEditor();
    virtual std::int32_t requestEvents(std::int32_t filter);
    virtual void* queryHostTime(std::int32_t filter);
    virtual std::int32_t queryHostTempoAt(std::int32_t position);
    virtual std::int32_t processEvents(void* events);
    virtual std::int32_t queryHostAutomatableCount();
    virtual std::int32_t queryHostParameterQuantization();
    virtual bool canBeAutomated(std::int32_t index);
    virtual bool stringToParameter(std::int32_t index, char* text);
    virtual float channelParameterValue(std::int32_t channel, std::int32_t index);
    virtual std::int32_t getNumProgramCategories();
    virtual bool getProgramNameIndexed(std::int32_t category, std::int32_t index, char* text);
    virtual bool copyProgram(std::int32_t destination);
    virtual bool notifyHostIoChanged();
    virtual bool requestHostNeedIdle();
    virtual bool requestHostSizeWindow(std::int32_t width, std::int32_t height);
    virtual float refreshSampleRate();
    virtual std::int32_t refreshBlockSize();
    virtual std::int32_t queryHostInputLatency();
    virtual std::int32_t queryHostOutputLatency();
    virtual EffectRecord* queryPreviousPlug(std::int32_t input);
    virtual EffectRecord* queryNextPlug(std::int32_t output);
    virtual void connectInput(std::int32_t index, bool connected);
    virtual void connectOutput(std::int32_t index, bool connected);
    virtual bool getInputProperties(std::int32_t index, void* properties);
    virtual bool getOutputProperties(std::int32_t index, void* properties);
    virtual std::int32_t getPlugCategory();
    virtual std::int32_t queryHostWillReplaceOrAccumulate();
    virtual std::int32_t queryHostProcessLevel();
    virtual std::int32_t queryHostAutomationState();
    virtual void setFlagExtIsAsync(bool on);
    virtual void setFlagExtHasBuffer(bool on);
    virtual std::int32_t getCurrentPosition();
    virtual float* getDestinationBuffer();
    virtual bool hostOfflineRead(void* offline, std::int32_t option, bool readSource);
    virtual bool hostOfflineWrite(void* offline, std::int32_t option);
    virtual bool hostOfflineStart(void* files, std::int32_t fileCount, std::int32_t newFileCount);
    virtual bool hostOfflineCurrentPass();
    virtual bool hostOfflineCurrentMetaPass();
    virtual bool offlineNotify(void* files, std::int32_t count, bool start);
    virtual bool offlinePrepare(void* offline, std::int32_t count);
    virtual bool offlineRun(void* offline, std::int32_t count);
    virtual std::int32_t extensionQuery1();
    virtual std::int32_t extensionQuery2();
    virtual void setHostOutputSampleRate(float rate);
    virtual SpeakerArrangement* queryHostInputArrangement();
    virtual SpeakerArrangement* queryHostOutputArrangement();
    virtual bool queryHostVendorString(char* text);
    virtual bool queryHostProductString(char* text);
    virtual std::int32_t queryHostVendorVersion();
    virtual std::int32_t sendHostVendorSpecific(std::int32_t index, std::int32_t value, void* ptr,
                                                float opt);
    virtual std::int32_t askHostCanDo(char* text);
    virtual void setFlagIsSynth(bool on);
    virtual void setFlagNoSoundInStop(bool on);
    virtual std::int32_t queryHostLanguage();
    virtual void* requestHostOpenWindow(void* window);
    virtual bool requestHostCloseWindow(void* window);
    virtual void* queryHostDirectory();
    virtual bool requestHostUpdateDisplay();
    virtual bool processVarIo(void* varIo);
    virtual bool setSpeakerArrangement(SpeakerArrangement* input, SpeakerArrangement* output);
    virtual bool getSpeakerArrangement(SpeakerArrangement** input, SpeakerArrangement** output);
    virtual void setBlockSizeAndSampleRate(std::int32_t size, float rate);
    virtual bool setBypass(bool on);
    virtual bool getEffectName(char* text);
    virtual bool getErrorText(char* text);
    virtual bool getVendorString(char* text);
    virtual bool getProductString(char* text);
    virtual std::int32_t getVendorVersion();
    virtual std::int32_t vendorSpecific(std::int32_t index, std::int32_t value, void* ptr,
                                        float opt);
    virtual std::int32_t canDo(char* text);
    virtual void* getIcon();
    virtual bool setViewPosition(std::int32_t x, std::int32_t y);
    virtual std::int32_t getTailSize();
    virtual std::int32_t idle();
    virtual bool getParameterProperties(std::int32_t index, void* properties);
    virtual bool keysRequired();
    virtual std::int32_t getVstVersion();
    virtual std::int32_t getMidiProgramName(std::int32_t channel, void* name);
    virtual std::int32_t getCurrentMidiProgram(std::int32_t channel, void* name);
    virtual std::int32_t getMidiProgramCategory(std::int32_t channel, void* category);
    virtual bool hasMidiProgramsChanged(std::int32_t channel);
    virtual bool getMidiKeyName(std::int32_t channel, void* keyName);
    virtual bool beginSetProgram();
    virtual bool endSetProgram();
    virtual bool beginEdit(std::int32_t index);
    virtual bool endEdit(std::int32_t index);
    virtual bool requestHostOpenFileSelector(void* selector);
    virtual std::int32_t setTotalSampleToProcess(std::int32_t value);
    virtual std::int32_t shellGetNextPlugin(char* name);
    virtual std::int32_t startProcess();
    virtual std::int32_t stopProcess();
    virtual bool setPanLaw(std::int32_t type, float gain);
    virtual std::int32_t beginLoadBank(void* bank);
    virtual std::int32_t beginLoadProgram(void* program);
    virtual bool newArrangement(SpeakerArrangement** arrangement, std::int32_t channels);
    virtual bool releaseArrangement(SpeakerArrangement** arrangement);
    virtual bool copySpeakerRecord(SpeakerRecord* to, SpeakerRecord* from);
    virtual bool copyArrangement(SpeakerArrangement** to, SpeakerArrangement* from);

    bool sendEventsToHost(void* events);
    bool requestHostCloseFileSelector(void* selector);
    bool queryHostChunkFile(void* chunk);
};
