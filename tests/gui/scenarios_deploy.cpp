// Deployment: the exit code of every kind of run, and the example product installed and removed
// without a window (/S), compared with what the wizard makes, with its log, and with nothing left
// behind by the uninstaller.
#include "gui_fixtures.h"

#include "cipher/myblowfish.h"
#include "package/package_writer.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace gui {
namespace {

using tarnwick::TPackage;

// A run watched from start to end: its exit code and every visible window its process (or a
// process it started) showed meanwhile.
struct TWatchedRun {
    long exitCode = -1;
    std::set<std::string> windows;
};

TWatchedRun runWatched(const std::string& program, const std::string& arguments, const std::string& folder,
                       int timeoutMs = 60000) {
    TWatchedRun run;
    TProcess process;
    if (!process.Start(program, arguments, folder)) return run;
    const DWORD start = GetTickCount();
    while (process.Running() && static_cast<int>(GetTickCount() - start) < timeoutMs) {
        for (const std::string& w : visibleWindows(process.Pid())) run.windows.insert(w);
        Sleep(5);
    }
    run.exitCode = process.WaitExit(1000);
    return run;
}

std::string joined(const std::set<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += (out.empty() ? "" : ", ") + line;
    return out;
}

void checkNoWindow(TChecks& checks, const TWatchedRun& run, const std::string& what) {
    if (!run.windows.empty()) checks.note("windows seen: " + joined(run.windows));
    checks.check(run.windows.empty(), what + ": not one window shown");
}

bool waitNoUninstaller() {
    return waitFor([] { return processesNamed("uninst.exe").empty(); }, 15000);
}

void writeEncipheredWithKey(TSetupFolder& folder, const TPackage& package, const char* key) {
    const std::vector<unsigned char> bytes = tarnwick::writePackage(package);
    folder.File("_setup", std::string(bytes.begin(), bytes.end()));
    tarnwick::TMyBlowfish other(nullptr);
    other.Setpassword(key);
    other.Encrypt_File((folder.Path() + "\\_setup").c_str());
    MoveFileExA((folder.Path() + "\\_setupBLW").c_str(), (folder.Path() + "\\_setup.pkg").c_str(),
                MOVEFILE_REPLACE_EXISTING);
    DeleteFileA((folder.Path() + "\\_setup").c_str());
}

// A download cut short inside the only item: the sample's stored archive holds "item 1" at
// bytes 35 to 40, so 40 enciphered bytes (five whole blocks) end one byte into it.
void cutDataFileInItsItem(TSetupFolder& folder) {
    const std::string path = folder.Path() + "\\_setup.dat";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    LARGE_INTEGER cut{};
    cut.QuadPart = std::min<LONGLONG>(size.QuadPart, 40);
    SetFilePointerEx(file, cut, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
}

bool keyExists(HKEY root, const std::string& key) {
    HKEY h;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

// An older tool.exe where the sample product's goes, read-only: the installation cannot replace it.
void placeReadOnlyTool() {
    CreateDirectoryA("C:\\Apps", nullptr);
    CreateDirectoryA("C:\\Apps\\Tool", nullptr);
    if (FILE* f = std::fopen("C:\\Apps\\Tool\\tool.exe", "wb")) {
        std::fputs("an older tool", f);
        std::fclose(f);
    }
    SetFileAttributesA("C:\\Apps\\Tool\\tool.exe", FILE_ATTRIBUTE_READONLY);
}

} // namespace

// One row per kind of run; the code is what a deployment tool reads.
void exitCodeTable(TChecks& checks) {
    const std::string templates = commonFolder("Common Templates");
    const std::string toolFile = "C:\\Apps\\Tool\\tool.exe";
    struct TRow {
        const char* label;
        const char* program;
        std::string arguments;
        std::function<void(TSetupFolder&)> prepare;
        std::function<void(TProcess&)> interact; // nothing: an unattended run, watched for windows
        long expected;
        std::function<void(TSetupFolder&)> verify = nullptr;
    };
    const auto withPackage = [](TSetupFolder& f) { f.Package(samplePackage()); };
    const auto installed = [&](TSetupFolder& f) {
        f.Package(samplePackage());
        const TWatchedRun run = runWatched(f.Program(), "/S", f.Path());
        checks.equal(run.exitCode, 0L, "(preparation) installed unattended");
    };
    const auto nothingOfTheToolRegistered = [&](TSetupFolder&) {
        checks.check(!exists(toolFile), "the product's file is not there");
        checks.check(!keyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool"),
                     "no uninstall entry");
    };
    const std::vector<TRow> rows = {
        {"installed: setup.exe /S", "setup.exe", "/S", withPackage, nullptr, 0,
         [&](TSetupFolder&) { checks.check(exists(toolFile), "the product's file is there"); }},
        {"installed, switch in other letter case: setup.exe /s", "setup.exe", "/s", withPackage, nullptr, 0},
        {"uninstalled: uninst.exe /S", nullptr, "/S", installed, nullptr, 0,
         [&](TSetupFolder&) {
             checks.check(waitNoUninstaller(), "no uninst.exe is left running");
             checks.check(!exists("C:\\Apps\\Tool"), "the product's folder is gone");
         }},
        {"uninstalled: setup.exe -uninstall /S", "setup.exe", "-uninstall /S", withPackage, nullptr, 0},
        {"missing package", "setup.exe", "/S", [](TSetupFolder&) {}, nullptr, 1},
        {"package cut inside its header", "setup.exe", "/S",
         [](TSetupFolder& f) {
             std::vector<unsigned char> bytes = tarnwick::writePackage(samplePackage());
             bytes.resize(tarnwick::kPackageHeaderSize / 2);
             f.File("_setup", std::string(bytes.begin(), bytes.end()));
             tarnwick::TMyBlowfish cipher(nullptr);
             cipher.Setpassword(tarnwick::TMyBlowfish::kDefaultPassword);
             cipher.Encrypt_File((f.Path() + "\\_setup").c_str());
             MoveFileExA((f.Path() + "\\_setupBLW").c_str(), (f.Path() + "\\_setup.pkg").c_str(),
                         MOVEFILE_REPLACE_EXISTING);
             DeleteFileA((f.Path() + "\\_setup").c_str());
         },
         nullptr, 1, nothingOfTheToolRegistered},
        {"package enciphered with another key", "setup.exe", "/S",
         [](TSetupFolder& f) { writeEncipheredWithKey(f, samplePackage(), "not the key"); }, nullptr, 1},
        {"Exit Setup", "setup.exe", "", withPackage,
         [&](TProcess& p) {
             TWizard w{checks, p};
             if (w.open("Tool Setup")) w.exitSetup();
         },
         2},
        {"No to the uninstall question", "uninst.exe", "", withPackage,
         [&](TProcess& p) {
             if (HWND box = waitWindow(p.Pid(), "#32770", "Confirm Application Unistallation"))
                 click(checks, GetDlgItem(box, IDNO), "No");
         },
         2},
        {"no data file", "setup.exe", "/S",
         [](TSetupFolder& f) {
             f.Package(samplePackage());
             DeleteFileA((f.Path() + "\\_setup.dat").c_str());
         },
         nullptr, 3},
        {"a data file cut inside its item", "setup.exe", "/S",
         [](TSetupFolder& f) {
             f.Package(samplePackage());
             cutDataFileInItsItem(f);
         },
         nullptr, 3, nothingOfTheToolRegistered},
        {"the same damage in the wizard", "setup.exe", "",
         [](TSetupFolder& f) {
             f.Package(samplePackage());
             cutDataFileInItsItem(f);
         },
         [&](TProcess& p) {
             TWizard w{checks, p};
             if (!w.open("Tool Setup")) return;
             w.toDestination();
             w.next(4);
             w.next(5);
             click(checks, w["NextButton"], "Next on the summary");
             // One box naming the data file, where the archive component asked Abort, Retry or
             // Ignore for every item.
             if (HWND box = waitWindow(p.Pid(), "#32770", "Tarnwick Setup")) {
                 const std::string text = dialogText(box);
                 checks.check(text.find("_setup.dat' is damaged (") != std::string::npos &&
                                  text.find("Please download the setup again. Installation is not compleated!") !=
                                      std::string::npos,
                              "the message names the damaged data file: " + text);
                 click(checks, GetDlgItem(box, IDOK), "OK");
             }
         },
         3, nothingOfTheToolRegistered},
        {"a read-only file where the product's file goes", "setup.exe", "/S",
         [](TSetupFolder& f) {
             f.Package(samplePackage());
             placeReadOnlyTool();
         },
         nullptr, 3,
         [&](TSetupFolder&) {
             checks.equal(readFile(toolFile), std::string("an older tool"), "the read-only file is left as it was");
             SetFileAttributesA(toolFile.c_str(), FILE_ATTRIBUTE_NORMAL);
         }},
        {"the same failure in the wizard", "setup.exe", "",
         [](TSetupFolder& f) {
             f.Package(samplePackage());
             placeReadOnlyTool();
         },
         [&](TProcess& p) {
             TWizard w{checks, p};
             if (!w.open("Tool Setup")) return;
             w.toDestination();
             w.next(4);
             w.next(5);
             click(checks, w["NextButton"], "Next on the summary");
             if (HWND box = waitWindow(p.Pid(), "#32770", "Tarnwick Setup")) {
                 checks.equal(dialogText(box),
                              std::string("The file 'C:\\Apps\\Tool\\tool.exe' is unaccessible and can't be removed. "
                                          "Installation is not compleated!"),
                              "the failure's message");
                 click(checks, GetDlgItem(box, IDOK), "OK");
             }
         },
         3, [&](TSetupFolder&) { SetFileAttributesA(toolFile.c_str(), FILE_ATTRIBUTE_NORMAL); }},
        {"an unknown switch in unattended mode", "setup.exe", "/S /SILENT", withPackage, nullptr, 4,
         [&](TSetupFolder&) { checks.check(!exists(toolFile), "nothing is installed"); }},
        {"-uninstall anywhere but first, unattended", "setup.exe", "/S -uninstall", withPackage, nullptr, 4},
        {"/D= without a drive, unattended", "setup.exe", "/S /D=Apps\\Tool", withPackage, nullptr, 4},
        {"an unknown switch in the wizard is ignored", "setup.exe", "/SILENT", withPackage,
         [&](TProcess& p) {
             TWizard w{checks, p};
             if (w.open("Tool Setup")) w.exitSetup();
         },
         2},
    };
    for (const TRow& row : rows) {
        checks.note(row.label);
        TSetupFolder folder("codes");
        row.prepare(folder);
        const size_t foldersBefore = temporaryFolders(templates).size();
        const std::string program = row.program != nullptr ? folder.Program(row.program) : "C:\\Apps\\Tool\\uninst.exe";
        long code;
        if (row.interact) {
            TProcess process;
            checks.check(process.Start(program, row.arguments, folder.Path()), "the program starts");
            row.interact(process);
            code = process.WaitExit(30000);
        } else {
            const TWatchedRun run = runWatched(program, row.arguments, folder.Path());
            checkNoWindow(checks, run, row.label);
            code = run.exitCode;
        }
        checks.equal(code, row.expected, std::string("exit code of: ") + row.label);
        checks.check(waitNoUninstaller(), "no uninst.exe is left running");
        checks.equal(temporaryFolders(templates).size(), foldersBefore, "no temporary folder is left behind");
        if (row.verify) row.verify(folder);
    }
}

namespace {

// What an installation of the example left on the machine, comparable between two runs.
struct TInstalledState {
    std::map<std::string, std::string> files;  // path -> bytes (the destination and the links)
    std::map<std::string, std::string> values; // "ROOT\key\name" -> type and bytes
    std::map<std::string, std::string> links;  // link file -> target | folder | description
};

void listFiles(const std::string& folder, std::map<std::string, std::string>& files) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            listFiles(path, files);
        else
            files[path] = readFile(path);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void listValues(HKEY root, const std::string& rootName, const std::string& key, std::map<std::string, std::string>& values) {
    HKEY h;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return;
    char name[512];
    BYTE data[2048];
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        if (RegEnumValueA(h, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
        values[rootName + "\\" + key + "\\" + std::string(name, nameSize)] =
            std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), dataSize);
    }
    std::vector<std::string> subKeys;
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(h, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subKeys.emplace_back(name, nameSize);
    }
    RegCloseKey(h);
    for (const std::string& sub : subKeys) listValues(root, rootName, key + "\\" + sub, values);
}

std::string describeLink(const std::string& path) {
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return "?";
    std::string out = "?";
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        if (SUCCEEDED(file->Load(wide, STGM_READ))) {
            char target[MAX_PATH] = "", folder[MAX_PATH] = "", description[MAX_PATH] = "";
            link->GetPath(target, MAX_PATH, nullptr, 0);
            link->GetWorkingDirectory(folder, MAX_PATH);
            link->GetDescription(description, MAX_PATH);
            out = std::string(target) + " | " + folder + " | " + description;
        }
        file->Release();
    }
    link->Release();
    return out;
}

constexpr const char* kProduct = "Tarnwick Notepad";
constexpr const char* kPublisherKey = "SOFTWARE\\Tarnwick Samples";
constexpr const char* kSettingsKey = "SOFTWARE\\Tarnwick Notepad";
constexpr const char* kUserKey = "Software\\Tarnwick Notepad";
const std::string kEntryKey = std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kProduct;

TInstalledState installedState(const std::string& destination) {
    TInstalledState s;
    listFiles(destination, s.files);
    std::map<std::string, std::string> linkFiles;
    listFiles(commonFolder("Common Programs") + "\\" + kProduct, linkFiles);
    const std::string desktopLink = commonFolder("Common Desktop") + "\\" + kProduct + ".lnk";
    if (exists(desktopLink)) linkFiles[desktopLink] = "";
    for (const auto& [path, bytes] : linkFiles) s.links[path] = describeLink(path);
    listValues(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", kPublisherKey, s.values);
    listValues(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", kSettingsKey, s.values);
    listValues(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", kEntryKey, s.values);
    listValues(HKEY_CURRENT_USER, "HKEY_CURRENT_USER", kUserKey, s.values);
    return s;
}

bool nothingInstalled(const std::string& destination) {
    const TInstalledState s = installedState(destination);
    return s.files.empty() && s.values.empty() && s.links.empty();
}

template <class Map>
void compareMaps(TChecks& checks, const Map& wizard, const Map& unattended, const std::string& what) {
    for (const auto& [key, value] : wizard) {
        const auto other = unattended.find(key);
        if (other == unattended.end())
            checks.note("only after the wizard: " + key);
        else if (other->second != value)
            checks.note("differs: " + key);
    }
    for (const auto& [key, value] : unattended)
        if (wizard.count(key) == 0) checks.note("only after /S: " + key);
    checks.check(!wizard.empty() && wizard == unattended, what + " are the same as through the wizard");
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Where the test gets the example product's setup folder: the script around the driver made it.
std::string exampleSetupFolder() {
    char buffer[MAX_PATH] = "";
    GetEnvironmentVariableA("TARNWICK_EXAMPLE_SETUP", buffer, MAX_PATH);
    return buffer;
}

void copyFolderFiles(const std::string& from, const std::string& to) {
    std::map<std::string, std::string> files;
    listFiles(from, files);
    for (const auto& [path, bytes] : files) CopyFileA(path.c_str(), (to + path.substr(from.size())).c_str(), FALSE);
}

} // namespace

void unattendedExample(TChecks& checks) {
    const std::string example = exampleSetupFolder();
    if (!checks.check(!example.empty() && exists(example + "\\_setup.pkg"), "the example's setup folder is there"))
        return;
    CoInitialize(nullptr);
    TSetupFolder folder("unattended");
    copyFolderFiles(example, folder.Path());
    const std::string setupExe = folder.Path() + "\\setup.exe";
    // Blanks in the path, as /D= must take them.
    const std::string destination = "C:\\Apps\\Deploy Test " + kPid + "\\Tarnwick  Notepad";
    const std::string desktopLink = commonFolder("Common Desktop") + "\\" + kProduct + ".lnk";
    struct TCleanUp {
        std::string destination;
        ~TCleanUp() {
            removeTree(destination);
            removeTree(destination.substr(0, destination.find_last_of('\\')));
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey);
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, kPublisherKey);
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, kEntryKey.c_str());
            SHDeleteKeyA(HKEY_CURRENT_USER, kUserKey);
            removeTree(commonFolder("Common Programs") + "\\" + kProduct);
            DeleteFileA((commonFolder("Common Desktop") + "\\" + kProduct + ".lnk").c_str());
        }
    } cleanUp{destination};
    // The wizard's User Information page needs a name: start-up reads the registered owner.
    TRegistryValue owner(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "RegisteredOwner",
                         "Deploy Owner");
    TRegistryValue organization(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                                "RegisteredOrganization", "Deploy Org");
    checks.check(nothingInstalled(destination), "nothing of the example is installed before");

    // 1. Through the wizard, answers left as start-up found them, the same destination, the
    //    desktop icon ticked.
    {
        TProcess setup;
        checks.check(setup.Start(setupExe, "", folder.Path()), "setup.exe starts");
        TWizard w{checks, setup};
        if (!w.open(std::string(kProduct) + " Setup")) return;
        w.next(1);
        w.next(2);
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
        w.next(4);
        w.next(5);
        if (!w.next(7)) return;
        clickAt(w["Label12"], 120, 5);
        checks.check(waitFor([&] { return checked(w["DesktopCBox"]); }, 3000), "the desktop option is ticked");
        click(checks, w["NextButton"], "Finish");
        checks.equal(setup.WaitExit(), 0L, "the wizard's installation ends with 0");
    }
    const TInstalledState byWizard = installedState(destination);
    checks.check(exists(desktopLink), "the wizard made the desktop shortcut");

    // 2. Removed without a window, by the program the uninstall entry names.
    const auto uninstallUnattended = [&](const std::string& label, const std::string& arguments = "/S") {
        const TWatchedRun run = runWatched(destination + "\\uninst.exe", arguments, destination);
        checkNoWindow(checks, run, label);
        checks.equal(run.exitCode, 0L, label + " ends with 0");
        checks.check(waitNoUninstaller(), label + ": no uninst.exe is left running");
    };
    const std::string uninstallLog = folder.Path() + "\\uninstall.log";
    uninstallUnattended("uninst.exe /S after the wizard", "/S /LOG=\"" + uninstallLog + "\"");
    checks.check(nothingInstalled(destination), "no file, value or shortcut of the example is left");
    checks.check(!exists(destination), "the destination folder is gone");
    // The original and its copy write into one log: every line whole, the copy's last words there.
    {
        const std::string text = readFile(uninstallLog);
        bool whole = !text.empty();
        for (size_t start = 0, end; start < text.size(); start = end + 2) {
            end = text.find("\r\n", start);
            if (end == std::string::npos) end = text.size();
            const std::string line = text.substr(start, end - start);
            const bool stamped = line.size() > 24 && line[4] == '-' && line[10] == ' ' && line[19] == '.';
            if (!stamped) checks.note("not a whole line: " + line);
            whole = whole && stamped;
        }
        checks.check(whole, "every line of the uninstallation's log is whole");
        for (const std::string& expected : {std::string("uninstallation completed"),
                                            "file removed: " + lowerCase(destination) + "\\uninst.exe",
                                            "folder removed: " + lowerCase(destination) + "\r\n",
                                            std::string("removal at the next restart: ")})
            checks.check(lowerCase(text).find(expected) != std::string::npos, "the uninstallation's log has " + expected);
    }

    // 3. Installed without a window, with a log: the same files, values and shortcuts.
    const std::string logPath = folder.Path() + "\\install log.txt";
    {
        const TWatchedRun run =
            runWatched(setupExe, "/S /DESKTOP /LOG=\"" + logPath + "\" /D=" + destination, folder.Path());
        checkNoWindow(checks, run, "setup.exe /S /DESKTOP /LOG= /D=");
        checks.equal(run.exitCode, 0L, "the unattended installation ends with 0");
    }
    const TInstalledState unattended = installedState(destination);
    compareMaps(checks, byWizard.files, unattended.files, "the installed files and their bytes");
    compareMaps(checks, byWizard.values, unattended.values, "the registry values");
    compareMaps(checks, byWizard.links, unattended.links, "the shortcuts");

    // 4. The log names every file, value and shortcut that is there now.
    const std::string log = lowerCase(readFile(logPath));
    checks.check(!log.empty(), "the log is written");
    int missing = 0;
    const auto expectInLog = [&](const std::string& text) {
        if (log.find(lowerCase(text)) != std::string::npos) return;
        ++missing;
        checks.note("not in the log: " + text);
    };
    for (const auto& [path, bytes] : unattended.files) expectInLog(path);
    for (const auto& [path, target] : unattended.links) expectInLog(path);
    for (const auto& [name, data] : unattended.values) {
        // The package's default value is named "(Default)" in its record.
        expectInLog(name.back() == '\\' ? name + "(Default)" : name);
    }
    checks.equal(missing, 0, "every file, value and shortcut is named in the log");
    for (const char* line : {"temporary folder: ", "destination folder from /d=: " , "exit code: 0 (success)"})
        checks.check(log.find(line) != std::string::npos, std::string("the log has \"") + line + "\"");

    // 5. A file of the user's in the destination keeps the folder and itself.
    const std::string userFile = destination + "\\my notes.txt";
    if (FILE* f = std::fopen(userFile.c_str(), "wb")) {
        std::fputs("mine", f);
        std::fclose(f);
    }
    uninstallUnattended("uninst.exe /S with a file of the user's");
    checks.equal(readFile(userFile), std::string("mine"), "the user's file stays");
    checks.check(!exists(destination + "\\uninst.exe"), "uninst.exe is gone all the same");
    std::map<std::string, std::string> left;
    listFiles(destination, left);
    checks.equal(left.size(), size_t{1}, "nothing but the user's file is left in the folder");
    const TInstalledState after = installedState(destination);
    checks.check(after.values.empty() && after.links.empty(), "no value or shortcut of the example is left");

    // The copy that did the work is to be removed at the next restart.
    const auto pending = [] {
        HKEY h;
        std::string data;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &h) ==
            ERROR_SUCCESS) {
            char buffer[65536];
            DWORD size = sizeof buffer;
            if (RegQueryValueExA(h, "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                                 &size) == ERROR_SUCCESS)
                data.assign(buffer, size);
            RegCloseKey(h);
        }
        return lowerCase(data);
    }();
    checks.check(pending.find("uninst.exe") != std::string::npos, "the uninstaller's copy is due for removal at restart");
    CoUninitialize();
}

namespace {

// The launcher's private folders under the system's temporary folder.
size_t launcherFolders() {
    char base[MAX_PATH + 1] = "";
    GetTempPathA(sizeof base, base);
    size_t count = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(base) + "TarnwickSetup.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do ++count;
    while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

} // namespace

// The example's one-file setup: the wizard and /S both install, the launcher ends with setup's
// exit code, and its private folder is gone afterwards.
void singleFileExample(TChecks& checks) {
    char buffer[MAX_PATH] = "";
    GetEnvironmentVariableA("TARNWICK_EXAMPLE_SINGLE_FILE", buffer, MAX_PATH);
    const std::string made = buffer;
    if (!checks.check(!made.empty() && exists(made), "the example's one-file setup is there")) return;
    CoInitialize(nullptr);
    TSetupFolder folder("single");
    const std::string program = folder.Path() + "\\Tarnwick Notepad-setup.exe";
    CopyFileA(made.c_str(), program.c_str(), FALSE);
    const std::string defaultDestination = [] {
        char files[MAX_PATH] = "";
        DWORD size = sizeof files;
        SHGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", nullptr,
                    files, &size);
        return std::string(files) + "\\" + kProduct;
    }();
    const std::string destination = "C:\\Apps\\Single File " + kPid;
    struct TCleanUp {
        std::string a, b;
        ~TCleanUp() {
            removeTree(a);
            removeTree(b);
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey);
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, kPublisherKey);
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, kEntryKey.c_str());
            SHDeleteKeyA(HKEY_CURRENT_USER, kUserKey);
            removeTree(commonFolder("Common Programs") + "\\" + kProduct);
        }
    } cleanUp{defaultDestination, destination};
    TRegistryValue owner(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "RegisteredOwner",
                         "Deploy Owner");
    const size_t foldersBefore = launcherFolders();
    const auto uninstall = [&](const std::string& where) {
        const TWatchedRun run = runWatched(where + "\\uninst.exe", "/S", where);
        checks.equal(run.exitCode, 0L, "uninst.exe /S ends with 0");
        checks.check(waitNoUninstaller(), "no uninst.exe is left running");
        checks.check(!exists(where), "the product's folder is gone");
    };

    // Through the wizard, every answer as start-up found it.
    {
        TProcess setup;
        checks.check(setup.Start(program, "", folder.Path()), "the one-file setup starts");
        TWizard w{checks, setup};
        if (w.open(std::string(kProduct) + " Setup")) {
            checks.equal(launcherFolders(), foldersBefore + 1, "the launcher extracted into one private folder");
            w.next(1);
            w.next(2);
            w.next(3);
            checks.equal(text(w["PathLabel"]), defaultDestination, "the package's destination is offered");
            w.next(4);
            w.next(5);
            if (w.next(7)) click(checks, w["NextButton"], "Finish");
        }
        checks.equal(setup.WaitExit(30000), 0L, "the one-file setup ends with setup's 0");
    }
    checks.check(exists(defaultDestination + "\\notepad.exe"), "the wizard installed the example");
    checks.check(exists(defaultDestination + "\\uninst.exe"), "with its uninstaller");
    checks.equal(launcherFolders(), foldersBefore, "the launcher's folder is gone after the wizard");
    uninstall(defaultDestination);

    // Unattended, to a folder with blanks.
    {
        const TWatchedRun run = runWatched(program, "/S /D=" + destination, folder.Path());
        checkNoWindow(checks, run, "the one-file setup with /S");
        checks.equal(run.exitCode, 0L, "the unattended one-file setup ends with 0");
    }
    checks.check(exists(destination + "\\notepad.exe"), "/S installed the example where /D= says");
    checks.equal(launcherFolders(), foldersBefore, "the launcher's folder is gone after /S");
    uninstall(destination);

    // setup's other codes come through as they are.
    const struct {
        const char* arguments;
        long code;
    } codes[] = {{"/S /NOSUCHSWITCH", 4}, {"/S /D=relative", 4}};
    for (const auto& c : codes) {
        const TWatchedRun run = runWatched(program, c.arguments, folder.Path());
        checkNoWindow(checks, run, c.arguments);
        checks.equal(run.exitCode, c.code, std::string("the launcher passes setup's code on: ") + c.arguments);
    }
    {
        TProcess setup;
        setup.Start(program, "", folder.Path());
        TWizard w{checks, setup};
        if (w.open(std::string(kProduct) + " Setup")) w.exitSetup();
    }
    checks.equal(launcherFolders(), foldersBefore, "no launcher folder is left behind");

    // A one-file setup cut short (an interrupted download): its archive cannot be opened.
    const std::string cut = folder.Path() + "\\cut setup.exe";
    const std::string whole = readFile(program);
    if (FILE* f = std::fopen(cut.c_str(), "wb")) {
        std::fwrite(whole.data(), 1, whole.size() - 4000, f);
        std::fclose(f);
    }
    const std::string log = folder.Path() + "\\cut.log";
    {
        const TWatchedRun run = runWatched(cut, "/S \"/LOG=" + log + "\"", folder.Path());
        checkNoWindow(checks, run, "a damaged one-file setup with /S");
        checks.equal(run.exitCode, 1L, "a damaged one-file setup ends with 1 (could not start)");
    }
    checks.check(readFile(log).find("Launcher: This setup program is damaged: ") != std::string::npos,
                 "the log says why");
    {
        TProcess setup;
        setup.Start(cut, "", folder.Path());
        HWND box = waitWindow(setup.Pid(), "#32770", "Tarnwick Setup");
        if (checks.check(box != nullptr, "in the wizard, a message says so")) {
            checks.check(dialogText(box).rfind("This setup program is damaged: ", 0) == 0, "the message");
            click(checks, GetDlgItem(box, IDOK), "OK");
        }
        checks.equal(setup.WaitExit(), 1L, "and the launcher ends with 1");
    }
    checks.equal(launcherFolders(), foldersBefore, "no launcher folder is left behind by a damaged one");
    CoUninitialize();
}

} // namespace gui
