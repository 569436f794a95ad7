#include "package/package_layout.h"

#include "core/ascii_text.h"

namespace tarnwick {

std::string packageSignature() {
    std::string signature(kPackageSignatureWord);
    signature.resize(kPackageSignatureSize, ' ');
    return signature;
}

bool isPackageSignature(std::string_view raw) {
    static const std::string expected = packageSignature();
    return asciiEqualIgnoringCase(raw, expected);
}

} // namespace tarnwick
