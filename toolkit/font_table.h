#pragma once
// The toolkit's eight fonts, by font id.
#include <cstdint>

struct FontTableEntry {
    const char* faceName;
    int32_t defaultSize; // character height in pixels
};

inline constexpr int32_t kFontCount = 8;
inline constexpr FontTableEntry fontTable[kFontCount] = {
    {"Arial", 12}, // 0: always bold
    {"Arial", 18}, {"Arial", 14}, {"Arial", 12},  {"Arial", 11},
    {"Arial", 10}, {"Arial", 9},  {"Symbol", 13}, // 7: decorative family
};
