// Directory records, the directory array and the directory manager: finding the end record,
// loading the central directory (ZIP64, stub detection) and rebuilding it from local headers
// when the end record is missing. Every record is read whole into a buffer and parsed there, so
// no parser reads past what the stream delivered.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "core/byte_order.h"
#include "zip/os/os.h"
#include "zip/zamasks.h"
#include "zip/zastrfunc.h"
#include "zip/zadirmanager.h"
#include "zip/ziparchiver.h"

namespace tarnwick {

// ---- Items ----------------------------------------------------------------------------------
std::int64_t TDirItem::GetCompressedSize() const {
    return CompressedSize == 0xFFFFFFFF ? Zip64Info.CompressedSize : static_cast<std::int64_t>(CompressedSize);
}
std::int64_t TDirItem::GetUncompressedSize() const {
    return UncompressedSize == 0xFFFFFFFF ? Zip64Info.UncompressedSize : static_cast<std::int64_t>(UncompressedSize);
}
std::int64_t TDirItem::GetLocalHeaderOffset() const {
    return RelativeOffsetOfLocalHeader == 0xFFFFFFFF ? Zip64Info.RelativeOffsetOfLocalHeader
                                                     : static_cast<std::int64_t>(RelativeOffsetOfLocalHeader);
}
std::uint32_t TDirItem::GetDiskNumberStart() const {
    return DiskNumberStart == 0xFFFF ? Zip64Info.DiskNumberStart : DiskNumberStart;
}

// ---- TZADirArray ----------------------------------------------------------------------------
namespace {

bool sortKeyOf(const std::string& name, std::vector<std::string>& keys) {
    keys.emplace_back();
    return zaos::caselessSortKey(name.data(), name.size(), keys.back());
}

} // namespace

TZADirArray::TZADirArray() : sortKeys_(sortKeyOf), plainKeys_(PlainMaskKeysOfItem) {}

TZADirArray::~TZADirArray() {
    Clear();
    for (TDirItem& item : items_) releaseItem(item);
}

void TZADirArray::releaseItem(TDirItem& item) {
    item.ExtraFields.clear();
    if (item.OwnsDataStream) delete item.DataStream;
    item.DataStream = nullptr;
    item.OwnsDataStream = false;
}

void TZADirArray::SetCount(int count) {
    if (count < count_) {
        dropIndexes();
        tagged_.erase(std::lower_bound(tagged_.begin(), tagged_.end(), count), tagged_.end());
    }
    for (int i = count_; i < count; ++i) noteChanged(i);
    if (count > allocated_) {
        step_ = std::min(step_ * 2, maxStep_);
        allocated_ = std::max(allocated_ + step_, count);
        // Room for every allocated slot, so items stay where they are until the next step, as
        // they always did; the room at least doubles, so the items move a bounded number of times.
        items_.reserve(std::max(static_cast<std::size_t>(allocated_), 2 * items_.capacity()));
    } else if (count == 0) {
        for (TDirItem& item : items_) releaseItem(item);
        items_.clear();
        items_.shrink_to_fit();
        allocated_ = 0;
    }
    // Slots past the highest count ever set are made when first used.
    if (static_cast<std::size_t>(count) > items_.size()) items_.resize(static_cast<std::size_t>(count));
    // Slots come back as they were left when the array shrank, tags and all.
    for (int i = count_; i < count; ++i)
        if (items_[static_cast<std::size_t>(i)].Tag != 0) tagged_.push_back(i);
    count_ = count;
}

TDirItem TZADirArray::GetItem(int index) const {
    if (index < 0 || index >= count_) throw EZAException(TZANativeError::GetItemIndex, nullptr);
    return items_[static_cast<std::size_t>(index)];
}

PDirItem TZADirArray::GetItemPtr(int index) {
    if (index < 0 || index >= count_) throw EZAException(TZANativeError::ItemPointerIndex, nullptr);
    noteChanged(index);
    return &items_[static_cast<std::size_t>(index)];
}

const TDirItem* TZADirArray::GetItemPtr(int index) const {
    if (index < 0 || index >= count_) throw EZAException(TZANativeError::ItemPointerIndex, nullptr);
    return &items_[static_cast<std::size_t>(index)];
}

void TZADirArray::SetItem(int index, const TDirItem& item) {
    if (index < 0 || index >= count_) throw EZAException(TZANativeError::SetItemIndex, nullptr);
    noteChanged(index);
    TDirItem& slot = items_[static_cast<std::size_t>(index)];
    if (&slot == &item) return;
    const std::uint8_t tag = slot.Tag;
    slot.ExtraFields.clear();
    slot = item;  // the vector copy gives the stored item its own extra blocks
    // The stream stays with the item it came from.
    slot.OwnsDataStream = false;
    const std::uint8_t newTag = slot.Tag;
    slot.Tag = tag;
    SetTag(index, newTag);
}

void TZADirArray::DeleteItem(int index) {
    if (index < 0 || index >= count_) throw EZAException(TZANativeError::RemoveItemIndex, nullptr);
    dropIndexes();
    releaseItem(items_[static_cast<std::size_t>(index)]);
    std::move(items_.begin() + index + 1, items_.begin() + count_, items_.begin() + index);
    items_[static_cast<std::size_t>(count_ - 1)] = TDirItem{};
    --count_;
    auto at = std::lower_bound(tagged_.begin(), tagged_.end(), index);
    if (at != tagged_.end() && *at == index) at = tagged_.erase(at);
    for (; at != tagged_.end(); ++at) --*at;
}

void TZADirArray::Clear() {
    dropIndexes();
    for (int i = 0; i < count_; ++i) items_[static_cast<std::size_t>(i)].ExtraFields.clear();
    count_ = 0;
    tagged_.clear();
}

void TZADirArray::Assign(const TZADirArray* other) {
    Clear();
    SetCount(other->GetCount());
    for (int i = 0; i < other->GetCount(); ++i) SetItem(i, *other->GetItemPtr(i));
}

void TZADirArray::ClearTags() {
    if (zadetail::directoryIndexes()) {
        for (const int i : tagged_) items_[static_cast<std::size_t>(i)].Tag = 0;
    } else {
        for (int i = 0; i < count_; ++i) items_[static_cast<std::size_t>(i)].Tag = 0;
    }
    tagged_.clear();
}

void TZADirArray::SetTag(int index, std::uint8_t tag) {
    if (index < 0 || index >= count_) throw EZAException(TZANativeError::ItemPointerIndex, nullptr);
    std::uint8_t& slot = items_[static_cast<std::size_t>(index)].Tag;
    if ((slot != 0) != (tag != 0)) {
        if (tag != 0 && (tagged_.empty() || tagged_.back() < index)) {
            tagged_.push_back(index);  // tagging in rising order, as searches do
        } else {
            const auto at = std::lower_bound(tagged_.begin(), tagged_.end(), index);
            if (tag != 0) {
                tagged_.insert(at, index);
            } else {
                tagged_.erase(at);
            }
        }
    }
    slot = tag;
}

int TZADirArray::TaggedCount() const {
    if (zadetail::directoryIndexes()) return static_cast<int>(tagged_.size());
    int count = 0;
    for (int i = 0; i < count_; ++i)
        if (items_[static_cast<std::size_t>(i)].Tag != 0) ++count;
    return count;
}

int TZADirArray::NextTagged(int from) const {
    if (zadetail::directoryIndexes()) {
        const auto at = std::lower_bound(tagged_.begin(), tagged_.end(), from);
        return at == tagged_.end() ? -1 : *at;
    }
    for (int i = std::max(from, 0); i < count_; ++i)
        if (items_[static_cast<std::size_t>(i)].Tag != 0) return i;
    return -1;
}

bool TZADirArray::FileExists(const std::string& name, int& index) const {
    int found = -1;
    if (!zadetail::directoryIndexes()) {
        for (int i = 0; i < count_ && found < 0; ++i)
            if (ZASameText(nameAt(i), name)) found = i;
        if (found < 0) return false;
        index = found;
        return true;
    }
    sortKeys_.Refresh(count_, [this](int i) -> const std::string& { return nameAt(i); });
    std::string key;
    if (zaos::caselessSortKey(name.data(), name.size(), key)) {
        if (const std::vector<int>* bucket = sortKeys_.Find(key)) {
            for (const int i : *bucket) {
                // Equal keys mean equal names; the check only guards the index itself.
                if (ZASameText(nameAt(i), name)) {
                    found = i;
                    break;
                }
            }
        }
    } else {
        // No key for the name looked for: compare it with every name, as the locale would.
        for (int i = 0; i < count_ && found < 0; ++i)
            if (ZASameText(nameAt(i), name)) found = i;
    }
    for (const int i : sortKeys_.Keyless()) {
        if (found >= 0 && i > found) break;
        if (ZASameText(nameAt(i), name)) {
            found = i;
            break;
        }
    }
    if (found < 0) return false;
    index = found;
    return true;
}

const std::vector<int>* TZADirArray::ItemsWithPlainKey(const std::string& key) const {
    plainKeys_.Refresh(count_, [this](int i) -> const std::string& { return nameAt(i); });
    return plainKeys_.Find(key);
}

void TZADirArray::noteChanged(int index) const {
    sortKeys_.NoteChanged(index);
    plainKeys_.NoteChanged(index);
}

void TZADirArray::dropIndexes() const {
    sortKeys_.Drop();
    plainKeys_.Drop();
}

// ---- TZAVolumeNumberInfo ---------------------------------------------------------------------
void TZAVolumeNumberInfo::Init() {
    Kind = vnkUnknown;
    VolumeNumber = -1;
    LastVolumeNumber = -1;
}
void TZAVolumeNumberInfo::SetFirstVolume(bool value) {
    if (!value) return;
    VolumeNumber = 0;
    Kind = vnkFirst;
}
void TZAVolumeNumberInfo::SetLastVolume(bool value) {
    if (!value) return;
    VolumeNumber = LastVolumeNumber;
    Kind = vnkLast;
}
bool TZAVolumeNumberInfo::GetLastVolume() const {
    return LastVolumeNumber == -1 ? Kind == vnkLast : VolumeNumber == LastVolumeNumber;
}
void TZAVolumeNumberInfo::SetVolumeNumber(int number) {
    VolumeNumber = number;
    Kind = vnkCustom;
}
bool TZAVolumeNumberInfo::IsEqualTo(const TZAVolumeNumberInfo& other) const {
    if (GetLastVolume()) return other.GetLastVolume();
    if (GetFirstVolume()) return other.GetFirstVolume();
    if (VolumeNumber < 0) return Kind == other.Kind;
    return VolumeNumber == other.VolumeNumber;
}

// ---- TZADirManager ---------------------------------------------------------------------------
TZADirManager::TZADirManager(TStream* stream, bool createMode, TZABaseArchiver* archiver)
    : CreateMode(createMode), Archiver(archiver), ArchiveStream(stream) {
    IsCustomStream = stream != archiver->GetArchiveStream();
    InitCentralDirEnd();
}

std::uint32_t TZADirManager::localSignature() const {
    return Archiver->UseZipSignatures ? kLocalHeaderSignature : kVariantLocalHeaderSignature;
}
std::uint32_t TZADirManager::centralSignature() const {
    return Archiver->UseZipSignatures ? kCentralHeaderSignature : kVariantCentralHeaderSignature;
}
std::uint32_t TZADirManager::endSignature() const {
    return Archiver->UseZipSignatures ? kEndSignature : kVariantEndSignature;
}

void TZADirManager::InitCentralDirEnd() {
    CentralDir.SetCount(0);
    CentralDirEnd = TZAZipCentralDirEnd{};
    CentralDirEnd.Signature = endSignature();
}

bool TZADirManager::GetCentralDirEnd(TZAZipCentralDirEnd& record, std::int64_t& position, std::uint32_t signature) {
    position = -1;
    ArchiveComment.clear();
    record = TZAZipCentralDirEnd{};
    const std::int64_t size = ArchiveStream->GetSize();
    const std::int64_t n = std::min<std::int64_t>(65600, size);
    if (n < static_cast<std::int64_t>(TZAZipCentralDirEnd::kSize)) return false;
    std::vector<unsigned char> tail(static_cast<std::size_t>(n));
    ArchiveStream->SetPosition(size - n);
    ArchiveStream->ReadBuffer(tail.data(), tail.size());
    const auto top = static_cast<unsigned char>(signature >> 24);
    for (std::int64_t i = n - 1; i >= 3; --i) {
        if (tail[static_cast<std::size_t>(i)] != top || loadLE32(&tail[static_cast<std::size_t>(i - 3)]) != signature) continue;
        const std::int64_t p = size - n + i - 3;
        if (size - p < static_cast<std::int64_t>(TZAZipCentralDirEnd::kSize)) continue;
        TZAZipCentralDirEnd candidate;
        ReadRecord(&tail[static_cast<std::size_t>(i - 3)], TZAZipCentralDirEnd::kSize, candidate);
        // Valid only when its comment reaches exactly to the end of the stream.
        if (size - p - static_cast<std::int64_t>(TZAZipCentralDirEnd::kSize) != candidate.ZipfileCommentLength) continue;
        record = candidate;
        position = p;
        const std::size_t commentStart = static_cast<std::size_t>(i - 3) + TZAZipCentralDirEnd::kSize;
        ArchiveComment.assign(reinterpret_cast<const char*>(tail.data()) + commentStart, candidate.ZipfileCommentLength);
        return true;
    }
    return false;
}

bool TZADirManager::HasCentralDirEnd() {
    std::int64_t position = -1;
    const bool found = GetCentralDirEnd(CentralDirEnd, position, endSignature());
    return found || Archiver->OpenDamagedArchives;
}

bool TZADirManager::FindSignature(TStream* stream, std::int64_t& position, const char* signature, int length) {
    const std::int64_t saved = stream->GetPosition();
    const std::int64_t size = stream->GetSize();
    constexpr std::int64_t kWindow = 10000;
    std::vector<char> window(static_cast<std::size_t>(kWindow));
    bool found = false;
    for (std::int64_t start = position; start < size && !found; start += kWindow - length) {
        stream->SetPosition(start);
        const std::size_t got = stream->Read(window.data(), window.size());
        if (got < static_cast<std::size_t>(length)) break;
        for (std::size_t i = 0; i + static_cast<std::size_t>(length) <= got; ++i) {
            if (std::memcmp(window.data() + i, signature, static_cast<std::size_t>(length)) == 0) {
                position = start + static_cast<std::int64_t>(i);
                found = true;
                break;
            }
        }
        if (got < window.size()) break;
    }
    stream->SetPosition(saved);
    return found;
}

std::int64_t TZADirManager::scanForward(std::int64_t position, std::uint32_t signature, std::size_t window,
                                        std::size_t minimumAfter) {
    const std::int64_t saved = ArchiveStream->GetPosition();
    const std::int64_t size = ArchiveStream->GetSize();
    unsigned char sig[4];
    storeLE32(sig, signature);
    std::vector<unsigned char> buffer(window);
    std::int64_t result = -1;
    for (std::int64_t start = position; start < size; start += static_cast<std::int64_t>(window) - 4) {
        ArchiveStream->SetPosition(start);
        const std::size_t got = ArchiveStream->Read(buffer.data(), buffer.size());
        if (got < 4) break;
        const unsigned char* hit = nullptr;
        for (std::size_t i = 0; i + 4 <= got; ++i) {
            if (buffer[i] == sig[0] && std::memcmp(&buffer[i], sig, 4) == 0) {
                hit = &buffer[i];
                break;
            }
        }
        if (hit != nullptr) {
            const std::int64_t at = start + (hit - buffer.data());
            if (size - at >= static_cast<std::int64_t>(minimumAfter)) result = at;
            break;
        }
        if (got < buffer.size()) break;
    }
    ArchiveStream->SetPosition(saved);
    return result;
}

std::int64_t TZADirManager::FindLocalFileHeader(std::int64_t position) {
    return scanForward(position, localSignature(), 65535, TZAZipFileHeader::kSize);
}

std::string TZADirManager::loadName(const unsigned char* bytes, std::size_t length, std::uint16_t flags) const {
    std::size_t n = 0;
    while (n < length && n < 999 && bytes[n] != 0) ++n;
    std::string name(reinterpret_cast<const char*>(bytes), n);
    // Flag bit 11: the writer stored UTF-8 (Python and 7-Zip do for names beyond ASCII); reading
    // those bytes as OEM would garble every such name.
    if ((flags & 0x0800) != 0) {
        name = ZAUtf8ToAnsi(name);
    } else if (Archiver->Options.OEMFileNames) {
        name = ZAOemToAnsi(name);
    }
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

namespace {

// Entries whose data regions overlap are a forged archive: one small region named by many entries
// writes far more than the archive holds. A sound archive places each entry's local header at or
// behind the end of the previous entry's data, so the region checked here (header offset plus
// compressed size, on its volume) is a lenient bound. The regions are noted as the entries are
// read, before the stub's length is known, so each keeps the fields its start comes from.
class TOverlapCheck {
public:
    // Room for every entry the directory's bytes can hold, taken at once: growing the list would
    // hold it twice for a moment.
    void reserve(std::uint64_t entries, std::int64_t directoryBytes) {
        const std::uint64_t fit = directoryBytes > 0 ? static_cast<std::uint64_t>(directoryBytes) / TZAZipCentralDir::kSize : 0;
        regions_.reserve(static_cast<std::size_t>(std::min(entries, fit)));
    }
    void note(const TDirItem& item) {
        const std::int64_t size = item.GetCompressedSize();
        if (size <= 0) return;
        // A folder keeps its offset when the stub's length is added: its size is noted negative.
        regions_.push_back({item.GetDiskNumberStart(), item.RelativeOffsetOfLocalHeader,
                            item.Zip64Info.RelativeOffsetOfLocalHeader, item.IsFolder() ? -size : size});
    }
    // shift: what ApplyStubOffset added to the offsets of the items that are not folders.
    void check(std::uint32_t shift, const TZABaseArchiver* archiver) {
        // Each region becomes its span in place: first the start, second the end.
        std::size_t kept = 0;
        for (const TRegion& r : regions_) {
            const bool folder = r.second < 0;
            const std::int64_t size = folder ? -r.second : r.second;
            const std::uint32_t offset = folder ? r.offset : r.offset + shift;
            const std::int64_t start = offset == 0xFFFFFFFF ? r.first : static_cast<std::int64_t>(offset);
            if (start < 0) continue;
            regions_[kept++] = {r.volume, 0, start, size > INT64_MAX - start ? INT64_MAX : start + size};
        }
        regions_.resize(kept);
        std::sort(regions_.begin(), regions_.end(), [](const TRegion& a, const TRegion& b) {
            return a.volume != b.volume ? a.volume < b.volume : a.first < b.first;
        });
        for (std::size_t i = 1; i < regions_.size(); ++i)
            if (regions_[i].volume == regions_[i - 1].volume && regions_[i].first < regions_[i - 1].second)
                throw EZAException(TZANativeError::ArchiveDamaged, archiver);
    }

private:
    struct TRegion {
        std::uint32_t volume;
        std::uint32_t offset;  // RelativeOffsetOfLocalHeader as read
        std::int64_t first;  // the ZIP64 offset as read; the start once checked
        std::int64_t second;  // the compressed size, negative for a folder; the end once checked
    };
    std::vector<TRegion> regions_;
};

} // namespace

void TZADirManager::LoadDir() {
    InitCentralDirEnd();
    StubSize = 0;
    IsZip64 = false;
    std::int64_t e = -1;
    bool found = false;
    TZAZipCentralDirEnd record;
    if (Archiver->UseZipSignatures) {
        found = GetCentralDirEnd(record, e, kEndSignature);
    } else {
        found = GetCentralDirEnd(record, e, kVariantEndSignature) || GetCentralDirEnd(record, e, kEndSignature);
    }
    const bool spanning = Archiver->GetSpanningMode() != smNone;
    if (!found) {
        if (spanning) throw EZAException(TZANativeError::VolumeEndMissing, Archiver);
        rebuildFromLocalHeaders();
        CentralDirOffset = ArchiveStream->GetSize();
        return;
    }
    CentralDirEnd = record;

    if (e > 20) {
        unsigned char locator[TZAZip64CentralDirEndLocator::kSize];
        ArchiveStream->SetPosition(e - 20);
        ArchiveStream->ReadBuffer(locator, sizeof locator);
        TZAZip64CentralDirEndLocator read;
        if (ReadRecord(locator, sizeof locator, read) && read.Signature == kZip64LocatorSignature) {
            Zip64Locator = read;
            IsZip64 = true;
            e -= 20;
        }
    }
    if (IsZip64) {
        bool ok = false;
        if (e > 56) {
            unsigned char end64[TZAZip64CentralDirEnd::kSize];
            const auto at = static_cast<std::int64_t>(Zip64Locator.RelativeOffsetOfTheZip64CentralDirEnd);
            if (at >= 0 && at + 56 <= ArchiveStream->GetSize()) {
                ArchiveStream->SetPosition(at);
                ArchiveStream->ReadBuffer(end64, sizeof end64);
                TZAZip64CentralDirEnd read;
                if (ReadRecord(end64, sizeof end64, read) && read.Signature == kZip64EndSignature) {
                    Zip64CentralDirEnd = read;
                    e -= 56;
                    ok = true;
                }
            }
        }
        if (!ok) throw EZAException(TZANativeError::Zip64EndMissing, Archiver);
    }

    int first = 0, last = 0;
    if (IsZip64) {
        first = static_cast<int>(Zip64CentralDirEnd.NumberOfTheDiskWithTheStartOfTheCentralDirectory);
        last = static_cast<int>(Zip64Locator.TotalNumberOfDisks) - 1;
    } else {
        if (CentralDirEnd.NumberOfThisDisk == 0xFFFF) CentralDirEnd.NumberOfThisDisk = 0;
        if (CentralDirEnd.NumberOfTheDiskWithTheStartOfTheCentralDirectory == 0xFFFF) {
            CentralDirEnd.NumberOfTheDiskWithTheStartOfTheCentralDirectory = 0;
        }
        first = CentralDirEnd.NumberOfTheDiskWithTheStartOfTheCentralDirectory;
        last = CentralDirEnd.NumberOfThisDisk;
    }
    Volume.LastVolumeNumber = last;
    Volume.SetVolumeNumber(first);
    if (spanning) OpenVolume(&Volume);

    // The directory ends where the end records begin. A forged size larger than what precedes
    // them (a 64-bit one can be anything) gives a negative position, refused below, and must not
    // overflow on the way.
    const auto startBefore = [&](std::uint64_t size) -> std::int64_t {
        return e < 0 || size > static_cast<std::uint64_t>(e) ? -1 : e - static_cast<std::int64_t>(size);
    };
    const auto startAt = [](std::uint64_t offset) -> std::int64_t {
        return offset > static_cast<std::uint64_t>(INT64_MAX) ? -1 : static_cast<std::int64_t>(offset);
    };
    std::int64_t position = 0;
    std::uint64_t total = 0;
    if (IsZip64) {
        position = spanning ? startAt(Zip64CentralDirEnd.OffsetOfStartOfCentralDirectory)
                            : startBefore(Zip64CentralDirEnd.SizeOfTheCentralDirectory);
        total = Zip64CentralDirEnd.TotalNumberOfEntries;
    } else {
        position = spanning ? startAt(CentralDirEnd.OffsetOfStartOfCentralDirectory)
                            : startBefore(CentralDirEnd.SizeOfTheCentralDirectory);
        total = CentralDirEnd.TotalNumberOfEntries;
    }
    // More entries than an int counts cannot be loaded; the reads would run out long before.
    if (total > 0x7FFFFFFF || position < 0) throw EReadError("Stream read error");
    walk_ = {position, total, first, spanning};
    // Spanned sets keep their items: reading them again would ask for every volume again.
    itemsKept_ = KeepItems || spanning;

    TOverlapCheck overlaps;
    overlaps.reserve(total, e - position);
    TDirItem firstItem;
    bool haveFirst = false;
    std::uint32_t firstDataOffset = 0;
    bool haveData = false;
    walkDirectory(true, [&](TDirItem& item) {
        overlaps.note(item);
        if (!haveFirst) {
            firstItem = item;
            haveFirst = true;
        }
        if (!haveData && item.CompressedSize > 0) {
            firstDataOffset = item.RelativeOffsetOfLocalHeader;
            haveData = true;
        }
    });

    if (last == 0) calculateStubSize(e, haveFirst ? &firstItem : nullptr);
    stubShifted_ = haveData && static_cast<std::int64_t>(firstDataOffset) < StubSize;
    if (stubShifted_) ApplyStubOffset();
    overlaps.check(stubShifted_ ? static_cast<std::uint32_t>(StubSize) : 0u, Archiver);
}

void TZADirManager::walkDirectory(bool loading, const std::function<void(TDirItem&)>& each) {
    if (!loading) {
        Volume.SetVolumeNumber(walk_.firstVolume);
        if (walk_.spanning) OpenVolume(&Volume);
    }
    ArchiveStream->SetPosition(walk_.position);
    // The array grows as entries arrive, so a forged entry count costs nothing until read.
    std::vector<unsigned char> variable;
    TDirItem passing;  // the item handed on when items are not kept
    for (std::uint64_t k = 0; k < walk_.total; ++k) {
        if (walk_.spanning && ArchiveStream->GetSize() - ArchiveStream->GetPosition() < 46) {
            Volume.SetVolumeNumber(Volume.VolumeNumber + 1);
            OpenVolume(&Volume);
            ArchiveStream->SetPosition(0);
        }
        if (k == 0 && loading) CentralDirOffset = ArchiveStream->GetPosition();
        TDirItem* item = &passing;
        if (loading && itemsKept_) {
            const int index = CentralDir.GetCount();
            CentralDir.SetCount(index + 1);
            item = CentralDir.GetItemPtr(index);
        } else {
            passing.ExtraFields.clear();
            passing.HasZip64Info = false;
            passing.Zip64Info = {};
        }
        // A first reading that keeps nothing needs no names: they are read again when handed out.
        readEntry(*item, variable, !loading || itemsKept_);
        if (!loading && stubShifted_ && !item->IsFolder())
            item->RelativeOffsetOfLocalHeader += static_cast<std::uint32_t>(StubSize);
        each(*item);
    }
}

void TZADirManager::readEntry(TDirItem& item, std::vector<unsigned char>& variable, bool names) {
    TZAZipCentralDir header;
    ReadRecordFrom(*ArchiveStream, header);
    static_cast<TZAZipCentralDir&>(item) = header;
    const std::size_t variableSize =
        static_cast<std::size_t>(item.FileNameLength) + item.ExtraFieldLength + item.FileCommentLength;
    variable.resize(variableSize);
    ArchiveStream->ReadBuffer(variable.data(), variableSize);
    const unsigned char* cursor = variable.data();
    if (names) {
        item.FileName = loadName(cursor, item.FileNameLength, item.GeneralPurposeBitFlag);
        item.RawFileName.assign(reinterpret_cast<const char*>(cursor), item.FileNameLength);
        item.LoadedFileName = item.FileName;
    }
    cursor += item.FileNameLength;

    if (item.ExtraFieldLength > 0) {
        item.HasZip64Info = false;
        // A last block header that does not fit (fewer than 4 bytes left) is dropped, and a
        // block claiming more than is left keeps what is left: nothing outside this entry's
        // own extra field is ever read.
        TZACursor extra = TZACursor::Reader(cursor, item.ExtraFieldLength);
        TZAExtraFieldHeader head;
        while (extra.Left() >= TZAExtraFieldHeader::kSize && ReadRecord(extra, head)) {
            TZAExtraFieldDataBlock block;
            block.HeaderID = head.HeaderID;
            block.DataSize = static_cast<std::uint16_t>(std::min<std::size_t>(head.DataSize, extra.Left()));
            const unsigned char* data = extra.Take(block.DataSize);
            block.Data.assign(data, data + block.DataSize);
            if (block.HeaderID == kZip64ExtraId) {
                TZACursor values = TZACursor::Reader(block.Data.data(), block.Data.size());
                Zip64InfoFields(item.Zip64Info, TZAZip64Present::Of(item), values);
                item.HasZip64Info = true;
            }
            item.ExtraFields.push_back(std::move(block));
        }
    }
    cursor += item.ExtraFieldLength;
    if (names) item.FileComment.assign(reinterpret_cast<const char*>(cursor), item.FileCommentLength);
}

void TZADirManager::ForEachItem(const std::function<void(const TDirItem&)>& each) {
    if (itemsKept_) {
        for (int i = 0; i < CentralDir.GetCount(); ++i) each(*std::as_const(CentralDir).GetItemPtr(i));
        return;
    }
    walkDirectory(false, [&](TDirItem& item) { each(item); });
}

void TZADirManager::CalculateStubSize(std::int64_t endPosition) {
    calculateStubSize(endPosition, CentralDir.GetCount() == 0 ? nullptr : std::as_const(CentralDir).GetItemPtr(0));
}

void TZADirManager::calculateStubSize(std::int64_t endPosition, const TDirItem* firstItem) {
    const std::uint64_t entries = IsZip64 ? Zip64CentralDirEnd.TotalNumberOfEntries : CentralDirEnd.TotalNumberOfEntries;
    if (entries == 0 || firstItem == nullptr) {
        StubSize = endPosition;
        return;
    }
    const TDirItem& first = *firstItem;
    std::int64_t position = first.RelativeOffsetOfLocalHeader == 0xFFFFFFFF
                                ? first.Zip64Info.RelativeOffsetOfLocalHeader
                                : static_cast<std::int64_t>(first.RelativeOffsetOfLocalHeader);
    const std::int64_t size = ArchiveStream->GetSize();
    char sig[4];
    storeLE32(sig, localSignature());
    while (position >= 0 && position < size) {
        std::int64_t p = position;
        if (!FindSignature(ArchiveStream, p, sig, 4)) break;
        if (size - p >= static_cast<std::int64_t>(TZAZipFileHeader::kSize)) {
            TZAZipFileHeader local;
            ArchiveStream->SetPosition(p);
            ReadRecordFrom(*ArchiveStream, local);
            const bool nameFits = size - p - static_cast<std::int64_t>(TZAZipFileHeader::kSize) >= local.FileNameLength;
            const bool knownSignature =
                local.Signature == kLocalHeaderSignature || local.Signature == kVariantLocalHeaderSignature;
            if (nameFits && knownSignature && local.VersionNeededToExtract == first.VersionNeededToExtract &&
                local.CompressionMethod == first.CompressionMethod && local.LastModFileTime == first.LastModFileTime &&
                local.LastModFileDate == first.LastModFileDate && local.Crc32 == first.Crc32 &&
                local.CompressedSize == first.CompressedSize && local.UncompressedSize == first.UncompressedSize) {
                StubSize = p;
                return;
            }
        }
        position = p + 1;
    }
}

void TZADirManager::ApplyStubOffset() {
    for (int i = 0; i < CentralDir.GetCount(); ++i) {
        TDirItem& item = *CentralDir.GetItemPtr(i);
        if (!item.IsFolder()) item.RelativeOffsetOfLocalHeader += static_cast<std::uint32_t>(StubSize);
    }
}

void TZADirManager::rebuildFromLocalHeaders() {
    std::int64_t p = FindLocalFileHeader(0);
    if (p == -1) throw EZAException(TZANativeError::NoLocalHeader, Archiver);
    const std::int64_t size = ArchiveStream->GetSize();
    while (p != -1) {
        TZAZipFileHeader local;
        ArchiveStream->SetPosition(p);
        ReadRecordFrom(*ArchiveStream, local);
        if (static_cast<std::int64_t>(local.CompressedSize) < size && local.ExtraFieldLength <= 260) {
            const int index = CentralDir.GetCount();
            CentralDir.SetCount(index + 1);
            TDirItem& item = *CentralDir.GetItemPtr(index);
            item.Signature = centralSignature();
            item.VersionMadeBy = local.VersionNeededToExtract;
            item.VersionNeededToExtract = local.VersionNeededToExtract;
            item.GeneralPurposeBitFlag = local.GeneralPurposeBitFlag;
            item.CompressionMethod = local.CompressionMethod;
            item.LastModFileTime = local.LastModFileTime;
            item.LastModFileDate = local.LastModFileDate;
            item.Crc32 = local.Crc32;
            item.CompressedSize = local.CompressedSize;
            item.UncompressedSize = local.UncompressedSize;
            item.FileNameLength = local.FileNameLength;
            item.ExtraFieldLength = local.ExtraFieldLength;
            const bool descriptor = (local.GeneralPurposeBitFlag & 0x0008) != 0;
            item.ExternalFileAttributes = (local.UncompressedSize != 0 || descriptor) ? 0x20 : 0x10;
            item.RelativeOffsetOfLocalHeader = static_cast<std::uint32_t>(p);
            const std::size_t nameLength = std::min<std::size_t>(local.FileNameLength, 999);
            if (size - p - static_cast<std::int64_t>(TZAZipFileHeader::kSize) >= static_cast<std::int64_t>(nameLength)) {
                std::vector<unsigned char> name(nameLength);
                ArchiveStream->ReadBuffer(name.data(), nameLength);
                item.FileName = loadName(name.data(), nameLength, local.GeneralPurposeBitFlag);
                item.RawFileName.assign(reinterpret_cast<const char*>(name.data()), nameLength);
                item.LoadedFileName = item.FileName;
                // Empty files have no data either; only the trailing "/" tells a folder.
                if (!item.FileName.empty()) item.ExternalFileAttributes = item.FileName.back() == '/' ? 0x10 : 0x20;
            }
            if (descriptor) {
                const std::int64_t d = scanForward(p, kDataDescriptorSignature, 65535, TZADataDescriptor::kSize);
                if (d != -1) {
                    TZADataDescriptor found;
                    ArchiveStream->SetPosition(d);
                    ReadRecordFrom(*ArchiveStream, found);
                    item.Crc32 = found.Crc32;
                    item.CompressedSize = found.CompressedSize;
                    item.UncompressedSize = found.UncompressedSize;
                }
            }
        }
        p = FindLocalFileHeader(p + 4);
    }
}

bool TZADirManager::IsSFXArchive() const {
    return CentralDir.GetCount() > 0 && CentralDir.GetItemPtr(0)->RelativeOffsetOfLocalHeader != 0;
}

bool TZADirManager::IsEncrypted() const {
    return CentralDir.GetCount() > 0 && (CentralDir.GetItemPtr(0)->GeneralPurposeBitFlag & 1) != 0;
}

void TZADirManager::OpenVolume(TZAVolumeNumberInfo* volume) {
    if (IsCustomStream || !VolumeOpener) return;
    ArchiveStream = VolumeOpener(*volume);
}

std::string TZADirManager::EncodeName(TDirItem& item) const {
    std::string name = item.FileName;
    if (!item.RawFileName.empty() && item.FileName == item.LoadedFileName) return item.RawFileName;
    if ((item.GeneralPurposeBitFlag & 0x0800) == 0) {
        if (!Archiver->Options.OEMFileNames) return name;
        const std::string oem = ZAAnsiToOem(name);
        if (ZAOemToAnsi(oem) == name) return oem;
        // The OEM code page lacks a character: UTF-8 keeps it, and readers know it by bit 11.
        item.GeneralPurposeBitFlag |= 0x0800;
    }
    return zaos::ansiToUtf8(name);
}

void TZADirManager::SetZip64Extra(TDirItem& item) {
    const TZAZip64Present present = TZAZip64Present::Of(item);
    std::vector<unsigned char> data(present.Size());
    TZACursor values = TZACursor::Writer(data.data(), data.size());
    Zip64InfoFields(std::as_const(item.Zip64Info), present, values);
    std::erase_if(item.ExtraFields, [](const TZAExtraFieldDataBlock& b) { return b.HeaderID == kZip64ExtraId; });
    item.HasZip64Info = !data.empty();
    if (data.empty()) return;
    TZAExtraFieldDataBlock block;
    block.HeaderID = kZip64ExtraId;
    block.DataSize = static_cast<std::uint16_t>(data.size());
    block.Data = std::move(data);
    item.ExtraFields.insert(item.ExtraFields.begin(), std::move(block));
}

std::vector<unsigned char> TZADirManager::BuildCentralRecord(TDirItem& stored) const {
    const std::string name = EncodeName(stored);
    std::size_t extraSize = 0;
    for (const TZAExtraFieldDataBlock& block : stored.ExtraFields) extraSize += TZAExtraFieldHeader::kSize + block.Data.size();
    TZAZipCentralDir header = stored;
    header.FileNameLength = static_cast<std::uint16_t>(name.size());
    header.ExtraFieldLength = static_cast<std::uint16_t>(extraSize);
    header.FileCommentLength = static_cast<std::uint16_t>(stored.FileComment.size());
    // Sized once: g++ 12 sees out-of-bounds copies in growing inserts that cannot happen.
    std::vector<unsigned char> record(TZAZipCentralDir::kSize + name.size() + extraSize + stored.FileComment.size());
    TZACursor out = TZACursor::Writer(record.data(), record.size());
    WriteRecord(out, header);
    out.Put(name.data(), name.size());
    for (const TZAExtraFieldDataBlock& block : stored.ExtraFields) {
        WriteRecord(out, TZAExtraFieldHeader{block.HeaderID, static_cast<std::uint16_t>(block.Data.size())});
        out.Put(block.Data.data(), block.Data.size());
    }
    out.Put(stored.FileComment.data(), stored.FileComment.size());
    return record;
}

// Written in one buffer and then in one write, so a failure leaves nothing half-known: the
// caller's rollback restores the old bytes.
void TZADirManager::SaveDir(bool, TStream* stream) {
    TStream* out = stream != nullptr ? stream : ArchiveStream;
    const std::int64_t start = CentralDir.GetCount() == 0 && out->GetSize() == 0 ? 0 : CentralDirOffset;
    std::vector<unsigned char> buffer;
    bool zip64 = Archiver->GetZip64Mode() == zmAlways;
    for (int i = 0; i < CentralDir.GetCount(); ++i) {
        TDirItem& stored = *CentralDir.GetItemPtr(i);
        if (stored.HasZip64Info) zip64 = true;
        const std::vector<unsigned char> record = BuildCentralRecord(stored);
        buffer.insert(buffer.end(), record.begin(), record.end());
    }
    const auto size = static_cast<std::int64_t>(buffer.size());
    const std::int64_t count = CentralDir.GetCount();
    if (count >= 0xFFFF || start >= 0xFFFFFFFF || size >= 0xFFFFFFFF) zip64 = true;
    if (zip64 && Archiver->GetZip64Mode() == zmDisabled && (count >= 0xFFFF || start >= 0xFFFFFFFF)) {
        throw EZAException(TZANativeError::Zip64NotEnabled, Archiver);
    }
    if (zip64) {
        TZAZip64CentralDirEnd end64;
        end64.Signature = kZip64EndSignature;
        end64.SizeOfZip64CentralDirEnd = TZAZip64CentralDirEnd::kSize - 12;  // what follows this field
        end64.VersionMadeBy = 45;
        end64.VersionNeededToExtract = 45;
        end64.TotalNumberOfEntriesOnThisDisk = static_cast<std::uint64_t>(count);
        end64.TotalNumberOfEntries = static_cast<std::uint64_t>(count);
        end64.SizeOfTheCentralDirectory = static_cast<std::uint64_t>(size);
        end64.OffsetOfStartOfCentralDirectory = static_cast<std::uint64_t>(start);
        TZAZip64CentralDirEndLocator locator;
        locator.Signature = kZip64LocatorSignature;
        locator.RelativeOffsetOfTheZip64CentralDirEnd = static_cast<std::uint64_t>(start + size);
        locator.TotalNumberOfDisks = 1;
        unsigned char record[TZAZip64CentralDirEnd::kSize + TZAZip64CentralDirEndLocator::kSize];
        TZACursor records = TZACursor::Writer(record, sizeof record);
        WriteRecord(records, end64);
        WriteRecord(records, locator);
        buffer.insert(buffer.end(), record, record + sizeof record);
    }
    CentralDirEnd.Signature = endSignature();
    CentralDirEnd.NumberOfThisDisk = 0;
    CentralDirEnd.NumberOfTheDiskWithTheStartOfTheCentralDirectory = 0;
    CentralDirEnd.TotalNumberOfEntries = static_cast<std::uint16_t>(count >= 0xFFFF ? 0xFFFF : count);
    CentralDirEnd.TotalNumberOfEntriesOnThisDisk = CentralDirEnd.TotalNumberOfEntries;
    CentralDirEnd.SizeOfTheCentralDirectory = static_cast<std::uint32_t>(size >= 0xFFFFFFFF ? 0xFFFFFFFF : size);
    // Loading shifted the item offsets to count from the start of the file; the directory's does too.
    CentralDirEnd.OffsetOfStartOfCentralDirectory = static_cast<std::uint32_t>(start >= 0xFFFFFFFF ? 0xFFFFFFFF : start);
    CentralDirEnd.ZipfileCommentLength = static_cast<std::uint16_t>(std::min<std::size_t>(ArchiveComment.size(), 65535));
    unsigned char record[TZAZipCentralDirEnd::kSize];
    WriteRecord(record, sizeof record, CentralDirEnd);
    buffer.insert(buffer.end(), record, record + sizeof record);
    buffer.insert(buffer.end(), ArchiveComment.begin(), ArchiveComment.begin() + CentralDirEnd.ZipfileCommentLength);
    out->SetPosition(start);
    out->WriteBuffer(buffer.data(), buffer.size());
    out->SetSize(out->GetPosition());
    IsZip64 = zip64;
}

} // namespace tarnwick
