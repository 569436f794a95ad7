// The whole job through the real windows: a product installed with the user's answers, checked
// file by file, value by value and link by link, then removed again by its uninst.exe.
#include "gui_fixtures.h"

#include "cipher/myblowfish.h"
#include "package/package_writer.h"

#include <shlwapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace gui {
namespace {

using namespace tarnwick;

// The items come from a data archive Info-ZIP's zip made at build time (Z: is the Unix root).
std::string fixture(const std::string& name) {
    std::string path = "Z:" + std::string(TARNWICK_GUI_FIXTURES) + "/" + name;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

struct TRawValue {
    DWORD type = REG_NONE;
    std::string bytes;
};

std::optional<TRawValue> rawValue(HKEY root, const std::string& key, const std::string& name) {
    HKEY h;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return std::nullopt;
    char buffer[1024];
    DWORD size = sizeof buffer;
    TRawValue v;
    const LONG r = RegQueryValueExA(h, name.c_str(), nullptr, &v.type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(h);
    if (r != ERROR_SUCCESS) return std::nullopt;
    v.bytes.assign(buffer, size);
    return v;
}

bool keyExists(HKEY root, const std::string& key) {
    HKEY h;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

std::string windowsFolder() {
    char buffer[MAX_PATH];
    GetWindowsDirectoryA(buffer, MAX_PATH);
    return buffer;
}

} // namespace

void installAndUninstall(TChecks& checks) {
    const std::string product = "Tarnwick Sample";
    const std::string publisher = "Tarnwick E2E " + kPid;
    const std::string settingsKey = "SOFTWARE\\Tarnwick E2E Settings " + kPid;
    const std::string userKey = "Software\\Tarnwick E2E " + kPid;
    const std::string destination = "C:\\Apps\\Sample Elsewhere " + kPid;
    const std::string programFolderName = "Tarnwick Sample Folder";

    TPackage p;
    p.header.productName = product;
    p.header.publisherName = publisher;
    p.header.destinationTemplate = "C:\\Apps\\Tarnwick Sample";
    p.header.itemCount = 3;
    p.header.mainItemNumber = 3;
    p.files = {{frFolder, 0, "[INSTALLDIR]"},
               {frFolder, 0, "[INSTALLDIR]\\docs"},
               {frFile, 1, "[INSTALLDIR]\\docs\\first.txt"},
               {frFile, 2, "[INSTALLDIR]\\docs\\second.txt"},
               {frFile, 1, "[INSTALLDIR]\\copy of first.txt"},
               {frFile, 3, "[INSTALLDIR]\\sample.exe"}};
    p.registry = {{rrKey, rvNone, "HKEY_LOCAL_MACHINE\\" + settingsKey + "\\", ""},
                  {rrValue, rvString, "HKEY_LOCAL_MACHINE\\" + settingsKey + "\\Path", "[INSTALLDIR]\\docs"},
                  {rrValue, rvString, "HKEY_LOCAL_MACHINE\\" + settingsKey + "\\(Default)", "default text"},
                  {rrValue, rvExpandString, "HKEY_LOCAL_MACHINE\\" + settingsKey + "\\Expand", "%SystemRoot%\\x"},
                  {rrValue, rvMultiString, "HKEY_LOCAL_MACHINE\\" + settingsKey + "\\Multi", "[WINDIR]\\y"},
                  {rrValue, rvNumber, "HKEY_LOCAL_MACHINE\\" + settingsKey + "\\Count", "42"},
                  {rrValue, rvBinaryDigits, "HKEY_LOCAL_MACHINE\\" + settingsKey + "\\Flags", "101"},
                  {rrKey, rvNone, "hkey_current_user\\" + userKey, ""},
                  {rrValue, rvNumber, "HKEY_CURRENT_USER\\" + userKey + "\\Mode", "-1"}};
    p.shortcuts = {{"[INSTALLDIR]\\docs\\second.txt", "Manual"}, {"[INSTALLDIR]\\missing.txt", "Ghost"}};

    TSetupFolder folder("install");
    folder.Package(p);
    // The data archive made by zip replaces the one Package() wrote.
    folder.File("_setup_dat", readFile(fixture("data.zip")));
    TMyBlowfish cipher(nullptr);
    cipher.Setpassword(TMyBlowfish::kDefaultPassword);
    cipher.Encrypt_File((folder.Path() + "\\_setup_dat").c_str());
    MoveFileExA((folder.Path() + "\\_setup_datBLW").c_str(), (folder.Path() + "\\_setup.dat").c_str(), MOVEFILE_REPLACE_EXISTING);
    DeleteFileA((folder.Path() + "\\_setup_dat").c_str());
    struct TCleanUp {
        std::string destination, settingsKey, userKey;
        ~TCleanUp() {
            removeTree(destination);
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, settingsKey.c_str());
            SHDeleteKeyA(HKEY_CURRENT_USER, userKey.c_str());
        }
    } cleanUp{destination, settingsKey, userKey};

    const std::string programs = commonFolder("Common Programs");
    const std::string programFolder = programs + "\\" + programFolderName;
    const std::string desktopLink = commonFolder("Common Desktop") + "\\" + product + ".lnk";
    DeleteFileA(desktopLink.c_str());

    // Install: name, company, another destination, another program folder, the desktop icon.
    TProcess setup;
    checks.check(setup.Start(folder.Program(), "", folder.Path()), "setup.exe starts");
    TWizard w{checks, setup};
    if (!w.open(product + " Setup")) return;
    w.next(1);
    w.next(2);
    setText(w["NameEdit"], "Ann Example");
    setText(w["CompanyEdit"], "Example Ltd.");
    w.next(3);
    click(checks, w["BrowseButton"], "Browse");
    if (HWND dirForm = waitWindow(setup.Pid(), "TDirForm", "Choose Directory")) {
        setText(control(dirForm, "PathEdit"), destination);
        click(checks, control(dirForm, "Button1"), "OK");
        if (HWND box = waitWindow(setup.Pid(), "#32770", "Tarnwick Installer")) {
            click(checks, GetDlgItem(box, IDYES), "Yes, create it");
            waitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); });
        }
    }
    checks.equal(text(w["PathLabel"]), destination, "the destination is the one chosen");
    w.next(4);
    setText(w["FolderEdit"], programFolderName);
    w.next(5);
    if (!w.next(7)) return; // the installation runs between the summary and the last page
    clickAt(w["Label12"], 120, 5);
    checks.check(waitFor([&] { return checked(w["DesktopCBox"]); }, 3000), "the desktop option is ticked");
    click(checks, w["NextButton"], "Finish");
    checks.equal(setup.WaitExit(), 0L, "Finish ends the program with 0");

    // Files and folders.
    const struct {
        const char* path;
        const char* item;
    } files[] = {{"\\docs\\first.txt", "items\\1.twi"}, {"\\docs\\second.txt", "items\\2.twi"},
                 {"\\copy of first.txt", "items\\1.twi"}, {"\\sample.exe", "items\\3.twi"}};
    for (const auto& f : files)
        checks.check(readFile(destination + f.path) == readFile(fixture(f.item)),
                     std::string("installed with the item's bytes: ") + f.path);
    checks.equal(readFile(destination + "\\_setup.pkg"), readFile(folder.Path() + "\\_setup.pkg"),
                 "the enciphered package is copied beside uninst.exe");
    checks.equal(readFile(destination + "\\uninst.exe"), readFile(gSetupExe), "uninst.exe is the setup program");

    // Registry values, each with its type and bytes.
    const struct {
        HKEY root;
        std::string key, name;
        DWORD type;
        std::string bytes;
    } values[] = {
        {HKEY_LOCAL_MACHINE, settingsKey, "Path", REG_SZ, destination + "\\docs" + std::string(1, '\0')},
        {HKEY_LOCAL_MACHINE, settingsKey, "", REG_SZ, std::string("default text\0", 13)},
        {HKEY_LOCAL_MACHINE, settingsKey, "Expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\x\0", 15)},
        {HKEY_LOCAL_MACHINE, settingsKey, "Multi", REG_MULTI_SZ, windowsFolder() + "\\y" + std::string(2, '\0')},
        {HKEY_LOCAL_MACHINE, settingsKey, "Count", REG_DWORD, std::string("\x2A\0\0\0", 4)},
        {HKEY_LOCAL_MACHINE, settingsKey, "Flags", REG_BINARY, std::string("\x05", 1)},
        {HKEY_CURRENT_USER, userKey, "Mode", REG_DWORD, std::string("\xFF\xFF\xFF\xFF", 4)},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product, "DisplayName",
         REG_SZ, product + std::string(1, '\0')},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product, "UninstallString",
         REG_SZ, "\"" + destination + "\\uninst.exe\" -uninstall" + std::string(1, '\0')},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product, "QuietUninstallString",
         REG_SZ, "\"" + destination + "\\uninst.exe\" /S" + std::string(1, '\0')},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\" + publisher + "\\" + product, "Company", REG_SZ, std::string("Example Ltd.\0", 13)},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\" + publisher + "\\" + product, "Name", REG_SZ, std::string("Ann Example\0", 12)},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\" + publisher + "\\" + product, "Program Folder", REG_SZ,
         programFolderName + std::string(1, '\0')},
    };
    for (const auto& v : values) {
        const auto got = rawValue(v.root, v.key, v.name);
        if (!checks.check(got.has_value(), "value " + v.key + "\\" + v.name + " exists")) continue;
        checks.equal(got->type, v.type, "type of " + v.name);
        checks.check(got->bytes == v.bytes, "data of " + v.key + "\\" + v.name);
    }

    // Shortcuts: present here, their insides read by lnkinfo after the driver (links.txt).
    const struct {
        std::string link, target, folder, description;
    } links[] = {
        {programFolder + "\\" + product + ".lnk", destination + "\\sample.exe", destination, product},
        {programFolder + "\\Manual.lnk", destination + "\\docs\\second.txt", destination + "\\docs", "Manual"},
        {desktopLink, destination + "\\sample.exe", destination, product},
    };
    std::string expectations;
    int n = 0;
    for (const auto& l : links) {
        if (!checks.check(exists(l.link), "shortcut " + l.link)) continue;
        const std::string copy = "link" + std::to_string(++n) + ".lnk";
        if (!shotFolder().empty()) CopyFileA(l.link.c_str(), (shotFolder() + "\\" + copy).c_str(), FALSE);
        expectations += copy + "|" + l.target + "|" + l.folder + "|" + l.description + "\n";
    }
    checks.check(!exists(programFolder + "\\Ghost.lnk"), "a shortcut whose target is missing is not made");
    if (!shotFolder().empty())
        if (FILE* f = std::fopen((shotFolder() + "\\links.txt").c_str(), "wb")) {
            std::fputs(expectations.c_str(), f);
            std::fclose(f);
        }

    // Uninstall through the entry's program, answered Yes.
    TProcess uninstall;
    checks.check(uninstall.Start(destination + "\\uninst.exe", "-uninstall", destination), "uninst.exe starts");
    if (HWND box = waitWindow(uninstall.Pid(), "#32770", "Confirm Application Unistallation")) {
        click(checks, GetDlgItem(box, IDYES), "Yes, remove it");
    } else {
        checks.check(false, "uninst.exe asks before removing");
    }
    checks.equal(uninstall.WaitExit(30000), 0L, "the uninstallation ends the program with 0");
    // The copy that did the work removes uninst.exe and the folder once the original has ended.
    checks.check(waitFor([] { return processesNamed("uninst.exe").empty(); }), "no uninst.exe is left running");

    for (const auto& f : files) checks.check(!exists(destination + f.path), std::string("removed: ") + f.path);
    checks.check(!exists(destination + "\\docs"), "the emptied docs folder is removed");
    checks.check(!exists(destination + "\\uninst.exe"), "uninst.exe is removed");
    checks.check(!exists(destination), "the emptied destination folder is removed");
    checks.check(!exists(destination + "\\_setup.pkg"), "the package copy is gone");
    checks.check(!exists(programFolder), "the program folder the installation made is removed");
    checks.check(!exists(desktopLink), "the desktop shortcut is removed");
    checks.check(!keyExists(HKEY_LOCAL_MACHINE, settingsKey), "the package's emptied key is removed");
    checks.check(!keyExists(HKEY_CURRENT_USER, userKey), "the package's user key is removed");
    checks.check(!keyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product),
                 "the uninstall entry is removed");
    checks.check(!keyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + publisher), "the product and publisher keys are removed");
}

} // namespace gui

