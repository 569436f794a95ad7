// TControl: creation of each kind's window, its properties, painting of labels, images and
// containers, and the notifications that become OnClick and OnChange.
#include "ui/control.h"

#include "ui/application.h"
#include "ui/form.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

namespace tarnwick::ui {

TPicture::~TPicture() {
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
}

namespace {

// What each kind of control is, one row a kind, in the order of TControlKind.
struct TKindTraits {
    TControlKind kind;
    const char* windowClass;  // nullptr: no window (drawn by its parent)
    DWORD style;              // besides WS_CHILD, WS_CLIPSIBLINGS, visibility and enabling
    DWORD exStyle;
    int defaultHeight;        // when the row leaves the height at 0
    int dropDownHeight;       // added to the created window (a combo box's list)
    bool container;           // holds rows of its own: clips them, tabs into them
    bool hasText;             // created with its caption as window text
    bool readOnlyAndScroll;   // honours cfReadOnly and cfVScroll
    bool windowColors;        // the system's window colours unless the row sets a colour
    int clickOn;              // the notification that raises OnClick, -1 for none
    int changeOn;             // the notification that raises OnChange, -1 for none
};

constexpr DWORD kTab = WS_TABSTOP;
constexpr DWORD kList = WS_TABSTOP | LBS_NOTIFY | WS_VSCROLL | LBS_NOINTEGRALHEIGHT;

constexpr TKindTraits kKinds[] = {
    {TControlKind::Label, "TLabel", 0, 0, 0, 0, false, true, false, false, -1, -1},
    {TControlKind::Image, nullptr, 0, 0, 0, 0, false, false, false, false, -1, -1},
    {TControlKind::Panel, "TPanel", 0, 0, 0, 0, true, false, false, false, -1, -1},
    {TControlKind::GroupBox, "TGroupBox", 0, 0, 0, 0, true, true, false, false, -1, -1},
    {TControlKind::Notebook, "TNotebook", 0, 0, 0, 0, true, false, false, false, -1, -1},
    {TControlKind::Page, "TPage", 0, 0, 0, 0, true, false, false, false, -1, -1},
    {TControlKind::Edit, "EDIT", kTab | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 21, 0, false, true, false, true, -1,
     EN_CHANGE},
    {TControlKind::Memo, "EDIT", kTab | ES_MULTILINE | ES_AUTOVSCROLL, WS_EX_CLIENTEDGE, 0, 0, false, true, true,
     false, -1, EN_CHANGE},
    {TControlKind::Button, "BUTTON", kTab | BS_PUSHBUTTON, 0, 25, 0, false, true, false, false, BN_CLICKED, -1},
    {TControlKind::CheckBox, "BUTTON", kTab | BS_AUTOCHECKBOX, 0, 17, 0, false, true, false, false, BN_CLICKED, -1},
    {TControlKind::ListBox, "LISTBOX", kList, WS_EX_CLIENTEDGE, 0, 0, false, false, false, true, LBN_SELCHANGE, -1},
    {TControlKind::ProgressBar, PROGRESS_CLASSA, 0, 0, 17, 0, false, false, false, true, -1, -1},
    // Double-clicking a folder opens it, which raises OnChange (SetDirectory).
    {TControlKind::DirectoryList, "LISTBOX", kList | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS, WS_EX_CLIENTEDGE, 0, 0,
     false, false, false, true, -1, -1},
    {TControlKind::DriveCombo, "COMBOBOX", kTab | CBS_DROPDOWNLIST | WS_VSCROLL, 0, 19, 200, false, false, false,
     true, -1, CBN_SELCHANGE},
};

constexpr bool kindsInOrder() {
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        if (static_cast<std::size_t>(kKinds[i].kind) != i) return false;
    }
    return std::size(kKinds) == static_cast<std::size_t>(TControlKind::DriveCombo) + 1;
}
static_assert(kindsInOrder(), "one row a kind, in the order of TControlKind");

const TKindTraits& traitsOf(TControlKind kind) { return kKinds[static_cast<std::size_t>(kind)]; }

} // namespace

