// Message tables, the texts of the default prompts and the CRC-32 table of the archive component.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

struct TZANativeErrorPair {
    int nativeCode;
    int errorCode;
};
extern const TZANativeErrorPair ZANativeToErrorCode[61];
extern const char* const ZAErrorMessages[41];

// Error code for a native code; 0 ("Unknown error") for codes without a message.
int ZANativeToError(int nativeCode);
std::string ZAErrorMessageText(int errorCode);

// Texts of the default dialogs; translations replace these.
extern const char* const _SConfirmOverwrite;
extern const char* const _SPasswordTitle;
extern const char* const _SPasswordPrompt;
extern const char* const _SOnRequestBlankDisk;
extern const char* const _SOnRequestFirstDisk;
extern const char* const _SOnRequestLastDisk;
extern const char* const _SOnRequestMiddleDisk;
extern const char* const _SOnDiskFull;
extern const char* const _SOnProcessFileFailure;
extern const char* const _SWrongDiskRequestLastDisk;

extern const std::uint32_t CRC32_TABLE[256];

} // namespace tarnwick
