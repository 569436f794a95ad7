// The component's shape: construction, properties, guards, the process-wide batch lock and the
// DoOn... methods that raise every event and supply the default behaviour.
#include "zip/ziparchiver_shared.h"

#include <algorithm>
#include <mutex>

#include "zip/os/os.h"
#include "zip/zaconst.h"

namespace tarnwick {
namespace {

std::recursive_mutex& batchLock() {
    static std::recursive_mutex lock;
    return lock;
}

} // namespace

int ShareModeToInt(TZAFileShareMode mode) {
    switch (mode) {
    case smShareCompat: return 0;
    case smShareExclusive: return 16;
    case smShareDenyWrite: return 32;
    case smShareDenyRead: return 48;
    case smShareDenyNone: return 64;
    }
    return 0;
}

void TPersistent::Assign(const TPersistent&) {}

void TZAOptions::Assign(const TPersistent& source) {
    if (const auto* other = dynamic_cast<const TZAOptions*>(&source)) {
        StorePath = other->StorePath;
        Recurse = other->Recurse;
        ShareMode = other->ShareMode;
        OverwriteMode = other->OverwriteMode;
        CreateDirs = other->CreateDirs;
        ReplaceReadOnly = other->ReplaceReadOnly;
        SetAttributes = other->SetAttributes;
        SearchAttr = other->SearchAttr;
        FlushBuffers = other->FlushBuffers;
        OEMFileNames = other->OEMFileNames;
        return;
    }
    TPersistent::Assign(source);
}

void TZASpanningOptions::Assign(const TPersistent& source) {
    if (const auto* other = dynamic_cast<const TZASpanningOptions*>(&source)) {
        AdvancedNaming = other->AdvancedNaming;
        FirstVolumeSize = other->FirstVolumeSize;
        VolumeSize = other->VolumeSize;
        customVolumeSize_ = other->customVolumeSize_;
        SaveOnFirstDisk = other->SaveOnFirstDisk;
        return;
    }
    TPersistent::Assign(source);
}

std::int64_t TZASpanningOptions::GetVolumeSize(int volume) const {
    if (volume == 0 && FirstVolumeSize > 0) return FirstVolumeSize;
    constexpr std::int64_t MiB = 1048576;
    switch (VolumeSize) {
    case vsAutoDetect: return -1;
    case vsCustom: return customVolumeSize_;
    case vs1_44MB: return 1457664;
    case vs100MB: return 100 * MiB;
    case vs200MB: return 200 * MiB;
    case vs250MB: return 250 * MiB;
    case vs600MB: return 600 * MiB;
    case vs650MB: return 650 * MiB;
    case vs700MB: return 700 * MiB;
    case vs4700MB: return 4700 * MiB;
    }
    return -1;
}

void TZABaseArchiver::SetCompMethod() { CompMethod = 0xFFFF; }

void TZABaseArchiver::SetCompressionLevel(TZACompressionLevel level) {
    static constexpr std::uint8_t kModes[] = {0, 1, 6, 9};
    compressionLevel_ = level;
    compressionMode_ = kModes[level];
    SetCompMethod();
}

void TZABaseArchiver::SetCompressionMode(std::uint8_t mode) {
    if (mode > 9) throw EZAException(TZANativeError::CompressionModeRange, this);
    compressionMode_ = mode;
    compressionLevel_ = mode == 0 ? clNone : mode <= 3 ? clFastest : mode <= 6 ? clNormal : clMax;
    SetCompMethod();
}

std::string TZABaseArchiver::GetCurrentVersion() const {
    // The version 2.64 with two decimals and a blank, written out: the separator is "." whatever
    // the user's settings, and formatting a double would link the standard library's whole
    // floating-point formatter into setup.exe.
    return "2.64 ";
}

void TZABaseArchiver::SetSpanningMode(TZASpanningMode mode) {
    if (active_) throw Exception("Cannot set spanning mode on open archive");
    spanningMode_ = mode;
}

bool TZABaseArchiver::GetEncrypted() const {
    if (active_ && dirManager_ && dirManager_->CentralDir.GetCount() > 0) return dirManager_->IsEncrypted();
    return !Password.empty();
}

bool TZABaseArchiver::GetExists() const { return zaos::fileExists(FileName); }

std::int64_t TZABaseArchiver::GetArchiveSize() {
    CheckInactive();
    return archiveStream_->GetSize();
}

std::string TZABaseArchiver::GetFileComment() const {
    if (!active_ || !dirManager_) return {};
    return dirManager_->ArchiveComment;
}

void TZABaseArchiver::CheckInactive() const {
    if (!active_) throw EZAException(TZANativeError::ArchiveNotOpen, this);
}

void TZABaseArchiver::CheckInUpdate() const {
    if (UpdateCount > 0) throw EZAException(TZANativeError::UpdateNotEnded, this);
}

void TZABaseArchiver::CheckModifySpanning() const {
    if (UpdateCount <= 0 && dirManager_ && dirManager_->CentralDir.GetCount() > 0 && spanningMode_ != smNone) {
        throw EZAException(TZANativeError::ModifyVolumes, this);
    }
}

void TZABaseArchiver::Lock() { batchLock().lock(); }
void TZABaseArchiver::Unlock() { batchLock().unlock(); }

// ---- Events ------------------------------------------------------------------------------------

void TZABaseArchiver::DoOnOverallProgress(double progress, TZAProcessOperation operation, TZAProgressPhase phase,
                                          bool& cancel) {
    if (OnOverallProgress) {
        OnOverallProgress(this, progress, operation, phase, cancel);
    } else {
        cancel = false;
    }
}

void TZABaseArchiver::DoOnFileProgress(const std::string& fileName, double progress, TZAProcessOperation operation,
                                       TZAProgressPhase phase, bool& cancel) {
    if (OnFileProgress) {
        std::string name = fileName;
        std::replace(name.begin(), name.end(), '/', '\\');
        OnFileProgress(this, name, progress, operation, phase, cancel);
    } else {
        cancel = false;
    }
}

void TZABaseArchiver::DoOnCopyTempFileProgress(double progress, TZAProgressPhase phase, bool& cancel) {
    if (OnCopyTempFileProgress) {
        OnCopyTempFileProgress(this, progress, phase, cancel);
    } else {
        cancel = false;
    }
}

void TZABaseArchiver::DoOnConfirmOverwrite(const std::string& sourceFileName, std::string& destFileName, bool& confirm) {
    if (OnConfirmOverwrite) {
        OnConfirmOverwrite(this, sourceFileName, destFileName, confirm);
        return;
    }
    switch (zaos::confirmBox(ZAFormat(_SConfirmOverwrite, {destFileName, sourceFileName}), zaos::DialogButtons::yesNoAllNoAll)) {
    case zaos::DialogResult::yes: confirm = true; break;
    case zaos::DialogResult::yesToAll:
        confirm = true;
        Options.OverwriteMode = omAlways;
        break;
    case zaos::DialogResult::noToAll:
        confirm = false;
        Options.OverwriteMode = omNever;
        break;
    default: confirm = false; break;
    }
}

void TZABaseArchiver::DoOnConfirmProcessFile(const std::string& fileName, TZAProcessOperation operation, bool& confirm) {
    confirm = true;
    if (OnConfirmProcessFile) OnConfirmProcessFile(this, fileName, operation, confirm);
}

void TZABaseArchiver::DoOnPassword(const std::string& fileName, std::string& newPassword, bool& skipFile) {
    if (OnPassword) {
        OnPassword(this, fileName, newPassword, skipFile);
        return;
    }
    std::string value = newPassword;
    if (zaos::inputBox(ZAFormat(_SPasswordTitle, {fileName}), _SPasswordPrompt, value)) {
        newPassword = value;
    } else {
        skipFile = true;
    }
}

void TZABaseArchiver::DoOnProcessFileFailure(const std::string& fileName, TZAProcessOperation operation, int nativeError,
                                             int errorCode, const std::string& errorMessage, TZAAction& action) {
    action = fxaIgnore;
    if (OnProcessFileFailure) {
        OnProcessFileFailure(this, fileName, operation, nativeError, errorCode, errorMessage, action);
        return;
    }
    switch (zaos::confirmBox(ZAFormat(_SOnProcessFileFailure, {errorMessage}), zaos::DialogButtons::abortRetryIgnore)) {
    case zaos::DialogResult::retry: action = fxaRetry; break;
    case zaos::DialogResult::ignore: action = fxaIgnore; break;
    default: action = fxaAbort; break;
    }
}

void TZABaseArchiver::DoOnRequestBlankVolume(int volumeNumber, std::string& volumeFileName, bool& cancel) {
    if (volumeNumber < 0) volumeNumber = 0;
    volumeFileName = MakeDefaultVolumeName(FileName, volumeNumber, false);
    cancel = false;
    if (OnRequestBlankVolume) {
        OnRequestBlankVolume(this, volumeNumber + 1, volumeFileName, cancel);
        return;
    }
    if (spanningMode_ == smSpanning) {
        cancel = zaos::confirmBox(ZAFormat(_SOnRequestBlankDisk, {std::int64_t{volumeNumber + 1}}),
                                  zaos::DialogButtons::okCancel) != zaos::DialogResult::ok;
    }
}

void TZABaseArchiver::DoOnRequestFirstVolume(std::string& volumeFileName, bool& cancel) {
    volumeFileName = MakeDefaultVolumeName(FileName, 0, true);
    cancel = false;
    if (OnRequestFirstVolume) {
        OnRequestFirstVolume(this, volumeFileName, cancel);
        return;
    }
    if (spanningMode_ == smSpanning) {
        cancel = zaos::confirmBox(_SOnRequestFirstDisk, zaos::DialogButtons::okCancel) != zaos::DialogResult::ok;
    } else if (spanningMode_ == smSplitting) {
        cancel = OpenMode != 0xFFFF && !zaos::fileExists(volumeFileName);
    }
}

void TZABaseArchiver::DoOnRequestLastVolume(std::string& volumeFileName, bool& cancel) {
    volumeFileName = MakeDefaultVolumeName(FileName, -1, true);
    cancel = false;
    if (OnRequestLastVolume) {
        OnRequestLastVolume(this, volumeFileName, cancel);
        return;
    }
    if (spanningMode_ == smSpanning) {
        cancel = zaos::confirmBox(_SOnRequestLastDisk, zaos::DialogButtons::okCancel) != zaos::DialogResult::ok;
        while (!cancel && !zaos::fileExists(volumeFileName)) {
            cancel = zaos::confirmBox(ZAFormat(_SWrongDiskRequestLastDisk, {volumeFileName}),
                                      zaos::DialogButtons::okCancel) != zaos::DialogResult::ok;
        }
    } else if (spanningMode_ == smSplitting) {
        cancel = !zaos::fileExists(volumeFileName);
    }
}

void TZABaseArchiver::DoOnRequestMiddleVolume(int volumeNumber, std::string& volumeFileName, bool& cancel) {
    volumeFileName = MakeDefaultVolumeName(FileName, volumeNumber, true);
    cancel = false;
    if (OnRequestMiddleVolume) {
        OnRequestMiddleVolume(this, volumeNumber + 1, volumeFileName, cancel);
        return;
    }
    if (spanningMode_ == smSpanning) {
        cancel = zaos::confirmBox(ZAFormat(_SOnRequestMiddleDisk, {std::int64_t{volumeNumber + 1}}),
                                  zaos::DialogButtons::okCancel) != zaos::DialogResult::ok;
    } else if (spanningMode_ == smSplitting) {
        cancel = !zaos::fileExists(volumeFileName);
    }
}

void TZABaseArchiver::DoOnDiskFull(int volumeNumber, const std::string& volumeFileName, bool& cancel) {
    cancel = false;
    if (OnDiskFull) {
        OnDiskFull(this, volumeNumber, volumeFileName, cancel);
        return;
    }
    // A split set has nobody to change the disk: it stops at once.
    if (spanningMode_ != smSpanning) {
        cancel = true;
        return;
    }
    // What the volume needs: its size limit, or without one the least a volume must have free.
    const std::int64_t limit = SpanningOptions.GetVolumeSize(volumeNumber - 1);
    const std::int64_t required = limit > 0 ? limit : kMinimumVolumeFreeSpace + 1;
    const std::int64_t available = zaos::freeDriveSpace(volumeFileName);
    cancel = zaos::confirmBox(ZAFormat(_SOnDiskFull, {required, available}), zaos::DialogButtons::okCancel) !=
             zaos::DialogResult::ok;
}

void TZABaseArchiver::DoOnProcessVolumeFailure(TZAProcessOperation operation, int volumeNumber,
                                               const std::string& volumeFileName, bool& cancel) {
    if (onProcessVolumeFailure_) onProcessVolumeFailure_(this, operation, volumeNumber, volumeFileName, cancel);
}

void TZABaseArchiver::DoOnStoreFile(std::string& fileName, std::uint32_t& fileAttr, std::string& comment,
                                    const std::string& originalFileName) {
    if (OnStoreFile) OnStoreFile(this, fileName, fileAttr, comment, originalFileName);
}

void TZABaseArchiver::DoOnExtractFile(std::string& fileName, std::uint32_t& fileAttr, const std::string& comment) {
    std::replace(fileName.begin(), fileName.end(), '/', '\\');
    if (OnExtractFile) OnExtractFile(this, fileName, fileAttr, comment);
}

} // namespace tarnwick
