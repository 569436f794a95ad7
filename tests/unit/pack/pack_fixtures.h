// A product folder on disk for the packager's tests: a few files, a stand-in stub, and helpers to
// write a manifest beside them and run the packager.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace packtest {

namespace fs = std::filesystem;

inline void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The smallest file the packager takes for a Windows program of the given machine
// (0x8664 x64, 0x014C x86): "MZ", the offset of "PE\0\0" at 60, then the machine.
inline std::string fakeProgram(unsigned machine) {
    std::string bytes(128, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[60] = 64;
    bytes.replace(64, 4, std::string("PE\0\0", 4));
    bytes[68] = static_cast<char>(machine & 0xFF);
    bytes[69] = static_cast<char>(machine >> 8);
    return bytes;
}

class TProductFolder {
public:
    explicit TProductFolder(const std::string& name) {
        root_ = fs::temp_directory_path() / ("tarnwick-pack-test-" + name + "-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::remove_all(root_);
        writeFile(root_ / "app" / "readme.txt", "Read me\r\n");
        writeFile(root_ / "app" / "docs" / "guide.txt", "A guide\r\n");
        writeFile(root_ / "app" / "docs" / "api" / "index.html", "<html></html>");
        writeFile(root_ / "app" / "prog.pdb", "symbols");
        writeFile(root_ / "app" / "prog.exe", fakeProgram(0x8664) + std::string(5000, 'x'));
        writeFile(root_ / "art" / "intro.jpg", "\xFF\xD8\xFF\xE0 not really a picture");
        writeFile(root_ / "art" / "intro.png", "\x89PNG\r\n\x1A\n");
        writeFile(root_ / "LICENSE", "License text\n");
        fs::create_directories(root_ / "app" / "logs");
        writeFile(root_ / "stubs" / "x64" / "setup.exe", fakeProgram(0x8664));
        writeFile(root_ / "stubs" / "x86" / "setup.exe", fakeProgram(0x014C));
        // Fixed times, so the data archive does not depend on when the test runs. Files only:
        // Windows opens a folder for its time only with backup semantics, which the library lacks.
        for (const auto& entry : fs::recursive_directory_iterator(root_))
            if (entry.is_regular_file()) fs::last_write_time(entry.path(), fs::file_time_type::clock::from_sys(std::chrono::sys_seconds{std::chrono::sys_days{std::chrono::year{2024} / 5 / 17}}));
    }
    ~TProductFolder() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    const fs::path& root() const { return root_; }
    fs::path manifest(const std::string& text, const std::string& name = "tarnwick.toml") const {
        writeFile(root_ / name, text);
        return root_ / name;
    }

private:
    fs::path root_;
};

// A complete manifest over TProductFolder's files, using every part of the schema.
inline const char* kFullManifest = R"M([product]
name        = "Tarnwick Sample"
publisher   = "Example Software Ltd"
version     = "2.4.1"
destination = '[PROGRAMFILES]\Tarnwick Sample'
start_menu  = "Sample Tools"
picture     = "art/intro.jpg"
readme      = "app/readme.txt"
main        = '[INSTALLDIR]\prog.exe'

[uninstall]
publisher_url = "https://example.com/sample"
help_url      = "https://example.com/support"

[[files]]
source  = "app"
to      = '[INSTALLDIR]'
exclude = ["*.pdb", "docs/api/"]

[[files]]
source = "LICENSE"
to     = '[INSTALLDIR]\docs'
rename = "License.txt"

[[files]]
source = "app/readme.txt"
to     = '[INSTALLDIR]\copies'

[[folders]]
path = '[INSTALLDIR]\data\cache'

[[registry]]
key = 'HKCU\Software\Example\Sample\Recent'

[[registry]]
key  = 'HKLM\SOFTWARE\Example\Sample'
name = "(Default)"
data = '[INSTALLDIR]'

[[registry]]
key  = 'HKCU\Software\Example\Sample'
name = "Width"
kind = "number"
data = 4294967295

[[registry]]
key  = 'HKCU\Software\Example\Sample'
name = "Flags"
kind = "binary"
data = "00000101"

[[registry]]
key  = 'HKCU\Software\Example\Sample'
name = "Plugins"
kind = "multi-string"
data = '[INSTALLDIR]\plugins'

[[registry]]
key  = 'HKCU\Software\Example\Sample'
name = "DataDir"
kind = "expandable-string"
data = '%APPDATA%\Tarnwick Sample'

[[shortcuts]]
name   = "License"
target = '[INSTALLDIR]\docs\License.txt'
)M";

} // namespace packtest
