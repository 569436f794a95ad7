// Traditional ZIP encryption (three 32-bit keys driven by the plain bytes) and the CRC-32 it
// rests on. The key slots are 64-bit with the upper half always zero.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

class TStream;

using TZAKeys = std::int64_t[3];

std::uint32_t ZACrc32Byte(std::uint32_t crc, unsigned char b);
// Running CRC over a buffer (no pre- or post-inversion); nullptr or count <= 0 leaves it unchanged.
std::uint32_t ZACrc32Update(std::uint32_t crc, const void* buffer, long long count);
// The finished CRC-32 of a buffer.
std::uint32_t ZACrc32(const void* buffer, std::size_t count);

void ZipEncryptKeyInit(const std::string& password, std::int64_t* keys);
void ZipKeyInit(const std::string& password, std::int64_t* keys, unsigned char* header12);
unsigned char ZipEncryptByte(unsigned char plain, std::int64_t* keys);
void ZipDecryptBuffer(char* buffer, int count, std::int64_t* keys);
void ZipEncryptBuffer(int count, int start, char* buffer, std::int64_t* keys);

// The byte an encryption header must end with: the DOS time's high byte when sizes follow the
// data (flag bit 3), else the CRC-32's high byte.
unsigned char ZipCheckByte(std::uint16_t flags, std::uint16_t dosTime, std::uint32_t crc);

// Ten header bytes for the writing side; tests inject a fixed source.
class TZARandomSource {
public:
    virtual ~TZARandomSource() = default;
    virtual void Fill(unsigned char* bytes, int count) = 0;
};
// Builds and enciphers the 12-byte header of an item: random bytes, then the check bytes.
void ZipMakeEncryptionHeader(const std::string& password, std::uint32_t crc, TZARandomSource& random,
                             std::int64_t* keys, unsigned char* header12);

} // namespace tarnwick
