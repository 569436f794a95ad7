#include "package/package_layout.h"

namespace tarnwick {

std::string packageSignature() {
    std::string signature(kPackageSignatureWord);
    signature.resize(kPackageSignatureSize, ' ');
    return signature;
}

bool isPackageSignature(std::string_view raw) {
    static const std::string expected = packageSignature();
    if (raw.size() != expected.size()) return false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        auto a = static_cast<unsigned char>(raw[i]);
        auto b = static_cast<unsigned char>(expected[i]);
        if (a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

} // namespace tarnwick
