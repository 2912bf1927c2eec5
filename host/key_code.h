#pragma once

#include <cstdint>

// Key record handed to the editor for key-down and key-up.
struct KeyCode {
    std::int32_t character;
    std::uint8_t virt;
    std::uint8_t modifier;
};
