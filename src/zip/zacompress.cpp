// Item compression: one source stream becomes an item's data (stored or raw deflate, enciphered
// when the item has a password), with its CRC-32, sizes and ZIP64 data.
#include <algorithm>
#include <random>
#include <vector>

#include "zip/zacrypt.h"
#include "zip/zazlib.h"
#include "zip/ziparchiver_shared.h"

namespace tarnwick {
namespace {

std::int64_t inputBlockSize(int mode) {
    if (mode >= 1 && mode <= 3) return 524288;
    if (mode >= 7) return 1572864;
    return 1048576;
}

// Encryption headers need unpredictable bytes; tests inject a fixed source instead.
class SystemRandom final : public TZARandomSource {
public:
    void Fill(unsigned char* bytes, int count) override {
        for (int i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>(device_() & 0xFF);
    }

private:
    std::random_device device_;
};

} // namespace

bool TZABaseArchiver::InternalCompressFile(TStream* source, TStream* archive, TDirItem& item) {
    source->SetPosition(0);
    const std::int64_t total = source->GetSize();
    const int mode = item.CompressionLevel;
    const std::int64_t blockSize = inputBlockSize(mode);
    const bool encrypted = !item.Password.empty();
    const auto operation = static_cast<TZAProcessOperation>(item.Operation);
    FileBytesTotal = static_cast<double>(total);
    FileBytesDone = 0;
    std::int64_t consumed = 0;
    std::int64_t compressed = 0;
    std::uint32_t crc = 0xFFFFFFFF;
    std::int64_t keys[3] = {0, 0, 0};

    if (UseZipSignatures) {
        std::vector<unsigned char> input(static_cast<std::size_t>(std::min(blockSize, std::max<std::int64_t>(total, 1))));
        if (encrypted) {
            // The header ends with the CRC, and it precedes the data: one pass only for the CRC.
            for (std::int64_t done = 0; done < total;) {
                const std::size_t n = source->Read(input.data(), static_cast<std::size_t>(std::min(blockSize, total - done)));
                if (n == 0) break;
                crc = ZACrc32Update(crc, input.data(), static_cast<long long>(n));
                done += static_cast<std::int64_t>(n);
            }
            source->SetPosition(0);
            unsigned char header[12];
            SystemRandom system;
            ZipMakeEncryptionHeader(item.Password, ~crc, randomSource_ != nullptr ? *randomSource_ : system, keys, header);
            archive->WriteBuffer(header, sizeof header);
            compressed += 12;
        }
        std::unique_ptr<TZADeflater> deflater;
        if (mode != 0) {
            deflater = std::make_unique<TZADeflater>(mode);
            if (!deflater->Ok()) throw EZAException(TZANativeError::CompressedSize, {total, std::int64_t{0}}, this);
        }
        std::vector<unsigned char> output;
        while (consumed < total) {
            FileBytesDone = static_cast<double>(consumed);
            if (ProgressEnabled) {
                const double share = total > 0 ? FileBytesDone / FileBytesTotal : 0;
                DoOnFileProgress(item.SourceFileName, share * 100, operation, ppProcess, Cancel);
                if (Cancel) break;
                const double overall = SelectedFileCount > 0 ? (share + ProcessedFileCount) / SelectedFileCount * 100 : 0;
                DoOnOverallProgress(overall, operation, ppProcess, Cancel);
                if (Cancel) break;
            }
            const std::int64_t want = std::min(blockSize, total - consumed);
            const std::size_t got = source->Read(input.data(), static_cast<std::size_t>(want));
            if (got != static_cast<std::size_t>(want)) break;
            if (!encrypted) crc = ZACrc32Update(crc, input.data(), want);
            const bool last = consumed + want == total;
            output.clear();
            if (mode == 0) {
                output.assign(input.begin(), input.begin() + want);
            } else if (!deflater->Deflate(input.data(), got, last, output)) {
                throw EZAException(TZANativeError::CompressedSize, {total, consumed}, this);
            }
            if (encrypted) ZipEncryptBuffer(static_cast<int>(output.size()), 0, reinterpret_cast<char*>(output.data()), keys);
            if (archive->Write(output.data(), output.size()) != output.size()) break;
            consumed += want;
            compressed += static_cast<std::int64_t>(output.size());
        }
    }

    if (consumed < total) {
        if (Cancel) return false;
        throw EZAException(TZANativeError::CompressedSize, {total, consumed}, this);
    }
    FileBytesDone = static_cast<double>(consumed);
    item.Crc32 = ~crc;
    if (total == 0) {
        item.CompressionMethod = 0;
        item.Crc32 = 0;
    }
    item.HasZip64Info = false;
    item.Zip64Info.CompressedSize = compressed;
    item.Zip64Info.UncompressedSize = total;
    const bool always = Zip64Mode == zmAlways;
    item.CompressedSize = (compressed >= 0xFFFFFFFF || always) ? 0xFFFFFFFF : static_cast<std::uint32_t>(compressed);
    item.UncompressedSize = (total >= 0xFFFFFFFF || always) ? 0xFFFFFFFF : static_cast<std::uint32_t>(total);
    const bool needed = item.CompressedSize == 0xFFFFFFFF || item.UncompressedSize == 0xFFFFFFFF;
    if (needed) {
        if (Zip64Mode == zmDisabled) throw EZAException(TZANativeError::Zip64ItemNotEnabled, {item.SourceFileName}, this);
        item.HasZip64Info = true;
    }
    return true;
}

} // namespace tarnwick
