#pragma once
// The assertion every picture test makes: equal pixels, or a failure naming how many differ,
// the first of them and the three pictures written beside STEM.

#include "tests/pictures/picture_compare.h"

#include <gtest/gtest.h>

namespace pictures {

inline ::testing::AssertionResult samePicture(const std::vector<std::uint32_t>& actual,
                                              const std::vector<std::uint32_t>& expected, int width,
                                              int height, const std::string& stem) {
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure()
               << stem << ": " << actual.size() << " pixels, not " << expected.size();
    const Difference d = compare(actual, expected, width);
    if (d.pixels == 0) return ::testing::AssertionSuccess();
    writeComparison(stem, width, height, actual, expected);
    return ::testing::AssertionFailure()
           << d.pixels << " pixels differ, the first at " << d.firstX << "," << d.firstY << "; see "
           << stem << ".actual.png, .expected.png and .difference.png";
}

} // namespace pictures
