// Directory loading: the end-record search, ZIP64, stubs, names, extra blocks, the rebuild from
// local headers and the directory array.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "zip/zastrfunc.h"
#include "zip_fixture.h"

namespace tarnwick {
namespace {

using test::buildZip;
using test::FixtureArchive;
using test::FixtureEntry;
using test::MemoryArchive;

FixtureEntry entry(const std::string& name, const std::string& data, std::uint16_t method = 8) {
    FixtureEntry e;
    e.name = name;
    e.data = data;
    e.method = method;
    return e;
}

TZADirManager& manager(MemoryArchive& a) { return *a.archiver.DirManager(); }

TEST(EndRecordSearch, FindsTheRecordWhoseCommentReachesTheEnd) {
    struct Case {
        const char* label;
        std::string comment;
        std::string appended;
        bool found;
    };
    std::string withSignature = "before";
    test::put32(withSignature, kEndSignature);
    withSignature += std::string(18, '\0') + "after";
    const Case cases[] = {
        {"no comment", "", "", true},
        {"short comment", "hello", "", true},
        {"longest comment", std::string(65535, 'c'), "", true},
        {"comment holding the signature", withSignature, "", true},
        {"one byte after the comment", "hello", "x", false},
    };
    for (const Case& c : cases) {
        FixtureArchive a;
        a.entries = {entry("a.txt", "abc")};
        a.comment = c.comment;
        MemoryArchive m(buildZip(a) + c.appended, false);
        TZADirManager dm(&m.memory, false, &m.archiver);
        TZAZipCentralDirEnd record;
        std::int64_t position = 0;
        EXPECT_EQ(dm.GetCentralDirEnd(record, position, kEndSignature), c.found) << c.label;
        if (c.found) {
            EXPECT_EQ(dm.ArchiveComment, c.comment) << c.label;
            EXPECT_EQ(position, m.memory.GetSize() - 22 - static_cast<std::int64_t>(c.comment.size())) << c.label;
        } else {
            EXPECT_EQ(position, -1);
        }
    }
}

TEST(DirectoryLoading, EmptyArchiveLoadsWithoutItemsOrStub) {
    MemoryArchive m(buildZip({}));
    EXPECT_EQ(manager(m).CentralDir.GetCount(), 0);
    EXPECT_EQ(manager(m).StubSize, 0);
}

TEST(DirectoryLoading, StubIsFoundAndOffsetsShiftedOnlyWhenTheyCountFromTheZipData) {
    for (const bool fromFileStart : {false, true}) {
        FixtureArchive a;
        a.stub = std::string(1000, 'S');
        a.offsetsFromFileStart = fromFileStart;
        a.entries = {entry("a.txt", "hello hello hello"), entry("dir/", "", 0)};
        a.entries[1].attributes = 0x10;
        MemoryArchive m(buildZip(a));
        EXPECT_EQ(manager(m).StubSize, 1000) << fromFileStart;
        EXPECT_EQ(manager(m).CentralDir.GetItemPtr(0)->RelativeOffsetOfLocalHeader, 1000u);
        // Folders keep their stored offset.
        const auto firstItemBytes = static_cast<std::uint32_t>(30 + 5 + test::rawDeflate("hello hello hello").size());
        EXPECT_EQ(manager(m).CentralDir.GetItemPtr(1)->RelativeOffsetOfLocalHeader,
                  fromFileStart ? 1000u + firstItemBytes : firstItemBytes);
        std::string text;
        m.archiver.ExtractToString("a.txt", text);
        EXPECT_EQ(text, "hello hello hello");
    }
}

TEST(DirectoryLoading, FirstItemWithDataDescriptorLeavesStubAtZero) {
    FixtureArchive a;
    a.stub = "MZstub";
    a.entries = {entry("a.txt", "abc")};
    a.entries[0].descriptor = true;
    MemoryArchive m(buildZip(a));
    EXPECT_EQ(manager(m).StubSize, 0);
}

TEST(DirectoryLoading, NamesAreCutConvertedAndUseSlashes) {
    struct Case {
        std::string stored;
        bool oem;
        std::uint16_t flags;
        std::string loaded;
    };
    const Case cases[] = {
        {std::string(1200, 'n'), true, 0, std::string(999, 'n')},
        {std::string("abc\0def", 7), true, 0, "abc"},
        {"dir\\file.txt", true, 0, "dir/file.txt"},
        {"caf\x82.txt", true, 0, "caf\xE9.txt"},
        {"caf\x82.txt", false, 0, "caf\x82.txt"},
        // Flag bit 11 marks UTF-8; characters outside the ANSI code page become "?".
        {"caf\xC3\xA9-\xE2\x82\xAC-\xE4\xB8\xAD.txt", true, 0x0800, "caf\xE9-\x80-?.txt"},
    };
    for (const Case& c : cases) {
        FixtureArchive a;
        a.entries = {entry("x", "x")};
        a.entries[0].storedName = c.stored;
        a.entries[0].extraFlags = c.flags;
        MemoryArchive m(buildZip(a), false);
        m.archiver.Options.OEMFileNames = c.oem;
        m.archiver.OpenArchive(&m.memory, false);
        EXPECT_EQ(manager(m).CentralDir.GetItemPtr(0)->FileName, c.loaded);
    }
}

TEST(DirectoryLoading, Zip64BlockSuppliesEscapedValuesInOrder) {
    FixtureArchive a;
    a.entries = {entry("big.bin", std::string(5000, 'z'))};
    a.entries[0].zip64 = true;
    a.zip64End = true;
    MemoryArchive m(buildZip(a));
    const TDirItem& item = *manager(m).CentralDir.GetItemPtr(0);
    EXPECT_TRUE(manager(m).IsZip64);
    EXPECT_TRUE(item.HasZip64Info);
    EXPECT_EQ(item.Zip64Info.UncompressedSize, 5000);
    EXPECT_EQ(item.GetCompressedSize(), static_cast<std::int64_t>(test::rawDeflate(std::string(5000, 'z')).size()));
    EXPECT_EQ(item.Zip64Info.RelativeOffsetOfLocalHeader, 0);
    std::string text;
    m.archiver.ExtractToString("big.bin", text);
    EXPECT_EQ(text, std::string(5000, 'z'));
}

TEST(DirectoryLoading, OnlyCompressedSizeEscapedTakesTheBlocksFirstValue) {
    FixtureArchive a;
    a.entries = {entry("a", "abc", 0)};
    std::string block;
    test::put16(block, 1);
    test::put16(block, 8);
    test::put64(block, 3);
    a.entries[0].centralExtra = block;
    std::string bytes = buildZip(a);
    // Escape the central compressed size (offset 20 of the central header).
    const std::size_t central = bytes.find("PK\x01\x02");
    storeLE32(&bytes[central + 20], 0xFFFFFFFF);
    MemoryArchive m(bytes);
    EXPECT_EQ(manager(m).CentralDir.GetItemPtr(0)->GetCompressedSize(), 3);
    EXPECT_EQ(manager(m).CentralDir.GetItemPtr(0)->Zip64Info.UncompressedSize, 0);
}

TEST(DirectoryLoading, ExtraBlocksNeverReachOutsideTheirEntry) {
    struct Case {
        const char* label;
        std::string extra;
        std::size_t blocks;
        std::size_t lastSize;
    };
    std::string overlong;
    test::put16(overlong, 0x5455);
    test::put16(overlong, 40);  // says 40, has 3
    overlong += "abc";
    std::string cutHeader;
    test::put16(cutHeader, 0x7875);
    test::put16(cutHeader, 1);
    cutHeader += "x";
    cutHeader += "\x01\x02";  // two bytes: not a whole block header
    const Case cases[] = {{"data size cut to what is left", overlong, 1, 3}, {"partial header dropped", cutHeader, 1, 1}};
    for (const Case& c : cases) {
        FixtureArchive a;
        a.entries = {entry("a", "abc"), entry("b", "def")};
        a.entries[0].centralExtra = c.extra;
        a.entries[0].comment = "first";
        MemoryArchive m(buildZip(a));
        const TDirItem& first = *manager(m).CentralDir.GetItemPtr(0);
        ASSERT_EQ(first.ExtraFields.size(), c.blocks) << c.label;
        EXPECT_EQ(first.ExtraFields.back().Data.size(), c.lastSize) << c.label;
        EXPECT_EQ(first.FileComment, "first") << c.label;
        EXPECT_EQ(manager(m).CentralDir.GetItemPtr(1)->FileName, "b") << c.label;
    }
}

TEST(DirectoryLoading, MissingEndRecordRebuildsFromLocalHeaders) {
    FixtureArchive a;
    a.entries = {entry("one.txt", "first item"), entry("two/", "", 0), entry("three.txt", "third item"),
                 entry("empty.txt", "", 0)};
    a.entries[2].descriptor = true;
    std::string bytes = buildZip(a);
    bytes.resize(bytes.find("PK\x01\x02"));  // drop the directory and the end record
    MemoryArchive m(bytes);
    const TZADirArray& dir = manager(m).CentralDir;
    ASSERT_EQ(dir.GetCount(), 4);
    EXPECT_EQ(dir.GetItemPtr(0)->FileName, "one.txt");
    EXPECT_EQ(dir.GetItemPtr(0)->ExternalFileAttributes, 0x20u);
    EXPECT_EQ(dir.GetItemPtr(1)->ExternalFileAttributes, 0x10u);
    EXPECT_EQ(dir.GetItemPtr(2)->UncompressedSize, 10u) << "taken from the data descriptor";
    EXPECT_EQ(dir.GetItemPtr(3)->ExternalFileAttributes, 0x20u) << "an empty file is no folder";
    EXPECT_EQ(manager(m).CentralDirOffset, static_cast<std::int64_t>(bytes.size()));
    std::string text;
    m.archiver.ExtractToString("three.txt", text);
    EXPECT_EQ(text, "third item");
}

TEST(DirectoryLoading, FailuresCarryTheirCodes) {
    struct Case {
        const char* label;
        std::string bytes;
        int native;
    };
    FixtureArchive z;
    z.entries = {entry("a", "abc")};
    z.zip64End = true;
    std::string badLocator = buildZip(z);
    // Point the locator at bytes that are not a ZIP64 end record.
    const std::size_t locator = badLocator.find("PK\x06\x07");
    storeLE64(&badLocator[locator + 8], 0);
    const Case cases[] = {{"no local header anywhere", "just some text, no archive here", 35},
                          {"locator without ZIP64 end record", badLocator, 40}};
    for (const Case& c : cases) {
        MemoryArchive m(c.bytes, false);
        try {
            m.archiver.OpenArchive(&m.memory, false);
            ADD_FAILURE() << c.label;
        } catch (const EZAException& e) {
            EXPECT_EQ(e.NativeError, c.native) << c.label;
        }
        EXPECT_FALSE(m.archiver.GetActive());
    }
}

// A 64-bit directory size is whatever the file says; one larger than the bytes before the end
// records must be refused, not overflow into a position (found by the fuzzer).
TEST(DirectoryLoading, ForgedZip64DirectorySizeRaisesAReadError) {
    FixtureArchive z;
    z.entries = {entry("a", "abc")};
    z.zip64End = true;
    for (std::uint64_t forged : {0x8000000000000050ull, 0xFFFFFFFFFFFFFFFFull, 1000000ull}) {
        std::string bytes = buildZip(z);
        const std::size_t end64 = bytes.find("PK\x06\x06");
        storeLE64(&bytes[end64 + 40], forged); // size of the central directory
        MemoryArchive m(bytes, false);
        EXPECT_THROW(m.archiver.OpenArchive(&m.memory, false), EReadError) << forged;
        EXPECT_FALSE(m.archiver.GetActive());
    }
}

TEST(DirectoryLoading, EntriesRunningPastTheStreamRaiseAReadError) {
    FixtureArchive a;
    a.entries = {entry("a", "abc")};
    std::string bytes = buildZip(a);
    // Claim 60000 entries: the loader must fail on reading, not allocate for all of them first.
    storeLE16(&bytes[bytes.size() - 12], 60000);
    MemoryArchive m(bytes, false);
    EXPECT_THROW(m.archiver.OpenArchive(&m.memory, false), EReadError);
}

TEST(DirArray, GrowsGeometricallyAndChecksIndices) {
    TZADirArray array;
    array.SetCount(1);
    EXPECT_EQ(array.AllocatedCount(), 1000);
    array.SetCount(1001);
    EXPECT_EQ(array.AllocatedCount(), 3000);
    array.SetCount(3001);
    EXPECT_EQ(array.AllocatedCount(), 7000);
    array.SetCount(10);
    EXPECT_EQ(array.AllocatedCount(), 7000);
    array.SetCount(0);
    EXPECT_EQ(array.AllocatedCount(), 0);

    array.SetCount(2);
    TDirItem item;
    item.FileName = "Readme.TXT";
    item.ExtraFields.push_back({0x5455, 1, {7}});
    array.SetItem(1, item);
    item.ExtraFields[0].Data[0] = 9;
    EXPECT_EQ(array.GetItemPtr(1)->ExtraFields[0].Data[0], 7) << "SetItem keeps its own copy";
    int index = -1;
    EXPECT_TRUE(array.FileExists("README.txt", index));
    EXPECT_EQ(index, 1);
    struct Case {
        int native;
        std::function<void()> call;
    };
    const Case cases[] = {{1, [&] { array.SetItem(2, item); }},
                          {2, [&] { array.GetItem(-1); }},
                          {3, [&] { array.GetItemPtr(2); }},
                          {4, [&] { array.DeleteItem(5); }}};
    for (const Case& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << c.native;
        } catch (const EZAException& e) {
            EXPECT_EQ(e.NativeError, c.native);
            EXPECT_EQ(e.ErrorCode, 1);
        }
    }
    array.DeleteItem(0);
    EXPECT_EQ(array.GetCount(), 1);
    EXPECT_EQ(array.GetItemPtr(0)->FileName, "Readme.TXT");
}

// The look-up the name index replaced: the first item ZASameText calls the same.
int firstSameName(const TZADirArray& array, const std::string& name) {
    for (int i = 0; i < array.GetCount(); ++i)
        if (ZASameText(array.GetItemPtr(i)->FileName, name)) return i;
    return -1;
}

void expectIndexAgrees(const TZADirArray& array, const std::vector<std::string>& queries, const std::string& when) {
    for (const std::string& q : queries) {
        int index = -1;
        const bool found = array.FileExists(q, index);
        EXPECT_EQ(found ? index : -1, firstSameName(array, q)) << when << ": \"" << q << '"';
    }
}

// Names in the ANSI code page (1252) the locale may treat as equal in ways a byte-wise fold does
// not: case, accents, ligatures, sharp s, hyphens and apostrophes, control and soft-hyphen
// characters, separators and trailing dots.
const std::vector<std::string> kTrickyNames = {
    "README.txt", "readme.TXT", "Readme.txt", "co-op", "coop", "co'op", "\xC6on", "AEon", "aeon",
    "stra\xDF" "e", "strasse", "STRASSE", "a\xAD" "b", "ab", "a\x01" "b", "a\x7F" "b", "I", "i", "\xCD",
    "\xED", "caf\xE9", "CAF\xC9", "cafe", "\xFF", "\x9F", "\x9C" "uvre", "oeuvre", "\x8A", "\x9A",
    "\xBD", "1/2", "\xB2", "2", "a.", "a", "dir/", "dir", "DIR/", "a/b", "A/B", "a\\b", "x y", "x  y",
    "\xE5ngstr\xF6m", "\xC5NGSTR\xD6M", "angstrom", "\xD0", "\xF0", "\xDE", "\xFE", "-", "--", "'", "",
    "n\xF1", "N\xD1", "nn"};

TEST(DirArray, NameIndexFindsWhatTheLinearComparisonFinds) {
    TZADirArray array;
    // Every name twice over, in reverse the second time, so equal names at several indices are
    // reached first by their lowest.
    std::vector<std::string> names = kTrickyNames;
    names.insert(names.end(), kTrickyNames.rbegin(), kTrickyNames.rend());
    array.SetCount(static_cast<int>(names.size()));
    for (std::size_t i = 0; i < names.size(); ++i) array.GetItemPtr(static_cast<int>(i))->FileName = names[i];
    std::vector<std::string> queries = kTrickyNames;
    queries.insert(queries.end(), {"README.TXT.", "nothing", "\xC6ON", "co--op", "A\xAD" "B"});
    expectIndexAgrees(array, queries, "loaded");

    // The index follows every way the array changes between look-ups.
    struct Step {
        const char* label;
        std::function<void()> change;
    };
    TDirItem renamed;
    renamed.FileName = "ReadMe.Txt";
    TZADirArray copy;
    const Step steps[] = {
        {"renamed through a pointer", [&] { array.GetItemPtr(0)->FileName = "coop2"; }},
        {"renamed to an earlier name", [&] { array.GetItemPtr(5)->FileName = "AEON"; }},
        {"item set", [&] { array.SetItem(3, renamed); }},
        {"first items deleted", [&] { array.DeleteItem(0); array.DeleteItem(0); }},
        {"shrunk", [&] { array.SetCount(array.GetCount() - 20); }},
        {"grown with new names",
         [&] {
             const int n = array.GetCount();
             array.SetCount(n + 3);
             array.GetItemPtr(n)->FileName = "README.TXT";
             array.GetItemPtr(n + 1)->FileName = "brand new";
             array.GetItemPtr(n + 2)->FileName = "BRAND NEW";
         }},
        {"assigned from another array",
         [&] {
             copy.Assign(&array);
             copy.GetItemPtr(1)->FileName = "copy only";
             array.Assign(&copy);
         }},
        {"cleared and refilled",
         [&] {
             array.Clear();
             array.SetCount(2);
             array.GetItemPtr(0)->FileName = "";
             array.GetItemPtr(1)->FileName = "coop";
         }},
    };
    queries.insert(queries.end(), {"coop2", "ReadMe.Txt", "brand new", "copy only"});
    for (const Step& step : steps) {
        step.change();
        expectIndexAgrees(array, queries, step.label);
    }
}

TEST(VolumeNumberInfo, ComparesLastFirstThenNumbers) {
    TZAVolumeNumberInfo a, b;
    a.Init();
    b.Init();
    a.SetLastVolume(true);
    EXPECT_TRUE(a.GetLastVolume());
    EXPECT_FALSE(a.IsEqualTo(b));
    b.SetLastVolume(true);
    EXPECT_TRUE(a.IsEqualTo(b));
    a.LastVolumeNumber = 3;
    a.SetVolumeNumber(3);
    EXPECT_TRUE(a.GetLastVolume());
    a.SetVolumeNumber(1);
    b.Init();
    b.SetVolumeNumber(1);
    EXPECT_TRUE(a.IsEqualTo(b));
    b.SetFirstVolume(true);
    EXPECT_FALSE(a.IsEqualTo(b));
}

} // namespace
} // namespace tarnwick
