// An index of the directory's item names by keys computed from each name, kept up to date as the
// items change, so that a look-up by name costs the same at any item count. The directory array
// keeps two: one by the locale's caseless sort key (FileExists), one by the key plain masks and
// the names they match share (searches).
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tarnwick {

namespace zadetail {
// Whether the directory's name indexes and tag list are used (on unless a test turns them off to
// compare with the scans they replace).
bool& directoryIndexes();
} // namespace zadetail

class TZANameIndex {
public:
    // The keys a name is filed under (any number, duplicates allowed); false when the name has
    // none, and then it is kept in a list that every look-up goes through.
    using TKeysOf = bool (*)(const std::string& name, std::vector<std::string>& keys);
    using TNameOf = std::function<const std::string&(int index)>;

    explicit TZANameIndex(TKeysOf keysOf) : keysOf_(keysOf) {}

    bool Built() const { return built_; }
    // Forgets everything; the next Refresh files every item anew.
    void Drop() { built_ = false; }
    // The item's name may have changed: it is filed again at the next Refresh.
    void NoteChanged(int index);
    // Brings the index up to date with the count items whose names nameOf gives.
    void Refresh(int count, const TNameOf& nameOf);
    // The items filed under the key, in rising order; nullptr when there are none.
    const std::vector<int>* Find(const std::string& key) const;
    // The items whose names have no key, in rising order.
    const std::vector<int>& Keyless() const { return keyless_; }

private:
    struct TSlot {
        bool filed = false;
        bool keyless = false;
        bool pending = false;  // in changed_
        std::vector<std::string> keys;  // distinct, as filed
    };
    void file(int index, const std::string& name);
    void unfile(int index);

    TKeysOf keysOf_;
    bool built_ = false;
    std::unordered_map<std::string, std::vector<int>> byKey_;  // items in rising order
    std::vector<int> keyless_;
    std::vector<TSlot> slots_;
    std::vector<int> changed_;
    std::vector<std::string> scratch_;
};

} // namespace tarnwick
