#include "engine/program_folder_rules.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(ProgramFolder, OnlyAFolderStrictlyBelowIsTheProductsOwn) {
    using P = TProgramFolderPlacement;
    const struct {
        const char* name;
        P placement;
    } cases[] = {
        {"Tarnwick Notepad", P::Inside},
        {"Tools\\Notepad", P::Inside},
        {"Tools/Notepad", P::Inside},
        {".\\Notepad", P::Inside},
        {"Notepad\\", P::Inside},
        {"a..b", P::Inside},        // dots inside a name are fine
        {"", P::Root},
        {".", P::Root},
        {"\\", P::Root},
        {".\\.", P::Root},
        {"..", P::Outside},
        {"..\\Startup", P::Outside},
        {"Tools\\..\\..", P::Outside},
        {"Tools\\..", P::Outside},  // any climb is refused, even one that would stay inside
        {"...", P::Outside},        // Windows trims trailing dots: as good as ".."
        {".. ", P::Outside},
        {"C:\\Windows", P::Outside},
        {"C:Notepad", P::Outside},
        {"\\Windows", P::Outside},
        {"\\\\server\\share", P::Outside},
    };
    for (const auto& c : cases) EXPECT_EQ(classifyProgramFolder(c.name), c.placement) << '"' << c.name << '"';
}

TEST(ProgramFolder, ShortcutNamesMustBePlainFileNames) {
    for (const char* good : {"Read Me", "a.b", "Notepad v1.2"}) EXPECT_TRUE(isPlainFileName(good)) << good;
    for (const char* bad : {"", ".", "..", "...", "..\\x", "a\\b", "a/b", "C:x"}) EXPECT_FALSE(isPlainFileName(bad)) << bad;
}

} // namespace
} // namespace tarnwick
