// What trob reads and writes when things are not as they should be: a plug-in that is not the
// analyser, outputs that would destroy an input, files that end early or lie about their
// length, runs that fail half-way, and file names that are not UTF-8.

#include "tests/trob/trob_test_support.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <iterator>

namespace {

using namespace trob_test;
namespace fs = std::filesystem;

std::string bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

// The names in a folder, hidden ones included.
std::vector<std::string> listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The number of bytes before a FLAC file's first audio frame: the marker and every metadata
// block up to the one flagged last.
std::size_t flacHeaderLength(const std::string& flac) {
    std::size_t at = 4;
    for (;;) {
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(flac.at(i)); };
        const bool last = byte(at) & 0x80;
        at += 4 + (static_cast<std::size_t>(byte(at + 1)) << 16 |
                   static_cast<std::size_t>(byte(at + 2)) << 8 | byte(at + 3));
        if (last) return at;
    }
}

TEST_F(TrobCli, OnlyTheAnalyserIsLoadedAndAnyOtherPlugInIsRefusedClearly) {
    const auto wav = writeFile("tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, 0.5,
                               [](int, std::size_t n) { return tone(1000, 44100, n); });
    // trob view opens no window for a plug-in it cannot use, so no display is needed here.
    const char* display = std::getenv("DISPLAY");
    const std::string savedDisplay = display ? display : "";
    unsetenv("DISPLAY");
    for (const char* other : {TROB_PASSTHROUGH_PATH, TROB_IMPOSTOR_PATH}) {
        const std::string plugin = std::string(" --plugin '") + other + "'";
        for (const std::string& args :
             {"analyse '" + wav.string() + "'" + plugin, "analyse --summary --json" + plugin,
              "analyse '" + wav.string() + "' '" + wav.string() + "' --json" + plugin,
              "plot '" + wav.string() + "' --out '" + (dir / "p.png").string() + "'" + plugin,
              "view --mute" + plugin}) {
            const TrobRun r = trob(args);
            EXPECT_EQ(r.status, 1) << args << "\n" << r.err;
            EXPECT_NE(r.err.find("is not the TROBEdit analyser"), std::string::npos) << args << "\n"
                                                                                     << r.err;
        }
    }
    if (display) setenv("DISPLAY", savedDisplay.c_str(), 1);
    EXPECT_FALSE(fs::exists(dir / "p.png"));
    const TrobRun passThrough =
        trob(std::string("analyse --plugin '") + TROB_PASSTHROUGH_PATH + "'");
    EXPECT_NE(passThrough.err.find("unique ID is 1349735528"), std::string::npos)
        << passThrough.err;
    const TrobRun impostor = trob(std::string("analyse --plugin '") + TROB_IMPOSTOR_PATH + "'");
    EXPECT_NE(impostor.err.find("'TROBPass' by 'Vantrelo'"), std::string::npos) << impostor.err;
    // The analyser itself, named explicitly, passes.
    EXPECT_EQ(trob(std::string("analyse --plugin '") + TROB_PLUGIN_PATH + "'").status, 0);
}

TEST_F(TrobCli, NoOutputReplacesAnInputOrTakesTheNameOfAnAudioFile) {
    const auto wav = writeFile("take.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, 0.5,
                               [](int c, std::size_t n) { return tone(c ? 500 : 700, 44100, n); });
    const std::string original = bytesOf(wav);
    const std::string in = "'" + wav.string() + "'";
    fs::create_hard_link(wav, dir / "also.csv");
    fs::create_symlink(wav, dir / "link.png");
    const auto at = [&](const char* name) { return "'" + (dir / name).string() + "'"; };
    struct Case {
        std::string args, says;
    };
    const Case cases[] = {
        {"analyse " + in + " --csv " + in, "has the name of an audio file"},
        {"analyse --csv " + at("forgot.wav"), "has the name of an audio file"},
        {"analyse " + in + " --csv " + at("series.Flac"), "has the name of an audio file"},
        {"plot " + in + " --out " + in, "has the name of an audio file"},
        {"analyse " + in + " --csv " + at("also.csv"), "is the input"},
        {"plot " + in + " --out " + at("link.png"), "is the input"},
        {"render " + in + " --out " + in, "has the name of an audio file"},
        {"render " + in + " --animate " + at("TAKE.AIFF"), "has the name of an audio file"},
        {"render " + in + " --out " + at("link.png"), "is the input"},
        {"render " + in + " --out " + at("one.png") + " --animate " + at("one.png"),
         "given for two outputs"},
    };
    for (const auto& c : cases) {
        const TrobRun r = trob(c.args);
        EXPECT_EQ(r.status, 2) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << "\n" << r.err;
        ASSERT_EQ(bytesOf(wav), original) << c.args;
    }
    EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
    for (const char* never : {"forgot.wav", "series.Flac", "TAKE.AIFF", "one.png"})
        EXPECT_FALSE(fs::exists(dir / never)) << never;
}

