#include "package/placeholders.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(ExpandPlaceholders, OnlyALeadingPlaceholderIsReplacedOnce) {
    const TPlaceholderFolders folders{"D:\\Apps\\Editor", "C:\\Program Files", "C:\\Windows\\system32", "C:\\Windows"};
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"[INSTALLDIR]\\bin\\a.exe", "D:\\Apps\\Editor\\bin\\a.exe"},
        {"[INSTALLDIR]Data", "D:\\Apps\\EditorData"},              // no separator is added
        {"[PROGRAMFILES]\\Common", "C:\\Program Files\\Common"},
        {"[SYSTEMDIR]\\x.dll", "C:\\Windows\\system32\\x.dll"},
        {"[WINDIR]", "C:\\Windows"},
        {"[windir]\\Fonts", "C:\\Windows\\Fonts"},                 // letter case ignored
        {"[WinDir]\\Fonts", "C:\\Windows\\Fonts"},
        {"C:\\[WINDIR]", "C:\\[WINDIR]"},                         // only the start is examined
        {"[WINDIR][WINDIR]", "C:\\Windows[WINDIR]"},               // at most one replacement
        {"[INSTALLDIR", "[INSTALLDIR"},
        {"[WINDIR", "[WINDIR"},
        {" [WINDIR]", " [WINDIR]"},
        {"100% done %s %d", "100% done %s %d"},                    // '%' is not special
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpandPlaceholders(c.text, folders), c.expected) << c.text;
}

TEST(ExpandPlaceholders, FirstMatchInTableOrderWins) {
    // "[INSTALLDIR]" names a folder that itself looks like a placeholder: it is not expanded again.
    const TPlaceholderFolders folders{"[WINDIR]", "P", "S", "W"};
    EXPECT_EQ(ExpandPlaceholders("[INSTALLDIR]\\x", folders), "[WINDIR]\\x");
}

TEST(ExpandPlaceholders, LongResultIsNeverCut) {
    const TPlaceholderFolders folders{std::string(500, 'd'), "", "", ""};
    const std::string expanded = ExpandPlaceholders("[INSTALLDIR]\\" + std::string(100, 'f'), folders);
    EXPECT_EQ(expanded.size(), 601u);
    EXPECT_EQ(expanded.substr(500, 2), "\\f");
}

} // namespace
} // namespace tarnwick
