// Extraction and testing: destinations, overwrite rules, failures and their events, passwords,
// cancelling, single items into memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "zip_fixture.h"

namespace tarnwick {
namespace {

using test::buildZip;
using test::FixtureArchive;
using test::FixtureEntry;
using test::MemoryArchive;
using test::TempFolder;

class ExtractTest : public ::testing::Test {
protected:
    void open(const FixtureArchive& a) {
        archive = std::make_unique<MemoryArchive>(buildZip(a));
        archive->archiver.BaseDir = out.str();
    }
    TZipArchiver& z() { return archive->archiver; }
    std::vector<test::Failure>& failures() { return archive->failures; }
    TempFolder out;
    std::unique_ptr<MemoryArchive> archive;
};

TEST_F(ExtractTest, WritesFilesFoldersAndEmptyItems) {
    FixtureArchive a;
    a.entries = {{.name = "top.txt", .data = "top level"},
                 {.name = "a/b/c.txt", .data = std::string(100000, 'x')},
                 {.name = "empty.txt", .data = "", .method = 0},
                 {.name = "docs/", .data = "", .method = 0, .attributes = 0x10}};
    open(a);
    int processEvents = 0;
    z().OnFileProgress = [&](TObject*, const std::string& name, double, TZAProcessOperation, TZAProgressPhase phase, bool&) {
        if (phase == ppProcess && name == "empty.txt") ++processEvents;
    };
    z().ExtractFiles("*", 63, "");
    EXPECT_TRUE(failures().empty());
    EXPECT_EQ(out.read("top.txt"), "top level");
    EXPECT_EQ(out.read("a/b/c.txt"), std::string(100000, 'x'));
    EXPECT_EQ(out.read("empty.txt"), "");
    EXPECT_EQ(processEvents, 0) << "an empty item has no data blocks";
    EXPECT_TRUE(std::filesystem::is_directory(out.path() / "docs"));
    std::uint32_t dosDateTime = 0;
    ASSERT_TRUE(zaos::fileDosDateTime(out.file("top.txt"), dosDateTime));
    EXPECT_EQ(dosDateTime, 0x5A216000u);
}

// The item's attributes, as far as a file can carry them, are set on the written file; the high
// half (the Unix mode of archives made there) is not.
TEST_F(ExtractTest, ExtractedFilesCarryTheItemsAttributes) {
#ifdef _WIN32
    // Read-only, hidden, system. Not archive: Wine shows it on every file whatever was set.
    const std::uint32_t shown = 0x07;
#else
    const std::uint32_t shown = 0x01;  // read-only is the one a mode carries
#endif
    struct Case {
        const char* name;
        std::uint32_t attributes;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"archive.txt", 0x20, 0x20},          {"none.txt", 0x00, 0x00},
        {"readonly.txt", 0x21, 0x21},         {"hidden.txt", 0x22, 0x22},
        {"system.txt", 0x24, 0x24},           {"unix.txt", 0x81240000u | 0x21, 0x21},
        {"unixmode.txt", 0x81B60000u, 0x00},  {"temporary.txt", 0x120, 0x20},
    };
    FixtureArchive a;
    for (const Case& c : cases) a.entries.push_back({.name = c.name, .data = std::string("data of ") + c.name, .attributes = c.attributes});
    for (const bool setAttributes : {true, false}) {
        open(a);
        z().Options.SetAttributes = setAttributes;
        z().ExtractFiles("*", 63, "");
        EXPECT_TRUE(failures().empty());
        for (const Case& c : cases) {
            EXPECT_EQ(out.read(c.name), std::string("data of ") + c.name) << c.name;
            const std::uint32_t got = zaos::fileAttributes(out.file(c.name));
            const std::uint32_t expected = setAttributes ? c.expected : 0x20;
            EXPECT_EQ(got & shown, expected & shown) << c.name << (setAttributes ? "" : " (attributes not set)");
            zaos::setFileAttributes(out.file(c.name), 0x20);
            std::filesystem::remove(out.file(c.name));
        }
    }
}

TEST_F(ExtractTest, WithoutCreateDirsEverythingLandsInTheDestination) {
    FixtureArchive a;
    a.entries = {{.name = "a/b/c.txt", .data = "deep"}, {.name = "docs/", .data = "", .method = 0, .attributes = 0x10}};
    open(a);
    z().Options.CreateDirs = false;
    z().ExtractFiles("*", 63, "");
    EXPECT_EQ(out.read("c.txt"), "deep");
    EXPECT_FALSE(std::filesystem::exists(out.path() / "a"));
    EXPECT_FALSE(std::filesystem::exists(out.path() / "docs"));
}

// A destination given relative to the current folder is made as needed, however short its name:
// a name of one or two characters is a folder like any other, not a drive.
TEST_F(ExtractTest, ShortRelativeDestinationsAreMadeInTheCurrentFolder) {
    FixtureArchive a;
    a.entries = {{.name = "d/a.txt", .data = "nested"}};
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(out.path());
    for (const char* destination : {"x", "x1", "ab/cd"}) {
        SCOPED_TRACE(destination);
        open(a);
        z().BaseDir = destination;
        z().ExtractFiles("*", 63, "");
        EXPECT_TRUE(failures().empty());
        EXPECT_EQ(out.read(std::string(destination) + "/d/a.txt"), "nested");
    }
    std::filesystem::current_path(previous);
}

// The folders an item needs are made when its file is; a file standing where one of them must go
// fails that item with error 20 (cannot create the folder) and leaves the file alone, while items
// into folders that are there, or that can be made, still arrive.
TEST_F(ExtractTest, AFileWhereAnItemsFolderMustGoFailsWith20) {
    FixtureArchive a;
    a.entries = {{.name = "there/a.txt", .data = "into a folder that is there"},
                 {.name = "blocked/deeper/b.txt", .data = "cannot arrive"},
                 {.name = "new/deeper/c.txt", .data = "into folders made for it"}};
    open(a);
    std::filesystem::create_directory(out.path() / "there");
    out.write("blocked", "in the way");
    z().ExtractFiles("*", 63, "");
    ASSERT_EQ(failures().size(), 1u);
    EXPECT_EQ(failures()[0].name, "blocked\\deeper\\b.txt");
    EXPECT_EQ(failures()[0].native, 20);
    EXPECT_EQ(out.read("blocked"), "in the way");
    EXPECT_EQ(out.read("there/a.txt"), "into a folder that is there");
    EXPECT_EQ(out.read("new/deeper/c.txt"), "into folders made for it");
}

// Names from the archive never leave the destination folder; the failure event gets error 19.
TEST_F(ExtractTest, NamesThatEscapeTheDestinationFailWith19) {
    const char* escaping[] = {"../evil.txt", "a/../../evil.txt", "/abs/evil.txt", "\\abs\\evil.txt",
                              "C:evil.txt", "C:/evil.txt", "\\\\server\\share\\evil.txt", "a/..", ".. /evil.txt", "a/.../../evil.txt"};
    FixtureArchive a;
    for (const char* name : escaping) a.entries.push_back({.name = "x", .data = "bad", .storedName = std::string(name)});
    a.entries.push_back({.name = "a/../fine.txt", .data = "fine"});
    open(a);
    // The names are loaded as stored (backslashes become slashes).
    TempFolder inner;
    z().BaseDir = (inner.path() / "dest").string();
    z().ExtractFiles("*", 63, "");
    ASSERT_EQ(failures().size(), std::size(escaping));
    for (const test::Failure& f : failures()) {
        EXPECT_EQ(f.native, 19) << f.name;
        EXPECT_NE(f.message.find("Cannot create file"), std::string::npos) << f.message;
    }
    EXPECT_EQ(inner.read("dest/fine.txt"), "fine");
    for (const auto& e : std::filesystem::recursive_directory_iterator(inner.path())) {
        EXPECT_NE(e.path().filename(), "evil.txt") << e.path();
    }
}

TEST_F(ExtractTest, HandlerChosenFullPathIsHonoured) {
    FixtureArchive a;
    a.entries = {{.name = "x.txt", .data = "moved"}};
    open(a);
    TempFolder elsewhere;
    const std::string target = elsewhere.file("chosen.txt");
    z().OnExtractFile = [&](TObject*, std::string& name, std::uint32_t&, const std::string&) { name = target; };
    z().ExtractFiles("*", 63, "");
    EXPECT_TRUE(failures().empty());
    EXPECT_EQ(elsewhere.read("chosen.txt"), "moved");
    EXPECT_FALSE(out.read("x.txt").has_value());
}

TEST_F(ExtractTest, OverwriteModesAndReadOnlyFiles) {
    struct Case {
        const char* label;
        TZAOverwriteMode mode;
        bool replaceReadOnly;
        bool readOnly;
        std::uint16_t itemDate;  // existing file is written with the item's default date first
        bool replaced;
    };
    const Case cases[] = {
        {"always", omAlways, true, false, 0x5A21, true},
        {"never", omNever, true, false, 0x5A21, false},
        {"prompt declined by the test handler", omPrompt, true, false, 0x5A21, false},
        {"if newer, equal times", omIfNewer, true, false, 0x5A21, false},
        {"if newer, newer item", omIfNewer, true, false, 0x5A41, true},
        {"if older, older item", omIfOlder, true, false, 0x5A01, true},
        {"if older, newer item", omIfOlder, true, false, 0x5A41, false},
        {"read-only replaced", omAlways, true, true, 0x5A21, true},
        {"read-only kept", omAlways, false, true, 0x5A21, false},
    };
    for (const Case& c : cases) {
        FixtureArchive first;
        first.entries = {{.name = "f.txt", .data = "old"}};
        open(first);
        z().ExtractFiles("*", 63, "");
        if (c.readOnly) zaos::setFileAttributes(out.file("f.txt"), 1);
        FixtureArchive second;
        second.entries = {{.name = "f.txt", .data = "new", .dosDate = c.itemDate}};
        open(second);
        z().Options.OverwriteMode = c.mode;
        z().Options.ReplaceReadOnly = c.replaceReadOnly;
        z().ExtractFiles("*", 63, "");
        EXPECT_EQ(out.read("f.txt"), c.replaced ? "new" : "old") << c.label;
        EXPECT_TRUE(failures().empty()) << c.label;
        zaos::setFileAttributes(out.file("f.txt"), 0x20);
        std::filesystem::remove(out.path() / "f.txt");
    }
}

// A new file is made only where its name is free; a name taken in another letter case, or by a
// folder, must still go through the overwrite rules and the failure path.
TEST_F(ExtractTest, ANameTakenInAnotherLetterCaseOrByAFolderIsNotTreatedAsFree) {
    FixtureArchive first;
    first.entries = {{.name = "F.TXT", .data = "old"}, {.name = "taken/", .data = "", .method = 0, .attributes = 0x10}};
    open(first);
    z().ExtractFiles("*", 63, "");
    ASSERT_TRUE(failures().empty());

    FixtureArchive second;
    second.entries = {{.name = "f.txt", .data = "new"}, {.name = "taken", .data = "file over a folder"}};
    open(second);
    z().Options.OverwriteMode = omNever;
    z().ExtractFiles("*", 63, "");
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(out.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"F.TXT", "taken"}));
    EXPECT_EQ(out.read("F.TXT"), "old");
    EXPECT_TRUE(std::filesystem::is_directory(out.path() / "taken"));
    ASSERT_EQ(failures().size(), 1u);
    EXPECT_EQ(failures()[0].name, "taken");
    EXPECT_EQ(failures()[0].native, 19);
}

