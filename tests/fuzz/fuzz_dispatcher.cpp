// The host's side of the record, played at random: opcodes with any index, value, pointer
// and option, parameters, short blocks, and instances closed and made again. Text pointers
// reach a heap buffer with nothing after it, so a write past it is caught by AddressSanitizer.

#include "fuzz_common.h"
#include "host/opcodes.h"
#include "platform/headless/headless.h"
#include "plugin/meter_effect_with_editor.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

namespace {

IntPtr TROB_CALL host(EffectRecord*, std::int32_t opcode, std::int32_t, IntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

EffectRecord* openEffect() {
    auto* effect = new (std::nothrow) MeterEffectWithEditor(&host);
    return effect ? effect->getRecord() : nullptr;
}

EffectBase* objectOf(EffectRecord* record) {
    return static_cast<EffectBase*>(record->object);
}

// The text buffer a host hands over: `size` bytes, a text from the input, zeros after it.
struct HostBuffer {
    explicit HostBuffer(fuzz::Input& in, std::size_t size) : bytes(new std::uint8_t[size]) {
        std::size_t count = std::min<std::size_t>(in.byte(), size - 1);
        const std::uint8_t* from = in.bytes(count);
        std::memcpy(bytes.get(), from, count);
        std::memset(bytes.get() + count, 0, size - count);
    }
    std::unique_ptr<std::uint8_t[]> bytes;
};

constexpr std::size_t kTextSize = 256; // as much as any host gives for a name or a value
constexpr std::int32_t kOpcodeCount = 80;

void dispatchOne(EffectRecord*& record, fuzz::Input& in) {
    std::int32_t opcode =
        in.byte() < 240 ? static_cast<std::int32_t>(in.below(kOpcodeCount)) : in.awkwardInt();
    if (opcode == effClose) opcode = effIdentify; // closing is its own step
    const std::int32_t index = in.awkwardInt();
    IntPtr value = in.awkwardInt();
    HostBuffer text(in, kTextSize);
    void* pointers[2] = {};
    void* ptr = nullptr;
    if (in.byte() % 4 != 0) {
        // A pointer-to-pointer for the opcodes that answer a pointer, else a text buffer.
        const bool answersPointer =
            opcode == effEditGetRect || opcode == effGetChunk || opcode == effGetSpeakerArrangement;
        ptr = answersPointer ? static_cast<void*>(pointers) : text.bytes.get();
    }
    // The two arrangement opcodes take a pointer in value as well.
    if (opcode == effSetSpeakerArrangement || opcode == effGetSpeakerArrangement)
        value = (value & 1) ? reinterpret_cast<IntPtr>(pointers + 1) : 0;
    const float opt = in.awkwardFloat();
    record->dispatcher(record, opcode, index, value, ptr, opt);
    if (ptr == text.bytes.get() && std::memchr(text.bytes.get(), 0, kTextSize) == nullptr)
        fuzz::fail("text answer without a terminator", opcode);
}

void parameterStep(EffectRecord* record, fuzz::Input& in) {
    const std::int32_t index =
        in.byte() < 200 ? static_cast<std::int32_t>(in.below(16)) : in.awkwardInt();
    const float value = in.awkwardFloat();
    record->setParameter(record, index, value);
    (void)record->getParameter(record, index);
    // Parameter texts fit the smallest buffer hosts pass, 8 characters and the terminator:
    // a heap buffer of exactly that size, holding garbage, so a longer text is caught.
    constexpr std::size_t kParameterText = 9;
    for (std::int32_t opcode : {effGetParamDisplay, effGetParamName, effGetParamLabel}) {
        std::unique_ptr<char[]> display(new char[kParameterText]);
        std::memset(display.get(), 'x', kParameterText);
        record->dispatcher(record, opcode, index, 0, display.get(), 0.0f);
        if (std::memchr(display.get(), 0, kParameterText) == nullptr)
            fuzz::fail("unterminated text", opcode);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    EffectRecord* record = openEffect();
    if (!record) return 0;
    record->dispatcher(record, effOpen, 0, 0, nullptr, 0.0f);
    // Making an instance is the slow step; a few per input keep the fuzzer fast.
    int reopens = 0;
    for (int step = 0; step < 200 && !in.empty(); ++step) {
        switch (in.byte() % 8) {
        case 0:
        case 1:
        case 2:
        case 3:
            dispatchOne(record, in);
            break;
        case 4:
            parameterStep(record, in);
            break;
        case 5:
            fuzz::processAndCompare(record, in, static_cast<int>(in.below(70)) - 3, in.byte() & 1);
            break;
        case 6:
            fuzz::checkMeters(objectOf(record));
            break;
        default:
            if (++reopens > 3) break;
            if (record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f) != 1)
                fuzz::fail("effClose did not answer 1");
            record = openEffect();
            if (!record) {
                platform::headless::clearEvents();
                return 0;
            }
            break;
        }
    }
    fuzz::processAndCompare(record, in, 64, false);
    fuzz::checkMeters(objectOf(record));
    record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
    // The headless home logs what its windows do for the tests to read, a line per event: left
    // to grow, the log holds memory from one input to the next, and libFuzzer runs each such
    // input again under a leak check.
    platform::headless::clearEvents();
    return 0;
}
