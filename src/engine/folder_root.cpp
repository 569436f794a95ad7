#include "engine/folder_creation.h"

namespace tarnwick {
namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

} // namespace

std::size_t folderRootLength(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && isSeparator(path[2]) ? 3 : 2;
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        std::size_t serverEnd = 2;
        while (serverEnd < path.size() && !isSeparator(path[serverEnd])) ++serverEnd;
        std::size_t shareEnd = serverEnd + 1;
        while (shareEnd < path.size() && !isSeparator(path[shareEnd])) ++shareEnd;
        // No server or no share name: nothing in the path can be created.
        if (serverEnd == 2 || shareEnd >= path.size() + 1 || shareEnd == serverEnd + 1) return path.size();
        return shareEnd;
    }
    return !path.empty() && isSeparator(path[0]) ? 1 : 0;
}

} // namespace tarnwick
