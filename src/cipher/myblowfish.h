// TMyBlowfish: the Blowfish block cipher (64-bit blocks, 16 rounds, 4-56 byte keys from a text
// password), electronic-codebook buffers, and the enciphered file container in which the package
// and data files travel. Also a CRC-16 file checksum (reflected polynomial 0xA001).
//
// Block byte order: a block B0..B7 is read as two little-endian halves, L = B0..B3 and
// R = B4..B7. Against the Blowfish publication (big-endian halves) the bytes of each half are
// reversed; key bytes are packed big-endian as the publication does. Every container already
// shipped depends on this order.
//
// Container for a plain file of L bytes: the first 8*floor(L/8) bytes enciphered block by block,
// then one final block holding the remaining r = L mod 8 bytes and 8 - r pad bytes of value 8 - r.
// No header, no length field, no checksum.
#pragma once

#include "core/component.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tarnwick {

// One half of a cipher block: a 32-bit word whose bytes can also be addressed one by one.
struct bWord {
    std::uint32_t w = 0;
};

// Total is a byte count of the blocks processed so far. It is passed by reference to a copy, so a
// handler that writes to it changes nothing.
using TProgressChangeEvent = std::function<void(TObject* Sender, std::int64_t& Total)>;

class TMyBlowfish : public TComponent {
public:
    // Result codes of the buffer and file operations.
    static constexpr std::uint8_t kDone = 1;
    static constexpr std::uint8_t kSourceNotReadable = 2;      // nothing created
    static constexpr std::uint8_t kNotMultipleOfBlock = 7;     // buffer left untouched
    static constexpr std::uint8_t kDestinationNotWritable = 8; // source closed again

    static constexpr const char* kDefaultPassword = "#KEY_HERE#";

    explicit TMyBlowfish(TComponent* owner);
    ~TMyBlowfish() override;

    // Password: 4 to 56 bytes are taken as they are; anything else is replaced by
    // kDefaultPassword without an error. Setting it restarts the key schedule from the initial
    // tables.
    std::string Getpassword() const;
    void Setpassword(const std::string& password);

    bool Turbo = false; // true: only the first and the last progress call of a file operation
    TProgressChangeEvent OnProgressChange;

    void Reset();       // initial P-array and S-boxes; the password text is kept
    void Gen_Subkeys(); // key schedule from the stored password text on the current tables

    void BF_En(bWord* left, bWord* right) const;
    void BF_De(bWord* left, bWord* right) const;

    // In place, block by block (no chaining). kNotMultipleOfBlock when count % 8 != 0.
    std::uint8_t Encrypt_Bin(void* buffer, std::size_t count) const;
    std::uint8_t Decrypt_Bin(void* buffer, std::size_t count) const;

    // Whole files, written beside the source: see containerOutputName. Results kDone,
    // kSourceNotReadable (also for a read error during the copy), kDestinationNotWritable (also
    // for a write or close error, e.g. a full disk). On any failure during the copy the partial
    // destination is removed. Streams the file without seeking, so any size works. Deciphering a
    // source shorter than one block writes an empty file.
    std::uint8_t Encrypt_File(const char* sourcePath);
    std::uint8_t Decrypt_File(const char* sourcePath);
    // The same, written to destinationPath, so a source on a read-only medium need not be copied
    // somewhere writable first.
    std::uint8_t Decrypt_File(const char* sourcePath, const char* destinationPath);

    // Raises OnProgressChange, when assigned, with a copy of total.
    virtual void ProgressChange(std::int64_t total);

    void CRC16_Init();
    int CRC16_Calc(int crc, const char* buffer, unsigned int count) const;
    int CRC16_File(const char* path) const; // 0 when the file cannot be opened

private:
    // The per-block progress calls of a file operation for `bytes` bytes of whole blocks.
    void reportBlocks(std::size_t bytes, std::int64_t& done);

    std::uint32_t P_[18];
    std::uint32_t S_[4][256];
    std::string password_;
    int crcTable_[256];
};

// The container's output name: the source path with its extension (from the last '.', provided no
// path separator or ':' follows it) replaced by suffix, or suffix appended when there is none.
// "BLW" for enciphering, "DEC" for deciphering: C:\dir\_setup -> C:\dir\_setupDEC.
std::string containerOutputName(const std::string& sourcePath, const std::string& suffix);

} // namespace tarnwick
