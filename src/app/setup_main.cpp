// The program entry: the application titled "Tarnwick Setup" and its four windows, created in
// this order and living until the end; TWForm, created first, is the main window.
#include "app/background.h"
#include "app/dirselect.h"
#include "app/exit_form.h"
#include "app/main_form.h"
#include "ui/application.h"
#include "win32/dll_search.h"

#include <windows.h>

#include <cstdlib>

// The standard library's default terminate handler prints the demangled type of the exception,
// which links the whole C++ demangler into setup.exe; a windowed program has nowhere to print it.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace tarnwick;
    // Before anything can load a library: setup runs elevated from folders anyone can write into.
    restrictDllSearchToSystemFolder();
    ui::TApplication application;
    application.Title = "Tarnwick Setup";
    try {
        TWForm = application.CreateForm<TTWForm>();
        MainForm = application.CreateForm<TMainForm>();
        DirForm = application.CreateForm<TDirForm>();
        ExitForm = application.CreateForm<TExitForm>();
        application.Run();
    } catch (const std::exception& e) {
        application.ShowException(e);
    }
    return 0;
}
