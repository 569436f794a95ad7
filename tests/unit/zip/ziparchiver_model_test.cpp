// The component's shape: defaults, coupled properties, guards, version text.
#include <gtest/gtest.h>

#include <clocale>

#include "zip_fixture.h"

namespace tarnwick {
namespace {

TEST(ArchiverModel, NewArchiverHasTheConstructorValues) {
    TZipArchiver z(nullptr);
    EXPECT_EQ(z.GetCompressionLevel(), clFastest);
    EXPECT_EQ(z.GetCompressionMode(), 1);
    EXPECT_EQ(z.GetCurrentVersion(), "2.64 ");
    EXPECT_EQ(z.Options.OverwriteMode, omAlways);
    EXPECT_EQ(z.Options.SearchAttr, 10431);
    EXPECT_TRUE(z.Options.Recurse);
    EXPECT_TRUE(z.Options.OEMFileNames);
    EXPECT_FALSE(z.GetInMemory());
    EXPECT_FALSE(z.GetActive());
    EXPECT_FALSE(z.ExtractCorruptedFiles);
    EXPECT_EQ(z.GetSpanningMode(), smNone);
    EXPECT_TRUE(z.UseZipSignatures);
    EXPECT_EQ(z.GetCompMethod(), 8);
    TZABaseArchiver base(nullptr);
    EXPECT_FALSE(base.UseZipSignatures);
    EXPECT_EQ(base.GetCompMethod(), 0xFFFF);
}

TEST(ArchiverModel, CompressionLevelAndModeFollowEachOther) {
    TZipArchiver z(nullptr);
    try {
        z.SetCompressionMode(10);
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 5);
    }
    EXPECT_EQ(z.GetCompressionMode(), 1);
    EXPECT_EQ(z.GetCompressionLevel(), clFastest);
    const std::pair<int, TZACompressionLevel> modes[] = {{0, clNone}, {3, clFastest}, {5, clNormal}, {7, clMax}};
    for (auto [mode, level] : modes) {
        z.SetCompressionMode(static_cast<std::uint8_t>(mode));
        EXPECT_EQ(z.GetCompressionLevel(), level) << mode;
    }
    EXPECT_EQ(z.GetCompMethod(), 8);
    z.SetCompressionLevel(clNone);
    EXPECT_EQ(z.GetCompressionMode(), 0);
    EXPECT_EQ(z.GetCompMethod(), 0);
    z.SetCompressionLevel(clMax);
    EXPECT_EQ(z.GetCompressionMode(), 9);
}

TEST(ArchiverModel, CurrentVersionIgnoresAssignmentAndLocale) {
    TZipArchiver z(nullptr);
    z.SetCurrentVersion("9.99");
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    // Any locale with a comma separator that the system has; the text must not change either way.
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "German_Germany.1252"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) break;
    }
    EXPECT_EQ(z.GetCurrentVersion(), "2.64 ");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ArchiverModel, SpanningOptionsSizes) {
    TZASpanningOptions o;
    o.SetCustomVolumeSize(1000);
    EXPECT_EQ(o.GetCustomVolumeSize(), 65536);
    EXPECT_EQ(o.GetVolumeSize(1), -1);
    o.VolumeSize = vs1_44MB;
    EXPECT_EQ(o.GetVolumeSize(1), 1457664);
    o.VolumeSize = vs4700MB;
    EXPECT_EQ(o.GetVolumeSize(2), 4928307200LL);
    o.FirstVolumeSize = 777;
    EXPECT_EQ(o.GetVolumeSize(0), 777);
    TZASpanningOptions copy;
    copy.Assign(o);
    EXPECT_EQ(copy.GetVolumeSize(0), 777);
    EXPECT_EQ(ShareModeToInt(smShareDenyWrite), 32);
    EXPECT_EQ(ShareModeToInt(smShareDenyNone), 64);
}

TEST(ArchiverModel, GuardsRaiseTheirCodes) {
    test::FixtureArchive a;
    for (const char* n : {"a.txt", "b.txt", "c.txt"}) a.entries.push_back({.name = n, .data = n});
    for (const char* n : {"d1/", "d2/"}) a.entries.push_back({.name = n, .data = "", .method = 0, .attributes = 0x10});
    test::MemoryArchive m(test::buildZip(a), false);
    struct Case {
        const char* label;
        std::function<void()> call;
    };
    const Case inactive[] = {{"FileCount", [&] { m.archiver.GetFileCount(); }},
                             {"ArchiveSize", [&] { m.archiver.GetArchiveSize(); }},
                             {"ExtractFiles", [&] { m.archiver.ExtractFiles(); }},
                             {"TestFiles", [&] { m.archiver.TestFiles("*", 63, ""); }},
                             {"ExtractToString", [&] { std::string s; m.archiver.ExtractToString("a.txt", s); }}};
    for (const Case& c : inactive) {
        try {
            c.call();
            ADD_FAILURE() << c.label;
        } catch (const EZAException& e) {
            EXPECT_EQ(e.NativeError, 13) << c.label;
            EXPECT_EQ(e.Message, "ZipArchiver1: Archive is not open - Native error: 00013");
        }
    }
    m.archiver.OpenArchive(&m.memory, false);
    EXPECT_EQ(m.archiver.GetFileCount(), 3);
    EXPECT_TRUE(m.archiver.Options.Recurse);
    try {
        m.archiver.SetSpanningMode(smSplitting);
        ADD_FAILURE();
    } catch (const EZAException&) {
        ADD_FAILURE() << "a plain exception is expected";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Cannot set spanning mode on open archive");
    }
    m.archiver.BeginUpdate();
    EXPECT_TRUE(m.archiver.GetInUpdate());
    try {
        m.archiver.ExtractFiles("*", 63, "");
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 26);
    }
    m.archiver.CancelUpdate();
    EXPECT_FALSE(m.archiver.GetInUpdate());
}

} // namespace
} // namespace tarnwick
