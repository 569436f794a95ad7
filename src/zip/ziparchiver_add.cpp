// Adding files: choosing files on disk by masks, attributes and exclusions, forming their stored
// names, the rules for names already in the archive, filling new directory items, and adding
// data from memory. The data itself is written when the update bracket closes.
#include <algorithm>

#include "zip/os/os.h"
#include "zip/zamasks.h"
#include "zip/zastrfunc.h"
#include "zip/ziparchiver_shared.h"

namespace tarnwick {
namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

std::string withBackslashes(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

bool isAbsolute(const std::string& path) {
    return (!path.empty() && isSeparator(path[0])) || (path.size() >= 2 && path[1] == ':');
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || isSeparator(folder.back())) return folder + name;
    return folder + (folder.find('\\') != std::string::npos ? "\\" : "/") + name;
}

// Paths compared as Windows does: either separator, any case.
bool samePath(const std::string& a, const std::string& b) { return ZASameText(withBackslashes(a), withBackslashes(b)); }

bool pathMatches(const std::string& path, const std::string& mask) {
    return IsInternalFileMatchMask(withBackslashes(path), withBackslashes(mask));
}

} // namespace

std::string TZABaseArchiver::resolvedBaseDir() const {
    return BaseDir.empty() ? zaos::currentDirectory() : zaos::fullPath(BaseDir);
}

// ---- Stored names ----------------------------------------------------------------------------

std::string TZABaseArchiver::MakeStoredName(const std::string& sourcePath, const std::string& baseDir, bool folder) const {
    auto trim = [](std::string p) {
        while (p.size() > 1 && isSeparator(p.back())) p.pop_back();
        if (p.size() > 1 && p.back() == '.' && !(p.size() >= 2 && p[p.size() - 2] == '.')) p.pop_back();
        return p;
    };
    const std::string base = trim(zaos::fullPath(baseDir.empty() ? zaos::currentDirectory() : baseDir));
    const std::string source =
        trim(zaos::fullPath(isAbsolute(sourcePath) ? sourcePath : joinPath(baseDir.empty() ? zaos::currentDirectory() : baseDir, sourcePath)));
    std::string name;
    switch (Options.StorePath) {
    case spNoPath: name = nameOf(source); break;
    case spRelativePath: {
        const std::string prefix = withBackslashes(base) + (base.empty() || isSeparator(base.back()) ? "" : "\\");
        const std::string s = withBackslashes(source);
        if (s.size() > prefix.size() && ZASameText(s.substr(0, prefix.size()), prefix)) {
            name = source.substr(prefix.size());
        } else {
            name = source;  // outside the base: the relative path would climb with ".."
        }
        break;
    }
    case spFullPath:
    case spFullPathWithDrive: name = source; break;
    }
    if (Options.StorePath != spFullPathWithDrive) {
        const std::size_t colon = name.find(':');
        if (colon != std::string::npos) {
            name.erase(0, colon + 1);
        } else if (name.size() >= 2 && isSeparator(name[0]) && isSeparator(name[1])) {
            const std::size_t server = name.find_first_of("\\/", 2);
            name.erase(0, server == std::string::npos ? name.size() : server + 1);
        }
        if (!name.empty() && isSeparator(name[0])) name.erase(0, 1);
    }
    std::replace(name.begin(), name.end(), '\\', '/');
    if (folder && !name.empty()) name += '/';
    return name;
}

// ---- Items -----------------------------------------------------------------------------------

void TZABaseArchiver::FillDirItem(int index, const std::string& sourcePath, bool fromDisk) {
    fillDirItem(index, sourcePath, fromDisk, fromDisk ? zaos::fileFacts(sourcePath) : zaos::FileFacts{}, nullptr);
}

