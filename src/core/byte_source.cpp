#include "core/byte_source.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {

std::size_t TMemoryByteSource::Read(void* destination, std::size_t count) {
    const std::size_t n = std::min(count, bytes_.size() - position_);
    if (n > 0) std::memcpy(destination, bytes_.data() + position_, n);
    position_ += n;
    return n;
}

std::size_t TStdioByteSource::Read(void* destination, std::size_t count) {
    return file_ == nullptr ? 0 : std::fread(destination, 1, count, file_);
}

} // namespace tarnwick
