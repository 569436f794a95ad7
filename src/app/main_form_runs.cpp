// The wizard's entry points into the installation engine, and the window's side of a run: the
// progress bar and its label, message processing, messages, Back/Next and the Next action.
#include "app/main_form.h"

#include "app/exit_codes.h"
#include "app/setup_command_line.h"
#include "app/setup_log.h"
#include "cipher/myblowfish.h"
#include "engine/install_run.h"
#include "engine/message_pacing.h"
#include "engine/registry_access.h"
#include "engine/shortcut.h"
#include "engine/uninstall_run.h"
#include "package/package_reader.h"
#include "ui/application.h"

#include <algorithm>
#include <exception>

namespace tarnwick {
namespace {

// The window's side of a run. Unattended, the window is never shown: messages go to the log
// only, and the Next action, which would show the last page, does nothing.
class TWizardRunHost final : public TRunHost {
public:
    explicit TWizardRunHost(TMainForm& form) : form_(form) {}

    void SetProgressMax(int max) override { form_.ProgressBar1->SetMax(max); }
    int ProgressMax() const override { return form_.ProgressBar1->Max(); }
    void SetProgressPosition(int position) override {
        // The bar clamps what it is given; keep the remembered position the same as the bar's.
        form_.ProgressBar1->SetPosition(std::clamp(position, 0, std::max(form_.ProgressBar1->Max(), 0)));
    }
    int ProgressPosition() const override { return form_.ProgressBar1->Position(); }
    void SetProgressLabel(const std::string& text) override { form_.ProgressLabel->SetCaption(text); }
    void ProcessMessages() override {
        if (pacer_.Due()) ui::Application->ProcessMessages();
    }
    void ShowMessage(const std::string& text) override { form_.Notify(text); }
    void Terminate() override { ui::Application->Terminate(); }
    void SetNavigationEnabled(bool enabled) override {
        form_.BackButton->SetEnabled(enabled);
        form_.NextButton->SetEnabled(enabled);
    }
    void PerformNext() override {
        if (!form_.Unattended) form_.NextButtonClick(&form_);
    }
    void PhaseStarted(const char* phase) override { SetupLog().Write(std::string("Phase: ") + phase); }
    void Log(const std::string& line) override { SetupLog().Write(line); }

private:
    TMainForm& form_;
    TMessagePacer pacer_;
};

TRunState runState(const TMainForm& f) {
    TRunState s;
    s.setupFolder = f.SetupFolder;
    s.temporaryFolder = f.TemporaryFolder;
    s.destinationFolder = f.DestinationFolder;
    s.programFilesFolder = f.ProgramFilesFolder;
    s.programsMenuFolder = f.ProgramsMenuFolder;
    s.desktopFolder = f.DesktopFolder;
    s.productName = f.ProductName;
    s.publisherName = f.PublisherName;
    s.mainItemNumber = f.MainItemNumber;
    s.itemCount = f.ItemCount;
    s.fileRecordCount = f.FileRecordCount;
    s.registryRecordCount = f.RegistryRecordCount;
    s.userName = f.NameEdit->Text();
    s.companyName = f.CompanyEdit->Text();
    s.programFolderName = f.FolderEdit->Text();
    return s;
}

} // namespace

// The archive component as the form description sets it up: everything else keeps its default.
void TMainForm::createZipArchiver() {
    ZipArchiver1 = new TZipArchiver(this);
    ZipArchiver1->Name = "ZipArchiver1";
    ZipArchiver1->ExtractCorruptedFiles = false;
    ZipArchiver1->SetCompressionLevel(clFastest);
    ZipArchiver1->SpanningOptions.AdvancedNaming = true;
    ZipArchiver1->SpanningOptions.VolumeSize = vsAutoDetect;
    ZipArchiver1->Options.FlushBuffers = true;
    ZipArchiver1->Options.OEMFileNames = true;
    ZipArchiver1->OnFileProgress = [this](TObject* sender, const std::string& fileName, double progress,
                                          TZAProcessOperation operation, TZAProgressPhase phase, bool& cancel) {
        ZipArchiver1FileProgress(sender, fileName, progress, operation, phase, cancel);
    };
}

// Called by Next when the progress page has just been shown. An error the run does not handle
// itself (a damaged data archive, a number value that is no number) is shown; the wizard stays
// on the progress page, and Cancel still closes the program.
void TMainForm::RunInstallation() {
    TWizardRunHost host(*this);
    try {
        const bool completed =
            runInstallation(host, runState(*this), *Package, *Registry, *Cipher, *ZipArchiver1, MainProgramPath);
        SetupExitCode = completed ? ecSuccess : ecFailed;
        SetupLog().Write(completed ? "Installation completed" : "Installation failed");
    } catch (const std::exception& e) {
        SetupExitCode = ecFailed;
        Notify(e.what());
        // Unattended there is no Cancel button to end the program with.
        if (Unattended) ui::Application->Terminate();
    }
}

void TMainForm::RunUnattendedInstallation() {
    if (SetupArguments.destination) {
        DestinationFolder = *SetupArguments.destination;
        PathLabel->SetCaption(DestinationFolder);
        SetupLog().Write("Destination folder from /D=: " + DestinationFolder);
    }
    SetupLog().Write("Program folder: " + FolderEdit->Text());
    SetupLog().Write("User: " + NameEdit->Text() + ", company: " + CompanyEdit->Text());
    RunInstallation();
    if (SetupExitCode != ecSuccess || !SetupArguments.desktopShortcut) return;
    if (!MainProgramPresent || MainProgramPath.empty()) {
        SetupLog().Write("No desktop shortcut: the package names no main program");
        return;
    }
    const std::string link = DesktopFolder + "\\" + ProductName + ".lnk";
    const HRESULT result = CreateShortcut(MainProgramPath, link, ProductName);
    SetupLog().Write((SUCCEEDED(result) ? "Shortcut: " : "Shortcut not created: ") + link + " -> " + MainProgramPath);
}

void TMainForm::ZipArchiver1FileProgress(TObject*, const std::string&, double Progress, TZAProcessOperation,
                                         TZAProgressPhase, bool&) {
    TWizardRunHost host(*this);
    advanceExtractionProgress(host, LastProgress, Progress);
}

// Called by the page change to the progress page in uninstall mode, during construction.
void TMainForm::RunUninstallation() {
    TWizardRunHost host(*this);
    runUninstallation(host, runState(*this), *Package, *Registry);
    SetupExitCode = ecSuccess;
    SetupLog().Write("Uninstallation completed");
}

} // namespace tarnwick