void TZABaseArchiver::fillDirItem(int index, const std::string& sourcePath, bool fromDisk, const zaos::FileFacts& facts,
                                  const std::string* storedName) {
    TDirItem& item = *dirManager_->CentralDir.GetItemPtr(index);
    if (item.OwnsDataStream) delete item.DataStream;
    const bool trailingSeparator = !sourcePath.empty() && isSeparator(sourcePath.back());
    const bool folder = fromDisk ? (facts.directory() || trailingSeparator) : trailingSeparator;
    item = TDirItem{};
    item.FileName = storedName != nullptr ? *storedName : MakeStoredName(sourcePath, BaseDir, folder);
    item.Modified = true;
    item.Password = Password;
    item.SourceFileName = sourcePath;
    item.CompressionLevel = folder ? 0 : GetCompressionMode();
    item.CompressionMethod = CompMethod;
    item.Signature = UseZipSignatures ? kCentralHeaderSignature : kVariantCentralHeaderSignature;
    const std::uint16_t version = UseZipSignatures ? (Options.OEMFileNames ? 20 : 2836) : 16660;
    item.VersionMadeBy = version;
    item.VersionNeededToExtract = version;
    if (!Password.empty()) item.GeneralPurposeBitFlag = 1;
    const std::uint32_t when = fromDisk && facts.timeKnown ? facts.dosDateTime : zaos::currentDosDateTime();
    item.LastModFileDate = static_cast<std::uint16_t>(when >> 16);
    item.LastModFileTime = static_cast<std::uint16_t>(when & 0xFFFF);
    item.Crc32 = 0xFFFFFFFF;
    item.FileNameLength = static_cast<std::uint16_t>(item.FileName.size());
    std::uint32_t attributes = 0x20;
    if (fromDisk) {
        attributes = folder ? 0x10 : facts.attributes;
        if (attributes == zaos::kInvalidAttributes) attributes = 0x20;
    }
    item.ExternalFileAttributes = attributes;
    if (folder) {
        item.CompressionMethod = 0;
        item.Crc32 = 0;
        item.GeneralPurposeBitFlag = 2;
    }
}

int TZABaseArchiver::AddFileInit(const std::string& sourcePath, const std::string& baseDir, bool fromDisk) {
    // One look at the file answers whether it is a folder, its attributes and its time.
    const zaos::FileFacts facts = fromDisk ? zaos::fileFacts(sourcePath) : zaos::FileFacts{};
    const bool folder = fromDisk ? facts.directory() : (!sourcePath.empty() && isSeparator(sourcePath.back()));
    std::string name = MakeStoredName(sourcePath, baseDir, folder);
    std::uint32_t attributes = 0x20;
    if (fromDisk) {
        attributes = folder ? 0x10 : facts.attributes;
        if (attributes == zaos::kInvalidAttributes) attributes = 0x20;
    }
    std::string comment;
    if (OnStoreFile) {
        std::string shown = withBackslashes(name);
        DoOnStoreFile(shown, attributes, comment, sourcePath);
        name = shown;
        std::replace(name.begin(), name.end(), '\\', '/');
    }
    if (name.empty() || name.size() > 999 || name.find('\0') != std::string::npos) return -1;
    TZADirArray& dir = dirManager_->CentralDir;
    int index = -1;
    if (dir.FileExists(name, index)) {
        TDirItem& existing = *dir.GetItemPtr(index);
        const std::uint32_t itemTime = (static_cast<std::uint32_t>(existing.LastModFileDate) << 16) | existing.LastModFileTime;
        const std::uint32_t sourceTime = facts.dosDateTime;
        const bool timeKnown = fromDisk && facts.timeKnown;
        bool replace = false;
        switch (Options.OverwriteMode) {
        case omPrompt: {
            std::string shown = name;
            replace = true;
            DoOnConfirmOverwrite(sourcePath, shown, replace);
            break;
        }
        case omAlways: replace = true; break;
        case omNever: replace = false; break;
        case omIfNewer: replace = timeKnown && sourceTime > itemTime; break;
        case omIfOlder: replace = timeKnown && sourceTime < itemTime; break;
        }
        if (!replace) return -1;
        // An item added earlier in this bracket stays an addition: it has no old record.
        const bool isNew = existing.Modified && (existing.Operation == poAdd || existing.Operation == poMove);
        const std::uint8_t previous = existing.Operation;
        fillDirItem(index, sourcePath, fromDisk, facts, &name);
        dir.GetItemPtr(index)->Operation = isNew ? previous : static_cast<std::uint8_t>(poUpdate);
    } else {
        index = dir.GetCount();
        dir.SetCount(index + 1);
        fillDirItem(index, sourcePath, fromDisk, facts, &name);
        dir.GetItemPtr(index)->Operation = poAdd;
    }
    TDirItem& item = *dir.GetItemPtr(index);
    item.FileName = name;
    item.FileNameLength = static_cast<std::uint16_t>(name.size());
    item.ExternalFileAttributes = attributes;
    item.FileComment = comment.substr(0, 65535);
    item.FileCommentLength = static_cast<std::uint16_t>(item.FileComment.size());
    return index;
}

// ---- Choosing files on disk -------------------------------------------------------------------

