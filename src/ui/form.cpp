// TForm: window classes and procedures of the form layer, building a form from its tables, and
// showing, closing and modal display.
#include "ui/form.h"

#include "ui/application.h"

#include <set>

namespace tarnwick::ui {

namespace {

constexpr UINT kActivateMessage = WM_APP + 1; // OnActivate runs after activation, not inside it

TControl* controlOf(HWND hwnd) {
    return hwnd != nullptr ? reinterpret_cast<TControl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)) : nullptr;
}

// A window that belongs to this form's tree and is one of our controls.
TControl* childControl(TControl* container, HWND child) {
    if (child == nullptr || !IsChild(container->Form()->Handle(), child)) return nullptr;
    return controlOf(child);
}

// Messages every container (form, panel, group box, notebook, page) handles alike: painting, and
// the notifications and colour requests of its children.
LRESULT containerMessage(TControl* self, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    switch (message) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        self->PaintContainer(dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_PRINTCLIENT: self->PaintContainer(reinterpret_cast<HDC>(wParam)); return 0;
    case WM_COMMAND: {
        if (TControl* child = childControl(self, reinterpret_cast<HWND>(lParam))) return child->HandleCommand(HIWORD(wParam));
        break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN: {
        TControl* child = childControl(self, reinterpret_cast<HWND>(lParam));
        if (child != nullptr) {
            if (LRESULT brush = child->HandleCtlColor(reinterpret_cast<HDC>(wParam))) return brush;
        }
        break;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (TControl* child = childControl(self, item->hwndItem)) {
            child->HandleDrawItem(*item);
            return TRUE;
        }
        break;
    }
    case WM_MEASUREITEM: reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 16; return TRUE;
    default: break;
    }
    handled = false;
    return 0;
}

LRESULT CALLBACK containerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (TControl* self = controlOf(hwnd)) {
        bool handled = false;
        const LRESULT result = containerMessage(self, hwnd, message, wParam, lParam, handled);
        if (handled) return result;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK labelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    TControl* self = controlOf(hwnd);
    if (self != nullptr) {
        switch (message) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            self->PaintLabel(dc);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_PRINTCLIENT: self->PaintLabel(reinterpret_cast<HDC>(wParam)); return 0;
        case WM_LBUTTONUP: self->HandleLabelClick(); return 0;
        default: break;
        }
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK formProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (TControl* root = controlOf(hwnd)) {
        bool handled = false;
        LRESULT result = root->Form()->FormMessage(message, wParam, lParam, handled);
        if (handled) return result;
        result = containerMessage(root, hwnd, message, wParam, lParam, handled);
        if (handled) return result;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

struct TDisabledWindows {
    HWND self;
    std::vector<HWND> disabled;
};

BOOL CALLBACK disableOther(HWND hwnd, LPARAM param) {
    auto* c = reinterpret_cast<TDisabledWindows*>(param);
    if (hwnd != c->self && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        EnableWindow(hwnd, FALSE);
        c->disabled.push_back(hwnd);
    }
    return TRUE;
}

void registerClass(const char* name, WNDPROC proc) {
    static std::set<std::string> registered;
    if (registered.count(name) != 0) return;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = Application->Instance();
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = name;
    if (RegisterClassExA(&wc) == 0) throw std::runtime_error(std::string("cannot register the window class ") + name);
    registered.insert(name);
}

} // namespace

TForm::TForm(TComponent* owner) : TComponent(owner) {}

TForm::~TForm() {
    FireDestroy();
    if (handle_ != nullptr) {
        RemovePropA(handle_, "TarnwickForm");
        for (TControl* control : controls_)
            if (control->Handle() != nullptr) RemovePropA(control->Handle(), ("TarnwickName:" + control->Name).c_str());
        DestroyWindow(handle_);
    }
    root_.reset();
    for (auto& [def, font] : fonts_) DeleteObject(font);
    for (auto& [color, brush] : brushes_) DeleteObject(brush);
}

void TForm::FireDestroy() {
    if (destroyFired_) return;
    destroyFired_ = true;
    if (!OnDestroy) return;
    try {
        OnDestroy(this);
    } catch (const std::exception& e) {
        Application->ShowException(e);
    }
}

void TForm::buildCore(const TFormDef& def, std::span<const TControlDef> controls,
                      const std::function<TNotifyEvent(std::string_view)>& notify,
                      const std::function<TCloseEvent(std::string_view)>& close) {
    def_ = def;
    className_ = def.className;
    registerClass(def.className, formProc);
    registerClass("TLabel", labelProc);
    for (const char* name : {"TPanel", "TGroupBox", "TNotebook", "TPage"}) registerClass(name, containerProc);

    TControlDef rootDef;
    rootDef.name = def.className;
    rootDef.kind = TControlKind::Panel;
    rootDef.color = def.color;
    rootDef.fontColor = RGB(0, 0, 0);
    rootDef.font = &def_.font;
    rootDef.width = def.clientWidth;
    rootDef.height = def.clientHeight;
    root_ = std::make_unique<TControl>(this, nullptr, rootDef, 0);

    DWORD style = WS_CLIPCHILDREN;
    DWORD ex = WS_EX_CONTROLPARENT;
    if (def.border == TBorderStyle::Dialog) {
        style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
        ex |= WS_EX_DLGMODALFRAME;
    } else {
        style |= WS_OVERLAPPEDWINDOW;
        ex |= WS_EX_APPWINDOW;
    }
    RECT outer{0, 0, def.clientWidth, def.clientHeight};
    AdjustWindowRectEx(&outer, style, FALSE, ex);
    HWND owner = Application->MainForm() != nullptr ? Application->MainForm()->Handle() : nullptr;
    handle_ = CreateWindowExA(ex, def.className, def.caption, style, CW_USEDEFAULT, CW_USEDEFAULT,
                              outer.right - outer.left, outer.bottom - outer.top, owner, nullptr,
                              Application->Instance(), root_.get());
    if (handle_ == nullptr) throw std::runtime_error(std::string("cannot create the window ") + def.className);
    root_->handle_ = handle_;
    SetPropA(handle_, "TarnwickForm", reinterpret_cast<HANDLE>(1));

    int nextId = 100;
    for (const TControlDef& row : controls) {
        TControl* parent = root_.get();
        if (row.parent != nullptr) {
            auto it = byName_.find(row.parent);
            if (it == byName_.end()) throw std::logic_error(std::string("unknown parent ") + row.parent);
            parent = it->second;
        }
        auto* control = new TControl(this, parent, row, nextId++);
        controls_.push_back(control);
        byName_[row.name] = control;
        if (row.onClick != nullptr) control->OnClick = notify(row.onClick);
        if (row.onChange != nullptr) control->OnChange = notify(row.onChange);
    }
    // Tab order follows the table; transparent labels lie over what comes before them.
    std::map<HWND, HWND> lastInParent;
    for (TControl* control : controls_) {
        if (control->Handle() == nullptr) continue;
        HWND parent = control->Parent()->Handle();
        auto it = lastInParent.find(parent);
        SetWindowPos(control->Handle(), it == lastInParent.end() ? HWND_TOP : it->second, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        lastInParent[parent] = control->Handle();
    }
    for (TControl* control : controls_)
        if (control->IsTransparentLabel())
            SetWindowPos(control->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    if (def.onClose != nullptr) OnClose = close(def.onClose);
    if (def.onDestroy != nullptr) OnDestroy = notify(def.onDestroy);
    if (def.onActivate != nullptr) OnActivate = notify(def.onActivate);
}

TControl* TForm::Control(std::string_view name) const {
    auto it = byName_.find(name);
    if (it == byName_.end()) throw std::logic_error("no control named " + std::string(name));
    return it->second;
}

TControl* TForm::ControlById(int id) const {
    for (TControl* control : controls_)
        if (control->Id() == id) return control;
    return nullptr;
}

COLORREF TForm::Color() const { return def_.color == clBtnFace ? GetSysColor(COLOR_BTNFACE) : def_.color; }

HFONT TForm::FontFor(const TFontDef* font) {
    if (font == nullptr) font = &def_.font;
    auto it = fonts_.find(font);
    if (it != fonts_.end()) return it->second;
    HFONT handle = CreateFontA(-font->height, 0, 0, 0, font->bold ? FW_BOLD : FW_NORMAL, font->italic ? TRUE : FALSE,
                               FALSE, FALSE, font->charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_DONTCARE, font->face);
    fonts_[font] = handle;
    return handle;
}

HBRUSH TForm::BrushFor(COLORREF color) {
    auto it = brushes_.find(color);
    if (it != brushes_.end()) return it->second;
    HBRUSH brush = CreateSolidBrush(color);
    brushes_[color] = brush;
    return brush;
}

std::string TForm::Caption() const {
    char text[1024] = "";
    GetWindowTextA(handle_, text, sizeof(text));
    return text;
}

void TForm::SetCaption(const std::string& caption) { SetWindowTextA(handle_, caption.c_str()); }

int TForm::Left() const {
    RECT r;
    GetWindowRect(handle_, &r);
    return r.left;
}
int TForm::Top() const {
    RECT r;
    GetWindowRect(handle_, &r);
    return r.top;
}
int TForm::Width() const {
    RECT r;
    GetWindowRect(handle_, &r);
    return r.right - r.left;
}
int TForm::Height() const {
    RECT r;
    GetWindowRect(handle_, &r);
    return r.bottom - r.top;
}

void TForm::SetPlace(int left, int top) {
    SetWindowPos(handle_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    placed_ = true;
}

bool TForm::Visible() const { return IsWindowVisible(handle_) != FALSE; }

void TForm::placeBeforeShow() {
    if (placed_) return;
    placed_ = true;
    const int width = Width();
    const int height = Height();
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    switch (def_.position) {
    case TPosition::MainFormCenter:
        if (TForm* main = Application->MainForm(); main != nullptr && main != this && main->Visible())
            GetWindowRect(main->Handle(), &area);
        [[fallthrough]];
    case TPosition::ScreenCenter:
        SetWindowPos(handle_, nullptr, area.left + (area.right - area.left - width) / 2,
                     area.top + (area.bottom - area.top - height) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        break;
    case TPosition::Designed: break;
    }
}

void TForm::Show() {
    placeBeforeShow();
    ShowWindow(handle_, def_.maximized ? SW_SHOWMAXIMIZED : SW_SHOW);
    for (TControl* control : controls_) control->AlignToParent();
    UpdateWindow(handle_);
}

void TForm::Hide() { ShowWindow(handle_, SW_HIDE); }

void TForm::Close() {
    if (modal_) {
        ModalResult = mrCancel;
        return;
    }
    TCloseAction action = TCloseAction::Hide;
    if (OnClose) {
        try {
            OnClose(this, action);
        } catch (const std::exception& e) {
            Application->ShowException(e);
            Application->Terminate();
            return;
        }
    }
    if (action == TCloseAction::None) return;
    if (Application->MainForm() == this)
        Application->Terminate();
    else
        Hide();
}

void TForm::closeModal() {
    TCloseAction action = TCloseAction::Hide;
    if (OnClose) {
        try {
            OnClose(this, action);
        } catch (const std::exception& e) {
            Application->ShowException(e);
            Application->Terminate();
        }
    }
    if (action == TCloseAction::None) ModalResult = mrNone;
}

int TForm::ShowModal() {
    if (Application->Terminated()) return mrCancel;
    ReleaseCapture();
    HWND previous = GetActiveWindow();
    // Every other window of the program is disabled while this one is up.
    TDisabledWindows collect{handle_, {}};
    EnumThreadWindows(GetCurrentThreadId(), disableOther, reinterpret_cast<LPARAM>(&collect));
    modal_ = true;
    ModalResult = mrNone;
    Show();
    SetActiveWindow(handle_);
    for (;;) {
        if (Application->Terminated()) {
            ModalResult = mrCancel;
            break;
        }
        Application->HandleMessage();
        if (Application->Terminated()) {
            ModalResult = mrCancel;
            break;
        }
        if (ModalResult != mrNone) {
            closeModal();
            if (ModalResult != mrNone) break;
        }
    }
    for (HWND hwnd : collect.disabled) EnableWindow(hwnd, TRUE);
    Hide();
    modal_ = false;
    if (previous != nullptr && IsWindow(previous) && IsWindowVisible(previous)) SetActiveWindow(previous);
    return ModalResult;
}

void TForm::focusOnActivate() {
    HWND target = nullptr;
    if (focusControl_ != nullptr && focusControl_->Handle() != nullptr && IsWindowVisible(focusControl_->Handle()) &&
        IsWindowEnabled(focusControl_->Handle()))
        target = focusControl_->Handle();
    if (target == nullptr) target = GetNextDlgTabItem(handle_, nullptr, FALSE);
    if (target != nullptr) ::SetFocus(target);
}

void TForm::clickDefaultButton() {
    for (TControl* control : controls_)
        if (control->Kind() == TControlKind::Button && control->IsDefaultButton()) {
            control->HandleCommand(BN_CLICKED);
            return;
        }
}

LRESULT TForm::FormMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    switch (message) {
    case WM_CLOSE: Close(); return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(handle_, focus)) {
                if (TControl* control = controlOf(focus)) focusControl_ = control;
            }
        } else {
            focusOnActivate();
            if (OnActivate) PostMessageA(handle_, kActivateMessage, 0, 0);
        }
        return 0;
    case WM_SETFOCUS: focusOnActivate(); return 0;
    case kActivateMessage:
        if (OnActivate) {
            try {
                OnActivate(this);
            } catch (const std::exception& e) {
                Application->ShowException(e);
                Application->Terminate();
            }
        }
        return 0;
    case DM_GETDEFID:
        for (TControl* control : controls_)
            if (control->Kind() == TControlKind::Button && control->IsDefaultButton())
                return MAKELRESULT(control->Id(), DC_HASDEFID);
        return 0;
    case WM_COMMAND:
        // Enter reaches the form as a command without a control window when the default button
        // lies inside a panel.
        if (lParam == 0 || controlOf(reinterpret_cast<HWND>(lParam)) == nullptr) {
            if (LOWORD(wParam) == IDOK) {
                clickDefaultButton();
                return 0;
            }
            if (TControl* control = ControlById(LOWORD(wParam))) return control->HandleCommand(HIWORD(wParam));
            return 0;
        }
        break;
    case WM_SIZE:
        for (TControl* control : controls_) control->AlignToParent();
        InvalidateRect(handle_, nullptr, TRUE);
        break;
    default: break;
    }
    handled = false;
    return 0;
}

} // namespace tarnwick::ui
