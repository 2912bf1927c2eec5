#include "tools/output_file.h"

#include "tools/interrupt_cleanup.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace trob {

namespace {

namespace fs = std::filesystem;

std::atomic<unsigned> temporaryCount{0};

std::string cannotWrite(const std::string& path, int error) {
    return "cannot write '" + path + "': " + std::strerror(error);
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The file a path names in the end: a symbolic link is followed, so that writing the output
// replaces the file it points to and leaves the link in place. A dangling link stays as it is.
std::string resolved(const std::string& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
    char* real = realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string out(real);
    std::free(real);
    return out;
}

} // namespace

PendingFile::~PendingFile() {
    if (temporary.empty() || inPlace) return;
    unlink(temporary.c_str());
    forgetTemporary(temporary);
}

bool PendingFile::createForStandardOutput() {
    std::error_code ignored;
    std::string folder = fs::temp_directory_path(ignored).string();
    if (folder.empty()) folder = "/tmp";
    std::string pattern = folder + "/.trob-stdout-XXXXXX";
    const MakingTemporary making;
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        errorText = "cannot make a temporary file in '" + folder +
                    "' for standard output: " + std::strerror(errno);
        return false;
    }
    close(fd);
    temporary = pattern;
    rememberTemporary(temporary);
    toStandardOutput = true;
    return true;
}

bool PendingFile::copyToStandardOutput() {
    const int fd = open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    bool ok = fd >= 0 && std::fflush(stdout) == 0;
    char buffer[1 << 16];
    while (ok) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        for (ssize_t at = 0; ok && at < got;) {
            const ssize_t wrote = write(STDOUT_FILENO, buffer + at, static_cast<size_t>(got - at));
            if (wrote < 0 && errno == EINTR) continue;
            ok = wrote > 0;
            at += wrote;
        }
    }
    const int error = errno;
    if (fd >= 0) close(fd);
    if (!ok) errorText = std::string("cannot write to standard output: ") + std::strerror(error);
    return ok;
}

bool PendingFile::create(const std::string& path) {
    given = path;
    if (given == "-") return createForStandardOutput();
    target = resolved(path);
    // An output that exists keeps its permissions; one it may not write stays as it is, as
    // writing it in place would have failed.
    struct stat existing {};
    const bool exists = stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        errorText = cannotWrite(given, EISDIR);
        return false;
    }
    // A pipe or a terminal (/dev/stdout, a shell's process substitution) is written as it is:
    // it has no name to give, and renaming onto it would replace the device's entry. So is
    // whatever stands for an open descriptor, which may be a file the shell redirected to.
    const bool special = given.rfind("/dev/", 0) == 0 || given.rfind("/proc/", 0) == 0;
    if (exists && (special || !S_ISREG(existing.st_mode))) {
        inPlace = true;
        temporary = given;
        return true;
    }
    if (exists && access(target.c_str(), W_OK) != 0) {
        errorText = cannotWrite(given, errno);
        return false;
    }
    const auto slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    // Hidden, and short enough for any file system however long the output's name is.
    const std::string stem = folder + (folder.back() == '/' ? "." : "/.") + name.substr(0, 100) +
                             ".trob-" + std::to_string(getpid()) + "-";
    const MakingTemporary making;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string candidate = stem + std::to_string(temporaryCount.fetch_add(1)) + ".tmp";
        const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            errorText = cannotWrite(given, errno);
            return false;
        }
        if (exists) (void)fchmod(fd, existing.st_mode & 07777);
        close(fd);
        temporary = candidate;
        rememberTemporary(temporary);
        return true;
    }
    errorText = cannotWrite(given, EEXIST);
    return false;
}

bool PendingFile::commit() {
    if (inPlace) return true;
    if (toStandardOutput) return copyToStandardOutput();
    if (temporary.empty()) {
        if (errorText.empty()) errorText = "cannot write '" + given + "'";
        return false;
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        errorText = cannotWrite(given, errno);
        return false; // the destructor removes the temporary file
    }
    forgetTemporary(temporary);
    temporary.clear();
    return true;
}

PendingFolder::~PendingFolder() {
    if (temporary.empty()) return;
    std::error_code ignored;
    fs::remove_all(temporary, ignored);
    forgetTemporary(temporary);
}

bool PendingFolder::create(const std::string& path) {
    folder = path;
    std::string pattern = folder + "/.trob-frames-XXXXXX";
    const MakingTemporary making;
    if (!mkdtemp(pattern.data())) {
        errorText = cannotWrite(folder, errno);
        return false;
    }
    temporary = pattern;
    rememberTemporary(temporary);
    return true;
}

bool PendingFolder::commit() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(temporary, error)) {
        fs::rename(entry.path(), fs::path(folder) / entry.path().filename(), error);
        if (error) break;
    }
    if (error) {
        errorText = "cannot write into '" + folder + "': " + error.message();
        return false;
    }
    fs::remove(temporary, error);
    forgetTemporary(temporary);
    temporary.clear();
    return true;
}

bool namesAudioFile(const std::string& path) {
    static const char* const kAudioExtensions[] = {
        "wav", "wave", "bwf", "rf64", "w64",  "flac",  "aif",  "aiff", "aifc", "caf",
        "au",  "snd",  "ogg", "oga",  "opus", "mp3",   "mp2",  "m4a",  "aac",  "wma",
        "wv",  "ape",  "voc", "sd2",  "paf",  "avr",   "htk",  "pvf",  "xi",   "sds",
        "mpc", "dsf",  "dff", "ac3",  "amr",  "ircam", "nist", "sph"};
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::any_of(std::begin(kAudioExtensions), std::end(kAudioExtensions),
                       [&](const char* e) { return extension == e; });
}

std::string outputConflict(const std::vector<std::string>& inputs,
                           const std::vector<std::string>& outputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const std::string& out = outputs[i];
        // Standard output is no file: only two outputs on it collide.
        if (out == "-") {
            if (std::find(outputs.begin(), outputs.begin() + static_cast<long>(i), out) !=
                outputs.begin() + static_cast<long>(i))
                return "two outputs cannot both go to standard output ('-')";
            continue;
        }
        if (namesAudioFile(out))
            return "'" + out +
                   "' has the name of an audio file; trob writes no audio and replaces none "
                   "(give the output another name)";
        struct stat written {};
        const bool exists = stat(out.c_str(), &written) == 0;
        for (const std::string& in : inputs) {
            if (in == "-") continue;
            struct stat source {};
            if (exists && stat(in.c_str(), &source) == 0 && sameFile(written, source))
                return "'" + out + "' is the input '" + in +
                       "'; trob does not write over its inputs";
        }
        for (std::size_t j = 0; j < i; ++j) {
            struct stat other {};
            if (outputs[j] == "-") continue;
            if (outputs[j] == out ||
                (exists && stat(outputs[j].c_str(), &other) == 0 && sameFile(written, other)))
                return "'" + out + "' is given for two outputs";
        }
    }
    return {};
}

} // namespace trob
