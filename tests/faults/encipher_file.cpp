// Enciphers a file into the container setup reads, as the packager does, so a test can ship any
// archive as _setup.dat.
//   encipher_file <plain file> <container>
#include <cstdio>
#include <string>

#include "cipher/myblowfish.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: encipher_file <plain file> <container>\n");
        return 1;
    }
    tarnwick::TMyBlowfish cipher(nullptr);
    cipher.Setpassword(tarnwick::TMyBlowfish::kDefaultPassword);
    if (cipher.Encrypt_File(argv[1]) != tarnwick::TMyBlowfish::kDone) {
        std::fprintf(stderr, "encipher_file: cannot encipher %s\n", argv[1]);
        return 1;
    }
    const std::string written = tarnwick::containerOutputName(argv[1], "BLW");
    std::remove(argv[2]);
    if (std::rename(written.c_str(), argv[2]) != 0) {
        std::fprintf(stderr, "encipher_file: cannot move %s to %s\n", written.c_str(), argv[2]);
        return 1;
    }
    return 0;
}
