#include "engine/registry_entry_rules.h"

#include <cstdint>

#include "core/ascii_text.h"

namespace tarnwick {

std::optional<TRegistryKeyPath> parseRegistryKeyPath(std::string_view keyPath) {
    // Tested in this order. No name is a prefix of an earlier one, so the order only matters for
    // faithfulness, never for the result.
    static constexpr struct {
        std::string_view name;
        std::uint32_t handle;
    } roots[] = {
        {"HKEY_CLASSES_ROOT", kRootClassesRoot},   {"HKEY_CURRENT_USER", kRootCurrentUser},
        {"HKEY_LOCAL_MACHINE", kRootLocalMachine}, {"HKEY_USERS", kRootUsers},
        {"HKEY_CURRENT_CONFIG", kRootCurrentConfig},
    };
    for (const auto& root : roots) {
        if (!asciiStartsWithIgnoringCase(keyPath, root.name)) continue;
        TRegistryKeyPath parsed{root.handle, {}};
        if (keyPath.size() > root.name.size() + 1) parsed.subKeyPath = std::string(keyPath.substr(root.name.size() + 1));
        if (!parsed.subKeyPath.empty() && parsed.subKeyPath.back() == '\\') parsed.subKeyPath.pop_back();
        return parsed;
    }
    return std::nullopt;
}

TRegistryValuePath splitValuePath(std::string_view subKeyPath) {
    const std::size_t slash = subKeyPath.rfind('\\');
    if (slash == std::string_view::npos) return {{}, std::string(subKeyPath)};
    return {std::string(subKeyPath.substr(0, slash)), std::string(subKeyPath.substr(slash + 1))};
}

std::int32_t binaryDigitsValue(std::string_view text) {
    std::uint32_t sum = 0;
    std::uint32_t weight = 1; // 2^place modulo 2^32: zero from place 32 on
    for (std::size_t i = text.size(); i-- > 0;) {
        const auto digit = static_cast<std::uint32_t>(static_cast<unsigned char>(text[i])) - 48u;
        sum += digit * weight;
        weight <<= 1;
    }
    return static_cast<std::int32_t>(sum);
}

std::int32_t convertDecimalInteger(std::string_view text) {
    const auto fail = [&]() -> std::int32_t {
        throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    };
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return fail();
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return fail();
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL) return fail();
    }
    if (negative) value = -value;
    if (value > 2147483647LL) return fail();
    return static_cast<std::int32_t>(value);
}

} // namespace tarnwick
