#pragma once
// Comparing two pictures pixel by pixel, and what a failed comparison leaves behind to look at:
// STEM.actual.png, STEM.expected.png and STEM.difference.png. Pixels are ColorRef values, row
// by row from the top. Used by the tests and by the checker programs that run outside them.

#include <cstdint>
#include <string>
#include <vector>

namespace pictures {

struct Difference {
    int pixels = 0; // how many differ
    int firstX = -1, firstY = -1;
};

// The pixels that differ between two pictures of `width` columns and the same size.
Difference compare(const std::vector<std::uint32_t>& actual,
                   const std::vector<std::uint32_t>& expected, int width);

// The difference picture: white where the two agree, red where they differ.
std::vector<std::uint32_t> differencePicture(const std::vector<std::uint32_t>& actual,
                                             const std::vector<std::uint32_t>& expected);

// Writes the three pictures of a comparison; `difference` defaults to `differencePicture`.
// False when one of them cannot be written.
bool writeComparison(const std::string& stem, int width, int height,
                     const std::vector<std::uint32_t>& actual,
                     const std::vector<std::uint32_t>& expected,
                     const std::vector<std::uint32_t>& difference = {});

} // namespace pictures
