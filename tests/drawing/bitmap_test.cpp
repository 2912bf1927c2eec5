// Pictures, transparent and blended copies, offscreen surfaces, and the BMP reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/png_export.h"
#include "resources/bmp_reader.h"
#include "tests/drawing/canvas.h"
#include "tests/drawing/corpus.h"
#include "toolkit/bitmap.h"
#include "toolkit/blend_entries.h"
#include "toolkit/offscreen_context.h"

namespace {

constexpr platform::ColorRef kWhite = 0xFFFFFF;

// Installs the blending calls for one test, as a frame does, and takes them away afterwards.
class WithBlendLibrary {
public:
    WithBlendLibrary() : library_(platform::loadBlendLibrary()) {
        blendEntries.AlphaBlend = library_.alphaBlend;
        blendEntries.TransparentBlt = library_.transparentBlt;
    }
    ~WithBlendLibrary() {
        blendEntries = BlendEntries{};
        platform::freeBlendLibrary(library_);
    }

private:
    platform::BlendLibrary library_;
};

TEST(Bitmap, UnknownIdGivesAnEmptyPictureThatDrawsNothing) {
    WithBlendLibrary blending;
    Bitmap* missing = new Bitmap(4242);
    EXPECT_EQ(missing->getWidth(), 0);
    EXPECT_EQ(missing->getHeight(), 0);
    EXPECT_FALSE(missing->isLoaded());
    Canvas canvas(20, 20);
    missing->draw(&canvas.context(), Rect(0, 0, 20, 20));
    missing->drawTransparent(&canvas.context(), Rect(0, 0, 20, 20));
    blendEntries.TransparentBlt = nullptr; // and through the three-pass fallback
    missing->drawTransparent(&canvas.context(), Rect(0, 0, 20, 20));
    missing->drawAlphaBlend(&canvas.context(), Rect(0, 0, 20, 20), Point{}, 128);
    EXPECT_EQ(canvas.countNot(kWhite), 0);
    missing->forget();
}

TEST(Bitmap, LoadsItsPictureAndCopiesTheSourceArea) {
    Bitmap* tiles = new Bitmap(kTilesPicture);
    ASSERT_TRUE(tiles->isLoaded());
    EXPECT_EQ(tiles->getWidth(), 40);
    EXPECT_EQ(tiles->getHeight(), 30);
    Canvas canvas(60, 60);
    canvas.context().offset = Point{1, 2};
    tiles->draw(&canvas.context(), Rect(10, 20, 30, 30), Point{5, 6});
    // Picture pixel (x, y) inside the frame is red x * 6, green y * 8, blue (x + y) * 3.
    EXPECT_EQ(canvas.at(11, 22), platform::makeColorRef(30, 48, 33));
    EXPECT_EQ(canvas.at(30, 31), platform::makeColorRef(144, 120, 117));
    EXPECT_EQ(canvas.at(31, 22), kWhite);
    EXPECT_EQ(canvas.at(11, 32), kWhite);
    tiles->forget();
}

TEST(Bitmap, ReferenceCountingDeletesAtTheLastForget) {
    Bitmap* b = new Bitmap(kOddPicture);
    EXPECT_EQ(b->getReferenceCount(), 1);
    b->remember();
    EXPECT_EQ(b->getReferenceCount(), 2);
    b->forget();
    EXPECT_EQ(b->getReferenceCount(), 1);
    b->forget(); // deleted here: the leak checker of the sanitizer build sees it otherwise
}

TEST(Bitmap, WhiteIsTheDefaultTransparentColour) {
    WithBlendLibrary blending;
    Bitmap* tiles = new Bitmap(kTilesPicture);
    EXPECT_EQ(tiles->getTransparentColor(), kDefaultTransparentColor);
    EXPECT_EQ(tiles->getTransparentColor(), kWhiteColor);
    Canvas canvas(40, 30);
    canvas.clear(0x000000);
    tiles->drawTransparent(&canvas.context(), Rect(0, 0, 40, 30));
    EXPECT_EQ(canvas.at(0, 0), 0u); // the white frame is left out
    EXPECT_EQ(canvas.at(39, 29), 0u);
    EXPECT_EQ(canvas.at(10, 10), platform::makeColorRef(60, 80, 60));
    tiles->forget();
}

TEST(Bitmap, KeyedCopyAndThreePassFallbackGiveTheSamePixels) {
    WithBlendLibrary blending;
    Bitmap* tiles = new Bitmap(kTilesPicture);
    Canvas keyed(64, 48), fallback(64, 48);
    for (Canvas* each : {&keyed, &fallback}) {
        each->context().setFillColor(Color{20, 90, 160, 0});
        each->context().fillRect(Rect(-1, -1, 40, 40));
    }
    ASSERT_NE(blendEntries.TransparentBlt, nullptr);
    tiles->drawTransparent(&keyed.context(), Rect(3, 4, 43, 34));
    tiles->drawTransparent(&keyed.context(), Rect(30, 20, 60, 40), Point{7, 3});
    blendEntries.TransparentBlt = nullptr;
    tiles->drawTransparent(&fallback.context(), Rect(3, 4, 43, 34));
    tiles->drawTransparent(&fallback.context(), Rect(30, 20, 60, 40), Point{7, 3});
    EXPECT_TRUE(keyed.samePixels(fallback));
    // The fallback puts back the device colours it borrowed.
    EXPECT_EQ(platform::setBkColor(fallback.device(), 0), platform::makeColorRef(20, 90, 160));
    tiles->forget();
}

TEST(Bitmap, TransparencyMaskKeepsTheBackgroundWhereTheMaskIsSet) {
    WithBlendLibrary blending;
    Bitmap* tiles = new Bitmap(kTilesPicture);
    Canvas canvas(40, 30);
    tiles->draw(&canvas.context(), Rect(0, 0, 40, 30));
    tiles->setTransparencyMask(&canvas.context(), Point{0, 0});
    canvas.clear(0x00FF00);
    tiles->drawTransparent(&canvas.context(), Rect(0, 0, 40, 30));
    EXPECT_EQ(canvas.at(0, 0), 0x00FF00u);
    EXPECT_EQ(canvas.at(10, 10), platform::makeColorRef(60, 80, 60));
    tiles->forget();
}

TEST(Bitmap, AlphaBlendMixesWithConstantOpacityAndNeedsTheBlendCall) {
    WithBlendLibrary blending;
    Bitmap* tiles = new Bitmap(kTilesPicture);
    Canvas canvas(10, 10);
    canvas.clear(0x000000);
    tiles->drawAlphaBlend(&canvas.context(), Rect(0, 0, 10, 10), Point{10, 10}, 128);
    // (60, 80, 60) half over black, rounded to nearest.
    EXPECT_EQ(canvas.at(0, 0), platform::makeColorRef(30, 40, 30));
    blendEntries.AlphaBlend = nullptr;
    canvas.clear(0x000000);
    tiles->drawAlphaBlend(&canvas.context(), Rect(0, 0, 10, 10), Point{10, 10}, 255);
    EXPECT_EQ(canvas.countNot(0), 0);
    tiles->forget();
}

TEST(Bitmap, CopiesPastThePictureOrTheSurfaceAreClipped) {
    WithBlendLibrary blending;
    Bitmap* odd = new Bitmap(kOddPicture); // 13 x 7
    Canvas canvas(20, 20);
    odd->draw(&canvas.context(), Rect(15, 15, 115, 115), Point{0, 0});
    odd->draw(&canvas.context(), Rect(-1, -1, 99, 99), Point{-3, -2});
    odd->drawTransparent(&canvas.context(), Rect(-1000, 5, 1000, 2000), Point{-5, 0});
    blendEntries.TransparentBlt = nullptr;
    odd->drawTransparent(&canvas.context(), Rect(10, -9, 4000, 9), Point{2, 2});
    // Only the overlap of picture and surface changed.
    EXPECT_EQ(canvas.at(15, 15), platform::makeColorRef(0, 0x40, 0xC0));
    EXPECT_EQ(canvas.at(19, 19), platform::makeColorRef(0, 0x40, 0xC0));
    EXPECT_EQ(canvas.at(2, 1), platform::makeColorRef(0, 0x40, 0xC0));
    EXPECT_EQ(canvas.at(1, 1), kWhite);
    // A blend whose source runs past the picture blends nothing.
    canvas.clear(kWhite);
    odd->drawAlphaBlend(&canvas.context(), Rect(0, 0, 14, 7), Point{0, 0}, 255);
    EXPECT_EQ(canvas.countNot(kWhite), 0);
    odd->forget();
}

TEST(OffscreenContext, HundredByFiftyBlackSurface) {
    OffscreenContext off(nullptr, 100, 50, kBlackColor);
    EXPECT_EQ(off.getWidth(), 100);
    EXPECT_EQ(off.getHeight(), 50);
    EXPECT_EQ(off.getClipRect(), Rect(0, 0, 100, 50));
    EXPECT_EQ(platform::getPixel(off.getDevice(), 0, 0), 0u);
    EXPECT_EQ(platform::getPixel(off.getDevice(), 99, 49), 0u);
    EXPECT_EQ(platform::getPixel(off.getDevice(), 100, 50), platform::kInvalidColor);
}

TEST(OffscreenContext, ClearsEveryPixelAndCopiesToAndFromContexts) {
    OffscreenContext off(nullptr, 7, 5, kRedColor);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            ASSERT_EQ(platform::getPixel(off.getDevice(), x, y), 0x0000FFu);
    Canvas canvas(20, 20);
    canvas.context().offset = Point{2, 2};
    off.copyTo(&canvas.context(), Rect(0, 0, 7, 5));
    EXPECT_EQ(canvas.at(2, 2), 0x0000FFu);
    EXPECT_EQ(canvas.at(8, 6), 0x0000FFu);
    EXPECT_EQ(canvas.at(9, 6), kWhite);
    canvas.context().offset = Point{};
    off.copyFrom(&canvas.context(), Rect(15, 15, 20, 20), Point{1, 1});
    EXPECT_EQ(platform::getPixel(off.getDevice(), 1, 1), kWhite);
    EXPECT_EQ(platform::getPixel(off.getDevice(), 0, 0), 0x0000FFu);
}

TEST(OffscreenContext, FromABitmapCopiesItOrDrawsIntoIt) {
    Bitmap* tiles = new Bitmap(kTilesPicture);
    Canvas canvas(4, 4);
    {
        OffscreenContext copy(&canvas.context(), tiles, false);
        EXPECT_EQ(copy.getWidth(), 40);
        EXPECT_EQ(platform::getPixel(copy.getDevice(), 10, 10), platform::makeColorRef(60, 80, 60));
        copy.setFillColor(kBlueColor);
        copy.fillRect(Rect(0, 0, 40, 30));
    }
    {
        OffscreenContext black(&canvas.context(), nullptr, false);
        EXPECT_EQ(black.getWidth(), 20);
        EXPECT_EQ(platform::getPixel(black.getDevice(), 19, 19), 0u);
    }
    {
        OffscreenContext into(&canvas.context(), tiles, true);
        into.drawPoint(Point{10, 10}, kGreenColor);
    }
    Canvas check(40, 30);
    tiles->draw(&check.context(), Rect(0, 0, 40, 30));
    EXPECT_EQ(check.at(10, 10), 0x00FF00u); // drawn into the picture itself
    EXPECT_EQ(check.at(11, 10), platform::makeColorRef(66, 80, 63)); // the copy left it alone
    tiles->forget();
}

std::vector<uint8_t> bmpFile(int width, int height, int bits) {
    const int stride = (width * 3 + 3) & ~3;
    std::vector<uint8_t> f(54 + size_t(stride) * size_t(height < 0 ? -height : height), 0x80);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    f[0] = 'B';
    f[1] = 'M';
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));
    f[26] = 1;
    f[27] = 0;
    f[28] = uint8_t(bits);
    f[29] = 0;
    put32(30, 0);
    return f;
}

