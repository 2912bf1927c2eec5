// The headless home's event log: one line per thing that happened ("create", "destroy",
// "size", "paint", "cursor", ...), read by the tests; and the counters they check.

#include "platform/headless/headless_desktop.h"

#include <cstdarg>
#include <cstdio>

namespace platform::headless {

void record(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    desktop().events.emplace_back(line);
}

int currentCursorId() {
    return desktop().cursor ? desktop().cursor->id : 0;
}
int oleInitializeDepth() {
    return desktop().oleDepth;
}
const std::vector<std::string>& events() {
    return desktop().events;
}
void clearEvents() {
    desktop().events.clear();
}

} // namespace platform::headless
