// The archive component's one door to the operating system. win32.cpp and posix.cpp implement it;
// CMake compiles exactly one. Paths are ANSI strings with "\" or "/" separators: the POSIX side
// reads ANSI as Windows-1252 and hands UTF-8 with "/" to the file system.
//
// Which feature needs what:
//   archive streams (open, extraction output, test temp files)  NativeFile, openFile
//   open roads, volumes, overwrite rules                         fileExists, directoryExists,
//                                                                fileAttributes, isRemovableDrive
//   extraction                                                    createDirectory, deleteFile,
//                                                                setFileAttributes, fileDosDateTime,
//                                                                availablePhysicalMemory, currentDirectory
//   testing                                                       tempFolder, createTempFile
//   adding files                                                  listDirectory, fullPath,
//                                                                currentDosDateTime
//   writing (saved tail, volumes, UTF-8 names)                    tempFolder, createTempFile,
//                                                                freeDriveSpace, setVolumeLabel,
//                                                                ansiToUtf8
//   names and masks (zastrfunc)                                   userDefaultLocaleId, compareAnsi,
//                                                                ansiUpper/ansiLower, oemToAnsi/ansiToOem,
//                                                                utf8ToAnsi
//   default dialogs of the events                                 confirmBox, inputBox
//   the archive tool                                              argumentToAnsi, ansiToConsole,
//                                                                isTerminal
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick::zaos {

// An open file. Reads and writes return the bytes moved; fewer than asked means end or failure.
class NativeFile {
public:
    virtual ~NativeFile() = default;
    virtual std::size_t read(void* buffer, std::size_t count) = 0;
    virtual std::size_t write(const void* buffer, std::size_t count) = 0;
    virtual bool seek(std::int64_t position) = 0;
    virtual std::int64_t size() = 0;
    virtual bool truncate(std::int64_t size) = 0;
    // Pushes the data to the device (removable drives before the user pulls them).
    virtual void flushToDevice() = 0;
    virtual bool setDosDateTime(std::uint32_t dosDateTime) = 0;
    // Windows attribute bits as setFileAttributes takes them, through the open file; false when
    // the system cannot (the caller then sets them by name after closing).
    virtual bool setAttributes(std::uint32_t attributes) = 0;
};

// mode is the class library's open word: low two bits 0 read, 1 write, 2 read/write; share bits
// 0x00 compat, 0x10 exclusive, 0x20 deny write, 0x30 deny read, 0x40 deny none; 0xFFFF creates
// (truncating). Returns nullptr on failure and the system's reason in errorText.
std::unique_ptr<NativeFile> openFile(const std::string& path, std::uint16_t mode, std::string& errorText);
// Creates path for reading and writing only when nothing of that name exists; nullptr otherwise
// (the name is taken, or the file cannot be made). Opened as mode 0xFFFF opens it. nameTaken, when
// given, tells which of the two failures it was.
std::unique_ptr<NativeFile> createNewFile(const std::string& path, bool* nameTaken = nullptr);

bool fileExists(const std::string& path);  // a file, not a folder
bool directoryExists(const std::string& path);
bool createDirectory(const std::string& path);  // one level
bool deleteFile(const std::string& path);
constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFF;
std::uint32_t fileAttributes(const std::string& path);  // Windows attribute bits
bool setFileAttributes(const std::string& path, std::uint32_t attributes);
bool fileDosDateTime(const std::string& path, std::uint32_t& dosDateTime);  // date high, time low
// What fileAttributes and fileDosDateTime would say, from one look at the file: adding a file asks
// for both, and on a tree of many small files those looks were most of the system's time.
struct FileFacts {
    std::uint32_t attributes = kInvalidAttributes;  // kInvalidAttributes: nothing of that name
    bool timeKnown = false;
    std::uint32_t dosDateTime = 0;
    bool directory() const { return attributes != kInvalidAttributes && (attributes & 0x10) != 0; }
};
FileFacts fileFacts(const std::string& path);
// drive is a path; only its drive part counts ("A:", "C:"). POSIX has no removable drive letters.
bool isRemovableDrive(const std::string& path);
std::string currentDirectory();
std::string tempFolder();  // with a trailing separator
// Creates a new empty file with a unique name "<prefix>..." in folder; "" when that fails.
std::string createTempFile(const std::string& folder, const std::string& prefix);
std::uint64_t availablePhysicalMemory();

// One entry of a folder ("." and ".." left out); attributes as fileAttributes gives them.
struct DirEntry {
    std::string name;
    std::uint32_t attributes = 0;
};
// The entries of a folder; empty when it cannot be read.
std::vector<DirEntry> listDirectory(const std::string& folder);
// An absolute path with "." and ".." resolved and the platform's separator ("\" or "/").
std::string fullPath(const std::string& path);
// Bytes the caller may still write on the path's drive; -1 when unknown.
std::int64_t freeDriveSpace(const std::string& path);
// Labels the path's drive; false where drives have no labels.
bool setVolumeLabel(const std::string& path, const std::string& label);
// The local time now, date high, time low.
std::uint32_t currentDosDateTime();

// Locale and code pages: ANSI 1252 and OEM 437 on POSIX, the system's on Windows.
std::uint32_t userDefaultLocaleId();
// Like CompareStringA with the user's locale: <0, 0, >0.
int compareAnsi(const char* a, std::size_t lengthA, const char* b, std::size_t lengthB, bool ignoreCase);
// The key compareAnsi ignoring case compares by: two names have the same key exactly when
// compareAnsi(..., true) finds them equal. False when the locale gives the text no key (an
// empty text on Windows); such texts are compared one by one.
bool caselessSortKey(const char* text, std::size_t length, std::string& key);
unsigned char ansiUpper(unsigned char c);
unsigned char ansiLower(unsigned char c);
unsigned char oemToAnsi(unsigned char c);
unsigned char ansiToOem(unsigned char c);
// Names flagged as UTF-8 in the archive; characters the ANSI code page lacks become "?".
std::string utf8ToAnsi(const std::string& text);
std::string ansiToUtf8(const std::string& text);

// Default dialogs. On POSIX they ask on the terminal when standard input is one; otherwise they
// give the safe answer (the last button, or a cancelled input box).
enum class DialogResult { ok, cancel, yes, no, yesToAll, noToAll, abort, retry, ignore };
enum class DialogButtons { okCancel, yesNoAllNoAll, abortRetryIgnore };
DialogResult confirmBox(const std::string& text, DialogButtons buttons);
bool inputBox(const std::string& caption, const std::string& prompt, std::string& value);

// Command-line tools: arguments to ANSI, ANSI to what the console shows.
std::string argumentToAnsi(const char* argument);
std::string ansiToConsole(const std::string& text);
bool isTerminal(int fd);  // 0 stdin, 1 stdout, 2 stderr

} // namespace tarnwick::zaos
