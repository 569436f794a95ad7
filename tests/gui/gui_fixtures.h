// What the GUI scenarios share: registry values set for a scenario and put back, files and
// folders, the package of a made-up product, a setup folder of its own per scenario, what the
// screen shows, the layout check, and walking the wizard's pages.
#pragma once

#include "driver_support.h"

#include "package/package_layout.h"

#include <shlwapi.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace gui {

extern std::string gSetupExe; // the setup.exe under test
inline const std::string kPid = std::to_string(GetCurrentProcessId());

inline const char* const kCaptions[] = {"Introduction",          "Welcome",
                                        "User Information",      "Choose Destination Location",
                                        "Select Program Folder", "Start Copyng Files",
                                        "Coping files...",       "Setup complete"};
inline constexpr const char* kPackageBroken = "The package file is currupted!!!";
inline constexpr const char* kShellFolders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::optional<std::string> readString(HKEY root, const std::string& key, const std::string& name);
void writeString(HKEY root, const std::string& key, const std::string& name, const std::string& value);

// Sets a value for the scenario and puts the old one back afterwards.
class TRegistryValue {
public:
    TRegistryValue(HKEY root, std::string key, std::string name, const std::string& value)
        : root_(root), key_(std::move(key)), name_(std::move(name)), old_(readString(root_, key_, name_)) {
        writeString(root_, key_, name_, value);
    }
    ~TRegistryValue() {
        if (old_)
            writeString(root_, key_, name_, *old_);
        else
            SHDeleteValueA(root_, key_.c_str(), name_.c_str());
    }

private:
    HKEY root_;
    std::string key_, name_;
    std::optional<std::string> old_;
};

bool exists(const std::string& path);
void removeTree(const std::string& path);
std::vector<std::string> temporaryFolders(const std::string& base); // TarnwickInstaller.* in base
std::string readFile(const std::string& path);
std::string commonFolder(const char* name); // a value of HKLM's Shell Folders

// What the screen shows at a point of a window's client area.
COLORREF screenPixel(HWND window, int x, int y);
// A point inside IntroImage (Notebook1 at 172, 59; IntroImage at 22, 22 in its page).
inline constexpr int kIntroX = 172 + 22 + 10, kIntroY = 59 + 22 + 10;
inline bool isWhite(COLORREF c) { return GetRValue(c) > 240 && GetGValue(c) > 240 && GetBValue(c) > 240; }

// Where a control sits in its parent's client area, and the window's client size, as the layout
// tables give them.
struct TPlace {
    const char* name;
    int left, top, width, height;
};
void checkLayout(TChecks& checks, HWND form, int clientWidth, int clientHeight, std::initializer_list<TPlace> places);

// A product "Tool" by "Tarnwick Tests" without files; the program folder name is left empty.
tarnwick::TPackage samplePackage(const std::string& product = "Tool", std::int32_t mainItem = 1,
                                 const std::string& destination = "C:\\Apps\\Tool");

// A setup folder of its own for each scenario: C:\tw-gui\<scenario>-<pid>.
class TSetupFolder {
public:
    explicit TSetupFolder(const std::string& scenario) : path_("C:\\tw-gui\\" + scenario + "-" + kPid) {
        CreateDirectoryA("C:\\tw-gui", nullptr);
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TSetupFolder() {
        removeInstallation();
        removeTree(path_);
        RemoveDirectoryA("C:\\tw-gui");
    }
    const std::string& Path() const { return path_; }
    std::string Program(const std::string& name = "setup.exe") {
        const std::string target = path_ + "\\" + name;
        CopyFileA(gSetupExe.c_str(), target.c_str(), FALSE);
        return target;
    }
    void File(const std::string& name, const std::string& content) {
        if (FILE* f = std::fopen((path_ + "\\" + name).c_str(), "wb")) {
            std::fwrite(content.data(), 1, content.size(), f);
            std::fclose(f);
        }
    }
    // The package enciphered as the packaging step ships it; signature replaces the first 25 bytes.
    // A data file with the package's items 1..N ("item n" each) goes beside it.
    void Package(const tarnwick::TPackage& package, const std::string& signature = "");

private:
    // What an installation of the packaged product may have left in the shared prefix: its
    // registry keys, its program folder and a destination below C:\Apps.
    void removeInstallation();

    std::string path_;
    std::optional<tarnwick::TPackage> package_;
};


// Walks the wizard window of one running setup.exe.
struct TWizard {
    TChecks& checks;
    TProcess& process;
    HWND form = nullptr;
    HWND operator[](const std::string& name) const { return control(form, name); }

    bool open(const std::string& caption) {
        form = waitWindow(process.Pid(), "TMainForm", caption);
        return checks.check(form != nullptr, caption.empty() ? "the wizard shows" : "the wizard \"" + caption + "\" shows");
    }
    bool onPage(int page) {
        waitText((*this)["Label1"], kCaptions[page]);
        return checks.equal(text((*this)["Label1"]), std::string(kCaptions[page]), std::string("page \"") + kCaptions[page] + "\"");
    }
    bool next(int expectedPage) { return click(checks, (*this)["NextButton"], "Next") && onPage(expectedPage); }
    bool back(int expectedPage) { return click(checks, (*this)["BackButton"], "Back") && onPage(expectedPage); }
    std::vector<std::string> memoLines() {
        std::vector<std::string> lines;
        const std::string all = text((*this)["Memo1"]);
        size_t start = 0;
        for (size_t at; (at = all.find("\r\n", start)) != std::string::npos; start = at + 2)
            lines.push_back(all.substr(start, at - start));
        lines.push_back(all.substr(start));
        return lines;
    }
    // To the destination page with a user name typed.
    void toDestination(const std::string& name = "Ann") {
        next(1);
        next(2);
        setText((*this)["NameEdit"], name);
        next(3);
    }
    // Cancel, then "E&xit Setup": the program ends.
    void exitSetup() {
        PostMessageA(form, WM_SYSCOMMAND, SC_CLOSE, 0);
        HWND exitForm = waitWindow(process.Pid(), "TExitForm", "Exit Setup");
        if (checks.check(exitForm != nullptr, "the exit question shows")) click(checks, control(exitForm, "Button2"), "Exit Setup");
        checks.equal(process.WaitExit(), 0L, "the program ends with 0 after Exit Setup");
    }
};


// The scenarios, one CTest test each.
void walkThePages(TChecks& checks);
void cancelAndResume(TChecks& checks);
void browseForTheDestination(TChecks& checks);
void lastPageOptions(TChecks& checks);
void installAndUninstall(TChecks& checks);
void installForTheDemo(TChecks& checks);
void uninstallForTheDemo(TChecks& checks);
void installationFailures(TChecks& checks);
void startUpPackages(TChecks& checks);
void uninstallQuestion(TChecks& checks);
void windows9xFolders(TChecks& checks);
void previousInstallation(TChecks& checks);
void plantedDllsStayUnloaded(TChecks& checks);

} // namespace gui
