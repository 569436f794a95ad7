// Whole-archive operations: joining a self-extractor stub and an archive (MakeSFX, with the
// directory offsets moved by the stub's length), and rebuilding a damaged archive from what can
// still be read (RepairArchive).
#include <algorithm>
#include <exception>

#include "zip/os/os.h"
#include "zip/ziparchiver_shared.h"

namespace tarnwick {
namespace {

constexpr std::int64_t kAppendPiece = 1048576;

std::unique_ptr<TZAFileStream> openOrNull(const std::string& name, std::uint16_t mode) {
    try {
        return std::make_unique<TZAFileStream>(name, mode);
    } catch (const EFOpenError&) {
        return nullptr;
    }
}

} // namespace

bool TZABaseArchiver::FastFileAppend(TStream* destination, TStream* source, const std::string& fileName) {
    destination->SetPosition(destination->GetSize());
    source->SetPosition(0);
    const std::int64_t total = source->GetSize();
    bool cancel = false;
    if (ProgressEnabled) {
        DoOnFileProgress(fileName, 0, poMakeSFX, ppStart, cancel);
        if (!cancel) DoOnOverallProgress(0, poMakeSFX, ppStart, cancel);
        if (cancel) return true;
    }
    std::vector<unsigned char> buffer(static_cast<std::size_t>(std::min(kAppendPiece, std::max<std::int64_t>(total, 1))));
    for (std::int64_t done = 0; done < total;) {
        if (ProgressEnabled) {
            const double share = static_cast<double>(done) / static_cast<double>(total) * 100;
            DoOnFileProgress(fileName, share, poMakeSFX, ppProcess, cancel);
            if (!cancel) DoOnOverallProgress(share, poMakeSFX, ppProcess, cancel);
            if (cancel) return true;
        }
        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(kAppendPiece, total - done));
        const std::size_t got = source->Read(buffer.data(), want);
        if (got != want) return false;
        if (destination->Write(buffer.data(), got) != got) return false;
        done += static_cast<std::int64_t>(got);
    }
    if (ProgressEnabled) {
        DoOnFileProgress(fileName, 100, poMakeSFX, ppEnd, cancel);
        DoOnOverallProgress(100, poMakeSFX, ppEnd, cancel);
    }
    return true;
}

// A failed MakeSFX removes its target: half an executable is worse than none.
void TZABaseArchiver::MakeSFX(const std::string& targetFileName) {
    if (SFXStub.empty()) throw EZAException(TZANativeError::NoSFXStub, this);
    if (!zaos::fileExists(SFXStub)) throw EZAException(TZANativeError::SFXStubNotFound, {SFXStub}, this);
    if (spanningMode_ != smNone) throw EZAException(TZANativeError::SFXOnVolumes, this);
    ForceUpdate();
    std::unique_ptr<TZAFileStream> stub;
    try {
        stub = std::make_unique<TZAFileStream>(SFXStub, static_cast<std::uint16_t>(0x40));
    } catch (const EFOpenError&) {
        throw EZAException(TZANativeError::SFXStubNotFound, {SFXStub}, this);
    }
    std::unique_ptr<TZAFileStream> source;
    std::unique_ptr<TZADirManager> sourceDir;
    TStream* archive = archiveStream_;
    const TZADirManager* loaded = dirManager_.get();
    if (!active_) {
        try {
            source = std::make_unique<TZAFileStream>(FileName, static_cast<std::uint16_t>(0x40));
        } catch (const EFOpenError&) {
            throw EZAException(TZANativeError::FileNotFound, {FileName}, this);
        }
        sourceDir = std::make_unique<TZADirManager>(source.get(), false, this);
        sourceDir->LoadDir();
        archive = source.get();
        loaded = sourceDir.get();
    }
    if (loaded->StubSize > 0 || (loaded->CentralDir.GetCount() > 0 && loaded->CentralDir.GetItemPtr(0)->GetLocalHeaderOffset() != 0)) {
        throw EZAException(TZANativeError::AlreadySFX, this);
    }
    std::unique_ptr<TZAFileStream> target;
    try {
        target = std::make_unique<TZAFileStream>(targetFileName, 0xFFFF);
    } catch (const EFOpenError&) {
        throw EZAException(TZANativeError::BlankFileName, {targetFileName}, this);
    }
    try {
        target->CopyFrom(*stub, stub->GetSize() == 0 ? 0 : stub->GetSize());
        ProgressEnabled = true;
        if (!FastFileAppend(target.get(), archive, targetFileName)) throw EZAException(TZANativeError::MakeSFXFailed, this);
        // Every record moved by the stub's length, folders included.
        const std::int64_t shift = stub->GetSize();
        TZADirManager joined(target.get(), false, this);
        joined.CentralDir.Assign(&loaded->CentralDir);
        for (int i = 0; i < joined.CentralDir.GetCount(); ++i) {
            TDirItem& item = *joined.CentralDir.GetItemPtr(i);
            const std::int64_t offset = item.GetLocalHeaderOffset() + shift;
            const bool wide = item.RelativeOffsetOfLocalHeader == 0xFFFFFFFF || offset >= 0xFFFFFFFF;
            item.Zip64Info.RelativeOffsetOfLocalHeader = offset;
            item.RelativeOffsetOfLocalHeader = wide ? 0xFFFFFFFF : static_cast<std::uint32_t>(offset);
            if (wide) TZADirManager::SetZip64Extra(item);
        }
        joined.ArchiveComment = loaded->ArchiveComment;
        joined.CentralDirOffset = loaded->CentralDirOffset + shift;
        joined.SaveDir(false, target.get());
    } catch (...) {
        target.reset();
        zaos::deleteFile(targetFileName);
        throw;
    }
}

