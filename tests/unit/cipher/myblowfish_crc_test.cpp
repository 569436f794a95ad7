// CRC-16 (reflected polynomial 0xA001) of buffers and files.
#include "cipher/myblowfish.h"

#include "cipher/myblowfish_detail.h"
#include "cipher_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tarnwick {
namespace {

using cipher_test::Bytes;
using cipher_test::randomBytes;

// Bit by bit, independent of the table.
int bitwiseCrc(int crc, const Bytes& data) {
    for (unsigned char b : data) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

int calc(const TMyBlowfish& bf, int crc, const Bytes& data) {
    return bf.CRC16_Calc(crc, reinterpret_cast<const char*>(data.data()), static_cast<unsigned int>(data.size()));
}

TEST(CipherCrc16, CheckValueAndEmptyInput) {
    TMyBlowfish bf(nullptr);
    const std::string check = "123456789";
    EXPECT_EQ(bf.CRC16_Calc(0, check.data(), 9), 0xBB3D);
    EXPECT_EQ(bf.CRC16_Calc(0, check.data(), 0), 0);
    EXPECT_EQ(bf.CRC16_Calc(0x1234, check.data(), 0), 0x1234);
}

TEST(CipherCrc16, EveryTableEntryMatchesBitwiseCrc) {
    TMyBlowfish bf(nullptr);
    for (int b = 0; b < 256; ++b) {
        const Bytes one{static_cast<unsigned char>(b)};
        ASSERT_EQ(calc(bf, 0, one), bitwiseCrc(0, one)) << b;
        ASSERT_EQ(calc(bf, 0xFFFF, one), bitwiseCrc(0xFFFF, one)) << b;
    }
}

TEST(CipherCrc16, ContinuesFromGivenValue) {
    TMyBlowfish bf(nullptr);
    const Bytes all = randomBytes(1000, 1);
    const Bytes head(all.begin(), all.begin() + 333), tail(all.begin() + 333, all.end());
    EXPECT_EQ(calc(bf, calc(bf, 0, head), tail), calc(bf, 0, all));
}

class CipherCrc16File : public cipher_test::TempDirTest {};

// Sizes around the read piece, so a lost or repeated piece shows.
TEST_F(CipherCrc16File, EqualsChecksumOfContent) {
    TMyBlowfish bf(nullptr);
    const std::size_t piece = blowfish::kCrcPieceBytes;
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, piece, piece + 1, 3 * piece + 77}) {
        SCOPED_TRACE(size);
        const Bytes data = randomBytes(size, static_cast<std::uint32_t>(size));
        writeFile(path("data.bin"), data);
        EXPECT_EQ(bf.CRC16_File(path("data.bin").c_str()), bitwiseCrc(0, data));
    }
}

// A folder: Windows cannot open it, POSIX opens it and fails the first read; 0 either way.
TEST_F(CipherCrc16File, UnreadableFileGivesZero) {
    TMyBlowfish bf(nullptr);
    EXPECT_EQ(bf.CRC16_File(path("missing.bin").c_str()), 0);
    std::filesystem::create_directory(path("folder"));
    EXPECT_EQ(bf.CRC16_File(path("folder").c_str()), 0);
}

} // namespace
} // namespace tarnwick
