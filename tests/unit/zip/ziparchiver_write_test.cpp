// The writing side through our own reader: compression at every level, encryption with a fixed
// random source, names, comments, ZIP64, appending in place, and rollback to the exact old bytes.
#include <gtest/gtest.h>

#include <stdexcept>

#ifndef _WIN32
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#endif

#include "zip_fixture.h"

namespace tarnwick {
namespace {

using test::buildZip;
using test::FixedRandom;
using test::FixtureArchive;
using test::TempFolder;

constexpr std::uint32_t kWhen = 0x5A216000;  // 2025-01-01 12:00:00

// Text-like data that deflates well, mixed with noise that does not.
std::string mixedData(std::size_t size, unsigned seed) {
    std::string s;
    s.reserve(size);
    std::uint32_t x = seed * 2654435761u + 1;
    while (s.size() < size) {
        x = x * 1103515245u + 12345u;
        if ((x >> 28) < 10) {
            s += "the quick brown fox " + std::to_string(x % 97) + "\n";
        } else {
            for (int i = 0; i < 16; ++i) s += static_cast<char>((x >> (i % 24)) & 0xFF);
        }
    }
    s.resize(size);
    return s;
}

// A memory stream on a disk of limited capacity: writes past it fail, as on a full disk.
class FillingStream final : public TStream {
public:
    std::size_t Read(void* b, std::size_t n) override { return inner.Read(b, n); }
    std::size_t Write(const void* b, std::size_t n) override {
        if (capacity < 0) return inner.Write(b, n);
        const std::int64_t room = std::max<std::int64_t>(capacity - inner.GetPosition(), 0);
        return inner.Write(b, std::min<std::size_t>(n, static_cast<std::size_t>(room)));
    }
    std::int64_t GetPosition() const override { return inner.GetPosition(); }
    void SetPosition(std::int64_t p) override { inner.SetPosition(p); }
    std::int64_t GetSize() override { return inner.GetSize(); }
    void SetSize(std::int64_t s) override { inner.SetSize(s); }
    std::string bytes() const { return std::string(inner.Memory(), inner.Memory() + const_cast<TMemoryStream&>(inner).GetSize()); }
    TMemoryStream inner;
    std::int64_t capacity = -1;  // -1: unlimited
};

std::string bytesOf(TMemoryStream& m) { return std::string(reinterpret_cast<const char*>(m.Memory()), static_cast<std::size_t>(m.GetSize())); }

class WriteTest : public ::testing::Test {
protected:
    WriteTest() { setUp(z); }
    void setUp(TZABaseArchiver& a) {
        a.Name = "ZipArchiver1";
        a.SetRandomSource(&random);
        a.OnProcessFileFailure = [this](TObject*, const std::string& name, TZAProcessOperation, int native, int,
                                        const std::string&, TZAAction& action) {
            failures.push_back({name, native});
            action = failureAnswer;
        };
        a.OnPassword = [](TObject*, const std::string&, std::string&, bool& skip) { skip = true; };
    }
    // Reopens the written bytes with a fresh reader and returns every item's data by name.
    std::map<std::string, std::string> readBack(TStream& stream, const std::string& password = "") {
        TZipArchiver reader(nullptr);
        reader.Password = password;
        reader.OnPassword = [](TObject*, const std::string&, std::string&, bool& skip) { skip = true; };
        reader.OpenArchive(&stream, false);
        std::map<std::string, std::string> items;
        const TZADirArray& d = reader.DirManager()->CentralDir;
        for (int i = 0; i < d.GetCount(); ++i) {
            const std::string name = d.GetItemPtr(i)->FileName;
            std::string data;
            if (!d.GetItemPtr(i)->IsFolder()) reader.ExtractToString(name, data);
            items[name] = data;
        }
        reader.CloseArchive();
        return items;
    }
    FixedRandom random;
    TMemoryStream memory;  // before the archiver, which may still write to it when it closes
    TZipArchiver z{nullptr};
    std::vector<std::pair<std::string, int>> failures;
    TZAAction failureAnswer = fxaIgnore;
    TempFolder dir;
};

TEST_F(WriteTest, EveryLevelRoundTripsEmptySmallAndMultiBlockData) {
    const std::string big = mixedData(1700000, 3);  // more than one input block at every level
    for (int level = 0; level <= 9; ++level) {
        SCOPED_TRACE("level " + std::to_string(level));
        TMemoryStream levelMemory;
        TZipArchiver w(nullptr);
        w.OpenArchive(&levelMemory, true);
        w.SetCompressionMode(static_cast<std::uint8_t>(level));
        w.AddFromString("empty.txt", "", 0x20, kWhen);
        w.AddFromString("small.txt", "hello, world", 0x20, kWhen);
        w.AddFromString("big.bin", big, 0x20, kWhen);
        const TZADirArray& d = w.DirManager()->CentralDir;
        ASSERT_EQ(d.GetCount(), 3);
        EXPECT_EQ(d.GetItemPtr(0)->CompressionMethod, 0) << "an empty source is stored";
        EXPECT_EQ(d.GetItemPtr(0)->Crc32, 0u);
        EXPECT_EQ(d.GetItemPtr(2)->CompressionMethod, level == 0 ? 0 : 8);
        EXPECT_EQ(d.GetItemPtr(2)->Crc32, ZACrc32(big.data(), big.size()));
        if (level == 0) {
            EXPECT_EQ(d.GetItemPtr(2)->GetCompressedSize(), static_cast<std::int64_t>(big.size()));
        } else {
            EXPECT_LT(d.GetItemPtr(2)->GetCompressedSize(), static_cast<std::int64_t>(big.size()));
        }
        w.CloseArchive();
        const auto items = readBack(levelMemory);
        EXPECT_EQ(items.at("empty.txt"), "");
        EXPECT_EQ(items.at("small.txt"), "hello, world");
        EXPECT_TRUE(items.at("big.bin") == big);
    }
}

TEST_F(WriteTest, OneBlockAtLevelSixIsPlainRawDeflate) {
    const std::string data = mixedData(200000, 5);
    z.OpenArchive(&memory, true);
    z.SetCompressionMode(6);
    z.AddFromString("a.bin", data, 0x20, kWhen);
    const TDirItem& item = *z.DirManager()->CentralDir.GetItemPtr(0);
    const std::string stored = bytesOf(memory).substr(30 + 5, item.CompressedSize);
    EXPECT_TRUE(stored == test::rawDeflate(data)) << "no zlib header, no Adler-32 trailer";
}

TEST_F(WriteTest, EncryptedArchivesAreByteForByteRepeatableAndOpenWithThePassword) {
    auto write = [this](TMemoryStream& target) {
        TZipArchiver w(nullptr);
        w.SetRandomSource(&random);
        w.OpenArchive(&target, true);
        w.Password = "secret";
        w.SetCompressionMode(6);
        w.AddFromString("a.txt", mixedData(5000, 1), 0x20, kWhen);
        w.AddFromString("empty.txt", "", 0x20, kWhen);
        w.CloseArchive();
    };
    TMemoryStream first, second;
    write(first);
    write(second);
    EXPECT_EQ(bytesOf(first), bytesOf(second));

    TZipArchiver reader(nullptr);
    reader.OpenArchive(&first, false);
    const TDirItem& empty = *reader.DirManager()->CentralDir.GetItemPtr(1);
    EXPECT_EQ(empty.CompressedSize, 12u) << "only the encryption header";
    EXPECT_EQ(empty.CompressionMethod, 0);
    EXPECT_TRUE(reader.IsFilePasswordValid("a.txt", "secret"));
    EXPECT_FALSE(reader.IsFilePasswordValid("a.txt", "wrong"));
    reader.CloseArchive();
    EXPECT_EQ(readBack(first, "secret").at("a.txt"), mixedData(5000, 1));
}

TEST_F(WriteTest, NamesAndCommentsRoundTrip) {
    struct Case {
        std::string name;
        bool utf8Flag;
    };
    const Case cases[] = {
        {"plain/a.txt", false},
        {"caf\xE9.txt", false},        // e-acute exists in OEM 437
        {"price \x80 list.txt", true},  // the euro sign does not: stored as UTF-8
    };
    z.OpenArchive(&memory, true);
    for (const Case& c : cases) z.AddFromString(c.name, "x", 0x20, kWhen);
    z.ChangeFilesComment("plain/a.txt", "item comment");
    z.SetFileComment("archive comment");
    z.CloseArchive();

    TZipArchiver reader(nullptr);
    reader.OpenArchive(&memory, false);
    const TZADirArray& d = reader.DirManager()->CentralDir;
    ASSERT_EQ(d.GetCount(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(d.GetItemPtr(i)->FileName, cases[i].name);
        EXPECT_EQ((d.GetItemPtr(i)->GeneralPurposeBitFlag & 0x0800) != 0, cases[i].utf8Flag);
    }
    EXPECT_EQ(d.GetItemPtr(0)->FileComment, "item comment");
    EXPECT_EQ(reader.GetFileComment(), "archive comment");
}

TEST_F(WriteTest, Zip64AlwaysOnTheBaseArchiverWritesZip64RecordsThatReadBack) {
    TZABaseArchiver base(nullptr);
    setUp(base);
    base.UseZipSignatures = true;
    base.SetZip64Mode(zmAlways);
    base.OpenArchive(&memory, true);
    base.SetCompressionMode(6);
    base.AddFromString("a.txt", "zip64 data", 0x20, kWhen);
    base.AddFromString("b.txt", "more", 0x20, kWhen);
    const TDirItem& item = *base.DirManager()->CentralDir.GetItemPtr(0);
    EXPECT_EQ(item.CompressedSize, 0xFFFFFFFFu);
    EXPECT_EQ(item.RelativeOffsetOfLocalHeader, 0xFFFFFFFFu);
    base.CloseArchive();
    TZABaseArchiver reader(nullptr);
    reader.UseZipSignatures = true;
    reader.OpenArchive(&memory, false);
    EXPECT_TRUE(reader.DirManager()->IsZip64);
    std::string text;
    reader.ExtractToString("b.txt", text);
    EXPECT_EQ(text, "more");
    reader.CloseArchive();
}

// A source that promises more than it delivers.
struct LyingSource final : TStream {
    explicit LyingSource(std::int64_t size) : size_(size) {}
    std::size_t Read(void*, std::size_t) override { return 0; }
    std::size_t Write(const void*, std::size_t) override { return 0; }
    std::int64_t GetPosition() const override { return 0; }
    void SetPosition(std::int64_t) override {}
    std::int64_t GetSize() override { return size_; }
    void SetSize(std::int64_t) override {}
    std::int64_t size_;
};

TEST_F(WriteTest, SourcesThatCannotBeWrittenAreReportedAndDropped) {
    z.OpenArchive(&memory, true);
    z.AddFromString("kept.txt", "kept", 0x20, kWhen);
    // 4 GiB needs ZIP64, which TZipArchiver leaves off: refused before any data is read. A short
    // read is error 34.
    const std::pair<std::int64_t, int> rows[] = {{0x100000000LL, 43}, {100, 34}};
    for (const auto& [size, code] : rows) {
        SCOPED_TRACE(code);
        failures.clear();
        LyingSource source(size);
        z.AddFromStream("bad.bin", &source, 0, 0, 0x20, kWhen);
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].second, code);
        EXPECT_EQ(z.DirManager()->CentralDir.GetCount(), 1) << "ignored: the item is dropped";
        EXPECT_EQ(readBack(memory).at("kept.txt"), "kept");
    }
}

// ---- In place, and the way back ------------------------------------------------------------

class InPlaceTest : public WriteTest {
protected:
    // Three items made by another writer, with a comment, in a file.
    void SetUp() override {
        FixtureArchive a;
        a.entries = {{.name = "one.txt", .data = mixedData(30000, 1)},
                     {.name = "two.txt", .data = mixedData(20000, 2), .method = 0},
                     {.name = "three.txt", .data = mixedData(10000, 3), .descriptor = true}};
        a.comment = "theirs";
        original = buildZip(a);
        dir.write("a.zip", original);
        z.FileName = dir.file("a.zip");
        z.OpenArchive();
    }
    std::string current() { return dir.read("a.zip").value_or(""); }
    std::string original;
};

TEST_F(InPlaceTest, AppendingLeavesTheOldItemsBytesAlone) {
    const std::int64_t directory = z.DirManager()->CentralDirOffset;
    z.AddFromString("four.txt", "appended", 0x20, kWhen);
    const std::string now = current();
    EXPECT_EQ(now.substr(0, static_cast<std::size_t>(directory)), original.substr(0, static_cast<std::size_t>(directory)));
    EXPECT_LT(z.LastUpdateBytesWritten(), 2000) << "only the new item and the directory";
    z.CloseArchive();
    TMemoryStream m;
    m.Write(now.data(), now.size());
    const auto items = readBack(m);
    EXPECT_EQ(items.size(), 4u);
    EXPECT_EQ(items.at("three.txt"), mixedData(10000, 3)) << "the data descriptor came along";
    EXPECT_EQ(items.at("four.txt"), "appended");
}

TEST_F(InPlaceTest, ReplacingTheFirstItemCopiesTheOthersBack) {
    z.Options.OverwriteMode = omAlways;
    z.AddFromString("one.txt", "new first", 0x20, kWhen);
    z.CloseArchive();
    TMemoryStream m;
    const std::string now = current();
    m.Write(now.data(), now.size());
    const auto items = readBack(m);
    EXPECT_EQ(items.at("one.txt"), "new first");
    EXPECT_EQ(items.at("two.txt"), mixedData(20000, 2));
    EXPECT_EQ(items.at("three.txt"), mixedData(10000, 3));
}

TEST_F(InPlaceTest, OmNeverKeepsTheArchiveUnchanged) {
    z.Options.OverwriteMode = omNever;
    z.AddFromString("two.txt", "replacement", 0x20, kWhen);
    z.DeleteFiles("nothing-matches*", 63, "");
    z.CloseArchive();
    EXPECT_EQ(current(), original);
}

TEST_F(InPlaceTest, EveryFailedUpdateLeavesTheExactOldBytes) {
    dir.write("src.txt", mixedData(3000000, 9));
    struct Case {
        const char* label;
        std::function<void()> arrange;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"cancel during the first new item",
         [&] {
             z.OnFileProgress = [](TObject*, const std::string&, double, TZAProcessOperation, TZAProgressPhase phase, bool& cancel) {
                 if (phase == ppProcess) cancel = true;
             };
         },
         [&] { z.AddFiles(dir.file("src.txt"), 63, ""); }},
        {"a vanished source answered with Abort",
         [&] { failureAnswer = fxaAbort; },
         [&] {
             z.BeginUpdate();
             z.AddFromString("one.txt", "replaced first", 0x20, kWhen);  // forces the old items through the tail
             const int i = z.AddFileInit(dir.file("src.txt"), dir.str(), true);
             z.DirManager()->CentralDir.GetItemPtr(i)->SourceFileName = dir.file("gone.txt");
             z.EndUpdate();
         }},
        {"an exception in the middle",
         [&] {
             z.OnFileProgress = [](TObject*, const std::string&, double p, TZAProcessOperation, TZAProgressPhase phase, bool&) {
                 if (phase == ppProcess && p > 0) throw std::runtime_error("handler failed");
             };
         },
         [&] {
             z.Options.OverwriteMode = omAlways;
             z.BeginUpdate();
             z.AddFromString("two.txt", "new two", 0x20, kWhen);
             z.AddFiles(dir.file("src.txt"), 63, "");
             z.EndUpdate();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        z.OnFileProgress = nullptr;
        failureAnswer = fxaIgnore;
        c.arrange();
        try {
            c.act();
        } catch (const std::exception&) {
        }
        EXPECT_EQ(current(), original);
        EXPECT_EQ(z.DirManager()->CentralDir.GetCount(), 3) << "the directory is the old one too";
        EXPECT_FALSE(z.GetInUpdate());
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
            EXPECT_NE(e.path().filename().string().rfind("FC", 0), 0u) << "a saved tail was left: " << e.path();
        }
    }
}

TEST_F(InPlaceTest, AVanishedSourceAnsweredWithIgnoreIsDropped) {
    dir.write("keep.txt", "kept");
    z.BeginUpdate();
    const int i = z.AddFileInit(dir.file("keep.txt"), dir.str(), true);
    ASSERT_GE(i, 0);
    z.DirManager()->CentralDir.GetItemPtr(i)->SourceFileName = dir.file("gone.txt");
    z.AddFromString("extra.txt", "extra", 0x20, kWhen);
    z.EndUpdate();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].second, 33);
    z.CloseArchive();
    TMemoryStream m;
    const std::string now = current();
    m.Write(now.data(), now.size());
    const auto items = readBack(m);
    EXPECT_EQ(items.size(), 4u);
    EXPECT_EQ(items.count("keep.txt"), 0u);
    EXPECT_EQ(items.at("extra.txt"), "extra");
}

