#include "init_command.h"

#include "cp1252.h"
#include "inspect_command.h"

#include <algorithm>
#include <fstream>
#include <ostream>

namespace tarnwick::pack {

namespace fs = std::filesystem;

namespace {

// A product name Windows and the package accept: Windows-1252 letters, none of \ / : * ? " < > |.
std::string productNameFrom(const std::string& folderName) {
    std::string name;
    for (std::size_t i = 0; i < folderName.size();) {
        std::size_t length = 1;
        const unsigned char lead = static_cast<unsigned char>(folderName[i]);
        if (lead >= 0xF0) length = 4;
        else if (lead >= 0xE0) length = 3;
        else if (lead >= 0xC0) length = 2;
        const std::string character = folderName.substr(i, length);
        const bool fits = !utf8ToAnsi(character).fault && std::string("\\/:*?\"<>|").find(character) == std::string::npos;
        name += fits ? character : "_";
        i += length;
    }
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    return name.empty() ? "My Product" : name;
}

std::string windowsPath(std::string relative) {
    std::replace(relative.begin(), relative.end(), '/', '\\');
    return relative;
}

} // namespace

std::string starterManifest(const std::string& folderName, const std::vector<std::string>& programs) {
    const std::string name = productNameFrom(folderName);
    std::string m;
    m += "# The manifest of " + name + "'s setup, made by tarnwick-pack init.\n";
    m += "# Build it with:   tarnwick-pack build tarnwick.toml -o '../" + name + " Setup'\n";
    m += "# Check the result: tarnwick-pack verify '../" + name + " Setup'\n";
    m += "# Every key is described in docs/manifest.md. Paths of sources are relative to this file and\n";
    m += "# written with '/'; destinations start with [INSTALLDIR], [PROGRAMFILES], [SYSTEMDIR] or [WINDIR]\n";
    m += "# and are written in single quotes, so a '\\' needs no escape.\n\n";
    m += "[product]\n";
    m += "name        = " + tomlString(name) + "\n";
    m += "publisher   = 'My Company'                # names HKLM\\SOFTWARE\\<publisher>\\<name>; shown in the list of programs\n";
    m += "version     = '1.0'\n";
    m += "destination = " + tomlString("[PROGRAMFILES]\\" + productNameFrom(name)) + "\n";
    m += "# start_menu = " + tomlString(name) + "   # the Programs menu folder (default: the name)\n";
    m += "# picture   = 'art/intro.jpg'            # JPEG or BMP shown on the first page\n";
    m += "# readme    = 'readme.txt'               # offered to the user at the end\n";
    if (programs.size() == 1) {
        m += "main        = " + tomlString("[INSTALLDIR]\\" + windowsPath(programs.front())) + "\n";
    } else {
        m += "# main      = '[INSTALLDIR]\\program.exe'  # the program the main shortcut starts";
        if (programs.empty()) {
            m += "; no .exe found\n";
        } else {
            m += "; one of:\n";
            for (const std::string& p : programs) m += "#   " + tomlString("[INSTALLDIR]\\" + windowsPath(p)) + "\n";
        }
    }
    m += "\n[uninstall]                                # extra fields of the entry in the list of programs\n";
    m += "# publisher_url = 'https://example.com'\n";
    m += "# help_url      = 'https://example.com/support'\n";
    m += "\n[[files]]                                  # this whole folder, recursively\n";
    m += "source  = '.'\n";
    m += "to      = '[INSTALLDIR]'\n";
    m += "exclude = ['tarnwick.toml']              # masks: *.pdb, logs/ (folders), docs/**/draft*\n";
    m += "\n# [[registry]]\n# key  = 'HKCU\\Software\\My Company\\" + name + "'\n# name = 'Language'\n# data = 'en'\n";
    m += "\n# [[shortcuts]]                            # more shortcuts in the program folder\n";
    m += "# name   = 'Read Me'\n# target = '[INSTALLDIR]\\readme.txt'\n";
    return m;
}

int writeStarterManifest(const fs::path& dir, bool force, std::ostream& out, std::ostream& err) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        err << "tarnwick-pack: " << dir.string() << " is not a folder\n";
        return 1;
    }
    const fs::path manifest = dir / "tarnwick.toml";
    if (fs::exists(manifest, ec) && !force) {
        err << "tarnwick-pack: " << manifest.string() << " already exists (--force replaces it)\n";
        return 1;
    }
    std::vector<std::string> programs;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string extension = it->path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return std::tolower(c); });
        std::error_code fileError;
        if (it->is_regular_file(fileError) && extension == ".exe") programs.push_back(fs::relative(it->path(), dir).generic_string());
    }
    std::sort(programs.begin(), programs.end());
    // A program at the top wins over programs in subfolders (tools, redistributables).
    std::vector<std::string> top;
    std::copy_if(programs.begin(), programs.end(), std::back_inserter(top),
                 [](const std::string& p) { return p.find('/') == std::string::npos; });
    if (!top.empty()) programs = top;
    const fs::path absolute = fs::weakly_canonical(fs::absolute(dir, ec), ec);
    std::ofstream file(manifest, std::ios::binary);
    file << starterManifest(absolute.filename().string(), programs);
    file.close();
    if (!file) {
        err << "tarnwick-pack: cannot write " << manifest.string() << '\n';
        return 1;
    }
    out << "wrote " << manifest.string() << (programs.size() == 1 ? " (main program: " + programs.front() + ")" : "") << '\n';
    return 0;
}

} // namespace tarnwick::pack