TEST_F(TrobCli, FilesThatEndEarlyOrLieAboutTheirLengthReportTheFramesTheyHold) {
    const auto full =
        writeFile("full.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, 1.0,
                  [](int c, std::size_t n) { return tone(c ? 300 : 3000, 44100, n); });
    const std::string wav = bytesOf(full);
    writeBytes(dir / "header.wav", wav.substr(0, 44));
    writeBytes(dir / "cut.wav", wav.substr(0, 44 + 4 * 10000));

    const auto flacFile =
        writeFile("full.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, 0.8,
                  [](int c, std::size_t n) { return tone(c ? 200 : 2000, 44100, n); });
    const std::string flac = bytesOf(flacFile);
    writeBytes(dir / "header.flac", flac.substr(0, flacHeaderLength(flac)));
    // STREAMINFO's last 36 bits before the MD5 count the samples: claim 10,000,001.
    std::string claims = flac;
    std::uint64_t word = 0;
    for (int i = 0; i < 8; ++i)
        word = word << 8 | static_cast<unsigned char>(claims[18 + i]);
    word = (word & ~((std::uint64_t{1} << 36) - 1)) | 10000001u;
    for (int i = 7; i >= 0; --i, word >>= 8)
        claims[18 + i] = static_cast<char>(word & 0xFF);
    writeBytes(dir / "claims.flac", claims);

    const auto hiss = noise(3.0);
    const auto ogg = writeFile("full.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 44100, 3.0,
                               [&](int c, std::size_t n) { return c ? hiss[n] : -hiss[n]; });
    const std::string vorbis = bytesOf(ogg);
    writeBytes(dir / "cut.ogg", vorbis.substr(0, vorbis.size() / 2));

    const auto json = [&](const std::string& name, const std::string& more = "") {
        return trob("analyse '" + (dir / name).string() + "' --json" + more);
    };
    for (const char* empty : {"header.wav", "header.flac"}) {
        for (const TrobRun& r :
             {json(empty), trob("render '" + (dir / empty).string() + "' --out '" +
                                (dir / "still.png").string() + "'")}) {
            EXPECT_EQ(r.status, 1) << empty << "\n" << r.out;
            EXPECT_NE(r.err.find("holds no audio frames"), std::string::npos) << empty << r.err;
        }
    }
    EXPECT_FALSE(fs::exists(dir / "still.png"));
    struct Short {
        const char* name;
        const char* frames; // as the JSON gives them; "" for "fewer than the whole"
    };
    for (const Short& s :
         {Short{"cut.wav", "10000"}, Short{"claims.flac", "35280"}, Short{"cut.ogg", ""}}) {
        const TrobRun r = json(s.name);
        ASSERT_EQ(r.status, 0) << s.name << "\n" << r.err;
        EXPECT_NE(r.err.find("warning: '" + (dir / s.name).string() + "' is cut short"),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.out.find("\"truncated\": true,"), std::string::npos) << s.name;
        const auto at = r.out.find("\"frames\": ");
        ASSERT_NE(at, std::string::npos);
        const long long frames = std::stoll(r.out.substr(at + 10));
        if (*s.frames) {
            EXPECT_EQ(frames, std::stoll(s.frames)) << s.name;
        } else {
            EXPECT_GT(frames, 0) << s.name;
            EXPECT_LT(frames, 3 * 44100) << s.name;
        }
        const auto seconds = r.out.find("\"seconds\": ");
        EXPECT_FLOAT_EQ(std::stof(r.out.substr(seconds + 11)), frames / 44100.0f) << s.name;
        EXPECT_EQ(json(s.name, " --fail-on-truncated").status, 3) << s.name;
    }
    // An Ogg stream without its end has no length: the editor plays it to where it stops.
    const TrobRun render = trob("render '" + (dir / "cut.ogg").string() + "' --animate '" +
                                (dir / "cut.png").string() + "'");
    EXPECT_EQ(render.status, 0) << render.err;
    EXPECT_NE(render.err.find("is cut short"), std::string::npos) << render.err;
    const std::string apng = bytesOf(dir / "cut.png");
    const auto control = apng.find("acTL");
    ASSERT_NE(control, std::string::npos);
    std::uint32_t idles = 0;
    for (int i = 4; i < 8; ++i)
        idles = idles << 8 | static_cast<unsigned char>(apng[control + i]);
    EXPECT_GT(idles, 30u); // over a second of the stream, at 30 idles a second
    const TrobRun table = trob("analyse '" + (dir / "cut.wav").string() + "'");
    EXPECT_NE(table.out.find("cut.wav: 0.227 s at 44100 Hz"), std::string::npos) << table.out;

    // Whole files pass the check; among several, one cut short fails it.
    const TrobRun whole = json("full.wav", " --fail-on-truncated");
    EXPECT_EQ(whole.status, 0) << whole.err;
    EXPECT_EQ(whole.out.find("\"truncated\": true"), std::string::npos);
    EXPECT_EQ(whole.err, "");
    const TrobRun several = trob("analyse '" + full.string() + "' '" + (dir / "cut.wav").string() +
                                 "' --summary --json --fail-on-truncated -j 2");
    EXPECT_EQ(several.status, 3) << several.err;
    const auto second = several.out.find("cut.wav\"");
    ASSERT_NE(second, std::string::npos);
    EXPECT_GT(several.out.find("\"truncated\": true"), second);
}

