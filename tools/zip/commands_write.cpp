// The writing commands of tarnwick-zip over the archive component.
#include "commands_write.h"

#include "console_archiver.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "zip/os/os.h"
#include "zip/zaconst.h"
#include "zip/zadirmanager.h"
#include "zip/ziparchiver.h"

namespace tarnwick::tool {
namespace {

constexpr const char* kUsage =
    "usage: tarnwick-zip add ARCHIVE PATH|MASK... [-C BASEDIR] [--level 0-9] [-p PASSWORD]\n"
    "                    [--store-path none|relative|full|drive] [--exclude MASK]... [--no-compress MASK]...\n"
    "                    [--overwrite prompt|always|never|newer|older] [--volume-size BYTES]\n"
    "       tarnwick-zip delete ARCHIVE MASK...\n"
    "       tarnwick-zip update ARCHIVE [MASK...] [-C BASEDIR]\n"
    "       tarnwick-zip move ARCHIVE PATH|MASK... [-C BASEDIR]\n"
    "       tarnwick-zip rename ARCHIVE OLD NEW\n"
    "       tarnwick-zip comment ARCHIVE [TEXT]   (without TEXT: read from standard input)\n"
    "       tarnwick-zip attrib ARCHIVE MASK HEXATTR\n"
    "       tarnwick-zip sfx ARCHIVE STUB OUTPUT\n"
    "       tarnwick-zip repair ARCHIVE [OUTPUT]\n";

constexpr const char* kCommands[] = {"add", "delete", "update", "move", "rename", "comment", "attrib", "sfx", "repair"};

class UsageError : public std::exception {
public:
    explicit UsageError(std::string text) : text_(std::move(text)) {}
    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};

struct Arguments {
    std::string command;
    std::string archive;
    std::vector<std::string> operands;
    std::vector<std::string> excludes;
    std::vector<std::string> noCompress;
    std::string baseDir;
    std::string password;
    int level = 6;
    TZAStorePathMode storePath = spRelativePath;
    TZAOverwriteMode overwrite = omAlways;
    std::int64_t volumeSize = 0;
};

template <typename T, std::size_t N>
T pick(const std::string& value, const std::pair<const char*, T> (&table)[N], const std::string& option) {
    for (const auto& [name, v] : table) {
        if (value == name) return v;
    }
    throw UsageError("unknown " + option + " value " + value);
}

Arguments parseArguments(int argc, char** argv) {
    Arguments a;
    a.command = argv[1];
    const bool adds = a.command == "add" || a.command == "move" || a.command == "update";
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw UsageError(arg + " needs a value");
            return zaos::argumentToAnsi(argv[++i]);
        };
        if (arg == "-C" && adds) {
            a.baseDir = value();
        } else if (arg == "--level" && a.command == "add") {
            const std::string v = value();
            if (v.size() != 1 || v[0] < '0' || v[0] > '9') throw UsageError("--level takes 0 to 9");
            a.level = v[0] - '0';
        } else if (arg == "-p" && a.command == "add") {
            a.password = value();
        } else if (arg == "--store-path" && a.command == "add") {
            static const std::pair<const char*, TZAStorePathMode> modes[] = {
                {"none", spNoPath}, {"relative", spRelativePath}, {"full", spFullPath}, {"drive", spFullPathWithDrive}};
            a.storePath = pick(value(), modes, "--store-path");
        } else if (arg == "--exclude" && a.command == "add") {
            a.excludes.push_back(value());
        } else if (arg == "--no-compress" && a.command == "add") {
            a.noCompress.push_back(value());
        } else if (arg == "--overwrite" && a.command == "add") {
            static const std::pair<const char*, TZAOverwriteMode> modes[] = {
                {"prompt", omPrompt}, {"always", omAlways}, {"never", omNever}, {"newer", omIfNewer}, {"older", omIfOlder}};
            a.overwrite = pick(value(), modes, "--overwrite");
        } else if (arg == "--volume-size" && a.command == "add") {
            const std::string v = value();
            char* end = nullptr;
            a.volumeSize = std::strtoll(v.c_str(), &end, 10);
            if (end == v.c_str() || *end != '\0' || a.volumeSize < 65536) throw UsageError("--volume-size takes a number of bytes, at least 65536");
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError("unknown option " + arg);
        } else if (a.archive.empty()) {
            a.archive = zaos::argumentToAnsi(argv[i]);
        } else {
            a.operands.push_back(zaos::argumentToAnsi(argv[i]));
        }
    }
    if (a.archive.empty()) throw UsageError("missing archive");
    const std::size_t n = a.operands.size();
    const std::string& c = a.command;
    if ((c == "add" || c == "move" || c == "delete") && n == 0) throw UsageError(c + " needs at least one path or mask");
    if (c == "rename" && n != 2) throw UsageError("rename needs OLD and NEW");
    if (c == "attrib" && n != 2) throw UsageError("attrib needs MASK and HEXATTR");
    if (c == "comment" && n > 1) throw UsageError("comment takes one TEXT");
    if (c == "sfx" && n != 2) throw UsageError("sfx needs STUB and OUTPUT");
    if (c == "repair" && n > 1) throw UsageError("repair takes one OUTPUT");
    return a;
}

