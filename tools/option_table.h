#pragma once
// Command-line options read from a table. An Option says once what an option is called, what
// its value is and may be, its default and what it does; a command lists the options it takes
// (tools/trob_options.h holds the set the commands share), each bound to the field it sets.
// From that list come the parser, the option lines of --help (so the ranges they show are the
// ones enforced) and the messages for a value that does not fit. Plain C++, for the Linux
// tools and the Windows test host alike.
//
// A command line holds options as `--name value` or `--name=value` (a short form as `-j 4` or
// `-j4`), and files; after `--` every word is a file. Every command also takes -h/--help and
// --version.

#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace trob {

enum class OptionKind {
    Flag,   // no value
    Text,   // any word but the empty one: a path, a list
    Number, // a finite number in [lowest, highest]
    Whole,  // a whole number in [lowest, highest]
};

struct Option {
    const char* name; // "--block"
    char shortName;   // 'j' for -j, or 0
    OptionKind kind;
    const char* value;     // the value's name in the help: "N", "PATH"
    const char* what;      // what a value is, for the message: "a whole number of frames"
    double lowest;         // numbers only
    double highest;        // numbers only; infinity: no upper bound
    const char* unit;      // after the range in the help and the message ("Hz"), or ""
    const char* byDefault; // the default as the help shows it, or null
    const char* help;      // what the option does
};

constexpr double kNoLimit = std::numeric_limits<double>::infinity();

// The table's entries; a short form ('j' for -j) goes last.
constexpr Option flagOption(const char* name, const char* help, char shortName = 0) {
    return {name, shortName, OptionKind::Flag, "", "", 0, 0, "", nullptr, help};
}
constexpr Option textOption(const char* name, const char* value, const char* what, const char* help,
                            const char* byDefault = nullptr, char shortName = 0) {
    return {name, shortName, OptionKind::Text, value, what, 0, 0, "", byDefault, help};
}
constexpr Option numberOption(const char* name, const char* value, const char* what, double lowest,
                              double highest, const char* unit, const char* byDefault,
                              const char* help, char shortName = 0) {
    return {name,    shortName, OptionKind::Number, value, what, lowest,
            highest, unit,      byDefault,          help};
}
constexpr Option wholeOption(const char* name, const char* value, const char* what, double lowest,
                             double highest, const char* byDefault, const char* help,
                             char shortName = 0) {
    return {name, shortName, OptionKind::Whole, value, what, lowest, highest, "", byDefault, help};
}

// An option's value as read: the word, and for numbers the number.
struct OptionValue {
    std::string text;
    double number = 0.0;
};

// Takes a value into a command's settings; answers an error message, or "" when it fits.
using OptionApply = std::function<std::string(const OptionValue&)>;

namespace option_detail {
template <class T> struct IsOptional : std::false_type {};
template <class T> struct IsOptional<std::optional<T>> : std::true_type {};

template <class T> void assign(T& field, const OptionValue& v) {
    if constexpr (IsOptional<T>::value) {
        typename T::value_type inner{};
        assign(inner, v);
        field = inner;
    } else if constexpr (std::is_same_v<T, bool>) {
        field = true;
    } else if constexpr (std::is_same_v<T, std::string>) {
        field = v.text;
    } else {
        static_assert(std::is_arithmetic_v<T>, "an option sets a flag, a text or a number");
        field = static_cast<T>(v.number);
    }
}
} // namespace option_detail

// Sets `field` from the option: true for a flag, the word for a text, the number (converted
// to the field's type, within the option's range) for a number.
template <class T> OptionApply into(T& field) {
    return [&field](const OptionValue& v) {
        option_detail::assign(field, v);
        return std::string();
    };
}

// One option as a command takes it: where its value goes, and when the command means more
// by it than the shared text says, its own help and default (never its own range).
struct OptionUse {
    const Option& option;
    OptionApply apply;
    const char* help = nullptr;
    const char* byDefault = nullptr;
};

struct CommandOptions {
    const char* name;  // "trob render": the prefix of its messages, the program's first word
    const char* usage; // the help above the option lines
    const char* notes; // the help below them, or ""
    std::vector<OptionUse> options;
};

// The version every program prints for --version: "trob 1.0".
std::string versionText(const char* program);

// The command's help: its usage, "options:", a line (or more) per option from the table with
// its range and default, then its notes.
std::string helpText(const CommandOptions& command);

// The message for a value the option does not take: "--block needs a whole number of frames
// from 1 to 1048576".
std::string valueMessage(const Option& option);

// Reads argv[first] onwards: each option's value goes where the command binds it and the
// other words into `files`. Answers 0 when all is good, -1 after printing the help or the
// version on stdout, else the usage error status after printing why on stderr.
int parseOptions(const CommandOptions& command, int argc, char** argv, int first,
                 std::vector<std::string>& files);

} // namespace trob
