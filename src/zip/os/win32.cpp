// The seam on Windows: the ANSI Win32 API throughout, as the component's strings are ANSI.
#include "zip/os/os.h"

#include <windows.h>

#include <io.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace tarnwick::zaos {
namespace {

class Win32File final : public NativeFile {
public:
    explicit Win32File(HANDLE handle) : handle_(handle) {}
    ~Win32File() override { CloseHandle(handle_); }

    std::size_t read(void* buffer, std::size_t count) override {
        std::size_t done = 0;
        auto* p = static_cast<char*>(buffer);
        while (done < count) {
            const DWORD ask = static_cast<DWORD>(count - done > 0x40000000 ? 0x40000000 : count - done);
            DWORD got = 0;
            if (!ReadFile(handle_, p + done, ask, &got, nullptr) || got == 0) break;
            done += got;
        }
        return done;
    }
    std::size_t write(const void* buffer, std::size_t count) override {
        std::size_t done = 0;
        const auto* p = static_cast<const char*>(buffer);
        while (done < count) {
            const DWORD ask = static_cast<DWORD>(count - done > 0x40000000 ? 0x40000000 : count - done);
            DWORD put = 0;
            if (!WriteFile(handle_, p + done, ask, &put, nullptr) || put == 0) break;
            done += put;
        }
        return done;
    }
    bool seek(std::int64_t position) override {
        LARGE_INTEGER to;
        to.QuadPart = position;
        return SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) != 0;
    }
    std::int64_t size() override {
        LARGE_INTEGER s;
        return GetFileSizeEx(handle_, &s) ? s.QuadPart : 0;
    }
    bool truncate(std::int64_t newSize) override { return seek(newSize) && SetEndOfFile(handle_) != 0; }
    void flushToDevice() override { FlushFileBuffers(handle_); }
    bool setDosDateTime(std::uint32_t dosDateTime) override {
        FILETIME local, utc;
        if (!DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16), static_cast<WORD>(dosDateTime), &local)) return false;
        if (!LocalFileTimeToFileTime(&local, &utc)) return false;
        return SetFileTime(handle_, &utc, &utc, &utc) != 0;
    }
    bool setAttributes(std::uint32_t attributes) override {
        // SetFileInformationByHandle came with Windows Vista; looked up so the program still starts
        // on older systems, which set the attributes by name.
        using SetInformation = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
        static const auto set = reinterpret_cast<SetInformation>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetFileInformationByHandle")));
        if (set == nullptr) return false;
        struct {
            LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime;  // 0: unchanged
            DWORD fileAttributes;                                                  // 0: unchanged
        } basic{};
        basic.fileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
        constexpr int kFileBasicInfo = 0;
        return set(handle_, kFileBasicInfo, &basic, sizeof basic) != 0;
    }

private:
    HANDLE handle_;
};

std::string lastErrorText() {
    char buffer[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, GetLastError(), 0, buffer,
                   sizeof buffer, nullptr);
    std::string text = buffer;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

// The overwrite question needs four buttons (Yes, No, No to All, Yes to All), which no message
// box has; this builds a small dialog template in memory instead.
enum : int { kYes = 100, kNo, kNoToAll, kYesToAll };

INT_PTR CALLBACK overwriteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND) {
        const int id = LOWORD(wParam);
        if ((id >= kYes && id <= kYesToAll) || id == IDCANCEL) {
            EndDialog(dialog, id == IDCANCEL ? kNo : id);
            return TRUE;
        }
    }
    return FALSE;
}

void appendWide(std::vector<WORD>& t, const std::wstring& text) {
    for (wchar_t c : text) t.push_back(static_cast<WORD>(c));
    t.push_back(0);
}

void alignDword(std::vector<WORD>& t) {
    if (t.size() % 2 != 0) t.push_back(0);
}

void appendItem(std::vector<WORD>& t, DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
                const std::wstring& text) {
    alignDword(t);
    t.push_back(LOWORD(style));
    t.push_back(HIWORD(style));
    t.push_back(0);
    t.push_back(0);  // extended style
    for (short v : {x, y, cx, cy}) t.push_back(static_cast<WORD>(v));
    t.push_back(id);
    t.push_back(0xFFFF);
    t.push_back(atom);
    appendWide(t, text);
    t.push_back(0);  // no creation data
}

