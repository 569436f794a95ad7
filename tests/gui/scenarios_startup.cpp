// Scenarios about start-up: package failures, the uninstall question, the 9x branch, a previous
// installation and the existing program folders.
#include "gui_fixtures.h"

#include "package/package_writer.h"
#include "cipher/myblowfish.h"

#include <shlwapi.h>

#include <cstring>
#include <string>
#include <vector>

namespace gui {

using tarnwick::TPackage;

// Start-up failures and the signature check, one row each.
void startUpPackages(TChecks& checks) {
    struct TCase {
        const char* name;
        bool package;
        std::string signature; // empty: the packager's own
        bool accepted;
        const char* shotName;
        const char* picture = nullptr; // content of the package's picture file
    };
    const TCase cases[] = {
        {"no package", false, "", false, "14-package-missing"},
        {"signature in other letter case", true, "tARNWICKiNSTALLER        ", true, nullptr},
        {"one padding byte changed", true, "TarnwickInstaller       x", false, nullptr},
        {"package enciphered with another key", true, "", false, nullptr},
        {"a picture that cannot be read", true, "", true, nullptr, "\xFF\xD8 not really a JPEG"},
        {"no temporary folder can be made", true, "", false, "17-no-temporary-folder"},
    };
    const std::string templates = commonFolder("Common Templates");
    for (const TCase& c : cases) {
        checks.note(c.name);
        TSetupFolder folder("startup");
        if (c.package) {
            TPackage package = samplePackage();
            if (c.picture != nullptr) {
                package.header.pictureName = "intro.jpg";
                folder.File("intro.jpg", c.picture);
            }
            folder.Package(package, c.signature);
        }
        if (std::strcmp(c.name, "package enciphered with another key") == 0) {
            // Re-encipher the plain package with a different password.
            std::vector<unsigned char> bytes = tarnwick::writePackage(samplePackage());
            folder.File("_setup", std::string(bytes.begin(), bytes.end()));
            tarnwick::TMyBlowfish other(nullptr);
            other.Setpassword("not the key");
            other.Encrypt_File((folder.Path() + "\\_setup").c_str());
            MoveFileExA((folder.Path() + "\\_setupBLW").c_str(), (folder.Path() + "\\_setup.pkg").c_str(),
                        MOVEFILE_REPLACE_EXISTING);
            DeleteFileA((folder.Path() + "\\_setup").c_str());
        }
        const size_t foldersBefore = temporaryFolders(templates).size();
        // The temporary folder's base below a file: it cannot be created.
        const bool noTemporaryFolder = std::strcmp(c.name, "no temporary folder can be made") == 0;
        if (noTemporaryFolder) folder.File("blocker", "");
        std::optional<TRegistryValue> base;
        if (noTemporaryFolder) base.emplace(HKEY_LOCAL_MACHINE, kShellFolders, "Common Templates", folder.Path() + "\\blocker\\temp");
        TProcess setup;
        setup.Start(folder.Program(), "", folder.Path());
        if (c.accepted) {
            TWizard w{checks, setup};
            if (w.open("Tool Setup")) {
                w.onPage(0);
                checks.check(staysAbsent(setup.Pid(), "#32770", ""), "no message");
                checks.check(isWhite(screenPixel(w.form, kIntroX, kIntroY)), "the Introduction picture stays empty");
                w.exitSetup();
            }
        } else {
            HWND box = waitWindow(setup.Pid(), "#32770", "Tarnwick Setup");
            if (checks.check(box != nullptr, "a message captioned \"Tarnwick Setup\" shows")) {
                checks.equal(dialogText(box),
                             std::string(noTemporaryFolder ? "Can't access temporary directory!!!\nIf you don't have "
                                                             "permissions to work with registery please ask your "
                                                             "administrator!"
                                                           : kPackageBroken),
                             "the message");
                checks.check(findWindow(setup.Pid(), "TMainForm", "") == nullptr &&
                                 findWindow(setup.Pid(), "TTWForm", "") == nullptr,
                             "no window is shown");
                if (c.shotName != nullptr) shot(c.shotName);
                click(checks, GetDlgItem(box, IDOK), "OK");
            }
            checks.equal(setup.WaitExit(), 1L, "the program ends with 1 (could not start) after the message");
        }
        checks.equal(temporaryFolders(templates).size(), foldersBefore, "no temporary folder is left behind");
    }
}

void uninstallQuestion(TChecks& checks) {
    struct TCase {
        const char* name;
        int answer;
        bool packageKept;
        long exitCode;
        bool packageUnreadable = false; // held open so that it cannot be copied (but can be deleted)
        const char* program = "uninst.exe";
        const char* arguments = "";
    };
    const TCase cases[] = {{"No", IDNO, true, 2},
                           {"Yes", IDYES, false, 0},
                           {"Yes", IDYES, true, 1, true},
                           {"No", IDNO, true, 2, false, "setup.exe", "-uninstall"}};
    const std::string templates = commonFolder("Common Templates");
    for (const TCase& c : cases) {
        const std::string run = std::string(c.program) + (c.arguments[0] != '\0' ? std::string(" ") + c.arguments : "");
        checks.note(run + ", answer " + c.name);
        TSetupFolder folder("uninstall");
        folder.Package(samplePackage());
        const size_t foldersBefore = temporaryFolders(templates).size();
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.packageUnreadable) {
            checks.note("with a package that cannot be copied");
            held = CreateFileA((folder.Path() + "\\_setup.pkg").c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        }
        TProcess setup;
        setup.Start(folder.Program(c.program), c.arguments, folder.Path());
        HWND box = waitWindow(setup.Pid(), "#32770", "Confirm Application Unistallation");
        if (checks.check(box != nullptr, run + " asks first")) {
            checks.equal(dialogText(box),
                         std::string("Are you sure you want to compleatly remove the selected application and all of "
                                     "its components?"),
                         "the question");
            checks.check(GetDlgItem(box, IDYES) != nullptr && GetDlgItem(box, IDNO) != nullptr, "Yes and No buttons");
            if (c.answer == IDNO) shot("15-uninstall-question");
            click(checks, GetDlgItem(box, c.answer), c.name);
        }
        if (c.packageUnreadable) {
            HWND broken = waitWindow(setup.Pid(), "#32770", "Tarnwick Setup");
            if (checks.check(broken != nullptr, "a package that cannot be copied is reported"))
                click(checks, GetDlgItem(broken, IDOK), "OK");
        }
        checks.equal(setup.WaitExit(), c.exitCode, "the program ends with its exit code");
        // uninst.exe hands the work to a copy of itself, which ends a moment after the original.
        checks.check(waitFor([] { return processesNamed("uninst.exe").empty(); }), "no uninst.exe is left running");
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        checks.equal(exists(folder.Path() + "\\_setup.pkg"), c.packageKept, "_setup.pkg beside the program kept");
        checks.equal(temporaryFolders(templates).size(), foldersBefore, "no temporary folder is left behind");
        if (c.packageKept) continue;
        // The package went with the first uninstallation, and uninst.exe with it (the folder has
        // other files, so it stays): a second uninstaller put there finds no package.
        checks.check(!exists(folder.Path() + "\\uninst.exe"), "uninst.exe removed itself");
        TProcess again;
        again.Start(folder.Program("uninst.exe"), "", folder.Path());
        if (HWND question = waitWindow(again.Pid(), "#32770", "Confirm Application Unistallation"))
            click(checks, GetDlgItem(question, IDYES), "Yes");
        HWND broken = waitWindow(again.Pid(), "#32770", "Tarnwick Setup");
        if (checks.check(broken != nullptr, "a second uninstallation from the same folder stops")) {
            checks.equal(dialogText(broken), std::string(kPackageBroken), "the message");
            click(checks, GetDlgItem(broken, IDOK), "OK");
        }
        checks.equal(again.WaitExit(), 1L, "and ends with 1 (could not start)");
    }
}

// The Windows 95/98/Me branch: Wine reports that family for setup.exe alone.
void windows9xFolders(TChecks& checks) {
    const std::string base = "C:\\tw-gui-9x-" + kPid;
    TRegistryValue version(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\setup.exe", "Version", "win98");
    TRegistryValue temporary(HKEY_LOCAL_MACHINE,
                             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\VolumeCaches\\Temporary files",
                             "folder", base + "\\");
    TRegistryValue owner(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "RegisteredOwner", "Nine Owner");
    TRegistryValue ntOwner(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "RegisteredOwner", "NT Owner");
    TSetupFolder folder("win9x");
    folder.Package(samplePackage());
    TProcess setup;
    setup.Start(folder.Program(), "", folder.Path());
    TWizard w{checks, setup};
    if (w.open("Tool Setup")) {
        checks.equal(temporaryFolders(base).size(), size_t{1}, "the private folder is made in the 9x temporary folder");
        checks.equal(text(w["NameEdit"]), std::string("Nine Owner"), "the 9x registered owner fills the name");
        // The per-user shell folders: without "Common Desktop" there, "Desktop" takes the shortcut.
        const std::string desktopLink =
            readString(HKEY_CURRENT_USER, kShellFolders, "Desktop").value_or("?") + "\\Tool.lnk";
        DeleteFileA(desktopLink.c_str());
        w.next(1);
        w.next(2);
        w.next(3);
        w.next(4);
        w.next(5);
        w.next(7);
        clickAt(w["Label12"], 120, 5);
        waitFor([&] { return checked(w["DesktopCBox"]); }, 3000);
        click(checks, w["NextButton"], "Finish");
        checks.equal(setup.WaitExit(), 0L, "Finish ends the program");
        checks.check(exists(desktopLink), "the desktop shortcut goes to the user's Desktop folder");
        DeleteFileA(desktopLink.c_str());
        checks.equal(temporaryFolders(base).size(), size_t{0}, "and removed at the end");
    }
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\setup.exe");
    removeTree(base);
}

// A previous installation's answers and the existing program folders.
void previousInstallation(TChecks& checks) {
    const std::string productKey = "SOFTWARE\\Tarnwick Tests\\Tool";
    writeString(HKEY_LOCAL_MACHINE, productKey, "Name", "");
    writeString(HKEY_LOCAL_MACHINE, productKey, "Company", "Prev Co");
    writeString(HKEY_LOCAL_MACHINE, productKey, "Program Folder", "Prev Folder");
    TRegistryValue ntOwner(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "RegisteredOwner", "Reg Owner");
    const std::string existingName = "TW Existing " + kPid;
    const std::string existing = commonFolder("Common Programs") + "\\" + existingName;
    CreateDirectoryA(existing.c_str(), nullptr);
    TSetupFolder folder("previous");
    folder.Package(samplePackage());
    TProcess setup;
    setup.Start(folder.Program(), "", folder.Path());
    TWizard w{checks, setup};
    if (w.open("Tool Setup")) {
        checks.equal(text(w["NameEdit"]), std::string("Reg Owner"), "an empty previous name keeps the registered owner");
        checks.equal(text(w["CompanyEdit"]), std::string("Prev Co"), "the previous company");
        checks.equal(text(w["FolderEdit"]), std::string("Prev Folder"), "the previous program folder");
        w.next(1);
        w.next(2);
        w.next(3);
        w.next(4);
        HWND list = w["ListBox"];
        const std::vector<std::string> items = listItems(list);
        size_t index = 0;
        while (index < items.size() && items[index] != existingName) ++index;
        if (!checks.check(index < items.size(), "the existing program folders are listed")) {
            for (const std::string& item : items) checks.note("listed: [" + item + "]");
        } else {
            SendMessageA(list, LB_SETTOPINDEX, index, 0);
            const int top = static_cast<int>(SendMessageA(list, LB_GETTOPINDEX, 0, 0));
            const int itemHeight = static_cast<int>(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
            clickAt(list, 30, (static_cast<int>(index) - top) * itemHeight + itemHeight / 2);
            checks.check(waitText(w["FolderEdit"], existingName), "clicking a folder puts it in the program folder");
        }
        shot("16-program-folder-existing", w.form);
        w.exitSetup();
    }
    RemoveDirectoryA(existing.c_str());
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick Tests");
}

} // namespace gui
