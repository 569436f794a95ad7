#include "engine/registry_entries.h"

#include "engine/registry_entry_rules.h"

namespace tarnwick {
namespace {

HKEY rootKey(std::uint32_t handle) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(handle))); // sign-extended, as windows.h defines them
}

void writeValue(TRegistryAccess& registry, const TRegistryRecord& record, const std::string& valueName,
                const TPlaceholderFolders& folders) {
    switch (record.valueKind) {
    case rvString:
        registry.WriteString(valueName == kDefaultValueName ? std::string() : valueName,
                             ExpandPlaceholders(record.data, folders));
        break;
    case rvBinaryDigits:
        registry.WriteBinary(valueName, binaryDigitsValue(record.data));
        break;
    case rvNumber:
        registry.WriteInteger(valueName, convertDecimalInteger(record.data));
        break;
    case rvMultiString:
        registry.WriteMultiString(valueName, ExpandPlaceholders(record.data, folders));
        break;
    case rvExpandString:
        registry.WriteExpandString(valueName, ExpandPlaceholders(record.data, folders));
        break;
    default:
        break;
    }
}

} // namespace

TRegistryApplyResult applyRegistryRecord(TRegistryAccess& registry, const TRegistryRecord& record,
                                         const TPlaceholderFolders& folders) {
    if (record.type != rrKey && record.type != rrValue) return TRegistryApplyResult::Done;
    if (record.type == rrValue && record.valueKind == rvNone) return TRegistryApplyResult::Done;
    const auto path = parseRegistryKeyPath(record.keyPath);
    if (!path) return TRegistryApplyResult::Done;
    registry.SetRoot(rootKey(path->rootHandle));

    if (record.type == rrKey) {
        if (path->subKeyPath.empty()) return TRegistryApplyResult::Done;
        return registry.CreateKey(path->subKeyPath) ? TRegistryApplyResult::Done : TRegistryApplyResult::KeyNotCreated;
    }
    const TRegistryValuePath value = splitValuePath(path->subKeyPath);
    registry.OpenKey(value.keyPath); // not tested: without a key the write fails silently
    writeValue(registry, record, value.valueName, folders);
    return TRegistryApplyResult::Done;
}

bool undoRegistryRecord(TRegistryAccess& registry, const TRegistryRecord& record) {
    if (record.type != rrValue || record.valueKind == rvNone) return false;
    const auto path = parseRegistryKeyPath(record.keyPath);
    if (!path) return false;
    registry.SetRoot(rootKey(path->rootHandle));

    const TRegistryValuePath value = splitValuePath(path->subKeyPath);
    if (!registry.OpenKey(value.keyPath)) return false;
    bool removed = false;
    if (value.valueName == kDefaultValueName) removed = registry.DeleteValue("");
    removed = registry.DeleteValue(value.valueName) || removed;
    if (registry.SubKeyCount() != 0 || registry.ValueCount() != 0) return removed;

    // The key is empty now: remove it from its parent, this one level only. The root itself
    // (an empty key path) is never deleted.
    if (value.keyPath.empty()) return removed;
    const TRegistryValuePath key = splitValuePath(value.keyPath);
    if (registry.OpenKey(key.keyPath)) registry.DeleteKey(key.valueName);
    return removed;
}

} // namespace tarnwick
