#include "tools/audio_inputs.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace trob {

namespace {

namespace fs = std::filesystem;

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The extensions libsndfile gives for the formats it reads, with the other names those
// formats go by. Headerless formats (raw, vox) need their layout given and are left out.
const std::set<std::string>& audioExtensions() {
    static const std::set<std::string> extensions = [] {
        std::set<std::string> out = {"aif", "aifc", "wave", "bwf", "snd", "ogg", "opus",
                                     "mp3", "mp2",  "mpeg", "sph", "svx", "8svx"};
        auto add = [&](int countCommand, int infoCommand) {
            int count = 0;
            sf_command(nullptr, countCommand, &count, sizeof count);
            for (int i = 0; i < count; ++i) {
                SF_FORMAT_INFO info{};
                info.format = i;
                if (sf_command(nullptr, infoCommand, &info, sizeof info) == 0 && info.extension)
                    out.insert(lowerCase(info.extension));
            }
        };
        add(SFC_GET_FORMAT_MAJOR_COUNT, SFC_GET_FORMAT_MAJOR);
        add(SFC_GET_SIMPLE_FORMAT_COUNT, SFC_GET_SIMPLE_FORMAT);
        out.erase("raw");
        out.erase("vox");
        return out;
    }();
    return extensions;
}

// A temporary file without a name in the temporary folder, for reading and writing.
int unnamedTemporaryFile(std::string& folder) {
    std::error_code ignored;
    folder = fs::temp_directory_path(ignored).string();
    if (folder.empty()) folder = "/tmp";
    int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    // File systems without unnamed files: a named one, unlinked at once.
    std::string pattern = folder + "/.trob-stdin-XXXXXX";
    fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0) unlink(pattern.c_str());
    return fd;
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t wrote = write(fd, data, size);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        data += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
    return true;
}

using FolderId = std::pair<dev_t, ino_t>;

// The folders below `folder` reached without following links (`folder` among them).
void realFolders(const fs::path& folder, std::set<FolderId>& found) {
    std::error_code failed;
    for (fs::directory_iterator it(folder, failed), end; !failed && it != end;
         it.increment(failed)) {
        struct stat status {};
        if (lstat(it->path().c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
            found.insert({status.st_dev, status.st_ino}).second)
            realFolders(it->path(), found);
    }
}

struct Walk {
    // Folders that are in the tree under their own names: a link to one is not followed, so
    // that its files are listed once, under the folder's name.
    std::set<FolderId> inTree;
    std::set<FolderId> seen;
    std::vector<std::string>& files;
    std::string& error;
};

bool walk(const fs::path& folder, Walk& w) {
    std::error_code failed;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(folder, failed), end; !failed && it != end; it.increment(failed))
        entries.push_back(it->path());
    if (failed) {
        w.error = "cannot read the folder '" + folder.string() + "': " + failed.message();
        return false;
    }
    std::sort(entries.begin(), entries.end(), [](const fs::path& a, const fs::path& b) {
        return a.filename().string() < b.filename().string();
    });
    for (const fs::path& entry : entries) {
        const std::string name = entry.filename().string();
        if (name.empty() || name[0] == '.') continue;
        struct stat status {
        }, link{};
        if (stat(entry.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
            const FolderId id{status.st_dev, status.st_ino};
            const bool linked = lstat(entry.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
            if (linked && w.inTree.count(id)) continue;
            if (w.seen.insert(id).second && !walk(entry, w)) return false;
        } else if (hasAudioExtension(name)) {
            // A link to nowhere is listed too: its analysis says what is wrong with it.
            w.files.push_back(entry.string());
        }
    }
    return true;
}

} // namespace

int seekableStandardInput(std::string& error) {
    struct stat status {};
    if (fstat(STDIN_FILENO, &status) != 0) {
        error = std::string("cannot read standard input: ") + std::strerror(errno);
        return -1;
    }
    if (isatty(STDIN_FILENO)) {
        error = "standard input is a terminal; pipe the audio in ('trob analyse - < FILE')";
        return -1;
    }
    if (S_ISREG(status.st_mode) && lseek(STDIN_FILENO, 0, SEEK_CUR) == 0) {
        const int fd = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
        if (fd >= 0) return fd;
    }
    std::string folder;
    const int fd = unnamedTemporaryFile(folder);
    if (fd < 0) {
        error = "cannot make a temporary file in '" + folder +
                "' to hold standard input: " + std::strerror(errno);
        return -1;
    }
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = std::string("cannot read standard input: ") + std::strerror(errno);
            close(fd);
            return -1;
        }
        if (got == 0) break;
        if (!writeAll(fd, buffer.data(), static_cast<std::size_t>(got))) {
            error = "cannot hold standard input in a temporary file in '" + folder +
                    "': " + std::strerror(errno);
            close(fd);
            return -1;
        }
    }
    if (lseek(fd, 0, SEEK_SET) != 0) {
        error = std::string("cannot read standard input back: ") + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

bool hasAudioExtension(const std::string& path) {
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    return audioExtensions().count(lowerCase(path.substr(dot + 1))) > 0;
}

bool audioFilesBelow(const std::string& folder, std::vector<std::string>& files,
                     std::string& error) {
    struct stat status {};
    if (stat(folder.c_str(), &status) != 0) {
        error = "cannot open the folder '" + folder + "': " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        error = "'" + folder + "' is not a folder (-r takes a folder of audio files)";
        return false;
    }
    const std::size_t before = files.size();
    Walk w{{{status.st_dev, status.st_ino}}, {{status.st_dev, status.st_ino}}, files, error};
    realFolders(folder, w.inTree);
    if (!walk(folder, w)) return false;
    if (files.size() == before) {
        error = "no audio files below '" + folder +
                "' (trob looks for names ending in .wav, .flac, .aiff, .ogg, .mp3 and the other "
                "extensions of the formats it reads)";
        return false;
    }
    return true;
}

bool expandFolders(std::vector<std::string>& files,
                   const std::vector<std::pair<std::size_t, std::string>>& folders,
                   std::string& error) {
    if (folders.empty()) return true;
    std::vector<std::string> out;
    std::size_t next = 0;
    for (const auto& [position, folder] : folders) {
        for (; next < position && next < files.size(); ++next)
            out.push_back(files[next]);
        if (!audioFilesBelow(folder, out, error)) return false;
    }
    for (; next < files.size(); ++next)
        out.push_back(files[next]);
    files = std::move(out);
    return true;
}

} // namespace trob
