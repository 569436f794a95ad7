// The folder list (a tree of one drive with opened, current and closed folder glyphs; a
// double-click enters a folder) and the drive selector.
#include "ui/control.h"

#include <algorithm>
#include <cstring>

namespace tarnwick::ui {

namespace {

bool equalsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && (a.empty() || CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.c_str(),
                                                                static_cast<int>(a.size()), b.c_str(),
                                                                static_cast<int>(b.size())) == CSTR_EQUAL);
}

// A folder path without a trailing backslash, except for a drive's root ("c:\").
std::string normalFolder(const std::string& folder) {
    char full[MAX_PATH * 2];
    DWORD n = GetFullPathNameA(folder.c_str(), sizeof(full), full, nullptr);
    std::string path = (n > 0 && n < sizeof(full)) ? std::string(full, n) : folder;
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    if (path.size() == 2 && path[1] == ':') path += '\\';
    return path;
}

// Small folder glyphs for the folder list: 0 opened, 1 current (opened, highlighted), 2 closed.
void drawFolderGlyph(HDC dc, int x, int y, int glyph) {
    const COLORREF outline = RGB(128, 96, 0);
    const COLORREF body = glyph == 1 ? RGB(255, 255, 160) : RGB(240, 200, 80);
    HPEN pen = CreatePen(PS_SOLID, 1, outline);
    HBRUSH brush = CreateSolidBrush(body);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    Rectangle(dc, x, y + 2, x + 6, y + 5); // tab
    Rectangle(dc, x, y + 4, x + 14, y + 14);
    if (glyph != 2) {
        // The open flap, slanted forward.
        HBRUSH flap = CreateSolidBrush(glyph == 1 ? RGB(255, 255, 220) : RGB(255, 232, 150));
        SelectObject(dc, flap);
        POINT pts[4] = {{x + 3, y + 7}, {x + 16, y + 7}, {x + 13, y + 14}, {x, y + 14}};
        Polygon(dc, pts, 4);
        SelectObject(dc, brush);
        DeleteObject(flap);
    }
    if (glyph == 1) {
        HBRUSH mark = CreateSolidBrush(RGB(0, 0, 160));
        RECT dot{x + 6, y + 9, x + 10, y + 12};
        FillRect(dc, &dot, mark);
        DeleteObject(mark);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

} // namespace

void TControl::fillDrives() {
    const DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if ((drives & (1u << i)) == 0) continue;
        std::string item = {static_cast<char>('a' + i), ':'};
        const std::string root = item + "\\";
        const UINT type = GetDriveTypeA(root.c_str());
        char label[MAX_PATH] = "";
        // Removable drives are not asked for their label: that would wait for a disk.
        if (type != DRIVE_REMOVABLE && type != DRIVE_CDROM &&
            GetVolumeInformationA(root.c_str(), label, sizeof(label), nullptr, nullptr, nullptr, nullptr, 0) &&
            label[0] != '\0')
            item += std::string(" [") + label + "]";
        SendMessageA(handle_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
}

void TControl::SetDirectory(const std::string& folder) {
    const std::string path = normalFolder(folder);
    if (equalsNoCase(path, directory_)) return;
    directory_ = path;
    refillDirectoryList();
    fire(OnChange);
}

char TControl::Drive() const {
    if (kind_ == TControlKind::DriveCombo) {
        const LRESULT index = SendMessageA(handle_, CB_GETCURSEL, 0, 0);
        if (index == CB_ERR) return 0;
        char text[MAX_PATH + 8] = "";
        if (SendMessageA(handle_, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0) >= static_cast<LRESULT>(sizeof(text)))
            return 0;
        SendMessageA(handle_, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
        return text[0];
    }
    if (directory_.size() >= 2 && directory_[1] == ':') {
        const char letter = directory_[0];
        return letter >= 'A' && letter <= 'Z' ? static_cast<char>(letter - 'A' + 'a') : letter;
    }
    return 0;
}

void TControl::SetDrive(char drive) {
    if (drive >= 'A' && drive <= 'Z') drive = static_cast<char>(drive - 'A' + 'a');
    if (kind_ == TControlKind::DriveCombo) {
        const int count = static_cast<int>(SendMessageA(handle_, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char text[MAX_PATH + 8] = "";
            if (SendMessageA(handle_, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) >= static_cast<LRESULT>(sizeof(text)))
                continue;
            SendMessageA(handle_, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            if (text[0] == drive) {
                SendMessageA(handle_, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
                return;
            }
        }
        return;
    }
    if (drive == 0 || drive == Drive()) return;
    // The folder the process last used on that drive, or its root.
    SetDirectory(std::string{drive, ':'});
}

void TControl::refillDirectoryList() {
    dirEntries_.clear();
    std::string root;
    std::string rest;
    if (directory_.size() >= 3 && directory_[1] == ':') {
        root = directory_.substr(0, 3);
        rest = directory_.substr(3);
    } else {
        // \\server\share\...: the share is the root.
        size_t cut = directory_.find('\\', 2);
        if (cut != std::string::npos) cut = directory_.find('\\', cut + 1);
        root = directory_.substr(0, cut);
        rest = cut == std::string::npos ? "" : directory_.substr(cut + 1);
    }
    int level = 0;
    dirEntries_.push_back({root, root, level, rest.empty() ? 1 : 0});
    std::string path = root;
    size_t start = 0;
    while (start < rest.size()) {
        size_t end = rest.find('\\', start);
        if (end == std::string::npos) end = rest.size();
        const std::string name = rest.substr(start, end - start);
        if (!path.empty() && path.back() != '\\') path += '\\';
        path += name;
        ++level;
        dirEntries_.push_back({path, name, level, end == rest.size() ? 1 : 0});
        start = end + 1;
    }
    const int currentIndex = static_cast<int>(dirEntries_.size()) - 1;
    std::vector<std::string> subfolders;
    std::string pattern = directory_;
    if (pattern.back() != '\\') pattern += '\\';
    const std::string prefix = pattern;
    pattern += '*';
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
            if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0) continue;
            subfolders.emplace_back(found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    std::sort(subfolders.begin(), subfolders.end(), [](const std::string& a, const std::string& b) {
        return lstrcmpiA(a.c_str(), b.c_str()) < 0;
    });
    for (const std::string& name : subfolders) dirEntries_.push_back({prefix + name, name, level + 1, 2});
    if (handle_ == nullptr) return;
    SendMessageA(handle_, WM_SETREDRAW, FALSE, 0);
    SendMessageA(handle_, LB_RESETCONTENT, 0, 0);
    for (const TDirEntry& entry : dirEntries_)
        SendMessageA(handle_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.text.c_str()));
    SendMessageA(handle_, LB_SETCURSEL, static_cast<WPARAM>(currentIndex), 0);
    SendMessageA(handle_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(handle_, nullptr, TRUE);
}

void TControl::HandleDrawItem(const DRAWITEMSTRUCT& item) {
    if (kind_ != TControlKind::DirectoryList || item.itemID == static_cast<UINT>(-1)) return;
    if (item.itemID >= dirEntries_.size()) return;
    const TDirEntry& entry = dirEntries_[item.itemID];
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const int x = r.left + 2 + entry.level * 10;
    drawFolderGlyph(dc, x, r.top + 1, entry.glyph);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    HGDIOBJ old = SelectObject(dc, EffectiveFont());
    RECT text{x + 20, r.top, r.right, r.bottom};
    DrawTextA(dc, entry.text.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(dc, old);
    if ((item.itemState & ODS_FOCUS) != 0) DrawFocusRect(dc, &r);
}

} // namespace tarnwick::ui
