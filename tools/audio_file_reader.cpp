#include "tools/audio_file_reader.h"

#include <sndfile.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <sys/stat.h>

AudioFileReader::~AudioFileReader() {
    if (file) sf_close(file);
}

bool AudioFileReader::open(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        errorText = "cannot open '" + path + "': " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        errorText = "'" + path + "' is a directory, not an audio file";
        return false;
    }
    SF_INFO info{};
    // libsndfile keeps the error of a failed open in one process-wide place: files opened on
    // several threads take turns so that each reads its own.
    static std::mutex openMutex;
    std::lock_guard turn(openMutex);
    file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        const int code = sf_error(nullptr);
        if (code == SF_ERR_UNRECOGNISED_FORMAT || code == SF_ERR_MALFORMED_FILE ||
            code == SF_ERR_UNSUPPORTED_ENCODING)
            errorText =
                "'" + path + "' is not in a format trob can read (" + sf_error_number(code) + ")";
        else
            errorText = "cannot read '" + path + "': " + sf_strerror(nullptr);
        return false;
    }
    if (info.channels < 1 || info.channels > 2) {
        errorText = "'" + path + "' has " + std::to_string(info.channels) +
                    " channels; trob analyses mono and stereo files only";
        sf_close(file);
        file = nullptr;
        return false;
    }
    channelCount = info.channels;
    rate = info.samplerate;
    frames = info.frames > 0 ? info.frames : 0;
    return true;
}

std::int64_t AudioFileReader::read(float* left, float* right, std::int64_t wanted) {
    if (!file || wanted <= 0) return 0;
    interleaved.resize(static_cast<std::size_t>(wanted * channelCount));
    const sf_count_t got = sf_readf_float(file, interleaved.data(), wanted);
    if (got < 0 || sf_error(file) != SF_ERR_NO_ERROR) return -1;
    for (sf_count_t n = 0; n < got; ++n) {
        left[n] = interleaved[static_cast<std::size_t>(n * channelCount)];
        right[n] = interleaved[static_cast<std::size_t>(n * channelCount + channelCount - 1)];
    }
    return got;
}