namespace gui {

// The demo's installation: the setup folder the demo script prepared, every page photographed,
// the default destination and program folder, the desktop icon ticked.
void installForTheDemo(TChecks& checks) {
    const std::string folder = gSetupExe.substr(0, gSetupExe.find_last_of('\\'));
    TProcess setup;
    checks.check(setup.Start(gSetupExe, "", folder), "setup.exe starts");
    TWizard w{checks, setup};
    if (!w.open("")) return;
    w.onPage(0);
    shot("00-screen");
    shot("01-introduction", w.form);
    w.next(1);
    shot("02-welcome", w.form);
    w.next(2);
    setText(w["NameEdit"], "Ann Example");
    setText(w["CompanyEdit"], "Example Ltd.");
    shot("03-user-information", w.form);
    w.next(3);
    shot("04-destination", w.form);
    w.next(4);
    shot("05-program-folder", w.form);
    w.next(5);
    shot("06-start-copying", w.form);
    if (!w.next(7)) return;
    clickAt(w["Label12"], 120, 5);
    checks.check(waitFor([&] { return checked(w["DesktopCBox"]); }, 3000), "the desktop option is ticked");
    shot("07-setup-complete", w.form);
    click(checks, w["NextButton"], "Finish");
    checks.equal(setup.WaitExit(), 0L, "Finish ends the program with 0");
}

// The demo's uninstallation, started the way the list of installed programs starts it: by the
// uninstall entry's command line.
void uninstallForTheDemo(TChecks& checks) {
    const std::string product = "Tarnwick Notepad";
    const auto command = readString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product,
                                    "UninstallString");
    if (!checks.check(command.has_value() && command->size() > 2 && (*command)[0] == '"', "the uninstall entry has a quoted program"))
        return;
    const std::string program = command->substr(1, command->find('"', 1) - 1);
    const std::string arguments = command->substr(command->find('"', 1) + 1);
    TProcess uninstall;
    checks.check(uninstall.Start(program, arguments.substr(arguments.find_first_not_of(' ')),
                                 program.substr(0, program.find_last_of('\\'))),
                 "uninst.exe starts");
    if (HWND box = waitWindow(uninstall.Pid(), "#32770", "Confirm Application Unistallation")) {
        shot("08-uninstall-question");
        click(checks, GetDlgItem(box, IDYES), "Yes, remove it");
    }
    checks.equal(uninstall.WaitExit(30000), 0L, "the uninstallation ends the program");
}

} // namespace gui

