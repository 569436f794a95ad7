// CRC-16 with the reflected polynomial 0xA001 (the "ARC" CRC): table, buffer and file.
#include "cipher/myblowfish.h"

#include "cipher/myblowfish_detail.h"

#include <cstdio>
#include <memory>

namespace tarnwick {

void TMyBlowfish::CRC16_Init() {
    // The CRC is linear, so entry i is the XOR of the entries of its set bits; v[k] is the entry
    // of 1 << k, and v[7] is the polynomial itself.
    int basis[8];
    int v = 0xC0C1;
    for (int& b : basis) {
        b = v;
        v = ((v << 1) ^ 0x4003) & 0xFFFF;
    }
    for (int i = 0; i < 256; ++i) {
        int entry = 0;
        for (int k = 0; k < 8; ++k) {
            if ((i >> k) & 1) entry ^= basis[k];
        }
        crcTable_[i] = entry;
    }
}

int TMyBlowfish::CRC16_Calc(int crc, const char* buffer, unsigned int count) const {
    const auto* p = reinterpret_cast<const unsigned char*>(buffer);
    for (unsigned int i = 0; i < count; ++i) crc = (crc >> 8) ^ crcTable_[(crc ^ p[i]) & 0xFF];
    return crc;
}

int TMyBlowfish::CRC16_File(const char* path) const {
    if (path == nullptr) return 0;
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return 0;
    // A local buffer, unlike a program-wide one, lets two checksums run at once.
    auto piece = std::make_unique_for_overwrite<char[]>(blowfish::kCrcPieceBytes);
    int crc = 0;
    std::size_t got;
    while ((got = std::fread(piece.get(), 1, blowfish::kCrcPieceBytes, f)) != 0) {
        crc = CRC16_Calc(crc, piece.get(), static_cast<unsigned int>(got));
    }
    // A checksum over part of the file would pass for the file's own; 0 is the failure value.
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    return failed ? 0 : crc;
}

} // namespace tarnwick