// Archives past 4 GiB get ZIP64 records when they need them, as zip does.
class WriteArchiver final : public TConsoleArchiver {
public:
    WriteArchiver() { SetZip64Mode(zmAuto); }
};

std::uint32_t parseHex(const std::string& text) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 16);
    if (text.empty() || *end != '\0' || v > 0xFFFFFFFFul) throw UsageError("HEXATTR must be a hexadecimal number");
    return static_cast<std::uint32_t>(v);
}

void runCommand(WriteArchiver& z, const Arguments& a) {
    const std::string& c = a.command;
    if (c == "add" || c == "move") {
        z.SetFileMasks(a.operands);
        z.SetExclusionMasks(a.excludes);
        z.SetNoCompressionMasks(a.noCompress);
        if (c == "add") {
            z.AddFiles();
        } else {
            z.MoveFiles();
        }
    } else if (c == "update" || c == "delete") {
        // One bracket for all masks: one write of the archive.
        const TStrings masks = a.operands.empty() ? TStrings{"*"} : a.operands;
        z.BeginUpdate();
        try {
            for (const std::string& mask : masks) {
                if (c == "update") {
                    z.UpdateFiles(mask, 63, "");
                } else {
                    z.DeleteFiles(mask, 63, "");
                }
            }
            z.EndUpdate();
        } catch (...) {
            z.CancelUpdate();
            throw;
        }
    } else if (c == "rename") {
        z.RenameFile(a.operands[0], a.operands[1]);
    } else if (c == "attrib") {
        z.ChangeFilesAttr(a.operands[0], parseHex(a.operands[1]));
    } else if (c == "comment") {
        std::string text;
        if (!a.operands.empty()) {
            text = a.operands[0];
        } else {
            text.assign(std::istreambuf_iterator<char>(std::cin), {});
        }
        z.SetFileComment(text);
    } else if (c == "sfx") {
        z.SFXStub = a.operands[0];
        z.MakeSFX(a.operands[1]);
    }
}

} // namespace

bool isWriteCommand(const char* command) {
    for (const char* c : kCommands) {
        if (std::strcmp(c, command) == 0) return true;
    }
    return false;
}

int runWriteCommand(int argc, char** argv) {
    Arguments a;
    try {
        a = parseArguments(argc, argv);
    } catch (const UsageError& e) {
        std::cerr << "tarnwick-zip: " << e.what() << '\n' << kUsage;
        return 2;
    }
    WriteArchiver z;
    z.FileName = a.archive;
    z.BaseDir = a.baseDir;
    z.Password = a.password;
    z.Options.StorePath = a.storePath;
    z.Options.OverwriteMode = a.overwrite;
    z.SetCompressionMode(static_cast<std::uint8_t>(a.level));
    if (a.volumeSize != 0) {
        if (zaos::fileExists(a.archive)) {
            std::cerr << "tarnwick-zip: --volume-size makes a new split set; " << zaos::ansiToConsole(a.archive) << " exists\n";
            return 2;
        }
        // archive.Z01, archive.Z02, ..., archive.zip as the last volume.
        z.SetSpanningMode(smSplitting);
        z.SpanningOptions.AdvancedNaming = false;
        z.SpanningOptions.VolumeSize = vsCustom;
        z.SpanningOptions.SetCustomVolumeSize(a.volumeSize);
    }
    if (a.command == "repair") {
        try {
            z.RepairArchive(a.operands.empty() ? std::string() : a.operands[0]);
        } catch (const std::exception& e) {
            std::cerr << "tarnwick-zip: " << zaos::ansiToConsole(a.archive) << ": " << zaos::ansiToConsole(e.what()) << '\n';
            return 2;
        }
        return 0;
    }
    try {
        // Only add and move create a missing archive.
        if (a.command != "add" && a.command != "move" && !zaos::fileExists(a.archive)) throw EZAException(TZANativeError::FileNotFound, {a.archive}, &z);
        z.OpenArchive();
    } catch (const std::exception& e) {
        std::cerr << "tarnwick-zip: " << zaos::ansiToConsole(a.archive) << ": " << zaos::ansiToConsole(e.what()) << '\n';
        return 2;
    }
    const bool created = z.DirManager() != nullptr && z.DirManager()->CentralDir.GetCount() == 0 && z.GetArchiveSize() == 0;
    try {
        runCommand(z, a);
        const bool empty = z.DirManager() == nullptr || z.DirManager()->CentralDir.GetCount() == 0;
        z.CloseArchive();
        z.clearProgress();
        // Like zip: nothing matched, no archive.
        if (created && empty) {
            zaos::deleteFile(a.archive);
            std::cerr << "tarnwick-zip: nothing to add, " << zaos::ansiToConsole(a.archive) << " not created\n";
            return 1;
        }
    } catch (const std::exception& e) {
        z.clearProgress();
        std::cerr << "tarnwick-zip: " << zaos::ansiToConsole(e.what()) << '\n';
        return 2;
    }
    return z.failures() == 0 ? 0 : 1;
}

} // namespace tarnwick::tool