TEST(WriteRollback, AFullDiskDuringTheDirectoryWriteRestoresTheBytes) {
    FixtureArchive a;
    a.entries = {{.name = "one.txt", .data = "first"}, {.name = "two.txt", .data = "second"}};
    const std::string original = buildZip(a);
    const std::string replacement = mixedData(3000, 7);
    auto update = [&](FillingStream& disk) {
        TZipArchiver z(nullptr);
        z.OnProcessFileFailure = [](TObject*, const std::string&, TZAProcessOperation, int, int, const std::string&,
                                    TZAAction& action) { action = fxaAbort; };
        z.OpenArchive(&disk, false);
        z.BeginUpdate();
        z.AddFromString("one.txt", replacement, 0x20, kWhen);
        z.EndUpdate();
        const std::int64_t directory = z.DirManager()->CentralDirOffset;
        disk.capacity = -1;
        return directory;
    };
    FillingStream roomy;
    roomy.inner.Write(original.data(), original.size());
    const std::int64_t directory = update(roomy);
    const std::int64_t full = roomy.inner.GetSize();
    // The disk fills in the new item's data (a failure answered with Abort: rolled back quietly),
    // at the start of the directory, or in the end record (rolled back, and the error raised).
    const std::pair<std::int64_t, bool> rows[] = {
        {static_cast<std::int64_t>(original.size()) + 100, false}, {directory + 5, true}, {full - 3, true}};
    for (const auto& [capacity, raises] : rows) {
        SCOPED_TRACE(capacity);
        FillingStream disk;
        disk.inner.Write(original.data(), original.size());
        disk.capacity = capacity;
        bool raised = false;
        try {
            update(disk);
        } catch (const std::exception&) {
            raised = true;
        }
        EXPECT_EQ(raised, raises);
        disk.capacity = -1;
        EXPECT_EQ(disk.bytes(), original);
    }
}

