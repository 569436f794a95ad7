// TTWForm (unit Background): the maximised window behind the wizard, a blue-to-black gradient with
// the product name in shadowed letters. It is the application's main window: activating it shows
// the wizard, and closing it ends the program.
#pragma once

#include "ui/form.h"

namespace tarnwick {

class TTWForm : public ui::TForm {
public:
    explicit TTWForm(TComponent* owner);
    ~TTWForm() override;

    void FormActivate(TObject* Sender);

    ui::TControl* Image1;
    ui::TControl* Title2; // the shadow, 4 pixels right of and below Title1
    ui::TControl* Title1;
};

extern TTWForm* TWForm;

} // namespace tarnwick
