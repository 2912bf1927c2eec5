#pragma once
// A one-line progress bar on stderr for the long runs of the command-line programs; shown
// only when asked (a terminal, a long enough run) and wiped when done.

#include <cstdint>
#include <cstdio>

class ProgressBar {
public:
    explicit ProgressBar(bool shown) : shown(shown) {}
    ~ProgressBar() { finish(); }
    void update(std::int64_t done, std::int64_t total) {
        if (!shown || total <= 0) return;
        const int percent = static_cast<int>(100 * done / total);
        if (percent == last) return;
        last = percent;
        const int filled = percent * 40 / 100;
        std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled,
                     "========================================", 40 - filled, "", percent);
        std::fflush(stderr);
    }
    void finish() {
        if (shown && last >= 0) std::fprintf(stderr, "\r%*s\r", 48, "");
        shown = false;
    }

private:
    bool shown;
    int last = -1;
};