// ---- Split sets --------------------------------------------------------------------------------

TEST_F(WriteTest, SplitSetsGetTheirVolumeNamesAndReadBack) {
    const std::string big = mixedData(150000, 4);
    struct Case {
        bool advanced;
        std::vector<std::string> volumes;
    };
    // 150 kB in volumes of 64 KiB: two full volumes and the last one under the archive's name.
    const Case cases[] = {{false, {"data.Z01", "data.Z02"}}, {true, {"data_001.zip", "data_002.zip"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.advanced);
        TempFolder folder;
        TZipArchiver w(nullptr);
        w.FileName = folder.file("data.zip");
        w.SetSpanningMode(smSplitting);
        w.SpanningOptions.AdvancedNaming = c.advanced;
        w.SpanningOptions.VolumeSize = vsCustom;
        w.SpanningOptions.SetCustomVolumeSize(65536);
        w.OpenArchive();
        w.SetCompressionMode(0);
        w.BeginUpdate();
        w.AddFromString("one.bin", big, 0x20, kWhen);
        w.AddFromString("two.txt", "second", 0x20, kWhen);
        w.EndUpdate();
        std::string text;
        w.ExtractToString("two.txt", text);
        EXPECT_EQ(text, "second") << "the written set is open for reading";
        w.CloseArchive();
        for (const std::string& v : c.volumes) {
            ASSERT_TRUE(std::filesystem::exists(folder.file(v))) << v;
            EXPECT_EQ(std::filesystem::file_size(folder.file(v)), 65536u) << "full volumes";
        }
        EXPECT_FALSE(std::filesystem::exists(folder.file(c.advanced ? "data_003.zip" : "data.Z03")));
        EXPECT_LE(std::filesystem::file_size(folder.file("data.zip")), 65536u);
        TZipArchiver reader(nullptr);
        reader.FileName = folder.file("data.zip");
        reader.OpenArchive(static_cast<std::uint16_t>(0x40));
        EXPECT_EQ(reader.GetSpanningMode(), smSplitting);
        std::string data;
        reader.ExtractToString("one.bin", data);
        EXPECT_TRUE(data == big);
    }
}

TEST_F(WriteTest, ACancelledVolumeRequestIsError45AndLeavesNoVolumes) {
    TZipArchiver w(nullptr);
    w.FileName = dir.file("set.zip");
    w.SetSpanningMode(smSplitting);
    w.SpanningOptions.VolumeSize = vsCustom;
    w.SpanningOptions.SetCustomVolumeSize(65536);
    int asked = 0;
    w.OnRequestBlankVolume = [&](TObject*, int number, std::string&, bool& cancel) { cancel = ++asked == 2 && number == 2; };
    w.OpenArchive();
    w.SetCompressionMode(0);
    try {
        w.AddFromString("big.bin", mixedData(100000, 8), 0x20, kWhen);
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 45);
    }
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.file("set_001.zip")));
    EXPECT_EQ(w.DirManager()->CentralDir.GetCount(), 0);
}

