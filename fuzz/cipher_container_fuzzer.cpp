// Arbitrary bytes as an enciphered container: decipher it to a file, and a round trip of the
// deciphered bytes must give them back.
#include "cipher/myblowfish.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<char> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Removed at exit; a destructor (not atexit) so it runs while the path is still alive.
struct ScratchFolder {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("tarnwick-fuzz-" + std::to_string(std::random_device{}()));
    ScratchFolder() { std::filesystem::create_directories(path); }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick;
    static TMyBlowfish* cipher = [] {
        auto* c = new TMyBlowfish(nullptr);
        c->Setpassword(TMyBlowfish::kDefaultPassword);
        return c;
    }();
    static const ScratchFolder scratch;
    const std::filesystem::path& dir = scratch.path;
    const std::string container = (dir / "c").string();
    {
        std::ofstream out(container, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    if (cipher->Decrypt_File(container.c_str()) != TMyBlowfish::kDone) __builtin_trap();
    const std::string plain = containerOutputName(container, "DEC");
    const std::vector<char> deciphered = readAll(plain);
    // Whole blocks before the last are always written; the last adds at most 8 bytes.
    const std::size_t blocks = size / 8;
    const std::size_t before = blocks == 0 ? 0 : (blocks - 1) * 8;
    if (deciphered.size() < before || deciphered.size() > before + 8) __builtin_trap();

    if (cipher->Encrypt_File(plain.c_str()) != TMyBlowfish::kDone) __builtin_trap();
    const std::string again = containerOutputName(plain, "BLW");
    std::filesystem::rename(again, container);
    cipher->Decrypt_File(container.c_str());
    if (readAll(plain) != deciphered) __builtin_trap();
    return 0;
}
