// Extraction and testing: the batch loop with its events, the per-item destination rules, and
// the decoding layer (local header, password check, stored/deflate streaming, the component's
// own block format, size and CRC-32 checks).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>

#include "core/byte_order.h"
#include "zip/os/os.h"
#include "zip/zacrypt.h"
#include "zip/zadecode.h"
#include "zip/zazlib.h"
#include "zip/ziparchiver_shared.h"

namespace tarnwick {
namespace {

// The drive part of a path: "C:\\", "\\\\server\\share\\", or empty for a relative or POSIX path.
std::string driveRootOf(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, std::min<std::size_t>(3, path.size()));
    if (path.rfind("\\\\", 0) == 0) {
        const std::size_t share = path.find('\\', 2);
        const std::size_t end = share == std::string::npos ? std::string::npos : path.find('\\', share + 1);
        return end == std::string::npos ? path : path.substr(0, end + 1);
    }
    return {};
}

// Whether an extracted file goes to a removable drive, which is then flushed file by file. The
// answer is asked once a second per drive at most: a drive-type query per file costs as much as
// writing a small file under Wine, and a batch writes to one drive.
bool isRemovableDestination(const std::string& path) {
    struct TCache {
        std::string root;
        bool removable = false;
        std::chrono::steady_clock::time_point asked;
    };
    static thread_local TCache cache{"?", false, {}};
    const std::string root = driveRootOf(path);
    const auto now = std::chrono::steady_clock::now();
    if (root != cache.root || now - cache.asked > std::chrono::seconds(1)) {
        cache = {root, TZABaseArchiver::IsRemovableDrive(path), now};
    }
    return cache.removable;
}

// Largest block of the component's own format that is decompressed in one piece.
constexpr std::uint32_t kLargestOwnBlock = 64u << 20;

// A name taken from the archive must stay below the destination folder: no root, no drive, no
// server share, no ".." that climbs above where it started.
bool staysInside(const std::string& name) {
    if (name.empty() || name[0] == '\\' || name[0] == '/' || name.find(':') != std::string::npos) return false;
    int depth = 0;
    std::size_t start = 0;
    std::string last;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string::npos) end = name.size();
        std::string part = name.substr(start, end - start);
        // Windows drops trailing dots and blanks from names, so ".. " and "..." climb like "..".
        if (!part.empty() && part.find_first_not_of(". ") == std::string::npos) {
            part = part.find("..") != std::string::npos ? ".." : ".";
        }
        if (part == "..") {
            if (--depth < 0) return false;
        } else if (!part.empty() && part != ".") {
            ++depth;
        }
        if (end == name.size() || !part.empty()) last = part;
        start = end + 1;
    }
    return last != ".." && last != ".";
}

} // namespace

// ---- Batch ---------------------------------------------------------------------------------

void TZABaseArchiver::ExtractFiles() {
    CheckInactive();
    CheckInUpdate();
    TagFiles();
    ProcessTaggedFiles(poExtract, [this](int index, const std::string& itemName, const std::string& destDir) {
        ExtractTaggedFile(index, itemName, destDir);
    });
}

void TZABaseArchiver::ExtractFiles(const std::string& fileMask, int searchAttr, const std::string& exclusionMask) {
    CheckInactive();
    CheckInUpdate();
    TagFiles(fileMask, searchAttr, exclusionMask);
    ProcessTaggedFiles(poExtract, [this](int index, const std::string& itemName, const std::string& destDir) {
        ExtractTaggedFile(index, itemName, destDir);
    });
}

void TZABaseArchiver::TestFiles() {
    CheckInactive();
    CheckInUpdate();
    TagFiles();
    ProcessTaggedFiles(poTest, [this](int index, const std::string& itemName, const std::string&) {
        TestTaggedFile(index, itemName);
    });
}

