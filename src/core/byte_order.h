// Little-endian loads and stores. Every integer in the package, the container and the ZIP format
// is little-endian whatever the host; memcpy keeps these free of alignment and aliasing faults.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace tarnwick {

inline std::uint32_t loadLE32(const void* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
    return v;
}

inline void storeLE32(void* p, std::uint32_t v) {
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}

inline std::uint16_t loadLE16(const void* p) {
    const auto* b = static_cast<const unsigned char*>(p);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

inline void storeLE16(void* p, std::uint16_t v) {
    auto* b = static_cast<unsigned char*>(p);
    b[0] = static_cast<unsigned char>(v);
    b[1] = static_cast<unsigned char>(v >> 8);
}

inline std::uint64_t loadLE64(const void* p) {
    const auto* b = static_cast<const unsigned char*>(p);
    return static_cast<std::uint64_t>(loadLE32(b)) | (static_cast<std::uint64_t>(loadLE32(b + 4)) << 32);
}

inline void storeLE64(void* p, std::uint64_t v) {
    auto* b = static_cast<unsigned char*>(p);
    storeLE32(b, static_cast<std::uint32_t>(v));
    storeLE32(b + 4, static_cast<std::uint32_t>(v >> 32));
}

} // namespace tarnwick
