// Wildcard matching of item names and the compiled TMask.
#include "zip/zamasks.h"

#include "zip/zaexcept.h"
#include "zip/zastrfunc.h"

#include <array>
#include <atomic>
#include <string>

namespace tarnwick {
namespace {

// Two characters are the same when the locale's comparison says so. Each answer is remembered:
// a search compares the same few characters over and over, every comparison is a platform call
// on Windows, and the locale's tables do not change while the process runs.
bool sameChar(char a, char b, bool ignoreCase) {
    if (a == b) return true;
    static std::array<std::atomic<signed char>, 2 * 256 * 256> known{}; // 0 not asked, 1 same, -1 not
    std::atomic<signed char>& slot =
        known[(ignoreCase ? 65536u : 0u) + static_cast<unsigned char>(a) * 256u + static_cast<unsigned char>(b)];
    signed char answer = slot.load(std::memory_order_relaxed);
    if (answer == 0) {
        const std::string sa(1, a), sb(1, b);
        answer = (ignoreCase ? Q_AnsiCompTextL(sa, sb, 1) : Q_AnsiCompStrL(sa, sb, 1)) == 0 ? 1 : -1;
        slot.store(answer, std::memory_order_relaxed);
    }
    return answer > 0;
}

// The classes of sameChar ignoring case: one byte value standing for every byte the locale calls
// the same character. Valid only when that sameness is an equivalence, checked over every pair of
// bytes when first asked for; otherwise plain masks have no keys and searches compare names one by one.
struct TCharClasses {
    bool valid = true;
    unsigned char of[256] = {};
    TCharClasses() {
        std::array<unsigned char, 256> representatives{};
        int classes = 0;
        for (int c = 0; c < 256; ++c) {
            int found = -1;
            for (int k = 0; k < classes && found < 0; ++k)
                if (sameChar(static_cast<char>(c), static_cast<char>(representatives[k]), true)) found = k;
            if (found < 0) {
                found = classes++;
                representatives[found] = static_cast<unsigned char>(c);
            }
            of[c] = representatives[found];
        }
        for (int a = 0; a < 256 && valid; ++a)
            for (int b = 0; b < 256 && valid; ++b)
                valid = a == b || sameChar(static_cast<char>(a), static_cast<char>(b), true) == (of[a] == of[b]);
    }
};

const TCharClasses& charClasses() {
    static const TCharClasses classes;
    return classes;
}

// Does the piece of pattern between two stars match the name at pos? '?' takes any character.
bool pieceMatchesAt(std::string_view name, std::size_t pos, std::string_view piece, bool ignoreCase) {
    if (pos + piece.size() > name.size()) return false;
    for (std::size_t k = 0; k < piece.size(); ++k) {
        if (piece[k] != '?' && !sameChar(name[pos + k], piece[k], ignoreCase)) return false;
    }
    return true;
}

// A star takes any run of characters, but it must leave at least one character for what follows
// it; only a star that ends the pattern may take the rest of the name, and a star reached at the
// end of the name fails unless it ends the pattern ("abc*" matches "abc", "abc**" does not).
// The pieces between stars are matched at the earliest place they fit: a later place leaves less
// of the name for the rest, so the earliest place succeeds whenever any place does. This keeps the
// time in proportion to name and pattern lengths; trying every skip of every star, as a plain
// recursive match does, grows exponentially with the number of stars in a hostile name.
bool matchPattern(std::string_view name, std::string_view pattern, bool ignoreCase) {
    std::size_t star = pattern.find('*');
    if (star == std::string_view::npos) return name.size() == pattern.size() && pieceMatchesAt(name, 0, pattern, ignoreCase);
    if (!pieceMatchesAt(name, 0, pattern.substr(0, star), ignoreCase)) return false;
    std::size_t n = star;
    for (;;) {
        if (star == pattern.size() - 1) return true;
        if (n >= name.size()) return false;
        const std::size_t next = pattern.find('*', star + 1);
        if (next == std::string_view::npos) {
            // The last piece ends the name.
            const std::string_view piece = pattern.substr(star + 1);
            return name.size() - n >= piece.size() && pieceMatchesAt(name, name.size() - piece.size(), piece, ignoreCase);
        }
        const std::string_view piece = pattern.substr(star + 1, next - star - 1);
        std::size_t at = n;
        while (at < name.size() && !pieceMatchesAt(name, at, piece, ignoreCase)) ++at;
        if (at >= name.size()) return false;
        n = at + piece.size();
        star = next;
    }
}

std::string_view extensionOf(std::string_view name) {
    const std::size_t dot = name.find_last_of(".\\/:");
    if (dot == std::string_view::npos || name[dot] != '.') return {};
    return name.substr(dot);
}

unsigned char asciiUpper(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c; }

} // namespace

bool IsStrMatchPattern(const std::string& name, const std::string& pattern, bool ignoreCase) {
    if (pattern == "*.*") return true;
    return matchPattern(name, pattern, ignoreCase);
}

bool IsInternalFileMatchMask(const std::string& name, const std::string& mask) {
    if (mask.empty()) return false;
    if (mask.find_first_of("*?") == std::string::npos) return IsPlainFileMatchMask(name, mask);
    std::string workMask = mask;
    const std::size_t starDotStar = workMask.find("*.*");
    if (starDotStar != std::string::npos) workMask = mask.substr(0, starDotStar) + '*' + mask.substr(starDotStar + 3);
    const bool maskEndsWithDot = mask.back() == '.';
    if (!workMask.empty() && workMask.back() == '.') workMask.pop_back();
    std::string workName = name;
    if (!workName.empty() && workName.back() == '.') workName.pop_back();
    if (!IsStrMatchPattern(workName, workMask, true)) return false;
    if (maskEndsWithDot) {
        const std::string_view ext = extensionOf(name);
        return ext.empty() || ext == ".";
    }
    return true;
}

bool IsPlainFileMatchMask(std::string_view name, std::string_view mask) {
    if (mask.empty()) return false;
    // The same characters in the same number, one trailing dot on either side left out; a mask
    // ending in a dot also asks for a name without an extension.
    const std::size_t nameLength = name.size() - (!name.empty() && name.back() == '.' ? 1 : 0);
    const std::size_t maskLength = mask.size() - (mask.back() == '.' ? 1 : 0);
    if (nameLength != maskLength) return false;
    for (std::size_t i = 0; i < nameLength; ++i)
        if (!sameChar(name[i], mask[i], true)) return false;
    if (mask.back() != '.') return true;
    const std::string_view ext = extensionOf(name);
    return ext.empty() || ext == ".";
}

bool PlainMaskKey(std::string_view text, std::string& key) {
    const TCharClasses& classes = charClasses();
    if (!classes.valid) return false;
    if (!text.empty() && text.back() == '.') text.remove_suffix(1);
    key.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) key[i] = static_cast<char>(classes.of[static_cast<unsigned char>(text[i])]);
    return true;
}

