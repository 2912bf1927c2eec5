#pragma once
// Outputs that appear whole or not at all, and never in place of an input. Each output is
// written under a temporary name in the folder it belongs in and takes its own name only when
// the run has succeeded; one that is never committed leaves nothing behind.

#include <string>
#include <vector>

namespace trob {

class PendingFile {
public:
    PendingFile() = default;
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Makes an empty temporary file beside `path` (through a symbolic link, beside the file it
    // names, so that the link stays). A `path` that is a pipe or a device is written directly.
    // "-" is standard output: the output is kept in the temporary folder until `commit`
    // copies it there, so that a failed run writes nothing. False with `error()` set when
    // `path` cannot be written.
    bool create(const std::string& path);
    // Where the output is to be written meanwhile.
    const std::string& path() const { return temporary; }
    // Gives the written file its name, replacing what had it; false with `error()` set.
    bool commit();
    const std::string& error() const { return errorText; }

private:
    bool createForStandardOutput();
    bool copyToStandardOutput();

    std::string given, target, temporary, errorText;
    bool inPlace = false;
    bool toStandardOutput = false;
};

// A temporary folder inside an existing one, for files that move into it together.
class PendingFolder {
public:
    PendingFolder() = default;
    ~PendingFolder();
    PendingFolder(const PendingFolder&) = delete;
    PendingFolder& operator=(const PendingFolder&) = delete;

    bool create(const std::string& folder);
    const std::string& path() const { return temporary; }
    // Moves every file into the folder, replacing files of the same names.
    bool commit();
    const std::string& error() const { return errorText; }

private:
    std::string folder, temporary, errorText;
};

// True when the name ends in an extension audio files have (".wav", ".FLAC", ...): trob
// writes no audio, so such an output is a slip that would destroy a recording.
bool namesAudioFile(const std::string& path);

// Empty when the outputs may be written; otherwise why not, in words for the user: an output
// with an audio file's name, one that is (under any name) one of the inputs, or two outputs
// that are the same file or both standard output ("-").
std::string outputConflict(const std::vector<std::string>& inputs,
                           const std::vector<std::string>& outputs);

} // namespace trob
