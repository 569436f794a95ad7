// The setup program's window-free rules: run mode, setup folder, the temporary folder's name,
// texts, the summary, the browse decision and the background gradient.
#include "app/setup_rules.h"

#include <gtest/gtest.h>

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

// What a killed run left is swept by a later run: only names setup itself makes, so a user's or
// another program's files and folders next to ours are never touched.
TEST(SetupRules, OnlyWhatSetupMakesCountsAsLeftBehind) {
    struct Case {
        const char* name;
        bool folder, file, itemFolder, itemFile;
    } cases[] = {
        {"TarnwickInstaller.0", true, false, false, false},
        {"TarnwickInstaller.32767", true, false, false, false},
        {"tarnwickinstaller.123", true, false, false, false},  // the file system ignores case
        {"TarnwickInstaller.32768", false, false, false, false}, // never drawn
        {"TarnwickInstaller.", false, false, false, false},
        {"TarnwickInstaller.12a", false, false, false, false},
        {"TarnwickInstaller.-1", false, false, false, false},
        {"TarnwickInstaller.000001", false, false, false, false},
        {"MyTarnwickInstaller.1", false, false, false, false},
        {"TarnwickInstaller.1.bak", false, false, false, false},
        {"_setup", false, true, false, false},
        {"_SETUPDEC", false, true, false, false},
        {"_setup_datDEC", false, true, false, false},
        {"_setup.pkg", false, false, false, false},
        {"setup.exe", false, false, false, false},
        {"items0", false, false, true, false},
        {"items21474836", false, false, true, false},
        {"items21474837", false, false, false, false},
        {"items", false, false, false, false},
        {"items0x", false, false, false, false},
        {"1.twi", false, false, false, true},
        {"2147483647.TWI", false, false, false, true},
        {"2147483648.twi", false, false, false, false},
        {".twi", false, false, false, false},
        {"1.twi.txt", false, false, false, false},
        {"notes.txt", false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isLeftTemporaryFolderName(c.name), c.folder);
        EXPECT_EQ(isLeftTemporaryFile(c.name), c.file);
        EXPECT_EQ(isLeftItemFolderName(c.name), c.itemFolder);
        EXPECT_EQ(isLeftItemFileName(c.name), c.itemFile);
    }
}

} // namespace
} // namespace tarnwick
