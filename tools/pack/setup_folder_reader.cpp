#include "setup_folder_reader.h"

#include "cipher/myblowfish.h"
#include "cipher_sink.h"
#include "core/byte_source.h"
#include "package/package_reader.h"

#include <charconv>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <process.h>
#define TARNWICK_GETPID _getpid
#else
#include <unistd.h>
#define TARNWICK_GETPID getpid
#endif

namespace tarnwick::pack {

namespace fs = std::filesystem;

TLoadedPackage loadPackageFile(const fs::path& path) {
    TLoadedPackage out;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        out.problem = "cannot read " + path.string();
        return out;
    }
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const bool plain = bytes.size() >= kPackageSignatureSize &&
                       isPackageSignature(std::string_view(reinterpret_cast<const char*>(bytes.data()), kPackageSignatureSize));
    if (!plain) {
        TMyBlowfish cipher(nullptr);
        cipher.Setpassword(TMyBlowfish::kDefaultPassword);
        if (!decipherContainer(bytes, cipher)) {
            out.problem = path.string() + " is not an enciphered package: its length or its last block is not that of a container";
            return out;
        }
    }
    TMemoryByteSource source(bytes);
    TPackageReader reader(source);
    out.package = readPackage(reader);
    out.signatureOk = isPackageSignature(out.package.header.signature);
    out.isShort = reader.IsShort();
    out.trailingBytes = reader.IsShort() ? 0 : bytes.size() - source.Position();
    return out;
}

TDecipheredArchive::TDecipheredArchive(const fs::path& dataFile) {
    std::error_code ec;
    if (!fs::is_regular_file(dataFile, ec)) {
        problem_ = dataFile.string() + " does not exist";
        return;
    }
    const fs::path target = fs::temp_directory_path(ec) / ("tarnwick-pack-" + std::to_string(TARNWICK_GETPID()) + "-data.zip");
    TMyBlowfish cipher(nullptr);
    cipher.Setpassword(TMyBlowfish::kDefaultPassword);
    if (cipher.Decrypt_File(dataFile.string().c_str(), target.string().c_str()) != TMyBlowfish::kDone) {
        problem_ = "cannot decipher " + dataFile.string() + " into " + target.string();
        fs::remove(target, ec);
        return;
    }
    path_ = target;
}

TDecipheredArchive::~TDecipheredArchive() {
    std::error_code ec;
    if (!path_.empty()) fs::remove(path_, ec);
}

std::optional<std::int32_t> itemNumberOf(const std::string& name) {
    if (!name.ends_with(".twi") || name.size() == 4 || name[0] == '0') return std::nullopt;
    std::int32_t n = 0;
    const auto r = std::from_chars(name.data(), name.data() + name.size() - 4, n);
    if (r.ec != std::errc() || r.ptr != name.data() + name.size() - 4 || n < 1) return std::nullopt;
    return n;
}

} // namespace tarnwick::pack
