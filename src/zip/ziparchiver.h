// The archive component's public face: TZABaseArchiver holds all behaviour; TZipArchiver is the
// ZIP-signature flavour the setup program uses. The directory it loads is described in
// zadirmanager.h (reached through DirManager()), the on-disk records in zarecords.h.
//
// Inside, the work is split by activity, and calls run one way, from the top down:
//   ziparchiver_open.cpp     construction, open, close, Active/InMemory, validation
//   ziparchiver_sfx.cpp      self-extractors and repair
//   ziparchiver_modify.cpp   delete, refresh, rename, attributes, comments
//   ziparchiver_add.cpp      choosing and adding files and data
//   ziparchiver_extract.cpp  extraction, testing and decoding
//   ziparchiver_batch.cpp    tagged batches with their events (extract, test, delete, refresh)
//   ziparchiver_update.cpp   the update bracket and writing it in place with rollback
//   ziparchiver_volumes.cpp  cutting a written archive into volumes
//   zacompress.cpp           compressing one item
//   ziparchiver_search.cpp   FindFirst/FindNext
//   ziparchiver.cpp          properties, guards, the batch lock and the events with their defaults
//   ziparchiver_stream.cpp   the archive stream: opening it, volumes, spanning reads, temp names
//   zadirmanager.cpp         loading and saving the directory
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/component.h"
#include "zip/zacrypt.h"
#include "zip/zaexcept.h"
#include "zip/zastream.h"