void TZABaseArchiver::RepairArchive(const std::string& targetFileName) {
    if (active_) throw EZAException(TZANativeError::RepairOpenArchive, this);
    const bool inPlace = targetFileName.empty();
    std::string work = targetFileName;
    if (inPlace) {
        if (!openOrNull(FileName, 0x12)) throw EZAException(TZANativeError::CannotCreateRepairFile, {FileName}, this);
        work = GetTempFileName();
        if (work.empty()) throw EZAException(TZANativeError::CannotCreateRepairFile, {TempDir.empty() ? zaos::tempFolder() : TempDir}, this);
        zaos::deleteFile(work);
    } else {
        zaos::deleteFile(work);
        if (!openOrNull(work, 0xFFFF)) throw EZAException(TZANativeError::CannotCreateRepairFile, {work}, this);
        zaos::deleteFile(work);
    }
    const std::string dataName = GetTempFileName();
    if (dataName.empty()) throw EZAException(TZANativeError::CannotCreateRepairFile, {TempDir.empty() ? zaos::tempFolder() : TempDir}, this);

    FlagRestorer damaged(OpenDamagedArchives);
    FlagRestorer corrupted(ExtractCorruptedFiles);
    OpenDamagedArchives = true;
    std::exception_ptr failure;
    try {
        OpenArchive(static_cast<std::uint16_t>(0x40));
        ExtractCorruptedFiles = true;
        TZABaseArchiver fresh(nullptr);
        fresh.UseZipSignatures = UseZipSignatures;
        fresh.Zip64Mode = Zip64Mode;
        fresh.randomSource_ = randomSource_;
        fresh.FileName = work;
        fresh.Options.StorePath = spRelativePath;
        fresh.OpenArchive(static_cast<std::uint16_t>(0xFFFF));
        TZAFileStream data(dataName, 0xFFFF);
        const TZADirArray& dir = dirManager_->CentralDir;
        for (int i = 0; i < dir.GetCount(); ++i) {
            const TDirItem item = *dir.GetItemPtr(i);
            const std::uint32_t when = (static_cast<std::uint32_t>(item.LastModFileDate) << 16) | item.LastModFileTime;
            try {
                data.SetSize(0);
                data.SetPosition(0);
                std::string name = item.FileName;
                if (item.IsFolder()) {
                    if (name.empty() || name.back() != '/') name += '/';
                } else {
                    ExtractItem(i, &data);
                }
                fresh.Password = Password;
                fresh.SetCompressionMode(GetCompressionMode());
                fresh.BeginUpdate();
                try {
                    fresh.AddFromStream(name, &data, 0, 0, 0x20, when);
                    TZADirArray& made = fresh.dirManager_->CentralDir;
                    int index = -1;
                    if (made.FileExists(name, index)) {
                        made.GetItemPtr(index)->ExternalFileAttributes = item.ExternalFileAttributes;
                        made.GetItemPtr(index)->InternalFileAttributes = item.InternalFileAttributes;
                        made.GetItemPtr(index)->FileComment = item.FileComment;
                    }
                    fresh.EndUpdate();
                } catch (...) {
                    fresh.CancelUpdate();
                    throw;
                }
            } catch (const std::exception&) {
                // An unreadable item is left out; the rest still comes back.
            }
        }
        fresh.CloseArchive();
    } catch (...) {
        failure = std::current_exception();
    }
    CloseArchive();
    zaos::deleteFile(dataName);
    if (failure) {
        zaos::deleteFile(work);
        std::rethrow_exception(failure);
    }
    if (inPlace) {
        // Copied over the archive; the work file goes only once the copy is complete.
        {
            TZAFileStream from(work, 0x40);
            TZAFileStream to(FileName, 0xFFFF);
            if (from.GetSize() > 0) to.CopyFrom(from, from.GetSize());
        }
        zaos::deleteFile(work);
    }
}

} // namespace tarnwick
