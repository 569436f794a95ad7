#include "app/setup_rules.h"

#include <cmath>

#include "core/ascii_text.h"

namespace tarnwick {

std::string programFileName(std::string_view programPath) {
    const size_t cut = programPath.find_last_of("\\:");
    return std::string(cut == std::string_view::npos ? programPath : programPath.substr(cut + 1));
}

bool isUninstallRun(std::string_view firstArgument, std::string_view programPath) {
    if (firstArgument == "-uninstall") return true;
    return !asciiEqualIgnoringCase(programFileName(programPath), "setup.exe");
}

std::string setupFolderOf(std::string_view programPath) {
    const size_t cut = programPath.rfind('\\');
    if (cut == std::string_view::npos) return {};
    return withoutTrailingBackslash(programPath.substr(0, cut));
}

std::string withoutTrailingBackslash(std::string_view path) {
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    return std::string(path);
}

std::string temporaryFolderName(std::string_view base, int n) {
    return std::string(base) + "\\TarnwickInstaller." + std::to_string(n) + "\\";
}

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// prefix, then decimal digits only (at least one, at most ten, no sign, no leading zero), then suffix; the number
// at most limit. Letter case ignored, as the file system ignores it.
bool isNumberedName(std::string_view name, std::string_view prefix, std::string_view suffix, long long limit) {
    if (name.size() <= prefix.size() + suffix.size()) return false;
    if (!equalsIgnoringCase(name.substr(0, prefix.size()), prefix)) return false;
    if (!equalsIgnoringCase(name.substr(name.size() - suffix.size()), suffix)) return false;
    const std::string_view digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (digits.size() > 10 || (digits.size() > 1 && digits[0] == '0')) return false;  // as written, no padding
    long long value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value <= limit;
}

} // namespace

bool isLeftTemporaryFolderName(std::string_view name) { return isNumberedName(name, "TarnwickInstaller.", "", 32767); }

bool isLeftTemporaryFile(std::string_view name) {
    return equalsIgnoringCase(name, "_setup") || equalsIgnoringCase(name, "_setupDEC") ||
           equalsIgnoringCase(name, "_setup_datDEC");
}

// Items are numbered from 1 to a 32-bit count, a hundred to a folder.
bool isLeftItemFolderName(std::string_view name) { return isNumberedName(name, "items", "", 2147483647 / 100); }

bool isLeftItemFileName(std::string_view name) { return isNumberedName(name, "", ".twi", 2147483647); }

std::string withProductName(std::string_view pattern, std::string_view product) {
    std::string text;
    size_t start = 0;
    for (size_t at = pattern.find("%s"); at != std::string_view::npos; at = pattern.find("%s", start)) {
        text.append(pattern.substr(start, at - start));
        text.append(product);
        start = at + 2;
    }
    text.append(pattern.substr(start));
    return text;
}

std::vector<std::string> settingsSummary(const std::string& destination, const std::string& programFolder,
                                         const std::string& name, const std::string& company) {
    return {"Destination Folder:",
            "     " + destination,
            "",
            "Program Folder:",
            "     " + programFolder,
            "",
            "User Inforation:",
            "     Name: " + name,
            "     Company: " + company};
}

std::string drivePartOf(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        const size_t serverEnd = path.find('\\', 2);
        if (serverEnd == std::string_view::npos || serverEnd == 2) return {};
        const size_t shareEnd = path.find('\\', serverEnd + 1);
        const std::string_view drive = path.substr(0, shareEnd);
        if (drive.size() == serverEnd + 1) return {}; // "\\server\" without a share
        return std::string(drive);
    }
    return {};
}

TBrowseOutcome browseOutcome(const std::string& newPath, const std::string& shownPath,
                             const std::function<bool(const std::string&)>& isFolder) {
    if (newPath == shownPath) return TBrowseOutcome::Unchanged;
    if (drivePartOf(newPath).empty()) return TBrowseOutcome::Invalid;
    return isFolder(newPath) ? TBrowseOutcome::Accept : TBrowseOutcome::AskCreate;
}

std::array<std::uint8_t, 512> backgroundGradient() {
    // Fritsch-Carlson monotone cubic through the designed rows: smooth, passes through every value,
    // never rises.
    constexpr int kCount = 9;
    constexpr double x[kCount] = {0, 63, 127, 191, 255, 319, 383, 447, 511};
    constexpr double y[kCount] = {255, 234, 203, 167, 127, 88, 51, 21, 0};
    double slope[kCount - 1];
    double tangent[kCount];
    for (int i = 0; i < kCount - 1; ++i) slope[i] = (y[i + 1] - y[i]) / (x[i + 1] - x[i]);
    tangent[0] = slope[0];
    tangent[kCount - 1] = slope[kCount - 2];
    for (int i = 1; i < kCount - 1; ++i) {
        if (slope[i - 1] * slope[i] <= 0) {
            tangent[i] = 0;
        } else {
            const double h0 = x[i] - x[i - 1], h1 = x[i + 1] - x[i];
            const double w0 = 2 * h1 + h0, w1 = h1 + 2 * h0;
            tangent[i] = (w0 + w1) / (w0 / slope[i - 1] + w1 / slope[i]);
        }
    }
    std::array<std::uint8_t, 512> blue{};
    int segment = 0;
    for (int row = 0; row < 512; ++row) {
        while (segment < kCount - 2 && row > x[segment + 1]) ++segment;
        const double h = x[segment + 1] - x[segment];
        const double t = (row - x[segment]) / h;
        const double t2 = t * t, t3 = t2 * t;
        const double value = (2 * t3 - 3 * t2 + 1) * y[segment] + (t3 - 2 * t2 + t) * h * tangent[segment] +
                             (-2 * t3 + 3 * t2) * y[segment + 1] + (t3 - t2) * h * tangent[segment + 1];
        blue[static_cast<size_t>(row)] = static_cast<std::uint8_t>(std::lround(std::fmax(0.0, std::fmin(255.0, value))));
    }
    return blue;
}

} // namespace tarnwick
