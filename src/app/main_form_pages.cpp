// Walking the wizard: page changes, Next/Finish, Back, Cancel and closing, the last page's
// options, and the folder choice (Browse, the existing program folders).
#include "app/background.h"
#include "app/dirselect.h"
#include "app/exit_form.h"
#include "app/main_form.h"
#include "app/setup_log.h"
#include "app/setup_rules.h"
#include "ui/application.h"

#include <shellapi.h>

namespace tarnwick {

namespace {

constexpr const char* kBrowseCaption = "Tarnwick Installer";

bool folderExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

void TMainForm::Notebook1PageChanged(TObject*) {
    const int page = Notebook1->PageIndex();
    Label1->SetCaption(Notebook1->Page(page)->Caption());
    switch (page) {
    case wpUserInformation:
        NameEdit->SetFocus();
        NextButton->SetEnabled(!NameEdit->Text().empty());
        break;
    case wpDestination: NextButton->SetFocus(); break;
    case wpStartCopying: fillSummary(); break;
    case wpCopying:
        if (UninstallMode) RunUninstallation();
        break;
    case wpFinished:
        for (ui::TControl* option : {ReadmeCBox, DesktopCBox, RunCBox})
            if (option->Visible()) {
                option->SetFocus();
                break;
            }
        break;
    default: NextButton->SetEnabled(true); break;
    }
}

void TMainForm::fillSummary() {
    Memo1->LinesClear();
    for (const std::string& line :
         settingsSummary(PathLabel->Caption(), FolderEdit->Text(), NameEdit->Text(), CompanyEdit->Text()))
        Memo1->LinesAdd(line);
}

void TMainForm::NextButtonClick(TObject*) {
    if (NextButton->Tag == 1) {
        if (ReadmeCBox->Checked())
            ShellExecuteA(Handle(), "open", (SetupFolder + "\\readme.txt").c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        if (DesktopCBox->Checked()) {
            const std::string link = DesktopFolder + "\\" + ProductName + ".lnk";
            const HRESULT result = CreateShortcut(MainProgramPath, link, ProductName);
            SetupLog().Write((SUCCEEDED(result) ? "Shortcut: " : "Shortcut not created: ") + link + " -> " +
                             MainProgramPath);
        }
        // Without a main program path there is nothing to launch; an empty name would make the
        // shell open a folder window instead.
        if (RunCBox->Checked() && !MainProgramPath.empty())
            ShellExecuteA(Handle(), "open", MainProgramPath.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        ModalResult = ui::mrOk;
        return;
    }
    Notebook1->SetPageIndex(Notebook1->PageIndex() + 1);
    BackButton->SetEnabled(true);
    if (Notebook1->PageIndex() < wpFinished) {
        NextButton->Tag = 0;
        NextButton->SetCaption("Next >");
    } else {
        Notebook1->SetPageIndex(wpFinished);
        NextButton->Tag = 1;
        NextButton->SetCaption("Finish");
        Button3->SetVisible(false);
        BackButton->SetVisible(false);
    }
    if (Notebook1->PageIndex() == wpCopying) {
        ui::Application->ProcessMessages();
        RunInstallation();
    }
}

void TMainForm::BackButtonClick(TObject*) {
    const int page = Notebook1->PageIndex() - 1;
    if (page <= wpIntroduction) {
        Notebook1->SetPageIndex(wpIntroduction);
        BackButton->SetEnabled(false);
    } else {
        Notebook1->SetPageIndex(page);
    }
}

void TMainForm::NameEditChange(TObject*) { NextButton->SetEnabled(!NameEdit->Text().empty()); }

void TMainForm::Label11Click(TObject*) { ReadmeCBox->SetChecked(!ReadmeCBox->Checked()); }
void TMainForm::Label12Click(TObject*) { DesktopCBox->SetChecked(!DesktopCBox->Checked()); }
void TMainForm::TextLabel6Click(TObject*) { RunCBox->SetChecked(!RunCBox->Checked()); }

void TMainForm::Button3Click(TObject*) { Close(); }

void TMainForm::FormClose(TObject*, ui::TCloseAction& Action) {
    if (!Button3->Visible()) return;
    // Against the lower right corner of the background window.
    ExitForm->SetPlace(TWForm->Width() - ExitForm->Width() - 10, TWForm->Height() - ExitForm->Height() - 10);
    Action = ExitForm->ShowModal() == ui::mrOk ? ui::TCloseAction::Free : ui::TCloseAction::None;
}

void TMainForm::BrowseButtonClick(TObject*) {
    const std::string shown = PathLabel->Caption();
    if (folderExists(shown)) {
        DirForm->DirectoryListBox1->SetDirectory(shown);
    } else {
        DirForm->DirectoryListBox1->SetDirectory(ProgramFilesFolder);
        DirForm->PathEdit->SetText(shown);
    }
    if (DirForm->ShowModal() == ui::mrOk) {
        const std::string chosen = DirForm->PathEdit->Text();
        switch (browseOutcome(chosen, shown, folderExists)) {
        case TBrowseOutcome::Unchanged: break;
        case TBrowseOutcome::Invalid:
            MessageBoxA(Handle(),
                        ("The specified directory:\n\n'" + chosen +
                         "'\n\n is invalid, incomplete or write protected. Please type a full path with drive letter; "
                         "for example 'C:APPS'.")
                            .c_str(),
                        kBrowseCaption, MB_OK | MB_ICONEXCLAMATION);
            break;
        case TBrowseOutcome::Accept: PathLabel->SetCaption(chosen); break;
        case TBrowseOutcome::AskCreate:
            if (MessageBoxA(Handle(),
                            ("The directory:\n\n'" + chosen +
                             "'\n\n does not exist. Do you want the directory to be created?")
                                .c_str(),
                            kBrowseCaption, MB_YESNO | MB_ICONQUESTION) == IDYES)
                PathLabel->SetCaption(chosen);
            break;
        }
    }
    DestinationFolder = PathLabel->Caption();
}

void TMainForm::ListBoxClick(TObject*) {
    const int index = ListBox->ItemIndex();
    if (index >= 0) FolderEdit->SetText(ListBox->Item(index));
}

} // namespace tarnwick
