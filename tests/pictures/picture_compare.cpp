#include "tests/pictures/picture_compare.h"

#include "platform/png_export.h"

namespace pictures {

Difference compare(const std::vector<std::uint32_t>& actual,
                   const std::vector<std::uint32_t>& expected, int width) {
    Difference d;
    for (std::size_t i = 0; i < actual.size() && i < expected.size(); ++i)
        if (actual[i] != expected[i] && d.pixels++ == 0) {
            d.firstX = static_cast<int>(i % static_cast<std::size_t>(width));
            d.firstY = static_cast<int>(i / static_cast<std::size_t>(width));
        }
    return d;
}

std::vector<std::uint32_t> differencePicture(const std::vector<std::uint32_t>& actual,
                                             const std::vector<std::uint32_t>& expected) {
    std::vector<std::uint32_t> diff(actual.size());
    for (std::size_t i = 0; i < diff.size(); ++i)
        diff[i] = i < expected.size() && actual[i] == expected[i] ? 0xFFFFFFu : 0x0000FFu;
    return diff;
}

bool writeComparison(const std::string& stem, int width, int height,
                     const std::vector<std::uint32_t>& actual,
                     const std::vector<std::uint32_t>& expected,
                     const std::vector<std::uint32_t>& difference) {
    const std::vector<std::uint32_t> diff =
        difference.empty() ? differencePicture(actual, expected) : difference;
    bool ok = platform::writePng(stem + ".actual.png", width, height, actual.data());
    ok = platform::writePng(stem + ".expected.png", width, height, expected.data()) && ok;
    return platform::writePng(stem + ".difference.png", width, height, diff.data()) && ok;
}

} // namespace pictures
