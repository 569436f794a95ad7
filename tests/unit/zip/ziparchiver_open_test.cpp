// Opening and closing archive files: the modes, self-extractors, split sets, validation.
#include <gtest/gtest.h>

#include "zip_fixture.h"

namespace tarnwick {
namespace {

using test::buildZip;
using test::FixtureArchive;
using test::FixtureEntry;
using test::TempFolder;

std::string smallArchive() {
    FixtureArchive a;
    a.entries = {{.name = "a.txt", .data = "alpha"}, {.name = "dir/b.txt", .data = "bravo"}};
    return buildZip(a);
}

class OpenTest : public ::testing::Test {
protected:
    OpenTest() {
        z.Name = "ZipArchiver1";
        z.AfterOpen = [this](TObject*) { ++opened; };
        z.OnProcessFileFailure = [this](TObject*, const std::string&, TZAProcessOperation, int native, int, const std::string&,
                                        TZAAction& action) {
            failures.push_back(native);
            action = fxaIgnore;
        };
    }
    TempFolder dir;
    TZipArchiver z{nullptr};
    int opened = 0;
    std::vector<int> failures;
};

TEST_F(OpenTest, ReadOnlyOpenExtractsButRefusesAnUpdate) {
    dir.write("a.zip", smallArchive());
    z.FileName = dir.file("a.zip");
    z.OpenArchive(static_cast<std::uint16_t>(0));
    EXPECT_TRUE(z.GetActive());
    EXPECT_EQ(opened, 1);
    std::string text;
    z.ExtractToString("dir/b.txt", text);
    EXPECT_EQ(text, "bravo");
    try {
        z.BeginUpdate();
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 32);
    }
    z.CloseArchive();
    z.CloseArchive();
    EXPECT_FALSE(z.GetActive());
}

TEST_F(OpenTest, AutomaticModeOpensForReadWrite) {
    dir.write("a.zip", smallArchive());
    z.FileName = dir.file("a.zip");
    z.SetActive(true);
    EXPECT_TRUE(z.GetActive());
    EXPECT_NO_THROW(z.BeginUpdate());
    z.EndUpdate();
    EXPECT_FALSE(z.GetInUpdate());
    EXPECT_EQ(z.GetArchiveSize(), static_cast<std::int64_t>(smallArchive().size()));
    z.SetActive(false);
    EXPECT_EQ(dir.read("a.zip"), smallArchive()) << "opening and closing leaves the file as it was";
}

TEST_F(OpenTest, CommentIsRewrittenInPlace) {
    FixtureArchive a;
    a.stub = "stub bytes in front";
    a.offsetsFromFileStart = false;
    a.entries = {{.name = "a.txt", .data = "alpha"}, {.name = "b.txt", .data = "bravo"}};
    a.comment = "old comment";
    dir.write("c.zip", buildZip(a));
    z.FileName = dir.file("c.zip");
    z.OpenArchive();
    EXPECT_EQ(z.GetFileComment(), "old comment");
    z.SetFileComment("new");
    z.CloseArchive();
    EXPECT_EQ(z.GetFileComment(), "") << "no comment while closed";
    z.OpenArchive(static_cast<std::uint16_t>(0));
    EXPECT_EQ(z.GetFileComment(), "new");
    std::string text;
    z.ExtractToString("b.txt", text);
    EXPECT_EQ(text, "bravo");
}

TEST_F(OpenTest, MissingFileIsCreatedAsAnEmptyArchiveByTheAutomaticMode) {
    z.FileName = dir.file("new.zip");
    z.OpenArchive();
    EXPECT_TRUE(z.GetActive());
    z.CloseArchive();
    const std::string expected = buildZip({});
    EXPECT_EQ(dir.read("new.zip"), expected);
}

TEST_F(OpenTest, FailedOpensRaiseTheirCodesAndRaiseNoAfterOpen) {
    struct Case {
        const char* label;
        std::string fileName;
        std::function<void()> open;
        int native;
        std::string message;
    };
    dir.write("text.zip", "This is plain text, not an archive.");
    const std::string missing = dir.file("missing.zip");
    const Case cases[] = {
        {"blank name, automatic", "", [&] { z.OpenArchive(); }, 9, ""},
        {"blank name, by mode", dir.str() + "/", [&] { z.OpenArchive(static_cast<std::uint16_t>(0)); }, 10, ""},
        {"missing file", missing, [&] { z.OpenArchive(static_cast<std::uint16_t>(0)); }, 12,
         "ZipArchiver1: File \"" + missing + "\" not found - Native error: 00012"},
        {"no archive inside", dir.file("text.zip"), [&] { z.OpenArchive(static_cast<std::uint16_t>(0)); }, 35, ""},
    };
    for (const Case& c : cases) {
        z.FileName = c.fileName;
        try {
            c.open();
            ADD_FAILURE() << c.label;
        } catch (const EZAException& e) {
            EXPECT_EQ(e.NativeError, c.native) << c.label;
            if (!c.message.empty()) {
                EXPECT_EQ(e.Message, c.message);
            }
        }
        EXPECT_FALSE(z.GetActive()) << c.label;
        EXPECT_EQ(z.DirManager(), nullptr) << c.label;
    }
    EXPECT_EQ(opened, 0);
    // Nothing holds the file after a failed open: it can be deleted (Windows refuses while open).
    EXPECT_TRUE(std::filesystem::remove(dir.path() / "text.zip"));
}

TEST_F(OpenTest, InMemoryArchiveCanOnlyBeCreated) {
    dir.write("a.zip", smallArchive());
    z.FileName = dir.file("a.zip");
    z.SetInMemory(true);
    try {
        z.OpenArchive(static_cast<std::uint16_t>(0));
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 28);
    }
    z.OpenArchive();
    EXPECT_TRUE(z.GetActive());
    EXPECT_EQ(z.DirManager()->CentralDir.GetCount(), 0);
}

