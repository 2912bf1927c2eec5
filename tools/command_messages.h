#pragma once
// What trob's commands share when they talk to the user: the exit codes, the one-line
// messages on standard error, and how a number on the command line is read.

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace trob {

inline constexpr int kFailure = 1;
inline constexpr int kUsageError = 2;

// "COMMAND: MESSAGE" and where the help is; answers kUsageError.
inline int usageError(const char* command, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n(try '%s --help')\n", command, message.c_str(), command);
    return kUsageError;
}

// "COMMAND: MESSAGE"; answers kFailure.
inline int failure(const char* command, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", command, message.c_str());
    return kFailure;
}

// The whole text as a finite number; false for an empty text, trailing characters, or a
// value out of range.
inline bool parseNumber(const char* text, double& value) {
    if (!text || !*text) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return errno == 0 && end && *end == 0 && std::isfinite(value);
}

} // namespace trob
