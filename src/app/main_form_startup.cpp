// Construction of the wizard window: run mode, folders, the private temporary folder, the
// package's header and the texts. Every failure is shown and ends the program; window destruction
// (FormDestroy) then removes what this run made.
#include "app/background.h"
#include "app/main_form.h"
#include "app/picture.h"
#include "app/exit_codes.h"
#include "app/setup_command_line.h"
#include "app/setup_log.h"
#include "app/setup_rules.h"
#include "app/temporary_folder.h"
#include "cipher/myblowfish.h"
#include "engine/handle_byte_source.h"
#include "engine/registry_access.h"
#include "package/package_reader.h"
#include "ui/application.h"

#include <cstdlib>
#include <ctime>
#include <random>

namespace tarnwick {

namespace {

constexpr const char* kPackageBroken = "The package file is currupted!!!";
constexpr const char* kNoTemporaryFolder =
    "Can't access temporary directory!!!\nIf you don't have permissions to work with registery please ask your "
    "administrator!";
constexpr const char* kCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kShellFoldersKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

bool fileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool isWindows9x() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&version)) return false;
#pragma GCC diagnostic pop
    return version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

} // namespace

bool UninstallConfirmed = false;

bool askToUninstall() {
    return MessageBoxA(nullptr,
                       "Are you sure you want to compleatly remove the selected application and all of its components?",
                       "Confirm Application Unistallation", MB_YESNO | MB_ICONQUESTION) != IDNO;
}

void TMainForm::Notify(const std::string& text) {
    SetupLog().Write("Message: " + text);
    if (!Unattended) ui::Application->ShowMessage(text);
}

