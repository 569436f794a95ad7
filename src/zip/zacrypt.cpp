// Traditional ZIP encryption and the CRC-32 it is built on.
#include "zip/zacrypt.h"

#include <zlib.h>

#include "zip/zaconst.h"

namespace tarnwick {
namespace {

void updateKeys(std::int64_t* keys, unsigned char plain) {
    auto k0 = static_cast<std::uint32_t>(keys[0]);
    auto k1 = static_cast<std::uint32_t>(keys[1]);
    auto k2 = static_cast<std::uint32_t>(keys[2]);
    k0 = ZACrc32Byte(k0, plain);
    k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
    k2 = ZACrc32Byte(k2, static_cast<unsigned char>(k1 >> 24));
    keys[0] = k0;
    keys[1] = k1;
    keys[2] = k2;
}

unsigned char keyStreamByte(const std::int64_t* keys) {
    const std::uint32_t t = static_cast<std::uint32_t>(keys[2]) | 2u;
    return static_cast<unsigned char>((t * (t ^ 1u)) >> 8);
}

unsigned char decryptByte(unsigned char c, std::int64_t* keys) {
    const unsigned char p = c ^ keyStreamByte(keys);
    updateKeys(keys, p);
    return p;
}

} // namespace

std::uint32_t ZACrc32Byte(std::uint32_t crc, unsigned char b) { return CRC32_TABLE[(crc ^ b) & 0xFF] ^ (crc >> 8); }

std::uint32_t ZACrc32Update(std::uint32_t crc, const void* buffer, long long count) {
    if (buffer == nullptr || count <= 0) return crc;
    // zlib's routine gives the same values as the table, several bytes per step; it works on the
    // finished value, hence the inversions.
    const auto* p = static_cast<const Bytef*>(buffer);
    std::uint32_t finished = ~crc;
    while (count > 0) {
        const uInt n = count > 0x40000000 ? 0x40000000u : static_cast<uInt>(count);
        finished = static_cast<std::uint32_t>(crc32(finished, p, n));
        p += n;
        count -= n;
    }
    return ~finished;
}

std::uint32_t ZACrc32(const void* buffer, std::size_t count) {
    return ~ZACrc32Update(0xFFFFFFFFu, buffer, static_cast<long long>(count));
}

void ZipEncryptKeyInit(const std::string& password, std::int64_t* keys) {
    keys[0] = 0x12345678;
    keys[1] = 0x23456789;
    keys[2] = 0x34567890;
    for (unsigned char c : password) updateKeys(keys, c);
}

void ZipKeyInit(const std::string& password, std::int64_t* keys, unsigned char* header12) {
    ZipEncryptKeyInit(password, keys);
    for (int i = 0; i < 12; ++i) header12[i] = decryptByte(header12[i], keys);
}

unsigned char ZipEncryptByte(unsigned char plain, std::int64_t* keys) {
    const unsigned char k = keyStreamByte(keys);
    updateKeys(keys, plain);
    return plain ^ k;
}

void ZipDecryptBuffer(char* buffer, int count, std::int64_t* keys) {
    for (int i = 0; i < count; ++i) {
        buffer[i] = static_cast<char>(decryptByte(static_cast<unsigned char>(buffer[i]), keys));
    }
}

void ZipEncryptBuffer(int count, int start, char* buffer, std::int64_t* keys) {
    for (int i = start; i < start + count; ++i) {
        buffer[i] = static_cast<char>(ZipEncryptByte(static_cast<unsigned char>(buffer[i]), keys));
    }
}

unsigned char ZipCheckByte(std::uint16_t flags, std::uint16_t dosTime, std::uint32_t crc) {
    return (flags & 0x0008) != 0 ? static_cast<unsigned char>(dosTime >> 8) : static_cast<unsigned char>(crc >> 24);
}

void ZipMakeEncryptionHeader(const std::string& password, std::uint32_t crc, TZARandomSource& random,
                             std::int64_t* keys, unsigned char* header12) {
    ZipEncryptKeyInit(password, keys);
    random.Fill(header12, 10);
    header12[10] = static_cast<unsigned char>(crc >> 16);
    header12[11] = static_cast<unsigned char>(crc >> 24);
    for (int i = 0; i < 12; ++i) header12[i] = ZipEncryptByte(header12[i], keys);
}

} // namespace tarnwick
