// The archiver's life: construction, opening (a file, in memory or a caller's stream), closing
// with the pending update written, switching Active and InMemory, and validation. The top of the
// component: it uses the update, the stream and extraction; nothing below calls back up here.
#include <string>

#include "zip/os/os.h"
#include "zip/ziparchiver_shared.h"

namespace tarnwick {

TZABaseArchiver::TZABaseArchiver(TComponent* owner) : TComponent(owner) {
    CurrentVolume.Init();
    SetCompressionLevel(clFastest);
}

TZABaseArchiver::~TZABaseArchiver() { CloseArchive(); }

TZipArchiver::TZipArchiver(TComponent* owner) : TZABaseArchiver(owner) {
    UseZipSignatures = true;
    Zip64Mode = zmDisabled;
    SetCompMethod();
}

void TZipArchiver::SetCompMethod() { CompMethod = GetCompressionMode() > 0 ? 8 : 0; }

void TZABaseArchiver::OpenArchive() { OpenArchive(defaultOpenMode()); }

void TZABaseArchiver::OpenArchive(std::uint16_t mode) {
    checkOpenMode(mode);
    CloseArchive();
    openArchiveStream(mode);
}

void TZABaseArchiver::OpenArchive(TStream* stream, bool create) {
    if (spanningMode_ != smNone) throw EZAException(TZANativeError::CustomStreamVolumes, this);
    CloseArchive();
    IsCustomStream = true;
    if (create) stream->SetSize(0);
    dirManager_ = newDirManager(stream, create);
    setArchiveStream(stream, false);
    try {
        if (create) {
            CurrentVolume.SetFirstVolume(true);
            dirManager_->SaveDir(false, nullptr);
        } else {
            dirManager_->LoadDir();
        }
    } catch (...) {
        archiveStream_ = nullptr;
        dirManager_.reset();
        throw;
    }
    active_ = true;
    if (AfterOpen) AfterOpen(this);
}

void TZABaseArchiver::ReadDirectory(std::uint16_t mode, const std::function<void(const TDirItem&)>& each) {
    if (active_) {
        dirManager_->ForEachItem(each);
        return;
    }
    checkOpenMode(mode);
    CloseArchive();
    {
        FlagRestorer restore(keepDirectory_);
        keepDirectory_ = false;
        openArchiveStream(mode);
    }
    try {
        dirManager_->ForEachItem(each);
    } catch (...) {
        CloseArchive();
        throw;
    }
    CloseArchive();
}

void TZABaseArchiver::CloseArchive() {
    if (active_) {
        try {
            ForceUpdate();
            if (archiveStream_ != nullptr && dirManager_ && archiveStream_->GetSize() == 0) dirManager_->SaveDir(false, nullptr);
        } catch (...) {
            // Closing never fails; the archive ends closed whatever happened.
        }
        active_ = false;
    }
    prefetch_.reset();
    forgetPlan();
    freeArchiveStream();
    dirManager_.reset();
}

bool TZABaseArchiver::IsValidArchiveFile() {
    if (active_) return true;
    if (!zaos::fileExists(FileName)) return false;
    const TZASpanningMode savedMode = spanningMode_;
    FlagRestorer restore(OpenDamagedArchives);
    bool result = false;
    try {
        bool loaded = false;
        {
            TZAFileStream stream(FileName, 64);
            OpenDamagedArchives = false;
            TZADirManager manager(&stream, false, this);
            if (manager.HasCentralDirEnd()) {
                result = true;
            } else {
                spanningMode_ = smSplitting;
                try {
                    manager.LoadDir();
                    loaded = true;
                } catch (...) {
                    spanningMode_ = smNone;
                    try {
                        manager.LoadDir();
                        loaded = manager.CentralDir.GetCount() > 0;
                    } catch (...) {
                        loaded = false;
                    }
                }
            }
        }
        if (!result && loaded) {
            OpenDamagedArchives = true;
            try {
                OpenArchive(static_cast<std::uint16_t>(64));
                TestFiles("*.*", kAnyItem, "");
                CloseArchive();
                result = true;
            } catch (...) {
                CloseArchive();
                result = false;
            }
        }
    } catch (...) {
        result = false;
    }
    spanningMode_ = savedMode;
    return result;
}

void TZABaseArchiver::SetInMemory(bool value) {
    if (value == inMemory_) return;
    if (active_) {
        if (!value) {
            if (FileName.empty()) throw EZAException(TZANativeError::InMemoryWithoutFileName, this);
            // A new in-memory archive is still empty; copied as it is, the file could not be
            // reopened. Write its directory first, as closing would.
            if (archiveStream_->GetSize() == 0) dirManager_->SaveDir(false, nullptr);
            {
                TZAFileStream file(FileName, 0xFFFF);
                archiveStream_->SetPosition(0);
                file.CopyFrom(*archiveStream_, archiveStream_->GetSize());
            }
            CloseArchive();
            inMemory_ = false;
        } else {
            CloseArchive();
            inMemory_ = true;
        }
        OpenArchive();
    }
    inMemory_ = value;
}

void TZABaseArchiver::SetActive(bool value) {
    if (value == active_) return;
    if (value) {
        OpenArchive();
    } else {
        CloseArchive();
    }
}

} // namespace tarnwick
