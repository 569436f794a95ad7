// The loaded directory: its items (the central header fields and what the component keeps with
// them), the array that holds them, and the manager that finds, loads and writes the directory of
// an archive stream (zadirmanager.cpp). The archiver exposes it through DirManager().
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/component.h"
#include "zip/zanameindex.h"
#include "zip/zarecords.h"
#include "zip/zastream.h"
#include "zip/ziparchiver.h"

namespace tarnwick {

struct TZAExtraFieldDataBlock {
    std::uint16_t HeaderID = 0;
    std::uint16_t DataSize = 0;
    std::vector<unsigned char> Data;  // the block's own copy
};

// One directory item: the central header fields first, then what the component keeps with it.
struct TDirItem : TZAZipCentralDir {
    std::string FileName;  // never over 999 bytes, never a zero byte; "/" separators
    std::string RawFileName;  // the name's bytes as loaded; written back while FileName is unchanged
    std::string LoadedFileName;  // FileName as loaded, to tell a renamed item
    std::string OldFileName;
    std::string FileComment;
    std::vector<TZAExtraFieldDataBlock> ExtraFields;
    bool HasZip64Info = false;
    TZAZip64ExtendedInfo Zip64Info;  // zero unless a 0x0001 block was read
    bool Modified = false;
    std::string Password;
    TStream* DataStream = nullptr;
    bool OwnsDataStream = false;
    std::int64_t DataStreamPosition = 0;
    std::uint8_t Tag = 0;  // selected by the running batch; set through TZADirArray::SetTag
    std::string SourceFileName;
    std::uint8_t CompressionLevel = 0;
    std::uint8_t Operation = 0;  // TZAProcessOperation of the running batch
    std::int64_t DataStreamCount = -1;  // bytes of DataStream from DataStreamPosition; -1 to its end

    bool IsFolder() const { return (ExternalFileAttributes & 0x10) != 0; }
    std::int64_t GetCompressedSize() const;
    std::int64_t GetUncompressedSize() const;
    std::int64_t GetLocalHeaderOffset() const;
    std::uint32_t GetDiskNumberStart() const;
};
using PDirItem = TDirItem*;

class TZADirArray : public TObject {
public:
    TZADirArray();
    ~TZADirArray() override;
    int GetCount() const { return count_; }
    void SetCount(int count);
    int AllocatedCount() const { return allocated_; }
    TDirItem GetItem(int index) const;
    PDirItem GetItemPtr(int index);
    const TDirItem* GetItemPtr(int index) const;
    void SetItem(int index, const TDirItem& item);
    void DeleteItem(int index);
    void Clear();
    void Assign(const TZADirArray* other);
    // Tags are set through SetTag, never through an item pointer: the array keeps the tagged items
    // in a list, so that clearing the tags and finding the tagged items cost as many steps as
    // there are tagged items, not as there are items.
    void ClearTags();
    void SetTag(int index, std::uint8_t tag);
    int TaggedCount() const;
    // The first tagged item at or after from, or -1.
    int NextTagged(int from) const;
    // The first item whose name is the given one, ignoring case in the locale's order
    // (ZASameText). Looked up in an index on the names, so a search costs the same at any count.
    bool FileExists(const std::string& name, int& index) const;
    // The items a plain mask with this key (PlainMaskKey) may match, by their whole name or by
    // its last part, in rising order; nullptr for none.
    const std::vector<int>* ItemsWithPlainKey(const std::string& key) const;

private:
    void releaseItem(TDirItem& item);
    // The name indexes. Every item reached for writing (GetItemPtr, SetItem, new slots) is noted
    // and filed again under its current name at the next look-up; removing items or shrinking the
    // array drops them, and the next look-up builds them anew. So a name is changed through a
    // pointer taken after the last look-up, never through one kept from before it.
    void noteChanged(int index) const;
    void dropIndexes() const;
    const std::string& nameAt(int index) const { return items_[static_cast<std::size_t>(index)].FileName; }
    mutable TZANameIndex sortKeys_;  // the locale's caseless sort key of the whole name
    mutable TZANameIndex plainKeys_;  // PlainMaskKeysOfItem
    std::vector<int> tagged_;  // the items below count_ whose Tag is not 0, rising
    std::vector<TDirItem> items_;
    int step_ = 500;
    int maxStep_ = 10000;
    int allocated_ = 0;
    int count_ = 0;
};

class TZADirManager : public TObject {
public:
    TZADirManager(TStream* stream, bool createMode, TZABaseArchiver* archiver);