TEST_F(OpenTest, LeavingMemoryModeWritesTheArchiveToFileName) {
    z.SetInMemory(true);
    z.OpenArchive();
    EXPECT_TRUE(z.GetActive());
    z.FileName = "";
    try {
        z.SetInMemory(false);
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 29);
    }
    z.FileName = dir.file("saved.zip");
    z.SetInMemory(false);
    EXPECT_FALSE(z.GetInMemory());
    EXPECT_TRUE(z.GetActive());
    z.CloseArchive();
    EXPECT_EQ(dir.read("saved.zip"), buildZip({}));
}

TEST_F(OpenTest, CapitalExeIsOpenedAsSelfExtractor) {
    FixtureArchive a;
    a.stub = std::string("MZ") + std::string(3000, '\x90');
    a.offsetsFromFileStart = false;
    a.entries = {{.name = "inside.txt", .data = "from the stub archive"}};
    dir.write("SETUP.EXE", buildZip(a));
    z.FileName = dir.file("SETUP.EXE");
    EXPECT_TRUE(TZABaseArchiver::IsSFXArchive(z.FileName));
    z.OpenArchive(static_cast<std::uint16_t>(64));
    std::string text;
    z.ExtractToString("inside.txt", text);
    EXPECT_EQ(text, "from the stub archive");
    EXPECT_EQ(z.DirManager()->StubSize, 3002);
}

TEST_F(OpenTest, DamagedArchiveNeedsOpenDamagedArchives) {
    std::string bytes = smallArchive();
    bytes += "trailing garbage hides the end record";
    dir.write("damaged.zip", bytes);
    z.FileName = dir.file("damaged.zip");
    z.OpenDamagedArchives = false;
    try {
        z.OpenArchive(static_cast<std::uint16_t>(0));
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 48);
        EXPECT_EQ(e.Message, "ZipArchiver1: Archive is damaged. Open failed - Native error: 00048");
    }
    EXPECT_FALSE(z.OpenDamagedArchives) << "the caller's setting is restored";
    z.OpenDamagedArchives = true;
    z.OpenArchive(static_cast<std::uint16_t>(0));
    EXPECT_EQ(z.DirManager()->CentralDir.GetCount(), 2);
}