TEST_F(TrobCli, ARunThatFailsHalfWayLeavesNoOutputAndTheOldOnesUntouched) {
    const auto hiss = noise(3.0, 11);
    const auto flac = writeFile("damaged.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, 3.0,
                                [&](int c, std::size_t n) { return c ? hiss[n] : 0.5f * hiss[n]; });
    // Noise where the middle of the file was: the frames before it decode, the rest do not.
    std::string bytes = bytesOf(flac);
    std::mt19937 scramble(3);
    for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 500; ++i)
        bytes[i] = static_cast<char>(scramble());
    writeBytes(flac, bytes);
    const fs::path outputs = dir / "outputs";
    fs::create_directories(outputs / "frames");
    writeBytes(outputs / "series.csv", "the series of an earlier run\n");
    const std::string in = "'" + flac.string() + "' ";
    const auto at = [&](const char* name) { return "'" + (outputs / name).string() + "'"; };
    for (const std::string& args :
         {"analyse " + in + "--csv " + at("series.csv"), "plot " + in + "--out " + at("plot.png"),
          "render " + in + "--frames " + at("frames") + " --animate " + at("run.png") + " --out " +
              at("still.png")}) {
        const TrobRun r = trob(args);
        EXPECT_EQ(r.status, 1) << args << "\n" << r.err;
        EXPECT_NE(r.err.find("damaged.flac"), std::string::npos) << r.err;
    }
    EXPECT_EQ(listing(outputs), (std::vector<std::string>{"frames", "series.csv"}));
    EXPECT_EQ(listing(outputs / "frames"), std::vector<std::string>{});
    EXPECT_EQ(slurp(outputs / "series.csv"), "the series of an earlier run\n");
}

// Runs python3's json module on `json`, strictly (the text must be UTF-8), and answers the
// text of `expression` over the parsed value `d`, as UTF-8.
std::string parsedJson(const fs::path& folder, const std::string& json,
                       const std::string& expression) {
    writeBytes(folder / "parse.json", json);
    writeBytes(folder / "parse.py",
               "import json, sys\n"
               "d = json.loads(open(sys.argv[1], 'rb').read().decode('utf-8'))\n"
               "sys.stdout.buffer.write((" +
                   expression + ").encode('utf-8'))\n");
    const std::string command = "python3 '" + (folder / "parse.py").string() + "' '" +
                                (folder / "parse.json").string() + "' >'" +
                                (folder / "parsed.txt").string() + "' 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << slurp(folder / "parsed.txt") << "\n" << json;
    return status == 0 ? bytesOf(folder / "parsed.txt") : "";
}