std::wstring toWide(const std::string& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), w.data(), n);
    return w;
}

DialogResult overwriteDialog(const std::string& text) {
    std::vector<WORD> t;
    const DWORD style = DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.push_back(LOWORD(style));
    t.push_back(HIWORD(style));
    t.push_back(0);
    t.push_back(0);  // extended style
    t.push_back(5);  // items
    for (short v : {0, 0, 260, 80}) t.push_back(static_cast<WORD>(v));
    t.push_back(0);  // no menu
    t.push_back(0);  // default class
    appendWide(t, L"Confirm");
    t.push_back(8);
    appendWide(t, L"MS Shell Dlg");
    appendItem(t, WS_CHILD | WS_VISIBLE | SS_LEFT, 8, 8, 244, 40, 0xFFFF, 0x0082, toWide(text));
    appendItem(t, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 8, 58, 56, 14, kYes, 0x0080, L"&Yes");
    appendItem(t, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 70, 58, 56, 14, kNo, 0x0080, L"&No");
    appendItem(t, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 132, 58, 56, 14, kNoToAll, 0x0080, L"No to &All");
    appendItem(t, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 194, 58, 58, 14, kYesToAll, 0x0080, L"Yes to A&ll");
    const INT_PTR r = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(t.data()),
                                              nullptr, overwriteDialogProc, 0);
    switch (r) {
    case kYes: return DialogResult::yes;
    case kYesToAll: return DialogResult::yesToAll;
    case kNoToAll: return DialogResult::noToAll;
    default: return DialogResult::no;
    }
}

// The password box: an edit field that starts with the current text and gives back what the user
// typed when OK is chosen.
constexpr int kInputEdit = 110;

INT_PTR CALLBACK inputDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        SetDlgItemTextA(dialog, kInputEdit, reinterpret_cast<std::string*>(lParam)->c_str());
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        if (LOWORD(wParam) == IDOK) {
            auto* text = reinterpret_cast<std::string*>(GetWindowLongPtrA(dialog, DWLP_USER));
            const int length = GetWindowTextLengthA(GetDlgItem(dialog, kInputEdit));
            std::string typed(static_cast<std::size_t>(length) + 1, '\0');
            GetDlgItemTextA(dialog, kInputEdit, typed.data(), length + 1);
            typed.resize(static_cast<std::size_t>(length));
            *text = typed;
        }
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

std::string drivePart(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
    return {};
}

} // namespace

std::unique_ptr<NativeFile> openFile(const std::string& path, std::uint16_t mode, std::string& errorText) {
    DWORD access = GENERIC_READ;
    DWORD creation = OPEN_EXISTING;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (mode == 0xFFFF) {
        access = GENERIC_READ | GENERIC_WRITE;
        creation = CREATE_ALWAYS;
        share = FILE_SHARE_READ;
    } else {
        if ((mode & 3) == 1) access = GENERIC_WRITE;
        if ((mode & 3) == 2) access = GENERIC_READ | GENERIC_WRITE;
        switch (mode & 0xF0) {
        case 0x10: share = 0; break;
        case 0x20: share = FILE_SHARE_READ; break;
        case 0x30: share = FILE_SHARE_WRITE; break;
        default: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
        }
    }
    HANDLE h = CreateFileA(path.c_str(), access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errorText = lastErrorText();
        return nullptr;
    }
    return std::make_unique<Win32File>(h);
}

std::unique_ptr<NativeFile> createNewFile(const std::string& path, bool* nameTaken) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (nameTaken) *nameTaken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return nullptr;
    }
    return std::make_unique<Win32File>(h);
}

bool fileExists(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return !path.empty() && a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool directoryExists(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return !path.empty() && a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool createDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }
bool deleteFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }
std::uint32_t fileAttributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }
bool setFileAttributes(const std::string& path, std::uint32_t attributes) {
    return SetFileAttributesA(path.c_str(), attributes) != 0;
}

