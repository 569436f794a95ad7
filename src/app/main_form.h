// TMainForm (unit Main): the wizard window. It owns the run's whole state: start-up fills it
// (main_form_startup.cpp), the pages walk it (main_form_pages.cpp) and the runs work on it
// (main_form_runs.cpp).
#pragma once

#include "ui/form.h"
#include "zip/ziparchiver.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

namespace tarnwick {

class TMyBlowfish;
class TRegistryAccess;
class THandleByteSource;
class TPackageReader;

// Pages of Notebook1, in order.
enum TWizardPage : int {
    wpIntroduction = 0,
    wpWelcome,
    wpUserInformation,
    wpDestination,
    wpProgramFolder,
    wpStartCopying,
    wpCopying,
    wpFinished,
};

class TMainForm : public ui::TForm {
public:
    explicit TMainForm(TComponent* owner);
    ~TMainForm() override;

    // Handlers, bound by name in the form description.
    void Notebook1PageChanged(TObject* Sender);
    void NextButtonClick(TObject* Sender);
    void BackButtonClick(TObject* Sender);
    void NameEditChange(TObject* Sender);
    void Label11Click(TObject* Sender);
    void Label12Click(TObject* Sender);
    void TextLabel6Click(TObject* Sender);
    void Button3Click(TObject* Sender);
    void BrowseButtonClick(TObject* Sender);
    void ListBoxClick(TObject* Sender);
    void FormClose(TObject* Sender, ui::TCloseAction& Action);
    void FormDestroy(TObject* Sender);

    // The folder placeholders with the folders as they are now.
    std::string ExpandPlaceholders(const std::string& text) const;
    HRESULT CreateShortcut(const std::string& target, const std::string& linkFile, const std::string& description);
    void RunInstallation();
    void RunUninstallation();
    // /S in install mode: the package's default destination or /D=, the answers start-up found,
    // no page shown; the desktop shortcut only with /DESKTOP.
    void RunUnattendedInstallation();
    // A message for the user: shown in the wizard, only logged when unattended.
    void Notify(const std::string& text);
    void ZipArchiver1FileProgress(TObject* Sender, const std::string& FileName, double Progress,
                                  TZAProcessOperation Operation, TZAProgressPhase ProgressPhase, bool& Cancel);

    // Controls the code works with.
    ui::TControl* Label1;
    ui::TControl* Notebook1;
    ui::TControl* IntroImage;
    ui::TControl* NameLabel1;
    ui::TControl* TextLabel1;
    ui::TControl* NameEdit;
    ui::TControl* CompanyEdit;
    ui::TControl* TextLabel4;
    ui::TControl* PathLabel;
    ui::TControl* FolderEdit;
    ui::TControl* ListBox;
    ui::TControl* Memo1;
    ui::TControl* ProgressLabel;
    ui::TControl* ProgressBar1;
    ui::TControl* TextLabel5;
    ui::TControl* ReadmeCBox;
    ui::TControl* Label11;
    ui::TControl* DesktopCBox;
    ui::TControl* Label12;
    ui::TControl* RunCBox;
    ui::TControl* TextLabel6;
    ui::TControl* BackButton;
    ui::TControl* NextButton;
    ui::TControl* Button3;

    // The run's state. Folders carry no trailing backslash, except TemporaryFolder, which ends
    // with one and is empty unless this run created it.
    std::string ProductName;
    std::string PublisherName;
    std::string DestinationFolder;
    std::string ProgramFilesFolder;
    std::string ProgramsMenuFolder;
    std::string SetupFolder;
    std::string TemporaryFolder;
    std::string DesktopFolder;
    std::string MainProgramPath;
    bool UninstallMode = false;
    bool Unattended = false; // /S: no window, no question
    bool ReadmePresent = false;
    bool MainProgramPresent = false;
    std::int32_t ReservedHeaderInteger = 0;
    std::int32_t MainItemNumber = 0;
    std::int32_t ItemCount = 0;
    std::int32_t FileRecordCount = 0;
    std::int32_t RegistryRecordCount = 0;
    double LastProgress = 0;
    TMyBlowfish* Cipher = nullptr; // owned by the window
    TZipArchiver* ZipArchiver1 = nullptr; // owned by the window; opens the data archive
    std::unique_ptr<TRegistryAccess> Registry;
    // The deciphered package, open and positioned after the header; the runs read on from here.
    HANDLE PackageFile = INVALID_HANDLE_VALUE;
    std::unique_ptr<THandleByteSource> PackageSource;
    std::unique_ptr<TPackageReader> Package;

private:
    void startUp();
    void readShellFolders();
    void listProgramsMenuFolders();
    void fillSummary();
    void closePackageFile();
    void createZipArchiver();
};

extern TMainForm* MainForm;

// The uninstall question; true for Yes.
bool askToUninstall();
// Set when the question was answered before the window was made (by an uninstaller that hands
// the work to a copy of itself and could not): start-up then does not ask again.
extern bool UninstallConfirmed;

} // namespace tarnwick
