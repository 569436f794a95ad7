// tarnwick-zip: lists, tests and extracts ZIP archives through the archive component, for
// scripts and other tools; the writing commands live in commands_write.cpp. Exit status 0 on success, 1 when any item failed, 2 on a usage error
// or an archive that cannot be opened.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "commands_write.h"
#include "console_archiver.h"
#include "core/version.h"
#include "zip/os/os.h"
#include "zip/zaconst.h"
#include "zip/zadirmanager.h"
#include "zip/ziparchiver.h"
#include "zip/zamasks.h"

namespace {

using namespace tarnwick;

constexpr const char* kUsage =
    "usage: tarnwick-zip list ARCHIVE [MASK...] [--comment]\n"
    "       tarnwick-zip test ARCHIVE [MASK...] [-p PASSWORD]\n"
    "       tarnwick-zip extract ARCHIVE [MASK...] -d DIR [-p PASSWORD] [--exclude MASK]...\n"
    "                    [--overwrite prompt|always|never|newer|older] [--no-dirs] [--keep-corrupted]\n"
    "       tarnwick-zip add|delete|update|move|rename|comment|attrib|sfx|repair ... (run one for its usage)\n";

struct Arguments {
    std::string command;
    std::string archive;
    std::vector<std::string> masks;
    std::vector<std::string> excludes;
    std::string destination;
    std::string password;
    bool hasPassword = false;
    bool comment = false;
    bool noDirs = false;
    bool keepCorrupted = false;
    TZAOverwriteMode overwrite = omAlways;
};

class UsageError : public std::exception {
public:
    explicit UsageError(std::string text) : text_(std::move(text)) {}
    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};

Arguments parseArguments(int argc, char** argv) {
    Arguments a;
    if (argc < 2) throw UsageError("missing command");
    a.command = argv[1];
    if (a.command != "list" && a.command != "test" && a.command != "extract") throw UsageError("unknown command " + a.command);
    bool haveArchive = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw UsageError(arg + " needs a value");
            return zaos::argumentToAnsi(argv[++i]);
        };
        if (arg == "-d" && a.command == "extract") {
            a.destination = value();
        } else if (arg == "-p" && a.command != "list") {
            a.password = value();
            a.hasPassword = true;
        } else if (arg == "--exclude" && a.command == "extract") {
            a.excludes.push_back(value());
        } else if (arg == "--overwrite" && a.command == "extract") {
            const std::string mode = value();
            const std::pair<const char*, TZAOverwriteMode> modes[] = {
                {"prompt", omPrompt}, {"always", omAlways}, {"never", omNever}, {"newer", omIfNewer}, {"older", omIfOlder}};
            bool known = false;
            for (const auto& [name, m] : modes) {
                if (mode == name) {
                    a.overwrite = m;
                    known = true;
                }
            }
            if (!known) throw UsageError("unknown overwrite mode " + mode);
        } else if (arg == "--no-dirs" && a.command == "extract") {
            a.noDirs = true;
        } else if (arg == "--keep-corrupted" && a.command == "extract") {
            a.keepCorrupted = true;
        } else if (arg == "--comment" && a.command == "list") {
            a.comment = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError("unknown option " + arg);
        } else if (!haveArchive) {
            a.archive = zaos::argumentToAnsi(argv[i]);
            haveArchive = true;
        } else {
            a.masks.push_back(zaos::argumentToAnsi(argv[i]));
        }
    }
    if (!haveArchive) throw UsageError("missing archive");
    if (a.command == "extract" && a.destination.empty()) throw UsageError("extract needs -d DIR");
    if (a.masks.empty()) a.masks.push_back("*");
    return a;
}

