// The part of a path that making folders never creates: a drive, a share, the current root.
#include <gtest/gtest.h>

#include "engine/folder_creation.h"

namespace tarnwick {
namespace {

TEST(FolderRoot, IsTheDriveTheShareOrTheLeadingSeparator) {
    struct Case {
        const char* path;
        std::size_t root;
    } cases[] = {
        {"C:\\Apps\\Tool", 3},
        {"C:/Apps", 3},
        {"C:\\", 3},
        {"C:", 2},
        {"C:Apps", 2},                             // relative to C:'s current folder
        {"\\\\server\\share\\Tool", 14},           // "\\server\share"
        {"//server/share/Tool", 14},
        {"\\\\server\\share", 14},
        {"\\\\server\\", 9},                       // no share: nothing can be made
        {"\\\\server", 8},
        {"\\\\", 2},
        {"\\Apps\\Tool", 1},
        {"/Apps", 1},
        {"Apps\\Tool", 0},
        {"", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(folderRootLength(c.path), c.root) << c.path;
}

} // namespace
} // namespace tarnwick
