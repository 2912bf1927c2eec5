#pragma once
// Reads a fuzz input as a stream of choices. Past the end every read answers 0, so any input,
// however short, is a complete run.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace fuzz {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    bool empty() const { return position >= size; }
    std::size_t remaining() const { return empty() ? 0 : size - position; }

    std::uint8_t byte() { return empty() ? 0 : data[position++]; }
    template <typename T> T take() {
        T value{};
        unsigned char bytes[sizeof(T)] = {};
        for (auto& b : bytes)
            b = byte();
        std::memcpy(&value, bytes, sizeof(T));
        return value;
    }
    // 0 .. count-1.
    std::uint32_t below(std::uint32_t count) { return count ? take<std::uint16_t>() % count : 0; }
    // `count` bytes of the input, fewer at its end.
    const std::uint8_t* bytes(std::size_t& count) {
        if (count > remaining()) count = remaining();
        const std::uint8_t* at = data + position;
        position += count;
        return at;
    }

    // Mostly the values where code breaks, sometimes any bit pattern.
    float awkwardFloat() {
        static const float kAwkward[] = {0.0f,
                                         -0.0f,
                                         1.0f,
                                         -1.0f,
                                         0.5f,
                                         2.0f,
                                         std::numeric_limits<float>::quiet_NaN(),
                                         -std::numeric_limits<float>::quiet_NaN(),
                                         std::numeric_limits<float>::infinity(),
                                         -std::numeric_limits<float>::infinity(),
                                         std::numeric_limits<float>::denorm_min(),
                                         -std::numeric_limits<float>::denorm_min(),
                                         std::numeric_limits<float>::min(),
                                         std::numeric_limits<float>::max(),
                                         -std::numeric_limits<float>::max(),
                                         1e38f,
                                         -1e38f,
                                         1e20f,
                                         1e-30f,
                                         1e9f,
                                         2147483648.0f,
                                         -2147483904.0f,
                                         8000.0f,
                                         44100.0f,
                                         384000.0f,
                                         1e7f,
                                         1.0e7f + 1024.0f,
                                         999.0f,
                                         1000.0f,
                                         1.0f / 3.0f,
                                         0.999999f,
                                         1.000001f};
        constexpr std::uint8_t kCount = sizeof kAwkward / sizeof kAwkward[0];
        const std::uint8_t pick = byte();
        if (pick < kCount) return kAwkward[pick];
        if (pick < 200) return static_cast<float>(pick - kCount) / 100.0f;
        return take<float>();
    }
    // Small numbers, the edges of the type, or anything.
    std::int32_t awkwardInt() {
        switch (byte() % 8) {
        case 0:
            return std::numeric_limits<std::int32_t>::min();
        case 1:
            return std::numeric_limits<std::int32_t>::max();
        case 2:
            return -1;
        case 3:
            return take<std::int32_t>();
        default:
            return static_cast<std::int8_t>(byte());
        }
    }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

} // namespace fuzz