// ---- Disk full ----------------------------------------------------------------------------------

// A set whose first volume fits and whose second asks for more than any disk here has free:
// every later volume runs into the disk-full question.
struct DiskFullSet {
    explicit DiskFullSet(TZASpanningMode mode) {
        w.FileName = folder.file("set.zip");
        w.SetSpanningMode(mode);
        w.SpanningOptions.AdvancedNaming = true;
        w.SpanningOptions.FirstVolumeSize = 65536;
        w.SpanningOptions.VolumeSize = vsCustom;
        w.SpanningOptions.SetCustomVolumeSize(std::int64_t{1} << 60);
        // Spanned disks are asked for; the answer is always "inserted".
        w.OnRequestBlankVolume = [](TObject*, int, std::string&, bool& cancel) { cancel = false; };
    }
    // The native code the write ended with (0: it did not fail).
    int write() {
        w.OpenArchive();
        w.SetCompressionMode(0);
        try {
            w.AddFromString("big.bin", mixedData(100000, 3), 0x20, kWhen);
        } catch (const EZAException& e) {
            return e.NativeError;
        }
        return 0;
    }
    bool leftVolumes() const {
        return std::filesystem::exists(folder.file("set_001.zip")) || std::filesystem::exists(folder.file("set_002.zip"));
    }
    TempFolder folder;
    TZipArchiver w{nullptr};
};