TEST_F(OpenTest, ValidationLeavesTheArchiveClosed) {
    dir.write("good.zip", smallArchive());
    dir.write("text.zip", "no archive");
    std::string damaged = smallArchive() + "xx";
    dir.write("damaged.zip", damaged);
    const std::pair<std::string, bool> cases[] = {
        {"good.zip", true}, {"text.zip", false}, {"damaged.zip", true}, {"missing.zip", false}};
    for (const auto& [name, valid] : cases) {
        z.FileName = dir.file(name);
        EXPECT_EQ(z.IsValidArchiveFile(), valid) << name;
        EXPECT_FALSE(z.GetActive());
        EXPECT_EQ(z.GetSpanningMode(), smNone);
        EXPECT_TRUE(z.OpenDamagedArchives);
    }
    z.FileName = dir.file("good.zip");
    z.OpenArchive(static_cast<std::uint16_t>(0));
    z.FileName = dir.file("missing.zip");
    EXPECT_TRUE(z.IsValidArchiveFile()) << "an open archive is valid without looking at the file";
}

// A split set as Info-ZIP names it (lower-case .z01) is found through the default names.
TEST_F(OpenTest, SplitSetIsReadAcrossVolumes) {
    FixtureArchive a;
    std::string big(3000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 131) ^ (i >> 3));
    a.entries = {{.name = "first.bin", .data = big, .method = 0}, {.name = "second.txt", .data = "second item"}};
    const std::string whole = buildZip(a);
    const std::size_t central = whole.find("PK\x01\x02");
    // Volume 0: the first 2000 bytes; volume 1: the rest of the data; volume 2: the directory.
    const std::string v0 = whole.substr(0, 2000), v1 = whole.substr(2000, central - 2000);
    std::string v2 = whole.substr(central);
    const std::size_t end = v2.size() - 22;
    storeLE16(&v2[end + 4], 2);  // this disk
    storeLE16(&v2[end + 6], 2);  // directory starts here
    storeLE32(&v2[end + 16], 0);
    // The second item starts on volume 1 at its offset there.
    const std::size_t secondCentral = v2.find("PK\x01\x02", 4);
    storeLE16(&v2[secondCentral + 34], 1);
    storeLE32(&v2[secondCentral + 42], static_cast<std::uint32_t>(loadLE32(&v2[secondCentral + 42]) - 2000));
    dir.write("set.z01", v0);
    dir.write("set.z02", v1);
    dir.write("set.zip", v2);
    z.FileName = dir.file("set.zip");
    z.OpenArchive(static_cast<std::uint16_t>(64));
    EXPECT_EQ(z.GetSpanningMode(), smSplitting);
    std::string text;
    z.ExtractToString("first.bin", text);
    EXPECT_EQ(text, big);
    z.ExtractToString("second.txt", text);
    EXPECT_EQ(text, "second item");

    // The same set as a split self-extractor: the executable is volume 0, the last part ".ZIP".
    z.CloseArchive();
    dir.write("sfx.exe", v0);
    dir.write("sfx.z02", v1);
    dir.write("sfx.ZIP", v2);
    z.FileName = dir.file("sfx.exe");
    z.OpenArchive(static_cast<std::uint16_t>(64));
    z.ExtractToString("first.bin", text);
    EXPECT_EQ(text, big);
    z.ExtractToString("second.txt", text);
    EXPECT_EQ(text, "second item");

    // Without the first volume its request is cancelled: error 45 reaches the caller.
    z.FileName = dir.file("set.zip");
    z.CloseArchive();
    std::filesystem::remove(dir.path() / "set.z01");
    z.OpenArchive(static_cast<std::uint16_t>(64));
    try {
        z.ExtractToString("first.bin", text);
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 45);
    }
}

