#include "package/placeholders.h"

namespace tarnwick {
namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        auto a = static_cast<unsigned char>(text[i]);
        auto b = static_cast<unsigned char>(prefix[i]);
        if (a >= 'a' && a <= 'z') a = static_cast<unsigned char>(a - 'a' + 'A');
        if (a != b) return false; // the placeholders are upper-case ASCII
    }
    return true;
}

} // namespace

std::string ExpandPlaceholders(std::string_view text, const TPlaceholderFolders& folders) {
    // Tested in this order; the first match wins.
    const struct {
        std::string_view placeholder;
        const std::string& folder;
    } table[] = {
        {"[INSTALLDIR]", folders.installDir},
        {"[PROGRAMFILES]", folders.programFilesDir},
        {"[SYSTEMDIR]", folders.systemDir},
        {"[WINDIR]", folders.windowsDir},
    };
    for (const auto& entry : table) {
        if (startsWithIgnoringCase(text, entry.placeholder))
            return entry.folder + std::string(text.substr(entry.placeholder.size()));
    }
    return std::string(text);
}

} // namespace tarnwick
