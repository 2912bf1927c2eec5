// `trob render` as a user runs it: the demo's window at a moment against its golden picture,
// enlargement, frame sequences, the animated PNG's frame count, and clear errors.

#include "platform/png_export.h"
#include "tests/editor/golden.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

class TrobRender : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("trob_render_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    int trob(const std::string& args) {
        const std::string command = std::string("cd '") + dir.string() + "' && '" + TROB_PROGRAM +
                                    "' render " + args + " >stdout.txt 2>stderr.txt </dev/null";
        const int raw = std::system(command.c_str());
        std::ifstream in(dir / "stderr.txt");
        std::stringstream s;
        s << in.rdbuf();
        err = s.str();
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    fs::path dir;
    std::string err;
};

TEST_F(TrobRender, TheDemoAtFiveSecondsMatchesItsGoldenPicture) {
    ASSERT_EQ(trob("--at 5 --out at5.png"), 0) << err;
    int w = 0, h = 0;
    std::vector<std::uint32_t> actual;
    ASSERT_TRUE(platform::readPng((dir / "at5.png").string(), w, h, actual));
    ASSERT_EQ(w, 300);
    ASSERT_EQ(h, 225);
    EXPECT_TRUE(editor_test::matchesGolden(actual, w, h, "demo_at_5s"));

    // The same moment enlarged: every pixel a 3 x 3 block.
    ASSERT_EQ(trob("--at 5 --scale 3 --out big.png"), 0) << err;
    std::vector<std::uint32_t> big;
    ASSERT_TRUE(platform::readPng((dir / "big.png").string(), w, h, big));
    ASSERT_EQ(w, 900);
    ASSERT_EQ(h, 675);
    std::vector<std::uint32_t> blocks(big.size());
    for (int y = 0; y < 675; ++y)
        for (int x = 0; x < 900; ++x)
            blocks[static_cast<std::size_t>(y * 900 + x)] =
                actual[static_cast<std::size_t>((y / 3) * 300 + x / 3)];
    EXPECT_TRUE(pictures::samePicture(big, blocks, 900, 675, (dir / "big").string()));
}

TEST_F(TrobRender, FramesAndAnimationCoverEveryIdle) {
    fs::create_directories(dir / "shots");
    ASSERT_EQ(trob("--frames shots --animate run.png --rate 8000"), 0) << err;
    // Ten seconds at 30 idles per second, and the one at time 0.
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir / "shots"))
        files += entry.path().extension() == ".png";
    EXPECT_EQ(files, 301);
    EXPECT_TRUE(fs::exists(dir / "shots" / "frame_00300.png"));
    // The animation: its control chunk counts the frames; its first frame is a plain PNG.
    std::ifstream in(dir / "run.png", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t at = bytes.find("acTL");
    ASSERT_NE(at, std::string::npos);
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    EXPECT_EQ((byte(at + 4) << 24) | (byte(at + 5) << 16) | (byte(at + 6) << 8) | byte(at + 7),
              301);
    int w = 0, h = 0;
    std::vector<std::uint32_t> first, shot;
    ASSERT_TRUE(platform::readPng((dir / "run.png").string(), w, h, first));
    ASSERT_TRUE(platform::readPng((dir / "shots" / "frame_00000.png").string(), w, h, shot));
    EXPECT_EQ(first, shot);
}

TEST_F(TrobRender, MistakesEndWithAClearMessage) {
    EXPECT_EQ(trob("--scale 0"), 2);
    EXPECT_NE(err.find("--scale needs a whole number from 1 to 16"), std::string::npos) << err;
    EXPECT_EQ(trob("--at -1"), 2);
    EXPECT_NE(err.find("--at needs a time"), std::string::npos) << err;
    EXPECT_EQ(trob("--frames missing_dir"), 2);
    EXPECT_NE(err.find("existing directory"), std::string::npos) << err;
    EXPECT_EQ(trob("--frames . --at 2"), 2);
    EXPECT_NE(err.find("give --out too"), std::string::npos) << err;
    EXPECT_EQ(trob("no_such.wav"), 1);
    EXPECT_NE(err.find("no_such.wav"), std::string::npos) << err;
    EXPECT_EQ(trob("--out /no/such/dir/x.png --rate 8000"), 1);
    EXPECT_NE(err.find("cannot write '/no/such/dir/x.png'"), std::string::npos) << err;
    EXPECT_EQ(trob("--bogus"), 2);
    EXPECT_NE(err.find("unknown option '--bogus'"), std::string::npos) << err;
}

} // namespace
