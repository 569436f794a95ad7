#include "inspect_command.h"

#include "cp1252.h"
#include "data_archive.h"
#include "package_plan.h"
#include "setup_folder_reader.h"
#include "windows_names.h"
#include "zip/zadirmanager.h"
#include "zip/ziparchiver.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <ostream>
#include <set>
#include <sstream>

namespace tarnwick::pack {

namespace fs = std::filesystem;

namespace {

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string text(const std::string& ansi) { return tomlString(ansiToUtf8(ansi)); }

const char* kindWord(std::int32_t kind) {
    switch (kind) {
    case rvNumber: return "number";
    case rvBinaryDigits: return "binary";
    case rvMultiString: return "multi-string";
    case rvExpandString: return "expandable-string";
    default: return "string";
    }
}

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(0, slash);
}

// Folders the packager adds by itself: [INSTALLDIR] and every folder that holds an installed file,
// up to its placeholder's folder.
std::set<std::string> impliedFolders(const TPackage& p) {
    std::set<std::string> out = {"[INSTALLDIR]"};
    for (const TFileRecord& r : p.files) {
        if (r.type != frFile) continue;
        std::string folder = parentOf(r.path);
        while (folder.find('\\') != std::string::npos) {
            out.insert(foldAnsiCase(folder));
            folder = parentOf(folder);
        }
    }
    return out;
}

} // namespace

std::string tomlString(const std::string& s) {
    bool literalOk = s.find('\'') == std::string::npos;
    for (char c : s)
        if (static_cast<unsigned char>(c) < 32 || c == 127) literalOk = false;
    if (literalOk) return "'" + s + "'";
    std::string out = "\"";
    for (char c : s) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 32 || b == 127) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", b);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string manifestForPackage(const TPackage& p, bool hasReadme) {
    const TPackageHeader& h = p.header;
    std::ostringstream m;
    const std::string uninstallKey = upper(kUninstallKeyBase + h.productName);

    // The uninstall entry's values, which go back into [product] and [uninstall].
    std::map<std::string, std::string> extra;
    bool hasUninstallKey = false;
    for (const TRegistryRecord& r : p.registry) {
        if (upper(r.keyPath) == uninstallKey && r.type == rrKey) hasUninstallKey = true;
        if (r.type == rrValue && upper(parentOf(r.keyPath)) == uninstallKey) extra[r.keyPath.substr(r.keyPath.rfind('\\') + 1)] = r.data;
    }
    std::string mainPath;
    for (const TFileRecord& r : p.files)
        if (r.type == frFile && h.mainItemNumber >= 1 && r.itemNumber == h.mainItemNumber) mainPath = r.path;

    m << "# Printed by tarnwick-pack inspect. The items are expected under items/ beside this file\n"
      << "# (tarnwick-pack inspect --extract writes them there).\n\n[product]\n";
    m << "name        = " << text(h.productName) << '\n';
    m << "publisher   = " << text(h.publisherName) << '\n';
    if (extra.contains("DisplayVersion")) m << "version     = " << text(extra["DisplayVersion"]) << '\n';
    m << "destination = " << text(h.destinationTemplate) << '\n';
    if (!h.programFolderName.empty()) m << "start_menu  = " << text(h.programFolderName) << '\n';
    if (!h.pictureName.empty()) m << "picture     = " << text(h.pictureName) << '\n';
    if (hasReadme) m << "readme      = 'readme.txt'\n";
    if (!mainPath.empty()) m << "main        = " << text(mainPath) << '\n';

    if (hasUninstallKey) {
        m << "\n[uninstall]\n";
        if (extra.contains("URLInfoAbout")) m << "publisher_url = " << text(extra["URLInfoAbout"]) << '\n';
        if (extra.contains("HelpLink")) m << "help_url      = " << text(extra["HelpLink"]) << '\n';
        if (extra.contains("DisplayIcon") && extra["DisplayIcon"] != mainPath) m << "icon          = " << text(extra["DisplayIcon"]) << '\n';
        m << "no_modify     = " << (extra.contains("NoModify") ? "true" : "false") << '\n';
        m << "no_repair     = " << (extra.contains("NoRepair") ? "true" : "false") << '\n';
    }

    for (const TFileRecord& r : p.files) {
        if (r.type != frFile) continue;
        if (r.itemNumber < 1) {
            m << "\n# a file record without an item (" << ansiToUtf8(r.path) << ") has no manifest form\n";
            continue;
        }
        const std::size_t slash = r.path.rfind('\\');
        m << "\n[[files]]\nsource = 'items/" << r.itemNumber << ".twi'\nto     = " << text(r.path.substr(0, slash)) << '\n'
          << "rename = " << text(r.path.substr(slash + 1)) << '\n';
    }
    const std::set<std::string> implied = impliedFolders(p);
    for (const TFileRecord& r : p.files)
        if (r.type == frFolder && !implied.contains(foldAnsiCase(r.path))) m << "\n[[folders]]\npath = " << text(r.path) << '\n';

    // A key record that the packager would write by itself before the value that follows it is left out.
    std::set<std::string> keysWritten;
    for (std::size_t i = 0; i < p.registry.size(); ++i) {
        const TRegistryRecord& r = p.registry[i];
        const std::string key = upper(r.type == rrKey ? r.keyPath : parentOf(r.keyPath));
        if (key == uninstallKey) continue;
        if (r.type == rrKey) {
            const bool impliedByNext = i + 1 < p.registry.size() && p.registry[i + 1].type == rrValue &&
                                       upper(parentOf(p.registry[i + 1].keyPath)) == key && !keysWritten.contains(key);
            keysWritten.insert(key);
            if (impliedByNext) continue;
            m << "\n[[registry]]\nkey  = " << text(r.keyPath) << '\n';
        } else if (r.type == rrValue) {
            keysWritten.insert(key);
            m << "\n[[registry]]\nkey  = " << text(parentOf(r.keyPath)) << "\nname = "
              << text(r.keyPath.substr(r.keyPath.rfind('\\') + 1)) << '\n';
            if (r.valueKind != rvString) m << "kind = '" << kindWord(r.valueKind) << "'\n";
            if (r.valueKind == rvNumber)
                m << "data = " << r.data << '\n';
            else
                m << "data = " << text(r.data) << '\n';
        }
    }
    for (const TShortcutRecord& s : p.shortcuts)
        m << "\n[[shortcuts]]\nname   = " << text(s.shortcutName) << "\ntarget = " << text(s.targetPath) << '\n';
    return m.str();
}