namespace tarnwick {

using TStrings = std::vector<std::string>;

// ---- Enumerations -------------------------------------------------------------------------
enum TZACompressionLevel { clNone, clFastest, clNormal, clMax };
enum TZACompressionAlgorithm { caZLIB, caBZIP, caPPM };
enum TZACryptoAlgorithm { caRijndael_128, caRijndael_256, caDES_Single, caDES_Triple, caBlowfish, caTwofish_128,
                          caTwofish_256, caSquare };
enum TZAProcessOperation { poAdd, poMove, poDelete, poUpdate, poExtract, poTest, poRename, poChangeAttr,
                           poChangeComment, poMakeSFX };
enum TZAProgressPhase { ppStart, ppProcess, ppEnd };
enum TZAAction { fxaRetry, fxaIgnore, fxaAbort };
enum TZAOverwriteMode { omPrompt, omAlways, omNever, omIfNewer, omIfOlder };
enum TZAFileShareMode { smShareCompat, smShareExclusive, smShareDenyWrite, smShareDenyRead, smShareDenyNone };
enum TZAStorePathMode { spNoPath, spRelativePath, spFullPath, spFullPathWithDrive };
enum TZip64Mode { zmDisabled, zmAuto, zmAlways };
enum TZASpanningMode { smNone, smSpanning, smSplitting };
enum TZAVolumeSize { vsAutoDetect, vsCustom, vs1_44MB, vs100MB, vs200MB, vs250MB, vs600MB, vs650MB, vs700MB,
                     vs4700MB };
enum TZAVolumeNumberKind { vnkFirst, vnkLast, vnkCustom, vnkUnknown };

int ShareModeToInt(TZAFileShareMode mode);

// The folder bit of a search attribute: with it, plain items and folders are selected.
constexpr int kFolderAttr = 0x10;
// The search attribute that selects every item: read-only, hidden, system, volume, folder,
// archive and the plain-file bits.
constexpr int kAnyItem = 0x28BF;

struct TZAVolumeNumberInfo {
    int VolumeNumber = -1;
    int LastVolumeNumber = -1;
    TZAVolumeNumberKind Kind = vnkUnknown;
    void Init();
    void SetFirstVolume(bool value);
    bool GetFirstVolume() const { return VolumeNumber == 0; }
    void SetLastVolume(bool value);
    bool GetLastVolume() const;
    void SetVolumeNumber(int number);
    bool IsEqualTo(const TZAVolumeNumberInfo& other) const;
};

// The loaded directory (zadirmanager.h): its items and the manager that reads and writes it.
struct TDirItem;
class TZADirManager;
namespace zaos {
struct FileFacts;
}
struct TZADecodedItem;
class TZAPrefetcher;

// ---- Options -------------------------------------------------------------------------------
class TPersistent : public TObject {
public:
    virtual void Assign(const TPersistent& source);
};

class TZAOptions : public TPersistent {
public:
    void Assign(const TPersistent& source) override;
    TZAStorePathMode StorePath = spRelativePath;
    bool Recurse = true;
    TZAFileShareMode ShareMode = smShareDenyNone;
    TZAOverwriteMode OverwriteMode = omAlways;
    bool CreateDirs = true;
    bool ReplaceReadOnly = true;
    bool SetAttributes = true;
    int SearchAttr = kAnyItem;
    bool FlushBuffers = true;
    bool OEMFileNames = true;
};

class TZASpanningOptions : public TPersistent {
public:
    void Assign(const TPersistent& source) override;
    bool AdvancedNaming = true;
    std::int64_t FirstVolumeSize = 0;
    TZAVolumeSize VolumeSize = vsAutoDetect;
    std::int64_t GetCustomVolumeSize() const { return customVolumeSize_; }
    void SetCustomVolumeSize(std::int64_t size) { customVolumeSize_ = size < 65536 ? 65536 : size; }
    std::int64_t GetVolumeSize(int volume) const;
    bool SaveOnFirstDisk = false;  // writing side

private:
    std::int64_t customVolumeSize_ = 0;
};

// ---- Events --------------------------------------------------------------------------------
using TNotifyEvent = std::function<void(TObject* Sender)>;
using TZAProgressEvent = std::function<void(TObject* Sender, double Progress, TZAProcessOperation Operation,
                                            TZAProgressPhase ProgressPhase, bool& Cancel)>;
using TZAFileProgressEvent = std::function<void(TObject* Sender, const std::string& FileName, double Progress,
                                                TZAProcessOperation Operation, TZAProgressPhase ProgressPhase, bool& Cancel)>;
using TZACopyTempFileProgressEvent =
    std::function<void(TObject* Sender, double Progress, TZAProgressPhase ProgressPhase, bool& Cancel)>;
using TZAConfirmOverwriteEvent =
    std::function<void(TObject* Sender, const std::string& SourceFileName, std::string& DestFileName, bool& Confirm)>;
using TZAConfirmProcessFileEvent =
    std::function<void(TObject* Sender, const std::string& FileName, TZAProcessOperation Operation, bool& Confirm)>;
using TZAOnPasswordEvent =
    std::function<void(TObject* Sender, const std::string& FileName, std::string& NewPassword, bool& SkipFile)>;
using TZAProcessFileFailureEvent =
    std::function<void(TObject* Sender, const std::string& FileName, TZAProcessOperation Operation, int NativeError,
                       int ErrorCode, const std::string& ErrorMessage, TZAAction& Action)>;
using TZAOnRequestBlankVolumeEvent =
    std::function<void(TObject* Sender, int VolumeNumber, std::string& VolumeFileName, bool& Cancel)>;
using TZAOnRequestFirstVolumeEvent = std::function<void(TObject* Sender, std::string& VolumeFileName, bool& Cancel)>;
using TZAOnRequestLastVolumeEvent = std::function<void(TObject* Sender, std::string& VolumeFileName, bool& Cancel)>;
using TZAOnRequestMiddleVolumeEvent =
    std::function<void(TObject* Sender, int VolumeNumber, std::string& VolumeFileName, bool& Cancel)>;
using TZAOnDiskFullEvent =
    std::function<void(TObject* Sender, int VolumeNumber, const std::string& VolumeFileName, bool& Cancel)>;
using TZAProcessVolumeFailureEvent = std::function<void(TObject* Sender, TZAProcessOperation Operation, int VolumeNumber,
                                                        const std::string& VolumeFileName, bool& Cancel)>;
using TZAOnStoreFileEvent = std::function<void(TObject* Sender, std::string& FileName, std::uint32_t& FileAttr,
                                               std::string& Comment, const std::string& OriginalFileName)>;
using TZAOnExtractFileEvent =
    std::function<void(TObject* Sender, std::string& FileName, std::uint32_t& FileAttr, const std::string& Comment)>;

// ---- Search record -------------------------------------------------------------------------
struct TInternalSearchRec {
    std::int32_t Index = 0;
    char FileMask[260] = {};  // zero-terminated, "/" separators
    bool HasWildcards = false;
    std::int32_t SearchAttr = 0;
    std::string ExclusionMask;
    bool UseProperties = false;
};

struct TZAArchiveItem {
    std::string FileName;    // name part, "\" separators
    std::string StoredPath;  // folder part with trailing "\", empty at the top
    std::int64_t CompressedSize = 0;
    std::int64_t UncompressedSize = 0;
    double CompressionRate = 0;
    bool Encrypted = false;
    std::uint16_t LastModFileDate = 0;
    std::uint16_t LastModFileTime = 0;
    std::uint32_t CRC = 0;
    std::uint32_t ExternalFileAttributes = 0;
    std::string Comment;
    TInternalSearchRec InternalSearchRec;
};

// ---- The archiver --------------------------------------------------------------------------
class TZABaseArchiver : public TComponent {
public:
    explicit TZABaseArchiver(TComponent* owner);
    ~TZABaseArchiver() override;