TEST_F(ExtractTest, CrcMismatchFailsWith8AndDeletesTheFileUnlessCorruptedFilesAreKept) {
    FixtureArchive a;
    a.entries = {{.name = "bad.txt", .data = "payload", .crcOverride = 0x12345678u}, {.name = "good.txt", .data = "ok"}};
    open(a);
    z().ExtractFiles("*", 63, "");
    ASSERT_EQ(failures().size(), 1u);
    EXPECT_EQ(failures()[0].name, "bad.txt");
    EXPECT_EQ(failures()[0].native, 8);
    EXPECT_EQ(failures()[0].code, 4);
    EXPECT_EQ(failures()[0].message,
              "ZipArchiver1: Invalid size or check sum of file or unsupported compression format - Native error: 00008");
    EXPECT_FALSE(out.read("bad.txt").has_value());
    EXPECT_EQ(out.read("good.txt"), "ok");

    failures().clear();
    z().ExtractCorruptedFiles = true;
    z().ExtractFiles("bad.txt", 63, "");
    EXPECT_TRUE(failures().empty());
    EXPECT_EQ(out.read("bad.txt"), "payload");
}

TEST_F(ExtractTest, FailureActionsRetryIgnoreAndAbort) {
    FixtureArchive a;
    a.entries = {{.name = "1.txt", .data = "one", .crcOverride = 1u}, {.name = "2.txt", .data = "two"}};
    open(a);
    int calls = 0;
    z().OnProcessFileFailure = [&](TObject*, const std::string&, TZAProcessOperation, int, int, const std::string&,
                                   TZAAction& action) { action = ++calls < 3 ? fxaRetry : fxaAbort; };
    z().ExtractFiles("*", 63, "");
    EXPECT_EQ(calls, 3) << "retried twice, then aborted";
    EXPECT_FALSE(out.read("2.txt").has_value()) << "abort ends the batch";
}