// One line of the listing: name, sizes, CRC, attributes, date and time, encrypted, method,
// separated by tabs. Formatted by hand: a listing of many items spent a third of its time in
// printf.
void appendDecimal(std::string& out, long long value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}
void appendHex(std::string& out, std::uint32_t value, int width) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
    const auto length = static_cast<int>(end - digits);
    if (length < width) out.append(static_cast<std::size_t>(width - length), '0');
    out.append(digits, end);
}
void appendTwoDigits(std::string& out, char separator, unsigned value) {
    out += separator;
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}
void appendListLine(std::string& out, const TDirItem& item) {
    out += zaos::ansiToConsole(item.FileName);
    out += '\t';
    appendDecimal(out, item.GetUncompressedSize());
    out += '\t';
    appendDecimal(out, item.GetCompressedSize());
    out += '\t';
    appendHex(out, item.Crc32, 8);
    out += '\t';
    appendHex(out, item.ExternalFileAttributes, 1);
    out += '\t';
    const unsigned date = item.LastModFileDate, time = item.LastModFileTime;
    appendDecimal(out, 1980 + (date >> 9));  // always four digits
    appendTwoDigits(out, '-', (date >> 5) & 15u);
    appendTwoDigits(out, '-', date & 31u);
    appendTwoDigits(out, ' ', time >> 11);
    appendTwoDigits(out, ':', (time >> 5) & 63u);
    appendTwoDigits(out, ':', (time & 31u) * 2);
    out += (item.GeneralPurposeBitFlag & 1) != 0 ? "\t1\t" : "\t0\t";
    appendDecimal(out, item.CompressionMethod);
    out += '\n';
}

// The reading commands' archiver: a wrong or missing password skips the item and counts as a
// failure; the rest is the console archiver's.
class ToolArchiver final : public tool::TConsoleArchiver {
public:
    explicit ToolArchiver(const Arguments& arguments) : args_(arguments) {}

    // Tags every item that one of the masks selects and no exclusion mask removes.
    int selectItems() {
        TZADirArray& dir = DirManager()->CentralDir;
        dir.ClearTags();
        int selected = 0;
        const std::string firstExclusion = args_.excludes.empty() ? std::string() : args_.excludes.front();
        for (const std::string& mask : args_.masks) {
            TZAArchiveItem item;
            for (bool found = FindFirst(mask, item, firstExclusion, 63); found; found = FindNext(item)) {
                const int index = item.InternalSearchRec.Index;
                const TDirItem& entry = *std::as_const(dir).GetItemPtr(index);
                if (entry.Tag != 0 || isExcluded(entry.FileName)) continue;
                dir.SetTag(index, 1);
                ++selected;
            }
        }
        return selected;
    }

    // The same choice for one item, for a directory read through once (the listing).
    bool selects(const TDirItem& entry) {
        if (searches_.size() != args_.masks.size()) {
            const std::string firstExclusion = args_.excludes.empty() ? std::string() : args_.excludes.front();
            searches_.resize(args_.masks.size());
            for (std::size_t i = 0; i < searches_.size(); ++i) PrepareSearch(args_.masks[i], searches_[i], firstExclusion, 63);
        }
        const bool found = std::any_of(searches_.begin(), searches_.end(),
                                       [&](const TZAArchiveItem& search) { return SearchSelects(entry, search); });
        return found && !isExcluded(entry.FileName);
    }

