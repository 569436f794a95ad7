// The setup program's command line: "-uninstall" only first and exact, switches ignoring case,
// /D= taking the rest of the line, quotes, and what unattended mode refuses.
#include "app/setup_command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

TEST(SetupCommandLine, ProgramNameIsSkippedQuotedOrNot) {
    EXPECT_EQ(argumentsOf("\"C:\\Program Files\\x\\setup.exe\" /S /D=C:\\a"), "/S /D=C:\\a");
    EXPECT_EQ(argumentsOf("setup.exe   -uninstall"), "-uninstall");
    EXPECT_EQ(argumentsOf("C:\\x\\setup.exe"), "");
    EXPECT_EQ(argumentsOf("\"C:\\x\\uninst.exe\""), "");
}

TEST(SetupCommandLine, SwitchesAndTheirValues) {
    struct Case {
        const char* line;
        bool uninstall, silent, desktop;
        const char* destination; // nullptr: none
        const char* log;         // nullptr: none
        size_t problems;
    } cases[] = {
        {"", false, false, false, nullptr, nullptr, 0},
        {"/S", false, true, false, nullptr, nullptr, 0},
        {"/s /desktop", false, true, true, nullptr, nullptr, 0},
        {"-uninstall /S", true, true, false, nullptr, nullptr, 0},
        {"-Uninstall /S", false, true, false, nullptr, nullptr, 1},           // exact, as before
        {"/S -uninstall", false, true, false, nullptr, nullptr, 1},           // only as the first argument
        {"/S /D=C:\\Program Files\\My App  ", false, true, false, "C:\\Program Files\\My App", nullptr, 0},
        {"/S /d=\"C:\\My App\"", false, true, false, "C:\\My App", nullptr, 0},
        {"/S \"/D=C:\\My App\"", false, true, false, "C:\\My App", nullptr, 0},
        {"/S /D=C:\\a /DESKTOP", false, true, false, "C:\\a /DESKTOP", nullptr, 0}, // the rest of the line
        {"/S /D=\\\\server\\share\\app", false, true, false, "\\\\server\\share\\app", nullptr, 0},
        {"/S /D=app", false, true, false, nullptr, nullptr, 1},               // no drive: refused
        {"/S /D=", false, true, false, nullptr, nullptr, 1},
        {"/S /D=\\\\server", false, true, false, nullptr, nullptr, 1},        // a server without a share
        {"/LOG=\"C:\\my logs\\setup.log\" /S", false, true, false, nullptr, "C:\\my logs\\setup.log", 0},
        {"\"/log=C:\\my logs\\a.log\"", false, false, false, nullptr, "C:\\my logs\\a.log", 0},
        {"/S /LOG=", false, true, false, nullptr, nullptr, 1},
        {"/S /LOG", false, true, false, nullptr, nullptr, 1},                 // /LOG needs its path
        {"/S /SILENT", false, true, false, nullptr, nullptr, 1},
        {"/S=1", false, false, false, nullptr, nullptr, 1},                   // /S takes no value
        {"/S stray", false, true, false, nullptr, nullptr, 1},
    };
    for (const Case& c : cases) {
        const TSetupCommandLine a = parseSetupCommandLine(c.line);
        EXPECT_EQ(a.isUninstallArgument(), c.uninstall) << c.line;
        EXPECT_EQ(a.silent, c.silent) << c.line;
        EXPECT_EQ(a.desktopShortcut, c.desktop) << c.line;
        EXPECT_EQ(a.destination.value_or("-"), c.destination ? c.destination : "-") << c.line;
        EXPECT_EQ(a.logPath.value_or("-"), c.log ? c.log : "-") << c.line;
        EXPECT_EQ(a.problems().size(), c.problems) << c.line;
    }
}

TEST(SetupCommandLine, RelocatedUninstallerReadsBackWhatTheOriginalWrote) {
    const std::string line = "-uninstall /UNINSTALLER=" + quoteArgument("C:\\Program Files\\My App\\uninst.exe") +
                             " /HANDLES=1234,5678 /S /LOG=" + quoteArgument("C:\\logs dir\\u.log");
    const TSetupCommandLine a = parseSetupCommandLine(line);
    EXPECT_TRUE(a.isUninstallArgument());
    EXPECT_TRUE(a.isRelocatedUninstaller());
    EXPECT_EQ(a.originalUninstaller, "C:\\Program Files\\My App\\uninst.exe");
    EXPECT_EQ(a.resultPipe, 1234u);
    EXPECT_EQ(a.originalProcess, 5678u);
    EXPECT_TRUE(a.silent);
    EXPECT_EQ(a.logPath.value_or(""), "C:\\logs dir\\u.log");
    EXPECT_TRUE(a.problems().empty());
    EXPECT_EQ(parseSetupCommandLine("/HANDLES=12").problems().size(), 1u);
    EXPECT_EQ(parseSetupCommandLine("/HANDLES=a,b").problems().size(), 1u);
}

} // namespace
} // namespace tarnwick
