// The setup program's window-free rules: run mode, setup folder, the private temporary folder,
// texts, the summary, the browse decision and the background gradient.
#include "app/setup_rules.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

TEST(SetupRules, RunModeFollowsArgumentAndFileName) {
    struct Case {
        const char* argument;
        const char* program;
        bool uninstall;
    } cases[] = {
        {"", "C:\\Product\\setup.exe", false},
        {"", "C:\\Product\\Setup.EXE", false},
        {"-uninstall", "C:\\Product\\setup.exe", true},
        {"-Uninstall", "C:\\Product\\setup.exe", false}, // the argument is compared exactly
        {"", "C:\\Product\\uninst.exe", true},
        {"", "C:\\Product\\setup2.exe", true},
        {"", "E:setup.exe", false},                        // a colon also ends the folder part
        {"", "C:\\setup.exe\\other.exe", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isUninstallRun(c.argument, c.program), c.uninstall) << c.argument << " " << c.program;
}

TEST(SetupRules, SetupFolderIsTheProgramsFolderWithoutTrailingBackslash) {
    struct Case {
        const char* program;
        const char* folder;
    } cases[] = {
        {"C:\\Apps\\Tool\\setup.exe", "C:\\Apps\\Tool"},
        {"E:\\setup.exe", "E:"},
        {"\\\\server\\share\\setup.exe", "\\\\server\\share"},
        {"C:\\Apps\\\\setup.exe", "C:\\Apps"},
        {"setup.exe", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(setupFolderOf(c.program), c.folder) << c.program;
}

TEST(SetupRules, TemporaryFolderHasOneBackslashBeforeItsName) {
    EXPECT_EQ(temporaryFolderName(withoutTrailingBackslash("C:\\Windows\\TEMP\\"), 42),
              "C:\\Windows\\TEMP\\TarnwickInstaller.42\\");
    EXPECT_EQ(temporaryFolderName("c:\\TEMP", 32767), "c:\\TEMP\\TarnwickInstaller.32767\\");
}

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

TEST(SetupRules, ProductNameReplacesEveryPercentS) {
    EXPECT_EQ(withProductName("%s Setup", "Tool"), "Tool Setup");
    EXPECT_EQ(withProductName("Setup can launch %s and %s.", "Tool"), "Setup can launch Tool and Tool.");
    EXPECT_EQ(withProductName("%s Setup", "50%s %d off"), "50%s %d off Setup"); // the name is never a pattern
    EXPECT_EQ(withProductName("no placeholder", "Tool"), "no placeholder");
}

TEST(SetupRules, SummaryHasNineLinesEvenWithAnEmptyCompany) {
    const std::vector<std::string> expected = {"Destination Folder:", "     C:\\Apps\\Tool", "", "Program Folder:",
                                               "     Tool",           "",                    "User Inforation:",
                                               "     Name: Ann",      "     Company: "};
    EXPECT_EQ(settingsSummary("C:\\Apps\\Tool", "Tool", "Ann", ""), expected);
}

TEST(SetupRules, DrivePartIsALetterOrAShare) {
    struct Case {
        const char* path;
        const char* drive;
    } cases[] = {
        {"C:\\Apps", "C:"},
        {"D:\\New Product", "D:"},
        {"C:APPS", "C:"},
        {"Apps\\Tool", ""},
        {"\\Apps\\Tool", ""},
        {"\\\\server\\share\\Tool", "\\\\server\\share"},
        {"\\\\server\\share", "\\\\server\\share"},
        {"\\\\server\\", ""}, // no share name
        {"\\\\server", ""},
        {"\\\\\\share", ""},  // no server name
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(drivePartOf(c.path), c.drive) << c.path;
}

TEST(SetupRules, BrowseOutcome) {
    auto isFolder = [](const std::string& path) { return path == "C:\\Exists" || path == "\\\\server\\share\\Tool"; };
    struct Case {
        const char* chosen;
        TBrowseOutcome outcome;
    } cases[] = {
        {"C:\\Shown", TBrowseOutcome::Unchanged},
        {"C:\\Exists", TBrowseOutcome::Accept},
        {"D:\\New Product", TBrowseOutcome::AskCreate},
        {"Apps\\Tool", TBrowseOutcome::Invalid},
        {"\\\\server\\share\\Tool", TBrowseOutcome::Accept},
        {"\\\\server\\share\\New", TBrowseOutcome::AskCreate},
    };
    for (const Case& c : cases) EXPECT_EQ(browseOutcome(c.chosen, "C:\\Shown", isFolder), c.outcome) << c.chosen;
}

TEST(SetupRules, GradientFallsInAnSThroughTheDesignedRows) {
    const auto blue = backgroundGradient();
    const int rows[] = {0, 63, 127, 191, 255, 319, 383, 447, 511};
    const int values[] = {255, 234, 203, 167, 127, 88, 51, 21, 0};
    for (size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(blue[static_cast<size_t>(rows[i])], values[i]) << rows[i];
    for (size_t row = 1; row < blue.size(); ++row) {
        ASSERT_LE(blue[row], blue[row - 1]) << "rises at row " << row;
        ASSERT_LE(blue[row - 1] - blue[row], 2) << "a visible step at row " << row;
    }
    // Slow at both ends, steepest in the middle.
    auto fall = [&](size_t from) { return blue[from] - blue[from + 32]; };
    EXPECT_LT(fall(0), fall(240));
    EXPECT_LT(fall(479), fall(240));
}

} // namespace
} // namespace tarnwick
