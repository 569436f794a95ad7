// tarnwick-bf: enciphers or deciphers one file with the fixed package key, for timing the
// container code against other tools (see cipher_vs_openssl.sh).
#include "cipher/myblowfish.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    const bool turbo = argc == 4 && std::strcmp(argv[3], "--turbo") == 0;
    if ((argc != 3 && !turbo) || (std::strcmp(argv[1], "encrypt") != 0 && std::strcmp(argv[1], "decrypt") != 0)) {
        std::fprintf(stderr, "usage: %s encrypt|decrypt PATH [--turbo]\n"
                             "  writes PATH's container (extension replaced by BLW) or plain file (DEC)\n",
                     argv[0]);
        return 2;
    }
    tarnwick::TMyBlowfish bf(nullptr);
    bf.Setpassword(tarnwick::TMyBlowfish::kDefaultPassword);
    bf.Turbo = turbo;
    const bool encrypt = argv[1][0] == 'e';
    const std::uint8_t result = encrypt ? bf.Encrypt_File(argv[2]) : bf.Decrypt_File(argv[2]);
    if (result != tarnwick::TMyBlowfish::kDone) {
        std::fprintf(stderr, "%s: %s failed with result %d\n", argv[0], argv[1], result);
        return 1;
    }
    return 0;
}