    // Published properties with behaviour behind them.
    TZACompressionLevel GetCompressionLevel() const { return compressionLevel_; }
    void SetCompressionLevel(TZACompressionLevel level);
    std::uint8_t GetCompressionMode() const { return compressionMode_; }
    void SetCompressionMode(std::uint8_t mode);
    std::string GetCurrentVersion() const;
    void SetCurrentVersion(const std::string&) {}
    TZASpanningMode GetSpanningMode() const { return spanningMode_; }
    void SetSpanningMode(TZASpanningMode mode);
    bool GetInMemory() const { return inMemory_; }
    void SetInMemory(bool value);
    void SetFileMasks(const TStrings& masks) { FileMasks = masks; }
    void SetExclusionMasks(const TStrings& masks) { ExclusionMasks = masks; }
    void SetNoCompressionMasks(const TStrings& masks) { NoCompressionMasks = masks; }

    bool ExtractCorruptedFiles = false;
    std::string Password;
    std::string FileName;
    std::string BaseDir;
    std::string TempDir;
    TZASpanningOptions SpanningOptions;
    std::string SFXStub;
    TZAOptions Options;
    TStrings FileMasks;
    TStrings ExclusionMasks;
    TStrings NoCompressionMasks;

    TZAFileProgressEvent OnFileProgress;
    TZAProgressEvent OnOverallProgress;
    TZACopyTempFileProgressEvent OnCopyTempFileProgress;
    TZAConfirmOverwriteEvent OnConfirmOverwrite;
    TZAConfirmProcessFileEvent OnConfirmProcessFile;
    TNotifyEvent AfterOpen;
    TZAOnPasswordEvent OnPassword;
    TZAProcessFileFailureEvent OnProcessFileFailure;
    TZAOnRequestBlankVolumeEvent OnRequestBlankVolume;
    TZAOnRequestFirstVolumeEvent OnRequestFirstVolume;
    TZAOnRequestLastVolumeEvent OnRequestLastVolume;
    TZAOnRequestMiddleVolumeEvent OnRequestMiddleVolume;
    TZAOnDiskFullEvent OnDiskFull;
    TZAOnStoreFileEvent OnStoreFile;
    TZAOnExtractFileEvent OnExtractFile;

    // Public properties.
    bool GetActive() const { return active_; }
    void SetActive(bool value);
    bool GetInUpdate() const { return UpdateCount > 0; }
    bool GetEncrypted() const;
    bool GetExists() const;
    std::int64_t GetArchiveSize();
    int GetFileCount();
    std::string GetFileComment() const;
    void SetFileComment(const std::string& comment);

    // Opening and closing.
    void OpenArchive();
    void OpenArchive(std::uint16_t mode);
    void OpenArchive(TStream* stream, bool create);
    void CloseArchive();
    bool IsValidArchiveFile();
    // Reads the directory of the archive named by FileName through once without keeping it: opens
    // the archive with the mode (checked as OpenArchive checks it; a failed open raises before
    // any item is handed out), hands each item to each in directory order, and closes it again.
    // Takes no memory per item, so a listing of any size stays small. On an open archive it hands
    // out the loaded items and leaves the archive open.
    void ReadDirectory(std::uint16_t mode, const std::function<void(const TDirItem&)>& each);
    static bool IsSFXArchive(const std::string& fileName);
    void BeginUpdate();
    void EndUpdate();
    void CancelUpdate();
    static bool IsFloppyDrive(const std::string& path);
    static bool IsRemovableDrive(const std::string& path);

