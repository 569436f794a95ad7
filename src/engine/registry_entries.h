// Applying a package's registry record at installation and undoing it at uninstallation, through
// the one registry access object.
#pragma once

#include "engine/registry_access.h"
#include "package/package_layout.h"
#include "package/placeholders.h"

namespace tarnwick {

enum class TRegistryApplyResult {
    Done,              // applied, or nothing to apply
    KeyNotCreated,     // a key record whose key could not be created: the installation stops
};

// The installation's handling of one record. Value records are written to a key opened without
// testing (a missing key means a silent, failed write); key records create their key. A record
// whose key path starts with no root name is skipped. Throws EConvertError for a number value
// that is not a decimal integer.
TRegistryApplyResult applyRegistryRecord(TRegistryAccess& registry, const TRegistryRecord& record,
                                         const TPlaceholderFolders& folders);

// The uninstallation's handling of one record: a value record loses its value ("(Default)" also
// the key's default value), and a key left with no values and no sub-keys is deleted, one level
// only. Other records, and paths with no root name, change nothing.
// Returns whether a value was removed.
bool undoRegistryRecord(TRegistryAccess& registry, const TRegistryRecord& record);

// Whether a record advances the progress bar in either run: value records do, whatever happened.
inline bool isProgressRecord(const TRegistryRecord& record) { return record.type == rrValue; }

} // namespace tarnwick
