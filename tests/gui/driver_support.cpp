#include "driver_support.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>

namespace gui {

bool TChecks::check(bool ok, const std::string& what) {
    std::printf("  %s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    (ok ? passed_ : failed_)++;
    return ok;
}

void TChecks::note(const std::string& line) {
    std::printf("       %s\n", line.c_str());
    std::fflush(stdout);
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (static_cast<int>(GetTickCount() - start) > timeoutMs) return false;
        Sleep(20);
    }
}

TProcess::~TProcess() {
    if (info_.hProcess != nullptr) {
        if (Running()) TerminateProcess(info_.hProcess, 99);
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
}

bool TProcess::Start(const std::string& exe, const std::string& arguments, const std::string& folder) {
    std::string commandLine = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    return CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &startup, &info_) != 0;
}

bool TProcess::Running() const {
    return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

long TProcess::WaitExit(int timeoutMs) {
    if (WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return static_cast<long>(code);
}

namespace {

struct TFind {
    std::vector<DWORD> pids;
    const std::string* cls;
    const std::string* caption;
    HWND found;
};

BOOL CALLBACK findTop(HWND hwnd, LPARAM param) {
    auto* f = reinterpret_cast<TFind*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (std::find(f->pids.begin(), f->pids.end(), pid) == f->pids.end() || !IsWindowVisible(hwnd)) return TRUE;
    char cls[256] = "";
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (lstrcmpiA(cls, f->cls->c_str()) != 0) return TRUE;
    if (!f->caption->empty() && text(hwnd) != *f->caption) return TRUE;
    f->found = hwnd;
    return FALSE;
}

struct TFindChild {
    std::string property;
    HWND found;
};

BOOL CALLBACK findChild(HWND hwnd, LPARAM param) {
    auto* f = reinterpret_cast<TFindChild*>(param);
    if (GetPropA(hwnd, f->property.c_str()) != nullptr) {
        f->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

std::string gShotFolder;

BOOL CALLBACK firstOfProcess(HWND hwnd, LPARAM param) {
    auto* p = reinterpret_cast<std::pair<DWORD, HWND>*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != p->first) return TRUE;
    p->second = hwnd;
    return FALSE;
}

} // namespace

std::vector<DWORD> processFamily(DWORD pid) {
    std::map<DWORD, DWORD> parents;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
            parents[entry.th32ProcessID] = entry.th32ParentProcessID;
        CloseHandle(snapshot);
    }
    std::vector<DWORD> family{pid};
    // Parents listed before their children or not: repeat until nothing joins.
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& [child, parent] : parents)
            if (std::find(family.begin(), family.end(), parent) != family.end() &&
                std::find(family.begin(), family.end(), child) == family.end()) {
                family.push_back(child);
                grew = true;
            }
    }
    return family;
}

std::vector<DWORD> processesNamed(const std::string& exeName) {
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, exeName.c_str()) == 0) found.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return found;
}

namespace {
BOOL CALLBACK collectVisible(HWND hwnd, LPARAM param) {
    auto* f = reinterpret_cast<std::pair<std::vector<DWORD>, std::vector<std::string>>*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (IsWindowVisible(hwnd) && std::find(f->first.begin(), f->first.end(), pid) != f->first.end()) {
        char cls[256] = "";
        GetClassNameA(hwnd, cls, sizeof cls);
        f->second.push_back(std::string(cls) + " \"" + text(hwnd) + "\"");
    }
    return TRUE;
}
} // namespace

std::vector<std::string> visibleWindows(DWORD pid) {
    std::pair<std::vector<DWORD>, std::vector<std::string>> f{processFamily(pid), {}};
    EnumWindows(collectVisible, reinterpret_cast<LPARAM>(&f));
    return f.second;
}

