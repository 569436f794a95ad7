// Opening and closing: choosing the open mode, plain, self-extracting and multi-volume archives,
// volume requests and default volume names, caller's streams, validation and the update bracket.
#include <string>

#include "zip/os/os.h"
#include "zip/zastrfunc.h"
#include "zip/ziparchiver.h"

namespace tarnwick {
namespace {

struct PathParts {
    std::string folder;  // with its trailing separator
    std::string base;
    std::string extension;  // with the dot
};

PathParts splitPath(const std::string& path) {
    PathParts parts;
    const std::size_t slash = path.find_last_of("\\/:");
    parts.folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    parts.base = dot == std::string::npos ? name : name.substr(0, dot);
    parts.extension = dot == std::string::npos ? std::string() : name.substr(dot);
    return parts;
}

std::string namePart(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Volume numbers in names: "%.3u" with the advanced naming, "%.2d" with the short one.
std::string zeroPadded(int number, int digits) {
    std::string text = std::to_string(number);
    if (static_cast<int>(text.size()) < digits) text.insert(0, static_cast<std::size_t>(digits) - text.size(), '0');
    return text;
}

// Puts a flag back on every way out of a scope.
class FlagRestorer {
public:
    explicit FlagRestorer(bool& flag) : flag_(flag), saved_(flag) {}
    ~FlagRestorer() { flag_ = saved_; }
    FlagRestorer(const FlagRestorer&) = delete;
    FlagRestorer& operator=(const FlagRestorer&) = delete;

private:
    bool& flag_;
    bool saved_;
};

} // namespace

bool TZABaseArchiver::IsSFXArchive(const std::string& fileName) {
    return ZAAnsiLowerCase(splitPath(fileName).extension).find(".exe") != std::string::npos;
}

bool TZABaseArchiver::IsFloppyDrive(const std::string& path) {
    const std::string drive = ZAAnsiUpperCase(path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : std::string());
    return drive == "A:" || drive == "B:";
}

bool TZABaseArchiver::IsRemovableDrive(const std::string& path) {
    return IsFloppyDrive(path) || zaos::isRemovableDrive(path);
}

void TZABaseArchiver::setArchiveStream(TStream* stream, bool owned) {
    if (owned) {
        ownedStream_.reset(stream);
    } else {
        ownedStream_.reset();
    }
    archiveStream_ = stream;
}

void TZABaseArchiver::freeArchiveStream() {
    if (!IsCustomStream) ownedStream_.reset();
    ownedStream_.release();
    archiveStream_ = nullptr;
}

void TZABaseArchiver::reopenFileStream(const std::string& fileName) {
    freeArchiveStream();
    setArchiveStream(new TZAFileStream(fileName, OpenMode), true);
    CurrentVolumeFileName = fileName;
    if (dirManager_) dirManager_->ArchiveStream = archiveStream_;
}

std::string TZABaseArchiver::MakeDefaultVolumeName(const std::string& name, int volumeNumber, bool mustExist) {
    const PathParts p = splitPath(name);
    const bool sfx = (dirManager_ && dirManager_->StubSize > 0) || !SFXStub.empty() || IsSFXArchive(name);
    const bool alternative = CompMethod > 251 && CompMethod != 0xFFFF;
    if (volumeNumber == -1) {
        if (sfx && spanningMode_ == smSplitting) return p.folder + p.base + (alternative ? ".ZF" : ".ZIP");
        return name;
    }
    const std::string extension = sfx ? ".exe" : p.extension;
    if (spanningMode_ == smSpanning) {
        const std::string withNumber = p.folder + p.base + "_" + zeroPadded(volumeNumber + 1, 3) + extension;
        const std::string plain = p.folder + p.base + extension;
        const std::string first = SpanningOptions.AdvancedNaming ? withNumber : plain;
        if (mustExist && !zaos::fileExists(first)) {
            const std::string other = SpanningOptions.AdvancedNaming ? plain : withNumber;
            if (zaos::fileExists(other)) return other;
        }
        return first;
    }
    if (volumeNumber == 0 && sfx) return p.folder + p.base + ".exe";
    if (SpanningOptions.AdvancedNaming) return p.folder + p.base + "_" + zeroPadded(volumeNumber + 1, 3) + p.extension;
    return p.folder + p.base + (alternative ? ".F" : ".Z") + zeroPadded(volumeNumber + 1, 2);
}

void TZABaseArchiver::OpenVolume(const TZAVolumeNumberInfo& volume) {
    if (spanningMode_ == smNone || OpenMode == 0xFFFF) {
        if (archiveStream_ == nullptr) reopenFileStream(FileName);
        CurrentVolume.VolumeNumber = volume.VolumeNumber;
        CurrentVolume.Kind = volume.Kind;
        return;
    }
    if (archiveStream_ != nullptr && volume.IsEqualTo(CurrentVolume)) return;
    for (;;) {
        std::string name = FileName;
        bool cancel = false;
        if (volume.GetLastVolume()) {
            DoOnRequestLastVolume(name, cancel);
        } else if (volume.GetFirstVolume()) {
            DoOnRequestFirstVolume(name, cancel);
        } else {
            DoOnRequestMiddleVolume(volume.VolumeNumber, name, cancel);
        }
        if (cancel) throw EZAException(45, this);
        if (name.empty() && spanningMode_ != smSpanning) return;
        if (zaos::fileExists(name)) {
            reopenFileStream(name);
            CurrentVolume = volume;
            return;
        }
    }
}

void TZABaseArchiver::OpenArchive() {
    if (!inMemory_ && namePart(FileName).empty()) throw EZAException(9, this);
    std::uint16_t mode = 0xFFFF;
    if (!inMemory_ && zaos::fileExists(FileName)) {
        std::string reason;
        // Read/write when nobody else writes it; read-only otherwise.
        mode = zaos::openFile(FileName, 34, reason) ? 34 : 64;
    }
    OpenArchive(mode);
}

void TZABaseArchiver::OpenArchive(std::uint16_t mode) {
    if (!inMemory_ && namePart(FileName).empty()) throw EZAException(10, this);
    if (mode != 0xFFFF && !zaos::fileExists(FileName) && spanningMode_ != smSpanning && !IsRemovableDrive(FileName)) {
        throw EZAException(12, {FileName}, this);
    }
    if (mode != 0xFFFF && inMemory_) throw EZAException(28, {FileName}, this);
    CloseArchive();
    IsCustomStream = false;
    OpenMode = mode;
    try {
        internalOpen();
    } catch (...) {
        // A failed open lets go of the file at once: a caller that only closes active archives
        // could otherwise never delete it on Windows.
        freeArchiveStream();
        dirManager_.reset();
        throw;
    }
}

void TZABaseArchiver::internalOpen() {
    if (OpenMode == 0xFFFF || inMemory_) {
        if (inMemory_) {
            setArchiveStream(new TMemoryStream, true);
        } else {
            CurrentVolume.Init();
            reopenFileStream(FileName);
        }
        dirManager_ = std::make_unique<TZADirManager>(archiveStream_, true, this);
        CurrentVolume.SetFirstVolume(true);
    } else {
        spanningMode_ = smNone;
        CurrentVolume.Init();
        FlagRestorer restore(OpenDamagedArchives);
        const bool endFound = IsSFXArchive(FileName) ? openSFXArchive() : openPlainArchive();
        if (!endFound && !OpenDamagedArchives) {
            freeArchiveStream();
            throw EZAException(48, this);
        }
        dirManager_->LoadDir();
    }
    active_ = true;
    if (AfterOpen) AfterOpen(this);
}

bool TZABaseArchiver::openPlainArchive() {
    FlagRestorer restore(OpenDamagedArchives);
    OpenDamagedArchives = false;
    bool found = false;
    do {
        dirManager_.reset();
        CurrentVolume.Init();
        TZAVolumeNumberInfo last;
        last.Init();
        last.SetLastVolume(true);
        if (!zaos::fileExists(FileName) && IsRemovableDrive(FileName)) spanningMode_ = smSpanning;
        OpenVolume(last);
        dirManager_ = std::make_unique<TZADirManager>(archiveStream_, false, this);
        found = dirManager_->HasCentralDirEnd();
        detectSpanning(found);
    } while (!found && spanningMode_ != smNone);
    return found;
}

// Damaged self-extractors stay closed: OpenDamagedArchives is off until the open ends.
bool TZABaseArchiver::openSFXArchive() {
    OpenDamagedArchives = false;
    TZAVolumeNumberInfo last;
    last.Init();
    last.SetLastVolume(true);
    OpenVolume(last);
    dirManager_ = std::make_unique<TZADirManager>(archiveStream_, false, this);
    if (dirManager_->HasCentralDirEnd()) {
        detectSpanning(true);
        return true;
    }
    // The executable is the first part of a split set whose last part is named ".ZIP".
    dirManager_.reset();
    spanningMode_ = smSplitting;
    if (zaos::fileExists(MakeDefaultVolumeName(FileName, -1, false))) {
        CurrentVolume.Init();
        OpenVolume(last);
    }
    spanningMode_ = smNone;
    return openPlainArchive();
}

void TZABaseArchiver::detectSpanning(bool endFound) {
    if (!endFound) {
        spanningMode_ = IsRemovableDrive(FileName) ? smSpanning : smNone;
        return;
    }
    // 0xFFFF defers to the ZIP64 record, which only multi-volume writers set; read it as 0.
    int disk = dirManager_->CentralDirEnd.NumberOfThisDisk;
    if (disk == 0xFFFF) disk = 0;
    if (disk == 0) {
        spanningMode_ = smNone;
        return;
    }
    spanningMode_ = smSplitting;
    if (zaos::fileExists(MakeDefaultVolumeName(FileName, disk - 1, false))) return;
    SpanningOptions.AdvancedNaming = !SpanningOptions.AdvancedNaming;
    if (zaos::fileExists(MakeDefaultVolumeName(FileName, disk - 1, false))) return;
    SpanningOptions.AdvancedNaming = !SpanningOptions.AdvancedNaming;
    const bool exe = ZAAnsiLowerCase(FileName).find(".exe") != std::string::npos;
    spanningMode_ = exe ? smNone : smSpanning;
}

void TZABaseArchiver::OpenArchive(TStream* stream, bool create) {
    if (spanningMode_ != smNone) throw EZAException(51, this);
    CloseArchive();
    IsCustomStream = true;
    if (create) stream->SetSize(0);
    dirManager_ = std::make_unique<TZADirManager>(stream, create, this);
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
                TestFiles("*.*", 10431, "");
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

void TZABaseArchiver::BeginUpdate() {
    if (UpdateCount == 0) {
        if (!active_) OpenArchive();
        if ((OpenMode & 3) == 0 && !IsCustomStream) throw EZAException(32, this);
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
