#include "tools/option_table.h"

#include "tools/command_messages.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#ifndef TROB_VERSION
#error "TROB_VERSION must be defined: the project's version"
#endif

namespace trob {

namespace {

// Where the explanations begin in the help, and how wide its lines may grow.
constexpr std::size_t kHelpColumn = 27;
constexpr std::size_t kHelpWidth = 92;

const Option kHelp = flagOption("--help", "show this text", 'h');
const Option kVersion = flagOption("--version", "print the program's version");

// A range's end as the user writes it: "1048576", "0.6", "-60".
std::string numberText(double v) {
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed);
    return r.ec == std::errc() ? std::string(text, r.ptr) : std::string("?");
}

// Joins words the help keeps on one line ("1000 to 10000000 Hz", "default 512"); a space once it is
// written.
constexpr char kJoin = '\x1f';

std::string withUnit(const std::string& text, const Option& o, char space = ' ') {
    return *o.unit ? text + space + o.unit : text;
}

// "1 to 1048576", "1000 to 10000000 Hz", "0 or more".
std::string rangeText(const Option& o, char space = ' ') {
    const std::string s(1, space);
    if (std::isinf(o.highest))
        return withUnit(numberText(o.lowest), o, space) + s + "or" + s + "more";
    return numberText(o.lowest) + s + "to" + s + withUnit(numberText(o.highest), o, space);
}

bool isNumber(const Option& o) {
    return o.kind == OptionKind::Number || o.kind == OptionKind::Whole;
}

// The word as the option's number: finite, inside a float (the settings are floats), whole
// when it must be, in the range.
bool readNumber(const Option& o, const std::string& text, double& value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])) ||
        !parseNumber(text.c_str(), value))
        return false;
    if (std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) return false;
    if (o.kind == OptionKind::Whole && value != std::floor(value)) return false;
    return value >= o.lowest && value <= o.highest;
}

// Appends `text` in words to `out`, no line wider than kHelpWidth, continuations at the help
// column.
void wrap(std::string& out, const std::string& text) {
    std::size_t column = kHelpColumn;
    std::size_t at = 0;
    bool first = true;
    while (at < text.size()) {
        std::size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(at, end - at);
        std::replace(word.begin(), word.end(), kJoin, ' ');
        if (!first && column + 1 + word.size() > kHelpWidth) {
            out += "\n" + std::string(kHelpColumn, ' ');
            column = kHelpColumn;
            first = true;
        }
        if (!first) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        first = false;
        at = end + 1;
    }
    out += '\n';
}

void addHelpLine(std::string& out, const Option& o, const char* help, const char* byDefault) {
    std::string left = "  ";
    if (o.shortName) left += std::string("-") + o.shortName + ", ";
    left += o.name;
    if (*o.value) left += std::string(" ") + o.value;
    if (left.size() < kHelpColumn)
        left.resize(kHelpColumn, ' ');
    else
        left += "\n" + std::string(kHelpColumn, ' ');
    out += left;
    std::string text = help ? help : o.help;
    std::string more = isNumber(o) ? rangeText(o, kJoin) : "";
    // "default 512", but "default: the number of cores".
    if (byDefault) {
        const std::string first(byDefault, std::strcspn(byDefault, " ;"));
        double unused = 0.0;
        const bool number = parseNumber(first.c_str(), unused);
        more += (more.empty() ? "default" : ", default") +
                (number ? std::string(1, kJoin) : std::string(": ")) + byDefault;
    }
    if (!more.empty()) text += " (" + more + ")";
    wrap(out, text);
}

} // namespace

std::string versionText(const char* program) {
    std::string name = program;
    name = name.substr(0, name.find(' '));
    return name + " " + TROB_VERSION + "\n";
}

std::string valueMessage(const Option& o) {
    const std::string name = o.name;
    switch (o.kind) {
    case OptionKind::Flag:
        return name + " takes no value";
    case OptionKind::Text:
        return name + " needs " + o.what;
    case OptionKind::Number:
    case OptionKind::Whole:
        break;
    }
    if (std::isinf(o.highest)) return name + " needs " + o.what + ", " + rangeText(o);
    return name + " needs " + o.what + " from " + rangeText(o);
}

std::string helpText(const CommandOptions& command) {
    std::string out = command.usage;
    out += "\noptions:\n";
    for (const OptionUse& use : command.options)
        addHelpLine(out, use.option, use.help,
                    use.byDefault ? use.byDefault : use.option.byDefault);
    addHelpLine(out, kHelp, nullptr, nullptr);
    addHelpLine(out, kVersion, nullptr, nullptr);
    out += "\nA value follows its option or joins it with '=' (--name VALUE, --name=VALUE);\n"
           "after -- every word is a FILE, even one that begins with '-'.\n";
    if (*command.notes) out += std::string("\n") + command.notes;
    return out;
}

int parseOptions(const CommandOptions& command, int argc, char** argv, int first,
                 std::vector<std::string>& files) {
    const auto refuse = [&](const std::string& why) { return usageError(command.name, why); };
    bool optionsEnded = false;
    for (int i = first; i < argc; ++i) {
        const std::string word = argv[i];
        if (!optionsEnded && word == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            files.push_back(word);
            continue;
        }
        // The option and a value written into the same word: --name=value, -j4 (or -j=4).
        const Option* option = nullptr;
        const OptionUse* use = nullptr;
        std::optional<std::string> attached;
        std::string name = word;
        if (word[1] == '-') {
            if (const auto equals = word.find('='); equals != std::string::npos) {
                name = word.substr(0, equals);
                attached = word.substr(equals + 1);
            }
            for (const OptionUse& u : command.options)
                if (name == u.option.name) use = &u;
            if (name == kHelp.name) option = &kHelp;
            if (name == kVersion.name) option = &kVersion;
        } else {
            for (const OptionUse& u : command.options)
                if (u.option.shortName == word[1]) use = &u;
            if (word[1] == kHelp.shortName) option = &kHelp;
            if (use || option) {
                name = word.substr(0, 2);
                if (word.size() > 2) attached = word.substr(word[2] == '=' ? 3 : 2);
            }
        }
        if (use) option = &use->option;
        if (!option) return refuse("unknown option '" + name + "'");

        OptionValue value;
        if (option->kind == OptionKind::Flag) {
            if (attached) return refuse(valueMessage(*option));
        } else if (attached) {
            value.text = *attached;
        } else if (i + 1 < argc) {
            value.text = argv[++i];
        } else {
            return refuse(valueMessage(*option));
        }
        if (option->kind == OptionKind::Text && value.text.empty())
            return refuse(valueMessage(*option));
        if (isNumber(*option) && !readNumber(*option, value.text, value.number))
            return refuse(valueMessage(*option));

        if (option == &kHelp) {
            std::fputs(helpText(command).c_str(), stdout);
            return -1;
        }
        if (option == &kVersion) {
            std::fputs(versionText(command.name).c_str(), stdout);
            return -1;
        }
        if (const std::string why = use->apply(value); !why.empty()) return refuse(why);
    }
    return 0;
}

} // namespace trob
