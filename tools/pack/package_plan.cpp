// The manifest's meaning: sources on disk, destinations under placeholders, registry syntax and
// value kinds, shortcut and product names, texts in Windows-1252 within their 511 bytes. Each
// check reports and goes on, so one run shows every independent fault; a check whose input
// already failed (a missing source, an unreadable destination) is skipped instead of repeated.
#include "package_plan.h"

#include "cp1252.h"
#include "exclude_masks.h"
#include "windows_names.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstring>
#include <map>
#include <set>

namespace tarnwick::pack {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxText = kPackageTextSize - 1; // the field's last byte is its terminating zero
// "C:\ProgramData\Microsoft\Windows\Start Menu\Programs": the usual Programs menu folder.
constexpr std::size_t kProgramsFolderLength = 52;
constexpr std::size_t kMaxPath = 259;
constexpr std::size_t kLongDestination = 200;

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string inQuotes(const std::string& s) { return "'" + s + "'"; }

// What an unknown placeholder most likely meant: other installers' names for the same folders
// first (Inno's {app}, NSIS's $INSTDIR, ...), then the nearest spelling. There are only four, so
// one is always worth suggesting.
// written: "[" + name + "]".
std::string nearestPlaceholder(const std::string& written) {
    const std::string word = upper(written.size() >= 2 ? written.substr(1, written.size() - 2) : std::string());
    static const std::pair<const char*, const char*> aliases[] = {
        {"APP", "[INSTALLDIR]"},          {"APPDIR", "[INSTALLDIR]"},     {"INSTDIR", "[INSTALLDIR]"},
        {"TARGETDIR", "[INSTALLDIR]"},    {"INSTALLFOLDER", "[INSTALLDIR]"}, {"PF", "[PROGRAMFILES]"},
        {"PROGRAMFILESDIR", "[PROGRAMFILES]"}, {"PROGRAMFILESFOLDER", "[PROGRAMFILES]"}, {"SYS", "[SYSTEMDIR]"},
        {"SYSTEM", "[SYSTEMDIR]"},        {"SYSDIR", "[SYSTEMDIR]"},      {"SYSTEMFOLDER", "[SYSTEMDIR]"},
        {"WIN", "[WINDIR]"},              {"WINDOWS", "[WINDIR]"},        {"WINDOWSFOLDER", "[WINDIR]"}};
    for (const auto& [alias, placeholder] : aliases)
        if (word == alias) return placeholder;
    std::string best = kPlaceholders[0];
    std::size_t bestDistance = SIZE_MAX;
    for (const char* p : kPlaceholders) {
        const std::size_t d = editDistance(upper(written), p);
        if (d < bestDistance) bestDistance = d, best = p;
    }
    return best;
}

struct TInstalledFile {
    std::string destination; // ANSI, placeholder spelled as in kPlaceholders
    fs::path source;
    std::string sourceLabel; // as the user knows it: the manifest's source, plus the relative path
    TSourcePos pos;
    bool isMain = false;
};

struct TRoot {
    const char* longName;
    const char* shortName;
};
constexpr TRoot kRoots[] = {{"HKEY_CLASSES_ROOT", "HKCR"},
                            {"HKEY_CURRENT_USER", "HKCU"},
                            {"HKEY_LOCAL_MACHINE", "HKLM"},
                            {"HKEY_USERS", "HKU"},
                            {"HKEY_CURRENT_CONFIG", "HKCC"}};

std::int64_t fileTimeUnix(const fs::path& path, std::error_code& ec) {
    const auto time = fs::last_write_time(path, ec);
    if (ec) return 0;
    const auto system = std::chrono::file_clock::to_sys(time);
    return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

class TPlanner {
public:
    TPlanner(const TManifest& m, const TPlanOptions& o, TDiagnostics& d) : m_(m), options_(o), d_(d) {}

    TBuildPlan run() {
        planProduct();
        for (const TFilesEntry& e : m_.files) planFiles(e);
        checkDuplicateDestinations();
        planMain();
        for (const TFolderEntry& e : m_.folders) planFolder(e);
        for (const TRegistryEntry& e : m_.registry) planRegistry(e);
        for (const TShortcutEntry& e : m_.shortcuts) planShortcut(e);
        planUninstallEntry();
        checkFilesAgainstFolders();
        assemble();
        return std::move(plan_);
    }

private:
    // ---- texts ------------------------------------------------------------------------------
    // The Windows-1252 bytes of a manifest text, or nothing after reporting why not.
    std::optional<std::string> ansi(const TText& t, const std::string& what) {
        TAnsiResult r = utf8ToAnsi(t.value);
        if (r.fault) {
            TSourcePos at = t.pos;
            at.column += 1 + static_cast<int>(r.fault->characterIndex); // past the opening quote
            if (r.fault->codePoint == 0xFFFFFFFF)
                d_.error(at, what + " is not valid UTF-8");
            else
                d_.error(at, what + " contains '" + r.fault->character + "' (" + codePointName(r.fault->codePoint) +
                                 "), which Windows-1252 cannot hold",
                         "package texts are Windows-1252 (ANSI); spell it with Latin letters");
            return std::nullopt;
        }
        return r.bytes;
    }

    bool fitsField(const std::string& ansiText, TSourcePos pos, const std::string& what) {
        if (ansiText.size() <= kMaxText) return true;
        d_.error(pos, what + " is " + std::to_string(ansiText.size()) +
                          " bytes in Windows-1252; the package holds at most 511");
        return false;
    }

    // ---- destinations -----------------------------------------------------------------------
    // A destination: a placeholder, then '\'-separated Windows names. Returns the canonical form
    // (placeholder in capitals, '\' separators, no trailing '\') or nothing after reporting.
    std::optional<std::string> destination(const TText& t, const std::string& what, bool installDirAllowed = true) {
        std::optional<std::string> bytes = ansi(t, what);
        if (!bytes) return std::nullopt;
        std::string path = *bytes;
        std::replace(path.begin(), path.end(), '/', '\\');
        const char* placeholder = nullptr;
        for (const char* p : kPlaceholders)
            if (upper(path.substr(0, std::strlen(p))) == p) placeholder = p;
        if (placeholder == nullptr) {
            const std::size_t close = path.find(']');
            if (path.starts_with("[") && close != std::string::npos) {
                const std::string written = path.substr(0, close + 1);
                d_.error(t.pos, "unknown placeholder " + inQuotes(written) + "; did you mean " + inQuotes(nearestPlaceholder(written)) +
                                    "?");
            } else if (path.starts_with("[")) {
                d_.error(t.pos, what + " " + inQuotes(t.value) + " opens a placeholder with '[' but never closes it with ']'");
            } else {
                d_.error(t.pos, what + " " + inQuotes(t.value) +
                                    " must start with [INSTALLDIR], [PROGRAMFILES], [SYSTEMDIR] or [WINDIR]");
            }
            return std::nullopt;
        }
        if (!installDirAllowed && std::string_view(placeholder) == "[INSTALLDIR]") {
            d_.error(t.pos, what + " cannot start with [INSTALLDIR], which stands for the destination itself");
            return std::nullopt;
        }
        std::string rest = path.substr(std::strlen(placeholder));
        while (!rest.empty() && rest.back() == '\\') rest.pop_back();
        if (!rest.empty() && rest.front() != '\\') {
            d_.error(t.pos, inQuotes(t.value) + " has no '\\' after the placeholder, so it names a sibling of the placeholder's folder",
                     "did you mean " + inQuotes(std::string(placeholder) + "\\" + ansiToUtf8(rest)) + "?");
            return std::nullopt;
        }
        std::string canonical = placeholder;
        std::size_t start = 1;
        while (start <= rest.size() && !rest.empty()) {
            const std::size_t end = std::min(rest.find('\\', start), rest.size());
            const std::string part = rest.substr(start, end - start);
            if (part.empty() || part == "." || part == ".." || part.find(':') != std::string::npos) {
                d_.error(t.pos, inQuotes(t.value) + " leaves " + placeholder +
                                    ": '..', drive letters and \\\\server names are not allowed in a destination");
                return std::nullopt;
            }
            if (auto fault = windowsNameFault(part)) {
                d_.error(t.pos, inQuotes(ansiToUtf8(part)) + " in " + inQuotes(t.value) + ": " + *fault);
                return std::nullopt;
            }
            canonical += "\\" + part;
            start = end + 1;
        }
        return canonical;
    }

    // ---- product ----------------------------------------------------------------------------
    void planProduct() {
        const TProductSection& p = m_.product;
        TPackageHeader& h = plan_.package.header;
        if (p.name.present) {
            if (auto name = ansi(p.name, "product name")) {
                h.productName = *name;
                productNameOk_ = checkProductName(*name, p.name);
            }
        }
        if (p.publisher.present) {
            if (auto publisher = ansi(p.publisher, "publisher")) {
                h.publisherName = *publisher;
                if (publisher->empty())
                    d_.error(p.publisher.pos, "publisher is empty; setup keeps its answers under SOFTWARE\\<publisher>\\<product>");
                else if (publisher->find('\\') != std::string::npos)
                    d_.error(p.publisher.pos, "publisher " + inQuotes(p.publisher.value) +
                                                  " cannot contain '\\' (it names a registry key)");
                fitsField(*publisher, p.publisher.pos, "publisher");
            }
        }
        if (p.version.present)
            if (auto v = ansi(p.version, "version")) version_ = *v;
        if (p.destination.present) {
            std::optional<std::string> bytes = ansi(p.destination, "destination");
            if (bytes) {
                std::string d = *bytes;
                std::replace(d.begin(), d.end(), '/', '\\');
                const bool isDrivePath = d.size() >= 3 && std::isalpha(static_cast<unsigned char>(d[0])) && d[1] == ':' && d[2] == '\\';
                if (isDrivePath) {
                    while (d.size() > 3 && d.back() == '\\') d.pop_back();
                    h.destinationTemplate = d;
                } else if (auto canonical = destination(p.destination, "[product] destination", false)) {
                    h.destinationTemplate = *canonical;
                }
                fitsField(h.destinationTemplate, p.destination.pos, "destination");
            }
        }
        if (p.startMenu.present) {
            if (auto folder = ansi(p.startMenu, "start_menu")) {
                if (auto fault = windowsNameFault(*folder))
                    d_.error(p.startMenu.pos, "start_menu " + inQuotes(p.startMenu.value) + ": " + *fault +
                                                  " (it is one folder in the Programs menu)");
                h.programFolderName = *folder;
                fitsField(*folder, p.startMenu.pos, "start_menu");
            }
        }
        if (productNameOk_) {
            const std::string& folder = h.programFolderName.empty() ? h.productName : h.programFolderName;
            const std::size_t link = kProgramsFolderLength + 1 + folder.size() + 1 + h.productName.size() + 4;
            if (link > kMaxPath)
                d_.error(p.name.pos, "the main shortcut's path would be about " + std::to_string(link) +
                                         " characters (Programs menu, program folder, product name and .lnk); Windows paths stop at 260");
        }
        plan_.picture = sideFile(p.picture, "picture", h.pictureName);
        if (!plan_.picture.empty()) checkPicture(p.picture);
        std::string readmeName;
        plan_.readme = sideFile(p.readme, "readme", readmeName);
    }

    // The product name names a registry key and a shortcut file: both rules apply.
    bool checkProductName(const std::string& name, const TText& t) {
        static const std::string forbidden = "\\/:*?\"<>|";
        if (name.empty()) {
            d_.error(t.pos, "product name is empty");
        } else if (name.find_first_of(forbidden) != std::string::npos) {
            d_.error(t.pos, "product name " + inQuotes(t.value) +
                                " cannot contain \\ / : * ? \" < > | (it names a registry key and a shortcut)");
        } else if (name.size() > 255) {
            d_.error(t.pos, "product name is " + std::to_string(name.size()) + " characters; a registry key name holds at most 255");
        } else if (name.back() == '.' || name.back() == ' ') {
            d_.error(t.pos, "product name cannot end with a dot or a space (it names a shortcut file)");
        } else {
            return true;
        }
        return false;
    }

    // A file copied beside setup.exe (the picture, the read-me); its name goes in name.
    fs::path sideFile(const TText& t, const std::string& what, std::string& name) {
        if (!t.present) return {};
        const fs::path path = m_.baseDir / fs::path(t.value);
        std::error_code ec;
        if (!fs::is_regular_file(path, ec)) {
            d_.error(t.pos, what + " " + inQuotes(t.value) + " does not exist (looked for " + path.string() + ")" + nearSource(t.value));
            return {};
        }
        TText fileName = t;
        fileName.value = path.filename().string();
        if (auto bytes = ansi(fileName, what + " file name")) {
            name = *bytes;
            const std::string folded = upper(name);
            for (const char* taken : {"SETUP.EXE", "_SETUP.PKG", "_SETUP.DAT"})
                if (folded == taken) d_.error(t.pos, what + " cannot be named " + name + ", which setup itself uses");
            if (what == "picture" && folded == "README.TXT")
                d_.error(t.pos, "picture cannot be named readme.txt, which setup shows as the read-me");
        }
        return path;
    }

    void checkPicture(const TText& t) {
        std::FILE* f = std::fopen(plan_.picture.string().c_str(), "rb");
        unsigned char head[8] = {};
        const std::size_t got = f ? std::fread(head, 1, sizeof head, f) : 0;
        if (f) std::fclose(f);
        const bool jpeg = got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
        const bool bmp = got >= 2 && head[0] == 'B' && head[1] == 'M';
        if (jpeg || bmp) return;
        const bool png = got >= 4 && head[0] == 0x89 && head[1] == 'P' && head[2] == 'N' && head[3] == 'G';
        d_.error(t.pos, "picture " + inQuotes(t.value) + (png ? " is a PNG" : " is neither a JPEG nor a BMP file") +
                            "; setup shows JPEG or BMP");
    }

    // How an existing source is spelled on disk when its letter case differs from what was written
    // (on Windows and macOS it is found either way); empty when it is the same.
    std::string spellingOnDisk(const std::string& written) {
        fs::path walked = m_.baseDir;
        fs::path spelled;
        bool differs = false;
        for (const fs::path& part : fs::path(written)) {
            const std::string name = part.string();
            std::string actual = name;
            if (name != "." && name != ".." && !part.has_root_path()) {
                std::error_code ec;
                for (fs::directory_iterator it(walked, ec), end; !ec && it != end; it.increment(ec)) {
                    const std::string candidate = it->path().filename().string();
                    if (candidate == name) {
                        actual = name;
                        break;
                    }
                    if (upper(candidate) == upper(name)) actual = candidate;
                }
            }
            differs = differs || actual != name;
            walked /= actual;
            spelled /= actual;
        }
        return differs ? spelled.generic_string() : std::string();
    }

    // ", did you mean ..." for a missing source, from the names in its parent folder.
    std::string nearSource(const std::string& written) {
        const fs::path path = m_.baseDir / fs::path(written);
        std::error_code ec;
        std::vector<std::string> names;
        for (fs::directory_iterator it(path.parent_path(), ec), end; !ec && it != end; it.increment(ec))
            names.push_back(it->path().filename().string());
        const std::string name = path.filename().string();
        for (const std::string& n : names)
            if (upper(n) == upper(name)) {
                const fs::path found = fs::path(written).parent_path() / n;
                return "; " + inQuotes(found.generic_string()) + " differs only in letter case";
            }
        const std::string near = closestMatch(name, names);
        if (near.empty()) return {};
        return "; did you mean " + inQuotes((fs::path(written).parent_path() / near).generic_string()) + "?";
    }

    // ---- files ------------------------------------------------------------------------------
    void planFiles(const TFilesEntry& e) {
        if (!e.source.present || !e.to.present) return;
        std::optional<std::string> to = destination(e.to, "destination");
        if (e.source.value.find('\\') != std::string::npos)
            d_.warning(e.source.pos, "source " + inQuotes(e.source.value) + " contains '\\'; sources are written with '/'");
        // An absolute source would make the manifest work on one machine only, and "/" would
        // have the packager walk the whole file system.
        if (const fs::path written(e.source.value); written.has_root_directory() || written.has_root_name()) {
            d_.error(e.source.pos, "source " + inQuotes(e.source.value) + " must be relative to the manifest's folder");
            return;
        }
        const fs::path source = m_.baseDir / fs::path(e.source.value);
        std::error_code ec;
        const fs::file_status status = fs::status(source, ec);
        if (!fs::exists(status)) {
            d_.error(e.source.pos, "source " + inQuotes(e.source.value) + " does not exist (looked for " + source.string() + ")" +
                                       nearSource(e.source.value));
            return;
        }
        if (const std::string onDisk = spellingOnDisk(e.source.value); !onDisk.empty()) {
            d_.error(e.source.pos, "source " + inQuotes(e.source.value) + " is spelled " + inQuotes(onDisk) +
                                       " on disk; the letter case must match, or the manifest breaks on a case-sensitive system");
            return;
        }
        if (fs::is_directory(status)) {
            if (e.rename.present)
                d_.error(e.rename.pos, "'rename' applies to a single file, but " + inQuotes(e.source.value) + " is a folder");
            plan_.sourceFolders.push_back(fs::weakly_canonical(source, ec));
            planFolderSource(e, source, to);
            return;
        }
        if (!e.exclude.empty())
            d_.error(e.exclude.front().pos, "'exclude' applies to a folder, but " + inQuotes(e.source.value) + " is a file");
        std::string name = source.filename().string();
        TSourcePos namePos = e.source.pos;
        if (e.rename.present) {
            name = e.rename.value;
            namePos = e.rename.pos;
        }
        if (auto fault = windowsNameFault(name)) {
            d_.error(namePos, inQuotes(name) + " cannot be a Windows file name: " + *fault);
            return;
        }
        TText nameText{name, namePos, true};
        std::optional<std::string> nameBytes = ansi(nameText, "file name " + inQuotes(name));
        if (!to || !nameBytes) return;
        addFile(*to + "\\" + *nameBytes, source, e.source.value, e.pos);
    }

    void planFolderSource(const TFilesEntry& e, const fs::path& root, const std::optional<std::string>& to) {
        std::vector<TExcludeMask> masks;
        for (const TText& t : e.exclude) masks.emplace_back(t.value);
        std::vector<bool> used(masks.size(), false);
        std::vector<std::pair<std::string, fs::path>> files;   // relative path, source
        std::vector<std::string> emptyFolders;                  // relative paths
        std::size_t seen = 0;

        auto excluded = [&](const std::string& relative, bool isFolder) {
            bool hit = false;
            for (std::size_t i = 0; i < masks.size(); ++i)
                if (masks[i].matches(relative, isFolder)) used[i] = hit = true;
            return hit;
        };
        // Depth first; a folder's own listing is sorted only at the end, over whole paths.
        std::vector<std::string> pending{""};
        while (!pending.empty()) {
            const std::string folder = pending.back();
            pending.pop_back();
            std::error_code ec;
            bool hasEntries = false;
            for (fs::directory_iterator it(root / fs::path(folder), ec), end; !ec && it != end; it.increment(ec)) {
                const std::string name = it->path().filename().string();
                const std::string relative = folder.empty() ? name : folder + "/" + name;
                std::error_code sec;
                const bool isLink = it->is_symlink(sec);
                const bool isFolder = it->is_directory(sec);
                ++seen;
                if (excluded(relative, isFolder)) continue;
                hasEntries = true;
                if (isFolder && isLink) {
                    d_.warning(e.source.pos, "'" + relative + "' in " + inQuotes(e.source.value) +
                                                 " is a symbolic link to a folder and is not followed; list its target as its own [[files]] entry");
                } else if (isFolder) {
                    pending.push_back(relative);
                } else if (it->is_regular_file(sec)) {
                    files.emplace_back(relative, it->path());
                } else {
                    d_.warning(e.source.pos, "'" + relative + "' in " + inQuotes(e.source.value) + " is not a regular file; skipped");
                }
            }
            if (ec) d_.error(e.source.pos, "cannot read the folder " + (root / fs::path(folder)).string() + ": " + ec.message());
            if (!hasEntries && !folder.empty()) emptyFolders.push_back(folder);
        }
        for (std::size_t i = 0; i < masks.size(); ++i)
            if (!used[i])
                d_.warning(e.exclude[i].pos, "exclude mask " + inQuotes(masks[i].text()) + " matched nothing in " + inQuotes(e.source.value));
        if (files.empty() && emptyFolders.empty()) {
            if (seen > 0)
                d_.error(e.source.pos, inQuotes(e.source.value) + " has no files left after its exclude masks");
            else
                d_.warning(e.source.pos, "source folder " + inQuotes(e.source.value) + " is empty");
        }
        std::sort(files.begin(), files.end());
        std::sort(emptyFolders.begin(), emptyFolders.end());
        if (!to) return;
        auto target = [&](const std::string& relative) -> std::optional<std::string> {
            std::string out = *to;
            std::size_t start = 0;
            while (start <= relative.size()) {
                const std::size_t slash = std::min(relative.find('/', start), relative.size());
                const std::string part = relative.substr(start, slash - start);
                if (auto fault = windowsNameFault(part)) {
                    d_.error(e.source.pos, inQuotes(relative) + " in " + inQuotes(e.source.value) + " cannot be installed: " + *fault);
                    return std::nullopt;
                }
                TText partText{part, e.source.pos, true};
                auto bytes = ansi(partText, "the name " + inQuotes(relative) + " in " + inQuotes(e.source.value));
                if (!bytes) return std::nullopt;
                // The column of a name found on disk is not in the manifest: point at the source.
                out += "\\" + *bytes;
                start = slash + 1;
            }
            return out;
        };
        for (const auto& [relative, path] : files)
            if (auto dest = target(relative)) addFile(*dest, path, e.source.value + "/" + relative, e.pos);
        for (const std::string& relative : emptyFolders)
            if (auto dest = target(relative)) addFolderChain(*dest);
    }

    void addFile(const std::string& dest, const fs::path& source, const std::string& label, TSourcePos pos) {
        fitsField(dest, pos, "destination " + inQuotes(ansiToUtf8(dest)));
        // The placeholder usually grows by 20 to 60 characters when it is expanded.
        if (dest.size() > kLongDestination && dest.size() <= kMaxText)
            d_.warning(pos, inQuotes(ansiToUtf8(dest)) + " is " + std::to_string(dest.size()) +
                                " characters before expansion; Windows paths stop at 260");
        installed_.push_back({dest, source, label, pos, false});
    }

    void checkDuplicateDestinations() {
        std::map<std::string, std::size_t> first;
        for (std::size_t i = 0; i < installed_.size(); ++i) {
            const auto [it, inserted] = first.emplace(foldAnsiCase(installed_[i].destination), i);
            if (inserted) continue;
            const TInstalledFile& a = installed_[it->second];
            const TInstalledFile& b = installed_[i];
            const bool sameCase = a.destination == b.destination;
            d_.error(b.pos, "two files go to " + inQuotes(ansiToUtf8(b.destination)) +
                                (sameCase ? "" : " (Windows ignores letter case)") + ": " + inQuotes(a.sourceLabel) +
                                " (line " + std::to_string(a.pos.line) + ") and " + inQuotes(b.sourceLabel) + " (line " +
                                std::to_string(b.pos.line) + ")");
        }
        for (const TInstalledFile& f : installed_) installedByFold_.emplace(foldAnsiCase(f.destination), f.destination);
    }

    // The installed destination that text names, or nothing after reporting.
    std::optional<std::string> installedFile(const TText& t, const std::string& what, const std::string& consequence) {
        std::optional<std::string> dest = destination(t, what);
        if (!dest) return std::nullopt;
        const auto it = installedByFold_.find(foldAnsiCase(*dest));
        if (it != installedByFold_.end()) return it->second;
        std::vector<std::string> candidates;
        for (const auto& [fold, original] : installedByFold_) candidates.push_back(ansiToUtf8(original));
        const std::string near = closestMatch(ansiToUtf8(*dest), candidates);
        d_.error(t.pos, what + " " + inQuotes(t.value) + " is not the destination of any [[files]] entry" + consequence +
                            (near.empty() ? "" : "; did you mean " + inQuotes(near) + "?"));
        return std::nullopt;
    }

    void planMain() {
        const TText& main = m_.product.main;
        if (!main.present) return;
        if (auto dest = installedFile(main, "main", "")) {
            mainDestination_ = *dest;
            for (TInstalledFile& f : installed_)
                if (f.destination == *dest) f.isMain = true;
        }
    }

    // ---- folders ----------------------------------------------------------------------------
    void planFolder(const TFolderEntry& e) {
        if (!e.path.present) return;
        if (auto dest = destination(e.path, "folder")) {
            if (fitsField(*dest, e.path.pos, "folder")) addFolderChain(*dest);
        }
    }

    // The folder and its parents up to its placeholder's folder ([INSTALLDIR] itself included).
    void addFolderChain(std::string folder) {
        while (true) {
            const std::size_t slash = folder.rfind('\\');
            if (slash == std::string::npos) {
                if (folder == "[INSTALLDIR]") folders_.emplace(foldAnsiCase(folder), folder);
                return;
            }
            folders_.emplace(foldAnsiCase(folder), folder);
            folder.resize(slash);
        }
    }

    // ---- registry ---------------------------------------------------------------------------
    void planRegistry(const TRegistryEntry& e) {
        if (!e.key.present) return;
        std::optional<std::string> key = registryKey(e.key);
        const bool isValue = e.name.present;
        if (!isValue) {
            if (e.kind.present || e.hasData)
                d_.error(e.kind.present ? e.kind.pos : e.dataPos, "'kind' and 'data' need a 'name'",
                         "for the key's default value write name = \"(Default)\"");
            if (key) addRegistry(e.pos, {rrKey, rvNone, *key, ""}, *key, "");
            return;
        }
        std::optional<std::string> name = ansi(e.name, "value name");
        if (name && name->find('\\') != std::string::npos) {
            d_.error(e.name.pos, "value name " + inQuotes(e.name.value) + " cannot contain '\\'; put the path in 'key'");
            name.reset();
        }
        std::int32_t kind = rvString;
        std::string kindWord = "string";
        if (e.kind.present) {
            static const std::map<std::string, std::int32_t> kinds = {{"string", rvString},
                                                                      {"number", rvNumber},
                                                                      {"binary", rvBinaryDigits},
                                                                      {"multi-string", rvMultiString},
                                                                      {"expandable-string", rvExpandString}};
            const auto it = kinds.find(e.kind.value);
            if (it == kinds.end()) {
                const std::string lowered = [&] {
                    std::string s = e.kind.value;
                    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                    return s;
                }();
                std::string hint;
                if (lowered.find("dword") != std::string::npos || lowered == "reg_dword") hint = " (a DWORD is \"number\")";
                else if (lowered.find("expand") != std::string::npos) hint = " (REG_EXPAND_SZ is \"expandable-string\")";
                else if (lowered.find("multi") != std::string::npos) hint = " (REG_MULTI_SZ is \"multi-string\")";
                else if (lowered.find("sz") != std::string::npos) hint = " (REG_SZ is \"string\")";
                d_.error(e.kind.pos, "unknown kind " + inQuotes(e.kind.value) +
                                         "; use string, number, binary, multi-string or expandable-string" + hint);
                return;
            }
            kind = it->second;
            kindWord = it->first;
        }
        if (name && *name == "(Default)" && kind != rvString) {
            d_.error(e.kind.pos, "'(Default)' can only be of kind \"string\"; other kinds create a value literally named (Default)");
            return;
        }
        if (!e.hasData) {
            d_.error(e.pos, "this [[registry]] value " + inQuotes(e.name.value) + " has no 'data'",
                     "write data = \"\" for an empty value");
            return;
        }
        std::optional<std::string> data = registryData(e, kind, kindWord);
        if (!key || !name || !data) return;
        const std::string path = *key + "\\" + *name;
        fitsField(path, e.key.pos, "key and value name");
        fitsField(*data, e.dataPos, "data");
        addRegistry(e.pos, {rrValue, kind, path, *data}, *key, *name);
    }

    std::optional<std::string> registryData(const TRegistryEntry& e, std::int32_t kind, const std::string& kindWord) {
        if (kind == rvNumber) {
            std::int64_t value = 0;
            if (e.dataInteger) {
                value = *e.dataInteger;
            } else {
                std::int64_t parsed = 0;
                const std::string& s = e.data.value;
                const auto r = std::from_chars(s.data(), s.data() + s.size(), parsed);
                const bool isNumber = r.ec == std::errc() && r.ptr == s.data() + s.size() && !s.empty();
                d_.error(e.dataPos, "'data' of a number value must be an integer, not a string",
                         isNumber ? "write data = " + s : "write a decimal integer without quotes, such as data = 800");
                return std::nullopt;
            }
            if (value < INT32_MIN || value > static_cast<std::int64_t>(UINT32_MAX)) {
                d_.error(e.dataPos, std::to_string(value) + " does not fit a 32-bit number (" + std::to_string(INT32_MIN) +
                                        " to " + std::to_string(UINT32_MAX) + ")");
                return std::nullopt;
            }
            // Setup converts the text as a signed 32-bit number: 4294967295 becomes -1, the same bits.
            return std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
        }
        if (e.dataInteger) {
            d_.error(e.dataPos, "'data' of a " + kindWord + " value must be a string, not an integer",
                     "write data = \"" + std::to_string(*e.dataInteger) + "\"");
            return std::nullopt;
        }
        if (kind == rvBinaryDigits) {
            const std::string& s = e.data.value;
            const std::size_t bad = s.find_first_not_of("01");
            if (bad != std::string::npos) {
                TSourcePos at = e.dataPos;
                at.column += 1 + static_cast<int>(bad);
                d_.error(at, "binary data " + inQuotes(s) + " may hold only the digits 0 and 1");
                return std::nullopt;
            }
            if (s.size() > 8) {
                d_.error(e.dataPos, "binary data has " + std::to_string(s.size()) +
                                        " digits; a binary value holds one byte (at most 8)");
                return std::nullopt;
            }
            if (s.empty()) {
                d_.error(e.dataPos, "binary data is empty; write the byte's bits, such as \"00000101\"");
                return std::nullopt;
            }
            return s;
        }
        return ansi(e.data, "data");
    }

    // The key path with the root's full name, or nothing after reporting.
    std::optional<std::string> registryKey(const TText& t) {
        std::optional<std::string> bytes = ansi(t, "registry key");
        if (!bytes) return std::nullopt;
        std::string path = *bytes;
        const std::size_t slash = path.find('\\');
        const std::string root = upper(path.substr(0, slash));
        const TRoot* found = nullptr;
        for (const TRoot& r : kRoots)
            if (root == r.longName || root == r.shortName) found = &r;
        if (found == nullptr) {
            d_.error(t.pos, "registry key " + inQuotes(t.value) +
                                " must start with HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS or "
                                "HKEY_CURRENT_CONFIG (or HKCR, HKCU, HKLM, HKU, HKCC)");
            return std::nullopt;
        }
        std::string sub = slash == std::string::npos ? "" : path.substr(slash + 1);
        while (!sub.empty() && sub.back() == '\\') sub.pop_back();
        if (sub.empty()) {
            d_.error(t.pos, "registry key " + inQuotes(t.value) + " names a root key; the package writes below a root only");
            return std::nullopt;
        }
        if (sub.find("\\\\") != std::string::npos || sub.front() == '\\') {
            d_.error(t.pos, "registry key " + inQuotes(t.value) + " has an empty key name between two '\\'");
            return std::nullopt;
        }
        const std::string full = std::string(found->longName) + "\\" + sub;
        if (std::string_view(found->longName) == "HKEY_LOCAL_MACHINE" && !upper(sub + "\\").starts_with("SOFTWARE\\"))
            d_.warning(t.pos, inQuotes(ansiToUtf8(full)) + " is outside HKEY_LOCAL_MACHINE\\SOFTWARE");
        if (productNameOk_) {
            const std::string entry = upper(kUninstallKeyBase + plan_.package.header.productName);
            const std::string folded = upper(full);
            if (folded == entry || folded.starts_with(entry + "\\"))
                d_.error(t.pos, "the uninstall entry's key is written by the packager; set its values in [uninstall]");
        }
        fitsField(full, t.pos, "registry key");
        return full;
    }

    void addRegistry(TSourcePos pos, const TRegistryRecord& record, const std::string& key, const std::string& name) {
        const std::string keyFold = upper(key);
        if (record.type == rrValue) {
            const auto [it, inserted] = values_.emplace(keyFold + "\\" + upper(name), pos.line);
            if (!inserted) {
                d_.error(pos, "the value " + inQuotes(ansiToUtf8(key + "\\" + name)) + " is already written at line " +
                                  std::to_string(it->second));
                return;
            }
            if (keysWritten_.insert(keyFold).second) registry_.push_back({rrKey, rvNone, key, ""});
        } else if (!keysWritten_.insert(keyFold).second) {
            d_.warning(pos, "the key " + inQuotes(ansiToUtf8(key)) + " is already created by an earlier entry");
            return;
        }
        registry_.push_back(record);
    }

    // ---- shortcuts --------------------------------------------------------------------------
    void planShortcut(const TShortcutEntry& e) {
        if (!e.name.present || !e.target.present) return;
        std::optional<std::string> target =
            installedFile(e.target, "shortcut target", "; setup would skip the shortcut silently");
        std::optional<std::string> name = ansi(e.name, "shortcut name");
        if (name) {
            if (auto fault = windowsNameFault(*name)) {
                d_.error(e.name.pos, "shortcut name " + inQuotes(e.name.value) + ": " + *fault);
                name.reset();
            } else if (productNameOk_ && foldAnsiCase(*name) == foldAnsiCase(plan_.package.header.productName)) {
                d_.error(e.name.pos, "shortcut name " + inQuotes(e.name.value) + " is already taken by the main shortcut");
                name.reset();
            } else if (const auto [it, inserted] = shortcutNames_.emplace(foldAnsiCase(*name), e.name.pos.line); !inserted) {
                d_.error(e.name.pos, "shortcut name " + inQuotes(e.name.value) + " is already used at line " + std::to_string(it->second));
                name.reset();
            } else {
                const std::string& folder = plan_.package.header.programFolderName.empty() ? plan_.package.header.productName
                                                                                           : plan_.package.header.programFolderName;
                const std::size_t link = kProgramsFolderLength + 1 + folder.size() + 1 + name->size() + 4;
                if (link > kMaxPath)
                    d_.error(e.name.pos, "the shortcut's path would be about " + std::to_string(link) +
                                             " characters; Windows paths stop at 260");
            }
        }
        if (target && name) shortcuts_.push_back({*target, *name});
    }

    // ---- uninstall entry --------------------------------------------------------------------
    void planUninstallEntry() {
        const TUninstallSection& u = m_.uninstall;
        if (u.icon.present) {
            TText path = u.icon;
            std::string index;
            const std::size_t comma = path.value.rfind(',');
            if (comma != std::string::npos && path.value.find_first_not_of("-0123456789", comma + 1) == std::string::npos) {
                index = path.value.substr(comma);
                path.value.resize(comma);
            }
            if (auto dest = installedFile(path, "icon", "")) icon_ = *dest + index;
        } else if (!mainDestination_.empty()) {
            icon_ = mainDestination_;
        }
        auto optionalText = [&](const TText& t, const std::string& what) -> std::string {
            if (!t.present) return {};
            auto bytes = ansi(t, what);
            if (bytes) fitsField(*bytes, t.pos, what);
            return bytes.value_or("");
        };
        publisherUrl_ = optionalText(u.publisherUrl, "publisher_url");
        helpUrl_ = optionalText(u.helpUrl, "help_url");
        fitsField(version_, m_.product.version.pos, "version");
        if (productNameOk_) {
            const std::string key = kUninstallKeyBase + plan_.package.header.productName;
            fitsField(key + "\\InstallLocation", m_.product.name.pos, "the uninstall entry's key (with the product name)");
        }
    }

    // A file installed where a folder must be: a [[folders]] entry, an empty source folder or the
    // folder of another installed file. Windows cannot have both.
    void checkFilesAgainstFolders() {
        std::map<std::string, std::string> folders = folders_;
        for (const TInstalledFile& f : installed_)
            for (std::string folder = f.destination; folder.rfind('\\') != std::string::npos;) {
                folder.resize(folder.rfind('\\'));
                folders.emplace(foldAnsiCase(folder), folder);
            }
        for (const TInstalledFile& f : installed_)
            if (folders.contains(foldAnsiCase(f.destination)))
                d_.error(f.pos, inQuotes(f.sourceLabel) + " is installed as " + inQuotes(ansiToUtf8(f.destination)) +
                                    ", which is also a folder of this package");
    }

    // ---- assembly ---------------------------------------------------------------------------
    void assemble() {
        if (d_.hasErrors()) return;
        TPackage& p = plan_.package;
        addFolderChain("[INSTALLDIR]");
        for (const TInstalledFile& f : installed_) addFolderChain(f.destination.substr(0, f.destination.rfind('\\')));
        for (const auto& [fold, folder] : folders_) p.files.push_back({frFolder, 0, folder});

        std::map<std::string, std::int32_t> itemBySource;
        std::uint64_t installedBytes = 0;
        for (const TInstalledFile& f : installed_) {
            std::error_code ec;
            const std::string key = f.isMain ? std::string() : fs::weakly_canonical(f.source, ec).string();
            std::int32_t number = 0;
            if (const auto it = itemBySource.find(key); !key.empty() && it != itemBySource.end()) {
                number = it->second;
            } else {
                TPlannedItem item;
                item.number = static_cast<std::int32_t>(plan_.items.size() + 1);
                item.source = f.source;
                item.size = fs::file_size(f.source, ec);
                if (!ec) item.modifiedUnix = fileTimeUnix(f.source, ec);
                if (ec) {
                    d_.error(f.pos, "cannot read " + f.source.string() + ": " + ec.message());
                    continue;
                }
                if (options_.sourceDateEpoch && item.modifiedUnix > *options_.sourceDateEpoch)
                    item.modifiedUnix = *options_.sourceDateEpoch;
                plan_.items.push_back(item);
                number = item.number;
                if (!key.empty()) itemBySource.emplace(key, number);
            }
            installedBytes += plan_.items[static_cast<std::size_t>(number - 1)].size;
            p.files.push_back({frFile, number, f.destination});
            if (f.isMain) p.header.mainItemNumber = number;
        }
        p.header.itemCount = static_cast<std::int32_t>(plan_.items.size());

        p.registry = registry_;
        const std::string key = kUninstallKeyBase + p.header.productName;
        p.registry.push_back({rrKey, rvNone, key, ""});
        auto value = [&](const char* name, std::int32_t kind, const std::string& data) {
            p.registry.push_back({rrValue, kind, key + "\\" + name, data});
        };
        if (!version_.empty()) value("DisplayVersion", rvString, version_);
        value("Publisher", rvString, p.header.publisherName);
        if (!icon_.empty()) value("DisplayIcon", rvString, icon_);
        value("InstallLocation", rvString, "[INSTALLDIR]");
        value("EstimatedSize", rvNumber, std::to_string((installedBytes + 1023) / 1024));
        if (!publisherUrl_.empty()) value("URLInfoAbout", rvString, publisherUrl_);
        if (!helpUrl_.empty()) value("HelpLink", rvString, helpUrl_);
        if (!m_.uninstall.noModify.present || m_.uninstall.noModify.value) value("NoModify", rvNumber, "1");
        if (!m_.uninstall.noRepair.present || m_.uninstall.noRepair.value) value("NoRepair", rvNumber, "1");
        if ((installedBytes + 1023) / 1024 > static_cast<std::uint64_t>(INT32_MAX))
            d_.error(m_.product.pos, "the product is larger than an EstimatedSize value can say (2 TiB)");

        p.shortcuts = shortcuts_;
        p.header.fileRecordCount = static_cast<std::int32_t>(p.files.size());
        p.header.registryRecordCount = static_cast<std::int32_t>(p.registry.size());
    }

    const TManifest& m_;
    const TPlanOptions& options_;
    TDiagnostics& d_;
    TBuildPlan plan_;
    bool productNameOk_ = false;
    std::string version_, icon_, publisherUrl_, helpUrl_, mainDestination_;
    std::vector<TInstalledFile> installed_;
    std::map<std::string, std::string> installedByFold_;
    std::map<std::string, std::string> folders_; // folded -> as written; sorted, so parents come first
    std::vector<TRegistryRecord> registry_;
    std::set<std::string> keysWritten_;
    std::map<std::string, int> values_;
    std::map<std::string, int> shortcutNames_;
    std::vector<TShortcutRecord> shortcuts_;
};

} // namespace

TBuildPlan planPackage(const TManifest& manifest, const TPlanOptions& options, TDiagnostics& diagnostics) {
    return TPlanner(manifest, options, diagnostics).run();
}

} // namespace tarnwick::pack
