// Draws the test pictures of the drawing tests as 24-bit BMP files.
// Usage: make_test_pictures DIRECTORY
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using Shader = std::function<uint32_t(int x, int y)>; // 0xRRGGBB

bool writeBmp(const std::string& path, int width, int height, bool topDown, const Shader& shade) {
    const int stride = (width * 3 + 3) & ~3;
    const uint32_t pixelBytes = uint32_t(stride * height);
    std::vector<uint8_t> file(54 + pixelBytes, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, uint32_t(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(topDown ? -height : height));
    file[26] = 1;
    file[28] = 24;
    put32(34, pixelBytes);
    for (int y = 0; y < height; ++y) {
        const int row = topDown ? y : height - 1 - y;
        for (int x = 0; x < width; ++x) {
            const uint32_t c = shade(x, y);
            uint8_t* p = &file[54 + size_t(row * stride + x * 3)];
            p[0] = uint8_t(c);       // blue
            p[1] = uint8_t(c >> 8);  // green
            p[2] = uint8_t(c >> 16); // red
        }
    }
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    const bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_test_pictures DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    // Coloured tiles with a white frame and white holes: the key colour of transparent copies.
    const bool ok =
        writeBmp(dir + "/tiles.bmp", 40, 30, false,
                 [](int x, int y) -> uint32_t {
                     if (x < 2 || y < 2 || x >= 38 || y >= 28) return 0xFFFFFF;
                     if ((x / 6 + y / 6) % 3 == 0 && (x + y) % 5 == 0) return 0xFFFFFF;
                     return uint32_t((x * 6) << 16 | (y * 8) << 8 | ((x + y) * 3 & 0xFF));
                 }) &&
        // An odd width, so that every row carries padding.
        writeBmp(dir + "/odd.bmp", 13, 7, false,
                 [](int x, int y) -> uint32_t { return (x + y) % 2 ? 0xFF8000 : 0x0040C0; }) &&
        // Stored top row first.
        writeBmp(dir + "/top_down.bmp", 6, 4, true, [](int x, int y) -> uint32_t {
            return y == 0 ? 0xFF0000 : uint32_t(x * 40) << 8;
        });
    return ok ? 0 : 1;
}
