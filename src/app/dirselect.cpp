#include "app/dirselect.h"

namespace tarnwick {

TDirForm* DirForm = nullptr;

namespace {

using namespace ui;
using K = TControlKind;

const TFormDef kDirFormDef{
    .className = "TDirForm",
    .caption = "Choose Directory",
    .clientWidth = 248,
    .clientHeight = 266,
    .border = TBorderStyle::Dialog,
    .position = TPosition::ScreenCenter,
};

const TControlDef kDirControls[] = {
    {.name = "Label1", .kind = K::Label, .left = 16, .top = 16,
     .caption = "Please choose the directory for installation."},
    {.name = "Label2", .kind = K::Label, .left = 16, .top = 40, .caption = "&Path:"},
    {.name = "PathEdit", .kind = K::Edit, .left = 16, .top = 56, .width = 217},
    {.name = "Label3", .kind = K::Label, .left = 16, .top = 88, .caption = "&Directories:"},
    {.name = "DirectoryListBox1", .kind = K::DirectoryList, .left = 16, .top = 104, .width = 137, .height = 97,
     .onChange = "DirectoryListBox1Change"},
    {.name = "Label4", .kind = K::Label, .left = 16, .top = 216, .caption = "&Drives:"},
    {.name = "DriveComboBox1", .kind = K::DriveCombo, .left = 16, .top = 232, .width = 137,
     .onChange = "DriveComboBox1Change"},
    {.name = "Button1", .kind = K::Button, .left = 160, .top = 104, .width = 75, .caption = "OK",
     .flags = cfDefault, .modalResult = mrOk},
    {.name = "Button2", .kind = K::Button, .left = 160, .top = 136, .width = 75, .caption = "Cancel",
     .modalResult = mrCancel},
};

} // namespace

TDirForm::TDirForm(TComponent* owner) : TForm(owner) {
    static const THandler<TDirForm> handlers[] = {
        {"DirectoryListBox1Change", &TDirForm::DirectoryListBox1Change},
        {"DriveComboBox1Change", &TDirForm::DriveComboBox1Change},
    };
    Build<TDirForm>(kDirFormDef, kDirControls, handlers);
    PathEdit = Control("PathEdit");
    DirectoryListBox1 = Control("DirectoryListBox1");
    DriveComboBox1 = Control("DriveComboBox1");
    // The list starts at the process's current folder; the drive selector and the edit follow it.
    DirectoryListBox1Change(DirectoryListBox1);
}

TDirForm::~TDirForm() { FireDestroy(); }

void TDirForm::DirectoryListBox1Change(TObject*) {
    DriveComboBox1->SetDrive(DirectoryListBox1->Drive());
    PathEdit->SetText(DirectoryListBox1->Directory());
}

void TDirForm::DriveComboBox1Change(TObject*) { DirectoryListBox1->SetDrive(DriveComboBox1->Drive()); }

} // namespace tarnwick
