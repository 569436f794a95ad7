// Character tables and the Q_ comparisons built on them.
#include "zip/zastrfunc.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "zip/os/os.h"

namespace tarnwick {
namespace {

constexpr std::array<unsigned char, 256> makeTurkishUpper() {
    std::array<unsigned char, 256> t{};
    for (int n = 0; n < 256; ++n) t[n] = static_cast<unsigned char>(n);
    for (int n = 'a'; n <= 'z'; ++n) t[n] = static_cast<unsigned char>(n - 32);
    for (int n = 0xE0; n <= 0xFE; ++n) {
        if (n != 0xF7) t[n] = static_cast<unsigned char>(n - 32);
    }
    t['i'] = 0xDD;   // i -> dotted capital I
    t[0xFD] = 'I';   // dotless i -> I
    t[0xFF] = 0x9F;
    t[0x9A] = 0x8A;
    t[0x9C] = 0x8C;
    return t;
}

constexpr std::array<unsigned char, 256> makeTurkishLower() {
    std::array<unsigned char, 256> t{};
    for (int n = 0; n < 256; ++n) t[n] = static_cast<unsigned char>(n);
    for (int n = 'A'; n <= 'Z'; ++n) t[n] = static_cast<unsigned char>(n + 32);
    for (int n = 0xC0; n <= 0xDE; ++n) {
        if (n != 0xD7) t[n] = static_cast<unsigned char>(n + 32);
    }
    t['I'] = 0xFD;
    t[0xDD] = 'i';
    t[0x9F] = 0xFF;
    t[0x8A] = 0x9A;
    t[0x8C] = 0x9C;
    return t;
}

// A collation for code page 1254: everything that is not a letter in byte order, then the
// letters of the Turkish alphabet (with the other Latin letters after their base), small
// before capital.
constexpr std::array<unsigned char, 256> makeTurkishRank() {
    constexpr auto upper = makeTurkishUpper();
    constexpr auto lower = makeTurkishLower();
    // Sort key: letters get (alphabet position, variant, case); others come first.
    const char alphabet[] = "abc\xE7" "defg\xF0h\xFDijklmno\xF6prs\xFEtu\xFCvyzqwx";
    std::array<int, 256> key{};
    for (int n = 0; n < 256; ++n) {
        const bool isLetter = upper[n] != n || lower[n] != n;
        if (!isLetter) {
            key[n] = n;
            continue;
        }
        const unsigned char small = (lower[n] != n) ? lower[n] : static_cast<unsigned char>(n);
        int position = 200;  // letters outside the alphabet after it, in byte order
        for (int i = 0; alphabet[i] != '\0'; ++i) {
            if (static_cast<unsigned char>(alphabet[i]) == small) position = i;
        }
        key[n] = 1000 + position * 1024 + small * 2 + (small == n ? 0 : 1);
    }
    std::array<int, 256> order{};
    for (int n = 0; n < 256; ++n) order[n] = n;
    std::sort(order.begin(), order.end(), [&](int a, int b) { return key[a] != key[b] ? key[a] < key[b] : a < b; });
    std::array<unsigned char, 256> rank{};
    for (int r = 0; r < 256; ++r) rank[order[r]] = static_cast<unsigned char>(r);
    return rank;
}

constexpr auto kTurkishUpper = makeTurkishUpper();
constexpr auto kTurkishLower = makeTurkishLower();

int compareBytes(const unsigned char* a, const unsigned char* b, std::size_t limit, const unsigned char* map) {
    for (std::size_t i = 0; i < limit; ++i) {
        unsigned char ca = a[i], cb = b[i];
        if (ca != cb && map != nullptr) {
            ca = map[ca];
            cb = map[cb];
        }
        if (ca != cb) return static_cast<int>(ca) - static_cast<int>(cb);
        if (ca == 0) return 0;
    }
    return 0;
}

const char* orEmpty(const char* s) { return s != nullptr ? s : ""; }

// The shorter string's terminator takes part: compare up to one past the shorter length.
int compareCounted(const std::string& s1, const std::string& s2, unsigned maxLength, const unsigned char* map) {
    if (maxLength == 0) return 0;
    const std::size_t limit = std::min<std::size_t>(maxLength, std::min(s1.size(), s2.size()) + 1);
    return compareBytes(reinterpret_cast<const unsigned char*>(s1.c_str()),
                        reinterpret_cast<const unsigned char*>(s2.c_str()), limit, map);
}

std::vector<unsigned char> ranked(const char* s, const unsigned char* table) {
    std::vector<unsigned char> out(std::strlen(s) + 1, 0);
    for (std::size_t i = 0; s[i] != '\0'; ++i) out[i] = table[static_cast<unsigned char>(s[i])];
    return out;
}

int ansiCompare(const std::string& s1, const std::string& s2, unsigned maxLength, bool counted, bool ignoreCase) {
    const TZAStrTables& t = ZAStrTables();
    if (t.IsPermutation) {
        // Rank space: the plain comparison of ranks is the locale order.
        const auto a = ranked(s1.c_str(), t.ToAnsiChars);
        const auto b = ranked(s2.c_str(), t.ToAnsiChars);
        std::size_t limit = std::min(a.size(), b.size());
        if (counted) {
            if (maxLength == 0) return 0;
            limit = std::min<std::size_t>(limit, maxLength);
        }
        return compareBytes(a.data(), b.data(), limit, ignoreCase ? t.ToUpperChars : nullptr);
    }
    std::size_t la = std::strlen(s1.c_str()), lb = std::strlen(s2.c_str());
    if (counted) {
        la = std::min<std::size_t>(la, maxLength);
        lb = std::min<std::size_t>(lb, maxLength);
    }
    return zaos::compareAnsi(s1.c_str(), la, s2.c_str(), lb, ignoreCase);
}

} // namespace

const unsigned char TurkishToUpperChars[256] = {
#define ROW(i) kTurkishUpper[i], kTurkishUpper[i + 1], kTurkishUpper[i + 2], kTurkishUpper[i + 3], \
               kTurkishUpper[i + 4], kTurkishUpper[i + 5], kTurkishUpper[i + 6], kTurkishUpper[i + 7]
#include "zip/zastrfunc_rows.inc"
#undef ROW
};
const unsigned char TurkishToLowerChars[256] = {
#define ROW(i) kTurkishLower[i], kTurkishLower[i + 1], kTurkishLower[i + 2], kTurkishLower[i + 3], \
               kTurkishLower[i + 4], kTurkishLower[i + 5], kTurkishLower[i + 6], kTurkishLower[i + 7]
#include "zip/zastrfunc_rows.inc"
#undef ROW
};
namespace {
constexpr auto kTurkishRank = makeTurkishRank();
}
const unsigned char TurkishToAnsiChars[256] = {
#define ROW(i) kTurkishRank[i], kTurkishRank[i + 1], kTurkishRank[i + 2], kTurkishRank[i + 3], \
               kTurkishRank[i + 4], kTurkishRank[i + 5], kTurkishRank[i + 6], kTurkishRank[i + 7]
#include "zip/zastrfunc_rows.inc"
#undef ROW
};

TZAStrTables ZABuildStrTables(std::uint32_t localeId) {
    TZAStrTables t{};
    const bool turkish = localeId == kTurkishLocaleId;
    if (turkish) {
        std::memcpy(t.ToAnsiChars, TurkishToAnsiChars, 256);
    } else {
        for (int n = 0; n < 256; ++n) {
            const char cn = static_cast<char>(n);
            int before = 0;
            for (int p = 0; p < 256; ++p) {
                const char cp = static_cast<char>(p);
                if (zaos::compareAnsi(&cp, 1, &cn, 1, false) < 0) ++before;
            }
            t.ToAnsiChars[n] = static_cast<unsigned char>(before > 255 ? 255 : before);
        }
    }
    bool seen[256] = {};
    for (int n = 0; n < 256; ++n) seen[t.ToAnsiChars[n]] = true;
    t.IsPermutation = std::all_of(std::begin(seen), std::end(seen), [](bool b) { return b; });
    if (t.IsPermutation) {
        for (int n = 0; n < 256; ++n) t.ToOemChars[t.ToAnsiChars[n]] = static_cast<unsigned char>(n);
        for (int n = 0; n < 256; ++n) {
            const unsigned char up = turkish ? TurkishToUpperChars[n] : zaos::ansiUpper(static_cast<unsigned char>(n));
            const unsigned char low = turkish ? TurkishToLowerChars[n] : zaos::ansiLower(static_cast<unsigned char>(n));
            t.ToUpperChars[t.ToAnsiChars[n]] = t.ToAnsiChars[up];
            t.ToLowerChars[t.ToAnsiChars[n]] = t.ToAnsiChars[low];
        }
    } else {
        for (int n = 0; n < 256; ++n) {
            const auto c = static_cast<unsigned char>(n);
            t.ToUpperChars[n] = zaos::ansiUpper(c);
            t.ToLowerChars[n] = zaos::ansiLower(c);
            t.ToOemChars[n] = zaos::ansiToOem(c);
            t.ToAnsiChars[n] = zaos::oemToAnsi(c);
        }
    }
    return t;
}

const TZAStrTables& ZAStrTables() {
    static const TZAStrTables tables = ZABuildStrTables(zaos::userDefaultLocaleId());
    return tables;
}

int Q_PCompStr(const char* s1, const char* s2) {
    return compareBytes(reinterpret_cast<const unsigned char*>(orEmpty(s1)),
                        reinterpret_cast<const unsigned char*>(orEmpty(s2)), SIZE_MAX, nullptr);
}
int Q_CompStrL(const std::string& s1, const std::string& s2, unsigned maxLength) {
    return compareCounted(s1, s2, maxLength, nullptr);
}
int Q_PCompText(const char* s1, const char* s2) {
    return compareBytes(reinterpret_cast<const unsigned char*>(orEmpty(s1)),
                        reinterpret_cast<const unsigned char*>(orEmpty(s2)), SIZE_MAX, ZAStrTables().ToUpperChars);
}
int Q_CompTextL(const std::string& s1, const std::string& s2, unsigned maxLength) {
    return compareCounted(s1, s2, maxLength, ZAStrTables().ToUpperChars);
}
int Q_AnsiPCompStr(const char* s1, const char* s2) { return ansiCompare(orEmpty(s1), orEmpty(s2), 0, false, false); }
int Q_AnsiCompStrL(const std::string& s1, const std::string& s2, unsigned maxLength) {
    return ansiCompare(s1, s2, maxLength, true, false);
}
int Q_AnsiPCompText(const char* s1, const char* s2) { return ansiCompare(orEmpty(s1), orEmpty(s2), 0, false, true); }
int Q_AnsiCompTextL(const std::string& s1, const std::string& s2, unsigned maxLength) {
    return ansiCompare(s1, s2, maxLength, true, true);
}

void Q_PStrToAnsi(char* s) {
    const TZAStrTables& t = ZAStrTables();
    for (; s != nullptr && *s != '\0'; ++s) *s = static_cast<char>(t.ToAnsiChars[static_cast<unsigned char>(*s)]);
}
void Q_PStrToOem(char* s) {
    const TZAStrTables& t = ZAStrTables();
    for (; s != nullptr && *s != '\0'; ++s) *s = static_cast<char>(t.ToOemChars[static_cast<unsigned char>(*s)]);
}

std::string ZAAnsiLowerCase(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(zaos::ansiLower(static_cast<unsigned char>(c)));
    return out;
}
std::string ZAAnsiUpperCase(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(zaos::ansiUpper(static_cast<unsigned char>(c)));
    return out;
}
namespace {
struct CodePageTables {
    unsigned char oemToAnsi[256];
    unsigned char ansiToOem[256];
    CodePageTables() {
        for (int n = 0; n < 256; ++n) {
            oemToAnsi[n] = zaos::oemToAnsi(static_cast<unsigned char>(n));
            ansiToOem[n] = zaos::ansiToOem(static_cast<unsigned char>(n));
        }
    }
};
// Names convert byte by byte on every directory load; one seam call per byte value is enough.
const CodePageTables& codePages() {
    static const CodePageTables tables;
    return tables;
}
} // namespace

std::string ZAOemToAnsi(const std::string& s) {
    const unsigned char* map = codePages().oemToAnsi;
    std::string out = s;
    for (char& c : out) c = static_cast<char>(map[static_cast<unsigned char>(c)]);
    return out;
}
std::string ZAAnsiToOem(const std::string& s) {
    const unsigned char* map = codePages().ansiToOem;
    std::string out = s;
    for (char& c : out) c = static_cast<char>(map[static_cast<unsigned char>(c)]);
    return out;
}
std::string ZAUtf8ToAnsi(const std::string& s) { return zaos::utf8ToAnsi(s); }

bool ZASameText(const std::string& a, const std::string& b) {
    return zaos::compareAnsi(a.c_str(), a.size(), b.c_str(), b.size(), true) == 0;
}

} // namespace tarnwick
