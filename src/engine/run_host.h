// What the installation and uninstallation runs need from the wizard window, and nothing more:
// the progress bar and its label, a pass of pending window messages, a plain message, the request
// to end the program, Back/Next and the Next action. The window implements it; tests record it.
#pragma once

#include <string>

namespace tarnwick {

class TRunHost {
public:
    virtual ~TRunHost() = default;

    virtual void SetProgressMax(int max) = 0;
    virtual int ProgressMax() const = 0;
    // Kept within 0..max, as a progress bar keeps it.
    virtual void SetProgressPosition(int position) = 0;
    virtual int ProgressPosition() const = 0;
    virtual void SetProgressLabel(const std::string& text) = 0;

    virtual void ProcessMessages() = 0;
    virtual void ShowMessage(const std::string& text) = 0; // OK button, the application's title
    virtual void Terminate() = 0;                          // ends at the next turn of the message loop
    virtual void SetNavigationEnabled(bool enabled) = 0;  // Back and Next together
    virtual void PerformNext() = 0;

    // Where a run stands, for logs and measurements: "decipher", "extract", "copy", "clean-up",
    // "registry", "icons", "finish". The window ignores it.
    virtual void PhaseStarted(const char* /*phase*/) {}

    // One line for the setup log: a file placed or removed, a registry value written or removed,
    // a shortcut, a failure with its reason. Without a log it goes nowhere.
    virtual void Log(const std::string& /*line*/) {}

    // One step of the bar: advance by one and let the window repaint.
    void StepProgress() {
        SetProgressPosition(ProgressPosition() + 1);
        ProcessMessages();
    }
    // The phase is done: show a full bar, then start the next phase from zero.
    void FillAndResetProgress() {
        SetProgressPosition(ProgressMax());
        ProcessMessages();
        SetProgressPosition(0);
    }
};

} // namespace tarnwick
