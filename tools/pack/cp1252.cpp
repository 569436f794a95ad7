#include "cp1252.h"

#include <cstdio>

namespace tarnwick::pack {

namespace {

// Code points of Windows-1252 bytes 0x80-0x9F; 0 where the byte is undefined.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

std::optional<unsigned char> ansiByte(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHighControls[i] != 0 && kHighControls[i] == cp) return static_cast<unsigned char>(0x80 + i);
    return std::nullopt;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

TAnsiResult utf8ToAnsi(std::string_view utf8) {
    TAnsiResult result;
    std::size_t index = 0;
    for (std::size_t i = 0; i < utf8.size(); ++index) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        char32_t cp = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
        bool valid = length != 0 && i + length <= utf8.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const unsigned char c = static_cast<unsigned char>(utf8[i + k]);
            if ((c & 0xC0) != 0x80) valid = false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!valid) {
            result.fault = TUnmappable{index, 0xFFFFFFFF, std::string(1, static_cast<char>(lead))};
            return result;
        }
        const std::optional<unsigned char> byte = ansiByte(cp);
        if (!byte) {
            result.fault = TUnmappable{index, cp, std::string(utf8.substr(i, length))};
            return result;
        }
        result.bytes += static_cast<char>(*byte);
        i += length;
    }
    return result;
}

std::string ansiToUtf8(std::string_view ansi) {
    std::string out;
    for (char c : ansi) {
        const unsigned char b = static_cast<unsigned char>(c);
        char32_t cp = b;
        if (b >= 0x80 && b < 0xA0) cp = kHighControls[b - 0x80] != 0 ? kHighControls[b - 0x80] : 0xFFFD;
        appendUtf8(out, cp);
    }
    return out;
}

std::string codePointName(char32_t codePoint) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(codePoint));
    return text;
}

std::string foldAnsiCase(std::string_view ansi) {
    std::string out(ansi);
    for (char& c : out) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b >= 'a' && b <= 'z') c = static_cast<char>(b - 32);
        else if (b >= 0xE0 && b <= 0xFE && b != 0xF7) c = static_cast<char>(b - 32);
        else if (b == 0x9A || b == 0x9C || b == 0x9E) c = static_cast<char>(b - 16); // š œ ž
        else if (b == 0xFF) c = static_cast<char>(0x9F);                               // ÿ
    }
    return out;
}

} // namespace tarnwick::pack
