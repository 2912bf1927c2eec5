#pragma once
// Compares a window with a golden PNG in tests/golden. A difference writes the actual, the
// expected and the difference pictures beside the golden (NAME.actual.png, ...); a missing
// golden writes the actual one; with
// TROB_UPDATE_GOLDEN=1 the golden is written instead.

#include "platform/headless/headless.h"
#include "platform/png_export.h"
#include "tests/pictures/same_picture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace editor_test {

inline std::vector<std::uint32_t> windowPixels(platform::WindowHandle window, int w, int h) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out[static_cast<std::size_t>(y * w + x)] = platform::headless::pixel(window, x, y);
    return out;
}

inline ::testing::AssertionResult matchesGolden(const std::vector<std::uint32_t>& actual, int w,
                                                int h, const std::string& name) {
    const std::string golden = std::string(TROB_GOLDEN_DIR) + "/" + name + ".png";
    const std::string actualPath = std::string(TROB_GOLDEN_DIR) + "/" + name + ".actual.png";
    if (std::getenv("TROB_UPDATE_GOLDEN")) {
        platform::writePng(golden, w, h, actual.data());
        return ::testing::AssertionSuccess();
    }
    int gw = 0, gh = 0;
    std::vector<std::uint32_t> expected;
    if (!platform::readPng(golden, gw, gh, expected)) {
        platform::writePng(actualPath, w, h, actual.data());
        return ::testing::AssertionFailure()
               << "no golden " << golden << "; actual in " << actualPath;
    }
    if (gw != w || gh != h) {
        platform::writePng(actualPath, w, h, actual.data());
        return ::testing::AssertionFailure() << golden << " is " << gw << " x " << gh;
    }
    return pictures::samePicture(actual, expected, w, h, std::string(TROB_GOLDEN_DIR) + "/" + name)
           << " (golden " << golden << ")";
}

} // namespace editor_test