TEST_F(TrobCli, JsonIsValidForFileNamesThatAreNotUtf8OrHoldControlCharacters) {
    // Latin-1 "é" and "ÿ", a real "ü", an overlong "/", an encoded surrogate, a tab, a control
    // character, a quote and a backslash.
    const std::string name = "caf\xe9 \xff\xc3\xbc\xc0\xaf\xed\xa0\x80\t\x01\"q\\";
    // Each stray byte reads as its Latin-1 character (UTF-8 written out here).
    const std::string read =
        "caf\xc3\xa9 \xc3\xbf\xc3\xbc\xc3\x80\xc2\xaf\xc3\xad\xc2\xa0\xc2\x80\t\x01\"q\\";
    const auto wav = writeFile(name + ".wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, 0.3,
                               [](int, std::size_t n) { return tone(440, 44100, n); });
    const std::string missing = (dir / (name + " gone.wav")).string();
    const std::string png = (dir / (name + ".png")).string();

    const TrobRun one = trob("analyse '" + wav.string() + "' --json");
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(parsedJson(dir, one.out, "d['source']"), (dir / (read + ".wav")).string());

    const TrobRun two = trob("analyse '" + wav.string() + "' '" + missing + "' --summary --json");
    EXPECT_EQ(two.status, 1);
    EXPECT_EQ(parsedJson(dir, two.out, "d[1]['source'] + '|' + d[1]['error']"),
              (dir / (read + " gone.wav")).string() + "|cannot open '" +
                  (dir / (read + " gone.wav")).string() + "': No such file or directory");

    const TrobRun plot = trob("plot '" + wav.string() + "' --out '" + png + "' --json");
    ASSERT_EQ(plot.status, 0) << plot.err;
    EXPECT_EQ(parsedJson(dir, plot.out, "d['out']"), (dir / (read + ".png")).string());
}

} // namespace

// Starts trob with `args` and stops it with `signal` as soon as any hidden file or folder
// appears in `outputs`; answers the wait status.
int interruptedOnceWriting(const std::vector<std::string>& args, const fs::path& outputs,
                           int signal) {
    const pid_t pid = fork();
    if (pid == 0) {
        // The signals' default actions, whatever the test runner left ignored.
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(TROB_PROGRAM)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(TROB_PROGRAM, argv.data());
        _exit(127);
    }
    bool writing = false;
    for (int wait = 0; wait < 6000 && !writing; ++wait) {
        for (const auto& entry : fs::directory_iterator(outputs))
            writing = writing || entry.path().filename().string()[0] == '.';
        if (!writing) usleep(5000);
    }
    EXPECT_TRUE(writing) << "no temporary output appeared";
    kill(pid, signal);
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

TEST_F(TrobCli, AnInterruptedRunLeavesNoTemporaryOutputBehind) {
    const auto hiss = noise(40.0, 5);
    const auto wav = writeFile("long.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, 40.0,
                               [&](int c, std::size_t n) { return c ? hiss[n] : -hiss[n]; });
    const fs::path outputs = dir / "outputs";
    fs::create_directories(outputs / "frames");
    writeBytes(outputs / "series.csv", "the series of an earlier run\n");
    const std::string in = wav.string();
    const auto at = [&](const char* name) { return (outputs / name).string(); };
    const std::vector<std::pair<std::vector<std::string>, int>> runs{
        {{"analyse", in, "--csv", at("series.csv"), "--plot", at("plot.png")}, SIGINT},
        {{"render", in, "--frames", at("frames"), "--out", at("still.png")}, SIGTERM}};
    for (const auto& [args, signal] : runs) {
        const int status = interruptedOnceWriting(args, outputs, signal);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << args[0] << " " << status;
        EXPECT_EQ(listing(outputs), (std::vector<std::string>{"frames", "series.csv"})) << args[0];
        EXPECT_EQ(listing(outputs / "frames"), std::vector<std::string>{}) << args[0];
    }
    EXPECT_EQ(slurp(outputs / "series.csv"), "the series of an earlier run\n");
}
