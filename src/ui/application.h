// TApplication: the program's title, its message loop, processing of pending messages, the
// request to terminate, and the plain message dialogs captioned with the title.
#pragma once

#include "core/component.h"

#include <windows.h>

#include <exception>
#include <string>

namespace tarnwick::ui {

class TForm;

class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;

    std::string Title;
    HINSTANCE Instance() const { return instance_; }
    TForm* MainForm() const { return mainForm_; }

    // Creates a form owned by the application; the first one becomes the main form.
    template <class F>
    F* CreateForm() {
        F* form = new F(this);
        if (mainForm_ == nullptr) mainForm_ = form;
        return form;
    }

    // Shows the main form and runs the message loop until Terminate.
    void Run();
    // The loop stops at its next turn and no further window is shown.
    void Terminate();
    bool Terminated() const { return terminated_; }
    void ProcessMessages();
    // Waits for one message and handles it.
    void HandleMessage();

    // The plain message dialog: OK button, captioned with Title.
    void ShowMessage(const std::string& text);
    // An exception that reached the top of a handler: shown, then the program ends.
    void ShowException(const std::exception& e);

private:
    bool dispatch(MSG& msg);

    HINSTANCE instance_;
    TForm* mainForm_ = nullptr;
    bool terminated_ = false;
};

extern TApplication* Application;

} // namespace tarnwick::ui
