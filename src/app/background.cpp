#include "app/background.h"

#include "app/main_form.h"
#include "app/picture.h"

namespace tarnwick {

TTWForm* TWForm = nullptr;

namespace {

using namespace ui;
using K = TControlKind;

const TFontDef kTitleFont{"Times New Roman", 35, true, true, RUSSIAN_CHARSET};

const TFormDef kTWFormDef{
    .className = "TTWForm",
    .caption = "Setup",
    .clientWidth = 640,
    .clientHeight = 480,
    .border = TBorderStyle::Sizeable,
    .position = TPosition::Designed,
    .maximized = true,
    .onActivate = "FormActivate",
};

const TControlDef kTWControls[] = {
    {.name = "Image1", .kind = K::Image, .flags = cfStretch | cfAlignClient},
    {.name = "Title2", .kind = K::Label, .left = 12, .top = 12, .caption = "Title", .flags = cfTransparent,
     .fontColor = clBlack, .font = &kTitleFont},
    {.name = "Title1", .kind = K::Label, .left = 8, .top = 8, .caption = "Title", .flags = cfTransparent,
     .fontColor = clWhite, .font = &kTitleFont},
};

} // namespace

TTWForm::TTWForm(TComponent* owner) : TForm(owner) {
    static const THandler<TTWForm> handlers[] = {{"FormActivate", &TTWForm::FormActivate}};
    Build<TTWForm>(kTWFormDef, kTWControls, handlers);
    Image1 = Control("Image1");
    Title2 = Control("Title2");
    Title1 = Control("Title1");
    Image1->SetPicture(makeGradientPicture());
}

TTWForm::~TTWForm() { FireDestroy(); }

void TTWForm::FormActivate(TObject*) {
    MainForm->ShowModal();
    Close();
}

} // namespace tarnwick