TEST(DiskFull, AHandlerGetsTheVolumeAndNameAndItsCancelEndsTheWrite) {
    for (const TZASpanningMode mode : {smSplitting, smSpanning}) {
        DiskFullSet set(mode);
        std::vector<std::pair<int, std::string>> asked;
        set.w.OnDiskFull = [&](TObject*, int volume, const std::string& name, bool& cancel) {
            asked.emplace_back(volume, name);
            cancel = asked.size() == 2;  // "try again" once, then give up
        };
        EXPECT_EQ(set.write(), 45);
        const std::vector<std::pair<int, std::string>> expected(2, {2, set.folder.file("set_002.zip")});
        EXPECT_EQ(asked, expected);
        EXPECT_FALSE(set.leftVolumes());
    }
}

#ifndef _WIN32
// Points standard input (and standard error) elsewhere for one scope.
class Redirected {
public:
    Redirected(int fd, int to) : fd_(fd), saved_(::dup(fd)) { ::dup2(to, fd); }
    ~Redirected() {
        ::dup2(saved_, fd_);
        ::close(saved_);
        std::cin.clear();
        clearerr(stdin);
    }
    Redirected(const Redirected&) = delete;
    Redirected& operator=(const Redirected&) = delete;

private:
    int fd_;
    int saved_;
};

TEST(DiskFull, WithoutAHandlerASplitSetStopsAndASpannedOneGetsTheSafeAnswerWithoutATerminal) {
    const int nothing = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(nothing, 0);
    {
        Redirected input(0, nothing);
        for (const TZASpanningMode mode : {smSplitting, smSpanning}) {
            DiskFullSet set(mode);
            EXPECT_EQ(set.write(), 45) << mode;
            EXPECT_FALSE(set.leftVolumes());
        }
    }
    ::close(nothing);
}