namespace gui {

// The installation's own failures as a user meets them: the message in the application's plain
// dialog, then the end of the program with nothing of the run left in the temporary folder.
void installationFailures(TChecks& checks) {
    const std::string templates = commonFolder("Common Templates");
    const struct {
        const char* label;
        bool withData;
        const char* folderRecord; // a folder record that cannot be created, or nullptr
        std::vector<std::string> messages;
    } cases[] = {
        {"no data file", false, nullptr, {"The data file is currupted!!!"}},
        {"a folder that cannot be created", true, "[INSTALLDIR]\\bad|name",
         {"Can't create directory!!!\nIf you don't have permissions to create directories or work with files please "
          "ask your administrator!",
          "Installation is not compleated!"}},
    };
    for (const auto& c : cases) {
        checks.note(c.label);
        TSetupFolder folder("failure");
        TPackage p = samplePackage();
        if (c.folderRecord != nullptr) p.files.insert(p.files.begin(), {frFolder, 0, c.folderRecord});
        folder.Package(p);
        if (!c.withData) DeleteFileA((folder.Path() + "\\_setup.dat").c_str());
        const size_t foldersBefore = temporaryFolders(templates).size();
        TProcess setup;
        setup.Start(folder.Program(), "", folder.Path());
        TWizard w{checks, setup};
        if (!w.open("Tool Setup")) continue;
        w.toDestination();
        w.next(4);
        w.next(5);
        click(checks, w["NextButton"], "Next on the summary");
        for (const std::string& expected : c.messages) {
            HWND box = waitWindow(setup.Pid(), "#32770", "Tarnwick Setup");
            if (!checks.check(box != nullptr, "a message shows")) break;
            checks.equal(dialogText(box), expected, "the message");
            click(checks, GetDlgItem(box, IDOK), "OK");
            waitFor([&] { return !IsWindow(box); });
        }
        checks.equal(setup.WaitExit(), 3L, "the program ends with 3 (failed) after the failure");
        checks.equal(temporaryFolders(templates).size(), foldersBefore, "the private temporary folder is removed");
        checks.check(!exists("C:\\Apps\\Tool\\tool.exe"), "nothing was copied");
    }
}

} // namespace gui