    // Searching.
    bool FindFirst(TZAArchiveItem& item);
    bool FindFirst(const std::string& fileMask, TZAArchiveItem& item, const std::string& exclusionMask, int searchAttr);
    bool FindNext(TZAArchiveItem& item);
    // FindFirst's setting up of the search record from its arguments, without the search; and the
    // test FindFirst and FindNext make of each item (folder, name and attributes), for items
    // that are not in the loaded directory (ReadDirectory).
    void PrepareSearch(const std::string& fileMask, TZAArchiveItem& item, const std::string& exclusionMask,
                       int searchAttr) const;
    bool SearchSelects(const TDirItem& entry, const TZAArchiveItem& item) const;
    static bool CheckAttributesMatch(std::uint32_t attributes, int searchAttr);

    // Extraction and testing.
    void ExtractFiles();
    void ExtractFiles(const std::string& fileMask, int searchAttr, const std::string& exclusionMask);
    void TestFiles();
    void TestFiles(const std::string& fileMask, int searchAttr, const std::string& exclusionMask);
    // The names the next extractions will ask for one call each, in that order (an installation
    // extracts its items so). While one of them is written, the next is decoded on a second
    // thread, as in a batch of several items; the files and events stay the same. Opening,
    // closing or changing the archive forgets the plan.
    void PlanExtractions(const std::vector<std::string>& names);
    void ExtractToStream(const std::string& fileName, TStream* stream);
    void ExtractToBuffer(const std::string& fileName, void* buffer, std::int64_t count);
    void ExtractToString(const std::string& fileName, std::string& text);
    bool IsFilePasswordValid(const std::string& fileName, const std::string& password);
    std::string GetTempFileName();

    // Adding and changing items (ziparchiver_add.cpp, ziparchiver_modify.cpp); each runs its own
    // update bracket, which writes the archive when it closes (ziparchiver_update.cpp).
    void AddFiles();
    void AddFiles(const std::string& fileMask, int searchAttr, const std::string& exclusionMask);
    void MoveFiles();
    void MoveFiles(const std::string& fileMask, int searchAttr, const std::string& exclusionMask);
    void DeleteFiles();
    void DeleteFiles(const std::string& fileMask, int searchAttr, const std::string& exclusionMask);
    void UpdateFiles();
    void UpdateFiles(const std::string& fileMask, int searchAttr, const std::string& exclusionMask);
    // dosDateTime 0: now. count 0: the stream itself from position, read when the archive is written.
    void AddFromStream(const std::string& fileName, TStream* stream, std::int64_t position, std::int64_t count,
                       std::uint32_t attributes, std::uint32_t dosDateTime);
    void AddFromBuffer(const std::string& fileName, const void* buffer, std::int64_t count, std::uint32_t attributes,
                       std::uint32_t dosDateTime);
    void AddFromString(const std::string& fileName, const std::string& text, std::uint32_t attributes,
                       std::uint32_t dosDateTime);
    int AddFileInit(const std::string& sourcePath, const std::string& baseDir, bool fromDisk);
    void FillDirItem(int index, const std::string& sourcePath, bool fromDisk);
    std::string MakeStoredName(const std::string& sourcePath, const std::string& baseDir, bool folder) const;
    void RenameFile(const std::string& oldName, const std::string& newName);
    void ChangeFilesAttr(const std::string& fileMask, std::uint32_t attributes);
    void ChangeFilesIntAttr(const std::string& fileMask, std::uint16_t attributes);
    void ChangeFilesComment(const std::string& fileMask, const std::string& comment);
    void DeleteItem(int index);
    void UpdateItem(int index, const std::string& sourcePath);

    // Whole-archive operations (ziparchiver_sfx.cpp).
    void MakeSFX(const std::string& targetFileName);
    bool FastFileAppend(TStream* destination, TStream* source, const std::string& fileName);
    void RepairArchive(const std::string& targetFileName);

    // The ten random bytes of every encryption header; nullptr restores the system's source.
    void SetRandomSource(TZARandomSource* source) { randomSource_ = source; }
    TZip64Mode GetZip64Mode() const { return Zip64Mode; }
    void SetZip64Mode(TZip64Mode mode) { Zip64Mode = mode; }
    // Bytes written to the archive by the last update; benchmarks and tests watch it.
    std::int64_t LastUpdateBytesWritten() const { return lastUpdateBytesWritten_; }

    // The loaded directory (nullptr while closed).
    TZADirManager* DirManager() const { return dirManager_.get(); }

    // Guards.
    void CheckInactive() const;
    void CheckInUpdate() const;
    void CheckModifySpanning() const;

    // One critical section for the whole process; batches hold it. Recursive.
    static void Lock();
    static void Unlock();

