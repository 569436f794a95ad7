// What the GUI driver needs to work another process's windows the way a user would: find windows
// by process, class and caption, find controls by name, read texts and states, click (never what a
// user could not click), type, wait with bounds, and ask for screenshots.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace gui {

// Results of one scenario; every check prints one line.
class TChecks {
public:
    bool check(bool ok, const std::string& what);
    template <class A, class B>
    bool equal(const A& actual, const B& expected, const std::string& what) {
        const bool ok = actual == expected;
        if (!ok) note(what + ": got [" + toText(actual) + "], expected [" + toText(expected) + "]");
        return check(ok, what);
    }
    void note(const std::string& line);
    int failed() const { return failed_; }
    int passed() const { return passed_; }

private:
    static std::string toText(const std::string& s) { return s; }
    static std::string toText(const char* s) { return s; }
    static std::string toText(bool b) { return b ? "true" : "false"; }
    static std::string toText(HWND h) {
        char buffer[32];
        wsprintfA(buffer, "%p", static_cast<void*>(h));
        return buffer;
    }
    template <class T>
    static std::string toText(const T& v) { return std::to_string(v); }
    int passed_ = 0;
    int failed_ = 0;
};

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000);

class TProcess {
public:
    TProcess() = default;
    ~TProcess();
    TProcess(const TProcess&) = delete;
    TProcess& operator=(const TProcess&) = delete;
    bool Start(const std::string& exe, const std::string& arguments, const std::string& folder);
    DWORD Pid() const { return info_.dwProcessId; }
    // The exit code, or -1 when the process is still running after timeoutMs (it is then ended).
    long WaitExit(int timeoutMs = 10000);
    bool Running() const;

private:
    PROCESS_INFORMATION info_{};
};

// The process and every process it started, and theirs (the uninstaller hands its work to a copy).
std::vector<DWORD> processFamily(DWORD pid);
// Running processes whose program file has that name (letter case ignored).
std::vector<DWORD> processesNamed(const std::string& exeName);
// "class \"caption\"" of every visible top-level window of the process's family.
std::vector<std::string> visibleWindows(DWORD pid);

// A visible top-level window of that process (or one it started) with that class and caption
// (empty: any caption).
HWND findWindow(DWORD pid, const std::string& cls, const std::string& caption);
HWND waitWindow(DWORD pid, const std::string& cls, const std::string& caption, int timeoutMs = 10000);
// True when no such window shows up within ms (a short, bounded negative check).
bool staysAbsent(DWORD pid, const std::string& cls, const std::string& caption, int ms = 400);

HWND control(HWND form, const std::string& name); // by the control's name; nullptr when missing
std::string text(HWND window);
bool visible(HWND window);
bool enabled(HWND window);
bool checked(HWND checkBox);
HWND focused(DWORD pid);
RECT windowRect(HWND window);
std::vector<std::string> listItems(HWND listBox);
std::string dialogText(HWND messageBox); // the message box's text

bool click(TChecks& checks, HWND target, const std::string& what); // refuses disabled or hidden targets
void clickAt(HWND target, int x, int y, bool doubleClick = false);
void setText(HWND edit, const std::string& value);
bool waitText(HWND window, const std::string& expected, int timeoutMs = 5000);

// Screenshots: asks the script around the driver for a PNG of the screen, cropped to window
// when given, and waits until it is there.
void setShotFolder(const std::string& folder);
const std::string& shotFolder(); // empty when none was given
bool shot(const std::string& name, HWND window = nullptr);

} // namespace gui