TEST(DiskFull, ASpannedSetAsksOnTheTerminalWithTheNeededAndTheFreeSpace) {
    // A pseudo-terminal on standard input answers OK to the first question and Cancel to the next.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(::write(master, "o\nc\n", 4), 4);
    TempFolder captured;
    const std::string errorFile = captured.file("stderr.txt");
    const int errors = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(errors, 0);
    int ended = 0;
    DiskFullSet set(smSpanning);
    {
        Redirected input(0, terminal);
        Redirected output(2, errors);
        ended = set.write();
        std::cerr.flush();
    }
    ::close(errors);
    ::close(terminal);
    ::close(master);
    EXPECT_EQ(ended, 45);
    EXPECT_FALSE(set.leftVolumes());
    const std::string shown = captured.read("stderr.txt").value_or("");
    const std::string question = "Disk is full. Required free space: 1152921504606846976 bytes, but available only: ";
    std::size_t count = 0;
    for (std::size_t at = shown.find(question); at != std::string::npos; at = shown.find(question, at + 1)) ++count;
    EXPECT_EQ(count, 2u) << shown;
    EXPECT_NE(shown.find(" bytes. Clean the disk or find another blank disk [o]k/[c]ancel: "), std::string::npos) << shown;
}
#endif

// ---- Self-extractors and repair -------------------------------------------------------------

TEST_F(WriteTest, MakeSFXRefusesWhatItCannotJoinAndRemovesAFailedTarget) {
    dir.write("stub.exe", std::string(3000, 'M'));
    z.FileName = dir.file("a.zip");
    z.OpenArchive();
    z.AddFromString("a.txt", "a", 0x20, kWhen);
    z.CloseArchive();
    z.SFXStub = dir.file("stub.exe");
    z.MakeSFX(dir.file("a.exe"));
    struct Case {
        const char* label;
        std::string stub, archive;
        int code;
    };
    const Case cases[] = {
        {"no stub named", "", "a.zip", 17},
        {"stub missing", dir.file("missing.exe"), "a.zip", 18},
        {"a stub already there", dir.file("stub.exe"), "a.exe", 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TZipArchiver w(nullptr);
        w.SFXStub = c.stub;
        w.FileName = dir.file(c.archive);
        try {
            w.MakeSFX(dir.file("twice.exe"));
            ADD_FAILURE();
        } catch (const EZAException& e) {
            EXPECT_EQ(e.NativeError, c.code);
        }
        EXPECT_FALSE(std::filesystem::exists(dir.file("twice.exe")));
    }
    TZipArchiver reader(nullptr);
    reader.FileName = dir.file("a.exe");
    reader.OpenArchive(static_cast<std::uint16_t>(0x40));
    std::string text;
    reader.ExtractToString("a.txt", text);
    EXPECT_EQ(text, "a");
}

TEST_F(WriteTest, RepairRebuildsACutArchiveAndRefusesAnOpenOne) {
    z.FileName = dir.file("r.zip");
    z.OpenArchive();
    z.BeginUpdate();
    z.AddFromString("docs/", "", 0x10, kWhen);
    z.AddFromString("docs/a.txt", mixedData(20000, 1), 0x21, kWhen);
    z.AddFromString("empty.txt", "", 0x20, kWhen);
    z.EndUpdate();
    try {
        z.RepairArchive("");
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 37);
    }
    const std::int64_t directory = z.DirManager()->CentralDirOffset;
    z.CloseArchive();
    std::filesystem::resize_file(dir.file("r.zip"), static_cast<std::uintmax_t>(directory));
    z.RepairArchive("");
    z.OpenArchive(static_cast<std::uint16_t>(0x40));
    const TZADirArray& d = z.DirManager()->CentralDir;
    ASSERT_EQ(d.GetCount(), 3);
    EXPECT_EQ(d.GetItemPtr(0)->FileName, "docs/");
    EXPECT_TRUE(d.GetItemPtr(0)->IsFolder());
    EXPECT_FALSE(d.GetItemPtr(2)->IsFolder()) << "an empty file stays a file";
    EXPECT_EQ(d.GetItemPtr(1)->LastModFileDate, kWhen >> 16);
    std::string text;
    z.ExtractToString("docs/a.txt", text);
    EXPECT_EQ(text, mixedData(20000, 1));
}

// ---- Changing items ----------------------------------------------------------------------------

TEST_F(InPlaceTest, DeleteRenameAttributesAndCommentsKeepTheData) {
    z.DeleteFiles("two.txt", 63, "");
    z.RenameFile("three.txt", "sub/3.txt");
    z.ChangeFilesAttr("one.txt", 0x21);
    z.ChangeFilesComment("one.txt", "first item");
    z.SetFileComment("ours");
    z.CloseArchive();
    TZipArchiver reader(nullptr);
    reader.FileName = dir.file("a.zip");
    reader.OpenArchive(static_cast<std::uint16_t>(0));
    const TZADirArray& d = reader.DirManager()->CentralDir;
    ASSERT_EQ(d.GetCount(), 2);
    EXPECT_EQ(d.GetItemPtr(0)->ExternalFileAttributes, 0x21u);
    EXPECT_EQ(d.GetItemPtr(0)->FileComment, "first item");
    EXPECT_EQ(d.GetItemPtr(1)->FileName, "sub/3.txt");
    EXPECT_EQ(reader.GetFileComment(), "ours");
    std::string text;
    reader.ExtractToString("sub/3.txt", text);
    EXPECT_EQ(text, mixedData(10000, 3));
    reader.ExtractToString("one.txt", text);
    EXPECT_EQ(text, mixedData(30000, 1));
}