    void LoadDir();
    // Off: LoadDir checks the directory as always but keeps none of its items (CentralDir stays
    // empty), and ForEachItem reads them again one at a time, so that reading a directory through
    // once takes no memory per item. Spanned sets keep their items all the same.
    bool KeepItems = true;
    bool ItemsKept() const { return itemsKept_; }
    // Each item of the loaded directory in order, as LoadDir left it (stub offset applied): the
    // kept items, or each read again from the archive.
    void ForEachItem(const std::function<void(const TDirItem&)>& each);
    bool GetCentralDirEnd(TZAZipCentralDirEnd& record, std::int64_t& position, std::uint32_t signature);
    bool HasCentralDirEnd();
    bool FindSignature(TStream* stream, std::int64_t& position, const char* signature, int length);
    std::int64_t FindLocalFileHeader(std::int64_t position);
    void CalculateStubSize(std::int64_t endPosition);
    void ApplyStubOffset();
    bool IsSFXArchive() const;
    bool IsEncrypted() const;
    // Makes the given volume current and reads on from its stream (spanned directories).
    void OpenVolume(TZAVolumeNumberInfo* volume);
    // Set by the archiver: opens a volume and returns its stream.
    std::function<TStream*(const TZAVolumeNumberInfo&)> VolumeOpener;
    void InitCentralDirEnd();
    void SaveDir(bool toStream, TStream* stream);
    // The bytes a name is stored as: the loaded bytes while unchanged, else OEM (with
    // OEMFileNames) when the name survives the round trip, else UTF-8 with flag bit 11 set.
    std::string EncodeName(TDirItem& item) const;
    // One central directory record of the item, name encoded as above.
    std::vector<unsigned char> BuildCentralRecord(TDirItem& item) const;
    // Rebuilds the ZIP64 extra block from the item's 32-bit fields that are 0xFFFFFFFF.
    static void SetZip64Extra(TDirItem& item);

    bool CreateMode;
    TZABaseArchiver* Archiver;
    TZADirArray CentralDir;
    TZADirArray RollbackDir;
    TStream* ArchiveStream;
    bool IsCustomStream = false;
    TZAZip64CentralDirEndLocator Zip64Locator;
    TZAZip64CentralDirEnd Zip64CentralDirEnd;
    TZAZipCentralDirEnd CentralDirEnd;
    std::string ArchiveComment;
    bool IsZip64 = false;
    std::int64_t StubSize = 0;
    std::int64_t CentralDirOffset = 0;
    TZAVolumeNumberInfo Volume;
    // Taken by BeginUpdate with RollbackDir: what a rollback puts back.
    std::string RollbackComment;
    std::int64_t RollbackCentralDirOffset = 0;

    std::uint32_t localSignature() const;
private:
    // Where LoadDir found the directory's entries, to read them again.
    struct TDirWalk {
        std::int64_t position = 0;
        std::uint64_t total = 0;
        int firstVolume = 0;
        bool spanning = false;
    };
    // Reads every entry in turn and hands it to each: while loading, into CentralDir when items
    // are kept; otherwise in one item used over again.
    void walkDirectory(bool loading, const std::function<void(TDirItem&)>& each);
    // names false: the name and comment are skipped (a first reading that keeps nothing).
    void readEntry(TDirItem& item, std::vector<unsigned char>& variable, bool names);
    void calculateStubSize(std::int64_t endPosition, const TDirItem* firstItem);
    TDirWalk walk_;
    bool itemsKept_ = true;
    bool stubShifted_ = false;  // ApplyStubOffset ran on the loaded items
    std::uint32_t centralSignature() const;
    std::uint32_t endSignature() const;
    std::int64_t scanForward(std::int64_t position, std::uint32_t signature, std::size_t window, std::size_t minimumAfter);
    void rebuildFromLocalHeaders();
    std::string loadName(const unsigned char* bytes, std::size_t length, std::uint16_t flags) const;
};

} // namespace tarnwick
