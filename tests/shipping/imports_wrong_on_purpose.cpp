// Linked against zlib's DLL and comctl32's import library on purpose: the import checker must
// reject this program. Never run.
#include <windows.h>
#include <commctrl.h>
#include <zlib.h>

int main() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES};
    return InitCommonControlsEx(&icc) ? static_cast<int>(zlibVersion()[0]) : 0;
}