TEST_F(ExtractTest, UnsupportedMethodsAndDeflate64) {
    FixtureArchive a;
    a.entries = {{.name = "d64.bin", .data = "x", .method = 9}, {.name = "bz2.bin", .data = "x", .method = 12}};
    open(a);
    z().ExtractFiles("*", 63, "");
    ASSERT_EQ(failures().size(), 2u);
    EXPECT_EQ(failures()[0].native, 55);
    EXPECT_EQ(failures()[0].code, 32);
    EXPECT_EQ(failures()[0].message, "Deflate64 compression method is not supported - Native error: 00055");
    EXPECT_EQ(failures()[1].native, 8);
}

TEST_F(ExtractTest, ComponentsOwnBlockFormatStoredAndZlibBlocks) {
    auto blockItem = [](bool compressed) {
        std::string header(50, '\0');
        storeLE32(&header[0], 4);   // block size
        storeLE32(&header[8], 10);  // total size
        storeLE32(&header[16], 3);  // blocks
        header[20] = caZLIB;
        header[21] = compressed ? 1 : 0;
        storeLE16(&header[22], 0xFFFF);
        std::string body = header;
        for (const std::string part : {"0123", "4567", "89"}) {
            std::string data = part;
            if (compressed) {
                uLongf size = compressBound(static_cast<uLong>(part.size()));
                data.assign(size, '\0');
                compress(reinterpret_cast<Bytef*>(data.data()), &size, reinterpret_cast<const Bytef*>(part.data()),
                         static_cast<uLong>(part.size()));
                data.resize(size);
            }
            test::put32(body, static_cast<std::uint32_t>(data.size()));
            body += data;
        }
        return body;
    };
    FixtureArchive a;
    for (bool compressed : {false, true}) {
        FixtureEntry e{.name = compressed ? "zlib.bin" : "stored.bin", .data = "0123456789", .method = 253};
        e.payload = blockItem(compressed);
        a.entries.push_back(e);
    }
    a.entries.push_back({.name = "old.bin", .data = "x", .method = 253, .versionNeeded = 10});
    open(a);
    std::string text;
    z().ExtractToString("stored.bin", text);
    EXPECT_EQ(text, "0123456789");
    z().ExtractToString("zlib.bin", text);
    EXPECT_EQ(text, "0123456789");
    try {
        z().ExtractToString("old.bin", text);
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 8);
    }
}

