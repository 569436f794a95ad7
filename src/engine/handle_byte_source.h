// A byte source over a Win32 file handle that it does not own: the open package file that
// start-up reads the header from and the runs read on from.
#pragma once

#include "core/byte_source.h"

#include <windows.h>

namespace tarnwick {

class THandleByteSource final : public TByteSource {
public:
    explicit THandleByteSource(HANDLE file) : file_(file) {}
    std::size_t Read(void* destination, std::size_t count) override {
        std::size_t total = 0;
        auto* out = static_cast<unsigned char*>(destination);
        while (total < count) {
            DWORD got = 0;
            const DWORD ask = static_cast<DWORD>(count - total > 0x10000000 ? 0x10000000 : count - total);
            if (!ReadFile(file_, out + total, ask, &got, nullptr) || got == 0) break;
            total += got;
        }
        return total;
    }

private:
    HANDLE file_;
};

} // namespace tarnwick
