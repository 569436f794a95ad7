// Exceptions of the archive component. Exception stands for the class library's base exception
// (a message and nothing else); EZAException adds the table code and the native code and builds
// its message from them: ["Name: "]text" - Native error: "NNNNN.
#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <variant>

#include "zip/zaconst.h"

namespace tarnwick {

class TComponent;

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    std::string Message;
};

// Stream read and write failures of the class library; they are never translated to codes.
class EStreamError : public Exception {
public:
    using Exception::Exception;
};
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// One format argument: "%s" takes a string, "%d" a number.
using TZAFormatArg = std::variant<std::string, std::int64_t>;
// The class library's Format for the few shapes the tables use: %s, %d, %%; arguments in order,
// extras ignored, a missing one leaves the placeholder empty.
std::string ZAFormat(const std::string& format, std::initializer_list<TZAFormatArg> args);

class EZAException : public Exception {
public:
    EZAException(TZANativeError code, const TComponent* component) : EZAException(static_cast<int>(code), component) {}
    EZAException(TZANativeError code, std::initializer_list<TZAFormatArg> args, const TComponent* component)
        : EZAException(static_cast<int>(code), args, component) {}
    // A code by its number, as a caller may have stored it; unknown numbers read "Unknown error".
    EZAException(int nativeCode, const TComponent* component);
    EZAException(int nativeCode, std::initializer_list<TZAFormatArg> args, const TComponent* component);

    int ErrorCode = 0;
    int NativeError = 0;

private:
    static std::string buildMessage(int nativeCode, const std::string& text, const TComponent* component);
};

} // namespace tarnwick
