// TExitForm (unit Exit): the question shown when the wizard is closed before its last page.
#pragma once

#include "ui/form.h"

namespace tarnwick {

class TExitForm : public ui::TForm {
public:
    explicit TExitForm(TComponent* owner);
    ~TExitForm() override;
};

extern TExitForm* ExitForm;

} // namespace tarnwick
