#include "windows_names.h"

#include <cctype>

namespace tarnwick::pack {

std::optional<std::string> windowsNameFault(const std::string& name) {
    if (name.empty()) return "an empty name";
    for (char c : name) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b < 32) return "control characters cannot appear in a Windows file name";
        if (std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos)
            return std::string("'") + c + "' cannot appear in a Windows file name";
    }
    if (name.back() == '.' || name.back() == ' ') return "Windows drops a trailing dot or space from a file name";
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static const char* const reserved[] = {"CON", "PRN", "AUX", "NUL"};
    bool isReserved = false;
    for (const char* r : reserved) isReserved = isReserved || stem == r;
    if (stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '1' && stem[3] <= '9')
        isReserved = true;
    if (isReserved) return "'" + name + "' is a reserved device name on Windows";
    return std::nullopt;
}

} // namespace tarnwick::pack
