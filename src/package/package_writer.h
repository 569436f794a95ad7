// Writes the package layout (package_layout.h) for the packager and the tests. The header's record
// counts are taken from the package's lists, so F and R always match what follows: both the
// installation and the uninstallation read R registry records.
#pragma once

#include "package/package_layout.h"

#include <stdexcept>
#include <vector>

namespace tarnwick {

// A text that a 512-byte field cannot hold (longer than 512 bytes, or with a zero byte inside,
// which would end it early). The message names the field.
class EPackageFieldError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// The whole package as bytes. The header's signature field is ignored: the writer always writes
// packageSignature(). Throws EPackageFieldError.
std::vector<unsigned char> writePackage(const TPackage& package);

} // namespace tarnwick