TEST_F(ExtractTest, PasswordsAreAskedUntilRightOrSkipped) {
    FixtureArchive a;
    a.entries = {{.name = "secret.txt", .data = "classified", .password = "right"},
                 {.name = "later.txt", .data = "also secret", .password = "right", .descriptor = true}};
    open(a);
    std::vector<std::string> offered = {"wrong", "right"};
    int asked = 0;
    z().OnPassword = [&](TObject*, const std::string& name, std::string& password, bool& skip) {
        EXPECT_EQ(name, "secret.txt");
        if (asked < static_cast<int>(offered.size())) {
            password = offered[static_cast<std::size_t>(asked++)];
        } else {
            skip = true;
        }
    };
    z().ExtractFiles("*", 63, "");
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(failures().empty());
    EXPECT_EQ(out.read("secret.txt"), "classified");
    EXPECT_EQ(out.read("later.txt"), "also secret") << "the entered password stays for the next items";

    // Skipping: no failure, no file.
    open(a);
    z().ExtractFiles("*", 63, "");
    EXPECT_TRUE(failures().empty());
    std::filesystem::remove(out.path() / "secret.txt");
    open(a);
    z().ExtractFiles("secret.txt", 63, "");
    EXPECT_FALSE(out.read("secret.txt").has_value());
}

TEST_F(ExtractTest, PasswordValidation) {
    FixtureArchive a;
    a.entries = {{.name = "secret.txt", .data = "classified", .password = "right"}, {.name = "plain.txt", .data = "open"}};
    open(a);
    EXPECT_TRUE(z().IsFilePasswordValid("secret.txt", "right"));
    EXPECT_FALSE(z().IsFilePasswordValid("secret.txt", "wrong"));
    EXPECT_TRUE(z().IsFilePasswordValid("plain.txt", "anything"));
    EXPECT_TRUE(z().Password.empty()) << "the trial password is not kept";
    try {
        z().IsFilePasswordValid("none.txt", "x");
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 42);
    }
}