bool fileDosDateTime(const std::string& path, std::uint32_t& dosDateTime) {
    const FileFacts facts = fileFacts(path);
    if (facts.timeKnown) dosDateTime = facts.dosDateTime;
    return facts.timeKnown;
}

FileFacts fileFacts(const std::string& path) {
    FileFacts facts;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return facts;
    facts.attributes = data.dwFileAttributes;
    FILETIME local;
    WORD date = 0, time = 0;
    if (FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) && FileTimeToDosDateTime(&local, &date, &time)) {
        facts.timeKnown = true;
        facts.dosDateTime = (static_cast<std::uint32_t>(date) << 16) | time;
    }
    return facts;
}

bool isRemovableDrive(const std::string& path) {
    const std::string drive = drivePart(path);
    if (drive.empty()) return false;
    return GetDriveTypeA((drive + "\\").c_str()) == DRIVE_REMOVABLE;
}

std::string currentDirectory() {
    char buffer[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(sizeof buffer, buffer);
    return buffer;
}

std::string tempFolder() {
    char buffer[MAX_PATH + 1] = {};
    GetTempPathA(sizeof buffer, buffer);
    return buffer;
}

std::string createTempFile(const std::string& folder, const std::string& prefix) {
    char buffer[MAX_PATH + 1] = {};
    if (GetTempFileNameA(folder.c_str(), prefix.c_str(), 0, buffer) == 0) return {};
    return buffer;
}

std::uint64_t availablePhysicalMemory() {
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return 256u << 20;
    return status.ullAvailPhys;
}

std::uint32_t userDefaultLocaleId() { return GetUserDefaultLCID(); }

int compareAnsi(const char* a, std::size_t lengthA, const char* b, std::size_t lengthB, bool ignoreCase) {
    const int r = CompareStringA(LOCALE_USER_DEFAULT, ignoreCase ? NORM_IGNORECASE : 0, a, static_cast<int>(lengthA), b,
                                 static_cast<int>(lengthB));
    return r - CSTR_EQUAL;
}

bool caselessSortKey(const char* text, std::size_t length, std::string& key) {
    // The locale's own sort key: comparing two keys byte by byte gives what CompareStringA gives
    // for their texts, ligatures, ignorable characters and all.
    if (length == 0 || length > 0x7FFFFFFF) return false;
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    const int n = static_cast<int>(length);
    const int size = LCMapStringA(LOCALE_USER_DEFAULT, flags, text, n, nullptr, 0);
    if (size <= 0) return false;
    key.resize(static_cast<std::size_t>(size));
    const int written = LCMapStringA(LOCALE_USER_DEFAULT, flags, text, n, key.data(), size);
    if (written <= 0) return false;
    key.resize(static_cast<std::size_t>(written));
    return true;
}

unsigned char ansiUpper(unsigned char c) {
    char s[2] = {static_cast<char>(c), 0};
    CharUpperBuffA(s, 1);
    return static_cast<unsigned char>(s[0]);
}

unsigned char ansiLower(unsigned char c) {
    char s[2] = {static_cast<char>(c), 0};
    CharLowerBuffA(s, 1);
    return static_cast<unsigned char>(s[0]);
}

unsigned char oemToAnsi(unsigned char c) {
    char s = static_cast<char>(c);
    OemToCharBuffA(&s, &s, 1);
    return static_cast<unsigned char>(s);
}

unsigned char ansiToOem(unsigned char c) {
    char s = static_cast<char>(c);
    CharToOemBuffA(&s, &s, 1);
    return static_cast<unsigned char>(s);
}

DialogResult confirmBox(const std::string& text, DialogButtons buttons) {
    if (buttons == DialogButtons::yesNoAllNoAll) return overwriteDialog(text);
    UINT type = MB_OKCANCEL;
    if (buttons == DialogButtons::abortRetryIgnore) type = MB_ABORTRETRYIGNORE;
    const int r = MessageBoxA(nullptr, text.c_str(), "Confirm", type | MB_ICONQUESTION | MB_TASKMODAL);
    switch (r) {
    case IDOK: return DialogResult::ok;
    case IDYES: return DialogResult::yes;
    case IDNO: return DialogResult::no;
    case IDRETRY: return DialogResult::retry;
    case IDIGNORE: return DialogResult::ignore;
    case IDABORT: return DialogResult::abort;
    case IDCANCEL: return DialogResult::cancel;
    default: return buttons == DialogButtons::abortRetryIgnore ? DialogResult::abort : DialogResult::cancel;
    }
}

bool inputBox(const std::string& caption, const std::string& prompt, std::string& value) {
    std::vector<WORD> t;
    const DWORD style = DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.push_back(LOWORD(style));
    t.push_back(HIWORD(style));
    t.push_back(0);
    t.push_back(0);  // extended style
    t.push_back(4);  // items
    for (short v : {0, 0, 220, 66}) t.push_back(static_cast<WORD>(v));
    t.push_back(0);  // no menu
    t.push_back(0);  // default class
    appendWide(t, toWide(caption));
    t.push_back(8);
    appendWide(t, L"MS Shell Dlg");
    appendItem(t, WS_CHILD | WS_VISIBLE | SS_LEFT, 8, 8, 204, 10, 0xFFFF, 0x0082, toWide(prompt));
    appendItem(t, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 8, 22, 204, 12, kInputEdit, 0x0081, L"");
    appendItem(t, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 100, 44, 54, 14, IDOK, 0x0080, L"OK");
    appendItem(t, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 158, 44, 54, 14, IDCANCEL, 0x0080, L"Cancel");
    std::string edited = value;
    const INT_PTR r = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(t.data()),
                                              nullptr, inputDialogProc, reinterpret_cast<LPARAM>(&edited));
    if (r != IDOK) return false;
    value = edited;
    return true;
}