TEST(VolumeNames, DefaultNamesOfSplitAndSpannedSets) {
    TZipArchiver z(nullptr);
    z.FileName = "C:\\out\\data.zip";
    struct Case {
        TZASpanningMode mode;
        bool advanced;
        int volume;
        const char* name;
    };
    const Case cases[] = {
        {smSplitting, false, 0, "C:\\out\\data.Z01"},     {smSplitting, false, 1, "C:\\out\\data.Z02"},
        {smSplitting, true, 0, "C:\\out\\data_001.zip"},  {smSplitting, true, -1, "C:\\out\\data.zip"},
        {smSplitting, false, -1, "C:\\out\\data.zip"},    {smSpanning, true, 4, "C:\\out\\data_005.zip"},
        {smSpanning, false, 4, "C:\\out\\data.zip"},
    };
    for (const Case& c : cases) {
        z.SetSpanningMode(c.mode);
        z.SpanningOptions.AdvancedNaming = c.advanced;
        EXPECT_EQ(z.MakeDefaultVolumeName(z.FileName, c.volume, false), c.name);
    }
    z.FileName = "C:\\out\\setup.exe";
    z.SetSpanningMode(smSplitting);
    z.SpanningOptions.AdvancedNaming = false;
    EXPECT_EQ(z.MakeDefaultVolumeName(z.FileName, -1, false), "C:\\out\\setup.ZIP");
    EXPECT_EQ(z.MakeDefaultVolumeName(z.FileName, 0, false), "C:\\out\\setup.exe");
}

// Methods above 251 (the component's own, the base archiver's 0xFFFF among them) take the
// alternative extensions; the advanced and the spanned names have none.
TEST(VolumeNames, AlternativeExtensionsFollowTheCompressionMethod) {
    struct MethodArchiver : TZABaseArchiver {
        explicit MethodArchiver(std::uint16_t method) : TZABaseArchiver(nullptr) { CompMethod = method; }
    };
    struct Case {
        std::uint16_t method;
        const char* lastOfSelfExtractor;  // volume -1 of setup.exe, split
        const char* firstSplit;           // volume 0 of data.zip, split
        const char* secondSplit;
    };
    const Case cases[] = {
        {8, "C:\\out\\setup.ZIP", "C:\\out\\data.Z01", "C:\\out\\data.Z02"},
        {252, "C:\\out\\setup.ZF", "C:\\out\\data.F01", "C:\\out\\data.F02"},
        {0xFFFF, "C:\\out\\setup.ZF", "C:\\out\\data.F01", "C:\\out\\data.F02"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        MethodArchiver z(c.method);
        ASSERT_EQ(z.GetCompMethod(), c.method);
        z.SetSpanningMode(smSplitting);
        z.SpanningOptions.AdvancedNaming = false;
        EXPECT_EQ(z.MakeDefaultVolumeName("C:\\out\\setup.exe", -1, false), c.lastOfSelfExtractor);
        EXPECT_EQ(z.MakeDefaultVolumeName("C:\\out\\setup.exe", 0, false), "C:\\out\\setup.exe");
        EXPECT_EQ(z.MakeDefaultVolumeName("C:\\out\\data.zip", 0, false), c.firstSplit);
        EXPECT_EQ(z.MakeDefaultVolumeName("C:\\out\\data.zip", 1, false), c.secondSplit);
        EXPECT_EQ(z.MakeDefaultVolumeName("C:\\out\\data.zip", -1, false), "C:\\out\\data.zip");
        z.SpanningOptions.AdvancedNaming = true;
        EXPECT_EQ(z.MakeDefaultVolumeName("C:\\out\\data.zip", 1, false), "C:\\out\\data_002.zip");
        z.SetSpanningMode(smSpanning);
        EXPECT_EQ(z.MakeDefaultVolumeName("C:\\out\\data.zip", 1, false), "C:\\out\\data_002.zip");
    }
}

TEST(OpenOnStream, CreateWritesAnEmptyDirectoryAndSpanningIsRefused) {
    TZipArchiver z(nullptr);
    TMemoryStream stream;
    stream.Write("junk", 4);
    z.OpenArchive(&stream, true);
    EXPECT_EQ(stream.GetSize(), 22);
    z.CloseArchive();
    EXPECT_EQ(stream.GetSize(), 22) << "the caller's stream outlives the archive";
    z.SetSpanningMode(smSplitting);
    try {
        z.OpenArchive(&stream, false);
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 51);
    }
}

} // namespace
} // namespace tarnwick
