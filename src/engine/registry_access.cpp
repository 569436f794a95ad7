#include "engine/registry_access.h"

#include <cstring>
#include <vector>

namespace tarnwick {

TRegistryAccess::TRegistryAccess(HKEY root) : root_(root), readBuffer_(new char[kReadBufferSize]) {}

TRegistryAccess::~TRegistryAccess() {
    closeCurrent();
    delete[] readBuffer_;
}

void TRegistryAccess::closeCurrent() {
    if (current_ != nullptr) {
        RegCloseKey(current_);
        current_ = nullptr;
    }
}

void TRegistryAccess::SetRoot(HKEY root) {
    closeCurrent();
    root_ = root;
}

bool TRegistryAccess::OpenKey(const std::string& path) {
    closeCurrent();
    HKEY key = nullptr;
    LastError = RegOpenKeyExA(root_, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (LastError != ERROR_SUCCESS) return false;
    current_ = key;
    return true;
}

bool TRegistryAccess::CreateKey(const std::string& path) {
    closeCurrent();
    HKEY key = nullptr;
    char noClass[] = "";
    LastError = RegCreateKeyExA(root_, path.c_str(), 0, noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                &key, nullptr);
    if (LastError != ERROR_SUCCESS) return false;
    current_ = key;
    return true;
}

std::string TRegistryAccess::ReadString(const std::string& name) {
    if (current_ == nullptr) {
        LastError = ERROR_INVALID_HANDLE;
        return {};
    }
    DWORD type = REG_NONE;
    DWORD size = kReadBufferSize;
    LastError = RegQueryValueExA(current_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(readBuffer_), &size);
    if (LastError != ERROR_SUCCESS || type != REG_SZ) return {};
    // The data need not end with a zero byte; never look past what the call returned.
    const void* zero = std::memchr(readBuffer_, 0, size);
    return std::string(readBuffer_, zero != nullptr ? static_cast<const char*>(zero) - readBuffer_ : size);
}

bool TRegistryAccess::setValue(const std::string& name, DWORD type, const BYTE* data, DWORD size) {
    if (current_ == nullptr) {
        LastError = ERROR_INVALID_HANDLE;
        return false;
    }
    LastError = RegSetValueExA(current_, name.c_str(), 0, type, data, size);
    return LastError == ERROR_SUCCESS;
}

bool TRegistryAccess::WriteString(const std::string& name, const std::string& text) {
    return setValue(name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
}

bool TRegistryAccess::WriteExpandString(const std::string& name, const std::string& text) {
    return setValue(name, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                    static_cast<DWORD>(text.size() + 1));
}

bool TRegistryAccess::WriteMultiString(const std::string& name, const std::string& text) {
    std::vector<BYTE> data(text.begin(), text.end());
    data.push_back(0);
    data.push_back(0);
    return setValue(name, REG_MULTI_SZ, data.data(), static_cast<DWORD>(data.size()));
}

bool TRegistryAccess::WriteInteger(const std::string& name, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    const BYTE data[4] = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
                          static_cast<BYTE>(v >> 24)};
    return setValue(name, REG_DWORD, data, sizeof data);
}

bool TRegistryAccess::WriteBinary(const std::string& name, std::int32_t value) {
    const BYTE data = static_cast<BYTE>(value);
    return setValue(name, REG_BINARY, &data, 1);
}

bool TRegistryAccess::DeleteValue(const std::string& name) {
    if (current_ == nullptr) {
        LastError = ERROR_INVALID_HANDLE;
        return false;
    }
    LastError = RegDeleteValueA(current_, name.c_str());
    return LastError == ERROR_SUCCESS;
}

bool TRegistryAccess::DeleteKey(const std::string& name) {
    if (current_ == nullptr) {
        LastError = ERROR_INVALID_HANDLE;
        return false;
    }
    LastError = RegDeleteKeyA(current_, name.c_str());
    return LastError == ERROR_SUCCESS;
}

int TRegistryAccess::SubKeyCount() {
    DWORD count = 0;
    if (current_ == nullptr) {
        LastError = ERROR_INVALID_HANDLE;
        return -1;
    }
    LastError = RegQueryInfoKeyA(current_, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr);
    return LastError == ERROR_SUCCESS ? static_cast<int>(count) : -1;
}

int TRegistryAccess::ValueCount() {
    DWORD count = 0;
    if (current_ == nullptr) {
        LastError = ERROR_INVALID_HANDLE;
        return -1;
    }
    LastError = RegQueryInfoKeyA(current_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                                 nullptr, nullptr, nullptr);
    return LastError == ERROR_SUCCESS ? static_cast<int>(count) : -1;
}

} // namespace tarnwick
