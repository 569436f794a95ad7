// What a valid manifest turns into: the records in their fixed order, the items and their
// sharing, the uninstall entry's extra values. Read back through the package reader, as setup does.
#include "pack_fixtures.h"

#include "exclude_masks.h"
#include "manifest.h"
#include "package_plan.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace tarnwick;
using namespace tarnwick::pack;
using packtest::TProductFolder;

TBuildPlan planOf(const TProductFolder& product, const std::string& text, TDiagnostics& d, TPlanOptions options = {}) {
    const TManifest m = readManifest(text, product.manifest(text), d);
    return planPackage(m, options, d);
}

TEST(PackagePlan, TheFullManifestGivesRecordsInTheirFixedOrder) {
    TProductFolder product("plan");
    TDiagnostics d;
    const TBuildPlan plan = planOf(product, packtest::kFullManifest, d);
    std::ostringstream printed;
    printDiagnostics(printed, d, "m", packtest::kFullManifest);
    ASSERT_FALSE(d.hasErrors()) << printed.str();
    EXPECT_EQ(d.warningCount(), 0u) << printed.str();

    const TPackage& p = plan.package;
    EXPECT_EQ(p.header.productName, "Tarnwick Sample");
    EXPECT_EQ(p.header.destinationTemplate, "[PROGRAMFILES]\\Tarnwick Sample");
    EXPECT_EQ(p.header.pictureName, "intro.jpg");
    EXPECT_EQ(p.header.programFolderName, "Sample Tools");

    // Folders first, sorted so parents come first, the destination itself always; the empty
    // source folder logs and the [[folders]] entry with its parent; then files in manifest order,
    // a folder's files sorted; the readme installed twice shares its item; the main program has
    // its own item.
    const std::vector<TFileRecord> files = {
        {frFolder, 0, "[INSTALLDIR]"},
        {frFolder, 0, "[INSTALLDIR]\\copies"},
        {frFolder, 0, "[INSTALLDIR]\\data"},
        {frFolder, 0, "[INSTALLDIR]\\data\\cache"},
        {frFolder, 0, "[INSTALLDIR]\\docs"},
        {frFolder, 0, "[INSTALLDIR]\\logs"},
        {frFile, 1, "[INSTALLDIR]\\docs\\guide.txt"},
        {frFile, 2, "[INSTALLDIR]\\prog.exe"},
        {frFile, 3, "[INSTALLDIR]\\readme.txt"},
        {frFile, 4, "[INSTALLDIR]\\docs\\License.txt"},
        {frFile, 3, "[INSTALLDIR]\\copies\\readme.txt"},
    };
    EXPECT_EQ(p.files, files);
    EXPECT_EQ(p.header.itemCount, 4);
    EXPECT_EQ(p.header.mainItemNumber, 2);
    ASSERT_EQ(plan.items.size(), 4u);
    EXPECT_EQ(plan.items[2].source.filename(), "readme.txt");

    const std::string sample = "HKEY_CURRENT_USER\\Software\\Example\\Sample";
    const std::string uninstall = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick Sample";
    const std::uint64_t bytes = 9 + (128 + 5000) + 9 + 13 + 9; // guide, prog.exe, readme, License, readme again
    const std::vector<TRegistryRecord> registry = {
        {rrKey, rvNone, sample + "\\Recent", ""},
        {rrKey, rvNone, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Example\\Sample", ""},
        {rrValue, rvString, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Example\\Sample\\(Default)", "[INSTALLDIR]"},
        {rrKey, rvNone, sample, ""},
        {rrValue, rvNumber, sample + "\\Width", "-1"},
        {rrValue, rvBinaryDigits, sample + "\\Flags", "00000101"},
        {rrValue, rvMultiString, sample + "\\Plugins", "[INSTALLDIR]\\plugins"},
        {rrValue, rvExpandString, sample + "\\DataDir", "%APPDATA%\\Tarnwick Sample"},
        {rrKey, rvNone, uninstall, ""},
        {rrValue, rvString, uninstall + "\\DisplayVersion", "2.4.1"},
        {rrValue, rvString, uninstall + "\\Publisher", "Example Software Ltd"},
        {rrValue, rvString, uninstall + "\\DisplayIcon", "[INSTALLDIR]\\prog.exe"},
        {rrValue, rvString, uninstall + "\\InstallLocation", "[INSTALLDIR]"},
        {rrValue, rvNumber, uninstall + "\\EstimatedSize", std::to_string((bytes + 1023) / 1024)},
        {rrValue, rvString, uninstall + "\\URLInfoAbout", "https://example.com/sample"},
        {rrValue, rvString, uninstall + "\\HelpLink", "https://example.com/support"},
        {rrValue, rvNumber, uninstall + "\\NoModify", "1"},
        {rrValue, rvNumber, uninstall + "\\NoRepair", "1"},
    };
    EXPECT_EQ(p.registry, registry);
    EXPECT_EQ(p.header.registryRecordCount, static_cast<std::int32_t>(registry.size()));
    EXPECT_EQ(p.header.fileRecordCount, static_cast<std::int32_t>(files.size()));
    EXPECT_EQ(p.shortcuts, (std::vector<TShortcutRecord>{{"[INSTALLDIR]\\docs\\License.txt", "License"}}));
}

TEST(PackagePlan, SourceDateEpochClampsItemTimesAndOnlyLaterOnes) {
    TProductFolder product("epoch");
    const std::string text = "[product]\nname='P'\npublisher='Q'\ndestination='[PROGRAMFILES]\\P'\n"
                             "[[files]]\nsource='LICENSE'\nto='[INSTALLDIR]'\n[[files]]\nsource='app/readme.txt'\nto='[INSTALLDIR]'\n";
    const std::int64_t fixture = std::chrono::duration_cast<std::chrono::seconds>(
                                     std::chrono::sys_days{std::chrono::year{2024} / 5 / 17}.time_since_epoch())
                                     .count();
    fs::last_write_time(product.root() / "LICENSE",
                        fs::file_time_type::clock::from_sys(std::chrono::sys_seconds{std::chrono::sys_days{std::chrono::year{2030} / 1 / 1}}));
    TDiagnostics d;
    const TBuildPlan plan = planOf(product, text, d, {fixture + 3600});
    ASSERT_FALSE(d.hasErrors());
    EXPECT_EQ(plan.items[0].modifiedUnix, fixture + 3600);
    EXPECT_EQ(plan.items[1].modifiedUnix, fixture);
}

TEST(PackagePlan, WithoutAnyFilesThereIsStillTheDestinationFolderRecord) {
    TProductFolder product("empty");
    TDiagnostics d;
    const TBuildPlan plan = planOf(product, "[product]\nname='P'\npublisher='Q'\ndestination='C:\\Games\\P'\n", d);
    ASSERT_FALSE(d.hasErrors());
    EXPECT_EQ(plan.package.header.destinationTemplate, "C:\\Games\\P");
    EXPECT_EQ(plan.package.files, (std::vector<TFileRecord>{{frFolder, 0, "[INSTALLDIR]"}}));
    EXPECT_EQ(plan.package.header.mainItemNumber, 0);
}

TEST(PackagePlan, TheMainProgramKeepsAnItemOfItsOwnWhenItsSourceIsInstalledTwice) {
    TProductFolder product("main-item");
    // Setup takes the main program's path from the last file record using the main item: shared,
    // the copy under tools\ would become the main program.
    const std::string text = "[product]\nname='P'\npublisher='Q'\ndestination='[PROGRAMFILES]\\P'\n"
                             "main='[INSTALLDIR]\\prog.exe'\n"
                             "[[files]]\nsource='app/prog.exe'\nto='[INSTALLDIR]'\n"
                             "[[files]]\nsource='app/prog.exe'\nto='[INSTALLDIR]\\tools'\n";
    TDiagnostics d;
    const TBuildPlan plan = planOf(product, text, d);
    ASSERT_FALSE(d.hasErrors());
    EXPECT_EQ(plan.package.header.itemCount, 2);
    EXPECT_EQ(plan.package.header.mainItemNumber, 1);
    EXPECT_EQ(plan.package.files.back(), (TFileRecord{frFile, 2, "[INSTALLDIR]\\tools\\prog.exe"}));
}

struct TMaskCase {
    const char* mask;
    const char* path;
    bool isFolder;
    bool matches;
};

TEST(ExcludeMasks, NamesAtAnyDepthAnchoredPathsFoldersAndCase) {
    const TMaskCase cases[] = {
        {"*.pdb", "prog.pdb", false, true},
        {"*.pdb", "sub/deep/x.PDB", false, true},
        {"*.pdb", "prog.pdb.txt", false, false},
        {"docs/api/", "docs/api", true, true},
        {"docs/api/", "docs/api", false, false},     // a trailing '/' matches folders only
        {"docs/api/", "other/docs/api", true, false}, // a mask with '/' is anchored
        {"api/", "other/docs/api", true, true},       // one without is not
        {"docs/**/draft*", "docs/a/b/draft1.txt", false, true},
        {"docs/**/draft*", "docs/draft1.txt", false, true},
        {"docs/*/draft*", "docs/a/b/draft1.txt", false, false},
        {"?.txt", "a.txt", false, true},
        {"?.txt", "ab.txt", false, false},
        {"/tests", "tests", true, true},
    };
    for (const TMaskCase& c : cases)
        EXPECT_EQ(TExcludeMask(c.mask).matches(c.path, c.isFolder), c.matches) << c.mask << " against " << c.path;
}

} // namespace