bool PlainMaskKeysOfItem(const std::string& storedName, std::vector<std::string>& keys) {
    std::string_view name = storedName;
    while (!name.empty() && (name.back() == '/' || name.back() == '\\')) name.remove_suffix(1);
    keys.emplace_back();
    if (!PlainMaskKey(name, keys.back())) return false;
    const std::size_t slash = name.find_last_of("/\\");
    if (slash == std::string_view::npos) return true;
    keys.emplace_back();
    return PlainMaskKey(name.substr(slash + 1), keys.back());
}

TMask::TMask(const std::string& mask) {
    bool skip = false;
    int skipCount = 0;
    for (std::size_t i = 0; i < mask.size(); ++i) {
        const auto c = static_cast<unsigned char>(mask[i]);
        if (c == '*') {
            if (!skip && ++skipCount > 30) {
                throw Exception(ZAFormat("'%s' is an invalid mask at (%d)", {mask, static_cast<std::int64_t>(i + 1)}));
            }
            skip = true;
            continue;
        }
        if (c == '?' && skip) continue;  // "*?" is "*" followed by one character: the skip covers it
        Element e;
        e.skip = skip;
        skip = false;
        if (c == '?') {
            e.kind = Kind::anyChar;
        } else {
            e.kind = Kind::literal;
            e.ch = asciiUpper(c);
        }
        elements_.push_back(e);
    }
    Element end;
    end.skip = skip;
    elements_.push_back(end);
}

bool TMask::elementMatches(const Element& e, const std::string& name, std::size_t pos) const {
    const unsigned char c = pos < name.size() ? static_cast<unsigned char>(name[pos]) : 0;
    switch (e.kind) {
    case Kind::anyChar: return pos < name.size();
    case Kind::doubleByte:
        return pos + 1 < name.size() && c == e.ch && static_cast<unsigned char>(name[pos + 1]) == e.second;
    case Kind::charSet: return false;
    case Kind::literal: break;
    }
    return asciiUpper(c) == e.ch && (e.ch != 0 || pos >= name.size());
}

bool TMask::Matches(const std::string& name) const {
    struct Retry {
        std::size_t pos;
        std::size_t element;
    };
    std::vector<Retry> stack;
    std::size_t pos = 0, index = 0;
    while (index < elements_.size()) {
        const Element& e = elements_[index];
        bool ok = true;
        if (e.skip) {
            while (pos < name.size() && !elementMatches(e, name, pos)) ++pos;
            if (pos < name.size()) stack.push_back({pos + 1, index});
        }
        ok = elementMatches(e, name, pos);
        if (ok) {
            pos += (e.kind == Kind::doubleByte) ? 2 : 1;
            ++index;
            continue;
        }
        if (stack.empty()) return false;
        pos = stack.back().pos;
        index = stack.back().element;
        stack.pop_back();
    }
    return true;
}

bool MatchesMask(const std::string& name, const std::string& mask) { return TMask(mask).Matches(name); }

} // namespace tarnwick
