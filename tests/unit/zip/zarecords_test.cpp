// Every ZIP record through its one field list: bytes laid out as the ZIP application note lays
// them out read into the right fields and write back to the same bytes, and every shorter buffer
// fails cleanly, in both directions, without touching a byte past its end.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "zip/zarecords.h"

namespace tarnwick {
namespace {

// One field as the application note gives it: its width in bytes and a value to put there.
using Layout = std::vector<std::pair<int, std::uint64_t>>;

std::vector<unsigned char> bytesOf(const Layout& layout) {
    std::vector<unsigned char> out;
    for (const auto& [width, value] : layout) {
        for (int i = 0; i < width; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
    return out;
}

struct RecordCase {
    const char* name;
    std::size_t size;
    Layout layout;  // distinct values, so a field read from the wrong place shows
    // Reads bytes into the record; on success returns its fields in the note's order.
    std::function<bool(const unsigned char*, std::size_t, std::vector<std::uint64_t>&)> read;
    // Reads the layout's bytes, then writes the record into size bytes.
    std::function<bool(const std::vector<unsigned char>&, unsigned char*, std::size_t)> rewrite;
};

template <typename Record>
RecordCase recordCase(const char* name, Layout layout, std::function<std::vector<std::uint64_t>(const Record&)> fields) {
    RecordCase c{name, Record::kSize, std::move(layout), nullptr, nullptr};
    c.read = [fields](const unsigned char* bytes, std::size_t size, std::vector<std::uint64_t>& out) {
        Record record;
        if (!ReadRecord(bytes, size, record)) return false;
        out = fields(record);
        return true;
    };
    c.rewrite = [](const std::vector<unsigned char>& bytes, unsigned char* target, std::size_t size) {
        Record record;
        if (!ReadRecord(bytes.data(), bytes.size(), record)) return false;
        return WriteRecord(target, size, record);
    };
    return c;
}

std::vector<RecordCase> recordCases() {
    return {
        recordCase<TZAZipFileHeader>(
            "LocalHeader",
            {{4, kLocalHeaderSignature}, {2, 0x0A14}, {2, 0x0808}, {2, 8}, {2, 0x6A21}, {2, 0x5A8C},
             {4, 0xCBF43926}, {4, 0x01020304}, {4, 0x05060708}, {2, 11}, {2, 24}},
            [](const TZAZipFileHeader& r) -> std::vector<std::uint64_t> {
                return {r.Signature, r.VersionNeededToExtract, r.GeneralPurposeBitFlag, r.CompressionMethod,
                        r.LastModFileTime, r.LastModFileDate, r.Crc32, r.CompressedSize, r.UncompressedSize,
                        r.FileNameLength, r.ExtraFieldLength};
            }),
        recordCase<TZAZipCentralDir>(
            "CentralHeader",
            {{4, kCentralHeaderSignature}, {2, 0x031E}, {2, 0x0014}, {2, 0x0801}, {2, 8}, {2, 0x6A21}, {2, 0x5A8C},
             {4, 0xCBF43926}, {4, 0xFFFFFFFF}, {4, 0x11121314}, {2, 9}, {2, 28}, {2, 5}, {2, 0xFFFF}, {2, 1},
             {4, 0x81A40020}, {4, 0x21222324}},
            [](const TZAZipCentralDir& r) -> std::vector<std::uint64_t> {
                return {r.Signature, r.VersionMadeBy, r.VersionNeededToExtract, r.GeneralPurposeBitFlag,
                        r.CompressionMethod, r.LastModFileTime, r.LastModFileDate, r.Crc32, r.CompressedSize,
                        r.UncompressedSize, r.FileNameLength, r.ExtraFieldLength, r.FileCommentLength,
                        r.DiskNumberStart, r.InternalFileAttributes, r.ExternalFileAttributes,
                        r.RelativeOffsetOfLocalHeader};
            }),
        recordCase<TZADataDescriptor>(
            "DataDescriptor", {{4, kDataDescriptorSignature}, {4, 0xCBF43926}, {4, 0x31323334}, {4, 0x41424344}},
            [](const TZADataDescriptor& r) -> std::vector<std::uint64_t> {
                return {r.Signature, r.Crc32, r.CompressedSize, r.UncompressedSize};
            }),
        recordCase<TZAZipCentralDirEnd>(
            "EndOfCentralDirectory",
            {{4, kEndSignature}, {2, 3}, {2, 2}, {2, 7}, {2, 19}, {4, 0x0000ABCD}, {4, 0x00123456}, {2, 12}},
            [](const TZAZipCentralDirEnd& r) -> std::vector<std::uint64_t> {
                return {r.Signature, r.NumberOfThisDisk, r.NumberOfTheDiskWithTheStartOfTheCentralDirectory,
                        r.TotalNumberOfEntriesOnThisDisk, r.TotalNumberOfEntries, r.SizeOfTheCentralDirectory,
                        r.OffsetOfStartOfCentralDirectory, r.ZipfileCommentLength};
            }),
        recordCase<TZAZip64CentralDirEnd>(
            "Zip64EndOfCentralDirectory",
            {{4, kZip64EndSignature}, {8, 44}, {2, 0x032D}, {2, 45}, {4, 4}, {4, 3}, {8, 0x100000001ULL},
             {8, 0x200000002ULL}, {8, 0x300000003ULL}, {8, 0x400000004ULL}},
            [](const TZAZip64CentralDirEnd& r) -> std::vector<std::uint64_t> {
                return {r.Signature, r.SizeOfZip64CentralDirEnd, r.VersionMadeBy, r.VersionNeededToExtract,
                        r.NumberOfThisDisk, r.NumberOfTheDiskWithTheStartOfTheCentralDirectory,
                        r.TotalNumberOfEntriesOnThisDisk, r.TotalNumberOfEntries, r.SizeOfTheCentralDirectory,
                        r.OffsetOfStartOfCentralDirectory};
            }),
        recordCase<TZAZip64CentralDirEndLocator>(
            "Zip64Locator", {{4, kZip64LocatorSignature}, {4, 6}, {8, 0x123456789AULL}, {4, 7}},
            [](const TZAZip64CentralDirEndLocator& r) -> std::vector<std::uint64_t> {
                return {r.Signature, r.NumberOfTheDiskWithTheStartOfTheZip64CentralDirEnd,
                        r.RelativeOffsetOfTheZip64CentralDirEnd, r.TotalNumberOfDisks};
            }),
        recordCase<TZAExtraFieldHeader>(
            "ExtraFieldBlockHeader", {{2, kZip64ExtraId}, {2, 28}},
            [](const TZAExtraFieldHeader& r) -> std::vector<std::uint64_t> { return {r.HeaderID, r.DataSize}; }),
    };
}

class Records : public ::testing::TestWithParam<RecordCase> {};

TEST_P(Records, ReadFromTheNotesLayoutAndWriteItBack) {
    const RecordCase& c = GetParam();
    const std::vector<unsigned char> bytes = bytesOf(c.layout);
    ASSERT_EQ(bytes.size(), c.size);
    std::vector<std::uint64_t> fields;
    ASSERT_TRUE(c.read(bytes.data(), bytes.size(), fields));
    std::vector<std::uint64_t> expected;
    for (const auto& field : c.layout) expected.push_back(field.second);
    EXPECT_EQ(fields, expected);
    std::vector<unsigned char> written(c.size);
    ASSERT_TRUE(c.rewrite(bytes, written.data(), written.size()));
    EXPECT_EQ(written, bytes);
}

TEST_P(Records, EveryTruncationFailsWithoutTouchingWhatLiesBeyond) {
    const RecordCase& c = GetParam();
    const std::vector<unsigned char> bytes = bytesOf(c.layout);
    for (std::size_t n = 0; n < c.size; ++n) {
        std::vector<std::uint64_t> fields;
        EXPECT_FALSE(c.read(bytes.data(), n, fields)) << n << " bytes";
        std::vector<unsigned char> target(c.size, 0xAA);
        EXPECT_FALSE(c.rewrite(bytes, target.data(), n)) << n << " bytes";
        for (std::size_t i = n; i < target.size(); ++i) ASSERT_EQ(target[i], 0xAA) << n << " bytes, byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(All, Records, ::testing::ValuesIn(recordCases()),
                         [](const ::testing::TestParamInfo<RecordCase>& param) { return param.param.name; });

// The ZIP64 block holds only the values whose header field is saturated, in the note's order.
struct Zip64Case {
    const char* name;
    TZAZip64Present present;
    Layout layout;
};

class Zip64Block : public ::testing::TestWithParam<Zip64Case> {};

TEST_P(Zip64Block, HoldsTheSaturatedValuesInOrderAndFailsWhenCut) {
    const Zip64Case& c = GetParam();
    const std::vector<unsigned char> bytes = bytesOf(c.layout);
    ASSERT_EQ(bytes.size(), c.present.Size());
    TZAZip64ExtendedInfo info;
    TZACursor reader = TZACursor::Reader(bytes.data(), bytes.size());
    Zip64InfoFields(info, c.present, reader);
    ASSERT_TRUE(reader.Ok());
    EXPECT_EQ(reader.Left(), 0u);
    std::vector<unsigned char> written(bytes.size());
    TZACursor writer = TZACursor::Writer(written.data(), written.size());
    Zip64InfoFields(std::as_const(info), c.present, writer);
    ASSERT_TRUE(writer.Ok());
    EXPECT_EQ(written, bytes);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        TZAZip64ExtendedInfo cut;
        TZACursor shortReader = TZACursor::Reader(bytes.data(), n);
        Zip64InfoFields(cut, c.present, shortReader);
        EXPECT_FALSE(shortReader.Ok()) << n << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(
    All, Zip64Block,
    ::testing::Values(
        Zip64Case{"Sizes", TZAZip64Present::Local(), {{8, 0x100000005ULL}, {8, 0x0FFFFFFF0ULL}}},
        Zip64Case{"OffsetOnly", {false, false, true, false}, {{8, 0x123456789ULL}}},
        Zip64Case{"Everything", {true, true, true, true},
                  {{8, 0x100000005ULL}, {8, 0x0FFFFFFF0ULL}, {8, 0x200000000ULL}, {4, 3}}},
        Zip64Case{"CompressedAndDisk", {false, true, false, true}, {{8, 0x0FFFFFFF0ULL}, {4, 70000}}},
        Zip64Case{"Nothing", {}, {}}),
    [](const ::testing::TestParamInfo<Zip64Case>& param) { return param.param.name; });

TEST(Zip64Present, FollowsTheSaturatedHeaderFields) {
    TZAZipCentralDir header;
    header.CompressedSize = 0xFFFFFFFF;
    header.DiskNumberStart = 0xFFFF;
    const TZAZip64Present present = TZAZip64Present::Of(header);
    EXPECT_FALSE(present.UncompressedSize);
    EXPECT_TRUE(present.CompressedSize);
    EXPECT_FALSE(present.RelativeOffsetOfLocalHeader);
    EXPECT_TRUE(present.DiskNumberStart);
    EXPECT_EQ(present.Size(), 12u);
}

TEST(Cursor, StaysFailedAfterAShortReadAndWritesNothingWhileReading) {
    const unsigned char bytes[6] = {1, 0, 2, 0, 3, 0};
    TZACursor cursor = TZACursor::Reader(bytes, sizeof bytes);
    std::uint32_t wide = 0;
    std::uint16_t narrow = 7;
    cursor.Field(wide);      // 1 + 2 << 16
    cursor.Field(wide);      // only 2 bytes left: fails
    cursor.Field(narrow);    // would fit, but the failure sticks
    EXPECT_FALSE(cursor.Ok());
    EXPECT_EQ(wide, 0x00020001u);
    EXPECT_EQ(narrow, 7);
    EXPECT_EQ(cursor.Left(), 0u);

    TZACursor reader = TZACursor::Reader(bytes, sizeof bytes);
    const std::uint16_t value = 9;
    reader.Field(value);  // a const field is written, which a reader refuses
    EXPECT_FALSE(reader.Ok());
}

} // namespace
} // namespace tarnwick
