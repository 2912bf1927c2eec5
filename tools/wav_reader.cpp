#include "tools/wav_reader.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

std::uint32_t little32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t little16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// One sample as libsndfile's float: the integer, left-aligned in 32 bits for 24-bit data,
// converted to float, times the power of two that puts full scale at 1.
float sampleAt(const unsigned char* p, int bytesPerSample, bool isFloat) {
    switch (bytesPerSample) {
    case 1:
        return static_cast<float>(static_cast<int>(p[0]) - 128) * (1.0f / 128.0f);
    case 2:
        return static_cast<float>(static_cast<std::int16_t>(little16(p))) * (1.0f / 32768.0f);
    case 3: {
        const std::uint32_t aligned = static_cast<std::uint32_t>(p[0]) << 8 |
                                      static_cast<std::uint32_t>(p[1]) << 16 |
                                      static_cast<std::uint32_t>(p[2]) << 24;
        return static_cast<float>(static_cast<std::int32_t>(aligned)) * (1.0f / 2147483648.0f);
    }
    default: {
        const std::uint32_t word = little32(p);
        if (isFloat) {
            float f;
            std::memcpy(&f, &word, sizeof f);
            return f;
        }
        return static_cast<float>(static_cast<std::int32_t>(word)) * (1.0f / 2147483648.0f);
    }
    }
}

} // namespace

WavReader::~WavReader() {
    if (file) std::fclose(file);
}

bool WavReader::fail(const std::string& text) {
    errorText = text;
    if (file) std::fclose(file);
    file = nullptr;
    return false;
}

bool WavReader::open(const std::string& path) {
    file = std::fopen(path.c_str(), "rb");
    if (!file) return fail("cannot open '" + path + "'");
    unsigned char header[12];
    if (std::fread(header, 1, 12, file) != 12 || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0)
        return fail("'" + path + "' is not a WAV file");
    bool haveFormat = false;
    for (;;) {
        unsigned char chunk[8];
        if (std::fread(chunk, 1, 8, file) != 8) return fail("'" + path + "' has no audio data");
        const std::uint32_t size = little32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || size > 64) return fail("'" + path + "' has a damaged format chunk");
            unsigned char format[64];
            if (std::fread(format, 1, size, file) != size)
                return fail("'" + path + "' ends inside its format chunk");
            if (size % 2 == 1 && std::fgetc(file) == EOF)
                return fail("'" + path + "' ends inside its format chunk");
            std::uint16_t tag = little16(format);
            if (tag == kFormatExtensible && size >= 26) tag = little16(format + 24);
            channelCount = little16(format + 2);
            rate = little32(format + 4);
            const int bits = little16(format + 14);
            const int blockAlign = little16(format + 12);
            bytesPerSample = (bits + 7) / 8;
            isFloat = tag == kFormatFloat;
            if (!(tag == kFormatPcm && bits >= 8 && bits <= 32) && !(isFloat && bits == 32))
                return fail("'" + path +
                            "' is not in a format this reader knows (PCM of 8 to 32 "
                            "bits or 32-bit float)");
            if (channelCount < 1 || channelCount > 2)
                return fail("'" + path + "' has " + std::to_string(channelCount) +
                            " channels; only mono and stereo files are analysed");
            if (blockAlign != bytesPerSample * channelCount || rate <= 0.0)
                return fail("'" + path + "' has a damaged format chunk");
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return fail("'" + path + "' has its data before its format");
            frames = size / static_cast<std::uint32_t>(bytesPerSample * channelCount);
            return true;
        } else {
            // Chunks are padded to an even size.
            if (std::fseek(file, static_cast<long>(size + (size & 1)), SEEK_CUR) != 0)
                return fail("'" + path + "' has no audio data");
        }
    }
}

std::int64_t WavReader::read(float* left, float* right, std::int64_t wanted) {
    if (!file || wanted <= 0) return 0;
    if (wanted > frames - position) wanted = frames - position;
    if (wanted <= 0) return 0;
    const std::size_t frameBytes = static_cast<std::size_t>(bytesPerSample * channelCount);
    bytes.resize(static_cast<std::size_t>(wanted) * frameBytes);
    const std::size_t got =
        std::fread(bytes.data(), frameBytes, static_cast<std::size_t>(wanted), file);
    if (got == 0 && std::ferror(file)) return -1;
    for (std::size_t n = 0; n < got; ++n) {
        const unsigned char* p = bytes.data() + n * frameBytes;
        left[n] = sampleAt(p, bytesPerSample, isFloat);
        right[n] = sampleAt(p + (channelCount - 1) * bytesPerSample, bytesPerSample, isFloat);
    }
    position += static_cast<std::int64_t>(got);
    // A file shorter than its data chunk says ends where its bytes do.
    if (got < static_cast<std::size_t>(wanted)) frames = position;
    return static_cast<std::int64_t>(got);
}
