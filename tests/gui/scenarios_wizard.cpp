// Scenarios that walk the wizard: the pages, Cancel, Browse, the last page.
#include "gui_fixtures.h"

#include "package/package_writer.h"
#include "cipher/myblowfish.h"

#include <shlwapi.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace gui {

using tarnwick::TPackage;

void walkThePages(TChecks& checks) {
    TSetupFolder folder("walk");
    TPackage package = samplePackage();
    package.header.pictureName = "intro.jpg";
    folder.Package(package);
    folder.File("intro.jpg", readFile(TARNWICK_SOURCE_DIR "/examples/notepad/art/intro.jpg"));
    folder.File("readme.txt", "Read me first.\r\n");
    // A fresh Wine prefix has no ".txt" association; a Windows system has one.
    TRegistryValue textFiles(HKEY_CLASSES_ROOT, ".txt", "", "txtfile");
    const std::string templates = commonFolder("Common Templates");
    const size_t foldersBefore = temporaryFolders(templates).size();
    TProcess setup;
    checks.check(setup.Start(folder.Program(), "", folder.Path()), "setup.exe starts");
    TWizard w{checks, setup};
    if (!w.open("Tool Setup")) return;
    HWND background = findWindow(setup.Pid(), "TTWForm", "Tool Setup");
    checks.check(background != nullptr, "the background window is captioned \"Tool Setup\"");
    // The background: maximised, the gradient from blue at the top to black at the bottom over
    // its whole client area; the wizard in its middle.
    RECT client{};
    GetClientRect(background, &client);
    checks.check(client.right >= GetSystemMetrics(SM_CXSCREEN) - 8, "the background window fills the screen's width");
    const COLORREF top = screenPixel(background, client.right - 3, 1);
    const COLORREF bottom = screenPixel(background, client.right - 3, client.bottom - 2);
    checks.check(GetBValue(top) > 240 && GetRValue(top) == 0, "the gradient starts blue at the top");
    checks.check(GetBValue(bottom) < 10 && GetRValue(bottom) == 0, "and ends black at the bottom");
    const RECT outer = windowRect(background), wizard = windowRect(w.form);
    checks.check(std::abs((outer.left + outer.right) - (wizard.left + wizard.right)) <= 2 &&
                     std::abs((outer.top + outer.bottom) - (wizard.top + wizard.bottom)) <= 2,
                 "the wizard sits in the middle of the background window");
    w.onPage(0);
    checks.check(!enabled(w["BackButton"]) && enabled(w["NextButton"]), "Introduction: Back disabled, Next enabled");
    checks.equal(temporaryFolders(templates).size(), foldersBefore + 1, "one private temporary folder is made");
    checkLayout(checks, w.form, 690, 496,
                {{"Panel1", 0, 0, 690, 57},          {"Notebook1", 172, 59, 518, 394},
                 {"Panel2", 0, 453, 690, 43},        {"BackButton", 392, 10, 75, 25},
                 {"NextButton", 472, 10, 75, 25},    {"Button3", 608, 10, 75, 25},
                 {"TextLabel1", 40, 168, 441, 177},  {"TextLabel3", 40, 40, 433, 57},
                 {"NameEdit", 96, 170, 377, 21},     {"CompanyEdit", 96, 202, 377, 21},
                 {"TextLabel4", 40, 40, 433, 33},    {"Label5", 40, 80, 433, 81},
                 {"GroupBox1", 40, 173, 433, 49},    {"PathLabel", 8, 22, 329, 13},
                 {"BrowseButton", 350, 16, 75, 25},  {"Label6", 40, 40, 433, 41},
                 {"FolderEdit", 40, 96, 433, 21},    {"ListBox", 40, 144, 433, 209},
                 {"Label9", 40, 40, 433, 73},        {"Memo1", 40, 128, 433, 225},
                 {"ProgressLabel", 32, 168, 457, 13}, {"ProgressBar1", 32, 184, 457, 17},
                 {"TextLabel5", 40, 40, 433, 81},    {"ReadmeCBox", 40, 157, 13, 17},
                 {"Label11", 40, 160, 433, 13},      {"DesktopCBox", 40, 189, 13, 17},
                 {"Label12", 40, 192, 433, 13},      {"RunCBox", 40, 221, 13, 17},
                 {"TextLabel6", 40, 224, 433, 13}});
    const COLORREF intro = screenPixel(w.form, kIntroX, kIntroY);
    checks.check(GetRValue(intro) > 180 && GetBValue(intro) < 120, "the package's JPEG picture shows on Introduction");
    shot("00-screen");
    shot("01-introduction", w.form);

    w.next(1);
    checks.check(enabled(w["BackButton"]), "Back is enabled after the first Next");
    checks.equal(text(w["NameLabel1"]), std::string("Tool Setup"), "welcome title");
    checks.equal(text(w["TextLabel1"]),
                 std::string("The Tarnwick Setup will install Tool on your computer. To continue press Next."),
                 "welcome text");
    shot("02-welcome", w.form);

    w.next(2);
    checks.equal(focused(setup.Pid()), w["NameEdit"], "User Information focuses the name");
    checks.check(!enabled(w["NextButton"]), "Next is disabled while the name is empty");
    setText(w["NameEdit"], "Ann");
    checks.check(enabled(w["NextButton"]), "typing a name enables Next");
    setText(w["NameEdit"], "");
    checks.check(!enabled(w["NextButton"]), "deleting the name disables Next again");
    setText(w["NameEdit"], "Ann");
    setText(w["CompanyEdit"], "");
    shot("03-user-information", w.form);

    w.back(1);
    w.back(0);
    checks.check(!enabled(w["BackButton"]), "Back from Welcome reaches Introduction and disables Back");
    w.next(1);
    w.next(2);
    checks.check(enabled(w["NextButton"]), "with a name typed, Next stays enabled on User Information");

    // Enter in the name field presses the default button, Next.
    PostMessageA(w["NameEdit"], WM_KEYDOWN, VK_RETURN, 0);
    PostMessageA(w["NameEdit"], WM_KEYUP, VK_RETURN, 0xC0000001);
    w.onPage(3);
    checks.equal(text(w["PathLabel"]), std::string("C:\\Apps\\Tool"), "the destination is the package's");
    checks.equal(text(w["TextLabel4"]), std::string("Setup will install Tool in the folowing folder."), "destination text");
    checks.equal(focused(setup.Pid()), w["NextButton"], "the destination page focuses Next");
    shot("04-destination", w.form);

    w.next(4);
    checks.equal(text(w["FolderEdit"]), std::string("Tool"), "an empty program folder name gives the product name");
    shot("05-program-folder", w.form);

    const std::vector<std::string> summary = {"Destination Folder:", "     C:\\Apps\\Tool", "", "Program Folder:",
                                              "     Tool", "", "User Inforation:", "     Name: Ann",
                                              "     Company: "};
    w.next(5);
    checks.check(w.memoLines() == summary, "the summary has its nine lines");
    shot("06-start-copying", w.form);
    w.back(4);
    w.next(5);
    checks.check(w.memoLines() == summary, "entering the summary again fills it afresh, not twice");

    w.next(7);
    // Next on the summary ran the installation before reaching the last page.
    checks.equal(readFile("C:\\Apps\\Tool\\tool.exe"), std::string("item 1"), "the main item is installed");
    checks.check(exists("C:\\Apps\\Tool\\uninst.exe"), "uninst.exe is placed beside the product");
    checks.equal(readString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool",
                            "UninstallString").value_or(""),
                 std::string("\"C:\\Apps\\Tool\\uninst.exe\" -uninstall"), "the uninstall entry quotes the program's path");
    checks.equal(readString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick Tests\\Tool", "Name").value_or(""), std::string("Ann"),
                 "the product key keeps the user's name");
    checks.equal(text(w["NextButton"]), std::string("Finish"), "the last page has Finish");
    checks.check(!visible(w["BackButton"]) && !visible(w["Button3"]), "the last page hides Back and Cancel");
    for (const char* name : {"ReadmeCBox", "Label11", "DesktopCBox", "Label12", "RunCBox", "TextLabel6"})
        checks.check(visible(w[name]), std::string(name) + " shows with a readme and a main program");
    checks.equal(focused(setup.Pid()), w["ReadmeCBox"], "the first option has the focus");
    // Tab walks the options in their order.
    for (const char* next : {"DesktopCBox", "RunCBox"}) {
        PostMessageA(focused(setup.Pid()), WM_KEYDOWN, VK_TAB, 0);
        PostMessageA(focused(setup.Pid()), WM_KEYUP, VK_TAB, 0xC0000001);
        checks.check(waitFor([&] { return focused(setup.Pid()) == w[next]; }, 3000), std::string("Tab moves on to ") + next);
    }
    checks.equal(text(w["TextLabel6"]), std::string("      Yes, I want to launch Tool now."), "launch option text");
    shot("07-setup-complete", w.form);

    // Each label toggles its own box.
    const std::pair<const char*, const char*> toggles[] = {
        {"Label11", "ReadmeCBox"}, {"Label12", "DesktopCBox"}, {"TextLabel6", "RunCBox"}};
    for (const auto& [label, box] : toggles) {
        clickAt(w[label], 120, 5);
        checks.check(waitFor([&] { return checked(w[box]); }, 3000), std::string(label) + " ticks " + box);
        clickAt(w[label], 120, 5);
        checks.check(waitFor([&] { return !checked(w[box]); }, 3000), std::string(label) + " unticks " + box);
    }
    for (const char* label : {"Label11", "Label12"}) clickAt(w[label], 120, 5);
    waitFor([&] { return checked(w["ReadmeCBox"]) && checked(w["DesktopCBox"]); }, 3000);

    const std::string desktopLink = commonFolder("Common Desktop") + "\\Tool.lnk";
    DeleteFileA(desktopLink.c_str());
    click(checks, w["NextButton"], "Finish");
    checks.equal(setup.WaitExit(), 0L, "Finish ends the program with 0");
    checks.check(exists(desktopLink), "Finish with the desktop option writes " + desktopLink);
    DeleteFileA(desktopLink.c_str());
    // The Read Me option opens readme.txt through the shell: Wine's Notepad shows it.
    HWND notepad = nullptr;
    waitFor([&] { return (notepad = FindWindowA("Notepad", nullptr)) != nullptr && IsWindowVisible(notepad); });
    if (checks.check(notepad != nullptr, "Finish with the Read Me option opens readme.txt")) {
        checks.check(text(notepad).find("readme") != std::string::npos, "the editor shows readme.txt: " + text(notepad));
        PostMessageA(notepad, WM_CLOSE, 0, 0);
        checks.check(waitFor([&] { return !IsWindow(notepad); }), "the editor closes again");
    }
    checks.equal(temporaryFolders(templates).size(), foldersBefore, "the private temporary folder is removed");
}

