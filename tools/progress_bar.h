#pragma once
// A one-line progress bar on stderr for the long runs of the command-line programs; shown
// only when asked (a terminal, a long enough run) and wiped when done. Once a second has
// passed it also estimates the time left.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

// "0:42", "12:05", "1:02:09": a time left, rounded to whole seconds.
inline std::string progressClock(double seconds) {
    const long long s = seconds > 0.0 ? static_cast<long long>(seconds + 0.5) : 0;
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    return text;
}

// The time left when `fraction` of the work took `elapsed` seconds; negative while too little
// is done (under a second, or under 1 %) to tell.
inline double progressTimeLeft(double fraction, double elapsed) {
    if (elapsed < 1.0 || fraction < 0.01 || fraction >= 1.0) return -1.0;
    return elapsed * (1.0 - fraction) / fraction;
}

class ProgressBar {
public:
    explicit ProgressBar(bool shown) : shown(shown) {}
    ~ProgressBar() { finish(); }
    void update(std::int64_t done, std::int64_t total) {
        if (!shown || total <= 0) return;
        // The estimate counts from the first block, not from the setting up before it.
        if (last < 0) start = std::chrono::steady_clock::now();
        const int percent = static_cast<int>(100 * done / total);
        if (percent == last) return;
        last = percent;
        const int filled = percent * 40 / 100;
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double left =
            progressTimeLeft(static_cast<double>(done) / static_cast<double>(total), elapsed);
        const std::string eta = left >= 0.0 ? "  " + progressClock(left) + " left" : "";
        std::fprintf(stderr, "\r[%.*s%*s] %3d%%%-16s", filled,
                     "========================================", 40 - filled, "", percent,
                     eta.c_str());
        std::fflush(stderr);
    }
    void finish() {
        if (shown && last >= 0) std::fprintf(stderr, "\r%*s\r", kWidth, "");
        shown = false;
    }

private:
    static constexpr int kWidth = 64;
    bool shown;
    int last = -1;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};