    void run(TZAProcessOperation operation) {
        // Like unzip -d: the destination folder is made when missing, also with --no-dirs.
        if (operation == poExtract && !ForceDirectories(BaseDir)) {
            throw EZAException(TZANativeError::CannotCreateFolder, {BaseDir}, this);
        }
        CheckInactive();
        CheckInUpdate();
        selectItems();
        ProcessTaggedFiles(operation, [this, operation](int index, const std::string& itemName, const std::string& destDir) {
            if (operation == poExtract) {
                ExtractTaggedFile(index, itemName, destDir);
            } else {
                TestTaggedFile(index, itemName);
            }
        });
        clearProgress();
    }

protected:
    void DoOnPassword(const std::string& fileName, std::string& newPassword, bool& skipFile) override {
        if (args_.hasPassword) {
            skipFile = true;
        } else {
            clearProgress();
            TZipArchiver::DoOnPassword(fileName, newPassword, skipFile);
        }
        if (skipFile) report(fileName, "skipped: password missing or wrong");
    }

private:
    bool isExcluded(const std::string& storedName) const {
        std::string name = storedName;
        while (!name.empty() && name.back() == '/') name.pop_back();
        const std::size_t slash = name.find_last_of('/');
        const std::string part = slash == std::string::npos ? name : name.substr(slash + 1);
        for (std::size_t i = 1; i < args_.excludes.size(); ++i) {
            std::string mask = args_.excludes[i];
            for (char& c : mask) {
                if (c == '\\') c = '/';
            }
            if (IsInternalFileMatchMask(name, mask) || IsInternalFileMatchMask(part, mask)) return true;
        }
        return false;
    }

    const Arguments& args_;
    std::vector<TZAArchiveItem> searches_;
};

void printComment(ToolArchiver& archiver) { std::cout << zaos::ansiToConsole(archiver.GetFileComment()); }

// The directory is read through once and not kept, so a listing of any length takes little memory.
int list(ToolArchiver& archiver, const Arguments& args) {
    bool opened = false;
    archiver.AfterOpen = [&opened](TObject*) { opened = true; };
    std::string out;
    try {
        archiver.ReadDirectory(static_cast<std::uint16_t>(0), [&](const TDirItem& item) {
            if (!archiver.selects(item)) return;
            appendListLine(out, item);
            if (out.size() > (1 << 16)) {
                std::fwrite(out.data(), 1, out.size(), stdout);
                out.clear();
            }
        });
    } catch (const std::exception& e) {
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
        if (!opened) {
            std::cerr << "tarnwick-zip: " << zaos::ansiToConsole(args.archive) << ": " << zaos::ansiToConsole(e.what()) << '\n';
            return 2;
        }
        std::cerr << "tarnwick-zip: " << zaos::ansiToConsole(e.what()) << '\n';
        return 1;
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

int run(int argc, char** argv) {
    if (argc >= 2) {
        const std::string first = argv[1];
        if (first == "--help" || first == "-h" || first == "help") {
            std::cout << kUsage;
            return 0;
        }
        if (first == "--version") {
            std::cout << "tarnwick-zip " << kTarnwickVersion << '\n';
            return 0;
        }
    }
    if (argc >= 2 && tool::isWriteCommand(argv[1])) return tool::runWriteCommand(argc, argv);
    Arguments args;
    try {
        args = parseArguments(argc, argv);
    } catch (const UsageError& e) {
        std::cerr << "tarnwick-zip: " << e.what() << '\n' << kUsage;
        return 2;
    }
    ToolArchiver archiver(args);
    archiver.FileName = args.archive;
    archiver.Password = args.password;
    archiver.BaseDir = args.destination;
    archiver.Options.CreateDirs = !args.noDirs;
    archiver.Options.OverwriteMode = args.overwrite;
    archiver.ExtractCorruptedFiles = args.keepCorrupted;
    if (args.command == "list" && !args.comment) return list(archiver, args);
    try {
        archiver.OpenArchive(static_cast<std::uint16_t>(0));
    } catch (const std::exception& e) {
        std::cerr << "tarnwick-zip: " << zaos::ansiToConsole(args.archive) << ": " << zaos::ansiToConsole(e.what()) << '\n';
        return 2;
    }
    try {
        if (args.command == "list") {
            printComment(archiver);
            return 0;
        }
        archiver.run(args.command == "test" ? poTest : poExtract);
    } catch (const std::exception& e) {
        std::cerr << "tarnwick-zip: " << zaos::ansiToConsole(e.what()) << '\n';
        return 1;
    }
    return archiver.failures() == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) { return run(argc, argv); }
