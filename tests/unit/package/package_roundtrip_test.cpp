// The writer produces exactly the layout the reader expects, field by field.
#include "package/package_reader.h"
#include "package/package_writer.h"
#include "package_fixtures.h"

#include "core/byte_order.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tarnwick {
namespace {

TPackage readBack(const std::vector<unsigned char>& bytes, bool* isShort = nullptr) {
    TMemoryByteSource source(bytes);
    TPackageReader reader(source);
    TPackage package = readPackage(reader);
    if (isShort != nullptr) *isShort = reader.IsShort();
    return package;
}

TEST(PackageRoundTrip, EveryRecordKindComesBackUnchanged) {
    TPackage written = testing::samplePackage();
    const std::vector<unsigned char> bytes = writePackage(written);

    EXPECT_EQ(bytes.size(), kPackageHeaderSize + 4 * kFileRecordSize + 3 * kRegistryRecordSize +
                                kShortcutCountSize + 1 * kShortcutRecordSize);
    bool isShort = true;
    TPackage read = readBack(bytes, &isShort);
    EXPECT_FALSE(isShort);
    written.header.signature = packageSignature();
    written.header.fileRecordCount = 4;
    written.header.registryRecordCount = 3;
    EXPECT_EQ(read, written);
}

// Offsets that a setup program already shipped reads; a change here breaks every package out there.
TEST(PackageRoundTrip, FieldsSitAtTheirFixedOffsets) {
    const std::vector<unsigned char> bytes = writePackage(testing::samplePackage());
    auto text = [&](std::size_t offset) { return std::string(reinterpret_cast<const char*>(&bytes[offset])); };
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 25), "TarnwickInstaller        ");
    EXPECT_EQ(text(25), "Sample Editor");
    EXPECT_EQ(text(537), "Sample Works");
    EXPECT_EQ(text(1049), "[PROGRAMFILES]\\Sample Editor");
    EXPECT_EQ(text(1561), "intro.jpg");
    EXPECT_EQ(text(2073), "");
    EXPECT_EQ(loadLE32(&bytes[2585]), 7u);  // reserved
    EXPECT_EQ(loadLE32(&bytes[2589]), 2u);  // main item
    EXPECT_EQ(loadLE32(&bytes[2593]), 3u);  // item count
    EXPECT_EQ(loadLE32(&bytes[2597]), 4u);  // F
    EXPECT_EQ(loadLE32(&bytes[2601]), 3u);  // R: the number of registry records
    EXPECT_EQ(loadLE32(&bytes[2605 + 3 * 520 + 4]), 0xFFFFFFFFu); // untracked item -1
    const std::size_t registry = 2605 + 4 * 520;
    EXPECT_EQ(text(registry + 1032 + 8), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Sample Works\\Sample Editor\\Path");
    EXPECT_EQ(text(registry + 1032 + 520), "[INSTALLDIR]");
    const std::size_t shortcuts = registry + 3 * 1032;
    EXPECT_EQ(loadLE32(&bytes[shortcuts]), 1u);
    EXPECT_EQ(text(shortcuts + 4 + 512), "Manual");
}

TEST(PackageRoundTrip, EmptyPackageIsHeaderAndShortcutCount) {
    TPackage empty;
    empty.header.productName = "Nothing";
    const std::vector<unsigned char> bytes = writePackage(empty);
    ASSERT_EQ(bytes.size(), kPackageHeaderSize + kShortcutCountSize);
    EXPECT_EQ(loadLE32(&bytes[kPackageHeaderSize]), 0u);
    bool isShort = true;
    EXPECT_EQ(readBack(bytes, &isShort).header.productName, "Nothing");
    EXPECT_FALSE(isShort);
}

TEST(PackageRoundTrip, FullLengthTextHasNoZeroAndNextFieldStillAt537) {
    TPackage p;
    p.header.productName = std::string(512, 'P');
    p.header.publisherName = "Next";
    const std::vector<unsigned char> bytes = writePackage(p);
    EXPECT_EQ(std::memchr(&bytes[25], 0, 512), nullptr);
    const TPackage read = readBack(bytes);
    EXPECT_EQ(read.header.productName, std::string(512, 'P'));
    EXPECT_EQ(read.header.publisherName, "Next");
}

TEST(PackageRoundTrip, BytesAfterTheZeroOfAFieldAreIgnored) {
    std::vector<unsigned char> bytes = writePackage(testing::samplePackage());
    std::memcpy(&bytes[25 + 14], "garbage", 7); // behind "Sample Editor\0"
    EXPECT_EQ(readBack(bytes).header.productName, "Sample Editor");
}

TEST(PackageWriter, RefusesTextsAFieldCannotHold) {
    const struct {
        const char* label;
        TPackage package;
        const char* fieldNamed;
    } cases[] = {
        {"513 bytes", [] { TPackage p; p.header.productName = std::string(513, 'x'); return p; }(), "product name"},
        {"zero inside", [] { TPackage p; p.files = {{frFile, 1, std::string("a\0b", 3)}}; return p; }(),
         "file record path"},
        {"long key path",
         [] { TPackage p; p.registry = {{rrKey, rvNone, std::string(600, 'k'), ""}}; return p; }(),
         "registry key path"},
    };
    for (const auto& c : cases) {
        try {
            writePackage(c.package);
            ADD_FAILURE() << c.label << ": no error";
        } catch (const EPackageFieldError& e) {
            EXPECT_NE(std::string(e.what()).find(c.fieldNamed), std::string::npos) << c.label << ": " << e.what();
        }
    }
}

TEST(PackageSignature, LetterCaseIgnoredOtherBytesNot) {
    const struct {
        std::string raw;
        bool accepted;
    } cases[] = {
        {"TarnwickInstaller        ", true},
        {"TARNWICKINSTALLER        ", true},
        {"tarnwickinstaller        ", true},
        {"TarnwickInstaller       x", false},
        {std::string("TarnwickInstaller\0       ", 25), false},
        {"TarnwickInstallar        ", false},
        {"TarnwickInstaller       ", false}, // 24 bytes
        {std::string(25, '\0'), false},
    };
    for (const auto& c : cases) EXPECT_EQ(isPackageSignature(c.raw), c.accepted) << '"' << c.raw << '"';
}

} // namespace
} // namespace tarnwick
