// The seam on Linux and other POSIX systems. ANSI is Windows-1252, OEM is code page 437 and the
// locale order is the US English one, all from the tables generated under Wine. Paths arrive in
// ANSI with either separator and go to the file system as UTF-8 with "/".
#include "zip/os/os.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <utility>
#include <vector>

namespace tarnwick::zaos {
namespace {

#include "zip/os/posix_locale_tables.inc"

void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string toUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) appendUtf8(out, kAnsiToUnicode[c]);
    return out;
}

// Windows looks names up without regard to case; a volume named "data.Z01" must find the
// "data.z01" that another tool wrote. Only the last component is looked up that way.
// The path as given, in the system's encoding and separators.
std::string givenPath(const std::string& ansiPath) {
    std::string path = toUtf8(ansiPath);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string systemPath(const std::string& ansiPath) {
    const std::string path = givenPath(ansiPath);
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) == 0) return path;
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = (slash == std::string::npos) ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string name = (slash == std::string::npos) ? path : path.substr(slash + 1);
    if (name.empty()) return path;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return path;
    std::string found = path;
    while (dirent* entry = ::readdir(dir)) {
        if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = (slash == std::string::npos) ? std::string(entry->d_name) : path.substr(0, slash + 1) + entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

// Read-only is the one attribute a mode carries: no write bits, or the owner's back.
mode_t modeWithAttributes(mode_t mode, std::uint32_t attributes) {
    mode &= 07777;
    if ((attributes & 0x01) != 0) return mode & static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
    return mode | S_IWUSR;
}

class PosixFile final : public NativeFile {
public:
    // sizeAtOpen: the size a file opened for reading had when it was opened (-1: ask).
    explicit PosixFile(int fd, std::int64_t sizeAtOpen = -1) : fd_(fd), sizeAtOpen_(sizeAtOpen) {}
    ~PosixFile() override { ::close(fd_); }

    std::size_t read(void* buffer, std::size_t count) override {
        std::size_t done = 0;
        auto* p = static_cast<char*>(buffer);
        while (done < count) {
            const ssize_t n = ::read(fd_, p + done, count - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        return done;
    }
    std::size_t write(const void* buffer, std::size_t count) override {
        std::size_t done = 0;
        const auto* p = static_cast<const char*>(buffer);
        while (done < count) {
            const ssize_t n = ::write(fd_, p + done, count - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        return done;
    }
    bool seek(std::int64_t position) override { return ::lseek(fd_, position, SEEK_SET) == position; }
    std::int64_t size() override {
        // Asked once per file that is added, right after opening it: the look that opened it
        // already knows.
        if (sizeAtOpen_ >= 0) return std::exchange(sizeAtOpen_, -1);
        struct stat st {};
        return ::fstat(fd_, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
    }
    bool truncate(std::int64_t newSize) override { return ::ftruncate(fd_, newSize) == 0; }
    void flushToDevice() override { ::fsync(fd_); }
    bool setDosDateTime(std::uint32_t dosDateTime) override {
        std::tm t{};
        t.tm_year = static_cast<int>((dosDateTime >> 25) & 0x7F) + 80;
        t.tm_mon = static_cast<int>((dosDateTime >> 21) & 0x0F) - 1;
        t.tm_mday = static_cast<int>((dosDateTime >> 16) & 0x1F);
        t.tm_hour = static_cast<int>((dosDateTime >> 11) & 0x1F);
        t.tm_min = static_cast<int>((dosDateTime >> 5) & 0x3F);
        t.tm_sec = static_cast<int>((dosDateTime & 0x1F) * 2);
        t.tm_isdst = -1;
        const std::time_t when = std::mktime(&t);
        if (when == static_cast<std::time_t>(-1)) return false;
        const timespec times[2] = {{when, 0}, {when, 0}};
        return ::futimens(fd_, times) == 0;
    }
    bool setAttributes(std::uint32_t attributes) override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return false;
        return ::fchmod(fd_, modeWithAttributes(st.st_mode, attributes)) == 0;
    }

private:
    int fd_;
    std::int64_t sizeAtOpen_;
};

// The path as given first: finding a name in another letter case reads the folder, and is only
// needed when the name as given is not there.
bool statPath(const std::string& path, struct stat& st) {
    const std::string direct = givenPath(path);
    if (!direct.empty() && ::stat(direct.c_str(), &st) == 0) return true;
    return ::stat(systemPath(path).c_str(), &st) == 0;
}

std::uint32_t attributesOf(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return 0x10;
    return (st.st_mode & S_IWUSR) == 0 ? 0x21 : 0x20;
}

bool dosDateTimeOf(const struct stat& st, std::uint32_t& dosDateTime) {
    std::tm t{};
    const std::time_t when = st.st_mtime;
    if (::localtime_r(&when, &t) == nullptr || t.tm_year < 80) return false;
    dosDateTime = (static_cast<std::uint32_t>(t.tm_year - 80) << 25) | (static_cast<std::uint32_t>(t.tm_mon + 1) << 21) |
                  (static_cast<std::uint32_t>(t.tm_mday) << 16) | (static_cast<std::uint32_t>(t.tm_hour) << 11) |
                  (static_cast<std::uint32_t>(t.tm_min) << 5) | static_cast<std::uint32_t>(t.tm_sec / 2);
    return true;
}

bool stdinIsTerminal() { return ::isatty(0) == 1; }

std::string askLine(const std::string& question) {
    std::cerr << question << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return {};
    return line;
}

} // namespace

std::unique_ptr<NativeFile> openFile(const std::string& path, std::uint16_t mode, std::string& errorText) {
    int flags = O_RDONLY;
    if (mode == 0xFFFF) {
        flags = O_RDWR | O_CREAT | O_TRUNC;
    } else if ((mode & 3) == 1) {
        flags = O_WRONLY;
    } else if ((mode & 3) == 2) {
        flags = O_RDWR;
    }
    // A file opened for reading is tried under the name as given first; looking for the name in
    // another letter case reads its folder. Writing never creates a second name of another case.
    int fd = -1;
    if (flags == O_RDONLY) {
        const std::string direct = givenPath(path);
        if (!direct.empty()) fd = ::open(direct.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0) fd = ::open(systemPath(path).c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) {
        errorText = std::strerror(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        errorText = "Is a directory";
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixFile>(fd, flags == O_RDONLY ? static_cast<std::int64_t>(st.st_size) : -1);
}

std::unique_ptr<NativeFile> createNewFile(const std::string& path, bool* nameTaken) {
    // systemPath finds an entry of the name in another letter case, which O_EXCL then refuses.
    const int fd = ::open(systemPath(path).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (nameTaken) *nameTaken = errno == EEXIST;
        return nullptr;
    }
    return std::make_unique<PosixFile>(fd);
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && statPath(path, st) && !S_ISDIR(st.st_mode);
}

bool directoryExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && statPath(path, st) && S_ISDIR(st.st_mode);
}

bool createDirectory(const std::string& path) { return ::mkdir(systemPath(path).c_str(), 0777) == 0; }

bool deleteFile(const std::string& path) { return ::unlink(systemPath(path).c_str()) == 0; }

std::uint32_t fileAttributes(const std::string& path) {
    struct stat st {};
    return path.empty() || !statPath(path, st) ? kInvalidAttributes : attributesOf(st);
}

bool setFileAttributes(const std::string& path, std::uint32_t attributes) {
    const std::string sysPath = systemPath(path);
    struct stat st {};
    if (::stat(sysPath.c_str(), &st) != 0) return false;
    return ::chmod(sysPath.c_str(), modeWithAttributes(st.st_mode, attributes)) == 0;
}

bool fileDosDateTime(const std::string& path, std::uint32_t& dosDateTime) {
    const FileFacts facts = fileFacts(path);
    if (facts.timeKnown) dosDateTime = facts.dosDateTime;
    return facts.timeKnown;
}

FileFacts fileFacts(const std::string& path) {
    FileFacts facts;
    struct stat st {};
    if (path.empty() || !statPath(path, st)) return facts;
    facts.attributes = attributesOf(st);
    facts.timeKnown = dosDateTimeOf(st, facts.dosDateTime);
    return facts;
}

bool isRemovableDrive(const std::string&) { return false; }

std::string currentDirectory() {
    std::vector<char> buffer(4096);
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) return ".";
    return buffer.data();
}

std::string tempFolder() {
    const char* dir = std::getenv("TMPDIR");
    std::string folder = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string createTempFile(const std::string& folder, const std::string& prefix) {
    std::string pattern = systemPath(folder);
    if (!pattern.empty() && pattern.back() != '/') pattern += '/';
    pattern += prefix + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return {};
    ::close(fd);
    return name.data();
}

std::uint64_t availablePhysicalMemory() {
    const long pages = ::sysconf(_SC_AVPHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 256u << 20;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

std::uint32_t userDefaultLocaleId() { return 0x0409; }

int compareAnsi(const char* a, std::size_t lengthA, const char* b, std::size_t lengthB, bool ignoreCase) {
    const unsigned short* rank = ignoreCase ? kLocaleRankIgnoreCase : kLocaleRank;
    const std::size_t n = lengthA < lengthB ? lengthA : lengthB;
    for (std::size_t i = 0; i < n; ++i) {
        const int ra = rank[static_cast<unsigned char>(a[i])];
        const int rb = rank[static_cast<unsigned char>(b[i])];
        if (ra != rb) return ra < rb ? -1 : 1;
    }
    if (lengthA == lengthB) return 0;
    return lengthA < lengthB ? -1 : 1;
}

bool caselessSortKey(const char* text, std::size_t length, std::string& key) {
    // Two bytes a character: equal ranks, in order and in number, are what compareAnsi calls equal.
    key.resize(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned short rank = kLocaleRankIgnoreCase[static_cast<unsigned char>(text[i])];
        key[2 * i] = static_cast<char>(rank >> 8);
        key[2 * i + 1] = static_cast<char>(rank & 0xFF);
    }
    return true;
}

unsigned char ansiUpper(unsigned char c) { return kAnsiUpper[c]; }
unsigned char ansiLower(unsigned char c) { return kAnsiLower[c]; }
unsigned char oemToAnsi(unsigned char c) { return kOemToAnsi[c]; }
unsigned char ansiToOem(unsigned char c) { return kAnsiToOem[c]; }

DialogResult confirmBox(const std::string& text, DialogButtons buttons) {
    const bool ask = stdinIsTerminal();
    switch (buttons) {
    case DialogButtons::okCancel: {
        if (!ask) return DialogResult::cancel;
        const std::string a = askLine(toUtf8(text) + " [o]k/[c]ancel: ");
        return (!a.empty() && (a[0] == 'o' || a[0] == 'O')) ? DialogResult::ok : DialogResult::cancel;
    }
    case DialogButtons::yesNoAllNoAll: {
        if (!ask) return DialogResult::no;
        const std::string a = askLine(toUtf8(text) + "? [y]es/[n]o/[A]ll/[N]one: ");
        if (a == "y" || a == "Y") return DialogResult::yes;
        if (a == "A") return DialogResult::yesToAll;
        if (a == "N") return DialogResult::noToAll;
        return DialogResult::no;
    }
    case DialogButtons::abortRetryIgnore: {
        if (!ask) return DialogResult::abort;
        const std::string a = askLine(toUtf8(text) + " [a]bort/[r]etry/[i]gnore: ");
        if (a == "r" || a == "R") return DialogResult::retry;
        if (a == "i" || a == "I") return DialogResult::ignore;
        return DialogResult::abort;
    }
    }
    return DialogResult::cancel;
}

bool inputBox(const std::string& caption, const std::string& prompt, std::string& value) {
    if (!stdinIsTerminal()) return false;
    std::cerr << toUtf8(caption) << '\n';
    std::cerr << toUtf8(prompt) << std::flush;
    // The one input box asks for a password: the terminal does not echo it.
    termios saved {};
    const bool quiet = ::tcgetattr(0, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= static_cast<tcflag_t>(~ECHO);
        ::tcsetattr(0, TCSANOW, &silent);
    }
    std::string line;
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    if (quiet) {
        ::tcsetattr(0, TCSANOW, &saved);
        std::cerr << '\n';
    }
    if (!read) return false;
    value = argumentToAnsi(line.c_str());
    return true;
}

std::string argumentToAnsi(const char* argument) {
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(argument);
    while (*p != 0) {
        unsigned code = *p;
        int extra = 0;
        if (code >= 0xF0) {
            code &= 0x07;
            extra = 3;
        } else if (code >= 0xE0) {
            code &= 0x0F;
            extra = 2;
        } else if (code >= 0xC0) {
            code &= 0x1F;
            extra = 1;
        } else if (code >= 0x80) {
            code = 0xFFFD;  // stray continuation byte
        }
        ++p;
        for (int i = 0; i < extra; ++i) {
            if ((*p & 0xC0) != 0x80) {
                code = 0xFFFD;
                break;
            }
            code = (code << 6) | (*p & 0x3F);
            ++p;
        }
        char c = '?';
        for (int n = 0; n < 256; ++n) {
            if (kAnsiToUnicode[n] == code) {
                c = static_cast<char>(n);
                break;
            }
        }
        out += c;
    }
    return out;
}

std::string ansiToConsole(const std::string& text) { return toUtf8(text); }

std::string utf8ToAnsi(const std::string& text) { return argumentToAnsi(text.c_str()); }

std::string ansiToUtf8(const std::string& text) { return toUtf8(text); }

std::vector<DirEntry> listDirectory(const std::string& folder) {
    std::vector<DirEntry> entries;
    const std::string sysFolder = systemPath(folder.empty() ? std::string(".") : folder);
    DIR* dir = ::opendir(sysFolder.c_str());
    if (dir == nullptr) return entries;
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (::stat((sysFolder + "/" + name).c_str(), &st) != 0) continue;
        DirEntry e;
        e.name = argumentToAnsi(name.c_str());
        e.attributes = S_ISDIR(st.st_mode) ? 0x10 : (0x20 | ((st.st_mode & S_IWUSR) == 0 ? 0x01 : 0));
        entries.push_back(std::move(e));
    }
    ::closedir(dir);
    return entries;
}

std::string fullPath(const std::string& path) {
    std::string p = path;
    for (char& c : p) {
        if (c == '\\') c = '/';
    }
    if (p.empty() || p[0] != '/') p = currentDirectory() + "/" + p;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= p.size()) {
        std::size_t end = p.find('/', start);
        if (end == std::string::npos) end = p.size();
        const std::string part = p.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& part : parts) out += "/" + part;
    if (out.empty()) out = "/";
    // A trailing separator stays: it marks a folder.
    if (p.size() > 1 && p.back() == '/' && out != "/") out += '/';
    return out;
}

std::int64_t freeDriveSpace(const std::string& path) {
    std::string folder = systemPath(path);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        const std::size_t slash = folder.find_last_of('/');
        folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : folder.substr(0, slash));
    }
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) != 0) return -1;
    return static_cast<std::int64_t>(vfs.f_bavail) * static_cast<std::int64_t>(vfs.f_frsize);
}

bool setVolumeLabel(const std::string&, const std::string&) { return false; }

std::uint32_t currentDosDateTime() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    if (::localtime_r(&now, &t) == nullptr || t.tm_year < 80) return (1u << 21) | (1u << 16);
    return (static_cast<std::uint32_t>(t.tm_year - 80) << 25) | (static_cast<std::uint32_t>(t.tm_mon + 1) << 21) |
           (static_cast<std::uint32_t>(t.tm_mday) << 16) | (static_cast<std::uint32_t>(t.tm_hour) << 11) |
           (static_cast<std::uint32_t>(t.tm_min) << 5) | static_cast<std::uint32_t>(t.tm_sec / 2);
}

bool isTerminal(int fd) { return ::isatty(fd) == 1; }

} // namespace tarnwick::zaos
