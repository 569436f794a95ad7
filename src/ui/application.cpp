#include "ui/application.h"

#include "ui/form.h"
#include "win32/dll_search.h"

#include <commctrl.h>

namespace tarnwick::ui {

TApplication* Application = nullptr;

namespace {

// comctl32 is not among Windows' KnownDLLs: imported, the loader would take it from the program's
// own folder first. Loaded here from the system folder, before the first progress bar exists.
void initCommonControls() {
    using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    HMODULE comctl32 = loadSystemLibrary("comctl32.dll");
    if (comctl32 == nullptr) return;
    auto init = reinterpret_cast<InitCommonControlsExFn>(
        reinterpret_cast<void*>(GetProcAddress(comctl32, "InitCommonControlsEx")));
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    if (init != nullptr) init(&icc);
}

}  // namespace

TApplication::TApplication() : TComponent(nullptr), instance_(GetModuleHandleA(nullptr)) {
    initCommonControls();
    Application = this;
}

TApplication::~TApplication() {
    // The forms go first, newest first, while Application still answers their destroy handlers.
    while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
    if (Application == this) Application = nullptr;
}

void TApplication::Terminate() {
    terminated_ = true;
    // Wakes a loop that waits in GetMessage; a WM_QUIT would also end any message box shown later.
    PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
}

bool TApplication::dispatch(MSG& msg) {
    if (msg.message == WM_QUIT) {
        terminated_ = true;
        return false;
    }
    // Keyboard navigation (Tab, Enter for the default button) inside our forms.
    HWND top = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (top != nullptr && GetPropA(top, "TarnwickForm") != nullptr && IsDialogMessageA(top, &msg)) return true;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!dispatch(msg)) break;
    }
}

void TApplication::HandleMessage() {
    MSG msg;
    if (terminated_) return;
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
        terminated_ = true;
        return;
    }
    if (got == -1) return;
    dispatch(msg);
}

void TApplication::Run() {
    if (!terminated_ && mainForm_ != nullptr) mainForm_->Show();
    while (!terminated_) HandleMessage();
}

void TApplication::ShowMessage(const std::string& text) {
    HWND owner = GetActiveWindow();
    MessageBoxA(owner, text.c_str(), Title.c_str(), MB_OK | (owner == nullptr ? MB_TASKMODAL : 0));
}

void TApplication::ShowException(const std::exception& e) {
    std::string text = e.what();
    if (!text.empty() && text.back() != '.') text += '.';
    MessageBoxA(GetActiveWindow(), text.c_str(), Title.c_str(), MB_OK | MB_ICONSTOP);
}

} // namespace tarnwick::ui
