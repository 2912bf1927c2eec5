// trob on pipes and folders: "-" as the input and as an output, and -r DIR.

#include "tests/trob/trob_test_support.h"

#include <regex>

namespace {

using namespace trob_test;
namespace fs = std::filesystem;

// The report without the member that names the source.
std::string withoutSource(const std::string& json) {
    return std::regex_replace(json, std::regex("\"source\": \"[^\"]*\""), "\"source\": \"\"");
}

std::vector<std::string> sources(const std::string& json) {
    std::vector<std::string> out;
    const std::regex source("\"source\": \"([^\"]*)\"");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), source);
         it != std::sregex_iterator(); ++it)
        out.push_back((*it)[1]);
    return out;
}

bool isPng(const std::string& bytes) {
    return bytes.size() > 8 && bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0 &&
           bytes.compare(bytes.size() - 8, 4, "IEND") == 0;
}

class TrobStreams : public TrobCli {
protected:
    fs::path stereo(const std::string& name, int format) {
        const auto hiss = noise(0.5);
        return writeFile(name, format, 2, 44100, 0.5, [&](int c, std::size_t n) {
            return c == 0 ? hiss[n] : 0.5f * hiss[n] + tone(1000, 44100, n, 0.2);
        });
    }
};

TEST_F(TrobStreams, AudioPipedInAndOutputsOnStandardOutputMatchTheFiles) {
    const fs::path wav = stereo("take.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    const fs::path flac = stereo("take.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    for (const fs::path& file : {wav, flac}) {
        const TrobRun direct = trob("analyse '" + file.string() + "' --json");
        ASSERT_EQ(direct.status, 0) << direct.err;
        // A pipe cannot be sought in; a redirected file can.
        const TrobRun pipe = piped("cat '" + file.string() + "'", "analyse - --json");
        const TrobRun redirected = piped("true", "analyse - --json <'" + file.string() + "'");
        for (const TrobRun& r : {pipe, redirected}) {
            ASSERT_EQ(r.status, 0) << file << r.err;
            EXPECT_EQ(sources(r.out), std::vector<std::string>{"-"});
            EXPECT_EQ(withoutSource(r.out), withoutSource(direct.out)) << file;
        }
    }

    // The series and the pictures on standard output are the files' bytes, and nothing else.
    const fs::path csv = dir / "series.csv", png = dir / "plot.png";
    ASSERT_EQ(trob("analyse '" + wav.string() + "' --csv '" + csv.string() + "' --plot '" +
                   png.string() + "'")
                  .status,
              0);
    const TrobRun series = piped("cat '" + wav.string() + "'", "analyse - --csv -");
    EXPECT_EQ(series.status, 0) << series.err;
    EXPECT_EQ(series.out, slurp(csv));
    const TrobRun picture = piped("cat '" + wav.string() + "'", "analyse - --plot -");
    EXPECT_EQ(picture.status, 0) << picture.err;
    EXPECT_TRUE(isPng(picture.out));
    const TrobRun plotted = trob("plot '" + wav.string() + "' --out -");
    EXPECT_EQ(plotted.status, 0) << plotted.err;
    EXPECT_TRUE(isPng(plotted.out));
    const TrobRun rendered = piped("cat '" + wav.string() + "'", "render - --out -");
    EXPECT_EQ(rendered.status, 0) << rendered.err;
    EXPECT_TRUE(isPng(rendered.out));

    // What is not audio fails with its reason, and no half output reaches standard output.
    const fs::path text = dir / "notes.txt";
    std::ofstream(text) << "not audio\n";
    const TrobRun bad = piped("cat '" + text.string() + "'", "analyse - --csv -");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "");
    EXPECT_NE(bad.err.find("standard input is not in a format"), std::string::npos) << bad.err;
}

TEST_F(TrobStreams, UsesThatWouldMixOnTheStandardStreamsAreRefused) {
    const fs::path wav = stereo("take.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string w = "'" + wav.string() + "'";
    const std::pair<std::string, std::string> refused[] = {
        {"analyse - -", "read only once"},
        {"analyse " + w + " --csv - --plot -", "both write to standard output"},
        {"analyse " + w + " --json --csv -", "--json would print the report"},
        {"analyse " + w + " --summary --plot -", "--summary asks for one"},
        {"analyse " + w + " --final --csv -", "--final asks for one"},
        {"plot " + w + " --out - --json", "--json would print the layout"},
        {"render " + w + " --out - --animate -", "both go to standard output"},
    };
    for (const auto& [args, why] : refused) {
        const TrobRun r = piped("cat " + w, args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_NE(r.err.find(why), std::string::npos) << args << ": " << r.err;
    }
}

TEST_F(TrobStreams, RecursiveTakesTheAudioFilesBelowAFolderInNameOrder) {
    const fs::path root = dir / "session";
    for (const char* sub : {"b", "b/deep", "a.d", "empty"})
        fs::create_directories(root / sub);
    const auto silence = [](int, std::size_t) { return 0.0f; };
    const std::pair<const char*, int> files[] = {{"b/deep/x.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                                                 {"b/y.FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                                                 {"Z.AIFF", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
                                                 {"a.d/m.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                                                 {"c.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                                                 {".hidden.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                                                 {"b/._y.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16}};
    for (const auto& [name, format] : files)
        writeFile("session/" + std::string(name), format, 1, 8000, 0.2, silence);
    std::ofstream(root / "notes.txt") << "not audio\n";
    // A link out of b to the folder above it, and one to a folder the tree holds by name.
    fs::create_directory_symlink("../..", root / "b" / "deep" / "up");
    fs::create_directory_symlink("b", root / "a.link");
    const fs::path single = stereo("single.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16);

    // Walking session, the links lead back into it; walking b, "up" leads out of it.
    const TrobRun r = trob("analyse '" + single.string() + "' -r '" + root.string() +
                           "' --recursive '" + (root / "b").string() + "' --json -j 2 -q");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string s = root.string() + "/";
    EXPECT_EQ(sources(r.out), (std::vector<std::string>{
                                  single.string(), s + "Z.AIFF", s + "a.d/m.wav",
                                  s + "b/deep/x.wav", s + "b/y.FLAC", s + "c.wav",
                                  // "up" comes before "x.wav"
                                  s + "b/deep/up/Z.AIFF", s + "b/deep/up/a.d/m.wav",
                                  s + "b/deep/up/c.wav", s + "b/deep/x.wav", s + "b/y.FLAC"}));
    EXPECT_EQ(r.out.front(), '['); // a folder makes a batch

    const TrobRun empty = trob("analyse -r '" + (root / "empty").string() + "'");
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.err.find("no audio files below"), std::string::npos) << empty.err;
    const TrobRun notFolder = trob("analyse -r '" + single.string() + "'");
    EXPECT_EQ(notFolder.status, 1);
    EXPECT_NE(notFolder.err.find("is not a folder"), std::string::npos) << notFolder.err;
    EXPECT_EQ(trob("analyse -r '" + root.string() + "' --csv x.csv").status, 2);
}

} // namespace