TEST_F(WriteTest, RenamingAFolderMovesItsContentsAndAttributesKeepTheFolderBit) {
    z.OpenArchive(&memory, true);
    z.BeginUpdate();
    z.AddFromString("docs/", "", 0x10, kWhen);
    z.AddFromString("docs/a.txt", "a", 0x20, kWhen);
    z.AddFromString("docsother.txt", "b", 0x20, kWhen);
    z.EndUpdate();
    z.RenameFile("docs", "manual");
    z.ChangeFilesAttr("manual", 0);
    const TZADirArray& d = z.DirManager()->CentralDir;
    EXPECT_EQ(d.GetItemPtr(0)->FileName, "manual/");
    EXPECT_EQ(d.GetItemPtr(0)->ExternalFileAttributes, 0x10u);
    EXPECT_EQ(d.GetItemPtr(1)->FileName, "manual/a.txt");
    EXPECT_EQ(d.GetItemPtr(2)->FileName, "docsother.txt") << "a shared prefix is not the folder";
    z.CloseArchive();
    EXPECT_EQ(readBack(memory).at("manual/a.txt"), "a");
}

TEST_F(WriteTest, GuardsOutsideAnUpdate) {
    z.OpenArchive(&memory, true);
    z.AddFromString("a.txt", "a", 0x20, kWhen);
    const std::pair<std::function<void()>, int> rows[] = {
        {[&] { z.DeleteItem(0); }, 22},
        {[&] { z.UpdateItem(0, "x"); }, 25},
        {[&] { z.RenameFile("missing", "b"); }, 30},
        {[&] { z.ChangeFilesAttr("missing", 0); }, 31},
        {[&] { z.ChangeFilesIntAttr("missing", 0); }, 38},
    };
    for (const auto& [act, code] : rows) {
        try {
            act();
            ADD_FAILURE() << "expected " << code;
        } catch (const EZAException& e) {
            EXPECT_EQ(e.NativeError, code);
        }
    }
    z.BeginUpdate();
    try {
        z.DeleteItem(5);
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 21);
    }
    z.CancelUpdate();
}

TEST_F(WriteTest, DeclinedDeletionsLeaveEveryItem) {
    z.OpenArchive(&memory, true);
    z.AddFromString("a.txt", "a", 0x20, kWhen);
    z.AddFromString("b.txt", "b", 0x20, kWhen);
    const std::string before = bytesOf(memory);
    z.OnConfirmProcessFile = [](TObject*, const std::string&, TZAProcessOperation, bool& confirm) { confirm = false; };
    z.DeleteFiles("*", 63, "");
    EXPECT_EQ(z.DirManager()->CentralDir.GetCount(), 2);
    EXPECT_EQ(bytesOf(memory), before);
    z.OnConfirmProcessFile = nullptr;
    z.DeleteFiles("*", 63, "");
    EXPECT_EQ(z.DirManager()->CentralDir.GetCount(), 0);
}

// ---- Files from disk -------------------------------------------------------------------------

TEST_F(WriteTest, StoredNamesFollowStorePath) {
    dir.write("data/sub/a.txt", "a");
    dir.write("elsewhere/b.txt", "b");
    const std::string base = dir.file("data");
    auto full = [](std::string p) {
        p = zaos::fullPath(p);
        std::replace(p.begin(), p.end(), '\\', '/');
        const std::size_t colon = p.find(':');
        if (colon != std::string::npos) p.erase(0, colon + 1);
        return p.substr(1);
    };
    struct Case {
        TZAStorePathMode mode;
        std::string inside, outside;
    };
    const Case cases[] = {
        {spRelativePath, "sub/a.txt", full(dir.file("elsewhere/b.txt"))},
        {spNoPath, "a.txt", "b.txt"},
        {spFullPath, full(dir.file("data/sub/a.txt")), full(dir.file("elsewhere/b.txt"))},
    };
    for (const Case& c : cases) {
        z.Options.StorePath = c.mode;
        EXPECT_EQ(z.MakeStoredName(dir.file("data/sub/a.txt"), base, false), c.inside);
        EXPECT_EQ(z.MakeStoredName(dir.file("elsewhere/b.txt"), base, false), c.outside);
    }
    z.Options.StorePath = spRelativePath;
    EXPECT_EQ(z.MakeStoredName(dir.file("data/sub"), base, true), "sub/");
}