bool TZABaseArchiver::isExcludedPath(const std::string& path, bool, const TStrings& exclusions) const {
    std::string p = path;
    while (p.size() > 1 && isSeparator(p.back())) p.pop_back();
    const std::string name = nameOf(p);
    for (const std::string& mask : exclusions) {
        if (mask.empty()) continue;
        if (mask.find_first_of("\\/") != std::string::npos) {
            std::string m = isAbsolute(mask) ? mask : joinPath(resolvedBaseDir(), mask);
            while (m.size() > 1 && isSeparator(m.back())) m.pop_back();
            if (pathMatches(p, m) || samePath(p, m)) return true;
        } else if (IsInternalFileMatchMask(name, mask)) {
            return true;
        }
    }
    return false;
}

void TZABaseArchiver::addCandidate(const std::string& path, bool folder, const std::string& baseDir, bool move) {
    const TZAProcessOperation operation = move ? poMove : poAdd;
    bool confirm = true;
    DoOnConfirmProcessFile(path, operation, confirm);
    if (!confirm) return;
    const int index = AddFileInit(path, baseDir, true);
    if (index < 0) return;
    TDirItem& item = *dirManager_->CentralDir.GetItemPtr(index);
    if (move) item.Operation = poMove;
    if (folder) return;
    const std::string name = nameOf(path);
    for (const std::string& mask : NoCompressionMasks) {
        if (!mask.empty() && (IsInternalFileMatchMask(name, mask) || pathMatches(path, mask))) {
            item.CompressionLevel = 0;
            item.CompressionMethod = (CompMethod == 0 || CompMethod == 8) ? 0 : 255;
            break;
        }
    }
}

void TZABaseArchiver::searchDisk(const std::string& fullMask, int searchAttr, const TStrings& exclusions,
                                 const std::string& baseDir, bool move) {
    const std::string folder = folderOf(fullMask);
    const std::string pattern = nameOf(fullMask);
    std::vector<zaos::DirEntry> entries = zaos::listDirectory(folder);
    // Directory order differs between systems; sorted, the same tree gives the same archive.
    std::sort(entries.begin(), entries.end(),
              [](const zaos::DirEntry& a, const zaos::DirEntry& b) { return a.name < b.name; });
    const std::uint32_t fileAttr = static_cast<std::uint32_t>(searchAttr) & ~0x10u;
    for (const zaos::DirEntry& e : entries) {
        if ((e.attributes & 0x10) != 0) continue;
        const std::uint32_t a = e.attributes & ~0x10u;
        const bool taken = (a & fileAttr) != 0 || (a == 0 && (searchAttr & 0x27) == 0x27);
        if (!taken || !IsInternalFileMatchMask(e.name, pattern)) continue;
        const std::string path = folder + e.name;
        if (isExcludedPath(path, false, exclusions)) continue;
        addCandidate(path, false, baseDir, move);
    }
    if ((searchAttr & 0x10) == 0 && !Options.Recurse) return;
    for (const zaos::DirEntry& e : entries) {
        if ((e.attributes & 0x10) == 0) continue;
        const std::string path = folder + e.name;
        if (isExcludedPath(path, true, exclusions)) continue;
        const std::string separator = folder.empty() ? "/" : std::string(1, folder.back());
        if ((searchAttr & 0x10) != 0 && (pathMatches(path, fullMask) || pathMatches(path + ".", fullMask))) {
            addCandidate(path + separator, true, baseDir, move);
            searchDisk(path + separator + "*.*", searchAttr, exclusions, baseDir, move);
        } else if (Options.Recurse) {
            searchDisk(path + separator + pattern, searchAttr, exclusions, baseDir, move);
        }
    }
}

void TZABaseArchiver::InternalAddFiles(const TStrings& masks, int searchAttr, const TStrings& exclusions, bool move) {
    CheckInactive();
    CheckModifySpanning();
    BatchLock lock;
    BeginUpdate();
    try {
        const std::string base = resolvedBaseDir();
        for (const std::string& mask : masks) {
            if (mask.empty()) continue;
            std::string full = zaos::fullPath(isAbsolute(mask) ? mask : joinPath(base, mask));
            const bool wildcards = mask.find_first_of("*?") != std::string::npos;
            if (!wildcards && zaos::fileExists(full)) {
                if (!isExcludedPath(full, false, exclusions)) addCandidate(full, false, BaseDir, move);
                continue;
            }
            while (full.size() > 1 && isSeparator(full.back())) full.pop_back();
            // A folder named outright is that folder with its contents; searched as a mask, every
            // folder of that name further down would join it.
            if (!wildcards && zaos::directoryExists(full)) {
                if (isExcludedPath(full, true, exclusions)) continue;
                const std::string separator = full.find('\\') != std::string::npos ? "\\" : "/";
                if ((searchAttr & 0x10) != 0) addCandidate(full + separator, true, BaseDir, move);
                searchDisk(full + separator + "*.*", searchAttr, exclusions, BaseDir, move);
                continue;
            }
            searchDisk(full, searchAttr, exclusions, BaseDir, move);
        }
        EndUpdate();
    } catch (...) {
        CancelUpdate();
        throw;
    }
}

