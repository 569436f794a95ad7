// The wizard window's description: frame, the eight pages and their controls, and the handler
// table; plus what the window does when it is destroyed.
#include "app/main_form.h"

#include "app/picture.h"
#include "app/resource_ids.h"
#include "cipher/myblowfish.h"
#include "engine/handle_byte_source.h"
#include "engine/registry_access.h"
#include "engine/shortcut.h"
#include "package/package_reader.h"
#include "package/placeholders.h"

namespace tarnwick {

TMainForm* MainForm = nullptr;

namespace {

using namespace ui;
using K = TControlKind;

const TFontDef kHeaderFont{"Arial", 11, true, false, RUSSIAN_CHARSET};
const TFontDef kBoldFont{"MS Sans Serif", 11, true, false, DEFAULT_CHARSET};
constexpr TColor kWindowColor = rgb(52, 100, 169);

const TFormDef kMainFormDef{
    .className = "TMainForm",
    .caption = "Setup",
    .clientWidth = 690,
    .clientHeight = 496,
    .color = kWindowColor,
    .border = TBorderStyle::Dialog,
    .position = TPosition::MainFormCenter,
    .onClose = "FormClose",
    .onDestroy = "FormDestroy",
};

const TControlDef kMainControls[] = {
    {.name = "Panel1", .kind = K::Panel, .left = 0, .top = 0, .width = 690, .height = 57, .color = rgb(0, 52, 102)},
    {.name = "Image1", .kind = K::Image, .parent = "Panel1", .left = 0, .top = -2, .width = 690, .height = 59,
     .flags = cfHidden, .pictureResource = IDR_HEADER_PICTURE},
    {.name = "Label1", .kind = K::Label, .parent = "Panel1", .left = 8, .top = 8, .fontColor = clWhite,
     .font = &kHeaderFont},
    {.name = "Image2", .kind = K::Image, .left = 0, .top = 59, .width = 171, .height = 391,
     .pictureResource = IDR_BANNER_PICTURE},
    {.name = "Notebook1", .kind = K::Notebook, .left = 172, .top = 59, .width = 518, .height = 394,
     .fontColor = clWhite, .onChange = "Notebook1PageChanged"},

    {.name = "PageIntroduction", .kind = K::Page, .parent = "Notebook1", .caption = "Introduction"},
    {.name = "Image4", .kind = K::Image, .parent = "PageIntroduction", .left = 7, .top = 7, .width = 506, .height = 380,
     .pictureResource = IDR_FRAME_PICTURE},
    {.name = "IntroImage", .kind = K::Image, .parent = "PageIntroduction", .left = 22, .top = 22, .width = 476,
     .height = 350},

    {.name = "PageWelcome", .kind = K::Page, .parent = "Notebook1", .caption = "Welcome"},
    {.name = "NameLabel1", .kind = K::Label, .parent = "PageWelcome", .left = 40, .top = 125, .caption = "%s Setup",
     .font = &kBoldFont},
    {.name = "TextLabel1", .kind = K::Label, .parent = "PageWelcome", .left = 40, .top = 168, .width = 441,
     .height = 177, .flags = cfWordWrap},

    {.name = "PageUserInformation", .kind = K::Page, .parent = "Notebook1", .caption = "User Information"},
    {.name = "TextLabel3", .kind = K::Label, .parent = "PageUserInformation", .left = 40, .top = 40, .width = 433,
     .height = 57, .caption = "Type your Name below. You must also type the name of the company you work for.",
     .flags = cfWordWrap},
    {.name = "Label4", .kind = K::Label, .parent = "PageUserInformation", .left = 40, .top = 174, .caption = "Name:"},
    {.name = "NameEdit", .kind = K::Edit, .parent = "PageUserInformation", .left = 96, .top = 170, .width = 377,
     .fontColor = clBlack, .onChange = "NameEditChange"},
    {.name = "Label2", .kind = K::Label, .parent = "PageUserInformation", .left = 40, .top = 206,
     .caption = "Company:"},
    {.name = "CompanyEdit", .kind = K::Edit, .parent = "PageUserInformation", .left = 96, .top = 202, .width = 377,
     .fontColor = clBlack},

    {.name = "PageDestination", .kind = K::Page, .parent = "Notebook1", .caption = "Choose Destination Location"},
    {.name = "TextLabel4", .kind = K::Label, .parent = "PageDestination", .left = 40, .top = 40, .width = 433,
     .height = 33, .caption = "Setup will install %s in the folowing folder.", .flags = cfWordWrap},
    {.name = "Label5", .kind = K::Label, .parent = "PageDestination", .left = 40, .top = 80, .width = 433,
     .height = 81,
     .caption = "To install to this folder, click Next. To install to a different folder, click Browse and select "
                "another folder.",
     .flags = cfWordWrap},
    {.name = "GroupBox1", .kind = K::GroupBox, .parent = "PageDestination", .left = 40, .top = 173, .width = 433,
     .height = 49, .caption = "Destination Folder"},
    {.name = "PathLabel", .kind = K::Label, .parent = "GroupBox1", .left = 8, .top = 22, .width = 329, .height = 13},
    {.name = "BrowseButton", .kind = K::Button, .parent = "GroupBox1", .left = 350, .top = 16, .width = 75,
     .caption = "Browse", .fontColor = clBlack, .onClick = "BrowseButtonClick"},

    {.name = "PageProgramFolder", .kind = K::Page, .parent = "Notebook1", .caption = "Select Program Folder"},
    {.name = "Label6", .kind = K::Label, .parent = "PageProgramFolder", .left = 40, .top = 40, .width = 433,
     .height = 41,
     .caption = "Setup will add program icons to the Program Folder listed below.  You may type a new folder name, "
                "or select one from the existing Folders list.  Click Next to continue.",
     .flags = cfWordWrap},
    {.name = "Label7", .kind = K::Label, .parent = "PageProgramFolder", .left = 40, .top = 80,
     .caption = "&Program Folder:"},
    {.name = "FolderEdit", .kind = K::Edit, .parent = "PageProgramFolder", .left = 40, .top = 96, .width = 433,
     .fontColor = clBlack},
    {.name = "Label8", .kind = K::Label, .parent = "PageProgramFolder", .left = 40, .top = 128,
     .caption = "E&xisting Folders:"},
    {.name = "ListBox", .kind = K::ListBox, .parent = "PageProgramFolder", .left = 40, .top = 144, .width = 433,
     .height = 209, .fontColor = clBlack, .onClick = "ListBoxClick"},

    {.name = "PageStartCopying", .kind = K::Page, .parent = "Notebook1", .caption = "Start Copyng Files"},
    {.name = "Label9", .kind = K::Label, .parent = "PageStartCopying", .left = 40, .top = 40, .width = 433,
     .height = 73,
     .caption = "Setup has enough information to start copying the program files.  If you want to review or change "
                "any settings, click Back.  If you are satisfied with the settings, click Next to begin copying files.",
     .flags = cfWordWrap},
    {.name = "Label10", .kind = K::Label, .parent = "PageStartCopying", .left = 40, .top = 110,
     .caption = "&Current Settings:"},
    // White on the wizard's own colour: white on the system's window colour could not be read.
    {.name = "Memo1", .kind = K::Memo, .parent = "PageStartCopying", .left = 40, .top = 128, .width = 433,
     .height = 225, .flags = cfReadOnly | cfVScroll},

    {.name = "PageCopying", .kind = K::Page, .parent = "Notebook1", .caption = "Coping files..."},
    {.name = "ProgressLabel", .kind = K::Label, .parent = "PageCopying", .left = 32, .top = 168, .width = 457,
     .height = 13, .flags = cfCenter},
    {.name = "ProgressBar1", .kind = K::ProgressBar, .parent = "PageCopying", .left = 32, .top = 184, .width = 457},

    {.name = "PageFinished", .kind = K::Page, .parent = "Notebook1", .caption = "Setup complete"},
    {.name = "TextLabel5", .kind = K::Label, .parent = "PageFinished", .left = 40, .top = 40, .width = 433,
     .height = 81, .flags = cfWordWrap},
    {.name = "ReadmeCBox", .kind = K::CheckBox, .parent = "PageFinished", .left = 40, .top = 157, .width = 13},
    {.name = "Label11", .kind = K::Label, .parent = "PageFinished", .left = 40, .top = 160, .width = 433,
     .height = 13, .caption = "      Yes, I want to view the Read Me file.", .onClick = "Label11Click"},
    {.name = "DesktopCBox", .kind = K::CheckBox, .parent = "PageFinished", .left = 40, .top = 189, .width = 13},
    {.name = "Label12", .kind = K::Label, .parent = "PageFinished", .left = 40, .top = 192, .width = 433,
     .height = 13, .caption = "      Place program icon on the Desktop", .onClick = "Label12Click"},
    {.name = "RunCBox", .kind = K::CheckBox, .parent = "PageFinished", .left = 40, .top = 221, .width = 13},
    {.name = "TextLabel6", .kind = K::Label, .parent = "PageFinished", .left = 40, .top = 224, .width = 433,
     .height = 13, .onClick = "TextLabel6Click"},

    {.name = "Panel2", .kind = K::Panel, .left = 0, .top = 453, .width = 690, .height = 43,
     .color = rgb(204, 205, 219)},
    {.name = "Image3", .kind = K::Image, .parent = "Panel2", .left = 0, .top = 0, .width = 690, .height = 43,
     .flags = cfStretch, .pictureResource = IDR_BAR_PICTURE},
    {.name = "BackButton", .kind = K::Button, .parent = "Panel2", .left = 392, .top = 10, .width = 75,
     .caption = "<Back", .flags = cfDisabled, .onClick = "BackButtonClick"},
    {.name = "NextButton", .kind = K::Button, .parent = "Panel2", .left = 472, .top = 10, .width = 75,
     .caption = "Next >", .flags = cfDefault, .onClick = "NextButtonClick"},
    {.name = "Button3", .kind = K::Button, .parent = "Panel2", .left = 608, .top = 10, .width = 75,
     .caption = "Cancel", .onClick = "Button3Click"},
};


} // namespace

TMainForm::TMainForm(TComponent* owner) : TForm(owner) {
    static const THandler<TMainForm> handlers[] = {
        {"Notebook1PageChanged", &TMainForm::Notebook1PageChanged},
        {"NextButtonClick", &TMainForm::NextButtonClick},
        {"BackButtonClick", &TMainForm::BackButtonClick},
        {"NameEditChange", &TMainForm::NameEditChange},
        {"Label11Click", &TMainForm::Label11Click},
        {"Label12Click", &TMainForm::Label12Click},
        {"TextLabel6Click", &TMainForm::TextLabel6Click},
        {"Button3Click", &TMainForm::Button3Click},
        {"BrowseButtonClick", &TMainForm::BrowseButtonClick},
        {"ListBoxClick", &TMainForm::ListBoxClick},
        {"FormClose", nullptr, &TMainForm::FormClose},
        {"FormDestroy", &TMainForm::FormDestroy},
    };
    Build<TMainForm>(kMainFormDef, kMainControls, handlers);
    for (const TControlDef& row : kMainControls)
        if (row.pictureResource != 0) Control(row.name)->SetPicture(loadPictureResource(row.pictureResource));
    Label1 = Control("Label1");
    Notebook1 = Control("Notebook1");
    IntroImage = Control("IntroImage");
    NameLabel1 = Control("NameLabel1");
    TextLabel1 = Control("TextLabel1");
    NameEdit = Control("NameEdit");
    CompanyEdit = Control("CompanyEdit");
    TextLabel4 = Control("TextLabel4");
    PathLabel = Control("PathLabel");
    FolderEdit = Control("FolderEdit");
    ListBox = Control("ListBox");
    Memo1 = Control("Memo1");
    ProgressLabel = Control("ProgressLabel");
    ProgressBar1 = Control("ProgressBar1");
    TextLabel5 = Control("TextLabel5");
    ReadmeCBox = Control("ReadmeCBox");
    Label11 = Control("Label11");
    DesktopCBox = Control("DesktopCBox");
    Label12 = Control("Label12");
    RunCBox = Control("RunCBox");
    TextLabel6 = Control("TextLabel6");
    BackButton = Control("BackButton");
    NextButton = Control("NextButton");
    Button3 = Control("Button3");
    createZipArchiver();
    startUp();
}

TMainForm::~TMainForm() { FireDestroy(); }

void TMainForm::closePackageFile() {
    Package.reset();
    PackageSource.reset();
    if (PackageFile != INVALID_HANDLE_VALUE) {
        CloseHandle(PackageFile);
        PackageFile = INVALID_HANDLE_VALUE;
    }
}

void TMainForm::FormDestroy(TObject*) {
    Registry.reset();
    closePackageFile();
    if (!TemporaryFolder.empty()) {
        DeleteFileA((TemporaryFolder + "_setupDEC").c_str());
        RemoveDirectoryA(TemporaryFolder.c_str()); // only succeeds when nothing else is left in it
    }
}

std::string TMainForm::ExpandPlaceholders(const std::string& text) const {
    char system[512] = "";
    char windows[512] = "";
    GetSystemDirectoryA(system, sizeof(system));
    GetWindowsDirectoryA(windows, sizeof(windows));
    return tarnwick::ExpandPlaceholders(text, TPlaceholderFolders{DestinationFolder, ProgramFilesFolder, system, windows});
}

HRESULT TMainForm::CreateShortcut(const std::string& target, const std::string& linkFile,
                                  const std::string& description) {
    return tarnwick::CreateShortcut(target, linkFile, description);
}

} // namespace tarnwick
