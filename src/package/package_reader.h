// Reads a deciphered package front to back, exactly as the setup program does: the header at
// start-up, then file records, registry records and the shortcut list on demand. It never seeks.
//
// A package that ends early is not an error here: every field from the point where the bytes run
// out reads as zero (empty texts, zero counts), and IsShort() stays true from then on, so the caller
// can tell. Nothing is ever read past what the source delivered.
#pragma once

#include "core/byte_source.h"
#include "package/package_layout.h"

#include <cstdint>

namespace tarnwick {

class TPackageReader {
public:
    explicit TPackageReader(TByteSource& source) : source_(source) {}

    // The 25 raw signature bytes; check them with isPackageSignature.
    std::string ReadSignature();
    // The header fields behind the signature, into header (its signature is left alone).
    void ReadHeaderFields(TPackageHeader& header);
    // ReadSignature and ReadHeaderFields together.
    TPackageHeader ReadHeader();

    TFileRecord ReadFileRecord();
    TRegistryRecord ReadRegistryRecord();
    std::int32_t ReadShortcutCount();
    TShortcutRecord ReadShortcutRecord();

    bool IsShort() const { return short_; }
    std::uint64_t BytesRead() const { return bytesRead_; }

private:
    // Fills exactly size bytes: what the source delivers, then zeros once it runs out.
    void readRecord(unsigned char* buffer, std::size_t size);

    TByteSource& source_;
    bool short_ = false;
    std::uint64_t bytesRead_ = 0;
};

// Reads a whole package: header, F file records, R registry records and the shortcut list. Stops
// at the first record the source could not complete (short is then true in the reader).
TPackage readPackage(TPackageReader& reader);

} // namespace tarnwick