void TZABaseArchiver::AddFiles() {
    CheckInactive();
    TStrings exclusions = ExclusionMasks;
    if (!FileName.empty()) exclusions.push_back(zaos::fullPath(FileName));
    InternalAddFiles(FileMasks, Options.SearchAttr, exclusions, false);
}

void TZABaseArchiver::AddFiles(const std::string& fileMask, int searchAttr, const std::string& exclusionMask) {
    CheckInactive();
    TStrings exclusions;
    if (!exclusionMask.empty()) exclusions.push_back(exclusionMask);
    if (!FileName.empty()) exclusions.push_back(zaos::fullPath(FileName));
    if (!CurrentVolumeFileName.empty() && !samePath(CurrentVolumeFileName, FileName)) {
        exclusions.push_back(zaos::fullPath(CurrentVolumeFileName));
    }
    InternalAddFiles({fileMask}, searchAttr, exclusions, false);
}

// The archive's own file is excluded here too: moving it into itself would delete the archive.
void TZABaseArchiver::MoveFiles() {
    CheckInactive();
    CheckModifySpanning();
    TStrings exclusions = ExclusionMasks;
    if (!FileName.empty()) exclusions.push_back(zaos::fullPath(FileName));
    InternalAddFiles(FileMasks, Options.SearchAttr, exclusions, true);
}

void TZABaseArchiver::MoveFiles(const std::string& fileMask, int searchAttr, const std::string& exclusionMask) {
    CheckInactive();
    TStrings exclusions;
    if (!exclusionMask.empty()) exclusions.push_back(exclusionMask);
    if (!FileName.empty()) exclusions.push_back(zaos::fullPath(FileName));
    InternalAddFiles({fileMask}, searchAttr, exclusions, true);
}

// ---- Data from memory -------------------------------------------------------------------------

void TZABaseArchiver::AddFromStream(const std::string& fileName, TStream* stream, std::int64_t position,
                                    std::int64_t count, std::uint32_t attributes, std::uint32_t dosDateTime) {
    CheckInactive();
    CheckModifySpanning();
    if (stream == nullptr) throw EZAException(TZANativeError::NilStream, this);
    BeginUpdate();
    try {
        ProgressEnabled = false;
        const int index = AddFileInit(fileName, BaseDir, false);
        if (index >= 0) {
            TDirItem& item = *dirManager_->CentralDir.GetItemPtr(index);
            item.ExternalFileAttributes = attributes;
            if (dosDateTime != 0) {
                item.LastModFileDate = static_cast<std::uint16_t>(dosDateTime >> 16);
                item.LastModFileTime = static_cast<std::uint16_t>(dosDateTime & 0xFFFF);
            }
            // An empty source is copied too: nothing to keep alive past the bracket.
            if (count != 0 || stream->GetSize() <= position) {
                auto copy = std::make_unique<TMemoryStream>();
                stream->SetPosition(position);
                copy->CopyFrom(*stream, count);
                item.DataStream = copy.release();
                item.OwnsDataStream = true;
                item.DataStreamPosition = 0;
                item.DataStreamCount = -1;
            } else {
                item.DataStream = stream;
                item.OwnsDataStream = false;
                item.DataStreamPosition = position;
                item.DataStreamCount = -1;
            }
        }
        EndUpdate();
    } catch (...) {
        CancelUpdate();
        throw;
    }
}

void TZABaseArchiver::AddFromBuffer(const std::string& fileName, const void* buffer, std::int64_t count,
                                    std::uint32_t attributes, std::uint32_t dosDateTime) {
    TReadOnlyMemoryStream stream(buffer, static_cast<std::size_t>(count < 0 ? 0 : count));
    // Copied: the caller's buffer need not outlive an enclosing update bracket.
    AddFromStream(fileName, &stream, 0, count < 0 ? 0 : count, attributes, dosDateTime);
}

void TZABaseArchiver::AddFromString(const std::string& fileName, const std::string& text, std::uint32_t attributes,
                                    std::uint32_t dosDateTime) {
    AddFromBuffer(fileName, text.data(), static_cast<std::int64_t>(text.size()), attributes, dosDateTime);
}

} // namespace tarnwick
