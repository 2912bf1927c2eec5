#pragma once
// Where trob's audio comes from besides plain file names: "-" for standard input, and the
// audio files below a folder (`trob analyse -r DIR`).

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace trob {

// "-" as an input names standard input, as an output standard output.
inline bool isStandardStream(const std::string& path) {
    return path == "-";
}

// A descriptor from which standard input's bytes can be read from the start and sought in,
// as a decoder of any format needs: standard input itself when it is a file at its start,
// else a copy of everything it holds in an unnamed temporary file. -1 with `error` set when
// it cannot be had. The caller closes it.
int seekableStandardInput(std::string& error);

// Whether the name ends in an extension libsndfile reads (".wav", ".FLAC", ".aif", ...), in
// any case; headerless formats, which cannot be opened without being told their layout, are
// not counted.
bool hasAudioExtension(const std::string& path);

// The audio files below `folder`, by extension: the entries of each folder in the order of
// their names' bytes, a subfolder's files where its name falls. Links are followed, each
// folder walked once (a link back up the tree is no loop); names starting with '.' are
// skipped. False with `error` set when `folder` is no folder, cannot be read, or holds no
// audio file.
bool audioFilesBelow(const std::string& folder, std::vector<std::string>& files,
                     std::string& error);

// `files` with the audio files of each folder in `folders` put in at its position: a folder
// given after the first two files (position 2) is expanded between the second and the third.
// False with `error` set as audioFilesBelow says.
bool expandFolders(std::vector<std::string>& files,
                   const std::vector<std::pair<std::size_t, std::string>>& folders,
                   std::string& error);

} // namespace trob
