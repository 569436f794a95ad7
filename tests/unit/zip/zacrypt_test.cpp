#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "zip/zaconst.h"
#include "zip/zacrypt.h"

namespace tarnwick {
namespace {

TEST(Crc32, GivesTheStandardCheckValueAndMatchesTheTable) {
    EXPECT_EQ(ZACrc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(CRC32_TABLE[1], 0x77073096u);
    EXPECT_EQ(CRC32_TABLE[255], 0x2D02EF8Du);
    // The buffer routine and the byte routine agree, including across the zlib fast path.
    std::string data(100000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + (i >> 9));
    std::uint32_t byByte = 0xFFFFFFFF;
    for (unsigned char c : data) byByte = ZACrc32Byte(byByte, c);
    EXPECT_EQ(ZACrc32Update(0xFFFFFFFF, data.data(), static_cast<long long>(data.size())), byByte);
    EXPECT_EQ(ZACrc32Update(0x1234, nullptr, 10), 0x1234u);
    EXPECT_EQ(ZACrc32Update(0x1234, data.data(), 0), 0x1234u);
    EXPECT_EQ(ZACrc32Update(0x1234, data.data(), -1), 0x1234u);
}

TEST(TraditionalEncryption, EmptyPasswordKeepsInitialKeys) {
    std::int64_t keys[3];
    ZipEncryptKeyInit("", keys);
    EXPECT_EQ(keys[0], 0x12345678);
    EXPECT_EQ(keys[1], 0x23456789);
    EXPECT_EQ(keys[2], 0x34567890);
}

TEST(TraditionalEncryption, PasswordBytesAfterAZeroCount) {
    std::int64_t withTail[3], withoutTail[3];
    ZipEncryptKeyInit(std::string("ab\0cd", 5), withTail);
    ZipEncryptKeyInit("ab", withoutTail);
    EXPECT_NE(withTail[0], withoutTail[0]);
    for (std::int64_t k : withTail) EXPECT_EQ(k >> 32, 0) << "upper half of a key slot stays zero";
}

TEST(TraditionalEncryption, DecipheringRestoresWhatWasEnciphered) {
    std::string data = "The quick brown fox jumps over the lazy dog";
    const std::string original = data;
    std::int64_t keys[3];
    ZipEncryptKeyInit("secret", keys);
    ZipEncryptBuffer(static_cast<int>(data.size()), 0, data.data(), keys);
    EXPECT_NE(data, original);
    ZipEncryptKeyInit("secret", keys);
    ZipDecryptBuffer(data.data(), static_cast<int>(data.size()), keys);
    EXPECT_EQ(data, original);
}

TEST(TraditionalEncryption, EncipherBufferHonoursCountAndStart) {
    std::int64_t keys[3];
    std::string data = "0123456789";
    ZipEncryptKeyInit("pw", keys);
    ZipEncryptBuffer(0, 0, data.data(), keys);
    EXPECT_EQ(data, "0123456789");
    ZipEncryptBuffer(5, 5, data.data(), keys);
    EXPECT_EQ(data.substr(0, 5), "01234");
    EXPECT_NE(data.substr(5), "56789");
}

TEST(TraditionalEncryption, HeaderCheckUsesTimeByteWithDescriptorElseCrcByte) {
    struct Case {
        std::uint16_t flags;
        std::uint16_t time;
        std::uint32_t crc;
        unsigned char expected;
    };
    const Case cases[] = {{0x0000, 0x1234, 0xAB000000, 0xAB}, {0x0008, 0x1234, 0xAB000000, 0x12}, {0x0009, 0xFF00, 0, 0xFF}};
    for (const Case& c : cases) EXPECT_EQ(ZipCheckByte(c.flags, c.time, c.crc), c.expected);
}

TEST(TraditionalEncryption, MadeHeaderPassesOnlyWithItsPassword) {
    struct Random final : TZARandomSource {
        void Fill(unsigned char* bytes, int count) override { std::memset(bytes, 0x5A, static_cast<std::size_t>(count)); }
    } random;
    std::int64_t keys[3];
    unsigned char header[12];
    ZipMakeEncryptionHeader("right", 0xC0FFEE42, random, keys, header);
    unsigned char copy[12];
    std::memcpy(copy, header, 12);
    ZipKeyInit("right", keys, copy);
    EXPECT_EQ(copy[11], 0xC0);
    EXPECT_EQ(copy[10], 0xFF);
    EXPECT_EQ(copy[0], 0x5A);
    std::memcpy(copy, header, 12);
    ZipKeyInit("wrong", keys, copy);
    EXPECT_NE(copy[0], 0x5A);
}

} // namespace
} // namespace tarnwick
