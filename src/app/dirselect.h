// TDirForm (unit Dirselect): the directory chooser behind the Browse button.
#pragma once

#include "ui/form.h"

namespace tarnwick {

class TDirForm : public ui::TForm {
public:
    explicit TDirForm(TComponent* owner);
    ~TDirForm() override;

    void DirectoryListBox1Change(TObject* Sender);
    void DriveComboBox1Change(TObject* Sender);

    ui::TControl* PathEdit;
    ui::TControl* DirectoryListBox1;
    ui::TControl* DriveComboBox1;
};

extern TDirForm* DirForm;

} // namespace tarnwick