TControl::TControl(TForm* form, TControl* parent, const TControlDef& def, int id)
    : TComponent(parent), form_(form), parent_(parent), kind_(def.kind), id_(id), flags_(def.flags),
      caption_(def.caption != nullptr ? def.caption : ""), visible_((def.flags & cfHidden) == 0),
      enabled_((def.flags & cfDisabled) == 0), color_(def.color), fontColor_(def.fontColor), font_(def.font) {
    Name = def.name;
    ModalResult = def.modalResult;
    const int width = def.width;
    const int height = def.height != 0 ? def.height : traitsOf(kind_).defaultHeight;
    bounds_ = RECT{def.left, def.top, def.left + width, def.top + height};
    autoSize_ = kind_ == TControlKind::Label && def.width == 0;
    if (parent_ == nullptr) return; // the form's root: its window is the form's
    parent_->children_.push_back(this);
    if (kind_ == TControlKind::Page) {
        parent_->pages_.push_back(this);
        visible_ = false;
        RECT client = parent_->bounds_;
        bounds_ = RECT{0, 0, client.right - client.left, client.bottom - client.top};
    }
    createWindow();
}

TControl::~TControl() = default; // windows go with the form's window

void TControl::createWindow() {
    if (kind_ == TControlKind::Image) {
        if ((flags_ & cfAlignClient) != 0) AlignToParent();
        return;
    }
    if (autoSize_) autoSizeLabel();
    const TKindTraits& traits = traitsOf(kind_);
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (visible_ ? WS_VISIBLE : 0) | (enabled_ ? 0 : WS_DISABLED) | traits.style;
    DWORD ex = traits.exStyle;
    if (traits.readOnlyAndScroll && (flags_ & cfReadOnly) != 0) style |= ES_READONLY;
    if (traits.readOnlyAndScroll && (flags_ & cfVScroll) != 0) style |= WS_VSCROLL;
    if (kind_ == TControlKind::Button && (flags_ & cfDefault) != 0) style |= BS_DEFPUSHBUTTON;
    if (traits.container) {
        style |= WS_CLIPCHILDREN;
        ex |= WS_EX_CONTROLPARENT;
    }
    const int createHeight = bounds_.bottom - bounds_.top + traits.dropDownHeight;
    handle_ = CreateWindowExA(ex, traits.windowClass, traits.hasText ? caption_.c_str() : "", style, bounds_.left, bounds_.top,
                              bounds_.right - bounds_.left, createHeight, parent_->Handle(),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), Application->Instance(), this);
    if (handle_ == nullptr) throw std::runtime_error("cannot create the control " + Name);
    SetWindowLongPtrA(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // The control's name as a window property, so tools outside the process (the GUI tests) can
    // find a control without knowing its place.
    SetPropA(handle_, ("TarnwickName:" + Name).c_str(), reinterpret_cast<HANDLE>(1));
    SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(EffectiveFont()), FALSE);
    if (kind_ == TControlKind::ProgressBar) {
        SendMessageA(handle_, PBM_SETRANGE32, 0, max_);
        SendMessageA(handle_, PBM_SETSTEP, 1, 0);
    } else if (kind_ == TControlKind::DriveCombo) {
        fillDrives();
    } else if (kind_ == TControlKind::DirectoryList) {
        char current[MAX_PATH] = "";
        GetCurrentDirectoryA(sizeof(current), current);
        SetDirectory(current);
    }
}

COLORREF TControl::EffectiveColor() const {
    if (color_ == clInherit) return parent_ != nullptr ? parent_->EffectiveColor() : form_->Color();
    if (color_ == clBtnFace) return GetSysColor(COLOR_BTNFACE);
    return color_;
}

COLORREF TControl::EffectiveFontColor() const {
    if (fontColor_ == clInherit) return parent_ != nullptr ? parent_->EffectiveFontColor() : form_->FontColor();
    if (fontColor_ == clBtnFace) return GetSysColor(COLOR_BTNFACE);
    return fontColor_;
}

HFONT TControl::EffectiveFont() const {
    if (font_ != nullptr) return form_->FontFor(font_);
    return parent_ != nullptr ? parent_->EffectiveFont() : form_->FontFor(nullptr);
}

std::string TControl::Caption() const {
    if ((kind_ == TControlKind::Edit || kind_ == TControlKind::Memo) && handle_ != nullptr) {
        const int length = GetWindowTextLengthA(handle_);
        std::string text(static_cast<size_t>(length) + 1, '\0');
        const int got = GetWindowTextA(handle_, text.data(), length + 1);
        text.resize(static_cast<size_t>(std::max(got, 0)));
        return text;
    }
    return caption_;
}

void TControl::SetCaption(const std::string& caption) {
    caption_ = caption;
    if (kind_ == TControlKind::Memo) {
        lines_.clear();
    }
    if (handle_ != nullptr && kind_ != TControlKind::Page) {
        if (autoSize_) {
            autoSizeLabel();
            MoveWindow(handle_, bounds_.left, bounds_.top, bounds_.right - bounds_.left, bounds_.bottom - bounds_.top,
                       TRUE);
        }
        SetWindowTextA(handle_, caption_.c_str());
        InvalidateRect(handle_, nullptr, TRUE);
    }
}