namespace gui {

namespace {

std::string unixToWine(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

bool writeText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

std::string dword(std::uint32_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF), static_cast<char>((v >> 16) & 0xFF),
                       static_cast<char>(v >> 24)};
}

} // namespace

// A product folder and manifest made here, built into a setup folder by tarnwick-pack.exe, then
// installed and uninstalled through the windows: files, values of every kind, the uninstall
// entry with the packager's extra fields, shortcuts, and after the uninstallation nothing of the
// uninstall entry's key.
void installPackedAndUninstall(TChecks& checks) {
    const std::string product = "Tarnwick Packed " + kPid;
    const std::string publisher = "Tarnwick E2E " + kPid;
    const std::string settingsKey = "SOFTWARE\\Tarnwick E2E Settings " + kPid;
    const std::string userKey = "Software\\Tarnwick E2E " + kPid;
    const std::string destination = "C:\\Apps\\Packed Sample " + kPid;
    const std::string uninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product;

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string work = std::string(temp) + "tarnwick-packed-" + kPid;
    const std::string source = work + "\\product";
    removeTree(work);
    CreateDirectoryA(work.c_str(), nullptr);
    CreateDirectoryA(source.c_str(), nullptr);
    CreateDirectoryA((source + "\\docs").c_str(), nullptr);
    const std::string second = [] {
        std::string s;
        for (int i = 1; i <= 20000; ++i) s += "line " + std::to_string(i) + " of the second file\n";
        return s;
    }();
    const struct {
        const char* path;
        std::string bytes;
    } sources[] = {{"\\docs\\first.txt", "first file\r\n"}, {"\\docs\\second.txt", second}, {"\\sample.exe", "MZ pretend program"}};
    for (const auto& s : sources) checks.check(writeText(source + s.path, s.bytes), std::string("source written: ") + s.path);
    const std::string manifest = "[product]\n"
                                 "name        = '" + product + "'\n"
                                 "publisher   = '" + publisher + "'\n"
                                 "version     = '3.1.4'\n"
                                 "destination = '" + destination + "'\n"
                                 "main        = '[INSTALLDIR]\\sample.exe'\n"
                                 "\n[uninstall]\n"
                                 "publisher_url = 'https://example.com/packed'\n"
                                 "help_url      = 'https://example.com/packed/help'\n"
                                 "\n[[files]]\nsource = 'product'\nto = '[INSTALLDIR]'\n"
                                 "\n[[files]]\nsource = 'product/docs/first.txt'\nto = '[INSTALLDIR]'\nrename = 'copy of first.txt'\n"
                                 "\n[[registry]]\nkey = 'HKLM\\" + settingsKey + "'\nname = 'Path'\ndata = '[INSTALLDIR]\\docs'\n"
                                 "\n[[registry]]\nkey = 'HKLM\\" + settingsKey + "'\nname = '(Default)'\ndata = 'default text'\n"
                                 "\n[[registry]]\nkey = 'HKLM\\" + settingsKey + "'\nname = 'Expand'\nkind = 'expandable-string'\ndata = '%SystemRoot%\\x'\n"
                                 "\n[[registry]]\nkey = 'HKLM\\" + settingsKey + "'\nname = 'Multi'\nkind = 'multi-string'\ndata = '[WINDIR]\\y'\n"
                                 "\n[[registry]]\nkey = 'HKLM\\" + settingsKey + "'\nname = 'Count'\nkind = 'number'\ndata = 42\n"
                                 "\n[[registry]]\nkey = 'HKLM\\" + settingsKey + "'\nname = 'Flags'\nkind = 'binary'\ndata = '101'\n"
                                 "\n[[registry]]\nkey = 'HKCU\\" + userKey + "'\nname = 'Mode'\nkind = 'number'\ndata = 4294967295\n"
                                 "\n[[shortcuts]]\nname = 'Manual'\ntarget = '[INSTALLDIR]\\docs\\second.txt'\n";
    checks.check(writeText(work + "\\tarnwick.toml", manifest), "manifest written");

    struct TCleanUp {
        std::string work, destination, settingsKey, userKey, uninstallKey;
        ~TCleanUp() {
            removeTree(work);
            removeTree(destination);
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, settingsKey.c_str());
            SHDeleteKeyA(HKEY_CURRENT_USER, userKey.c_str());
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, uninstallKey.c_str());
        }
    } cleanUp{work, destination, settingsKey, userKey, uninstallKey};

    // The packager, the Windows build, as a publisher on Windows runs it.
    const std::string setupFolder = work + "\\setup";
    TProcess pack;
    checks.check(pack.Start(unixToWine(TARNWICK_PACK_EXE),
                            "build \"" + work + "\\tarnwick.toml\" -o \"" + setupFolder + "\" --stub \"" + gSetupExe + "\" --arch " +
                                (sizeof(void*) == 8 ? "x64" : "x86"),
                            work),
                 "tarnwick-pack.exe starts");
    if (!checks.equal(pack.WaitExit(120000), 0L, "tarnwick-pack.exe builds the setup folder")) return;

    const std::string programs = commonFolder("Common Programs");
    const std::string programFolder = programs + "\\" + product;
    const std::string desktopLink = commonFolder("Common Desktop") + "\\" + product + ".lnk";

    TProcess setup;
    checks.check(setup.Start(setupFolder + "\\setup.exe", "", setupFolder), "setup.exe starts");
    TWizard w{checks, setup};
    if (!w.open(product + " Setup")) return;
    w.next(1);
    w.next(2);
    setText(w["NameEdit"], "Ann Example");
    setText(w["CompanyEdit"], "Example Ltd.");
    w.next(3);
    checks.equal(text(w["PathLabel"]), destination, "the destination is the manifest's");
    w.next(4);
    w.next(5);
    if (!w.next(7)) return;
    click(checks, w["NextButton"], "Finish");
    checks.equal(setup.WaitExit(), 0L, "Finish ends the program with 0");

    const struct {
        const char* installed;
        const char* source;
    } files[] = {{"\\docs\\first.txt", "\\docs\\first.txt"},
                 {"\\docs\\second.txt", "\\docs\\second.txt"},
                 {"\\copy of first.txt", "\\docs\\first.txt"},
                 {"\\sample.exe", "\\sample.exe"}};
    std::uint32_t installedBytes = 0;
    for (const auto& f : files) {
        const std::string bytes = readFile(source + f.source);
        installedBytes += static_cast<std::uint32_t>(bytes.size());
        checks.check(readFile(destination + f.installed) == bytes, std::string("installed with the source's bytes: ") + f.installed);
    }

    const std::string z(1, '\0');
    const struct {
        HKEY root;
        std::string key, name;
        DWORD type;
        std::string bytes;
    } values[] = {
        {HKEY_LOCAL_MACHINE, settingsKey, "Path", REG_SZ, destination + "\\docs" + z},
        {HKEY_LOCAL_MACHINE, settingsKey, "", REG_SZ, "default text" + z},
        {HKEY_LOCAL_MACHINE, settingsKey, "Expand", REG_EXPAND_SZ, "%SystemRoot%\\x" + z},
        {HKEY_LOCAL_MACHINE, settingsKey, "Multi", REG_MULTI_SZ, windowsFolder() + "\\y" + z + z},
        {HKEY_LOCAL_MACHINE, settingsKey, "Count", REG_DWORD, dword(42)},
        {HKEY_LOCAL_MACHINE, settingsKey, "Flags", REG_BINARY, "\x05"},
        {HKEY_CURRENT_USER, userKey, "Mode", REG_DWORD, dword(0xFFFFFFFF)},
        {HKEY_LOCAL_MACHINE, uninstallKey, "DisplayName", REG_SZ, product + z},
        {HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString", REG_SZ, "\"" + destination + "\\uninst.exe\" -uninstall" + z},
        {HKEY_LOCAL_MACHINE, uninstallKey, "DisplayVersion", REG_SZ, "3.1.4" + z},
        {HKEY_LOCAL_MACHINE, uninstallKey, "Publisher", REG_SZ, publisher + z},
        {HKEY_LOCAL_MACHINE, uninstallKey, "DisplayIcon", REG_SZ, destination + "\\sample.exe" + z},
        {HKEY_LOCAL_MACHINE, uninstallKey, "InstallLocation", REG_SZ, destination + z},
        {HKEY_LOCAL_MACHINE, uninstallKey, "EstimatedSize", REG_DWORD, dword((installedBytes + 1023) / 1024)},
        {HKEY_LOCAL_MACHINE, uninstallKey, "URLInfoAbout", REG_SZ, "https://example.com/packed" + z},
        {HKEY_LOCAL_MACHINE, uninstallKey, "HelpLink", REG_SZ, "https://example.com/packed/help" + z},
        {HKEY_LOCAL_MACHINE, uninstallKey, "NoModify", REG_DWORD, dword(1)},
        {HKEY_LOCAL_MACHINE, uninstallKey, "NoRepair", REG_DWORD, dword(1)},
    };
    for (const auto& v : values) {
        const auto got = rawValue(v.root, v.key, v.name);
        if (!checks.check(got.has_value(), "value " + v.key + "\\" + v.name + " exists")) continue;
        checks.equal(got->type, v.type, "type of " + v.name);
        checks.check(got->bytes == v.bytes, "data of " + v.key + "\\" + v.name);
    }

    const struct {
        std::string link, target, folder, description;
    } links[] = {
        {programFolder + "\\" + product + ".lnk", destination + "\\sample.exe", destination, product},
        {programFolder + "\\Manual.lnk", destination + "\\docs\\second.txt", destination + "\\docs", "Manual"},
    };
    std::string expectations;
    int n = 0;
    for (const auto& l : links) {
        if (!checks.check(exists(l.link), "shortcut " + l.link)) continue;
        const std::string copy = "packed-link" + std::to_string(++n) + ".lnk";
        if (!shotFolder().empty()) CopyFileA(l.link.c_str(), (shotFolder() + "\\" + copy).c_str(), FALSE);
        expectations += copy + "|" + l.target + "|" + l.folder + "|" + l.description + "\n";
    }
    if (!shotFolder().empty()) writeText(shotFolder() + "\\links.txt", expectations);

    TProcess uninstall;
    checks.check(uninstall.Start(destination + "\\uninst.exe", "-uninstall", destination), "uninst.exe starts");
    if (HWND box = waitWindow(uninstall.Pid(), "#32770", "Confirm Application Unistallation")) {
        click(checks, GetDlgItem(box, IDYES), "Yes, remove it");
    } else {
        checks.check(false, "uninst.exe asks before removing");
    }
    checks.equal(uninstall.WaitExit(30000), 0L, "the uninstallation ends the program");

    for (const auto& f : files) checks.check(!exists(destination + f.installed), std::string("removed: ") + f.installed);
    checks.check(!exists(destination + "\\docs"), "the emptied docs folder is removed");
    checks.check(!exists(programFolder), "the program folder is removed");
    checks.check(!keyExists(HKEY_LOCAL_MACHINE, settingsKey), "the package's key is removed");
    checks.check(!keyExists(HKEY_CURRENT_USER, userKey), "the package's user key is removed");
    checks.check(!keyExists(HKEY_LOCAL_MACHINE, uninstallKey),
                 "nothing of the uninstall entry's key is left, extra fields included");
    checks.check(!keyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + publisher), "the product and publisher keys are removed");
}

} // namespace gui