HWND findWindow(DWORD pid, const std::string& cls, const std::string& caption) {
    TFind f{processFamily(pid), &cls, &caption, nullptr};
    EnumWindows(findTop, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

HWND waitWindow(DWORD pid, const std::string& cls, const std::string& caption, int timeoutMs) {
    HWND found = nullptr;
    waitFor([&] { return (found = findWindow(pid, cls, caption)) != nullptr; }, timeoutMs);
    return found;
}

bool staysAbsent(DWORD pid, const std::string& cls, const std::string& caption, int ms) {
    return !waitFor([&] { return findWindow(pid, cls, caption) != nullptr; }, ms);
}

HWND control(HWND form, const std::string& name) {
    TFindChild f{"TarnwickName:" + name, nullptr};
    EnumChildWindows(form, findChild, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

std::string text(HWND window) {
    char buffer[4096] = "";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                             5000, &length))
        return "<no answer>";
    return std::string(buffer, length < sizeof(buffer) ? length : sizeof(buffer) - 1);
}

bool visible(HWND window) { return window != nullptr && IsWindowVisible(window); }
bool enabled(HWND window) { return window != nullptr && IsWindowEnabled(window); }

bool checked(HWND checkBox) {
    DWORD_PTR state = 0;
    SendMessageTimeoutA(checkBox, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
    return state == BST_CHECKED;
}

HWND focused(DWORD pid) {
    // The focus of the process's GUI thread: the window of any of its top-level windows tells us.
    std::pair<DWORD, HWND> search{pid, nullptr};
    EnumWindows(firstOfProcess, reinterpret_cast<LPARAM>(&search));
    HWND any = search.second;
    if (any == nullptr) return nullptr;
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(any, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

RECT windowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

std::vector<std::string> listItems(HWND listBox) {
    std::vector<std::string> items;
    DWORD_PTR count = 0;
    SendMessageTimeoutA(listBox, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
    for (DWORD_PTR i = 0; i < count; ++i) {
        // Wine hands LB_GETTEXT across processes in UTF-16 whatever the caller's character set.
        WCHAR wide[1024] = L"";
        DWORD_PTR length = 0;
        SendMessageTimeoutW(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG, 5000, &length);
        char buffer[2048] = "";
        WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, sizeof(buffer), nullptr, nullptr);
        items.emplace_back(buffer);
    }
    return items;
}

std::string dialogText(HWND messageBox) { return text(GetDlgItem(messageBox, 0xFFFF)); }

bool click(TChecks& checks, HWND target, const std::string& what) {
    // Wine's BM_CLICK reaches disabled and hidden buttons too; a user could not click them.
    HWND top = target != nullptr ? GetAncestor(target, GA_ROOT) : nullptr;
    if (target == nullptr || !visible(target) || !enabled(target) || !visible(top) || !enabled(top))
        return checks.check(false, "click " + what + " (missing, hidden or disabled)");
    PostMessageA(target, BM_CLICK, 0, 0);
    return true;
}

void clickAt(HWND target, int x, int y, bool doubleClick) {
    const LPARAM at = MAKELPARAM(x, y);
    PostMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(target, WM_LBUTTONUP, 0, at);
    if (doubleClick) {
        PostMessageA(target, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        PostMessageA(target, WM_LBUTTONUP, 0, at);
    }
}

void setText(HWND edit, const std::string& value) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()), SMTO_ABORTIFHUNG, 5000, &result);
}

bool waitText(HWND window, const std::string& expected, int timeoutMs) {
    return waitFor([&] { return text(window) == expected; }, timeoutMs);
}

void setShotFolder(const std::string& folder) { gShotFolder = folder; }
const std::string& shotFolder() { return gShotFolder; }

bool shot(const std::string& name, HWND window) {
    if (gShotFolder.empty()) return true;
    Sleep(150); // let the last paint reach the X server
    std::string geometry;
    if (window != nullptr) {
        const RECT r = windowRect(window);
        geometry = std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
                   std::to_string(r.left < 0 ? 0 : r.left) + "+" + std::to_string(r.top < 0 ? 0 : r.top);
    }
    const std::string base = gShotFolder + "\\" + name;
    const std::string temp = base + ".reqtmp";
    if (FILE* f = std::fopen(temp.c_str(), "wb")) {
        std::fputs(geometry.c_str(), f);
        std::fclose(f);
    }
    DeleteFileA((base + ".png").c_str());
    MoveFileA(temp.c_str(), (base + ".req").c_str());
    return waitFor([&] { return GetFileAttributesA((base + ".png").c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000);
}

} // namespace gui
