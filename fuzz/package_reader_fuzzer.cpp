// Arbitrary bytes as a deciphered package: read it whole, then expand every path in it.
#include "package/package_reader.h"
#include "package/placeholders.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick;
    TMemoryByteSource source(std::span<const unsigned char>(data, size));
    TPackageReader reader(source);
    const TPackage package = readPackage(reader);
    const TPlaceholderFolders folders{"C:\\Dest", "C:\\Program Files", "C:\\Windows\\system32", "C:\\Windows"};
    isPackageSignature(package.header.signature);
    ExpandPlaceholders(package.header.destinationTemplate, folders);
    for (const TFileRecord& r : package.files) ExpandPlaceholders(r.path, folders);
    for (const TRegistryRecord& r : package.registry) ExpandPlaceholders(r.data, folders);
    for (const TShortcutRecord& r : package.shortcuts) ExpandPlaceholders(r.targetPath, folders);
    if (reader.BytesRead() > size) __builtin_trap();
    return 0;
}
