// The package's texts are single-byte Windows-1252; the manifest is UTF-8. Conversion both ways,
// refusing what the code page cannot hold rather than writing a '?' the user never sees.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::pack {

struct TUnmappable {
    std::size_t characterIndex = 0; // counted in characters from the start of the text
    char32_t codePoint = 0;         // 0xFFFFFFFF: the text is not valid UTF-8 there
    std::string character;          // the character as UTF-8
};

// The Windows-1252 bytes of utf8, or the first character that has none. Code points 0x80-0x9F
// that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) are unmappable too.
struct TAnsiResult {
    std::string bytes;
    std::optional<TUnmappable> fault;
};
TAnsiResult utf8ToAnsi(std::string_view utf8);

// Every byte of Windows-1252 has a character; the five undefined ones come back as U+FFFD.
std::string ansiToUtf8(std::string_view ansi);

// "U+0141"
std::string codePointName(char32_t codePoint);

// Upper case for comparing Windows file names: ASCII and the Latin-1 letters of Windows-1252.
std::string foldAnsiCase(std::string_view ansi);

} // namespace tarnwick::pack