    // Needed by TZADirManager.
    bool UseZipSignatures = false;
    bool OpenDamagedArchives = true;
    TStream* GetArchiveStream() const { return archiveStream_; }
    void OpenVolume(const TZAVolumeNumberInfo& volume);
    std::string MakeDefaultVolumeName(const std::string& name, int volumeNumber, bool mustExist);
    std::uint16_t GetCompMethod() const { return CompMethod; }

protected:
    virtual void SetCompMethod();
    virtual void DoOnOverallProgress(double progress, TZAProcessOperation operation, TZAProgressPhase phase, bool& cancel);
    virtual void DoOnFileProgress(const std::string& fileName, double progress, TZAProcessOperation operation,
                                  TZAProgressPhase phase, bool& cancel);
    virtual void DoOnCopyTempFileProgress(double progress, TZAProgressPhase phase, bool& cancel);
    virtual void DoOnConfirmOverwrite(const std::string& sourceFileName, std::string& destFileName, bool& confirm);
    virtual void DoOnConfirmProcessFile(const std::string& fileName, TZAProcessOperation operation, bool& confirm);
    virtual void DoOnPassword(const std::string& fileName, std::string& newPassword, bool& skipFile);
    virtual void DoOnProcessFileFailure(const std::string& fileName, TZAProcessOperation operation, int nativeError,
                                        int errorCode, const std::string& errorMessage, TZAAction& action);
    virtual void DoOnRequestBlankVolume(int volumeNumber, std::string& volumeFileName, bool& cancel);
    virtual void DoOnRequestFirstVolume(std::string& volumeFileName, bool& cancel);
    virtual void DoOnRequestLastVolume(std::string& volumeFileName, bool& cancel);
    virtual void DoOnRequestMiddleVolume(int volumeNumber, std::string& volumeFileName, bool& cancel);
    virtual void DoOnDiskFull(int volumeNumber, const std::string& volumeFileName, bool& cancel);
    virtual void DoOnProcessVolumeFailure(TZAProcessOperation operation, int volumeNumber,
                                          const std::string& volumeFileName, bool& cancel);
    virtual void DoOnStoreFile(std::string& fileName, std::uint32_t& fileAttr, std::string& comment,
                               const std::string& originalFileName);
    virtual void DoOnExtractFile(std::string& fileName, std::uint32_t& fileAttr, const std::string& comment);

    // Batch layer (ziparchiver_batch.cpp): the tagged items, each handed to step.
    using TZATaggedStep = std::function<void(int index, const std::string& itemName, const std::string& destDir)>;
    void TagFiles();
    void TagFiles(const std::string& fileMask, int searchAttr, const std::string& exclusionMask);
    void ProcessTaggedFiles(TZAProcessOperation operation, const TZATaggedStep& step);
    void ExtractTaggedFile(int index, const std::string& itemName, const std::string& destDir);
    std::unique_ptr<TZAFileStream> openForReplacing(std::string& path, const std::string& itemName,
                                                    std::uint32_t itemDateTime);
    void TestTaggedFile(int index, const std::string& itemName);
    void ExtractItem(int index, TStream* output);
    bool InternalDecompressFile(TStream* archive, TStream* output, const TDirItem& item);
    bool ZipInitPassword(TStream* stream, const std::string& password, std::uint16_t flags, std::uint16_t dosTime,
                         std::uint32_t crc, std::int64_t* keys);
    bool IsItemMatches(int index, const TZAArchiveItem& item);
    bool entryMatches(const TDirItem& entry, const TZAArchiveItem& item) const;
    bool entrySelected(const TDirItem& entry, const TZAArchiveItem& item, const std::string& maskFolder) const;
    std::string searchMaskFolder(const TZAArchiveItem& item) const;
    bool ForceDirectories(const std::string& path);
    void ForceUpdate();
    bool InternalCompressFile(TStream* source, TStream* archive, TDirItem& item);
    void InternalAddFiles(const TStrings& masks, int searchAttr, const TStrings& exclusions, bool move);
    void DeleteTaggedFile(int index);
    void UpdateTaggedFile(int index, const std::string& itemName, const std::string& destDir);

    TZAProcessVolumeFailureEvent onProcessVolumeFailure_;

