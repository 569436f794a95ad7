// Forms are declared as data: one TFormDef for the window and a table of TControlDef rows, each row
// naming its parent row, its place in pixels, caption, colours, font and the handlers that its
// events call, by handler name. TForm::Build turns the table into windows.
#pragma once

#include <windows.h>

namespace tarnwick::ui {

// A COLORREF, or one of the markers below.
using TColor = DWORD;
inline constexpr TColor clInherit = 0xFF000000u; // the parent's colour
inline constexpr TColor clBtnFace = 0xFE000000u; // the system's button face colour, read when painting

constexpr TColor rgb(int r, int g, int b) { return RGB(r, g, b); }
inline constexpr TColor clWhite = RGB(255, 255, 255);
inline constexpr TColor clBlack = RGB(0, 0, 0);

struct TFontDef {
    const char* face = "MS Sans Serif";
    int height = 11; // character height in pixels
    bool bold = false;
    bool italic = false;
    BYTE charset = DEFAULT_CHARSET;
};

enum class TControlKind {
    Label,         // windowed, painted by us: opaque on its colour or transparent over its parent
    Image,         // not windowed: drawn by its parent, under the parent's windowed children
    Panel,         // plain coloured container
    GroupBox,      // container with an etched frame and a caption
    Notebook,      // container of Page rows, one shown at a time
    Page,          // a notebook page; its caption is the page's title
    Edit,
    Memo,          // multi-line edit
    Button,
    CheckBox,
    ListBox,
    ProgressBar,
    DirectoryList, // folder tree list of one drive
    DriveCombo,    // drive selector
};

enum TControlFlag : unsigned {
    cfHidden = 1u << 0,
    cfDisabled = 1u << 1,
    cfWordWrap = 1u << 2,
    cfCenter = 1u << 3,      // label text centred
    cfDefault = 1u << 4,     // the form's default button (Enter)
    cfReadOnly = 1u << 5,
    cfVScroll = 1u << 6,
    cfTransparent = 1u << 7, // label drawn over whatever its parent shows
    cfStretch = 1u << 8,     // image stretched over its bounds
    cfAlignClient = 1u << 9, // fills the parent's client area at any size
};

struct TControlDef {
    const char* name = "";
    TControlKind kind = TControlKind::Label;
    const char* parent = nullptr; // nullptr: the form itself
    int left = 0, top = 0;
    int width = 0, height = 0; // 0: the kind's default (labels: sized to their text)
    const char* caption = "";
    unsigned flags = 0;
    TColor color = clInherit;          // background
    TColor fontColor = clInherit;
    const TFontDef* font = nullptr;    // nullptr: the parent's font
    int modalResult = 0;               // buttons: the form's modal result when clicked
    const char* onClick = nullptr;     // handler names, looked up in the form's handler table
    const char* onChange = nullptr;
    int pictureResource = 0;           // images: RCDATA id of a built-in JPEG picture
};

enum class TBorderStyle { Dialog, Sizeable };
enum class TPosition { Designed, MainFormCenter, ScreenCenter };

struct TFormDef {
    const char* className; // window class, also what other programs see
    const char* caption = "";
    int clientWidth = 0, clientHeight = 0;
    TColor color = clBtnFace;
    TFontDef font{};
    TBorderStyle border = TBorderStyle::Dialog;
    TPosition position = TPosition::Designed;
    bool maximized = false;
    const char* onClose = nullptr;
    const char* onDestroy = nullptr;
    const char* onActivate = nullptr;
};

// Modal results.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = IDOK;
inline constexpr int mrCancel = IDCANCEL;

enum class TCloseAction { None, Hide, Free };

} // namespace tarnwick::ui
