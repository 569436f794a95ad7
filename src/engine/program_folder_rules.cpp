#include "engine/program_folder_rules.h"

namespace tarnwick {
namespace {

// Windows drops trailing dots and blanks from a path component, so "..." or ".. " is as good as
// ".." to it: any component made of dots and blanks only, other than ".", is treated as a climb.
bool isDotsOnly(std::string_view component) {
    for (char c : component)
        if (c != '.' && c != ' ') return false;
    return true;
}

} // namespace

TProgramFolderPlacement classifyProgramFolder(std::string_view name) {
    if (name.find(':') != std::string_view::npos) return TProgramFolderPlacement::Outside;
    if (!name.empty() && (name.front() == '\\' || name.front() == '/')) {
        // "\" alone still names the Programs menu folder once appended to it; "\x" and "\\server" are absolute.
        if (name.find_first_not_of("\\/") != std::string_view::npos) return TProgramFolderPlacement::Outside;
    }
    bool anyFolder = false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = name.size();
        const std::string_view component = name.substr(start, end - start);
        if (!component.empty() && component != ".") {
            if (isDotsOnly(component)) return TProgramFolderPlacement::Outside;
            anyFolder = true;
        }
        start = end + 1;
    }
    return anyFolder ? TProgramFolderPlacement::Inside : TProgramFolderPlacement::Root;
}

bool isPlainFileName(std::string_view name) {
    return !name.empty() && name.find_first_of("\\/:") == std::string_view::npos && !isDotsOnly(name);
}

} // namespace tarnwick