void cancelAndResume(TChecks& checks) {
    TSetupFolder folder("cancel");
    folder.Package(samplePackage());
    TProcess setup;
    setup.Start(folder.Program(), "", folder.Path());
    TWizard w{checks, setup};
    if (!w.open("Tool Setup")) return;
    w.next(1);
    click(checks, w["Button3"], "Cancel");
    HWND exitForm = waitWindow(setup.Pid(), "TExitForm", "Exit Setup");
    if (!checks.check(exitForm != nullptr, "Cancel shows the exit question")) return;
    checks.check(!enabled(w.form), "the wizard waits behind the question");
    const RECT background = windowRect(findWindow(setup.Pid(), "TTWForm", ""));
    const RECT dialog = windowRect(exitForm);
    const int width = dialog.right - dialog.left, height = dialog.bottom - dialog.top;
    checks.equal(dialog.left, (background.right - background.left) - width - 10, "the question's left edge");
    checks.equal(dialog.top, (background.bottom - background.top) - height - 10, "the question's top edge");
    checkLayout(checks, exitForm, 345, 182,
                {{"Label1", 16, 16, 297, 33}, {"Label2", 16, 56, 297, 33}, {"Label3", 16, 96, 297, 33},
                 {"Button1", 176, 144, 75, 25}, {"Button2", 256, 144, 75, 25}});
    checks.equal(text(control(exitForm, "Button1")), std::string("&Resume"), "Resume button");
    checks.equal(text(control(exitForm, "Button2")), std::string("E&xit Setup"), "Exit Setup button");
    shot("08-exit-question");
    click(checks, control(exitForm, "Button1"), "Resume");
    checks.check(waitFor([&] { return !IsWindowVisible(exitForm) && enabled(w.form); }), "Resume closes the question");
    w.onPage(1);
    checks.check(setup.Running(), "Resume keeps the program running");
    w.exitSetup();
    checks.check(!readString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwick Tests\\Tool", "Name").has_value(),
                 "nothing of the product was recorded");
}

