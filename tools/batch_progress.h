#pragma once
// The progress of a batch of files analysed on several threads, as one line on stderr: how
// many files are done of how many, and an estimate of the time left. Each file weighs as much
// as its size, so that one long file among short ones does not throw the estimate; the files
// being analysed count with the share of them already read.

#include "tools/progress_bar.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <vector>

class BatchProgress {
public:
    // Nothing is drawn unless `shown`, nor before half a second has passed.
    BatchProgress(bool shown, const std::vector<std::string>& files)
        : shown(shown), fractions(files.size(), 0.0), start(std::chrono::steady_clock::now()) {
        // Standard input, or a file that cannot be looked at, weighs as much as the others do
        // on average.
        double known = 0.0;
        std::size_t counted = 0;
        for (const std::string& f : files) {
            struct stat status {};
            const bool sized = f != "-" && stat(f.c_str(), &status) == 0 && status.st_size > 0;
            weights.push_back(sized ? static_cast<double>(status.st_size) : -1.0);
            if (sized) {
                known += weights.back();
                ++counted;
            }
        }
        const double typical = counted ? known / static_cast<double>(counted) : 1.0;
        for (double& w : weights) {
            if (w < 0.0) w = typical;
            total += w;
        }
    }
    ~BatchProgress() { finish(); }
    BatchProgress(const BatchProgress&) = delete;
    BatchProgress& operator=(const BatchProgress&) = delete;

    // `done` of `total` frames of file `index` are read; from any thread.
    void advance(std::size_t index, std::int64_t done, std::int64_t total) {
        if (!shown || total <= 0 || index >= fractions.size()) return;
        std::lock_guard lock(mutex);
        fractions[index] = static_cast<double>(done) / static_cast<double>(total);
        draw(false);
    }
    // File `index` is finished, analysed or not; from any thread.
    void finished(std::size_t index) {
        if (!shown || index >= fractions.size()) return;
        std::lock_guard lock(mutex);
        fractions[index] = 1.0;
        ++doneCount;
        draw(true);
    }
    // Runs `print` (what goes to stdout or stderr between the updates) with the line wiped, so
    // that the two do not mix on a terminal; the line comes back with the next update.
    template <typename Print> void aside(Print&& print) {
        std::lock_guard lock(mutex);
        wipe();
        print();
    }
    void finish() {
        std::lock_guard lock(mutex);
        wipe();
        shown = false;
    }

    // "3 of 12 files analysed, about 1:20 left": the line, without the estimate while there is
    // none (`secondsLeft` negative).
    static std::string line(std::size_t done, std::size_t count, double secondsLeft) {
        std::string text = "trob: " + std::to_string(done) + " of " + std::to_string(count) +
                           (count == 1 ? " file" : " files") + " analysed";
        if (secondsLeft >= 0.0) text += ", about " + progressClock(secondsLeft) + " left";
        return text;
    }

private:
    void draw(bool now) {
        const auto clock = std::chrono::steady_clock::now();
        const double elapsed = std::chrono::duration<double>(clock - start).count();
        if (elapsed < 0.5) return;
        if (!now && drawnAt != std::chrono::steady_clock::time_point{} &&
            clock - drawnAt < std::chrono::milliseconds(250))
            return;
        drawnAt = clock;
        double read = 0.0;
        for (std::size_t i = 0; i < fractions.size(); ++i)
            read += weights[i] * std::min(fractions[i], 1.0);
        const std::string text =
            line(doneCount, fractions.size(), progressTimeLeft(read / total, elapsed));
        const int pad = drawnWidth > static_cast<int>(text.size())
                            ? drawnWidth - static_cast<int>(text.size())
                            : 0;
        std::fprintf(stderr, "\r%s%*s", text.c_str(), pad, "");
        std::fflush(stderr);
        drawnWidth = static_cast<int>(text.size());
    }
    void wipe() {
        if (!shown || drawnWidth == 0) return;
        std::fprintf(stderr, "\r%*s\r", drawnWidth, "");
        std::fflush(stderr);
        drawnWidth = 0;
        drawnAt = {};
    }

    bool shown;
    std::vector<double> fractions, weights;
    double total = 0.0;
    std::size_t doneCount = 0;
    std::mutex mutex;
    std::chrono::steady_clock::time_point start, drawnAt{};
    int drawnWidth = 0;
};
