// The exception message: table text, optional component name, five-digit native code.
#include "zip/zaexcept.h"


#include "core/component.h"
#include "zip/zaconst.h"

namespace tarnwick {

std::string ZAFormat(const std::string& format, std::initializer_list<TZAFormatArg> args) {
    std::string out;
    const TZAFormatArg* arg = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        const char kind = format[++i];
        if (kind == '%') {
            out += '%';
            continue;
        }
        if (arg == args.end()) continue;
        if (kind == 's') {
            if (const auto* s = std::get_if<std::string>(arg)) out += *s;
            else out += std::to_string(std::get<std::int64_t>(*arg));
        } else if (kind == 'd') {
            if (const auto* n = std::get_if<std::int64_t>(arg)) out += std::to_string(*n);
            else out += std::get<std::string>(*arg);
        } else {
            out += '%';
            out += kind;
            continue;
        }
        ++arg;
    }
    return out;
}

EZAException::EZAException(int nativeCode, const TComponent* component)
    : Exception(buildMessage(nativeCode, ZAErrorMessageText(ZANativeToError(nativeCode)), component)),
      ErrorCode(ZANativeToError(nativeCode)),
      NativeError(nativeCode) {}

EZAException::EZAException(int nativeCode, std::initializer_list<TZAFormatArg> args, const TComponent* component)
    : Exception(buildMessage(nativeCode, ZAFormat(ZAErrorMessageText(ZANativeToError(nativeCode)), args), component)),
      ErrorCode(ZANativeToError(nativeCode)),
      NativeError(nativeCode) {}

std::string EZAException::buildMessage(int nativeCode, const std::string& text, const TComponent* component) {
    std::string message = text;
    if (component != nullptr && !component->Name.empty()) message = component->Name + ": " + text;
    // "%5d" with its blanks turned into zeros; without printf, whose MinGW formatter and its
    // floating-point conversions would otherwise be linked into every program for this line.
    std::string code = std::to_string(nativeCode);
    if (code.size() < 5) code.insert(0, 5 - code.size(), '0');
    return message + " - Native error: " + code;
}

} // namespace tarnwick