void browseForTheDestination(TChecks& checks) {
    const std::string programFiles =
        readString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir").value_or("");
    const std::string existingName = "TW Gui Existing " + kPid;
    const std::string existing = programFiles + "\\" + existingName;
    const std::string fresh = "C:\\TW Gui New " + kPid;
    CreateDirectoryA(existing.c_str(), nullptr);
    TSetupFolder folder("browse");
    folder.Package(samplePackage("Tool", 1, "[PROGRAMFILES]\\TW Gui Missing " + kPid));
    TProcess setup;
    setup.Start(folder.Program(), "", folder.Path());
    TWizard w{checks, setup};
    if (w.open("Tool Setup")) {
        w.toDestination();
        HWND pathLabel = w["PathLabel"];
        const std::string proposed = programFiles + "\\TW Gui Missing " + kPid;
        checks.equal(text(pathLabel), proposed, "[PROGRAMFILES] is expanded in the destination");

        auto browse = [&]() -> HWND {
            click(checks, w["BrowseButton"], "Browse");
            HWND dirForm = waitWindow(setup.Pid(), "TDirForm", "Choose Directory");
            checks.check(dirForm != nullptr, "Browse opens the directory chooser");
            return dirForm;
        };
        auto answer = [&](const std::string& expectedText, int button, const char* shotName) {
            HWND box = waitWindow(setup.Pid(), "#32770", "Tarnwick Installer");
            if (!checks.check(box != nullptr, "a \"Tarnwick Installer\" box shows")) return;
            checks.equal(dialogText(box), expectedText, "the box's text");
            if (shotName != nullptr) shot(shotName);
            click(checks, GetDlgItem(box, button), "box button");
            waitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); });
        };
        auto typeAndOk = [&](HWND dirForm, const std::string& path) {
            setText(control(dirForm, "PathEdit"), path);
            click(checks, control(dirForm, "Button1"), "OK");
        };

        // A destination that does not exist: the list opens at Program Files, the edit keeps it.
        HWND dirForm = browse();
        if (dirForm == nullptr) return;
        HWND list = control(dirForm, "DirectoryListBox1");
        checks.equal(text(control(dirForm, "PathEdit")), proposed, "the edit box shows the proposed destination");
        const std::vector<std::string> items = listItems(list);
        size_t index = 0;
        while (index < items.size() && items[index] != existingName) ++index;
        checks.check(index < items.size(), "the folder list shows Program Files' folders");
        const RECT chooser = windowRect(dirForm);
        checks.check(std::abs(chooser.left + chooser.right - GetSystemMetrics(SM_CXSCREEN)) <= 2 &&
                         std::abs(chooser.top + chooser.bottom - GetSystemMetrics(SM_CYSCREEN)) <= 2,
                     "the directory chooser is centred on the screen");
        checkLayout(checks, dirForm, 248, 266,
                    {{"PathEdit", 16, 56, 217, 21}, {"DirectoryListBox1", 16, 104, 137, 97},
                     {"Button1", 160, 104, 75, 25}, {"Button2", 160, 136, 75, 25}});
        shot("09-choose-directory", dirForm);
        // Double-click the existing folder: the edit follows the list.
        SendMessageA(list, LB_SETTOPINDEX, index, 0);
        const int top = static_cast<int>(SendMessageA(list, LB_GETTOPINDEX, 0, 0));
        const int itemHeight = static_cast<int>(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
        clickAt(list, 30, (static_cast<int>(index) - top) * itemHeight + itemHeight / 2, true);
        checks.check(waitText(control(dirForm, "PathEdit"), existing), "double-clicking a folder puts it in the edit box");
        click(checks, control(dirForm, "Button1"), "OK");
        checks.check(staysAbsent(setup.Pid(), "#32770", "Tarnwick Installer"), "an existing folder is taken without a question");
        checks.equal(text(pathLabel), existing, "the chosen folder is the destination");

        // A new folder: asked, No keeps the destination, Yes takes it without creating it.
        const std::string question = "The directory:\n\n'" + fresh + "'\n\n does not exist. Do you want the directory to be created?";
        typeAndOk(browse(), fresh);
        answer(question, IDNO, "10-create-question");
        checks.equal(text(pathLabel), existing, "No keeps the destination");
        typeAndOk(browse(), fresh);
        answer(question, IDYES, nullptr);
        checks.equal(text(pathLabel), fresh, "Yes takes the new folder");
        checks.check(!exists(fresh), "the new folder is not created by Browse");

        // No drive: the invalid-path message.
        typeAndOk(browse(), "Apps\\Tool");
        answer("The specified directory:\n\n'Apps\\Tool'\n\n is invalid, incomplete or write protected. Please type a "
               "full path with drive letter; for example 'C:APPS'.",
               IDOK, "11-invalid-path");
        checks.equal(text(pathLabel), fresh, "an invalid path keeps the destination");

        // A share counts as the drive part.
        typeAndOk(browse(), "\\\\server\\share\\Tool");
        answer("The directory:\n\n'\\\\server\\share\\Tool'\n\n does not exist. Do you want the directory to be created?",
               IDNO, nullptr);

        // Cancel, and OK without a change: no message, destination kept.
        dirForm = browse();
        checks.equal(text(control(dirForm, "PathEdit")), fresh, "the edit box shows the not yet existing destination");
        click(checks, control(dirForm, "Button2"), "Cancel");
        checks.check(staysAbsent(setup.Pid(), "#32770", "Tarnwick Installer"), "Cancel asks nothing");
        click(checks, control(browse(), "Button1"), "OK");
        checks.check(staysAbsent(setup.Pid(), "#32770", "Tarnwick Installer"), "OK without a change asks nothing");

        // Another drive picked in the drive selector: the folder list and the edit box follow it.
        dirForm = browse();
        HWND drives = control(dirForm, "DriveComboBox1");
        const LRESULT zIndex = SendMessageA(drives, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("z:"));
        if (checks.check(zIndex != CB_ERR, "the drive selector lists Wine's z: drive")) {
            SendMessageA(drives, CB_SETCURSEL, static_cast<WPARAM>(zIndex), 0);
            PostMessageA(GetParent(drives), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(drives), CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(drives));
            checks.check(waitFor([&] {
                             const std::string path = text(control(dirForm, "PathEdit"));
                             return path.size() >= 2 && (path[0] == 'Z' || path[0] == 'z') && path[1] == ':';
                         }),
                         "choosing drive z: moves the folder list and the edit box there");
        }
        click(checks, control(dirForm, "Button2"), "Cancel");
        waitFor([&] { return !IsWindowVisible(dirForm); });
        checks.equal(text(pathLabel), fresh, "the destination stays");

        w.next(4);
        w.next(5);
        const std::vector<std::string> lines = w.memoLines();
        checks.check(lines.size() > 1 && lines[1] == "     " + fresh, "the summary shows the chosen destination");
        w.exitSetup();
    }
    RemoveDirectoryA(existing.c_str());
    RemoveDirectoryA(fresh.c_str());
}