void TControl::SetVisible(bool visible) {
    visible_ = visible;
    if (handle_ != nullptr) {
        ShowWindow(handle_, visible ? SW_SHOWNA : SW_HIDE);
    } else if (parent_ != nullptr && parent_->Handle() != nullptr) {
        InvalidateRect(parent_->Handle(), &bounds_, TRUE);
    }
}

void TControl::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (handle_ != nullptr) EnableWindow(handle_, enabled ? TRUE : FALSE);
}

bool TControl::Showing() const {
    for (const TControl* c = this; c != nullptr && c->parent_ != nullptr; c = c->parent_)
        if (!c->visible_) return false;
    return true;
}

void TControl::SetFocus() {
    form_->RememberFocus(this);
    if (handle_ != nullptr && form_->Visible() && Showing() && enabled_) ::SetFocus(handle_);
}

bool TControl::Focused() const { return handle_ != nullptr && GetFocus() == handle_; }

bool TControl::Checked() const { return SendMessageA(handle_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TControl::SetChecked(bool checked) {
    SendMessageA(handle_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TControl::ItemsClear() { SendMessageA(handle_, LB_RESETCONTENT, 0, 0); }

void TControl::ItemsAdd(const std::string& item) {
    SendMessageA(handle_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

int TControl::ItemCount() const { return static_cast<int>(SendMessageA(handle_, LB_GETCOUNT, 0, 0)); }

std::string TControl::Item(int index) const {
    const LRESULT length = SendMessageA(handle_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(handle_, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

int TControl::ItemIndex() const { return static_cast<int>(SendMessageA(handle_, LB_GETCURSEL, 0, 0)); }

void TControl::SetItemIndex(int index) { SendMessageA(handle_, LB_SETCURSEL, static_cast<WPARAM>(index), 0); }

void TControl::LinesClear() {
    lines_.clear();
    SetWindowTextA(handle_, "");
}

void TControl::LinesAdd(const std::string& line) {
    lines_.push_back(line);
    std::string text;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += lines_[i];
    }
    SetWindowTextA(handle_, text.c_str());
}

void TControl::SetMax(int max) {
    max_ = max;
    SendMessageA(handle_, PBM_SETRANGE32, 0, max);
}

void TControl::SetPosition(int position) {
    position_ = position;
    SendMessageA(handle_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void TControl::StepIt() {
    SendMessageA(handle_, PBM_STEPIT, 0, 0);
    position_ = static_cast<int>(SendMessageA(handle_, PBM_GETPOS, 0, 0));
}

void TControl::SetPicture(std::unique_ptr<TPicture> picture) {
    picture_ = std::move(picture);
    if (parent_ != nullptr && parent_->Handle() != nullptr) InvalidateRect(parent_->Handle(), &bounds_, TRUE);
}

void TControl::SetPageIndex(int index) {
    if (index < 0 || index >= PageCount() || index == pageIndex_) return;
    const int old = pageIndex_;
    pageIndex_ = index;
    pages_[static_cast<size_t>(index)]->SetVisible(true);
    if (old >= 0) pages_[static_cast<size_t>(old)]->SetVisible(false);
    fire(OnChange);
}

void TControl::fire(const TNotifyEvent& event) {
    if (!event) return;
    try {
        event(this);
    } catch (const std::exception& e) {
        Application->ShowException(e);
        Application->Terminate();
    }
}

LRESULT TControl::HandleCommand(int code) {
    const TKindTraits& traits = traitsOf(kind_);
    if (code == traits.clickOn) {
        // Wine delivers BM_CLICK to disabled buttons too; a user cannot click them.
        if (kind_ == TControlKind::Button) {
            if (!enabled_ || !Showing()) return 0;
            if (ModalResult != 0) form_->ModalResult = ModalResult;
        }
        fire(OnClick);
    } else if (code == traits.changeOn) {
        fire(OnChange);
    } else if (kind_ == TControlKind::DirectoryList && code == LBN_DBLCLK) {
        const int index = ItemIndex();
        if (index >= 0 && static_cast<size_t>(index) < dirEntries_.size()) {
            const std::string path = dirEntries_[static_cast<size_t>(index)].path;
            SetDirectory(path);
        }
    }
    return 0;
}

LRESULT TControl::HandleCtlColor(HDC dc) {
    if (traitsOf(kind_).windowColors) {
        if (fontColor_ != clInherit) SetTextColor(dc, EffectiveFontColor());
        if (color_ == clInherit) {
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        }
    }
    const COLORREF background = EffectiveColor();
    SetTextColor(dc, EffectiveFontColor());
    SetBkColor(dc, background);
    return reinterpret_cast<LRESULT>(form_->BrushFor(background));
}

void TControl::HandleLabelClick() {
    if (enabled_) fire(OnClick);
}

void TControl::AlignToParent() {
    if ((flags_ & cfAlignClient) == 0 || parent_ == nullptr || parent_->Handle() == nullptr) return;
    RECT client;
    GetClientRect(parent_->Handle(), &client);
    bounds_ = client;
    if (handle_ != nullptr) MoveWindow(handle_, 0, 0, client.right, client.bottom, TRUE);
}

void TControl::autoSizeLabel() {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, EffectiveFont());
    RECT r{0, 0, 0, 0};
    DrawTextA(dc, caption_.empty() ? " " : caption_.c_str(), -1, &r, DT_CALCRECT | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    bounds_.right = bounds_.left + (caption_.empty() ? 0 : r.right);
    bounds_.bottom = bounds_.top + r.bottom;
}

void TControl::drawLabelText(HDC dc, const RECT& rect) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, EffectiveFontColor());
    HGDIOBJ old = SelectObject(dc, EffectiveFont());
    RECT r = rect;
    UINT format = DT_EXPANDTABS | DT_NOCLIP;
    if ((flags_ & cfWordWrap) != 0) format |= DT_WORDBREAK;
    if ((flags_ & cfCenter) != 0) format |= DT_CENTER;
    DrawTextA(dc, caption_.c_str(), -1, &r, format);
    SelectObject(dc, old);
}

void TControl::PaintLabel(HDC dc) {
    RECT client;
    GetClientRect(handle_, &client);
    if (IsTransparentLabel() && parent_ != nullptr) {
        // What the parent shows under us, then the transparent labels below us, then our text.
        POINT old;
        SetViewportOrgEx(dc, -bounds_.left, -bounds_.top, &old);
        parent_->PaintContainer(dc);
        for (TControl* sibling : parent_->children_) {
            if (sibling == this) break;
            RECT overlap;
            if (sibling->IsTransparentLabel() && sibling->visible_ && IntersectRect(&overlap, &sibling->bounds_, &bounds_))
                sibling->drawLabelText(dc, sibling->bounds_);
        }
        SetViewportOrgEx(dc, old.x, old.y, nullptr);
    } else {
        FillRect(dc, &client, form_->BrushFor(EffectiveColor()));
    }
    drawLabelText(dc, client);
}

void TControl::PaintContainer(HDC dc) {
    RECT client;
    GetClientRect(handle_, &client);
    FillRect(dc, &client, form_->BrushFor(EffectiveColor()));
    for (TControl* child : children_) {
        if (child->kind_ != TControlKind::Image || !child->visible_ || child->picture_ == nullptr) continue;
        const TPicture& picture = *child->picture_;
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, picture.Bitmap());
        const RECT& b = child->bounds_;
        if ((child->flags_ & cfStretch) != 0) {
            SetStretchBltMode(dc, HALFTONE);
            SetBrushOrgEx(dc, 0, 0, nullptr);
            StretchBlt(dc, b.left, b.top, b.right - b.left, b.bottom - b.top, memory, 0, 0, picture.Width(),
                       picture.Height(), SRCCOPY);
        } else {
            BitBlt(dc, b.left, b.top, std::min<int>(b.right - b.left, picture.Width()),
                   std::min<int>(b.bottom - b.top, picture.Height()), memory, 0, 0, SRCCOPY);
        }
        SelectObject(memory, old);
        DeleteDC(memory);
    }
    if (kind_ == TControlKind::GroupBox) {
        HGDIOBJ old = SelectObject(dc, EffectiveFont());
        TEXTMETRICA tm;
        GetTextMetricsA(dc, &tm);
        RECT frame{0, tm.tmHeight / 2, client.right, client.bottom};
        DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
        RECT text{8, 0, 8, tm.tmHeight};
        DrawTextA(dc, caption_.c_str(), -1, &text, DT_CALCRECT | DT_SINGLELINE);
        text.left -= 1;
        text.right += 1;
        FillRect(dc, &text, form_->BrushFor(EffectiveColor()));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, EffectiveFontColor());
        DrawTextA(dc, caption_.c_str(), -1, &text, DT_SINGLELINE | DT_CENTER);
        SelectObject(dc, old);
    }
}

} // namespace tarnwick::ui
