// How a package's registry record is read: the root name at the start of its key path, the
// sub-key path behind it, the split of a value record's path into key and value name, and the
// conversions of value data. Pure text rules, shared by the installation and the uninstallation.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarnwick {

// The predefined root keys, by the handle values the platform gives them.
inline constexpr std::uint32_t kRootClassesRoot = 0x80000000u;
inline constexpr std::uint32_t kRootCurrentUser = 0x80000001u;
inline constexpr std::uint32_t kRootLocalMachine = 0x80000002u;
inline constexpr std::uint32_t kRootUsers = 0x80000003u;
inline constexpr std::uint32_t kRootCurrentConfig = 0x80000005u;

inline constexpr std::string_view kDefaultValueName = "(Default)";

struct TRegistryKeyPath {
    std::uint32_t rootHandle = 0;
    std::string subKeyPath; // below the root; no trailing backslash
};

// The root is the first root name (letter case ignored) the key path starts with; the one
// character after it is skipped unexamined, and one trailing backslash is dropped. A path that
// starts with no root name gives nothing: such a record is skipped.
std::optional<TRegistryKeyPath> parseRegistryKeyPath(std::string_view keyPath);

struct TRegistryValuePath {
    std::string keyPath;   // empty: the root key itself
    std::string valueName; // after the last backslash
};

TRegistryValuePath splitValuePath(std::string_view subKeyPath);

// "Binary digits": the sum of (character code - 48) * 2^place over the text, the last character
// weighing 1. Every character counts ('2' is 2 at its place, 'A' is 17). Computed modulo 2^32,
// which equals the plain sum whenever that fits in 32 bits and keeps the low bits of any longer
// text exact: the stored byte is the low 8 bits.
std::int32_t binaryDigitsValue(std::string_view text);

// The runtime's text-to-integer conversion failed on a text.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A decimal 32-bit integer: optional leading blanks, an optional sign, then digits only. Anything
// else, or a value out of range, throws EConvertError("'<text>' is not a valid integer value").
std::int32_t convertDecimalInteger(std::string_view text);

} // namespace tarnwick
