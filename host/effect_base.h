#pragma once
// The effect base: owns the record handed to the host and turns dispatcher opcodes 0 to 24
// into virtual operations with harmless defaults.

#include "host/effect_record.h"

#include <atomic>
#include <cstdint>

class EditorBase;

class EffectBase {
public:
    EffectBase(HostCallback hostCallback, std::int32_t programCount, std::int32_t parameterCount);
    virtual ~EffectBase();

    EffectBase(const EffectBase&) = delete;
    EffectBase& operator=(const EffectBase&) = delete;

    // Virtual operations, in the order of the host-facing virtual table.
    virtual void setParameter(std::int32_t index, float value);
    virtual float getParameter(std::int32_t index);
    virtual void setParameterAndNotify(std::int32_t index, float value);
    virtual void process(float** inputs, float** outputs, std::int32_t sampleFrames) = 0;
    virtual void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames);
    virtual IntPtr dispatcher(std::int32_t opcode, std::int32_t index, IntPtr value, void* ptr,
                              float opt);
    virtual void open();
    virtual void close();
    virtual std::int32_t getProgram();
    virtual void setProgram(std::int32_t program);
    virtual void setProgramName(char* text);
    virtual void getProgramName(char* text);
    virtual void getParamLabel(std::int32_t index, char* text);
    virtual void getParamDisplay(std::int32_t index, char* text);
    virtual void getParamName(std::int32_t index, char* text);
    virtual float getVu();
    virtual float getMeterValue(std::int32_t index);
    virtual void meterHook();
    virtual std::int32_t getChunk(void** data, bool isPreset);
    virtual std::int32_t setChunk(void* data, std::int32_t byteSize, bool isPreset);
    virtual void setSampleRate(float rate);
    virtual void setBlockSize(std::int32_t size);
    virtual void suspendProcessing();
    virtual void resumeProcessing();
    virtual void setRecordUniqueId(std::int32_t id);
    virtual void setRecordInputCount(std::int32_t count);
    virtual void setRecordOutputCount(std::int32_t count);
    virtual void setFlagHasVu(bool on);
    virtual void setFlagHasClip(bool on);
    virtual void setFlagCanMono(bool on);
    virtual void setFlagCanReplacing(bool on);
    virtual void setFlagProgramChunks(bool on);
    virtual void setRecordRealtimeQualities(std::int32_t value);
    virtual void setRecordOfflineQualities(std::int32_t value);
    virtual void setRecordInitialDelay(std::int32_t samples);
    virtual float currentSampleRate();
    virtual std::int32_t currentBlockSize();
    virtual std::int32_t queryHostVersion();
    virtual std::int32_t queryHostCurrentId();
    virtual void requestHostIdle();
    virtual bool isInputPinConnected(std::int32_t index);
    virtual bool isOutputPinConnected(std::int32_t index);
    virtual void formatDecibels(float value, char* text);
    virtual void formatHertz(float samples, char* text);
    virtual void formatMilliseconds(float samples, char* text);
    virtual void formatFloat(float value, char* text);
    virtual void formatInteger(std::int32_t value, char* text);

    // The record handed to the host; its `object` field leads back here.
    EffectRecord* getRecord() { return &record; }
    static EffectBase* fromRecord(EffectRecord* effect) {
        return effect ? static_cast<EffectBase*>(effect->object) : nullptr;
    }

    // Attaching an editor sets effFlagsHasEditor; detaching (null) clears it. The effect owns
    // the attached editor.
    void attachEditor(EditorBase* newEditor);

protected:
    // Sends one opcode to the host; 0 without a callback.
    IntPtr callHost(std::int32_t opcode, std::int32_t index = 0, IntPtr value = 0,
                    void* ptr = nullptr, float opt = 0.0f);
    void setFlag(std::int32_t bit, bool on);

    // Written by the host's dispatcher thread, read by the audio thread.
    std::atomic<float> sampleRate;
    EditorBase* editor;
    HostCallback hostCallback;
    std::int32_t programCount;
    std::int32_t parameterCount;
    std::int32_t currentProgram;
    std::atomic<std::int32_t> blockSize;
    EffectRecord record;
};
