#include "app/exit_form.h"

namespace tarnwick {

TExitForm* ExitForm = nullptr;

namespace {

using namespace ui;
using K = TControlKind;

const TFormDef kExitFormDef{
    .className = "TExitForm",
    .caption = "Exit Setup",
    .clientWidth = 345,
    .clientHeight = 182,
    .border = TBorderStyle::Dialog,
    .position = TPosition::Designed,
};

const TControlDef kExitControls[] = {
    {.name = "Label1", .kind = K::Label, .left = 16, .top = 16, .width = 297, .height = 33,
     .caption = "Setup is not complete.  If you quit the Setup program now, the program will not be installed.",
     .flags = cfWordWrap},
    {.name = "Label2", .kind = K::Label, .left = 16, .top = 56, .width = 297, .height = 33,
     .caption = "You may run the Setup program at a later time to complete the installation.", .flags = cfWordWrap},
    {.name = "Label3", .kind = K::Label, .left = 16, .top = 96, .width = 297, .height = 33,
     .caption = "To continue installing the program, click Resume.  To quit the Setup program, click Exit Setup.",
     .flags = cfWordWrap},
    {.name = "Button1", .kind = K::Button, .left = 176, .top = 144, .width = 75, .caption = "&Resume",
     .modalResult = mrCancel},
    {.name = "Button2", .kind = K::Button, .left = 256, .top = 144, .width = 75,
     .caption = "E&xit Setup", .modalResult = mrOk},
};

} // namespace

TExitForm::TExitForm(TComponent* owner) : TForm(owner) {
    Build<TExitForm>(kExitFormDef, kExitControls, std::span<const THandler<TExitForm>>{});
}

TExitForm::~TExitForm() { FireDestroy(); }

} // namespace tarnwick