std::string utf8ToAnsi(const std::string& text) {
    if (text.empty()) return {};
    const int wide = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (wide <= 0) return text;
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), w.data(), wide);
    const int narrow = WideCharToMultiByte(CP_ACP, 0, w.data(), wide, nullptr, 0, "?", nullptr);
    std::string out(static_cast<std::size_t>(narrow > 0 ? narrow : 0), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), wide, out.data(), narrow, "?", nullptr);
    return out;
}

std::string ansiToUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int wide = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (wide <= 0) return text;
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), w.data(), wide);
    const int narrow = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(narrow > 0 ? narrow : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, out.data(), narrow, nullptr, nullptr);
    return out;
}

std::vector<DirEntry> listDirectory(const std::string& folder) {
    std::vector<DirEntry> entries;
    std::string pattern = folder.empty() ? std::string(".") : folder;
    if (pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    pattern += "*";
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return entries;
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        entries.push_back({name, data.dwFileAttributes});
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return entries;
}

std::string fullPath(const std::string& path) {
    char buffer[MAX_PATH * 4] = {};
    const DWORD n = GetFullPathNameA(path.empty() ? "." : path.c_str(), sizeof buffer, buffer, nullptr);
    if (n == 0 || n >= sizeof buffer) return path;
    return buffer;
}

std::int64_t freeDriveSpace(const std::string& path) {
    std::string root = fullPath(path);
    if (root.size() >= 2 && root[1] == ':') {
        root = root.substr(0, 2) + "\\";
    } else {
        const std::size_t slash = root.find_last_of("\\/");
        if (slash != std::string::npos) root = root.substr(0, slash + 1);
    }
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr)) return -1;
    return static_cast<std::int64_t>(available.QuadPart);
}

bool setVolumeLabel(const std::string& path, const std::string& label) {
    const std::string drive = drivePart(path);
    if (drive.empty()) return false;
    return SetVolumeLabelA((drive + "\\").c_str(), label.c_str()) != 0;
}

std::uint32_t currentDosDateTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME file;
    WORD date = 0, time = 0;
    if (!SystemTimeToFileTime(&now, &file) || !FileTimeToDosDateTime(&file, &date, &time)) return (1u << 21) | (1u << 16);
    return (static_cast<std::uint32_t>(date) << 16) | time;
}

std::string argumentToAnsi(const char* argument) { return argument; }
std::string ansiToConsole(const std::string& text) { return text; }
bool isTerminal(int fd) { return _isatty(fd) != 0; }

} // namespace tarnwick::zaos