void TMainForm::listProgramsMenuFolders() {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((ProgramsMenuFolder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName;
        if (found.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY && name != "." && name != "..") ListBox->ItemsAdd(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void TMainForm::readShellFolders() {
    if (isWindows9x()) {
        if (Registry->OpenKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\VolumeCaches\\Temporary files"))
            TemporaryFolder = withoutTrailingBackslash(Registry->ReadString("folder"));
        if (Registry->OpenKey(kCurrentVersionKey)) {
            NameEdit->SetText(Registry->ReadString("RegisteredOwner"));
            CompanyEdit->SetText(Registry->ReadString("RegisteredOrganization"));
        }
        Registry->SetRoot(HKEY_CURRENT_USER);
        if (Registry->OpenKey(kShellFoldersKey)) {
            DesktopFolder = Registry->ReadString("Common Desktop");
            if (DesktopFolder.empty()) DesktopFolder = Registry->ReadString("Desktop");
            if (DesktopFolder.empty()) DesktopFolder = ExpandPlaceholders("[WINDIR]\\Desktop");
            ProgramsMenuFolder = Registry->ReadString("Programs");
            listProgramsMenuFolders();
        }
        Registry->SetRoot(HKEY_LOCAL_MACHINE);
    } else {
        if (Registry->OpenKey(kShellFoldersKey)) {
            TemporaryFolder = Registry->ReadString("Common Templates");
            const std::string commonDesktop = Registry->ReadString("Common Desktop");
            if (!commonDesktop.empty()) DesktopFolder = commonDesktop;
            ProgramsMenuFolder = Registry->ReadString("Common Programs");
            listProgramsMenuFolders();
        }
        if (Registry->OpenKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion")) {
            NameEdit->SetText(Registry->ReadString("RegisteredOwner"));
            CompanyEdit->SetText(Registry->ReadString("RegisteredOrganization"));
        }
    }
}

void TMainForm::startUp() {
    Cipher = new TMyBlowfish(this);
    Cipher->Setpassword(TMyBlowfish::kDefaultPassword);

    char program[MAX_PATH * 2] = "";
    GetModuleFileNameA(nullptr, program, sizeof(program));
    const TSetupCommandLine& arguments = SetupArguments;
    Unattended = arguments.silent;
    // A relocated uninstaller works on the folder of the uninst.exe it was copied from.
    SetupFolder = setupFolderOf(arguments.isRelocatedUninstaller() ? arguments.originalUninstaller : program);
    if (isUninstallRun(arguments.firstArgument, program)) {
        const bool asked = Unattended || UninstallConfirmed || arguments.isRelocatedUninstaller();
        if (!asked && !askToUninstall()) {
            SetupLog().Write("The user answered No to the uninstall question");
            SetupExitCode = ecCancelled;
            ui::Application->Terminate();
            return;
        }
        UninstallMode = true;
    }
    SetupLog().Write(std::string("Mode: ") + (UninstallMode ? "uninstall" : "install") +
                     (Unattended ? ", unattended" : ", wizard"));
    SetupLog().Write("Setup folder: " + SetupFolder);
    ReadmePresent = fileExists(SetupFolder + "\\readme.txt");
    Registry = std::make_unique<TRegistryAccess>(HKEY_LOCAL_MACHINE);
    ListBox->ItemsClear();

    // TemporaryFolder holds the base folder until the private folder exists.
    TemporaryFolder = "c:\\TEMP";
    DesktopFolder = ExpandPlaceholders("[WINDIR]\\Desktop");
    readShellFolders();
    DesktopFolder = withoutTrailingBackslash(DesktopFolder);

    const std::string base = TemporaryFolder;
    TemporaryFolder.clear();
    for (const std::string& left : sweepLeftTemporaryFolders(base))
        SetupLog().Write("Removed a temporary folder left by an earlier run: " + left);
    std::minstd_rand random(static_cast<unsigned>(std::time(nullptr)) ^ GetTickCount());
    const std::string folder = createPrivateTemporaryFolder(base, [&] { return static_cast<int>(random() % 32768); });
    if (folder.empty()) {
        SetupLog().Write("No private temporary folder could be made in " + base);
        SetupExitCode = ecCouldNotStart;
        Notify(kNoTemporaryFolder);
        ui::Application->Terminate();
        return;
    }
    TemporaryFolder = folder;
    SetupLog().Write("Temporary folder: " + TemporaryFolder);

    const std::string shippedPackage = SetupFolder + "\\_setup.pkg";
    if (!fileExists(shippedPackage)) {
        SetupLog().Write("No package file: " + shippedPackage);
        SetupExitCode = ecCouldNotStart;
        Notify(kPackageBroken);
        ui::Application->Terminate();
        return;
    }
    const std::string copy = TemporaryFolder + "_setup";
    const bool copied = CopyFileA(shippedPackage.c_str(), copy.c_str(), FALSE) != 0;
    Cipher->Decrypt_File(copy.c_str());
    // The uninstaller's only package goes once it has been copied; after a failed copy it stays,
    // so a later try can still read it.
    if (UninstallMode && copied) DeleteFileA(shippedPackage.c_str());
    DeleteFileA(copy.c_str());

    const std::string deciphered = TemporaryFolder + "_setupDEC";
    PackageFile = CreateFileA(deciphered.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (PackageFile == INVALID_HANDLE_VALUE) {
        SetupLog().Write("The deciphered package cannot be opened: " + deciphered);
        SetupExitCode = ecCouldNotStart;
        Notify(kPackageBroken);
        DeleteFileA(deciphered.c_str());
        ui::Application->Terminate();
        return;
    }
    PackageSource = std::make_unique<THandleByteSource>(PackageFile);
    Package = std::make_unique<TPackageReader>(*PackageSource);
    if (!isPackageSignature(Package->ReadSignature())) {
        SetupLog().Write("Wrong package signature (a damaged package, or another key): " + shippedPackage);
        SetupExitCode = ecCouldNotStart;
        Notify(kPackageBroken);
        closePackageFile();
        DeleteFileA(deciphered.c_str());
        ui::Application->Terminate();
        return;
    }

    TPackageHeader header;
    Package->ReadHeaderFields(header);
    if (Package->IsShort()) {
        // A download cut inside the header: its names and counts would be empty or made up.
        SetupLog().Write("The package ends inside its header (a damaged download): " + shippedPackage);
        SetupExitCode = ecCouldNotStart;
        Notify(kPackageBroken);
        closePackageFile();
        DeleteFileA(deciphered.c_str());
        ui::Application->Terminate();
        return;
    }
    ProductName = header.productName;
    PublisherName = header.publisherName;
    DestinationFolder = header.destinationTemplate;
    if (!header.pictureName.empty() && fileExists(SetupFolder + "\\" + header.pictureName))
        IntroImage->SetPicture(loadPictureFile(SetupFolder + "\\" + header.pictureName));
    FolderEdit->SetText(header.programFolderName.empty() ? ProductName : header.programFolderName);
    ReservedHeaderInteger = header.reserved;
    MainItemNumber = header.mainItemNumber;
    ItemCount = header.itemCount;
    FileRecordCount = header.fileRecordCount;
    RegistryRecordCount = header.registryRecordCount;
    MainProgramPresent = MainItemNumber >= 1;

    ProgramFilesFolder = "c:";
    if (Registry->OpenKey(kCurrentVersionKey)) ProgramFilesFolder = Registry->ReadString("ProgramFilesDir");

    // [INSTALLDIR] stands for the template itself here: DestinationFolder still holds it.
    PathLabel->SetCaption(ExpandPlaceholders(header.destinationTemplate));
    DestinationFolder = UninstallMode ? SetupFolder : PathLabel->Caption();
    SetupLog().Write("Product: " + ProductName + " by " + PublisherName);
    SetupLog().Write("Destination folder: " + DestinationFolder);
    SetupLog().Write("Program Files folder: " + ProgramFilesFolder);
    SetupLog().Write("Programs menu folder: " + ProgramsMenuFolder);
    SetupLog().Write("Desktop folder: " + DesktopFolder);

    const std::string setupTitle = withProductName("%s Setup", ProductName);
    TWForm->Title1->SetCaption(ProductName);
    TWForm->Title2->SetCaption(ProductName);
    TWForm->SetCaption(setupTitle);
    NameLabel1->SetCaption(setupTitle);
    SetCaption(setupTitle);
    TextLabel1->SetCaption(withProductName(
        "The Tarnwick Setup will install %s on your computer. To continue press Next.", ProductName));
    TextLabel4->SetCaption(withProductName("Setup will install %s in the folowing folder.", ProductName));
    TextLabel5->SetCaption(withProductName("Setup has finished installing %s on your computer.\n\nSetup can launch "
                                           "the Read Me file and %s.  Choose the options you want below.",
                                           ProductName));
    RunCBox->SetCaption(withProductName("Yes, I want to launch %s now.", ProductName));
    TextLabel6->SetCaption("      " + RunCBox->Caption());
    ReadmeCBox->SetVisible(ReadmePresent);
    Label11->SetVisible(ReadmePresent);
    RunCBox->SetVisible(MainProgramPresent);
    TextLabel6->SetVisible(MainProgramPresent);
    DesktopCBox->SetVisible(MainProgramPresent);
    Label12->SetVisible(MainProgramPresent);

    Notebook1->SetPageIndex(wpIntroduction);
    if (UninstallMode) {
        Notebook1->SetPageIndex(wpCopying);
        NextButton->SetVisible(false);
        BackButton->SetVisible(false);
        Button3->SetVisible(false);
        return;
    }
    Registry->SetRoot(HKEY_LOCAL_MACHINE);
    if (Registry->OpenKey("SOFTWARE\\" + PublisherName + "\\" + ProductName)) {
        const std::string company = Registry->ReadString("Company");
        const std::string name = Registry->ReadString("Name");
        const std::string programFolder = Registry->ReadString("Program Folder");
        if (!company.empty()) CompanyEdit->SetText(company);
        if (!name.empty()) NameEdit->SetText(name);
        if (!programFolder.empty()) FolderEdit->SetText(programFolder);
    }
}

} // namespace tarnwick
