// Writing multi-volume sets. The update first writes the archive whole, as a single file; when
// it does not fit the first volume it is cut into volumes here: every header and directory
// record whole on one volume (the reserve rule), item data running on across volumes, each
// volume asked for and checked for free space first. The last volume takes the archive's own
// name, the others the default volume names (archive.Z01, ... or archive_001.zip, ...).
#include <algorithm>
#include <limits>

#include "core/byte_order.h"
#include "zip/os/os.h"
#include "zip/ziparchiver_shared.h"

namespace tarnwick {
namespace {

constexpr std::uint32_t kSplitMarker = 0x08074B50;

std::string threeDigits(int number) {
    std::string text = std::to_string(number);
    return std::string(text.size() < 3 ? 3 - text.size() : 0, '0') + text;
}

} // namespace

void TZABaseArchiver::splitIntoVolumes() {
    TZADirManager& dm = *dirManager_;
    TZADirArray& dir = dm.CentralDir;
    TStream& whole = *archiveStream_;
    auto limitOf = [this](int number) {
        const std::int64_t limit = SpanningOptions.GetVolumeSize(number);
        if (limit > 0) return limit;
        const std::int64_t free = zaos::freeDriveSpace(FileName);
        return free > 0 ? free : std::numeric_limits<std::int64_t>::max();
    };
    if (whole.GetSize() <= limitOf(0)) return;  // one volume: a plain archive
    // Multi-volume end records have no ZIP64 form here.
    if (dir.GetCount() >= 0xFFFF) throw EZAException(TZANativeError::Zip64NotEnabled, this);

    std::vector<std::string> names;
    std::unique_ptr<TZAFileStream> out;
    int number = -1;
    std::int64_t limit = 0;
    std::int64_t used = 0;
    auto startVolume = [&] {
        out.reset();
        ++number;
        limit = SpanningOptions.GetVolumeSize(number);
        for (;;) {
            std::string name;
            bool cancel = false;
            DoOnRequestBlankVolume(number, name, cancel);
            if (cancel) throw EZAException(TZANativeError::VolumeAborted, this);
            const std::int64_t free = zaos::freeDriveSpace(name);
            if (free < 0 || (free > kMinimumVolumeFreeSpace && (limit <= 0 || free >= limit))) {
                if (limit <= 0) limit = free < 0 ? std::numeric_limits<std::int64_t>::max() : free;
                try {
                    out = std::make_unique<TZAFileStream>(name, 0xFFFF);
                } catch (const EFOpenError&) {
                    throw EZAException(TZANativeError::VolumeAborted, this);
                }
                names.push_back(name);
                break;
            }
            DoOnDiskFull(number + 1, name, cancel);
            if (cancel) throw EZAException(TZANativeError::VolumeAborted, this);
        }
        used = 0;
        if (spanningMode_ == smSpanning) zaos::setVolumeLabel(names.back(), "pkback# " + threeDigits(number + 1));
    };
    // Writes count bytes; reserve > 0 keeps them on one volume.
    auto write = [&](const unsigned char* bytes, std::int64_t count, std::int64_t reserve) {
        if (reserve > 0 && reserve > limit) throw EZAException(TZANativeError::VolumeWrite, this);
        if (reserve > 0 && limit - used < reserve) {
            if (spanningMode_ == smSpanning && Options.FlushBuffers) out->FlushToDevice();
            startVolume();
        }
        while (count > 0) {
            if (limit - used <= 0) startVolume();
            const std::int64_t n = std::min(count, limit - used);
            if (out->Write(bytes, static_cast<std::size_t>(n)) != static_cast<std::size_t>(n)) throw EZAException(TZANativeError::VolumeWrite, this);
            used += n;
            bytes += n;
            count -= n;
        }
    };
    auto copy = [&](std::int64_t from, std::int64_t count) {
        std::vector<unsigned char> buffer(1000000);
        whole.SetPosition(from);
        while (count > 0) {
            const auto n = static_cast<std::size_t>(std::min<std::int64_t>(count, static_cast<std::int64_t>(buffer.size())));
            whole.ReadBuffer(buffer.data(), n);
            write(buffer.data(), static_cast<std::int64_t>(n), -1);
            count -= static_cast<std::int64_t>(n);
        }
    };

    try {
        startVolume();
        unsigned char marker[4];
        storeLE32(marker, kSplitMarker);
        write(marker, 4, 4);
        for (int i = 0; i < dir.GetCount(); ++i) {
            TDirItem& item = *dir.GetItemPtr(i);
            const std::int64_t at = item.GetLocalHeaderOffset();
            TZAZipFileHeader local;
            whole.SetPosition(at);
            ReadRecordFrom(whole, local);
            const std::int64_t header = TZAZipFileHeader::kSize + local.FileNameLength + local.ExtraFieldLength;
            if (limit - used < header) startVolume();
            const std::int64_t offset = used;
            const int disk = number;
            copy(at, header);
            copy(at + header, item.GetCompressedSize());
            item.Zip64Info.RelativeOffsetOfLocalHeader = offset;
            item.Zip64Info.DiskNumberStart = static_cast<std::uint32_t>(disk);
            const bool wide = item.RelativeOffsetOfLocalHeader == 0xFFFFFFFF || offset >= 0xFFFFFFFF;
            item.RelativeOffsetOfLocalHeader = wide ? 0xFFFFFFFF : static_cast<std::uint32_t>(offset);
            item.DiskNumberStart = disk >= 0xFFFF ? 0xFFFF : static_cast<std::uint16_t>(disk);
            if (wide || disk >= 0xFFFF) TZADirManager::SetZip64Extra(item);
        }
        // The directory: every record whole; the end record with the comment on the last volume.
        std::vector<std::vector<unsigned char>> records;
        std::int64_t directorySize = 0;
        for (int i = 0; i < dir.GetCount(); ++i) {
            records.push_back(dm.BuildCentralRecord(*dir.GetItemPtr(i)));
            directorySize += static_cast<std::int64_t>(records.back().size());
        }
        const std::int64_t endSize = TZAZipCentralDirEnd::kSize + static_cast<std::int64_t>(std::min<std::size_t>(dm.ArchiveComment.size(), 65535));
        const std::int64_t firstRecord = records.empty() ? endSize : static_cast<std::int64_t>(records.front().size());
        if (limit - used < firstRecord) startVolume();
        const int directoryDisk = number;
        const std::int64_t directoryOffset = used;
        int entriesHere = 0;
        for (const auto& record : records) {
            const int before = number;
            write(record.data(), static_cast<std::int64_t>(record.size()), static_cast<std::int64_t>(record.size()));
            entriesHere = number == before ? entriesHere + 1 : 1;
        }
        if (limit - used < endSize) {
            startVolume();
            entriesHere = 0;
        }
        TZAZipCentralDirEnd& end = dm.CentralDirEnd;
        end.Signature = kEndSignature;
        end.NumberOfThisDisk = static_cast<std::uint16_t>(number);
        end.NumberOfTheDiskWithTheStartOfTheCentralDirectory = static_cast<std::uint16_t>(directoryDisk);
        end.TotalNumberOfEntriesOnThisDisk = static_cast<std::uint16_t>(entriesHere);
        end.TotalNumberOfEntries = static_cast<std::uint16_t>(dir.GetCount());
        end.SizeOfTheCentralDirectory = static_cast<std::uint32_t>(directorySize);
        end.OffsetOfStartOfCentralDirectory = static_cast<std::uint32_t>(directoryOffset);
        end.ZipfileCommentLength = static_cast<std::uint16_t>(endSize - TZAZipCentralDirEnd::kSize);
        std::vector<unsigned char> tail(TZAZipCentralDirEnd::kSize);
        WriteRecord(tail.data(), tail.size(), end);
        tail.insert(tail.end(), dm.ArchiveComment.begin(), dm.ArchiveComment.begin() + end.ZipfileCommentLength);
        write(tail.data(), static_cast<std::int64_t>(tail.size()), static_cast<std::int64_t>(tail.size()));
        if (Options.FlushBuffers) out->FlushToDevice();
        out.reset();
        // The last volume carries the archive's own name.
        {
            TZAFileStream last(names.back(), 0x40);
            whole.SetSize(0);
            whole.SetPosition(0);
            whole.CopyFrom(last, last.GetSize());
        }
        zaos::deleteFile(names.back());
    } catch (...) {
        out.reset();
        for (const std::string& name : names) zaos::deleteFile(name);
        throw;
    }
}

} // namespace tarnwick
