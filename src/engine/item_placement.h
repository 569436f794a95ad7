// Puts extracted items in their places by moving them out of the temporary folder.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tarnwick {

class TItemMover {
public:
    // Moves item (a path in the temporary folder) to destination, replacing a file there; falls
    // back to a copy when the move cannot be made. Like a copy, a failure is not reported.
    // False when the item could neither be moved nor copied there (GetLastError tells why).
    bool Move(const std::string& item, const std::string& destination);
    // Moves item to destination only where nothing of that name is yet: false, with nothing
    // changed, when something is (or the move fails for any other reason).
    bool MoveToFreeName(const std::string& item, const std::string& destination);

private:
    bool passDownTheSame(const std::string& folderA, const std::string& folderB);
    const std::vector<unsigned char>& accessListOf(const std::string& folder);

    // Each folder's access list as bytes; empty when it cannot be read.
    std::map<std::string, std::vector<unsigned char>> accessLists_;
};

} // namespace tarnwick
