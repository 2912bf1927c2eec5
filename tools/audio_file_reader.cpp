#include "tools/audio_file_reader.h"

#include "tools/audio_inputs.h"

#include <sndfile.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::uint32_t little32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Bytes per sample of the encodings whose frames all have one size; 0 for the others.
int sampleBytes(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        return 1;
    case SF_FORMAT_PCM_16:
        return 2;
    case SF_FORMAT_PCM_24:
        return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return 4;
    case SF_FORMAT_DOUBLE:
        return 8;
    default:
        return 0;
    }
}

// The frames a WAV file's data chunk holds by its size field. libsndfile reports only those
// the file still has bytes for, so this is where a cut file shows. -1 when there is no such
// chunk, or its size is the "unknown" that writers to a pipe leave.
std::int64_t wavDataFrames(int fd, int frameBytes) {
    unsigned char head[12];
    if (pread(fd, head, sizeof head, 0) != sizeof head || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return -1;
    off_t at = sizeof head;
    for (int chunks = 0; chunks < 1000; ++chunks) {
        unsigned char chunk[8];
        if (pread(fd, chunk, sizeof chunk, at) != sizeof chunk) return -1;
        const std::uint32_t size = little32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0)
            return size == 0xFFFFFFFFu ? -1 : static_cast<std::int64_t>(size / frameBytes);
        at += static_cast<off_t>(8 + static_cast<std::int64_t>(size) + (size & 1));
    }
    return -1;
}

} // namespace

AudioFileReader::~AudioFileReader() {
    if (file) sf_close(file);
    if (descriptor >= 0) close(descriptor);
}

bool AudioFileReader::open(const std::string& path) {
    // "-" is standard input: decoders seek, so a pipe's bytes are first taken in whole.
    const bool standardInput = trob::isStandardStream(path);
    const std::string named = standardInput ? "standard input" : "'" + path + "'";
    if (standardInput) {
        descriptor = trob::seekableStandardInput(errorText);
        if (descriptor < 0) return false;
    } else {
        struct stat status {};
        if (stat(path.c_str(), &status) != 0) {
            errorText = "cannot open " + named + ": " + std::strerror(errno);
            return false;
        }
        if (S_ISDIR(status.st_mode)) {
            errorText = named + " is a directory, not an audio file";
            return false;
        }
        // trob keeps the descriptor to see, when decoding stops with an error, whether the
        // file's bytes had all been read.
        descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor < 0) {
            errorText = "cannot open " + named + ": " + std::strerror(errno);
            return false;
        }
    }
    SF_INFO info{};
    {
        // libsndfile keeps the error of a failed open in one process-wide place: files opened
        // on several threads take turns so that each reads its own.
        static std::mutex openMutex;
        std::lock_guard turn(openMutex);
        file = sf_open_fd(descriptor, SFM_READ, &info, SF_FALSE);
        if (!file) {
            const int code = sf_error(nullptr);
            if (code == SF_ERR_UNRECOGNISED_FORMAT || code == SF_ERR_MALFORMED_FILE ||
                code == SF_ERR_UNSUPPORTED_ENCODING)
                errorText =
                    named + " is not in a format trob can read (" + sf_error_number(code) + ")";
            else
                errorText = "cannot read " + named + ": " + sf_strerror(nullptr);
            return false;
        }
    }
    if (info.channels < 1 || info.channels > 2) {
        errorText = named + " has " + std::to_string(info.channels) +
                    " channels; trob analyses mono and stereo files only";
        sf_close(file);
        file = nullptr;
        return false;
    }
    channelCount = info.channels;
    rate = info.samplerate;
    frames = info.frames > 0 ? info.frames : 0;
    const int major = info.format & SF_FORMAT_TYPEMASK;
    // An Ogg stream's length comes from its last page; without one, the stream was cut.
    lengthUnknown = info.frames == SF_COUNT_MAX && major == SF_FORMAT_OGG;
    // An MP3 file without a table of its frames has its length estimated from the bit rate:
    // no promise to fall short of.
    lengthEstimated = major == SF_FORMAT_MPEG;
    if ((major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX) && sampleBytes(info.format) > 0)
        declaredFrames = wavDataFrames(descriptor, sampleBytes(info.format) * channelCount);
    return true;
}

bool AudioFileReader::atEndOfFile() const {
    struct stat status {};
    const off_t at = lseek(descriptor, 0, SEEK_CUR);
    return at >= 0 && fstat(descriptor, &status) == 0 && at >= status.st_size;
}

std::int64_t AudioFileReader::read(float* left, float* right, std::int64_t wanted) {
    if (!file || wanted <= 0 || ended) return 0;
    interleaved.resize(static_cast<std::size_t>(wanted * channelCount));
    const sf_count_t got = sf_readf_float(file, interleaved.data(), wanted);
    if (got < 0) return -1;
    if (sf_error(file) != SF_ERR_NO_ERROR) {
        // A decoder stops with an error where the file was cut: that is where its data ends.
        // With bytes still to come, the file is damaged inside.
        if (!atEndOfFile()) return -1;
        ended = true;
    }
    if (got == 0) ended = true;
    for (sf_count_t n = 0; n < got; ++n) {
        left[n] = interleaved[static_cast<std::size_t>(n * channelCount)];
        right[n] = interleaved[static_cast<std::size_t>(n * channelCount + channelCount - 1)];
    }
    readCount += got;
    return got;
}

bool AudioFileReader::truncated() const {
    if (!ended) return false;
    if (lengthUnknown) return true;
    if (frames == SF_COUNT_MAX || lengthEstimated) return false; // no length to fall short of
    return readCount < frames || (declaredFrames >= 0 && readCount < declaredFrames);
}
