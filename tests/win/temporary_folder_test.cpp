// Folders made on Wine's real file system: a folder with its parents, and the setup program's
// private temporary folder on top of it.
#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/setup_rules.h"
#include "app/temporary_folder.h"
#include "engine/folder_creation.h"

namespace tarnwick {
namespace {

class PrivateTemporaryFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        root_ = std::string(temp) + "tw-rules-" + std::to_string(GetCurrentProcessId()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }
    void TearDown() override {
        for (const std::string& file : files_) DeleteFileA(file.c_str());
        for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) RemoveDirectoryA(it->c_str());
    }
    void folder(const std::string& path) {
        CreateDirectoryA(path.c_str(), nullptr);
        folders_.push_back(path);
    }
    void file(const std::string& path) {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(h);
        files_.push_back(path);
    }
    static std::function<int()> draws(std::deque<int> numbers) {
        return [numbers]() mutable {
            const int n = numbers.empty() ? 7 : numbers.front();
            if (!numbers.empty()) numbers.pop_front();
            return n;
        };
    }
    std::string root_;
    std::vector<std::string> folders_;
    std::vector<std::string> files_;
};

TEST_F(PrivateTemporaryFolder, CreatesMissingParents) {
    const std::string base = root_ + "\\a\\b";
    const std::string made = createPrivateTemporaryFolder(base, draws({12}));
    folders_ = {root_, root_ + "\\a", base, made};
    EXPECT_EQ(made, base + "\\TarnwickInstaller.12\\");
    EXPECT_NE(GetFileAttributesA(made.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PrivateTemporaryFolder, NeverUsesAFolderThatAlreadyExists) {
    folder(root_);
    folder(root_ + "\\TarnwickInstaller.5");
    file(root_ + "\\TarnwickInstaller.5\\someone-elses.txt");
    file(root_ + "\\TarnwickInstaller.6"); // a file of that name blocks the number too
    const std::string made = createPrivateTemporaryFolder(root_, draws({5, 6, 5, 9}));
    folders_.push_back(made);
    EXPECT_EQ(made, root_ + "\\TarnwickInstaller.9\\");
    EXPECT_NE(GetFileAttributesA((root_ + "\\TarnwickInstaller.5\\someone-elses.txt").c_str()),
              INVALID_FILE_ATTRIBUTES);
}

TEST_F(PrivateTemporaryFolder, FailsWhenNoFolderCanBeMade) {
    file(root_); // the base is a file
    EXPECT_EQ(createPrivateTemporaryFolder(root_, draws({1})), "");
    // Every number drawn is taken: it gives up instead of drawing forever.
    files_.clear();
    DeleteFileA(root_.c_str());
    folder(root_);
    folder(root_ + "\\TarnwickInstaller.7");
    EXPECT_EQ(createPrivateTemporaryFolder(root_, draws({})), "");
}

class FolderWithParents : public PrivateTemporaryFolder {
protected:
    static bool isFolder(const std::string& path) {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
};

TEST_F(FolderWithParents, MakesEveryMissingLevelWithEitherSeparator) {
    const std::string deep = root_ + "\\x\\y/z\\";
    ASSERT_TRUE(createFolderWithParents(deep));
    folders_ = {root_, root_ + "\\x", root_ + "\\x\\y", root_ + "\\x\\y\\z"};
    for (const std::string& level : folders_) EXPECT_TRUE(isFolder(level)) << level;
    // Already there: nothing to do, still a success.
    EXPECT_TRUE(createFolderWithParents(root_ + "\\x\\y"));
}

TEST_F(FolderWithParents, AFileInTheWayFailsAndNothingBelowItIsMade) {
    folder(root_);
    file(root_ + "\\f");
    EXPECT_FALSE(createFolderWithParents(root_ + "\\f"));
    EXPECT_FALSE(createFolderWithParents(root_ + "\\f\\g\\h"));
    EXPECT_FALSE(isFolder(root_ + "\\f\\g"));
}

TEST_F(FolderWithParents, AMissingDriveIsNeverMade) {
    const DWORD drives = GetLogicalDrives();
    char letter = 0;
    for (char c = 'Q'; c <= 'Y' && letter == 0; ++c) {
        if ((drives & (1u << (c - 'A'))) == 0) letter = c;
    }
    ASSERT_NE(letter, 0) << "no free drive letter between Q: and Y:";
    const std::string drive = std::string(1, letter) + ":";
    EXPECT_FALSE(createFolderWithParents(drive + "\\tarnwick\\a"));
    EXPECT_FALSE(createFolderWithParents(drive + "\\"));
    EXPECT_FALSE(createFolderWithParents(drive));
}

} // namespace
} // namespace tarnwick
