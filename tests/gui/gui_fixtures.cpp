#include "gui_fixtures.h"

#include "cipher/myblowfish.h"
#include "package/package_writer.h"

#include <shlwapi.h>

#include <cstdio>
#include <cstring>

namespace gui {

std::string gSetupExe;

std::optional<std::string> readString(HKEY root, const std::string& key, const std::string& name) {
    char buffer[1024] = "";
    DWORD size = sizeof(buffer);
    DWORD type = 0;
    if (SHGetValueA(root, key.c_str(), name.c_str(), &type, buffer, &size) != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    return std::string(buffer);
}

void writeString(HKEY root, const std::string& key, const std::string& name, const std::string& value) {
    SHSetValueA(root, key.c_str(), name.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}


bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void removeTree(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
                removeTree(path + "\\" + name);
            else
                DeleteFileA((path + "\\" + name).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

std::vector<std::string> temporaryFolders(const std::string& base) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((base + "\\TarnwickInstaller.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.emplace_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string readFile(const std::string& path) {
    std::string bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof(buffer), f)) > 0) bytes.append(buffer, got);
        std::fclose(f);
    }
    return bytes;
}

COLORREF screenPixel(HWND window, int x, int y) {
    POINT at{x, y};
    ClientToScreen(window, &at);
    HDC dc = GetDC(nullptr);
    const COLORREF color = GetPixel(dc, at.x, at.y);
    ReleaseDC(nullptr, dc);
    return color;
}


void checkLayout(TChecks& checks, HWND form, int clientWidth, int clientHeight, std::initializer_list<TPlace> places) {
    RECT client{};
    GetClientRect(form, &client);
    checks.equal(std::to_string(client.right) + "x" + std::to_string(client.bottom),
                 std::to_string(clientWidth) + "x" + std::to_string(clientHeight), "client area");
    for (const TPlace& place : places) {
        HWND h = control(form, place.name);
        if (!checks.check(h != nullptr, std::string("control ") + place.name)) continue;
        RECT r = windowRect(h);
        MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
        const std::string got = std::to_string(r.left) + "," + std::to_string(r.top) + " " +
                                std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
        const std::string expected = std::to_string(place.left) + "," + std::to_string(place.top) + " " +
                                     std::to_string(place.width) + "x" + std::to_string(place.height);
        checks.equal(got, expected, std::string("place of ") + place.name);
    }
}

std::string commonFolder(const char* name) { return readString(HKEY_LOCAL_MACHINE, kShellFolders, name).value_or(""); }

std::string storedZip(const std::vector<std::pair<std::string, std::string>>& items);

tarnwick::TPackage samplePackage(const std::string& product, std::int32_t mainItem, const std::string& destination) {
    tarnwick::TPackage p;
    p.header.productName = product;
    p.header.publisherName = "Tarnwick Tests";
    p.header.destinationTemplate = destination;
    p.header.programFolderName = ""; // the product name stands in
    p.header.mainItemNumber = mainItem;
    p.header.itemCount = mainItem >= 1 ? 1 : 0;
    if (mainItem >= 1) p.files = {{tarnwick::frFolder, 0, "[INSTALLDIR]"}, {tarnwick::frFile, mainItem, "[INSTALLDIR]\\tool.exe"}};
    return p;
}

void TSetupFolder::Package(const tarnwick::TPackage& package, const std::string& signature) {
    std::vector<unsigned char> bytes = tarnwick::writePackage(package);
    if (!signature.empty()) std::memcpy(bytes.data(), signature.data(), tarnwick::kPackageSignatureSize);
    File("_setup", std::string(bytes.begin(), bytes.end()));
    tarnwick::TMyBlowfish cipher(nullptr);
    cipher.Setpassword(tarnwick::TMyBlowfish::kDefaultPassword);
    cipher.Encrypt_File((path_ + "\\_setup").c_str());
    MoveFileExA((path_ + "\\_setupBLW").c_str(), (path_ + "\\_setup.pkg").c_str(), MOVEFILE_REPLACE_EXISTING);
    DeleteFileA((path_ + "\\_setup").c_str());

    std::vector<std::pair<std::string, std::string>> items;
    for (std::int32_t n = 1; n <= package.header.itemCount; ++n)
        items.emplace_back(std::to_string(n) + ".twi", "item " + std::to_string(n));
    File("_setup_dat", storedZip(items));
    cipher.Encrypt_File((path_ + "\\_setup_dat").c_str());
    MoveFileExA((path_ + "\\_setup_datBLW").c_str(), (path_ + "\\_setup.dat").c_str(), MOVEFILE_REPLACE_EXISTING);
    DeleteFileA((path_ + "\\_setup_dat").c_str());
    package_ = package;
}

void TSetupFolder::removeInstallation() {
    if (!package_) return;
    const tarnwick::TPackageHeader& h = package_->header;
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + h.productName).c_str());
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\" + h.publisherName + "\\" + h.productName).c_str());
    SHDeleteEmptyKeyA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\" + h.publisherName).c_str());
    const std::string programs = commonFolder("Common Programs");
    const std::string folder = h.programFolderName.empty() ? h.productName : h.programFolderName;
    if (!programs.empty() && !folder.empty()) removeTree(programs + "\\" + folder);
    if (h.destinationTemplate.rfind("C:\\Apps\\", 0) == 0) removeTree(h.destinationTemplate);
}

// A ZIP archive of stored items, as small as the format allows; the setup program reads it as the
// data archive.
std::string storedZip(const std::vector<std::pair<std::string, std::string>>& items) {
    static const auto table = [] {
        std::vector<std::uint32_t> t(256);
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    auto crc32 = [&](const std::string& data) {
        std::uint32_t c = 0xFFFFFFFFu;
        for (unsigned char b : data) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
        return c ^ 0xFFFFFFFFu;
    };
    auto le = [](std::string& out, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    std::string out, central;
    for (const auto& [name, data] : items) {
        const std::uint32_t offset = static_cast<std::uint32_t>(out.size()), crc = crc32(data);
        const auto size = static_cast<std::uint32_t>(data.size());
        le(out, 0x04034B50, 4); le(out, 10, 2); le(out, 0, 2); le(out, 0, 2); le(out, 0, 2); le(out, 0x21, 2);
        le(out, crc, 4); le(out, size, 4); le(out, size, 4); le(out, static_cast<std::uint32_t>(name.size()), 2); le(out, 0, 2);
        out += name + data;
        le(central, 0x02014B50, 4); le(central, 20, 2); le(central, 10, 2); le(central, 0, 2); le(central, 0, 2);
        le(central, 0, 2); le(central, 0x21, 2); le(central, crc, 4); le(central, size, 4); le(central, size, 4);
        le(central, static_cast<std::uint32_t>(name.size()), 2); le(central, 0, 2); le(central, 0, 2); le(central, 0, 2);
        le(central, 0, 2); le(central, 0x20, 4); le(central, offset, 4);
        central += name;
    }
    const auto centralOffset = static_cast<std::uint32_t>(out.size());
    out += central;
    le(out, 0x06054B50, 4); le(out, 0, 2); le(out, 0, 2);
    le(out, static_cast<std::uint32_t>(items.size()), 2); le(out, static_cast<std::uint32_t>(items.size()), 2);
    le(out, static_cast<std::uint32_t>(central.size()), 4); le(out, centralOffset, 4); le(out, 0, 2);
    return out;
}

} // namespace gui
