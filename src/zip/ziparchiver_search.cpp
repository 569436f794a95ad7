// Searching the directory: FindFirst/FindNext by the properties or by a mask, the attribute
// filter and the item test.
#include <algorithm>
#include <cstring>

#include "zip/zamasks.h"
#include "zip/zanameindex.h"
#include "zip/zastrfunc.h"
#include "zip/ziparchiver_shared.h"

namespace tarnwick {
namespace {

std::string_view withoutTrailingSeparator(std::string_view name) {
    while (!name.empty() && (name.back() == '/' || name.back() == '\\')) name.remove_suffix(1);
    return name;
}

std::string folderPart(const std::string& path) {
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The mask against the whole name or its last part. A search for one item runs this on every
// item of the archive, so a plain mask is matched on views, without copying the name.
bool matchesWholeOrName(std::string_view name, std::string_view mask) {
    if (mask == "*" || mask == "*.*") return true;  // what IsInternalFileMatchMask says of every name
    const bool plain = mask.find_first_of("*?") == std::string_view::npos;
    const auto matches = [&](std::string_view candidate) {
        return plain ? IsPlainFileMatchMask(candidate, mask)
                     : IsInternalFileMatchMask(std::string(candidate), std::string(mask));
    };
    if (matches(name)) return true;
    const std::size_t slash = name.find_last_of("/\\");
    return slash != std::string_view::npos && matches(name.substr(slash + 1));
}

} // namespace

bool TZABaseArchiver::CheckAttributesMatch(std::uint32_t attributes, int searchAttr) {
    // Read-only and archive bits never exclude; hidden, system, volume and folder must be asked for.
    const std::uint32_t restricted = attributes & (2u | 4u | 8u | 16u);
    return (restricted & ~static_cast<std::uint32_t>(searchAttr)) == 0;
}

bool TZABaseArchiver::FindFirst(TZAArchiveItem& item) {
    CheckInactive();
    item.InternalSearchRec.UseProperties = true;
    item.InternalSearchRec.SearchAttr = Options.SearchAttr;
    item.InternalSearchRec.Index = 0;
    return searchFrom(item);
}

bool TZABaseArchiver::FindFirst(const std::string& fileMask, TZAArchiveItem& item, const std::string& exclusionMask,
                                int searchAttr) {
    CheckInactive();
    PrepareSearch(fileMask, item, exclusionMask, searchAttr);
    return searchFrom(item);
}

void TZABaseArchiver::PrepareSearch(const std::string& fileMask, TZAArchiveItem& item, const std::string& exclusionMask,
                                    int searchAttr) const {
    std::string mask = fileMask;
    if (mask.size() >= 2 && mask[1] == ':' && Options.StorePath != spFullPathWithDrive) mask.erase(0, 2);
    std::replace(mask.begin(), mask.end(), '\\', '/');
    TInternalSearchRec& rec = item.InternalSearchRec;
    const std::size_t n = std::min<std::size_t>(mask.size(), sizeof rec.FileMask - 1);
    std::memcpy(rec.FileMask, mask.data(), n);
    rec.FileMask[n] = '\0';
    rec.ExclusionMask = exclusionMask;
    rec.SearchAttr = searchAttr;
    rec.UseProperties = false;
    rec.HasWildcards = mask.find_first_of("*?") != std::string::npos;
    rec.Index = 0;
}

bool TZABaseArchiver::FindNext(TZAArchiveItem& item) {
    CheckInactive();
    ++item.InternalSearchRec.Index;
    return searchFrom(item);
}

// Without Recurse only items in the mask's own folder qualify: that folder, lower-cased.
std::string TZABaseArchiver::searchMaskFolder(const TZAArchiveItem& item) const {
    if (Options.Recurse) return {};
    std::string mask = item.InternalSearchRec.FileMask;
    std::replace(mask.begin(), mask.end(), '/', '\\');
    return ZAAnsiLowerCase(folderPart(mask));
}

bool TZABaseArchiver::entrySelected(const TDirItem& entry, const TZAArchiveItem& item, const std::string& maskFolder) const {
    if (!Options.Recurse) {
        std::string name(withoutTrailingSeparator(entry.FileName));
        std::replace(name.begin(), name.end(), '/', '\\');
        if (ZAAnsiLowerCase(folderPart(name)) != maskFolder) return false;
    }
    return entryMatches(entry, item) && CheckAttributesMatch(entry.ExternalFileAttributes, item.InternalSearchRec.SearchAttr);
}

bool TZABaseArchiver::SearchSelects(const TDirItem& entry, const TZAArchiveItem& item) const {
    return entrySelected(entry, item, searchMaskFolder(item));
}

bool TZABaseArchiver::searchFrom(TZAArchiveItem& item) {
    const TZADirArray& dir = dirManager_->CentralDir;
    TInternalSearchRec& rec = item.InternalSearchRec;
    const std::string maskFolder = searchMaskFolder(item);
    const auto found = [&](int i) {
        if (!entrySelected(*dir.GetItemPtr(i), item, maskFolder)) return false;
        rec.Index = i;
        fillItem(i, item);
        return true;
    };
    const int from = std::max(rec.Index, 0);
    // A plain mask matches only names with its key, whole or by their last part: the index gives
    // those items, and each is then tested exactly as the scan would test it.
    const std::string_view mask(rec.FileMask);
    std::string key;
    if (!rec.UseProperties && !mask.empty() && mask.find_first_of("*?") == std::string_view::npos &&
        zadetail::directoryIndexes() && PlainMaskKey(mask, key)) {
        const std::vector<int>* items = dir.ItemsWithPlainKey(key);
        if (items == nullptr) return false;
        for (auto at = std::lower_bound(items->begin(), items->end(), from); at != items->end(); ++at)
            if (found(*at)) return true;
        return false;
    }
    for (int i = from; i < dir.GetCount(); ++i)
        if (found(i)) return true;
    return false;
}

bool TZABaseArchiver::IsItemMatches(int index, const TZAArchiveItem& item) {
    return entryMatches(*dirManager_->CentralDir.GetItemPtr(index), item);
}

bool TZABaseArchiver::entryMatches(const TDirItem& entry, const TZAArchiveItem& item) const {
    const TInternalSearchRec& rec = item.InternalSearchRec;
    if (rec.UseProperties) {
        std::string name = entry.FileName;
        std::replace(name.begin(), name.end(), '/', '\\');
        const bool selected = std::any_of(FileMasks.begin(), FileMasks.end(),
                                          [&](const std::string& m) { return IsInternalFileMatchMask(name, m); });
        return selected && std::none_of(ExclusionMasks.begin(), ExclusionMasks.end(),
                                        [&](const std::string& m) { return IsInternalFileMatchMask(name, m); });
    }
    const std::string_view name = withoutTrailingSeparator(entry.FileName);
    if (!matchesWholeOrName(name, rec.FileMask)) return false;
    return rec.ExclusionMask.empty() || !matchesWholeOrName(name, rec.ExclusionMask);
}

void TZABaseArchiver::fillItem(int index, TZAArchiveItem& item) const {
    const TDirItem& entry = *dirManager_->CentralDir.GetItemPtr(index);
    std::string name = entry.FileName;
    std::replace(name.begin(), name.end(), '/', '\\');
    while (!name.empty() && name.back() == '\\') name.pop_back();
    const std::size_t slash = name.find_last_of('\\');
    item.FileName = slash == std::string::npos ? name : name.substr(slash + 1);
    item.StoredPath = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
    item.CompressedSize = entry.GetCompressedSize();
    item.UncompressedSize = entry.GetUncompressedSize();
    if (item.UncompressedSize > 0) {
        const double rate = (1.0 - static_cast<double>(item.CompressedSize) / static_cast<double>(item.UncompressedSize)) * 100.0;
        item.CompressionRate = rate < 0 ? 0 : rate;
    } else {
        item.CompressionRate = 100;
    }
    item.Encrypted = (entry.GeneralPurposeBitFlag & 1) != 0;
    item.LastModFileDate = entry.LastModFileDate;
    item.LastModFileTime = entry.LastModFileTime;
    item.CRC = entry.Crc32;
    item.ExternalFileAttributes = entry.ExternalFileAttributes;
    item.Comment = entry.FileComment;
}

int TZABaseArchiver::GetFileCount() {
    CheckInactive();
    const bool recurse = Options.Recurse;
    Options.Recurse = true;
    int folders = 0;
    try {
        TZAArchiveItem item;
        for (bool found = FindFirst("*.*", item, "", kFolderAttr); found; found = FindNext(item)) {
            if ((item.ExternalFileAttributes & 0x10) != 0) ++folders;
        }
    } catch (...) {
        Options.Recurse = recurse;
        throw;
    }
    Options.Recurse = recurse;
    return dirManager_->CentralDir.GetCount() - folders;
}

} // namespace tarnwick
