// TControl: one row of a form's table made real. Most kinds are a Win32 control (edit, button,
// list box, ...); labels are windows of our own that paint themselves, images are drawn by their
// parent, and panels, group boxes, notebooks and pages are containers of our own. One class for
// all kinds keeps the layer thin; each accessor says which kinds it serves.
#pragma once

#include "core/component.h"
#include "ui/form_defs.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick::ui {

class TForm;

using TNotifyEvent = std::function<void(TObject* Sender)>;

// A device-independent bitmap and its size; owns the bitmap.
class TPicture {
public:
    TPicture(HBITMAP bitmap, int width, int height) : bitmap_(bitmap), width_(width), height_(height) {}
    ~TPicture();
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;
    HBITMAP Bitmap() const { return bitmap_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    HBITMAP bitmap_;
    int width_, height_;
};

class TControl : public TComponent {
public:
    TControl(TForm* form, TControl* parent, const TControlDef& def, int id);
    ~TControl() override;

    TControlKind Kind() const { return kind_; }
    HWND Handle() const { return handle_; } // nullptr for images
    TControl* Parent() const { return parent_; }
    TForm* Form() const { return form_; }
    int Id() const { return id_; }

    // Caption of labels, buttons, check boxes, group boxes and pages; the text of edits and memos.
    std::string Caption() const;
    void SetCaption(const std::string& caption);
    std::string Text() const { return Caption(); }
    void SetText(const std::string& text) { SetCaption(text); }

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    void SetFocus();
    bool Focused() const;
    // Visible itself and through all its parents (the form aside).
    bool Showing() const;
    RECT BoundsRect() const { return bounds_; } // in the parent's client coordinates

    // Check boxes.
    bool Checked() const;
    void SetChecked(bool checked);

    // List boxes; memos (Lines).
    void ItemsClear();
    void ItemsAdd(const std::string& item);
    int ItemCount() const;
    std::string Item(int index) const;
    int ItemIndex() const;
    void SetItemIndex(int index);
    void LinesClear();
    void LinesAdd(const std::string& line);
    const std::vector<std::string>& Lines() const { return lines_; }

    // Progress bars.
    int Max() const { return max_; }
    void SetMax(int max);
    int Position() const { return position_; }
    void SetPosition(int position);
    void StepIt();

    // Images.
    void SetPicture(std::unique_ptr<TPicture> picture);
    const TPicture* Picture() const { return picture_.get(); }

    // Notebooks: the page shown; changing it raises OnChange (the page-changed event).
    int PageIndex() const { return pageIndex_; }
    void SetPageIndex(int index);
    int PageCount() const { return static_cast<int>(pages_.size()); }
    TControl* Page(int index) const { return pages_.at(static_cast<size_t>(index)); }

    // Folder lists: the current folder; a change raises OnChange. Drive selectors: the drive
    // letter (lower case); a change by the user raises OnChange.
    std::string Directory() const { return directory_; }
    void SetDirectory(const std::string& folder);
    char Drive() const;
    void SetDrive(char drive);

    int ModalResult = 0;
    TNotifyEvent OnClick;
    TNotifyEvent OnChange;

    // Used by the form's window procedures.
    COLORREF EffectiveColor() const;
    COLORREF EffectiveFontColor() const;
    HFONT EffectiveFont() const;
    void PaintContainer(HDC dc);
    void PaintLabel(HDC dc);
    LRESULT HandleCommand(int code);
    LRESULT HandleCtlColor(HDC dc);
    void HandleDrawItem(const DRAWITEMSTRUCT& item);
    void HandleLabelClick();
    void AlignToParent();
    const std::vector<TControl*>& Children() const { return children_; }
    bool IsTransparentLabel() const { return kind_ == TControlKind::Label && (flags_ & cfTransparent) != 0; }
    bool IsDefaultButton() const { return (flags_ & cfDefault) != 0; }

private:
    friend class TForm;
    void createWindow();
    void drawLabelText(HDC dc, const RECT& rect);
    void autoSizeLabel();
    void fire(const TNotifyEvent& event);
    void refillDirectoryList();
    void fillDrives();

    TForm* form_;
    TControl* parent_;
    TControlKind kind_;
    int id_;
    unsigned flags_;
    HWND handle_ = nullptr;
    RECT bounds_{};
    bool autoSize_ = false;
    std::string caption_;
    bool visible_;
    bool enabled_;
    TColor color_;
    TColor fontColor_;
    const TFontDef* font_;
    std::vector<TControl*> children_;
    std::vector<TControl*> pages_;
    int pageIndex_ = -1;
    std::vector<std::string> lines_;
    int max_ = 100, position_ = 0;
    std::unique_ptr<TPicture> picture_;
    std::string directory_;
    struct TDirEntry {
        std::string path;
        std::string text;
        int level;
        int glyph; // 0 opened, 1 current, 2 closed
    };
    std::vector<TDirEntry> dirEntries_;
};

} // namespace tarnwick::ui
