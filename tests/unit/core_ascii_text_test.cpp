// ASCII case folding: letters A-Z only, whatever the code page.
#include <gtest/gtest.h>

#include "core/ascii_text.h"

namespace tarnwick {
namespace {

TEST(AsciiText, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(asciiEqualIgnoringCase("Setup.EXE", "setup.exe"));
    EXPECT_FALSE(asciiEqualIgnoringCase("setup.exe ", "setup.exe"));
    EXPECT_FALSE(asciiEqualIgnoringCase("[", "{"));              // 0x5B and 0x7B differ by 0x20 but are no letters
    EXPECT_FALSE(asciiEqualIgnoringCase("\xC4", "\xE4"));        // A and a with diaeresis in code page 1252
    EXPECT_TRUE(asciiStartsWithIgnoringCase("hkey_local_machine\\Software", "HKEY_LOCAL_MACHINE"));
    EXPECT_FALSE(asciiStartsWithIgnoringCase("HKEY_LOCAL", "HKEY_LOCAL_MACHINE"));
    EXPECT_TRUE(asciiStartsWithIgnoringCase("anything", ""));
}

} // namespace
} // namespace tarnwick