// The last page's options and the close box there.
void lastPageOptions(TChecks& checks) {
    struct TCase {
        const char* name;
        bool readme;
        std::int32_t mainItem;
    };
    const TCase cases[] = {{"no readme, main program", false, 1}, {"no readme, no main program", false, 0}};
    for (const TCase& c : cases) {
        checks.note(c.name);
        TSetupFolder folder("options");
        folder.Package(samplePackage("Tool", c.mainItem));
        if (c.readme) folder.File("readme.txt", "x");
        TProcess setup;
        setup.Start(folder.Program(), "", folder.Path());
        TWizard w{checks, setup};
        if (!w.open("Tool Setup")) continue;
        w.toDestination();
        w.next(4);
        w.next(5);
        w.next(7);
        const bool main = c.mainItem >= 1;
        checks.equal(visible(w["ReadmeCBox"]) || visible(w["Label11"]), c.readme, "Read Me option shown");
        checks.equal(visible(w["DesktopCBox"]) && visible(w["Label12"]), main, "desktop option shown");
        checks.equal(visible(w["RunCBox"]) && visible(w["TextLabel6"]), main, "launch option shown");
        HWND focus = focused(setup.Pid());
        checks.check(main ? focus == w["DesktopCBox"] : (focus != w["ReadmeCBox"] && focus != w["DesktopCBox"] && focus != w["RunCBox"]),
                     "focus is on the first shown option, or on none");
        const std::string desktopLink = commonFolder("Common Desktop") + "\\Tool.lnk";
        DeleteFileA(desktopLink.c_str());
        if (main) {
            shot("12-setup-complete-no-readme", w.form);
            clickAt(w["Label12"], 120, 5);
            waitFor([&] { return checked(w["DesktopCBox"]); }, 3000);
            // The close box on the last page: no question, no Finish actions.
            PostMessageA(w.form, WM_SYSCOMMAND, SC_CLOSE, 0);
            checks.check(staysAbsent(setup.Pid(), "TExitForm", "Exit Setup"), "the close box asks nothing on the last page");
            checks.equal(setup.WaitExit(), 0L, "the close box ends the program");
            checks.check(!exists(desktopLink), "closing is not Finish: no desktop shortcut");
        } else {
            shot("13-setup-complete-no-options", w.form);
            click(checks, w["NextButton"], "Finish");
            checks.equal(setup.WaitExit(), 0L, "Finish without options only closes");
        }
    }
}

} // namespace gui