namespace {

bool setFileTime(const fs::path& path, std::int64_t unixSeconds) {
    std::error_code ec;
    const auto sys = std::chrono::system_clock::time_point(std::chrono::seconds(unixSeconds));
    fs::last_write_time(path, std::chrono::file_clock::from_sys(sys), ec);
    return !ec;
}

} // namespace

int inspectSetup(const std::string& target, const fs::path& extractTo, std::ostream& out, std::ostream& err) {
    const fs::path t = target;
    const bool isFolder = fs::is_directory(t);
    const fs::path dir = isFolder ? t : t.parent_path();
    const fs::path pkgPath = isFolder ? t / "_setup.pkg" : t;
    const TLoadedPackage loaded = loadPackageFile(pkgPath);
    if (!loaded.problem.empty() || !loaded.signatureOk) {
        err << "tarnwick-pack: " << (loaded.problem.empty() ? pkgPath.string() + ": wrong package signature" : loaded.problem) << '\n';
        return 1;
    }
    const bool hasReadme = fs::is_regular_file(dir / "readme.txt");
    const std::string manifest = manifestForPackage(loaded.package, hasReadme);
    out << manifest;
    if (loaded.isShort) err << "tarnwick-pack: warning: the package ends before the records its header counts\n";

    // Which records use each item.
    std::map<std::int32_t, std::vector<std::string>> users;
    for (const TFileRecord& r : loaded.package.files)
        if (r.type == frFile) users[r.itemNumber].push_back(ansiToUtf8(r.path));

    int status = 0;
    TDecipheredArchive data(dir / "_setup.dat");
    if (!data.problem().empty()) {
        out << "\n# no data archive: " << data.problem() << '\n';
        return extractTo.empty() ? 0 : 1;
    }
    std::error_code ec;
    if (!extractTo.empty()) {
        fs::create_directories(extractTo / "items", ec);
        if (ec) {
            err << "tarnwick-pack: cannot create " << (extractTo / "items").string() << ": " << ec.message() << '\n';
            return 1;
        }
    }
    TZipArchiver archiver(nullptr);
    archiver.FileName = data.path().string();
    try {
        archiver.OpenArchive(static_cast<std::uint16_t>(0));
        const TZADirArray& entries = archiver.DirManager()->CentralDir;
        out << "\n# Items of the data archive: number, size, compressed size, CRC-32, installed as\n";
        for (int i = 0; i < entries.GetCount(); ++i) {
            const TDirItem& item = *entries.GetItemPtr(i);
            char line[160];
            std::snprintf(line, sizeof line, "# %6s %12lld %12lld  %08X", item.FileName.c_str(),
                          static_cast<long long>(item.GetUncompressedSize()), static_cast<long long>(item.GetCompressedSize()),
                          item.Crc32);
            out << line;
            const std::optional<std::int32_t> n = itemNumberOf(item.FileName);
            static const std::vector<std::string> none;
            const std::vector<std::string>& paths = n && users.contains(*n) ? users.at(*n) : none;
            for (std::size_t k = 0; k < paths.size(); ++k) out << (k == 0 ? "  " : ", ") << paths[k];
            if (paths.empty()) out << "  (not installed)";
            out << '\n';
            if (!extractTo.empty() && n) {
                const fs::path file = extractTo / "items" / item.FileName;
                {
                    TZAFileStream stream(file.string(), 0xFFFF); // created (fmCreate)
                    archiver.ExtractToStream(item.FileName, &stream);
                }
                // The item's time goes back on the file, so building again gives the same archive.
                if (!setFileTime(file, unixTimeOfDos(item.LastModFileDate, item.LastModFileTime)))
                    err << "tarnwick-pack: cannot set the time of " << file.string() << '\n';
            }
        }
        archiver.CloseArchive();
    } catch (const std::exception& e) {
        err << "tarnwick-pack: " << (dir / "_setup.dat").string() << ": " << e.what() << '\n';
        status = 1;
    }
    if (!extractTo.empty()) {
        const std::string& picture = loaded.package.header.pictureName;
        if (!picture.empty() && fs::is_regular_file(dir / picture))
            fs::copy_file(dir / picture, extractTo / picture, fs::copy_options::overwrite_existing, ec);
        if (hasReadme) fs::copy_file(dir / "readme.txt", extractTo / "readme.txt", fs::copy_options::overwrite_existing, ec);
        std::ofstream file(extractTo / "tarnwick.toml", std::ios::binary);
        file << manifest;
        if (!file) {
            err << "tarnwick-pack: cannot write " << (extractTo / "tarnwick.toml").string() << '\n';
            status = 1;
        }
    }
    return status;
}

} // namespace tarnwick::pack
