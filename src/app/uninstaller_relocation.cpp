#include "app/uninstaller_relocation.h"

#include "app/setup_log.h"
#include "app/setup_rules.h"
#include "app/temporary_folder.h"
#include "engine/system_error.h"

#include <windows.h>

#include <ctime>
#include <random>

namespace tarnwick {
namespace {

std::string lowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

HANDLE handleFrom(std::uint64_t value) { return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(value)); }

std::string systemTemporaryBase() {
    char buffer[MAX_PATH + 1] = "";
    const DWORD length = GetTempPathA(sizeof buffer, buffer);
    if (length == 0 || length > MAX_PATH) return {};
    return withoutTrailingBackslash(buffer);
}

} // namespace

bool shouldRelocateUninstaller(const TSetupCommandLine& arguments, const std::string& program) {
    return !arguments.isRelocatedUninstaller() && lowerCase(programFileName(program)) == "uninst.exe" &&
           isUninstallRun(arguments.firstArgument, program);
}

std::optional<TExitCode> runUninstallerCopy(const TSetupCommandLine& arguments, const std::string& program) {
    TSetupLog& log = SetupLog();
    const std::string base = systemTemporaryBase();
    std::minstd_rand random(static_cast<unsigned>(std::time(nullptr)) ^ GetTickCount() ^ GetCurrentProcessId());
    const std::string folder =
        base.empty() ? std::string() : createPrivateTemporaryFolder(base, [&] { return static_cast<int>(random() % 32768); });
    if (folder.empty()) {
        log.Write("No private temporary folder for the uninstaller's copy in " + base + "; uninstalling in place");
        return std::nullopt;
    }
    const std::string copy = folder + "uninst.exe";
    if (!CopyFileA(program.c_str(), copy.c_str(), TRUE)) {
        log.Write(withSystemError("Cannot copy the uninstaller to " + copy + "; uninstalling in place", GetLastError()));
        RemoveDirectoryA(folder.c_str());
        return std::nullopt;
    }

    // The copy gets the pipe's writing end and a handle of this process, both inherited.
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr, self = nullptr;
    const bool handlesMade =
        CreatePipe(&readEnd, &writeEnd, &inherited, 0) && SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0) &&
        DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE, 0);
    std::string commandLine = quoteArgument(copy) + " -uninstall /UNINSTALLER=" + quoteArgument(program) +
                              " /HANDLES=" + std::to_string(reinterpret_cast<ULONG_PTR>(writeEnd)) + "," +
                              std::to_string(reinterpret_cast<ULONG_PTR>(self));
    if (arguments.silent) commandLine += " /S";
    if (arguments.logPath) commandLine += " /LOG=" + quoteArgument(*arguments.logPath);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // The copy's current folder is its own: a process's current folder cannot be removed.
    const bool started = handlesMade && CreateProcessA(copy.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                                       nullptr, folder.c_str(), &startup, &process);
    const DWORD startError = GetLastError();
    if (writeEnd) CloseHandle(writeEnd); // from now on only the copy holds it: its end breaks the pipe
    if (self) CloseHandle(self);
    if (!started) {
        if (readEnd) CloseHandle(readEnd);
        log.Write(withSystemError("Cannot start the uninstaller's copy " + copy + "; uninstalling in place", startError));
        DeleteFileA(copy.c_str());
        RemoveDirectoryA(folder.c_str());
        return std::nullopt;
    }
    CloseHandle(process.hThread);
    log.Write("Uninstalling through a copy of the uninstaller: " + copy);

    DWORD code = ecFailed, got = 0;
    // A copy that ends without answering (it crashed) breaks the pipe: a failed uninstallation.
    if (!ReadFile(readEnd, &code, sizeof code, &got, nullptr) || got != sizeof code) {
        log.Write("The uninstaller's copy ended without a result");
        code = ecFailed;
    }
    CloseHandle(readEnd);
    CloseHandle(process.hProcess);
    log.Write("The uninstaller's copy reports exit code " + std::to_string(code));
    return static_cast<TExitCode>(code);
}

void finishUninstallerCopy(const TSetupCommandLine& arguments, TExitCode code) {
    TSetupLog& log = SetupLog();
    char self[MAX_PATH * 2] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string ownFolder = setupFolderOf(self);
    // The uninstallation made the product's folder current; it cannot be removed while it is.
    SetCurrentDirectoryA(ownFolder.c_str());

    if (arguments.resultPipe != 0) {
        const DWORD value = code;
        DWORD written = 0;
        WriteFile(handleFrom(arguments.resultPipe), &value, sizeof value, &written, nullptr);
        CloseHandle(handleFrom(arguments.resultPipe));
    }
    if (arguments.originalProcess != 0) {
        if (WaitForSingleObject(handleFrom(arguments.originalProcess), 60000) != WAIT_OBJECT_0)
            log.Write("The original uninstaller did not end within a minute");
        CloseHandle(handleFrom(arguments.originalProcess));
    }

    if (code == ecSuccess) {
        const std::string& original = arguments.originalUninstaller;
        // The system may hold the program's file a moment after its process has ended.
        bool deleted = false;
        for (int attempt = 0; attempt < 50 && !deleted; ++attempt) {
            deleted = DeleteFileA(original.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
            if (!deleted) Sleep(100);
        }
        log.Write(deleted ? "File removed: " + original : withSystemError("File not removed: " + original, GetLastError()));
        const std::string productFolder = setupFolderOf(original);
        if (RemoveDirectoryA(productFolder.c_str()))
            log.Write("Folder removed: " + productFolder);
        else
            log.Write(withSystemError("Folder kept: " + productFolder, GetLastError()));
    }
    // The file first, then its folder: Windows carries them out in this order.
    const bool scheduled = MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) &&
                           MoveFileExA(ownFolder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    log.Write(scheduled ? "Removal at the next restart: " + std::string(self)
                        : withSystemError("Cannot schedule the removal of " + std::string(self), GetLastError()));
}

} // namespace tarnwick