TEST_F(WriteTest, AddingATreeRecursesExcludesAndNeverAddsTheArchiveItself) {
    dir.write("tree/a.txt", "a");
    dir.write("tree/b.log", "b");
    dir.write("tree/sub/c.txt", std::string(5000, 'c'));
    dir.write("tree/skip/d.txt", "d");
    dir.write("tree/pics/e.jpg", std::string(5000, 'e'));
    z.FileName = dir.file("tree/out.zip");
    z.BaseDir = dir.file("tree");
    z.OpenArchive();
    z.SetCompressionMode(9);
    z.SetNoCompressionMasks({"*.jpg"});
    z.SetFileMasks({"*.*"});
    z.SetExclusionMasks({"*.log", "skip"});
    z.AddFiles();
    std::vector<std::string> names;
    const TZADirArray& d = z.DirManager()->CentralDir;
    for (int i = 0; i < d.GetCount(); ++i) names.push_back(d.GetItemPtr(i)->FileName);
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "pics/", "pics/e.jpg", "sub/", "sub/c.txt"}));
    int jpg = -1;
    ASSERT_TRUE(d.FileExists("pics/e.jpg", jpg));
    EXPECT_EQ(d.GetItemPtr(jpg)->CompressionMethod, 0);
    EXPECT_EQ(d.GetItemPtr(1)->ExternalFileAttributes & 0x10, 0x10u);
    z.CloseArchive();
    TZAFileStream file(dir.file("tree/out.zip"), 0);
    EXPECT_EQ(readBack(file).at("sub/c.txt"), std::string(5000, 'c'));
}

TEST_F(WriteTest, AFolderNamedOutrightIsAddedWithoutItsNamesakesFurtherDown) {
    dir.write("t/src/a.txt", "a");
    dir.write("t/lib/src/b.txt", "b");
    z.OpenArchive(&memory, true);
    z.BaseDir = dir.file("t");
    z.AddFiles("src", z.Options.SearchAttr, "");
    std::vector<std::string> names;
    const TZADirArray& d = z.DirManager()->CentralDir;
    for (int i = 0; i < d.GetCount(); ++i) names.push_back(d.GetItemPtr(i)->FileName);
    EXPECT_EQ(names, (std::vector<std::string>{"src/", "src/a.txt"}));
}

TEST_F(WriteTest, StoreFileHandlerAndOverwritePromptDecide) {
    dir.write("s/a.txt", "from disk");
    z.OpenArchive(&memory, true);
    z.BaseDir = dir.file("s");
    z.AddFromString("renamed\\a.txt", "old", 0x20, kWhen);
    z.OnStoreFile = [](TObject*, std::string& name, std::uint32_t& attributes, std::string& comment, const std::string&) {
        EXPECT_EQ(name, "a.txt");
        name = "renamed\\a.txt";  // shown and given back with backslashes
        attributes = 0x21;
        comment = "stored by handler";
    };
    z.Options.OverwriteMode = omPrompt;
    std::vector<bool> answers = {false, true};
    z.OnConfirmOverwrite = [&](TObject*, const std::string&, std::string& name, bool& confirm) {
        EXPECT_EQ(name, "renamed/a.txt");
        confirm = answers.front();
        answers.erase(answers.begin());
    };
    z.AddFiles("a.txt", 63, "");
    EXPECT_EQ(readBack(memory).at("renamed/a.txt"), "old") << "declined";
    z.AddFiles("a.txt", 63, "");
    const TDirItem& item = *z.DirManager()->CentralDir.GetItemPtr(0);
    EXPECT_EQ(item.ExternalFileAttributes, 0x21u);
    EXPECT_EQ(item.FileComment, "stored by handler");
    EXPECT_EQ(readBack(memory).at("renamed/a.txt"), "from disk");
}

TEST_F(WriteTest, MovingDeletesTheSourcesOnlyAfterTheArchiveIsWritten) {
    dir.write("m/a.txt", "a");
    dir.write("m/b.txt", "b");
    z.FileName = dir.file("m/moved.zip");
    z.BaseDir = dir.file("m");
    z.OpenArchive();
    z.MoveFiles("*.txt", 63, "");
    EXPECT_FALSE(std::filesystem::exists(dir.file("m/a.txt")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("m/b.txt")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("m/moved.zip")));
    EXPECT_EQ(z.DirManager()->CentralDir.GetCount(), 2);
}

TEST_F(WriteTest, UpdateFilesRefreshesOnlyNewerFiles) {
    dir.write("u/a.txt", "new a");
    dir.write("u/b.txt", "new b");
    z.OpenArchive(&memory, true);
    z.AddFromString("a.txt", "old a", 0x20, 0x21216000);  // 1996: older than the file
    z.AddFromString("b.txt", "old b", 0x20, 0xFF216000);  // 2107: newer than the file
    z.BaseDir = dir.file("u");
    z.Options.OverwriteMode = omIfNewer;
    z.UpdateFiles("*", 63, "");
    z.CloseArchive();
    const auto items = readBack(memory);
    EXPECT_EQ(items.at("a.txt"), "new a");
    EXPECT_EQ(items.at("b.txt"), "old b");
}

} // namespace
} // namespace tarnwick
