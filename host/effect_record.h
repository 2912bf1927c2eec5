#pragma once
// The record shared with the host, byte for byte, and the types of the functions it carries.
// Pointer fields are pointer-sized: 144 bytes in a 32-bit build, 192 in a 64-bit one.

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define TROB_CALL __cdecl
#else
#define TROB_CALL
#endif

struct EffectRecord;

// Integers that carry pointers for some opcodes: int32 in a 32-bit build, pointer-sized otherwise.
using IntPtr = std::intptr_t;

using HostCallback = IntPtr(TROB_CALL*)(EffectRecord* effect, std::int32_t opcode,
                                        std::int32_t index, IntPtr value, void* ptr, float opt);
using DispatcherProc = IntPtr(TROB_CALL*)(EffectRecord* effect, std::int32_t opcode,
                                          std::int32_t index, IntPtr value, void* ptr, float opt);
using ProcessProc = void(TROB_CALL*)(EffectRecord* effect, float** inputs, float** outputs,
                                     std::int32_t sampleFrames);
using SetParameterProc = void(TROB_CALL*)(EffectRecord* effect, std::int32_t index, float value);
using GetParameterProc = float(TROB_CALL*)(EffectRecord* effect, std::int32_t index);

struct EffectRecord {
    std::int32_t magic;
    DispatcherProc dispatcher;
    ProcessProc process;
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    std::int32_t numPrograms;
    std::int32_t numParams;
    std::int32_t numInputs;
    std::int32_t numOutputs;
    std::int32_t flags;
    IntPtr resvd1;
    IntPtr resvd2;
    std::int32_t initialDelay;
    std::int32_t realQualities;
    std::int32_t offQualities;
    float ioRatio;
    void* object;
    IntPtr user;
    std::int32_t uniqueID;
    std::int32_t version;
    ProcessProc processReplacing;
    char future[60];
};

constexpr std::int32_t kEffectMagic = 0x56737450;     // 'VstP'
constexpr std::int32_t kEffectIdentify = 0x4E764566;  // 'NvEf'
constexpr std::int32_t kDefaultUniqueId = 0x4E6F4566; // 'NoEf'

enum EffectFlags : std::int32_t {
    effFlagsHasEditor = 1,
    effFlagsHasClip = 2,
    effFlagsHasVu = 4,
    effFlagsCanMono = 8,
    effFlagsCanReplacing = 16,
    effFlagsProgramChunks = 32,
    effFlagsIsSynth = 256,
    effFlagsNoSoundInStop = 512,
    effFlagsExtIsAsync = 1024,
    effFlagsExtHasBuffer = 2048,
};

#define TROB_CHECK_OFFSET(field, p32, p64)                                                         \
    static_assert(offsetof(EffectRecord, field) == (sizeof(void*) == 4 ? (p32) : (p64)),           \
                  "EffectRecord." #field " is not where hosts read it")
TROB_CHECK_OFFSET(magic, 0, 0);
TROB_CHECK_OFFSET(dispatcher, 4, 8);
TROB_CHECK_OFFSET(process, 8, 16);
TROB_CHECK_OFFSET(setParameter, 12, 24);
TROB_CHECK_OFFSET(getParameter, 16, 32);
TROB_CHECK_OFFSET(numPrograms, 20, 40);
TROB_CHECK_OFFSET(numParams, 24, 44);
TROB_CHECK_OFFSET(numInputs, 28, 48);
TROB_CHECK_OFFSET(numOutputs, 32, 52);
TROB_CHECK_OFFSET(flags, 36, 56);
TROB_CHECK_OFFSET(resvd1, 40, 64);
TROB_CHECK_OFFSET(resvd2, 44, 72);
TROB_CHECK_OFFSET(initialDelay, 48, 80);
TROB_CHECK_OFFSET(realQualities, 52, 84);
TROB_CHECK_OFFSET(offQualities, 56, 88);
TROB_CHECK_OFFSET(ioRatio, 60, 92);
TROB_CHECK_OFFSET(object, 64, 96);
TROB_CHECK_OFFSET(user, 68, 104);
TROB_CHECK_OFFSET(uniqueID, 72, 112);
TROB_CHECK_OFFSET(version, 76, 116);
TROB_CHECK_OFFSET(processReplacing, 80, 120);
TROB_CHECK_OFFSET(future, 84, 128);
#undef TROB_CHECK_OFFSET
static_assert(sizeof(EffectRecord) == (sizeof(void*) == 4 ? 144 : 192),
              "EffectRecord must have the size hosts allocate for it");
