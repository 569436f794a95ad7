// TRegistryAccess: the setup program's one way into the Windows registry. One root key, at most
// one open key, ANSI names, and the platform's result of the last call in LastError. Nothing here
// raises or shows a message: the runs decide what a failure means.
#pragma once

#include <windows.h>

#include <string>

namespace tarnwick {

class TRegistryAccess {
public:
    explicit TRegistryAccess(HKEY root);
    ~TRegistryAccess();
    TRegistryAccess(const TRegistryAccess&) = delete;
    TRegistryAccess& operator=(const TRegistryAccess&) = delete;

    void SetRoot(HKEY root); // closes the open key
    HKEY Root() const { return root_; }

    // Both paths are relative to the root, never to the open key; an empty path opens the root.
    // The key is opened with full access. After a failure no key is open.
    bool OpenKey(const std::string& path);
    bool CreateKey(const std::string& path);
    bool HasOpenKey() const { return current_ != nullptr; }

    // Empty for a missing value, a value that is not REG_SZ and one longer than 512 bytes alike.
    std::string ReadString(const std::string& name);

    bool WriteString(const std::string& name, const std::string& text);       // REG_SZ, text + 1 zero
    bool WriteExpandString(const std::string& name, const std::string& text); // REG_EXPAND_SZ
    bool WriteMultiString(const std::string& name, const std::string& text);  // one string + 2 zeros
    bool WriteInteger(const std::string& name, std::int32_t value);           // REG_DWORD, 4 bytes LE
    bool WriteBinary(const std::string& name, std::int32_t value);            // REG_BINARY, low byte only

    bool DeleteValue(const std::string& name); // the empty name deletes the default value
    bool DeleteKey(const std::string& name);   // relative to the open key; refused while it has sub-keys

    int SubKeyCount(); // -1 when the query fails or no key is open
    int ValueCount();

    LONG LastError = ERROR_SUCCESS;

private:
    static constexpr DWORD kReadBufferSize = 512;

    void closeCurrent();
    bool setValue(const std::string& name, DWORD type, const BYTE* data, DWORD size);

    HKEY root_;
    HKEY current_ = nullptr;
    char* readBuffer_;
};

} // namespace tarnwick
