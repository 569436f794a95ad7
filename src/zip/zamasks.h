// Wildcard matching of item names ("*" and "?", case-insensitive in the locale's order) and the
// compiled mask TMask for files on disk.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

bool IsStrMatchPattern(const std::string& name, const std::string& pattern, bool ignoreCase);
// Item name against one mask, with the "*.*" and trailing-dot conventions of masks.
bool IsInternalFileMatchMask(const std::string& name, const std::string& mask);
// The same for a mask without "*" or "?", on views: a search for one item by its name runs this
// against every item of the archive, and copies of each name were most of its cost.
bool IsPlainFileMatchMask(std::string_view name, std::string_view mask);

// The key a mask without "*" or "?" shares with every name it matches (IsPlainFileMatchMask),
// and with no other name of the same length: each character stands for its class of characters
// the locale calls the same ignoring case, one trailing dot left out. (A mask ending in a dot also
// asks for a name without an extension; that is for the match itself to check.) False when the
// locale's sameness of characters gives no such classes.
bool PlainMaskKey(std::string_view text, std::string& key);
// The keys under which a plain mask finds a stored item: its name without trailing separators, and
// that name's last part when it has folders (the two a search matches the mask against).
bool PlainMaskKeysOfItem(const std::string& storedName, std::vector<std::string>& keys);

class TMask {
public:
    // Raises Exception("'<mask>' is an invalid mask at (<n>)") for more than 30 star groups.
    explicit TMask(const std::string& mask);
    bool Matches(const std::string& name) const;

private:
    enum class Kind { literal, anyChar, charSet, doubleByte };
    struct Element {
        bool skip = false;  // preceded by "*"
        Kind kind = Kind::literal;
        unsigned char ch = 0;  // upper-cased for literals; 0 closes the mask
        unsigned char second = 0;
    };
    bool elementMatches(const Element& e, const std::string& name, std::size_t pos) const;
    std::vector<Element> elements_;
};

bool MatchesMask(const std::string& name, const std::string& mask);

} // namespace tarnwick