TEST(BmpReader, ReadsBottomUpTopDownAndPaddedRows) {
    std::vector<uint8_t> f = bmpFile(3, 2, 24);
    // Bottom row first: (blue, green, red) per pixel, rows padded to 12 bytes.
    const uint8_t bottom[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::copy(std::begin(bottom), std::end(bottom), f.begin() + 54);
    DecodedPicture p;
    ASSERT_TRUE(readBmp(f.data(), f.size(), p));
    EXPECT_EQ(p.width, 3);
    EXPECT_EQ(p.height, 2);
    // The size from the headers alone, stored either way up, with or without the file header.
    for (const auto& [data, size] :
         {std::pair{f.data(), f.size()}, {f.data() + 14, f.size() - 14}}) {
        int w = 0, h = 0;
        ASSERT_TRUE(readBmpSize(data, size, w, h));
        EXPECT_EQ(w, 3);
        EXPECT_EQ(h, 2);
    }
    EXPECT_EQ(p.pixels[3], platform::makeColorRef(3, 2, 1));
    EXPECT_EQ(p.pixels[5], platform::makeColorRef(9, 8, 7));
    std::vector<uint8_t> down = bmpFile(3, -2, 24);
    std::copy(std::begin(bottom), std::end(bottom), down.begin() + 54);
    ASSERT_TRUE(readBmp(down.data(), down.size(), p));
    int w = 0, h = 0;
    ASSERT_TRUE(readBmpSize(down.data(), down.size(), w, h));
    EXPECT_EQ(h, 2);
    EXPECT_EQ(p.pixels[0], platform::makeColorRef(3, 2, 1));
    // The info header alone, as a picture resource stores it.
    ASSERT_TRUE(readBmp(f.data() + 14, f.size() - 14, p));
    EXPECT_EQ(p.pixels[3], platform::makeColorRef(3, 2, 1));
}

TEST(BmpReader, RefusesWhatItCannotReadWithoutReadingPastTheEnd) {
    // Refused whole, and refused by the size reader as well.
    const auto refused = [](const uint8_t* data, size_t size) {
        DecodedPicture p;
        int w = 0, h = 0;
        return !readBmp(data, size, p) && !readBmpSize(data, size, w, h);
    };
    std::vector<uint8_t> f = bmpFile(5, 5, 24);
    EXPECT_TRUE(refused(f.data(), f.size() - 1)); // one byte short
    EXPECT_TRUE(refused(f.data(), 30));
    EXPECT_TRUE(refused(nullptr, 100));
    std::vector<uint8_t> eight = bmpFile(5, 5, 8);
    EXPECT_TRUE(refused(eight.data(), eight.size()));
    std::vector<uint8_t> huge = bmpFile(5, 5, 24);
    huge[18] = huge[19] = huge[20] = 0xFF;
    huge[21] = 0x7F; // width 2^31 - 1
    EXPECT_TRUE(refused(huge.data(), huge.size()));
    std::vector<uint8_t> offset = bmpFile(5, 5, 24);
    offset[13] = 0x7F; // pixels said to start 2 GB in
    EXPECT_TRUE(refused(offset.data(), offset.size()));
    std::vector<uint8_t> zero = bmpFile(0, 5, 24);
    EXPECT_TRUE(refused(zero.data(), zero.size()));
}

TEST(BmpReader, TheCompiledInTopDownPictureLoads) {
    Bitmap* top = new Bitmap(kTopDownPicture);
    ASSERT_TRUE(top->isLoaded());
    Canvas canvas(6, 4);
    top->draw(&canvas.context(), Rect(0, 0, 6, 4));
    EXPECT_EQ(canvas.at(3, 0), 0x0000FFu);
    EXPECT_EQ(canvas.at(3, 3), platform::makeColorRef(0, 120, 0));
    top->forget();
}

TEST(BmpReader, ThePictureSizeWithoutLoadingIsTheLoadedSize) {
    for (const int32_t id : {1001, 1002, kTopDownPicture, 999}) {
        Bitmap* loaded = new Bitmap(id);
        int32_t w = -1, h = -1;
        Bitmap::sizeOfResource(id, &w, &h);
        EXPECT_EQ(w, loaded->getWidth()) << id;
        EXPECT_EQ(h, loaded->getHeight()) << id;
        EXPECT_EQ(w > 0, id != 999) << id;
        loaded->forget();
    }
}

TEST(PngExport, WritesASurfaceAsAPngFile) {
    OffscreenContext off(nullptr, 9, 4, kBlueColor);
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "trob_png_export_test.png";
    ASSERT_TRUE(platform::writeBitmapPng(path.string(), off.getSurface()));
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG");
    EXPECT_EQ(uint8_t(bytes[19]), 9); // width in the header chunk
    EXPECT_EQ(uint8_t(bytes[23]), 4);
    std::filesystem::remove(path);
    EXPECT_FALSE(platform::writeBitmapPng(path.string(), nullptr));
}

} // namespace
