// Reading a directory through once without keeping it (ReadDirectory): the items handed out are
// the ones OpenArchive loads, field for field and in order; a directory OpenArchive refuses is
// refused the same way before any item is handed out; and nothing is kept or written meanwhile.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "zip/zadirmanager.h"
#include "zip/zarecords.h"
#include "zip_fixture.h"

namespace tarnwick {
namespace {

using test::buildZip;
using test::FixtureArchive;
using test::FixtureEntry;
using test::TempFolder;

// Everything loading puts into an item, as text.
std::string describe(const TDirItem& item) {
    unsigned char header[TZAZipCentralDir::kSize];
    WriteRecord(header, sizeof header, static_cast<const TZAZipCentralDir&>(item));
    std::string text(reinterpret_cast<const char*>(header), sizeof header);
    text += "|" + item.FileName + "|" + item.RawFileName + "|" + item.LoadedFileName + "|" + item.FileComment + "|";
    for (const TZAExtraFieldDataBlock& block : item.ExtraFields) {
        text += std::to_string(block.HeaderID) + ":" + std::to_string(block.DataSize) + ":" +
                std::string(block.Data.begin(), block.Data.end()) + ";";
    }
    text += item.HasZip64Info ? "|zip64 " : "|";
    for (const std::int64_t v : {item.Zip64Info.UncompressedSize, item.Zip64Info.CompressedSize,
                                 item.Zip64Info.RelativeOffsetOfLocalHeader,
                                 static_cast<std::int64_t>(item.Zip64Info.DiskNumberStart)}) {
        text += std::to_string(v) + " ";
    }
    return text;
}

std::string withDroppedEndRecord(std::string zip) {
    zip.resize(zip.rfind(std::string("PK\x05\x06", 4)));
    return zip;
}

class ReadDirectoryTest : public ::testing::Test {
protected:
    ReadDirectoryTest() { z.Name = "ZipArchiver1"; }
    std::vector<std::string> loaded(const std::string& file) {
        TZipArchiver open(nullptr);
        open.FileName = file;
        open.OpenArchive(static_cast<std::uint16_t>(0));
        std::vector<std::string> items;
        const TZADirArray& central = open.DirManager()->CentralDir;
        for (int i = 0; i < central.GetCount(); ++i) items.push_back(describe(*central.GetItemPtr(i)));
        return items;
    }
    TempFolder dir;
    TZipArchiver z{nullptr};
};

TEST_F(ReadDirectoryTest, HandsOutWhatOpenArchiveLoadsWithoutKeepingIt) {
    const auto entries = [] {
        std::vector<FixtureEntry> e;
        e.push_back({.name = "a.txt", .data = "alpha", .comment = "first"});
        e.push_back({.name = "folder/", .data = "", .attributes = 0x10});
        e.push_back({.name = "folder/b.bin", .data = std::string(3000, 'b'), .method = 0});
        e.push_back({.name = "caf\xC3\xA9.txt", .data = "utf-8 name", .extraFlags = 0x0800});
        e.push_back({.name = "secret.txt", .data = "hidden words", .password = "pw"});
        e.push_back({.name = "streamed.txt", .data = "descriptor", .descriptor = true});
        e.push_back({.name = "extra.txt", .data = "x", .centralExtra = std::string("\x55\x54\x05\x00\x03\x01\x02\x03\x04", 9)});
        return e;
    };
    struct Case {
        const char* label;
        FixtureArchive archive;
        bool kept;  // the directory was rebuilt from the local headers, so its items are kept
        const char* fileName = "case.zip";
    };
    FixtureArchive plain;
    plain.entries = entries();
    plain.comment = "archive comment";
    FixtureArchive stubFromZipData = plain;
    stubFromZipData.stub = std::string(700, 'S');
    stubFromZipData.offsetsFromFileStart = false;  // loading adds the stub's length
    FixtureArchive stubFromFileStart = plain;
    stubFromFileStart.stub = std::string(300, 'S');
    FixtureArchive zip64 = plain;
    zip64.entries[2].zip64 = true;
    zip64.entries[5].zip64 = true;
    zip64.zip64End = true;
    const Case cases[] = {
        {"plain", plain, false},
        {"stub, offsets from the ZIP data", stubFromZipData, false},
        {"stub, offsets from the file start", stubFromFileStart, false},
        {"self-extractor", stubFromZipData, false, "case.exe"},
        {"ZIP64 records and blocks", zip64, false},
        {"empty", FixtureArchive{}, false},
    };
    for (const Case& c : cases) {
        const std::string file = dir.file(c.fileName);
        dir.write(c.fileName, buildZip(c.archive));
        std::vector<std::string> handed;
        int keptDuring = -1;
        z.FileName = file;
        z.ReadDirectory(static_cast<std::uint16_t>(0), [&](const TDirItem& item) {
            handed.push_back(describe(item));
            keptDuring = std::max(keptDuring, z.DirManager()->CentralDir.GetCount());
        });
        EXPECT_EQ(handed, loaded(file)) << c.label;
        EXPECT_EQ(handed.size(), c.archive.entries.size()) << c.label;
        if (!handed.empty()) {
            EXPECT_EQ(keptDuring, 0) << c.label << ": no item is kept";
        }
        EXPECT_FALSE(z.GetActive()) << c.label;
    }

    // Without an end record the directory is rebuilt from the local headers and kept as loaded.
    dir.write("damaged.zip", withDroppedEndRecord(buildZip(plain)));
    std::vector<std::string> handed;
    z.FileName = dir.file("damaged.zip");
    z.ReadDirectory(static_cast<std::uint16_t>(0), [&](const TDirItem& item) { handed.push_back(describe(item)); });
    EXPECT_EQ(handed, loaded(dir.file("damaged.zip")));
    EXPECT_FALSE(handed.empty());

    // On an open archive: its loaded items, and the archive stays open.
    z.FileName = dir.file("case.zip");
    z.OpenArchive(static_cast<std::uint16_t>(0));
    handed.clear();
    z.ReadDirectory(static_cast<std::uint16_t>(0), [&](const TDirItem& item) { handed.push_back(describe(item)); });
    EXPECT_EQ(handed, loaded(dir.file("case.zip")));
    EXPECT_TRUE(z.GetActive());
}

TEST_F(ReadDirectoryTest, RefusesWhatOpenArchiveRefusesBeforeAnyItem) {
    FixtureArchive a;
    a.entries = {{.name = "one.txt", .data = std::string(500, '1')}, {.name = "two.txt", .data = std::string(500, '2')}};
    const std::string sound = buildZip(a);
    // The second record points at the first item's local header: their data overlap.
    std::string overlapping = sound;
    const std::size_t second = overlapping.find("PK\x01\x02", overlapping.find("PK\x01\x02") + 4);
    storeLE32(&overlapping[second + 42], 0);
    // The directory claims one entry more than it holds: the reads run out.
    std::string short_ = sound;
    const std::size_t end = short_.rfind(std::string("PK\x05\x06", 4));
    storeLE16(&short_[end + 8], 3);
    storeLE16(&short_[end + 10], 3);
    struct Case {
        const char* label;
        std::string bytes;
    };
    const Case cases[] = {
        {"not an archive", "This is plain text, not an archive."},
        {"overlapping data", overlapping},
        {"directory cut short", short_},
    };
    for (const Case& c : cases) {
        dir.write("bad.zip", c.bytes);
        std::string expected, got;
        z.FileName = dir.file("bad.zip");
        try {
            z.OpenArchive(static_cast<std::uint16_t>(0));
            ADD_FAILURE() << c.label << ": OpenArchive took it";
        } catch (const std::exception& e) {
            expected = e.what();
        }
        int handed = 0;
        try {
            z.ReadDirectory(static_cast<std::uint16_t>(0), [&](const TDirItem&) { ++handed; });
            ADD_FAILURE() << c.label << ": ReadDirectory took it";
        } catch (const std::exception& e) {
            got = e.what();
        }
        EXPECT_EQ(got, expected) << c.label;
        EXPECT_FALSE(expected.empty()) << c.label;
        EXPECT_EQ(handed, 0) << c.label;
        EXPECT_FALSE(z.GetActive()) << c.label;
        EXPECT_EQ(z.DirManager(), nullptr) << c.label;
    }
    // A missing file.
    z.FileName = dir.file("missing.zip");
    try {
        z.ReadDirectory(static_cast<std::uint16_t>(0), [](const TDirItem&) {});
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 12);
    }
}

// The directory in memory is empty while it is read through: writing it back would lose every
// item, so an update is refused even when the file was opened for writing.
TEST_F(ReadDirectoryTest, RefusesAnUpdateWhileReadingThrough) {
    FixtureArchive a;
    a.entries = {{.name = "one.txt", .data = "1"}, {.name = "two.txt", .data = "2"}};
    const std::string bytes = buildZip(a);
    dir.write("a.zip", bytes);
    z.FileName = dir.file("a.zip");
    int refused = 0;
    z.ReadDirectory(static_cast<std::uint16_t>(2), [&](const TDirItem&) {
        try {
            z.BeginUpdate();
            ADD_FAILURE() << "an update began";
            z.CancelUpdate();
        } catch (const EZAException& e) {
            EXPECT_EQ(e.NativeError, 32);
            ++refused;
        }
    });
    EXPECT_EQ(refused, 2);
    EXPECT_EQ(dir.read("a.zip"), bytes);
}

} // namespace
} // namespace tarnwick