    int UpdateCount = 0;
    bool IsCustomStream = false;
    std::uint16_t OpenMode = 0;
    int ProcessedFileCount = 0;
    int SelectedFileCount = 0;
    bool Cancel = false;
    bool ProgressEnabled = true;
    bool SkipFile = false;
    double FileBytesDone = 0;
    double FileBytesTotal = 0;
    std::uint16_t CompMethod = 0xFFFF;
    TZip64Mode Zip64Mode = zmAuto;
    bool SuppressPasswordPrompt = false;
    TZAAction FailureAction = fxaIgnore;
    TZAVolumeNumberInfo CurrentVolume;
    std::string CurrentVolumeFileName;

private:
    // The archive stream (ziparchiver_stream.cpp).
    std::uint16_t defaultOpenMode() const;
    void checkOpenMode(std::uint16_t mode) const;
    void openArchiveStream(std::uint16_t mode);
    std::unique_ptr<TZADirManager> newDirManager(TStream* stream, bool create);
    void internalOpen();
    bool openPlainArchive();
    bool openSFXArchive();
    void detectSpanning(bool endFound);
    void reopenFileStream(const std::string& fileName);
    void freeArchiveStream();
    void setArchiveStream(TStream* stream, bool owned);
    bool searchFrom(TZAArchiveItem& item);
    void fillItem(int index, TZAArchiveItem& item) const;
    std::string destinationFolder() const;
    bool decodeStoredOrDeflated(TStream* archive, TStream* output, const TDirItem& item, std::int64_t compressedSize,
                                std::int64_t& written, std::uint32_t& crc);
    bool blockProgress(const TDirItem& item, std::int64_t consumed);
    void startPrefetch(int index);
    bool replayDecoded(const TZADecodedItem& decoded, TStream* output, const TDirItem& item);
    bool decodeBlockFormat(TStream* archive, TStream* output, const TDirItem& item, std::int64_t& written,
                           std::uint32_t& crc);
    std::size_t readSpanning(TStream*& archive, unsigned char* buffer, std::size_t count);
    int findItemByName(const std::string& fileName);
    void addCandidate(const std::string& path, bool folder, const std::string& baseDir, bool move);
    void searchDisk(const std::string& fullMask, int searchAttr, const TStrings& exclusions, const std::string& baseDir,
                    bool move);
    bool isExcludedPath(const std::string& path, bool folder, const TStrings& exclusions) const;
    bool writeNewItem(int index);
    void copyItemFromTail(int index, TStream* tail, std::int64_t start);
    void rollbackUpdate(TStream* tail, std::int64_t start);
    void renameItem(TDirItem& item, const std::string& oldName, const std::string& newName);
    void markChanged(TDirItem& item, TZAProcessOperation operation);
    std::string resolvedBaseDir() const;
    // FillDirItem with what was already learnt of the source (from disk: its facts; storedName:
    // the name the caller stores, so none is made here).
    void fillDirItem(int index, const std::string& sourcePath, bool fromDisk, const zaos::FileFacts& facts,
                     const std::string* storedName);
    void splitIntoVolumes();

    TZACompressionLevel compressionLevel_ = clFastest;
    std::uint8_t compressionMode_ = 1;
    // Decoding buffers kept from one item to the next (see decodeStoredOrDeflated).
    std::vector<unsigned char> spareInput_, spareOutput_;
    // During an extraction or test batch of several items: the next one decoded on a second
    // thread (zadecode.h), and the batch's items in order.
    std::shared_ptr<TZAPrefetcher> prefetch_;
    std::vector<int> batchOrder_;
    // Across one-item extractions (PlanExtractions): the item planned after each directory
    // index (-1: none), and the decoder kept from one call to the next.
    std::vector<int> plannedNext_;
    std::shared_ptr<TZAPrefetcher> plannedPrefetch_;
    void forgetPlan();
    int nextToExtract(int index) const;
    TZASpanningMode spanningMode_ = smNone;
    bool inMemory_ = false;
    bool active_ = false;
    bool keepDirectory_ = true;  // off while ReadDirectory opens the archive
    TStream* archiveStream_ = nullptr;
    std::unique_ptr<TStream> ownedStream_;
    std::unique_ptr<TZADirManager> dirManager_;
    TZARandomSource* randomSource_ = nullptr;
    std::int64_t lastUpdateBytesWritten_ = 0;
};

class TZipArchiver : public TZABaseArchiver {
public:
    explicit TZipArchiver(TComponent* owner);

protected:
    void SetCompMethod() override;
};

} // namespace tarnwick
