// The example product's main program: it greets and ends. Enough to be launched by Finish and
// pointed at by shortcuts.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    MessageBoxA(nullptr, "Hello from Tarnwick Notepad.", "Tarnwick Notepad", MB_OK | MB_ICONINFORMATION);
    return 0;
}
