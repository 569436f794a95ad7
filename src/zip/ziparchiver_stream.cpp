// The archive stream: opening and reopening it, plain and self-extracting opens, volumes and
// their default names, reads that run on across volumes, temporary names and drive checks.
// Everything above it (open, update, extract) comes here for its stream; it calls none of them.
#include <string>

#include "zip/os/os.h"
#include "zip/zastrfunc.h"
#include "zip/ziparchiver_shared.h"

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
    // Methods above 251 are the component's own (the base archiver's 0xFFFF among them); their sets
    // take the alternative extensions, so they are never mistaken for a ZIP tool's volumes.
    const bool alternative = CompMethod > 251;
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
        if (cancel) throw EZAException(TZANativeError::VolumeAborted, this);
        if (name.empty() && spanningMode_ != smSpanning) return;
        if (zaos::fileExists(name)) {
            reopenFileStream(name);
            CurrentVolume = volume;
            return;
        }
    }
}

std::uint16_t TZABaseArchiver::defaultOpenMode() const {
    if (!inMemory_ && namePart(FileName).empty()) throw EZAException(TZANativeError::BlankFileName, this);
    std::uint16_t mode = 0xFFFF;
    if (!inMemory_ && zaos::fileExists(FileName)) {
        std::string reason;
        // Read/write when nobody else writes it; read-only otherwise.
        mode = zaos::openFile(FileName, 34, reason) ? 34 : 64;
    }
    return mode;
}

void TZABaseArchiver::checkOpenMode(std::uint16_t mode) const {
    if (!inMemory_ && namePart(FileName).empty()) throw EZAException(TZANativeError::BlankFileNameForMode, this);
    if (mode != 0xFFFF && !zaos::fileExists(FileName) && spanningMode_ != smSpanning && !IsRemovableDrive(FileName)) {
        throw EZAException(TZANativeError::FileNotFound, {FileName}, this);
    }
    if (mode != 0xFFFF && inMemory_) throw EZAException(TZANativeError::InMemoryCreateOnly, {FileName}, this);
}

void TZABaseArchiver::openArchiveStream(std::uint16_t mode) {
    freeArchiveStream();
    dirManager_.reset();
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

std::unique_ptr<TZADirManager> TZABaseArchiver::newDirManager(TStream* stream, bool create) {
    auto manager = std::make_unique<TZADirManager>(stream, create, this);
    manager->VolumeOpener = [this](const TZAVolumeNumberInfo& volume) {
        OpenVolume(volume);
        return archiveStream_;
    };
    return manager;
}

void TZABaseArchiver::internalOpen() {
    forgetPlan();
    if (OpenMode == 0xFFFF || inMemory_) {
        if (inMemory_) {
            setArchiveStream(new TMemoryStream, true);
        } else {
            CurrentVolume.Init();
            reopenFileStream(FileName);
        }
        dirManager_ = newDirManager(archiveStream_, true);
        CurrentVolume.SetFirstVolume(true);
    } else {
        spanningMode_ = smNone;
        CurrentVolume.Init();
        FlagRestorer restore(OpenDamagedArchives);
        const bool endFound = IsSFXArchive(FileName) ? openSFXArchive() : openPlainArchive();
        if (!endFound && !OpenDamagedArchives) {
            freeArchiveStream();
            throw EZAException(TZANativeError::ArchiveDamaged, this);
        }
        dirManager_->KeepItems = keepDirectory_;
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
        dirManager_ = newDirManager(archiveStream_, false);
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
    dirManager_ = newDirManager(archiveStream_, false);
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

std::string TZABaseArchiver::GetTempFileName() {
    const std::string folder = TempDir.empty() ? zaos::tempFolder() : TempDir;
    return zaos::createTempFile(folder, "FC");
}

std::size_t TZABaseArchiver::readSpanning(TStream*& archive, unsigned char* buffer, std::size_t count) {
    std::size_t done = archive->Read(buffer, count);
    while (done < count && spanningMode_ != smNone && !CurrentVolume.GetLastVolume()) {
        TZAVolumeNumberInfo next;
        next.LastVolumeNumber = dirManager_->Volume.LastVolumeNumber;
        next.SetVolumeNumber(CurrentVolume.VolumeNumber + 1);
        OpenVolume(next);
        archive = archiveStream_;
        dirManager_->ArchiveStream = archive;
        archive->SetPosition(0);
        const std::size_t n = archive->Read(buffer + done, count - done);
        if (n == 0) break;
        done += n;
    }
    return done;
}

} // namespace tarnwick
