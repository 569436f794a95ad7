#include "package/placeholders.h"

#include "core/ascii_text.h"

namespace tarnwick {

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
        if (asciiStartsWithIgnoringCase(text, entry.placeholder))
            return entry.folder + std::string(text.substr(entry.placeholder.size()));
    }
    return std::string(text);
}

} // namespace tarnwick
