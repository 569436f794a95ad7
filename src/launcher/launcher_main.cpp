// The one-file setup's launcher. The program file is this launcher followed by a stored ZIP
// archive of a setup folder (single_file_setup.h). It opens itself as that archive, extracts it
// into a new private folder, runs setup.exe there with its own command line, waits, removes the
// folder and ends with setup's exit code. When it cannot get setup.exe started it ends with 1,
// setup's own "could not start".
//
// Elevation: the manifest asks for administrator rights, as setup.exe's does, so the user sees
// one prompt, before anything is written. setup.exe, started with CreateProcess by an elevated
// process, inherits the elevated token and asks nothing more; and the files it runs from were
// written by an elevated process into a folder only administrators and the system may change,
// so an unelevated program cannot swap setup.exe or plant a DLL beside it in between.
#include "win32/dll_search.h"
#include "zip/ziparchiver.h"

#include <windows.h>

#include <sddl.h>

#include <cstdlib>
#include <exception>
#include <string>

// The default terminate handler would link the C++ demangler for a message nobody sees.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}

namespace {

using namespace tarnwick;

constexpr int kCouldNotStart = 1; // setup's own code for a setup that could not start

// The arguments behind the program name, as written (GetCommandLine's form).
const char* argumentsOf(const char* line) {
    if (*line == '"') {
        ++line;
        while (*line != '\0' && *line != '"') ++line;
        if (*line == '"') ++line;
    }
    while (*line != '\0' && *line != ' ' && *line != '\t') ++line;
    while (*line == ' ' || *line == '\t') ++line;
    return line;
}

// Unattended (/S anywhere before a /D=): no message box from the launcher either.
bool isUnattended(const std::string& arguments) {
    std::size_t i = 0;
    while (i < arguments.size()) {
        while (i < arguments.size() && (arguments[i] == ' ' || arguments[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < arguments.size() && arguments[i] != ' ' && arguments[i] != '\t') ++i;
        const std::string token = arguments.substr(start, i - start);
        if (token.size() >= 3 && token[0] == '/' && (token[1] == 'D' || token[1] == 'd') && token[2] == '=') break;
        if (token == "/S" || token == "/s") return true;
    }
    return false;
}

// The path of /LOG=<path> (quotes around the path or the whole switch allowed), or empty.
std::string logPathOf(const std::string& arguments) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const bool quoted = arguments[i] == '"';
        const std::size_t at = quoted ? i + 1 : i;
        if ((i > 0 && arguments[i - 1] != ' ' && arguments[i - 1] != '\t') || arguments.size() < at + 5) continue;
        std::string name = arguments.substr(at, 5);
        for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        if (name != "/LOG=") continue;
        std::size_t start = at + 5;
        const bool pathQuoted = !quoted && start < arguments.size() && arguments[start] == '"';
        if (pathQuoted) ++start;
        const std::size_t end = quoted || pathQuoted ? arguments.find('"', start) : arguments.find_first_of(" \t", start);
        return arguments.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    return {};
}

// The launcher's failures go where setup's would: a message box in the wizard, and the log
// that /LOG= names (appended; setup has not written it yet or has finished with it).
void report(bool unattended, const std::string& logPath, const std::string& text) {
    if (!logPath.empty()) {
        HANDLE log = CreateFileA(logPath.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log != INVALID_HANDLE_VALUE) {
            const std::string line = "Launcher: " + text + " Exit code: 1 (setup could not start)\r\n";
            DWORD written = 0;
            WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(log);
        }
    }
    if (!unattended) MessageBoxA(nullptr, text.c_str(), "Tarnwick Setup", MB_OK | MB_ICONSTOP);
}

// A folder under the system's temporary folder that did not exist before (CreateDirectory fails
// on an existing name, so a name someone prepared is never used), writable only by
// administrators and the system.
std::string createPrivateFolder() {
    char base[MAX_PATH + 1] = "";
    const DWORD length = GetTempPathA(sizeof base, base);
    if (length == 0 || length > MAX_PATH) return {};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return {};
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    unsigned seed = static_cast<unsigned>(counter.QuadPart) ^ GetCurrentProcessId() ^ GetTickCount();
    std::string made;
    for (int attempt = 0; attempt < 1000 && made.empty(); ++attempt) {
        seed = seed * 1103515245u + 12345u;
        const std::string folder = std::string(base) + "TarnwickSetup." + std::to_string(seed % 1000000000u);
        if (CreateDirectoryA(folder.c_str(), &attributes)) made = folder;
        else if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    LocalFree(descriptor);
    return made;
}

void removeTree(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                removeTree(path);
            } else if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                RemoveDirectoryA(path.c_str());
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

// The system may hold a program's file a moment after its process has ended.
void removeFolderSoon(const std::string& folder) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        removeTree(folder);
        if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return;
        Sleep(100);
    }
}

int runSetup(const std::string& folder, const std::string& arguments, bool unattended, const std::string& logPath) {
    char self[MAX_PATH * 2] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    try {
        TZipArchiver archive(nullptr);
        archive.FileName = self;
        archive.BaseDir = folder;
        archive.OpenArchive(0);
        archive.ExtractFiles("*", 63, "");
        archive.CloseArchive();
    } catch (const std::exception& e) {
        report(unattended, logPath, std::string("This setup program is damaged: ") + e.what());
        return kCouldNotStart;
    }
    const std::string setup = folder + "\\setup.exe";
    std::string commandLine = "\"" + setup + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(setup.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process)) {
        report(unattended, logPath, "Setup could not be started from " + setup + " (error " + std::to_string(GetLastError()) + ").");
        return kCouldNotStart;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = kCouldNotStart;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything can load a library: a one-file setup is run from the Downloads folder.
    restrictDllSearchToSystemFolder();
    const std::string arguments = argumentsOf(GetCommandLineA());
    const bool unattended = isUnattended(arguments);
    const std::string logPath = logPathOf(arguments);
    const std::string folder = createPrivateFolder();
    if (folder.empty()) {
        report(unattended, logPath, "Setup could not make a private temporary folder (error " + std::to_string(GetLastError()) + ").");
        return kCouldNotStart;
    }
    const int code = runSetup(folder, arguments, unattended, logPath);
    removeFolderSoon(folder);
    return code;
}