void TZABaseArchiver::TestFiles(const std::string& fileMask, int searchAttr, const std::string& exclusionMask) {
    CheckInactive();
    CheckInUpdate();
    TagFiles(fileMask, searchAttr, exclusionMask);
    ProcessTaggedFiles(poTest, [this](int index, const std::string& itemName, const std::string&) {
        TestTaggedFile(index, itemName);
    });
}

// ---- One item ------------------------------------------------------------------------------

bool TZABaseArchiver::ForceDirectories(const std::string& path) {
    if (path.empty()) throw EZAException(TZANativeError::BlankFolder, nullptr);
    std::string dir = path;
    while (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
    // A drive ("C:") or a root is there to begin with; a short name ("x1") is a folder to make.
    const bool driveOrRoot = dir.size() == 1 ? (dir[0] == '\\' || dir[0] == '/') : dir.size() == 2 && dir[1] == ':';
    if (driveOrRoot || zaos::directoryExists(dir)) return true;
    const std::size_t slash = dir.find_last_of("\\/");
    if (slash != std::string::npos && slash > 0) {
        const std::string parent = dir.substr(0, slash);
        if (parent != dir && !ForceDirectories(parent)) return false;
    }
    return zaos::createDirectory(dir) || zaos::directoryExists(dir);
}

// The name is taken (or the file could not be made): the overwrite rules decide. nullptr when the
// existing file stays.
std::unique_ptr<TZAFileStream> TZABaseArchiver::openForReplacing(std::string& path, const std::string& itemName,
                                                                 std::uint32_t itemDateTime) {
    // One look at the file: under Wine every lookup of a name scans its whole folder.
    const std::uint32_t existing = zaos::fileAttributes(path);
    const bool present = existing != zaos::kInvalidAttributes && (existing & 0x10) == 0;
    const std::string proposedPath = path;
    if (present) {
        if (!Options.ReplaceReadOnly && (existing & 1) != 0) return nullptr;
        std::uint32_t fileDateTime = 0;
        switch (Options.OverwriteMode) {
        case omPrompt: {
            bool confirm = true;
            DoOnConfirmOverwrite(itemName, path, confirm);
            if (!confirm) return nullptr;
            break;
        }
        case omAlways: break;
        case omNever: return nullptr;
        case omIfNewer:
            if (!zaos::fileDosDateTime(path, fileDateTime) || itemDateTime <= fileDateTime) return nullptr;
            break;
        case omIfOlder:
            if (!zaos::fileDosDateTime(path, fileDateTime) || itemDateTime >= fileDateTime) return nullptr;
            break;
        }
    }
    // A handler may have named another path for an existing file; only that one needs a new look.
    if (path != proposedPath ? zaos::fileExists(path) : present) {
        zaos::setFileAttributes(path, 0);
        if (!zaos::deleteFile(path)) throw EZAException(TZANativeError::CannotCreateFile, {path}, this);
    }
    try {
        return std::make_unique<TZAFileStream>(path, 0xFFFF);
    } catch (const EFOpenError&) {
        throw EZAException(TZANativeError::CannotCreateFile, {path}, this);
    }
}

void TZABaseArchiver::ExtractTaggedFile(int index, const std::string& itemName, const std::string& destDir) {
    const TDirItem entry = *dirManager_->CentralDir.GetItemPtr(index);
    std::uint32_t attributes = entry.ExternalFileAttributes;
    std::string name = entry.FileName;
    DoOnExtractFile(name, attributes, entry.FileComment);
    std::string folder = destDir;
    if (name != itemName) {
        // A handler chose this path on purpose: a drive, a share or a root sends it there.
        if (name.find(':') != std::string::npos || name.find("\\\\") != std::string::npos ||
            (!name.empty() && (name[0] == '\\' || name[0] == '/'))) {
            folder.clear();
        }
    } else if (!staysInside(name)) {
        throw EZAException(TZANativeError::CannotCreateFile, {name}, this);
    }
    // Windows opens no longer path by these calls (MAX_PATH, its terminating zero included). Refused
    // before any folder is made, and alike on every system, so a name nested thousands of folders
    // deep leaves nothing behind.
    constexpr std::size_t kMaxPath = 260;
    const std::string placed = folder + (Options.CreateDirs ? name : nameOf(name));
    if (placed.size() >= kMaxPath) throw EZAException(TZANativeError::CannotCreateFile, {placed}, this);
    const std::string target = Options.CreateDirs ? folder + folderOf(name) : std::string();
    const auto forceTarget = [&] {
        if (!target.empty() && !ForceDirectories(target)) throw EZAException(TZANativeError::CannotCreateFolder, {target}, this);
    };
    if (!Options.CreateDirs) name = nameOf(name);
    if (entry.IsFolder() || (!entry.FileName.empty() && entry.FileName.back() == '/')) {
        forceTarget();
        return;
    }

    std::string path = folder + name;
    const std::uint32_t itemDateTime = (static_cast<std::uint32_t>(entry.LastModFileDate) << 16) | entry.LastModFileTime;
    // Most items land where nothing of their name is yet, in a folder that is there: making the
    // file only when the name is free looks it up once. Under Wine every lookup of a missing name
    // reads its whole folder, and a look at the folder first cost a quarter of each new file's
    // system calls. The folder is made when the file could not be made without it.
    bool nameTaken = false;
    std::unique_ptr<TZAFileStream> output = TZAFileStream::CreateNew(path, &nameTaken);
    if (!output && !nameTaken && !target.empty()) {
        forceTarget();
        output = TZAFileStream::CreateNew(path);
    }
    if (!output) output = openForReplacing(path, itemName, itemDateTime);
    if (!output) return;
    std::exception_ptr failure;
    try {
        ExtractItem(index, output.get());
    } catch (...) {
        failure = std::current_exception();
    }
    output->SetDosDateTime(itemDateTime);
    if (Options.FlushBuffers && isRemovableDestination(path)) output->FlushToDevice();
    const bool kept = !(SkipFile || Cancel || failure);
    // Only the bits a file can carry: archives made on Unix keep the mode in the high half. Set
    // through the open file: by name the system would look the path up and open it once more.
    const std::uint32_t fileAttributes = attributes & 0x27;
    const bool attributesSet = kept && Options.SetAttributes && output->SetAttributes(fileAttributes);
    output.reset();
    if (!kept) {
        zaos::deleteFile(path);
    } else if (Options.SetAttributes && !attributesSet) {
        zaos::setFileAttributes(path, fileAttributes);
    }
    if (failure) std::rethrow_exception(failure);
}

void TZABaseArchiver::TestTaggedFile(int index, const std::string&) {
    if (dirManager_->CentralDir.GetItemPtr(index)->IsFolder()) return;
    // Decoded and checked, then dropped: no temporary file to make, fill and delete per item.
    TNullStream sink;
    ExtractItem(index, &sink);
}

// ---- Decoding ------------------------------------------------------------------------------

void TZABaseArchiver::ExtractItem(int index, TStream* output) {
    if (index < 0 || index >= dirManager_->CentralDir.GetCount()) throw EZAException(TZANativeError::ExtractItemIndex, this);
    const TDirItem entry = *dirManager_->CentralDir.GetItemPtr(index);
    if (spanningMode_ != smNone) {
        TZAVolumeNumberInfo volume;
        volume.LastVolumeNumber = dirManager_->Volume.LastVolumeNumber;
        volume.SetVolumeNumber(static_cast<int>(entry.GetDiskNumberStart()));
        OpenVolume(volume);
        dirManager_->ArchiveStream = archiveStream_;
    }
    bool ok = false;
    bool replayed = false;
    if constexpr (kDecodeAhead) {
        if (prefetch_) {
            // The next item is decoded on the second thread while this one is written.
            std::unique_ptr<TZADecodedItem> decoded = prefetch_->Take(index, entry);
            const int next = nextToExtract(index);
            if (next >= 0) startPrefetch(next);
            if (decoded) {
                ok = replayDecoded(*decoded, output, entry);
                replayed = true;
                prefetch_->Recycle(std::move(decoded));
            }
        }
    }
    if (!replayed) {
        archiveStream_->SetPosition(entry.GetLocalHeaderOffset());
        ok = InternalDecompressFile(archiveStream_, output, entry);
    }
    if (!ok && !Cancel && !ExtractCorruptedFiles && !SkipFile) throw EZAException(TZANativeError::ItemDataInvalid, this);
}

void TZABaseArchiver::PlanExtractions(const std::vector<std::string>& names) {
    CheckInactive();
    CheckInUpdate();
    forgetPlan();
    if constexpr (kDecodeAhead) {
        if (spanningMode_ != smNone) return;
        plannedNext_.assign(static_cast<std::size_t>(dirManager_->CentralDir.GetCount()), -1);
        // A name found as an item of its own; a name that is not (a mask, a missing item) only
        // leaves its neighbours undecoded ahead.
        int previous = -1;
        for (const std::string& name : names) {
            int found = -1;
            const int index = dirManager_->CentralDir.FileExists(name, found) ? found : -1;
            if (previous >= 0 && index >= 0) plannedNext_[static_cast<std::size_t>(previous)] = index;
            previous = index;
        }
    } else {
        (void)names;
    }
}

void TZABaseArchiver::forgetPlan() {
    plannedNext_.clear();
    plannedPrefetch_.reset();
}

#ifndef TARNWICK_ZIP_NO_DECODE_AHEAD
int TZABaseArchiver::nextToExtract(int index) const {
    if (batchOrder_.empty()) {
        const auto at = static_cast<std::size_t>(index);
        return at < plannedNext_.size() ? plannedNext_[at] : -1;
    }
    const auto next = std::upper_bound(batchOrder_.begin(), batchOrder_.end(), index);
    return next == batchOrder_.end() ? -1 : *next;
}

void TZABaseArchiver::startPrefetch(int index) {
    const TDirItem& entry = *dirManager_->CentralDir.GetItemPtr(index);
    const bool plain = (entry.GeneralPurposeBitFlag & 1) == 0 && (entry.CompressionMethod == 0 || entry.CompressionMethod == 8);
    if (!plain || spanningMode_ != smNone || entry.GetCompressedSize() > TZAPrefetcher::kLargestItem ||
        entry.GetUncompressedSize() > TZAPrefetcher::kLargestItem) {
        return;
    }
    // The same reads as the live decode; any trouble leaves the item to it, which then meets the
    // trouble at its own time and raises what it always raised.
    try {
        archiveStream_->SetPosition(entry.GetLocalHeaderOffset());
        TZAZipFileHeader local;
        ReadRecordFrom(*archiveStream_, local);
        const std::int64_t start = archiveStream_->GetPosition() + local.FileNameLength + local.ExtraFieldLength;
        std::int64_t compressedSize = entry.GetCompressedSize();
        const std::int64_t limit = dirManager_->CentralDirOffset - start;
        if (compressedSize > limit) compressedSize = limit < 0 ? 0 : limit;
        std::vector<unsigned char> data = prefetch_->DataBuffer();
        data.resize(static_cast<std::size_t>(compressedSize));
        archiveStream_->SetPosition(start);
        TStream* archive = archiveStream_;
        if (readSpanning(archive, data.data(), data.size()) != data.size()) return;
        prefetch_->Start(index, entry, std::move(data), start + compressedSize, zaos::availablePhysicalMemory() / 20);
    } catch (...) {
    }
}

bool TZABaseArchiver::replayDecoded(const TZADecodedItem& decoded, TStream* output, const TDirItem& item) {
    ++zadetail::prefetchedItems();
    archiveStream_->SetPosition(decoded.dataEnd);
    FileBytesTotal = static_cast<double>(decoded.compressedSize);
    SkipFile = false;
    std::int64_t written = 0;
    std::uint32_t crc = 0xFFFFFFFF;
    bool result = decoded.result;
    for (const TZADecodedItem::Step& step : decoded.steps) {
        if (step.block) {
            if (!blockProgress(item, step.consumed)) {
                result = true;
                break;
            }
            continue;
        }
        crc = step.crcAfter;
        if (output->Write(decoded.bytes.data() + step.offset, step.count) != step.count) {
            result = false;
            break;
        }
        written += static_cast<std::int64_t>(step.count);
    }
    if (written != item.GetUncompressedSize()) return false;
    if (!result) return false;
    if (SkipFile) return true;
    return ~crc == item.Crc32;
}
#endif

bool TZABaseArchiver::ZipInitPassword(TStream* stream, const std::string& password, std::uint16_t flags,
                                      std::uint16_t dosTime, std::uint32_t crc, std::int64_t* keys) {
    unsigned char header[12];
    stream->ReadBuffer(header, sizeof header);
    ZipKeyInit(password, keys, header);
    return header[11] == ZipCheckByte(flags, dosTime, crc);
}

bool TZABaseArchiver::InternalDecompressFile(TStream* archive, TStream* output, const TDirItem& item) {
    TZAZipFileHeader local;
    ReadRecordFrom(*archive, local);
    archive->SetPosition(archive->GetPosition() + local.FileNameLength + local.ExtraFieldLength);

    std::int64_t compressedSize = item.GetCompressedSize();
    if (spanningMode_ == smNone) {
        const std::int64_t limit = dirManager_->CentralDirOffset - archive->GetPosition();
        if (compressedSize > limit) compressedSize = limit < 0 ? 0 : limit;
    }
    FileBytesTotal = static_cast<double>(compressedSize);
    SkipFile = false;
    std::int64_t written = 0;
    std::uint32_t crc = 0xFFFFFFFF;
    bool decoded = false;
    switch (item.CompressionMethod) {
    case 0:
    case 8: decoded = decodeStoredOrDeflated(archive, output, item, compressedSize, written, crc); break;
    case 9: throw EZAException(TZANativeError::Deflate64, nullptr);
    default:
        if (item.VersionNeededToExtract < 11) return false;
        decoded = decodeBlockFormat(archive, output, item, written, crc);
        break;
    }
    if (written != item.GetUncompressedSize()) return false;
    if (!decoded) return false;
    if (SkipFile) return true;
    return ~crc == item.Crc32;
}

// The events before each block of input; false when a handler cancelled.
bool TZABaseArchiver::blockProgress(const TDirItem& item, std::int64_t consumed) {
    FileBytesDone = static_cast<double>(consumed);
    if (!ProgressEnabled) return true;
    const auto operation = static_cast<TZAProcessOperation>(item.Operation);
    DoOnFileProgress(item.FileName, FileBytesDone / FileBytesTotal * 100, operation, ppProcess, Cancel);
    if (Cancel) return false;
    const double overall =
        SelectedFileCount > 0 ? (FileBytesDone / FileBytesTotal + ProcessedFileCount) / SelectedFileCount * 100 : 0;
    DoOnOverallProgress(overall, operation, ppProcess, Cancel);
    return !Cancel;
}

namespace {

// Decoding as it happens: events before each block, output straight into the file.
class TLiveSink final : public TZADecodeSink {
public:
    TLiveSink(std::function<bool(std::int64_t)> progress, TStream* output)
        : progress_(std::move(progress)), output_(output) {}
    bool BeforeBlock(std::int64_t consumed) override { return progress_(consumed); }
    bool Output(const unsigned char* bytes, std::size_t count, std::uint32_t) override {
        return output_->Write(bytes, count) == count;
    }

private:
    std::function<bool(std::int64_t)> progress_;
    TStream* output_;
};

} // namespace

bool TZABaseArchiver::decodeStoredOrDeflated(TStream* archive, TStream* output, const TDirItem& item,
                                             std::int64_t compressedSize, std::int64_t& written, std::uint32_t& crc) {
    const std::uint64_t memoryShare = zaos::availablePhysicalMemory() / 20;
    const bool encrypted = (item.GeneralPurposeBitFlag & 1) != 0;
    std::int64_t keys[3] = {0, 0, 0};
    if (encrypted) {
        compressedSize -= 12;
        const std::int64_t headerPosition = archive->GetPosition();
        for (;;) {
            archive->SetPosition(headerPosition);
            const bool passed = ZipInitPassword(archive, Password, item.GeneralPurposeBitFlag, item.LastModFileTime,
                                                item.Crc32, keys);
            if (passed || SuppressPasswordPrompt) break;
            DoOnPassword(item.FileName, Password, SkipFile);
            if (SkipFile) return false;
        }
    }
    TLiveSink sink([this, &item](std::int64_t consumed) { return blockProgress(item, consumed); }, output);
    const TZADecodeRead read = [this, &archive](unsigned char* buffer, std::size_t count) {
        return readSpanning(archive, buffer, count);
    };
    return decodeStoredOrDeflatedData(read, item, compressedSize, memoryShare, encrypted ? keys : nullptr, sink,
                                      spareInput_, spareOutput_, written, crc);
}

bool TZABaseArchiver::decodeBlockFormat(TStream* archive, TStream* output, const TDirItem& item, std::int64_t& written,
                                        std::uint32_t& crc) {
    unsigned char header[50];
    if (archive->Read(header, sizeof header) != sizeof header) return false;
    const std::uint32_t blockSize = loadLE32(header);
    const std::uint32_t blocks = loadLE32(header + 16);
    const unsigned algorithm = header[20];
    const bool compressed = header[21] != 0;
    const std::uint16_t cipher = loadLE16(header + 22);
    // None of the strong ciphers is available; such items cannot be decoded.
    if (cipher != 0xFFFF) return false;
    if (compressed && algorithm != caZLIB) return false;
    const std::int64_t total = item.UncompressedSize == 0xFFFFFFFF ? item.GetUncompressedSize()
                                                                   : static_cast<std::int64_t>(loadLE32(header + 8));
    FileBytesTotal = static_cast<double>(archive->GetSize());
    double done = sizeof header;
    std::vector<unsigned char> data, plain;
    for (std::uint32_t b = 0; b < blocks; ++b) {
        FileBytesDone = done;
        if (ProgressEnabled) {
            const auto operation = static_cast<TZAProcessOperation>(item.Operation);
            DoOnFileProgress(item.FileName, FileBytesDone / FileBytesTotal * 100, operation, ppProcess, Cancel);
            if (Cancel) return true;
            const double overall = SelectedFileCount > 0
                                       ? (FileBytesDone / FileBytesTotal + ProcessedFileCount) / SelectedFileCount * 100
                                       : 0;
            DoOnOverallProgress(overall, operation, ppProcess, Cancel);
            if (Cancel) return true;
        }
        unsigned char lengthBytes[4];
        if (archive->Read(lengthBytes, 4) != 4) return false;
        const std::uint32_t length = loadLE32(lengthBytes);
        if (length > archive->GetSize() - archive->GetPosition()) return false;
        data.resize(length);
        if (archive->Read(data.data(), length) != length) return false;
        done += 4.0 + length;
        const std::int64_t left = total - written;
        const std::int64_t expected = (b + 1 == blocks) ? left : std::min<std::int64_t>(blockSize, left);
        if (expected < 0 || expected > kLargestOwnBlock) return false;
        // Deflate gives at most 1032 bytes per byte of input: a block that claims more is damaged,
        // and is refused before room for it is made.
        if (compressed && expected > static_cast<std::int64_t>(length) * 1032) return false;
        const unsigned char* result = data.data();
        std::size_t resultSize = data.size();
        if (compressed) {
            if (!ZAUncompressBlock(data.data(), data.size(), static_cast<std::size_t>(expected), plain)) return false;
            result = plain.data();
            resultSize = plain.size();
        }
        crc = ZACrc32Update(crc, result, static_cast<long long>(resultSize));
        if (output->Write(result, resultSize) != resultSize) return false;
        written += static_cast<std::int64_t>(resultSize);
    }
    return true;
}

// ---- Single items without events ------------------------------------------------------------

int TZABaseArchiver::findItemByName(const std::string& fileName) {
    const bool recurse = Options.Recurse;
    Options.Recurse = false;
    TZAArchiveItem item;
    bool found = false;
    try {
        found = FindFirst(fileName, item, "", kAnyItem);
    } catch (...) {
        Options.Recurse = recurse;
        throw;
    }
    Options.Recurse = recurse;
    return found ? item.InternalSearchRec.Index : -1;
}

void TZABaseArchiver::ExtractToStream(const std::string& fileName, TStream* stream) {
    CheckInactive();
    CheckInUpdate();
    ProgressEnabled = false;
    const int index = findItemByName(fileName);
    if (index < 0) throw EZAException(TZANativeError::ItemNotFound, {fileName}, this);
    ExtractItem(index, stream);
}

void TZABaseArchiver::ExtractToBuffer(const std::string& fileName, void* buffer, std::int64_t count) {
    TMemoryStream memory;
    ExtractToStream(fileName, &memory);
    memory.SetPosition(0);
    // Exactly count bytes, never more: a longer item is cut, a shorter one is a read error.
    if (count < 0) throw EReadError("Stream read error");
    memory.ReadBuffer(buffer, static_cast<std::size_t>(count));
}

void TZABaseArchiver::ExtractToString(const std::string& fileName, std::string& text) {
    TMemoryStream memory;
    ExtractToStream(fileName, &memory);
    text.assign(reinterpret_cast<const char*>(memory.Memory()), static_cast<std::size_t>(memory.GetSize()));
}

bool TZABaseArchiver::IsFilePasswordValid(const std::string& fileName, const std::string& password) {
    CheckInactive();
    TZAArchiveItem found;
    if (!FindFirst(fileName, found, "", kAnyItem)) throw EZAException(TZANativeError::PasswordItemNotFound, {fileName}, this);
    const int index = found.InternalSearchRec.Index;
    const TDirItem entry = *dirManager_->CentralDir.GetItemPtr(index);
    if ((entry.GeneralPurposeBitFlag & 1) == 0) return true;
    if (spanningMode_ != smNone) {
        TZAVolumeNumberInfo volume;
        volume.LastVolumeNumber = dirManager_->Volume.LastVolumeNumber;
        volume.SetVolumeNumber(static_cast<int>(entry.GetDiskNumberStart()));
        OpenVolume(volume);
    }
    archiveStream_->SetPosition(entry.GetLocalHeaderOffset());
    TZAZipFileHeader local;
    ReadRecordFrom(*archiveStream_, local);
    archiveStream_->SetPosition(archiveStream_->GetPosition() + local.FileNameLength + local.ExtraFieldLength);
    // The component's own format carries a verifier for ciphers that are not available here.
    if (entry.CompressionMethod != 0 && entry.CompressionMethod != 8) return false;
    std::int64_t keys[3];
    if (!ZipInitPassword(archiveStream_, password, entry.GeneralPurposeBitFlag, entry.LastModFileTime, entry.Crc32, keys)) {
        return false;
    }
    if (spanningMode_ != smNone) return true;
    const bool savedSuppress = SuppressPasswordPrompt;
    const std::string savedPassword = Password;
    SuppressPasswordPrompt = true;
    Password = password;
    bool result = true;
    try {
        TestTaggedFile(index, fileName);
    } catch (...) {
        result = false;
    }
    SuppressPasswordPrompt = savedSuppress;
    Password = savedPassword;
    return result;
}

} // namespace tarnwick