TEST_F(ExtractTest, CancelInFileProgressDeletesThePartAndStillEndsOverallProgress) {
    std::string big(3 << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 2654435761u >> 13);
    FixtureArchive a;
    a.entries = {{.name = "big.bin", .data = big, .method = 0}, {.name = "next.txt", .data = "next"}};
    open(a);
    std::vector<TZAProgressPhase> overall;
    z().OnOverallProgress = [&](TObject*, double, TZAProcessOperation, TZAProgressPhase phase, bool&) {
        if (phase != ppProcess) overall.push_back(phase);
    };
    z().OnFileProgress = [&](TObject*, const std::string&, double progress, TZAProcessOperation, TZAProgressPhase phase,
                             bool& cancel) {
        if (phase == ppProcess && progress > 0) cancel = true;
    };
    z().ExtractFiles("*", 63, "");
    EXPECT_FALSE(out.read("big.bin").has_value());
    EXPECT_FALSE(out.read("next.txt").has_value());
    EXPECT_EQ(overall, (std::vector<TZAProgressPhase>{ppStart, ppEnd}));
    EXPECT_TRUE(failures().empty());
}

TEST_F(ExtractTest, TestingLeavesNoTemporaryFiles) {
    FixtureArchive a;
    a.entries = {{.name = "a.txt", .data = "alpha"}, {.name = "b.txt", .data = "bravo", .crcOverride = 7u}};
    open(a);
    TempFolder temp;
    z().TempDir = temp.str();
    z().TestFiles("*", 63, "");
    ASSERT_EQ(failures().size(), 1u);
    EXPECT_EQ(failures()[0].name, "b.txt");
    EXPECT_TRUE(std::filesystem::is_empty(temp.path()));
    EXPECT_EQ(z().GetTempFileName().find("FC"), temp.str().size() + 1);
}

TEST_F(ExtractTest, TestingNeedsNoPlaceForFiles) {
    // Items are decoded into nothing: a temporary folder that cannot take a file changes no result.
    FixtureArchive a;
    a.entries = {{.name = "a.txt", .data = std::string(200000, 'a')},
                 {.name = "b.txt", .data = "bravo", .crcOverride = 7u},
                 {.name = "c.bin", .data = "stored", .method = 0}};
    open(a);
    TempFolder temp;
    z().TempDir = (temp.path() / "missing").string();
    std::vector<std::string> tested;
    z().OnFileProgress = [&](TObject*, const std::string& name, double, TZAProcessOperation operation,
                             TZAProgressPhase phase, bool&) {
        if (phase == ppEnd && operation == poTest) tested.push_back(name);
    };
    z().TestFiles("*", 63, "");
    ASSERT_EQ(failures().size(), 1u);
    EXPECT_EQ(failures()[0].name, "b.txt");
    EXPECT_EQ(failures()[0].native, 8) << "a checksum failure, not a file that could not be made";
    EXPECT_EQ(tested, (std::vector<std::string>{"a.txt", "b.txt", "c.bin"}));
    EXPECT_TRUE(std::filesystem::is_empty(temp.path()));
}

TEST_F(ExtractTest, SingleItemsIntoMemory) {
    FixtureArchive a;
    a.entries = {{.name = "dir/item.txt", .data = "0123456789"}};
    open(a);
    std::string text;
    try {
        z().ExtractToString("missing.txt", text);
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 15);
        EXPECT_EQ(e.Message, "ZipArchiver1: File \"missing.txt\" not found - Native error: 00015");
    }
    EXPECT_THROW(z().ExtractToString("item.txt", text), EZAException) << "single items are looked up by their full path";
    char buffer[12];
    std::memset(buffer, '#', sizeof buffer);
    z().ExtractToBuffer("dir/item.txt", buffer, 4);
    EXPECT_EQ(std::string(buffer, 12), "0123########") << "nothing written past the count";
    EXPECT_THROW(z().ExtractToBuffer("dir/item.txt", buffer, 11), EReadError);
    TMemoryStream stream;
    stream.Write("head:", 5);
    z().ExtractToStream("dir\\item.txt", &stream);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()), 15), "head:0123456789");
}

TEST_F(ExtractTest, InflatedDataBeyondTheDeclaredSizeStops) {
    FixtureArchive a;
    FixtureEntry e{.name = "bomb.bin", .data = std::string(10 << 20, '\0')};
    a.entries = {e};
    std::string bytes = buildZip(a);
    const std::size_t central = bytes.find("PK\x01\x02");
    storeLE32(&bytes[central + 24], 1000);  // declare 1000 bytes
    archive = std::make_unique<MemoryArchive>(bytes);
    TMemoryStream sink;
    EXPECT_THROW(archive->archiver.ExtractToStream("bomb.bin", &sink), EZAException);
    EXPECT_LE(sink.GetSize(), 2 << 20);
}

} // namespace
} // namespace tarnwick
