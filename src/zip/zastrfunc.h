// Byte-string comparison in the locale's order, and the 256-entry character tables behind it.
// The tables are built once, on first use, from the platform seam.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

struct TZAStrTables {
    unsigned char ToAnsiChars[256];
    unsigned char ToOemChars[256];
    unsigned char ToUpperChars[256];
    unsigned char ToLowerChars[256];
    // ToAnsiChars ranks every byte distinctly: comparisons run on ranks with the plain functions.
    bool IsPermutation;
};
const TZAStrTables& ZAStrTables();

// Windows Turkish code page (1254).
extern const unsigned char TurkishToUpperChars[256];
extern const unsigned char TurkishToLowerChars[256];
extern const unsigned char TurkishToAnsiChars[256];
constexpr std::uint32_t kTurkishLocaleId = 1055;
// Builds the tables for a given locale and seam; exposed for tests.
TZAStrTables ZABuildStrTables(std::uint32_t localeId);

// "P": zero-terminated (nullptr counts as empty). "L": counted, at most maxLength characters
// compared, the terminator taking part when one string ends first. Results <0, 0, >0.
int Q_PCompStr(const char* s1, const char* s2);
int Q_CompStrL(const std::string& s1, const std::string& s2, unsigned maxLength);
int Q_PCompText(const char* s1, const char* s2);
int Q_CompTextL(const std::string& s1, const std::string& s2, unsigned maxLength);
int Q_AnsiPCompStr(const char* s1, const char* s2);
int Q_AnsiCompStrL(const std::string& s1, const std::string& s2, unsigned maxLength);
int Q_AnsiPCompText(const char* s1, const char* s2);
int Q_AnsiCompTextL(const std::string& s1, const std::string& s2, unsigned maxLength);
void Q_PStrToAnsi(char* s);
void Q_PStrToOem(char* s);

// Locale-aware case mapping of a whole string (the platform's), and the ANSI/OEM code pages.
std::string ZAAnsiLowerCase(const std::string& s);
std::string ZAAnsiUpperCase(const std::string& s);
std::string ZAOemToAnsi(const std::string& s);
std::string ZAAnsiToOem(const std::string& s);
std::string ZAUtf8ToAnsi(const std::string& s);
// Case-insensitive equality in the locale's order (AnsiCompareText = 0).
bool ZASameText(const std::string& a, const std::string& b);

} // namespace tarnwick
