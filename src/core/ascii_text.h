// Case-insensitive comparison of ASCII text: only A-Z and a-z are folded, every other byte must
// match exactly. For names and markers whose spelling is fixed ASCII (registry roots,
// placeholders, the package signature, program names), where the user's code page must not matter.
#pragma once

#include <string_view>

namespace tarnwick {

constexpr char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr bool asciiEqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    }
    return true;
}

constexpr bool asciiStartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && asciiEqualIgnoringCase(text.substr(0, prefix.size()), prefix);
}

} // namespace tarnwick
