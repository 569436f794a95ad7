// TForm: a top-level window built from a TFormDef and its table of controls, with handlers bound
// by name, modal display with modal results, a default button, and the close protocol: Close()
// asks OnClose, which may refuse; a modal form only closes from its modal loop.
#pragma once

#include "core/component.h"
#include "ui/control.h"
#include "ui/form_defs.h"

#include <functional>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::ui {

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;

class TForm : public TComponent {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    HWND Handle() const { return handle_; }
    const char* ClassName() const { return className_.c_str(); }
    // The control of that name; throws std::logic_error for a name the table lacks.
    TControl* Control(std::string_view name) const;

    std::string Caption() const;
    void SetCaption(const std::string& caption);
    // Outer size and place of the window on the screen.
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetPlace(int left, int top);

    bool Visible() const;
    void Show();
    void Hide();
    void Close();
    int ShowModal();
    int ModalResult = mrNone;

    TCloseEvent OnClose;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnActivate;

    // Used by the window procedures and controls.
    TControl* Root() const { return root_.get(); }
    COLORREF Color() const;
    COLORREF FontColor() const { return RGB(0, 0, 0); }
    HFONT FontFor(const TFontDef* font);
    HBRUSH BrushFor(COLORREF color);
    TControl* ControlById(int id) const;
    void RememberFocus(TControl* control) { focusControl_ = control; }
    LRESULT FormMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

protected:
    template <class F>
    struct THandler {
        const char* name;
        void (F::*notify)(TObject*) = nullptr;
        void (F::*close)(TObject*, TCloseAction&) = nullptr;
    };

    // Builds the window and its controls and binds every handler name in the tables.
    template <class F>
    void Build(const TFormDef& def, std::span<const TControlDef> controls, std::span<const THandler<F>> handlers) {
        F* self = static_cast<F*>(this);
        auto find = [&](std::string_view name) -> const THandler<F>& {
            for (const THandler<F>& h : handlers)
                if (name == h.name) return h;
            throw std::logic_error("no handler named " + std::string(name));
        };
        buildCore(
            def, controls,
            [&](std::string_view name) -> TNotifyEvent {
                const THandler<F>& h = find(name);
                if (h.notify == nullptr) throw std::logic_error(std::string(name) + " is not a notify handler");
                auto method = h.notify;
                return [self, method](TObject* sender) { (self->*method)(sender); };
            },
            [&](std::string_view name) -> TCloseEvent {
                const THandler<F>& h = find(name);
                if (h.close == nullptr) throw std::logic_error(std::string(name) + " is not a close handler");
                auto method = h.close;
                return [self, method](TObject* sender, TCloseAction& action) { (self->*method)(sender, action); };
            });
    }

    // Derived destructors call this first, so OnDestroy runs while the whole form still exists.
    void FireDestroy();

private:
    void buildCore(const TFormDef& def, std::span<const TControlDef> controls,
                   const std::function<TNotifyEvent(std::string_view)>& notify,
                   const std::function<TCloseEvent(std::string_view)>& close);
    void placeBeforeShow();
    void closeModal();
    void focusOnActivate();
    void clickDefaultButton();

    std::string className_;
    HWND handle_ = nullptr;
    TFormDef def_{};
    std::unique_ptr<TControl> root_;
    std::vector<TControl*> controls_; // owned through root_'s component tree
    std::map<std::string, TControl*, std::less<>> byName_;
    std::map<const TFontDef*, HFONT> fonts_;
    std::map<COLORREF, HBRUSH> brushes_;
    TControl* focusControl_ = nullptr;
    bool placed_ = false;
    bool modal_ = false;
    bool destroyFired_ = false;
};

} // namespace tarnwick::ui
