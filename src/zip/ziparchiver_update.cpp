// Applying updates: ForceUpdate writes the pending changes in place. The archive keeps its
// unchanged beginning; everything from the first change on is saved (the "tail"), the archive is
// cut there and rebuilt: new data compressed, old records copied back from the tail, then the
// directory. Any failure, cancel or abort puts the saved bytes back, so the file ends exactly as
// it was. A crash between the cut and the end leaves the tail file (FC* beside the archive, or in
// TempDir): the archive's first bytes followed by the tail are the old archive.
#include <algorithm>
#include <exception>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/byte_order.h"
#include "zip/os/os.h"
#include "zip/zastrfunc.h"
#include "zip/ziparchiver_shared.h"

namespace tarnwick {
namespace {

// A window of a stream seen from 0: an item's data given as a stream and a position.
class StreamWindow final : public TStream {
public:
    StreamWindow(TStream& inner, std::int64_t offset, std::int64_t count) : inner_(inner), offset_(offset) {
        const std::int64_t left = std::max<std::int64_t>(inner.GetSize() - offset, 0);
        size_ = count < 0 ? left : std::min(count, left);
    }
    std::size_t Read(void* buffer, std::size_t count) override {
        const std::int64_t n = std::clamp<std::int64_t>(size_ - position_, 0, static_cast<std::int64_t>(count));
        inner_.SetPosition(offset_ + position_);
        const std::size_t got = inner_.Read(buffer, static_cast<std::size_t>(n));
        position_ += static_cast<std::int64_t>(got);
        return got;
    }
    std::size_t Write(const void*, std::size_t) override { return 0; }
    std::int64_t GetPosition() const override { return position_; }
    void SetPosition(std::int64_t position) override { position_ = position < 0 ? 0 : position; }
    std::int64_t GetSize() override { return size_; }
    void SetSize(std::int64_t) override {}

private:
    TStream& inner_;
    std::int64_t offset_;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
};

void releaseDataStreams(TZADirArray& dir) {
    for (int i = 0; i < dir.GetCount(); ++i) {
        TDirItem& item = *dir.GetItemPtr(i);
        if (item.OwnsDataStream) delete item.DataStream;
        item.DataStream = nullptr;
        item.OwnsDataStream = false;
    }
}

bool keepsData(const TDirItem& item) {
    return !item.Modified || item.Operation == poRename || item.Operation == poChangeAttr ||
           item.Operation == poChangeComment;
}

// Sources this large may deflate past 4 GiB; their local header gets the ZIP64 block up front.
constexpr std::int64_t kZip64SourceThreshold = 0xF0000000LL;

// The old records by their exact names, each name's records in archive order, for finding the
// first one not yet used: one search per item kept instead of a pass over every old record.
class OldRecordsByName {
public:
    int FirstUnused(const TZADirArray& old, const std::string& name, const std::vector<bool>& used) {
        if (!built_) {
            for (int j = 0; j < old.GetCount(); ++j) records_[old.GetItemPtr(j)->FileName].indexes.push_back(j);
            built_ = true;
        }
        const auto found = records_.find(name);
        if (found == records_.end()) return -1;
        Records& records = found->second;
        // A record once used stays used, so the ones before the cursor need no second look.
        while (records.next < records.indexes.size() && used[static_cast<std::size_t>(records.indexes[records.next])]) ++records.next;
        return records.next < records.indexes.size() ? records.indexes[records.next] : -1;
    }

private:
    struct Records {
        std::vector<int> indexes;
        std::size_t next = 0;
    };
    std::unordered_map<std::string_view, Records> records_;
    bool built_ = false;
};

// A source up to this size is compressed into memory behind its header and written with one
// call once its sizes are known, instead of a header, the data and the header again after a
// seek back: three writes and two seeks a file cost more than compressing a small file.
constexpr std::int64_t kStagedSourceLimit = 512 * 1024;  // within one input block at every level

} // namespace

void TZABaseArchiver::rollbackUpdate(TStream* tail, std::int64_t start) {
    TZADirArray& dir = dirManager_->CentralDir;
    releaseDataStreams(dir);
    dir.Assign(&dirManager_->RollbackDir);
    dirManager_->ArchiveComment = dirManager_->RollbackComment;
    dirManager_->CentralDirOffset = dirManager_->RollbackCentralDirOffset;
    if (archiveStream_ == nullptr || tail == nullptr) return;
    archiveStream_->SetSize(start);
    archiveStream_->SetPosition(start);
    if (tail->GetSize() > 0) {
        tail->SetPosition(0);
        archiveStream_->CopyFrom(*tail, tail->GetSize());
    }
    archiveStream_->SetSize(archiveStream_->GetPosition());
}

void TZABaseArchiver::ForceUpdate() {
    if (UpdateCount <= 0) return;
    UpdateCount = 0;
    if (!active_ || !dirManager_ || archiveStream_ == nullptr) return;
    forgetPlan();  // the items may move
    BatchLock lock;
    TZADirManager& dm = *dirManager_;
    TZADirArray& dir = dm.CentralDir;
    const TZADirArray& old = dm.RollbackDir;
    ProcessedFileCount = 0;
    SelectedFileCount = 0;
    Cancel = false;
    ProgressEnabled = true;
    lastUpdateBytesWritten_ = 0;
    auto operation = poDelete;
    for (int i = 0; i < dir.GetCount(); ++i) {
        const TDirItem& item = *dir.GetItemPtr(i);
        if (!item.Modified) continue;
        if (SelectedFileCount == 0) operation = static_cast<TZAProcessOperation>(item.Operation);
        ++SelectedFileCount;
    }
    const bool volumes = spanningMode_ != smNone && !IsCustomStream;
    if (volumes && OpenMode != 0xFFFF) {
        // An existing set is read only: its volumes may be on disks that are gone.
        rollbackUpdate(nullptr, 0);
        throw EZAException(TZANativeError::ModifyVolumes, this);
    }
    DoOnOverallProgress(0, operation, ppStart, Cancel);
    if (Cancel) {
        rollbackUpdate(nullptr, 0);
        return;
    }

    // k: the first index where the two directories part.
    const int shorter = std::min(dir.GetCount(), old.GetCount());
    int k = 0;
    while (k < shorter && !dir.GetItemPtr(k)->Modified && dir.GetItemPtr(k)->FileName == old.GetItemPtr(k)->FileName) ++k;
    const bool unchanged = k == dir.GetCount() && k == old.GetCount() && dm.ArchiveComment == dm.RollbackComment &&
                           archiveStream_->GetSize() > 0;
    if (unchanged) {
        // Nothing to write: the file is left alone, byte for byte.
        bool cancel = false;
        DoOnOverallProgress(100, operation, ppEnd, cancel);
        return;
    }
    // The start: where the first record from k on begins. Records are not always in directory
    // order, so an earlier item lying past that point joins the rewritten part.
    std::int64_t start = old.GetCount() == 0 ? dm.StubSize : dm.RollbackCentralDirOffset;
    if (old.GetCount() > 0) {
        for (bool moved = true; moved;) {
            moved = false;
            start = dm.RollbackCentralDirOffset;
            for (int i = k; i < old.GetCount(); ++i) start = std::min(start, old.GetItemPtr(i)->GetLocalHeaderOffset());
            for (int i = 0; i < k; ++i) {
                if (old.GetItemPtr(i)->GetLocalHeaderOffset() >= start) {
                    k = i;
                    moved = true;
                    break;
                }
            }
        }
    }
    start = std::clamp<std::int64_t>(start, 0, archiveStream_->GetSize());

    // The saved tail: in a temporary file when old records must come back, else (appending) the
    // old directory area in memory.
    std::unique_ptr<TStream> tail;
    std::string tailName;
    const bool tailHoldsRecords = k < old.GetCount();
    try {
        if (tailHoldsRecords) {
            // Beside the archive unless TempDir says otherwise: a temporary folder in memory
            // would lose the only copy of the old records in a power failure.
            if (TempDir.empty() && !IsCustomStream) {
                const std::size_t slash = FileName.find_last_of("\\/");
                tailName = zaos::createTempFile(slash == std::string::npos ? std::string(".") : FileName.substr(0, slash + 1), "FC");
            }
            if (tailName.empty()) tailName = GetTempFileName();
            if (tailName.empty()) throw EZAException(TZANativeError::CannotCreateFile, {TempDir.empty() ? zaos::tempFolder() : TempDir}, this);
            tail = std::make_unique<TZAFileStream>(tailName, 0xFFFF);
        } else {
            tail = std::make_unique<TMemoryStream>();
        }
        const std::int64_t size = archiveStream_->GetSize();
        if (size > start) {
            archiveStream_->SetPosition(start);
            tail->CopyFrom(*archiveStream_, size - start);
        }
        // The tail must outlive a crash before the archive is cut.
        if (auto* file = dynamic_cast<TZAFileStream*>(tail.get()); file != nullptr && Options.FlushBuffers) file->FlushToDevice();
    } catch (...) {
        tail.reset();
        if (!tailName.empty()) zaos::deleteFile(tailName);
        rollbackUpdate(nullptr, 0);
        throw;
    }
    if (tailHoldsRecords) lastUpdateBytesWritten_ += tail->GetSize();

    bool abort = false;
    try {
        archiveStream_->SetSize(start);
        archiveStream_->SetPosition(start);
        std::vector<bool> used(static_cast<std::size_t>(old.GetCount()), false);
        OldRecordsByName oldRecords;
        for (int i = 0; i < k; ++i) used[static_cast<std::size_t>(i)] = true;
        for (int i = k; i < dir.GetCount() && !Cancel && !abort;) {
            TDirItem& item = *dir.GetItemPtr(i);
            bool written = false;
            bool tried = false;
            if (!keepsData(item)) {
                tried = true;
                const std::int64_t itemStart = archiveStream_->GetPosition();
                do {
                    FailureAction = fxaIgnore;
                    try {
                        written = writeNewItem(i);
                    } catch (const EZAException& e) {
                        written = false;
                        archiveStream_->SetSize(itemStart);
                        archiveStream_->SetPosition(itemStart);
                        const bool added = item.Operation == poAdd || item.Operation == poMove;
                        const std::string name = added ? item.SourceFileName : item.FileName;
                        DoOnProcessFileFailure(name, static_cast<TZAProcessOperation>(item.Operation), e.NativeError,
                                               e.ErrorCode, e.Message, FailureAction);
                    }
                } while (!written && !Cancel && FailureAction == fxaRetry);
                if (Cancel || FailureAction == fxaAbort) {
                    abort = FailureAction == fxaAbort;
                    break;
                }
            }
            if (!written) {
                // Old data (unchanged items, or a replacement whose new data failed); new items
                // without an old record are dropped.
                const std::string& wanted = item.Modified && item.Operation == poRename ? item.OldFileName : item.FileName;
                const int found = oldRecords.FirstUnused(old, wanted, used);
                if (found < 0 && tried) {
                    if (item.OwnsDataStream) delete item.DataStream;
                    item.DataStream = nullptr;
                    item.OwnsDataStream = false;
                    dir.DeleteItem(i);
                    continue;
                }
                if (found < 0) throw EZAException(TZANativeError::OldRecordMissing, this);
                used[static_cast<std::size_t>(found)] = true;
                // New data failed: the item is its old self again (and a move keeps its source).
                if (tried) dir.SetItem(i, *old.GetItemPtr(found));
                const TDirItem& source = *old.GetItemPtr(found);
                const std::int64_t from = source.GetLocalHeaderOffset();
                // Records before the start are still in place in the archive itself.
                if (from >= start) {
                    copyItemFromTail(i, tail.get(), from - start);
                } else {
                    TMemoryStream record;
                    const std::int64_t saved = archiveStream_->GetPosition();
                    archiveStream_->SetPosition(from);
                    record.CopyFrom(*archiveStream_, std::min<std::int64_t>(start - from, saved - from));
                    archiveStream_->SetPosition(saved);
                    copyItemFromTail(i, &record, 0);
                }
            }
            ++ProcessedFileCount;
            ++i;
        }
        if (!Cancel && !abort) {
            dm.CentralDirOffset = archiveStream_->GetPosition();
            dm.SaveDir(false, archiveStream_);
            if (volumes) splitIntoVolumes();
        }
    } catch (...) {
        try {
            rollbackUpdate(tail.get(), start);
        } catch (...) {
            // The copy-back failed too: the tail file stays for the user to recover from.
            tail.reset();
            throw;
        }
        tail.reset();
        if (!tailName.empty()) zaos::deleteFile(tailName);
        throw;
    }
    if (Cancel || abort) {
        rollbackUpdate(tail.get(), start);
        tail.reset();
        if (!tailName.empty()) zaos::deleteFile(tailName);
        return;
    }
    lastUpdateBytesWritten_ += archiveStream_->GetSize() - start;
    tail.reset();
    if (!tailName.empty()) zaos::deleteFile(tailName);

    // Written: moved sources go, and the items describe what the file now holds.
    for (int i = 0; i < dir.GetCount(); ++i) {
        TDirItem& item = *dir.GetItemPtr(i);
        if (item.Modified && item.Operation == poMove && !item.IsFolder()) {
            do {
                FailureAction = fxaIgnore;
                if (zaos::deleteFile(item.SourceFileName)) break;
                const EZAException e(TZANativeError::CannotDeleteFile, {item.SourceFileName}, this);
                DoOnProcessFileFailure(item.SourceFileName, poMove, e.NativeError, e.ErrorCode, e.Message, FailureAction);
            } while (FailureAction == fxaRetry);
            if (FailureAction == fxaAbort) break;
        }
    }
    releaseDataStreams(dir);
    for (int i = 0; i < dir.GetCount(); ++i) {
        TDirItem& item = *dir.GetItemPtr(i);
        item.Modified = false;
        item.OldFileName.clear();
    }
    bool cancel = false;
    DoOnOverallProgress(100, operation, ppEnd, cancel);
    if (Options.FlushBuffers) {
        if (auto* file = dynamic_cast<TZAFileStream*>(archiveStream_)) file->FlushToDevice();
    }
    if (volumes) {
        // A written set is opened again for reading, volumes and all.
        freeArchiveStream();
        dirManager_.reset();
        active_ = false;
        OpenMode = 0x40;
        internalOpen();
    }
}

bool TZABaseArchiver::writeNewItem(int index) {
    TDirItem& item = *dirManager_->CentralDir.GetItemPtr(index);
    const auto operation = static_cast<TZAProcessOperation>(item.Operation);
    const bool added = operation == poAdd || operation == poMove;
    item.CompressionMethod = item.IsFolder() || item.CompressionLevel == 0 ? 0 : 8;
    DoOnFileProgress(added ? item.SourceFileName : item.FileName, 0, operation, ppStart, Cancel);
    if (Cancel) return false;

    std::unique_ptr<TStream> owned;
    TStream* source = nullptr;
    if (!item.IsFolder()) {
        if (item.DataStream != nullptr) {
            owned = std::make_unique<StreamWindow>(*item.DataStream, item.DataStreamPosition, item.DataStreamCount);
        } else {
            try {
                owned = std::make_unique<TZAFileStream>(item.SourceFileName, static_cast<std::uint16_t>(ShareModeToInt(Options.ShareMode)));
            } catch (const EFOpenError&) {
                throw EZAException(TZANativeError::CannotOpenSource, {item.SourceFileName}, this);
            }
        }
        source = owned.get();
    }
    const std::int64_t sourceSize = source != nullptr ? source->GetSize() : 0;
    const std::int64_t offset = archiveStream_->GetPosition();
    const bool zip64 = Zip64Mode == zmAlways || offset >= 0xFFFFFFFF || sourceSize >= kZip64SourceThreshold;
    if (zip64 && Zip64Mode == zmDisabled) throw EZAException(TZANativeError::Zip64NotEnabled, this);
    item.Zip64Info = TZAZip64ExtendedInfo{};
    item.Zip64Info.RelativeOffsetOfLocalHeader = offset;
    item.RelativeOffsetOfLocalHeader = (offset >= 0xFFFFFFFF || Zip64Mode == zmAlways) ? 0xFFFFFFFF : static_cast<std::uint32_t>(offset);
    item.DiskNumberStart = 0;
    if (!item.Password.empty() && !item.IsFolder()) item.GeneralPurposeBitFlag |= 1;
    const std::string name = dirManager_->EncodeName(item);
    const std::uint16_t version = zip64 ? 45 : (Options.OEMFileNames ? 20 : 2836);
    item.VersionNeededToExtract = version;
    item.VersionMadeBy = version;

    auto localHeader = [&](std::uint32_t crc, std::uint32_t compressed, std::uint32_t uncompressed) {
        TZAZipFileHeader header;
        header.Signature = dirManager_->localSignature();
        header.VersionNeededToExtract = version;
        header.GeneralPurposeBitFlag = item.GeneralPurposeBitFlag;
        header.CompressionMethod = item.CompressionMethod;
        header.LastModFileTime = item.LastModFileTime;
        header.LastModFileDate = item.LastModFileDate;
        header.Crc32 = crc;
        header.CompressedSize = compressed;
        header.UncompressedSize = uncompressed;
        header.FileNameLength = static_cast<std::uint16_t>(name.size());
        const TZAZip64Present present = zip64 ? TZAZip64Present::Local() : TZAZip64Present{};
        const TZAExtraFieldHeader extra{kZip64ExtraId, static_cast<std::uint16_t>(present.Size())};
        header.ExtraFieldLength = static_cast<std::uint16_t>(zip64 ? TZAExtraFieldHeader::kSize + extra.DataSize : 0);
        std::vector<unsigned char> h(TZAZipFileHeader::kSize + name.size() + header.ExtraFieldLength);
        TZACursor out = TZACursor::Writer(h.data(), h.size());
        WriteRecord(out, header);
        out.Put(name.data(), name.size());
        if (zip64) {
            WriteRecord(out, extra);
            Zip64InfoFields(std::as_const(item.Zip64Info), present, out);
        }
        return h;
    };
    const auto first = localHeader(item.Crc32, 0, zip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(sourceSize));
    const bool staged = source != nullptr && sourceSize <= kStagedSourceLimit;
    TMemoryStream stage;
    TStream* target = staged ? static_cast<TStream*>(&stage) : archiveStream_;
    target->WriteBuffer(first.data(), first.size());
    if (source != nullptr) {
        if (!InternalCompressFile(source, target, item)) return false;
    } else {
        item.Crc32 = 0;
        item.CompressedSize = 0;
        item.UncompressedSize = 0;
        item.GeneralPurposeBitFlag = 2;
        item.HasZip64Info = false;
    }
    if (zip64) {
        item.CompressedSize = 0xFFFFFFFF;
        item.UncompressedSize = 0xFFFFFFFF;
    }
    const auto final = localHeader(item.Crc32, item.CompressedSize, item.UncompressedSize);
    if (staged) {
        // The header's length depends on the name and the ZIP64 block only, so the final one
        // takes the first one's place exactly.
        std::copy(final.begin(), final.end(), stage.Bytes().begin());
        // A short write fails the way the header's or the data's own write would have: the
        // header (and an encryption header) raise, the data is the item's failure.
        const auto size = static_cast<std::size_t>(stage.GetSize());
        const std::size_t headers = final.size() + (item.Password.empty() ? 0 : 12);
        const std::size_t wrote = archiveStream_->Write(stage.Memory(), size);
        if (wrote < std::min(headers, size)) throw EWriteError("Stream write error");
        if (wrote < size) throw EZAException(TZANativeError::CompressedSize, {sourceSize, std::int64_t{0}}, this);
    } else {
        const std::int64_t end = archiveStream_->GetPosition();
        archiveStream_->SetPosition(offset);
        archiveStream_->WriteBuffer(final.data(), final.size());
        archiveStream_->SetPosition(end);
    }
    TZADirManager::SetZip64Extra(item);
    item.RawFileName = name;
    item.LoadedFileName = item.FileName;
    bool cancel = false;
    DoOnFileProgress(added ? item.SourceFileName : item.FileName, 100, operation, ppEnd, cancel);
    return true;
}

// The record of item index as it lies in from at position at: local header, name, extra field,
// data and a data descriptor; a renamed item gets its new name in the local header.
void TZABaseArchiver::copyItemFromTail(int index, TStream* from, std::int64_t at) {
    TDirItem& item = *dirManager_->CentralDir.GetItemPtr(index);
    TZAZipFileHeader local;
    from->SetPosition(at);
    ReadRecordFrom(*from, local);
    std::int64_t data = item.GetCompressedSize();
    if ((local.GeneralPurposeBitFlag & 0x0008) != 0) {
        const std::int64_t descriptorAt = at + TZAZipFileHeader::kSize + local.FileNameLength + local.ExtraFieldLength + data;
        unsigned char sig[4] = {};
        from->SetPosition(descriptorAt);
        const bool signed4 = from->Read(sig, 4) == 4 && loadLE32(sig) == kDataDescriptorSignature;
        const bool wide = item.CompressedSize == 0xFFFFFFFF || item.UncompressedSize == 0xFFFFFFFF;
        data += (signed4 ? 4 : 0) + (wide ? 20 : 12);
    }
    const std::int64_t offset = archiveStream_->GetPosition();
    const bool wasWide = item.RelativeOffsetOfLocalHeader == 0xFFFFFFFF;
    const bool wide = offset >= 0xFFFFFFFF || (wasWide && Zip64Mode == zmAlways);
    if (offset >= 0xFFFFFFFF && Zip64Mode == zmDisabled) throw EZAException(TZANativeError::Zip64NotEnabled, this);
    item.Zip64Info.RelativeOffsetOfLocalHeader = offset;
    item.RelativeOffsetOfLocalHeader = wide ? 0xFFFFFFFF : static_cast<std::uint32_t>(offset);
    if (wide != wasWide) TZADirManager::SetZip64Extra(item);
    const bool renamed = item.Modified && item.Operation == poRename;
    if (renamed) {
        const std::string name = dirManager_->EncodeName(item);
        TZAZipFileHeader header = local;
        header.FileNameLength = static_cast<std::uint16_t>(name.size());
        header.GeneralPurposeBitFlag = static_cast<std::uint16_t>((local.GeneralPurposeBitFlag & ~0x0800) |
                                                                   (item.GeneralPurposeBitFlag & 0x0800));
        unsigned char raw[TZAZipFileHeader::kSize];
        WriteRecord(raw, sizeof raw, header);
        archiveStream_->WriteBuffer(raw, sizeof raw);
        archiveStream_->WriteBuffer(name.data(), name.size());
        item.RawFileName = name;
        item.LoadedFileName = item.FileName;
        from->SetPosition(at + TZAZipFileHeader::kSize + local.FileNameLength);
        const std::int64_t rest = local.ExtraFieldLength + data;
        if (rest > 0) archiveStream_->CopyFrom(*from, rest);
        return;
    }
    from->SetPosition(at);
    archiveStream_->CopyFrom(*from, TZAZipFileHeader::kSize + local.FileNameLength + local.ExtraFieldLength + data);
}

void TZABaseArchiver::BeginUpdate() {
    if (UpdateCount == 0) {
        if (!active_) {
            const std::uint16_t mode = defaultOpenMode();
            checkOpenMode(mode);
            openArchiveStream(mode);
        }
        // A directory read through without keeping its items (ReadDirectory) is never written back.
        if (((OpenMode & 3) == 0 && !IsCustomStream) || !dirManager_->ItemsKept())
            throw EZAException(TZANativeError::ReadOnly, this);
        TZADirArray& dir = dirManager_->CentralDir;
        for (int i = 0; i < dir.GetCount(); ++i) dir.GetItemPtr(i)->Modified = false;
        dirManager_->RollbackDir.Assign(&dir);
        dirManager_->RollbackComment = dirManager_->ArchiveComment;
        dirManager_->RollbackCentralDirOffset = dirManager_->CentralDirOffset;
    }
    ++UpdateCount;
}

void TZABaseArchiver::EndUpdate() {
    if (UpdateCount <= 0) return;
    if (UpdateCount == 1) {
        ForceUpdate();
    } else {
        --UpdateCount;
    }
}

// The pending changes are dropped with the bracket, so the directory keeps describing the file.
void TZABaseArchiver::CancelUpdate() {
    if (UpdateCount <= 0) return;
    UpdateCount = 0;
    if (dirManager_) {
        TZADirArray& dir = dirManager_->CentralDir;
        for (int i = 0; i < dir.GetCount(); ++i) {
            TDirItem& item = *dir.GetItemPtr(i);
            if (item.OwnsDataStream) delete item.DataStream;
            item.DataStream = nullptr;
            item.OwnsDataStream = false;
        }
        dir.Assign(&dirManager_->RollbackDir);
        dirManager_->ArchiveComment = dirManager_->RollbackComment;
        dirManager_->CentralDirOffset = dirManager_->RollbackCentralDirOffset;
    }
}

} // namespace tarnwick
