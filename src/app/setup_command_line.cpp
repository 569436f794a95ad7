#include "app/setup_command_line.h"

#include <cctype>

namespace tarnwick {

TSetupCommandLine SetupArguments;

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && upper(text.substr(0, prefix.size())) == upper(prefix);
}

// A destination must name its drive or share: a relative path would depend on the folder the
// deployment tool happened to start setup in.
bool isAbsoluteWindowsPath(std::string_view path) {
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && path[2] == '\\')
        return true;
    if (path.size() < 5 || path.substr(0, 2) != "\\\\") return false;
    const std::size_t server = path.find('\\', 2);
    return server != std::string_view::npos && server > 2 && server + 1 < path.size() && path[server + 1] != '\\';
}

// "a","b" from "12,34"; nothing unless both are plain decimal numbers.
bool parseHandlePair(std::string_view text, std::uint64_t& first, std::uint64_t& second) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return false;
    const auto number = [](std::string_view digits, std::uint64_t& out) {
        if (digits.empty() || digits.size() > 19) return false; // 19 digits always fit 64 bits
        out = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9') return false;
            out = out * 10 + static_cast<std::uint64_t>(c - '0');
        }
        return true;
    };
    return number(text.substr(0, comma), first) && number(text.substr(comma + 1), second);
}

} // namespace

std::string_view argumentsOf(std::string_view line) {
    std::size_t i = 0;
    if (!line.empty() && line[0] == '"') {
        const std::size_t close = line.find('"', 1);
        i = close == std::string_view::npos ? line.size() : close + 1;
    }
    while (i < line.size() && !isBlank(line[i])) ++i;
    while (i < line.size() && isBlank(line[i])) ++i;
    return line.substr(i);
}

std::vector<std::string> TSetupCommandLine::problems() const {
    std::vector<std::string> out = invalid;
    for (const std::string& argument : unknown) out.push_back("unknown argument: " + argument);
    return out;
}

TSetupCommandLine parseSetupCommandLine(std::string_view line) {
    TSetupCommandLine result;
    bool first = true;
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i >= line.size()) break;
        // /D= takes everything behind it, as written; only quotes around the whole path go.
        const std::string_view rest = line.substr(i);
        const bool quotedD = startsWithIgnoringCase(rest, "\"/D=");
        if (startsWithIgnoringCase(rest, "/D=") || quotedD) {
            std::string_view path = rest.substr(quotedD ? 4 : 3);
            while (!path.empty() && isBlank(path.back())) path.remove_suffix(1);
            if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
            else if (quotedD && !path.empty() && path.back() == '"') path.remove_suffix(1);
            if (first) result.firstArgument = std::string("/D=") + std::string(path);
            if (!isAbsoluteWindowsPath(path))
                result.invalid.push_back("/D= needs a full path with a drive or share, got \"" + std::string(path) + "\"");
            else
                result.destination = std::string(path);
            break;
        }
        // One argument: blanks inside quotes belong to it; the quotes themselves go.
        std::string raw, text;
        bool quoted = false;
        for (; i < line.size() && (quoted || !isBlank(line[i])); ++i) {
            raw += line[i];
            if (line[i] == '"')
                quoted = !quoted;
            else
                text += line[i];
        }
        const bool wasFirst = first;
        first = false;
        if (wasFirst) {
            result.firstArgument = text;
            if (text == "-uninstall") continue;
        }
        if (text.empty() || text[0] != '/') {
            result.unknown.push_back(raw);
            continue;
        }
        const std::size_t equals = text.find('=');
        const std::string name = upper(std::string_view(text).substr(1, equals == std::string::npos ? std::string::npos : equals - 1));
        const bool hasValue = equals != std::string::npos;
        const std::string value = hasValue ? text.substr(equals + 1) : std::string();
        if (name == "S" && !hasValue) {
            result.silent = true;
        } else if (name == "DESKTOP" && !hasValue) {
            result.desktopShortcut = true;
        } else if (name == "LOG" && hasValue) {
            if (value.empty())
                result.invalid.push_back("/LOG= needs a path");
            else
                result.logPath = value;
        } else if (name == "UNINSTALLER" && hasValue && !value.empty()) {
            result.originalUninstaller = value;
        } else if (name == "HANDLES" && hasValue) {
            if (!parseHandlePair(value, result.resultPipe, result.originalProcess))
                result.invalid.push_back("/HANDLES= needs two numbers, got \"" + value + "\"");
        } else {
            result.unknown.push_back(raw);
        }
    }
    return result;
}

std::string quoteArgument(std::string_view argument) { return "\"" + std::string(argument) + "\""; }

} // namespace tarnwick
