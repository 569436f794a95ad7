// Internals of TMyBlowfish shared by its source files and its tests; not part of the interface.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick::blowfish {

// The hexadecimal fraction of pi (blowfish_tables.cpp, generated).
extern const std::uint32_t kInitialP[18];
extern const std::uint32_t kInitialS[4][256];

// Bytes a file operation reads and writes at a time. A multiple of the block size; allocated once
// per call. Large enough that the stdio calls vanish against the cipher, small enough to stay in
// the second-level cache next to the 4 KiB of S-boxes.
inline constexpr std::size_t kContainerChunkBytes = 256 * 1024;

// CRC16_File reads the file in pieces of this size.
inline constexpr std::size_t kCrcPieceBytes = 16384;

} // namespace tarnwick::blowfish
