#include "example_product.h"

#include <algorithm>

namespace tarnwick::demo {

namespace fs = std::filesystem;

TExampleProduct buildExampleProduct(const fs::path& exampleDir, const fs::path& mainProgram) {
    TExampleProduct product;
    TPackage& p = product.package;
    p.header.productName = "Tarnwick Notepad";
    p.header.publisherName = "Tarnwick Samples";
    p.header.destinationTemplate = "[PROGRAMFILES]\\Tarnwick Notepad";
    p.header.pictureName = "intro.jpg";
    p.header.programFolderName = "";

    // Sorted, so the same folder always gives the same package.
    const fs::path root = exampleDir / "files";
    std::vector<fs::path> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) entries.push_back(entry.path());
    std::sort(entries.begin(), entries.end());

    auto installPath = [&](const fs::path& source) {
        std::string relative = fs::relative(source, root).generic_string();
        std::replace(relative.begin(), relative.end(), '/', '\\');
        return "[INSTALLDIR]\\" + relative;
    };
    p.files.push_back({frFolder, 0, "[INSTALLDIR]"});
    for (const fs::path& entry : entries)
        if (fs::is_directory(entry)) p.files.push_back({frFolder, 0, installPath(entry)});
    std::int32_t number = 0;
    for (const fs::path& entry : entries) {
        if (!fs::is_regular_file(entry)) continue;
        product.items.push_back({++number, entry});
        p.files.push_back({frFile, number, installPath(entry)});
    }
    product.items.push_back({++number, mainProgram});
    p.files.push_back({frFile, number, "[INSTALLDIR]\\notepad.exe"});
    p.header.mainItemNumber = number;
    p.header.itemCount = number;

    const std::string settings = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick Notepad\\";
    const std::string user = "HKEY_CURRENT_USER\\Software\\Tarnwick Notepad\\";
    p.registry = {
        {rrKey, rvNone, settings, ""},
        {rrValue, rvString, settings + "InstallPath", "[INSTALLDIR]"},
        {rrValue, rvString, settings + "(Default)", "Tarnwick Notepad settings"},
        {rrValue, rvNumber, settings + "FontSize", "12"},
        {rrValue, rvBinaryDigits, settings + "WordWrap", "1"},
        {rrValue, rvMultiString, settings + "RecentFiles", "[INSTALLDIR]\\samples\\hello.txt"},
        {rrValue, rvExpandString, settings + "DataPath", "%APPDATA%\\Tarnwick Notepad"},
        {rrKey, rvNone, user, ""},
        {rrValue, rvString, user + "Theme", "Light"},
    };
    p.shortcuts = {{"[INSTALLDIR]\\readme.txt", "Read Me"}, {"[INSTALLDIR]\\docs\\guide.txt", "User Guide"}};
    return product;
}

} // namespace tarnwick::demo
