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

tarnwick::TPackage samplePackage(const std::string& product, std::int32_t mainItem, const std::string& destination) {
    tarnwick::TPackage p;
    p.header.productName = product;
    p.header.publisherName = "Tarnwick Tests";
    p.header.destinationTemplate = destination;
    p.header.programFolderName = ""; // the product name stands in
    p.header.mainItemNumber = mainItem;
    p.header.itemCount = mainItem >= 1 ? 1 : 0;
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
}

} // namespace gui
