// A package that ends early: fields from the cut onwards read as zero, the reader says so, and
// nothing past the delivered bytes is touched.
#include "package/package_reader.h"
#include "package/package_writer.h"
#include "package_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace tarnwick {
namespace {

// Hands out at most chunk bytes per call, like a pipe, and remembers how far it was asked to go.
class ChunkedSource final : public TByteSource {
public:
    ChunkedSource(const std::vector<unsigned char>& bytes, std::size_t chunk) : bytes_(bytes), chunk_(chunk) {}
    std::size_t Read(void* destination, std::size_t count) override {
        const std::size_t n = std::min({count, chunk_, bytes_.size() - position_});
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_), n, static_cast<unsigned char*>(destination));
        position_ += n;
        return n;
    }

private:
    const std::vector<unsigned char>& bytes_;
    std::size_t chunk_;
    std::size_t position_ = 0;
};

TEST(PackageShort, ChunkedSourceReadsLikeOneBlock) {
    const std::vector<unsigned char> bytes = writePackage(testing::samplePackage());
    ChunkedSource source(bytes, 3);
    TPackageReader reader(source);
    TPackage read = readPackage(reader);
    EXPECT_FALSE(reader.IsShort());
    EXPECT_EQ(read.files, testing::samplePackage().files);
    EXPECT_EQ(reader.BytesRead(), bytes.size());
}

TEST(PackageShort, FieldsFromTheCutReadAsZero) {
    const std::vector<unsigned char> full = writePackage(testing::samplePackage());
    const std::size_t registryStart = kPackageHeaderSize + 4 * kFileRecordSize;
    const struct {
        const char* label;
        std::size_t cut;
        std::string product;   // as read
        std::string publisher; // as read
        std::int32_t mainItem;
        std::int32_t fileCount;
        std::size_t files;     // complete file records
        std::size_t registry;  // complete registry records
    } cases[] = {
        {"empty file", 0, "", "", 0, 0, 0, 0},
        {"inside the signature", 10, "", "", 0, 0, 0, 0},
        {"inside the product name", 25 + 6, "Sample", "", 0, 0, 0, 0},
        {"inside the publisher", 537 + 6, "Sample Editor", "Sample", 0, 0, 0, 0},
        {"inside the reserved integer", 2587, "Sample Editor", "Sample Works", 0, 0, 0, 0},
        {"header only", kPackageHeaderSize, "Sample Editor", "Sample Works", 2, 4, 0, 0},
        {"inside the second file record", kPackageHeaderSize + kFileRecordSize + 100, "Sample Editor",
         "Sample Works", 2, 4, 1, 0},
        {"inside the last registry record", registryStart + 2 * kRegistryRecordSize + 5, "Sample Editor",
         "Sample Works", 2, 4, 4, 2},
        {"inside the shortcut count", registryStart + 3 * kRegistryRecordSize + 2, "Sample Editor",
         "Sample Works", 2, 4, 4, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        // Exactly the cut bytes, in a block of their own so ASan catches any read beyond them.
        auto owned = std::make_unique<unsigned char[]>(c.cut + 1);
        std::copy_n(full.begin(), c.cut, owned.get());
        TMemoryByteSource source(std::span<const unsigned char>(owned.get(), c.cut));
        TPackageReader reader(source);
        const TPackage read = readPackage(reader);
        EXPECT_TRUE(reader.IsShort());
        EXPECT_EQ(reader.BytesRead(), c.cut);
        EXPECT_EQ(read.header.productName, c.product);
        EXPECT_EQ(read.header.publisherName, c.publisher);
        EXPECT_EQ(read.header.mainItemNumber, c.mainItem);
        EXPECT_EQ(read.header.fileRecordCount, c.fileCount);
        EXPECT_EQ(read.files.size(), c.files);
        EXPECT_EQ(read.registry.size(), c.registry);
        EXPECT_TRUE(read.shortcuts.empty());
    }
}

TEST(PackageShort, RecordsAfterTheEndAreZeroAndStayShort) {
    std::vector<unsigned char> header = writePackage(testing::samplePackage());
    header.resize(kPackageHeaderSize);
    TMemoryByteSource source(header);
    TPackageReader reader(source);
    reader.ReadHeader();
    EXPECT_FALSE(reader.IsShort());
    EXPECT_EQ(reader.ReadFileRecord(), (TFileRecord{0, 0, ""}));
    EXPECT_TRUE(reader.IsShort());
    EXPECT_EQ(reader.ReadRegistryRecord(), (TRegistryRecord{0, 0, "", ""}));
    EXPECT_EQ(reader.ReadShortcutCount(), 0);
    EXPECT_EQ(reader.ReadShortcutRecord(), (TShortcutRecord{"", ""}));
    EXPECT_TRUE(reader.IsShort());
}

// Counts from a damaged header must not make the reader allocate or loop beyond the data.
TEST(PackageShort, HugeCountsStopAtTheEnd) {
    std::vector<unsigned char> bytes = writePackage(TPackage{});
    for (std::size_t offset : {2597u, 2601u}) std::fill_n(bytes.begin() + offset, 4, 0x7F);
    TMemoryByteSource source(bytes);
    TPackageReader reader(source);
    const TPackage read = readPackage(reader);
    EXPECT_TRUE(reader.IsShort());
    EXPECT_TRUE(read.files.empty());
}

} // namespace
} // namespace tarnwick
