// The name index: items filed under their names' keys, refiled lazily after they change.
#include "zip/zanameindex.h"

#include <algorithm>

namespace tarnwick {
namespace {

void insertRising(std::vector<int>& list, int value) {
    if (list.empty() || list.back() < value) {
        list.push_back(value);  // the usual case: items filed in order
        return;
    }
    const auto at = std::lower_bound(list.begin(), list.end(), value);
    if (at == list.end() || *at != value) list.insert(at, value);
}

void eraseValue(std::vector<int>& list, int value) {
    const auto at = std::lower_bound(list.begin(), list.end(), value);
    if (at != list.end() && *at == value) list.erase(at);
}

} // namespace

bool& zadetail::directoryIndexes() {
    static bool on = true;
    return on;
}

void TZANameIndex::NoteChanged(int index) {
    if (!built_) return;
    const auto i = static_cast<std::size_t>(index);
    if (i >= slots_.size()) slots_.resize(i + 1);
    if (slots_[i].pending) return;
    slots_[i].pending = true;
    changed_.push_back(index);
}

void TZANameIndex::Refresh(int count, const TNameOf& nameOf) {
    if (!built_) {
        byKey_.clear();
        keyless_.clear();
        changed_.clear();
        slots_.assign(static_cast<std::size_t>(count), TSlot{});
        byKey_.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) file(i, nameOf(i));
        built_ = true;
        return;
    }
    for (const int i : changed_) {
        slots_[static_cast<std::size_t>(i)].pending = false;
        unfile(i);
        if (i < count) file(i, nameOf(i));
    }
    changed_.clear();
}

const std::vector<int>* TZANameIndex::Find(const std::string& key) const {
    const auto bucket = byKey_.find(key);
    return bucket == byKey_.end() ? nullptr : &bucket->second;
}

void TZANameIndex::file(int index, const std::string& name) {
    TSlot& slot = slots_[static_cast<std::size_t>(index)];
    slot.filed = true;
    scratch_.clear();
    slot.keyless = !keysOf_(name, scratch_);
    slot.keys.clear();
    if (slot.keyless) {
        insertRising(keyless_, index);
        return;
    }
    for (std::string& key : scratch_) {
        if (std::find(slot.keys.begin(), slot.keys.end(), key) != slot.keys.end()) continue;
        insertRising(byKey_[key], index);
        slot.keys.push_back(std::move(key));
    }
}

void TZANameIndex::unfile(int index) {
    TSlot& slot = slots_[static_cast<std::size_t>(index)];
    if (!slot.filed) return;
    slot.filed = false;
    if (slot.keyless) {
        eraseValue(keyless_, index);
        return;
    }
    for (const std::string& key : slot.keys) {
        const auto bucket = byKey_.find(key);
        if (bucket == byKey_.end()) continue;
        eraseValue(bucket->second, index);
        if (bucket->second.empty()) byKey_.erase(bucket);
    }
    slot.keys.clear();
}

} // namespace tarnwick
