#include "cipher_sink.h"

namespace tarnwick::pack {

namespace {
constexpr std::size_t kBlock = 8;
constexpr std::size_t kChunk = 1 << 20;
} // namespace

void TMemorySink::write(const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    bytes.insert(bytes.end(), p, p + size);
}

TCipherSink::TCipherSink(std::FILE* out, const TMyBlowfish& cipher) : out_(out), cipher_(cipher) {
    buffer_.reserve(kChunk + kBlock);
}

void TCipherSink::write(const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    plainBytes_ += size;
    while (size > 0) {
        const std::size_t take = std::min(size, kChunk - buffer_.size());
        buffer_.insert(buffer_.end(), p, p + take);
        p += take;
        size -= take;
        if (buffer_.size() >= kChunk) flushWholeBlocks();
    }
}

void TCipherSink::flushWholeBlocks() {
    const std::size_t whole = buffer_.size() / kBlock * kBlock;
    if (whole == 0) return;
    cipher_.Encrypt_Bin(buffer_.data(), whole);
    if (std::fwrite(buffer_.data(), 1, whole, out_) != whole) failed_ = true;
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(whole));
}

void TCipherSink::finish() {
    flushWholeBlocks();
    const std::size_t rest = buffer_.size();
    buffer_.resize(kBlock, static_cast<unsigned char>(kBlock - rest));
    cipher_.Encrypt_Bin(buffer_.data(), kBlock);
    if (std::fwrite(buffer_.data(), 1, kBlock, out_) != kBlock) failed_ = true;
    buffer_.clear();
    if (std::fflush(out_) != 0) failed_ = true;
}

std::vector<unsigned char> encipherContainer(const std::vector<unsigned char>& plain, const TMyBlowfish& cipher) {
    std::vector<unsigned char> out = plain;
    const std::size_t rest = plain.size() % kBlock;
    out.resize(plain.size() - rest + kBlock, static_cast<unsigned char>(kBlock - rest));
    cipher.Encrypt_Bin(out.data(), out.size());
    return out;
}

bool decipherContainer(std::vector<unsigned char>& bytes, const TMyBlowfish& cipher) {
    if (bytes.empty() || bytes.size() % kBlock != 0) return false;
    cipher.Decrypt_Bin(bytes.data(), bytes.size());
    const unsigned char pad = bytes.back();
    if (pad < 1 || pad > kBlock) return false;
    for (std::size_t i = bytes.size() - pad; i < bytes.size(); ++i)
        if (bytes[i] != pad) return false;
    bytes.resize(bytes.size() - pad);
    return true;
}

} // namespace tarnwick::pack
