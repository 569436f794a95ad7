// Writes one shortcut with CreateShortcut and prints its result, for the lnkinfo check in
// shortcut_lnkinfo.sh:  shortcut_probe <link file> <target> <description>
#include "engine/shortcut.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: shortcut_probe <link file> <target> <description>\n");
        return 2;
    }
    const HRESULT result = tarnwick::CreateShortcut(argv[2], argv[1], argv[3]);
    std::printf("0x%08lX\n", static_cast<unsigned long>(result));
    return SUCCEEDED(result) ? 0 : 1;
}
