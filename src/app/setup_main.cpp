// The program entry: the command line, the log, the application titled "Tarnwick Setup" and its
// four windows, created in this order and living until the end; TWForm, created first, is the
// main window. Unattended (/S) the windows are made but never shown. The exit code is
// SetupExitCode (exit_codes.h).
#include "app/background.h"
#include "app/dirselect.h"
#include "app/exit_codes.h"
#include "app/exit_form.h"
#include "app/main_form.h"
#include "app/setup_command_line.h"
#include "app/setup_log.h"
#include "app/uninstaller_relocation.h"
#include "ui/application.h"
#include "win32/dll_search.h"

#include <windows.h>

#include <cstdlib>

// The standard library's default terminate handler prints the demangled type of the exception,
// which links the whole C++ demangler into setup.exe; a windowed program has nowhere to print it.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}

namespace {

using namespace tarnwick;

std::string fullPath(const std::string& path) {
    char buffer[MAX_PATH * 2] = "";
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    return length == 0 || length >= sizeof buffer ? path : std::string(buffer);
}

int finish(TExitCode code) {
    SetupLog().Write("Exit code: " + std::to_string(static_cast<int>(code)) + " (" + exitCodeMeaning(code) + ")");
    SetupLog().Close();
    return code;
}

// Everything between the command line and the exit code.
TExitCode runSetup(const std::string& program) {
    TSetupCommandLine& arguments = SetupArguments;
    const std::vector<std::string> problems = arguments.problems();
    if (arguments.silent) {
        for (const std::string& problem : problems) SetupLog().Write("Bad command line: " + problem);
        if (!problems.empty()) return ecBadCommandLine;
    }
    // The wizard goes on as it always did; the log still says what it did not understand.
    for (const std::string& problem : problems) SetupLog().Write("Ignored by the wizard: " + problem);
    if (shouldRelocateUninstaller(arguments, program)) {
        if (!arguments.silent && !askToUninstall()) {
            SetupLog().Write("The user answered No to the uninstall question");
            return ecCancelled;
        }
        UninstallConfirmed = true;
        if (const std::optional<TExitCode> code = runUninstallerCopy(arguments, program)) return *code;
    }

    ui::TApplication application;
    application.Title = "Tarnwick Setup";
    try {
        TWForm = application.CreateForm<TTWForm>();
        MainForm = application.CreateForm<TMainForm>();
        DirForm = application.CreateForm<TDirForm>();
        ExitForm = application.CreateForm<TExitForm>();
        if (!arguments.silent)
            application.Run();
        else if (!application.Terminated())
            MainForm->RunUnattendedInstallation(); // an uninstallation has run during start-up
    } catch (const std::exception& e) {
        SetupExitCode = ecFailed;
        SetupLog().Write(std::string("Error: ") + e.what());
        if (!arguments.silent) application.ShowException(e);
    }
    return SetupExitCode;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything can load a library: setup runs elevated from folders anyone can write into.
    restrictDllSearchToSystemFolder();
    char program[MAX_PATH * 2] = "";
    GetModuleFileNameA(nullptr, program, sizeof program);
    const char* commandLine = GetCommandLineA();
    TSetupCommandLine& arguments = SetupArguments;
    arguments = parseSetupCommandLine(argumentsOf(commandLine));
    if (arguments.logPath) {
        arguments.logPath = fullPath(*arguments.logPath);
        // The relocated uninstaller writes on into its original's log.
        if (!SetupLog().Open(*arguments.logPath, arguments.isRelocatedUninstaller()) && arguments.silent)
            return ecCouldNotStart; // an administrator who asked for a log gets none: say so
    }
    SetupLog().Write(std::string("Tarnwick Setup: ") + program);
    SetupLog().Write(std::string("Command line: ") + commandLine);

    const TExitCode code = runSetup(program);
    if (arguments.isRelocatedUninstaller()) finishUninstallerCopy(arguments, code);
    return finish(code);
}
