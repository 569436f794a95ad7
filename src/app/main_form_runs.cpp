// The wizard's entry points into the installation engine. The runs' work lives in the engine;
// until it is linked in, each entry point ends the way its run ends when there is nothing to do.
#include "app/main_form.h"
#include "ui/application.h"

namespace tarnwick {

// Called by Next when the progress page has just been shown.
void TMainForm::RunInstallation() {
    BackButton->SetEnabled(false);
    NextButton->SetEnabled(false);
    ui::Application->ProcessMessages();
    BackButton->SetEnabled(true);
    NextButton->SetEnabled(true);
    NextButtonClick(this);
}

// Called by the page change to the progress page in uninstall mode, during construction.
void TMainForm::RunUninstallation() { ui::Application->Terminate(); }

} // namespace tarnwick
